// Stores through the real windows: the Stores window worked by its widgets,
// the list printed in two stores' orders, today's report kept word for word
// without a store, and the store aisles' CSV.
#include "app/Module1.h"
#include "data/access/Connection.h"
#include "data/formats/Csv.h"
#include "data/access/Schema.h"
#include "data/shopping/Stores.h"
#include "forms/main/frmVendora.h"
#include "forms/stores/frmStores.h"
#include "reports/PrintCommands.h"
#include "reports/ReportPreview.h"
#include "support/TestSupport.h"

#include <QAccessible>
#include <QAction>
#include <QCheckBox>
#include <QLineEdit>
#include <QListWidget>
#include <QProcess>
#include <QPushButton>
#include <QTableView>
#include <QtTest>

using namespace pantrio;
using namespace pantrio::test;

namespace
{
// The PDF's text; a failing pdftotext fails the test that asked.
QString pdfText(const QString &pdf)
{
    QProcess p;
    p.start("pdftotext", {"-layout", pdf, "-"});
    if (!p.waitForFinished(60000) || p.exitStatus() != QProcess::NormalExit || p.exitCode() != 0) {
        QTest::qFail(qPrintable("pdftotext failed on " + pdf + ": " +
                                QString::fromUtf8(p.readAllStandardError())),
                     __FILE__, __LINE__);
        return {};
    }
    return QString::fromUtf8(p.readAllStandardOutput());
}

// The group bands of the by-aisle report, top to bottom.
QStringList aisleBands(ReportPreview *w)
{
    QStringList out;
    for (const QString &line : w->layout().dump(w->data()))
        if (line.contains(" ListPrint_Grouping_Header txtAisle "))
            out << line.section(" txtAisle ", 1);
    return out;
}
} // namespace

class TstStores : public Fixture
{
    Q_OBJECT

  private:
    frmStores *openStores(frmVendora *f)
    {
        f->findChild<QAction *>("mnuStores")->trigger();
        return Module1::frmStoresIfOpen();
    }
    qlonglong item(const char *name)
    {
        return m_dir->scalar("SELECT ID FROM Vendora WHERE Item = ?", {name}).toLongLong();
    }
    void listOf(const QStringList &items)
    {
        for (const QString &i : items)
            QVERIFY(m_dir->exec("INSERT INTO Selected (Item, Category, Aisle, Quantity) SELECT "
                                "Item, Category, Aisle, '1' FROM Vendora WHERE Item = ?",
                                {i}));
    }

  private slots:
    void storesWindowThroughItsWidgets();
    void twoStoresPrintTheListInTheirOwnOrders();
    void withoutAStoreTheReportIsTodays();
    void storeAislesCsvRoundTrip();
    void storeNamesAreTrimmed();
};

void TstStores::storesWindowThroughItsWidgets()
{
    frmVendora *f = start();
    QVERIFY(f);
    frmStores *w = openStores(f);
    QVERIFY(w && w->isVisible());
    w->activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(w));
    // Add two stores; the same name again is refused.
    for (const char *name : {"Corner Shop", "Big Market", "corner shop"}) {
        m_dialogs->texts.push_back(QString::fromLatin1(name));
        QTest::mouseClick(child<QPushButton>(w, "cmdAddStore"), Qt::LeftButton);
    }
    auto *stores = child<QListWidget>(w, "lstStores");
    QCOMPARE(stores->count(), 2);
    QVERIFY(m_dialogs->messages.last().contains("already a store called corner shop"));
    stores->setCurrentRow(1); // Corner Shop, after Big Market
    QCOMPARE(stores->currentItem()->text(), QString("Corner Shop"));
    const qlonglong corner = w->selectedStore();

    // Reorder the aisles from the keyboard: the third one to the top.
    auto *order = child<QListWidget>(w, "lstOrder");
    QVERIFY(order->count() > 3);
    const QString third = order->item(2)->text();
    order->setFocus();
    order->setCurrentRow(2);
    QTest::keyClick(order, Qt::Key_Up, Qt::ControlModifier);
    QTest::keyClick(order, Qt::Key_Up, Qt::ControlModifier);
    QCOMPARE(order->item(0)->text(), third);
    QCOMPARE(m_dir
                 ->scalar("SELECT Aisle FROM StoreAisleOrder WHERE StoreID = ? AND Position = 0",
                          {corner})
                 .toString(),
             third);
    // Space: "not in this store", heard as an unticked entry, now at the end,
    // after the aisles the shopper walks.
    QTest::keyClick(order, Qt::Key_Space);
    QCOMPARE(m_dir
                 ->scalar("SELECT Excluded FROM StoreAisleOrder WHERE StoreID = ? AND Aisle = ?",
                          {corner, third})
                 .toInt(),
             1);
    QAccessibleInterface *list = QAccessible::queryAccessibleInterface(order);
    QAccessibleInterface *last = list->child(list->childCount() - 1);
    QCOMPARE(last->text(QAccessible::Name), third);
    QVERIFY(last->state().checkable && !last->state().checked);

    // An item's aisle in this store, typed in the grid after filtering.
    child<QLineEdit>(w, "txtFilter")->setText("Whole Milk");
    auto *grid = child<QTableView>(w, "grdAisles");
    QCOMPARE(grid->model()->rowCount(), 1);
    grid->setFocus();
    grid->setCurrentIndex(grid->model()->index(0, 3));
    grid->edit(grid->currentIndex());
    auto *editor = qobject_cast<QLineEdit *>(QApplication::focusWidget());
    QVERIFY(editor);
    QTest::keyClicks(editor, "Back wall");
    QTest::keyClick(editor, Qt::Key_Return);
    const QString sql = "SELECT Aisle FROM StoreAisles WHERE StoreID = ? AND ItemID = ?";
    QTRY_COMPARE(m_dir->scalar(sql, {corner, item("Whole Milk")}).toString(), QString("Back wall"));
    // Undo and redo, from the buttons.
    QTest::mouseClick(child<QPushButton>(w, "cmdUndo"), Qt::LeftButton);
    QVERIFY(m_dir->scalar(sql, {corner, item("Whole Milk")}).isNull());
    QTest::mouseClick(child<QPushButton>(w, "cmdRedo"), Qt::LeftButton);
    QCOMPARE(m_dir->scalar(sql, {corner, item("Whole Milk")}).toString(), QString("Back wall"));
    QCOMPARE(grid->model()->index(0, 3).data().toString(), QString("Back wall"));

    // The current store, for printing by aisle.
    QTest::mouseClick(child<QCheckBox>(w, "chkCurrent"), Qt::LeftButton);
    QCOMPARE(m_dir->scalar("SELECT Name FROM Stores WHERE IsCurrent = 1").toString(),
             QString("Corner Shop"));

    // Delete: No keeps the store, Yes deletes it with its aisles and order.
    m_dialogs->answers.push_back(Dialogs::Answer::No);
    QTest::mouseClick(child<QPushButton>(w, "cmdDeleteStore"), Qt::LeftButton);
    QCOMPARE(stores->count(), 2);
    m_dialogs->answers.push_back(Dialogs::Answer::Yes);
    QTest::mouseClick(child<QPushButton>(w, "cmdDeleteStore"), Qt::LeftButton);
    QCOMPARE(stores->count(), 1);
    QCOMPARE(m_dir->scalar("SELECT COUNT(*) FROM StoreAisles").toInt(), 0);
    QCOMPARE(m_dir->scalar("SELECT COUNT(*) FROM StoreAisleOrder").toInt(), 0);
    // Every control has a name a listener understands.
    for (QWidget *c : w->findChildren<QWidget *>())
        if (c->focusPolicy() != Qt::NoFocus && c->isVisible() &&
            !qobject_cast<QWidget *>(c->parent())->inherits("QAbstractScrollArea"))
            QVERIFY2(!QAccessible::queryAccessibleInterface(c)->text(QAccessible::Name).isEmpty(),
                     qPrintable(c->objectName()));
}

void TstStores::twoStoresPrintTheListInTheirOwnOrders()
{
    listOf({"Whole Milk", "Apples", "Sandwich Bread", "Bananas"});
    Connection c;
    QString error;
    QVERIFY(c.open(m_dir->database(), &error));
    qlonglong a = 0, b = 0;
    QVERIFY(Stores::add(c, "Shop A", &a, &error) && Stores::add(c, "Shop B", &b, &error));
    // In A the milk is at the door; in B the fruit is, and bread is at the back.
    QVERIFY(Stores::setItemAisle(c, a, item("Whole Milk"), "Door", &error));
    QVERIFY(Stores::setWalkingOrder(c, a, {{"Door", 0, false}, {"Aisle 2", 1, false}}, &error));
    QVERIFY(Stores::setItemAisle(c, b, item("Apples"), "Fruit", &error));
    QVERIFY(Stores::setItemAisle(c, b, item("Bananas"), "Fruit", &error));
    QVERIFY(Stores::setItemAisle(c, b, item("Sandwich Bread"), "Back", &error));
    QVERIFY(Stores::setWalkingOrder(
        c, b, {{"Fruit", 0, false}, {"Aisle 12", 1, false}, {"Back", 2, false}}, &error));
    QVERIFY(Stores::setCurrent(c, a, &error));

    frmVendora *f = start();
    QVERIFY(f);
    f->mnuAislePrint_Click();
    ReportPreview *w = PrintCommands::window(PrintCommands::Entry::ByAisle);
    QVERIFY(w);
    QCOMPARE(aisleBands(w), QStringList({"Door", "Aisle 2", "Aisle 1"}));
    QVERIFY(w->windowTitle().contains("Shop A"));
    // Another store, for this print only.
    m_dialogs->choices.push_back(1);
    f->mnuAislePrintStore_Click();
    QCOMPARE(m_dialogs->lastChoices, QStringList({"Shop A", "Shop B"}));
    QCOMPARE(aisleBands(w), QStringList({"Fruit", "Aisle 12", "Back"}));
    QVERIFY(w->windowTitle().contains("Shop B"));
    QCOMPARE(m_dir->scalar("SELECT Name FROM Stores WHERE IsCurrent = 1").toString(),
             QString("Shop A"));
    if (QStandardPaths::findExecutable("pdftotext").isEmpty())
        QSKIP("pdftotext is not installed");
    // On paper: the store's name heads the page, the lines in its order.
    QTemporaryDir out;
    QVERIFY2(w->exportPdf(out.filePath("b.pdf"), &error), qPrintable(error));
    const QString text = pdfText(out.filePath("b.pdf"));
    QVERIFY2(text.contains("Shop B"), qPrintable(text));
    const qsizetype fruit = text.indexOf("Fruit"), apples = text.indexOf("Apples"),
                    milk = text.indexOf("Whole Milk"), back = text.indexOf("Back"),
                    bread = text.indexOf("Sandwich Bread");
    QVERIFY2(fruit >= 0 && fruit < apples && apples < milk && milk < back && back < bread,
             qPrintable(text));
}

void TstStores::withoutAStoreTheReportIsTodays()
{
    if (QStandardPaths::findExecutable("pdftotext").isEmpty())
        QSKIP("pdftotext is not installed");
    listOf({"Whole Milk", "Apples", "Sandwich Bread", "Bananas", "Paper Towels"});
    QTemporaryDir out;
    QString error;
    auto printed = [&](const QString &name) {
        frmVendora *f = start();
        f->mnuAislePrint_Click();
        ReportPreview *w = PrintCommands::window(PrintCommands::Entry::ByAisle);
        const QString pdf = out.filePath(name);
        if (!w || !w->exportPdf(pdf, &error)) {
            QTest::qFail(qPrintable("the PDF was not written: " + error), __FILE__, __LINE__);
            return QString();
        }
        PrintCommands::closeAll();
        Module1::shutdown();
        return pdfText(pdf);
    };
    // A file as it always was, then the same file with stores, none current.
    const QString before = printed("before.pdf");
    Connection c;
    QVERIFY(c.open(m_dir->database(), &error));
    qlonglong shop = 0;
    QVERIFY(Stores::add(c, "Shop", &shop, &error));
    QVERIFY(Stores::setItemAisle(c, shop, item("Apples"), "Door", &error));
    QVERIFY(Stores::setWalkingOrder(c, shop, {{"Door", 0, false}}, &error));
    const QString after = printed("after.pdf");
    QVERIFY(before.contains("Aisle 1"));
    QCOMPARE(after.toUtf8(), before.toUtf8());
    // The file still reads as the five tables it always had.
    QVERIFY(Schema::checkFile(m_dir->database(), &error));
}

void TstStores::storeAislesCsvRoundTrip()
{
    Connection c;
    QString error;
    QVERIFY(c.open(m_dir->database(), &error));
    qlonglong a = 0, b = 0;
    QVERIFY(Stores::add(c, "Shop A", &a, &error) &&
            Stores::add(c, QString::fromUtf8("March\u00e9 d'Or"), &b, &error));
    QVERIFY(Stores::setItemAisle(c, a, item("Whole Milk"), "=1+2", &error));
    QVERIFY(Stores::setItemAisle(c, b, item("Apples"), QString::fromUtf8("\u05d0 aisle"), &error));
    QVERIFY(Stores::setItemAisle(c, b, item("Bananas"), "Fruit, front", &error));
    frmVendora *f = start();
    QVERIFY(f);
    QTemporaryDir out;
    const QString csv = out.filePath("aisles.csv");
    m_dialogs->fileNames.push_back(csv);
    f->findChild<QAction *>("mnuExportStores")->trigger();
    QVERIFY2(m_dialogs->messages.last().startsWith("3 lines written"),
             qPrintable(m_dialogs->messages.last()));
    const auto before =
        m_dir->rows("SELECT s.Name, sa.ItemID, sa.Aisle FROM StoreAisles sa JOIN Stores s ON "
                    "s.ID = sa.StoreID ORDER BY 1, 2");

    // Into a file without any stores: asked first with the counts, then the
    // stores are made and the aisles set.
    QVERIFY(m_dir->exec("DELETE FROM Stores"));
    m_dialogs->fileNames.push_back(csv);
    m_dialogs->answers.push_back(Dialogs::Answer::Ok);
    f->findChild<QAction *>("mnuImportStores")->trigger();
    QVERIFY2(m_dialogs->messages.at(m_dialogs->messages.size() - 2)
                 .startsWith("Set 3 aisles from"),
             qPrintable(m_dialogs->messages.at(m_dialogs->messages.size() - 2)));
    QVERIFY2(m_dialogs->messages.last().contains("3 aisles set") &&
                 m_dialogs->messages.last().contains("2 new stores"),
             qPrintable(m_dialogs->messages.last()));
    QCOMPARE(m_dir->rows("SELECT s.Name, sa.ItemID, sa.Aisle FROM StoreAisles sa JOIN Stores s ON "
                         "s.ID = sa.StoreID ORDER BY 1, 2"),
             before);

    // A file that names an item the catalogue does not have changes nothing.
    QFile bad(out.filePath("bad.csv"));
    QVERIFY(bad.open(QIODevice::WriteOnly));
    bad.write("Store,Item,Category,Aisle\r\nShop A,Whole Milk,Dairy,9\r\n,,,\r\n"
              "Shop C,No Such Thing,Dairy,1\r\n");
    bad.close();
    m_dialogs->fileNames.push_back(bad.fileName());
    f->findChild<QAction *>("mnuImportStores")->trigger();
    QVERIFY2(m_dialogs->messages.last().contains("line 4: the catalogue has no item No Such Thing"),
             qPrintable(m_dialogs->messages.last()));
    QCOMPARE(m_dir->rows("SELECT s.Name, sa.ItemID, sa.Aisle FROM StoreAisles sa JOIN Stores s ON "
                         "s.ID = sa.StoreID ORDER BY 1, 2"),
             before);
    QCOMPARE(m_dir->scalar("SELECT COUNT(*) FROM Stores WHERE Name = 'Shop C'").toInt(), 0);

    // After an empty line the line numbers still count it.
    QVERIFY(bad.open(QIODevice::WriteOnly));
    bad.write("Store,Item,Category,Aisle\nShop A,Whole Milk,Dairy,9\n\nShop A,No Such Thing,Dairy,1\n");
    bad.close();
    m_dialogs->fileNames.push_back(bad.fileName());
    f->findChild<QAction *>("mnuImportStores")->trigger();
    QVERIFY2(m_dialogs->messages.last().contains("line 4: the catalogue has no item No Such Thing"),
             qPrintable(m_dialogs->messages.last()));

    // Two items of one name and category: the file cannot say which it means,
    // so the import refuses, naming the line, and no aisle moves.
    QVERIFY(m_dir->exec("INSERT INTO Vendora (Item, Category, Aisle) VALUES ('Apples', "
                        "(SELECT Category FROM Vendora WHERE Item = 'Apples'), 'x')"));
    m_dialogs->fileNames.push_back(csv);
    f->findChild<QAction *>("mnuImportStores")->trigger();
    QVERIFY2(m_dialogs->messages.last().contains("line 2: the catalogue has 2 items Apples"),
             qPrintable(m_dialogs->messages.last()));
    QCOMPARE(m_dir->rows("SELECT s.Name, sa.ItemID, sa.Aisle FROM StoreAisles sa JOIN Stores s ON "
                         "s.ID = sa.StoreID ORDER BY 1, 2"),
             before);
}

void TstStores::storeNamesAreTrimmed()
{
    QVERIFY(start());
    frmStores *w = openStores(Module1::frmVendoraIfLoaded());
    QVERIFY(w);
    m_dialogs->texts.push_back(QString("Aldi"));
    QTest::mouseClick(child<QPushButton>(w, "cmdAddStore"), Qt::LeftButton);
    m_dialogs->texts.push_back(QString("  Aldi "));
    QTest::mouseClick(child<QPushButton>(w, "cmdAddStore"), Qt::LeftButton);
    QVERIFY2(m_dialogs->messages.last().contains("already a store called Aldi"),
             qPrintable(m_dialogs->messages.last()));
    m_dialogs->texts.push_back(QString(" Lidl  "));
    QTest::mouseClick(child<QPushButton>(w, "cmdAddStore"), Qt::LeftButton);
    QCOMPARE(m_dir->rows("SELECT Name FROM Stores ORDER BY Name"),
             QList<QVariantList>({{"Aldi"}, {"Lidl"}}));
}

QTEST_MAIN(TstStores)
#include "tst_stores.moc"

// What a user meets who does not see the screen, who uses only the keyboard,
// or who brings real-world files: every control heard through the
// accessibility interface with its live text and state, keyboard paths, fonts
// as drawn, read-only files, long text, spreadsheet files, plurals and PDFs.
#include "app/Module1.h"
#include "data/formats/CatalogueTransfer.h"
#include "data/access/Connection.h"
#include "data/formats/Csv.h"
#include "forms/editor/DataCombo.h"
#include "forms/editor/frmAdding.h"
#include "forms/main/CatalogueView.h"
#include "forms/main/frmVendora.h"
#include "forms/phone/TakeAlongCommands.h"
#include "forms/phone/frmQrCode.h"
#include "forms/stores/frmStores.h"
#include "reports/PrintCommands.h"
#include "reports/ReportPreview.h"
#include "support/TestSupport.h"
#include "uibase/HelpViewer.h"

#include <QAccessible>
#include <QAction>
#include <QClipboard>
#include <QDialog>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QListView>
#include <QListWidget>
#include <QMenu>
#include <QMenuBar>
#include <QPushButton>
#include <QTableView>
#include <QToolButton>
#include <QtTest>

using namespace pantrio;
using namespace pantrio::test;

namespace
{

QAccessibleInterface *acc(QObject *o)
{
    return QAccessible::queryAccessibleInterface(o);
}

QString name(QObject *o)
{
    return acc(o)->text(QAccessible::Name);
}

// Walks an accessible tree and lists every control a user acts on that has no
// name a listener could understand.
void unnamed(QAccessibleInterface *i, QStringList *out, int depth = 0)
{
    if (!i || depth > 12)
        return;
    static const QList<QAccessible::Role> acting = {
        QAccessible::PushButton, QAccessible::CheckBox,     QAccessible::RadioButton,
        QAccessible::ComboBox,   QAccessible::EditableText, QAccessible::SpinBox,
        QAccessible::List,       QAccessible::Table,        QAccessible::Tree,
        QAccessible::ButtonMenu, QAccessible::MenuItem,     QAccessible::Slider,
        QAccessible::PageTabList};
    const QAccessible::State st = i->state();
    if (st.invisible)
        return;
    if (acting.contains(i->role()) && i->text(QAccessible::Name).trimmed().isEmpty())
        *out << QStringLiteral("%1 (role %2)")
                    .arg(i->object() ? i->object()->objectName() : QStringLiteral("?"))
                    .arg(int(i->role()));
    // Item views can hold thousands of cells; their own names are what counts.
    if (i->role() == QAccessible::Table || i->role() == QAccessible::Tree ||
        i->role() == QAccessible::List)
        return;
    for (int c = 0; c < i->childCount(); ++c)
        unnamed(i->child(c), out, depth + 1);
}

QStringList unnamedIn(QWidget *w)
{
    QStringList out;
    unnamed(acc(w), &out);
    return out;
}

} // namespace

class TstUsability : public Fixture
{
    Q_OBJECT

  private:
    frmAdding *openEditor()
    {
        Module1::frmVendoraIfLoaded()->mnuAdd_Click();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        return Module1::frmAddingIfLoaded();
    }
    QString importCsv(const QByteArray &data, bool asks = true);

  private slots:
    void liveTextReachesAScreenReader();
    void everyControlHasANameAndTheListsTellTheTruth();
    void dialogsHaveNames();
    void keyboardAlone();
    void f1InTheStoresAndQrWindows();
    void fontsAsDrawnAndRowsAsTall();
    void readOnlyFileSaysWhyOnce();
    void longTextIsKeptWhole();
    void spreadsheetFiles();
    void pluralsReadRight();
    void copiedPdfTextReadsAsPrinted();
};

QString TstUsability::importCsv(const QByteArray &data, bool asks)
{
    QTemporaryDir dir;
    const QString path = dir.filePath("import.csv");
    QFile f(path);
    f.open(QIODevice::WriteOnly);
    f.write(data);
    f.close();
    m_dialogs->fileNames.push_back(path);
    if (asks)
        m_dialogs->answers.push_back(Dialogs::Answer::Ok);
    trigger("mnuImport");
    return m_dialogs->messages.join("\n---\n");
}

void TstUsability::liveTextReachesAScreenReader()
{
    frmVendora *f = start();
    QVERIFY(f);
    auto *count = child<QLabel>(f, "lblCount");
    QCOMPARE(name(count), QString("0"));
    QCOMPARE(acc(count)->text(QAccessible::Description), QString("Number of lines on the list"));
    auto *model = child<CatalogueView>(f, "lvwItems")->catalogue();
    for (int i = 0; i < 3; ++i)
        model->setChecked(i, true);
    QTest::mouseClick(child<QPushButton>(f, "cmdAddToList"), Qt::LeftButton);
    QCOMPARE(name(count), QString("3"));
    // The button that did it, which keeps the focus, says what happened.
    auto *add = child<QPushButton>(f, "cmdAddToList");
    QCOMPARE(acc(add)->text(QAccessible::Description),
             QString("3 lines added; 3 lines on the list."));

    frmAdding *e = openEditor();
    QVERIFY(e);
    auto *status = child<QLabel>(e, "lblStatus");
    QCOMPARE(name(status), QString("Record: 1"));
    QCOMPARE(acc(status)->text(QAccessible::Description), QString("Record status"));
    e->cmdNext_Click();
    QCOMPARE(name(status), QString("Record: 2"));
    e->cmdAdd_Click();
    QCOMPARE(name(status), QString("Add record"));
    e->cmdCancel_Click();
    e->cmdEdit_Click();
    QCOMPARE(name(status), QString("Edit record"));
    // A field's value is its text.
    auto *itemField = e->txtFields(3);
    QCOMPARE(name(itemField), QString("Item"));
    QCOMPARE(acc(itemField)->textInterface()->text(0, itemField->text().size()), itemField->text());
    e->cmdCancel_Click();
}

void TstUsability::everyControlHasANameAndTheListsTellTheTruth()
{
    // A nameless item, as another program may leave one.
    QVERIFY(m_dir->exec("INSERT INTO Vendora (Item, Category, Aisle) VALUES ('', 'Dairy', '1')"));
    QVERIFY(m_dir->exec("INSERT INTO Selected (Item, Quantity) VALUES ('Milk', '1')"));
    frmVendora *f = start();
    QVERIFY(f);
    QVERIFY2(unnamedIn(f).isEmpty(), qPrintable(unnamedIn(f).join(", ")));
    // The category list is one column: one entry per category, no IDs.
    auto *categories = child<QListView>(f, "lstCat");
    const int rows = m_dir->scalar("SELECT COUNT(*) FROM Categories").toInt();
    QCOMPARE(acc(categories)->childCount(), rows);
    QCOMPARE(acc(categories)->child(0)->text(QAccessible::Name),
             m_dir->scalar("SELECT Categories FROM Categories ORDER BY Categories").toString());
    // A ticked entry says so.
    auto *view = child<CatalogueView>(f, "lvwItems");
    view->catalogue()->setChecked(1, true);
    QAccessibleTableInterface *table = acc(view)->tableInterface();
    QVERIFY(table);
    QAccessibleInterface *cell = table->cellAt(1, 0);
    QVERIFY(cell && cell->state().checkable && cell->state().checked);
    QVERIFY(!table->cellAt(0, 0)->state().checked);
    view->catalogue()->setChecked(1, false);

    frmAdding *e = openEditor();
    QVERIFY(e);
    QVERIFY2(unnamedIn(e).isEmpty(), qPrintable(unnamedIn(e).join(", ")));
    // The find list, one column, shows the nameless item as "-".
    auto *find = child<DataCombo>(e, "cboFind");
    QAccessibleInterface *list = acc(find->listPart());
    QCOMPARE(list->childCount(), m_dir->scalar("SELECT COUNT(*) FROM Vendora").toInt());
    QCOMPARE(list->child(0)->text(QAccessible::Name), QString("-"));
    QCOMPARE(name(find->editPart()), QString("Search"));
    // The nameless item was added since start-up: the recent list says "-".
    e->cmdAdd_Click();
    e->txtFields(1)->setText("Dairy");
    emit e->txtFields(1)->textEdited("Dairy");
    e->cmdUpdate_Click();
    e->close();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    f = Module1::frmVendoraIfLoaded();
    auto *recent = child<QListWidget>(f, "lstRecent");
    QCOMPARE(recent->count(), 1);
    QCOMPARE(acc(recent)->child(0)->text(QAccessible::Name), QString("-"));

    // The preview and the help window.
    f->mnuPrint_Click();
    ReportPreview *p = PrintCommands::window(PrintCommands::Entry::Pantrio);
    QVERIFY(p);
    QVERIFY2(unnamedIn(p).isEmpty(), qPrintable(unnamedIn(p).join(", ")));
    auto *pages = p->findChild<QWidget *>("reportPages");
    QCOMPARE(name(pages), QString("Page 1 of 1"));
    QVERIFY(acc(pages)->text(QAccessible::Description).contains("Milk"));
    HelpViewer *help = HelpViewer::showTopic(Module1::helpFile(), 10);
    QVERIFY(help);
    QVERIFY2(unnamedIn(help).isEmpty(), qPrintable(unnamedIn(help).join(", ")));

    // The Stores window, its find box's clear button shown, and the QR window.
    f->findChild<QAction *>("mnuStores")->trigger();
    frmStores *stores = Module1::frmStoresIfOpen();
    QVERIFY(stores);
    stores->show();
    child<QLineEdit>(stores, "txtFilter")->setText("Milk");
    QVERIFY2(unnamedIn(stores).isEmpty(), qPrintable(unnamedIn(stores).join(", ")));
    const auto clear = child<QLineEdit>(stores, "txtFilter")->findChildren<QToolButton *>();
    QVERIFY(!clear.isEmpty());
    QCOMPARE(name(clear.first()), QString("Clear Find items"));
    f->findChild<QAction *>("mnuShowQr")->trigger();
    QVERIFY(TakeAlongCommands::qrWindow());
    QVERIFY2(unnamedIn(TakeAlongCommands::qrWindow()).isEmpty(),
             qPrintable(unnamedIn(TakeAlongCommands::qrWindow()).join(", ")));
}

void TstUsability::dialogsHaveNames()
{
    QVERIFY(m_dir->exec("INSERT INTO Selected (Item, Quantity) VALUES ('Milk', '1')"));
    frmVendora *f = start();
    QVERIFY(f);
    f->mnuPrint_Click();
    ReportPreview *p = PrintCommands::window(PrintCommands::Entry::Pantrio);
    // The desktop's own dialogs, each looked at while it is open and then
    // closed as a user would close it.
    Dialogs::setInstance(nullptr);
    QStringList heard;
    QTimer listen;
    listen.setInterval(20);
    connect(&listen, &QTimer::timeout, this, [&] {
        auto *modal = qobject_cast<QDialog *>(QApplication::activeModalWidget());
        if (!modal)
            return;
        heard << name(modal);
        const QStringList missing = unnamedIn(modal);
        if (!missing.isEmpty())
            heard << "unnamed: " + missing.join(", ");
        modal->reject();
    });
    listen.start();
    Dialogs::notify(f, "A message");
    p->findChild<QAction *>("actExportPdf")->trigger();
    p->printInteractive();
    listen.stop();
    m_dialogs = ScriptedDialogs::install();
    QVERIFY(heard.size() >= 3);
    QCOMPARE(heard.at(0), QString("Pantrio"));
    QCOMPARE(heard.at(1), QString("Export PDF"));
    QVERIFY2(heard.contains("Print"), qPrintable(heard.join(" | ")));
    for (const QString &h : std::as_const(heard))
        QVERIFY2(!h.startsWith("unnamed") && !h.isEmpty(), qPrintable(heard.join(" | ")));
}

void TstUsability::keyboardAlone()
{
    frmVendora *f = start();
    QVERIFY(f);
    f->activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(f));
    auto *view = child<CatalogueView>(f, "lvwItems");
    view->setFocus();
    // Tick two entries with Space, from whichever column has the focus.
    view->setCurrentIndex(view->model()->index(0, 1));
    QTest::keyClick(view, Qt::Key_Space);
    QTest::keyClick(view, Qt::Key_Down);
    QTest::keyClick(view, Qt::Key_Down);
    QTest::keyClick(view, Qt::Key_Space);
    QAccessibleTableInterface *table = acc(view)->tableInterface();
    QVERIFY(table->cellAt(0, 0)->state().checked);
    QVERIFY(!table->cellAt(1, 0)->state().checked);
    QVERIFY(table->cellAt(2, 0)->state().checked);
    // Tab to the button and press it.
    QTest::keyClick(view, Qt::Key_Tab);
    QWidget *focus = QApplication::focusWidget();
    QVERIFY(focus);
    QCOMPARE(focus->objectName(), QString("cmdAddToList"));
    QTest::keyClick(focus, Qt::Key_Space);
    QCOMPARE(name(child<QLabel>(f, "lblCount")), QString("2"));
    // Tab into the grid, to the quantity, and type a new one.
    QTest::keyClick(focus, Qt::Key_Tab);
    auto *grid = child<QTableView>(f, "grdList");
    QCOMPARE(QApplication::focusWidget(), grid);
    grid->setCurrentIndex(grid->model()->index(0, 0));
    for (int i = 0; i < 3; ++i)
        QTest::keyClick(grid, Qt::Key_Right);
    QTest::keyClick(grid, Qt::Key_F2);
    QWidget *editor = QApplication::focusWidget();
    QVERIFY(qobject_cast<QLineEdit *>(editor));
    static_cast<QLineEdit *>(editor)->selectAll();
    QTest::keyClicks(editor, "4 kg");
    QTest::keyClick(editor, Qt::Key_Return);
    // The delegate commits on the next turn of the event loop.
    QTRY_COMPARE(m_dir->scalar("SELECT Quantity FROM Selected ORDER BY ID LIMIT 1").toString(),
                 QString("4 kg"));
    QCOMPARE(acc(grid)->tableInterface()->cellAt(0, 3)->text(QAccessible::Name), QString("4 kg"));
    // Tab leaves the grid, not only its cells.
    grid->setFocus();
    QTest::keyClick(grid, Qt::Key_Tab);
    QVERIFY(QApplication::focusWidget() != grid);
    // F10 opens the menus; the arrows walk them.
    QTest::keyClick(f, Qt::Key_F10);
    QTRY_VERIFY(f->menuBar()->activeAction());
    QCOMPARE(f->menuBar()->activeAction()->text(), QString("File"));
    if (QWidget *popup = QApplication::activePopupWidget())
        QTest::keyClick(popup, Qt::Key_Escape);
    // The preview's buttons are reached with Tab.
    f->mnuPrint_Click();
    ReportPreview *p = PrintCommands::window(PrintCommands::Entry::Pantrio);
    QStringList reachable;
    for (QToolButton *b : p->findChildren<QToolButton *>())
        if (b->isVisible() && b->focusPolicy() & Qt::TabFocus && b->defaultAction())
            reachable << b->defaultAction()->objectName();
    for (const char *a : {"actPrint", "actExportPdf", "actClose", "actNextPage", "actZoomIn"})
        QVERIFY2(reachable.contains(a), a);
}

void TstUsability::fontsAsDrawnAndRowsAsTall()
{
    QVERIFY(m_dir->exec("UPDATE Settings SET FontName = 'Souvenir Lt BT', FontSize = 20"));
    QVERIFY(m_dir->exec("INSERT INTO Selected (Item, Quantity) VALUES ('Eggs', 'jg')"));
    frmVendora *f = start();
    QVERIFY(f);
    auto *grid = child<QTableView>(f, "grdList");
    QVERIFY2(
        grid->rowHeight(0) >= QFontMetrics(grid->font()).height(),
        qPrintable(
            QString("%1 < %2").arg(grid->rowHeight(0)).arg(QFontMetrics(grid->font()).height())));
    // A face chosen comes back with its foundry; the family alone is stored.
    QFont chosen("URW Gothic [UKWN]");
    chosen.setPointSizeF(12);
    m_dialogs->fonts.push_back(chosen);
    f->DialogShowing(1);
    QCOMPARE(m_dir->scalar("SELECT FontName FROM Settings").toString(), QString("URW Gothic"));
    QVERIFY(grid->rowHeight(0) >= QFontMetrics(grid->font()).height());
    // Both windows' dialogs show the face that is drawn.
    QCOMPARE(m_dialogs->lastFontPreset.family().section(" [", 0, 0), QString("URW Bookman"));
    frmAdding *e = openEditor();
    m_dialogs->fonts.push_back(std::nullopt);
    e->DialogShowing(1);
    QCOMPARE(m_dialogs->lastFontPreset.family().section(" [", 0, 0), QString("URW Bookman"));
    QVERIFY(m_dialogs->lastFontPreset.italic());
    QCOMPARE(m_dialogs->lastFontPreset.pointSizeF(), 9.75);
}

void TstUsability::readOnlyFileSaysWhyOnce()
{
    QVERIFY(m_dir->exec("INSERT INTO Selected (Item, Quantity) VALUES ('Milk', '2')"));
    // The file belongs to another user; the folder is the user's own.
    shareWithUnprivileged(m_dir->path(), true);
    shareWithUnprivileged(m_dir->database(), false);
    if (runningAsRoot())
        QVERIFY(::chown(QFile::encodeName(m_dir->database()).constData(), 0, 0) == 0);
    else
        QFile::setPermissions(m_dir->database(), QFileDevice::ReadOwner | QFileDevice::ReadOther);
    QTemporaryDir out;
    shareWithUnprivileged(out.path(), true);
    const QString pdf = out.filePath("list.pdf");
    const QByteArray before = fileHash(m_dir->database());
    const ProcessResult r = runProbe({m_dir->path(), "controls", "add=2", "print=" + pdf}, true);
    QVERIFY2(r.finished && !r.crashed && r.exitCode == 0, qPrintable(r.errors));
    const QStringList messages = r.lines.filter("message:");
    QVERIFY2(!messages.isEmpty() && messages.first().contains("can only be read"),
             qPrintable(r.lines.join('\n')));
    QCOMPARE(r.lines.filter("can only be read").size(), 1);
    QVERIFY(r.lines.contains("count: 1"));
    // Every command that would write, the stores' and the history's too.
    for (const char *c : {"cmdAddToList", "cmdClearAll", "cmdDelCat", "mnuStores",
                          "mnuImportStores", "mnuImport", "mnuUndo", "mnuRedo"}) {
        const QStringList line = r.lines.filter(QString("control: %1 ").arg(c));
        QCOMPARE(line.size(), 1);
        QVERIFY2(line.first().contains(" off Pantrio can only read this file."),
                 qPrintable(line.first()));
    }
    QVERIFY(r.lines.filter("control: cmdRef on").size() == 1);
    QVERIFY(QFileInfo(pdf).size() > 0);
    QCOMPARE(fileHash(m_dir->database()), before);
}

void TstUsability::f1InTheStoresAndQrWindows()
{
    QVERIFY(m_dir->exec("INSERT INTO Selected (Item, Quantity) VALUES ('Milk', '1')"));
    frmVendora *f = start();
    QVERIFY(f);
    f->findChild<QAction *>("mnuStores")->trigger();
    frmStores *stores = Module1::frmStoresIfOpen();
    QVERIFY(stores);
    QTest::keyClick(child<QWidget>(stores, "lstStores"), Qt::Key_F1);
    QVERIFY(HelpViewer::instance());
    QCOMPARE(HelpViewer::instance()->currentTopic(), 50);
    f->findChild<QAction *>("mnuShowQr")->trigger();
    frmQrCode *qr = TakeAlongCommands::qrWindow();
    QVERIFY(qr && qr->isVisible());
    QTest::keyClick(qr, Qt::Key_F1);
    QCOMPARE(HelpViewer::instance()->currentTopic(), 52);
    QTest::keyClick(qr, Qt::Key_Escape);
    QVERIFY(!qr->isVisible());
    // Every topic a topic points to is there.
    QString error;
    const auto topics = HelpViewer::readTopics(Module1::helpFile(), &error);
    QSet<int> numbers;
    for (const auto &t : topics)
        numbers.insert(t.number);
    for (const auto &t : topics) {
        static const QRegularExpression link("#topic-(\\d+)");
        for (auto m = link.globalMatch(t.html); m.hasNext();) {
            const int n = m.next().captured(1).toInt();
            QVERIFY2(numbers.contains(n), qPrintable(QString("topic %1 points to %2").arg(t.number).arg(n)));
        }
    }
    for (int n : {25, 50, 51, 52, 53, 54})
        QVERIFY(numbers.contains(n));
}

void TstUsability::longTextIsKeptWhole()
{
    QVERIFY(m_dir->exec("INSERT INTO Selected (Item, Quantity) VALUES ('Milk', '1')"));
    frmVendora *f = start();
    QVERIFY(f);
    const QString pasted(100000, QChar('7'));
    QApplication::clipboard()->setText(pasted);
    QLineEdit *editor = editCell(child<QTableView>(f, "grdList"), 0, 3);
    QVERIFY(editor);
    QTest::keyClick(editor, Qt::Key_V, Qt::ControlModifier);
    QTest::keyClick(editor, Qt::Key_Return);
    QTRY_COMPARE(m_dir->scalar("SELECT length(Quantity) FROM Selected").toInt(), 100000);

    frmAdding *e = openEditor();
    QVERIFY(e);
    e->cmdAdd_Click();
    QLineEdit *item = e->txtFields(3);
    item->setFocus();
    QTest::keyClick(item, Qt::Key_V, Qt::ControlModifier);
    e->cmdUpdate_Click();
    QCOMPARE(m_dir->scalar("SELECT COUNT(*) FROM Vendora WHERE length(Item) = 100000").toInt(), 1);
}

void TstUsability::spreadsheetFiles()
{
    QVERIFY(start());
    // Blank rows, as a spreadsheet saves them, are skipped and counted.
    QString said = importCsv("Item;Category;Aisle\r\n;;\r\nOat Milk;Dairy;12\r\n;;\r\n"
                             "Rye Bread;Bakery;3\r\n");
    QVERIFY2(said.contains("Add 2 items"), qPrintable(said));
    QVERIFY2(said.contains("2 blank rows will be skipped."), qPrintable(said));
    QVERIFY2(said.contains("2 items added to the catalogue. 2 blank rows skipped."),
             qPrintable(said));
    QCOMPARE(m_dir->scalar("SELECT COUNT(*) FROM Vendora WHERE Item IS NULL").toInt(), 0);
    // A file with only its header has no items; it is not "already there".
    m_dialogs->messages.clear();
    said = importCsv("Item,Category,Aisle\r\n", false);
    QVERIFY2(said.contains("There are no items in"), qPrintable(said));
    QVERIFY(!said.contains("already in the catalogue"));

    // Formulas are protected on export, and the import takes them back exactly.
    const QStringList risky = {"=HYPERLINK(\"http://x\",\"y\")",
                               "+1+1",
                               "@SUM(1)",
                               "-5",
                               "\tindented",
                               "\rreturn",
                               "'=already quoted",
                               "plain 'text'"};
    QVERIFY(m_dir->exec("DELETE FROM Vendora"));
    for (const QString &r : risky)
        QVERIFY(m_dir->exec("INSERT INTO Vendora (Item, Category, Aisle) VALUES (?, ?, ?)",
                            {r, "Cat", r}));
    QTemporaryDir dir;
    const QString csv = dir.filePath("catalogue.csv");
    Connection c;
    QString error;
    QVERIFY(c.open(m_dir->database(), &error));
    int n = 0;
    QVERIFY(CatalogueTransfer::exportCatalogue(c, csv, &n, &error));
    QFile file(csv);
    QVERIFY(file.open(QIODevice::ReadOnly));
    const QByteArray bytes = file.readAll();
    for (const char *cell : {"\"'=HYPERLINK", "\"'+1+1\"", "\"'@SUM(1)\"", "\"'-5\"",
                             "\"'\tindented\"", "\"''=already quoted\"", "\"plain 'text'\""})
        QVERIFY2(bytes.contains(cell), cell);
    Csv::Table t;
    QVERIFY(Csv::parse(bytes, &t, &error));
    QStringList back;
    for (const QStringList &row : std::as_const(t.rows))
        back << row.at(0);
    QStringList sorted = risky;
    sorted.sort();
    back.sort();
    QCOMPARE(back, sorted);
}

void TstUsability::pluralsReadRight()
{
    QVERIFY(m_dir->exec("INSERT INTO Selected (Item, Quantity) VALUES ('Milk', '1')"));
    QVERIFY(start());
    QString said = importCsv("Item,Category,Aisle\r\nOne Thing,Misc,1\r\n");
    QVERIFY2(said.contains("Add 1 item from"), qPrintable(said));
    QVERIFY2(said.contains("0 exact duplicates"), qPrintable(said));
    QVERIFY2(said.contains("1 item added to the catalogue."), qPrintable(said));
    QTemporaryDir dir;
    m_dialogs->fileNames.push_back(dir.filePath("list.csv"));
    trigger("mnuExportList");
    QVERIFY2(m_dialogs->messages.last().startsWith("1 line written to"),
             qPrintable(m_dialogs->messages.last()));
    Csv::Table t;
    QString error;
    QVERIFY(!Csv::parse("a,b\n1\n", &t, &error));
    QVERIFY2(error.contains("1 field where"), qPrintable(error));
}

void TstUsability::copiedPdfTextReadsAsPrinted()
{
    QVERIFY(m_dir->exec("INSERT INTO Vendora (Item, Category, Aisle) VALUES "
                        "('English Muffins', 'Bakery', 'Aisle 2')"));
    frmVendora *f = start();
    QVERIFY(f);
    f->mnuPrintFull_Click();
    QTemporaryDir dir;
    const QString pdf = dir.filePath("full.pdf");
    QString error;
    QVERIFY2(PrintCommands::window(PrintCommands::Entry::FullList)->exportPdf(pdf, &error),
             qPrintable(error));
    QFile file(pdf);
    QVERIFY(file.open(QIODevice::ReadOnly));
    const QByteArray bytes = file.readAll();
    // The tables that turn glyphs back into text map no glyph to a tab.
    qsizetype from = 0, maps = 0;
    while ((from = bytes.indexOf("begincmap", from)) >= 0) {
        const qsizetype to = bytes.indexOf("endcmap", from);
        QVERIFY(!bytes.mid(from, to - from).contains("<0009>"));
        ++maps;
        from = to;
    }
    QVERIFY(maps > 0);
    if (QStandardPaths::findExecutable("pdftotext").isEmpty())
        QSKIP("pdftotext is not installed");
    QProcess p;
    p.start("pdftotext", {"-raw", pdf, "-"});
    QVERIFY(p.waitForFinished());
    const QString text = QString::fromUtf8(p.readAllStandardOutput());
    QVERIFY2(text.contains("Full List\n"), qPrintable(text.left(200)));
    QVERIFY(!text.contains('\t'));
    QVERIFY2(text.contains("English Muffins"), qPrintable(text.left(400)));
}

QTEST_MAIN(TstUsability)
#include "tst_usability.moc"

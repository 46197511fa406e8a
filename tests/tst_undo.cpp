// One household file seen through the real windows: an edit in one store
// undone without touching another, windows that follow each other's changes
// at once, a restore under an open Stores window, an edit during an import,
// and the editor's deletion undone from the main window.
#include "app/Module1.h"
#include "data/owner/Household.h"
#include "forms/editor/frmAdding.h"
#include "forms/main/frmVendora.h"
#include "forms/stores/frmStores.h"
#include "reports/PrintCommands.h"
#include "support/TestSupport.h"

#include <QAction>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QTableView>
#include <QtTest>

using namespace pantrio;
using namespace pantrio::test;

namespace
{
using Table = QList<QVariantList>;
}

class TstUndo : public Fixture
{
    Q_OBJECT

  private:
    qlonglong m_a = 0, m_b = 0, m_milk = 0;

    void beforeEach() override
    {
        QVERIFY(m_dir->exec("INSERT INTO Stores (Name) VALUES ('A'), ('B')"));
        m_a = m_dir->scalar("SELECT ID FROM Stores WHERE Name = 'A'").toLongLong();
        m_b = m_dir->scalar("SELECT ID FROM Stores WHERE Name = 'B'").toLongLong();
        m_milk = m_dir->scalar("SELECT ID FROM Vendora WHERE Item = 'Whole Milk'").toLongLong();
        QVERIFY(m_dir->exec("INSERT INTO StoreAisles VALUES (?, ?, '5')", {m_b, m_milk}));
    }
    frmStores *openStores()
    {
        Module1::frmVendoraIfLoaded()->findChild<QAction *>("mnuStores")->trigger();
        return Module1::frmStoresIfOpen();
    }
    void selectStore(frmStores *w, const QString &name)
    {
        auto *list = child<QListWidget>(w, "lstStores");
        const auto found = list->findItems(name, Qt::MatchExactly);
        QVERIFY(!found.isEmpty());
        list->setCurrentItem(found.first());
    }
    // Types an aisle for Whole Milk in the store shown.
    void typeAisle(frmStores *w, const QString &aisle)
    {
        child<QLineEdit>(w, "txtFilter")->setText("Whole Milk");
        auto *grid = child<QTableView>(w, "grdAisles");
        QCOMPARE(grid->model()->rowCount(), 1);
        QVERIFY(grid->model()->setData(grid->model()->index(0, 3), aisle));
    }
    Table aislesOf(qlonglong store) const
    {
        return m_dir->rows("SELECT ItemID, Aisle FROM StoreAisles WHERE StoreID = " +
                           QString::number(store) + " ORDER BY ItemID");
    }

  private slots:
    void storeEditUndoneInItsOwnStore()
    {
        QVERIFY(start());
        frmStores *w = openStores();
        QVERIFY(w);
        selectStore(w, "A");
        typeAisle(w, "2");
        QCOMPARE(aislesOf(m_a), Table({{m_milk, "2"}}));
        const Table b = aislesOf(m_b);
        // Another store shown: Undo still takes back A's edit, and only it.
        selectStore(w, "B");
        QTest::mouseClick(child<QPushButton>(w, "cmdUndo"), Qt::LeftButton);
        QVERIFY(aislesOf(m_a).isEmpty());
        QCOMPARE(aislesOf(m_b), b);
        QTest::mouseClick(child<QPushButton>(w, "cmdRedo"), Qt::LeftButton);
        QCOMPARE(aislesOf(m_a), Table({{m_milk, "2"}}));
        QCOMPARE(aislesOf(m_b), b);
        // The aisle typed is offered in A's walking order at once.
        selectStore(w, "A");
        QVERIFY(!child<QListWidget>(w, "lstOrder")->findItems("2", Qt::MatchExactly).isEmpty());
        // The main window's Edit menu names the same step.
        QCOMPARE(child<QAction>(Module1::frmVendoraIfLoaded(), "mnuUndo")->text(),
                 QString("Undo Aisle Edit"));
        QCOMPARE(m_dialogs->messages, QStringList());
    }

    void otherWindowsFollowAtOnce()
    {
        QVERIFY(start());
        frmStores *w = openStores();
        QVERIFY(w);
        auto *stores = child<QListWidget>(w, "lstStores");
        QCOMPARE(stores->count(), 2);
        const QString csv = m_dir->path() + "/aisles.csv";
        QFile f(csv);
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write("Store,Item,Category,Aisle\nC,Whole Milk,Dairy,4\n");
        f.close();
        m_dialogs->fileNames.push_back(csv);
        m_dialogs->answers.push_back(Dialogs::Answer::Ok);
        trigger("mnuImportStores");
        QCOMPARE(stores->count(), 3);

        // An edit in the Stores window while the catalogue import asks its
        // question: stored at once, with no wait and no error, and the import
        // then goes through.
        const QString items = m_dir->path() + "/items.csv";
        QFile g(items);
        QVERIFY(g.open(QIODevice::WriteOnly));
        g.write("Item,Category,Aisle\nDragon Fruit,Fruit,1\n");
        g.close();
        m_dialogs->fileNames.push_back(items);
        m_dialogs->answers.push_back(Dialogs::Answer::Ok);
        QElapsedTimer timer;
        m_dialogs->whileAsked = [&](const QString &) {
            selectStore(w, "A");
            timer.start();
            typeAisle(w, "9");
        };
        const int before = m_dialogs->messages.size();
        trigger("mnuImport");
        QVERIFY(timer.isValid() && timer.elapsed() < 2000);
        QCOMPARE(aislesOf(m_a), Table({{m_milk, "9"}}));
        QVERIFY(m_dialogs->messages.last().contains("1 item added"));
        QCOMPARE(m_dialogs->messages.size(), before + 2);
        // The new item is offered in the Stores grid, and Undo takes back the
        // import as one step.
        child<QLineEdit>(w, "txtFilter")->setText("Dragon");
        QCOMPARE(child<QTableView>(w, "grdAisles")->model()->rowCount(), 1);
        QCOMPARE(child<QAction>(Module1::frmVendoraIfLoaded(), "mnuUndo")->text(),
                 QString("Undo Import 1 Item"));
        child<QAction>(Module1::frmVendoraIfLoaded(), "mnuUndo")->trigger();
        QCOMPARE(m_dir->scalar("SELECT COUNT(*) FROM Vendora WHERE Item = 'Dragon Fruit'").toInt(), 0);
        QCOMPARE(child<QTableView>(w, "grdAisles")->model()->rowCount(), 0);
    }

    void restoreReloadsTheStoresWindowAndClearsTheHistory()
    {
        const QString copy = m_dir->path() + "/copy.mdb";
        QVERIFY(QFile::copy(m_dir->database(), copy));
        QVERIFY(start());
        frmStores *w = openStores();
        QVERIFY(w);
        m_dialogs->texts.push_back(QString("New Shop"));
        QTest::mouseClick(child<QPushButton>(w, "cmdAddStore"), Qt::LeftButton);
        QCOMPARE(child<QListWidget>(w, "lstStores")->count(), 3);
        QVERIFY(child<QPushButton>(w, "cmdUndo")->isEnabled());
        m_dialogs->fileNames.push_back(copy);
        m_dialogs->answers.push_back(Dialogs::Answer::Yes);
        trigger("mnuRestore");
        QCOMPARE(Module1::frmStoresIfOpen(), w);
        QCOMPARE(child<QListWidget>(w, "lstStores")->count(), 2);
        QVERIFY(!child<QPushButton>(w, "cmdUndo")->isEnabled());
        QVERIFY(!Module1::household().history().canUndo());
    }

    void aFailedReadIsToldNotTakenForNoStores()
    {
        QVERIFY(start());
        // The stores' tables gone behind Pantrio's back: the by-aisle print
        // says why instead of printing in the default order, and so does the
        // phone page.
        QVERIFY(m_dir->exec("DROP TABLE StoreAisles") && m_dir->exec("DROP TABLE StoreAisleOrder") &&
                m_dir->exec("DROP TABLE Stores"));
        trigger("mnuAislePrint");
        QCOMPARE(m_dialogs->messages.size(), 1);
        QVERIFY2(m_dialogs->messages.last().contains("no such table"),
                 qPrintable(m_dialogs->messages.last()));
        QVERIFY(!PrintCommands::window(PrintCommands::Entry::ByAisle));
    }

    void editorDeletionUndoneFromTheMainWindow()
    {
        QVERIFY(start());
        QVERIFY(m_dir->exec("INSERT INTO StoreAisles VALUES (?, ?, '1')", {m_a, m_milk}));
        const Table item = m_dir->rows("SELECT * FROM Vendora WHERE ID = " + QString::number(m_milk));
        const Table aisles = m_dir->rows("SELECT * FROM StoreAisles ORDER BY StoreID");
        trigger("mnuAdd");
        QCoreApplication::processEvents();
        frmAdding *e = Module1::frmAddingIfLoaded();
        QVERIFY(e);
        for (int i = 0; i < 500 && e->txtFields(3)->text() != "Whole Milk"; ++i)
            e->cmdNext_Click();
        QCOMPARE(e->txtFields(3)->text(), QString("Whole Milk"));
        m_dialogs->answers.push_back(Dialogs::Answer::Yes);
        QTest::mouseClick(e->findChild<QPushButton *>("cmdDelete"), Qt::LeftButton);
        QVERIFY(m_dir->rows("SELECT * FROM StoreAisles WHERE ItemID = " + QString::number(m_milk)).isEmpty());
        QCOMPARE(child<QAction>(e, "mnuUndo")->text(), QString("Undo Delete Item"));
        e->close();
        QCoreApplication::processEvents();
        frmVendora *f = Module1::frmVendoraIfLoaded();
        QVERIFY(f && f->isVisible());
        // The history outlived the editor.
        QAction *undo = child<QAction>(f, "mnuUndo");
        QCOMPARE(undo->text(), QString("Undo Delete Item"));
        undo->trigger();
        QCOMPARE(m_dir->rows("SELECT * FROM Vendora WHERE ID = " + QString::number(m_milk)), item);
        QCOMPARE(m_dir->rows("SELECT * FROM StoreAisles ORDER BY StoreID"), aisles);
        QCOMPARE(child<QAction>(f, "mnuRedo")->text(), QString("Redo Delete Item"));
    }
};

QTEST_MAIN(TstUndo)
#include "tst_undo.moc"

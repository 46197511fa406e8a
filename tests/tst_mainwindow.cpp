// The main window driven through its real widgets: layout, catalogue view,
// shopping list, start-up and restart.
#include "app/Module1.h"
#include "data/access/DataControl.h"
#include "data/access/RecordSet.h"
#include "forms/main/CatalogueView.h"
#include "forms/main/frmVendora.h"
#include "support/TestSupport.h"

#include <QAbstractItemModelTester>
#include <QAccessible>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QListView>
#include <QListWidget>
#include <QMenuBar>
#include <QPushButton>
#include <QTableView>
#include <QtTest>

using namespace pantrio;
using namespace pantrio::test;

class TstMainWindow : public Fixture
{
    Q_OBJECT

  private:
    frmVendora *start();
    template <typename T> T *child(const char *name)
    {
        T *w = Module1::frmVendoraIfLoaded()->findChild<T *>(QLatin1String(name));
        if (!w)
            qFatal("no control %s", name);
        return w;
    }
    void clickCategory(const QString &name);
    void tick(int row);
    void clickView();
    int listCount() { return m_dir->scalar("SELECT COUNT(*) FROM Selected").toInt(); }

  private slots:
    void layoutMatchesTheDesign();
    void categoryFilterAndViewAll();
    void ticksBoldAndClear();
    void addCheckedItems();
    void gridEditsDeletesAndRefresh();
    void deleteAll();
    void listSurvivesRestart();
    void hostileCategoryNames();
    void failingAddKeepsEarlierLinesAndRuns();
    void startupRefusesUnusableDatabase();
    void exitEndsTheProgram();
};

frmVendora *TstMainWindow::start()
{
    if (!Module1::Main())
        qWarning() << m_dialogs->messages;
    frmVendora *f = Module1::frmVendoraIfLoaded();
    if (f)
        if (!QTest::qWaitForWindowExposed(f))
            qWarning("the main window was not shown");
    return f;
}

void TstMainWindow::clickCategory(const QString &name)
{
    auto *lst = child<QListView>("lstCat");
    const QModelIndexList hits =
        lst->model()->match(lst->model()->index(0, 0), Qt::DisplayRole, name, 1, Qt::MatchExactly);
    QVERIFY2(!hits.isEmpty(), qPrintable(name));
    lst->scrollTo(hits.first());
    QTest::mouseClick(lst->viewport(), Qt::LeftButton, {}, lst->visualRect(hits.first()).center());
}

void TstMainWindow::tick(int row)
{
    auto *view = child<CatalogueView>("lvwItems");
    const QModelIndex i = view->model()->index(row, 0);
    view->setFocus();
    view->setCurrentIndex(i);
    QTest::keyClick(view, Qt::Key_Space);
}

void TstMainWindow::clickView()
{
    auto *view = child<CatalogueView>("lvwItems");
    const QRect r = view->visualRect(view->model()->index(0, 1));
    QTest::mouseClick(view->viewport(), Qt::LeftButton, {}, r.center());
}

void TstMainWindow::layoutMatchesTheDesign()
{
    frmVendora *f = start();
    QVERIFY(f);
    QCOMPARE(f->windowTitle(), QString("Pantrio"));
    QCOMPARE(f->centralWidget()->size(), QSize(799, 596));
    struct Expect {
        const char *name;
        QRect rect;
        const char *caption;
    };
    const Expect expected[] = {
        {"lstCat", {8, 24, 145, 260}, nullptr},
        {"lvwItems", {176, 8, 617, 297}, nullptr},
        {"cmdAddToList", {176, 312, 505, 33}, "Add Checked Items to Pantrio"},
        {"grdList", {8, 416, 785, 169}, nullptr},
        {"lblCount", {712, 352, 81, 25}, nullptr},
        {"cmdDelCat", {8, 288, 145, 25}, "Delete Category"},
        {"cmdSelNone", {152, 0, 25, 25}, "\u00d8"},
        {"cmdQuit", {336, 360, 112, 41}, ""},
        {"cmdClearAll", {8, 352, 121, 25}, "Delete All"},
        {"cmdRef", {8, 376, 121, 33}, "Click if not updating"},
        {"cmdAll", {8, 0, 145, 25}, "View All"},
        {"lstRecent", {496, 352, 201, 52}, nullptr},
    };
    for (const Expect &e : expected) {
        auto *w = child<QWidget>(e.name);
        QCOMPARE(w->geometry(), e.rect);
        // What a screen reader calls it: its own name, or its live text.
        QVERIFY2(!QAccessible::queryAccessibleInterface(w)->text(QAccessible::Name).isEmpty(),
                 e.name);
        if (e.caption)
            QCOMPARE(qobject_cast<QPushButton *>(w)->text(), QString::fromUtf8(e.caption));
    }
    QCOMPARE(child<QPushButton>("cmdQuit")->accessibleName(), QString("Exit"));
    QVERIFY(!child<QPushButton>("cmdQuit")->icon().isNull());

    // Menus and their captions, in order.
    QStringList menus;
    for (QAction *a : f->menuBar()->actions())
        menus << a->text();
    QCOMPARE(menus, QStringList({"File", "Edit", "Add", "Stores…", "Meals…", "Usually Bought…", "Options", "Print", "Help"}));
    QCOMPARE(f->findChild<QAction *>("mnuFontColor")->text(), QString("Font && Form Color"));
    QCOMPARE(f->findChild<QAction *>("mnuAislePrint")->text(), QString("Pantrio by Aisle"));

    // The catalogue view's columns and the grid's columns and widths.
    auto *view = child<CatalogueView>("lvwItems");
    QCOMPARE(view->model()->columnCount(), 3);
    QCOMPARE(view->model()->headerData(2, Qt::Horizontal).toString(), QString("Aisle"));
    QCOMPARE(view->model()->rowCount(), m_dir->scalar("SELECT COUNT(*) FROM Vendora").toInt());
    QCOMPARE(view->model()->index(0, 0).data().toString(),
             m_dir->scalar("SELECT Item FROM Vendora ORDER BY Item").toString());
    auto *grid = child<QTableView>("grdList");
    QStringList heads;
    for (int i = 0; i < grid->model()->columnCount(); ++i)
        heads << grid->model()->headerData(i, Qt::Horizontal).toString();
    QCOMPARE(heads, QStringList({"Item", "Category", "Aisle", "Quantity", "ID"}));
    const int widths[] = {254, 218, 116, 116, 61};
    for (int i = 0; i < 5; ++i)
        QCOMPARE(grid->columnWidth(i), widths[i]);
    QCOMPARE(child<QLabel>("lblCount")->text(), QString("0"));
}

void TstMainWindow::categoryFilterAndViewAll()
{
    QVERIFY(m_dir->exec("INSERT INTO Categories (Categories) VALUES ('Nothing Here')"));
    QVERIFY(m_dir->exec("INSERT INTO Vendora (Item, Category, Aisle) VALUES (NULL, NULL, NULL)"));
    QVERIFY(start());
    auto *view = child<CatalogueView>("lvwItems");
    const int all = view->model()->rowCount();
    clickCategory("Dairy");
    const int dairy = m_dir->scalar("SELECT COUNT(*) FROM Vendora WHERE Category='Dairy'").toInt();
    QCOMPARE(view->model()->rowCount(), dairy);
    for (int r = 0; r < dairy; ++r)
        QCOMPARE(view->model()->index(r, 1).data().toString(), QString("Dairy"));
    clickCategory("Nothing Here");
    QCOMPARE(view->model()->rowCount(), 0);
    QTest::mouseClick(child<QPushButton>("cmdAll"), Qt::LeftButton);
    QCOMPARE(view->model()->rowCount(), all);
    QCOMPARE(view->model()->columnCount(), 3); // headers added once only
    // A nameless item is listed as "-" with empty columns, first in name order.
    QCOMPARE(view->model()->index(0, 0).data().toString(), QString("-"));
    QCOMPARE(view->model()->index(0, 1).data().toString(), QString());
}

void TstMainWindow::ticksBoldAndClear()
{
    QVERIFY(start());
    auto *model = child<CatalogueView>("lvwItems")->catalogue();
    tick(1);
    tick(3);
    QVERIFY(model->entry(1).checked && model->entry(3).checked);
    QVERIFY(!model->entry(1).bold);
    clickView();
    QVERIFY(model->entry(1).bold && model->entry(3).bold && !model->entry(0).bold);
    tick(3); // untick; bold follows only at the next click
    clickView();
    QVERIFY(!model->entry(3).bold && model->entry(1).bold);
    QTest::mouseClick(child<QPushButton>("cmdSelNone"), Qt::LeftButton);
    for (int i = 0; i < model->count(); ++i)
        QVERIFY(!model->entry(i).checked && !model->entry(i).bold);
    // A category click rebuilds the view and drops every tick.
    tick(0);
    clickCategory("Produce");
    QVERIFY(model->count() > 0);
    for (int i = 0; i < model->count(); ++i)
        QVERIFY(!model->entry(i).checked);
}

void TstMainWindow::addCheckedItems()
{
    QVERIFY(m_dir->exec("INSERT INTO Vendora (Item, Category, Aisle) VALUES (NULL, NULL, 'A1')"));
    QVERIFY(start());
    auto *model = child<CatalogueView>("lvwItems")->catalogue();
    auto *add = child<QPushButton>("cmdAddToList");
    auto *grid = child<QTableView>("grdList");
    auto *count = child<QLabel>("lblCount");

    QTest::mouseClick(add, Qt::LeftButton); // nothing ticked: nothing added
    QCOMPARE(listCount(), 0);
    QCOMPARE(count->text(), QString("0"));
    QVERIFY(!grid->isEnabled());

    const QString second = model->entry(2).text;
    tick(0); // the nameless item, shown as "-"
    tick(2);
    QTest::mouseClick(add, Qt::LeftButton);
    QCOMPARE(listCount(), 2);
    QCOMPARE(count->text(), QString("2"));
    QVERIFY(grid->isEnabled());
    QCOMPARE(grid->model()->rowCount(), 2);
    const auto rows =
        m_dir->rows("SELECT Item, Category, Aisle, Quantity FROM Selected ORDER BY ID");
    QCOMPARE(rows.at(0), QVariantList({"-", "", "A1", "1"}));
    QCOMPARE(rows.at(1).at(0).toString(), second);
    QCOMPARE(rows.at(1).at(3).toString(), QString("1"));
    for (int i = 0; i < model->count(); ++i)
        QVERIFY(!model->entry(i).checked && !model->entry(i).bold);

    tick(2); // the same item again gives a line of its own
    QTest::mouseClick(add, Qt::LeftButton);
    QCOMPARE(m_dir->scalar("SELECT COUNT(*) FROM Selected WHERE Item=?", {second}).toInt(), 2);
    QCOMPARE(count->text(), QString("3"));
}

void TstMainWindow::gridEditsDeletesAndRefresh()
{
    QVERIFY(m_dir->exec("INSERT INTO Selected (Item, Category, Aisle, Quantity) VALUES "
                        "('Milk','Dairy','Aisle 12','1'), ('Eggs','Dairy','Aisle 12','1')"));
    QVERIFY(start());
    auto *grid = child<QTableView>("grdList");
    auto *count = child<QLabel>("lblCount");
    QCOMPARE(count->text(), QString("2"));

    // Type a quantity and leave the cell: it is stored at once.
    const QModelIndex q = grid->model()->index(0, 3);
    grid->setFocus();
    grid->setCurrentIndex(q);
    grid->edit(q);
    auto *editor = grid->findChild<QLineEdit *>();
    QVERIFY(editor);
    editor->selectAll();
    QTest::keyClicks(editor, "2 kg");
    QTest::keyClick(editor, Qt::Key_Return);
    // The delegate commits on the next turn of the event loop.
    QTRY_COMPARE(m_dir->scalar("SELECT Quantity FROM Selected WHERE Item='Milk'").toString(),
                 QString("2 kg"));

    // An edit ended by moving to another row stores the row that was edited.
    const QModelIndex q2 = grid->model()->index(1, 3);
    grid->setCurrentIndex(q2);
    grid->edit(q2);
    editor = grid->findChild<QLineEdit *>();
    QVERIFY(editor);
    editor->selectAll();
    QTest::keyClicks(editor, "a dozen");
    grid->setCurrentIndex(grid->model()->index(0, 0));
    QTRY_COMPARE(m_dir->scalar("SELECT Quantity FROM Selected WHERE Item='Eggs'").toString(),
                 QString("a dozen"));

    // The ID column is the database's.
    QVERIFY(!(grid->model()->flags(grid->model()->index(0, 4)) & Qt::ItemIsEditable));

    // Columns narrowed by the user come back with "Click if not updating".
    grid->setColumnWidth(0, 40);
    QVERIFY(m_dir->exec("INSERT INTO Selected (Item, Quantity) VALUES ('Bread', '1')"));
    QTest::mouseClick(child<QPushButton>("cmdRef"), Qt::LeftButton);
    QCOMPARE(grid->columnWidth(0), 254);
    QCOMPARE(count->text(), QString("3"));
    QCOMPARE(grid->model()->rowCount(), 3);

    // Delete key on selected rows; the last deletion disables the grid.
    grid->setFocus();
    grid->selectRow(0);
    QTest::keyClick(grid, Qt::Key_Delete);
    QCOMPARE(listCount(), 2);
    QCOMPARE(count->text(), QString("2"));
    QVERIFY(grid->isEnabled());
    grid->selectAll();
    QTest::keyClick(grid, Qt::Key_Delete);
    QCOMPARE(listCount(), 0);
    QCOMPARE(count->text(), QString("0"));
    QVERIFY(!grid->isEnabled());
    tick(0);
    QTest::mouseClick(child<QPushButton>("cmdAddToList"), Qt::LeftButton);
    QVERIFY(grid->isEnabled());
}

void TstMainWindow::deleteAll()
{
    QVERIFY(start());
    auto *clear = child<QPushButton>("cmdClearAll");
    QTest::mouseClick(clear, Qt::LeftButton); // empty list: no question
    QVERIFY(m_dialogs->messages.isEmpty());
    tick(0);
    tick(1);
    QTest::mouseClick(child<QPushButton>("cmdAddToList"), Qt::LeftButton);
    m_dialogs->answers.push_back(Dialogs::Answer::No);
    QTest::mouseClick(clear, Qt::LeftButton);
    QCOMPARE(m_dialogs->messages.last(),
             QString("Are you sure you want to delete all items on your list?"));
    QCOMPARE(listCount(), 2);
    m_dialogs->answers.push_back(Dialogs::Answer::Yes);
    QTest::mouseClick(clear, Qt::LeftButton);
    QCOMPARE(listCount(), 0);
    QCOMPARE(child<QLabel>("lblCount")->text(), QString("0"));
    QVERIFY(child<QTableView>("grdList")->isEnabled()); // Delete All leaves it as it was
}

void TstMainWindow::listSurvivesRestart()
{
    QVERIFY(start());
    tick(4);
    QTest::mouseClick(child<QPushButton>("cmdAddToList"), Qt::LeftButton);
    const QString item = child<QTableView>("grdList")->model()->index(0, 0).data().toString();
    Module1::shutdown();
    QVERIFY(start());
    QCOMPARE(child<QLabel>("lblCount")->text(), QString("1"));
    QCOMPARE(child<QTableView>("grdList")->model()->index(0, 0).data().toString(), item);
}

void TstMainWindow::hostileCategoryNames()
{
    const QStringList names = {"Kid's Snacks", "'; DROP TABLE Vendora; --", "50% \"off\" \\"};
    for (const QString &n : names) {
        QVERIFY(m_dir->exec("INSERT INTO Categories (Categories) VALUES (?)", {n}));
        QVERIFY(m_dir->exec("INSERT INTO Vendora (Item, Category) VALUES (?, ?)", {n + "!", n}));
    }
    QVERIFY(start());
    auto *view = child<CatalogueView>("lvwItems");
    for (const QString &n : names) {
        clickCategory(n);
        QCOMPARE(view->model()->rowCount(), 1);
        QCOMPARE(view->model()->index(0, 0).data().toString(), n + "!");
        tick(0);
        QTest::mouseClick(child<QPushButton>("cmdAddToList"), Qt::LeftButton);
    }
    QCOMPARE(m_dir->scalar("SELECT COUNT(*) FROM Selected").toInt(), 3);
    QVERIFY(m_dir->scalar("SELECT COUNT(*) FROM Vendora").toInt() > 150);
    QCOMPARE(
        m_dir->scalar("SELECT Category FROM Selected WHERE Item=?", {names.at(1) + "!"}).toString(),
        names.at(1));
}

void TstMainWindow::failingAddKeepsEarlierLinesAndRuns()
{
    QVERIFY(start());
    auto *model = child<CatalogueView>("lvwItems")->catalogue();
    const QString third = model->entry(2).text;
    // SQLite cannot bind in a trigger body; the test writes the name in literally.
    QString quoted = third;
    quoted.replace("'", "''");
    QVERIFY(m_dir->exec(QString("CREATE TRIGGER refuse BEFORE INSERT ON Selected WHEN NEW.Item = "
                                "'%1' BEGIN SELECT RAISE(ABORT, 'disk trouble'); END")
                            .arg(quoted)));
    tick(0);
    tick(1);
    tick(2);
    tick(3);
    QTest::mouseClick(child<QPushButton>("cmdAddToList"), Qt::LeftButton);
    QCOMPARE(listCount(), 2); // the lines before the failure stay, whole
    QVERIFY(m_dialogs->messages.last().contains("disk trouble"));
    QCOMPARE(child<QLabel>("lblCount")->text(), QString("2"));
    QVERIFY(Module1::frmVendoraIfLoaded()->isVisible());
}

void TstMainWindow::startupRefusesUnusableDatabase()
{
    QFile::remove(m_dir->database());
    QVERIFY(!Module1::Main());
    QVERIFY(!Module1::frmVendoraIfLoaded());
    QCOMPARE(m_dialogs->messages.size(), 1);
    QVERIFY(m_dialogs->messages.first().contains(QDir::toNativeSeparators(m_dir->database())));
    QVERIFY(m_dialogs->messages.first().contains("does not exist"));
    QVERIFY(!QFile::exists(m_dir->database())); // never created by the program
}

void TstMainWindow::exitEndsTheProgram()
{
    QVERIFY(start());
    QTest::mouseClick(child<QPushButton>("cmdQuit"), Qt::LeftButton);
    QVERIFY(m_ended);
}

QTEST_MAIN(TstMainWindow)
#include "tst_mainwindow.moc"

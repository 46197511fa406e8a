// The item editor driven through its real widgets, and the way there and back
// from the main window, with category deletion.
#include "app/Module1.h"
#include "data/access/RecordSet.h"
#include "forms/editor/DataCombo.h"
#include "forms/editor/frmAdding.h"
#include "forms/main/CatalogueView.h"
#include "forms/main/frmVendora.h"
#include "support/TestSupport.h"

#include <QLabel>
#include <QLineEdit>
#include <QListView>
#include <QListWidget>
#include <QPushButton>
#include <QtTest>

using namespace pantrio;
using namespace pantrio::test;

class TstEditor : public Fixture
{
    Q_OBJECT

  private:
    frmAdding *openEditor();
    QPushButton *button(const char *name)
    {
        return Module1::frmAddingIfLoaded()->findChild<QPushButton *>(QLatin1String(name));
    }
    QString status()
    {
        return Module1::frmAddingIfLoaded()->findChild<QLabel *>("lblStatus")->text();
    }
    QString item() { return Module1::frmAddingIfLoaded()->txtFields(3)->text(); }
    void click(const char *name) { QTest::mouseClick(button(name), Qt::LeftButton); }
    QStringList recent()
    {
        QStringList out;
        auto *l = Module1::frmVendoraIfLoaded()->findChild<QListWidget *>("lstRecent");
        for (int i = 0; i < l->count(); ++i)
            out << l->item(i)->text();
        return out;
    }
    void closeEditor()
    {
        Module1::frmAddingIfLoaded()->close();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    }
    int count(const QString &sql, const QVariantList &b = {})
    {
        return m_dir->scalar(sql, b).toInt();
    }
    void typeInto(QLineEdit *e, const QString &text)
    {
        e->setFocus();
        e->selectAll();
        QTest::keyClicks(e, text);
    }

  private slots:
    void opensFromMainWindow();
    void navigationButtonsAndEnds();
    void navigationKeys();
    void enterMovesToTheNextField();
    void emptyCatalogue();
    void addUpdateAndCancel();
    void editCancelReturnsToTheAddMark();
    void deleteRecords();
    void categoryList();
    void findList();
    void closingWritesPendingChanges();
    void recentListAcrossVisits();
    void recentListFromAnEmptyCatalogue();
    void deleteCategory();
    void resizeRule();
};

frmAdding *TstEditor::openEditor()
{
    if (!Module1::frmVendoraIfLoaded() && !Module1::Main())
        return nullptr;
    Module1::frmVendoraIfLoaded()->mnuAdd_Click();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    frmAdding *e = Module1::frmAddingIfLoaded();
    if (e)
        if (!QTest::qWaitForWindowExposed(e))
            qWarning("the editor was not shown");
    return e;
}

void TstEditor::opensFromMainWindow()
{
    QVERIFY(Module1::Main());
    frmVendora *f = Module1::frmVendoraIfLoaded();
    auto *view = f->findChild<CatalogueView *>("lvwItems");
    view->catalogue()->setChecked(2, true);
    view->catalogue()->setChecked(4, true);
    m_dialogs->answers.push_back(Dialogs::Answer::Cancel);
    f->mnuAdd_Click();
    QCOMPARE(m_dialogs->messages,
             QStringList({"You have items checked.  Click Cancel to return and "
                          "add them before exiting this screen."}));
    QVERIFY(!Module1::frmAddingIfLoaded());
    QVERIFY(view->catalogue()->entry(2).checked && view->catalogue()->entry(4).checked);
    m_dialogs->answers.push_back(Dialogs::Answer::Ok);
    f->mnuAdd_Click();
    QCOMPARE(m_dialogs->messages.size(), 2); // asked once, not once per tick
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    QVERIFY(!Module1::frmVendoraIfLoaded());
    frmAdding *e = Module1::frmAddingIfLoaded();
    QVERIFY(e && e->isVisible());
    QCOMPARE(e->windowTitle(), QString("Enter Info"));
    QCOMPARE(status(), QString("Record: 1"));
    QCOMPARE(item(), m_dir->scalar("SELECT Item FROM Vendora ORDER BY Item").toString());
    QVERIFY(e->txtFields(2)->isReadOnly());
    QVERIFY(!button("cmdUpdate")->isVisible() && button("cmdAdd")->isVisible());
    closeEditor();
    auto *back = Module1::frmVendoraIfLoaded();
    QVERIFY(back && back->isVisible());
    for (int i = 0; i < back->findChild<CatalogueView *>("lvwItems")->catalogue()->count(); ++i)
        QVERIFY(!back->findChild<CatalogueView *>("lvwItems")->catalogue()->entry(i).checked);
}

void TstEditor::navigationButtonsAndEnds()
{
    QVERIFY(openEditor());
    const int n = count("SELECT COUNT(*) FROM Vendora");
    click("cmdPrevious"); // at the first record: beep, stay
    QCOMPARE(m_dialogs->beeps, 1);
    QCOMPARE(status(), QString("Record: 1"));
    click("cmdNext");
    QCOMPARE(status(), QString("Record: 2"));
    click("cmdLast");
    QCOMPARE(status(), QString("Record: %1").arg(n));
    click("cmdNext"); // past the end: beep, back to the last
    QCOMPARE(m_dialogs->beeps, 2);
    QCOMPARE(status(), QString("Record: %1").arg(n));
    QCOMPARE(item(), m_dir->scalar("SELECT Item FROM Vendora ORDER BY Item DESC").toString());
    click("cmdFirst");
    QCOMPARE(status(), QString("Record: 1"));
}

void TstEditor::navigationKeys()
{
    frmAdding *e = openEditor();
    QVERIFY(e);
    const int n = count("SELECT COUNT(*) FROM Vendora");
    QLineEdit *field = e->txtFields(3);
    field->setFocus();
    QApplication::setActiveWindow(e);
    auto key = [&](Qt::Key k, Qt::KeyboardModifiers m = {}) { QTest::keyClick(field, k, m); };
    key(Qt::Key_End);
    QCOMPARE(status(), QString("Record: %1").arg(n));
    key(Qt::Key_Home);
    QCOMPARE(status(), QString("Record: 1"));
    key(Qt::Key_Down);
    key(Qt::Key_PageDown);
    QCOMPARE(status(), QString("Record: 3"));
    key(Qt::Key_Up);
    QCOMPARE(status(), QString("Record: 2"));
    key(Qt::Key_Down, Qt::ControlModifier | Qt::ShiftModifier); // not exactly Ctrl
    QCOMPARE(status(), QString("Record: 3"));
    key(Qt::Key_PageDown, Qt::ControlModifier);
    QCOMPARE(status(), QString("Record: %1").arg(n));
    key(Qt::Key_Up, Qt::ControlModifier);
    QCOMPARE(status(), QString("Record: 1"));
    // While editing, the keys only move the caret.
    e->cmdEdit_Click();
    key(Qt::Key_End);
    key(Qt::Key_Down);
    QCOMPARE(status(), QString("Edit record"));
    QCOMPARE(e->adoPrimaryRS()->absolutePosition(), 1);
}

void TstEditor::enterMovesToTheNextField()
{
    frmAdding *e = openEditor();
    QVERIFY(e);
    QApplication::setActiveWindow(e);
    e->txtFields(3)->setFocus();
    const QString before = e->txtFields(3)->text();
    QTest::keyClick(e->txtFields(3), Qt::Key_Return);
    QCOMPARE(QApplication::focusWidget(), e->txtFields(1));
    QTest::keyClick(e->txtFields(1), Qt::Key_Return);
    QCOMPARE(QApplication::focusWidget(), e->txtFields(0));
    QTest::keyClick(e->txtFields(0), Qt::Key_Enter);
    QVERIFY(QApplication::focusWidget() != e->txtFields(0));
    QCOMPARE(e->txtFields(3)->text(), before);
    QCOMPARE(m_dialogs->beeps, 0);
}

void TstEditor::emptyCatalogue()
{
    QVERIFY(m_dir->exec("DELETE FROM Vendora"));
    frmAdding *e = openEditor();
    QVERIFY(e);
    click("cmdNext");
    click("cmdPrevious");
    QCOMPARE(m_dialogs->beeps, 0);
    QCOMPARE(e->adoPrimaryRS()->recordCount(), 0);
    // Delete on an empty catalogue shows why, and deletes nothing.
    m_dialogs->answers.push_back(Dialogs::Answer::Yes);
    click("cmdDelete");
    QCOMPARE(m_dialogs->messages.size(), 2);
    QVERIFY(m_dialogs->messages.last().contains("current record"));
    // Add, then Cancel: empty again, with no message.
    click("cmdAdd");
    QCOMPARE(status(), QString("Add record"));
    click("cmdCancel");
    QCOMPARE(e->adoPrimaryRS()->recordCount(), 0);
    QCOMPARE(m_dialogs->messages.size(), 2);
    QVERIFY(button("cmdAdd")->isVisible());
}

void TstEditor::addUpdateAndCancel()
{
    frmAdding *e = openEditor();
    QVERIFY(e);
    const int n = e->adoPrimaryRS()->recordCount();
    for (int i = 0; i < 4; ++i)
        click("cmdNext");
    const QString fifth = item();
    click("cmdAdd");
    QVERIFY(e->adding());
    QVERIFY(button("cmdUpdate")->isVisible() && button("cmdCancel")->isVisible());
    QVERIFY(!button("cmdAdd")->isVisible() && !button("cmdQuit")->isVisible());
    QVERIFY(!button("cmdNext")->isEnabled());
    QCOMPARE(item(), QString());
    click("cmdCancel");
    QCOMPARE(item(), fifth);
    QCOMPARE(count("SELECT COUNT(*) FROM Vendora"), n);

    click("cmdAdd");
    typeInto(e->txtFields(3), "Aardvark Crackers");
    typeInto(e->txtFields(1), "Snacks");
    typeInto(e->txtFields(0), "Aisle 8");
    click("cmdUpdate");
    QVERIFY(!e->adding());
    QCOMPARE(status(), QString("Record: %1").arg(n + 1)); // at the end until re-read
    QCOMPARE(item(), QString("Aardvark Crackers"));
    QVERIFY(!e->txtFields(2)->text().isEmpty());
    QCOMPARE(count("SELECT COUNT(*) FROM Vendora WHERE Item='Aardvark Crackers' AND "
                   "Category='Snacks' AND Aisle='Aisle 8'"),
             1);
    click("cmdRefresh");
    QCOMPARE(status(), QString("Record: 1"));
    QCOMPARE(item(), QString("Aardvark Crackers"));
}

void TstEditor::editCancelReturnsToTheAddMark()
{
    frmAdding *e = openEditor();
    QVERIFY(e);
    for (int i = 0; i < 9; ++i)
        click("cmdNext");
    click("cmdEdit"); // no Add before: Cancel goes to the first record
    QCOMPARE(status(), QString("Edit record"));
    typeInto(e->txtFields(0), "changed");
    click("cmdCancel");
    QCOMPARE(status(), QString("Record: 1"));
    QCOMPARE(count("SELECT COUNT(*) FROM Vendora WHERE Aisle='changed'"), 0);

    for (int i = 0; i < 4; ++i)
        click("cmdNext");
    click("cmdAdd");
    click("cmdCancel");
    QCOMPARE(status(), QString("Record: 5"));
    for (int i = 0; i < 5; ++i)
        click("cmdNext");
    click("cmdEdit");
    click("cmdCancel");
    QCOMPARE(status(), QString("Record: 5"));

    // Edit then Update: same record, status keeps "Edit record" until a move.
    click("cmdEdit");
    const qlonglong id = e->txtFields(2)->text().toLongLong();
    typeInto(e->txtFields(0), "Aisle 42");
    click("cmdUpdate");
    QCOMPARE(status(), QString("Edit record"));
    QCOMPARE(m_dir->scalar("SELECT Aisle FROM Vendora WHERE ID=?", {id}).toString(),
             QString("Aisle 42"));
}

void TstEditor::deleteRecords()
{
    frmAdding *e = openEditor();
    QVERIFY(e);
    const int n = count("SELECT COUNT(*) FROM Vendora");
    m_dialogs->answers.push_back(Dialogs::Answer::No);
    click("cmdDelete");
    QCOMPARE(m_dialogs->messages.last(), QString("Are you sure you want to delete this record?"));
    QCOMPARE(count("SELECT COUNT(*) FROM Vendora"), n);
    click("cmdNext");
    const QString third = e->adoPrimaryRS()->valueAt(2, "Item").toString();
    m_dialogs->answers.push_back(Dialogs::Answer::Yes);
    click("cmdDelete");
    QCOMPARE(count("SELECT COUNT(*) FROM Vendora"), n - 1);
    QCOMPARE(item(), third); // the next record takes its place
    click("cmdLast");
    const QString beforeLast = e->adoPrimaryRS()->valueAt(n - 3, "Item").toString();
    m_dialogs->answers.push_back(Dialogs::Answer::Yes);
    click("cmdDelete");
    QCOMPARE(item(), beforeLast);
    QCOMPARE(status(), QString("Record: %1").arg(n - 2));
}

void TstEditor::categoryList()
{
    frmAdding *e = openEditor();
    QVERIFY(e);
    auto *cbo = e->findChild<DataCombo *>("cboCat");
    const int cats = count("SELECT COUNT(*) FROM Categories");
    cbo->setText(QString());
    emit cbo->Click();
    QCOMPARE(count("SELECT COUNT(*) FROM Categories"), cats);

    // Picking an existing category from the list sets the field, adds nothing.
    QListView *list = cbo->listPart();
    const QModelIndex dairy =
        list->model()
            ->match(list->model()->index(0, 0), Qt::DisplayRole, "Dairy", 1, Qt::MatchExactly)
            .value(0);
    QVERIFY(dairy.isValid());
    QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, list->visualRect(dairy).center());
    QCOMPARE(e->txtFields(1)->text(), QString("Dairy"));
    QCOMPARE(count("SELECT COUNT(*) FROM Categories"), cats);

    // A new name, with an apostrophe, is added once and listed.
    const qlonglong id = e->txtFields(2)->text().toLongLong();
    typeInto(cbo->editPart(), "Kid's Snacks");
    QTest::keyClick(cbo->editPart(), Qt::Key_Return);
    QCOMPARE(e->txtFields(1)->text(), QString("Kid's Snacks"));
    QCOMPARE(count("SELECT COUNT(*) FROM Categories WHERE Categories=?", {"Kid's Snacks"}), 1);
    QVERIFY(!list->model()
                 ->match(list->model()->index(0, 0), Qt::DisplayRole, "Kid's Snacks", 1,
                         Qt::MatchExactly)
                 .isEmpty());
    // The record's change is written when it is left.
    click("cmdNext");
    QCOMPARE(m_dir->scalar("SELECT Category FROM Vendora WHERE ID=?", {id}).toString(),
             QString("Kid's Snacks"));
}

void TstEditor::findList()
{
    QVERIFY(
        m_dir->exec("INSERT INTO Vendora (Item, Category) VALUES ('Twin', 'A'), ('Twin', 'B')"));
    frmAdding *e = openEditor();
    QVERIFY(e);
    auto *cbo = e->findChild<DataCombo *>("cboFind");
    QListView *list = cbo->listPart();
    // The second of two same-named items is found by its ID.
    const QModelIndexList twins = list->model()->match(
        list->model()->index(0, list->modelColumn()), Qt::DisplayRole, "Twin", 2, Qt::MatchExactly);
    QCOMPARE(twins.size(), 2);
    list->scrollTo(twins.at(1));
    QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, list->visualRect(twins.at(1)).center());
    QCOMPARE(item(), QString("Twin"));
    QCOMPARE(e->txtFields(1)->text(), QString("B"));
    QVERIFY(status().startsWith("Record: "));

    typeInto(cbo->editPart(), "No Such Thing");
    const int pos = e->adoPrimaryRS()->absolutePosition();
    QTest::keyClick(cbo->editPart(), Qt::Key_Return);
    QCOMPARE(m_dialogs->messages.last(), QString("Can't find No Such Thing."));
    QCOMPARE(cbo->text(), QString());
    QCOMPARE(e->adoPrimaryRS()->absolutePosition(), pos);

    // Used while adding: the new item is written first and the editor is back
    // in browse mode, so nothing typed is lost and the buttons tell the truth.
    click("cmdAdd");
    typeInto(e->txtFields(3), "Zucchini Bread");
    typeInto(cbo->editPart(), "Bagels");
    QTest::keyClick(cbo->editPart(), Qt::Key_Return);
    QVERIFY(!e->adding());
    QVERIFY(button("cmdAdd")->isVisible());
    QCOMPARE(item(), QString("Bagels"));
    QCOMPARE(count("SELECT COUNT(*) FROM Vendora WHERE Item='Zucchini Bread'"), 1);
    // The new item is in the find list at once.
    QVERIFY(!list->model()
                 ->match(list->model()->index(0, list->modelColumn()), Qt::DisplayRole,
                         "Zucchini Bread", 1, Qt::MatchExactly)
                 .isEmpty());
}

void TstEditor::closingWritesPendingChanges()
{
    frmAdding *e = openEditor();
    QVERIFY(e);
    // A blank new record is dropped.
    click("cmdAdd");
    const int n = count("SELECT COUNT(*) FROM Vendora");
    closeEditor();
    QCOMPARE(count("SELECT COUNT(*) FROM Vendora"), n);
    QVERIFY(Module1::frmVendoraIfLoaded());

    // A typed new record is kept.
    e = openEditor();
    click("cmdAdd");
    typeInto(e->txtFields(3), "Quince Paste");
    closeEditor();
    QCOMPARE(count("SELECT COUNT(*) FROM Vendora WHERE Item='Quince Paste'"), 1);

    // A write that fails keeps the editor open with the change in place.
    QVERIFY(m_dir->exec("CREATE TRIGGER refuse BEFORE INSERT ON Vendora WHEN NEW.Item = 'Bad' "
                        "BEGIN SELECT RAISE(ABORT, 'not today'); END"));
    e = openEditor();
    click("cmdAdd");
    typeInto(e->txtFields(3), "Bad");
    e->close();
    QVERIFY(Module1::frmAddingIfLoaded() == e && e->isVisible());
    QVERIFY(m_dialogs->messages.last().contains("not today"));
    QVERIFY(e->adding());
    QCOMPARE(item(), QString("Bad"));
    typeInto(e->txtFields(3), "Good");
    click("cmdUpdate");
    closeEditor();
    QVERIFY(!Module1::frmAddingIfLoaded());
    QCOMPARE(count("SELECT COUNT(*) FROM Vendora WHERE Item='Good'"), 1);
}

void TstEditor::recentListAcrossVisits()
{
    frmAdding *e = openEditor();
    QVERIFY(e);
    auto add = [&](const QString &name) {
        click("cmdAdd");
        if (!name.isNull())
            typeInto(Module1::frmAddingIfLoaded()->txtFields(3), name);
        else
            typeInto(Module1::frmAddingIfLoaded()->txtFields(0), "Aisle 1");
        click("cmdUpdate");
    };
    add("Yuzu");
    add(QString()); // no name: listed as "-"
    add("Gone Soon");
    m_dialogs->answers.push_back(Dialogs::Answer::Yes);
    click("cmdDelete");
    closeEditor();
    QCOMPARE(recent(), QStringList({"-", "Yuzu"}));
    openEditor();
    add("Apricots Dried");
    QVERIFY(button("cmdQuit")->isVisible());
    click("cmdQuit");
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    QCOMPARE(recent(), QStringList({"-", "Apricots Dried", "Yuzu"}));
}

void TstEditor::recentListFromAnEmptyCatalogue()
{
    // With nothing in the catalogue at start-up, every item added is recent.
    QVERIFY(m_dir->exec("DELETE FROM Vendora"));
    frmAdding *e = openEditor();
    QVERIFY(e);
    click("cmdAdd");
    typeInto(e->txtFields(3), "First Ever");
    click("cmdUpdate");
    closeEditor();
    QCOMPARE(recent(), QStringList({"First Ever"}));
}

void TstEditor::deleteCategory()
{
    QVERIFY(m_dir->exec("INSERT INTO Categories (Categories) VALUES ('Kid''s Snacks')"));
    QVERIFY(Module1::Main());
    frmVendora *f = Module1::frmVendoraIfLoaded();
    auto *lst = f->findChild<QListView *>("lstCat");
    auto *del = f->findChild<QPushButton *>("cmdDelCat");
    const int cats = count("SELECT COUNT(*) FROM Categories");
    QTest::mouseClick(del, Qt::LeftButton); // nothing selected: nothing asked
    QVERIFY(m_dialogs->messages.isEmpty());

    auto select = [&](const QString &name) {
        const QModelIndex i =
            lst->model()
                ->match(lst->model()->index(0, 0), Qt::DisplayRole, name, 1, Qt::MatchExactly)
                .value(0);
        lst->setCurrentIndex(i);
    };
    select("Dairy");
    m_dialogs->answers.push_back(Dialogs::Answer::No);
    QTest::mouseClick(del, Qt::LeftButton);
    QCOMPARE(m_dialogs->messages.last(), QString("Are you sure you want to delete Dairy?"));
    QCOMPARE(count("SELECT COUNT(*) FROM Categories"), cats);
    m_dialogs->answers.push_back(Dialogs::Answer::Yes);
    QTest::mouseClick(del, Qt::LeftButton);
    QCOMPARE(count("SELECT COUNT(*) FROM Categories WHERE Categories='Dairy'"), 0);
    QCOMPARE(count("SELECT COUNT(*) FROM Categories"), cats - 1);
    QVERIFY(count("SELECT COUNT(*) FROM Vendora WHERE Category='Dairy'") > 0); // items keep it
    QVERIFY(lst->model()
                ->match(lst->model()->index(0, 0), Qt::DisplayRole, "Dairy", 1, Qt::MatchExactly)
                .isEmpty());

    select("Kid's Snacks");
    m_dialogs->answers.push_back(Dialogs::Answer::Yes);
    QTest::mouseClick(del, Qt::LeftButton);
    QCOMPARE(count("SELECT COUNT(*) FROM Categories"), cats - 2);

    // Gone from the file meanwhile: nothing else is deleted, and the user is told.
    select("Produce");
    QVERIFY(m_dir->exec("DELETE FROM Categories WHERE Categories='Produce'"));
    // The list still shows it until re-read: it is the list's snapshot.
    m_dialogs->answers.push_back(Dialogs::Answer::Yes);
    QTest::mouseClick(del, Qt::LeftButton);
    QCOMPARE(count("SELECT COUNT(*) FROM Categories"), cats - 3);
    QVERIFY(m_dialogs->messages.last().contains("Produce"));
}

void TstEditor::resizeRule()
{
    frmAdding *e = openEditor();
    QVERIFY(e);
    e->resize(900, 700);
    QCoreApplication::processEvents();
    const int outer = e->frameGeometry().width() * 15;
    auto *status = e->findChild<QLabel *>("lblStatus");
    QCOMPARE(status->width(), qRound((outer - 1500) / 15.0));
    QCOMPARE(button("cmdNext")->x(), qRound((outer - 1500 + 700) / 15.0));
    QCOMPARE(button("cmdLast")->x(), qRound((outer - 1500 + 1040) / 15.0));
    QCOMPARE(button("cmdFirst")->x(), 0);
}

QTEST_MAIN(TstEditor)
#include "tst_editor.moc"

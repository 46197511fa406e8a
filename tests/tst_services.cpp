// The logic the windows use, without any window: adding lines to the shopping
// list and the item editor's modes.
#include "data/Connection.h"
#include "data/EditSession.h"
#include "data/RecordSet.h"
#include "data/RecordSources.h"
#include "data/ShoppingList.h"
#include "support/TestDatabase.h"

#include <QSignalSpy>
#include <QtTest>

using namespace pantrio;
using namespace pantrio::test;

class TstServices : public QObject
{
    Q_OBJECT

  private slots:
    void linesAreAddedInOneGo();
    void aFailedLineKeepsTheOnesBefore();
    void editSessionAddsUpdatesAndCancels();
    void editSessionFinishesAsLeavingWould();
};

void TstServices::linesAreAddedInOneGo()
{
    TestDatabase db(false);
    Connection c;
    QString error;
    QVERIFY(c.open(db.database(), &error));
    const ShoppingList::AddResult r = ShoppingList::addLines(
        c, {{"Milk", "Dairy", "Aisle 12"}, {"-", "", ""}, {"Kid's Snacks", "Snacks", "3"}});
    QVERIFY2(r.ok(), qPrintable(r.error));
    QCOMPARE(r.added, 3);
    QCOMPARE(db.rows("SELECT Item, Category, Aisle, Quantity FROM Selected ORDER BY ID"),
             (QList<QVariantList>{{"Milk", "Dairy", "Aisle 12", "1"},
                                  {"-", "", "", "1"},
                                  {"Kid's Snacks", "Snacks", "3", "1"}}));
    QVERIFY(!c.inTransaction());
    // Nothing to add is no error and no transaction.
    QCOMPARE(ShoppingList::addLines(c, {}).added, 0);
}

void TstServices::aFailedLineKeepsTheOnesBefore()
{
    TestDatabase db(false);
    QVERIFY(db.exec("CREATE TRIGGER refuse BEFORE INSERT ON Selected WHEN NEW.Item = 'boom' "
                    "BEGIN SELECT RAISE(ABORT, 'refused by test'); END"));
    Connection c;
    QString error;
    QVERIFY(c.open(db.database(), &error));
    const ShoppingList::AddResult r = ShoppingList::addLines(
        c, {{"one", "", ""}, {"two", "", ""}, {"boom", "", ""}, {"four", "", ""}});
    QVERIFY(!r.ok());
    QVERIFY2(r.error.contains("refused by test"), qPrintable(r.error));
    QCOMPARE(r.added, 2);
    QCOMPARE(db.scalar("SELECT COUNT(*) FROM Selected").toInt(), 2);
    QVERIFY(!c.inTransaction());
    // A file that can only be read adds nothing and says why.
    Connection readOnly;
    QVERIFY(readOnly.open(db.database(), &error, Connection::Mode::ReadOnly));
    QCOMPARE(ShoppingList::addLines(readOnly, {{"x", "", ""}}).added, 0);
}

void TstServices::editSessionAddsUpdatesAndCancels()
{
    TestDatabase db;
    Connection c;
    QString error;
    QVERIFY(c.open(db.database(), &error));
    RecordSet rs(&c, Sources::editorItems());
    rs.setUpdateOnMove(true);
    QVERIFY(rs.open(&error));
    EditSession session(&rs, {"Item", "Category", "Aisle"});
    QSignalSpy modes(&session, &EditSession::modeChanged);
    const int before = rs.recordCount();

    QVERIFY(rs.moveTo(4));
    const QString fifth = rs.value("Item").toString();
    QVERIFY(session.add(&error));
    QVERIFY(session.adding());
    QCOMPARE(rs.recordCount(), before + 1);
    session.setField("Item", "Zucchini Bread");
    session.setField("Aisle", ""); // empty text is Null
    QVERIFY(rs.value("Aisle").isNull());
    QVERIFY2(session.update(&error), qPrintable(error));
    QCOMPARE(session.mode(), EditSession::Mode::Browse);
    QCOMPARE(rs.value("Item").toString(), QString("Zucchini Bread")); // the new record, last
    QCOMPARE(db.scalar("SELECT COUNT(*) FROM Vendora WHERE Item = 'Zucchini Bread'").toInt(), 1);

    // Cancelling an addition goes back to where the user was when it began.
    QVERIFY(rs.moveTo(4));
    QVERIFY(session.add(&error));
    session.setField("Item", "dropped");
    session.cancel();
    QCOMPARE(rs.value("Item").toString(), fifth);
    QCOMPARE(db.scalar("SELECT COUNT(*) FROM Vendora WHERE Item = 'dropped'").toInt(), 0);
    // Cancelling an edit goes back there too, and drops the change.
    QVERIFY(rs.moveTo(7));
    session.edit();
    QVERIFY(session.editing());
    session.setField("Item", "changed");
    session.cancel();
    QCOMPARE(rs.value("Item").toString(), fifth);
    QCOMPARE(db.scalar("SELECT COUNT(*) FROM Vendora WHERE Item = 'changed'").toInt(), 0);
    QCOMPARE(modes.count(), 6); // adding, browse; adding, browse; editing, browse
}

void TstServices::editSessionFinishesAsLeavingWould()
{
    TestDatabase db;
    QVERIFY(db.exec("CREATE TRIGGER refuse BEFORE UPDATE ON Vendora WHEN NEW.Item = 'boom' "
                    "BEGIN SELECT RAISE(ABORT, 'refused by test'); END"));
    Connection c;
    QString error;
    QVERIFY(c.open(db.database(), &error));
    RecordSet rs(&c, Sources::editorItems());
    QVERIFY(rs.open(&error));
    EditSession session(&rs, {"Item", "Category", "Aisle"});
    const int before = rs.recordCount();

    // A new record left blank is dropped.
    QVERIFY(session.add(&error));
    QVERIFY(session.finish(&error));
    QCOMPARE(session.mode(), EditSession::Mode::Browse);
    QCOMPARE(rs.recordCount(), before);
    // An edit is written.
    QVERIFY(rs.moveFirst());
    session.edit();
    session.setField("Category", "Bakery");
    QVERIFY(session.finish(&error));
    QCOMPARE(db.scalar("SELECT Category FROM Vendora WHERE ID = ?", {rs.value("ID")}).toString(),
             QString("Bakery"));
    // A write that fails keeps the editor where it was, change and mode.
    session.edit();
    session.setField("Item", "boom");
    QVERIFY(!session.finish(&error));
    QVERIFY(error.contains("refused by test"));
    QVERIFY(session.editing());
    QVERIFY(rs.isPending());
}

QTEST_GUILESS_MAIN(TstServices)
#include "tst_services.moc"

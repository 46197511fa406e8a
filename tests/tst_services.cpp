// The logic the windows use, without any window: adding lines to the shopping
// list, the item editor's modes, and stores with their aisles and walking order.
#include "data/shopping/AisleOrder.h"
#include "data/access/Connection.h"
#include "data/access/Schema.h"
#include "data/access/DEVendora.h"
#include "data/shopping/EditSession.h"
#include "data/access/RecordSet.h"
#include "data/access/RecordSources.h"
#include "data/shopping/ShoppingList.h"
#include "data/shopping/Stores.h"
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
    void walkingOrder();
    void storesKeepTheirOwnAisles();
    void listByAisleForAStore();
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

void TstServices::walkingOrder()
{
    // No order at all: natural order ("2" before "10"), blank last.
    const QStringList aisles = {"Aisle 10", "", "Aisle 2", "Frozen", "Bakery", "Dairy", "Produce"};
    QCOMPARE(AisleOrder().sorted(aisles),
             QStringList({"Aisle 2", "Aisle 10", "Bakery", "Dairy", "Frozen", "Produce", ""}));
    // Ordered aisles first, by position; then the rest in natural order; the
    // blank one; and last what the store does not have. An entry for an aisle
    // no longer in use changes nothing.
    const AisleOrder order({{"Produce", 0, false},
                            {"Dairy", 1, false},
                            {"Bakery", 2, true},
                            {"Gone", 3, false},
                            {"Frozen", 4, true}});
    QCOMPARE(order.sorted(aisles),
             QStringList({"Produce", "Dairy", "Aisle 2", "Aisle 10", "", "Bakery", "Frozen"}));
    QVERIFY(order.excluded("Bakery") && !order.excluded("Dairy") && !order.excluded("Aisle 2"));
    QVERIFY(order.compare("Produce", "Produce") == 0);
    // Any text: apostrophes, right-to-left, emoji, a long name.
    const QString hebrew = QString::fromUtf8("\u05de\u05d7\u05dc\u05d1\u05d4"),
                  emoji = QString::fromUtf8("\U0001F96C Greens");
    const AisleOrder odd({{hebrew, 0, false}, {"Kid's", 1, false}});
    QCOMPARE(odd.sorted({emoji, "Kid's", QString(5000, 'x'), hebrew}),
             QStringList({hebrew, "Kid's", QString(5000, 'x'), emoji}));
}

void TstServices::storesKeepTheirOwnAisles()
{
    TestDatabase db;
    QVERIFY(db.makeFirstVersion());
    Connection c;
    QString error;
    QVERIFY(c.open(db.database(), &error));
    // A file of the first version has no store tables: reading them is an
    // error, never "no stores"; the upgrade makes them.
    QVector<Stores::Store> stores;
    QCOMPARE(db.scalar("PRAGMA user_version").toInt(), 1);
    QVERIFY(!Stores::list(c, &stores, &error) && !error.isEmpty());
    QVERIFY2(Schema::upgrade(c, &error), qPrintable(error));
    QCOMPARE(db.scalar("PRAGMA user_version").toInt(), Schema::currentVersion);
    error.clear();
    QVERIFY(Stores::list(c, &stores, &error) && stores.isEmpty());
    QVERIFY(!Stores::current(c, &error) && error.isEmpty());
    qlonglong corner = 0, market = 0;
    QVERIFY2(Stores::add(c, "Corner Shop", &corner, &error), qPrintable(error));
    QVERIFY(Stores::add(c, QString::fromUtf8("March\u00e9 d'Or \U0001F9FA"), &market, &error));
    // Names are the user's own: the same name twice, in any case, is refused.
    QVERIFY(!Stores::add(c, "corner shop", nullptr, &error));
    QVERIFY2(error.contains("already a store called"), qPrintable(error));
    QVERIFY(!Stores::add(c, "   ", nullptr, &error));
    QVERIFY(!Stores::rename(c, market, "CORNER SHOP", &error));
    QVERIFY(Stores::rename(c, corner, "Corner Shop & Deli", &error));
    // One current store at most.
    QVERIFY(Stores::setCurrent(c, corner, &error));
    QVERIFY(Stores::setCurrent(c, market, &error));
    QVERIFY(Stores::list(c, &stores, &error));
    QCOMPARE(std::count_if(stores.cbegin(), stores.cend(),
                           [](const Stores::Store &s) { return s.current; }),
             1);
    QCOMPARE(Stores::current(c, &error)->id, market);

    // An item's aisle in a store; the catalogue's elsewhere.
    const qlonglong milk =
        db.scalar("SELECT ID FROM Vendora WHERE Item = 'Whole Milk'").toLongLong();
    const qlonglong bread =
        db.scalar("SELECT ID FROM Vendora WHERE Item = 'Sandwich Bread'").toLongLong();
    QVERIFY(milk > 0 && bread > 0);
    QVERIFY(Stores::setItemAisle(c, corner, milk, "7", &error));
    QVERIFY(Stores::setItemAisle(c, corner, bread, "Back wall", &error));
    QVector<Stores::ItemAisle> items;
    QVERIFY(Stores::itemAisles(c, corner, &items, &error));
    QCOMPARE(items.size(), db.scalar("SELECT COUNT(*) FROM Vendora").toInt());
    for (const Stores::ItemAisle &i : std::as_const(items)) {
        if (i.itemId == milk)
            QCOMPARE(i.storeAisle.toString(), QString("7"));
        else if (i.itemId != bread)
            QVERIFY(i.storeAisle.isNull());
    }
    QStringList inUse;
    QVERIFY(Stores::aislesInUse(c, corner, &inUse, &error));
    QVERIFY(inUse.contains("7") && inUse.contains("Back wall") && !inUse.contains(""));
    QVERIFY(Stores::setItemAisle(c, corner, bread, "", &error)); // back to the catalogue's
    QVERIFY(Stores::aislesInUse(c, corner, &inUse, &error));
    QVERIFY(!inUse.contains("Back wall"));

    // Deleting an item deletes its aisles; deleting a store, its aisles and order.
    QVERIFY(Stores::setWalkingOrder(c, corner, {{"7", 0, false}}, &error));
    QVERIFY(c.exec("DELETE FROM Vendora WHERE ID = ?", {milk}, &error));
    QCOMPARE(db.scalar("SELECT COUNT(*) FROM StoreAisles WHERE ItemID = ?", {milk}).toInt(), 0);
    QVERIFY(Stores::setItemAisle(c, corner, bread, "3", &error));
    QVERIFY(Stores::remove(c, corner, &error));
    QCOMPARE(db.scalar("SELECT COUNT(*) FROM StoreAisles").toInt(), 0);
    QCOMPARE(db.scalar("SELECT COUNT(*) FROM StoreAisleOrder").toInt(), 0);
    // A store deleted meanwhile says so.
    QVERIFY(!Stores::setItemAisle(c, corner, bread, "4", &error));
    QVERIFY2(error.contains("no longer exists"), qPrintable(error));
    QVERIFY(!Stores::rename(c, corner, "Back", &error));
    // The five tables of old are as they were: an earlier Pantrio still reads it.
    QCOMPARE(db.rows("SELECT sql FROM sqlite_master WHERE name = 'Selected'").first().first(),
             TestDatabase(false)
                 .rows("SELECT sql FROM sqlite_master WHERE name = 'Selected'")
                 .first()
                 .first());
}

void TstServices::listByAisleForAStore()
{
    TestDatabase db;
    QVERIFY(db.exec("DELETE FROM Vendora"));
    QVERIFY(db.exec("INSERT INTO Vendora (Item, Category, Aisle) VALUES ('Milk', 'Dairy', '12'), "
                    "('Bread', 'Bakery', '3'), ('Apples', 'Produce', '1'), ('Soap', 'Home', NULL), "
                    "('Salt', NULL, '5')"));
    // The lines are copies; one is for an item renamed since.
    QVERIFY(db.exec("INSERT INTO Selected (Item, Category, Aisle, Quantity) VALUES "
                    "('Milk', 'Dairy', '12', '1'), ('Bread', 'Bakery', '3', '2'), "
                    "('Apples', 'Produce', '1', '6'), ('Soap', 'Home', NULL, '1'), "
                    "('Old Cheese', 'Dairy', '12', '1'), ('Salt', '', '5', '1')"));
    Connection c;
    QString error;
    QVERIFY(c.open(db.database(), &error));
    qlonglong shop = 0;
    QVERIFY(Stores::add(c, "Shop", &shop, &error));
    auto id = [&](const char *item) {
        return db.scalar("SELECT ID FROM Vendora WHERE Item = ?", {item}).toLongLong();
    };
    QVERIFY(Stores::setItemAisle(c, shop, id("Milk"), "Back", &error));
    QVERIFY(Stores::setItemAisle(c, shop, id("Apples"), "Entrance", &error));
    // An item without a category: its line, added from the catalogue view,
    // says "" for it.
    QVERIFY(Stores::setItemAisle(c, shop, id("Salt"), "Entrance", &error));
    QVERIFY(Stores::setWalkingOrder(
        c, shop, {{"Entrance", 0, false}, {"Back", 1, false}, {"3", 2, true}}, &error));
    DEVendora de;
    de.setConnectionString(db.database());
    QVERIFY2(de.runAisleForStore(shop, "Shop", &error), qPrintable(error));
    const GroupedResult *r = de.result(DEVendora::ListPrintAisle_Grouping);
    QStringList groups;
    for (const auto &g : r->groups)
        groups << g.value.toString();
    // The renamed item's line keeps its own aisle, 12, which the store never
    // ordered; the soap has none; bread's aisle is not in this store.
    QCOMPARE(groups, QStringList({"Entrance", "Back", "12", "", "3 (not in Shop)"}));
    QCOMPARE(r->groups.at(1).rows.first().at(r->childField("Item")).toString(), QString("Milk"));
    QCOMPARE(r->groups.at(2).rows.first().at(r->childField("Item")).toString(),
             QString("Old Cheese"));
    QCOMPARE(r->groups.at(0).rows.size(), 2); // apples and salt at the entrance
    QCOMPARE(r->rowCount(), 6);
}

QTEST_GUILESS_MAIN(TstServices)
#include "tst_services.moc"

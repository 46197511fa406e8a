// The open household file without windows: every kind of change done, undone
// and redone against the rows of a real file, refusals, announcements and the
// schema's upgrade.
#include "data/access/Connection.h"
#include "data/access/RecordSet.h"
#include "data/access/RecordSources.h"
#include "data/access/Schema.h"
#include "data/owner/Household.h"
#include "data/sharing/ShareMerge.h"
#include "data/sharing/ShareStore.h"
#include "data/shopping/ShoppingList.h"
#include "data/shopping/Stores.h"
#include "data/text/Plural.h"
#include "support/TestDatabase.h"

#include <QRandomGenerator>
#include <sqlite3.h>
#include <QSignalSpy>
#include <QtTest>

using namespace pantrio;
using namespace pantrio::test;

namespace
{
using Table = QList<QVariantList>;
}

class TstHousehold : public QObject
{
    Q_OBJECT

  private:
    std::unique_ptr<TestDatabase> m_db;
    std::unique_ptr<Household> m_file;

    Table rows(const QString &sql) const { return m_db->rows(sql); }
    Table list() const { return rows("SELECT ID, Item, Quantity FROM Selected ORDER BY ID"); }
    qlonglong id(const char *item) const
    {
        return m_db->scalar("SELECT ID FROM Vendora WHERE Item = ?", {QString(item)}).toLongLong();
    }
    bool write(const QString &text, Household::Changes what, const QString &sql,
               const QVariantList &binds = {})
    {
        QString error;
        const bool ok = m_file->change(
            text, what, [&](QString *e) { return m_file->connection().exec(sql, binds, e); },
            &error);
        if (!ok)
            qWarning() << error;
        return ok;
    }
    bool undo()
    {
        m_lastError.clear();
        return m_file->undo(&m_lastError);
    }
    bool redo()
    {
        m_lastError.clear();
        return m_file->redo(&m_lastError);
    }
    QString m_lastError;

  private slots:
    void initTestCase() { QVERIFY(installTranslations()); }
    void init()
    {
        m_db = std::make_unique<TestDatabase>();
        QVERIFY(m_db->ok());
        m_file = std::make_unique<Household>();
        QString error;
        QVERIFY2(m_file->open(m_db->database(), &error), qPrintable(error));
    }
    void cleanup()
    {
        m_file.reset();
        m_db.reset();
    }

    void listChangesUndoAndRedoExactly()
    {
        // Add, a quantity edit, a row deleted through a record set, Delete All:
        // each one step, undone and redone to the same rows with the same IDs.
        QString error;
        const ShoppingList::Line milk{"Whole Milk", "Dairy", "12"}, bread{"Bread", "Bakery", "3"};
        QVERIFY(m_file->change(
            "Add 2 Items", Household::List,
            [&](QString *) {
                return ShoppingList::addLines(m_file->connection(), {milk, bread}).ok();
            },
            &error));
        const Table added = list();
        QCOMPARE(added.size(), 2);
        RecordSet rs(&m_file->connection(), Sources::shoppingList());
        rs.setGate(m_file->gate(nullptr, "Quantity Edit", "Delete %n Row(s)", Household::List));
        QVERIFY(rs.open(&error));
        QVERIFY(rs.setValueAt(0, rs.fieldIndex("Quantity"), "3 kg"));
        QVERIFY(rs.updateAt(0, &error));
        const Table edited = list();
        QVERIFY(rs.deleteRows({1}, &error));
        const Table deleted = list();
        QVERIFY(write("Delete All", Household::List, "DELETE FROM Selected"));
        QCOMPARE(m_file->history().undoText(), QString("Delete All"));
        QVERIFY(list().isEmpty());

        QVERIFY(undo());
        QCOMPARE(list(), deleted);
        QCOMPARE(m_file->history().undoText(), QString("Delete 1 Row"));
        QVERIFY(undo());
        QCOMPARE(list(), edited);
        QVERIFY(undo());
        QCOMPARE(list(), added);
        QVERIFY(undo());
        QVERIFY(list().isEmpty());
        QVERIFY(!m_file->history().canUndo());
        QVERIFY(redo() && redo());
        QCOMPARE(list(), edited);
        QVERIFY(redo() && redo());
        QVERIFY(list().isEmpty());
        // A new change drops what was undone.
        QVERIFY(undo());
        QVERIFY(write("Add 1 Item", Household::List,
                      "INSERT INTO Selected (Item, Quantity) VALUES ('Tea', '1')"));
        QVERIFY(!m_file->history().canRedo());
    }

    void deletedItemComesBackWithItsStoreAisles()
    {
        QString error;
        qlonglong a = 0, b = 0;
        QVERIFY(Stores::add(m_file->connection(), "A", &a, &error));
        QVERIFY(Stores::add(m_file->connection(), "B", &b, &error));
        const qlonglong milk = id("Whole Milk");
        QVERIFY(Stores::setItemAisle(m_file->connection(), a, milk, "7", &error));
        QVERIFY(Stores::setItemAisle(m_file->connection(), b, milk, "2", &error));
        const Table item = rows("SELECT * FROM Vendora WHERE Item = 'Whole Milk'");
        const Table aisles = rows("SELECT * FROM StoreAisles ORDER BY StoreID");
        QVERIFY(write("Delete Item", Household::Catalogue | Household::StoresAndAisles,
                      "DELETE FROM Vendora WHERE ID = ?", {milk}));
        QVERIFY(rows("SELECT * FROM StoreAisles").isEmpty()); // by the foreign key
        QVERIFY(undo());
        QCOMPARE(rows("SELECT * FROM Vendora WHERE Item = 'Whole Milk'"), item);
        QCOMPARE(rows("SELECT * FROM StoreAisles ORDER BY StoreID"), aisles);
        QVERIFY(redo());
        QVERIFY(rows("SELECT * FROM Vendora WHERE Item = 'Whole Milk'").isEmpty());
        QVERIFY(rows("SELECT * FROM StoreAisles").isEmpty());
        QCOMPARE(rows("PRAGMA foreign_key_check").size(), 0);
    }

    void storeStepsTouchOnlyTheirStore()
    {
        QString error;
        qlonglong a = 0, b = 0;
        QVERIFY(Stores::add(m_file->connection(), "A", &a, &error));
        QVERIFY(Stores::add(m_file->connection(), "B", &b, &error));
        const qlonglong bananas = id("Bananas") ? id("Bananas") : id("Whole Milk");
        QVERIFY(Stores::setItemAisle(m_file->connection(), b, bananas, "9", &error));
        const Table storeB = rows("SELECT * FROM StoreAisles WHERE StoreID = " + QString::number(b));
        QVERIFY(m_file->change(
            "Aisle Edit", Household::StoresAndAisles,
            [&](QString *e) { return Stores::setItemAisle(m_file->connection(), a, bananas, "2", e); },
            &error));
        QVERIFY(m_file->change(
            "Walking Order Change", Household::StoresAndAisles,
            [&](QString *e) {
                return Stores::setWalkingOrder(m_file->connection(), a, {{"2", 0, false}}, e);
            },
            &error));
        QVERIFY(undo() && undo());
        QVERIFY(rows("SELECT * FROM StoreAisles WHERE StoreID = " + QString::number(a)).isEmpty());
        QVERIFY(rows("SELECT * FROM StoreAisleOrder").isEmpty());
        QCOMPARE(rows("SELECT * FROM StoreAisles WHERE StoreID = " + QString::number(b)), storeB);
        // Deleting a store takes its aisles; undo brings both back, same ID.
        QVERIFY(redo() && redo());
        const Table before = rows("SELECT * FROM StoreAisles ORDER BY StoreID, ItemID");
        QVERIFY(m_file->change(
            "Delete Store", Household::StoresAndAisles,
            [&](QString *e) { return Stores::remove(m_file->connection(), a, e); }, &error));
        QVERIFY(undo());
        QCOMPARE(rows("SELECT ID, Name FROM Stores ORDER BY ID"),
                 Table({{a, "A"}, {b, "B"}}));
        QCOMPARE(rows("SELECT * FROM StoreAisles ORDER BY StoreID, ItemID"), before);
        QCOMPARE(rows("SELECT COUNT(*) FROM StoreAisleOrder").value(0).value(0).toInt(), 1);
    }

    void aStepOnChangedRowsRefusesAndChangesNothing()
    {
        QVERIFY(write("Add 1 Item", Household::List,
                      "INSERT INTO Selected (Item, Quantity) VALUES ('Tea', '1')"));
        const qlonglong tea = m_db->scalar("SELECT ID FROM Selected").toLongLong();
        QVERIFY(write("Quantity Edit", Household::List,
                      "UPDATE Selected SET Quantity = '2' WHERE ID = ?", {tea}));
        // Another program (not on the history) changes the row.
        QVERIFY(m_db->exec("UPDATE Selected SET Quantity = '5' WHERE ID = ?", {tea}));
        const QByteArray before = fileHash(m_db->database());
        QString error;
        QVERIFY(!m_file->undo(&error));
        QVERIFY2(error.contains("changed since"), qPrintable(error));
        QCOMPARE(fileHash(m_db->database()), before);
        QCOMPARE(m_file->history().undoText(), QString("Quantity Edit")); // still there
        // A deleted row cannot be edited back either.
        QVERIFY(m_db->exec("DELETE FROM Selected"));
        QVERIFY(!m_file->undo(&error));
        QVERIFY(m_db->rows("SELECT * FROM Selected").isEmpty());
    }

    void stepsComeBackWhateverOrderTheirRowsNeed()
    {
        // A store deleted and another of its name added in one step: undone
        // and redone row by row, the name is only free once the other row
        // has gone, whichever of the two comes first.
        QString error;
        qlonglong a = 0, again = 0;
        QVERIFY(Stores::add(m_file->connection(), "A", &a, &error));
        QVERIFY(m_file->change(
            "Replace Store", Household::StoresAndAisles,
            [&](QString *e) {
                return Stores::remove(m_file->connection(), a, e) &&
                       Stores::add(m_file->connection(), "A", &again, e);
            },
            &error));
        QVERIFY(again != a);
        QVERIFY(undo());
        QCOMPARE(rows("SELECT ID, Name FROM Stores"), Table({{a, "A"}}));
        QVERIFY(redo());
        QCOMPARE(rows("SELECT ID, Name FROM Stores"), Table({{again, "A"}}));
        // Nulls, numbers and text with a NUL in it come back as they were.
        QVERIFY(write("Add", Household::List,
                      "INSERT INTO Selected (Item, Category, Aisle, Quantity) VALUES (?, NULL, 7, ?)",
                      {QString("nul") + QChar(0) + "inside", 2.5}));
        const Table added = rows("SELECT ID, Item, typeof(Category), Aisle, Quantity FROM Selected");
        QVERIFY(write("Delete All", Household::List, "DELETE FROM Selected"));
        QVERIFY(undo());
        QCOMPARE(rows("SELECT ID, Item, typeof(Category), Aisle, Quantity FROM Selected"), added);
        // An addition redone where another program has taken its ID refuses.
        QVERIFY(undo());
        QVERIFY(m_db->exec("INSERT INTO Selected (ID, Item) VALUES (?, 'Other')",
                           {added.value(0).value(0)}));
        const QByteArray before = fileHash(m_db->database());
        QVERIFY(!m_file->redo(&error));
        QVERIFY2(error.contains("changed since"), qPrintable(error));
        QCOMPARE(fileHash(m_db->database()), before);
    }

    void aStepWhoseRowsNeedWhatIsGoneRefuses()
    {
        QString error;
        qlonglong a = 0;
        QVERIFY(Stores::add(m_file->connection(), "A", &a, &error));
        const qlonglong milk = id("Whole Milk");
        QVERIFY(m_file->change(
            "Aisle Edit", Household::StoresAndAisles,
            [&](QString *e) { return Stores::setItemAisle(m_file->connection(), a, milk, "3", e); },
            &error));
        QVERIFY(undo());
        // Another program deletes the item the aisle belongs to.
        QVERIFY(m_db->exec("DELETE FROM Vendora WHERE ID = ?", {milk}));
        QVERIFY(!m_file->redo(&error));
        QVERIFY2(error.contains("deleted since"), qPrintable(error));
        QVERIFY(rows("SELECT * FROM StoreAisles").isEmpty());
    }

    // The file's link checks are off during an undo; when they cannot be
    // switched back on, nothing more is written until they are (a write
    // without them would skip what deleting a line does to its ticks).
    void noWriteWhileTheLinkChecksAreOff()
    {
        QVERIFY(write("Add", Household::List, "INSERT INTO Selected (Item) VALUES ('Figs')"));
        sqlite3 *db = m_file->connection().handle();
        auto refuseOn = [](void *, int action, const char *name, const char *value, const char *,
                           const char *) {
            return action == SQLITE_PRAGMA && qstrcmp(name, "foreign_keys") == 0 && value &&
                           qstricmp(value, "ON") == 0
                       ? SQLITE_DENY
                       : SQLITE_OK;
        };
        sqlite3_set_authorizer(db, refuseOn, nullptr);
        QVERIFY(undo());
        const int lines = m_db->scalar("SELECT COUNT(*) FROM Selected").toInt();
        QString error;
        QVERIFY(!m_file->change("Add", Household::List,
                                [&](QString *e) {
                                    return m_file->connection().exec(
                                        "INSERT INTO Selected (Item) VALUES ('Jam')", {}, e);
                                },
                                &error));
        QVERIFY2(error.contains("could not be switched back on"), qPrintable(error));
        QCOMPARE(m_db->scalar("SELECT COUNT(*) FROM Selected").toInt(), lines);
        // Once they can be, the same change is written, with them on.
        sqlite3_set_authorizer(db, nullptr, nullptr);
        QVERIFY(write("Add", Household::List, "INSERT INTO Selected (Item) VALUES ('Jam')"));
        QCOMPARE(m_db->scalar("SELECT COUNT(*) FROM Selected").toInt(), lines + 1);
        Connection::Rows on;
        QVERIFY(m_file->connection().select("PRAGMA foreign_keys", &on, &error));
        QCOMPARE(on.rows.value(0).value(0).toInt(), 1);
    }

    // A table added to the file later, with a key to the catalogue: its rows
    // are recorded, undone and redone, and a redo that would leave its key
    // pointing at an item deleted since is refused, without undo knowing it.
    void aTableAddedLaterIsRecordedAndChecked()
    {
        m_file->close();
        QVERIFY(m_db->exec("CREATE TABLE Pantry (ID INTEGER PRIMARY KEY, ItemID INTEGER REFERENCES "
                           "Vendora(ID), Amount TEXT)"));
        QString error;
        QVERIFY2(m_file->open(m_db->database(), &error), qPrintable(error));
        const qlonglong milk = id("Whole Milk");
        QVERIFY(write("Stock", Household::Catalogue, "INSERT INTO Pantry (ItemID, Amount) VALUES (?, '2')",
                      {milk}));
        QVERIFY(undo());
        QCOMPARE(m_db->scalar("SELECT COUNT(*) FROM Pantry").toInt(), 0);
        QVERIFY(redo());
        QCOMPARE(m_db->scalar("SELECT Amount FROM Pantry").toString(), QString("2"));
        QVERIFY(undo());
        QVERIFY(m_db->exec("DELETE FROM Vendora WHERE ID = ?", {milk}));
        QVERIFY(!m_file->redo(&error));
        QVERIFY2(error.contains("deleted since"), qPrintable(error));
        QCOMPARE(m_db->scalar("SELECT COUNT(*) FROM Pantry").toInt(), 0);

        // One without a key: no history rather than one that misses its rows.
        m_file->close();
        QVERIFY(m_db->exec("CREATE TABLE Notes (Text TEXT)"));
        QVERIFY2(m_file->open(m_db->database(), &error), qPrintable(error));
        QVERIFY2(m_file->historyUnavailableReason().contains("Notes"),
                 qPrintable(m_file->historyUnavailableReason()));
    }

    void eachChangeIsAnnouncedOnce()
    {
        QSignalSpy spy(m_file.get(), &Household::changed);
        QVERIFY(write("Delete All", Household::List, "DELETE FROM Selected"));
        QCOMPARE(spy.size(), 1);
        QCOMPARE(spy.at(0).at(0).value<Household::Changes>(), Household::Changes(Household::List));
        // A record set's write inside a command is part of its one step.
        QString error;
        RecordSet cats(&m_file->connection(), Sources::mainCategories());
        cats.setGate(m_file->gate(nullptr, nullptr, "Delete Category", Household::Categories));
        QVERIFY(cats.open(&error));
        QVERIFY(m_file->change(
            "Import 1 Item", Household::Catalogue,
            [&](QString *e) {
                return m_file->connection().exec("INSERT INTO Vendora (Item) VALUES ('X')", {}, e) &&
                       cats.deleteRows({0}, e);
            },
            &error));
        QCOMPARE(spy.size(), 2);
        QCOMPARE(spy.at(1).at(0).value<Household::Changes>(),
                 Household::Catalogue | Household::Categories);
        // (Delete All of an empty list changed no row: no step.)
        QCOMPARE(m_file->history().count(), 1);
        QVERIFY(undo());
        QCOMPARE(spy.size(), 3);
        // A failed change is not announced and leaves no step.
        QVERIFY(!m_file->change("Broken", Household::List,
                                [&](QString *e) {
                                    return m_file->connection().exec("DELETE FROM Nowhere", {}, e);
                                },
                                &error));
        QCOMPARE(spy.size(), 3);
        QCOMPARE(m_file->history().count(), 1);
    }

    void olderFilesAreBroughtUpToDateOnce()
    {
        m_file->close();
        QVERIFY(m_db->makeFirstVersion());
        QVERIFY(m_db->exec("INSERT INTO Selected (Item) VALUES ('kept')"));
        QString error;
        QVERIFY2(m_file->open(m_db->database(), &error), qPrintable(error));
        QCOMPARE(m_file->schemaVersion(), Schema::currentVersion);
        QCOMPARE(m_db->scalar("PRAGMA user_version").toInt(), Schema::currentVersion);
        QCOMPARE(m_db->scalar("SELECT COUNT(*) FROM Stores").toInt(), 0);
        QCOMPARE(m_db->scalar("SELECT Item FROM Selected").toString(), QString("kept"));

        // A file another program made (version 0) is taken up the same way.
        m_file->close();
        QVERIFY(m_db->makeFirstVersion());
        QVERIFY(m_db->exec("PRAGMA user_version = 0"));
        QVERIFY2(m_file->open(m_db->database(), &error), qPrintable(error));
        QVERIFY(m_file->hasStores());
        QCOMPARE(m_db->scalar("PRAGMA user_version").toInt(), Schema::currentVersion);

        // A list with no key (another program's): given one, every row kept,
        // a line whose ID is shared numbered anew; lines delete and undo.
        m_file->close();
        QVERIFY(m_db->makeFirstVersion());
        QVERIFY(m_db->exec("DROP TABLE Selected"));
        QVERIFY(m_db->exec("CREATE TABLE Selected (ID INTEGER, Item TEXT, Category TEXT, Aisle "
                           "TEXT, Quantity TEXT)"));
        QVERIFY(m_db->exec("INSERT INTO Selected VALUES (7, 'Tea', 'Drinks', NULL, '1'), (8, "
                           "'Jam', NULL, NULL, '2'), (8, 'Figs', NULL, NULL, '3'), (NULL, 'Oats', "
                           "NULL, NULL, '4')"));
        QVERIFY2(m_file->open(m_db->database(), &error), qPrintable(error));
        QCOMPARE(m_db->scalar("SELECT COUNT(*) FROM Selected").toInt(), 4);
        QCOMPARE(m_db->scalar("SELECT ID FROM Selected WHERE Item = 'Tea'").toInt(), 7);
        QCOMPARE(m_db->scalar("SELECT COUNT(DISTINCT ID) FROM Selected").toInt(), 4);
        QVERIFY(m_file->historyUnavailableReason().isEmpty());
        QVERIFY(write("Delete 1 Row", Household::List, "DELETE FROM Selected WHERE Item = 'Jam'"));
        QVERIFY(write("Delete All", Household::List, "DELETE FROM Selected"));
        QVERIFY(undo());
        QCOMPARE(m_db->scalar("SELECT COUNT(*) FROM Selected").toInt(), 3);

        // A failing step leaves the file as it was, and says so.
        m_file->close();
        QVERIFY(m_db->makeFirstVersion());
        QVERIFY(m_db->exec("CREATE TABLE StoreAisles (Other TEXT)")); // another program's
        const QByteArray before = fileHash(m_db->database());
        QVERIFY(!m_file->open(m_db->database(), &error));
        QVERIFY2(error.contains("brought up to date"), qPrintable(error));
        QVERIFY(!m_file->isOpen());
        QCOMPARE(fileHash(m_db->database()), before);
        QCOMPARE(m_db->scalar("PRAGMA user_version").toInt(), 1);
    }

    // The one merge rule, run on the model and on the file: any order in
    // which the desktop can receive the operations (a phone's own in any
    // order, another's tick before an untick that saw it), with repeats,
    // gives the same list in both.
    void oneMergeRuleInTheModelAndTheFile()
    {
        using Share::Op;
        Share::Memory m;
        Share::Outcome out;
        QString error;
        QVERIFY(Share::apply(m, Op::tick("A/1", 1, 7), &out, &error));
        const QVector<Share::Tag> seenByA = m.liveTicks(7);
        QVERIFY(Share::apply(m, Op::tick("B/1", 1, 7), &out, &error));
        QVERIFY(Share::apply(m, Op::untick("A/1", 2, 7, seenByA), &out, &error));
        QVERIFY(m.ticked(7)); // tick wins over an untick that had not seen it
        QVERIFY(Share::apply(m, Op::untick("A/1", 2, 7, seenByA), &out, &error) && out.repeat);
        // The same number with another change is refused, never taken for a repeat.
        QVERIFY(Share::apply(m, Op::untick("A/1", 2, 8, {}), &out, &error));
        QVERIFY(!out.repeat && !out.refused.isEmpty());
        // An untick cannot take another phone's tick that was never made.
        QVERIFY(Share::apply(m, Op::untick("A/1", 3, 7, {{"B/1", 1}, {"C/1", 5}}), &out, &error));
        QVERIFY(!m.ticked(7));
        QVERIFY(Share::apply(m, Op::tick("C/1", 5, 7), &out, &error));
        QVERIFY(m.ticked(7));
        // Its own phone's tick still on the way (another tab) it may take.
        QVERIFY(Share::apply(m, Op::untick("D/1", 1, 9, {{"D/2", 1}}), &out, &error));
        QVERIFY(Share::apply(m, Op::tick("D/2", 1, 9), &out, &error));
        QVERIFY(!m.ticked(9));

        QRandomGenerator rng(20261209);
        const QVector<qint64> lines = {1, 2, 3, 4, 5};
        for (int round = 0; round < 24; ++round) {
            QVector<Op> ops;
            Share::Memory truth; // what each page saw as it made its operations
            QHash<QString, qint64> seq;
            for (int i = 0; i < 50; ++i) {
                // Two phones, the first with two pages.
                const QString source = QStringList{"p/a", "p/b", "q/a"}.at(rng.bounded(3));
                Op op = Op::tick(source, ++seq[source], lines.at(rng.bounded(5)));
                op.kind = Op::Kind(rng.bounded(3));
                if (op.kind == Op::Kind::Untick) {
                    for (const Share::Tag &t : truth.liveTicks(op.line))
                        if (rng.bounded(4) != 0) // a page may have seen only some
                            op.observed.append(t);
                } else if (op.kind == Op::Kind::Add) {
                    op.item = QStringLiteral("item %1").arg(i);
                    op.quantity = QString::number(rng.bounded(9));
                }
                QVERIFY(Share::apply(truth, op, &out, &error));
                ops.append(op);
            }
            for (int shuffle = 0; shuffle < 6; ++shuffle) {
                // Any order that keeps another phone's tick before an untick
                // that saw it; some sent twice.
                QVector<Op> left = ops, mixed;
                QSet<Share::Tag> arrived;
                while (!left.isEmpty()) {
                    QVector<int> ready;
                    for (int i = 0; i < left.size(); ++i) {
                        bool can = true;
                        for (const Share::Tag &t : left.at(i).observed)
                            can = can && (Share::deviceOf(t.source) ==
                                              Share::deviceOf(left.at(i).source) ||
                                          arrived.contains(t));
                        if (can)
                            ready.append(i);
                    }
                    QVERIFY(!ready.isEmpty());
                    const Op next = left.takeAt(ready.at(rng.bounded(int(ready.size()))));
                    arrived.insert(next.tag());
                    mixed.append(next);
                    if (rng.bounded(5) == 0)
                        mixed.append(mixed.at(rng.bounded(int(mixed.size()))));
                }
                Share::Memory merged;
                for (const Op &op : std::as_const(mixed))
                    QVERIFY(Share::apply(merged, op, &out, &error));
                for (qint64 line : lines)
                    QCOMPARE(merged.ticked(line), truth.ticked(line));
                QCOMPARE(merged.added().size(), truth.added().size());
                if (shuffle > 1)
                    continue;
                // The file, given the same order.
                QVERIFY(m_db->exec("DELETE FROM ShareOps") && m_db->exec("DELETE FROM ShareTicks") &&
                        m_db->exec("DELETE FROM Selected"));
                QVERIFY(m_file->change(QString(), Household::List, [&](QString *e) {
                    for (const Op &op : std::as_const(mixed))
                        if (!ShareStore::apply(m_file->connection(), op, &out, e))
                            return false;
                    return true;
                }, &error));
                QSet<qint64> ticked;
                QVERIFY(ShareStore::tickedLines(m_file->connection(), &ticked, &error));
                for (qint64 line : lines)
                    QCOMPARE(ticked.contains(line), truth.ticked(line));
                QCOMPARE(m_db->scalar("SELECT COUNT(*) FROM Selected").toInt(),
                         int(truth.added().size()));
            }
        }
    }

    void sharedOperationsAreAppliedOnceInTheFile()
    {
        using Share::Op;
        QString error;
        auto apply = [&](const Op &op) {
            Share::Outcome a;
            const bool ok = m_file->change(
                QString(), Household::List,
                [&](QString *e) { return ShareStore::apply(m_file->connection(), op, &a, e); },
                &error);
            if (!ok)
                a.refused = error;
            return a;
        };
        auto ticked = [&] {
            QSet<qint64> t;
            if (!ShareStore::tickedLines(m_file->connection(), &t, &error))
                t.insert(-1);
            QSet<qint64> shown;
            for (qint64 id : std::as_const(t))
                if (m_db->scalar("SELECT COUNT(*) FROM Selected WHERE ID = ?", {id}).toInt())
                    shown.insert(id);
            return shown;
        };
        QVERIFY(write("Add 2 Items", Household::List,
                      "INSERT INTO Selected (Item, Quantity) VALUES ('Tea', '1'), ('Jam', '2')"));
        const Table lines = rows("SELECT ID FROM Selected ORDER BY ID");
        const qlonglong tea = lines.at(0).at(0).toLongLong(), jam = lines.at(1).at(0).toLongLong();
        QVERIFY(!apply(Op::tick("A/1", 1, tea)).repeat);
        QVERIFY(apply(Op::tick("A/1", 1, tea)).repeat); // sent again after a drop
        QCOMPARE(ticked(), QSet<qint64>({tea}));
        // Another change under a number already used is refused, not acknowledged.
        const Share::Outcome clash = apply(Op::tick("A/1", 1, jam));
        QVERIFY(!clash.repeat && !clash.refused.isEmpty());
        QCOMPARE(ticked(), QSet<qint64>({tea}));
        // An untick that saw the tick takes it back; one from before it did not.
        QVERIFY(!apply(Op::untick("B/1", 1, tea, {})).repeat);
        QCOMPARE(ticked(), QSet<qint64>({tea}));
        QVERIFY(!apply(Op::untick("B/1", 2, tea, {{"A/1", 1}})).repeat);
        QCOMPARE(ticked(), QSet<qint64>());
        // A tick and its untick from one page before the list told it anything.
        QVERIFY(!apply(Op::tick("B/1", 3, jam)).repeat);
        QVERIFY(!apply(Op::untick("B/1", 4, jam, {{"B/1", 3}})).repeat);
        QCOMPARE(ticked(), QSet<qint64>());
        // An addition takes its category from the catalogue; once only.
        const Share::Outcome added = apply(Op::add("B/1", 5, "Whole Milk", "2"));
        QVERIFY(added.newLine > 0);
        QVERIFY(apply(Op::add("B/1", 5, "Whole Milk", "2")).repeat);
        QCOMPARE(m_db->scalar("SELECT COUNT(*) FROM Selected WHERE Item = 'Whole Milk'").toInt(), 1);
        QCOMPARE(m_db->scalar("SELECT Category FROM Selected WHERE ID = ?", {added.newLine}),
                 m_db->scalar("SELECT Category FROM Vendora WHERE Item = 'Whole Milk'"));

        // The desktop deletes a ticked line, a phone unticks it meanwhile
        // (told it is gone), the delete is undone: the line comes back unticked.
        QVERIFY(!apply(Op::tick("A/1", 2, tea)).repeat);
        QVERIFY(write("Delete 1 Row", Household::List, "DELETE FROM Selected WHERE ID = ?", {tea}));
        QVERIFY(apply(Op::untick("B/1", 6, tea, {{"A/1", 2}})).lineGone);
        QVERIFY(undo());
        QCOMPARE(m_db->scalar("SELECT COUNT(*) FROM Selected WHERE ID = ?", {tea}).toInt(), 1);
        QCOMPARE(ticked(), QSet<qint64>());
        // A tick of a line while it is deleted is there when undo brings it back.
        QVERIFY(write("Delete 1 Row", Household::List, "DELETE FROM Selected WHERE ID = ?", {jam}));
        QVERIFY(apply(Op::tick("A/1", 3, jam)).lineGone);
        QVERIFY(undo());
        QCOMPARE(ticked(), QSet<qint64>({jam}));

        // The desktop adds a line, a phone ticks and unticks it: the add can
        // still be undone, and redone with the phone's state.
        QVERIFY(write("Add 1 Item", Household::List,
                      "INSERT INTO Selected (Item, Quantity) VALUES ('Figs', '1')"));
        const qlonglong figs = m_db->scalar("SELECT ID FROM Selected WHERE Item = 'Figs'").toLongLong();
        QVERIFY(!apply(Op::tick("A/1", 4, figs)).repeat);
        QVERIFY2(undo(), qPrintable(m_lastError));
        QCOMPARE(m_db->scalar("SELECT COUNT(*) FROM Selected WHERE Item = 'Figs'").toInt(), 0);
        QVERIFY(redo());
        QCOMPARE(ticked(), QSet<qint64>({jam, figs}));
        QVERIFY(!apply(Op::untick("A/1", 5, figs, {{"A/1", 4}})).repeat);
        QVERIFY2(undo(), qPrintable(m_lastError));
        QVERIFY(redo());
        QCOMPARE(ticked(), QSet<qint64>({jam}));

        // Removing the ticked lines is a step: undone, the lines come back ticked.
        int removed = 0;
        QVERIFY(m_file->change(
            "Remove Ticked Lines", Household::List,
            [&](QString *e) { return ShareStore::removeTicked(m_file->connection(), &removed, e); },
            &error));
        QCOMPARE(removed, 1);
        QVERIFY(undo());
        QCOMPARE(ticked(), QSet<qint64>({jam}));

        // What a page has had its answers for is pruned; what the rule still
        // needs is not.
        const int before = m_db->scalar("SELECT COUNT(*) FROM ShareOps").toInt();
        QVERIFY(m_file->change(QString(), {}, [&](QString *e) {
            return ShareStore::acknowledged(m_file->connection(), "A/1", 5, e);
        }, &error));
        QCOMPARE(m_db->scalar("SELECT COUNT(*) FROM ShareOps").toInt(), before - 5);
        QCOMPARE(ticked(), QSet<qint64>({jam}));
    }

    void replacingTheFileClearsTheHistory()
    {
        QVERIFY(write("Delete All", Household::List, "DELETE FROM Selected"));
        QSignalSpy spy(m_file.get(), &Household::changed);
        QString error;
        QVERIFY(m_file->replace([](QString *) { return true; }, &error));
        QCOMPARE(spy.size(), 1);
        QVERIFY(spy.at(0).at(0).value<Household::Changes>().testFlag(Household::Replaced));
        QVERIFY(!m_file->history().canUndo());
    }
};

QTEST_GUILESS_MAIN(TstHousehold)
#include "tst_household.moc"

// The data layer on its own: schema and file checks, the record set, the
// grouped report commands and the natural order.
#include "data/access/Connection.h"
#include "data/access/DEVendora.h"
#include "data/access/DataControl.h"
#include "data/text/NaturalOrder.h"
#include "data/access/RecordSet.h"
#include "data/models/RecordSetModel.h"
#include "data/access/RecordSources.h"
#include "data/access/RowStore.h"
#include "data/access/Schema.h"
#include "support/TestDatabase.h"

#include <QAbstractItemModelTester>
#include <QFile>
#include <QRandomGenerator>
#include <QSignalSpy>
#include <QtTest>

using namespace pantrio;
using namespace pantrio::test;

class TstData : public QObject
{
    Q_OBJECT

  private slots:
    void starterDatabase();
    void damagedFilesAreRefused_data();
    void damagedFilesAreRefused();
    void navigationOnEmptyAndFullSets();
    void filterAndFindBindValues();
    void addUpdateCancelDelete();
    void failedWritesKeepPendingAndBatchIsAllOrNothing();
    void bookmarksAndUpdateOnMove();
    void hostileTextRoundTrips();
    void packedRowsKeepEveryValue();
    void groupedCommands();
    void naturalOrder();
    void modelFollowsRecordSet();
};

void TstData::starterDatabase()
{
    TestDatabase dir;
    QVERIFY(dir.ok());
    QVERIFY(dir.scalar("SELECT COUNT(*) FROM Vendora").toInt() >= 150);
    QVERIFY(dir.scalar("SELECT COUNT(*) FROM Categories").toInt() >= 12);
    // Every item's category is offered in the category list.
    QCOMPARE(dir.scalar("SELECT COUNT(*) FROM Vendora WHERE Category NOT IN "
                        "(SELECT Categories FROM Categories)")
                 .toInt(),
             0);
    QCOMPARE(dir.scalar("SELECT COUNT(*) FROM Selected").toInt(), 0);
    QCOMPARE(dir.scalar("SELECT COUNT(*) FROM Settings").toInt(), 1);
    QCOMPARE(dir.scalar("SELECT COUNT(*) FROM Settings2").toInt(), 1);
    QString error;
    QVERIFY(Schema::checkFile(dir.database(), &error));
    // An existing file is never overwritten.
    const qint64 before = QFileInfo(dir.database()).size();
    QVERIFY(!Schema::createDatabase(dir.database(), true, &error));
    QCOMPARE(QFileInfo(dir.database()).size(), before);
    QCOMPARE(dir.scalar("SELECT COUNT(*) FROM Settings").toInt(), 1);
}

void TstData::damagedFilesAreRefused_data()
{
    QTest::addColumn<QByteArray>("damage");
    QTest::addColumn<QString>("reason");
    QTest::newRow("missing") << QByteArray("missing") << "does not exist";
    QTest::newRow("empty") << QByteArray("empty") << "empty";
    QTest::newRow("random bytes") << QByteArray("random") << "not a";
    QTest::newRow("jet file") << QByteArray("jet") << "not a";
    QTest::newRow("truncated") << QByteArray("truncated") << "malformed";
    QTest::newRow("missing table") << QByteArray("notable") << "table Selected is missing";
    QTest::newRow("missing column") << QByteArray("nocolumn") << "has no column Aisle";
}

void TstData::damagedFilesAreRefused()
{
    QFETCH(QByteArray, damage);
    QFETCH(QString, reason);
    TestDatabase dir;
    const QString path = dir.database();
    if (damage == "missing") {
        QFile::remove(path);
    } else if (damage == "empty") {
        QFile(path).open(QIODevice::WriteOnly | QIODevice::Truncate);
    } else if (damage == "random" || damage == "jet") {
        QFile f(path);
        QVERIFY(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
        QByteArray bytes =
            damage == "jet" ? QByteArray("\x00\x01\x00\x00Standard Jet DB\x00", 20) : QByteArray();
        for (int i = 0; i < 8192; ++i)
            bytes.append(char((i * 7919) % 251));
        f.write(bytes);
    } else if (damage == "truncated") {
        QFile f(path);
        QVERIFY(f.open(QIODevice::ReadWrite));
        QVERIFY(f.resize(f.size() / 3));
    } else if (damage == "notable") {
        QVERIFY(dir.exec("DROP TABLE Selected"));
    } else if (damage == "nocolumn") {
        QVERIFY(dir.exec("ALTER TABLE Vendora DROP COLUMN Aisle"));
    }
    QString error;
    const bool ok = Schema::checkFile(path, &error);
    QVERIFY(!ok);
    QVERIFY2(error.contains(reason), qPrintable(error));
}

void TstData::navigationOnEmptyAndFullSets()
{
    TestDatabase dir(false);
    DataControl c("adoVendora", Sources::catalogue());
    c.setConnectionString(dir.database());
    QString error;
    QVERIFY2(c.refresh(&error), qPrintable(error));
    RecordSet *rs = c.recordset();
    QCOMPARE(rs->recordCount(), 0);
    QVERIFY(rs->bof() && rs->eof());
    QCOMPARE(rs->absolutePosition(), 0);
    QVERIFY(!rs->moveNext(&error));
    QVERIFY(!rs->deleteCurrent(&error));
    QVERIFY(!error.isEmpty());

    for (const char *name : {"Cherries", "apples", "Bananas"})
        QVERIFY(dir.exec("INSERT INTO Vendora (Item) VALUES (?)", {QString::fromLatin1(name)}));
    QVERIFY(c.refresh(&error));
    QCOMPARE(rs->recordCount(), 3);
    QCOMPARE(rs->absolutePosition(), 1);
    QVERIFY(rs->moveLast());
    QCOMPARE(rs->absolutePosition(), 3);
    QVERIFY(rs->moveNext());
    QVERIFY(rs->eof() && !rs->bof());
    QVERIFY(rs->moveFirst());
    QVERIFY(rs->movePrevious());
    QVERIFY(rs->bof() && !rs->eof());
}

void TstData::filterAndFindBindValues()
{
    TestDatabase dir(false);
    const QStringList names = {"Kid's Snacks", "'; DROP TABLE Vendora; --", "100% _juice_",
                               "Back\\slash \"quoted\"", "Dairy"};
    for (const QString &n : names)
        QVERIFY(dir.exec("INSERT INTO Vendora (Item, Category) VALUES (?, ?)", {n + " item", n}));
    QVERIFY(dir.exec("INSERT INTO Vendora (Item, Category) VALUES ('no category', NULL)"));
    DataControl c("adoVendora", Sources::catalogue());
    c.setConnectionString(dir.database());
    QString error;
    QVERIFY(c.refresh(&error));
    RecordSet *rs = c.recordset();
    for (const QString &n : names) {
        rs->setFilter(Criterion{"Category", n});
        QCOMPARE(rs->recordCount(), 1);
        QCOMPARE(rs->value("Item").toString(), n + " item");
    }
    // Null never matches; an unknown name matches nothing; no filter shows all.
    rs->setFilter(Criterion{"Category", QVariant()});
    QCOMPARE(rs->recordCount(), 0);
    rs->setFilter(Criterion{"Category", "dairy"});
    QCOMPARE(rs->recordCount(), 0);
    rs->setFilter(std::nullopt);
    QCOMPARE(rs->recordCount(), 6);
    QCOMPARE(dir.scalar("SELECT COUNT(*) FROM Vendora").toInt(), 6);

    // Find by ID compares the number with its text, from the current row on.
    const qlonglong id = dir.scalar("SELECT ID FROM Vendora WHERE Category = 'Dairy'").toLongLong();
    QVERIFY(rs->moveFirst());
    QVERIFY(rs->find(Criterion{"ID", QString::number(id)}));
    QCOMPARE(rs->value("Category").toString(), QString("Dairy"));
    // From a later row on, the row before is not found, and the set is at its end.
    QVERIFY(rs->moveNext());
    QVERIFY(!rs->find(Criterion{"ID", QString::number(id)}));
    QVERIFY(rs->eof());
    QVERIFY(!rs->find(Criterion{"ID", "no such"}));
    QVERIFY(rs->eof());
}

void TstData::addUpdateCancelDelete()
{
    TestDatabase dir(false);
    DataControl c("adoList", Sources::shoppingList());
    c.setConnectionString(dir.database());
    QString error;
    QVERIFY(c.refresh(&error));
    RecordSet *rs = c.recordset();
    QCOMPARE(rs->fieldNames(), QStringList({"Item", "Category", "Aisle", "Quantity", "ID"}));
    QVERIFY(rs->addNew(&error));
    QVERIFY(rs->isNew());
    rs->setValue("Item", "Milk");
    rs->setValue("Quantity", "2 kg");
    QVERIFY2(rs->update(&error), qPrintable(error));
    QVERIFY(!rs->isPending());
    QVERIFY(rs->value("ID").toLongLong() > 0);
    QCOMPARE(dir.scalar("SELECT Quantity FROM Selected WHERE Item='Milk'").toString(),
             QString("2 kg"));

    // Cancelling a new row drops it and returns to the row before.
    QVERIFY(rs->addNew(&error));
    rs->setValue("Item", "dropped");
    rs->cancelUpdate();
    QCOMPARE(rs->recordCount(), 1);
    QCOMPARE(rs->value("Item").toString(), QString("Milk"));

    // Editing then cancelling restores the stored value.
    rs->setValue("Quantity", "9");
    QCOMPARE(rs->value("Quantity").toString(), QString("9"));
    rs->cancelUpdate();
    QCOMPARE(rs->value("Quantity").toString(), QString("2 kg"));

    // IDs are never reused, even for the highest row once deleted.
    const qlonglong firstId = rs->value("ID").toLongLong();
    QVERIFY(rs->deleteCurrent(&error));
    QCOMPARE(rs->recordCount(), 0);
    QVERIFY(rs->addNew(&error));
    rs->setValue("Item", "Eggs");
    QVERIFY(rs->update(&error));
    QVERIFY(rs->value("ID").toLongLong() > firstId);
    QCOMPARE(dir.scalar("SELECT COUNT(*) FROM Selected").toInt(), 1);
}

void TstData::failedWritesKeepPendingAndBatchIsAllOrNothing()
{
    TestDatabase dir(false);
    QVERIFY(dir.exec("CREATE TRIGGER refuse BEFORE INSERT ON Selected WHEN NEW.Item = 'boom' "
                     "BEGIN SELECT RAISE(ABORT, 'refused by test'); END"));
    DataControl c("adoList", Sources::shoppingList());
    c.setConnectionString(dir.database());
    QString error;
    QVERIFY(c.refresh(&error));
    RecordSet *rs = c.recordset();
    QVERIFY(rs->addNew(&error));
    rs->setValue("Item", "boom");
    QVERIFY(!rs->update(&error));
    QVERIFY(error.contains("refused by test"));
    QVERIFY(rs->isPending()); // the user can correct it and try again
    rs->setValue("Item", "fine");
    QVERIFY(rs->update(&error));

    // Two new rows in one batch, the second refused: neither is stored.
    QVERIFY(rs->addNew(&error));
    rs->setValue("Item", "first of batch");
    QVERIFY(rs->addNew(&error));
    rs->setValue("Item", "boom");
    QVERIFY(!rs->updateBatch(&error));
    QCOMPARE(dir.scalar("SELECT COUNT(*) FROM Selected").toInt(), 1);
    QCOMPARE(dir.scalar("SELECT COUNT(*) FROM Selected WHERE Item='first of batch'").toInt(), 0);
}

void TstData::bookmarksAndUpdateOnMove()
{
    TestDatabase dir;
    RecordSet rs(nullptr, Sources::editorItems());
    Connection conn;
    QString error;
    QVERIFY(conn.open(dir.database(), &error));
    rs.setConnection(&conn);
    QVERIFY(rs.open(&error));
    QVERIFY(rs.moveTo(4));
    const auto mark = rs.bookmark();
    const QString fifth = rs.value("Item").toString();
    QVERIFY(rs.moveLast());
    QVERIFY(rs.moveToBookmark(mark));
    QCOMPARE(rs.value("Item").toString(), fifth);
    // A bookmark does not outlive a requery.
    QVERIFY(rs.requery(&error));
    QVERIFY(!rs.moveToBookmark(mark, &error));

    // With updateOnMove, leaving a changed record writes it.
    rs.setUpdateOnMove(true);
    const qlonglong id = rs.value("ID").toLongLong();
    rs.setValue("Aisle", "Aisle 99");
    QVERIFY(rs.moveNext(&error));
    QCOMPARE(dir.scalar("SELECT Aisle FROM Vendora WHERE ID=?", {id}).toString(),
             QString("Aisle 99"));
}

void TstData::hostileTextRoundTrips()
{
    TestDatabase dir(false);
    DataControl c("adoVendora", Sources::catalogue());
    c.setConnectionString(dir.database());
    QString error;
    QVERIFY(c.refresh(&error));
    RecordSet *rs = c.recordset();
    const QStringList texts = {
        QString(10000, QChar('x')) + "end",           QString::fromUtf8("Crème brûlée 🍮 حليب"),
        QString("nul") + QChar(0) + "inside",         "O'Brien's \"best\" \\ 50% off_",
        "SELECT * FROM Vendora; DELETE FROM Vendora",
    };
    for (const QString &t : texts) {
        QVERIFY(rs->addNew(&error));
        rs->setValue("Item", t);
        rs->setValue("Category", t);
        QVERIFY2(rs->update(&error), qPrintable(error));
    }
    QVERIFY(c.refresh(&error));
    QCOMPARE(rs->recordCount(), texts.size());
    QStringList read;
    for (int i = 0; i < rs->recordCount(); ++i)
        read << rs->valueAt(i, "Item").toString();
    for (const QString &t : texts)
        QVERIFY(read.contains(t));
    rs->setFilter(Criterion{"Category", texts.at(2)});
    QCOMPARE(rs->recordCount(), 1);
}

void TstData::packedRowsKeepEveryValue()
{
    // Every kind of value comes back with its type and nullness.
    const QVector<QVariant> kinds = {QVariant(),
                                     QVariant(qlonglong(-9223372036854775807LL - 1)),
                                     QVariant(qlonglong(300)),
                                     QVariant(-0.25),
                                     QVariant(QString()),
                                     QVariant(QStringLiteral("")),
                                     QVariant(QString::fromUtf8("Crème 🍮") + QChar(0) + "x"),
                                     QVariant(QByteArray("\0\1", 2)),
                                     QVariant(7),
                                     QVariant(true)};
    RowStore rows(int(kinds.size()));
    rows.append(kinds);
    for (int c = 0; c < kinds.size(); ++c) {
        const QVariant v = rows.value(0, c);
        QCOMPARE(v.typeId(), kinds.at(c).typeId());
        QCOMPARE(v.isNull(), kinds.at(c).isNull());
        QCOMPARE(v, kinds.at(c));
    }
    QVERIFY(!rows.value(1, 0).isValid() && !rows.value(0, -1).isValid());

    // Repeated texts and far more names than a column keeps once; rows
    // rewritten many times (the buffer compacted on the way) and removed.
    RowStore many(3);
    for (int i = 0; i < 3000; ++i)
        many.append({qlonglong(i), QStringLiteral("Name %1").arg(i),
                     QStringLiteral("Category %1").arg(i % 7)});
    const RowStore before = many;
    for (int k = 0; k < 20000; ++k)
        many.set(k % 50, {qlonglong(-k), QString(200, QChar('a' + k % 26)), QVariant()});
    many.removeAt(2999);
    QCOMPARE(many.rowCount(), 2999);
    QCOMPARE(many.value(49, 1).toString(), QString(200, QChar('a' + 19999 % 26)));
    QVERIFY(!many.value(49, 2).isValid());
    QCOMPARE(many.row(2998), (QVector<QVariant>{qlonglong(2998), QStringLiteral("Name 2998"),
                                                QStringLiteral("Category 2")}));
    // The copy taken before is untouched by all of it.
    QCOMPARE(before.rowCount(), 3000);
    QCOMPARE(before.row(10), (QVector<QVariant>{qlonglong(10), QStringLiteral("Name 10"),
                                                QStringLiteral("Category 3")}));
}

void TstData::groupedCommands()
{
    TestDatabase dir(false);
    DEVendora de;
    de.setConnectionString(dir.database());
    QVariant highest;
    QString error;
    QVERIFY(de.TopListID(&highest, &error));
    QVERIFY(highest.isNull());

    const QList<QVariantList> lines = {
        {"Milk", "Dairy", "Aisle 10", "1"},
        {"apples", "Produce", "Aisle 2", "3"},
        {"Bread", "", "", "1"},
        {"Butter", "Dairy", "Aisle 10", "2 kg"},
        {"Cheese", "dairy", "Aisle 10", "1"},
        {"Zest", QVariant(), "Aisle 2", "1"},
    };
    for (const QVariantList &l : lines)
        QVERIFY(
            dir.exec("INSERT INTO Selected (Item, Category, Aisle, Quantity) VALUES (?,?,?,?)", l));
    QVERIFY(de.run(DEVendora::ListPrint_Grouping, &error));
    const GroupedResult *r = de.result(DEVendora::ListPrint_Grouping);
    QStringList groups;
    for (const auto &g : r->groups)
        groups << g.value.toString() + ":" + QString::number(g.rows.size());
    // Groups in natural, case-insensitive order; Null and empty one group, last.
    QCOMPARE(groups, QStringList({"Dairy:2", "dairy:1", "Produce:1", ":2"}));
    QCOMPARE(r->groups.first().rows.at(0).at(r->childField("Item")).toString(), QString("Butter"));
    QCOMPARE(r->rowCount(), 6);

    QVERIFY(de.run(DEVendora::ListPrintAisle_Grouping, &error));
    groups.clear();
    for (const auto &g : de.result(DEVendora::ListPrintAisle_Grouping)->groups)
        groups << g.value.toString();
    QCOMPARE(groups, QStringList({"Aisle 2", "Aisle 10", ""}));
    de.close(DEVendora::ListPrintAisle_Grouping);
    QVERIFY(!de.isOpen(DEVendora::ListPrintAisle_Grouping));

    // The full list collapses exact duplicates only.
    for (const QVariantList &l : QList<QVariantList>{{"Tea", "Drinks", "Aisle 9"},
                                                     {"Tea", "Drinks", "Aisle 9"},
                                                     {"Tea", "Drinks", "Aisle 3"},
                                                     {"Coffee", "Drinks", "Aisle 9"}})
        QVERIFY(dir.exec("INSERT INTO Vendora (Item, Category, Aisle) VALUES (?,?,?)", l));
    QVERIFY(de.run(DEVendora::All_Grouping, &error));
    const GroupedResult *all = de.result(DEVendora::All_Grouping);
    QCOMPARE(all->groups.size(), 1);
    QCOMPARE(all->groups.first().rows.size(), 3);
    QCOMPARE(all->groups.first().rows.first().at(all->childField("Item")).toString(),
             QString("Coffee"));

    // Read a category at a time, the full list is what one query and the
    // grouping make of it: Null and empty one group, first; natural order;
    // categories differing in case apart; however small the parts.
    const QList<QVariantList> more = {{"Soap", QVariant(), "Aisle 1"},  {"Salt", "", "Aisle 2"},
                                      {"salt", "", "Aisle 2"},          {"Milk", "cat 10", "A"},
                                      {"Milk", "Cat 2", "B"},           {"Milk", "cat 2", "C"},
                                      {"Eggs", "Cat 2", ""},            {"Eggs", "Cat 2", QVariant()},
                                      {QVariant(), "Cat 2", "D"},       {"Item 10", "Cat 2", "E"},
                                      {"Item 9", "Cat 2", "E"}};
    for (const QVariantList &l : more)
        QVERIFY(dir.exec("INSERT INTO Vendora (Item, Category, Aisle) VALUES (?,?,?)", l));
    Connection::Rows once;
    QVERIFY(de.cnVend().select("SELECT Category, Item, Aisle FROM Vendora GROUP BY Category, Item, "
                               "Aisle ORDER BY Category, Item",
                               &once, &error));
    const GroupedResult expected = DEVendora::group(once, "Category", "Item", false);
    for (int part : {0, 1, 4}) {
        std::unique_ptr<CatalogueReader> reader;
        QVERIFY(de.catalogueReader(&reader, &error));
        GroupedResult read;
        bool again = true;
        QVERIFY(reader->start(&read, &error));
        for (int turns = 0; again && turns < 100; ++turns)
            QVERIFY(reader->read(&read, part, &again, &error));
        QVERIFY(!again);
        QCOMPARE(read.childFields, expected.childFields);
        QCOMPARE(read.groups.size(), expected.groups.size());
        for (int g = 0; g < expected.groups.size(); ++g) {
            QCOMPARE(read.groups.at(g).value, expected.groups.at(g).value);
            QCOMPARE(read.groups.at(g).rows, expected.groups.at(g).rows);
        }
    }
    QCOMPARE(expected.groups.first().value.toString(), QString());
    QCOMPARE(expected.groups.at(1).value.toString(), QString("Cat 2"));

    QVERIFY(de.TopListID(&highest, &error));
    QCOMPARE(highest.toInt(), 4 + int(more.size()));
    qlonglong count = 0;
    QVERIFY(de.CatalogueCount(&count, &error));
    QCOMPARE(count, 4 + more.size());
    QVERIFY(de.ClearList(&error));
    QCOMPARE(dir.scalar("SELECT COUNT(*) FROM Selected").toInt(), 0);
}

void TstData::naturalOrder()
{
    // The sort keys order exactly as the comparison does, on texts made of
    // the parts that matter: digit runs with and without leading zeros,
    // letters of both cases, accents, signs between '0' and '9' in other
    // scripts, and digits of other scripts (compared by the comparison).
    const QStringList parts = {"0", "00", "007", "7", "10", "9", "a", "A", "b", "Z", "é", "É",
                               " ", "-", "/", ":", "ß", QString::fromUtf8("\u0663"),
                               QString::fromUtf8("\uFF12"), ""};
    QStringList texts;
    QRandomGenerator random(20261208);
    for (int i = 0; i < 600; ++i) {
        QString t;
        const int n = int(random.bounded(5));
        for (int k = 0; k < n; ++k)
            t += parts.at(random.bounded(int(parts.size())));
        texts << t;
    }
    std::vector<NaturalKey> keys;
    for (const QString &t : std::as_const(texts))
        keys.push_back(naturalKey(t));
    for (int i = 0; i < texts.size(); ++i)
        for (int j = 0; j < texts.size(); ++j)
            if (naturalCompare(keys[size_t(i)], texts.at(i), keys[size_t(j)], texts.at(j)) !=
                naturalCompare(texts.at(i), texts.at(j)))
                QFAIL(qPrintable(QString("\"%1\" against \"%2\"").arg(texts.at(i), texts.at(j))));

    QVERIFY(naturalCompare("Aisle 2", "Aisle 10") < 0);
    QVERIFY(naturalCompare("2", "10") < 0);
    QVERIFY(naturalCompare("apple", "Banana") < 0);
    QVERIFY(naturalCompare("a007", "a7") != 0);
    QVERIFY(naturalCompare("a07", "a7b") < 0);
    QVERIFY(naturalCompare("Aisle 10", "Aisle 10") == 0);
    QVERIFY(naturalCompare("item", "Item") != 0); // total order for stable output
    QVERIFY(naturalCompare("", "a") < 0);
}

void TstData::modelFollowsRecordSet()
{
    TestDatabase dir;
    DataControl c("adoList", Sources::shoppingList());
    c.setConnectionString(dir.database());
    QString error;
    QVERIFY(c.refresh(&error));
    RecordSetModel model;
    QAbstractItemModelTester tester(&model, QAbstractItemModelTester::FailureReportingMode::QtTest);
    model.setRecordSet(c.recordset());
    model.setReadOnlyFields({"ID"});
    QCOMPARE(model.columnCount(), 5);
    QCOMPARE(model.headerData(3, Qt::Horizontal).toString(), QString("Quantity"));
    RecordSet *rs = c.recordset();
    QVERIFY(rs->addNew(&error));
    rs->setValue("Item", "Milk");
    QVERIFY(rs->update(&error));
    QCOMPARE(model.rowCount(), 1);
    QSignalSpy edited(&model, &RecordSetModel::cellEdited);
    QVERIFY(model.setData(model.index(0, 3), "4"));
    QCOMPARE(edited.count(), 1);
    QVERIFY(!model.setData(model.index(0, 4), "77")); // the ID is the database's
    QVERIFY(c.refresh(&error));
    QCOMPARE(model.rowCount(), 1);
}

QTEST_GUILESS_MAIN(TstData)
#include "tst_data.moc"

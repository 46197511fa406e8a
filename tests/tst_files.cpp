// Backups, restore, CSV import and export: the data layer and the File menu.
#include "app/Module1.h"
#include "data/safety/Backup.h"
#include "data/formats/CatalogueTransfer.h"
#include "data/access/Connection.h"
#include "data/formats/Csv.h"
#include "forms/main/CatalogueView.h"
#include "forms/main/frmVendora.h"
#include "support/TestSupport.h"

#include <QAction>
#include <QFile>
#include <QLabel>
#include <QSemaphore>
#include <QThread>
#include <QtConcurrent/QtConcurrentRun>
#include <QtTest>

using namespace pantrio;
using namespace pantrio::test;

namespace
{
QString writeFile(const QTemporaryDir &dir, const QString &name, const QByteArray &data)
{
    const QString path = dir.filePath(name);
    QFile f(path);
    f.open(QIODevice::WriteOnly);
    f.write(data);
    return path;
}
} // namespace

class TstFiles : public Fixture
{
    Q_OBJECT

  private:
    QTemporaryDir m_files;
    void trigger(const char *action)
    {
        Module1::frmVendoraIfLoaded()->findChild<QAction *>(QLatin1String(action))->trigger();
    }
    int count(const QString &sql, const QVariantList &b = {})
    {
        return m_dir->scalar(sql, b).toInt();
    }

  private slots:
    void csvParsesWhatSpreadsheetsWrite();
    void malformedCsvNamesTheLine_data();
    void malformedCsvNamesTheLine();
    void exportThenImportRoundTrips();
    void importFromTheMenuSkipsDuplicatesAndCancels();
    void startupBackupAndRotation();
    void backupWhileWritingIsConsistent();
    void restoreGoodAndDamagedBackups();
};

void TstFiles::csvParsesWhatSpreadsheetsWrite()
{
    Csv::Table t;
    QString error;
    QVERIFY2(Csv::parse("\xEF\xBB\xBF"
                        "Aisle;Item;Category\r\n3;\"Salt; fine\";Spices\r\n"
                        "\"\";\"Say \"\"cheese\"\"\nplease\";Dairy\r\n",
                        &t, &error),
             qPrintable(error));
    QCOMPARE(t.header, QStringList({"Aisle", "Item", "Category"}));
    QCOMPARE(t.rows.size(), 2);
    QCOMPARE(t.rows.at(0), QStringList({"3", "Salt; fine", "Spices"}));
    QCOMPARE(t.rows.at(1).at(1), QString("Say \"cheese\"\nplease"));
    QCOMPARE(t.lines, QVector<int>({2, 3}));
    QVERIFY(Csv::parse("Item\tCategory\tAisle\n  spaced  \tA\t1\n", &t, &error));
    QCOMPARE(t.rows.at(0).at(0), QString("  spaced  "));
    QCOMPARE(Csv::line({"a,b", "say \"hi\"", ""}),
             QByteArray("\"a,b\",\"say \"\"hi\"\"\",\"\"\r\n"));
}

void TstFiles::malformedCsvNamesTheLine_data()
{
    QTest::addColumn<QByteArray>("data");
    QTest::addColumn<QString>("reason");
    QTest::newRow("field count") << QByteArray("Item,Category,Aisle\na,b,c\nd,e\n")
                                 << "line 3: 2 fields";
    QTest::newRow("open quote") << QByteArray("Item,Category,Aisle\na,b,c\n\"d,e,f\n")
                                << "line 3: a quoted field is not closed";
    QTest::newRow("stray quote") << QByteArray("Item,Category,Aisle\na,b\"x\"y,c\n") << "line 2";
    QTest::newRow("not utf-8") << QByteArray("Item,Category,Aisle\na,b,c\n\xff\xfe,x,y\n")
                               << "line 3: the text is not UTF-8";
    QTest::newRow("empty") << QByteArray() << "line 1";
    // Empty lines between records count, in either line ending.
    QTest::newRow("after an empty line") << QByteArray("Item,Category,Aisle\na,b,c\n\nd,e\n")
                                         << "line 4: 2 fields";
    QTest::newRow("after empty CRLF lines")
        << QByteArray("Item,Category,Aisle\r\n\r\n\r\na,b,c\r\n\r\n\xff,x,y\r\n")
        << "line 6: the text is not UTF-8";
}

void TstFiles::malformedCsvNamesTheLine()
{
    QFETCH(QByteArray, data);
    QFETCH(QString, reason);
    Csv::Table t;
    QString error;
    QVERIFY(!Csv::parse(data, &t, &error));
    QVERIFY2(error.startsWith(reason), qPrintable(error));
}

void TstFiles::exportThenImportRoundTrips()
{
    const QStringList names = {QString::fromUtf8("Crème fraîche 🥛"), "Salt, \"coarse\"",
                               "Two\nlines", QString::fromUtf8("حليب"), "plain"};
    QVERIFY(m_dir->exec("DELETE FROM Vendora"));
    for (const QString &n : names)
        QVERIFY(m_dir->exec("INSERT INTO Vendora (Item, Category, Aisle) VALUES (?, ?, ?)",
                            {n, n + " cat", "Aisle, 1"}));
    QVERIFY(
        m_dir->exec("INSERT INTO Vendora (Item, Category, Aisle) VALUES ('no aisle', 'x', NULL)"));
    Connection c;
    QString error;
    QVERIFY(c.open(m_dir->database(), &error));
    const QString csv = m_files.filePath("catalogue.csv");
    int n = 0;
    QVERIFY2(CatalogueTransfer::exportCatalogue(c, csv, &n, &error), qPrintable(error));
    QCOMPARE(n, 6);
    const auto before = m_dir->rows("SELECT Item, Category, Aisle FROM Vendora ORDER BY Item");

    // Into an empty catalogue: the same rows come back.
    QVERIFY(m_dir->exec("DELETE FROM Vendora"));
    QFile f(csv);
    QVERIFY(f.open(QIODevice::ReadOnly));
    Csv::Table t;
    QVERIFY2(Csv::parse(f.readAll(), &t, &error), qPrintable(error));
    CatalogueTransfer::ImportPlan plan;
    QVERIFY(CatalogueTransfer::plan(c, t, &plan, &error));
    QCOMPARE(plan.items.size(), 6);
    QVERIFY(CatalogueTransfer::apply(c, plan, {}, &error));
    QCOMPARE(m_dir->rows("SELECT Item, Category, Aisle FROM Vendora ORDER BY Item"), before);

    // The shopping list exports with its quantities.
    QVERIFY(m_dir->exec("INSERT INTO Selected (Item, Quantity) VALUES ('Milk', '2 kg')"));
    QVERIFY(CatalogueTransfer::exportShoppingList(c, m_files.filePath("list.csv"), &n, &error));
    QFile l(m_files.filePath("list.csv"));
    QVERIFY(l.open(QIODevice::ReadOnly));
    QVERIFY(Csv::parse(l.readAll(), &t, &error));
    QCOMPARE(t.header.last(), QString("Quantity"));
    QCOMPARE(t.rows.first().last(), QString("2 kg"));
}

void TstFiles::importFromTheMenuSkipsDuplicatesAndCancels()
{
    QVERIFY(Module1::Main());
    const int items = count("SELECT COUNT(*) FROM Vendora");
    const QString existing =
        m_dir->scalar("SELECT Item FROM Vendora WHERE Category='Dairy'").toString();
    QByteArray data = "Category,Item,Aisle\n";
    data += "Dairy," + existing.toUtf8() + ",Aisle 12\n"; // already there
    data += "Imported,New Thing,Aisle 30\n";
    data += "Imported,New Thing,Aisle 30\n"; // twice in the file
    data += "Dairy,Oat Milk,Aisle 12\n";
    const QString path = writeFile(m_files, "import.csv", data);

    // Cancelled at the question: nothing is added.
    m_dialogs->fileNames.push_back(path);
    m_dialogs->answers.push_back(Dialogs::Answer::Cancel);
    trigger("mnuImport");
    QVERIFY(m_dialogs->messages.at(0).contains("Add 2 items"));
    QVERIFY(m_dialogs->messages.at(0).contains("2 exact duplicates"));
    QCOMPARE(m_dialogs->messages.size(), 1);
    QCOMPARE(count("SELECT COUNT(*) FROM Vendora"), items);

    m_dialogs->cancelAt = -1;
    m_dialogs->fileNames.push_back(path);
    m_dialogs->answers.push_back(Dialogs::Answer::Ok);
    trigger("mnuImport");
    QCOMPARE(count("SELECT COUNT(*) FROM Vendora"), items + 2);
    QCOMPARE(count("SELECT COUNT(*) FROM Categories WHERE Categories='Imported'"), 1);
    // The window shows the new items at once.
    auto *view = Module1::frmVendoraIfLoaded()->findChild<CatalogueView *>("lvwItems");
    QCOMPARE(view->catalogue()->count(), items + 2);

    // A malformed file is refused with its line, and nothing is added.
    m_dialogs->fileNames.push_back(
        writeFile(m_files, "bad.csv", "Item,Category,Aisle\na,b,c\nx\n"));
    trigger("mnuImport");
    QVERIFY(m_dialogs->messages.last().contains("line 3"));
    QCOMPARE(count("SELECT COUNT(*) FROM Vendora"), items + 2);

    // Export from the menu.
    m_dialogs->fileNames.push_back(m_files.filePath("out.csv"));
    trigger("mnuExportCatalogue");
    QVERIFY(QFile::exists(m_files.filePath("out.csv")));
}

void TstFiles::startupBackupAndRotation()
{
    QVERIFY(Module1::Main());
    const QDir backups(Backup::automaticFolderFor(m_dir->database()));
    QCOMPARE(backups.entryList({"Vendora-*.mdb"}).size(), 1);
    QString error;
    QVERIFY(Backup::verify(backups.filePath(backups.entryList({"Vendora-*.mdb"}).first()), &error));

    // Rotation: the newest 10, and the first of each of the last 12 months.
    const QDateTime now(QDate(2026, 12, 7), QTime(10, 0));
    QStringList names;
    for (int m = 0; m < 18; ++m)
        for (int d : {3, 20}) {
            const QDateTime t(QDate(2025, 7, d).addMonths(m), QTime(9, 0));
            if (t <= now)
                names << "Vendora-" + t.toString("yyyyMMdd-HHmmss") + ".mdb";
        }
    for (int i = 0; i < 12; ++i)
        names << "Vendora-" + now.addSecs(-i * 60).toString("yyyyMMdd-HHmmss") + ".mdb";
    const QStringList kept = Backup::keep(names, now);
    QCOMPARE(kept.size(), 10 + 12); // the newest ten, and January to December's first
    for (int i = 0; i < 10; ++i)
        QVERIFY(
            kept.contains("Vendora-" + now.addSecs(-i * 60).toString("yyyyMMdd-HHmmss") + ".mdb"));
    QVERIFY(
        !kept.contains("Vendora-" + now.addSecs(-11 * 60).toString("yyyyMMdd-HHmmss") + ".mdb"));
    QVERIFY(kept.contains("Vendora-20260103-090000.mdb"));
    QVERIFY(!kept.contains("Vendora-20260120-090000.mdb"));
    QVERIFY(!kept.contains("Vendora-20251203-090000.mdb")); // thirteen months back
    QVERIFY(kept.contains("Vendora-20261203-090000.mdb"));

    // The folder is pruned when a new start-up copy is made.
    for (const QString &n : names)
        QFile::copy(m_dir->database(), backups.filePath(n));
    QVERIFY(!Backup::automatic(m_dir->database(), &error, now.addSecs(60)).isEmpty());
    QCOMPARE(backups.entryList({"Vendora-*.mdb"}).size(),
             Backup::keep(backups.entryList({"Vendora-*.mdb"}), now.addSecs(60)).size());
}

void TstFiles::backupWhileWritingIsConsistent()
{
    // A writer commits batches while copies are taken; every copy is intact
    // and holds whole batches only, and a later copy never fewer.
    std::atomic<bool> stop{false};
    std::atomic<int> committed{0};
    QString writerError;
    QSemaphore firstBatch;
    const QString db = m_dir->database();
    auto writer = QtConcurrent::run([&] {
        Connection c;
        if (!c.open(db, &writerError))
            return firstBatch.release();
        for (int batch = 0; !stop; ++batch) {
            const bool ok = c.transaction(
                [&] {
                    for (int i = 0; i < 50; ++i)
                        if (!c.exec("INSERT INTO Selected (Item, Quantity) VALUES (?, '1')",
                                    {QString("batch %1").arg(batch)}, &writerError))
                            return false;
                    return true;
                },
                &writerError);
            if (!ok)
                break;
            if (++committed == 1)
                firstBatch.release();
        }
        if (committed == 0)
            firstBatch.release();
    });
    firstBatch.acquire();
    QString error;
    int previous = 0;
    for (int i = 0; i < 8; ++i) {
        const QString copy = m_files.filePath(QString("copy%1.mdb").arg(i));
        QVERIFY2(Backup::copy(db, copy, &error), qPrintable(error));
        QVERIFY2(Backup::verify(copy, &error), qPrintable(error));
        Connection c;
        QVERIFY(c.open(copy, &error));
        Connection::Rows rows;
        QVERIFY(c.select("SELECT COUNT(*) FROM Selected", &rows, &error));
        const int lines = rows.rows.first().first().toInt();
        QVERIFY2(lines > 0 && lines % 50 == 0, qPrintable(QString::number(lines)));
        QVERIFY(lines >= previous);
        previous = lines;
    }
    stop = true;
    writer.waitForFinished();
    QVERIFY2(writerError.isEmpty(), qPrintable(writerError));
    QVERIFY(committed > 0);
}

void TstFiles::restoreGoodAndDamagedBackups()
{
    QVERIFY(Module1::Main());
    const QString good = m_files.filePath("good.mdb");
    QString error;
    QVERIFY(Backup::copy(m_dir->database(), good, &error));
    QVERIFY(m_dir->exec("INSERT INTO Selected (Item, Quantity) VALUES ('after backup', '1')"));
    QVERIFY(m_dir->exec("DELETE FROM Vendora WHERE Category='Dairy'"));

    // A damaged file is refused and nothing changes.
    QFile::copy(good, m_files.filePath("bad.mdb"));
    {
        QFile bad(m_files.filePath("bad.mdb"));
        QVERIFY(bad.open(QIODevice::ReadWrite));
        bad.seek(bad.size() / 2);
        bad.write(QByteArray(8192, '\x5a'));
    }
    m_dialogs->fileNames.push_back(m_files.filePath("bad.mdb"));
    trigger("mnuRestore");
    QVERIFY(m_dialogs->messages.last().contains("not an intact Pantrio database"));
    QCOMPARE(count("SELECT COUNT(*) FROM Selected"), 1);

    // A text file, too.
    m_dialogs->fileNames.push_back(writeFile(m_files, "notes.mdb", "just some text"));
    trigger("mnuRestore");
    QVERIFY(m_dialogs->messages.last().contains("not an intact"));

    // No: nothing changes.
    m_dialogs->fileNames.push_back(good);
    m_dialogs->answers.push_back(Dialogs::Answer::No);
    trigger("mnuRestore");
    QCOMPARE(count("SELECT COUNT(*) FROM Selected"), 1);

    const int backupsBefore =
        QDir(Backup::automaticFolderFor(m_dir->database())).entryList({"*.mdb"}).size();
    m_dialogs->fileNames.push_back(good);
    m_dialogs->answers.push_back(Dialogs::Answer::Yes);
    trigger("mnuRestore");
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    QCOMPARE(count("SELECT COUNT(*) FROM Selected"), 0);
    QVERIFY(count("SELECT COUNT(*) FROM Vendora WHERE Category='Dairy'") > 0);
    QCOMPARE(QDir(Backup::automaticFolderFor(m_dir->database())).entryList({"*.mdb"}).size(),
             backupsBefore);
    QCOMPARE(QDir(Backup::folderFor(m_dir->database())).entryList({"Vendora-before-restore-*.mdb"}).size(),
             1);
    // The window was loaded afresh on the restored data.
    frmVendora *f = Module1::frmVendoraIfLoaded();
    QVERIFY(f && f->isVisible());
    QCOMPARE(f->findChild<QLabel *>("lblCount")->text(), QString("0"));
    QVERIFY(Backup::verify(m_dir->database(), &error));
}

QTEST_MAIN(TstFiles)
#include "tst_files.moc"

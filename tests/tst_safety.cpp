// Nothing lost, nothing crashes: backups and their rotation, restore, journals
// and other side files beside the database, files the user writes, one
// Pantrio per file, and windows closed while their dialogs are open.
#include "app/Module1.h"
#include "data/safety/Backup.h"
#include "data/access/Connection.h"
#include "data/access/DataControl.h"
#include "data/safety/DatabaseFile.h"
#include "data/access/RecordSet.h"
#include "data/access/Schema.h"
#include "forms/editor/frmAdding.h"
#include "forms/main/CatalogueView.h"
#include "forms/main/frmVendora.h"
#include "reports/PrintCommands.h"
#include "reports/ReportPreview.h"
#include "support/TestSupport.h"

#include <QAction>
#include <QDialog>
#include <QLabel>
#include <QSemaphore>
#include <QTableView>
#include <QThread>
#include <QtConcurrent/QtConcurrentRun>
#include <QtTest>

#include <csignal>
#include <sqlite3.h>
#include <sys/resource.h>

using namespace pantrio;
using namespace pantrio::test;

namespace
{

// A connection of the SQLite API, for making files as other programs would.
struct Raw {
    sqlite3 *db = nullptr;
    explicit Raw(const QString &path)
    {
        sqlite3_open(QFile::encodeName(path).constData(), &db);
        sqlite3_busy_timeout(db, 5000);
    }
    ~Raw() { sqlite3_close(db); }
    bool exec(const char *sql)
    {
        return sqlite3_exec(db, sql, nullptr, nullptr, nullptr) == SQLITE_OK;
    }
};

QByteArray readAll(const QString &path)
{
    QFile f(path);
    f.open(QIODevice::ReadOnly);
    return f.readAll();
}

void writeAll(const QString &path, const QByteArray &data)
{
    QFile f(path);
    f.open(QIODevice::WriteOnly | QIODevice::Truncate);
    f.write(data);
}

// A write caught in flight, as a kill leaves it: the journal and the file as
// they are once the journal is synced and pages begin to reach the file. The
// transaction is rolled back afterwards, so the file itself is unchanged.
struct InFlight {
    QByteArray file;
    QByteArray journal;
};
InFlight writeInFlight(const QString &db)
{
    Raw r(db);
    r.exec("PRAGMA cache_size=2"); // the cache spills into the file at once
    r.exec("BEGIN IMMEDIATE");
    r.exec("PRAGMA user_version=77");
    for (int i = 0; i < 50; ++i)
        r.exec("INSERT INTO Selected (Item, Quantity) VALUES (hex(randomblob(400)), '1')");
    InFlight caught{readAll(db), readAll(db + "-journal")};
    r.exec("ROLLBACK");
    return caught;
}

// The log of a database in WAL mode with changes not yet written into it, as
// a program killed while using it leaves it.
QByteArray logInFlight(const QString &db, const char *change)
{
    Raw r(db);
    r.exec("PRAGMA journal_mode=WAL");
    r.exec("PRAGMA wal_autocheckpoint=0");
    r.exec(change);
    const QByteArray wal = readAll(db + "-wal");
    // Closing would fold the log into the file; a copy keeps the state.
    const QString copy = db + ".state";
    QFile::copy(db, copy);
    r.exec("PRAGMA journal_mode=WAL");
    sqlite3_close(r.db);
    r.db = nullptr;
    QFile::remove(db);
    QFile::rename(copy, db);
    QFile::remove(db + "-wal");
    QFile::remove(db + "-shm");
    return wal;
}

QStringList names(const QString &folder)
{
    return QDir(folder).entryList(QDir::Files, QDir::Name);
}

} // namespace

class TstSafety : public Fixture
{
    Q_OBJECT

  private:
    int count(const QString &sql) { return m_dir->scalar(sql).toInt(); }

  private slots:
    // Backups and restore
    void rotationOnlyDeletesItsOwnBackups();
    void everySafetyCopyIsFreshAndNew();
    void backupsAndRestoreWaitFiveSecondsAtMost();
    void restoreTakesAnyIntactDatabase();
    // Journals and side files
    void noSideFileStaysBetweenWrites();
    void foreignLogIsSetAsideNotApplied();
    void legacyLogIsAppliedOnlyWhenTheUserSaysSo();
    void interruptedSaveIsUndoneSilently();
    void aJournalSwitchThatFailsIsTold();
    void handRestoreIsNotUndoneByAStaleJournal();
    void unwritableSharedMemoryFileIsHarmless();
    void readOnlyFolderStillOpens();
    void backupFolderTheUserMayNotWrite();
    // Files the user writes
    void fullDiskLeavesEarlierExportsAlone();
    void damagedFileEndsCleanlyAndUnchanged();
    void oneProgramPerFile();
    void endedBySignalLikeAClose();
    // Windows
    void closingAWindowWithItsDialogOpen();
    void addingDoesNotLeakSelectionModels();
    void failedAddKeepsTheTicksOfWhatWasNotAdded();
    void errorsAreReportedWithTheirReason();
};

void TstSafety::rotationOnlyDeletesItsOwnBackups()
{
    QVERIFY(start());
    const QString folder = Backup::folderFor(m_dir->database());
    // Copies the user made: with Back Up Now, by hand, and one named like the
    // automatic backups of earlier versions, which lived in this folder.
    const QStringList mine = {"Vendora-mine.mdb", "Vendora-copy-2026-12-07.mdb",
                              "Vendora-20250101-000000.mdb"};
    for (const QString &n : mine)
        QVERIFY(QFile::copy(m_dir->database(), QDir(folder).filePath(n)));
    // Back Up Now offers a place rotation does not manage.
    m_dialogs->fileNames.push_back(QString());
    trigger("mnuBackUp");
    QCOMPARE(m_dialogs->suggestedNames.size(), 1);
    QVERIFY(!m_dialogs->suggestedNames.first().startsWith(
        Backup::automaticFolderFor(m_dir->database())));
    // Thirty starts, months apart: rotation prunes its own folder only.
    QString error;
    for (int i = 0; i < 30; ++i)
        QVERIFY2(!Backup::automatic(m_dir->database(), &error,
                                    QDateTime(QDate(2024, 1, 15).addMonths(i), QTime(8, 0)))
                      .isEmpty(),
                 qPrintable(error));
    for (const QString &n : mine)
        QVERIFY2(QFile::exists(QDir(folder).filePath(n)), qPrintable(n));
    const QStringList automatic = names(Backup::automaticFolderFor(m_dir->database()));
    QCOMPARE(automatic.size(), 12 + 1); // a year of months, and the start-up copy
    // A stranger in the automatic folder is no concern of rotation either.
    QVERIFY(
        QFile::copy(m_dir->database(),
                    QDir(Backup::automaticFolderFor(m_dir->database())).filePath("keep me.mdb")));
    QVERIFY(!Backup::automatic(m_dir->database(), &error).isEmpty());
    QVERIFY(names(Backup::automaticFolderFor(m_dir->database())).contains("keep me.mdb"));
}

void TstSafety::everySafetyCopyIsFreshAndNew()
{
    QTemporaryDir files;
    QVERIFY(start());
    const QDateTime now = QDateTime::currentDateTime();
    QString error;
    const QString first = Backup::automatic(m_dir->database(), &error, now);
    QVERIFY(m_dir->exec("INSERT INTO Selected (Item, Quantity) VALUES ('changed since', '1')"));
    const QString second = Backup::automatic(m_dir->database(), &error, now);
    QVERIFY2(!second.isEmpty(), qPrintable(error));
    QVERIFY(first != second);
    Connection c;
    QVERIFY(c.open(second, &error, Connection::Mode::ReadOnly));
    Connection::Rows rows;
    QVERIFY(c.select("SELECT COUNT(*) FROM Selected WHERE Item = 'changed since'", &rows, &error));
    QCOMPARE(rows.rows.first().first().toInt(), 1);

    // Restore's copy of the current file, in the same second as the start-up
    // backup, holds the change made in between.
    QVERIFY(m_dir->exec("INSERT INTO Selected (Item, Quantity) VALUES ('before restore', '1')"));
    const QString good = files.filePath("good.mdb");
    QVERIFY(Backup::copy(m_dir->database(), good, &error));
    QVERIFY(m_dir->exec("UPDATE Selected SET Quantity = '9' WHERE Item = 'before restore'"));
    const QStringList before = names(Backup::folderFor(m_dir->database()));
    m_dialogs->fileNames.push_back(good);
    m_dialogs->answers.push_back(Dialogs::Answer::Yes);
    trigger("mnuRestore");
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    // Kept in backups/ itself, under a name rotation never touches, and named
    // in the message after the restore.
    QStringList made = names(Backup::folderFor(m_dir->database()));
    for (const QString &n : before)
        made.removeAll(n);
    QCOMPARE(made.size(), 1);
    QVERIFY2(made.first().startsWith("Vendora-before-restore-"), qPrintable(made.first()));
    QVERIFY2(m_dialogs->messages.last().contains(made.first()),
             qPrintable(m_dialogs->messages.last()));
    QVERIFY(Backup::keep({made.first()}, QDateTime::currentDateTime().addYears(5)).isEmpty());
    for (int i = 0; i < 12; ++i)
        QVERIFY(!Backup::automatic(m_dir->database(), &error,
                                   QDateTime::currentDateTime().addDays(40 * i))
                     .isEmpty());
    QVERIFY(QFile::exists(QDir(Backup::folderFor(m_dir->database())).filePath(made.first())));
    Connection taken;
    QVERIFY(taken.open(QDir(Backup::folderFor(m_dir->database())).filePath(made.first()),
                       &error, Connection::Mode::ReadOnly));
    QVERIFY(
        taken.select("SELECT Quantity FROM Selected WHERE Item = 'before restore'", &rows, &error));
    QCOMPARE(rows.rows.first().first().toString(), QString("9"));
    QCOMPARE(
        m_dir->scalar("SELECT Quantity FROM Selected WHERE Item = 'before restore'").toString(),
        QString("1"));
}

void TstSafety::backupsAndRestoreWaitFiveSecondsAtMost()
{
    QTemporaryDir files;
    QVERIFY(start());
    const QString good = files.filePath("good.mdb");
    QString error;
    QVERIFY(Backup::copy(m_dir->database(), good, &error));
    // Another program writes for twelve seconds.
    QSemaphore holding, release;
    auto writer = QtConcurrent::run([&] {
        Raw r(m_dir->database());
        r.exec("BEGIN EXCLUSIVE");
        r.exec("INSERT INTO Selected (Item, Quantity) VALUES ('other program', '1')");
        holding.release();
        release.tryAcquire(1, 12000);
        r.exec("ROLLBACK");
    });
    holding.acquire();
    QElapsedTimer t;
    t.start();
    QVERIFY(!Backup::copy(m_dir->database(), files.filePath("copy.mdb"), &error));
    QVERIFY2(error.contains("locked"), qPrintable(error));
    QVERIFY(!QFile::exists(files.filePath("copy.mdb")));
    const qint64 copyTook = t.restart();
    m_dialogs->fileNames.push_back(good);
    m_dialogs->answers.push_back(Dialogs::Answer::Yes);
    trigger("mnuRestore");
    const qint64 restoreTook = t.elapsed();
    release.release();
    writer.waitForFinished();
    QVERIFY2(m_dialogs->messages.last().contains("locked"), qPrintable(m_dialogs->messages.last()));
    QVERIFY2(copyTook < 8000 && restoreTook < 8000,
             qPrintable(QString("%1 ms, %2 ms").arg(copyTook).arg(restoreTook)));
}

void TstSafety::restoreTakesAnyIntactDatabase()
{
    QTemporaryDir files;
    QVERIFY(start());
    // Made by another tool: another page size, and left in WAL mode.
    const QString other = files.filePath("other-tool.mdb");
    QString error;
    QVERIFY(Backup::copy(m_dir->database(), other, &error));
    {
        Raw r(other);
        QVERIFY(r.exec("PRAGMA page_size=16384"));
        QVERIFY(r.exec("VACUUM"));
        QVERIFY(
            r.exec("INSERT INTO Selected (Item, Quantity) VALUES ('from the other tool', '3')"));
        QVERIFY(r.exec("PRAGMA journal_mode=WAL"));
    }
    QCOMPARE(DatabaseFile::readHeader(other).pageSize, 16384);
    m_dialogs->fileNames.push_back(other);
    m_dialogs->answers.push_back(Dialogs::Answer::Yes);
    trigger("mnuRestore");
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    QCOMPARE(count("SELECT COUNT(*) FROM Selected WHERE Item = 'from the other tool'"), 1);
    QVERIFY(Backup::verify(m_dir->database(), &error));
    QCOMPARE(Module1::frmVendoraIfLoaded()->findChild<QLabel *>("lblCount")->text(), QString("1"));
}

void TstSafety::noSideFileStaysBetweenWrites()
{
    // A file an earlier version left in WAL mode moves to the rollback journal.
    {
        Raw(m_dir->database()).exec("PRAGMA journal_mode=WAL");
    }
    QVERIFY(DatabaseFile::readHeader(m_dir->database()).walMode);
    frmVendora *f = start();
    QVERIFY(f);
    QVERIFY(!DatabaseFile::readHeader(m_dir->database()).walMode);
    f->findChild<CatalogueView *>("lvwItems")->catalogue()->setChecked(0, true);
    f->cmdAddToList_Click();
    for (const char *side : {"-wal", "-shm", "-journal"})
        QVERIFY2(!QFile::exists(m_dir->database() + side), side);
    QCOMPARE(count("SELECT COUNT(*) FROM Selected"), 1);
}

void TstSafety::foreignLogIsSetAsideNotApplied()
{
    QTemporaryDir files;
    // Logs of two other files: a database of another program, and another
    // Pantrio file with rows of its own.
    const QString stranger = files.filePath("stranger.db");
    {
        Raw(stranger).exec("CREATE TABLE t (x); INSERT INTO t VALUES (1)");
    }
    const QByteArray strangerLog =
        logInFlight(stranger, "INSERT INTO t SELECT randomblob(3000) FROM t; CREATE TABLE u (y)");
    const QString sibling = files.filePath("sibling.mdb");
    QString error;
    QVERIFY(Backup::copy(m_dir->database(), sibling, &error));
    const QByteArray siblingLog =
        logInFlight(sibling, "INSERT INTO Selected (Item, Quantity) VALUES ('not yours', '1')");
    QVERIFY(!strangerLog.isEmpty() && !siblingLog.isEmpty());

    const QByteArray before = fileHash(m_dir->database());
    for (const QByteArray &log : {strangerLog, siblingLog}) {
        writeAll(m_dir->database() + "-wal", log);
        m_dialogs->messages.clear();
        QVERIFY(start());
        QCOMPARE(count("SELECT COUNT(*) FROM Selected WHERE Item = 'not yours'"), 0);
        QVERIFY(!QFile::exists(m_dir->database() + "-wal"));
        QVERIFY2(m_dialogs->messages.first().contains("belongs to another file"),
                 qPrintable(m_dialogs->messages.first()));
        // Not deleted: moved into backups/, where the message says.
        const QStringList aside =
            QDir(Backup::folderFor(m_dir->database())).entryList({"Vendora.mdb-wal.set-aside-*"});
        QVERIFY(!aside.isEmpty());
        QVERIFY(m_dialogs->messages.first().contains(aside.last()));
        QCOMPARE(fileHash(m_dir->database()), before);
        Module1::shutdown();
        for (const QString &n : aside)
            QFile::remove(QDir(Backup::folderFor(m_dir->database())).filePath(n));
    }
    // A stranger's log beside a file in WAL mode: applied, it would damage it.
    {
        Raw(m_dir->database()).exec("PRAGMA journal_mode=WAL");
    }
    writeAll(m_dir->database() + "-wal", strangerLog);
    m_dialogs->messages.clear();
    QVERIFY(start());
    QVERIFY2(m_dialogs->messages.first().contains("would damage it"),
             qPrintable(m_dialogs->messages.first()));
    QVERIFY(Backup::verify(m_dir->database(), &error));
}

void TstSafety::legacyLogIsAppliedOnlyWhenTheUserSaysSo()
{
    QTemporaryDir files;
    // Left by an earlier version killed while writing in WAL mode. Whether the
    // log is the file's own only the user knows (they may have copied the
    // file in since), so they are asked.
    const QString db = m_dir->database();
    const QString kept = files.filePath("kept.mdb");
    const QByteArray log =
        logInFlight(db, "INSERT INTO Selected (Item, Quantity) VALUES ('waiting in the log', '1')");
    QVERIFY(QFile::copy(db, kept));

    writeAll(db + "-wal", log);
    m_dialogs->answers.push_back(Dialogs::Answer::No);
    QVERIFY(start());
    QVERIFY(m_dialogs->messages.first().contains("never written into it"));
    QCOMPARE(count("SELECT COUNT(*) FROM Selected WHERE Item = 'waiting in the log'"), 0);
    Module1::shutdown();

    QFile::remove(db);
    QFile::copy(kept, db);
    writeAll(db + "-wal", log);
    m_dialogs->answers.push_back(Dialogs::Answer::Yes);
    QVERIFY(start());
    QCOMPARE(count("SELECT COUNT(*) FROM Selected WHERE Item = 'waiting in the log'"), 1);
    QVERIFY(!QFile::exists(db + "-wal"));
}

void TstSafety::interruptedSaveIsUndoneSilently()
{
    const auto rowsBefore = m_dir->rows("SELECT * FROM Selected");
    const InFlight caught = writeInFlight(m_dir->database());
    QVERIFY(caught.journal.startsWith(QByteArray::fromHex("d9d505f920a163d7")));
    QVERIFY(caught.file != readAll(m_dir->database())); // pages of the write reached it
    writeAll(m_dir->database(), caught.file);
    writeAll(m_dir->database() + "-journal", caught.journal);
    const QList<DatabaseFile::SideFile> found = DatabaseFile::inspectSideFiles(m_dir->database());
    QCOMPARE(found.size(), 1);
    QCOMPARE(found.first().verdict, DatabaseFile::SideFile::Verdict::Own);
    QVERIFY(start());
    QVERIFY2(m_dialogs->messages.isEmpty(), qPrintable(m_dialogs->messages.join('|')));
    QVERIFY(!QFile::exists(m_dir->database() + "-journal"));
    QCOMPARE(m_dir->rows("SELECT * FROM Selected"), rowsBefore);
    // Before the journal was applied, the file as it stood and the journal
    // were kept, byte for byte, in backups/.
    const QStringList kept = QDir(Backup::folderFor(m_dir->database()))
                                 .entryList({"Vendora-as-found-*"}, QDir::Files, QDir::Name);
    QCOMPARE(kept.size(), 2);
    const QString copy = QDir(Backup::folderFor(m_dir->database())).filePath(kept.first());
    QCOMPARE(readAll(copy), caught.file);
    QCOMPARE(readAll(copy + "-journal"), caught.journal);
}

void TstSafety::aJournalSwitchThatFailsIsTold()
{
    // A file last used with a write-ahead log, held open by another program
    // that is reading it: the switch to the rollback journal cannot be made.
    QVERIFY(m_dir->exec("PRAGMA journal_mode=WAL"));
    Connection reader;
    QString error;
    QVERIFY(reader.open(m_dir->database(), &error));
    QVERIFY(reader.exec("BEGIN", {}, &error));
    Connection::Rows rows;
    QVERIFY(reader.select("SELECT COUNT(*) FROM Vendora", &rows, &error));
    QVERIFY(start());
    QVERIFY(!m_dialogs->messages.isEmpty());
    QVERIFY2(m_dialogs->messages.first().contains("could not switch it"),
             qPrintable(m_dialogs->messages.first()));
    reader.rollback();
}

void TstSafety::handRestoreIsNotUndoneByAStaleJournal()
{
    // A session is killed while saving; the user, as the message advises,
    // copies a backup over the file while Pantrio is closed.
    QVERIFY(start());
    const QString backup = Backup::automatic(m_dir->database(), nullptr);
    QVERIFY(!backup.isEmpty());
    Module1::shutdown();
    for (int i = 0; i < 3; ++i)
        QVERIFY(
            m_dir->exec("INSERT INTO Selected (Item, Quantity) VALUES ('after the backup', '1')"));
    const InFlight caught = writeInFlight(m_dir->database());
    QFile::remove(m_dir->database());
    QVERIFY(QFile::copy(backup, m_dir->database()));
    writeAll(m_dir->database() + "-journal", caught.journal);
    const QByteArray restored = fileHash(m_dir->database());

    QVERIFY(start());
    QVERIFY(!m_dialogs->messages.isEmpty());
    QVERIFY2(m_dialogs->messages.first().contains("another state"),
             qPrintable(m_dialogs->messages.first()));
    QCOMPARE(fileHash(m_dir->database()), restored);
    QCOMPARE(count("SELECT COUNT(*) FROM Selected WHERE Item = 'after the backup'"), 0);
    QVERIFY(!QFile::exists(m_dir->database() + "-journal"));
}

void TstSafety::unwritableSharedMemoryFileIsHarmless()
{
    // Another program leaves a shared-memory file nobody may write; Pantrio,
    // run as an ordinary user, keeps saving.
    shareWithUnprivileged(m_dir->path(), true);
    shareWithUnprivileged(m_dir->database(), true);
    writeAll(m_dir->database() + "-shm", QByteArray(32768, '\0'));
    QFile::setPermissions(m_dir->database() + "-shm",
                          QFileDevice::ReadOwner | QFileDevice::ReadOther);
    const ProcessResult r = runProbe({m_dir->path(), "add=3", "add=2"}, true);
    QVERIFY2(r.finished && !r.crashed && r.exitCode == 0, qPrintable(r.errors));
    QVERIFY(r.lines.contains("count: 5"));
    QCOMPARE(count("SELECT COUNT(*) FROM Selected"), 5);
}

void TstSafety::readOnlyFolderStillOpens()
{
    // A file in WAL mode, in a folder the user may not write, opens to be read
    // and printed, as the same file with the rollback journal does.
    QVERIFY(m_dir->exec("INSERT INTO Selected (Item, Quantity) VALUES ('Milk', '2')"));
    for (bool wal : {true, false}) {
        {
            Raw(m_dir->database())
                .exec(wal ? "PRAGMA journal_mode=WAL" : "PRAGMA journal_mode=DELETE");
        }
        QCOMPARE(DatabaseFile::readHeader(m_dir->database()).walMode, wal);
        const QByteArray before = fileHash(m_dir->database());
        shareWithUnprivileged(m_dir->database(), false);
        shareWithUnprivileged(m_dir->path(), false);
        if (runningAsRoot())
            QVERIFY(::chown(QFile::encodeName(m_dir->path()).constData(), 0, 0) == 0);
        QTemporaryDir out;
        shareWithUnprivileged(out.path(), true);
        const QString pdf = out.filePath("list.pdf");
        const ProcessResult r = runProbe({m_dir->path(), "print=" + pdf}, true);
        QVERIFY2(r.finished && !r.crashed, qPrintable(r.errors));
        QVERIFY2(r.lines.contains("started"), qPrintable(r.lines.join('|')));
        QVERIFY(r.lines.contains("count: 1"));
        QVERIFY(QFileInfo(pdf).size() > 0);
        QCOMPARE(fileHash(m_dir->database()), before);
        QFile::setPermissions(m_dir->path(), QFileDevice::ReadOwner | QFileDevice::WriteOwner |
                                                 QFileDevice::ExeOwner);
    }
}

void TstSafety::backupFolderTheUserMayNotWrite()
{
    // The user's own folder and file, but a backups folder of another user's.
    shareWithUnprivileged(m_dir->path(), true);
    shareWithUnprivileged(m_dir->database(), true);
    const QString backups = Backup::folderFor(m_dir->database());
    QVERIFY(QDir().mkpath(backups));
    if (runningAsRoot())
        QVERIFY(::chown(QFile::encodeName(backups).constData(), 0, 0) == 0);
    QFile::setPermissions(backups, QFileDevice::ReadOwner | QFileDevice::WriteOwner |
                                       QFileDevice::ExeOwner | QFileDevice::ReadOther |
                                       QFileDevice::ExeOther);
    const ProcessResult r = runProbe({m_dir->path(), "add=2"}, true);
    QVERIFY2(r.finished && !r.crashed && r.exitCode == 0, qPrintable(r.errors));
    const QString said = r.lines.join('\n');
    QVERIFY2(said.contains("could not keep its start-up backup in " +
                           Backup::automaticFolderFor(m_dir->database())),
             qPrintable(said));
    QVERIFY(said.contains("make that folder one you may write in"));
    QVERIFY(r.lines.contains("count: 2"));
    QCOMPARE(count("SELECT COUNT(*) FROM Selected"), 2);
}

void TstSafety::fullDiskLeavesEarlierExportsAlone()
{
    QTemporaryDir files;
    QVERIFY(m_dir->exec("INSERT INTO Selected (Item, Quantity) VALUES ('Milk', '2')"));
    QVERIFY(start());
    const QString csv = files.filePath("list.csv");
    const QString copy = files.filePath("copy.mdb");
    writeAll(csv, "an earlier export\n");
    writeAll(copy, "an earlier copy\n");
    std::signal(SIGXFSZ, SIG_IGN);
    rlimit old{};
    getrlimit(RLIMIT_FSIZE, &old);
    rlimit none = old;
    none.rlim_cur = 0; // not one byte more may be written to any file
    setrlimit(RLIMIT_FSIZE, &none);
    m_dialogs->fileNames.push_back(csv);
    trigger("mnuExportList");
    const QString exportMessage = m_dialogs->messages.last();
    m_dialogs->fileNames.push_back(copy);
    trigger("mnuBackUp");
    const QString backupMessage = m_dialogs->messages.last();
    Module1::frmVendoraIfLoaded()->mnuPrint_Click();
    ReportPreview *preview = PrintCommands::window(PrintCommands::Entry::Pantrio);
    QString pdfError;
    const bool pdfWritten = preview && preview->exportPdf(files.filePath("list.pdf"), &pdfError);
    setrlimit(RLIMIT_FSIZE, &old);
    QVERIFY2(exportMessage.contains("disk is full"), qPrintable(exportMessage));
    QCOMPARE(readAll(csv), QByteArray("an earlier export\n"));
    // The message names the backup that failed, not the database.
    QVERIFY2(backupMessage.contains(copy), qPrintable(backupMessage));
    QCOMPARE(readAll(copy), QByteArray("an earlier copy\n"));
    QVERIFY(!pdfWritten);
    QVERIFY2(pdfError.contains("disk is full"), qPrintable(pdfError));
    QVERIFY(!QFile::exists(files.filePath("list.pdf")));
    // Nothing half-written is left beside them.
    QCOMPARE(QDir(files.path()).entryList(QDir::Files | QDir::Hidden).size(), 2);
}

void TstSafety::damagedFileEndsCleanlyAndUnchanged()
{
    // Enough items for the catalogue to span many pages; one page in the
    // middle is then garbage, below what the table check looks at.
    for (int i = 0; i < 40; ++i)
        QVERIFY(m_dir->exec("INSERT INTO Vendora (Item, Category, Aisle) SELECT Item || ?, "
                            "Category, Aisle FROM Vendora LIMIT 100",
                            {QString::number(i)}));
    const int pageSize = DatabaseFile::readHeader(m_dir->database()).pageSize;
    {
        QFile f(m_dir->database());
        QVERIFY(f.open(QIODevice::ReadWrite));
        const qint64 pages = f.size() / pageSize;
        for (qint64 page = pages / 3; page < 2 * pages / 3; ++page) {
            f.seek(page * pageSize);
            f.write(QByteArray(pageSize, '\x5a'));
        }
    }
    QString error;
    QVERIFY(Schema::checkFile(m_dir->database(), &error));
    const QByteArray before = fileHash(m_dir->database());
    const ProcessResult r = runProbe({m_dir->path()}, false);
    QVERIFY2(r.finished && !r.crashed, qPrintable(r.errors));
    QCOMPARE(r.exitCode, 3);
    QVERIFY2(r.lines.join('|').contains("cannot open its database file"),
             qPrintable(r.lines.join('|')));
    QCOMPARE(fileHash(m_dir->database()), before);
}

void TstSafety::oneProgramPerFile()
{
    QProcess other;
    other.start(QCoreApplication::applicationDirPath() + "/pantrio-probe", {m_dir->path(), "hold"});
    QVERIFY(other.waitForStarted());
    QByteArray said;
    QTRY_VERIFY_WITH_TIMEOUT((said += other.readAllStandardOutput()).contains("holding") ||
                                 other.state() != QProcess::Running,
                             30000);
    QVERIFY(other.state() == QProcess::Running);
    QVERIFY(!Module1::Main());
    QVERIFY2(m_dialogs->messages.last().contains("already open in Pantrio"),
             qPrintable(m_dialogs->messages.last()));
    QVERIFY(m_dialogs->messages.last().contains(QString::number(other.processId())));
    // The other copy dies without letting go: its lock is taken over.
    other.kill();
    QVERIFY(other.waitForFinished());
    QVERIFY(QFile::exists(m_dir->database() + ".lock"));
    m_dialogs->messages.clear();
    QVERIFY(start());
    QVERIFY(m_dialogs->messages.isEmpty());
    Module1::shutdown();
    QVERIFY(!QFile::exists(m_dir->database() + ".lock"));
}

void TstSafety::endedBySignalLikeAClose()
{
    QVERIFY(m_dir->exec("INSERT INTO Selected (Item, Quantity) VALUES ('Milk', '12')"));
    for (const int signal : {SIGTERM, SIGHUP}) {
        QProcess other;
        other.start(QCoreApplication::applicationDirPath() + "/pantrio-probe",
                    {m_dir->path(), QString("type=%1").arg(signal), "run"});
        QVERIFY(other.waitForStarted());
        QByteArray said;
        QTRY_VERIFY_WITH_TIMEOUT((said += other.readAllStandardOutput()).contains("running") ||
                                     other.state() != QProcess::Running,
                                 30000);
        QVERIFY(QFile::exists(m_dir->database() + ".lock"));
        ::kill(pid_t(other.processId()), signal);
        QVERIFY(other.waitForFinished(30000));
        said += other.readAllStandardOutput();
        // A close: what was typed is stored, the lock let go, and exit 0.
        QCOMPARE(other.exitStatus(), QProcess::NormalExit);
        QCOMPARE(other.exitCode(), 0);
        QVERIFY2(said.contains("ended 0"), said.constData());
        QVERIFY(!QFile::exists(m_dir->database() + ".lock"));
        QCOMPARE(m_dir->scalar("SELECT Quantity FROM Selected").toInt(), signal);
    }
}

void TstSafety::closingAWindowWithItsDialogOpen()
{
    // The desktop's own dialogs, not scripted ones: the fault was theirs.
    frmVendora *f = start();
    QVERIFY(f);
    QVERIFY(m_dir->exec("INSERT INTO Selected (Item, Quantity) VALUES ('Milk', '2')"));
    f->cmdRef_Click();
    Dialogs::setInstance(nullptr);
    for (const char *action : {"actExportPdf", "actPrint"}) {
        f->mnuPrint_Click();
        QPointer<ReportPreview> preview = PrintCommands::window(PrintCommands::Entry::Pantrio);
        QVERIFY(preview);
        int closed = 0;
        // Whatever opens modally over the preview, the preview is closed under
        // it, as a user would close it from the desktop.
        std::function<void()> closeUnder = [&] {
            QWidget *modal = QApplication::activeModalWidget();
            if (!modal) {
                QTimer::singleShot(50, closeUnder);
                return;
            }
            ++closed;
            if (preview)
                preview->close();
        };
        QTimer::singleShot(50, closeUnder);
        preview->findChild<QAction *>(action)->trigger();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        QVERIFY2(closed >= 1, action);
        QVERIFY(!preview);
        QVERIFY(!QApplication::activeModalWidget());
    }
    m_dialogs = ScriptedDialogs::install();
}

void TstSafety::addingDoesNotLeakSelectionModels()
{
    frmVendora *f = start();
    QVERIFY(f);
    auto *grid = f->findChild<QTableView *>("grdList");
    auto *model = f->findChild<CatalogueView *>("lvwItems")->catalogue();
    const auto before = f->findChildren<QItemSelectionModel *>().size();
    for (int i = 0; i < 50; ++i) {
        model->setChecked(i % model->count(), true);
        f->cmdAddToList_Click();
    }
    QCOMPARE(f->findChildren<QItemSelectionModel *>().size(), before);
    QCOMPARE(grid->model()->rowCount(), 50);
}

void TstSafety::failedAddKeepsTheTicksOfWhatWasNotAdded()
{
    QVERIFY(m_dir->exec("CREATE TRIGGER refuse BEFORE INSERT ON Selected WHEN "
                        "(SELECT COUNT(*) FROM Selected) >= 2 BEGIN "
                        "SELECT RAISE(ABORT, 'the list is full'); END"));
    frmVendora *f = start();
    QVERIFY(f);
    auto *model = f->findChild<CatalogueView *>("lvwItems")->catalogue();
    for (int i : {0, 2, 4, 6, 8})
        model->setChecked(i, true);
    f->cmdAddToList_Click();
    QVERIFY(m_dialogs->messages.last().contains("the list is full"));
    QCOMPARE(count("SELECT COUNT(*) FROM Selected"), 2);
    QCOMPARE(f->findChild<QLabel *>("lblCount")->text(), QString("2"));
    for (int i : {0, 2})
        QVERIFY(!model->entry(i).checked && !model->entry(i).bold);
    for (int i : {4, 6, 8})
        QVERIFY2(model->entry(i).checked, qPrintable(QString::number(i)));
}

void TstSafety::errorsAreReportedWithTheirReason()
{
    QTemporaryDir files;
    frmVendora *f = start();
    QVERIFY(f);
    // A File command that fails says why.
    const QString folder = files.filePath("a folder");
    QVERIFY(QDir().mkpath(folder));
    m_dialogs->fileNames.push_back(folder);
    trigger("mnuBackUp");
    const QString backupMessage = m_dialogs->messages.last();
    QVERIFY2(backupMessage.contains(folder), qPrintable(backupMessage));
    QVERIFY2(!backupMessage.trimmed().endsWith(':'), qPrintable(backupMessage));
    QVERIFY2(backupMessage.section('\n', 1).trimmed().size() > 0, qPrintable(backupMessage));

    // The editor's re-read of its records reports a failure.
    f->mnuAdd_Click();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    frmAdding *e = Module1::frmAddingIfLoaded();
    QVERIFY(e);
    QVERIFY(m_dir->exec("ALTER TABLE Vendora RENAME TO Vendora_gone"));
    m_dialogs->messages.clear();
    e->cmdRefreshCombo_Click();
    QVERIFY2(!m_dialogs->messages.isEmpty() && m_dialogs->messages.last().contains("no such table"),
             qPrintable(m_dialogs->messages.join('|')));
    QVERIFY(m_dir->exec("ALTER TABLE Vendora_gone RENAME TO Vendora"));

    // Moving to the rollback journal is refused, with its reason, while
    // another program holds the file.
    e->close();
    Module1::shutdown();
    {
        Raw(m_dir->database()).exec("PRAGMA journal_mode=WAL");
    }
    Raw holder(m_dir->database());
    QVERIFY(
        holder.exec("BEGIN EXCLUSIVE; INSERT INTO Selected (Item, Quantity) VALUES ('x', '1')"));
    QString error;
    QVERIFY(!DatabaseFile::useRollbackJournal(m_dir->database(), &error));
    QVERIFY2(error.contains("locked"), qPrintable(error));
    holder.exec("ROLLBACK");
}

QTEST_MAIN(TstSafety)
#include "tst_safety.moc"

// Kills the real program (SIGKILL, from outside) at random moments while it
// writes, fifty times, and checks after each kill that the database is intact,
// holds only whole rows and holds everything the program had stored.
#include "appearance/Appearance.h"
#include "data/access/Connection.h"
#include "support/TestSupport.h"

#include <QMap>
#include <QProcess>
#include <QRandomGenerator>
#include <QSet>
#include <QtTest>

using namespace pantrio;
using namespace pantrio::test;

class TstCrash : public QObject
{
    Q_OBJECT

  private slots:
    void initTestCase() { initApplication(); }
    void killedAtRandomLosesNothing();
};

void TstCrash::killedAtRandomLosesNothing()
{
    ProgramDir dir;
    const QString driver = QCoreApplication::applicationDirPath() + "/pantrio-crashdriver";
    QVERIFY(QFile::exists(driver));
    QRandomGenerator rng(20261207);
    const int rounds = qEnvironmentVariableIntValue("PANTRIO_CRASH_ROUNDS") > 0
                           ? qEnvironmentVariableIntValue("PANTRIO_CRASH_ROUNDS")
                           : 50;
    int listLinesChecked = 0;
    for (int round = 1; round <= rounds; ++round) {
        const QString journalPath = dir.path() + QString("/journal-%1.txt").arg(round);
        QProcess p;
        p.start(driver, {dir.path(), journalPath, QString::number(round)});
        QVERIFY(p.waitForStarted());
        QTRY_VERIFY_WITH_TIMEOUT(QFile(journalPath).size() > 0, 20000);
        QTest::qWait(int(rng.bounded(50, 700)));
        p.kill();
        QVERIFY(p.waitForFinished());

        QFile jf(journalPath);
        QVERIFY(jf.open(QIODevice::ReadOnly));
        const QStringList journal = QString::fromUtf8(jf.readAll()).split('\n', Qt::SkipEmptyParts);

        Connection c;
        QString error;
        QVERIFY2(c.open(dir.database(), &error), qPrintable(error));
        Connection::Rows rows;
        QVERIFY(c.select("PRAGMA integrity_check", &rows, &error));
        QCOMPARE(rows.rows.first().first().toString(), QString("ok"));
        // Whole rows only: every line written has all its fields.
        QVERIFY(c.select("SELECT COUNT(*) FROM Selected WHERE Item IS NULL OR Quantity IS NULL",
                         &rows, &error));
        QCOMPARE(rows.rows.first().first().toInt(), 0);

        // Everything the journal says was stored is there, unless a later
        // journalled step removed it (the list is emptied now and then).
        QMap<qlonglong, qlonglong> quantities;
        // Each stored batch, and whether a Delete All began after it (only
        // then may it be gone).
        struct Range {
            qlonglong first, last;
            bool mayBeGone = false;
        };
        QList<Range> lineRanges;
        QSet<qlonglong> mayBeGone; // lines whose quantity a Delete All may have taken
        qlonglong back = -1;
        QStringList items;
        for (const QString &line : journal) {
            const QStringList w = line.split(' ');
            if (w.first() == "lines")
                lineRanges << Range{w.at(1).toLongLong(), w.at(2).toLongLong()};
            else if (w.first() == "clearing") {
                for (Range &r : lineRanges)
                    r.mayBeGone = true;
                for (auto it = quantities.cbegin(); it != quantities.cend(); ++it)
                    mayBeGone.insert(it.key());
            } else if (w.first() == "cleared") {
                lineRanges.clear();
                quantities.clear();
                mayBeGone.clear();
            } else if (w.first() == "qty")
                quantities[w.at(1).toLongLong()] = w.at(2).toLongLong();
            else if (w.first() == "back")
                back = w.at(1).toLongLong();
            else if (w.first() == "item")
                items << w.at(1);
        }
        for (const auto &range : std::as_const(lineRanges)) {
            QVERIFY(c.select(QString("SELECT COUNT(*) FROM Selected WHERE ID BETWEEN %1 AND %2")
                                 .arg(range.first)
                                 .arg(range.last),
                             &rows, &error));
            // Whole, or gone whole by a Delete All begun after it.
            const int found = rows.rows.first().first().toInt();
            QVERIFY2(found == range.last - range.first + 1 || (found == 0 && range.mayBeGone),
                     qPrintable(QString("round %1: %2 of a stored batch").arg(round).arg(found)));
            listLinesChecked += found;
        }
        for (auto it = quantities.cbegin(); it != quantities.cend(); ++it) {
            QVERIFY(c.select(QString("SELECT Quantity FROM Selected WHERE ID = %1").arg(it.key()),
                             &rows, &error));
            if (rows.rows.isEmpty() && mayBeGone.contains(it.key()))
                continue; // emptied by a Delete All the kill cut short of journalling
            QVERIFY2(!rows.rows.isEmpty(),
                     qPrintable(QString("round %1: line %2 is gone").arg(round).arg(it.key())));
            const qlonglong stored = rows.rows.first().first().toString().mid(1).toLongLong();
            QVERIFY2(
                stored >= it.value(),
                qPrintable(QString("round %1: quantity of %2 went back").arg(round).arg(it.key())));
        }
        for (const QString &id : std::as_const(items)) {
            QVERIFY(
                c.select(QString("SELECT COUNT(*) FROM Vendora WHERE ID = %1").arg(id.toLongLong()),
                         &rows, &error));
            QCOMPARE(rows.rows.first().first().toInt(), 1);
        }
        if (back >= 0) {
            // The colour carries the step's number: the stored one is that
            // step's or a later one's, in the one settings row.
            QVERIFY(c.select("SELECT BackColor FROM Settings", &rows, &error));
            QCOMPARE(rows.rows.size(), 1);
            const qint64 stored =
                Appearance::fromStored(rows.rows.first().first().toLongLong()).rgb() & 0xFFFFFF;
            QVERIFY2(stored >= (back & 0xFFFFFF),
                     qPrintable(QString("round %1: the back colour went back").arg(round)));
        }
    }
    qInfo("checked %d stored shopping-list lines over %d kills", listLinesChecked, rounds);
}

QTEST_GUILESS_MAIN(TstCrash)
#include "tst_crash.moc"

// Faults from outside while the program runs: a second program holding the
// file, the file removed, the disk full, hostile and damaged text; and a
// monkey of random clicks and keys over both windows.
#include "app/Module1.h"
#include "data/access/Connection.h"
#include "data/access/DataControl.h"
#include "data/access/RecordSet.h"
#include "forms/editor/frmAdding.h"
#include "forms/main/CatalogueView.h"
#include "forms/main/frmVendora.h"
#include "reports/PrintCommands.h"
#include "reports/ReportPreview.h"
#include "support/TestSupport.h"
#include "uibase/HelpViewer.h"

#include <QAction>
#include <QLabel>
#include <QLineEdit>
#include <QListView>
#include <QMenuBar>
#include <QPushButton>
#include <QRandomGenerator>
#include <QSemaphore>
#include <QTableView>
#include <QtConcurrent/QtConcurrentRun>
#include <QCryptographicHash>
#include <QtTest>

#include <csignal>
#include <sys/resource.h>

using namespace pantrio;
using namespace pantrio::test;

class TstReliability : public Fixture
{
    Q_OBJECT

  private:
    frmVendora *start()
    {
        Module1::Main();
        return Module1::frmVendoraIfLoaded();
    }
    void tickAndAdd(frmVendora *f, int n)
    {
        auto *model = f->findChild<CatalogueView *>("lvwItems")->catalogue();
        for (int i = 0; i < n && i < model->count(); ++i)
            model->setChecked(i, true);
        f->cmdAddToList_Click();
    }
    int count(const QString &sql) { return m_dir->scalar(sql).toInt(); }

  private slots:
    void secondProgramHoldsTheFile();
    void fileRemovedWhileRunning();
    void diskFullKeepsWholeLines();
    void hostileTextIsStoredShownAndPrinted();
    void monkey();
};

void TstReliability::secondProgramHoldsTheFile()
{
    frmVendora *f = start();
    QVERIFY(f);
    // Another program takes the file and holds it for a while; the test goes
    // on once it is held.
    QSemaphore held, letGo;
    bool holding = false;
    // Held until the test lets go (at most a minute), or for ms when given.
    auto hold = [&](int ms) {
        auto job = QtConcurrent::run([&, ms] {
            Connection c;
            holding = c.open(m_dir->database(), nullptr) &&
                      c.exec("BEGIN EXCLUSIVE", {}, nullptr) &&
                      c.exec("INSERT INTO Selected (Item, Quantity) VALUES ('other program', '1')",
                             {}, nullptr);
            held.release();
            if (ms > 0)
                QThread::msleep(ms);
            else
                letGo.tryAcquire(1, 60000);
            c.rollback();
        });
        held.acquire();
        return job;
    };
    // Held until Pantrio has given up: a clear message, nothing written.
    auto longHold = hold(0);
    QVERIFY(holding);
    tickAndAdd(f, 3);
    letGo.release();
    QVERIFY2(m_dialogs->messages.last().contains("locked"), qPrintable(m_dialogs->messages.last()));
    longHold.waitForFinished();
    QCOMPARE(count("SELECT COUNT(*) FROM Selected"), 0);
    QCOMPARE(f->findChild<QLabel *>("lblCount")->text(), QString("0"));
    // Held briefly: Pantrio waits for it and then stores.
    auto shortHold = hold(1200);
    QVERIFY(holding);
    m_dialogs->messages.clear();
    tickAndAdd(f, 3);
    shortHold.waitForFinished();
    QVERIFY(m_dialogs->messages.isEmpty());
    QCOMPARE(count("SELECT COUNT(*) FROM Selected"), 3);
}

void TstReliability::fileRemovedWhileRunning()
{
    frmVendora *f = start();
    QVERIFY(f);
    tickAndAdd(f, 1);
    const QString moved = m_dir->database() + ".moved";
    QVERIFY(QFile::rename(m_dir->database(), moved));
    // Refused, and told; asked whether to put it back: not now.
    m_dialogs->answers.push_back(Dialogs::Answer::No);
    tickAndAdd(f, 2);
    QTRY_VERIFY(m_dialogs->answers.empty());
    QVERIFY(m_dialogs->messages.at(m_dialogs->messages.size() - 2).contains("removed or replaced"));
    QVERIFY(m_dialogs->messages.last().contains("write it back"));
    m_dialogs->colors.push_back(std::nullopt);
    f->DialogShowing(2); // the colour dialog cancelled: nothing to store
    QVERIFY(f->isVisible());
    QVERIFY(!QFile::exists(m_dir->database())); // and nothing made in its place

    // Next time: yes. What Pantrio held is back in its place, and the change
    // tried again is stored there.
    m_dialogs->answers.push_back(Dialogs::Answer::Yes);
    tickAndAdd(f, 2);
    QTRY_VERIFY(QFile::exists(m_dir->database()));
    QVERIFY(m_dialogs->messages.last().contains("back in its place"));
    QCOMPARE(count("SELECT COUNT(*) FROM Selected"), 1);
    f = Module1::frmVendoraIfLoaded();
    tickAndAdd(f, 2);
    QCOMPARE(count("SELECT COUNT(*) FROM Selected"), 3);
    QCOMPARE(f->findChild<QLabel *>("lblCount")->text(), QString("3"));
    // A file that appears there meanwhile is never written over.
    QVERIFY(QFile::rename(m_dir->database(), moved + "2"));
    QFile stranger(m_dir->database());
    m_dialogs->answers.push_back(Dialogs::Answer::Yes);
    tickAndAdd(f, 1);
    QVERIFY(stranger.open(QIODevice::WriteOnly));
    stranger.write("someone else's");
    stranger.close();
    QTRY_VERIFY(m_dialogs->answers.empty());
    QVERIFY2(m_dialogs->messages.last().contains("appeared"), qPrintable(m_dialogs->messages.last()));
    QCOMPARE(fileHash(m_dir->database()), QCryptographicHash::hash("someone else's", QCryptographicHash::Sha256).toHex());
}

void TstReliability::diskFullKeepsWholeLines()
{
    frmVendora *f = start();
    QVERIFY(f);
    // The file may grow only a little: a full disk, as far as SQLite can tell.
    std::signal(SIGXFSZ, SIG_IGN);
    rlimit old{};
    getrlimit(RLIMIT_FSIZE, &old);
    const qint64 size = QFileInfo(m_dir->database()).size();
    rlimit small = old;
    small.rlim_cur = rlim_t(size + 48 * 1024);
    setrlimit(RLIMIT_FSIZE, &small);
    for (int round = 0; round < 30 && m_dialogs->messages.isEmpty(); ++round)
        tickAndAdd(f, 150);
    setrlimit(RLIMIT_FSIZE, &old);
    QVERIFY(!m_dialogs->messages.isEmpty());
    QVERIFY2(m_dialogs->messages.last().contains("full", Qt::CaseInsensitive) ||
                 m_dialogs->messages.last().contains("disk", Qt::CaseInsensitive) ||
                 m_dialogs->messages.last().contains("I/O", Qt::CaseInsensitive),
             qPrintable(m_dialogs->messages.last()));
    // Whole lines only, the count tells the truth, and writing works again.
    QCOMPARE(count("SELECT COUNT(*) FROM Selected WHERE Item IS NULL OR Quantity IS NULL"), 0);
    QCOMPARE(f->findChild<QLabel *>("lblCount")->text(),
             QString::number(count("SELECT COUNT(*) FROM Selected")));
    Connection c;
    QVERIFY(c.open(m_dir->database(), nullptr));
    Connection::Rows rows;
    QVERIFY(c.select("PRAGMA integrity_check", &rows, nullptr));
    QCOMPARE(rows.rows.first().first().toString(), QString("ok"));
    // What was not added is still ticked, to be added again now.
    auto *model = f->findChild<CatalogueView *>("lvwItems")->catalogue();
    int stillTicked = 0;
    for (int i = 0; i < model->count(); ++i)
        stillTicked += model->entry(i).checked ? 1 : 0;
    QVERIFY(stillTicked > 0);
    m_dialogs->messages.clear();
    const int before = count("SELECT COUNT(*) FROM Selected");
    f->cmdAddToList_Click();
    QVERIFY(m_dialogs->messages.isEmpty());
    QCOMPARE(count("SELECT COUNT(*) FROM Selected"), before + stillTicked);
}

void TstReliability::hostileTextIsStoredShownAndPrinted()
{
    const QStringList names = {
        QString(100000, QChar('W')),
        QString::fromUtf8("\u202Eعكس right-to-left \u202C"),
        QString::fromUtf8("🍕🍺 emoji 👨‍👩‍👧"),
        QString("nul") + QChar(0) + "byte",
        "'); DROP TABLE Selected; --",
        "%_\\ \"quoted\" 'single'",
    };
    for (const QString &n : names)
        QVERIFY(
            m_dir->exec("INSERT INTO Vendora (Item, Category, Aisle) VALUES (?, ?, ?)", {n, n, n}));
    // Bytes that are not UTF-8, as another program might leave them.
    QVERIFY(m_dir->exec("INSERT INTO Vendora (Item, Category, Aisle) VALUES "
                        "(CAST(X'41FF42C3' AS TEXT), 'Bad bytes', CAST(X'FE' AS TEXT))"));
    frmVendora *f = start();
    QVERIFY(f);
    auto *model = f->findChild<CatalogueView *>("lvwItems")->catalogue();
    QStringList shown;
    for (int i = 0; i < model->count(); ++i)
        shown << model->entry(i).text;
    for (const QString &n : names)
        QVERIFY(shown.contains(n));
    for (int i = 0; i < model->count(); ++i)
        model->setChecked(i, true);
    f->cmdAddToList_Click();
    for (const QString &n : names)
        QCOMPARE(m_dir->scalar("SELECT COUNT(*) FROM Selected WHERE Item = ?", {n}).toInt(), 1);
    f->mnuPrint_Click();
    f->mnuAislePrint_Click();
    f->mnuPrintFull_Click();
    QTemporaryDir out;
    QString error;
    for (auto e : {PrintCommands::Entry::Pantrio, PrintCommands::Entry::ByAisle,
                   PrintCommands::Entry::FullList}) {
        ReportPreview *w = PrintCommands::window(e);
        QVERIFY(w);
        QVERIFY(!w->grab().isNull());
        QVERIFY2(w->exportPdf(out.filePath("r.pdf"), &error), qPrintable(error));
    }
    // The editor shows and steps through them.
    f->mnuAdd_Click();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    frmAdding *e = Module1::frmAddingIfLoaded();
    QVERIFY(e);
    for (int i = 0; i < e->adoPrimaryRS()->recordCount(); ++i)
        e->cmdNext_Click();
    QCOMPARE(m_dir->scalar("SELECT COUNT(*) FROM Vendora").toInt(),
             e->adoPrimaryRS()->recordCount());
}

void TstReliability::monkey()
{
    start();
    QRandomGenerator rng(7);
    const int steps = qEnvironmentVariableIntValue("PANTRIO_MONKEY_STEPS") > 0
                          ? qEnvironmentVariableIntValue("PANTRIO_MONKEY_STEPS")
                          : 3000;
    const QList<Qt::Key> keys = {Qt::Key_Up,    Qt::Key_Down,   Qt::Key_Home,   Qt::Key_End,
                                 Qt::Key_Space, Qt::Key_Return, Qt::Key_Delete, Qt::Key_PageDown,
                                 Qt::Key_A,     Qt::Key_7,      Qt::Key_Tab,    Qt::Key_Escape};
    for (int step = 0; step < steps; ++step) {
        // Scripted answers for whatever asks, at random.
        m_dialogs->answers.push_back(rng.bounded(2) ? Dialogs::Answer::Yes : Dialogs::Answer::No);
        m_dialogs->answers.push_back(rng.bounded(2) ? Dialogs::Answer::Ok
                                                    : Dialogs::Answer::Cancel);
        QMainWindow *w = Module1::frmAddingIfLoaded()
                             ? static_cast<QMainWindow *>(Module1::frmAddingIfLoaded())
                             : Module1::frmVendoraIfLoaded();
        QVERIFY2(w, "no window left");
        const int kind = int(rng.bounded(10));
        if (kind < 5) {
            QList<QWidget *> targets;
            for (QWidget *c : w->findChildren<QWidget *>())
                if (c->isVisible() && c->isEnabled() && !c->objectName().isEmpty() &&
                    c->objectName() != "cmdQuit")
                    targets << c;
            QWidget *t = targets.at(int(rng.bounded(targets.size())));
            QWidget *target = t;
            if (auto *view = qobject_cast<QAbstractScrollArea *>(t))
                target = view->viewport();
            const QPoint p(int(rng.bounded(std::max(1, target->width()))),
                           int(rng.bounded(std::max(1, target->height()))));
            QTest::mouseClick(target, Qt::LeftButton, {}, p);
        } else if (kind < 8) {
            QWidget *focus = QApplication::focusWidget();
            if (!focus || focus->window() != w)
                focus = w;
            QTest::keyClick(focus, keys.at(int(rng.bounded(keys.size()))),
                            rng.bounded(4) == 0 ? Qt::ControlModifier : Qt::NoModifier);
        } else {
            QList<QAction *> actions;
            for (QAction *a : w->findChildren<QAction *>())
                if (!a->objectName().isEmpty() && a->objectName() != "mnuRestore")
                    actions << a;
            if (!actions.isEmpty())
                actions.at(int(rng.bounded(actions.size())))->trigger();
        }
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        if (rng.bounded(50) == 0) {
            PrintCommands::closeAll();
            HelpViewer::closeViewer();
        }
        if (frmVendora *f = Module1::frmVendoraIfLoaded(); f && !Module1::frmAddingIfLoaded()) {
            QCOMPARE(f->findChild<QLabel *>("lblCount")->text(),
                     QString::number(count("SELECT COUNT(*) FROM Selected")));
        }
        m_dialogs->answers.clear();
        m_dialogs->unexpected = 0;
    }
}

QTEST_MAIN(TstReliability)
#include "tst_reliability.moc"

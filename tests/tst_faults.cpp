// Every kind of change, with the disk failing at every call it makes: the
// Nth write, sync, truncate, delete or lock of SQLite fails (an I/O error, a
// full disk, a file that may only be read), through a VFS of the tests' own,
// while the change runs through the windows' own handlers. Each time the user
// is told, the file is whole and holds the change only when its commit
// returned, the windows show what the file holds, and the same change tried
// again once the fault has cleared is stored exactly once and shown.
//
// Then power cuts: after every write or sync of a session of changes, what
// a cut could leave on disk is laid down, and the next start must open the
// file whole, with every change whose commit had returned.
//
// .ci/run runs a fixed sample (every third call, each kind of error in
// turn); PANTRIO_FAULT_SWEEP=full runs every call with every error and
// prints the counts (the benchmark's run). Seeds are fixed and printed.
#include "app/Module1.h"
#include "data/access/Connection.h"
#include "data/owner/Household.h"
#include "data/safety/Backup.h"
#include "data/safety/SafeFile.h"
#include "data/shopping/Meals.h"
#include "data/access/Schema.h"
#include "forms/editor/frmAdding.h"
#include "forms/main/CatalogueView.h"
#include "forms/main/frmVendora.h"
#include "forms/meals/frmMeals.h"
#include "forms/stores/frmStores.h"
#include "network/ShareService.h"
#include <QJsonDocument>
#include <QJsonObject>
#include <utility>
#include "support/FaultVfs.h"
#include "support/TestSupport.h"

#include <QAction>
#include <QCryptographicHash>
#include <QRegularExpression>
#include <QDir>
#include <QDirIterator>
#include <QLabel>
#include <QListView>
#include <QListWidget>
#include <QTableWidget>
#include <QLineEdit>
#include <QTableView>
#include <QtTest>

#include <atomic>
#include <chrono>
#include <thread>

#include <functional>

#include <cerrno>

using namespace pantrio;
using namespace pantrio::test;

namespace
{

struct Kind {
    const char *name;
    // Made ready without faults (a tick, a step to undo).
    std::function<void()> prepare;
    std::function<void()> act;
    // What the file holds of it, as a text to compare.
    std::function<QString()> state;
    // What it must hold once the change has been stored.
    std::function<QString(const QString &before)> after;
};

// The system calls of writing aside, the Nth of them failing.
struct FailingIo : SafeFile::Io {
    int failAt = 0, calls = 0, err = EIO;
    QStringList kinds;
    bool hit(const char *kind)
    {
        kinds << QLatin1String(kind);
        if (++calls != failAt)
            return false;
        errno = err;
        return true;
    }
    int open(const char *path, int flags, mode_t mode) override
    {
        return hit("open") ? -1 : SafeFile::Io::open(path, flags, mode);
    }
    ssize_t write(int fd, const void *data, size_t size) override
    {
        return hit("write") ? -1 : SafeFile::Io::write(fd, data, size);
    }
    int fsync(int fd) override { return hit("fsync") ? -1 : SafeFile::Io::fsync(fd); }
    int close(int fd) override
    {
        // The descriptor goes whatever close says.
        SafeFile::Io::close(fd);
        return hit("close") ? -1 : 0;
    }
    int rename(const char *from, const char *to) override
    {
        return hit("rename") ? -1 : SafeFile::Io::rename(from, to);
    }
};

struct Counts {
    int points = 0, told = 0, retried = 0, losses = 0;
};

} // namespace

class TstFaults : public Fixture
{
    Q_OBJECT

    std::unique_ptr<ShareService> m_share;
    QByteArray m_token, m_token2;
    qint64 m_phoneSeq = 0;
    QString m_restoreFrom;
    QString m_phoneTold; // what a phone was answered, when it was refused
    qint64 m_meal = 0;

    // A phone's batch, as the server's threads hand it on: on this thread.
    void phoneSends(const QByteArray &op)
    {
        if (!m_share) {
            m_share = std::make_unique<ShareService>(Module1::household());
            m_share->setJoinApproval([](const QString &) { return true; });
            QString error;
            m_share->start(QHostAddress(), 0, &error);
            m_token = joinAs("Sweep");
            m_token2 = joinAs("Sweep two");
        }
        if (op.isEmpty())
            return; // joined, nothing sent
        const HttpRequest r = opsOf(m_token, op);
        const HttpResponse answer = m_share->handle(r);
        if (answer.status != 200)
            m_phoneTold = QString::fromUtf8(answer.body + " for " + r.body);
    }
    QByteArray joinAs(const QByteArray &name)
    {
        HttpRequest join;
        join.method = "POST";
        join.path = "/api/join";
        join.headers.insert("host", "127.0.0.1:" + QByteArray::number(m_share->port()));
        join.body = "{\"secret\":\"" + m_share->newJoiningAddress().section("#join=", 1).toLatin1() +
                    "\",\"name\":\"" + name + "\"}";
        return QJsonDocument::fromJson(m_share->handle(join).body).object().value("token").toString().toLatin1();
    }
    HttpRequest opsOf(const QByteArray &token, const QByteArray &op)
    {
        HttpRequest r;
        r.method = "POST";
        r.path = "/api/ops";
        r.headers.insert("host", "127.0.0.1:" + QByteArray::number(m_share->port()));
        r.headers.insert("authorization", "Bearer " + token);
        r.body = "{\"src\":\"sweep\",\"ops\":[" + op + "]}";
        return r;
    }
    // A line added on the desktop for the phones to tick, with a new number.
    void newLineForPhones()
    {
        tickFirst();
        main()->cmdAddToList_Click();
        ++m_phoneSeq;
        phoneSends({});
    }
    QByteArray tickOfNewestLine()
    {
        return "{\"seq\":" + QByteArray::number(m_phoneSeq) + ",\"kind\":\"tick\",\"line\":" +
               m_dir->scalar("SELECT MAX(ID) FROM Selected").toByteArray() + "}";
    }
    // Both phones' batches from the server's threads, arriving while the
    // desktop is busy, so that one turn of its loop takes them together.
    void phonesSendTogether(const QByteArray &op)
    {
        phoneSends({});
        std::atomic<int> done{0};
        HttpResponse answers[2];
        std::vector<std::thread> phones;
        for (int p = 0; p < 2; ++p)
            phones.emplace_back([&, p] {
                answers[p] = m_share->handle(opsOf(p ? m_token2 : m_token, op));
                ++done;
            });
        std::this_thread::sleep_for(std::chrono::milliseconds(200));
        QElapsedTimer t;
        t.start();
        while (done < 2 && t.elapsed() < 10000)
            QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
        for (auto &phone : phones)
            phone.join();
        for (const HttpResponse &a : answers)
            if (a.status != 200)
                m_phoneTold += QString::fromUtf8(a.body + " for " + op + '\n');
    }
    int m_serial = 0;
    Counts m_counts;

    // A meal of three ingredients, made once per test.
    // The Meals window, open on a meal.
    frmMeals *mealsWindow()
    {
        makeMeal();
        if (!Module1::frmMealsIfOpen())
            main()->findChild<QAction *>("mnuMeals")->trigger();
        frmMeals *w = Module1::frmMealsIfOpen();
        if (w && w->selectedMeal() <= 0)
            w->findChild<QListWidget *>("lstMeals")->setCurrentRow(0);
        return w;
    }
    // An item bought every week, last three weeks ago: due, and chosen on
    // the Usually Bought page.
    void dueItem()
    {
        const QString item = QStringLiteral("Sweepstaple %1").arg(++m_serial);
        QString error;
        Household &file = Module1::household();
        QVERIFY2(file.change(QString(), Household::Meals, [&](QString *e) {
            for (int week = 3; week < 8; ++week)
                if (!file.connection().exec("INSERT INTO Purchases (Item, Bought, Amount) VALUES (?, ?, '1')",
                                            {item, QDate::currentDate().addDays(-7 * week).toString(Qt::ISODate)}, e))
                    return false;
            return true;
        }, &error), qPrintable(error));
        frmMeals *w = mealsWindow();
        QVERIFY(w);
        w->showUsual();
        auto *due = w->findChild<QTableWidget *>("grdDue");
        const QList<QTableWidgetItem *> found = due->findItems(item, Qt::MatchExactly);
        QVERIFY2(!found.isEmpty(), qPrintable(item));
        due->setCurrentItem(found.first());
    }

    void makeMeal()
    {
        if (m_meal)
            return;
        QString error;
        Household &file = Module1::household();
        QVector<Meals::Ingredient> in(3);
        in[0].item = "Onions";
        in[0].amount = "2";
        in[1].item = "Passata";
        in[1].amount = "500 ml";
        in[2].item = "Milk";
        in[2].amount = "1 cup";
        QVERIFY2(file.change("New Meal", Household::List, [&](QString *e) {
            return Meals::add(file.connection(), "Sweep soup", &m_meal, e) &&
                   Meals::setIngredients(file.connection(), m_meal, in, e);
        }, &error), qPrintable(error));
    }

    int count(const char *sql) { return m_dir->scalar(sql).toInt(); }
    QString text(const char *sql) { return m_dir->scalar(sql).toString(); }
    frmVendora *main() { return Module1::frmVendoraIfLoaded(); }

    void tickFirst()
    {
        main()->findChild<CatalogueView *>("lvwItems")->catalogue()->setChecked(m_serial++ % 20, true);
    }
    frmAdding *editor()
    {
        if (!Module1::frmAddingIfLoaded()) {
            auto *items = main()->findChild<CatalogueView *>("lvwItems")->catalogue();
            for (int i = 0; i < items->count(); ++i)
                items->setChecked(i, false);
            main()->mnuAdd_Click();
            QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
            for (int i = 0; i < 100 && !Module1::frmAddingIfLoaded(); ++i)
                QTest::qWait(20);
        }
        return Module1::frmAddingIfLoaded();
    }
    QTableView *grid() { return main()->findChild<QTableView *>("grdList"); }

    // The windows show what the file holds.
    QString shown()
    {
        if (!main()) {
            // The editor shows a stored record, or still holds what was typed.
            frmAdding *e = Module1::frmAddingIfLoaded();
            if (!e)
                return QStringLiteral("no window");
            const QString item = e->txtFields(3)->text();
            const bool stored = m_dir->scalar("SELECT COUNT(*) FROM Vendora WHERE Item = ?", {item}).toInt() == 1;
            const bool typing = !e->findChild<QWidget *>("cmdUpdate")->isHidden();
            return stored || typing ? QString() : QStringLiteral("the editor shows %1, which the file does not hold").arg(item);
        }
        const int lines = count("SELECT COUNT(*) FROM Selected");
        QString wrong;
        if (grid()->model()->rowCount() != lines)
            wrong += QStringLiteral("grid %1 rows of %2; ").arg(grid()->model()->rowCount()).arg(lines);
        if (main()->findChild<QLabel *>("lblCount")->text() != QString::number(lines))
            wrong += QStringLiteral("count says %1; ").arg(main()->findChild<QLabel *>("lblCount")->text());
        for (int r = 0; r < grid()->model()->rowCount(); ++r) {
            const QString id = grid()->model()->index(r, 4).data().toString();
            const QString qty = grid()->model()->index(r, 3).data().toString();
            if (m_dir->scalar("SELECT Quantity FROM Selected WHERE ID = ?", {id}).toString() != qty)
                wrong += QStringLiteral("line %1 shows %2; ").arg(id, qty);
        }
        return wrong;
    }

    // What the user was told went wrong since: questions and word of success left out.
    QString said(int since)
    {
        QStringList told;
        for (qsizetype i = since; i < m_dialogs->messages.size(); ++i)
            if (!m_dialogs->messages.at(i).startsWith(QLatin1String("Are you sure")) &&
                !m_dialogs->messages.at(i).startsWith(QLatin1String("Backed up to")) &&
                !m_dialogs->messages.at(i).startsWith(QLatin1String("Add ")) &&
                !m_dialogs->messages.at(i).startsWith(QLatin1String("Replace your")) &&
                !m_dialogs->messages.at(i).startsWith(QLatin1String("Restored from")) &&
                !m_dialogs->messages.at(i).contains(QLatin1String("added to the catalogue")) &&
                !m_dialogs->messages.at(i).contains(QLatin1String("added to the meal")) &&
                !QRegularExpression(QStringLiteral("^\\d+ meals? added")).match(m_dialogs->messages.at(i)).hasMatch())
                told << m_dialogs->messages.at(i);
        if (!m_phoneTold.isEmpty())
            told << std::exchange(m_phoneTold, QString());
        return told.join(QLatin1Char('\n'));
    }

    bool whole()
    {
        Connection c;
        Connection::Rows rows;
        // As the next start opens it: a journal a failed commit left is applied.
        return c.open(m_dir->database(), nullptr) &&
               c.select("PRAGMA integrity_check", &rows, nullptr) &&
               rows.rows.value(0).value(0).toString() == QLatin1String("ok");
    }

    QList<Kind> kinds()
    {
        auto lines = [this] { return QString::number(count("SELECT COUNT(*) FROM Selected")); };
        auto plusOne = [](const QString &b) { return QString::number(b.toInt() + 1); };
        auto minusOne = [](const QString &b) { return QString::number(b.toInt() - 1); };
        return {
            {"add to the list", [this] { tickFirst(); }, [this] { main()->cmdAddToList_Click(); },
             lines, plusOne},
            {"quantity typed in the grid", [] {},
             [this] {
                 grid()->model()->setData(grid()->model()->index(0, 3),
                                          QStringLiteral("q%1").arg(++m_serial));
             },
             [this] { return text("SELECT Quantity FROM Selected ORDER BY ID LIMIT 1"); },
             [this](const QString &) { return QStringLiteral("q%1").arg(m_serial); }},
            {"delete a list line",
             [this] {
                 tickFirst();
                 main()->cmdAddToList_Click();
                 grid()->setFocus();
                 grid()->setCurrentIndex(grid()->model()->index(0, 0));
             },
             [this] { QTest::keyClick(grid(), Qt::Key_Delete); }, lines, minusOne},
            {"Delete All",
             [this] {
                 tickFirst();
                 main()->cmdAddToList_Click();
             },
             [this] {
                 m_dialogs->answers.push_back(Dialogs::Answer::Yes);
                 main()->cmdClearAll_Click();
             },
             lines,
             [](const QString &) { return QStringLiteral("0"); }},
            {"add an item in the editor", [this] { editor(); },
             [this] {
                 frmAdding *e = editor();
                 QVERIFY2(e, qPrintable(m_dialogs->messages.join(" | ")));
                 // In browse mode a new record first; a kept one is sent again.
                 if (e->findChild<QWidget *>("cmdUpdate")->isHidden()) {
                     e->cmdAdd_Click();
                     const QString name = QStringLiteral("Kohlrabi %1").arg(++m_serial);
                     e->txtFields(3)->setText(name);
                     emit e->txtFields(3)->textEdited(name);
                 }
                 e->cmdUpdate_Click();
             },
             [this] { return QString::number(count("SELECT COUNT(*) FROM Vendora")); }, plusOne},
            {"edit an item in the editor", [this] { editor(); ++m_serial; },
             [this] {
                 frmAdding *e = editor();
                 QVERIFY(e);
                 if (e->findChild<QWidget *>("cmdUpdate")->isHidden()) {
                     e->cmdEdit_Click();
                     const QString name = QStringLiteral("Edited %1").arg(m_serial);
                     e->txtFields(3)->setText(name);
                     emit e->txtFields(3)->textEdited(name);
                 }
                 e->cmdUpdate_Click();
             },
             [this] {
                 return m_dir->scalar("SELECT COUNT(*) FROM Vendora WHERE Item = ?",
                                      {QStringLiteral("Edited %1").arg(m_serial)}).toString();
             },
             plusOne},
            {"delete an item in the editor", [this] { editor(); },
             [this] {
                 m_dialogs->answers.push_back(Dialogs::Answer::Yes);
                 editor()->cmdDelete_Click();
             },
             [this] { return QString::number(count("SELECT COUNT(*) FROM Vendora")); }, minusOne},
            {"Delete Category",
             [this] {
                 const QString name = QStringLiteral("Sweep %1").arg(++m_serial);
                 QString error;
                 QVERIFY2(Module1::household().change(QString(), Household::Categories, [&](QString *e) {
                     return Module1::household().connection().exec(
                         "INSERT INTO Categories (Categories) VALUES (?)", {name}, e);
                 }, &error), qPrintable(error));
                 auto *list = main()->findChild<QListView *>("lstCat");
                 const QModelIndexList found = list->model()->match(list->model()->index(0, 0),
                                                                    Qt::DisplayRole, name, 1, Qt::MatchExactly);
                 QVERIFY(!found.isEmpty());
                 list->setCurrentIndex(found.first());
             },
             [this] {
                 m_dialogs->answers.push_back(Dialogs::Answer::Yes);
                 main()->cmdDelCat_Click();
             },
             [this] { return QString::number(count("SELECT COUNT(*) FROM Categories")); }, minusOne},
            {"a store added",
             [this] {
                 ++m_serial;
                 if (!Module1::frmStoresIfOpen())
                     main()->mnuStores_Click();
                 QVERIFY(Module1::frmStoresIfOpen());
             },
             [this] {
                 m_dialogs->texts.push_back(QStringLiteral("Shop %1").arg(m_serial));
                 Module1::frmStoresIfOpen()->cmdAddStore_Click();
             },
             [this] {
                 return m_dir->scalar("SELECT COUNT(*) FROM Stores WHERE Name = ?",
                                      {QStringLiteral("Shop %1").arg(m_serial)}).toString();
             },
             plusOne},
            {"a phone's tick", [this] { newLineForPhones(); },
             [this] { phoneSends(tickOfNewestLine()); },
             [this] { return text("SELECT COUNT(*) FROM ShareTicks WHERE LineID = (SELECT MAX(ID) FROM Selected)"); },
             plusOne},
            {"ticks of two phones in one turn", [this] { newLineForPhones(); },
             [this] { phonesSendTogether(tickOfNewestLine()); },
             [this] { return text("SELECT COUNT(*) FROM ShareTicks WHERE LineID = (SELECT MAX(ID) FROM Selected)"); },
             [](const QString &b) { return QString::number(b.toInt() + 2); }},
            {"a meal put on the list",
             [this] { makeMeal(); },
             [this] {
                 // As the meals' window asks it of the file.
                 QString error;
                 Household &file = Module1::household();
                 if (!file.change("Add Meals", Household::List, [&](QString *e) {
                         return Meals::addToList(file.connection(), {{m_meal, 4}}, {}, e);
                     }, &error))
                     m_phoneTold = error;
             },
             [this] { return QString::number(count("SELECT COUNT(*) FROM MealParts")); },
             [](const QString &b) { return QString::number(b.toInt() + 3); }},
            {"a meal taken back",
             [this] {
                 makeMeal();
                 QString error;
                 Household &file = Module1::household();
                 QVERIFY2(file.change("Add Meals", Household::List, [&](QString *e) {
                     return Meals::addToList(file.connection(), {{m_meal, 2}}, {}, e);
                 }, &error), qPrintable(error));
             },
             [this] {
                 QString error;
                 Household &file = Module1::household();
                 if (!file.change("Remove Meal from List", Household::List, [&](QString *e) {
                         return Meals::removeFromList(file.connection(), m_meal, e);
                     }, &error))
                     m_phoneTold = error;
             },
             [this] { return QString::number(count("SELECT COUNT(*) FROM MealParts")); },
             [](const QString &) { return QStringLiteral("0"); }},
            {"a recipe pasted, one item new to the catalogue",
             [this] { mealsWindow(); },
             [this] {
                 // What a failed try left unasked is not asked next time.
                 m_dialogs->texts.clear();
                 m_dialogs->choices.clear();
                 // A name no earlier one is close to, so nothing is offered in its place.
                 const QByteArray unlike = QCryptographicHash::hash(QByteArray::number(++m_serial),
                                                                    QCryptographicHash::Md5).toHex().left(12);
                 m_dialogs->texts.push_back(QStringLiteral("2 Onions\n1 tin Q%1").arg(QString::fromLatin1(unlike)));
                 m_dialogs->choices = {0, 0}; // added to the catalogue, under its first category
                 mealsWindow()->cmdPasteRecipe_Click();
             },
             [this] { return text("SELECT (SELECT COUNT(*) FROM MealItems) || '|' || (SELECT COUNT(*) FROM Vendora)"); },
             [](const QString &b) {
                 return QStringLiteral("%1|%2").arg(b.section('|', 0, 0).toInt() + 2).arg(b.section('|', 1, 1).toInt() + 1);
             }},
            {"a usual item no longer suggested", [this] { dueItem(); },
             [this] { mealsWindow()->cmdStopSuggesting_Click(); },
             [this] { return QString::number(count("SELECT COUNT(*) FROM UsualChoices WHERE Stopped = 1")); },
             plusOne},
            {"a usual item put on the list", [this] { dueItem(); },
             [this] { mealsWindow()->cmdAddDue_Click(); }, lines, plusOne},
            {"Import Meals", [] {},
             [this] {
                 const QString csv = m_dir->path() + QStringLiteral("/meals-%1.csv").arg(++m_serial);
                 QFile f(csv);
                 if (f.open(QIODevice::WriteOnly))
                     f.write(QStringLiteral("Meal,Serves,Meal Note,Item,Category,Aisle,Amount,Note\n"
                                            "Stew %1,4,,Onions,,,2,\nStew %1,4,,Passata,,,500 ml,\n")
                                 .arg(m_serial).toUtf8());
                 f.close();
                 m_dialogs->fileNames.push_back(csv);
                 main()->findChild<QAction *>("mnuImportMeals")->trigger();
             },
             [this] { return text("SELECT (SELECT COUNT(*) FROM Meals) || '|' || (SELECT COUNT(*) FROM MealItems)"); },
             [](const QString &b) {
                 return QStringLiteral("%1|%2").arg(b.section('|', 0, 0).toInt() + 1).arg(b.section('|', 1, 1).toInt() + 2);
             }},
            {"undo", [this] { tickFirst(); main()->cmdAddToList_Click(); },
             [this] { main()->findChild<QAction *>("mnuUndo")->trigger(); }, lines, minusOne},
            {"redo", [this] { tickFirst(); main()->cmdAddToList_Click(); main()->findChild<QAction *>("mnuUndo")->trigger(); },
             [this] { main()->findChild<QAction *>("mnuRedo")->trigger(); }, lines, plusOne},
            {"Remove Ticked Lines",
             [this] {
                 tickFirst();
                 main()->cmdAddToList_Click();
                 ++m_phoneSeq;
                 phoneSends("{\"seq\":" + QByteArray::number(m_phoneSeq) + ",\"kind\":\"tick\",\"line\":" +
                            m_dir->scalar("SELECT MIN(ID) FROM Selected").toByteArray() + "}");
             },
             [this] { main()->findChild<QAction *>("mnuRemoveTicked")->trigger(); }, lines, minusOne},
            {"a phone's addition", [this] { ++m_phoneSeq; phoneSends({}); },
             [this] {
                 phoneSends("{\"seq\":" + QByteArray::number(m_phoneSeq) +
                            ",\"kind\":\"add\",\"item\":\"From the phone " + QByteArray::number(m_phoneSeq) + "\"}");
             },
             lines, plusOne},
            {"import", [] {},
             [this] {
                 const QString csv = m_dir->path() + QStringLiteral("/import-%1.csv").arg(++m_serial);
                 QFile f(csv);
                 if (f.open(QIODevice::WriteOnly))
                     f.write(QStringLiteral("Item,Category,Aisle\nImported %1,Sweep,Aisle 1\nImported %1 b,Sweep,Aisle 2\n")
                                 .arg(m_serial).toUtf8());
                 f.close();
                 m_dialogs->fileNames.push_back(csv);
                 m_dialogs->answers.push_back(Dialogs::Answer::Ok);
                 main()->mnuImport_Click();
             },
             [this] { return QString::number(count("SELECT COUNT(*) FROM Vendora")); },
             [](const QString &b) { return QString::number(b.toInt() + 2); }},
            {"Restore",
             [this] {
                 // A backup of the file as it is, then one line more.
                 m_restoreFrom = m_dir->path() + QStringLiteral("/restore-%1.mdb").arg(++m_serial);
                 QString error;
                 QVERIFY2(Backup::copy(m_dir->database(), m_restoreFrom, &error), qPrintable(error));
                 tickFirst();
                 main()->cmdAddToList_Click();
             },
             [this] {
                 m_dialogs->fileNames.push_back(m_restoreFrom);
                 m_dialogs->answers.push_back(Dialogs::Answer::Yes);
                 main()->mnuRestore_Click();
             },
             lines, minusOne},
            {"Back Up Now",
             [this] {},
             [this] {
                 m_dialogs->fileNames.push_back(
                     m_dir->path() + QStringLiteral("/backups/copy-%1.mdb").arg(++m_serial));
                 main()->mnuBackUp_Click();
             },
             [this] {
                 return QString::number(
                     QDir(m_dir->path() + "/backups").entryList({"*.mdb"}, QDir::Files).size());
             },
             plusOne},
        };
    }

    // One kind of change with the Nth call failing, for every N it makes
    // (every step-th in the sample), then tried again.
    void sweep(const Kind &kind, FaultVfs::Error error, bool persistent, unsigned calls, int step)
    {
        for (int n = 1; n < 400; n += step) {
            kind.prepare();
            const QString before = kind.state();
            const int messages = int(m_dialogs->messages.size());
            FaultVfs::arm(n, error, calls, persistent);
            kind.act();
            const bool fired = FaultVfs::fired();
            FaultVfs::disarm();
            m_dialogs->answers.clear();
            m_dialogs->texts.clear();
            if (!fired) {
                // Past the last call: the change was simply made.
                QCOMPARE(kind.state(), kind.after(before));
                return;
            }
            ++m_counts.points;
            const QString now = kind.state();
            const QString message = said(messages);
            const bool told = !message.isEmpty();
            const QString what = QStringLiteral("%1, call %2 (%3)").arg(kind.name).arg(n).arg(FaultVfs::firedCall());
            QVERIFY2(whole(), qPrintable(what + ": the file is damaged"));
            // Told that it was stored (a read afterwards failed): so it is.
            bool saidStored = message.contains(QLatin1String("was saved"));
            for (qsizetype i = messages; i < m_dialogs->messages.size(); ++i)
                saidStored = saidStored || m_dialogs->messages.at(i).startsWith(QLatin1String("Restored from"));
            if (told && now == kind.after(before) && message.contains(QLatin1String("could not be opened again"))) {
                // The disk failing for good after a restore was made: said as it
                // is, and the user asked to start again; nothing more to try here.
                ++m_counts.told;
                QVERIFY2(message.contains(QLatin1String("was restored")), qPrintable(message));
                return;
            }
            if (told && saidStored && now == kind.after(before)) {
                // Stored, and said so; only the window's reading failed: it
                // shows the file again at the next reading.
                ++m_counts.told;
                if (main())
                    main()->cmdRef_Click();
                if (frmMeals *w = Module1::frmMealsIfOpen())
                    QTest::keyClick(w, Qt::Key_F5);
                QVERIFY2(shown().isEmpty(), qPrintable(what + ": " + shown()));
                continue;
            }
            if (told) {
                ++m_counts.told;
                // Not stored: all or nothing. (A change that lasted and
                // failed only after its commit would be there, and said so.)
                if (now != before) {
                    ++m_counts.losses;
                    QFAIL(qPrintable(what + ": told \"" + message + "\", yet the file changed: " + before + " -> " + now));
                }
                QVERIFY2(!message.trimmed().isEmpty(), qPrintable(what));
            } else if (now != kind.after(before)) {
                ++m_counts.losses;
                QFAIL(qPrintable(what + ": not told, and the file does not hold the change: " + now));
            }
            QVERIFY2(shown().isEmpty(), qPrintable(what + ": " + shown()));
            QVERIFY2(QDir(m_dir->path() + "/backups").entryList({"*.tmp", "*-journal", "*.being-written*"}, QDir::Files | QDir::Hidden).isEmpty(),
                     qPrintable(what + ": a file written aside was left behind"));
            if (!told)
                continue;
            // The fault has cleared: the same change again, stored once.
            const QString retryBefore = kind.state();
            const int before2 = int(m_dialogs->messages.size());
            kind.act();
            m_dialogs->answers.clear();
            m_dialogs->texts.clear();
            QVERIFY2(said(before2).isEmpty(), qPrintable(what + ", tried again: " + said(before2)));
            QVERIFY2(kind.state() == kind.after(retryBefore),
                     qPrintable(what + ", tried again: " + kind.state()));
            QVERIFY2(shown().isEmpty(), qPrintable(what + ", tried again: " + shown()));
            ++m_counts.retried;
        }
    }

    void beforeEach() override { FaultVfs::install(); }
    void afterEach() override
    {
        m_share.reset();
        m_meal = 0;
    }

  private slots:
    // The phone page and the list's export over an earlier good file, with
    // each system call of writing them failing in turn, a full disk too: the
    // earlier file stays whole until the new one has been synced; a folder
    // that cannot be synced is said; nothing is left beside them.
    void filesWrittenAsideWithEachCallFailing_data()
    {
        QTest::addColumn<QByteArray>("command");
        QTest::addColumn<QString>("name");
        QTest::addColumn<int>("err");
        QTest::newRow("phone page, I/O error") << QByteArray("mnuExportPhone") << "out.html" << EIO;
        QTest::newRow("phone page, disk full") << QByteArray("mnuExportPhone") << "out.html" << ENOSPC;
        QTest::newRow("shopping list, I/O error") << QByteArray("mnuExportList") << "out.csv" << EIO;
    }
    void filesWrittenAsideWithEachCallFailing()
    {
        QFETCH(QByteArray, command);
        QFETCH(QString, name);
        QFETCH(int, err);
        QVERIFY(start());
        tickFirst();
        main()->cmdAddToList_Click();
        QTemporaryDir dir;
        const QString target = dir.filePath(name);
        QFile earlier(target);
        QVERIFY(earlier.open(QIODevice::WriteOnly));
        earlier.write("the earlier good file");
        earlier.close();
        FailingIo io;
        io.err = err;
        SafeFile::setIo(&io);
        int points = 0;
        for (int n = 1; n < 20; ++n) {
            io.failAt = n;
            io.calls = 0;
            io.kinds.clear();
            const int messages = int(m_dialogs->messages.size());
            m_dialogs->fileNames.push_back(target);
            trigger(command.constData());
            if (io.calls < n)
                break; // past the last call
            ++points;
            const QString what = QStringLiteral("%1 at %2").arg(QString(command), io.kinds.last());
            const QString told = m_dialogs->messages.value(messages);
            if (io.kinds.last() == "close" && io.kinds.contains("rename")) {
                // The folder's handle, closed after its sync: nothing rides on it.
                QFile restore(target);
                QVERIFY(restore.open(QIODevice::WriteOnly));
                restore.write("the earlier good file");
                continue;
            }
            QVERIFY2(told.contains("could not") || told.contains("full"), qPrintable(what + ": " + told));
            if (err == ENOSPC && io.kinds.last() == "write")
                QVERIFY2(told.contains("full"), qPrintable(told));
            QFile now(target);
            QVERIFY(now.open(QIODevice::ReadOnly));
            const QByteArray content = now.readAll();
            if (io.kinds.indexOf("rename") >= 0 && io.kinds.indexOf("rename") < io.kinds.size() - 1) {
                // Only the folder's sync failed: the new file is in place, and said to be at risk.
                QVERIFY2(told.contains("power cut"), qPrintable(told));
                QVERIFY(content != "the earlier good file");
                QFile restore(target);
                QVERIFY(restore.open(QIODevice::WriteOnly));
                restore.write("the earlier good file");
            } else {
                QVERIFY2(content == "the earlier good file", qPrintable(what));
            }
            QCOMPARE(QDir(dir.path()).entryList(QDir::Files), QStringList{name});
        }
        SafeFile::setIo(nullptr);
        QVERIFY(points >= 5);
        // The fault gone, the same export writes the file.
        m_dialogs->fileNames.push_back(target);
        trigger(command.constData());
        QFile now(target);
        QVERIFY(now.open(QIODevice::ReadOnly));
        QVERIFY(now.readAll() != "the earlier good file");
        qInfo("%d points of failure, each told, the earlier file kept", points);
    }

    // A session of changes on the open file, the power cut after every write
    // or sync it makes; what a cut could leave (seeded) is laid down, and the
    // file opened afresh must be whole and hold the changes in order, every
    // one whose commit had returned.
    void powerCutsKeepEveryChangeThatReturned()
    {
        const QString path = m_dir->database();
        const QString pristine = path + ".pristine";
        QVERIFY(QFile::copy(path, pristine));
        const int session = 6;
        auto run = [&](int cut, int *committed) {
            QFile::remove(path);
            QFile::copy(pristine, path);
            FaultVfs::record();
            FaultVfs::cutAfter(cut);
            Household file;
            QString error;
            *committed = 0;
            if (file.open(path, &error)) {
                for (int k = 1; k <= session; ++k) {
                    // One line, then (every third) a hundred at once.
                    const bool ok = file.change(QStringLiteral("Add"), Household::List, [&](QString *e) {
                        for (int i = 0; i < (k % 3 ? 1 : 100); ++i)
                            if (!file.connection().exec("INSERT INTO Selected (Item, Quantity) VALUES (?, ?)",
                                                        {QStringLiteral("C%1").arg(k), i}, e))
                                return false;
                        return true;
                    }, &error);
                    if (!ok)
                        break;
                    *committed = k;
                }
            }
            file.close();
        };
        // How many writes and syncs the session makes.
        int committed = 0;
        FaultVfs::record();
        FaultVfs::cutAfter(1 << 30);
        run(1 << 30, &committed);
        QCOMPARE(committed, session);
        FaultVfs::stopRecording();
        int points = 0, losses = 0;
        const bool full = qgetenv("PANTRIO_FAULT_SWEEP") == "full";
        for (int cut = 1; cut < 400; cut += full ? 1 : 2) {
            run(cut, &committed);
            const bool wasCut = FaultVfs::isCut();
            const quint32 seed = quint32(cut) * 2654435761u;
            FaultVfs::crash(seed);
            if (!wasCut)
                break;
            ++points;
            Household again;
            QString error;
            const QString what = QStringLiteral("cut after call %1 (seed %2)").arg(cut).arg(seed);
            QVERIFY2(again.open(path, &error), qPrintable(what + ": " + error));
            Connection::Rows rows;
            QVERIFY(again.connection().select("PRAGMA integrity_check", &rows, &error));
            QVERIFY2(rows.rows.value(0).value(0).toString() == "ok", qPrintable(what));
            QVERIFY(again.connection().select(
                "SELECT Item, COUNT(*) FROM Selected WHERE Item LIKE 'C%' GROUP BY Item", &rows, &error));
            int present = 0;
            for (const auto &r : rows.rows) {
                const int k = r.at(0).toString().mid(1).toInt();
                present = std::max(present, k);
                QVERIFY2(r.at(1).toInt() == (k % 3 ? 1 : 100), qPrintable(what + ": a change in part"));
            }
            QVERIFY2(rows.rows.size() == present, qPrintable(what + ": changes out of order"));
            if (present < committed) {
                ++losses;
                qWarning("%s: %d changes had returned, %d are there", qPrintable(what), committed, present);
            }
            again.close();
        }
        qInfo("%d cut points, %d losses", points, losses);
        QVERIFY(points > 10);
        QCOMPARE(losses, 0);
    }

    // An older file (no key on the list) brought up to date with the disk
    // failing at each call: the start says so and the file is as it was, or
    // up to date; either way whole, with every row, and the next start
    // brings it up to date, after which lines delete.
    void upgradeWithTheDiskFailingAtEveryCall()
    {
        const QString path = m_dir->database();
        QVERIFY(m_dir->makeFirstVersion());
        QVERIFY(m_dir->exec("DROP TABLE Selected"));
        QVERIFY(m_dir->exec("CREATE TABLE Selected (ID INTEGER, Item TEXT, Category TEXT, Aisle TEXT, "
                            "Quantity TEXT)"));
        QVERIFY(m_dir->exec("INSERT INTO Selected VALUES (7, 'Tea', NULL, NULL, '1'), (7, 'Jam', NULL, "
                            "NULL, '2')"));
        const QString pristine = path + ".older";
        QVERIFY(QFile::copy(path, pristine));
        const bool full = qgetenv("PANTRIO_FAULT_SWEEP") == "full";
        int points = 0;
        for (int n = 1; n < 2000; n += full ? 1 : 4) {
            QFile::remove(path);
            QFile::remove(path + "-journal");
            QVERIFY(QFile::copy(pristine, path));
            QString error;
            bool opened;
            {
                Household file;
                FaultVfs::arm(n, FaultVfs::Error::Io);
                opened = file.open(path, &error);
                FaultVfs::disarm();
            }
            if (!FaultVfs::fired()) {
                QVERIFY2(opened, qPrintable(error));
                break;
            }
            ++points;
            const QString what = QStringLiteral("call %1 (%2)").arg(n).arg(FaultVfs::firedCall());
            QVERIFY2(opened || !error.isEmpty(), qPrintable(what));
            QVERIFY2(whole(), qPrintable(what + ": damaged"));
            const int version = m_dir->scalar("PRAGMA user_version").toInt();
            QVERIFY2(version == 1 || version == Schema::currentVersion, qPrintable(what));
            QVERIFY2(!opened || version == Schema::currentVersion, qPrintable(what));
            QCOMPARE(m_dir->scalar("SELECT group_concat(Item) FROM (SELECT Item FROM Selected ORDER BY Item)")
                         .toString(), QString("Jam,Tea"));
            Household again;
            QVERIFY2(again.open(path, &error), qPrintable(what + ": " + error));
            QVERIFY2(again.change("Delete", Household::List,
                                  [&](QString *e) {
                                      return again.connection().exec("DELETE FROM Selected WHERE Item = 'Jam'", {}, e);
                                  },
                                  &error),
                     qPrintable(what + ": " + error));
        }
        qInfo("%d injection points in bringing an older file up to date", points);
        QVERIFY(points > 10);
    }

    // Back Up Now and then Restore, the power cut after each write or sync
    // they make: the file opens whole as it was or as restored (restored
    // once the restore had returned), and every backup there is whole: a
    // copy is named only when whole, and copies a cut left half-written
    // are tidied away later.
    void powerCutsDuringBackUpAndRestore()
    {
        const QString path = m_dir->database();
        for (int i = 0; i < 3; ++i)
            QVERIFY(m_dir->exec("INSERT INTO Selected (Item, Quantity) VALUES ('Kept', '1')"));
        const QString source = m_dir->path() + "/source.mdb";
        QString error;
        QVERIFY2(Backup::copy(path, source, &error), qPrintable(error));
        for (int i = 0; i < 5; ++i)
            QVERIFY(m_dir->exec("INSERT INTO Selected (Item, Quantity) VALUES ('Later', '1')"));
        const int later = count("SELECT COUNT(*) FROM Selected"), restored = later - 5;
        const QString pristine = path + ".pristine";
        QVERIFY(QFile::copy(path, pristine));
        const QString folder = Backup::folderFor(path);
        bool backedUp = false, restoreReturned = false;
        auto run = [&](int cut) {
            QFile::remove(path);
            QFile::remove(path + "-journal");
            QFile::copy(pristine, path);
            QDir(folder).removeRecursively();
            QDir().mkpath(folder);
            FaultVfs::record();
            FaultVfs::cutAfter(cut);
            Household file;
            QString e;
            backedUp = restoreReturned = false;
            if (file.open(path, &e)) {
                backedUp = Backup::copy(path, folder + "/now.mdb", &e);
                restoreReturned = backedUp && file.replace([&](QString *e2) {
                    return Backup::restore(path, source, e2, nullptr);
                }, &e);
            }
            file.close();
        };
        FaultVfs::record();
        run(1 << 30);
        QVERIFY(backedUp && restoreReturned);
        FaultVfs::stopRecording();
        int points = 0;
        const bool full = qgetenv("PANTRIO_FAULT_SWEEP") == "full";
        for (int cut = 1; cut < 2000; cut += full ? 1 : 3) {
            run(cut);
            const bool wasCut = FaultVfs::isCut();
            const quint32 seed = quint32(cut) * 2246822519u;
            FaultVfs::crash(seed);
            if (!wasCut)
                break;
            ++points;
            const QString what = QStringLiteral("cut after call %1 (seed %2)").arg(cut).arg(seed);
            Household again;
            QVERIFY2(again.open(path, &error), qPrintable(what + ": " + error));
            QVERIFY2(whole(), qPrintable(what + ": damaged"));
            const int lines = count("SELECT COUNT(*) FROM Selected");
            QVERIFY2(lines == (restoreReturned ? restored : lines) && (lines == later || lines == restored),
                     qPrintable(what + QStringLiteral(": %1 lines").arg(lines)));
            again.close();
            QDirIterator it(folder, {"*.mdb"}, QDir::Files, QDirIterator::Subdirectories);
            bool sawNow = false;
            while (it.hasNext()) {
                const QString copy = it.next();
                sawNow = sawNow || copy.endsWith("/now.mdb");
                QVERIFY2(Backup::verify(copy, &error), qPrintable(what + ": " + copy + ": " + error));
                Connection c;
                Connection::Rows rows;
                QVERIFY(c.open(copy, nullptr, Connection::Mode::ReadOnly));
                QVERIFY(c.select("SELECT COUNT(*) FROM Selected", &rows, &error));
                QVERIFY2(rows.rows.value(0).value(0).toInt() == later, qPrintable(what + ": " + copy));
            }
            QVERIFY2(sawNow || !backedUp, qPrintable(what + ": the backup that returned is gone"));
            // What a cut left half-written goes at a later backup, once it is old.
            for (const QFileInfo &f : QDir(folder).entryInfoList({"*.being-written*"}, QDir::Files)) {
                QFile touched(f.absoluteFilePath());
                QVERIFY(touched.open(QIODevice::ReadWrite));
                QVERIFY(touched.setFileTime(QDateTime::currentDateTime().addDays(-1),
                                            QFileDevice::FileModificationTime));
            }
            Backup::tidyAside(folder);
            QVERIFY2(QDir(folder).entryList({"*.being-written*"}, QDir::Files).isEmpty(), qPrintable(what));
        }
        qInfo("%d cut points over Back Up Now and Restore", points);
        QVERIFY(points > 10);
    }

    void everyChangeWithTheDiskFailingAtEveryCall_data()
    {
        QTest::addColumn<int>("kind");
        const QList<Kind> all = kinds();
        for (int i = 0; i < all.size(); ++i)
            QTest::newRow(all.at(i).name) << i;
    }
    void everyChangeWithTheDiskFailingAtEveryCall()
    {
        QFETCH(int, kind);
        QVERIFY(start());
        // Lines and a step to work on.
        for (int i = 0; i < 4; ++i) {
            tickFirst();
            main()->cmdAddToList_Click();
        }
        const bool full = qgetenv("PANTRIO_FAULT_SWEEP") == "full";
        const Kind k = kinds().at(kind);
        m_counts = {};
        struct Mode {
            FaultVfs::Error error;
            bool persistent;
            unsigned calls;
        };
        // A full disk and a file made read-only fail writes; I/O errors any call.
        const unsigned writes = FaultVfs::Write | FaultVfs::Truncate;
        const QList<Mode> modes = full ? QList<Mode>{{FaultVfs::Error::Io, false, FaultVfs::All},
                                                     {FaultVfs::Error::Full, true, writes},
                                                     {FaultVfs::Error::ReadOnly, false, writes},
                                                     {FaultVfs::Error::Io, true, FaultVfs::All}}
                                       : QList<Mode>{{FaultVfs::Error::Io, false, FaultVfs::All},
                                                     {FaultVfs::Error::Full, true, writes}};
        for (const Mode &m : modes) {
            sweep(k, m.error, m.persistent, m.calls, full ? 1 : 3);
            if (QTest::currentTestFailed())
                return;
        }
        qInfo("%s: %d injection points, %d told, %d retried, %d losses", k.name, m_counts.points,
              m_counts.told, m_counts.retried, m_counts.losses);
    }
};

QTEST_MAIN(TstFaults)
#include "tst_faults.moc"

// Taking the list along: the page for a phone checked in a real browser
// engine, the QR code read back by a real decoder, the plain text on the
// clipboard, and what each says of an empty list or a file it cannot write.
#include "app/Module1.h"
#include "data/access/Connection.h"
#include "data/shopping/Stores.h"
#include "forms/main/frmVendora.h"
#include "forms/phone/TakeAlongCommands.h"
#include "forms/phone/frmQrCode.h"
#include "support/TestSupport.h"

#include <QAccessible>
#include <QAction>
#include <QClipboard>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QLabel>
#include <QProcess>
#include <QLineEdit>
#include <QTableView>
#include <QtTest>

using namespace pantrio;
using namespace pantrio::test;

namespace
{
// Names as people and other programs write them.
QStringList hostileNames()
{
    return {QStringLiteral("<script>window.pwned = 1</script>"),
            QStringLiteral("<img src=x onerror=\"window.pwned = 2\">"),
            QStringLiteral("Salt & \"Pepper\" 'mixed'"),
            QString::fromUtf8("\u05d7\u05dc\u05d1 \u05d8\u05e8\u05d9"),
            QString::fromUtf8("Crème fraîche \U0001F95B"),
            QString(10000, QChar('L'))};
}
} // namespace

class TstPhone : public Fixture
{
    Q_OBJECT

  private:
    void line(const QString &item, const QString &category, const QString &aisle,
              const QString &quantity)
    {
        QVERIFY(m_dir->exec("INSERT INTO Selected (Item, Category, Aisle, Quantity) VALUES "
                            "(?, ?, ?, ?)",
                            {item, category, aisle, quantity}));
    }

  private slots:
    void emptyListHasNothingToTakeAlong();
    void textAndQrCodeHoldTheListExactly();
    void aListTooLongForOneCodeOffersThePage();
    void pageInARealBrowser();
    void pageThatCannotBeWrittenLeavesNothing();
    void whatIsBeingTypedIsTakenAlong();
    void aMiddleSizedListIsRefusedForTheCode();
};

void TstPhone::emptyListHasNothingToTakeAlong()
{
    frmVendora *f = start();
    QVERIFY(f);
    for (const char *a : {"mnuExportPhone", "mnuShowQr", "mnuCopyText"}) {
        m_dialogs->messages.clear();
        trigger(a);
        QCOMPARE(m_dialogs->messages,
                 QStringList({"There is nothing on the shopping list to take along."}));
    }
    QVERIFY(!TakeAlongCommands::qrWindow());
}

void TstPhone::textAndQrCodeHoldTheListExactly()
{
    const QStringList names = hostileNames().mid(0, 5);
    line(names.at(0), "Odd", "Aisle 10", "2");
    line(names.at(1), "Odd", "Aisle 2", "1");
    line(names.at(2), "Spices", "Aisle 2", "1 jar");
    line(names.at(3), "Dairy", "", "3");
    line(names.at(4), "Dairy", "Aisle 2", "");
    frmVendora *f = start();
    QVERIFY(f);
    trigger("mnuCopyText");
    const QString text = QApplication::clipboard()->text();
    // Grouped as the list by aisle is printed: "Aisle 2" before "Aisle 10", no aisle last.
    QCOMPARE(text, QString("Shopping list\nAisle 2\n- " + names.at(1) + ": 1\n- " + names.at(4) +
                           "\n- " + names.at(2) + ": 1 jar\nAisle 10\n- " + names.at(0) +
                           ": 2\nNo aisle\n- " + names.at(3) + ": 3\n"));
    QVERIFY(m_dialogs->messages.last().contains("5 lines"));

    trigger("mnuShowQr");
    frmQrCode *w = TakeAlongCommands::qrWindow();
    QVERIFY(w && w->isVisible());
    QCOMPARE(w->text(), text);
    QCOMPARE(QAccessible::queryAccessibleInterface(w->findChild<QWidget *>("picQrCode"))
                 ->text(QAccessible::Description),
             text);
    QVERIFY(w->findChild<QLabel *>("lblQrCaption")->text().contains("5 lines"));
    if (QStandardPaths::findExecutable("zbarimg").isEmpty())
        QSKIP("zbarimg (zbar-tools) is not installed");
    QTemporaryDir dir;
    const QString png = dir.filePath("code.png");
    QVERIFY(w->code().save(png));
    QProcess zbar;
    zbar.start("zbarimg", {"--raw", "-q", "-Sbinary", png});
    QVERIFY(zbar.waitForFinished(30000));
    QCOMPARE(zbar.exitCode(), 0);
    // In binary mode the decoder prints the code's bytes as they are.
    QCOMPARE(zbar.readAllStandardOutput(), text.toUtf8());
}

void TstPhone::aListTooLongForOneCodeOffersThePage()
{
    for (int i = 0; i < 300; ++i)
        line(QStringLiteral("Item number %1 with a longer name").arg(i), "Bulk",
             QStringLiteral("Aisle %1").arg(i % 20), "1");
    frmVendora *f = start();
    QVERIFY(f);
    m_dialogs->answers.push_back(Dialogs::Answer::No);
    trigger("mnuShowQr");
    QVERIFY2(m_dialogs->messages.last().contains("300 lines") &&
                 m_dialogs->messages.last().contains("too long for one QR code"),
             qPrintable(m_dialogs->messages.last()));
    QVERIFY(!TakeAlongCommands::qrWindow()); // never a part of the list in a code
    QTemporaryDir dir;
    m_dialogs->answers.push_back(Dialogs::Answer::Yes);
    m_dialogs->fileNames.push_back(dir.filePath("list.html"));
    trigger("mnuShowQr");
    QVERIFY(m_dialogs->suggestedNames.last().startsWith(
        "Shopping List " + QDate::currentDate().toString("yyyy-MM-dd")));
    QVERIFY(QFileInfo(dir.filePath("list.html")).size() > 0);
}

void TstPhone::pageInARealBrowser()
{
    // A store's walking order, with names a page must show as text.
    const QStringList names = hostileNames();
    line(names.at(0), "Odd", "Aisle 3", "1");
    line(names.at(1), "Odd", "Aisle 1", "2");
    line(names.at(2), "Spices", "Aisle 3", "1");
    line(names.at(3), "Dairy", "Aisle 1", "1");
    line(names.at(4), "Dairy", "Aisle 2", "1");
    line(names.at(5), "Long", "", "1");
    Connection c;
    QString error;
    QVERIFY(c.open(m_dir->database(), &error));
    qlonglong shop = 0;
    // A store name longer than a phone is wide, with markup in it.
    QVERIFY(Stores::add(c, QString::fromUtf8("Lebensmittelgroßhandelsgenossenschaft & Söhne <Nord>"),
                        &shop, &error));
    QVERIFY(
        Stores::setWalkingOrder(c, shop, {{"Aisle 3", 0, false}, {"Aisle 1", 1, false}}, &error));
    QVERIFY(Stores::setCurrent(c, shop, &error));
    frmVendora *f = start();
    QVERIFY(f);
    QTemporaryDir dir;
    const QString page = dir.filePath("list.html");
    m_dialogs->fileNames.push_back(page);
    trigger("mnuExportPhone");
    QVERIFY2(m_dialogs->messages.last().contains("6 lines"),
             qPrintable(m_dialogs->messages.last()));
    const QStringList inOrder = {names.at(0), names.at(2), names.at(1),
                                 names.at(3), names.at(4), names.at(5)};
    QJsonObject expected;
    expected["items"] = QJsonArray::fromStringList(inOrder);
    expected["groups"] = QJsonArray::fromStringList({"Aisle 3", "Aisle 1", "Aisle 2", "No aisle"});
    QFile json(dir.filePath("expected.json"));
    QVERIFY(json.open(QIODevice::WriteOnly));
    json.write(QJsonDocument(expected).toJson());
    json.close();
    // PANTRIO_TEST_OUT keeps the browser's screenshot for a look at it.
    const QString out = qEnvironmentVariable("PANTRIO_TEST_OUT", dir.path());
    // Debian's Python, which has Debian's Selenium.
    const QString python = QFile::exists("/usr/bin/python3") ? QStringLiteral("/usr/bin/python3")
                                                             : QStringLiteral("python3");
    QProcess check;
    check.start(python, {QStringLiteral(PANTRIO_SOURCE_DIR "/tests/phone_page_check.py"), page,
                         json.fileName(), out + "/phone.png"});
    QVERIFY(check.waitForFinished(180000));
    const QString said =
        QString::fromUtf8(check.readAllStandardOutput() + check.readAllStandardError());
    if (check.exitCode() == 2)
        QSKIP(qPrintable("no browser to check the page in: " + said));
    QVERIFY2(check.exitCode() == 0, qPrintable(said));
    qInfo("%s", qPrintable(said.trimmed()));
}

void TstPhone::whatIsBeingTypedIsTakenAlong()
{
    line("Milk", "Dairy", "Aisle 1", "12");
    frmVendora *f = start();
    QVERIFY(f);
    auto *grid = child<QTableView>(f, "grdList");
    // F2 on the quantity, a new one typed, no Return: each command that reads
    // the list stores it first.
    auto type = [&](const QString &quantity) {
        QLineEdit *editor = editCell(grid, 0, 3);
        QVERIFY(editor);
        QTest::keyClicks(editor, quantity);
    };
    type("18");
    trigger("mnuCopyText");
    QVERIFY2(QApplication::clipboard()->text().contains("Milk: 18"),
             qPrintable(QApplication::clipboard()->text()));
    QCOMPARE(m_dir->scalar("SELECT Quantity FROM Selected").toString(), QString("18"));
    QCOMPARE(grid->model()->index(0, 3).data().toString(), QString("18"));

    // A name chosen without the extension gets it, so a browser shows the page.
    type("20");
    QTemporaryDir dir;
    m_dialogs->fileNames.push_back(dir.filePath("groceries"));
    trigger("mnuExportPhone");
    QVERIFY(!QFile::exists(dir.filePath("groceries")));
    QFile page(dir.filePath("groceries.html"));
    QVERIFY(page.open(QIODevice::ReadOnly));
    QVERIFY(page.readAll().contains(">20<"));
    QVERIFY(m_dialogs->messages.last().contains(dir.filePath("groceries.html")));
    // The same for the CSV exports.
    m_dialogs->fileNames.push_back(dir.filePath("list"));
    trigger("mnuExportList");
    QVERIFY(QFile::exists(dir.filePath("list.csv")));
}

void TstPhone::aMiddleSizedListIsRefusedForTheCode()
{
    // About 1.5 kB: more than a version 25 code holds at level L, well within
    // what libqrencode would make of it unasked (version 30 or so).
    for (int i = 0; i < 40; ++i)
        line(QStringLiteral("Item %1 of the middle list").arg(i, 2, 10, QChar('0')), "Bulk",
             QStringLiteral("Aisle %1").arg(i % 5), "1");
    QVERIFY(start());
    m_dialogs->answers.push_back(Dialogs::Answer::No);
    trigger("mnuShowQr");
    QVERIFY2(m_dialogs->messages.last().contains("40 lines") &&
                 m_dialogs->messages.last().contains("too long for one QR code"),
             qPrintable(m_dialogs->messages.last()));
    QVERIFY(!TakeAlongCommands::qrWindow());
}

void TstPhone::pageThatCannotBeWrittenLeavesNothing()
{
    line("Milk", "Dairy", "Aisle 12", "2");
    frmVendora *f = start();
    QVERIFY(f);
    QTemporaryDir dir;
    m_dialogs->fileNames.push_back(dir.filePath("no such folder/list.html"));
    trigger("mnuExportPhone");
    QVERIFY2(m_dialogs->messages.last().contains("could not be written"),
             qPrintable(m_dialogs->messages.last()));
    QVERIFY(QDir(dir.path()).isEmpty());
}

QTEST_MAIN(TstPhone)
#include "tst_phone.moc"

// The report engine (layout, pagination, painting), the print entries of the
// main window, a real print through CUPS, help and the version box.
#include "app/Module1.h"
#include "data/access/DEVendora.h"
#include "data/access/DataControl.h"
#include "forms/main/frmVendora.h"
#include "reports/PrintCommands.h"
#include "reports/ReportPreview.h"
#include "reports/engine/ReportLayout.h"
#include "reports/engine/ReportPainter.h"
#include "support/TestSupport.h"
#include "uibase/HelpViewer.h"

#include <QAction>
#include <QDir>
#include <QElapsedTimer>
#include <QLineEdit>
#include <QPdfWriter>
#include <QPrinterInfo>
#include <QProcess>
#include <QPushButton>
#include <QTableView>
#include <QtTest>

using namespace pantrio;
using namespace pantrio::test;

namespace
{

GroupedResult makeList(int groups, int perGroup)
{
    Connection::Rows rows;
    rows.names = {"Item", "Category", "Aisle", "Quantity", "ID"};
    for (int g = 0; g < groups; ++g)
        for (int i = 0; i < perGroup; ++i)
            rows.rows.append({QString("Item %1-%2").arg(g).arg(i), QString("Cat %1").arg(g),
                              QString("Aisle %1").arg(g), "1", g * 1000 + i});
    return DEVendora::group(rows, "Category", "Item", true);
}

QString pdfText(const QString &pdf)
{
    QProcess p;
    p.start("pdftotext", {"-layout", pdf, "-"});
    p.waitForFinished(60000);
    return QString::fromUtf8(p.readAllStandardOutput());
}

int pdfPages(const QString &pdf)
{
    QProcess p;
    p.start("pdfinfo", {pdf});
    p.waitForFinished(60000);
    const QString out = QString::fromUtf8(p.readAllStandardOutput());
    for (const QString &line : out.split('\n'))
        if (line.startsWith("Pages:"))
            return line.section(':', 1).trimmed().toInt();
    return -1;
}

bool havePoppler()
{
    return !QStandardPaths::findExecutable("pdftotext").isEmpty();
}

} // namespace

class TstReports : public Fixture
{
    Q_OBJECT

  private:
  private slots:
    void paginationKeepsHeadersAndLinesWhole();
    void goldenLayoutOfTheShoppingList();
    void reportsRenderToPdf();
    void printEntriesSaveFirstAndRefresh();
    void theFullListShowsItsFirstPageAtOnce();
    void nothingToPrint();
    void printsThroughCups();
    void previewPagesZoomsAndPrints();
    void helpOpensAtTopics();
    void versionText();
};

void TstReports::paginationKeepsHeadersAndLinesWhole()
{
    const ReportDefinition def = ReportDefinition::rptPrint();
    const GroupedResult r = makeList(40, 7);
    const QSizeF a4(11906, 16838); // twips
    const ReportLayout layout = ReportLayout::build(def, r, a4);
    QVERIFY(layout.pageCount() > 5);
    const double bottom = a4.height() - def.margins.top() - def.margins.bottom();
    int details = 0;
    for (const ReportPage &page : layout.pages()) {
        QVERIFY(!page.bands.isEmpty());
        QCOMPARE(page.bands.first().section->name, QString("PageHeader"));
        for (int i = 0; i < page.bands.size(); ++i) {
            const PlacedBand &b = page.bands.at(i);
            QVERIFY2(b.y + b.section->height <= bottom + 0.01, "a band crosses the page foot");
            if (b.section->name == "ListPrint_Detail")
                ++details;
            // No group heading is the last band of its page.
            if (b.section->name == "ListPrint_Grouping_Header") {
                QVERIFY(i + 1 < page.bands.size());
                QCOMPARE(page.bands.at(i + 1).section->name, QString("ListPrint_Detail"));
            }
        }
    }
    QCOMPARE(details, 280);
}

void TstReports::goldenLayoutOfTheShoppingList()
{
    Connection::Rows rows;
    rows.names = {"Item", "Category", "Aisle", "Quantity", "ID"};
    rows.rows = {{"Milk", "Dairy", "Aisle 12", "2", 1},
                 {"Apples", "Produce", "Aisle 1", "6", 2},
                 {"Butter", "Dairy", "Aisle 12", "1", 3},
                 {"Foil", "", "", "1", 4}};
    const GroupedResult r = DEVendora::group(rows, "Category", "Item", true);
    const ReportDefinition def = ReportDefinition::rptPrint();
    const QStringList dump = ReportLayout::build(def, r, QSizeF(11906, 16838)).dump(r);
    const QStringList expected = {
        "1 0 PageHeader Label2 Item:",
        "1 0 PageHeader Label4 Aisle:",
        "1 0 PageHeader Label5 Quantity:",
        "1 450 ListPrint_Grouping_Header txtCategory Dairy",
        "1 825 ListPrint_Detail txtItem Butter",
        "1 825 ListPrint_Detail txtAisle Aisle 12",
        "1 825 ListPrint_Detail txtQuantity 1",
        "1 1125 ListPrint_Detail txtItem Milk",
        "1 1125 ListPrint_Detail txtAisle Aisle 12",
        "1 1125 ListPrint_Detail txtQuantity 2",
        "1 1425 ListPrint_Grouping_Header txtCategory Produce",
        "1 1800 ListPrint_Detail txtItem Apples",
        "1 1800 ListPrint_Detail txtAisle Aisle 1",
        "1 1800 ListPrint_Detail txtQuantity 6",
        "1 2100 ListPrint_Grouping_Header txtCategory ",
        "1 2475 ListPrint_Detail txtItem Foil",
        "1 2475 ListPrint_Detail txtAisle ",
        "1 2475 ListPrint_Detail txtQuantity 1",
    };
    QCOMPARE(dump, expected);
}

void TstReports::reportsRenderToPdf()
{
    if (!havePoppler())
        QSKIP("pdftotext is not installed");
    QVERIFY(m_dir->exec("INSERT INTO Selected (Item, Category, Aisle, Quantity) VALUES "
                        "('Whole Milk','Dairy','Aisle 12','2'),('Apples','Produce','Aisle 1','6'),"
                        "(?, 'Produce', 'Aisle 1', '1')",
                        {QString("A very long item name that goes on and on well past its own "
                                 "column and would run into the aisle")}));
    QVERIFY(Module1::Main());
    frmVendora *f = Module1::frmVendoraIfLoaded();
    QTemporaryDir out;
    struct Case {
        PrintCommands::Entry entry;
        void (frmVendora::*handler)();
        QStringList expect;
    } cases[] = {
        {PrintCommands::Entry::Pantrio,
         &frmVendora::mnuPrint_Click,
         {"Item:", "Aisle:", "Quantity:", "Dairy", "Whole Milk", "Produce", "Apples"}},
        {PrintCommands::Entry::ByAisle,
         &frmVendora::mnuAislePrint_Click,
         {"Item:", "Quantity:", "Aisle 1", "Aisle 12", "Whole Milk", "Dairy"}},
        {PrintCommands::Entry::FullList,
         &frmVendora::mnuPrintFull_Click,
         {"Full List", "Bakery", "Bagels", "Personal Care", "Toothpaste"}},
    };
    for (const Case &c : cases) {
        (f->*c.handler)();
        ReportPreview *w = PrintCommands::window(c.entry);
        QVERIFY(w && w->isVisible());
        // PANTRIO_TEST_OUT keeps the PDFs for a look at them.
        const QString keep = qEnvironmentVariable("PANTRIO_TEST_OUT");
        const QString pdf =
            (keep.isEmpty() ? out.path() : keep) + "/" + w->definition().name + ".pdf";
        QString error;
        QVERIFY2(w->exportPdf(pdf, &error), qPrintable(error));
        const QString text = pdfText(pdf);
        for (const QString &e : c.expect)
            QVERIFY2(text.contains(e), qPrintable(e + " missing in " + pdf));
        // The long name is cut in its own box, not printed over the aisle column.
        QVERIFY(!text.contains("would run into the aisle"));
        QCOMPARE(pdfPages(pdf), w->pageCount());
    }
    QCOMPARE(PrintCommands::window(PrintCommands::Entry::FullList)->windowTitle(),
             QString("Full List"));
    QCOMPARE(PrintCommands::window(PrintCommands::Entry::Pantrio)->windowTitle(),
             QString("Pantrio"));
}

void TstReports::printEntriesSaveFirstAndRefresh()
{
    QVERIFY(m_dir->exec("INSERT INTO Selected (Item, Category, Aisle, Quantity) VALUES "
                        "('Milk','Dairy','Aisle 12','1')"));
    QVERIFY(Module1::Main());
    frmVendora *f = Module1::frmVendoraIfLoaded();
    auto *grid = f->findChild<QTableView *>("grdList");
    // A quantity typed but not yet stored is saved by the print command.
    grid->model()->setData(grid->model()->index(0, 3), "3 litres");
    f->mnuPrint_Click();
    ReportPreview *w = PrintCommands::window(PrintCommands::Entry::Pantrio);
    QVERIFY(w);
    QCOMPARE(m_dir->scalar("SELECT Quantity FROM Selected").toString(), QString("3 litres"));
    const GroupedResult &r = w->data();
    QCOMPARE(r.groups.first().rows.first().at(r.childField("Quantity")).toString(),
             QString("3 litres"));
    // Choosing again, window open, shows fresh data in the same window.
    QVERIFY(
        m_dir->exec("INSERT INTO Selected (Item, Category, Quantity) VALUES ('Tea','Drinks','1')"));
    f->findChild<QPushButton *>("cmdRef")->click();
    f->mnuPrint_Click();
    QCOMPARE(PrintCommands::window(PrintCommands::Entry::Pantrio), w);
    QCOMPARE(w->data().rowCount(), 2);
    // And after it was closed, a new one.
    w->close();
    QTRY_VERIFY(!PrintCommands::window(PrintCommands::Entry::Pantrio));
    f->mnuPrint_Click();
    QVERIFY(PrintCommands::window(PrintCommands::Entry::Pantrio));
}

void TstReports::theFullListShowsItsFirstPageAtOnce()
{
    QVERIFY(m_dir->exec("WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM n WHERE i < "
                        "3000) INSERT INTO Vendora (Item, Category, Aisle) SELECT 'Item ' || i, "
                        "'Cat ' || (i % 30), 'Aisle ' || (i % 7) FROM n"));
    QVERIFY(Module1::Main());
    frmVendora *f = Module1::frmVendoraIfLoaded();
    f->mnuPrintFull_Click();
    ReportPreview *w = PrintCommands::window(PrintCommands::Entry::FullList);
    QVERIFY(w && w->isVisible());
    // Page 1 is there before the rest is read, and the count says it grows.
    QVERIFY(!w->isComplete());
    const int early = w->pageCount();
    QVERIFY(early >= 1);
    auto *view = w->findChild<QWidget *>("reportPages");
    QCOMPARE(view->accessibleName(), QString("Page 1 of %1 so far").arg(early));
    const QString first = w->pageText(1);
    QVERIFY(first.startsWith("Full List\nBakery\nBagels"));

    // The pages grow into what one read of the whole makes.
    DEVendora &de = Module1::de();
    QString error;
    QVERIFY(de.run(DEVendora::All_Grouping, &error));
    const GroupedResult whole = *de.result(DEVendora::All_Grouping);
    de.close(DEVendora::All_Grouping);
    QPdfWriter probe(QDir(m_dir->path()).filePath("probe.pdf"));
    probe.setResolution(600);
    probe.setPageLayout(w->pageLayout());
    const int pages =
        ReportLayout::build(w->definition(), whole, ReportPainter::pageSizeTwips(&probe))
            .pageCount();
    QVERIFY(pages > early);
    QTRY_VERIFY(w->isComplete());
    QCOMPARE(w->pageCount(), pages);
    QCOMPARE(w->pageText(1), first);
    QCOMPARE(view->accessibleName(), QString("Page 1 of %1").arg(pages));

    // Last goes to the real last page at once, read or not.
    PrintCommands::closeAll();
    f->mnuPrintFull_Click();
    w = PrintCommands::window(PrintCommands::Entry::FullList);
    QVERIFY(!w->isComplete());
    w->findChild<QAction *>("actLastPage")->trigger();
    QVERIFY(w->isComplete());
    QCOMPARE(w->currentPage(), pages);
    QVERIFY(!w->pageText(pages).isEmpty());

    // Export waits for the whole: the same PDF, page for page, as the report
    // painted from one read.
    PrintCommands::closeAll();
    f->mnuPrintFull_Click();
    w = PrintCommands::window(PrintCommands::Entry::FullList);
    QVERIFY(!w->isComplete());
    const QString lazy = QDir(m_dir->path()).filePath("lazy.pdf");
    QVERIFY2(w->exportPdf(lazy, &error), qPrintable(error));
    QVERIFY(w->isComplete());
    if (!havePoppler())
        return;
    const QString once = QDir(m_dir->path()).filePath("once.pdf");
    {
        QPdfWriter writer(once);
        writer.setResolution(600);
        writer.setPageLayout(w->pageLayout());
        QVERIFY(ReportPainter::print(w->definition(), whole, &writer, &error));
    }
    QCOMPARE(pdfPages(lazy), pages);
    QCOMPARE(pdfPages(once), pages);
    QCOMPARE(pdfText(lazy), pdfText(once));
}

void TstReports::nothingToPrint()
{
    QVERIFY(Module1::Main());
    frmVendora *f = Module1::frmVendoraIfLoaded();
    f->mnuPrint_Click();
    f->mnuAislePrint_Click();
    QCOMPARE(m_dialogs->messages, QStringList({"No records to show.", "No records to show."}));
    QVERIFY(!PrintCommands::window(PrintCommands::Entry::Pantrio));
    QVERIFY(!PrintCommands::window(PrintCommands::Entry::ByAisle));
    // The full list counts the catalogue, not the view narrowed to an empty category.
    QVERIFY(m_dir->exec("INSERT INTO Categories (Categories) VALUES ('Empty')"));
    f->adoVendora()->recordset()->setFilter(Criterion{"Category", "Empty"});
    f->mnuPrintFull_Click();
    QVERIFY(PrintCommands::window(PrintCommands::Entry::FullList));
    QVERIFY(m_dir->exec("DELETE FROM Vendora"));
    PrintCommands::closeAll();
    m_dialogs->messages.clear();
    f->mnuPrintFull_Click();
    QCOMPARE(m_dialogs->messages, QStringList({"No records to show."}));
}

void TstReports::printsThroughCups()
{
    const QString outDir = qEnvironmentVariable("PANTRIO_CUPS_OUT");
    if (outDir.isEmpty() || !QPrinterInfo::availablePrinterNames().contains("PDF"))
        QSKIP("no CUPS PDF queue here");
    QDir(outDir).removeRecursively();
    QDir().mkpath(outDir);
    for (int i = 0; i < 60; ++i)
        QVERIFY(m_dir->exec("INSERT INTO Selected (Item, Category, Aisle, Quantity) VALUES "
                            "(?, ?, 'Aisle 3', '1')",
                            {QString("Item %1").arg(i), QString("Cat %1").arg(i % 4)}));
    QVERIFY(Module1::Main());
    Module1::frmVendoraIfLoaded()->mnuPrint_Click();
    ReportPreview *w = PrintCommands::window(PrintCommands::Entry::Pantrio);
    QVERIFY(w);
    QString error;
    QVERIFY2(w->printTo("PDF", &error), qPrintable(error));
    QStringList pdfs;
    QTRY_VERIFY_WITH_TIMEOUT(!(pdfs = QDir(outDir).entryList({"*.pdf"}, QDir::Files)).isEmpty(),
                             60000);
    const QString pdf = QDir(outDir).filePath(pdfs.first());
    QElapsedTimer waited;
    waited.start();
    while (pdfPages(pdf) != w->pageCount() && waited.elapsed() < 30000)
        QTest::qWait(200); // the queue may still be writing it
    if (pdfPages(pdf) != w->pageCount()) {
        // A failed job still leaves a file; the queue's state says why.
        QProcess state;
        state.start("lpstat", {"-l", "-p", "PDF"});
        state.waitForFinished();
        QFAIL(qPrintable(QString("%1 has %2 pages, not %3; the queue says: %4")
                             .arg(pdf)
                             .arg(pdfPages(pdf))
                             .arg(w->pageCount())
                             .arg(QString::fromUtf8(state.readAllStandardOutput()).simplified())));
    }
    // With no such printer, printing says so instead of failing silently.
    QVERIFY(!w->printTo("No Such Printer", &error));
    QVERIFY(error.contains("not available"));
}

void TstReports::previewPagesZoomsAndPrints()
{
    for (int i = 0; i < 400; ++i)
        QVERIFY(m_dir->exec("INSERT INTO Selected (Item, Category, Aisle, Quantity) VALUES "
                            "(?, ?, 'Aisle 3', '1')",
                            {QString("Item %1").arg(i), QString("Cat %1").arg(i % 9)}));
    QVERIFY(Module1::Main());
    Module1::frmVendoraIfLoaded()->mnuPrint_Click();
    ReportPreview *w = PrintCommands::window(PrintCommands::Entry::Pantrio);
    QVERIFY(w && w->pageCount() > 5);
    QCOMPARE(w->currentPage(), 1);
    w->findChild<QAction *>("actLastPage")->trigger();
    QCOMPARE(w->currentPage(), w->pageCount());
    w->findChild<QAction *>("actPreviousPage")->trigger();
    QCOMPARE(w->currentPage(), w->pageCount() - 1);
    w->goToPage(3);
    w->findChild<QAction *>("actZoomIn")->trigger();
    QVERIFY(w->zoom() > 1.0);
    QCOMPARE(w->currentPage(), 3); // zooming keeps the page in view
    QVERIFY(!w->grab().isNull());  // pages paint

    // Print from the window: the scripted print dialog picks a PDF file.
    QTemporaryDir out;
    m_dialogs->printFile = out.filePath("printed.pdf");
    w->findChild<QAction *>("actPrint")->trigger();
    QVERIFY(QFile::exists(m_dialogs->printFile));
    if (havePoppler())
        QCOMPARE(pdfPages(m_dialogs->printFile), w->pageCount());
    // Cancelled: nothing printed, nothing said but, where no printer is set
    // up, that there is none.
    QFile::remove(out.filePath("printed.pdf"));
    m_dialogs->printFile.clear();
    const int said = m_dialogs->messages.size();
    w->findChild<QAction *>("actPrint")->trigger();
    QCOMPARE(m_dialogs->messages.size(),
             said + (QPrinterInfo::availablePrinterNames().isEmpty() ? 1 : 0));
    QVERIFY(QDir(out.path()).isEmpty());
}

void TstReports::helpOpensAtTopics()
{
    QString error;
    const auto topics = HelpViewer::readTopics(Module1::helpFile(), &error);
    QList<int> numbers;
    for (const auto &t : topics) {
        numbers << t.number;
        QVERIFY2(t.html.size() > 30, qPrintable(t.title)); // real text, not a stub
    }
    for (int n : {10, 15, 17, 19, 20, 21, 23})
        QVERIFY(numbers.contains(n));
    for (int n = 30; n <= 48; ++n)
        QVERIFY2(numbers.contains(n), qPrintable(QString::number(n)));

    QVERIFY(Module1::Main());
    frmVendora *f = Module1::frmVendoraIfLoaded();
    f->mnuHelpShow_Click();
    QVERIFY(HelpViewer::instance() && HelpViewer::instance()->isVisible());
    QCOMPARE(HelpViewer::instance()->currentTopic(), 10);
    // F1 on a control with a topic, then on one without (the window's topic).
    auto *delCat = f->findChild<QPushButton *>("cmdDelCat");
    f->activateWindow();
    delCat->setFocus();
    QTest::keyClick(delCat, Qt::Key_F1);
    QCOMPARE(HelpViewer::instance()->currentTopic(), 19);
    auto *all = f->findChild<QPushButton *>("cmdAll");
    all->setFocus();
    QTest::keyClick(all, Qt::Key_F1);
    QCOMPARE(HelpViewer::instance()->currentTopic(), 10);
}

void TstReports::versionText()
{
    QCOMPARE(PrintCommands::versionText(), QString("Version: 3.1.0"));
    QCOMPARE(PrintCommands::versionText(), QString("Version: ") + PANTRIO_VERSION);
    QVERIFY(Module1::Main());
    Module1::frmVendoraIfLoaded()->mnuVersion_Click();
    QCOMPARE(m_dialogs->messages, QStringList({"Version: 3.1.0"}));
}

QTEST_MAIN(TstReports)
#include "tst_reports.moc"

#include "reports/ReportPreview.h"

#include "data/safety/SafeFile.h"
#include "reports/engine/PdfText.h"
#include "reports/engine/ReportPainter.h"
#include "uibase/Dialogs.h"

#include <QAbstractButton>
#include <QAction>
#include <QBuffer>
#include <QLabel>
#include <QPaintEvent>
#include <QPainter>
#include <QPdfWriter>
#include <QPointer>
#include <QPrinter>
#include <QPrinterInfo>
#include <QScrollArea>
#include <QScrollBar>
#include <QSpinBox>
#include <QTimer>
#include <QToolBar>

#include <limits>

namespace pantrio
{

namespace
{
constexpr int kGap = 16; // pixels between pages
} // namespace

// Paints the pages that intersect the exposed area, straight from the layout.
class ReportPageView : public QWidget
{
  public:
    explicit ReportPageView(ReportPreview *owner) : QWidget(nullptr), m_owner(owner)
    {
        setObjectName(QStringLiteral("reportPages"));
        setAccessibleName(QStringLiteral("Report pages"));
    }

    QSize pagePixels() const
    {
        const QSizeF twips = m_owner->pageLayout().fullRect(QPageLayout::Inch).size() * 1440.0;
        const double scale = logicalDpiX() / 1440.0 * m_owner->zoom();
        return QSize(qRound(twips.width() * scale), qRound(twips.height() * scale));
    }
    int pageTop(int page) const { return kGap + page * (pagePixels().height() + kGap); }
    void updateSize()
    {
        const QSize p = pagePixels();
        const int n = std::max(1, m_owner->pageCount());
        resize(p.width() + 2 * kGap, kGap + n * (p.height() + kGap));
        update();
    }

  protected:
    void paintEvent(QPaintEvent *event) override
    {
        QPainter painter(this);
        painter.fillRect(event->rect(), palette().color(QPalette::Dark));
        const QSize p = pagePixels();
        const int step = p.height() + kGap;
        const int first = std::max(0, (event->rect().top() - kGap) / step);
        const int last = std::min(m_owner->pageCount() - 1, event->rect().bottom() / step);
        const double scale = logicalDpiX() / 1440.0 * m_owner->zoom();
        for (int i = first; i <= last; ++i) {
            const QRect sheet(kGap, pageTop(i), p.width(), p.height());
            painter.fillRect(sheet.translated(3, 3), QColor(0, 0, 0, 60));
            painter.fillRect(sheet, Qt::white);
            painter.save();
            painter.setClipRect(sheet);
            painter.translate(sheet.topLeft());
            painter.scale(scale, scale);
            painter.setRenderHint(QPainter::Antialiasing);
            painter.setRenderHint(QPainter::TextAntialiasing);
            ReportPainter::paintPage(painter, m_owner->definition(), m_owner->data(),
                                     m_owner->layout().pages().at(i));
            painter.restore();
        }
    }

  private:
    ReportPreview *m_owner;
};

ReportPreview::ReportPreview(const ReportDefinition &definition, QWidget *parent)
    : QMainWindow(parent), m_definition(definition), m_reading(new QTimer(this)),
      m_scroll(new QScrollArea(this)), m_view(new ReportPageView(this)),
      m_page(new QSpinBox(this)), m_pages(new QLabel(this))
{
    m_reading->setInterval(0);
    connect(m_reading, &QTimer::timeout, this, &ReportPreview::readMore);
    setObjectName(definition.name);
    setWindowTitle(definition.caption);
    // The system's default paper (A4 or Letter), margins drawn by the report;
    // asked of the print system once, as each asking is a round trip to it.
    static const QPageLayout paper = [] {
        QPageLayout layout = QPrinter().pageLayout();
        layout.setMargins(QMarginsF(0, 0, 0, 0));
        return layout;
    }();
    m_pageLayout = paper;

    m_scroll->setWidget(m_view);
    m_scroll->setAlignment(Qt::AlignHCenter);
    m_scroll->setBackgroundRole(QPalette::Dark);
    setCentralWidget(m_scroll);

    QToolBar *bar = addToolBar(QStringLiteral("Report"));
    bar->setObjectName(QStringLiteral("reportTools"));
    bar->setMovable(false);
    auto action = [&](const char *name, const QString &text, const QKeySequence &key, auto fn) {
        QAction *a = bar->addAction(text);
        a->setObjectName(QLatin1String(name));
        a->setShortcut(key);
        connect(a, &QAction::triggered, this, fn);
        return a;
    };
    action("actFirstPage", QStringLiteral("First"), QKeySequence(Qt::CTRL | Qt::Key_Home),
           [this] { goToPage(1); });
    action("actPreviousPage", QStringLiteral("Previous"), QKeySequence(Qt::Key_PageUp),
           [this] { goToPage(currentPage() - 1); });
    m_page->setObjectName(QStringLiteral("pageNumber"));
    m_page->setAccessibleName(QStringLiteral("Page"));
    m_page->setMinimum(1);
    bar->addWidget(m_page);
    bar->addWidget(m_pages);
    connect(m_page, &QSpinBox::editingFinished, this, [this] { goToPage(m_page->value()); });
    action("actNextPage", QStringLiteral("Next"), QKeySequence(Qt::Key_PageDown),
           [this] { goToPage(currentPage() + 1); });
    action("actLastPage", QStringLiteral("Last"), QKeySequence(Qt::CTRL | Qt::Key_End),
           [this] { goToPage(std::numeric_limits<int>::max()); });
    bar->addSeparator();
    action("actZoomOut", QStringLiteral("Zoom Out"), QKeySequence::ZoomOut,
           [this] { setZoom(m_zoom / 1.25); });
    action("actZoomIn", QStringLiteral("Zoom In"), QKeySequence::ZoomIn,
           [this] { setZoom(m_zoom * 1.25); });
    action("actFitWidth", QStringLiteral("Fit Width"), QKeySequence(Qt::CTRL | Qt::Key_0), [this] {
        const double w = m_view->pagePixels().width() / m_zoom;
        setZoom((m_scroll->viewport()->width() - 2 * kGap) / w);
    });
    bar->addSeparator();
    action("actPrint", QStringLiteral("Print…"), QKeySequence::Print,
           &ReportPreview::printInteractive);
    action("actExportPdf", QStringLiteral("Export PDF…"), QKeySequence(Qt::CTRL | Qt::Key_E),
           &ReportPreview::exportPdfInteractive);
    action("actClose", QStringLiteral("Close"), QKeySequence::Close, [this] { close(); });
    // Every button is reached with Tab too, not only with its shortcut.
    for (QWidget *w : bar->findChildren<QWidget *>())
        if (w->focusPolicy() == Qt::NoFocus && qobject_cast<QAbstractButton *>(w))
            w->setFocusPolicy(Qt::TabFocus);
    m_view->setFocusPolicy(Qt::StrongFocus);

    connect(m_scroll->verticalScrollBar(), &QScrollBar::valueChanged, this,
            &ReportPreview::updatePageLabel);
    resize(860, 980);
}

ReportPreview::~ReportPreview() = default;

void ReportPreview::setData(const GroupedResult &result)
{
    setData(result, Feed());
}

void ReportPreview::setData(const GroupedResult &first, Feed feed)
{
    m_result = first;
    m_feed = std::move(feed);
    relayout();
    goToPage(1);
    if (m_feed)
        m_reading->start();
    else
        m_reading->stop();
}

void ReportPreview::readMore()
{
    if (!m_feed)
        return;
    bool more = false;
    QString error;
    if (!m_feed(&m_result, &more, &error)) {
        // What was read stays shown, as a whole report.
        more = false;
        Dialogs::notify(this, error);
    }
    m_layout.add(m_result);
    if (!more) {
        m_feed = Feed();
        m_reading->stop();
        m_layout.finish();
    }
    pagesGrew();
}

void ReportPreview::readAll()
{
    while (m_feed)
        readMore();
}

QString ReportPreview::countText() const
{
    return m_feed ? QStringLiteral("%1 so far").arg(pageCount()) : QString::number(pageCount());
}

void ReportPreview::pagesGrew()
{
    m_page->setMaximum(std::max(1, pageCount()));
    m_pages->setText(QStringLiteral(" of %1 ").arg(countText()));
    m_view->updateSize();
    m_describedPage = 0; // the count is part of what the page view tells
    updatePageLabel();
}

void ReportPreview::setDefinition(const ReportDefinition &definition)
{
    m_definition = definition;
    setWindowTitle(definition.caption);
    relayout();
}

void ReportPreview::relayout()
{
    const QSizeF twips = m_pageLayout.fullRect(QPageLayout::Inch).size() * 1440.0;
    m_layout.begin(m_definition, twips);
    m_layout.add(m_result);
    if (!m_feed)
        m_layout.finish();
    pagesGrew();
}

int ReportPreview::currentPage() const
{
    const int step = m_view->pagePixels().height() + kGap;
    const int y = m_scroll->verticalScrollBar()->value() + step / 3;
    return std::clamp(y / std::max(1, step) + 1, 1, std::max(1, pageCount()));
}

void ReportPreview::goToPage(int page)
{
    // A page not read yet: the rest is read first.
    if (page > pageCount())
        readAll();
    page = std::clamp(page, 1, std::max(1, pageCount()));
    m_scroll->verticalScrollBar()->setValue(m_view->pageTop(page - 1) - kGap / 2);
    updatePageLabel();
}

void ReportPreview::setZoom(double zoom)
{
    const int page = currentPage();
    m_zoom = std::clamp(zoom, 0.2, 5.0);
    m_view->updateSize();
    goToPage(page);
}

void ReportPreview::updatePageLabel()
{
    const QSignalBlocker block(m_page);
    const int page = currentPage();
    m_page->setValue(page);
    // A screen reader cannot read a painted page: the page view tells its text.
    if (page != m_describedPage && page <= pageCount()) {
        m_describedPage = page;
        m_view->setAccessibleName(QStringLiteral("Page %1 of %2").arg(page).arg(countText()));
        m_view->setAccessibleDescription(pageText(page));
    }
}

QString ReportPreview::pageText(int page) const
{
    QStringList lines;
    if (page < 1 || page > pageCount())
        return {};
    for (const PlacedBand &b : m_layout.pages().at(page - 1).bands) {
        QStringList parts;
        for (const ReportControl &c : b.section->controls) {
            const QString t = ReportLayout::textOf(c, m_result, b);
            if (!t.isEmpty())
                parts << t;
        }
        if (!parts.isEmpty())
            lines << parts.join(QStringLiteral(", "));
    }
    return lines.join(QLatin1Char('\n'));
}

bool ReportPreview::exportPdf(const QString &path, QString *error)
{
    readAll();
    // Made in memory and written in one step: a failed export leaves any file
    // it would replace as it was.
    QBuffer pdf;
    pdf.open(QIODevice::WriteOnly);
    {
        QPdfWriter writer(&pdf);
        writer.setTitle(m_definition.caption);
        writer.setCreator(QStringLiteral("Pantrio"));
        writer.setResolution(600);
        writer.setPageLayout(m_pageLayout);
        if (!ReportPainter::print(m_definition, m_result, &writer, error))
            return false;
    }
    QByteArray bytes = pdf.data();
    PdfText::fixCopiedSpaces(bytes);
    return SafeFile::write(path, bytes, error);
}

bool ReportPreview::printTo(const QString &printerName, QString *error)
{
    if (!QPrinterInfo::availablePrinterNames().contains(printerName)) {
        if (error)
            *error = QStringLiteral("The printer %1 is not available.").arg(printerName);
        return false;
    }
    QPrinter p(QPrinter::HighResolution);
    p.setPrinterName(printerName);
    p.setDocName(m_definition.caption);
    p.setFullPage(true);
    p.setPageSize(m_pageLayout.pageSize());
    return printOn(&p, error);
}

// Each dialog may outlive this window (closed while the dialog is open): the
// guard tells, and nothing of the window is touched afterwards.
bool ReportPreview::printOn(QPrinter *printer, QString *error, int from, int to)
{
    readAll();
    if (!printer->isValid()) {
        if (error)
            *error = QStringLiteral("No printer is available to print on.");
        return false;
    }
    return ReportPainter::print(m_definition, m_result, printer, error, from, to);
}

void ReportPreview::printInteractive()
{
    const QPointer<ReportPreview> self(this);
    QPrinter printer(QPrinter::HighResolution);
    printer.setDocName(m_definition.caption);
    printer.setFullPage(true);
    printer.setPageSize(m_pageLayout.pageSize());
    if (QPrinterInfo::availablePrinterNames().isEmpty())
        Dialogs::notify(this, QStringLiteral("No printer is set up on this computer. You can "
                                             "print to a PDF file in the next window, or use "
                                             "Export PDF."));
    // The dialog offers the whole report's pages.
    readAll();
    int from = 0, to = 0;
    if (!self || !Dialogs::instance().choosePrinter(this, &printer, pageCount(), &from, &to) ||
        !self)
        return;
    QString error;
    if (!printOn(&printer, &error, from, to))
        Dialogs::notify(this, error);
}

void ReportPreview::exportPdfInteractive()
{
    const QPointer<ReportPreview> self(this);
    const QString path = Dialogs::saveFile(
        this, QStringLiteral("Export PDF"), m_definition.caption + QStringLiteral(".pdf"),
        QStringLiteral("PDF files (*.pdf)"));
    if (!self || path.isEmpty())
        return;
    QString error;
    if (!exportPdf(path, &error))
        Dialogs::notify(this, error);
}

} // namespace pantrio

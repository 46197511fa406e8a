#pragma once

#include "data/access/DEVendora.h"
#include "reports/engine/ReportDefinition.h"
#include "reports/engine/ReportLayout.h"

#include <QMainWindow>
#include <QPageLayout>

#include <functional>

class QLabel;
class QPrinter;
class QScrollArea;
class QSpinBox;
class QTimer;

namespace pantrio
{

class ReportPageView;

// A report's own window: pages through the report, zooms, prints on any
// printer of the system and exports PDF. Pages are painted only when they come
// into view, so a report of thousands of pages opens at once. It shows a
// snapshot of its data; setData() replaces it with a fresh one.
class ReportPreview : public QMainWindow
{
    Q_OBJECT
  public:
    explicit ReportPreview(const ReportDefinition &definition, QWidget *parent = nullptr);
    ~ReportPreview() override;

    void setData(const GroupedResult &result);
    // The first part of the data, with where the rest comes from: the first
    // page shows at once and the others follow as they are read. feed appends
    // the next part and says whether more follows.
    using Feed = std::function<bool(GroupedResult *result, bool *more, QString *error)>;
    void setData(const GroupedResult &first, Feed feed);
    // Whether every page is laid out; printing and export first read the rest.
    bool isComplete() const { return !m_feed; }
    void readAll();
    // Another design of the same report (the by-aisle list of another store).
    void setDefinition(const ReportDefinition &definition);
    const GroupedResult &data() const { return m_result; }
    const ReportDefinition &definition() const { return m_definition; }
    const ReportLayout &layout() const { return m_layout; }
    int pageCount() const { return m_layout.pageCount(); }
    QPageLayout pageLayout() const { return m_pageLayout; }

    int currentPage() const;
    void goToPage(int page);
    void setZoom(double zoom);
    double zoom() const { return m_zoom; }

    bool exportPdf(const QString &path, QString *error);
    // The text of a page, line by line, as a screen reader is told it.
    QString pageText(int page) const;
    // Prints every page on the named printer of the system.
    bool printTo(const QString &printerName, QString *error);

    void printInteractive();
    void exportPdfInteractive();

  private:
    bool printOn(QPrinter *printer, QString *error, int from = 0, int to = 0);
    void relayout();
    void readMore();
    void pagesGrew();
    void updatePageLabel();
    QString countText() const;

    ReportDefinition m_definition;
    GroupedResult m_result;
    ReportLayout m_layout;
    QPageLayout m_pageLayout;
    double m_zoom = 1.0;
    int m_describedPage = 0;
    Feed m_feed; // set while the data is still being read
    QTimer *m_reading;
    QScrollArea *m_scroll;
    ReportPageView *m_view;
    QSpinBox *m_page;
    QLabel *m_pages;
};

} // namespace pantrio

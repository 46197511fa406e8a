#pragma once

#include "reports/engine/ReportDefinition.h"

#include <QSizeF>
#include <QStringList>

namespace pantrio
{

struct GroupedResult;

// Turns a grouped result into pages of bands without painting anything, so the
// same layout feeds the preview, the printer, PDF export and the tests.
struct PlacedBand {
    const ReportSection *section = nullptr;
    double y = 0;   // twips from the top of the printable area
    int group = -1; // index into the result's groups, -1 for page/report bands
    int row = -1;   // child row within the group, detail bands only
};

struct ReportPage {
    QVector<PlacedBand> bands;
};

class ReportLayout
{
  public:
    // pageSize in twips, the whole sheet; the definition's margins are taken off.
    static ReportLayout build(const ReportDefinition &definition, const GroupedResult &result,
                              const QSizeF &pageSize);

    // The same a part at a time, for a result still being read: begin, add the
    // groups read so far (again after each part), finish. Only whole pages
    // count until then. The definition must outlive the layout.
    void begin(const ReportDefinition &definition, const QSizeF &pageSize);
    void add(const GroupedResult &result);
    void finish();
    bool isFinished() const { return m_finished; }

    const QVector<ReportPage> &pages() const { return m_pages; }
    int pageCount() const { return int(m_pages.size()); }

    // The text a text box or label shows for a band.
    static QString textOf(const ReportControl &control, const GroupedResult &result,
                          const PlacedBand &band);

    // One line per control: "page y section control text", for golden tests.
    QStringList dump(const GroupedResult &result) const;

  private:
    void place(const ReportSection &section, int group, int row);
    void startPage();
    void finishPage();
    void ensure(double height);

    QVector<ReportPage> m_pages;
    const ReportDefinition *m_def = nullptr;
    double m_usable = 0, m_bottom = 0, m_y = 0;
    ReportPage m_page; // the page being filled
    int m_groupsDone = 0;
    bool m_finished = true;
};

} // namespace pantrio

#include "reports/engine/ReportLayout.h"

#include "data/access/DEVendora.h"

namespace pantrio
{

ReportLayout ReportLayout::build(const ReportDefinition &def, const GroupedResult &result,
                                 const QSizeF &pageSize)
{
    ReportLayout layout;
    layout.begin(def, pageSize);
    layout.add(result);
    layout.finish();
    return layout;
}

void ReportLayout::place(const ReportSection &s, int group, int row)
{
    m_page.bands.append({&s, m_y, group, row});
    m_y += s.height;
}

void ReportLayout::startPage()
{
    m_page = ReportPage();
    m_y = 0;
    if (!m_def->pageHeader.isEmpty())
        place(m_def->pageHeader, -1, -1);
}

void ReportLayout::finishPage()
{
    if (!m_def->pageFooter.isEmpty())
        m_page.bands.append({&m_def->pageFooter, m_usable - m_def->pageFooter.height, -1, -1});
    m_pages.append(m_page);
}

// A band that does not fit goes to the next page whole; a band taller than a
// page is placed anyway rather than looping.
void ReportLayout::ensure(double height)
{
    if (m_y + height > m_bottom && m_y > m_def->pageHeader.height) {
        finishPage();
        startPage();
    }
}

void ReportLayout::begin(const ReportDefinition &def, const QSizeF &pageSize)
{
    m_pages.clear();
    m_def = &def;
    m_usable = pageSize.height() - def.margins.top() - def.margins.bottom();
    m_bottom = std::max(m_usable - def.pageFooter.height, def.pageHeader.height + 1);
    m_groupsDone = 0;
    m_finished = false;
    // The report header comes first, above the first page header.
    m_page = ReportPage();
    m_y = 0;
    if (!def.reportHeader.isEmpty())
        place(def.reportHeader, -1, -1);
    if (!def.pageHeader.isEmpty())
        place(def.pageHeader, -1, -1);
}

void ReportLayout::add(const GroupedResult &result)
{
    const ReportDefinition &def = *m_def;
    for (int g = m_groupsDone; g < result.groups.size(); ++g) {
        const auto &rows = result.groups.at(g).rows;
        // A group heading never stands alone at the foot of a page.
        ensure(def.groupHeader.height + (rows.isEmpty() ? 0 : def.detail.height));
        place(def.groupHeader, g, -1);
        for (int r = 0; r < rows.size(); ++r) {
            ensure(def.detail.height);
            place(def.detail, g, r);
        }
        if (!def.groupFooter.isEmpty()) {
            ensure(def.groupFooter.height);
            place(def.groupFooter, g, -1);
        }
    }
    m_groupsDone = int(result.groups.size());
}

void ReportLayout::finish()
{
    if (m_finished)
        return;
    if (!m_def->reportFooter.isEmpty()) {
        ensure(m_def->reportFooter.height);
        place(m_def->reportFooter, -1, -1);
    }
    finishPage();
    m_finished = true;
}

QString ReportLayout::textOf(const ReportControl &control, const GroupedResult &result,
                             const PlacedBand &band)
{
    if (control.kind == ReportControl::Kind::Label)
        return control.caption;
    if (control.kind != ReportControl::Kind::TextBox || band.group < 0 ||
        band.group >= result.groups.size())
        return {};
    const auto &group = result.groups.at(band.group);
    if (control.parentLevel) {
        if (control.field == result.groupField)
            return group.value.toString();
        return {};
    }
    const int f = result.childField(control.field);
    if (f < 0)
        return {};
    const int row = band.row >= 0 ? band.row : 0;
    if (row >= group.rows.size())
        return {};
    return group.rows.at(row).value(f).toString();
}

QStringList ReportLayout::dump(const GroupedResult &result) const
{
    QStringList out;
    for (int p = 0; p < m_pages.size(); ++p) {
        for (const PlacedBand &b : m_pages.at(p).bands) {
            for (const ReportControl &c : b.section->controls) {
                if (c.kind == ReportControl::Kind::Shape)
                    continue;
                out << QStringLiteral("%1 %2 %3 %4 %5")
                           .arg(p + 1)
                           .arg(b.y)
                           .arg(b.section->name, c.name, textOf(c, result, b));
            }
        }
    }
    return out;
}

} // namespace pantrio

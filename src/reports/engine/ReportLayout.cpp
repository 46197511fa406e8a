#include "reports/engine/ReportLayout.h"

#include "data/access/DEVendora.h"

namespace pantrio
{

ReportLayout ReportLayout::build(const ReportDefinition &def, const GroupedResult &result,
                                 const QSizeF &pageSize)
{
    ReportLayout layout;
    const double usable = pageSize.height() - def.margins.top() - def.margins.bottom();
    const double footer = def.pageFooter.height;
    const double bottom = std::max(usable - footer, def.pageHeader.height + 1);

    ReportPage page;
    double y = 0;
    auto place = [&](const ReportSection &s, int group, int row) {
        page.bands.append({&s, y, group, row});
        y += s.height;
    };
    auto startPage = [&]() {
        page = ReportPage();
        y = 0;
        if (!def.pageHeader.isEmpty())
            place(def.pageHeader, -1, -1);
    };
    auto finishPage = [&]() {
        if (!def.pageFooter.isEmpty())
            page.bands.append({&def.pageFooter, usable - footer, -1, -1});
        layout.m_pages.append(page);
    };
    // A band that does not fit goes to the next page whole; a band taller than
    // a page is placed anyway rather than looping.
    auto ensure = [&](double height) {
        if (y + height > bottom && y > def.pageHeader.height) {
            finishPage();
            startPage();
        }
    };

    // The report header comes first, above the first page header.
    page = ReportPage();
    y = 0;
    if (!def.reportHeader.isEmpty())
        place(def.reportHeader, -1, -1);
    if (!def.pageHeader.isEmpty())
        place(def.pageHeader, -1, -1);

    for (int g = 0; g < result.groups.size(); ++g) {
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
    if (!def.reportFooter.isEmpty()) {
        ensure(def.reportFooter.height);
        place(def.reportFooter, -1, -1);
    }
    finishPage();
    return layout;
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

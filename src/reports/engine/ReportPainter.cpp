#include "reports/engine/ReportPainter.h"

#include "data/access/DEVendora.h"

#include <QFontMetricsF>
#include <QPagedPaintDevice>
#include <QPainter>

#include <vector>

namespace pantrio
{

// Fonts are sized in twips (20 to the point) because the painter draws in twips.
QFont ReportPainter::fontOf(const FontSpec &design)
{
    QFont f(design.family);
    f.setPixelSize(qMax(1, qRound(design.points * 20)));
    f.setBold(design.bold);
    f.setItalic(design.italic);
    f.setUnderline(design.underline);
    // No ligatures: text copied from a PDF then reads "ffi", not one sign.
    f.setStyleStrategy(QFont::PreferNoShaping);
    return f;
}

QSizeF ReportPainter::pageSizeTwips(QPagedPaintDevice *device)
{
    const QSizeF inches = device->pageLayout().fullRect(QPageLayout::Inch).size();
    return inches * 1440.0;
}

void ReportPainter::paintPage(QPainter &painter, const ReportDefinition &def,
                              const GroupedResult &result, const ReportPage &page)
{
    // Each design's font and its metrics are made once a page, not once a
    // text: at 100,000 lines that is most of the engine's own time.
    struct Face {
        const FontSpec *design;
        QFont font;
        QFontMetricsF metrics;
    };
    std::vector<Face> faces;
    faces.reserve(8);
    auto face = [&](const FontSpec *design) -> const Face & {
        for (const Face &f : faces)
            if (f.design == design)
                return f;
        const QFont font = fontOf(*design);
        faces.push_back({design, font, QFontMetricsF(font, painter.device())});
        return faces.back();
    };
    const FontSpec *current = nullptr;
    for (const PlacedBand &band : page.bands) {
        const double top = def.margins.top() + band.y;
        const double left = def.margins.left();
        for (const ReportControl &c : band.section->controls) {
            const QRectF r = c.geometry.translated(left, top);
            if (c.kind == ReportControl::Kind::Shape) {
                painter.save();
                painter.setPen(QPen(Qt::black, 15));
                painter.setBrush(c.fill ? QBrush(*c.fill) : Qt::NoBrush);
                if (c.shape == ReportControl::Shape::Circle) {
                    const double d = std::min(r.width(), r.height());
                    painter.drawEllipse(
                        QRectF(r.center().x() - d / 2, r.center().y() - d / 2, d, d));
                } else {
                    painter.drawRect(r);
                }
                painter.restore();
                continue;
            }
            if (c.background)
                painter.fillRect(r, *c.background);
            if (c.border) {
                painter.save();
                painter.setPen(QPen(Qt::black, 15));
                painter.setBrush(Qt::NoBrush);
                painter.drawRect(r);
                painter.restore();
            }
            const QString text = ReportLayout::textOf(c, result, band);
            if (text.isEmpty())
                continue;
            const Face &f = face(c.font ? &*c.font : &def.font);
            if (current != f.design) {
                current = f.design;
                painter.setFont(f.font);
                painter.setPen(Qt::black);
            }
            // Long text is cut at its own box, never drawn over the next column.
            const QRectF inner = r.adjusted(30, 0, -30, 0);
            const QString shown = f.metrics.elidedText(text, Qt::ElideRight, inner.width());
            const int flags = int(c.alignment | Qt::AlignTop) | Qt::TextSingleLine;
            // Cut at the box's foot too, where a line is taller than its box.
            if (f.metrics.height() > r.height()) {
                painter.save();
                painter.setClipRect(r);
                painter.drawText(inner, flags, shown);
                painter.restore();
            } else {
                painter.drawText(inner, flags, shown);
            }
        }
    }
}

bool ReportPainter::print(const ReportDefinition &def, const GroupedResult &result,
                          QPagedPaintDevice *device, QString *error, int fromPage, int toPage)
{
    const ReportLayout layout = ReportLayout::build(def, result, pageSizeTwips(device));
    QPainter painter;
    if (!painter.begin(device)) {
        if (error)
            *error = QStringLiteral("The printer could not be started; nothing was printed.");
        return false;
    }
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setRenderHint(QPainter::TextAntialiasing);
    // Draw in twips from the sheet's top left corner.
    const QRect full = device->pageLayout().fullRectPixels(device->logicalDpiX());
    const QRect paint = device->pageLayout().paintRectPixels(device->logicalDpiX());
    painter.translate(full.left() - paint.left(), full.top() - paint.top());
    painter.scale(device->logicalDpiX() / 1440.0, device->logicalDpiY() / 1440.0);

    const int first = fromPage > 0 ? fromPage : 1;
    const int last = toPage > 0 ? std::min(toPage, layout.pageCount()) : layout.pageCount();
    for (int p = first; p <= last; ++p) {
        if (p > first)
            device->newPage();
        paintPage(painter, def, result, layout.pages().at(p - 1));
    }
    painter.end();
    return true;
}

} // namespace pantrio

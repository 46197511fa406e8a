#pragma once

#include "reports/engine/ReportLayout.h"

class QFont;
class QPagedPaintDevice;
class QPainter;

namespace pantrio
{

// Paints laid-out pages on any paged device (printer, PDF writer, preview).
class ReportPainter
{
  public:
    // Lays the result out for the device's page and paints every page (or the
    // pages from..to, 1-based). False with a reason when painting cannot begin.
    static bool print(const ReportDefinition &definition, const GroupedResult &result,
                      QPagedPaintDevice *device, QString *error, int fromPage = 0, int toPage = 0);

    // The sheet size of a device in twips.
    static QSizeF pageSizeTwips(QPagedPaintDevice *device);

    // The font a design names, sized in twips (the painter draws in twips).
    static QFont fontOf(const FontSpec &design);

    static void paintPage(QPainter &painter, const ReportDefinition &definition,
                          const GroupedResult &result, const ReportPage &page);
};

} // namespace pantrio

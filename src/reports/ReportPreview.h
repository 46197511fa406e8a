#pragma once

#include "DEVendora.h"
#include "ReportDefinition.h"

#include <QPrintPreviewDialog>

namespace pantrio {

// A report's own window: pages, zoom, print on any printer, export to PDF. It
// shows a snapshot of its data; setData() replaces it with a fresh one.
class ReportPreview : public QPrintPreviewDialog
{
    Q_OBJECT
public:
    ReportPreview(const ReportDefinition &definition, QWidget *parent = nullptr);

    void setData(const GroupedResult &result);
    const GroupedResult &data() const { return m_result; }
    const ReportDefinition &definition() const { return m_definition; }
    int pageCount();

    bool exportPdf(const QString &path, QString *error);
    // Prints every page on the named printer of the system.
    bool printTo(const QString &printerName, QString *error);

    void exportPdfInteractive();

private:
    void paint(QPrinter *printer);

    ReportDefinition m_definition;
    GroupedResult m_result;
};

} // namespace pantrio

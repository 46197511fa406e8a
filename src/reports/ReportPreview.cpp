#include "ReportPreview.h"

#include "Dialogs.h"
#include "ReportLayout.h"
#include "ReportPainter.h"

#include <QAction>
#include <QPainter>
#include <QPdfWriter>
#include <QPrintPreviewWidget>
#include <QPrinter>
#include <QToolBar>

namespace pantrio {

ReportPreview::ReportPreview(const ReportDefinition &definition, QWidget *parent)
    : QPrintPreviewDialog(parent, Qt::Window), m_definition(definition)
{
    setObjectName(definition.name);
    setWindowTitle(definition.caption);
    setModal(false);
    printer()->setDocName(definition.caption);
    printer()->setPageMargins(QMarginsF(0, 0, 0, 0), QPageLayout::Millimeter);
    connect(this, &QPrintPreviewDialog::paintRequested, this, &ReportPreview::paint);
    if (QToolBar *bar = findChild<QToolBar *>()) {
        bar->addSeparator();
        QAction *pdf = bar->addAction(QStringLiteral("Export PDF…"));
        pdf->setObjectName(QStringLiteral("actExportPdf"));
        pdf->setToolTip(QStringLiteral("Save the report as a PDF file"));
        connect(pdf, &QAction::triggered, this, &ReportPreview::exportPdfInteractive);
    }
    resize(900, 1000);
}

void ReportPreview::setData(const GroupedResult &result)
{
    m_result = result;
    // Re-render only when the window already shows pages; the first show() does it.
    if (auto *preview = isVisible() ? findChild<QPrintPreviewWidget *>() : nullptr)
        preview->updatePreview();
}

int ReportPreview::pageCount()
{
    return ReportLayout::build(m_definition, m_result, ReportPainter::pageSizeTwips(printer()))
        .pageCount();
}

void ReportPreview::paint(QPrinter *target)
{
    QString error;
    if (!ReportPainter::print(m_definition, m_result, target, &error))
        Dialogs::notify(this, error);
}

bool ReportPreview::exportPdf(const QString &path, QString *error)
{
    QPdfWriter writer(path);
    writer.setTitle(m_definition.caption);
    writer.setCreator(QStringLiteral("Pantrio"));
    writer.setResolution(600);
    writer.setPageLayout(printer()->pageLayout());
    writer.setPageMargins(QMarginsF(0, 0, 0, 0), QPageLayout::Millimeter);
    return ReportPainter::print(m_definition, m_result, &writer, error);
}

bool ReportPreview::printTo(const QString &printerName, QString *error)
{
    QPrinter p(QPrinter::HighResolution);
    p.setPrinterName(printerName);
    if (p.printerName() != printerName || !p.isValid()) {
        if (error)
            *error = QStringLiteral("The printer %1 is not available.").arg(printerName);
        return false;
    }
    p.setDocName(m_definition.caption);
    p.setPageMargins(QMarginsF(0, 0, 0, 0), QPageLayout::Millimeter);
    return ReportPainter::print(m_definition, m_result, &p, error);
}

void ReportPreview::exportPdfInteractive()
{
    const QString path = Dialogs::instance().saveFileName(
        this, QStringLiteral("Export PDF"), m_definition.caption + QStringLiteral(".pdf"),
        QStringLiteral("PDF files (*.pdf)"));
    if (path.isEmpty())
        return;
    QString error;
    if (!exportPdf(path, &error))
        Dialogs::notify(this, error);
}

} // namespace pantrio

#include "reports/PrintCommands.h"

#include "data/DEVendora.h"
#include "data/DataControl.h"
#include "reports/ReportPreview.h"
#include "uibase/Dialogs.h"

#include <QPointer>

namespace pantrio::PrintCommands
{

namespace
{

QPointer<ReportPreview> g_windows[3];

struct EntryInfo {
    DEVendora::Command command;
    ReportDefinition (*definition)();
};

EntryInfo info(Entry e)
{
    switch (e) {
    case Entry::Pantrio:
        return {DEVendora::ListPrint_Grouping, &ReportDefinition::rptPrint};
    case Entry::FullList:
        return {DEVendora::All_Grouping, &ReportDefinition::rptAll};
    case Entry::ByAisle:
    default:
        return {DEVendora::ListPrintAisle_Grouping, &ReportDefinition::rptAisle};
    }
}

} // namespace

void run(QWidget *parent, Entry entry, DataControl *source, DEVendora &de)
{
    const EntryInfo e = info(entry);
    QString error;
    RecordSet *rs = source->recordset();

    // The full list counts the catalogue itself, not the view's category filter.
    qlonglong count = rs->recordCount();
    if (entry == Entry::FullList && !de.CatalogueCount(&count, &error)) {
        Dialogs::notify(parent, error);
        return;
    }
    if (count == 0) {
        Dialogs::notify(parent, QStringLiteral("No records to show."));
        return;
    }
    // Save first, so a quantity just typed in the grid is printed.
    if ((rs->hasCurrent() && !rs->update(&error)) || !rs->updateBatch(&error) ||
        !source->refresh(&error)) {
        Dialogs::notify(parent, error);
        return;
    }
    if (de.isOpen(e.command))
        de.close(e.command);
    if (!de.run(e.command, &error)) {
        Dialogs::notify(parent, error);
        return;
    }
    ReportPreview *w = g_windows[int(entry)];
    if (!w) {
        w = new ReportPreview(e.definition());
        w->setAttribute(Qt::WA_DeleteOnClose);
        g_windows[int(entry)] = w;
    }
    w->setData(*de.result(e.command));
    // The preview holds its own copy; the command's result closes again, as
    // the full list's does when its report ends.
    if (entry == Entry::FullList)
        de.close(e.command);
    w->show();
    w->raise();
    w->activateWindow();
}

ReportPreview *window(Entry entry)
{
    return g_windows[int(entry)];
}

void closeAll()
{
    for (auto &w : g_windows)
        delete w.data();
}

QString versionText()
{
    return QStringLiteral("Version: %1.%2.%3")
        .arg(PANTRIO_VERSION_MAJOR)
        .arg(PANTRIO_VERSION_MINOR)
        .arg(PANTRIO_VERSION_PATCH);
}

} // namespace pantrio::PrintCommands

#include "reports/PrintCommands.h"
#include "uibase/TopLevelWindows.h"

#include "data/access/DEVendora.h"
#include "data/access/DataControl.h"
#include "data/household/Stores.h"
#include "reports/ReportPreview.h"
#include "uibase/Dialogs.h"

#include <QPointer>

namespace pantrio::PrintCommands
{

namespace
{

QPointer<ReportPreview> g_windows[3];

DEVendora::Command commandOf(Entry e)
{
    switch (e) {
    case Entry::Pantrio:
        return DEVendora::ListPrint_Grouping;
    case Entry::FullList:
        return DEVendora::All_Grouping;
    case Entry::ByAisle:
    default:
        return DEVendora::ListPrintAisle_Grouping;
    }
}

ReportDefinition definitionOf(Entry e, const std::optional<Stores::Store> &store)
{
    switch (e) {
    case Entry::Pantrio:
        return ReportDefinition::rptPrint();
    case Entry::FullList:
        return ReportDefinition::rptAll();
    case Entry::ByAisle:
    default:
        return ReportDefinition::rptAisle(store ? store->name : QString());
    }
}

} // namespace

void run(QWidget *parent, Entry entry, DataControl *source, DEVendora &de)
{
    // By aisle, the list runs in the current store's order, if one is chosen.
    std::optional<Stores::Store> store;
    QString error;
    if (entry == Entry::ByAisle) {
        if (!de.currentStore(&store, &error)) {
            Dialogs::notify(parent, error);
            return;
        }
    }
    runFor(parent, entry, source, de, store);
}

void runFor(QWidget *parent, Entry entry, DataControl *source, DEVendora &de,
            const std::optional<Stores::Store> &store)
{
    const DEVendora::Command command = commandOf(entry);
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
    if (de.isOpen(command))
        de.close(command);
    const bool ran =
        store ? de.runAisleForStore(store->id, store->name, &error) : de.run(command, &error);
    if (!ran) {
        Dialogs::notify(parent, error);
        return;
    }
    const ReportDefinition definition = definitionOf(entry, store);
    ReportPreview *w = g_windows[int(entry)];
    if (!w) {
        w = new ReportPreview(definition);
        w->setAttribute(Qt::WA_DeleteOnClose);
        g_windows[int(entry)] = w;
        TopLevelWindows::adopt(w);
    } else if (w->definition().caption != definition.caption) {
        // Another store (or none): its name is in the caption and the header.
        w->setDefinition(definition);
    }
    w->setData(*de.result(command));
    // The preview holds its own copy; the command's result closes again, as
    // the full list's does when its report ends.
    if (entry == Entry::FullList)
        de.close(command);
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

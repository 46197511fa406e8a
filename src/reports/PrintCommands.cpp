#include "reports/PrintCommands.h"
#include "uibase/TopLevelWindows.h"

#include "data/access/DEVendora.h"
#include "data/access/DataControl.h"
#include "data/shopping/Stores.h"
#include "reports/ReportPreview.h"
#include "uibase/Dialogs.h"

#include <QPointer>

namespace pantrio::PrintCommands
{

namespace
{

QPointer<ReportPreview> g_windows[3];

// Items read before the full list's preview shows (more than a page holds),
// then at each turn of the event loop while it is shown.
constexpr int kFirstRows = 200;
constexpr int kMoreRows = 2000;

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
    // Save first, so a quantity just typed in the grid is printed. Without
    // one, the rows shown are the file's (every change is announced to the
    // window): reading 100,000 of them again would only delay the report.
    if (rs->hasPendingChanges() &&
        ((rs->hasCurrent() && !rs->update(&error)) || !rs->updateBatch(&error) ||
         !source->refresh(&error))) {
        Dialogs::notify(parent, error);
        return;
    }
    if (de.isOpen(command))
        de.close(command);
    // The full list is read a category at a time: its first page shows at
    // once, the preview reads the rest while the user looks at it.
    std::shared_ptr<CatalogueReader> reader;
    GroupedResult first;
    bool ran = false;
    if (entry == Entry::FullList) {
        std::unique_ptr<CatalogueReader> made;
        bool more = false;
        ran = de.catalogueReader(&made, &error) && made->start(&first, &error) &&
              made->read(&first, kFirstRows, &more, &error);
        if (ran && more)
            reader = std::move(made);
    } else {
        ran = store ? de.runAisleForStore(store->id, store->name, &error) : de.run(command, &error);
    }
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
    if (entry == Entry::FullList) {
        ReportPreview::Feed feed;
        if (reader)
            feed = [reader](GroupedResult *result, bool *more, QString *e) {
                return reader->read(result, kMoreRows, more, e);
            };
        w->setData(first, feed);
    } else {
        w->setData(*de.result(command));
    }
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

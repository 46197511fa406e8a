// The main window's layout: its controls in tab order, its menus, and what
// each is bound to. Positions are in twips, as the window was designed.
#include "forms/main/frmVendora.h"

#include "data/access/RecordSet.h"
#include "data/models/RecordSetModel.h"
#include "forms/main/CatalogueView.h"
#include "uibase/ControlTable.h"
#include "uibase/Design.h"
#include "uibase/LongText.h"

#include <QAction>
#include <QHeaderView>
#include <QLabel>
#include <QListView>
#include <QListWidget>
#include <QPushButton>
#include <QStatusBar>
#include <QTableView>

namespace pantrio
{

namespace
{
// Grid column widths in twips, as designed and as "Click if not updating" restores them.
constexpr double kGridWidths[] = {3809.764, 3270.047, 1739.906, 1739.906, 915.024};
} // namespace

void frmVendora::buildControls()
{
    auto *central = new QWidget(this);
    central->setObjectName(QStringLiteral("client"));
    central->setFixedSize(twips(11985), twips(8940));
    setCentralWidget(central);

    // clang-format off
    const QHash<QString, QWidget *> c = pantrio::buildControls(central, {
        {.name = "lstCat", .make = make<QListView>, .twips = {120, 360, 2175, 3900},
         .accessibleName = "Categories"},
        {.name = "lvwItems", .make = make<CatalogueView>, .twips = {2640, 120, 9255, 4455},
         .accessibleName = "Catalogue"},
        {.name = "cmdAddToList", .make = make<QPushButton>, .twips = {2640, 4680, 7575, 495},
         .caption = "Add Checked Items to Pantrio", .font = "Tahoma", .points = 9.75,
         .helpTopic = 17},
        {.name = "grdList", .make = make<QTableView>, .twips = {120, 6240, 11775, 2535},
         .font = "Tahoma", .points = 9.75, .accessibleName = "Shopping list"},
        // The number itself is what a screen reader reads; this says what it counts.
        {.name = "lblCount", .make = make<QLabel>, .twips = {10680, 5280, 1215, 375},
         .description = "Number of lines on the list"},
        {.name = "cmdDelCat", .make = make<QPushButton>, .twips = {120, 4320, 2175, 375},
         .caption = "Delete Category", .font = "Tahoma", .points = 9.75, .helpTopic = 19},
        {.name = "cmdSelNone", .make = make<QPushButton>, .twips = {2280, 0, 375, 375},
         .caption = "\u00D8", .helpTopic = 15, .accessibleName = "Clear all check marks"},
        {.name = "cmdQuit", .make = make<QPushButton>, .twips = {5040, 5400, 1680, 615},
         .helpTopic = 23, .accessibleName = "Exit"},
        {.name = "cmdClearAll", .make = make<QPushButton>, .twips = {120, 5280, 1815, 375},
         .caption = "Delete All", .font = "Tahoma", .points = 9.75, .helpTopic = 20},
        {.name = "cmdRef", .make = make<QPushButton>, .twips = {120, 5640, 1815, 495},
         .caption = "Click if not updating", .font = "Tahoma", .points = 9.75, .helpTopic = 21},
        {.name = "cmdAll", .make = make<QPushButton>, .twips = {120, 0, 2175, 375},
         .caption = "View All"},
        {.name = "lstRecent", .make = make<QListWidget>, .twips = {7440, 5280, 3015, 780},
         .accessibleName = "Items added since start-up"},
    });
    // clang-format on
    lstCat = static_cast<QListView *>(c.value("lstCat"));
    lvwItems = static_cast<CatalogueView *>(c.value("lvwItems"));
    cmdAddToList = static_cast<QPushButton *>(c.value("cmdAddToList"));
    grdList = static_cast<QTableView *>(c.value("grdList"));
    lblCount = static_cast<QLabel *>(c.value("lblCount"));
    cmdDelCat = static_cast<QPushButton *>(c.value("cmdDelCat"));
    cmdSelNone = static_cast<QPushButton *>(c.value("cmdSelNone"));
    cmdQuit = static_cast<QPushButton *>(c.value("cmdQuit"));
    cmdClearAll = static_cast<QPushButton *>(c.value("cmdClearAll"));
    cmdRef = static_cast<QPushButton *>(c.value("cmdRef"));
    cmdAll = static_cast<QPushButton *>(c.value("cmdAll"));
    lstRecent = static_cast<QListWidget *>(c.value("lstRecent"));

    lstCat->setEditTriggers(QAbstractItemView::NoEditTriggers);
    m_catModel->setColumns({QStringLiteral("Categories")}); // the ID stays out of sight and hearing
    lstCat->setModel(m_catModel);

    grdList->setModel(m_listModel);
    grdList->setItemDelegate(new LongTextDelegate(grdList));
    grdList->setSelectionBehavior(QAbstractItemView::SelectItems);
    grdList->setEditTriggers(QAbstractItemView::DoubleClicked | QAbstractItemView::EditKeyPressed |
                             QAbstractItemView::AnyKeyPressed | QAbstractItemView::SelectedClicked);
    fitGridRowsToFont();
    // Tab leaves the grid for the next control; the arrow keys move within it.
    grdList->setTabKeyNavigation(false);
    grdList->installEventFilter(this);
    m_listModel->setReadOnlyFields({QStringLiteral("ID")});

    // The Exit button shows a picture on white; the red one while held down.
    cmdQuit->setFlat(true);
    cmdQuit->setAutoFillBackground(true);
    cmdQuit->setStyleSheet(QStringLiteral("QPushButton { background: white; border: none; }"));
    const QIcon blue(QStringLiteral(":/pantrio/exit_blue.png"));
    const QIcon red(QStringLiteral(":/pantrio/exit_red.png"));
    cmdQuit->setIcon(blue);
    cmdQuit->setIconSize(QSize(100, 31));
    connect(cmdQuit, &QPushButton::pressed, cmdQuit, [this, red] {
        cmdQuit->setIcon(red);
        cmdQuit->setIconSize(QSize(110, 39));
    });
    connect(cmdQuit, &QPushButton::released, cmdQuit, [this, blue] {
        cmdQuit->setIcon(blue);
        cmdQuit->setIconSize(QSize(100, 31));
    });

    connect(lstCat, &QListView::clicked, this, [this] { lstCat_Click(); });
    connect(lvwItems, &CatalogueView::anyClick, this, &frmVendora::lvwItems_Click);
    const struct {
        QPushButton *button;
        void (frmVendora::*handler)();
    } clicks[] = {
        {cmdAll, &frmVendora::cmdAll_Click},       {cmdSelNone, &frmVendora::cmdSelNone_Click},
        {cmdQuit, &frmVendora::cmdQuit_Click},     {cmdAddToList, &frmVendora::cmdAddToList_Click},
        {cmdRef, &frmVendora::cmdRef_Click},       {cmdClearAll, &frmVendora::cmdClearAll_Click},
        {cmdDelCat, &frmVendora::cmdDelCat_Click},
    };
    for (const auto &k : clicks)
        connect(k.button, &QPushButton::clicked, this, k.handler);
    // A cell's edit ends when the grid moves on, so by then the current row may
    // be another one: the edited row is kept for the handler.
    connect(m_listModel, &RecordSetModel::cellEdited, this, [this](int row, int column) {
        m_editedRow = row;
        grdList_AfterColEdit(column);
    });
}

void frmVendora::buildMenus()
{
    // File comes first, before the menus the window has always had.
    // clang-format off
    QHash<QString, QAction *> a = addMenu(this, "mnuFile", "File", {
        {"mnuBackUp", "Back Up Now…"}, {"mnuRestore", "Restore…"}, {nullptr, nullptr},
        {"mnuImport", "Import Catalogue…"}, {"mnuExportCatalogue", "Export Catalogue…"},
        {"mnuExportList", "Export Shopping List…"},
        {"mnuExportPhone", "Export List for Phone…"}, {"mnuShowQr", "Show List as QR Code…"},
        {"mnuCopyText", "Copy List as Text"}, {"mnuShare", "Share List on Home Network…"},
        {nullptr, nullptr},
        {"mnuImportStores", "Import Store Aisles…"}, {"mnuExportStores", "Export Store Aisles…"},
        {"mnuImportMeals", "Import Meals…"}, {"mnuExportMeals", "Export Meals…"}});
    a.insert(addMenu(this, nullptr, nullptr, {{"mnuAdd", "Add"}, {"mnuStores", "Stores…"},
                                              {"mnuMeals", "Meals…"}, {"mnuUsual", "Usually Bought…"}}));
    a.insert(addMenu(this, "mnuOpt", "Options", {
        {"mnuFont", "Font"}, {"mnuBackColor", "Back Color"},
        {"mnuFontColor", "Font && Form Color"}}));
    a.insert(addMenu(this, "mnuPrintShow", "Print", {
        {"mnuPrint", "Pantrio"}, {"mnuPrintFull", "Full List"},
        {"mnuAislePrint", "Pantrio by Aisle"},
        {"mnuAislePrintStore", "Pantrio by Aisle for Another Store…"}}));
    a.insert(addMenu(this, "mnuHelp", "Help", {
        {"mnuHelpShow", "Show Help"}, {"mnuVersion", "Version"}}));
    // clang-format on
    const struct {
        const char *name;
        void (frmVendora::*handler)();
    } handlers[] = {
        {"mnuBackUp", &frmVendora::mnuBackUp_Click},
        {"mnuRestore", &frmVendora::mnuRestore_Click},
        {"mnuImport", &frmVendora::mnuImport_Click},
        {"mnuExportCatalogue", &frmVendora::mnuExportCatalogue_Click},
        {"mnuExportList", &frmVendora::mnuExportList_Click},
        {"mnuExportPhone", &frmVendora::mnuExportPhone_Click},
        {"mnuShowQr", &frmVendora::mnuShowQr_Click},
        {"mnuCopyText", &frmVendora::mnuCopyText_Click},
        {"mnuShare", &frmVendora::mnuShare_Click},
        {"mnuAdd", &frmVendora::mnuAdd_Click},
        {"mnuStores", &frmVendora::mnuStores_Click},
        {"mnuImportStores", &frmVendora::mnuImportStores_Click},
        {"mnuExportStores", &frmVendora::mnuExportStores_Click},
        {"mnuMeals", &frmVendora::mnuMeals_Click},
        {"mnuUsual", &frmVendora::mnuUsual_Click},
        {"mnuImportMeals", &frmVendora::mnuImportMeals_Click},
        {"mnuExportMeals", &frmVendora::mnuExportMeals_Click},
        {"mnuAislePrintStore", &frmVendora::mnuAislePrintStore_Click},
        {"mnuFont", &frmVendora::mnuFont_Click},
        {"mnuBackColor", &frmVendora::mnuBackColor_Click},
        {"mnuFontColor", &frmVendora::mnuFontColor_Click},
        {"mnuPrint", &frmVendora::mnuPrint_Click},
        {"mnuPrintFull", &frmVendora::mnuPrintFull_Click},
        {"mnuAislePrint", &frmVendora::mnuAislePrint_Click},
        {"mnuHelpShow", &frmVendora::mnuHelpShow_Click},
        {"mnuVersion", &frmVendora::mnuVersion_Click},
    };
    for (const auto &h : handlers)
        connect(a.value(QLatin1String(h.name)), &QAction::triggered, this, h.handler);
}

void frmVendora::setReadOnly(const QString &reason)
{
    // Each command that would change the file says why it is off, once, in
    // place, instead of failing each time it is used.
    const QString why = QStringLiteral("Pantrio can only read this file. ") + reason;
    m_readOnly = true;
    for (QWidget *w : {static_cast<QWidget *>(cmdAddToList), static_cast<QWidget *>(cmdClearAll),
                       static_cast<QWidget *>(cmdDelCat)}) {
        w->setEnabled(false);
        w->setToolTip(why);
        w->setAccessibleDescription(why);
    }
    grdList->setEditTriggers(QAbstractItemView::NoEditTriggers);
    grdList->setAccessibleDescription(why);
    for (const char *name :
         {"mnuAdd", "mnuStores", "mnuRestore", "mnuImport", "mnuImportStores", "mnuImportMeals", "mnuRemoveTicked", "mnuFont",
          "mnuBackColor", "mnuFontColor"}) {
        if (QAction *a = findChild<QAction *>(QLatin1String(name))) {
            a->setEnabled(false);
            a->setToolTip(why);
            a->setStatusTip(why);
        }
    }
    auto *notice = new QLabel(QStringLiteral("Read only: ") + reason, this);
    notice->setObjectName(QStringLiteral("readOnlyNotice"));
    notice->setTextFormat(Qt::PlainText); // the reason names the file
    notice->setWordWrap(true);
    statusBar()->addWidget(notice, 1);
}

void frmVendora::fitGridRowsToFont()
{
    // Rows as tall as the grid's font, stored appearance included, so no
    // descender is cut.
    grdList->verticalHeader()->setDefaultSectionSize(grdList->fontMetrics().height() + 6);
}

void frmVendora::restoreGridWidths()
{
    for (int i = 0; i < 5 && i < m_listModel->columnCount(); ++i)
        grdList->setColumnWidth(i, twips(kGridWidths[i]));
}

} // namespace pantrio

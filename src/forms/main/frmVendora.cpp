#include "frmVendora.h"

#include "Appearance.h"
#include "CatalogueView.h"
#include "DEVendora.h"
#include "DataControl.h"
#include "Design.h"
#include "Dialogs.h"
#include "FileCommands.h"
#include "HelpViewer.h"
#include "LongText.h"
#include "Module1.h"
#include "PrintCommands.h"
#include "RecordSetModel.h"
#include "RecordSources.h"
#include "Plural.h"
#include "ShoppingList.h"
#include "frmAdding.h"

#include <QEvent>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QListView>
#include <QListWidget>
#include <QMenuBar>
#include <QPushButton>
#include <QStatusBar>
#include <QStyle>
#include <QTableView>

namespace pantrio
{

namespace
{
constexpr int kWindowTopic = 10;
// Grid column widths in twips, as designed and as "Click if not updating" restores them.
constexpr double kGridWidths[] = {3809.764, 3270.047, 1739.906, 1739.906, 915.024};
} // namespace

frmVendora::frmVendora()
    : m_adoCat(new DataControl(QStringLiteral("adoCat"), QStringLiteral("Category List"),
                               Sources::mainCategories(), this)),
      m_adoVendora(new DataControl(QStringLiteral("adoVendora"), QStringLiteral("Vendora"),
                                   Sources::catalogue(), this)),
      m_adoList(new DataControl(QStringLiteral("adoList"), QStringLiteral("List"),
                                Sources::shoppingList(), this)),
      m_adoSettings(new DataControl(QStringLiteral("adoSettings"), QStringLiteral("Settings"),
                                    Sources::settings(QStringLiteral("Settings")), this)),
      m_catModel(new RecordSetModel(this)), m_listModel(new RecordSetModel(this))
{
    setObjectName(QStringLiteral("frmVendora"));
    setWindowTitle(QStringLiteral("Pantrio"));
    setAttribute(Qt::WA_DeleteOnClose, false);
    setFont(designedFont());
    buildControls();
    buildMenus();
    enableMenuKey(this);
}

frmVendora::~frmVendora() = default;

QFont frmVendora::designedFont()
{
    return designFont(QStringLiteral("Souvenir Lt BT"), 9.75, true);
}

void frmVendora::buildControls()
{
    auto *central = new QWidget(this);
    central->setObjectName(QStringLiteral("client"));
    central->setFixedSize(twips(11985), twips(8940));
    setCentralWidget(central);

    const QFont tahoma = designFont(QStringLiteral("Tahoma"), 9.75);
    auto button = [&](const char *name, const QString &caption, bool ownFont) {
        auto *b = new QPushButton(caption, central);
        b->setObjectName(QLatin1String(name));
        b->setAccessibleName(caption);
        if (ownFont)
            b->setFont(tahoma);
        return b;
    };

    // Created in tab order.
    lstCat = new QListView(central);
    lstCat->setObjectName(QStringLiteral("lstCat"));
    lstCat->setAccessibleName(QStringLiteral("Categories"));
    lstCat->setEditTriggers(QAbstractItemView::NoEditTriggers);
    m_catModel->setColumns({QStringLiteral("Categories")}); // the ID stays out of sight and hearing
    lstCat->setModel(m_catModel);
    placeTwips(lstCat, 120, 360, 2175, 3900);

    lvwItems = new CatalogueView(central);
    lvwItems->setObjectName(QStringLiteral("lvwItems"));
    lvwItems->setAccessibleName(QStringLiteral("Catalogue"));
    placeTwips(lvwItems, 2640, 120, 9255, 4455);

    cmdAddToList = button("cmdAddToList", QStringLiteral("Add Checked Items to Pantrio"), true);
    placeTwips(cmdAddToList, 2640, 4680, 7575, 495);
    setHelpTopic(cmdAddToList, 17);

    grdList = new QTableView(central);
    grdList->setObjectName(QStringLiteral("grdList"));
    grdList->setAccessibleName(QStringLiteral("Shopping list"));
    grdList->setFont(tahoma);
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
    placeTwips(grdList, 120, 6240, 11775, 2535);

    lblCount = new QLabel(central);
    lblCount->setObjectName(QStringLiteral("lblCount"));
    // The number itself is what a screen reader reads; this says what it counts.
    lblCount->setAccessibleDescription(QStringLiteral("Number of lines on the list"));
    placeTwips(lblCount, 10680, 5280, 1215, 375);

    cmdDelCat = button("cmdDelCat", QStringLiteral("Delete Category"), true);
    placeTwips(cmdDelCat, 120, 4320, 2175, 375);
    setHelpTopic(cmdDelCat, 19);

    cmdSelNone = button("cmdSelNone", QString(QChar(0x00D8)), false);
    cmdSelNone->setAccessibleName(QStringLiteral("Clear all check marks"));
    placeTwips(cmdSelNone, 2280, 0, 375, 375);
    setHelpTopic(cmdSelNone, 15);

    cmdQuit = button("cmdQuit", QString(), false);
    cmdQuit->setAccessibleName(QStringLiteral("Exit"));
    cmdQuit->setFlat(true);
    cmdQuit->setAutoFillBackground(true);
    cmdQuit->setStyleSheet(QStringLiteral("QPushButton { background: white; border: none; }"));
    const QIcon blue(QStringLiteral(":/pantrio/exit_blue.png"));
    const QIcon red(QStringLiteral(":/pantrio/exit_red.png"));
    cmdQuit->setIcon(blue);
    cmdQuit->setIconSize(QSize(100, 31));
    // The red picture shows while the button is held down.
    connect(cmdQuit, &QPushButton::pressed, cmdQuit, [this, red] {
        cmdQuit->setIcon(red);
        cmdQuit->setIconSize(QSize(110, 39));
    });
    connect(cmdQuit, &QPushButton::released, cmdQuit, [this, blue] {
        cmdQuit->setIcon(blue);
        cmdQuit->setIconSize(QSize(100, 31));
    });
    placeTwips(cmdQuit, 5040, 5400, 1680, 615);
    setHelpTopic(cmdQuit, 23);

    cmdClearAll = button("cmdClearAll", QStringLiteral("Delete All"), true);
    placeTwips(cmdClearAll, 120, 5280, 1815, 375);
    setHelpTopic(cmdClearAll, 20);

    cmdRef = button("cmdRef", QStringLiteral("Click if not updating"), true);
    placeTwips(cmdRef, 120, 5640, 1815, 495);
    setHelpTopic(cmdRef, 21);

    cmdAll = button("cmdAll", QStringLiteral("View All"), false);
    placeTwips(cmdAll, 120, 0, 2175, 375);

    lstRecent = new QListWidget(central);
    lstRecent->setObjectName(QStringLiteral("lstRecent"));
    lstRecent->setAccessibleName(QStringLiteral("Items added since start-up"));
    placeTwips(lstRecent, 7440, 5280, 3015, 780);

    const QList<QWidget *> order = {lstCat,      lvwItems,  cmdAddToList, grdList,
                                    lblCount,    cmdDelCat, cmdSelNone,   cmdQuit,
                                    cmdClearAll, cmdRef,    cmdAll,       lstRecent};
    for (int i = 1; i < order.size(); ++i)
        setTabOrder(order.at(i - 1), order.at(i));

    connect(lstCat, &QListView::clicked, this, [this] { lstCat_Click(); });
    connect(cmdAll, &QPushButton::clicked, this, &frmVendora::cmdAll_Click);
    connect(lvwItems, &CatalogueView::anyClick, this, &frmVendora::lvwItems_Click);
    connect(cmdSelNone, &QPushButton::clicked, this, &frmVendora::cmdSelNone_Click);
    connect(cmdQuit, &QPushButton::clicked, this, &frmVendora::cmdQuit_Click);
    connect(cmdAddToList, &QPushButton::clicked, this, &frmVendora::cmdAddToList_Click);
    connect(cmdRef, &QPushButton::clicked, this, &frmVendora::cmdRef_Click);
    connect(cmdClearAll, &QPushButton::clicked, this, &frmVendora::cmdClearAll_Click);
    connect(cmdDelCat, &QPushButton::clicked, this, &frmVendora::cmdDelCat_Click);
    // A cell's edit ends when the grid moves on, so by then the current row may
    // be another one: the edited row is kept for the handler.
    connect(m_listModel, &RecordSetModel::cellEdited, this, [this](int row, int column) {
        m_editedRow = row;
        grdList_AfterColEdit(column);
    });
}

void frmVendora::buildMenus()
{
    QMenuBar *bar = menuBar();
    auto entry = [this](QMenu *menu, const char *name, const QString &caption, auto slot) {
        QAction *a = menu->addAction(caption);
        a->setObjectName(QLatin1String(name));
        connect(a, &QAction::triggered, this, slot);
        return a;
    };
    // File comes first, before the menus the window has always had.
    QMenu *file = bar->addMenu(QStringLiteral("File"));
    file->setObjectName(QStringLiteral("mnuFile"));
    entry(file, "mnuBackUp", QStringLiteral("Back Up Now…"),
          [this] { FileCommands::backUpNow(this); });
    entry(file, "mnuRestore", QStringLiteral("Restore…"), [this] {
        if (FileCommands::restore(this))
            reloadAfterRestore();
    });
    file->addSeparator();
    entry(file, "mnuImport", QStringLiteral("Import Catalogue…"), [this] {
        if (FileCommands::importCatalogue(this))
            rereadCatalogue();
    });
    entry(file, "mnuExportCatalogue", QStringLiteral("Export Catalogue…"),
          [this] { FileCommands::exportCatalogue(this); });
    entry(file, "mnuExportList", QStringLiteral("Export Shopping List…"),
          [this] { FileCommands::exportShoppingList(this); });

    QAction *add = bar->addAction(QStringLiteral("Add"));
    add->setObjectName(QStringLiteral("mnuAdd"));
    connect(add, &QAction::triggered, this, &frmVendora::mnuAdd_Click);

    QMenu *opt = bar->addMenu(QStringLiteral("Options"));
    opt->setObjectName(QStringLiteral("mnuOpt"));
    entry(opt, "mnuFont", QStringLiteral("Font"), [this] { DialogShowing(1); });
    entry(opt, "mnuBackColor", QStringLiteral("Back Color"), [this] { DialogShowing(2); });
    entry(opt, "mnuFontColor", QStringLiteral("Font && Form Color"), [this] { DialogShowing(4); });

    QMenu *print = bar->addMenu(QStringLiteral("Print"));
    print->setObjectName(QStringLiteral("mnuPrintShow"));
    entry(print, "mnuPrint", QStringLiteral("Pantrio"), &frmVendora::mnuPrint_Click);
    entry(print, "mnuPrintFull", QStringLiteral("Full List"), &frmVendora::mnuPrintFull_Click);
    entry(print, "mnuAislePrint", QStringLiteral("Pantrio by Aisle"),
          &frmVendora::mnuAislePrint_Click);

    QMenu *help = bar->addMenu(QStringLiteral("Help"));
    help->setObjectName(QStringLiteral("mnuHelp"));
    entry(help, "mnuHelpShow", QStringLiteral("Show Help"), &frmVendora::mnuHelpShow_Click);
    entry(help, "mnuVersion", QStringLiteral("Version"), &frmVendora::mnuVersion_Click);
}

bool frmVendora::fail(const QString &error)
{
    Dialogs::notify(this, error);
    return false;
}

void frmVendora::setConnections(const QString &databasePath, const QString &helpFile)
{
    m_helpFile = helpFile;
    for (DataControl *c : {m_adoCat, m_adoVendora, m_adoList, m_adoSettings})
        c->setConnectionString(databasePath);
}

void frmVendora::Form_Load()
{
    m_loadError.clear();
    Module1::SetConnections(1);
    QString error;
    bool ok = Appearance::CheckSettings(this, Appearance::Window::Main, m_adoSettings, &error);
    ok = ok && m_adoList->refresh(&error);
    if (ok) {
        m_listModel->setRecordSet(m_adoList->recordset());
        restoreGridWidths();
        showCount();
    }
    ok = ok && m_adoCat->refresh(&error);
    if (ok)
        m_catModel->setRecordSet(m_adoCat->recordset());
    ok = ok && m_adoVendora->refresh(&error);
    if (!ok) {
        m_loadError = error.isEmpty() ? QStringLiteral("The data could not be read.") : error;
        return;
    }
    m_adoVendora->recordset()->setFilter(std::nullopt);
    bLoading = true;
    AddToListView();
    bLoading = false;
    adjustSize();
    setFixedSize(sizeHint());
}

void frmVendora::AddToListView()
{
    CatalogueModel *model = lvwItems->catalogue();
    model->clear();
    if (bLoading) {
        // A third each of the room inside the frame and beside the scroll bar.
        const int room = lvwItems->width() - 2 * lvwItems->frameWidth() -
                         lvwItems->style()->pixelMetric(QStyle::PM_ScrollBarExtent);
        const int width = room / 3;
        for (const QString &title :
             {QStringLiteral("Item"), QStringLiteral("Category"), QStringLiteral("Aisle")}) {
            model->addColumn(title);
            lvwItems->setColumnWidth(model->columnHeaderCount() - 1, width);
        }
    }
    RecordSet *rs = m_adoVendora->recordset();
    if (rs->recordCount() < 1)
        return;
    const int item = rs->fieldIndex(QStringLiteral("Item"));
    const int category = rs->fieldIndex(QStringLiteral("Category"));
    const int aisle = rs->fieldIndex(QStringLiteral("Aisle"));
    QVector<CatalogueModel::Entry> entries;
    entries.reserve(rs->recordCount());
    for (int row = 0; row < rs->recordCount(); ++row) {
        const QVariant name = rs->valueAt(row, item);
        CatalogueModel::Entry e;
        e.text = name.isNull() ? QStringLiteral("-") : name.toString();
        e.sub1 = rs->valueAt(row, category).toString();
        e.sub2 = rs->valueAt(row, aisle).toString();
        entries.append(std::move(e));
    }
    model->setEntries(std::move(entries));
    rs->moveFirst();
}

void frmVendora::lstCat_Click()
{
    const QModelIndex current = lstCat->currentIndex();
    if (!current.isValid())
        return;
    const QString name = m_catModel->data(m_catModel->index(current.row(), 0)).toString();
    RecordSet *rs = m_adoVendora->recordset();
    rs->setFilter(std::nullopt);
    rs->setFilter(Criterion{QStringLiteral("Category"), name});
    AddToListView();
}

void frmVendora::cmdAll_Click()
{
    m_adoVendora->recordset()->setFilter(std::nullopt);
    AddToListView();
}

void frmVendora::lvwItems_Click()
{
    lvwItems->catalogue()->setAllBoldToChecked();
}

void frmVendora::cmdSelNone_Click()
{
    lvwItems->catalogue()->clearAllMarks();
}

void frmVendora::cmdQuit_Click()
{
    Module1::endProgram();
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
    for (const char *name : {"mnuAdd", "mnuRestore", "mnuImport", "mnuFont", "mnuBackColor",
                             "mnuFontColor"}) {
        if (QAction *a = findChild<QAction *>(QLatin1String(name))) {
            a->setEnabled(false);
            a->setToolTip(why);
            a->setStatusTip(why);
        }
    }
    auto *notice = new QLabel(QStringLiteral("Read only: ") + reason, this);
    notice->setObjectName(QStringLiteral("readOnlyNotice"));
    notice->setWordWrap(true);
    statusBar()->addWidget(notice, 1);
}

void frmVendora::fitGridRowsToFont()
{
    // Rows as tall as the grid's font, stored appearance included, so no
    // descender is cut.
    grdList->verticalHeader()->setDefaultSectionSize(grdList->fontMetrics().height() + 6);
}

void frmVendora::showCount()
{
    setLiveText(lblCount, QString::number(m_adoList->recordset()->recordCount()));
}

void frmVendora::setGridEnabledByCount()
{
    grdList->setEnabled(m_adoList->recordset()->recordCount() > 0);
}

void frmVendora::restoreGridWidths()
{
    for (int i = 0; i < 5 && i < m_listModel->columnCount(); ++i)
        grdList->setColumnWidth(i, twips(kGridWidths[i]));
}

void frmVendora::cmdAddToList_Click()
{
    CatalogueModel *model = lvwItems->catalogue();
    RecordSet *rs = m_adoList->recordset();
    QVector<int> ticked;
    QVector<ShoppingList::Line> lines;
    for (int i = 0; i < model->count(); ++i) {
        const CatalogueModel::Entry &e = model->entry(i);
        if (e.checked) {
            ticked << i;
            lines.append({e.text, e.sub1, e.sub2});
        }
    }
    // Pending grid edits first, then the new lines, in list-view order.
    QString error;
    ShoppingList::AddResult added;
    if (!rs->updateBatch(&error))
        added.error = error;
    else
        added = ShoppingList::addLines(*m_adoList->connection(), lines);
    QString readError;
    const bool reread = m_adoList->refresh(&readError);
    restoreGridWidths();
    showCount();
    setGridEnabledByCount();
    // What was added is unticked; what was not stays ticked, to try again.
    if (added.ok())
        cmdSelNone_Click();
    else
        model->clearMarks(ticked.mid(0, added.added));
    // Said to a screen reader on the button that did it, which keeps the focus.
    cmdAddToList->setAccessibleDescription(
        plural("%n line(s) added; ", added.added) +
        plural("%n line(s) on the list.", rs->recordCount()));
    if (!added.ok())
        fail(added.error);
    else if (!reread)
        fail(readError);
}

void frmVendora::cmdRef_Click()
{
    setGridEnabledByCount();
    QString error;
    if (!m_adoList->refresh(&error))
        fail(error);
    grdList->clearSelection();
    showCount();
    setGridEnabledByCount();
    restoreGridWidths();
}

void frmVendora::cmdClearAll_Click()
{
    if (m_adoList->recordset()->recordCount() == 0)
        return;
    if (!Dialogs::askYesNo(
            this, QStringLiteral("Are you sure you want to delete all items on your list?")))
        return;
    QString error;
    if (!Module1::de().ClearList(&error)) {
        fail(error);
        return;
    }
    if (!m_adoList->refresh(&error))
        fail(error);
    restoreGridWidths();
    showCount();
}

void frmVendora::grdList_AfterColEdit(int)
{
    RecordSet *rs = m_adoList->recordset();
    const int row = m_editedRow;
    if (row < 0 || !rs->isPendingAt(row))
        return;
    QString error;
    if (!rs->updateAt(row, &error)) {
        // Nothing half-stored: the cell goes back to what the database holds.
        rs->moveTo(row);
        rs->cancelUpdate();
        fail(error);
    }
}

void frmVendora::deleteGridRows()
{
    QList<int> rows;
    const QModelIndexList selected = grdList->selectionModel()->selectedIndexes();
    for (const QModelIndex &i : selected)
        rows << i.row();
    if (rows.isEmpty() && grdList->currentIndex().isValid())
        rows << grdList->currentIndex().row();
    if (rows.isEmpty())
        return;
    QString error;
    if (!m_adoList->recordset()->deleteRows(rows, &error)) {
        fail(error);
        return;
    }
    grdList_AfterDelete();
}

void frmVendora::grdList_AfterDelete()
{
    showCount();
    setGridEnabledByCount();
}

void frmVendora::keyPressEvent(QKeyEvent *event)
{
    // F1 reaches the window from any control that does not use it itself.
    if (event->key() == Qt::Key_F1) {
        showHelpForFocus();
        return;
    }
    QMainWindow::keyPressEvent(event);
}

bool frmVendora::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == grdList && event->type() == QEvent::FontChange)
        fitGridRowsToFont();
    if (watched == grdList && event->type() == QEvent::KeyPress && !m_readOnly &&
        static_cast<QKeyEvent *>(event)->key() == Qt::Key_Delete) {
        deleteGridRows();
        return true;
    }
    return QMainWindow::eventFilter(watched, event);
}

void frmVendora::fillRecentList(const QVariant &highestID)
{
    RecordSet *rs = m_adoVendora->recordset();
    rs->moveFirst();
    const int count = rs->recordCount();
    const qlonglong highest = highestID.toLongLong();
    const int id = rs->fieldIndex(QStringLiteral("ID"));
    const int item = rs->fieldIndex(QStringLiteral("Item"));
    for (int row = 0; row < count; ++row) {
        if (rs->valueAt(row, id).toLongLong() > highest) {
            const QVariant name = rs->valueAt(row, item);
            lstRecent->addItem(name.toString().isEmpty() ? QStringLiteral("-") : name.toString());
        }
    }
    rs->moveFirst();
}

void frmVendora::cmdDelCat_Click()
{
    const QModelIndex current = lstCat->currentIndex();
    if (!current.isValid())
        return;
    const QString name = m_catModel->data(m_catModel->index(current.row(), 0)).toString();
    if (name.isEmpty())
        return;
    if (!Dialogs::askYesNo(this, QStringLiteral("Are you sure you want to delete ") + name +
                                     QStringLiteral("?")))
        return;
    RecordSet *rs = m_adoCat->recordset();
    rs->moveFirst();
    if (!rs->find(Criterion{QStringLiteral("Categories"), name})) {
        fail(QStringLiteral("The category ") + name +
             QStringLiteral(" is no longer in the list; nothing was deleted."));
        return;
    }
    QString error;
    if (!rs->deleteCurrent(&error))
        fail(QStringLiteral("The category ") + name + QStringLiteral(" could not be deleted: ") +
             error);
    if (!m_adoCat->refresh(&error))
        fail(error);
}

void frmVendora::mnuAdd_Click()
{
    const CatalogueModel *model = lvwItems->catalogue();
    for (int i = 0; i < model->count(); ++i) {
        if (model->entry(i).checked) {
            if (!Dialogs::askOkCancel(this, QStringLiteral("You have items checked.  Click Cancel "
                                                           "to return and add them before exiting "
                                                           "this screen.")))
                return;
            break;
        }
    }
    frmAdding *editor = Module1::frmAddingInstance();
    if (!editor->loadedOk()) {
        fail(editor->loadError());
        Module1::unloadAdding();
        return;
    }
    editor->show();
    Module1::unloadVendora();
}

void frmVendora::rereadCatalogue()
{
    QString error;
    if (!m_adoVendora->refresh(&error) || !m_adoCat->refresh(&error)) {
        fail(error);
        return;
    }
    AddToListView();
}

void frmVendora::reloadAfterRestore()
{
    // Everything the window shows came from the old data: load it afresh.
    Module1::unloadVendora();
    frmVendora *fresh = Module1::frmVendoraInstance();
    if (!fresh->loadedOk())
        Dialogs::notify(nullptr, fresh->loadError());
    fresh->show();
}

void frmVendora::mnuPrint_Click()
{
    PrintCommands::run(this, PrintCommands::Entry::Pantrio, m_adoList);
}

void frmVendora::mnuPrintFull_Click()
{
    PrintCommands::run(this, PrintCommands::Entry::FullList, m_adoVendora);
}

void frmVendora::mnuAislePrint_Click()
{
    PrintCommands::run(this, PrintCommands::Entry::ByAisle, m_adoList);
}

void frmVendora::mnuHelpShow_Click()
{
    HelpViewer::showTopic(m_helpFile, kWindowTopic);
}

void frmVendora::showHelpForFocus()
{
    HelpViewer::showTopic(m_helpFile, helpTopicOf(focusWidget(), kWindowTopic));
}

void frmVendora::mnuVersion_Click()
{
    Dialogs::notify(this, PrintCommands::versionText());
}

void frmVendora::DialogShowing(int choice)
{
    Appearance::DialogShowing(this, Appearance::Window::Main, m_adoSettings, choice);
}

} // namespace pantrio

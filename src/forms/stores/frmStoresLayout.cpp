// The Stores window's layout: three columns (the stores, the walking order,
// the items with their aisles) that grow with the window.
#include "forms/stores/frmStores.h"

#include "data/models/StoreAisleModel.h"
#include "uibase/ControlTable.h"
#include "uibase/FormParts.h"
#include "uibase/LongText.h"

#include <QCheckBox>
#include <QComboBox>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QShortcut>
#include <QTableView>
#include <QVBoxLayout>

namespace pantrio
{

using namespace FormParts;

void frmStores::buildControls()
{
    lstStores = named(new QListWidget, "lstStores", QStringLiteral("Stores"));
    cmdAddStore = button("cmdAddStore", QStringLiteral("&Add…"));
    cmdRenameStore = button("cmdRenameStore", QStringLiteral("Re&name…"));
    cmdDeleteStore = button("cmdDeleteStore", QStringLiteral("&Delete"));
    chkCurrent = named(new QCheckBox(QStringLiteral("&Print the list by aisle for this store")),
                       "chkCurrent");
    lstOrder = named(new QListWidget, "lstOrder", QStringLiteral("Walking order"));
    lstOrder->setAccessibleDescription(
        QStringLiteral("The store's aisles in the order you walk them. Ctrl+Up and Ctrl+Down "
                       "move an aisle; Space ticks or unticks it; unticked aisles are not in "
                       "this store."));
    lstOrder->setDragDropMode(QAbstractItemView::InternalMove);
    lstOrder->setDefaultDropAction(Qt::MoveAction);
    cmdMoveUp = button("cmdMoveUp", QStringLiteral("Move &Up"));
    cmdMoveDown = button("cmdMoveDown", QStringLiteral("Move Do&wn"));
    lblOrder = named(new QLabel, "lblOrderHint");
    lblOrder->setWordWrap(true);
    lblOrder->setText(QStringLiteral("Drag the aisles, or use Ctrl+Up and Ctrl+Down, into the "
                                     "order you walk them. Untick an aisle the store does not "
                                     "have."));
    cboCategory = named(new QComboBox, "cboCategory", QStringLiteral("Category"));
    txtFilter = named(new QLineEdit, "txtFilter", QStringLiteral("Find items"));
    txtFilter->setPlaceholderText(QStringLiteral("Find items"));
    enableClearButton(txtFilter);
    keepLongText(txtFilter);
    grdAisles = named(new QTableView, "grdAisles", QStringLiteral("Items and their aisles"));
    grdAisles->setModel(m_model);
    grdAisles->setItemDelegate(new LongTextDelegate(grdAisles));
    grdAisles->setTabKeyNavigation(false);
    grdAisles->setSelectionBehavior(QAbstractItemView::SelectItems);
    grdAisles->setEditTriggers(QAbstractItemView::DoubleClicked |
                               QAbstractItemView::EditKeyPressed |
                               QAbstractItemView::AnyKeyPressed);
    grdAisles->horizontalHeader()->setStretchLastSection(true);
    grdAisles->horizontalHeader()->setSectionResizeMode(StoreAisleModel::ItemColumn,
                                                        QHeaderView::Stretch);
    grdAisles->verticalHeader()->hide();
    grdAisles->verticalHeader()->setDefaultSectionSize(grdAisles->fontMetrics().height() + 6);
    grdAisles->setColumnWidth(StoreAisleModel::CategoryColumn, 130);
    grdAisles->setColumnWidth(StoreAisleModel::CatalogueAisleColumn, 100);
    grdAisles->setColumnWidth(StoreAisleModel::StoreAisleColumn, 120);
    cmdUndo = button("cmdUndo", QStringLiteral("U&ndo"));
    cmdRedo = button("cmdRedo", QStringLiteral("&Redo"));
    cmdClose = button("cmdClose", QStringLiteral("&Close"));

    auto *stores = new QVBoxLayout;
    stores->addWidget(heading(QStringLiteral("&Stores"), lstStores));
    stores->addWidget(lstStores, 1);
    auto *storeButtons = new QHBoxLayout;
    for (QWidget *w : {cmdAddStore, cmdRenameStore, cmdDeleteStore})
        storeButtons->addWidget(w);
    stores->addLayout(storeButtons);
    stores->addWidget(chkCurrent);

    auto *order = new QVBoxLayout;
    order->addWidget(heading(QStringLiteral("&Walking order"), lstOrder));
    order->addWidget(lstOrder, 1);
    auto *orderButtons = new QHBoxLayout;
    orderButtons->addWidget(cmdMoveUp);
    orderButtons->addWidget(cmdMoveDown);
    order->addLayout(orderButtons);
    order->addWidget(lblOrder);

    auto *items = new QVBoxLayout;
    items->addWidget(heading(QStringLiteral("&Items and their aisles"), grdAisles));
    auto *filter = new QHBoxLayout;
    filter->addWidget(cboCategory);
    filter->addWidget(txtFilter, 1);
    items->addLayout(filter);
    items->addWidget(grdAisles, 1);

    auto *bottom = new QHBoxLayout;
    bottom->addWidget(cmdUndo);
    bottom->addWidget(cmdRedo);
    bottom->addStretch(1);
    bottom->addWidget(cmdClose);

    auto *client = new QWidget(this);
    client->setObjectName(QStringLiteral("client"));
    setCentralWidget(client);
    auto *grid = new QGridLayout(client);
    grid->addLayout(stores, 0, 0);
    grid->addLayout(order, 0, 1);
    grid->addLayout(items, 0, 2);
    grid->addLayout(bottom, 1, 0, 1, 3);
    grid->setColumnStretch(0, 2);
    grid->setColumnStretch(1, 2);
    grid->setColumnStretch(2, 6);

    // Tab order: left to right, top to bottom.
    const QList<QWidget *> tabs = {
        lstStores,   cmdAddStore, cmdRenameStore, cmdDeleteStore, chkCurrent, lstOrder, cmdMoveUp,
        cmdMoveDown, cboCategory, txtFilter,      grdAisles,      cmdUndo,    cmdRedo,  cmdClose};
    for (int i = 1; i < tabs.size(); ++i)
        setTabOrder(tabs.at(i - 1), tabs.at(i));

    connect(lstStores, &QListWidget::currentRowChanged, this, &frmStores::lstStores_Changed);
    connect(cmdAddStore, &QPushButton::clicked, this, &frmStores::cmdAddStore_Click);
    connect(cmdRenameStore, &QPushButton::clicked, this, &frmStores::cmdRenameStore_Click);
    connect(cmdDeleteStore, &QPushButton::clicked, this, &frmStores::cmdDeleteStore_Click);
    connect(chkCurrent, &QCheckBox::clicked, this, &frmStores::chkCurrent_Toggled);
    connect(cmdMoveUp, &QPushButton::clicked, this, &frmStores::cmdMoveUp_Click);
    connect(cmdMoveDown, &QPushButton::clicked, this, &frmStores::cmdMoveDown_Click);
    connect(lstOrder->model(), &QAbstractItemModel::rowsMoved, this, [this] { orderEdited(); });
    connect(lstOrder, &QListWidget::itemChanged, this, [this] { orderEdited(); });
    lstOrder->installEventFilter(this);
    connect(cboCategory, &QComboBox::currentIndexChanged, this, &frmStores::filterItems);
    connect(txtFilter, &QLineEdit::textChanged, this, &frmStores::filterItems);
    connect(cmdUndo, &QPushButton::clicked, this, &frmStores::cmdUndo_Click);
    connect(cmdRedo, &QPushButton::clicked, this, &frmStores::cmdRedo_Click);
    connect(cmdClose, &QPushButton::clicked, this, &QWidget::close);
    cmdUndo->setEnabled(false);
    cmdRedo->setEnabled(false);
    auto *undo = new QShortcut(QKeySequence::Undo, this);
    connect(undo, &QShortcut::activated, this, &frmStores::cmdUndo_Click);
    for (const QKeySequence &keys : {QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_Z),
                                     QKeySequence(Qt::CTRL | Qt::Key_Y)}) {
        auto *redo = new QShortcut(keys, this);
        connect(redo, &QShortcut::activated, this, &frmStores::cmdRedo_Click);
    }
    resize(1100, 620);
}

} // namespace pantrio

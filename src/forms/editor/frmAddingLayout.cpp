// The item editor's layout: its controls, the two strips along the bottom,
// its menus, and what each is bound to. Positions are in twips, as designed.
#include "forms/editor/frmAdding.h"

#include "forms/editor/DataCombo.h"
#include "forms/editor/EditorStrips.h"
#include "uibase/ControlTable.h"
#include "uibase/Design.h"
#include "uibase/LongText.h"

#include <QAction>
#include <QResizeEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMenuBar>
#include <QPushButton>

namespace pantrio
{

void frmAdding::buildControls()
{
    auto *client = new QWidget(this);
    client->setObjectName(QStringLiteral("client"));
    client->setMinimumSize(twips(6000), twips(9090));
    setCentralWidget(client);
    resize(twips(9795), twips(9090) + menuBar()->sizeHint().height());

    // The fields are a control array, txtFields(0 Aisle, 1 Category, 2 ID, 3 Item).
    // clang-format off
    const QHash<QString, QWidget *> c = pantrio::buildControls(client, {
        {.name = "txtFields", .index = 3, .make = make<QLineEdit>, .twips = {1680, 60, 3375, 465},
         .font = "AvantGarde Bk BT", .points = 14.25, .helpTopic = 31, .accessibleName = "Item"},
        {.name = "txtFields", .index = 1, .make = make<QLineEdit>, .twips = {1680, 525, 3375, 465},
         .font = "AvantGarde Bk BT", .points = 14.25, .helpTopic = 32,
         .accessibleName = "Category"},
        {.name = "txtFields", .index = 0, .make = make<QLineEdit>, .twips = {1680, 990, 3375, 465},
         .font = "AvantGarde Bk BT", .points = 14.25, .helpTopic = 33, .accessibleName = "Aisle"},
        {.name = "lblLabels", .index = 0, .make = make<QLabel>, .twips = {0, 990, 1695, 465},
         .caption = "Aisle:"},
        {.name = "lblLabels", .index = 1, .make = make<QLabel>, .twips = {0, 525, 1695, 465},
         .caption = "Category:"},
        {.name = "lblLabels", .index = 2, .make = make<QLabel>, .twips = {0, 1455, 1095, 465},
         .caption = "ID:"},
        {.name = "txtFields", .index = 2, .make = make<QLineEdit>, .twips = {1680, 1455, 735, 465},
         .accessibleName = "ID"},
        {.name = "lblLabels", .index = 3, .make = make<QLabel>, .twips = {0, 60, 1695, 465},
         .caption = "Item:"},
        {.name = "cmdQuit", .make = make<QPushButton>, .twips = {5880, 7320, 975, 600},
         .helpTopic = 35, .accessibleName = "Exit"},
        {.name = "cboFind", .make = make<DataCombo>, .twips = {6840, 480, 2775, 7590},
         .font = "Souvenir Lt BT", .points = 11.25, .italic = true, .helpTopic = 36},
        {.name = "cmdRefreshCombo", .make = make<QPushButton>, .twips = {4920, 2400, 1815, 615},
         .caption = "Update List -->", .helpTopic = 46, .accessibleName = "Update List"},
        {.name = "cboCat", .make = make<DataCombo>, .twips = {120, 2640, 2655, 5025},
         .font = "Souvenir Lt BT", .points = 11.25, .italic = true, .helpTopic = 34},
        {.name = "lblCatList", .make = make<QLabel>, .twips = {120, 2160, 2655, 495},
         .caption = "Category List"},
        {.name = "lblSearchBox", .make = make<QLabel>, .twips = {6840, 0, 2775, 495},
         .caption = "Search"},
    });
    // clang-format on
    for (int i = 0; i < 4; ++i) {
        m_fields[i] = static_cast<QLineEdit *>(c.value(QStringLiteral("txtFields(%1)").arg(i)));
        m_labels[i] = static_cast<QLabel *>(c.value(QStringLiteral("lblLabels(%1)").arg(i)));
        keepLongText(m_fields[i]);
        connect(m_fields[i], &QLineEdit::textEdited, this,
                [this, i](const QString &text) { fieldEdited(i, text); });
    }
    // The ID is the database's: shown, not typed.
    m_fields[2]->setReadOnly(true);
    m_fields[2]->setFocusPolicy(Qt::ClickFocus);
    cmdQuit = static_cast<QPushButton *>(c.value("cmdQuit"));
    cboFind = static_cast<DataCombo *>(c.value("cboFind"));
    cmdRefreshCombo = static_cast<QPushButton *>(c.value("cmdRefreshCombo"));
    cboCat = static_cast<DataCombo *>(c.value("cboCat"));
    lblCatList = static_cast<QLabel *>(c.value("lblCatList"));
    lblSearchBox = static_cast<QLabel *>(c.value("lblSearchBox"));
    cboFind->setNames(QStringLiteral("Search"));
    cboCat->setNames(QStringLiteral("Category List"));
    cboCat->setToolTip(QStringLiteral("Click to change the current record's category."));

    auto *status = new StatusStrip(client);
    picStatBox = status;
    cmdFirst = status->cmdFirst;
    cmdPrevious = status->cmdPrevious;
    cmdNext = status->cmdNext;
    cmdLast = status->cmdLast;
    lblStatus = status->lblStatus;
    auto *strip = new ButtonStrip(client);
    picButtons = strip;
    cmdAdd = strip->cmdAdd;
    cmdEdit = strip->cmdEdit;
    cmdDelete = strip->cmdDelete;
    cmdRefresh = strip->cmdRefresh;
    cmdUpdate = strip->cmdUpdate;
    cmdCancel = strip->cmdCancel;

    const QIcon blue(QStringLiteral(":/pantrio/editor_exit_blue.png"));
    const QIcon red(QStringLiteral(":/pantrio/editor_exit_red.png"));
    cmdQuit->setIcon(blue);
    cmdQuit->setIconSize(QSize(62, 37));
    connect(cmdQuit, &QPushButton::pressed, cmdQuit, [this, red] { cmdQuit->setIcon(red); });
    connect(cmdQuit, &QPushButton::released, cmdQuit, [this, blue] { cmdQuit->setIcon(blue); });

    // The strips' buttons take their places in the tab order.
    const QList<QWidget *> order = {
        m_fields[3], m_fields[1], m_fields[0], m_fields[2], cmdFirst,        cmdPrevious,
        cmdNext,     cmdLast,     cmdAdd,      cmdEdit,     cmdDelete,       cmdRefresh,
        cmdUpdate,   cmdCancel,   cmdQuit,     cboFind,     cmdRefreshCombo, cboCat};
    for (int i = 1; i < order.size(); ++i)
        setTabOrder(order.at(i - 1), order.at(i));

    const struct {
        QPushButton *button;
        void (frmAdding::*handler)();
    } clicks[] = {
        {cmdFirst, &frmAdding::cmdFirst_Click},
        {cmdPrevious, &frmAdding::cmdPrevious_Click},
        {cmdNext, &frmAdding::cmdNext_Click},
        {cmdLast, &frmAdding::cmdLast_Click},
        {cmdAdd, &frmAdding::cmdAdd_Click},
        {cmdEdit, &frmAdding::cmdEdit_Click},
        {cmdUpdate, &frmAdding::cmdUpdate_Click},
        {cmdCancel, &frmAdding::cmdCancel_Click},
        {cmdDelete, &frmAdding::cmdDelete_Click},
        {cmdRefresh, &frmAdding::cmdRefresh_Click},
        {cmdQuit, &frmAdding::cmdQuit_Click},
        {cmdRefreshCombo, &frmAdding::cmdRefreshCombo_Click},
    };
    for (const auto &k : clicks)
        connect(k.button, &QPushButton::clicked, this, k.handler);
    connect(cboCat, &DataCombo::Click, this, &frmAdding::cboCat_Click);
    connect(cboFind, &DataCombo::Click, this, &frmAdding::cboFind_Click);
}

void frmAdding::buildMenus()
{
    QHash<QString, QAction *> a = addMenu(this, nullptr, nullptr, {{"mnuHelp", "Help"}});
    a.insert(addMenu(this, "mnuOptions", "Options",
                     {{"mnuFont", "Font"},
                      {"mnuBackColor", "Back Color (text background areas && buttons)"},
                      {"mnuFontColor", "Font && Form Color"}}));
    a.insert(addMenu(this, nullptr, nullptr, {{"mnuExit", "Exit"}}));
    connect(a.value("mnuHelp"), &QAction::triggered, this, &frmAdding::mnuHelp_Click);
    connect(a.value("mnuFont"), &QAction::triggered, this, [this] { DialogShowing(1); });
    connect(a.value("mnuBackColor"), &QAction::triggered, this, [this] { DialogShowing(2); });
    connect(a.value("mnuFontColor"), &QAction::triggered, this, [this] { DialogShowing(4); });
    connect(a.value("mnuExit"), &QAction::triggered, this, &frmAdding::mnuExit_Click);
}

void frmAdding::SetBrowseMode(bool browse)
{
    cmdAdd->setVisible(browse);
    cmdEdit->setVisible(browse);
    cmdUpdate->setVisible(!browse);
    cmdCancel->setVisible(!browse);
    cmdDelete->setVisible(browse);
    cmdQuit->setVisible(browse);
    cmdRefresh->setVisible(browse);
    for (QPushButton *b : {cmdNext, cmdFirst, cmdLast, cmdPrevious})
        b->setEnabled(browse);
}

void frmAdding::Form_Resize()
{
    // Twips of the outer window; a window too narrow gives a negative width,
    // which is skipped as the rule's failing step.
    const int outer = frameGeometry().width() * 15;
    const int statusWidth = outer - 1500;
    if (statusWidth < 0)
        return;
    lblStatus->resize(twips(statusWidth), lblStatus->height());
    cmdNext->move(twips(statusWidth + 700), cmdNext->y());
    cmdLast->move(twips(statusWidth + 700 + 340), cmdLast->y());
}

void frmAdding::resizeEvent(QResizeEvent *event)
{
    QMainWindow::resizeEvent(event);
    // The two strips run along the bottom edge at full width.
    if (QWidget *client = centralWidget()) {
        const int w = client->width();
        picStatBox->setGeometry(0, client->height() - twips(660), w, twips(660));
        picButtons->setGeometry(0, picStatBox->y() - twips(540), w, twips(540));
    }
    Form_Resize();
}

} // namespace pantrio

#include "frmAdding.h"

#include "Appearance.h"
#include "Connection.h"
#include "DataCombo.h"
#include "DataControl.h"
#include "Design.h"
#include "Dialogs.h"
#include "EditorStrips.h"
#include "HelpViewer.h"
#include "LongText.h"
#include "Module1.h"
#include "RecordSources.h"
#include "frmVendora.h"

#include <QApplication>
#include <QCloseEvent>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMenuBar>
#include <QPushButton>

namespace pantrio
{

namespace
{
constexpr int kWindowTopic = 30;
const char *const kFieldNames[4] = {"Aisle", "Category", "ID", "Item"};
} // namespace

frmAdding::frmAdding()
    : m_adoCat(new DataControl(QStringLiteral("adoCat"), QStringLiteral("Categories"),
                               Sources::editorCategories(), this)),
      m_adoVend(new DataControl(QStringLiteral("adoVend"), QStringLiteral("Vendora"),
                                Sources::findList(), this)),
      m_adoSettings(new DataControl(QStringLiteral("adoSettings"), QStringLiteral("Settings2"),
                                    Sources::settings(QStringLiteral("Settings2")), this)),
      m_connection(std::make_unique<Connection>())
{
    setObjectName(QStringLiteral("frmAdding"));
    setWindowTitle(QStringLiteral("Enter Info"));
    setFont(designFont(QStringLiteral("Souvenir Lt BT"), 9.75));
    buildControls();
    buildMenus();
    enableMenuKey(this);
}

frmAdding::~frmAdding()
{
    // The record set's statements go before the connection they run on.
    delete m_rs;
}

void frmAdding::buildControls()
{
    auto *client = new QWidget(this);
    client->setObjectName(QStringLiteral("client"));
    client->setMinimumSize(twips(6000), twips(9090));
    setCentralWidget(client);
    resize(twips(9795), twips(9090) + menuBar()->sizeHint().height());

    const QFont fieldFont = designFont(QStringLiteral("AvantGarde Bk BT"), 14.25);
    const QFont comboFont = designFont(QStringLiteral("Souvenir Lt BT"), 11.25, true);

    auto field = [&](int index, double top, double width, int topic) {
        auto *t = new QLineEdit(client);
        keepLongText(t);
        t->setObjectName(QStringLiteral("txtFields"));
        t->setProperty("index", index);
        t->setAccessibleName(QLatin1String(kFieldNames[index]));
        placeTwips(t, 1680, top, width, 465);
        if (topic)
            setHelpTopic(t, topic);
        m_fields[index] = t;
        connect(t, &QLineEdit::textEdited, this,
                [this, index](const QString &text) { fieldEdited(index, text); });
        t->installEventFilter(this);
    };
    auto label = [&](int index, const QString &caption, double top, double width) {
        auto *l = new QLabel(caption, client);
        l->setObjectName(QStringLiteral("lblLabels"));
        l->setProperty("index", index);
        placeTwips(l, 0, top, width, 465);
        m_labels[index] = l;
    };
    auto button = &editorButton;

    // In tab order.
    field(3, 60, 3375, 31);
    field(1, 525, 3375, 32);
    field(0, 990, 3375, 33);
    for (int i : {3, 1, 0})
        m_fields[i]->setFont(fieldFont);
    label(0, QStringLiteral("Aisle:"), 990, 1695);
    label(1, QStringLiteral("Category:"), 525, 1695);
    label(2, QStringLiteral("ID:"), 1455, 1095);
    field(2, 1455, 735, 0);
    m_fields[2]->setReadOnly(true);
    m_fields[2]->setFocusPolicy(Qt::ClickFocus);
    label(3, QStringLiteral("Item:"), 60, 1695);

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

    cmdQuit = button(client, "cmdQuit", QString(), 35);
    cmdQuit->setAccessibleName(QStringLiteral("Exit"));
    const QIcon blue(QStringLiteral(":/pantrio/editor_exit_blue.png"));
    const QIcon red(QStringLiteral(":/pantrio/editor_exit_red.png"));
    cmdQuit->setIcon(blue);
    cmdQuit->setIconSize(QSize(62, 37));
    connect(cmdQuit, &QPushButton::pressed, cmdQuit, [this, red] { cmdQuit->setIcon(red); });
    connect(cmdQuit, &QPushButton::released, cmdQuit, [this, blue] { cmdQuit->setIcon(blue); });
    placeTwips(cmdQuit, 5880, 7320, 975, 600);

    cboFind = new DataCombo(client);
    cboFind->setObjectName(QStringLiteral("cboFind"));
    cboFind->setNames(QStringLiteral("Search"));
    cboFind->setFont(comboFont);
    setHelpTopic(cboFind, 36);
    placeTwips(cboFind, 6840, 480, 2775, 7590);

    cmdRefreshCombo = button(client, "cmdRefreshCombo", QStringLiteral("Update List -->"), 46);
    placeTwips(cmdRefreshCombo, 4920, 2400, 1815, 615);

    cboCat = new DataCombo(client);
    cboCat->setObjectName(QStringLiteral("cboCat"));
    cboCat->setNames(QStringLiteral("Category List"));
    cboCat->setFont(comboFont);
    cboCat->setToolTip(QStringLiteral("Click to change the current record's category."));
    setHelpTopic(cboCat, 34);
    placeTwips(cboCat, 120, 2640, 2655, 5025);

    lblCatList = new QLabel(QStringLiteral("Category List"), client);
    lblCatList->setObjectName(QStringLiteral("lblCatList"));
    placeTwips(lblCatList, 120, 2160, 2655, 495);
    lblSearchBox = new QLabel(QStringLiteral("Search"), client);
    lblSearchBox->setObjectName(QStringLiteral("lblSearchBox"));
    placeTwips(lblSearchBox, 6840, 0, 2775, 495);

    const QList<QWidget *> order = {
        m_fields[3], m_fields[1], m_fields[0], m_fields[2], cmdFirst,        cmdPrevious,
        cmdNext,     cmdLast,     cmdAdd,      cmdEdit,     cmdDelete,       cmdRefresh,
        cmdUpdate,   cmdCancel,   cmdQuit,     cboFind,     cmdRefreshCombo, cboCat};
    for (int i = 1; i < order.size(); ++i)
        setTabOrder(order.at(i - 1), order.at(i));

    connect(cmdFirst, &QPushButton::clicked, this, &frmAdding::cmdFirst_Click);
    connect(cmdPrevious, &QPushButton::clicked, this, &frmAdding::cmdPrevious_Click);
    connect(cmdNext, &QPushButton::clicked, this, &frmAdding::cmdNext_Click);
    connect(cmdLast, &QPushButton::clicked, this, &frmAdding::cmdLast_Click);
    connect(cmdAdd, &QPushButton::clicked, this, &frmAdding::cmdAdd_Click);
    connect(cmdEdit, &QPushButton::clicked, this, &frmAdding::cmdEdit_Click);
    connect(cmdUpdate, &QPushButton::clicked, this, &frmAdding::cmdUpdate_Click);
    connect(cmdCancel, &QPushButton::clicked, this, &frmAdding::cmdCancel_Click);
    connect(cmdDelete, &QPushButton::clicked, this, &frmAdding::cmdDelete_Click);
    connect(cmdRefresh, &QPushButton::clicked, this, &frmAdding::cmdRefresh_Click);
    connect(cmdQuit, &QPushButton::clicked, this, &frmAdding::cmdQuit_Click);
    connect(cboCat, &DataCombo::Click, this, &frmAdding::cboCat_Click);
    connect(cboFind, &DataCombo::Click, this, &frmAdding::cboFind_Click);
    connect(cmdRefreshCombo, &QPushButton::clicked, this, &frmAdding::cmdRefreshCombo_Click);
}

void frmAdding::buildMenus()
{
    QMenuBar *bar = menuBar();
    QAction *help = bar->addAction(QStringLiteral("Help"));
    help->setObjectName(QStringLiteral("mnuHelp"));
    connect(help, &QAction::triggered, this, &frmAdding::mnuHelp_Click);
    QMenu *options = bar->addMenu(QStringLiteral("Options"));
    options->setObjectName(QStringLiteral("mnuOptions"));
    const struct {
        const char *name;
        QString caption;
        int code;
    } entries[] = {
        {"mnuFont", QStringLiteral("Font"), 1},
        {"mnuBackColor", QStringLiteral("Back Color (text background areas && buttons)"), 2},
        {"mnuFontColor", QStringLiteral("Font && Form Color"), 4},
    };
    for (const auto &e : entries) {
        QAction *a = options->addAction(e.caption);
        a->setObjectName(QLatin1String(e.name));
        const int code = e.code;
        connect(a, &QAction::triggered, this, [this, code] { DialogShowing(code); });
    }
    QAction *exit = bar->addAction(QStringLiteral("Exit"));
    exit->setObjectName(QStringLiteral("mnuExit"));
    connect(exit, &QAction::triggered, this, &frmAdding::mnuExit_Click);
}

void frmAdding::setConnections(const QString &databasePath, const QString &helpFile)
{
    m_databasePath = databasePath;
    m_helpFile = helpFile;
    for (DataControl *c : {m_adoCat, m_adoVend, m_adoSettings})
        c->setConnectionString(databasePath);
}

void frmAdding::Form_Load()
{
    m_loadError.clear();
    Module1::SetConnections(2);
    QString error;
    bool ok = Appearance::CheckSettings(this, Appearance::Window::Editor, m_adoSettings, &error);
    ok = ok && m_connection->open(m_databasePath, &error);
    if (ok) {
        m_rs = new RecordSet(m_connection.get(), Sources::editorItems(), this);
        m_rs->setObjectName(QStringLiteral("adoPrimaryRS"));
        // Leaving a record writes its pending change, as the fields are bound to it.
        m_rs->setUpdateOnMove(true);
        connect(m_rs, &RecordSet::moveComplete, this, &frmAdding::showRecord);
        // A written or dropped change shows in the fields; the status line
        // follows moves only ("Edit record" stays after Update).
        connect(m_rs, &RecordSet::rowChanged, this, [this](int row) {
            if (row == m_rs->currentIndex())
                showFields();
        });
        connect(m_rs, &RecordSet::valueChanged, this, [this](int row, int) {
            if (row == m_rs->currentIndex())
                showFields();
        });
        ok = m_rs->open(&error);
    }
    ok = ok && m_adoCat->refresh(&error) && m_adoVend->refresh(&error);
    if (!ok) {
        m_loadError = error.isEmpty() ? QStringLiteral("The catalogue could not be read.") : error;
        return;
    }
    cboCat->setRowSource(m_adoCat->recordset(), QStringLiteral("Categories"),
                         QStringLiteral("Categories"));
    cboFind->setRowSource(m_adoVend->recordset(), QStringLiteral("Item"), QStringLiteral("ID"));
    mbEditing = mbAdding = false;
    SetBrowseMode(true);
    showRecord();
    // Key preview: the window sees every key before the focused control.
    for (QWidget *w : findChildren<QWidget *>())
        w->installEventFilter(this);
}

void frmAdding::showRecord()
{
    if (!m_rs)
        return;
    showFields();
    setLiveText(lblStatus, QStringLiteral("Record: ") + QString::number(m_rs->absolutePosition()));
}

void frmAdding::showFields()
{
    m_showing = true;
    for (int i = 0; i < 4; ++i) {
        const QVariant v =
            m_rs->hasCurrent() ? m_rs->value(QLatin1String(kFieldNames[i])) : QVariant();
        if (m_fields[i]->text() != v.toString())
            m_fields[i]->setText(v.toString());
    }
    m_showing = false;
}

void frmAdding::fieldEdited(int index, const QString &text)
{
    if (m_showing || !m_rs || !m_rs->hasCurrent() || index == 2)
        return;
    // An emptied box stores Null, as the catalogue shows a nameless item as "-".
    m_rs->setValue(QLatin1String(kFieldNames[index]), text.isEmpty() ? QVariant() : QVariant(text));
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

void frmAdding::trapped(const QString &error)
{
    Dialogs::notify(this, error);
}

void frmAdding::cmdFirst_Click()
{
    QString error;
    if (!m_rs->moveFirst(&error))
        trapped(error);
}

void frmAdding::cmdLast_Click()
{
    QString error;
    if (!m_rs->moveLast(&error))
        trapped(error);
}

void frmAdding::cmdNext_Click()
{
    QString error;
    if (!m_rs->eof() && !m_rs->moveNext(&error))
        return trapped(error);
    if (m_rs->eof() && m_rs->recordCount() > 0) {
        Dialogs::instance().beep();
        if (!m_rs->moveLast(&error))
            trapped(error);
    }
}

void frmAdding::cmdPrevious_Click()
{
    QString error;
    if (!m_rs->bof() && !m_rs->movePrevious(&error))
        return trapped(error);
    if (m_rs->bof() && m_rs->recordCount() > 0) {
        Dialogs::instance().beep();
        if (!m_rs->moveFirst(&error))
            trapped(error);
    }
}

void frmAdding::Form_KeyDown(int key, Qt::KeyboardModifiers shift)
{
    if (mbEditing || mbAdding)
        return;
    const bool exactlyCtrl = (shift & ~Qt::KeypadModifier) == Qt::ControlModifier;
    switch (key) {
    case Qt::Key_End:
        cmdLast_Click();
        break;
    case Qt::Key_Home:
        cmdFirst_Click();
        break;
    case Qt::Key_Up:
    case Qt::Key_PageUp:
        exactlyCtrl ? cmdFirst_Click() : cmdPrevious_Click();
        break;
    case Qt::Key_Down:
    case Qt::Key_PageDown:
        exactlyCtrl ? cmdLast_Click() : cmdNext_Click();
        break;
    default:
        break;
    }
}

bool frmAdding::eventFilter(QObject *watched, QEvent *event)
{
    if (event->type() == QEvent::KeyPress) {
        auto *key = static_cast<QKeyEvent *>(event);
        auto *w = qobject_cast<QWidget *>(watched);
        // Only the focused control's own event, once, reaches the key preview.
        if (w && w == QApplication::focusWidget() && w->window() == this) {
            Form_KeyDown(key->key(), key->modifiers());
            if (watched->objectName() == QLatin1String("txtFields") &&
                (key->key() == Qt::Key_Return || key->key() == Qt::Key_Enter)) {
                focusNextChild(); // Enter moves on like Tab, and is swallowed
                return true;
            }
        }
    }
    return QMainWindow::eventFilter(watched, event);
}

void frmAdding::keyPressEvent(QKeyEvent *event)
{
    if (event->key() == Qt::Key_F1) {
        HelpViewer::showTopic(m_helpFile, helpTopicOf(focusWidget(), kWindowTopic));
        return;
    }
    QMainWindow::keyPressEvent(event);
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

void frmAdding::refreshFindList()
{
    QString error;
    if (!m_adoVend->refresh(&error))
        trapped(error);
    cboFind->refresh();
}

void frmAdding::cmdAdd_Click()
{
    QString error;
    if (!(m_rs->bof() && m_rs->eof()))
        mvReturnMark = m_rs->bookmark();
    if (!m_rs->addNew(&error))
        return trapped(error);
    setLiveText(lblStatus, QStringLiteral("Add record"));
    mbAdding = true;
    SetBrowseMode(false);
    m_fields[3]->setFocus();
}

void frmAdding::cmdEdit_Click()
{
    setLiveText(lblStatus, QStringLiteral("Edit record"));
    mbEditing = true;
    SetBrowseMode(false);
}

void frmAdding::cmdUpdate_Click()
{
    QString error;
    if (!m_rs->updateBatch(&error))
        return trapped(error);
    if (mbAdding && !m_rs->moveLast(&error))
        return trapped(error);
    mbEditing = mbAdding = false;
    SetBrowseMode(true);
    refreshFindList();
}

void frmAdding::cmdCancel_Click()
{
    SetBrowseMode(true);
    mbEditing = mbAdding = false;
    m_rs->cancelUpdate();
    showRecord();
    if (!mvReturnMark || !m_rs->moveToBookmark(*mvReturnMark))
        m_rs->moveFirst();
}

void frmAdding::cmdDelete_Click()
{
    if (!Dialogs::askYesNo(this, QStringLiteral("Are you sure you want to delete this record?")))
        return;
    QString error;
    const int position = m_rs->currentIndex();
    if (!m_rs->deleteCurrent(&error))
        return trapped(error);
    // The next record takes the deleted one's place; past the end, the last.
    if (m_rs->recordCount() > 0)
        m_rs->moveTo(std::min(position, m_rs->recordCount() - 1));
    showRecord();
    refreshFindList();
}

void frmAdding::cmdRefresh_Click()
{
    QString error;
    // A change typed in browse mode is written, not lost, by the re-read.
    if (m_rs->isPending() && !m_rs->update(&error))
        return trapped(error);
    if (!m_rs->requery(&error))
        trapped(error);
}

// Writes a pending addition or edit as leaving the record would; a new record
// left entirely blank is dropped. Back in browse mode on success.
bool frmAdding::finishPendingChange(QString *error)
{
    if (m_rs && m_rs->isPending()) {
        bool blank = m_rs->isNew();
        for (int i = 0; blank && i < 4; ++i)
            if (i != 2 && !m_rs->value(QLatin1String(kFieldNames[i])).toString().isEmpty())
                blank = false;
        if (blank) {
            m_rs->cancelUpdate();
        } else if (!m_rs->update(error)) {
            return false;
        }
    }
    if (mbAdding || mbEditing) {
        const bool wasAdding = mbAdding;
        mbAdding = mbEditing = false;
        SetBrowseMode(true);
        refreshFindList();
        if (wasAdding)
            showRecord();
    }
    return true;
}

void frmAdding::cboCat_Click()
{
    const QString text = cboCat->text();
    if (text.isEmpty())
        return;
    m_fields[1]->setText(text);
    fieldEdited(1, text);
    if (cboCat->matchedWithList())
        return;
    RecordSet *cats = m_adoCat->recordset();
    QString error;
    if (!cats->addNew(&error) || !cats->setValue(QStringLiteral("Categories"), text) ||
        !cats->update(&error)) {
        cats->cancelUpdate();
        return trapped(error.isEmpty() ? QStringLiteral("The category could not be added.")
                                       : error);
    }
    if (!m_adoCat->refresh(&error))
        trapped(error);
    cboCat->refresh();
}

void frmAdding::cboFind_Click()
{
    const QVariant bound = cboFind->boundText();
    if (bound.isNull())
        return;
    const bool matched = cboFind->matchedWithList();
    const QString text = cboFind->text();
    if (!matched) {
        Dialogs::notify(this, QStringLiteral("Can't find ") + text + QStringLiteral("."));
        cboFind->setText(QString());
        return;
    }
    // Moving to the found item writes a pending addition or edit first, and
    // the editor returns to browse mode, so the buttons tell the truth.
    QString error;
    if (!finishPendingChange(&error))
        return trapped(error);
    if (!m_rs->moveFirst())
        return;
    m_rs->find(Criterion{QStringLiteral("ID"), bound});
}

void frmAdding::cmdRefreshCombo_Click()
{
    refreshFindList();
    QString error;
    // The re-read would drop a pending change, so it is written first.
    if (!finishPendingChange(&error))
        return trapped(error);
    if (!m_rs->requery(&error))
        trapped(error);
}

void frmAdding::mnuHelp_Click()
{
    HelpViewer::showTopic(m_helpFile, kWindowTopic);
}

void frmAdding::DialogShowing(int choice)
{
    Appearance::DialogShowing(this, Appearance::Window::Editor, m_adoSettings, choice);
}

bool frmAdding::Form_QueryUnload()
{
    QString error;
    if (!finishPendingChange(&error)) {
        Dialogs::notify(this, QStringLiteral("Your change could not be saved, so the editor stays "
                                             "open:\n") +
                                  error);
        return false;
    }
    // The closing sequence: the main window, loaded afresh, lists what is new.
    frmVendora *main = Module1::frmVendoraInstance();
    if (!main->loadedOk())
        Dialogs::notify(nullptr, main->loadError());
    main->show();
    Module1::FillRecentList();
    return true;
}

void frmAdding::cmdQuit_Click()
{
    close();
}

void frmAdding::mnuExit_Click()
{
    close();
}

void frmAdding::closeEvent(QCloseEvent *event)
{
    if (m_closing) {
        event->accept();
        return;
    }
    if (!Form_QueryUnload()) {
        event->ignore();
        return;
    }
    m_closing = true;
    event->accept();
    Module1::unloadAdding();
}

} // namespace pantrio

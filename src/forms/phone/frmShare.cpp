#include "forms/phone/frmShare.h"

#include "data/owner/Household.h"
#include "data/sharing/ShareStore.h"
#include "network/ShareService.h"
#include "uibase/Dialogs.h"
#include "uibase/HelpViewer.h"
#include "uibase/QrCode.h"

#include <QCloseEvent>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QListWidget>
#include <QNetworkInterface>
#include <QPointer>
#include <QPushButton>
#include <QVBoxLayout>

namespace pantrio
{

namespace
{
constexpr int kHelpTopic = 54;
constexpr quint16 kPort = 8737; // the same each time, so a phone's page keeps its place
constexpr int kDeviceId = Qt::UserRole;
} // namespace

frmShare::frmShare(Household &file)
    : m_file(file), picCode(new QLabel), lblAddress(new QLabel), lstPhones(new QListWidget),
      cmdForget(new QPushButton(QStringLiteral("&Forget")))
{
    setObjectName(QStringLiteral("frmShare"));
    setWindowTitle(QStringLiteral("Share List on Home Network"));
    setAccessibleName(windowTitle());
    picCode->setObjectName(QStringLiteral("picShareCode"));
    picCode->setAlignment(Qt::AlignCenter);
    picCode->setAccessibleName(QStringLiteral("QR code to join the shared list"));
    picCode->setAutoFillBackground(true);
    QPalette white = picCode->palette();
    white.setColor(QPalette::Window, Qt::white);
    picCode->setPalette(white);
    lblAddress->setObjectName(QStringLiteral("lblShareAddress"));
    lblAddress->setWordWrap(true);
    lblAddress->setTextInteractionFlags(Qt::TextSelectableByMouse | Qt::TextSelectableByKeyboard);
    lstPhones->setObjectName(QStringLiteral("lstPhones"));
    lstPhones->setAccessibleName(QStringLiteral("Phones that joined"));
    cmdForget->setObjectName(QStringLiteral("cmdForget"));
    auto *newCode = new QPushButton(QStringLiteral("&New Code"));
    newCode->setObjectName(QStringLiteral("cmdNewCode"));
    auto *stop = new QPushButton(QStringLiteral("&Stop Sharing"));
    stop->setObjectName(QStringLiteral("cmdStop"));
    auto *phones = new QLabel(QStringLiteral("&Phones that joined:"));
    phones->setBuddy(lstPhones);

    auto *client = new QWidget(this);
    auto *layout = new QVBoxLayout(client);
    layout->addWidget(picCode, 1);
    layout->addWidget(lblAddress);
    layout->addWidget(phones);
    layout->addWidget(lstPhones);
    auto *buttons = new QHBoxLayout;
    buttons->addWidget(newCode);
    buttons->addWidget(cmdForget);
    buttons->addStretch(1);
    buttons->addWidget(stop);
    layout->addLayout(buttons);
    setCentralWidget(client);

    connect(newCode, &QPushButton::clicked, this, &frmShare::cmdNewCode_Click);
    connect(cmdForget, &QPushButton::clicked, this, &frmShare::cmdForget_Click);
    connect(stop, &QPushButton::clicked, this, &frmShare::cmdStop_Click);
    connect(lstPhones, &QListWidget::currentRowChanged, this,
            [this](int row) { cmdForget->setEnabled(row >= 0); });
    cmdForget->setEnabled(false);
    // Room for the code, the words under it and a few phones.
    resize(460, 720);
}

frmShare::~frmShare() = default;

QHostAddress frmShare::homeAddress()
{
    // A private IPv4 address of an interface that is up: the home network.
    for (const QNetworkInterface &i : QNetworkInterface::allInterfaces()) {
        if (!(i.flags() & QNetworkInterface::IsUp) || (i.flags() & QNetworkInterface::IsLoopBack))
            continue;
        for (const QNetworkAddressEntry &e : i.addressEntries())
            if (e.ip().protocol() == QAbstractSocket::IPv4Protocol &&
                HttpServer::allowedPeer(e.ip()) && !e.ip().isLoopback())
                return e.ip();
    }
    return {};
}

bool frmShare::start()
{
    m_service = std::make_unique<ShareService>(m_file);
    const QPointer<frmShare> self(this);
    m_service->setJoinApproval([this, self](const QString &name) {
        // On a file that may only be read a phone only reads.
        const QString what = m_file.isReadOnly()
                                 ? QStringLiteral("It will see the shopping list while it is "
                                                  "shared. This file may only be read, so the "
                                                  "phone cannot change it.")
                                 : QStringLiteral("It will see the shopping list and may tick and "
                                                  "add lines while it is shared.");
        return self && Dialogs::askYesNo(this, QStringLiteral("Let %1 join?\n\n%2").arg(name, what));
    });
    connect(m_service.get(), &ShareService::devicesChanged, this, &frmShare::showDevices);
    const QHostAddress home = homeAddress();
    if (!m_service->start(home, kPort, &m_loadError) &&
        !m_service->start(home, 0, &m_loadError)) // the usual port taken: any other
        return false;
    cmdNewCode_Click();
    showDevices();
    return true;
}

void frmShare::cmdNewCode_Click()
{
    const QString address = m_service->newJoiningAddress();
    const std::optional<QrCode::Code> code = QrCode::encode(address.toUtf8(), 10);
    if (code)
        picCode->setPixmap(QPixmap::fromImage(QrCode::image(*code, 6)));
    QString words = QStringLiteral("Scan the code with the phone's camera, or open %1 in its "
                                   "browser. The code lets one phone join, for %2 minutes; "
                                   "press New Code for the next.")
                        .arg(m_service->plainAddress())
                        .arg(ShareService::joiningMinutes);
    if (m_service->address().isNull())
        words += QStringLiteral("\n\nThis computer is on no home network: only this computer "
                                "can reach the list.");
    if (m_file.isReadOnly())
        words += QStringLiteral("\n\nThe file may only be read: phones see the list but cannot "
                                "change it.");
    lblAddress->setText(words);
    picCode->setAccessibleDescription(address);
}

void frmShare::showDevices()
{
    lstPhones->clear();
    for (const auto &d : m_service->devices()) {
        auto *item = new QListWidgetItem(d.second, lstPhones);
        item->setData(kDeviceId, d.first);
    }
    cmdForget->setEnabled(lstPhones->currentRow() >= 0);
}

void frmShare::cmdForget_Click()
{
    const QListWidgetItem *item = lstPhones->currentItem();
    if (!item)
        return;
    const QString id = item->data(kDeviceId).toString();
    QString error;
    // Its token goes: the phone must scan a new code to come back.
    if (!m_service->forget(id, &error))
        Dialogs::notify(this, error);
    showDevices();
}

void frmShare::closeEvent(QCloseEvent *event)
{
    if (m_service)
        m_service->stop();
    QMainWindow::closeEvent(event);
}

void frmShare::keyPressEvent(QKeyEvent *event)
{
    if (!HelpViewer::windowKey(this, event, kHelpTopic, true))
        QMainWindow::keyPressEvent(event);
}

} // namespace pantrio

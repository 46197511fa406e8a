#pragma once

#include "data/owner/Household.h"
#include "network/DesktopBridge.h"
#include "network/HttpServer.h"
#include "network/PhoneRegister.h"
#include "network/ShareProtocol.h"

#include <QMutex>
#include <QObject>
#include <QWaitCondition>

#include <functional>

namespace pantrio
{

// The shopping list shared with the household's phones while the share
// window is open: routes the phones' requests over HTTP on the home network
// to the open household file. A phone joins with the one-time secret of the
// QR code, once the user lets it; it then holds a token of its own (stored
// hashed). It reads the list, waits to be told that something changed, and
// sends its ticks and additions as operations, each applied once.
//
// Requests arrive on the server's threads. They answer from what needs no
// file (PhoneRegister, the list's snapshot of its version); everything else
// is handed to the program's thread (DesktopBridge), and no request keeps
// stopping waiting for it. The list is read there once per version, when it
// changes while a phone listens or at the first ask, and every phone is
// answered from that reading on the server's threads. The operations of all
// phones that arrive within one turn of the program's loop are written in
// one transaction and announced once.
class ShareService : public QObject
{
    Q_OBJECT
  public:
    explicit ShareService(Household &file, QObject *parent = nullptr);
    ~ShareService() override;

    // Starts listening on address (a local network address) and on the
    // loopback address; port 0 picks a free one.
    bool start(const QHostAddress &address, quint16 port, QString *error);
    void stop();
    bool isRunning() const { return m_server.isListening(); }
    quint16 port() const { return m_server.port(); }
    QHostAddress address() const { return m_address; }

    // A new joining secret (valid for joiningMinutes, used once) and the
    // address a phone opens with it: the secret stands after "#", which a
    // browser never sends to a server, a log or a referrer.
    QString newJoiningAddress();
    // The address in words, for typing (without a secret: the page asks the
    // desktop's user to show a code).
    QString plainAddress() const;

    // Who may join: asked on the program's thread; by default nobody.
    void setJoinApproval(std::function<bool(const QString &name)> approve)
    {
        m_approve = std::move(approve);
    }

    // The phones that joined, and forgetting one (its token goes, and its
    // waits end). On a file that may only be read, phones that join are kept
    // for this sharing only; those of before keep their tokens.
    QVector<QPair<QString, QString>> devices() const; // id, name
    bool forget(const QString &id, QString *error);

    // The list's version: raised by every change a phone should hear of.
    qint64 version() const;
    // How many times the list was read from the file for the phones, and
    // how many times the phones asked for it.
    int listReads() const;
    int listRequests() const;

    // The limits the server applies (tests make them small).
    void setLimits(const HttpServer::Limits &limits) { m_limits = limits; }
    static constexpr int joiningMinutes = 10;
    static constexpr int joinAnswerSeconds = 120;
    // How long a new joining secret is valid (joiningMinutes unless set).
    void setJoiningLifetime(int seconds) { m_joiningSeconds = seconds; }
    // How long a phone waits for the user's answer (joinAnswerSeconds unless set).
    void setJoinAnswerTime(int seconds) { m_answerSeconds = seconds; }

    // Answers one request, as the server does on its threads (and the
    // fuzzer on the service's own).
    HttpResponse handle(const HttpRequest &request);

  signals:
    // A phone joined or was forgotten.
    void devicesChanged();

  private:
    HttpResponse answer(const HttpRequest &request);
    HttpResponse join(const HttpRequest &request);
    HttpResponse list(const HttpRequest &request);
    HttpResponse wait(const QString &device, const HttpRequest &request);
    HttpResponse ops(const QString &device, const HttpRequest &request);
    struct OpsAsked {
        QString device;
        ShareProtocol::Batch batch;
    };
    struct OpsDone {
        int status = 200;
        QByteArray body;
    };
    // On the program's thread: batches of several phones, together.
    QVector<OpsDone> applyOps(const QVector<OpsAsked> &asked);
    bool applyTogether(const QVector<OpsAsked> &asked, const QVector<qsizetype> &which,
                       QVector<OpsDone> *done);
    // The list read for the phones at the version of now (program's thread),
    // and asked for from any thread (m_mutex held).
    void readSnapshot();
    void askSnapshot();
    bool hostAllowed(const HttpRequest &request) const;
    QString deviceOf(const QHash<QByteArray, QByteArray> &headers) const;
    // The phones are written to the file unless it may only be read.
    bool keepsDevices() const;
    void loadDevices();
    void bump();
    QString versionText() const; // with m_mutex held

    Household &m_file;
    HttpServer m_server;
    HttpServer::Limits m_limits;
    QHostAddress m_address;
    std::function<bool(const QString &)> m_approve;
    PhoneRegister m_phones;
    DesktopBridge m_bridge{this};
    DesktopBridge::Gathered<OpsAsked, OpsDone> m_ops{
        m_bridge, [this](const QVector<OpsAsked> &asked) { return applyOps(asked); }};

    mutable QMutex m_mutex; // guards what follows, read on the server's threads
    QWaitCondition m_changed;
    qint64 m_version = 1;
    QString m_epoch; // a new one each start: a phone's version of another run is old
    bool m_stopping = false;
    // The list as last read, the version it was read at (-1: none yet), and
    // what the last reading that failed said.
    qint64 m_snapshotVersion = -1;
    QByteArray m_snapshot;
    int m_readings = 0; // readings finished, whether they failed or not
    // The list's lines as last read (program's thread): a tick changes none.
    TakeAlong::List m_lines;
    bool m_linesRead = false;
    QString m_readError;
    bool m_readAsked = false;
    int m_listening = 0; // phones waiting to hear of a change
    QWaitCondition m_read;
    int m_listReads = 0;
    int m_listRequests = 0;

    int m_joiningSeconds = joiningMinutes * 60;
    int m_answerSeconds = joinAnswerSeconds;
};

} // namespace pantrio

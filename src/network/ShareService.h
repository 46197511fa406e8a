#pragma once

#include "data/household/Household.h"
#include "network/HttpServer.h"

#include <QDateTime>
#include <QMutex>
#include <QObject>
#include <QPointer>
#include <QWaitCondition>

#include <functional>

namespace pantrio
{

// The shopping list shared with the household's phones while the share
// window is open: the phones' protocol over HTTP on the home network, on the
// open household file. A phone joins with the one-time secret of the QR
// code, once the user lets it; it then holds a token of its own (stored
// hashed). It reads the list, waits to be told that something changed, and
// sends its ticks and additions as operations, each applied once.
//
// Requests arrive on the server's threads; everything that touches the file
// runs on the thread the service lives on (the program's), and a request
// that would wait for it while the service stops is answered 503.
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

    // A new joining secret (128 random bits, valid for ten minutes, used
    // once) and the address a phone opens with it: the secret stands after
    // "#", which a browser never sends to a server, a log or a referrer.
    QString newJoiningAddress();
    // The address in words, for typing (without a secret: the page asks the
    // desktop's user to show a code).
    QString plainAddress() const;

    // Who may join: asked on the service's thread; the default asks the
    // user "Let <name> join?".
    void setJoinApproval(std::function<bool(const QString &name)> approve)
    {
        m_approve = std::move(approve);
    }

    // The phones that joined, and forgetting one (its token goes). On a file
    // that may only be read they are kept for this sharing only.
    QVector<QPair<QString, QString>> devices() const; // id, name
    bool forget(const QString &id, QString *error);

    // The list's version: raised by every change a phone should hear of.
    qint64 version() const;

    // The limits the server applies (tests make them small).
    void setLimits(const HttpServer::Limits &limits) { m_limits = limits; }
    static constexpr int joinsPerMinute = 10;
    static constexpr int joiningMinutes = 10;
    // How long a new joining secret is valid (joiningMinutes unless set).
    void setJoiningLifetime(int seconds) { m_joiningSeconds = seconds; }

    // Answers one request, as the server does on its threads (and the
    // fuzzer on the service's own).
    HttpResponse handle(const HttpRequest &request);

  signals:
    // A phone joined or was forgotten.
    void devicesChanged();

  private:
    HttpResponse answer(const HttpRequest &request);
    HttpResponse join(const HttpRequest &request);
    HttpResponse list(const QString &device, const HttpRequest &request);
    HttpResponse wait(const HttpRequest &request);
    HttpResponse ops(const QString &device, const HttpRequest &request);
    bool hostAllowed(const HttpRequest &request) const;
    // Runs work on the service's thread and waits for it; false when the
    // service stopped first.
    bool onServiceThread(const std::function<void()> &work);
    // The phone whose token the request carries; empty when none.
    QString deviceOf(const HttpRequest &request);
    // The phones are kept in the file unless it may only be read.
    bool keepsDevices() const;
    void loadDevices();
    void bump();

    Household &m_file;
    HttpServer m_server;
    HttpServer::Limits m_limits;
    QHostAddress m_address;
    std::function<bool(const QString &)> m_approve;

    mutable QMutex m_mutex; // guards what follows, read on the server's threads
    QWaitCondition m_changed;
    qint64 m_version = 1;
    QString m_epoch; // a new one each start: a phone's version of another run is old
    bool m_stopping = false;
    struct Secret {
        QByteArray hash;
        QDateTime until;
    };
    QList<Secret> m_secrets;
    QList<QDateTime> m_joinAttempts;
    // The phones that joined, with their tokens' hashes, read by the
    // server's threads; loaded from the file at start.
    struct Joined {
        QString id, name;
        QByteArray hash;
    };
    QList<Joined> m_devices;
    int m_joiningSeconds = joiningMinutes * 60;
};

} // namespace pantrio

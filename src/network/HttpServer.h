#pragma once

#include <QByteArray>
#include <QHash>
#include <QHostAddress>
#include <QList>
#include <QString>

#include <functional>
#include <memory>

namespace pantrio
{

struct HttpRequest {
    QByteArray method;
    QString path;
    QHash<QString, QString> query;
    QHash<QByteArray, QByteArray> headers; // names in lower case
    QByteArray body;
    QHostAddress peer;
};

struct HttpResponse {
    int status = 200;
    QByteArray contentType = "application/json";
    QByteArray body;
    QList<QPair<QByteArray, QByteArray>> headers;
};

// A small HTTP/1.1 server on the home network, behind an interface of our
// own so the library under it can be replaced. Today libmicrohttpd: every
// connection on a thread of its own, with limits on connections in all and
// per address, on the memory a request's headers may take and on its body,
// and idle connections closed. A request must arrive whole within a time of
// its own, however it trickles; and connections of peers the caller trusts
// (a joined phone's token) have room that others cannot fill. Only peers on
// the loopback and the private ranges are let in. The handler runs on the
// connection's thread.
class HttpServer
{
  public:
    struct Limits {
        unsigned connections = 32; // any peer's
        unsigned trustedRoom = 16; // beyond those, only for trusted peers
        unsigned perAddress = 8;
        unsigned idleSeconds = 15;
        unsigned requestSeconds = 5; // from the first byte to the whole request
        size_t headerBytes = 16 * 1024;
        qsizetype bodyBytes = 16 * 1024;
    };
    using Handler = std::function<HttpResponse(const HttpRequest &)>;
    // Told a request's headers: whether its peer is one to keep room for.
    using Trust = std::function<bool(const QHash<QByteArray, QByteArray> &headers)>;

    HttpServer();
    ~HttpServer();
    HttpServer(const HttpServer &) = delete;
    HttpServer &operator=(const HttpServer &) = delete;

    // Listens on each address, on one port (0: a free one, the same for all).
    bool listen(const QList<QHostAddress> &addresses, quint16 port, const Limits &limits,
                Handler handler, Trust trust, QString *error);
    void stop();
    bool isListening() const;
    quint16 port() const { return m_port; }

    // Whether a peer may talk to the server at all.
    static bool allowedPeer(const QHostAddress &address);

  private:
    struct Daemon;
    struct Watch;
    std::unique_ptr<Watch> m_watch;
    std::vector<std::unique_ptr<Daemon>> m_daemons;
    quint16 m_port = 0;
};

} // namespace pantrio

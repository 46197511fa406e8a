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
// and idle or slow connections closed. Only peers on the loopback and the
// private ranges are let in. The handler runs on the connection's thread.
class HttpServer
{
  public:
    struct Limits {
        unsigned connections = 32;
        unsigned perAddress = 8;
        unsigned idleSeconds = 15;
        size_t headerBytes = 16 * 1024;
        qsizetype bodyBytes = 16 * 1024;
    };
    using Handler = std::function<HttpResponse(const HttpRequest &)>;

    HttpServer();
    ~HttpServer();
    HttpServer(const HttpServer &) = delete;
    HttpServer &operator=(const HttpServer &) = delete;

    // Listens on each address, on one port (0: a free one, the same for all).
    bool listen(const QList<QHostAddress> &addresses, quint16 port, const Limits &limits,
                Handler handler, QString *error);
    void stop();
    bool isListening() const;
    quint16 port() const { return m_port; }

    // Whether a peer may talk to the server at all.
    static bool allowedPeer(const QHostAddress &address);

  private:
    struct Daemon;
    std::vector<std::unique_ptr<Daemon>> m_daemons;
    quint16 m_port = 0;
};

} // namespace pantrio

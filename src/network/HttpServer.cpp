#include "network/HttpServer.h"

#include <QUrl>
#include <QUrlQuery>

#include <microhttpd.h>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>

namespace pantrio
{

namespace
{

QHostAddress addressOf(const sockaddr *addr)
{
    QHostAddress a;
    a.setAddress(addr);
    return a;
}

// One request being read: its body grows with each call of the handler.
struct Pending {
    QByteArray body;
    bool tooLarge = false;
};

} // namespace

struct HttpServer::Daemon {
    MHD_Daemon *daemon = nullptr;
    Handler handler;
    Limits limits;

    ~Daemon()
    {
        if (daemon)
            MHD_stop_daemon(daemon);
    }

    static MHD_Result accept(void *, const sockaddr *addr, socklen_t)
    {
        return allowedPeer(addressOf(addr)) ? MHD_YES : MHD_NO;
    }

    static void completed(void *, MHD_Connection *, void **context, MHD_RequestTerminationCode)
    {
        delete static_cast<Pending *>(*context);
        *context = nullptr;
    }

    static MHD_Result header(void *cls, MHD_ValueKind, const char *key, const char *value)
    {
        auto *headers = static_cast<QHash<QByteArray, QByteArray> *>(cls);
        headers->insert(QByteArray(key).toLower(), QByteArray(value ? value : ""));
        return MHD_YES;
    }

    static MHD_Result request(void *cls, MHD_Connection *connection, const char *url,
                              const char *method, const char *, const char *upload,
                              size_t *uploadSize, void **context)
    {
        auto *self = static_cast<Daemon *>(cls);
        auto *pending = static_cast<Pending *>(*context);
        if (!pending) {
            *context = new Pending;
            return MHD_YES;
        }
        if (*uploadSize) {
            if (pending->body.size() + qsizetype(*uploadSize) > self->limits.bodyBytes)
                pending->tooLarge = true;
            else
                pending->body.append(upload, qsizetype(*uploadSize));
            *uploadSize = 0;
            return MHD_YES;
        }
        HttpResponse response;
        if (pending->tooLarge) {
            response.status = 413;
            response.body = R"({"error":"too large"})";
        } else {
            HttpRequest r;
            r.method = method;
            const QUrl parsed = QUrl::fromEncoded(QByteArray(url));
            r.path = parsed.path();
            MHD_get_connection_values(connection, MHD_HEADER_KIND, &Daemon::header, &r.headers);
            QHash<QByteArray, QByteArray> args;
            MHD_get_connection_values(connection, MHD_GET_ARGUMENT_KIND, &Daemon::header, &args);
            for (auto it = args.cbegin(); it != args.cend(); ++it)
                r.query.insert(QString::fromUtf8(it.key()), QString::fromUtf8(it.value()));
            r.body = pending->body;
            if (const MHD_ConnectionInfo *info =
                    MHD_get_connection_info(connection, MHD_CONNECTION_INFO_CLIENT_ADDRESS))
                r.peer = addressOf(info->client_addr);
            response = self->handler(r);
        }
        MHD_Response *out = MHD_create_response_from_buffer(
            size_t(response.body.size()), const_cast<char *>(response.body.constData()),
            MHD_RESPMEM_MUST_COPY);
        if (!out)
            return MHD_NO;
        MHD_add_response_header(out, "Content-Type", response.contentType.constData());
        MHD_add_response_header(out, "Cache-Control", "no-store");
        MHD_add_response_header(out, "X-Content-Type-Options", "nosniff");
        for (const auto &h : std::as_const(response.headers))
            MHD_add_response_header(out, h.first.constData(), h.second.constData());
        const MHD_Result queued = MHD_queue_response(connection, unsigned(response.status), out);
        MHD_destroy_response(out);
        return queued;
    }
};

HttpServer::HttpServer() = default;

HttpServer::~HttpServer()
{
    stop();
}

bool HttpServer::allowedPeer(const QHostAddress &address)
{
    if (address.isLoopback())
        return true;
    bool ok = false;
    const QHostAddress v4 = QHostAddress(address.toIPv4Address(&ok));
    const QHostAddress a = ok ? v4 : address;
    return a.isInSubnet(QHostAddress(QStringLiteral("10.0.0.0")), 8) ||
           a.isInSubnet(QHostAddress(QStringLiteral("172.16.0.0")), 12) ||
           a.isInSubnet(QHostAddress(QStringLiteral("192.168.0.0")), 16) ||
           a.isInSubnet(QHostAddress(QStringLiteral("fc00::")), 7) ||
           a.isInSubnet(QHostAddress(QStringLiteral("fe80::")), 10);
}

bool HttpServer::listen(const QList<QHostAddress> &addresses, quint16 port, const Limits &limits,
                        Handler handler, QString *error)
{
    stop();
    m_port = port;
    for (const QHostAddress &address : addresses) {
        auto d = std::make_unique<Daemon>();
        d->handler = handler;
        d->limits = limits;
        sockaddr_storage storage = {};
        unsigned flags = MHD_USE_THREAD_PER_CONNECTION | MHD_USE_INTERNAL_POLLING_THREAD;
        if (address.protocol() == QAbstractSocket::IPv6Protocol) {
            auto *in6 = reinterpret_cast<sockaddr_in6 *>(&storage);
            in6->sin6_family = AF_INET6;
            in6->sin6_port = htons(m_port);
            const Q_IPV6ADDR raw = address.toIPv6Address();
            memcpy(&in6->sin6_addr, &raw, sizeof(raw));
            flags |= MHD_USE_IPv6;
        } else {
            auto *in4 = reinterpret_cast<sockaddr_in *>(&storage);
            in4->sin_family = AF_INET;
            in4->sin_port = htons(m_port);
            in4->sin_addr.s_addr = htonl(address.toIPv4Address());
        }
        d->daemon = MHD_start_daemon(
            flags, m_port, &Daemon::accept, nullptr, &Daemon::request, d.get(),
            MHD_OPTION_SOCK_ADDR, reinterpret_cast<sockaddr *>(&storage),
            MHD_OPTION_CONNECTION_LIMIT, limits.connections,
            MHD_OPTION_PER_IP_CONNECTION_LIMIT, limits.perAddress,
            MHD_OPTION_CONNECTION_TIMEOUT, limits.idleSeconds,
            MHD_OPTION_CONNECTION_MEMORY_LIMIT, limits.headerBytes,
            MHD_OPTION_NOTIFY_COMPLETED, &Daemon::completed, nullptr, MHD_OPTION_END);
        if (!d->daemon) {
            if (error)
                *error = QStringLiteral("Pantrio could not listen on %1, port %2.")
                             .arg(address.toString())
                             .arg(m_port);
            stop();
            return false;
        }
        if (m_port == 0) {
            const MHD_DaemonInfo *info = MHD_get_daemon_info(d->daemon, MHD_DAEMON_INFO_BIND_PORT);
            m_port = info ? info->port : 0;
        }
        m_daemons.push_back(std::move(d));
    }
    return !m_daemons.empty();
}

void HttpServer::stop()
{
    m_daemons.clear();
}

bool HttpServer::isListening() const
{
    return !m_daemons.empty();
}

} // namespace pantrio

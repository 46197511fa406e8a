#include "network/HttpServer.h"

#include <QUrl>
#include <QUrlQuery>

#include <microhttpd.h>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#ifdef __GLIBC__
#include <malloc.h>
#endif

#include <chrono>
#include <condition_variable>
#include <mutex>
#include <set>
#include <thread>

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

using Clock = std::chrono::steady_clock;

} // namespace

// Every open connection of the server, watched: a request that has not
// arrived whole in time is cut off, and when peers not trusted hold more
// than their share, the oldest of them still sending is cut for a new one.
// Cutting is a shutdown of the socket, which the library then closes as a
// peer's hang-up; the entry goes before the library closes the socket.
struct HttpServer::Watch {
    struct Connection {
        int fd = -1;
        Clock::time_point since = Clock::now(); // of the request being read
        bool answering = false;                 // read whole: being answered
        bool trusted = false;
        bool cut = false;
    };

    Limits limits;
    std::mutex mutex;
    std::condition_variable wake;
    std::set<Connection *> connections;
    bool stopping = false;
    std::thread thread;

    explicit Watch(const Limits &l) : limits(l)
    {
        thread = std::thread([this] { run(); });
    }
    ~Watch()
    {
        {
            std::lock_guard lock(mutex);
            stopping = true;
        }
        wake.notify_all();
        thread.join();
    }
    static void cut(Connection *c)
    {
        if (!c->cut)
            ::shutdown(c->fd, SHUT_RDWR);
        c->cut = true;
    }
    void started(Connection *c)
    {
        std::lock_guard lock(mutex);
        connections.insert(c);
        unsigned strangers = 0;
        Connection *oldest = nullptr;
        for (Connection *o : connections) {
            if (o->trusted || o->cut)
                continue;
            ++strangers;
            if (!o->answering && o != c && (!oldest || o->since < oldest->since))
                oldest = o;
        }
        if (strangers > limits.connections)
            cut(oldest ? oldest : c);
    }
    void closed(Connection *c)
    {
        std::lock_guard lock(mutex);
        connections.erase(c);
        delete c;
    }
    void headers(Connection *c, bool trusted)
    {
        std::lock_guard lock(mutex);
        c->trusted = c->trusted || trusted;
    }
    void answering(Connection *c, bool now)
    {
        std::lock_guard lock(mutex);
        c->answering = now;
        c->since = Clock::now();
    }
    void run()
    {
        const auto limit = std::chrono::seconds(limits.requestSeconds);
        std::unique_lock lock(mutex);
        while (!stopping) {
            wake.wait_for(lock, std::chrono::milliseconds(100));
            const auto now = Clock::now();
            for (Connection *c : connections)
                if (!c->trusted && !c->answering && now - c->since > limit)
                    cut(c);
        }
    }
};

struct HttpServer::Daemon {
    MHD_Daemon *daemon = nullptr;
    Handler handler;
    Trust trust;
    Limits limits;
    Watch *watch = nullptr;

    static Watch::Connection *watched(MHD_Connection *connection)
    {
        const MHD_ConnectionInfo *info =
            MHD_get_connection_info(connection, MHD_CONNECTION_INFO_SOCKET_CONTEXT);
        return info ? static_cast<Watch::Connection *>(info->socket_context) : nullptr;
    }

    static void notify(void *cls, MHD_Connection *connection, void **socketContext,
                       MHD_ConnectionNotificationCode code)
    {
        auto *self = static_cast<Daemon *>(cls);
        if (code == MHD_CONNECTION_NOTIFY_STARTED) {
            auto *c = new Watch::Connection;
            if (const MHD_ConnectionInfo *info =
                    MHD_get_connection_info(connection, MHD_CONNECTION_INFO_CONNECTION_FD))
                c->fd = info->connect_fd;
            *socketContext = c;
            self->watch->started(c);
        } else if (*socketContext) {
            self->watch->closed(static_cast<Watch::Connection *>(*socketContext));
            *socketContext = nullptr;
        }
    }

    ~Daemon()
    {
        if (daemon)
            MHD_stop_daemon(daemon);
    }

    static MHD_Result accept(void *, const sockaddr *addr, socklen_t)
    {
        return allowedPeer(addressOf(addr)) ? MHD_YES : MHD_NO;
    }

    static void completed(void *cls, MHD_Connection *connection, void **context,
                          MHD_RequestTerminationCode)
    {
        delete static_cast<Pending *>(*context);
        *context = nullptr;
        // The next request on this connection has its own time.
        if (Watch::Connection *c = watched(connection))
            static_cast<Daemon *>(cls)->watch->answering(c, false);
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
            if (Watch::Connection *c = watched(connection)) {
                QHash<QByteArray, QByteArray> headers;
                MHD_get_connection_values(connection, MHD_HEADER_KIND, &Daemon::header, &headers);
                self->watch->headers(c, self->trust && self->trust(headers));
            }
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
        if (Watch::Connection *c = watched(connection))
            self->watch->answering(c, true);
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

// Gives each thread the server may run a heap of its own. Once threads
// outnumber glibc's heaps (eight a core) they share them, the program
// thread's too, and that thread then waits whenever a connection's thread is
// preempted holding the heap's lock. glibc fixes its count of heaps once it
// has more than eight, which the program never has before it shares.
static void ownHeapsForThreads(const HttpServer::Limits &limits, int addresses)
{
#ifdef __GLIBC__
    // Each address's connections, its daemon's thread, and the program's own;
    // never fewer than asked before.
    static int asked = 0; // servers are started on the program's thread
    const int heaps = addresses * int(limits.connections + limits.trustedRoom + 1) + 16;
    if (heaps > asked && mallopt(M_ARENA_MAX, heaps) == 1)
        asked = heaps;
#else
    Q_UNUSED(limits);
    Q_UNUSED(addresses);
#endif
}

bool HttpServer::listen(const QList<QHostAddress> &addresses, quint16 port, const Limits &limits,
                        Handler handler, Trust trust, QString *error)
{
    stop();
    ownHeapsForThreads(limits, int(addresses.size()));
    m_port = port;
    m_watch = std::make_unique<Watch>(limits);
    for (const QHostAddress &address : addresses) {
        auto d = std::make_unique<Daemon>();
        d->handler = handler;
        d->trust = trust;
        d->limits = limits;
        d->watch = m_watch.get();
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
            MHD_OPTION_CONNECTION_LIMIT, limits.connections + limits.trustedRoom,
            MHD_OPTION_PER_IP_CONNECTION_LIMIT, limits.perAddress,
            MHD_OPTION_CONNECTION_TIMEOUT, limits.idleSeconds,
            MHD_OPTION_CONNECTION_MEMORY_LIMIT, limits.headerBytes,
            MHD_OPTION_NOTIFY_COMPLETED, &Daemon::completed, d.get(),
            MHD_OPTION_NOTIFY_CONNECTION, &Daemon::notify, d.get(), MHD_OPTION_END);
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
    m_watch.reset();
}

bool HttpServer::isListening() const
{
    return !m_daemons.empty();
}

} // namespace pantrio

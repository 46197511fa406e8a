#include "network/ShareService.h"

#include "data/formats/TakeAlong.h"
#include "data/sharing/ShareStore.h"

#include <QCryptographicHash>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QMetaObject>
#include <QRandomGenerator>
#include <QSemaphore>
#include <QThread>
#include <QUrl>

#include <algorithm>
#include <atomic>
#include <memory>

namespace pantrio
{

namespace
{

QByteArray sha256(const QByteArray &data)
{
    return QCryptographicHash::hash(data, QCryptographicHash::Sha256);
}

QString randomText(int bytes)
{
    QByteArray raw(bytes, Qt::Uninitialized);
    QRandomGenerator::system()->fillRange(reinterpret_cast<quint32 *>(raw.data()),
                                          bytes / int(sizeof(quint32)));
    return QString::fromLatin1(
        raw.toBase64(QByteArray::Base64UrlEncoding | QByteArray::OmitTrailingEquals));
}

bool sameBytes(const QByteArray &a, const QByteArray &b)
{
    unsigned char diff = a.size() == b.size() ? 0 : 1;
    for (qsizetype i = 0; i < a.size() && i < b.size(); ++i)
        diff |= static_cast<unsigned char>(a.at(i) ^ b.at(i));
    return diff == 0;
}

// A JSON string, as UTF-8 with what JSON requires escaped (and "</" too, so
// the text can never close a script element it is placed in).
void appendJsonString(QByteArray &out, const QString &text)
{
    out += '"';
    const QByteArray utf8 = text.toUtf8();
    for (qsizetype i = 0; i < utf8.size(); ++i) {
        const char c = utf8.at(i);
        switch (c) {
        case '"':
            out += "\\\"";
            break;
        case '\\':
            out += "\\\\";
            break;
        case '\n':
            out += "\\n";
            break;
        case '\r':
            out += "\\r";
            break;
        case '\t':
            out += "\\t";
            break;
        case '/':
            out += i > 0 && utf8.at(i - 1) == '<' ? "\\/" : "/";
            break;
        default:
            if (static_cast<unsigned char>(c) < 0x20) {
                static const char hex[] = "0123456789abcdef";
                out += "\\u00";
                out += hex[(c >> 4) & 0xf];
                out += hex[c & 0xf];
            } else {
                out += c;
            }
        }
    }
    out += '"';
}

HttpResponse json(const QJsonObject &o, int status = 200)
{
    HttpResponse r;
    r.status = status;
    r.body = QJsonDocument(o).toJson(QJsonDocument::Compact);
    return r;
}

HttpResponse refuse(int status, const char *why)
{
    return json({{QStringLiteral("error"), QString::fromLatin1(why)}}, status);
}

// What every answer forbids: any load from elsewhere, framing, forms sent away.
const QByteArray kPolicy =
    "default-src 'none'; connect-src 'self'; img-src 'none'; base-uri 'none'; form-action "
    "'none'; frame-ancestors 'none'";

} // namespace


ShareService::ShareService(Household &file, QObject *parent) : QObject(parent), m_file(file)
{
    m_approve = [](const QString &) { return false; };
    connect(&m_file, &Household::changed, this, [this](Household::Changes what) {
        if (what & Household::Replaced) {
            // Another file's phones: those of the old one are let go.
            loadDevices();
            emit devicesChanged();
        }
        if (what & (Household::List | Household::Replaced | Household::StoresAndAisles |
                    Household::Catalogue))
            bump();
    });
}

ShareService::~ShareService()
{
    stop();
}

void ShareService::bump()
{
    QMutexLocker lock(&m_mutex);
    ++m_version;
    m_changed.wakeAll();
}

qint64 ShareService::version() const
{
    QMutexLocker lock(&m_mutex);
    return m_version;
}

bool ShareService::start(const QHostAddress &address, quint16 port, QString *error)
{
    stop();
    // A file that may only be read is shared read-only, whatever its version.
    if (!m_file.hasSharing() && !m_file.isReadOnly()) {
        if (error)
            *error = QStringLiteral("This file cannot keep what sharing needs.");
        return false;
    }
    {
        QMutexLocker lock(&m_mutex);
        m_stopping = false;
        m_epoch = randomText(6);
        m_secrets.clear();
        m_joinAttempts.clear();
    }
    m_address = address;
    loadDevices();
    QList<QHostAddress> addresses = {QHostAddress(QHostAddress::LocalHost)};
    if (!address.isNull() && !address.isLoopback())
        addresses.prepend(address);
    return m_server.listen(
        addresses, port, m_limits, [this](const HttpRequest &r) { return handle(r); }, error);
}

void ShareService::stop()
{
    {
        QMutexLocker lock(&m_mutex);
        m_stopping = true;
        m_changed.wakeAll();
    }
    // Its threads end here; none waits for this thread any more.
    m_server.stop();
}

QString ShareService::plainAddress() const
{
    const QHostAddress a = m_address.isNull() ? QHostAddress(QHostAddress::LocalHost) : m_address;
    const QString host = a.protocol() == QAbstractSocket::IPv6Protocol
                             ? QLatin1Char('[') + a.toString() + QLatin1Char(']')
                             : a.toString();
    return QStringLiteral("http://%1:%2/").arg(host).arg(port());
}

QString ShareService::newJoiningAddress()
{
    const QString secret = randomText(16); // 128 bits
    {
        QMutexLocker lock(&m_mutex);
        const QDateTime now = QDateTime::currentDateTimeUtc();
        m_secrets.removeIf([&](const Secret &s) { return s.until < now; });
        m_secrets.append({sha256(secret.toLatin1()), now.addSecs(m_joiningSeconds)});
    }
    return plainAddress() + QStringLiteral("#join=") + secret;
}

bool ShareService::onServiceThread(const std::function<void()> &work)
{
    if (QThread::currentThread() == thread()) {
        work();
        return true;
    }
    // 0 waiting, 1 running, 2 given up: the work never runs once given up.
    auto state = std::make_shared<std::atomic<int>>(0);
    auto done = std::make_shared<QSemaphore>(0);
    const std::function<void()> *job = &work;
    QMetaObject::invokeMethod(
        this,
        [state, done, job] {
            int waiting = 0;
            if (!state->compare_exchange_strong(waiting, 1))
                return;
            (*job)();
            done->release();
        },
        Qt::QueuedConnection);
    for (;;) {
        if (done->tryAcquire(1, 100))
            return true;
        bool stopping;
        {
            QMutexLocker lock(&m_mutex);
            stopping = m_stopping;
        }
        int waiting = 0;
        if (stopping && state->compare_exchange_strong(waiting, 2))
            return false;
    }
}

bool ShareService::hostAllowed(const HttpRequest &request) const
{
    // Against DNS rebinding: the name the browser used must be this server's.
    const QString host = QString::fromLatin1(request.headers.value("host"));
    const QString p = QString::number(port());
    QStringList allowed = {QStringLiteral("127.0.0.1:") + p, QStringLiteral("localhost:") + p,
                           QStringLiteral("[::1]:") + p};
    if (!m_address.isNull())
        allowed << QUrl(plainAddress()).authority();
    if (!allowed.contains(host, Qt::CaseInsensitive))
        return false;
    // No cross-site requests: a browser names the page that sent one.
    const QByteArray origin = request.headers.value("origin");
    return origin.isEmpty() || QString::fromLatin1(origin).compare(
                                   QStringLiteral("http://") + host, Qt::CaseInsensitive) == 0;
}

bool ShareService::keepsDevices() const
{
    return m_file.hasSharing() && !m_file.isReadOnly();
}

void ShareService::loadDevices()
{
    QList<Joined> loaded;
    QVector<QPair<ShareStore::Device, QByteArray>> stored;
    QString error;
    if (keepsDevices() && ShareStore::deviceHashes(m_file.connection(), &stored, &error))
        for (const auto &d : std::as_const(stored))
            loaded.append({d.first.id, d.first.name, d.second});
    QMutexLocker lock(&m_mutex);
    m_devices = loaded;
}

QString ShareService::deviceOf(const HttpRequest &request)
{
    const QByteArray auth = request.headers.value("authorization");
    if (!auth.startsWith("Bearer "))
        return {};
    const QByteArray hash = sha256(auth.mid(7).trimmed());
    QString id;
    // Every hash is compared whole, whichever device, if any, matches.
    QMutexLocker lock(&m_mutex);
    for (const Joined &d : std::as_const(m_devices))
        if (sameBytes(d.hash, hash) && id.isEmpty())
            id = d.id;
    return id;
}

HttpResponse ShareService::handle(const HttpRequest &request)
{
    HttpResponse out = answer(request);
    const bool hasPolicy = std::any_of(out.headers.cbegin(), out.headers.cend(), [](const auto &h) {
        return h.first == "Content-Security-Policy";
    });
    if (!hasPolicy)
        out.headers.append(qMakePair(QByteArray("Content-Security-Policy"), kPolicy));
    return out;
}

HttpResponse ShareService::answer(const HttpRequest &request)
{
    if (!hostAllowed(request))
        return refuse(403, "this server answers only to its own address");
    const QString path = request.path;
    if (request.method == "GET" && (path == QLatin1String("/") || path == QLatin1String("/index.html"))) {
        HttpResponse page;
        page.contentType = "text/html; charset=utf-8";
        page.body = TakeAlong::sharePage().toUtf8();
        page.headers.append(
            qMakePair(QByteArray("Content-Security-Policy"), TakeAlong::sharePagePolicy().toLatin1()));
        page.headers.append(qMakePair(QByteArray("Referrer-Policy"), QByteArray("no-referrer")));
        return page;
    }
    if (request.method == "POST" && path == QLatin1String("/api/join"))
        return join(request);
    const bool known = (request.method == "GET" && (path == QLatin1String("/api/list") ||
                                                    path == QLatin1String("/api/wait"))) ||
                       (request.method == "POST" && path == QLatin1String("/api/ops"));
    if (!known)
        return refuse(404, "no such thing");
    const QString device = deviceOf(request);
    if (device.isEmpty())
        return refuse(401, "this phone has not joined, or was forgotten");
    if (path == QLatin1String("/api/list"))
        return list(device, request);
    if (path == QLatin1String("/api/wait"))
        return wait(request);
    return ops(device, request);
}

HttpResponse ShareService::join(const HttpRequest &request)
{
    const QJsonObject body = QJsonDocument::fromJson(request.body).object();
    const QString secret = body.value(QStringLiteral("secret")).toString();
    const QString name = body.value(QStringLiteral("name")).toString().trimmed().left(40);
    {
        QMutexLocker lock(&m_mutex);
        const QDateTime now = QDateTime::currentDateTimeUtc();
        m_joinAttempts.removeIf([&](const QDateTime &t) { return t.secsTo(now) >= 60; });
        if (m_joinAttempts.size() >= joinsPerMinute)
            return refuse(429, "too many attempts to join; wait a minute");
        m_joinAttempts.append(now);
        // Used once, whatever the answer; an expired one is no use.
        const QByteArray hash = sha256(secret.toLatin1());
        bool found = false;
        for (qsizetype i = 0; i < m_secrets.size(); ++i) {
            if (sameBytes(m_secrets.at(i).hash, hash) && m_secrets.at(i).until >= now) {
                m_secrets.removeAt(i);
                found = true;
                break;
            }
        }
        if (!found)
            return refuse(403, "this code was used or is out of date: ask for a new one");
    }
    if (name.isEmpty())
        return refuse(400, "a phone needs a name");
    bool allowed = false;
    QString token, id, error;
    const bool ran = onServiceThread([&] {
        allowed = m_approve(name);
        if (!allowed)
            return;
        token = randomText(32);
        id = randomText(12);
        const QByteArray hash = sha256(token.toLatin1());
        const ShareStore::Device d{id, name, QDateTime::currentDateTimeUtc()};
        // Kept in the file where it may be written; for this sharing only else.
        if (keepsDevices())
            allowed = m_file.change(
                QString(), {},
                [&](QString *e) { return ShareStore::addDevice(m_file.connection(), d, hash, e); },
                &error);
        if (!allowed)
            return;
        {
            QMutexLocker lock(&m_mutex);
            m_devices.append({id, name, hash});
        }
        emit devicesChanged();
    });
    if (!ran)
        return refuse(503, "sharing has stopped");
    if (!allowed)
        return refuse(403, error.isEmpty() ? "not let in" : "the phone could not be stored");
    return json({{QStringLiteral("token"), token}, {QStringLiteral("device"), id}});
}

HttpResponse ShareService::list(const QString &, const HttpRequest &request)
{
    QString epochVersion;
    {
        QMutexLocker lock(&m_mutex);
        epochVersion = m_epoch + QLatin1Char(':') + QString::number(m_version);
    }
    if (request.query.value(QStringLiteral("since")) == epochVersion)
        return json({{QStringLiteral("version"), epochVersion},
                     {QStringLiteral("unchanged"), true}});
    // Written straight as JSON: the list is the largest answer, asked after
    // every change, and an object per line cost more than reading the lines.
    QByteArray body;
    QString error;
    const bool ran = onServiceThread([&] {
        TakeAlong::List items;
        QHash<qint64, QVector<Share::Tag>> ticks;
        if (!TakeAlong::build(m_file.de(), &items, &error) ||
            (m_file.hasSharing() && !ShareStore::allLiveTicks(m_file.connection(), &ticks, &error)))
            return;
        int left = 0, total = 0;
        body.reserve(4096 + items.lineCount() * 96);
        body += "{\"store\":";
        appendJsonString(body, items.store);
        body += ",\"groups\":[";
        for (qsizetype gi = 0; gi < items.groups.size(); ++gi) {
            const TakeAlong::Group &g = items.groups.at(gi);
            body += gi ? ",{\"title\":" : "{\"title\":";
            appendJsonString(body, g.title);
            body += ",\"lines\":[";
            for (qsizetype li = 0; li < g.lines.size(); ++li) {
                const TakeAlong::Line &l = g.lines.at(li);
                body += li ? ",{\"id\":" : "{\"id\":";
                body += QByteArray::number(l.id);
                body += ",\"item\":";
                appendJsonString(body, l.item);
                body += ",\"qty\":";
                appendJsonString(body, l.quantity);
                body += ",\"ticks\":[";
                const QVector<Share::Tag> seen = ticks.value(l.id);
                for (qsizetype t = 0; t < seen.size(); ++t) {
                    body += t ? ",[" : "[";
                    appendJsonString(body, seen.at(t).device);
                    body += ',';
                    body += QByteArray::number(seen.at(t).seq);
                    body += ']';
                }
                body += "]}";
                ++total;
                left += seen.isEmpty() ? 1 : 0;
            }
            body += "]}";
        }
        body += "],\"left\":" + QByteArray::number(left) +
                ",\"total\":" + QByteArray::number(total) +
                ",\"readOnly\":" + (m_file.isReadOnly() ? "true" : "false");
    });
    if (!ran)
        return refuse(503, "sharing has stopped");
    if (body.isEmpty())
        return json({{QStringLiteral("error"), error}}, 500);
    {
        QMutexLocker lock(&m_mutex);
        body += ",\"version\":";
        appendJsonString(body, m_epoch + QLatin1Char(':') + QString::number(m_version));
    }
    body += '}';
    HttpResponse r;
    r.body = std::move(body);
    return r;
}

QVector<QPair<QString, QString>> ShareService::devices() const
{
    QVector<QPair<QString, QString>> out;
    QMutexLocker lock(&m_mutex);
    for (const Joined &j : std::as_const(m_devices))
        out.append({j.id, j.name});
    return out;
}

bool ShareService::forget(const QString &id, QString *error)
{
    if (keepsDevices() &&
        !m_file.change(
            QString(), {},
            [&](QString *e) { return ShareStore::forget(m_file.connection(), id, e); }, error))
        return false;
    {
        QMutexLocker lock(&m_mutex);
        m_devices.removeIf([&](const Joined &j) { return j.id == id; });
    }
    emit devicesChanged();
    return true;
}

HttpResponse ShareService::wait(const HttpRequest &request)
{
    // The push channel says only that something changed; the phone then asks
    // for the list, so a dropped connection loses nothing.
    const QString since = request.query.value(QStringLiteral("since"));
    QMutexLocker lock(&m_mutex);
    auto current = [&] { return m_epoch + QLatin1Char(':') + QString::number(m_version); };
    if (since == current() && !m_stopping)
        m_changed.wait(&m_mutex, 20000);
    return json({{QStringLiteral("version"), current()}});
}

HttpResponse ShareService::ops(const QString &device, const HttpRequest &request)
{
    if (m_file.isReadOnly())
        return refuse(403, "the list may only be read");
    const QJsonArray sent = QJsonDocument::fromJson(request.body).object().value(
        QStringLiteral("ops")).toArray();
    if (sent.size() > 200)
        return refuse(413, "too many at once");
    QVector<Share::Op> ops;
    for (const QJsonValue &v : sent) {
        const QJsonObject o = v.toObject();
        const QString kind = o.value(QStringLiteral("kind")).toString();
        const qint64 seq = qint64(o.value(QStringLiteral("seq")).toDouble());
        if (seq <= 0)
            return refuse(400, "an operation needs its number");
        const qint64 line = qint64(o.value(QStringLiteral("line")).toDouble());
        Share::Op op;
        if (kind == QLatin1String("tick")) {
            op = Share::Op::tick(device, seq, line);
        } else if (kind == QLatin1String("untick")) {
            QVector<Share::Tag> seen;
            for (const QJsonValue &t : o.value(QStringLiteral("seen")).toArray())
                seen.append({t.toArray().at(0).toString(), qint64(t.toArray().at(1).toDouble())});
            op = Share::Op::untick(device, seq, line, seen);
        } else if (kind == QLatin1String("add")) {
            const QString item = o.value(QStringLiteral("item")).toString().trimmed().left(200);
            if (item.isEmpty())
                return refuse(400, "an added line needs its item");
            op = Share::Op::add(device, seq, item,
                                o.value(QStringLiteral("qty")).toString().trimmed().left(50));
        } else {
            return refuse(400, "no such operation");
        }
        ops.append(op);
    }
    QJsonArray acks;
    QString error;
    bool stored = false;
    const bool ran = onServiceThread([&] {
        // Every operation and the record that it was applied, in one transaction.
        stored = m_file.change(
            QString(), Household::List,
            [&](QString *e) {
                for (const Share::Op &op : std::as_const(ops)) {
                    ShareStore::Applied a;
                    if (!ShareStore::apply(m_file.connection(), op, &a, e))
                        return false;
                    acks.append(QJsonObject{{QStringLiteral("seq"), op.seq},
                                            {QStringLiteral("repeat"), a.repeat},
                                            {QStringLiteral("gone"), a.lineGone}});
                }
                return true;
            },
            &error);
    });
    if (!ran)
        return refuse(503, "sharing has stopped");
    if (!stored)
        return json({{QStringLiteral("error"), error}}, 500);
    return json({{QStringLiteral("acks"), acks}});
}

} // namespace pantrio

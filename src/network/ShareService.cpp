#include "network/ShareService.h"

#include "data/formats/TakeAlong.h"
#include "data/sharing/ShareStore.h"
#include "network/ShareProtocol.h"

#include <QDeadlineTimer>
#include <QJsonDocument>
#include <QRegularExpression>
#include <QThread>
#include <QUrl>

#include <algorithm>

namespace pantrio
{

using ShareProtocol::json;
using ShareProtocol::refuse;

namespace
{

// What every answer forbids: any load from elsewhere, framing, forms sent away.
const QByteArray kPolicy =
    "default-src 'none'; connect-src 'self'; img-src 'none'; base-uri 'none'; form-action "
    "'none'; frame-ancestors 'none'";

HttpResponse stopped()
{
    return refuse(503, QStringLiteral("sharing has stopped"));
}

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
            m_linesRead = false;
        if (what & (Household::List | Household::Ticks | Household::Replaced |
                    Household::StoresAndAisles | Household::Catalogue))
            bump();
    });
}

ShareService::~ShareService()
{
    stop();
}

QString ShareService::versionText() const
{
    return m_epoch + QLatin1Char(':') + QString::number(m_version);
}

void ShareService::bump()
{
    QMutexLocker lock(&m_mutex);
    ++m_version;
    m_changed.wakeAll();
    // A phone that listens asks for the list at once: have it ready.
    if (m_listening > 0)
        askSnapshot();
}

void ShareService::askSnapshot()
{
    if (m_readAsked || m_stopping)
        return;
    m_readAsked = true;
    QMetaObject::invokeMethod(this, [this] { readSnapshot(); }, Qt::QueuedConnection);
}

void ShareService::readSnapshot()
{
    // On the program's thread, where the version cannot change while the
    // list is read: what is sent is what it names.
    qint64 version = 0;
    QString name;
    {
        QMutexLocker lock(&m_mutex);
        m_readAsked = false;
        if (m_stopping || m_snapshotVersion == m_version)
            return;
        version = m_version;
        name = versionText();
    }
    QHash<qint64, QVector<Share::Tag>> ticks;
    QString error;
    if (!m_linesRead)
        m_linesRead = TakeAlong::build(m_file.de(), &m_lines, &error);
    const bool read = m_linesRead && (!m_file.hasSharing() ||
                                      ShareStore::allLiveTicks(m_file.connection(), &ticks, &error));
    const QByteArray body =
        read ? ShareProtocol::listBody(m_lines, ticks, m_file.isReadOnly(), name) : QByteArray();
    QMutexLocker lock(&m_mutex);
    ++m_readings;
    if (read) {
        ++m_listReads;
        m_snapshotVersion = version;
        m_snapshot = body;
        m_readError.clear();
    } else {
        m_readError = error.isEmpty() ? QStringLiteral("the list could not be read") : error;
    }
    m_read.wakeAll();
}

qint64 ShareService::version() const
{
    QMutexLocker lock(&m_mutex);
    return m_version;
}

int ShareService::listReads() const
{
    QMutexLocker lock(&m_mutex);
    return m_listReads;
}

int ShareService::listRequests() const
{
    QMutexLocker lock(&m_mutex);
    return m_listRequests;
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
        m_epoch = PhoneRegister::randomText(6);
        m_snapshotVersion = -1;
        m_snapshot.clear();
        m_readError.clear();
        m_linesRead = false;
    }
    m_bridge.setStopping(false);
    m_phones.clearSecrets();
    m_address = address;
    loadDevices();
    QList<QHostAddress> addresses = {QHostAddress(QHostAddress::LocalHost)};
    if (!address.isNull() && !address.isLoopback())
        addresses.prepend(address);
    return m_server.listen(
        addresses, port, m_limits, [this](const HttpRequest &r) { return handle(r); },
        [this](const QHash<QByteArray, QByteArray> &headers) {
            return !deviceOf(headers).isEmpty();
        },
        error);
}

void ShareService::stop()
{
    {
        QMutexLocker lock(&m_mutex);
        m_stopping = true;
        m_changed.wakeAll();
        m_read.wakeAll();
    }
    // Nothing the server's threads wait for runs on this thread any more, so
    // they all end here, even while a question to the user is open.
    m_bridge.setStopping(true);
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
    return plainAddress() + QStringLiteral("#join=") + m_phones.newSecret(m_joiningSeconds);
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
    // Read where the file has them, even when it may only be read: the
    // phones of before keep working, read-only.
    QList<PhoneRegister::Phone> loaded;
    QVector<QPair<ShareStore::Device, QByteArray>> stored;
    QString error;
    if (m_file.hasSharing() && ShareStore::deviceHashes(m_file.connection(), &stored, &error))
        for (const auto &d : std::as_const(stored))
            loaded.append({d.first.id, d.first.name, d.second});
    m_phones.setPhones(loaded);
}

QString ShareService::deviceOf(const QHash<QByteArray, QByteArray> &headers) const
{
    const QByteArray auth = headers.value("authorization");
    if (!auth.startsWith("Bearer "))
        return {};
    return m_phones.phoneOf(auth.mid(7).trimmed());
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
        return refuse(403, QStringLiteral("this server answers only to its own address"));
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
        return refuse(404, QStringLiteral("no such thing"));
    const QString device = deviceOf(request.headers);
    if (device.isEmpty())
        return refuse(401, QStringLiteral("this phone has not joined, or was forgotten"));
    if (path == QLatin1String("/api/list"))
        return list(request);
    if (path == QLatin1String("/api/wait"))
        return wait(device, request);
    return ops(device, request);
}

HttpResponse ShareService::join(const HttpRequest &request)
{
    switch (m_phones.countAttempt(request.peer.toString())) {
    case PhoneRegister::Attempt::TooManyFromThere:
        return refuse(429, QStringLiteral("too many attempts to join from here; wait a minute"));
    case PhoneRegister::Attempt::TooMany:
        return refuse(429, QStringLiteral("too many attempts to join; wait a minute"));
    case PhoneRegister::Attempt::Allowed:
        break;
    }
    const QJsonObject body = QJsonDocument::fromJson(request.body).object();
    // Used once, whatever the answer; an expired one is no use.
    if (!m_phones.useSecret(body.value(QStringLiteral("secret")).toString()))
        return refuse(403, QStringLiteral("this code was used or is out of date: ask for a new one"));
    const QString name = body.value(QStringLiteral("name")).toString().trimmed().left(40);
    if (name.isEmpty())
        return refuse(400, QStringLiteral("a phone needs a name"));
    // A phone joining again after it was forgotten keeps its ID, so the
    // changes it still holds are known for what they are.
    static const QRegularExpression idForm(QStringLiteral("^[A-Za-z0-9_-]{1,32}$"));
    QString previous = body.value(QStringLiteral("device")).toString();
    if (!idForm.match(previous).hasMatch())
        previous.clear();

    struct Joined {
        bool allowed = false;
        QString token, id, error;
    };
    const auto answer = m_bridge.call<Joined>(
        [this, name, previous](const DesktopBridge::Job &job) {
            Joined j;
            j.allowed = m_approve(name);
            // The phone stopped waiting while the user thought: nothing of it is kept.
            if (!j.allowed || job.abandoned())
                return j;
            j.token = PhoneRegister::randomText(32);
            j.id = !previous.isEmpty() && !m_phones.holds(previous) ? previous
                                                                     : PhoneRegister::randomText(12);
            const QByteArray hash = PhoneRegister::hash(j.token.toLatin1());
            const ShareStore::Device d{j.id, name, QDateTime::currentDateTimeUtc()};
            // Kept in the file where it may be written; for this sharing only else.
            if (keepsDevices())
                j.allowed = m_file.change(
                    QString(), {},
                    [&](QString *e) { return ShareStore::addDevice(m_file.connection(), d, hash, e); },
                    &j.error);
            if (!j.allowed)
                return j;
            m_phones.add({j.id, name, hash});
            emit devicesChanged();
            return j;
        },
        m_answerSeconds * 1000);
    if (!answer) {
        QMutexLocker lock(&m_mutex);
        return m_stopping ? stopped()
                          : refuse(408, QStringLiteral("nobody answered on the computer in time: "
                                                       "ask for a new code"));
    }
    if (!answer->allowed)
        return refuse(403, answer->error.isEmpty() ? QStringLiteral("not let in")
                                                   : QStringLiteral("the phone could not be stored"));
    return json({{QStringLiteral("token"), answer->token}, {QStringLiteral("device"), answer->id}});
}

HttpResponse ShareService::list(const HttpRequest &request)
{
    const QString since = request.query.value(QStringLiteral("since"));
    QMutexLocker lock(&m_mutex);
    ++m_listRequests;
    const QString current = versionText();
    if (since == current)
        return json({{QStringLiteral("version"), current}, {QStringLiteral("unchanged"), true}});
    // Any reading as new as the version of now will do: under a stream of
    // changes, the newest may always be one turn away.
    const qint64 wanted = m_version;
    const int readings = m_readings;
    QDeadlineTimer deadline(20000);
    while (m_snapshotVersion < wanted) {
        if (m_stopping)
            return stopped();
        if (m_readings != readings && !m_readError.isEmpty())
            return json({{QStringLiteral("error"), m_readError}}, 500);
        if (deadline.hasExpired())
            return refuse(503, QStringLiteral("the computer is busy: try again"));
        if (QThread::currentThread() == thread()) {
            // Asked on the program's own thread (the fuzzer): read it here.
            lock.unlock();
            readSnapshot();
            lock.relock();
            continue;
        }
        askSnapshot();
        m_read.wait(&m_mutex, deadline);
    }
    HttpResponse r;
    r.body = m_snapshot;
    return r;
}

QVector<QPair<QString, QString>> ShareService::devices() const
{
    QVector<QPair<QString, QString>> out;
    for (const PhoneRegister::Phone &p : m_phones.phones())
        out.append({p.id, p.name});
    return out;
}

bool ShareService::forget(const QString &id, QString *error)
{
    if (keepsDevices() &&
        !m_file.change(
            QString(), {},
            [&](QString *e) { return ShareStore::forget(m_file.connection(), id, e); }, error))
        return false;
    m_phones.remove(id);
    {
        // Its waits end now, told that it was forgotten.
        QMutexLocker lock(&m_mutex);
        m_changed.wakeAll();
    }
    emit devicesChanged();
    return true;
}

HttpResponse ShareService::wait(const QString &device, const HttpRequest &request)
{
    // The push channel says only that something changed; the phone then asks
    // for the list, so a dropped connection loses nothing.
    const QString since = request.query.value(QStringLiteral("since"));
    QDeadlineTimer deadline(20000);
    QMutexLocker lock(&m_mutex);
    ++m_listening;
    while (since == versionText() && !m_stopping && m_phones.holds(device) && !deadline.hasExpired())
        m_changed.wait(&m_mutex, deadline);
    --m_listening;
    if (!m_phones.holds(device))
        return refuse(401, QStringLiteral("this phone was forgotten"));
    return json({{QStringLiteral("version"), versionText()}});
}

HttpResponse ShareService::ops(const QString &device, const HttpRequest &request)
{
    ShareProtocol::Batch batch;
    QString why;
    if (!ShareProtocol::readBatch(request.body, device, &batch, &why))
        return refuse(batch.ops.isEmpty() && why.startsWith(QLatin1String("too many")) ? 413 : 400,
                      why);
    const auto done = m_ops.call({device, batch});
    if (!done)
        return stopped();
    HttpResponse r;
    r.status = done->status;
    r.body = done->body;
    return r;
}

QVector<ShareService::OpsDone> ShareService::applyOps(const QVector<OpsAsked> &asked)
{
    QVector<OpsDone> done(asked.size());
    QVector<qsizetype> writing;
    for (qsizetype i = 0; i < asked.size(); ++i) {
        // Read here, where a restore may change it, not on the server's thread.
        if (m_file.isReadOnly()) {
            done[i] = {403, R"({"error":"the list may only be read","readOnly":true})"};
        } else if (!m_phones.holds(asked.at(i).device)) {
            done[i] = {401, R"({"error":"this phone was forgotten"})"};
        } else {
            writing.append(i);
        }
    }
    // One transaction for all, one announcement; when the file fails it,
    // each phone's batch is tried alone, so that one cannot fail another's.
    if (!writing.isEmpty() && !applyTogether(asked, writing, &done) && writing.size() > 1 &&
        !m_file.isGone())
        for (const qsizetype i : std::as_const(writing))
            applyTogether(asked, {i}, &done);
    return done;
}

bool ShareService::applyTogether(const QVector<OpsAsked> &asked, const QVector<qsizetype> &which,
                                 QVector<OpsDone> *done)
{
    QVector<QVector<Share::Outcome>> outcomes(which.size());
    QString error;
    // Every operation and the record that it was applied, in one
    // transaction: all or, when the file fails, none (the phones send them
    // again). Only what changed something is announced: a tick as the lines
    // it touched, an added line as the list.
    const bool stored = m_file.change(
        QString(), {},
        [&](QString *e) {
            QSet<qint64> ticked;
            bool added = false;
            for (qsizetype w = 0; w < which.size(); ++w) {
                const ShareProtocol::Batch &batch = asked.at(which.at(w)).batch;
                outcomes[w].resize(batch.ops.size());
                for (qsizetype i = 0; i < batch.ops.size(); ++i) {
                    const Share::Op &op = batch.ops.at(i).op;
                    if (!batch.ops.at(i).refused.isEmpty())
                        continue;
                    if (!ShareStore::apply(m_file.connection(), op, &outcomes[w][i], e))
                        return false;
                    if (outcomes[w][i].repeat || !outcomes[w][i].refused.isEmpty())
                        continue;
                    if (op.kind == Share::Op::Kind::Add)
                        added = true;
                    else
                        ticked.insert(op.line);
                }
                for (auto it = batch.through.cbegin(); it != batch.through.cend(); ++it)
                    if (!ShareStore::acknowledged(m_file.connection(), it.key(), it.value(), e))
                        return false;
            }
            if (added)
                m_file.alsoChanged(Household::List);
            QSet<qint64> now;
            if (!ticked.isEmpty()) {
                if (!ShareStore::tickedAmong(m_file.connection(), ticked, &now, e))
                    return false;
                m_file.alsoTicked(ticked, now);
            }
            return true;
        },
        &error);
    if (!stored) {
        for (const qsizetype i : which)
            (*done)[i] = {500, json({{QStringLiteral("error"), error}}).body};
        return false;
    }
    QMutexLocker lock(&m_mutex);
    for (qsizetype w = 0; w < which.size(); ++w)
        (*done)[which.at(w)] = {200, ShareProtocol::acksBody(asked.at(which.at(w)).batch.ops,
                                                             outcomes.at(w), versionText())};
    return true;
}

} // namespace pantrio

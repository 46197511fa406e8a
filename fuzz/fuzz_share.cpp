// libFuzzer target over the share service's answer to a request: the input is
// a method, a path with its query, headers and a body, split by lines as an
// HTTP request is. A phone has joined, and an input without a token of its
// own speaks as that phone, so the list and the operations behind the token
// are fuzzed too. Whatever comes, the answer is a status the protocol knows,
// the file stays whole, and nothing is written by a request without the
// phone's token.
#include "data/access/Schema.h"
#include "data/owner/Household.h"
#include "network/ShareService.h"

#include <QCoreApplication>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTemporaryDir>
#include <QUrl>
#include <QUrlQuery>

#include <cstdlib>

using namespace pantrio;

namespace
{

struct World {
    QCoreApplication *app;
    QTemporaryDir dir;
    Household file;
    ShareService *share;
    World()
    {
        static int argc = 1;
        static char name[] = "fuzz";
        static char *argv[] = {name, nullptr};
        app = new QCoreApplication(argc, argv);
        const QString path = dir.filePath(QStringLiteral("Vendora.mdb"));
        if (!Schema::createDatabase(path, true, nullptr) || !file.open(path, nullptr))
            abort();
        share = new ShareService(file);
        share->setJoinApproval([](const QString &) { return true; });
        if (!share->start(QHostAddress(), 0, nullptr))
            abort();
        HttpRequest join;
        join.method = "POST";
        join.path = QStringLiteral("/api/join");
        join.headers.insert("host", "127.0.0.1:" + QByteArray::number(share->port()));
        join.body = "{\"secret\":\"" +
                    share->newJoiningAddress().section(QStringLiteral("#join="), 1).toLatin1() +
                    "\",\"name\":\"Fuzz\"}";
        token = QJsonDocument::fromJson(share->handle(join).body).object().value("token").toString().toLatin1();
        if (token.isEmpty())
            abort();
    }
    QByteArray token;
};

World &world()
{
    static World w;
    return w;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    World &w = world();
    const QList<QByteArray> lines =
        QByteArray(reinterpret_cast<const char *>(data), qsizetype(size)).split('\n');
    HttpRequest r;
    const QList<QByteArray> first = lines.value(0).split(' ');
    r.method = first.value(0);
    const QUrl url(QString::fromUtf8(first.value(1)));
    r.path = url.path();
    for (const auto &item : QUrlQuery(url).queryItems())
        r.query.insert(item.first, item.second);
    qsizetype i = 1;
    for (; i < lines.size() && !lines.at(i).isEmpty(); ++i) {
        const qsizetype colon = lines.at(i).indexOf(':');
        if (colon > 0)
            r.headers.insert(lines.at(i).left(colon).trimmed().toLower(),
                             lines.at(i).mid(colon + 1).trimmed());
    }
    // Most inputs are to reach past the Host check.
    if (!r.headers.contains("host"))
        r.headers.insert("host", "127.0.0.1:" + QByteArray::number(w.share->port()));
    // Most inputs speak as the joined phone; "authorization: none" as nobody.
    const bool anonymous = r.headers.value("authorization") == "none";
    if (anonymous)
        r.headers.remove("authorization");
    else if (!r.headers.contains("authorization"))
        r.headers.insert("authorization", "Bearer " + w.token);
    const bool asPhone = r.headers.value("authorization") == "Bearer " + w.token;
    for (++i; i < lines.size(); ++i)
        r.body += lines.at(i) + '\n';
    r.peer = QHostAddress(QHostAddress::LocalHost);
    const qint64 before = w.share->version();
    const HttpResponse answer = w.share->handle(r);
    static const QList<int> known = {200, 400, 401, 403, 404, 408, 413, 429, 500, 503};
    if (!known.contains(answer.status))
        abort();
    // Without the phone's token (no other joins but by a secret the fuzzer
    // cannot guess), nothing may change the list; with it, only an answered batch.
    if (w.share->version() != before && (!asPhone || answer.status != 200))
        abort();
    // Whatever was applied, the file is whole.
    static int checks = 0;
    if (++checks % 256 == 0) {
        Connection::Rows rows;
        QString error;
        if (!w.file.connection().select(QStringLiteral("PRAGMA quick_check"), &rows, &error) ||
            rows.rows.value(0).value(0).toString() != QLatin1String("ok"))
            abort();
    }
    return 0;
}

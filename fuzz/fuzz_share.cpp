// libFuzzer target over the share service's answer to a request: the input is
// a method, a path with its query, headers and a body, split by lines as an
// HTTP request is. Whatever comes, the answer is a status the protocol knows,
// the file stays intact, and nothing is written without a joined phone's
// token.
#include "data/access/Schema.h"
#include "data/household/Household.h"
#include "network/ShareService.h"

#include <QCoreApplication>
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
    }
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
    for (++i; i < lines.size(); ++i)
        r.body += lines.at(i) + '\n';
    r.peer = QHostAddress(QHostAddress::LocalHost);
    const qint64 before = w.share->version();
    const HttpResponse answer = w.share->handle(r);
    static const QList<int> known = {200, 400, 401, 403, 404, 413, 429, 500, 503};
    if (!known.contains(answer.status))
        abort();
    // Without a joined phone's token (the fuzzer joins none but by a secret it
    // cannot guess), nothing may change the list.
    if (w.share->version() != before && answer.status != 200)
        abort();
    return 0;
}

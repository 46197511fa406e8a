#include "network/ShareProtocol.h"

#include "data/text/Escape.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QRegularExpression>

#include <limits>

namespace pantrio::ShareProtocol
{

namespace
{

// A whole number as sent, never through a double: 2^53 + 1 is not 2^53.
bool integer(const QJsonValue &v, qint64 least, qint64 *out)
{
    if (!v.isDouble())
        return false;
    constexpr qint64 none = std::numeric_limits<qint64>::min();
    const qint64 n = v.toInteger(none);
    if (n == none || n < least)
        return false;
    *out = n;
    return true;
}

bool validInstance(const QString &s)
{
    static const QRegularExpression re(QStringLiteral("^[A-Za-z0-9_-]{1,32}$"));
    return re.match(s).hasMatch();
}

bool validSource(const QString &s)
{
    static const QRegularExpression re(
        QStringLiteral("^[A-Za-z0-9_-]{1,32}(/[A-Za-z0-9_-]{1,32})?$"));
    return re.match(s).hasMatch();
}

Sent readOne(const QJsonValue &v, const QString &device, const QString &batchInstance)
{
    Sent s;
    const QJsonObject o = v.toObject();
    if (!integer(o.value(QStringLiteral("seq")), 1, &s.op.seq)) {
        s.refused = QStringLiteral("it has no valid number");
        return s;
    }
    const QJsonValue src = o.value(QStringLiteral("src"));
    const QString instance = src.isUndefined() ? batchInstance : src.toString();
    if (!instance.isEmpty() && !validInstance(instance)) {
        s.refused = QStringLiteral("it names no valid page");
        return s;
    }
    s.op.source = instance.isEmpty() ? device : device + QLatin1Char('/') + instance;
    const QString kind = o.value(QStringLiteral("kind")).toString();
    if (kind == QLatin1String("tick") || kind == QLatin1String("untick")) {
        if (!integer(o.value(QStringLiteral("line")), 1, &s.op.line)) {
            s.refused = QStringLiteral("it names no valid line");
            return s;
        }
        if (kind == QLatin1String("tick"))
            return s;
        s.op.kind = Share::Op::Kind::Untick;
        const QJsonArray seen = o.value(QStringLiteral("seen")).toArray();
        if (seen.size() > maxBatch) {
            s.refused = QStringLiteral("it names too many ticks");
            return s;
        }
        for (const QJsonValue &t : seen) {
            const QJsonArray pair = t.toArray();
            Share::Tag tag{pair.at(0).toString(), 0};
            // "/<page>": a page of this phone, named before the phone knew its ID.
            if (tag.source.startsWith(QLatin1Char('/')))
                tag.source.prepend(device);
            if (!validSource(tag.source) || !integer(pair.at(1), 1, &tag.seq)) {
                s.refused = QStringLiteral("it names a tick that is no tick");
                return s;
            }
            s.op.observed.append(tag);
        }
        return s;
    }
    if (kind == QLatin1String("add")) {
        s.op.kind = Share::Op::Kind::Add;
        // Qt's idea of white space (U+0085 among it) is the one that counts.
        s.op.item = o.value(QStringLiteral("item")).toString().trimmed().left(200);
        s.op.quantity = o.value(QStringLiteral("qty")).toString().trimmed().left(50);
        if (s.op.item.isEmpty())
            s.refused = QStringLiteral("an added line needs its item");
        return s;
    }
    s.refused = QStringLiteral("no such change");
    return s;
}

} // namespace

bool readBatch(const QByteArray &body, const QString &device, Batch *batch, QString *why)
{
    *batch = Batch();
    QJsonParseError parsed;
    const QJsonDocument doc = QJsonDocument::fromJson(body, &parsed);
    const QJsonValue ops = doc.object().value(QStringLiteral("ops"));
    if (parsed.error != QJsonParseError::NoError || !doc.isObject() || !ops.isArray()) {
        *why = QStringLiteral("not a list of changes");
        return false;
    }
    const QJsonArray sent = ops.toArray();
    if (sent.size() > maxBatch) {
        *why = QStringLiteral("too many at once");
        return false;
    }
    const QString instance = doc.object().value(QStringLiteral("src")).toString();
    for (const QJsonValue &v : sent)
        batch->ops.append(readOne(v, device, validInstance(instance) ? instance : QString()));
    const QJsonObject through = doc.object().value(QStringLiteral("through")).toObject();
    for (auto it = through.constBegin(); it != through.constEnd() && batch->through.size() < maxBatch;
         ++it) {
        qint64 seq = 0;
        if (validInstance(it.key()) && integer(it.value(), 1, &seq))
            batch->through.insert(device + QLatin1Char('/') + it.key(), seq);
    }
    return true;
}


QByteArray listBody(const TakeAlong::List &items,
                    const QHash<qint64, QVector<Share::Tag>> &ticks, bool readOnly,
                    const QString &version)
{
    // Written straight: the list is the largest answer, and an object per
    // line cost more than reading the lines.
    QByteArray body;
    int left = 0, total = 0;
    body.reserve(4096 + items.lineCount() * 96);
    body += "{\"store\":";
    Escape::append(body, items.store, Escape::Into::Json);
    body += ",\"groups\":[";
    for (qsizetype gi = 0; gi < items.groups.size(); ++gi) {
        const TakeAlong::Group &g = items.groups.at(gi);
        body += gi ? ",{\"title\":" : "{\"title\":";
        Escape::append(body, g.title, Escape::Into::Json);
        body += ",\"lines\":[";
        for (qsizetype li = 0; li < g.lines.size(); ++li) {
            const TakeAlong::Line &l = g.lines.at(li);
            body += li ? ",{\"id\":" : "{\"id\":";
            body += QByteArray::number(l.id);
            body += ",\"item\":";
            Escape::append(body, l.item, Escape::Into::Json);
            body += ",\"qty\":";
            Escape::append(body, l.quantity, Escape::Into::Json);
            body += ",\"ticks\":[";
            const QVector<Share::Tag> seen = ticks.value(l.id);
            for (qsizetype t = 0; t < seen.size(); ++t) {
                body += t ? ",[" : "[";
                Escape::append(body, seen.at(t).source, Escape::Into::Json);
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
    body += "],\"left\":" + QByteArray::number(left) + ",\"total\":" + QByteArray::number(total) +
            ",\"readOnly\":" + (readOnly ? "true" : "false") + ",\"version\":";
    Escape::append(body, version, Escape::Into::Json);
    body += '}';
    return body;
}

QByteArray acksBody(const QVector<Sent> &ops, const QVector<Share::Outcome> &outcomes,
                    const QString &version)
{
    QJsonArray acks;
    for (qsizetype i = 0; i < ops.size(); ++i) {
        const Share::Outcome o = outcomes.value(i);
        QJsonObject a{{QStringLiteral("seq"), ops.at(i).op.seq},
                      {QStringLiteral("repeat"), o.repeat},
                      {QStringLiteral("gone"), o.lineGone}};
        const QString refused = ops.at(i).refused.isEmpty() ? o.refused : ops.at(i).refused;
        if (!refused.isEmpty())
            a.insert(QStringLiteral("refused"), refused);
        acks.append(a);
    }
    return QJsonDocument(QJsonObject{{QStringLiteral("acks"), acks},
                                     {QStringLiteral("version"), version}})
        .toJson(QJsonDocument::Compact);
}

HttpResponse json(const QJsonObject &o, int status)
{
    HttpResponse r;
    r.status = status;
    r.body = QJsonDocument(o).toJson(QJsonDocument::Compact);
    return r;
}

HttpResponse refuse(int status, const QString &why)
{
    return json({{QStringLiteral("error"), why}}, status);
}

} // namespace pantrio::ShareProtocol

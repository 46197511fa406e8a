#pragma once

#include "data/formats/TakeAlong.h"
#include "data/sharing/ShareMerge.h"
#include "network/HttpServer.h"

#include <QHash>
#include <QJsonObject>
#include <QVector>

namespace pantrio::ShareProtocol
{

// What the phones send and are answered, as bytes; no file and no threads.

// One operation of a batch: read, or refused with the reason (then op is
// not applied and the phone is told which and why).
struct Sent {
    Share::Op op;
    QString refused;
};
struct Batch {
    QVector<Sent> ops;
    // Per source: the page had its answers for every operation up to this.
    QHash<QString, qint64> through;
};
// Reads a phone's batch; sources are the phone's own (device + "/" + the
// page's instance). False, with why, when the body is no batch at all.
bool readBatch(const QByteArray &body, const QString &device, Batch *batch, QString *why);
constexpr int maxBatch = 200;

// The list as the phones read it, its version said inside.
QByteArray listBody(const TakeAlong::List &items,
                    const QHash<qint64, QVector<Share::Tag>> &ticks, bool readOnly,
                    const QString &version);
// The answer to a batch: one entry per operation, in the order sent.
QByteArray acksBody(const QVector<Sent> &ops, const QVector<Share::Outcome> &outcomes,
                    const QString &version);

HttpResponse json(const QJsonObject &o, int status = 200);
HttpResponse refuse(int status, const QString &why);

} // namespace pantrio::ShareProtocol

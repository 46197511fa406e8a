#pragma once

#include "data/sharing/ShareMerge.h"

#include <QDateTime>
#include <QHash>
#include <QSet>
#include <QString>
#include <QVector>

namespace pantrio
{

class Connection;

// The shared list as the file keeps it: the phones that joined (their tokens
// only as hashes), every operation applied, once, by its tag, and the lines'
// ticks, all under the one merge rule (Share::apply). Ticks do not go with
// their line: undo may bring a line back, and with it what the phones did to
// it (line IDs are never used twice). Each function that writes runs inside
// the caller's transaction (the household file's change()), so an operation
// and the record that it was applied are written together.
namespace ShareStore
{

struct Device {
    QString id;
    QString name;
    QDateTime joined;
};

bool apply(Connection &c, const Share::Op &op, Share::Outcome *outcome, QString *error);
// A page had its answers for every operation of source up to seq: their
// records are no longer needed to tell a repeat, nor the ticks they took.
bool acknowledged(Connection &c, const QString &source, qint64 seq, QString *error);
// What no undo can need any more once the file is opened afresh: ticks of
// lines that are gone, and ticks taken for good.
bool tidy(Connection &c, QString *error);

// Lines with a tick no untick has taken.
bool tickedLines(Connection &c, QSet<qint64> *lines, QString *error);
// Those of lines with a tick no untick has taken.
bool tickedAmong(Connection &c, const QSet<qint64> &lines, QSet<qint64> *ticked, QString *error);
// Every line's live ticks at once.
bool allLiveTicks(Connection &c, QHash<qint64, QVector<Share::Tag>> *ticks, QString *error);
// Every device with its token's hash, to check tokens without the file.
bool deviceHashes(Connection &c, QVector<QPair<Device, QByteArray>> *out, QString *error);
// Deletes every ticked line.
bool removeTicked(Connection &c, int *removed, QString *error);

bool addDevice(Connection &c, const Device &device, const QByteArray &tokenHash, QString *error);
bool forget(Connection &c, const QString &id, QString *error);

} // namespace ShareStore
} // namespace pantrio

#pragma once

#include "data/sharing/ShareMerge.h"

#include <QDateTime>
#include <QSet>
#include <QString>
#include <QVector>

namespace pantrio
{

class Connection;

// The shared list as the file keeps it: the phones that joined (their tokens
// only as hashes), every operation applied, once, by (device, sequence), and
// each line's ticks under the merge rule of Share::Merge. Each function runs
// inside the caller's transaction (the household file's change()), so an
// operation and the record that it was applied are written together.
namespace ShareStore
{

struct Device {
    QString id;
    QString name;
    QDateTime joined;
};

struct Applied {
    bool repeat = false;   // applied before: acknowledged, nothing changed
    bool lineGone = false; // the line was deleted on the desktop meanwhile
    qint64 newLine = 0;    // an added line's ID
};
bool apply(Connection &c, const Share::Op &op, Applied *applied, QString *error);

// Lines with a tick no untick has seen.
bool tickedLines(Connection &c, QSet<qint64> *lines, QString *error);
// Every line's live ticks at once.
bool allLiveTicks(Connection &c, QHash<qint64, QVector<Share::Tag>> *ticks, QString *error);
// Every device with its token's hash, to check tokens without the file.
bool deviceHashes(Connection &c, QVector<QPair<Device, QByteArray>> *out, QString *error);
// Deletes every ticked line (their ticks go with them).
bool removeTicked(Connection &c, int *removed, QString *error);

bool addDevice(Connection &c, const Device &device, const QByteArray &tokenHash, QString *error);
bool forget(Connection &c, const QString &id, QString *error);

} // namespace ShareStore
} // namespace pantrio

#pragma once

#include "data/safety/DatabaseFile.h"

#include <QString>

#include <memory>

namespace pantrio::StartUp
{

// What the start-up settled before the file is opened: the lock that keeps a
// second Pantrio off it, and why it may only be read (empty when writable).
struct Prepared {
    std::unique_ptr<DatabaseFile::Lock> lock;
    QString readOnlyReason;
};

// Everything before the file is opened: the first database made in the
// user's folder, the lock, journals a session left behind kept and settled,
// the file checked (reading only), the start-up backup and the journal mode.
// False when the file cannot be used, the user told why, naming it.
bool prepare(const QString &path, Prepared *out);

// The one message of a start that cannot use the file: the file, the reason,
// and the way back to a backup.
void tellCannotOpen(const QString &path, const QString &why);

} // namespace pantrio::StartUp

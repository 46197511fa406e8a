#pragma once

#include <QByteArray>
#include <QString>

#include <sys/types.h>

namespace pantrio::SafeFile
{

// Writes data to path so that the file is either the whole new content or
// untouched: written beside it under a name of its own, every write, the
// sync and the close checked, and only then renamed over the old file; the
// folder is synced after, so the new name lasts. A full disk is reported as
// such and leaves the old file as it was; a folder that could not be synced
// is reported too (the new file is in place, but may not survive a power cut).
bool write(const QString &path, const QByteArray &data, QString *error);

// Renames from over to in one step (an existing to is replaced only when the
// rename succeeds), and syncs the folder.
bool moveOver(const QString &from, const QString &to, QString *error);

// Gives the finished file from the name to, only where nothing stands at to
// (never over a file), drops the name from, and syncs the folder.
bool linkNew(const QString &from, const QString &to, QString *error);

// Syncs the folder a file's name stands in, so a new name lasts.
bool syncFolderOf(const QString &path, QString *error);

// The system calls the writing above goes through, so that tests can fail
// any of them; each returns what the system call does (errno set).
struct Io {
    virtual ~Io() = default;
    virtual int open(const char *path, int flags, mode_t mode);
    virtual ssize_t write(int fd, const void *data, size_t size);
    virtual int fsync(int fd);
    virtual int close(int fd);
    virtual int rename(const char *from, const char *to);
};
// Null puts back the real calls.
void setIo(Io *io);

} // namespace pantrio::SafeFile

#include "data/safety/SafeFile.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace pantrio::SafeFile
{

namespace
{

Io g_system;
Io *g_io = &g_system;

QString said(int err)
{
    const QString why = QString::fromLocal8Bit(strerror(err));
    // A full disk (or a file size limit) said as such.
    if (err == ENOSPC || err == EFBIG || err == EDQUOT)
        return QStringLiteral("The disk is full (%1).").arg(why);
    return why;
}

bool fail(const QString &path, int err, QString *error)
{
    if (error)
        *error = QStringLiteral("%1 could not be written: %2")
                     .arg(QDir::toNativeSeparators(path), said(err));
    return false;
}

// The folder's entry for a new name lasts only once the folder is synced.
bool syncFolder(const QString &path, QString *error)
{
    const QByteArray folder = QFile::encodeName(QFileInfo(path).absolutePath());
    const int dir = g_io->open(folder.constData(), O_RDONLY | O_DIRECTORY, 0);
    int err = 0;
    if (dir < 0 || g_io->fsync(dir) != 0)
        err = errno;
    if (dir >= 0)
        g_io->close(dir);
    // Some file systems cannot sync a folder at all; that is no failure.
    if (err == 0 || err == EINVAL || err == EBADF)
        return true;
    if (error)
        *error = QStringLiteral("%1 was written, but its folder could not be synced, so it may "
                                "not survive a power cut: %2")
                     .arg(QDir::toNativeSeparators(path), said(err));
    return false;
}

} // namespace

int Io::open(const char *path, int flags, mode_t mode)
{
    return ::open(path, flags | O_CLOEXEC, mode);
}
ssize_t Io::write(int fd, const void *data, size_t size)
{
    return ::write(fd, data, size);
}
int Io::fsync(int fd)
{
    return ::fsync(fd);
}
int Io::close(int fd)
{
    return ::close(fd);
}
int Io::rename(const char *from, const char *to)
{
    return ::rename(from, to);
}

void setIo(Io *io)
{
    g_io = io ? io : &g_system;
}

bool write(const QString &path, const QByteArray &data, QString *error)
{
    const QByteArray target = QFile::encodeName(path);
    // An existing file keeps its permissions; a new one gets the usual.
    mode_t mode = 0666;
    struct stat st;
    if (::stat(target.constData(), &st) == 0)
        mode = st.st_mode & 07777;
    QByteArray aside;
    int fd = -1;
    for (int n = 0; n < 100 && fd < 0; ++n) {
        aside = target + ".part" + QByteArray::number(n);
        fd = g_io->open(aside.constData(), O_WRONLY | O_CREAT | O_EXCL, mode);
        if (fd < 0 && errno != EEXIST)
            return fail(path, errno, error);
    }
    if (fd < 0)
        return fail(path, EEXIST, error);
    if (::stat(target.constData(), &st) == 0)
        ::fchmod(fd, mode); // the umask may have taken some away
    auto giveUp = [&](int err) {
        g_io->close(fd);
        ::unlink(aside.constData());
        return fail(path, err, error);
    };
    for (qsizetype done = 0; done < data.size();) {
        const ssize_t n = g_io->write(fd, data.constData() + done, size_t(data.size() - done));
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return giveUp(n < 0 ? errno : ENOSPC);
        done += n;
    }
    // Synced and closed, each checked, before it takes the old file's place.
    if (g_io->fsync(fd) != 0)
        return giveUp(errno);
    if (g_io->close(fd) != 0) {
        const int err = errno;
        ::unlink(aside.constData());
        return fail(path, err, error);
    }
    if (g_io->rename(aside.constData(), target.constData()) != 0) {
        const int err = errno;
        ::unlink(aside.constData());
        return fail(path, err, error);
    }
    return syncFolder(path, error);
}

bool syncFolderOf(const QString &path, QString *error)
{
    return syncFolder(path, error);
}

bool linkNew(const QString &from, const QString &to, QString *error)
{
    const QByteArray a = QFile::encodeName(from), b = QFile::encodeName(to);
    if (::link(a.constData(), b.constData()) != 0) {
        const int err = errno;
        if (error)
            *error = err == EEXIST ? QStringLiteral("A file has appeared at %1 meanwhile; it was "
                                                    "left as it is.")
                                         .arg(QDir::toNativeSeparators(to))
                                   : QStringLiteral("%1 could not be written: %2")
                                         .arg(QDir::toNativeSeparators(to), said(err));
        return false;
    }
    ::unlink(a.constData());
    return syncFolder(to, error);
}

bool moveOver(const QString &from, const QString &to, QString *error)
{
    if (g_io->rename(QFile::encodeName(from).constData(), QFile::encodeName(to).constData()) != 0)
        return fail(to, errno, error);
    return syncFolder(to, error);
}

} // namespace pantrio::SafeFile

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

QString reason(int err)
{
    if (err == ENOSPC || err == EFBIG || err == EDQUOT)
        return QStringLiteral("The disk is full (%1).").arg(QString::fromLocal8Bit(strerror(err)));
    return QString::fromLocal8Bit(strerror(err));
}

bool fail(const QString &path, int err, QString *error)
{
    if (error)
        *error = QStringLiteral("%1 could not be written: %2")
                     .arg(QDir::toNativeSeparators(path), reason(err));
    return false;
}

} // namespace

bool write(const QString &path, const QByteArray &data, QString *error)
{
    const QFileInfo info(path);
    QByteArray temp = QFile::encodeName(
        QDir(info.absolutePath())
            .filePath(QStringLiteral(".") + info.fileName() + QStringLiteral(".XXXXXX")));
    const int fd = ::mkstemp(temp.data());
    if (fd < 0)
        return fail(path, errno, error);
    // A new file gets the usual permissions, not mkstemp's private ones.
    const mode_t mask = ::umask(0);
    ::umask(mask);
    struct stat old;
    const mode_t mode = ::stat(QFile::encodeName(info.absoluteFilePath()).constData(), &old) == 0
                            ? (old.st_mode & 07777)
                            : (0666 & ~mask);
    int err = 0;
    if (::fchmod(fd, mode) != 0)
        err = errno;
    const char *p = data.constData();
    qint64 left = data.size();
    while (!err && left > 0) {
        const ssize_t n = ::write(fd, p, size_t(left));
        if (n < 0) {
            if (errno == EINTR)
                continue;
            err = errno;
        } else {
            p += n;
            left -= n;
        }
    }
    if (!err && ::fsync(fd) != 0)
        err = errno;
    if (::close(fd) != 0 && !err)
        err = errno;
    if (!err &&
        ::rename(temp.constData(), QFile::encodeName(info.absoluteFilePath()).constData()) != 0)
        err = errno;
    if (err) {
        ::unlink(temp.constData());
        return fail(path, err, error);
    }
    // The new name lasts once the folder is synced too.
    const int dir =
        ::open(QFile::encodeName(info.absolutePath()).constData(), O_RDONLY | O_DIRECTORY);
    if (dir >= 0) {
        ::fsync(dir);
        ::close(dir);
    }
    return true;
}

bool moveOver(const QString &from, const QString &to, QString *error)
{
    if (::rename(QFile::encodeName(from).constData(), QFile::encodeName(to).constData()) != 0)
        return fail(to, errno, error);
    return true;
}

} // namespace pantrio::SafeFile

#include "data/safety/SafeFile.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <unistd.h>

namespace pantrio::SafeFile
{

namespace
{

bool fail(const QString &path, const QString &why, QString *error)
{
    // A full disk (or a file size limit) said as such, whatever the words of
    // the system's message.
    QString said = why;
    for (const int err : {ENOSPC, EFBIG, EDQUOT})
        if (why.contains(QString::fromLocal8Bit(strerror(err))))
            said = QStringLiteral("The disk is full (%1).").arg(why);
    if (error)
        *error = QStringLiteral("%1 could not be written: %2")
                     .arg(QDir::toNativeSeparators(path), said);
    return false;
}

} // namespace

bool write(const QString &path, const QByteArray &data, QString *error)
{
    // Written beside the file and renamed over it only when every write, the
    // sync and the close succeeded; an existing file keeps its permissions.
    QSaveFile file(path);
    // Unbuffered: a failing write is seen where it happens (the buffered
    // flush at commit would let it pass).
    if (!file.open(QIODevice::WriteOnly | QIODevice::Unbuffered))
        return fail(path, file.errorString(), error);
    if (file.write(data) != data.size()) {
        const QString why = file.errorString();
        file.cancelWriting();
        return fail(path, why, error);
    }
    if (!file.commit())
        return fail(path, file.errorString(), error);
    // The new name lasts once the folder is synced too.
    const int dir = ::open(QFile::encodeName(QFileInfo(path).absolutePath()).constData(),
                           O_RDONLY | O_DIRECTORY);
    if (dir >= 0) {
        ::fsync(dir);
        ::close(dir);
    }
    return true;
}

bool moveOver(const QString &from, const QString &to, QString *error)
{
    if (::rename(QFile::encodeName(from).constData(), QFile::encodeName(to).constData()) != 0)
        return fail(to, QString::fromLocal8Bit(strerror(errno)), error);
    return true;
}

} // namespace pantrio::SafeFile

#include "app/Places.h"

#include "data/access/Schema.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStandardPaths>

namespace pantrio::Places
{

namespace
{

QString g_directory;

// A program file (help, starter data) beside the executable, in ../share/pantrio
// from it, or in pantrio/ of the system's data folders; empty when none.
QString installed(const QString &name)
{
    const QString executableDir = QCoreApplication::applicationDirPath();
    QStringList candidates = {
        QDir(executableDir).filePath(name),
        QDir(executableDir).filePath(QStringLiteral("../share/pantrio/") + name)};
    // The system's data folders, not the user's own (the first): that one
    // holds the user's data, never the program's files.
    QStringList system = QStandardPaths::standardLocations(QStandardPaths::GenericDataLocation);
    if (!system.isEmpty())
        system.removeFirst();
    for (const QString &dir : std::as_const(system))
        candidates << QDir(dir).filePath(QStringLiteral("pantrio/") + name);
    for (const QString &c : std::as_const(candidates))
        if (QFileInfo(c).isFile())
            return QDir::cleanPath(c);
    return {};
}

} // namespace

void setProgramDirectory(const QString &directory)
{
    g_directory = QDir::cleanPath(directory);
}

QString userDataDirectory()
{
    return QDir(QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation))
        .filePath(QStringLiteral("Pantrio"));
}

QString programDirectory()
{
    if (g_directory.isEmpty()) {
        const QString executableDir = QCoreApplication::applicationDirPath();
        g_directory = QFileInfo::exists(QDir(executableDir).filePath(QStringLiteral("Vendora.mdb")))
                          ? QDir::cleanPath(executableDir)
                          : QDir::cleanPath(userDataDirectory());
    }
    return g_directory;
}

QString database()
{
    return QDir(programDirectory()).filePath(QStringLiteral("Vendora.mdb"));
}

QString helpFile()
{
    const QString beside = QDir(programDirectory()).filePath(QStringLiteral("Vendora.hlp"));
    if (QFileInfo(beside).isFile())
        return beside;
    const QString found = installed(QStringLiteral("Vendora.hlp"));
    return found.isEmpty() ? beside : found;
}

bool createStarterDatabase(QString *error)
{
    const QString path = database();
    if (QFileInfo::exists(path))
        return true;
    if (!QDir().mkpath(programDirectory())) {
        if (error)
            *error = QStringLiteral("The folder %1 cannot be made.")
                         .arg(QDir::toNativeSeparators(programDirectory()));
        return false;
    }
    // The installed starter catalogue, else the one built into the program;
    // copying never writes over a file that is there.
    const QString starter = installed(QStringLiteral("Vendora.mdb"));
    if (!starter.isEmpty() && QFile::copy(starter, path)) {
        QFile::setPermissions(path, QFileDevice::ReadOwner | QFileDevice::WriteOwner |
                                        QFileDevice::ReadGroup | QFileDevice::ReadOther);
        return true;
    }
    return Schema::createDatabase(path, true, error);
}

} // namespace pantrio::Places

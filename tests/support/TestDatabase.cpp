#include "support/TestDatabase.h"

#include "data/access/Connection.h"
#include "data/access/Schema.h"

#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QHash>
#include <QProcess>
#include <QSqlQuery>
#include <QSqlRecord>
#include <QTemporaryDir>

#include <grp.h>
#include <sys/stat.h>
#include <unistd.h>

namespace pantrio::test
{

TestDatabase::TestDatabase(bool starterData)
{
    QString error;
    m_ok = m_dir.isValid() && Schema::createDatabase(database(), starterData, &error);
    if (!m_ok)
        qWarning("cannot make a test database: %s", qPrintable(error));
}

QString TestDatabase::database() const
{
    return QDir(m_dir.path()).filePath(QStringLiteral("Vendora.mdb"));
}

QVariant TestDatabase::scalar(const QString &sql, const QVariantList &binds) const
{
    Connection c;
    if (!c.open(database(), nullptr))
        return {};
    QSqlQuery q(c.database());
    q.prepare(sql);
    for (const QVariant &v : binds)
        q.addBindValue(v);
    if (!q.exec() || !q.next())
        return {};
    return q.value(0);
}

bool TestDatabase::exec(const QString &sql, const QVariantList &binds) const
{
    Connection c;
    return c.open(database(), nullptr) && c.exec(sql, binds, nullptr);
}

QList<QVariantList> TestDatabase::rows(const QString &sql) const
{
    Connection c;
    QList<QVariantList> out;
    if (!c.open(database(), nullptr))
        return out;
    QSqlQuery q(c.database());
    if (!q.exec(sql))
        return out;
    while (q.next()) {
        QVariantList row;
        for (int i = 0; i < q.record().count(); ++i)
            row << q.value(i);
        out << row;
    }
    return out;
}

bool TestDatabase::makeFirstVersion() const
{
    return exec("DROP TABLE ShareTicks") && exec("DROP TABLE ShareOps") &&
           exec("DROP TABLE ShareDevices") && exec("DROP TABLE StoreAisles") &&
           exec("DROP TABLE StoreAisleOrder") &&
           exec("DROP TABLE Stores") && exec("PRAGMA user_version = 1");
}

QByteArray fileHash(const QString &path)
{
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly))
        return {};
    return QCryptographicHash::hash(f.readAll(), QCryptographicHash::Sha256).toHex();
}

bool runningAsRoot()
{
    return ::geteuid() == 0;
}

namespace
{
// A copy of a program that the unprivileged user may run: the build folder
// may lie where that user cannot reach (under /root, say).
QString reachableCopy(const QString &program)
{
    static QTemporaryDir stash;
    static QHash<QString, QString> copies;
    if (copies.contains(program))
        return copies.value(program);
    const QString copy = stash.filePath(QFileInfo(program).fileName());
    ::chmod(QFile::encodeName(stash.path()).constData(), 0755);
    if (!QFile::copy(program, copy))
        return program;
    ::chmod(QFile::encodeName(copy).constData(), 0755);
    copies.insert(program, copy);
    return copy;
}
} // namespace

ProcessResult runProcess(const QString &givenProgram, const QStringList &args, int timeoutMs,
                         bool unprivileged)
{
    QProcess p;
    QString program = givenProgram;
    if (unprivileged && runningAsRoot()) {
        program = reachableCopy(givenProgram);
        p.setChildProcessModifier([] {
            // nobody:nogroup, and none of root's supplementary groups.
            if (::setgroups(0, nullptr) != 0 || ::setgid(65534) != 0 || ::setuid(65534) != 0)
                ::_exit(97);
        });
    }
    ProcessResult r;
    p.start(program, args);
    r.finished = p.waitForStarted() && p.waitForFinished(timeoutMs);
    r.crashed = p.exitStatus() == QProcess::CrashExit;
    r.exitCode = p.exitCode();
    r.lines = QString::fromUtf8(p.readAllStandardOutput()).split('\n', Qt::SkipEmptyParts);
    r.errors = QString::fromUtf8(p.readAllStandardError());
    return r;
}

void shareWithUnprivileged(const QString &path, bool writable)
{
    const QByteArray native = QFile::encodeName(path);
    if (runningAsRoot() && writable)
        (void)!::chown(native.constData(), 65534, 65534);
    const bool folder = QFileInfo(path).isDir();
    mode_t mode = folder ? 0755 : 0644;
    if (writable)
        mode |= folder ? 0777 : 0666;
    ::chmod(native.constData(), mode);
}

} // namespace pantrio::test

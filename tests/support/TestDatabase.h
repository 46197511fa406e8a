#pragma once

#include <QList>
#include <QStringList>
#include <QTemporaryDir>
#include <QVariant>

namespace pantrio::test
{

// A folder of its own with a new Vendora.mdb (the starter catalogue or empty
// tables), and direct access to the file for arranging and checking a test,
// outside the program. Needs the data layer only.
class TestDatabase
{
  public:
    explicit TestDatabase(bool starterData = true);
    virtual ~TestDatabase() = default;
    QString path() const { return m_dir.path(); }
    QString database() const;
    bool ok() const { return m_ok; }

    QVariant scalar(const QString &sql, const QVariantList &binds = {}) const;
    bool exec(const QString &sql, const QVariantList &binds = {}) const;
    QList<QVariantList> rows(const QString &sql) const;
    // Makes the file as the first version wrote it: the five tables alone.
    bool makeFirstVersion() const;

  private:
    QTemporaryDir m_dir;
    bool m_ok = false;
};

// The SHA-256 of a file's bytes, to tell that nothing changed it.
QByteArray fileHash(const QString &path);

// Another user for the cases only such a user meets (files and folders they
// may not write): when the tests run as root, programs started through
// runUnprivileged() run as "nobody"; otherwise as the current user, who is
// unprivileged already.
bool runningAsRoot();
struct ProcessResult {
    bool finished = false;
    bool crashed = false;
    int exitCode = -1;
    QStringList lines; // standard output
    QString errors;    // standard error
};
ProcessResult runProcess(const QString &program, const QStringList &args, int timeoutMs,
                         bool unprivileged);
inline ProcessResult runUnprivileged(const QString &program, const QStringList &args,
                                     int timeoutMs = 120000)
{
    return runProcess(program, args, timeoutMs, true);
}
// Lets that user reach path (and write it when writable is set): owned by the
// user, or open to all.
void shareWithUnprivileged(const QString &path, bool writable);

} // namespace pantrio::test

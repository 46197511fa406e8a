#pragma once

#include <QList>
#include <QLockFile>
#include <QString>

#include <memory>

namespace pantrio::DatabaseFile
{

// What the first page of a database file says of itself, read without SQLite.
struct Header {
    bool valid = false;
    int pageSize = 0;
    bool walMode = false;
    quint32 changeCounter = 0;
};
Header readHeader(const QString &path);

// A journal left beside the database by a session that did not end. SQLite
// applies any journal it finds, even one that belongs to another file, so each
// is judged before the file is opened.
struct SideFile {
    enum class Kind { WriteAheadLog, RollbackJournal };
    enum class Verdict {
        Own,       // belongs to the file: opening the file applies it
        Foreign,   // belongs to another file or state: set it aside
        Uncertain, // may be the file's own: the user decides
    };
    Kind kind = Kind::RollbackJournal;
    QString path;
    Verdict verdict = Verdict::Foreign;
    QString reason; // why, in a sentence for the user
};
QList<SideFile> inspectSideFiles(const QString &databasePath);

// Moves a side file into folder under a name of its own; nothing is deleted.
bool setAside(const QString &sideFile, const QString &folder, QString *newPath, QString *error);

// Applies a journal judged the file's own (SQLite rolls a hot journal back or
// reads a log when the file is opened for writing).
bool recover(const QString &databasePath, QString *error);

// The database's journal mode made the rollback journal (DELETE), once, for a
// file last used with a write-ahead log. Only after its checks and backup.
bool useRollbackJournal(const QString &databasePath, QString *error);

// One Pantrio at a time on a file: a lock file beside it that names the process
// holding it. A lock left by a process that has died is taken over.
class Lock
{
  public:
    enum class Result { Locked, HeldByOther, NotPossible };

    explicit Lock(const QString &databasePath);
    ~Lock();
    Result acquire();
    // Who holds it, for the message, after HeldByOther.
    QString holder() const { return m_holder; }
    QString path() const;

  private:
    std::unique_ptr<QLockFile> m_file;
    QString m_holder;
};

} // namespace pantrio::DatabaseFile

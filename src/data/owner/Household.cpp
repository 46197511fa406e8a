#include "data/owner/Household.h"

#include "data/access/Schema.h"
#include "data/owner/ChangesetApply.h"
#include "data/safety/SafeFile.h"
#include "data/sharing/ShareStore.h"
#include "data/shopping/Meals.h"
#include "data/text/Plural.h"

#include <QDir>
#include <QFile>
#include <QHash>
#include <QScopedValueRollback>
#include <QSet>

#include <algorithm>
#include <cerrno>
#include <cstring>

#include <unistd.h>

#define SQLITE_ENABLE_SESSION
#define SQLITE_ENABLE_PREUPDATE_HOOK
#include <sqlite3.h>

namespace pantrio
{

namespace
{

// Records every row one write changes in the tables the history records,
// and which tables those were, while it lives.
class Recorder
{
  public:
    Recorder(sqlite3 *db, const QSet<QString> *recorded) : m_recorded(recorded)
    {
        if (!db || sqlite3session_create(db, "main", &m_session) != SQLITE_OK) {
            m_session = nullptr;
            return;
        }
        // Every table as it is first changed, kept when the history records it.
        sqlite3session_table_filter(m_session, &Recorder::take, this);
        sqlite3session_attach(m_session, nullptr);
    }
    ~Recorder()
    {
        if (m_session)
            sqlite3session_delete(m_session);
    }
    bool ok() const { return m_session != nullptr; }
    QStringList tables() const { return m_tables; }
    QByteArray changeset() const
    {
        int size = 0;
        void *data = nullptr;
        if (!m_session || sqlite3session_changeset(m_session, &size, &data) != SQLITE_OK)
            return {};
        QByteArray out(static_cast<const char *>(data), size);
        sqlite3_free(data);
        return out;
    }

  private:
    static int take(void *self, const char *table)
    {
        auto *r = static_cast<Recorder *>(self);
        const QString name = QString::fromUtf8(table);
        if (!r->m_recorded->contains(name))
            return 0;
        r->m_tables << name;
        return 1;
    }
    sqlite3_session *m_session = nullptr;
    const QSet<QString> *m_recorded;
    QStringList m_tables;
};

} // namespace

Household::Household(QObject *parent) : QObject(parent) {}

Household::~Household()
{
    close();
}

bool Household::open(const QString &path, QString *error, Connection::Mode mode)
{
    close();
    if (!m_connection.open(path, error, mode))
        return false;
    m_path = m_connection.path();
    if (!readSchema(error)) {
        close();
        return false;
    }
    return true;
}

bool Household::readSchema(QString *error)
{
    QString why;
    if (!Schema::readVersion(m_connection, &m_version, &why)) {
        if (error)
            *error = QStringLiteral("The version of the file could not be read: %1").arg(why);
        return false;
    }
    if (m_version < Schema::currentVersion && !m_connection.isReadOnly()) {
        if (!Schema::upgrade(m_connection, &why)) {
            if (error)
                *error = QStringLiteral("The file could not be brought up to date for this "
                                        "version of Pantrio, and was left as it was: %1")
                             .arg(why);
            return false;
        }
        m_version = Schema::currentVersion;
    }
    if (!readRecordedTables(&why)) {
        if (error)
            *error = why;
        return false;
    }
    m_de.setConnection(&m_connection, hasStores());
    // Only now, with no history, can the phones' ticks of deleted lines go.
    // Left for the next start when it fails: they change nothing shown.
    if (hasSharing() && !m_connection.isReadOnly())
        m_connection.transaction([&] { return ShareStore::tidy(m_connection, &why); }, &why);
    // So too what the meals put on lines that are gone.
    if (hasMeals() && !m_connection.isReadOnly())
        m_connection.transaction([&] { return Meals::tidy(m_connection, &why); }, &why);
    return true;
}

bool Household::readRecordedTables(QString *error)
{
    // Read from the file itself, so a table or key added later is recorded
    // and checked like the rest. A table another program made without a key
    // would be changed without a record; then there is no history rather
    // than one that misses rows.
    m_noHistory.clear();
    m_recorded.clear();
    m_parents.clear();
    Connection::Rows tables;
    if (!m_connection.select(QStringLiteral("SELECT name FROM sqlite_schema WHERE type = 'table' "
                                            "ORDER BY name"),
                             &tables, error))
        return false;
    for (const auto &row : std::as_const(tables.rows)) {
        const QString name = row.value(0).toString();
        if (Schema::outsideHistory(name))
            continue;
        Connection::Rows info, keys;
        if (!m_connection.select(QStringLiteral("PRAGMA table_info(\"%1\")").arg(name), &info, error) ||
            !m_connection.select(QStringLiteral("PRAGMA foreign_key_list(\"%1\")").arg(name), &keys,
                                 error))
            return false;
        const bool keyed = std::any_of(info.rows.cbegin(), info.rows.cend(),
                                       [](const auto &col) { return col.value(5).toInt() > 0; });
        if (!keyed)
            m_noHistory = QStringLiteral("Changes cannot be undone in this file: its table %1 has "
                                         "no key, as another program made it.")
                              .arg(name);
        m_recorded.insert(name);
        for (const auto &key : std::as_const(keys.rows))
            m_parents[name].insert(key.value(2).toString());
    }
    return true;
}

QStringList Household::tablesToCheck(const QStringList &changed) const
{
    // A table's keys may point nowhere once its own rows or the rows of a
    // table it refers to have changed (the keys' actions were off).
    QStringList out;
    for (auto it = m_parents.cbegin(); it != m_parents.cend(); ++it) {
        const bool touched = changed.contains(it.key()) ||
                             std::any_of(it.value().cbegin(), it.value().cend(),
                                         [&](const QString &p) { return changed.contains(p); });
        if (touched)
            out << it.key();
    }
    return out;
}

void Household::close()
{
    m_de.setConnection(nullptr, false);
    m_connection.close();
    m_history.clear();
    m_version = 0;
    m_keysOff = false;
}

bool Household::change(const QString &text, Changes what,
                       const std::function<bool(QString *)> &write, QString *error,
                       const QObject *origin)
{
    if (m_writing) {
        // Part of the change being written: recorded and announced with it.
        m_nested |= what;
        return m_connection.transaction([&] { return write(error); }, error);
    }
    if (!m_connection.canWrite(error) || !keysOn(error)) {
        if (isGone())
            emit vanished();
        return false;
    }
    QByteArray changeset;
    QStringList tables;
    m_nested = {};
    m_ticks.clear();
    {
        const QScopedValueRollback writing(m_writing, true);
        const bool record = !text.isEmpty() && m_noHistory.isEmpty();
        Recorder recorder(record ? m_connection.handle() : nullptr, &m_recorded);
        if (record && !recorder.ok()) {
            if (error)
                *error = QStringLiteral("The change could not be recorded for undo, so it was "
                                        "not made.");
            return false;
        }
        if (!m_connection.transaction([&] { return write(error); }, error))
            return false;
        if (record) {
            changeset = recorder.changeset();
            tables = recorder.tables();
        }
    }
    what |= m_nested;
    if (!changeset.isEmpty())
        m_history.push({text, int(what), tables, changeset});
    // Kept for this announcement only: a listener's own change announces its own.
    const QScopedValueRollback ticks(m_announcedTicks, std::exchange(m_ticks, {}));
    emit changed(what, origin);
    return true;
}

namespace
{
class Gate : public RecordSetGate
{
  public:
    Gate(Household *file, const char *add, const char *edit, const char *remove,
         Household::Changes what)
        : m_file(file), m_texts{add, edit, remove}, m_what(what)
    {
    }
    bool write(RecordSet *origin, Kind kind, int rows, const std::function<bool(QString *)> &fn,
               QString *error) override
    {
        const char *text = m_texts[int(kind)];
        // The texts are marked for translation where the gates are made.
        return m_file->change(text ? plural(text, rows) : QString(), m_what, fn, error, origin);
    }

  private:
    Household *m_file;
    const char *m_texts[3];
    Household::Changes m_what;
};
} // namespace

RecordSetGate *Household::gate(const char *addText, const char *editText, const char *deleteText,
                               Changes what)
{
    // One per kind of record set, however often its window is made.
    const QString key = QStringLiteral("%1|%2|%3|%4")
                            .arg(QLatin1String(addText), QLatin1String(editText),
                                 QLatin1String(deleteText))
                            .arg(int(what));
    auto &slot = m_gates[key];
    if (!slot)
        slot = std::make_unique<Gate>(this, addText, editText, deleteText, what);
    return slot.get();
}

bool Household::undo(QString *error)
{
    return replay(false, error);
}

bool Household::redo(QString *error)
{
    return replay(true, error);
}

bool Household::replay(bool forward, QString *error)
{
    if (forward ? !m_history.canRedo() : !m_history.canUndo())
        return false;
    if (m_writing) {
        if (error)
            *error = QStringLiteral("Pantrio is still saving another change; try again when it "
                                    "has finished.");
        return false;
    }
    if (!m_connection.canWrite(error) || !keysOn(error)) {
        if (isGone())
            emit vanished();
        return false;
    }
    const UndoStep step = forward ? m_history.nextRedo() : m_history.nextUndo();
    QByteArray data = step.changeset;
    if (!forward) {
        int size = 0;
        void *inverse = nullptr;
        if (sqlite3changeset_invert(int(data.size()), data.data(), &size, &inverse) !=
            SQLITE_OK) {
            if (error)
                *error = QStringLiteral("The step could not be read back.");
            return false;
        }
        data = QByteArray(static_cast<const char *>(inverse), size);
        sqlite3_free(inverse);
    }
    sqlite3 *db = m_connection.handle();
    const QScopedValueRollback writing(m_writing, true);
    // The step holds every row it changed, those the foreign keys cascaded to
    // included: the keys' own actions stay off while it is applied (they
    // would do its work twice), and their rules are checked after it.
    if (!m_connection.exec(QStringLiteral("PRAGMA foreign_keys=OFF"), {}, error))
        return false;
    const bool ok = m_connection.transaction(
        [&] {
            bool conflict = false;
            if (!ChangesetApply::apply(db, data, &conflict, error)) {
                if (conflict && error)
                    *error = QStringLiteral("\"%1\" cannot be %2: what it changed has been "
                                            "changed since. Nothing was changed.")
                                 .arg(step.text, forward ? QStringLiteral("redone")
                                                         : QStringLiteral("undone"));
                return false;
            }
            // Only the tables whose rows could now point nowhere.
            bool dangling = false;
            for (const QString &table : tablesToCheck(step.tables)) {
                Connection::Rows broken;
                if (!m_connection.select(
                        QStringLiteral("PRAGMA foreign_key_check(\"%1\")").arg(table), &broken,
                        error))
                    return false;
                dangling = dangling || !broken.rows.isEmpty();
            }
            if (dangling) {
                if (error)
                    *error = QStringLiteral("\"%1\" cannot be %2: rows it needs have been "
                                            "deleted since. Nothing was changed.")
                                 .arg(step.text, forward ? QStringLiteral("redone")
                                                         : QStringLiteral("undone"));
                return false;
            }
            return true;
        },
        error);
    // Until the keys are on again no other change may be written (it would
    // skip their actions); the next change tries again first.
    m_keysOff = true;
    keysOn(nullptr);
    if (!ok)
        return false;
    if (forward)
        m_history.stepForward();
    else
        m_history.stepBack();
    emit changed(Changes(step.changes), nullptr);
    return true;
}

bool Household::keysOn(QString *error)
{
    if (!m_keysOff)
        return true;
    QString why;
    // Read back: inside a transaction left open the switch is silently ignored.
    Connection::Rows on;
    if (!m_connection.exec(QStringLiteral("PRAGMA foreign_keys=ON"), {}, &why) ||
        !m_connection.select(QStringLiteral("PRAGMA foreign_keys"), &on, &why) ||
        on.rows.value(0).value(0).toInt() != 1) {
        if (why.isEmpty())
            why = QStringLiteral("they stayed off.");
        if (error)
            *error = QStringLiteral("The file's checks of its links could not be switched back "
                                    "on after the last undo or redo, so nothing was changed: %1")
                         .arg(why);
        return false;
    }
    m_keysOff = false;
    return true;
}

bool Household::writeBack(QString *error)
{
    const QString path = m_path;
    const QString aside = path + QStringLiteral(".written-back");
    QFile::remove(aside);
    // The whole file as this connection sees it, in one consistent copy.
    if (!m_connection.exec(QStringLiteral("VACUUM INTO ?"), {aside}, error))
        return false;
    // Put in place only where nothing stands: a file that has reappeared is the user's.
    if (!SafeFile::linkNew(aside, path, error) && QFileInfo::exists(aside)) {
        QFile::remove(aside);
        return false;
    }
    // (In place with only its folder unsynced, it is opened again all the same.)
    // Opened again at its place; the history still names the same rows.
    const UndoHistory::Saved kept = m_history.save();
    QString openError;
    if (!open(path, &openError)) {
        if (error)
            *error = openError;
        return false;
    }
    m_history.restore(kept);
    emit changed(Replaced, nullptr);
    return true;
}

bool Household::replace(const std::function<bool(QString *)> &replaceFile, QString *error)
{
    const QString path = m_path;
    close();
    const bool replaced = replaceFile(error);
    QString openError;
    // A passing fault (a lock, a read) must not leave the file closed: once more.
    if (!open(path, &openError) && !open(path, &openError)) {
        if (error)
            *error = replaced ? QStringLiteral("The file was replaced, but could not be opened "
                                               "again: %1 Close Pantrio and start it again.")
                                    .arg(openError)
                              : *error + QLatin1Char('\n') + openError;
        return false;
    }
    if (replaced)
        emit changed(Replaced, nullptr);
    return replaced;
}

} // namespace pantrio

#include "support/FaultVfs.h"

#include <QByteArray>
#include <QFile>
#include <QHash>
#include <QList>
#include <QRandomGenerator>

#include <sqlite3.h>

#include <cstring>
#include <mutex>
#include <new>

namespace pantrio::test::FaultVfs
{

namespace
{

sqlite3_vfs *g_real = nullptr;
sqlite3_vfs g_vfs;
sqlite3_io_methods g_io;
std::recursive_mutex g_mutex;

int g_failAt = 0, g_calls = 0;
unsigned g_kinds = All;
Error g_error = Error::Io;
bool g_persistent = false, g_fired = false, g_counting = false;
unsigned g_firedKind = 0;

// Power cuts: per file, its content as of the last sync and the writes since.
struct Written {
    qint64 offset;
    QByteArray data; // empty with truncate >= 0
    qint64 truncate = -1;
};
struct Kept {
    bool synced = false;    // has reached the disk at least once
    bool existed = false;   // was there before recording began
    QByteArray durable;     // as of the last sync
    QList<Written> since;     // made after it
    bool deleted = false;
    // Deleted, its folder not synced since, and made anew: until the new
    // one's first sync (which syncs the folder), the old one may come back.
    bool ghost = false;
    QByteArray ghostBytes;
};
bool g_recording = false, g_cut = false;
int g_cutAfter = 0, g_ioCalls = 0;
QHash<QString, Kept> g_files;

struct File {
    sqlite3_file base;
    sqlite3_file *real;
    QString path;
};

int errorFor(unsigned kind)
{
    switch (g_error) {
    case Error::Full:
        return SQLITE_FULL;
    case Error::ReadOnly:
        return SQLITE_READONLY;
    case Error::Io:
        break;
    }
    switch (kind) {
    case Write:
        return SQLITE_IOERR_WRITE;
    case Sync:
        return SQLITE_IOERR_FSYNC;
    case Truncate:
        return SQLITE_IOERR_TRUNCATE;
    case Delete:
        return SQLITE_IOERR_DELETE;
    default:
        return SQLITE_IOERR_LOCK;
    }
}

// The error to give for this call, or SQLITE_OK.
int fault(unsigned kind)
{
    std::lock_guard lock(g_mutex);
    if (g_cut && kind != Lock)
        return SQLITE_IOERR;
    if (g_recording && (kind == Write || kind == Sync) && g_cutAfter > 0 &&
        ++g_ioCalls > g_cutAfter) {
        g_cut = true;
        return SQLITE_IOERR;
    }
    if (!g_counting || !(g_kinds & kind))
        return SQLITE_OK;
    ++g_calls;
    if (g_failAt > 0 && (g_calls == g_failAt || (g_persistent && g_calls > g_failAt))) {
        if (!g_fired)
            g_firedKind = kind;
        g_fired = true;
        return errorFor(kind);
    }
    return SQLITE_OK;
}

QByteArray readWhole(const QString &path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

Kept &kept(const QString &path)
{
    auto it = g_files.find(path);
    if (it == g_files.end()) {
        Kept k;
        k.existed = QFile::exists(path);
        k.synced = k.existed;
        k.durable = readWhole(path);
        it = g_files.insert(path, k);
    }
    return *it;
}

File *self(sqlite3_file *f)
{
    return reinterpret_cast<File *>(f);
}

int xClose(sqlite3_file *f)
{
    const int rc = self(f)->real->pMethods->xClose(self(f)->real);
    self(f)->~File(); // made in place by xOpen
    return rc;
}
int xRead(sqlite3_file *f, void *buf, int n, sqlite3_int64 at)
{
    return self(f)->real->pMethods->xRead(self(f)->real, buf, n, at);
}
int xWrite(sqlite3_file *f, const void *buf, int n, sqlite3_int64 at)
{
    if (const int rc = fault(Write))
        return rc;
    {
        std::lock_guard lock(g_mutex);
        if (g_recording && !self(f)->path.isEmpty())
            kept(self(f)->path).since.append({at, QByteArray(static_cast<const char *>(buf), n)});
    }
    return self(f)->real->pMethods->xWrite(self(f)->real, buf, n, at);
}
int xTruncate(sqlite3_file *f, sqlite3_int64 size)
{
    if (const int rc = fault(Truncate))
        return rc;
    {
        std::lock_guard lock(g_mutex);
        if (g_recording && !self(f)->path.isEmpty())
            kept(self(f)->path).since.append({0, {}, size});
    }
    return self(f)->real->pMethods->xTruncate(self(f)->real, size);
}
int xSync(sqlite3_file *f, int flags)
{
    if (const int rc = fault(Sync))
        return rc;
    const int rc = self(f)->real->pMethods->xSync(self(f)->real, flags);
    std::lock_guard lock(g_mutex);
    if (rc == SQLITE_OK && g_recording && !self(f)->path.isEmpty()) {
        Kept &k = kept(self(f)->path);
        k.durable = readWhole(self(f)->path);
        k.since.clear();
        k.synced = true;
        k.ghost = false;
    }
    return rc;
}
int xFileSize(sqlite3_file *f, sqlite3_int64 *size)
{
    return self(f)->real->pMethods->xFileSize(self(f)->real, size);
}
int xLock(sqlite3_file *f, int level)
{
    if (const int rc = fault(Lock))
        return rc;
    return self(f)->real->pMethods->xLock(self(f)->real, level);
}
int xUnlock(sqlite3_file *f, int level)
{
    return self(f)->real->pMethods->xUnlock(self(f)->real, level);
}
int xCheckReservedLock(sqlite3_file *f, int *out)
{
    return self(f)->real->pMethods->xCheckReservedLock(self(f)->real, out);
}
int xFileControl(sqlite3_file *f, int op, void *arg)
{
    return self(f)->real->pMethods->xFileControl(self(f)->real, op, arg);
}
int xSectorSize(sqlite3_file *f)
{
    return self(f)->real->pMethods->xSectorSize(self(f)->real);
}
int xDeviceCharacteristics(sqlite3_file *f)
{
    return self(f)->real->pMethods->xDeviceCharacteristics(self(f)->real);
}
int xShmMap(sqlite3_file *f, int page, int size, int extend, void volatile **out)
{
    return self(f)->real->pMethods->xShmMap(self(f)->real, page, size, extend, out);
}
int xShmLock(sqlite3_file *f, int offset, int n, int flags)
{
    return self(f)->real->pMethods->xShmLock(self(f)->real, offset, n, flags);
}
void xShmBarrier(sqlite3_file *f)
{
    self(f)->real->pMethods->xShmBarrier(self(f)->real);
}
int xShmUnmap(sqlite3_file *f, int deleteFlag)
{
    return self(f)->real->pMethods->xShmUnmap(self(f)->real, deleteFlag);
}
int xFetch(sqlite3_file *f, sqlite3_int64 at, int n, void **out)
{
    return self(f)->real->pMethods->xFetch(self(f)->real, at, n, out);
}
int xUnfetch(sqlite3_file *f, sqlite3_int64 at, void *p)
{
    return self(f)->real->pMethods->xUnfetch(self(f)->real, at, p);
}

int xOpen(sqlite3_vfs *, sqlite3_filename name, sqlite3_file *out, int flags, int *outFlags)
{
    // SQLite's memory: the file is made in it here and ended in xClose.
    File *f = new (out) File;
    f->real = reinterpret_cast<sqlite3_file *>(f + 1);
    f->real->pMethods = nullptr;
    f->path = name ? QString::fromUtf8(name) : QString();
    f->base.pMethods = nullptr;
    const int rc = g_real->xOpen(g_real, name, f->real, flags, outFlags);
    if (f->real->pMethods) {
        g_io.iVersion = std::min(f->real->pMethods->iVersion, 3);
        f->base.pMethods = &g_io;
    } else {
        f->~File(); // SQLite calls no xClose for a file it could not open
        return rc;
    }
    std::lock_guard lock(g_mutex);
    if (rc == SQLITE_OK && g_recording && !f->path.isEmpty()) {
        Kept &k = kept(f->path);
        if (k.deleted) {
            Kept made;
            made.ghost = k.synced;
            made.ghostBytes = k.durable;
            k = made;
        }
    }
    return rc;
}

int xDelete(sqlite3_vfs *, const char *name, int syncDir)
{
    if (const int rc = fault(Delete))
        return rc;
    {
        std::lock_guard lock(g_mutex);
        if (g_recording) {
            Kept &k = kept(QString::fromUtf8(name));
            // A deletion lasts once its folder is synced; else the file may
            // come back as it last reached the disk.
            if (syncDir) {
                k.durable.clear();
                k.synced = false;
                k.existed = false;
                k.since.clear();
            }
            k.deleted = true;
        }
    }
    return g_real->xDelete(g_real, name, syncDir);
}

int xAccess(sqlite3_vfs *, const char *name, int flags, int *out)
{
    return g_real->xAccess(g_real, name, flags, out);
}
int xFullPathname(sqlite3_vfs *, const char *name, int n, char *out)
{
    return g_real->xFullPathname(g_real, name, n, out);
}

} // namespace

void install()
{
    if (g_real)
        return;
    g_real = sqlite3_vfs_find(nullptr);
    g_vfs = *g_real;
    g_vfs.zName = "pantrio-faults";
    g_vfs.szOsFile = int(sizeof(File)) + g_real->szOsFile;
    g_vfs.pNext = nullptr;
    g_vfs.xOpen = xOpen;
    g_vfs.xDelete = xDelete;
    g_vfs.xAccess = xAccess;
    g_vfs.xFullPathname = xFullPathname;
    g_io = {3,       xClose,     xRead,       xWrite,        xTruncate, xSync,
            xFileSize, xLock,    xUnlock,     xCheckReservedLock, xFileControl, xSectorSize,
            xDeviceCharacteristics, xShmMap, xShmLock, xShmBarrier, xShmUnmap, xFetch, xUnfetch};
    sqlite3_vfs_register(&g_vfs, 1);
}

void arm(int nth, Error error, unsigned calls, bool persistent)
{
    std::lock_guard lock(g_mutex);
    g_failAt = nth;
    g_error = error;
    g_kinds = calls;
    g_persistent = persistent;
    g_calls = 0;
    g_fired = false;
    g_counting = true;
}

void disarm()
{
    std::lock_guard lock(g_mutex);
    g_failAt = 0;
    g_counting = false;
}

int calls()
{
    std::lock_guard lock(g_mutex);
    return g_calls;
}

unsigned firedCall()
{
    std::lock_guard lock(g_mutex);
    return g_firedKind;
}

bool fired()
{
    std::lock_guard lock(g_mutex);
    return g_fired;
}

void record()
{
    std::lock_guard lock(g_mutex);
    g_files.clear();
    g_recording = true;
    g_cut = false;
    g_cutAfter = 0;
    g_ioCalls = 0;
}

void cutAfter(int n)
{
    std::lock_guard lock(g_mutex);
    g_cutAfter = n;
    g_ioCalls = 0;
}

bool isCut()
{
    std::lock_guard lock(g_mutex);
    return g_cut;
}

void crash(std::uint32_t seed)
{
    std::lock_guard lock(g_mutex);
    QRandomGenerator rng(seed);
    for (auto it = g_files.begin(); it != g_files.end(); ++it) {
        const Kept &k = it.value();
        if (k.ghost && rng.bounded(2)) {
            QFile f(it.key());
            if (f.open(QIODevice::WriteOnly | QIODevice::Truncate))
                f.write(k.ghostBytes);
            continue;
        }
        if (k.deleted && k.synced) {
            // Its deletion did not last: it is back as it last reached the disk.
            QFile f(it.key());
            if (f.open(QIODevice::WriteOnly | QIODevice::Truncate))
                f.write(k.durable);
            continue;
        }
        if (!k.synced && !k.existed && (k.since.isEmpty() || rng.bounded(2))) {
            QFile::remove(it.key());
            continue;
        }
        QByteArray bytes = k.durable;
        // Any of the writes since the sync, in any order, a sector torn.
        QList<Written> since = k.since;
        for (qsizetype i = since.size() - 1; i > 0; --i)
            since.swapItemsAt(i, rng.bounded(int(i + 1)));
        for (const Written &w : std::as_const(since)) {
            const int fate = rng.bounded(3); // lost, whole, torn
            if (fate == 0)
                continue;
            if (w.truncate >= 0) {
                bytes.truncate(qsizetype(w.truncate));
                continue;
            }
            QByteArray data = w.data;
            if (fate == 2 && data.size() > 512)
                data.truncate(512 * (1 + rng.bounded(int(data.size() / 512))));
            if (bytes.size() < w.offset + data.size())
                bytes.resize(w.offset + data.size(), '\0');
            std::memcpy(bytes.data() + w.offset, data.constData(), size_t(data.size()));
        }
        QFile f(it.key());
        if (f.open(QIODevice::WriteOnly | QIODevice::Truncate))
            f.write(bytes);
    }
    g_files.clear();
    g_recording = false;
    g_cut = false;
    g_cutAfter = 0;
}

void stopRecording()
{
    std::lock_guard lock(g_mutex);
    g_files.clear();
    g_recording = false;
    g_cut = false;
    g_cutAfter = 0;
}

} // namespace pantrio::test::FaultVfs

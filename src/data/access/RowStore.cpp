#include "data/access/RowStore.h"

#include <sqlite3.h>

#include <cstring>

namespace pantrio
{

namespace
{

enum Tag : char { Null, Integer, Real, Text, Shared, Blob, Other };

// A column stops keeping texts once apart when it has this many: its values
// are names, not categories.
constexpr int kDictionaryLimit = 1024;
constexpr int kSharedLength = 40;

void putSize(QByteArray &out, quint64 n)
{
    while (n >= 0x80) {
        out.append(char(n | 0x80));
        n >>= 7;
    }
    out.append(char(n));
}

quint64 getSize(const char *&p)
{
    quint64 n = 0;
    int shift = 0;
    for (;;) {
        const auto b = quint8(*p++);
        n |= quint64(b & 0x7f) << shift;
        if (!(b & 0x80))
            return n;
        shift += 7;
    }
}

// Zigzag: small negative numbers stay short too.
void putInteger(QByteArray &out, qint64 v)
{
    putSize(out, (quint64(v) << 1) ^ quint64(v >> 63));
}

qint64 getInteger(const char *&p)
{
    const quint64 z = getSize(p);
    return qint64(z >> 1) ^ -qint64(z & 1);
}

void skipCell(const char *&p)
{
    switch (*p++) {
    case Integer:
    case Shared:
    case Other:
        getSize(p);
        break;
    case Real:
        p += sizeof(double);
        break;
    case Text:
    case Blob:
        p += getSize(p);
        break;
    default:
        break;
    }
}

} // namespace

RowStore::RowStore(int columns) : d(new Data)
{
    d->columns = columns;
    d->dictionary.resize(columns);
    d->utf8.resize(columns);
    d->buckets.resize(columns);
}

RowStore::~RowStore() = default;

void RowStore::encode(const QVector<QVariant> &values)
{
    Data &data = *d;
    QByteArray &out = data.bytes;
    for (int c = 0; c < data.columns; ++c) {
        const QVariant &v = c < values.size() ? values.at(c) : QVariant();
        const int type = v.typeId();
        if (!v.isValid()) {
            out.append(char(Null));
        } else if (type == QMetaType::LongLong) {
            out.append(char(Integer));
            putInteger(out, v.toLongLong());
        } else if (type == QMetaType::Double) {
            out.append(char(Real));
            const double x = v.toDouble();
            out.append(reinterpret_cast<const char *>(&x), sizeof x);
        } else if (type == QMetaType::QString && !v.isNull()) {
            const QString &s = *static_cast<const QString *>(v.constData());
            const QByteArray utf8 = s.toUtf8();
            encodeText(c, utf8.constData(), utf8.size(), &s);
        } else if (type == QMetaType::QByteArray && !v.isNull()) {
            const QByteArray b = v.toByteArray();
            out.append(char(Blob));
            putSize(out, quint64(b.size()));
            out.append(b);
        } else {
            // Anything else (an int typed by the user, a null text) as it came.
            out.append(char(Other));
            putSize(out, quint64(data.others.size()));
            data.others.append(v);
        }
    }
}

void RowStore::encodeText(int column, const char *utf8, qsizetype size, const QString *text)
{
    Data &data = *d;
    QByteArray &out = data.bytes;
    // Looked up by a cheap hash of the bytes as SQLite gave them. A long
    // text, or any in a column of names, is not looked up at all.
    int found = -1;
    QStringList &texts = data.dictionary[column];
    if (size <= kSharedLength && texts.size() < kDictionaryLimit) {
        QVector<qint32> &buckets = data.buckets[column];
        QVector<QByteArray> &bytes = data.utf8[column];
        if (buckets.isEmpty())
            buckets.resize(2 * kDictionaryLimit);
        quint32 h = 2166136261u; // FNV-1a
        for (qsizetype i = 0; i < size; ++i)
            h = (h ^ quint8(utf8[i])) * 16777619u;
        const QByteArrayView key(utf8, size);
        quint32 at = h & quint32(buckets.size() - 1);
        while (buckets.at(at) != 0 && bytes.at(buckets.at(at) - 1) != key)
            at = (at + 1) & quint32(buckets.size() - 1);
        if (buckets.at(at) != 0) {
            found = buckets.at(at) - 1;
        } else {
            found = int(texts.size());
            buckets[at] = found + 1;
            bytes.append(QByteArray(utf8, size));
            texts.append(text ? *text : QString::fromUtf8(utf8, size));
        }
    }
    if (found >= 0) {
        out.append(char(Shared));
        putSize(out, quint64(found));
    } else {
        out.append(char(Text));
        putSize(out, quint64(size));
        out.append(utf8, size);
    }
}

void RowStore::append(sqlite3_stmt *stmt)
{
    d->offsets.append(quint32(d->bytes.size()));
    for (int c = 0; c < d->columns; ++c) {
        QByteArray &out = d->bytes;
        switch (sqlite3_column_type(stmt, c)) {
        case SQLITE_INTEGER:
            out.append(char(Integer));
            putInteger(out, sqlite3_column_int64(stmt, c));
            break;
        case SQLITE_FLOAT: {
            out.append(char(Real));
            const double x = sqlite3_column_double(stmt, c);
            out.append(reinterpret_cast<const char *>(&x), sizeof x);
            break;
        }
        case SQLITE_TEXT: {
            const char *text = reinterpret_cast<const char *>(sqlite3_column_text(stmt, c));
            encodeText(c, text, sqlite3_column_bytes(stmt, c), nullptr);
            break;
        }
        case SQLITE_BLOB: {
            const char *blob = static_cast<const char *>(sqlite3_column_blob(stmt, c));
            const int n = sqlite3_column_bytes(stmt, c);
            out.append(char(Blob));
            putSize(out, quint64(n));
            out.append(blob, n);
            break;
        }
        default:
            out.append(char(Null));
        }
    }
}

const char *RowStore::cell(int row, int column) const
{
    const char *p = d->bytes.constData() + d->offsets.at(row);
    for (int c = 0; c < column; ++c)
        skipCell(p);
    return p;
}

QVariant RowStore::value(int row, int column) const
{
    if (row < 0 || row >= rowCount() || column < 0 || column >= d->columns)
        return {};
    const char *p = cell(row, column);
    switch (*p++) {
    case Integer:
        return QVariant(qlonglong(getInteger(p)));
    case Real: {
        double x;
        std::memcpy(&x, p, sizeof x);
        return QVariant(x);
    }
    case Text: {
        const auto n = qsizetype(getSize(p));
        return QVariant(QString::fromUtf8(p, n));
    }
    case Shared:
        return QVariant(d->dictionary.at(column).at(qsizetype(getSize(p))));
    case Blob: {
        const auto n = qsizetype(getSize(p));
        return QVariant(QByteArray(p, n));
    }
    case Other:
        return d->others.at(qsizetype(getSize(p)));
    default:
        return {};
    }
}

QVector<QVariant> RowStore::row(int r) const
{
    QVector<QVariant> out(d->columns);
    for (int c = 0; c < d->columns; ++c)
        out[c] = value(r, c);
    return out;
}

void RowStore::append(const QVector<QVariant> &values)
{
    d->offsets.append(quint32(d->bytes.size()));
    encode(values);
}

void RowStore::set(int row, const QVector<QVariant> &values)
{
    if (row < 0 || row >= rowCount())
        return;
    // The new cells go at the end; the old ones are left until compacted.
    const char *start = d->bytes.constData() + d->offsets.at(row);
    const qsizetype old = cell(row, d->columns) - start;
    Data &data = *d;
    data.unused += old;
    data.offsets[row] = quint32(data.bytes.size());
    encode(values);
    compactIfWasteful();
}

void RowStore::removeAt(int row)
{
    if (row < 0 || row >= rowCount())
        return;
    d->offsets.removeAt(row);
}

void RowStore::reserve(int rows)
{
    d->offsets.reserve(rows);
}

void RowStore::compactIfWasteful()
{
    if (d->unused < 4096 || d->unused < d->bytes.size() / 2)
        return;
    RowStore fresh(d->columns);
    fresh.reserve(rowCount());
    for (int r = 0; r < rowCount(); ++r)
        fresh.append(row(r));
    *this = fresh;
}

} // namespace pantrio

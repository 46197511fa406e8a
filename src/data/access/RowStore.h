#pragma once

#include <QByteArray>
#include <QSharedDataPointer>
#include <QStringList>
#include <QVariant>
#include <QVector>

struct sqlite3_stmt;

namespace pantrio
{

// The rows of a result, packed: each row's cells encoded one after another in
// one byte buffer, text as UTF-8, and a column's repeated short texts (its
// categories, its aisles) kept once. A catalogue of 100,000 items takes a
// fifth of what rows of QVariants take. Values read back exactly as stored
// (type, nullness). Copies share the buffer until one of them is changed.
class RowStore
{
  public:
    explicit RowStore(int columns = 0);
    RowStore(const RowStore &) = default;
    RowStore &operator=(const RowStore &) = default;
    ~RowStore();

    int columnCount() const { return d->columns; }
    int rowCount() const { return int(d->offsets.size()); }
    QVariant value(int row, int column) const;
    QVector<QVariant> row(int row) const;

    void append(const QVector<QVariant> &values);
    // The statement's current row, straight from SQLite's own UTF-8.
    void append(sqlite3_stmt *stmt);
    void set(int row, const QVector<QVariant> &values);
    void removeAt(int row);
    void reserve(int rows);

  private:
    struct Data : QSharedData {
        int columns = 0;
        QByteArray bytes;
        QVector<quint32> offsets;         // where each row starts in bytes
        QVector<QStringList> dictionary;  // per column: texts kept once
        QVector<QVector<QByteArray>> utf8; // the same texts as stored
        QVector<QVector<qint32>> buckets;    // per column: open addressing, index + 1
        QVector<QVariant> others;         // values of any other type, as given
        qsizetype unused = 0;             // bytes of rows since replaced
    };

    void encode(const QVector<QVariant> &values);
    void encodeText(int column, const char *utf8, qsizetype size, const QString *text);
    const char *cell(int row, int column) const;
    void compactIfWasteful();

    QSharedDataPointer<Data> d;
};

} // namespace pantrio

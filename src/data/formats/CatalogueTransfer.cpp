#include "data/formats/CatalogueTransfer.h"

#include "data/access/Connection.h"
#include "data/safety/SafeFile.h"

#include <QSet>

#include <array>

namespace pantrio::CatalogueTransfer
{

namespace
{

// The items already met, to find a repeat by its three texts: open addressing
// over their places, hashed cheaply (no key made for each row, no seeded hash
// of a joined text: at 100,000 rows those were two thirds of an import).
class ItemSet
{
  public:
    explicit ItemSet(qsizetype expected)
    {
        qsizetype size = 16;
        while (size < expected * 2)
            size *= 2;
        m_buckets.fill(-1, size);
        m_items.reserve(expected);
    }
    // Adds the item; false when it was there already.
    bool insert(const std::array<QString, 3> &item)
    {
        if (m_items.size() * 2 >= m_buckets.size())
            grow();
        quint32 at = hash(item) & quint32(m_buckets.size() - 1);
        while (m_buckets.at(at) >= 0) {
            if (m_items.at(m_buckets.at(at)) == item)
                return false;
            at = (at + 1) & quint32(m_buckets.size() - 1);
        }
        m_buckets[at] = int(m_items.size());
        m_items.append(item);
        return true;
    }

  private:
    static quint32 hash(const std::array<QString, 3> &item)
    {
        quint32 h = 2166136261u; // FNV-1a over the three texts and their ends
        for (const QString &s : item) {
            for (const QChar c : s)
                h = (h ^ c.unicode()) * 16777619u;
            h = (h ^ 0x1f) * 16777619u;
        }
        return h;
    }
    void grow()
    {
        const QVector<std::array<QString, 3>> items = std::move(m_items);
        m_items.clear();
        m_buckets.fill(-1, m_buckets.size() * 2);
        for (const auto &i : items)
            insert(i);
    }

    QVector<int> m_buckets;
    QVector<std::array<QString, 3>> m_items;
};

bool writeCsv(Connection &connection, const QString &sql, const QStringList &header,
              const QString &path, int *count, QString *error)
{
    Connection::Rows rows;
    if (!connection.select(sql, &rows, error))
        return false;
    QByteArray data = Csv::line(header);
    for (const auto &r : std::as_const(rows.rows)) {
        QStringList fields;
        for (const QVariant &v : r)
            fields << v.toString();
        data += Csv::line(fields);
    }
    // Written aside and renamed into place: a failed export leaves the old file.
    if (!SafeFile::write(path, data, error))
        return false;
    if (count)
        *count = int(rows.rows.size());
    return true;
}

} // namespace

bool plan(Connection &connection, const Csv::Table &table, ImportPlan *out, QString *error)
{
    QVector<int> columns;
    if (!Csv::columns(table,
                      {QStringLiteral("Item"), QStringLiteral("Category"), QStringLiteral("Aisle")},
                      &columns, error))
        return false;
    Connection::Rows existing, categories;
    if (!connection.select(QStringLiteral("SELECT Item, Category, Aisle FROM Vendora"), &existing,
                           error) ||
        !connection.select(QStringLiteral("SELECT Categories FROM Categories"), &categories, error))
        return false;
    ItemSet seen(existing.rows.size() + table.rows.size());
    for (const auto &r : std::as_const(existing.rows))
        seen.insert({r.at(0).toString(), r.at(1).toString(), r.at(2).toString()});
    QSet<QString> knownCategories;
    for (const auto &r : std::as_const(categories.rows))
        knownCategories.insert(r.at(0).toString());

    ImportPlan p;
    for (const QStringList &row : table.rows) {
        const std::array<QString, 3> item = {row.at(columns[0]), row.at(columns[1]),
                                             row.at(columns[2])};
        if (!seen.insert(item)) {
            ++p.duplicates;
            continue;
        }
        p.items.append(item);
        if (!item[1].isEmpty() && !knownCategories.contains(item[1])) {
            knownCategories.insert(item[1]);
            p.newCategories << item[1];
        }
    }
    *out = std::move(p);
    return true;
}

bool apply(Connection &connection, const ImportPlan &plan,
           const std::function<bool(int, int)> &progress, QString *error)
{
    bool cancelled = false;
    // The connection keeps each statement prepared across the rows.
    const QString insert =
        QStringLiteral("INSERT INTO Vendora (Item, Category, Aisle) VALUES (?, ?, ?)");
    const QString category = QStringLiteral("INSERT INTO Categories (Categories) VALUES (?)");
    auto orNull = [](const QString &s) { return s.isEmpty() ? QVariant() : QVariant(s); };
    const bool ok = connection.transaction(
        [&] {
            const int total = int(plan.items.size());
            QVariantList binds(3); // one list for every row
            for (int i = 0; i < total; ++i) {
                const auto &item = plan.items.at(i);
                for (int f = 0; f < 3; ++f)
                    binds[f] = orNull(item[f]);
                if (!connection.exec(insert, binds, error))
                    return false;
                if (progress && i % 500 == 0 && !progress(i, total)) {
                    cancelled = true;
                    return false;
                }
            }
            for (const QString &c : plan.newCategories)
                if (!connection.exec(category, {c}, error))
                    return false;
            if (progress && !progress(total, total)) {
                cancelled = true;
                return false;
            }
            return true;
        },
        error);
    if (cancelled && error)
        *error = QStringLiteral("The import was cancelled; nothing was added.");
    return ok;
}

bool exportCatalogue(Connection &connection, const QString &path, int *count, QString *error)
{
    return writeCsv(connection,
                    QStringLiteral("SELECT Item, Category, Aisle FROM Vendora ORDER BY Item, ID"),
                    {QStringLiteral("Item"), QStringLiteral("Category"), QStringLiteral("Aisle")},
                    path, count, error);
}

bool exportShoppingList(Connection &connection, const QString &path, int *count, QString *error)
{
    return writeCsv(
        connection,
        QStringLiteral("SELECT Item, Category, Aisle, Quantity FROM Selected ORDER BY ID"),
        {QStringLiteral("Item"), QStringLiteral("Category"), QStringLiteral("Aisle"),
         QStringLiteral("Quantity")},
        path, count, error);
}

} // namespace pantrio::CatalogueTransfer

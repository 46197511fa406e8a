#include "data/formats/CatalogueTransfer.h"

#include "data/access/Connection.h"
#include "data/safety/SafeFile.h"

#include <QSet>

namespace pantrio::CatalogueTransfer
{

namespace
{

QString key(const QString &item, const QString &category, const QString &aisle)
{
    return item + QChar(0x1F) + category + QChar(0x1F) + aisle;
}

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
    QSet<QString> seen;
    for (const auto &r : std::as_const(existing.rows))
        seen.insert(key(r.at(0).toString(), r.at(1).toString(), r.at(2).toString()));
    QSet<QString> knownCategories;
    for (const auto &r : std::as_const(categories.rows))
        knownCategories.insert(r.at(0).toString());

    ImportPlan p;
    for (const QStringList &row : table.rows) {
        const std::array<QString, 3> item = {row.at(columns[0]), row.at(columns[1]),
                                             row.at(columns[2])};
        const QString k = key(item[0], item[1], item[2]);
        if (seen.contains(k)) {
            ++p.duplicates;
            continue;
        }
        seen.insert(k);
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
            for (int i = 0; i < total; ++i) {
                const auto &item = plan.items.at(i);
                if (!connection.exec(insert, {orNull(item[0]), orNull(item[1]), orNull(item[2])},
                                     error))
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

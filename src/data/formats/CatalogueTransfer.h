#pragma once

#include "data/formats/Csv.h"

#include <QString>
#include <QVector>

#include <array>
#include <functional>

namespace pantrio
{

class Connection;

// CSV import of catalogue items and export of the catalogue and the shopping
// list. Import is planned first (what is added, what is skipped) and then
// written in one transaction, so a cancelled or failed import adds nothing.
namespace CatalogueTransfer
{

struct ImportPlan {
    QVector<std::array<QString, 3>> items; // Item, Category, Aisle
    int duplicates = 0;
    QStringList newCategories;
};

bool plan(Connection &connection, const Csv::Table &table, ImportPlan *plan, QString *error);

// progress(done, total) returns false to cancel.
bool apply(Connection &connection, const ImportPlan &plan,
           const std::function<bool(int, int)> &progress, QString *error);

bool exportCatalogue(Connection &connection, const QString &path, int *count, QString *error);
bool exportShoppingList(Connection &connection, const QString &path, int *count, QString *error);

} // namespace CatalogueTransfer
} // namespace pantrio

#pragma once

#include "data/access/RecordSet.h"

// Every record source of the two windows, in one place, so no window holds SQL.
namespace pantrio::Sources
{

inline RecordSource mainCategories()
{
    return {QStringLiteral("SELECT Categories, ID\r\nFROM Categories\r\nORDER BY Categories"),
            QStringLiteral("Categories"), QStringLiteral("ID")};
}
inline RecordSource editorCategories()
{
    // The editor only shows and adds names, but keys rows by their hidden rowid.
    return {QStringLiteral("SELECT Categories, rowid\r\nFROM Categories\r\nORDER BY Categories"),
            QStringLiteral("Categories"), QStringLiteral("rowid")};
}
inline RecordSource catalogue()
{
    return {QStringLiteral("Select * From Vendora Order By Item"), QStringLiteral("Vendora"),
            QStringLiteral("ID")};
}
inline RecordSource findList()
{
    return {QStringLiteral("SELECT * FROM Vendora\r\nORDER BY Item"), QStringLiteral("Vendora"),
            QStringLiteral("ID")};
}
inline RecordSource editorItems()
{
    return {QStringLiteral("select Aisle,Category,ID,Item from Vendora Order by Item"),
            QStringLiteral("Vendora"), QStringLiteral("ID")};
}
inline RecordSource shoppingList()
{
    // The whole table, with its columns in the grid's order.
    return {QStringLiteral("SELECT Item, Category, Aisle, Quantity, ID FROM Selected"),
            QStringLiteral("Selected"), QStringLiteral("ID")};
}
inline RecordSource settings(const QString &table)
{
    return RecordSource::wholeTable(table, QStringLiteral("rowid"));
}

} // namespace pantrio::Sources

#pragma once

#include <QString>

namespace pantrio
{

// Orders text the way a shopper reads it: case-insensitively, with runs of
// digits compared by value ("Aisle 2" before "Aisle 10").
int naturalCompare(const QString &a, const QString &b);

} // namespace pantrio

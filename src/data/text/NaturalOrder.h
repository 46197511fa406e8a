#pragma once

#include <QString>

#include <string>

namespace pantrio
{

// Orders text the way a shopper reads it: case-insensitively, with runs of
// digits compared by value ("Aisle 2" before "Aisle 10").
int naturalCompare(const QString &a, const QString &b);

// The same order made once per text for sorting many: folded letters, and
// each run of digits 0-9 as its length and digits, compared as plain units.
// A text with other digits (Arabic-Indic, full-width) is compared by
// naturalCompare itself.
struct NaturalKey {
    std::u32string units;
    bool other = false;
};
NaturalKey naturalKey(const QString &s);
int naturalCompare(const NaturalKey &ka, const QString &a, const NaturalKey &kb, const QString &b);

} // namespace pantrio

#include "data/text/NaturalOrder.h"

namespace pantrio
{

namespace
{
// Most names are ASCII: folded without the Unicode tables.
inline char16_t folded(QChar c)
{
    const char16_t u = c.unicode();
    if (u < 0x80)
        return u >= 'A' && u <= 'Z' ? char16_t(u + 32) : u;
    return c.toCaseFolded().unicode();
}
} // namespace

int naturalCompare(const QString &a, const QString &b)
{
    qsizetype i = 0, j = 0;
    const qsizetype n = a.size(), m = b.size();
    while (i < n && j < m) {
        const QChar ca = a.at(i), cb = b.at(j);
        if (ca.isDigit() && cb.isDigit()) {
            // Compare digit runs by value: skip leading zeros, then length, then digits.
            qsizetype si = i, sj = j;
            while (si < n && a.at(si) == QLatin1Char('0'))
                ++si;
            while (sj < m && b.at(sj) == QLatin1Char('0'))
                ++sj;
            qsizetype ei = si, ej = sj;
            while (ei < n && a.at(ei).isDigit())
                ++ei;
            while (ej < m && b.at(ej).isDigit())
                ++ej;
            if (ei - si != ej - sj)
                return ei - si < ej - sj ? -1 : 1;
            for (qsizetype k = 0; k < ei - si; ++k) {
                const int d = a.at(si + k).digitValue() - b.at(sj + k).digitValue();
                if (d != 0)
                    return d < 0 ? -1 : 1;
            }
            i = ei;
            j = ej;
            continue;
        }
        const char16_t la = folded(ca), lb = folded(cb);
        if (la != lb)
            return la < lb ? -1 : 1;
        ++i;
        ++j;
    }
    if (i < n)
        return 1;
    if (j < m)
        return -1;
    // Equal when folded: fall back to a plain comparison so the order is total.
    const int c = QString::compare(a, b);
    return c < 0 ? -1 : (c > 0 ? 1 : 0);
}

NaturalKey naturalKey(const QString &s)
{
    NaturalKey key;
    key.units.reserve(size_t(s.size()) + 2);
    const qsizetype n = s.size();
    for (qsizetype i = 0; i < n;) {
        const QChar c = s.at(i);
        if (c.isDigit()) {
            if (c.unicode() > '9') {
                key.other = true;
                return key;
            }
            // '0' stands for the run: no other sign lies between '0' and '9',
            // so against a letter it orders as any digit does.
            qsizetype start = i;
            while (start < n && s.at(start) == QLatin1Char('0'))
                ++start;
            qsizetype end = i;
            while (end < n && s.at(end).isDigit()) {
                if (s.at(end).unicode() > '9') {
                    key.other = true;
                    return key;
                }
                ++end;
            }
            if (start > end)
                start = end;
            key.units.push_back(U'0');
            key.units.push_back(char32_t(end - start));
            for (qsizetype k = start; k < end; ++k)
                key.units.push_back(char32_t(s.at(k).unicode()));
            i = end;
            continue;
        }
        key.units.push_back(char32_t(folded(c)));
        ++i;
    }
    return key;
}

int naturalCompare(const NaturalKey &ka, const QString &a, const NaturalKey &kb, const QString &b)
{
    if (ka.other || kb.other)
        return naturalCompare(a, b);
    if (const int c = ka.units.compare(kb.units))
        return c < 0 ? -1 : 1;
    const int c = QString::compare(a, b);
    return c < 0 ? -1 : (c > 0 ? 1 : 0);
}

} // namespace pantrio

#include "data/shopping/RecipeMatch.h"

#include <QMap>
#include <QSet>

#include <algorithm>

namespace pantrio
{

namespace
{

QStringList words(const QString &folded)
{
    return folded.split(QLatin1Char(' '), Qt::SkipEmptyParts);
}

// Edits between two short names, cut off past a limit (a long line costs no more).
int distance(const QString &a, const QString &b, int limit)
{
    if (std::abs(int(a.size()) - int(b.size())) > limit)
        return limit + 1;
    QList<int> row(b.size() + 1);
    for (int j = 0; j <= b.size(); ++j)
        row[j] = j;
    for (int i = 1; i <= a.size(); ++i) {
        int diagonal = row[0];
        row[0] = i;
        int best = row[0];
        for (int j = 1; j <= b.size(); ++j) {
            const int up = row[j];
            row[j] = std::min({row[j] + 1, row[j - 1] + 1, diagonal + (a[i - 1] == b[j - 1] ? 0 : 1)});
            diagonal = up;
            best = std::min(best, row[j]);
        }
        if (best > limit)
            return limit + 1;
    }
    return row[b.size()];
}

// A word more items have says nothing alone.
constexpr qsizetype kTelling = 2000;
constexpr qsizetype kLongestMisspelt = 40;

} // namespace

RecipeMatch::RecipeMatch(RowStore catalogue) : m_items(std::move(catalogue))
{
    m_keys.reserve(m_items.rowCount());
    m_byKey.reserve(m_items.rowCount());
    for (int i = 0; i < m_items.rowCount(); ++i) {
        m_keys.append(foldName(name(i)));
        if (!m_keys.last().isEmpty())
            m_byKey.insert(m_keys.last(), i); // the last of a name wins; any of them is that item
    }
}

QString RecipeMatch::name(int index) const
{
    return m_items.value(index, 0).toString();
}

RecipeMatch::Item RecipeMatch::item(int index) const
{
    return {name(index), m_items.value(index, 1).toString(), m_items.value(index, 2).toString()};
}

QHash<QString, QList<int>> RecipeMatch::itemsWithWords(const QSet<QString> &wanted) const
{
    // One pass over the folded names, looking words up as views: a paste
    // asks about a few dozen words, so no index of every word is built.
    const QStringList asked(wanted.cbegin(), wanted.cend());
    QMultiHash<size_t, int> byHash;
    quint64 lengths = 0; // the asked words' lengths (under 64), to skip most words unhashed
    bool anyLong = false;
    for (int n = 0; n < asked.size(); ++n) {
        byHash.insert(qHash(asked.at(n)), n);
        if (asked.at(n).size() < 64)
            lengths |= quint64(1) << asked.at(n).size();
        else
            anyLong = true;
    }
    QList<QList<int>> found(asked.size());
    for (int i = 0; i < m_keys.size(); ++i)
        for (const QStringView word : QStringView(m_keys.at(i)).tokenize(u' ', Qt::SkipEmptyParts)) {
            if (word.size() < 64 ? !(lengths >> word.size() & 1) : !anyLong)
                continue;
            const size_t h = qHash(word);
            for (auto it = byHash.constFind(h); it != byHash.cend() && it.key() == h; ++it)
                if (word == asked.at(*it)) {
                    QList<int> &list = found[*it];
                    if (list.isEmpty() || list.last() != i)
                        list.append(i);
                }
        }
    QHash<QString, QList<int>> out;
    for (int n = 0; n < asked.size(); ++n)
        if (!found.at(n).isEmpty())
            out.insert(asked.at(n), found.at(n));
    return out;
}

const QHash<qsizetype, QList<int>> &RecipeMatch::shortNamesByLength(Lookup &lookup) const
{
    if (!lookup.lengthsBuilt) {
        lookup.lengthsBuilt = true;
        for (int i = 0; i < m_keys.size(); ++i)
            if (m_keys.at(i).size() <= kLongestMisspelt + 2)
                lookup.lengths[m_keys.at(i).size()].append(i);
    }
    return lookup.lengths;
}

void RecipeMatch::rank(Line &line, const QString &key, Lookup &lookup) const
{
    // Candidates share a word with the name; ranked by how telling the
    // shared words are (one few items have counts most, the last word, which
    // names the thing in "large onions", twice), then by how few edits turn
    // one name into the other.
    const QStringList mine = words(key);
    QHash<int, double> shared;
    QList<const QList<int> *> common; // words too many items have to tell alone
    for (qsizetype n = 0; n < mine.size(); ++n) {
        const auto it = lookup.byWord.constFind(mine.at(n));
        if (it == lookup.byWord.cend())
            continue;
        if (it->size() > kTelling) {
            common << &*it;
            continue;
        }
        const double weight = (n == mine.size() - 1 ? 2.0 : 1.0) / it->size();
        for (int i : *it)
            shared[i] += weight;
    }
    // Common words together may still tell ("green pepper"): the items
    // having all of them, when they are few enough.
    if (shared.isEmpty() && common.size() > 1) {
        QList<int> all = *common.first(); // ascending, as the names were read
        for (qsizetype n = 1; n < common.size() && !all.isEmpty(); ++n) {
            QList<int> both;
            std::set_intersection(all.cbegin(), all.cend(), common.at(n)->cbegin(),
                                  common.at(n)->cend(), std::back_inserter(both));
            all = std::move(both);
        }
        if (all.size() <= kTelling)
            for (int i : std::as_const(all))
                shared.insert(i, 1.0 / all.size());
    }
    // A misspelt one-word name ("tomatoe", "onoin") still finds its item:
    // only names within two letters of its length can be two edits away.
    if (shared.isEmpty() && mine.size() == 1 && key.size() <= kLongestMisspelt)
        for (qsizetype length = std::max<qsizetype>(0, key.size() - 2); length <= key.size() + 2; ++length)
            for (int i : shortNamesByLength(lookup).value(length))
                if (distance(key, m_keys.at(i), 2) <= 2)
                    shared.insert(i, 0);
    // Best weight first, then fewest edits, then by name; one offer per
    // name. Edits are counted only as far as the third best kept so far, so
    // hundreds of equally telling candidates cost little.
    QMap<double, QList<int>> byWeight;
    for (auto it = shared.cbegin(); it != shared.cend(); ++it)
        byWeight[-it.value()].append(it.key());
    struct Kept {
        int edits;
        int index;
    };
    for (const QList<int> &group : std::as_const(byWeight)) {
        const qsizetype room = 3 - line.closest.size();
        if (room <= 0)
            break;
        QList<Kept> kept; // sorted, at most room, distinct names
        auto before = [this](const Kept &a, const Kept &b) {
            return a.edits != b.edits ? a.edits < b.edits : name(a.index) < name(b.index);
        };
        for (int i : group) {
            if (std::any_of(line.closest.cbegin(), line.closest.cend(),
                            [&](int c) { return name(c) == name(i); }))
                continue;
            // Past 64 edits every name is as far as any other.
            const int limit = kept.size() == room ? std::min(kept.last().edits, 64) : 64;
            const Kept k{std::min(distance(key, m_keys.at(i), limit), 65), i};
            if (kept.size() == room && before(kept.last(), k))
                continue;
            const auto same = std::find_if(kept.begin(), kept.end(), [&](const Kept &o) {
                return name(o.index) == name(i);
            });
            if (same != kept.end()) {
                if (!before(k, *same))
                    continue;
                kept.erase(same);
            }
            kept.insert(std::lower_bound(kept.begin(), kept.end(), k, before), k);
            if (kept.size() > room)
                kept.removeLast();
        }
        for (const Kept &k : std::as_const(kept))
            line.closest.append(k.index);
    }
}

QList<RecipeMatch::Line> RecipeMatch::match(const QString &pasted) const
{
    QList<Line> out;
    QStringList keys;
    QSet<QString> wanted; // the words of the lines not named exactly
    for (const QString &raw : pasted.split(QLatin1Char('\n'))) {
        Line line;
        line.text = raw.trimmed();
        if (line.text.isEmpty() || line.text.endsWith(QLatin1Char(':')))
            continue;
        line.parsed = parseIngredientLine(line.text);
        const QString key = foldName(line.parsed.name);
        if (key.isEmpty())
            continue;
        line.match = m_byKey.value(key, -1);
        if (line.match < 0)
            for (const QString &w : words(key))
                wanted.insert(w);
        out.append(line);
        keys.append(key);
    }
    if (wanted.isEmpty())
        return out;
    Lookup lookup{itemsWithWords(wanted), {}, false};
    for (qsizetype n = 0; n < out.size(); ++n)
        if (out.at(n).match < 0)
            rank(out[n], keys.at(n), lookup);
    return out;
}

} // namespace pantrio

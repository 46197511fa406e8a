#include "data/shopping/RecipeMatch.h"

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

} // namespace

RecipeMatch::RecipeMatch(QList<Item> catalogue) : m_items(std::move(catalogue))
{
    for (int i = 0; i < m_items.size(); ++i) {
        const QString key = foldName(m_items.at(i).name);
        m_keys.append(key);
        if (key.isEmpty())
            continue;
        m_byKey.insert(key, i); // the last of a name wins; any of them is that item
        for (const QString &w : words(key)) {
            QList<int> &list = m_byWord[w];
            if (list.isEmpty() || list.last() != i)
                list.append(i);
        }
    }
}

RecipeMatch::Line RecipeMatch::matchLine(const QString &text) const
{
    Line line;
    line.text = text.trimmed();
    line.parsed = parseIngredientLine(line.text);
    const QString key = foldName(line.parsed.name);
    if (key.isEmpty())
        return line;
    const auto exact = m_byKey.constFind(key);
    if (exact != m_byKey.cend()) {
        line.match = *exact;
        return line;
    }
    // Candidates share a word with the name; ranked by how telling the
    // shared words are (one few items have counts most, the last word, which
    // names the thing in "large onions", twice), then by how few edits turn
    // one name into the other.
    const QStringList mine = words(key);
    QHash<int, double> shared;
    for (qsizetype n = 0; n < mine.size(); ++n) {
        const auto it = m_byWord.constFind(mine.at(n));
        if (it == m_byWord.cend() || it->size() > 2000) // a word every item has says nothing
            continue;
        const double weight = (n == mine.size() - 1 ? 2.0 : 1.0) / it->size();
        for (int i : *it)
            shared[i] += weight;
    }
    // A misspelt one-word name ("tomatoe", "onoin") still finds its item.
    if (shared.isEmpty() && key.size() <= 40)
        for (auto it = m_byKey.cbegin(); it != m_byKey.cend(); ++it)
            if (distance(key, it.key(), 2) <= 2)
                shared.insert(*it, 0);
    struct Ranked {
        int index;
        double weight;
        int edits;
    };
    QList<Ranked> ranked;
    for (auto it = shared.cbegin(); it != shared.cend(); ++it)
        ranked.append({it.key(), it.value(), distance(key, m_keys.at(it.key()), 64)});
    std::sort(ranked.begin(), ranked.end(), [this](const Ranked &a, const Ranked &b) {
        if (a.weight != b.weight)
            return a.weight > b.weight;
        if (a.edits != b.edits)
            return a.edits < b.edits;
        return m_items.at(a.index).name < m_items.at(b.index).name;
    });
    QSet<QString> named;
    for (const Ranked &r : std::as_const(ranked)) {
        if (line.closest.size() == 3)
            break;
        if (!named.contains(m_items.at(r.index).name)) {
            named.insert(m_items.at(r.index).name);
            line.closest.append(r.index);
        }
    }
    return line;
}

QList<RecipeMatch::Line> RecipeMatch::match(const QString &pasted) const
{
    QList<Line> out;
    for (const QString &raw : pasted.split(QLatin1Char('\n'))) {
        const QString text = raw.trimmed();
        if (text.isEmpty() || text.endsWith(QLatin1Char(':')))
            continue;
        Line line = matchLine(text);
        if (!foldName(line.parsed.name).isEmpty())
            out.append(line);
    }
    return out;
}

} // namespace pantrio

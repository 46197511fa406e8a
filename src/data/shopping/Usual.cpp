#include "data/shopping/Usual.h"

#include <algorithm>

namespace pantrio::Usual
{

std::optional<int> interval(QList<QDate> days)
{
    days.removeIf([](const QDate &d) { return !d.isValid(); });
    std::sort(days.begin(), days.end());
    days.erase(std::unique(days.begin(), days.end()), days.end());
    if (days.size() < 3)
        return std::nullopt;
    QList<qint64> gaps;
    for (qsizetype i = 1; i < days.size(); ++i)
        gaps << days.at(i - 1).daysTo(days.at(i));
    // The median: one holiday or one bulk buy moves it by at most one place.
    std::sort(gaps.begin(), gaps.end());
    const qsizetype n = gaps.size();
    const double median = n % 2 ? gaps.at(n / 2) : (gaps.at(n / 2 - 1) + gaps.at(n / 2)) / 2.0;
    return std::max(1, int(median + 0.5));
}

QDate quietUntil(const std::optional<int> &every, const QDate &today)
{
    return today.addDays(every.value_or(7));
}

namespace
{

QString days(qint64 n)
{
    return n == 1 ? QStringLiteral("1 day") : QStringLiteral("%1 days").arg(n);
}

} // namespace

QList<Suggestion> due(const QHash<QString, QList<QDate>> &history, const QDate &today,
                      const QSet<QString> &onList, const Choices &choices)
{
    QList<Suggestion> out;
    auto quiet = [&](const QString &key) {
        if (onList.contains(key) || choices.stopped.contains(key))
            return true;
        const auto until = choices.notUntil.constFind(key);
        return until != choices.notUntil.cend() && today < *until;
    };
    for (auto it = history.cbegin(); it != history.cend(); ++it) {
        if (quiet(it.key()) || choices.always.contains(it.key()))
            continue;
        const std::optional<int> every = interval(it.value());
        if (!every)
            continue;
        const QDate last = *std::max_element(it.value().cbegin(), it.value().cend());
        const qint64 since = last.daysTo(today);
        if (since < *every)
            continue;
        out.append({it.key(), *every, int(since),
                    QStringLiteral("about every %1; last bought %2 ago")
                        .arg(days(*every), days(since))});
    }
    for (const QString &key : choices.always) {
        if (quiet(key))
            continue;
        const QList<QDate> bought = history.value(key);
        const int since = bought.isEmpty()
                              ? -1
                              : int(std::max_element(bought.cbegin(), bought.cend())->daysTo(today));
        out.append({key, 0, since, QStringLiteral("always have")});
    }
    // Most overdue (for its own rhythm) first; then by name, so the order holds.
    std::sort(out.begin(), out.end(), [](const Suggestion &a, const Suggestion &b) {
        const double oa = a.everyDays ? double(a.sinceDays) / a.everyDays : 0;
        const double ob = b.everyDays ? double(b.sinceDays) / b.everyDays : 0;
        return oa != ob ? oa > ob : a.key < b.key;
    });
    return out;
}

} // namespace pantrio::Usual

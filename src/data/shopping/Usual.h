#pragma once

#include <QDate>
#include <QHash>
#include <QList>
#include <QSet>
#include <QString>

#include <optional>

namespace pantrio::Usual
{

// How often an item is usually bought, in days, from the days it was: at
// least three purchases on different days are needed; several on one day
// count once, and a long gap (a holiday, a bulk buy) does not stretch it.
std::optional<int> interval(QList<QDate> days);

// What the household has said about an item.
struct Choices {
    QSet<QString> stopped;          // "Stop suggesting"
    QHash<QString, QDate> notUntil; // "Not this time": quiet until then
    QSet<QString> always;           // "always have"
};

struct Suggestion {
    QString key;
    int everyDays = 0;  // 0 for an item marked "always have"
    int sinceDays = -1; // -1 when never bought
    QString reason;     // "about every 8 days; last bought 10 days ago"
};

// The items due today, most overdue first, never one already on the list.
// history: each item's purchase days, by its folded name.
QList<Suggestion> due(const QHash<QString, QList<QDate>> &history, const QDate &today,
                      const QSet<QString> &onList, const Choices &choices);

// When "Not this time" should let an item be suggested again: after another
// of its intervals (a week for one without).
QDate quietUntil(const std::optional<int> &every, const QDate &today);

} // namespace pantrio::Usual

#pragma once

#include <QByteArray>
#include <QDateTime>
#include <QString>
#include <QVector>

namespace pantrio
{

class DEVendora;

// The shopping list to take along to the shop: grouped as the list by aisle is
// printed (in the current store's walking order when there is one), as plain
// text for the clipboard or a QR code, and as one self-contained web page for
// a phone, ticked off there and kept ticked in the phone's browser.
namespace TakeAlong
{

struct Line {
    QString item;
    QString quantity;
    QString category;
    qint64 id = 0; // the line's row in the list
};
struct Group {
    QString title; // the aisle; "No aisle" for the blank one
    QVector<Line> lines;
};
struct List {
    QString store; // empty without a current store
    QVector<Group> groups;
    int lineCount() const;
};

// The list as the by-aisle report would print it now.
bool build(DEVendora &de, List *list, QString *error);

// One line per item with its quantity, under a line for each aisle.
QString plainText(const List &list);

// The page: no network request of any kind (styles and script inline, a
// content policy that forbids everything else), every text escaped, ticks
// kept in the browser's storage under storageKey.
QByteArray phonePage(const List &list, const QDateTime &made, const QString &storageKey);

// The page a phone opens to share the list live: it joins with the secret
// after "#join=", keeps its token, ticks and additions in the browser, sends
// them as numbered operations (waiting while offline) and is told of every
// change. All text is set as text; nothing is loaded from elsewhere.
QString sharePage();
// Its content policy: its own script and style (by their hashes), requests
// to its own server, nothing else.
QString sharePagePolicy();
// A key no other export shares.
QString newStorageKey(const QDateTime &made);

} // namespace TakeAlong
} // namespace pantrio

#include "data/access/DEVendora.h"

#include "data/access/Schema.h"
#include "data/text/NaturalOrder.h"
#include "data/shopping/Meals.h"
#include "data/shopping/Stores.h"

#include <QHash>

#include <algorithm>

namespace pantrio
{

qsizetype GroupedResult::rowCount() const
{
    qsizetype n = 0;
    for (const Group &g : groups)
        n += g.rows.size();
    return n;
}

void DEVendora::setConnectionString(const QString &databasePath)
{
    if (m_own.isOpen())
        return;
    m_path = databasePath;
}

void DEVendora::setConnection(Connection *shared, bool hasStores)
{
    m_shared = shared;
    m_hasStores = hasStores;
    for (auto &r : m_results)
        r.reset();
}

bool DEVendora::ensureOpen(QString *error)
{
    if (m_shared) {
        if (!m_shared->isOpen() && error)
            *error = QStringLiteral("The database is not open.");
        return m_shared->isOpen();
    }
    if (m_own.isOpen())
        return true;
    int version = 0;
    if (!m_own.open(m_path, error) || !Schema::readVersion(m_own, &version, error))
        return false;
    m_hasStores = version >= 2;
    return true;
}

bool DEVendora::currentStore(std::optional<Stores::Store> *store, QString *error)
{
    store->reset();
    if (!ensureOpen(error))
        return false;
    if (!m_hasStores)
        return true;
    QString why;
    *store = Stores::current(conn(), &why);
    if (!why.isEmpty()) {
        if (error)
            *error = why;
        return false;
    }
    return true;
}

bool DEVendora::TopListID(QVariant *highest, QString *error)
{
    if (!ensureOpen(error))
        return false;
    Connection::Rows rows;
    if (!conn().select(QStringLiteral("SELECT MAX(ID) AS Highest FROM Vendora"), &rows,
                             error))
        return false;
    *highest = rows.rows.isEmpty() ? QVariant() : rows.rows.first().value(0);
    return true;
}

bool DEVendora::ClearList(QString *error)
{
    if (!ensureOpen(error))
        return false;
    return conn().canWrite(error) &&
           conn().exec(QStringLiteral("DELETE FROM Selected"), {}, error);
}

bool DEVendora::CatalogueCount(qlonglong *count, QString *error)
{
    if (!ensureOpen(error))
        return false;
    Connection::Rows rows;
    if (!conn().select(QStringLiteral("SELECT COUNT(*) FROM Vendora"), &rows, error))
        return false;
    *count = rows.rows.isEmpty() ? 0 : rows.rows.first().value(0).toLongLong();
    return true;
}

namespace
{
bool isEmptyValue(const QVariant &v)
{
    return v.isNull() || v.toString().isEmpty();
}
} // namespace

GroupedResult DEVendora::group(const Connection::Rows &rows, const QString &groupField,
                               const QString &sortField, bool emptyLast)
{
    return group(rows, groupField, sortField, emptyLast, nullptr);
}

GroupedResult DEVendora::group(const Connection::Rows &rows, const QString &groupField,
                               const QString &sortField, const AisleOrder &order)
{
    return group(rows, groupField, sortField, true, &order);
}

GroupedResult DEVendora::group(const Connection::Rows &rows, const QString &groupField,
                               const QString &sortField, bool emptyLast, const AisleOrder *order)
{
    GroupedResult result;
    result.groupField = groupField;
    result.childFields = rows.names;
    const int g = int(rows.names.indexOf(groupField));
    const int s = int(rows.names.indexOf(sortField));
    if (g < 0)
        return result;

    // Sort indexes once by (group, item) and cut the runs into groups.
    QVector<int> sequence(rows.rows.size());
    for (int i = 0; i < sequence.size(); ++i)
        sequence[i] = i;
    // Groups are ranked once among themselves, and each item's sort key is
    // made once: rows then compare by two numbers and a key, not by texts.
    QVector<QString> items(rows.rows.size());
    std::vector<NaturalKey> itemOrder(size_t(rows.rows.size()));
    QVector<int> groupOf(rows.rows.size());
    QHash<QString, int> distinct;
    QVector<QString> names;
    for (int i = 0; i < sequence.size(); ++i) {
        const QString key = rows.rows.at(i).at(g).toString();
        auto it = distinct.constFind(key);
        if (it == distinct.constEnd()) {
            it = distinct.insert(key, int(names.size()));
            names << key;
        }
        groupOf[i] = *it;
        if (s >= 0) {
            items[i] = rows.rows.at(i).at(s).toString();
            itemOrder[size_t(i)] = naturalKey(items.at(i));
        }
    }
    auto compareGroups = [&](const QString &a, const QString &b) {
        if (order)
            return order->compare(a, b);
        const bool ea = a.isEmpty(), eb = b.isEmpty();
        if (ea != eb)
            return (emptyLast ? eb : ea) ? -1 : 1;
        return naturalCompare(a, b);
    };
    QVector<int> byName(names.size());
    for (int i = 0; i < byName.size(); ++i)
        byName[i] = i;
    std::stable_sort(byName.begin(), byName.end(), [&](int a, int b) {
        return compareGroups(names.at(a), names.at(b)) < 0;
    });
    // Groups the order holds equal share a rank, as they shared a place.
    QVector<int> rank(names.size());
    for (int r = 0, k = 0; k < byName.size(); ++k) {
        if (k > 0 && compareGroups(names.at(byName.at(k - 1)), names.at(byName.at(k))) != 0)
            ++r;
        rank[byName.at(k)] = r;
    }
    std::stable_sort(sequence.begin(), sequence.end(), [&](int a, int b) {
        const int ra = rank.at(groupOf.at(a)), rb = rank.at(groupOf.at(b));
        if (ra != rb)
            return ra < rb;
        return naturalCompare(itemOrder[size_t(a)], items.at(a), itemOrder[size_t(b)],
                              items.at(b)) < 0;
    });
    // A new group where the text changes (an empty value and a null one are
    // one group): told by the distinct texts' numbers, not by comparing texts.
    int last = -1;
    for (int i : std::as_const(sequence)) {
        const int at = groupOf.at(i);
        const bool sameAsLast = last >= 0 && (at == last || (names.at(at).isEmpty() && names.at(last).isEmpty()));
        if (!sameAsLast) {
            const QVariant &value = rows.rows.at(i).at(g);
            result.groups.append({isEmptyValue(value) ? QVariant(QString()) : value, {}});
        }
        last = at;
        result.groups.last().rows.append(rows.rows.at(i));
    }
    return result;
}

bool DEVendora::runAisleForStore(qlonglong storeId, const QString &storeName, QString *error)
{
    if (!ensureOpen(error))
        return false;
    // Each line takes its item's aisle in the store, found by the same name and
    // category (a missing category matching an empty one; the first such item
    // that has an aisle there); else the aisle it was added with. A line whose
    // item was renamed or deleted keeps its own. By name, through the
    // catalogue's index on it.
    Connection::Rows rows;
    AisleOrder order;
    if (!conn().select(
            QStringLiteral(
                "SELECT s.Item, s.Category, COALESCE((SELECT sa.Aisle FROM Vendora v JOIN "
                "StoreAisles sa ON sa.StoreID = ?1 AND sa.ItemID = v.ID WHERE v.Item = s.Item AND "
                "COALESCE(v.Category, '') = COALESCE(s.Category, '') AND sa.Aisle <> '' ORDER BY "
                "v.ID LIMIT 1), s.Aisle) AS Aisle, s.Quantity, s.ID FROM Selected s"),
            {storeId}, &rows, error) ||
        !Stores::walkingOrder(conn(), storeId, &order, error))
        return false;
    GroupedResult result = group(rows, QStringLiteral("Aisle"), QStringLiteral("Item"), order);
    for (GroupedResult::Group &g : result.groups)
        if (order.excluded(g.value.toString()))
            g.value = QStringLiteral("%1 (not in %2)").arg(g.value.toString(), storeName);
    m_results[ListPrintAisle_Grouping] = std::move(result);
    return noteMeals(&*m_results[ListPrintAisle_Grouping], error);
}

// Each line a meal put there says which meals it serves, as the grid does.
bool DEVendora::noteMeals(GroupedResult *result, QString *error)
{
    QHash<qint64, QString> notes;
    if (!Meals::forTexts(conn(), &notes, error))
        return false;
    if (notes.isEmpty())
        return true;
    const int item = result->childField(QStringLiteral("Item"));
    const int id = result->childField(QStringLiteral("ID"));
    for (GroupedResult::Group &g : result->groups)
        for (QVector<QVariant> &row : g.rows) {
            const auto note = notes.constFind(row.at(id).toLongLong());
            if (note != notes.cend())
                row[item] = QStringLiteral("%1 \u2014 %2").arg(row.at(item).toString(), *note);
        }
    return true;
}

bool DEVendora::catalogueReader(std::unique_ptr<CatalogueReader> *reader, QString *error)
{
    if (!ensureOpen(error))
        return false;
    *reader = std::make_unique<CatalogueReader>(conn());
    return true;
}

bool CatalogueReader::start(GroupedResult *result, QString *error)
{
    Connection::Rows rows;
    if (!m_connection.select(QStringLiteral("SELECT DISTINCT Category FROM Vendora"), &rows, error))
        return false;
    // Null and empty text are one group, first; the others in natural order.
    QVector<QString> names;
    bool empty = false;
    for (const auto &r : std::as_const(rows.rows)) {
        if (isEmptyValue(r.at(0)))
            empty = true;
        else
            names << r.at(0).toString();
    }
    std::sort(names.begin(), names.end(),
              [](const QString &a, const QString &b) { return naturalCompare(a, b) < 0; });
    m_categories.clear();
    if (empty)
        m_categories << QVariant();
    for (const QString &n : std::as_const(names))
        m_categories << QVariant(n);
    m_next = 0;
    *result = GroupedResult();
    result->groupField = QStringLiteral("Category");
    result->childFields = {QStringLiteral("Category"), QStringLiteral("Item"),
                           QStringLiteral("Aisle")};
    return true;
}

bool CatalogueReader::read(GroupedResult *result, int minRows, bool *more, QString *error)
{
    int read = 0;
    while (m_next < m_categories.size() && (minRows <= 0 || read < minRows)) {
        const QVariant &category = m_categories.at(m_next);
        Connection::Rows rows;
        static const QString named = QStringLiteral(
            "SELECT Category, Item, Aisle FROM Vendora WHERE Category = ? GROUP BY Category, "
            "Item, Aisle ORDER BY Category, Item");
        static const QString unnamed = QStringLiteral(
            "SELECT Category, Item, Aisle FROM Vendora WHERE Category IS NULL OR Category = '' "
            "GROUP BY Category, Item, Aisle ORDER BY Category, Item");
        const bool ok = category.isNull()
                            ? m_connection.select(unnamed, &rows, error)
                            : m_connection.select(named, {category}, &rows, error);
        if (!ok)
            return false;
        ++m_next;
        // A category whose items went meanwhile has no group, as in one read.
        GroupedResult one = DEVendora::group(rows, QStringLiteral("Category"),
                                             QStringLiteral("Item"), false);
        for (GroupedResult::Group &g : one.groups) {
            read += int(g.rows.size());
            result->groups.append(std::move(g));
        }
    }
    *more = m_next < m_categories.size();
    return true;
}

bool DEVendora::run(Command command, QString *error)
{
    if (!ensureOpen(error))
        return false;
    static const QString listSql = QStringLiteral(
        "SELECT Selected.Item, Selected.Category, Selected.Aisle, Selected.Quantity, "
        "Selected.ID FROM Selected");
    Connection::Rows rows;
    switch (command) {
    case ListPrint_Grouping:
        if (!conn().select(listSql, &rows, error))
            return false;
        m_results[command] = group(rows, QStringLiteral("Category"), QStringLiteral("Item"), true);
        if (!noteMeals(&*m_results[command], error))
            return false;
        break;
    case ListPrintAisle_Grouping:
        if (!conn().select(listSql, &rows, error))
            return false;
        m_results[command] = group(rows, QStringLiteral("Aisle"), QStringLiteral("Item"), true);
        if (!noteMeals(&*m_results[command], error))
            return false;
        break;
    case All_Grouping: {
        GroupedResult result;
        CatalogueReader reader(conn());
        bool more = false;
        if (!reader.start(&result, error) || !reader.read(&result, 0, &more, error))
            return false;
        m_results[command] = std::move(result);
        break;
    }
    }
    return true;
}

} // namespace pantrio

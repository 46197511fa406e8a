// libFuzzer target over the record set's filter and find, the grouping behind
// the reports and the report layout. The input is split into rows of three
// fields and a criterion; the checks are the invariants the program relies on.
#include "data/access/Connection.h"
#include "data/access/DEVendora.h"
#include "data/access/RecordSet.h"
#include "data/access/RecordSources.h"
#include "data/access/Schema.h"
#include "reports/engine/ReportLayout.h"

#include <QCoreApplication>
#include <QDir>
#include <QTemporaryDir>

#include <cstdlib>

using namespace pantrio;

namespace
{

struct World {
    QCoreApplication *app;
    QTemporaryDir dir;
    Connection connection;
    RecordSet *catalogue;
    World()
    {
        static int argc = 1;
        static char name[] = "fuzz";
        static char *argv[] = {name, nullptr};
        app = new QCoreApplication(argc, argv);
        const QString path = dir.filePath(QStringLiteral("Vendora.mdb"));
        if (!Schema::createDatabase(path, false, nullptr) || !connection.open(path, nullptr))
            abort();
        catalogue = new RecordSet(&connection, Sources::catalogue());
    }
};

World &world()
{
    static World w;
    return w;
}

void check(bool ok)
{
    if (!ok)
        abort();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    World &w = world();
    const QString text = QString::fromUtf8(reinterpret_cast<const char *>(data), qsizetype(size));
    QStringList parts = text.split(QChar(0x1E)); // record separator: rows, then the criterion
    const QString criterion = parts.size() > 1 ? parts.takeLast() : QString();

    check(w.connection.exec(QStringLiteral("DELETE FROM Vendora"), {}, nullptr));
    Connection::Rows rows;
    rows.names = {QStringLiteral("Category"), QStringLiteral("Item"), QStringLiteral("Aisle")};
    for (const QString &line : std::as_const(parts)) {
        QStringList f = line.split(QChar(0x1F));
        while (f.size() < 3)
            f << QString();
        const QVariant category = f[0].isEmpty() ? QVariant() : QVariant(f[0]);
        check(w.connection.exec(
            QStringLiteral("INSERT INTO Vendora (Item, Category, Aisle) VALUES (?, ?, ?)"),
            {f[1], category, f[2]}, nullptr));
        rows.rows.append({category, f[1], f[2]});
    }

    // Filter and find: the filter keeps exactly the rows with that category,
    // and find lands on a row that meets its criterion or at the end.
    RecordSet *rs = w.catalogue;
    check(rs->requery(nullptr));
    check(rs->recordCount() == parts.size());
    rs->setFilter(Criterion{QStringLiteral("Category"), criterion});
    int expected = 0;
    for (const auto &r : std::as_const(rows.rows))
        expected += valuesEqual(r.at(0), criterion) ? 1 : 0;
    check(rs->recordCount() == expected);
    for (int i = 0; i < rs->recordCount(); ++i)
        check(rs->valueAt(i, QStringLiteral("Category")).toString() == criterion);
    rs->setFilter(std::nullopt);
    rs->moveFirst();
    if (rs->find(Criterion{QStringLiteral("Item"), criterion}))
        check(rs->value(QStringLiteral("Item")).toString() == criterion);
    else
        check(rs->eof());

    // Grouping: every row in exactly one group, groups distinct.
    const GroupedResult g =
        DEVendora::group(rows, QStringLiteral("Category"), QStringLiteral("Item"), true);
    check(g.rowCount() == rows.rows.size());
    for (int i = 1; i < g.groups.size(); ++i)
        check(g.groups.at(i).value.toString() != g.groups.at(i - 1).value.toString());

    // Layout: bands stay on their page; every row printed once.
    for (const ReportDefinition &def :
         {ReportDefinition::rptPrint(), ReportDefinition::rptAisle(), ReportDefinition::rptAll()}) {
        const QSizeF page(11906, 4000 + double(size % 13000));
        const ReportLayout layout = ReportLayout::build(def, g, page);
        const double bottom = page.height() - def.margins.top() - def.margins.bottom();
        int details = 0;
        for (const ReportPage &p : layout.pages())
            for (const PlacedBand &b : p.bands) {
                check(b.y >= 0 && b.y + b.section->height <= bottom + 0.01);
                details += b.section == &def.detail ? 1 : 0;
            }
        check(details == g.rowCount());
    }
    return 0;
}

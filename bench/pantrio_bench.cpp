// pantrio-bench: times the program's main jobs through its real code paths
// (windows on the offscreen platform) against the same work done raw with the
// SQLite C API in the same run, and prints one table with the ratios.
//
//   pantrio-bench [--sizes 1000,10000,100000] [--runs N]
//   pantrio-bench --make FILE SIZE   (a catalogue of SIZE items, 10,000 on the list)
//
// Each catalogue size runs in a child process of its own, so its peak memory
// is its own.
#include "app/Module1.h"
#include "data/formats/CatalogueTransfer.h"
#include "data/access/Connection.h"
#include "data/formats/Csv.h"
#include "data/access/DEVendora.h"
#include "data/access/DataControl.h"
#include "data/access/RecordSet.h"
#include "data/safety/SafeFile.h"
#include "data/text/Plural.h"
#include "data/text/NaturalOrder.h"
#include "data/access/Schema.h"
#include "data/owner/Household.h"
#include "network/ShareService.h"
#include "data/shopping/Amount.h"
#include "data/shopping/MealPlan.h"
#include "data/shopping/Meals.h"
#include "data/shopping/RecipeMatch.h"
#include "data/shopping/Stores.h"
#include "data/shopping/Usual.h"
#include "forms/meals/frmMeals.h"
#include "data/formats/TakeAlong.h"
#include "forms/editor/frmAdding.h"
#include "forms/main/CatalogueView.h"
#include "forms/main/frmVendora.h"
#include "forms/stores/frmStores.h"
#include "reports/PrintCommands.h"
#include "reports/ReportPreview.h"
#include "reports/engine/ReportPainter.h"
#include "uibase/Dialogs.h"
#include "uibase/Fonts.h"

#include <QApplication>
#include <QBoxLayout>
#include <QComboBox>
#include <QListWidget>
#include <QStringListModel>
#include <QTabWidget>
#include <QTableWidget>
#include <QFontMetricsF>
#include <QPainter>
#include <QPrinter>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTcpSocket>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QLineEdit>
#include <QListView>
#include <QMainWindow>
#include <QPdfWriter>
#include <QProcess>
#include <QTableView>
#include <QTemporaryDir>
#include <QTextStream>

#include <csv.h>
#include <sqlite3.h>

#include <arpa/inet.h>
#include <sys/resource.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <memory>
#include <optional>
#include <functional>
#include <string>
#include <unordered_set>
#include <vector>

#include <atomic>
#include <thread>

using namespace pantrio;

namespace
{

int g_runs = 5;
QTextStream out(stdout);

double median(std::vector<double> v)
{
    std::sort(v.begin(), v.end());
    return v.empty() ? 0 : v[v.size() / 2];
}

// Median milliseconds of fn over runs; prep runs untimed before each.
double timeIt(const std::function<void()> &fn, int runs = g_runs,
              const std::function<void()> &prep = {})
{
    std::vector<double> t;
    for (int i = 0; i < runs; ++i) {
        if (prep)
            prep();
        QElapsedTimer timer;
        timer.start();
        fn();
        t.push_back(timer.nsecsElapsed() / 1e6);
    }
    return median(t);
}

// A phone simulated in a thread of this process: a real one is another
// device, so its own work yields to the desktop's (the server's threads,
// the program's, keep their priority).
void simulatedPhone()
{
    ::setpriority(PRIO_PROCESS, 0, 19); // Linux: this thread alone
}

// PANTRIO_BENCH_ONLY=reports,import runs only the sections named (all when unset).
bool wanted(const char *section)
{
    const QByteArray only = qgetenv("PANTRIO_BENCH_ONLY");
    return only.isEmpty() || only.split(',').contains(section);
}

void row(const QString &op, int size, double ours, double raw)
{
    out << op << '\t' << size << '\t' << ours << '\t' << raw << '\n';
    out.flush();
}

// The raw work: a query read into memory with the plain C API.
struct Raw {
    sqlite3 *db = nullptr;
    explicit Raw(const QString &path)
    {
        // The same journal and sync settings as the program, for a fair race.
        sqlite3_open(path.toUtf8().constData(), &db);
        sqlite3_busy_timeout(db, 5000);
        sqlite3_exec(
            db,
            "PRAGMA journal_mode=DELETE; PRAGMA synchronous=EXTRA; PRAGMA cache_size=-8192; "
            "PRAGMA foreign_keys=ON",
            nullptr, nullptr, nullptr);
    }
    ~Raw() { sqlite3_close(db); }
    size_t read(const char *sql, const char *bind = nullptr,
                std::vector<std::vector<std::string>> *kept = nullptr)
    {
        sqlite3_stmt *st = nullptr;
        sqlite3_prepare_v2(db, sql, -1, &st, nullptr);
        if (bind)
            sqlite3_bind_text(st, 1, bind, -1, SQLITE_TRANSIENT);
        std::vector<std::vector<std::string>> local;
        std::vector<std::vector<std::string>> &rows = kept ? *kept : local;
        const int n = sqlite3_column_count(st);
        while (sqlite3_step(st) == SQLITE_ROW) {
            std::vector<std::string> r(n);
            for (int i = 0; i < n; ++i) {
                const unsigned char *t = sqlite3_column_text(st, i);
                if (t)
                    r[i].assign(reinterpret_cast<const char *>(t), sqlite3_column_bytes(st, i));
            }
            rows.push_back(std::move(r));
        }
        sqlite3_finalize(st);
        return rows.size();
    }
    void exec(const char *sql) { sqlite3_exec(db, sql, nullptr, nullptr, nullptr); }
};

// A report's raw limit: what the engine draws (texts as shown, boxes, fills),
// worked out beforehand, drawn straight with QPainter on QPdfWriter at the
// same places in the same fonts. Only the drawing is timed.
struct Drawing {
    struct Op {
        int font = -1; // -1: a box
        QRectF rect;
        int flags = 0;
        QString text;
        std::optional<QColor> fill;
        bool circle = false;
    };
    QVector<QFont> fonts;
    QVector<QVector<Op>> pages;
};

Drawing drawingOf(const ReportDefinition &def, const GroupedResult &result, QPdfWriter &device)
{
    Drawing d;
    const ReportLayout layout = ReportLayout::build(def, result, ReportPainter::pageSizeTwips(&device));
    auto fontIndex = [&](const FontSpec &design) {
        const QFont f = ReportPainter::fontOf(design);
        const qsizetype i = d.fonts.indexOf(f);
        if (i >= 0)
            return int(i);
        d.fonts << f;
        return int(d.fonts.size()) - 1;
    };
    for (const ReportPage &page : layout.pages()) {
        QVector<Drawing::Op> ops;
        for (const PlacedBand &band : page.bands) {
            for (const ReportControl &c : band.section->controls) {
                const QRectF r = c.geometry.translated(def.margins.left(), def.margins.top() + band.y);
                if (c.kind == ReportControl::Kind::Shape || c.border || c.background) {
                    Drawing::Op box;
                    box.rect = r;
                    box.fill = c.kind == ReportControl::Kind::Shape ? c.fill : c.background;
                    box.circle = c.shape == ReportControl::Shape::Circle;
                    ops << box;
                    if (c.kind == ReportControl::Kind::Shape)
                        continue;
                }
                const QString text = ReportLayout::textOf(c, result, band);
                if (text.isEmpty())
                    continue;
                Drawing::Op op;
                op.font = fontIndex(c.font ? *c.font : def.font);
                op.rect = r.adjusted(30, 0, -30, 0);
                op.flags = int(c.alignment | Qt::AlignTop) | Qt::TextSingleLine;
                op.text = QFontMetricsF(d.fonts.at(op.font), &device)
                              .elidedText(text, Qt::ElideRight, op.rect.width());
                ops << op;
            }
        }
        d.pages << ops;
    }
    return d;
}

// Every page on a PDF writer, or the first on a screen-sized image.
void drawRaw(const Drawing &d, QPaintDevice &device, bool firstOnly = false)
{
    QPainter painter(&device);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setRenderHint(QPainter::TextAntialiasing);
    painter.scale(device.logicalDpiX() / 1440.0, device.logicalDpiY() / 1440.0);
    int font = -1;
    for (int p = 0; p < (firstOnly ? std::min<qsizetype>(1, d.pages.size()) : d.pages.size());
         ++p) {
        if (p > 0)
            static_cast<QPdfWriter &>(device).newPage();
        for (const Drawing::Op &op : d.pages.at(p)) {
            if (op.font < 0) {
                painter.setPen(QPen(Qt::black, 15));
                painter.setBrush(op.fill ? QBrush(*op.fill) : Qt::NoBrush);
                if (op.circle)
                    painter.drawEllipse(op.rect);
                else
                    painter.drawRect(op.rect);
                continue;
            }
            if (op.font != font) {
                font = op.font;
                painter.setFont(d.fonts.at(font));
                painter.setPen(Qt::black);
            }
            painter.drawText(op.rect, op.flags, op.text);
        }
    }
}

QPdfWriter *newPdf(const QString &path)
{
    auto *w = new QPdfWriter(path);
    w->setResolution(600);
    QPageLayout layout = QPrinter().pageLayout();
    layout.setMargins(QMarginsF(0, 0, 0, 0));
    w->setPageLayout(layout);
    return w;
}

// The raw limits of a report's two rows: its query read, then every page on a
// PDF writer, or the first on an image of the page's size on the screen.
double rawReportPdf(Raw &raw, const char *sql, const Drawing &drawing, const QString &path)
{
    return timeIt(
        [&] {
            raw.read(sql);
            std::unique_ptr<QPdfWriter> w(newPdf(path));
            drawRaw(drawing, *w);
        },
        1);
}

// A preview's first page, raw: the rows read, put in the report's order by
// a plain sort on the same keys (group, then item, as the reader orders
// them), an empty window of the preview's size shown and painted, and the
// first page drawn straight.
const QSize kPreviewSize(860, 980); // as a preview opens

// Rows put in a report's order by a plain sort on its keys (group, then
// item), as the reader orders them: the rows' indexes in that order.
std::vector<size_t> naturalOrder(const std::vector<std::vector<std::string>> &rows, int groupColumn,
                                 int itemColumn)
{
    struct Keyed {
        NaturalKey group, item;
        size_t row;
    };
    std::vector<Keyed> keyed(rows.size());
    for (size_t i = 0; i < rows.size(); ++i)
        keyed[i] = {naturalKey(QString::fromStdString(rows[i][size_t(groupColumn)])),
                    naturalKey(QString::fromStdString(rows[i][size_t(itemColumn)])), i};
    std::sort(keyed.begin(), keyed.end(), [](const Keyed &a, const Keyed &b) {
        return a.group.units != b.group.units ? a.group.units < b.group.units
                                              : a.item.units < b.item.units;
    });
    std::vector<size_t> order(keyed.size());
    for (size_t i = 0; i < keyed.size(); ++i)
        order[i] = keyed[i].row;
    return order;
}

std::function<void()> rawFirstPage(Raw &raw, const char *sql, int groupColumn, int itemColumn,
                                   const Drawing &drawing, const QSize &window)
{
    const QSize sheet = (QPrinter().pageLayout().fullRect(QPageLayout::Inch).size() *
                         QImage(1, 1, QImage::Format_RGB32).logicalDpiX())
                            .toSize();
    return [&raw, sql, groupColumn, itemColumn, &drawing, window, sheet] {
        std::vector<std::vector<std::string>> rows;
        raw.read(sql, nullptr, &rows);
        naturalOrder(rows, groupColumn, itemColumn);
        QWidget shown;
        shown.resize(window);
        shown.show();
        QCoreApplication::processEvents(); // shown and painted, as the preview is
        QImage page(sheet, QImage::Format_ARGB32_Premultiplied);
        page.fill(Qt::white);
        drawRaw(drawing, page, true);
    };
}

// Ours and its raw taken in turns (after one run of ours unmeasured), so
// that a slow spell of this shared machine falls on both alike: medians.
// prep comes before ours, rawPrep (when given) before the raw, untimed.
std::pair<double, double> timeInTurns(const std::function<void()> &ours,
                                      const std::function<void()> &rawWork, int runs,
                                      const std::function<void()> &prep,
                                      const std::function<void()> &rawPrep = {})
{
    prep();
    ours();
    std::vector<double> a, b;
    for (int i = 0; i < runs; ++i) {
        prep();
        QElapsedTimer t;
        t.start();
        ours();
        a.push_back(t.nsecsElapsed() / 1e6);
        if (rawPrep)
            rawPrep();
        t.restart();
        rawWork();
        b.push_back(t.nsecsElapsed() / 1e6);
    }
    return {median(a), median(b)};
}

const char *const kBrands[] = {"Golden Acre", "Hillside",  "Blue Harbor",  "Maple Ridge",
                               "Sunfield",    "Northwind", "Green Valley", "Old Mill",
                               "Riverbend",   "Cedar Lane"};
const char *const kKinds[] = {"Organic", "Low Fat", "Whole",  "Classic", "Family Size", "Light",
                              "Extra",   "Fresh",   "Smoked", "Sweet",   "Spicy",       "Unsalted"};
const char *const kGoods[] = {
    "Milk",         "Yogurt",       "Cheddar",      "Butter",         "Bread",       "Bagels",
    "Apples",       "Bananas",      "Carrots",      "Potatoes",       "Rice",        "Pasta",
    "Tomato Sauce", "Beans",        "Tuna",         "Chicken Breast", "Ground Beef", "Salmon",
    "Coffee",       "Tea",          "Orange Juice", "Cereal",         "Oatmeal",     "Crackers",
    "Chips",        "Cookies",      "Ice Cream",    "Frozen Peas",    "Pizza",       "Flour",
    "Sugar",        "Olive Oil",    "Vinegar",      "Ketchup",        "Mustard",     "Soap",
    "Shampoo",      "Paper Towels", "Detergent",    "Sponges"};
const char *const kSizes[] = {"250 g",  "500 g",   "1 kg",  "1 L",  "2 L",
                              "6 pack", "12 pack", "large", "small"};

void makeCatalogue(const QString &path, int items, int listLines)
{
    QString error;
    Schema::createDatabase(path, false, &error);
    Raw raw(path);
    raw.exec("BEGIN");
    sqlite3_stmt *st = nullptr;
    sqlite3_prepare_v2(raw.db, "INSERT INTO Vendora (Item, Category, Aisle) VALUES (?,?,?)", -1,
                       &st, nullptr);
    for (int i = 0; i < items; ++i) {
        const std::string name = std::string(kBrands[i % 10]) + " " + kKinds[(i / 10) % 12] + " " +
                                 kGoods[(i / 120) % 40] + " " + kSizes[(i / 4800) % 9] + " #" +
                                 std::to_string(i);
        const std::string cat = "Category " + std::to_string(i % 30 + 1);
        const std::string aisle = "Aisle " + std::to_string(i % 25 + 1);
        sqlite3_bind_text(st, 1, name.c_str(), -1, SQLITE_TRANSIENT);
        sqlite3_bind_text(st, 2, cat.c_str(), -1, SQLITE_TRANSIENT);
        sqlite3_bind_text(st, 3, aisle.c_str(), -1, SQLITE_TRANSIENT);
        sqlite3_step(st);
        sqlite3_reset(st);
    }
    sqlite3_finalize(st);
    for (int c = 1; c <= 30; ++c)
        raw.exec(
            ("INSERT INTO Categories (Categories) VALUES ('Category " + std::to_string(c) + "')")
                .c_str());
    raw.exec(("INSERT INTO Selected (Item, Category, Aisle, Quantity) SELECT Item, Category, "
              "Aisle, '1' FROM Vendora LIMIT " +
              std::to_string(listLines))
                 .c_str());
    raw.exec("INSERT INTO Settings (FontName, FontSize) VALUES ('Souvenir Lt BT', 9.75)");
    raw.exec("INSERT INTO Settings2 (FontName, FontSize) VALUES ('AvantGarde Bk BT', 12)");
    raw.exec("COMMIT");
}

long peakKiB()
{
    QFile f(QStringLiteral("/proc/self/status"));
    if (!f.open(QIODevice::ReadOnly))
        return -1;
    for (const QByteArray &line : f.readAll().split('\n'))
        if (line.startsWith("VmHWM:"))
            return line.mid(6).trimmed().split(' ').first().toLong();
    return -1;
}

void setList(const QString &path, int lines)
{
    Raw raw(path);
    raw.exec("DELETE FROM Selected");
    raw.exec(("INSERT INTO Selected (Item, Category, Aisle, Quantity) SELECT Item, Category, "
              "Aisle, '1' FROM Vendora ORDER BY ID LIMIT " +
              std::to_string(lines))
                 .c_str());
}

frmVendora *startMain()
{
    Module1::Main();
    return Module1::frmVendoraIfLoaded();
}

// 1,000 meals of 15 ingredients from the catalogue and ten years of a
// household's purchases (about 50,000), written raw.
void makeMeals(Raw &raw, int size)
{
    raw.exec("BEGIN");
    sqlite3_stmt *meal = nullptr, *part = nullptr, *bought = nullptr;
    sqlite3_prepare_v2(raw.db, "INSERT INTO Meals (Name, Serves) VALUES (?, 4)", -1, &meal, nullptr);
    sqlite3_prepare_v2(raw.db, "INSERT INTO MealItems (MealID, Position, Item, Category, Aisle, "
                       "Amount) SELECT ?, ?, Item, Category, Aisle, ? FROM Vendora WHERE ID = ?",
                       -1, &part, nullptr);
    const char *const amounts[] = {"200 g", "2", "1 tbsp", "500 ml", "1 tin", "a pinch", "1.5 kg"};
    for (int m = 0; m < 1000; ++m) {
        const std::string name = "Meal " + std::to_string(m);
        sqlite3_bind_text(meal, 1, name.c_str(), -1, SQLITE_TRANSIENT);
        sqlite3_step(meal);
        sqlite3_reset(meal);
        const sqlite3_int64 id = sqlite3_last_insert_rowid(raw.db);
        for (int i = 0; i < 15; ++i) {
            sqlite3_bind_int64(part, 1, id);
            sqlite3_bind_int(part, 2, i);
            sqlite3_bind_text(part, 3, amounts[(m + i) % 7], -1, SQLITE_STATIC);
            sqlite3_bind_int64(part, 4, 1 + (sqlite3_int64(m) * 15 + i) * 7919 % size);
            sqlite3_step(part);
            sqlite3_reset(part);
        }
    }
    sqlite3_prepare_v2(raw.db, "INSERT INTO Purchases (Item, Bought, Amount) SELECT Item, ?, '1' "
                       "FROM Vendora WHERE ID = ?", -1, &bought, nullptr);
    const QDate today = QDate::currentDate();
    for (int k = 0; k < 200; ++k)
        for (int day = 3650 - k % 11; day > 0; day -= 2 + k % 28) {
            const QByteArray date = today.addDays(-day).toString(Qt::ISODate).toLatin1();
            sqlite3_bind_text(bought, 1, date.constData(), -1, SQLITE_TRANSIENT);
            sqlite3_bind_int64(bought, 2, 1 + sqlite3_int64(k) * 31 % size);
            sqlite3_step(bought);
            sqlite3_reset(bought);
        }
    for (sqlite3_stmt *st : {meal, part, bought})
        sqlite3_finalize(st);
    raw.exec("COMMIT");
}

// Each purchase's item folded once per name, as the raw rhythm needs it.
QHash<QString, QList<QDate>> rawHistory(Raw &raw)
{
    sqlite3_stmt *st = nullptr;
    sqlite3_prepare_v2(raw.db, "SELECT Item, Bought FROM Purchases", -1, &st, nullptr);
    QHash<QString, QList<QDate>> made;
    QHash<QString, QString> folded;
    while (sqlite3_step(st) == SQLITE_ROW) {
        const QString item = QString::fromUtf8(reinterpret_cast<const char *>(sqlite3_column_text(st, 0)));
        auto it = folded.find(item);
        if (it == folded.end())
            it = folded.insert(item, foldName(item));
        made[*it].append(QDate::fromString(
            QString::fromLatin1(reinterpret_cast<const char *>(sqlite3_column_text(st, 1))), Qt::ISODate));
    }
    sqlite3_finalize(st);
    return made;
}

QList<RecipeMatch::Item> rawCatalogue(Raw &raw)
{
    sqlite3_stmt *st = nullptr;
    sqlite3_prepare_v2(raw.db, "SELECT Item, Category, Aisle FROM Vendora WHERE Item IS NOT NULL "
                       "AND Item <> '' ORDER BY ID", -1, &st, nullptr);
    QList<RecipeMatch::Item> made;
    auto text = [st](int i) {
        return QString::fromUtf8(reinterpret_cast<const char *>(sqlite3_column_text(st, i)));
    };
    while (sqlite3_step(st) == SQLITE_ROW)
        made.append({text(0), text(1), text(2)});
    sqlite3_finalize(st);
    return made;
}

// The Meals window's work done plainly: the meals, the categories and the
// first one's items to pick from, the first meal's ingredients, shown in
// Qt's own controls (a list, a grid and two pickers on the first of two
// pages) in a window of the Meals window's size. The buttons, labels and
// boxes around them are left out.
void rawMealsWindow(Raw &raw)
{
    std::vector<std::vector<std::string>> meals, categories, items, ingredients;
    raw.read("SELECT ID, Name, Serves, Note FROM Meals ORDER BY Name COLLATE NOCASE, ID", nullptr,
             &meals);
    raw.read("SELECT DISTINCT Category FROM Vendora ORDER BY Category COLLATE NOCASE", nullptr,
             &categories);
    raw.read("SELECT DISTINCT Item FROM Vendora WHERE Category = ? ORDER BY Item COLLATE NOCASE",
             categories.empty() ? "" : categories.front().front().c_str(), &items);
    raw.read("SELECT Item, Category, Aisle, Amount, Note FROM MealItems WHERE MealID = ? ORDER BY "
             "Position",
             meals.empty() ? "0" : meals.front().front().c_str(), &ingredients);
    auto text = [](const std::string &s) { return QString::fromUtf8(s.data(), qsizetype(s.size())); };
    auto texts = [&](const std::vector<std::vector<std::string>> &rows, size_t column) {
        QStringList made;
        made.reserve(qsizetype(rows.size()));
        for (const auto &r : rows)
            made << text(r[column]);
        return made;
    };
    QTabWidget window;
    auto *page = new QWidget;
    auto *list = new QListWidget;
    list->setUniformItemSizes(true);
    list->addItems(texts(meals, 1));
    auto *grid = new QTableWidget(int(ingredients.size()), 3);
    for (int r = 0; r < grid->rowCount(); ++r)
        for (int c = 0; c < 3; ++c)
            grid->setItem(r, c, new QTableWidgetItem(text(ingredients[size_t(r)][c ? 2 + size_t(c) : 0])));
    auto *category = new QComboBox;
    category->addItems(texts(categories, 0));
    auto *item = new QComboBox;
    item->setModel(new QStringListModel(texts(items, 0), item));
    for (QComboBox *box : {category, item}) // not measured against thousands of names
        box->setSizeAdjustPolicy(QComboBox::AdjustToMinimumContentsLengthWithIcon);
    auto *right = new QVBoxLayout;
    right->addWidget(grid, 1);
    right->addWidget(category);
    right->addWidget(item);
    auto *columns = new QHBoxLayout(page);
    columns->addWidget(list, 2);
    columns->addLayout(right, 5);
    window.addTab(page, QStringLiteral("Meals"));
    window.addTab(new QWidget, QStringLiteral("Usually Bought"));
    window.resize(1000, 600); // as the Meals window opens
    window.show();
    QCoreApplication::processEvents();
}

void meals(int size, Raw &raw)
{
    makeMeals(raw, size);
    Household &file = Module1::household();
    // The window against the same reads shown plainly; in turns. What is due
    // is read when its page is shown: the suggestions row below.
    const auto [opened, rawOpened] = timeInTurns(
        [&] {
            frmMeals w;
            w.load(file);
            w.show();
            QCoreApplication::processEvents();
        },
        [&] { rawMealsWindow(raw); },
        g_runs, [] {});
    row(QStringLiteral("meals: window opened (1,000 meals)"), size, opened, rawOpened);
    // A recipe of 40 lines: half named as the catalogue names them, half not.
    QString recipe;
    QList<RecipeMatch::Item> names = rawCatalogue(raw);
    for (int i = 0; i < 40; ++i)
        recipe += QStringLiteral("%1 g %2, chopped\n")
                      .arg(100 + i)
                      .arg(i % 2 ? names.at(i * 97 % names.size()).name
                                 : names.at(i * 97 % names.size()).name.section(' ', 1, 2));
    const auto [matched, rawMatched] = timeInTurns(
        [&] {
            RowStore items;
            Meals::catalogue(file.connection(), &items, nullptr);
            RecipeMatch(items).match(recipe);
        },
        [&] {
            // Exact names only: each name folded into a table, each line looked up.
            QHash<QString, int> byKey;
            const QList<RecipeMatch::Item> items = rawCatalogue(raw);
            for (int i = 0; i < items.size(); ++i)
                byKey.insert(foldName(items.at(i).name), i);
            for (const QString &line : recipe.split('\n'))
                byKey.value(foldName(parseIngredientLine(line).name), -1);
        },
        g_runs, [] {});
    row(QStringLiteral("meals: a recipe of 40 lines pasted and matched"), size, matched, rawMatched);
    // Seven meals onto a 200-line list, one step of the history; raw, the same
    // lines read, planned and written in one transaction.
    QVector<Meals::Plan> seven;
    for (int m = 1; m <= 7; ++m)
        seven << Meals::Plan{m * 100, 6};
    auto reset = [&] {
        raw.exec("DELETE FROM MealParts; DELETE FROM MealLines");
        setList(Module1::strConnect(), 200);
    };
    setList(Module1::strConnect(), 200);
    const double ours = timeIt(
        [&] {
            file.change(QStringLiteral("Add Meals"), Household::List | Household::Meals,
                        [&](QString *e) { return Meals::addToList(file.connection(), seven, {}, e); },
                        nullptr);
        },
        g_runs, reset);
    const double rawAdd = timeIt(
        [&] {
            QList<MealPlan::Line> lines;
            sqlite3_stmt *st = nullptr;
            sqlite3_prepare_v2(raw.db, "SELECT ID, Item, Category, Aisle, Quantity FROM Selected",
                               -1, &st, nullptr);
            auto text = [&st](int i) {
                return QString::fromUtf8(reinterpret_cast<const char *>(sqlite3_column_text(st, i)));
            };
            while (sqlite3_step(st) == SQLITE_ROW) {
                MealPlan::Line l;
                l.id = sqlite3_column_int64(st, 0);
                l.item = text(1);
                l.quantity = text(4);
                lines << l;
            }
            sqlite3_finalize(st);
            const qsizetype before = lines.size();
            for (const Meals::Plan &p : std::as_const(seven)) {
                MealPlan::Meal meal;
                meal.id = p.meal;
                meal.serves = 4;
                sqlite3_prepare_v2(raw.db, "SELECT Item, Category, Aisle, Amount FROM MealItems WHERE "
                                   "MealID = ? ORDER BY Position", -1, &st, nullptr);
                sqlite3_bind_int64(st, 1, p.meal);
                while (sqlite3_step(st) == SQLITE_ROW)
                    meal.ingredients.append({text(0), text(1), text(2), text(3)});
                sqlite3_finalize(st);
                lines = MealPlan::add(lines, meal, p.servings);
            }
            raw.exec("BEGIN IMMEDIATE");
            sqlite3_stmt *line = nullptr, *part = nullptr;
            sqlite3_prepare_v2(raw.db, "INSERT INTO Selected (Item, Category, Aisle, Quantity) VALUES "
                               "(?, ?, ?, ?)", -1, &line, nullptr);
            sqlite3_prepare_v2(raw.db, "INSERT INTO MealParts (LineID, Seq, MealID, MealName, Item, "
                               "Amount) VALUES (?, ?, ?, ?, ?, ?)", -1, &part, nullptr);
            for (qsizetype i = before; i < lines.size(); ++i) {
                const MealPlan::Line &l = lines.at(i);
                const QByteArray fields[] = {l.item.toUtf8(), l.category.toUtf8(), l.aisle.toUtf8(),
                                             l.quantity.toUtf8()};
                for (int f = 0; f < 4; ++f)
                    sqlite3_bind_text(line, f + 1, fields[f].constData(), -1, SQLITE_TRANSIENT);
                sqlite3_step(line);
                sqlite3_reset(line);
                const sqlite3_int64 id = sqlite3_last_insert_rowid(raw.db);
                for (qsizetype n = 0; n < l.parts.size(); ++n) {
                    const MealPlan::Part &p = l.parts.at(n);
                    const QByteArray t[] = {p.mealName.toUtf8(), p.item.toUtf8(), p.amount.toUtf8()};
                    sqlite3_bind_int64(part, 1, id);
                    sqlite3_bind_int64(part, 2, n);
                    sqlite3_bind_int64(part, 3, p.meal);
                    for (int f = 0; f < 3; ++f)
                        sqlite3_bind_text(part, f + 4, t[f].constData(), -1, SQLITE_TRANSIENT);
                    sqlite3_step(part);
                    sqlite3_reset(part);
                }
            }
            sqlite3_finalize(line);
            sqlite3_finalize(part);
            raw.exec("COMMIT");
        },
        g_runs, reset);
    row(QStringLiteral("meals: seven added to a 200-line list"), size, ours, rawAdd);
    reset();
    const auto [suggested, rawSuggested] = timeInTurns(
        [&] {
            QList<Meals::Due> due;
            Meals::due(file.connection(), QDate::currentDate(), &due, nullptr);
        },
        [&] {
            QSet<QString> listed;
            sqlite3_stmt *st = nullptr;
            sqlite3_prepare_v2(raw.db, "SELECT Item FROM Selected", -1, &st, nullptr);
            while (sqlite3_step(st) == SQLITE_ROW)
                listed.insert(foldName(QString::fromUtf8(reinterpret_cast<const char *>(sqlite3_column_text(st, 0)))));
            sqlite3_finalize(st);
            Usual::due(rawHistory(raw), QDate::currentDate(), listed, {});
        },
        g_runs, [] {});
    row(QStringLiteral("meals: suggestions computed (50,000 purchases)"), size, suggested,
        rawSuggested);
    // The program's own peak on this file, in a process of its own: this
    // one's high-water mark holds the raw side's copies as well.
    // On a copy, as one instance holds the file open.
    QTemporaryDir aside;
    QFile::copy(Module1::strConnect(), aside.filePath(QStringLiteral("Vendora.mdb")));
    QProcess child;
    child.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    child.start(QCoreApplication::applicationFilePath(), {QStringLiteral("--meals-peak"), aside.path()});
    child.waitForFinished(300000);
    const QList<QByteArray> peaks = child.readAllStandardOutput().trimmed().split('\n');
    row(QStringLiteral("peak memory MiB, started with meals and purchases"), size,
        peaks.value(0).toDouble() / 1024.0, 0);
    row(QStringLiteral("peak memory MiB, and the Meals window's pages shown"), size,
        peaks.value(1).toDouble() / 1024.0, 0);
}

void one(int size)
{
    QTemporaryDir dir;
    const QString db = dir.filePath(QStringLiteral("Vendora.mdb"));
    makeCatalogue(db, size, 100);
    Module1::setProgramDirectory(dir.path());
    Raw raw(db);

    // 1. Start-up, with an empty Qt window on its own line.
    const double empty = timeIt([] {
        QMainWindow w;
        w.show();
        QCoreApplication::processEvents();
    });
    row(QStringLiteral("qt: empty window shown"), size, empty, 0);
    const double start = timeIt([] { startMain(); }, g_runs, [] { Module1::shutdown(); });
    const long peak = peakKiB();
    // A start takes a backup of the file before anything else, as the program's does.
    int copies = 0;
    const double rawStart = timeIt([&] {
        Raw r(db);
        Raw copy(dir.filePath(QStringLiteral("raw-start-%1.mdb").arg(++copies)));
        sqlite3_backup *b = sqlite3_backup_init(copy.db, "main", r.db, "main");
        sqlite3_backup_step(b, -1);
        sqlite3_backup_finish(b);
        r.read("SELECT * FROM Selected");
        r.read("SELECT Categories, ID FROM Categories ORDER BY Categories");
        r.read("Select * From Vendora Order By Item");
    });
    row(QStringLiteral("start-up to main window shown"), size, start, rawStart);
    row(QStringLiteral("start-up less empty window"), size, start - empty, rawStart);
    row(QStringLiteral("peak memory MiB / file MiB"), size, peak / 1024.0,
        QFileInfo(db).size() / 1048576.0);

    // 2. Category filter and View All.
    frmVendora *f = Module1::frmVendoraIfLoaded();
    auto *lst = f->findChild<QListView *>(QStringLiteral("lstCat"));
    lst->setCurrentIndex(lst->model()->index(6, 0));
    row(QStringLiteral("category click"), size, timeIt([&] { f->lstCat_Click(); }), timeIt([&] {
            raw.read("SELECT * FROM Vendora WHERE Category = ? ORDER BY Item", "Category 7");
        }));
    row(QStringLiteral("View All"), size, timeIt([&] { f->cmdAll_Click(); }),
        timeIt([&] { raw.read("SELECT * FROM Vendora ORDER BY Item"); }));

    // 3. Adding ticked items onto a 10,000-line list.
    setList(db, 10000);
    Module1::shutdown();
    f = startMain();
    auto *model = f->findChild<CatalogueView *>(QStringLiteral("lvwItems"))->catalogue();
    const int many = std::min(1000, model->count());
    auto tick = [&](int n) {
        for (int i = 0; i < n; ++i)
            model->setChecked(i, true);
    };
    // Several lines go in one transaction, as the program writes them, and the
    // list is read again afterwards, as the program must to show it.
    auto rawInsert = [&](int n) {
        raw.exec("BEGIN IMMEDIATE");
        sqlite3_stmt *st = nullptr;
        sqlite3_prepare_v2(raw.db,
                           "INSERT INTO Selected (Quantity, Item, Category, Aisle) VALUES "
                           "('1', ?, ?, ?)",
                           -1, &st, nullptr);
        for (int i = 0; i < n; ++i) {
            const QByteArray t = model->entry(i).text.toUtf8();
            sqlite3_bind_text(st, 1, t.constData(), -1, SQLITE_TRANSIENT);
            sqlite3_bind_text(st, 2, "Category 1", -1, SQLITE_STATIC);
            sqlite3_bind_text(st, 3, "Aisle 1", -1, SQLITE_STATIC);
            sqlite3_step(st);
            sqlite3_reset(st);
        }
        sqlite3_finalize(st);
        raw.exec("COMMIT");
    };
    // In turns, so that a slow spell of the machine falls on both.
    const auto [addOne, rawAddOne] = timeInTurns(
        [&] { f->cmdAddToList_Click(); },
        [&] {
            rawInsert(1);
            raw.read("SELECT Item, Category, Aisle, Quantity, ID FROM Selected");
        },
        g_runs, [&] { tick(1); });
    row(QStringLiteral("add 1 ticked item (10,000-line list)"), size, addOne, rawAddOne);
    const auto [addMany, rawAddMany] = timeInTurns(
        [&] { f->cmdAddToList_Click(); },
        [&] {
            rawInsert(many);
            raw.read("SELECT Item, Category, Aisle, Quantity, ID FROM Selected");
        },
        std::min(g_runs, 3), [&] { tick(many); });
    row(QStringLiteral("add 1,000 ticked items (10,000-line list)"), size, addMany, rawAddMany);

    // 4. A quantity edit stored from the grid: what the grid's delegate does
    // when a cell edit ends (the value handed to the model, the handler storing
    // the row). 200 edits, per edit, so the figure is not the timer's noise.
    auto *grid = f->findChild<QTableView *>(QStringLiteral("grdList"));
    int n = 0;
    constexpr int edits = 200;
    const double edit = timeIt([&] {
        for (int k = 0; k < edits; ++k)
            grid->model()->setData(grid->model()->index(k % 100, 3),
                                   QStringLiteral("%1 kg").arg(++n));
    });
    // The same rows, by their real IDs (the list's IDs do not start at 1).
    std::vector<qlonglong> ids;
    for (int k = 0; k < 100; ++k)
        ids.push_back(grid->model()->index(k, 4).data().toLongLong());
    sqlite3_stmt *update = nullptr;
    sqlite3_prepare_v2(raw.db, "UPDATE Selected SET Quantity=? WHERE ID=?", -1, &update, nullptr);
    const double rawEdit = timeIt([&] {
        for (int k = 0; k < edits; ++k) {
            const std::string q = std::to_string(++n) + " kg";
            sqlite3_bind_text(update, 1, q.c_str(), -1, SQLITE_TRANSIENT);
            sqlite3_bind_int64(update, 2, ids[size_t(k % 100)]);
            sqlite3_step(update);
            sqlite3_reset(update);
        }
    });
    sqlite3_finalize(update);
    row(QStringLiteral("quantity edit stored (per edit, of 200)"), size, edit / edits,
        rawEdit / edits);

    // Undo of Delete All: the whole list written back by its rows' IDs, and
    // the list read again; raw, the same rows inserted in one transaction.
    {
        setList(db, 10000);
        Module1::shutdown();
        f = startMain();
        Household &file = Module1::household();
        Connection::Rows lines;
        file.connection().select(
            QStringLiteral("SELECT ID, Item, Category, Aisle, Quantity FROM Selected"), &lines,
            nullptr);
        std::vector<QByteArray> text;
        for (const auto &l : std::as_const(lines.rows))
            for (int i = 1; i < 5; ++i)
                text.push_back(l.at(i).toString().toUtf8());
        // In turns: the list deleted, ours undoes it; emptied raw, the raw
        // writes the same rows back, for the next deletion to take.
        const auto [undo, rawUndo] = timeInTurns(
            [&] {
                QString error;
                file.undo(&error);
            },
            [&] {
                raw.exec("BEGIN IMMEDIATE");
                sqlite3_stmt *st = nullptr;
                sqlite3_prepare_v2(raw.db,
                                   "INSERT INTO Selected (ID, Item, Category, Aisle, Quantity) "
                                   "VALUES (?, ?, ?, ?, ?)",
                                   -1, &st, nullptr);
                for (size_t r = 0; r < size_t(lines.rows.size()); ++r) {
                    sqlite3_bind_int64(st, 1, lines.rows.at(qsizetype(r)).at(0).toLongLong());
                    for (int i = 0; i < 4; ++i)
                        sqlite3_bind_text(st, i + 2, text[r * 4 + size_t(i)].constData(), -1,
                                          SQLITE_STATIC);
                    sqlite3_step(st);
                    sqlite3_reset(st);
                }
                sqlite3_finalize(st);
                raw.exec("COMMIT");
                raw.read("SELECT Item, Category, Aisle, Quantity, ID FROM Selected");
            },
            std::min(g_runs, 3),
            [&] {
                QString error;
                file.change(QStringLiteral("Delete All"), Household::List,
                            [&](QString *e) { return file.de().ClearList(e); }, &error);
            },
            [&] { raw.exec("DELETE FROM Selected"); });
        row(QStringLiteral("undo Delete All (%1-line list)").arg(lines.rows.size()), size, undo,
            rawUndo);
    }

    // 5. Reports: command and all pages to PDF, and the preview's first page.
    struct Rep {
        const char *name;
        PrintCommands::Entry entry;
        DEVendora::Command command;
        ReportDefinition (*def)();
        const char *raw;
        int groupColumn, itemColumn; // of the raw's rows
    } reps[] = {
        {"report by category (10,000 lines)", PrintCommands::Entry::Pantrio,
         DEVendora::ListPrint_Grouping, &ReportDefinition::rptPrint,
         "SELECT Item, Category, Aisle, Quantity, ID FROM Selected ORDER BY Category, Item", 1, 0},
        {"report by aisle (10,000 lines)", PrintCommands::Entry::ByAisle,
         DEVendora::ListPrintAisle_Grouping, [] { return ReportDefinition::rptAisle(); },
         "SELECT Item, Category, Aisle, Quantity, ID FROM Selected ORDER BY Aisle, Item", 2, 0},
        {"full list report", PrintCommands::Entry::FullList, DEVendora::All_Grouping,
         &ReportDefinition::rptAll,
         "SELECT Category, Item, Aisle FROM Vendora GROUP BY Category, Item, Aisle ORDER BY "
         "Category, Item", 0, 1},
    };
    setList(db, 10000);
    for (const Rep &r : reps) {
        if (!wanted("reports"))
            break;
        DEVendora &de = Module1::de();
        int pages = 0;
        const double pdf = timeIt(
            [&] {
                de.run(r.command, nullptr);
                std::unique_ptr<QPdfWriter> w(newPdf(dir.filePath(QStringLiteral("r.pdf"))));
                ReportPainter::print(r.def(), *de.result(r.command), w.get(), nullptr);
                de.close(r.command);
            },
            1);
        // Raw: the query read, and the same drawing done straight.
        Drawing drawing;
        {
            de.run(r.command, nullptr);
            std::unique_ptr<QPdfWriter> w(newPdf(dir.filePath(QStringLiteral("raw.pdf"))));
            drawing = drawingOf(r.def(), *de.result(r.command), *w);
            pages = int(drawing.pages.size());
            de.close(r.command);
        }
        const double rawPdf =
            rawReportPdf(raw, r.raw, drawing, dir.filePath(QStringLiteral("raw.pdf")));
        row(QStringLiteral("%1: command + %2 pages to PDF").arg(QLatin1String(r.name)).arg(pages),
            size, pdf, rawPdf);
        Module1::shutdown();
        f = startMain();
        const auto [open, rawOpen] = timeInTurns(
            [&] {
                if (r.entry == PrintCommands::Entry::FullList)
                    f->mnuPrintFull_Click();
                else if (r.entry == PrintCommands::Entry::Pantrio)
                    f->mnuPrint_Click();
                else
                    f->mnuAislePrint_Click();
                // Shown: the window exposed and its first page painted (a
                // grab would paint it all a second time, which no user waits for).
                QCoreApplication::processEvents();
            },
            rawFirstPage(raw, r.raw, r.groupColumn, r.itemColumn, drawing, kPreviewSize),
            std::max(g_runs, 7), [] { PrintCommands::closeAll(); });
        row(QStringLiteral("%1: preview first page shown").arg(QLatin1String(r.name)), size, open,
            rawOpen);
        PrintCommands::closeAll();
    }

    // The list as the phone gets it: by aisle, in the current store's aisles
    // once the stores below are made.
    std::string phoneListSql = "SELECT Item, Category, Aisle, Quantity, ID FROM Selected ORDER BY "
                               "Aisle, Item";

    // 5a. Stores: 20 shops, each with its own aisle for a tenth of the items and
    // a walking order; the Stores window opened and filtered, and the list by
    // aisle in a store's order, against the same reads done raw.
    if (wanted("stores")) {
        Connection c;
        c.open(db, nullptr);
        QVector<qlonglong> shops;
        for (int s = 1; s <= 20; ++s) {
            qlonglong id = 0;
            Stores::add(c, QStringLiteral("Shop %1").arg(s), &id, nullptr);
            shops << id;
        }
        raw.exec("BEGIN");
        for (qlonglong shop : std::as_const(shops)) {
            raw.exec(("INSERT INTO StoreAisles (StoreID, ItemID, Aisle) SELECT " +
                      std::to_string(shop) +
                      ", ID, 'Row ' || (ID % 17) FROM Vendora WHERE ID % 10 = " +
                      std::to_string(shop % 10))
                         .c_str());
            for (int a = 0; a < 17; ++a)
                raw.exec(("INSERT INTO StoreAisleOrder (StoreID, Aisle, Position) VALUES (" +
                          std::to_string(shop) + ", 'Row " + std::to_string(a) + "', " +
                          std::to_string((a * 7 + int(shop)) % 17) + ")")
                             .c_str());
        }
        raw.exec("COMMIT");
        Stores::setCurrent(c, shops.first(), nullptr);
        Module1::shutdown();
        f = startMain();
        const std::string shop = std::to_string(shops.first());
        const std::string itemSql = "SELECT v.ID, v.Item, v.Category, v.Aisle, sa.Aisle FROM "
                                    "Vendora v LEFT JOIN StoreAisles sa ON sa.ItemID = v.ID AND "
                                    "sa.StoreID = " +
                                    shop + " ORDER BY v.Item, v.ID";
        const std::string inUseSql = "SELECT DISTINCT COALESCE(NULLIF(sa.Aisle, ''), v.Aisle) "
                                     "FROM Vendora v LEFT JOIN StoreAisles sa ON sa.ItemID = v.ID "
                                     "AND sa.StoreID = " +
                                     shop;
        frmStores *window = nullptr;
        const double open = timeIt(
            [&] {
                f->mnuStores_Click();
                window = Module1::frmStoresIfOpen();
                QCoreApplication::processEvents();
            },
            g_runs, [&] { delete Module1::frmStoresIfOpen(); });
        row(QStringLiteral("Stores window opened (20 stores)"), size, open, timeIt([&] {
                raw.read("SELECT ID, Name, IsCurrent FROM Stores");
                raw.read(itemSql.c_str());
                raw.read(inUseSql.c_str());
            }));
        auto *filter = window->findChild<QLineEdit *>(QStringLiteral("txtFilter"));
        int k = 0;
        row(QStringLiteral("Stores grid filtered by text"), size, timeIt([&] {
                filter->setText(QStringLiteral("milk %1").arg(++k % 3));
                QCoreApplication::processEvents();
            }),
            timeIt([&] {
                raw.read(("SELECT v.ID, v.Item, v.Category, v.Aisle, sa.Aisle FROM Vendora v LEFT "
                          "JOIN StoreAisles sa ON sa.ItemID = v.ID AND sa.StoreID = " +
                          shop + " WHERE v.Item LIKE '%milk 1%' ORDER BY v.Item, v.ID")
                             .c_str());
            }));
        delete window;
        const std::string storeList =
            "SELECT s.Item, s.Category, COALESCE((SELECT sa.Aisle FROM Vendora v JOIN StoreAisles "
            "sa ON sa.StoreID = " +
            shop +
            " AND sa.ItemID = v.ID WHERE v.Item = s.Item AND COALESCE(v.Category, '') = "
            "COALESCE(s.Category, '') AND sa.Aisle <> '' ORDER BY v.ID LIMIT 1), s.Aisle) AS "
            "Aisle, s.Quantity, s.ID FROM Selected s ORDER BY Aisle, Item";
        phoneListSql = storeList;
        DEVendora &de = Module1::de();
        const ReportDefinition storeDef = ReportDefinition::rptAisle(QStringLiteral("Shop 1"));
        const double pdf = timeIt(
            [&] {
                de.runAisleForStore(shops.first(), QStringLiteral("Shop 1"), nullptr);
                std::unique_ptr<QPdfWriter> w(newPdf(dir.filePath(QStringLiteral("r.pdf"))));
                ReportPainter::print(storeDef, *de.result(DEVendora::ListPrintAisle_Grouping),
                                     w.get(), nullptr);
                de.close(DEVendora::ListPrintAisle_Grouping);
            },
            1);
        Drawing drawing;
        {
            de.runAisleForStore(shops.first(), QStringLiteral("Shop 1"), nullptr);
            std::unique_ptr<QPdfWriter> w(newPdf(dir.filePath(QStringLiteral("raw.pdf"))));
            drawing = drawingOf(storeDef, *de.result(DEVendora::ListPrintAisle_Grouping), *w);
            de.close(DEVendora::ListPrintAisle_Grouping);
        }
        row(QStringLiteral("report by aisle for a store (10,000 lines): command + %1 pages to PDF")
                .arg(drawing.pages.size()),
            size, pdf,
            rawReportPdf(raw, storeList.c_str(), drawing, dir.filePath(QStringLiteral("raw.pdf"))));
        // The store's own order of aisles is a lookup more than the raw's
        // plain order of their names: the raw is, if anything, quicker.
        const auto [storeOpen, rawStoreOpen] = timeInTurns(
            [&] {
                f->mnuAislePrint_Click();
                QCoreApplication::processEvents();
            },
            rawFirstPage(raw, storeList.c_str(), 2, 0, drawing, kPreviewSize),
            std::max(g_runs, 7), [] { PrintCommands::closeAll(); });
        row(QStringLiteral("report by aisle for a store: preview first page shown"), size, storeOpen,
            rawStoreOpen);
        PrintCommands::closeAll();
    }

    // 5b. The list taken along: a 2,000-line page for the phone written, and
    // opened in headless Chromium (against an empty page, the browser's own
    // start), where that browser is installed.
    if (wanted("phone")) {
        setList(db, 2000);
        Module1::shutdown();
        f = startMain();
        const QString page = dir.filePath(QStringLiteral("phone.html"));
        auto writePage = [&] {
            TakeAlong::List list;
            TakeAlong::build(Module1::de(), &list, nullptr);
            const QDateTime now = QDateTime::currentDateTime();
            SafeFile::write(page, TakeAlong::phonePage(list, now, TakeAlong::newStorageKey(now)),
                            nullptr);
        };
        writePage();
        // Raw: the rows read and put in the page's order by a plain sort on
        // the same keys, and the same bytes written as safely (beside the
        // file, synced, renamed over it, the folder synced).
        const QByteArray bytes = [&] {
            QFile written(page);
            written.open(QIODevice::ReadOnly);
            return written.readAll();
        }();
        const QByteArray rawPage = dir.filePath(QStringLiteral("raw-phone.html")).toLocal8Bit();
        const QByteArray rawAside = rawPage + ".tmp";
        const auto [write, rawWrite] = timeInTurns(
            writePage,
            [&] {
                std::vector<std::vector<std::string>> rows;
                raw.read(phoneListSql.c_str(), nullptr, &rows);
                naturalOrder(rows, 2, 0); // by aisle, then item
                const int fd = ::open(rawAside.constData(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
                if (::write(fd, bytes.constData(), size_t(bytes.size())) != bytes.size())
                    return;
                ::fsync(fd);
                ::close(fd);
                ::rename(rawAside.constData(), rawPage.constData());
                const int folder = ::open(dir.path().toLocal8Bit().constData(), O_RDONLY);
                ::fsync(folder);
                ::close(folder);
            },
            g_runs, [] {});
        row(QStringLiteral("phone page written (2,000 lines)"), size, write, rawWrite);
        const QString chromium = QStringLiteral("/usr/bin/chromium");
        if (QFile::exists(chromium)) {
            const QString blank = dir.filePath(QStringLiteral("empty.html"));
            SafeFile::write(blank, "<!DOCTYPE html><title>x</title>", nullptr);
            auto open = [&](const QString &file) {
                QProcess p;
                p.start(chromium, {QStringLiteral("--headless"), QStringLiteral("--no-sandbox"),
                                   QStringLiteral("--disable-gpu"),
                                   QStringLiteral("--disable-background-networking"),
                                   QStringLiteral("--no-first-run"),
                                   QStringLiteral("--user-data-dir=") + dir.filePath("chromium"),
                                   QStringLiteral("--dump-dom"), QStringLiteral("file://") + file});
                p.waitForFinished(60000);
            };
            const auto [opened, rawOpened] = timeInTurns([&] { open(page); }, [&] { open(blank); },
                                                         std::min(g_runs, 3), [] {});
            row(QStringLiteral("phone page opened in headless Chromium (2,000 lines)"), size,
                opened, rawOpened);
        }
        setList(db, 10000);
    }

    // 5d. Sharing with phones, over HTTP on 127.0.0.1: the list a phone asks
    // for (2,000 lines) against the same rows read raw; a tick's round trip
    // until the desktop's grid shows it; ten phones ticking together (every
    // tick applied once, and the desktop's slowest event-loop stall).
    if (wanted("share")) {
        setList(db, 2000);
        Module1::shutdown();
        f = startMain();
        ShareService share(Module1::household());
        // Twenty phones' connections, as if each came from an address of its own.
        HttpServer::Limits limits;
        limits.perAddress = 64;
        limits.connections = 64;
        share.setLimits(limits);
        share.setJoinApproval([](const QString &) { return true; });
        share.start(QHostAddress(), 0, nullptr);
        const quint16 port = share.port();
        auto join = [&](const QString &name) {
            HttpRequest r;
            r.method = "POST";
            r.path = QStringLiteral("/api/join");
            r.headers.insert("host", "127.0.0.1:" + QByteArray::number(port));
            r.body = QJsonDocument(QJsonObject{
                                       {QStringLiteral("secret"),
                                        share.newJoiningAddress().section(QStringLiteral("#join="), 1)},
                                       {QStringLiteral("name"), name}})
                         .toJson();
            return QJsonDocument::fromJson(share.handle(r).body)
                .object()
                .value(QStringLiteral("token"))
                .toString()
                .toLatin1();
        };
        // One request on a socket of its own, from any thread.
        auto httpAt = [](quint16 to, const QByteArray &method, const QByteArray &path,
                         const QByteArray &token, const QByteArray &body) {
            QTcpSocket s;
            s.connectToHost(QHostAddress::LocalHost, to);
            if (!s.waitForConnected(5000))
                return QByteArray();
            s.write(method + ' ' + path + " HTTP/1.1\r\nHost: 127.0.0.1:" + QByteArray::number(to) +
                    "\r\nConnection: close\r\nAuthorization: Bearer " + token +
                    "\r\nContent-Type: application/json\r\nContent-Length: " +
                    QByteArray::number(body.size()) + "\r\n\r\n" + body);
            QByteArray answer;
            for (int i = 0; i < 2000 && s.state() == QAbstractSocket::ConnectedState; ++i) {
                s.waitForReadyRead(10);
                answer += s.readAll();
            }
            return answer + s.readAll();
        };
        auto http = [&httpAt, port](const QByteArray &method, const QByteArray &path,
                                    const QByteArray &token, const QByteArray &body) {
            return httpAt(port, method, path, token, body);
        };
        const QByteArray token = join(QStringLiteral("bench"));
        QByteArray answer;
        std::thread reader;
        const double list = timeIt([&] {
            // The desktop's loop runs while the phone waits, as in the program.
            std::atomic<bool> done{false};
            reader = std::thread([&] {
                answer = http("GET", "/api/list", token, {});
                done = true;
            });
            while (!done)
                QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
            reader.join();
        });
        // Raw: a plain socket server on 127.0.0.1 that reads the same rows and
        // sends the same answer, asked by the same client.
        const int listener = ::socket(AF_INET, SOCK_STREAM, 0);
        sockaddr_in at{};
        at.sin_family = AF_INET;
        at.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        socklen_t atSize = sizeof at;
        ::bind(listener, reinterpret_cast<sockaddr *>(&at), sizeof at);
        ::listen(listener, 4);
        ::getsockname(listener, reinterpret_cast<sockaddr *>(&at), &atSize);
        const QByteArray sameAnswer = answer;
        // The answer made afresh, plainly: the rows sorted on the same keys
        // (aisle, then item), grouped, written as JSON.
        auto madeAnswer = [&raw, &phoneListSql] {
            std::vector<std::vector<std::string>> rows;
            raw.read(phoneListSql.c_str(), nullptr, &rows);
            raw.read("SELECT LineID, Device, Seq FROM ShareTicks WHERE Taken = 0");
            struct Keyed {
                NaturalKey group, item;
                size_t row;
            };
            std::vector<Keyed> keyed(rows.size());
            for (size_t i = 0; i < rows.size(); ++i)
                keyed[i] = {naturalKey(QString::fromStdString(rows[i][2])),
                            naturalKey(QString::fromStdString(rows[i][0])), i};
            std::sort(keyed.begin(), keyed.end(), [](const Keyed &a, const Keyed &b) {
                return a.group.units != b.group.units ? a.group.units < b.group.units
                                                      : a.item.units < b.item.units;
            });
            auto quoted = [](std::string &into, const std::string &text) {
                into += '"';
                for (const char c : text) {
                    if (c == '"' || c == '\\') {
                        into += '\\';
                        into += c;
                    } else if (static_cast<unsigned char>(c) < 0x20 || c == '<' || c == '>' || c == '&') {
                        char code[8];
                        std::snprintf(code, sizeof code, "\\u%04x", unsigned(static_cast<unsigned char>(c)));
                        into += code;
                    } else {
                        into += c;
                    }
                }
                into += '"';
            };
            std::string body = "{\"store\":\"\",\"groups\":[";
            const std::string *group = nullptr;
            for (const Keyed &k : keyed) {
                const std::vector<std::string> &r = rows[k.row];
                if (!group || *group != r[2]) {
                    body += group ? "]}," : "";
                    body += "{\"title\":";
                    quoted(body, r[2]);
                    body += ",\"lines\":[";
                    group = &r[2];
                } else {
                    body += ',';
                }
                body += "{\"id\":" + r[4] + ",\"item\":";
                quoted(body, r[0]);
                body += ",\"qty\":";
                quoted(body, r[3]);
                body += ",\"ticks\":[]}";
            }
            body += group ? "]}]" : "]";
            body += ",\"left\":" + std::to_string(rows.size()) + ",\"total\":" +
                   std::to_string(rows.size()) + ",\"readOnly\":false,\"version\":\"x:1\"}";
            return body;
        };
        std::thread rawServer([&] {
            for (int k = 0; k < 100; ++k) {
                const int c = ::accept(listener, nullptr, nullptr);
                if (c < 0)
                    return;
                std::string request;
                char buffer[4096];
                while (request.find("\r\n\r\n") == std::string::npos) {
                    const ssize_t got = ::read(c, buffer, sizeof buffer);
                    if (got <= 0)
                        break;
                    request.append(buffer, size_t(got));
                }
                if (request.find(" /quit ") != std::string::npos) {
                    ::close(c);
                    return;
                }
                const bool afresh = request.find(" /api/made ") != std::string::npos;
                std::string made;
                if (!afresh) {
                    raw.read(phoneListSql.c_str());
                    raw.read("SELECT LineID, Device, Seq FROM ShareTicks WHERE Taken = 0");
                } else {
                    made = "HTTP/1.1 200 OK\r\nContent-Type: application/json\r\nContent-Length: ";
                    const std::string body = madeAnswer();
                    made += std::to_string(body.size()) + "\r\n\r\n" + body;
                }
                const char *bytes = afresh ? made.data() : sameAnswer.constData();
                const qsizetype length = afresh ? qsizetype(made.size()) : sameAnswer.size();
                for (qsizetype sent = 0; sent < length;) {
                    const ssize_t put = ::write(c, bytes + sent, size_t(length - sent));
                    if (put <= 0)
                        break;
                    sent += put;
                }
                ::close(c);
            }
        });
        const double rawList = timeIt([&] {
            httpAt(ntohs(at.sin_port), "GET", "/api/list", token, {});
        });
        const quint16 rawPort = ntohs(at.sin_port);
        row(QStringLiteral("shared list answered over HTTP (2,000 lines)"), size, list, rawList);
        // A tick until the grid shows it.
        auto *shared = f->findChild<QTableView *>(QStringLiteral("grdList"));
        qint64 seq = 0;
        int row0 = 0;
        const double roundTrip = timeIt([&] {
            const qint64 id = shared->model()->index(row0, 4).data().toLongLong();
            const QByteArray op = "{\"ops\":[{\"seq\":" + QByteArray::number(++seq) +
                                  ",\"kind\":\"tick\",\"line\":" + QByteArray::number(id) + "}]}";
            std::thread phone([&] { http("POST", "/api/ops", token, op); });
            QElapsedTimer t;
            t.start();
            while (shared->model()->index(row0, 0).data(Qt::CheckStateRole).toInt() != Qt::Checked &&
                   t.elapsed() < 10000)
                QCoreApplication::processEvents(QEventLoop::AllEvents, 1);
            phone.join();
            ++row0;
        });
        row(QStringLiteral("a tick's round trip until the desktop shows it"), size, roundTrip, 0);
        // A phone as the page is: it reads the list, waits to hear of a
        // change, reads the list again (only when its version moved on).
        auto bodyOf = [](const QByteArray &reply) {
            return QJsonDocument::fromJson(reply.mid(reply.indexOf("\r\n\r\n") + 4)).object();
        };
        auto listening = [&](const QByteArray &phone, const std::atomic<bool> &stop,
                            std::atomic<int> &reads, std::atomic<qint64> &newest) {
            QByteArray version;
            for (int k = 0; k < 100000 && !stop; ++k) {
                const QJsonObject got = bodyOf(http("GET", "/api/list?since=" + version, phone, {}));
                ++reads;
                if (got.isEmpty())
                    return;
                version = got.value(QStringLiteral("version")).toString().toLatin1();
                newest = version.mid(version.indexOf(':') + 1).toLongLong();
                const QJsonObject heard = bodyOf(http("GET", "/api/wait?since=" + version, phone, {}));
                if (heard.isEmpty() || stop)
                    return;
            }
        };
        // A change on the desktop (a line added), told as any is.
        Household &home = Module1::household();
        int added = 0;
        auto desktopChange = [&] {
            home.change(QStringLiteral("Add"), Household::List,
                        [&](QString *e) {
                            return home.connection().exec(
                                QStringLiteral("INSERT INTO Selected (Item, Category, Aisle, "
                                               "Quantity) VALUES (?, 'Bench', '1', '1')"),
                                {QStringLiteral("Bench line %1").arg(++added)}, e);
                        },
                        nullptr);
        };
        auto runLoopUntil = [](const std::function<bool()> &done, int ms) {
            QElapsedTimer t;
            t.start();
            while (!done() && t.elapsed() < ms)
                QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
        };
        // The list a phone asks for after a change: read once, then answered
        // (against the raw server making its answer afresh), in turns.
        const auto [afterChange, rawMade] = timeInTurns(
            [&] {
                std::atomic<bool> done{false};
                std::thread phone([&] {
                    http("GET", "/api/list", token, {});
                    done = true;
                });
                runLoopUntil([&] { return done.load(); }, 10000);
                phone.join();
            },
            [&] { httpAt(rawPort, "GET", "/api/made", token, {}); }, std::max(g_runs, 7),
            [&] {
                // The change, and the desktop's own redrawing of it done.
                desktopChange();
                runLoopUntil([] { return false; }, 50);
            });
        httpAt(rawPort, "GET", "/quit", token, {});
        rawServer.join();
        ::close(listener);
        row(QStringLiteral("shared list read after a change and answered (2,000 lines)"), size,
            afterChange, rawMade);
        {
            // Two idle phones listening; one change on the desktop.
            const QByteArray a = join(QStringLiteral("idle a")), b = join(QStringLiteral("idle b"));
            std::atomic<bool> stop{false};
            std::atomic<int> readsA{0}, readsB{0};
            std::atomic<qint64> newestA{0}, newestB{0};
            std::thread ta([&] { listening(a, stop, readsA, newestA); });
            std::thread tb([&] { listening(b, stop, readsB, newestB); });
            const qint64 now = share.version();
            runLoopUntil([&] { return newestA == now && newestB == now; }, 10000);
            // Settled in their waits.
            runLoopUntil([] { return false; }, 300);
            const int before = readsA + readsB, readBefore = share.listReads();
            desktopChange();
            runLoopUntil([&] { return newestA == share.version() && newestB == share.version(); },
                         10000);
            runLoopUntil([] { return false; }, 300);
            row(QStringLiteral("two idle phones, one desktop change: list asks per phone"), size,
                (readsA + readsB - before) / 2.0, 1);
            row(QStringLiteral("two idle phones, one desktop change: list readings"), size,
                double(share.listReads() - readBefore), 1);
            stop = true;
            desktopChange(); // their waits end
            runLoopUntil([] { return false; }, 100);
            ta.join();
            tb.join();
        }
        // Ten phones together, each ticking and unticking as fast as it can
        // while it listens as the page does.
        const int seconds = qEnvironmentVariableIntValue("PANTRIO_BENCH_SHARE_SECONDS") > 0
                                ? qEnvironmentVariableIntValue("PANTRIO_BENCH_SHARE_SECONDS")
                                : 10;
        QList<QByteArray> tokens;
        for (int p = 0; p < 10; ++p)
            tokens << join(QStringLiteral("phone %1").arg(p));
        std::atomic<int> sent{0}, listed{0};
        std::atomic<bool> stop{false};
        std::vector<std::thread> phones;
        std::vector<std::atomic<qint64>> newest(10);
        const qint64 firstLine = shared->model()->index(0, 4).data().toLongLong();
        const int readsBefore = share.listReads();
        const qint64 versionBefore = share.version();
        for (int p = 0; p < 10; ++p) {
            phones.emplace_back([&, p] {
                simulatedPhone();
                // Ticks and unticks its line, each untick taking the tick it saw.
                for (qint64 s = 1; !stop; ++s) {
                    const QByteArray line = QByteArray::number(firstLine + p);
                    const QByteArray op =
                        "{\"src\":\"b\",\"ops\":[{\"seq\":" + QByteArray::number(s) +
                        (s % 2 ? ",\"kind\":\"tick\",\"line\":" + line
                               : ",\"kind\":\"untick\",\"line\":" + line + ",\"seen\":[[\"/b\"," +
                                     QByteArray::number(s - 1) + "]]") +
                        "}]}";
                    if (http("POST", "/api/ops", tokens.at(p), op).contains(" 200 "))
                        ++sent;
                }
            });
            phones.emplace_back([&, p] {
                simulatedPhone();
                listening(tokens.at(p), stop, listed, newest[p]);
            });
        }
        QElapsedTimer clock;
        clock.start();
        qint64 last = 0;
        std::vector<double> stalls, busy;
        // Where a slow turn's time went: the desktop thread's own work, or
        // waiting (for the disk's sync, for a core).
        auto threadCpu = [] {
            timespec ts{};
            ::clock_gettime(CLOCK_THREAD_CPUTIME_ID, &ts);
            return ts.tv_sec * 1e3 + ts.tv_nsec / 1e6;
        };
        double lastCpu = threadCpu(), slowCpu = 0, slowest = 0, overCount = 0, overCpu = 0,
               overWall = 0;
        while (clock.elapsed() < seconds * 1000) {
            QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
            const qint64 now = clock.nsecsElapsed();
            const double wall = (now - last) / 1e6, cpu = threadCpu() - lastCpu;
            stalls.push_back(wall);
            if (cpu >= 0.1)
                busy.push_back(wall);
            if (wall > slowest) {
                slowest = wall;
                slowCpu = cpu;
            }
            if (wall > 16) {
                ++overCount;
                overCpu += cpu;
                overWall += wall;
            }
            last = now;
            lastCpu += cpu;
        }
        stop = true;
        desktopChange(); // the listeners' waits end
        runLoopUntil([] { return false; }, 200);
        for (auto &t : phones)
            t.join();
        Connection check;
        check.open(db, nullptr);
        Connection::Rows applied;
        check.select(QStringLiteral("SELECT COUNT(*) FROM ShareOps WHERE Device <> 'desktop'"),
                     &applied, nullptr);
        const qint64 once = applied.rows.value(0).value(0).toLongLong() - qint64(row0) - 0;
        // Applied once each: the ratio of applied to sent is 1.
        row(QStringLiteral("ten phones: ticks applied, against ticks sent"), size, double(once),
            double(sent.load()));
        // The 99th percentile of the turns that handled something (most
        // turns find nothing to do, and would make any percentile 0).
        std::sort(stalls.begin(), stalls.end());
        std::sort(busy.begin(), busy.end());
        const double p99 = busy.empty() ? 0 : busy.at(busy.size() * 99 / 100);
        row(QStringLiteral("ten phones ticking for %1 s: slowest event-loop stall").arg(seconds),
            size, stalls.empty() ? 0 : stalls.back(), 0);
        row(QStringLiteral("ten phones ticking for %1 s: 99th percentile of busy turns").arg(seconds),
            size, p99, 0);
        row(QStringLiteral("ten phones: the slowest turn's own CPU time, against its length"),
            size, slowCpu, slowest);
        row(QStringLiteral("ten phones: turns over 16 ms, their CPU time against their length"),
            size, overCount ? overCpu / overCount : 0, overCount ? overWall / overCount : 0);
        row(QStringLiteral("ten phones: turns over 16 ms"), size, overCount, 0);
        row(QStringLiteral("ten phones: list readings, against versions"), size,
            double(share.listReads() - readsBefore), double(share.version() - versionBefore));
        {
            // What no program can be quicker than: a tick committed as durably
            // (the same journal and syncs), raw, 500 times without any load.
            std::vector<double> commits;
            for (int k = 0; k < 500; ++k) {
                QElapsedTimer t;
                t.start();
                raw.exec(("INSERT INTO ShareTicks (LineID, Device, Seq) VALUES (" +
                          std::to_string(firstLine) + ", 'raw', " + std::to_string(k + 1) + ")")
                             .c_str());
                commits.push_back(t.nsecsElapsed() / 1e6);
            }
            raw.exec("DELETE FROM ShareTicks WHERE Device = 'raw'");
            std::sort(commits.begin(), commits.end());
            row(QStringLiteral("a tick committed raw as durably: slowest of 500"), size, 0,
                commits.back());
            row(QStringLiteral("a tick committed raw as durably: median of 500"), size, 0,
                commits.at(commits.size() / 2));
        }
        share.stop();
        setList(db, 10000);
    }

    // 5c. Importing the catalogue again from CSV into an empty one.
    if (wanted("import")) {
        Connection c;
        c.open(db, nullptr);
        const QString csv = dir.filePath(QStringLiteral("catalogue.csv"));
        int exported = 0;
        CatalogueTransfer::exportCatalogue(c, csv, &exported, nullptr);
        QFile file(csv);
        file.open(QIODevice::ReadOnly);
        const QByteArray bytes = file.readAll();
        const QString copy = dir.filePath(QStringLiteral("import.mdb"));
        auto fresh = [&] {
            QFile::remove(copy);
            Schema::createDatabase(copy, false, nullptr);
        };
        const double ours = timeIt(
            [&] {
                Connection target;
                target.open(copy, nullptr);
                Csv::Table table;
                CatalogueTransfer::ImportPlan plan;
                Csv::parse(bytes, &table, nullptr);
                CatalogueTransfer::plan(target, table, &plan, nullptr);
                CatalogueTransfer::apply(target, plan, {}, nullptr);
            },
            std::min(g_runs, 3), fresh);
        // Raw: the same bytes parsed by the same CSV library into plain
        // strings, repeats left out, the rows inserted in one transaction.
        const double rawImport = timeIt(
            [&] {
                struct Parsed {
                    std::vector<std::string> fields;
                    std::vector<std::vector<std::string>> rows;
                } parsed;
                csv_parser parser;
                csv_init(&parser, CSV_STRICT | CSV_STRICT_FINI);
                auto field = [](void *text, size_t length, void *p) {
                    static_cast<Parsed *>(p)->fields.emplace_back(static_cast<const char *>(text),
                                                                  length);
                };
                auto record = [](int, void *p) {
                    auto *d = static_cast<Parsed *>(p);
                    d->rows.push_back(std::move(d->fields));
                    d->fields.clear();
                };
                csv_parse(&parser, bytes.constData(), size_t(bytes.size()), field, record, &parsed);
                csv_fini(&parser, field, record, &parsed);
                csv_free(&parser);
                std::unordered_set<std::string> seen;
                Raw r(copy);
                r.exec("BEGIN");
                sqlite3_stmt *st = nullptr;
                sqlite3_prepare_v2(r.db,
                                   "INSERT INTO Vendora (Item, Category, Aisle) VALUES (?,?,?)", -1,
                                   &st, nullptr);
                for (size_t i = 1; i < parsed.rows.size(); ++i) {
                    const auto &cells = parsed.rows[i];
                    if (cells.size() < 3 ||
                        !seen.insert(cells[0] + '\x1f' + cells[1] + '\x1f' + cells[2]).second)
                        continue;
                    for (size_t k = 0; k < 3; ++k)
                        sqlite3_bind_text(st, int(k) + 1, cells[k].data(), int(cells[k].size()),
                                          SQLITE_STATIC);
                    sqlite3_step(st);
                    sqlite3_reset(st);
                }
                sqlite3_finalize(st);
                r.exec("COMMIT");
            },
            std::min(g_runs, 3), fresh);
        row(QStringLiteral("import catalogue CSV (%1 items)").arg(exported), size, ours, rawImport);

        // Undo of that import: every imported row deleted by its ID; raw, the
        // same rows deleted in one transaction.
        {
            fresh();
            Household target;
            target.open(copy, nullptr);
            Csv::Table table;
            CatalogueTransfer::ImportPlan plan;
            Csv::parse(bytes, &table, nullptr);
            CatalogueTransfer::plan(target.connection(), table, &plan, nullptr);
            auto import = [&] {
                target.change(QStringLiteral("Import"), Household::Catalogue,
                              [&](QString *e) {
                                  return CatalogueTransfer::apply(target.connection(), plan, {}, e);
                              },
                              nullptr);
            };
            const double undoImport = timeIt(
                [&] {
                    QString error;
                    target.undo(&error);
                },
                std::min(g_runs, 3), import);
            target.close();
            const double rawUndoImport = timeIt(
                [&] {
                    Raw r(copy);
                    r.exec("BEGIN IMMEDIATE");
                    sqlite3_stmt *st = nullptr;
                    sqlite3_prepare_v2(r.db, "DELETE FROM Vendora WHERE ID = ?", -1, &st, nullptr);
                    for (int i = 1; i <= exported; ++i) {
                        sqlite3_bind_int64(st, 1, i);
                        sqlite3_step(st);
                        sqlite3_reset(st);
                    }
                    sqlite3_finalize(st);
                    r.exec("COMMIT");
                },
                std::min(g_runs, 3), [&] {
                    fresh();
                    Connection c2;
                    c2.open(copy, nullptr);
                    CatalogueTransfer::apply(c2, plan, {}, nullptr);
                });
            row(QStringLiteral("undo import of %1 items").arg(exported), size, undoImport,
                rawUndoImport);
        }
    }

    // 5d. Meals and the usual items.
    if (wanted("meals"))
        meals(size, raw);

    // 6. The item editor, on the file opened afresh without the main window.
    auto reopen = [] {
        Module1::shutdown();
        Module1::household().open(Module1::strConnect(), nullptr);
    };
    const double load = timeIt(
        [] {
            frmAdding *e = Module1::frmAddingInstance();
            e->show();
            QCoreApplication::processEvents();
        },
        g_runs, reopen);
    row(QStringLiteral("item editor load"), size, load, timeIt([&] {
            raw.read("select Aisle,Category,ID,Item from Vendora Order by Item");
            raw.read("SELECT * FROM Vendora ORDER BY Item");
            raw.read("SELECT Categories FROM Categories ORDER BY Categories");
        }));
    frmAdding *e = Module1::frmAddingIfLoaded();
    const int steps = std::min(1000, size - 1);
    const double nav = timeIt([&] {
        e->cmdFirst_Click();
        for (int i = 0; i < steps; ++i)
            e->cmdNext_Click();
    });
    row(QStringLiteral("editor: one navigation step (of 1,000)"), size, nav / steps, 0);
    row(QStringLiteral("editor: Add + Update"), size, timeIt([&] {
            e->cmdAdd_Click();
            e->txtFields(3)->setText(QStringLiteral("Bench item"));
            emit e->txtFields(3)->textEdited(QStringLiteral("Bench item"));
            e->cmdUpdate_Click();
        }),
        timeIt([&] {
            raw.exec("INSERT INTO Vendora (Item) VALUES ('Bench raw')");
            raw.read("SELECT * FROM Vendora ORDER BY Item");
        }));
    Module1::shutdown();
}

// The Meals window opened again and again at 100,000 items, each step's
// median printed: where its time goes, and a loop to run under perf.
void mealsOpenSteps(int times)
{
    QTemporaryDir dir;
    const QString db = dir.filePath(QStringLiteral("Vendora.mdb"));
    makeCatalogue(db, 100000, 100);
    Module1::setProgramDirectory(dir.path());
    Raw raw(db);
    startMain();
    makeMeals(raw, 100000);
    Connection &c = Module1::household().connection();
    const QStringList steps = {QStringLiteral("built"),     QStringLiteral("loaded"),
                               QStringLiteral("shown"),     QStringLiteral("closed"),
                               QStringLiteral("meals read"), QStringLiteral("categories read"),
                               QStringLiteral("items read"), QStringLiteral("raw window")};
    std::vector<std::vector<double>> took(size_t(steps.size()));
    for (int n = 0; n < times; ++n) {
        QElapsedTimer t;
        size_t step = 0;
        auto next = [&] {
            took[step++].push_back(t.nsecsElapsed() / 1e6);
            t.restart();
        };
        QVector<Meals::Row> rows;
        QStringList categories, names;
        QString error;
        t.start();
        auto *w = new frmMeals;
        next();
        w->load(Module1::household());
        next();
        w->show();
        QCoreApplication::processEvents();
        next();
        delete w;
        next();
        Meals::list(c, &rows, &error);
        next();
        Meals::categories(c, &categories, &error);
        next();
        Meals::itemsIn(c, categories.value(0), &names, &error);
        next();
        rawMealsWindow(raw);
        next();
    }
    QTextStream printed(stdout);
    for (qsizetype i = 0; i < steps.size(); ++i)
        printed << QStringLiteral("%1 %2 ms\n").arg(steps[i], -16).arg(median(took[size_t(i)]), 7, 'f', 2);
    Module1::shutdown();
}

} // namespace

int main(int argc, char *argv[])
{
    // The offscreen platform's notes about window hints are noise here.
    qInstallMessageHandler([](QtMsgType type, const QMessageLogContext &, const QString &msg) {
        if (type >= QtCriticalMsg)
            QTextStream(stderr) << msg << '\n';
    });
    qputenv("QT_QPA_PLATFORM",
            qgetenv("QT_QPA_PLATFORM").isEmpty() ? "offscreen" : qgetenv("QT_QPA_PLATFORM"));
    QApplication app(argc, argv);
    Fonts::installSubstitutions();
    installTranslations();
    QStringList args = app.arguments();
    QList<int> sizes = {1000, 10000, 100000};
    int oneSize = 0;
    for (int i = 1; i < args.size(); ++i) {
        if (args[i] == QLatin1String("--sizes") && i + 1 < args.size()) {
            sizes.clear();
            for (const QString &s : args[++i].split(QLatin1Char(',')))
                sizes << s.toInt();
        } else if (args[i] == QLatin1String("--runs") && i + 1 < args.size()) {
            g_runs = std::max(1, args[++i].toInt());
        } else if (args[i] == QLatin1String("--one") && i + 1 < args.size()) {
            oneSize = args[++i].toInt();
        } else if (args[i] == QLatin1String("--meals-peak") && i + 1 < args.size()) {
            Module1::setProgramDirectory(args[i + 1]);
            startMain();
            QTextStream(stdout) << peakKiB() << '\n';
            {
                frmMeals w;
                w.load(Module1::household());
                w.show();
                QCoreApplication::processEvents();
                w.showUsual();
                QCoreApplication::processEvents();
            }
            QTextStream(stdout) << peakKiB() << '\n';
            Module1::shutdown();
            return 0;
        } else if (args[i] == QLatin1String("--meals-open") && i + 1 < args.size()) {
            mealsOpenSteps(args[i + 1].toInt());
            return 0;
        } else if (args[i] == QLatin1String("--make") && i + 2 < args.size()) {
            // A catalogue to look at with other tools (heaptrack, perf).
            makeCatalogue(args[i + 1], args[i + 2].toInt(), 10000);
            return 0;
        }
    }
    if (oneSize > 0) {
        one(oneSize);
        return 0;
    }
    QTextStream table(stdout);
    table << QStringLiteral("%1 %2 %3 %4 %5\n")
                 .arg(QStringLiteral("operation"), -58)
                 .arg(QStringLiteral("size"), 7)
                 .arg(QStringLiteral("ours ms"), 10)
                 .arg(QStringLiteral("raw ms"), 10)
                 .arg(QStringLiteral("ratio"), 7);
    bool ok = true;
    for (int size : std::as_const(sizes)) {
        QProcess child;
        child.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        child.start(QCoreApplication::applicationFilePath(),
                    {QStringLiteral("--one"), QString::number(size), QStringLiteral("--runs"),
                     QString::number(g_runs)});
        child.waitForFinished(-1);
        ok = ok && child.exitStatus() == QProcess::NormalExit && child.exitCode() == 0;
        for (const QString &line : QString::fromUtf8(child.readAllStandardOutput()).split('\n')) {
            const QStringList c = line.split(QLatin1Char('\t'));
            if (c.size() != 4)
                continue;
            const double ours = c[2].toDouble(), raw = c[3].toDouble();
            table << QStringLiteral("%1 %2 %3 %4 %5\n")
                         .arg(c[0], -58)
                         .arg(c[1], 7)
                         .arg(ours, 10, 'f', 2)
                         .arg(raw, 10, 'f', 2)
                         .arg(raw > 0 ? QString::number(ours / raw, 'f', 2) : QStringLiteral("-"),
                              7);
        }
        table.flush();
    }
    if (!ok)
        table << "a size failed to run\n";
    return ok ? 0 : 1;
}

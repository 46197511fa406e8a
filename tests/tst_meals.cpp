// The list writing itself, below any window. Amounts as recipes and
// shoppers write them: a table of real ingredient lines from several
// cuisines, the round trip, adding up within a dimension only, names folded
// for matching, hostile text. Meals onto the list and back as properties:
// any order gives the same list, a meal added and taken back leaves the list
// as it was, a typed quantity is never changed. The usual rhythm of
// purchases over a real-looking year.
#include "data/shopping/Amount.h"
#include "data/shopping/MealPlan.h"
#include "data/shopping/RecipeMatch.h"
#include "data/shopping/Usual.h"
#include "data/access/Connection.h"
#include "data/access/RowStore.h"
#include "data/owner/Household.h"
#include "data/shopping/Meals.h"
#include "data/sharing/ShareStore.h"
#include "support/TestDatabase.h"

#include <QRandomGenerator>
#include <QtTest>

using namespace pantrio;

class TstMeals : public QObject
{
    Q_OBJECT

    static QString shown(const Amount &a)
    {
        return a.known() || !a.text.isEmpty() ? a.toString() : QStringLiteral("?");
    }

    static QList<MealPlan::Meal> someMeals()
    {
        using MealPlan::Ingredient;
        return {
            {1, "Chili", 4, {{"Onions", "Veg", "", "1"}, {"Minced beef", "Meat", "", "500 g"},
                             {"Chopped tomatoes", "Tins", "", "2 tins"}, {"Kidney beans", "Tins", "", "1 tin"},
                             {"Chilli powder", "Spices", "", "2 tsp"}, {"Salt", "Spices", "", "a pinch"}}},
            {2, "Tacos", 2, {{"Onion", "Veg", "", "1"}, {"Minced beef", "Meat", "", "1 lb"},
                             {"Tortillas", "Bakery", "", "8"}, {"Cheddar", "Dairy", "", "100 g"},
                             {"Chilli powder", "Spices", "", "1 tbsp"}, {"Salt", "Spices", "", "a pinch"}}},
            {3, "Soup", 0, {{"Onions", "Veg", "", "2"}, {"Vegetable stock", "Tins", "", "1 l"},
                            {"Carrots", "Veg", "", "500 g"}, {"Chopped tomatoes", "Tins", "", "400 g"},
                            {"Crusty bread", "Bakery", "", "a loaf"}}},
            {4, "Pancakes", 4, {{"Plain flour", "Baking", "", "125 g"}, {"Milk", "Dairy", "", "300 ml"},
                                {"Eggs", "Dairy", "", "2"}, {"Butter", "Dairy", "", "1 tbsp"}}},
        };
    }
    static QList<MealPlan::Line> aList()
    {
        QList<MealPlan::Line> lines;
        auto line = [&](const char *item, const char *qty) {
            MealPlan::Line l;
            l.item = item;
            l.quantity = qty;
            lines << l;
        };
        line("Milk", "1");          // as a tick puts it
        line("Eggs", "a dozen");    // typed
        line("Onions", "");         // nothing typed
        line("Coffee", "2 bags");
        return lines;
    }
    static QString text(QList<MealPlan::Line> lines, bool sorted)
    {
        QStringList out;
        for (const MealPlan::Line &l : lines)
            out << l.item + "=" + l.quantity + "[" + MealPlan::forText(l) + "]";
        if (sorted)
            out.sort();
        return out.join("; ");
    }

  private slots:
    // Each line: what it reads as, amount | name | note ("?" for no amount).
    void realIngredientLines()
    {
        QFile f(QFINDTESTDATA("data/ingredient-lines.txt"));
        QVERIFY(f.open(QIODevice::ReadOnly | QIODevice::Text));
        int lines = 0;
        QStringList wrong;
        while (!f.atEnd()) {
            const QString row = QString::fromUtf8(f.readLine()).chopped(1);
            if (row.isEmpty())
                continue;
            const QStringList cols = row.split(QLatin1Char('|'));
            QCOMPARE(cols.size(), 4);
            const IngredientLine l = parseIngredientLine(cols.at(0));
            const QString got = shown(l.amount) + "|" + l.name + "|" + l.note;
            if (got != cols.mid(1).join("|"))
                wrong << cols.at(0) + "  ->  " + got + "  (wanted " + cols.mid(1).join("|") + ")";
            ++lines;
        }
        QVERIFY2(wrong.isEmpty(), qPrintable(wrong.join("\n")));
        QVERIFY(lines >= 200);
    }

    // Written, then read: the same amount, for any unit, value and range.
    void writtenThenReadIsTheSame()
    {
        const QStringList units = {"", "g", "kg", "mg", "oz", "lb", "ml", "cl", "dl", "l",
                                   "tsp", "tbsp", "cup", "tins", "cloves", "bunches", "slices"};
        QRandomGenerator rng(20261209);
        for (int i = 0; i < 2000; ++i) {
            const double low = rng.bounded(100000) / 1000.0;
            const bool range = rng.bounded(4) == 0;
            const double high = range ? low + rng.bounded(5000) / 1000.0 : low;
            QString written = QString::number(low, 'f', 3);
            if (range)
                written += "-" + QString::number(high, 'f', 3);
            const QString unit = units.at(rng.bounded(int(units.size())));
            if (!unit.isEmpty())
                written += " " + unit;
            const Amount a = Amount::parse(written);
            QVERIFY2(a.known(), qPrintable(written));
            const Amount b = Amount::parse(a.toString());
            QVERIFY2(b.dimension == a.dimension && b.unit == a.unit, qPrintable(written));
            QVERIFY2(qAbs(b.low - a.low) <= 1e-6 * qMax(1.0, a.low) &&
                         qAbs(b.high - a.high) <= 1e-6 * qMax(1.0, a.high),
                     qPrintable(written + " -> " + a.toString() + " -> " + b.toString()));
            QCOMPARE(b.toString(), a.toString());
        }
    }

    // Units agree: added; mass and volume never mixed; kinds of pieces apart;
    // a text once; the same total in any order.
    void addedUpWithinADimensionOnly()
    {
        auto sum = [](QStringList texts) {
            QList<Amount> all;
            for (const QString &t : texts)
                all << Amount::parse(t);
            return describe(addUp(all));
        };
        QCOMPARE(sum({"200 g", "300 g"}), QString("500 g"));
        QCOMPARE(sum({"500 g", "1 kg"}), QString("1.5 kg"));
        QCOMPARE(sum({"1 kg", "1 kg"}), QString("2 kg"));
        QCOMPARE(sum({"1 tsp", "1 tbsp"}), QString("20 ml"));
        QCOMPARE(sum({"2 tsp", "1 tsp"}), QString("3 tsp"));
        QCOMPARE(sum({"500 g", "2 tins"}), QString("500 g + 2 tins"));
        QCOMPARE(sum({"100 g", "100 ml"}), QString("100 g + 100 ml"));
        QCOMPARE(sum({"1 tin", "2 tins", "3"}), QString("3 tins + 3"));
        QCOMPARE(sum({"2", "3"}), QString("5"));
        QCOMPARE(sum({"2-3", "1"}), QString("3-4"));
        QCOMPARE(sum({"a pinch", "a pinch", "1 tsp"}), QString("a pinch + 1 tsp"));
        QCOMPARE(sum({"1 lb", "1 lb"}), QString("2 lb"));
        QCOMPARE(sum({"8 oz", "1 lb"}), QString("680.389 g"));

        const QStringList parts = {"200 g", "1 kg", "2 tins", "1 tin", "3 tbsp", "100 ml",
                                   "a pinch", "4", "2-3"};
        QRandomGenerator rng(7);
        QSet<QString> totals;
        for (int i = 0; i < 50; ++i) {
            QStringList shuffled = parts;
            for (qsizetype k = shuffled.size() - 1; k > 0; --k)
                shuffled.swapItemsAt(k, rng.bounded(int(k + 1)));
            QStringList pieces = sum(shuffled).split(" + ");
            pieces.sort();
            totals.insert(pieces.join(" + "));
        }
        QCOMPARE(totals.size(), 1);
    }

    void namesFoldForMatching()
    {
        QCOMPARE(foldName("Tomatoes"), foldName("tomato"));
        QCOMPARE(foldName("Berries"), foldName("berry"));
        QCOMPARE(foldName("EGGS"), foldName("egg"));
        QCOMPARE(foldName("Äpfel"), foldName("apfel"));
        QCOMPARE(foldName("Crème fraîche"), foldName("creme fraiche"));
        QCOMPARE(foldName("Tomaten"), foldName("Tomate"));
        QCOMPARE(foldName("Zwiebeln"), foldName("Zwiebel"));
        QCOMPARE(foldName("Chickens"), foldName("chicken"));
        QCOMPARE(foldName("  spring   onions "), foldName("Spring onion"));
        QCOMPARE(foldName("Glasses"), foldName("glass"));
        QCOMPARE(foldName("Süßkartoffel"), foldName("Suesskartoffel").replace("ue", "u"));
        QVERIFY(foldName("Rice") != foldName("Rye"));
    }

    // What is offered for a line not named exactly, in a catalogue large
    // enough that its common words say nothing alone.
    void closestNamesOffered()
    {
        RowStore items(3);
        auto add = [&items](const QString &name) { items.append({name, QStringLiteral("Food"), QString()}); };
        const QStringList kinds = {"Fresh", "Sweet", "Red", "Smoked"};
        for (int i = 0; i < 12000; ++i)
            add(QStringLiteral("%1 %2 Item %3").arg(kinds.at(i % 4), kinds.at((i / 4) % 4)).arg(i));
        add("Tomatoes");
        add("Tomatoes"); // twice in the catalogue, offered once
        add("Tomato Paste");
        add("Onions");
        const RecipeMatch match(items);
        const QList<RecipeMatch::Line> lines = match.match("2 tomatoe\n400 g Fresh Red\n1 tin tomatos paste\n"
                                                           "3 large onions, sliced\nFor the sauce:\n\n5 g zzzz");
        QCOMPARE(lines.size(), 5);
        auto offered = [&](const RecipeMatch::Line &l) {
            QStringList out;
            for (int i : l.closest)
                out << match.item(i).name;
            return out;
        };
        // A misspelling: the names two edits away, each once.
        QCOMPARE(lines.at(0).match, -1);
        QCOMPARE(offered(lines.at(0)), QStringList({"Tomatoes"}));
        // Two words each in thousands of names: the names with both, fewest edits first.
        QCOMPARE(lines.at(1).closest.size(), 3);
        for (const QString &name : offered(lines.at(1)))
            QVERIFY2(name.startsWith("Fresh Red Item "), qPrintable(name));
        QCOMPARE(offered(lines.at(1)).first(), QStringLiteral("Fresh Red Item 8"));
        QCOMPARE(offered(lines.at(2)).first(), QStringLiteral("Tomato Paste"));
        // "large onions" is not a name: Onions offered, not taken; nothing close to "zzzz".
        QCOMPARE(lines.at(3).match, -1);
        QCOMPARE(offered(lines.at(3)).first(), QStringLiteral("Onions"));
        QVERIFY(lines.at(4).closest.isEmpty());
        QCOMPARE(lines.at(4).match, -1);
    }

    void mealsOntoTheListAndBack()
    {
        using namespace MealPlan;
        const QList<Meal> meals = someMeals();
        // One line per item, amounts added up, said what it is for.
        QList<Line> l = add(add({}, meals.at(0), 4), meals.at(1), 2);
        QCOMPARE(text(l, false),
                 QString("Onions=2[for Chili, Tacos]; Minced beef=953.592 g[for Chili, Tacos]; "
                         "Chopped tomatoes=2 tins[for Chili]; Kidney beans=1 tin[for Chili]; "
                         "Chilli powder=25 ml[for Chili, Tacos]; Salt=a pinch[for Chili, Tacos]; "
                         "Tortillas=8[for Tacos]; Cheddar=100 g[for Tacos]"));
        // Servings scale what a meal needs; a meal serving "as written" does not.
        QCOMPARE(text(add({}, meals.at(3), 8), false).section("; ", 0, 1),
                 QString("Plain flour=250 g[for Pancakes]; Milk=600 ml[for Pancakes]"));
        QCOMPARE(text(add({}, meals.at(2), 6), false).section("; ", 0, 0),
                 QString("Onions=2[for Soup]"));
        // Tins and grams side by side; what is at home left out.
        l = add(l, meals.at(2), 4, {foldName("Carrots")});
        QVERIFY(text(l, false).contains("Chopped tomatoes=400 g + 2 tins[for Chili, Soup]"));
        QVERIFY(!text(l, false).contains("Carrots"));
        // The list's own lines: a typed quantity stays, the parts beside it.
        l = add(aList(), meals.at(3), 4);
        QCOMPARE(text(l, false).section("; ", 0, 2),
                 QString("Milk=1[for Pancakes]; Eggs=a dozen[for Pancakes]; Onions=[]"));
        QVERIFY(l.at(0).typed() && l.at(1).typed());
        const Preview p = preview(aList(), meals.at(0), 4);
        QCOMPARE(p.entries.at(0).kind, Preview::Kind::Grows); // Onions, nothing typed
        QCOMPARE(p.entries.at(1).kind, Preview::Kind::New);
        QCOMPARE(preview(aList(), meals.at(3), 4).entries.at(1).kind, Preview::Kind::OnList);
    }

    // Properties over random plans: the same list in any order; adding and
    // taking back leaves the list as it was, byte for byte; typed quantities
    // never change.
    void mealPlansInAnyOrder()
    {
        using namespace MealPlan;
        const QList<Meal> meals = someMeals();
        QRandomGenerator rng(20261209);
        for (int round = 0; round < 300; ++round) {
            QList<int> chosen;
            for (int i = 0; i < meals.size(); ++i)
                if (rng.bounded(2))
                    chosen << i;
            const QList<Line> start = rng.bounded(2) ? aList() : QList<Line>{};
            QList<Line> forward = start, backward = start;
            for (int i : chosen)
                forward = add(forward, meals.at(i), 1 + i);
            for (qsizetype k = chosen.size() - 1; k >= 0; --k)
                backward = add(backward, meals.at(chosen.at(k)), 1 + chosen.at(k));
            QCOMPARE(text(forward, true), text(backward, true));
            for (const Line &l : start)
                if (l.typed())
                    for (const Line &f : forward)
                        if (f.key() == l.key())
                            QCOMPARE(f.quantity, l.quantity);
            // Taken back in any order: the list as it was.
            QList<int> order = chosen;
            for (qsizetype k = order.size() - 1; k > 0; --k)
                order.swapItemsAt(k, rng.bounded(int(k + 1)));
            QList<Line> back = forward;
            for (int i : order)
                back = remove(back, meals.at(i).id);
            QCOMPARE(text(back, false), text(start, false));
            // One meal added and taken back from the middle of a plan.
            if (!chosen.isEmpty()) {
                const Meal &m = meals.at(chosen.first());
                QCOMPARE(text(remove(add(forward, meals.at(0), 3), meals.at(0).id), true),
                         text(chosen.first() == 0 ? remove(forward, m.id) : forward, true));
            }
        }
    }

    // A year of a household's shopping: milk every 3-5 days with a fortnight
    // away, coffee every three weeks with one bulk buy, bread twice on some
    // days, a cake once, candles twice.
    void theUsualRhythmOverAYear()
    {
        const QDate start(2026, 1, 5);
        QHash<QString, QList<QDate>> bought;
        QRandomGenerator rng(42);
        for (QDate d = start; d < start.addDays(360); d = d.addDays(3 + rng.bounded(3))) {
            if (d >= QDate(2026, 7, 20) && d < QDate(2026, 8, 3))
                continue; // away
            bought["milk"] << d;
            bought["bread"] << d;
            if (rng.bounded(3) == 0)
                bought["bread"] << d; // a second loaf the same day
        }
        for (QDate d = start; d < start.addDays(360); d = d.addDays(21))
            if (d < QDate(2026, 4, 1) || d >= QDate(2026, 6, 1)) // a bulk buy lasted two months
                bought["coffee"] << d;
        bought["cake"] << QDate(2026, 9, 1);
        bought["candles"] << QDate(2026, 3, 1) << QDate(2026, 12, 1);
        const std::optional<int> milk = Usual::interval(bought["milk"]);
        QVERIFY(milk && *milk >= 3 && *milk <= 5);
        QCOMPARE(Usual::interval(bought["coffee"]).value_or(0), 21);
        QCOMPARE(Usual::interval(bought["bread"]), milk);
        QVERIFY(!Usual::interval(bought["cake"]));
        QVERIFY(!Usual::interval(bought["candles"]));

        const QDate lastCoffee = *std::max_element(bought["coffee"].cbegin(), bought["coffee"].cend());
        const QDate today = lastCoffee.addDays(25);
        Usual::Choices choices;
        choices.always << "salt";
        QList<Usual::Suggestion> due = Usual::due(bought, today, {"bread"}, choices);
        QStringList keys;
        for (const auto &s : due)
            keys << s.key;
        QVERIFY2(keys.contains("coffee") && !keys.contains("bread") && !keys.contains("cake") &&
                     keys.contains("salt"),
                 qPrintable(keys.join(",")));
        const auto coffee = std::find_if(due.cbegin(), due.cend(), [](const auto &s) { return s.key == "coffee"; });
        QCOMPARE(coffee->reason, QString("about every 21 days; last bought 25 days ago"));
        // "Not this time" quiets it for another interval; "Stop suggesting" for good.
        choices.notUntil.insert("coffee", Usual::quietUntil(21, today));
        auto suggests = [&](const QDate &day, const char *key) {
            const QList<Usual::Suggestion> now = Usual::due(bought, day, {}, choices);
            return std::any_of(now.cbegin(), now.cend(), [&](const auto &s) { return s.key == key; });
        };
        QVERIFY(!suggests(today, "coffee"));
        QVERIFY(suggests(today.addDays(21), "coffee"));
        choices.stopped << "coffee" << "salt";
        for (const auto &s : Usual::due(bought, today.addDays(100), {}, choices))
            QVERIFY(s.key != "coffee" && s.key != "salt");
    }

    // In the file: meals made, put on the list as one step, undone, redone,
    // taken back; the list's dump as it was; ticked lines that leave are
    // purchases, and their undo takes them back too.
    void mealsInTheFile()
    {
        test::TestDatabase db;
        Household file;
        QString error;
        QVERIFY2(file.open(db.database(), &error), qPrintable(error));
        QVERIFY(file.hasMeals());
        auto write = [&](const char *text, const std::function<bool(QString *)> &fn) {
            const bool ok = file.change(QString::fromLatin1(text), Household::List, fn, &error);
            if (!ok)
                qWarning() << error;
            return ok;
        };
        auto dump = [&] {
            QStringList out;
            for (const auto &r : db.rows("SELECT ID, Item, Category, Aisle, Quantity FROM Selected ORDER BY ID"))
                out << QVariant(r).toStringList().join("|");
            return out.join("\n");
        };
        QVERIFY(db.exec("INSERT INTO Selected (Item, Quantity) VALUES ('Milk', '1'), ('Onions', '')"));
        qint64 chili = 0, tacos = 0;
        QVector<Meals::Ingredient> in(3);
        in[0].item = "Onions";
        in[0].amount = "2";
        in[1].item = "Minced beef";
        in[1].category = "Meat";
        in[1].amount = "500 g";
        in[1].note = "lean";
        in[2].item = "Milk";
        in[2].amount = "100 ml";
        Meals::Row row;
        row.name = "Chili";
        row.serves = 4;
        row.note = "hot";
        QVERIFY(write("New Meal", [&](QString *e) {
            row.id = chili;
            return Meals::add(file.connection(), "Chili", &chili, e) &&
                   Meals::update(file.connection(), (row.id = chili, row), e) &&
                   Meals::setIngredients(file.connection(), chili, in, e) &&
                   Meals::duplicate(file.connection(), chili, &tacos, e);
        }));
        QCOMPARE(db.scalar("SELECT Name FROM Meals WHERE ID = ?", {tacos}).toString(), QString("Chili (copy)"));
        QCOMPARE(db.scalar("SELECT COUNT(*) FROM MealItems WHERE MealID = ?", {tacos}).toInt(), 3);
        const QString before = dump();
        QVERIFY(write("Add Meals", [&](QString *e) {
            return Meals::addToList(file.connection(), {{chili, 8}, {tacos, 4}}, {}, e);
        }));
        QCOMPARE(db.scalar("SELECT Quantity FROM Selected WHERE Item = 'Onions'").toString(), QString("6"));
        QCOMPARE(db.scalar("SELECT Quantity FROM Selected WHERE Item = 'Minced beef'").toString(),
                 QString("1.5 kg"));
        QCOMPARE(db.scalar("SELECT Quantity FROM Selected WHERE Item = 'Milk'").toString(), QString("1"));
        QHash<qint64, QString> forText;
        QVERIFY(Meals::forTexts(file.connection(), &forText, &error));
        const qint64 milk = db.scalar("SELECT ID FROM Selected WHERE Item = 'Milk'").toLongLong();
        QCOMPARE(forText.value(milk), QString("+ 300 ml for Chili, Chili (copy)"));
        const QString added = dump();
        QVERIFY(file.undo(&error));
        QCOMPARE(dump(), before);
        QVERIFY(file.redo(&error));
        QCOMPARE(dump(), added);
        QVector<Meals::Row> onList;
        QVERIFY(Meals::mealsOnList(file.connection(), &onList, &error));
        QCOMPARE(onList.size(), 2);
        QVERIFY(write("Remove Meal", [&](QString *e) { return Meals::removeFromList(file.connection(), chili, e); }));
        QCOMPARE(db.scalar("SELECT Quantity FROM Selected WHERE Item = 'Minced beef'").toString(),
                 QString("500 g"));
        QVERIFY(write("Remove Meal", [&](QString *e) { return Meals::removeFromList(file.connection(), tacos, e); }));
        QCOMPARE(dump(), before);
        // A meal deleted: its ingredients go, the lines it made stay named.
        QVERIFY(write("Add Meals", [&](QString *e) { return Meals::addToList(file.connection(), {{chili, 4}}, {}, e); }));
        QVERIFY(write("Delete Meal", [&](QString *e) { return Meals::remove(file.connection(), chili, e); }));
        QCOMPARE(db.scalar("SELECT COUNT(*) FROM MealItems WHERE MealID = ?", {chili}).toInt(), 0);
        QVERIFY(Meals::forTexts(file.connection(), &forText, &error));
        QVERIFY(forText.values().contains("for Chili"));

        // Ticked and removed: bought today; undone, not bought.
        const qint64 onions = db.scalar("SELECT ID FROM Selected WHERE Item = 'Onions'").toLongLong();
        QVERIFY(db.exec("INSERT INTO ShareTicks (LineID, Device, Seq) VALUES (?, 'A/1', 1)", {onions}));
        QVERIFY(write("Remove Ticked", [&](QString *e) { return ShareStore::removeTicked(file.connection(), nullptr, e); }));
        QHash<QString, QList<QDate>> bought;
        QVERIFY(Meals::history(file.connection(), &bought, &error));
        QCOMPARE(bought.value(foldName("onion")), QList<QDate>{QDate::currentDate()});
        QVERIFY(file.undo(&error));
        QCOMPARE(db.scalar("SELECT COUNT(*) FROM Purchases").toInt(), 0);
    }

    // Suggestions from the file: named as last bought whatever the rows'
    // order (on one day the later row), found in the catalogue by that name.
    void suggestionsFromTheFile()
    {
        test::TestDatabase db;
        Household file;
        QString error;
        QVERIFY2(file.open(db.database(), &error), qPrintable(error));
        const QDate today = QDate::currentDate();
        QVERIFY(db.exec("INSERT INTO Vendora (Item, Category, Aisle) VALUES ('Coffee', 'Drinks', '7'), "
                        "('COFFEE', 'Wrong', '1')"));
        const QString last = today.addDays(-10).toString(Qt::ISODate);
        // The newest days first, under other spellings before them.
        QVERIFY(db.exec("INSERT INTO Purchases (Item, Bought) VALUES ('coffee', ?), ('Coffee', ?)",
                        {last, last}));
        for (int week = 1; week <= 8; ++week)
            QVERIFY(db.exec("INSERT INTO Purchases (Item, Bought) VALUES ('COFFEE', ?)",
                            {today.addDays(-10 - 7 * week).toString(Qt::ISODate)}));
        QList<Meals::Due> due;
        QVERIFY2(Meals::due(file.connection(), today, &due, &error), qPrintable(error));
        QCOMPARE(due.size(), 1);
        QCOMPARE(due.at(0).item, QString("Coffee"));
        QCOMPARE(due.at(0).category, QString("Drinks"));
        QCOMPARE(due.at(0).aisle, QString("7"));
        QCOMPARE(due.at(0).suggestion.everyDays, 7);
        QCOMPARE(due.at(0).suggestion.sinceDays, 10);
        QHash<QString, QList<QDate>> bought;
        QVERIFY(Meals::history(file.connection(), &bought, &error));
        QCOMPARE(bought.size(), 1);
        QCOMPARE(bought.value(foldName("coffee")).size(), 10);
        // On the list already: not suggested.
        QVERIFY(db.exec("INSERT INTO Selected (Item, Quantity) VALUES ('coffee', '1')"));
        QVERIFY(Meals::due(file.connection(), today, &due, &error));
        QVERIFY(due.isEmpty());
    }

    // Text from anywhere: read without a crash, kept as typed.
    void hostileText()
    {
        const QString sql = "1 cup '); DROP TABLE Vendora; --";
        QCOMPARE(parseIngredientLine(sql).name, QString("'); DROP TABLE Vendora; --"));
        QCOMPARE(parseIngredientLine("2 <script>alert(1)</script>").name,
                 QString("<script>alert</script>"));
        const QString rtl = QString::fromUtf8("200 g \u05e7\u05de\u05d7");
        QCOMPARE(parseIngredientLine(rtl).name, QString::fromUtf8("\u05e7\u05de\u05d7"));
        QCOMPARE(parseIngredientLine(QString::fromUtf8("3 \U0001F345")).name,
                 QString::fromUtf8("\U0001F345"));
        const QString longLine = "1 kg " + QString(5000, QChar('x'));
        QCOMPARE(parseIngredientLine(longLine).name.size(), 5000);
        for (const QString &odd : {QString(), QString(" "), QString("(((("), QString(",,,"),
                                   QString("1/0 cup"), QString("99999999999999999999 g"),
                                   QString("½½½"), QString("- - -"), QString("1 -"),
                                   QString("3-1 tins"), QString(QChar(0))})
            parseIngredientLine(odd);
        QStringList many;
        for (int i = 0; i < 10000; ++i)
            many << QString("%1 g item %1").arg(i);
        int read = 0;
        for (const QString &l : std::as_const(many))
            read += parseIngredientLine(l).amount.known();
        QCOMPARE(read, 10000);
    }
};

QTEST_MAIN(TstMeals)
#include "tst_meals.moc"

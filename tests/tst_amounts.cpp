// Amounts as recipes and shoppers write them, read and added up: a table of
// real ingredient lines from several cuisines, the round trip, the adding
// up within a dimension only, names folded for matching, and hostile text.
#include "data/shopping/Amount.h"

#include <QRandomGenerator>
#include <QtTest>

using namespace pantrio;

class TstAmounts : public QObject
{
    Q_OBJECT

    static QString shown(const Amount &a)
    {
        return a.known() || !a.text.isEmpty() ? a.toString() : QStringLiteral("?");
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

QTEST_MAIN(TstAmounts)
#include "tst_amounts.moc"

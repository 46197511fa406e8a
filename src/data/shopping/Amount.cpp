#include "data/shopping/Amount.h"

#include <QHash>
#include <QRegularExpression>

#include <cmath>

namespace pantrio
{

namespace
{

struct Unit {
    Amount::Dimension dimension;
    QString shortName; // as written back ("g", "tsp", "tin"; "" for pieces)
    double factor;     // base units per one of it
};

// Every spelling a recipe uses, folded to lower case without a final dot.
const QHash<QString, Unit> &units()
{
    using D = Amount::Dimension;
    static const QHash<QString, Unit> table = [] {
        QHash<QString, Unit> t;
        auto add = [&t](std::initializer_list<const char *> names, D d, const char *shortName,
                        double factor) {
            for (const char *n : names)
                t.insert(QString::fromUtf8(n), {d, QString::fromUtf8(shortName), factor});
        };
        add({"g", "gr", "gram", "grams", "gramm", "gramme", "grammes"}, D::Mass, "g", 1);
        add({"kg", "kilo", "kilos", "kilogram", "kilograms", "kilogramm"}, D::Mass, "kg", 1000);
        add({"mg", "milligram", "milligrams"}, D::Mass, "mg", 0.001);
        add({"oz", "ounce", "ounces"}, D::Mass, "oz", 28.349523125);
        add({"lb", "lbs", "pound", "pounds", "pfund"}, D::Mass, "lb", 453.59237);
        add({"ml", "millilitre", "millilitres", "milliliter", "milliliters"}, D::Volume, "ml", 1);
        add({"cl"}, D::Volume, "cl", 10);
        add({"dl"}, D::Volume, "dl", 100);
        add({"l", "litre", "litres", "liter", "liters", "ltr"}, D::Volume, "l", 1000);
        add({"tsp", "tsps", "teaspoon", "teaspoons", "tl"}, D::Volume, "tsp", 5);
        add({"tbsp", "tbsps", "tbs", "tablespoon", "tablespoons", "el"}, D::Volume, "tbsp", 15);
        add({"cup", "cups", "tasse", "tassen"}, D::Volume, "cup", 240);
        add({"piece", "pieces", "pc", "pcs", "stück", "stk", "x"}, D::Count, "", 1);
        add({"tin", "tins", "can", "cans", "dose", "dosen"}, D::Count, "tin", 1);
        add({"clove", "cloves", "zehe", "zehen"}, D::Count, "clove", 1);
        add({"bunch", "bunches", "bund"}, D::Count, "bunch", 1);
        add({"slice", "slices", "scheibe", "scheiben"}, D::Count, "slice", 1);
        add({"packet", "packets", "pack", "packs", "package", "packages", "packung", "packungen",
             "pkg", "päckchen"},
            D::Count, "packet", 1);
        add({"jar", "jars", "glas", "gläser"}, D::Count, "jar", 1);
        add({"bottle", "bottles", "flasche", "flaschen"}, D::Count, "bottle", 1);
        add({"bag", "bags", "beutel"}, D::Count, "bag", 1);
        add({"head", "heads", "kopf"}, D::Count, "head", 1);
        add({"stick", "sticks", "stange", "stangen"}, D::Count, "stick", 1);
        add({"sprig", "sprigs", "zweig", "zweige"}, D::Count, "sprig", 1);
        // Amounts no one adds up: kept as the words they are.
        add({"pinch", "pinches", "prise", "prisen", "dash", "dashes", "handful", "handfuls",
             "handvoll", "splash", "schuss", "knob", "msp"},
            D::Text, "", 0);
        return t;
    }();
    return table;
}

double vulgar(QChar c)
{
    switch (c.unicode()) {
    case 0x00BD: return 0.5;
    case 0x2153: return 1.0 / 3;
    case 0x2154: return 2.0 / 3;
    case 0x00BC: return 0.25;
    case 0x00BE: return 0.75;
    case 0x2155: return 0.2;
    case 0x215B: return 0.125;
    case 0x215C: return 0.375;
    case 0x215D: return 0.625;
    case 0x215E: return 0.875;
    default: return -1;
    }
}

// Reads a number at pos: "2", "1.5", "1,5", "½", "1½", "1 1/2", "3/4".
bool readNumber(const QString &s, qsizetype &pos, double *out)
{
    qsizetype i = pos;
    auto digits = [&](qsizetype from, qsizetype *to) {
        qsizetype j = from;
        while (j < s.size() && s.at(j) >= QLatin1Char('0') && s.at(j) <= QLatin1Char('9'))
            ++j;
        *to = j;
        return j > from;
    };
    qsizetype end = i;
    if (i < s.size() && vulgar(s.at(i)) >= 0) {
        *out = vulgar(s.at(i));
        pos = i + 1;
        return true;
    }
    if (!digits(i, &end))
        return false;
    double value = s.mid(i, end - i).toDouble();
    i = end;
    // A decimal point or comma between digits.
    if (i + 1 < s.size() && (s.at(i) == QLatin1Char('.') || s.at(i) == QLatin1Char(',')) &&
        digits(i + 1, &end)) {
        value = (s.mid(pos, i - pos) + QLatin1Char('.') + s.mid(i + 1, end - i - 1)).toDouble();
        i = end;
    } else if (i < s.size() && vulgar(s.at(i)) >= 0) {
        value += vulgar(s.at(i)); // 1½
        ++i;
    } else {
        // A fraction "3/4", or a mixed number "1 1/2".
        const QRegularExpression fraction(QStringLiteral("^\\s?(\\d+)\\s?[/\u2044]\\s?(\\d+)"));
        const QRegularExpressionMatch direct =
            QRegularExpression(QStringLiteral("^[/\u2044](\\d+)")).match(QStringView(s).mid(i));
        if (direct.hasMatch() && direct.captured(1).toDouble() > 0) {
            value = value / direct.captured(1).toDouble();
            i += direct.capturedLength();
        } else if (i < s.size() && s.at(i).isSpace()) {
            const QRegularExpressionMatch mixed = fraction.match(QStringView(s).mid(i));
            if (mixed.hasMatch() && mixed.captured(2).toDouble() > 0 &&
                mixed.captured(1).toDouble() < mixed.captured(2).toDouble()) {
                value += mixed.captured(1).toDouble() / mixed.captured(2).toDouble();
                i += mixed.capturedLength();
            } else if (i + 1 < s.size() && vulgar(s.at(i + 1)) >= 0) {
                value += vulgar(s.at(i + 1)); // 1 ½
                i += 2;
            }
        }
    }
    *out = value;
    pos = i;
    return true;
}

void skipSpaces(const QString &s, qsizetype &pos)
{
    while (pos < s.size() && s.at(pos).isSpace())
        ++pos;
}

QString wordAt(const QString &s, qsizetype pos, qsizetype *end)
{
    qsizetype j = pos;
    while (j < s.size() && (s.at(j).isLetter()))
        ++j;
    *end = j;
    return s.mid(pos, j - pos).toLower();
}

bool isArticle(const QString &w)
{
    static const QStringList articles = {QStringLiteral("a"),   QStringLiteral("an"),
                                         QStringLiteral("one"), QStringLiteral("ein"),
                                         QStringLiteral("eine"), QStringLiteral("einen"),
                                         QStringLiteral("un"),  QStringLiteral("une")};
    return articles.contains(w);
}

QString number(double v)
{
    QString t = QString::number(v, 'f', 3);
    while (t.endsWith(QLatin1Char('0')))
        t.chop(1);
    if (t.endsWith(QLatin1Char('.')))
        t.chop(1);
    return t;
}

QString plural(const QString &kind, double n)
{
    if (kind.isEmpty() || n == 1)
        return kind;
    if (kind.endsWith(QLatin1String("ch")) || kind.endsWith(QLatin1String("sh")) ||
        kind.endsWith(QLatin1Char('s')) || kind.endsWith(QLatin1Char('x')))
        return kind + QStringLiteral("es");
    return kind + QLatin1Char('s');
}

double factorOf(const Amount &a)
{
    const auto it = units().constFind(a.unit);
    return it == units().cend() || a.dimension == Amount::Dimension::Count ? 1 : it->factor;
}

} // namespace

Amount Amount::parse(const QString &text, QString *rest)
{
    Amount a;
    const QString s = text.trimmed();
    qsizetype pos = 0;
    double low = 0, high = 0;
    bool counted = readNumber(s, pos, &low);
    qsizetype wordEnd = 0;
    if (!counted && isArticle(wordAt(s, 0, &wordEnd))) {
        // "a pinch", "eine Prise", "one tin": a number only with a unit after it.
        qsizetype next = wordEnd;
        skipSpaces(s, next);
        qsizetype unitEnd = 0;
        if (units().contains(wordAt(s, next, &unitEnd))) {
            counted = true;
            low = 1;
            pos = wordEnd;
        }
    }
    if (!counted) {
        a.text.clear();
        if (rest)
            *rest = s;
        return a;
    }
    high = low;
    // A range: "2-3", "2 – 3", "2 to 3", "2 bis 3".
    {
        qsizetype p = pos;
        skipSpaces(s, p);
        qsizetype after = p;
        if (p < s.size() && (s.at(p) == QLatin1Char('-') || s.at(p) == QChar(0x2013)))
            after = p + 1;
        else {
            qsizetype e = 0;
            const QString w = wordAt(s, p, &e);
            if (w == QLatin1String("to") || w == QLatin1String("bis") || w == QLatin1String("or"))
                after = e;
        }
        if (after != p) {
            skipSpaces(s, after);
            double top = 0;
            qsizetype q = after;
            if (readNumber(s, q, &top) && top >= low) {
                high = top;
                pos = q;
            }
        }
    }
    const qsizetype numberEnd = pos;
    skipSpaces(s, pos);
    qsizetype unitEnd = 0;
    const QString word = wordAt(s, pos, &unitEnd);
    // A unit is a word of its own: "200g", "200 g", "2 tbsp." but not "2 grapes".
    const auto it = units().constFind(word);
    const bool isUnit = it != units().cend() &&
                        (unitEnd >= s.size() || !s.at(unitEnd).isLetterOrNumber());
    if (isUnit) {
        if (unitEnd < s.size() && s.at(unitEnd) == QLatin1Char('.'))
            ++unitEnd;
        if (it->dimension == Dimension::Text) {
            a.text = s.left(unitEnd).simplified();
        } else {
            a.dimension = it->dimension;
            a.unit = it->shortName;
            a.low = low * it->factor;
            a.high = high * it->factor;
        }
        pos = unitEnd;
    } else {
        a.dimension = Dimension::Count;
        a.low = low;
        a.high = high;
        pos = numberEnd;
    }
    if (rest) {
        QString r = s.mid(pos).trimmed();
        for (const QLatin1String of : {QLatin1String("of "), QLatin1String("von ")})
            if (r.startsWith(of, Qt::CaseInsensitive))
                r = r.mid(of.size()).trimmed();
        *rest = r;
    }
    return a;
}

QString Amount::toString() const
{
    if (dimension == Dimension::Text)
        return text;
    const double f = factorOf(*this);
    QString n = number(low / f);
    if (isRange())
        n += QLatin1Char('-') + number(high / f);
    if (unit.isEmpty())
        return n;
    return n + QLatin1Char(' ') + (dimension == Dimension::Count ? plural(unit, high) : unit);
}

bool Amount::addsTo(const Amount &other) const
{
    return known() && dimension == other.dimension &&
           (dimension != Dimension::Count || unit == other.unit);
}

QList<Amount> addUp(const QList<Amount> &amounts)
{
    QList<Amount> out;
    for (const Amount &a : amounts) {
        if (a.dimension == Amount::Dimension::Text && a.text.isEmpty())
            continue;
        auto same = std::find_if(out.begin(), out.end(), [&](const Amount &o) {
            return a.known() ? o.addsTo(a)
                             : !o.known() && o.text.compare(a.text, Qt::CaseInsensitive) == 0;
        });
        if (same == out.end()) {
            out << a;
            continue;
        }
        if (!a.known())
            continue; // "a pinch" once
        same->low += a.low;
        same->high += a.high;
        if (same->high >= 1000 && (same->unit == QLatin1String("g") || same->unit == QLatin1String("ml")))
            same->unit = same->unit == QLatin1String("g") ? QStringLiteral("kg") : QStringLiteral("l");
        else if (same->unit != a.unit) {
            // Mixed units of one dimension: in the metric unit that reads best.
            const bool big = same->high >= 1000;
            same->unit = same->dimension == Amount::Dimension::Mass ? (big ? QStringLiteral("kg")
                                                                             : QStringLiteral("g"))
                                                                    : (big ? QStringLiteral("l")
                                                                           : QStringLiteral("ml"));
        }
    }
    return out;
}

QString describe(const QList<Amount> &amounts)
{
    QStringList parts;
    for (const Amount &a : amounts)
        parts << a.toString();
    return parts.join(QStringLiteral(" + "));
}

IngredientLine parseIngredientLine(const QString &line)
{
    IngredientLine out;
    QString s = line.simplified();
    // Bullets and boxes a page puts before each line.
    static const QRegularExpression bullet(QStringLiteral("^[-*\u2022\u00B7\u25A2\u2610]+\\s*"));
    s.remove(bullet);
    QString rest;
    out.amount = Amount::parse(s, &rest);
    if (!out.amount.known() && out.amount.text.isEmpty()) {
        // "Salz, eine Prise": the name first, the amount after a comma.
        const qsizetype comma = s.indexOf(QLatin1Char(','));
        if (comma > 0) {
            QString after;
            const Amount trailing = Amount::parse(s.mid(comma + 1), &after);
            if ((trailing.known() || !trailing.text.isEmpty()) && after.isEmpty()) {
                out.amount = trailing;
                rest = s.left(comma);
            }
        }
    }
    // The note: what stands in brackets, and what follows the first comma.
    QStringList notes;
    static const QRegularExpression bracket(QStringLiteral("\\s*\\(([^()]*)\\)"));
    const QRegularExpressionMatch b = bracket.match(rest);
    if (b.hasMatch()) {
        notes << b.captured(1).trimmed();
        rest.remove(b.capturedStart(), b.capturedLength());
    }
    const qsizetype comma = rest.indexOf(QLatin1Char(','));
    if (comma >= 0) {
        notes.prepend(rest.mid(comma + 1).trimmed());
        rest.truncate(comma);
    }
    notes.removeAll(QString());
    out.name = rest.simplified();
    out.note = notes.join(QStringLiteral("; "));
    return out;
}

QString foldName(const QString &name)
{
    QString d = name.toLower().normalized(QString::NormalizationForm_D);
    QString out;
    out.reserve(d.size());
    for (const QChar c : std::as_const(d)) {
        if (c.category() == QChar::Mark_NonSpacing)
            continue;
        if (c == QChar(0x00DF))
            out += QStringLiteral("ss");
        else
            out += c;
    }
    out = out.simplified();
    // Plural endings on the last word, until none is left: singular and plural
    // then fold to the same key.
    for (int round = 0; round < 3; ++round) {
        const QString before = out;
        auto ends = [&out](const char *e) { return out.endsWith(QLatin1String(e)) && out.size() > 3; };
        if (ends("ies"))
            out = out.chopped(3) + QLatin1Char('y');
        else if (ends("oes") || ends("ches") || ends("shes") || ends("xes") || ends("sses"))
            out.chop(2);
        else if (ends("s") && !ends("ss"))
            out.chop(1);
        else if (ends("eln") || ends("ern") || ends("en"))
            out.chop(1);
        if (out == before)
            break;
    }
    return out;
}

} // namespace pantrio

#pragma once

#include <QList>
#include <QString>

namespace pantrio
{

// An amount as a recipe or a shopper writes it: "200 g", "1,5 kg", "½ tsp",
// "1 1/2 cups", "2-3", "2 tins", "a pinch". What is understood is kept as a
// number in the base unit of its dimension (grams, millilitres, pieces of a
// named kind); what is not stays the text it was, never guessed.
struct Amount {
    enum class Dimension { Text, Count, Mass, Volume };

    Dimension dimension = Dimension::Text;
    double low = 0;  // in the base unit: g, ml, or pieces
    double high = 0; // a range's top; low when it is no range
    // The unit as written, folded to its short form ("g", "tsp", "tin"); for
    // counts the kind of piece ("tin", "clove"), empty for bare numbers.
    QString unit;
    QString text; // what was not understood, as typed

    bool known() const { return dimension != Dimension::Text; }
    bool isRange() const { return high != low; }

    // The amount at the start of text; *rest (when given) gets what follows it.
    static Amount parse(const QString &text, QString *rest = nullptr);
    // Written back so that parse() gives the same amount.
    QString toString() const;
    // Whether two amounts may be added into one (the same dimension, and for
    // counts the same kind of piece).
    bool addsTo(const Amount &other) const;
};

// Amounts added up where their units agree, side by side where not, in the
// order first met: "500 g + 2 tins". Texts ("a pinch") are kept, each once.
QList<Amount> addUp(const QList<Amount> &amounts);
QString describe(const QList<Amount> &amounts);

// One line of a pasted recipe: the amount, the name of the item and a note
// ("2 large onions, chopped" -> 2, "large onions", "chopped"; "Salz, eine
// Prise" -> "eine Prise", "Salz").
struct IngredientLine {
    Amount amount;
    QString name;
    QString note;
};
IngredientLine parseIngredientLine(const QString &line);

// A name folded for matching: case, accents and marks, spacing, and an
// English or German plural ending ("Tomatoes" -> "tomato", "Äpfel" ->
// "apfel").
QString foldName(const QString &name);

} // namespace pantrio

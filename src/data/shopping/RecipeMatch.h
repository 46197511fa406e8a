#pragma once

#include "data/access/RowStore.h"
#include "data/shopping/Amount.h"

#include <QHash>
#include <QSet>
#include <QList>
#include <QString>
#include <QStringList>

namespace pantrio
{

// Pasted recipe lines matched to the catalogue: a line whose name folds to
// exactly one item's name is matched; any other gets the closest names to
// offer, and the user decides. Nothing is guessed.
class RecipeMatch
{
  public:
    struct Item {
        QString name, category, aisle;
    };
    struct Line {
        QString text; // the line as pasted
        IngredientLine parsed;
        int match = -1;       // into the catalogue; -1 when the user must say
        QList<int> closest;   // best first, at most three
    };

    // The catalogue's rows: name, category, aisle.
    explicit RecipeMatch(RowStore catalogue);

    Item item(int index) const;
    // Blank lines and headings ("For the sauce:") give none.
    QList<Line> match(const QString &pasted) const;

  private:
    // The items whose names have each of these words.
    QHash<QString, QList<int>> itemsWithWords(const QSet<QString> &wanted) const;
    struct Lookup {
        QHash<QString, QList<int>> byWord; // the pasted words' items
        QHash<qsizetype, QList<int>> lengths; // short names by length, at the first misspelling
        bool lengthsBuilt = false;
    };
    const QHash<qsizetype, QList<int>> &shortNamesByLength(Lookup &lookup) const;
    void rank(Line &line, const QString &key, Lookup &lookup) const;

    QString name(int index) const;

    RowStore m_items;
    QStringList m_keys; // each item's folded name
    QHash<QString, int> m_byKey; // folded name -> an item of it
};

} // namespace pantrio

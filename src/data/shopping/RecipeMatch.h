#pragma once

#include "data/shopping/Amount.h"

#include <QHash>
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

    explicit RecipeMatch(QList<Item> catalogue);

    const Item &item(int index) const { return m_items.at(index); }
    // Blank lines and headings ("For the sauce:") give none.
    QList<Line> match(const QString &pasted) const;
    Line matchLine(const QString &text) const;

  private:
    QList<Item> m_items;
    QStringList m_keys; // each item's folded name
    QHash<QString, int> m_byKey;             // folded name -> first item of it
    QHash<QString, QList<int>> m_byWord;     // folded word -> items that have it
};

} // namespace pantrio

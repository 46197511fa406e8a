#pragma once

#include <QLineEdit>
#include <QStyledItemDelegate>

#include <limits>

namespace pantrio
{

// Text boxes keep whatever the user types or pastes: a line edit's default
// limit of 32,767 characters would cut a longer text without a word.
inline void keepLongText(QLineEdit *edit)
{
    edit->setMaxLength(std::numeric_limits<int>::max());
}

// The same for the cells of a grid.
class LongTextDelegate : public QStyledItemDelegate
{
  public:
    using QStyledItemDelegate::QStyledItemDelegate;
    QWidget *createEditor(QWidget *parent, const QStyleOptionViewItem &option,
                          const QModelIndex &index) const override
    {
        QWidget *editor = QStyledItemDelegate::createEditor(parent, option, index);
        if (auto *line = qobject_cast<QLineEdit *>(editor))
            keepLongText(line);
        return editor;
    }
};

} // namespace pantrio

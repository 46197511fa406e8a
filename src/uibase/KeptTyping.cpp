#include "uibase/KeptTyping.h"

#include <QAbstractItemDelegate>

#include <QAbstractItemView>
#include <QLineEdit>
#include <QMetaProperty>

namespace pantrio
{

namespace
{
QWidget *openEditor(QAbstractItemView *view)
{
    // The editor of the current cell is the viewport's one visible child.
    const QList<QWidget *> children =
        view->viewport()->findChildren<QWidget *>(QString(), Qt::FindDirectChildrenOnly);
    for (QWidget *w : children)
        if (w->isVisible())
            return w;
    return nullptr;
}
} // namespace

KeptTyping KeptTyping::take(QAbstractItemView *view, const std::function<QVariant(int row)> &keyOf)
{
    KeptTyping kept;
    QWidget *editor = openEditor(view);
    if (!editor)
        return kept;
    const QMetaProperty user = editor->metaObject()->userProperty();
    if (!user.isValid())
        return kept;
    const QModelIndex at = view->indexAt(editor->geometry().center());
    if (!at.isValid())
        return kept;
    kept.m_active = true;
    kept.m_key = keyOf(at.row());
    kept.m_column = at.column();
    kept.m_value = user.read(editor);
    if (auto *line = qobject_cast<QLineEdit *>(editor))
        kept.m_cursor = line->cursorPosition();
    return kept;
}

void KeptTyping::restore(QAbstractItemView *view,
                         const std::function<int(const QVariant &key)> &rowOf) const
{
    if (!m_active || !view->model())
        return;
    const int row = rowOf(m_key);
    if (row < 0)
        return;
    const QModelIndex at = view->model()->index(row, m_column);
    view->setCurrentIndex(at);
    view->edit(at);
    QWidget *editor = openEditor(view);
    if (!editor)
        return;
    editor->metaObject()->userProperty().write(editor, m_value);
    if (auto *line = qobject_cast<QLineEdit *>(editor)) {
        line->deselect();
        line->setCursorPosition(m_cursor);
    }
}

void KeptTyping::commitOpenEditors(QAbstractItemView *view)
{
    QAbstractItemDelegate *delegate = view->itemDelegate();
    const QList<QWidget *> editors =
        view->viewport()->findChildren<QWidget *>(QString(), Qt::FindDirectChildrenOnly);
    for (QWidget *editor : editors) {
        if (!editor->isVisible())
            continue;
        emit delegate->commitData(editor);
        emit delegate->closeEditor(editor, QAbstractItemDelegate::NoHint);
    }
}

} // namespace pantrio

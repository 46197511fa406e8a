#pragma once

#include <QString>
#include <QVariant>

#include <functional>

class QAbstractItemView;

namespace pantrio
{

// What is being typed in a cell of a view, kept across a reload of the
// view's model (which closes every editor unsaved): taken before the reload,
// the editor is opened again afterwards on the same row, found by a key that
// survives the reload, with the same text and cursor.
class KeptTyping
{
  public:
    static KeptTyping take(QAbstractItemView *view, const std::function<QVariant(int row)> &keyOf);
    // Nothing when nothing was being typed or the row is gone.
    void restore(QAbstractItemView *view, const std::function<int(const QVariant &key)> &rowOf) const;

    // Ends every edit open in the view as Return would, so what was typed
    // reaches its model.
    static void commitOpenEditors(QAbstractItemView *view);

  private:
    bool m_active = false;
    QVariant m_key;
    int m_column = -1;
    QVariant m_value;
    int m_cursor = -1;
};

} // namespace pantrio

#pragma once

#include "data/access/RowStore.h"

#include <QAbstractTableModel>
#include <QTreeView>

namespace pantrio
{

// The catalogue view's entries: text, two sub-items, a check box and a bold
// mark each, in display order. Entries are a snapshot, independent of the
// record set they were taken from (shared with it until either changes); at
// 100,000 rows an entry costs a few bytes beside it.
class CatalogueModel : public QAbstractTableModel
{
    Q_OBJECT
  public:
    struct Entry {
        QString text;
        QString sub1;
        QString sub2;
        bool checked = false;
        bool bold = false;
    };

    using QAbstractTableModel::QAbstractTableModel;

    void addColumn(const QString &title);
    int columnHeaderCount() const { return int(m_headers.size()); }
    // The entries: rows in the given order, showing the fields text, sub1 and
    // sub2 (-1: none); a Null text shows as "-".
    void setRows(const RowStore &rows, QVector<int> order, int text, int sub1, int sub2);
    void clear();
    int count() const { return int(m_order.size()); }
    Entry entry(int i) const;
    bool isChecked(int i) const { return m_marks.at(i) & Checked; }
    void setChecked(int i, bool on);
    void setBold(int i, bool on);
    // Makes exactly the ticked entries bold, and repaints once.
    void setAllBoldToChecked();
    // Clears every tick and bold mark, and repaints once.
    void clearAllMarks();
    // Clears the tick and bold mark of the given entries only.
    void clearMarks(const QVector<int> &rows);

    int rowCount(const QModelIndex &parent = {}) const override;
    int columnCount(const QModelIndex &parent = {}) const override;
    QVariant data(const QModelIndex &index, int role) const override;
    QVariant headerData(int section, Qt::Orientation o, int role) const override;
    Qt::ItemFlags flags(const QModelIndex &index) const override;
    bool setData(const QModelIndex &index, const QVariant &value, int role) override;

  private:
    enum Mark : quint8 { Checked = 1, Bold = 2 };
    template <typename Fn> void changeAll(Fn change);
    QString textAt(int i, int column) const;

    QStringList m_headers;
    RowStore m_rows;
    QVector<int> m_order;
    int m_fields[3] = {-1, -1, -1};
    QVector<quint8> m_marks;
};

// A report-style list view with check boxes; anyClick() fires on any click in
// it, after the click has done its own work (such as toggling a check box).
// Space ticks the current entry from any column.
class CatalogueView : public QTreeView
{
    Q_OBJECT
  public:
    explicit CatalogueView(QWidget *parent = nullptr);
    CatalogueModel *catalogue() const { return m_model; }
    // Columns with these titles, a third each of the room inside the frame
    // and beside the scroll bar.
    void addColumnsInThirds(const QStringList &titles);

  signals:
    void anyClick();

  protected:
    void mouseReleaseEvent(QMouseEvent *event) override;
    void keyPressEvent(QKeyEvent *event) override;

  private:
    CatalogueModel *m_model;
};

} // namespace pantrio

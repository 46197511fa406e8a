#pragma once

#include <QAbstractTableModel>
#include <QPointer>
#include <QHash>
#include <QSet>

namespace pantrio
{

class RecordSet;

// Binds a record set to a view: one row per visible record, one column per
// field, headed by the field name. Edits become pending changes of the record;
// the owner decides when to write them (cellEdited tells it).
class RecordSetModel : public QAbstractTableModel
{
    Q_OBJECT
  public:
    explicit RecordSetModel(QObject *parent = nullptr);

    void setRecordSet(RecordSet *recordset);
    RecordSet *recordSet() const { return m_rs; }
    void setReadOnlyFields(const QStringList &fields) { m_readOnly = fields; }
    // Only these fields, in this order, become columns (all when empty), so a
    // list shows, and tells a screen reader, the one field it is for.
    void setColumns(const QStringList &fields);
    // The text shown for an empty or Null value of the given field ("-" for a
    // nameless item); what is edited and compared stays the value itself.
    void setEmptyText(const QString &field, const QString &text);
    // Rows whose key (the field keyField) is in keys show as ticked in the
    // first column, the others as unticked; an empty set shows no ticks.
    void setTicked(const QSet<qint64> &keys, const QString &keyField);
    // Only these keys' ticks changed (ticked or not): their rows alone are
    // told, so a phone's tick costs one row, not the grid.
    void setTicks(const QHash<qint64, bool> &changed, const QString &keyField);
    // A note shown after the value of noteField, for rows whose key is in
    // notes ("Onions — for Chili, Tacos"); what is edited stays the value.
    void setNotes(const QHash<qint64, QString> &notes, const QString &keyField,
                  const QString &noteField);
    // The record set's field behind a column.
    int fieldOf(int column) const;

    int rowCount(const QModelIndex &parent = {}) const override;
    int columnCount(const QModelIndex &parent = {}) const override;
    QVariant data(const QModelIndex &index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation,
                        int role = Qt::DisplayRole) const override;
    Qt::ItemFlags flags(const QModelIndex &index) const override;
    bool setData(const QModelIndex &index, const QVariant &value, int role = Qt::EditRole) override;

  signals:
    void cellEdited(int row, int column);

  private:
    QPointer<RecordSet> m_rs;
    QStringList m_readOnly;
    QStringList m_columns;
    QString m_emptyField;
    QString m_emptyText;
    QSet<qint64> m_ticked;
    QString m_tickKey;
    QHash<qint64, QString> m_notes;
    QString m_noteKey, m_noteField;
    QList<QMetaObject::Connection> m_links;
};

} // namespace pantrio

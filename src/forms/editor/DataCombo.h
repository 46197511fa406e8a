#pragma once

#include <QVariant>
#include <QWidget>

class QLineEdit;
class QListView;

namespace pantrio
{

class RecordSet;
class RecordSetModel;

// A combo whose list is always open beneath its edit part, filled from a
// record set: it shows one field and is bound to another. Click() fires when
// the user clicks the list or the edit part, or presses Enter in it.
class DataCombo : public QWidget
{
    Q_OBJECT
  public:
    explicit DataCombo(QWidget *parent = nullptr);

    void setRowSource(RecordSet *recordset, const QString &listField, const QString &boundField);
    // Re-reads the list from its row source as it now stands.
    void refresh();

    QString text() const;
    void setText(const QString &text);
    // The entry whose shown text equals the edit text (ignoring case), or -1.
    int matchingRow() const;
    bool matchedWithList() const { return matchingRow() >= 0; }
    // The bound field of the matching entry; the text itself when none matches.
    QVariant boundText() const;

    // The name a screen reader gives the combo, its edit part and its list.
    void setNames(const QString &name);

    QLineEdit *editPart() const { return m_edit; }
    QListView *listPart() const { return m_list; }

  signals:
    void Click();

  protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

  private:
    QString shownText(int row) const;

    QLineEdit *m_edit;
    QListView *m_list;
    RecordSetModel *m_model;
    QString m_listField;
    QString m_boundField;
};

} // namespace pantrio

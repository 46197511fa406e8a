#include "DataCombo.h"

#include "RecordSet.h"
#include "RecordSetModel.h"

#include <QEvent>
#include <QKeyEvent>
#include <QLineEdit>
#include <QListView>
#include <QVBoxLayout>

namespace pantrio
{

DataCombo::DataCombo(QWidget *parent)
    : QWidget(parent), m_edit(new QLineEdit(this)), m_list(new QListView(this)),
      m_model(new RecordSetModel(this))
{
    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    layout->addWidget(m_edit);
    layout->addWidget(m_list, 1);
    m_list->setModel(m_model);
    m_list->setUniformItemSizes(true); // the find list holds the whole catalogue
    m_list->setEditTriggers(QAbstractItemView::NoEditTriggers);
    setFocusProxy(m_edit);
    m_edit->installEventFilter(this);
    connect(m_list, &QListView::clicked, this, [this](const QModelIndex &index) {
        m_edit->setText(m_model->data(index).toString());
        emit Click();
    });
}

void DataCombo::setRowSource(RecordSet *recordset, const QString &listField,
                             const QString &boundField)
{
    m_listField = listField;
    m_boundField = boundField;
    m_model->setRecordSet(recordset);
    refresh();
}

void DataCombo::refresh()
{
    m_model->setRecordSet(m_model->recordSet());
    if (RecordSet *rs = m_model->recordSet())
        m_list->setModelColumn(std::max(0, rs->fieldIndex(m_listField)));
}

QString DataCombo::text() const
{
    return m_edit->text();
}

void DataCombo::setText(const QString &text)
{
    m_edit->setText(text);
}

int DataCombo::matchingRow() const
{
    RecordSet *rs = m_model->recordSet();
    const QString t = m_edit->text();
    if (!rs || t.isEmpty())
        return -1;
    const int field = rs->fieldIndex(m_listField);
    for (int row = 0; row < rs->recordCount(); ++row)
        if (rs->valueAt(row, field).toString().compare(t, Qt::CaseInsensitive) == 0)
            return row;
    return -1;
}

QVariant DataCombo::boundText() const
{
    if (m_edit->text().isEmpty())
        return QVariant();
    const int row = matchingRow();
    if (row < 0)
        return m_edit->text();
    // Prefer the entry the user picked when several share the same text.
    const QModelIndex picked = m_list->currentIndex();
    RecordSet *rs = m_model->recordSet();
    if (picked.isValid() && rs->valueAt(picked.row(), m_listField)
                                    .toString()
                                    .compare(m_edit->text(), Qt::CaseInsensitive) == 0)
        return rs->valueAt(picked.row(), m_boundField);
    return rs->valueAt(row, m_boundField);
}

bool DataCombo::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == m_edit) {
        if (event->type() == QEvent::MouseButtonRelease)
            emit Click();
        else if (event->type() == QEvent::KeyPress) {
            const int key = static_cast<QKeyEvent *>(event)->key();
            if (key == Qt::Key_Return || key == Qt::Key_Enter) {
                emit Click();
                return true;
            }
        }
    }
    return QWidget::eventFilter(watched, event);
}

} // namespace pantrio

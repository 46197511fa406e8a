#include "forms/editor/DataCombo.h"

#include "data/access/RecordSet.h"
#include "data/models/RecordSetModel.h"
#include "uibase/LongText.h"

#include <QEvent>
#include <QKeyEvent>
#include <QLineEdit>
#include <QListView>
#include <QVBoxLayout>

#include <algorithm>

namespace pantrio
{

namespace
{
const QString kNameless = QStringLiteral("-"); // as the catalogue view shows it
} // namespace

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
        m_edit->setText(shownText(index.row()));
        emit Click();
    });
    keepLongText(m_edit);
}

void DataCombo::setRowSource(RecordSet *recordset, const QString &listField,
                             const QString &boundField)
{
    m_listField = listField;
    m_boundField = boundField;
    // One column: the list shows, and a screen reader hears, the shown field only.
    m_model->setColumns({listField});
    m_model->setEmptyText(listField, kNameless);
    m_model->setRecordSet(recordset);
}

void DataCombo::refresh()
{
    m_model->setRecordSet(m_model->recordSet());
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
    const QString t = m_edit->text();
    if (!m_model->recordSet() || t.isEmpty())
        return -1;
    for (int row = 0; row < m_model->rowCount(); ++row)
        if (shownText(row).compare(t, Qt::CaseInsensitive) == 0)
            return row;
    return -1;
}

QString DataCombo::shownText(int row) const
{
    return m_model->data(m_model->index(row, 0)).toString();
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
    if (picked.isValid() &&
        shownText(picked.row()).compare(m_edit->text(), Qt::CaseInsensitive) == 0)
        return rs->valueAt(picked.row(), m_boundField);
    return rs->valueAt(row, m_boundField);
}

void DataCombo::setNames(const QString &name)
{
    setAccessibleName(name);
    m_edit->setAccessibleName(name);
    m_list->setAccessibleName(name + QStringLiteral(" list"));
}

bool DataCombo::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == m_edit) {
        if (event->type() == QEvent::MouseButtonRelease)
            emit Click();
        else if (event->type() == QEvent::KeyPress) {
            const auto *key = static_cast<QKeyEvent *>(event);
            if (key->key() == Qt::Key_Return || key->key() == Qt::Key_Enter) {
                emit Click();
                return true;
            }
            // Up and Down walk the list from the keyboard, as in a combo box.
            if ((key->key() == Qt::Key_Up || key->key() == Qt::Key_Down) &&
                key->modifiers() == Qt::NoModifier && m_model->rowCount() > 0) {
                const int current = m_list->currentIndex().isValid() ? m_list->currentIndex().row()
                                    : key->key() == Qt::Key_Down     ? -1
                                                                     : m_model->rowCount();
                const int next = std::clamp(current + (key->key() == Qt::Key_Down ? 1 : -1), 0,
                                            m_model->rowCount() - 1);
                m_list->setCurrentIndex(m_model->index(next, 0));
                m_edit->setText(shownText(next));
                return true;
            }
        }
    }
    return QWidget::eventFilter(watched, event);
}

} // namespace pantrio

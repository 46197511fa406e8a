// The Meals window's second page: the items the household usually buys that
// are due, with the user's word on each.
#include "forms/meals/frmMeals.h"

#include <QComboBox>
#include <QStringListModel>
#include <QPushButton>
#include <QTabWidget>
#include <QTableWidget>

namespace pantrio
{

void frmMeals::showDue()
{
    // Ten years of purchases are read only for the page that shows them.
    m_dueStale = tabPages->currentIndex() != 1;
    if (m_dueStale)
        return;
    QList<Meals::Due> due;
    QString error;
    if (!Meals::due(m_file->connection(), QDate::currentDate(), &due, &error))
        showError(error);
    const int was = grdDue->currentRow();
    m_due = due;
    grdDue->setRowCount(0);
    for (const Meals::Due &d : std::as_const(due)) {
        const int r = grdDue->rowCount();
        grdDue->insertRow(r);
        grdDue->setItem(r, 0, cell(d.item, false));
        grdDue->setItem(r, 1, cell(d.suggestion.reason, false));
    }
    if (!due.isEmpty())
        grdDue->setCurrentCell(std::clamp(was, 0, int(due.size()) - 1), 0);
    const bool any = !due.isEmpty() && !m_file->isReadOnly();
    for (QWidget *w : std::initializer_list<QWidget *>{cmdAddDue, cmdNotThisTime, cmdStopSuggesting})
        w->setEnabled(any);
    tabPages->setTabText(1, due.isEmpty() ? QStringLiteral("Usually Bought")
                                          : QStringLiteral("Usually Bought (%1)").arg(due.size()));
}

const Meals::Due *frmMeals::chosenDue() const
{
    const int row = grdDue->currentRow();
    return row >= 0 && row < m_due.size() ? &m_due.at(row) : nullptr;
}

void frmMeals::cmdAddDue_Click()
{
    const Meals::Due *d = chosenDue();
    if (!d)
        return;
    const Meals::Due due = *d;
    change(QStringLiteral("Add %1 to List").arg(due.item), Household::List, [&](QString *e) {
        return Meals::addLine(m_file->connection(), due.item, due.category, due.aisle,
                              QStringLiteral("1"), e);
    });
}

void frmMeals::choose(int choice)
{
    const Meals::Due *d = chosenDue();
    if (!d)
        return;
    const Meals::Due due = *d;
    const auto kind = Meals::Choice(choice);
    const QDate until = Usual::quietUntil(
        due.suggestion.everyDays > 0 ? std::optional<int>(due.suggestion.everyDays) : std::nullopt,
        QDate::currentDate());
    change(kind == Meals::Choice::NotThisTime ? QStringLiteral("Not This Time: %1").arg(due.item)
                                              : QStringLiteral("Stop Suggesting %1").arg(due.item),
           Household::Meals, [&](QString *e) {
               return Meals::setChoice(m_file->connection(), due.suggestion.key, kind, until, e);
           });
}

void frmMeals::cmdNotThisTime_Click()
{
    choose(int(Meals::Choice::NotThisTime));
}

void frmMeals::cmdStopSuggesting_Click()
{
    choose(int(Meals::Choice::StopSuggesting));
}

void frmMeals::cmdAlwaysHave_Click()
{
    const QString name = cboAlways->currentText().trimmed();
    if (name.isEmpty() || m_file->isReadOnly())
        return;
    if (change(QStringLiteral("Always Have %1").arg(name), Household::Meals, [&](QString *e) {
            return Meals::setChoice(m_file->connection(), foldName(name), Meals::Choice::AlwaysHave,
                                    QDate(), e);
        }))
        cboAlways->setCurrentText(QString());
}

} // namespace pantrio

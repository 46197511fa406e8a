#include "forms/meals/frmMeals.h"

#include "data/shopping/Meals.h"
#include "forms/meals/MealCommands.h"
#include "uibase/Dialogs.h"
#include "uibase/HelpViewer.h"
#include "uibase/UndoCommands.h"

#include <QComboBox>
#include <QCompleter>
#include <QStringListModel>
#include <QKeyEvent>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QScopedValueRollback>
#include <QSpinBox>
#include <QTabWidget>
#include <QTableWidget>

namespace pantrio
{

QTableWidgetItem *frmMeals::cell(const QString &text, bool editable)
{
    auto *c = new QTableWidgetItem(text);
    if (!editable)
        c->setFlags(c->flags() & ~Qt::ItemIsEditable);
    return c;
}

namespace
{
constexpr int kMealId = Qt::UserRole;
constexpr int kServes = Qt::UserRole + 1; // the meal's row as last read, kept on its list item
constexpr int kNote = Qt::UserRole + 2;
constexpr int kCategory = Qt::UserRole; // an ingredient's category and aisle, kept on its item cell
constexpr int kAisle = Qt::UserRole + 1;
constexpr int kMealsTopic = 55;
constexpr int kUsualTopic = 56;
} // namespace

frmMeals::frmMeals()
    : m_names(new QStringListModel(this)), m_inCategory(new QStringListModel(this))
{
    setObjectName(QStringLiteral("frmMeals"));
    setWindowTitle(QStringLiteral("Meals"));
    setAccessibleName(QStringLiteral("Meals"));
    buildControls();
    auto *complete = new QCompleter(m_names, this);
    complete->setCaseSensitivity(Qt::CaseInsensitive);
    complete->setFilterMode(Qt::MatchContains);
    cboAlways->setCompleter(complete);
    // Asked of the file as the user types: a hundred thousand names are
    // never held to complete from.
    connect(cboAlways->lineEdit(), &QLineEdit::textEdited, this, [this, complete](const QString &t) {
        QStringList names;
        QString error;
        if (!Meals::namesContaining(m_file->connection(), t.trimmed(), 50, &names, &error))
            return void(showError(error));
        m_names->setStringList(names);
        complete->setCompletionPrefix(t);
        if (!names.isEmpty())
            complete->complete();
    });
}

frmMeals::~frmMeals() = default;

bool frmMeals::load(Household &file)
{
    if (!file.hasMeals()) {
        m_loadError = QStringLiteral("This file has no meals, and Pantrio can only read it. ") +
                      file.readOnlyReason();
        return false;
    }
    m_file = &file;
    connect(m_file, &Household::changed, this, &frmMeals::fileChanged);
    connect(&m_file->history(), &UndoHistory::changed, this, &frmMeals::showHistory);
    if (file.isReadOnly())
        setReadOnly(UndoCommands::unavailableReason(file));
    reloadMeals(-1);
    showDue();
    showHistory();
    return true;
}

void frmMeals::setReadOnly(const QString &why)
{
    // Shown, never changed: each control that would write says why.
    for (QWidget *w : std::initializer_list<QWidget *>{
             cmdNewMeal, cmdRenameMeal, cmdDuplicateMeal, cmdDeleteMeal, spnServes, txtMealNote,
             cmdAddIngredient, cmdRemoveIngredient, cmdPasteRecipe, cmdAddToList,
             cmdRemoveFromList, cmdAddDue, cmdNotThisTime, cmdStopSuggesting, cmdAlwaysHave}) {
        w->setEnabled(false);
        w->setToolTip(why);
        w->setAccessibleDescription(why);
    }
    grdIngredients->setEditTriggers(QAbstractItemView::NoEditTriggers);
}

void frmMeals::showUsual()
{
    tabPages->setCurrentIndex(1);
}

bool frmMeals::change(const QString &text, Household::Changes what,
                      const std::function<bool(QString *)> &write)
{
    QString error;
    if (m_file->change(text, what, write, &error))
        return true;
    return showError(error);
}

bool frmMeals::showError(const QString &error)
{
    Dialogs::notifyError(this, error, m_readingBack);
    return false;
}

void frmMeals::fileChanged(Household::Changes what, const QObject *)
{
    if (!(what & (Household::Meals | Household::List | Household::Catalogue |
                  Household::Categories | Household::Replaced)))
        return;
    const QScopedValueRollback readingBack(m_readingBack, true);
    if (what & (Household::Meals | Household::Catalogue | Household::Categories | Household::Replaced))
        reloadMeals(selectedMeal(), what & (Household::Catalogue | Household::Categories | Household::Replaced));
    showDue();
}

void frmMeals::showHistory()
{
    UndoCommands::showOnButtons(*m_file, cmdUndo, cmdRedo);
}

void frmMeals::cmdUndo_Click()
{
    if (m_file->history().canUndo())
        UndoCommands::undo(this, *m_file);
}

void frmMeals::cmdRedo_Click()
{
    if (m_file->history().canRedo())
        UndoCommands::redo(this, *m_file);
}

qint64 frmMeals::selectedMeal() const
{
    const QListWidgetItem *item = lstMeals->currentItem();
    return item ? item->data(kMealId).toLongLong() : -1;
}

QHash<qint64, int> frmMeals::tickedMeals() const
{
    QHash<qint64, int> out;
    for (int i = 0; i < lstMeals->count(); ++i) {
        const QListWidgetItem *item = lstMeals->item(i);
        const qint64 id = item->data(kMealId).toLongLong();
        if (item->checkState() == Qt::Checked)
            out.insert(id, m_servings.value(id, 0));
    }
    return out;
}

void frmMeals::reloadMeals(qint64 select, bool catalogueToo)
{
    QVector<Meals::Row> meals;
    QStringList categories;
    QString error;
    // Unread, what is shown stays (F5 reads again). A meal's change leaves
    // the hundred thousand items of the catalogue unread.
    if (!Meals::list(m_file->connection(), &meals, &error) ||
        (catalogueToo && !Meals::categories(m_file->connection(), &categories, &error)))
        return void(showError(error));
    const QHash<qint64, int> ticked = tickedMeals();
    {
        const QScopedValueRollback showing(m_showing, true);
        const QSignalBlocker block(lstMeals);
        lstMeals->clear();
        int row = meals.isEmpty() ? -1 : 0;
        for (const Meals::Row &m : std::as_const(meals)) {
            // Made whole before it joins the list: each change to a listed
            // item would tell the view again.
            auto *item = new QListWidgetItem(m.name);
            item->setData(kMealId, m.id);
            item->setData(kServes, m.serves);
            item->setData(kNote, m.note);
            item->setFlags(item->flags() | Qt::ItemIsUserCheckable);
            item->setCheckState(ticked.contains(m.id) ? Qt::Checked : Qt::Unchecked);
            lstMeals->addItem(item);
            if (m.id == select)
                row = lstMeals->count() - 1;
        }
        lstMeals->setCurrentRow(row);
    }
    if (catalogueToo) {
        const QScopedValueRollback showing(m_showing, true);
        const QSignalBlocker blockCategories(cboCategory);
        const QString was = cboCategory->currentText();
        cboCategory->clear();
        cboCategory->addItems(categories);
        cboCategory->setCurrentIndex(std::max(0, cboCategory->findText(was)));
    }
    if (catalogueToo)
        cboCategory_Changed();
    cmdAddToList->setEnabled(!tickedMeals().isEmpty() && !m_file->isReadOnly());
    showMeal();
}

void frmMeals::lstMeals_Changed()
{
    if (!m_showing)
        showMeal();
}

void frmMeals::showMeal()
{
    const qint64 meal = selectedMeal();
    QVector<Meals::Ingredient> in;
    QString error;
    // A meal that could not be read is shown empty and cannot be changed:
    // its grid would otherwise be written back over what the file holds.
    const bool read = meal <= 0 || Meals::ingredients(m_file->connection(), meal, &in, &error);
    if (!read) {
        showError(error);
        in.clear();
    }
    const bool any = meal > 0 && read;
    const bool writable = !m_file->isReadOnly();
    for (QWidget *w : std::initializer_list<QWidget *>{cmdRenameMeal, cmdDuplicateMeal,
                                                       cmdDeleteMeal, spnServes, txtMealNote,
                                                       cmdAddIngredient, cmdRemoveIngredient,
                                                       cmdPasteRecipe})
        w->setEnabled(any && writable);
    grdIngredients->setEnabled(any);
    spnServings->setEnabled(any);
    // Its serves and note as the list was last read: every change to the
    // meals reads the list again.
    Meals::Row row;
    if (const QListWidgetItem *item = lstMeals->currentItem(); item && read) {
        row.serves = item->data(kServes).toInt();
        row.note = item->data(kNote).toString();
    }
    const QScopedValueRollback showing(m_showing, true);
    spnServes->setValue(row.serves);
    txtMealNote->setText(row.note);
    spnServings->setValue(m_servings.value(meal, row.serves));
    const QSignalBlocker block(grdIngredients);
    grdIngredients->setRowCount(0);
    for (const Meals::Ingredient &i : std::as_const(in)) {
        const int r = grdIngredients->rowCount();
        grdIngredients->insertRow(r);
        QTableWidgetItem *item = cell(i.item, false);
        item->setData(kCategory, i.category);
        item->setData(kAisle, i.aisle);
        grdIngredients->setItem(r, 0, item);
        grdIngredients->setItem(r, 1, cell(i.amount, writable));
        grdIngredients->setItem(r, 2, cell(i.note, writable));
    }
}

void frmMeals::cmdNewMeal_Click()
{
    const std::optional<QString> name = Dialogs::instance().askText(
        this, QStringLiteral("New Meal"), QStringLiteral("The meal's name:"), QString());
    if (!name || name->trimmed().isEmpty())
        return;
    qint64 id = 0;
    if (change(QStringLiteral("New Meal"), Household::Meals,
               [&](QString *e) { return Meals::add(m_file->connection(), *name, &id, e); }))
        reloadMeals(id, false);
}

void frmMeals::cmdRenameMeal_Click()
{
    const qint64 meal = selectedMeal();
    if (meal <= 0)
        return;
    const std::optional<QString> name = Dialogs::instance().askText(
        this, QStringLiteral("Rename Meal"), QStringLiteral("The meal's name:"),
        lstMeals->currentItem()->text());
    if (!name || name->trimmed().isEmpty() || name->trimmed() == lstMeals->currentItem()->text())
        return;
    Meals::Row row{meal, *name, spnServes->value(), txtMealNote->text()};
    change(QStringLiteral("Rename Meal"), Household::Meals,
           [&](QString *e) { return Meals::update(m_file->connection(), row, e); });
}

void frmMeals::cmdDuplicateMeal_Click()
{
    qint64 copy = 0;
    const qint64 meal = selectedMeal();
    if (meal > 0 && change(QStringLiteral("Duplicate Meal"), Household::Meals, [&](QString *e) {
            return Meals::duplicate(m_file->connection(), meal, &copy, e);
        }))
        reloadMeals(copy, false);
}

void frmMeals::cmdDeleteMeal_Click()
{
    const qint64 meal = selectedMeal();
    if (meal <= 0 ||
        !Dialogs::askYesNo(this, QStringLiteral("Delete the meal \u201C%1\u201D with its ingredients? "
                                                "What it put on the list stays there.")
                                     .arg(lstMeals->currentItem()->text())))
        return;
    change(QStringLiteral("Delete Meal"), Household::Meals,
           [&](QString *e) { return Meals::remove(m_file->connection(), meal, e); });
}

void frmMeals::spnServes_Changed()
{
    txtMealNote_Changed();
}

void frmMeals::txtMealNote_Changed()
{
    const qint64 meal = selectedMeal();
    if (m_showing || meal <= 0 || m_file->isReadOnly())
        return;
    QVector<Meals::Row> meals;
    QString error;
    if (!Meals::list(m_file->connection(), &meals, &error))
        return void(showError(error));
    for (const Meals::Row &m : std::as_const(meals)) {
        if (m.id != meal || (m.serves == spnServes->value() && m.note == txtMealNote->text()))
            continue;
        const Meals::Row row{meal, m.name, spnServes->value(), txtMealNote->text()};
        change(QStringLiteral("Meal Edit"), Household::Meals,
               [&](QString *e) { return Meals::update(m_file->connection(), row, e); });
    }
}

void frmMeals::cboCategory_Changed()
{
    QStringList names;
    QString error;
    if (!Meals::itemsIn(m_file->connection(), cboCategory->currentText(), &names, &error))
        showError(error);
    const QString typed = cboItem->currentText();
    m_inCategory->setStringList(names);
    cboItem->setCurrentText(typed);
}

// The grid's rows as the meal's ingredients, in their order.
static QVector<Meals::Ingredient> rowsOf(const QTableWidget *grid)
{
    QVector<Meals::Ingredient> in;
    for (int r = 0; r < grid->rowCount(); ++r) {
        const QTableWidgetItem *item = grid->item(r, 0);
        in.append({item->text(), item->data(kCategory).toString(), item->data(kAisle).toString(),
                   grid->item(r, 1) ? grid->item(r, 1)->text() : QString(),
                   grid->item(r, 2) ? grid->item(r, 2)->text() : QString()});
    }
    return in;
}

void frmMeals::cmdAddIngredient_Click()
{
    const qint64 meal = selectedMeal();
    const QString name = cboItem->currentText().trimmed();
    if (meal <= 0 || m_file->isReadOnly())
        return;
    if (name.isEmpty())
        return void(showError(QStringLiteral("Choose or type the ingredient's item first.")));
    const QString category = cboCategory->currentText();
    Meals::Ingredient i{name, category, QString(), txtAmount->text().trimmed(),
                        txtIngredientNote->text().trimmed()};
    bool known = false;
    QString error;
    if (!Meals::findItem(m_file->connection(), name, category, &known, &i.aisle, &error))
        return void(showError(error));
    if (!known && !Dialogs::askYesNo(this, QStringLiteral("\u201C%1\u201D is not in the catalogue. "
                                                          "Add it there, under %2?")
                                               .arg(name, category.isEmpty() ? QStringLiteral("no category") : category)))
        return;
    // Added to what the file holds, whatever the grid shows.
    QVector<Meals::Ingredient> in;
    if (!Meals::ingredients(m_file->connection(), meal, &in, &error))
        return void(showError(error));
    in << i;
    if (change(QStringLiteral("Add Ingredient"), Household::Meals | (known ? Household::Changes() : Household::Catalogue),
               [&](QString *e) {
                   return (known || Meals::addToCatalogue(m_file->connection(), name, category, e)) &&
                          Meals::setIngredients(m_file->connection(), meal, in, e);
               })) {
        txtAmount->clear();
        txtIngredientNote->clear();
        cboItem->setCurrentText(QString());
        cboItem->setFocus();
    }
}

void frmMeals::cmdRemoveIngredient_Click()
{
    const qint64 meal = selectedMeal();
    const int row = grdIngredients->currentRow();
    if (meal <= 0 || row < 0)
        return;
    QVector<Meals::Ingredient> in = rowsOf(grdIngredients);
    in.remove(row);
    change(QStringLiteral("Remove Ingredient"), Household::Meals,
           [&](QString *e) { return Meals::setIngredients(m_file->connection(), meal, in, e); });
}

void frmMeals::grdIngredients_Edited()
{
    const qint64 meal = selectedMeal();
    if (m_showing || meal <= 0)
        return;
    const QVector<Meals::Ingredient> in = rowsOf(grdIngredients);
    if (!change(QStringLiteral("Ingredient Edit"), Household::Meals,
                [&](QString *e) { return Meals::setIngredients(m_file->connection(), meal, in, e); }))
        showMeal(); // the grid back to what the file holds
}

void frmMeals::cmdPasteRecipe_Click()
{
    if (selectedMeal() > 0)
        MealCommands::pasteRecipe(this, *m_file, selectedMeal());
}

void frmMeals::cmdAddToList_Click()
{
    const QHash<qint64, int> meals = tickedMeals();
    if (meals.isEmpty())
        return void(showError(QStringLiteral("Tick the meals to put on the list first.")));
    if (!MealCommands::addToList(this, *m_file, meals))
        return;
    // Added: the ticks have done their work.
    const QSignalBlocker block(lstMeals);
    for (int i = 0; i < lstMeals->count(); ++i)
        lstMeals->item(i)->setCheckState(Qt::Unchecked);
    cmdAddToList->setEnabled(false);
}

void frmMeals::cmdRemoveFromList_Click()
{
    MealCommands::removeFromList(this, *m_file);
}

void frmMeals::keyPressEvent(QKeyEvent *event)
{
    if (event->key() == Qt::Key_F5 && event->modifiers() == Qt::NoModifier) {
        reloadMeals(selectedMeal());
        showDue();
        return;
    }
    const int topic = tabPages->currentIndex() == 1 ? kUsualTopic : kMealsTopic;
    if (!HelpViewer::windowKey(this, event, topic, true))
        QMainWindow::keyPressEvent(event);
}

} // namespace pantrio

#pragma once

#include <QHash>
#include <QMainWindow>

#include "data/access/RowStore.h"
#include "data/owner/Household.h"
#include "data/shopping/Meals.h"

#include <functional>

class QComboBox;
class QLineEdit;
class QListWidget;
class QPushButton;
class QSpinBox;
class QTabWidget;
class QStringListModel;
class QTableWidget;
class QTableWidgetItem;

namespace pantrio
{

// The Meals window: the household's meals with their ingredients, put onto
// the shopping list and taken back, and on its second page the items the
// household usually buys that are due. Every change is a step of the file's
// history; the window follows every change the file announces.
// Controls are built in frmMealsLayout.cpp.
class frmMeals : public QMainWindow
{
    Q_OBJECT
  public:
    frmMeals();
    ~frmMeals() override;

    // Shows the file's meals; false with loadError() when it has none to show.
    bool load(Household &file);
    QString loadError() const { return m_loadError; }
    void showUsual(); // opens at "Usually Bought"

    void lstMeals_Changed();
    void cmdNewMeal_Click();
    void cmdRenameMeal_Click();
    void cmdDuplicateMeal_Click();
    void cmdDeleteMeal_Click();
    void spnServes_Changed();
    void txtMealNote_Changed();
    void cboCategory_Changed();
    void cmdAddIngredient_Click();
    void cmdRemoveIngredient_Click();
    void grdIngredients_Edited();
    void cmdPasteRecipe_Click();
    void cmdAddToList_Click();
    void cmdRemoveFromList_Click();
    void cmdAddDue_Click();
    void cmdNotThisTime_Click();
    void cmdStopSuggesting_Click();
    void cmdAlwaysHave_Click();
    void cmdUndo_Click();
    void cmdRedo_Click();

    qint64 selectedMeal() const;
    // The meals ticked for the list, with the servings asked for each.
    QHash<qint64, int> tickedMeals() const;

  protected:
    void keyPressEvent(QKeyEvent *event) override;

  private:
    void buildControls();
    void setReadOnly(const QString &why);
    void reloadMeals(qint64 select, bool catalogueToo = true);
    void showMeal();
    void showDue();
    void showHistory();
    void fileChanged(pantrio::Household::Changes what, const QObject *origin);
    bool change(const QString &text, Household::Changes what,
                const std::function<bool(QString *)> &write);
    bool showError(const QString &error);
    void choose(int choice);
    const Meals::Due *chosenDue() const;
    static QTableWidgetItem *cell(const QString &text, bool editable);

    Household *m_file = nullptr;
    QString m_loadError;
    bool m_showing = false;
    bool m_readingBack = false;
    QHash<qint64, int> m_servings; // asked for, by meal, while the window is open

    QTabWidget *tabPages = nullptr;
    QListWidget *lstMeals = nullptr;
    QPushButton *cmdNewMeal = nullptr, *cmdRenameMeal = nullptr, *cmdDuplicateMeal = nullptr,
                *cmdDeleteMeal = nullptr;
    QSpinBox *spnServes = nullptr;
    QLineEdit *txtMealNote = nullptr;
    QTableWidget *grdIngredients = nullptr;
    QComboBox *cboCategory = nullptr, *cboItem = nullptr;
    QLineEdit *txtAmount = nullptr, *txtIngredientNote = nullptr;
    QPushButton *cmdAddIngredient = nullptr, *cmdRemoveIngredient = nullptr,
                *cmdPasteRecipe = nullptr;
    QSpinBox *spnServings = nullptr;
    QPushButton *cmdAddToList = nullptr, *cmdRemoveFromList = nullptr;
    QTableWidget *grdDue = nullptr;
    QPushButton *cmdAddDue = nullptr, *cmdNotThisTime = nullptr, *cmdStopSuggesting = nullptr;
    QComboBox *cboAlways = nullptr;
    QPushButton *cmdAlwaysHave = nullptr;
    QPushButton *cmdUndo = nullptr, *cmdRedo = nullptr, *cmdClose = nullptr;
    QList<Meals::Due> m_due; // each row of grdDue
    QStringListModel *m_names = nullptr; // names containing what is typed, for completing
    QStringListModel *m_inCategory = nullptr; // the chosen category's names, for cboItem
    bool m_dueStale = true; // the page of items due is read when it is shown
};

} // namespace pantrio

// The Meals window's layout: two pages, the meals with their ingredients and
// the items usually bought, over a row of Undo, Redo and Close.
#include "forms/meals/frmMeals.h"

#include "uibase/FormParts.h"
#include "uibase/LongText.h"

#include <QComboBox>
#include <QStringListModel>
#include <QFormLayout>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QShortcut>
#include <QSpinBox>
#include <QTabWidget>
#include <QTableWidget>
#include <QVBoxLayout>

namespace pantrio
{

using namespace FormParts;

namespace
{
QTableWidget *table(const char *name, const QString &accessible, const QStringList &columns)
{
    auto *t = named(new QTableWidget(0, int(columns.size())), name, accessible);
    t->setHorizontalHeaderLabels(columns);
    t->setItemDelegate(new LongTextDelegate(t));
    t->setTabKeyNavigation(false); // Tab leaves the grid; arrows move in it
    t->setSelectionBehavior(QAbstractItemView::SelectRows);
    t->setSelectionMode(QAbstractItemView::SingleSelection);
    t->horizontalHeader()->setStretchLastSection(true);
    t->horizontalHeader()->setSectionResizeMode(0, QHeaderView::Stretch);
    t->verticalHeader()->hide();
    t->verticalHeader()->setDefaultSectionSize(t->fontMetrics().height() + 6);
    return t;
}

QSpinBox *spin(const char *name, const QString &accessible, int minimum)
{
    auto *s = named(new QSpinBox, name, accessible);
    s->setRange(minimum, 999);
    s->setSpecialValueText(minimum == 0 ? QStringLiteral("as written") : QString());
    return s;
}
} // namespace

void frmMeals::buildControls()
{
    lstMeals = named(new QListWidget, "lstMeals", QStringLiteral("Meals"));
    lstMeals->setUniformItemSizes(true); // a thousand meals laid out at once
    lstMeals->setAccessibleDescription(QStringLiteral(
        "Tick the meals to put on the shopping list; Space ticks the chosen meal."));
    cmdNewMeal = button("cmdNewMeal", QStringLiteral("&New…"));
    cmdRenameMeal = button("cmdRenameMeal", QStringLiteral("Re&name…"));
    cmdDuplicateMeal = button("cmdDuplicateMeal", QStringLiteral("D&uplicate"));
    cmdDeleteMeal = button("cmdDeleteMeal", QStringLiteral("&Delete"));
    spnServes = spin("spnServes", QStringLiteral("Serves"), 0);
    txtMealNote = named(new QLineEdit, "txtMealNote", QStringLiteral("Note"));
    keepLongText(txtMealNote);
    grdIngredients = table("grdIngredients", QStringLiteral("Ingredients"),
                           {QStringLiteral("Item"), QStringLiteral("Amount"), QStringLiteral("Note")});
    grdIngredients->setEditTriggers(QAbstractItemView::DoubleClicked |
                                    QAbstractItemView::EditKeyPressed |
                                    QAbstractItemView::AnyKeyPressed);
    grdIngredients->setColumnWidth(1, 110);
    cboCategory = named(new QComboBox, "cboCategory", QStringLiteral("Category"));
    cboCategory->setMinimumContentsLength(14);
    cboItem = named(new QComboBox, "cboItem", QStringLiteral("Item"));
    cboItem->setEditable(true); // a name not in the catalogue is offered for adding
    cboItem->setInsertPolicy(QComboBox::NoInsert);
    cboItem->setMinimumContentsLength(16);
    cboItem->setModel(m_inCategory);
    // Thousands of names: the boxes are not sized to their longest.
    for (QComboBox *box : {cboCategory, cboItem})
        box->setSizeAdjustPolicy(QComboBox::AdjustToMinimumContentsLengthWithIcon);
    txtAmount = named(new QLineEdit, "txtAmount", QStringLiteral("Amount"));
    txtAmount->setPlaceholderText(QStringLiteral("200 g"));
    txtIngredientNote = named(new QLineEdit, "txtIngredientNote", QStringLiteral("Ingredient note"));
    txtIngredientNote->setPlaceholderText(QStringLiteral("note"));
    cmdAddIngredient = button("cmdAddIngredient", QStringLiteral("&Add Ingredient"));
    cmdRemoveIngredient = button("cmdRemoveIngredient", QStringLiteral("Remo&ve Ingredient"));
    cmdPasteRecipe = button("cmdPasteRecipe", QStringLiteral("&Paste Recipe…"));
    spnServings = spin("spnServings", QStringLiteral("Servings to add"), 0);
    cmdAddToList = button("cmdAddToList", QStringLiteral("Add Ticked Meals to &List…"));
    cmdRemoveFromList = button("cmdRemoveFromList", QStringLiteral("Remove &Meal from List…"));

    grdDue = table("grdDue", QStringLiteral("Items due"), {QStringLiteral("Item"), QStringLiteral("Why")});
    grdDue->setEditTriggers(QAbstractItemView::NoEditTriggers);
    grdDue->setColumnWidth(0, 240);
    grdDue->horizontalHeader()->setSectionResizeMode(0, QHeaderView::Interactive);
    cmdAddDue = button("cmdAddDue", QStringLiteral("&Add to List"));
    cmdNotThisTime = button("cmdNotThisTime", QStringLiteral("&Not This Time"));
    cmdStopSuggesting = button("cmdStopSuggesting", QStringLiteral("&Stop Suggesting"));
    cboAlways = named(new QComboBox, "cboAlways", QStringLiteral("Item to always have"));
    cboAlways->setEditable(true);
    cboAlways->setInsertPolicy(QComboBox::NoInsert);
    cboAlways->setMinimumContentsLength(20);
    cboAlways->setSizeAdjustPolicy(QComboBox::AdjustToMinimumContentsLengthWithIcon);
    cmdAlwaysHave = button("cmdAlwaysHave", QStringLiteral("Al&ways Have"));

    cmdUndo = button("cmdUndo", QStringLiteral("Und&o"));
    cmdRedo = button("cmdRedo", QStringLiteral("&Redo"));
    cmdClose = button("cmdClose", QStringLiteral("&Close"));

    // The meals page.
    auto *meals = new QVBoxLayout;
    meals->addWidget(heading(QStringLiteral("M&eals"), lstMeals));
    meals->addWidget(lstMeals, 1);
    auto *mealButtons = new QGridLayout;
    mealButtons->addWidget(cmdNewMeal, 0, 0);
    mealButtons->addWidget(cmdRenameMeal, 0, 1);
    mealButtons->addWidget(cmdDuplicateMeal, 1, 0);
    mealButtons->addWidget(cmdDeleteMeal, 1, 1);
    meals->addLayout(mealButtons);
    auto *servings = new QFormLayout;
    auto *servingsLabel = new QLabel(QStringLiteral("Ser&vings to add:"));
    servingsLabel->setBuddy(spnServings);
    servings->addRow(servingsLabel, spnServings);
    meals->addLayout(servings);
    meals->addWidget(cmdAddToList);
    meals->addWidget(cmdRemoveFromList);

    auto *meal = new QVBoxLayout;
    auto *facts = new QHBoxLayout;
    auto *servesLabel = new QLabel(QStringLiteral("Ser&ves:"));
    servesLabel->setBuddy(spnServes);
    auto *noteLabel = new QLabel(QStringLiteral("No&te:"));
    noteLabel->setBuddy(txtMealNote);
    facts->addWidget(servesLabel);
    facts->addWidget(spnServes);
    facts->addWidget(noteLabel);
    facts->addWidget(txtMealNote, 1);
    meal->addLayout(facts);
    meal->addWidget(heading(QStringLiteral("&Ingredients"), grdIngredients));
    meal->addWidget(grdIngredients, 1);
    auto *adding = new QHBoxLayout;
    adding->addWidget(cboCategory);
    adding->addWidget(cboItem, 2);
    adding->addWidget(txtAmount, 1);
    adding->addWidget(txtIngredientNote, 1);
    adding->addWidget(cmdAddIngredient);
    meal->addLayout(adding);
    auto *more = new QHBoxLayout;
    more->addWidget(cmdRemoveIngredient);
    more->addStretch(1);
    more->addWidget(cmdPasteRecipe);
    meal->addLayout(more);

    auto *mealsPage = named(new QWidget, "pgMeals");
    auto *mealsGrid = new QHBoxLayout(mealsPage);
    mealsGrid->addLayout(meals, 2);
    mealsGrid->addLayout(meal, 5);

    // The usual items' page.
    auto *usualPage = named(new QWidget, "pgUsual");
    auto *usual = new QVBoxLayout(usualPage);
    usual->addWidget(heading(QStringLiteral("&Due now, by what you usually buy"), grdDue));
    usual->addWidget(grdDue, 1);
    auto *dueButtons = new QHBoxLayout;
    for (QWidget *w : {cmdAddDue, cmdNotThisTime, cmdStopSuggesting})
        dueButtons->addWidget(w);
    dueButtons->addStretch(1);
    usual->addLayout(dueButtons);
    auto *always = new QHBoxLayout;
    auto *alwaysLabel = new QLabel(QStringLiteral("Al&ways have:"));
    alwaysLabel->setBuddy(cboAlways);
    always->addWidget(alwaysLabel);
    always->addWidget(cboAlways, 1);
    always->addWidget(cmdAlwaysHave);
    usual->addLayout(always);

    tabPages = named(new QTabWidget, "tabPages", QStringLiteral("Pages"));
    tabPages->addTab(mealsPage, QStringLiteral("Meals"));
    tabPages->addTab(usualPage, QStringLiteral("Usually Bought"));

    auto *bottom = new QHBoxLayout;
    bottom->addWidget(cmdUndo);
    bottom->addWidget(cmdRedo);
    bottom->addStretch(1);
    bottom->addWidget(cmdClose);

    auto *client = named(new QWidget(this), "client");
    setCentralWidget(client);
    auto *page = new QVBoxLayout(client);
    page->addWidget(tabPages, 1);
    page->addLayout(bottom);

    // Tab order: down the meals, then the meal, then the bottom row.
    const QList<QWidget *> tabs = {
        tabPages,         lstMeals,      cmdNewMeal,        cmdRenameMeal,     cmdDuplicateMeal,
        cmdDeleteMeal,    spnServings,   cmdAddToList,      cmdRemoveFromList, spnServes,
        txtMealNote,      grdIngredients, cboCategory,      cboItem,           txtAmount,
        txtIngredientNote, cmdAddIngredient, cmdRemoveIngredient, cmdPasteRecipe, grdDue,
        cmdAddDue,        cmdNotThisTime, cmdStopSuggesting, cboAlways,        cmdAlwaysHave,
        cmdUndo,          cmdRedo,       cmdClose};
    for (int i = 1; i < tabs.size(); ++i)
        setTabOrder(tabs.at(i - 1), tabs.at(i));

    const struct {
        QPushButton *button;
        void (frmMeals::*handler)();
    } clicks[] = {
        {cmdNewMeal, &frmMeals::cmdNewMeal_Click},
        {cmdRenameMeal, &frmMeals::cmdRenameMeal_Click},
        {cmdDuplicateMeal, &frmMeals::cmdDuplicateMeal_Click},
        {cmdDeleteMeal, &frmMeals::cmdDeleteMeal_Click},
        {cmdAddIngredient, &frmMeals::cmdAddIngredient_Click},
        {cmdRemoveIngredient, &frmMeals::cmdRemoveIngredient_Click},
        {cmdPasteRecipe, &frmMeals::cmdPasteRecipe_Click},
        {cmdAddToList, &frmMeals::cmdAddToList_Click},
        {cmdRemoveFromList, &frmMeals::cmdRemoveFromList_Click},
        {cmdAddDue, &frmMeals::cmdAddDue_Click},
        {cmdNotThisTime, &frmMeals::cmdNotThisTime_Click},
        {cmdStopSuggesting, &frmMeals::cmdStopSuggesting_Click},
        {cmdAlwaysHave, &frmMeals::cmdAlwaysHave_Click},
        {cmdUndo, &frmMeals::cmdUndo_Click},
        {cmdRedo, &frmMeals::cmdRedo_Click},
    };
    for (const auto &k : clicks)
        connect(k.button, &QPushButton::clicked, this, k.handler);
    connect(cmdClose, &QPushButton::clicked, this, &QWidget::close);
    connect(tabPages, &QTabWidget::currentChanged, this, [this] {
        if (m_dueStale)
            showDue();
    });
    connect(lstMeals, &QListWidget::currentRowChanged, this, &frmMeals::lstMeals_Changed);
    connect(lstMeals, &QListWidget::itemChanged, this, [this](QListWidgetItem *) {
        cmdAddToList->setEnabled(!tickedMeals().isEmpty() && cmdNewMeal->isEnabled());
    });
    connect(spnServes, &QSpinBox::editingFinished, this, &frmMeals::spnServes_Changed);
    connect(spnServings, &QSpinBox::valueChanged, this, [this](int v) {
        if (!m_showing && selectedMeal() > 0)
            m_servings.insert(selectedMeal(), v);
    });
    connect(txtMealNote, &QLineEdit::editingFinished, this, &frmMeals::txtMealNote_Changed);
    connect(cboCategory, &QComboBox::currentIndexChanged, this, &frmMeals::cboCategory_Changed);
    connect(grdIngredients, &QTableWidget::itemChanged, this, &frmMeals::grdIngredients_Edited);
    connect(txtAmount, &QLineEdit::returnPressed, this, &frmMeals::cmdAddIngredient_Click);
    connect(txtIngredientNote, &QLineEdit::returnPressed, this, &frmMeals::cmdAddIngredient_Click);
    connect(cboAlways->lineEdit(), &QLineEdit::returnPressed, this, &frmMeals::cmdAlwaysHave_Click);
    auto *undo = new QShortcut(QKeySequence::Undo, this);
    connect(undo, &QShortcut::activated, this, &frmMeals::cmdUndo_Click);
    for (const QKeySequence &keys : {QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_Z),
                                     QKeySequence(Qt::CTRL | Qt::Key_Y)}) {
        auto *redo = new QShortcut(keys, this);
        connect(redo, &QShortcut::activated, this, &frmMeals::cmdRedo_Click);
    }
    resize(1000, 600);
}

} // namespace pantrio

// Meals through the real windows: a meal made and pasted from a recipe, put
// on the list and taken back, as the grid, the printouts and the phones show
// it; what is usually bought and due; meals moved between households.
#include "app/Module1.h"
#include "data/access/DEVendora.h"
#include "data/formats/TakeAlong.h"
#include "data/shopping/Meals.h"
#include "forms/main/frmVendora.h"
#include "forms/meals/frmMeals.h"
#include "reports/PrintCommands.h"
#include "reports/ReportPreview.h"
#include "support/TestSupport.h"
#include "uibase/UndoCommands.h"

#include <QAccessible>
#include <QAction>
#include <QComboBox>
#include <QCompleter>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QSpinBox>
#include <QTabWidget>
#include <QTableView>
#include <QTableWidget>
#include <QtTest>

using namespace pantrio;
using namespace pantrio::test;

class TstMealsWindow : public Fixture
{
    Q_OBJECT

  private:
    frmMeals *openMeals(frmVendora *f, const char *entry = "mnuMeals")
    {
        f->findChild<QAction *>(QLatin1String(entry))->trigger();
        frmMeals *w = Module1::frmMealsIfOpen();
        if (w) {
            w->activateWindow();
            (void)QTest::qWaitForWindowActive(w); // offscreen windows may never be active
        }
        return w;
    }
    void click(QWidget *w, const char *name)
    {
        QTest::mouseClick(child<QPushButton>(w, name), Qt::LeftButton);
    }
    // A meal made through the window with its ingredients typed in.
    void makeMeal(frmMeals *w, const QString &name, int serves,
                  const QList<std::pair<QString, QString>> &ingredients)
    {
        m_dialogs->texts.push_back(name);
        click(w, "cmdNewMeal");
        auto *spin = child<QSpinBox>(w, "spnServes");
        spin->setValue(serves);
        emit spin->editingFinished();
        for (const auto &[item, amount] : ingredients) {
            const QString category =
                m_dir->scalar("SELECT Category FROM Vendora WHERE Item = ?", {item}).toString();
            auto *cat = child<QComboBox>(w, "cboCategory");
            cat->setCurrentIndex(cat->findText(category));
            child<QComboBox>(w, "cboItem")->setCurrentText(item);
            child<QLineEdit>(w, "txtAmount")->setText(amount);
            click(w, "cmdAddIngredient");
        }
    }
    qint64 mealId(const char *name)
    {
        return m_dir->scalar("SELECT ID FROM Meals WHERE Name = ?", {name}).toLongLong();
    }
    void tick(frmMeals *w, const QString &meal, int servings)
    {
        auto *list = child<QListWidget>(w, "lstMeals");
        for (int i = 0; i < list->count(); ++i)
            if (list->item(i)->text() == meal) {
                list->setCurrentRow(i);
                list->item(i)->setCheckState(Qt::Checked);
                child<QSpinBox>(w, "spnServings")->setValue(servings);
            }
    }
    // The first field of every row.
    QStringList column(const QString &sql)
    {
        QStringList out;
        for (const QVariantList &r : m_dir->rows(sql))
            out << r.value(0).toString();
        return out;
    }
    QString listQuantity(const char *item)
    {
        return m_dir->scalar("SELECT Quantity FROM Selected WHERE Item = ?", {item}).toString();
    }

  private slots:
    void aMealMadeThroughItsWidgets();
    void aPastedRecipeIsMatchedAndNothingGuessed();
    void mealsOntoTheListAndBackEverywhere();
    void usuallyBoughtSaysWhyAndListens();
    void mealsMoveBetweenHouseholds();
};

void TstMealsWindow::aMealMadeThroughItsWidgets()
{
    frmVendora *f = start();
    QVERIFY(f);
    frmMeals *w = openMeals(f);
    QVERIFY(w && w->isVisible());
    makeMeal(w, "Chili", 4, {{"Onions", "2"}, {"Tomatoes", "400 g"}});
    const qint64 chili = mealId("Chili");
    QVERIFY(chili > 0);
    QCOMPARE(m_dir->scalar("SELECT Serves FROM Meals WHERE ID = ?", {chili}).toInt(), 4);
    auto *grid = child<QTableWidget>(w, "grdIngredients");
    QCOMPARE(grid->rowCount(), 2);
    QCOMPARE(grid->item(1, 1)->text(), QString("400 g"));
    // A name the catalogue lacks is offered for adding; No adds nothing.
    auto *cat = child<QComboBox>(w, "cboCategory");
    cat->setCurrentIndex(cat->findText("Produce"));
    child<QComboBox>(w, "cboItem")->setCurrentText("Chipotle Peppers");
    m_dialogs->answers.push_back(Dialogs::Answer::No);
    click(w, "cmdAddIngredient");
    QCOMPARE(grid->rowCount(), 2);
    m_dialogs->answers.push_back(Dialogs::Answer::Yes);
    click(w, "cmdAddIngredient");
    QCOMPARE(grid->rowCount(), 3);
    QCOMPARE(m_dir->scalar("SELECT Category FROM Vendora WHERE Item = 'Chipotle Peppers'").toString(),
             QString("Produce"));
    // An amount typed over in the grid, stored at once; one step of the history.
    grid->item(0, 1)->setText("3");
    QCOMPARE(m_dir->scalar("SELECT Amount FROM MealItems WHERE MealID = ? AND Item = 'Onions'", {chili})
                 .toString(),
             QString("3"));
    QCOMPARE(UndoCommands::undoLabel(Module1::household()), QString("Undo Ingredient Edit"));
    child<QPushButton>(w, "cmdUndo")->click();
    QCOMPARE(m_dir->scalar("SELECT Amount FROM MealItems WHERE MealID = ? AND Item = 'Onions'", {chili})
                 .toString(),
             QString("2"));
    QCOMPARE(grid->item(0, 1)->text(), QString("2")); // the window follows the file
    // The facts shown are the selected meal's, after an edit, a switch and an undo.
    makeMeal(w, "Soup", 2, {});
    auto *meals = child<QListWidget>(w, "lstMeals");
    auto *serves = child<QSpinBox>(w, "spnServes");
    auto *note = child<QLineEdit>(w, "txtMealNote");
    auto select = [&](const QString &name) {
        meals->setCurrentItem(meals->findItems(name, Qt::MatchExactly).value(0));
    };
    note->setText("thick");
    emit note->editingFinished();
    select("Chili");
    QCOMPARE(serves->value(), 4);
    QCOMPARE(note->text(), QString());
    select("Soup");
    QCOMPARE(serves->value(), 2);
    QCOMPARE(note->text(), QString("thick"));
    child<QPushButton>(w, "cmdUndo")->click();
    QCOMPARE(note->text(), QString());
    select("Chili");
    select("Soup");
    QCOMPARE(note->text(), QString());
    QCOMPARE(m_dir->scalar("SELECT Note FROM Meals WHERE ID = ?", {mealId("Soup")}).toString(),
             QString());
    m_dialogs->answers.push_back(Dialogs::Answer::Yes);
    click(w, "cmdDeleteMeal");
    QCOMPARE(mealId("Soup"), 0);
    select("Chili");
    QCOMPARE(serves->value(), 4);
    // A category's names to pick from: in any case, each once, folded beyond
    // ASCII; no empty category offered.
    QVERIFY(m_dir->exec("INSERT INTO Vendora (Item, Category) VALUES ('zucchini', 'Picks'), "
                        "('Äpfel', 'Picks'), ('Zucchini', 'Picks'), ('äpfel', 'Picks'), "
                        "('Apples', 'Picks'), ('Apples', 'Picks'), ('', 'Picks'), "
                        "('Loose', ''), ('Looser', NULL)"));
    QStringList names;
    QString error;
    QVERIFY(Meals::itemsIn(Module1::household().connection(), "Picks", &names, &error));
    QCOMPARE(names, QStringList({"Apples", "Zucchini", "zucchini", "Äpfel", "äpfel"}));
    QVERIFY(Meals::categories(Module1::household().connection(), &names, &error));
    QVERIFY(names.contains("Picks") && !names.contains(QString()));
    QVERIFY(m_dir->exec("DELETE FROM Vendora WHERE Category IN ('Picks', '') OR Category IS NULL"));
    // Duplicate, rename, delete (No keeps it).
    click(w, "cmdDuplicateMeal");
    QCOMPARE(m_dir->scalar("SELECT COUNT(*) FROM MealItems WHERE MealID = ?",
                           {mealId("Chili (copy)")}).toInt(), 3);
    m_dialogs->texts.push_back("Chili sin carne");
    click(w, "cmdRenameMeal");
    QVERIFY(mealId("Chili sin carne") > 0);
    m_dialogs->answers.push_back(Dialogs::Answer::No);
    click(w, "cmdDeleteMeal");
    QCOMPARE(m_dir->scalar("SELECT COUNT(*) FROM Meals").toInt(), 2);
    m_dialogs->answers.push_back(Dialogs::Answer::Yes);
    click(w, "cmdDeleteMeal");
    QCOMPARE(m_dir->scalar("SELECT COUNT(*) FROM Meals").toInt(), 1);
    QCOMPARE(m_dialogs->unexpected, 0);

    // Every control has a name a listener understands, on both pages, and
    // Tab walks through every one that takes the focus.
    for (int page = 0; page < 2; ++page) {
        child<QTabWidget>(w, "tabPages")->setCurrentIndex(page);
        QSet<QWidget *> reached;
        QWidget *at = child<QListWidget>(w, "lstMeals");
        for (int i = 0; i < 80 && at; ++i, at = at->nextInFocusChain())
            reached.insert(at);
        for (QWidget *c : w->findChildren<QWidget *>()) {
            if (c->focusPolicy() == Qt::NoFocus || !c->isVisible() || !c->isEnabled() ||
                qobject_cast<QWidget *>(c->parent())->inherits("QAbstractScrollArea") ||
                c->inherits("QTabBar") || qobject_cast<QComboBox *>(c->parent()) ||
                qobject_cast<QAbstractSpinBox *>(c->parent()))
                continue;
            QVERIFY2(!QAccessible::queryAccessibleInterface(c)->text(QAccessible::Name).isEmpty(),
                     qPrintable(c->objectName()));
            QVERIFY2(reached.contains(c), qPrintable(c->objectName()));
        }
    }
    // F1 opens the page's help; Escape closes the window.
    QTest::keyClick(w, Qt::Key_Escape);
    QTRY_VERIFY(!Module1::frmMealsIfOpen());
}

void TstMealsWindow::aPastedRecipeIsMatchedAndNothingGuessed()
{
    frmVendora *f = start();
    QVERIFY(f);
    frmMeals *w = openMeals(f);
    QVERIFY(w);
    makeMeal(w, "Soup", 2, {});
    // Exact names (any case, plural or not) match; the rest are asked about.
    m_dialogs->texts.push_back("Ingredients:\n400 g tomato\n2 large onions, chopped\n"
                               "1 tbsp fresh ginger\n\n1/2 tsp Zaatar\n1 pinch nothing-like-it");
    m_dialogs->choices = {0,  // "large onions": the first offered, Onions
                          -1}; // ginger: cancelled: nothing written
    click(w, "cmdPasteRecipe");
    QCOMPARE(m_dir->scalar("SELECT COUNT(*) FROM MealItems").toInt(), 0);
    QVERIFY2(m_dialogs->lastChoices.first() == "Ginger", qPrintable(m_dialogs->lastChoices.join('|')));

    const int catalogue = m_dir->scalar("SELECT COUNT(*) FROM Vendora").toInt();
    m_dialogs->texts.push_back("400 g tomato\n2 large onions, chopped\n1 tbsp fresh ginger\n"
                               "1/2 tsp Zaatar\n1 pinch nothing-like-it");
    m_dialogs->choices.push_back(0); // large onions -> Onions
    m_dialogs->choices.push_back(0); // fresh ginger -> Ginger
    // Zaatar: nothing close; "Add … to the catalogue" comes first, then its category.
    m_dialogs->choices.push_back(0);
    m_dialogs->choices.push_back(0); // the first category
    m_dialogs->choices.push_back(2); // nothing-like-it: skip this and every line left
    click(w, "cmdPasteRecipe");
    QCOMPARE(m_dialogs->unexpected, 0);
    const QStringList items = column("SELECT Item || '|' || COALESCE(Amount, '') FROM "
                                            "MealItems ORDER BY Position");
    QCOMPARE(items, QStringList({"Tomatoes|400 g", "Onions|2", "Ginger|1 tbsp", "Zaatar|0.5 tsp"}));
    QCOMPARE(m_dir->scalar("SELECT COUNT(*) FROM Vendora").toInt(), catalogue + 1);
    QVERIFY2(m_dialogs->messages.last().contains("1 line skipped"), qPrintable(m_dialogs->messages.last()));

    // Hostile text: 10,000 lines, one of 5,000 characters, SQL, markup,
    // right-to-left and emoji; every unmatched line skipped at the first ask.
    QString hostile;
    for (int i = 0; i < 10000; ++i)
        hostile += QStringLiteral("%1 g '); DROP TABLE Vendora;-- <b>x</b> \u202Eabc \U0001F336 %2\n")
                       .arg(i)
                       .arg(i % 997 == 0 ? QString(5000, QChar('w')) : QString::number(i));
    m_dialogs->texts.push_back(hostile + "200 g Tomatoes\n");
    m_dialogs->choices.push_back(2);
    click(w, "cmdPasteRecipe");
    QCOMPARE(m_dir->scalar("SELECT COUNT(*) FROM Vendora").toInt(), catalogue + 1);
    QCOMPARE(m_dir->scalar("SELECT COUNT(*) FROM MealItems").toInt(), 5);
    QVERIFY2(m_dialogs->messages.last().contains("10000 lines skipped"), qPrintable(m_dialogs->messages.last()));
}

void TstMealsWindow::mealsOntoTheListAndBackEverywhere()
{
    QVERIFY(m_dir->exec("INSERT INTO Selected (Item, Category, Aisle, Quantity) SELECT Item, "
                        "Category, Aisle, '1 bag' FROM Vendora WHERE Item = 'Onions'"));
    frmVendora *f = start();
    QVERIFY(f);
    frmMeals *w = openMeals(f);
    QVERIFY(w);
    makeMeal(w, "Chili", 4, {{"Onions", "2"}, {"Tomatoes", "400 g"}, {"Garlic", "2 cloves"}});
    makeMeal(w, "Tacos", 2, {{"Tomatoes", "200 g"}, {"Garlic", "1 clove"}});
    tick(w, "Chili", 8); // doubled
    tick(w, "Tacos", 2);
    // The preview: what is new, what grows, what stays typed; garlic is at home.
    m_dialogs->several.push_back(QList<bool>{true, true, false});
    click(w, "cmdAddToList");
    QCOMPARE(m_dialogs->lastSeveral,
             QStringList({"Onions: 4 (on the list already, beside what you typed)",
                          "Tomatoes: 1 kg (new)", "Garlic: 5 cloves (new)"}));
    QCOMPARE(listQuantity("Onions"), QString("1 bag")); // typed: never rewritten
    QCOMPARE(listQuantity("Tomatoes"), QString("1 kg"));
    QCOMPARE(m_dir->scalar("SELECT COUNT(*) FROM Selected WHERE Item = 'Garlic'").toInt(), 0);
    QCOMPARE(UndoCommands::undoLabel(Module1::household()), QString("Undo Add Chili, Tacos to List"));

    // The grid, the printed list and the phones say what each line is for.
    auto *grid = child<QTableView>(f, "grdList");
    QStringList shown;
    for (int r = 0; r < grid->model()->rowCount(); ++r)
        shown << grid->model()->index(r, 0).data().toString();
    QVERIFY2(shown.contains("Tomatoes \u2014 for Chili, Tacos"), qPrintable(shown.join('|')));
    QVERIFY2(shown.contains("Onions \u2014 + 4 for Chili"), qPrintable(shown.join('|')));
    f->mnuPrint_Click();
    ReportPreview *preview = PrintCommands::window(PrintCommands::Entry::Pantrio);
    QVERIFY(preview);
    QVERIFY(preview->layout().dump(preview->data()).join('\n').contains("Tomatoes \u2014 for Chili, Tacos"));
    preview->close();
    TakeAlong::List phone;
    QString error;
    QVERIFY2(TakeAlong::build(Module1::de(), &phone, &error), qPrintable(error));
    QVERIFY(TakeAlong::plainText(phone).contains("Tomatoes \u2014 for Chili, Tacos"));
    const QByteArray page = TakeAlong::phonePage(phone, QDateTime::currentDateTime(), "k");
    QVERIFY(page.contains("Tomatoes \xE2\x80\x94 for Chili, Tacos"));

    // Tacos taken back: its part of the tomatoes goes, the onions stay typed.
    m_dialogs->choices.push_back(1); // Chili, Tacos: the second
    click(w, "cmdRemoveFromList");
    QCOMPARE(listQuantity("Tomatoes"), QString("800 g"));
    QCOMPARE(listQuantity("Onions"), QString("1 bag"));
    // Chili too: what the meals made goes, what the user had stays.
    m_dialogs->choices.push_back(0);
    click(w, "cmdRemoveFromList");
    QCOMPARE(column("SELECT Item || '|' || Quantity FROM Selected"), QStringList({"Onions|1 bag"}));
    // Undone twice: the list of both meals again, byte for byte.
    for (int i = 0; i < 2; ++i)
        child<QPushButton>(w, "cmdUndo")->click();
    QCOMPARE(listQuantity("Tomatoes"), QString("1 kg"));
    QCOMPARE(m_dialogs->unexpected, 0);
}

void TstMealsWindow::usuallyBoughtSaysWhyAndListens()
{
    // Milk every week for two months, last bought ten days ago; bread too,
    // but it is on the list.
    const QDate today = QDate::currentDate();
    for (int i = 0; i < 8; ++i)
        for (const char *item : {"Whole Milk", "Sandwich Bread"})
            QVERIFY(m_dir->exec("INSERT INTO Purchases (Item, Bought) VALUES (?, ?)",
                                {item, today.addDays(-10 - 7 * i).toString(Qt::ISODate)}));
    QVERIFY(m_dir->exec("INSERT INTO Selected (Item, Quantity) VALUES ('Sandwich Bread', '1')"));
    frmVendora *f = start();
    QVERIFY(f);
    frmMeals *w = openMeals(f, "mnuUsual");
    QVERIFY(w);
    QCOMPARE(child<QTabWidget>(w, "tabPages")->currentIndex(), 1);
    auto *due = child<QTableWidget>(w, "grdDue");
    QCOMPARE(due->rowCount(), 1);
    QCOMPARE(due->item(0, 0)->text(), QString("Whole Milk"));
    QCOMPARE(due->item(0, 1)->text(), QString("about every 7 days; last bought 10 days ago"));
    // Added: off the suggestions, as it is on the list now.
    click(w, "cmdAddDue");
    QCOMPARE(m_dir->scalar("SELECT Category FROM Selected WHERE Item = 'Whole Milk'").toString(),
             QString("Dairy"));
    QCOMPARE(due->rowCount(), 0);
    child<QPushButton>(w, "cmdUndo")->click();
    QCOMPARE(due->rowCount(), 1);
    // Not this time: quiet for another interval; Stop suggesting: for good.
    click(w, "cmdNotThisTime");
    QCOMPARE(due->rowCount(), 0);
    QCOMPARE(m_dir->scalar("SELECT QuietUntil FROM UsualChoices").toString(),
             today.addDays(7).toString(Qt::ISODate));
    child<QPushButton>(w, "cmdUndo")->click();
    QCOMPARE(due->rowCount(), 1);
    click(w, "cmdStopSuggesting");
    QCOMPARE(due->rowCount(), 0);
    // Completing "always have" asks the file as the user types, whatever the
    // case, with its wildcards taken as plain letters.
    QVERIFY(m_dir->exec("INSERT INTO Vendora (Item, Category) VALUES ('Äpfel 100%', 'Produce'), "
                        "('Apfelsaft', 'Drinks'), ('Salt_Flakes', 'Pantry'), ('SaltXFlakes', 'Pantry')"));
    auto *always = child<QComboBox>(w, "cboAlways");
    QTest::keyClicks(always->lineEdit(), "SAL");
    QStringList offered;
    const QAbstractItemModel *completions = always->completer()->completionModel();
    for (int r = 0; r < completions->rowCount(); ++r)
        offered << completions->index(r, 0).data().toString();
    QVERIFY2(offered.contains("Salt") && offered.filter("sal", Qt::CaseInsensitive) == offered,
             qPrintable(offered.join(", ")));
    QStringList names;
    QString error;
    Connection &c = Module1::household().connection();
    QVERIFY(Meals::namesContaining(c, "äpf", 50, &names, &error));
    QCOMPARE(names, QStringList({"Äpfel 100%"}));
    QVERIFY(Meals::namesContaining(c, "apf", 50, &names, &error));
    QCOMPARE(names, QStringList({"Apfelsaft"}));
    QVERIFY(Meals::namesContaining(c, "t_f", 50, &names, &error));
    QCOMPARE(names, QStringList({"Salt_Flakes"}));
    QVERIFY(Meals::namesContaining(c, "0%", 50, &names, &error));
    QCOMPARE(names, QStringList({"Äpfel 100%"}));
    QVERIFY(Meals::namesContaining(c, "a", 2, &names, &error));
    QCOMPARE(names.size(), 2);
    always->lineEdit()->clear();
    // Always have: salt, never bought, named as the catalogue names it.
    always->setCurrentText("salt");
    click(w, "cmdAlwaysHave");
    QCOMPARE(due->rowCount(), 1);
    QCOMPARE(due->item(0, 0)->text(), QString("Salt"));
    QCOMPARE(due->item(0, 1)->text(), QString("always have"));
    // Ticked lines that leave the list are purchases the rhythm learns from.
    QCOMPARE(m_dialogs->unexpected, 0);
}

void TstMealsWindow::mealsMoveBetweenHouseholds()
{
    frmVendora *f = start();
    QVERIFY(f);
    frmMeals *w = openMeals(f);
    makeMeal(w, "Pancakes, \"fluffy\"", 3, {{"Whole Milk", "300 ml"}, {"Large Eggs", "2"}});
    makeMeal(w, "=SUM(A1)", 0, {});
    QTemporaryDir dir;
    const QString csv = dir.filePath("meals.csv");
    m_dialogs->fileNames.push_back(csv);
    trigger("mnuExportMeals");
    QVERIFY2(m_dialogs->messages.last().startsWith("3 lines written"), qPrintable(m_dialogs->messages.last()));
    // Into the same file: every meal is there already and nothing is added.
    m_dialogs->fileNames.push_back(csv);
    trigger("mnuImportMeals");
    QVERIFY2(m_dialogs->messages.last().contains("0 meals added. 2 meals were here already"),
             qPrintable(m_dialogs->messages.last()));
    // Into an empty household: the same meals, field for field.
    QVERIFY(m_dir->exec("DELETE FROM MealItems") && m_dir->exec("DELETE FROM Meals"));
    Module1::household().changed(Household::Replaced, nullptr);
    m_dialogs->fileNames.push_back(csv);
    trigger("mnuImportMeals");
    QCOMPARE(column("SELECT Name || '|' || Serves FROM Meals ORDER BY Name"),
             QStringList({"=SUM(A1)|0", "Pancakes, \"fluffy\"|3"}));
    QCOMPARE(column("SELECT Item || '|' || Amount FROM MealItems ORDER BY Position, ID"),
             QStringList({"Whole Milk|300 ml", "Large Eggs|2"}));
    // A broken file adds nothing and says where.
    QFile bad(csv);
    QVERIFY(bad.open(QIODevice::WriteOnly));
    bad.write("Meal,Serves,Meal Note,Item,Category,Aisle,Amount,Note\r\nX,many,,,,,,\r\n");
    bad.close();
    m_dialogs->fileNames.push_back(csv);
    trigger("mnuImportMeals");
    QVERIFY2(m_dialogs->messages.last().contains("line 2"), qPrintable(m_dialogs->messages.last()));
    QCOMPARE(m_dir->scalar("SELECT COUNT(*) FROM Meals").toInt(), 2);
}

QTEST_MAIN(TstMealsWindow)
#include "tst_mealswindow.moc"

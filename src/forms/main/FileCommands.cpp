#include "forms/main/FileCommands.h"

#include "data/safety/Backup.h"
#include "data/formats/CatalogueTransfer.h"
#include "data/access/Connection.h"
#include "data/formats/Csv.h"
#include "data/text/Plural.h"
#include "data/safety/SafeFile.h"
#include "data/owner/Household.h"
#include "data/shopping/Meals.h"
#include "data/shopping/Stores.h"
#include "uibase/Dialogs.h"

#include <QDate>
#include <QDir>
#include <QFile>
#include <QFileInfo>

namespace pantrio::FileCommands
{

namespace
{

QString native(const QString &path)
{
    return QDir::toNativeSeparators(path);
}

bool sameFile(const QString &a, const QString &b)
{
    return QFileInfo(a).absoluteFilePath() == QFileInfo(b).absoluteFilePath();
}

// A command that would write says why it cannot, before asking anything.
bool mayWrite(QWidget *parent, Household &file)
{
    QString why;
    if (file.connection().canWrite(&why))
        return true;
    Dialogs::notify(parent, why);
    return false;
}

// Asks for a CSV file and reads it; false (told, or cancelled) when there is
// none to import. nothing says what a refusal leaves unchanged.
bool chooseCsv(QWidget *parent, const QString &caption, const QString &nothing, QString *path,
               Csv::Table *table)
{
    *path = Dialogs::instance().openFileName(
        parent, caption, QStringLiteral("CSV files (*.csv *.txt *.tsv);;All files (*)"));
    if (path->isEmpty())
        return false;
    QFile file(*path);
    if (!file.open(QIODevice::ReadOnly)) {
        Dialogs::notify(
            parent, QStringLiteral("%1 cannot be read: %2").arg(native(*path), file.errorString()));
        return false;
    }
    QString error;
    if (!Csv::parse(file.readAll(), table, &error)) {
        Dialogs::notify(
            parent,
            QStringLiteral("%1 cannot be imported; %2\n\n%3").arg(native(*path), nothing, error));
        return false;
    }
    return true;
}

} // namespace

void backUpNow(QWidget *parent, Household &file)
{
    const QString databasePath = file.path();
    // Suggested beside the automatic backups, never among them: rotation only
    // ever deletes what it made itself.
    const QString suggested =
        QDir(Backup::folderFor(databasePath))
            .filePath(QStringLiteral("Vendora-copy-%1.mdb")
                          .arg(QDate::currentDate().toString(QStringLiteral("yyyy-MM-dd"))));
    const QString target = Dialogs::saveFile(
        parent, QStringLiteral("Back Up Now"), suggested,
        QStringLiteral("Pantrio databases (*.mdb);;All files (*)"));
    if (target.isEmpty())
        return;
    if (sameFile(target, databasePath)) {
        Dialogs::notify(parent, QStringLiteral("The backup cannot replace the database itself."));
        return;
    }
    const QString folder = QFileInfo(target).absolutePath();
    QString error;
    if (!QDir().mkpath(folder)) {
        Dialogs::notify(parent, QStringLiteral("The backup could not be written: the folder %1 "
                                               "cannot be made.")
                                    .arg(native(folder)));
        return;
    }
    // Made complete under a name of its own, then put in place in one step:
    // a file it replaces (the save dialog has asked) stays until then.
    QString temp;
    for (int n = 1; temp.isEmpty() || QFileInfo::exists(temp); ++n)
        temp = target + QStringLiteral(".part%1").arg(n);
    if (!Backup::copy(databasePath, temp, &error) || !SafeFile::moveOver(temp, target, &error)) {
        QFile::remove(temp);
        Dialogs::notify(
            parent,
            QStringLiteral("The backup %1 could not be written:\n%2").arg(native(target), error));
        return;
    }
    Dialogs::notify(parent, QStringLiteral("Backed up to %1.").arg(native(target)));
}

bool restore(QWidget *parent, Household &file)
{
    const QString databasePath = file.path();
    if (!mayWrite(parent, file))
        return false;
    const QString source = Dialogs::instance().openFileName(
        parent, QStringLiteral("Restore"),
        QStringLiteral("Pantrio databases (*.mdb);;All files (*)"));
    if (source.isEmpty())
        return false;
    QString error;
    if (sameFile(source, databasePath)) {
        Dialogs::notify(parent, QStringLiteral("That is the database in use; choose a backup."));
        return false;
    }
    if (!Backup::verify(source, &error)) {
        Dialogs::notify(parent, QStringLiteral("%1 is not an intact Pantrio database, so nothing "
                                               "was changed.\n\n%2")
                                    .arg(native(source), error));
        return false;
    }
    if (!Dialogs::askYesNo(parent, QStringLiteral("Replace your catalogue, shopping list and "
                                                  "settings with the backup %1?\n\nYour current "
                                                  "data is backed up first.")
                                       .arg(native(source))))
        return false;
    // Not a step of the history: the copy taken first is the way back.
    QString kept;
    if (!file.replace([&](QString *e) { return Backup::restore(databasePath, source, e, &kept); },
                      &error)) {
        // Said as it is: the restore may have been made, and only the opening failed.
        Dialogs::notify(parent, file.isOpen() || !error.startsWith(QLatin1String("The file was replaced"))
                                    ? QStringLiteral("The backup could not be restored; your data "
                                                     "is as it was.\n\n") + error
                                    : QStringLiteral("The backup %1 was restored. ").arg(native(source)) +
                                          error);
        return false;
    }
    Dialogs::notify(parent, QStringLiteral("Restored from %1.\n\nYour data as it was before is "
                                           "kept in %2.")
                                .arg(native(source), native(kept)));
    return true;
}

bool importCatalogue(QWidget *parent, Household &file)
{
    if (!mayWrite(parent, file))
        return false;
    QString path;
    Csv::Table table;
    if (!chooseCsv(parent, QStringLiteral("Import Catalogue"), QStringLiteral("nothing was added."),
                   &path, &table))
        return false;
    QString error;
    CatalogueTransfer::ImportPlan plan;
    if (!CatalogueTransfer::plan(file.connection(), table, &plan, &error)) {
        Dialogs::notify(parent, QStringLiteral("%1 cannot be imported; nothing was added.\n\n%2")
                                    .arg(native(path), error));
        return false;
    }
    const QString blank =
        table.blankRows
            ? QLatin1Char('\n') + plural(QT_TRANSLATE_N_NOOP("Pantrio", "%n blank row(s) will be skipped."), table.blankRows)
            : QString();
    if (plan.items.isEmpty()) {
        if (plan.duplicates == 0)
            Dialogs::notify(
                parent, QStringLiteral("There are no items in %1 below its header "
                                       "line; nothing was added.%2")
                            .arg(native(path), blank.isEmpty()
                                                   ? QString()
                                                   : QLatin1Char(' ') + plural(QT_TRANSLATE_N_NOOP("Pantrio", "(%n blank row(s).)"),
                                                                               table.blankRows)));
        else
            Dialogs::notify(parent, plural(QT_TRANSLATE_N_NOOP("Pantrio",
                                                               "Every item in %1 is already in the "
                                                               "catalogue (%n skipped); nothing was "
                                                               "added."),
                                           plan.duplicates)
                                        .arg(native(path)));
        return false;
    }
    if (!Dialogs::askOkCancel(
            parent, plural(QT_TRANSLATE_N_NOOP("Pantrio", "Add %n item(s) from %1?"),
                           int(plan.items.size()))
                            .arg(native(path)) +
                        QLatin1Char('\n') +
                        plural(QT_TRANSLATE_N_NOOP("Pantrio", "%n exact duplicate(s) of items "
                                                              "already in the catalogue will be "
                                                              "skipped."),
                               plan.duplicates) +
                        blank))
        return false;
    // Written in one go, with no events taken meanwhile, so no other window
    // can start a change inside the import's transaction.
    const int count = int(plan.items.size());
    if (!file.change(
            plural(QT_TRANSLATE_N_NOOP("Pantrio", "Import %n Item(s)"), count), Household::Catalogue | Household::Categories,
            [&](QString *e) { return CatalogueTransfer::apply(file.connection(), plan, {}, e); },
            &error)) {
        Dialogs::notify(parent, error);
        return false;
    }
    Dialogs::notify(
        parent, plural(QT_TRANSLATE_N_NOOP("Pantrio", "%n item(s) added to the catalogue."),
                           int(plan.items.size())) +
                    (table.blankRows
                         ? QLatin1Char(' ') + plural(QT_TRANSLATE_N_NOOP("Pantrio", "%n blank row(s) skipped."), table.blankRows)
                         : QString()));
    return true;
}

namespace
{
void exportTo(QWidget *parent, Household &file, const QString &caption,
              const QString &name, bool (*write)(Connection &, const QString &, int *, QString *))
{
    const QString path = Dialogs::saveFile(parent, caption, name,
                                                          QStringLiteral("CSV files (*.csv)"));
    if (path.isEmpty())
        return;
    QString error;
    int count = 0;
    if (!write(file.connection(), path, &count, &error)) {
        Dialogs::notify(parent,
                        QStringLiteral("%1 could not be written:\n%2").arg(native(path), error));
        return;
    }
    Dialogs::notify(parent,
                    plural(QT_TRANSLATE_N_NOOP("Pantrio", "%n line(s) written to %1."), count)
                        .arg(native(path)));
}
} // namespace

void exportCatalogue(QWidget *parent, Household &file)
{
    exportTo(parent, file, QStringLiteral("Export Catalogue"),
             QStringLiteral("Catalogue.csv"), &CatalogueTransfer::exportCatalogue);
}

void exportShoppingList(QWidget *parent, Household &file)
{
    exportTo(parent, file, QStringLiteral("Export Shopping List"),
             QStringLiteral("Shopping List.csv"), &CatalogueTransfer::exportShoppingList);
}

void importStoreAisles(QWidget *parent, Household &file)
{
    if (!mayWrite(parent, file))
        return;
    QString path;
    Csv::Table table;
    if (!chooseCsv(parent, QStringLiteral("Import Store Aisles"),
                   QStringLiteral("nothing was changed."), &path, &table))
        return;
    Stores::AislePlan plan;
    QString error;
    if (!Stores::planAisles(file.connection(), table, &plan, &error))
        return void(Dialogs::notify(
            parent, QStringLiteral("%1 cannot be imported; nothing was changed.\n\n%2")
                        .arg(native(path), error)));
    if (plan.rows.isEmpty())
        return void(Dialogs::notify(parent, QStringLiteral("There are no aisles in %1 below its "
                                                           "header line; nothing was changed.")
                                                .arg(native(path))));
    // Asked first, with the counts, as the catalogue's import does.
    QStringList asked = {
        plural(QT_TRANSLATE_N_NOOP("Pantrio", "Set %n aisle(s) from %1?"), int(plan.rows.size()))
            .arg(native(path)),
        plural(QT_TRANSLATE_N_NOOP("Pantrio", "The file names %n store(s)."), plan.stores)};
    if (!plan.newStores.isEmpty())
        asked << plural(QT_TRANSLATE_N_NOOP("Pantrio", "%n new store(s) will be added: %1."),
                        int(plan.newStores.size()))
                     .arg(plan.newStores.join(QStringLiteral(", ")));
    if (plan.blankRows)
        asked << plural(QT_TRANSLATE_N_NOOP("Pantrio", "%n blank row(s) will be skipped."),
                        plan.blankRows);
    if (!Dialogs::askOkCancel(parent, asked.join(QLatin1Char('\n'))))
        return;
    if (!file.change(QStringLiteral("Import Store Aisles"), Household::StoresAndAisles,
                     [&](QString *e) { return Stores::applyAisles(file.connection(), plan, e); },
                     &error))
        return void(Dialogs::notify(
            parent, QStringLiteral("%1 cannot be imported; nothing was changed.\n\n%2")
                        .arg(native(path), error)));
    QStringList said = {plural(QT_TRANSLATE_N_NOOP("Pantrio", "%n aisle(s) set for items in stores."),
                               int(plan.rows.size()))};
    if (!plan.newStores.isEmpty())
        said << plural(QT_TRANSLATE_N_NOOP("Pantrio", "%n new store(s) added."),
                       int(plan.newStores.size()));
    if (plan.blankRows)
        said << plural(QT_TRANSLATE_N_NOOP("Pantrio", "%n blank row(s) skipped."), plan.blankRows);
    Dialogs::notify(parent, said.join(QLatin1Char(' ')));
}

void exportStoreAisles(QWidget *parent, Household &file)
{
    if (!file.hasStores())
        return void(Dialogs::notify(parent, QStringLiteral("This file has no stores yet.")));
    exportTo(parent, file, QStringLiteral("Export Store Aisles"),
             QStringLiteral("Store Aisles.csv"), &Stores::exportAisles);
}

void importMeals(QWidget *parent, Household &file)
{
    if (!mayWrite(parent, file))
        return;
    if (!file.hasMeals())
        return void(Dialogs::notify(parent, QStringLiteral("This file has no meals, and Pantrio can "
                                                           "only read it.")));
    QString path, error;
    Csv::Table table;
    if (!chooseCsv(parent, QStringLiteral("Import Meals"), QStringLiteral("nothing was added."),
                   &path, &table))
        return;
    QVector<Meals::Imported> meals;
    if (!Meals::readCsv(table, &meals, &error))
        return void(Dialogs::notify(parent, QStringLiteral("%1 cannot be imported; nothing was "
                                                           "added.\n\n%2").arg(native(path), error)));
    int added = 0, same = 0;
    if (!file.change(QStringLiteral("Import Meals"), Household::Meals,
                     [&](QString *e) { return Meals::importMeals(file.connection(), meals, &added, &same, e); },
                     &error))
        return void(Dialogs::notify(parent, QStringLiteral("%1 cannot be imported; nothing was "
                                                           "added.\n\n%2").arg(native(path), error)));
    QStringList said = {plural(QT_TRANSLATE_N_NOOP("Pantrio", "%n meal(s) added."), added)};
    if (same)
        said << plural(QT_TRANSLATE_N_NOOP("Pantrio", "%n meal(s) were here already and were left as they are."), same);
    Dialogs::notify(parent, said.join(QLatin1Char(' ')));
}

void exportMeals(QWidget *parent, Household &file)
{
    if (!file.hasMeals())
        return void(Dialogs::notify(parent, QStringLiteral("This file has no meals yet.")));
    exportTo(parent, file, QStringLiteral("Export Meals"), QStringLiteral("Meals.csv"),
             &Meals::exportCsv);
}

} // namespace pantrio::FileCommands

#include "uibase/UndoCommands.h"

#include <QAbstractButton>

#include "data/owner/Household.h"
#include "uibase/Dialogs.h"

#include <QAction>
#include <QMainWindow>
#include <QMenu>
#include <QMenuBar>
#include <QPointer>

namespace pantrio::UndoCommands
{

namespace
{
bool step(QWidget *parent, Household &file, bool forward)
{
    const QPointer<QWidget> alive(parent);
    QString error;
    const bool ok = forward ? file.redo(&error) : file.undo(&error);
    if (!ok && !error.isEmpty())
        Dialogs::notify(alive, error);
    return ok;
}
} // namespace

QString undoLabel(Household &file)
{
    const UndoHistory &h = file.history();
    return h.canUndo() ? QStringLiteral("Undo ") + h.undoText() : QStringLiteral("Undo");
}

QString redoLabel(Household &file)
{
    const UndoHistory &h = file.history();
    return h.canRedo() ? QStringLiteral("Redo ") + h.redoText() : QStringLiteral("Redo");
}

QString unavailableReason(Household &file)
{
    if (file.isReadOnly())
        return QStringLiteral("Pantrio can only read this file. ") + file.readOnlyReason();
    return file.historyUnavailableReason();
}

bool undo(QWidget *parent, Household &file)
{
    return step(parent, file, false);
}

bool redo(QWidget *parent, Household &file)
{
    return step(parent, file, true);
}

void addEditMenu(QMainWindow *window, Household &file, QAction *before,
                 std::function<bool()> prepare)
{
    auto *menu = new QMenu(QStringLiteral("Edit"), window);
    menu->setObjectName(QStringLiteral("mnuEdit"));
    window->menuBar()->insertMenu(before, menu);
    QAction *undoAction = menu->addAction(QStringLiteral("Undo"));
    undoAction->setObjectName(QStringLiteral("mnuUndo"));
    undoAction->setShortcut(QKeySequence::Undo);
    QAction *redoAction = menu->addAction(QStringLiteral("Redo"));
    redoAction->setObjectName(QStringLiteral("mnuRedo"));
    redoAction->setShortcuts({QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_Z),
                              QKeySequence(Qt::CTRL | Qt::Key_Y)});
    for (QAction *a : {undoAction, redoAction})
        a->setShortcutContext(Qt::WindowShortcut);

    Household *f = &file;
    auto show = [f, undoAction, redoAction] {
        const QString why = unavailableReason(*f);
        const UndoHistory &h = f->history();
        undoAction->setText(undoLabel(*f));
        redoAction->setText(redoLabel(*f));
        undoAction->setEnabled(why.isEmpty() && h.canUndo());
        redoAction->setEnabled(why.isEmpty() && h.canRedo());
        for (QAction *a : {undoAction, redoAction}) {
            a->setToolTip(why.isEmpty() ? a->text() : why);
            a->setStatusTip(why);
        }
    };
    show();
    QObject::connect(&file.history(), &UndoHistory::changed, menu, show);
    QObject::connect(undoAction, &QAction::triggered, window, [window, f, prepare] {
        if (!prepare || prepare())
            undo(window, *f);
    });
    QObject::connect(redoAction, &QAction::triggered, window, [window, f, prepare] {
        if (!prepare || prepare())
            redo(window, *f);
    });
}

void showOnButtons(Household &file, QAbstractButton *undoButton, QAbstractButton *redoButton)
{
    const QString why = unavailableReason(file);
    const UndoHistory &h = file.history();
    undoButton->setEnabled(why.isEmpty() && h.canUndo());
    redoButton->setEnabled(why.isEmpty() && h.canRedo());
    undoButton->setToolTip(!why.isEmpty() ? why : h.canUndo() ? undoLabel(file) : QString());
    redoButton->setToolTip(!why.isEmpty() ? why : h.canRedo() ? redoLabel(file) : QString());
    undoButton->setAccessibleDescription(undoButton->toolTip());
    redoButton->setAccessibleDescription(redoButton->toolTip());
}

} // namespace pantrio::UndoCommands

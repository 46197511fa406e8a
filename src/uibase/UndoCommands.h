#pragma once

#include <functional>

class QAction;
class QString;
class QMainWindow;
class QWidget;

class QAbstractButton;

namespace pantrio
{

class Household;

// Undo and Redo of the open household file's history, the same in every
// window: an Edit menu whose entries name the step they take ("Undo Delete
// All"), Ctrl+Z, Ctrl+Shift+Z and Ctrl+Y, off with the reason on a file that
// may only be read. A step that cannot be taken is told in a message box.
namespace UndoCommands
{

// Adds the Edit menu to window's menu bar, before the entry before (at the
// end when null). Its entries are mnuUndo and mnuRedo. prepare, when given,
// runs first and may stop the step (a window storing what is being typed).
void addEditMenu(QMainWindow *window, Household &file, QAction *before,
                 std::function<bool()> prepare = {});
// Takes one step back (or forward); false, told to the user, when it cannot.
bool undo(QWidget *parent, Household &file);
bool redo(QWidget *parent, Household &file);
// "Undo Delete All", "Redo Add 12 Items"; "Undo" alone with nothing to undo.
QString undoLabel(Household &file);
QString redoLabel(Household &file);
// Why the history cannot be used on this file; empty when it can.
QString unavailableReason(Household &file);
// A window's own Undo and Redo buttons: enabled as the history allows, each
// saying (also to a screen reader) what it would do or why it cannot.
void showOnButtons(Household &file, QAbstractButton *undo, QAbstractButton *redo);

} // namespace UndoCommands
} // namespace pantrio

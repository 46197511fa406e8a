#pragma once

#include <QHash>
#include <QRectF>
#include <QString>

#include <initializer_list>

class QAction;
class QMainWindow;
class QLineEdit;
class QMenu;
class QWidget;

namespace pantrio
{

// A window's controls as a table, one row a control, in tab order: what it
// is, its name (which the appearance code matches by prefix), where it stands
// in twips, its caption and designed font, its help topic, and what a screen
// reader calls it and says of it. The window's own code then binds them.
// Written with designated initializers, so each row names what it sets.
struct ControlRow {
    const char *name;
    int index = -1; // in a control array: its index, kept in the "index" property
    QWidget *(*make)(QWidget *parent) = nullptr;
    QRectF twips; // left, top, width, height
    const char *caption = nullptr;
    const char *font = nullptr; // a designed face; none keeps the window's
    double points = 0;
    bool italic = false;
    int helpTopic = 0;
    const char *accessibleName = nullptr;
    const char *description = nullptr;
};

// Gives a line edit the button that empties it, named for a screen reader
// ("Clear Find items"): Qt's own has no name.
void enableClearButton(QLineEdit *edit);

template <typename W> QWidget *make(QWidget *parent)
{
    return new W(parent);
}

// Makes every row's control in parent, with its tab order; the controls by
// name, "name(index)" for members of a control array.
QHash<QString, QWidget *> buildControls(QWidget *parent, std::initializer_list<ControlRow> rows);

// A menu's entry: its name, caption and what it runs.
struct MenuRow {
    const char *name;
    const char *caption;
};

// Adds a menu (or, when title is empty, top-level commands) to the window's
// menu bar with the given entries; the entries by name.
QHash<QString, QAction *> addMenu(QMainWindow *window, const char *menuName, const char *title,
                                  std::initializer_list<MenuRow> entries);

} // namespace pantrio

#pragma once

#include "data/shopping/EditSession.h"

#include <QWidget>

#include <optional>

class QLabel;
class QPushButton;

namespace pantrio
{

// The item editor's status strip along its bottom edge: the four arrow
// buttons around the status line. The editor connects and moves them.
class StatusStrip : public QWidget
{
  public:
    explicit StatusStrip(QWidget *parent);

    QPushButton *cmdFirst;
    QPushButton *cmdPrevious;
    QPushButton *cmdNext;
    QPushButton *cmdLast;
    QLabel *lblStatus;
};

// The strip of record commands above it: Add, Edit, Delete, Refresh, and
// Update and Cancel in the places of Add and Edit.
class ButtonStrip : public QWidget
{
  public:
    explicit ButtonStrip(QWidget *parent);

    QPushButton *cmdAdd;
    QPushButton *cmdEdit;
    QPushButton *cmdDelete;
    QPushButton *cmdRefresh;
    QPushButton *cmdUpdate;
    QPushButton *cmdCancel;
};

// The record a browsing key moves to (End, Home, the arrows and the page
// keys, with Ctrl to the first or last), or nothing for other keys.
std::optional<EditSession::Step> stepForKey(int key, Qt::KeyboardModifiers modifiers);

// A command button with its caption, accessible name and help topic.
QPushButton *editorButton(QWidget *parent, const char *name, const QString &caption, int topic);

} // namespace pantrio

#pragma once

#include <QWidget>

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

// A command button with its caption, accessible name and help topic.
QPushButton *editorButton(QWidget *parent, const char *name, const QString &caption, int topic);

} // namespace pantrio

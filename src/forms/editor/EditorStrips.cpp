#include "forms/editor/EditorStrips.h"

#include "uibase/Design.h"

#include <QLabel>
#include <QPushButton>

namespace pantrio
{

QPushButton *editorButton(QWidget *parent, const char *name, const QString &caption, int topic)
{
    auto *b = new QPushButton(caption, parent);
    b->setObjectName(QLatin1String(name));
    b->setAccessibleName(QString(caption).remove(QLatin1Char('&')));
    setHelpTopic(b, topic);
    return b;
}

StatusStrip::StatusStrip(QWidget *parent) : QWidget(parent)
{
    setObjectName(QStringLiteral("picStatBox"));
    placeTwips(this, 0, 8430, 9795, 660);
    auto arrow = [this](const char *name, const char *image, const QString &what, double left,
                        int topic) {
        QPushButton *b = editorButton(this, name, QString(), topic);
        b->setAccessibleName(what);
        b->setIcon(QIcon(QStringLiteral(":/pantrio/%1.png").arg(QLatin1String(image))));
        b->setIconSize(QSize(16, 16));
        placeTwips(b, left, 0, 345, 300);
        return b;
    };
    cmdFirst = arrow("cmdFirst", "first", QStringLiteral("First record"), 0, 41);
    cmdPrevious = arrow("cmdPrevious", "previous", QStringLiteral("Previous record"), 345, 44);
    cmdNext = arrow("cmdNext", "next", QStringLiteral("Next record"), 4200, 43);
    cmdLast = arrow("cmdLast", "last", QStringLiteral("Last record"), 4545, 42);
    lblStatus = new QLabel(this);
    lblStatus->setObjectName(QStringLiteral("lblStatus"));
    // "Record: 5", "Add record": the text itself is read; this says what it is.
    lblStatus->setAccessibleDescription(QStringLiteral("Record status"));
    lblStatus->setAutoFillBackground(true);
    QPalette white = lblStatus->palette();
    white.setColor(QPalette::Window, Qt::white);
    lblStatus->setPalette(white);
    lblStatus->setFont(designFont(QStringLiteral("MS Sans Serif"), 8.25));
    placeTwips(lblStatus, 690, 0, 3360, 525);
}

ButtonStrip::ButtonStrip(QWidget *parent) : QWidget(parent)
{
    setObjectName(QStringLiteral("picButtons"));
    placeTwips(this, 0, 7890, 9795, 540);
    cmdAdd = editorButton(this, "cmdAdd", QStringLiteral("&Add"), 38);
    placeTwips(cmdAdd, 59, 0, 1095, 400);
    cmdEdit = editorButton(this, "cmdEdit", QStringLiteral("&Edit"), 48);
    placeTwips(cmdEdit, 1213, 0, 1110, 400);
    cmdDelete = editorButton(this, "cmdDelete", QStringLiteral("&Delete"), 39);
    placeTwips(cmdDelete, 2367, 0, 1215, 400);
    cmdRefresh = editorButton(this, "cmdRefresh", QStringLiteral("&Refresh"), 45);
    placeTwips(cmdRefresh, 3720, 0, 1095, 400);
    cmdUpdate = editorButton(this, "cmdUpdate", QStringLiteral("&Update"), 40);
    placeTwips(cmdUpdate, 59, 0, 1095, 400);
    cmdCancel = editorButton(this, "cmdCancel", QStringLiteral("&Cancel"), 47);
    placeTwips(cmdCancel, 1213, 0, 1095, 400);
    // Grey graphical buttons in Tahoma; Update and Cancel show only while a
    // record is added or edited.
    for (QPushButton *b : {cmdAdd, cmdEdit, cmdDelete, cmdRefresh, cmdUpdate, cmdCancel}) {
        b->setFont(designFont(QStringLiteral("Tahoma"), 9.75));
        QPalette p = b->palette();
        p.setColor(QPalette::Button, QColor(0xC0, 0xC0, 0xC0));
        b->setPalette(p);
    }
    cmdUpdate->hide();
    cmdCancel->hide();
}

std::optional<EditSession::Step> stepForKey(int key, Qt::KeyboardModifiers modifiers)
{
    using Step = EditSession::Step;
    const bool exactlyCtrl = (modifiers & ~Qt::KeypadModifier) == Qt::ControlModifier;
    switch (key) {
    case Qt::Key_End:
        return Step::Last;
    case Qt::Key_Home:
        return Step::First;
    case Qt::Key_Up:
    case Qt::Key_PageUp:
        return exactlyCtrl ? Step::First : Step::Previous;
    case Qt::Key_Down:
    case Qt::Key_PageDown:
        return exactlyCtrl ? Step::Last : Step::Next;
    default:
        return std::nullopt;
    }
}

} // namespace pantrio

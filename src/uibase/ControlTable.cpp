#include "uibase/ControlTable.h"

#include "uibase/Design.h"

#include <QAction>
#include <QLineEdit>
#include <QMainWindow>
#include <QToolButton>
#include <QMenu>
#include <QMenuBar>
#include <QVariant>

namespace pantrio
{

QHash<QString, QWidget *> buildControls(QWidget *parent, std::initializer_list<ControlRow> rows)
{
    QHash<QString, QWidget *> made;
    QWidget *previous = nullptr;
    for (const ControlRow &row : rows) {
        QWidget *w = row.make(parent);
        w->setObjectName(QLatin1String(row.name));
        if (row.index >= 0)
            w->setProperty("index", row.index);
        placeTwips(w, row.twips.left(), row.twips.top(), row.twips.width(), row.twips.height());
        if (row.caption)
            w->setProperty("text", QString::fromUtf8(row.caption));
        if (row.font)
            w->setFont(designFont(QLatin1String(row.font), row.points, row.italic));
        if (row.helpTopic)
            setHelpTopic(w, row.helpTopic);
        if (row.accessibleName)
            w->setAccessibleName(QString::fromUtf8(row.accessibleName));
        if (row.description)
            w->setAccessibleDescription(QString::fromUtf8(row.description));
        if (previous)
            QWidget::setTabOrder(previous, w);
        previous = w;
        made.insert(row.index >= 0 ? QStringLiteral("%1(%2)").arg(w->objectName()).arg(row.index)
                                   : w->objectName(),
                    w);
    }
    return made;
}

QHash<QString, QAction *> addMenu(QMainWindow *window, const char *menuName, const char *title,
                                  std::initializer_list<MenuRow> entries)
{
    QHash<QString, QAction *> made;
    QMenu *menu = nullptr;
    if (title) {
        menu = window->menuBar()->addMenu(QString::fromUtf8(title));
        menu->setObjectName(QLatin1String(menuName));
    }
    for (const MenuRow &e : entries) {
        QAction *a = !e.name ? nullptr
                     : menu  ? menu->addAction(QString::fromUtf8(e.caption))
                             : window->menuBar()->addAction(QString::fromUtf8(e.caption));
        if (!a) {
            if (menu)
                menu->addSeparator();
            continue;
        }
        a->setObjectName(QLatin1String(e.name));
        made.insert(a->objectName(), a);
    }
    return made;
}

void enableClearButton(QLineEdit *edit)
{
    edit->setClearButtonEnabled(true);
    const QString what = edit->accessibleName().isEmpty() ? edit->placeholderText()
                                                          : edit->accessibleName();
    const QString name = what.isEmpty() ? QStringLiteral("Clear")
                                        : QStringLiteral("Clear ") + what;
    // The button shows the action Qt adds for it; the action's text names both.
    for (QAction *a : edit->actions()) {
        a->setText(name);
        a->setToolTip(name);
    }
    for (QToolButton *b : edit->findChildren<QToolButton *>()) {
        b->setAccessibleName(name);
        b->setToolTip(name);
    }
}

} // namespace pantrio

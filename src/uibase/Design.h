#pragma once

#include <QAccessible>
#include <QFont>
#include <QLabel>
#include <QMainWindow>
#include <QMenuBar>
#include <QRect>
#include <QShortcut>
#include <QWidget>

namespace pantrio
{

// What the windows share of their design: twips, fonts, help topics.

// The windows are laid out in twips, at 15 twips to the pixel.
constexpr int twips(double t)
{
    return int(t / 15.0 + (t >= 0 ? 0.5 : -0.5));
}

inline void placeTwips(QWidget *w, double left, double top, double width, double height)
{
    w->setGeometry(twips(left), twips(top), twips(width), twips(height));
}

// A designed font. Every attribute is set, so nothing is inherited from the
// window's font (such as its italic).
inline QFont designFont(const QString &family, double points, bool italic = false,
                        bool bold = false)
{
    QFont f(family);
    f.setPointSizeF(points);
    f.setItalic(italic);
    f.setBold(bold);
    return f;
}

// F1 finds the topic of the focused control, or of the nearest parent that has one.
inline void setHelpTopic(QWidget *w, int topic)
{
    w->setProperty("helpTopic", topic);
}

inline int helpTopicOf(const QWidget *w, int windowTopic)
{
    for (; w; w = w->parentWidget()) {
        const QVariant v = w->property("helpTopic");
        if (v.isValid())
            return v.toInt();
    }
    return windowTopic;
}

// A label's text that changes as the program runs: a screen reader hears it as
// the label's name, and is told when it changes.
inline void setLiveText(QLabel *label, const QString &text)
{
    if (label->text() == text)
        return;
    label->setText(text);
    QAccessibleEvent changed(label, QAccessible::NameChanged);
    QAccessible::updateAccessibility(&changed);
}

// F10 opens the window's menu bar, as on the desktops, so every menu is within
// reach of the keyboard while the captions stay as they are.
inline void enableMenuKey(QMainWindow *window)
{
    auto *key = new QShortcut(QKeySequence(Qt::Key_F10), window);
    key->setContext(Qt::WindowShortcut);
    QObject::connect(key, &QShortcut::activated, window, [window] {
        QMenuBar *bar = window->menuBar();
        const QList<QAction *> entries = bar->actions();
        if (entries.isEmpty())
            return;
        bar->setFocus(Qt::ShortcutFocusReason);
        bar->setActiveAction(entries.first());
    });
}

} // namespace pantrio

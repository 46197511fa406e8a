#include "uibase/TopLevelWindows.h"

#include <QList>
#include <QPointer>
#include <QWidget>

namespace pantrio::TopLevelWindows
{

namespace
{
QList<QPointer<QWidget>> g_windows;

void prune()
{
    g_windows.removeIf([](const QPointer<QWidget> &w) { return w.isNull(); });
}
} // namespace

void adopt(QWidget *window)
{
    prune();
    if (window && !g_windows.contains(window))
        g_windows.append(window);
}

void closeAll()
{
    prune();
    // A window's own deletion may delete others it owns; each pointer is
    // checked again before it is used.
    while (!g_windows.isEmpty()) {
        QPointer<QWidget> w = g_windows.takeLast();
        delete w.data();
    }
}

} // namespace pantrio::TopLevelWindows

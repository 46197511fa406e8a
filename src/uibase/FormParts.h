#pragma once

#include <QFont>
#include <QLabel>
#include <QPushButton>
#include <QString>

namespace pantrio::FormParts
{

// A control with its name (the appearance code matches it by prefix) and
// what a screen reader calls it.
template <typename W> W *named(W *w, const char *name, const QString &accessibleName = {})
{
    w->setObjectName(QLatin1String(name));
    if (!accessibleName.isEmpty())
        w->setAccessibleName(accessibleName);
    return w;
}

inline QPushButton *button(const char *name, const QString &caption)
{
    return named(new QPushButton(caption), name);
}

// A bold heading whose mnemonic moves to the control under it.
inline QLabel *heading(const QString &text, QWidget *buddy)
{
    auto *l = new QLabel(text);
    l->setBuddy(buddy);
    QFont f = l->font();
    f.setBold(true);
    l->setFont(f);
    return l;
}

} // namespace pantrio::FormParts

#pragma once

#include <QRect>
#include <QWidget>

namespace pantrio {

// The windows are laid out in twips, at 15 twips to the pixel.
constexpr int twips(double t)
{
    return int(t / 15.0 + (t >= 0 ? 0.5 : -0.5));
}

inline void placeTwips(QWidget *w, double left, double top, double width, double height)
{
    w->setGeometry(twips(left), twips(top), twips(width), twips(height));
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

} // namespace pantrio

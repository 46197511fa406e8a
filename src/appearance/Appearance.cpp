#include "appearance/Appearance.h"

#include "data/access/DataControl.h"
#include "uibase/Dialogs.h"
#include "uibase/Fonts.h"

#include <QAbstractButton>
#include <QLabel>
#include <QMainWindow>
#include <QWidget>

namespace pantrio::Appearance
{

QColor fromStored(qint64 value)
{
    const quint32 v = quint32(value);
    return QColor(int(v & 0xFF), int((v >> 8) & 0xFF), int((v >> 16) & 0xFF));
}

qint64 toStored(const QColor &color)
{
    return qint64(quint32(color.red()) | (quint32(color.green()) << 8) |
                  (quint32(color.blue()) << 16));
}

bool nameMatches(const QString &name, std::initializer_list<const char *> prefixes)
{
    for (const char *p : prefixes)
        if (name.startsWith(QLatin1String(p), Qt::CaseSensitive))
            return true;
    return false;
}

namespace
{

std::optional<qint64> colourField(const QVariant &v)
{
    if (v.isNull())
        return std::nullopt;
    bool ok = false;
    const qint64 n = v.toLongLong(&ok);
    if (!ok)
        return std::nullopt; // text where a colour belongs: keep the designed look
    return n;
}

bool flagField(const QVariant &v)
{
    if (v.isNull())
        return false;
    const QString s = v.toString().trimmed().toLower();
    return s == QLatin1String("true") || s == QLatin1String("yes") || v.toDouble() != 0;
}

QList<QWidget *> controlsOf(QWidget *window)
{
    QList<QWidget *> out;
    const QList<QWidget *> all = window->findChildren<QWidget *>();
    for (QWidget *w : all)
        if (!w->objectName().isEmpty())
            out << w;
    return out;
}

void setFontOf(QWidget *w, const QString &face, bool bold, double size, bool italic)
{
    QFont f = w->font();
    f.setFamily(face);
    f.setBold(bold);
    if (size > 0)
        f.setPointSizeF(size);
    f.setItalic(italic);
    w->setFont(f);
}

const std::initializer_list<const char *> kMainLoad = {"lst", "lbl", "grd", "txt", "cbo", "lvw"};
const std::initializer_list<const char *> kEditorLoad = {"lst", "cmd", "lbl", "grd",
                                                         "txt", "cbo", "lvw"};
const std::initializer_list<const char *> kFontChoice = {"cmd", "lst", "lbl", "grd",
                                                         "DT",  "txt", "cbo", "lvw"};
const std::initializer_list<const char *> kTextAreas = {"lst", "grd", "txt", "cbo", "lvw"};

} // namespace

void setBackground(QWidget *w, const QColor &c)
{
    QPalette p = w->palette();
    p.setColor(QPalette::Base, c);
    p.setColor(QPalette::AlternateBase, c);
    p.setColor(QPalette::Button, c);
    if (qobject_cast<QLabel *>(w)) {
        p.setColor(QPalette::Window, c);
        w->setAutoFillBackground(true);
    }
    w->setPalette(p);
}

void setTextColor(QWidget *w, const QColor &c)
{
    QPalette p = w->palette();
    p.setColor(QPalette::Text, c);
    p.setColor(QPalette::WindowText, c);
    p.setColor(QPalette::ButtonText, c);
    w->setPalette(p);
}

void setWindowColor(QWidget *window, const QColor &c)
{
    // The client area takes the colour; the menu bar keeps the desktop's.
    if (auto *main = qobject_cast<QMainWindow *>(window); main && main->centralWidget())
        window = main->centralWidget();
    QPalette p = window->palette();
    p.setColor(QPalette::Window, c);
    window->setPalette(p);
    window->setAutoFillBackground(true);
}

std::optional<Record> firstRecord(DataControl *adoSettings)
{
    RecordSet *rs = adoSettings->recordset();
    if (rs->recordCount() < 1)
        return std::nullopt;
    Record r;
    const QVariant name = rs->valueAt(0, QStringLiteral("FontName"));
    r.fontName = name.isNull() ? QStringLiteral("Arial") : name.toString();
    const QVariant size = rs->valueAt(0, QStringLiteral("FontSize"));
    bool ok = false;
    const double s = size.toDouble(&ok);
    r.fontSize = size.isNull() || !ok || s <= 0 ? 10.0 : s;
    r.italic = flagField(rs->valueAt(0, QStringLiteral("FontIt")));
    r.bold = flagField(rs->valueAt(0, QStringLiteral("FontBo")));
    r.backColor = colourField(rs->valueAt(0, QStringLiteral("BackColor")));
    r.foreColor = colourField(rs->valueAt(0, QStringLiteral("ForeColor")));
    return r;
}

bool CheckSettings(QWidget *window, Window kind, DataControl *adoSettings, QString *error)
{
    if (!adoSettings->refresh(error))
        return false;
    const std::optional<Record> rec = firstRecord(adoSettings);
    if (!rec)
        return true;
    const auto &patterns = kind == Window::Main ? kMainLoad : kEditorLoad;
    for (QWidget *w : controlsOf(window)) {
        const QString name = w->objectName();
        if (!nameMatches(name, patterns))
            continue;
        setFontOf(w, rec->fontName, rec->bold, rec->fontSize, rec->italic);
        if (rec->backColor)
            setBackground(w, fromStored(*rec->backColor));
        if (rec->foreColor && !(kind == Window::Editor && nameMatches(name, {"cmd"})))
            setTextColor(w, fromStored(*rec->foreColor));
        if (kind == Window::Editor && nameMatches(name, {"lbl"})) {
            if (rec->foreColor)
                setBackground(w, fromStored(*rec->foreColor));
            if (rec->backColor)
                setTextColor(w, fromStored(*rec->backColor));
        }
    }
    if (rec->foreColor)
        setWindowColor(window, fromStored(*rec->foreColor));
    return true;
}

namespace
{

// Writes the given fields into the first settings row, adding the row when the
// table has none so the choice lasts.
bool store(DataControl *adoSettings, const QList<QPair<QString, QVariant>> &fields, QString *error)
{
    RecordSet *rs = adoSettings->recordset();
    if (!rs->isOpen() && !adoSettings->refresh(error))
        return false;
    if (rs->recordCount() < 1) {
        if (!rs->addNew(error))
            return false;
    } else if (!rs->moveFirst(error)) {
        return false;
    }
    for (const auto &f : fields)
        rs->setValue(f.first, f.second);
    if (!rs->update(error)) {
        rs->cancelUpdate();
        return false;
    }
    return true;
}

QColor lastColour(QWidget *window)
{
    const QVariant v = window->property("comDiaColor");
    return v.isValid() ? v.value<QColor>() : QColor(Qt::black);
}

} // namespace

void DialogShowing(QWidget *window, Window kind, DataControl *adoSettings, int choice,
                   const QFont &fontPreset)
{
    QString error;
    bool ok = true;
    if (choice == 1) {
        const std::optional<QFont> f =
            Dialogs::instance().chooseFont(window, Fonts::drawnFace(fontPreset));
        if (!f)
            return;
        // The face the window was drawn in, chosen again, keeps its own name
        // (the designed face, for which the drawn one stands in).
        const QString face = Fonts::familyName(*f) == Fonts::familyName(Fonts::drawnFace(fontPreset))
                                 ? Fonts::familyName(fontPreset)
                                 : Fonts::familyName(*f);
        for (QWidget *w : controlsOf(window))
            if (nameMatches(w->objectName(), kFontChoice))
                setFontOf(w, face, f->bold(), f->pointSizeF(), f->italic());
        // Sizes are single precision, as the settings table has always held them.
        const double size = double(float(f->pointSizeF()));
        ok = store(adoSettings,
                   {{QStringLiteral("FontName"), face},
                    {QStringLiteral("FontSize"), size},
                    {QStringLiteral("FontIt"), f->italic() ? 1 : 0},
                    {QStringLiteral("FontBo"), f->bold() ? 1 : 0}},
                   &error);
    } else if (choice == 2 || choice == 4) {
        const QString title =
            choice == 2 ? QStringLiteral("BackColor") : QStringLiteral("ForeColor");
        const std::optional<QColor> c =
            Dialogs::instance().chooseColor(window, lastColour(window), title);
        if (!c)
            return;
        window->setProperty("comDiaColor", *c);
        const qint64 stored = toStored(*c);
        const QColor colour = fromStored(stored);
        if (choice == 2) {
            ok = store(adoSettings, {{QStringLiteral("BackColor"), stored}}, &error);
            for (QWidget *w : controlsOf(window)) {
                const QString name = w->objectName();
                if (kind == Window::Editor && nameMatches(name, {"lbl"}))
                    setTextColor(w, colour);
                else if (nameMatches(name, {"cmd", "lst", "lbl", "grd", "txt", "cbo", "lvw"}))
                    setBackground(w, colour);
            }
        } else {
            setWindowColor(window, colour);
            ok = store(adoSettings, {{QStringLiteral("ForeColor"), stored}}, &error);
            for (QWidget *w : controlsOf(window)) {
                const QString name = w->objectName();
                if (nameMatches(name, {"lbl"})) {
                    if (kind == Window::Editor)
                        setBackground(w, colour);
                    else
                        setTextColor(w, colour);
                } else if (nameMatches(name, kTextAreas)) {
                    setTextColor(w, colour);
                }
            }
        }
    }
    if (!ok)
        Dialogs::notify(window,
                        QStringLiteral("Your choice is shown but could not be stored:\n") + error);
}

} // namespace pantrio::Appearance

#include "Dialogs.h"

#include <QApplication>
#include <QColorDialog>
#include <QFileDialog>
#include <QFontDialog>
#include <QMessageBox>
#include <QPrintDialog>
#include <QPrinter>
#include <QProgressDialog>

#include <memory>

namespace pantrio
{

namespace
{
std::unique_ptr<Dialogs> &current()
{
    static std::unique_ptr<Dialogs> d;
    return d;
}
} // namespace

Dialogs &Dialogs::instance()
{
    if (!current())
        current() = std::make_unique<WidgetDialogs>();
    return *current();
}

void Dialogs::setInstance(Dialogs *dialogs)
{
    current().reset(dialogs);
}

Dialogs::Answer WidgetDialogs::message(QWidget *parent, const QString &text, Buttons buttons)
{
    QMessageBox box(parent);
    box.setWindowTitle(QStringLiteral("Pantrio"));
    box.setIcon(QMessageBox::NoIcon);
    box.setText(text);
    switch (buttons) {
    case Buttons::Ok:
        box.setStandardButtons(QMessageBox::Ok);
        break;
    case Buttons::OkCancel:
        box.setStandardButtons(QMessageBox::Ok | QMessageBox::Cancel);
        box.setDefaultButton(QMessageBox::Ok);
        break;
    case Buttons::YesNo:
        box.setStandardButtons(QMessageBox::Yes | QMessageBox::No);
        box.setDefaultButton(QMessageBox::Yes);
        break;
    }
    switch (box.exec()) {
    case QMessageBox::Cancel:
        return Answer::Cancel;
    case QMessageBox::Yes:
        return Answer::Yes;
    case QMessageBox::No:
        return Answer::No;
    default:
        // Closing an OK/Cancel or Yes/No box with Escape means the safe answer.
        if (buttons == Buttons::OkCancel)
            return box.clickedButton() ? Answer::Ok : Answer::Cancel;
        if (buttons == Buttons::YesNo)
            return Answer::No;
        return Answer::Ok;
    }
}

std::optional<QFont> WidgetDialogs::chooseFont(QWidget *parent, const QFont &initial)
{
    bool ok = false;
    const QFont f = QFontDialog::getFont(&ok, initial, parent, QStringLiteral("Font"));
    if (!ok)
        return std::nullopt;
    return f;
}

std::optional<QColor> WidgetDialogs::chooseColor(QWidget *parent, const QColor &initial,
                                                 const QString &title)
{
    const QColor c = QColorDialog::getColor(initial, parent, title);
    if (!c.isValid())
        return std::nullopt;
    return c;
}

QString WidgetDialogs::openFileName(QWidget *parent, const QString &caption, const QString &filter)
{
    return QFileDialog::getOpenFileName(parent, caption, QString(), filter);
}

QString WidgetDialogs::saveFileName(QWidget *parent, const QString &caption,
                                    const QString &suggested, const QString &filter)
{
    return QFileDialog::getSaveFileName(parent, caption, suggested, filter);
}

void WidgetDialogs::beep()
{
    QApplication::beep();
}

} // namespace pantrio

namespace pantrio
{

bool WidgetDialogs::choosePrinter(QWidget *parent, QPrinter *printer, int pageCount, int *from,
                                  int *to)
{
    QPrintDialog dialog(printer, parent);
    dialog.setMinMax(1, std::max(1, pageCount));
    if (dialog.exec() != QDialog::Accepted)
        return false;
    *from = *to = 0;
    if (dialog.printRange() == QAbstractPrintDialog::PageRange) {
        *from = dialog.fromPage();
        *to = dialog.toPage();
    }
    return true;
}

} // namespace pantrio

namespace pantrio
{

namespace
{
class WidgetProgress : public Dialogs::Progress
{
  public:
    WidgetProgress(QWidget *parent, const QString &text)
        : m_dialog(text, QStringLiteral("Cancel"), 0, 0, parent)
    {
        m_dialog.setWindowTitle(QStringLiteral("Pantrio"));
        m_dialog.setWindowModality(Qt::WindowModal);
        m_dialog.setMinimumDuration(300);
    }
    bool setValue(int value, int maximum) override
    {
        if (m_dialog.maximum() != maximum)
            m_dialog.setMaximum(maximum);
        m_dialog.setValue(value); // a modal progress dialog keeps the window painting
        return !m_dialog.wasCanceled();
    }

  private:
    QProgressDialog m_dialog;
};
} // namespace

std::unique_ptr<Dialogs::Progress> WidgetDialogs::progress(QWidget *parent, const QString &text)
{
    return std::make_unique<WidgetProgress>(parent, text);
}

} // namespace pantrio

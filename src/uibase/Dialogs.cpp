#include "uibase/Dialogs.h"

#include <QApplication>
#include <QColorDialog>
#include <QDialogButtonBox>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QVBoxLayout>
#include <QFileDialog>
#include <QFileInfo>
#include <QFontDialog>
#include <QInputDialog>
#include <QLabel>
#include <QMessageBox>
#include <QPointer>
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

namespace
{

// Every dialog lives on the heap under a guard: a parent window that is
// closed (and deleted) while the dialog is open deletes the dialog with it,
// and exec() then returns here without a second deletion.
template <typename D> class Guarded
{
  public:
    explicit Guarded(D *dialog) : m_dialog(dialog) {}
    ~Guarded() { delete m_dialog.data(); }
    D *operator->() const { return m_dialog.data(); }
    D *get() const { return m_dialog.data(); }
    // The dialog's result, or nothing when it went with its parent.
    std::optional<int> exec()
    {
        const int result = m_dialog->exec();
        if (!m_dialog)
            return std::nullopt;
        return result;
    }

  private:
    QPointer<D> m_dialog;
};

// A dialog's own labels show the texts they are given as they are.
void plainLabels(QWidget *dialog)
{
    for (QLabel *l : dialog->findChildren<QLabel *>())
        l->setTextFormat(Qt::PlainText);
}

} // namespace

Dialogs::Answer WidgetDialogs::message(QWidget *parent, const QString &text, Buttons buttons)
{
    Guarded<QMessageBox> box(new QMessageBox(parent));
    box->setWindowTitle(QStringLiteral("Pantrio"));
    box->setIcon(QMessageBox::NoIcon);
    // Texts carry names from outside (a phone's, a file's): never formatting.
    box->setTextFormat(Qt::PlainText);
    box->setText(text);
    // What a screen reader announces when the box opens.
    box->setAccessibleName(QStringLiteral("Pantrio"));
    box->setAccessibleDescription(text);
    switch (buttons) {
    case Buttons::Ok:
        box->setStandardButtons(QMessageBox::Ok);
        break;
    case Buttons::OkCancel:
        box->setStandardButtons(QMessageBox::Ok | QMessageBox::Cancel);
        box->setDefaultButton(QMessageBox::Ok);
        break;
    case Buttons::YesNo:
        box->setStandardButtons(QMessageBox::Yes | QMessageBox::No);
        box->setDefaultButton(QMessageBox::Yes);
        break;
    }
    // Closing an OK/Cancel or Yes/No box with Escape, or losing it with its
    // window, means the safe answer.
    const Answer safe = buttons == Buttons::OkCancel ? Answer::Cancel
                        : buttons == Buttons::YesNo  ? Answer::No
                                                     : Answer::Ok;
    const std::optional<int> result = box.exec();
    if (!result)
        return safe;
    switch (*result) {
    case QMessageBox::Cancel:
        return Answer::Cancel;
    case QMessageBox::Yes:
        return Answer::Yes;
    case QMessageBox::No:
        return Answer::No;
    case QMessageBox::Ok:
        return Answer::Ok;
    default:
        return buttons == Buttons::OkCancel && box->clickedButton() ? Answer::Ok : safe;
    }
}

std::optional<QFont> WidgetDialogs::chooseFont(QWidget *parent, const QFont &initial)
{
    Guarded<QFontDialog> dialog(new QFontDialog(initial, parent));
    dialog->setWindowTitle(QStringLiteral("Font"));
    dialog->setAccessibleName(QStringLiteral("Font"));
    const std::optional<int> result = dialog.exec();
    if (!result || *result != QDialog::Accepted)
        return std::nullopt;
    // The dialog knows whole points only: a size left as it was shown keeps
    // its fraction (9.75 shown as 10 stays 9.75).
    QFont chosen = dialog->selectedFont();
    if (chosen.pointSize() == initial.pointSize() && initial.pointSizeF() > 0)
        chosen.setPointSizeF(initial.pointSizeF());
    return chosen;
}

std::optional<QColor> WidgetDialogs::chooseColor(QWidget *parent, const QColor &initial,
                                                 const QString &title)
{
    Guarded<QColorDialog> dialog(new QColorDialog(initial, parent));
    dialog->setWindowTitle(title);
    dialog->setAccessibleName(title);
    const std::optional<int> result = dialog.exec();
    if (!result || *result != QDialog::Accepted || !dialog->selectedColor().isValid())
        return std::nullopt;
    return dialog->selectedColor();
}

namespace
{
QString runFileDialog(QWidget *parent, const QString &caption, const QString &suggested,
                      const QString &filter, QFileDialog::AcceptMode mode)
{
    Guarded<QFileDialog> dialog(new QFileDialog(parent, caption, suggested, filter));
    dialog->setAcceptMode(mode);
    dialog->setFileMode(mode == QFileDialog::AcceptSave ? QFileDialog::AnyFile
                                                        : QFileDialog::ExistingFile);
    dialog->setAccessibleName(caption);
    if (mode == QFileDialog::AcceptSave && !suggested.isEmpty())
        dialog->selectFile(suggested);
    // The dialog adds the extension itself, and asks before replacing a file
    // of the name it makes.
    const QString suffix = QFileInfo(Dialogs::withExtension(QStringLiteral("x"), filter)).suffix();
    if (mode == QFileDialog::AcceptSave && !suffix.isEmpty())
        dialog->setDefaultSuffix(suffix);
    const std::optional<int> result = dialog.exec();
    if (!result || *result != QDialog::Accepted || dialog->selectedFiles().isEmpty())
        return {};
    return dialog->selectedFiles().constFirst();
}
} // namespace

QString Dialogs::withExtension(const QString &path, const QString &filter)
{
    if (path.isEmpty() || QFileInfo(path).isDir())
        return path; // refused by the command, with its reason
    // The first filter's patterns: "CSV files (*.csv *.txt)".
    const QString first = filter.section(QStringLiteral(";;"), 0, 0);
    const qsizetype open = first.lastIndexOf(QLatin1Char('(')), close = first.lastIndexOf(QLatin1Char(')'));
    if (open < 0 || close <= open)
        return path;
    QStringList suffixes;
    for (const QString &pattern :
         first.mid(open + 1, close - open - 1).split(QLatin1Char(' '), Qt::SkipEmptyParts))
        if (pattern.startsWith(QLatin1String("*.")) && pattern.size() > 2 &&
            !pattern.mid(1).contains(QLatin1Char('*')))
            suffixes << pattern.mid(2);
    if (suffixes.isEmpty())
        return path;
    const QString suffix = QFileInfo(path).suffix();
    for (const QString &s : std::as_const(suffixes))
        if (suffix.compare(s, Qt::CaseInsensitive) == 0)
            return path;
    return path + QLatin1Char('.') + suffixes.first();
}

QString Dialogs::saveFile(QWidget *parent, const QString &caption, const QString &suggested,
                          const QString &filter)
{
    return withExtension(instance().saveFileName(parent, caption, suggested, filter), filter);
}

QString WidgetDialogs::openFileName(QWidget *parent, const QString &caption, const QString &filter)
{
    return runFileDialog(parent, caption, QString(), filter, QFileDialog::AcceptOpen);
}

QString WidgetDialogs::saveFileName(QWidget *parent, const QString &caption,
                                    const QString &suggested, const QString &filter)
{
    return runFileDialog(parent, caption, suggested, filter, QFileDialog::AcceptSave);
}

void WidgetDialogs::beep()
{
    QApplication::beep();
}

std::optional<QString> WidgetDialogs::askText(QWidget *parent, const QString &title,
                                              const QString &label, const QString &initial)
{
    Guarded<QInputDialog> dialog(new QInputDialog(parent));
    dialog->setWindowTitle(title);
    dialog->setAccessibleName(title);
    dialog->setLabelText(label);
    plainLabels(dialog.operator->());
    dialog->setTextValue(initial);
    const std::optional<int> result = dialog.exec();
    if (!result || *result != QDialog::Accepted)
        return std::nullopt;
    return dialog->textValue();
}

int WidgetDialogs::chooseItem(QWidget *parent, const QString &title, const QString &label,
                              const QStringList &items, int current)
{
    Guarded<QInputDialog> dialog(new QInputDialog(parent));
    dialog->setWindowTitle(title);
    dialog->setAccessibleName(title);
    dialog->setLabelText(label);
    plainLabels(dialog.operator->());
    dialog->setComboBoxItems(items);
    dialog->setComboBoxEditable(false);
    if (current >= 0 && current < items.size())
        dialog->setTextValue(items.at(current));
    const std::optional<int> result = dialog.exec();
    if (!result || *result != QDialog::Accepted)
        return -1;
    return int(items.indexOf(dialog->textValue()));
}

namespace
{
// A dialog of one labelled control with OK and Cancel, named for a screen reader.
QDialogButtonBox *framed(QDialog *dialog, const QString &title, const QString &label, QWidget *control)
{
    dialog->setWindowTitle(title);
    dialog->setAccessibleName(title);
    auto *layout = new QVBoxLayout(dialog);
    auto *caption = new QLabel(label, dialog);
    caption->setTextFormat(Qt::PlainText);
    caption->setWordWrap(true);
    caption->setBuddy(control);
    control->setAccessibleName(label);
    layout->addWidget(caption);
    layout->addWidget(control, 1);
    auto *buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, dialog);
    QObject::connect(buttons, &QDialogButtonBox::accepted, dialog, &QDialog::accept);
    QObject::connect(buttons, &QDialogButtonBox::rejected, dialog, &QDialog::reject);
    layout->addWidget(buttons);
    dialog->resize(520, 420);
    return buttons;
}
} // namespace

std::optional<QString> WidgetDialogs::askLongText(QWidget *parent, const QString &title,
                                                  const QString &label, const QString &initial)
{
    Guarded<QDialog> dialog(new QDialog(parent));
    auto *edit = new QPlainTextEdit(initial, dialog.get());
    edit->setObjectName(QStringLiteral("txtLongText"));
    edit->setTabChangesFocus(true); // Tab reaches OK, as a keyboard user expects
    framed(dialog.get(), title, label, edit);
    edit->setFocus();
    const std::optional<int> result = dialog.exec();
    if (!result || *result != QDialog::Accepted)
        return std::nullopt;
    return edit->toPlainText();
}

std::optional<QList<bool>> WidgetDialogs::chooseSeveral(QWidget *parent, const QString &title,
                                                        const QString &label,
                                                        const QStringList &items,
                                                        const QList<bool> &ticked)
{
    Guarded<QDialog> dialog(new QDialog(parent));
    auto *list = new QListWidget(dialog.get());
    list->setObjectName(QStringLiteral("lstChoices"));
    for (qsizetype i = 0; i < items.size(); ++i) {
        auto *item = new QListWidgetItem(items.at(i), list);
        item->setFlags(Qt::ItemIsEnabled | Qt::ItemIsSelectable | Qt::ItemIsUserCheckable);
        item->setCheckState(ticked.value(i, true) ? Qt::Checked : Qt::Unchecked);
    }
    list->setCurrentRow(0);
    framed(dialog.get(), title, label, list);
    list->setFocus();
    const std::optional<int> result = dialog.exec();
    if (!result || *result != QDialog::Accepted)
        return std::nullopt;
    QList<bool> out;
    for (int i = 0; i < list->count(); ++i)
        out << (list->item(i)->checkState() == Qt::Checked);
    return out;
}

bool WidgetDialogs::choosePrinter(QWidget *parent, QPrinter *printer, int pageCount, int *from,
                                  int *to)
{
    Guarded<QPrintDialog> dialog(new QPrintDialog(printer, parent));
    dialog->setWindowTitle(QStringLiteral("Print"));
    dialog->setAccessibleName(QStringLiteral("Print"));
    dialog->setMinMax(1, std::max(1, pageCount));
    const std::optional<int> result = dialog.exec();
    if (!result || *result != QDialog::Accepted)
        return false;
    *from = *to = 0;
    if (dialog->printRange() == QAbstractPrintDialog::PageRange) {
        *from = dialog->fromPage();
        *to = dialog->toPage();
    }
    return true;
}

namespace
{
class WidgetProgress : public Dialogs::Progress
{
  public:
    WidgetProgress(QWidget *parent, const QString &text)
        : m_dialog(new QProgressDialog(text, QStringLiteral("Cancel"), 0, 0, parent))
    {
        m_dialog->setWindowTitle(QStringLiteral("Pantrio"));
        m_dialog->setAccessibleName(text);
        m_dialog->setWindowModality(Qt::WindowModal);
        m_dialog->setMinimumDuration(300);
    }
    ~WidgetProgress() override { delete m_dialog.data(); }
    bool setValue(int value, int maximum) override
    {
        if (!m_dialog)
            return false; // gone with its window: stop
        if (m_dialog->maximum() != maximum)
            m_dialog->setMaximum(maximum);
        m_dialog->setValue(value); // a modal progress dialog keeps the window painting
        return m_dialog && !m_dialog->wasCanceled();
    }

  private:
    QPointer<QProgressDialog> m_dialog;
};
} // namespace

std::unique_ptr<Dialogs::Progress> WidgetDialogs::progress(QWidget *parent, const QString &text)
{
    return std::make_unique<WidgetProgress>(parent, text);
}

} // namespace pantrio

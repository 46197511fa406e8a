#pragma once

#include <QColor>
#include <QFont>
#include <QString>
#include <QStringList>

#include <memory>
#include <optional>

class QPrinter;
class QWidget;

namespace pantrio
{

// Every message box, question, file and font/colour dialog of the program goes
// through here, so tests can install scripted answers and never block on a
// modal window. Boxes are titled "Pantrio" and show no icon.
class Dialogs
{
  public:
    enum class Buttons { Ok, OkCancel, YesNo };

    // A long job's progress; setValue() returns false once the user cancels.
    class Progress
    {
      public:
        virtual ~Progress() = default;
        virtual bool setValue(int value, int maximum) = 0;
    };
    enum class Answer { Ok, Cancel, Yes, No };

    virtual ~Dialogs() = default;

    virtual Answer message(QWidget *parent, const QString &text, Buttons buttons) = 0;
    // Empty when the user cancels.
    virtual std::optional<QFont> chooseFont(QWidget *parent, const QFont &initial) = 0;
    virtual std::optional<QColor> chooseColor(QWidget *parent, const QColor &initial,
                                              const QString &title) = 0;
    virtual QString openFileName(QWidget *parent, const QString &caption,
                                 const QString &filter) = 0;
    virtual QString saveFileName(QWidget *parent, const QString &caption, const QString &suggested,
                                 const QString &filter) = 0;
    virtual void beep() = 0;
    // A line of text, such as a name; empty when the user cancels.
    virtual std::optional<QString> askText(QWidget *parent, const QString &title,
                                           const QString &label, const QString &initial) = 0;
    // One of several choices, by its index; -1 when the user cancels.
    virtual int chooseItem(QWidget *parent, const QString &title, const QString &label,
                           const QStringList &items, int current) = 0;
    // Several lines of text, such as a pasted recipe; empty when cancelled.
    virtual std::optional<QString> askLongText(QWidget *parent, const QString &title,
                                               const QString &label, const QString &initial) = 0;
    // Items to tick or untick, each ticked as given; the ticks when the user
    // agrees, nothing when cancelled.
    virtual std::optional<QList<bool>> chooseSeveral(QWidget *parent, const QString &title,
                                                     const QString &label, const QStringList &items,
                                                     const QList<bool> &ticked) = 0;
    // The print dialog: printer, copies and page range (from/to 0 for all pages).
    virtual bool choosePrinter(QWidget *parent, QPrinter *printer, int pageCount, int *from,
                               int *to) = 0;
    virtual std::unique_ptr<Progress> progress(QWidget *parent, const QString &text) = 0;

    static Dialogs &instance();
    // The save dialog through the instance; a name chosen without one of the
    // filter's extensions gets its first (groceries -> groceries.html).
    static QString saveFile(QWidget *parent, const QString &caption, const QString &suggested,
                            const QString &filter);
    static QString withExtension(const QString &path, const QString &filter);
    // Takes ownership; nullptr restores the real dialogs.
    static void setInstance(Dialogs *dialogs);

    // Shorthands used by the windows.
    static void notify(QWidget *parent, const QString &text)
    {
        instance().message(parent, text, Buttons::Ok);
    }
    // A window's error; one met while reading back a change that was stored
    // is said as stored, so that nobody makes the change twice.
    static void notifyError(QWidget *parent, const QString &error, bool changeWasStored)
    {
        notify(parent, changeWasStored ? QStringLiteral("The change was saved, but the window "
                                                        "could not read it back: %1").arg(error)
                                       : error);
    }
    static bool askYesNo(QWidget *parent, const QString &text)
    {
        return instance().message(parent, text, Buttons::YesNo) != Answer::No;
    }
    static bool askOkCancel(QWidget *parent, const QString &text)
    {
        return instance().message(parent, text, Buttons::OkCancel) != Answer::Cancel;
    }
};

// The real, modal dialogs of the desktop.
class WidgetDialogs : public Dialogs
{
  public:
    Answer message(QWidget *parent, const QString &text, Buttons buttons) override;
    std::optional<QFont> chooseFont(QWidget *parent, const QFont &initial) override;
    std::optional<QColor> chooseColor(QWidget *parent, const QColor &initial,
                                      const QString &title) override;
    QString openFileName(QWidget *parent, const QString &caption, const QString &filter) override;
    QString saveFileName(QWidget *parent, const QString &caption, const QString &suggested,
                         const QString &filter) override;
    void beep() override;
    std::optional<QString> askText(QWidget *parent, const QString &title, const QString &label,
                                   const QString &initial) override;
    int chooseItem(QWidget *parent, const QString &title, const QString &label,
                   const QStringList &items, int current) override;
    std::optional<QString> askLongText(QWidget *parent, const QString &title, const QString &label,
                                       const QString &initial) override;
    std::optional<QList<bool>> chooseSeveral(QWidget *parent, const QString &title,
                                             const QString &label, const QStringList &items,
                                             const QList<bool> &ticked) override;
    bool choosePrinter(QWidget *parent, QPrinter *printer, int pageCount, int *from,
                       int *to) override;
    std::unique_ptr<Progress> progress(QWidget *parent, const QString &text) override;
};

} // namespace pantrio

#pragma once

#include "support/TestDatabase.h"
#include "uibase/Dialogs.h"

#include <QObject>
#include <QProcess>
#include <QStringList>
#include <QVariant>
#include <QWidget>

#include <deque>
#include <functional>
#include <memory>

class QLineEdit;
class QTableView;

namespace pantrio
{
class frmVendora;
}

namespace pantrio::test
{

// Answers every dialog from a script and records what was shown, so no test
// blocks on a modal window. An unscripted question is answered with the safe
// choice (No / Cancel) and noted as unexpected.
class ScriptedDialogs : public Dialogs
{
  public:
    std::deque<Answer> answers;
    std::deque<std::optional<QFont>> fonts;
    std::deque<std::optional<QColor>> colors;
    std::deque<QString> fileNames;
    QStringList suggestedNames; // what each save dialog offered
    QStringList messages;
    // Runs as a question is asked, before it is answered: what the user does
    // in another window while a command waits.
    std::function<void(const QString &)> whileAsked;
    QStringList colorTitles;
    QFont lastFontPreset;
    int beeps = 0;
    int unexpected = 0;

    Answer message(QWidget *, const QString &text, Buttons buttons) override;
    std::optional<QFont> chooseFont(QWidget *, const QFont &initial) override;
    std::optional<QColor> chooseColor(QWidget *, const QColor &, const QString &title) override;
    QString openFileName(QWidget *, const QString &, const QString &) override;
    QString saveFileName(QWidget *, const QString &, const QString &, const QString &) override;
    void beep() override { ++beeps; }
    // Typed answers and choices, in order; unscripted ones cancel.
    std::deque<std::optional<QString>> texts;
    std::deque<int> choices;
    QStringList lastChoices; // what the last choice offered
    std::optional<QString> askText(QWidget *, const QString &, const QString &,
                                   const QString &) override;
    int chooseItem(QWidget *, const QString &, const QString &, const QStringList &items,
                   int) override;
    // Long texts come from texts as well; each chooseSeveral answer from
    // several (ticks, or nothing to cancel), what it offered in lastSeveral.
    std::optional<QString> askLongText(QWidget *w, const QString &t, const QString &l,
                                       const QString &i) override
    {
        return askText(w, t, l, i);
    }
    std::deque<std::optional<QList<bool>>> several;
    QStringList lastSeveral;
    std::optional<QList<bool>> chooseSeveral(QWidget *, const QString &, const QString &,
                                             const QStringList &items, const QList<bool> &) override;
    // Prints to the file given in printFile (PDF), or cancels when it is empty.
    QString printFile;
    bool choosePrinter(QWidget *, QPrinter *printer, int, int *from, int *to) override;
    // A progress that cancels once it reaches cancelAt (never when negative).
    int cancelAt = -1;
    int progressSteps = 0;
    std::unique_ptr<Progress> progress(QWidget *, const QString &) override;

    // Installs a fresh instance and returns it (owned by Dialogs).
    static ScriptedDialogs *install();
};

// A test database made the program's directory for the test, with the help
// file beside it; the program's windows and lock go with it.
class ProgramDir : public TestDatabase
{
  public:
    explicit ProgramDir(bool starterData = true);
    ~ProgramDir() override;
};

// Fonts, the app name: what main() sets up before the windows.
void initApplication();

// The base of the test classes: each test gets a program directory of its own
// with a new database and scripted dialogs; after each test, no dialog may
// have asked a question the test did not answer, and every window is gone.
class Fixture : public QObject
{
    Q_OBJECT
  protected:
    // A directory with the starter data, or with empty tables.
    explicit Fixture(bool starterData = true) : m_starterData(starterData) {}
    // A test class's own steps before and after each test (not slots: the
    // fixture's init and cleanup call them).
    virtual void beforeEach() {}
    virtual void afterEach() {}
    // The program started on the test's directory: its main window, or
    // nothing when the start-up refused.
    frmVendora *start();
    // The main window's menu entry or command by name, chosen.
    void trigger(const char *action);
    // Opens the editor of a grid's cell as F2 does, in its active window, with
    // its text selected; null when none opened.
    static QLineEdit *editCell(QTableView *grid, int row, int column);
    // A control of a window by name; the test stops when there is none.
    template <typename T> T *child(QWidget *window, const char *name)
    {
        T *c = window->findChild<T *>(QLatin1String(name));
        if (!c)
            qFatal("no control %s", name);
        return c;
    }
    std::unique_ptr<ProgramDir> m_dir;
    ScriptedDialogs *m_dialogs = nullptr;
    bool m_ended = false; // the program asked to end

  private slots:
    void initTestCase();
    void init();
    void cleanup();

  private:
    bool m_starterData;
};

// The probe program beside the tests (see probe.cpp), run as an unprivileged
// user or as the current one.
ProcessResult runProbe(const QStringList &args, bool unprivileged);

} // namespace pantrio::test

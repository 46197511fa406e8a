#include "support/TestSupport.h"

#include "data/text/Plural.h"

#include "app/Module1.h"
#include "forms/main/frmVendora.h"
#include "reports/PrintCommands.h"
#include "uibase/Fonts.h"
#include "uibase/HelpViewer.h"

#include <QApplication>
#include <QLineEdit>
#include <QTableView>
#include <QAction>
#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QPrinter>
#include <QTest>

namespace pantrio::test
{

Dialogs::Answer ScriptedDialogs::message(QWidget *, const QString &text, Buttons buttons)
{
    messages << text;
    if (buttons == Buttons::Ok)
        return Answer::Ok;
    if (whileAsked)
        std::exchange(whileAsked, nullptr)(text);
    if (answers.empty()) {
        ++unexpected;
        return buttons == Buttons::YesNo ? Answer::No : Answer::Cancel;
    }
    const Answer a = answers.front();
    answers.pop_front();
    return a;
}

std::optional<QFont> ScriptedDialogs::chooseFont(QWidget *, const QFont &initial)
{
    lastFontPreset = initial;
    if (fonts.empty()) {
        ++unexpected;
        return std::nullopt;
    }
    auto f = fonts.front();
    fonts.pop_front();
    return f;
}

std::optional<QColor> ScriptedDialogs::chooseColor(QWidget *, const QColor &, const QString &title)
{
    colorTitles << title;
    if (colors.empty()) {
        ++unexpected;
        return std::nullopt;
    }
    auto c = colors.front();
    colors.pop_front();
    return c;
}

QString ScriptedDialogs::openFileName(QWidget *, const QString &, const QString &)
{
    // A cancelled dialog is scripted as an empty name; none scripted is a
    // question the test did not expect.
    if (fileNames.empty()) {
        ++unexpected;
        return {};
    }
    const QString f = fileNames.front();
    fileNames.pop_front();
    return f;
}

QString ScriptedDialogs::saveFileName(QWidget *w, const QString &c, const QString &suggested,
                                      const QString &f)
{
    suggestedNames << suggested;
    return openFileName(w, c, f);
}

std::optional<QString> ScriptedDialogs::askText(QWidget *, const QString &, const QString &,
                                                const QString &)
{
    if (texts.empty()) {
        ++unexpected;
        return std::nullopt;
    }
    const bool cancelled = !texts.front().has_value();
    const QString text = texts.front().value_or(QString());
    texts.pop_front();
    if (cancelled)
        return std::nullopt;
    return text;
}

int ScriptedDialogs::chooseItem(QWidget *, const QString &, const QString &,
                                const QStringList &items, int)
{
    lastChoices = items;
    if (choices.empty()) {
        ++unexpected;
        return -1;
    }
    const int c = choices.front();
    choices.pop_front();
    return c;
}

std::optional<QList<bool>> ScriptedDialogs::chooseSeveral(QWidget *, const QString &,
                                                           const QString &,
                                                           const QStringList &items,
                                                           const QList<bool> &)
{
    lastSeveral = items;
    if (several.empty()) {
        ++unexpected;
        return std::nullopt;
    }
    if (!several.front()) {
        several.pop_front();
        return std::nullopt;
    }
    const QList<bool> ticks = *several.front();
    several.pop_front();
    return ticks;
}

bool ScriptedDialogs::choosePrinter(QWidget *, QPrinter *printer, int, int *from, int *to)
{
    if (printFile.isEmpty())
        return false;
    printer->setOutputFormat(QPrinter::PdfFormat);
    printer->setOutputFileName(printFile);
    *from = *to = 0;
    return true;
}

namespace
{
class ScriptedProgress : public Dialogs::Progress
{
  public:
    explicit ScriptedProgress(ScriptedDialogs *owner) : m_owner(owner) {}
    bool setValue(int value, int) override
    {
        ++m_owner->progressSteps;
        return m_owner->cancelAt < 0 || value < m_owner->cancelAt;
    }

  private:
    ScriptedDialogs *m_owner;
};
} // namespace

std::unique_ptr<Dialogs::Progress> ScriptedDialogs::progress(QWidget *, const QString &)
{
    return std::make_unique<ScriptedProgress>(this);
}

ScriptedDialogs *ScriptedDialogs::install()
{
    auto *d = new ScriptedDialogs;
    Dialogs::setInstance(d);
    return d;
}

ProgramDir::ProgramDir(bool starterData) : TestDatabase(starterData)
{
    QFile::copy(QStringLiteral(PANTRIO_SOURCE_DIR "/resources/Vendora.hlp"),
                QDir(path()).filePath(QStringLiteral("Vendora.hlp")));
    Module1::setProgramDirectory(path());
}

ProgramDir::~ProgramDir()
{
    Module1::shutdown();
}

ProcessResult runProbe(const QStringList &args, bool unprivileged)
{
    return runProcess(QCoreApplication::applicationDirPath() + QStringLiteral("/pantrio-probe"),
                      args, 120000, unprivileged);
}

void initApplication()
{
    QCoreApplication::setApplicationName(QStringLiteral("Pantrio"));
    Fonts::installSubstitutions();
    QVERIFY2(installTranslations(), "the translations are not built into the program");
}

} // namespace pantrio::test

namespace pantrio::test
{

frmVendora *Fixture::start()
{
    return Module1::Main() ? Module1::frmVendoraIfLoaded() : nullptr;
}

QLineEdit *Fixture::editCell(QTableView *grid, int row, int column)
{
    grid->window()->activateWindow();
    if (!QTest::qWaitForWindowActive(grid->window()))
        return nullptr;
    grid->setFocus();
    grid->setCurrentIndex(grid->model()->index(row, column));
    grid->edit(grid->currentIndex());
    auto *editor = qobject_cast<QLineEdit *>(QApplication::focusWidget());
    if (editor)
        editor->selectAll();
    return editor;
}

void Fixture::trigger(const char *action)
{
    Module1::frmVendoraIfLoaded()->findChild<QAction *>(QLatin1String(action))->trigger();
}

void Fixture::initTestCase()
{
    initApplication();
}

void Fixture::init()
{
    m_dir = std::make_unique<ProgramDir>(m_starterData);
    QVERIFY(m_dir->ok());
    m_dialogs = ScriptedDialogs::install();
    m_ended = false;
    Module1::setEndProgramHandler([this] { m_ended = true; });
    beforeEach();
}

void Fixture::cleanup()
{
    afterEach();
    const int unexpected = m_dialogs->unexpected;
    const QStringList messages = m_dialogs->messages;
    // An answer scripted for a dialog that never opened means the test did
    // not see what it meant to.
    QStringList unused;
    if (!m_dialogs->answers.empty())
        unused << QStringLiteral("%1 answer(s)").arg(m_dialogs->answers.size());
    if (!m_dialogs->fileNames.empty())
        unused << QStringLiteral("file name %1").arg(m_dialogs->fileNames.front());
    if (!m_dialogs->texts.empty())
        unused << QStringLiteral("%1 text(s)").arg(m_dialogs->texts.size());
    if (!m_dialogs->choices.empty())
        unused << QStringLiteral("%1 choice(s)").arg(m_dialogs->choices.size());
    if (!m_dialogs->fonts.empty())
        unused << QStringLiteral("%1 font(s)").arg(m_dialogs->fonts.size());
    if (!m_dialogs->colors.empty())
        unused << QStringLiteral("%1 colour(s)").arg(m_dialogs->colors.size());
    PrintCommands::closeAll();
    HelpViewer::closeViewer();
    m_dir.reset();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    QVERIFY2(unexpected == 0,
             qPrintable(QStringLiteral("%1 unanswered question(s); last message: %2")
                            .arg(unexpected)
                            .arg(messages.isEmpty() ? QString() : messages.last())));
    QVERIFY2(unused.isEmpty(), qPrintable(QStringLiteral("scripted but never asked for: ") +
                                          unused.join(QStringLiteral(", "))));
}

} // namespace pantrio::test

// pantrio-probe DIR [STEP ...]: starts the program on DIR's database exactly as
// main() does, with scripted dialogs, works the main window by the steps and
// prints what a user would see, one line each:
//   started | not-started        whether the start-up succeeded
//   message: TEXT                every message shown (line breaks as \n)
//   count: N                     lblCount after each step
//   readonly: REASON             when the file cannot be changed in this run
// Steps: yes|no|ok|cancel (the next answers), add=N (tick the first N entries
// and add them), print=PATH (the list by category to PDF), hold (say "holding"
// and wait until standard input closes), controls (each editing button: on or
// off, and what it says of itself), type=TEXT (typed into the first line's
// quantity, the edit left open), run (the event loop as the program runs it,
// with its handling of the session's end; says "running" and "ended N"). Tests run it as another user or as a
// second copy of the program.
#include "app/Module1.h"
#include "forms/main/CatalogueView.h"
#include "forms/main/frmVendora.h"
#include "reports/PrintCommands.h"
#include "reports/ReportPreview.h"
#include "support/TestSupport.h"

#include <QAction>
#include <QApplication>
#include <QLabel>
#include <QLineEdit>
#include <QTableView>

#include <cstdio>
#include <iostream>
#include <string>

using namespace pantrio;

namespace
{
void say(const QString &line)
{
    std::fputs((line + QLatin1Char('\n')).toUtf8().constData(), stdout);
    std::fflush(stdout);
}

void flushMessages(test::ScriptedDialogs *dialogs)
{
    for (const QString &m : std::as_const(dialogs->messages))
        say(QStringLiteral("message: ") +
            QString(m).replace(QLatin1Char('\n'), QLatin1String("\\n")));
    dialogs->messages.clear();
}
} // namespace

int main(int argc, char *argv[])
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    if (argc < 2)
        return 2;
    test::initApplication();
    auto *dialogs = test::ScriptedDialogs::install();
    Module1::setProgramDirectory(QString::fromLocal8Bit(argv[1]));
    QStringList steps;
    for (int i = 2; i < argc; ++i)
        steps << QString::fromLocal8Bit(argv[i]);
    // Answers come first, so questions at start-up find theirs.
    const QMap<QString, Dialogs::Answer> answers = {{"yes", Dialogs::Answer::Yes},
                                                    {"no", Dialogs::Answer::No},
                                                    {"ok", Dialogs::Answer::Ok},
                                                    {"cancel", Dialogs::Answer::Cancel}};
    for (const QString &s : std::as_const(steps))
        if (answers.contains(s))
            dialogs->answers.push_back(answers.value(s));
    const bool started = Module1::Main();
    flushMessages(dialogs);
    say(started ? QStringLiteral("started") : QStringLiteral("not-started"));
    int rc = started ? 0 : 3;
    if (started) {
        if (!Module1::readOnlyReason().isEmpty())
            say(QStringLiteral("readonly: ") + Module1::readOnlyReason());
        frmVendora *f = Module1::frmVendoraIfLoaded();
        auto count = [&] {
            say(QStringLiteral("count: ") + f->findChild<QLabel *>("lblCount")->text());
        };
        count();
        for (const QString &s : std::as_const(steps)) {
            if (s.startsWith(QLatin1String("add="))) {
                auto *model = f->findChild<CatalogueView *>("lvwItems")->catalogue();
                for (int i = 0; i < s.mid(4).toInt() && i < model->count(); ++i)
                    model->setChecked(i, true);
                f->cmdAddToList_Click();
            } else if (s.startsWith(QLatin1String("print="))) {
                f->mnuPrint_Click();
                QString error;
                ReportPreview *w = PrintCommands::window(PrintCommands::Entry::Pantrio);
                if (!w || !w->exportPdf(s.mid(6), &error))
                    say(QStringLiteral("print failed: ") + error);
            } else if (s == QLatin1String("controls")) {
                for (const char *name : {"cmdAddToList", "cmdClearAll", "cmdDelCat", "cmdRef"}) {
                    const QWidget *w = f->findChild<QWidget *>(QLatin1String(name));
                    say(QStringLiteral("control: %1 %2 %3")
                            .arg(QLatin1String(name), w->isEnabled() ? "on" : "off",
                                 w->accessibleDescription()));
                }
                for (const char *name : {"mnuStores", "mnuImportStores", "mnuImport", "mnuUndo",
                                         "mnuRedo"}) {
                    const QAction *a = f->findChild<QAction *>(QLatin1String(name));
                    say(QStringLiteral("control: %1 %2 %3")
                            .arg(QLatin1String(name), a->isEnabled() ? "on" : "off",
                                 a->toolTip()));
                }
            } else if (s.startsWith(QLatin1String("type="))) {
                // The first line's quantity being typed, the edit not ended.
                auto *grid = f->findChild<QTableView *>("grdList");
                grid->setCurrentIndex(grid->model()->index(0, 3));
                grid->edit(grid->currentIndex());
                for (QLineEdit *e : grid->viewport()->findChildren<QLineEdit *>())
                    e->setText(s.mid(5));
                continue;
            } else if (s == QLatin1String("run")) {
                // As main() runs it, until the session ends it.
                Module1::handleSessionEnd();
                say(QStringLiteral("running"));
                rc = QCoreApplication::exec();
                say(QStringLiteral("ended %1").arg(rc));
                break;
            } else if (s == QLatin1String("hold")) {
                say(QStringLiteral("holding"));
                std::string line;
                while (std::getline(std::cin, line)) {
                }
            } else {
                continue;
            }
            flushMessages(dialogs);
            count();
        }
        PrintCommands::closeAll();
    }
    Module1::shutdown();
    return rc;
}

#include "app/Module1.h"
#include "data/text/Plural.h"
#include "uibase/Fonts.h"

#include <QApplication>
#include <QCommandLineParser>
#include <QDir>
#include <QIcon>

#include <cstdio>
#include <optional>

namespace
{

void describe(QCoreApplication &app)
{
    app.setApplicationName(QStringLiteral("Pantrio"));
    app.setApplicationVersion(QStringLiteral(PANTRIO_VERSION));
}

// Options that only print something are answered without a window (or a
// display); the result is the exit code then, nothing when the program runs.
std::optional<int> answerCommandLine(int argc, char *argv[])
{
    bool printing = false;
    for (int i = 1; i < argc; ++i)
        printing = printing || QByteArray(argv[i]).startsWith('-');
    if (!printing)
        return std::nullopt;
    QCoreApplication app(argc, argv);
    describe(app);
    QCommandLineParser parser;
    parser.setApplicationDescription(
        QStringLiteral("A household shopping list: the catalogue, the list and its printing."));
    parser.addHelpOption();
    parser.addVersionOption();
    const QCommandLineOption database(
        QStringLiteral("database"),
        QStringLiteral("Print the database file Pantrio uses (backups are in the folder "
                       "backups beside it) and end."));
    parser.addOption(database);
    parser.process(app); // --help, --version and unknown options end here
    if (parser.isSet(database)) {
        std::printf("%s\n", qPrintable(QDir::toNativeSeparators(pantrio::Module1::strConnect())));
        return 0;
    }
    return std::nullopt;
}

} // namespace

int main(int argc, char *argv[])
{
    if (const std::optional<int> done = answerCommandLine(argc, argv))
        return *done;
    QApplication app(argc, argv);
    describe(app);
    QApplication::setWindowIcon(QIcon(QStringLiteral(":/pantrio/pantrio.png")));
    QApplication::setDesktopFileName(QStringLiteral("org.pantrio.Pantrio"));
    pantrio::Fonts::installSubstitutions();
    pantrio::installTranslations();
    int rc = 1;
    if (pantrio::Module1::Main()) {
        pantrio::Module1::handleSessionEnd();
        rc = app.exec();
    }
    // Windows, connections and the lock go while the application still exists.
    pantrio::Module1::shutdown();
    return rc;
}

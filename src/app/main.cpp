#include "Fonts.h"
#include "Module1.h"

#include <QApplication>
#include <QIcon>

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Pantrio"));
    QApplication::setApplicationVersion(QStringLiteral(PANTRIO_VERSION));
    QApplication::setWindowIcon(QIcon(QStringLiteral(":/pantrio/pantrio.png")));
    pantrio::Fonts::installSubstitutions();
    int rc = 1;
    if (pantrio::Module1::Main())
        rc = app.exec();
    // Windows, connections and the lock go while the application still exists.
    pantrio::Module1::shutdown();
    return rc;
}

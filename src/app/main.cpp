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
    if (!pantrio::Module1::Main())
        return 1;
    const int rc = app.exec();
    pantrio::Module1::shutdown();
    return rc;
}

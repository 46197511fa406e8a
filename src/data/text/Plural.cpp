#include "data/text/Plural.h"

#include <QCoreApplication>
#include <QTranslator>

namespace pantrio
{

bool installTranslations()
{
    static QTranslator *installed = nullptr;
    if (installed || !QCoreApplication::instance())
        return installed != nullptr;
    auto *translator = new QTranslator(QCoreApplication::instance());
    if (!translator->load(QStringLiteral(":/pantrio/i18n/pantrio_en.qm")) ||
        !QCoreApplication::installTranslator(translator)) {
        delete translator;
        return false;
    }
    installed = translator;
    return true;
}

QString plural(const char *text, int n)
{
    return QCoreApplication::translate("Pantrio", text, nullptr, n);
}

} // namespace pantrio

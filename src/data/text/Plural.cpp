#include "data/text/Plural.h"

#include <QCoreApplication>
#include <QTranslator>

namespace pantrio
{

namespace
{

// English has two forms: "(s)" is dropped for one and made "s" otherwise.
class EnglishPlurals : public QTranslator
{
  public:
    using QTranslator::QTranslator;
    bool isEmpty() const override { return false; }
    QString translate(const char *, const char *sourceText, const char *, int n) const override
    {
        QString text = QString::fromUtf8(sourceText);
        if (n < 0 || !text.contains(QLatin1String("(s)")))
            return {};
        return text.replace(QLatin1String("(s)"), n == 1 ? QString() : QStringLiteral("s"));
    }
};

void install()
{
    static bool installed = false;
    if (installed || !QCoreApplication::instance())
        return;
    installed =
        QCoreApplication::installTranslator(new EnglishPlurals(QCoreApplication::instance()));
}

} // namespace

QString plural(const char *text, int n)
{
    install();
    return QCoreApplication::translate("Pantrio", text, nullptr, n);
}

} // namespace pantrio

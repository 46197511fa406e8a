// libFuzzer target over the one escaper of the phone's page and the share's
// answers: whatever the text, it comes back whole from its place and can
// never end that place early.
#include "data/text/Escape.h"

#include <QJsonArray>
#include <QJsonDocument>

#include <cstdlib>

using namespace pantrio;

namespace
{

void check(bool ok)
{
    if (!ok)
        abort();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QString text = QString::fromUtf8(reinterpret_cast<const char *>(data), qsizetype(size));

    QString html;
    Escape::append(html, text, Escape::Into::Html);
    for (const char c : {'<', '>', '"', '\''})
        check(!html.contains(QLatin1Char(c)));
    QString back = html;
    back.replace(QLatin1String("&lt;"), QLatin1String("<"))
        .replace(QLatin1String("&gt;"), QLatin1String(">"))
        .replace(QLatin1String("&quot;"), QLatin1String("\""))
        .replace(QLatin1String("&#39;"), QLatin1String("'"))
        .replace(QLatin1String("&amp;"), QLatin1String("&"));
    check(back == text);

    QByteArray json;
    Escape::append(json, text, Escape::Into::Json);
    QString asText;
    Escape::append(asText, text, Escape::Into::Json);
    check(asText.toUtf8() == json);
    check(!json.contains("</"));
    for (const char c : json)
        check(static_cast<unsigned char>(c) >= 0x20);
    QJsonParseError error;
    const QJsonDocument doc = QJsonDocument::fromJson("[" + json + "]", &error);
    check(error.error == QJsonParseError::NoError);
    check(doc.array().size() == 1 && doc.array().at(0).toString() == text);
    return 0;
}

#pragma once

#include <QByteArray>
#include <QString>

namespace pantrio::Escape
{

// Where a text from the user is written: inside an HTML element or quoted
// attribute, or as a JSON string (quoted; safe inside a <script> too).
enum class Into { Html, Json };

// The one escaper of the program's pages and answers: every character that
// could end the text's place early written as the place's own escape.
void append(QString &out, QStringView text, Into into);
// The same as UTF-8, for answers written as bytes.
void append(QByteArray &out, QStringView text, Into into);

inline QString html(QStringView text)
{
    QString out;
    out.reserve(text.size());
    append(out, text, Into::Html);
    return out;
}

} // namespace pantrio::Escape

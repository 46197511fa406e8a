#include "data/text/Escape.h"

namespace pantrio::Escape
{

namespace
{

// The escape of c where it goes, or null when it stands as it is. prev: the
// character before, since "</" must not end a script.
const char *escapeOf(char16_t c, char16_t prev, Into into)
{
    if (into == Into::Html) {
        switch (c) {
        case '<': return "&lt;";
        case '>': return "&gt;";
        case '&': return "&amp;";
        case '"': return "&quot;";
        case '\'': return "&#39;";
        default: return nullptr;
        }
    }
    switch (c) {
    case '"': return "\\\"";
    case '\\': return "\\\\";
    case '\n': return "\\n";
    case '\r': return "\\r";
    case '\t': return "\\t";
    case '/': return prev == '<' ? "\\/" : nullptr;
    // Line and paragraph separators end a line in older script parsers.
    case 0x2028: return "\\u2028";
    case 0x2029: return "\\u2029";
    default: break;
    }
    if (c < 0x20) {
        static const char *const control[32] = {
            "\\u0000", "\\u0001", "\\u0002", "\\u0003", "\\u0004", "\\u0005", "\\u0006", "\\u0007",
            "\\u0008", "\\u0009", "\\u000a", "\\u000b", "\\u000c", "\\u000d", "\\u000e", "\\u000f",
            "\\u0010", "\\u0011", "\\u0012", "\\u0013", "\\u0014", "\\u0015", "\\u0016", "\\u0017",
            "\\u0018", "\\u0019", "\\u001a", "\\u001b", "\\u001c", "\\u001d", "\\u001e", "\\u001f"};
        return control[c];
    }
    return nullptr;
}

template <typename Out, typename Plain>
void write(Out &out, QStringView text, Into into, Plain plain)
{
    if (into == Into::Json)
        out += '"';
    char16_t prev = 0;
    qsizetype from = 0; // the start of the run that stands as it is
    for (qsizetype i = 0; i < text.size(); ++i) {
        const char16_t c = text[i].unicode();
        if (const char *e = escapeOf(c, prev, into)) {
            plain(out, text.mid(from, i - from));
            out += e;
            from = i + 1;
        }
        prev = c;
    }
    plain(out, text.mid(from));
    if (into == Into::Json)
        out += '"';
}

} // namespace

void append(QString &out, QStringView text, Into into)
{
    write(out, text, into, [](QString &o, QStringView run) { o += run; });
}

void append(QByteArray &out, QStringView text, Into into)
{
    write(out, text, into, [](QByteArray &o, QStringView run) { o += run.toUtf8(); });
}

} // namespace pantrio::Escape

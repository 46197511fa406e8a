#include "data/formats/Csv.h"

#include "data/text/Plural.h"

#include <QStringDecoder>

#include <algorithm>

#include <csv.h>

namespace pantrio::Csv
{

namespace
{

struct State {
    QStringList current;
    QVector<QStringList> records;
    QVector<int> starts;
    int line = 1;       // physical line being fed
    int recordLine = 1; // where the current record began
    int nextStart = 1;  // where the next record begins
    bool inRecord = false;
    bool boundary = true; // between records: the next line with anything starts one
    QString error;
};

void onField(void *data, size_t len, void *p)
{
    auto *s = static_cast<State *>(p);
    if (!s->inRecord) {
        s->inRecord = true;
        s->recordLine = s->nextStart;
    }
    const QByteArray bytes(static_cast<const char *>(data), qsizetype(len));
    QStringDecoder decode(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
    QString text = decode(bytes);
    if (decode.hasError() && s->error.isEmpty())
        s->error = QStringLiteral("line %1: the text is not UTF-8").arg(s->recordLine);
    s->current << text;
}

void onRecord(int, void *p)
{
    auto *s = static_cast<State *>(p);
    if (!s->inRecord) // a field-less record: an empty line
        s->recordLine = s->nextStart;
    s->records << s->current;
    s->starts << s->recordLine;
    s->current.clear();
    s->inRecord = false;
    s->boundary = true;
}

int noSpace(unsigned char)
{
    return 0; // keep every character of a field; nothing is trimmed
}

char guessDelimiter(const QByteArray &firstLine)
{
    const int commas = int(firstLine.count(',')), semis = int(firstLine.count(';')),
              tabs = int(firstLine.count('\t'));
    if (tabs > commas && tabs >= semis)
        return '\t';
    if (semis > commas)
        return ';';
    return ',';
}

} // namespace

bool parse(const QByteArray &input, Table *table, QString *error)
{
    QByteArray data = input;
    if (data.startsWith("\xEF\xBB\xBF")) // a BOM, as spreadsheets write
        data.remove(0, 3);
    csv_parser parser;
    if (csv_init(&parser, CSV_STRICT | CSV_STRICT_FINI) != 0) {
        if (error)
            *error = QStringLiteral("The CSV reader could not start.");
        return false;
    }
    csv_set_space_func(&parser, noSpace);
    const int eol = int(data.indexOf('\n'));
    csv_set_delim(&parser,
                  static_cast<unsigned char>(guessDelimiter(eol < 0 ? data : data.left(eol))));
    State s;
    bool ok = true;
    // Fed one physical line at a time, so a fault is reported at its line.
    qsizetype pos = 0;
    while (pos < data.size() && ok) {
        qsizetype end = data.indexOf('\n', pos);
        end = end < 0 ? data.size() : end + 1;
        const size_t len = size_t(end - pos);
        // The reader passes over empty lines between records without a word;
        // a record starts on the first line after them that holds anything.
        if (s.boundary) {
            bool empty = true;
            for (qsizetype i = pos; i < end && empty; ++i)
                empty = data.at(i) == '\n' || data.at(i) == '\r';
            if (!empty) {
                s.nextStart = s.line;
                s.boundary = false;
            }
        }
        if (csv_parse(&parser, data.constData() + pos, len, onField, onRecord, &s) != len) {
            s.error = QStringLiteral("line %1: %2 (a quote inside a field must be doubled)")
                          .arg(s.line)
                          .arg(QString::fromLatin1(csv_strerror(csv_error(&parser))));
            ok = false;
        }
        pos = end;
        if (data.at(end - 1) == '\n')
            ++s.line;
    }
    if (ok && csv_fini(&parser, onField, onRecord, &s) != 0) {
        s.error = QStringLiteral("line %1: a quoted field is not closed").arg(s.nextStart);
        ok = false;
    }
    csv_free(&parser);
    if (ok && !s.error.isEmpty())
        ok = false;
    if (ok && s.records.isEmpty()) {
        s.error = QStringLiteral("line 1: the file is empty");
        ok = false;
    }
    if (ok) {
        Table t;
        t.header = s.records.first();
        for (int i = 1; i < s.records.size(); ++i) {
            QStringList r = s.records.at(i);
            if (std::all_of(r.cbegin(), r.cend(),
                            [](const QString &f) { return f.trimmed().isEmpty(); })) {
                ++t.blankRows; // as spreadsheets leave them: ;; or an empty line
                continue;
            }
            if (r.size() != t.header.size()) {
                s.error = plural(QT_TRANSLATE_N_NOOP("Pantrio",
                                                     "line %1: %n field(s) where the header has %2"),
                                 int(r.size()))
                              .arg(s.starts.at(i))
                              .arg(t.header.size());
                ok = false;
                break;
            }
            for (QString &f : r)
                f = unprotect(f);
            t.rows << r;
            t.lines << s.starts.at(i);
        }
        if (ok)
            *table = std::move(t);
    }
    if (!ok && error)
        *error = s.error;
    return ok;
}

namespace
{
// What a spreadsheet takes for the start of a formula (OWASP's list), and the
// apostrophe that protects it, so that a protected field is protected again.
bool needsProtection(QStringView field)
{
    if (field.isEmpty())
        return false;
    const QChar c = field.front();
    if (c == u'=' || c == u'+' || c == u'-' || c == u'@' || c == u'\t' || c == u'\r')
        return true;
    return c == u'\'' && needsProtection(field.mid(1));
}
} // namespace

bool columns(const Table &table, const QStringList &names, QVector<int> *found, QString *error)
{
    found->fill(-1, names.size());
    for (int i = 0; i < table.header.size(); ++i)
        for (int k = 0; k < names.size(); ++k)
            if (table.header.at(i).trimmed().compare(names.at(k), Qt::CaseInsensitive) == 0)
                (*found)[k] = i;
    for (int k = 0; k < names.size(); ++k) {
        if (found->at(k) < 0) {
            if (error)
                *error = QStringLiteral("line 1: the header has no column %1 (it needs %2)")
                             .arg(names.at(k), names.join(QStringLiteral(", ")));
            return false;
        }
    }
    return true;
}

QString protect(const QString &field)
{
    return needsProtection(field) ? QLatin1Char('\'') + field : field;
}

QString unprotect(const QString &field)
{
    if (field.startsWith(QLatin1Char('\'')) && needsProtection(QStringView(field).mid(1)))
        return field.mid(1);
    return field;
}

QByteArray line(const QStringList &fields)
{
    QByteArray out;
    for (int i = 0; i < fields.size(); ++i) {
        if (i)
            out += ',';
        const QByteArray f = protect(fields.at(i)).toUtf8();
        QByteArray quoted(f.size() * 2 + 2, Qt::Uninitialized);
        const size_t n =
            csv_write(quoted.data(), size_t(quoted.size()), f.constData(), size_t(f.size()));
        quoted.truncate(qsizetype(n));
        out += quoted;
    }
    out += "\r\n";
    return out;
}

} // namespace pantrio::Csv

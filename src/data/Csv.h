#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>
#include <QVector>

namespace pantrio::Csv
{

struct Table {
    QStringList header;
    QVector<QStringList> rows;
    QVector<int> lines; // the line each row starts on, for messages
};

// Reads CSV text (UTF-8; comma, semicolon or tab, told from the header line;
// quoted fields may hold delimiters, quotes and line breaks). Every row must
// have as many fields as the header. False with "line N: reason" otherwise.
bool parse(const QByteArray &data, Table *table, QString *error);

// One CSV line, every field quoted, ending in CRLF as spreadsheets expect.
QByteArray line(const QStringList &fields);

} // namespace pantrio::Csv

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
    int blankRows = 0;  // rows with nothing in any field, left out of rows
};

// Reads CSV text (UTF-8; comma, semicolon or tab, told from the header line;
// quoted fields may hold delimiters, quotes and line breaks). Every row must
// have as many fields as the header. False with "line N: reason" otherwise.
// Fields that line() protected come back as they were.
bool parse(const QByteArray &data, Table *table, QString *error);

// One CSV line, every field quoted, ending in CRLF as spreadsheets expect. A
// field a spreadsheet would run as a formula (it begins with = + - @, a tab or
// a carriage return) is protected with a leading apostrophe.
QByteArray line(const QStringList &fields);

// The column of each of the names in the header (any order and case); false
// with "line 1: ..." naming the first that is missing.
bool columns(const Table &table, const QStringList &names, QVector<int> *found, QString *error);

QString protect(const QString &field);
QString unprotect(const QString &field);

} // namespace pantrio::Csv

#pragma once

#include "data/access/Connection.h"
#include "data/access/RecordSet.h"

#include <QObject>

namespace pantrio
{

// A window's data control: one connection and one record source, opened or
// re-read by refresh(). In the program the connection is the open household
// file's, shared by every window (setConnection); with a connection string
// alone (tests, tools) the control opens one of its own, at the next refresh. The record set object lives as long as the control, so views bound
// to it stay bound across refreshes.
class DataControl : public QObject
{
    Q_OBJECT
  public:
    DataControl(const QString &name, const RecordSource &source, QObject *parent = nullptr);

    void setConnectionString(const QString &databasePath) { m_connectionString = databasePath; }
    void setConnection(Connection *shared);

    bool refresh(QString *error);
    RecordSet *recordset() { return &m_recordset; }
    Connection *connection() { return m_shared ? m_shared : &m_own; }

  private:
    QString m_connectionString;
    Connection m_own;
    Connection *m_shared = nullptr;
    RecordSet m_recordset;
};

} // namespace pantrio

#pragma once

#include "data/Connection.h"
#include "data/RecordSet.h"

#include <QObject>

namespace pantrio
{

// A window's data control: one connection and one record source, opened or
// re-read by refresh(). A new connection string takes effect at the next
// refresh. The record set object lives as long as the control, so views bound
// to it stay bound across refreshes.
class DataControl : public QObject
{
    Q_OBJECT
  public:
    DataControl(const QString &name, const RecordSource &source, QObject *parent = nullptr);

    void setConnectionString(const QString &databasePath) { m_connectionString = databasePath; }

    bool refresh(QString *error);
    RecordSet *recordset() { return &m_recordset; }
    Connection *connection() { return &m_connection; }

  private:
    QString m_connectionString;
    Connection m_connection;
    RecordSet m_recordset;
};

} // namespace pantrio

#include "data/DataControl.h"

namespace pantrio
{

DataControl::DataControl(const QString &name, const RecordSource &source, QObject *parent)
    : QObject(parent), m_recordset(&m_connection, source, this)
{
    setObjectName(name);
}

bool DataControl::refresh(QString *error)
{
    if (m_connectionString.isEmpty()) {
        if (error)
            *error = QStringLiteral("%1 has no connection string.").arg(objectName());
        return false;
    }
    if (!m_connection.isOpen() || m_connection.path() != m_connectionString) {
        if (!m_connection.open(m_connectionString, error))
            return false;
    }
    return m_recordset.requery(error);
}

} // namespace pantrio

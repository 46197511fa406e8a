#include "data/access/DataControl.h"

namespace pantrio
{

DataControl::DataControl(const QString &name, const RecordSource &source, QObject *parent)
    : QObject(parent), m_recordset(&m_own, source, this)
{
    setObjectName(name);
}

void DataControl::setConnection(Connection *shared)
{
    m_shared = shared;
    m_recordset.setConnection(connection());
}

bool DataControl::refresh(QString *error)
{
    if (m_shared) {
        if (!m_shared->isOpen()) {
            if (error)
                *error = QStringLiteral("The database is not open.");
            return false;
        }
        return m_recordset.requery(error);
    }
    if (m_connectionString.isEmpty()) {
        if (error)
            *error = QStringLiteral("%1 has no connection string.").arg(objectName());
        return false;
    }
    if (!m_own.isOpen() || m_own.path() != m_connectionString) {
        if (!m_own.open(m_connectionString, error))
            return false;
    }
    return m_recordset.requery(error);
}

} // namespace pantrio

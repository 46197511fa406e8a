#include "data/shopping/EditSession.h"

#include "data/access/RecordSet.h"

namespace pantrio
{

EditSession::EditSession(RecordSet *records, QStringList fields, QObject *parent)
    : QObject(parent), m_records(records), m_fields(std::move(fields))
{
}

void EditSession::setMode(Mode mode)
{
    if (m_mode == mode)
        return;
    m_mode = mode;
    emit modeChanged(mode);
}

bool EditSession::add(QString *error)
{
    if (!(m_records->bof() && m_records->eof()))
        m_returnMark = m_records->bookmark();
    if (!m_records->addNew(error))
        return false;
    setMode(Mode::Adding);
    return true;
}

void EditSession::edit()
{
    setMode(Mode::Editing);
}

bool EditSession::update(QString *error)
{
    if (!m_records->updateBatch(error))
        return false;
    if (adding() && !m_records->moveLast(error))
        return false;
    setMode(Mode::Browse);
    return true;
}

void EditSession::cancel()
{
    setMode(Mode::Browse);
    m_records->cancelUpdate();
    if (!m_returnMark || !m_records->moveToBookmark(*m_returnMark))
        m_records->moveFirst();
}

bool EditSession::finish(QString *error)
{
    if (m_records->isPending()) {
        bool blank = m_records->isNew();
        for (const QString &f : std::as_const(m_fields))
            blank = blank && m_records->value(f).toString().isEmpty();
        if (blank)
            m_records->cancelUpdate();
        else if (!m_records->update(error))
            return false;
    }
    setMode(Mode::Browse);
    return true;
}

void EditSession::setField(const QString &field, const QString &text)
{
    if (!m_records->hasCurrent())
        return;
    // An emptied box stores Null, as the catalogue shows a nameless item as "-".
    m_records->setValue(field, text.isEmpty() ? QVariant() : QVariant(text));
}

} // namespace pantrio

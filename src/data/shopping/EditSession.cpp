#include "data/shopping/EditSession.h"

#include "data/access/RecordSet.h"

#include <algorithm>

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

bool EditSession::move(Step step, bool *pastEnd, QString *error)
{
    *pastEnd = false;
    RecordSet *rs = m_records;
    switch (step) {
    case Step::First:
        return rs->moveFirst(error);
    case Step::Last:
        return rs->moveLast(error);
    case Step::Next:
        if (!rs->eof() && !rs->moveNext(error))
            return false;
        if (rs->eof() && rs->recordCount() > 0) {
            *pastEnd = true;
            return rs->moveLast(error);
        }
        return true;
    case Step::Previous:
        if (!rs->bof() && !rs->movePrevious(error))
            return false;
        if (rs->bof() && rs->recordCount() > 0) {
            *pastEnd = true;
            return rs->moveFirst(error);
        }
        return true;
    }
    return true;
}

bool EditSession::removeCurrent(QString *error)
{
    const int position = m_records->currentIndex();
    if (!m_records->deleteCurrent(error))
        return false;
    if (m_records->recordCount() > 0)
        m_records->moveTo(std::min(position, m_records->recordCount() - 1));
    return true;
}

bool EditSession::reread(QString *error)
{
    const QVariant id = m_records->value(QStringLiteral("ID"));
    const int position = m_records->currentIndex();
    cancel();
    if (!m_records->requery(error))
        return false;
    m_records->moveFirst();
    if (!id.isNull() && !m_records->find(Criterion{QStringLiteral("ID"), id}) &&
        m_records->recordCount() > 0)
        m_records->moveTo(std::clamp(position, 0, m_records->recordCount() - 1));
    return true;
}

} // namespace pantrio

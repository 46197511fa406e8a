#include "data/owner/UndoHistory.h"

namespace pantrio
{

void UndoHistory::push(UndoStep step)
{
    m_steps.resize(m_index);
    m_steps.append(std::move(step));
    if (m_steps.size() > limit)
        m_steps.remove(0, m_steps.size() - limit);
    m_index = int(m_steps.size());
    emit changed();
}

void UndoHistory::clear()
{
    if (m_steps.isEmpty())
        return;
    m_steps.clear();
    m_index = 0;
    emit changed();
}

void UndoHistory::stepBack()
{
    if (canUndo()) {
        --m_index;
        emit changed();
    }
}

void UndoHistory::stepForward()
{
    if (canRedo()) {
        ++m_index;
        emit changed();
    }
}

} // namespace pantrio

#pragma once

#include <QByteArray>
#include <QObject>
#include <QString>
#include <QStringList>
#include <QVector>

namespace pantrio
{

// One change the user made, as the rows it changed: an SQLite changeset that
// names every row by its key, with its values before and after. Undo applies
// the inverse, redo the changeset itself.
struct UndoStep {
    QString text;   // "Delete All", "Add 12 Items"
    int changes = 0; // what it touches (Household::Changes)
    QStringList tables; // the tables whose rows it changed
    QByteArray changeset;
};

// The steps of the open file, in memory, oldest first, with the place between
// what was done and what was undone. Holds no connection: the household file
// applies the steps and moves the place only when applying succeeded.
class UndoHistory : public QObject
{
    Q_OBJECT
  public:
    explicit UndoHistory(QObject *parent = nullptr) : QObject(parent) {}

    // A new step drops what was undone; the oldest steps go past the limit.
    void push(UndoStep step);
    void clear();

    bool canUndo() const { return m_index > 0; }
    bool canRedo() const { return m_index < m_steps.size(); }
    QString undoText() const { return canUndo() ? m_steps.at(m_index - 1).text : QString(); }
    QString redoText() const { return canRedo() ? m_steps.at(m_index).text : QString(); }
    const UndoStep &nextUndo() const { return m_steps.at(m_index - 1); }
    const UndoStep &nextRedo() const { return m_steps.at(m_index); }
    void stepBack();
    void stepForward();
    int count() const { return int(m_steps.size()); }

    // The steps and the place, to be put back when the same rows are opened
    // again (a file written back to its place).
    struct Saved {
        QVector<UndoStep> steps;
        int index = 0;
    };
    Saved save() const { return {m_steps, m_index}; }
    void restore(const Saved &saved)
    {
        m_steps = saved.steps;
        m_index = saved.index;
        emit changed();
    }

    static constexpr int limit = 100;

  signals:
    void changed();

  private:
    QVector<UndoStep> m_steps;
    int m_index = 0; // steps before it are done, from it on undone
};

} // namespace pantrio

#include "cellchangecommand.h"

#include <utility>

CellChangeCommand::CellChangeCommand(const QString &text, CellChanges changes, CalibrationTables &tables)
    : QUndoCommand(text), m_changes(std::move(changes)), m_tables(tables)
{
}

void CellChangeCommand::undo() { m_changes.applyBefore(m_tables); }

void CellChangeCommand::redo()
{
    if (std::exchange(m_pushed, true))
        m_changes.applyAfter(m_tables);
}

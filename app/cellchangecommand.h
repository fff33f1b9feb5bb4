#pragma once
// One step of the window's history: the cells one user action changed, with
// their texts before and after. The action has already run when the step is
// pushed, so the first redo (the one QUndoStack makes on push) writes nothing.
// The map headings are cells like any other: a step that rebuilt them puts
// them back as they were, with no rebuild of its own.
#include "tablesnapshot.h"

#include <QUndoCommand>

class CellChangeCommand : public QUndoCommand {
public:
    CellChangeCommand(const QString &text, CellChanges changes, CalibrationTables &tables);
    void undo() override;
    void redo() override;
    const CellChanges &changes() const { return m_changes; }

private:
    CellChanges m_changes;
    CalibrationTables &m_tables;
    bool m_pushed = false;
};

#pragma once
// Undo and redo of table changes as snapshots and their differences. A
// snapshot holds every cell text of the three grids at one moment, headings
// and labels included; the texts are shared with the grids, so taking one
// before each user action costs about 320 reference counts. What a history
// keeps is only the cells that changed, packed, so that a thousand whole-map
// steps stay within a few megabytes. Writing back goes through setTextMatrix:
// no current cell moves and no LeaveCell fires, so an undo never commits an
// open edit.
#include "calibrationtables.h"

#include <QList>
#include <QString>

class TableSnapshot {
public:
    TableSnapshot() = default;
    explicit TableSnapshot(const CalibrationTables &tables);
    bool operator==(const TableSnapshot &) const = default;

private:
    friend class CellChanges;
    QList<QString> m_texts; // map, then brake row, then parameters, each row by row
};

class CellChanges {
public:
    enum class Grid { Map, Brake, Params };
    struct Place {
        Grid grid = Grid::Map;
        int row = 0;
        int col = 0;
        bool operator==(const Place &) const = default;
    };

    // The cells whose text differs, in map, brake, parameter order, each grid
    // row by row. A null snapshot on either side reads as every cell empty.
    static CellChanges between(const TableSnapshot &before, const TableSnapshot &after);

    bool isEmpty() const { return m_cells.isEmpty(); }
    int count() const { return int(m_cells.size()); }

    // Change i (0 to count() - 1): where it is and its texts on either side.
    Place place(int i) const;
    QString before(int i) const;
    QString after(int i) const;

    // Write the texts of one side back into the cells that changed.
    void applyBefore(CalibrationTables &tables) const;
    void applyAfter(CalibrationTables &tables) const;

    // Memory held, for the history's limit and the benchmarks.
    qsizetype bytes() const;

private:
    struct Cell {
        qint32 index;     // in the snapshot's order
        qint32 beforeEnd; // end of this cell's text in m_before
        qint32 afterEnd;  // and in m_after
    };
    void apply(CalibrationTables &tables, bool after) const;
    QList<Cell> m_cells;
    QString m_before, m_after;
};

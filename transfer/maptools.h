#pragma once
// Block operations on the map and the brake row: arithmetic, interpolation,
// smoothing, and whether the module can carry a cell. Every result is written
// as the integer the module would make of it (nearest, halves to even) kept
// within 0..255, so what a cell shows after a tool is exactly what a send puts
// on the wire. Cells are written with setTextMatrix: no current cell moves.
// Fixed (heading and label) cells are never touched.
#include "calibrationtables.h"

#include <QString>

namespace MapTools {

// Inclusive grid coordinates, the corners in either order. Parts outside the
// grid or in its fixed rows and columns are ignored.
struct CellRange {
    int row1 = 0, col1 = 0, row2 = 0, col2 = 0;
};

enum class Arithmetic { Add, Subtract, ScalePercent, Set };

// Add, Subtract and ScalePercent change only cells whose whole text is a
// number; an empty cell or text such as "abc" or "50abc" is left as the user
// wrote it (and stays marked as not carriable). Set writes every cell of the
// range. The sum or product is taken as its cell text would show it before
// rounding, so 129.2 scaled by 125% rounds as 161.5 does. A value that is not
// a finite number changes nothing.
void apply(FlexGrid &grid, CellRange range, Arithmetic op, double value);

enum class Interpolation { Horizontal, Vertical, Bilinear };

// Map only. Fills the inner cells of the range from its edge cells: each row
// between its first and last cell, each column between its top and bottom
// cell, or (bilinear) from all four edges at once, which gives the plain
// bilinear surface when the edges are straight. Distances are the heading
// values of row 0 / column 0 ("10%" counts as 10) when every heading across
// the range is a number and they strictly increase; otherwise cell positions.
// Edge cells are read as every consumer reads them (an empty cell is 0).
// Returns false, changing nothing, when the range has no inner cell that way:
// fewer than three columns (Horizontal), rows (Vertical), or either (Bilinear).
bool interpolate(CalibrationTables &tables, CellRange range, Interpolation how);

// Moves each numeric cell halfway toward the mean of its numeric neighbours
// above, below, left and right inside the range, all from the values before
// the step. Cells that are not numbers neither change nor count. Returns
// false, changing nothing, when the range holds fewer than two cells.
bool smooth(FlexGrid &grid, CellRange range);

// True when the text is a number whose module integer lies in 0..255, or is
// empty (which the module takes as 0). Text with anything besides the number
// (blanks aside), such as "abc" or "50abc", is not carriable.
bool carriable(const QString &cellText);

} // namespace MapTools

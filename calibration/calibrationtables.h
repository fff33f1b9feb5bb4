#pragma once
// The calibration: three grids and nothing else. Every consumer reads cell
// text through CellValue at the moment it needs a number.
#include "flexgrid.h"

enum ParamRow {
    MaxPosition = 0,
    MaxAdjust = 1,
    MaxBoost = 2,
    RpmStart = 3,
    RpmIncrement = 4,
    LoadStart = 5,
    LoadIncrement = 6,
    BoardName = 7,
};

inline constexpr int MapSize = 16;

struct CalibrationTables {
    CalibrationTables();
    FlexGrid msflexgrid1{17, 17, 1, 1}; // PositionMap: headings in row 0 and column 0
    FlexGrid MSFlexGrid2{1, 17, 0, 1};  // BrakeRow: "Brake" in column 0
    FlexGrid MSFlexGrid3{8, 2, 0, 1};   // ParameterTable: labels in column 0

    FlexGrid &map() { return msflexgrid1; }
    FlexGrid &brake() { return MSFlexGrid2; }
    FlexGrid &params() { return MSFlexGrid3; }
    const FlexGrid &map() const { return msflexgrid1; }
    const FlexGrid &brake() const { return MSFlexGrid2; }
    const FlexGrid &params() const { return MSFlexGrid3; }

    QString param(ParamRow row) const { return MSFlexGrid3.TextMatrix(row, 1); }
};

// The parameter labels, by row.
QString parameterLabel(ParamRow row);

// Sizes, labels and current cells as the window starts with them.
void SetUpGrids(CalibrationTables &tables);

// Rebuilds the map's RPM and load headings from the four axis parameters.
// Reaches the cells by moving the current cells, which it leaves at map row 16,
// column 0 and parameter row 6, column 1.
void UpdateAxisHeadings(CalibrationTables &tables);

// Empties the map (headings too), the brake values and the parameter values.
void ClearTables(CalibrationTables &tables);

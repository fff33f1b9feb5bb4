#pragma once
// Field-level differences between two calibrations, for the command-line
// tool's diff and verify. A field is a map cell, named by its RPM and load
// headings and by its row and column, a brake column, or a parameter by its
// label; numbers compare by the value their text stands for, the board name
// by its text.
#include "calibrationtables.h"

#include <QJsonArray>
#include <QList>
#include <QString>

namespace TableDiff {

// The names a field goes by wherever it is told, rows and columns from 1:
// "map row 3, column 5" and "brake column 4".
QString mapPlace(int row, int column);
QString brakePlace(int column);

struct Difference {
    enum Kind { MapCell, BrakeColumn, Parameter };
    Kind kind = MapCell;
    int row = 0;    // map cell: 1 to 16
    int column = 0; // map cell and brake column: 1 to 16
    QString rpm;    // map cell: its column's heading
    QString load;   // map cell: its row's heading
    QString name;   // parameter: its label
    QString first;  // the field's text in each calibration
    QString second;
    // "map row 3, column 5 (RPM 1500, load 40%)", "brake column 4", "Max Boost".
    QString place() const;
};

// Reads the cells where they stand, moving no current cell.
QList<Difference> diff(const CalibrationTables &first, const CalibrationTables &second);

// One line per difference, "<place>: <firstLabel> <value>, <secondLabel> <value>",
// then a line that counts them; "No differences" when there are none.
QString toText(const QList<Difference> &differences, const QString &firstLabel, const QString &secondLabel);

// One object per difference: "field" (map, brake or parameter) with "row",
// "column", "rpm", "load" or "name" as they apply, then the two values under
// the keys given.
QJsonArray toJson(const QList<Difference> &differences, const QString &firstKey, const QString &secondKey);

} // namespace TableDiff

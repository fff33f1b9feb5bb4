#pragma once
// The two conversions every reader and writer of the tables goes through.
#include <QString>
#include <QStringView>

// The number a cell's text stands for: its longest leading number, 0 when
// there is none. Blanks, tabs and line feeds are skipped wherever they stand;
// &H and &O introduce hexadecimal and octal integers; E or D starts an
// exponent. Never throws: a magnitude beyond the double range saturates.
double CellValue(QStringView text);

// The text a number is shown as: up to 15 significant digits, no trailing
// zeros, no point for whole numbers, exponent form from 1E+15 and below 1E-04.
// NaN shows as 0 and an infinity as the largest finite number of its sign.
QString CellText(double value);

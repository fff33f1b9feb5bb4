#pragma once
// What the transfer tests share: the bytes that went out, and the calibration
// as the grids show it.
#include "calibrationtables.h"
#include "journal.h"
#include "simcalibration.h"

#include <QStringList>

// The payloads of the written reports from `first` on, back to back.
inline QByteArray sentBytes(const Journal &journal, int first = 0, int count = -1)
{
    QByteArray out;
    const auto writes = journal.writes();
    for (int i = first; i < writes.size() && (count < 0 || i < first + count); ++i)
        out += writes[i].payload;
    return out;
}

inline QByteArray bytes(std::initializer_list<int> values)
{
    QByteArray out;
    for (int v : values)
        out.append(char(v));
    return out;
}

// The WriteTables stream a calibration goes out as.
inline QByteArray tablesStream(const HeldCalibration &c)
{
    QByteArray s = bytes({0x91});
    s.append(reinterpret_cast<const char *>(c.map.data()), 256);
    s.append(reinterpret_cast<const char *>(c.brake.data()), 16);
    s += bytes({c.maxPosition, c.maxAdjust, c.maxBoost, 0, 0, 0, 0});
    return s;
}

// Every cell's text, headings included, to see that nothing changed.
inline QStringList allCellTexts(const CalibrationTables &t)
{
    QStringList out;
    for (const FlexGrid *g : {&t.map(), &t.brake(), &t.params()})
        for (int r = 0; r < g->Rows(); ++r)
            for (int c = 0; c < g->Cols(); ++c)
                out << g->TextMatrix(r, c);
    return out;
}

inline void setParam(CalibrationTables &t, ParamRow row, const QString &text)
{
    t.params().setTextMatrix(row, 1, text);
}

#include "calibrationtables.h"
#include "cellvalue.h"

CalibrationTables::CalibrationTables() = default;

QString parameterLabel(ParamRow row)
{
    static const char *const labels[] = {"Max Position",  "Max Adjust", "Max Boost",      "RPM Start",
                                         "RPM Increment", "LOAD Start", "LOAD Increment", "Board Name"};
    return QString::fromLatin1(labels[row]);
}

void SetUpGrids(CalibrationTables &t)
{
    for (int i = 0; i <= MapSize; ++i) {
        t.map().setRowHeight(i, 220);
        t.map().setColWidth(i, 600);
    }
    for (int i = 0; i <= MapSize; ++i)
        t.brake().setColWidth(i, 600);
    t.brake().setRowHeight(0, 220);
    for (int r = 0; r < 8; ++r)
        t.params().setRowHeight(r, 220);
    t.params().setColWidth(0, 1400);
    t.params().setColWidth(1, 1200);

    t.brake().setCol(0);
    t.brake().setText(QStringLiteral("Brake"));
    t.brake().setCol(1);

    t.params().setCol(0);
    for (ParamRow row :
         {RpmStart, RpmIncrement, LoadStart, LoadIncrement, MaxPosition, MaxAdjust, MaxBoost, BoardName}) {
        t.params().setRow(row);
        t.params().setText(parameterLabel(row));
    }
    t.params().setCol(1);
}

void UpdateAxisHeadings(CalibrationTables &t)
{
    auto &p = t.params();
    p.setCol(1);
    auto read = [&p](ParamRow row) {
        p.setRow(row);
        return CellValue(p.Text());
    };
    const double s = read(RpmStart);
    const double l = read(LoadStart);
    const double i = read(RpmIncrement);
    const double j = read(LoadIncrement);

    auto &m = t.map();
    m.setRow(0);
    m.setCol(1);
    m.setText(QStringLiteral("0"));
    for (int c = 2; c <= MapSize; ++c) {
        m.setCol(c);
        m.setText(CellText(s + (c - 2) * i));
    }
    m.setCol(0);
    m.setRow(1);
    m.setText(QStringLiteral("0"));
    for (int r = 2; r <= MapSize; ++r) {
        m.setRow(r);
        m.setText(CellText(l + (r - 2) * j) + QLatin1Char('%'));
    }
}

void ClearTables(CalibrationTables &t)
{
    auto &m = t.map();
    for (int r = 0; r <= MapSize; ++r) {
        m.setRow(r);
        for (int c = 0; c <= MapSize; ++c) {
            m.setCol(c);
            m.setText(QString());
        }
    }
    auto &b = t.brake();
    for (int c = 1; c <= MapSize; ++c) {
        b.setCol(c);
        b.setText(QString());
    }
    auto &p = t.params();
    p.setCol(1);
    for (int r = 0; r < 8; ++r) {
        p.setRow(r);
        p.setText(QString());
    }
}

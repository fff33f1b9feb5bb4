// Writes the two example calibrations in examples/ through the tuner's own
// file writer:
//   factory-calibration.dat  what the virtual module leaves the factory with;
//   towing-calibration.dat   a calibration for towing: vanes held closed
//                            longer for boost under load, a full brake row,
//                            a wider RPM axis and a load axis from 0 %.
// Both hold only whole numbers in the module's widths, so either can be sent.
#include "calibrationfile.h"
#include "cellvalue.h"
#include "simcalibration.h"

#include <QDir>
#include <QFile>
#include <QString>
#include <cmath>
#include <cstdio>

namespace {

HeldCalibration towing()
{
    HeldCalibration c;
    for (int r = 1; r <= 16; ++r) {
        for (int col = 1; col <= 16; ++col) {
            const double load = (r - 1) / 15.0;
            const double speed = (col - 1) / 15.0;
            // A ridge of closed vanes through the pulling range, falling away
            // towards rated speed so the turbine does not overspeed.
            const double ridge = std::exp(-std::pow((speed - 0.35) / 0.3, 2));
            const double position = 15 + 75 * load * ridge + 10 * (1 - speed);
            c.cell(r, col) = static_cast<std::uint8_t>(std::lround(std::min(position, 100.0)));
        }
    }
    for (int col = 1; col <= 16; ++col)
        c.brake[std::size_t(col - 1)] = static_cast<std::uint8_t>(col <= 10 ? 100 : 100 - 3 * (col - 10));
    c.maxPosition = 100;
    c.maxAdjust = 35;
    c.maxBoost = 230;
    c.rpmStart = 600;
    c.rpmIncrement = 250;
    c.loadStart = 0;
    c.loadIncrement = 7;
    c.boardName = QByteArrayLiteral("Marlow VGT Tow");
    return c;
}

// The cells as the window shows a calibration received from the module.
void fill(CalibrationTables &t, const HeldCalibration &c)
{
    SetUpGrids(t);
    for (int r = 1; r <= 16; ++r)
        for (int col = 1; col <= 16; ++col)
            t.map().setTextMatrix(r, col, CellText(c.cell(r, col)));
    for (int col = 1; col <= 16; ++col)
        t.brake().setTextMatrix(0, col, CellText(c.brake[std::size_t(col - 1)]));
    const std::pair<ParamRow, double> params[] = {{MaxPosition, c.maxPosition},    {MaxAdjust, c.maxAdjust},
                                                  {MaxBoost, c.maxBoost},          {RpmStart, c.rpmStart},
                                                  {RpmIncrement, c.rpmIncrement},  {LoadStart, c.loadStart},
                                                  {LoadIncrement, c.loadIncrement}};
    for (const auto &[row, value] : params)
        t.params().setTextMatrix(row, 1, CellText(value));
    t.params().setTextMatrix(BoardName, 1, QString::fromLatin1(c.boardName));
}

bool write(const QDir &dir, const char *name, const HeldCalibration &c)
{
    CalibrationTables tables;
    fill(tables, c);
    QFile file(dir.filePath(QString::fromLatin1(name)));
    FileError error;
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate))
        error = CalibrationFile::error(CalibrationFile::PermissionDenied);
    if (!error)
        error = CalibrationFile::write(tables, file);
    if (!error && !file.flush())
        error = CalibrationFile::error(CalibrationFile::DeviceIoError);
    if (error) {
        std::fprintf(stderr, "%s: %s\n", qPrintable(file.fileName()), qPrintable(error.description));
        return false;
    }
    return true;
}

} // namespace

int main(int argc, char *argv[])
{
    if (argc != 2) {
        std::fprintf(stderr, "usage: %s <examples folder>\n", argv[0]);
        return 2;
    }
    const QDir dir(QString::fromLocal8Bit(argv[1]));
    if (!dir.exists()) {
        std::fprintf(stderr, "%s: no such folder\n", argv[1]);
        return 2;
    }
    const bool ok = write(dir, "factory-calibration.dat", HeldCalibration::factory()) &&
                    write(dir, "towing-calibration.dat", towing());
    return ok ? 0 : 1;
}

// The .dat reader on arbitrary bytes. Whatever it read, even half a file, can
// be saved again; a file read whole, saved and read back shows the same cells.
#include "calibrationfile.h"
#include "fuzzcheck.h"

#include <QBuffer>

namespace {

QStringList cells(const CalibrationTables &t)
{
    QStringList out;
    for (const FlexGrid *grid : {&t.map(), &t.brake(), &t.params()})
        for (int r = 0; r < grid->Rows(); ++r)
            for (int c = 0; c < grid->Cols(); ++c)
                out << grid->TextMatrix(r, c);
    return out;
}

FileError readBytes(CalibrationTables &tables, QByteArray bytes)
{
    QBuffer in(&bytes);
    in.open(QIODevice::ReadOnly);
    return CalibrationFile::read(tables, in);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    CalibrationTables tables;
    SetUpGrids(tables);
    const FileError readError = readBytes(tables, QByteArray(reinterpret_cast<const char *>(data), qsizetype(size)));

    QByteArray saved;
    QBuffer out(&saved);
    out.open(QIODevice::WriteOnly);
    const FileError writeError = CalibrationFile::write(tables, out);
    if (readError)
        return 0;

    const QString name = tables.param(BoardName);
    FUZZ_CHECK(!writeError);
    FUZZ_CHECK(saved.size() == CalibrationFile::FixedBytes + 4 * name.size());
    CalibrationTables again;
    SetUpGrids(again);
    FUZZ_CHECK(!readBytes(again, saved));
    FUZZ_CHECK(cells(again) == cells(tables));
    return 0;
}

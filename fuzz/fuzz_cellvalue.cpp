// CellValue on arbitrary cell text, and what every writer of the tables does
// with the number: show it with CellText, and encode it for the module.
#include "cellvalue.h"
#include "fuzzcheck.h"
#include "messageset.h"

#include <cmath>
#include <cstring>
#include <string>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    // The first byte picks how the rest becomes text: UTF-8 reaches every
    // character, UTF-16 every code unit, lone surrogates included.
    if (size == 0)
        return 0;
    QString text;
    if (data[0] & 1) {
        std::u16string units((size - 1) / 2, u'\0');
        std::memcpy(units.data(), data + 1, units.size() * 2);
        text = QString::fromStdU16String(units);
    } else {
        text = QString::fromUtf8(reinterpret_cast<const char *>(data + 1), qsizetype(size - 1));
    }
    const double value = CellValue(text);
    FUZZ_CHECK(std::isfinite(value));

    // A number shown in a cell reads back as the same number shown the same way.
    const QString shown = CellText(value);
    FUZZ_CHECK(CellText(CellValue(shown)) == shown);

    const double integer = MessageSet::CellInteger(value);
    FUZZ_CHECK(std::isfinite(integer) && integer == std::trunc(integer));
    FUZZ_CHECK(std::fabs(integer - value) <= 0.5);
    if (const auto byte = MessageSet::ByteField(integer))
        FUZZ_CHECK(*byte == integer);
    if (const auto rpm = MessageSet::RpmField(integer))
        FUZZ_CHECK(integer < 0 || (*rpm)[0] * 256 + (*rpm)[1] == integer);
    const std::uint8_t low = MessageSet::LimitField(integer);
    FUZZ_CHECK(std::fmod(integer - low, 256.0) == 0);
    return 0;
}

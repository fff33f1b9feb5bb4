#include "surfacearray.h"
#include "cellvalue.h"
#include "flexgrid.h"

#include <algorithm>
#include <cfloat>

SurfaceValues ReadSurfaceValues(const FlexGrid &map)
{
    SurfaceValues values{};
    for (int c = 1; c < SurfaceSize; ++c)
        for (int r = 1; r < SurfaceSize; ++r)
            values[SurfaceSize - c][SurfaceSize - r] = CellValue(map.TextMatrix(r, c));
    return values;
}

SurfaceArray ToSurfaceArray(const SurfaceValues &values)
{
    // Converting a double beyond the single range is undefined; a cell of
    // 1E300 is legal text, so it is held at the largest single.
    auto single = [](double v) { return static_cast<float>(std::clamp(v, double(-FLT_MAX), double(FLT_MAX))); };
    SurfaceArray singles{};
    std::transform(values.begin(), values.end(), singles.begin(), [&](const auto &row) {
        SurfaceArray::value_type out;
        std::transform(row.begin(), row.end(), out.begin(), single);
        return out;
    });
    return singles;
}

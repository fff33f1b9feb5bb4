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
    SurfaceArray singles{};
    for (int i = 0; i < SurfaceSize; ++i)
        for (int j = 0; j < SurfaceSize; ++j)
            // Converting a double beyond the single range is undefined; a cell
            // of 1E300 is legal text, so it is held at the largest single.
            singles[i][j] = static_cast<float>(std::clamp(values[i][j], double(-FLT_MAX), double(FLT_MAX)));
    return singles;
}

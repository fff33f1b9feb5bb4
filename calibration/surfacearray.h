#pragma once
// The map as the 3D graph draws it: a 17 by 17 array whose first index runs
// over the RPM columns and whose second runs over the load rows, both in
// reverse order of the grid. Element (17 - c, 17 - r) holds map cell (r, c);
// the elements with an index of 0 are never written and stay 0.
#include <array>

class FlexGrid;

inline constexpr int SurfaceSize = 17;

template <typename T> using SurfaceGrid = std::array<std::array<T, SurfaceSize>, SurfaceSize>;

// The single-precision array the surface is drawn from.
using SurfaceArray = SurfaceGrid<float>;
// The same layout at full precision, for showing a cell's true value.
using SurfaceValues = SurfaceGrid<double>;

// CellValue of every data cell of the map, read now, in the array layout.
// The headings in row 0 and column 0 are not read.
SurfaceValues ReadSurfaceValues(const FlexGrid &map);

// The values as singles. A value beyond the single range is held at the
// largest single of its sign rather than overflowing.
SurfaceArray ToSurfaceArray(const SurfaceValues &values);

inline SurfaceArray FillSurfaceArray(const FlexGrid &map) { return ToSurfaceArray(ReadSurfaceValues(map)); }

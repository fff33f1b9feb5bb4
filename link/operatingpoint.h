#pragma once
// Operating-point tracking: the module names the calibration cell it is using
// and the tuner paints it yellow, in the map or in the brake row.
//
// The highlighted cell is each grid's current cell; nothing else remembers it.
// So whatever moves a current cell (the heading rebuild leaves the map's in
// the heading column) decides what the next tick whitens.
#include <array>
#include <cstdint>

class FlexGrid;
class Misc;

struct OperatingPoint {
    int col = 0; // engine-speed breakpoint, 0 to 15
    int row = 0; // load breakpoint, 0 to 15
    bool brake = false;
};

OperatingPoint DecodeOperatingPoint(const std::array<std::uint8_t, 9> &reply);
// One exchange; a lost or short reply names the cell of the last whole report.
OperatingPoint RequestOperatingPoint(Misc &misc);

// Whitens the previous highlight and paints the module's cell yellow.
void ShowOperatingPoint(FlexGrid &map, FlexGrid &brake, const OperatingPoint &point);
// Whitens every data cell of both grids, leaving the map's current cell at
// row 16, column 16 and the brake row's at column 16.
void ClearOperatingPoints(FlexGrid &map, FlexGrid &brake);

#include "operatingpoint.h"
#include "flexgrid.h"
#include "linkcommands.h"
#include "nonblockingusb.h"

namespace {
constexpr int Breakpoints = 16;

bool isBreakpoint(int index) { return index >= 0 && index < Breakpoints; }
} // namespace

OperatingPoint DecodeOperatingPoint(const std::array<std::uint8_t, 9> &reply)
{
    return {reply[0], reply[1], reply[2] != 0};
}

OperatingPoint RequestOperatingPoint(Misc &misc)
{
    Exchange(LinkCommand::OperatingPoint, misc);
    return DecodeOperatingPoint(NonBlockingUSB::InBuffer);
}

void ShowOperatingPoint(FlexGrid &map, FlexGrid &brake, const OperatingPoint &point)
{
    // A module naming a breakpoint the grids do not have (16 or more) has sent
    // something we cannot show. That tick paints nothing at all, not even the
    // whitening, so the last good cell stays lit instead of the display going
    // blank or a heading being painted. The brake row only uses the column, so
    // a stray row byte does not stop a brake cell being shown.
    if (!isBreakpoint(point.col) || (!point.brake && !isBreakpoint(point.row)))
        return;
    // The previous highlight is wherever the current cells are. When the map's
    // lies in a heading, neither grid is whitened on this tick.
    if (map.Row() != 0 && map.Col() != 0) {
        map.setCellBackColor(GridWhite);
        brake.setCellBackColor(GridWhite);
    }
    if (!point.brake) {
        map.setRow(point.row + 1);
        map.setCol(point.col + 1);
        map.setCellBackColor(GridYellow);
    } else {
        brake.setCol(point.col + 1);
        brake.setCellBackColor(GridYellow);
    }
}

void ClearOperatingPoints(FlexGrid &map, FlexGrid &brake)
{
    for (int r = 1; r <= Breakpoints; ++r) {
        map.setRow(r);
        for (int c = 1; c <= Breakpoints; ++c) {
            map.setCol(c);
            map.setCellBackColor(GridWhite);
        }
        brake.setCol(r);
        brake.setCellBackColor(GridWhite);
    }
}

#pragma once
// What the 3D graph adds to a tracking tick: moving the engine's marker on an
// open graph window. Measured on the window's own graph, so it needs OpenGL
// (an X display); on the offscreen platform there is nothing to draw.
#include <QString>

#include <optional>

class frmVGT_Tuner;

struct MarkerFigures {
    double moveMs = 0;   // median CPU time of one marker move, the call alone
    double frameMs = 0;  // median CPU time of the frame drawn after a move, every thread's (Mesa's included)
    double refillMs = 0; // median CPU time of refilling the whole surface, the cost the marker avoids
};

// Opens the window's graph if it is not open, makes `moves` moves between two
// cells and `moves / 4` refills. Without OpenGL, nothing; `why` says so.
std::optional<MarkerFigures> measureMarker(frmVGT_Tuner &window, int moves, QString *why);

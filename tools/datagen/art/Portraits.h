// Portraits of the four figure designs of Look.h, drawn with cairo: the figure strips
// show them in 115 × 160 cells (face in the top 115 × 75, which the score display
// shows), and the interface reuses them where a player's figure is pictured.
#pragma once

#include <cairo.h>

#include "Look.h"

namespace art {

constexpr int kCellW = 115, kCellH = 160;

// Draws figure `figure` (look::Figure) in `colour` with the cell's top-left at (x, y).
// The background stays transparent.
void DrawPortrait(cairo_t* cr, int figure, look::Rgb colour, double x, double y);

}  // namespace art

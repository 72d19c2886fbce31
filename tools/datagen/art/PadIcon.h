// The controller symbol of the interface atlases: a small gamepad that the player setup
// shows on the panel of each player whom a game controller drives.
#pragma once

#include <cairo.h>

#include "art/AtlasLayout.h"

namespace art {

// Draws the symbol to fill r; what lies outside its outline stays transparent.
void DrawPadIcon(cairo_t* cr, atlas::Rect r);

}  // namespace art

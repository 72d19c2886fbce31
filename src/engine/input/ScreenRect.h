// A rectangle of back-buffer pixels for the menus' hit tests, and the point test
// every button and the mouse use. Right and bottom are exclusive.
#pragma once

#include <cstdint>

struct ScreenRect {
  int32_t left = 0;
  int32_t top = 0;
  int32_t right = 0;   // exclusive
  int32_t bottom = 0;  // exclusive
};

// Builds the rectangle of a menu element given as (x, y, width, height).
ScreenRect MakeScreenRect(int32_t x, int32_t y, int32_t width, int32_t height);

// True iff left <= px < right and top <= py < bottom.
bool PointInRect(int32_t px, int32_t py, int32_t left, int32_t top, int32_t right, int32_t bottom);

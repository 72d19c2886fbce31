#include "engine/input/ScreenRect.h"

ScreenRect MakeScreenRect(int32_t x, int32_t y, int32_t width, int32_t height) {
  ScreenRect rect;
  rect.left = x;
  rect.top = y;
  rect.right = x + width;
  rect.bottom = y + height;
  return rect;
}

bool PointInRect(int32_t px, int32_t py, int32_t left, int32_t top, int32_t right, int32_t bottom) {
  return left <= px && px < right && top <= py && py < bottom;
}

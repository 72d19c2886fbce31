// The base of the interface's 2D screen objects: where on the back buffer, which part of
// a texture, how scaled, rotated and tinted. Sprite is the one concrete kind.
#pragma once

#include <cstdint>

#include "engine/input/ScreenRect.h"
#include "platform/d3dx9/D3DX9Math.h"

class Drawable2D {
 public:
  virtual ~Drawable2D() = default;
  // Draws inside the graphics device's sprite batch (between BeginSprites and EndSprites).
  virtual void Draw() = 0;

  D3DXVECTOR3 position{0.0f, 0.0f, 0.0f};  // pixels; where `centre` lands
  D3DXVECTOR3 centre{0.0f, 0.0f, 0.0f};    // texels from the cut-out's top-left
  ScreenRect sourceRect{};                 // texels, right and bottom exclusive
  std::int32_t width = 0;                  // level-0 size of the texture
  std::int32_t height = 0;
  bool visible = true;
  float angle = 0.0f;  // radians about the screen's z axis
  D3DXVECTOR2 scale{1.0f, 1.0f};
  D3DXCOLOR colour{1.0f, 1.0f, 1.0f, 1.0f};  // tint and opacity, each 0..1
};

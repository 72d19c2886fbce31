// A rectangle cut out of a texture, drawn through the graphics device's sprite batch:
// placed so that its centre point lands on its position, scaled and rotated about it.
// Held by value by the screens; the texture belongs to the texture manager.
#pragma once

#include "engine/gui/Drawable2D.h"

class Texture;

class Sprite : public Drawable2D {
 public:
  // False for null (nothing changes); otherwise takes the texture's level-0 size.
  bool SetTexture(Texture* newTexture);
  // False for the all-zero rectangle (nothing changes).
  bool SetSourceRect(const ScreenRect& rect);
  void SetPosition(float x, float y, float z);

  // Nothing when hidden; otherwise sets the batch transform scale × rotation ×
  // translation and queues the cut-out with the packed colour.
  void Draw() override;

  Texture* texture = nullptr;  // not owned: the texture manager owns it
};

// The animated models before they are written: mesh (bound to bones), skeleton and
// clips. Built by design and player slot for the figures, by slot (or -1, neutral) for
// the markers.
#pragma once

#include <vector>

#include "kit3d/Mesh.h"
#include "kit3d/Skeleton.h"

namespace figures {

// A figure's ground speed at animation speed 1, in its own units per second: the game
// moves it 60 world units a second and scales the figure node by 1.7.
constexpr float kRunSpeed = 60.0f / 1.7f;

struct Figure {
  kit3d::Mesh mesh;
  kit3d::Skeleton skeleton;
  std::vector<kit3d::Clip> clips;
};

Figure BuildFigure(int design, int player);
Figure BuildMarker(int player);

}  // namespace figures

// The terrain outline file: the field's border and every obstacle of outline/Layout.h as
// closed outlines, each standing one player radius outside what is drawn, because the
// collision sweeps only a figure's centre.
#include <cmath>
#include <vector>

#include "Families.h"
#include "kit3d/XWriter.h"
#include "outline/Layout.h"

using kit3d::V3;

namespace {

// A closed polygon round a circle of radius r: its sides touch the circle, so nothing
// inside r is ever reached.
std::vector<V3> Circle(float cx, float cy, float r, int sides) {
  std::vector<V3> o;
  const float R = r / std::cos(kit3d::kPi / sides);
  for (int i = 0; i <= sides; ++i) {
    const float a = 2 * kit3d::kPi * (i % sides) / sides;
    o.push_back({cx + R * std::cos(a), cy + R * std::sin(a), 0});
  }
  return o;
}

std::vector<V3> Rectangle(float x0, float y0, float x1, float y1) {
  return {{x0, y0, 0}, {x1, y0, 0}, {x1, y1, 0}, {x0, y1, 0}, {x0, y0, 0}};
}

}  // namespace

std::vector<std::vector<V3>> FieldOutlines() {
  using namespace layout;
  const float r = kPlayerRadius;
  std::vector<std::vector<V3>> outlines;
  outlines.push_back(Rectangle(kFieldMinX + r, kFieldMinY + r, kFieldMaxX - r, kFieldMaxY - r));
  for (const Obstacle& o : kObstacles) {
    if (o.kind == Kind::kFence)
      outlines.push_back(Rectangle(o.x - o.radius - r, o.y - kFenceHalfDepth - r, o.x + o.radius + r,
                                   o.y + kFenceHalfDepth + r));
    else
      outlines.push_back(Circle(o.x, o.y, o.radius + r, 12));
  }
  return outlines;
}

bool WriteOutline(const std::string& dataDir) {
  return kit3d::WriteOutlines(dataDir + "/Terreno_0.cln", FieldOutlines());
}

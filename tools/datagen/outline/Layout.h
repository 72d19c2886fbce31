// Where the field's obstacles stand: shared by the three terrain models (which draw
// them) and the outline file (which makes players collide with them), so what is seen
// and what blocks always agree. World units, z up; the field is flat at z = 0.
#pragma once

namespace layout {

// The visible edge of the flat field; snow banks and scenery lie outside it.
constexpr float kFieldMinX = -980, kFieldMaxX = 980, kFieldMinY = -920, kFieldMaxY = 1080;
// The collision sweeps only a figure's centre: outlines stand this far outside what is
// drawn (and the border this far inside the field's edge).
constexpr float kPlayerRadius = 40;

enum class Kind { kWell, kFir, kRocks, kFence };

struct Obstacle {
  Kind kind;
  float x, y;
  float radius;   // visible radius around (x, y); for the fence, its half-length along x
  float height;   // for firs: the tree's height
};

constexpr Obstacle kObstacles[] = {
    {Kind::kWell, -850, -200, 48, 0},
    {Kind::kFir, 820, -620, 62, 170},
    {Kind::kFir, -830, 420, 62, 170},
    {Kind::kRocks, 835, 300, 48, 0},
    {Kind::kFence, 0, -800, 380, 0},
};
// Half the fence's thickness as drawn (posts and rails).
constexpr float kFenceHalfDepth = 6;

// Where players and items appear, and where the bases stand.
constexpr float kSpawnMinX = -700, kSpawnMaxX = 700, kSpawnMinY = -700, kSpawnMaxY = 600;
constexpr float kBaseY = 800;
constexpr float kBaseX[] = {-650, -200, 0, 200, 650};

}  // namespace layout

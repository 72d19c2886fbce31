// The three terrains: one field with the same obstacles in the same places (see
// outline/Layout.h), dressed three ways: a village square, a forest clearing and a
// frozen lake. Each covers all the ground the match camera sees, with banks of snow
// around the field and taller scenery towards the back.
#include <cairo.h>

#include <algorithm>
#include <array>
#include <cstdint>
#include <cmath>

#include "kit3d/Texture.h"
#include "kit3d/XWriter.h"
#include "models/Models.h"
#include "models/Props.h"
#include "outline/Layout.h"

using namespace kit3d;
using props::Colour;
using props::Glow;
using props::Plain;
using props::Textured;

namespace {

// The ground the camera sees reaches y = -1050 at the bottom edge (x ±1000) and
// y = 2550 at the top (x ±2400); the grid reaches a little further.
constexpr float kGroundMinX = -2640, kGroundMaxX = 2640, kGroundMinY = -1280, kGroundMaxY = 2800;

float Smooth(float e0, float e1, float x) {
  const float t = std::clamp((x - e0) / (e1 - e0), 0.0f, 1.0f);
  return t * t * (3 - 2 * t);
}

// How far a point lies outside the field (0 inside).
float OutsideField(float x, float y) {
  const float dx = std::max({layout::kFieldMinX - x, 0.0f, x - layout::kFieldMaxX});
  const float dy = std::max({layout::kFieldMinY - y, 0.0f, y - layout::kFieldMaxY});
  return std::sqrt(dx * dx + dy * dy);
}

// Half the width of the visible ground at depth y.
float VisibleHalfWidth(float y) { return 1000 + (y + 1050) * 0.389f; }

float SnowHeight(float x, float y, int seed) {
  const float d = OutsideField(x, y);
  if (d <= 0) return -3;  // under the field's own surface
  const float bank = 42 * Smooth(0, 110, d) * (0.8f + 0.4f * Noise(x / 260, y / 260, seed));
  const float hills = 90 * Smooth(150, 700, d) * Noise(x / 700, y / 700, seed + 1);
  return bank + hills;
}

Rgba SnowColour(float x, float y, float z, int seed) {
  const float n = Noise(x / 180, y / 180, seed + 2);
  const Rgba low{0.30f, 0.32f, 0.42f, 1}, high{0.44f, 0.44f, 0.52f, 1};
  return Mix(low, high, std::clamp(0.35f * n + z / 120, 0.0f, 1.0f));
}

// The snow around the field, added after everything that stands on it: where a fir or a
// house covers the ground, the ground's pixels then fail the depth test instead of being
// shaded and painted over. Cells wholly under the field (3 units below its surface) could
// never be seen and are left out.
void Ground(Mesh& m, const std::function<float(float, float)>& height,
            const std::function<Rgba(float, float, float)>& colour) {
  Mesh grid;
  grid.Use(Plain(), Rgba{});
  grid.Grid(kGroundMinX, kGroundMinY, kGroundMaxX, kGroundMaxY, 60, 46, height, colour);
  auto underField = [](const Vertex& v) {
    return v.p.x >= layout::kFieldMinX && v.p.x <= layout::kFieldMaxX &&
           v.p.y >= layout::kFieldMinY && v.p.y <= layout::kFieldMaxY;
  };
  Mesh kept;
  std::vector<std::uint32_t> index(grid.vertices.size(), UINT32_MAX);
  for (std::size_t t = 0; t < grid.triangles.size(); ++t) {
    const auto& tri = grid.triangles[t];
    if (underField(grid.vertices[tri[0]]) && underField(grid.vertices[tri[1]]) &&
        underField(grid.vertices[tri[2]]))
      continue;
    std::array<std::uint32_t, 3> out;
    for (int k = 0; k < 3; ++k) {
      if (index[tri[k]] == UINT32_MAX) {
        index[tri[k]] = static_cast<std::uint32_t>(kept.vertices.size());
        kept.vertices.push_back(grid.vertices[tri[k]]);
      }
      out[k] = index[tri[k]];
    }
    kept.triangles.push_back(out);
    kept.triangleMaterial.push_back(kept.AddMaterial(grid.materials[grid.triangleMaterial[t]]));
  }
  m.Append(kept);
}

// The flat field, its texture repeated `tiles` times across.
void Field(Mesh& m, const char* texture, float tiles) {
  m.Use(Textured(texture), Rgba{1, 1, 1, 1});
  const std::size_t first = m.vertices.size();
  m.Grid(layout::kFieldMinX, layout::kFieldMinY, layout::kFieldMaxX, layout::kFieldMaxY, 14, 14,
         [](float, float) { return 0.0f; }, [](float, float, float) { return Rgba{1, 1, 1, 1}; });
  for (std::size_t i = first; i < m.vertices.size(); ++i) {
    m.vertices[i].u *= tiles;
    m.vertices[i].v *= tiles;
  }
}

void Obstacles(Mesh& m) {
  int seed = 40;
  for (const layout::Obstacle& o : layout::kObstacles) {
    const V3 p{o.x, o.y, 0};
    switch (o.kind) {
      case layout::Kind::kWell: props::Well(m, p, o.radius); break;
      case layout::Kind::kFir: props::FirTree(m, p, o.height, seed++); break;
      case layout::Kind::kRocks: props::Rocks(m, p, o.radius, seed++); break;
      case layout::Kind::kFence: props::Fence(m, o.x - o.radius, o.x + o.radius, o.y); break;
    }
  }
}

// A fir spot outside the field and its banks, inside what the camera sees.
bool FreeForScenery(float x, float y, float margin) {
  return OutsideField(x, y) > margin && std::fabs(x) < VisibleHalfWidth(y) + 150 && y > -1150;
}

// Firs scattered on a jittered grid where `keep` allows, taller towards the back.
void Forest(Mesh& m, float spacing, int seed, const std::function<bool(float, float)>& keep) {
  int n = 0;
  for (float y = -1150; y < 2750; y += spacing)
    for (float x = kGroundMinX; x < kGroundMaxX; x += spacing) {
      const float jx = x + (Hash(int(x), int(y), seed) - 0.5f) * spacing * 0.8f;
      const float jy = y + (Hash(int(y), int(x), seed) - 0.5f) * spacing * 0.8f;
      if (!keep(jx, jy)) continue;
      const float h = 200 + std::clamp(jy + 1000, 0.0f, 3600.0f) * 0.09f + Hash(int(x), int(y), seed + 1) * 80;
      props::FirTree(m, {jx, jy, SnowHeight(jx, jy, seed) - 4}, h, seed + n++);
    }
}

bool WriteFieldTextures(const std::string& dir) {
  bool ok = true;
  // Cobbles dusted with snow.
  ok &= WritePng(dir + "Plaza.png", 256, false, [](cairo_t* cr) {
    cairo_set_source_rgb(cr, 0.46, 0.53, 0.68);
    cairo_paint(cr);
    for (int j = 0; j < 16; ++j)
      for (int i = 0; i < 16; ++i) {
        const double x = i * 16 + (j % 2) * 8 + 2, y = j * 16 + 2;
        const float n = Hash(i, j, 5);
        cairo_set_source_rgb(cr, 0.28 + 0.08 * n, 0.29 + 0.08 * n, 0.36 + 0.08 * n);
        cairo_new_sub_path(cr);
        cairo_arc(cr, x + 6, y + 6, 6.2, 0, 2 * kPi);
        cairo_fill(cr);
        if (Hash(i, j, 9) > 0.7f) {
          cairo_set_source_rgba(cr, 0.50, 0.57, 0.72, 0.85);
          cairo_arc(cr, x + 6, y + 6, 6.4, 0, 2 * kPi);
          cairo_fill(cr);
        }
      }
  });
  // Trodden snow of a clearing, with pine needles and blue hollows.
  ok &= WritePng(dir + "Claro.png", 256, false, [](cairo_t* cr) {
    for (int y = 0; y < 256; y += 4)
      for (int x = 0; x < 256; x += 4) {
        const float n = TileNoise(x / 32.0f, y / 32.0f, 3, 8) * 0.7f + Hash(x, y, 4) * 0.3f;
        cairo_set_source_rgb(cr, 0.40 + 0.1 * n, 0.47 + 0.1 * n, 0.62 + 0.08 * n);
        cairo_rectangle(cr, x, y, 4, 4);
        cairo_fill(cr);
      }
    cairo_set_source_rgb(cr, 0.25, 0.35, 0.22);
    cairo_set_line_width(cr, 1);
    for (int k = 0; k < 60; ++k) {
      const double x = Hash(k, 1, 8) * 256, y = Hash(k, 2, 8) * 256, a = Hash(k, 3, 8) * kPi;
      cairo_move_to(cr, x, y);
      cairo_line_to(cr, x + 6 * std::cos(a), y + 6 * std::sin(a));
      cairo_stroke(cr);
    }
  });
  // Shore snow with patches of wind-polished ice.
  ok &= WritePng(dir + "Orilla.png", 256, false, [](cairo_t* cr) {
    for (int y = 0; y < 256; y += 4)
      for (int x = 0; x < 256; x += 4) {
        const float n = TileNoise(x / 51.2f, y / 51.2f, 6, 5);
        const float ice = Smooth(0.62f, 0.7f, n);
        cairo_set_source_rgb(cr, 0.48 - 0.14 * ice, 0.55 - 0.02 * ice, 0.70 + 0.06 * ice);
        cairo_rectangle(cr, x, y, 4, 4);
        cairo_fill(cr);
      }
  });
  // Lake ice: pale blue with white cracks.
  ok &= WritePng(dir + "Hielo.png", 256, false, [](cairo_t* cr) {
    cairo_set_source_rgb(cr, 0.55, 0.72, 0.82);
    cairo_paint(cr);
    cairo_set_source_rgba(cr, 0.95, 0.98, 1, 0.7);
    cairo_set_line_width(cr, 1.2);
    for (int k = 0; k < 14; ++k) {
      double x = Hash(k, 5, 2) * 256, y = Hash(k, 6, 2) * 256;
      cairo_move_to(cr, x, y);
      for (int s = 0; s < 6; ++s) {
        x += (Hash(k, s, 3) - 0.5) * 50;
        y += (Hash(k, s, 4) - 0.5) * 50;
        cairo_line_to(cr, x, y);
      }
      cairo_stroke(cr);
    }
  });
  return ok;
}

Mesh Village() {
  const int seed = 100;
  Mesh m;
  m.pixelsPerUnit = look::kFieldPixelsPerUnit;
  Field(m, "Plaza.png", 5);
  Obstacles(m);
  // The square's own tree, decorated, at the back.
  props::FirTree(m, {0, 1500, SnowHeight(0, 1500, seed)}, 520, 7, true);
  m.Use(Glow(look::kWarmLight, 1.0f), Colour(look::kWarmLight));
  for (int i = 0; i < 26; ++i) {
    const float t = i / 26.0f, a = i * 2.4f, r = 170 * (1 - t) + 20;
    m.Sphere(9, 6, 4, Translate({r * std::cos(a), 1500 - r * 0.8f * std::abs(std::sin(a)) - 30, 90 + 380 * t}));
  }
  m.Use(Glow(look::kGold, 0.8f), Colour(look::kGold));
  m.Star(46, 20, 12, 5, Translate({0, 1500, 560}));
  // Houses round the back and the sides, all facing the square.
  const look::Rgb walls[5] = {{150, 58, 48}, {70, 96, 140}, {196, 150, 80}, {60, 110, 80}, {214, 200, 170}};
  int w = 0;
  for (float x : {-1950.0f, -1380.0f, -820.0f, 820.0f, 1380.0f, 1950.0f})
    props::House(m, {x, 1420 + 60 * Hash(int(x), 1, 3), SnowHeight(x, 1420, seed)}, 360, 240, 190, walls[w % 5], w), ++w;
  for (float x : {-2250.0f, -1600.0f, -950.0f, -320.0f, 320.0f, 950.0f, 1600.0f, 2250.0f})
    props::House(m, {x, 2250, SnowHeight(x, 2250, seed)}, 420, 260, 260, walls[w % 5], w), ++w;
  for (float y : {-380.0f, 420.0f})
    for (float s : {-1.0f, 1.0f})
      props::House(m, {s * 1560, y, SnowHeight(s * 1560, y, seed)}, 300, 220, 170, walls[w % 5], w), ++w;
  for (float y : {-700.0f, 0.0f, 700.0f})
    for (float s : {-1.0f, 1.0f}) props::LampPost(m, {s * 1070, y, SnowHeight(s * 1070, y, seed)}, 150);
  for (float x : {-460.0f, 460.0f}) props::LampPost(m, {x, 1180, SnowHeight(x, 1180, seed)}, 150);
  // A few firs between the houses.
  Forest(m, 520, seed, [](float x, float y) {
    return FreeForScenery(x, y, 160) && (std::fabs(x) > 1250 && std::fabs(x) < 2300) &&
           (y < 1200 && std::fabs(y - 20) > 260);
  });
  Ground(m, [](float x, float y) { return SnowHeight(x, y, seed); },
         [](float x, float y, float z) { return SnowColour(x, y, z, seed); });
  return m;
}

Mesh Clearing() {
  const int seed = 200;
  Mesh m;
  m.pixelsPerUnit = look::kFieldPixelsPerUnit;
  Field(m, "Claro.png", 4);
  Obstacles(m);
  Forest(m, 360, seed, [](float x, float y) {
    const bool cabin = std::fabs(x + 1450) < 360 && std::fabs(y - 1550) < 300;
    const bool logs = std::fabs(x - 1350) < 260 && std::fabs(y + 350) < 200;
    return FreeForScenery(x, y, 120) && !cabin && !logs;
  });
  // A cabin with lit windows and a pile of logs.
  props::House(m, {-1450, 1550, SnowHeight(-1450, 1550, seed)}, 380, 260, 200, look::Darker(look::kBark, 0.9f), 3);
  m.Use(Plain(), Mix(Colour(look::kBark), Rgba{1, 1, 1, 1}, 0.2f));
  for (int row = 0; row < 3; ++row)
    for (int k = 0; k < 4 - row; ++k) {
      const float x = 1350 + (k - (3 - row) / 2.0f) * 34, z = 17 + row * 30;
      m.Cylinder(16, 200, 9, Translate({x, -450, SnowHeight(1350, -350, seed) + z}) * RotateX(-kPi / 2));
    }
  Ground(m, [](float x, float y) { return SnowHeight(x, y, seed); },
         [](float x, float y, float z) { return SnowColour(x, y, z, seed); });
  return m;
}

Mesh FrozenLake() {
  const int seed = 300;
  Mesh m;
  m.pixelsPerUnit = look::kFieldPixelsPerUnit;
  // The lake bed dips under the ice at the back.
  auto height = [](float x, float y) {
    const float e = std::sqrt((x / 1500) * (x / 1500) + ((y - 1900) / 560) * ((y - 1900) / 560));
    const float snow = SnowHeight(x, y, seed);
    return e < 1.15f ? snow * Smooth(0.9f, 1.15f, e) - 40 * (1 - Smooth(0.85f, 1.0f, e)) : snow;
  };
  Field(m, "Orilla.png", 3);
  Obstacles(m);
  // See-through ice over the dark water.
  Material ice = Textured("Hielo.png");
  ice.diffuse.a = 0.62f;
  m.Use(ice, Rgba{1, 1, 1, 0.62f});
  m.Lathe({{1, 0}, {0.66f, 0}, {0.33f, 0}, {0, 0}}, 36, Translate({0, 1900, -6}) * Scale({1480, 540, 1}));
  // A jetty, a skating hut and lamps along the shore.
  m.Use(Plain(), Colour(look::kBark));
  m.Box({60, 190, 5}, 2, 1, Translate({-520, 1500, 4}));
  for (float sx : {-55.0f, 55.0f})
    for (float y : {1340.0f, 1500.0f, 1660.0f}) m.Cylinder(6, 40, 6, Translate({-520 + sx, y, -30}));
  props::House(m, {1750, 1250, SnowHeight(1750, 1250, seed)}, 320, 220, 170, {120, 60, 60}, 9);
  for (float x : {-1200.0f, -400.0f, 400.0f, 1200.0f}) props::LampPost(m, {x, 1230, SnowHeight(x, 1230, seed)}, 150);
  Forest(m, 400, seed, [&](float x, float y) {
    const float e = std::sqrt((x / 1500) * (x / 1500) + ((y - 1900) / 560) * ((y - 1900) / 560));
    const bool hut = std::fabs(x - 1750) < 300 && std::fabs(y - 1250) < 260;
    return FreeForScenery(x, y, 140) && e > 1.2f && !hut;
  });
  Ground(m, height, [&](float x, float y, float z) {
    return z < -4 ? Mix(Rgba{0.10f, 0.16f, 0.30f, 1}, Rgba{0.2f, 0.28f, 0.4f, 1}, Noise(x / 200, y / 200, 5))
                  : SnowColour(x, y, z, seed);
  });
  return m;
}

}  // namespace

bool WriteTerrains(const std::string& dir) {
  bool ok = WriteFieldTextures(dir);
  ok &= WriteModel(dir, "Terreno0.X", Village());
  ok &= WriteModel(dir, "Terreno1.X", Clearing());
  ok &= WriteModel(dir, "Terreno2.X", FrozenLake());
  // The lake's subsets get render states of their own.
  ok &= WriteText(dir + "Terreno2.ush", "");
  return ok;
}

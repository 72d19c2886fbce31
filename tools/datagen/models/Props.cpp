#include "models/Props.h"

#include <cmath>

#include "kit3d/Texture.h"

namespace props {

using namespace kit3d;

Rgba Colour(look::Rgb c, float alpha) { return {c.R(), c.G(), c.B(), alpha}; }

Material Plain() { return Material{}; }

Material Glow(look::Rgb c, float strength) {
  Material m;
  m.emissive = {c.R() * strength, c.G() * strength, c.B() * strength};
  return m;
}

Material Textured(const char* file) {
  Material m;
  m.texture = file;
  return m;
}

void FirTree(Mesh& m, V3 p, float h, int seed, bool snowy) {
  const int seg = 10;
  const float turn = Hash(seed, 1, 7) * kPi;
  const Rgba green = Mix(Colour(look::kFirGreen), Colour(look::kHollyGreen), 0.3f * Hash(seed, 2, 7));
  // From the top down, and the trunk last: seen from above, each tier hides part of the
  // one below it, whose hidden pixels then fail the depth test rather than being shaded
  // twice.
  for (int i = 3; i >= 0; --i) {
    const float r = FirRadius(h) * (1 - i * 0.21f), z0 = 0.12f * h + i * 0.19f * h;
    const float hc = 0.36f * h - i * 0.03f * h;
    const Xf at = Translate(p) * RotateZ(turn + i * 0.6f);
    if (snowy) {
      m.Use(Plain(), Colour(look::kSnow));
      m.Lathe({{0, z0 + hc * 0.42f}, {r * 0.62f, z0 + hc * 0.42f}, {0, z0 + hc * 1.03f}}, seg, at);
    }
    // Open underneath: no camera looks up under a tier.
    m.Use(Plain(), green);
    m.Lathe({{r, z0}, {r * 0.55f, z0 + hc * 0.45f}, {0, z0 + hc}}, seg, at);
  }
  // Open at both ends, which are in the ground and inside the lowest tier.
  m.Use(Plain(), Colour(look::kBark));
  m.Lathe({{0.05f * h, 0}, {0.05f * h, 0.22f * h}}, 7, Translate(p));
}

void House(Mesh& m, V3 p, float w, float d, float h, look::Rgb wall, int seed) {
  m.Use(Plain(), Colour(wall));
  m.Box({w / 2, d / 2, h / 2}, 3, 1, Translate(p + V3{0, 0, h / 2}));
  // Roof: a snowy gable along x, overhanging the walls.
  const float o = 18, rh = 0.55f * d;
  Xf axes;  // local x → world y, local y → world z, local z → world x
  axes.m[0][0] = 0; axes.m[0][2] = 1;
  axes.m[1][0] = 1; axes.m[1][1] = 0;
  axes.m[2][1] = 1; axes.m[2][2] = 0;
  m.Colour(Colour(look::kSnow));
  m.Prism({{-d / 2 - o, 0}, {d / 2 + o, 0}, {0, rh}}, w + 2 * o,
          Translate(p + V3{-w / 2 - o, 0, h}) * axes);
  m.Colour(Colour(look::Darker(look::kBark, 0.8f)));
  m.Prism({{-d / 2 - o, -6}, {d / 2 + o, -6}, {d / 2 + o, 0}, {-d / 2 - o, 0}}, w + 2 * o,
          Translate(p + V3{-w / 2 - o, 0, h}) * axes);
  // Chimney.
  m.Colour(Colour(look::Darker(look::kHollyRed, 0.7f)));
  m.Box({14, 14, 40}, 0, 0, Translate(p + V3{w * 0.25f, d * 0.15f, h + rh * 0.6f + 20}));
  // Door and lit windows on the front (-y) wall.
  const float y = p.y - d / 2 - 0.8f;
  m.Use(Plain(), Colour(look::Darker(look::kBark, 0.7f)));
  const float dx = p.x + (Hash(seed, 3, 5) < 0.5f ? -w * 0.25f : w * 0.25f);
  m.Facet({dx - 22, y, 0}, {dx + 22, y, 0}, {dx + 22, y, 85}, {dx - 22, y, 85});
  m.Use(Glow(look::kWarmLight), Colour(look::kWarmLight));
  const int windows = w > 260 ? 3 : 2;
  for (int i = 0; i < windows; ++i) {
    const float cx = p.x - w / 2 + w * (i + 0.5f) / windows;
    if (std::fabs(cx - dx) < 50) continue;
    m.Facet({cx - 24, y, h * 0.45f}, {cx + 24, y, h * 0.45f}, {cx + 24, y, h * 0.45f + 44},
            {cx - 24, y, h * 0.45f + 44});
  }
  // An upper window in the gable.
  m.Facet({p.x - 18, y, h + 10}, {p.x + 18, y, h + 10}, {p.x + 18, y, h + 40}, {p.x - 18, y, h + 40});
}

void LampPost(Mesh& m, V3 p, float height) {
  m.Use(Plain(), Colour(look::kInk));
  m.Cylinder(12, 10, 8, Translate(p));
  m.Cylinder(4.5f, height, 8, Translate(p));
  m.Cone(14, 14, 8, Translate(p + V3{0, 0, height + 16}));
  m.Use(Glow(look::kWarmLight, 1.0f), Colour(look::kWarmLight));
  m.Sphere(13, 10, 6, Translate(p + V3{0, 0, height + 8}));
}

void Rocks(Mesh& m, V3 p, float radius, int seed) {
  m.Use(Plain(), Rgba{0.42f, 0.44f, 0.5f, 1});
  for (int i = 0; i < 3; ++i) {
    const float a = 2 * kPi * i / 3 + Hash(seed, i, 3);
    const float r = radius * (i == 0 ? 0.6f : 0.42f);
    const V3 c = p + V3{std::cos(a), std::sin(a), 0} * (i == 0 ? 0.0f : radius * 0.5f);
    m.Colour(Mix(Rgba{0.22f, 0.23f, 0.28f, 1}, Rgba{0.34f, 0.34f, 0.38f, 1}, Hash(seed, i, 4)));
    m.Sphere(1, 8, 5, Translate(c) * RotateZ(a) * Scale({r * 1.15f, r, r * 1.0f}));
    m.Colour(Colour(look::kSnow));
    m.Sphere(1, 8, 3, Translate(c + V3{0, 0, r * 0.85f}) * RotateZ(a) * Scale({r * 0.6f, r * 0.5f, r * 0.2f}));
  }
}

void Well(Mesh& m, V3 p, float radius) {
  const float r = radius, in = radius - 9;
  m.Use(Plain(), Rgba{0.5f, 0.5f, 0.55f, 1});
  m.Lathe({{in, 8}, {r, 0}, {r, 42}, {r - 4, 48}, {in + 2, 48}, {in, 42}, {in, 8}}, 16, Translate(p));
  m.Colour(Rgba{0.05f, 0.08f, 0.16f, 1});
  m.Cylinder(in, 9, 16, Translate(p));
  m.Colour(Colour(look::kSnow));
  m.Torus(r - 4.5f, 5, 16, 5, Translate(p + V3{0, 0, 49}));
  // Posts, crossbeam, roof and bucket.
  m.Colour(Colour(look::kBark));
  for (float sx : {-1.0f, 1.0f}) m.Box({4, 4, 55}, 1, 1, Translate(p + V3{sx * (r - 2), 0, 55}));
  m.Cylinder(3, 2 * r, 6, Translate(p + V3{-r, 0, 92}) * RotateY(kPi / 2));
  Xf axes;
  axes.m[0][0] = 0; axes.m[0][2] = 1;
  axes.m[1][0] = 1; axes.m[1][1] = 0;
  axes.m[2][1] = 1; axes.m[2][2] = 0;
  m.Colour(Colour(look::Darker(look::kHollyRed, 0.8f)));
  m.Prism({{-r * 0.8f, 0}, {r * 0.8f, 0}, {0, 30}}, 2 * r + 16, Translate(p + V3{-r - 8, 0, 108}) * axes);
  m.Colour(Colour(look::kSnow));
  m.Prism({{-r * 0.55f, 10}, {r * 0.55f, 10}, {0, 32}}, 2 * r + 18, Translate(p + V3{-r - 9, 0, 108}) * axes);
  m.Colour(Rgba{0.55f, 0.4f, 0.28f, 1});
  m.Lathe({{0, 0}, {8, 0}, {10, 14}, {0, 14}}, 8, Translate(p + V3{0, 0, 66}));
}

void Fence(Mesh& m, float x0, float x1, float y) {
  const int posts = static_cast<int>(std::round((x1 - x0) / 76));
  for (int i = 0; i <= posts; ++i) {
    const float x = x0 + (x1 - x0) * i / posts;
    m.Use(Plain(), Colour(look::kBark));
    m.Box({5, 5, 26}, 1.5f, 1, Translate({x, y, 26}));
    m.Colour(Colour(look::kSnow));
    m.Box({6, 6, 3}, 2, 1, Translate({x, y, 54}));
  }
  m.Use(Plain(), Mix(Colour(look::kBark), Rgba{1, 1, 1, 1}, 0.15f));
  for (float z : {20.0f, 40.0f}) m.Box({(x1 - x0) / 2, 2.5f, 4}, 1, 1, Translate({(x0 + x1) / 2, y - 4, z}));
  m.Colour(Colour(look::kSnow));
  m.Box({(x1 - x0) / 2, 3, 1.5f}, 1, 1, Translate({(x0 + x1) / 2, y - 4, 45.5f}));
}

void Bauble(Mesh& m, V3 c, float r, Rgba colour, int segments) {
  m.Colour(colour);
  m.Sphere(r, segments, segments / 2 + 1, Translate(c));
  m.Colour(Colour(look::kGold));
  m.Cylinder(r * 0.3f, r * 0.3f, 8, Translate(c + V3{0, 0, r * 0.85f}));
}

}  // namespace props

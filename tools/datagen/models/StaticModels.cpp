// The static models: gifts, ornaments, snowman parts and the snowman's stages, the bag,
// the Christmas tree and (in Terrains.cpp) the three terrains, with their textures and
// companion files. Items stand on z = 0 around their origin and read at the pick-up
// radius of 50 units; bases fit inside the 150-unit diamond that blocks them.
#include <cairo.h>

#include <cctype>
#include <cmath>
#include <cstdio>
#include <string>

#include "Families.h"
#include "kit3d/Texture.h"
#include "kit3d/XWriter.h"
#include "models/Models.h"
#include "models/Props.h"

using namespace kit3d;
using props::Colour;
using props::Glow;
using props::Plain;
using props::Textured;

namespace {

const Rgba kWhite{1, 1, 1, 1};
const Rgba kCoal{0.08f, 0.08f, 0.1f, 1};
const Rgba kCarrot = Rgb8(240, 120, 30);

// --- Textures --------------------------------------------------------------------

void Fill(cairo_t* cr, look::Rgb c) {
  cairo_set_source_rgb(cr, c.R(), c.G(), c.B());
  cairo_paint(cr);
}

void Source(cairo_t* cr, look::Rgb c, double a = 1) { cairo_set_source_rgba(cr, c.R(), c.G(), c.B(), a); }

bool WriteTextures(const std::string& dir) {
  bool ok = true;
  // Red paper with gold diagonal stripes and white dots.
  ok &= WritePng(dir + "PapelRegalo0.png", 128, false, [](cairo_t* cr) {
    Fill(cr, look::kHollyRed);
    Source(cr, look::kGold);
    cairo_set_line_width(cr, 9);
    for (int i = -4; i < 8; ++i) {
      cairo_move_to(cr, i * 32, 0);
      cairo_line_to(cr, i * 32 + 128, 128);
    }
    cairo_stroke(cr);
    Source(cr, look::kPaper);
    for (int i = -4; i < 8; ++i)
      for (int j = 0; j < 4; ++j) {
        cairo_arc(cr, i * 32 + 16 + j * 32, j * 32 + 16 - 16, 3.5, 0, 2 * kPi);
        cairo_fill(cr);
      }
  });
  // Green paper with white snowflakes.
  ok &= WritePng(dir + "PapelRegalo1.png", 128, false, [](cairo_t* cr) {
    Fill(cr, look::kHollyGreen);
    Source(cr, look::kPaper);
    cairo_set_line_width(cr, 2.2);
    cairo_set_line_cap(cr, CAIRO_LINE_CAP_ROUND);
    for (int k = 0; k < 8; ++k) {
      const double cx = 16 + (k % 4) * 32 + (k / 4) * 16, cy = 24 + (k / 4) * 64;
      for (int a = 0; a < 3; ++a) {
        const double t = a * kPi / 3;
        cairo_move_to(cr, cx - 9 * std::cos(t), cy - 9 * std::sin(t));
        cairo_line_to(cr, cx + 9 * std::cos(t), cy + 9 * std::sin(t));
      }
      cairo_stroke(cr);
    }
  });
  // Lacquered red of the shiny bauble; the reflection is laid over it.
  ok &= WritePng(dir + "Bola.png", 64, false, [](cairo_t* cr) {
    Fill(cr, look::kHollyRed);
    Source(cr, look::kGold);
    cairo_rectangle(cr, 0, 28, 64, 8);
    cairo_fill(cr);
  });
  // A sphere map of the night: dark blue, a warm window glow and a bright highlight.
  ok &= WritePng(dir + "Reflejo.png", 128, false, [](cairo_t* cr) {
    cairo_pattern_t* g = cairo_pattern_create_radial(44, 40, 4, 64, 64, 64);
    cairo_pattern_add_color_stop_rgb(g, 0, 1, 1, 1);
    cairo_pattern_add_color_stop_rgb(g, 0.18, 0.85, 0.9, 1);
    cairo_pattern_add_color_stop_rgb(g, 0.55, 0.55, 0.62, 0.8);
    cairo_pattern_add_color_stop_rgb(g, 1, 0.3, 0.34, 0.5);
    cairo_set_source(cr, g);
    cairo_paint(cr);
    cairo_pattern_destroy(g);
    Source(cr, look::kWarmLight, 0.8);
    cairo_rectangle(cr, 86, 76, 14, 10);
    cairo_fill(cr);
  });
  // Knitted wool in stripes for the scarf.
  ok &= WritePng(dir + "Punto.png", 64, false, [](cairo_t* cr) {
    for (int row = 0; row < 16; ++row) {
      const look::Rgb c = (row / 4) % 2 ? look::kPaper : look::kHollyRed;
      for (int col = 0; col < 8; ++col) {
        const double x = col * 8, y = row * 4;
        Source(cr, look::Darker(c, 0.8f));
        cairo_rectangle(cr, x, y, 8, 4);
        cairo_fill(cr);
        Source(cr, c);
        cairo_move_to(cr, x + 0.5, y);
        cairo_line_to(cr, x + 4, y + 4);
        cairo_line_to(cr, x + 7.5, y);
        cairo_line_to(cr, x + 4, y + 2);
        cairo_close_path(cr);
        cairo_fill(cr);
      }
    }
  });
  // Woven sack cloth.
  ok &= WritePng(dir + "Saco.png", 64, false, [](cairo_t* cr) {
    for (int y = 0; y < 64; y += 2)
      for (int x = 0; x < 64; x += 2) {
        const float n = 0.85f + 0.15f * Hash(x, y, 11) + (((x + y) / 2) % 2 ? 0.06f : 0);
        cairo_set_source_rgb(cr, 0.78 * n, 0.16 * n, 0.14 * n);
        cairo_rectangle(cr, x, y, 2, 2);
        cairo_fill(cr);
      }
  });
  // Bark: dark vertical grooves.
  ok &= WritePng(dir + "Corteza.png", 64, false, [](cairo_t* cr) {
    Fill(cr, look::kBark);
    for (int x = 0; x < 64; ++x) {
      const float n = Noise(x * 0.35f, 0.5f, 21);
      if (n < 0.35f) {
        cairo_set_source_rgba(cr, 0.1, 0.06, 0.03, 0.6);
        cairo_rectangle(cr, x, 0, 1, 64);
        cairo_fill(cr);
      }
    }
  });
  // The shiny bauble's reflection, as its companion file names it.
  ok &= WriteText(dir + "Bola.png.rfx", "Reflejo.png\n");
  return ok;
}

// --- Items -----------------------------------------------------------------------

void Bow(Mesh& m, V3 top, Rgba colour) {
  m.Use(Plain(), colour);
  for (float s : {-1.0f, 1.0f})
    m.Torus(9, 2.8f, 14, 6, Translate(top + V3{s * 9, 0, 6}) * RotateY(s * 0.5f) * RotateX(kPi / 2));
  m.Sphere(5, 10, 6, Translate(top + V3{0, 0, 3}));
  for (float s : {-1.0f, 1.0f})
    m.Box({3, 2, 9}, 1, 1, Translate(top + V3{s * 7, -2, -4}) * RotateY(s * 0.6f));
}

Mesh Gift(V3 half, const char* paper, look::Rgb ribbon) {
  Mesh m;
  m.pixelsPerUnit = look::kFieldPixelsPerUnit;
  m.Use(Textured(paper), kWhite);
  m.Box(half, 3, 2, Translate({0, 0, half.z}));
  m.Use(Plain(), Colour(ribbon));
  m.Box({half.x + 0.6f, 5, half.z + 0.6f}, 2, 1, Translate({0, 0, half.z}));
  m.Box({5, half.y + 0.6f, half.z + 0.6f}, 2, 1, Translate({0, 0, half.z}));
  Bow(m, {0, 0, 2 * half.z + 0.6f}, Colour(ribbon));
  return m;
}

Mesh ShinyBauble() {
  Mesh m;
  m.pixelsPerUnit = look::kFieldPixelsPerUnit;
  m.Use(Textured("Bola.png"), kWhite);
  m.Sphere(30, 20, 12, Translate({0, 0, 31}));
  m.Use(Plain(), Colour(look::kGold));
  m.Cylinder(8, 9, 12, Translate({0, 0, 58}));
  m.Torus(5, 1.6f, 12, 5, Translate({0, 0, 71}) * RotateX(kPi / 2));
  return m;
}

Mesh StarOrnament() {
  Mesh m;
  m.pixelsPerUnit = look::kFieldPixelsPerUnit;
  m.Use(Glow(look::kGold, 0.35f), Colour(look::kGold));
  m.Star(37, 16, 10, 5, Translate({0, 0, 30}));
  return m;
}

Mesh Bell() {
  Mesh m;
  m.pixelsPerUnit = look::kFieldPixelsPerUnit;
  m.Use(Glow(look::kGold, 0.15f), Colour(look::kGold));
  m.Lathe({{0, 30}, {14, 22}, {22, 12}, {28, 7}, {32, 6}, {30, 11}, {22, 22}, {17, 36}, {15, 48},
           {11, 56}, {0, 58}},
          18, Translate({0, 0, 2}));
  m.Use(Plain(), Mix(Colour(look::kGold), Rgba{0.3f, 0.2f, 0.05f, 1}, 0.4f));
  m.Sphere(6, 10, 6, Translate({0, 0, 6}));
  Bow(m, {0, 0, 58}, Colour(look::kHollyRed));
  m.Colour(Colour(look::kHollyGreen));
  for (float s : {-1.0f, 1.0f})
    m.Sphere(1, 8, 4, Translate({s * 12, 6, 58}) * RotateZ(s * 0.4f) * Scale({11, 5, 2}));
  return m;
}

Mesh CandyCane() {
  Mesh m;
  m.pixelsPerUnit = look::kFieldPixelsPerUnit;
  m.Use(Plain(), kWhite);
  std::vector<V3> path;
  for (int i = 0; i <= 7; ++i) path.push_back({0, 0, 8 + 9.0f * i});
  for (int i = 1; i <= 8; ++i) {
    const float t = kPi - kPi * i / 8;
    path.push_back({15 + 15 * std::cos(t), 0, 71 + 15 * std::sin(t)});
  }
  path.push_back({30, 0, 60});
  for (std::size_t i = 0; i + 1 < path.size(); ++i) {
    m.Colour(i % 2 ? kWhite : Colour(look::kHollyRed));
    m.Tube(path[i], path[i + 1], 7, 7, 10);
  }
  return m;
}

// --- Snowman ---------------------------------------------------------------------

const Rgba kSnowBall = Rgb8(236, 242, 250);

void Face(Mesh& m, V3 head, float r) {
  // The face looks along -y (towards the field when built, towards the camera).
  m.Use(Plain(), kCoal);
  for (float s : {-1.0f, 1.0f})
    m.Sphere(r * 0.11f, 8, 5, Translate(head + V3{s * r * 0.33f, -r * 0.88f, r * 0.28f}));
  for (int i = -2; i <= 2; ++i) {
    const float a = i * 0.32f;
    m.Sphere(r * 0.07f, 6, 4,
             Translate(head + V3{r * 0.5f * std::sin(a), -r * 0.92f * std::cos(a * 0.7f),
                                 -r * 0.3f - r * 0.12f * std::cos(a)}));
  }
}

void Buttons(Mesh& m, V3 centre, float r) {
  m.Use(Plain(), kCoal);
  for (int i = -1; i <= 1; ++i)
    m.Sphere(r * 0.1f, 8, 5, Translate(centre + V3{0, -r * 0.97f * std::cos(i * 0.4f), r * 0.38f * i}));
}

void Hat(Mesh& m, V3 base, float s) {
  m.Use(Plain(), kCoal);
  m.Cylinder(28 * s, 3 * s, 16, Translate(base));
  m.Cylinder(18 * s, 32 * s, 16, Translate(base + V3{0, 0, 2 * s}));
  m.Colour(Colour(look::kHollyRed));
  m.Cylinder(18.6f * s, 7 * s, 16, Translate(base + V3{0, 0, 5 * s}));
  m.Use(Plain(), Colour(look::kHollyGreen));
  m.Sphere(1, 8, 4, Translate(base + V3{-10 * s, -15 * s, 10 * s}) * Scale({6 * s, 2 * s, 4 * s}));
  m.Colour(Colour(look::kHollyRed));
  m.Sphere(2.8f * s, 8, 4, Translate(base + V3{-5 * s, -17 * s, 10 * s}));
}

void Scarf(Mesh& m, V3 centre, float s, bool hanging) {
  m.Use(Textured("Punto.png"), kWhite);
  m.Torus(20 * s, 6.5f * s, 20, 8, Translate(centre));
  // Two tails: hanging down the chest when worn, lying out when dropped.
  if (hanging) {
    m.Box({5 * s, 2.5f * s, 22 * s}, 2 * s, 1, Translate(centre + V3{9 * s, -22 * s, -18 * s}) * RotateY(-0.15f));
    m.Box({5 * s, 2.5f * s, 18 * s}, 2 * s, 1, Translate(centre + V3{17 * s, -18 * s, -14 * s}) * RotateY(-0.35f));
  } else {
    m.Box({16 * s, 5 * s, 2.5f * s}, 2 * s, 1, Translate(centre + V3{32 * s, -6 * s, -3 * s}) * RotateZ(-0.2f));
    m.Box({13 * s, 5 * s, 2.5f * s}, 2 * s, 1, Translate(centre + V3{29 * s, 11 * s, -3 * s}) * RotateZ(0.3f));
  }
}

void Carrot(Mesh& m, V3 base, V3 dir, float s) {
  m.Use(Plain(), kCarrot);
  m.Lathe({{0, 0}, {9 * s, 0}, {8 * s, 14 * s}, {4 * s, 38 * s}, {0, 50 * s}}, 12, Translate(base) * AlignZ(dir));
  m.Colour(Colour(look::kHollyGreen));
  for (int i = 0; i < 3; ++i)
    m.Cone(2.5f * s, 12 * s, 6,
           Translate(base) * AlignZ(-dir) * RotateZ(i * 2.1f) * RotateX(0.45f));
}

void Broom(Mesh& m, V3 top, V3 bottom, float s) {
  m.Use(Plain(), Colour(look::kBark));
  const V3 dir = Normalise(bottom - top);
  m.Tube(top, bottom - dir * (30 * s), 3.6f * s, 3.6f * s, 8);
  m.Colour(Rgb8(214, 170, 80));
  m.Lathe({{0, 0}, {6 * s, 0}, {16 * s, 26 * s}, {15 * s, 32 * s}, {0, 33 * s}}, 14,
          Translate(bottom) * AlignZ(-dir));
  m.Colour(Colour(look::kHollyRed));
  m.Torus(6.4f * s, 1.6f * s, 12, 4, Translate(bottom - dir * (28 * s)) * AlignZ(dir));
}

Mesh SnowmanPart(int k) {
  Mesh m;
  m.pixelsPerUnit = look::kFieldPixelsPerUnit;
  switch (k) {
    case 0:
      m.Use(Plain(), kSnowBall);
      m.Sphere(38, 20, 12, Translate({0, 0, 35}) * Scale({1, 1, 0.93f}));
      break;
    case 1:
      m.Use(Plain(), kSnowBall);
      m.Sphere(31, 20, 12, Translate({0, 0, 30}));
      Buttons(m, {0, 0, 30}, 31);
      break;
    case 2:
      m.Use(Plain(), kSnowBall);
      m.Sphere(26, 18, 10, Translate({0, 0, 26}));
      Face(m, {0, 0, 26}, 26);
      break;
    case 3:
      Hat(m, {0, 0, 0}, 1.25f);
      break;
    case 4:
      Scarf(m, {0, 0, 8.5f}, 1.3f, false);
      break;
    case 5:
      Carrot(m, {-28, 0, 10}, {1, 0, 0}, 1.15f);
      break;
    default:
      Broom(m, {-62, 0, 4}, {40, 0, 19}, 1.0f);
      break;
  }
  return m;
}

// The stand and the snowman built on it up to part `parts - 1` (0: the stand alone).
Mesh SnowmanStage(int parts) {
  Mesh m;
  m.pixelsPerUnit = look::kFieldPixelsPerUnit;
  m.Use(Plain(), Rgb8(210, 222, 240));
  m.Lathe({{0, 0}, {84, 0}, {80, 10}, {68, 15}, {0, 16}}, 24, Xf{});
  m.Use(Plain(), Colour(look::kBark));
  m.Box({3, 3, 30}, 1, 1, Translate({-62, -40, 30}));
  m.Box({26, 2.5f, 12}, 2, 1, Translate({-62, -43, 64}) * RotateZ(0.0f));
  m.Use(Glow(look::kGold, 0.3f), Colour(look::kGold));
  m.Star(9, 4, 3, 5, Translate({-62, -47, 64}));
  const V3 bottom{0, 0, 61}, middle{0, 0, 134}, head{0, 0, 192};
  if (parts > 0) {
    m.Use(Plain(), kSnowBall);
    m.Sphere(52, 24, 14, Translate(bottom) * Scale({1, 1, 0.9f}));
  }
  if (parts > 1) {
    m.Use(Plain(), kSnowBall);
    m.Sphere(40, 22, 12, Translate(middle));
    Buttons(m, middle, 40);
  }
  if (parts > 2) {
    m.Use(Plain(), kSnowBall);
    m.Sphere(30, 20, 12, Translate(head));
    Face(m, head, 30);
  }
  if (parts > 3) Hat(m, head + V3{0, 0, 24}, 1.1f);
  if (parts > 4) Scarf(m, middle + V3{0, 0, 30}, 1.25f, true);
  if (parts > 5) Carrot(m, head + V3{0, -27, 0}, {0, -1, -0.1f}, 0.8f);
  if (parts > 6) Broom(m, {54, -10, 175}, {78, -18, 16}, 1.0f);
  return m;
}

// --- Bases -----------------------------------------------------------------------

Mesh Bag() {
  Mesh m;
  m.pixelsPerUnit = look::kFieldPixelsPerUnit;
  m.Use(Textured("Saco.png"), kWhite);
  m.Lathe({{0, 0}, {44, 2}, {58, 26}, {62, 52}, {55, 82}, {36, 104}, {21, 114}}, 24, Xf{});
  m.Lathe({{0, 112}, {21, 114}, {30, 128}, {34, 138}, {24, 140}, {0, 134}}, 24, Xf{});
  m.Use(Plain(), Colour(look::kGold));
  m.Torus(22, 4, 20, 6, Translate({0, 0, 115}));
  m.Box({2, 2, 14}, 1, 1, Translate({10, -22, 104}) * RotateY(0.3f));
  m.Box({2, 2, 14}, 1, 1, Translate({16, -20, 104}) * RotateY(-0.2f));
  // A patch and a gift peeking from the cloth.
  m.Use(Plain(), Colour(look::kGold));
  m.Star(10, 4.5f, 3, 5, Translate({0, -60, 50}) * RotateX(-0.12f));
  Mesh gift = Gift({12, 12, 10}, "PapelRegalo1.png", look::kHollyRed);
  for (Vertex& v : gift.vertices) {
    const Xf at = Translate({-14, 8, 128}) * RotateY(-0.35f) * RotateZ(0.5f);
    v.p = at.Point(v.p);
    v.n = at.Normal(v.n);
  }
  m.Append(gift);
  return m;
}

Mesh ChristmasTree() {
  Mesh m;
  m.pixelsPerUnit = look::kFieldPixelsPerUnit;
  m.Use(Plain(), Colour(look::kHollyRed));
  m.Lathe({{0, 0}, {26, 0}, {30, 28}, {0, 28}}, 16, Xf{});
  m.Use(Plain(), Colour(look::kGold));
  m.Torus(29, 2, 16, 4, Translate({0, 0, 22}));
  m.Use(Textured("Corteza.png"), kWhite);
  m.Cylinder(9, 30, 10, Translate({0, 0, 26}));
  const float radii[4] = {74, 60, 45, 30};
  const float base[4] = {44, 86, 124, 158};
  const Rgba baubles[4] = {Colour(look::kHollyRed), Colour(look::kGold), Rgb8(60, 120, 220),
                           Rgb8(220, 220, 235)};
  int n = 0;
  for (int i = 0; i < 4; ++i) {
    const float r = radii[i], z0 = base[i], hc = 62 - i * 6;
    m.Use(Plain(), Mix(Colour(look::kFirGreen), Colour(look::kHollyGreen), 0.35f));
    m.Lathe({{0, z0 + 6}, {r, z0}, {r * 0.9f, z0 + 6}, {r * 0.5f, z0 + hc * 0.55f}, {0, z0 + hc}}, 16,
            RotateZ(i * 0.4f));
    m.Use(Plain(), Colour(look::kGold));
    m.Torus(r * 0.72f, 1.8f, 24, 4, Translate({0, 0, z0 + hc * 0.18f}) * RotateX(0.1f * (i % 2 ? 1 : -1)));
    const int count = 5 - i;
    for (int k = 0; k < count; ++k, ++n) {
      const float a = 2 * kPi * k / count + i * 0.9f;
      const V3 c{r * 0.86f * std::cos(a), r * 0.86f * std::sin(a), z0 + 3};
      m.Use(Plain(), baubles[n % 4]);
      props::Bauble(m, c - V3{0, 0, 6}, 6.5f, baubles[n % 4], 10);
      const float b = a + kPi / count;
      m.Use(Glow(look::kWarmLight, 1.0f), Colour(look::kWarmLight));
      m.Sphere(2.6f, 6, 4, Translate({r * 0.62f * std::cos(b), r * 0.62f * std::sin(b), z0 + hc * 0.25f}));
    }
  }
  m.Use(Glow(look::kGold, 0.7f), Colour(look::kGold));
  m.Star(17, 7.5f, 5, 5, Translate({0, 0, 226}));
  // Kept under the markers that hover over the bases.
  for (Vertex& v : m.vertices) {
    v.p.z *= 0.86f;
    v.n = Normalise({v.n.x, v.n.y, v.n.z / 0.86f});
  }
  return m;
}

}  // namespace

bool WriteModel(const std::string& dir, const std::string& file, const Mesh& mesh) {
  std::string name;
  for (char c : file) {
    if (c == '.') break;
    name += (std::isalnum(static_cast<unsigned char>(c)) ? c : '_');
  }
  return WriteText(dir + file, StaticX(mesh, name));
}

bool WriteStaticModels(const std::string& dataDir) {
  const std::string dir = dataDir + "/";
  bool ok = WriteTextures(dir);
  ok &= WriteModel(dir, "Regalo0.X", Gift({27, 27, 21}, "PapelRegalo0.png", look::kGold));
  ok &= WriteModel(dir, "Regalo1.X", Gift({20, 20, 30}, "PapelRegalo1.png", look::kHollyRed));
  ok &= WriteModel(dir, "Ornamenta0.X", ShinyBauble());
  ok &= WriteModel(dir, "Ornamenta1.X", StarOrnament());
  ok &= WriteModel(dir, "Ornamenta2.X", Bell());
  ok &= WriteModel(dir, "Ornamenta3.X", CandyCane());
  for (int k = 0; k < 7; ++k) {
    ok &= WriteModel(dir, "MuñecoEscParte" + std::to_string(k) + ".X", SnowmanPart(k));
    ok &= WriteModel(dir, "MuñecoArmParte" + std::to_string(k) + ".X", SnowmanStage(k + 1));
  }
  ok &= WriteModel(dir, "MuñecoArm.X", SnowmanStage(0));
  ok &= WriteModel(dir, "Bolsa.X", Bag());
  ok &= WriteModel(dir, "ArbolDeNavidad.X", ChristmasTree());
  ok &= WriteTerrains(dir);
  return ok;
}

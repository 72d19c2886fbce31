// The launcher icon, "yulerush.png": a fir tree with a star and a gift under it on a
// night-blue tile with falling snow, drawn at 256 × 256 so desktops can scale it down.
#include <cairo.h>

#include <cmath>
#include <cstdio>

#include "Families.h"
#include "Look.h"

namespace {

void SetColour(cairo_t* cr, look::Rgb c, double alpha = 1.0) {
  cairo_set_source_rgba(cr, c.R(), c.G(), c.B(), alpha);
}

void RoundedSquare(cairo_t* cr, double x, double y, double size, double radius) {
  const double pi = 3.14159265358979;
  cairo_new_sub_path(cr);
  cairo_arc(cr, x + size - radius, y + radius, radius, -pi / 2, 0);
  cairo_arc(cr, x + size - radius, y + size - radius, radius, 0, pi / 2);
  cairo_arc(cr, x + radius, y + size - radius, radius, pi / 2, pi);
  cairo_arc(cr, x + radius, y + radius, radius, pi, 3 * pi / 2);
  cairo_close_path(cr);
}

void Star(cairo_t* cr, double cx, double cy, double outer, double inner) {
  const double pi = 3.14159265358979;
  for (int i = 0; i < 10; ++i) {
    const double r = i % 2 == 0 ? outer : inner;
    const double a = -pi / 2 + i * pi / 5;
    if (i == 0)
      cairo_move_to(cr, cx + r * std::cos(a), cy + r * std::sin(a));
    else
      cairo_line_to(cr, cx + r * std::cos(a), cy + r * std::sin(a));
  }
  cairo_close_path(cr);
}

}  // namespace

bool WriteIcon(const std::string& dataDir) {
  constexpr int kSize = 256;
  cairo_surface_t* surface = cairo_image_surface_create(CAIRO_FORMAT_ARGB32, kSize, kSize);
  cairo_t* cr = cairo_create(surface);

  // The tile: night sky fading to a snowy ground.
  RoundedSquare(cr, 8, 8, 240, 44);
  cairo_pattern_t* sky = cairo_pattern_create_linear(0, 8, 0, 248);
  cairo_pattern_add_color_stop_rgb(sky, 0, look::kNightDeep.R(), look::kNightDeep.G(),
                                   look::kNightDeep.B());
  cairo_pattern_add_color_stop_rgb(sky, 1, look::kNightBlue.R(), look::kNightBlue.G(),
                                   look::kNightBlue.B());
  cairo_set_source(cr, sky);
  cairo_fill_preserve(cr);
  cairo_pattern_destroy(sky);
  cairo_save(cr);
  cairo_clip(cr);
  SetColour(cr, look::kSnow);
  cairo_move_to(cr, 0, 206);
  cairo_curve_to(cr, 70, 188, 180, 196, 256, 184);
  cairo_line_to(cr, 256, 256);
  cairo_line_to(cr, 0, 256);
  cairo_close_path(cr);
  cairo_fill(cr);
  // Snowflakes at fixed places, so the file is the same on every run.
  const double flakes[][3] = {{40, 46, 4},  {214, 58, 5}, {62, 120, 3}, {196, 128, 4},
                              {30, 170, 3}, {226, 168, 3}, {100, 30, 3}, {160, 36, 3}};
  SetColour(cr, look::kSnow, 0.9);
  for (const auto& f : flakes) {
    cairo_arc(cr, f[0], f[1], f[2], 0, 2 * 3.14159265358979);
    cairo_fill(cr);
  }
  cairo_restore(cr);

  // The tree: three tiers and a trunk.
  SetColour(cr, look::kBark);
  cairo_rectangle(cr, 118, 178, 20, 26);
  cairo_fill(cr);
  const double tiers[][3] = {{128, 60, 46}, {128, 96, 62}, {128, 134, 78}};  // tip x, y, half
  for (const auto& t : tiers) {
    cairo_move_to(cr, t[0], t[1]);
    cairo_line_to(cr, t[0] + t[2], t[1] + 52);
    cairo_line_to(cr, t[0] - t[2], t[1] + 52);
    cairo_close_path(cr);
    SetColour(cr, look::kHollyGreen);
    cairo_fill_preserve(cr);
    SetColour(cr, look::kFirGreen);
    cairo_set_line_width(cr, 4);
    cairo_stroke(cr);
  }
  // Baubles in the players' colours.
  const double baubles[][2] = {{110, 104}, {150, 128}, {98, 160}, {162, 172}};
  for (int i = 0; i < 4; ++i) {
    SetColour(cr, look::kPlayer[i]);
    cairo_arc(cr, baubles[i][0], baubles[i][1], 8, 0, 2 * 3.14159265358979);
    cairo_fill(cr);
  }
  Star(cr, 128, 52, 24, 10);
  SetColour(cr, look::kGold);
  cairo_fill_preserve(cr);
  SetColour(cr, look::kWarmLight);
  cairo_set_line_width(cr, 2);
  cairo_stroke(cr);

  // A gift at the foot of the tree.
  SetColour(cr, look::kHollyRed);
  cairo_rectangle(cr, 150, 184, 52, 42);
  cairo_fill(cr);
  SetColour(cr, look::kGold);
  cairo_rectangle(cr, 171, 184, 10, 42);
  cairo_rectangle(cr, 150, 200, 52, 9);
  cairo_fill(cr);

  // A thin frame keeps the tile readable on light and dark panels alike.
  RoundedSquare(cr, 8, 8, 240, 44);
  SetColour(cr, look::kInk);
  cairo_set_line_width(cr, 4);
  cairo_stroke(cr);

  cairo_destroy(cr);
  const std::string path = dataDir + "/yulerush.png";
  const bool ok = cairo_surface_write_to_png(surface, path.c_str()) == CAIRO_STATUS_SUCCESS;
  cairo_surface_destroy(surface);
  if (!ok) std::fprintf(stderr, "datagen: cannot write %s\n", path.c_str());
  return ok;
}

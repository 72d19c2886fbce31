#include "art/Portraits.h"

#include <cmath>

#include "kit2d/Canvas.h"

namespace art {
namespace {

using kit2d::Col;
using kit2d::Colour;

const Colour kInk = Col(look::kInk);
constexpr double kLine = 2.4;

void FillStroke(cairo_t* cr, Colour fill, double line = kLine) {
  kit2d::SetColour(cr, fill);
  cairo_fill_preserve(cr);
  kit2d::SetColour(cr, kInk);
  cairo_set_line_width(cr, line);
  cairo_stroke(cr);
}

// Fills the current path with a soft top-light gradient of `c` and outlines it.
void Shaded(cairo_t* cr, Colour c, double y0, double y1, double line = kLine) {
  kit2d::VerticalGradient(cr, y0, y1, kit2d::Lighter(c, 0.25), kit2d::Darker(c, 0.22));
  cairo_fill_preserve(cr);
  kit2d::SetColour(cr, kInk);
  cairo_set_line_width(cr, line);
  cairo_stroke(cr);
}

void Ellipse(cairo_t* cr, double cx, double cy, double rx, double ry) {
  cairo_save(cr);
  cairo_translate(cr, cx, cy);
  cairo_scale(cr, rx, ry);
  cairo_new_sub_path(cr);
  cairo_arc(cr, 0, 0, 1, 0, 2 * M_PI);
  cairo_restore(cr);
}

void Eyes(cairo_t* cr, double cx, double cy, double gap, double rx, double ry) {
  for (double s : {-1.0, 1.0}) {
    Ellipse(cr, cx + s * gap, cy, rx, ry);
    kit2d::SetColour(cr, kInk);
    cairo_fill(cr);
    Ellipse(cr, cx + s * gap + rx * 0.35, cy - ry * 0.4, rx * 0.38, ry * 0.3);
    cairo_set_source_rgba(cr, 1, 1, 1, 0.95);
    cairo_fill(cr);
  }
}

void Smile(cairo_t* cr, double cx, double cy, double r, double width) {
  cairo_new_path(cr);
  cairo_arc(cr, cx, cy - r * 0.6, r, M_PI * 0.2, M_PI * 0.8);
  kit2d::SetColour(cr, kInk);
  cairo_set_line_width(cr, width);
  cairo_set_line_cap(cr, CAIRO_LINE_CAP_ROUND);
  cairo_stroke(cr);
}

void Cheeks(cairo_t* cr, double cx, double cy, double gap) {
  for (double s : {-1.0, 1.0}) {
    Ellipse(cr, cx + s * gap, cy, 5, 3.2);
    cairo_set_source_rgba(cr, 0.95, 0.35, 0.4, 0.45);
    cairo_fill(cr);
  }
}

// A knitted bobble hat sitting on a head of radius r centred at (cx, cy).
void BobbleHat(cairo_t* cr, Colour c, double cx, double cy, double r) {
  const double brimY = cy - r * 0.45;
  cairo_new_path(cr);
  cairo_move_to(cr, cx - r * 0.98, brimY);
  cairo_curve_to(cr, cx - r * 0.95, cy - r * 1.55, cx + r * 0.95, cy - r * 1.55, cx + r * 0.98, brimY);
  cairo_close_path(cr);
  Shaded(cr, c, cy - r * 1.4, brimY);
  // knitted ribs
  cairo_save(cr);
  kit2d::SetColour(cr, kit2d::Darker(c, 0.3));
  cairo_set_line_width(cr, 1.2);
  for (int i = -3; i <= 3; ++i) {
    cairo_move_to(cr, cx + i * r * 0.22, brimY - 2);
    cairo_line_to(cr, cx + i * r * 0.18, cy - r * 1.2 + std::abs(i) * 3);
  }
  cairo_stroke(cr);
  cairo_restore(cr);
  const double brim = r * 0.48;
  kit2d::RoundedRect(cr, cx - r * 1.04, brimY - brim * 0.45, r * 2.08, brim, brim * 0.45);
  Shaded(cr, Col(look::kSnow), brimY - brim * 0.45, brimY + brim * 0.55);
  cairo_new_path(cr);
  cairo_arc(cr, cx, cy - r * 1.38, r * 0.3, 0, 2 * M_PI);
  Shaded(cr, Col(look::kSnow), cy - r * 1.7, cy - r * 1.1);
}

void Elf(cairo_t* cr, Colour c) {
  const double cx = 57.5, cy = 47, r = 22;
  const Colour skin = Col(look::kFigures[look::kElf].body);
  const Colour green = Col(look::kFigures[look::kElf].accent);
  // legs and shoes
  for (double s : {-1.0, 1.0}) {
    kit2d::RoundedRect(cr, cx + s * 11 - 6, 136, 12, 16, 4);
    Shaded(cr, green, 136, 152);
    cairo_new_path(cr);
    cairo_move_to(cr, cx + s * 11 - 8 * s, 150);
    cairo_curve_to(cr, cx + s * 11, 146, cx + s * 26, 150, cx + s * 30, 144);
    cairo_curve_to(cr, cx + s * 28, 156, cx + s * 16, 158, cx + s * 11 - 8 * s, 157);
    cairo_close_path(cr);
    Shaded(cr, Col(look::kInk), 144, 158, 1.6);
  }
  // arms
  for (double s : {-1.0, 1.0}) {
    cairo_new_path(cr);
    cairo_move_to(cr, cx + s * 20, 80);
    cairo_curve_to(cr, cx + s * 36, 88, cx + s * 40, 104, cx + s * 38, 118);
    cairo_line_to(cr, cx + s * 28, 118);
    cairo_curve_to(cr, cx + s * 28, 104, cx + s * 24, 96, cx + s * 16, 92);
    cairo_close_path(cr);
    Shaded(cr, c, 80, 118);
    cairo_new_path(cr);
    cairo_arc(cr, cx + s * 33, 122, 7, 0, 2 * M_PI);
    Shaded(cr, Col(look::kSnow), 115, 129);
  }
  // tunic with a zigzag hem
  cairo_new_path(cr);
  cairo_move_to(cr, cx - 18, 76);
  cairo_line_to(cr, cx + 18, 76);
  cairo_line_to(cr, cx + 28, 138);
  for (int i = 0; i < 6; ++i) {
    const double x0 = cx + 28 - i * (56.0 / 6);
    cairo_line_to(cr, x0 - 4.7, 144);
    cairo_line_to(cr, x0 - 9.3, 138);
  }
  cairo_close_path(cr);
  Shaded(cr, c, 76, 144);
  // belt and buckle
  cairo_rectangle(cr, cx - 23.5, 112, 47, 8);
  FillStroke(cr, Col(look::kInk), 1.2);
  kit2d::RoundedRect(cr, cx - 6, 110.5, 12, 11, 2);
  cairo_set_source_rgba(cr, 0, 0, 0, 0);
  kit2d::SetColour(cr, Col(look::kGold));
  cairo_set_line_width(cr, 2.6);
  cairo_stroke(cr);
  // scalloped collar
  cairo_new_path(cr);
  cairo_move_to(cr, cx - 22, 74);
  for (int i = 0; i < 5; ++i) cairo_arc_negative(cr, cx - 17.6 + i * 8.8, 78, 4.4, M_PI, 0);
  cairo_line_to(cr, cx + 22, 72);
  cairo_curve_to(cr, cx + 10, 66, cx - 10, 66, cx - 22, 72);
  cairo_close_path(cr);
  FillStroke(cr, Col(look::kSnow), 1.6);
  // ears
  for (double s : {-1.0, 1.0}) {
    cairo_new_path(cr);
    cairo_move_to(cr, cx + s * (r - 3), cy - 6);
    cairo_line_to(cr, cx + s * (r + 17), cy - 16);
    cairo_line_to(cr, cx + s * (r - 1), cy + 8);
    cairo_close_path(cr);
    FillStroke(cr, skin);
  }
  // face
  cairo_new_path(cr);
  cairo_arc(cr, cx, cy, r, 0, 2 * M_PI);
  kit2d::VerticalGradient(cr, cy - r, cy + r, kit2d::Lighter(skin, 0.2), kit2d::Darker(skin, 0.08));
  cairo_fill_preserve(cr);
  kit2d::SetColour(cr, kInk);
  cairo_set_line_width(cr, kLine);
  cairo_stroke(cr);
  Cheeks(cr, cx, cy + 7, 13);
  Eyes(cr, cx, cy + 1, 8, 3.2, 4.2);
  Smile(cr, cx, cy + 9, 7, 2);
  // pointed hat leaning to the right, with a fur brim and a pompom
  cairo_new_path(cr);
  cairo_move_to(cr, cx - r - 1, cy - 9);
  cairo_curve_to(cr, cx - 16, cy - 34, cx + 10, cy - 46, cx + 40, cy - 40);
  cairo_curve_to(cr, cx + 20, cy - 30, cx + 14, cy - 22, cx + r + 1, cy - 9);
  cairo_close_path(cr);
  Shaded(cr, c, cy - 46, cy - 9);
  kit2d::RoundedRect(cr, cx - r - 4, cy - 16, 2 * r + 8, 10, 5);
  Shaded(cr, Col(look::kSnow), cy - 16, cy - 6);
  cairo_new_path(cr);
  cairo_arc(cr, cx + 41, cy - 40, 6.5, 0, 2 * M_PI);
  Shaded(cr, Col(look::kSnow), cy - 47, cy - 33);
}

void Snowman(cairo_t* cr, Colour c) {
  const double cx = 57.5, cy = 46, r = 23;
  const Colour snow = Col(look::kFigures[look::kSnowman].body);
  const Colour coal = Col(look::kFigures[look::kSnowman].accent);
  const Colour carrot = Col(look::kFigures[look::kSnowman].detail);
  const Colour twig = Col(look::kBark);
  // twig arms
  for (double s : {-1.0, 1.0}) {
    cairo_new_path(cr);
    cairo_move_to(cr, cx + s * 26, 104);
    cairo_line_to(cr, cx + s * 52, 84);
    cairo_move_to(cr, cx + s * 44, 90);
    cairo_line_to(cr, cx + s * 46, 79);
    cairo_move_to(cr, cx + s * 47, 88);
    cairo_line_to(cr, cx + s * 55, 92);
    kit2d::SetColour(cr, twig);
    cairo_set_line_width(cr, 3.2);
    cairo_set_line_cap(cr, CAIRO_LINE_CAP_ROUND);
    cairo_stroke(cr);
  }
  // body ball
  cairo_new_path(cr);
  cairo_arc(cr, cx, 118, 37, 0, 2 * M_PI);
  cairo_pattern_t* p = cairo_pattern_create_radial(cx - 12, 102, 4, cx, 118, 40);
  cairo_pattern_add_color_stop_rgb(p, 0, 1, 1, 1);
  cairo_pattern_add_color_stop_rgb(p, 1, 0.72, 0.8, 0.9);
  cairo_set_source(cr, p);
  cairo_pattern_destroy(p);
  cairo_fill_preserve(cr);
  kit2d::SetColour(cr, kInk);
  cairo_set_line_width(cr, kLine);
  cairo_stroke(cr);
  for (int i = 0; i < 3; ++i) {
    cairo_new_path(cr);
    cairo_arc(cr, cx, 100 + i * 15, 3.6, 0, 2 * M_PI);
    kit2d::SetColour(cr, coal);
    cairo_fill(cr);
  }
  // head
  cairo_new_path(cr);
  cairo_arc(cr, cx, cy, r, 0, 2 * M_PI);
  p = cairo_pattern_create_radial(cx - 8, cy - 8, 3, cx, cy, r + 3);
  cairo_pattern_add_color_stop_rgb(p, 0, 1, 1, 1);
  cairo_pattern_add_color_stop_rgb(p, 1, snow.r * 0.78, snow.g * 0.84, snow.b * 0.92);
  cairo_set_source(cr, p);
  cairo_pattern_destroy(p);
  cairo_fill_preserve(cr);
  kit2d::SetColour(cr, kInk);
  cairo_set_line_width(cr, kLine);
  cairo_stroke(cr);
  Eyes(cr, cx, cy - 1, 8, 3.4, 3.6);
  // carrot nose pointing to the right
  cairo_new_path(cr);
  cairo_move_to(cr, cx - 1, cy + 3);
  cairo_line_to(cr, cx + 22, cy + 8);
  cairo_line_to(cr, cx - 1, cy + 11);
  cairo_close_path(cr);
  FillStroke(cr, carrot, 1.5);
  for (int i = 0; i < 5; ++i) {
    const double a = M_PI * (0.25 + 0.125 * i);
    cairo_new_path(cr);
    cairo_arc(cr, cx + 11 * std::cos(a), cy + 6 + 9 * std::sin(a), 1.7, 0, 2 * M_PI);
    kit2d::SetColour(cr, coal);
    cairo_fill(cr);
  }
  // scarf with a hanging end
  cairo_new_path(cr);
  cairo_move_to(cr, cx + 8, 70);
  cairo_line_to(cr, cx + 20, 70);
  cairo_line_to(cr, cx + 24, 104);
  cairo_line_to(cr, cx + 12, 106);
  cairo_close_path(cr);
  Shaded(cr, c, 70, 106);
  for (int i = 0; i < 3; ++i) {
    cairo_move_to(cr, cx + 13.5 + i * 4, 106);
    cairo_line_to(cr, cx + 13.5 + i * 4, 111);
  }
  kit2d::SetColour(cr, c);
  cairo_set_line_width(cr, 2.2);
  cairo_stroke(cr);
  kit2d::RoundedRect(cr, cx - 26, 64, 52, 12, 6);
  Shaded(cr, c, 64, 76);
  cairo_rectangle(cr, cx - 18, 66, 4, 8);
  cairo_rectangle(cr, cx + 12, 66, 4, 8);
  cairo_set_source_rgba(cr, 1, 1, 1, 0.85);
  cairo_fill(cr);
  BobbleHat(cr, c, cx, cy, r);
}

void Reindeer(cairo_t* cr, Colour c) {
  const double cx = 57.5, cy = 48, r = 21;
  const Colour fur = Col(look::kFigures[look::kReindeer].body);
  const Colour pale = Col(look::kFigures[look::kReindeer].accent);
  const Colour nose = Col(look::kFigures[look::kReindeer].detail);
  const Colour antler{0.84, 0.7, 0.5, 1};
  // antlers: an outlined stroke, drawn twice (ink then colour)
  for (int pass = 0; pass < 2; ++pass) {
    for (double s : {-1.0, 1.0}) {
      cairo_new_path(cr);
      cairo_move_to(cr, cx + s * 10, cy - 16);
      cairo_curve_to(cr, cx + s * 16, cy - 32, cx + s * 26, cy - 36, cx + s * 34, cy - 44);
      cairo_move_to(cr, cx + s * 17, cy - 28);
      cairo_line_to(cr, cx + s * 14, cy - 42);
      cairo_move_to(cr, cx + s * 26, cy - 35);
      cairo_line_to(cr, cx + s * 27, cy - 46);
      cairo_move_to(cr, cx + s * 26, cy - 35);
      cairo_line_to(cr, cx + s * 40, cy - 34);
      cairo_set_line_cap(cr, CAIRO_LINE_CAP_ROUND);
      cairo_set_line_join(cr, CAIRO_LINE_JOIN_ROUND);
      kit2d::SetColour(cr, pass == 0 ? kInk : antler);
      cairo_set_line_width(cr, pass == 0 ? 6.4 : 3.6);
      cairo_stroke(cr);
    }
  }
  // arms in sleeves with dark hooves
  for (double s : {-1.0, 1.0}) {
    cairo_new_path(cr);
    cairo_move_to(cr, cx + s * 20, 84);
    cairo_curve_to(cr, cx + s * 34, 92, cx + s * 38, 108, cx + s * 37, 122);
    cairo_line_to(cr, cx + s * 27, 122);
    cairo_curve_to(cr, cx + s * 27, 108, cx + s * 23, 100, cx + s * 16, 96);
    cairo_close_path(cr);
    Shaded(cr, c, 84, 122);
    kit2d::RoundedRect(cr, cx + s * 32 - 6, 121, 12, 9, 3);
    FillStroke(cr, Col(look::kInk), 1.2);
  }
  // legs
  for (double s : {-1.0, 1.0}) {
    kit2d::RoundedRect(cr, cx + s * 11 - 7, 136, 14, 22, 5);
    Shaded(cr, fur, 136, 158);
    cairo_rectangle(cr, cx + s * 11 - 7, 152, 14, 6);
    kit2d::SetColour(cr, kInk);
    cairo_fill(cr);
  }
  // jumper with a white snowflake band
  kit2d::RoundedRect(cr, cx - 24, 76, 48, 66, 14);
  Shaded(cr, c, 76, 142);
  cairo_save(cr);
  kit2d::RoundedRect(cr, cx - 24, 76, 48, 66, 14);
  cairo_clip(cr);
  cairo_rectangle(cr, cx - 26, 100, 52, 14);
  cairo_set_source_rgba(cr, 1, 1, 1, 0.92);
  cairo_fill(cr);
  kit2d::SetColour(cr, c);
  for (int i = 0; i < 3; ++i) kit2d::Snowflake(cr, cx - 16 + i * 16, 107, 5, 1.3);
  for (int i = 0; i < 12; ++i) {
    cairo_rectangle(cr, cx - 24 + i * 4 + (i % 2) * 1, 133, 2, 4);
  }
  cairo_set_source_rgba(cr, 1, 1, 1, 0.8);
  cairo_fill(cr);
  cairo_restore(cr);
  // a knitted scarf in the player colour, wound round the neck
  kit2d::RoundedRect(cr, cx - 27, 63, 54, 14, 7);
  Shaded(cr, c, 63, 77);
  cairo_rectangle(cr, cx - 19, 66, 4, 8);
  cairo_rectangle(cr, cx + 15, 66, 4, 8);
  cairo_set_source_rgba(cr, 1, 1, 1, 0.85);
  cairo_fill(cr);
  // ears
  for (double s : {-1.0, 1.0}) {
    cairo_save(cr);
    cairo_translate(cr, cx + s * 24, cy - 8);
    cairo_rotate(cr, s * -0.5);
    Ellipse(cr, 0, 0, 10, 5);
    cairo_restore(cr);
    FillStroke(cr, fur);
  }
  // head and muzzle
  Ellipse(cr, cx, cy, r, r + 3);
  Shaded(cr, fur, cy - r, cy + r);
  Ellipse(cr, cx, cy + 13, 14, 10);
  FillStroke(cr, pale, 1.8);
  Eyes(cr, cx, cy - 5, 8, 3.2, 4);
  cairo_new_path(cr);
  cairo_arc(cr, cx, cy + 7, 6.5, 0, 2 * M_PI);
  cairo_pattern_t* p = cairo_pattern_create_radial(cx - 2, cy + 5, 1, cx, cy + 7, 7);
  cairo_pattern_add_color_stop_rgb(p, 0, 1, 0.7, 0.7);
  cairo_pattern_add_color_stop_rgb(p, 1, nose.r, nose.g, nose.b);
  cairo_set_source(cr, p);
  cairo_pattern_destroy(p);
  cairo_fill_preserve(cr);
  kit2d::SetColour(cr, kInk);
  cairo_set_line_width(cr, 1.6);
  cairo_stroke(cr);
  Smile(cr, cx, cy + 19, 5, 1.8);
  // a small knitted hat between the antlers, so the face alone shows the player colour
  cairo_save(cr);
  cairo_translate(cr, cx + 1, cy - r + 6);
  cairo_rotate(cr, 0.15);
  BobbleHat(cr, c, 0, 10, 17);
  cairo_restore(cr);
}

void Penguin(cairo_t* cr, Colour c) {
  const double cx = 57.5, cy = 47, r = 23;
  const Colour black = Col(look::kFigures[look::kPenguin].body);
  const Colour white = Col(look::kFigures[look::kPenguin].accent);
  const Colour orange = Col(look::kFigures[look::kPenguin].detail);
  // feet
  for (double s : {-1.0, 1.0}) {
    Ellipse(cr, cx + s * 13, 153, 12, 5.5);
    FillStroke(cr, orange, 1.6);
  }
  // flippers with mittens
  for (double s : {-1.0, 1.0}) {
    cairo_new_path(cr);
    cairo_move_to(cr, cx + s * 24, 86);
    cairo_curve_to(cr, cx + s * 42, 96, cx + s * 46, 112, cx + s * 42, 122);
    cairo_line_to(cr, cx + s * 30, 116);
    cairo_close_path(cr);
    Shaded(cr, black, 86, 122);
    cairo_new_path(cr);
    cairo_arc(cr, cx + s * 40, 123, 7.5, 0, 2 * M_PI);
    Shaded(cr, c, 115, 131);
  }
  // body and belly
  Ellipse(cr, cx, 112, 31, 42);
  Shaded(cr, black, 70, 154);
  Ellipse(cr, cx, 118, 21, 32);
  kit2d::VerticalGradient(cr, 86, 150, white, Col(look::kSnowShade));
  cairo_fill(cr);
  // head with a two-lobed white face mask
  cairo_new_path(cr);
  cairo_arc(cr, cx, cy, r, 0, 2 * M_PI);
  Shaded(cr, black, cy - r, cy + r);
  cairo_new_path(cr);
  cairo_arc(cr, cx - 8, cy + 2, 11, 0, 2 * M_PI);
  cairo_new_sub_path(cr);
  cairo_arc(cr, cx + 8, cy + 2, 11, 0, 2 * M_PI);
  cairo_new_sub_path(cr);
  Ellipse(cr, cx, cy + 10, 14, 10);
  cairo_set_fill_rule(cr, CAIRO_FILL_RULE_WINDING);
  kit2d::SetColour(cr, white);
  cairo_fill(cr);
  Eyes(cr, cx, cy, 8, 3, 3.8);
  Cheeks(cr, cx, cy + 9, 13);
  cairo_new_path(cr);
  cairo_move_to(cr, cx - 7, cy + 8);
  cairo_line_to(cr, cx + 7, cy + 8);
  cairo_line_to(cr, cx, cy + 17);
  cairo_close_path(cr);
  FillStroke(cr, orange, 1.5);
  BobbleHat(cr, c, cx, cy, r);
}

}  // namespace

void DrawPortrait(cairo_t* cr, int figure, look::Rgb colour, double x, double y) {
  cairo_save(cr);
  cairo_translate(cr, x, y);
  cairo_rectangle(cr, 0, 0, kCellW, kCellH);
  cairo_clip(cr);
  cairo_set_line_join(cr, CAIRO_LINE_JOIN_ROUND);
  const Colour c = Col(colour);
  switch (figure) {
    case look::kElf: Elf(cr, c); break;
    case look::kSnowman: Snowman(cr, c); break;
    case look::kReindeer: Reindeer(cr, c); break;
    default: Penguin(cr, c); break;
  }
  cairo_restore(cr);
}

}  // namespace art

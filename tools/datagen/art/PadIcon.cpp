// The controller symbol: a dark pad body with two grips, a snow-white cross on the left,
// four coloured face buttons on the right and the gold pause button between them, drawn
// in a 60 × 40 design box scaled to its rectangle.
#include "art/PadIcon.h"

#include <cmath>

#include "Look.h"
#include "kit2d/Canvas.h"

namespace art {

namespace {

constexpr double kW = 60, kH = 40;

void BodyPaths(cairo_t* cr, void (*paint)(cairo_t*)) {
  kit2d::RoundedRect(cr, 6, 6, 48, 21, 9);
  paint(cr);
  for (double cx : {15.0, 45.0}) {
    cairo_save(cr);
    cairo_translate(cr, cx, 27.5);
    cairo_scale(cr, 9.0, 10.5);
    cairo_arc(cr, 0, 0, 1, 0, 2 * M_PI);
    cairo_restore(cr);
    paint(cr);
  }
}

void Dot(cairo_t* cr, double x, double y, double r, kit2d::Colour fill) {
  cairo_arc(cr, x, y, r, 0, 2 * M_PI);
  kit2d::SetColour(cr, fill);
  cairo_fill_preserve(cr);
  kit2d::SetColour(cr, kit2d::Col(look::kInk));
  cairo_set_line_width(cr, 0.8);
  cairo_stroke(cr);
}

}  // namespace

void DrawPadIcon(cairo_t* cr, atlas::Rect r) {
  cairo_save(cr);
  cairo_translate(cr, r.x, r.y);
  cairo_scale(cr, r.w / kW, r.h / kH);
  cairo_set_line_join(cr, CAIRO_LINE_JOIN_ROUND);

  // The outline of the whole body first, then every part filled over it, so the grips
  // and the body read as one shape with one outline.
  cairo_set_line_width(cr, 3.2);
  kit2d::SetColour(cr, kit2d::Col(look::kInk));
  BodyPaths(cr, [](cairo_t* c) { cairo_stroke(c); });
  kit2d::VerticalGradient(cr, 6, 38, kit2d::Lighter(kit2d::Col(look::kNightBlue), 0.25),
                          kit2d::Col(look::kNightDeep));
  BodyPaths(cr, [](cairo_t* c) { cairo_fill(c); });
  // A soft sheen along the top edge.
  kit2d::RoundedRect(cr, 11, 8, 38, 4, 2);
  kit2d::SetColour(cr, kit2d::Colour{1, 1, 1, 0.18});
  cairo_fill(cr);

  // The cross: one plus-shaped path.
  const double cx = 16, cy = 17, arm = 6.5, half = 2.3;
  cairo_move_to(cr, cx - half, cy - arm);
  cairo_line_to(cr, cx + half, cy - arm);
  cairo_line_to(cr, cx + half, cy - half);
  cairo_line_to(cr, cx + arm, cy - half);
  cairo_line_to(cr, cx + arm, cy + half);
  cairo_line_to(cr, cx + half, cy + half);
  cairo_line_to(cr, cx + half, cy + arm);
  cairo_line_to(cr, cx - half, cy + arm);
  cairo_line_to(cr, cx - half, cy + half);
  cairo_line_to(cr, cx - arm, cy + half);
  cairo_line_to(cr, cx - arm, cy - half);
  cairo_line_to(cr, cx - half, cy - half);
  cairo_close_path(cr);
  kit2d::SetColour(cr, kit2d::Col(look::kSnow));
  cairo_fill_preserve(cr);
  kit2d::SetColour(cr, kit2d::Col(look::kInk));
  cairo_set_line_width(cr, 0.8);
  cairo_stroke(cr);

  // Face buttons in the four player colours, and the pause button.
  const double bx = 44, by = 17, step = 4.6, br = 2.6;
  Dot(cr, bx, by - step, br, kit2d::Col(look::kPlayer[2]));
  Dot(cr, bx + step, by, br, kit2d::Col(look::kPlayer[0]));
  Dot(cr, bx, by + step, br, kit2d::Col(look::kPlayer[1]));
  Dot(cr, bx - step, by, br, kit2d::Col(look::kPlayer[3]));
  kit2d::RoundedRect(cr, 27, 14.5, 6, 3, 1.5);
  kit2d::SetColour(cr, kit2d::Col(look::kGold));
  cairo_fill(cr);
  cairo_restore(cr);
}

}  // namespace art

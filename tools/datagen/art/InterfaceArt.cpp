// The interface pictures: the two language atlases, the cursor, the menu background and
// the four figure strips.
#include <algorithm>
#include <cmath>
#include <tuple>
#include <cstdint>
#include <string>

#include "Families.h"
#include "art/AtlasLayout.h"
#include "art/PadIcon.h"
#include "art/Portraits.h"
#include "kit2d/Canvas.h"

namespace {

using atlas::Rect;
using kit2d::Col;
using kit2d::Colour;
using kit2d::TextStyle;

const Colour kFrame = Col(look::kNightDeep);
const Colour kInkC = Col(look::kInk);
const Colour kGoldC = Col(look::kGold);
const Colour kSnowC = Col(look::kSnow);

// The wording of one language. Only these strings differ between the two atlases.
struct Words {
  const char* start;
  const char* quit;
  const char* play;  // starts the match from the setup and continues it from the standings
  const char* language;
  const char* back;
  const char* leave;
  const char* count;
  const char* player;
  const char* name;
  const char* coverTitle;
  const char* coverHint;
  const char* standings;
  const char* headPlayer;
  const char* headWins;
  const char* question;
  const char* question2;
  const char* yes;
  const char* no;
};

const Words kSpanish{"NUEVA PARTIDA", "SALIR", "¡A JUGAR!", "IDIOMA: ESPAÑOL", "VOLVER",
                     "ABANDONAR", "NÚMERO DE JUGADORES", "JUGADOR", "NOMBRE",
                     "SIN JUGADOR", "Añade jugadores con  +  en el menú", "CLASIFICACIÓN", "JUGADOR",
                     "VICTORIAS", "¿Abandonar la partida?", "Se perderán las victorias.", "SÍ",
                     "NO"};
const Words kEnglish{"NEW GAME", "QUIT", "PLAY!", "LANGUAGE: ENGLISH", "BACK", "LEAVE",
                     "NUMBER OF PLAYERS", "PLAYER", "NAME", "NO PLAYER",
                     "Add players with  +  in the menu", "STANDINGS", "PLAYER", "WINS",
                     "Leave the match?", "All wins will be lost.", "YES", "NO"};

// A pseudo-random sequence of our own, so that every run scatters the same stars.
struct Lcg {
  uint32_t s;
  double Next() {
    s = s * 1664525u + 1013904223u;
    return (s >> 8) / 16777216.0;
  }
};

TextStyle LabelStyle(double size, Colour fill, Colour outline) {
  TextStyle st;
  st.size = size;
  st.fill = fill;
  st.outline = outline;
  st.outlineWidth = 1.6;
  st.shadow = Colour{0, 0, 0, 0.45};
  st.shadowOffset = 1.6;
  return st;
}

void Text(cairo_t* cr, const std::string& s, Rect r, const TextStyle& st) {
  kit2d::TextInBox(cr, s, r.x, r.y, r.w, r.h, st);
}

// --- Buttons ------------------------------------------------------------------------

enum class Tone { kRed, kBlue, kGreen };

Colour ToneColour(Tone t) {
  switch (t) {
    case Tone::kRed: return Col(look::kHollyRed);
    case Tone::kGreen: return Col(look::kHollyGreen);
    default: return Col(look::kNightBlue);
  }
}

// A rounded button body filling (x, y, w, h), in a tone, or lit up in gold when `hot`.
void ButtonBody(cairo_t* cr, double x, double y, double w, double h, Tone tone, bool hot) {
  const double r = h / 2 - 1;
  kit2d::SoftShadow(cr, x + 1, y + 3, w - 2, h - 3, r, 2, 0.35);
  const Colour base = hot ? Col(look::kGold) : ToneColour(tone);
  kit2d::RoundedRect(cr, x + 1, y + 1, w - 2, h - 3, r);
  kit2d::VerticalGradient(cr, y, y + h, kit2d::Lighter(base, hot ? 0.45 : 0.28),
                          kit2d::Darker(base, hot ? 0.12 : 0.3));
  cairo_fill_preserve(cr);
  kit2d::SetColour(cr, hot ? Col(look::kHollyRed) : kGoldC);
  cairo_set_line_width(cr, 2);
  cairo_stroke(cr);
  // glossy upper half
  kit2d::RoundedRect(cr, x + 6, y + 3.5, w - 12, (h - 6) * 0.42, r * 0.7);
  kit2d::VerticalGradient(cr, y + 3, y + 3 + (h - 6) * 0.45, Colour{1, 1, 1, hot ? 0.55 : 0.38},
                          Colour{1, 1, 1, 0.04});
  cairo_fill(cr);
}

TextStyle ButtonText(bool hot, double size) {
  return hot ? LabelStyle(size, Col(look::kHollyRed), Colour{1, 1, 0.9, 0.9})
             : LabelStyle(size, kSnowC, kit2d::Darker(ToneColour(Tone::kBlue), 0.4));
}

void WideButton(cairo_t* cr, Rect r, Tone tone, bool hot, const char* label) {
  ButtonBody(cr, r.x + 2, r.y + 1, r.w - 4, r.h - 2, tone, hot);
  // little stars at both ends, outside the label band
  for (double sx : {r.x + 8.0, r.x + r.w - 8.0}) {
    kit2d::StarPath(cr, sx, r.y + 19.5, 5, 2.2);
    kit2d::SetColour(cr, hot ? Col(look::kHollyRed) : kGoldC);
    cairo_fill(cr);
  }
  Text(cr, label, Rect{r.x + 12, r.y + 3, r.w - 24, 34}, ButtonText(hot, 21));
}

// --- Small controls -----------------------------------------------------------------

// Small round controls: the same colour language as the wide buttons, lit up in gold
// with a glow while hovered.
void RoundButton(cairo_t* cr, Rect r, Colour base, bool hot) {
  const double cx = r.x + r.w / 2.0, cy = r.y + r.h / 2.0 - 0.5, rad = std::min(r.w, r.h) / 2.0 - 3;
  if (hot) {
    cairo_pattern_t* g = cairo_pattern_create_radial(cx, cy, rad * 0.6, cx, cy, rad + 3);
    cairo_pattern_add_color_stop_rgba(g, 0, 1, 0.9, 0.5, 0.9);
    cairo_pattern_add_color_stop_rgba(g, 1, 1, 0.9, 0.5, 0);
    cairo_set_source(cr, g);
    cairo_pattern_destroy(g);
    cairo_arc(cr, cx, cy, rad + 3, 0, 2 * M_PI);
    cairo_fill(cr);
  } else {
    cairo_new_path(cr);
    cairo_arc(cr, cx + 0.5, cy + 1.8, rad, 0, 2 * M_PI);
    cairo_set_source_rgba(cr, 0, 0, 0, 0.35);
    cairo_fill(cr);
  }
  const Colour c = hot ? kGoldC : base;
  cairo_new_path(cr);
  cairo_arc(cr, cx, cy, rad, 0, 2 * M_PI);
  cairo_pattern_t* p = cairo_pattern_create_radial(cx - rad * 0.35, cy - rad * 0.4, 1, cx, cy, rad);
  const Colour hi = kit2d::Lighter(c, 0.5), lo = kit2d::Darker(c, hot ? 0.12 : 0.25);
  cairo_pattern_add_color_stop_rgb(p, 0, hi.r, hi.g, hi.b);
  cairo_pattern_add_color_stop_rgb(p, 1, lo.r, lo.g, lo.b);
  cairo_set_source(cr, p);
  cairo_pattern_destroy(p);
  cairo_fill_preserve(cr);
  kit2d::SetColour(cr, hot ? Col(look::kHollyRed) : kGoldC);
  cairo_set_line_width(cr, 2.2);
  cairo_stroke(cr);
}

void Plus(cairo_t* cr, Rect r, bool hot) {
  RoundButton(cr, r, Col(look::kHollyGreen), hot);
  const double cx = r.x + r.w / 2.0, cy = r.y + r.h / 2.0 - 0.5;
  for (int pass = 0; pass < 2; ++pass) {
    cairo_new_path(cr);
    cairo_move_to(cr, cx - 10, cy);
    cairo_line_to(cr, cx + 10, cy);
    cairo_move_to(cr, cx, cy - 10);
    cairo_line_to(cr, cx, cy + 10);
    cairo_set_line_cap(cr, CAIRO_LINE_CAP_ROUND);
    cairo_set_line_width(cr, pass == 0 ? 8.5 : 5.5);
    kit2d::SetColour(cr, pass == 0 ? kInkC : kSnowC);
    cairo_stroke(cr);
  }
}

void Minus(cairo_t* cr, Rect r, bool hot) {
  const Colour base = hot ? kGoldC : Col(look::kHollyRed);
  if (!hot) {
    kit2d::RoundedRect(cr, r.x + 2, r.y + 2.5, r.w - 4, r.h - 3, 7);
    cairo_set_source_rgba(cr, 0, 0, 0, 0.35);
    cairo_fill(cr);
  }
  kit2d::RoundedRect(cr, r.x + 2, r.y + 1, r.w - 4, r.h - 3, 7);
  kit2d::VerticalGradient(cr, r.y, r.y + r.h, kit2d::Lighter(base, 0.35), kit2d::Darker(base, 0.25));
  cairo_fill_preserve(cr);
  kit2d::SetColour(cr, hot ? Col(look::kHollyRed) : kGoldC);
  cairo_set_line_width(cr, 2);
  cairo_stroke(cr);
  const double cy = r.y + r.h / 2.0 - 0.5;
  for (int pass = 0; pass < 2; ++pass) {
    cairo_new_path(cr);
    cairo_move_to(cr, r.x + 15, cy);
    cairo_line_to(cr, r.x + r.w - 15, cy);
    cairo_set_line_cap(cr, CAIRO_LINE_CAP_ROUND);
    cairo_set_line_width(cr, pass == 0 ? 7 : 4.5);
    kit2d::SetColour(cr, pass == 0 ? kInkC : kSnowC);
    cairo_stroke(cr);
  }
}

// The figure switch: two arrows chasing each other round a circle.
void SwitchButton(cairo_t* cr, Rect r, bool hot) {
  RoundButton(cr, r, Col(look::kNightBlue), hot);
  const double cx = r.x + r.w / 2.0, cy = r.y + r.h / 2.0 - 0.5, rad = 9;
  for (int pass = 0; pass < 2; ++pass) {
    for (int k = 0; k < 2; ++k) {
      const double a0 = k * M_PI + 0.35, a1 = k * M_PI + M_PI - 0.5;
      cairo_new_path(cr);
      cairo_arc(cr, cx, cy, rad, a0, a1);
      cairo_set_line_width(cr, pass == 0 ? 5.5 : 3);
      cairo_set_line_cap(cr, CAIRO_LINE_CAP_ROUND);
      kit2d::SetColour(cr, pass == 0 ? kInkC : (hot ? Col(look::kHollyRed) : kSnowC));
      cairo_stroke(cr);
      // arrow head at the end of the arc, pointing along it
      const double ex = cx + rad * std::cos(a1), ey = cy + rad * std::sin(a1);
      const double tx = -std::sin(a1), ty = std::cos(a1);  // direction of travel
      const double nx = std::cos(a1), ny = std::sin(a1);
      cairo_new_path(cr);
      cairo_move_to(cr, ex + tx * 5.5, ey + ty * 5.5);
      cairo_line_to(cr, ex + nx * 4.5 - tx * 1.5, ey + ny * 4.5 - ty * 1.5);
      cairo_line_to(cr, ex - nx * 4.5 - tx * 1.5, ey - ny * 4.5 - ty * 1.5);
      cairo_close_path(cr);
      if (pass == 0) {
        cairo_set_line_width(cr, 2.5);
        cairo_set_line_join(cr, CAIRO_LINE_JOIN_ROUND);
        cairo_stroke_preserve(cr);
        cairo_fill(cr);
      } else {
        cairo_fill(cr);
      }
    }
  }
}

// Badge k of the player-count strip: a player silhouette in the player colour, numbered.
void CountBadge(cairo_t* cr, double x, double y, int k) {
  const Colour c = Col(look::kPlayer[k]);
  kit2d::RoundedRect(cr, x + 1.5, y + 3, 47, 50, 10);
  cairo_set_source_rgba(cr, 0, 0, 0, 0.35);
  cairo_fill(cr);
  kit2d::RoundedRect(cr, x + 1.5, y + 1.5, 47, 50, 10);
  kit2d::VerticalGradient(cr, y, y + 52, kit2d::Lighter(c, 0.3), kit2d::Darker(c, 0.25));
  cairo_fill_preserve(cr);
  kit2d::SetColour(cr, kSnowC);
  cairo_set_line_width(cr, 2);
  cairo_stroke(cr);
  // silhouette
  cairo_new_path(cr);
  cairo_arc(cr, x + 25, y + 15, 8, 0, 2 * M_PI);
  cairo_new_sub_path(cr);
  cairo_move_to(cr, x + 9, y + 50);
  cairo_curve_to(cr, x + 9, y + 28, x + 41, y + 28, x + 41, y + 50);
  cairo_close_path(cr);
  cairo_set_source_rgba(cr, 1, 1, 1, 0.95);
  cairo_fill_preserve(cr);
  kit2d::SetColour(cr, kit2d::Darker(c, 0.5));
  cairo_set_line_width(cr, 1.4);
  cairo_stroke(cr);
  TextStyle st;
  st.size = 17;
  st.fill = kit2d::Darker(c, 0.25);
  kit2d::TextInBox(cr, std::to_string(k + 1), x + 12, y + 33, 26, 18, st);
}

// --- Player setup -------------------------------------------------------------------

void Keycap(cairo_t* cr, double x, double y, double w, double h, const char* label,
            bool small) {
  kit2d::RoundedRect(cr, x, y + 2, w, h, 5);
  cairo_set_source_rgba(cr, 0, 0, 0, 0.4);
  cairo_fill(cr);
  kit2d::RoundedRect(cr, x, y, w, h, 5);
  kit2d::VerticalGradient(cr, y, y + h, Colour{1, 1, 1, 1}, Col(look::kSnowShade));
  cairo_fill_preserve(cr);
  kit2d::SetColour(cr, kInkC);
  cairo_set_line_width(cr, 1.5);
  cairo_stroke(cr);
  TextStyle st;
  st.size = small ? 15 : 17;
  st.fill = kInkC;
  kit2d::TextInBox(cr, label, x + 1, y + 1, w - 2, h - (small ? 8 : 3), st);
  if (small) {
    TextStyle tag;
    tag.size = 6.5;
    tag.fill = Colour{0.3, 0.35, 0.5, 1};
    kit2d::TextInBox(cr, "NUM", x + 2, y + h - 10, w - 4, 9, tag);
  }
}

// A player's caption: title band and the four steering keys in an inverted T.
void Caption(cairo_t* cr, Rect r, int player, const Words& w) {
  const Colour c = Col(look::kPlayer[player]);
  kit2d::RoundedRect(cr, r.x + 2, r.y + 3, r.w - 4, r.h - 4, 12);
  cairo_set_source_rgba(cr, 0, 0, 0, 0.3);
  cairo_fill(cr);
  kit2d::RoundedRect(cr, r.x + 2, r.y + 1, r.w - 4, r.h - 4, 12);
  kit2d::VerticalGradient(cr, r.y, r.y + r.h, kit2d::Lighter(c, 0.15), kit2d::Darker(c, 0.35));
  cairo_fill_preserve(cr);
  kit2d::SetColour(cr, kInkC);
  cairo_set_line_width(cr, 2);
  cairo_stroke(cr);
  static const char* kKeys[4][4] = {{"W", "A", "S", "D"},
                                    {"↑", "←", "↓", "→"},
                                    {"U", "H", "J", "K"},
                                    {"8", "4", "5", "6"}};
  const std::string title = std::string(w.player) + " " + std::to_string(player + 1);
  Text(cr, title, Rect{r.x + 4, r.y + 4, r.w - 8, 22}, LabelStyle(16, kSnowC, kInkC));
  const double kw = 32, kh = 30, gap = 4;
  const double x0 = r.x + (r.w - (3 * kw + 2 * gap)) / 2;
  const bool pad = player == 3;
  Keycap(cr, x0 + kw + gap, r.y + 30, kw, kh, kKeys[player][0], pad);
  for (int i = 0; i < 3; ++i)
    Keycap(cr, x0 + i * (kw + gap), r.y + 30 + kh + 5, kw, kh, kKeys[player][1 + i], pad);
}

void PlayerPanel(cairo_t* cr, Rect r, const Words& w) {
  cairo_save(cr);
  cairo_rectangle(cr, r.x, r.y, r.w, atlas::kSize - r.y);
  cairo_clip(cr);
  cairo_translate(cr, r.x, r.y);
  // frame: plain rows at the bottom, so the two rows past the atlas repeat the frame
  kit2d::SetColour(cr, kFrame);
  cairo_paint(cr);
  cairo_rectangle(cr, 4, 4, r.w - 8, r.h - 8);
  kit2d::VerticalGradient(cr, 0, r.h, Col(look::kSnow), Colour{0.8, 0.88, 0.96, 1});
  cairo_fill(cr);
  cairo_rectangle(cr, 5.5, 5.5, r.w - 11, r.h - 11);
  kit2d::SetColour(cr, kGoldC);
  cairo_set_line_width(cr, 1.5);
  cairo_stroke(cr);
  // faint snowflakes in the paper
  kit2d::SetColour(cr, Colour{0.55, 0.7, 0.88, 0.35});
  Lcg rng{7};
  for (int i = 0; i < 14; ++i) {
    const double x = 176 + rng.Next() * 210, y = 220 + rng.Next() * 18;
    kit2d::Snowflake(cr, x, y, 4 + rng.Next() * 3, 1);
  }
  for (double x : {16.0, 384.0}) kit2d::Snowflake(cr, x, 124, 7, 1.2);
  // window behind the figure portrait
  kit2d::RoundedRect(cr, 38, 39, 131, 174, 14);
  cairo_pattern_t* p = cairo_pattern_create_radial(103, 100, 10, 103, 120, 120);
  cairo_pattern_add_color_stop_rgb(p, 0, 0.22, 0.38, 0.62);
  cairo_pattern_add_color_stop_rgb(p, 1, look::kNightDeep.R(), look::kNightDeep.G(), look::kNightDeep.B());
  cairo_set_source(cr, p);
  cairo_pattern_destroy(p);
  cairo_fill_preserve(cr);
  kit2d::SetColour(cr, kGoldC);
  cairo_set_line_width(cr, 3);
  cairo_stroke(cr);
  Lcg stars{11};
  for (int i = 0; i < 22; ++i) {
    cairo_new_path(cr);
    cairo_arc(cr, 46 + stars.Next() * 115, 46 + stars.Next() * 160, 0.6 + stars.Next() * 1.1, 0, 2 * M_PI);
    cairo_set_source_rgba(cr, 1, 1, 1, 0.3 + stars.Next() * 0.5);
    cairo_fill(cr);
  }
  kit2d::RoundedRect(cr, 40, 184, 127, 27, 12);
  cairo_set_source_rgba(cr, 0.9, 0.95, 1, 0.85);
  cairo_fill(cr);
  // name label and field (the name itself is drawn by the game at (190, 50))
  TextStyle lab;
  lab.size = 12;
  lab.fill = Col(look::kNightBlue);
  kit2d::TextLeft(cr, w.name, 186, 24, 190, 16, lab);
  kit2d::RoundedRect(cr, 184, 43, 190, 40, 9);
  cairo_set_source_rgba(cr, 0, 0, 0, 0.15);
  cairo_fill(cr);
  kit2d::RoundedRect(cr, 184, 41, 190, 40, 9);
  kit2d::SetColour(cr, Colour{1, 1, 1, 1});
  cairo_fill_preserve(cr);
  kit2d::SetColour(cr, Col(look::kNightBlue));
  cairo_set_line_width(cr, 2);
  cairo_stroke(cr);
  cairo_restore(cr);
}

void InactiveCover(cairo_t* cr, Rect r, const Words& w) {
  cairo_save(cr);
  cairo_rectangle(cr, r.x, r.y, r.w, r.h);
  cairo_clip(cr);
  cairo_translate(cr, r.x, r.y);
  cairo_rectangle(cr, 0, 3, r.w, r.h - 3);
  kit2d::VerticalGradient(cr, 0, r.h, Colour{0.05, 0.09, 0.2, 0.8}, Colour{0.03, 0.05, 0.12, 0.88});
  cairo_fill(cr);
  cairo_set_source_rgba(cr, 1, 1, 1, 0.08);
  kit2d::Snowflake(cr, 200, 125, 95, 10);
  TextStyle t = LabelStyle(30, kSnowC, kInkC);
  Text(cr, w.coverTitle, Rect{30, 76, 340, 44}, t);
  TextStyle h;
  h.bold = false;
  h.size = 17;
  h.fill = Col(look::kIce);
  Text(cr, w.coverHint, Rect{30, 126, 340, 40}, h);
  cairo_restore(cr);
}

void BottomBar(cairo_t* cr, Rect r) {
  cairo_save(cr);
  cairo_rectangle(cr, r.x, r.y, r.w, r.h);
  cairo_clip(cr);
  cairo_translate(cr, r.x, r.y);
  cairo_rectangle(cr, 0, 0, r.w, r.h);
  kit2d::VerticalGradient(cr, 0, r.h, Colour{0.1, 0.36, 0.22, 1}, Colour{0.04, 0.18, 0.11, 1});
  cairo_fill(cr);
  // a repeating pattern (period 40 texels) so that two bars side by side join seamlessly
  for (int i = 0; i < 10; ++i) {
    const double x = i * 40.0;
    kit2d::SetColour(cr, Colour{1, 1, 1, 0.1});
    kit2d::Snowflake(cr, x + 20, 90, 6, 1.2);
  }
  // a garland of lights along the top
  cairo_new_path(cr);
  for (int i = 0; i <= 10; ++i) {
    const double x = i * 40.0;
    if (i == 0) cairo_move_to(cr, x, 10);
    cairo_curve_to(cr, x + 12, 24, x + 28, 24, x + 40, 10);
  }
  kit2d::SetColour(cr, Colour{0.05, 0.12, 0.08, 1});
  cairo_set_line_width(cr, 2);
  cairo_stroke(cr);
  for (int i = 0; i < 10; ++i) {
    const double x = i * 40.0 + 20, y = 21.5;
    const Colour c = Col(look::kPlayer[i % 4]);
    cairo_pattern_t* g = cairo_pattern_create_radial(x, y + 3, 1, x, y + 3, 10);
    cairo_pattern_add_color_stop_rgba(g, 0, c.r, c.g, c.b, 0.6);
    cairo_pattern_add_color_stop_rgba(g, 1, c.r, c.g, c.b, 0);
    cairo_set_source(cr, g);
    cairo_pattern_destroy(g);
    cairo_arc(cr, x, y + 3, 10, 0, 2 * M_PI);
    cairo_fill(cr);
    cairo_save(cr);
    cairo_translate(cr, x, y + 4);
    cairo_scale(cr, 3.6, 5);
    cairo_arc(cr, 0, 0, 1, 0, 2 * M_PI);
    cairo_restore(cr);
    kit2d::SetColour(cr, kit2d::Lighter(c, 0.25));
    cairo_fill(cr);
    cairo_rectangle(cr, x - 2, y - 2, 4, 3);
    kit2d::SetColour(cr, kGoldC);
    cairo_fill(cr);
  }
  // gold rule under the top edge, and the plain frame rows shared with the inactive cover
  cairo_rectangle(cr, 0, 6, r.w, 1.5);
  kit2d::SetColour(cr, kGoldC);
  cairo_fill(cr);
  cairo_rectangle(cr, 0, 0, r.w, 6);
  kit2d::SetColour(cr, kFrame);
  cairo_fill(cr);
  cairo_restore(cr);
  cairo_rectangle(cr, r.x, atlas::kSharedRowsTop, r.w, atlas::kSharedRowsBottom - atlas::kSharedRowsTop);
  kit2d::SetColour(cr, kFrame);
  cairo_fill(cr);
}

// --- Standings ----------------------------------------------------------------------

void HollySprig(cairo_t* cr, double cx, double cy, double s) {
  for (double side : {-1.0, 1.0}) {
    cairo_save(cr);
    cairo_translate(cr, cx, cy);
    cairo_scale(cr, side * s, s);
    cairo_new_path(cr);
    cairo_move_to(cr, 0, 0);
    cairo_curve_to(cr, 6, -8, 14, -6, 22, -10);
    cairo_curve_to(cr, 20, -4, 24, 0, 22, 4);
    cairo_curve_to(cr, 14, 2, 8, 6, 0, 0);
    cairo_close_path(cr);
    cairo_restore(cr);
    kit2d::SetColour(cr, Col(look::kHollyGreen));
    cairo_fill_preserve(cr);
    kit2d::SetColour(cr, kit2d::Darker(Col(look::kHollyGreen), 0.4));
    cairo_set_line_width(cr, 1.2);
    cairo_stroke(cr);
  }
  for (int i = 0; i < 3; ++i) {
    cairo_new_path(cr);
    cairo_arc(cr, cx - 4 * s + i * 4 * s, cy - 2 * s - (i == 1 ? 3 * s : 0), 3.4 * s, 0, 2 * M_PI);
    kit2d::SetColour(cr, Col(look::kHollyRed));
    cairo_fill_preserve(cr);
    kit2d::SetColour(cr, kit2d::Darker(Col(look::kHollyRed), 0.5));
    cairo_set_line_width(cr, 1);
    cairo_stroke(cr);
  }
}

void Ribbon(cairo_t* cr, double x, double y, double w, double h) {
  const Colour red = Col(look::kHollyRed);
  for (double side : {-1.0, 1.0}) {  // tails
    const double ex = side < 0 ? x : x + w;
    cairo_new_path(cr);
    cairo_move_to(cr, ex - side * 14, y + 8);
    cairo_line_to(cr, ex + side * 10, y + 8);
    cairo_line_to(cr, ex + side * 2, y + 8 + h / 2);
    cairo_line_to(cr, ex + side * 10, y + 8 + h);
    cairo_line_to(cr, ex - side * 14, y + 8 + h);
    cairo_close_path(cr);
    kit2d::SetColour(cr, kit2d::Darker(red, 0.35));
    cairo_fill(cr);
  }
  kit2d::RoundedRect(cr, x, y, w, h, 6);
  kit2d::VerticalGradient(cr, y, y + h, kit2d::Lighter(red, 0.2), kit2d::Darker(red, 0.2));
  cairo_fill_preserve(cr);
  kit2d::SetColour(cr, kGoldC);
  cairo_set_line_width(cr, 2);
  cairo_stroke(cr);
}

void StandingsPanel(cairo_t* cr, Rect r, const Words& w) {
  cairo_save(cr);
  cairo_rectangle(cr, r.x, r.y, r.w, r.h);
  cairo_clip(cr);
  cairo_translate(cr, r.x, r.y);
  kit2d::SoftShadow(cr, 8, 14, r.w - 16, r.h - 18, 22, 6, 0.45);
  kit2d::RoundedRect(cr, 6, 10, r.w - 12, r.h - 18, 22);
  kit2d::VerticalGradient(cr, 0, r.h, Col(look::kPaper), Colour{0.86, 0.92, 0.98, 1});
  cairo_fill_preserve(cr);
  kit2d::SetColour(cr, Col(look::kNightBlue));
  cairo_set_line_width(cr, 4);
  cairo_stroke(cr);
  kit2d::RoundedRect(cr, 12, 16, r.w - 24, r.h - 30, 17);
  kit2d::SetColour(cr, kGoldC);
  cairo_set_line_width(cr, 1.5);
  cairo_stroke(cr);
  Ribbon(cr, 40, 4, r.w - 80, 36);
  Text(cr, w.standings, Rect{20, 6, 399, 34}, LabelStyle(24, kSnowC, kit2d::Darker(Col(look::kHollyRed), 0.5)));
  TextStyle head;
  head.size = 12.5;
  head.fill = Col(look::kNightBlue);
  kit2d::TextLeft(cr, w.headPlayer, 113, 41, 170, 15, head);
  kit2d::TextLeft(cr, w.headWins, 288, 41, 140, 15, head);
  // four calm row bands behind the names (rows at screen y 135 + 40 i)
  for (int i = 0; i < 4; ++i) {
    kit2d::RoundedRect(cr, 74, 58 + 40 * i, 298, 37, 10);
    cairo_set_source_rgba(cr, 0.25, 0.4, 0.7, i % 2 == 0 ? 0.1 : 0.05);
    cairo_fill(cr);
  }
  // a holly divider between the table and the buttons
  cairo_rectangle(cr, 60, 262, 120, 1.5);
  cairo_rectangle(cr, r.w - 180, 262, 120, 1.5);
  kit2d::SetColour(cr, Colour{0.75, 0.6, 0.25, 0.8});
  cairo_fill(cr);
  HollySprig(cr, r.w / 2.0, 264, 1.2);
  HollySprig(cr, 46, r.h - 26, 0.9);
  HollySprig(cr, r.w - 46, r.h - 26, 0.9);
  cairo_restore(cr);
}

void RowHighlight(cairo_t* cr, Rect r) {
  const double cx = r.x + r.w / 2.0, cy = r.y + r.h / 2.0;
  cairo_pattern_t* g = cairo_pattern_create_radial(cx, cy, 2, cx, cy, 15);
  cairo_pattern_add_color_stop_rgba(g, 0, 1, 0.92, 0.5, 0.8);
  cairo_pattern_add_color_stop_rgba(g, 1, 1, 0.92, 0.5, 0);
  cairo_set_source(cr, g);
  cairo_pattern_destroy(g);
  cairo_rectangle(cr, r.x, r.y, r.w, r.h);
  cairo_fill(cr);
  kit2d::StarPath(cr, cx, cy + 1, 13, 5.6);
  kit2d::VerticalGradient(cr, cy - 13, cy + 13, Colour{1, 0.95, 0.6, 1}, kit2d::Darker(kGoldC, 0.2));
  cairo_fill_preserve(cr);
  kit2d::SetColour(cr, kit2d::Darker(Col(look::kHollyRed), 0.2));
  cairo_set_line_width(cr, 1.6);
  cairo_set_line_join(cr, CAIRO_LINE_JOIN_ROUND);
  cairo_stroke(cr);
}

void ChoiceButton(cairo_t* cr, Rect r, bool yes, bool hot, const char* label) {
  ButtonBody(cr, r.x, r.y, r.w, r.h, yes ? Tone::kGreen : Tone::kRed, hot);
  Text(cr, label, Rect{r.x + 6, r.y + 4, r.w - 12, 32}, ButtonText(hot, 22));
}

void ConfirmPanel(cairo_t* cr, Rect r, const Words& w) {
  cairo_save(cr);
  cairo_rectangle(cr, r.x, r.y, r.w, r.h);
  cairo_clip(cr);
  cairo_translate(cr, r.x, r.y);
  kit2d::SoftShadow(cr, 6, 8, r.w - 12, r.h - 12, 20, 5, 0.5);
  kit2d::RoundedRect(cr, 4, 4, r.w - 8, r.h - 10, 20);
  kit2d::VerticalGradient(cr, 0, r.h, Col(look::kNightBlue), Col(look::kNightDeep));
  cairo_fill_preserve(cr);
  kit2d::SetColour(cr, kGoldC);
  cairo_set_line_width(cr, 3);
  cairo_stroke(cr);
  cairo_set_source_rgba(cr, 1, 1, 1, 0.07);
  kit2d::Snowflake(cr, 40, 40, 26, 4);
  kit2d::Snowflake(cr, r.w - 40, 40, 26, 4);
  cairo_restore(cr);
  Text(cr, w.question, Rect{r.x + 20, r.y + 24, 360, 52}, LabelStyle(26, kSnowC, kInkC));
  TextStyle sub;
  sub.bold = false;
  sub.size = 16;
  sub.fill = Col(look::kIce);
  Text(cr, w.question2, Rect{r.x + 20, r.y + 80, 360, 30}, sub);
  ChoiceButton(cr, atlas::kConfirmYes, true, false, w.yes);
  ChoiceButton(cr, atlas::kConfirmNo, false, false, w.no);
}

// --- Score display ------------------------------------------------------------------

void ScoreBar(cairo_t* cr, Rect r) {
  for (int k = 0; k * 20 < r.w; ++k) {
    const double x = r.x + 20 * k, y = r.y;
    cairo_rectangle(cr, x, y + 1, 20, 23);
    kit2d::VerticalGradient(cr, y, y + 25, Colour{0.1, 0.16, 0.32, 0.88}, Colour{0.04, 0.07, 0.16, 0.92});
    cairo_fill(cr);
    cairo_rectangle(cr, x, y + 1, 20, 1.5);
    cairo_rectangle(cr, x, y + 22.5, 20, 1.5);
    kit2d::SetColour(cr, Colour{look::kGold.R(), look::kGold.G(), look::kGold.B(), 0.9});
    cairo_fill(cr);
    // the empty well that a delivery marker fills
    kit2d::RoundedRect(cr, x + 1.5, y + 4.5, 17, 15, 3);
    cairo_set_source_rgba(cr, 0.75, 0.85, 1, 0.22);
    cairo_fill_preserve(cr);
    cairo_set_source_rgba(cr, 1, 1, 1, 0.35);
    cairo_set_line_width(cr, 1);
    cairo_stroke(cr);
  }
}

void ColourCell(cairo_t* cr, Rect r, int player) {
  // Mostly the plain player colour: at 18 × 16 the cell must read as that colour first.
  const Colour c = Col(look::kPlayer[player]);
  kit2d::RoundedRect(cr, r.x + 0.5, r.y + 0.5, r.w - 1, r.h - 1, 3.5);
  kit2d::VerticalGradient(cr, r.y, r.y + r.h, kit2d::Lighter(c, 0.12), kit2d::Darker(c, 0.12));
  cairo_fill_preserve(cr);
  kit2d::SetColour(cr, kit2d::Darker(c, 0.45));
  cairo_set_line_width(cr, 1);
  cairo_stroke(cr);
  kit2d::RoundedRect(cr, r.x + 3, r.y + 2, r.w - 6, 4, 2);
  cairo_set_source_rgba(cr, 1, 1, 1, 0.35);
  cairo_fill(cr);
}

void CountCaption(cairo_t* cr, Rect r, const Words& w) {
  kit2d::RoundedRect(cr, r.x + 2, r.y + 4, r.w - 4, r.h - 8, 14);
  cairo_set_source_rgba(cr, look::kNightDeep.R(), look::kNightDeep.G(), look::kNightDeep.B(), 0.72);
  cairo_fill_preserve(cr);
  cairo_set_source_rgba(cr, 1, 0.85, 0.4, 0.8);
  cairo_set_line_width(cr, 1.5);
  cairo_stroke(cr);
  Text(cr, w.count, Rect{r.x + 8, r.y + 3, r.w - 16, 34}, LabelStyle(19, Col(look::kWarmLight), kInkC));
}

bool WriteAtlas(const std::string& path, const Words& w) {
  kit2d::Canvas canvas(atlas::kSize, atlas::kSize);
  cairo_t* cr = canvas.Cr();
  using namespace atlas;
  WideButton(cr, kStart, Tone::kRed, false, w.start);
  WideButton(cr, kStartHi, Tone::kRed, true, w.start);
  WideButton(cr, kQuit, Tone::kBlue, false, w.quit);
  WideButton(cr, kQuitHi, Tone::kBlue, true, w.quit);
  WideButton(cr, kPlay, Tone::kRed, false, w.play);
  WideButton(cr, kPlayHi, Tone::kRed, true, w.play);
  WideButton(cr, kLanguage, Tone::kGreen, false, w.language);
  WideButton(cr, kLanguageHi, Tone::kGreen, true, w.language);
  WideButton(cr, kBack, Tone::kBlue, false, w.back);
  WideButton(cr, kBackHi, Tone::kBlue, true, w.back);
  WideButton(cr, kLeave, Tone::kBlue, false, w.leave);
  WideButton(cr, kLeaveHi, Tone::kBlue, true, w.leave);
  CountCaption(cr, kCountCaption, w);
  Plus(cr, kMore, false);
  Plus(cr, kMoreHi, true);
  Minus(cr, kFewer, false);
  Minus(cr, kFewerHi, true);
  for (int k = 0; k < 4; ++k) CountBadge(cr, kCountStrip.x + kStripStep * k, kCountStrip.y, k);
  for (int p = 0; p < 4; ++p) Caption(cr, kCaption[p], p, w);
  SwitchButton(cr, kSwitch, false);
  SwitchButton(cr, kSwitchHi, true);
  PlayerPanel(cr, kPlayerPanel, w);
  BottomBar(cr, kBottomBar);
  InactiveCover(cr, kInactiveCover, w);
  StandingsPanel(cr, kStandings, w);
  RowHighlight(cr, kRowHighlight);
  ConfirmPanel(cr, kConfirm, w);
  ChoiceButton(cr, kYesHi, true, true, w.yes);
  ChoiceButton(cr, kNoHi, false, true, w.no);
  ScoreBar(cr, kScoreBar);
  for (int p = 0; p < 4; ++p) ColourCell(cr, kColourCell[p], p);
  art::DrawPadIcon(cr, kPadIcon);
  return canvas.WritePng(path);
}

// --- Cursor -------------------------------------------------------------------------

bool WriteCursor(const std::string& path) {
  kit2d::Canvas canvas(128, 128);
  cairo_t* cr = canvas.Cr();
  // The hot spot is (21, 17): the arrow's tip.
  static const double kArrow[][2] = {{0, 0}, {0, 38}, {9, 29}, {16, 45}, {23, 42},
                                     {16, 27}, {28, 27}};
  auto path_ = [&](double dx, double dy) {
    cairo_new_path(cr);
    for (int i = 0; i < 7; ++i) {
      const double x = 21 + dx + kArrow[i][0] * 1.15, y = 17 + dy + kArrow[i][1] * 1.15;
      if (i == 0)
        cairo_move_to(cr, x, y);
      else
        cairo_line_to(cr, x, y);
    }
    cairo_close_path(cr);
  };
  cairo_set_line_join(cr, CAIRO_LINE_JOIN_ROUND);
  path_(2.5, 3);
  cairo_set_source_rgba(cr, 0, 0, 0, 0.35);
  cairo_set_line_width(cr, 4);
  cairo_stroke_preserve(cr);
  cairo_fill(cr);
  path_(0, 0);
  kit2d::SetColour(cr, kSnowC);
  cairo_set_line_width(cr, 5);
  cairo_stroke_preserve(cr);
  kit2d::VerticalGradient(cr, 17, 70, kit2d::Lighter(Col(look::kHollyRed), 0.25),
                          kit2d::Darker(Col(look::kHollyRed), 0.25));
  cairo_fill_preserve(cr);
  kit2d::SetColour(cr, kInkC);
  cairo_set_line_width(cr, 1.3);
  cairo_stroke(cr);
  // candy stripes
  cairo_save(cr);
  path_(0, 0);
  cairo_clip(cr);
  for (int i = -2; i < 8; ++i) {
    cairo_new_path(cr);
    cairo_move_to(cr, 10, 30 + i * 9);
    cairo_line_to(cr, 60, 0 + i * 9);
    cairo_set_line_width(cr, 3);
    cairo_set_source_rgba(cr, 1, 1, 1, 0.55);
    cairo_stroke(cr);
  }
  cairo_restore(cr);
  kit2d::StarPath(cr, 21, 17, 5, 2);
  kit2d::SetColour(cr, kGoldC);
  cairo_fill(cr);
  return canvas.WritePng(path);
}

// --- Menu background ------------------------------------------------------------------

// The scalloped lower edge of one tier of boughs, from right to left.
void ScallopEdge(cairo_t* cr, double x, double bottom, double half, int scallops, double depth) {
  const double step = 2 * half / scallops;
  for (int i = 0; i < scallops; ++i) {
    const double x0 = x + half - i * step, x1 = x0 - step;
    cairo_curve_to(cr, x0 - step * 0.2, bottom + depth, x1 + step * 0.2, bottom + depth, x1, bottom);
  }
}

void PineTree(cairo_t* cr, double x, double base, double h, double shade) {
  const Colour green{0.07 * shade, 0.3 * shade, 0.19 * shade, 1};
  cairo_rectangle(cr, x - h * 0.05, base - h * 0.12, h * 0.1, h * 0.12);
  kit2d::SetColour(cr, Colour{0.25 * shade, 0.16 * shade, 0.1 * shade, 1});
  cairo_fill(cr);
  for (int t = 0; t < 3; ++t) {
    const double top = base - h + t * h * 0.25, bottom = base - h * 0.1 - (2 - t) * h * 0.22;
    const double half = h * (0.18 + 0.1 * t);
    const int scallops = 3 + t;
    const double depth = h * 0.05;
    cairo_new_path(cr);
    cairo_move_to(cr, x, top);
    cairo_line_to(cr, x + half, bottom);
    ScallopEdge(cr, x, bottom, half, scallops, depth);
    cairo_close_path(cr);
    kit2d::VerticalGradient(cr, top, bottom, kit2d::Lighter(green, 0.08), kit2d::Darker(green, 0.3));
    cairo_fill(cr);
    // snow lying along the scalloped edge of the boughs
    cairo_new_path(cr);
    cairo_move_to(cr, x + half, bottom);
    ScallopEdge(cr, x, bottom, half, scallops, depth);
    cairo_line_to(cr, x - half * 0.9, bottom - h * 0.03);
    for (int i = scallops - 1; i >= 0; --i) {
      const double step = 2 * half * 0.9 / scallops;
      const double x1 = x - half * 0.9 + (scallops - 1 - i) * step, x0 = x1 + step;
      cairo_curve_to(cr, x1 + step * 0.2, bottom - h * 0.03 + depth * 0.7, x0 - step * 0.2,
                     bottom - h * 0.03 + depth * 0.7, x0, bottom - h * 0.03);
    }
    cairo_close_path(cr);
    cairo_set_source_rgba(cr, 0.92, 0.96, 1, 0.9 * std::min(1.0, shade));
    cairo_fill(cr);
  }
  // a cap of snow on the tip
  cairo_new_path(cr);
  cairo_move_to(cr, x, base - h);
  cairo_line_to(cr, x + h * 0.06, base - h + h * 0.1);
  cairo_curve_to(cr, x + h * 0.02, base - h + h * 0.12, x - h * 0.02, base - h + h * 0.08, x - h * 0.06, base - h + h * 0.1);
  cairo_close_path(cr);
  cairo_set_source_rgba(cr, 0.95, 0.98, 1, 0.9 * std::min(1.0, shade));
  cairo_fill(cr);
}

void ChristmasTree(cairo_t* cr, double x, double base, double h) {
  PineTree(cr, x, base, h, 1.15);
  Lcg rng{99};
  for (int t = 0; t < 3; ++t) {
    const double top = base - h + t * h * 0.25, bottom = base - h * 0.1 - (2 - t) * h * 0.22;
    const double half = h * (0.18 + 0.1 * t);
    for (int i = 0; i < 9; ++i) {
      const double f = 0.35 + 0.6 * rng.Next();
      const double y = top + (bottom - top) * f;
      const double span = half * f * 0.85;
      const double bx = x + (rng.Next() * 2 - 1) * span;
      const Colour c = Col(look::kPlayer[(i + t) % 4]);
      cairo_pattern_t* g = cairo_pattern_create_radial(bx, y, 0.5, bx, y, 9);
      cairo_pattern_add_color_stop_rgba(g, 0, c.r, c.g, c.b, 0.7);
      cairo_pattern_add_color_stop_rgba(g, 1, c.r, c.g, c.b, 0);
      cairo_set_source(cr, g);
      cairo_pattern_destroy(g);
      cairo_arc(cr, bx, y, 9, 0, 2 * M_PI);
      cairo_fill(cr);
      cairo_new_path(cr);
      cairo_arc(cr, bx, y, 3.6, 0, 2 * M_PI);
      kit2d::SetColour(cr, kit2d::Lighter(c, 0.35));
      cairo_fill(cr);
    }
  }
  // the star on top, glowing
  cairo_pattern_t* g = cairo_pattern_create_radial(x, base - h, 2, x, base - h, 40);
  cairo_pattern_add_color_stop_rgba(g, 0, 1, 0.9, 0.5, 0.8);
  cairo_pattern_add_color_stop_rgba(g, 1, 1, 0.9, 0.5, 0);
  cairo_set_source(cr, g);
  cairo_pattern_destroy(g);
  cairo_arc(cr, x, base - h, 40, 0, 2 * M_PI);
  cairo_fill(cr);
  kit2d::StarPath(cr, x, base - h, 16, 7);
  kit2d::SetColour(cr, Col(look::kGold));
  cairo_fill_preserve(cr);
  kit2d::SetColour(cr, Colour{1, 0.97, 0.8, 1});
  cairo_set_line_width(cr, 1.5);
  cairo_stroke(cr);
}

void Cabin(cairo_t* cr, double x, double base) {
  const double w = 150, h = 80;
  cairo_rectangle(cr, x, base - h, w, h);
  kit2d::VerticalGradient(cr, base - h, base, Colour{0.4, 0.24, 0.14, 1}, Colour{0.25, 0.15, 0.09, 1});
  cairo_fill(cr);
  for (int i = 1; i < 8; ++i) {
    cairo_rectangle(cr, x, base - h + i * 10, w, 1.2);
  }
  cairo_set_source_rgba(cr, 0, 0, 0, 0.25);
  cairo_fill(cr);
  // glowing windows
  for (double wx : {x + 18, x + 100}) {
    cairo_pattern_t* g = cairo_pattern_create_radial(wx + 16, base - 45, 4, wx + 16, base - 45, 50);
    cairo_pattern_add_color_stop_rgba(g, 0, 1, 0.8, 0.4, 0.45);
    cairo_pattern_add_color_stop_rgba(g, 1, 1, 0.8, 0.4, 0);
    cairo_set_source(cr, g);
    cairo_pattern_destroy(g);
    cairo_arc(cr, wx + 16, base - 45, 50, 0, 2 * M_PI);
    cairo_fill(cr);
    cairo_rectangle(cr, wx, base - 60, 32, 28);
    kit2d::VerticalGradient(cr, base - 60, base - 32, Col(look::kWarmLight), Colour{1, 0.6, 0.25, 1});
    cairo_fill(cr);
    cairo_rectangle(cr, wx + 15, base - 60, 2, 28);
    cairo_rectangle(cr, wx, base - 47, 32, 2);
    cairo_set_source_rgba(cr, 0.25, 0.15, 0.08, 1);
    cairo_fill(cr);
  }
  // door with a wreath
  cairo_rectangle(cr, x + 60, base - 52, 28, 52);
  kit2d::SetColour(cr, Colour{0.45, 0.12, 0.1, 1});
  cairo_fill(cr);
  cairo_new_path(cr);
  cairo_arc(cr, x + 74, base - 36, 8, 0, 2 * M_PI);
  kit2d::SetColour(cr, Col(look::kHollyGreen));
  cairo_set_line_width(cr, 4);
  cairo_stroke(cr);
  // snowy roof
  cairo_new_path(cr);
  cairo_move_to(cr, x - 16, base - h + 2);
  cairo_line_to(cr, x + w / 2, base - h - 56);
  cairo_line_to(cr, x + w + 16, base - h + 2);
  cairo_close_path(cr);
  kit2d::SetColour(cr, Colour{0.3, 0.12, 0.1, 1});
  cairo_fill(cr);
  cairo_new_path(cr);
  cairo_move_to(cr, x - 20, base - h + 4);
  cairo_line_to(cr, x + w / 2, base - h - 62);
  cairo_line_to(cr, x + w + 20, base - h + 4);
  cairo_curve_to(cr, x + w, base - h + 12, x + w - 20, base - h - 2, x + w - 30, base - h + 6);
  cairo_curve_to(cr, x + w / 2, base - h - 10, x + 30, base - h + 10, x - 20, base - h + 4);
  cairo_close_path(cr);
  kit2d::VerticalGradient(cr, base - h - 62, base - h + 10, kSnowC, Col(look::kSnowShade));
  cairo_fill(cr);
  // chimney
  cairo_rectangle(cr, x + w - 44, base - h - 50, 18, 34);
  kit2d::SetColour(cr, Colour{0.35, 0.18, 0.14, 1});
  cairo_fill(cr);
  cairo_rectangle(cr, x + w - 47, base - h - 55, 24, 7);
  kit2d::SetColour(cr, kSnowC);
  cairo_fill(cr);
}

bool WriteBackground(const std::string& path) {
  kit2d::Canvas canvas(1024, 1024);
  cairo_t* cr = canvas.Cr();
  kit2d::SetColour(cr, kFrame);
  cairo_paint(cr);
  cairo_rectangle(cr, 0, 0, 800, 600);
  cairo_clip(cr);
  // night sky
  cairo_rectangle(cr, 0, 0, 800, 600);
  kit2d::VerticalGradient(cr, 0, 460, Col(look::kNightDeep), Colour{0.2, 0.32, 0.56, 1});
  cairo_fill(cr);
  // aurora
  for (int band = 0; band < 3; ++band) {
    cairo_new_path(cr);
    const double y = 150 + band * 30;
    cairo_move_to(cr, 380, y + 40);
    cairo_curve_to(cr, 480, y - 40, 620, y + 60, 800, y - 20);
    cairo_line_to(cr, 800, y + 40);
    cairo_curve_to(cr, 620, y + 110, 480, y + 10, 380, y + 80);
    cairo_close_path(cr);
    cairo_set_source_rgba(cr, 0.3, 0.9, 0.6, 0.05 + 0.02 * band);
    cairo_fill(cr);
  }
  Lcg rng{2024};
  for (int i = 0; i < 260; ++i) {
    const double x = rng.Next() * 800, y = rng.Next() * 420, r = 0.4 + rng.Next() * 1.3;
    cairo_new_path(cr);
    cairo_arc(cr, x, y, r, 0, 2 * M_PI);
    cairo_set_source_rgba(cr, 1, 1, 0.95, 0.35 + 0.6 * rng.Next());
    cairo_fill(cr);
  }
  // moon
  cairo_pattern_t* g = cairo_pattern_create_radial(728, 82, 16, 728, 82, 100);
  cairo_pattern_add_color_stop_rgba(g, 0, 1, 0.97, 0.85, 0.35);
  cairo_pattern_add_color_stop_rgba(g, 1, 1, 0.97, 0.85, 0);
  cairo_set_source(cr, g);
  cairo_pattern_destroy(g);
  cairo_paint(cr);
  cairo_new_path(cr);
  cairo_arc(cr, 728, 82, 30, 0, 2 * M_PI);
  kit2d::SetColour(cr, Colour{1, 0.97, 0.86, 1});
  cairo_fill(cr);
  cairo_new_path(cr);
  cairo_arc(cr, 718, 75, 6, 0, 2 * M_PI);
  cairo_new_sub_path(cr);
  cairo_arc(cr, 737, 93, 4.5, 0, 2 * M_PI);
  cairo_set_source_rgba(cr, 0.8, 0.78, 0.7, 0.35);
  cairo_fill(cr);
  // far hills
  cairo_new_path(cr);
  cairo_move_to(cr, 0, 430);
  cairo_curve_to(cr, 150, 380, 300, 440, 450, 400);
  cairo_curve_to(cr, 600, 360, 700, 400, 800, 380);
  cairo_line_to(cr, 800, 600);
  cairo_line_to(cr, 0, 600);
  cairo_close_path(cr);
  kit2d::VerticalGradient(cr, 360, 600, Colour{0.55, 0.66, 0.84, 1}, Colour{0.36, 0.46, 0.68, 1});
  cairo_fill(cr);
  for (int i = 0; i < 12; ++i) PineTree(cr, 420 + i * 33 + (i % 3) * 7, 410 - (i % 2) * 8 + (i > 6 ? -12 : 0), 46 + (i % 3) * 10, 0.55);
  // near snow field
  cairo_new_path(cr);
  cairo_move_to(cr, 0, 520);
  cairo_curve_to(cr, 200, 470, 420, 500, 560, 470);
  cairo_curve_to(cr, 660, 450, 740, 470, 800, 460);
  cairo_line_to(cr, 800, 600);
  cairo_line_to(cr, 0, 600);
  cairo_close_path(cr);
  kit2d::VerticalGradient(cr, 450, 600, kSnowC, Col(look::kSnowShade));
  cairo_fill(cr);
  Cabin(cr, 470, 478);
  ChristmasTree(cr, 700, 500, 250);
  PineTree(cr, 430, 490, 90, 0.9);
  PineTree(cr, 770, 560, 70, 1);
  // gifts under the tree
  const double gx[3] = {640, 672, 736}, gw[3] = {30, 26, 34}, gh[3] = {24, 30, 22};
  for (int i = 0; i < 3; ++i) {
    const Colour c = Col(look::kPlayer[(i + 1) % 4]);
    cairo_rectangle(cr, gx[i], 505 - gh[i], gw[i], gh[i]);
    kit2d::VerticalGradient(cr, 505 - gh[i], 505, kit2d::Lighter(c, 0.2), kit2d::Darker(c, 0.2));
    cairo_fill(cr);
    cairo_rectangle(cr, gx[i] + gw[i] / 2 - 2.5, 505 - gh[i], 5, gh[i]);
    kit2d::SetColour(cr, kGoldC);
    cairo_fill(cr);
  }
  // the calm frosted panel under the menu's buttons
  kit2d::RoundedRect(cr, 44, 176, 362, 380, 24);
  cairo_set_source_rgba(cr, 0.03, 0.06, 0.16, 0.55);
  cairo_fill_preserve(cr);
  cairo_set_source_rgba(cr, 0.8, 0.9, 1, 0.35);
  cairo_set_line_width(cr, 2);
  cairo_stroke(cr);
  // falling snow, lighter over the panel
  for (int i = 0; i < 240; ++i) {
    const double x = rng.Next() * 800, y = rng.Next() * 600, r = 0.8 + rng.Next() * 2.2;
    const bool inPanel = x > 40 && x < 410 && y > 170 && y < 560;
    cairo_new_path(cr);
    cairo_arc(cr, x, y, r, 0, 2 * M_PI);
    cairo_set_source_rgba(cr, 1, 1, 1, (inPanel ? 0.15 : 0.45) + 0.3 * rng.Next() * (inPanel ? 0.3 : 1));
    cairo_fill(cr);
  }
  // the title
  TextStyle title;
  title.size = 96;
  title.fill = Col(look::kGold);
  title.outline = Col(look::kHollyRed);
  title.outlineWidth = 5;
  title.shadow = Colour{0, 0, 0, 0.55};
  title.shadowOffset = 5;
  cairo_save(cr);
  kit2d::TextInBox(cr, "Yule Rush", 40, 28, 560, 130, title);
  cairo_restore(cr);
  for (auto [x, y, s] : {std::tuple{60.0, 60.0, 14.0}, {590.0, 50.0, 10.0}, {575.0, 140.0, 8.0}}) {
    kit2d::StarPath(cr, x, y, s, s * 0.42);
    kit2d::SetColour(cr, Colour{1, 0.95, 0.7, 1});
    cairo_fill(cr);
  }
  cairo_reset_clip(cr);
  return canvas.WriteJpeg(path, 92);
}

bool WriteFigureStrip(const std::string& path, int player) {
  kit2d::Canvas canvas(512, 256);
  for (int f = 0; f < 4; ++f)
    art::DrawPortrait(canvas.Cr(), f, look::kPlayer[player], art::kCellW * f, 0);
  return canvas.WritePng(path);
}

}  // namespace

bool WriteInterfaceArt(const std::string& dataDir) {
  bool ok = WriteAtlas(dataDir + "/GUI_00_ES.png", kSpanish);
  ok = WriteAtlas(dataDir + "/GUI_00_EN.png", kEnglish) && ok;
  ok = WriteCursor(dataDir + "/GUI.png") && ok;
  ok = WriteBackground(dataDir + "/GUI_Fondo.jpg") && ok;
  for (int p = 0; p < 4; ++p)
    ok = WriteFigureStrip(dataDir + "/GUI_FigurasJugador_" + std::to_string(p) + ".png", p) && ok;
  return ok;
}

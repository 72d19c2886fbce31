// Draws the contact sheet and the four screen mock-ups from the generated pictures, each
// sprite cut from its atlas rectangle and placed where the screen puts it, so the art
// can be judged as a player will see it. Pictures go to build/artifacts/content/.
#include <cairo.h>
#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <vector>

#include "unit/content/ContentData.h"

namespace {

using content::Image;

// A cairo surface holding a picture from Data/ (PNG or JPEG).
class Picture {
 public:
  explicit Picture(const std::string& name) {
    Image img;
    const std::string path = content::DataDir() + "/" + name;
    const bool ok = name.substr(name.size() - 4) == ".jpg" ? content::LoadJpeg(path, img)
                                                            : content::LoadPng(path, img);
    if (!ok) return;
    s_ = cairo_image_surface_create(CAIRO_FORMAT_ARGB32, img.w, img.h);
    unsigned char* d = cairo_image_surface_get_data(s_);
    const int stride = cairo_image_surface_get_stride(s_);
    for (int y = 0; y < img.h; ++y)
      for (int x = 0; x < img.w; ++x) {
        const uint8_t* p = img.At(x, y);
        const uint32_t a = p[3];
        const uint32_t v = a << 24 | (p[0] * a / 255) << 16 | (p[1] * a / 255) << 8 | (p[2] * a / 255);
        reinterpret_cast<uint32_t*>(d + y * stride)[x] = v;
      }
    cairo_surface_mark_dirty(s_);
  }
  ~Picture() {
    if (s_) cairo_surface_destroy(s_);
  }
  Picture(const Picture&) = delete;
  Picture& operator=(const Picture&) = delete;
  cairo_surface_t* S() const { return s_; }

 private:
  cairo_surface_t* s_ = nullptr;
};

struct R {
  int x, y, w, h;
};

// Draws the cut-out `src` of `pic` so that its point `centre` lands on (px, py), scaled
// about that point; outside the texture the edge texels repeat, as the game's sampler does.
void Sprite(cairo_t* cr, const Picture& pic, R src, double px, double py, double cx = 0,
            double cy = 0, double scale = 1) {
  if (!pic.S()) return;
  cairo_save(cr);
  cairo_translate(cr, px, py);
  cairo_scale(cr, scale, scale);
  cairo_translate(cr, -cx, -cy);
  cairo_rectangle(cr, 0, 0, src.w, src.h);
  cairo_clip(cr);
  cairo_set_source_surface(cr, pic.S(), -src.x, -src.y);
  cairo_pattern_set_extend(cairo_get_source(cr), CAIRO_EXTEND_PAD);
  cairo_pattern_set_filter(cairo_get_source(cr), CAIRO_FILTER_BILINEAR);
  cairo_paint(cr);
  cairo_restore(cr);
}

// Text in the game's font: bold italic, 24 pixels high, top-left at (x, y).
void GameText(cairo_t* cr, const std::string& s, double x, double y, bool red) {
  cairo_save(cr);
  cairo_select_font_face(cr, "DejaVu Sans", CAIRO_FONT_SLANT_ITALIC, CAIRO_FONT_WEIGHT_BOLD);
  cairo_set_font_size(cr, 24);
  cairo_font_extents_t fe;
  cairo_font_extents(cr, &fe);
  cairo_move_to(cr, x, y + fe.ascent * 0.9);
  if (red) cairo_set_source_rgb(cr, 200 / 255.0, 0, 0);
  else cairo_set_source_rgb(cr, 0, 0, 1);
  cairo_show_text(cr, s.c_str());
  cairo_restore(cr);
}

// The frozen match behind the standings and the score display: a snowy field.
void FieldStandIn(cairo_t* cr) {
  cairo_pattern_t* p = cairo_pattern_create_linear(0, 0, 0, 600);
  cairo_pattern_add_color_stop_rgb(p, 0, 0.55, 0.68, 0.82);
  cairo_pattern_add_color_stop_rgb(p, 1, 0.93, 0.96, 1.0);
  cairo_set_source(cr, p);
  cairo_pattern_destroy(p);
  cairo_paint(cr);
  for (int i = 0; i < 6; ++i) {
    cairo_arc(cr, 120 + i * 120, 300 + (i % 2) * 120, 26, 0, 2 * M_PI);
    cairo_set_source_rgba(cr, 0.1, 0.35, 0.2, 0.6);
    cairo_fill(cr);
  }
}

bool Save(cairo_surface_t* s, const std::string& name) {
  return cairo_surface_write_to_png(s, (content::ArtifactDir() + "/" + name).c_str()) ==
         CAIRO_STATUS_SUCCESS;
}

void ScoreDisplay(cairo_t* cr, const Picture& sheet, const Picture* strips, int items,
                  const std::vector<int>& deliveredBy, const int* figures, const int* scores) {
  Sprite(cr, sheet, R{0, 530, 20 * items, 25}, 400, 10, 10 * items, 0);
  const R cells[4] = {{331, 503, 18, 16}, {359, 503, 18, 16}, {331, 483, 18, 16}, {359, 483, 18, 16}};
  for (size_t k = 0; k < deliveredBy.size(); ++k)
    Sprite(cr, sheet, cells[deliveredBy[k]], 401 - (20 * items) / 2 + 20 * static_cast<int>(k), 14);
  int best = 0;
  for (int i = 0; i < 4; ++i) best = std::max(best, scores[i]);
  for (int i = 0; i < 4; ++i)
    Sprite(cr, strips[i], R{figures[i] * 115, 0, 115, 75}, 30, 40 + 80 * i, 56, 37,
           scores[i] == best ? 1.0 : 0.6);
}

struct Screens {
  Picture atlas[2] = {Picture("GUI_00_ES.png"), Picture("GUI_00_EN.png")};
  Picture cursor{"GUI.png"};
  Picture background{"GUI_Fondo.jpg"};
  Picture strips[4] = {Picture("GUI_FigurasJugador_0.png"), Picture("GUI_FigurasJugador_1.png"),
                       Picture("GUI_FigurasJugador_2.png"), Picture("GUI_FigurasJugador_3.png")};
  // The score display asks for "GUI_00_ES.PNG"; the game's lookup ignores letter case, so
  // that is the Spanish atlas.
  const Picture& sheet = atlas[0];

  bool Loaded() const {
    for (const Picture& p : atlas)
      if (!p.S()) return false;
    for (const Picture& p : strips)
      if (!p.S()) return false;
    return cursor.S() && background.S();
  }

  void MainMenu(cairo_t* cr, int lang) {
    const Picture& a = atlas[lang];
    Sprite(cr, background, R{0, 0, 800, 600}, 0, 0);
    Sprite(cr, a, R{0, 40, 321, 40}, 64, 192);  // start, hovered
    Sprite(cr, a, R{0, 80, 321, 40}, 64, 495);
    Sprite(cr, a, R{0, 480, 320, 40}, 64, 247);
    Sprite(cr, a, R{895, 0, 50, 49}, 326, 322);
    Sprite(cr, a, R{895, 63, 50, 18}, 71, 337);
    Sprite(cr, a, R{768, 167, 102, 54}, 120, 310);  // two players
    Sprite(cr, a, R{0, 240, 321, 40}, 64, 423);
    Sprite(cr, cursor, R{0, 0, 88, 126}, 210, 212, 21, 17);
  }

  void Setup(cairo_t* cr, int lang) {
    const Picture& a = atlas[lang];
    cairo_set_source_rgb(cr, 0, 0, 0);
    cairo_paint(cr);
    Sprite(cr, a, R{400, 671, 400, 106}, 0, 494);
    Sprite(cr, a, R{400, 671, 400, 106}, 400, 494);
    const double px[4] = {0, 400, 0, 400}, py[4] = {0, 0, 250, 250};
    for (int i = 0; i < 4; ++i) Sprite(cr, a, R{0, 776, 400, 250}, px[i], py[i]);
    const int figures[4] = {0, 1, 2, 3};
    const double fx[4] = {46, 446, 46, 446}, fy[4] = {45, 45, 295, 295};
    for (int i = 0; i < 4; ++i) Sprite(cr, strips[i], R{115 * figures[i], 0, 115, 160}, fx[i], fy[i]);
    const R caption[4] = {{382, 0, 164, 105}, {558, 0, 164, 105}, {382, 112, 164, 105}, {558, 112, 164, 105}};
    const double cx[4] = {195, 195, 600, 600}, cy[4] = {109, 359, 109, 359};  // players 1, 3, 2, 4
    for (int i = 0; i < 4; ++i) Sprite(cr, a, caption[i], cx[i], cy[i]);
    const double sx[4] = {127, 528, 127, 528}, sy[4] = {168, 168, 419, 419};
    for (int i = 0; i < 4; ++i) Sprite(cr, a, i == 0 ? R{895, 87, 41, 42} : R{951, 87, 41, 42}, sx[i], sy[i]);
    const char* names[4] = {"WINKY", "DIN_", "PLINKY", "TINKY"};
    const double nx[4] = {190, 595, 190, 595}, ny[4] = {50, 50, 301, 301};
    for (int i = 0; i < 4; ++i) GameText(cr, names[i], nx[i], ny[i], false);
    Sprite(cr, a, R{400, 774, 400, 250}, 0, 250);  // players 3 and 4 do not take part
    Sprite(cr, a, R{400, 774, 400, 250}, 400, 250);
    Sprite(cr, a, R{0, 200, 321, 40}, 440, 528);  // play, hovered
    Sprite(cr, a, R{0, 320, 321, 40}, 40, 528);
    Sprite(cr, cursor, R{0, 0, 88, 126}, 100, 120, 21, 17);
  }

  void Standings(cairo_t* cr, int lang) { StandingsScreen(cr, lang, true); }
  void StandingsRows(cairo_t* cr, int lang) { StandingsScreen(cr, lang, false); }

  void StandingsScreen(cairo_t* cr, int lang, bool confirmOpen) {
    const Picture& a = atlas[lang];
    FieldStandIn(cr);
    const int figures[4] = {0, 1, 2, 3}, scores[4] = {3, 3, 1, 1};
    ScoreDisplay(cr, sheet, strips, 8, {0, 1, 0, 2, 1, 3, 0, 1}, figures, scores);
    Sprite(cr, a, R{400, 225, 439, 445}, 400, 300, 220, 222);
    Sprite(cr, a, confirmOpen ? R{0, 160, 321, 40} : R{0, 200, 321, 40}, 239, 382);
    Sprite(cr, a, R{0, 400, 321, 40}, 239, 437);
    const char* names[4] = {"WINKY", "DINKY", "PLINKY", "TINKY"};
    const int wins[4] = {3, 3, 1, 0};
    for (int i = 0; i < 4; ++i) {
      const bool top = wins[i] == wins[0];
      if (top) Sprite(cr, a, R{345, 225, 30, 40}, 260, 135 + 40 * i);
      GameText(cr, names[i], 295, 145 + 40 * i, top);
      GameText(cr, std::to_string(wins[i]), 470, 145 + 40 * i, top);
    }
    if (confirmOpen) {
      Sprite(cr, a, R{0, 564, 400, 210}, 400, 318, 200, 105);
      Sprite(cr, a, R{768, 40, 112, 40}, 272, 345);  // yes, hovered; no stays hidden
      Sprite(cr, cursor, R{0, 0, 88, 126}, 330, 362, 21, 17);
    } else {
      Sprite(cr, cursor, R{0, 0, 88, 126}, 420, 400, 21, 17);  // over continue
    }
  }

  void Match(cairo_t* cr) {
    FieldStandIn(cr);
    const int figures[4] = {0, 1, 2, 3}, scores[4] = {2, 1, 2, 0};
    ScoreDisplay(cr, sheet, strips, 8, {0, 2, 1, 0, 2}, figures, scores);
  }
};

// Colours of the screens' rectangles on the contact sheet.
struct Outline {
  R r;
  int screen;  // 0 menu, 1 setup, 2 standings, 3 score display
};
const Outline kOutlines[] = {
    {{0, 0, 321, 40}, 0},    {{0, 40, 321, 40}, 0},    {{0, 80, 321, 40}, 0},   {{0, 120, 321, 40}, 0},
    {{0, 240, 321, 40}, 0},  {{0, 280, 321, 40}, 0},   {{0, 480, 320, 40}, 0},  {{895, 0, 50, 49}, 0},
    {{959, 0, 50, 49}, 0},   {{895, 63, 50, 18}, 0},   {{959, 63, 50, 18}, 0},  {{768, 167, 206, 54}, 0},
    {{0, 160, 321, 40}, 1},  {{0, 200, 321, 40}, 1},   {{0, 320, 321, 40}, 1},  {{0, 360, 321, 40}, 1},
    {{382, 0, 164, 105}, 1}, {{558, 0, 164, 105}, 1},  {{382, 112, 164, 105}, 1}, {{558, 112, 164, 105}, 1},
    {{951, 87, 41, 42}, 1},  {{895, 87, 41, 42}, 1},   {{0, 776, 400, 250}, 1}, {{400, 671, 400, 106}, 1},
    {{400, 774, 400, 250}, 1}, {{400, 225, 439, 445}, 2}, {{0, 400, 321, 40}, 2}, {{0, 440, 321, 40}, 2},
    {{345, 225, 30, 40}, 2}, {{0, 564, 400, 210}, 2},  {{768, 40, 112, 40}, 2}, {{768, 120, 112, 40}, 2},
    {{72, 696, 112, 40}, 2}, {{216, 696, 112, 40}, 2}, {{0, 530, 320, 25}, 3},  {{331, 503, 18, 16}, 3},
    {{359, 503, 18, 16}, 3}, {{331, 483, 18, 16}, 3},  {{359, 483, 18, 16}, 3},
};

TEST(ContentSheet, ContactSheetAndScreenMockUps) {
  Screens s;
  ASSERT_TRUE(s.Loaded());
  // Mock-ups of the four screens, the three with lettering in both languages.
  const char* lang[2] = {"es", "en"};
  cairo_surface_t* screen = cairo_image_surface_create(CAIRO_FORMAT_ARGB32, 800, 600);
  for (int l = 0; l < 2; ++l) {
    using Draw = void (Screens::*)(cairo_t*, int);
    const std::pair<const char*, Draw> shots[] = {{"main_menu", &Screens::MainMenu},
                                                  {"player_setup", &Screens::Setup},
                                                  {"standings_confirm", &Screens::Standings},
                                                  {"standings", &Screens::StandingsRows}};
    for (const auto& [name, draw] : shots) {
      cairo_t* cr = cairo_create(screen);
      cairo_set_operator(cr, CAIRO_OPERATOR_SOURCE);
      cairo_set_source_rgb(cr, 0, 0, 0);
      cairo_paint(cr);
      cairo_set_operator(cr, CAIRO_OPERATOR_OVER);
      (s.*draw)(cr, l);
      cairo_destroy(cr);
      EXPECT_TRUE(Save(screen, std::string("mockup_") + name + "_" + lang[l] + ".png"));
    }
  }
  cairo_t* cr = cairo_create(screen);
  s.Match(cr);
  cairo_destroy(cr);
  EXPECT_TRUE(Save(screen, "mockup_score_display.png"));
  // In the setup mock-up the panels and bars leave no gap: every pixel is covered.
  {
    cairo_t* c = cairo_create(screen);
    cairo_set_operator(c, CAIRO_OPERATOR_CLEAR);
    cairo_paint(c);
    cairo_set_operator(c, CAIRO_OPERATOR_OVER);
    s.Setup(c, 0);
    cairo_destroy(c);
    cairo_surface_flush(screen);
    const unsigned char* d = cairo_image_surface_get_data(screen);
    const int stride = cairo_image_surface_get_stride(screen);
    int holes = 0;
    for (int y = 0; y < 600; ++y)
      for (int x = 0; x < 800; ++x)
        holes += (reinterpret_cast<const uint32_t*>(d + y * stride)[x] >> 24) != 255;
    EXPECT_EQ(holes, 0) << "uncovered pixels on the player setup";
  }
  cairo_surface_destroy(screen);

  // Contact sheet: both atlases with every screen's rectangles outlined, then the menu
  // background, the figure strips and the cursor.
  cairo_surface_t* sheet = cairo_image_surface_create(CAIRO_FORMAT_ARGB32, 2080, 1650);
  cr = cairo_create(sheet);
  cairo_set_source_rgb(cr, 0.45, 0.47, 0.52);
  cairo_paint(cr);
  const double colours[4][3] = {{1, 0.2, 0.2}, {0.1, 0.9, 0.2}, {0.2, 0.5, 1}, {1, 0.9, 0}};
  for (int l = 0; l < 2; ++l) {
    const double ox = 16 + l * 1048, oy = 16;
    Sprite(cr, s.atlas[l], R{0, 0, 1024, 1024}, ox, oy);
    for (const Outline& o : kOutlines) {
      cairo_rectangle(cr, ox + o.r.x + 0.5, oy + o.r.y + 0.5, o.r.w - 1, o.r.h - 1);
      cairo_set_source_rgba(cr, colours[o.screen][0], colours[o.screen][1], colours[o.screen][2], 0.9);
      cairo_set_line_width(cr, 1);
      cairo_stroke(cr);
    }
  }
  cairo_save(cr);
  cairo_translate(cr, 16, 1056);
  cairo_scale(cr, 0.7, 0.7);
  Sprite(cr, s.background, R{0, 0, 800, 600}, 0, 0);
  cairo_restore(cr);
  for (int p = 0; p < 4; ++p) Sprite(cr, s.strips[p], R{0, 0, 512, 256}, 600 + (p % 2) * 530, 1056 + (p / 2) * 270);
  Sprite(cr, s.cursor, R{0, 0, 128, 128}, 1680, 1056);
  cairo_destroy(cr);
  EXPECT_TRUE(Save(sheet, "contact_sheet.png"));
  cairo_surface_destroy(sheet);
}

}  // namespace

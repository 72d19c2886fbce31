// Checks the generated Data/ folder as the game will use it: every requested name, the
// picture sizes and the art inside every rectangle the screens cut, the calm places
// where the game writes text, the language atlases, the sounds, the music against the
// installed SoundFont, and that the generator is deterministic.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "Look.h"
#include "art/AtlasLayout.h"
#include "support/TestImages.h"
#include "unit/content/ContentData.h"

namespace {

using content::Image;

struct R {
  int x, y, w, h;
};

std::string Path(const std::string& name) { return content::DataDir() + "/" + name; }

Image Load(const std::string& name) {
  Image img;
  const bool ok = name.size() > 4 && name.substr(name.size() - 4) == ".jpg"
                      ? content::LoadJpeg(Path(name), img)
                      : content::LoadPng(Path(name), img);
  EXPECT_TRUE(ok) << name;
  return img;
}

struct Stats {
  double coverage = 0;    // share of pixels with alpha ≥ 32
  double opaque = 0;      // share with alpha 255
  double lumMean = 0, lumStd = 0;  // over covered pixels
  double r = 0, g = 0, b = 0;      // mean colour over covered pixels
};

Stats Measure(const Image& img, R r) {
  Stats s;
  double n = 0, sum = 0, sum2 = 0;
  int covered = 0, opaque = 0;
  for (int y = r.y; y < r.y + r.h && y < img.h; ++y)
    for (int x = r.x; x < r.x + r.w && x < img.w; ++x) {
      const uint8_t* p = img.At(x, y);
      n += 1;
      if (p[3] == 255) ++opaque;
      if (p[3] < 32) continue;
      ++covered;
      const double l = 0.2126 * p[0] + 0.7152 * p[1] + 0.0722 * p[2];
      sum += l;
      sum2 += l * l;
      s.r += p[0];
      s.g += p[1];
      s.b += p[2];
    }
  if (n == 0) return s;
  s.coverage = covered / n;
  s.opaque = opaque / n;
  if (covered) {
    s.lumMean = sum / covered;
    s.lumStd = std::sqrt(std::max(0.0, sum2 / covered - s.lumMean * s.lumMean));
    s.r /= covered;
    s.g /= covered;
    s.b /= covered;
  }
  return s;
}

const char* const kPictures[] = {"GUI_00_ES.png", "GUI_00_EN.png", "GUI.png", "GUI_Fondo.jpg",
                                 "GUI_FigurasJugador_0.png", "GUI_FigurasJugador_1.png",
                                 "GUI_FigurasJugador_2.png", "GUI_FigurasJugador_3.png"};
const char* const kSounds[] = {"AparecerItem.wav", "RecogerItem.wav", "RobarItem.wav",
                               "DepositarItem.wav"};
const char* const kMusic[] = {"TemaInterfaz_0.mid", "TemaInterfaz_1.mid", "TemaAccion_0.mid",
                              "TemaAccion_1.mid", "TemaAccion_2.mid"};

TEST(Content, EveryRequestedNameExistsWithItsExactSpelling) {
  std::vector<std::string> present;
  for (const auto& e : std::filesystem::directory_iterator(content::DataDir()))
    present.push_back(e.path().filename().string());
  auto has = [&](const std::string& n) {
    return std::find(present.begin(), present.end(), n) != present.end();
  };
  for (const char* n : kPictures) EXPECT_TRUE(has(n)) << n;
  for (const char* n : kSounds) EXPECT_TRUE(has(n)) << n;
  for (const char* n : kMusic) EXPECT_TRUE(has(n)) << n;
  // The score display asks for "GUI_00_ES.PNG": one file for a case-blind lookup, so
  // no second spelling may exist beside it.
  int atlases = 0;
  for (const std::string& n : present) {
    std::string up = n;
    std::transform(up.begin(), up.end(), up.begin(), ::toupper);
    if (up == "GUI_00_ES.PNG") ++atlases;
  }
  EXPECT_EQ(atlases, 1);
}

TEST(Content, PicturesHaveTheirSizes) {
  struct Want {
    const char* name;
    int w, h;
  };
  for (Want w : {Want{"GUI_00_ES.png", 1024, 1024}, {"GUI_00_EN.png", 1024, 1024},
                 {"GUI.png", 128, 128}, {"GUI_Fondo.jpg", 1024, 1024},
                 {"GUI_FigurasJugador_0.png", 512, 256}, {"GUI_FigurasJugador_1.png", 512, 256},
                 {"GUI_FigurasJugador_2.png", 512, 256}, {"GUI_FigurasJugador_3.png", 512, 256}}) {
    const Image img = Load(w.name);
    EXPECT_EQ(img.w, w.w) << w.name;
    EXPECT_EQ(img.h, w.h) << w.name;
  }
}

// Every rectangle that the menus, the setup, the standings and the score display cut
// from the atlas, as the screens state them.
struct Cut {
  const char* what;
  R r;
};
const Cut kCuts[] = {
    {"start", {0, 0, 321, 40}},          {"start lit", {0, 40, 321, 40}},
    {"quit", {0, 80, 321, 40}},          {"quit lit", {0, 120, 321, 40}},
    {"play/continue", {0, 160, 321, 40}}, {"play/continue lit", {0, 200, 321, 40}},
    {"language", {0, 240, 321, 40}},     {"language lit", {0, 280, 321, 40}},
    {"back", {0, 320, 321, 40}},         {"back lit", {0, 360, 321, 40}},
    {"leave", {0, 400, 321, 40}},        {"leave lit", {0, 440, 321, 40}},
    {"count caption", {0, 480, 320, 40}}, {"more", {895, 0, 50, 49}},
    {"more lit", {959, 0, 50, 49}},      {"fewer", {895, 63, 50, 18}},
    {"fewer lit", {959, 63, 50, 18}},    {"strip, 1 player", {768, 167, 50, 54}},
    {"caption 1", {382, 0, 164, 105}},   {"caption 3", {558, 0, 164, 105}},
    {"caption 2", {382, 112, 164, 105}}, {"caption 4", {558, 112, 164, 105}},
    {"switch", {951, 87, 41, 42}},       {"switch lit", {895, 87, 41, 42}},
    {"bottom bar", {400, 671, 400, 106}}, {"player panel", {0, 776, 400, 248}},
    {"inactive cover", {400, 774, 400, 250}}, {"standings panel", {400, 225, 439, 445}},
    {"row highlight", {345, 225, 30, 40}}, {"confirmation", {0, 564, 400, 210}},
    {"yes choice", {72, 696, 112, 40}},  {"no choice", {216, 696, 112, 40}},
    {"yes lit", {768, 40, 112, 40}},     {"no lit", {768, 120, 112, 40}},
    {"score bar, 16 items", {0, 530, 320, 25}}, {"cell 1", {331, 503, 18, 16}},
    {"cell 2", {359, 503, 18, 16}},      {"cell 3", {331, 483, 18, 16}},
    {"cell 4", {359, 483, 18, 16}},      {"controller symbol", {856, 240, 48, 32}},
};

TEST(Content, EveryCutOfBothAtlasesHoldsArt) {
  for (const char* name : {"GUI_00_ES.png", "GUI_00_EN.png"}) {
    const Image img = Load(name);
    ASSERT_EQ(img.w, 1024);
    for (const Cut& c : kCuts) {
      const Stats s = Measure(img, c.r);
      EXPECT_GT(s.coverage, 0.35) << name << ": " << c.what;
      EXPECT_GT(s.lumStd, 4.0) << name << ": " << c.what << " is a flat fill";
    }
    // The setup screen has no backdrop: its panels and bars must be opaque, and the
    // panel's last row must be a plain row, since the two rows past the atlas repeat it.
    for (R r : {R{0, 776, 400, 248}, R{400, 671, 400, 106}})
      EXPECT_EQ(Measure(img, r).opaque, 1.0) << name;
    const Stats last = Measure(img, R{0, 1023, 400, 1});
    EXPECT_LT(last.lumStd, 0.5) << name;
    EXPECT_EQ(Measure(img, R{0, 1022, 400, 1}).lumMean, last.lumMean) << name;
    // The rows shared by the bottom bar and the inactive cover: a plain opaque line.
    const Stats shared = Measure(img, R{400, 774, 400, 3});
    EXPECT_EQ(shared.opaque, 1.0);
    EXPECT_LT(shared.lumStd, 0.5);
  }
}

TEST(Content, ThePlayerCountStripShowsOneBadgePerPlayer) {
  const Image img = Load("GUI_00_ES.png");
  for (int count = 1; count <= 4; ++count) {
    const int w = 50 + 52 * (count - 1);
    int runs = 0;
    bool in = false;
    for (int x = 768; x < 768 + w; ++x) {
      const bool covered = img.At(x, 167 + 27)[3] >= 128;
      if (covered && !in) ++runs;
      in = covered;
    }
    EXPECT_EQ(runs, count) << "strip width " << w;
    // the cut ends on the last badge's edge: the next badge starts past it
    EXPECT_LT(img.At(768 + w, 167 + 27)[3], 128) << w;
  }
}

TEST(Content, ScoreBarCellsRepeatSoEveryItemCountReads) {
  const Image img = Load("GUI_00_ES.png");
  for (int k = 1; k < 16; ++k)
    for (int y = 530; y < 555; ++y)
      for (int x = 0; x < 20; ++x)
        ASSERT_TRUE(std::equal(img.At(x, y), img.At(x, y) + 4, img.At(20 * k + x, y)))
            << "cell " << k << " differs at " << x << "," << y;
  // Each player's marker cell is opaque, close to the player's colour and unlike the others.
  Stats cells[4];
  const R where[4] = {{331, 503, 18, 16}, {359, 503, 18, 16}, {331, 483, 18, 16}, {359, 483, 18, 16}};
  for (int p = 0; p < 4; ++p) {
    cells[p] = Measure(img, where[p]);
    EXPECT_GT(cells[p].opaque, 0.85) << p;
    const look::Rgb c = look::kPlayer[p];
    EXPECT_LT(std::hypot(cells[p].r - c.r, cells[p].g - c.g, cells[p].b - c.b), 70.0) << p;
  }
  for (int a = 0; a < 4; ++a)
    for (int b = a + 1; b < 4; ++b)
      EXPECT_GT(std::hypot(cells[a].r - cells[b].r, cells[a].g - cells[b].g, cells[a].b - cells[b].b), 60.0);
}

// Where the game writes with its own font, the art must stay plain and light so that the
// blue and red lettering reads.
TEST(Content, PlacesWhereTheGameWritesAreCalm) {
  for (const char* name : {"GUI_00_ES.png", "GUI_00_EN.png"}) {
    const Image img = Load(name);
    std::vector<std::pair<const char*, R>> spots;
    for (int i = 0; i < 4; ++i) {
      // standings rows: names at screen x 295, wins at 470, y 145 + 40 i; the panel's
      // top-left lands at screen (180, 78)
      spots.push_back({"standings name", R{400 + 295 - 180, 225 + 145 + 40 * i - 78, 150, 24}});
      spots.push_back({"standings wins", R{400 + 470 - 180, 225 + 145 + 40 * i - 78, 50, 24}});
    }
    spots.push_back({"setup name field", R{190, 776 + 50, 175, 26}});
    for (const auto& [what, r] : spots) {
      const Stats s = Measure(img, r);
      EXPECT_EQ(s.opaque, 1.0) << name << ": " << what;
      EXPECT_GT(s.lumMean, 180.0) << name << ": " << what;
      EXPECT_LT(s.lumStd, 12.0) << name << ": " << what;
    }
    // Under the continue and leave buttons (screen y 382 and 437).
    for (int sy : {382, 437}) {
      const Stats s = Measure(img, R{400 + 239 - 180, 225 + sy - 78, 321, 40});
      EXPECT_LT(s.lumStd, 12.0) << name << " under the button at y " << sy;
    }
  }
  // The menu background behind the buttons and the player count.
  const Image bg = Load("GUI_Fondo.jpg");
  for (R r : {R{64, 192, 321, 40}, R{64, 247, 320, 40}, R{71, 310, 305, 61}, R{64, 423, 321, 40},
              R{64, 495, 321, 40}})
    EXPECT_LT(Measure(bg, r).lumStd, 25.0) << r.x << "," << r.y;
  EXPECT_GT(Measure(bg, R{0, 0, 800, 600}).lumStd, 30.0) << "the scene itself is not flat";
}

TEST(Content, ConfirmationHighlightsCoverTheirChoices) {
  const Image img = Load("GUI_00_EN.png");
  // The highlight sprites land exactly on the choices' art: same button outline.
  for (auto [choice, lit] : {std::pair{R{72, 696, 112, 40}, R{768, 40, 112, 40}},
                             std::pair{R{216, 696, 112, 40}, R{768, 120, 112, 40}}}) {
    int both = 0, either = 0;
    for (int y = 0; y < 40; ++y)
      for (int x = 0; x < 112; ++x) {
        const bool a = img.At(choice.x + x, choice.y + y)[3] == 255;
        const bool b = img.At(lit.x + x, lit.y + y)[3] >= 128;
        both += a && b;
        either += a || b;
      }
    EXPECT_GT(static_cast<double>(both) / either, 0.85);
  }
}

TEST(Content, LanguagesDifferInsideTextAreasOnly) {
  const Image es = Load("GUI_00_ES.png"), en = Load("GUI_00_EN.png");
  ASSERT_EQ(es.rgba.size(), en.rgba.size());
  auto inText = [](int x, int y) {
    for (const atlas::TextArea& t : atlas::kTextAreas)
      if (x >= t.r.x && x < t.r.x + t.r.w && y >= t.r.y && y < t.r.y + t.r.h) return true;
    return false;
  };
  int outside = 0;
  for (int y = 0; y < es.h; ++y)
    for (int x = 0; x < es.w; ++x)
      if (!inText(x, y) && !std::equal(es.At(x, y), es.At(x, y) + 4, en.At(x, y))) ++outside;
  EXPECT_EQ(outside, 0);
  for (const atlas::TextArea& t : atlas::kTextAreas) {
    int diff = 0;
    for (int y = t.r.y; y < t.r.y + t.r.h; ++y)
      for (int x = t.r.x; x < t.r.x + t.r.w; ++x)
        diff += !std::equal(es.At(x, y), es.At(x, y) + 4, en.At(x, y));
    if (t.differs) EXPECT_GT(diff, 20) << t.r.x << "," << t.r.y;
    else EXPECT_EQ(diff, 0) << t.r.x << "," << t.r.y;
  }
}

TEST(Content, CursorTipSitsOnTheHotSpot) {
  const Image cur = Load("GUI.png");
  ASSERT_EQ(cur.w, 128);
  EXPECT_GT(cur.At(21, 17)[3], 128);
  EXPECT_GT(Measure(cur, R{24, 24, 10, 20}).opaque, 0.9) << "the arrow runs down and right";
  EXPECT_EQ(Measure(cur, R{0, 0, 12, 128}).coverage, 0.0) << "nothing left of the tip";
  EXPECT_EQ(Measure(cur, R{0, 0, 128, 8}).coverage, 0.0) << "nothing above the tip";
  EXPECT_EQ(Measure(cur, R{88, 0, 40, 128}).coverage, 0.0);
}

TEST(Content, FigureStripsShowEveryFigureInThePlayersColour) {
  for (int p = 0; p < 4; ++p) {
    const Image strip = Load("GUI_FigurasJugador_" + std::to_string(p) + ".png");
    ASSERT_EQ(strip.w, 512);
    const look::Rgb c = look::kPlayer[p];
    for (int f = 0; f < 4; ++f) {
      EXPECT_GT(Measure(strip, R{115 * f, 0, 115, 160}).coverage, 0.25) << p << "/" << f;
      EXPECT_GT(Measure(strip, R{115 * f, 0, 115, 75}).coverage, 0.2) << "face of " << p << "/" << f;
      // The score display shows only the face: the player colour must be in it.
      int own = 0;
      for (int y = 0; y < 75; ++y)
        for (int x = 115 * f; x < 115 * f + 115; ++x) {
          const uint8_t* px = strip.At(x, y);
          own += px[3] > 200 && std::hypot(px[0] - c.r, px[1] - c.g, px[2] - c.b) < 60;
        }
      EXPECT_GT(own, 150) << "player colour in the face of " << p << "/" << f;
    }
    // Before its first frame the setup shows (0, 0, 115, 164): the rows under the first
    // cell stay empty.
    EXPECT_EQ(Measure(strip, R{0, 160, 115, 4}).coverage, 0.0) << p;
    // nothing spills over a cell's edge into the next (the cells are cut side by side)
    for (int f = 1; f < 4; ++f) EXPECT_LT(Measure(strip, R{115 * f - 1, 0, 2, 160}).coverage, 0.3);
  }
}

// CIELAB distance of the player colours under simulated colour-vision deficiencies
// (full-severity protanopia and deuteranopia, applied in linear RGB).
TEST(Content, PlayerColoursStayApartForColourBlindPlayers) {
  const double kNone[9] = {1, 0, 0, 0, 1, 0, 0, 0, 1};
  const double kProtan[9] = {0.152286, 1.052583, -0.204868, 0.114503, 0.786281, 0.099216,
                             -0.003882, -0.048116, 1.051998};
  const double kDeutan[9] = {0.367322, 0.860646, -0.227968, 0.280085, 0.672501, 0.047413,
                             -0.011820, 0.042940, 0.968881};
  auto lab = [](const double* m, look::Rgb c, double out[3]) {
    auto lin = [](double v) {
      v /= 255;
      return v <= 0.04045 ? v / 12.92 : std::pow((v + 0.055) / 1.055, 2.4);
    };
    const double in[3] = {lin(c.r), lin(c.g), lin(c.b)};
    double rgb[3];
    for (int i = 0; i < 3; ++i)
      rgb[i] = std::clamp(m[i * 3] * in[0] + m[i * 3 + 1] * in[1] + m[i * 3 + 2] * in[2], 0.0, 1.0);
    const double X = (0.4124 * rgb[0] + 0.3576 * rgb[1] + 0.1805 * rgb[2]) / 0.95047;
    const double Y = 0.2126 * rgb[0] + 0.7152 * rgb[1] + 0.0722 * rgb[2];
    const double Z = (0.0193 * rgb[0] + 0.1192 * rgb[1] + 0.9505 * rgb[2]) / 1.08883;
    auto f = [](double t) { return t > 216.0 / 24389 ? std::cbrt(t) : (24389.0 / 27 * t + 16) / 116; };
    out[0] = 116 * f(Y) - 16;
    out[1] = 500 * (f(X) - f(Y));
    out[2] = 200 * (f(Y) - f(Z));
  };
  for (const double* m : {kNone, kProtan, kDeutan}) {
    double l[4][3];
    for (int p = 0; p < 4; ++p) lab(m, look::kPlayer[p], l[p]);
    for (int a = 0; a < 4; ++a)
      for (int b = a + 1; b < 4; ++b)
        EXPECT_GT(std::hypot(l[a][0] - l[b][0], l[a][1] - l[b][1], l[a][2] - l[b][2]), 30.0)
            << "players " << a + 1 << " and " << b + 1;
  }
}

TEST(Content, SoundEffectsAreShortCleanAndDistinct) {
  struct Feature {
    double seconds, crossings, centre;  // zero crossings per second; energy centre in s
  };
  std::vector<Feature> features;
  for (const char* name : kSounds) {
    content::Wav w;
    ASSERT_TRUE(content::LoadWav(Path(name), w)) << name;
    EXPECT_EQ(w.format, 1) << name;
    EXPECT_EQ(w.bits, 16) << name;
    EXPECT_EQ(w.rate, 44100) << name;
    EXPECT_GE(w.Seconds(), 0.1) << name;
    EXPECT_LE(w.Seconds(), 1.5) << name;
    float peak = 0;
    double energy = 0, moment = 0;
    int crossings = 0;
    for (size_t i = 0; i < w.samples.size(); ++i) {
      peak = std::max(peak, std::fabs(w.samples[i]));
      energy += w.samples[i] * w.samples[i];
      moment += w.samples[i] * w.samples[i] * i / w.rate;
      if (i && (w.samples[i - 1] < 0) != (w.samples[i] < 0)) ++crossings;
    }
    const double db = 20 * std::log10(peak);
    EXPECT_GE(db, -6.0) << name;
    EXPECT_LE(db, -1.0) << name;
    // no click: the first and last samples start from and return to silence
    EXPECT_LT(std::fabs(w.samples.front()), 0.01) << name;
    EXPECT_LT(std::fabs(w.samples.back()), 0.01) << name;
    features.push_back({w.Seconds(), crossings / w.Seconds(), moment / energy});
  }
  for (size_t a = 0; a < features.size(); ++a)
    for (size_t b = a + 1; b < features.size(); ++b) {
      const Feature &x = features[a], &y = features[b];
      const bool apart = std::fabs(x.seconds - y.seconds) > 0.15 ||
                         std::fabs(x.crossings - y.crossings) > 0.15 * std::max(x.crossings, y.crossings) ||
                         std::fabs(x.centre - y.centre) > 0.1;
      EXPECT_TRUE(apart) << kSounds[a] << " and " << kSounds[b] << " are alike";
    }
}

TEST(Content, MusicFitsTheSoundFontAndEndsCleanly) {
  content::SoundFont sf;
  ASSERT_TRUE(content::LoadSoundFont("/usr/share/sounds/sf2/FluidR3_GM.sf2", sf));
  double notesPerSecond[5];
  for (int i = 0; i < 5; ++i) {
    const char* name = kMusic[i];
    content::MidiFile m;
    ASSERT_TRUE(content::LoadMidi(Path(name), m)) << name;
    EXPECT_EQ(m.format, 1) << name;
    EXPECT_GE(m.seconds, 45.0) << name;
    EXPECT_LE(m.seconds, 180.0) << name;
    EXPECT_EQ(m.hangingNotes, 0) << name;
    int perChannel[16] = {}, bells = 0;
    double lastNote = 0;
    for (const auto& n : m.notes) {
      ++perChannel[n.channel];
      bells += n.channel == 9 && n.key == 83;
      lastNote = std::max(lastNote, n.end);
      // every note sounds in the preset its channel selected
      const std::vector<bool>* keys = sf.Find(n.channel == 9 ? 128 : 0, n.program);
      ASSERT_NE(keys, nullptr) << name << ": program " << n.program << " on channel " << n.channel;
      ASSERT_TRUE((*keys)[n.key]) << name << ": key " << n.key << " on channel " << n.channel;
    }
    for (const auto& [ch, prog] : m.programs)
      EXPECT_NE(sf.Find(ch == 9 ? 128 : 0, prog), nullptr) << name << ": program " << prog;
    // melody, chords, bass, percussion with sleigh bells
    for (int ch : {0, 1, 2, 9}) EXPECT_GT(perChannel[ch], 20) << name << " channel " << ch;
    EXPECT_GT(bells, 20) << name;
    // the last note is released with a moment of silence before the end
    EXPECT_LT(lastNote, m.seconds - 0.5) << name;
    notesPerSecond[i] = m.notes.size() / m.seconds;
  }
  // the menu pieces are calmer than the match pieces
  for (int calm : {0, 1})
    for (int lively : {2, 3, 4}) EXPECT_LT(notesPerSecond[calm], notesPerSecond[lively]);
}

TEST(Content, GeneratorWritesTheSameBytesEveryRun) {
  TempDir dir;
  ASSERT_FALSE(dir.Path().empty());
  const std::string cmd = std::string("\"") + YULE_DATAGEN_EXE + "\" \"" + dir.Path() + "\" > /dev/null 2>&1";
  ASSERT_EQ(std::system(cmd.c_str()), 0);
  auto read = [](const std::filesystem::path& p) {
    std::ifstream in(p, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
  };
  int compared = 0;
  for (const auto& e : std::filesystem::directory_iterator(dir.Path())) {
    const std::string name = e.path().filename().string();
    EXPECT_EQ(read(e.path()), read(Path(name))) << name;
    ++compared;
  }
  EXPECT_GE(compared, 17);
}

}  // namespace

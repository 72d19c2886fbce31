// SoundFont 2 files: what the writer writes reads back, the reader refuses truncated and
// corrupt files without reading past them, and the trimming tool keeps exactly what a
// piece can sound, following the synthesiser's choice of preset.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <set>
#include <string>
#include <vector>

#include "platform/dmusic/SoundFont2.h"
#include "support/TestImages.h"

namespace sf2 = platform::dmusic::sf2;

namespace {

sf2::SubChunk Info(const char* id, const std::string& bytes) {
  sf2::SubChunk c;
  std::memcpy(c.id, id, 4);
  c.bytes = bytes;
  return c;
}

sf2::Zone Z(std::vector<sf2::Generator> gens) {
  sf2::Zone z;
  z.generators = std::move(gens);
  return z;
}
void Name(char (&to)[20], const std::string& name) {
  std::memset(to, 0, sizeof to);
  std::memcpy(to, name.data(), std::min(name.size(), sizeof to - 1));
}
std::uint16_t Range(int lo, int hi) { return static_cast<std::uint16_t>(lo | hi << 8); }

// A font of presets (bank, program); each has its own instrument with a global zone and
// three zones: low keys, high keys soft, high keys loud, on samples named "<n>lo",
// "<n>hs", "<n>hl" for preset n. Preset 4's low sample is the left half of a stereo pair.
sf2::SoundFont Font(const std::vector<std::pair<int, int>>& programs) {
  sf2::SoundFont f;
  f.info = {Info("ifil", std::string("\x02\0\x01\0", 4)), Info("INAM", std::string("Test\0\0", 6))};
  auto sample = [&](const std::string& name, std::uint16_t type = 1, std::uint16_t link = 0) {
    sf2::Sample s;
    Name(s.name, name);
    s.start = static_cast<std::uint32_t>(f.smpl.size() / 2);
    for (int i = 0; i < 100; ++i) {
      const auto v = static_cast<std::uint16_t>(f.samples.size() * 100 + i);
      f.smpl.push_back(static_cast<std::uint8_t>(v & 0xFF));
      f.smpl.push_back(static_cast<std::uint8_t>(v >> 8));
    }
    s.end = s.start + 100;
    s.loopStart = s.start + 10;
    s.loopEnd = s.start + 90;
    s.rate = 22050;
    s.pitch = 60;
    s.type = type;
    s.link = link;
    f.samples.push_back(s);
    f.smpl.resize(f.smpl.size() + 92, 0);
    return static_cast<std::uint16_t>(f.samples.size() - 1);
  };
  for (std::size_t n = 0; n < programs.size(); ++n) {
    const std::string tag = std::to_string(n);
    const std::uint16_t lo = n == 4 ? sample(tag + "lo", sf2::kLeftSample, 0) : sample(tag + "lo");
    const std::uint16_t hs = sample(tag + "hs"), hl = sample(tag + "hl");
    if (n == 4) {  // the right half, named by no zone
      const std::uint16_t partner = sample(tag + "pa", sf2::kRightSample, lo);
      f.samples[lo].link = partner;
    }
    sf2::Instrument inst;
    Name(inst.name, "I" + tag);
    inst.zones = {Z({{17, 100}}),  // pan: a global zone
                  Z({{sf2::kGenKeyRange, Range(0, 63)}, {sf2::kGenSampleId, lo}}),
                  Z({{sf2::kGenKeyRange, Range(64, 127)}, {sf2::kGenVelRange, Range(0, 63)}, {sf2::kGenSampleId, hs}}),
                  Z({{sf2::kGenKeyRange, Range(64, 127)}, {sf2::kGenVelRange, Range(64, 127)}, {sf2::kGenSampleId, hl}})};
    inst.zones[1].modulators.push_back({0x0502, 48, 960, 0, 0});
    f.instruments.push_back(inst);
    sf2::Preset p;
    Name(p.name, "P" + tag);
    p.bank = static_cast<std::uint16_t>(programs[n].first);
    p.program = static_cast<std::uint16_t>(programs[n].second);
    p.zones = {Z({{sf2::kGenInstrument, static_cast<std::uint16_t>(n)}})};
    f.presets.push_back(p);
  }
  f.points = static_cast<std::uint32_t>(f.smpl.size() / 2);
  return f;
}

std::string Bytes(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), {});
}
void Put(const std::string& path, const std::string& bytes) {
  std::ofstream(path, std::ios::binary) << bytes;
}

void PutLe(std::string& s, std::size_t at, std::uint32_t v, int size) {
  for (int i = 0; i < size; ++i) s[at + i] = static_cast<char>(v >> (8 * i) & 0xFF);
}
// Offset of a chunk's body, found by its id.
std::size_t Body(const std::string& s, const char* id) { return s.find(id) + 8; }

TEST(SoundFont2, WhatIsWrittenReadsBackAndDamagedFilesAreRefused) {
  TempDir dir;
  const std::string path = dir.Path() + "/t.sf2";
  const sf2::SoundFont font = Font({{0, 0}, {0, 5}, {1, 5}, {128, 0}, {0, 7}});
  std::string why;
  ASSERT_TRUE(sf2::Write(path, font, &why)) << why;
  EXPECT_FALSE(std::filesystem::exists(path + ".part"));
  sf2::SoundFont back;
  ASSERT_TRUE(sf2::Read(path, &back, &why)) << why;
  ASSERT_EQ(back.presets.size(), 5u);
  ASSERT_EQ(back.instruments.size(), 5u);
  ASSERT_EQ(back.samples.size(), 16u);
  EXPECT_EQ(back.points, font.points);
  EXPECT_EQ(back.presets[2].bank, 1);
  EXPECT_EQ(back.presets[2].program, 5);
  EXPECT_EQ(back.instruments[3].zones[2].generators[1].amount, Range(0, 63));
  EXPECT_EQ(back.instruments[3].zones[1].modulators[0].amount, 960);
  EXPECT_EQ(back.samples[7].loopEnd, font.samples[7].loopEnd);
  EXPECT_STREQ(back.samples[15].name, "4pa");
  EXPECT_EQ(back.samples[12].link, 15);
  sf2::SoundFont copy;
  ASSERT_TRUE(sf2::CopyPoints(path, back, font.samples[1].start, 3, &copy, &why)) << why;
  EXPECT_EQ(copy.smpl, std::vector<std::uint8_t>({100, 0, 101, 0, 102, 0}));

  const std::string good = Bytes(path);
  // Cut anywhere, the file is refused.
  for (std::size_t cut = 0; cut < good.size(); cut += 41) {
    Put(path, good.substr(0, cut));
    EXPECT_FALSE(sf2::Read(path, &back, &why)) << cut;
  }
  struct Case {
    const char* what;
    void (*damage)(std::string&);
  };
  const Case cases[] = {
      {"not RIFF", [](std::string& s) { s[3] = 'X'; }},
      {"a chunk far past its list", [](std::string& s) { PutLe(s, s.find("pgen") + 4, 0xFFFFFFF0u, 4); }},
      {"records cut short", [](std::string& s) { PutLe(s, s.find("phdr") + 4, 37, 4); }},
      {"a missing sample header chunk", [](std::string& s) { s.replace(s.find("shdr"), 4, "xhdr"); }},
      {"no sample data", [](std::string& s) { s.replace(s.find("smpl"), 4, "xmpl"); }},
      {"version 1", [](std::string& s) { s[Body(s, "ifil")] = 1; }},
      {"a bag past the generators", [](std::string& s) { PutLe(s, Body(s, "pbag") + 4, 900, 2); }},
      {"bags running backwards", [](std::string& s) { PutLe(s, Body(s, "phdr") + 38 + 24, 9, 2); }},
      {"a missing instrument", [](std::string& s) { PutLe(s, Body(s, "pgen") + 2, 5, 2); }},
      {"a missing sample", [](std::string& s) { PutLe(s, Body(s, "igen") + 4 * 2 + 2, 16, 2); }},
      {"a sample past the data", [](std::string& s) { PutLe(s, Body(s, "shdr") + 24, 1u << 30, 4); }},
  };
  for (const Case& c : cases) {
    std::string bad = good;
    c.damage(bad);
    Put(path, bad);
    why.clear();
    EXPECT_FALSE(sf2::Read(path, &back, &why)) << c.what;
    EXPECT_FALSE(why.empty()) << c.what;
  }
  EXPECT_FALSE(sf2::Read(dir.Path() + "/absent.sf2", &back, &why));
}

#ifdef YULE_SFTRIM_EXE
// A format-0 piece of raw channel events, one tick apart unless given.
std::string Piece(const std::vector<std::vector<int>>& events) {
  std::string track;
  for (const auto& e : events) {
    track.push_back(static_cast<char>(e[0] >= 0 ? 100 : 0));  // delta
    for (std::size_t i = 1; i < e.size(); ++i) track.push_back(static_cast<char>(e[i]));
  }
  track += std::string("\x00\xFF\x2F\x00", 4);
  std::string out("MThd\0\0\0\6\0\0\0\1\1\xE0MTrk", 18);
  for (int i = 3; i >= 0; --i) out.push_back(static_cast<char>(track.size() >> (8 * i) & 0xFF));
  return out + track;
}

int Trim(const std::string& out, const std::string& font, const std::string& piece) {
  const std::string cmd = std::string("\"") + YULE_SFTRIM_EXE + "\" \"" + out + "\" \"" + piece +
                          "\" --font \"" + font + "\" > /dev/null 2>&1";
  return std::system(cmd.c_str());
}

TEST(SoundFont2, TrimmingKeepsWhatThePieceSoundsThroughTheSynthesisersChoiceOfPreset) {
  TempDir dir;
  const std::string full = dir.Path() + "/full.sf2", out = dir.Path() + "/out.sf2";
  const std::string piece = dir.Path() + "/p.mid";
  // Presets: 0 (0,0)  1 (0,5)  2 (1,5)  3 (128,0)  4 (0,7)  5 (8,9)
  ASSERT_TRUE(sf2::Write(full, Font({{0, 0}, {0, 5}, {1, 5}, {128, 0}, {0, 7}, {8, 9}}), nullptr));
  Put(piece, Piece({
                 {1, 0x90, 60, 100},            // before any program: the default, 0 low
                 {1, 0xB0, 0, 1}, {1, 0xC0, 5},  // bank 1 program 5
                 {1, 0x90, 70, 30},             // 2 high soft
                 {1, 0xC1, 9}, {1, 0x91, 70, 100},  // (0,9) is missing: bank 0's first, 0 high loud
                 {1, 0xB9, 0, 5}, {1, 0xC9, 3},  // the drum channel ignores the bank; (128,3)
                 {1, 0x99, 40, 100},            // is missing: the standard kit, 3 low
                 {1, 0xB2, 0, 8}, {1, 0xC2, 7},  // (8,7) is missing: (0,7), 4 low (and its partner)
                 {1, 0x92, 30, 10},
                 {1, 0xC3, 5},                  // chosen but never sounded: (0,5) stays out
                 {1, 0x93, 80, 0},              // a note-on at velocity 0 is a note-off
                 {1, 0x80, 60, 0},
             }));
  ASSERT_EQ(Trim(out, full, piece), 0);
  sf2::SoundFont trimmed;
  std::string why;
  ASSERT_TRUE(sf2::Read(out, &trimmed, &why)) << why;
  std::set<std::string> presets, samples;
  for (const sf2::Preset& p : trimmed.presets) presets.insert(p.name);
  for (const sf2::Sample& s : trimmed.samples) samples.insert(s.name);
  EXPECT_EQ(presets, (std::set<std::string>{"P0", "P2", "P3", "P4"}));
  EXPECT_EQ(samples, (std::set<std::string>{"0lo", "0hl", "2hs", "3lo", "4lo", "4pa"}));
  // Zones keep their order, global zone first, generators and modulators with them;
  // samples keep their points and their loops relative to their start.
  const sf2::Instrument& i0 = trimmed.instruments[0];
  ASSERT_EQ(i0.zones.size(), 3u);
  EXPECT_EQ(i0.zones[0].generators[0].oper, 17);
  EXPECT_EQ(i0.zones[1].modulators.size(), 1u);
  for (const sf2::Sample& s : trimmed.samples) {
    EXPECT_EQ(s.end - s.start, 100u) << s.name;
    EXPECT_EQ(s.loopStart - s.start, 10u) << s.name;
    if (std::string(s.name) == "4lo") {
      EXPECT_STREQ(trimmed.samples[s.link].name, "4pa");
    }
    if (std::string(s.name) == "4pa") {
      EXPECT_STREQ(trimmed.samples[s.link].name, "4lo");
    }
  }
  for (const sf2::Instrument& inst : trimmed.instruments)
    for (const sf2::Zone& z : inst.zones)
      if (const sf2::Generator* g = z.Find(sf2::kGenSampleId)) {
        const sf2::Sample& s = trimmed.samples.at(g->amount);
        sf2::SoundFont points;
        ASSERT_TRUE(sf2::CopyPoints(out, trimmed, s.start, 1, &points, nullptr));
        // Every sample's first point says which sample of the full font it came from.
        const int original = (points.smpl[0] | points.smpl[1] << 8) / 100;
        sf2::SoundFont source;
        ASSERT_TRUE(sf2::Read(full, &source, nullptr));
        EXPECT_STREQ(source.samples[original].name, s.name);
      }

  // A damaged source font or piece: the tool fails and leaves no font behind, not even
  // the one it wrote before.
  const std::string good = Bytes(full);
  for (const std::string& bad : {good.substr(0, good.size() / 2), std::string("RIFF\xFF\xFF\xFF\x7Fsfbk", 12),
                                 std::string()}) {
    Put(full, bad);
    ASSERT_TRUE(std::filesystem::exists(out));
    EXPECT_NE(Trim(out, full, piece), 0);
    EXPECT_FALSE(std::filesystem::exists(out));
    EXPECT_FALSE(std::filesystem::exists(out + ".part"));
    Put(full, good);
    ASSERT_EQ(Trim(out, full, piece), 0);
  }
  Put(piece, "MThd\0\0\0\6junk");
  EXPECT_NE(Trim(out, full, piece), 0);
  EXPECT_FALSE(std::filesystem::exists(out));
}
#endif

}  // namespace

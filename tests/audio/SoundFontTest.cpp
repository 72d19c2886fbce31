// The game's own soundfont: every generated piece rendered from it sounds exactly as from
// the system's whole font, and the game chooses it when it is present and sound, falling
// back to the system's otherwise.
#include <gtest/gtest.h>

#include <fluidsynth.h>
#include <unistd.h>

#include <chrono>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <iterator>
#include <string>
#include <thread>
#include <vector>

#include "engine/sound/Sound.h"
#include "engine/sound/SoundSystem.h"
#include "platform/Platform.h"
#include "platform/dmusic/AudioSdl.h"
#include "platform/dmusic/SoundFont2.h"
#include "support/TestImages.h"
#include "support/TestSounds.h"

namespace fs = std::filesystem;

namespace {

constexpr int kRate = 44100;
const char* const kPieces[] = {"TemaInterfaz_0", "TemaInterfaz_1", "TemaAccion_0", "TemaAccion_1",
                               "TemaAccion_2"};

fs::path DataDir() { return fs::path(YULE_BUILD_DIR) / "Data"; }
fs::path OwnFont() { return DataDir() / platform::dmusic::sf2::kGameSoundFontName; }

// A piece rendered offline as the game's synthesiser renders it (same gain, sample
// loading and interpolation), to its last event and a second of release tail, from the
// fonts loaded in this order (the last one loaded is searched first). A quarter of the
// game's rate takes a quarter of the time and reads the samples in the same way.
std::vector<float> Render(const std::vector<std::string>& fonts, const std::string& midi) {
  std::vector<float> out;
  fluid_settings_t* settings = new_fluid_settings();
  fluid_settings_setnum(settings, "synth.sample-rate", kRate / 4);
  fluid_settings_setnum(settings, "synth.gain", 22 * 1.2 / 128);
  fluid_settings_setint(settings, "synth.dynamic-sample-loading", 1);
  // Reverb and chorus work on the sum of the voices alone, the same from either font, and
  // would double the time taken.
  fluid_settings_setint(settings, "synth.reverb.active", 0);
  fluid_settings_setint(settings, "synth.chorus.active", 0);
  fluid_synth_t* synth = new_fluid_synth(settings);
  fluid_player_t* player = nullptr;
  bool loaded = synth != nullptr;
  for (const std::string& font : fonts)
    loaded = loaded && fluid_synth_sfload(synth, font.c_str(), 1) != FLUID_FAILED;
  if (loaded) {
    player = new_fluid_player(synth);
    if (player && fluid_player_add(player, midi.c_str()) == FLUID_OK &&
        fluid_player_play(player) == FLUID_OK) {
      constexpr int kBlock = 4096;
      int tail = kRate / 4 / kBlock + 1;
      while (tail > 0 && out.size() < 600u * kRate / 2) {
        if (fluid_player_get_status(player) == FLUID_PLAYER_DONE) --tail;
        out.resize(out.size() + 2 * kBlock);
        float* at = out.data() + out.size() - 2 * kBlock;
        fluid_synth_write_float(synth, kBlock, at, 0, 2, at, 1, 2);
      }
    }
  }
  if (player) delete_fluid_player(player);
  if (synth) delete_fluid_synth(synth);
  delete_fluid_settings(settings);
  return out;
}

// The font cut for one piece alone, as the game names it.
fs::path PieceFont(const std::string& midi) {
  std::ifstream in(midi, std::ios::binary);
  const std::vector<std::uint8_t> bytes{std::istreambuf_iterator<char>(in), {}};
  return DataDir() / platform::dmusic::sf2::PieceSoundFontName(bytes.data(), bytes.size());
}

// The game plays a piece from its own font over the one for every piece, or from that one
// alone when the piece has none: both sound as from the system's whole font.
TEST(SoundFontAudio, EveryPieceSoundsTheSameFromTheGamesFontAsFromTheWholeOne) {
  const std::string system = platform::dmusic::sf2::SystemSoundFont();
  if (system.empty() || !fs::exists(OwnFont())) GTEST_SKIP() << "no soundfont to compare";
  // Only the game's pieces decide what the font holds: far less than the whole one.
  EXPECT_LT(fs::file_size(OwnFont()) * 4, fs::file_size(system));
  // The library sets up its shared tables (the default modulators among them) when its
  // first synthesiser is made, and a second one made meanwhile on another thread does
  // not wait for that: one is made here before the renders run side by side.
  fluid_settings_t* settings = new_fluid_settings();
  delete_fluid_synth(new_fluid_synth(settings));
  delete_fluid_settings(settings);
  for (const char* name : kPieces) {
    SCOPED_TRACE(name);
    const std::string midi = (DataDir() / (std::string(name) + ".mid")).string();
    // Smaller than the one for every piece, so that a piece holds less in memory.
    ASSERT_TRUE(fs::exists(PieceFont(midi)));
    EXPECT_LT(fs::file_size(PieceFont(midi)), fs::file_size(OwnFont()));
    std::vector<float> whole, own, stacked;
    std::thread other([&] {
      own = Render({OwnFont().string()}, midi);
      stacked = Render({OwnFont().string(), PieceFont(midi).string()}, midi);
    });
    whole = Render({system}, midi);
    other.join();
    ASSERT_GT(whole.size(), 10u * kRate / 4);
    for (const auto* from : {&own, &stacked}) {
      ASSERT_EQ(from->size(), whole.size());
      std::size_t differ = 0, first = 0;
      double peak = 0.0;
      for (std::size_t i = 0; i < whole.size(); ++i) {
        peak = std::max(peak, static_cast<double>(std::fabs(whole[i])));
        if ((*from)[i] != whole[i] && differ++ == 0) first = i;
      }
      EXPECT_EQ(differ, 0u) << (from == &own ? "own" : "piece's") << ": first at frame "
                            << first / 2;
      EXPECT_GT(peak, 0.05);  // and it is not silence
    }
  }
}

std::vector<std::uint8_t> Bytes(const std::string& s) { return {s.begin(), s.end()}; }

// The synthesiser has room for kSynthPolyphony voices and no more: a piece that needs
// more would be heard with notes cut. The offline render runs on the same sample clock
// as the game's, so its count is the one the game reaches.
TEST(SoundFontAudio, NoPieceNeedsMoreVoicesThanTheSynthesiserHas) {
  const std::string font =
      fs::exists(OwnFont()) ? OwnFont().string() : platform::dmusic::sf2::SystemSoundFont();
  if (font.empty() || !fs::exists(DataDir() / "TemaAccion_0.mid")) GTEST_SKIP() << "no content";
  const char* env = std::getenv("YULE_ARTIFACTS");
  const fs::path dir =
      (env && *env ? fs::path(env) : fs::path(YULE_BUILD_DIR) / "artifacts") / "sound";
  fs::create_directories(dir);
  std::ofstream report(dir / "voices.txt");
  for (const char* name : kPieces) {
    SCOPED_TRACE(name);
    std::ifstream in(DataDir() / (std::string(name) + ".mid"), std::ios::binary);
    const std::string midi{std::istreambuf_iterator<char>(in), {}};
    const int peak = platform::dmusic::PeakSynthVoices(font, Bytes(midi));
    report << name << " " << peak << " of " << platform::dmusic::kSynthPolyphony << "\n";
    std::cout << name << ": at most " << peak << " voices at once\n";
    EXPECT_GT(peak, 0);
    EXPECT_LE(peak, platform::dmusic::kSynthPolyphony) << "raise kSynthPolyphony";
  }
}

// The count is of voices really sounding, beyond the game's room when a piece asks for
// that; a piece that cannot be read has none.
TEST(SoundFontAudio, PeakVoicesCountsWhatSoundsAtOnce) {
  const std::string font = platform::dmusic::sf2::SystemSoundFont();
  if (font.empty()) GTEST_SKIP() << "no soundfont";
  std::vector<MidiNote> chord;
  for (std::uint8_t key = 20; key < 120; ++key) chord.push_back({0, 960, key, 100});
  struct Case {
    const char* what;
    std::string midi;
    int least, most;
  } cases[] = {
      {"one note", EncodeMidiNote(1.0, 69, 0), 1, 2},
      {"a hundred keys at once", EncodeMidi(chord, {{0, 500000}}, 480, 0), 100, 1024},
      {"not a piece", std::string(64, 'x'), -1, -1},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    const int peak = platform::dmusic::PeakSynthVoices(font, Bytes(c.midi));
    EXPECT_GE(peak, c.least);
    EXPECT_LE(peak, c.most);
  }
}

// The captured left channel of the output while a piece plays for `seconds`.
std::vector<float> Capture(const std::string& file, const std::string& midi, double seconds,
                           std::string* font, std::string* pieceFont) {
  setenv("SDL_AUDIODRIVER", "disk", 1);
  setenv("SDL_DISKAUDIOFILE", file.c_str(), 1);
  g_soundSystem = new SoundSystem();
  EXPECT_TRUE(g_soundSystem->Init(reinterpret_cast<HWND>(0x10), kRate));
  *font = platform::dmusic::RealSoundFont();
  {
    MusicSegment piece;
    EXPECT_TRUE(piece.LoadFromFile(midi));
    EXPECT_TRUE(piece.Start(false));
    std::this_thread::sleep_for(std::chrono::duration<double>(seconds));
    EXPECT_TRUE(piece.IsPlaying());
    *pieceFont = platform::dmusic::RealPieceSoundFont();
  }
  delete g_soundSystem;
  g_soundSystem = nullptr;
  unsetenv("SDL_AUDIODRIVER");
  unsetenv("SDL_DISKAUDIOFILE");
  std::ifstream in(file, std::ios::binary);
  const std::string raw{std::istreambuf_iterator<char>(in), {}};
  std::vector<float> left(raw.size() / 8);
  for (std::size_t i = 0; i < left.size(); ++i) std::memcpy(&left[i], raw.data() + 8 * i, 4);
  return left;
}

// Kept for listening: a mono float WAV under the build's artifacts.
void SaveForListening(const std::string& name, const std::vector<float>& x) {
  const char* env = std::getenv("YULE_ARTIFACTS");
  const fs::path dir = (env && *env ? fs::path(env) : fs::path(YULE_BUILD_DIR) / "artifacts") / "sound";
  std::error_code ec;
  fs::create_directories(dir, ec);
  std::ofstream out(dir / name, std::ios::binary);
  auto put32 = [&](std::uint32_t v) { out.write(reinterpret_cast<const char*>(&v), 4); };
  auto put16 = [&](std::uint16_t v) { out.write(reinterpret_cast<const char*>(&v), 2); };
  const auto bytes = static_cast<std::uint32_t>(x.size() * sizeof(float));
  out.write("RIFF", 4);
  put32(38 + bytes);
  out.write("WAVEfmt ", 8);
  put32(18), put16(3), put16(1), put32(kRate), put32(kRate * 4), put16(4), put16(32), put16(0);
  out.write("data", 4);
  put32(bytes);
  out.write(reinterpret_cast<const char*>(x.data()), bytes);
}

double Rms(const std::vector<float>& x) {
  double sum = 0.0;
  for (float v : x) sum += static_cast<double>(v) * v;
  return x.empty() ? 0.0 : std::sqrt(sum / static_cast<double>(x.size()));
}

// The game in a folder of its own: with its font sound it plays from it, and from the
// piece's own font over it where that is sound; with the font cut short, unreadable or
// missing it plays from the system's, and sounds the same.
TEST(SoundFontAudio, TheGameChoosesItsOwnFontWhenItIsSoundAndFallsBackOtherwise) {
  const std::string system = platform::dmusic::sf2::SystemSoundFont();
  if (system.empty() || !fs::exists(OwnFont())) GTEST_SKIP() << "no soundfont to compare";
  std::ifstream in(OwnFont(), std::ios::binary);
  const std::string good{std::istreambuf_iterator<char>(in), {}};
  const std::string midi = (DataDir() / "TemaAccion_0.mid").string();
  std::ifstream pieceIn(PieceFont(midi), std::ios::binary);
  const std::string piece{std::istreambuf_iterator<char>(pieceIn), {}};
  const fs::path home = fs::current_path();
  platform::SetBackend(platform::Backend::Real);
  struct Case {
    const char* what;
    std::string bytes;  // of Data/Instrumentos.sf2; none when empty
    std::string pieceBytes;  // of the piece's own font beside it; none when empty
    bool own, pieceOwn;
    bool listen;
  } cases[] = {
      {"sound", good, piece, true, true, true},
      {"the piece's font cut short", good, piece.substr(0, piece.size() - 4096), true, false, false},
      {"no font of the piece's", good, "", true, false, false},
      {"cut short", good.substr(0, good.size() - 4096), "", false, false, true},
      {"not a soundfont", std::string(4096, 'x'), "", false, false, false},
      {"missing", "", "", false, false, false},
  };
  std::vector<float> heardFrom[2];
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    TempDir dir;
    fs::create_directories(fs::path(dir.Path()) / "Data");
    const fs::path font = fs::path(dir.Path()) / "Data" / platform::dmusic::sf2::kGameSoundFontName;
    if (!c.bytes.empty()) std::ofstream(font, std::ios::binary) << c.bytes;
    const fs::path pieceFont = fs::path(dir.Path()) / "Data" / PieceFont(midi).filename();
    if (!c.pieceBytes.empty()) std::ofstream(pieceFont, std::ios::binary) << c.pieceBytes;
    fs::current_path(dir.Path());
    std::string chosen, chosenForPiece;
    const std::vector<float> heard = Capture(dir.Path() + "/capture.raw", midi,
                                             c.listen ? 2.5 : 0.1, &chosen, &chosenForPiece);
    fs::current_path(home);
    EXPECT_EQ(fs::path(chosen).filename().string(), c.own ? font.filename().string()
                                                          : fs::path(system).filename().string());
    EXPECT_EQ(fs::path(chosenForPiece).filename().string(),
              c.pieceOwn ? pieceFont.filename().string() : std::string());
    if (c.listen) heardFrom[c.own ? 0 : 1] = heard;
  }
  platform::SetBackend(platform::Backend::Headless);
  // Both captures from the piece's first sound to its last before it was stopped: the
  // same music, sample for sample, but for where the output's buffers fell.
  std::vector<float> from[2];
  for (int i = 0; i < 2; ++i) {
    const std::vector<float>& x = heardFrom[i];
    std::size_t first = 0, end = x.size();
    while (first < end && x[first] == 0.0f) ++first;
    while (end > first && x[end - 1] == 0.0f) --end;
    from[i].assign(x.begin() + static_cast<std::ptrdiff_t>(first), x.begin() + static_cast<std::ptrdiff_t>(end));
  }
  SaveForListening("own_font.wav", from[0]);
  SaveForListening("system_font.wav", from[1]);
  const std::size_t n = std::min(from[0].size(), from[1].size());
  ASSERT_GT(n, static_cast<std::size_t>(kRate));
  from[0].resize(n);
  from[1].resize(n);
  std::vector<float> residue(n);
  for (std::size_t i = 0; i < n; ++i) residue[i] = from[0][i] - from[1][i];
  std::cout << "music RMS over " << static_cast<double>(n) / kRate << " s: own font " << Rms(from[0])
            << ", system font " << Rms(from[1]) << ", their difference " << Rms(residue) << "\n";
  EXPECT_GT(Rms(from[0]), 0.005);
  EXPECT_LT(Rms(residue), 0.01 * Rms(from[1]));
}

}  // namespace

#include "GameHarness.h"

#include <unistd.h>

#include <climits>
#include <fstream>
#include <iterator>
#include <vector>

#include "app/AppShell.h"
#include "app/EngineServices.h"
#include "engine/input/Mouse.h"
#include "engine/sound/Sound.h"
#include "gameplay/MatchWorld.h"
#include "platform/dinput8/DInput8Headless.h"
#include "platform/win32/Win32Headless.h"

namespace {

std::string Picture(std::uint32_t argb) {
  return EncodePng(4, 4, std::vector<std::uint32_t>(16, argb), true);
}

// A one-track Standard MIDI file holding one note of the given length (120 beats per
// minute, 96 ticks per beat).
std::string Piece(double seconds, int note) {
  const std::uint32_t ticks = static_cast<std::uint32_t>(seconds * 192);
  std::string track;
  track += std::string("\x00\x90", 2) + static_cast<char>(note) + '\x64';
  // The delta time as a variable-length number.
  std::string delta;
  delta.insert(delta.begin(), static_cast<char>(ticks & 0x7F));
  for (std::uint32_t v = ticks >> 7; v; v >>= 7)
    delta.insert(delta.begin(), static_cast<char>(0x80 | (v & 0x7F)));
  track += delta + '\x80' + static_cast<char>(note) + '\x40';
  track += std::string("\x00\xFF\x2F\x00", 4);
  std::string file("MThd\0\0\0\x06\0\0\0\x01\0\x60", 14);
  file += "MTrk";
  const auto n = static_cast<std::uint32_t>(track.size());
  file += static_cast<char>(n >> 24);
  file += static_cast<char>(n >> 16);
  file += static_cast<char>(n >> 8);
  file += static_cast<char>(n);
  return file + track;
}

}  // namespace

int PlayingPieces(const GameApp& game) {
  int bits = 0;
  for (int i = 0; i < 5; ++i)
    if (game.music[i] && game.music[i]->IsPlaying()) bits |= 1 << i;
  return bits;
}

bool OnePieceOf(int bits, int group) {
  return bits != 0 && (bits & ~group) == 0 && (bits & (bits - 1)) == 0;
}

void GameHarness::SetUp() {
  HeadlessTest::SetUp();
  folder = std::make_unique<TempDir>();
  char buffer[PATH_MAX];
  previousDirectory = getcwd(buffer, sizeof buffer) ? buffer : ".";
  ASSERT_EQ(chdir(folder->Path().c_str()), 0);
  ASSERT_EQ(mkdir("Data", 0755), 0);
  // Distinct colours, so a test can tell the two atlases apart by their texture.
  ASSERT_TRUE(WriteBytes(DataPath("GUI_00_ES.png"), Picture(0xFFFF0000u)));
  ASSERT_TRUE(WriteBytes(DataPath("GUI_00_EN.png"), Picture(0xFF0000FFu)));
  ASSERT_TRUE(WriteBytes(DataPath("GUI.png"), Picture(0xFFFFFFFFu)));
  ASSERT_TRUE(WriteBytes(DataPath("GUI_Fondo.jpg"),
                         EncodeJpeg(4, 4, std::vector<std::uint32_t>(16, 0xFF204080u))));
  for (int i = 0; i < 4; ++i)
    ASSERT_TRUE(WriteBytes(DataPath("GUI_FigurasJugador_" + std::to_string(i) + ".png"),
                           Picture(0xFF00FF00u)));
  const char* pieces[5] = {"TemaInterfaz_0.mid", "TemaInterfaz_1.mid", "TemaAccion_0.mid",
                           "TemaAccion_1.mid", "TemaAccion_2.mid"};
  for (int i = 0; i < 5; ++i)
    ASSERT_TRUE(WriteBytes(DataPath(pieces[i]), Piece(kPieceSeconds, 60 + i)));
}

void GameHarness::TearDown() {
  StopGame();
  if (chdir(previousDirectory.c_str()) != 0) ADD_FAILURE() << "cannot go back";
  folder.reset();
  HeadlessTest::TearDown();
}

bool GameHarness::StartGame() {
  CreateEngineServices();
  game = new GameApp();
  AppSettings settings;
  settings.windowed = false;
  settings.width = 800;
  settings.height = 600;
  settings.colourDepth = 32;
  return game->Init(settings, nullptr);
}

void GameHarness::StopGame() {
  if (!game) return;
  game->OnShutdown();
  DestroyEngineServices();
  delete game;
  game = nullptr;
  // The shell's window class and window go with the platform's state, as at process end.
  ResetHeadlessPlatform();
}

void GameHarness::Frame() {
  // The headless clock runs the music; a frame is 16 ms of it.
  platform::win32::HeadlessAdvanceTicks(16);
  g_frameTime = 1.0f / 60.0f;
  game->OnFrame();
}

void GameHarness::MoveTo(int x, int y) {
  for (int step = 0; step < 8 && (g_mouse->x != x || g_mouse->y != y); ++step) {
    auto raw = [](int pixels) {
      int counts = static_cast<int>(pixels / g_mouse->sensitivity);
      if (counts == 0 && pixels != 0) counts = pixels > 0 ? 1 : -1;
      return counts;
    };
    platform::dinput8::HeadlessMoveMouse(raw(x - g_mouse->x), raw(y - g_mouse->y));
    Frame();
  }
  ASSERT_EQ(g_mouse->x, x);
  ASSERT_EQ(g_mouse->y, y);
}

void GameHarness::Click(int x, int y) {
  MoveTo(x, y);
  platform::dinput8::HeadlessSetMouseButton(0, true);
  Frame();
  platform::dinput8::HeadlessSetMouseButton(0, false);
  Frame();
}

void GameHarness::Tap(unsigned char key) {
  platform::dinput8::HeadlessSetKey(key, true);
  Frame();
  platform::dinput8::HeadlessSetKey(key, false);
  Frame();
}

std::string GameHarness::DataPath(const std::string& file) const {
  return folder->Path() + "/Data/" + file;
}

void GameHarness::WriteLanguageFile(const std::string& bytes) {
  ASSERT_TRUE(WriteBytes(DataPath("Idioma"), bytes));
}

std::string GameHarness::ReadLanguageFile() {
  std::ifstream in(DataPath("Idioma"), std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), {});
}

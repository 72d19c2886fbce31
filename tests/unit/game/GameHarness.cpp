#include "GameHarness.h"

#include <unistd.h>

#include <climits>
#include <fstream>
#include <iterator>
#include <vector>

#include "app/AppShell.h"
#include "app/EngineServices.h"
#include "engine/input/Mouse.h"
#include "gameplay/MatchWorld.h"
#include "platform/dinput8/DInput8Headless.h"

namespace {

std::string Picture(std::uint32_t argb) {
  return EncodePng(4, 4, std::vector<std::uint32_t>(16, argb), true);
}

}  // namespace

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

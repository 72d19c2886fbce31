// The shell: window creation, the window procedure's message rules, the message loop
// with its frame clock, and the random helpers.
#include <gtest/gtest.h>

#include <cstdlib>
#include <set>
#include <vector>

#include "app/AppShell.h"
#include "engine/resources/ResourceManagers.h"
#include "platform/Random.h"
#include "platform/win32/Win32Headless.h"
#include "support/Headless.h"

namespace {

using platform::win32::HeadlessAdvanceTicks;
using platform::win32::HeadlessSetIdleHook;
using platform::win32::HeadlessSetTickCount;

// A shell that runs a script of idle passes and records the frame times it sees.
class ScriptedShell : public AppShell {
 public:
  std::vector<float> frames;
  std::vector<float> globalFrames;
  int shutdowns = 0;
  std::vector<void (*)(ScriptedShell&)> script;  // one step per idle pass
  std::size_t step = 0;

  void OnFrame() override {
    frames.push_back(GetFrameSeconds());
    globalFrames.push_back(g_frameTime);
  }
  void OnShutdown() override { ++shutdowns; }

  static void Idle(void* user) {
    auto* self = static_cast<ScriptedShell*>(user);
    if (self->step < self->script.size()) {
      self->script[self->step++](*self);
    } else {
      PostQuitMessage(0);
    }
  }
};

AppSettings Windowed() {
  AppSettings s;
  s.windowed = true;
  return s;
}

AppSettings FullScreen() {
  AppSettings s;
  s.windowed = false;
  s.colourDepth = 32;
  return s;
}

class AppShellTest : public HeadlessTest {
 protected:
  void TearDown() override {
    // Init creates the font manager; nothing else here does.
    delete g_fontManager;
    g_fontManager = nullptr;
    HeadlessTest::TearDown();
  }
};

TEST_F(AppShellTest, InitCreatesWindowAndRunEndsWithShutdownAndUnregister) {
  ScriptedShell shell;
  ASSERT_TRUE(shell.Init(Windowed(), GetModuleHandleA(nullptr)));
  ASSERT_NE(shell.GetWindow(), nullptr);
  EXPECT_TRUE(IsWindow(shell.GetWindow()));
  EXPECT_EQ(platform::win32::HeadlessComDepth(), 1);

  // Closing the window destroys it, WM_DESTROY posts the quit.
  PostMessageA(shell.GetWindow(), WM_SYSCOMMAND, SC_CLOSE, 0);
  shell.Run();
  EXPECT_FALSE(IsWindow(shell.GetWindow()));
  EXPECT_EQ(shell.shutdowns, 1);
  EXPECT_EQ(platform::win32::HeadlessComDepth(), 0);

  // The class was unregistered, so it can be registered again.
  WNDCLASSEXA wc{};
  wc.lpszClassName = "WC";
  wc.lpfnWndProc = DefWindowProcA;
  EXPECT_NE(RegisterClassExA(&wc), 0);
}

TEST_F(AppShellTest, InitFailsWithoutComOrOnInitWhenClassCannotBeRegistered) {
  WNDCLASSEXA wc{};
  wc.lpszClassName = "WC";
  wc.lpfnWndProc = DefWindowProcA;
  ASSERT_NE(RegisterClassExA(&wc), 0);  // taken already

  struct CountingShell : AppShell {
    int inits = 0;
    bool OnInit() override {
      ++inits;
      return true;
    }
  } shell;
  EXPECT_FALSE(shell.Init(Windowed(), nullptr));
  EXPECT_EQ(shell.inits, 0);
  EXPECT_EQ(platform::win32::HeadlessComDepth(), 0);
}

TEST_F(AppShellTest, OnInitResultIsInitResult) {
  struct FailingShell : AppShell {
    bool OnInit() override { return false; }
  } shell;
  EXPECT_FALSE(shell.Init(Windowed(), nullptr));
}

TEST_F(AppShellTest, SysCommandsSwallowedOnlyInFullScreenAndComparedWhole) {
  ScriptedShell full;
  ASSERT_TRUE(full.Init(FullScreen(), nullptr));
  HWND w = full.GetWindow();
  for (WPARAM sc : {SC_SIZE, SC_MOVE, SC_MAXIMIZE, SC_KEYMENU, SC_MONITORPOWER})
    EXPECT_EQ(full.WindowProc(&full, w, WM_SYSCOMMAND, sc, 0), 1) << std::hex << sc;
  // With the low bits set the command is not one of the five: it goes on and is handled.
  EXPECT_EQ(full.WindowProc(&full, w, WM_SYSCOMMAND, SC_KEYMENU | 1, 0), 0);
  EXPECT_EQ(full.WindowProc(&full, w, WM_SYSCOMMAND, SC_MOVE | 2, 0), 0);
  // Closing is never swallowed: the window goes.
  EXPECT_EQ(full.WindowProc(&full, w, WM_SYSCOMMAND, SC_CLOSE, 0), 0);
  EXPECT_FALSE(IsWindow(w));
}

TEST_F(AppShellTest, SysCommandsPassInWindowedMode) {
  ScriptedShell win;
  ASSERT_TRUE(win.Init(Windowed(), nullptr));
  for (WPARAM sc : {SC_SIZE, SC_MOVE, SC_MAXIMIZE, SC_KEYMENU, SC_MONITORPOWER})
    EXPECT_EQ(win.WindowProc(&win, win.GetWindow(), WM_SYSCOMMAND, sc, 0), 0) << std::hex << sc;
}

TEST_F(AppShellTest, ActivationAndSizeMessagesSetActive) {
  ScriptedShell shell;
  ASSERT_TRUE(shell.Init(Windowed(), nullptr));
  HWND w = shell.GetWindow();
  shell.WindowProc(&shell, w, WM_ACTIVATE, WA_ACTIVE, 0);
  EXPECT_TRUE(shell.IsActive());
  // Only the low word counts: the high word says "minimised" and is ignored here.
  shell.WindowProc(&shell, w, WM_ACTIVATE, (1u << 16) | WA_INACTIVE, 0);
  EXPECT_FALSE(shell.IsActive());
  shell.WindowProc(&shell, w, WM_ACTIVATE, WA_CLICKACTIVE, 0);
  EXPECT_TRUE(shell.IsActive());
  shell.WindowProc(&shell, w, WM_SIZE, SIZE_MINIMIZED, 0);
  EXPECT_FALSE(shell.IsActive());
  shell.WindowProc(&shell, w, WM_SIZE, SIZE_MAXIMIZED, 0);
  EXPECT_TRUE(shell.IsActive());
  shell.WindowProc(&shell, w, WM_SIZE, SIZE_MAXHIDE, 0);
  EXPECT_FALSE(shell.IsActive());
  shell.WindowProc(&shell, w, WM_SIZE, SIZE_RESTORED, 0);
  EXPECT_TRUE(shell.IsActive());
}

TEST_F(AppShellTest, FrameClockFirstFrameZeroThenDeltas) {
  ScriptedShell shell;
  ASSERT_TRUE(shell.Init(Windowed(), nullptr));
  HeadlessSetTickCount(123456);
  shell.script = {
      [](ScriptedShell&) {},                            // first frame: the clock starts
      [](ScriptedShell&) { HeadlessAdvanceTicks(16); }, // 16 ms
      [](ScriptedShell&) { HeadlessAdvanceTicks(250); },
  };
  HeadlessSetIdleHook(&ScriptedShell::Idle, &shell);
  shell.Run();
  ASSERT_EQ(shell.frames.size(), 3u);
  EXPECT_FLOAT_EQ(shell.frames[0], 0.0f);
  EXPECT_FLOAT_EQ(shell.frames[1], 0.016f);
  EXPECT_FLOAT_EQ(shell.frames[2], 0.25f);
  EXPECT_EQ(shell.frames, shell.globalFrames);
}

TEST_F(AppShellTest, NoFramesWhileInactiveAndTimeAwayArrivesAsOneFrame) {
  ScriptedShell shell;
  ASSERT_TRUE(shell.Init(FullScreen(), nullptr));
  HeadlessSetTickCount(1000);
  static HWND window;
  window = shell.GetWindow();
  // Each step runs when the queue is empty; a step that posts nothing ends in a frame
  // while active.
  shell.script = {
      [](ScriptedShell&) {},
      [](ScriptedShell&) { HeadlessAdvanceTicks(10); },
      // Minimise: the loop now waits in GetMessage and makes no frames.
      [](ScriptedShell&) { PostMessageA(window, WM_SIZE, SIZE_MINIMIZED, 0); },
      [](ScriptedShell&) { HeadlessAdvanceTicks(4000); },
      [](ScriptedShell&) { HeadlessAdvanceTicks(1000); },
      [](ScriptedShell&) { PostMessageA(window, WM_SIZE, SIZE_RESTORED, 0); },
      [](ScriptedShell&) {},
      [](ScriptedShell&) { HeadlessAdvanceTicks(20); },
  };
  HeadlessSetIdleHook(&ScriptedShell::Idle, &shell);
  shell.Run();
  // Frames: the first (0), the 10 ms one, then after restoring, one frame carrying the
  // whole 5 s away, then 20 ms.
  ASSERT_EQ(shell.frames.size(), 4u);
  EXPECT_FLOAT_EQ(shell.frames[0], 0.0f);
  EXPECT_FLOAT_EQ(shell.frames[1], 0.010f);
  EXPECT_FLOAT_EQ(shell.frames[2], 5.0f);
  EXPECT_FLOAT_EQ(shell.frames[3], 0.020f);
}

TEST_F(AppShellTest, TickCounterWrapIsOneShortFrame) {
  ScriptedShell shell;
  ASSERT_TRUE(shell.Init(Windowed(), nullptr));
  HeadlessSetTickCount(0xFFFFFFF0u);
  shell.script = {[](ScriptedShell&) {}, [](ScriptedShell&) { HeadlessAdvanceTicks(0x20); }};
  HeadlessSetIdleHook(&ScriptedShell::Idle, &shell);
  shell.Run();
  ASSERT_EQ(shell.frames.size(), 2u);
  EXPECT_FLOAT_EQ(shell.frames[1], 0.032f);
}

TEST_F(AppShellTest, QuitStopsTheLoop) {
  ScriptedShell shell;
  ASSERT_TRUE(shell.Init(Windowed(), nullptr));
  shell.script = {[](ScriptedShell& s) { s.Quit(); }};
  HeadlessSetIdleHook(&ScriptedShell::Idle, &shell);
  shell.Run();
  EXPECT_FALSE(shell.IsActive());
  EXPECT_EQ(shell.shutdowns, 1);
  EXPECT_TRUE(shell.frames.empty());
}

TEST(RandomTest, IntStaysInItsInclusiveRangeAndReachesBothEnds) {
  platform::SeedRandom(7);
  for (int i = 0; i < 1000; ++i) EXPECT_EQ(RandomInt(5, 5), 5);
  std::set<int> seen;
  for (int i = 0; i < 3000; ++i) {
    const int v = RandomInt(0, 2);
    ASSERT_GE(v, 0);
    ASSERT_LE(v, 2);
    seen.insert(v);
  }
  EXPECT_EQ(seen.size(), 3u);
  for (int i = 0; i < 3000; ++i) {
    const int v = RandomInt(-3, 3);
    ASSERT_GE(v, -3);
    ASSERT_LE(v, 3);
  }
}

TEST(RandomTest, FloatNeverAboveHigh) {
  platform::SeedRandom(11);
  float top = 0.0f;
  for (int i = 0; i < 200000; ++i) {
    const float v = RandomFloat(0.0f, 1.0f);
    ASSERT_GE(v, 0.0f);
    ASSERT_LE(v, 1.0f);
    top = std::max(top, v);
  }
  EXPECT_GT(top, 0.99f);  // the whole range is reachable
  for (int i = 0; i < 10000; ++i) {
    const float v = RandomFloat(-2.5f, -2.0f);
    ASSERT_GE(v, -2.5f);
    ASSERT_LE(v, -2.0f);
  }
}

TEST(RandomTest, ReversedRangesReturnLowInsteadOfSpinning) {
  EXPECT_EQ(RandomInt(4, 1), 4);
  EXPECT_EQ(RandomFloat(1.0f, 0.5f), 1.0f);
}

TEST(RandomTest, FullIntRangeDoesNotOverflow) {
  platform::SeedRandom(3);
  bool negative = false, positive = false;
  for (int i = 0; i < 1000; ++i) {
    const auto v = RandomInt(INT32_MIN, INT32_MAX);
    negative |= v < 0;
    positive |= v > 0;
  }
  EXPECT_TRUE(negative && positive);
}

}  // namespace

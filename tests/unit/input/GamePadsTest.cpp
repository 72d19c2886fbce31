// Game controllers over the headless controller backend: d-pad and stick taps become
// releases of a player's directions in the right frame, Start works as a pause button,
// controllers keep their slots while others come and go, and keys and pads mix.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "engine/input/GamePads.h"
#include "engine/input/InputSystem.h"
#include "engine/input/Keyboard.h"
#include "engine/input/Mouse.h"
#include "platform/dinput8/DInput8Headless.h"
#include "platform/xinput/XInputHeadless.h"
#include "support/Headless.h"

namespace {

using platform::xinput::HeadlessConnectPad;
using platform::xinput::HeadlessDisconnectPad;
using platform::xinput::HeadlessSetPadButtons;
using platform::xinput::HeadlessSetPadStick;

constexpr WORD kUpB = XINPUT_GAMEPAD_DPAD_UP;
constexpr WORD kDownB = XINPUT_GAMEPAD_DPAD_DOWN;
constexpr WORD kLeftB = XINPUT_GAMEPAD_DPAD_LEFT;
constexpr WORD kRightB = XINPUT_GAMEPAD_DPAD_RIGHT;
constexpr int U = 1 << GamePads::kUp, D = 1 << GamePads::kDown, L = 1 << GamePads::kLeft,
              R = 1 << GamePads::kRight;

int ReleasedMask(const GamePads& pads, int slot) {
  int mask = 0;
  for (int d = 0; d < GamePads::kDirections; ++d)
    if (pads.DirectionReleased(slot, d)) mask |= 1 << d;
  return mask;
}

// The slot in which the pad's d-pad tap shows up, or -1.
int SlotOf(GamePads& pads, std::int64_t pad) {
  HeadlessSetPadButtons(pad, kUpB);
  pads.Update();
  HeadlessSetPadButtons(pad, 0);
  pads.Update();
  for (int s = 0; s < GamePads::kSlots; ++s)
    if (pads.DirectionReleased(s, GamePads::kUp)) return s;
  return -1;
}

class GamePadsTest : public HeadlessTest {};

TEST_F(GamePadsTest, DpadAndStickTapsReleaseTheirDirectionInTheRightFrame) {
  struct Frame {
    WORD buttons;
    SHORT x, y;  // left stick, up positive
    int released;
  };
  struct Case {
    const char* name;
    std::vector<Frame> frames;
  };
  const Case cases[] = {
      {"d-pad held, then let go",
       {{kUpB, 0, 0, 0}, {kUpB, 0, 0, 0}, {kUpB, 0, 0, 0}, {0, 0, 0, U}, {0, 0, 0, 0}}},
      {"each d-pad direction",
       {{kDownB, 0, 0, 0}, {kLeftB, 0, 0, D}, {kRightB, 0, 0, L}, {0, 0, 0, R}}},
      {"a diagonal d-pad let go at once", {{kUpB | kLeftB, 0, 0, 0}, {0, 0, 0, U | L}}},
      {"stick up and back", {{0, 0, 20000, 0}, {0, 0, 32767, 0}, {0, 0, 0, U}, {0, 0, 0, 0}}},
      {"stick down, left, right",
       {{0, 0, -20000, 0},
        {0, 0, 0, D},
        {0, -32768, 0, 0},
        {0, 0, 0, L},
        {0, 20000, 0, 0},
        {0, 0, 0, R}}},
      {"stick drifting around its centre",
       {{0, 7000, -6000, 0},
        {0, -15000, 3000, 0},
        {0, 12000, 16000, 0},
        {0, 0, -16000, 0},
        {0, 0, 0, 0}}},
      {"stick held", {{0, 0, 30000, 0}, {0, 0, 30000, 0}, {0, 0, 31000, 0}, {0, 0, 29000, 0}}},
      {"stick wavering around half-way taps once",
       {{0, 0, 17000, 0},
        {0, 0, 15000, 0},
        {0, 0, 17000, 0},
        {0, 0, 15000, 0},
        {0, 0, 0, U},
        {0, 0, 0, 0}}},
      {"stick wavering at the edge of rest taps once",
       {{0, 0, 30000, 0}, {0, 0, 7000, U}, {0, 0, 9000, 0}, {0, 0, 7000, 0}, {0, 0, 0, 0}}},
      {"stick rolled from up to right",
       {{0, 0, 30000, 0}, {0, 30000, 0, U}, {0, 30000, 0, 0}, {0, 0, 0, R}}},
      {"stick flicked through the centre between two frames",
       {{0, 0, 30000, 0}, {0, 0, -30000, U}, {0, 0, 0, D}}},
      {"stick held on a diagonal with a shaky thumb",
       {{0, 23000, 23000, 0}, {0, 23500, 22500, 0}, {0, 22500, 23500, 0}, {0, 0, 0, U}}},
      {"d-pad and stick let go together", {{kUpB, 0, 30000, 0}, {0, 0, 0, U}}},
  };
  for (const Case& c : cases) {
    ResetHeadlessPlatform();
    GamePads pads;
    const std::int64_t pad = HeadlessConnectPad();
    pads.Update();
    ASSERT_TRUE(pads.Connected(0)) << c.name;
    for (std::size_t f = 0; f < c.frames.size(); ++f) {
      const Frame& frame = c.frames[f];
      HeadlessSetPadButtons(pad, frame.buttons);
      HeadlessSetPadStick(pad, frame.x, frame.y);
      pads.Update();
      EXPECT_EQ(ReleasedMask(pads, 0), frame.released) << c.name << ", frame " << f;
      EXPECT_FALSE(pads.StartReleased()) << c.name << ", frame " << f;
      for (int other = 1; other < GamePads::kSlots; ++other)
        EXPECT_EQ(ReleasedMask(pads, other), 0) << c.name << ", slot " << other;
    }
  }
}

TEST_F(GamePadsTest, OnlyStartLetGoCountsAsThePauseButton) {
  GamePads pads;
  HeadlessConnectPad();
  const std::int64_t second = HeadlessConnectPad();
  pads.Update();
  struct Step {
    WORD buttons;
    bool start;
  };
  const Step steps[] = {
      {XINPUT_GAMEPAD_START, false},
      {XINPUT_GAMEPAD_START, false},
      {0, true},
      {0, false},
      {XINPUT_GAMEPAD_A | XINPUT_GAMEPAD_B | XINPUT_GAMEPAD_BACK | kUpB, false},
      {0, false},
      {XINPUT_GAMEPAD_START | XINPUT_GAMEPAD_A, false},
      {XINPUT_GAMEPAD_A, true},
  };
  for (std::size_t i = 0; i < std::size(steps); ++i) {
    HeadlessSetPadButtons(second, steps[i].buttons);
    pads.Update();
    EXPECT_EQ(pads.StartReleased(), steps[i].start) << "step " << i;
  }
}

TEST_F(GamePadsTest, ControllersKeepTheirSlotsWhileOthersComeAndGo) {
  GamePads pads;
  pads.Update();
  for (int s = 0; s < GamePads::kSlots; ++s) EXPECT_FALSE(pads.Connected(s));

  const std::int64_t a = HeadlessConnectPad();
  const std::int64_t b = HeadlessConnectPad();
  pads.Update();
  EXPECT_EQ(SlotOf(pads, a), 0);
  EXPECT_EQ(SlotOf(pads, b), 1);

  // A leaves in the middle of a tap: no release, and B stays in slot 1.
  HeadlessSetPadButtons(a, kUpB);
  pads.Update();
  HeadlessDisconnectPad(a);
  pads.Update();
  EXPECT_FALSE(pads.Connected(0));
  EXPECT_EQ(ReleasedMask(pads, 0), 0);
  EXPECT_EQ(SlotOf(pads, b), 1);

  // The next ones take the lowest free slots: C the one A left, then D and E.
  const std::int64_t c = HeadlessConnectPad();
  pads.Update();
  EXPECT_EQ(SlotOf(pads, c), 0);
  const std::int64_t d = HeadlessConnectPad();
  const std::int64_t e = HeadlessConnectPad();
  pads.Update();
  EXPECT_EQ(SlotOf(pads, d), 2);
  EXPECT_EQ(SlotOf(pads, e), 3);

  // A fifth finds no slot and waits; it takes the first one that frees.
  const std::int64_t f = HeadlessConnectPad();
  pads.Update();
  EXPECT_EQ(SlotOf(pads, f), -1);
  HeadlessDisconnectPad(d);
  pads.Update();
  EXPECT_EQ(SlotOf(pads, f), 2);
  EXPECT_EQ(SlotOf(pads, b), 1);
  EXPECT_EQ(SlotOf(pads, c), 0);
  EXPECT_EQ(SlotOf(pads, e), 3);

  // A controller plugged in with a button held reports its release only once let go.
  HeadlessDisconnectPad(c);
  pads.Update();
  const std::int64_t g = HeadlessConnectPad();
  HeadlessSetPadButtons(g, kLeftB);
  HeadlessSetPadStick(g, 0, 30000);
  pads.Update();
  EXPECT_TRUE(pads.Connected(0));
  EXPECT_EQ(ReleasedMask(pads, 0), 0);
  HeadlessSetPadButtons(g, 0);
  HeadlessSetPadStick(g, 0, 0);
  pads.Update();
  EXPECT_EQ(ReleasedMask(pads, 0), L | U);
}

TEST_F(GamePadsTest, XInputGetStateReportsEmptySlotsAndCountsChanges) {
  XINPUT_STATE state{};
  EXPECT_EQ(XInputGetState(XUSER_MAX_COUNT, &state), ERROR_BAD_ARGUMENTS);
  EXPECT_EQ(XInputGetState(0, nullptr), ERROR_BAD_ARGUMENTS);
  state.dwPacketNumber = 99;
  state.Gamepad.wButtons = 0xFFFF;
  EXPECT_EQ(XInputGetState(0, &state), ERROR_DEVICE_NOT_CONNECTED);
  EXPECT_EQ(state.dwPacketNumber, 0u);
  EXPECT_EQ(state.Gamepad.wButtons, 0);

  const std::int64_t pad = HeadlessConnectPad();
  ASSERT_EQ(XInputGetState(0, &state), ERROR_SUCCESS);
  const DWORD first = state.dwPacketNumber;
  ASSERT_EQ(XInputGetState(0, &state), ERROR_SUCCESS);
  EXPECT_EQ(state.dwPacketNumber, first);
  HeadlessSetPadStick(pad, -5, 40);
  ASSERT_EQ(XInputGetState(0, &state), ERROR_SUCCESS);
  EXPECT_NE(state.dwPacketNumber, first);
  EXPECT_EQ(state.Gamepad.sThumbLX, -5);
  EXPECT_EQ(state.Gamepad.sThumbLY, 40);
  EXPECT_EQ(XInputGetState(1, &state), ERROR_DEVICE_NOT_CONNECTED);
}

// The game's sixteen movement actions with keys and controllers bound as at start-up.
class PadActionsTest : public HeadlessTest {
 protected:
  void SetUp() override {
    HeadlessTest::SetUp();
    g_keyboard = new Keyboard();
    g_mouse = new Mouse();
    g_inputSystem = new InputSystem();
    ASSERT_TRUE(g_inputSystem->Start(
        nullptr, reinterpret_cast<HWND>(static_cast<std::uintptr_t>(0x1000)), AppSettings{}));
    const BYTE keys[2][4] = {{DIK_W, DIK_S, DIK_A, DIK_D}, {DIK_UP, DIK_DOWN, DIK_LEFT, DIK_RIGHT}};
    for (int p = 0; p < 4; ++p) {
      for (int d = 0; d < 4; ++d) {
        if (p < 2) g_inputSystem->BindKey(100 * p + d, keys[p][d]);
        g_inputSystem->BindPad(100 * p + d, p, d);
      }
    }
  }
  void TearDown() override {
    delete g_inputSystem;
    g_inputSystem = nullptr;
    delete g_mouse;
    g_mouse = nullptr;
    delete g_keyboard;
    g_keyboard = nullptr;
    HeadlessTest::TearDown();
  }
  void Frame() {
    g_keyboard->Update();
    g_mouse->Update();
    g_inputSystem->UpdatePads();
  }
  // The actions of all four players released this frame, as "player:direction" words.
  std::string Released() {
    std::string out;
    for (int p = 0; p < 4; ++p)
      for (int d = 0; d < 4; ++d)
        if (g_inputSystem->ActionReleased(100 * p + d))
          out += (out.empty() ? "" : " ") + std::to_string(p) + ":" + "udlr"[d];
    return out;
  }
};

TEST_F(PadActionsTest, KeysAndPadsOfDifferentPlayersTapInTheSameFrame) {
  using platform::dinput8::HeadlessSetKey;
  const std::int64_t first = HeadlessConnectPad();
  const std::int64_t second = HeadlessConnectPad();
  Frame();
  // Player 0 on W, player 1 on the second pad's stick, player 2 has no controller.
  HeadlessSetKey(DIK_W, true);
  HeadlessSetPadStick(second, 0, -30000);
  Frame();
  EXPECT_EQ(Released(), "");
  HeadlessSetKey(DIK_W, false);
  HeadlessSetPadStick(second, 0, 0);
  Frame();
  EXPECT_EQ(Released(), "0:u 1:d");
  Frame();
  EXPECT_EQ(Released(), "");

  // One player's key and pad both steer: D on the keyboard, then the first pad's left.
  HeadlessSetKey(DIK_D, true);
  HeadlessSetPadButtons(first, kLeftB);
  Frame();
  HeadlessSetKey(DIK_D, false);
  Frame();
  EXPECT_EQ(Released(), "0:r");
  HeadlessSetPadButtons(first, 0);
  Frame();
  EXPECT_EQ(Released(), "0:l");

  // The second pad leaving moves no one: the first still drives player 0.
  HeadlessDisconnectPad(second);
  Frame();
  HeadlessSetPadButtons(first, kDownB);
  Frame();
  HeadlessSetPadButtons(first, 0);
  Frame();
  EXPECT_EQ(Released(), "0:d");
}

}  // namespace

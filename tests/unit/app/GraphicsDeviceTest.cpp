// The graphics device on the recording backend: creation, format choice, window sizing,
// the state cache, the clear colour rule, cooperative states and the reset sequence.
#include <gtest/gtest.h>

#include <cstring>
#include <limits>
#include <string>
#include <vector>

#include "app/GraphicsDevice.h"
#include "engine/resources/DeviceResource.h"
#include "platform/d3d9/D3D9Headless.h"
#include "platform/win32/Win32Headless.h"
#include "engine/resources/ResourceManagers.h"
#include "support/HeadlessDevice.h"

namespace {

using platform::d3d9::Log;

LRESULT NullProc(HWND h, UINT m, WPARAM w, LPARAM l) { return DefWindowProcA(h, m, w, l); }

class GraphicsDeviceTest : public HeadlessTest {
 protected:
  void SetUp() override {
    HeadlessTest::SetUp();
    WNDCLASSEXA wc{};
    wc.lpszClassName = "T";
    wc.lpfnWndProc = NullProc;
    RegisterClassExA(&wc);
  }

  HWND MakeWindow(bool windowed, int w = 800, int h = 600) {
    return CreateWindowExA(0, "T", "t", windowed ? (WS_CAPTION | WS_SYSMENU) : (WS_POPUP | WS_VISIBLE),
                           0, 0, w, h, nullptr, nullptr, nullptr, nullptr);
  }

  static AppSettings Settings(bool windowed, int depth = 32) {
    AppSettings s;
    s.windowed = windowed;
    s.colourDepth = static_cast<std::uint8_t>(depth);
    return s;
  }

  int StateChanges() const {
    return Log().Count("SetRenderState") + Log().Count("SetSamplerState") +
           Log().Count("SetTextureStageState");
  }
};

TEST_F(GraphicsDeviceTest, InitCreatesDeviceWithThePresentParameters) {
  GraphicsDevice gd;
  ASSERT_TRUE(gd.Init(MakeWindow(false), Settings(false)));
  ASSERT_NE(gd.GetDevice(), nullptr);
  ASSERT_NE(gd.GetSprite(), nullptr);
  const auto& p = gd.presentParams;
  EXPECT_EQ(p.BackBufferWidth, 800u);
  EXPECT_EQ(p.BackBufferHeight, 600u);
  EXPECT_EQ(p.BackBufferFormat, D3DFMT_X8R8G8B8);  // the default adapter lists no A8R8G8B8
  EXPECT_EQ(p.BackBufferCount, 1u);
  EXPECT_EQ(p.SwapEffect, D3DSWAPEFFECT_DISCARD);
  EXPECT_EQ(p.Windowed, FALSE);
  EXPECT_EQ(p.EnableAutoDepthStencil, TRUE);
  EXPECT_EQ(p.AutoDepthStencilFormat, D3DFMT_D16);
  EXPECT_EQ(p.PresentationInterval, D3DPRESENT_INTERVAL_IMMEDIATE);
  EXPECT_EQ(p.hDeviceWindow, nullptr);
  auto create = Log().Named("CreateDevice");
  ASSERT_EQ(create.size(), 1u);
  EXPECT_EQ(create[0].args[2], D3DCREATE_HARDWARE_VERTEXPROCESSING);
  // Creation sends every covered default once.
  EXPECT_EQ(StateChanges(), 165);
}

TEST_F(GraphicsDeviceTest, FullScreenFormatChoice) {
  using platform::d3d9::HeadlessSetAdapterModes;
  GraphicsDevice gd;
  gd.direct3D = Direct3DCreate9(D3D_SDK_VERSION);
  ASSERT_NE(gd.direct3D, nullptr);

  HeadlessSetAdapterModes({{800, 600, 60, D3DFMT_X1R5G5B5}, {1024, 768, 60, D3DFMT_R5G6B5}});
  EXPECT_EQ(GraphicsDevice::ChooseFullScreenFormat(gd.direct3D, 16, 800, 600), D3DFMT_X1R5G5B5);
  HeadlessSetAdapterModes({{800, 600, 60, D3DFMT_R5G6B5}, {800, 600, 60, D3DFMT_X1R5G5B5}});
  EXPECT_EQ(GraphicsDevice::ChooseFullScreenFormat(gd.direct3D, 16, 800, 600), D3DFMT_R5G6B5);
  HeadlessSetAdapterModes({{800, 600, 60, D3DFMT_A1R5G5B5}});
  EXPECT_EQ(GraphicsDevice::ChooseFullScreenFormat(gd.direct3D, 16, 800, 600), D3DFMT_A1R5G5B5);
  HeadlessSetAdapterModes({{800, 600, 60, D3DFMT_X8R8G8B8}});
  EXPECT_EQ(GraphicsDevice::ChooseFullScreenFormat(gd.direct3D, 32, 800, 600), D3DFMT_X8R8G8B8);
  HeadlessSetAdapterModes({{800, 600, 60, D3DFMT_X8R8G8B8}, {800, 600, 60, D3DFMT_A8R8G8B8}});
  EXPECT_EQ(GraphicsDevice::ChooseFullScreenFormat(gd.direct3D, 32, 800, 600), D3DFMT_A8R8G8B8);
  // The size must match exactly; refresh rate is not looked at.
  HeadlessSetAdapterModes({{800, 601, 60, D3DFMT_X8R8G8B8}, {801, 600, 75, D3DFMT_X8R8G8B8}});
  EXPECT_EQ(GraphicsDevice::ChooseFullScreenFormat(gd.direct3D, 32, 800, 600), D3DFMT_UNKNOWN);
  HeadlessSetAdapterModes({{800, 600, 60, D3DFMT_X8R8G8B8}, {800, 600, 60, D3DFMT_R5G6B5}});
  EXPECT_EQ(GraphicsDevice::ChooseFullScreenFormat(gd.direct3D, 24, 800, 600), D3DFMT_UNKNOWN);
  EXPECT_EQ(GraphicsDevice::ChooseFullScreenFormat(gd.direct3D, 8, 800, 600), D3DFMT_UNKNOWN);
}

TEST_F(GraphicsDeviceTest, UnsupportedDepthFailsInitWithErrorFatal) {
  GraphicsDevice gd;
  EXPECT_FALSE(gd.Init(MakeWindow(false), Settings(false, 24)));
  EXPECT_EQ(gd.GetDevice(), nullptr);
  const auto& boxes = platform::win32::HeadlessMessageBoxes();
  ASSERT_EQ(boxes.size(), 1u);
  EXPECT_EQ(boxes[0].text, "Error fatal");
  EXPECT_EQ(boxes[0].caption, "Error");
  EXPECT_EQ(boxes[0].type, MB_ICONERROR);
}

TEST_F(GraphicsDeviceTest, FailedDirect3DCreateFailsSilently) {
  platform::d3d9::HeadlessFailDirect3DCreate(true);
  GraphicsDevice gd;
  EXPECT_FALSE(gd.Init(MakeWindow(false), Settings(false)));
  EXPECT_TRUE(platform::win32::HeadlessMessageBoxes().empty());
}

TEST_F(GraphicsDeviceTest, FailedCreateDeviceShowsErrorFatal) {
  Log().FailCall("CreateDevice");
  GraphicsDevice gd;
  EXPECT_FALSE(gd.Init(MakeWindow(false), Settings(false)));
  ASSERT_EQ(platform::win32::HeadlessMessageBoxes().size(), 1u);
  EXPECT_EQ(platform::win32::HeadlessMessageBoxes()[0].text, "Error fatal");
}

TEST_F(GraphicsDeviceTest, WindowedClientAreaIsExactlyTheBackBufferWhateverTheFrame) {
  for (RECT frame : {RECT{3, 26, 3, 3}, RECT{0, 0, 0, 0}, RECT{8, 31, 8, 8}, RECT{1, 40, 1, 12}}) {
    platform::win32::HeadlessSetFrame(frame.left, frame.top, frame.right, frame.bottom);
    HWND w = MakeWindow(true, 800, 600);
    RECT client{};
    GetClientRect(w, &client);
    GraphicsDevice gd;
    ASSERT_TRUE(gd.Init(w, Settings(true)));
    GetClientRect(w, &client);
    EXPECT_EQ(client.right, 800);
    EXPECT_EQ(client.bottom, 600);
    // Windowed devices use the desktop's format.
    EXPECT_EQ(gd.presentParams.BackBufferFormat, D3DFMT_X8R8G8B8);
    EXPECT_EQ(gd.presentParams.Windowed, TRUE);
    DestroyWindow(w);
  }
}

TEST_F(GraphicsDeviceTest, WindowedFailsWithoutDesktopMode) {
  Log().FailCall("GetAdapterDisplayMode");
  GraphicsDevice gd;
  EXPECT_FALSE(gd.Init(MakeWindow(true), Settings(true)));
  EXPECT_EQ(gd.GetDevice(), nullptr);
}

TEST_F(GraphicsDeviceTest, CacheSkipsRepeatsAndForceAlwaysSends) {
  GraphicsDevice gd;
  ASSERT_TRUE(gd.Init(MakeWindow(false), Settings(false)));
  Log().Clear();
  // Already the cached default: no call.
  EXPECT_TRUE(gd.SetRenderState(D3DRS_LIGHTING, 1, false));
  EXPECT_EQ(Log().Count("SetRenderState"), 0);
  EXPECT_TRUE(gd.SetRenderState(D3DRS_LIGHTING, 0, false));
  EXPECT_TRUE(gd.SetRenderState(D3DRS_LIGHTING, 0, false));
  EXPECT_EQ(Log().Count("SetRenderState"), 1);
  EXPECT_TRUE(gd.SetRenderState(D3DRS_LIGHTING, 0, true));
  EXPECT_EQ(Log().Count("SetRenderState"), 2);
  // Outside the covered set the cache starts at 0: a first request of 0 is skipped.
  EXPECT_TRUE(gd.SetRenderState(static_cast<D3DRENDERSTATETYPE>(5), 0, false));
  EXPECT_EQ(Log().Count("SetRenderState"), 2);
  // Samplers and stages follow the same rule.
  EXPECT_TRUE(gd.SetSamplerState(1, D3DSAMP_MAGFILTER, D3DTEXF_POINT, false));
  EXPECT_TRUE(gd.SetSamplerState(1, D3DSAMP_MAGFILTER, D3DTEXF_LINEAR, false));
  EXPECT_TRUE(gd.SetTextureStageState(1, D3DTSS_COLOROP, D3DTOP_DISABLE, false));
  EXPECT_TRUE(gd.SetTextureStageState(1, D3DTSS_COLOROP, D3DTOP_MODULATE, false));
  EXPECT_EQ(Log().Count("SetSamplerState"), 1);
  EXPECT_EQ(Log().Count("SetTextureStageState"), 1);
  auto s = Log().Named("SetSamplerState");
  EXPECT_EQ(s[0].args[0], 1u);
  EXPECT_EQ(s[0].args[1], static_cast<DWORD>(D3DSAMP_MAGFILTER));
  EXPECT_EQ(s[0].args[2], static_cast<DWORD>(D3DTEXF_LINEAR));
}

TEST_F(GraphicsDeviceTest, FailedChangeLeavesCacheSoTheValueIsSentAgain) {
  GraphicsDevice gd;
  ASSERT_TRUE(gd.Init(MakeWindow(false), Settings(false)));
  Log().Clear();
  Log().FailCall("SetRenderState");
  EXPECT_FALSE(gd.SetRenderState(D3DRS_ALPHABLENDENABLE, 1, false));
  EXPECT_EQ(gd.stateCache[D3DRS_ALPHABLENDENABLE].value, 0u);
  EXPECT_TRUE(gd.SetRenderState(D3DRS_ALPHABLENDENABLE, 1, false));
  EXPECT_EQ(Log().Count("SetRenderState"), 2);
  EXPECT_EQ(gd.stateCache[D3DRS_ALPHABLENDENABLE].value, 1u);

  Log().FailCall("SetTextureStageState");
  EXPECT_FALSE(gd.SetTextureStageState(0, D3DTSS_COLOROP, D3DTOP_SELECTARG1, false));
  EXPECT_EQ(gd.stateCache[RenderStateSet::StageIndex(0, D3DTSS_COLOROP)].value,
            static_cast<DWORD>(D3DTOP_MODULATE));
}

TEST_F(GraphicsDeviceTest, StateOutsideCoveredSetIsKnownButNotResent) {
  GraphicsDevice gd;
  ASSERT_TRUE(gd.Init(MakeWindow(false), Settings(false)));
  ASSERT_TRUE(gd.SetRenderState(static_cast<D3DRENDERSTATETYPE>(5), 7, false));
  EXPECT_TRUE(gd.stateCache[5].known);
  EXPECT_FALSE(gd.stateCache[5].specified);
  platform::d3d9::HeadlessLoseDevice();
  platform::d3d9::HeadlessMakeDeviceResettable();
  Log().Clear();
  ASSERT_EQ(gd.Reset(), GraphicsDevice::kResetDone);
  for (const auto& r : Log().Named("SetRenderState")) EXPECT_NE(r.args[0], 5u);
  EXPECT_EQ(StateChanges(), 165);
}

TEST_F(GraphicsDeviceTest, ClearColourRule) {
  GraphicsDevice gd;
  ASSERT_TRUE(gd.Init(MakeWindow(false), Settings(false)));
  Log().Clear();
  gd.Clear();
  gd.clearColour[0] = 1.2f;
  gd.clearColour[1] = -0.1f;
  gd.clearColour[2] = 0.5f;
  gd.clearColour[3] = 0.25f;
  gd.Clear();
  auto clears = Log().Named("Clear");
  ASSERT_EQ(clears.size(), 2u);
  EXPECT_EQ(clears[0].args[2], 0xFF000000u);
  EXPECT_EQ(clears[0].args[1], D3DCLEAR_TARGET | D3DCLEAR_ZBUFFER);
  EXPECT_EQ(clears[0].args[3], FloatToDWORD(1.0f));
  // 1.2 → 255, −0.1 → 0, 0.5 → 128, 0.25 → 64.
  EXPECT_EQ(clears[1].args[2], 0x40FF0080u);
}

TEST_F(GraphicsDeviceTest, ClearColourWithNaNComponentGivesZero) {
  GraphicsDevice gd;
  ASSERT_TRUE(gd.Init(MakeWindow(false), Settings(false)));
  Log().Clear();
  gd.clearColour[1] = std::numeric_limits<float>::quiet_NaN();
  gd.clearColour[0] = 1.0f;
  gd.Clear();
  ASSERT_EQ(Log().Count("Clear"), 1);
  EXPECT_EQ(Log().Named("Clear")[0].args[2], 0xFFFF0000u);
}

TEST_F(GraphicsDeviceTest, DestroyingFreesTheDeviceEvenWithResourcesStillBound) {
  auto* gd = new GraphicsDevice();
  ASSERT_TRUE(gd->Init(MakeWindow(false), Settings(false)));
  IDirect3DTexture9* texture = nullptr;
  ASSERT_EQ(gd->GetDevice()->CreateTexture(4, 4, 1, 0, D3DFMT_A8R8G8B8, D3DPOOL_MANAGED, &texture,
                                           nullptr),
            D3D_OK);
  gd->GetDevice()->SetTexture(0, texture);
  texture->Release();  // now only the device holds it
  Log().Clear();
  delete gd;
  EXPECT_EQ(Log().Count("DeviceDestroyed"), 1);
}

TEST_F(GraphicsDeviceTest, GetStateReportsTheFourStates) {
  GraphicsDevice none;
  EXPECT_EQ(none.GetState(), GraphicsDevice::kNoDevice);
  EXPECT_EQ(none.Reset(), GraphicsDevice::kResetNoDevice);

  GraphicsDevice gd;
  ASSERT_TRUE(gd.Init(MakeWindow(false), Settings(false)));
  EXPECT_EQ(gd.GetState(), GraphicsDevice::kUsable);
  platform::d3d9::HeadlessLoseDevice();
  EXPECT_EQ(gd.GetState(), GraphicsDevice::kLost);
  EXPECT_EQ(gd.GetState(), GraphicsDevice::kLost);
  platform::d3d9::HeadlessMakeDeviceResettable();
  EXPECT_EQ(gd.GetState(), GraphicsDevice::kReadyToReset);
  EXPECT_EQ(gd.Reset(), GraphicsDevice::kResetDone);
  EXPECT_EQ(gd.GetState(), GraphicsDevice::kUsable);
}

// Writes its notifications into the device's call log, so their order against the
// device's own calls can be read back.
class LoggingObject : public DeviceResource {
 public:
  explicit LoggingObject(const char* lost, const char* reset) : lost_(lost), reset_(reset) {}
  void OnLostDevice() override { platform::d3d9::Record(lost_, {}); }
  void OnResetDevice() override { platform::d3d9::Record(reset_, {}); }

 private:
  const char* lost_;
  const char* reset_;
};

TEST_F(GraphicsDeviceTest, ResetNotifiesInOrderThenReappliesStates) {
  GraphicsDevice gd;
  ASSERT_TRUE(gd.Init(MakeWindow(false), Settings(false)));
  LoggingObject a("LostA", "ResetA"), b("LostB", "ResetB");
  EXPECT_FALSE(gd.RegisterDeviceObject(nullptr));
  ASSERT_TRUE(gd.RegisterDeviceObject(&a));
  ASSERT_TRUE(gd.RegisterDeviceObject(&b));
  static int listenerCalls = 0;
  listenerCalls = 0;
  gd.SetResetListener([] {
    platform::d3d9::Record("SceneRestore", {});
    ++listenerCalls;
  });
  ASSERT_TRUE(gd.SetRenderState(D3DRS_CULLMODE, D3DCULL_NONE, false));

  Log().Clear();
  ASSERT_EQ(gd.Reset(), GraphicsDevice::kResetDone);
  std::vector<std::string> names;
  for (const auto& r : Log().Records())
    if (std::strcmp(r.name, "SetRenderState") && std::strcmp(r.name, "SetSamplerState") &&
        std::strcmp(r.name, "SetTextureStageState"))
      names.push_back(r.name);
  const std::vector<std::string> expected = {"LostA", "LostB", "Reset", "ResetA", "ResetB",
                                             "SceneRestore"};
  // The sprite may log its own notifications between; keep only ours.
  std::vector<std::string> ours;
  for (const auto& n : names)
    if (n == "LostA" || n == "LostB" || n == "Reset" || n == "ResetA" || n == "ResetB" ||
        n == "SceneRestore")
      ours.push_back(n);
  EXPECT_EQ(ours, expected);
  EXPECT_EQ(listenerCalls, 1);
  // The cached value survives the reset and is sent again.
  bool cullSent = false;
  for (const auto& r : Log().Named("SetRenderState"))
    if (r.args[0] == D3DRS_CULLMODE) cullSent = r.args[1] == D3DCULL_NONE;
  EXPECT_TRUE(cullSent);
  EXPECT_EQ(StateChanges(), 165);
}

TEST_F(GraphicsDeviceTest, UnregisteredObjectIsNotCalledAgain) {
  GraphicsDevice gd;
  ASSERT_TRUE(gd.Init(MakeWindow(false), Settings(false)));
  LoggingObject a("LostA", "ResetA"), b("LostB", "ResetB");
  gd.RegisterDeviceObject(&a);
  gd.RegisterDeviceObject(&b);
  gd.UnregisterDeviceObject(&a);
  gd.UnregisterDeviceObject(&a);  // twice is harmless
  Log().Clear();
  ASSERT_EQ(gd.Reset(), GraphicsDevice::kResetDone);
  EXPECT_EQ(Log().Count("LostA"), 0);
  EXPECT_EQ(Log().Count("ResetA"), 0);
  EXPECT_EQ(Log().Count("LostB"), 1);
  EXPECT_EQ(Log().Count("ResetB"), 1);
}

TEST_F(GraphicsDeviceTest, FailedResetLeavesObjectsLostAndIsRetried) {
  GraphicsDevice gd;
  ASSERT_TRUE(gd.Init(MakeWindow(false), Settings(false)));
  LoggingObject a("LostA", "ResetA");
  gd.RegisterDeviceObject(&a);
  Log().Clear();
  Log().FailCall("Reset");
  EXPECT_EQ(gd.Reset(), GraphicsDevice::kResetFailed);
  EXPECT_EQ(Log().Count("LostA"), 1);
  EXPECT_EQ(Log().Count("ResetA"), 0);
  EXPECT_EQ(StateChanges(), 0);
  EXPECT_EQ(gd.Reset(), GraphicsDevice::kResetDone);
  EXPECT_EQ(Log().Count("ResetA"), 1);
}

TEST_F(GraphicsDeviceTest, ConfigureOnExistingDeviceResets) {
  GraphicsDevice gd;
  HWND w = MakeWindow(false);
  ASSERT_TRUE(gd.Init(w, Settings(false)));
  Log().Clear();
  EXPECT_TRUE(gd.Configure(w, Settings(false)));
  EXPECT_EQ(Log().Count("CreateDevice"), 0);
  EXPECT_EQ(Log().Count("Reset"), 1);
  EXPECT_FALSE(gd.Configure(nullptr, Settings(false)));
}

TEST_F(GraphicsDeviceTest, SceneAndPresentResults) {
  GraphicsDevice gd;
  ASSERT_TRUE(gd.Init(MakeWindow(false), Settings(false)));
  Log().Clear();
  EXPECT_TRUE(gd.BeginScene());
  EXPECT_TRUE(gd.BeginSprites(0x10));
  gd.EndSprites();
  EXPECT_TRUE(gd.EndSceneAndPresent());
  Log().FailCall("EndScene");
  EXPECT_TRUE(gd.BeginScene());
  EXPECT_FALSE(gd.EndSceneAndPresent());
  EXPECT_EQ(Log().Count("Present"), 1);  // no present after a failed EndScene
}

}  // namespace

namespace {

class FontLifetimeTest : public HeadlessDeviceTest {};

TEST_F(FontLifetimeTest, ReleasedFontLeavesTheDevicesList) {
  FontManager fonts;
  Font* font = fonts.Acquire("Score");
  ASSERT_NE(font, nullptr);
  ASSERT_EQ(g_graphicsDevice->deviceObjects.size(), 1u);
  fonts.Release("Score");  // count 1 → 0: still cached
  EXPECT_EQ(g_graphicsDevice->deviceObjects.size(), 1u);
  fonts.Release("Score");  // at 0: destroyed
  EXPECT_TRUE(g_graphicsDevice->deviceObjects.empty());
  // A reset after that touches no freed font.
  platform::d3d9::HeadlessLoseDevice();
  platform::d3d9::HeadlessMakeDeviceResettable();
  EXPECT_EQ(g_graphicsDevice->Reset(), GraphicsDevice::kResetDone);
}

}  // namespace

// The Direct3D object: the adapter's modes and caps, and device creation with the
// backend that the platform selection calls for.
#include <vector>

#include "platform/Platform.h"
#include "platform/d3d9/D3D9Headless.h"
#include "platform/d3d9/Device9.h"

namespace platform::d3d9 {

namespace {

struct HeadlessAdapter {
  std::vector<D3DDISPLAYMODE> modes;
  D3DDISPLAYMODE desktop{};
  bool failCreate = false;
};

HeadlessAdapter DefaultAdapter() {
  HeadlessAdapter a;
  for (D3DFORMAT f : {D3DFMT_X8R8G8B8, D3DFMT_R5G6B5}) {
    a.modes.push_back({640, 480, 60, f});
    a.modes.push_back({800, 600, 60, f});
    a.modes.push_back({1024, 768, 60, f});
  }
  a.desktop = {1024, 768, 60, D3DFMT_X8R8G8B8};
  return a;
}

HeadlessAdapter& Adapter() {
  static HeadlessAdapter adapter = DefaultAdapter();
  return adapter;
}

D3DCAPS9 MakeCaps() {
  D3DCAPS9 caps{};
  caps.DeviceType = D3DDEVTYPE_HAL;
  caps.DevCaps = D3DDEVCAPS_HWTRANSFORMANDLIGHT;
  caps.PresentationIntervals = D3DPRESENT_INTERVAL_IMMEDIATE | D3DPRESENT_INTERVAL_ONE;
  caps.MaxTextureWidth = 4096;
  caps.MaxTextureHeight = 4096;
  caps.MaxTextureAspectRatio = 4096;
  caps.MaxTextureBlendStages = 8;
  caps.MaxSimultaneousTextures = 8;
  caps.MaxActiveLights = 8;
  caps.MaxPointSize = 64.0f;
  caps.MaxPrimitiveCount = 0xFFFFF;
  caps.MaxVertexIndex = 0xFFFFFF;
  caps.MaxStreams = 1;
  caps.MaxStreamStride = 255;
  return caps;
}

// The modes an adapter lists: headless from the test's list; real: the desktop size and
// every smaller standard size, since the back buffer is scaled to the screen.
std::vector<D3DDISPLAYMODE> ModesFor(D3DFORMAT format) {
  std::vector<D3DDISPLAYMODE> out;
  if (GetBackend() == Backend::Headless) {
    for (const auto& m : Adapter().modes)
      if (m.Format == format) out.push_back(m);
    return out;
  }
  if (format != D3DFMT_X8R8G8B8 && format != D3DFMT_R5G6B5) return out;
  D3DDISPLAYMODE desktop{};
  if (!QueryRealDesktopMode(&desktop)) return out;
  static const UINT kSizes[][2] = {{640, 480}, {800, 600}, {1024, 768}, {1280, 720},
                                   {1280, 1024}, {1920, 1080}};
  for (const auto& s : kSizes)
    if (s[0] <= desktop.Width && s[1] <= desktop.Height && (s[0] != desktop.Width || s[1] != desktop.Height))
      out.push_back({s[0], s[1], desktop.RefreshRate, format});
  out.push_back({desktop.Width, desktop.Height, desktop.RefreshRate, format});
  return out;
}

class Direct3D9 final : public RefCounted<IDirect3D9> {
 public:
  UINT GetAdapterCount() override { return 1; }

  HRESULT GetDeviceCaps(UINT adapter, D3DDEVTYPE, D3DCAPS9* caps) override {
    if (adapter != D3DADAPTER_DEFAULT || !caps) return D3DERR_INVALIDCALL;
    *caps = MakeCaps();
    return D3D_OK;
  }

  HRESULT GetAdapterDisplayMode(UINT adapter, D3DDISPLAYMODE* mode) override {
    if (adapter != D3DADAPTER_DEFAULT || !mode) return D3DERR_INVALIDCALL;
    Record("GetAdapterDisplayMode", {adapter});
    if (Log().ShouldFail("GetAdapterDisplayMode")) return D3DERR_NOTAVAILABLE;
    if (GetBackend() == Backend::Headless) {
      *mode = Adapter().desktop;
      return D3D_OK;
    }
    return QueryRealDesktopMode(mode) ? D3D_OK : D3DERR_NOTAVAILABLE;
  }

  UINT GetAdapterModeCount(UINT adapter, D3DFORMAT format) override {
    if (adapter != D3DADAPTER_DEFAULT) return 0;
    return static_cast<UINT>(ModesFor(format).size());
  }

  HRESULT EnumAdapterModes(UINT adapter, D3DFORMAT format, UINT index,
                           D3DDISPLAYMODE* mode) override {
    if (adapter != D3DADAPTER_DEFAULT || !mode) return D3DERR_INVALIDCALL;
    const auto modes = ModesFor(format);
    if (index >= modes.size()) return D3DERR_INVALIDCALL;
    *mode = modes[index];
    return D3D_OK;
  }

  HRESULT CreateDevice(UINT adapter, D3DDEVTYPE type, HWND window, DWORD behaviour,
                       D3DPRESENT_PARAMETERS* params, IDirect3DDevice9** device) override {
    Record("CreateDevice", {adapter, static_cast<DWORD>(type), behaviour,
                            params ? params->BackBufferWidth : 0u,
                            params ? params->BackBufferHeight : 0u,
                            params ? static_cast<DWORD>(params->BackBufferFormat) : 0u,
                            params ? static_cast<DWORD>(params->Windowed) : 0u},
           window);
    if (!device || !params || !window || adapter != D3DADAPTER_DEFAULT)
      return D3DERR_INVALIDCALL;
    *device = nullptr;
    if (Log().ShouldFail("CreateDevice")) return D3DERR_NOTAVAILABLE;
    RenderBackend* backend =
        GetBackend() == Backend::Headless ? CreateNullBackend() : CreateGLBackend();
    if (!backend || !backend->Create(window, *params)) {
      delete backend;
      return D3DERR_NOTAVAILABLE;
    }
    *device = new Device9(backend, *params, MakeCaps());
    return D3D_OK;
  }
};

}  // namespace

void HeadlessSetAdapterModes(const std::vector<D3DDISPLAYMODE>& modes) { Adapter().modes = modes; }
void HeadlessSetDesktopMode(const D3DDISPLAYMODE& mode) { Adapter().desktop = mode; }
void HeadlessFailDirect3DCreate(bool fail) { Adapter().failCreate = fail; }

IDirect3DDevice9* HeadlessCreateDevice() {
  if (GetBackend() != Backend::Headless) return nullptr;
  IDirect3D9* d3d = Direct3DCreate9(D3D_SDK_VERSION);
  if (!d3d) return nullptr;
  D3DPRESENT_PARAMETERS params{};
  params.BackBufferWidth = 800;
  params.BackBufferHeight = 600;
  params.BackBufferFormat = D3DFMT_X8R8G8B8;
  params.Windowed = TRUE;
  params.SwapEffect = D3DSWAPEFFECT_DISCARD;
  // The headless backend never looks at the window; any non-null handle will do.
  HWND window = reinterpret_cast<HWND>(static_cast<std::uintptr_t>(1));
  IDirect3DDevice9* device = nullptr;
  d3d->CreateDevice(D3DADAPTER_DEFAULT, D3DDEVTYPE_HAL, window,
                    D3DCREATE_HARDWARE_VERTEXPROCESSING, &params, &device);
  d3d->Release();
  return device;
}

void HeadlessResetD3D() {
  Adapter() = DefaultAdapter();
  Log().Clear();
  Log().ClearFailures();
  Log().enabled = GetBackend() == Backend::Headless;
  HeadlessForgetDeviceLoss();
}

}  // namespace platform::d3d9

IDirect3D9* Direct3DCreate9(UINT sdkVersion) {
  using namespace platform::d3d9;
  Record("Direct3DCreate9", {sdkVersion});
  if (sdkVersion != D3D_SDK_VERSION) return nullptr;
  if (platform::GetBackend() == platform::Backend::Headless) {
    if (Adapter().failCreate) return nullptr;
  } else {
    D3DDISPLAYMODE mode{};
    if (!QueryRealDesktopMode(&mode)) return nullptr;
  }
  return new Direct3D9();
}

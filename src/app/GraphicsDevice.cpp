#include "app/GraphicsDevice.h"

#include <algorithm>

#include "engine/resources/DeviceResource.h"
#include "platform/d3dx9/D3DX9Sprite.h"
#include "platform/win32/Win32.h"

GraphicsDevice* g_graphicsDevice = nullptr;

namespace {

std::uint32_t ColourByte(float c) {
  if (c >= 1.0f) return 255;
  if (!(c > 0.0f)) return 0;  // also a NaN component
  return static_cast<std::uint32_t>(c * 255.0f + 0.5f);
}

bool AdapterHasMode(IDirect3D9* d3d, D3DFORMAT format, int width, int height) {
  const UINT count = d3d->GetAdapterModeCount(D3DADAPTER_DEFAULT, format);
  for (UINT i = 0; i < count; ++i) {
    D3DDISPLAYMODE mode{};
    if (FAILED(d3d->EnumAdapterModes(D3DADAPTER_DEFAULT, format, i, &mode))) continue;
    if (static_cast<int>(mode.Width) == width && static_cast<int>(mode.Height) == height)
      return true;
  }
  return false;
}

}  // namespace

GraphicsDevice::GraphicsDevice() = default;

GraphicsDevice::~GraphicsDevice() {
  if (sprite) sprite->Release();
  sprite = nullptr;
  if (device) {
    // Bound resources hold the device and the device holds them: unbind first so the
    // last release really frees the device.
    for (DWORD stage = 0; stage < 8; ++stage) device->SetTexture(stage, nullptr);
    device->SetStreamSource(0, nullptr, 0, 0);
    device->SetIndices(nullptr);
    device->Release();
  }
  device = nullptr;
  if (direct3D) direct3D->Release();
  direct3D = nullptr;
}

bool GraphicsDevice::Init(HWND window, AppSettings settings) {
  direct3D = Direct3DCreate9(D3D_SDK_VERSION);
  if (!direct3D) return false;
  direct3D->GetDeviceCaps(D3DADAPTER_DEFAULT, D3DDEVTYPE_HAL, &caps);
  if (window) Configure(window, settings);
  if (device) stateCache.ApplyTo(*this, true);
  if (device && SUCCEEDED(D3DXCreateSprite(device, &sprite))) return true;
  MessageBoxA(nullptr, "Error fatal", "Error", MB_ICONERROR);
  return false;
}

D3DFORMAT GraphicsDevice::ChooseFullScreenFormat(IDirect3D9* d3d, int colourDepth, int width,
                                                 int height) {
  static const D3DFORMAT k16[] = {D3DFMT_R5G6B5, D3DFMT_X1R5G5B5, D3DFMT_A1R5G5B5};
  static const D3DFORMAT k32[] = {D3DFMT_A8R8G8B8, D3DFMT_X8R8G8B8};
  if (colourDepth == 16) {
    for (D3DFORMAT f : k16)
      if (AdapterHasMode(d3d, f, width, height)) return f;
  } else if (colourDepth == 32) {
    for (D3DFORMAT f : k32)
      if (AdapterHasMode(d3d, f, width, height)) return f;
  }
  return D3DFMT_UNKNOWN;
}

bool GraphicsDevice::Configure(HWND window, AppSettings settings) {
  if (!window || !direct3D) return false;
  D3DFORMAT format = D3DFMT_UNKNOWN;
  if (settings.windowed) {
    RECT outer{}, client{};
    GetWindowRect(window, &outer);
    GetClientRect(window, &client);
    const int w = settings.width + (outer.right - outer.left) - client.right;
    const int h = settings.height + (outer.bottom - outer.top) - client.bottom;
    SetWindowPos(window, nullptr, 0, 0, w, h, SWP_NOMOVE);
    D3DDISPLAYMODE mode{};
    if (FAILED(direct3D->GetAdapterDisplayMode(D3DADAPTER_DEFAULT, &mode))) return false;
    format = mode.Format;
  } else {
    format =
        ChooseFullScreenFormat(direct3D, settings.colourDepth, settings.width, settings.height);
    if (format == D3DFMT_UNKNOWN) return false;
  }

  presentParams = D3DPRESENT_PARAMETERS{};
  presentParams.BackBufferWidth = static_cast<UINT>(settings.width);
  presentParams.BackBufferHeight = static_cast<UINT>(settings.height);
  presentParams.BackBufferFormat = format;
  presentParams.BackBufferCount = 1;
  presentParams.MultiSampleType = static_cast<D3DMULTISAMPLE_TYPE>(settings.multiSampleType);
  presentParams.MultiSampleQuality = 0;
  presentParams.SwapEffect = D3DSWAPEFFECT_DISCARD;
  presentParams.hDeviceWindow = nullptr;
  presentParams.Windowed = settings.windowed ? TRUE : FALSE;
  presentParams.EnableAutoDepthStencil = settings.depthBuffer ? TRUE : FALSE;
  presentParams.AutoDepthStencilFormat = settings.depthBuffer ? D3DFMT_D16 : D3DFMT_UNKNOWN;
  presentParams.Flags = 0;
  presentParams.FullScreen_RefreshRateInHz = 0;
  presentParams.PresentationInterval = D3DPRESENT_INTERVAL_IMMEDIATE;

  if (device) {
    Reset();
    return true;
  }
  const DWORD behaviour = (caps.DevCaps & D3DDEVCAPS_HWTRANSFORMANDLIGHT)
                              ? D3DCREATE_HARDWARE_VERTEXPROCESSING
                              : D3DCREATE_SOFTWARE_VERTEXPROCESSING;
  if (FAILED(direct3D->CreateDevice(D3DADAPTER_DEFAULT, D3DDEVTYPE_HAL, window, behaviour,
                                    &presentParams, &device))) {
    device = nullptr;
    return false;
  }
  return true;
}

int GraphicsDevice::GetState() {
  if (!device) return kNoDevice;
  const HRESULT hr = device->TestCooperativeLevel();
  if (hr == D3DERR_DEVICELOST) return kLost;
  if (hr == D3DERR_DEVICENOTRESET) return kReadyToReset;
  return kUsable;
}

int GraphicsDevice::Reset() {
  if (!device) return kResetNoDevice;
  for (DeviceResource* object : deviceObjects) object->OnLostDevice();
  if (sprite) sprite->OnLostDevice();
  if (FAILED(device->Reset(&presentParams))) return kResetFailed;
  for (DeviceResource* object : deviceObjects) object->OnResetDevice();
  if (sprite) sprite->OnResetDevice();
  stateCache.ApplyTo(*this, true);
  NotifySceneOfReset();
  return kResetDone;
}

void GraphicsDevice::Clear() {
  if (!device) return;
  const D3DCOLOR colour = (ColourByte(clearColour[3]) << 24) | (ColourByte(clearColour[0]) << 16) |
                          (ColourByte(clearColour[1]) << 8) | ColourByte(clearColour[2]);
  device->Clear(0, nullptr, D3DCLEAR_TARGET | D3DCLEAR_ZBUFFER, colour, 1.0f, 0);
}

bool GraphicsDevice::BeginScene() {
  return device && SUCCEEDED(device->BeginScene());
}

bool GraphicsDevice::EndSceneAndPresent() {
  if (!device) return false;
  if (FAILED(device->EndScene())) return false;
  return SUCCEEDED(device->Present(nullptr, nullptr, nullptr, nullptr));
}

bool GraphicsDevice::BeginSprites(DWORD flags) {
  return sprite && SUCCEEDED(sprite->Begin(flags));
}

void GraphicsDevice::EndSprites() {
  if (sprite) sprite->End();
}

namespace {

// The cache rule shared by the three setters: skip a repeat unless forced; on failure
// leave the entry as it was so the same value is sent again next time.
template <class Send>
bool SetCached(RenderStateSet::Entry& entry, DWORD value, bool force, Send send) {
  if (!force && entry.value == value) return true;
  if (FAILED(send())) return false;
  entry.value = value;
  entry.known = true;
  return true;
}

}  // namespace

bool GraphicsDevice::SetRenderState(D3DRENDERSTATETYPE state, DWORD value, bool force) {
  if (state >= static_cast<DWORD>(RenderStateSet::kRenderStates)) return false;
  return SetCached(stateCache[static_cast<int>(state)], value, force, [&] {
    return device ? device->SetRenderState(state, value) : D3DERR_INVALIDCALL;
  });
}

bool GraphicsDevice::SetSamplerState(DWORD sampler, D3DSAMPLERSTATETYPE type, DWORD value,
                                     bool force) {
  if (sampler > 1 || type >= static_cast<DWORD>(RenderStateSet::kSamplerStates)) return false;
  return SetCached(
      stateCache[RenderStateSet::SamplerIndex(static_cast<int>(sampler), static_cast<int>(type))],
      value, force,
      [&] { return device ? device->SetSamplerState(sampler, type, value) : D3DERR_INVALIDCALL; });
}

bool GraphicsDevice::SetTextureStageState(DWORD stage, D3DTEXTURESTAGESTATETYPE type, DWORD value,
                                          bool force) {
  if (stage > 1 || type >= static_cast<DWORD>(RenderStateSet::kStageStates)) return false;
  return SetCached(
      stateCache[RenderStateSet::StageIndex(static_cast<int>(stage), static_cast<int>(type))],
      value, force, [&] {
        return device ? device->SetTextureStageState(stage, type, value) : D3DERR_INVALIDCALL;
      });
}

bool GraphicsDevice::RegisterDeviceObject(DeviceResource* object) {
  if (!object) return false;
  deviceObjects.push_back(object);
  return true;
}

void GraphicsDevice::UnregisterDeviceObject(DeviceResource* object) {
  deviceObjects.erase(std::remove(deviceObjects.begin(), deviceObjects.end(), object),
                      deviceObjects.end());
}

void GraphicsDevice::SetResetListener(void (*listener)()) {
  resetListener = listener;
}

void GraphicsDevice::NotifySceneOfReset() {
  if (resetListener) resetListener();
}

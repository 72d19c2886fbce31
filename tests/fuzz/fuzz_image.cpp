// Feeds arbitrary bytes to the in-memory texture loader on the headless device: the
// PNG and JPEG readers must refuse what they cannot decode without crashing, hanging or
// allocating by a corrupt size.
#include <cstddef>
#include <cstdint>

#include "platform/Platform.h"
#include "platform/d3d9/D3D9.h"
#include "platform/d3d9/D3D9Headless.h"
#include "platform/d3dx9/D3DX9Texture.h"

namespace {

IDirect3DDevice9* Device() {
  static IDirect3DDevice9* device = [] {
    platform::SetBackend(platform::Backend::Headless);
    platform::d3d9::HeadlessResetD3D();
    platform::d3d9::Log().enabled = false;                      // the log would only grow
    static IDirect3D9* d3d = Direct3DCreate9(D3D_SDK_VERSION);  // kept for the whole run
    D3DPRESENT_PARAMETERS params{};
    params.BackBufferWidth = 800;
    params.BackBufferHeight = 600;
    params.BackBufferFormat = D3DFMT_X8R8G8B8;
    params.Windowed = TRUE;
    params.SwapEffect = D3DSWAPEFFECT_DISCARD;
    // The headless backend never looks at the window; any non-null handle will do.
    HWND window = reinterpret_cast<HWND>(static_cast<std::uintptr_t>(1));
    IDirect3DDevice9* created = nullptr;
    if (!d3d || FAILED(d3d->CreateDevice(D3DADAPTER_DEFAULT, D3DDEVTYPE_HAL, window,
                                         D3DCREATE_HARDWARE_VERTEXPROCESSING, &params, &created)))
      __builtin_trap();
    return created;
  }();
  return device;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size == 0 || size > 1u << 20) return 0;
  // The last byte picks the options, so both the full chain and the single level, and
  // the colour key, are exercised.
  const std::uint8_t options = data[size - 1];
  IDirect3DTexture9* texture = nullptr;
  const HRESULT hr = D3DXCreateTextureFromFileInMemoryEx(
      Device(), data, static_cast<UINT>(size), D3DX_DEFAULT, D3DX_DEFAULT, (options & 1) ? 1 : 0, 0,
      D3DFMT_UNKNOWN, D3DPOOL_MANAGED, (options & 2) ? D3DX_FILTER_POINT : D3DX_DEFAULT,
      D3DX_DEFAULT, (options & 4) ? 0xFF000000u : 0u, nullptr, nullptr, &texture);
  if (SUCCEEDED(hr)) {
    D3DSURFACE_DESC desc{};
    if (FAILED(texture->GetLevelDesc(0, &desc)) || desc.Width == 0) __builtin_trap();
    texture->Release();
  } else if (texture) {
    __builtin_trap();
  }
  return 0;
}

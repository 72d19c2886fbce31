// Feeds arbitrary bytes to the in-memory texture loader on the headless device: the
// PNG and JPEG readers must refuse what they cannot decode without crashing, hanging or
// allocating by a corrupt size.
#include <cstddef>
#include <cstdint>

#include "FuzzDevice.h"
#include "platform/d3dx9/D3DX9Texture.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size == 0 || size > 1u << 20) return 0;
  // The last byte picks the options, so both the full chain and the single level, and
  // the colour key, are exercised.
  const std::uint8_t options = data[size - 1];
  IDirect3DTexture9* texture = nullptr;
  const HRESULT hr = D3DXCreateTextureFromFileInMemoryEx(
      FuzzDevice(), data, static_cast<UINT>(size), D3DX_DEFAULT, D3DX_DEFAULT, (options & 1) ? 1 : 0, 0,
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

// The headless device every fuzz target draws on: created once for the whole run, with
// the call log off (it would only grow).
#pragma once

#include <cstdint>

#include "platform/Platform.h"
#include "platform/d3d9/D3D9.h"
#include "platform/d3d9/D3D9Headless.h"

inline IDirect3DDevice9* FuzzDevice() {
  static IDirect3DDevice9* device = [] {
    platform::SetBackend(platform::Backend::Headless);
    platform::d3d9::HeadlessResetD3D();
    platform::d3d9::Log().enabled = false;
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

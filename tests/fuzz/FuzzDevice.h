// The headless device every fuzz target draws on: created once for the whole run, with
// the call log off (it would only grow).
#pragma once

#include "platform/Platform.h"
#include "platform/d3d9/D3D9Headless.h"

inline IDirect3DDevice9* FuzzDevice() {
  static IDirect3DDevice9* device = [] {
    platform::SetBackend(platform::Backend::Headless);
    platform::d3d9::HeadlessResetD3D();
    platform::d3d9::Log().enabled = false;
    IDirect3DDevice9* created = platform::d3d9::HeadlessCreateDevice();
    if (!created) __builtin_trap();
    return created;
  }();
  return device;
}

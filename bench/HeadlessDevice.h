// One headless device per benchmark process, its call log off, for loaders that need a
// device but whose drawing is not what is measured.
#pragma once

#include "platform/Platform.h"
#include "platform/d3d9/D3D9Headless.h"

inline IDirect3DDevice9* Device() {
  static IDirect3DDevice9* device = [] {
    platform::SetBackend(platform::Backend::Headless);
    platform::d3d9::HeadlessResetD3D();
    platform::d3d9::Log().enabled = false;
    return platform::d3d9::HeadlessCreateDevice();
  }();
  return device;
}

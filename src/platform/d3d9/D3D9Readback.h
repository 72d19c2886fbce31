// Reading back what a device has drawn: the back buffer as ARGB pixels, or straight into
// a PNG file (screenshots for tests and for the player). Only the OpenGL backend has pixels.
#pragma once

#include <cstdint>
#include <vector>

#include "platform/d3d9/D3D9.h"

namespace platform::d3d9 {

// The back buffer as 0xAARRGGBB words, top row first; false on the headless backend or
// when the device cannot be read.
bool ReadBackBuffer(IDirect3DDevice9* device, std::vector<std::uint32_t>* argb, UINT* width,
                    UINT* height);

// Writes the back buffer to a PNG file; false when it cannot be read or written.
bool SaveBackBufferPNG(IDirect3DDevice9* device, const char* path);

}  // namespace platform::d3d9

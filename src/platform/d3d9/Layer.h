// Beyond what Direct3D 9 offers: a layer the device keeps of its back buffer, so that
// scenery which looks the same frame after frame is drawn once and then copied back.
#pragma once

#include "platform/d3d9/D3D9.h"

namespace platform::d3d9 {

// Copies the whole back buffer (colour and depth) into the device's kept layer. Inside a
// scene, on a device that is not lost, with a viewport over the whole back buffer; false
// otherwise or when the device cannot keep a layer.
bool SaveLayer(IDirect3DDevice9* device);

// Starts the back buffer from the kept layer instead of a clear: its colour, depth and
// stencil as they were saved. False (and nothing changed) when there is no layer to
// restore: none kept yet, or it went with a reset or a new size; the caller then draws in
// full.
bool RestoreLayer(IDirect3DDevice9* device);

// Frees the kept layer (its colour and depth, a whole back buffer's worth) once the
// scenery it holds is gone; a later SaveLayer makes a new one. Allowed at any time.
void DropLayer(IDirect3DDevice9* device);

}  // namespace platform::d3d9

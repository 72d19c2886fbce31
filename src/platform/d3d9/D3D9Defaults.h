// Direct3D 9's documented default values for render, sampler and texture-stage
// states. Each returns false for a value that Direct3D 9 does not define.
#pragma once

#include "platform/d3d9/D3D9Types.h"

namespace platform::d3d9 {

bool DefaultRenderState(DWORD state, DWORD* value);
bool DefaultSamplerState(DWORD type, DWORD* value);
bool DefaultTextureStageState(DWORD stage, DWORD type, DWORD* value);

}  // namespace platform::d3d9

#include "engine/materials/RenderStateSet.h"

#include <cstdio>

#include "app/GraphicsDevice.h"
#include "platform/FileSystem.h"
#include "platform/d3d9/D3D9Defaults.h"

namespace {

// Where the engine's defaults differ from Direct3D's.
struct Override {
  int state;
  std::uint32_t value;
};
constexpr Override kEngineDefaults[] = {
    {D3DRS_CULLMODE, D3DCULL_CW},
    {D3DRS_DITHERENABLE, 1},
    {D3DRS_RANGEFOGENABLE, 1},
    {D3DRS_NORMALIZENORMALS, 1},
    {D3DRS_POINTSIZE, 0x42800000u},     // 64.0
    {D3DRS_POINTSCALE_B, 0x3F800000u},  // 1.0
    {D3DRS_POINTSCALE_C, 0x3F800000u},  // 1.0
};

bool ReadU32(std::FILE* f, std::uint32_t* out) {
  unsigned char b[4];
  if (std::fread(b, 1, 4, f) != 4) return false;
  *out = static_cast<std::uint32_t>(b[0]) | (static_cast<std::uint32_t>(b[1]) << 8) |
         (static_cast<std::uint32_t>(b[2]) << 16) | (static_cast<std::uint32_t>(b[3]) << 24);
  return true;
}

// Reads one block: a count, then that many (index, value) pairs. Pairs whose index is
// not below `limit` are skipped. False at the end of the file.
bool ReadBlock(std::FILE* f, RenderStateSet& set, int base, std::uint32_t limit) {
  std::uint32_t count = 0;
  if (!ReadU32(f, &count)) return false;
  for (std::uint32_t i = 0; i < count; ++i) {
    std::uint32_t index = 0, value = 0;
    if (!ReadU32(f, &index) || !ReadU32(f, &value)) return false;
    if (index < limit) set.Set(base + static_cast<int>(index), value);
  }
  return true;
}

}  // namespace

RenderStateSet::RenderStateSet() {
  using namespace platform::d3d9;
  for (int s = 0; s < kRenderStates; ++s) {
    DWORD v = 0;
    if (DefaultRenderState(static_cast<DWORD>(s), &v)) entries[s] = {v, true, true};
  }
  for (const auto& o : kEngineDefaults) entries[o.state].value = o.value;
  for (int sampler = 0; sampler < 2; ++sampler) {
    for (int t = 0; t < kSamplerStates; ++t) {
      DWORD v = 0;
      if (DefaultSamplerState(static_cast<DWORD>(t), &v))
        entries[SamplerIndex(sampler, t)] = {v, true, true};
    }
  }
  for (int stage = 0; stage < 2; ++stage) {
    for (int t = 0; t < kStageStates; ++t) {
      DWORD v = 0;
      if (DefaultTextureStageState(static_cast<DWORD>(stage), static_cast<DWORD>(t), &v))
        entries[StageIndex(stage, t)] = {v, true, true};
    }
  }
}

bool RenderStateSet::Apply(bool force) const {
  return g_graphicsDevice ? ApplyTo(*g_graphicsDevice, force) : false;
}

bool RenderStateSet::ApplyTo(GraphicsDevice& device, bool force) const {
  GraphicsDevice* gd = &device;
  bool ok = true;
  for (int s = 0; s < kRenderStates; ++s) {
    if (entries[s].specified)
      ok &= gd->SetRenderState(static_cast<D3DRENDERSTATETYPE>(s), entries[s].value, force);
  }
  for (int sampler = 0; sampler < 2; ++sampler) {
    for (int t = 0; t < kSamplerStates; ++t) {
      const Entry& e = entries[SamplerIndex(sampler, t)];
      if (e.specified)
        ok &= gd->SetSamplerState(static_cast<DWORD>(sampler), static_cast<D3DSAMPLERSTATETYPE>(t),
                                  e.value, force);
    }
  }
  for (int stage = 0; stage < 2; ++stage) {
    for (int t = 0; t < kStageStates; ++t) {
      const Entry& e = entries[StageIndex(stage, t)];
      if (e.specified)
        ok &= gd->SetTextureStageState(static_cast<DWORD>(stage),
                                       static_cast<D3DTEXTURESTAGESTATETYPE>(t), e.value, force);
    }
  }
  return ok;
}

void RenderStateSet::CopyFrom(const RenderStateSet& other) {
  for (int i = 0; i < kEntryCount; ++i) entries[i] = other.entries[i];
}

bool RenderStateSet::Load(const std::string& path) {
  std::FILE* f = platform::OpenFile(path, "rb");
  if (!f) return false;
  // A short file ends the reading wherever it stops; what was read stays.
  if (ReadBlock(f, *this, 0, kRenderStates) &&
      ReadBlock(f, *this, SamplerIndex(0, 0), kSamplerStates) &&
      ReadBlock(f, *this, SamplerIndex(1, 0), kSamplerStates) &&
      ReadBlock(f, *this, StageIndex(0, 0), kStageStates)) {
    ReadBlock(f, *this, StageIndex(1, 0), kStageStates);
  }
  std::fclose(f);
  return true;
}

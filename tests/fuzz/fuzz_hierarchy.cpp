// Feeds arbitrary bytes to the animated-mesh reader on the headless device: the frame
// hierarchy, skins, bone binding and animation sets must be refused or loaded without a
// crash, hang or leak, and whatever loads is then played, posed, skinned and drawn with
// frame times and key positions taken from the input's last bytes.
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <string>

#include "FuzzDevice.h"
#include "FuzzScratch.h"
#include "app/AppShell.h"
#include "app/GraphicsDevice.h"
#include "engine/scene/AnimatedMesh.h"
#include "engine/scene/AnimatedMeshNode.h"

namespace {

// Frame times and positions, odd ones included: zero, negative, huge, not a number.
double Pick(const std::uint8_t* data, std::size_t size, std::size_t i) {
  static const double kTimes[] = {0.0, 0.016, 0.1, 0.5, 1.0, 7.3, -0.25, 1e30, NAN, 0.999999};
  const std::uint8_t b = size ? data[(size - 1 - i % size)] : 0;
  return kTimes[b % (sizeof kTimes / sizeof kTimes[0])];
}

void Play(AnimatedMesh& mesh, const std::uint8_t* data, std::size_t size) {
  ID3DXAnimationController* c = mesh.animController;
  if (c) {
    // Key sampling straight from each set at picked positions.
    for (UINT s = 0; s < c->GetNumAnimationSets() && s < 8; ++s) {
      ID3DXAnimationSet* set = nullptr;
      if (FAILED(c->GetAnimationSet(s, &set)) || !set) __builtin_trap();
      for (UINT a = 0; a < set->GetNumAnimations() && a < 64; ++a) {
        D3DXVECTOR3 scale, move;
        D3DXQUATERNION turn;
        const double at = set->GetPeriodicPosition(Pick(data, size, a + s));
        if (!(at >= 0.0) || at > set->GetPeriod()) __builtin_trap();
        set->GetSRT(at, a, &scale, &turn, &move);
      }
      set->Release();
    }
  }
  AnimatedMeshNode node;
  node.SetMesh(&mesh);
  node.RebuildMatrices();
  for (int step = 0; step < 12; ++step) {
    if (step % 4 == 0 && c && c->GetNumAnimationSets() > 0) {
      ID3DXAnimationSet* set = nullptr;
      c->GetAnimationSet(static_cast<UINT>(step / 4) % c->GetNumAnimationSets(), &set);
      node.SetAnimationSpeed(set->GetName(), static_cast<float>(Pick(data, size, step + 3)));
      node.SetAnimation(set->GetName(), step % 8 == 0);
      set->Release();
    }
    g_frameTime = static_cast<float>(Pick(data, size, step));
    node.AdvanceClock();
    if (step % 3 == 0) {
      node.AdvanceAnimation();
      node.RefreshPose();
    } else {
      node.AdvanceAndRefresh();
    }
    node.DrawMesh();
  }
  g_frameTime = 0.0f;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size > 1u << 20) return 0;
  if (!g_graphicsDevice) {
    g_graphicsDevice = new GraphicsDevice();
    g_graphicsDevice->device = FuzzDevice();
  }
  const FuzzScratchFile scratch("hierarchy.x", data, size);
  if (!scratch.ok()) return 0;
  {
    AnimatedMesh mesh;
    if (mesh.Load(scratch.path())) {
      if (!mesh.frameRoot) __builtin_trap();
      Play(mesh, data, size);
    } else if (mesh.frameRoot || mesh.animController) {
      __builtin_trap();
    }
  }
  return 0;
}

// The generated figures and markers as skinned .X files: hierarchy, skin and animation
// sets are well formed, the skin reproduces the mesh at rest, every key keeps the figure
// within the 100-unit sphere the engine culls it with, and the run cycle's planted feet
// do not slide. Keys are applied as the format's readers apply them: the frame turns by
// D3DXMatrixRotationQuaternion of the stored quaternion's conjugate.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "unit/content3d/ContentFiles.h"

using namespace platform::d3dx9;

namespace {

struct Animated {
  std::vector<content3d::Frame> frames;
  XMeshData mesh;
  std::vector<XAnimationSetData> sets;
  DWORD ticksPerSecond = 0;
};

bool Load(const std::string& file, Animated* a) {
  auto x = content3d::ParseX(file);
  if (!x) return false;
  a->frames = content3d::Frames(*x);
  const auto meshes = content3d::Meshes(*x);
  if (meshes.size() != 1) return false;
  a->mesh = meshes[0];
  for (const auto& o : x->Objects()) {
    if (o->templateName == "AnimationSet") {
      XAnimationSetData s;
      std::string error;
      if (!ReadAnimationSet(*o, &s, &error)) return false;
      a->sets.push_back(s);
    } else if (o->templateName == "AnimTicksPerSecond") {
      ReadAnimTicksPerSecond(*o, &a->ticksPerSecond);
    }
  }
  return true;
}

int FrameIndex(const Animated& a, const std::string& name) {
  for (std::size_t i = 0; i < a.frames.size(); ++i)
    if (a.frames[i].name == name) return static_cast<int>(i);
  return -1;
}

// Local frame matrices for key k of a set (the rest matrix where a frame has no keys).
std::vector<D3DXMATRIX> PoseAt(const Animated& a, const XAnimationSetData* set, std::size_t k) {
  std::vector<D3DXMATRIX> local;
  for (const auto& f : a.frames) local.push_back(f.rest);
  if (!set) return local;
  for (const XAnimationData& anim : set->animations) {
    const int i = FrameIndex(a, anim.frameName);
    if (i < 0) continue;
    D3DXMATRIX s, r, t;
    D3DXMatrixIdentity(&s);
    D3DXMatrixIdentity(&r);
    D3DXMatrixTranslation(&t, local[i]._41, local[i]._42, local[i]._43);
    for (const XAnimationKeyData& key : anim.keys) {
      if (k >= key.keys.size()) continue;
      const std::vector<float>& v = key.keys[k].values;
      if (key.keyType == 0 && v.size() == 4) {
        const D3DXQUATERNION conjugate(-v[1], -v[2], -v[3], v[0]);
        D3DXMatrixRotationQuaternion(&r, &conjugate);
      } else if (key.keyType == 1 && v.size() == 3) {
        D3DXMatrixScaling(&s, v[0], v[1], v[2]);
      } else if (key.keyType == 2 && v.size() == 3) {
        D3DXMatrixTranslation(&t, v[0], v[1], v[2]);
      }
    }
    D3DXMatrixMultiply(&local[i], &s, &r);
    D3DXMatrixMultiply(&local[i], &local[i], &t);
  }
  return local;
}

// Skinned vertex positions for a pose.
std::vector<D3DXVECTOR3> Skin(const Animated& a, const std::vector<D3DXMATRIX>& local) {
  std::vector<D3DXMATRIX> combined(local.size());
  for (std::size_t i = 0; i < local.size(); ++i) {
    combined[i] = local[i];
    if (a.frames[i].parent >= 0) D3DXMatrixMultiply(&combined[i], &local[i], &combined[a.frames[i].parent]);
  }
  std::vector<D3DXVECTOR3> out(a.mesh.positions.size(), D3DXVECTOR3(0, 0, 0));
  for (const XSkinWeightsData& w : a.mesh.skinWeights) {
    const int bone = FrameIndex(a, w.transformNodeName);
    if (bone < 0) continue;
    D3DXMATRIX m;
    D3DXMatrixMultiply(&m, &w.matrixOffset, &combined[bone]);
    for (std::size_t j = 0; j < w.vertexIndices.size(); ++j) {
      D3DXVECTOR3 p;
      D3DXVec3TransformCoord(&p, &a.mesh.positions[w.vertexIndices[j]], &m);
      out[w.vertexIndices[j]] += p * w.weights[j];
    }
  }
  return out;
}

float MaxDistance(const std::vector<D3DXVECTOR3>& points) {
  float d = 0;
  for (const auto& p : points) d = std::max(d, D3DXVec3Length(&p));
  return d;
}

// Checks shared by figures and markers; fills *a.
void CheckWellFormed(const std::string& file, const std::set<std::string>& setNames, Animated* a) {
  SCOPED_TRACE(file);
  ASSERT_TRUE(Load(file, a));
  EXPECT_GT(a->ticksPerSecond, 0u);
  ASSERT_TRUE(a->mesh.hasSkinHeader && a->mesh.hasNormals && a->mesh.hasMaterialList);
  EXPECT_EQ(a->mesh.skinHeader.bones, a->mesh.skinWeights.size());
  std::vector<float> total(a->mesh.positions.size(), 0.0f);
  for (const XSkinWeightsData& w : a->mesh.skinWeights) {
    EXPECT_GE(FrameIndex(*a, w.transformNodeName), 0) << w.transformNodeName;
    for (std::size_t j = 0; j < w.vertexIndices.size(); ++j) total[w.vertexIndices[j]] += w.weights[j];
  }
  for (float t : total) ASSERT_NEAR(t, 1.0f, 1e-3f);
  std::set<std::string> names;
  for (const auto& s : a->sets) {
    names.insert(s.name);
    ASSERT_FALSE(s.animations.empty());
    for (const XAnimationData& anim : s.animations) {
      EXPECT_GE(FrameIndex(*a, anim.frameName), 0) << anim.frameName;
      for (const XAnimationKeyData& key : anim.keys) {
        ASSERT_GE(key.keys.size(), 2u);
        EXPECT_EQ(key.keys.front().time, 0u);
        // A loop ends where it starts, so it joins without a jump.
        EXPECT_EQ(key.keys.front().values, key.keys.back().values) << s.name << " " << anim.frameName;
      }
    }
  }
  EXPECT_EQ(names, setNames);
  // At rest the skin puts every vertex where the mesh has it.
  const auto rest = Skin(*a, PoseAt(*a, nullptr, 0));
  for (std::size_t v = 0; v < rest.size(); ++v) {
    const D3DXVECTOR3 d = rest[v] - a->mesh.positions[v];
    ASSERT_LT(D3DXVec3Length(&d), 0.01f) << "vertex " << v;
  }
}

TEST(AnimatedContent, FiguresAreSkinnedWithinBoundsAndBudget) {
  for (int i = 0; i < 4; ++i)
    for (int f = 0; f < 4; ++f) {
      const std::string file = "Jugador" + std::to_string(i) + "_Figura" + std::to_string(f) + ".X";
      SCOPED_TRACE(file);
      Animated a;
      CheckWellFormed(file, {"reposo", "correr"}, &a);
      if (HasFatalFailure()) return;
      // A figure is at most about 60 pixels tall on the field, and the software
      // rasteriser pays for every vertex and triangle of the four of them each frame.
      EXPECT_LE(a.mesh.positions.size(), 650u);
      EXPECT_LE(content3d::Triangles(a.mesh), 800u);
      float top = 0, bottom = 1e9f, front = -1e9f, back = 1e9f;
      for (const auto& p : a.mesh.positions) {
        top = std::max(top, p.z);
        bottom = std::min(bottom, p.z);
      }
      for (const auto& p : a.mesh.positions)
        if (p.z > 0.55f * top) {  // the head
          front = std::max(front, p.x);
          back = std::min(back, p.x);
        }
      EXPECT_GE(top, 90.0f);
      EXPECT_LE(top, 100.0f);
      EXPECT_NEAR(bottom, 0.0f, 0.5f);
      EXPECT_GT(front, -back);  // nose, beak or muzzle point along +X
      EXPECT_LE(MaxDistance(a.mesh.positions), 100.0f);
      for (const auto& s : a.sets)
        for (std::size_t k = 0; k < s.animations[0].keys[0].keys.size(); ++k) {
          const auto posed = Skin(a, PoseAt(a, &s, k));
          EXPECT_LE(MaxDistance(posed), 100.0f) << s.name << " key " << k;
          float low = 1e9f;
          for (const auto& p : posed) low = std::min(low, p.z);
          EXPECT_GT(low, -2.5f) << s.name << " key " << k;  // a toe may dip into the snow, no more
        }
    }
}

// At animation speed 1 the figure moves 60 / 1.7 of its units a second: a planted sole
// vertex, seen from the ground, stays where it was put down.
TEST(AnimatedContent, RunCycleKeepsPlantedFeetStill) {
  const float speed = 60.0f / 1.7f;
  for (int f = 0; f < 4; ++f) {
    const std::string file = "Jugador1_Figura" + std::to_string(f) + ".X";
    SCOPED_TRACE(file);
    Animated a;
    ASSERT_TRUE(Load(file, &a));
    const XAnimationSetData* run = nullptr;
    for (const auto& s : a.sets)
      if (s.name == "correr") run = &s;
    ASSERT_NE(run, nullptr);
    for (const char* leg : {"PiernaI", "PiernaD"}) {
      // The leg's lowest vertex at rest: the sole under the hip.
      int sole = -1;
      for (const XSkinWeightsData& w : a.mesh.skinWeights)
        if (w.transformNodeName == leg)
          for (DWORD v : w.vertexIndices) {
            const auto& p = a.mesh.positions[v];
            if (sole < 0 || p.z < a.mesh.positions[sole].z - 1e-3f ||
                (std::fabs(p.z - a.mesh.positions[sole].z) < 1e-3f && std::fabs(p.x) < std::fabs(a.mesh.positions[sole].x)))
              sole = static_cast<int>(v);
          }
      ASSERT_GE(sole, 0) << leg;
      const auto& keys = run->animations[0].keys[0].keys;
      // The longest run of keys with the sole down: one stance. Its ground position must
      // not move.
      std::vector<D3DXVECTOR3> soles;
      float low = 1e9f, high = -1e9f;
      for (std::size_t k = 0; k < keys.size(); ++k) {
        soles.push_back(Skin(a, PoseAt(a, run, k))[sole]);
        low = std::min(low, soles.back().z);
        high = std::max(high, soles.back().z);
      }
      EXPECT_GT(low, -1.5f) << leg;
      EXPECT_GT(high - low, 2.5f) << leg;  // the swing clears the ground
      std::vector<float> stance, current;
      int lifted = 0;
      for (std::size_t k = 0; k < keys.size(); ++k) {
        const D3DXVECTOR3 p = soles[k];
        const float t = keys[k].time / static_cast<float>(a.ticksPerSecond);
        if (p.z < low + 0.25f * (high - low)) {
          current.push_back(p.x + speed * t);
          if (current.size() > stance.size()) stance = current;
        } else {
          ++lifted;
          current.clear();
        }
      }
      EXPECT_GE(lifted, 3) << leg;
      ASSERT_GE(stance.size(), 5u) << leg;
      const auto [lo, hi] = std::minmax_element(stance.begin(), stance.end());
      EXPECT_LT(*hi - *lo, 1.0f) << leg;
    }
  }
}

TEST(AnimatedContent, MarkersSpinAboveTheirBase) {
  for (const std::string file : {"Marcador0.X", "Marcador1.X", "Marcador2.X", "Marcador3.X", "Marcador.X"}) {
    SCOPED_TRACE(file);
    Animated a;
    CheckWellFormed(file, {"rotar"}, &a);
    if (HasFatalFailure()) return;
    float low = 1e9f;
    for (const auto& p : a.mesh.positions) low = std::min(low, p.z);
    EXPECT_GT(low, 210.0f);  // above the tallest base (the tree, 210)
    // The spin turns the marker about its own vertical axis: a quarter turn maps the
    // shape's +X onto +Y without moving its centre.
    const auto& s = a.sets[0];
    const auto q = Skin(a, PoseAt(a, &s, 2));
    const auto rest = Skin(a, PoseAt(a, &s, 0));
    std::size_t tip = 0;
    for (std::size_t v = 0; v < rest.size(); ++v)
      if (rest[v].x > rest[tip].x) tip = v;
    EXPECT_NEAR(q[tip].y, rest[tip].x, 0.5f);
    EXPECT_NEAR(q[tip].x, -rest[tip].y, 0.5f);
  }
}

}  // namespace

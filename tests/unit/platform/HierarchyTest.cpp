// The frame-hierarchy reader, skin info, keyframed animation sets and the animation
// controller, on the headless device with an allocator that counts what it hands out.
#include <gtest/gtest.h>

#include <array>
#include <cmath>
#include <cstring>
#include <functional>
#include <string>
#include <vector>

#include "app/GraphicsDevice.h"
#include "platform/d3dx9/D3DX9Anim.h"
#include "support/AnimatedTestFiles.h"
#include "support/HeadlessDevice.h"

namespace {

using namespace testsupport;

// Plain D3DX frames and containers; counts live objects and can be told to fail.
class CountingAllocator : public ID3DXAllocateHierarchy {
 public:
  HRESULT CreateFrame(LPCSTR name, D3DXFRAME** out) override {
    if (failFrameAt >= 0 && framesMade == failFrameAt) return E_OUTOFMEMORY;
    auto* f = new D3DXFRAME{};
    f->Name = Copy(name ? name : "");
    *out = f;
    ++framesMade;
    ++live;
    return S_OK;
  }
  HRESULT CreateMeshContainer(LPCSTR name, const D3DXMESHDATA* data, const D3DXMATERIAL*,
                              const D3DXEFFECTINSTANCE*, DWORD numMaterials, const DWORD*,
                              ID3DXSkinInfo* skin, D3DXMESHCONTAINER** out) override {
    if (failMeshAt >= 0 && meshesMade == failMeshAt) return E_FAIL;
    auto* c = new D3DXMESHCONTAINER{};
    c->Name = Copy(name ? name : "");
    c->MeshData = *data;
    data->pMesh->AddRef();
    c->NumMaterials = numMaterials;
    c->pSkinInfo = skin;
    if (skin) skin->AddRef();
    *out = c;
    ++meshesMade;
    ++live;
    return S_OK;
  }
  HRESULT DestroyFrame(D3DXFRAME* f) override {
    delete[] f->Name;
    delete f;
    --live;
    return S_OK;
  }
  HRESULT DestroyMeshContainer(D3DXMESHCONTAINER* c) override {
    delete[] c->Name;
    c->MeshData.pMesh->Release();
    if (c->pSkinInfo) c->pSkinInfo->Release();
    delete c;
    --live;
    return S_OK;
  }
  static char* Copy(const char* s) {
    char* out = new char[std::strlen(s) + 1];
    std::strcpy(out, s);
    return out;
  }
  int live = 0;
  int framesMade = 0;
  int meshesMade = 0;
  int failFrameAt = -1;
  int failMeshAt = -1;
};

struct Loaded {
  HRESULT hr = E_FAIL;
  D3DXFRAME* root = nullptr;
  ID3DXAnimationController* controller = nullptr;
};

class HierarchyTest : public HeadlessDeviceTest {
 protected:
  void TearDown() override {
    Free();
    HeadlessDeviceTest::TearDown();
  }
  Loaded& Load(const std::string& bytes) {
    Free();
    loaded.hr = D3DXLoadMeshHierarchyFromXInMemory(
        bytes.data(), static_cast<DWORD>(bytes.size()), D3DXMESH_MANAGED, Device(), &allocator,
        nullptr, &loaded.root, &loaded.controller);
    return loaded;
  }
  void Free() {
    if (loaded.root) D3DXFrameDestroy(loaded.root, &allocator);
    if (loaded.controller) loaded.controller->Release();
    loaded = Loaded{};
    EXPECT_EQ(allocator.live, 0);
  }
  static IDirect3DDevice9* Device() { return g_graphicsDevice->GetDevice(); }

  CountingAllocator allocator;
  Loaded loaded;
};

D3DXMATRIX FrameMatrixAt(ID3DXAnimationController* c, D3DXFRAME* frame, const char* set,
                         double seconds) {
  ID3DXAnimationSet* s = nullptr;
  c->GetAnimationSetByName(set, &s);
  c->SetTrackAnimationSet(0, s);
  c->SetTrackEnable(0, TRUE);
  c->SetTrackPosition(0, seconds);
  c->AdvanceTime(0.0, nullptr);
  if (s) s->Release();
  return frame->TransformationMatrix;
}

void ExpectNear(const D3DXMATRIX& a, const D3DXMATRIX& b, float eps = 1e-5f) {
  for (int r = 0; r < 4; ++r)
    for (int c = 0; c < 4; ++c) EXPECT_NEAR(a.m[r][c], b.m[r][c], eps) << r << c;
}

std::string Names(const D3DXFRAME* f) {
  std::string out;
  for (; f; f = f->pFrameSibling) {
    out += f->Name;
    int containers = 0;
    for (auto* c = f->pMeshContainer; c; c = c->pNextMeshContainer) ++containers;
    if (containers) out += "#" + std::to_string(containers);
    if (f->pFrameFirstChild) out += "(" + Names(f->pFrameFirstChild) + ")";
    if (f->pFrameSibling) out += " ";
  }
  return out;
}

TEST_F(HierarchyTest, TextAndBinaryFilesGiveTheSameHierarchyAndKeys) {
  // Every view of a loaded file that the engine relies on, as one string.
  auto describe = [](const Loaded& l) {
    std::string out = Names(l.root) + "\n";
    const D3DXMESHCONTAINER* strip = D3DXFrameFind(l.root, "Malla")->pMeshContainer;
    ID3DXSkinInfo* skin = strip->pSkinInfo;
    out += "faces " + std::to_string(strip->MeshData.pMesh->GetNumFaces()) + " vertices " +
           std::to_string(strip->MeshData.pMesh->GetNumVertices()) + " materials " +
           std::to_string(strip->NumMaterials) + "\n";
    for (DWORD b = 0; b < skin->GetNumBones(); ++b) {
      out += std::string(skin->GetBoneName(b)) + " offset x " +
             std::to_string(skin->GetBoneOffsetMatrix(b)->m[3][0]) + " weights";
      std::vector<DWORD> v(skin->GetNumBoneInfluences(b));
      std::vector<float> w(v.size());
      skin->GetBoneInfluence(b, v.data(), w.data());
      for (std::size_t i = 0; i < v.size(); ++i)
        out += " " + std::to_string(v[i]) + ":" + std::to_string(w[i]);
      out += "\n";
    }
    for (UINT s = 0; s < l.controller->GetNumAnimationSets(); ++s) {
      ID3DXAnimationSet* set = nullptr;
      l.controller->GetAnimationSet(s, &set);
      auto* keyed = static_cast<ID3DXKeyframedAnimationSet*>(set);
      out += std::string(set->GetName()) + " period " + std::to_string(set->GetPeriod()) +
             " playback " + std::to_string(keyed->GetPlaybackType());
      for (UINT a = 0; a < keyed->GetNumAnimations(); ++a) {
        LPCSTR name;
        keyed->GetAnimationNameByIndex(a, &name);
        std::vector<D3DXKEY_QUATERNION> r(keyed->GetNumRotationKeys(a));
        keyed->GetRotationKeys(a, r.data());
        out += std::string(" ") + name + " rotations";
        for (const auto& k : r) out += " " + std::to_string(k.Time) + "/" + std::to_string(k.Value.z);
        out += " translations " + std::to_string(keyed->GetNumTranslationKeys(a));
      }
      out += "\n";
      set->Release();
    }
    return out;
  };
  Load(ArmText());
  ASSERT_EQ(loaded.hr, D3D_OK);
  const std::string text = describe(loaded);
  EXPECT_NE(text.find("Brazo(Malla#1 Hueso0(Hueso1(Mano#1)))"), std::string::npos) << text;
  EXPECT_NE(text.find("correr period 1.000000 playback 0 Hueso1 rotations 0.000000/0.000000 "
                      "100.000000/0.707107 translations 2"),
            std::string::npos)
      << text;
  EXPECT_NE(text.find("saltar period 1.000000 playback 1"), std::string::npos) << text;
  for (XWriteOptions options : {XWriteOptions{true, false, true, 0}, XWriteOptions{true, true, false, 3}}) {
    Load(WriteXFile(ArmFile(), options));
    ASSERT_EQ(loaded.hr, D3D_OK);
    EXPECT_EQ(describe(loaded), text);
  }
}

TEST_F(HierarchyTest, RotationKeysAreStoredAsTheConjugate) {
  // A stored key (0.7071068, 0, 0, 0.7071068) turns +X into -Y.
  XNode frame = FrameNode("Giro");
  frame.Add(MeshNode("T", {{0, 0, 0}, {1, 0, 0}, {0, 1, 0}}, {{0, 1, 2}}));
  std::vector<XNode> file = {
      frame, AnimationSetNode("a", {AnimationNode("Giro", {AnimationKeyNode(
                                                              0, {{0, {0.7071068f, 0, 0, 0.7071068f}}})})})};
  Load(WriteXFile(file, {}));
  ASSERT_EQ(loaded.hr, D3D_OK);
  D3DXFRAME* giro = D3DXFrameFind(loaded.root, "Giro");
  const D3DXMATRIX m = FrameMatrixAt(loaded.controller, giro, "a", 0.0);
  D3DXVECTOR3 x(1, 0, 0), out;
  D3DXVec3TransformCoord(&out, &x, &m);
  EXPECT_NEAR(out.x, 0.0f, 1e-6f);
  EXPECT_NEAR(out.y, -1.0f, 1e-6f);

  // A frame whose first keys were written from its own matrix gets that matrix back.
  D3DXMATRIX rest, rz, move;
  D3DXMatrixRotationZ(&rz, 0.5f);
  D3DXMatrixTranslation(&move, 1, 2, 3);
  rest = rz * move;
  XNode posed = FrameNode("Pose");
  std::array<float, 16> restValues;
  std::memcpy(restValues.data(), &rest.m[0][0], sizeof(float) * 16);
  posed.Add(MatrixNode(restValues));
  posed.Add(MeshNode("T", {{0, 0, 0}, {1, 0, 0}, {0, 1, 0}}, {{0, 1, 2}}));
  const float half = 0.25f;
  file = {posed,
          AnimationSetNode(
              "b", {AnimationNode("Pose", {AnimationKeyNode(0, {{0, {std::cos(half), 0, 0, -std::sin(half)}},
                                                                {10, {1, 0, 0, 0}}}),
                                           AnimationKeyNode(2, {{0, {1, 2, 3}}, {10, {0, 0, 0}}}),
                                           AnimationKeyNode(1, {{0, {1, 1, 1}}})})})};
  Load(WriteXFile(file, {}));
  ASSERT_EQ(loaded.hr, D3D_OK);
  ExpectNear(FrameMatrixAt(loaded.controller, D3DXFrameFind(loaded.root, "Pose"), "b", 0.0), rest);
}

TEST_F(HierarchyTest, KeySamplingBetweenAtAndOutsideTheKeys) {
  ID3DXKeyframedAnimationSet* set = nullptr;
  ASSERT_EQ(D3DXCreateKeyframedAnimationSet("s", 10.0, D3DXPLAY_ONCE, 1, 0, nullptr, &set), D3D_OK);
  // Positions at ticks 10, 20, 40; rotations about Z from +170 to -170 degrees, which
  // the short way passes through 180, not through 0.
  const D3DXKEY_VECTOR3 moves[] = {{10, {0, 0, 0}}, {20, {10, 0, 0}}, {40, {10, 20, 0}}};
  auto aboutZ = [](float degrees) {
    const float h = degrees * D3DX_PI / 360.0f;
    return D3DXQUATERNION{0, 0, std::sin(h), std::cos(h)};
  };
  const D3DXKEY_QUATERNION turns[] = {{10, aboutZ(170)}, {20, aboutZ(-170)}};
  ASSERT_EQ(set->RegisterAnimationSRTKeys("f", 0, 2, 3, nullptr, turns, moves, nullptr), D3D_OK);
  EXPECT_DOUBLE_EQ(set->GetPeriod(), 4.0);
  struct Case {
    double seconds;
    D3DXVECTOR3 position;
  } cases[] = {
      {0.0, {0, 0, 0}},   {1.0, {0, 0, 0}},  {1.5, {5, 0, 0}},   {2.0, {10, 0, 0}},
      {3.0, {10, 10, 0}}, {4.0, {10, 20, 0}}, {9.0, {10, 20, 0}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.seconds);
    D3DXVECTOR3 s, t;
    D3DXQUATERNION q;
    ASSERT_EQ(set->GetSRT(set->GetPeriodicPosition(c.seconds), 0, &s, &q, &t), D3D_OK);
    EXPECT_NEAR(t.x, c.position.x, 1e-5f);
    EXPECT_NEAR(t.y, c.position.y, 1e-5f);
    EXPECT_EQ(s, D3DXVECTOR3(1, 1, 1));  // no scale keys
  }
  D3DXVECTOR3 s, t;
  D3DXQUATERNION q;
  set->GetSRT(1.5, 0, &s, &q, &t);
  D3DXMATRIX m;
  D3DXMatrixRotationQuaternion(&m, &q);
  EXPECT_NEAR(m.m[0][0], -1.0f, 1e-5f);  // half way is 180 degrees
  set->Release();

  // Keys out of order and a full set are refused; loop and play-once fold positions.
  ID3DXKeyframedAnimationSet* loop = nullptr;
  ASSERT_EQ(D3DXCreateKeyframedAnimationSet("l", 10.0, D3DXPLAY_LOOP, 1, 0, nullptr, &loop), D3D_OK);
  const D3DXKEY_VECTOR3 backwards[] = {{20, {}}, {10, {}}};
  EXPECT_NE(loop->RegisterAnimationSRTKeys("f", 0, 0, 2, nullptr, nullptr, backwards, nullptr), D3D_OK);
  ASSERT_EQ(loop->RegisterAnimationSRTKeys("f", 0, 0, 3, nullptr, nullptr, moves, nullptr), D3D_OK);
  EXPECT_NE(loop->RegisterAnimationSRTKeys("g", 0, 0, 3, nullptr, nullptr, moves, nullptr), D3D_OK);
  EXPECT_NEAR(loop->GetPeriodicPosition(5.5), 1.5, 1e-9);
  EXPECT_NEAR(loop->GetPeriodicPosition(4.0), 0.0, 1e-9);
  loop->Release();
}

TEST_F(HierarchyTest, ControllerMixesTracksKeepsRestFramesAndClonesIndependently) {
  ArmOptions o;
  o.ticks = false;  // keys then count in 4800ths of a second
  Load(WriteXFile(ArmFile(o), {}));
  ASSERT_EQ(loaded.hr, D3D_OK);
  ID3DXAnimationController* c = loaded.controller;
  ASSERT_NE(c, nullptr);
  ID3DXAnimationSet* correr = nullptr;
  ASSERT_EQ(c->GetAnimationSetByName("correr", &correr), D3D_OK);
  EXPECT_NEAR(correr->GetPeriod(), 100.0 / 4800.0, 1e-12);
  ID3DXAnimationSet* missing = reinterpret_cast<ID3DXAnimationSet*>(1);
  EXPECT_NE(c->GetAnimationSetByName("Correr", &missing), D3D_OK);
  EXPECT_EQ(missing, nullptr);
  EXPECT_EQ(c->GetMaxNumAnimationOutputs(), 2u);  // Hueso0 and Hueso1; Mano is not animated
  EXPECT_EQ(c->GetMaxNumAnimationSets(), 3u);
  EXPECT_GE(c->GetMaxNumTracks(), 2u);

  D3DXFRAME* bone0 = D3DXFrameFind(loaded.root, "Hueso0");
  D3DXFRAME* bone1 = D3DXFrameFind(loaded.root, "Hueso1");
  D3DXFRAME* hand = D3DXFrameFind(loaded.root, "Mano");
  ID3DXAnimationController* clone = nullptr;
  ASSERT_EQ(c->CloneAnimationController(2, 3, 2, 30, &clone), D3D_OK);

  // Two tracks of equal weight: "saltar" half way (z 5) and "correr" (bone 1 only).
  ID3DXAnimationSet* saltar = nullptr;
  c->GetAnimationSetByName("saltar", &saltar);
  const double tick = 1.0 / 4800.0;
  c->SetTrackAnimationSet(0, saltar);
  c->SetTrackAnimationSet(1, correr);
  for (UINT t = 0; t < 2; ++t) {
    c->SetTrackEnable(t, TRUE);
    c->SetTrackWeight(t, 1.0f);
    c->SetTrackPosition(t, 0.0);
  }
  c->AdvanceTime(50 * tick, nullptr);
  EXPECT_NEAR(bone0->TransformationMatrix.m[3][2], 5.0f, 1e-4f);
  D3DXMATRIX expected, rz;
  D3DXMatrixRotationZ(&rz, D3DX_PI / 4);
  D3DXMatrixTranslation(&expected, 2, 0, 0);
  ExpectNear(bone1->TransformationMatrix, rz * expected);
  EXPECT_TRUE(D3DXMatrixIsIdentity(&hand->TransformationMatrix));
  // Equal weights on one frame meet half way.
  c->SetTrackAnimationSet(1, saltar);
  c->SetTrackPosition(1, 100 * tick);
  c->AdvanceTime(0.0, nullptr);
  EXPECT_NEAR(bone0->TransformationMatrix.m[3][2], 7.5f, 1e-4f);
  // With every track off the animated frames go back to their file matrices.
  c->SetTrackEnable(0, FALSE);
  c->SetTrackEnable(1, FALSE);
  c->AdvanceTime(0.0, nullptr);
  ExpectNear(bone1->TransformationMatrix, expected);
  EXPECT_TRUE(D3DXMatrixIsIdentity(&bone0->TransformationMatrix));
  EXPECT_NEAR(c->GetTime(), 50 * tick, 1e-12);

  // The clone kept its own tracks and time; it writes the same frames.
  EXPECT_EQ(clone->GetTime(), 0.0);
  EXPECT_EQ(clone->GetNumAnimationSets(), 3u);
  D3DXTRACK_DESC d{};
  clone->GetTrackDesc(1, &d);
  EXPECT_FALSE(d.Enable);
  EXPECT_NEAR(FrameMatrixAt(clone, bone0, "saltar", 25 * tick).m[3][2], 2.5f, 1e-4f);
  for (auto* p : {static_cast<IUnknown*>(clone), static_cast<IUnknown*>(saltar),
                  static_cast<IUnknown*>(correr)})
    p->Release();
}

TEST_F(HierarchyTest, SkinBlendsByWeightAndLeavesUnweightedVerticesAlone) {
  ID3DXSkinInfo* skin = nullptr;
  ASSERT_EQ(D3DXCreateSkinInfoFVF(3, D3DFVF_XYZ | D3DFVF_NORMAL, 2, &skin), D3D_OK);
  const DWORD v0[] = {0, 1};
  const float w0[] = {0.25f, 1.0f};
  const DWORD v1[] = {0};
  const float w1[] = {0.75f};
  const DWORD outOfRange[] = {3};
  ASSERT_EQ(skin->SetBoneInfluence(0, 2, v0, w0), D3D_OK);
  ASSERT_EQ(skin->SetBoneInfluence(1, 1, v1, w1), D3D_OK);
  EXPECT_NE(skin->SetBoneInfluence(1, 1, outOfRange, w1), D3D_OK);
  DWORD most = 0;
  skin->GetMaxVertexInfluences(&most);
  EXPECT_EQ(most, 2u);
  D3DXMATRIX bones[2], r;
  D3DXMatrixTranslation(&bones[0], 4, 0, 0);
  D3DXMatrixRotationY(&r, D3DX_PI / 2);
  D3DXMatrixTranslation(&bones[1], 0, 8, 0);
  bones[1] = r * bones[1];
  // Position, normal per vertex.
  const float src[3][6] = {{1, 0, 0, 0, 0, 1}, {0, 1, 0, 0, 0, 1}, {5, 5, 5, 1, 0, 0}};
  float dst[3][6];
  ASSERT_EQ(skin->UpdateSkinnedMesh(bones, nullptr, src, dst), D3D_OK);
  // v0: 0.25 (5, 0, 0) + 0.75 (0, 8, -1); its normal mixes (0, 0, 1) and (1, 0, 0).
  EXPECT_NEAR(dst[0][0], 1.25f, 1e-5f);
  EXPECT_NEAR(dst[0][1], 6.0f, 1e-5f);
  EXPECT_NEAR(dst[0][2], -0.75f, 1e-5f);
  const float len = std::sqrt(0.75f * 0.75f + 0.25f * 0.25f);
  EXPECT_NEAR(dst[0][3], 0.75f / len, 1e-5f);
  EXPECT_NEAR(dst[0][5], 0.25f / len, 1e-5f);
  EXPECT_NEAR(dst[1][0], 4.0f, 1e-5f);
  EXPECT_EQ(std::memcmp(dst[2], src[2], sizeof src[2]), 0);

  // Scaled bones still give unit normals, whether or not the source normal was quite
  // unit, and whether the scale is uniform or not.
  D3DXMATRIX scale;
  const float offUnit[3][6] = {{1, 0, 0, 0, 0.6f, 0.8f}, {0, 1, 0, 0, 0, 1.0004f}, {5, 5, 5, 1, 0, 0}};
  for (const D3DXVECTOR3& s : {D3DXVECTOR3(3, 3, 3), D3DXVECTOR3(1, 2, 4)}) {
    bones[0] = *D3DXMatrixScaling(&scale, s.x, s.y, s.z);
    ASSERT_EQ(skin->UpdateSkinnedMesh(bones, nullptr, offUnit, dst), D3D_OK);
    for (int v = 0; v < 2; ++v)
      EXPECT_NEAR(dst[v][3] * dst[v][3] + dst[v][4] * dst[v][4] + dst[v][5] * dst[v][5], 1.0f, 2e-6f) << v;
    EXPECT_NEAR(dst[1][5], 1.0f, 1e-6f);
  }
  skin->Release();
}

TEST_F(HierarchyTest, FileShapesFramesAndHelpers) {
  // Meshes outside any frame hang under an unnamed root; top-level frames follow it.
  XNode lone = FrameNode("Solo");
  lone.Add(MeshNode("A", {{0, 0, 0}, {2, 0, 0}, {0, 2, 0}}, {{0, 1, 2}}));
  Load(WriteXFile({MeshNode("M", {{10, 0, 0}, {12, 0, 0}, {10, 2, 0}}, {{0, 1, 2}}), lone,
                   FrameNode("Vacio")},
                  {}));
  ASSERT_EQ(loaded.hr, D3D_OK);
  EXPECT_EQ(Names(loaded.root), "#1 Solo#1 Vacio");
  EXPECT_EQ(loaded.controller, nullptr);  // no animation sets
  EXPECT_EQ(D3DXFrameFind(loaded.root, "Vacio"), loaded.root->pFrameSibling->pFrameSibling);
  EXPECT_EQ(D3DXFrameFind(loaded.root, "Nada"), nullptr);
  D3DXVECTOR3 centre;
  float radius = -1;
  ASSERT_EQ(D3DXFrameCalculateBoundingSphere(loaded.root, &centre, &radius), D3D_OK);
  EXPECT_NEAR(centre.x, 34.0f / 6.0f, 1e-5f);

  // A mesh with no material list reports no materials; a frame holds its meshes in order.
  XNode two = FrameNode("Dos");
  two.Add(MeshNode("P", {{0, 0, 0}, {1, 0, 0}, {0, 1, 0}}, {{0, 1, 2}}));
  two.Add(CubeMesh("Q"));
  Load(WriteXFile({two}, {}));
  ASSERT_EQ(loaded.hr, D3D_OK);
  const D3DXMESHCONTAINER* p = loaded.root->pMeshContainer;
  ASSERT_NE(p, nullptr);
  ASSERT_NE(p->pNextMeshContainer, nullptr);
  EXPECT_STREQ(p->Name, "P");
  EXPECT_EQ(p->NumMaterials, 0u);
  EXPECT_STREQ(p->pNextMeshContainer->Name, "Q");
  EXPECT_EQ(p->pNextMeshContainer->NumMaterials, 2u);
  EXPECT_EQ(p->MeshData.Type, D3DXMESHTYPE_MESH);

  // Nothing to build from.
  EXPECT_EQ(Load(WriteXFile({AnimTicksNode(30)}, {})).hr, D3DXERR_LOADEDMESHASNODATA);
}

TEST_F(HierarchyTest, BrokenFilesAndFailingAllocatorsFailCleanly) {
  const std::string text = ArmText();
  const std::string binary = WriteXFile(ArmFile(), {true, false, false, 0});
  // Every cut of either form either loads or fails with nothing handed out or left alive.
  for (const std::string* whole : {&text, &binary}) {
    for (std::size_t cut = 0; cut < whole->size(); cut += 7) {
      const Loaded& l = Load(whole->substr(0, cut));
      if (FAILED(l.hr)) {
        EXPECT_EQ(l.root, nullptr) << cut;
        EXPECT_EQ(l.controller, nullptr) << cut;
        EXPECT_EQ(allocator.live, 0) << cut;
      }
    }
  }
  // Frames that name themselves or frames not yet written are only references: the
  // reader neither follows them nor loops.
  XNode self = FrameNode("Yo");
  self.Add(Ref("Yo"));
  self.Add(Ref("Despues"));
  self.Add(MeshNode("T", {{0, 0, 0}, {1, 0, 0}, {0, 1, 0}}, {{0, 1, 2}}));
  XNode later = FrameNode("Despues");
  later.Add(Ref("Yo"));
  EXPECT_EQ(Load(WriteXFile({self, later, AnimationSetNode("x", {AnimationNode("Yo", {})})}, {})).hr,
            D3D_OK);
  EXPECT_EQ(Names(loaded.root), "Yo#1 Despues");

  // Bad keys, and allocators that refuse a frame or a mesh, fail the whole load.
  std::vector<XNode> badKey = ArmFile();
  badKey.back().children[0].children.push_back(AnimationKeyNode(0, {{0, {1, 0, 0}}}));
  const std::function<void()> setups[] = {
      [&] { Load(WriteXFile(badKey, {})); },
      [&] { allocator.failFrameAt = 3; Load(text); },
      [&] { allocator.failMeshAt = 1; Load(text); },
  };
  for (const auto& run : setups) {
    allocator.framesMade = allocator.meshesMade = 0;
    run();
    EXPECT_TRUE(FAILED(loaded.hr));
    EXPECT_EQ(loaded.root, nullptr);
    EXPECT_EQ(allocator.live, 0);
    allocator.failFrameAt = allocator.failMeshAt = -1;
  }
}

}  // namespace

#include "platform/d3d9/Backend.h"

namespace {

// What a skinned draw rewrites is all that goes up again: the buffer keeps the span of
// bytes locked for writing since its last upload.
TEST_F(HierarchyTest, BufferKeepsTheSpanWrittenSinceItsLastUpload) {
  IDirect3DVertexBuffer9* buffer = nullptr;
  ASSERT_EQ(Device()->CreateVertexBuffer(256, 0, D3DFVF_XYZ, D3DPOOL_MANAGED, &buffer, nullptr), D3D_OK);
  auto* b = static_cast<platform::d3d9::VertexBuffer9*>(buffer);
  EXPECT_EQ(b->dirtyBegin, 0u);
  EXPECT_EQ(b->dirtyEnd, 256u);  // never uploaded: all of it
  b->dirtyBegin = b->dirtyEnd = 0;  // as after an upload
  struct Lock {
    UINT offset, size;
    DWORD flags;
    UINT begin, end;
  } locks[] = {
      {64, 32, D3DLOCK_READONLY, 0, 0},  // reading changes nothing
      {64, 32, 0, 64, 96},
      {16, 8, 0, 16, 96},
      {200, 0, 0, 16, 256},  // size 0: to the end
  };
  for (const Lock& l : locks) {
    void* data = nullptr;
    ASSERT_EQ(buffer->Lock(l.offset, l.size, &data, l.flags), D3D_OK);
    buffer->Unlock();
    EXPECT_EQ(b->dirtyBegin, l.begin) << l.offset;
    EXPECT_EQ(b->dirtyEnd, l.end) << l.offset;
  }
  buffer->Release();
}

}  // namespace

// Animated meshes through the mesh manager, skinning on the processor, the mesh node's
// animation rules, and the render queue's animated passes with real nodes behind them.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "app/AppShell.h"
#include "app/GraphicsDevice.h"
#include "engine/gui/Texture.h"
#include "engine/materials/Material.h"
#include "engine/materials/MaterialManager.h"
#include "engine/materials/RenderStateSet.h"
#include "engine/resources/ResourceManagers.h"
#include "engine/scene/AnimatedMesh.h"
#include "engine/scene/AnimatedMeshNode.h"
#include "engine/scene/Camera.h"
#include "engine/scene/DrawListener.h"
#include "engine/scene/MeshManager.h"
#include "engine/scene/RenderQueue.h"
#include "engine/scene/Scene.h"
#include "platform/d3d9/D3D9Headless.h"
#include "support/TestServices.h"
#include "support/AnimatedTestFiles.h"
#include "support/HeadlessDevice.h"
#include "support/TestImages.h"

namespace {

using platform::d3d9::Log;
using testsupport::ArmOptions;

MeshFrame* Frame(AnimatedMesh* mesh, const char* name) {
  return static_cast<MeshFrame*>(D3DXFrameFind(mesh->frameRoot, name));
}

MeshContainer* Container(AnimatedMesh* mesh, const char* frame) {
  return static_cast<MeshContainer*>(Frame(mesh, frame)->pMeshContainer);
}

D3DXMATRIX RotZ(float degrees) {
  D3DXMATRIX m;
  return *D3DXMatrixRotationZ(&m, degrees * D3DX_PI / 180.0f);
}

D3DXMATRIX Move(float x, float y, float z) {
  D3DXMATRIX m;
  return *D3DXMatrixTranslation(&m, x, y, z);
}

void ExpectMatrixNear(const D3DXMATRIX& a, const D3DXMATRIX& b, const char* what) {
  for (int r = 0; r < 4; ++r)
    for (int c = 0; c < 4; ++c) EXPECT_NEAR(a.m[r][c], b.m[r][c], 1e-4f) << what << " " << r << c;
}

// Positions and normals of the drawable copy of a skinned container.
struct Vertex {
  D3DXVECTOR3 position, normal;
};
std::vector<Vertex> DrawnVertices(MeshContainer* c) {
  std::vector<Vertex> out;
  ID3DXMesh* mesh = c->MeshData.pMesh;
  void* data = nullptr;
  if (FAILED(mesh->LockVertexBuffer(D3DLOCK_READONLY, &data))) return out;
  const auto* bytes = static_cast<const BYTE*>(data);
  for (DWORD v = 0; v < mesh->GetNumVertices(); ++v) {
    Vertex x;
    std::memcpy(&x.position.x, bytes + v * mesh->GetNumBytesPerVertex(), 12);
    std::memcpy(&x.normal.x, bytes + v * mesh->GetNumBytesPerVertex() + 12, 12);
    out.push_back(x);
  }
  mesh->UnlockVertexBuffer();
  return out;
}

ArmOptions Textured(const std::string& texture) {
  ArmOptions o;
  o.texture = texture;
  return o;
}
ArmOptions WithoutMaterials() {
  ArmOptions o;
  o.materials = false;
  return o;
}
ArmOptions SecondBoneNamed(const std::string& bone) {
  ArmOptions o;
  o.secondBone = bone;
  return o;
}

class CountingListener : public DrawListener {
 public:
  void BeforeDraw() override { ++before; }
  void AfterDraw() override { ++after; }
  int before = 0, after = 0;
};

class AnimatedMeshTest : public HeadlessDeviceTest {
 protected:
  void SetUp() override {
    HeadlessDeviceTest::SetUp();
    folder = dir.Path() + "/";
    services.Start(folder);
    g_scene = &scene;
    g_renderQueue = &queue;
    camera.position = D3DXVECTOR3(0, -500, 200);
    camera.target.position = D3DXVECTOR3(0, 0, 0);
    scene.AddTargetedNode(&camera);
    scene.SetCamera(&camera);
    g_frameTime = 0.0f;
  }
  void TearDown() override {
    nodes.clear();
    services.Stop();
    g_renderQueue = nullptr;
    g_scene = nullptr;
    g_frameTime = 0.0f;
    HeadlessDeviceTest::TearDown();
  }
  AnimatedMesh* LoadArm(const std::string& name, const ArmOptions& options = {}) {
    EXPECT_TRUE(WriteBytes(folder + name, testsupport::ArmText(options)));
    return g_meshManager->Acquire(name);
  }
  AnimatedMeshNode* MakeNode(AnimatedMesh* mesh, float x = 0.0f) {
    nodes.push_back(std::make_unique<AnimatedMeshNode>());
    AnimatedMeshNode* node = nodes.back().get();
    node->SetPosition({x, 0, 0});
    node->RebuildMatrices();
    EXPECT_TRUE(node->SetMesh(mesh));
    return node;
  }
  // One frame of the node as the render queue runs it.
  static void Step(AnimatedMeshNode* node, float seconds) {
    g_frameTime = seconds;
    node->AdvanceClock();
    node->AdvanceAndRefresh();
  }
  static D3DXTRACK_DESC Track(AnimatedMeshNode* node, UINT track) {
    D3DXTRACK_DESC d{};
    node->controller->GetTrackDesc(track, &d);
    return d;
  }

  TempDir dir;
  std::string folder;
  ResourceServices services;
  Scene scene;
  Camera camera;
  RenderQueue queue;
  std::vector<std::unique_ptr<AnimatedMeshNode>> nodes;
};

TEST_F(AnimatedMeshTest, LoadBuildsFramesMaterialsBonesAndStates) {
  ASSERT_TRUE(WriteBytes(folder + "Alpha.png",
                         EncodePng(4, 4, std::vector<std::uint32_t>(16, 0x80FFFFFFu), true)));
  struct Case {
    const char* file;
    ArmOptions options;
    const char* stripMaterial;
    bool alpha;
  } cases[] = {
      {"Plain.X", ArmOptions{}, nullptr, false},
      {"Bare.X", WithoutMaterials(), "__DEFAULT__", false},
      {"Glass.X", Textured("Alpha.png"), nullptr, true},
  };
  for (Case& c : cases) {
    SCOPED_TRACE(c.file);
    AnimatedMesh* mesh = LoadArm(c.file, c.options);
    ASSERT_NE(mesh, nullptr);
    EXPECT_EQ(mesh->name, ResourceManager<AnimatedMesh>::MakeKey(c.file));
    EXPECT_EQ(std::string(mesh->frameRoot->Name), "Brazo");
    ASSERT_NE(mesh->animController, nullptr);
    EXPECT_EQ(mesh->animController->GetNumAnimationSets(), 3u);

    MeshContainer* strip = Container(mesh, "Malla");
    ASSERT_NE(strip, nullptr);
    ASSERT_EQ(strip->materials.size(), 1u);
    ASSERT_NE(strip->materials[0], nullptr);
    const std::string path = folder + ResourceManager<AnimatedMesh>::MakeKey(c.file);
    const std::string expected =
        c.stripMaterial ? c.stripMaterial : ResourceManager<Material>::MakeKey("AUTO_" + path + "_0");
    EXPECT_EQ(strip->materials[0]->name, expected);
    if (!c.stripMaterial) {
      // Materials are numbered through the file: the hand's first one is the file's second.
      EXPECT_FLOAT_EQ(strip->materials[0]->material.Diffuse.r, 0.75f);
      MeshContainer* hand = Container(mesh, "Mano");
      EXPECT_EQ(hand->materials[0]->name, ResourceManager<Material>::MakeKey("AUTO_" + path + "_1"));
      EXPECT_FLOAT_EQ(hand->materials[0]->material.Diffuse.r, 0.25f);
    }
    EXPECT_EQ(strip->textureSets[0].Size(), c.options.texture.empty() ? 0u : 1u);
    EXPECT_EQ(mesh->hasAlphaTexture, c.alpha);
    ASSERT_NE(mesh->renderStates, nullptr);
    EXPECT_EQ(mesh->renderStates->name, c.alpha ? "__DEFAULT_TRANSPARENT__" : "__DEFAULT__");

    // The strip is skinned to the two bone frames; the hand is rigid.
    ASSERT_NE(strip->pSkinInfo, nullptr);
    ASSERT_EQ(strip->boneMatrixPointers.size(), 2u);
    EXPECT_EQ(strip->boneMatrixPointers[0], &Frame(mesh, "Hueso0")->combinedMatrix);
    EXPECT_EQ(strip->boneMatrixPointers[1], &Frame(mesh, "Hueso1")->combinedMatrix);
    ExpectMatrixNear(strip->boneOffsets[1], Move(-2, 0, 0), "offset");
    EXPECT_NE(strip->originalMesh, strip->MeshData.pMesh);
    EXPECT_EQ(Container(mesh, "Mano")->pSkinInfo, nullptr);
    ExpectMatrixNear(Frame(mesh, "Hueso1")->TransformationMatrix, Move(2, 0, 0), "rest");

    // Rest-pose sphere: the mean of the nine vertices (hand at x 2..3) and the farthest.
    EXPECT_NEAR(mesh->boundsCentre.x, 19.0f / 9.0f, 1e-4f);
    EXPECT_NEAR(mesh->boundsCentre.y, 4.0f / 9.0f, 1e-4f);
    const D3DXVECTOR3 corner = D3DXVECTOR3(0, 1, 0) - mesh->boundsCentre;
    EXPECT_NEAR(mesh->boundsRadius, D3DXVec3Length(&corner), 1e-4f);
  }
  EXPECT_EQ(boneScratchCapacity, 2u);
}

TEST_F(AnimatedMeshTest, UnusableFilesLeaveNoEntry) {
  const std::string arm = testsupport::ArmText();
  struct Case {
    const char* file;
    std::string bytes;
  } cases[] = {
      {"NoBone.X", testsupport::ArmText(SecondBoneNamed("Nadie"))},
      {"Short.X", arm.substr(0, arm.size() / 2)},
      {"Junk.X", "xof 0303txt 0032 Frame { Frame"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.file);
    ASSERT_TRUE(WriteBytes(folder + c.file, c.bytes));
    EXPECT_EQ(g_meshManager->Acquire(c.file), nullptr);
    EXPECT_EQ(g_meshManager->Find(c.file), nullptr);
  }
  EXPECT_EQ(g_meshManager->Acquire("Missing.X"), nullptr);
  EXPECT_EQ(g_meshManager->EntryCount(), 0u);
  EXPECT_TRUE(currentMeshPath.empty());
}

TEST_F(AnimatedMeshTest, SkinningFollowsTheBonesAndRestPoseGivesTheMeshBack) {
  AnimatedMesh* mesh = LoadArm("Arm.X");
  ASSERT_NE(mesh, nullptr);
  MeshContainer* strip = Container(mesh, "Malla");
  const std::vector<Vertex> original = DrawnVertices(strip);
  ASSERT_EQ(original.size(), 6u);
  D3DXMATRIX identity;
  D3DXMatrixIdentity(&identity);

  mesh->UpdateMatrices(mesh->frameRoot, &identity);
  mesh->Draw();
  const std::vector<Vertex> rest = DrawnVertices(strip);
  for (std::size_t v = 0; v < rest.size(); ++v) {
    EXPECT_NEAR(rest[v].position.x, original[v].position.x, 1e-5f) << v;
    EXPECT_NEAR(rest[v].position.y, original[v].position.y, 1e-5f) << v;
    EXPECT_NEAR(rest[v].normal.z, 1.0f, 1e-5f) << v;
  }

  // The second bone turned 90 degrees about +Z: the far pair swings up, the middle pair
  // lands half way between where each bone would put it.
  MeshFrame* bone1 = Frame(mesh, "Hueso1");
  bone1->TransformationMatrix = RotZ(90) * Move(2, 0, 0);
  mesh->UpdateMatrices(mesh->frameRoot, &identity);
  mesh->Draw();
  std::vector<Vertex> bent = DrawnVertices(strip);
  const D3DXVECTOR3 expected[6] = {{0, 0, 0}, {0, 1, 0}, {2, 0, 0}, {1.5f, 0.5f, 0}, {2, 2, 0}, {1, 2, 0}};
  for (std::size_t v = 0; v < 6; ++v) {
    const D3DXVECTOR3& p = bent[v].position;  // vertex order survives loading here
    EXPECT_NEAR(p.x, expected[v].x, 1e-5f) << v;
    EXPECT_NEAR(p.y, expected[v].y, 1e-5f) << v;
    EXPECT_NEAR(p.z, expected[v].z, 1e-5f) << v;
  }

  // Turned about +X instead: the middle normals are the renormalised mean of (0, 0, 1)
  // and (0, -1, 0).
  D3DXMATRIX rx;
  bone1->TransformationMatrix = *D3DXMatrixRotationX(&rx, D3DX_PI / 2) * Move(2, 0, 0);
  mesh->UpdateMatrices(mesh->frameRoot, &identity);
  mesh->Draw();
  bent = DrawnVertices(strip);
  EXPECT_NEAR(bent[2].normal.y, -std::sqrt(0.5f), 1e-5f);
  EXPECT_NEAR(bent[2].normal.z, std::sqrt(0.5f), 1e-5f);
  EXPECT_NEAR(bent[4].normal.y, -1.0f, 1e-5f);
  EXPECT_NEAR(bent[0].normal.z, 1.0f, 1e-5f);
  // The bind pose itself is never written.
  EXPECT_EQ(original.size(), 6u);
  void* src = nullptr;
  ASSERT_EQ(strip->originalMesh->LockVertexBuffer(D3DLOCK_READONLY, &src), D3D_OK);
  float far[3];
  std::memcpy(far, static_cast<BYTE*>(src) + 4 * strip->originalMesh->GetNumBytesPerVertex(), 12);
  strip->originalMesh->UnlockVertexBuffer();
  EXPECT_EQ(far[0], 4.0f);
}

TEST_F(AnimatedMeshTest, SetMeshClonesWithTracksOffAndSetAnimationAlternatesTracks) {
  AnimatedMesh* mesh = LoadArm("Arm.X");
  ASSERT_NE(mesh, nullptr);
  AnimatedMeshNode* node = MakeNode(mesh);
  EXPECT_EQ(node->bounds.radius, 100.0f);
  ASSERT_NE(node->controller, nullptr);
  EXPECT_NE(node->controller, mesh->animController);
  EXPECT_EQ(node->controller->GetMaxNumTracks(), mesh->animController->GetMaxNumTracks());
  EXPECT_EQ(node->controller->GetNumAnimationSets(), 3u);
  for (UINT t = 0; t < node->controller->GetMaxNumTracks(); ++t) EXPECT_FALSE(Track(node, t).Enable);

  const unsigned expectTrack[] = {1, 0, 1};
  const char* names[] = {"correr", "rotar", "correr"};
  for (int i = 0; i < 3; ++i) {
    Step(node, 0.3f);
    node->SetAnimation(names[i], true);
    EXPECT_EQ(node->currentTrack, expectTrack[i]);
    ASSERT_NE(node->currentSet, nullptr);
    EXPECT_STREQ(node->currentSet->GetName(), names[i]);
    const D3DXTRACK_DESC on = Track(node, node->currentTrack);
    const D3DXTRACK_DESC off = Track(node, 1 - node->currentTrack);
    EXPECT_TRUE(on.Enable);
    EXPECT_EQ(on.Speed, 1.0f);
    EXPECT_EQ(on.Weight, 1.0f);
    EXPECT_EQ(on.Position, 0.0);
    EXPECT_FALSE(off.Enable);
    EXPECT_EQ(off.Speed, 0.0f);
    EXPECT_EQ(off.Weight, 0.0f);
    EXPECT_EQ(node->clock, 0.0f);
  }
  // The node's clone plays on its own: the mesh's controller has not moved.
  EXPECT_EQ(mesh->animController->GetTime(), 0.0);
  EXPECT_FALSE(node->SetMesh(nullptr));
  EXPECT_EQ(node->mesh, nullptr);
}

TEST_F(AnimatedMeshTest, PlayOnceFreezesOnTheFrameAfterItsPeriod) {
  AnimatedMesh* mesh = LoadArm("Arm.X");
  ASSERT_NE(mesh, nullptr);
  AnimatedMeshNode* node = MakeNode(mesh);
  node->SetAnimation("saltar", false);
  ASSERT_DOUBLE_EQ(node->currentSet->GetPeriod(), 1.0);
  MeshFrame* bone0 = Frame(mesh, "Hueso0");
  for (int i = 0; i < 4; ++i) Step(node, 0.25f);
  EXPECT_EQ(node->clock, 1.0f);
  EXPECT_FALSE(node->finished);
  Step(node, 0.25f);
  EXPECT_TRUE(node->finished);
  EXPECT_DOUBLE_EQ(Track(node, node->currentTrack).Position, 1.0 - 0.000001);
  EXPECT_NEAR(bone0->combinedMatrix.m[3][2], 10.0f, 1e-3f);
  // Frozen: neither the clock nor the pose moves any more.
  for (int i = 0; i < 3; ++i) Step(node, 0.25f);
  EXPECT_EQ(node->clock, 1.25f);
  EXPECT_DOUBLE_EQ(Track(node, node->currentTrack).Position, 1.0 - 0.000001);
  EXPECT_NEAR(bone0->combinedMatrix.m[3][2], 10.0f, 1e-3f);
  // A new selection starts again from the first key.
  node->SetAnimation("saltar", false);
  Step(node, 0.5f);
  EXPECT_FALSE(node->finished);
  EXPECT_NEAR(bone0->combinedMatrix.m[3][2], 5.0f, 1e-3f);
}

TEST_F(AnimatedMeshTest, SpeedScalesTheControllerWhileTheClockRunsUnscaled) {
  AnimatedMesh* mesh = LoadArm("Arm.X");
  ASSERT_NE(mesh, nullptr);
  AnimatedMeshNode* node = MakeNode(mesh);
  node->SetAnimationSpeed("correr", 2.0f);
  node->SetAnimation("correr", true);
  Step(node, 0.1f);
  EXPECT_FLOAT_EQ(node->clock, 0.1f);
  EXPECT_NEAR(node->controller->GetTime(), 0.2, 1e-6);
  EXPECT_NEAR(Track(node, node->currentTrack).Position, 0.2, 1e-6);
  ExpectMatrixNear(Frame(mesh, "Hueso1")->combinedMatrix, RotZ(18) * Move(2, 0, 0), "18 degrees");
  // A looping set wraps: 0.2 + 2 × 0.45 = 1.1 s is 0.1 s into the next pass.
  Step(node, 0.45f);
  ExpectMatrixNear(Frame(mesh, "Hueso1")->combinedMatrix, RotZ(9) * Move(2, 0, 0), "wrapped");
  EXPECT_FALSE(node->finished);

  // A name the mesh lacks plays nothing: speed 1, no period, the rest pose.
  node->SetAnimationSpeed("bailar", 3.0f);
  node->SetAnimation("bailar", false);
  EXPECT_EQ(node->currentSet, nullptr);
  const double before = node->controller->GetTime();
  for (int i = 0; i < 10; ++i) Step(node, 0.5f);
  EXPECT_FALSE(node->finished);
  EXPECT_NEAR(node->controller->GetTime() - before, 5.0, 1e-6);
  ExpectMatrixNear(Frame(mesh, "Hueso1")->combinedMatrix, Move(2, 0, 0), "rest");
}

TEST_F(AnimatedMeshTest, NodesSharingAMeshDrawTheirOwnPoseThroughTheQueue) {
  AnimatedMesh* mesh = LoadArm("Arm.X");
  ASSERT_NE(mesh, nullptr);
  AnimatedMeshNode* running = MakeNode(mesh, 0.0f);
  AnimatedMeshNode* turning = MakeNode(mesh, 100.0f);
  AnimatedMeshNode* idle = MakeNode(mesh, -100.0f);
  for (AnimatedMeshNode* n : {running, turning, idle}) scene.AddNode(n, nullptr);
  running->SetAnimation("correr", true);
  turning->SetAnimation("rotar", true);

  g_frameTime = 0.5f;
  Log().Clear();
  scene.Update();
  scene.Render();
  // Each node's hand is drawn with its own pose: the running arm bent 45 degrees at
  // the elbow, the turning one swung a quarter turn about its shoulder, the idle one
  // at rest; every skinned draw has the identity world transform.
  std::vector<D3DXMATRIX> hands;
  int identities = 0;
  for (const auto& r : Log().Named("SetTransform")) {
    if (r.args[0] != D3DTS_WORLD) continue;
    D3DXMATRIX m;
    std::memcpy(&m.m[0][0], r.values, sizeof(float) * 16);
    if (D3DXMatrixIsIdentity(&m)) {
      ++identities;
    } else {
      hands.push_back(m);
    }
  }
  EXPECT_EQ(identities, 3);
  ASSERT_EQ(hands.size(), 3u);
  ExpectMatrixNear(hands[0], RotZ(45) * Move(2, 0, 0), "running");
  ExpectMatrixNear(hands[1], RotZ(90) * Move(100, 2, 0), "turning");
  ExpectMatrixNear(hands[2], Move(-98, 0, 0), "idle");
  // The skinned strip holds the last node's pose, the frames their last node's matrices.
  const std::vector<Vertex> drawn = DrawnVertices(Container(mesh, "Malla"));
  EXPECT_NEAR(drawn[4].position.x, -96.0f, 1e-4f);
  EXPECT_EQ(running->clock, 0.5f);
  EXPECT_EQ(turning->clock, 0.5f);
}

TEST_F(AnimatedMeshTest, QueueDrawsOpaqueThenBothFacesOfSeeThroughNodesOnce) {
  ASSERT_TRUE(WriteBytes(folder + "Alpha.png",
                         EncodePng(4, 4, std::vector<std::uint32_t>(16, 0x80FFFFFFu), true)));
  AnimatedMesh* solid = LoadArm("Solid.X");
  AnimatedMesh* glass = LoadArm("Glass.X", Textured("Alpha.png"));
  ASSERT_NE(solid, nullptr);
  ASSERT_NE(glass, nullptr);
  AnimatedMeshNode* a = MakeNode(solid, 0.0f);
  AnimatedMeshNode* b = MakeNode(glass, 50.0f);
  AnimatedMeshNode* c = MakeNode(solid, -50.0f);
  AnimatedMeshNode* hidden = MakeNode(solid, 0.0f);
  AnimatedMeshNode* behind = MakeNode(solid, 0.0f);
  CountingListener listener;
  c->SetDrawListener(&listener);
  hidden->visible = false;
  behind->SetPosition({0, -5000, 0});  // behind the camera
  for (AnimatedMeshNode* n : {a, b, c, hidden, behind}) {
    scene.AddNode(n, nullptr);
    n->SetAnimation("correr", true);
  }
  g_frameTime = 0.25f;
  Log().Clear();
  scene.Update();
  scene.Render();

  // Draw order by world transform of the hands: a (opaque), then b and c in pass 0
  // (front faces culled), then b and c again in pass 1.
  std::vector<int> order;
  std::vector<DWORD> cullAtDraw;
  DWORD cull = 0;
  for (const auto& r : Log().Records()) {
    const std::string name = r.name;
    if (name == "SetRenderState" && r.args[0] == D3DRS_CULLMODE) cull = r.args[1];
    if (name == "SetTransform" && r.args[0] == D3DTS_WORLD && r.values[0] != 1.0f) {
      order.push_back(static_cast<int>(std::lround(r.values[12] - 2.0f)));
      cullAtDraw.push_back(cull);
    }
  }
  EXPECT_EQ(order, (std::vector<int>{0, 50, -50, 50, -50}));
  ASSERT_EQ(cullAtDraw.size(), 5u);
  EXPECT_EQ(cullAtDraw[1], static_cast<DWORD>(D3DCULL_CCW));
  EXPECT_EQ(cullAtDraw[3], static_cast<DWORD>(D3DCULL_CW));
  EXPECT_EQ((*glass->renderStates)[D3DRS_CULLMODE].value, static_cast<DWORD>(D3DCULL_CW));
  EXPECT_EQ(listener.before, 2);
  EXPECT_EQ(listener.after, 2);
  // Every drawn node advanced its controller once; the undrawn ones only their clocks.
  for (AnimatedMeshNode* n : {a, b, c}) EXPECT_NEAR(n->controller->GetTime(), 0.25, 1e-6);
  EXPECT_TRUE(behind->culled);
  EXPECT_EQ(behind->clock, 0.25f);
  EXPECT_EQ(behind->controller->GetTime(), 0.0);
  EXPECT_EQ(hidden->controller->GetTime(), 0.0);
  EXPECT_TRUE(queue.opaqueAnimated.empty());
  EXPECT_TRUE(queue.blendedAnimated.empty());
}

}  // namespace

namespace {

// Every generated figure and marker loads through the mesh manager with the sets the
// game plays, and playing them moves the bones (or the marker's frames).
TEST_F(AnimatedMeshTest, GeneratedFiguresAndMarkersLoadAndAnimate) {
  const std::string data = std::string(YULE_BUILD_DIR) + "/Data/";
  if (!std::filesystem::exists(data + "Jugador0_Figura0.X")) GTEST_SKIP() << "no generated data";
  textureFolder = materialFolder = renderStateFolder = meshFolder = data;
  struct Asset {
    std::string file;
    std::vector<const char*> sets;
  };
  std::vector<Asset> assets;
  for (int i = 0; i < 4; ++i)
    for (int f = 0; f < 4; ++f)
      assets.push_back({"Jugador" + std::to_string(i) + "_Figura" + std::to_string(f) + ".X",
                        {"reposo", "correr"}});
  for (const char* m : {"Marcador0.X", "Marcador1.X", "Marcador2.X", "Marcador3.X", "Marcador.X"})
    assets.push_back({m, {"rotar"}});
  for (const Asset& asset : assets) {
    SCOPED_TRACE(asset.file);
    AnimatedMesh* mesh = g_meshManager->Acquire(asset.file);
    ASSERT_NE(mesh, nullptr);
    ASSERT_NE(mesh->animController, nullptr);
    EXPECT_GT(mesh->boundsRadius, 0.0f);
    AnimatedMeshNode* node = MakeNode(mesh);
    for (const char* set : asset.sets) {
      node->SetAnimation(set, true);
      ASSERT_NE(node->currentSet, nullptr) << set;
      EXPECT_GT(node->currentSet->GetPeriod(), 0.0) << set;
    }
    // The last set (the run, or the marker's turn) changes some combined matrix over time.
    Step(node, 0.0f);
    std::vector<D3DXMATRIX> before;
    std::vector<MeshFrame*> frames;
    std::vector<MeshFrame*> stack = {mesh->frameRoot};
    while (!stack.empty()) {
      MeshFrame* f = stack.back();
      stack.pop_back();
      if (!f) continue;
      frames.push_back(f);
      before.push_back(f->combinedMatrix);
      stack.push_back(static_cast<MeshFrame*>(f->pFrameSibling));
      stack.push_back(static_cast<MeshFrame*>(f->pFrameFirstChild));
    }
    Step(node, 0.15f);
    int moved = 0;
    for (std::size_t i = 0; i < frames.size(); ++i) moved += frames[i]->combinedMatrix != before[i];
    EXPECT_GT(moved, 0);
    g_renderQueue->SubmitAnimated(node);
    queue.Flush();
  }
  EXPECT_EQ(g_meshManager->EntryCount(), assets.size());
}

}  // namespace

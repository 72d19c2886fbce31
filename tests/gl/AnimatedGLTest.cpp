// Skinned, animated meshes drawn through the scene and render queue on the OpenGL device:
// a running figure and a turning marker at two moments, and every generated figure and
// marker of the data folder through the fixed match camera.
#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "app/AppShell.h"
#include "app/GraphicsDevice.h"
#include "engine/materials/MaterialManager.h"
#include "engine/resources/ResourceManagers.h"
#include "engine/scene/AnimatedMesh.h"
#include "engine/scene/AnimatedMeshNode.h"
#include "engine/scene/Camera.h"
#include "engine/scene/Light.h"
#include "engine/scene/MeshManager.h"
#include "engine/scene/RenderQueue.h"
#include "engine/scene/Scene.h"
#include "platform/d3d9/Backend.h"
#include "support/AnimatedTestFiles.h"
#include "support/GLWindow.h"
#include "support/TestImages.h"

namespace {

class AnimatedGLTest : public GLDeviceTest {
 protected:
  void SetUp() override {
    GLDeviceTest::SetUp();
    if (IsSkipped() || HasFatalFailure()) return;
    g_graphicsDevice = new GraphicsDevice();
    g_graphicsDevice->device = gl_.device();
    gl_.device()->AddRef();
    g_graphicsDevice->stateCache.Apply(true);
    saved = {textureFolder, materialFolder, renderStateFolder, meshFolder};
    g_textureManager = new TextureManager;
    g_renderStateManager = new RenderStateManager;
    g_materialManager = new MaterialManager;
    g_meshManager = new MeshManager;
    g_renderQueue = new RenderQueue;
    g_scene = new Scene;
    g_frameTime = 0.0f;
  }
  void TearDown() override {
    if (g_scene) {
      for (auto& n : nodes) g_scene->RemoveNode(n.get());
      g_scene->RemoveNode(&camera);
      g_scene->RemoveNode(&camera.target);
    }
    nodes.clear();
    delete g_scene;
    delete g_renderQueue;
    delete g_meshManager;
    delete g_materialManager;
    delete g_renderStateManager;
    delete g_textureManager;
    FreeBoneScratch();
    g_scene = nullptr;
    g_renderQueue = nullptr;
    g_meshManager = nullptr;
    g_materialManager = nullptr;
    g_renderStateManager = nullptr;
    g_textureManager = nullptr;
    g_frameTime = 0.0f;
    if (!saved.empty()) {
      textureFolder = saved[0];
      materialFolder = saved[1];
      renderStateFolder = saved[2];
      meshFolder = saved[3];
    }
    delete g_graphicsDevice;
    g_graphicsDevice = nullptr;
    GLDeviceTest::TearDown();
  }
  void UseFolder(const std::string& folder) {
    textureFolder = materialFolder = renderStateFolder = meshFolder = folder;
  }
  void LookFrom(D3DXVECTOR3 eye, D3DXVECTOR3 at) {
    camera.SetPosition(eye);
    camera.target.SetPosition(at);
    camera.SetAspect(800.0f / 600.0f);
    g_scene->AddTargetedNode(&camera);
    g_scene->SetCamera(&camera);
    Light* key = g_scene->CreateLight();
    key->SetPosition(eye + D3DXVECTOR3(600, 0, 600));
    Light* fill = g_scene->CreateLight();
    fill->SetPosition({-800, -400, 300});
    g_scene->SetBackgroundColour(0.1f, 0.12f, 0.15f, 1);
  }
  AnimatedMeshNode* Place(const std::string& mesh, D3DXVECTOR3 at, float scale,
                          const char* animation) {
    AnimatedMesh* m = g_meshManager->Acquire(mesh);
    EXPECT_NE(m, nullptr) << mesh;
    if (!m) return nullptr;
    nodes.push_back(std::make_unique<AnimatedMeshNode>());
    AnimatedMeshNode* node = nodes.back().get();
    node->SetMesh(m);
    node->SetPosition(at);
    node->SetScale({scale, scale, scale});
    if (animation) node->SetAnimation(animation, true);
    g_scene->AddNode(node);
    return node;
  }
  // Runs frames of the given length, then draws one more and reads it back.
  void Frames(int count, float seconds) {
    for (int i = 0; i < count; ++i) {
      g_frameTime = seconds;
      ASSERT_EQ(gl_.device()->BeginScene(), D3D_OK);
      g_scene->Update();
      g_scene->Render();
      gl_.device()->EndScene();
    }
    ASSERT_EQ(gl_.device()->BeginScene(), D3D_OK);
    g_frameTime = 0.0f;
    g_scene->Update();
    g_scene->Render();
    gl_.device()->EndScene();
    ASSERT_TRUE(gl_.ReadBack());
  }
  void Project(const D3DXVECTOR3& p, int* x, int* y) {
    D3DXMATRIX m;
    D3DXMatrixMultiply(&m, &camera.viewMatrix, &camera.projectionMatrix);
    D3DXVECTOR3 ndc;
    D3DXVec3TransformCoord(&ndc, &p, &m);
    *x = static_cast<int>((ndc.x + 1) * 400);
    *y = static_cast<int>((1 - ndc.y) * 300);
  }
  std::uint32_t PixelAt(const D3DXVECTOR3& p) {
    int x = 0, y = 0;
    Project(p, &x, &y);
    return gl_.At(x, y);
  }
  int DifferingPixels(const std::vector<std::uint32_t>& a) {
    int n = 0;
    for (std::size_t i = 0; i < a.size() && i < gl_.pixels().size(); ++i)
      if (!ColourNear(a[i], gl_.pixels()[i], 8)) ++n;
    return n;
  }

  TempDir dir;
  std::vector<std::string> saved;
  Camera camera;
  std::vector<std::unique_ptr<AnimatedMeshNode>> nodes;
};

bool IsBackground(std::uint32_t c) {
  return ColourNear(c, 0xFF1A1F26u, 6);
}

TEST_F(AnimatedGLTest, FigureRunsUprightFacingPlusXAndMarkerTurns) {
  UseFolder(dir.Path() + "/");
  ASSERT_TRUE(WriteBytes(dir.Path() + "/Figura.X", testsupport::WriteXFile(testsupport::FigureFile(3), {})));
  ASSERT_TRUE(WriteBytes(dir.Path() + "/Marcador.X", testsupport::WriteXFile(testsupport::MarkerFile(), {})));
  LookFrom({0, -300, 160}, {0, 0, 45});
  AnimatedMeshNode* figure = Place("Figura.X", {-40, 0, 0}, 1.0f, "correr");
  AnimatedMeshNode* marker = Place("Marcador.X", {70, 0, 0}, 1.0f, "rotar");
  ASSERT_TRUE(figure && marker);

  // First moment: 0.2 s in, the left leg (y > 0, the far one) swung 30 degrees.
  Frames(2, 0.1f);
  gl_.SaveArtifact("anim/figure_marker_t0_2");
  const std::vector<std::uint32_t> first = gl_.pixels();
  // Upright and facing +X: the head is skin above the red torso above the blue legs,
  // the nose sticks out on the +X side only.
  auto red = [](std::uint32_t c) { return RedOf(c) > BlueOf(c) + 40 && RedOf(c) > GreenOf(c) + 40; };
  auto blue = [](std::uint32_t c) { return BlueOf(c) > RedOf(c) + 40; };
  auto skin = [](std::uint32_t c) { return RedOf(c) > 80 && GreenOf(c) > 50 && RedOf(c) >= BlueOf(c); };
  EXPECT_TRUE(skin(PixelAt({-40, -8, 90}))) << std::hex << PixelAt({-40, -8, 90});
  EXPECT_TRUE(red(PixelAt({-40, -14, 60}))) << std::hex << PixelAt({-40, -14, 60});
  EXPECT_TRUE(skin(PixelAt({-27, 0, 88}))) << std::hex << PixelAt({-27, 0, 88});  // nose
  EXPECT_TRUE(IsBackground(PixelAt({-53, 0, 88}))) << std::hex << PixelAt({-53, 0, 88});
  EXPECT_TRUE(blue(PixelAt({-40, -12, 36}))) << std::hex << PixelAt({-40, -12, 36});
  EXPECT_TRUE(IsBackground(PixelAt({-40, 0, 140})));
  // The marker's arrow has turned 36 degrees from +X: drawn along that direction only.
  auto alongArrow = [](float degrees) {
    const float a = degrees * D3DX_PI / 180.0f;
    return D3DXVECTOR3(70 + 15 * std::cos(a), 15 * std::sin(a), 30.5f);
  };
  EXPECT_FALSE(IsBackground(PixelAt(alongArrow(36)))) << std::hex << PixelAt(alongArrow(36));
  EXPECT_TRUE(IsBackground(PixelAt(alongArrow(108)))) << std::hex << PixelAt(alongArrow(108));

  // The skinned copy goes up into the same buffer object every frame, and only the
  // bytes the skinning locked.
  auto* strip = static_cast<MeshContainer*>(
      D3DXFrameFind(figure->mesh->frameRoot, "Malla")->pMeshContainer);
  IDirect3DVertexBuffer9* buffer = nullptr;
  ASSERT_EQ(strip->MeshData.pMesh->GetVertexBuffer(&buffer), D3D_OK);
  auto* drawn = static_cast<platform::d3d9::VertexBuffer9*>(buffer);
  const std::uint32_t handle = drawn->gpuHandle;
  EXPECT_NE(handle, 0u);

  // Second moment: 0.6 s in, the legs swung the other way and the arrow turned.
  Frames(4, 0.1f);
  EXPECT_EQ(drawn->gpuHandle, handle);
  EXPECT_FALSE(drawn->gpuDirty);
  EXPECT_EQ(drawn->dirtyBegin, drawn->dirtyEnd);
  buffer->Release();
  gl_.SaveArtifact("anim/figure_marker_t0_6");
  EXPECT_GT(DifferingPixels(first), 200);
  // The torso and head have not moved; the arrow now points along 108 degrees.
  EXPECT_TRUE(red(PixelAt({-40, -14, 60})));
  EXPECT_TRUE(skin(PixelAt({-40, -8, 90})));
  EXPECT_FALSE(IsBackground(PixelAt(alongArrow(108)))) << std::hex << PixelAt(alongArrow(108));
  EXPECT_TRUE(IsBackground(PixelAt(alongArrow(36)))) << std::hex << PixelAt(alongArrow(36));
}

// Every figure the players can pick and every base marker, drawn over the field from the
// match camera at rest and running; needs the generated data folder.
TEST_F(AnimatedGLTest, GeneratedFiguresAndMarkersThroughTheMatchCamera) {
  const std::string data = std::string(YULE_BUILD_DIR) + "/Data/";
  if (!std::filesystem::exists(data + "Jugador0_Figura0.X")) GTEST_SKIP() << "no generated figures";
  UseFolder(data);
  LookFrom({0, -1800, 1800}, {0, 0, 0});
  std::vector<AnimatedMeshNode*> figures;
  for (int i = 0; i < 4; ++i) {
    for (int f = 0; f < 4; ++f) {
      const std::string name = "Jugador" + std::to_string(i) + "_Figura" + std::to_string(f) + ".X";
      AnimatedMeshNode* n =
          Place(name, {-525.0f + 350.0f * f, 500.0f - 300.0f * i, 0}, 1.7f, "reposo");
      if (n) figures.push_back(n);
    }
  }
  for (int m = 0; m <= 4; ++m) {
    const std::string name = m < 4 ? "Marcador" + std::to_string(m) + ".X" : "Marcador.X";
    Place(name, {-600.0f + 300.0f * m, -650.0f, 150.0f}, 1.0f, "rotar");
  }
  ASSERT_EQ(figures.size(), 16u);
  Frames(1, 0.05f);
  gl_.SaveArtifact("anim/generated_reposo");
  const std::vector<std::uint32_t> rest = gl_.pixels();
  for (AnimatedMeshNode* n : figures) n->SetAnimation("correr", true);
  Frames(6, 0.05f);
  gl_.SaveArtifact("anim/generated_correr");
  EXPECT_GT(DifferingPixels(rest), 500);

  // Close up from the side (+X to the right): two players' four figures, at rest and
  // a quarter of a second into the run, to judge limbs, feet and skinning.
  for (auto& n : nodes) g_scene->RemoveNode(n.get());
  nodes.clear();
  camera.SetPosition({0, -1100, 260});
  camera.target.SetPosition({0, 0, 110});
  std::vector<AnimatedMeshNode*> close;
  for (int i = 0; i < 2; ++i)
    for (int f = 0; f < 4; ++f)
      close.push_back(Place("Jugador" + std::to_string(i) + "_Figura" + std::to_string(f) + ".X",
                            {-450.0f + 300.0f * f, 150.0f * i, 0}, 1.7f, "reposo"));
  Frames(1, 0.05f);
  gl_.SaveArtifact("anim/closeup_reposo");
  for (AnimatedMeshNode* n : close) n->SetAnimation("correr", true);
  Frames(5, 0.05f);
  gl_.SaveArtifact("anim/closeup_correr");
  // Nearer still on player 0's first two figures, mid-stride.
  camera.SetPosition({-300, -420, 170});
  camera.target.SetPosition({-300, 0, 90});
  Frames(2, 0.05f);
  gl_.SaveArtifact("anim/closeup_stride");
}

}  // namespace

// The generated world drawn through the real engine from the build's Data folder, seen
// by the fixed match camera under the match's four lights: each terrain with four bags,
// a tree round, the snowman's stages, a line-up of every item lying and carried, and
// the outline file laid over a terrain. Pictures go to artifacts/content/.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "app/AppShell.h"
#include "app/GraphicsDevice.h"
#include "engine/materials/MaterialManager.h"
#include "engine/materials/ModelManager.h"
#include "engine/resources/ResourceManagers.h"
#include "engine/scene/AnimatedMesh.h"
#include "engine/scene/AnimatedMeshNode.h"
#include "engine/scene/Camera.h"
#include "engine/scene/Light.h"
#include "engine/scene/MeshManager.h"
#include "engine/scene/ModelNode.h"
#include "engine/scene/RenderQueue.h"
#include "engine/scene/Scene.h"
#include "support/TestServices.h"
#include "support/GLWindow.h"
#include "support/TestImages.h"

namespace {

const std::string kData = std::string(YULE_BUILD_DIR) + "/Data/";
const float kBaseX[4] = {-650, -200, 200, 650};

class ContentGLTest : public GLDeviceTest {
 protected:
  void SetUp() override {
    GLDeviceTest::SetUp();
    if (IsSkipped() || HasFatalFailure()) return;
    if (!std::filesystem::exists(kData + "Terreno0.X")) GTEST_SKIP() << "no generated Data folder";
    services.Start(gl_.device(), kData);
    // The match world's camera and lights.
    g_scene->SetBackgroundColour(0, 0, 0, 1);
    const float colours[4][3] = {{0.44313729f, 0.7137255f, 0.83921576f},
                                 {0.50196081f, 0.50196081f, 0.50196081f},
                                 {0.50196081f, 0.50196081f, 0.50196081f},
                                 {0.44313729f, 0.7137255f, 0.83921576f}};
    const D3DXVECTOR3 offsets[4] = {{-1, 1, -1}, {1, -1, -1}, {-1, -1, -1}, {1, 1, -1}};
    for (int i = 0; i < 4; ++i) {
      Light* l = g_scene->CreateLight();
      l->light.Diffuse = {colours[i][0], colours[i][1], colours[i][2], 1};
      l->target.SetPosition(l->position + offsets[i]);
      l->Send();
    }
    camera.SetAspect(800.0f / 600.0f);
    camera.target.SetPosition({0, 0, 0});
    camera.SetPosition({0, -1800, 1800});
    g_scene->AddTargetedNode(&camera);
    g_scene->SetCamera(&camera);
  }
  void TearDown() override {
    if (g_scene) {
      for (auto& n : nodes) g_scene->RemoveNode(n.get());
      for (auto& n : animated) g_scene->RemoveNode(n.get());
      g_scene->RemoveNode(&camera);
      g_scene->RemoveNode(&camera.target);
    }
    nodes.clear();
    animated.clear();
    services.Stop();
    GLDeviceTest::TearDown();
  }

  void Place(const std::string& model, D3DXVECTOR3 p, float scale = 1, float roll = 0) {
    Model* m = g_modelManager->Acquire(model);
    ASSERT_NE(m, nullptr) << model;
    auto node = std::make_unique<ModelNode>();
    ASSERT_TRUE(node->SetModel(m));
    node->SetPosition(p);
    node->SetScale({scale, scale, scale});
    node->SetRotation({0, 0, roll});
    g_scene->AddNode(node.get());
    nodes.push_back(std::move(node));
  }
  AnimatedMeshNode* PlaceAnimated(const std::string& mesh, D3DXVECTOR3 p, float scale, float roll,
                                  const char* animation, float speed = 1) {
    AnimatedMesh* m = g_meshManager->Acquire(mesh);
    EXPECT_NE(m, nullptr) << mesh;
    if (!m) return nullptr;
    animated.push_back(std::make_unique<AnimatedMeshNode>());
    AnimatedMeshNode* node = animated.back().get();
    node->SetMesh(m);
    node->SetPosition(p);
    node->SetScale({scale, scale, scale});
    node->SetRotation({0, 0, roll});
    node->SetAnimationSpeed(animation, speed);
    node->SetAnimation(animation, true);
    g_scene->AddNode(node);
    return node;
  }
  // A carried item: a child of the figure, 150 of its units up, its scale divided by 1.7.
  void Carry(AnimatedMeshNode* figure, const std::string& model, float scale) {
    Model* m = g_modelManager->Acquire(model);
    ASSERT_NE(m, nullptr) << model;
    auto node = std::make_unique<ModelNode>();
    ASSERT_TRUE(node->SetModel(m));
    node->SetPosition({0, 0, 150});
    node->SetScale({scale / 1.7f, scale / 1.7f, scale / 1.7f});
    g_scene->AddNode(node.get(), figure);
    nodes.push_back(std::move(node));
  }
  // Lets the animations run for a while before the picture.
  void Run(int frames, float seconds) {
    for (int i = 0; i < frames; ++i) {
      g_frameTime = seconds;
      gl_.device()->BeginScene();
      g_scene->Update();
      g_scene->Render();
      gl_.device()->EndScene();
    }
    g_frameTime = 0;
  }
  void Clear() {
    for (auto& n : nodes) g_scene->RemoveNode(n.get());
    nodes.clear();
  }
  // Draws the scene; `overlay` (outlines) is drawn over it before the picture is taken.
  std::string Shoot(const char* name, const std::vector<std::vector<D3DXVECTOR3>>& overlay = {}) {
    g_scene->Update();
    EXPECT_EQ(gl_.device()->BeginScene(), D3D_OK);
    g_scene->Render();
    IDirect3DDevice9* d = gl_.device();
    if (!overlay.empty()) {
      struct V {
        float x, y, z;
        DWORD c;
      };
      D3DMATRIX identity{};
      identity._11 = identity._22 = identity._33 = identity._44 = 1;
      d->SetTransform(D3DTS_WORLD, &identity);
      d->SetRenderState(D3DRS_LIGHTING, FALSE);
      d->SetRenderState(D3DRS_ZENABLE, D3DZB_FALSE);
      d->SetRenderState(D3DRS_ALPHABLENDENABLE, FALSE);
      d->SetTexture(0, nullptr);
      d->SetTexture(1, nullptr);
      d->SetFVF(D3DFVF_XYZ | D3DFVF_DIFFUSE);
      for (const auto& o : overlay) {
        std::vector<V> v;
        for (const auto& p : o) v.push_back({p.x, p.y, p.z + 2, 0xFFFF00FFu});
        d->DrawPrimitiveUP(D3DPT_LINESTRIP, static_cast<UINT>(v.size() - 1), v.data(), sizeof(V));
      }
      d->SetRenderState(D3DRS_LIGHTING, TRUE);
      d->SetRenderState(D3DRS_ZENABLE, D3DZB_TRUE);
    }
    d->EndScene();
    EXPECT_TRUE(gl_.ReadBack());
    const char* env = std::getenv("YULE_ARTIFACTS");
    std::error_code ec;
    std::filesystem::create_directories(
        std::filesystem::path(env && *env ? env : std::string(YULE_BUILD_DIR) + "/artifacts") / "content", ec);
    return gl_.SaveArtifact((std::string("content/") + name).c_str());
  }
  // The camera sees ground in every corner and along the top edge: nothing black.
  void ExpectGroundEverywhere() {
    for (int x : {2, 400, 797})
      for (int y : {2, 300, 597}) {
        const std::uint32_t c = gl_.At(x, y);
        EXPECT_GT(RedOf(c) + GreenOf(c) + BlueOf(c), 60) << "black background at " << x << "," << y;
      }
  }

  GLEngineServices services;
  Camera camera;
  std::vector<std::unique_ptr<ModelNode>> nodes;
  std::vector<std::unique_ptr<AnimatedMeshNode>> animated;
};

std::vector<std::vector<D3DXVECTOR3>> ReadOutlines() {
  std::vector<std::vector<D3DXVECTOR3>> out;
  std::FILE* f = std::fopen((kData + "Terreno_0.cln").c_str(), "rb");
  if (!f) return out;
  std::int32_t n = 0;
  if (std::fread(&n, 4, 1, f) == 1)
    for (std::int32_t i = 0; i < n && i < 1000; ++i) {
      std::int32_t k = 0;
      if (std::fread(&k, 4, 1, f) != 1 || k < 0 || k > 10000) break;
      std::vector<D3DXVECTOR3> o(k);
      if (k && std::fread(o.data(), 12, k, f) != static_cast<std::size_t>(k)) break;
      out.push_back(o);
    }
  std::fclose(f);
  return out;
}

TEST_F(ContentGLTest, TerrainsWithBagsAndOutlines) {
  for (int k = 0; k < 3; ++k) {
    Clear();
    Place("Terreno" + std::to_string(k) + ".X", {0, 0, 0});
    for (int i = 0; i < 4; ++i) Place("Bolsa.X", {kBaseX[i], 800, 0});
    Place("Regalo0.X", {-300, -250, 0}, 1.2f, 0.4f);
    Place("Regalo1.X", {350, 100, 0}, 1.4f, 2.0f);
    Place("Regalo0.X", {100, -550, 0}, 1.0f, 1.1f);
    Place("Regalo1.X", {-550, 350, 0}, 1.1f, 4.0f);
    const std::string name = "terreno" + std::to_string(k) + "_bolsas";
    EXPECT_FALSE(Shoot(name.c_str()).empty());
    ExpectGroundEverywhere();
  }
  const auto outlines = ReadOutlines();
  ASSERT_FALSE(outlines.empty());
  Clear();
  Place("Terreno0.X", {0, 0, 0});
  EXPECT_FALSE(Shoot("terreno0_contornos", outlines).empty());
}

TEST_F(ContentGLTest, TreeRoundAndSnowmanStages) {
  Place("Terreno1.X", {0, 0, 0});
  for (int i = 0; i < 4; ++i) Place("ArbolDeNavidad.X", {kBaseX[i], 800, 0});
  for (int i = 0; i < 4; ++i) Place("Ornamenta" + std::to_string(i) + ".X", {-450.0f + 300 * i, -200, 0}, 1, 0.7f * i);
  EXPECT_FALSE(Shoot("arboles").empty());
  ExpectGroundEverywhere();
  for (int stage : {0, 3, 6}) {
    Clear();
    Place("Terreno2.X", {0, 0, 0});
    Place(stage == 0 ? "MuñecoArm.X" : "MuñecoArmParte" + std::to_string(stage) + ".X", {0, 800, 0});
    Place("MuñecoEscParte" + std::to_string(stage) + ".X", {-200, 0, 0});
    EXPECT_FALSE(Shoot(("muneco_" + std::to_string(stage)).c_str()).empty());
    ExpectGroundEverywhere();
  }
  // Close up: the stand and every stage, the bag and the tree.
  Clear();
  camera.SetPosition({0, -1250, 520});
  camera.target.SetPosition({0, 0, 110});
  for (int k = 0; k < 8; ++k)
    Place(k == 0 ? "MuñecoArm.X" : "MuñecoArmParte" + std::to_string(k - 1) + ".X", {-700.0f + 200 * k, 200, 0});
  Place("Bolsa.X", {-250, -200, 0});
  Place("ArbolDeNavidad.X", {250, -200, 0});
  EXPECT_FALSE(Shoot("bases_cerca").empty());
}

TEST_F(ContentGLTest, LineUpOfEveryItemLyingAndCarried) {
  Place("Terreno1.X", {0, 0, 0});
  std::vector<std::string> items = {"Regalo0.X", "Regalo1.X"};
  for (int i = 0; i < 4; ++i) items.push_back("Ornamenta" + std::to_string(i) + ".X");
  for (int i = 0; i < 7; ++i) items.push_back("MuñecoEscParte" + std::to_string(i) + ".X");
  const float step = 1400.0f / (items.size() - 1);
  for (std::size_t i = 0; i < items.size(); ++i) {
    const float x = -700 + step * i;
    Place(items[i], {x, -450, 0}, i < 2 ? 1.25f : 1.0f);
    // As carried: 150 figure units above a figure scaled by 1.7.
    Place(items[i], {x, 150, 255}, i < 2 ? 1.25f : 1.0f);
  }
  EXPECT_FALSE(Shoot("objetos").empty());
}

TEST_F(ContentGLTest, FourPlayerBagRoundWithFiguresMarkersAndCarriedGifts) {
  Place("Terreno0.X", {0, 0, 0});
  for (int i = 0; i < 4; ++i) {
    Place("Bolsa.X", {kBaseX[i], 800, 0});
    PlaceAnimated("Marcador" + std::to_string(i) + ".X", {kBaseX[i], 800, 0}, 1, 0, "rotar");
  }
  const D3DXVECTOR3 at[4] = {{-450, -300, 0}, {150, 350, 0}, {-100, -50, 0}, {500, -450, 0}};
  const float roll[4] = {0, 1.5707964f, 3.1415927f, -1.5707964f};
  for (int i = 0; i < 4; ++i) {
    AnimatedMeshNode* f = PlaceAnimated("Jugador" + std::to_string(i) + "_Figura" + std::to_string(i) + ".X",
                                        at[i], 1.7f, roll[i], i % 2 ? "correr" : "reposo", 2);
    ASSERT_NE(f, nullptr);
    if (i < 2) Carry(f, "Regalo" + std::to_string(i) + ".X", 1.3f);
  }
  Place("Regalo1.X", {300, -200, 0}, 1.2f, 0.5f);
  Place("Regalo0.X", {-500, 300, 0}, 1.4f, 2.5f);
  Run(7, 0.05f);
  EXPECT_FALSE(Shoot("ronda_bolsas").empty());
  ExpectGroundEverywhere();
  // The snowman round's single marker over the stand.
  Clear();
  for (auto& n : animated) g_scene->RemoveNode(n.get());
  animated.clear();
  Place("Terreno2.X", {0, 0, 0});
  Place("MuñecoArmParte6.X", {0, 800, 0});
  PlaceAnimated("Marcador.X", {0, 800, 0}, 1, 0, "rotar");
  Run(3, 0.1f);
  EXPECT_FALSE(Shoot("ronda_muneco").empty());
}

TEST_F(ContentGLTest, FiguresCloseUp) {
  camera.SetPosition({0, -330, 150});
  camera.target.SetPosition({0, 0, 70});
  for (int f = 0; f < 4; ++f) {
    PlaceAnimated("Jugador" + std::to_string(f) + "_Figura" + std::to_string(f) + ".X",
                  {-165.0f + 110 * f, 0, 0}, 1, -1.5707964f, "reposo");
  }
  Run(5, 0.1f);
  EXPECT_FALSE(Shoot("figuras_frente").empty());
  for (auto& n : animated) {
    n->SetRotation({0, 0, 0});
    n->SetAnimation("correr", true);
  }
  Run(4, 0.1f);
  EXPECT_FALSE(Shoot("figuras_correr").empty());
}

}  // namespace

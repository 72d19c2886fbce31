// The generated static models: every one loads through the model manager, faces turn
// outwards, items and bases have the sizes the game's radii expect, terrains cover the
// camera's view, the reflective and see-through subsets are where they belong, and a
// four-player bag round stays within the frame's triangle budget.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <strings.h>
#include <string>
#include <vector>

#include "unit/content3d/ContentFiles.h"
#include "engine/materials/Material.h"
#include "engine/materials/MaterialManager.h"
#include "engine/materials/Model.h"
#include "engine/materials/ModelManager.h"
#include "engine/materials/RenderStateSet.h"
#include "engine/resources/ResourceManagers.h"
#include "support/TestServices.h"
#include "support/HeadlessDevice.h"

using namespace platform::d3dx9;

namespace {

std::vector<std::string> StaticFiles() {
  std::vector<std::string> f = {"Regalo0.X", "Regalo1.X", "Bolsa.X", "ArbolDeNavidad.X", "MuñecoArm.X"};
  for (int i = 0; i < 4; ++i) f.push_back("Ornamenta" + std::to_string(i) + ".X");
  for (int i = 0; i < 7; ++i) {
    f.push_back("MuñecoEscParte" + std::to_string(i) + ".X");
    f.push_back("MuñecoArmParte" + std::to_string(i) + ".X");
  }
  for (int i = 0; i < 3; ++i) f.push_back("Terreno" + std::to_string(i) + ".X");
  return f;
}

struct Extent {
  float minZ = 1e9f, maxZ = -1e9f, radiusXY = 0;
  float minX = 1e9f, maxX = -1e9f, minY = 1e9f, maxY = -1e9f;
};

Extent Measure(const XMeshData& m) {
  Extent e;
  for (const auto& p : m.positions) {
    e.minZ = std::min(e.minZ, p.z);
    e.maxZ = std::max(e.maxZ, p.z);
    e.minX = std::min(e.minX, p.x);
    e.maxX = std::max(e.maxX, p.x);
    e.minY = std::min(e.minY, p.y);
    e.maxY = std::max(e.maxY, p.y);
    e.radiusXY = std::max(e.radiusXY, std::sqrt(p.x * p.x + p.y * p.y));
  }
  return e;
}

// Faces whose winding (counter-clockwise seen from the front) disagrees with the normals
// written for their corners: such a face is culled from outside and shows its inside.
std::size_t InsideOutFaces(const XMeshData& m) {
  std::size_t bad = 0;
  for (std::size_t f = 0; f < m.faceSizes.size(); ++f) {
    const DWORD s = m.faceStarts[f];
    const D3DXVECTOR3 a = m.positions[m.faceIndices[s]], b = m.positions[m.faceIndices[s + 1]],
                      c = m.positions[m.faceIndices[s + 2]];
    D3DXVECTOR3 cross, e1 = b - a, e2 = c - a;
    D3DXVec3Cross(&cross, &e1, &e2);
    if (D3DXVec3Length(&cross) < 1e-4f) continue;  // degenerate: nothing to see
    D3DXVECTOR3 n(0, 0, 0);
    for (int k = 0; k < 3; ++k) n += m.normals[m.normalFaceIndices[s + k]];
    if (D3DXVec3Dot(&cross, &n) <= 0) ++bad;
  }
  return bad;
}

class StaticContentTest : public HeadlessDeviceTest {
 protected:
  void SetUp() override {
    HeadlessDeviceTest::SetUp();
    services.Start(content3d::DataDir());
  }
  void TearDown() override {
    services.Stop();
    HeadlessDeviceTest::TearDown();
  }
  ResourceServices services;
};

TEST_F(StaticContentTest, EveryModelLoadsWithOutwardFacesAndItsCompanionFiles) {
  for (const std::string& file : StaticFiles()) {
    SCOPED_TRACE(file);
    Model* model = g_modelManager->Acquire(file);
    ASSERT_NE(model, nullptr);
    ASSERT_FALSE(model->subsets.empty());
    auto x = content3d::ParseX(file);
    ASSERT_TRUE(x);
    for (const XMeshData& m : content3d::Meshes(*x)) {
      ASSERT_TRUE(m.hasNormals && m.hasMaterialList);
      EXPECT_EQ(InsideOutFaces(m), 0u);
    }
    // Everything is opaque but the lake's ice; every texture named exists.
    for (const MeshSubset& s : model->subsets) {
      ASSERT_NE(s.material, nullptr);
      const bool ice = file == "Terreno2.X" && s.textures.Size() > 0 &&
                       strcasecmp(s.textures.textures[0]->name.c_str(), "Hielo.png") == 0;
      EXPECT_EQ(s.IsOpaque(), !ice) << s.name;
      for (const Texture* t : s.textures.textures) {
        ASSERT_NE(t, nullptr);
        if (t->name != "__DEFAULT__") {
          EXPECT_NE(t->texture, nullptr) << t->name;
        }
      }
    }
  }
  // The shiny bauble carries its sphere-mapped reflection on stage 1.
  Model* bauble = g_modelManager->Acquire("Ornamenta0.X");
  ASSERT_NE(bauble, nullptr);
  const auto reflective = std::count_if(bauble->subsets.begin(), bauble->subsets.end(),
                                        [](const MeshSubset& s) { return s.textures.Size() == 2; });
  EXPECT_EQ(reflective, 1);
  // The lake has one see-through subset, with render states of its own.
  Model* lake = g_modelManager->Acquire("Terreno2.X");
  ASSERT_NE(lake, nullptr);
  int seeThrough = 0;
  for (const MeshSubset& s : lake->subsets) {
    seeThrough += s.IsOpaque() ? 0 : 1;
    EXPECT_EQ(s.renderStates->name.rfind("AUTO_TERRENO2", 0), 0u) << s.renderStates->name;
  }
  EXPECT_EQ(seeThrough, 1);
}

TEST_F(StaticContentTest, SizesFitThePickUpRadiiBasesAndTheCamerasView) {
  struct Limits {
    std::string file;
    float maxRadiusXY, minHeight, maxHeight;
  };
  std::vector<Limits> table = {{"Regalo0.X", 50, 40, 80}, {"Regalo1.X", 50, 40, 80},
                               {"Bolsa.X", 100, 100, 170}, {"ArbolDeNavidad.X", 100, 180, 210},
                               {"MuñecoArm.X", 100, 10, 90}};
  for (int i = 0; i < 4; ++i) table.push_back({"Ornamenta" + std::to_string(i) + ".X", 50, 40, 95});
  for (int i = 0; i < 7; ++i) {
    table.push_back({"MuñecoEscParte" + std::to_string(i) + ".X", 75, 8, 90});
    table.push_back({"MuñecoArmParte" + std::to_string(i) + ".X", 100, 100, 280});
  }
  for (const Limits& l : table) {
    SCOPED_TRACE(l.file);
    auto x = content3d::ParseX(l.file);
    ASSERT_TRUE(x);
    const auto meshes = content3d::Meshes(*x);
    ASSERT_EQ(meshes.size(), 1u);
    const Extent e = Measure(meshes[0]);
    EXPECT_LE(e.radiusXY, l.maxRadiusXY);
    EXPECT_GE(e.radiusXY, 12.0f);  // reads at its size
    EXPECT_NEAR(e.minZ, 0.0f, 1.0f);  // stands on the ground
    EXPECT_GE(e.maxZ, l.minHeight);
    EXPECT_LE(e.maxZ, l.maxHeight);
  }
  // The snowman grows stage by stage.
  float previous = 0;
  for (int i = 0; i < 7; ++i) {
    auto x = content3d::ParseX("MuñecoArmParte" + std::to_string(i) + ".X");
    ASSERT_TRUE(x);
    const float top = Measure(content3d::Meshes(*x).at(0)).maxZ;
    if (i < 4) {
      EXPECT_GT(top, previous) << i;  // the scarf, nose and broom add no height
    }
    previous = std::max(previous, top);
  }
  // Terrains reach past the four corners of what the match camera sees.
  for (int k = 0; k < 3; ++k) {
    auto x = content3d::ParseX("Terreno" + std::to_string(k) + ".X");
    ASSERT_TRUE(x);
    const Extent e = Measure(content3d::Meshes(*x).at(0));
    EXPECT_LE(e.minX, -2400);
    EXPECT_GE(e.maxX, 2400);
    EXPECT_LE(e.minY, -1050);
    EXPECT_GE(e.maxY, 2550);
  }
}

TEST_F(StaticContentTest, TriangleCountsKeepAFourPlayerBagRoundInBudget) {
  auto count = [](const std::string& file) {
    auto x = content3d::ParseX(file);
    std::size_t n = 0;
    if (x)
      for (const auto& m : content3d::Meshes(*x)) n += content3d::Triangles(m);
    std::printf("  %-24s %6zu triangles\n", file.c_str(), n);
    return n;
  };
  std::size_t terrain = 0, gift = 0, figure = 0, marker = 0;
  for (int k = 0; k < 3; ++k) terrain = std::max(terrain, count("Terreno" + std::to_string(k) + ".X"));
  gift = std::max(count("Regalo0.X"), count("Regalo1.X"));
  const std::size_t bag = count("Bolsa.X");
  for (int f = 0; f < 4; ++f) figure = std::max(figure, count("Jugador0_Figura" + std::to_string(f) + ".X"));
  marker = count("Marcador0.X");
  for (const std::string& f : StaticFiles()) count(f);
  const std::size_t round = terrain + 4 * (bag + gift + figure + marker);
  std::printf("  four-player bag round, at most %zu triangles\n", round);
  // Models are tessellated for the few pixels they cover; more triangles would only cost
  // frame time on a software rasteriser.
  EXPECT_LE(round, 35000u);
}

}  // namespace

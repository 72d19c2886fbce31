// A small 3D scene drawn through the engine (scene graph, camera, lights, models read
// from .X files, render queue) on the OpenGL device, checked pixel by pixel: which side
// the light comes from, culling, depth, blending order and the sphere-mapped reflection.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "app/GraphicsDevice.h"
#include "engine/materials/MaterialManager.h"
#include "engine/materials/ModelManager.h"
#include "engine/resources/ResourceManagers.h"
#include "engine/scene/Camera.h"
#include "engine/scene/ModelNode.h"
#include "engine/scene/RenderQueue.h"
#include "engine/scene/Scene.h"
#include "support/TestServices.h"
#include "support/GLWindow.h"
#include "support/TestImages.h"

namespace {

struct Face {
  D3DXVECTOR3 n, u, v;  // outward normal and two axes with u × v = n
};

// A text .X model of quads (each face c ± u ± v, counter-clockwise seen from outside),
// with normals, texture coordinates and one material.
std::string FacesX(const std::vector<Face>& faces, const float rgba[4],
                   const std::string& texture) {
  auto vec = [](const D3DXVECTOR3& p) {
    return std::to_string(p.x) + ";" + std::to_string(p.y) + ";" + std::to_string(p.z) + ";";
  };
  std::string positions, normals, uvs, indices;
  const std::size_t n = faces.size();
  for (std::size_t f = 0; f < n; ++f) {
    const Face& face = faces[f];
    const D3DXVECTOR3 corners[4] = {face.n - face.u - face.v, face.n + face.u - face.v,
                                    face.n + face.u + face.v, face.n - face.u + face.v};
    const char* uv[4] = {"0.0;1.0;", "1.0;1.0;", "1.0;0.0;", "0.0;0.0;"};
    for (int c = 0; c < 4; ++c) {
      const bool last = f + 1 == n && c == 3;
      positions += " " + vec(corners[c]) + (last ? ";\n" : ",\n");
      normals += " " + vec(face.n) + (last ? ";\n" : ",\n");
      uvs += std::string(" ") + uv[c] + (last ? ";\n" : ",\n");
    }
    const std::size_t b = f * 4;
    indices += " 4;" + std::to_string(b) + "," + std::to_string(b + 1) + "," +
               std::to_string(b + 2) + "," + std::to_string(b + 3) + ";" +
               (f + 1 == n ? ";\n" : ",\n");
  }
  const std::string count = std::to_string(n * 4), faceCount = std::to_string(n);
  std::string materialIndices;
  for (std::size_t f = 0; f < n; ++f) materialIndices += f + 1 == n ? "0;;\n" : "0,";
  std::string x = "xof 0303txt 0032\nMesh {\n " + count + ";\n" + positions + " " + faceCount +
                  ";\n" + indices + " MeshNormals {\n " + count + ";\n" + normals + " " +
                  faceCount + ";\n" + indices + " }\n MeshTextureCoords {\n " + count + ";\n" +
                  uvs + " }\n MeshMaterialList {\n 1;\n " + faceCount + ";\n " + materialIndices +
                  "  Material {\n   " + std::to_string(rgba[0]) + ";" + std::to_string(rgba[1]) +
                  ";" + std::to_string(rgba[2]) + ";" + std::to_string(rgba[3]) +
                  ";;\n   0.0;\n   0.0;0.0;0.0;;\n   0.0;0.0;0.0;;\n";
  if (!texture.empty()) x += "   TextureFilename { \"" + texture + "\"; }\n";
  return x + "  }\n }\n}\n";
}

const std::vector<Face> kCube = {
    {{1, 0, 0}, {0, 1, 0}, {0, 0, 1}}, {{-1, 0, 0}, {0, -1, 0}, {0, 0, 1}},
    {{0, 1, 0}, {0, 0, 1}, {1, 0, 0}}, {{0, -1, 0}, {0, 0, -1}, {1, 0, 0}},
    {{0, 0, 1}, {1, 0, 0}, {0, 1, 0}}, {{0, 0, -1}, {-1, 0, 0}, {0, 1, 0}}};
const std::vector<Face> kFrontQuad = {{{0, -1, 0}, {1, 0, 0}, {0, 0, 1}}};
const std::vector<Face> kFloor = {{{0, 0, 1}, {1, 0, 0}, {0, 1, 0}}};

int Brightness(std::uint32_t c) {
  return RedOf(c) + GreenOf(c) + BlueOf(c);
}

class SceneGLTest : public GLDeviceTest {
 protected:
  void SetUp() override {
    GLDeviceTest::SetUp();
    if (IsSkipped() || HasFatalFailure()) return;
    ASSERT_FALSE(dir.Path().empty());
    services.Start(gl_.device(), dir.Path() + "/");
  }
  void TearDown() override {
    if (g_scene) {
      for (ModelNode* n : {&boxA, &boxB, &pane, &mirrorBox, &floor}) g_scene->RemoveNode(n);
      g_scene->RemoveNode(&camera);
      g_scene->RemoveNode(&camera.target);
    }
    services.Stop();
    GLDeviceTest::TearDown();
  }

  void WriteFile(const std::string& name, const std::string& bytes) {
    ASSERT_TRUE(WriteBytes(dir.Path() + "/" + name, bytes));
  }
  void WriteSolidPng(const std::string& name, std::uint32_t argb) {
    WriteFile(name, EncodePng(8, 8, std::vector<std::uint32_t>(64, argb), false));
  }
  void Place(ModelNode& node, const char* model, D3DXVECTOR3 position, D3DXVECTOR3 scale,
             D3DXVECTOR3 rotation = {0, 0, 0}) {
    Model* m = g_modelManager->Acquire(model);
    ASSERT_NE(m, nullptr) << model;
    ASSERT_TRUE(node.SetModel(m));
    node.SetPosition(position);
    node.SetScale(scale);
    node.SetRotation(rotation);
    g_scene->AddNode(&node);
  }
  // Where a world point lands on the 800 × 600 back buffer.
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

  TempDir dir;
  GLEngineServices services;
  Camera camera;
  ModelNode boxA, boxB, pane, mirrorBox, floor;
};

TEST_F(SceneGLTest, LitTexturedModelsWithBlendingAndReflection) {
  const float white[4] = {1, 1, 1, 1};
  const float halfRed[4] = {1, 0, 0, 0.5f};
  WriteSolidPng("orange.png", 0xFFFFA040u);
  WriteSolidPng("green.png", 0xFF40C840u);
  WriteSolidPng("snow.png", 0xFF3C50C8u);
  WriteSolidPng("silver.png", 0xFFE6E6E6u);
  WriteSolidPng("sky.png", 0xFF00FFFFu);
  WriteFile("silver.png.rfx", "sky.png\n");
  WriteFile("BoxA.X", FacesX(kCube, white, "orange.png"));
  WriteFile("BoxB.X", FacesX(kCube, white, "green.png"));
  WriteFile("Mirror.X", FacesX(kCube, white, "silver.png"));
  WriteFile("Pane.X", FacesX(kFrontQuad, halfRed, ""));
  WriteFile("Floor.X", FacesX(kFloor, white, "snow.png"));

  camera.SetPosition({0, -700, 200});
  camera.target.SetPosition({0, 0, 0});
  camera.SetAspect(800.0f / 600.0f);
  g_scene->AddTargetedNode(&camera);
  g_scene->SetCamera(&camera);
  // One light from the front right, level with the ground; one straight down.
  Light* side = g_scene->CreateLight();
  side->SetPosition({1000, -1000, 0});
  Light* top = g_scene->CreateLight();
  top->SetPosition({0, 0, 1000});
  g_scene->SetBackgroundColour(0, 0, 0, 1);

  Place(floor, "Floor.X", {0, 0, -61}, {600, 600, 1});
  Place(boxA, "BoxA.X", {-260, 0, 0}, {60, 60, 60}, {0, 0, D3DX_PI / 4});
  Place(mirrorBox, "Mirror.X", {0, 0, 0}, {60, 60, 60});
  Place(boxB, "BoxB.X", {250, 0, 0}, {60, 60, 60});
  Place(pane, "Pane.X", {250, -150, 0}, {70, 1, 70});
  ASSERT_FALSE(pane.items.at(0).opaque);

  g_scene->Update();
  ASSERT_EQ(gl_.device()->BeginScene(), D3D_OK);
  g_scene->Render();
  gl_.device()->EndScene();
  ASSERT_TRUE(gl_.ReadBack());
  const std::string shot = gl_.SaveArtifact("scene_models");
  EXPECT_FALSE(shot.empty());

  // Box A turned by 45 degrees: its front-right face meets the side light head on, its
  // front-left face not at all; its top is lit from above. Culled the wrong way, the
  // top would show the unlit inside of the bottom.
  const D3DXVECTOR3 a(-260, 0, 0);
  const std::uint32_t frontRight = PixelAt(a + D3DXVECTOR3(42.4f, -42.4f, 0));
  const std::uint32_t frontLeft = PixelAt(a + D3DXVECTOR3(-42.4f, -42.4f, 0));
  const std::uint32_t topA = PixelAt(a + D3DXVECTOR3(0, 0, 60));
  EXPECT_TRUE(ColourNear(frontRight, 0xFFFFA040u, 12));
  EXPECT_LT(Brightness(frontLeft), 30);
  // Depth: the floor is drawn in any order against the box, yet the box stays in front.
  EXPECT_TRUE(ColourNear(topA, 0xFFFFA040u, 12));
  EXPECT_TRUE(ColourNear(PixelAt({-100, -100, -61}), 0xFF3C50C8u, 12));  // floor, lit from above

  // The mirror box: silver modulated by the sphere-mapped cyan reflection on stage 1.
  const std::uint32_t mirrorTop = PixelAt({0, 0, 60});
  EXPECT_LT(RedOf(mirrorTop), 40);
  EXPECT_GT(GreenOf(mirrorTop), 160);
  EXPECT_GT(BlueOf(mirrorTop), 160);

  // The half red pane over box B's front face (0.707 lit): half of each, which needs
  // the pane drawn after the box. Drawn first, its depth would hide the box, leaving
  // red over the blue floor.
  const std::uint32_t blended = PixelAt({250, -60, 0});
  const int lit = static_cast<int>(0.7071f * 255);
  const std::uint32_t expected = 0xFF000000u | (((lit + lit * 0x40 / 255) / 2) << 16) |
                                 ((lit * 0xC8 / 255 / 2) << 8) | (lit * 0x40 / 255 / 2);
  EXPECT_TRUE(ColourNear(blended, expected, 14));
  // Above the pane, box B's top, lit from straight above.
  EXPECT_TRUE(ColourNear(PixelAt({250, 0, 60}), 0xFF40C840u, 12));
}

}  // namespace

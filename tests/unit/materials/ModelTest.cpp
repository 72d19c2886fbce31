// The model reader with its companion files, the material records and material files,
// texture sets, and what the subsets hold in the managers.
#include <gtest/gtest.h>

#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "app/GraphicsDevice.h"
#include "engine/materials/Material.h"
#include "engine/materials/MaterialManager.h"
#include "engine/materials/Model.h"
#include "engine/materials/ModelManager.h"
#include "engine/materials/TextureSet.h"
#include "engine/resources/ResourceManagers.h"
#include "engine/scene/ModelNode.h"
#include "engine/scene/RenderQueue.h"
#include "engine/scene/Scene.h"
#include "platform/d3d9/D3D9Headless.h"
#include "support/TestServices.h"
#include "support/HeadlessDevice.h"
#include "support/TestImages.h"

namespace {

// A text .X file of one quad in the plane z = 0 from (-1, -1) to (1, 1), its two
// triangles on the materials given (face colour alpha and optional texture each).
struct XMaterial {
  float alpha = 1.0f;
  std::string texture;  // empty: no TextureFilename
};

std::string QuadX(const std::vector<XMaterial>& materials) {
  std::string x =
      "xof 0303txt 0032\n"
      "Mesh quad {\n"
      " 4;\n -1.0;-1.0;0.0;,\n 1.0;-1.0;0.0;,\n 1.0;1.0;0.0;,\n -1.0;1.0;0.0;;\n"
      " 2;\n 3;0,1,2;,\n 3;0,2,3;;\n"
      " MeshTextureCoords { 4; 0.0;1.0;, 1.0;1.0;, 1.0;0.0;, 0.0;0.0;; }\n";
  if (!materials.empty()) {
    x += " MeshMaterialList {\n  " + std::to_string(materials.size()) + ";\n  2;\n  0,\n  " +
         std::to_string(materials.size() > 1 ? 1 : 0) + ";;\n";
    for (const XMaterial& m : materials) {
      x += "  Material {\n   0.8;0.6;0.4;" + std::to_string(m.alpha) +
           ";;\n   8.0;\n   0.1;0.2;0.3;;\n   0.0;0.0;0.0;;\n";
      if (!m.texture.empty()) x += "   TextureFilename { \"" + m.texture + "\"; }\n";
      x += "  }\n";
    }
    x += " }\n";
  }
  return x + "}\n";
}

class ModelTest : public HeadlessDeviceTest {
 protected:
  void SetUp() override {
    HeadlessDeviceTest::SetUp();
    ASSERT_FALSE(dir.Path().empty());
    folder = dir.Path() + "/";
    services.Start(folder);
  }
  void TearDown() override {
    services.Stop();
    HeadlessDeviceTest::TearDown();
  }
  void Write(const std::string& name, const std::string& bytes) {
    ASSERT_TRUE(WriteBytes(folder + name, bytes));
  }
  void WriteImage(const std::string& name, bool withAlpha) {
    Write(name, EncodePng(4, 4, std::vector<std::uint32_t>(16, 0x80FF0000u), withAlpha));
  }
  static std::vector<std::string> TextureNames(const MeshSubset& s) {
    std::vector<std::string> names;
    for (const Texture* t : s.textures.textures) names.push_back(t ? t->name : "(null)");
    return names;
  }

  TempDir dir;
  std::string folder;
  ResourceServices services;
};

TEST_F(ModelTest, TwoMaterialModelWithReflection) {
  Write("Bolsa.X", QuadX({{1.0f, "T.png"}, {1.0f, ""}}));
  WriteImage("T.png", false);
  WriteImage("R.png", false);
  Write("T.png.rfx", "R.png\r\nignored second line\n");
  Model* model = g_modelManager->Acquire("Bolsa.X");
  ASSERT_NE(model, nullptr);
  EXPECT_EQ(model->name, "BOLSA.X");
  ASSERT_EQ(model->subsets.size(), 2u);

  const MeshSubset& s0 = model->subsets[0];
  EXPECT_EQ(s0.name, "BOLSA.X0");
  EXPECT_EQ(s0.owner, model);
  EXPECT_EQ(TextureNames(s0), (std::vector<std::string>{"T.PNG", "R.PNG"}));
  ASSERT_NE(s0.material, nullptr);
  EXPECT_EQ(s0.material->name, "AUTO_BOLSA_0");
  EXPECT_FLOAT_EQ(s0.material->material.Diffuse.r, 0.8f);
  EXPECT_FLOAT_EQ(s0.material->material.Power, 8.0f);
  ASSERT_NE(s0.renderStates, nullptr);
  EXPECT_EQ(s0.renderStates->name, "AUTO_BOLSA_REFLEX_0");
  EXPECT_TRUE(s0.IsOpaque());
  // A private copy of the opaque default with stage 1 modulating the sphere-mapped R.
  const RenderStateSet& states = *s0.renderStates;
  const RenderStateSet& def = *g_renderStateManager->GetDefault();
  const int colourOp = RenderStateSet::StageIndex(1, D3DTSS_COLOROP);
  const int texCoord = RenderStateSet::StageIndex(1, D3DTSS_TEXCOORDINDEX);
  EXPECT_EQ(states[colourOp].value, static_cast<DWORD>(D3DTOP_MODULATE));
  EXPECT_TRUE(states[colourOp].known);
  EXPECT_EQ(states[texCoord].value, D3DTSS_TCI_SPHEREMAP);
  for (int i = 0; i < RenderStateSet::kEntryCount; ++i) {
    if (i == colourOp || i == texCoord) continue;
    EXPECT_EQ(states[i].value, def[i].value) << "entry " << i;
  }
  EXPECT_EQ(def[colourOp].value, static_cast<DWORD>(D3DTOP_DISABLE));  // the shared set untouched

  const MeshSubset& s1 = model->subsets[1];
  EXPECT_EQ(s1.material->name, "AUTO_BOLSA_1");
  EXPECT_EQ(s1.renderStates, g_renderStateManager->GetDefault());
  EXPECT_EQ(TextureNames(s1), (std::vector<std::string>{"__DEFAULT__"}));

  // The quad's bounding sphere: centre at the origin, corners at sqrt(2).
  EXPECT_NEAR(model->boundsRadius, 1.41421f, 1e-4f);
  ModelNode node;
  ASSERT_TRUE(node.SetModel(model));
  EXPECT_NEAR(node.bounds.radius, 1.41421f, 1e-4f);
  EXPECT_EQ(node.items.size(), 2u);
  // The same name in another case is the same model.
  EXPECT_EQ(g_modelManager->Acquire("bolsa.x"), model);
}

TEST_F(ModelTest, UshMarkerGivesPrivateSetsNamedWithoutUnderscore) {
  Write("Bolsa.X", QuadX({{1.0f, "T.png"}, {0.5f, ""}}));
  WriteImage("T.png", false);
  Write("BOLSA.ush", "");
  Model* model = g_modelManager->Acquire("BOLSA.X");
  ASSERT_NE(model, nullptr);
  ASSERT_EQ(model->subsets.size(), 2u);
  RenderStateSet* s0 = model->subsets[0].renderStates;
  RenderStateSet* s1 = model->subsets[1].renderStates;
  ASSERT_TRUE(s0 && s1);
  EXPECT_EQ(s0->name, "AUTO_BOLSA0");
  EXPECT_EQ(s1->name, "AUTO_BOLSA1");
  // Each a copy of the default its subset's opacity picks.
  EXPECT_EQ((*s0)[D3DRS_ALPHABLENDENABLE].value, 0u);
  EXPECT_EQ((*s1)[D3DRS_ALPHABLENDENABLE].value, 1u);
  EXPECT_EQ((*s0)[RenderStateSet::SamplerIndex(0, D3DSAMP_MINFILTER)].value,
            static_cast<DWORD>(D3DTEXF_LINEAR));
  EXPECT_NE(s0, g_renderStateManager->GetDefault());
}

TEST_F(ModelTest, HalfAlphaMaterialMakesTheSubsetSeeThroughAndSorted) {
  Write("Glass.X", QuadX({{0.5f, ""}}));
  Model* model = g_modelManager->Acquire("Glass.X");
  ASSERT_NE(model, nullptr);
  const MeshSubset& s = model->subsets.at(0);
  EXPECT_FALSE(s.material->opaque);
  EXPECT_FALSE(s.IsOpaque());
  EXPECT_EQ(s.renderStates, g_renderStateManager->GetTransparentDefault());

  RenderQueue queue;
  ModelNode node;
  node.SetModel(model);
  queue.SubmitModel(&node);
  EXPECT_EQ(queue.sortedItems.size(), 1u);
  EXPECT_TRUE(queue.opaqueBatches.empty());
  queue.sortedItems.clear();
}

TEST_F(ModelTest, TextureWithAlphaChannelMakesTheSubsetSeeThrough) {
  Write("Opaque.X", QuadX({{1.0f, "Plain.png"}}));
  Write("Alpha.X", QuadX({{1.0f, "Alpha.png"}}));
  WriteImage("Plain.png", false);
  WriteImage("Alpha.png", true);
  Model* plain = g_modelManager->Acquire("Opaque.X");
  Model* alpha = g_modelManager->Acquire("Alpha.X");
  ASSERT_TRUE(plain && alpha);
  const MeshSubset& p = plain->subsets.at(0);
  const MeshSubset& a = alpha->subsets.at(0);
  ASSERT_NE(p.textures.Get(0)->texture, nullptr);
  EXPECT_EQ(p.textures.Get(0)->description.Format, D3DFMT_X8R8G8B8);
  EXPECT_EQ(a.textures.Get(0)->description.Format, D3DFMT_A8R8G8B8);
  EXPECT_TRUE(p.IsOpaque());
  EXPECT_EQ(p.renderStates, g_renderStateManager->GetDefault());
  EXPECT_FALSE(a.IsOpaque());
  EXPECT_TRUE(a.material->opaque);  // the material alone is opaque
  EXPECT_EQ(a.renderStates, g_renderStateManager->GetTransparentDefault());
}

TEST_F(ModelTest, FileWithoutMaterialsGetsOneOpaqueDefaultSubset) {
  Write("Bare.X", QuadX({}));
  Model* model = g_modelManager->Acquire("Bare.X");
  ASSERT_NE(model, nullptr);
  ASSERT_EQ(model->subsets.size(), 1u);
  const MeshSubset& s = model->subsets[0];
  EXPECT_EQ(s.material, g_materialManager->GetDefault());
  EXPECT_EQ(s.renderStates, g_renderStateManager->GetDefault());
  EXPECT_EQ(s.textures.Size(), 0u);
  EXPECT_TRUE(s.IsOpaque());
  EXPECT_EQ(g_materialManager->Find("AUTO_BARE_0"), nullptr);
  ModelNode node;
  node.SetModel(model);
  EXPECT_EQ(node.items.size(), 1u);

  // A file material that happens to be grey with no texture is still read as written.
  Write("Grey.X", QuadX({{0.0f, ""}}));
  Model* grey = g_modelManager->Acquire("Grey.X");
  ASSERT_NE(grey, nullptr);
  EXPECT_EQ(grey->subsets.at(0).material->name, "AUTO_GREY_0");
  EXPECT_FALSE(grey->subsets[0].IsOpaque());
}

TEST_F(ModelTest, MeshWithoutMaterialListAmongOthersGetsTheOpaqueDefault) {
  // Two meshes: the first with a see-through material written in the file, the second
  // with no material list at all. Only the first is see-through.
  std::string x = QuadX({{0.0f, ""}});
  x += "Mesh bare {\n 3;\n 0.0;0.0;1.0;,\n 1.0;0.0;1.0;,\n 0.0;1.0;1.0;;\n 1;\n 3;0,1,2;;\n}\n";
  Write("Pair.X", x);
  Model* model = g_modelManager->Acquire("Pair.X");
  ASSERT_NE(model, nullptr);
  ASSERT_EQ(model->subsets.size(), 2u);
  EXPECT_EQ(model->subsets[0].material->name, "AUTO_PAIR_0");
  EXPECT_FALSE(model->subsets[0].IsOpaque());
  const MeshSubset& bare = model->subsets[1];
  EXPECT_EQ(bare.material, g_materialManager->GetDefault());
  EXPECT_EQ(bare.renderStates, g_renderStateManager->GetDefault());
  EXPECT_TRUE(bare.IsOpaque());
  EXPECT_EQ(g_materialManager->Find("AUTO_PAIR_1"), nullptr);
  ModelNode node;
  node.SetModel(model);
  ASSERT_EQ(node.items.size(), 2u);
  EXPECT_FALSE(node.items[0].opaque);
  EXPECT_TRUE(node.items[1].opaque);
}

TEST_F(ModelTest, MarkersDropTheWholeModelOrOneSubset) {
  Write("Prop.X", QuadX({{1.0f, ""}, {1.0f, ""}}));
  Write("PROP1.srf", "");
  Model* model = g_modelManager->Acquire("Prop.X");
  ASSERT_NE(model, nullptr);
  ASSERT_EQ(model->subsets.size(), 2u);
  EXPECT_NE(model->subsets[0].material, nullptr);
  EXPECT_EQ(model->subsets[1].material, nullptr);
  EXPECT_EQ(model->subsets[1].renderStates, nullptr);
  EXPECT_EQ(g_materialManager->Find("AUTO_PROP_1"), nullptr);  // never created
  ModelNode node;
  node.SetModel(model);
  ASSERT_EQ(node.items.size(), 1u);
  EXPECT_EQ(node.items[0].subset, &model->subsets[0]);

  Write("Empty.X", QuadX({{1.0f, ""}}));
  Write("empty.mp", "");
  Model* empty = g_modelManager->Acquire("Empty.X");
  ASSERT_NE(empty, nullptr);
  EXPECT_TRUE(empty->subsets.empty());
  EXPECT_TRUE(node.SetModel(empty));
  EXPECT_TRUE(node.items.empty());
}

TEST_F(ModelTest, UnreadableReflectionFileMeansNoReflection) {
  Write("A.X", QuadX({{1.0f, "T.png"}}));
  Write("B.X", QuadX({{1.0f, "U.png"}}));
  Write("C.X", QuadX({{1.0f, "V.png"}}));
  WriteImage("T.png", false);
  WriteImage("U.png", false);
  std::filesystem::create_directory(folder + "T.png.rfx");  // exists, but is no file
  Write("U.png.rfx", "\n");                                 // an empty line
  Write("V.png.rfx", std::string(400, 'x'));                // longer than the buffer
  Model* a = g_modelManager->Acquire("A.X");
  Model* b = g_modelManager->Acquire("B.X");
  Model* c = g_modelManager->Acquire("C.X");
  ASSERT_TRUE(a && b && c);
  EXPECT_EQ(TextureNames(a->subsets.at(0)), (std::vector<std::string>{"T.PNG"}));
  EXPECT_EQ(a->subsets[0].renderStates, g_renderStateManager->GetDefault());
  EXPECT_EQ(TextureNames(b->subsets.at(0)), (std::vector<std::string>{"U.PNG"}));
  const std::vector<std::string> names = TextureNames(c->subsets.at(0));
  ASSERT_EQ(names.size(), 2u);
  EXPECT_EQ(names[1], "__DEFAULT__");  // the cut name does not load: the empty texture
  EXPECT_EQ(c->subsets[0].renderStates->name, "AUTO_C_REFLEX_0");
}

TEST_F(ModelTest, MissingOrCorruptFileGivesNullAndNoEntry) {
  EXPECT_EQ(g_modelManager->Acquire("Missing.X"), nullptr);
  Write("Broken.X", "xof 0303txt 0032\nMesh { 4; 1.0;");
  EXPECT_EQ(g_modelManager->Acquire("Broken.X"), nullptr);
  EXPECT_EQ(g_modelManager->EntryCount(), 0u);
}

TEST_F(ModelTest, SubsetsHoldOneReferenceOnEachResourceAndReleaseIt) {
  Write("Bolsa.X", QuadX({{1.0f, "T.png"}, {1.0f, ""}}));
  WriteImage("T.png", false);
  WriteImage("R.png", false);
  Write("T.png.rfx", "R.png");
  ASSERT_NE(g_modelManager->Acquire("Bolsa.X"), nullptr);
  EXPECT_EQ(g_textureManager->Find("T.png")->refCount, 1);
  EXPECT_EQ(g_textureManager->Find("R.png")->refCount, 1);
  EXPECT_EQ(g_materialManager->Find("AUTO_BOLSA_0")->refCount, 1);
  EXPECT_EQ(g_renderStateManager->Find("AUTO_BOLSA_REFLEX_0")->refCount, 1);
  const std::int32_t defaultStates = g_renderStateManager->GetDefault()->refCount;
  const std::int32_t defaultTexture = g_textureManager->GetDefault()->refCount;
  EXPECT_EQ(defaultStates, 1);   // subset 1 only; the reflection copy takes no reference
  EXPECT_EQ(defaultTexture, 1);  // subset 1's empty texture

  delete g_modelManager;
  g_modelManager = nullptr;
  EXPECT_EQ(g_textureManager->Find("T.png")->refCount, 0);
  EXPECT_EQ(g_materialManager->Find("AUTO_BOLSA_0")->refCount, 0);
  EXPECT_EQ(g_renderStateManager->Find("AUTO_BOLSA_REFLEX_0")->refCount, 0);
  EXPECT_EQ(g_renderStateManager->GetDefault()->refCount, 0);
  EXPECT_EQ(g_textureManager->GetDefault()->refCount, 0);
}

TEST_F(ModelTest, DrawingASubsetDrawsItsAttributeRange) {
  Write("Bolsa.X", QuadX({{1.0f, ""}, {1.0f, ""}}));
  Model* model = g_modelManager->Acquire("Bolsa.X");
  ASSERT_NE(model, nullptr);
  platform::d3d9::Log().Clear();
  model->DrawSubset(1);
  const auto draws = platform::d3d9::Log().Named("DrawIndexedPrimitive");
  ASSERT_EQ(draws.size(), 1u);
  model->DrawSubset(7);  // no such subset: nothing drawn
  EXPECT_EQ(platform::d3d9::Log().Count("DrawIndexedPrimitive"), 1);
}

TEST_F(ModelTest, MaterialRecordsFromFilesAndAssign) {
  D3DMATERIAL9 m{};
  m.Diffuse = {0.1f, 0.2f, 0.3f, 1.0f};
  m.Ambient = {0.4f, 0.5f, 0.6f, 1.0f};
  m.Specular = {1, 1, 1, 1};
  m.Emissive = {0, 0, 0, 1};
  m.Power = 12.0f;
  std::string bytes(reinterpret_cast<const char*>(&m), sizeof m);
  Write("Red.mat", bytes);
  Write("Short.mat", bytes.substr(0, 10));  // two whole floats and half of a third
  Material* full = g_materialManager->Acquire("Red.mat");
  ASSERT_NE(full, g_materialManager->GetDefault());
  EXPECT_FLOAT_EQ(full->material.Diffuse.g, 0.2f);
  EXPECT_FLOAT_EQ(full->material.Power, 12.0f);
  Material* part = g_materialManager->Acquire("Short.mat");
  ASSERT_NE(part, g_materialManager->GetDefault());
  EXPECT_FLOAT_EQ(part->material.Diffuse.r, 0.1f);
  EXPECT_FLOAT_EQ(part->material.Diffuse.g, 0.2f);
  EXPECT_FLOAT_EQ(part->material.Diffuse.b, 0.5f);  // untouched, not half overwritten
  EXPECT_EQ(g_materialManager->Acquire("Nope.mat"), g_materialManager->GetDefault());

  // The default record: mid grey, neutral emissive and power, opaque.
  const Material& def = *g_materialManager->GetDefault();
  EXPECT_TRUE(def.opaque);
  EXPECT_EQ(def.material.Emissive.r, 0.0f);
  EXPECT_EQ(def.material.Power, 0.0f);

  Material record;
  D3DMATERIAL9 seeThrough = m;
  seeThrough.Specular.a = 0.0f;
  record.Assign(seeThrough);
  EXPECT_FALSE(record.opaque);
  record.Assign(m);
  EXPECT_FALSE(record.opaque);  // never set back

  platform::d3d9::Log().Clear();
  full->Apply();
  const auto sent = platform::d3d9::Log().Named("SetMaterial");
  ASSERT_EQ(sent.size(), 1u);
  EXPECT_FLOAT_EQ(sent[0].values[0], 0.1f);
}

TEST(TextureSet, EqualityCountsMissingStagesAndKeyFollowsChanges) {
  Texture a, b;
  a.name = "A.PNG";
  b.name = "B.PNG";
  TextureSet one, two, empty;
  one.Set(0, &a);
  two.Set(0, &a);
  two.Set(1, &b);
  EXPECT_TRUE(one.Equals(&two));   // every stage of one matches
  EXPECT_FALSE(two.Equals(&one));  // stage 1 is missing in one
  EXPECT_FALSE(one.Equals(nullptr));
  EXPECT_EQ(two.Key(), "A.PNGB.PNG");
  two.Set(0, &b);
  EXPECT_EQ(two.Key(), "B.PNGB.PNG");
  EXPECT_EQ(empty.Key(), "");
  EXPECT_TRUE(empty.HasNoAlpha());
  EXPECT_TRUE(one.HasNoAlpha());  // no device texture: no alpha
}

}  // namespace

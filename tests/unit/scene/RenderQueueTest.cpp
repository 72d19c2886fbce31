// The render queue's drawing order on the recording device: grouping of opaque
// subsets, far-to-near order of see-through ones, listeners, and the animated passes.
#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "app/GraphicsDevice.h"
#include "engine/gui/Texture.h"
#include "engine/materials/Material.h"
#include "engine/materials/Model.h"
#include "engine/materials/RenderStateSet.h"
#include "engine/scene/AnimatedDrawable.h"
#include "engine/scene/Camera.h"
#include "engine/scene/DrawListener.h"
#include "engine/scene/ModelNode.h"
#include "engine/scene/RenderQueue.h"
#include "engine/scene/Scene.h"
#include "platform/d3d9/D3D9Headless.h"
#include "support/HeadlessDevice.h"

namespace {

using platform::d3d9::CallRecord;
using platform::d3d9::Log;

// A call of interest in drawing order: "W x" for a world transform whose translation x
// names the node, "M r" for a material whose diffuse red names it, "T" for a texture.
std::vector<std::string> DrawTrace() {
  std::vector<std::string> out;
  for (const CallRecord& r : Log().Records()) {
    const std::string name = r.name;
    if (name == "SetTransform" && r.args[0] == D3DTS_WORLD)
      out.push_back("W" + std::to_string(static_cast<int>(r.values[12])));
    else if (name == "SetMaterial")
      out.push_back("M" + std::to_string(static_cast<int>(r.values[0] * 10 + 0.5f)));
    else if (name == "SetTexture")
      out.push_back("T" + std::to_string(r.args[0]));
  }
  return out;
}

int CullModeChanges() {
  int n = 0;
  for (const CallRecord& r : Log().Named("SetRenderState"))
    if (r.args[0] == D3DRS_CULLMODE) ++n;
  return n;
}

class TraceListener : public DrawListener {
 public:
  explicit TraceListener(std::vector<std::string>* trace) : trace(trace) {}
  void BeforeDraw() override { trace->push_back("before"); }
  void AfterDraw() override { trace->push_back("after"); }
  std::vector<std::string>* trace;
};

class FakeAnimated : public AnimatedDrawable {
 public:
  FakeAnimated(std::string n, std::vector<std::string>* trace, RenderStateSet* states, bool alpha)
      : name(std::move(n)), trace(trace), states(states), alpha(alpha) {}
  void Submit() override {}
  bool HasAlphaTexture() const override { return alpha; }
  RenderStateSet* MeshRenderStates() override { return states; }
  void DrawMesh() override {
    trace->push_back(name + " draw cull " + std::to_string((*states)[D3DRS_CULLMODE].value));
  }
  void AdvanceAnimation() override { trace->push_back(name + " advance"); }
  void RefreshPose() override { trace->push_back(name + " pose"); }
  void AdvanceAndRefresh() override { trace->push_back(name + " advance+pose"); }
  std::string name;
  std::vector<std::string>* trace;
  RenderStateSet* states;
  bool alpha;
};

class RenderQueueTest : public HeadlessDeviceTest {
 protected:
  void SetUp() override {
    HeadlessDeviceTest::SetUp();
    g_scene = &scene;
    g_renderQueue = &queue;
    camera.position = D3DXVECTOR3(0, 0, 0);
    camera.target.position = D3DXVECTOR3(1, 0, 0);
    scene.AddTargetedNode(&camera);
    scene.SetCamera(&camera);

    opaqueStates.name = "__DEFAULT__";
    blendStates.name = "__DEFAULT_TRANSPARENT__";
    blendStates.Set(D3DRS_ALPHABLENDENABLE, 1);
    cullNone.name = "AUTO_NOCULL";
    cullNone.Set(D3DRS_CULLMODE, D3DCULL_NONE);
    for (int i = 0; i < 3; ++i) {
      materials[i].name = "MAT" + std::to_string(i);
      materials[i].material.Diffuse.r = 0.1f * (i + 1);
    }
    materials[2].opaque = false;
    for (int i = 0; i < 2; ++i) {
      textures[i].name = "TEX" + std::to_string(i);
      g_graphicsDevice->GetDevice()->CreateTexture(4, 4, 1, 0, D3DFMT_X8R8G8B8, D3DPOOL_MANAGED,
                                                   &textures[i].texture, nullptr);
    }
  }
  void TearDown() override {
    nodes.clear();
    models.clear();
    for (Texture& t : textures) {
      if (t.texture) t.texture->Release();
      t.texture = nullptr;
    }
    g_renderQueue = nullptr;
    g_scene = nullptr;
    HeadlessDeviceTest::TearDown();
  }

  struct Part {
    RenderStateSet* states;
    Material* material;
    Texture* texture;  // may be null: no texture
  };
  // A model of hand-made subsets (no mesh: its draws only show as world transforms).
  Model* MakeModel(const std::vector<Part>& parts) {
    auto model = std::make_unique<Model>();
    model->subsets.resize(parts.size());
    for (std::size_t i = 0; i < parts.size(); ++i) {
      MeshSubset& s = model->subsets[i];
      s.owner = model.get();
      s.index = static_cast<std::uint32_t>(i);
      s.renderStates = parts[i].states;
      s.material = parts[i].material;
      if (parts[i].texture) s.textures.Set(0, parts[i].texture);
    }
    models.push_back(std::move(model));
    return models.back().get();
  }
  // A node at (x, 0, 0): x is its distance from the camera and its name in the trace.
  ModelNode* MakeNode(Model* model, float x) {
    auto node = std::make_unique<ModelNode>();
    node->SetPosition({x, 0, 0});
    node->RebuildMatrices();
    node->SetModel(model);
    nodes.push_back(std::move(node));
    return nodes.back().get();
  }

  Scene scene;
  Camera camera;
  RenderQueue queue;
  RenderStateSet opaqueStates, blendStates, cullNone;
  Material materials[3];
  Texture textures[2];
  std::vector<std::unique_ptr<Model>> models;
  std::vector<std::unique_ptr<ModelNode>> nodes;
};

TEST_F(RenderQueueTest, OpaqueSubsetsAreGroupedByStatesMaterialAndTextures) {
  Model* a = MakeModel(
      {{&opaqueStates, &materials[0], &textures[0]}, {&cullNone, &materials[1], &textures[1]}});
  Model* b = MakeModel(
      {{&opaqueStates, &materials[0], &textures[1]}, {&cullNone, &materials[1], &textures[1]}});
  for (int i = 0; i < 3; ++i) {
    ASSERT_TRUE(queue.SubmitModel(MakeNode(a, 10 + i)));
    ASSERT_TRUE(queue.SubmitModel(MakeNode(b, 20 + i)));
  }
  g_graphicsDevice->stateCache.Apply(true);
  Log().Clear();
  queue.Flush();
  EXPECT_EQ(Log().Count("Clear"), 1);
  // Two state sets differing in the cull mode, interleaved six times: grouped, the cull
  // mode changes at most twice (into the second group, and maybe into the first).
  EXPECT_LE(CullModeChanges(), 2);
  EXPECT_EQ(Log().Count("SetMaterial"), 2);
  EXPECT_EQ(Log().Count("SetTexture"), 3);  // (MAT0,TEX0), (MAT0,TEX1), (MAT1,TEX1)
  EXPECT_EQ(Log().Count("SetTransform"), 12);
  // Each texture apply opens a group whose items follow in submission order.
  std::vector<std::vector<std::string>> groups;
  for (const std::string& s : DrawTrace()) {
    if (s[0] == 'T')
      groups.emplace_back();
    else if (s[0] == 'W' && !groups.empty())
      groups.back().push_back(s);
  }
  using Group = std::vector<std::string>;
  const Group a0{"W10", "W11", "W12"}, b0{"W20", "W21", "W22"},
      shared{"W10", "W20", "W11", "W21", "W12", "W22"};
  ASSERT_EQ(groups.size(), 3u);
  for (const Group& g : groups) EXPECT_TRUE(g == a0 || g == b0 || g == shared);
  EXPECT_NE(groups[0], groups[1]);
  EXPECT_NE(groups[1], groups[2]);
  EXPECT_NE(groups[0], groups[2]);
  // Everything was emptied: the next flush draws nothing.
  Log().Clear();
  queue.Flush();
  EXPECT_EQ(Log().Count("SetTransform"), 0);
  EXPECT_EQ(Log().Count("Clear"), 1);
  // And the groups fill again on the next frame.
  queue.SubmitModel(nodes[0].get());
  Log().Clear();
  queue.Flush();
  EXPECT_EQ(Log().Count("SetTransform"), 2);
}

TEST_F(RenderQueueTest, SeeThroughSubsetsAreDrawnFarToNearAfterOpaqueOnes) {
  Model* glass = MakeModel({{&blendStates, &materials[2], &textures[0]}});
  Model* solid = MakeModel({{&opaqueStates, &materials[0], &textures[0]}});
  queue.SubmitModel(MakeNode(glass, 10));
  queue.SubmitModel(MakeNode(solid, 5));
  queue.SubmitModel(MakeNode(glass, 20));
  queue.SubmitModel(MakeNode(glass, -15));  // behind, at distance 15
  Log().Clear();
  queue.Flush();
  std::vector<std::string> worlds;
  for (const std::string& s : DrawTrace())
    if (s[0] == 'W') worlds.push_back(s);
  EXPECT_EQ(worlds, (std::vector<std::string>{"W5", "W20", "W-15", "W10"}));
  // The sorted pass applies its material and textures only when they change.
  EXPECT_EQ(Log().Count("SetMaterial"), 2);
  EXPECT_EQ(Log().Count("SetTexture"), 2);
}

TEST_F(RenderQueueTest, SortedPassReappliesTexturesWhenTheStagesDiffer) {
  Model* m = MakeModel({{&blendStates, &materials[2], &textures[0]},
                        {&blendStates, &materials[2], nullptr},
                        {&blendStates, &materials[2], &textures[1]}});
  MakeNode(m, 10);
  nodes.back()->items[2].textures = &m->subsets[0].textures;  // same set as item 0
  queue.SubmitModel(nodes.back().get());
  Log().Clear();
  queue.Flush();
  // TEX0, then the empty set (which clears stage 0), then TEX0 again.
  std::vector<std::string> textureCalls;
  for (const CallRecord& r : Log().Named("SetTexture"))
    textureCalls.push_back(r.object == textures[0].texture ? "TEX0" : r.object ? "?" : "none");
  EXPECT_EQ(textureCalls, (std::vector<std::string>{"TEX0", "none", "TEX0"}));
  EXPECT_EQ(Log().Count("SetMaterial"), 1);
}

TEST_F(RenderQueueTest, ListenedNodeDrawsEverySubsetInTheSortedPassWithItsHooks) {
  std::vector<std::string> hooks;
  TraceListener listener(&hooks);
  Model* m = MakeModel(
      {{&opaqueStates, &materials[0], &textures[0]}, {&opaqueStates, &materials[1], &textures[0]}});
  ModelNode* listened = MakeNode(m, 30);
  listened->SetDrawListener(&listener);
  EXPECT_EQ(listened->drawListener, nullptr);  // only the items carry it
  queue.SubmitModel(MakeNode(m, 1));
  queue.SubmitModel(listened);
  Log().Clear();
  queue.Flush();
  std::vector<std::string> worlds;
  for (const std::string& s : DrawTrace())
    if (s[0] == 'W') worlds.push_back(s);
  // The plain node's two subsets in the grouped pass, then the listened ones.
  ASSERT_EQ(worlds.size(), 4u);
  EXPECT_EQ(worlds[2], "W30");
  EXPECT_EQ(worlds[3], "W30");
  EXPECT_EQ(hooks, (std::vector<std::string>{"before", "after", "before", "after"}));
}

TEST_F(RenderQueueTest, SubsetsWithoutMaterialOrStatesGetNoItem) {
  Model* m = MakeModel({{&opaqueStates, &materials[0], &textures[0]},
                        {nullptr, nullptr, nullptr},
                        {&opaqueStates, &materials[1], nullptr}});
  ModelNode* node = MakeNode(m, 10);
  ASSERT_EQ(node->items.size(), 2u);
  EXPECT_EQ(node->items[1].subset, &m->subsets[2]);
  queue.SubmitModel(node);
  Log().Clear();
  queue.Flush();
  EXPECT_EQ(Log().Count("SetTransform"), 2);

  // Taking the model away leaves nothing to draw.
  EXPECT_FALSE(node->SetModel(nullptr));
  EXPECT_EQ(node->model, nullptr);
  EXPECT_TRUE(node->items.empty());
  queue.SubmitModel(node);
  Log().Clear();
  queue.Flush();
  EXPECT_EQ(Log().Count("SetTransform"), 0);
}

TEST_F(RenderQueueTest, AnimatedNodesDrawOpaqueFirstThenBackAndFrontFacesOfSeeThroughOnes) {
  std::vector<std::string> trace;
  FakeAnimated opaque("o", &trace, &opaqueStates, false);
  FakeAnimated glass("g", &trace, &blendStates, true);
  FakeAnimated hidden("h", &trace, &blendStates, true);
  FakeAnimated listened("l", &trace, &cullNone, false);
  TraceListener listener(&trace);
  listened.SetDrawListener(&listener);
  hidden.visible = false;
  EXPECT_FALSE(queue.SubmitAnimated(nullptr));
  for (FakeAnimated* n : {&glass, &opaque, &hidden, &listened}) queue.SubmitAnimated(n);
  ASSERT_EQ(queue.opaqueAnimated.size(), 1u);
  ASSERT_EQ(queue.blendedAnimated.size(), 3u);
  queue.Flush();
  EXPECT_EQ(trace, (std::vector<std::string>{
                       "o advance+pose", "o draw cull 2", "g advance", "g pose", "g draw cull 3",
                       "l advance", "l pose", "before", "l draw cull 3", "after", "g pose",
                       "g draw cull 2", "l pose", "before", "l draw cull 2", "after"}));
  // The shared set is left culling clockwise.
  EXPECT_EQ(blendStates[D3DRS_CULLMODE].value, static_cast<DWORD>(D3DCULL_CW));
  EXPECT_TRUE(queue.opaqueAnimated.empty() && queue.blendedAnimated.empty());
}

// A still model's opaque subsets go into the device's kept layer once they looked the
// same two frames running (at once after a layer that served a while), and later frames
// start from it; anything their look depends on makes the queue draw them again. A still
// model's see-through subset of no known extent, and every other model, are drawn every
// frame.
TEST_F(RenderQueueTest, StillSceneryIsKeptUntilSomethingItsLookDependsOnChanges) {
  Model* ground = MakeModel({{&opaqueStates, &materials[0], &textures[0]},
                             {&blendStates, &materials[2], &textures[1]}});
  Model* groundInSnow = MakeModel({{&opaqueStates, &materials[1], &textures[0]},
                                   {&blendStates, &materials[2], &textures[1]}});
  Model* crate = MakeModel({{&opaqueStates, &materials[1], &textures[0]}});
  ModelNode* still = MakeNode(ground, 50);
  still->still = true;
  ModelNode* moving = MakeNode(crate, 20);
  IDirect3DDevice9* device = g_graphicsDevice->GetDevice();
  enum Outcome { kDrawn, kDrawnAndKept, kRestored };
  auto frame = [&] {
    queue.SubmitModel(still);
    queue.SubmitModel(moving);
    const auto kept = queue.layerSaves, restored = queue.layerFrames;
    Log().Clear();
    EXPECT_EQ(device->BeginScene(), D3D_OK);
    queue.Flush();
    EXPECT_EQ(device->EndScene(), D3D_OK);
    int stillDraws = 0, movingDraws = 0;
    for (const std::string& s : DrawTrace()) {
      stillDraws += s == "W50";
      movingDraws += s == "W20";
    }
    EXPECT_EQ(movingDraws, 1);
    if (queue.layerFrames > restored) {
      EXPECT_EQ(stillDraws, 1) << "only the see-through subset over the layer";
      EXPECT_EQ(Log().Count("Clear"), 0);
      return kRestored;
    }
    EXPECT_EQ(stillDraws, 2);
    EXPECT_EQ(Log().Count("Clear"), 1);
    return queue.layerSaves > kept ? kDrawnAndKept : kDrawn;
  };
  using Pattern = std::vector<Outcome>;
  auto frames = [&](int n) {
    Pattern out;
    for (int i = 0; i < n; ++i) out.push_back(frame());
    return out;
  };
  EXPECT_EQ(frames(4), (Pattern{kDrawn, kDrawnAndKept, kRestored, kRestored}));

  D3DLIGHT9 light{};
  light.Type = D3DLIGHT_DIRECTIONAL;
  light.Direction = {0, -1, 0};
  D3DMATRIX view{};
  view._11 = view._22 = view._33 = view._44 = 1;
  view._41 = 3;
  const struct {
    const char* what;
    std::function<void()> change;
  } changes[] = {
      {"the model moves", [&] { still->SetPosition({50, 1, 0}); still->RebuildMatrices(); }},
      {"its material's colour", [&] { materials[0].material.Diffuse.g = 0.75f; }},
      {"a render state of its set", [&] { opaqueStates.Set(D3DRS_FOGENABLE, 1); }},
      {"a texture of its set", [&] { ground->subsets[0].textures.Set(0, &textures[1]); }},
      {"the camera", [&] { device->SetTransform(D3DTS_VIEW, &view); }},
      {"a light", [&] { device->SetLight(0, &light); device->LightEnable(0, TRUE); }},
      {"the background", [&] { g_graphicsDevice->clearColour[1] = 0.25f; }},
      {"its model", [&] { still->SetModel(groundInSnow); }},
  };
  for (const auto& c : changes) {
    SCOPED_TRACE(c.what);
    c.change();
    EXPECT_EQ(frames(3), (Pattern{kDrawn, kDrawnAndKept, kRestored}));
  }

  // Scenery whose layer served a while changes seldom (a delivery to a base): its new look
  // is kept at once. What then changes every frame is never kept.
  EXPECT_EQ(frames(30), Pattern(30, kRestored));
  still->SetPosition({50, 2, 0});
  still->RebuildMatrices();
  EXPECT_EQ(frames(2), (Pattern{kDrawnAndKept, kRestored}));
  Pattern everyFrame;
  for (int i = 0; i < 3; ++i) {
    still->SetPosition({50, 3.0f + i, 0});
    still->RebuildMatrices();
    everyFrame.push_back(frame());
  }
  EXPECT_EQ(everyFrame, (Pattern{kDrawn, kDrawn, kDrawn}));

  // A reset loses the layer (and puts the device's transforms back to their defaults).
  ASSERT_EQ(device->Reset(&g_graphicsDevice->presentParams), D3D_OK);
  EXPECT_EQ(frames(3), (Pattern{kDrawn, kDrawnAndKept, kRestored}));
  // Without the layer every frame is drawn in full; back on, it is kept at once.
  queue.useLayer = false;
  EXPECT_EQ(frames(3), (Pattern{kDrawn, kDrawn, kDrawn}));
  queue.useLayer = true;
  EXPECT_EQ(frames(2), (Pattern{kDrawnAndKept, kRestored}));
  // A dropped layer (the match was left) is given back by the device and not restored.
  Log().Clear();
  queue.DropLayer();
  EXPECT_EQ(Log().Count("DropLayer"), 1);
  EXPECT_EQ(frames(3), (Pattern{kDrawn, kDrawnAndKept, kRestored}));
  // With no still model in a frame the queue clears and draws as ever.
  queue.SubmitModel(moving);
  Log().Clear();
  queue.Flush();
  EXPECT_EQ(Log().Count("Clear"), 1);
  EXPECT_EQ(Log().Count("RestoreLayer") + Log().Count("SaveLayer"), 0);
}

// A still model's see-through subset goes into the layer with the opaque scenery while
// everything that moves lies wholly nearer the camera; when something moving may be
// behind it (farther, or of unknown size), it is drawn every frame, after what it covers.
TEST_F(RenderQueueTest, SeeThroughSceneryIsKeptWhileNothingMovingCanBeBehindIt) {
  IDirect3DDevice9* device = g_graphicsDevice->GetDevice();
  D3DXMATRIX view, projection;
  const D3DXVECTOR3 eye{0, 0, 0}, at{1, 0, 0}, up{0, 0, 1};
  D3DXMatrixLookAtRH(&view, &eye, &at, &up);
  D3DXMatrixPerspectiveFovRH(&projection, 1.0f, 4.0f / 3.0f, 1.0f, 1000.0f);
  device->SetTransform(D3DTS_VIEW, &view);
  device->SetTransform(D3DTS_PROJECTION, &projection);
  Model* ice = MakeModel({{&opaqueStates, &materials[0], &textures[0]},
                          {&blendStates, &materials[2], &textures[1]}});
  ice->subsets[1].hasBox = true;
  ice->subsets[1].boxMin = {-2, -5, -1};
  ice->subsets[1].boxMax = {2, 5, 0};
  ModelNode* lake = MakeNode(ice, 50);  // its see-through part 48 to 52 ahead
  lake->still = true;
  Model* crate = MakeModel({{&opaqueStates, &materials[1], &textures[0]}});
  ModelNode* moving = MakeNode(crate, 20);
  moving->bounds.radius = 3;
  struct Frame {
    bool restored;
    int lakeDraws;
    bool seeThroughLast;  // the see-through subset drawn after the moving crate
  };
  auto frame = [&] {
    queue.SubmitModel(lake);
    queue.SubmitModel(moving);
    const auto restored = queue.layerFrames;
    Log().Clear();
    EXPECT_EQ(device->BeginScene(), D3D_OK);
    queue.Flush();
    EXPECT_EQ(device->EndScene(), D3D_OK);
    Frame f{queue.layerFrames > restored, 0, false};
    for (const std::string& s : DrawTrace()) {
      f.lakeDraws += s == "W50";
      f.seeThroughLast = s == "W50" && f.lakeDraws == 2;
    }
    return f;
  };
  auto place = [&](float x, float radius) {
    moving->SetPosition({x, 0, 0});
    moving->RebuildMatrices();
    moving->bounds.radius = radius;
  };
  const struct {
    const char* what;
    float x, radius;
    bool kept;  // the see-through subset in the layer
  } cases[] = {
      {"well in front", 20, 3, true},
      {"touching its box", 45.5f, 3, false},
      {"behind it", 60, 3, false},
      {"of no known size", 20, 0, false},
      {"in front again", 30, 3, true},
  };
  bool wasKept = false;
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    place(c.x, c.radius);
    std::vector<Frame> frames;
    for (int i = 0; i < 4; ++i) frames.push_back(frame());
    EXPECT_TRUE(frames[3].restored);
    // From the layer: nothing of the lake drawn when all of it was kept, else its
    // see-through subset alone, drawn after the crate.
    EXPECT_EQ(frames[3].lakeDraws, c.kept ? 0 : 1);
    if (c.kept != wasKept || &c == &cases[0]) {
      // What the layer holds changed: a frame drawn in full, the see-through subset
      // after the crate only when it is not kept.
      EXPECT_FALSE(frames[0].restored);
      EXPECT_EQ(frames[0].lakeDraws, 2);
      EXPECT_EQ(frames[0].seeThroughLast, !c.kept);
    } else {
      EXPECT_TRUE(frames[0].restored);
    }
    wasKept = c.kept;
  }
}

TEST_F(RenderQueueTest, NullModelIsRejected) {
  EXPECT_FALSE(queue.SubmitModel(nullptr));
}

}  // namespace

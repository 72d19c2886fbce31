// The scene graph's update walk: matrix composition, change flags, detaching subtrees
// and the visibility test of drawable nodes.
#include <gtest/gtest.h>

#include <cmath>
#include <cstddef>
#include <cstring>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "engine/materials/Model.h"
#include "engine/scene/Camera.h"
#include "engine/scene/DrawItem.h"
#include "engine/scene/DrawListener.h"
#include "engine/scene/Light.h"
#include "engine/scene/ModelNode.h"
#include "engine/scene/RenderableNode.h"
#include "engine/scene/Scene.h"
#include "engine/scene/SceneNode.h"
#include "support/HeadlessDevice.h"

namespace {

D3DXVECTOR3 Transform(const D3DXMATRIX& m, const D3DXVECTOR3& p) {
  D3DXVECTOR3 out;
  D3DXVec3TransformCoord(&out, &p, &m);
  return out;
}

void ExpectNear(const D3DXVECTOR3& v, float x, float y, float z) {
  EXPECT_NEAR(v.x, x, 1e-4f);
  EXPECT_NEAR(v.y, y, 1e-4f);
  EXPECT_NEAR(v.z, z, 1e-4f);
}

// Records the walk order and what HasMoved said while it was walked.
class ProbeNode : public SceneNode {
 public:
  ProbeNode(std::string n, std::vector<std::string>* log) : name(std::move(n)), log(log) {}
  void OnUpdate() override {
    log->push_back(name);
    movedDuringWalk = HasMoved();
  }
  std::string name;
  std::vector<std::string>* log;
  bool movedDuringWalk = false;
};

class CountingListener : public DrawListener {
 public:
  void OnCulled() override { ++culled; }
  int culled = 0;
};

class FakeDrawable : public RenderableNode {
 public:
  void Submit() override { ++submitted; }
  int submitted = 0;
};

TEST(SceneGraph, ChildWorldPositionAddsParentTranslation) {
  SceneNode root;
  root.SetPosition({1, 2, 3});
  SceneNode child;
  child.SetPosition({1, 0, 0});
  root.AddChild(&child);
  root.Update();
  ExpectNear(child.WorldPosition(), 2, 2, 3);
}

TEST(SceneGraph, ScaleActsAlongOwnAxisBeforeRotation) {
  SceneNode node;
  node.SetScale({2, 1, 1});
  node.SetRotation({D3DX_PI / 2, 0, 0});  // yaw about Y
  node.Update();
  // Scaled first to (2, 0, 0), then turned onto -Z; rotating first would give (0, 0, -1).
  ExpectNear(Transform(node.localMatrix, {1, 0, 0}), 0, 0, -2);
}

TEST(SceneGraph, WorldMatrixComposesGrandparents) {
  SceneNode a, b, c;
  a.SetRotation({0, 0, D3DX_PI / 2});  // roll about Z: +X goes to +Y
  b.SetPosition({10, 0, 0});
  c.SetPosition({0, 0, 5});
  a.AddChild(&b);
  b.AddChild(&c);
  a.Update();
  ExpectNear(c.WorldPosition(), 0, 10, 5);
  // A parent moved after the walk is seen by the next rebuild of the child.
  a.SetPosition({0, 0, 100});
  a.Update();
  ExpectNear(c.WorldPosition(), 0, 10, 105);
}

TEST(SceneGraph, WalkIsDepthFirstAndSkipsManualNodesButClearsTheirFlags) {
  std::vector<std::string> log;
  ProbeNode root("root", &log), a("a", &log), a1("a1", &log), b("b", &log), manual("m", &log),
      belowManual("m1", &log);
  root.AddChild(&a);
  a.AddChild(&a1);
  root.AddChild(&b);
  root.AddChild(&manual);
  manual.AddChild(&belowManual);
  manual.manualUpdate = true;
  root.Update();
  EXPECT_EQ(log, (std::vector<std::string>{"root", "a", "a1", "b"}));

  const D3DXMATRIX before = manual.worldMatrix;
  manual.SetPosition({50, 0, 0});
  belowManual.SetScale({3, 3, 3});
  root.Update();
  EXPECT_EQ(manual.worldMatrix, before);  // not rebuilt
  EXPECT_FALSE(manual.positionChanged);
  EXPECT_FALSE(belowManual.scaleChanged);
  for (SceneNode* n : std::vector<SceneNode*>{&root, &a, &a1}) {
    EXPECT_FALSE(n->positionChanged || n->rotationChanged || n->scaleChanged);
  }
}

TEST(SceneGraph, HasMovedFollowsPositionAndAncestorsOnly) {
  std::vector<std::string> log;
  ProbeNode parent("parent", &log), node("node", &log);
  parent.AddChild(&node);
  parent.Update();
  EXPECT_FALSE(node.HasMoved());

  node.SetRotation({1, 0, 0});
  node.SetScale({2, 2, 2});
  EXPECT_FALSE(node.HasMoved());  // turning or scaling in place does not move it
  parent.Update();

  parent.SetRotation({0, 0, 0.5f});
  EXPECT_TRUE(node.HasMoved());
  parent.Update();
  EXPECT_TRUE(node.movedDuringWalk);  // the parent's flags were still set when node ran
  EXPECT_FALSE(node.HasMoved());

  node.SetPosition({1, 0, 0});
  EXPECT_TRUE(node.HasMoved());
}

TEST(SceneGraph, RemoveChildEmptiesTheWholeSubtree) {
  SceneNode root, c, d, e, f, g;
  root.AddChild(&c);
  root.AddChild(&g);
  c.AddChild(&d);
  c.AddChild(&e);
  d.AddChild(&f);
  root.RemoveChild(&c);
  EXPECT_EQ(root.children, (std::vector<SceneNode*>{&g}));
  EXPECT_EQ(c.parent, nullptr);
  EXPECT_TRUE(c.children.empty());
  EXPECT_TRUE(d.children.empty());
  EXPECT_EQ(d.parent, &c);  // kept, though no walk reaches it any more
  EXPECT_EQ(f.parent, &d);
  EXPECT_EQ(g.parent, &root);
}

TEST(SceneGraph, RemoveChildRemovesEveryEntry) {
  SceneNode root, c, other;
  root.children = {&c, &other, &c};
  c.parent = &root;
  root.RemoveChild(&c);
  EXPECT_EQ(root.children, (std::vector<SceneNode*>{&other}));
}

// A hook that changes its parent's child list in the middle of the parent's walk.
class MutatingNode : public ProbeNode {
 public:
  using ProbeNode::ProbeNode;
  void OnUpdate() override {
    ProbeNode::OnUpdate();
    if (action && !acted) {
      acted = true;
      action();
    }
  }
  std::function<void()> action;
  bool acted = false;
};

TEST(SceneGraph, WalkSurvivesHooksThatAddOrRemoveSiblings) {
  // Siblings live on the heap and removed ones are deleted at once, so a walk that
  // still touched one would be caught by the address sanitizer.
  struct Case {
    const char* label;
    std::vector<std::string> removed;  // by the hook, in this order
    bool addsNode;
    std::vector<std::string> walk;
  };
  const Case cases[] = {
      {"a later sibling", {"c"}, false, {"root", "a", "b", "hook", "d"}},
      {"an earlier sibling", {"a"}, false, {"root", "a", "b", "hook", "c", "d"}},
      {"itself", {"hook"}, false, {"root", "a", "b", "hook", "c", "d"}},
      {"itself and both neighbours", {"b", "hook", "c"}, false, {"root", "a", "b", "hook", "d"}},
      {"every sibling", {"a", "b", "c", "d"}, false, {"root", "a", "b", "hook"}},
      {"none, adding one", {}, true, {"root", "a", "b", "hook", "c", "d", "e"}},
      {"a later one, adding one", {"d"}, true, {"root", "a", "b", "hook", "c", "e"}},
  };
  for (const Case& c : cases) {
    std::vector<std::string> log;
    ProbeNode root("root", &log);
    std::map<std::string, std::unique_ptr<ProbeNode>> owned;
    for (const char* name : {"a", "b", "c", "d"}) owned[name] = std::make_unique<ProbeNode>(name, &log);
    MutatingNode hook("hook", &log);
    ProbeNode added("e", &log);
    for (SceneNode* n : std::vector<SceneNode*>{owned["a"].get(), owned["b"].get(), &hook,
                                                owned["c"].get(), owned["d"].get()})
      root.AddChild(n);
    hook.action = [&] {
      for (const std::string& name : c.removed) {
        if (name == "hook") {
          root.RemoveChild(&hook);
        } else {
          root.RemoveChild(owned[name].get());
          owned.erase(name);
        }
      }
      if (c.addsNode) root.AddChild(&added);
    };
    root.Update();
    EXPECT_EQ(log, c.walk) << c.label;

    // The next walk sees exactly what is left.
    log.clear();
    root.Update();
    std::vector<std::string> left = {"root"};
    for (SceneNode* n : root.children) left.push_back(static_cast<ProbeNode*>(n)->name);
    EXPECT_EQ(log, left) << c.label;
  }
}

TEST(SceneGraph, BoundingSphereSurfaceCountsAsInside) {
  BoundingSphere s;
  s.centre = D3DXVECTOR3(1, 1, 1);
  s.radius = 2;
  EXPECT_TRUE(s.Contains({3, 1, 1}));
  EXPECT_FALSE(s.Contains({3.001f, 1, 1}));
}

// Drawable nodes with a camera looking from (0, -1000, 0) at the origin.
class VisibilityTest : public HeadlessDeviceTest {
 protected:
  void SetUp() override {
    HeadlessDeviceTest::SetUp();
    g_scene = &scene;
    camera.position = D3DXVECTOR3(0, -1000, 0);
    scene.AddTargetedNode(&camera);
    scene.SetCamera(&camera);
  }
  void TearDown() override {
    scene.RemoveNode(&camera);
    scene.RemoveNode(&camera.target);
    g_scene = nullptr;
    HeadlessDeviceTest::TearDown();
  }
  Scene scene;
  Camera camera;
};

TEST_F(VisibilityTest, HiddenNodeInsideFrustumIsNotSubmittedAndHearsOnCulled) {
  FakeDrawable node;
  CountingListener listener;
  node.SetDrawListener(&listener);
  node.bounds.radius = 10;
  node.visible = false;
  scene.AddNode(&node);
  scene.Update();
  EXPECT_EQ(node.submitted, 0);
  EXPECT_EQ(listener.culled, 1);
  EXPECT_FALSE(node.culled);  // it was inside; only hidden

  node.visible = true;
  scene.Update();
  EXPECT_EQ(node.submitted, 1);
  EXPECT_EQ(listener.culled, 1);
  scene.RemoveNode(&node);
}

TEST_F(VisibilityTest, NodeOutsideFrustumIsCulled) {
  FakeDrawable node;
  CountingListener listener;
  node.SetDrawListener(&listener);
  node.bounds.radius = 10;
  node.SetPosition({0, -5000, 0});  // behind the camera
  scene.AddNode(&node);
  scene.Update();
  EXPECT_TRUE(node.culled);
  EXPECT_EQ(node.submitted, 0);
  EXPECT_EQ(listener.culled, 1);
  scene.RemoveNode(&node);
}

TEST_F(VisibilityTest, RadiusFollowsLargestScaleAndZeroScaleLeavesTheCentre) {
  // The left edge of the view at distance 1000 lies at x = -tan(pi/8) * 1000 = -414.2.
  FakeDrawable node;
  node.bounds.radius = 40;
  node.SetPosition({-450, 0, 0});
  scene.AddNode(&node);
  scene.Update();
  EXPECT_EQ(node.submitted, 1);  // 40 reaches over the edge

  node.SetScale({0.5f, 0.5f, 0.5f});
  scene.Update();
  EXPECT_EQ(node.submitted, 1);  // 20 no longer does

  node.SetScale({0.1f, 3, 0.1f});
  scene.Update();
  EXPECT_EQ(node.submitted, 2);  // the largest factor counts

  node.SetScale({0, 0, 0});
  scene.Update();
  EXPECT_EQ(node.submitted, 2);
  node.SetPosition({-400, 0, 0});  // centre just inside
  scene.Update();
  EXPECT_EQ(node.submitted, 3);
  scene.RemoveNode(&node);
}

TEST_F(VisibilityTest, CentreOffsetIsAddedUnscaledAndUnrotated) {
  FakeDrawable node;
  node.bounds.radius = 1;
  node.bounds.centre = D3DXVECTOR3(-600, 0, 0);
  node.SetRotation({0, 0, D3DX_PI / 2});  // rotated, the offset would point at the camera
  node.SetScale({0.5f, 0.5f, 0.5f});      // would halve it to -300 if it were scaled
  scene.AddNode(&node);
  scene.Update();
  EXPECT_EQ(node.submitted, 0);
  EXPECT_TRUE(node.culled);
  scene.RemoveNode(&node);
}

TEST(SceneWithoutCamera, EveryNodeCountsAsVisible) {
  Scene scene;
  g_scene = &scene;
  FakeDrawable node;
  node.SetPosition({1e7f, -1e7f, 0});
  scene.AddNode(&node);
  scene.Update();
  EXPECT_EQ(node.submitted, 1);
  EXPECT_FALSE(node.culled);
  scene.RemoveNode(&node);
  g_scene = nullptr;
}

TEST(SceneNodes, NullArgumentsAreRejected) {
  Scene scene;
  EXPECT_FALSE(scene.AddNode(nullptr));
  EXPECT_FALSE(scene.AddTargetedNode(nullptr));
  EXPECT_FALSE(scene.RemoveNode(nullptr));
  EXPECT_FALSE(scene.SetCamera(nullptr));
  SceneNode detached;
  EXPECT_TRUE(scene.RemoveNode(&detached));  // no parent: nothing to do
}

#if defined(__x86_64__) && (defined(__GNUC__) || defined(__clang__))
// The table slot of a virtual member function, from its pointer-to-member as the
// x86-64 C++ ABI lays it out: the table offset in bytes plus one. A destructor takes
// two slots (complete and deleting).
template <typename F>
std::ptrdiff_t SlotOf(F member) {
  static_assert(sizeof(F) == 2 * sizeof(std::ptrdiff_t));
  std::ptrdiff_t raw[2];
  std::memcpy(raw, &member, sizeof raw);
  EXPECT_EQ(raw[0] & 1, 1) << "not a virtual function";
  return (raw[0] - 1) / static_cast<std::ptrdiff_t>(sizeof(void*));
}

// Code built against these classes relies on the order of their virtual operations.
TEST(VirtualTables, OperationsSitInTheirSlots) {
  EXPECT_EQ(SlotOf(&SceneNode::OnUpdate), 0);
  EXPECT_EQ(SlotOf(&SceneNode::Update), 3);
  EXPECT_EQ(SlotOf(&RenderableNode::OnUpdate), 0);
  EXPECT_EQ(SlotOf(&RenderableNode::Submit), 4);
  EXPECT_EQ(SlotOf(&RenderableNode::SetDrawListener), 5);
  EXPECT_EQ(SlotOf(&ModelNode::Submit), 4);
  EXPECT_EQ(SlotOf(&ModelNode::SetDrawListener), 5);
  EXPECT_EQ(SlotOf(&TargetedNode::OnUpdate), 0);
  EXPECT_EQ(SlotOf(&Camera::OnUpdate), 0);
  EXPECT_EQ(SlotOf(&Camera::Apply), 4);
  EXPECT_EQ(SlotOf(&Light::OnUpdate), 0);
  EXPECT_EQ(SlotOf(&Light::AfterSceneUpdate), 4);
  EXPECT_EQ(SlotOf(&DrawListener::OnCulled), 2);
  EXPECT_EQ(SlotOf(&DrawListener::BeforeDraw), 3);
  EXPECT_EQ(SlotOf(&DrawListener::AfterDraw), 4);
  EXPECT_EQ(SlotOf(&BoundingVolume::Contains), 2);
  EXPECT_EQ(SlotOf(&QueuedDraw::Draw), 2);
  EXPECT_EQ(SlotOf(&SubsetMesh::DrawSubset), 2);
}
#endif

}  // namespace

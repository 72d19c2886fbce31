// The camera's transforms and frustum, and the lights' registration and directions,
// as the recording device sees them.
#include <gtest/gtest.h>

#include <cmath>

#include "app/GraphicsDevice.h"
#include "engine/scene/Camera.h"
#include "engine/scene/Light.h"
#include "engine/scene/Scene.h"
#include "platform/d3d9/D3D9Headless.h"
#include "support/HeadlessDevice.h"

namespace {

using platform::d3d9::CallRecord;
using platform::d3d9::Log;

int TransformsSent(D3DTRANSFORMSTATETYPE which) {
  int n = 0;
  for (const CallRecord& r : Log().Named("SetTransform"))
    if (r.args[0] == static_cast<DWORD>(which)) ++n;
  return n;
}

class CameraTest : public HeadlessDeviceTest {
 protected:
  void SetUp() override {
    HeadlessDeviceTest::SetUp();
    g_scene = &scene;
    camera.position = D3DXVECTOR3(0, -1000, 0);
    scene.AddTargetedNode(&camera);
    scene.SetCamera(&camera);
    scene.Update();
    Log().Clear();
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

TEST_F(CameraTest, SpheresOutsideEachOfTheSixPlanesAreRejected) {
  ASSERT_TRUE(camera.Apply());
  EXPECT_TRUE(camera.IsSphereVisible({0, 0, 0}, 1));
  EXPECT_FALSE(camera.IsSphereVisible({0, -1500, 0}, 1));   // behind the eye
  EXPECT_FALSE(camera.IsSphereVisible({0, 600000, 0}, 1));  // past the far plane
  EXPECT_FALSE(camera.IsSphereVisible({-2000, 0, 0}, 1));   // left
  EXPECT_FALSE(camera.IsSphereVisible({2000, 0, 0}, 1));    // right
  EXPECT_FALSE(camera.IsSphereVisible({0, 0, 2000}, 1));    // above
  EXPECT_FALSE(camera.IsSphereVisible({0, 0, -2000}, 1));   // below
  // A sphere reaching across a plane is seen.
  EXPECT_TRUE(camera.IsSphereVisible({-2000, 0, 0}, 1500));
  EXPECT_TRUE(camera.IsSphereVisible({0, 600000, 0}, 101000));
  // Planes are normalised: the value is the distance. The near plane keeps z >= -w,
  // which puts it at half the near distance in front of the eye.
  const D3DXVECTOR3 eye(0, -1000, 0);
  EXPECT_NEAR(D3DXPlaneDotCoord(&camera.frustum[Camera::kNear], &eye), -50.0f, 0.05f);
  EXPECT_TRUE(camera.IsSphereVisible({0, -940, 0}, 1));   // 60 ahead: kept, though clipped
  EXPECT_FALSE(camera.IsSphereVisible({0, -960, 0}, 1));  // 40 ahead
  EXPECT_NEAR(camera.frustum[Camera::kLeft].a, std::cos(D3DX_PI / 8), 1e-4f);
}

TEST_F(CameraTest, FreshCameraLooksFromBelowTheOriginAlongY) {
  Camera fresh;
  fresh.RebuildMatrices();
  fresh.target.RebuildMatrices();
  ASSERT_TRUE(fresh.Apply());
  // Eye at (0, -100, 0), Z up, square view of 45 degrees, near distance 100 (kept from
  // half of it, 50 ahead), far distance 500000.
  EXPECT_TRUE(fresh.IsSphereVisible({0, 0, 0}, 1));
  EXPECT_TRUE(fresh.IsSphereVisible({0, -40, 0}, 1));
  EXPECT_FALSE(fresh.IsSphereVisible({0, -60, 0}, 1));
  EXPECT_TRUE(fresh.IsSphereVisible({0, 490000, 0}, 1));
  EXPECT_FALSE(fresh.IsSphereVisible({0, 510000, 0}, 1));
  // 200 ahead, the sides and the top reach tan(22.5°) × 200 = 82.8 from the centre line.
  EXPECT_TRUE(fresh.IsSphereVisible({80, 100, 0}, 1));
  EXPECT_FALSE(fresh.IsSphereVisible({-85, 100, 0}, 1));
  EXPECT_TRUE(fresh.IsSphereVisible({0, 100, 80}, 1));
  EXPECT_FALSE(fresh.IsSphereVisible({0, 100, 85}, 1));
  // Up is +Z: a point above the target stays above the view's centre line.
  EXPECT_GT(fresh.viewMatrix._32, 0.99f);
}

TEST_F(CameraTest, ApplySendsOnlyWhatIsDirty) {
  ASSERT_TRUE(camera.Apply());
  EXPECT_EQ(TransformsSent(D3DTS_VIEW), 1);
  EXPECT_EQ(TransformsSent(D3DTS_PROJECTION), 1);
  Log().Clear();
  ASSERT_TRUE(camera.Apply());
  EXPECT_EQ(Log().Count("SetTransform"), 0);

  const D3DXPLANE leftBefore = camera.frustum[Camera::kLeft];
  camera.SetAspect(800.0f / 600.0f);
  ASSERT_TRUE(camera.Apply());
  EXPECT_EQ(TransformsSent(D3DTS_VIEW), 0);
  EXPECT_EQ(TransformsSent(D3DTS_PROJECTION), 1);
  // The wider view moved the side planes.
  EXPECT_NE(camera.frustum[Camera::kLeft].a, leftBefore.a);
  EXPECT_TRUE(camera.IsSphereVisible({-500, 0, 0}, 1));
}

TEST_F(CameraTest, FailedTransformKeepsTheFlagForTheNextTry) {
  Log().FailCall("SetTransform");
  camera.viewDirty = true;
  EXPECT_FALSE(camera.Apply());
  EXPECT_TRUE(camera.viewDirty);
  EXPECT_TRUE(camera.Apply());
  EXPECT_FALSE(camera.viewDirty);
}

TEST_F(CameraTest, ViewFollowsMovesOfEyeTargetAndTheirParent) {
  camera.Apply();
  camera.SetRotation({0.3f, 0, 0});  // turning the eye node in place changes nothing
  scene.Update();
  EXPECT_FALSE(camera.viewDirty);

  camera.target.SetPosition({0, 0, 50});  // the target alone
  scene.Update();
  EXPECT_TRUE(camera.viewDirty);
  camera.Apply();

  // Eye and target under a parent node: turning the parent moves both.
  SceneNode rig;
  scene.AddNode(&rig);
  scene.RemoveNode(&camera);
  scene.RemoveNode(&camera.target);
  scene.AddTargetedNode(&camera, &rig);
  scene.Update();
  camera.Apply();
  Log().Clear();
  rig.SetRotation({0, 0, D3DX_PI / 2});
  scene.Update();
  EXPECT_TRUE(camera.viewDirty);
  camera.Apply();
  ASSERT_EQ(TransformsSent(D3DTS_VIEW), 1);
  // The eye swung from (0, -1000, 0) to (1000, 0, 0): the origin is still straight ahead.
  EXPECT_TRUE(camera.IsSphereVisible({0, 0, 0}, 1));
  EXPECT_FALSE(camera.IsSphereVisible({1500, 0, 0}, 1));
  scene.RemoveNode(&camera);
  scene.RemoveNode(&camera.target);
  scene.RemoveNode(&rig);
  scene.AddTargetedNode(&camera);
}

class LightTest : public HeadlessDeviceTest {
 protected:
  void SetUp() override {
    HeadlessDeviceTest::SetUp();
    scene = new Scene;
  }
  void TearDown() override {
    delete scene;
    HeadlessDeviceTest::TearDown();
  }
  D3DLIGHT9 DeviceLight(DWORD index) {
    D3DLIGHT9 l{};
    g_graphicsDevice->GetDevice()->GetLight(index, &l);
    return l;
  }
  Scene* scene = nullptr;
};

TEST_F(LightTest, CreatedLightsTakeConsecutiveSlotsAndAreEnabled) {
  Log().Clear();
  Light* a = scene->CreateLight();
  Light* b = scene->CreateLight();
  ASSERT_TRUE(a && b);
  EXPECT_EQ(a->index, 0u);
  EXPECT_EQ(b->index, 1u);
  const auto sets = Log().Named("SetLight");
  ASSERT_EQ(sets.size(), 2u);
  EXPECT_EQ(sets[1].args[0], 1u);
  EXPECT_EQ(sets[1].args[1], static_cast<DWORD>(D3DLIGHT_DIRECTIONAL));
  // Registration sends the light as built: white with zero alpha, pointing down.
  const D3DLIGHT9 first = DeviceLight(0);
  EXPECT_EQ(first.Diffuse.r, 1.0f);
  EXPECT_EQ(first.Diffuse.a, 0.0f);
  EXPECT_EQ(first.Specular.r, 0.0f);
  EXPECT_EQ(first.Ambient.r, 0.0f);
  EXPECT_EQ(first.Direction.z, -1.0f);
  EXPECT_EQ(first.Range, 100.0f);
  EXPECT_EQ(first.Falloff, 1.0f);
  EXPECT_EQ(first.Attenuation0, 0.0f);
  EXPECT_EQ(first.Attenuation1, 0.5f);
  EXPECT_NEAR(first.Theta, D3DX_PI / 8, 1e-6f);
  EXPECT_NEAR(first.Phi, 3 * D3DX_PI / 16, 1e-6f);
  BOOL on = FALSE;
  g_graphicsDevice->GetDevice()->GetLightEnable(1, &on);
  EXPECT_TRUE(on);
  // Both nodes and both targets hang under the root.
  EXPECT_EQ(scene->root.children.size(), 4u);
}

TEST_F(LightTest, DirectionPointsFromLightToTargetAndIsZeroWhenTheyCoincide) {
  Light* light = scene->CreateLight();
  light->SetPosition({0, 0, 100});
  light->target.SetPosition({0, 0, 100});
  scene->Update();
  D3DLIGHT9 sent = DeviceLight(0);
  EXPECT_EQ(sent.Direction.x, 0.0f);
  EXPECT_EQ(sent.Direction.y, 0.0f);
  EXPECT_EQ(sent.Direction.z, 0.0f);
  EXPECT_FALSE(std::isnan(sent.Direction.x));

  light->target.SetPosition({300, 0, -300});  // only the target moves
  scene->Update();
  sent = DeviceLight(0);
  EXPECT_NEAR(sent.Direction.x, 0.6f, 1e-5f);
  EXPECT_NEAR(sent.Direction.z, -0.8f, 1e-5f);
  EXPECT_NEAR(sent.Position.z, 100.0f, 1e-5f);
  EXPECT_EQ(sent.Diffuse.r, 1.0f);
}

TEST_F(LightTest, RestoreSendsAgainAndReEnables) {
  Light* light = scene->CreateLight();
  light->SetPosition({0, 0, 10});
  scene->Update();
  Log().Clear();
  scene->RestoreLights();
  ASSERT_EQ(Log().Count("SetLight"), 1);
  const auto enables = Log().Named("LightEnable");
  ASSERT_EQ(enables.size(), 1u);
  EXPECT_EQ(enables[0].args[1], static_cast<DWORD>(TRUE));

  // Registering again on a slot turns it off until enabled.
  Log().Clear();
  light->Register(0);
  EXPECT_FALSE(light->enabled);
  EXPECT_EQ(Log().Named("LightEnable").at(0).args[1], static_cast<DWORD>(FALSE));
}

}  // namespace

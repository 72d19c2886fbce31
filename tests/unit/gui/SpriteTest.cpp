// Sprites and the sprite batch: placement by scale × rotation × translation about the
// centre point, the colour rule, hidden sprites, batching by texture and the 2D state
// that Begin sets and End restores.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <vector>

#include "app/GraphicsDevice.h"
#include "engine/gui/Sprite.h"
#include "engine/gui/Texture.h"
#include "platform/d3d9/D3D9Headless.h"
#include "platform/d3dx9/D3DX9Sprite.h"
#include "support/HeadlessDevice.h"

namespace {

using platform::d3d9::CallRecord;
using platform::d3d9::Log;

struct Vertex {
  float x, y, z;
  DWORD colour;
  float u, v;
};

class SpriteTest : public HeadlessDeviceTest {
 protected:
  void SetUp() override {
    HeadlessDeviceTest::SetUp();
    MakeTexture(&texture_, 64, 64);
    MakeTexture(&other_, 32, 32);
    ASSERT_TRUE(sprite_.SetTexture(&texture_));
    ASSERT_TRUE(sprite_.SetSourceRect(ScreenRect{0, 0, 32, 32}));
    Log().Clear();
  }

  void MakeTexture(Texture* t, UINT w, UINT h) {
    ASSERT_EQ(g_graphicsDevice->GetDevice()->CreateTexture(w, h, 1, 0, D3DFMT_A8R8G8B8,
                                                           D3DPOOL_MANAGED, &t->texture, nullptr),
              D3D_OK);
    t->texture->GetLevelDesc(0, &t->description);
  }

  ID3DXSprite* Batch() { return g_graphicsDevice->GetSprite(); }

  // The quads of the last DrawPrimitiveUP, six vertices each. The batch keeps its vertex
  // array until the next flush, so the recorded pointer is still readable after End.
  std::vector<Vertex> LastDrawnVertices() {
    const auto draws = Log().Named("DrawPrimitiveUP");
    if (draws.empty()) return {};
    const CallRecord& r = draws.back();
    EXPECT_EQ(r.args[2], sizeof(Vertex));
    std::vector<Vertex> v(r.args[1] * 3);
    std::memcpy(v.data(), r.object, v.size() * sizeof(Vertex));
    return v;
  }

  Texture texture_, other_;
  Sprite sprite_;
};

TEST_F(SpriteTest, ScaleActsAboutTheCentrePoint) {
  sprite_.centre = D3DXVECTOR3(16, 16, 0);
  sprite_.scale = {2.0f, 2.0f};
  sprite_.SetPosition(100, 50, 0);
  ASSERT_TRUE(g_graphicsDevice->BeginSprites(D3DXSPRITE_ALPHABLEND));
  sprite_.Draw();
  g_graphicsDevice->EndSprites();

  const auto transforms = Log().Named("ID3DXSprite::SetTransform");
  ASSERT_EQ(transforms.size(), 1u);
  const float expected[16] = {2, 0, 0, 0, 0, 2, 0, 0, 0, 0, 0, 0, 100, 50, 0, 1};
  for (int i = 0; i < 16; ++i) EXPECT_FLOAT_EQ(transforms[0].values[i], expected[i]) << i;

  const auto draws = Log().Named("ID3DXSprite::Draw");
  ASSERT_EQ(draws.size(), 1u);
  EXPECT_EQ(draws[0].object, texture_.texture);
  EXPECT_EQ(draws[0].args[0], 1u);  // a source rectangle is passed
  EXPECT_EQ(draws[0].args[3], 32u);
  EXPECT_EQ(draws[0].args[4], 32u);
  EXPECT_EQ(draws[0].args[5], 0xFFFFFFFFu);
  const float centreAndPosition[6] = {16, 16, 0, 0, 0, 0};
  for (int i = 0; i < 6; ++i) EXPECT_FLOAT_EQ(draws[0].values[i], centreAndPosition[i]);

  // The 32 × 32 cut-out becomes 64 × 64 pixels centred on (100, 50).
  const auto v = LastDrawnVertices();
  ASSERT_EQ(v.size(), 6u);
  const float corners[4][2] = {{68, 18}, {132, 18}, {132, 82}, {68, 82}};
  const int order[6] = {0, 1, 2, 3, 0, 2};
  for (int i = 0; i < 6; ++i) {
    EXPECT_FLOAT_EQ(v[i].x, corners[order[i]][0]) << i;
    EXPECT_FLOAT_EQ(v[i].y, corners[order[i]][1]) << i;
  }
  // Texture coordinates cover the cut-out of the 64 × 64 texture.
  EXPECT_FLOAT_EQ(v[0].u, 0.0f);
  EXPECT_FLOAT_EQ(v[2].u, 0.5f);
  EXPECT_FLOAT_EQ(v[2].v, 0.5f);
}

TEST_F(SpriteTest, RotationTurnsAboutThePositionClockwiseOnScreen) {
  sprite_.centre = D3DXVECTOR3(0, 0, 0);
  sprite_.angle = D3DX_PI / 2;
  sprite_.SetPosition(200, 100, 0);
  g_graphicsDevice->BeginSprites(D3DXSPRITE_ALPHABLEND);
  sprite_.Draw();
  g_graphicsDevice->EndSprites();
  const auto v = LastDrawnVertices();
  ASSERT_EQ(v.size(), 6u);
  // The cut-out's top-right corner (32, 0) turns onto (0, 32) below the position (y down).
  EXPECT_NEAR(v[1].x, 200.0f, 1e-3);
  EXPECT_NEAR(v[1].y, 132.0f, 1e-3);
  EXPECT_NEAR(v[0].x, 200.0f, 1e-3);
  EXPECT_NEAR(v[0].y, 100.0f, 1e-3);
}

TEST_F(SpriteTest, ScalingHappensBeforeTheRotation) {
  // With a stretch along x and a quarter turn, scale × rotation and rotation × scale
  // differ: the cut-out's x axis must be stretched first and then turned onto y.
  sprite_.scale = {2.0f, 1.0f};
  sprite_.angle = D3DX_PI / 2;
  sprite_.SetPosition(200, 100, 0);
  g_graphicsDevice->BeginSprites(D3DXSPRITE_ALPHABLEND);
  sprite_.Draw();
  g_graphicsDevice->EndSprites();
  const auto transforms = Log().Named("ID3DXSprite::SetTransform");
  ASSERT_EQ(transforms.size(), 1u);
  const float expected[16] = {0, 2, 0, 0, -1, 0, 0, 0, 0, 0, 0, 0, 200, 100, 0, 1};
  for (int i = 0; i < 16; ++i) EXPECT_NEAR(transforms[0].values[i], expected[i], 1e-5) << i;
  const auto v = LastDrawnVertices();
  ASSERT_EQ(v.size(), 6u);
  // The top-right corner (32, 0) lands 64 pixels below the position.
  EXPECT_NEAR(v[1].x, 200.0f, 1e-3);
  EXPECT_NEAR(v[1].y, 164.0f, 1e-3);
}

TEST_F(SpriteTest, ColourComponentsAreClampedAndRounded) {
  sprite_.colour = D3DXCOLOR(1.2f, -0.1f, 0.5f, 0.5f);
  g_graphicsDevice->BeginSprites(D3DXSPRITE_ALPHABLEND);
  sprite_.Draw();
  g_graphicsDevice->EndSprites();
  const auto draws = Log().Named("ID3DXSprite::Draw");
  ASSERT_EQ(draws.size(), 1u);
  EXPECT_EQ(draws[0].args[5], 0x80FF0080u);
  EXPECT_EQ(LastDrawnVertices()[0].colour, 0x80FF0080u);
}

TEST_F(SpriteTest, HiddenSpriteTouchesNothing) {
  sprite_.visible = false;
  g_graphicsDevice->BeginSprites(D3DXSPRITE_ALPHABLEND);
  Log().Clear();
  sprite_.Draw();
  EXPECT_TRUE(Log().Records().empty());
  g_graphicsDevice->EndSprites();
  EXPECT_EQ(Log().Count("DrawPrimitiveUP"), 0);
}

TEST_F(SpriteTest, RefusedSettersLeaveTheSpriteAsItWas) {
  EXPECT_FALSE(sprite_.SetTexture(nullptr));
  EXPECT_EQ(sprite_.texture, &texture_);
  EXPECT_EQ(sprite_.width, 64);
  EXPECT_FALSE(sprite_.SetSourceRect(ScreenRect{0, 0, 0, 0}));
  EXPECT_EQ(sprite_.sourceRect.right, 32);
  // A rectangle with any non-zero value is taken.
  EXPECT_TRUE(sprite_.SetSourceRect(ScreenRect{0, 0, 0, 5}));
  EXPECT_EQ(sprite_.sourceRect.bottom, 5);
}

TEST_F(SpriteTest, EmptyTextureDrawsNothing) {
  Texture empty;  // as the texture manager's default
  Sprite s;
  ASSERT_TRUE(s.SetTexture(&empty));
  EXPECT_EQ(s.width, 0);
  s.SetSourceRect(ScreenRect{0, 0, 10, 10});
  g_graphicsDevice->BeginSprites(D3DXSPRITE_ALPHABLEND);
  s.Draw();
  g_graphicsDevice->EndSprites();
  EXPECT_EQ(Log().Count("ID3DXSprite::Draw"), 1);
  EXPECT_EQ(Log().Count("DrawPrimitiveUP"), 0);
}

TEST_F(SpriteTest, EachDrawKeepsTheTransformOfItsTime) {
  Sprite second;
  second.SetTexture(&texture_);
  second.SetSourceRect(ScreenRect{0, 0, 10, 10});
  sprite_.SetPosition(10, 0, 0);
  second.SetPosition(300, 0, 0);
  g_graphicsDevice->BeginSprites(D3DXSPRITE_ALPHABLEND);
  sprite_.Draw();
  second.Draw();
  g_graphicsDevice->EndSprites();
  // Same texture: one call with both quads, each where its own transform put it.
  ASSERT_EQ(Log().Count("DrawPrimitiveUP"), 1);
  const auto v = LastDrawnVertices();
  ASSERT_EQ(v.size(), 12u);
  EXPECT_FLOAT_EQ(v[0].x, 10.0f);
  EXPECT_FLOAT_EQ(v[6].x, 300.0f);
}

TEST_F(SpriteTest, RunsOfOneTextureShareADrawCallInSubmissionOrder) {
  Sprite b;
  b.SetTexture(&other_);
  b.SetSourceRect(ScreenRect{0, 0, 8, 8});
  g_graphicsDevice->BeginSprites(D3DXSPRITE_ALPHABLEND);
  sprite_.Draw();
  sprite_.Draw();
  b.Draw();
  sprite_.Draw();
  EXPECT_EQ(Log().Count("DrawPrimitiveUP"), 0);  // nothing is sent before End
  g_graphicsDevice->EndSprites();
  const auto draws = Log().Named("DrawPrimitiveUP");
  ASSERT_EQ(draws.size(), 3u);
  EXPECT_EQ(draws[0].args[1], 4u);  // two quads
  EXPECT_EQ(draws[1].args[1], 2u);
  EXPECT_EQ(draws[2].args[1], 2u);
  std::vector<const void*> bound;
  for (const auto& r : Log().Records())
    if (std::strcmp(r.name, "SetTexture") == 0 && r.object) bound.push_back(r.object);
  ASSERT_GE(bound.size(), 3u);
  EXPECT_EQ(bound[0], texture_.texture);
  EXPECT_EQ(bound[1], other_.texture);
  EXPECT_EQ(bound[2], texture_.texture);
  for (const auto& r : Log().Named("SetFVF")) {
    if (r.args[0] != 0) {
      EXPECT_EQ(r.args[0], D3DFVF_XYZ | D3DFVF_DIFFUSE | D3DFVF_TEX1);
    }
  }
}

TEST_F(SpriteTest, BeginSetsTheTwoDimensionalStateAndEndRestoresIt) {
  IDirect3DDevice9* device = g_graphicsDevice->GetDevice();
  device->SetRenderState(D3DRS_LIGHTING, TRUE);
  device->SetRenderState(D3DRS_CULLMODE, D3DCULL_CCW);
  device->SetRenderState(D3DRS_ALPHABLENDENABLE, FALSE);
  D3DXMATRIX view;
  D3DXMatrixTranslation(&view, 1, 2, 3);
  device->SetTransform(D3DTS_VIEW, &view);

  ASSERT_EQ(Batch()->Begin(D3DXSPRITE_ALPHABLEND), D3D_OK);
  DWORD value = 0;
  device->GetRenderState(D3DRS_LIGHTING, &value);
  EXPECT_EQ(value, 0u);
  device->GetRenderState(D3DRS_CULLMODE, &value);
  EXPECT_EQ(value, static_cast<DWORD>(D3DCULL_NONE));
  device->GetRenderState(D3DRS_ALPHABLENDENABLE, &value);
  EXPECT_EQ(value, 1u);
  device->GetTextureStageState(0, D3DTSS_COLOROP, &value);
  EXPECT_EQ(value, static_cast<DWORD>(D3DTOP_MODULATE));
  D3DMATRIX m{};
  device->GetTransform(D3DTS_VIEW, &m);
  EXPECT_TRUE(D3DXMatrixIsIdentity(reinterpret_cast<D3DXMATRIX*>(&m)));
  // One unit per pixel of the 800 × 600 viewport, y down.
  device->GetTransform(D3DTS_PROJECTION, &m);
  D3DXMATRIX ortho;
  D3DXMatrixOrthoOffCenterLH(&ortho, 0.5f, 800.5f, 600.5f, 0.5f, 0.0f, 1.0f);
  for (int i = 0; i < 16; ++i) EXPECT_FLOAT_EQ((&m._11)[i], (&ortho._11)[i]) << i;
  EXPECT_NE(Batch()->Begin(D3DXSPRITE_ALPHABLEND), D3D_OK);  // already begun

  ASSERT_EQ(Batch()->End(), D3D_OK);
  device->GetRenderState(D3DRS_LIGHTING, &value);
  EXPECT_EQ(value, 1u);
  device->GetRenderState(D3DRS_CULLMODE, &value);
  EXPECT_EQ(value, static_cast<DWORD>(D3DCULL_CCW));
  device->GetRenderState(D3DRS_ALPHABLENDENABLE, &value);
  EXPECT_EQ(value, 0u);
  device->GetTransform(D3DTS_VIEW, &m);
  EXPECT_FLOAT_EQ(m._42, 2.0f);
  EXPECT_NE(Batch()->End(), D3D_OK);  // not begun
}

TEST_F(SpriteTest, QueuedTextureStaysAliveUntilSent) {
  Texture* doomed = new Texture();
  MakeTexture(doomed, 16, 16);
  Sprite s;
  s.SetTexture(doomed);
  s.SetSourceRect(ScreenRect{0, 0, 16, 16});
  g_graphicsDevice->BeginSprites(D3DXSPRITE_ALPHABLEND);
  s.Draw();
  delete doomed;  // its owner lets go while the quad is queued
  g_graphicsDevice->EndSprites();
  EXPECT_EQ(Log().Count("DrawPrimitiveUP"), 1);
}

TEST_F(SpriteTest, LostDeviceDropsAnOpenBatch) {
  Batch()->Begin(D3DXSPRITE_ALPHABLEND);
  sprite_.Draw();
  Batch()->OnLostDevice();
  Batch()->OnResetDevice();
  EXPECT_EQ(Log().Count("DrawPrimitiveUP"), 0);
  EXPECT_EQ(Batch()->Begin(D3DXSPRITE_ALPHABLEND), D3D_OK);
  Batch()->End();
}

}  // namespace

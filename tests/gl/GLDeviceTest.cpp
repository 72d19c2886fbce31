// The OpenGL device against the pixels it draws: clears, screen-space and 3D geometry,
// lighting, culling, depth, blending, fog, buffers, reset and read-back.
#include <gtest/gtest.h>

#include <cstring>
#include <fstream>
#include <functional>
#include <vector>

#include <SDL.h>

#include "gl/GLScene.h"
#include "platform/d3d9/D3D9Readback.h"
#include "platform/d3d9/Device9.h"
#include "platform/d3d9/Layer.h"
#include "platform/d3d9/gl/GLBackend.h"
#include "platform/win32/Win32.h"
#include "platform/win32/Win32Sdl.h"
#include "support/GLWindow.h"
#include "support/Headless.h"

using namespace gltest;

namespace {

constexpr float kPi = 3.14159265f;
// Stencil render states by their Direct3D numbers.
constexpr auto kStencilPass = static_cast<D3DRENDERSTATETYPE>(55);
constexpr auto kStencilFunc = static_cast<D3DRENDERSTATETYPE>(56);
constexpr auto kStencilRef = static_cast<D3DRENDERSTATETYPE>(57);

// Camera at the origin looking along +z, 60° field of view, near 1, far 100.
void LookAlongZ(IDirect3DDevice9* d) {
  const D3DMATRIX view = Identity();
  const D3DMATRIX proj = PerspectiveLH(kPi / 3, 800.0f / 600.0f, 1.0f, 100.0f);
  d->SetTransform(D3DTS_VIEW, &view);
  d->SetTransform(D3DTS_PROJECTION, &proj);
}

}  // namespace

TEST_F(GLDeviceTest, ClearFillsTheWholeBackBufferAndOnlyTheViewport) {
  IDirect3DDevice9* d = gl_.device();
  ASSERT_EQ(d->Clear(0, nullptr, D3DCLEAR_TARGET | D3DCLEAR_ZBUFFER, 0xFF336699, 1.0f, 0), D3D_OK);
  ASSERT_TRUE(gl_.ReadBack());
  ASSERT_EQ(gl_.width(), 800u);
  ASSERT_EQ(gl_.height(), 600u);
  std::size_t wrong = 0;
  for (std::uint32_t p : gl_.pixels())
    if (p != 0xFF336699u) ++wrong;
  EXPECT_EQ(wrong, 0u);

  // A viewport with its origin at the top left confines the clear.
  D3DVIEWPORT9 vp{100, 50, 200, 100, 0, 1};
  d->SetViewport(&vp);
  d->Clear(0, nullptr, D3DCLEAR_TARGET, 0xFFFF0000, 1.0f, 0);
  ASSERT_TRUE(gl_.ReadBack());
  EXPECT_EQ(gl_.At(100, 50), 0xFFFF0000u);
  EXPECT_EQ(gl_.At(299, 149), 0xFFFF0000u);
  EXPECT_EQ(gl_.At(99, 50), 0xFF336699u);
  EXPECT_EQ(gl_.At(100, 49), 0xFF336699u);
  EXPECT_EQ(gl_.At(300, 149), 0xFF336699u);
  EXPECT_EQ(gl_.At(299, 150), 0xFF336699u);
  EXPECT_FALSE(gl_.SaveArtifact("clear_viewport").empty());
}

TEST_F(GLDeviceTest, ScreenSpaceQuadsCoverExactlyTheirPixels) {
  IDirect3DDevice9* d = gl_.device();
  PlainStates(d);
  d->Clear(0, nullptr, D3DCLEAR_TARGET, 0xFF000000, 1.0f, 0);
  d->BeginScene();
  // Pre-transformed vertices: pixel centres sit on whole numbers.
  DrawScreenQuad(d, 10, 10, 20, 20, 0xFF00FF00);
  // The same through a pixel orthographic projection, as sprites are drawn.
  const D3DMATRIX ortho = PixelOrtho(800, 600), id = Identity();
  d->SetTransform(D3DTS_PROJECTION, &ortho);
  d->SetTransform(D3DTS_VIEW, &id);
  d->SetTransform(D3DTS_WORLD, &id);
  const ColourVertex v[4] = {{30, 10, 0.5f, 0xFF0000FF, 0, 0},
                             {40, 10, 0.5f, 0xFF0000FF, 0, 0},
                             {30, 20, 0.5f, 0xFF0000FF, 0, 0},
                             {40, 20, 0.5f, 0xFF0000FF, 0, 0}};
  d->SetFVF(kColourFvf);
  d->DrawPrimitiveUP(D3DPT_TRIANGLESTRIP, 2, v, sizeof(ColourVertex));
  d->EndScene();
  ASSERT_TRUE(gl_.ReadBack());
  for (int base : {10, 30}) {
    const std::uint32_t colour = base == 10 ? 0xFF00FF00u : 0xFF0000FFu;
    EXPECT_EQ(gl_.At(base, 10), colour) << base;
    EXPECT_EQ(gl_.At(base + 9, 19), colour) << base;
    EXPECT_EQ(gl_.At(base - 1, 15), 0xFF000000u) << base;
    EXPECT_EQ(gl_.At(base + 10, 15), 0xFF000000u) << base;
    EXPECT_EQ(gl_.At(base + 5, 9), 0xFF000000u) << base;
    EXPECT_EQ(gl_.At(base + 5, 20), 0xFF000000u) << base;
  }
}

TEST_F(GLDeviceTest, DirectionalLightIsInWorldSpace) {
  IDirect3DDevice9* d = gl_.device();
  // The camera stands at x = -5 looking along +x, so the screen's right is world -z.
  D3DMATRIX view{};
  view._13 = 1;
  view._22 = 1;
  view._31 = -1;
  view._43 = 5;
  view._44 = 1;
  const D3DMATRIX proj = PerspectiveLH(kPi / 3, 800.0f / 600.0f, 1.0f, 100.0f);
  const D3DMATRIX world = Translation(0, 0, 0);
  d->SetTransform(D3DTS_VIEW, &view);
  d->SetTransform(D3DTS_PROJECTION, &proj);
  d->SetTransform(D3DTS_WORLD, &world);
  d->SetRenderState(D3DRS_CULLMODE, D3DCULL_NONE);
  d->SetRenderState(D3DRS_AMBIENT, 0xFF202020);
  D3DMATERIAL9 mat{};
  mat.Diffuse = {1, 1, 1, 1};
  mat.Ambient = {1, 1, 1, 1};
  d->SetMaterial(&mat);
  // Light coming from the screen's right: it travels towards world +z.
  D3DLIGHT9 light{};
  light.Type = D3DLIGHT_DIRECTIONAL;
  light.Diffuse = {1, 1, 1, 1};
  light.Direction = {0, 0, 1};
  d->SetLight(0, &light);
  d->LightEnable(0, TRUE);

  const float h = 0.7071f;
  // Two squares in the plane x = 0 (facing the camera), the right one (world z < 0) with
  // a normal turned towards the screen's right, the left one towards the left.
  const LitVertex right[4] = {{0, 1, -0.2f, -h, 0, -h, 0, 0},
                              {0, 1, -1.8f, -h, 0, -h, 0, 0},
                              {0, -1, -0.2f, -h, 0, -h, 0, 0},
                              {0, -1, -1.8f, -h, 0, -h, 0, 0}};
  const LitVertex left[4] = {{0, 1, 1.8f, -h, 0, h, 0, 0},
                             {0, 1, 0.2f, -h, 0, h, 0, 0},
                             {0, -1, 1.8f, -h, 0, h, 0, 0},
                             {0, -1, 0.2f, -h, 0, h, 0, 0}};
  d->Clear(0, nullptr, D3DCLEAR_TARGET | D3DCLEAR_ZBUFFER, 0xFF000040, 1.0f, 0);
  d->BeginScene();
  d->SetFVF(kLitFvf);
  d->DrawPrimitiveUP(D3DPT_TRIANGLESTRIP, 2, right, sizeof(LitVertex));
  d->DrawPrimitiveUP(D3DPT_TRIANGLESTRIP, 2, left, sizeof(LitVertex));
  d->EndScene();
  ASSERT_TRUE(gl_.ReadBack());
  gl_.SaveArtifact("lit_faces");
  const std::uint32_t lit = gl_.At(500, 300), unlit = gl_.At(300, 300);
  // Lit: 0.707 of white plus the ambient; unlit: the ambient alone.
  EXPECT_TRUE(ColourNear(lit, 0xFF000000u | 0x010101u * (0x20 + 180), 6));
  EXPECT_TRUE(ColourNear(unlit, 0xFF202020u, 3));

  // Switching the light off leaves only the ambient.
  d->LightEnable(0, FALSE);
  d->Clear(0, nullptr, D3DCLEAR_TARGET | D3DCLEAR_ZBUFFER, 0xFF000040, 1.0f, 0);
  d->DrawPrimitiveUP(D3DPT_TRIANGLESTRIP, 2, right, sizeof(LitVertex));
  ASSERT_TRUE(gl_.ReadBack());
  EXPECT_TRUE(ColourNear(gl_.At(500, 300), 0xFF202020u, 3));
}

TEST_F(GLDeviceTest, PointLightAndMaterialColourFromVertices) {
  IDirect3DDevice9* d = gl_.device();
  LookAlongZ(d);
  d->SetRenderState(D3DRS_CULLMODE, D3DCULL_NONE);
  d->SetRenderState(D3DRS_AMBIENT, 0);
  D3DMATERIAL9 mat{};
  mat.Diffuse = {1, 1, 1, 1};
  d->SetMaterial(&mat);
  // A point light just in front of the left half of a wall.
  D3DLIGHT9 light{};
  light.Type = D3DLIGHT_POINT;
  light.Diffuse = {1, 1, 1, 1};
  light.Position = {-2, 0, 9};
  light.Range = 100;
  light.Attenuation0 = 1;
  d->SetLight(1, &light);
  d->LightEnable(1, TRUE);
  struct V {
    float x, y, z, nx, ny, nz;
    DWORD colour;
  };
  // Lighting is per vertex, so the wall is two small red tiles: one right under the light,
  // one far to the side. With COLORVERTEX the diffuse material follows the vertices.
  auto tile = [&](float cx) {
    const V v[4] = {{cx - 0.3f, 0.3f, 10, 0, 0, -1, 0xFFFF0000},
                    {cx + 0.3f, 0.3f, 10, 0, 0, -1, 0xFFFF0000},
                    {cx - 0.3f, -0.3f, 10, 0, 0, -1, 0xFFFF0000},
                    {cx + 0.3f, -0.3f, 10, 0, 0, -1, 0xFFFF0000}};
    d->SetFVF(D3DFVF_XYZ | D3DFVF_NORMAL | D3DFVF_DIFFUSE);
    d->DrawPrimitiveUP(D3DPT_TRIANGLESTRIP, 2, v, sizeof(V));
  };
  d->Clear(0, nullptr, D3DCLEAR_TARGET | D3DCLEAR_ZBUFFER, 0xFF000000, 1.0f, 0);
  tile(-2);
  tile(3);
  ASSERT_TRUE(gl_.ReadBack());
  gl_.SaveArtifact("point_light");
  // x = -2 at z = 10 is 104 px left of the centre, x = 3 is 156 px right of it.
  const std::uint32_t near = gl_.At(400 - 104, 300), far = gl_.At(400 + 156, 300);
  EXPECT_GT(RedOf(near), 200);
  EXPECT_LT(RedOf(far), 80);
  EXPECT_GT(RedOf(far), 20);
  EXPECT_EQ(GreenOf(near), 0);
  EXPECT_EQ(BlueOf(near), 0);

  // Without COLORVERTEX the white material is used.
  d->SetRenderState(D3DRS_COLORVERTEX, FALSE);
  tile(-2);
  ASSERT_TRUE(gl_.ReadBack());
  EXPECT_GT(GreenOf(gl_.At(400 - 104, 300)), 200);
}

TEST_F(GLDeviceTest, CullModesRemoveClockwiseOrCounterClockwiseTriangles) {
  IDirect3DDevice9* d = gl_.device();
  LookAlongZ(d);
  d->SetRenderState(D3DRS_LIGHTING, FALSE);
  // On screen: the left triangle clockwise, the right one counter-clockwise; both in 3D
  // (y up) and in screen pixels (y down).
  const ColourVertex world[6] = {{-2, 1, 5, 0xFFFF0000, 0, 0},  {-1, -1, 5, 0xFFFF0000, 0, 0},
                                 {-3, -1, 5, 0xFFFF0000, 0, 0}, {2, 1, 5, 0xFF00FF00, 0, 0},
                                 {1, -1, 5, 0xFF00FF00, 0, 0},  {3, -1, 5, 0xFF00FF00, 0, 0}};
  const ScreenVertex screen[6] = {
      {100, 450, 0.5f, 1, 0xFFFF0000, 0, 0}, {150, 550, 0.5f, 1, 0xFFFF0000, 0, 0},
      {50, 550, 0.5f, 1, 0xFFFF0000, 0, 0},  {700, 450, 0.5f, 1, 0xFF00FF00, 0, 0},
      {650, 550, 0.5f, 1, 0xFF00FF00, 0, 0}, {750, 550, 0.5f, 1, 0xFF00FF00, 0, 0}};
  struct Case {
    DWORD cull;
    bool clockwiseShown, counterShown;
  };
  for (const Case& c : {Case{D3DCULL_CCW, true, false}, Case{D3DCULL_CW, false, true},
                        Case{D3DCULL_NONE, true, true}}) {
    d->SetRenderState(D3DRS_CULLMODE, c.cull);
    d->Clear(0, nullptr, D3DCLEAR_TARGET | D3DCLEAR_ZBUFFER, 0xFF000000, 1.0f, 0);
    d->SetFVF(kColourFvf);
    d->DrawPrimitiveUP(D3DPT_TRIANGLELIST, 2, world, sizeof(ColourVertex));
    d->SetFVF(kScreenFvf);
    d->DrawPrimitiveUP(D3DPT_TRIANGLELIST, 2, screen, sizeof(ScreenVertex));
    ASSERT_TRUE(gl_.ReadBack());
    // 3D: x = ±2, y = -0.3 at z = 5 lands at about (400 ∓ 208, 336).
    EXPECT_EQ(gl_.At(192, 340) == 0xFFFF0000u, c.clockwiseShown) << c.cull;
    EXPECT_EQ(gl_.At(608, 340) == 0xFF00FF00u, c.counterShown) << c.cull;
    EXPECT_EQ(gl_.At(100, 530) == 0xFFFF0000u, c.clockwiseShown) << c.cull;
    EXPECT_EQ(gl_.At(700, 530) == 0xFF00FF00u, c.counterShown) << c.cull;
  }
}

TEST_F(GLDeviceTest, DepthKeepsTheNearerSurfaceAndUsesDirect3DDepthRange) {
  IDirect3DDevice9* d = gl_.device();
  LookAlongZ(d);
  d->SetRenderState(D3DRS_LIGHTING, FALSE);
  d->SetRenderState(D3DRS_CULLMODE, D3DCULL_NONE);
  d->Clear(0, nullptr, D3DCLEAR_TARGET | D3DCLEAR_ZBUFFER, 0xFF000000, 1.0f, 0);
  d->BeginScene();
  DrawWorldQuad(d, -1, -1, 1, 1, 4, 0xFFFF0000);  // near, drawn first
  DrawWorldQuad(d, -4, -4, 4, 4, 8, 0xFF0000FF);  // far, larger on screen
  // In front of the near plane (z = 1): clipped away entirely.
  DrawWorldQuad(d, -0.1f, -0.1f, 0.1f, 0.1f, 0.9f, 0xFF00FF00);
  d->EndScene();
  ASSERT_TRUE(gl_.ReadBack());
  gl_.SaveArtifact("depth");
  EXPECT_EQ(gl_.At(400, 300), 0xFFFF0000u);
  EXPECT_EQ(gl_.At(400 + 150, 300), 0xFF0000FFu);  // only the far quad reaches here

  // Depth off: the later quad wins.
  d->SetRenderState(D3DRS_ZENABLE, D3DZB_FALSE);
  DrawWorldQuad(d, -4, -4, 4, 4, 8, 0xFF0000FF);
  ASSERT_TRUE(gl_.ReadBack());
  EXPECT_EQ(gl_.At(400, 300), 0xFF0000FFu);

  // A clear to depth 0.5 is Direct3D's depth: with projection z in 0..1 a surface at
  // depth 0.3 passes and one at 0.7 fails.
  d->SetRenderState(D3DRS_ZENABLE, D3DZB_TRUE);
  const D3DMATRIX id = Identity(), ortho = PixelOrtho(800, 600);
  d->SetTransform(D3DTS_PROJECTION, &ortho);
  d->SetTransform(D3DTS_VIEW, &id);
  d->Clear(0, nullptr, D3DCLEAR_TARGET | D3DCLEAR_ZBUFFER, 0xFF000000, 0.5f, 0);
  const ColourVertex nearQuad[4] = {{100, 100, 0.3f, 0xFFFFFFFF, 0, 0},
                                    {200, 100, 0.3f, 0xFFFFFFFF, 0, 0},
                                    {100, 200, 0.3f, 0xFFFFFFFF, 0, 0},
                                    {200, 200, 0.3f, 0xFFFFFFFF, 0, 0}};
  ColourVertex farQuad[4];
  std::memcpy(farQuad, nearQuad, sizeof farQuad);
  for (auto& v : farQuad) {
    v.x += 300;
    v.z = 0.7f;
  }
  d->SetFVF(kColourFvf);
  d->DrawPrimitiveUP(D3DPT_TRIANGLESTRIP, 2, nearQuad, sizeof(ColourVertex));
  d->DrawPrimitiveUP(D3DPT_TRIANGLESTRIP, 2, farQuad, sizeof(ColourVertex));
  ASSERT_TRUE(gl_.ReadBack());
  EXPECT_EQ(gl_.At(150, 150), 0xFFFFFFFFu);
  EXPECT_EQ(gl_.At(450, 150), 0xFF000000u);

  // With depth writes off the near quad no longer hides what follows.
  d->Clear(0, nullptr, D3DCLEAR_TARGET | D3DCLEAR_ZBUFFER, 0xFF000000, 1.0f, 0);
  d->SetRenderState(D3DRS_ZWRITEENABLE, FALSE);
  d->DrawPrimitiveUP(D3DPT_TRIANGLESTRIP, 2, nearQuad, sizeof(ColourVertex));
  for (auto& v : farQuad) v.x -= 300;
  for (auto& v : farQuad) v.colour = 0xFF00FF00;
  d->DrawPrimitiveUP(D3DPT_TRIANGLESTRIP, 2, farQuad, sizeof(ColourVertex));
  ASSERT_TRUE(gl_.ReadBack());
  EXPECT_EQ(gl_.At(150, 150), 0xFF00FF00u);
}

TEST_F(GLDeviceTest, AlphaBlendingAndAlphaTestUseTheVertexAlpha) {
  IDirect3DDevice9* d = gl_.device();
  PlainStates(d);
  d->Clear(0, nullptr, D3DCLEAR_TARGET, 0xFF0000FF, 1.0f, 0);
  d->SetRenderState(D3DRS_ALPHABLENDENABLE, TRUE);
  d->SetRenderState(D3DRS_SRCBLEND, D3DBLEND_SRCALPHA);
  d->SetRenderState(D3DRS_DESTBLEND, D3DBLEND_INVSRCALPHA);
  // No texture on stage 0: its default alpha operation (texture alpha) passes the
  // vertex alpha on.
  DrawScreenQuad(d, 0, 0, 100, 100, 0x80FF0000);
  // Additive.
  d->SetRenderState(D3DRS_SRCBLEND, D3DBLEND_ONE);
  d->SetRenderState(D3DRS_DESTBLEND, D3DBLEND_ONE);
  DrawScreenQuad(d, 100, 0, 200, 100, 0xFF00FF00);
  // Alpha test rejects alpha below the reference.
  d->SetRenderState(D3DRS_ALPHABLENDENABLE, FALSE);
  d->SetRenderState(D3DRS_ALPHATESTENABLE, TRUE);
  d->SetRenderState(D3DRS_ALPHAREF, 0x80);
  d->SetRenderState(D3DRS_ALPHAFUNC, D3DCMP_GREATEREQUAL);
  DrawScreenQuad(d, 200, 0, 300, 100, 0x7FFFFFFF);
  DrawScreenQuad(d, 300, 0, 400, 100, 0x80FFFFFF);
  ASSERT_TRUE(gl_.ReadBack());
  gl_.SaveArtifact("blend");
  EXPECT_TRUE(ColourNear(gl_.At(50, 50), 0xFF80007F, 2));
  EXPECT_EQ(gl_.At(150, 50), 0xFF00FFFFu);
  EXPECT_EQ(gl_.At(250, 50), 0xFF0000FFu);
  EXPECT_EQ(gl_.At(350, 50), 0xFFFFFFFFu);

  // Colour writes masked to red only.
  d->SetRenderState(D3DRS_ALPHATESTENABLE, FALSE);
  d->SetRenderState(D3DRS_COLORWRITEENABLE, 0x1);
  DrawScreenQuad(d, 400, 0, 500, 100, 0xFFFFFFFF);
  ASSERT_TRUE(gl_.ReadBack());
  EXPECT_EQ(gl_.At(450, 50), 0xFFFF00FFu);
}

TEST_F(GLDeviceTest, LinearFogThickensWithDistance) {
  IDirect3DDevice9* d = gl_.device();
  LookAlongZ(d);
  d->SetRenderState(D3DRS_LIGHTING, FALSE);
  d->SetRenderState(D3DRS_CULLMODE, D3DCULL_NONE);
  d->SetRenderState(D3DRS_FOGENABLE, TRUE);
  d->SetRenderState(D3DRS_FOGCOLOR, 0xFF00FF00);
  d->SetRenderState(D3DRS_FOGVERTEXMODE, D3DFOG_LINEAR);
  d->SetRenderState(D3DRS_FOGSTART, FloatToDWORD(2.0f));
  d->SetRenderState(D3DRS_FOGEND, FloatToDWORD(20.0f));
  d->Clear(0, nullptr, D3DCLEAR_TARGET | D3DCLEAR_ZBUFFER, 0xFF000000, 1.0f, 0);
  DrawWorldQuad(d, -1.5f, -0.5f, -0.5f, 0.5f, 2, 0xFFFF0000);  // at the fog start
  DrawWorldQuad(d, 5, -1.5f, 10, 3.5f, 15.5f, 0xFFFF0000);     // three quarters in
  ASSERT_TRUE(gl_.ReadBack());
  gl_.SaveArtifact("fog");
  EXPECT_TRUE(ColourNear(gl_.At(400 - 180, 300), 0xFFFF0000, 3));
  // Fog factor (20 - 15.5) / 18 = 0.25: a quarter red, three quarters green.
  EXPECT_TRUE(ColourNear(gl_.At(400 + 190, 300 - 30), 0xFF40BF00, 8));

  // Range fog goes by the distance from the eye: more fog off to the side than the depth
  // alone gives. At x = 4.5, z = 8 the depth gives (20 - 8) / 18 = 0.67 red, the range
  // (about 9.2) 0.6.
  d->Clear(0, nullptr, D3DCLEAR_TARGET | D3DCLEAR_ZBUFFER, 0xFF000000, 1.0f, 0);
  DrawWorldQuad(d, 4, -0.5f, 5, 0.5f, 8, 0xFFFF0000);
  ASSERT_TRUE(gl_.ReadBack());
  EXPECT_NEAR(RedOf(gl_.At(692, 300)), 170, 5);
  d->SetRenderState(D3DRS_RANGEFOGENABLE, TRUE);
  DrawWorldQuad(d, 4, -0.5f, 5, 0.5f, 8, 0xFFFF0000);
  ASSERT_TRUE(gl_.ReadBack());
  EXPECT_NEAR(RedOf(gl_.At(692, 300)), 153, 5);
  d->SetRenderState(D3DRS_RANGEFOGENABLE, FALSE);

  // With fog off the far quad is plain red again.
  d->SetRenderState(D3DRS_FOGENABLE, FALSE);
  DrawWorldQuad(d, 5, -1.5f, 10, 3.5f, 15.5f, 0xFFFF0000);
  ASSERT_TRUE(gl_.ReadBack());
  EXPECT_EQ(gl_.At(400 + 190, 300 - 30), 0xFFFF0000u);
}

TEST_F(GLDeviceTest, BuffersAreUploadedAgainAfterUnlockAndBadIndicesAreDropped) {
  IDirect3DDevice9* d = gl_.device();
  PlainStates(d);
  IDirect3DVertexBuffer9* vb = nullptr;
  IDirect3DIndexBuffer9* ib = nullptr;
  ASSERT_EQ(
      d->CreateVertexBuffer(8 * sizeof(ScreenVertex), 0, kScreenFvf, D3DPOOL_MANAGED, &vb, nullptr),
      D3D_OK);
  ASSERT_EQ(
      d->CreateIndexBuffer(12 * sizeof(WORD), 0, D3DFMT_INDEX16, D3DPOOL_MANAGED, &ib, nullptr),
      D3D_OK);
  auto fill = [&](DWORD colour) {
    void* p = nullptr;
    ASSERT_EQ(vb->Lock(0, 0, &p, 0), D3D_OK);
    auto* v = static_cast<ScreenVertex*>(p);
    // Two quads: vertices 0-3 at the left, 4-7 at the right.
    for (int q = 0; q < 2; ++q) {
      const float x = q == 0 ? 50.0f : 250.0f;
      v[q * 4 + 0] = {x, 50, 0.5f, 1, colour, 0, 0};
      v[q * 4 + 1] = {x + 100, 50, 0.5f, 1, colour, 0, 0};
      v[q * 4 + 2] = {x, 150, 0.5f, 1, colour, 0, 0};
      v[q * 4 + 3] = {x + 100, 150, 0.5f, 1, colour, 0, 0};
    }
    vb->Unlock();
  };
  fill(0xFFFF0000);
  void* p = nullptr;
  ASSERT_EQ(ib->Lock(0, 0, &p, 0), D3D_OK);
  const WORD indices[12] = {0, 1, 2, 2, 1, 3, 0, 1, 2, 2, 1, 9};  // the last triangle is bad
  std::memcpy(p, indices, sizeof indices);
  ib->Unlock();

  d->SetFVF(kScreenFvf);
  d->SetStreamSource(0, vb, 0, sizeof(ScreenVertex));
  d->SetIndices(ib);
  d->Clear(0, nullptr, D3DCLEAR_TARGET, 0xFF000000, 1.0f, 0);
  EXPECT_EQ(d->DrawIndexedPrimitive(D3DPT_TRIANGLELIST, 0, 0, 4, 0, 2), D3D_OK);
  // Base vertex 4 draws the right quad from the same indices.
  EXPECT_EQ(d->DrawIndexedPrimitive(D3DPT_TRIANGLELIST, 4, 0, 4, 0, 2), D3D_OK);
  ASSERT_TRUE(gl_.ReadBack());
  EXPECT_EQ(gl_.At(100, 100), 0xFFFF0000u);
  EXPECT_EQ(gl_.At(300, 100), 0xFFFF0000u);

  // New contents after Unlock reach the screen.
  fill(0xFF00FF00);
  d->DrawIndexedPrimitive(D3DPT_TRIANGLELIST, 0, 0, 4, 0, 2);
  ASSERT_TRUE(gl_.ReadBack());
  EXPECT_EQ(gl_.At(100, 100), 0xFF00FF00u);

  // Index 9 (or 4 + 3 past the end) lies outside the eight vertices: nothing is drawn
  // rather than GL reading beyond the buffer.
  fill(0xFF0000FF);
  d->Clear(0, nullptr, D3DCLEAR_TARGET, 0xFF000000, 1.0f, 0);
  EXPECT_EQ(d->DrawIndexedPrimitive(D3DPT_TRIANGLELIST, 0, 0, 10, 6, 2), D3D_OK);
  EXPECT_EQ(d->DrawIndexedPrimitive(D3DPT_TRIANGLELIST, 5, 0, 4, 0, 2), D3D_OK);
  ASSERT_TRUE(gl_.ReadBack());
  EXPECT_EQ(gl_.At(100, 100), 0xFF000000u);
  EXPECT_EQ(gl_.At(300, 100), 0xFF000000u);

  // Non-indexed from the buffer, with an offset.
  d->SetStreamSource(0, vb, 4 * sizeof(ScreenVertex), sizeof(ScreenVertex));
  EXPECT_EQ(d->DrawPrimitive(D3DPT_TRIANGLESTRIP, 0, 2), D3D_OK);
  ASSERT_TRUE(gl_.ReadBack());
  EXPECT_EQ(gl_.At(300, 100), 0xFF0000FFu);
  EXPECT_EQ(gl_.At(100, 100), 0xFF000000u);

  // User-memory indices outside the vertex range given are dropped the same way.
  const ScreenVertex quad[4] = {{500, 50, 0.5f, 1, 0xFFFFFFFF, 0, 0},
                                {600, 50, 0.5f, 1, 0xFFFFFFFF, 0, 0},
                                {500, 150, 0.5f, 1, 0xFFFFFFFF, 0, 0},
                                {600, 150, 0.5f, 1, 0xFFFFFFFF, 0, 0}};
  const WORD bad[6] = {0, 1, 2, 2, 1, 7};
  d->DrawIndexedPrimitiveUP(D3DPT_TRIANGLELIST, 0, 4, 2, bad, D3DFMT_INDEX16, quad,
                            sizeof(ScreenVertex));
  ASSERT_TRUE(gl_.ReadBack());
  EXPECT_EQ(gl_.At(550, 100), 0xFF000000u);
  d->DrawIndexedPrimitiveUP(D3DPT_TRIANGLELIST, 0, 4, 2, indices, D3DFMT_INDEX16, quad,
                            sizeof(ScreenVertex));
  ASSERT_TRUE(gl_.ReadBack());
  EXPECT_EQ(gl_.At(550, 100), 0xFFFFFFFFu);

  // A buffer found safe as a whole is checked again once it is written: an index
  // rewritten out of range drops the draw that was fine before.
  auto writeIndex = [&](UINT at, WORD value) {
    void* q = nullptr;
    ASSERT_EQ(ib->Lock(at * sizeof(WORD), sizeof(WORD), &q, 0), D3D_OK);
    std::memcpy(q, &value, sizeof value);
    ib->Unlock();
  };
  writeIndex(11, 3);  // every index now inside the eight vertices
  d->SetStreamSource(0, vb, 0, sizeof(ScreenVertex));  // the user-memory draws unset both
  d->SetIndices(ib);
  d->Clear(0, nullptr, D3DCLEAR_TARGET, 0xFF000000, 1.0f, 0);
  d->DrawIndexedPrimitive(D3DPT_TRIANGLELIST, 4, 0, 4, 6, 2);
  ASSERT_TRUE(gl_.ReadBack());
  EXPECT_EQ(gl_.At(300, 100), 0xFF0000FFu);
  writeIndex(11, 200);
  d->Clear(0, nullptr, D3DCLEAR_TARGET, 0xFF000000, 1.0f, 0);
  d->DrawIndexedPrimitive(D3DPT_TRIANGLELIST, 4, 0, 4, 6, 2);
  ASSERT_TRUE(gl_.ReadBack());
  EXPECT_EQ(gl_.At(300, 100), 0xFF000000u);

  d->SetStreamSource(0, nullptr, 0, 0);
  d->SetIndices(nullptr);
  ib->Release();
  vb->Release();
}

TEST_F(GLDeviceTest, ResetMakesANewBackBufferAndPresentWorks) {
  IDirect3DDevice9* d = gl_.device();
  d->Clear(0, nullptr, D3DCLEAR_TARGET, 0xFF112233, 1.0f, 0);
  EXPECT_EQ(d->Present(nullptr, nullptr, nullptr, nullptr), D3D_OK);
  D3DPRESENT_PARAMETERS p = gl_.params();
  p.BackBufferWidth = 640;
  p.BackBufferHeight = 480;
  ASSERT_EQ(d->Reset(&p), D3D_OK);
  ASSERT_TRUE(gl_.ReadBack());
  EXPECT_EQ(gl_.width(), 640u);
  EXPECT_EQ(gl_.height(), 480u);
  // The default viewport follows the new size.
  d->Clear(0, nullptr, D3DCLEAR_TARGET, 0xFF445566, 1.0f, 0);
  ASSERT_TRUE(gl_.ReadBack());
  EXPECT_EQ(gl_.At(0, 0), 0xFF445566u);
  EXPECT_EQ(gl_.At(639, 479), 0xFF445566u);
  EXPECT_EQ(d->Present(nullptr, nullptr, nullptr, nullptr), D3D_OK);
}

TEST_F(GLDeviceTest, StencilMasksLaterDrawsWhenTheDepthFormatHasStencil) {
  IDirect3DDevice9* d = gl_.device();
  D3DPRESENT_PARAMETERS p = gl_.params();
  p.AutoDepthStencilFormat = D3DFMT_D24S8;
  ASSERT_EQ(d->Reset(&p), D3D_OK);
  PlainStates(d);
  d->Clear(0, nullptr, D3DCLEAR_TARGET | D3DCLEAR_ZBUFFER | D3DCLEAR_STENCIL, 0xFF000000, 1.0f, 0);
  d->SetRenderState(D3DRS_STENCILENABLE, TRUE);
  d->SetRenderState(kStencilFunc, D3DCMP_ALWAYS);
  d->SetRenderState(kStencilPass, 3);  // D3DSTENCILOP_REPLACE
  d->SetRenderState(kStencilRef, 1);
  DrawScreenQuad(d, 100, 100, 200, 200, 0xFF0000FF);
  d->SetRenderState(kStencilFunc, D3DCMP_EQUAL);
  d->SetRenderState(kStencilPass, 1);  // D3DSTENCILOP_KEEP
  DrawScreenQuad(d, 0, 0, 800, 600, 0xFFFFFFFF);
  ASSERT_TRUE(gl_.ReadBack());
  EXPECT_EQ(gl_.At(150, 150), 0xFFFFFFFFu);
  EXPECT_EQ(gl_.At(250, 150), 0xFF000000u);
  // A depth-only clear leaves the stencil as it was.
  d->Clear(0, nullptr, D3DCLEAR_TARGET | D3DCLEAR_ZBUFFER, 0xFF000000, 1.0f, 0);
  DrawScreenQuad(d, 0, 0, 800, 600, 0xFF00FF00);
  ASSERT_TRUE(gl_.ReadBack());
  EXPECT_EQ(gl_.At(150, 150), 0xFF00FF00u);
  EXPECT_EQ(gl_.At(250, 150), 0xFF000000u);
}

TEST_F(GLDeviceTest, ScreenshotIsAValidPng) {
  IDirect3DDevice9* d = gl_.device();
  d->Clear(0, nullptr, D3DCLEAR_TARGET, 0xFF808080, 1.0f, 0);
  const std::string path = gl_.SaveArtifact("screenshot_check");
  ASSERT_FALSE(path.empty());
  std::ifstream in(path, std::ios::binary);
  std::vector<unsigned char> bytes((std::istreambuf_iterator<char>(in)),
                                   std::istreambuf_iterator<char>());
  ASSERT_GT(bytes.size(), 24u);
  EXPECT_EQ(std::memcmp(bytes.data(), "\x89PNG\r\n\x1a\n", 8), 0);
  // Width and height in the header chunk, big-endian.
  EXPECT_EQ((bytes[16] << 24) | (bytes[17] << 16) | (bytes[18] << 8) | bytes[19], 800);
  EXPECT_EQ((bytes[20] << 24) | (bytes[21] << 16) | (bytes[22] << 8) | bytes[23], 600);
  EXPECT_FALSE(platform::d3d9::SaveBackBufferPNG(d, "/nonexistent-dir/x.png"));
}

TEST(GLDeviceStartTest, FullScreenDeviceIsNotLostBeforeItsWindowEverHadFocus) {
  if (!std::getenv("DISPLAY")) GTEST_SKIP() << "no DISPLAY";
  GLWindow gl;
  ASSERT_TRUE(gl.Open(false)) << gl.error();
  EXPECT_EQ(gl.device()->TestCooperativeLevel(), D3D_OK);
  gl.device()->Clear(0, nullptr, D3DCLEAR_TARGET, 0xFF0000FF, 1.0f, 0);
  EXPECT_EQ(gl.device()->Present(nullptr, nullptr, nullptr, nullptr), D3D_OK);
  ASSERT_TRUE(gl.ReadBack());
  EXPECT_EQ(gl.At(400, 300), 0xFF0000FFu);
}

// The message loop sleeps while the full-screen window is away, so the device may first be
// asked only once the window is back: the spell away must still cost it its reset, as it
// would a Direct3D device; a windowed device never loses anything.
TEST(GLDeviceStartTest, FullScreenWindowAwayBetweenTwoQueriesStillNeedsAReset) {
  if (!std::getenv("DISPLAY")) GTEST_SKIP() << "no DISPLAY";
  auto away = [](GLWindow& gl, Uint8 what) {
    SDL_Event event{};
    event.type = SDL_WINDOWEVENT;
    event.window.event = what;
    event.window.windowID = SDL_GetWindowID(platform::win32::SdlWindowOf(gl.window()));
    SDL_PushEvent(&event);
    SDL_FlushEvent(SDL_WINDOWEVENT);
  };
  for (Uint8 what : {SDL_WINDOWEVENT_MINIMIZED, SDL_WINDOWEVENT_HIDDEN}) {
    SCOPED_TRACE(static_cast<int>(what));
    GLWindow full;
    ASSERT_TRUE(full.Open(false)) << full.error();
    IDirect3DDevice9* d = full.device();
    ASSERT_EQ(d->TestCooperativeLevel(), D3D_OK);
    away(full, what);
    EXPECT_EQ(d->TestCooperativeLevel(), D3DERR_DEVICENOTRESET);
    EXPECT_EQ(d->Present(nullptr, nullptr, nullptr, nullptr), D3DERR_DEVICELOST);
    EXPECT_EQ(d->TestCooperativeLevel(), D3DERR_DEVICENOTRESET);
    EXPECT_EQ(d->Reset(&full.params()), D3D_OK);
    EXPECT_EQ(d->TestCooperativeLevel(), D3D_OK);
    d->Clear(0, nullptr, D3DCLEAR_TARGET, 0xFF00FF00, 1.0f, 0);
    EXPECT_EQ(d->Present(nullptr, nullptr, nullptr, nullptr), D3D_OK);
    ASSERT_TRUE(full.ReadBack());
    EXPECT_EQ(full.At(400, 300), 0xFF00FF00u);
  }
  GLWindow windowed;
  ASSERT_TRUE(windowed.Open(true)) << windowed.error();
  away(windowed, SDL_WINDOWEVENT_MINIMIZED);
  EXPECT_EQ(windowed.device()->TestCooperativeLevel(), D3D_OK);
}

// The back buffer is the window's own while the window has its size, an off-screen
// target (letterboxed on Present) otherwise, and follows the window when it changes.
TEST(GLDeviceStartTest, BackBufferIsTheWindowOnlyWhileTheWindowHasItsSize) {
  if (!std::getenv("DISPLAY")) GTEST_SKIP() << "no DISPLAY";
  auto drawsIntoWindow = [](IDirect3DDevice9* d) {
    return platform::d3d9::gl::AsGLBackend(&static_cast<platform::d3d9::Device9*>(d)->Backend())
        ->DrawsIntoWindow();
  };
  auto frame = [](GLWindow& gl, D3DCOLOR colour) {
    IDirect3DDevice9* d = gl.device();
    d->Clear(0, nullptr, D3DCLEAR_TARGET | D3DCLEAR_ZBUFFER, colour, 1.0f, 0);
    D3DVIEWPORT9 corner = {700, 500, 100, 100, 0, 1};
    d->SetViewport(&corner);
    d->Clear(0, nullptr, D3DCLEAR_TARGET, 0xFFFFFFFF, 1.0f, 0);
    D3DVIEWPORT9 whole = {0, 0, 800, 600, 0, 1};
    d->SetViewport(&whole);
    ASSERT_TRUE(gl.ReadBack());
    EXPECT_EQ(gl.width(), 800u);
    EXPECT_EQ(gl.height(), 600u);
    EXPECT_EQ(gl.At(10, 10), colour);
    EXPECT_EQ(gl.At(750, 550), 0xFFFFFFFFu);  // top-left origin kept in both targets
    EXPECT_EQ(gl.At(699, 499), colour);
    EXPECT_EQ(d->Present(nullptr, nullptr, nullptr, nullptr), D3D_OK);
  };
  {
    GLWindow windowed;
    ASSERT_TRUE(windowed.Open(true)) << windowed.error();
    EXPECT_TRUE(drawsIntoWindow(windowed.device()));
    frame(windowed, 0xFF203040u);
    const RECT before = [&] {
      RECT r{};
      GetWindowRect(windowed.window(), &r);
      return r;
    }();
    const int frameW = (before.right - before.left) - 800, frameH = (before.bottom - before.top) - 600;
    SetWindowPos(windowed.window(), nullptr, 0, 0, 900 + frameW, 700 + frameH,
                 SWP_NOMOVE | SWP_NOZORDER);
    windowed.PumpMessages();
    frame(windowed, 0xFF406080u);
    EXPECT_FALSE(drawsIntoWindow(windowed.device()));
    SetWindowPos(windowed.window(), nullptr, 0, 0, 800 + frameW, 600 + frameH,
                 SWP_NOMOVE | SWP_NOZORDER);
    windowed.PumpMessages();
    frame(windowed, 0xFF6080A0u);
    EXPECT_TRUE(drawsIntoWindow(windowed.device()));
  }
  // Full screen on a larger desktop: scaled, so drawn off-screen.
  GLWindow full;
  ASSERT_TRUE(full.Open(false)) << full.error();
  EXPECT_FALSE(drawsIntoWindow(full.device()));
  for (int i = 0; i < 5; ++i) frame(full, 0xFF102030u + static_cast<D3DCOLOR>(i));
}

// A window larger than the back buffer shows it scaled with the aspect kept, centred, with
// black bars, frame after frame; one to one it is copied pixel for pixel.
TEST(GLDeviceStartTest, LargerWindowShowsTheBackBufferLetterboxed) {
  if (!std::getenv("DISPLAY")) GTEST_SKIP() << "no DISPLAY";
  GLWindow gl;
  ASSERT_TRUE(gl.Open(true)) << gl.error();
  IDirect3DDevice9* d = gl.device();
  auto* backend =
      platform::d3d9::gl::AsGLBackend(&static_cast<platform::d3d9::Device9*>(d)->Backend());
  RECT outer{};
  GetWindowRect(gl.window(), &outer);
  const int frameW = (outer.right - outer.left) - 800, frameH = (outer.bottom - outer.top) - 600;
  const D3DCOLOR kBody = 0xFF3060C0u, kCorner = 0xFFFFFFFFu;
  struct Case {
    int windowW, windowH;
    int left, top, width, height;  // where the back buffer lands
    int tolerance;
  };
  for (const Case& c : {Case{1000, 600, 100, 0, 800, 600, 0}, Case{900, 700, 0, 13, 900, 675, 2}}) {
    SCOPED_TRACE(c.windowW);
    SetWindowPos(gl.window(), nullptr, 0, 0, c.windowW + frameW, c.windowH + frameH,
                 SWP_NOMOVE | SWP_NOZORDER);
    gl.PumpMessages();
    std::vector<std::uint32_t> shown;
    int w = 0, h = 0;
    for (int frame = 0; frame < 5; ++frame) {
      D3DVIEWPORT9 whole = {0, 0, 800, 600, 0, 1};
      ASSERT_EQ(d->SetViewport(&whole), D3D_OK);
      d->Clear(0, nullptr, D3DCLEAR_TARGET | D3DCLEAR_ZBUFFER, kBody, 1.0f, 0);
      D3DVIEWPORT9 corner = {700, 500, 100, 100, 0, 1};
      ASSERT_EQ(d->SetViewport(&corner), D3D_OK);
      d->Clear(0, nullptr, D3DCLEAR_TARGET, kCorner, 1.0f, 0);
      ASSERT_EQ(d->Present(nullptr, nullptr, nullptr, nullptr), D3D_OK);
      // The window's own buffers take a new size at the swap after it changes.
      if (frame == 0) continue;
      SCOPED_TRACE(frame);
      ASSERT_TRUE(backend->ReadWindow(&shown, &w, &h));
      ASSERT_EQ(w, c.windowW);
      ASSERT_EQ(h, c.windowH);
      auto at = [&](int x, int y) { return shown[static_cast<std::size_t>(y) * w + x]; };
      // Back-buffer coordinates to window ones.
      auto wx = [&](double x) { return c.left + static_cast<int>(x * c.width / 800.0); };
      auto wy = [&](double y) { return c.top + static_cast<int>(y * c.height / 600.0); };
      const int right = c.left + c.width, bottom = c.top + c.height;
      EXPECT_EQ(at(0, 0) & 0xFFFFFF, 0u);
      EXPECT_EQ(at(w - 1, h - 1) & 0xFFFFFF, 0u);
      if (c.left > 0) {
        EXPECT_EQ(at(c.left - 1, h / 2) & 0xFFFFFF, 0u);
        EXPECT_EQ(at(right, h / 2) & 0xFFFFFF, 0u);
      }
      if (c.top > 0) {
        EXPECT_EQ(at(w / 2, c.top - 1) & 0xFFFFFF, 0u);
        EXPECT_EQ(at(w / 2, bottom) & 0xFFFFFF, 0u);
      }
      EXPECT_TRUE(ColourNear(at(c.left, c.top) | 0xFF000000u, kBody, c.tolerance));
      EXPECT_TRUE(ColourNear(at(wx(400), wy(300)) | 0xFF000000u, kBody, c.tolerance));
      EXPECT_TRUE(ColourNear(at(wx(750), wy(550)) | 0xFF000000u, kCorner, c.tolerance));
      EXPECT_TRUE(ColourNear(at(right - 1, bottom - 1) | 0xFF000000u, kCorner, c.tolerance));
      EXPECT_TRUE(ColourNear(at(wx(690), wy(490)) | 0xFF000000u, kBody, c.tolerance));
      if (c.tolerance == 0) {  // one to one: the corner's edge falls exactly
        EXPECT_EQ(at(c.left + 699, c.top + 499) | 0xFF000000u, kBody);
        EXPECT_EQ(at(c.left + 700, c.top + 500) | 0xFF000000u, kCorner);
      }
    }
  }
}

TEST(GLReadbackTest, HeadlessDeviceHasNoPixelsToRead) {
  ResetHeadlessPlatform();
  WNDCLASSEXA wc{};
  wc.lpszClassName = "ReadbackHeadless";
  wc.lpfnWndProc = [](HWND h, UINT m, WPARAM w, LPARAM l) { return DefWindowProcA(h, m, w, l); };
  RegisterClassExA(&wc);
  HWND window = CreateWindowExA(0, "ReadbackHeadless", "", WS_POPUP, 0, 0, 800, 600, nullptr,
                                nullptr, nullptr, nullptr);
  ASSERT_NE(window, nullptr);
  IDirect3D9* d3d = Direct3DCreate9(D3D_SDK_VERSION);
  ASSERT_NE(d3d, nullptr);
  D3DPRESENT_PARAMETERS p{};
  p.BackBufferWidth = 800;
  p.BackBufferHeight = 600;
  p.BackBufferFormat = D3DFMT_X8R8G8B8;
  p.Windowed = TRUE;
  IDirect3DDevice9* device = nullptr;
  ASSERT_EQ(d3d->CreateDevice(D3DADAPTER_DEFAULT, D3DDEVTYPE_HAL, window, 0, &p, &device), D3D_OK);
  std::vector<std::uint32_t> pixels;
  UINT w = 1, h = 1;
  EXPECT_FALSE(platform::d3d9::ReadBackBuffer(device, &pixels, &w, &h));
  EXPECT_FALSE(platform::d3d9::ReadBackBuffer(nullptr, &pixels, &w, &h));
  EXPECT_FALSE(platform::d3d9::SaveBackBufferPNG(device, "/tmp/never-written.png"));
  device->Release();
  d3d->Release();
  ResetHeadlessPlatform();
}

// A frame that starts from the kept layer puts back only what the frames since it last
// matched drew over. Each case is a few frames drawn from the layer; the last is read back,
// then drawn again after the whole layer was put back, and the two must match exactly: a
// part drawn over and not put back would still show what an earlier frame drew there.
TEST_F(GLDeviceTest, KeptLayerPutsBackWhatEarlierFramesDrewOver) {
  IDirect3DDevice9* d = gl_.device();
  auto* backend =
      platform::d3d9::gl::AsGLBackend(&static_cast<platform::d3d9::Device9*>(d)->Backend());
  ASSERT_NE(backend, nullptr);
  const long long whole = 800 * 600;
  LookAlongZ(d);
  d->SetRenderState(D3DRS_LIGHTING, FALSE);
  d->SetRenderState(D3DRS_CULLMODE, D3DCULL_NONE);
  const D3DMATRIX id = Identity();
  // The scenery: a far wall and a post that later quads pass behind or in front of.
  d->Clear(0, nullptr, D3DCLEAR_TARGET | D3DCLEAR_ZBUFFER, 0xFF203040, 1.0f, 0);
  ASSERT_EQ(d->BeginScene(), D3D_OK);
  DrawWorldQuad(d, -8, -6, 8, 6, 20, 0xFF808080);
  DrawWorldQuad(d, -1, -1, 1, 1, 6, 0xFF00A000);
  ASSERT_TRUE(platform::d3d9::SaveLayer(d));
  d->EndScene();
  ASSERT_EQ(d->Present(nullptr, nullptr, nullptr, nullptr), D3D_OK);

  // An indexed quad from buffers, rewritten in place between frames.
  IDirect3DVertexBuffer9* vb = nullptr;
  IDirect3DIndexBuffer9* ib = nullptr;
  ASSERT_EQ(d->CreateVertexBuffer(4 * sizeof(ColourVertex), 0, kColourFvf, D3DPOOL_MANAGED, &vb,
                                  nullptr),
            D3D_OK);
  ASSERT_EQ(
      d->CreateIndexBuffer(6 * sizeof(WORD), 0, D3DFMT_INDEX16, D3DPOOL_MANAGED, &ib, nullptr),
      D3D_OK);
  void* bytes = nullptr;
  ASSERT_EQ(ib->Lock(0, 0, &bytes, 0), D3D_OK);
  const WORD indices[6] = {0, 1, 2, 2, 1, 3};
  std::memcpy(bytes, indices, sizeof indices);
  ib->Unlock();
  auto bufferQuad = [&](float x, float y, float z) {
    const ColourVertex v[4] = {{x, y + 1, z, 0xFFFFFF00, 0, 0},
                               {x + 1, y + 1, z, 0xFFFFFF00, 1, 0},
                               {x, y, z, 0xFFFFFF00, 0, 1},
                               {x + 1, y, z, 0xFFFFFF00, 1, 1}};
    void* p = nullptr;
    ASSERT_EQ(vb->Lock(0, 0, &p, 0), D3D_OK);
    std::memcpy(p, v, sizeof v);
    vb->Unlock();
    d->SetFVF(kColourFvf);
    d->SetStreamSource(0, vb, 0, sizeof(ColourVertex));
    d->SetIndices(ib);
    d->DrawIndexedPrimitive(D3DPT_TRIANGLELIST, 0, 0, 4, 0, 2);
  };
  auto moved = [&](float x, float y) {
    const D3DMATRIX t = Translation(x, y, 0);
    d->SetTransform(D3DTS_WORLD, &t);
  };
  using Frame = std::function<void()>;
  struct Case {
    const char* name;
    std::vector<Frame> frames;
    bool lastPutBackWhole;  // whether the last frame had to put back the whole layer
  };
  const Case cases[] = {
      {"a screen quad moves on",
       {[&] { DrawScreenQuad(d, 100, 100, 140, 140, 0xFFFF0000); },
        [&] { DrawScreenQuad(d, 300, 120, 340, 160, 0xFFFF0000); }},
       false},
      {"a quad moves behind the post, then in front of it",
       {[&] { moved(-1.5f, 0); DrawWorldQuad(d, 0, 0, 1, 1, 8, 0xFFFF00FF); },
        [&] { moved(-0.5f, 0); DrawWorldQuad(d, 0, 0, 1, 1, 4, 0xFFFF00FF); },
        [&] { moved(0.5f, -1); DrawWorldQuad(d, 0, 0, 1, 1, 8, 0xFFFF00FF); }},
       false},
      {"a buffer rewritten between frames",
       {[&] { bufferQuad(-3, 1, 10); }, [&] { bufferQuad(2, -2, 10); }, [] {}},
       false},
      {"a triangle reaching behind the eye",
       {[&] {
          const ColourVertex v[3] = {{-1, -1, -5, 0xFF00FFFF, 0, 0},
                                     {1, -1, 10, 0xFF00FFFF, 0, 0},
                                     {0, 1, 10, 0xFF00FFFF, 0, 0}};
          d->SetFVF(kColourFvf);
          d->DrawPrimitiveUP(D3DPT_TRIANGLELIST, 1, v, sizeof(ColourVertex));
        },
        [] {}},
       true},
      {"part of the viewport cleared",
       {[&] {
          D3DVIEWPORT9 vp{500, 400, 120, 90, 0, 1};
          d->SetViewport(&vp);
          d->Clear(0, nullptr, D3DCLEAR_TARGET | D3DCLEAR_ZBUFFER, 0xFFFFFFFF, 0.0f, 0);
          vp = {0, 0, 800, 600, 0, 1};
          d->SetViewport(&vp);
        },
        [&] { DrawScreenQuad(d, 10, 10, 20, 20, 0xFF0000FF); }},
       false},
  };
  auto frame = [&](const Frame& draw) {
    d->Clear(0, nullptr, D3DCLEAR_TARGET | D3DCLEAR_ZBUFFER, 0xFF000000, 1.0f, 0);
    ASSERT_EQ(d->BeginScene(), D3D_OK);
    ASSERT_TRUE(platform::d3d9::RestoreLayer(d));
    d->SetTransform(D3DTS_WORLD, &id);
    draw();
    d->EndScene();
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    for (std::size_t f = 0; f + 1 < c.frames.size(); ++f) {
      frame(c.frames[f]);
      ASSERT_EQ(d->Present(nullptr, nullptr, nullptr, nullptr), D3D_OK);
    }
    frame(c.frames.back());
    if (c.lastPutBackWhole)
      EXPECT_EQ(backend->LastRestoredPixels(), whole);
    else
      EXPECT_LT(backend->LastRestoredPixels(), whole / 4);
    ASSERT_TRUE(gl_.ReadBack());
    const std::vector<std::uint32_t> got = gl_.pixels();
    // A clear of the depth over the whole viewport draws over everything.
    d->Clear(0, nullptr, D3DCLEAR_ZBUFFER, 0, 1.0f, 0);
    frame(c.frames.back());
    EXPECT_EQ(backend->LastRestoredPixels(), whole);
    ASSERT_TRUE(gl_.ReadBack());
    std::size_t differing = 0;
    for (std::size_t k = 0; k < got.size(); ++k) differing += got[k] != gl_.pixels()[k];
    EXPECT_EQ(differing, 0u);
    ASSERT_EQ(d->Present(nullptr, nullptr, nullptr, nullptr), D3D_OK);
  }

  // Another device made on the same window and drawing into it: what the first knew of
  // the window's back buffer no longer holds, and its next frame puts back the whole.
  frame([] {});
  ASSERT_TRUE(gl_.ReadBack());
  const std::vector<std::uint32_t> layerOnly = gl_.pixels();
  ASSERT_EQ(d->Present(nullptr, nullptr, nullptr, nullptr), D3D_OK);
  IDirect3DDevice9* other = nullptr;
  D3DPRESENT_PARAMETERS p = gl_.params();
  ASSERT_EQ(
      gl_.d3d()->CreateDevice(D3DADAPTER_DEFAULT, D3DDEVTYPE_HAL, gl_.window(), 0, &p, &other),
      D3D_OK);
  PlainStates(other);
  ASSERT_EQ(other->BeginScene(), D3D_OK);
  DrawScreenQuad(other, 600, 50, 650, 100, 0xFFFF0000);
  other->EndScene();
  other->Release();
  frame([] {});
  EXPECT_EQ(backend->LastRestoredPixels(), whole);
  ASSERT_TRUE(gl_.ReadBack());
  std::size_t left = 0;  // pixels still showing what the other device drew
  for (std::size_t k = 0; k < layerOnly.size(); ++k) left += gl_.pixels()[k] != layerOnly[k];
  EXPECT_EQ(left, 0u);

  // A dropped layer is not put back; one kept anew is, as the first was.
  platform::d3d9::DropLayer(d);
  d->Clear(0, nullptr, D3DCLEAR_TARGET | D3DCLEAR_ZBUFFER, 0xFF203040, 1.0f, 0);
  ASSERT_EQ(d->BeginScene(), D3D_OK);
  EXPECT_FALSE(platform::d3d9::RestoreLayer(d));
  DrawWorldQuad(d, -8, -6, 8, 6, 20, 0xFF808080);
  DrawWorldQuad(d, -1, -1, 1, 1, 6, 0xFF00A000);
  EXPECT_TRUE(platform::d3d9::SaveLayer(d));
  d->EndScene();
  ASSERT_EQ(d->Present(nullptr, nullptr, nullptr, nullptr), D3D_OK);
  frame([] {});
  ASSERT_TRUE(gl_.ReadBack());
  EXPECT_TRUE(gl_.pixels() == layerOnly);
  vb->Release();
  ib->Release();
}

// Static buffers give their memory copy back once the GPU holds them; a lock reads it
// back, and a buffer read back keeps it. Dynamic and system-memory buffers keep theirs.
TEST_F(GLDeviceTest, StaticBuffersLeaveTheirBytesToTheGpuUntilLocked) {
  IDirect3DDevice9* d = gl_.device();
  LookAlongZ(d);
  d->SetRenderState(D3DRS_LIGHTING, FALSE);
  d->SetRenderState(D3DRS_CULLMODE, D3DCULL_NONE);
  const D3DMATRIX id = Identity();
  d->SetTransform(D3DTS_WORLD, &id);
  const ColourVertex quad[4] = {{-1, 1, 5, 0xFF20C040, 0, 0},
                                {1, 1, 5, 0xFF20C040, 1, 0},
                                {-1, -1, 5, 0xFF20C040, 0, 1},
                                {1, -1, 5, 0xFF20C040, 1, 1}};
  const WORD indices[6] = {0, 1, 2, 2, 1, 3};
  struct Case {
    const char* name;
    DWORD usage;
    D3DPOOL pool;
    bool released;
  } cases[] = {{"managed", 0, D3DPOOL_MANAGED, true},
               {"default pool", D3DUSAGE_WRITEONLY, D3DPOOL_DEFAULT, true},
               {"dynamic", D3DUSAGE_DYNAMIC, D3DPOOL_DEFAULT, false},
               {"system memory", 0, D3DPOOL_SYSTEMMEM, false}};
  std::vector<std::uint32_t> first;
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    IDirect3DVertexBuffer9* vb = nullptr;
    IDirect3DIndexBuffer9* ib = nullptr;
    ASSERT_EQ(d->CreateVertexBuffer(sizeof quad, c.usage, kColourFvf, c.pool, &vb, nullptr), D3D_OK);
    ASSERT_EQ(d->CreateIndexBuffer(sizeof indices, c.usage, D3DFMT_INDEX16, c.pool, &ib, nullptr),
              D3D_OK);
    void* p = nullptr;
    ASSERT_EQ(vb->Lock(0, 0, &p, 0), D3D_OK);
    std::memcpy(p, quad, sizeof quad);
    vb->Unlock();
    ASSERT_EQ(ib->Lock(0, 0, &p, 0), D3D_OK);
    std::memcpy(p, indices, sizeof indices);
    ib->Unlock();
    auto draw = [&] {
      d->Clear(0, nullptr, D3DCLEAR_TARGET | D3DCLEAR_ZBUFFER, 0xFF000000, 1.0f, 0);
      ASSERT_EQ(d->BeginScene(), D3D_OK);
      d->SetFVF(kColourFvf);
      d->SetStreamSource(0, vb, 0, sizeof(ColourVertex));
      d->SetIndices(ib);
      d->DrawIndexedPrimitive(D3DPT_TRIANGLELIST, 0, 0, 4, 0, 2);
      d->EndScene();
      ASSERT_TRUE(gl_.ReadBack());
    };
    auto* v9 = static_cast<platform::d3d9::VertexBuffer9*>(vb);
    auto* i9 = static_cast<platform::d3d9::IndexBuffer9*>(ib);
    for (int round = 0; round < 2; ++round) {
      draw();
      if (first.empty()) first = gl_.pixels();
      EXPECT_TRUE(gl_.pixels() == first) << "round " << round;
      EXPECT_EQ(v9->BytesReleased(), c.released && round == 0);
      EXPECT_EQ(i9->BytesReleased(), c.released && round == 0);
      EXPECT_EQ(v9->Length(), sizeof quad);
      if (round == 0) {
        // Read back as written; from then on the memory copy stays.
        ASSERT_EQ(vb->Lock(0, 0, &p, D3DLOCK_READONLY), D3D_OK);
        EXPECT_EQ(std::memcmp(p, quad, sizeof quad), 0);
        vb->Unlock();
        ASSERT_EQ(ib->Lock(2, 4, &p, D3DLOCK_READONLY), D3D_OK);
        EXPECT_EQ(std::memcmp(p, indices + 1, 4), 0);
        ib->Unlock();
      }
    }
    D3DVERTEXBUFFER_DESC desc{};
    vb->GetDesc(&desc);
    EXPECT_EQ(desc.Size, sizeof quad);
    vb->Release();
    ib->Release();
  }
  std::size_t lit = 0;
  for (std::uint32_t px : first) lit += px == 0xFF20C040;
  EXPECT_GT(lit, 1000u);
}

// Textures through the OpenGL device: formats, orientation, stage operations, addressing,
// mip levels, texture transforms and generated (sphere-map) coordinates.
#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "gl/GLScene.h"
#include "platform/d3d9/Backend.h"
#include "platform/d3dx9/D3DX9Texture.h"
#include "support/TestImages.h"
#include "support/GLWindow.h"

using namespace gltest;

namespace {

// Makes a managed texture and fills each level from `texel(level, x, y)`.
template <typename Texel, typename F>
IDirect3DTexture9* MakeTexture(IDirect3DDevice9* d, UINT w, UINT h, UINT levels, D3DFORMAT format,
                               F texel) {
  IDirect3DTexture9* t = nullptr;
  if (d->CreateTexture(w, h, levels, 0, format, D3DPOOL_MANAGED, &t, nullptr) != D3D_OK)
    return nullptr;
  for (UINT level = 0; level < t->GetLevelCount(); ++level) {
    D3DSURFACE_DESC desc;
    t->GetLevelDesc(level, &desc);
    D3DLOCKED_RECT r;
    if (t->LockRect(level, &r, nullptr, 0) != D3D_OK) return t;
    for (UINT y = 0; y < desc.Height; ++y) {
      auto* row = reinterpret_cast<Texel*>(static_cast<BYTE*>(r.pBits) + y * r.Pitch);
      for (UINT x = 0; x < desc.Width; ++x) row[x] = texel(level, x, y);
    }
    t->UnlockRect(level);
  }
  return t;
}

class GLTextureTest : public GLDeviceTest {
 protected:
  void SetUp() override {
    GLDeviceTest::SetUp();
    if (IsSkipped() || HasFatalFailure()) return;
    d = gl_.device();
    PlainStates(d);
  }
  IDirect3DDevice9* d = nullptr;
};

}  // namespace

TEST_F(GLTextureTest, TextureModulatesTheDiffuseColourWithItsTopRowAtTheTop) {
  IDirect3DTexture9* t = MakeTexture<DWORD>(d, 2, 2, 1, D3DFMT_A8R8G8B8, [](UINT, UINT x, UINT y) {
    static const DWORD c[2][2] = {{0xFFFF0000, 0xFF00FF00}, {0xFF0000FF, 0xFFFFFFFF}};
    return c[y][x];
  });
  ASSERT_TRUE(t);
  d->SetTexture(0, t);
  d->Clear(0, nullptr, D3DCLEAR_TARGET, 0xFF000000, 1.0f, 0);
  DrawScreenQuad(d, 0, 0, 200, 200, 0xFF808080);
  ASSERT_TRUE(gl_.ReadBack());
  gl_.SaveArtifact("texture_modulate");
  EXPECT_TRUE(ColourNear(gl_.At(50, 50), 0xFF800000));
  EXPECT_TRUE(ColourNear(gl_.At(150, 50), 0xFF008000));
  EXPECT_TRUE(ColourNear(gl_.At(50, 150), 0xFF000080));
  EXPECT_TRUE(ColourNear(gl_.At(150, 150), 0xFF808080));
  d->SetTexture(0, nullptr);
  t->Release();
}

TEST_F(GLTextureTest, FormatsWithoutAlphaAreOpaqueAndSixteenBitFormatsConvert) {
  d->SetRenderState(D3DRS_ALPHABLENDENABLE, TRUE);
  d->SetRenderState(D3DRS_SRCBLEND, D3DBLEND_SRCALPHA);
  d->SetRenderState(D3DRS_DESTBLEND, D3DBLEND_INVSRCALPHA);
  d->Clear(0, nullptr, D3DCLEAR_TARGET, 0xFF0000FF, 1.0f, 0);
  struct Case {
    D3DFORMAT format;
    DWORD texel;  // as stored (16-bit formats in the low half)
    std::uint32_t expected;
  };
  const Case cases[] = {
      {D3DFMT_X8R8G8B8, 0x00FF0000, 0xFFFF0000},  // alpha byte 0, yet opaque
      {D3DFMT_A8R8G8B8, 0x00FF0000, 0xFF0000FF},  // truly transparent
      {D3DFMT_A8R8G8B8, 0x80FF0000, 0xFF80007F},
      {D3DFMT_R5G6B5, 0xF800, 0xFFFF0000},
      {D3DFMT_X1R5G5B5, 0x03E0, 0xFF00FF00},  // top bit clear, yet opaque
      {D3DFMT_A1R5G5B5, 0x83E0, 0xFF00FF00},
      {D3DFMT_A1R5G5B5, 0x03E0, 0xFF0000FF},
      {D3DFMT_A4R4G4B4, 0xFF00, 0xFFFF0000},
      {D3DFMT_L8, 0x40, 0xFF404040},
      {D3DFMT_A8, 0x80, 0xFF00007F},  // black at half alpha over blue
  };
  int i = 0;
  std::vector<IDirect3DTexture9*> textures;
  for (const Case& c : cases) {
    IDirect3DTexture9* t = nullptr;
    if (c.format == D3DFMT_A8R8G8B8 || c.format == D3DFMT_X8R8G8B8) {
      t = MakeTexture<DWORD>(d, 4, 4, 1, c.format, [&](UINT, UINT, UINT) { return c.texel; });
    } else if (c.format == D3DFMT_L8 || c.format == D3DFMT_A8) {
      t = MakeTexture<BYTE>(d, 4, 4, 1, c.format,
                            [&](UINT, UINT, UINT) { return static_cast<BYTE>(c.texel); });
    } else {
      t = MakeTexture<WORD>(d, 4, 4, 1, c.format,
                            [&](UINT, UINT, UINT) { return static_cast<WORD>(c.texel); });
    }
    ASSERT_TRUE(t) << i;
    textures.push_back(t);
    d->SetTexture(0, t);
    DrawScreenQuad(d, 50.0f * i, 0, 50.0f * i + 40, 40, 0xFFFFFFFF);
    ++i;
  }
  ASSERT_TRUE(gl_.ReadBack());
  gl_.SaveArtifact("texture_formats");
  for (i = 0; i < static_cast<int>(std::size(cases)); ++i)
    EXPECT_TRUE(ColourNear(gl_.At(50 * i + 20, 20), cases[i].expected, 3))
        << "case " << i << " format " << cases[i].format;
  d->SetTexture(0, nullptr);
  for (auto* t : textures) t->Release();
}

TEST_F(GLTextureTest, StageOperationsAndArguments) {
  IDirect3DTexture9* red =
      MakeTexture<DWORD>(d, 2, 2, 1, D3DFMT_A8R8G8B8, [](UINT, UINT, UINT) { return 0x80FF0000u; });
  ASSERT_TRUE(red);
  d->Clear(0, nullptr, D3DCLEAR_TARGET, 0xFF000000, 1.0f, 0);
  d->SetRenderState(D3DRS_TEXTUREFACTOR, 0xFF00FF00);

  // The texture factor alone, no texture bound.
  d->SetTextureStageState(0, D3DTSS_COLOROP, D3DTOP_SELECTARG1);
  d->SetTextureStageState(0, D3DTSS_COLORARG1, D3DTA_TFACTOR);
  DrawScreenQuad(d, 0, 0, 40, 40, 0xFFFFFFFF);
  // Its complement.
  d->SetTextureStageState(0, D3DTSS_COLORARG1, D3DTA_TFACTOR | D3DTA_COMPLEMENT);
  DrawScreenQuad(d, 50, 0, 90, 40, 0xFFFFFFFF);
  // Texture times diffuse, then the factor added on the second stage.
  d->SetTexture(0, red);
  d->SetTextureStageState(0, D3DTSS_COLOROP, D3DTOP_MODULATE);
  d->SetTextureStageState(0, D3DTSS_COLORARG1, D3DTA_TEXTURE);
  d->SetTextureStageState(0, D3DTSS_COLORARG2, D3DTA_DIFFUSE);
  d->SetRenderState(D3DRS_TEXTUREFACTOR, 0xFF0000FF);
  d->SetTextureStageState(1, D3DTSS_COLOROP, D3DTOP_ADD);
  d->SetTextureStageState(1, D3DTSS_COLORARG1, D3DTA_CURRENT);
  d->SetTextureStageState(1, D3DTSS_COLORARG2, D3DTA_TFACTOR);
  DrawScreenQuad(d, 100, 0, 140, 40, 0xFFFFFFFF);
  d->SetTextureStageState(1, D3DTSS_COLOROP, D3DTOP_DISABLE);
  // Blend by the texture's alpha between texture and diffuse.
  d->SetTextureStageState(0, D3DTSS_COLOROP, D3DTOP_BLENDTEXTUREALPHA);
  DrawScreenQuad(d, 150, 0, 190, 40, 0xFF0000FF);
  // Alpha replicate: the texture's alpha as a grey.
  d->SetTextureStageState(0, D3DTSS_COLOROP, D3DTOP_SELECTARG1);
  d->SetTextureStageState(0, D3DTSS_COLORARG1, D3DTA_TEXTURE | D3DTA_ALPHAREPLICATE);
  DrawScreenQuad(d, 200, 0, 240, 40, 0xFFFFFFFF);
  // Modulate 2x.
  d->SetTextureStageState(0, D3DTSS_COLOROP, D3DTOP_MODULATE2X);
  d->SetTextureStageState(0, D3DTSS_COLORARG1, D3DTA_TEXTURE);
  DrawScreenQuad(d, 250, 0, 290, 40, 0xFF404040);
  // A disabled first stage shows the diffuse colour even with a texture bound.
  d->SetTextureStageState(0, D3DTSS_COLOROP, D3DTOP_DISABLE);
  DrawScreenQuad(d, 300, 0, 340, 40, 0xFF123456);
  ASSERT_TRUE(gl_.ReadBack());
  gl_.SaveArtifact("texture_stages");
  EXPECT_TRUE(ColourNear(gl_.At(20, 20), 0xFF00FF00));
  EXPECT_TRUE(ColourNear(gl_.At(70, 20), 0xFFFF00FF));
  EXPECT_TRUE(ColourNear(gl_.At(120, 20), 0xFFFF00FF));
  EXPECT_TRUE(ColourNear(gl_.At(170, 20), 0xFF80007F));
  EXPECT_TRUE(ColourNear(gl_.At(220, 20), 0xFF808080));
  EXPECT_TRUE(ColourNear(gl_.At(270, 20), 0xFF800000));
  EXPECT_EQ(gl_.At(320, 20), 0xFF123456u);
  d->SetTexture(0, nullptr);
  red->Release();
}

TEST_F(GLTextureTest, AddressModesAndTextureTransform) {
  // Left texel red, right texel green.
  IDirect3DTexture9* t = MakeTexture<DWORD>(d, 2, 1, 1, D3DFMT_X8R8G8B8, [](UINT, UINT x, UINT) {
    return x == 0 ? 0xFFFF0000u : 0xFF00FF00u;
  });
  ASSERT_TRUE(t);
  d->SetTexture(0, t);
  d->SetSamplerState(0, D3DSAMP_BORDERCOLOR, 0xFF0000FF);
  d->Clear(0, nullptr, D3DCLEAR_TARGET, 0xFF000000, 1.0f, 0);
  struct Case {
    DWORD address;
    std::uint32_t quarters[4];
  };
  const Case cases[] = {
      {D3DTADDRESS_WRAP, {0xFFFF0000, 0xFF00FF00, 0xFFFF0000, 0xFF00FF00}},
      {D3DTADDRESS_MIRROR, {0xFFFF0000, 0xFF00FF00, 0xFF00FF00, 0xFFFF0000}},
      {D3DTADDRESS_CLAMP, {0xFFFF0000, 0xFF00FF00, 0xFF00FF00, 0xFF00FF00}},
      {D3DTADDRESS_BORDER, {0xFFFF0000, 0xFF00FF00, 0xFF0000FF, 0xFF0000FF}},
  };
  float y = 0;
  for (const Case& c : cases) {
    d->SetSamplerState(0, D3DSAMP_ADDRESSU, c.address);
    DrawScreenQuad(d, 0, y, 400, y + 40, 0xFFFFFFFF, 0.5f, 2.0f, 1.0f);
    y += 50;
  }
  // A 2D texture transform takes its translation from the third row: u shifted by half.
  d->SetSamplerState(0, D3DSAMP_ADDRESSU, D3DTADDRESS_WRAP);
  D3DMATRIX shift = Identity();
  shift._31 = 0.5f;
  d->SetTransform(D3DTS_TEXTURE0, &shift);
  d->SetTextureStageState(0, D3DTSS_TEXTURETRANSFORMFLAGS, 2);  // D3DTTFF_COUNT2
  const D3DMATRIX ortho = PixelOrtho(800, 600), id = Identity();
  d->SetTransform(D3DTS_PROJECTION, &ortho);
  d->SetTransform(D3DTS_VIEW, &id);
  d->SetTransform(D3DTS_WORLD, &id);
  const ColourVertex v[4] = {{0, 250, 0.5f, 0xFFFFFFFF, 0, 0},
                             {400, 250, 0.5f, 0xFFFFFFFF, 1, 0},
                             {0, 290, 0.5f, 0xFFFFFFFF, 0, 1},
                             {400, 290, 0.5f, 0xFFFFFFFF, 1, 1}};
  d->SetFVF(kColourFvf);
  d->DrawPrimitiveUP(D3DPT_TRIANGLESTRIP, 2, v, sizeof(ColourVertex));
  ASSERT_TRUE(gl_.ReadBack());
  gl_.SaveArtifact("texture_address");
  for (int row = 0; row < 4; ++row)
    for (int q = 0; q < 4; ++q)
      EXPECT_EQ(gl_.At(50 + 100 * q, 50 * row + 20), cases[row].quarters[q])
          << "address " << cases[row].address << " quarter " << q;
  EXPECT_EQ(gl_.At(100, 270), 0xFF00FF00u);
  EXPECT_EQ(gl_.At(300, 270), 0xFFFF0000u);
  d->SetTexture(0, nullptr);
  t->Release();
}

TEST_F(GLTextureTest, EveryMipLevelIsUploadedAndChangesReachTheScreen) {
  static const DWORD kLevelColour[3] = {0xFFFF0000, 0xFF00FF00, 0xFF0000FF};
  IDirect3DTexture9* t = MakeTexture<DWORD>(
      d, 4, 4, 3, D3DFMT_A8R8G8B8, [](UINT level, UINT, UINT) { return kLevelColour[level]; });
  ASSERT_TRUE(t);
  ASSERT_EQ(t->GetLevelCount(), 3u);
  d->SetTexture(0, t);
  d->SetSamplerState(0, D3DSAMP_MIPFILTER, D3DTEXF_POINT);
  d->Clear(0, nullptr, D3DCLEAR_TARGET, 0xFF000000, 1.0f, 0);
  DrawScreenQuad(d, 10, 10, 14, 14, 0xFFFFFFFF);  // one texel a pixel: level 0
  DrawScreenQuad(d, 20, 10, 22, 12, 0xFFFFFFFF);  // level 1
  DrawScreenQuad(d, 30, 10, 31, 11, 0xFFFFFFFF);  // level 2
  d->SetSamplerState(0, D3DSAMP_MIPFILTER, D3DTEXF_NONE);
  DrawScreenQuad(d, 40, 10, 41, 11, 0xFFFFFFFF);  // no mipmapping: level 0
  ASSERT_TRUE(gl_.ReadBack());
  EXPECT_EQ(gl_.At(12, 12), kLevelColour[0]);
  EXPECT_EQ(gl_.At(20, 10), kLevelColour[1]);
  EXPECT_EQ(gl_.At(30, 10), kLevelColour[2]);
  EXPECT_EQ(gl_.At(40, 10), kLevelColour[0]);

  // Writing level 0 again is seen at the next draw.
  D3DLOCKED_RECT r;
  ASSERT_EQ(t->LockRect(0, &r, nullptr, 0), D3D_OK);
  for (int i = 0; i < 16; ++i) static_cast<DWORD*>(r.pBits)[i] = 0xFFFFFF00;
  t->UnlockRect(0);
  DrawScreenQuad(d, 10, 10, 14, 14, 0xFFFFFFFF);
  ASSERT_TRUE(gl_.ReadBack());
  EXPECT_EQ(gl_.At(12, 12), 0xFFFFFF00u);
  d->SetTexture(0, nullptr);
  t->Release();
}

TEST_F(GLTextureTest, SphereMapFollowsTheNormalInCameraSpace) {
  // Red with a yellow middle: the middle is what a surface facing the camera reflects.
  IDirect3DTexture9* t = MakeTexture<DWORD>(d, 8, 8, 1, D3DFMT_X8R8G8B8, [](UINT, UINT x, UINT y) {
    return x >= 2 && x < 6 && y >= 2 && y < 6 ? 0xFFFFFF00u : 0xFFFF0000u;
  });
  ASSERT_TRUE(t);
  d->SetTexture(0, t);
  const D3DMATRIX id = Identity();
  const D3DMATRIX proj = PerspectiveLH(3.14159265f / 3, 800.0f / 600.0f, 1.0f, 100.0f);
  d->SetTransform(D3DTS_VIEW, &id);
  d->SetTransform(D3DTS_WORLD, &id);
  d->SetTransform(D3DTS_PROJECTION, &proj);
  auto quad = [&](float x, float nx, float nz) {
    const LitVertex v[4] = {{x - 0.5f, 0.5f, 5, nx, 0, nz, 0, 0},
                            {x + 0.5f, 0.5f, 5, nx, 0, nz, 0, 0},
                            {x - 0.5f, -0.5f, 5, nx, 0, nz, 0, 0},
                            {x + 0.5f, -0.5f, 5, nx, 0, nz, 0, 0}};
    d->SetFVF(kLitFvf);
    d->DrawPrimitiveUP(D3DPT_TRIANGLESTRIP, 2, v, sizeof(LitVertex));
  };
  d->Clear(0, nullptr, D3DCLEAR_TARGET, 0xFF000000, 1.0f, 0);
  quad(-1.5f, 0, -1);  // the vertices' own coordinates (0, 0): red
  d->SetTextureStageState(0, D3DTSS_TEXCOORDINDEX, D3DTSS_TCI_SPHEREMAP);
  quad(0, 0, -1);           // facing the camera: the middle
  quad(1.5f, 0.8f, -0.6f);  // turned away to the side: the rim
  ASSERT_TRUE(gl_.ReadBack());
  gl_.SaveArtifact("sphere_map");
  EXPECT_EQ(gl_.At(400 - 195, 300), 0xFFFF0000u);
  EXPECT_EQ(gl_.At(400, 300), 0xFFFFFF00u);
  EXPECT_EQ(gl_.At(400 + 195, 300), 0xFFFF0000u);

  // The same with a right-handed camera (looking along -z) and the reflection laid over a
  // white base texture on the second stage, as reflective models are drawn.
  IDirect3DTexture9* white =
      MakeTexture<DWORD>(d, 2, 2, 1, D3DFMT_X8R8G8B8, [](UINT, UINT, UINT) { return 0xFFFFFFFFu; });
  ASSERT_TRUE(white);
  D3DMATRIX rh{};
  rh._11 = proj._11;
  rh._22 = proj._22;
  rh._33 = 100.0f / (1.0f - 100.0f);
  rh._34 = -1;
  rh._43 = 100.0f / (1.0f - 100.0f);
  d->SetTransform(D3DTS_PROJECTION, &rh);
  d->SetTexture(0, white);
  d->SetTexture(1, t);
  d->SetTextureStageState(0, D3DTSS_TEXCOORDINDEX, 0);
  d->SetTextureStageState(1, D3DTSS_COLOROP, D3DTOP_MODULATE);
  d->SetTextureStageState(1, D3DTSS_TEXCOORDINDEX, D3DTSS_TCI_SPHEREMAP);
  auto rhQuad = [&](float x, float nx, float nz) {
    const LitVertex v[4] = {{x - 0.5f, 0.5f, -5, nx, 0, nz, 0, 0},
                            {x + 0.5f, 0.5f, -5, nx, 0, nz, 0, 0},
                            {x - 0.5f, -0.5f, -5, nx, 0, nz, 0, 0},
                            {x + 0.5f, -0.5f, -5, nx, 0, nz, 0, 0}};
    d->SetFVF(kLitFvf);
    d->DrawPrimitiveUP(D3DPT_TRIANGLESTRIP, 2, v, sizeof(LitVertex));
  };
  d->Clear(0, nullptr, D3DCLEAR_TARGET, 0xFF000000, 1.0f, 0);
  rhQuad(0, 0, 1);
  rhQuad(1.5f, 0.8f, 0.6f);
  ASSERT_TRUE(gl_.ReadBack());
  gl_.SaveArtifact("sphere_map_right_handed");
  EXPECT_EQ(gl_.At(400, 300), 0xFFFFFF00u);
  EXPECT_EQ(gl_.At(400 + 195, 300), 0xFFFF0000u);
  d->SetTexture(0, nullptr);
  d->SetTexture(1, nullptr);
  white->Release();
  t->Release();
}

// Once uploaded, a managed texture's memory copy goes; it survives a device reset on the
// GPU, and a later lock reads back every level bit for bit before anything is written.
TEST_F(GLTextureTest, AnUploadedTextureLivesOnTheGpuAloneAndComesBackWholeWhenLocked) {
  // Level 0's quadrants are plain colours (so the screen can show them); every other
  // byte, alpha included, differs from texel to texel and level to level.
  static const DWORD kQuadrant[2][2] = {{0x80FF0000, 0x4000FF00}, {0xC00000FF, 0x10FFFF00}};
  auto texel = [](UINT level, UINT x, UINT y) -> DWORD {
    if (level == 0) return kQuadrant[y / 4][x / 4];
    return (level * 37 + x * 11 + y * 5) << 24 | (x * 29 + y) << 16 | (y * 31 + level) << 8 |
           (x ^ y ^ level);
  };
  IDirect3DTexture9* t = MakeTexture<DWORD>(d, 8, 8, 0, D3DFMT_A8R8G8B8, texel);
  ASSERT_TRUE(t);
  ASSERT_EQ(t->GetLevelCount(), 4u);
  auto* held = static_cast<platform::d3d9::Texture9*>(t);
  platform::d3d9::UploadTexture(t);
  EXPECT_TRUE(held->PixelsReleased());
  for (const auto& level : held->Levels()) EXPECT_EQ(level.pixels.capacity(), 0u);

  ASSERT_EQ(d->Reset(&gl_.params()), D3D_OK);
  PlainStates(d);
  auto drawAndRead = [&] {
    d->SetTexture(0, t);
    d->Clear(0, nullptr, D3DCLEAR_TARGET, 0xFF000000, 1.0f, 0);
    DrawScreenQuad(d, 0, 0, 80, 80, 0xFFFFFFFF);
    return gl_.ReadBack();
  };
  ASSERT_TRUE(drawAndRead());
  for (int qy = 0; qy < 2; ++qy)
    for (int qx = 0; qx < 2; ++qx)
      EXPECT_EQ(gl_.At(20 + 40 * qx, 20 + 40 * qy) & 0xFFFFFF, kQuadrant[qy][qx] & 0xFFFFFF);

  // A read-only lock of a small level brings every level back exactly.
  D3DLOCKED_RECT r{};
  ASSERT_EQ(t->LockRect(2, &r, nullptr, D3DLOCK_READONLY), D3D_OK);
  t->UnlockRect(2);
  EXPECT_FALSE(held->PixelsReleased());
  for (UINT level = 0; level < 4; ++level) {
    const auto& l = held->Levels()[level];
    for (UINT y = 0; y < l.height; ++y)
      for (UINT x = 0; x < l.width; ++x) {
        DWORD v;
        std::memcpy(&v, l.pixels.data() + (y * l.width + x) * 4, 4);
        ASSERT_EQ(v, texel(level, x, y)) << level << " " << x << "," << y;
      }
  }

  // A texture locked again is written while the game runs: it keeps its copy from now on,
  // and a write to one corner leaves the rest of the level as it was.
  const RECT corner{0, 0, 4, 4};
  ASSERT_EQ(t->LockRect(0, &r, &corner, 0), D3D_OK);
  for (int y = 0; y < 4; ++y)
    for (int x = 0; x < 4; ++x)
      reinterpret_cast<DWORD*>(static_cast<BYTE*>(r.pBits) + y * r.Pitch)[x] = 0xFFFFFFFF;
  t->UnlockRect(0);
  platform::d3d9::UploadTexture(t);
  EXPECT_FALSE(held->PixelsReleased());
  ASSERT_TRUE(drawAndRead());
  EXPECT_EQ(gl_.At(20, 20), 0xFFFFFFFFu);
  EXPECT_EQ(gl_.At(60, 20) & 0xFFFFFF, kQuadrant[0][1] & 0xFFFFFF);
  EXPECT_EQ(gl_.At(60, 60) & 0xFFFFFF, kQuadrant[1][1] & 0xFFFFFF);
  d->SetTexture(0, nullptr);
  t->Release();

  // Pictures loaded from files go to the GPU as soon as they are complete.
  const std::string png = EncodePng(3, 2, {0xFF102030, 0x80405060, 0xFF708090, 0x00A0B0C0,
                                           0xFFD0E0F0, 0x7F000000}, true);
  IDirect3DTexture9* loaded = nullptr;
  ASSERT_EQ(D3DXCreateTextureFromFileInMemoryEx(d, png.data(), static_cast<UINT>(png.size()),
                                                D3DX_DEFAULT, D3DX_DEFAULT, D3DX_DEFAULT, 0,
                                                D3DFMT_UNKNOWN, D3DPOOL_MANAGED, D3DX_DEFAULT,
                                                D3DX_DEFAULT, 0, nullptr, nullptr, &loaded),
            D3D_OK);
  EXPECT_TRUE(static_cast<platform::d3d9::Texture9*>(loaded)->PixelsReleased());
  loaded->Release();
}

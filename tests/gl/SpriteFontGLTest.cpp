// Sprites and text in a real window: a JPEG background stretched over the screen, a PNG
// sprite scaled, rotated, tinted and half transparent on top, and Windows-1252 text in
// two fonts and colours. Checked pixel by pixel on the read-back image.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <string>
#include <vector>

#include "app/GraphicsDevice.h"
#include "engine/gui/Font.h"
#include "engine/gui/Sprite.h"
#include "engine/gui/Texture.h"
#include "platform/d3dx9/D3DX9Sprite.h"
#include "platform/d3dx9/D3DX9Texture.h"
#include "support/GLWindow.h"
#include "support/TestImages.h"

namespace {

constexpr std::uint32_t kLeftBackground = 0xFF145A28u;   // dark green
constexpr std::uint32_t kRightBackground = 0xFF142878u;  // dark blue

class SpriteFontGLTest : public GLDeviceTest {
 protected:
  void SetUp() override {
    GLDeviceTest::SetUp();
    if (IsSkipped() || HasFatalFailure()) return;
    // The engine's sprites and fonts draw through the global graphics device.
    g_graphicsDevice = new GraphicsDevice();
    g_graphicsDevice->device = gl_.device();
    gl_.device()->AddRef();
    ASSERT_EQ(D3DXCreateSprite(gl_.device(), &g_graphicsDevice->sprite), D3D_OK);
  }
  void TearDown() override {
    delete g_graphicsDevice;
    g_graphicsDevice = nullptr;
    GLDeviceTest::TearDown();
  }

  // Pixels within the rectangle whose colour is near `colour`.
  int CountNear(int left, int top, int right, int bottom, std::uint32_t colour, int tolerance) {
    int n = 0;
    for (int y = top; y < bottom; ++y)
      for (int x = left; x < right; ++x)
        if (std::abs(RedOf(gl_.At(x, y)) - RedOf(colour)) <= tolerance &&
            std::abs(GreenOf(gl_.At(x, y)) - GreenOf(colour)) <= tolerance &&
            std::abs(BlueOf(gl_.At(x, y)) - BlueOf(colour)) <= tolerance)
          ++n;
    return n;
  }

  TempDir dir_;
};

TEST_F(SpriteFontGLTest, SpritesAndTextOverAJpegBackground) {
  // Background: 800 × 600 JPEG, green left half, blue right half.
  std::vector<std::uint32_t> background(800 * 600);
  for (int y = 0; y < 600; ++y)
    for (int x = 0; x < 800; ++x)
      background[y * 800 + x] = x < 400 ? kLeftBackground : kRightBackground;
  const std::string jpegPath = dir_.Path() + "/Fondo.jpg";
  ASSERT_TRUE(WriteBytes(jpegPath, EncodeJpeg(800, 600, background)));
  // Sprite picture: 64 × 64 PNG, a white square with a transparent one-texel frame.
  std::vector<std::uint32_t> square(64 * 64, 0x00000000u);
  for (int y = 1; y < 63; ++y)
    for (int x = 1; x < 63; ++x) square[y * 64 + x] = 0xFFFFFFFFu;
  const std::string pngPath = dir_.Path() + "/Cuadro.png";
  ASSERT_TRUE(WriteBytes(pngPath, EncodePng(64, 64, square, true)));

  Texture backgroundTexture, squareTexture;
  ASSERT_TRUE(backgroundTexture.LoadFromFile(jpegPath, D3DX_DEFAULT, 0, D3DX_DEFAULT, 0));
  ASSERT_TRUE(squareTexture.LoadFromFile(pngPath, D3DX_DEFAULT, 0, D3DX_DEFAULT, 0));

  Sprite back;
  ASSERT_TRUE(back.SetTexture(&backgroundTexture));
  ASSERT_TRUE(back.SetSourceRect(ScreenRect{0, 0, 1024, 1024}));
  back.scale = {800.0f / 1024.0f, 600.0f / 1024.0f};

  // Scaled twice, turned 45 degrees about its middle, tinted orange at half opacity.
  Sprite diamond;
  ASSERT_TRUE(diamond.SetTexture(&squareTexture));
  ASSERT_TRUE(diamond.SetSourceRect(ScreenRect{0, 0, 64, 64}));
  diamond.centre = D3DXVECTOR3(32, 32, 0);
  diamond.scale = {2.0f, 2.0f};
  diamond.angle = D3DX_PI / 4;
  diamond.SetPosition(400, 200, 0);
  diamond.colour = D3DXCOLOR(1.0f, 0.5f, 0.0f, 0.5f);

  Font title, greeting;
  ASSERT_TRUE(title.Create("Verdana", 24, Font::kBold | Font::kItalic));
  title.SetPosition(40, 420);
  title.SetColour(1.0f, 1.0f, 0.0f, 1.0f);
  ASSERT_TRUE(greeting.Create("Verdana", 32, Font::kAntialiased));
  greeting.SetPosition(40, 480);
  greeting.SetColour(1.0f, 1.0f, 1.0f, 1.0f);

  IDirect3DDevice9* d = gl_.device();
  d->Clear(0, nullptr, D3DCLEAR_TARGET | D3DCLEAR_ZBUFFER, 0xFFFF00FFu, 1.0f, 0);
  ASSERT_EQ(d->BeginScene(), D3D_OK);
  ASSERT_TRUE(g_graphicsDevice->BeginSprites(D3DXSPRITE_ALPHABLEND));
  back.Draw();
  diamond.Draw();
  ASSERT_TRUE(
      title.DrawText("A\xF1"
                     "adir jugador"));
  ASSERT_TRUE(
      greeting.DrawText("\xA1"
                        "Feliz Navidad!"));
  g_graphicsDevice->EndSprites();
  d->EndScene();
  ASSERT_TRUE(gl_.ReadBack());
  gl_.SaveArtifact("sprite_font_scene");

  // The stretched background covers the whole screen: no clear colour left.
  EXPECT_EQ(CountNear(0, 0, 800, 600, 0xFFFF00FFu, 30), 0);
  EXPECT_TRUE(ColourNear(gl_.At(100, 100), kLeftBackground, 8));
  EXPECT_TRUE(ColourNear(gl_.At(700, 100), kRightBackground, 8));
  EXPECT_TRUE(ColourNear(gl_.At(799, 599), kRightBackground, 8));

  // Half-transparent orange over green: the mean of the two.
  auto blend = [](std::uint32_t bg) {
    const int r = (255 + RedOf(bg)) / 2, g = (128 + GreenOf(bg)) / 2, b = (0 + BlueOf(bg)) / 2;
    return 0xFF000000u | (r << 16) | (g << 8) | b;
  };
  EXPECT_TRUE(ColourNear(gl_.At(380, 200), blend(kLeftBackground), 6));
  EXPECT_TRUE(ColourNear(gl_.At(420, 200), blend(kRightBackground), 6));
  // Rotated: the diamond's tips reach about 88 pixels out along the axes ...
  EXPECT_TRUE(ColourNear(gl_.At(395, 200 - 80), blend(kLeftBackground), 6));
  EXPECT_TRUE(ColourNear(gl_.At(400 + 80, 200), blend(kRightBackground), 6));
  // ... while the corners of an unrotated square would be background.
  EXPECT_TRUE(ColourNear(gl_.At(400 + 55, 200 + 55), kRightBackground, 8));
  EXPECT_TRUE(ColourNear(gl_.At(400 - 55, 200 - 55), kLeftBackground, 8));

  // Text: yellow then white, each within its own band, nothing of it elsewhere.
  EXPECT_GT(CountNear(40, 420, 400, 460, 0xFFFFFF00u, 10), 300);
  EXPECT_EQ(CountNear(40, 480, 400, 540, 0xFFFFFF00u, 10), 0);
  EXPECT_GT(CountNear(40, 480, 400, 540, 0xFFFFFFFFu, 10), 300);
  EXPECT_EQ(CountNear(0, 0, 800, 400, 0xFFFFFFFFu, 10), 0);
  // The text starts at its position (an italic capital may lean a pixel or two left).
  EXPECT_EQ(CountNear(0, 420, 36, 540, 0xFFFFFF00u, 40), 0);
  EXPECT_EQ(CountNear(0, 420, 36, 540, 0xFFFFFFFFu, 40), 0);
  EXPECT_GT(CountNear(40, 420, 60, 460, 0xFFFFFF00u, 10), 20);
  EXPECT_GT(CountNear(40, 480, 60, 540, 0xFFFFFFFFu, 10), 10);
}

}  // namespace

namespace {

// A picture whose device texture is given back and read again, through a device reset
// in between, draws exactly as it did; so does text whose glyph pages were left to the
// device after the first draw, even once a glyph that was not preloaded joins a page.
TEST_F(SpriteFontGLTest, PicturesReadAgainAndPagesLeftToTheDeviceDrawAsBefore) {
  std::vector<std::uint32_t> pattern(300 * 200);
  for (std::size_t i = 0; i < pattern.size(); ++i)
    pattern[i] = static_cast<std::uint32_t>(0x40 + i % 300 * 191 / 300) << 24 |
                 static_cast<std::uint32_t>(i % 251) << 16 |
                 static_cast<std::uint32_t>(i / 300 % 256) << 8 | static_cast<std::uint32_t>(i % 13 * 19);
  const std::string path = dir_.Path() + "/Muestra.png";
  ASSERT_TRUE(WriteBytes(path, EncodePng(300, 200, pattern, true)));
  Texture picture;
  ASSERT_TRUE(picture.LoadFromFile(path, D3DX_DEFAULT, 0, D3DX_DEFAULT, 0));
  Sprite whole, shrunk;
  for (Sprite* s : {&whole, &shrunk}) {
    ASSERT_TRUE(s->SetTexture(&picture));
    ASSERT_TRUE(s->SetSourceRect(ScreenRect{0, 0, 512, 256}));
  }
  whole.SetPosition(10, 10, 0);
  shrunk.scale = {0.3f, 0.3f};  // reads the smaller levels
  shrunk.SetPosition(540, 10, 0);
  Font font;
  ASSERT_TRUE(font.Create("Verdana", 24, Font::kAntialiased));
  font.SetPosition(20, 300);
  font.SetColour(1.0f, 0.9f, 0.2f, 1.0f);

  IDirect3DDevice9* d = gl_.device();
  auto frame = [&](const std::string& text, Font& f) {
    std::vector<std::uint32_t> shot;
    d->Clear(0, nullptr, D3DCLEAR_TARGET | D3DCLEAR_ZBUFFER, 0xFF203040u, 1.0f, 0);
    if (d->BeginScene() != D3D_OK || !g_graphicsDevice->BeginSprites(D3DXSPRITE_ALPHABLEND))
      return shot;
    whole.Draw();
    shrunk.Draw();
    f.DrawText(text);
    g_graphicsDevice->EndSprites();
    d->EndScene();
    if (gl_.ReadBack()) shot = gl_.pixels();
    return shot;
  };
  const auto first = frame("AB09 XYZ", font);
  ASSERT_FALSE(first.empty());
  EXPECT_GT(std::count(first.begin(), first.end(), 0xFF203040u), 0);
  EXPECT_TRUE(frame("AB09 XYZ", font) == first) << "text from pages the device alone holds";

  picture.Unload();
  EXPECT_TRUE(picture.IsUnloaded());
  EXPECT_EQ(picture.texture, nullptr);
  EXPECT_EQ(whole.width, 512);
  const auto without = frame("AB09 XYZ", font);
  EXPECT_FALSE(without == first) << "an unloaded picture draws nothing";
  ASSERT_EQ(d->Reset(&gl_.params()), D3D_OK);
  ASSERT_TRUE(picture.Restore());
  EXPECT_FALSE(picture.IsUnloaded());
  const auto again = frame("AB09 XYZ", font);
  EXPECT_TRUE(again == first) << "the picture read again draws as before";
  gl_.SaveArtifact("picture_read_again");

  // '~' is not preloaded: its page comes back from the device to take it. A font that
  // drew it from the start must give the same picture.
  const auto late = frame("AB09 XYZ~", font);
  Font fresh;
  ASSERT_TRUE(fresh.Create("Verdana", 24, Font::kAntialiased));
  fresh.SetPosition(20, 300);
  fresh.SetColour(1.0f, 0.9f, 0.2f, 1.0f);
  const auto direct = frame("AB09 XYZ~", fresh);
  EXPECT_FALSE(late == first);
  EXPECT_TRUE(late == direct) << "a glyph added after the page went to the device";
}

}  // namespace

// Fonts: creation on the device with the preloaded set, the rectangle and colour
// arithmetic, Windows-1252 text drawn glyph by glyph through the sprite batch.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <set>
#include <string>

#include "app/GraphicsDevice.h"
#include "engine/gui/Font.h"
#include "platform/d3d9/D3D9Headless.h"
#include "platform/d3dx9/D3DX9Font.h"
#include "support/Headless.h"
#include "support/HeadlessDevice.h"

namespace {

using platform::d3d9::Log;

class FontTest : public HeadlessDeviceTest {
 protected:
  // Source rectangles (left, top, right, bottom) and positions of the glyph quads drawn.
  struct GlyphDraw {
    DWORD rect[4];
    float x, y;
    DWORD colour;
    const void* page;
  };
  std::vector<GlyphDraw> GlyphDraws() {
    std::vector<GlyphDraw> out;
    for (const auto& r : Log().Named("ID3DXSprite::Draw"))
      out.push_back({{r.args[1], r.args[2], r.args[3], r.args[4]},
                     r.values[3],
                     r.values[4],
                     r.args[5],
                     r.object});
    return out;
  }
  int Measure(Font& f, const char* text) {
    RECT r{0, 0, 0, 0};
    f.font->DrawTextA(nullptr, text, -1, &r, DT_CALCRECT, 0);
    return r.right - r.left;
  }
};

TEST_F(FontTest, SetPositionKeepsTheRectangleSize) {
  Font f;
  ASSERT_TRUE(f.Create("Verdana", 24, 3));
  EXPECT_EQ(f.rect.left, 0);
  EXPECT_EQ(f.rect.right, 800);
  EXPECT_EQ(f.rect.bottom, 600);
  f.SetPosition(295, 145);
  EXPECT_EQ(f.rect.left, 295);
  EXPECT_EQ(f.rect.top, 145);
  EXPECT_EQ(f.rect.right, 1095);
  EXPECT_EQ(f.rect.bottom, 745);
  f.SetPosition(5, 5);
  EXPECT_EQ(f.rect.right, 805);
  EXPECT_EQ(f.rect.bottom, 605);
}

TEST_F(FontTest, SetColourPacksWithTheSpriteRule) {
  Font f;
  f.SetColour(1.0f, 0.7843138f, 0.0f, 1.0f);
  EXPECT_EQ(f.colour, 0xFFFFC800u);
  f.SetColour(0.0f, 0.0f, 1.0f, 1.0f);
  EXPECT_EQ(f.colour, 0xFF0000FFu);
  f.SetColour(1.2f, -0.1f, 0.5f, 0.0f);
  EXPECT_EQ(f.colour, 0x00FF0080u);
}

TEST_F(FontTest, DrawsEachVisibleCharacterAtTheRectangleTopLeft) {
  Font f;
  ASSERT_TRUE(f.Create("Verdana", 24, 0));
  f.SetPosition(100, 40);
  f.SetColour(0, 0, 1, 1);
  Log().Clear();
  g_graphicsDevice->BeginSprites(D3DXSPRITE_ALPHABLEND);
  ASSERT_TRUE(f.DrawText("Hola 12"));
  g_graphicsDevice->EndSprites();

  // The font resets the batch transform before its glyphs.
  const auto& records = Log().Records();
  auto firstDraw = std::find_if(records.begin(), records.end(), [](const auto& r) {
    return std::strcmp(r.name, "ID3DXSprite::Draw") == 0;
  });
  auto identity = std::find_if(records.begin(), records.end(), [](const auto& r) {
    return std::strcmp(r.name, "ID3DXSprite::SetTransform") == 0;
  });
  ASSERT_NE(identity, records.end());
  EXPECT_LT(identity - records.begin(), firstDraw - records.begin());
  for (int i = 0; i < 16; ++i) EXPECT_FLOAT_EQ(identity->values[i], (i % 5 == 0) ? 1.0f : 0.0f);

  const auto glyphs = GlyphDraws();
  ASSERT_EQ(glyphs.size(), 6u);  // the space draws nothing
  EXPECT_GE(glyphs[0].x, 100.0f);
  EXPECT_LT(glyphs[0].x, 106.0f);
  EXPECT_GE(glyphs[0].y, 40.0f);
  EXPECT_LT(glyphs[0].y, 52.0f);
  for (std::size_t i = 1; i < glyphs.size(); ++i) EXPECT_GT(glyphs[i].x, glyphs[i - 1].x);
  for (const auto& g : glyphs) EXPECT_EQ(g.colour, 0xFF0000FFu);
  // 'H' is a capital of a 24-pixel font: roughly 17 pixels tall.
  const int capital = static_cast<int>(glyphs[0].rect[3] - glyphs[0].rect[1]);
  EXPECT_GE(capital, 15);
  EXPECT_LE(capital, 20);
  EXPECT_GT(Log().Count("DrawPrimitiveUP"), 0);
}

TEST_F(FontTest, PreloadedCharactersNeedNoNewRasterising) {
  Font f;
  ASSERT_TRUE(f.Create("Verdana", 24, 4));
  Log().Clear();
  g_graphicsDevice->BeginSprites(D3DXSPRITE_ALPHABLEND);
  // Letters, digits and every extra character of the set, Windows-1252.
  ASSERT_TRUE(f.DrawText(std::string("Zq9") + Font::kPreloadedCharacters));
  g_graphicsDevice->EndSprites();
  EXPECT_EQ(Log().Count("CreateTexture"), 0);
  // Twelve accented letters and 33 symbols; a lost escape would drop one silently.
  ASSERT_EQ(std::strlen(Font::kPreloadedCharacters), 45u);
  EXPECT_EQ(GlyphDraws().size(), 3u + 45u);
}

TEST_F(FontTest, AccentedLettersAreTheirOwnGlyphs) {
  Font f;
  ASSERT_TRUE(f.Create("Verdana", 24, 4));
  Log().Clear();
  g_graphicsDevice->BeginSprites(D3DXSPRITE_ALPHABLEND);
  f.DrawText("n\xF1N\xD1\x80");  // n ñ N Ñ €
  g_graphicsDevice->EndSprites();
  const auto glyphs = GlyphDraws();
  ASSERT_EQ(glyphs.size(), 5u);
  std::set<std::vector<DWORD>> distinct;
  for (const auto& g : glyphs) distinct.insert({g.rect[0], g.rect[1], g.rect[2], g.rect[3]});
  EXPECT_EQ(distinct.size(), 5u);
  // The tilde rises above the plain letter.
  EXPECT_LT(glyphs[1].y, glyphs[0].y);
  EXPECT_EQ(platform::d3dx9::WindowsCodePageToUnicode(0x80), 0x20ACu);
  EXPECT_EQ(platform::d3dx9::WindowsCodePageToUnicode(0xF1), 0xF1u);
  EXPECT_EQ(platform::d3dx9::WindowsCodePageToUnicode('a'), static_cast<unsigned>('a'));
}

TEST_F(FontTest, CharactersOutsideThePreloadedSetStillDraw) {
  Font f;
  ASSERT_TRUE(f.Create("Verdana", 12, 0));
  Log().Clear();
  g_graphicsDevice->BeginSprites(D3DXSPRITE_ALPHABLEND);
  EXPECT_TRUE(f.DrawText("\xE7\xFC\xDF"));  // ç ü ß
  g_graphicsDevice->EndSprites();
  EXPECT_EQ(GlyphDraws().size(), 3u);
}

TEST_F(FontTest, StyleFlagsChangeTheGlyphs) {
  Font regular, bold, aliased;
  ASSERT_TRUE(regular.Create("Verdana", 24, 4));
  ASSERT_TRUE(bold.Create("Verdana", 24, 1 | 4));
  ASSERT_TRUE(aliased.Create("Verdana", 24, 0));
  D3DXFONT_DESCA d{};
  bold.font->GetDescA(&d);
  EXPECT_EQ(d.Height, -24);
  EXPECT_EQ(d.Weight, 700u);
  EXPECT_EQ(d.Quality, ANTIALIASED_QUALITY);
  EXPECT_STREQ(d.FaceName, "Verdana");
  EXPECT_GT(Measure(bold, "Navidad"), Measure(regular, "Navidad"));

  // Without antialiasing every glyph texel is fully covered or empty.
  Log().Clear();
  g_graphicsDevice->BeginSprites(D3DXSPRITE_ALPHABLEND);
  aliased.DrawText("Sg");
  regular.DrawText("Sg");
  g_graphicsDevice->EndSprites();
  const auto glyphs = GlyphDraws();
  ASSERT_EQ(glyphs.size(), 4u);
  auto alphas = [](const GlyphDraw& g) {
    std::set<unsigned> out;
    auto* page = static_cast<IDirect3DTexture9*>(const_cast<void*>(g.page));
    const RECT r{static_cast<LONG>(g.rect[0]), static_cast<LONG>(g.rect[1]),
                 static_cast<LONG>(g.rect[2]), static_cast<LONG>(g.rect[3])};
    D3DLOCKED_RECT locked{};
    if (FAILED(page->LockRect(0, &locked, &r, D3DLOCK_READONLY))) return out;
    for (LONG y = 0; y < r.bottom - r.top; ++y)
      for (LONG x = 0; x < r.right - r.left; ++x)
        out.insert(static_cast<const BYTE*>(locked.pBits)[y * locked.Pitch + x * 4 + 3]);
    page->UnlockRect(0);
    return out;
  };
  const auto hard = alphas(glyphs[0]);
  const auto smooth = alphas(glyphs[2]);
  EXPECT_TRUE(hard.count(255));
  for (unsigned a : hard) EXPECT_TRUE(a == 0 || a == 255) << a;
  EXPECT_GT(smooth.size(), 2u);
}

TEST_F(FontTest, DescriptionFollowsTheStyleFlags) {
  // No bold flag leaves the weight to the face (0, not 400); no antialiasing flag asks
  // for hard-edged glyphs; one mip level; the face name is cut to 31 characters.
  Font plain;
  ASSERT_TRUE(plain.Create("Verdana", 12, 2));
  D3DXFONT_DESCA d{};
  ASSERT_EQ(plain.font->GetDescA(&d), D3D_OK);
  EXPECT_EQ(d.Height, -12);
  EXPECT_EQ(d.Width, 0u);
  EXPECT_EQ(d.Weight, 0u);
  EXPECT_NE(d.Italic, FALSE);
  EXPECT_EQ(d.MipLevels, 1u);
  EXPECT_EQ(d.Quality, NONANTIALIASED_QUALITY);
  EXPECT_EQ(d.CharSet, 0);
  EXPECT_EQ(d.OutputPrecision, 0);
  EXPECT_EQ(d.PitchAndFamily, 0);

  Font longName;
  const std::string face(40, 'V');
  ASSERT_TRUE(longName.Create(face, 12, 0));
  ASSERT_EQ(longName.font->GetDescA(&d), D3D_OK);
  EXPECT_EQ(std::string(d.FaceName), face.substr(0, 31));
  EXPECT_EQ(d.Italic, FALSE);
}

TEST_F(FontTest, ItalicSlantsTheGlyphs) {
  Font upright, italic;
  ASSERT_TRUE(upright.Create("Verdana", 24, 4));
  ASSERT_TRUE(italic.Create("Verdana", 24, 2 | 4));
  Log().Clear();
  g_graphicsDevice->BeginSprites(D3DXSPRITE_ALPHABLEND);
  upright.DrawText("l");
  italic.DrawText("l");
  g_graphicsDevice->EndSprites();
  const auto glyphs = GlyphDraws();
  ASSERT_EQ(glyphs.size(), 2u);
  // A slanted stem covers more columns than an upright one.
  EXPECT_GT(glyphs[1].rect[2] - glyphs[1].rect[0], glyphs[0].rect[2] - glyphs[0].rect[0] + 2);
}

TEST_F(FontTest, RecreatingReplacesTheFont) {
  Font f;
  ASSERT_TRUE(f.Create("Verdana", 12, 0));
  ID3DXFont* first = f.font;
  first->AddRef();
  ASSERT_TRUE(f.Create("Verdana", 30, 0));
  EXPECT_NE(f.font, first);
  EXPECT_EQ(first->Release(), 0u);  // the font let go of its first D3DX font
}

TEST_F(FontTest, LostAndResetReachTheD3DXFont) {
  Font f;
  ASSERT_TRUE(f.Create("Verdana", 12, 0));
  Log().Clear();
  f.OnLostDevice();
  f.OnResetDevice();
  EXPECT_EQ(Log().Count("ID3DXFont::OnLostDevice"), 1);
  EXPECT_EQ(Log().Count("ID3DXFont::OnResetDevice"), 1);
  // Still draws after the reset.
  g_graphicsDevice->BeginSprites(D3DXSPRITE_ALPHABLEND);
  EXPECT_TRUE(f.DrawText("ok"));
  g_graphicsDevice->EndSprites();
  EXPECT_EQ(GlyphDraws().size(), 2u);
}

class FontWithoutDeviceTest : public HeadlessTest {};

TEST_F(FontWithoutDeviceTest, CreateFailsAndTheFontStaysEmpty) {
  Font f;
  EXPECT_FALSE(f.Create("Verdana", 12, 0));
  EXPECT_EQ(f.font, nullptr);
  EXPECT_EQ(f.rect.right, 0);  // untouched
  EXPECT_FALSE(f.DrawText("nada"));
  f.OnLostDevice();  // safe on an empty font
  f.OnResetDevice();
}

}  // namespace

// Font creation with the preloaded character set, and drawing at the rectangle's
// top-left through the graphics device's sprite batch.
#include "engine/gui/Font.h"

#include <cstring>

#include "app/AppShell.h"
#include "app/GraphicsDevice.h"
#include "platform/d3dx9/D3DX9Font.h"

const char Font::kPreloadedCharacters[] =
    "\xF1\xD1\xE1\xE9\xED\xF3\xFA\xC1\xC9\xCD\xD3\xDA.,;:-_[]()\xBF?\xA1!|\"@#\xB7$%&/\\='{}*^+<>";

Font::~Font() {
  // The device must not call a font that is gone when it is next lost or reset.
  if (g_graphicsDevice) g_graphicsDevice->UnregisterDeviceObject(this);
  if (font) font->Release();
}

bool Font::Create(const std::string& face, int height, std::uint32_t styleFlags) {
  IDirect3DDevice9* device = g_graphicsDevice ? g_graphicsDevice->GetDevice() : nullptr;
  D3DXFONT_DESCA desc{};
  desc.Height = -height;
  desc.Width = 0;
  desc.Weight = (styleFlags & kBold) ? FW_BOLD : FW_DONTCARE;
  desc.MipLevels = 1;
  desc.Italic = (styleFlags & kItalic) ? TRUE : FALSE;
  desc.CharSet = 0;
  desc.OutputPrecision = 0;
  desc.Quality = (styleFlags & kAntialiased) ? ANTIALIASED_QUALITY : NONANTIALIASED_QUALITY;
  desc.PitchAndFamily = 0;
  std::strncpy(desc.FaceName, face.c_str(), sizeof desc.FaceName - 1);

  ID3DXFont* created = nullptr;
  if (FAILED(D3DXCreateFontIndirectA(device, &desc, &created))) return false;
  // Creating a font twice replaces the first instead of leaking it.
  if (font) font->Release();
  font = created;

  AppSettings settings;
  if (AppShell* shell = AppShell::Instance()) settings = shell->GetSettings();
  rect = ScreenRect{0, 0, settings.width, settings.height};

  font->PreloadCharacters('a', 'z');
  font->PreloadCharacters('A', 'Z');
  font->PreloadCharacters('0', '9');
  font->PreloadTextA(kPreloadedCharacters, static_cast<INT>(sizeof kPreloadedCharacters - 1));
  return true;
}

void Font::SetPosition(int x, int y) {
  rect.right += x - rect.left;
  rect.bottom += y - rect.top;
  rect.left = x;
  rect.top = y;
}

void Font::SetColour(float r, float g, float b, float a) {
  colour = static_cast<D3DCOLOR>(D3DXCOLOR(r, g, b, a));
}

bool Font::DrawText(const std::string& text) {
  if (!font) return false;
  ID3DXSprite* sprite = g_graphicsDevice ? g_graphicsDevice->GetSprite() : nullptr;
  if (sprite) {
    // A sprite drawn before may have left its own transform in the batch.
    D3DXMATRIX identity;
    D3DXMatrixIdentity(&identity);
    sprite->SetTransform(&identity);
  }
  RECT r{rect.left, rect.top, rect.right, rect.bottom};
  return font->DrawTextA(sprite, text.data(), static_cast<INT>(text.size()), &r, format, colour) >=
         0;
}

void Font::OnLostDevice() {
  if (font) font->OnLostDevice();
}

void Font::OnResetDevice() {
  if (font) font->OnResetDevice();
}

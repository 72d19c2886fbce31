// ID3DXFont: text in a face matched by name among the installed fonts, rasterised once
// per character into glyph-page textures and drawn as sprites through a sprite batch
// (the caller's, or the font's own). Text is Windows-1252.
#pragma once

#include "platform/d3d9/D3D9.h"
#include "platform/d3dx9/D3DX9Sprite.h"

constexpr DWORD DT_TOP = 0x0;
constexpr DWORD DT_LEFT = 0x0;
constexpr DWORD DT_CENTER = 0x1;
constexpr DWORD DT_RIGHT = 0x2;
constexpr DWORD DT_VCENTER = 0x4;
constexpr DWORD DT_BOTTOM = 0x8;
constexpr DWORD DT_WORDBREAK = 0x10;
constexpr DWORD DT_SINGLELINE = 0x20;
constexpr DWORD DT_EXPANDTABS = 0x40;
constexpr DWORD DT_NOCLIP = 0x100;
constexpr DWORD DT_CALCRECT = 0x400;

constexpr BYTE DEFAULT_QUALITY = 0;
constexpr BYTE DRAFT_QUALITY = 1;
constexpr BYTE PROOF_QUALITY = 2;
constexpr BYTE NONANTIALIASED_QUALITY = 3;
constexpr BYTE ANTIALIASED_QUALITY = 4;
constexpr BYTE CLEARTYPE_QUALITY = 5;

constexpr UINT FW_DONTCARE = 0;
constexpr UINT FW_NORMAL = 400;
constexpr UINT FW_BOLD = 700;

struct D3DXFONT_DESCA {
  INT Height;  // negative: character (em) height in pixels; positive: cell height
  UINT Width;
  UINT Weight;
  UINT MipLevels;
  BOOL Italic;
  BYTE CharSet;
  BYTE OutputPrecision;
  BYTE Quality;
  BYTE PitchAndFamily;
  char FaceName[32];
};

class ID3DXFont : public IUnknown {
 public:
  virtual HRESULT GetDevice(IDirect3DDevice9** device) = 0;
  virtual HRESULT GetDescA(D3DXFONT_DESCA* desc) = 0;
  // Rasterises the characters first … last (Windows-1252 codes below 256) into the cache.
  virtual HRESULT PreloadCharacters(UINT first, UINT last) = 0;
  // Rasterises the characters of the text (count −1: up to the terminating zero).
  virtual HRESULT PreloadTextA(const char* text, INT count) = 0;
  // Draws the text in rect with the DT_ format through the sprite (null: the font's own
  // batch) in the colour; returns the height of the text in pixels, 0 on failure.
  // DT_CALCRECT only measures, widening or narrowing rect to the text.
  virtual INT DrawTextA(ID3DXSprite* sprite, const char* text, INT count, RECT* rect, DWORD format,
                        D3DCOLOR colour) = 0;
  virtual HRESULT OnLostDevice() = 0;
  virtual HRESULT OnResetDevice() = 0;
};

// Fails with D3DERR_INVALIDCALL for a null device, description or out pointer, and with
// D3DXERR_INVALIDDATA when no installed face can be opened.
HRESULT D3DXCreateFontIndirectA(IDirect3DDevice9* device, const D3DXFONT_DESCA* desc,
                                ID3DXFont** font);

namespace platform::d3dx9 {

// The Unicode code point of a Windows-1252 byte.
unsigned WindowsCodePageToUnicode(unsigned char c);

}  // namespace platform::d3dx9

// Fonts on FreeType and fontconfig: the face is matched by family, weight and slant
// (synthesised when the match lacks them), glyphs are rendered once into 512 × 512
// A8R8G8B8 pages (white, coverage in alpha) and drawn as sprites. Every DrawTextA is
// written to the headless call log as "ID3DXFont::DrawTextA".
#include "platform/d3dx9/D3DX9Font.h"

#include <fontconfig/fontconfig.h>
#include <ft2build.h>
#include FT_FREETYPE_H
#include FT_OUTLINE_H
#include FT_SYNTHESIS_H

#include <algorithm>
#include <cstring>
#include <string>
#include <unordered_map>
#include <vector>

#include "platform/d3d9/Backend.h"
#include "platform/d3d9/D3D9Headless.h"

namespace platform::d3dx9 {

unsigned WindowsCodePageToUnicode(unsigned char c) {
  static constexpr unsigned short kHigh[32] = {
      0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
      0x2039, 0x0152, 0x008D, 0x017D, 0x008F, 0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
      0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178};
  return (c >= 0x80 && c < 0xA0) ? kHigh[c - 0x80] : c;
}

}  // namespace platform::d3dx9

namespace {

using platform::d3d9::Record;
using platform::d3dx9::WindowsCodePageToUnicode;

// Glyph pages: the small side for fonts whose glyphs are at most a quarter of it (a few
// hundred glyphs of the game's text size fit, in a quarter of the memory), else the large.
constexpr UINT kSmallPage = 256, kLargePage = 512;
constexpr int kMaxPixelHeight = 256;  // larger requests are clamped: a glyph must fit a page
constexpr UINT kMaxPreloadRange = 0x10000;

FT_Library Library() {
  // One library for the process; FreeType needs no display, so headless fonts rasterise too.
  static FT_Library library = [] {
    FT_Library lib = nullptr;
    if (FT_Init_FreeType(&lib) != 0) lib = nullptr;
    return lib;
  }();
  return library;
}

struct FaceMatch {
  std::string file;
  int index = 0;
  bool bold = false;    // the matched face already is bold
  bool italic = false;  // the matched face already slants
};

// The installed face closest to the family, weight and slant asked for.
bool MatchFace(const char* family, UINT weight, bool italic, FaceMatch* out) {
  if (!FcInit()) return false;
  FcPattern* pattern = FcPatternCreate();
  if (!pattern) return false;
  if (family && *family)
    FcPatternAddString(pattern, FC_FAMILY, reinterpret_cast<const FcChar8*>(family));
  const int fcWeight = weight == 0
                           ? FC_WEIGHT_REGULAR
                           : FcWeightFromOpenType(static_cast<int>(std::min(weight, 1000u)));
  FcPatternAddInteger(pattern, FC_WEIGHT, fcWeight);
  FcPatternAddInteger(pattern, FC_SLANT, italic ? FC_SLANT_ITALIC : FC_SLANT_ROMAN);
  FcPatternAddBool(pattern, FC_SCALABLE, FcTrue);
  FcConfigSubstitute(nullptr, pattern, FcMatchPattern);
  FcDefaultSubstitute(pattern);
  FcResult result = FcResultNoMatch;
  FcPattern* match = FcFontMatch(nullptr, pattern, &result);
  FcPatternDestroy(pattern);
  if (!match) return false;
  FcChar8* file = nullptr;
  bool ok = FcPatternGetString(match, FC_FILE, 0, &file) == FcResultMatch && file;
  if (ok) {
    out->file = reinterpret_cast<const char*>(file);
    int index = 0, matchedWeight = FC_WEIGHT_REGULAR, slant = FC_SLANT_ROMAN;
    FcPatternGetInteger(match, FC_INDEX, 0, &index);
    FcPatternGetInteger(match, FC_WEIGHT, 0, &matchedWeight);
    FcPatternGetInteger(match, FC_SLANT, 0, &slant);
    out->index = index;
    out->bold = matchedWeight >= FC_WEIGHT_DEMIBOLD;
    out->italic = slant != FC_SLANT_ROMAN;
  }
  FcPatternDestroy(match);
  return ok;
}

struct Glyph {
  int page = -1;          // −1: nothing to draw (a space, or a glyph that failed)
  RECT source{};          // texels in the page
  int left = 0, top = 0;  // bitmap offset from the pen position on the baseline
  int advance = 0;        // pixels
};

class Font9 final : public RefCounted<ID3DXFont> {
 public:
  Font9(IDirect3DDevice9* device, const D3DXFONT_DESCA& desc, FT_Face face, bool emboldening,
        bool slanting)
      : device_(device), desc_(desc), face_(face), embolden_(emboldening), slant_(slanting) {
    device_->AddRef();
    antialiased_ = desc.Quality != NONANTIALIASED_QUALITY;
    const FT_Size_Metrics& m = face_->size->metrics;
    ascent_ = static_cast<int>((m.ascender + 63) >> 6);
    lineHeight_ = static_cast<int>((m.height + 63) >> 6);
    const long cell = std::max<long>(lineHeight_, (m.max_advance + 63) >> 6);
    pageSize_ = cell * 4 <= static_cast<long>(kSmallPage) ? kSmallPage : kLargePage;
    if (slant_) {
      // The usual synthetic italic: x += 0.2 × y.
      FT_Matrix shear{0x10000, 0x0366A, 0, 0x10000};
      FT_Set_Transform(face_, &shear, nullptr);
    }
  }

  ~Font9() override {
    ReleasePages();
    if (ownSprite_) ownSprite_->Release();
    FT_Done_Face(face_);
    device_->Release();
  }

  HRESULT GetDevice(IDirect3DDevice9** device) override {
    if (!device) return D3DERR_INVALIDCALL;
    device_->AddRef();
    *device = device_;
    return D3D_OK;
  }

  HRESULT GetDescA(D3DXFONT_DESCA* desc) override {
    if (!desc) return D3DERR_INVALIDCALL;
    *desc = desc_;
    return D3D_OK;
  }

  HRESULT PreloadCharacters(UINT first, UINT last) override {
    if (last < first) return D3D_OK;
    last = std::min(last, first + kMaxPreloadRange);
    for (UINT c = first; c <= last; ++c)
      GlyphFor(c < 256 ? WindowsCodePageToUnicode(static_cast<unsigned char>(c)) : c);
    return D3D_OK;
  }

  HRESULT PreloadTextA(const char* text, INT count) override {
    if (!text) return D3DERR_INVALIDCALL;
    const std::size_t n = count < 0 ? std::strlen(text) : static_cast<std::size_t>(count);
    for (std::size_t i = 0; i < n; ++i)
      GlyphFor(WindowsCodePageToUnicode(static_cast<unsigned char>(text[i])));
    return D3D_OK;
  }

  INT DrawTextA(ID3DXSprite* sprite, const char* text, INT count, RECT* rect, DWORD format,
                D3DCOLOR colour) override {
    Record("ID3DXFont::DrawTextA",
           {rect ? static_cast<DWORD>(rect->left) : 0u, rect ? static_cast<DWORD>(rect->top) : 0u,
            format, colour, static_cast<DWORD>(count)},
           sprite);
    if (!text || !rect) return 0;
    const std::size_t n = count < 0 ? std::strlen(text) : static_cast<std::size_t>(count);

    // Lines and their widths, for alignment and for DT_CALCRECT.
    lines_.clear();
    std::size_t start = 0;
    for (std::size_t i = 0; i <= n; ++i) {
      if (i == n || (!(format & DT_SINGLELINE) && text[i] == '\n')) {
        std::size_t end = i;
        if (end > start && text[end - 1] == '\r') --end;
        lines_.push_back({start, end, MeasureLine(text, start, end)});
        start = i + 1;
      }
    }
    const int height = static_cast<int>(lines_.size()) * lineHeight_;
    if (format & DT_CALCRECT) {
      int widest = 0;
      for (const Line& l : lines_) widest = std::max(widest, l.width);
      rect->right = rect->left + widest;
      rect->bottom = rect->top + height;
      return height;
    }

    ID3DXSprite* batch = sprite;
    if (!batch) {
      if (!ownSprite_ && FAILED(D3DXCreateSprite(device_, &ownSprite_))) return 0;
      batch = ownSprite_;
      if (FAILED(batch->Begin(D3DXSPRITE_ALPHABLEND))) return 0;
    }

    int y = rect->top;
    if (format & DT_BOTTOM)
      y = rect->bottom - height;
    else if (format & DT_VCENTER)
      y = rect->top + (rect->bottom - rect->top - height) / 2;
    for (const Line& line : lines_) {
      int x = rect->left;
      if (format & DT_RIGHT)
        x = rect->right - line.width;
      else if (format & DT_CENTER)
        x = rect->left + (rect->right - rect->left - line.width) / 2;
      const int baseline = y + ascent_;
      for (std::size_t i = line.start; i < line.end; ++i) {
        const Glyph& g = GlyphFor(WindowsCodePageToUnicode(static_cast<unsigned char>(text[i])));
        if (g.page >= 0) {
          const D3DXVECTOR3 position(static_cast<float>(x + g.left),
                                     static_cast<float>(baseline - g.top), 0.0f);
          batch->Draw(pages_[g.page], &g.source, nullptr, &position, colour);
        }
        x += g.advance;
      }
      y += lineHeight_;
    }
    SettlePages();
    if (!sprite) batch->End();
    return height;
  }

  HRESULT OnLostDevice() override {
    Record("ID3DXFont::OnLostDevice", {});
    // The glyph pages are managed textures and survive a reset; only the own batch is told.
    if (ownSprite_) ownSprite_->OnLostDevice();
    return D3D_OK;
  }

  HRESULT OnResetDevice() override {
    Record("ID3DXFont::OnResetDevice", {});
    if (ownSprite_) ownSprite_->OnResetDevice();
    return D3D_OK;
  }

 private:
  struct Line {
    std::size_t start, end;
    int width;
  };

  int MeasureLine(const char* text, std::size_t start, std::size_t end) {
    int width = 0;
    for (std::size_t i = start; i < end; ++i)
      width += GlyphFor(WindowsCodePageToUnicode(static_cast<unsigned char>(text[i]))).advance;
    return width;
  }

  const Glyph& GlyphFor(unsigned codePoint) {
    auto it = glyphs_.find(codePoint);
    if (it != glyphs_.end()) return it->second;
    return glyphs_.emplace(codePoint, Rasterise(codePoint)).first->second;
  }

  Glyph Rasterise(unsigned codePoint) {
    Glyph g;
    const FT_UInt index = FT_Get_Char_Index(face_, codePoint);
    FT_Int32 flags = FT_LOAD_DEFAULT | (antialiased_ ? FT_LOAD_TARGET_NORMAL : FT_LOAD_TARGET_MONO);
    if (FT_Load_Glyph(face_, index, flags) != 0) return g;
    FT_GlyphSlot slot = face_->glyph;
    if (embolden_) FT_GlyphSlot_Embolden(slot);
    g.advance = static_cast<int>((slot->advance.x + 32) >> 6);
    // A blank such as the space: the monochrome renderer would still make a 1 × 1 bitmap.
    if (slot->format == FT_GLYPH_FORMAT_OUTLINE && slot->outline.n_points == 0) return g;
    if (FT_Render_Glyph(slot, antialiased_ ? FT_RENDER_MODE_NORMAL : FT_RENDER_MODE_MONO) != 0)
      return g;
    const FT_Bitmap& bitmap = slot->bitmap;
    if (bitmap.width == 0 || bitmap.rows == 0) return g;
    g.left = slot->bitmap_left;
    g.top = slot->bitmap_top;
    if (!Place(bitmap.width, bitmap.rows, &g)) return g;
    Upload(bitmap, g);
    return g;
  }

  // Finds room for a w × h glyph on the shelves of the last page, opening a new page
  // when it is full. One texel of space keeps filtered neighbours apart.
  bool Place(UINT w, UINT h, Glyph* g) {
    if (w + 2 > pageSize_ || h + 2 > pageSize_) return false;
    if (pages_.empty() || !Fits(w, h)) {
      IDirect3DTexture9* page = nullptr;
      if (FAILED(device_->CreateTexture(pageSize_, pageSize_, 1, 0, D3DFMT_A8R8G8B8,
                                        D3DPOOL_MANAGED, &page, nullptr)))
        return false;
      pages_.push_back(page);
      shelfX_ = 1;
      shelfY_ = 1;
      shelfHeight_ = 0;
    }
    if (shelfX_ + w + 1 > pageSize_) {
      shelfY_ += shelfHeight_ + 1;
      shelfX_ = 1;
      shelfHeight_ = 0;
    }
    g->page = static_cast<int>(pages_.size()) - 1;
    g->source = RECT{static_cast<LONG>(shelfX_), static_cast<LONG>(shelfY_),
                     static_cast<LONG>(shelfX_ + w), static_cast<LONG>(shelfY_ + h)};
    shelfX_ += w + 1;
    shelfHeight_ = std::max(shelfHeight_, h);
    return true;
  }

  bool Fits(UINT w, UINT h) const {
    if (shelfX_ + w + 1 <= pageSize_ && shelfY_ + std::max(shelfHeight_, h) + 1 <= pageSize_)
      return true;
    return shelfY_ + shelfHeight_ + 1 + h + 1 <= pageSize_;
  }

  void Upload(const FT_Bitmap& bitmap, const Glyph& g) {
    IDirect3DTexture9* page = pages_[g.page];
    D3DLOCKED_RECT locked{};
    if (FAILED(page->LockRect(0, &locked, &g.source, 0))) return;
    for (unsigned y = 0; y < bitmap.rows; ++y) {
      const unsigned char* src = bitmap.buffer + static_cast<std::ptrdiff_t>(y) * bitmap.pitch;
      auto* dst = reinterpret_cast<std::uint32_t*>(static_cast<BYTE*>(locked.pBits) +
                                                   static_cast<std::size_t>(y) * locked.Pitch);
      for (unsigned x = 0; x < bitmap.width; ++x) {
        unsigned coverage;
        if (bitmap.pixel_mode == FT_PIXEL_MODE_MONO)
          coverage = (src[x >> 3] & (0x80u >> (x & 7))) ? 255u : 0u;
        else
          coverage = src[x];
        dst[x] = (coverage << 24) | 0x00FFFFFFu;
      }
    }
    page->UnlockRect(0);
    pagesWritten_ = true;
  }

  // Pages complete for now go to the device, which may then drop their memory copies; in
  // the usual case every glyph was preloaded, so that happens at the first draw and a
  // page is never written again (a later glyph reads its page back once and keeps it).
  void SettlePages() {
    if (!pagesWritten_) return;
    for (IDirect3DTexture9* page : pages_) platform::d3d9::UploadTexture(page);
    pagesWritten_ = false;
  }

  void ReleasePages() {
    for (IDirect3DTexture9* page : pages_) page->Release();
    pages_.clear();
  }

  IDirect3DDevice9* device_;  // holds a reference
  D3DXFONT_DESCA desc_;
  FT_Face face_;  // owned
  bool embolden_;
  bool slant_;
  bool antialiased_ = true;
  int ascent_ = 0;
  int lineHeight_ = 0;
  std::unordered_map<unsigned, Glyph> glyphs_;
  std::vector<IDirect3DTexture9*> pages_;  // owned
  UINT pageSize_ = kLargePage;
  bool pagesWritten_ = false;  // a glyph went into a page since the last SettlePages
  UINT shelfX_ = 1, shelfY_ = 1, shelfHeight_ = 0;
  ID3DXSprite* ownSprite_ = nullptr;  // for DrawTextA without a sprite; owned
  std::vector<Line> lines_;           // reused by every DrawTextA
};

}  // namespace

HRESULT D3DXCreateFontIndirectA(IDirect3DDevice9* device, const D3DXFONT_DESCA* desc,
                                ID3DXFont** font) {
  if (font) *font = nullptr;
  if (!device || !desc || !font) return D3DERR_INVALIDCALL;
  FT_Library library = Library();
  if (!library) return D3DXERR_INVALIDDATA;

  char family[32];
  std::memcpy(family, desc->FaceName, sizeof family);
  family[31] = '\0';
  const bool wantBold = desc->Weight >= 600;
  FaceMatch match;
  if (!MatchFace(family, desc->Weight, desc->Italic != FALSE, &match)) return D3DXERR_INVALIDDATA;
  FT_Face face = nullptr;
  if (FT_New_Face(library, match.file.c_str(), match.index, &face) != 0) return D3DXERR_INVALIDDATA;
  if (!FT_IS_SCALABLE(face)) {
    FT_Done_Face(face);
    return D3DXERR_INVALIDDATA;
  }

  // Negative: the em height in pixels. Positive: the cell (ascent + descent) height.
  // Zero: a default size.
  int pixels = desc->Height < 0 ? -desc->Height : desc->Height;
  if (pixels == 0) pixels = 16;
  if (desc->Height > 0 && face->ascender - face->descender > 0)
    pixels = static_cast<int>(static_cast<long>(pixels) * face->units_per_EM /
                              (face->ascender - face->descender));
  pixels = std::clamp(pixels, 1, kMaxPixelHeight);
  if (FT_Set_Pixel_Sizes(face,
                         desc->Width > 0 ? std::min<UINT>(desc->Width * 2, kMaxPixelHeight) : 0,
                         static_cast<FT_UInt>(pixels)) != 0) {
    FT_Done_Face(face);
    return D3DXERR_INVALIDDATA;
  }
  *font = new Font9(device, *desc, face, wantBold && !match.bold,
                    desc->Italic != FALSE && !match.italic);
  return D3D_OK;
}

// fontconfig loses a few hundred bytes once while parsing its configuration files; that
// is the library's, not ours, so leak checks in sanitizer builds leave it out. Unused
// (and harmless) in other builds.
extern "C" const char* __lsan_default_suppressions() { return "leak:libfontconfig.so\n"; }

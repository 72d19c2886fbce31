// Texture loading: decode (libpng / libjpeg), colour key, resample to the texture size
// with a separable filter, build the mip chain, upload through LockRect.
#include "platform/d3dx9/D3DX9Texture.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <string>
#include <vector>

#include "platform/FileSystem.h"
#include "platform/image/JpegReader.h"
#include "platform/image/PngReader.h"

namespace {

using platform::image::DecodedImage;

constexpr std::size_t kMaxFileBytes = 64u * 1024u * 1024u;

// A picture in floating point, four channels a, r, g, b per pixel, for filtering.
struct FloatImage {
  std::uint32_t width = 0;
  std::uint32_t height = 0;
  std::vector<float> channels;  // width × height × 4
};

FloatImage ToFloat(const DecodedImage& image) {
  FloatImage f;
  f.width = image.width;
  f.height = image.height;
  f.channels.resize(image.pixels.size() * 4);
  float* c = f.channels.data();
  for (std::uint32_t p : image.pixels) {
    *c++ = static_cast<float>(p >> 24);
    *c++ = static_cast<float>((p >> 16) & 0xFF);
    *c++ = static_cast<float>((p >> 8) & 0xFF);
    *c++ = static_cast<float>(p & 0xFF);
  }
  return f;
}

// One output sample's contributions along an axis.
struct Taps {
  std::vector<std::uint32_t> first;  // per output sample: index into `source`/`weight`
  std::vector<std::uint32_t> count;
  std::vector<std::uint32_t> source;
  std::vector<float> weight;
};

// The weights that map `from` samples onto `to` samples along one axis. Triangle: a tent
// as wide as one source sample when enlarging, as one output sample when shrinking. Box:
// the area each output sample covers. Point: the nearest sample.
Taps MakeTaps(std::uint32_t from, std::uint32_t to, DWORD kind) {
  Taps t;
  t.first.resize(to);
  t.count.resize(to);
  const double scale = static_cast<double>(from) / to;
  for (std::uint32_t d = 0; d < to; ++d) {
    t.first[d] = static_cast<std::uint32_t>(t.source.size());
    const double centre = (d + 0.5) * scale;  // in source units, pixel centres at +0.5
    if (kind == D3DX_FILTER_POINT) {
      const auto s = std::min<std::uint32_t>(from - 1, static_cast<std::uint32_t>(centre));
      t.source.push_back(s);
      t.weight.push_back(1.0f);
    } else if (kind == D3DX_FILTER_BOX) {
      const double lo = d * scale, hi = (d + 1) * scale;
      double total = 0;
      const auto begin = static_cast<std::uint32_t>(std::floor(lo));
      for (std::uint32_t s = begin; s < from && s < hi; ++s) {
        const double w = std::min<double>(hi, s + 1.0) - std::max<double>(lo, s);
        if (w <= 0) continue;
        t.source.push_back(s);
        t.weight.push_back(static_cast<float>(w));
        total += w;
      }
      for (std::uint32_t i = t.first[d]; i < t.source.size(); ++i)
        t.weight[i] = static_cast<float>(t.weight[i] / total);
    } else {
      const double radius = std::max(1.0, scale);
      const double lo = centre - radius, hi = centre + radius;
      double total = 0;
      for (double s = std::floor(lo); s <= hi; s += 1.0) {
        const double w = 1.0 - std::fabs(s + 0.5 - centre) / radius;
        if (w <= 0) continue;
        // Clamp at the edges: the border sample stands in for what lies beyond.
        const auto index = static_cast<std::uint32_t>(std::clamp(s, 0.0, from - 1.0));
        t.source.push_back(index);
        t.weight.push_back(static_cast<float>(w));
        total += w;
      }
      for (std::uint32_t i = t.first[d]; i < t.source.size(); ++i)
        t.weight[i] = static_cast<float>(t.weight[i] / total);
    }
    t.count[d] = static_cast<std::uint32_t>(t.source.size()) - t.first[d];
  }
  return t;
}

DWORD FilterKind(DWORD filter, DWORD fallback) {
  if (filter == D3DX_DEFAULT) return fallback;
  const DWORD kind = filter & 0xFF;
  return (kind >= D3DX_FILTER_NONE && kind <= D3DX_FILTER_BOX) ? kind : fallback;
}

// Resamples to width × height with the filter kind (not NONE).
FloatImage Resample(const FloatImage& src, std::uint32_t width, std::uint32_t height, DWORD kind) {
  if (kind == D3DX_FILTER_LINEAR) kind = D3DX_FILTER_TRIANGLE;
  if (src.width == width && src.height == height) return src;
  // Horizontal pass: src.height rows of `width` samples.
  const Taps hx = MakeTaps(src.width, width, kind);
  std::vector<float> rows(static_cast<std::size_t>(width) * src.height * 4);
  for (std::uint32_t y = 0; y < src.height; ++y) {
    const float* in = src.channels.data() + static_cast<std::size_t>(y) * src.width * 4;
    float* out = rows.data() + static_cast<std::size_t>(y) * width * 4;
    for (std::uint32_t x = 0; x < width; ++x) {
      float acc[4] = {0, 0, 0, 0};
      for (std::uint32_t i = hx.first[x]; i < hx.first[x] + hx.count[x]; ++i) {
        const float* s = in + static_cast<std::size_t>(hx.source[i]) * 4;
        const float w = hx.weight[i];
        for (int c = 0; c < 4; ++c) acc[c] += s[c] * w;
      }
      std::memcpy(out + static_cast<std::size_t>(x) * 4, acc, sizeof acc);
    }
  }
  // Vertical pass.
  const Taps vy = MakeTaps(src.height, height, kind);
  FloatImage dst;
  dst.width = width;
  dst.height = height;
  dst.channels.assign(static_cast<std::size_t>(width) * height * 4, 0.0f);
  for (std::uint32_t y = 0; y < height; ++y) {
    float* out = dst.channels.data() + static_cast<std::size_t>(y) * width * 4;
    for (std::uint32_t i = vy.first[y]; i < vy.first[y] + vy.count[y]; ++i) {
      const float* in = rows.data() + static_cast<std::size_t>(vy.source[i]) * width * 4;
      const float w = vy.weight[i];
      for (std::size_t k = 0; k < static_cast<std::size_t>(width) * 4; ++k) out[k] += in[k] * w;
    }
  }
  return dst;
}

// The image placed at the top-left of a width × height surface, the rest transparent
// black (D3DX_FILTER_NONE).
FloatImage Place(const FloatImage& src, std::uint32_t width, std::uint32_t height) {
  FloatImage dst;
  dst.width = width;
  dst.height = height;
  dst.channels.assign(static_cast<std::size_t>(width) * height * 4, 0.0f);
  const std::uint32_t w = std::min(width, src.width), h = std::min(height, src.height);
  for (std::uint32_t y = 0; y < h; ++y)
    std::memcpy(dst.channels.data() + static_cast<std::size_t>(y) * width * 4,
                src.channels.data() + static_cast<std::size_t>(y) * src.width * 4,
                static_cast<std::size_t>(w) * 4 * sizeof(float));
  return dst;
}

std::uint8_t ToByte(float v) {
  if (v <= 0.0f) return 0;
  if (v >= 255.0f) return 255;
  return static_cast<std::uint8_t>(v + 0.5f);
}

HRESULT Upload(IDirect3DTexture9* texture, UINT level, const FloatImage& image, bool opaque) {
  D3DLOCKED_RECT locked{};
  if (FAILED(texture->LockRect(level, &locked, nullptr, 0))) return D3DERR_INVALIDCALL;
  for (std::uint32_t y = 0; y < image.height; ++y) {
    auto* row = static_cast<BYTE*>(locked.pBits) + static_cast<std::size_t>(y) * locked.Pitch;
    const float* c = image.channels.data() + static_cast<std::size_t>(y) * image.width * 4;
    for (std::uint32_t x = 0; x < image.width; ++x, c += 4) {
      // Memory order of A8R8G8B8 is b, g, r, a.
      row[x * 4 + 0] = ToByte(c[3]);
      row[x * 4 + 1] = ToByte(c[2]);
      row[x * 4 + 2] = ToByte(c[1]);
      row[x * 4 + 3] = opaque ? 0xFF : ToByte(c[0]);
    }
  }
  return texture->UnlockRect(level);
}

UINT NextPowerOfTwo(UINT v) {
  UINT p = 1;
  while (p < v) p <<= 1;
  return p;
}

UINT TextureSide(UINT requested, UINT imageSide) {
  if (requested == D3DX_DEFAULT || requested == 0) return NextPowerOfTwo(imageSide);
  if (requested == D3DX_DEFAULT_NONPOW2 || requested == D3DX_FROM_FILE) return imageSide;
  return requested;
}

HRESULT CreateFromImage(IDirect3DDevice9* device, DecodedImage& image,
                        D3DXIMAGE_FILEFORMAT fileFormat, UINT width, UINT height, UINT mipLevels,
                        DWORD usage, D3DFORMAT format, D3DPOOL pool, DWORD filter, DWORD mipFilter,
                        D3DCOLOR colorKey, D3DXIMAGE_INFO* srcInfo, IDirect3DTexture9** texture) {
  if (srcInfo) {
    *srcInfo = D3DXIMAGE_INFO{};
    srcInfo->Width = image.width;
    srcInfo->Height = image.height;
    srcInfo->Depth = 1;
    srcInfo->MipLevels = 1;
    srcInfo->Format = image.hasAlpha ? D3DFMT_A8R8G8B8 : D3DFMT_X8R8G8B8;
    srcInfo->ResourceType = D3DRTYPE_TEXTURE;
    srcInfo->ImageFileFormat = fileFormat;
  }

  bool keyed = false;
  if (colorKey != 0) {
    for (std::uint32_t& p : image.pixels) {
      if (p == colorKey) {
        p = 0;
        keyed = true;
      }
    }
  }
  if (format == D3DFMT_UNKNOWN)
    format = (image.hasAlpha || keyed) ? D3DFMT_A8R8G8B8 : D3DFMT_X8R8G8B8;
  if (format != D3DFMT_A8R8G8B8 && format != D3DFMT_X8R8G8B8) return D3DERR_INVALIDCALL;

  const UINT w = TextureSide(width, image.width);
  const UINT h = TextureSide(height, image.height);
  if (w == 0 || h == 0 || w > platform::image::kMaxImageSide || h > platform::image::kMaxImageSide)
    return D3DERR_INVALIDCALL;
  const UINT levels = (mipLevels == D3DX_DEFAULT) ? 0 : mipLevels;

  IDirect3DTexture9* created = nullptr;
  HRESULT hr = device->CreateTexture(w, h, levels, usage, format, pool, &created, nullptr);
  if (FAILED(hr)) return hr;

  const bool opaque = format == D3DFMT_X8R8G8B8;
  FloatImage level = ToFloat(image);
  const DWORD kind = FilterKind(filter, D3DX_FILTER_TRIANGLE);
  level = kind == D3DX_FILTER_NONE ? Place(level, w, h) : Resample(level, w, h, kind);
  hr = Upload(created, 0, level, opaque);
  const DWORD mipKind = FilterKind(mipFilter, D3DX_FILTER_BOX);
  const DWORD count = created->GetLevelCount();
  for (DWORD i = 1; i < count && SUCCEEDED(hr); ++i) {
    D3DSURFACE_DESC desc{};
    created->GetLevelDesc(i, &desc);
    level = Resample(level, desc.Width, desc.Height,
                     mipKind == D3DX_FILTER_NONE ? D3DX_FILTER_POINT : mipKind);
    hr = Upload(created, i, level, opaque);
  }
  if (FAILED(hr)) {
    created->Release();
    return hr;
  }
  *texture = created;
  return D3D_OK;
}

HRESULT DecodeAndCreate(IDirect3DDevice9* device, const unsigned char* data, std::size_t size,
                        UINT width, UINT height, UINT mipLevels, DWORD usage, D3DFORMAT format,
                        D3DPOOL pool, DWORD filter, DWORD mipFilter, D3DCOLOR colorKey,
                        D3DXIMAGE_INFO* srcInfo, IDirect3DTexture9** texture) {
  DecodedImage image;
  D3DXIMAGE_FILEFORMAT fileFormat;
  if (platform::image::IsPng(data, size)) {
    if (!platform::image::ReadPng(data, size, &image)) return D3DXERR_INVALIDDATA;
    fileFormat = D3DXIFF_PNG;
  } else if (platform::image::IsJpeg(data, size)) {
    if (!platform::image::ReadJpeg(data, size, &image)) return D3DXERR_INVALIDDATA;
    fileFormat = D3DXIFF_JPG;
  } else {
    return D3DXERR_INVALIDDATA;
  }
  return CreateFromImage(device, image, fileFormat, width, height, mipLevels, usage, format, pool,
                         filter, mipFilter, colorKey, srcInfo, texture);
}

}  // namespace

HRESULT D3DXCreateTextureFromFileInMemoryEx(IDirect3DDevice9* device, const void* srcData,
                                            UINT srcDataSize, UINT width, UINT height,
                                            UINT mipLevels, DWORD usage, D3DFORMAT format,
                                            D3DPOOL pool, DWORD filter, DWORD mipFilter,
                                            D3DCOLOR colorKey, D3DXIMAGE_INFO* srcInfo,
                                            PALETTEENTRY*, IDirect3DTexture9** texture) {
  if (texture) *texture = nullptr;
  if (!device || !srcData || srcDataSize == 0 || !texture) return D3DERR_INVALIDCALL;
  return DecodeAndCreate(device, static_cast<const unsigned char*>(srcData), srcDataSize, width,
                         height, mipLevels, usage, format, pool, filter, mipFilter, colorKey,
                         srcInfo, texture);
}

HRESULT D3DXCreateTextureFromFileExA(IDirect3DDevice9* device, const char* srcFile, UINT width,
                                     UINT height, UINT mipLevels, DWORD usage, D3DFORMAT format,
                                     D3DPOOL pool, DWORD filter, DWORD mipFilter, D3DCOLOR colorKey,
                                     D3DXIMAGE_INFO* srcInfo, PALETTEENTRY*,
                                     IDirect3DTexture9** texture) {
  if (texture) *texture = nullptr;
  if (!device || !srcFile || !texture) return D3DERR_INVALIDCALL;
  std::string bytes;
  if (!platform::ReadWholeFile(srcFile, &bytes, kMaxFileBytes) || bytes.empty())
    return D3DXERR_INVALIDDATA;
  return DecodeAndCreate(device, reinterpret_cast<const unsigned char*>(bytes.data()), bytes.size(),
                         width, height, mipLevels, usage, format, pool, filter, mipFilter, colorKey,
                         srcInfo, texture);
}

HRESULT D3DXCreateTextureFromFileA(IDirect3DDevice9* device, const char* srcFile,
                                   IDirect3DTexture9** texture) {
  return D3DXCreateTextureFromFileExA(device, srcFile, D3DX_DEFAULT, D3DX_DEFAULT, D3DX_DEFAULT, 0,
                                      D3DFMT_UNKNOWN, D3DPOOL_MANAGED, D3DX_DEFAULT, D3DX_DEFAULT,
                                      0, nullptr, nullptr, texture);
}

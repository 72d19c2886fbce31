// Texture loading: decode (libpng / libjpeg), colour key, resample to the texture size
// with a separable 8-bit fixed-point filter, build the mip chain, write through LockRect.
// One scratch buffer holds the half-filtered picture; each pass writes straight into the
// texture's level, so a picture is never copied whole more than once.
#include "platform/d3dx9/D3DX9Texture.h"

#include <algorithm>
#include <bit>
#include <cmath>
#include <condition_variable>
#include <list>
#include <cstring>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include <sys/stat.h>

#include "platform/FileSystem.h"
#include "platform/d3d9/Backend.h"
#include "platform/image/JpegReader.h"
#include "platform/image/PngReader.h"

namespace {

using platform::image::DecodedImage;

// Texel memory (b, g, r, a bytes for A8R8G8B8) is read and written as 0xAARRGGBB words.
static_assert(std::endian::native == std::endian::little);

constexpr std::size_t kMaxFileBytes = 64u * 1024u * 1024u;
// Weights are 8-bit fixed point, so a weighted channel fits a 16-bit lane and two
// channels (red and blue, alpha and green) are filtered per 32-bit multiply.
constexpr int kWeightBits = 8;
constexpr std::uint32_t kWeightOne = 1u << kWeightBits;
constexpr std::uint32_t kLanes = 0x00FF00FFu;
constexpr std::uint32_t kLaneHalf = 0x00800080u;  // rounding, half a step in each lane

// A block of ARGB pixels; pitch is in pixels.
struct Pixels {
  std::uint32_t* data = nullptr;
  std::uint32_t width = 0;
  std::uint32_t height = 0;
  std::size_t pitch = 0;
  std::uint32_t* Row(std::uint32_t y) const { return data + y * pitch; }
};

// The contributions to each output sample along one axis, weights in fixed point that
// sum to exactly kWeightOne so a uniform colour stays exact.
struct Taps {
  std::vector<std::uint32_t> first;  // per output sample: index into `source`/`weight`
  std::vector<std::uint32_t> count;
  std::vector<std::uint32_t> source;
  std::vector<std::uint32_t> weight;
};

// The weights that map `from` samples onto `to` samples along one axis. Triangle: a tent
// as wide as one source sample when enlarging, as one output sample when shrinking. Box:
// the area each output sample covers. Point: the nearest sample.
Taps MakeTaps(std::uint32_t from, std::uint32_t to, DWORD kind) {
  Taps t;
  t.first.resize(to);
  t.count.resize(to);
  std::vector<double> raw;
  const double scale = static_cast<double>(from) / to;
  for (std::uint32_t d = 0; d < to; ++d) {
    t.first[d] = static_cast<std::uint32_t>(t.source.size());
    raw.clear();
    const double centre = (d + 0.5) * scale;  // in source units, pixel centres at +0.5
    if (kind == D3DX_FILTER_POINT) {
      t.source.push_back(std::min<std::uint32_t>(from - 1, static_cast<std::uint32_t>(centre)));
      raw.push_back(1.0);
    } else if (kind == D3DX_FILTER_BOX) {
      const double lo = d * scale, hi = (d + 1) * scale;
      const auto begin = static_cast<std::uint32_t>(std::floor(lo));
      for (std::uint32_t s = begin; s < from && s < hi; ++s) {
        const double w = std::min<double>(hi, s + 1.0) - std::max<double>(lo, s);
        if (w <= 0) continue;
        t.source.push_back(s);
        raw.push_back(w);
      }
    } else {
      const double radius = std::max(1.0, scale);
      const double lo = centre - radius, hi = centre + radius;
      for (double s = std::floor(lo); s <= hi; s += 1.0) {
        const double w = 1.0 - std::fabs(s + 0.5 - centre) / radius;
        if (w <= 0) continue;
        // Clamp at the edges: the border sample stands in for what lies beyond.
        t.source.push_back(static_cast<std::uint32_t>(std::clamp(s, 0.0, from - 1.0)));
        raw.push_back(w);
      }
    }
    // Rounding the running total keeps every weight ≥ 0 and their sum exactly one.
    double total = 0;
    for (double w : raw) total += w;
    double running = 0;
    std::uint32_t given = 0;
    for (double w : raw) {
      running += w;
      const auto upTo = static_cast<std::uint32_t>(std::lround(running / total * kWeightOne));
      t.weight.push_back(upTo - given);
      given = upTo;
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

// Two lane sums (red/blue, alpha/green), each at most 255 × kWeightOne, back to a pixel.
inline std::uint32_t Pack(std::uint32_t rb, std::uint32_t ag) {
  return (((rb + kLaneHalf) >> kWeightBits) & kLanes) |
         (((ag + kLaneHalf) >> kWeightBits) & kLanes) << 8;
}

// Filters each row of `src` along x into `dst` (same height, dst.width samples).
void HorizontalPass(const Pixels& src, const Pixels& dst, const Taps& taps) {
  for (std::uint32_t y = 0; y < src.height; ++y) {
    const std::uint32_t* in = src.Row(y);
    std::uint32_t* out = dst.Row(y);
    for (std::uint32_t x = 0; x < dst.width; ++x) {
      std::uint32_t rb = 0, ag = 0;
      const std::uint32_t end = taps.first[x] + taps.count[x];
      for (std::uint32_t i = taps.first[x]; i < end; ++i) {
        const std::uint32_t p = in[taps.source[i]];
        const std::uint32_t w = taps.weight[i];
        rb += (p & kLanes) * w;
        ag += ((p >> 8) & kLanes) * w;
      }
      out[x] = Pack(rb, ag);
    }
  }
}

// Filters `src` along y into `dst` (same width, dst.height rows), one row of lane sums
// at a time.
void VerticalPass(const Pixels& src, const Pixels& dst, const Taps& taps,
                  std::vector<std::uint32_t>& sums) {
  sums.resize(static_cast<std::size_t>(src.width) * 2);
  std::uint32_t* rb = sums.data();
  std::uint32_t* ag = sums.data() + src.width;
  for (std::uint32_t y = 0; y < dst.height; ++y) {
    std::fill(sums.begin(), sums.end(), 0u);
    const std::uint32_t end = taps.first[y] + taps.count[y];
    for (std::uint32_t i = taps.first[y]; i < end; ++i) {
      const std::uint32_t* in = src.Row(taps.source[i]);
      const std::uint32_t w = taps.weight[i];
      for (std::uint32_t x = 0; x < src.width; ++x) {
        rb[x] += (in[x] & kLanes) * w;
        ag[x] += ((in[x] >> 8) & kLanes) * w;
      }
    }
    std::uint32_t* out = dst.Row(y);
    for (std::uint32_t x = 0; x < dst.width; ++x) out[x] = Pack(rb[x], ag[x]);
  }
}

void ForceOpaque(const Pixels& p) {
  for (std::uint32_t y = 0; y < p.height; ++y) {
    std::uint32_t* row = p.Row(y);
    for (std::uint32_t x = 0; x < p.width; ++x) row[x] |= 0xFF000000u;
  }
}

// Scratch memory reused for every level of one texture.
struct Scratch {
  std::vector<std::uint32_t> pixels;
  std::vector<std::uint32_t> accumulators;
};

// Writes `src` resampled (or, for FILTER_NONE, placed at the top-left on transparent
// black) into texture level `level`. `src` may itself be a locked level of the same
// texture (`srcLevel`, or −1 for memory that is not a texture's): the first pass reads it
// into scratch memory before the destination is locked, so only one level is locked at
// a time.
HRESULT FillLevel(IDirect3DTexture9* texture, UINT level, Pixels src, int srcLevel, DWORD kind,
                  bool opaque, Scratch& scratch) {
  if (kind == D3DX_FILTER_LINEAR) kind = D3DX_FILTER_TRIANGLE;
  D3DSURFACE_DESC desc{};
  if (FAILED(texture->GetLevelDesc(level, &desc))) {
    if (srcLevel >= 0) texture->UnlockRect(static_cast<UINT>(srcLevel));
    return D3DERR_INVALIDCALL;
  }
  const std::uint32_t width = desc.Width, height = desc.Height;
  const bool same = src.width == width && src.height == height;
  const bool horizontalFirst = static_cast<std::uint64_t>(width) * src.height <=
                               static_cast<std::uint64_t>(src.width) * height;
  Taps hx, vy;
  Pixels mid;
  if (kind != D3DX_FILTER_NONE && !same) {
    hx = MakeTaps(src.width, width, kind);
    vy = MakeTaps(src.height, height, kind);
    mid.width = horizontalFirst ? width : src.width;
    mid.height = horizontalFirst ? src.height : height;
    mid.pitch = mid.width;
    scratch.pixels.resize(static_cast<std::size_t>(mid.width) * mid.height);
    mid.data = scratch.pixels.data();
    if (horizontalFirst)
      HorizontalPass(src, mid, hx);
    else
      VerticalPass(src, mid, vy, scratch.accumulators);
  } else if (srcLevel >= 0) {
    // Same size or placement from another level: copy it out first.
    scratch.pixels.resize(static_cast<std::size_t>(src.width) * src.height);
    for (std::uint32_t y = 0; y < src.height; ++y)
      std::memcpy(scratch.pixels.data() + static_cast<std::size_t>(y) * src.width, src.Row(y),
                  src.width * sizeof(std::uint32_t));
    src.data = scratch.pixels.data();
    src.pitch = src.width;
  }
  if (srcLevel >= 0 && FAILED(texture->UnlockRect(static_cast<UINT>(srcLevel))))
    return D3DERR_INVALIDCALL;

  D3DLOCKED_RECT locked{};
  if (FAILED(texture->LockRect(level, &locked, nullptr, 0))) return D3DERR_INVALIDCALL;
  if (locked.Pitch % 4 != 0) {
    texture->UnlockRect(level);
    return D3DERR_INVALIDCALL;
  }
  const Pixels dst{static_cast<std::uint32_t*>(locked.pBits), width, height,
                   static_cast<std::size_t>(locked.Pitch) / 4};
  if (kind == D3DX_FILTER_NONE || same) {
    const std::uint32_t w = std::min(width, src.width), h = std::min(height, src.height);
    for (std::uint32_t y = 0; y < height; ++y) {
      std::uint32_t* out = dst.Row(y);
      if (y < h) std::memcpy(out, src.Row(y), w * sizeof(std::uint32_t));
      std::fill(out + (y < h ? w : 0), out + width, 0u);
    }
  } else if (horizontalFirst) {
    VerticalPass(mid, dst, vy, scratch.accumulators);
  } else {
    HorizontalPass(mid, dst, hx);
  }
  if (opaque) ForceOpaque(dst);
  return texture->UnlockRect(level);
}

UINT NextPowerOfTwo(UINT v) {
  UINT p = 1;
  while (p < v) p <<= 1;
  return p;
}

UINT TextureSide(UINT requested, UINT imageSide, UINT maxSide) {
  if (requested == D3DX_DEFAULT || requested == 0)
    return std::min(NextPowerOfTwo(imageSide), std::bit_floor(maxSide));
  if (requested == D3DX_DEFAULT_NONPOW2 || requested == D3DX_FROM_FILE) return imageSide;
  return requested;
}

HRESULT CreateFromImage(IDirect3DDevice9* device, DecodedImage& image,
                        D3DXIMAGE_FILEFORMAT fileFormat, UINT width, UINT height, UINT mipLevels,
                        DWORD usage, D3DFORMAT format, D3DPOOL pool, DWORD filter, DWORD mipFilter,
                        D3DCOLOR colorKey, D3DXIMAGE_INFO* srcInfo, UINT maxSide,
                        IDirect3DTexture9** texture) {
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

  const UINT w = TextureSide(width, image.width, maxSide);
  const UINT h = TextureSide(height, image.height, maxSide);
  if (w == 0 || h == 0 || w > maxSide || h > maxSide) return D3DERR_INVALIDCALL;
  const UINT levels = (mipLevels == D3DX_DEFAULT) ? 0 : mipLevels;

  IDirect3DTexture9* created = nullptr;
  HRESULT hr = device->CreateTexture(w, h, levels, usage, format, pool, &created, nullptr);
  if (FAILED(hr)) return hr;

  const bool opaque = format == D3DFMT_X8R8G8B8;
  Scratch scratch;
  const Pixels decoded{image.pixels.data(), image.width, image.height, image.width};
  hr = FillLevel(created, 0, decoded, -1, FilterKind(filter, D3DX_FILTER_TRIANGLE), opaque,
                 scratch);
  image = DecodedImage{};  // its memory is not needed for the smaller levels
  const DWORD mipKind = FilterKind(mipFilter, D3DX_FILTER_BOX);
  const DWORD count = created->GetLevelCount();
  for (DWORD i = 1; i < count && SUCCEEDED(hr); ++i) {
    // Each level is filtered from the one above, read in place.
    D3DSURFACE_DESC above{};
    D3DLOCKED_RECT locked{};
    if (FAILED(created->GetLevelDesc(i - 1, &above)) ||
        FAILED(created->LockRect(i - 1, &locked, nullptr, D3DLOCK_READONLY))) {
      hr = D3DERR_INVALIDCALL;
      break;
    }
    const Pixels src{static_cast<std::uint32_t*>(locked.pBits), above.Width, above.Height,
                     static_cast<std::size_t>(locked.Pitch) / 4};
    hr = FillLevel(created, i, src, static_cast<int>(i - 1),
                   mipKind == D3DX_FILTER_NONE ? D3DX_FILTER_POINT : mipKind, opaque, scratch);
  }
  scratch = Scratch{};  // before the device makes its own copy: the peak is the sum
  if (FAILED(hr)) {
    created->Release();
    return hr;
  }
  // Complete: the device may keep it on the GPU alone from now on.
  platform::d3d9::UploadTexture(created);
  *texture = created;
  return D3D_OK;
}

// The largest picture worth decoding is the largest texture the device can hold; 0 when
// the device cannot say.
UINT MaxSide(IDirect3DDevice9* device) {
  D3DCAPS9 caps{};
  if (FAILED(device->GetDeviceCaps(&caps))) return 0;
  return std::min(caps.MaxTextureWidth, caps.MaxTextureHeight);
}

bool Decode(const unsigned char* data, std::size_t size, UINT maxSide, DecodedImage* image,
            D3DXIMAGE_FILEFORMAT* fileFormat) {
  if (platform::image::IsPng(data, size)) {
    *fileFormat = D3DXIFF_PNG;
    return platform::image::ReadPng(data, size, image, maxSide);
  }
  if (platform::image::IsJpeg(data, size)) {
    *fileFormat = D3DXIFF_JPG;
    return platform::image::ReadJpeg(data, size, image, maxSide);
  }
  return false;
}

HRESULT DecodeAndCreate(IDirect3DDevice9* device, const unsigned char* data, std::size_t size,
                        UINT width, UINT height, UINT mipLevels, DWORD usage, D3DFORMAT format,
                        D3DPOOL pool, DWORD filter, DWORD mipFilter, D3DCOLOR colorKey,
                        D3DXIMAGE_INFO* srcInfo, IDirect3DTexture9** texture) {
  const UINT maxSide = MaxSide(device);
  if (maxSide == 0) return D3DERR_INVALIDCALL;
  DecodedImage image;
  D3DXIMAGE_FILEFORMAT fileFormat;
  if (!Decode(data, size, maxSide, &image, &fileFormat)) return D3DXERR_INVALIDDATA;
  return CreateFromImage(device, image, fileFormat, width, height, mipLevels, usage, format, pool,
                         filter, mipFilter, colorKey, srcInfo, maxSide, texture);
}

// What identifies a file's contents between reading it and using what was read.
struct FileStamp {
  long long size = -1, modifiedNs = -1;
  bool operator==(const FileStamp&) const = default;
};

FileStamp StampOf(const std::string& hostPath) {
  struct stat st {};
  if (stat(hostPath.c_str(), &st) != 0) return {};
  return {static_cast<long long>(st.st_size),
          static_cast<long long>(st.st_mtim.tv_sec) * 1000000000LL + st.st_mtim.tv_nsec};
}

// The pictures decoded ahead (see PrefetchTextureFiles), by resolved path.
class Prefetcher {
 public:
  ~Prefetcher() { Drop(); }

  std::size_t Taken() const { return taken_; }

  void Start(const std::vector<std::string>& paths) {
    Drop();
    std::lock_guard<std::mutex> lock(mutex_);
    for (const std::string& path : paths) {
      const std::string resolved = platform::ResolvePath(path);
      if (resolved.empty()) continue;
      entries_.emplace_back();
      entries_.back().path = resolved;
    }
    if (!entries_.empty()) worker_ = std::thread([this] { Run(); });
  }

  void Finish() {
    std::unique_lock<std::mutex> lock(mutex_);
    cv_.wait(lock, [this] {
      for (const Entry& e : entries_)
        if (e.state != Entry::kDone) return false;
      return true;
    });
  }

  void Drop() {
    {
      std::lock_guard<std::mutex> lock(mutex_);
      stopping_ = true;
    }
    if (worker_.joinable()) worker_.join();
    std::lock_guard<std::mutex> lock(mutex_);
    entries_.clear();
    stopping_ = false;
  }

  // The decoded picture of the file, if it was asked for ahead, decoded within maxSide and
  // is unchanged since; false otherwise (the caller reads it itself).
  bool Take(const char* srcFile, UINT maxSide, DecodedImage* image,
            D3DXIMAGE_FILEFORMAT* fileFormat) {
    std::unique_lock<std::mutex> lock(mutex_);
    if (entries_.empty()) return false;
    lock.unlock();
    const std::string resolved = platform::ResolvePath(srcFile);
    lock.lock();
    for (auto it = entries_.begin(); it != entries_.end(); ++it) {
      if (it->path != resolved) continue;
      if (it->state == Entry::kWaiting) {
        entries_.erase(it);  // not reached yet: cheaper read here than waited for
        return false;
      }
      const Entry* entry = &*it;
      cv_.wait(lock, [entry] { return entry->state == Entry::kDone; });
      Entry done = std::move(*it);
      entries_.erase(it);
      lock.unlock();
      if (!done.decoded || done.image.width > maxSide || done.image.height > maxSide ||
          !(StampOf(resolved) == done.stamp))
        return false;
      *image = std::move(done.image);
      *fileFormat = done.fileFormat;
      ++taken_;
      return true;
    }
    return false;
  }

 private:
  struct Entry {
    std::string path;
    enum State { kWaiting, kDecoding, kDone } state = kWaiting;
    bool decoded = false;
    FileStamp stamp;
    DecodedImage image;
    D3DXIMAGE_FILEFORMAT fileFormat = D3DXIFF_PNG;
  };

  void Run() {
    std::unique_lock<std::mutex> lock(mutex_);
    for (;;) {
      Entry* next = nullptr;
      for (Entry& e : entries_)
        if (e.state == Entry::kWaiting) {
          next = &e;
          break;
        }
      if (!next || stopping_) return;
      next->state = Entry::kDecoding;
      const std::string path = next->path;
      lock.unlock();
      // Stamped before reading: a change while it is read shows as a different stamp later.
      const FileStamp stamp = StampOf(path);
      std::string bytes;
      DecodedImage image;
      D3DXIMAGE_FILEFORMAT fileFormat = D3DXIFF_PNG;
      const bool decoded =
          platform::ReadWholeFile(path, &bytes, kMaxFileBytes) && !bytes.empty() &&
          Decode(reinterpret_cast<const unsigned char*>(bytes.data()), bytes.size(),
                 platform::image::kMaxImageSide, &image, &fileFormat);
      lock.lock();
      // Entries are only erased once done, and the list only grows in Start: next stands.
      next->stamp = stamp;
      next->decoded = decoded;
      next->image = std::move(image);
      next->fileFormat = fileFormat;
      next->state = Entry::kDone;
      cv_.notify_all();
    }
  }

  std::mutex mutex_;
  std::condition_variable cv_;
  std::list<Entry> entries_;
  std::thread worker_;
  bool stopping_ = false;
  std::size_t taken_ = 0;
};

Prefetcher& ThePrefetcher() {
  static Prefetcher prefetcher;
  return prefetcher;
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
  if (const UINT maxSide = MaxSide(device)) {
    DecodedImage image;
    D3DXIMAGE_FILEFORMAT fileFormat;
    if (ThePrefetcher().Take(srcFile, maxSide, &image, &fileFormat))
      return CreateFromImage(device, image, fileFormat, width, height, mipLevels, usage, format,
                             pool, filter, mipFilter, colorKey, srcInfo, maxSide, texture);
  }
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

namespace platform::d3dx9 {

void PrefetchTextureFiles(const std::vector<std::string>& paths) { ThePrefetcher().Start(paths); }

void FinishPrefetching() { ThePrefetcher().Finish(); }

void DropPrefetchedTextures() { ThePrefetcher().Drop(); }

std::size_t PrefetchedTexturesTaken() { return ThePrefetcher().Taken(); }

}  // namespace platform::d3dx9

// Textures and vertex/index buffers: memory copies that the backend mirrors on the GPU.
#include <algorithm>

#include "platform/d3d9/D3D9Headless.h"
#include "platform/d3d9/Device9.h"

namespace platform::d3d9 {

namespace {

UINT BytesPerPixelOf(D3DFORMAT format) {
  switch (format) {
    case D3DFMT_A8R8G8B8:
    case D3DFMT_X8R8G8B8: return 4;
    case D3DFMT_R5G6B5:
    case D3DFMT_X1R5G5B5:
    case D3DFMT_A1R5G5B5:
    case D3DFMT_A4R4G4B4: return 2;
    default: return 1;
  }
}

UINT FullChainLength(UINT w, UINT h) {
  UINT n = 1;
  while (w > 1 || h > 1) {
    w = std::max(1u, w / 2);
    h = std::max(1u, h / 2);
    ++n;
  }
  return n;
}

}  // namespace

UINT FVFVertexSize(DWORD fvf) {
  UINT size = 0;
  switch (fvf & D3DFVF_POSITION_MASK) {
    case D3DFVF_XYZ: size += 12; break;
    case D3DFVF_XYZRHW: size += 16; break;
    case D3DFVF_XYZB1: size += 16; break;
    case D3DFVF_XYZB2: size += 20; break;
    case D3DFVF_XYZB3: size += 24; break;
    case D3DFVF_XYZB4: size += 28; break;
    case D3DFVF_XYZB5: size += 32; break;
    case D3DFVF_XYZW: size += 16; break;
    default: break;
  }
  if (fvf & D3DFVF_NORMAL) size += 12;
  if (fvf & D3DFVF_PSIZE) size += 4;
  if (fvf & D3DFVF_DIFFUSE) size += 4;
  if (fvf & D3DFVF_SPECULAR) size += 4;
  const UINT texCount = (fvf & D3DFVF_TEXCOUNT_MASK) >> D3DFVF_TEXCOUNT_SHIFT;
  for (UINT i = 0; i < texCount && i < 8; ++i) {
    switch ((fvf >> (16 + 2 * i)) & 3) {
      case 0: size += 8; break;   // 2D
      case 1: size += 12; break;  // 3D
      case 2: size += 16; break;  // 4D
      case 3: size += 4; break;   // 1D
    }
  }
  return size;
}

Texture9::Texture9(Device9* device, UINT width, UINT height, UINT levels, DWORD usage,
                   D3DFORMAT format, D3DPOOL pool)
    : device_(device), format_(format), usage_(usage), pool_(pool),
      bytesPerPixel_(BytesPerPixelOf(format)) {
  device_->AddRef();
  const UINT full = FullChainLength(width, height);
  const UINT count = (levels == 0 || levels > full) ? full : levels;
  levels_.resize(count);
  UINT w = width, h = height;
  for (UINT i = 0; i < count; ++i) {
    levels_[i].width = w;
    levels_[i].height = h;
    levels_[i].pixels.assign(static_cast<std::size_t>(w) * h * bytesPerPixel_, 0);
    w = std::max(1u, w / 2);
    h = std::max(1u, h / 2);
  }
}

Texture9::~Texture9() {
  device_->Backend().TextureDestroyed(this);
  device_->Release();
}

HRESULT Texture9::GetLevelDesc(UINT level, D3DSURFACE_DESC* desc) {
  if (!desc || level >= levels_.size()) return D3DERR_INVALIDCALL;
  *desc = D3DSURFACE_DESC{};
  desc->Format = format_;
  desc->Type = D3DRTYPE_SURFACE;
  desc->Usage = usage_;
  desc->Pool = pool_;
  desc->Width = levels_[level].width;
  desc->Height = levels_[level].height;
  return D3D_OK;
}

bool Texture9::MayReleasePixels() const {
  // Only formats that come back from the GPU bit for bit (an X8 texture's unused byte
  // comes back as 0xFF, which Direct3D leaves undefined anyway).
  const bool exact = format_ == D3DFMT_A8R8G8B8 || format_ == D3DFMT_X8R8G8B8;
  return exact && !pixelsReleased_ && !keepPixels_ && lockedLevel_ < 0 &&
         pool_ != D3DPOOL_SYSTEMMEM;
}

void Texture9::ReleasePixels() {
  if (!MayReleasePixels()) return;
  for (Level& l : levels_) std::vector<BYTE>().swap(l.pixels);
  pixelsReleased_ = true;
}

// Brings every level back from the backend, so that whatever a lock leaves unwritten
// keeps its contents and the next upload sends whole levels.
bool Texture9::RestorePixels() {
  for (UINT i = 0; i < levels_.size(); ++i) {
    Level& l = levels_[i];
    l.pixels.assign(static_cast<std::size_t>(l.width) * l.height * bytesPerPixel_, 0);
    if (!device_->Backend().ReadTextureLevel(this, i, l.pixels.data())) {
      for (Level& undo : levels_) std::vector<BYTE>().swap(undo.pixels);
      return false;
    }
  }
  pixelsReleased_ = false;
  keepPixels_ = true;
  return true;
}

HRESULT Texture9::LockRect(UINT level, D3DLOCKED_RECT* locked, const RECT* rect, DWORD flags) {
  if (!locked || level >= levels_.size() || lockedLevel_ >= 0) return D3DERR_INVALIDCALL;
  if (pixelsReleased_ && !RestorePixels()) return D3DERR_INVALIDCALL;
  Level& l = levels_[level];
  const INT pitch = static_cast<INT>(l.width * bytesPerPixel_);
  std::size_t offset = 0;
  if (rect) {
    if (rect->left < 0 || rect->top < 0 || rect->right > static_cast<LONG>(l.width) ||
        rect->bottom > static_cast<LONG>(l.height) || rect->left >= rect->right ||
        rect->top >= rect->bottom)
      return D3DERR_INVALIDCALL;
    offset = static_cast<std::size_t>(rect->top) * pitch +
             static_cast<std::size_t>(rect->left) * bytesPerPixel_;
  }
  locked->Pitch = pitch;
  locked->pBits = l.pixels.data() + offset;
  lockedLevel_ = static_cast<int>(level);
  lockFlags_ = flags;
  return D3D_OK;
}

HRESULT Texture9::UnlockRect(UINT level) {
  if (lockedLevel_ != static_cast<int>(level)) return D3DERR_INVALIDCALL;
  lockedLevel_ = -1;
  if (!(lockFlags_ & D3DLOCK_READONLY)) {
    gpuDirty = true;
    device_->Backend().TextureChanged(this);
  }
  return D3D_OK;
}

void UploadTexture(IDirect3DTexture9* texture) {
  if (!texture) return;
  auto* t = static_cast<Texture9*>(texture);
  t->Owner()->Backend().UploadTexture(t);
}

void BufferMemory::Release() {
  if (!MayRelease()) return;
  std::vector<BYTE>().swap(bytes_);
  released_ = true;
}

bool BufferMemory::Restore(RenderBackend& backend, std::uint32_t gpuHandle, bool vertices) {
  if (!released_) return true;
  bytes_.assign(length_, 0);
  if (!backend.ReadBuffer(gpuHandle, vertices, length_, bytes_.data())) {
    std::vector<BYTE>().swap(bytes_);
    return false;
  }
  released_ = false;
  keep_ = true;
  return true;
}

namespace {

// Static buffers only: one in system memory is the only copy, and a dynamic one is
// rewritten too often to read back.
bool BufferMayGo(const BufferMemory& memory, bool locked, D3DPOOL pool, DWORD usage) {
  return memory.MayRelease() && !locked && pool != D3DPOOL_SYSTEMMEM &&
         !(usage & D3DUSAGE_DYNAMIC);
}

}  // namespace

VertexBuffer9::VertexBuffer9(Device9* device, UINT length, DWORD usage, DWORD fvf, D3DPOOL pool)
    : dirtyEnd(length), device_(device), memory_(length), usage_(usage), fvf_(fvf), pool_(pool) {
  device_->AddRef();
}

bool VertexBuffer9::MayReleaseBytes() const { return BufferMayGo(memory_, locked_, pool_, usage_); }

void VertexBuffer9::ReleaseBytes() {
  if (MayReleaseBytes()) memory_.Release();
}

bool VertexBuffer9::RestoreBytes() { return memory_.Restore(device_->Backend(), gpuHandle, true); }

VertexBuffer9::~VertexBuffer9() {
  device_->Backend().VertexBufferDestroyed(this);
  device_->Release();
}

HRESULT VertexBuffer9::Lock(UINT offset, UINT size, void** data, DWORD flags) {
  if (!data || locked_ || offset > memory_.Length()) return D3DERR_INVALIDCALL;
  if (size != 0 && static_cast<std::size_t>(offset) + size > memory_.Length())
    return D3DERR_INVALIDCALL;
  if (!RestoreBytes()) return D3DERR_INVALIDCALL;
  *data = memory_.Data() + offset;
  locked_ = true;
  lockFlags_ = flags;
  lockBegin_ = offset;
  lockEnd_ = size == 0 ? memory_.Length() : offset + size;
  return D3D_OK;
}

HRESULT VertexBuffer9::Unlock() {
  if (!locked_) return D3DERR_INVALIDCALL;
  locked_ = false;
  if (!(lockFlags_ & D3DLOCK_READONLY)) {
    // Only what the lock covered goes up again (skinned meshes rewrite theirs each frame).
    if (dirtyBegin == dirtyEnd) {
      dirtyBegin = lockBegin_;
      dirtyEnd = lockEnd_;
    } else {
      dirtyBegin = std::min(dirtyBegin, lockBegin_);
      dirtyEnd = std::max(dirtyEnd, lockEnd_);
    }
    gpuDirty = true;
    boundsKnown = false;
    wholeBoxKnown = false;
    device_->Backend().VertexBufferChanged(this);
  }
  return D3D_OK;
}

HRESULT VertexBuffer9::GetDesc(D3DVERTEXBUFFER_DESC* desc) {
  if (!desc) return D3DERR_INVALIDCALL;
  desc->Format = D3DFMT_UNKNOWN;
  desc->Type = D3DRTYPE_VERTEXBUFFER;
  desc->Usage = usage_;
  desc->Pool = pool_;
  desc->Size = memory_.Length();
  desc->FVF = fvf_;
  return D3D_OK;
}

IndexBuffer9::IndexBuffer9(Device9* device, UINT length, DWORD usage, D3DFORMAT format,
                           D3DPOOL pool)
    : dirtyEnd(length), device_(device), memory_(length), usage_(usage), format_(format),
      pool_(pool) {
  device_->AddRef();
}

bool IndexBuffer9::MayReleaseBytes() const { return BufferMayGo(memory_, locked_, pool_, usage_); }

void IndexBuffer9::ReleaseBytes() {
  if (MayReleaseBytes()) memory_.Release();
}

bool IndexBuffer9::RestoreBytes() { return memory_.Restore(device_->Backend(), gpuHandle, false); }

IndexBuffer9::~IndexBuffer9() {
  device_->Backend().IndexBufferDestroyed(this);
  device_->Release();
}

HRESULT IndexBuffer9::Lock(UINT offset, UINT size, void** data, DWORD flags) {
  if (!data || locked_ || offset > memory_.Length()) return D3DERR_INVALIDCALL;
  if (size != 0 && static_cast<std::size_t>(offset) + size > memory_.Length())
    return D3DERR_INVALIDCALL;
  if (!RestoreBytes()) return D3DERR_INVALIDCALL;
  *data = memory_.Data() + offset;
  locked_ = true;
  lockFlags_ = flags;
  lockBegin_ = offset;
  lockEnd_ = size == 0 ? memory_.Length() : offset + size;
  return D3D_OK;
}

HRESULT IndexBuffer9::Unlock() {
  if (!locked_) return D3DERR_INVALIDCALL;
  locked_ = false;
  if (!(lockFlags_ & D3DLOCK_READONLY)) {
    // Only what the lock covered goes up again (skinned meshes rewrite theirs each frame).
    if (dirtyBegin == dirtyEnd) {
      dirtyBegin = lockBegin_;
      dirtyEnd = lockEnd_;
    } else {
      dirtyBegin = std::min(dirtyBegin, lockBegin_);
      dirtyEnd = std::max(dirtyEnd, lockEnd_);
    }
    gpuDirty = true;
    rangeIndexSize = 0;
    device_->Backend().IndexBufferChanged(this);
  }
  return D3D_OK;
}

HRESULT IndexBuffer9::GetDesc(D3DINDEXBUFFER_DESC* desc) {
  if (!desc) return D3DERR_INVALIDCALL;
  desc->Format = format_;
  desc->Type = D3DRTYPE_INDEXBUFFER;
  desc->Usage = usage_;
  desc->Pool = pool_;
  desc->Size = memory_.Length();
  return D3D_OK;
}

}  // namespace platform::d3d9

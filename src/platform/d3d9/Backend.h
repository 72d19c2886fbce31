// What a drawing backend behind the one Direct3D 9 device implementation provides.
// The device keeps every state and resource in memory; the backend turns a draw call
// with that state into pixels (OpenGL) or into nothing (headless, which only records).
#pragma once

#include <array>
#include <cstdint>
#include <vector>

#include "platform/d3d9/D3D9.h"

namespace platform::d3d9 {

class Texture9;
class VertexBuffer9;
class IndexBuffer9;

constexpr int kMaxStages = 8;
constexpr int kMaxLights = 8;

struct LightSlot {
  D3DLIGHT9 light{};
  bool set = false;
  bool enabled = false;
};

// The device's whole state at the time of a call; backends read it, never write it.
struct DeviceState {
  std::array<DWORD, kD3DRenderStateCount> renderStates{};
  std::array<std::array<DWORD, kD3DSamplerStateCount>, kMaxStages> samplerStates{};
  std::array<std::array<DWORD, kD3DTextureStageStateCount>, kMaxStages> stageStates{};
  D3DMATRIX world{};
  D3DMATRIX view{};
  D3DMATRIX projection{};
  std::array<D3DMATRIX, kMaxStages> textureTransforms{};
  std::array<LightSlot, kMaxLights> lights{};
  D3DMATERIAL9 material{};
  std::array<Texture9*, kMaxStages> textures{};  // not owned here: the device holds a reference
  DWORD fvf = 0;
  VertexBuffer9* stream = nullptr;
  UINT streamOffset = 0;
  UINT streamStride = 0;
  IndexBuffer9* indices = nullptr;
  D3DVIEWPORT9 viewport{};
  // Bumped whenever a light, transform, material or state changes, so a backend can
  // skip uploading what it already sent.
  std::uint64_t lightsVersion = 0;
  std::uint64_t transformVersion = 0;
};

// One draw: vertices (from a buffer or from user memory) and optional indices.
struct DrawCall {
  D3DPRIMITIVETYPE type = D3DPT_TRIANGLELIST;
  UINT primitiveCount = 0;
  DWORD fvf = 0;
  UINT stride = 0;
  // Vertex source: either a buffer (its bytes from byte offset) or user memory.
  VertexBuffer9* vertexBuffer = nullptr;
  UINT vertexOffset = 0;  // bytes into the buffer or user memory
  const BYTE* userVertices = nullptr;
  UINT vertexCount = 0;   // how many vertices the call may touch, from vertexStart
  INT baseVertex = 0;     // added to every index
  UINT startVertex = 0;   // first vertex for non-indexed draws
  // Index source: a buffer, user memory, or none.
  IndexBuffer9* indexBuffer = nullptr;
  const BYTE* userIndices = nullptr;
  D3DFORMAT indexFormat = D3DFMT_INDEX16;
  UINT startIndex = 0;
  UINT minIndex = 0;
};

class RenderBackend {
 public:
  virtual ~RenderBackend() = default;

  // Creates the drawing surface for the window; false when that is impossible.
  virtual bool Create(HWND window, const D3DPRESENT_PARAMETERS& params) = 0;
  virtual bool Reset(const D3DPRESENT_PARAMETERS& params) = 0;
  // True while the device cannot draw (a full-screen window minimised or in the
  // background); the device then reports itself lost.
  virtual bool IsWindowLost() = 0;
  // True once if the full-screen window was away at any moment since the last call, even
  // when it is back by now: the device must then be reset all the same.
  virtual bool TakeWindowLoss() = 0;
  virtual void Clear(const DeviceState& state, DWORD flags, D3DCOLOR colour, float z,
                     DWORD stencil) = 0;
  virtual void Draw(const DeviceState& state, const DrawCall& call) = 0;
  virtual bool Present() = 0;

  // Resource notifications: content changed (after Unlock) or the resource is going away.
  virtual void TextureChanged(Texture9* texture) = 0;
  virtual void TextureDestroyed(Texture9* texture) = 0;
  virtual void VertexBufferChanged(VertexBuffer9* buffer) = 0;
  virtual void VertexBufferDestroyed(VertexBuffer9* buffer) = 0;
  virtual void IndexBufferChanged(IndexBuffer9* buffer) = 0;
  virtual void IndexBufferDestroyed(IndexBuffer9* buffer) = 0;
  // A texture whose contents are complete goes to the GPU now rather than at its first
  // draw; a backend whose copy survives a device reset may then free the memory copy.
  virtual void UploadTexture(Texture9* texture) = 0;
  // Copies one level of a texture back from the backend's own copy into `out` (rows of
  // width × bytes per pixel); false when the backend holds none.
  virtual bool ReadTextureLevel(Texture9* texture, UINT level, BYTE* out) = 0;
  // Copies a vertex or index buffer's bytes back from the backend's own copy, named by its
  // gpuHandle, into `out`; false when the backend holds none.
  virtual bool ReadBuffer(std::uint32_t gpuHandle, bool vertices, UINT length, BYTE* out) = 0;

  // The kept layer: a copy of the back buffer's colour and depth taken part-way through a
  // frame (scenery that stays the same from frame to frame), from which later frames
  // start instead of a clear. The device calls them only with a viewport covering the
  // whole back buffer. SaveLayer copies the whole back buffer into the layer.
  // RestoreLayer makes the back buffer's colour, depth and stencil the layer's again: by
  // copying the whole, or only what was drawn over since the two last matched where the
  // back buffer is known to have kept the rest. Either gives
  // false when it cannot: no layer kept, or the one kept went with a reset or a change
  // of target.
  virtual bool SaveLayer(const DeviceState& state) = 0;
  virtual bool RestoreLayer(const DeviceState& state) = 0;
  // Gives the layer's memory back; RestoreLayer then fails until the next SaveLayer.
  virtual void DropLayer() = 0;
};

// The backends. The OpenGL one needs a window made by the real Win32 backend.
RenderBackend* CreateGLBackend();
RenderBackend* CreateNullBackend();

// Resources keep their contents in memory; a backend may keep a copy on the GPU, named
// by gpuHandle, which it owns and frees in the matching ...Destroyed call.
class Texture9 final : public RefCounted<IDirect3DTexture9> {
 public:
  struct Level {
    UINT width = 0;
    UINT height = 0;
    std::vector<BYTE> pixels;  // rows of width × bytesPerPixel, top row first
  };

  Texture9(class Device9* device, UINT width, UINT height, UINT levels, DWORD usage,
           D3DFORMAT format, D3DPOOL pool);
  ~Texture9() override;

  D3DRESOURCETYPE GetType() override { return D3DRTYPE_TEXTURE; }
  DWORD GetLevelCount() override { return static_cast<DWORD>(levels_.size()); }
  HRESULT GetLevelDesc(UINT level, D3DSURFACE_DESC* desc) override;
  HRESULT LockRect(UINT level, D3DLOCKED_RECT* locked, const RECT* rect, DWORD flags) override;
  HRESULT UnlockRect(UINT level) override;

  D3DFORMAT Format() const { return format_; }
  UINT BytesPerPixel() const { return bytesPerPixel_; }
  // Every level's size; the pixels are empty while only the backend holds them.
  const std::vector<Level>& Levels() const { return levels_; }
  // Whether the memory copy may go once the backend holds the same contents: not while
  // locked, not for textures that stay in system memory, not for formats whose every bit
  // would not come back, and not once the texture was locked again after a release
  // (a texture written while the game runs keeps its copy rather than reading it back).
  bool MayReleasePixels() const;
  // Frees the memory copy; a later lock reads it back from the backend first.
  void ReleasePixels();
  bool PixelsReleased() const { return pixelsReleased_; }
  class Device9* Owner() const { return device_; }
  std::uint32_t gpuHandle = 0;
  bool gpuDirty = true;

 private:
  class Device9* device_;  // holds a reference for the texture's lifetime
  D3DFORMAT format_;
  DWORD usage_;
  D3DPOOL pool_;
  UINT bytesPerPixel_;
  std::vector<Level> levels_;
  int lockedLevel_ = -1;
  DWORD lockFlags_ = 0;
  bool pixelsReleased_ = false;
  bool keepPixels_ = false;

  bool RestorePixels();
};

// A vertex or index buffer's bytes in memory. Once the backend holds the same bytes they
// may go (scenery is written once and only drawn); a lock, or a draw that has to read
// them, brings them back from the backend first, and a buffer brought back keeps them
// from then on (one written while the game runs would otherwise be read back each time).
class BufferMemory {
 public:
  explicit BufferMemory(UINT length) : bytes_(length, 0), length_(length) {}
  const std::vector<BYTE>& Bytes() const { return bytes_; }  // empty while released
  BYTE* Data() { return bytes_.data(); }
  UINT Length() const { return length_; }
  bool Released() const { return released_; }
  bool MayRelease() const { return !released_ && !keep_; }
  void Release();
  bool Restore(RenderBackend& backend, std::uint32_t gpuHandle, bool vertices);

 private:
  std::vector<BYTE> bytes_;
  UINT length_;
  bool released_ = false;
  bool keep_ = false;
};

class VertexBuffer9 final : public RefCounted<IDirect3DVertexBuffer9> {
 public:
  VertexBuffer9(class Device9* device, UINT length, DWORD usage, DWORD fvf, D3DPOOL pool);
  ~VertexBuffer9() override;
  D3DRESOURCETYPE GetType() override { return D3DRTYPE_VERTEXBUFFER; }
  HRESULT Lock(UINT offset, UINT size, void** data, DWORD flags) override;
  HRESULT Unlock() override;
  HRESULT GetDesc(D3DVERTEXBUFFER_DESC* desc) override;

  // The memory copy (empty while only the backend holds it) and its length.
  const std::vector<BYTE>& Bytes() const { return memory_.Bytes(); }
  UINT Length() const { return memory_.Length(); }
  D3DPOOL Pool() const { return pool_; }
  DWORD Fvf() const { return fvf_; }
  // Whether the memory copy may go once the backend holds the same bytes: not while
  // locked, not for buffers kept in system memory or rewritten often (dynamic), not once
  // brought back. ReleaseBytes frees it; RestoreBytes brings it back (false if it cannot).
  bool MayReleaseBytes() const;
  void ReleaseBytes();
  bool BytesReleased() const { return memory_.Released(); }
  bool RestoreBytes();
  std::uint32_t gpuHandle = 0;
  bool gpuDirty = true;
  // Bytes written since the last upload: [dirtyBegin, dirtyEnd), the whole buffer at first.
  UINT dirtyBegin = 0;
  UINT dirtyEnd = 0;
  // For a released buffer of the format's own vertices: the box around every position.
  bool wholeBoxKnown = false;
  float wholeLo[3] = {}, wholeHi[3] = {};
  // The box around the positions of vertices [boundsFirst, boundsLast] read at
  // boundsOffset with boundsStride, kept by a backend until the buffer is written again.
  bool boundsKnown = false;
  UINT boundsOffset = 0, boundsStride = 0;
  std::size_t boundsFirst = 0, boundsLast = 0;
  float boundsLo[3] = {}, boundsHi[3] = {};

 private:
  class Device9* device_;
  BufferMemory memory_;
  DWORD usage_;
  DWORD fvf_;
  D3DPOOL pool_;
  bool locked_ = false;
  DWORD lockFlags_ = 0;
  UINT lockBegin_ = 0;
  UINT lockEnd_ = 0;
};

class IndexBuffer9 final : public RefCounted<IDirect3DIndexBuffer9> {
 public:
  IndexBuffer9(class Device9* device, UINT length, DWORD usage, D3DFORMAT format, D3DPOOL pool);
  ~IndexBuffer9() override;
  D3DRESOURCETYPE GetType() override { return D3DRTYPE_INDEXBUFFER; }
  HRESULT Lock(UINT offset, UINT size, void** data, DWORD flags) override;
  HRESULT Unlock() override;
  HRESULT GetDesc(D3DINDEXBUFFER_DESC* desc) override;

  // As for vertex buffers.
  const std::vector<BYTE>& Bytes() const { return memory_.Bytes(); }
  UINT Length() const { return memory_.Length(); }
  D3DFORMAT Format() const { return format_; }
  D3DPOOL Pool() const { return pool_; }
  bool MayReleaseBytes() const;
  void ReleaseBytes();
  bool BytesReleased() const { return memory_.Released(); }
  bool RestoreBytes();
  std::uint32_t gpuHandle = 0;
  bool gpuDirty = true;
  // Bytes written since the last upload: [dirtyBegin, dirtyEnd), the whole buffer at first.
  UINT dirtyBegin = 0;
  UINT dirtyEnd = 0;
  // The lowest and highest index anywhere in the buffer, read as indexSize-byte values,
  // kept by a backend until the buffer is written again (indexSize 0: not known).
  UINT rangeIndexSize = 0;
  std::uint32_t rangeLo = 0, rangeHi = 0;

 private:
  class Device9* device_;
  BufferMemory memory_;
  DWORD usage_;
  D3DFORMAT format_;
  D3DPOOL pool_;
  bool locked_ = false;
  DWORD lockFlags_ = 0;
  UINT lockBegin_ = 0;
  UINT lockEnd_ = 0;
};

// Size in bytes of one vertex of the given flexible vertex format.
UINT FVFVertexSize(DWORD fvf);

// Hands a texture whose every level is written to its device's backend (see
// RenderBackend::UploadTexture); image loaders call it once a texture is complete.
void UploadTexture(IDirect3DTexture9* texture);

}  // namespace platform::d3d9

namespace platform::d3d9 {

// The real display's desktop mode (SDL); false when no display can be opened.
bool QueryRealDesktopMode(D3DDISPLAYMODE* mode);

}  // namespace platform::d3d9

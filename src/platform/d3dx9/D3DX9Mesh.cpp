// ID3DXMesh: creation, buffers, drawing, cloning between vertex formats; ID3DXBuffer;
// bounding spheres.
#include "platform/d3dx9/D3DX9Mesh.h"

#include <cmath>
#include <cstring>
#include <new>

#include "platform/d3d9/Backend.h"
#include "platform/d3dx9/D3DX9MeshImpl.h"

namespace platform::d3dx9 {
namespace {

// No single mesh buffer may exceed this; larger requests fail instead of exhausting memory.
constexpr std::uint64_t kMaxBufferBytes = 1ull << 30;

class Buffer final : public RefCounted<ID3DXBuffer> {
 public:
  static Buffer* Create(DWORD bytes) {
    auto* b = new (std::nothrow) Buffer;
    if (!b) return nullptr;
    if (bytes > 0) {
      b->data_ = new (std::nothrow) BYTE[bytes]();
      if (!b->data_) {
        delete b;
        return nullptr;
      }
    }
    b->size_ = bytes;
    return b;
  }
  LPVOID GetBufferPointer() override { return data_; }
  DWORD GetBufferSize() override { return size_; }

 private:
  ~Buffer() override { delete[] data_; }
  BYTE* data_ = nullptr;
  DWORD size_ = 0;
};

D3DPOOL VertexPool(DWORD options) {
  if (options & D3DXMESH_VB_MANAGED) return D3DPOOL_MANAGED;
  if (options & D3DXMESH_VB_SYSTEMMEM) return D3DPOOL_SYSTEMMEM;
  return D3DPOOL_DEFAULT;
}

D3DPOOL IndexPool(DWORD options) {
  if (options & D3DXMESH_IB_MANAGED) return D3DPOOL_MANAGED;
  if (options & D3DXMESH_IB_SYSTEMMEM) return D3DPOOL_SYSTEMMEM;
  return D3DPOOL_DEFAULT;
}

DWORD VertexUsage(DWORD options) {
  DWORD usage = 0;
  if (options & D3DXMESH_VB_WRITEONLY) usage |= D3DUSAGE_WRITEONLY;
  if (options & D3DXMESH_VB_DYNAMIC) usage |= D3DUSAGE_DYNAMIC;
  return usage;
}

DWORD IndexUsage(DWORD options) {
  DWORD usage = 0;
  if (options & D3DXMESH_IB_WRITEONLY) usage |= D3DUSAGE_WRITEONLY;
  if (options & D3DXMESH_IB_DYNAMIC) usage |= D3DUSAGE_DYNAMIC;
  return usage;
}

}  // namespace

bool GetFVFLayout(DWORD fvf, FVFLayout* layout) {
  *layout = FVFLayout{};
  switch (fvf & D3DFVF_POSITION_MASK) {
    case D3DFVF_XYZ:
      layout->positionSize = 12;
      break;
    case D3DFVF_XYZRHW:
      layout->positionSize = 16;
      break;
    case D3DFVF_XYZW:
      layout->positionSize = 16;
      break;
    case D3DFVF_XYZB1:
      layout->positionSize = 16;
      break;
    case D3DFVF_XYZB2:
      layout->positionSize = 20;
      break;
    case D3DFVF_XYZB3:
      layout->positionSize = 24;
      break;
    case D3DFVF_XYZB4:
      layout->positionSize = 28;
      break;
    case D3DFVF_XYZB5:
      layout->positionSize = 32;
      break;
    default:
      return false;
  }
  UINT offset = layout->positionSize;
  if (fvf & D3DFVF_NORMAL) {
    layout->normal = static_cast<int>(offset);
    offset += 12;
  }
  if (fvf & D3DFVF_PSIZE) {
    layout->pointSize = static_cast<int>(offset);
    offset += 4;
  }
  if (fvf & D3DFVF_DIFFUSE) {
    layout->diffuse = static_cast<int>(offset);
    offset += 4;
  }
  if (fvf & D3DFVF_SPECULAR) {
    layout->specular = static_cast<int>(offset);
    offset += 4;
  }
  layout->texCount = (fvf & D3DFVF_TEXCOUNT_MASK) >> D3DFVF_TEXCOUNT_SHIFT;
  if (layout->texCount > 8) return false;
  for (UINT i = 0; i < layout->texCount; ++i) {
    static constexpr UINT kSizes[4] = {8, 12, 16, 4};
    layout->texOffset[i] = static_cast<int>(offset);
    layout->texSize[i] = kSizes[(fvf >> (16 + 2 * i)) & 3];
    offset += layout->texSize[i];
  }
  layout->stride = offset;
  return true;
}

// --- Mesh -----------------------------------------------------------------------------

HRESULT Mesh::Create(DWORD numFaces, DWORD numVertices, DWORD options, DWORD fvf,
                     IDirect3DDevice9* device, Mesh** out) {
  if (!out) return D3DERR_INVALIDCALL;
  *out = nullptr;
  FVFLayout layout;
  if (!device || numFaces == 0 || numVertices == 0 || !GetFVFLayout(fvf, &layout))
    return D3DERR_INVALIDCALL;
  const bool wide = (options & D3DXMESH_32BIT) != 0;
  if (!wide && numVertices > 0xFFFF) return D3DERR_INVALIDCALL;
  const std::uint64_t vertexBytes = std::uint64_t{numVertices} * layout.stride;
  const std::uint64_t indexBytes = std::uint64_t{numFaces} * 3 * (wide ? 4 : 2);
  if (vertexBytes > kMaxBufferBytes || indexBytes > kMaxBufferBytes ||
      std::uint64_t{numFaces} * sizeof(DWORD) > kMaxBufferBytes)
    return E_OUTOFMEMORY;
  auto* mesh = new (std::nothrow) Mesh;
  if (!mesh) return E_OUTOFMEMORY;
  mesh->device_ = device;
  device->AddRef();
  mesh->faces_ = numFaces;
  mesh->vertices_ = numVertices;
  mesh->options_ = options;
  mesh->fvf_ = fvf;
  mesh->stride_ = layout.stride;
  HRESULT hr = device->CreateVertexBuffer(static_cast<UINT>(vertexBytes), VertexUsage(options), fvf,
                                          VertexPool(options), &mesh->vertexBuffer_, nullptr);
  if (SUCCEEDED(hr))
    hr = device->CreateIndexBuffer(static_cast<UINT>(indexBytes), IndexUsage(options),
                                   wide ? D3DFMT_INDEX32 : D3DFMT_INDEX16, IndexPool(options),
                                   &mesh->indexBuffer_, nullptr);
  if (FAILED(hr)) {
    mesh->Release();
    return hr;
  }
  mesh->attributes_.assign(numFaces, 0);
  *out = mesh;
  return D3D_OK;
}

Mesh::~Mesh() {
  if (vertexBuffer_) vertexBuffer_->Release();
  if (indexBuffer_) indexBuffer_->Release();
  if (device_) device_->Release();
}

HRESULT Mesh::DrawSubset(DWORD attribId) {
  IDirect3DDevice9* d = device_;
  HRESULT hr = d->SetFVF(fvf_);
  if (SUCCEEDED(hr)) hr = d->SetStreamSource(0, vertexBuffer_, 0, stride_);
  if (SUCCEEDED(hr)) hr = d->SetIndices(indexBuffer_);
  if (FAILED(hr)) return hr;
  if (!table_.empty()) {
    for (const D3DXATTRIBUTERANGE& r : table_) {
      if (r.AttribId != attribId || r.FaceCount == 0) continue;
      return d->DrawIndexedPrimitive(D3DPT_TRIANGLELIST, 0, r.VertexStart, r.VertexCount,
                                     r.FaceStart * 3, r.FaceCount);
    }
    return D3D_OK;
  }
  // No table: one draw per run of consecutive faces with this attribute.
  DWORD f = 0;
  while (f < faces_) {
    if (attributes_[f] != attribId) {
      ++f;
      continue;
    }
    DWORD end = f + 1;
    while (end < faces_ && attributes_[end] == attribId) ++end;
    hr = d->DrawIndexedPrimitive(D3DPT_TRIANGLELIST, 0, 0, vertices_, f * 3, end - f);
    if (FAILED(hr)) return hr;
    f = end;
  }
  return D3D_OK;
}

HRESULT Mesh::GetDevice(IDirect3DDevice9** device) {
  if (!device) return D3DERR_INVALIDCALL;
  device_->AddRef();
  *device = device_;
  return D3D_OK;
}

HRESULT Mesh::GetVertexBuffer(IDirect3DVertexBuffer9** buffer) {
  if (!buffer) return D3DERR_INVALIDCALL;
  vertexBuffer_->AddRef();
  *buffer = vertexBuffer_;
  return D3D_OK;
}

HRESULT Mesh::GetIndexBuffer(IDirect3DIndexBuffer9** buffer) {
  if (!buffer) return D3DERR_INVALIDCALL;
  indexBuffer_->AddRef();
  *buffer = indexBuffer_;
  return D3D_OK;
}

HRESULT Mesh::LockVertexBuffer(DWORD flags, LPVOID* data) {
  if (!data) return D3DERR_INVALIDCALL;
  return vertexBuffer_->Lock(0, 0, data, flags);
}

HRESULT Mesh::UnlockVertexBuffer() {
  return vertexBuffer_->Unlock();
}

HRESULT Mesh::LockIndexBuffer(DWORD flags, LPVOID* data) {
  if (!data) return D3DERR_INVALIDCALL;
  return indexBuffer_->Lock(0, 0, data, flags);
}

HRESULT Mesh::UnlockIndexBuffer() {
  return indexBuffer_->Unlock();
}

HRESULT Mesh::LockAttributeBuffer(DWORD flags, DWORD** data) {
  if (!data || attributesLocked_) return D3DERR_INVALIDCALL;
  // Ids written through the lock would no longer match the table.
  if (!(flags & D3DLOCK_READONLY)) table_.clear();
  attributesLocked_ = true;
  *data = attributes_.data();
  return D3D_OK;
}

HRESULT Mesh::UnlockAttributeBuffer() {
  if (!attributesLocked_) return D3DERR_INVALIDCALL;
  attributesLocked_ = false;
  return D3D_OK;
}

HRESULT Mesh::GetAttributeTable(D3DXATTRIBUTERANGE* table, DWORD* size) {
  if (!size) return D3DERR_INVALIDCALL;
  if (table && !table_.empty())
    std::memcpy(table, table_.data(), table_.size() * sizeof(D3DXATTRIBUTERANGE));
  *size = static_cast<DWORD>(table_.size());
  return D3D_OK;
}

HRESULT Mesh::SetAttributeTable(const D3DXATTRIBUTERANGE* table, DWORD size) {
  if (size > 0 && !table) return D3DERR_INVALIDCALL;
  for (DWORD i = 0; i < size; ++i) {
    const auto& r = table[i];
    if (std::uint64_t{r.FaceStart} + r.FaceCount > faces_ ||
        std::uint64_t{r.VertexStart} + r.VertexCount > vertices_)
      return D3DERR_INVALIDCALL;
  }
  table_.assign(table, table + size);
  return D3D_OK;
}

bool Mesh::ReadIndices(std::vector<DWORD>* out) {
  void* data = nullptr;
  if (FAILED(indexBuffer_->Lock(0, 0, &data, D3DLOCK_READONLY))) return false;
  out->resize(std::size_t{faces_} * 3);
  if (Is32Bit()) {
    std::memcpy(out->data(), data, out->size() * 4);
  } else {
    const auto* p = static_cast<const WORD*>(data);
    for (std::size_t i = 0; i < out->size(); ++i) (*out)[i] = p[i];
  }
  indexBuffer_->Unlock();
  return true;
}

bool Mesh::WriteIndices(const std::vector<DWORD>& indices) {
  if (indices.size() != std::size_t{faces_} * 3) return false;
  void* data = nullptr;
  if (FAILED(indexBuffer_->Lock(0, 0, &data, 0))) return false;
  if (Is32Bit()) {
    std::memcpy(data, indices.data(), indices.size() * 4);
  } else {
    auto* p = static_cast<WORD*>(data);
    for (std::size_t i = 0; i < indices.size(); ++i) p[i] = static_cast<WORD>(indices[i]);
  }
  indexBuffer_->Unlock();
  return true;
}

HRESULT Mesh::CloneMeshFVF(DWORD options, DWORD fvf, IDirect3DDevice9* device, ID3DXMesh** clone) {
  if (!clone) return D3DERR_INVALIDCALL;
  *clone = nullptr;
  FVFLayout from, to;
  if (!GetFVFLayout(fvf_, &from) || !GetFVFLayout(fvf, &to)) return D3DERR_INVALIDCALL;
  Mesh* copy = nullptr;
  HRESULT hr = Create(faces_, vertices_, options, fvf, device ? device : device_, &copy);
  if (FAILED(hr)) return hr;

  void* src = nullptr;
  void* dst = nullptr;
  std::vector<DWORD> indices;
  if (FAILED(vertexBuffer_->Lock(0, 0, &src, D3DLOCK_READONLY))) {
    copy->Release();
    return D3DERR_INVALIDCALL;
  }
  if (FAILED(copy->vertexBuffer_->Lock(0, 0, &dst, 0))) {
    vertexBuffer_->Unlock();
    copy->Release();
    return D3DERR_INVALIDCALL;
  }
  const auto* s = static_cast<const BYTE*>(src);
  auto* d = static_cast<BYTE*>(dst);
  const DWORD white = 0xFFFFFFFFu;
  auto copyPart = [](BYTE* out, const BYTE* in, int outOffset, int inOffset, UINT bytes,
                     const void* fallback) {
    if (outOffset < 0) return;
    if (inOffset >= 0) {
      std::memcpy(out + outOffset, in + inOffset, bytes);
    } else if (fallback) {
      std::memcpy(out + outOffset, fallback, bytes);
    }
  };
  for (DWORD v = 0; v < vertices_; ++v) {
    const BYTE* in = s + std::size_t{v} * from.stride;
    BYTE* out = d + std::size_t{v} * to.stride;  // zero-filled by Create
    std::memcpy(out, in, from.positionSize < to.positionSize ? from.positionSize : to.positionSize);
    copyPart(out, in, to.normal, from.normal, 12, nullptr);
    copyPart(out, in, to.pointSize, from.pointSize, 4, nullptr);
    copyPart(out, in, to.diffuse, from.diffuse, 4, &white);
    copyPart(out, in, to.specular, from.specular, 4, &white);
    for (UINT t = 0; t < to.texCount; ++t) {
      if (t >= from.texCount) continue;
      const UINT bytes = from.texSize[t] < to.texSize[t] ? from.texSize[t] : to.texSize[t];
      std::memcpy(out + to.texOffset[t], in + from.texOffset[t], bytes);
    }
  }
  copy->vertexBuffer_->Unlock();
  vertexBuffer_->Unlock();

  if (!ReadIndices(&indices) || !copy->WriteIndices(indices)) {
    copy->Release();
    return D3DERR_INVALIDCALL;
  }
  copy->attributes_ = attributes_;
  copy->table_ = table_;
  *clone = copy;
  return D3D_OK;
}

}  // namespace platform::d3dx9

using platform::d3dx9::Mesh;

HRESULT D3DXCreateBuffer(DWORD numBytes, ID3DXBuffer** buffer) {
  if (!buffer) return D3DERR_INVALIDCALL;
  *buffer = platform::d3dx9::Buffer::Create(numBytes);
  return *buffer ? D3D_OK : E_OUTOFMEMORY;
}

HRESULT D3DXCreateMeshFVF(DWORD numFaces, DWORD numVertices, DWORD options, DWORD fvf,
                          IDirect3DDevice9* device, ID3DXMesh** mesh) {
  if (!mesh) return D3DERR_INVALIDCALL;
  Mesh* m = nullptr;
  const HRESULT hr = Mesh::Create(numFaces, numVertices, options, fvf, device, &m);
  *mesh = m;
  return hr;
}

UINT D3DXGetFVFVertexSize(DWORD fvf) {
  return platform::d3d9::FVFVertexSize(fvf);
}

HRESULT D3DXComputeBoundingSphere(const D3DXVECTOR3* firstPosition, DWORD numVertices, DWORD stride,
                                  D3DXVECTOR3* centre, FLOAT* radius) {
  // Zero vertices would divide by zero; there is no sphere to report.
  if (!firstPosition || !centre || !radius || numVertices == 0) return D3DERR_INVALIDCALL;
  const auto* base = reinterpret_cast<const BYTE*>(firstPosition);
  auto at = [&](DWORD i) {
    D3DXVECTOR3 p;
    std::memcpy(&p, base + std::size_t{i} * stride, sizeof(float) * 3);
    return p;
  };
  double sx = 0, sy = 0, sz = 0;
  for (DWORD i = 0; i < numVertices; ++i) {
    const D3DXVECTOR3 p = at(i);
    sx += p.x;
    sy += p.y;
    sz += p.z;
  }
  const D3DXVECTOR3 c(static_cast<float>(sx / numVertices), static_cast<float>(sy / numVertices),
                      static_cast<float>(sz / numVertices));
  float best = 0;
  for (DWORD i = 0; i < numVertices; ++i) {
    const D3DXVECTOR3 d = at(i) - c;
    const float lengthSq = D3DXVec3LengthSq(&d);
    if (lengthSq > best) best = lengthSq;
  }
  *centre = c;
  *radius = std::sqrt(best);
  return D3D_OK;
}

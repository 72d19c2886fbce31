// ID3DXSkinInfo: bones with names, offset matrices and vertex influences, and the
// skinning of a whole vertex array on the processor.
#include <algorithm>
#include <cmath>
#include <cstring>
#include <new>
#include <string>
#include <vector>

#include "platform/d3dx9/D3DX9Anim.h"
#include "platform/d3dx9/D3DX9MeshImpl.h"

namespace platform::d3dx9 {
namespace {

struct Bone {
  std::string name;
  bool named = false;
  D3DXMATRIX offset;
  std::vector<DWORD> vertices;
  std::vector<float> weights;
};

// One influence in the per-vertex table that skinning walks.
struct Influence {
  DWORD bone;
  float weight;
};

// Four floats worked on at once (the compiler's portable vector extension).
typedef float Float4 __attribute__((vector_size(16)));

// A bone's matrix rows as vectors: position rows 0-3, normal rows 0-2.
struct BoneRows {
  Float4 position[4];
  Float4 normal[3];
  // 1 / scale when the normal rows are a rotation times a uniform scale, else 0: a unit
  // normal moved by this bone alone then needs no square root to be made unit again.
  float normalUnscale;
};

float Dot3(const Float4& a, const Float4& b) {
  return a[0] * b[0] + a[1] * b[1] + a[2] * b[2];
}

float UniformUnscale(const Float4 rows[3]) {
  const float l0 = Dot3(rows[0], rows[0]);
  const float l1 = Dot3(rows[1], rows[1]);
  const float l2 = Dot3(rows[2], rows[2]);
  const float tolerance = 1e-6f * l0;
  if (!(l0 > 0.0f) || std::fabs(l1 - l0) > tolerance || std::fabs(l2 - l0) > tolerance ||
      std::fabs(Dot3(rows[0], rows[1])) > tolerance || std::fabs(Dot3(rows[0], rows[2])) > tolerance ||
      std::fabs(Dot3(rows[1], rows[2])) > tolerance)
    return 0.0f;
  return 1.0f / std::sqrt(l0);
}

Float4 Row(const D3DXMATRIX& m, int r) {
  return Float4{m.m[r][0], m.m[r][1], m.m[r][2], m.m[r][3]};
}

class SkinInfo final : public RefCounted<ID3DXSkinInfo> {
 public:
  SkinInfo(DWORD numVertices, DWORD fvf, DWORD numBones, const FVFLayout& layout)
      : vertices_(numVertices), fvf_(fvf), layout_(layout), bones_(numBones) {
    for (Bone& b : bones_) D3DXMatrixIdentity(&b.offset);
  }

  DWORD GetNumBones() override { return static_cast<DWORD>(bones_.size()); }

  LPCSTR GetBoneName(DWORD bone) override {
    if (bone >= bones_.size() || !bones_[bone].named) return nullptr;
    return bones_[bone].name.c_str();
  }

  HRESULT SetBoneName(DWORD bone, LPCSTR name) override {
    if (bone >= bones_.size() || !name) return D3DERR_INVALIDCALL;
    bones_[bone].name = name;
    bones_[bone].named = true;
    return D3D_OK;
  }

  D3DXMATRIX* GetBoneOffsetMatrix(DWORD bone) override {
    return bone < bones_.size() ? &bones_[bone].offset : nullptr;
  }

  HRESULT SetBoneOffsetMatrix(DWORD bone, const D3DXMATRIX* offset) override {
    if (bone >= bones_.size() || !offset) return D3DERR_INVALIDCALL;
    bones_[bone].offset = *offset;
    return D3D_OK;
  }

  DWORD GetNumBoneInfluences(DWORD bone) override {
    return bone < bones_.size() ? static_cast<DWORD>(bones_[bone].vertices.size()) : 0;
  }

  HRESULT GetBoneInfluence(DWORD bone, DWORD* vertices, FLOAT* weights) override {
    if (bone >= bones_.size() || !vertices || !weights) return D3DERR_INVALIDCALL;
    const Bone& b = bones_[bone];
    std::memcpy(vertices, b.vertices.data(), b.vertices.size() * sizeof(DWORD));
    std::memcpy(weights, b.weights.data(), b.weights.size() * sizeof(float));
    return D3D_OK;
  }

  HRESULT SetBoneInfluence(DWORD bone, DWORD count, const DWORD* vertices,
                           const FLOAT* weights) override {
    if (bone >= bones_.size() || (count > 0 && (!vertices || !weights)))
      return D3DERR_INVALIDCALL;
    for (DWORD i = 0; i < count; ++i)
      if (vertices[i] >= vertices_) return D3DERR_INVALIDCALL;
    bones_[bone].vertices.assign(vertices, vertices + count);
    bones_[bone].weights.assign(weights, weights + count);
    tableValid_ = false;
    return D3D_OK;
  }

  HRESULT GetMaxVertexInfluences(DWORD* out) override {
    if (!out) return D3DERR_INVALIDCALL;
    BuildTable();
    DWORD most = 0;
    for (DWORD v = 0; v < vertices_; ++v) most = std::max(most, starts_[v + 1] - starts_[v]);
    *out = most;
    return D3D_OK;
  }

  DWORD GetNumVertices() override { return vertices_; }
  DWORD GetFVF() override { return fvf_; }

  HRESULT UpdateSkinnedMesh(const D3DXMATRIX* transforms, const D3DXMATRIX* normalTransforms,
                            LPCVOID src, LPVOID dst) override {
    if (!transforms || !src || !dst) return D3DERR_INVALIDCALL;
    BuildTable();
    const UINT stride = layout_.stride;
    const auto* in = static_cast<const BYTE*>(src);
    auto* out = static_cast<BYTE*>(dst);
    if (in != out) std::memcpy(out, in, std::size_t{vertices_} * stride);
    const int normalAt = layout_.normal;
    const D3DXMATRIX* nm = normalTransforms ? normalTransforms : transforms;
    // Bone matrices are nearly always affine; then no vertex needs the divide by w.
    bool affine = true;
    for (std::size_t b = 0; b < bones_.size() && affine; ++b) {
      const D3DXMATRIX& m = transforms[b];
      affine = m.m[0][3] == 0.0f && m.m[1][3] == 0.0f && m.m[2][3] == 0.0f && m.m[3][3] == 1.0f;
    }
    if (affine) {
      SkinAffine(transforms, nm, in, out);
      return D3D_OK;
    }
    for (DWORD v = 0; v < vertices_; ++v) {
      const DWORD first = starts_[v];
      const DWORD last = starts_[v + 1];
      if (first == last) continue;  // no bone moves it: it stays where the mesh has it
      const BYTE* s = in + std::size_t{v} * stride;
      BYTE* d = out + std::size_t{v} * stride;
      float p[3], n[3] = {0, 0, 0};
      std::memcpy(p, s, sizeof p);
      if (normalAt >= 0) std::memcpy(n, s + normalAt, sizeof n);
      float px = 0, py = 0, pz = 0, nx = 0, ny = 0, nz = 0;
      for (DWORD i = first; i < last; ++i) {
        const float w = table_[i].weight;
        const D3DXMATRIX& m = transforms[table_[i].bone];
        float tx = p[0] * m.m[0][0] + p[1] * m.m[1][0] + p[2] * m.m[2][0] + m.m[3][0];
        float ty = p[0] * m.m[0][1] + p[1] * m.m[1][1] + p[2] * m.m[2][1] + m.m[3][1];
        float tz = p[0] * m.m[0][2] + p[1] * m.m[1][2] + p[2] * m.m[2][2] + m.m[3][2];
        if (!affine) {
          const float tw = p[0] * m.m[0][3] + p[1] * m.m[1][3] + p[2] * m.m[2][3] + m.m[3][3];
          if (tw != 0.0f) {
            const float inv = 1.0f / tw;
            tx *= inv;
            ty *= inv;
            tz *= inv;
          }
        }
        px += w * tx;
        py += w * ty;
        pz += w * tz;
        if (normalAt >= 0) {
          const D3DXMATRIX& k = nm[table_[i].bone];
          nx += w * (n[0] * k.m[0][0] + n[1] * k.m[1][0] + n[2] * k.m[2][0]);
          ny += w * (n[0] * k.m[0][1] + n[1] * k.m[1][1] + n[2] * k.m[2][1]);
          nz += w * (n[0] * k.m[0][2] + n[1] * k.m[1][2] + n[2] * k.m[2][2]);
        }
      }
      const float pos[3] = {px, py, pz};
      std::memcpy(d, pos, sizeof pos);
      if (normalAt >= 0) {
        const float lengthSq = nx * nx + ny * ny + nz * nz;
        if (lengthSq > 0.0f) {
          const float inv = 1.0f / std::sqrt(lengthSq);
          const float nrm[3] = {nx * inv, ny * inv, nz * inv};
          std::memcpy(d + normalAt, nrm, sizeof nrm);
        }
      }
    }
    return D3D_OK;
  }

 private:
  // The common case, every bone affine: each vertex is a weighted sum of row
  // combinations, four lanes at a time.
  void SkinAffine(const D3DXMATRIX* transforms, const D3DXMATRIX* normalTransforms,
                  const BYTE* in, BYTE* out) {
    rows_.resize(bones_.size());  // allocates on the first call only
    for (std::size_t b = 0; b < bones_.size(); ++b) {
      for (int r = 0; r < 4; ++r) rows_[b].position[r] = Row(transforms[b], r);
      for (int r = 0; r < 3; ++r) rows_[b].normal[r] = Row(normalTransforms[b], r);
      rows_[b].normalUnscale = UniformUnscale(rows_[b].normal);
    }
    const UINT stride = layout_.stride;
    const int normalAt = layout_.normal;
    for (DWORD v = 0; v < vertices_; ++v) {
      const DWORD first = starts_[v];
      const DWORD last = starts_[v + 1];
      if (first == last) continue;
      const BYTE* s = in + std::size_t{v} * stride;
      BYTE* d = out + std::size_t{v} * stride;
      float p[3];
      std::memcpy(p, s, sizeof p);
      Float4 position = {0, 0, 0, 0};
      if (normalAt < 0) {
        for (DWORD i = first; i < last; ++i) {
          const BoneRows& b = rows_[table_[i].bone];
          position += table_[i].weight * (p[0] * b.position[0] + p[1] * b.position[1] +
                                          p[2] * b.position[2] + b.position[3]);
        }
      } else {
        float n[3];
        std::memcpy(n, s + normalAt, sizeof n);
        if (last == first + 1) {
          // One bone: the common case of rigidly skinned parts.
          const BoneRows& b = rows_[table_[first].bone];
          const float w = table_[first].weight;
          position = w * (p[0] * b.position[0] + p[1] * b.position[1] + p[2] * b.position[2] +
                          b.position[3]);
          // A nearly unit source normal: one Newton step of 1/sqrt about 1 brings it to
          // unit length within 1e-6, so no square root is needed.
          const float unitSq = n[0] * n[0] + n[1] * n[1] + n[2] * n[2];
          if (b.normalUnscale > 0.0f && w > 0.0f && std::fabs(unitSq - 1.0f) < 1e-3f) {
            const float scale = b.normalUnscale * (1.5f - 0.5f * unitSq);
            const Float4 normal =
                (n[0] * b.normal[0] + n[1] * b.normal[1] + n[2] * b.normal[2]) * scale;
            const float nrm[3] = {normal[0], normal[1], normal[2]};
            std::memcpy(d + normalAt, nrm, sizeof nrm);
            const float pos[3] = {position[0], position[1], position[2]};
            std::memcpy(d, pos, sizeof pos);
            continue;
          }
        }
        position = Float4{0, 0, 0, 0};
        Float4 normal = {0, 0, 0, 0};
        for (DWORD i = first; i < last; ++i) {
          const BoneRows& b = rows_[table_[i].bone];
          const float w = table_[i].weight;
          position += w * (p[0] * b.position[0] + p[1] * b.position[1] + p[2] * b.position[2] +
                           b.position[3]);
          normal += w * (n[0] * b.normal[0] + n[1] * b.normal[1] + n[2] * b.normal[2]);
        }
        const float lengthSq = normal[0] * normal[0] + normal[1] * normal[1] + normal[2] * normal[2];
        if (lengthSq > 0.0f) {
          const float inv = 1.0f / std::sqrt(lengthSq);
          const float nrm[3] = {normal[0] * inv, normal[1] * inv, normal[2] * inv};
          std::memcpy(d + normalAt, nrm, sizeof nrm);
        }
      }
      const float pos[3] = {position[0], position[1], position[2]};
      std::memcpy(d, pos, sizeof pos);
    }
  }

  // The influences regrouped by vertex, rebuilt only after they change, so skinning a
  // frame walks memory in vertex order and allocates nothing.
  void BuildTable() {
    if (tableValid_) return;
    starts_.assign(std::size_t{vertices_} + 1, 0);
    for (const Bone& b : bones_)
      for (DWORD v : b.vertices) ++starts_[v + 1];
    for (DWORD v = 0; v < vertices_; ++v) starts_[v + 1] += starts_[v];
    table_.resize(starts_[vertices_]);
    std::vector<DWORD> fill(starts_.begin(), starts_.end() - 1);
    for (DWORD bone = 0; bone < bones_.size(); ++bone) {
      const Bone& b = bones_[bone];
      for (std::size_t i = 0; i < b.vertices.size(); ++i)
        table_[fill[b.vertices[i]]++] = {bone, b.weights[i]};
    }
    tableValid_ = true;
  }

  DWORD vertices_;
  DWORD fvf_;
  FVFLayout layout_;
  std::vector<Bone> bones_;
  bool tableValid_ = false;
  std::vector<DWORD> starts_;  // per vertex, its first entry in table_; one more at the end
  std::vector<Influence> table_;
  std::vector<BoneRows> rows_;  // this call's bone matrices, kept to avoid reallocating
};

}  // namespace
}  // namespace platform::d3dx9

HRESULT D3DXCreateSkinInfoFVF(DWORD numVertices, DWORD fvf, DWORD numBones,
                              ID3DXSkinInfo** skinInfo) {
  using namespace platform::d3dx9;
  if (!skinInfo) return D3DERR_INVALIDCALL;
  *skinInfo = nullptr;
  FVFLayout layout;
  // Only float3 positions can be skinned.
  if (!GetFVFLayout(fvf, &layout) || (fvf & D3DFVF_POSITION_MASK) != D3DFVF_XYZ)
    return D3DERR_INVALIDCALL;
  auto* info = new (std::nothrow) SkinInfo(numVertices, fvf, numBones, layout);
  if (!info) return E_OUTOFMEMORY;
  *skinInfo = info;
  return D3D_OK;
}

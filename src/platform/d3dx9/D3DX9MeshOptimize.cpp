// Mesh adjacency and in-place optimisation: attribute sort with the attribute table,
// removal of unused vertices, and a vertex-cache face order.
//
// The face order for the cache follows the well-known greedy scheme: a 32-entry LRU
// model of the post-transform cache; each vertex scores by its cache position (the
// last triangle's three vertices a flat 0.75, then falling off) plus a bonus for
// having few triangles left; the next triangle is the best-scoring one among those
// touching the cache, or the first unemitted one when none does. It runs within each
// attribute group so the groups stay contiguous.
#include <algorithm>
#include <cmath>
#include <cstring>
#include <memory>
#include <numeric>
#include <tuple>

#include "platform/d3dx9/D3DX9MeshImpl.h"

namespace platform::d3dx9 {
namespace {

constexpr int kCacheSize = 32;
constexpr DWORD kMaxScan = 64;  // live triangles looked at per cached vertex and step

// Float bits with -0 folded into +0, so equal positions compare equal as integers.
std::uint32_t PositionKey(float f) {
  if (f == 0.0f) f = 0.0f;
  std::uint32_t bits;
  std::memcpy(&bits, &f, sizeof bits);
  return bits;
}

// Sort key that keeps NaN (which compares false with everything) from breaking sort.
float SortableX(float x) {
  return std::isnan(x) ? INFINITY : x;
}

}  // namespace

// Each face's neighbour across an edge is the lowest-numbered other face using the
// same pair of point reps (the only other one on a manifold edge). Edges are bucketed
// by their lower rep with a counting sort (two linear passes, buckets filled in face
// order). Within a bucket, per higher rep (stamped with the bucket, so nothing is
// cleared between buckets), the first face to use the edge and the first other face
// are noted in one walk, and a second walk hands them out: the first face's slots get
// the second face, every other slot the first. No sorting, so a fan around one point
// costs no more per edge than any other edge, and the buckets keep the accesses close
// together on meshes whose vertices are numbered in order. (A table of hashed edges
// does the same in fewer passes but scatters its accesses over the whole table, and
// measured slower on a large terrain.)
void AdjacencyFromReps(const DWORD* indices, std::size_t faces, DWORD vertices, const DWORD* reps,
                       DWORD* adjacency) {
  struct EdgeEntry {
    DWORD b;     // the higher point rep
    DWORD slot;  // face × 3 + edge: where its neighbour goes
  };
  std::vector<DWORD> start(std::size_t{vertices} + 1, 0);
  // A face's three edges as (lower, higher) reps; false for a collapsed one, which
  // joins nothing.
  auto edgesOf = [&](std::size_t f, DWORD (&lo)[3], DWORD (&hi)[3]) {
    const DWORD r[3] = {reps[indices[f * 3]], reps[indices[f * 3 + 1]], reps[indices[f * 3 + 2]]};
    for (int e = 0; e < 3; ++e) {
      const DWORD x = r[e], y = r[e == 2 ? 0 : e + 1];
      lo[e] = std::min(x, y);
      hi[e] = std::max(x, y);
    }
  };
  std::size_t edges = 0;
  for (std::size_t f = 0; f < faces; ++f) {
    DWORD lo[3], hi[3];
    edgesOf(f, lo, hi);
    for (int e = 0; e < 3; ++e) {
      if (lo[e] == hi[e]) continue;
      ++start[lo[e] + 1];
      ++edges;
    }
  }
  for (std::size_t v = 1; v < start.size(); ++v) start[v] += start[v - 1];
  auto entries = std::make_unique_for_overwrite<EdgeEntry[]>(edges);
  for (std::size_t f = 0; f < faces; ++f) {
    DWORD lo[3], hi[3];
    edgesOf(f, lo, hi);
    for (int e = 0; e < 3; ++e) {
      if (lo[e] != hi[e]) {
        entries[start[lo[e]]++] = {hi[e], static_cast<DWORD>(f * 3 + e)};
      } else {
        adjacency[f * 3 + e] = D3DX_NO_NEIGHBOUR;
      }
    }
  }
  // start[a] now holds the end of bucket a, which is where bucket a + 1 begins.
  struct Pair {
    DWORD stamp = 0;  // bucket + 1 that last wrote first and second
    DWORD first = 0, second = 0;
  };
  std::vector<Pair> pairs(vertices);
  std::size_t begin = 0;
  for (DWORD a = 0; a < vertices; ++a) {
    const std::size_t end = start[a];
    for (std::size_t k = begin; k < end; ++k) {
      Pair& pair = pairs[entries[k].b];
      const DWORD face = entries[k].slot / 3;
      if (pair.stamp != a + 1) {
        pair = {a + 1, face, D3DX_NO_NEIGHBOUR};
      } else if (pair.second == D3DX_NO_NEIGHBOUR && face != pair.first) {
        pair.second = face;
      }
    }
    for (std::size_t k = begin; k < end; ++k) {
      const Pair& pair = pairs[entries[k].b];
      adjacency[entries[k].slot] = entries[k].slot / 3 != pair.first ? pair.first : pair.second;
    }
    begin = end;
  }
}

namespace {

// Reorders faces[begin, end) (face numbers into indices) for the vertex cache.
void OrderForCache(const std::vector<DWORD>& indices, std::vector<DWORD>& faces, std::size_t begin,
                   std::size_t end, std::vector<int>& localOf) {
  const std::size_t n = end - begin;
  if (n < 2) return;
  // Local vertex numbering for this group.
  std::vector<DWORD> globalOf;
  for (std::size_t t = 0; t < n; ++t) {
    for (int c = 0; c < 3; ++c) {
      const DWORD v = indices[faces[begin + t] * 3 + c];
      if (localOf[v] < 0) {
        localOf[v] = static_cast<int>(globalOf.size());
        globalOf.push_back(v);
      }
    }
  }
  const std::size_t vcount = globalOf.size();
  std::vector<DWORD> triVerts(n * 3);
  std::vector<DWORD> remaining(vcount, 0);
  for (std::size_t t = 0; t < n; ++t)
    for (int c = 0; c < 3; ++c) {
      triVerts[t * 3 + c] = static_cast<DWORD>(localOf[indices[faces[begin + t] * 3 + c]]);
      ++remaining[triVerts[t * 3 + c]];
    }
  // Triangles per vertex: offsets into one list; live ones are kept at the front, and
  // each corner knows its slot so removal is constant time whatever the valence.
  std::vector<DWORD> listStart(vcount + 1, 0);
  for (std::size_t v = 0; v < vcount; ++v) listStart[v + 1] = listStart[v] + remaining[v];
  std::vector<DWORD> list(listStart[vcount]);
  std::vector<DWORD> slotOf(n * 3);  // per corner: its index in its vertex's list
  std::vector<DWORD> fill(listStart.begin(), listStart.end() - 1);
  for (std::size_t t = 0; t < n; ++t)
    for (int c = 0; c < 3; ++c) {
      const DWORD v = triVerts[t * 3 + c];
      slotOf[t * 3 + c] = fill[v] - listStart[v];
      list[fill[v]++] = static_cast<DWORD>(t * 3 + c);  // corners, not triangles
    }

  std::vector<int> cachePos(vcount, -1);
  std::vector<float> vscore(vcount, 0);
  std::vector<float> tscore(n, 0);
  std::vector<char> emitted(n, 0);
  auto scoreOf = [&](DWORD v) {
    if (remaining[v] == 0) return -1.0f;
    float s = 0;
    const int p = cachePos[v];
    if (p >= 0) {
      if (p < 3) {
        s = 0.75f;
      } else {
        const float x = 1.0f - static_cast<float>(p - 3) / (kCacheSize - 3);
        s = x * std::sqrt(x);
      }
    }
    return s + 2.0f / std::sqrt(static_cast<float>(remaining[v]));
  };
  for (std::size_t v = 0; v < vcount; ++v) vscore[v] = scoreOf(static_cast<DWORD>(v));
  for (std::size_t t = 0; t < n; ++t)
    tscore[t] = vscore[triVerts[t * 3]] + vscore[triVerts[t * 3 + 1]] + vscore[triVerts[t * 3 + 2]];

  std::vector<DWORD> cache, next;
  cache.reserve(kCacheSize + 3);
  next.reserve(kCacheSize + 3);
  std::vector<DWORD> order;
  order.reserve(n);
  std::size_t cursor = 0;
  long best = 0;
  for (std::size_t t = 1; t < n; ++t)
    if (tscore[t] > tscore[best]) best = static_cast<long>(t);
  while (order.size() < n) {
    if (best < 0) {
      while (emitted[cursor]) ++cursor;
      best = static_cast<long>(cursor);
    }
    const DWORD tri = static_cast<DWORD>(best);
    emitted[tri] = 1;
    order.push_back(tri);
    next.clear();
    for (int c = 0; c < 3; ++c) {
      const DWORD v = triVerts[tri * 3 + c];
      // Drop the corner from the vertex's live list by swapping the last one in.
      const DWORD corner = tri * 3 + static_cast<DWORD>(c);
      const DWORD last = listStart[v] + remaining[v] - 1;
      const DWORD moved = list[last];
      list[listStart[v] + slotOf[corner]] = moved;
      slotOf[moved] = slotOf[corner];
      list[last] = corner;
      --remaining[v];
      if (std::find(next.begin(), next.end(), v) == next.end()) next.push_back(v);
    }
    for (DWORD v : cache)
      if (std::find(next.begin(), next.end(), v) == next.end()) next.push_back(v);
    for (std::size_t k = 0; k < next.size(); ++k)
      cachePos[next[k]] = k < static_cast<std::size_t>(kCacheSize) ? static_cast<int>(k) : -1;
    // Vertices pushed out of the cache need their scores and their triangles' scores
    // refreshed as much as those still in it.
    for (DWORD v : next) vscore[v] = scoreOf(v);
    best = -1;
    float bestScore = -1;
    for (DWORD v : next) {
      // A vertex shared by a huge fan would make every step walk the whole fan; a
      // bounded look at its live triangles keeps the order linear.
      const DWORD look = std::min<DWORD>(remaining[v], kMaxScan);
      for (DWORD k = 0; k < look; ++k) {
        const DWORD t = list[listStart[v] + k] / 3;
        tscore[t] =
            vscore[triVerts[t * 3]] + vscore[triVerts[t * 3 + 1]] + vscore[triVerts[t * 3 + 2]];
        if (cachePos[v] >= 0 && tscore[t] > bestScore) {
          bestScore = tscore[t];
          best = static_cast<long>(t);
        }
      }
    }
    if (next.size() > static_cast<std::size_t>(kCacheSize)) next.resize(kCacheSize);
    cache.swap(next);
  }
  std::vector<DWORD> reordered(n);
  for (std::size_t i = 0; i < n; ++i) reordered[i] = faces[begin + order[i]];
  std::copy(reordered.begin(), reordered.end(), faces.begin() + static_cast<long>(begin));
  for (DWORD v : globalOf) localOf[v] = -1;
}

}  // namespace

HRESULT Mesh::ConvertPointRepsToAdjacency(const DWORD* pointReps, DWORD* adjacency) {
  if (!adjacency) return D3DERR_INVALIDCALL;
  std::vector<DWORD> indices;
  if (!ReadIndices(&indices)) return D3DERR_INVALIDCALL;
  for (DWORD i : indices)
    if (i >= vertices_) return D3DERR_INVALIDCALL;
  std::vector<DWORD> reps(vertices_);
  for (DWORD v = 0; v < vertices_; ++v) {
    reps[v] = pointReps ? pointReps[v] : v;
    if (reps[v] >= vertices_) return D3DERR_INVALIDCALL;
  }
  AdjacencyFromReps(indices.data(), indices.size() / 3, vertices_, reps.data(), adjacency);
  return D3D_OK;
}

HRESULT Mesh::GenerateAdjacency(FLOAT epsilon, DWORD* adjacency) {
  if (!adjacency || epsilon < 0) return D3DERR_INVALIDCALL;
  void* data = nullptr;
  if (FAILED(vertexBuffer_->Lock(0, 0, &data, D3DLOCK_READONLY))) return D3DERR_INVALIDCALL;
  std::vector<D3DXVECTOR3> positions(vertices_);
  for (DWORD v = 0; v < vertices_; ++v)
    std::memcpy(&positions[v], static_cast<const BYTE*>(data) + std::size_t{v} * stride_, 12);
  vertexBuffer_->Unlock();

  std::vector<DWORD> order(vertices_);
  std::iota(order.begin(), order.end(), 0);
  std::vector<DWORD> reps(vertices_);
  if (epsilon == 0) {
    auto key = [&](DWORD v) {
      const auto& p = positions[v];
      return std::make_tuple(PositionKey(p.x), PositionKey(p.y), PositionKey(p.z), v);
    };
    std::sort(order.begin(), order.end(), [&](DWORD a, DWORD b) { return key(a) < key(b); });
    for (std::size_t i = 0; i < order.size();) {
      std::size_t end = i + 1;
      while (end < order.size() && std::get<0>(key(order[end])) == std::get<0>(key(order[i])) &&
             std::get<1>(key(order[end])) == std::get<1>(key(order[i])) &&
             std::get<2>(key(order[end])) == std::get<2>(key(order[i])))
        ++end;
      for (std::size_t k = i; k < end; ++k) reps[order[k]] = order[i];  // lowest index first
      i = end;
    }
  } else {
    // Union of every pair within epsilon on each axis, found by a sweep along x.
    std::vector<DWORD> parent(vertices_);
    std::iota(parent.begin(), parent.end(), 0);
    auto find = [&](DWORD v) {
      while (parent[v] != v) v = parent[v] = parent[parent[v]];
      return v;
    };
    std::sort(order.begin(), order.end(), [&](DWORD a, DWORD b) {
      const float xa = SortableX(positions[a].x), xb = SortableX(positions[b].x);
      return xa != xb ? xa < xb : a < b;
    });
    for (std::size_t i = 0; i < order.size(); ++i) {
      const auto& p = positions[order[i]];
      for (std::size_t j = i + 1; j < order.size(); ++j) {
        const auto& q = positions[order[j]];
        if (!(q.x - p.x <= epsilon)) break;
        if (std::fabs(q.y - p.y) <= epsilon && std::fabs(q.z - p.z) <= epsilon) {
          const DWORD a = find(order[i]), b = find(order[j]);
          if (a != b) parent[std::max(a, b)] = std::min(a, b);
        }
      }
    }
    for (DWORD v = 0; v < vertices_; ++v) reps[v] = find(v);
  }
  std::vector<DWORD> indices;
  if (!ReadIndices(&indices)) return D3DERR_INVALIDCALL;
  for (DWORD i : indices)
    if (i >= vertices_) return D3DERR_INVALIDCALL;
  AdjacencyFromReps(indices.data(), indices.size() / 3, vertices_, reps.data(), adjacency);
  return D3D_OK;
}

HRESULT Mesh::OptimizeInplace(DWORD flags, const DWORD* adjacencyIn, DWORD* adjacencyOut,
                              DWORD* faceRemap, ID3DXBuffer** vertexRemap) {
  if (attributesLocked_) return D3DERR_INVALIDCALL;
  std::vector<DWORD> indices;
  if (!ReadIndices(&indices)) return D3DERR_INVALIDCALL;
  for (DWORD i : indices)
    if (i >= vertices_) return D3DERR_INVALIDCALL;
  std::vector<DWORD> inAdjacency;
  if (adjacencyIn) inAdjacency.assign(adjacencyIn, adjacencyIn + std::size_t{faces_} * 3);

  // The cache order works inside attribute groups, so it implies the sort.
  const bool cacheOrder = (flags & (D3DXMESHOPT_VERTEXCACHE | D3DXMESHOPT_STRIPREORDER)) != 0;
  const bool sortFaces = cacheOrder || (flags & D3DXMESHOPT_ATTRSORT);
  const bool touchVertices =
      !(flags & D3DXMESHOPT_IGNOREVERTS) && (sortFaces || (flags & D3DXMESHOPT_COMPACT));

  std::vector<DWORD> order(faces_);
  std::iota(order.begin(), order.end(), 0);
  if (sortFaces) {
    std::stable_sort(order.begin(), order.end(),
                     [&](DWORD a, DWORD b) { return attributes_[a] < attributes_[b]; });
  }
  if (cacheOrder) {
    std::vector<int> localOf(vertices_, -1);
    for (std::size_t i = 0; i < order.size();) {
      std::size_t end = i + 1;
      while (end < order.size() && attributes_[order[end]] == attributes_[order[i]]) ++end;
      OrderForCache(indices, order, i, end, localOf);
      i = end;
    }
  }

  // New vertex numbers: order of first use, then (unless compacting) the unused ones.
  std::vector<DWORD> newOf(vertices_, D3DX_NO_NEIGHBOUR);
  std::vector<DWORD> oldOf;
  if (touchVertices) {
    oldOf.reserve(vertices_);
    for (DWORD f : order)
      for (int c = 0; c < 3; ++c) {
        const DWORD v = indices[f * 3 + c];
        if (newOf[v] == D3DX_NO_NEIGHBOUR) {
          newOf[v] = static_cast<DWORD>(oldOf.size());
          oldOf.push_back(v);
        }
      }
    if (!(flags & D3DXMESHOPT_COMPACT))
      for (DWORD v = 0; v < vertices_; ++v)
        if (newOf[v] == D3DX_NO_NEIGHBOUR) {
          newOf[v] = static_cast<DWORD>(oldOf.size());
          oldOf.push_back(v);
        }
  } else {
    oldOf.resize(vertices_);
    std::iota(oldOf.begin(), oldOf.end(), 0);
    std::iota(newOf.begin(), newOf.end(), 0);
  }

  std::vector<DWORD> newIndices(indices.size());
  std::vector<DWORD> newAttributes(faces_);
  for (DWORD f = 0; f < faces_; ++f) {
    for (int c = 0; c < 3; ++c) newIndices[f * 3 + c] = newOf[indices[order[f] * 3 + c]];
    newAttributes[f] = attributes_[order[f]];
  }

  ID3DXBuffer* remapBuffer = nullptr;
  if (vertexRemap) {
    *vertexRemap = nullptr;
    if (FAILED(D3DXCreateBuffer(static_cast<DWORD>(oldOf.size() * sizeof(DWORD)), &remapBuffer)))
      return E_OUTOFMEMORY;
    std::memcpy(remapBuffer->GetBufferPointer(), oldOf.data(), oldOf.size() * sizeof(DWORD));
  }

  // Vertex data in the new order; a smaller buffer when vertices were dropped.
  bool identityVertices = oldOf.size() == vertices_;
  for (std::size_t v = 0; v < oldOf.size() && identityVertices; ++v)
    identityVertices = oldOf[v] == v;
  if (!identityVertices) {
    void* src = nullptr;
    if (FAILED(vertexBuffer_->Lock(0, 0, &src, D3DLOCK_READONLY))) {
      if (remapBuffer) remapBuffer->Release();
      return D3DERR_INVALIDCALL;
    }
    std::vector<BYTE> data(oldOf.size() * stride_);
    for (std::size_t v = 0; v < oldOf.size(); ++v)
      std::memcpy(&data[v * stride_],
                  static_cast<const BYTE*>(src) + std::size_t{oldOf[v]} * stride_, stride_);
    vertexBuffer_->Unlock();
    IDirect3DVertexBuffer9* target = vertexBuffer_;
    if (oldOf.size() != vertices_) {
      D3DVERTEXBUFFER_DESC desc;
      vertexBuffer_->GetDesc(&desc);
      target = nullptr;
      if (FAILED(device_->CreateVertexBuffer(static_cast<UINT>(data.size()), desc.Usage, fvf_,
                                             desc.Pool, &target, nullptr))) {
        if (remapBuffer) remapBuffer->Release();
        return E_OUTOFMEMORY;
      }
    }
    void* dst = nullptr;
    if (FAILED(target->Lock(0, 0, &dst, 0))) {
      if (target != vertexBuffer_) target->Release();
      if (remapBuffer) remapBuffer->Release();
      return D3DERR_INVALIDCALL;
    }
    std::memcpy(dst, data.data(), data.size());
    target->Unlock();
    if (target != vertexBuffer_) {
      vertexBuffer_->Release();
      vertexBuffer_ = target;
      vertices_ = static_cast<DWORD>(oldOf.size());
    }
  }
  WriteIndices(newIndices);
  attributes_.swap(newAttributes);

  if (sortFaces) {
    table_.clear();
    for (DWORD f = 0; f < faces_;) {
      DWORD end = f + 1;
      while (end < faces_ && attributes_[end] == attributes_[f]) ++end;
      DWORD lo = D3DX_NO_NEIGHBOUR, hi = 0;
      for (DWORD i = f * 3; i < end * 3; ++i) {
        lo = std::min(lo, newIndices[i]);
        hi = std::max(hi, newIndices[i]);
      }
      table_.push_back({attributes_[f], f, end - f, lo, hi - lo + 1});
      f = end;
    }
  }

  if (faceRemap) std::copy(order.begin(), order.end(), faceRemap);
  if (adjacencyOut) {
    if (adjacencyIn) {
      std::vector<DWORD> newFaceOf(faces_);
      for (DWORD f = 0; f < faces_; ++f) newFaceOf[order[f]] = f;
      for (DWORD f = 0; f < faces_; ++f)
        for (int e = 0; e < 3; ++e) {
          const DWORD n = inAdjacency[order[f] * 3 + e];
          adjacencyOut[f * 3 + e] = n < faces_ ? newFaceOf[n] : D3DX_NO_NEIGHBOUR;
        }
    } else {
      GenerateAdjacency(0.0f, adjacencyOut);
    }
  }
  if (vertexRemap) *vertexRemap = remapBuffer;
  return D3D_OK;
}

}  // namespace platform::d3dx9

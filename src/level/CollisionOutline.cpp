#include "level/CollisionOutline.h"

#include <cmath>
#include <cstdint>
#include <cstring>

#include "engine/resources/ResourceManager.h"
#include "platform/FileSystem.h"

const char* const kOutlineFileName = "Terreno_0.cln";

void BuildEdges(CollisionOutline* outline) {
  outline->edges.clear();
  const std::size_t n = outline->points.size();
  if (n < 2) return;
  outline->edges.reserve(n - 1);
  for (std::size_t i = 0; i + 1 < n; ++i) {
    OutlineEdge e;
    e.start = outline->points[i];
    e.end = outline->points[i + 1];
    e.delta = e.end - e.start;
    if (e.delta.y == 0.0f) {
      e.normal = D3DXVECTOR3(0.0f, e.delta.x > 0.0f ? -1.0f : 1.0f, 0.0f);
    } else {
      const float theta = std::atan2(e.delta.y, e.delta.x);
      e.normal = D3DXVECTOR3(std::cos(theta + 1.5707964f), std::sin(theta + 1.5707964f), 0.0f);
    }
    outline->edges.push_back(e);
  }
}

void BuildDiamond(CollisionOutline* outline, const D3DXVECTOR3& c, float r) {
  const float f = 1.5f * r;
  const float h = 0.5f * f;
  const D3DXVECTOR3 offsets[9] = {{f, 0, 0},  {h, h, 0},   {0, f, 0},  {-h, h, 0}, {-f, 0, 0},
                                  {-h, -h, 0}, {0, -f, 0}, {h, -h, 0}, {f, 0, 0}};
  // Rebuilt after every move: reuse the storage rather than reallocating each frame.
  outline->points.resize(9);
  for (int i = 0; i < 9; ++i) outline->points[i] = c + offsets[i];
  BuildEdges(outline);
}

bool SegmentHitsEdge(const D3DXVECTOR3& P, const D3DXVECTOR3& M, const OutlineEdge& edge,
                     D3DXVECTOR3* hit) {
  const D3DXVECTOR3& E = edge.delta;
  const float det = E.x * M.y - M.x * E.y;
  if (det == 0.0f) return false;
  const float ax = edge.start.x - P.x;
  const float ay = edge.start.y - P.y;
  const float k = 1.0f / det;
  const float t = (ay * E.x - ax * E.y) * k;
  if (!(t >= 0.0f && t <= 1.0f)) return false;
  const float u = (ay * M.x - ax * M.y) * k;
  if (!(u >= 0.0f && u <= 1.0f)) return false;
  *hit = P + M * t;
  return true;
}

bool OutlineHit(const CollisionOutline& outline, const D3DXVECTOR3& P, const D3DXVECTOR3& M,
                SweepResult* result) {
  bool found = false;
  float bestSq = 0.0f;
  for (const OutlineEdge& edge : outline.edges) {
    D3DXVECTOR3 hit;
    if (!SegmentHitsEdge(P, M, edge, &hit)) continue;
    const D3DXVECTOR3 d = hit - P;
    const float sq = D3DXVec3LengthSq(&d);
    if (!found || sq < bestSq) {
      found = true;
      bestSq = sq;
      result->point = hit;
      result->normal = edge.normal;
    }
  }
  if (found) result->distance = std::sqrt(bestSq);
  return found;
}

namespace {

bool ReadValue(std::FILE* file, void* value) { return std::fread(value, 4, 1, file) == 1; }

bool ReadInt(std::FILE* file, std::int32_t* v) {
  unsigned char b[4];
  if (!ReadValue(file, b)) return false;
  *v = static_cast<std::int32_t>(static_cast<std::uint32_t>(b[0]) |
                                 static_cast<std::uint32_t>(b[1]) << 8 |
                                 static_cast<std::uint32_t>(b[2]) << 16 |
                                 static_cast<std::uint32_t>(b[3]) << 24);
  return true;
}

bool ReadFloat(std::FILE* file, float* v) {
  std::int32_t bits;
  if (!ReadInt(file, &bits)) return false;
  std::memcpy(v, &bits, 4);
  return true;
}

}  // namespace

void ReadOutlines(std::FILE* file, std::vector<CollisionOutline>* out) {
  std::int32_t count = 0;
  if (!ReadInt(file, &count) || count <= 0) return;
  for (std::int32_t o = 0; o < count; ++o) {
    std::int32_t n = 0;
    if (!ReadInt(file, &n) || n < 0) return;
    CollisionOutline outline;
    for (std::int32_t i = 0; i < n; ++i) {
      D3DXVECTOR3 p;
      if (!ReadFloat(file, &p.x) || !ReadFloat(file, &p.y) || !ReadFloat(file, &p.z)) return;
      outline.points.push_back(p);
    }
    BuildEdges(&outline);
    out->push_back(std::move(outline));
  }
}

bool LoadOutlineFile(std::vector<CollisionOutline>* out) {
  std::FILE* file = platform::OpenFile(dataRoot + kOutlineFileName, "rb");
  if (!file) return false;
  ReadOutlines(file, out);
  std::fclose(file);
  return true;
}

#include "kit3d/Mesh.h"

#include <algorithm>
#include <map>
#include <utility>

namespace kit3d {

V3 Xf::Normal(V3 n) const {
  // Cofactor matrix: the inverse transpose up to the determinant's factor.
  const auto& a = m;
  const float c[3][3] = {
      {a[1][1] * a[2][2] - a[1][2] * a[2][1], a[1][2] * a[2][0] - a[1][0] * a[2][2],
       a[1][0] * a[2][1] - a[1][1] * a[2][0]},
      {a[0][2] * a[2][1] - a[0][1] * a[2][2], a[0][0] * a[2][2] - a[0][2] * a[2][0],
       a[0][1] * a[2][0] - a[0][0] * a[2][1]},
      {a[0][1] * a[1][2] - a[0][2] * a[1][1], a[0][2] * a[1][0] - a[0][0] * a[1][2],
       a[0][0] * a[1][1] - a[0][1] * a[1][0]}};
  V3 r{c[0][0] * n.x + c[0][1] * n.y + c[0][2] * n.z, c[1][0] * n.x + c[1][1] * n.y + c[1][2] * n.z,
       c[2][0] * n.x + c[2][1] * n.y + c[2][2] * n.z};
  if (Mirrors()) r = -r;
  return Normalise(r);
}

bool Xf::Mirrors() const {
  const auto& a = m;
  const float det = a[0][0] * (a[1][1] * a[2][2] - a[1][2] * a[2][1]) -
                    a[0][1] * (a[1][0] * a[2][2] - a[1][2] * a[2][0]) +
                    a[0][2] * (a[1][0] * a[2][1] - a[1][1] * a[2][0]);
  return det < 0;
}

Xf operator*(const Xf& a, const Xf& b) {
  Xf r;
  for (int i = 0; i < 3; ++i)
    for (int j = 0; j < 3; ++j)
      r.m[i][j] = a.m[i][0] * b.m[0][j] + a.m[i][1] * b.m[1][j] + a.m[i][2] * b.m[2][j];
  r.t = a.Point(b.t);
  return r;
}

Xf Inverse(const Xf& xf) {
  const auto& a = xf.m;
  const float det = a[0][0] * (a[1][1] * a[2][2] - a[1][2] * a[2][1]) -
                    a[0][1] * (a[1][0] * a[2][2] - a[1][2] * a[2][0]) +
                    a[0][2] * (a[1][0] * a[2][1] - a[1][1] * a[2][0]);
  const float k = 1.0f / det;
  Xf r;
  r.m[0][0] = (a[1][1] * a[2][2] - a[1][2] * a[2][1]) * k;
  r.m[0][1] = (a[0][2] * a[2][1] - a[0][1] * a[2][2]) * k;
  r.m[0][2] = (a[0][1] * a[1][2] - a[0][2] * a[1][1]) * k;
  r.m[1][0] = (a[1][2] * a[2][0] - a[1][0] * a[2][2]) * k;
  r.m[1][1] = (a[0][0] * a[2][2] - a[0][2] * a[2][0]) * k;
  r.m[1][2] = (a[0][2] * a[1][0] - a[0][0] * a[1][2]) * k;
  r.m[2][0] = (a[1][0] * a[2][1] - a[1][1] * a[2][0]) * k;
  r.m[2][1] = (a[0][1] * a[2][0] - a[0][0] * a[2][1]) * k;
  r.m[2][2] = (a[0][0] * a[1][1] - a[0][1] * a[1][0]) * k;
  r.t = -r.Vector(xf.t);
  return r;
}

Xf Translate(V3 t) {
  Xf r;
  r.t = t;
  return r;
}

Xf Scale(V3 s) {
  Xf r;
  r.m[0][0] = s.x;
  r.m[1][1] = s.y;
  r.m[2][2] = s.z;
  return r;
}

Xf RotateX(float a) {
  Xf r;
  r.m[1][1] = std::cos(a);
  r.m[1][2] = -std::sin(a);
  r.m[2][1] = std::sin(a);
  r.m[2][2] = std::cos(a);
  return r;
}

Xf RotateY(float a) {
  Xf r;
  r.m[0][0] = std::cos(a);
  r.m[0][2] = std::sin(a);
  r.m[2][0] = -std::sin(a);
  r.m[2][2] = std::cos(a);
  return r;
}

Xf RotateZ(float a) {
  Xf r;
  r.m[0][0] = std::cos(a);
  r.m[0][1] = -std::sin(a);
  r.m[1][0] = std::sin(a);
  r.m[1][1] = std::cos(a);
  return r;
}

Xf AlignZ(V3 d) {
  d = Normalise(d);
  const V3 z{0, 0, 1};
  const V3 axis = Cross(z, d);
  const float s = Length(axis), c = d.z;
  if (s < 1e-6f) return c > 0 ? Xf{} : RotateX(kPi);
  const V3 k = axis * (1.0f / s);
  // Rodrigues' formula.
  Xf r;
  const float K[3][3] = {{0, -k.z, k.y}, {k.z, 0, -k.x}, {-k.y, k.x, 0}};
  for (int i = 0; i < 3; ++i)
    for (int j = 0; j < 3; ++j) {
      float kk = 0;
      for (int l = 0; l < 3; ++l) kk += K[i][l] * K[l][j];
      r.m[i][j] = (i == j ? 1.0f : 0.0f) + s * K[i][j] + (1 - c) * kk;
    }
  return r;
}

int Mesh::AddMaterial(const Material& m) {
  for (std::size_t i = 0; i < materials.size(); ++i)
    if (materials[i] == m) return static_cast<int>(i);
  materials.push_back(m);
  return static_cast<int>(materials.size() - 1);
}

std::uint32_t Mesh::AddVertex(V3 p, V3 n, float u, float v) {
  Vertex x;
  x.p = p;
  x.n = n;
  x.u = u;
  x.v = v;
  x.c = pen.colour;
  x.bone = pen.bone;
  vertices.push_back(x);
  return static_cast<std::uint32_t>(vertices.size() - 1);
}

void Mesh::AddTriangle(std::uint32_t a, std::uint32_t b, std::uint32_t c) {
  if (materials.empty()) AddMaterial(Material{});
  triangles.push_back({a, b, c});
  triangleMaterial.push_back(pen.material);
}

void Mesh::AddPatch(const std::vector<Vertex>& local,
                    const std::vector<std::array<std::uint32_t, 3>>& tris, const Xf& xf) {
  const auto base = static_cast<std::uint32_t>(vertices.size());
  for (const Vertex& v : local) AddVertex(xf.Point(v.p), xf.Normal(v.n), v.u, v.v);
  const bool flip = xf.Mirrors();
  for (const auto& t : tris) {
    if (flip)
      AddTriangle(base + t[0], base + t[2], base + t[1]);
    else
      AddTriangle(base + t[0], base + t[1], base + t[2]);
  }
}

namespace {

// The largest factor by which xf stretches a length.
float LargestScale(const Xf& xf) {
  float most = 0;
  for (int j = 0; j < 3; ++j)
    most = std::max(most, Length({xf.m[0][j], xf.m[1][j], xf.m[2][j]}));
  return most;
}

}  // namespace

namespace {
constexpr float kError = 0.5f;  // pixels between a chord's middle and the curve
}  // namespace

int Mesh::Segments(int requested, float radius, const Xf& xf) const {
  const int fewest = std::max(3, fewestSegments);
  if (pixelsPerUnit <= 0 || requested <= fewest) return requested;
  const float pixels = radius * LargestScale(xf) * pixelsPerUnit;
  if (pixels <= kError) return fewest;
  const int needed = static_cast<int>(std::ceil(kPi / std::acos(1 - kError / pixels)));
  return std::clamp(needed, fewest, requested);
}

void Mesh::Box(V3 h, float bevel, int steps, const Xf& xf) {
  bevel = std::max(0.0f, std::min({bevel, h.x, h.y, h.z}));
  if (pixelsPerUnit > 0) {
    const float pixels = bevel * LargestScale(xf) * pixelsPerUnit;
    if (pixels < 1) {
      steps = 0;
    } else if (pixels < 2) {
      steps = std::min(steps, 1);
    }
  }
  if (bevel <= 0 || steps == 0) bevel = 0, steps = 0;
  const V3 inner{h.x - bevel, h.y - bevel, h.z - bevel};
  struct FaceAxes {
    V3 n, u, v;
  };
  const FaceAxes faces[6] = {{{1, 0, 0}, {0, 1, 0}, {0, 0, 1}},  {{-1, 0, 0}, {0, -1, 0}, {0, 0, 1}},
                             {{0, 1, 0}, {-1, 0, 0}, {0, 0, 1}}, {{0, -1, 0}, {1, 0, 0}, {0, 0, 1}},
                             {{0, 0, 1}, {1, 0, 0}, {0, 1, 0}},  {{0, 0, -1}, {-1, 0, 0}, {0, 1, 0}}};
  auto extent = [&](V3 axis, V3 e) {
    return std::fabs(axis.x) * e.x + std::fabs(axis.y) * e.y + std::fabs(axis.z) * e.z;
  };
  auto coords = [&](float half, float in) {
    std::vector<float> c;
    for (int k = 0; k <= steps; ++k) {
      const float theta = steps ? (steps - k) * (kPi / 4) / steps : 0;
      c.push_back(-(in + (half - in) * std::tan(theta)));
    }
    if (steps == 0) c = {-half};
    const std::size_t n = c.size();
    for (std::size_t k = n; k-- > 0;) c.push_back(-c[k]);
    // Drop the duplicate where the two halves meet when there is no flat middle.
    std::vector<float> out;
    for (float x : c)
      if (out.empty() || std::fabs(out.back() - x) > 1e-5f) out.push_back(x);
    return out;
  };
  for (const FaceAxes& f : faces) {
    const float hu = extent(f.u, h), hv = extent(f.v, h), hn = extent(f.n, h);
    const std::vector<float> su = coords(hu, extent(f.u, inner));
    const std::vector<float> sv = coords(hv, extent(f.v, inner));
    std::vector<Vertex> local;
    std::vector<std::array<std::uint32_t, 3>> tris;
    for (float t : sv)
      for (float s : su) {
        const V3 q = f.u * s + f.v * t + f.n * hn;
        const V3 c{std::clamp(q.x, -inner.x, inner.x), std::clamp(q.y, -inner.y, inner.y),
                   std::clamp(q.z, -inner.z, inner.z)};
        Vertex v;
        const V3 d = q - c;
        if (bevel > 0 && Length(d) > 1e-6f) {
          v.n = Normalise(d);
          v.p = c + v.n * bevel;
        } else {
          v.n = f.n;
          v.p = q;
        }
        v.u = (s + hu) / (2 * hu);
        v.v = 1 - (t + hv) / (2 * hv);
        local.push_back(v);
      }
    const auto w = static_cast<std::uint32_t>(su.size());
    for (std::uint32_t j = 0; j + 1 < sv.size(); ++j)
      for (std::uint32_t i = 0; i + 1 < w; ++i) {
        const std::uint32_t a = j * w + i, b = a + 1, c = a + w + 1, d = a + w;
        tris.push_back({a, b, c});
        tris.push_back({a, c, d});
      }
    AddPatch(local, tris, xf);
  }
}

void Mesh::Lathe(const std::vector<RZ>& profile, int segments, const Xf& xf) {
  const std::size_t n = profile.size();
  if (n < 2 || segments < 3) return;
  float widest = 0;
  for (const RZ& p : profile) widest = std::max(widest, p.r);
  segments = Segments(segments, widest, xf);
  // Band normals in the (r, z) plane, pointing outwards.
  std::vector<RZ> band(n - 1);
  std::vector<float> length(n, 0.0f);
  for (std::size_t i = 0; i + 1 < n; ++i) {
    const float dr = profile[i + 1].r - profile[i].r, dz = profile[i + 1].z - profile[i].z;
    const float l = std::sqrt(dr * dr + dz * dz);
    band[i] = l > 0 ? RZ{dz / l, -dr / l} : RZ{1, 0};
    length[i + 1] = length[i] + l;
  }
  const float total = length[n - 1] > 0 ? length[n - 1] : 1.0f;
  struct Ring {
    std::uint32_t first;
    bool pole;
  };
  std::vector<Vertex> local;
  auto addRing = [&](std::size_t i, RZ normal) {
    const Ring ring{static_cast<std::uint32_t>(local.size()), profile[i].r < 1e-5f};
    for (int j = 0; j <= segments; ++j) {
      const float a = 2 * kPi * j / segments, c = std::cos(a), s = std::sin(a);
      Vertex v;
      v.p = {profile[i].r * c, profile[i].r * s, profile[i].z};
      v.n = Normalise({normal.r * c, normal.r * s, normal.z});
      v.u = static_cast<float>(j) / segments;
      v.v = 1 - length[i] / total;
      local.push_back(v);
    }
    return ring;
  };
  // For each point, the ring the band below ends on and the ring the band above starts on.
  std::vector<Ring> below(n), above(n);
  for (std::size_t i = 0; i < n; ++i) {
    const bool pole = profile[i].r < 1e-5f;
    if (i == 0 || i == n - 1) {
      RZ nn = i == 0 ? band[0] : band[n - 2];
      if (pole) nn = {0, i == 0 ? -1.0f : 1.0f};
      below[i] = above[i] = addRing(i, nn);
      continue;
    }
    const RZ a = band[i - 1], b = band[i];
    if (a.r * b.r + a.z * b.z > std::cos(40.0f * kPi / 180)) {
      RZ avg{a.r + b.r, a.z + b.z};
      const float l = std::sqrt(avg.r * avg.r + avg.z * avg.z);
      avg = {avg.r / l, avg.z / l};
      below[i] = above[i] = addRing(i, avg);
    } else {
      below[i] = addRing(i, a);
      above[i] = addRing(i, b);
    }
  }
  std::vector<std::array<std::uint32_t, 3>> tris;
  for (std::size_t i = 0; i + 1 < n; ++i) {
    const Ring lo = above[i], hi = below[i + 1];
    for (int j = 0; j < segments; ++j) {
      const std::uint32_t a = lo.first + j, b = a + 1, d = hi.first + j, c = d + 1;
      if (!lo.pole) tris.push_back({a, b, c});
      if (!hi.pole) tris.push_back({a, c, d});
    }
  }
  const std::size_t first = triangles.size();
  AddPatch(local, tris, xf);
  // Closed at both ends and opaque: a solid that hides what lies within it.
  const bool opaque = pen.colour.a >= 1 && (materials.empty() || materials[pen.material].diffuse.a >= 1);
  if (profile.front().r < 1e-5f && profile.back().r < 1e-5f && opaque)
    solids_.push_back({Inverse(xf), profile, segments, pen.bone, first, triangles.size()});
}

bool Mesh::Inside(const Solid& s, V3 p, float margin) const {
  const V3 q = s.toLocal.Point(p);
  const float rho = std::sqrt(q.x * q.x + q.y * q.y);
  // The faceted surface between two rings is flat: at the angle of q it lies farther from
  // the axis than at a facet's middle, by 1 / cos of the angle from that middle.
  const float step = 2 * kPi / s.segments;
  float a = std::atan2(q.y, q.x);
  if (a < 0) a += 2 * kPi;
  const float fromMiddle = a - (std::floor(a / step) + 0.5f) * step;
  const float r = rho * std::cos(fromMiddle) / std::cos(step / 2);
  // Inside the profile polygon (closed along the axis), and not within the margin of its
  // outline.
  bool inside = false;
  float nearest = 1e30f;
  const std::size_t n = s.profile.size();
  for (std::size_t i = 0, j = n - 1; i < n; j = i++) {
    const RZ u = s.profile[j], v = s.profile[i];
    if ((v.z > q.z) != (u.z > q.z) && r < u.r + (q.z - u.z) * (v.r - u.r) / (v.z - u.z))
      inside = !inside;
    const float er = v.r - u.r, ez = v.z - u.z, len2 = er * er + ez * ez;
    const float t = len2 > 0 ? std::clamp(((r - u.r) * er + (q.z - u.z) * ez) / len2, 0.0f, 1.0f) : 0.0f;
    const float dr = r - (u.r + t * er), dz = q.z - (u.z + t * ez);
    nearest = std::min(nearest, dr * dr + dz * dz);
  }
  return inside && nearest > margin * margin;
}

std::size_t Mesh::RemoveHidden(const std::vector<std::vector<Xf>>& poses) {
  std::vector<std::vector<Xf>> inverses(poses.size());
  for (std::size_t k = 0; k < poses.size(); ++k)
    for (const Xf& x : poses[k]) inverses[k].push_back(Inverse(x));
  std::vector<bool> hidden(triangles.size(), false);
  for (std::size_t t = 0; t < triangles.size(); ++t) {
    const V3 a = vertices[triangles[t][0]].p, b = vertices[triangles[t][1]].p,
             c = vertices[triangles[t][2]].p;
    const int bone = vertices[triangles[t][0]].bone;
    if (vertices[triangles[t][1]].bone != bone || vertices[triangles[t][2]].bone != bone) continue;
    // The corners, the middle and the edges' midpoints: a solid with a waist could let
    // a triangle whose corners are all inside cross its outline in between.
    const V3 points[7] = {a, b, c, (a + b + c) * (1.0f / 3), (a + b) * 0.5f, (b + c) * 0.5f,
                          (c + a) * 0.5f};
    for (const Solid& s : solids_) {
      if (t >= s.firstTriangle && t < s.endTriangle) continue;
      if (s.bone != bone && poses.empty()) continue;
      // A surface just under another fights it for the same pixels; across a joint the
      // poses between the sampled ones may move it a little more.
      const float margin = s.bone == bone ? 0.05f : 0.5f;
      // At rest first: it rules out nearly every pair at once.
      bool all = true;
      for (const V3& p : points) all = all && Inside(s, p, margin);
      if (s.bone != bone) {
        const auto b = static_cast<std::size_t>(bone), sb = static_cast<std::size_t>(s.bone);
        for (std::size_t k = 0; all && k < poses.size(); ++k) {
          if (b >= poses[k].size() || sb >= poses[k].size()) {
            all = false;
            break;
          }
          // Where the triangle is, posed, in the rest space of the solid's bone.
          const Xf toSolid = inverses[k][sb] * poses[k][b];
          for (const V3& p : points) all = all && Inside(s, toSolid.Point(p), margin);
        }
      }
      if (all) {
        hidden[t] = true;
        break;
      }
    }
  }
  std::vector<std::array<std::uint32_t, 3>> tris;
  std::vector<int> triMaterial;
  for (std::size_t t = 0; t < triangles.size(); ++t) {
    if (hidden[t]) continue;
    tris.push_back(triangles[t]);
    triMaterial.push_back(triangleMaterial[t]);
  }
  const std::size_t removed = triangles.size() - tris.size();
  triangles = std::move(tris);
  triangleMaterial = std::move(triMaterial);
  solids_.clear();
  // Vertices only the dropped triangles used go too.
  std::vector<std::uint32_t> remap(vertices.size(), UINT32_MAX);
  std::vector<Vertex> kept;
  for (auto& tri : triangles)
    for (std::uint32_t& i : tri) {
      if (remap[i] == UINT32_MAX) {
        remap[i] = static_cast<std::uint32_t>(kept.size());
        kept.push_back(vertices[i]);
      }
      i = remap[i];
    }
  vertices = std::move(kept);
  return removed;
}

void Mesh::Sphere(float r, int segments, int rings, const Xf& xf) {
  // Rings thin out with the segments, keeping the facets about as tall as wide.
  const int fewer = Segments(segments, r, xf);
  if (fewer < segments)
    rings = std::clamp((rings * fewer + segments - 1) / segments, std::min(rings, fewer < 6 ? 2 : 3), rings);
  segments = fewer;
  std::vector<RZ> p;
  for (int i = 0; i <= rings; ++i) {
    const float phi = -kPi / 2 + kPi * i / rings;
    p.push_back({r * std::cos(phi), r * std::sin(phi)});
  }
  p.front().r = p.back().r = 0;
  Lathe(p, segments, xf);
}

void Mesh::Cylinder(float r, float h, int segments, const Xf& xf) {
  Lathe({{0, 0}, {r, 0}, {r, h}, {0, h}}, segments, xf);
}

void Mesh::Cone(float r, float h, int segments, const Xf& xf) {
  Lathe({{0, 0}, {r, 0}, {0, h}}, segments, xf);
}

void Mesh::Tube(V3 a, V3 b, float r0, float r1, int segments) {
  const float l = Length(b - a);
  std::vector<RZ> p;
  // Each rounded end is a quarter circle in k steps; one step (a cone) when that stays
  // within the error on screen, and only where small parts may go below six segments.
  int k = 2;
  const float pixels = std::max(r0, r1) * pixelsPerUnit;
  if (fewestSegments < 6 && pixelsPerUnit > 0 && pixels * (1 - std::cos(kPi / 4)) <= kError) k = 1;
  for (int i = 0; i <= k; ++i) {
    const float phi = -kPi / 2 + (kPi / 2) * i / k;
    p.push_back({r0 * std::cos(phi), r0 * std::sin(phi)});
  }
  for (int i = 0; i <= k; ++i) {
    const float phi = (kPi / 2) * i / k;
    p.push_back({r1 * std::cos(phi), l + r1 * std::sin(phi)});
  }
  p.front().r = p.back().r = 0;
  Lathe(p, segments, Translate(a) * AlignZ(b - a));
}

void Mesh::Torus(float R, float r, int segments, int sides, const Xf& xf) {
  segments = Segments(segments, R + r, xf);
  // A multiple of four keeps the tube's top, bottom, inside and outside, where a torus
  // lying on the ground touches it.
  if (sides % 4 == 0) sides = std::min(sides, (Segments(sides, r, xf) + 3) / 4 * 4);
  std::vector<Vertex> local;
  std::vector<std::array<std::uint32_t, 3>> tris;
  for (int i = 0; i <= segments; ++i)
    for (int j = 0; j <= sides; ++j) {
      const float a = 2 * kPi * i / segments, b = 2 * kPi * j / sides;
      Vertex v;
      v.n = {std::cos(b) * std::cos(a), std::cos(b) * std::sin(a), std::sin(b)};
      v.p = {(R + r * std::cos(b)) * std::cos(a), (R + r * std::cos(b)) * std::sin(a),
             r * std::sin(b)};
      v.u = static_cast<float>(i) / segments;
      v.v = static_cast<float>(j) / sides;
      local.push_back(v);
    }
  const auto w = static_cast<std::uint32_t>(sides + 1);
  for (std::uint32_t i = 0; i < static_cast<std::uint32_t>(segments); ++i)
    for (std::uint32_t j = 0; j < static_cast<std::uint32_t>(sides); ++j) {
      const std::uint32_t a = i * w + j, b = a + w, c = b + 1, d = a + 1;
      tris.push_back({a, b, c});
      tris.push_back({a, c, d});
    }
  AddPatch(local, tris, xf);
}

void Mesh::Star(float outer, float inner, float depth, int points, const Xf& xf) {
  std::vector<V3> rim;
  for (int k = 0; k < 2 * points; ++k) {
    const float a = kPi * k / points, r = k % 2 ? inner : outer;
    rim.push_back({r * std::sin(a), 0, r * std::cos(a)});
  }
  const V3 front{0, -depth, 0}, back{0, depth, 0};
  for (std::size_t k = 0; k < rim.size(); ++k) {
    const V3 p = rim[k], q = rim[(k + 1) % rim.size()];
    Facet(xf.Point(front), xf.Point(q), xf.Point(p));
    Facet(xf.Point(back), xf.Point(p), xf.Point(q));
  }
}

void Mesh::Prism(const std::vector<std::array<float, 2>>& poly, float h, const Xf& xf) {
  const std::size_t n = poly.size();
  if (n < 3) return;
  auto at = [&](std::size_t i, float z) { return xf.Point({poly[i % n][0], poly[i % n][1], z}); };
  for (std::size_t i = 1; i + 1 < n; ++i) {
    Facet(at(0, h), at(i, h), at(i + 1, h));
    Facet(at(0, 0), at(i + 1, 0), at(i, 0));
  }
  for (std::size_t i = 0; i < n; ++i) Facet(at(i, 0), at(i + 1, 0), at(i + 1, h), at(i, h));
}

void Mesh::Grid(float x0, float y0, float x1, float y1, int nx, int ny,
                const std::function<float(float, float)>& height,
                const std::function<Rgba(float, float, float)>& colour) {
  const auto base = static_cast<std::uint32_t>(vertices.size());
  const Rgba saved = pen.colour;
  const float dx = (x1 - x0) / nx, dy = (y1 - y0) / ny;
  for (int j = 0; j <= ny; ++j)
    for (int i = 0; i <= nx; ++i) {
      const float x = x0 + dx * i, y = y0 + dy * j, z = height(x, y);
      const float gx = (height(x + dx * 0.5f, y) - height(x - dx * 0.5f, y)) / dx;
      const float gy = (height(x, y + dy * 0.5f) - height(x, y - dy * 0.5f)) / dy;
      pen.colour = colour(x, y, z);
      AddVertex({x, y, z}, Normalise({-gx, -gy, 1}), static_cast<float>(i) / nx,
                1 - static_cast<float>(j) / ny);
    }
  pen.colour = saved;
  const auto w = static_cast<std::uint32_t>(nx + 1);
  for (std::uint32_t j = 0; j < static_cast<std::uint32_t>(ny); ++j)
    for (std::uint32_t i = 0; i < static_cast<std::uint32_t>(nx); ++i) {
      const std::uint32_t a = base + j * w + i, b = a + 1, c = a + w + 1, d = a + w;
      AddTriangle(a, b, c);
      AddTriangle(a, c, d);
    }
}

void Mesh::Facet(V3 a, V3 b, V3 c) {
  const V3 n = Normalise(Cross(b - a, c - a));
  const std::uint32_t i = AddVertex(a, n, 0, 1), j = AddVertex(b, n, 1, 1), k = AddVertex(c, n, 0.5f, 0);
  AddTriangle(i, j, k);
}

void Mesh::Facet(V3 a, V3 b, V3 c, V3 d) {
  const V3 n = Normalise(Cross(b - a, c - a) + Cross(c - a, d - a));
  const std::uint32_t i = AddVertex(a, n, 0, 1), j = AddVertex(b, n, 1, 1), k = AddVertex(c, n, 1, 0),
                      l = AddVertex(d, n, 0, 0);
  AddTriangle(i, j, k);
  AddTriangle(i, k, l);
}

void Mesh::Weld() {
  bool textured = false;
  for (const Material& m : materials) textured |= !m.texture.empty();
  // Compared on a grid finer than the file's four decimals: a lathe's seam closes with
  // cos 2π and sin 2π, which are not bit for bit those of angle 0.
  auto q = [](float f) { return std::lround(static_cast<double>(f) * 1e4); };
  std::map<std::pair<std::array<long, 12>, int>, std::uint32_t> seen;
  std::vector<Vertex> kept;
  std::vector<std::uint32_t> remap(vertices.size());
  for (std::size_t i = 0; i < vertices.size(); ++i) {
    const Vertex& v = vertices[i];
    const float u = textured ? v.u : 0, w = textured ? v.v : 0;
    const std::pair<std::array<long, 12>, int> key{
        {q(v.p.x), q(v.p.y), q(v.p.z), q(v.n.x), q(v.n.y), q(v.n.z), q(u), q(w), q(v.c.r),
         q(v.c.g), q(v.c.b), q(v.c.a)},
        v.bone};
    const auto [at, added] = seen.emplace(key, static_cast<std::uint32_t>(kept.size()));
    if (added) kept.push_back(vertices[i]);
    remap[i] = at->second;
  }
  std::vector<std::array<std::uint32_t, 3>> tris;
  std::vector<int> triMaterial;
  for (std::size_t t = 0; t < triangles.size(); ++t) {
    const std::uint32_t a = remap[triangles[t][0]], b = remap[triangles[t][1]],
                        c = remap[triangles[t][2]];
    if (a == b || b == c || a == c) continue;
    tris.push_back({a, b, c});
    triMaterial.push_back(triangleMaterial[t]);
  }
  vertices = std::move(kept);
  triangles = std::move(tris);
  triangleMaterial = std::move(triMaterial);
  solids_.clear();  // their triangle ranges no longer hold
}

void Mesh::Append(const Mesh& other) {
  const auto base = static_cast<std::uint32_t>(vertices.size());
  vertices.insert(vertices.end(), other.vertices.begin(), other.vertices.end());
  for (std::size_t t = 0; t < other.triangles.size(); ++t) {
    const auto& tri = other.triangles[t];
    triangles.push_back({base + tri[0], base + tri[1], base + tri[2]});
    triangleMaterial.push_back(AddMaterial(other.materials[other.triangleMaterial[t]]));
  }
}

}  // namespace kit3d

// The generator's mesh clean-up for the skinned figures, on a small rig: dropping the
// surfaces that lie inside solids never changes what a ray sees in any pose the clips
// take the skeleton through, and merging equal vertices keeps every triangle's corners.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <limits>
#include <vector>

#include "kit3d/Mesh.h"
#include "kit3d/Skeleton.h"

using namespace kit3d;

namespace {

// Distance along the ray to the nearest triangle (either side), or infinity.
float NearestHit(const std::vector<V3>& posed, const Mesh& m, V3 origin, V3 dir) {
  float best = std::numeric_limits<float>::infinity();
  for (const auto& t : m.triangles) {
    const V3 a = posed[t[0]], e1 = posed[t[1]] - a, e2 = posed[t[2]] - a;
    const V3 p = Cross(dir, e2);
    const float det = Dot(e1, p);
    if (std::fabs(det) < 1e-9f) continue;
    const V3 s = origin - a;
    const float u = Dot(s, p) / det;
    if (u < 0 || u > 1) continue;
    const V3 q = Cross(s, e1);
    const float v = Dot(dir, q) / det;
    if (v < 0 || u + v > 1) continue;
    const float d = Dot(e2, q) / det;
    if (d > 0) best = std::min(best, d);
  }
  return best;
}

std::vector<V3> Posed(const Mesh& m, const std::vector<Xf>& bones) {
  std::vector<V3> out;
  for (const Vertex& v : m.vertices) out.push_back(bones[v.bone].Point(v.p));
  return out;
}

struct Rig {
  Mesh mesh;
  Skeleton skeleton;
  std::vector<Clip> clips;
};

// A round body (bone 0) with a nose half sunk into it; an arm (bone 1) whose shoulder
// end stays inside the body as it swings; a leg (bone 2) whose top end is inside the body
// at rest but slides out of it for part of the clip.
Rig MakeRig() {
  Rig r;
  Skeleton& s = r.skeleton;
  const int body = s.Add("Cuerpo", -1, {0, 0, 30});
  const int arm = s.Add("Brazo", body, {0, 12, 8});
  const int leg = s.Add("Pierna", body, {0, -8, -14});
  Mesh& m = r.mesh;
  m.pen.bone = body;
  m.Sphere(20, 16, 9, Translate({0, 0, 30}));
  m.Sphere(4, 8, 5, Translate({19, 0, 30}));
  m.pen.bone = arm;
  m.Tube({0, 12, 38}, {0, 34, 22}, 3, 2.5f, 8);
  m.pen.bone = leg;
  m.Tube({0, -8, 16}, {0, -8, -6}, 3.5f, 3, 8);
  Clip c;
  c.name = "correr";
  for (int k = 0; k <= 4; ++k) {
    Pose p = s.Rest();
    const float a = 2 * kPi * k / 4;
    p.rotation[arm] = AxisAngle({1, 0, 0}, 0.6f * std::sin(a));
    p.offset[leg].z -= 14 * std::max(0.0f, std::sin(a));  // out of the body, then back
    c.times.push_back(0.25f * k);
    c.poses.push_back(p);
  }
  r.clips = {c};
  return r;
}

TEST(Kit3dMesh, HiddenSurfacesGoWithoutChangingWhatAnyPoseShows) {
  const Rig rig = MakeRig();
  const std::vector<Pose> sampled = rig.skeleton.Sample(rig.clips, 3);
  ASSERT_EQ(sampled.size(), 1u + 5u + 4u * 3u);
  std::vector<std::vector<Xf>> poses;
  for (const Pose& p : sampled) {
    poses.push_back(rig.skeleton.Transforms(p));
    // The transforms are the skeleton's own way of posing a point.
    for (int b = 0; b < 3; ++b) {
      const V3 probe{3, -5, 20}, d = poses.back()[b].Point(probe) - rig.skeleton.Apply(p, b, probe);
      ASSERT_LT(Length(d), 1e-3f) << "bone " << b;
    }
  }
  Mesh culled = rig.mesh;
  const std::size_t removed = culled.RemoveHidden(poses);
  EXPECT_EQ(removed, rig.mesh.triangles.size() - culled.triangles.size());
  auto perBone = [](const Mesh& m, int bone) {
    return std::count_if(m.triangles.begin(), m.triangles.end(),
                         [&](const auto& t) { return m.vertices[t[0]].bone == bone; });
  };
  EXPECT_LT(perBone(culled, 0), perBone(rig.mesh, 0));  // the nose's sunk half
  EXPECT_LT(perBone(culled, 1), perBone(rig.mesh, 1));  // the shoulder end
  // The leg's top shows while it is out of the body, so it stays.
  EXPECT_EQ(perBone(culled, 2), perBone(rig.mesh, 2));

  // Parallel rays from six sides and four slants hit the same surface at the same depth.
  const V3 dirs[] = {{1, 0, 0}, {-1, 0, 0}, {0, 1, 0},   {0, -1, 0},   {0, 0, 1},
                     {0, 0, -1}, {1, 1, -1}, {-1, 1, -1}, {1, -1, -1}, {-1, -1, 1}};
  int hits = 0;
  for (std::size_t k = 0; k < poses.size(); ++k) {
    const std::vector<V3> full = Posed(rig.mesh, poses[k]), cut = Posed(culled, poses[k]);
    for (V3 dir : dirs) {
      dir = Normalise(dir);
      const V3 u = Normalise(Cross(dir, std::fabs(dir.z) < 0.9f ? V3{0, 0, 1} : V3{1, 0, 0}));
      const V3 v = Cross(dir, u);
      const V3 centre{0, 0, 25};
      for (int i = -16; i <= 16; ++i)
        for (int j = -16; j <= 16; ++j) {
          const V3 origin = centre - dir * 100 + u * (2.5f * i) + v * (2.5f * j);
          const float a = NearestHit(full, rig.mesh, origin, dir);
          const float b = NearestHit(cut, culled, origin, dir);
          if (std::isinf(a)) {
            ASSERT_TRUE(std::isinf(b)) << "pose " << k;
            continue;
          }
          ++hits;
          ASSERT_NEAR(a, b, 1e-3f) << "pose " << k << " ray " << i << "," << j;
        }
    }
  }
  EXPECT_GT(hits, 5000);
}

TEST(Kit3dMesh, WeldMergesCopiesAndKeepsEveryCorner) {
  Mesh m;
  m.pen.colour = {1, 0, 0, 1};
  m.Sphere(10, 12, 6, Xf{});
  m.pen.colour = {0, 0, 1, 1};
  m.Cylinder(4, 10, 8, Translate({0, 0, 10}));  // sharp rims keep their split normals
  const Mesh before = m;
  m.Weld();
  EXPECT_LT(m.vertices.size(), before.vertices.size() * 3 / 4);
  // Triangles that collapse (the poles' slivers) are the only ones that go.
  ASSERT_LE(m.triangles.size(), before.triangles.size());
  std::size_t j = 0;
  for (std::size_t i = 0; i < before.triangles.size(); ++i) {
    const auto& t = before.triangles[i];
    const V3 a = before.vertices[t[0]].p, b = before.vertices[t[1]].p, c = before.vertices[t[2]].p;
    if (Length(Cross(b - a, c - a)) < 1e-6f) continue;
    ASSERT_LT(j, m.triangles.size());
    const auto& w = m.triangles[j++];
    for (int k = 0; k < 3; ++k) {
      const Vertex& x = before.vertices[t[k]];
      const Vertex& y = m.vertices[w[k]];
      EXPECT_LT(Length(x.p - y.p), 1e-3f);
      EXPECT_LT(Length(x.n - y.n), 1e-3f);
      EXPECT_EQ(x.c, y.c);
    }
  }
  EXPECT_EQ(j, m.triangles.size());
  for (std::size_t a = 0; a < m.vertices.size(); ++a)
    for (std::size_t b = a + 1; b < m.vertices.size(); ++b) {
      const Vertex& x = m.vertices[a];
      const Vertex& y = m.vertices[b];
      EXPECT_FALSE(Length(x.p - y.p) < 1e-4f && Length(x.n - y.n) < 1e-4f && x.c == y.c)
          << a << " and " << b;
    }
}

}  // namespace

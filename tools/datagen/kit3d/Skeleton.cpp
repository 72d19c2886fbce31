#include "kit3d/Skeleton.h"

#include <cmath>

namespace kit3d {

Quat AxisAngle(V3 axis, float radians) {
  axis = Normalise(axis);
  const float s = std::sin(radians / 2);
  return {std::cos(radians / 2), axis.x * s, axis.y * s, axis.z * s};
}

Quat operator*(const Quat& a, const Quat& b) {
  return {a.w * b.w - a.x * b.x - a.y * b.y - a.z * b.z,
          a.w * b.x + a.x * b.w + a.y * b.z - a.z * b.y,
          a.w * b.y - a.x * b.z + a.y * b.w + a.z * b.x,
          a.w * b.z + a.x * b.y - a.y * b.x + a.z * b.w};
}

V3 Rotate(const Quat& q, V3 v) {
  const V3 u{q.x, q.y, q.z};
  const V3 t = Cross(u, v) * 2.0f;
  return v + t * q.w + Cross(u, t);
}

int Skeleton::Add(const std::string& name, int parent, V3 rest) {
  bones.push_back({name, parent, rest});
  return static_cast<int>(bones.size() - 1);
}

Pose Skeleton::Rest() const {
  Pose p;
  p.rotation.assign(bones.size(), Quat{});
  p.scale.assign(bones.size(), V3{1, 1, 1});
  for (const Bone& b : bones) p.offset.push_back(b.rest);
  return p;
}

std::vector<V3> Skeleton::RestOrigins() const {
  std::vector<V3> o(bones.size());
  for (std::size_t i = 0; i < bones.size(); ++i)
    o[i] = bones[i].rest + (bones[i].parent >= 0 ? o[bones[i].parent] : V3{});
  return o;
}

V3 Skeleton::Apply(const Pose& pose, int bone, V3 restPoint) const {
  const std::vector<V3> origins = RestOrigins();
  V3 p = restPoint - origins[bone];
  for (int b = bone; b >= 0; b = bones[b].parent) {
    const V3 s = pose.scale[b];
    p = Rotate(pose.rotation[b], {p.x * s.x, p.y * s.y, p.z * s.z}) + pose.offset[b];
  }
  return p;
}

namespace {

Xf RotationOf(const Quat& q) {
  Xf r;
  const float w = q.w, x = q.x, y = q.y, z = q.z;
  r.m[0][0] = 1 - 2 * (y * y + z * z);
  r.m[0][1] = 2 * (x * y - w * z);
  r.m[0][2] = 2 * (x * z + w * y);
  r.m[1][0] = 2 * (x * y + w * z);
  r.m[1][1] = 1 - 2 * (x * x + z * z);
  r.m[1][2] = 2 * (y * z - w * x);
  r.m[2][0] = 2 * (x * z - w * y);
  r.m[2][1] = 2 * (y * z + w * x);
  r.m[2][2] = 1 - 2 * (x * x + y * y);
  return r;
}

// Normalised linear blend, on the shorter arc.
Quat Nlerp(Quat a, Quat b, float t) {
  if (a.w * b.w + a.x * b.x + a.y * b.y + a.z * b.z < 0) b = {-b.w, -b.x, -b.y, -b.z};
  Quat q{a.w + (b.w - a.w) * t, a.x + (b.x - a.x) * t, a.y + (b.y - a.y) * t, a.z + (b.z - a.z) * t};
  const float l = std::sqrt(q.w * q.w + q.x * q.x + q.y * q.y + q.z * q.z);
  return {q.w / l, q.x / l, q.y / l, q.z / l};
}

}  // namespace

std::vector<Xf> Skeleton::Transforms(const Pose& pose) const {
  const std::vector<V3> origins = RestOrigins();
  std::vector<Xf> out(bones.size());
  for (std::size_t bone = 0; bone < bones.size(); ++bone) {
    Xf x = Translate(-origins[bone]);
    for (int b = static_cast<int>(bone); b >= 0; b = bones[b].parent)
      x = Translate(pose.offset[b]) * RotationOf(pose.rotation[b]) * Scale(pose.scale[b]) * x;
    out[bone] = x;
  }
  return out;
}

std::vector<Pose> Skeleton::Sample(const std::vector<Clip>& clips, int between) const {
  std::vector<Pose> out{Rest()};
  for (const Clip& c : clips)
    for (std::size_t k = 0; k < c.poses.size(); ++k) {
      out.push_back(c.poses[k]);
      if (k + 1 == c.poses.size()) break;
      const Pose& a = c.poses[k];
      const Pose& b = c.poses[k + 1];
      for (int i = 1; i <= between; ++i) {
        const float t = static_cast<float>(i) / (between + 1);
        Pose p = a;
        for (std::size_t j = 0; j < bones.size(); ++j) {
          p.rotation[j] = Nlerp(a.rotation[j], b.rotation[j], t);
          p.scale[j] = a.scale[j] + (b.scale[j] - a.scale[j]) * t;
          p.offset[j] = a.offset[j] + (b.offset[j] - a.offset[j]) * t;
        }
        out.push_back(p);
      }
    }
  return out;
}

}  // namespace kit3d

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

}  // namespace kit3d

// Bones, poses and keyframed clips for the skinned figures and markers. Bones rest
// without rotation (only an offset from their parent), so a vertex bound to a bone
// moves with that bone's pose; a clip samples poses at key times and is written as the
// rotation, scale and position keys of an animation set.
#pragma once

#include <string>
#include <vector>

#include "kit3d/Mesh.h"

namespace kit3d {

// Unit quaternion in the usual right-handed sense: Rotate turns a vector by it.
struct Quat {
  float w = 1, x = 0, y = 0, z = 0;
};
Quat AxisAngle(V3 axis, float radians);
Quat operator*(const Quat& a, const Quat& b);  // b first, then a
V3 Rotate(const Quat& q, V3 v);

struct Bone {
  std::string name;
  int parent = -1;  // -1: child of the root frame
  V3 rest;          // offset from the parent bone's origin (model space at rest)
};

// Local state of every bone: rotation about its origin, scale, and offset from the parent.
struct Pose {
  std::vector<Quat> rotation;
  std::vector<V3> scale;
  std::vector<V3> offset;
};

struct Clip {
  std::string name;
  std::vector<float> times;  // seconds, first 0, last the period
  std::vector<Pose> poses;   // one per time
};

class Skeleton {
 public:
  std::vector<Bone> bones;

  int Add(const std::string& name, int parent, V3 rest);
  // The rest pose: no rotation, unit scale, the rest offsets.
  Pose Rest() const;
  // Model-space origin of every bone at rest.
  std::vector<V3> RestOrigins() const;
  // Where a model-space rest point bound to `bone` goes in a pose.
  V3 Apply(const Pose& pose, int bone, V3 restPoint) const;
  // The same map for every bone at once, as transforms of rest model space.
  std::vector<Xf> Transforms(const Pose& pose) const;
  // Every key pose of the clips with `between` more poses evenly in each interval,
  // interpolated the way a player of the clips would; the rest pose first.
  std::vector<Pose> Sample(const std::vector<Clip>& clips, int between) const;
};

}  // namespace kit3d

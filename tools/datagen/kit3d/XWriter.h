// Text .X writer: static meshes (one Mesh with normals, texture coordinates, vertex
// colours and a material list) and skinned figures (a frame per bone, the mesh with
// SkinWeights, and animation sets). Rotation keys are stored as the format's readers
// expect them: (w, x, y, z) of the conjugate of the rotation meant.
#pragma once

#include <string>
#include <vector>

#include "kit3d/Mesh.h"
#include "kit3d/Skeleton.h"

namespace kit3d {

// Ticks per second written into every animated file.
constexpr int kTicksPerSecond = 4800;

// The file's text; Write* put it on disk and return false (after printing) on failure.
std::string StaticX(const Mesh& mesh, const std::string& meshName);
std::string SkinnedX(const Mesh& mesh, const Skeleton& skeleton, const std::vector<Clip>& clips);
bool WriteText(const std::string& path, const std::string& text);

// The terrain outline file: closed or open polylines in the ground plane.
bool WriteOutlines(const std::string& path, const std::vector<std::vector<V3>>& outlines);

}  // namespace kit3d

#include "support/AnimatedTestFiles.h"

#include <cmath>

namespace testsupport {

std::vector<float> StoredRotationZ(float degrees) {
  const float half = degrees * 3.14159265f / 360.0f;
  return {std::cos(half), 0.0f, 0.0f, -std::sin(half)};
}

namespace {

XNode RotationKeys(const std::vector<std::pair<std::uint32_t, float>>& keys) {
  std::vector<XTestKey> k;
  for (const auto& [time, degrees] : keys) k.push_back({time, StoredRotationZ(degrees)});
  return AnimationKeyNode(0, k);
}

XNode PositionKeys(const std::vector<std::pair<std::uint32_t, Vec3>>& keys) {
  std::vector<XTestKey> k;
  for (const auto& [time, p] : keys) k.push_back({time, {p[0], p[1], p[2]}});
  return AnimationKeyNode(2, k);
}

XNode Materials(const ArmOptions& o, std::uint32_t faces, float red) {
  XTestMaterial m;
  m.colour = {red, 0.5f, 0.25f, 1.0f};
  m.texture = o.texture;
  return MaterialListNode(1, std::vector<std::uint32_t>(faces, 0), {m});
}

}  // namespace

std::vector<XNode> ArmFile(const ArmOptions& o) {
  XNode strip = MeshNode("Tira", {{0, 0, 0}, {0, 1, 0}, {2, 0, 0}, {2, 1, 0}, {4, 0, 0}, {4, 1, 0}},
                         {{0, 2, 3, 1}, {2, 4, 5, 3}});
  strip.Add(NormalsNode({{0, 0, 1}}, {{0, 0, 0, 0}, {0, 0, 0, 0}}));
  strip.Add(TexCoordsNode({{0, 0}, {0, 1}, {0.5f, 0}, {0.5f, 1}, {1, 0}, {1, 1}}));
  if (o.materials) strip.Add(Materials(o, 2, 0.75f));
  strip.Add(SkinHeaderNode(2, 4, 2));
  strip.Add(SkinWeightsNode("Hueso0", {0, 1, 2, 3}, {1, 1, 0.5f, 0.5f}, Translation(0, 0, 0)));
  strip.Add(
      SkinWeightsNode(o.secondBone, {2, 3, 4, 5}, {0.5f, 0.5f, 1, 1}, Translation(-2, 0, 0)));

  XNode hand = MeshNode("Palma", {{0, 0, 0}, {1, 0, 0}, {0, 1, 0}}, {{0, 1, 2}});
  if (o.materials) hand.Add(Materials(o, 1, 0.25f));

  XNode root = FrameNode("Brazo");
  root.Add(MatrixNode(Translation(0, 0, 0)));
  XNode mesh = FrameNode("Malla");
  mesh.Add(std::move(strip));
  XNode bone0 = FrameNode("Hueso0");
  XNode bone1 = FrameNode("Hueso1");
  bone1.Add(MatrixNode(Translation(2, 0, 0)));
  XNode handFrame = FrameNode("Mano");
  handFrame.Add(std::move(hand));
  bone1.Add(std::move(handFrame));
  bone0.Add(std::move(bone1));
  root.Add(std::move(mesh));
  root.Add(std::move(bone0));

  std::vector<XNode> file;
  if (o.ticks) file.push_back(AnimTicksNode(100));
  file.push_back(std::move(root));
  if (!o.animations) return file;
  file.push_back(AnimationSetNode(
      "correr", {AnimationNode("Hueso1", {RotationKeys({{0, 0.0f}, {100, 90.0f}}),
                                          PositionKeys({{0, {2, 0, 0}}, {100, {2, 0, 0}}})})}));
  file.push_back(AnimationSetNode(
      "rotar", {AnimationNode("Hueso0", {RotationKeys({{0, 0.0f}, {50, 90.0f}, {100, 180.0f}, {150, 270.0f}, {200, 360.0f}})})}));
  file.push_back(AnimationSetNode(
      "saltar", {AnimationNode("Hueso0", {PositionKeys({{0, {0, 0, 0}}, {100, {0, 0, 10}}}),
                                          AnimationOptionsNode(1, 1)})}));
  return file;
}

std::string ArmText(const ArmOptions& options) {
  return WriteXFile(ArmFile(options), XWriteOptions{});
}

}  // namespace testsupport

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

namespace {

// Accumulates boxes into one skinned mesh: per box, a material and the bone that moves it.
class BoxMesh {
 public:
  explicit BoxMesh(int detail) : detail_(detail < 1 ? 1 : detail) {}

  void Box(Vec3 centre, Vec3 half, std::uint32_t material, std::uint32_t bone) {
    static const int kFaces[6][3][3] = {
        {{1, 0, 0}, {0, 1, 0}, {0, 0, 1}},  {{-1, 0, 0}, {0, -1, 0}, {0, 0, 1}},
        {{0, 1, 0}, {0, 0, 1}, {1, 0, 0}},  {{0, -1, 0}, {0, 0, -1}, {1, 0, 0}},
        {{0, 0, 1}, {1, 0, 0}, {0, 1, 0}},  {{0, 0, -1}, {-1, 0, 0}, {0, 1, 0}}};
    for (const auto& f : kFaces) {
      const std::uint32_t normal = static_cast<std::uint32_t>(normals_.size());
      normals_.push_back({float(f[0][0]), float(f[0][1]), float(f[0][2])});
      const std::uint32_t first = static_cast<std::uint32_t>(positions_.size());
      for (int j = 0; j <= detail_; ++j) {
        for (int i = 0; i <= detail_; ++i) {
          const float a = -1.0f + 2.0f * i / detail_, b = -1.0f + 2.0f * j / detail_;
          Vec3 p;
          for (int k = 0; k < 3; ++k)
            p[k] = centre[k] + half[k] * (f[0][k] + a * f[1][k] + b * f[2][k]);
          positions_.push_back(p);
          bones_.push_back(bone);
        }
      }
      const int row = detail_ + 1;
      for (int j = 0; j < detail_; ++j) {
        for (int i = 0; i < detail_; ++i) {
          const std::uint32_t c = first + static_cast<std::uint32_t>(j * row + i);
          faces_.push_back({c, c + 1, c + 1 + static_cast<std::uint32_t>(row),
                            c + static_cast<std::uint32_t>(row)});
          normalFaces_.push_back({normal, normal, normal, normal});
          materials_.push_back(material);
        }
      }
    }
  }

  // The mesh with its normals, materials and one SkinWeights per bone name.
  XNode Node(const std::vector<XTestMaterial>& materials, const std::vector<std::string>& boneNames,
             const std::vector<std::array<float, 16>>& offsets) const {
    XNode mesh = MeshNode("Cuerpo", positions_, faces_);
    mesh.Add(NormalsNode(normals_, normalFaces_));
    mesh.Add(MaterialListNode(static_cast<std::uint32_t>(materials.size()), materials_, materials));
    mesh.Add(SkinHeaderNode(1, 1, static_cast<std::uint32_t>(boneNames.size())));
    for (std::uint32_t b = 0; b < boneNames.size(); ++b) {
      std::vector<std::uint32_t> vertices;
      for (std::uint32_t v = 0; v < bones_.size(); ++v)
        if (bones_[v] == b) vertices.push_back(v);
      mesh.Add(SkinWeightsNode(boneNames[b], vertices, std::vector<float>(vertices.size(), 1.0f),
                               offsets[b]));
    }
    return mesh;
  }

 private:
  int detail_;
  std::vector<Vec3> positions_, normals_;
  std::vector<Face> faces_, normalFaces_;
  std::vector<std::uint32_t> materials_, bones_;
};

XNode RotationKeysAbout(int axis, const std::vector<std::pair<std::uint32_t, float>>& keys) {
  std::vector<XTestKey> k;
  for (const auto& [time, degrees] : keys) {
    const float half = degrees * 3.14159265f / 360.0f;
    std::vector<float> stored = {std::cos(half), 0.0f, 0.0f, 0.0f};
    stored[1 + axis] = -std::sin(half);
    k.push_back({time, stored});
  }
  return AnimationKeyNode(0, k);
}

XNode Framed(const std::string& name, const std::array<float, 16>& matrix) {
  XNode f = FrameNode(name);
  f.Add(MatrixNode(matrix));
  return f;
}

}  // namespace

std::vector<XNode> FigureFile(int detail) {
  BoxMesh body(detail);
  body.Box({0, 0, 60}, {10, 14, 20}, 0, 0);   // torso
  body.Box({0, 0, 88}, {8, 8, 8}, 1, 0);      // head
  body.Box({11, 0, 88}, {3, 2, 2}, 1, 0);     // nose, facing +X
  body.Box({0, 7, 20}, {5, 5, 20}, 2, 1);     // left leg
  body.Box({0, -7, 20}, {5, 5, 20}, 2, 2);    // right leg
  XTestMaterial red, skin, blue;
  red.colour = {0.85f, 0.1f, 0.1f, 1};
  skin.colour = {1.0f, 0.8f, 0.65f, 1};
  blue.colour = {0.15f, 0.25f, 0.8f, 1};
  XNode root = Framed("Raiz", Translation(0, 0, 0));
  XNode mesh = Framed("Malla", Translation(0, 0, 0));
  mesh.Add(body.Node({red, skin, blue}, {"Cadera", "PiernaI", "PiernaD"},
                     {Translation(0, 0, -40), Translation(0, -7, -40), Translation(0, 7, -40)}));
  XNode hip = Framed("Cadera", Translation(0, 0, 40));
  hip.Add(Framed("PiernaI", Translation(0, 7, 0)));
  hip.Add(Framed("PiernaD", Translation(0, -7, 0)));
  root.Add(std::move(mesh));
  root.Add(std::move(hip));

  auto legs = [](float swing) {
    const std::vector<std::pair<std::uint32_t, float>> forward = {
        {0, 0}, {960, swing}, {1920, 0}, {2880, -swing}, {3840, 0}};
    std::vector<std::pair<std::uint32_t, float>> back;
    for (const auto& [t, d] : forward) back.push_back({t, -d});
    std::vector<XNode> out;
    out.push_back(AnimationNode(
        "PiernaI", {RotationKeysAbout(1, forward),
                    AnimationKeyNode(2, {{0, {0, 7, 0}}, {3840, {0, 7, 0}}})}));
    out.push_back(AnimationNode(
        "PiernaD", {RotationKeysAbout(1, back),
                    AnimationKeyNode(2, {{0, {0, -7, 0}}, {3840, {0, -7, 0}}})}));
    return out;
  };
  return {std::move(root), AnimationSetNode("reposo", legs(0.0f)),
          AnimationSetNode("correr", legs(30.0f))};
}

std::vector<XNode> MarkerFile() {
  XNode arrow = MeshNode("Punta", {{-25, -12, 0}, {25, 0, 0}, {-25, 12, 0}, {-25, 0, 10}},
                         {{0, 2, 1}, {0, 1, 3}, {1, 2, 3}, {2, 0, 3}});
  XTestMaterial gold;
  gold.colour = {1.0f, 0.8f, 0.1f, 1};
  gold.emissive = {0.5f, 0.4f, 0.05f};  // no normals: it glows rather than being lit
  arrow.Add(MaterialListNode(1, {0, 0, 0, 0}, {gold}));
  XNode root = Framed("Marcador", Translation(0, 0, 0));
  XNode turn = Framed("Flecha", Translation(0, 0, 30));
  turn.Add(std::move(arrow));
  root.Add(std::move(turn));
  return {AnimTicksNode(4800), std::move(root),
          AnimationSetNode("rotar", {AnimationNode("Flecha", {RotationKeysAbout(2, {{0, 0}, {2400, 90}, {4800, 180}, {7200, 270}, {9600, 360}}),
                                                             AnimationKeyNode(2, {{0, {0, 0, 30}}})})})};
}

std::string ArmText(const ArmOptions& options) {
  return WriteXFile(ArmFile(options), XWriteOptions{});
}

}  // namespace testsupport

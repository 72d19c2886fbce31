// Writes .X files for tests: a tree of data objects encoded as text or binary (32- or
// 64-bit floats), so one model can be checked in every encoding, plus helpers that
// build the standard mesh templates from plain arrays.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <vector>

namespace testsupport {

struct XMember {
  enum Kind { Ints, Floats, Faces, Strings };
  Kind kind = Ints;
  std::vector<std::uint32_t> ints;
  std::vector<float> floats;
  std::vector<std::vector<std::uint32_t>> faces;
  std::vector<std::string> strings;
  int group = 1;  // floats per struct in text ("x;y;z;," for 3)
};

struct XNode {
  std::string templateName;
  std::string name;
  std::vector<XMember> members;
  std::vector<XNode> children;
  std::string reference;  // when set, this child is written as "{ reference }"

  XNode& Ints(std::vector<std::uint32_t> v);
  XNode& Floats(std::vector<float> v, int group = 1);
  XNode& Faces(std::vector<std::vector<std::uint32_t>> f);
  XNode& String(std::string s);
  XNode& Add(XNode child);
};

XNode Ref(const std::string& name);

struct XWriteOptions {
  bool binary = false;
  bool doubles = false;           // binary: "0064" and 8-byte floats
  bool templates = false;         // write a few template declarations first
  std::size_t maxListLength = 0;  // binary: split lists into pieces of at most this (0 = none)
};

std::string WriteXFile(const std::vector<XNode>& objects, const XWriteOptions& options);

// The compressed twin of a text or binary file (tzip / bzip): the body deflated in
// blocks of at most blockSize bytes, each allowed to refer back into the block before.
std::string CompressXFile(const std::string& file, std::size_t blockSize = 32768);

// --- Standard-template helpers ---------------------------------------------------------

using Vec3 = std::array<float, 3>;
using Vec2 = std::array<float, 2>;
using Face = std::vector<std::uint32_t>;

struct XTestMaterial {
  std::array<float, 4> colour{1, 1, 1, 1};
  float power = 0;
  Vec3 specular{0, 0, 0};
  Vec3 emissive{0, 0, 0};
  std::string texture;  // empty: no TextureFilename
};

XNode MaterialNode(const XTestMaterial& m, const std::string& name = "");
XNode MeshNode(const std::string& name, const std::vector<Vec3>& positions,
               const std::vector<Face>& faces);
XNode NormalsNode(const std::vector<Vec3>& normals, const std::vector<Face>& faces);
XNode TexCoordsNode(const std::vector<Vec2>& uvs);
XNode ColoursNode(const std::vector<std::pair<std::uint32_t, std::array<float, 4>>>& colours);
// Materials as inline children (or references when refs is given).
XNode MaterialListNode(std::uint32_t count, const std::vector<std::uint32_t>& faceMaterials,
                       const std::vector<XTestMaterial>& materials,
                       const std::vector<std::string>& refs = {});
XNode FrameNode(const std::string& name);
XNode MatrixNode(const std::array<float, 16>& m);
std::array<float, 16> Translation(float x, float y, float z);

// Skinning: the header and one bone's weights (vertex indices, weights, offset matrix).
XNode SkinHeaderNode(std::uint32_t maxPerVertex, std::uint32_t maxPerFace, std::uint32_t bones);
XNode SkinWeightsNode(const std::string& bone, const std::vector<std::uint32_t>& vertices,
                      const std::vector<float>& weights, const std::array<float, 16>& offset);

// Animation: keys of one kind (0 rotation w,x,y,z; 1 scale; 2 position; 3/4 matrix).
struct XTestKey {
  std::uint32_t time = 0;
  std::vector<float> values;
};
XNode AnimTicksNode(std::uint32_t ticksPerSecond);
XNode AnimationKeyNode(std::uint32_t keyType, const std::vector<XTestKey>& keys);
XNode AnimationOptionsNode(std::uint32_t openClosed, std::uint32_t positionQuality);
// An Animation of the frame (by reference) holding the given key and option nodes.
XNode AnimationNode(const std::string& frame, std::vector<XNode> parts);
XNode AnimationSetNode(const std::string& name, std::vector<XNode> animations);

// A textured, normalled, coloured cube of 8 positions and 6 quads with two materials.
XNode CubeMesh(const std::string& name = "Cube");

}  // namespace testsupport

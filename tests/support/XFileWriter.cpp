// Text and binary encoders of test .X files.
#include "XFileWriter.h"

#include <zlib.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <type_traits>

namespace testsupport {

XNode& XNode::Ints(std::vector<std::uint32_t> v) {
  XMember m;
  m.kind = XMember::Ints;
  m.ints = std::move(v);
  members.push_back(std::move(m));
  return *this;
}

XNode& XNode::Floats(std::vector<float> v, int group) {
  XMember m;
  m.kind = XMember::Floats;
  m.floats = std::move(v);
  m.group = group;
  members.push_back(std::move(m));
  return *this;
}

XNode& XNode::Faces(std::vector<std::vector<std::uint32_t>> f) {
  XMember m;
  m.kind = XMember::Faces;
  m.faces = std::move(f);
  members.push_back(std::move(m));
  return *this;
}

XNode& XNode::String(std::string s) {
  XMember m;
  m.kind = XMember::Strings;
  m.strings.push_back(std::move(s));
  members.push_back(std::move(m));
  return *this;
}

XNode& XNode::Add(XNode child) {
  children.push_back(std::move(child));
  return *this;
}

XNode Ref(const std::string& name) {
  XNode n;
  n.reference = name;
  return n;
}

namespace {

void TextNumber(std::string& out, float f) {
  char buf[32];
  std::snprintf(buf, sizeof buf, "%.9g", static_cast<double>(f));
  // Keep a decimal point so a whole number still reads as a float.
  if (!std::strpbrk(buf, ".eE") && !std::strstr(buf, "inf") && !std::strstr(buf, "nan"))
    std::strcat(buf, ".0");
  out += buf;
}

void WriteText(std::string& out, const XNode& n, int depth) {
  const std::string indent(static_cast<std::size_t>(depth) * 2, ' ');
  if (!n.reference.empty()) {
    out += indent + "{ " + n.reference + " }\n";
    return;
  }
  out += indent + n.templateName;
  if (!n.name.empty()) out += " " + n.name;
  out += " {\n";
  for (const XMember& m : n.members) {
    out += indent + "  ";
    switch (m.kind) {
      case XMember::Ints:
        for (std::size_t i = 0; i < m.ints.size(); ++i) {
          out += std::to_string(m.ints[i]);
          out += i + 1 < m.ints.size() ? "," : ";";
        }
        if (m.ints.empty()) out += ";";
        break;
      case XMember::Floats:
        for (std::size_t i = 0; i < m.floats.size(); ++i) {
          TextNumber(out, m.floats[i]);
          out += ";";
          if ((i + 1) % static_cast<std::size_t>(m.group) == 0 && i + 1 < m.floats.size())
            out += ",";
        }
        if (m.group > 1 || m.floats.empty()) out += ";";
        break;
      case XMember::Faces:
        for (std::size_t f = 0; f < m.faces.size(); ++f) {
          out += std::to_string(m.faces[f].size()) + ";";
          for (std::size_t i = 0; i < m.faces[f].size(); ++i) {
            out += std::to_string(m.faces[f][i]);
            out += i + 1 < m.faces[f].size() ? "," : ";";
          }
          out += f + 1 < m.faces.size() ? "," : ";";
        }
        if (m.faces.empty()) out += ";";
        break;
      case XMember::Strings:
        for (const auto& s : m.strings) out += "\"" + s + "\";";
        break;
    }
    out += "\n";
  }
  for (const XNode& c : n.children) WriteText(out, c, depth + 1);
  out += indent + "}\n";
}

class BinaryOut {
 public:
  BinaryOut(std::string& out, const XWriteOptions& o) : out_(out), options_(o) {}

  void Word(std::uint16_t w) {
    out_.push_back(static_cast<char>(w & 0xFF));
    out_.push_back(static_cast<char>(w >> 8));
  }
  void Dword(std::uint32_t d) {
    for (int i = 0; i < 4; ++i) out_.push_back(static_cast<char>((d >> (8 * i)) & 0xFF));
  }
  void Byte(std::uint8_t v) { out_.push_back(static_cast<char>(v)); }
  void Name(const std::string& s) {
    FlushLists();
    Word(1);
    Dword(static_cast<std::uint32_t>(s.size()));
    out_ += s;
  }
  void Token(std::uint16_t id) {
    FlushLists();
    Word(id);
  }
  void String(const std::string& s) {
    FlushLists();
    Word(2);
    Dword(static_cast<std::uint32_t>(s.size()));
    out_ += s;
    Word(20);
  }
  void Int(std::uint32_t v) {
    if (!floats_.empty()) FlushLists();
    ints_.push_back(v);
  }
  void Float(float f) {
    if (!ints_.empty()) FlushLists();
    floats_.push_back(f);
  }
  void FlushLists() {
    WriteList(ints_, 6);
    WriteList(floats_, 7);
  }

 private:
  template <class T>
  void WriteList(std::vector<T>& values, std::uint16_t id) {
    std::size_t at = 0;
    while (at < values.size()) {
      std::size_t n = values.size() - at;
      if (options_.maxListLength && n > options_.maxListLength) n = options_.maxListLength;
      Word(id);
      Dword(static_cast<std::uint32_t>(n));
      for (std::size_t i = 0; i < n; ++i) {
        if constexpr (std::is_same_v<T, float>) {
          if (options_.doubles) {
            double d = values[at + i];
            std::uint64_t bits;
            std::memcpy(&bits, &d, 8);
            for (int b = 0; b < 8; ++b) out_.push_back(static_cast<char>((bits >> (8 * b)) & 0xFF));
          } else {
            std::uint32_t bits;
            std::memcpy(&bits, &values[at + i], 4);
            Dword(bits);
          }
        } else {
          Dword(values[at + i]);
        }
      }
      at += n;
    }
    values.clear();
  }

  std::string& out_;
  const XWriteOptions& options_;
  std::vector<std::uint32_t> ints_;
  std::vector<float> floats_;
};

void WriteBinary(BinaryOut& b, const XNode& n) {
  if (!n.reference.empty()) {
    b.Token(10);
    b.Name(n.reference);
    b.Token(11);
    return;
  }
  b.Name(n.templateName);
  if (!n.name.empty()) b.Name(n.name);
  b.Token(10);
  for (const XMember& m : n.members) {
    switch (m.kind) {
      case XMember::Ints:
        for (auto v : m.ints) b.Int(v);
        break;
      case XMember::Floats:
        for (auto v : m.floats) b.Float(v);
        break;
      case XMember::Faces:
        for (const auto& f : m.faces) {
          b.Int(static_cast<std::uint32_t>(f.size()));
          for (auto v : f) b.Int(v);
        }
        break;
      case XMember::Strings:
        for (const auto& s : m.strings) b.String(s);
        break;
    }
  }
  for (const XNode& c : n.children) WriteBinary(b, c);
  b.Token(11);
}

const char* kTextTemplates =
    "template Vector {\n <3D82AB5E-62DA-11CF-AB39-0020AF71E433>\n FLOAT x;\n FLOAT y;\n FLOAT "
    "z;\n}\n"
    "template MeshFace {\n <3D82AB5F-62DA-11CF-AB39-0020AF71E433>\n DWORD nFaceVertexIndices;\n"
    " array DWORD faceVertexIndices[nFaceVertexIndices];\n}\n"
    "template Mesh {\n <3D82AB44-62DA-11CF-AB39-0020AF71E433>\n DWORD nVertices;\n"
    " array Vector vertices[nVertices];\n DWORD nFaces;\n array MeshFace faces[nFaces];\n "
    "[...]\n}\n"
    "template Material {\n <3D82AB4D-62DA-11CF-AB39-0020AF71E433>\n ColorRGBA faceColor;\n"
    " FLOAT power;\n ColorRGB specularColor;\n ColorRGB emissiveColor;\n [TextureFilename]\n}\n";

void WriteBinaryTemplates(BinaryOut& b) {
  // template Vector { <guid> FLOAT x; FLOAT y; FLOAT z; }
  b.Token(31);
  b.Name("Vector");
  b.Token(10);
  b.Token(5);
  b.Dword(0x3D82AB5E);
  b.Word(0x62DA);
  b.Word(0x11CF);
  const unsigned char tail[8] = {0xAB, 0x39, 0x00, 0x20, 0xAF, 0x71, 0xE4, 0x33};
  for (unsigned char c : tail) b.Byte(c);
  for (const char* member : {"x", "y", "z"}) {
    b.Token(42);
    b.Name(member);
    b.Token(20);
  }
  b.Token(11);
  // template Mesh { DWORD nVertices; array Vector vertices[nVertices]; ... [...] }
  b.Token(31);
  b.Name("Mesh");
  b.Token(10);
  b.Token(41);
  b.Name("nVertices");
  b.Token(20);
  b.Token(52);
  b.Name("Vector");
  b.Name("vertices");
  b.Token(14);
  b.Name("nVertices");
  b.Token(15);
  b.Token(20);
  b.Token(14);
  b.Token(18);
  b.Token(18);
  b.Token(18);
  b.Token(15);
  b.Token(11);
}

}  // namespace

std::string WriteXFile(const std::vector<XNode>& objects, const XWriteOptions& options) {
  std::string out = "xof 0303";
  out += options.binary ? "bin " : "txt ";
  out += options.doubles ? "0064" : "0032";
  if (options.binary) {
    BinaryOut b(out, options);
    if (options.templates) WriteBinaryTemplates(b);
    for (const XNode& n : objects) WriteBinary(b, n);
    b.FlushLists();
  } else {
    out += "\n";
    if (options.templates) out += kTextTemplates;
    for (const XNode& n : objects) WriteText(out, n, 0);
  }
  return out;
}

// --- Standard-template helpers -----------------------------------------------------------

XNode MaterialNode(const XTestMaterial& m, const std::string& name) {
  XNode n;
  n.templateName = "Material";
  n.name = name;
  n.Floats({m.colour[0], m.colour[1], m.colour[2], m.colour[3]}, 4);
  n.Floats({m.power});
  n.Floats({m.specular[0], m.specular[1], m.specular[2]}, 3);
  n.Floats({m.emissive[0], m.emissive[1], m.emissive[2]}, 3);
  if (!m.texture.empty()) {
    XNode t;
    t.templateName = "TextureFilename";
    t.String(m.texture);
    n.Add(std::move(t));
  }
  return n;
}

XNode MeshNode(const std::string& name, const std::vector<Vec3>& positions,
               const std::vector<Face>& faces) {
  XNode n;
  n.templateName = "Mesh";
  n.name = name;
  n.Ints({static_cast<std::uint32_t>(positions.size())});
  std::vector<float> flat;
  for (const auto& p : positions) flat.insert(flat.end(), p.begin(), p.end());
  n.Floats(flat, 3);
  n.Ints({static_cast<std::uint32_t>(faces.size())});
  n.Faces(faces);
  return n;
}

XNode NormalsNode(const std::vector<Vec3>& normals, const std::vector<Face>& faces) {
  XNode n = MeshNode("", normals, faces);
  n.templateName = "MeshNormals";
  return n;
}

XNode TexCoordsNode(const std::vector<Vec2>& uvs) {
  XNode n;
  n.templateName = "MeshTextureCoords";
  n.Ints({static_cast<std::uint32_t>(uvs.size())});
  std::vector<float> flat;
  for (const auto& uv : uvs) flat.insert(flat.end(), uv.begin(), uv.end());
  n.Floats(flat, 2);
  return n;
}

XNode ColoursNode(const std::vector<std::pair<std::uint32_t, std::array<float, 4>>>& colours) {
  XNode n;
  n.templateName = "MeshVertexColors";
  n.Ints({static_cast<std::uint32_t>(colours.size())});
  for (const auto& [index, c] : colours) {
    n.Ints({index});
    n.Floats({c[0], c[1], c[2], c[3]}, 4);
  }
  return n;
}

XNode MaterialListNode(std::uint32_t count, const std::vector<std::uint32_t>& faceMaterials,
                       const std::vector<XTestMaterial>& materials,
                       const std::vector<std::string>& refs) {
  XNode n;
  n.templateName = "MeshMaterialList";
  n.Ints({count});
  n.Ints({static_cast<std::uint32_t>(faceMaterials.size())});
  n.Ints(faceMaterials);
  for (const auto& m : materials) n.Add(MaterialNode(m));
  for (const auto& r : refs) n.Add(Ref(r));
  return n;
}

XNode FrameNode(const std::string& name) {
  XNode n;
  n.templateName = "Frame";
  n.name = name;
  return n;
}

XNode MatrixNode(const std::array<float, 16>& m) {
  XNode n;
  n.templateName = "FrameTransformMatrix";
  n.Floats(std::vector<float>(m.begin(), m.end()), 16);
  return n;
}

std::array<float, 16> Translation(float x, float y, float z) {
  return {1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, x, y, z, 1};
}

XNode SkinHeaderNode(std::uint32_t maxPerVertex, std::uint32_t maxPerFace, std::uint32_t bones) {
  XNode n;
  n.templateName = "XSkinMeshHeader";
  n.Ints({maxPerVertex, maxPerFace, bones});
  return n;
}

XNode SkinWeightsNode(const std::string& bone, const std::vector<std::uint32_t>& vertices,
                      const std::vector<float>& weights, const std::array<float, 16>& offset) {
  XNode n;
  n.templateName = "SkinWeights";
  n.String(bone);
  n.Ints({static_cast<std::uint32_t>(vertices.size())});
  n.Ints(vertices);
  n.Floats(weights);
  n.Floats(std::vector<float>(offset.begin(), offset.end()), 16);
  return n;
}

XNode AnimTicksNode(std::uint32_t ticksPerSecond) {
  XNode n;
  n.templateName = "AnimTicksPerSecond";
  n.Ints({ticksPerSecond});
  return n;
}

XNode AnimationKeyNode(std::uint32_t keyType, const std::vector<XTestKey>& keys) {
  XNode n;
  n.templateName = "AnimationKey";
  n.Ints({keyType, static_cast<std::uint32_t>(keys.size())});
  for (const XTestKey& k : keys) {
    n.Ints({k.time, static_cast<std::uint32_t>(k.values.size())});
    n.Floats(k.values, k.values.empty() ? 1 : static_cast<int>(k.values.size()));
  }
  return n;
}

XNode AnimationOptionsNode(std::uint32_t openClosed, std::uint32_t positionQuality) {
  XNode n;
  n.templateName = "AnimationOptions";
  n.Ints({openClosed, positionQuality});
  return n;
}

XNode AnimationNode(const std::string& frame, std::vector<XNode> parts) {
  XNode n;
  n.templateName = "Animation";
  n.Add(Ref(frame));
  for (XNode& part : parts) n.Add(std::move(part));
  return n;
}

XNode AnimationSetNode(const std::string& name, std::vector<XNode> animations) {
  XNode n;
  n.templateName = "AnimationSet";
  n.name = name;
  for (XNode& a : animations) n.Add(std::move(a));
  return n;
}

XNode CubeMesh(const std::string& name) {
  const std::vector<Vec3> p = {{-1, -1, -1}, {1, -1, -1}, {1, 1, -1}, {-1, 1, -1},
                               {-1, -1, 1},  {1, -1, 1},  {1, 1, 1},  {-1, 1, 1}};
  const std::vector<Face> faces = {{0, 3, 2, 1}, {4, 5, 6, 7}, {0, 1, 5, 4},
                                   {2, 3, 7, 6}, {1, 2, 6, 5}, {3, 0, 4, 7}};
  XNode mesh = MeshNode(name, p, faces);
  const std::vector<Vec3> normals = {{0, 0, -1}, {0, 0, 1}, {0, -1, 0},
                                     {0, 1, 0},  {1, 0, 0}, {-1, 0, 0}};
  std::vector<Face> normalFaces;
  for (std::uint32_t f = 0; f < 6; ++f) normalFaces.push_back({f, f, f, f});
  mesh.Add(NormalsNode(normals, normalFaces));
  std::vector<Vec2> uvs;
  for (const auto& q : p) uvs.push_back({q[0] > 0 ? 1.0f : 0.0f, q[1] > 0 ? 1.0f : 0.0f});
  mesh.Add(TexCoordsNode(uvs));
  mesh.Add(ColoursNode({{0, {1, 0, 0, 1}}, {7, {0.1f, 0.5f, 0.7f, 1}}}));
  XTestMaterial red;
  red.colour = {1, 0, 0, 1};
  red.power = 8;
  red.specular = {1, 1, 1};
  red.texture = "snow.png";
  XTestMaterial blue;
  blue.colour = {0, 0, 1, 0.5f};
  mesh.Add(MaterialListNode(2, {0, 1, 0, 1, 0, 1}, {red, blue}));
  return mesh;
}

std::string CompressXFile(const std::string& file, std::size_t blockSize) {
  if (file.size() < 16) return {};
  std::string out = file.substr(0, 16);
  out.replace(8, 4, file.compare(8, 4, "txt ") == 0 ? "tzip" : "bzip");
  auto put = [&out](std::uint32_t v, int bytes) {
    for (int i = 0; i < bytes; ++i) out += static_cast<char>(v >> (8 * i));
  };
  put(static_cast<std::uint32_t>(file.size()), 4);
  const auto* body = reinterpret_cast<const Bytef*>(file.data()) + 16;
  const std::size_t bodySize = file.size() - 16;
  for (std::size_t at = 0; at < bodySize; at += blockSize) {
    const std::size_t n = std::min(blockSize, bodySize - at);
    z_stream z{};
    deflateInit2(&z, 9, Z_DEFLATED, -MAX_WBITS, 8, Z_DEFAULT_STRATEGY);
    const std::size_t history = std::min<std::size_t>(at, 32768);
    if (history) deflateSetDictionary(&z, body + at - history, static_cast<uInt>(history));
    std::string block(deflateBound(&z, n) + 16, '\0');
    z.next_in = const_cast<Bytef*>(body + at);
    z.avail_in = static_cast<uInt>(n);
    z.next_out = reinterpret_cast<Bytef*>(block.data());
    z.avail_out = static_cast<uInt>(block.size());
    deflate(&z, Z_FINISH);
    block.resize(z.total_out);
    deflateEnd(&z);
    put(static_cast<std::uint32_t>(n), 2);
    put(static_cast<std::uint32_t>(block.size() + 2), 2);
    out += "CK" + block;
  }
  return out;
}

}  // namespace testsupport

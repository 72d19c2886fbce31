// The .X reader: both encodings, template declarations, references, the standard
// template readers, and files that are truncated, oversized in their counts or nested
// without end.
#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <string>

#include "platform/d3dx9/XFile.h"
#include "support/XFileWriter.h"

using namespace platform::d3dx9;
using namespace testsupport;

namespace {

std::string Text(const std::string& body) {
  return "xof 0303txt 0032\n" + body;
}

// Appends little-endian binary pieces.
struct Bin {
  std::string s = "xof 0303bin 0032";
  Bin& W(std::uint16_t w) {
    s.push_back(static_cast<char>(w & 0xFF));
    s.push_back(static_cast<char>(w >> 8));
    return *this;
  }
  Bin& D(std::uint32_t d) {
    for (int i = 0; i < 4; ++i) s.push_back(static_cast<char>((d >> (8 * i)) & 0xFF));
    return *this;
  }
  Bin& Name(const std::string& n) {
    W(1).D(static_cast<std::uint32_t>(n.size()));
    s += n;
    return *this;
  }
};

}  // namespace

TEST(XFileTest, TextObjectsKeepNamesValuesChildrenAndReferences) {
  const std::string file = Text(
      "// a comment\n"
      "# another\n"
      "Material Red { 1.0;0.0;0.0;1.0;; 8; 1e0;1;1;; 0.0;0.0;0.0;;\n"
      "  TextureFilename { \"tex.png\"; } }\n"
      "Frame Root {\n"
      "  FrameTransformMatrix { 1,0,0,0, 0,1,0,0, 0,0,1,0, -2.5,3,0,1;; }\n"
      "  Thing { <01234567-89AB-CDEF-0123-456789ABCDEF> 7; -3; \"s\"; {Red} { Missing } }\n"
      "}\n");
  XFile x;
  ASSERT_TRUE(x.Parse(file.data(), file.size())) << x.Error();
  ASSERT_EQ(x.Objects().size(), 2u);
  const XObject& frame = *x.Objects()[1];
  EXPECT_EQ(frame.templateName, "Frame");
  EXPECT_EQ(frame.name, "Root");
  ASSERT_EQ(frame.children.size(), 2u);

  D3DXMATRIX m;
  ASSERT_TRUE(ReadFrameTransformMatrix(*frame.children[0].object, &m));
  EXPECT_FLOAT_EQ(m._41, -2.5f);
  EXPECT_FLOAT_EQ(m._42, 3.0f);

  const XObject& thing = *frame.children[1].object;
  EXPECT_TRUE(thing.hasGuid);
  EXPECT_EQ(thing.guid.Data1, 0x01234567u);
  EXPECT_EQ(thing.guid.Data4[7], 0xEF);
  ASSERT_EQ(thing.values.size(), 3u);
  EXPECT_EQ(thing.values[0].kind, XValue::UInt);
  EXPECT_EQ(thing.values[1].kind, XValue::NegInt);
  EXPECT_EQ(static_cast<std::int32_t>(thing.values[1].bits), -3);
  EXPECT_EQ(thing.strings.at(0), "s");
  ASSERT_EQ(thing.children.size(), 2u);
  EXPECT_TRUE(thing.children[0].isReference);
  EXPECT_EQ(thing.children[0].object, x.Objects()[0].get());
  EXPECT_TRUE(thing.children[1].isReference);
  EXPECT_EQ(thing.children[1].object, nullptr);
  EXPECT_EQ(thing.children[1].referenceName, "Missing");

  XMaterialData red;
  ASSERT_TRUE(ReadMaterial(*x.Objects()[0], &red));
  EXPECT_FLOAT_EQ(red.faceColor.r, 1.0f);
  EXPECT_FLOAT_EQ(red.power, 8.0f);  // written as an integer, read as a float
  EXPECT_FLOAT_EQ(red.specular.g, 1.0f);
  EXPECT_TRUE(red.hasTexture);
  EXPECT_EQ(red.textureFilename, "tex.png");
}

TEST(XFileTest, TemplateDeclarationsAreRecordedInBothEncodings) {
  const XNode mesh = MeshNode("M", {{0, 0, 0}, {1, 0, 0}, {0, 1, 0}}, {{0, 1, 2}});
  for (bool binary : {false, true}) {
    XWriteOptions o;
    o.binary = binary;
    o.templates = true;
    const std::string file = WriteXFile({mesh}, o);
    XFile x;
    ASSERT_TRUE(x.Parse(file.data(), file.size())) << x.Error() << " binary=" << binary;
    ASSERT_GE(x.Templates().size(), 2u);
    const XTemplate& vector = x.Templates()[0];
    EXPECT_EQ(vector.name, "Vector");
    EXPECT_TRUE(vector.hasGuid);
    EXPECT_EQ(vector.guid.Data1, 0x3D82AB5Eu);
    ASSERT_EQ(vector.members.size(), 3u);
    EXPECT_EQ(vector.members[0].type, "FLOAT");
    EXPECT_EQ(vector.members[2].name, "z");
    const XTemplate* meshTemplate = nullptr;
    for (const auto& t : x.Templates())
      if (t.name == "Mesh") meshTemplate = &t;
    ASSERT_NE(meshTemplate, nullptr);
    EXPECT_TRUE(meshTemplate->open);
    ASSERT_GE(meshTemplate->members.size(), 2u);
    EXPECT_EQ(meshTemplate->members[1].type, "Vector");
    ASSERT_EQ(meshTemplate->members[1].dimensions.size(), 1u);
    EXPECT_EQ(meshTemplate->members[1].dimensions[0], "nVertices");
    ASSERT_EQ(x.Objects().size(), 1u);
    EXPECT_EQ(x.Objects()[0]->name, "M");
  }
}

TEST(XFileTest, BinaryListsAreOneStreamWhateverTheirSplitAndFloatSize) {
  XNode cube = CubeMesh();
  XMeshData reference;
  {
    const std::string text = WriteXFile({cube}, XWriteOptions{});
    XFile x;
    ASSERT_TRUE(x.Parse(text.data(), text.size())) << x.Error();
    ASSERT_TRUE(ReadMesh(*x.Objects()[0], &reference));
  }
  for (bool doubles : {false, true}) {
    for (std::size_t split : {0u, 1u, 5u}) {
      XWriteOptions o;
      o.binary = true;
      o.doubles = doubles;
      o.maxListLength = split;
      const std::string file = WriteXFile({cube}, o);
      XFile x;
      ASSERT_TRUE(x.Parse(file.data(), file.size())) << x.Error();
      EXPECT_EQ(x.FloatBits(), doubles ? 64 : 32);
      XMeshData mesh;
      std::string error;
      ASSERT_TRUE(ReadMesh(*x.Objects()[0], &mesh, &error)) << error;
      EXPECT_EQ(mesh.positions, reference.positions);
      EXPECT_EQ(mesh.faceIndices, reference.faceIndices);
      EXPECT_EQ(mesh.normalFaceIndices, reference.normalFaceIndices);
      ASSERT_EQ(mesh.materials.size(), 2u);
      EXPECT_EQ(mesh.materials[0].textureFilename, "snow.png");
      EXPECT_FLOAT_EQ(mesh.colours[7].g, 0.5f);
    }
  }
}

TEST(XFileTest, BinaryStringTerminatorMayBeAWordOrADword) {
  for (bool dwordTerminator : {false, true}) {
    Bin b;
    b.Name("TextureFilename").W(10).W(2).D(5);
    b.s += "a.png";
    if (dwordTerminator) {
      b.D(20);
    } else {
      b.W(20);
    }
    b.W(11);
    XFile x;
    ASSERT_TRUE(x.Parse(b.s.data(), b.s.size())) << x.Error();
    ASSERT_EQ(x.Objects().size(), 1u);
    EXPECT_EQ(x.Objects()[0]->strings.at(0), "a.png");
  }
}

TEST(XFileTest, HeadersOtherThanTextOrBinaryAreRefused) {
  struct Case {
    std::string header;
    const char* error;
  } cases[] = {
      {"xof 0303tzip0032", "inflated size"}, {"xof 0303bzip0032", "inflated size"},
      {"xof 0303cmp 0032", "not supported"},
      {"xof 0303txt 0016", "float"},      {"xof 0303abc 0032", "format"},
      {"xif 0303txt 0032", "not a .X"},   {"xof 0403txt 0032", "not a .X"},
      {"xof 0303txt", "too short"},
  };
  for (const auto& c : cases) {
    const std::string file = c.header + std::string(40, ' ');
    XFile x;
    EXPECT_FALSE(x.Parse(file.data(), c.header.size() < 16 ? c.header.size() : file.size()))
        << c.header;
    EXPECT_NE(x.Error().find(c.error), std::string::npos) << c.header << ": " << x.Error();
  }
}

TEST(XFileTest, MalformedTextFailsWithAnError) {
  const char* bodies[] = {
      "Mesh { 1; 2.0; ",                 // unclosed object
      "Mesh { \"open string ; }",        // unterminated string
      "Mesh { 1.2.3; }",                 // malformed number
      "Mesh { <1234> }",                 // malformed GUID
      "Mesh { [ }",                      // stray bracket in data
      "{ 1; }",                          // data without a template name
      "Mesh A B { }",                    // two names
      "template T { DWORD; }",           // member without a name
      "Mesh { {Ref 1 } }",               // malformed reference
      "Mesh { 99999999999999999999; }",  // parses (as a float); checked below
  };
  for (std::size_t i = 0; i + 1 < std::size(bodies); ++i) {
    const std::string file = Text(bodies[i]);
    XFile x;
    EXPECT_FALSE(x.Parse(file.data(), file.size())) << bodies[i];
    EXPECT_FALSE(x.Error().empty()) << bodies[i];
    EXPECT_TRUE(x.Objects().empty());
  }
  // A number too large for a DWORD is kept as a float: a count cannot be read from it.
  const std::string big = Text(bodies[std::size(bodies) - 1]);
  XFile x;
  ASSERT_TRUE(x.Parse(big.data(), big.size()));
  XMeshData mesh;
  EXPECT_FALSE(ReadMesh(*x.Objects()[0], &mesh));
}

TEST(XFileTest, EveryTruncationOfAValidFileFailsCleanly) {
  const XNode cube = CubeMesh();
  for (bool binary : {false, true}) {
    XWriteOptions o;
    o.binary = binary;
    o.templates = true;
    const std::string file = WriteXFile({cube}, o);
    XFile full;
    ASSERT_TRUE(full.Parse(file.data(), file.size()));
    // Prefixes that cut into the header or into the cube must fail; those that end
    // between the template declarations may parse, but then hold no object.
    o.templates = false;
    const std::size_t cubeLength = WriteXFile({cube}, o).size() - (binary ? 16 : 17);
    const std::size_t cubeStart = file.size() - cubeLength;
    const std::size_t lastBrace = binary ? file.size() - 2 : file.rfind('}');
    for (std::size_t n = 0; n <= lastBrace; ++n) {
      XFile x;
      const std::string prefix = file.substr(0, n);
      const bool ok = x.Parse(prefix.data(), prefix.size());
      if (n < 16 || n > cubeStart) {
        EXPECT_FALSE(ok) << "binary=" << binary << " n=" << n;
      } else if (ok) {
        EXPECT_TRUE(x.Objects().empty()) << "binary=" << binary << " n=" << n;
      }
    }
  }
}

TEST(XFileTest, DamagedCompressedFilesFailCleanly) {
  XWriteOptions o;
  o.binary = true;
  const std::string plain = WriteXFile({CubeMesh()}, o);
  const std::string file = CompressXFile(plain, 64);  // many blocks
  XFile reference;
  ASSERT_TRUE(reference.Parse(file.data(), file.size())) << reference.Error();
  ASSERT_EQ(reference.Objects().size(), 1u);
  EXPECT_TRUE(reference.IsBinary());

  auto withDword = [](std::string s, std::size_t at, std::uint32_t v) {
    for (int i = 0; i < 4; ++i) s[at + i] = static_cast<char>(v >> (8 * i));
    return s;
  };
  auto withByte = [](std::string s, std::size_t at, char v) {
    s[at] = v;
    return s;
  };
  const std::uint16_t firstInflated = static_cast<std::uint8_t>(file[20]);
  const std::pair<const char*, std::string> cases[] = {
      // Sizes refused before anything is allocated for them.
      {"declares 4 GiB", withDword(file, 16, 0xFFFFFFF0u)},
      {"declares more than its blocks can hold", withDword(file, 16, 64u << 20)},
      {"declares less than its header", withDword(file, 16, 15)},
      {"declares one byte more", withDword(file, 16, static_cast<std::uint32_t>(plain.size() + 1))},
      {"declares one byte less", withDword(file, 16, static_cast<std::uint32_t>(plain.size() - 1))},
      {"block without its signature", withByte(file, 24, 'X')},
      {"block claims one byte more", withByte(file, 20, static_cast<char>(firstInflated + 1))},
      {"block claims one byte less", withByte(file, 20, static_cast<char>(firstInflated - 1))},
      {"deflate data damaged", withByte(file, 26, '\xFF')},
      {"trailing bytes", file + "\x01"},
  };
  for (const auto& [label, bytes] : cases) {
    XFile x;
    EXPECT_FALSE(x.Parse(bytes.data(), bytes.size())) << label;
    EXPECT_FALSE(x.Error().empty()) << label;
  }
  for (std::size_t n = 0; n < file.size(); ++n) {
    XFile x;
    EXPECT_FALSE(x.Parse(file.data(), n)) << "cut at " << n;
  }
}

TEST(XFileTest, CountsLargerThanTheFileFailWithoutAllocating) {
  // A binary list whose count claims far more values than the file holds.
  {
    Bin b;
    b.Name("Mesh").W(10).W(6).D(0x40000000u).D(1).W(11);
    XFile x;
    EXPECT_FALSE(x.Parse(b.s.data(), b.s.size()));
    EXPECT_NE(x.Error().find("longer than the file"), std::string::npos) << x.Error();
  }
  {
    Bin b;
    b.W(1).D(0xFFFFFFF0u);
    b.s += "abc";
    XFile x;
    EXPECT_FALSE(x.Parse(b.s.data(), b.s.size()));
  }
  // Counts in the data that promise more elements than there are values.
  const char* meshes[] = {
      "Mesh { 4294967295; 0.0;0.0;0.0;; 1; 3;0,0,0;; }",
      "Mesh { 3; 0;0;0;, 1;0;0;, 0;1;0;; 4294967295; 3;0,1,2;; }",
      "Mesh { 3; 0;0;0;, 1;0;0;, 0;1;0;; 1; 4294967295;0,1,2;; }",
      "Mesh { 3; 0;0;0;, 1;0;0;, 0;1;0;; 1; 3;0,1,2;;\n"
      "  MeshNormals { 1000000000; 0;0;1;; 1; 3;0,0,0;; } }",
      "Mesh { 3; 0;0;0;, 1;0;0;, 0;1;0;; 1; 3;0,1,2;;\n"
      "  MeshMaterialList { 1; 4000000000; 0;; } }",
      "Mesh { 3; 0;0;0;, 1;0;0;, 0;1;0;; 1; 3;0,1,2;;\n"
      "  MeshVertexColors { 3000000000; 0;1;1;1;1;; } }",
      "Mesh { 3; 0;0;0;, 1;0;0;, 0;1;0;; 1; 3;0,1,2;;\n"
      "  SkinWeights { \"b\"; 2000000000; 0; 1.0; } }",
  };
  for (const char* body : meshes) {
    const std::string file = Text(body);
    XFile x;
    ASSERT_TRUE(x.Parse(file.data(), file.size())) << x.Error();
    XMeshData mesh;
    std::string error;
    EXPECT_FALSE(ReadMesh(*x.Objects()[0], &mesh, &error)) << body;
    EXPECT_FALSE(error.empty());
  }
}

TEST(XFileTest, NestingBeyondTheLimitFailsWithoutExhaustingTheStack) {
  for (int depth : {XFile::kMaxDepth, XFile::kMaxDepth + 1, 200000}) {
    std::string body;
    for (int i = 0; i < depth; ++i) body += "Frame {";
    for (int i = 0; i < depth; ++i) body += "}";
    const std::string file = Text(body);
    XFile x;
    EXPECT_EQ(x.Parse(file.data(), file.size()), depth <= XFile::kMaxDepth) << depth;
  }
}

TEST(XFileTest, MeshChildrenAreCheckedAgainstTheMesh) {
  const std::string head = "Mesh { 3; 0;0;0;, 1;0;0;, 0;1;0;; 1; 3;0,1,2;;\n";
  struct Case {
    const char* child;
    bool ok;
  } cases[] = {
      {"", true},
      {"MeshNormals { 1; 0;0;1;; 1; 3;0,0,0;; }", true},
      {"MeshNormals { 1; 0;0;1;; 1; 3;0,0,1;; }", false},            // normal index out of range
      {"MeshNormals { 1; 0;0;1;; 2; 3;0,0,0;, 3;0,0,0;; }", false},  // face count differs
      {"MeshNormals { 1; 0;0;1;; 1; 4;0,0,0,0;; }", false},          // corner count differs
      {"MeshTextureCoords { 3; 0;0;, 1;0;, 0;1;; }", true},
      {"MeshTextureCoords { 2; 0;0;, 1;0;; }", false},  // not one per vertex
      {"MeshVertexColors { 1; 3;1;1;1;1;; }", false},   // vertex index out of range
      {"MeshMaterialList { 2; 1; 1;; Material { 1;1;1;1;; 0; 0;0;0;; 0;0;0;; } }", false},
      {"MeshMaterialList { 1; 1; 1;; Material { 1;1;1;1;; 0; 0;0;0;; 0;0;0;; } }", false},
      {"MeshMaterialList { 1; 1; 0;; { Undefined } }", false},
      {"SkinWeights { \"bone\"; 1; 3; 1.0; 1,0,0,0,0,1,0,0,0,0,1,0,0,0,0,1;; }", false},
      {"SkinWeights { \"bone\"; 1; 2; 1.0; 1,0,0,0,0,1,0,0,0,0,1,0,0,0,0,1;; }", true},
  };
  for (const auto& c : cases) {
    const std::string file = Text(head + c.child + "}");
    XFile x;
    ASSERT_TRUE(x.Parse(file.data(), file.size())) << c.child;
    XMeshData mesh;
    EXPECT_EQ(ReadMesh(*x.Objects()[0], &mesh), c.ok) << c.child;
  }
  // Faces with fewer than three corners are not polygons.
  const std::string line = Text("Mesh { 2; 0;0;0;, 1;0;0;; 1; 2;0,1;; }");
  XFile x;
  ASSERT_TRUE(x.Parse(line.data(), line.size()));
  XMeshData mesh;
  EXPECT_FALSE(ReadMesh(*x.Objects()[0], &mesh));
}

TEST(XFileTest, MaterialListWithFewerIndicesThanFacesRepeatsTheLast) {
  const std::string file = Text(
      "Material M0 { 1;0;0;1;; 0; 0;0;0;; 0;0;0;; }\n"
      "Mesh { 4; 0;0;0;, 1;0;0;, 0;1;0;, 1;1;0;; 3; 3;0,1,2;, 3;1,3,2;, 3;0,1,3;;\n"
      "  MeshMaterialList { 2; 2; 0,1;; {M0} Material { 0;1;0;1;; 0; 0;0;0;; 0;0;0;; } } }");
  XFile x;
  ASSERT_TRUE(x.Parse(file.data(), file.size())) << x.Error();
  XMeshData mesh;
  std::string error;
  ASSERT_TRUE(ReadMesh(*x.Objects()[1], &mesh, &error)) << error;
  EXPECT_EQ(mesh.faceMaterials, (std::vector<DWORD>{0, 1, 1}));
  ASSERT_EQ(mesh.materials.size(), 2u);
  EXPECT_FLOAT_EQ(mesh.materials[0].faceColor.r, 1.0f);  // through the reference
  EXPECT_FLOAT_EQ(mesh.materials[1].faceColor.g, 1.0f);
}

TEST(XFileTest, SkinningAndAnimationTemplatesAreReadIntoData) {
  const std::string file = Text(
      "AnimTicksPerSecond { 30; }\n"
      "Frame Bone { FrameTransformMatrix { 1,0,0,0,0,1,0,0,0,0,1,0,0,0,0,1;; } }\n"
      "Mesh { 3; 0;0;0;, 1;0;0;, 0;1;0;; 1; 3;0,1,2;;\n"
      "  XSkinMeshHeader { 2; 4; 1; }\n"
      "  SkinWeights { \"Bone\"; 2; 0, 2; 0.25, 1.0; 1,0,0,0,0,1,0,0,0,0,1,0,5,6,7,1;; } }\n"
      "AnimationSet correr {\n"
      "  Animation { {Bone}\n"
      "    AnimationKey { 0; 2; 0;4;1,0,0,0;;, 30;4;0,0,0,1;;; }\n"
      "    AnimationKey { 2; 1; 10;3;1,2,3;;; }\n"
      "    AnimationOptions { 1; 0; } } }\n");
  XFile x;
  ASSERT_TRUE(x.Parse(file.data(), file.size())) << x.Error();
  ASSERT_EQ(x.Objects().size(), 4u);
  DWORD ticks = 0;
  ASSERT_TRUE(ReadAnimTicksPerSecond(*x.Objects()[0], &ticks));
  EXPECT_EQ(ticks, 30u);

  XMeshData mesh;
  std::string error;
  ASSERT_TRUE(ReadMesh(*x.Objects()[2], &mesh, &error)) << error;
  ASSERT_TRUE(mesh.hasSkinHeader);
  EXPECT_EQ(mesh.skinHeader.maxSkinWeightsPerFace, 4);
  EXPECT_EQ(mesh.skinHeader.bones, 1);
  ASSERT_EQ(mesh.skinWeights.size(), 1u);
  const XSkinWeightsData& w = mesh.skinWeights[0];
  EXPECT_EQ(w.transformNodeName, "Bone");
  EXPECT_EQ(w.vertexIndices, (std::vector<DWORD>{0, 2}));
  EXPECT_EQ(w.weights, (std::vector<float>{0.25f, 1.0f}));
  EXPECT_FLOAT_EQ(w.matrixOffset._42, 6.0f);

  XAnimationSetData set;
  ASSERT_TRUE(ReadAnimationSet(*x.Objects()[3], &set, &error)) << error;
  EXPECT_EQ(set.name, "correr");
  ASSERT_EQ(set.animations.size(), 1u);
  const XAnimationData& a = set.animations[0];
  EXPECT_EQ(a.frameName, "Bone");
  ASSERT_EQ(a.keys.size(), 2u);
  EXPECT_EQ(a.keys[0].keyType, 0u);
  ASSERT_EQ(a.keys[0].keys.size(), 2u);
  EXPECT_EQ(a.keys[0].keys[1].time, 30u);
  EXPECT_EQ(a.keys[0].keys[1].values, (std::vector<float>{0, 0, 0, 1}));
  EXPECT_EQ(a.keys[1].keys[0].values, (std::vector<float>{1, 2, 3}));
  EXPECT_TRUE(a.hasOptions);
  EXPECT_EQ(a.openClosed, 1u);

  // A key count beyond the data fails instead of sizing the key array by it.
  const std::string bad = Text("AnimationKey { 0; 1000000000; 0;4;1,0,0,0;;; }");
  XFile y;
  ASSERT_TRUE(y.Parse(bad.data(), bad.size()));
  XAnimationKeyData key;
  EXPECT_FALSE(ReadAnimationKey(*y.Objects()[0], &key));
}

TEST(XFileTest, TextNumbersReadAsTheCorrectlyRoundedFloat) {
  // Each word, as a member value, must give the float strtof gives (correctly rounded,
  // "C" locale) bit for bit, whichever path reads it.
  const char* const kWords[] = {
      "0.0", "-0.0", "1.0", "-1.0", "0.5", ".5", "5.", "0.1", "0.2", "0.3", "1.1",
      "-2640.0000", "97.5718", "0.433", "3.14159265", "123456.789", "0.000001", "99999999.5",
      // Just above, at and below the point halfway between two floats.
      "16777216.5", "16777217.0", "16777217.00000001", "16777216.99999999",
      "1.00000005960464477539062", "1.000000059604644775390625", "1.00000005960464477539063",
      // Fifteen and sixteen significant digits, eight and nine fraction digits.
      "123456.789012345", "0.12345678", "0.123456789", "9007199254740993", "0.000000001",
      "7.038531e-26", "3.4028234e38", "3.4028236e38", "1e39", "1.17549435e-38", "1.4e-45",
      "7e-46", "1e-50", "4294967296", "12345678901234567890123", "2.5E+3", "-6.5e-2"};
  for (const char* word : kWords) {
    XFile file;
    const std::string bytes = Text(std::string("Thing { ") + word + "; }");
    ASSERT_TRUE(file.Parse(bytes.data(), bytes.size())) << word << ": " << file.Error();
    ASSERT_EQ(file.Objects().size(), 1u);
    const XValue v = file.Objects()[0]->values[0];
    ASSERT_EQ(v.kind, XValue::Float) << word;
    float expected = std::strtof(word, nullptr);
    std::uint32_t expectedBits;
    std::memcpy(&expectedBits, &expected, sizeof expectedBits);
    EXPECT_EQ(v.bits, expectedBits) << word;
  }
  // Integers stay integers; a negative one beyond int32 is refused rather than wrapped.
  XFile file;
  const std::string ints = Text("Thing { 0; 4294967295; -2147483648; 000000000007; }");
  ASSERT_TRUE(file.Parse(ints.data(), ints.size()));
  const XValues& values = file.Objects()[0]->values;
  ASSERT_EQ(values.size(), 4u);
  EXPECT_EQ(values[1].kind, XValue::UInt);
  EXPECT_EQ(values[1].bits, 4294967295u);
  EXPECT_EQ(values[2].kind, XValue::NegInt);
  EXPECT_EQ(values[2].bits, 0x80000000u);
  EXPECT_EQ(values[3].bits, 7u);
  const std::string tooNegative = Text("Thing { -2147483649; }");
  EXPECT_FALSE(file.Parse(tooNegative.data(), tooNegative.size()));
}

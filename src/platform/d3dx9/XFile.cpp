// The .X parser over either token stream, and the readers of the standard templates.
#include "platform/d3dx9/XFile.h"

#include <zlib.h>

#include <algorithm>
#include <cstring>
#include <unordered_map>

#include "platform/d3dx9/XFileTokens.h"

namespace platform::d3dx9 {

class XFileParser {
 public:
  XFileParser(XFile& file, XTokenizer& tokens) : file_(file), tokens_(tokens) {}

  bool Run() {
    for (;;) {
      XToken t = tokens_.Next();
      switch (t.kind) {
        case XTok::End:
          return true;
        case XTok::Error:
          return FailFromTokens();
        case XTok::Template:
          if (!ParseTemplate()) return false;
          break;
        case XTok::Name: {
          auto object = std::make_unique<XObject>();
          if (!ParseObject(object.get(), t.text, 1)) return false;
          file_.objects_.push_back(std::move(object));
          break;
        }
        case XTok::Semicolon:
        case XTok::Comma:
          break;  // stray separators between objects are harmless
        default:
          return Fail("expected a template or a data object", t.offset);
      }
    }
  }

 private:
  bool Fail(const char* message, std::size_t offset) {
    if (file_.error_.empty()) {
      file_.error_ = message;
      file_.errorOffset_ = offset;
    }
    return false;
  }
  bool FailFromTokens() { return Fail(tokens_.message(), tokens_.errorOffset()); }
  bool Unexpected(const XToken& t, const char* message) {
    if (t.kind == XTok::Error) return FailFromTokens();
    if (t.kind == XTok::End) return Fail("unexpected end of file", t.offset);
    return Fail(message, t.offset);
  }

  bool ParseTemplate() {
    XTemplate tpl;
    XToken t = tokens_.Next();
    if (t.kind != XTok::Name) return Unexpected(t, "expected a template name");
    tpl.name = t.text;
    t = tokens_.Next();
    if (t.kind != XTok::OBrace) return Unexpected(t, "expected { after the template name");
    t = tokens_.Next();
    if (t.kind == XTok::Guid) {
      tpl.guid = t.guid;
      tpl.hasGuid = true;
      t = tokens_.Next();
    }
    while (t.kind != XTok::CBrace) {
      if (t.kind == XTok::Semicolon) {
        t = tokens_.Next();
      } else if (t.kind == XTok::OBracket) {
        for (t = tokens_.Next(); t.kind != XTok::CBracket; t = tokens_.Next()) {
          if (t.kind == XTok::Dot || (t.kind == XTok::Name && t.text == "...")) {
            tpl.open = true;
          } else if (t.kind == XTok::Name) {
            tpl.restrictions.emplace_back(t.text);
          } else if (t.kind != XTok::Guid && t.kind != XTok::Comma) {
            return Unexpected(t, "malformed template restriction");
          }
        }
        t = tokens_.Next();
      } else if (t.kind == XTok::Name) {
        XTemplateMember member;
        std::string_view type = t.text;
        if (EqualsNoCase(type, "array")) {
          t = tokens_.Next();
          if (t.kind != XTok::Name) return Unexpected(t, "expected a type after array");
          type = t.text;
        }
        member.type = KeywordOrName(type);
        t = tokens_.Next();
        if (t.kind != XTok::Name) return Unexpected(t, "expected a member name");
        member.name = t.text;
        for (t = tokens_.Next(); t.kind == XTok::OBracket; t = tokens_.Next()) {
          t = tokens_.Next();
          if (t.kind == XTok::List) t = tokens_.Next();  // a dimension written as a list
          if (t.kind == XTok::Integer) {
            member.dimensions.push_back(std::to_string(t.integer));
          } else if (t.kind == XTok::Name) {
            member.dimensions.emplace_back(t.text);
          } else {
            return Unexpected(t, "malformed array dimension");
          }
          t = tokens_.Next();
          if (t.kind != XTok::CBracket) return Unexpected(t, "expected ] after a dimension");
        }
        if (t.kind != XTok::Semicolon) return Unexpected(t, "expected ; after a member");
        tpl.members.push_back(std::move(member));
        t = tokens_.Next();
      } else {
        return Unexpected(t, "malformed template");
      }
    }
    file_.templates_.push_back(std::move(tpl));
    return true;
  }

  bool ParseObject(XObject* object, std::string_view templateName, int depth) {
    if (depth > XFile::kMaxDepth) return Fail("objects nested too deeply", 0);
    if (++objectCount_ > XFile::kMaxObjects) return Fail("too many objects", 0);
    object->templateName = templateName;
    XToken t = tokens_.Next();
    if (t.kind == XTok::Name) {
      object->name = t.text;
      t = tokens_.Next();
    }
    if (t.kind != XTok::OBrace) return Unexpected(t, "expected { to open a data object");
    t = tokens_.Next();
    if (t.kind == XTok::Guid) {
      object->guid = t.guid;
      object->hasGuid = true;
      t = tokens_.Next();
    }
    for (;; t = tokens_.Next()) {
      switch (t.kind) {
        case XTok::List:
          tokens_.TakeRestOfList(&object->values);
          break;
        case XTok::Integer: {
          XValue v;
          if (t.negative) {
            v.kind = XValue::NegInt;
            v.bits = 0u - t.integer;
          } else {
            v.bits = t.integer;
          }
          object->values.push_back(v);
          tokens_.TakeRestOfList(&object->values);
          break;
        }
        case XTok::Float: {
          XValue v;
          v.kind = XValue::Float;
          std::memcpy(&v.bits, &t.number, sizeof v.bits);
          object->values.push_back(v);
          tokens_.TakeRestOfList(&object->values);
          break;
        }
        case XTok::String: {
          XValue v;
          v.kind = XValue::String;
          v.bits = static_cast<std::uint32_t>(object->strings.size());
          object->strings.emplace_back(t.text);
          object->values.push_back(v);
          break;
        }
        case XTok::Semicolon:
        case XTok::Comma:
          break;
        case XTok::Name: {
          auto child = std::make_unique<XObject>();
          if (!ParseObject(child.get(), t.text, depth + 1)) return false;
          XChild entry;
          entry.object = child.get();
          object->owned_.push_back(std::move(child));
          object->children.push_back(std::move(entry));
          break;
        }
        case XTok::OBrace: {
          XChild entry;
          entry.isReference = true;
          t = tokens_.Next();
          if (t.kind == XTok::Name) {
            entry.referenceName = t.text;
            t = tokens_.Next();
          }
          if (t.kind == XTok::Guid) t = tokens_.Next();
          if (t.kind != XTok::CBrace) return Unexpected(t, "malformed reference");
          // Only objects already complete can be named, so references never form a cycle.
          if (!entry.referenceName.empty()) {
            auto it = named_.find(entry.referenceName);
            if (it != named_.end()) entry.object = it->second;
          }
          object->children.push_back(std::move(entry));
          break;
        }
        case XTok::CBrace:
          if (!object->name.empty()) named_[object->name] = object;
          return true;
        default:
          return Unexpected(t, "unexpected token in a data object");
      }
    }
  }

  static bool EqualsNoCase(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) return false;
    for (std::size_t i = 0; i < a.size(); ++i)
      if ((a[i] | 0x20) != (b[i] | 0x20)) return false;
    return true;
  }

  static std::string KeywordOrName(std::string_view type) {
    static constexpr const char* kKeywords[] = {
        "WORD", "DWORD",  "FLOAT",   "DOUBLE",  "CHAR",      "UCHAR",  "SWORD",           "SDWORD",
        "VOID", "STRING", "UNICODE", "CSTRING", "ULONGLONG", "BINARY", "BINARY_RESOURCE", "LPSTR"};
    for (const char* k : kKeywords)
      if (EqualsNoCase(type, k)) return k;
    return std::string(type);
  }

  XFile& file_;
  XTokenizer& tokens_;
  std::unordered_map<std::string, XObject*> named_;
  std::size_t objectCount_ = 0;
};

namespace {

std::uint32_t Le16(const unsigned char* p) {
  return p[0] | (std::uint32_t{p[1]} << 8);
}

std::uint32_t Le32(const unsigned char* p) {
  return Le16(p) | (Le16(p + 2) << 16);
}

// Inflates a tzip/bzip file into the text or binary file it stands for (header
// rewritten, body appended): after the header a DWORD gives the whole inflated size
// counting the header, then blocks of WORD inflated size (at most 32 KiB), WORD stored
// size (counting the "CK" signature), "CK" and raw deflate data. Each block may refer
// back into the previous 32 KiB of output, so that output is its preset dictionary.
// The declared size is checked against a cap and against what the blocks present could
// hold before anything is allocated, and every block must fill exactly its stated size.
bool InflateMsZip(const unsigned char* data, std::size_t size, std::string* out,
                  std::string* error) {
  constexpr std::size_t kHeader = 16, kBlockMax = 32768, kMinBlock = 4 + 2 + 2;
  if (size < kHeader + 4) {
    *error = "compressed .X file too short for its size field";
    return false;
  }
  const std::uint32_t total = Le32(data + kHeader);
  const std::size_t blockRoom = (size - kHeader - 4) / kMinBlock;
  if (total < kHeader || total - kHeader > XFile::kMaxInflatedBytes ||
      total - kHeader > blockRoom * kBlockMax) {
    *error = "compressed .X file declares an impossible inflated size";
    return false;
  }
  const std::size_t body = total - kHeader;
  out->assign(reinterpret_cast<const char*>(data), kHeader);
  out->replace(8, 4, data[8] == 't' ? "txt " : "bin ");
  out->resize(total);
  auto* dst = reinterpret_cast<unsigned char*>(out->data()) + kHeader;

  z_stream z{};
  if (inflateInit2(&z, -MAX_WBITS) != Z_OK) {
    *error = "compressed .X file: inflater unavailable";
    return false;
  }
  std::size_t at = kHeader + 4, written = 0;
  bool ok = true;
  while (ok && at < size) {
    if (size - at < 6) {
      *error = "compressed .X file: truncated block header";
      ok = false;
      break;
    }
    const std::size_t inflated = Le16(data + at), stored = Le16(data + at + 2);
    if (inflated == 0 || inflated > kBlockMax || stored < 2 || stored > size - at - 4 ||
        data[at + 4] != 'C' || data[at + 5] != 'K' || inflated > body - written) {
      *error = "compressed .X file: bad or truncated block";
      ok = false;
      break;
    }
    const std::size_t history = std::min(written, kBlockMax);
    inflateReset(&z);
    if (history > 0 &&
        inflateSetDictionary(&z, dst + written - history, static_cast<uInt>(history)) != Z_OK) {
      *error = "compressed .X file: bad block history";
      ok = false;
      break;
    }
    z.next_in = const_cast<Bytef*>(data + at + 6);
    z.avail_in = static_cast<uInt>(stored - 2);
    z.next_out = dst + written;
    z.avail_out = static_cast<uInt>(inflated);
    if (inflate(&z, Z_FINISH) != Z_STREAM_END || z.avail_out != 0) {
      *error = "compressed .X file: block does not inflate to its stated size";
      ok = false;
      break;
    }
    written += inflated;
    at += 4 + stored;
  }
  inflateEnd(&z);
  if (ok && written != body) {
    *error = "compressed .X file: blocks do not add up to the declared size";
    ok = false;
  }
  if (!ok) {
    out->clear();
    out->shrink_to_fit();
  }
  return ok;
}

}  // namespace

bool XFile::Parse(const void* data, std::size_t size) {
  objects_.clear();
  templates_.clear();
  error_.clear();
  errorOffset_ = 0;
  const char* bytes = static_cast<const char*>(data);
  if (!data || size < 16) {
    error_ = "file too short for a .X header";
    return false;
  }
  auto isDigits = [](const char* p, int n) {
    for (int i = 0; i < n; ++i)
      if (p[i] < '0' || p[i] > '9') return false;
    return true;
  };
  if (std::memcmp(bytes, "xof ", 4) != 0 || std::memcmp(bytes + 4, "03", 2) != 0 ||
      !isDigits(bytes + 6, 2)) {
    error_ = "not a .X file (bad magic or version)";
    return false;
  }
  const std::string_view format(bytes + 8, 4);
  if (format == "tzip" || format == "bzip") {
    std::string inflated;
    if (!InflateMsZip(reinterpret_cast<const unsigned char*>(bytes), size, &inflated, &error_)) {
      errorOffset_ = 16;
      return false;
    }
    return Parse(inflated.data(), inflated.size());
  }
  if (format == "cmp ") {
    error_ = "compressed .X format \"cmp \" is not supported";
    errorOffset_ = 8;
    return false;
  }
  if (format != "txt " && format != "bin ") {
    error_ = "unknown .X format";
    errorOffset_ = 8;
    return false;
  }
  binary_ = format == "bin ";
  const std::string_view floats(bytes + 12, 4);
  if (floats == "0032") {
    floatBits_ = 32;
  } else if (floats == "0064") {
    floatBits_ = 64;
  } else {
    error_ = "unknown float size";
    errorOffset_ = 12;
    return false;
  }
  bool ok;
  if (binary_) {
    XBinaryTokenizer tokens(bytes, size, 16, floatBits_);
    ok = XFileParser(*this, tokens).Run();
  } else {
    XTextTokenizer tokens(bytes, size, 16);
    ok = XFileParser(*this, tokens).Run();
  }
  if (!ok) {
    objects_.clear();
    templates_.clear();
  }
  return ok;
}

// --- XDataReader -----------------------------------------------------------------------

bool XDataReader::ReadDWORD(DWORD* out) {
  if (next_ >= object_.values.size() || object_.values.kinds()[next_] != XValue::UInt) return false;
  *out = object_.values.bits()[next_++];
  return true;
}

bool XDataReader::ReadWORD(WORD* out) {
  DWORD d;
  const std::size_t at = next_;
  if (!ReadDWORD(&d)) return false;
  if (d > 0xFFFF) {
    next_ = at;
    return false;
  }
  *out = static_cast<WORD>(d);
  return true;
}

namespace {

// One value as a float: floats as they are, integers converted; false for strings.
inline bool ValueAsFloat(XValue::Kind kind, std::uint32_t bits, float* out) {
  switch (kind) {
    case XValue::Float:
      std::memcpy(out, &bits, sizeof *out);
      return true;
    case XValue::UInt:
      *out = static_cast<float>(bits);
      return true;
    case XValue::NegInt:
      *out = static_cast<float>(static_cast<std::int32_t>(bits));
      return true;
    default:
      return false;
  }
}

}  // namespace

bool XDataReader::ReadFloat(float* out) {
  if (next_ >= object_.values.size()) return false;
  if (!ValueAsFloat(object_.values.kinds()[next_], object_.values.bits()[next_], out)) return false;
  ++next_;
  return true;
}

bool XDataReader::ReadFloats(float* out, std::size_t count) {
  if (count > Remaining()) return false;
  const XValue::Kind* kinds = object_.values.kinds() + next_;
  const std::uint32_t* bits = object_.values.bits() + next_;
  for (std::size_t i = 0; i < count; ++i) {
    if (kinds[i] == XValue::Float) {
      std::memcpy(out + i, bits + i, sizeof(float));
    } else if (!ValueAsFloat(kinds[i], bits[i], out + i)) {
      next_ += i;
      return false;
    }
  }
  next_ += count;
  return true;
}

bool XDataReader::ReadDWORDs(DWORD* out, std::size_t count) {
  if (count == 0) return true;
  if (count > Remaining()) return false;
  const XValue::Kind* kinds = object_.values.kinds() + next_;
  const std::uint32_t* bits = object_.values.bits() + next_;
  for (std::size_t i = 0; i < count; ++i)
    if (kinds[i] != XValue::UInt) return false;
  std::memcpy(out, bits, count * sizeof(DWORD));
  next_ += count;
  return true;
}

bool XDataReader::ReadString(std::string* out) {
  if (next_ >= object_.values.size()) return false;
  const XValue v = object_.values[next_];
  if (v.kind != XValue::String || v.bits >= object_.strings.size()) return false;
  *out = object_.strings[v.bits];
  ++next_;
  return true;
}

bool XDataReader::ReadMatrix(D3DXMATRIX* out) {
  return ReadFloats(&out->m[0][0], 16);
}

bool XDataReader::HasValues(std::size_t count, std::size_t valuesEach) const {
  if (valuesEach == 0) return true;
  return count <= Remaining() / valuesEach;
}

// --- Standard templates ------------------------------------------------------------------

namespace {

bool SetError(std::string* error, const std::string& message) {
  if (error) *error = message;
  return false;
}

static_assert(sizeof(D3DXVECTOR3) == 3 * sizeof(float) && sizeof(D3DXVECTOR2) == 2 * sizeof(float),
              "vectors are read as runs of floats");

bool ReadVectors(XDataReader& r, std::vector<D3DXVECTOR3>* out, DWORD count) {
  if (!r.HasValues(count, 3)) return false;
  out->resize(count);
  return count == 0 || r.ReadFloats(&out->data()->x, std::size_t{count} * 3);
}

// Polygons as written in a Mesh or MeshNormals: count, then per face n and n indices.
// Faces are read straight from the value arrays: this is the bulk of a large mesh.
bool ReadFaces(const XObject& object, XDataReader& r, DWORD count, DWORD indexLimit,
               std::vector<DWORD>* sizes, std::vector<DWORD>* starts, std::vector<DWORD>* indices,
               std::string* error) {
  // Each face takes at least four values (its size and three indices).
  if (!r.HasValues(count, 4)) return SetError(error, "face count larger than the data");
  sizes->resize(count);
  if (starts) starts->resize(count);
  indices->clear();
  indices->reserve(std::size_t{count} * 3);
  const std::size_t total = object.values.size();
  std::size_t at = r.Position();
  const XValue::Kind* kinds = object.values.kinds();
  const std::uint32_t* bits = object.values.bits();
  for (DWORD f = 0; f < count; ++f) {
    if (at >= total || kinds[at] != XValue::UInt) return SetError(error, "missing face size");
    const DWORD n = bits[at++];
    if (n < 3) return SetError(error, "face with fewer than three corners");
    if (n > total - at) return SetError(error, "face larger than the data");
    (*sizes)[f] = n;
    if (starts) (*starts)[f] = static_cast<DWORD>(indices->size());
    for (DWORD i = 0; i < n; ++i, ++at) {
      if (kinds[at] != XValue::UInt) return SetError(error, "missing face index");
      if (bits[at] >= indexLimit) return SetError(error, "face index out of range");
      indices->push_back(bits[at]);
    }
  }
  r.Advance(at - r.Position());
  return true;
}

bool ReadNormals(const XObject& object, XMeshData* mesh, std::string* error) {
  XDataReader r(object);
  DWORD count;
  if (!r.ReadDWORD(&count)) return SetError(error, "missing normal count");
  if (!ReadVectors(r, &mesh->normals, count))
    return SetError(error, "normal count larger than the data");
  DWORD faces;
  if (!r.ReadDWORD(&faces)) return SetError(error, "missing normal face count");
  if (faces != mesh->faceSizes.size())
    return SetError(error, "normal face count differs from the mesh's face count");
  std::vector<DWORD> sizes;
  if (!ReadFaces(object, r, faces, count, &sizes, nullptr, &mesh->normalFaceIndices, error))
    return false;
  if (sizes != mesh->faceSizes) return SetError(error, "normal face differs in size from its face");
  mesh->hasNormals = true;
  return true;
}

bool ReadTexCoords(const XObject& object, XMeshData* mesh, std::string* error) {
  XDataReader r(object);
  DWORD count;
  if (!r.ReadDWORD(&count)) return SetError(error, "missing texture coordinate count");
  if (count != mesh->positions.size())
    return SetError(error, "texture coordinate count differs from the vertex count");
  if (!r.HasValues(count, 2))
    return SetError(error, "texture coordinate count larger than the data");
  mesh->texCoords.resize(count);
  if (count > 0 && !r.ReadFloats(&mesh->texCoords.data()->x, std::size_t{count} * 2))
    return SetError(error, "malformed texture coordinate");
  mesh->hasTexCoords = true;
  return true;
}

bool ReadColours(const XObject& object, XMeshData* mesh, std::string* error) {
  XDataReader r(object);
  DWORD count;
  if (!r.ReadDWORD(&count)) return SetError(error, "missing vertex colour count");
  if (!r.HasValues(count, 5)) return SetError(error, "vertex colour count larger than the data");
  mesh->colours.assign(mesh->positions.size(), D3DCOLORVALUE{1, 1, 1, 1});
  for (DWORD i = 0; i < count; ++i) {
    DWORD index;
    D3DCOLORVALUE c;
    if (!r.ReadDWORD(&index) || !r.ReadFloats(&c.r, 4)) return SetError(error, "malformed vertex colour");
    if (index >= mesh->positions.size()) return SetError(error, "vertex colour index out of range");
    mesh->colours[index] = c;
  }
  mesh->hasColours = true;
  return true;
}

bool ReadMaterialList(const XObject& object, XMeshData* mesh, std::string* error) {
  XDataReader r(object);
  DWORD materialCount, indexCount;
  if (!r.ReadDWORD(&materialCount) || !r.ReadDWORD(&indexCount))
    return SetError(error, "missing material list counts");
  const DWORD faces = static_cast<DWORD>(mesh->faceSizes.size());
  if (indexCount > faces) return SetError(error, "more material indices than faces");
  if (!r.HasValues(indexCount, 1))
    return SetError(error, "material index count larger than the data");
  std::vector<DWORD> faceMaterials(faces, 0);
  if (!r.ReadDWORDs(faceMaterials.data(), indexCount))
    return SetError(error, "malformed material index");
  for (DWORD i = 0; i < indexCount; ++i)
    if (faceMaterials[i] >= materialCount) return SetError(error, "material index out of range");
  // Exporters that write fewer indices than faces mean the last one for the rest.
  for (DWORD i = indexCount; i < faces && indexCount > 0; ++i)
    faceMaterials[i] = faceMaterials[indexCount - 1];
  std::vector<XMaterialData> materials;
  for (const XChild& child : object.children) {
    const XObject* target = XObject::Target(child);
    if (materials.size() == materialCount) break;
    if (!target) {
      if (child.isReference) return SetError(error, "reference to an undefined material");
      continue;
    }
    if (target->templateName != "Material") continue;
    XMaterialData m;
    if (!ReadMaterial(*target, &m, error)) return false;
    materials.push_back(std::move(m));
  }
  if (materials.size() < materialCount)
    return SetError(error, "material list holds fewer materials than it counts");
  if (materialCount == 0) return true;  // no materials: as if there were no list
  mesh->hasMaterialList = true;
  mesh->faceMaterials = std::move(faceMaterials);
  mesh->materials = std::move(materials);
  return true;
}

}  // namespace

bool ReadMaterial(const XObject& object, XMaterialData* out, std::string* error) {
  XDataReader r(object);
  *out = XMaterialData{};
  float specular[3], emissive[3];
  if (!r.ReadFloat(&out->faceColor.r) || !r.ReadFloat(&out->faceColor.g) ||
      !r.ReadFloat(&out->faceColor.b) || !r.ReadFloat(&out->faceColor.a) ||
      !r.ReadFloat(&out->power) || !r.ReadFloats(specular, 3) || !r.ReadFloats(emissive, 3))
    return SetError(error, "malformed material");
  out->specular = {specular[0], specular[1], specular[2], 1.0f};
  out->emissive = {emissive[0], emissive[1], emissive[2], 1.0f};
  for (const XChild& child : object.children) {
    const XObject* target = XObject::Target(child);
    if (!target) continue;
    const std::string& t = target->templateName;
    if (t.size() != 15) continue;
    bool match = true;
    for (std::size_t i = 0; i < 15 && match; ++i) match = (t[i] | 0x20) == ("texturefilename"[i]);
    if (!match) continue;
    XDataReader tr(*target);
    if (!tr.ReadString(&out->textureFilename))
      return SetError(error, "malformed texture file name");
    out->hasTexture = true;
    break;
  }
  return true;
}

bool ReadMesh(const XObject& object, XMeshData* out, std::string* error) {
  *out = XMeshData{};
  out->name = object.name;
  XDataReader r(object);
  DWORD vertices;
  if (!r.ReadDWORD(&vertices)) return SetError(error, "missing vertex count");
  if (!ReadVectors(r, &out->positions, vertices))
    return SetError(error, "vertex count larger than the data");
  DWORD faces;
  if (!r.ReadDWORD(&faces)) return SetError(error, "missing face count");
  if (!ReadFaces(object, r, faces, vertices, &out->faceSizes, &out->faceStarts, &out->faceIndices,
                 error))
    return false;
  for (const XChild& child : object.children) {
    // Mesh data comes inline; a reference here would share another mesh's arrays,
    // which need not even match this mesh's size.
    if (child.isReference || !child.object) continue;
    const XObject& c = *child.object;
    bool ok = true;
    if (c.templateName == "MeshNormals") {
      ok = ReadNormals(c, out, error);
    } else if (c.templateName == "MeshTextureCoords") {
      ok = ReadTexCoords(c, out, error);
    } else if (c.templateName == "MeshVertexColors") {
      ok = ReadColours(c, out, error);
    } else if (c.templateName == "MeshMaterialList") {
      ok = ReadMaterialList(c, out, error);
    } else if (c.templateName == "XSkinMeshHeader") {
      ok = ReadSkinMeshHeader(c, &out->skinHeader) || SetError(error, "malformed skin header");
      out->hasSkinHeader = ok;
    } else if (c.templateName == "SkinWeights") {
      XSkinWeightsData w;
      ok = ReadSkinWeights(c, &w, error);
      if (ok) {
        for (DWORD index : w.vertexIndices)
          if (index >= vertices) ok = SetError(error, "skin weight vertex index out of range");
      }
      if (ok) out->skinWeights.push_back(std::move(w));
    }
    if (!ok) return false;
  }
  return true;
}

bool ReadFrameTransformMatrix(const XObject& object, D3DXMATRIX* out) {
  XDataReader r(object);
  return r.ReadMatrix(out);
}

bool ReadSkinMeshHeader(const XObject& object, XSkinMeshHeaderData* out) {
  XDataReader r(object);
  return r.ReadWORD(&out->maxSkinWeightsPerVertex) && r.ReadWORD(&out->maxSkinWeightsPerFace) &&
         r.ReadWORD(&out->bones);
}

bool ReadSkinWeights(const XObject& object, XSkinWeightsData* out, std::string* error) {
  XDataReader r(object);
  *out = XSkinWeightsData{};
  DWORD count;
  if (!r.ReadString(&out->transformNodeName) || !r.ReadDWORD(&count))
    return SetError(error, "malformed skin weights");
  if (!r.HasValues(count, 2)) return SetError(error, "skin weight count larger than the data");
  out->vertexIndices.resize(count);
  out->weights.resize(count);
  if (!r.ReadDWORDs(out->vertexIndices.data(), count))
    return SetError(error, "malformed skin weight index");
  if (!r.ReadFloats(out->weights.data(), count) || !r.ReadMatrix(&out->matrixOffset))
    return SetError(error, "malformed skin weights");
  return true;
}

bool ReadAnimationKey(const XObject& object, XAnimationKeyData* out, std::string* error) {
  XDataReader r(object);
  *out = XAnimationKeyData{};
  DWORD count;
  if (!r.ReadDWORD(&out->keyType) || !r.ReadDWORD(&count))
    return SetError(error, "malformed animation key");
  if (!r.HasValues(count, 2)) return SetError(error, "key count larger than the data");
  out->keys.resize(count);
  for (auto& key : out->keys) {
    DWORD values;
    if (!r.ReadDWORD(&key.time) || !r.ReadDWORD(&values))
      return SetError(error, "malformed animation key");
    if (!r.HasValues(values, 1)) return SetError(error, "key value count larger than the data");
    key.values.resize(values);
    if (!r.ReadFloats(key.values.data(), values)) return SetError(error, "malformed key value");
  }
  return true;
}

namespace {

bool ReadAnimation(const XObject& object, XAnimationData* out, std::string* error) {
  *out = XAnimationData{};
  out->name = object.name;
  for (const XChild& child : object.children) {
    if (child.isReference) {
      if (out->frameName.empty()) out->frameName = child.referenceName;
      continue;
    }
    const XObject& c = *child.object;
    if (c.templateName == "AnimationKey") {
      XAnimationKeyData key;
      if (!ReadAnimationKey(c, &key, error)) return false;
      out->keys.push_back(std::move(key));
    } else if (c.templateName == "AnimationOptions") {
      XDataReader r(c);
      if (!r.ReadDWORD(&out->openClosed) || !r.ReadDWORD(&out->positionQuality))
        return SetError(error, "malformed animation options");
      out->hasOptions = true;
    } else if (c.templateName == "Frame" && out->frameName.empty()) {
      out->frameName = c.name;
    }
  }
  return true;
}

}  // namespace

bool ReadAnimationSet(const XObject& object, XAnimationSetData* out, std::string* error) {
  *out = XAnimationSetData{};
  out->name = object.name;
  for (const XChild& child : object.children) {
    const XObject* target = XObject::Target(child);
    if (!target || target->templateName != "Animation") continue;
    XAnimationData animation;
    if (!ReadAnimation(*target, &animation, error)) return false;
    out->animations.push_back(std::move(animation));
  }
  return true;
}

bool ReadAnimTicksPerSecond(const XObject& object, DWORD* out) {
  XDataReader r(object);
  return r.ReadDWORD(out);
}

}  // namespace platform::d3dx9

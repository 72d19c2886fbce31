// Reader of the DirectX .X file format: the text and binary encodings become one tree
// of data objects (template name, object name, member values, children, references)
// without needing the templates; typed readers then decode the standard templates
// (frames, meshes, materials, skinning, animation) for the mesh loaders.
#pragma once

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "platform/d3dx9/D3DX9Math.h"

namespace platform::d3dx9 {

// One member value. Binary lists and text numbers both become a flat sequence of
// these in file order; separators are not kept.
struct XValue {
  enum Kind : std::uint8_t { UInt, NegInt, Float, String };
  Kind kind = UInt;
  std::uint32_t bits = 0;  // UInt: the value; NegInt: the int32 bit pattern; Float: the
                           // float's bit pattern; String: index into XObject::strings
};

// An object's member values as two parallel arrays, a kind byte and a 32-bit payload
// each: five bytes a value, and lists of one kind are appended and read in bulk.
class XValues {
 public:
  XValues() = default;
  XValues(const XValues&) = delete;
  XValues& operator=(const XValues&) = delete;

  std::size_t size() const { return size_; }
  bool empty() const { return size_ == 0; }
  XValue operator[](std::size_t i) const {
    XValue v;
    v.kind = kinds_[i];
    v.bits = bits_[i];
    return v;
  }
  void push_back(XValue v) {
    if (size_ == capacity_) Grow(size_ + 1);
    kinds_[size_] = v.kind;
    bits_[size_++] = v.bits;
  }
  // Room for count more values of one kind; the caller writes their payloads there.
  std::uint32_t* Append(XValue::Kind kind, std::size_t count) {
    if (count > capacity_ - size_) Grow(size_ + count);
    std::memset(kinds_.get() + size_, kind, count);
    std::uint32_t* at = bits_.get() + size_;
    size_ += count;
    return at;
  }
  const XValue::Kind* kinds() const { return kinds_.get(); }
  const std::uint32_t* bits() const { return bits_.get(); }

 private:
  // Geometric growth, so many short lists do not reallocate each time.
  void Grow(std::size_t needed) {
    const std::size_t room = std::max<std::size_t>({needed, capacity_ + capacity_ / 2, 16});
    auto kinds = std::make_unique_for_overwrite<XValue::Kind[]>(room);
    auto bits = std::make_unique_for_overwrite<std::uint32_t[]>(room);
    if (size_ > 0) {
      std::memcpy(kinds.get(), kinds_.get(), size_);
      std::memcpy(bits.get(), bits_.get(), size_ * sizeof(std::uint32_t));
    }
    kinds_ = std::move(kinds);
    bits_ = std::move(bits);
    capacity_ = room;
  }
  std::unique_ptr<XValue::Kind[]> kinds_;
  std::unique_ptr<std::uint32_t[]> bits_;
  std::size_t size_ = 0;
  std::size_t capacity_ = 0;
};

class XObject;

// A child entry in document order: an object written inline, or a reference
// "{ name }" / "{ <guid> }" to an object completed earlier in the file.
struct XChild {
  XObject* object = nullptr;  // inline: owned by the parent; reference: not owned, null
                              // when nothing of that name was defined before
  bool isReference = false;
  std::string referenceName;  // references only
};

class XObject {
 public:
  std::string templateName;
  std::string name;  // empty for an unnamed object
  GUID guid{};
  bool hasGuid = false;
  XValues values;
  std::vector<std::string> strings;
  std::vector<XChild> children;

  // The target of a child entry (inline or resolved reference), or null.
  static const XObject* Target(const XChild& child) { return child.object; }

 private:
  friend class XFileParser;
  std::vector<std::unique_ptr<XObject>> owned_;  // the inline children
};

// A template declaration as written in the file; the reader needs none of them but
// keeps them for whoever wants to know what a file declares.
struct XTemplateMember {
  std::string type;  // primitive keyword in upper case (DWORD, FLOAT, ...) or template name
  std::string name;
  std::vector<std::string> dimensions;  // "[16]" → "16", "[nVertices]" → "nVertices"
};

struct XTemplate {
  std::string name;
  GUID guid{};
  bool hasGuid = false;
  std::vector<XTemplateMember> members;
  bool open = false;                      // "[...]": any child allowed
  std::vector<std::string> restrictions;  // "[Name, ...]": the children allowed
};

class XFile {
 public:
  // Limits that keep a hostile file from exhausting the stack or memory.
  static constexpr int kMaxDepth = 64;
  static constexpr std::size_t kMaxObjects = 1u << 20;
  // The largest body a compressed (tzip/bzip) file may inflate to.
  static constexpr std::size_t kMaxInflatedBytes = 64u << 20;

  // Parses a whole file held in memory, text or binary, plain or compressed; false with
  // Error() set on any fault: bad header, bad compressed blocks, truncation, syntax,
  // limits.
  bool Parse(const void* data, std::size_t size);

  const std::vector<std::unique_ptr<XObject>>& Objects() const { return objects_; }
  const std::vector<XTemplate>& Templates() const { return templates_; }
  bool IsBinary() const { return binary_; }
  int FloatBits() const { return floatBits_; }
  const std::string& Error() const { return error_; }
  std::size_t ErrorOffset() const { return errorOffset_; }

 private:
  friend class XFileParser;
  std::vector<std::unique_ptr<XObject>> objects_;
  std::vector<XTemplate> templates_;
  bool binary_ = false;
  int floatBits_ = 32;
  std::string error_;
  std::size_t errorOffset_ = 0;
};

// Sequential reading of an object's member values by the types the template declares.
// Every read fails (false) rather than run past the end or accept the wrong kind, and
// a count can be checked against what is left before anything is sized by it.
class XDataReader {
 public:
  explicit XDataReader(const XObject& object) : object_(object) {}

  bool ReadDWORD(DWORD* out);
  bool ReadWORD(WORD* out);
  bool ReadFloat(float* out);  // accepts integers written without a decimal point
  bool ReadFloats(float* out, std::size_t count);
  // count DWORDs at once; false (nothing taken) unless all are there and unsigned.
  bool ReadDWORDs(DWORD* out, std::size_t count);
  bool ReadString(std::string* out);
  bool ReadMatrix(D3DXMATRIX* out);
  // True when at least count × valuesEach values remain (no overflow).
  bool HasValues(std::size_t count, std::size_t valuesEach) const;
  std::size_t Remaining() const { return object_.values.size() - next_; }
  // The next value's index, and a move past values a reader has walked through in the
  // object's arrays itself (never beyond the last).
  std::size_t Position() const { return next_; }
  void Advance(std::size_t count) { next_ += std::min(count, Remaining()); }

 private:
  const XObject& object_;
  std::size_t next_ = 0;
};

// --- Standard templates -------------------------------------------------------------

struct XMaterialData {
  D3DCOLORVALUE faceColor{};
  float power = 0;
  D3DCOLORVALUE specular{};  // alpha unused (1)
  D3DCOLORVALUE emissive{};  // alpha unused (1)
  std::string textureFilename;
  bool hasTexture = false;
};

struct XSkinWeightsData {
  std::string transformNodeName;
  std::vector<DWORD> vertexIndices;
  std::vector<float> weights;
  D3DXMATRIX matrixOffset;
};

struct XSkinMeshHeaderData {
  WORD maxSkinWeightsPerVertex = 0;
  WORD maxSkinWeightsPerFace = 0;
  WORD bones = 0;
};

// One Mesh object with the standard children it may carry. Faces are polygons of any
// size ≥ 3, stored flat: face f has faceSizes[f] indices starting at faceStarts[f].
struct XMeshData {
  std::string name;
  std::vector<D3DXVECTOR3> positions;
  std::vector<DWORD> faceSizes;
  std::vector<DWORD> faceStarts;
  std::vector<DWORD> faceIndices;

  bool hasNormals = false;
  std::vector<D3DXVECTOR3> normals;
  std::vector<DWORD> normalFaceIndices;  // same layout as faceIndices

  bool hasTexCoords = false;
  std::vector<D3DXVECTOR2> texCoords;  // one per vertex

  bool hasColours = false;
  std::vector<D3DCOLORVALUE> colours;  // one per vertex; white where the file gives none

  bool hasMaterialList = false;
  std::vector<DWORD> faceMaterials;  // one per face
  std::vector<XMaterialData> materials;

  bool hasSkinHeader = false;
  XSkinMeshHeaderData skinHeader;
  std::vector<XSkinWeightsData> skinWeights;
};

struct XAnimationKeyData {
  DWORD keyType = 0;  // 0 rotation (w, x, y, z), 1 scale, 2 position, 3/4 matrix
  struct Key {
    DWORD time = 0;
    std::vector<float> values;
  };
  std::vector<Key> keys;
};

struct XAnimationData {
  std::string name;
  std::string frameName;  // from the "{ Frame }" reference (or an inline Frame's name)
  std::vector<XAnimationKeyData> keys;
  bool hasOptions = false;
  DWORD openClosed = 0;
  DWORD positionQuality = 0;
};

struct XAnimationSetData {
  std::string name;
  std::vector<XAnimationData> animations;
};

// Each reader fails (false, message in *error when given) on counts that do not fit
// the values present, indices out of range and missing members.
bool ReadMaterial(const XObject& object, XMaterialData* out, std::string* error = nullptr);
bool ReadMesh(const XObject& object, XMeshData* out, std::string* error = nullptr);
bool ReadFrameTransformMatrix(const XObject& object, D3DXMATRIX* out);
bool ReadSkinWeights(const XObject& object, XSkinWeightsData* out, std::string* error = nullptr);
bool ReadSkinMeshHeader(const XObject& object, XSkinMeshHeaderData* out);
bool ReadAnimationKey(const XObject& object, XAnimationKeyData* out, std::string* error = nullptr);
bool ReadAnimationSet(const XObject& object, XAnimationSetData* out, std::string* error = nullptr);
bool ReadAnimTicksPerSecond(const XObject& object, DWORD* out);

// Case-sensitive template name test, as the format's names are.
inline bool IsTemplate(const XObject& object, std::string_view name) {
  return object.templateName == name;
}

}  // namespace platform::d3dx9

#include "unit/content3d/ContentFiles.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <fstream>
#include <sstream>

using namespace platform::d3dx9;

namespace content3d {

std::string DataDir() { return std::string(YULE_BUILD_DIR) + "/Data/"; }

std::unique_ptr<XFile> ParseX(const std::string& file) {
  std::ifstream in(DataDir() + file, std::ios::binary);
  std::stringstream bytes;
  bytes << in.rdbuf();
  const std::string data = bytes.str();
  auto x = std::make_unique<XFile>();
  if (data.empty() || !x->Parse(data.data(), data.size())) {
    ADD_FAILURE() << file << ": " << (data.empty() ? "missing" : x->Error());
    return nullptr;
  }
  return x;
}

namespace {

void CollectMeshes(const XObject& o, std::vector<XMeshData>* out) {
  if (o.templateName == "Mesh") {
    XMeshData m;
    std::string error;
    if (ReadMesh(o, &m, &error))
      out->push_back(std::move(m));
    else
      ADD_FAILURE() << "mesh " << o.name << ": " << error;
    return;
  }
  for (const XChild& c : o.children)
    if (!c.isReference && c.object) CollectMeshes(*c.object, out);
}

void CollectFrames(const XObject& o, int parent, std::vector<Frame>* out) {
  if (o.templateName != "Frame") return;
  Frame f;
  f.name = o.name;
  f.parent = parent;
  D3DXMatrixIdentity(&f.rest);
  for (const XChild& c : o.children)
    if (!c.isReference && c.object && c.object->templateName == "FrameTransformMatrix")
      ReadFrameTransformMatrix(*c.object, &f.rest);
  out->push_back(f);
  const int me = static_cast<int>(out->size() - 1);
  for (const XChild& c : o.children)
    if (!c.isReference && c.object) CollectFrames(*c.object, me, out);
}

}  // namespace

std::vector<XMeshData> Meshes(const XFile& file) {
  std::vector<XMeshData> out;
  for (const auto& o : file.Objects()) CollectMeshes(*o, &out);
  return out;
}

std::size_t Triangles(const XMeshData& mesh) {
  std::size_t n = 0;
  for (DWORD s : mesh.faceSizes) n += s >= 3 ? s - 2 : 0;
  return n;
}

std::vector<Frame> Frames(const XFile& file) {
  std::vector<Frame> out;
  for (const auto& o : file.Objects()) CollectFrames(*o, -1, &out);
  return out;
}

bool ReadOutlineFile(const std::string& path, std::vector<Outline>* out) {
  out->clear();
  std::FILE* f = std::fopen(path.c_str(), "rb");
  if (!f) return false;
  auto readInt = [&](std::int32_t* v) {
    unsigned char b[4];
    if (std::fread(b, 1, 4, f) != 4) return false;
    *v = static_cast<std::int32_t>(b[0] | (b[1] << 8) | (b[2] << 16) | (static_cast<std::uint32_t>(b[3]) << 24));
    return true;
  };
  std::int32_t n = 0;
  bool ok = readInt(&n) && n >= 0 && n < 10000;
  for (std::int32_t i = 0; ok && i < n; ++i) {
    std::int32_t k = 0;
    ok = readInt(&k) && k >= 0 && k < 100000;
    Outline o(ok ? k : 0);
    for (auto& p : o) {
      std::int32_t v[3];
      ok = ok && readInt(&v[0]) && readInt(&v[1]) && readInt(&v[2]);
      std::memcpy(&p, v, 12);
    }
    out->push_back(o);
  }
  ok = ok && std::fgetc(f) == EOF;  // nothing after the last outline
  std::fclose(f);
  return ok;
}

bool Inside(const Outline& poly, float x, float y) {
  bool in = false;
  for (std::size_t i = 0, j = poly.size() - 1; i < poly.size(); j = i++) {
    const auto& a = poly[i];
    const auto& b = poly[j];
    if ((a.y > y) != (b.y > y) && x < (b.x - a.x) * (y - a.y) / (b.y - a.y) + a.x) in = !in;
  }
  return in;
}

}  // namespace content3d

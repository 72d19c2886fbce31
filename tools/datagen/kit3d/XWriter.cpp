#include "kit3d/XWriter.h"

#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstring>

namespace kit3d {
namespace {

// Fixed notation only: some readers refuse exponents. Tiny values print as zero.
void Num(std::string& out, float f, int decimals = 5) {
  if (std::fabs(f) < 0.5f * std::pow(10.0f, -decimals)) f = 0;
  char b[48];
  std::snprintf(b, sizeof b, "%.*f", decimals, static_cast<double>(f));
  out += b;
}

void Vec(std::string& out, V3 v, int decimals) {
  Num(out, v.x, decimals);
  out += ';';
  Num(out, v.y, decimals);
  out += ';';
  Num(out, v.z, decimals);
  out += ';';
}

const char* Sep(std::size_t i, std::size_t n) { return i + 1 == n ? ";\n" : ",\n"; }

void MeshBody(std::string& x, const Mesh& m, const std::string& name) {
  const std::size_t nv = m.vertices.size(), nf = m.triangles.size();
  x += "Mesh " + name + " {\n " + std::to_string(nv) + ";\n";
  for (std::size_t i = 0; i < nv; ++i) {
    x += ' ';
    Vec(x, m.vertices[i].p, 4);
    x += Sep(i, nv);
  }
  auto faces = [&] {
    x += ' ' + std::to_string(nf) + ";\n";
    for (std::size_t i = 0; i < nf; ++i) {
      const auto& t = m.triangles[i];
      x += " 3;" + std::to_string(t[0]) + ',' + std::to_string(t[1]) + ',' + std::to_string(t[2]) +
           ';' + Sep(i, nf);
    }
  };
  faces();
  x += " MeshNormals {\n " + std::to_string(nv) + ";\n";
  for (std::size_t i = 0; i < nv; ++i) {
    x += ' ';
    Vec(x, m.vertices[i].n, 5);
    x += Sep(i, nv);
  }
  faces();
  x += " }\n MeshTextureCoords {\n " + std::to_string(nv) + ";\n";
  for (std::size_t i = 0; i < nv; ++i) {
    x += ' ';
    Num(x, m.vertices[i].u, 4);
    x += ';';
    Num(x, m.vertices[i].v, 4);
    x += ';';
    x += Sep(i, nv);
  }
  x += " }\n MeshVertexColors {\n " + std::to_string(nv) + ";\n";
  for (std::size_t i = 0; i < nv; ++i) {
    const Rgba& c = m.vertices[i].c;
    x += ' ' + std::to_string(i) + ';';
    for (float f : {c.r, c.g, c.b, c.a}) {
      Num(x, f, 3);
      x += ';';
    }
    x += ';';
    x += Sep(i, nv);
  }
  x += " }\n MeshMaterialList {\n " + std::to_string(m.materials.size()) + ";\n " +
       std::to_string(nf) + ";\n";
  for (std::size_t i = 0; i < nf; ++i) x += ' ' + std::to_string(m.triangleMaterial[i]) + Sep(i, nf);
  for (const Material& mat : m.materials) {
    x += "  Material {\n   ";
    for (float f : {mat.diffuse.r, mat.diffuse.g, mat.diffuse.b, mat.diffuse.a}) {
      Num(x, f, 4);
      x += ';';
    }
    x += ";\n   ";
    Num(x, mat.power, 2);
    x += ";\n   ";
    Vec(x, mat.specular, 4);
    x += ";\n   ";
    Vec(x, mat.emissive, 4);
    x += ";\n";
    if (!mat.texture.empty()) x += "   TextureFilename { \"" + mat.texture + "\"; }\n";
    x += "  }\n";
  }
  x += " }\n";
}

void Matrix(std::string& x, V3 translation) {
  const float m[16] = {1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, translation.x, translation.y,
                       translation.z, 1};
  for (int i = 0; i < 16; ++i) {
    Num(x, m[i], 4);
    x += i == 15 ? ";;" : ",";
  }
}

void Frames(std::string& x, const Skeleton& s, int parent, int depth) {
  for (std::size_t b = 0; b < s.bones.size(); ++b) {
    if (s.bones[b].parent != parent) continue;
    const std::string pad(depth, ' ');
    x += pad + "Frame " + s.bones[b].name + " {\n" + pad + " FrameTransformMatrix { ";
    Matrix(x, s.bones[b].rest);
    x += " }\n";
    Frames(x, s, static_cast<int>(b), depth + 1);
    x += pad + "}\n";
  }
}

}  // namespace

std::string StaticX(const Mesh& mesh, const std::string& meshName) {
  std::string x = "xof 0303txt 0032\n";
  MeshBody(x, mesh, meshName);
  x += "}\n";
  return x;
}

std::string SkinnedX(const Mesh& mesh, const Skeleton& skeleton, const std::vector<Clip>& clips) {
  std::string x = "xof 0303txt 0032\nAnimTicksPerSecond { " + std::to_string(kTicksPerSecond) +
                  "; }\nFrame Raiz {\n FrameTransformMatrix { ";
  Matrix(x, {});
  x += " }\n";
  Frames(x, skeleton, -1, 1);
  MeshBody(x, mesh, "Cuerpo");
  // Skin: every vertex follows one bone fully.
  const std::vector<V3> origins = skeleton.RestOrigins();
  std::vector<std::vector<std::size_t>> byBone(skeleton.bones.size());
  for (std::size_t v = 0; v < mesh.vertices.size(); ++v) byBone[mesh.vertices[v].bone].push_back(v);
  std::size_t used = 0;
  for (const auto& list : byBone) used += list.empty() ? 0 : 1;
  x += " XSkinMeshHeader {\n  1;\n  3;\n  " + std::to_string(used) + ";\n }\n";
  for (std::size_t b = 0; b < byBone.size(); ++b) {
    const auto& list = byBone[b];
    if (list.empty()) continue;
    x += " SkinWeights {\n  \"" + skeleton.bones[b].name + "\";\n  " + std::to_string(list.size()) +
         ";\n";
    for (std::size_t i = 0; i < list.size(); ++i) x += "  " + std::to_string(list[i]) + Sep(i, list.size());
    for (std::size_t i = 0; i < list.size(); ++i) x += std::string("  1.0000") + Sep(i, list.size());
    x += "  ";
    Matrix(x, -origins[b]);
    x += "\n }\n";
  }
  x += "}\n}\n";
  for (const Clip& clip : clips) {
    x += "AnimationSet " + clip.name + " {\n";
    const std::size_t nk = clip.times.size();
    for (std::size_t b = 0; b < skeleton.bones.size(); ++b) {
      x += " Animation {\n  { " + skeleton.bones[b].name + " }\n";
      auto ticks = [&](std::size_t k) {
        return std::to_string(static_cast<long>(std::lround(clip.times[k] * kTicksPerSecond)));
      };
      x += "  AnimationKey {\n   0;\n   " + std::to_string(nk) + ";\n";
      for (std::size_t k = 0; k < nk; ++k) {
        const Quat& q = clip.poses[k].rotation[b];
        x += "   " + ticks(k) + ";4;";
        // The conjugate of the rotation meant, as readers of the format apply it.
        const float v[4] = {q.w, -q.x, -q.y, -q.z};
        for (int i = 0; i < 4; ++i) {
          Num(x, v[i], 6);
          x += i == 3 ? ";;" : ",";
        }
        x += Sep(k, nk);
      }
      x += "  }\n";
      for (int type : {1, 2}) {
        x += "  AnimationKey {\n   " + std::to_string(type) + ";\n   " + std::to_string(nk) + ";\n";
        for (std::size_t k = 0; k < nk; ++k) {
          const V3 v = type == 1 ? clip.poses[k].scale[b] : clip.poses[k].offset[b];
          x += "   " + ticks(k) + ";3;";
          Num(x, v.x, 4);
          x += ',';
          Num(x, v.y, 4);
          x += ',';
          Num(x, v.z, 4);
          x += ";;";
          x += Sep(k, nk);
        }
        x += "  }\n";
      }
      x += " }\n";
    }
    x += "}\n";
  }
  return x;
}

bool WriteText(const std::string& path, const std::string& text) {
  std::FILE* f = std::fopen(path.c_str(), "wb");
  if (!f) {
    std::fprintf(stderr, "datagen: cannot write %s\n", path.c_str());
    return false;
  }
  const bool ok = std::fwrite(text.data(), 1, text.size(), f) == text.size();
  return std::fclose(f) == 0 && ok;
}

bool WriteOutlines(const std::string& path, const std::vector<std::vector<V3>>& outlines) {
  std::string bytes;
  auto put = [&](std::uint32_t v) {
    for (int i = 0; i < 4; ++i) bytes += static_cast<char>((v >> (8 * i)) & 0xFF);
  };
  auto putFloat = [&](float f) {
    std::uint32_t v;
    std::memcpy(&v, &f, 4);
    put(v);
  };
  put(static_cast<std::uint32_t>(outlines.size()));
  for (const auto& o : outlines) {
    put(static_cast<std::uint32_t>(o.size()));
    for (const V3& p : o) {
      putFloat(p.x);
      putFloat(p.y);
      putFloat(p.z);
    }
  }
  return WriteText(path, bytes);
}

}  // namespace kit3d

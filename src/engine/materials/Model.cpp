#include "engine/materials/Model.h"

#include <algorithm>
#include <cstdio>
#include <cstring>

#include "app/GraphicsDevice.h"
#include "engine/materials/Material.h"
#include "engine/materials/MaterialManager.h"
#include "engine/materials/RenderStateSet.h"
#include "engine/resources/ResourceManagers.h"
#include "platform/FileSystem.h"
#include "platform/d3dx9/D3DX9Mesh.h"

namespace {

constexpr const char* kDefaultName = "__DEFAULT__";
constexpr const char* kTransparentDefaultName = "__DEFAULT_TRANSPARENT__";

bool FileExists(const std::string& path) {
  return !platform::ResolvePath(path).empty();
}

// The file name of a path without directory and extension.
std::string BaseName(const std::string& path) {
  const std::size_t slash = path.find_last_of("\\/");
  std::string file = slash == std::string::npos ? path : path.substr(slash + 1);
  const std::size_t dot = file.rfind('.');
  if (dot != std::string::npos) file.resize(dot);
  return file;
}

// The one line of a reflection file: the name of the texture laid over stage 1. An
// over-long line is cut to the buffer the format allows; a file that cannot be opened
// or holds no name gives false, and the subset is then set up without a reflection.
bool ReadReflectionName(const std::string& path, std::string* out) {
  std::FILE* f = platform::OpenFile(path, "rt");
  if (!f) return false;
  char line[260];
  std::size_t length = 0;
  for (int c = std::fgetc(f); c != EOF && c != '\n'; c = std::fgetc(f))
    if (length + 1 < sizeof line) line[length++] = static_cast<char>(c);
  std::fclose(f);
  // Files written on Windows end their line with a carriage return.
  while (length > 0 && line[length - 1] == '\r') --length;
  if (length == 0) return false;
  out->assign(line, length);
  return true;
}

}  // namespace

MeshSubset::MeshSubset(MeshSubset&& other) noexcept
    : name(std::move(other.name)),
      owner(other.owner),
      index(other.index),
      renderStates(other.renderStates),
      material(other.material),
      textures(std::move(other.textures)) {
  other.renderStates = nullptr;
  other.material = nullptr;
  other.textures = TextureSet();
}

MeshSubset::~MeshSubset() {
  if (renderStates && g_renderStateManager) g_renderStateManager->Release(renderStates->name);
  if (material && g_materialManager) g_materialManager->Release(material->name);
  if (g_textureManager)
    for (const Texture* t : textures.textures)
      if (t) g_textureManager->Release(t->name);
}

bool MeshSubset::IsOpaque() const {
  return material && material->opaque && textures.HasNoAlpha();
}

bool MeshSubset::Init(Model* model, std::uint32_t i, SubsetDescription& d, bool useDefaultStates) {
  owner = model;
  name = (model ? model->name : std::string()) + std::to_string(i);
  index = i;
  if (!g_materialManager || !g_renderStateManager || !g_textureManager) return false;
  material = g_materialManager->Acquire(d.materialName);
  if (!material) return false;
  textures.Resize(d.textureNames.size());
  for (std::size_t j = 0; j < d.textureNames.size(); ++j)
    textures.Set(j, g_textureManager->Acquire(d.textureNames[j]));
  const bool opaque = IsOpaque();
  if (useDefaultStates) d.renderStatesName = opaque ? kDefaultName : kTransparentDefaultName;
  renderStates = g_renderStateManager->Acquire(d.renderStatesName);
  if (!renderStates) return false;
  if (!useDefaultStates) {
    // The matching default is read without taking a reference on it: the copy is all
    // the subset keeps.
    const RenderStateSet* source =
        opaque ? g_renderStateManager->GetDefault() : g_renderStateManager->GetTransparentDefault();
    if (source && source != renderStates) renderStates->CopyFrom(*source);
  }
  return true;
}

Model::~Model() {
  subsets.clear();
  if (mesh) mesh->Release();
}

void Model::DrawSubset(std::uint32_t i) {
  if (mesh) mesh->DrawSubset(i);
}

bool Model::Load(const std::string& path, bool optimise) {
  IDirect3DDevice9* device = g_graphicsDevice ? g_graphicsDevice->GetDevice() : nullptr;
  if (!device || !g_materialManager) return false;
  subsets.clear();
  if (mesh) mesh->Release();
  mesh = nullptr;
  ID3DXBuffer* adjacency = nullptr;
  ID3DXBuffer* materials = nullptr;
  DWORD n = 0;
  if (FAILED(D3DXLoadMeshFromX(path.c_str(), D3DXMESH_MANAGED, device, &adjacency, &materials,
                               nullptr, &n, &mesh))) {
    mesh = nullptr;
    return false;
  }

  const std::string base = BaseName(path);
  const std::string folder = g_materialManager->Folder();
  if (FileExists(folder + base + ".MP")) {
    // Marked as drawing nothing: no subsets.
  } else if (!materials || n == 0 ||
             (n == 1 && platform::d3dx9::IsStandInMaterial(materials, n, 0))) {
    // The reader's stand-in for a file without materials has a diffuse alpha of 0:
    // taken as it stands it would make the model see-through, so it gets the default.
    subsets.resize(1);
    SubsetDescription d{kDefaultName, kDefaultName, {}};
    subsets[0].Init(this, 0, d, false);
  } else {
    const auto* list = static_cast<const D3DXMATERIAL*>(materials->GetBufferPointer());
    const bool privateStates = FileExists(folder + base + ".ush");
    subsets.resize(n);
    for (DWORD i = 0; i < n; ++i) {
      const std::string number = std::to_string(i);
      if (FileExists(folder + base + number + ".srf")) continue;
      if (platform::d3dx9::IsStandInMaterial(materials, n, i)) {
        // A mesh of the file without a material list: opaque default, like a file
        // without materials, never the stand-in's see-through alpha.
        SubsetDescription d{kDefaultName, kDefaultName, {}};
        subsets[i].Init(this, i, d, false);
        continue;
      }
      SubsetDescription d;
      d.materialName = "AUTO_" + base + "_" + number;
      if (Material* m = g_materialManager->Acquire(d.materialName)) {
        m->Assign(list[i].MatD3D);
        g_materialManager->Release(d.materialName);
      }
      const char* textureFile = list[i].pTextureFilename;
      std::string reflection;
      if (textureFile && *textureFile) {
        d.textureNames.push_back(textureFile);
        const std::string rfx = folder + textureFile + ".rfx";
        if (FileExists(rfx) && ReadReflectionName(rfx, &reflection)) {
          d.textureNames.push_back(reflection);
          d.renderStatesName = "AUTO_" + base + "_REFLEX_" + number;
          subsets[i].Init(this, i, d, false);
          if (RenderStateSet* states = subsets[i].renderStates) {
            states->Set(RenderStateSet::StageIndex(1, D3DTSS_COLOROP), D3DTOP_MODULATE);
            states->Set(RenderStateSet::StageIndex(1, D3DTSS_TEXCOORDINDEX), D3DTSS_TCI_SPHEREMAP);
          }
          continue;
        }
      } else {
        d.textureNames.push_back(kDefaultName);
      }
      bool useDefault = true;
      if (privateStates) {
        useDefault = false;
        d.renderStatesName = "AUTO_" + base + number;
      }
      subsets[i].Init(this, i, d, useDefault);
    }
  }

  if (optimise) {
    const DWORD* adjacencyIn =
        adjacency ? static_cast<const DWORD*>(adjacency->GetBufferPointer()) : nullptr;
    mesh->OptimizeInplace(D3DXMESHOPT_COMPACT | D3DXMESHOPT_ATTRSORT | D3DXMESHOPT_VERTEXCACHE,
                          adjacencyIn, nullptr, nullptr, nullptr);
  }
  if (adjacency) adjacency->Release();
  if (materials) materials->Release();

  boundsCentre = D3DXVECTOR3(0, 0, 0);
  boundsRadius = 0.0f;
  void* vertices = nullptr;
  if (SUCCEEDED(mesh->LockVertexBuffer(D3DLOCK_READONLY, &vertices))) {
    D3DXComputeBoundingSphere(static_cast<const D3DXVECTOR3*>(vertices), mesh->GetNumVertices(),
                              D3DXGetFVFVertexSize(mesh->GetFVF()), &boundsCentre, &boundsRadius);
    ComputeSubsetBoxes(static_cast<const BYTE*>(vertices));
    mesh->UnlockVertexBuffer();
  }
  return true;
}

void Model::ComputeSubsetBoxes(const BYTE* vertices) {
  void* indices = nullptr;
  DWORD* attributes = nullptr;
  if (FAILED(mesh->LockIndexBuffer(D3DLOCK_READONLY, &indices))) return;
  if (FAILED(mesh->LockAttributeBuffer(D3DLOCK_READONLY, &attributes))) {
    mesh->UnlockIndexBuffer();
    return;
  }
  const bool wide = (mesh->GetOptions() & D3DXMESH_32BIT) != 0;
  const DWORD stride = D3DXGetFVFVertexSize(mesh->GetFVF());
  const DWORD vertexCount = mesh->GetNumVertices();
  for (DWORD f = 0; f < mesh->GetNumFaces(); ++f) {
    MeshSubset* subset = nullptr;
    for (MeshSubset& s : subsets)
      if (s.index == attributes[f]) subset = &s;
    if (!subset) continue;
    for (DWORD k = 0; k < 3; ++k) {
      const DWORD v = wide ? static_cast<const DWORD*>(indices)[3 * f + k]
                           : static_cast<const WORD*>(indices)[3 * f + k];
      if (v >= vertexCount) continue;
      D3DXVECTOR3 p;
      std::memcpy(&p, vertices + static_cast<std::size_t>(v) * stride, sizeof p);
      if (!subset->hasBox) {
        subset->boxMin = subset->boxMax = p;
        subset->hasBox = true;
      }
      subset->boxMin = {std::min(subset->boxMin.x, p.x), std::min(subset->boxMin.y, p.y),
                        std::min(subset->boxMin.z, p.z)};
      subset->boxMax = {std::max(subset->boxMax.x, p.x), std::max(subset->boxMax.y, p.y),
                        std::max(subset->boxMax.z, p.z)};
    }
  }
  mesh->UnlockAttributeBuffer();
  mesh->UnlockIndexBuffer();
}

// D3DXLoadMeshHierarchyFromX and the frame helpers: frames, mesh containers with their
// skins, and the file's animation sets gathered into a controller.
#include <algorithm>
#include <cmath>
#include <cstring>
#include <string>
#include <vector>

#include "platform/FileSystem.h"
#include "platform/d3dx9/D3DX9Anim.h"
#include "platform/d3dx9/D3DX9MeshImpl.h"

namespace platform::d3dx9 {
namespace {

constexpr std::size_t kMaxFileBytes = 64u * 1024u * 1024u;

// Files that do not say how fast their ticks run were written for the format's own
// default of 4800 ticks per second.
constexpr DWORD kDefaultTicksPerSecond = 4800;
// Two tracks are enough to switch between animations; events are never raised.
constexpr UINT kControllerTracks = 2;
constexpr UINT kControllerEvents = 30;

struct SRT {
  D3DXVECTOR3 scale{1, 1, 1};
  D3DXQUATERNION rotation{0, 0, 0, 1};
  D3DXVECTOR3 translation;
};

// Splits an affine matrix into scale, rotation and translation (a mirror goes into the
// x scale). A zero scale leaves the rotation at identity.
SRT Decompose(const D3DXMATRIX& m) {
  SRT out;
  out.translation = {m.m[3][0], m.m[3][1], m.m[3][2]};
  D3DXVECTOR3 rows[3];
  float scales[3];
  for (int r = 0; r < 3; ++r) {
    rows[r] = {m.m[r][0], m.m[r][1], m.m[r][2]};
    scales[r] = D3DXVec3Length(&rows[r]);
  }
  D3DXVECTOR3 cross;
  D3DXVec3Cross(&cross, &rows[0], &rows[1]);
  if (D3DXVec3Dot(&cross, &rows[2]) < 0.0f) scales[0] = -scales[0];
  out.scale = {scales[0], scales[1], scales[2]};
  if (scales[0] == 0.0f || scales[1] == 0.0f || scales[2] == 0.0f) return out;
  float r[3][3];
  for (int i = 0; i < 3; ++i) {
    r[i][0] = rows[i].x / scales[i];
    r[i][1] = rows[i].y / scales[i];
    r[i][2] = rows[i].z / scales[i];
  }
  D3DXQUATERNION q;
  const float trace = r[0][0] + r[1][1] + r[2][2];
  if (trace > 0.0f) {
    const float s = 0.5f / std::sqrt(trace + 1.0f);
    q = {(r[1][2] - r[2][1]) * s, (r[2][0] - r[0][2]) * s, (r[0][1] - r[1][0]) * s, 0.25f / s};
  } else if (r[0][0] >= r[1][1] && r[0][0] >= r[2][2]) {
    const float s = 2.0f * std::sqrt(std::max(0.0f, 1.0f + r[0][0] - r[1][1] - r[2][2]));
    if (s == 0.0f) return out;
    q = {0.25f * s, (r[0][1] + r[1][0]) / s, (r[2][0] + r[0][2]) / s, (r[1][2] - r[2][1]) / s};
  } else if (r[1][1] >= r[2][2]) {
    const float s = 2.0f * std::sqrt(std::max(0.0f, 1.0f + r[1][1] - r[0][0] - r[2][2]));
    if (s == 0.0f) return out;
    q = {(r[0][1] + r[1][0]) / s, 0.25f * s, (r[1][2] + r[2][1]) / s, (r[2][0] - r[0][2]) / s};
  } else {
    const float s = 2.0f * std::sqrt(std::max(0.0f, 1.0f + r[2][2] - r[0][0] - r[1][1]));
    if (s == 0.0f) return out;
    q = {(r[2][0] + r[0][2]) / s, (r[1][2] + r[2][1]) / s, 0.25f * s, (r[0][1] - r[1][0]) / s};
  }
  D3DXQuaternionNormalize(&out.rotation, &q);
  return out;
}

bool Finite(const std::vector<float>& values) {
  for (float v : values)
    if (!std::isfinite(v)) return false;
  return true;
}

template <typename Key>
void SortByTime(std::vector<Key>* keys) {
  std::stable_sort(keys->begin(), keys->end(),
                   [](const Key& a, const Key& b) { return a.Time < b.Time; });
}

template <typename T>
void Release(T*& p) {
  if (p) p->Release();
  p = nullptr;
}

class HierarchyLoader {
 public:
  HierarchyLoader(DWORD options, IDirect3DDevice9* device, ID3DXAllocateHierarchy* allocator)
      : options_(options), device_(device), allocator_(allocator) {}

  HRESULT Load(const XFile& file, D3DXFRAME** rootOut, ID3DXAnimationController** controller) {
    std::vector<const XObject*> frames, meshes, sets;
    DWORD ticks = 0;
    bool haveTicks = false;
    for (const auto& object : file.Objects()) {
      const std::string& t = object->templateName;
      if (t == "Frame") {
        frames.push_back(object.get());
      } else if (t == "Mesh") {
        meshes.push_back(object.get());
      } else if (t == "AnimationSet") {
        sets.push_back(object.get());
      } else if (t == "AnimTicksPerSecond" && !haveTicks) {
        if (!ReadAnimTicksPerSecond(*object, &ticks)) return D3DXERR_INVALIDDATA;
        haveTicks = true;
      }
    }
    if (frames.empty() && meshes.empty()) return D3DXERR_LOADEDMESHASNODATA;
    if (!haveTicks || ticks == 0) ticks = kDefaultTicksPerSecond;

    D3DXFRAME* root = nullptr;
    HRESULT hr = BuildTree(frames, meshes, &root);
    if (SUCCEEDED(hr) && controller) hr = BuildController(sets, ticks, root, controller);
    if (FAILED(hr)) {
      D3DXFrameDestroy(root, allocator_);
      return hr;
    }
    *rootOut = root;
    return D3D_OK;
  }

 private:
  // Top-level meshes (and a file without frames) hang under an unnamed root; the
  // top-level frames follow as its siblings, or the first of them is the root.
  HRESULT BuildTree(const std::vector<const XObject*>& frames,
                    const std::vector<const XObject*>& meshes, D3DXFRAME** root) {
    D3DXFRAME** slot = root;
    if (!meshes.empty() || frames.empty()) {
      HRESULT hr = NewFrame(nullptr, slot);
      if (FAILED(hr)) return hr;
      D3DXMESHCONTAINER** meshSlot = &(*slot)->pMeshContainer;
      for (const XObject* mesh : meshes) {
        if (FAILED(hr = BuildMesh(*mesh, meshSlot))) return hr;
        if (*meshSlot) meshSlot = &(*meshSlot)->pNextMeshContainer;
      }
      slot = &(*slot)->pFrameSibling;
    }
    for (const XObject* frame : frames) {
      HRESULT hr = BuildFrame(*frame, slot);
      if (FAILED(hr)) return hr;
      slot = &(*slot)->pFrameSibling;
    }
    return D3D_OK;
  }

  // The new frame is linked into the tree at once, so a later failure frees it with
  // the rest.
  HRESULT NewFrame(const char* name, D3DXFRAME** slot) {
    D3DXFRAME* frame = nullptr;
    HRESULT hr = allocator_->CreateFrame(name, &frame);
    if (FAILED(hr)) return hr;
    if (!frame) return E_FAIL;
    D3DXMatrixIdentity(&frame->TransformationMatrix);
    frame->pMeshContainer = nullptr;
    frame->pFrameSibling = nullptr;
    frame->pFrameFirstChild = nullptr;
    *slot = frame;
    return D3D_OK;
  }

  HRESULT BuildFrame(const XObject& object, D3DXFRAME** slot) {
    HRESULT hr = NewFrame(object.name.empty() ? nullptr : object.name.c_str(), slot);
    if (FAILED(hr)) return hr;
    D3DXFRAME* frame = *slot;
    D3DXMESHCONTAINER** meshSlot = &frame->pMeshContainer;
    D3DXFRAME** childSlot = &frame->pFrameFirstChild;
    for (const XChild& child : object.children) {
      // References to frames or meshes are not followed: each lives in one place.
      if (child.isReference || !child.object) continue;
      const XObject& c = *child.object;
      if (c.templateName == "FrameTransformMatrix") {
        // A second matrix in the same frame replaces the first.
        if (!ReadFrameTransformMatrix(c, &frame->TransformationMatrix))
          return D3DXERR_INVALIDDATA;
      } else if (c.templateName == "Mesh") {
        if (FAILED(hr = BuildMesh(c, meshSlot))) return hr;
        if (*meshSlot) meshSlot = &(*meshSlot)->pNextMeshContainer;
      } else if (c.templateName == "Frame") {
        if (FAILED(hr = BuildFrame(c, childSlot))) return hr;
        childSlot = &(*childSlot)->pFrameSibling;
      }
    }
    return D3D_OK;
  }

  // One Mesh becomes one container; a mesh without faces is left out.
  HRESULT BuildMesh(const XObject& object, D3DXMESHCONTAINER** slot) {
    XMeshData data;
    std::string error;
    if (!ReadMesh(object, &data, &error)) return D3DXERR_INVALIDDATA;
    if (data.faceSizes.empty()) return D3D_OK;
    MeshBuilder builder;
    builder.Append(data, nullptr);
    ID3DXBuffer* adjacency = nullptr;
    ID3DXBuffer* materials = nullptr;
    ID3DXBuffer* effects = nullptr;
    DWORD numMaterials = 0;
    ID3DXMesh* mesh = nullptr;
    HRESULT hr = builder.Build(options_, device_, &adjacency, &materials, &effects, &numMaterials,
                               &mesh);
    if (FAILED(hr)) return hr;
    ID3DXSkinInfo* skin = nullptr;
    if (!data.skinWeights.empty()) hr = BuildSkin(data, builder, mesh, &skin);
    if (SUCCEEDED(hr)) {
      // A mesh without a material list has no materials of its own to report.
      const DWORD count = data.hasMaterialList ? numMaterials : 0;
      const D3DXMESHDATA meshData{D3DXMESHTYPE_MESH, mesh};
      D3DXMESHCONTAINER* container = nullptr;
      hr = allocator_->CreateMeshContainer(
          object.name.empty() ? nullptr : object.name.c_str(), &meshData,
          count ? static_cast<const D3DXMATERIAL*>(materials->GetBufferPointer()) : nullptr,
          static_cast<const D3DXEFFECTINSTANCE*>(effects->GetBufferPointer()), count,
          static_cast<const DWORD*>(adjacency->GetBufferPointer()), skin, &container);
      if (SUCCEEDED(hr) && container) {
        container->pNextMeshContainer = nullptr;
        *slot = container;
      }
    }
    Release(skin);
    Release(mesh);
    Release(adjacency);
    Release(materials);
    Release(effects);
    return hr;
  }

  // Bones in SkinWeights order; a file vertex's weight goes to every copy the mesh
  // made of it for differing normals.
  HRESULT BuildSkin(const XMeshData& data, const MeshBuilder& builder, ID3DXMesh* mesh,
                    ID3DXSkinInfo** skin) {
    const DWORD bones = static_cast<DWORD>(data.skinWeights.size());
    HRESULT hr = D3DXCreateSkinInfoFVF(mesh->GetNumVertices(), mesh->GetFVF(), bones, skin);
    if (FAILED(hr)) return hr;
    const std::vector<DWORD>& reps = builder.PointReps();
    const std::size_t fileVertices = data.positions.size();
    std::vector<DWORD> copyStarts(fileVertices + 1, 0);
    for (DWORD rep : reps) ++copyStarts[rep + 1];
    for (std::size_t v = 0; v < fileVertices; ++v) copyStarts[v + 1] += copyStarts[v];
    std::vector<DWORD> copies(reps.size());
    std::vector<DWORD> fill(copyStarts.begin(), copyStarts.end() - 1);
    for (DWORD v = 0; v < reps.size(); ++v) copies[fill[reps[v]]++] = v;

    std::vector<DWORD> vertices;
    std::vector<float> weights;
    for (DWORD b = 0; b < bones; ++b) {
      const XSkinWeightsData& w = data.skinWeights[b];
      if (!Finite(w.weights)) return D3DXERR_INVALIDDATA;
      vertices.clear();
      weights.clear();
      for (std::size_t i = 0; i < w.vertexIndices.size(); ++i) {
        const DWORD fileVertex = w.vertexIndices[i];
        for (DWORD c = copyStarts[fileVertex]; c < copyStarts[fileVertex + 1]; ++c) {
          vertices.push_back(copies[c]);
          weights.push_back(w.weights[i]);
        }
      }
      if (FAILED(hr = (*skin)->SetBoneName(b, w.transformNodeName.c_str())) ||
          FAILED(hr = (*skin)->SetBoneOffsetMatrix(b, &w.matrixOffset)) ||
          FAILED(hr = (*skin)->SetBoneInfluence(b, static_cast<DWORD>(vertices.size()),
                                                vertices.data(), weights.data())))
        return hr;
    }
    return D3D_OK;
  }

  struct Channels {
    std::vector<D3DXKEY_VECTOR3> scales;
    std::vector<D3DXKEY_QUATERNION> rotations;
    std::vector<D3DXKEY_VECTOR3> translations;
  };

  // The keys of one Animation. Rotation keys hold (w, x, y, z) and mean the rotation of
  // the conjugate quaternion. A channel without keys holds the frame's rest value.
  static HRESULT ReadChannels(const XAnimationData& animation, const D3DXFRAME& frame,
                              Channels* out) {
    Channels fromMatrices;
    for (const XAnimationKeyData& k : animation.keys) {
      for (const auto& key : k.keys) {
        if (!Finite(key.values)) return D3DXERR_INVALIDDATA;
        const float time = static_cast<float>(key.time);
        const std::vector<float>& v = key.values;
        switch (k.keyType) {
          case 0:
            if (v.size() != 4) return D3DXERR_INVALIDDATA;
            out->rotations.push_back({time, {-v[1], -v[2], -v[3], v[0]}});
            break;
          case 1:
            if (v.size() != 3) return D3DXERR_INVALIDDATA;
            out->scales.push_back({time, {v[0], v[1], v[2]}});
            break;
          case 2:
            if (v.size() != 3) return D3DXERR_INVALIDDATA;
            out->translations.push_back({time, {v[0], v[1], v[2]}});
            break;
          case 3:
          case 4: {
            if (v.size() != 16) return D3DXERR_INVALIDDATA;
            D3DXMATRIX m;
            std::memcpy(&m.m[0][0], v.data(), sizeof(float) * 16);
            const SRT srt = Decompose(m);
            fromMatrices.scales.push_back({time, srt.scale});
            fromMatrices.rotations.push_back({time, srt.rotation});
            fromMatrices.translations.push_back({time, srt.translation});
            break;
          }
          default:
            break;  // unknown key kinds carry nothing this reader can use
        }
      }
    }
    const SRT rest = Decompose(frame.TransformationMatrix);
    auto complete = [](auto* keys, auto* matrixKeys, auto restValue) {
      if (keys->empty()) *keys = std::move(*matrixKeys);
      if (keys->empty()) keys->push_back({0.0f, restValue});
      SortByTime(keys);
    };
    complete(&out->scales, &fromMatrices.scales, rest.scale);
    complete(&out->rotations, &fromMatrices.rotations, rest.rotation);
    complete(&out->translations, &fromMatrices.translations, rest.translation);
    return D3D_OK;
  }

  HRESULT BuildController(const std::vector<const XObject*>& setObjects, DWORD ticks,
                          D3DXFRAME* root, ID3DXAnimationController** controllerOut) {
    if (setObjects.empty()) return D3D_OK;
    std::vector<ID3DXKeyframedAnimationSet*> sets;
    std::vector<D3DXFRAME*> outputs;
    auto releaseSets = [&sets] {
      for (auto* s : sets) s->Release();
    };
    for (const XObject* object : setObjects) {
      XAnimationSetData data;
      std::string error;
      if (!ReadAnimationSet(*object, &data, &error)) {
        releaseSets();
        return D3DXERR_INVALIDDATA;
      }
      // Animations of frames the file lacks are dropped, as is a second animation of the
      // same frame in one set.
      std::vector<std::pair<const XAnimationData*, D3DXFRAME*>> used;
      bool allOpen = !data.animations.empty();
      for (const XAnimationData& a : data.animations) {
        if (a.frameName.empty()) continue;
        D3DXFRAME* frame = D3DXFrameFind(root, a.frameName.c_str());
        if (!frame) continue;
        bool duplicate = false;
        for (const auto& u : used) duplicate |= u.second == frame;
        if (duplicate) continue;
        used.emplace_back(&a, frame);
        allOpen &= a.hasOptions && a.openClosed == 1;
      }
      // An open animation does not run back into its start: a set whose animations
      // are all open plays once.
      ID3DXKeyframedAnimationSet* set = nullptr;
      HRESULT hr = D3DXCreateKeyframedAnimationSet(
          data.name.c_str(), ticks, allOpen && !used.empty() ? D3DXPLAY_ONCE : D3DXPLAY_LOOP,
          static_cast<UINT>(used.size()), 0, nullptr, &set);
      if (FAILED(hr)) {
        releaseSets();
        return hr;
      }
      sets.push_back(set);
      for (const auto& [animation, frame] : used) {
        Channels channels;
        if (FAILED(hr = ReadChannels(*animation, *frame, &channels)) ||
            FAILED(hr = set->RegisterAnimationSRTKeys(
                       frame->Name ? frame->Name : "",
                       static_cast<UINT>(channels.scales.size()),
                       static_cast<UINT>(channels.rotations.size()),
                       static_cast<UINT>(channels.translations.size()), channels.scales.data(),
                       channels.rotations.data(), channels.translations.data(), nullptr))) {
          releaseSets();
          return hr;
        }
        if (std::find(outputs.begin(), outputs.end(), frame) == outputs.end())
          outputs.push_back(frame);
      }
    }
    ID3DXAnimationController* controller = nullptr;
    HRESULT hr = D3DXCreateAnimationController(static_cast<UINT>(outputs.size()),
                                               static_cast<UINT>(sets.size()), kControllerTracks,
                                               kControllerEvents, &controller);
    if (SUCCEEDED(hr)) {
      for (D3DXFRAME* frame : outputs)
        controller->RegisterAnimationOutput(frame->Name ? frame->Name : "",
                                            &frame->TransformationMatrix, nullptr, nullptr,
                                            nullptr);
      for (auto* set : sets) controller->RegisterAnimationSet(set);
      controller->SetTrackAnimationSet(0, sets.front());
      controller->SetTrackEnable(0, TRUE);
      *controllerOut = controller;
    }
    releaseSets();
    return hr;
  }

  DWORD options_;
  IDirect3DDevice9* device_;
  ID3DXAllocateHierarchy* allocator_;
};

const D3DXFRAME* Find(const D3DXFRAME* frame, const char* name) {
  for (; frame; frame = frame->pFrameSibling) {
    if (frame->Name && std::strcmp(frame->Name, name) == 0) return frame;
    if (const D3DXFRAME* found = Find(frame->pFrameFirstChild, name)) return found;
  }
  return nullptr;
}

// Calls visit(mesh, combined matrix) for every mesh container in the tree.
template <typename Visit>
void ForEachMesh(const D3DXFRAME* frame, const D3DXMATRIX& parent, Visit&& visit) {
  for (; frame; frame = frame->pFrameSibling) {
    const D3DXMATRIX combined = frame->TransformationMatrix * parent;
    for (const D3DXMESHCONTAINER* c = frame->pMeshContainer; c; c = c->pNextMeshContainer)
      if (c->MeshData.pMesh) visit(c->MeshData.pMesh, combined);
    ForEachMesh(frame->pFrameFirstChild, combined, visit);
  }
}

// Calls visit(position) for every vertex of the mesh placed by the matrix.
template <typename Visit>
void ForEachPosition(ID3DXMesh* mesh, const D3DXMATRIX& m, Visit&& visit) {
  void* data = nullptr;
  if (FAILED(mesh->LockVertexBuffer(D3DLOCK_READONLY, &data))) return;
  const auto* bytes = static_cast<const BYTE*>(data);
  const DWORD stride = mesh->GetNumBytesPerVertex();
  for (DWORD v = 0; v < mesh->GetNumVertices(); ++v) {
    D3DXVECTOR3 p;
    std::memcpy(&p.x, bytes + std::size_t{v} * stride, 12);
    D3DXVec3TransformCoord(&p, &p, &m);
    visit(p);
  }
  mesh->UnlockVertexBuffer();
}

}  // namespace
}  // namespace platform::d3dx9

HRESULT D3DXLoadMeshHierarchyFromXInMemory(LPCVOID memory, DWORD sizeOfMemory, DWORD meshOptions,
                                           IDirect3DDevice9* device,
                                           ID3DXAllocateHierarchy* allocator, ID3DXLoadUserData*,
                                           D3DXFRAME** frameHierarchy,
                                           ID3DXAnimationController** animController) {
  using namespace platform::d3dx9;
  if (frameHierarchy) *frameHierarchy = nullptr;
  if (animController) *animController = nullptr;
  if (!memory || !device || !allocator || !frameHierarchy) return D3DERR_INVALIDCALL;
  XFile file;
  if (!file.Parse(memory, sizeOfMemory)) return D3DXERR_INVALIDDATA;
  return HierarchyLoader(meshOptions, device, allocator)
      .Load(file, frameHierarchy, animController);
}

HRESULT D3DXLoadMeshHierarchyFromX(LPCSTR filename, DWORD meshOptions, IDirect3DDevice9* device,
                                   ID3DXAllocateHierarchy* allocator,
                                   ID3DXLoadUserData* userDataLoader, D3DXFRAME** frameHierarchy,
                                   ID3DXAnimationController** animController) {
  using namespace platform::d3dx9;
  if (frameHierarchy) *frameHierarchy = nullptr;
  if (animController) *animController = nullptr;
  if (!filename || !device || !allocator || !frameHierarchy) return D3DERR_INVALIDCALL;
  std::string data;
  if (!platform::ReadWholeFile(filename, &data, kMaxFileBytes)) return D3DXERR_INVALIDDATA;
  return D3DXLoadMeshHierarchyFromXInMemory(data.data(), static_cast<DWORD>(data.size()),
                                            meshOptions, device, allocator, userDataLoader,
                                            frameHierarchy, animController);
}

HRESULT D3DXFrameDestroy(D3DXFRAME* frame, ID3DXAllocateHierarchy* allocator) {
  if (!allocator) return D3DERR_INVALIDCALL;
  while (frame) {
    D3DXMESHCONTAINER* container = frame->pMeshContainer;
    while (container) {
      D3DXMESHCONTAINER* next = container->pNextMeshContainer;
      allocator->DestroyMeshContainer(container);
      container = next;
    }
    D3DXFrameDestroy(frame->pFrameFirstChild, allocator);
    D3DXFRAME* sibling = frame->pFrameSibling;
    allocator->DestroyFrame(frame);
    frame = sibling;
  }
  return D3D_OK;
}

D3DXFRAME* D3DXFrameFind(const D3DXFRAME* frameRoot, LPCSTR name) {
  if (!name) return nullptr;
  return const_cast<D3DXFRAME*>(platform::d3dx9::Find(frameRoot, name));
}

HRESULT D3DXFrameCalculateBoundingSphere(const D3DXFRAME* frameRoot, D3DXVECTOR3* centre,
                                         FLOAT* radius) {
  using namespace platform::d3dx9;
  if (!centre || !radius) return D3DERR_INVALIDCALL;
  *centre = D3DXVECTOR3();
  *radius = 0.0f;
  D3DXMATRIX identity;
  D3DXMatrixIdentity(&identity);
  // The mean of every vertex in its rest place, then the farthest vertex from it.
  double sum[3] = {0, 0, 0};
  std::size_t count = 0;
  ForEachMesh(frameRoot, identity, [&](ID3DXMesh* mesh, const D3DXMATRIX& m) {
    ForEachPosition(mesh, m, [&](const D3DXVECTOR3& p) {
      sum[0] += p.x;
      sum[1] += p.y;
      sum[2] += p.z;
      ++count;
    });
  });
  if (count == 0) return D3D_OK;
  const D3DXVECTOR3 mean(static_cast<float>(sum[0] / count), static_cast<float>(sum[1] / count),
                         static_cast<float>(sum[2] / count));
  float farthest = 0.0f;
  ForEachMesh(frameRoot, identity, [&](ID3DXMesh* mesh, const D3DXMATRIX& m) {
    ForEachPosition(mesh, m, [&](const D3DXVECTOR3& p) {
      const D3DXVECTOR3 d = p - mean;
      farthest = std::max(farthest, D3DXVec3LengthSq(&d));
    });
  });
  *centre = mean;
  *radius = std::sqrt(farthest);
  return D3D_OK;
}

// Frame hierarchies, skinning and keyframed animation: D3DXLoadMeshHierarchyFromX with
// its allocation callbacks, the frame helpers, ID3DXSkinInfo (skinning on the processor)
// and the animation sets and controller that write the frames' matrices over time.
#pragma once

#include "platform/d3d9/D3D9.h"
#include "platform/d3dx9/D3DX9Math.h"
#include "platform/d3dx9/D3DX9Mesh.h"

using DOUBLE = double;

class ID3DXSkinInfo;

// A node of a frame hierarchy: its matrix relative to its parent, its meshes and its
// links. The allocator given to the loader owns the memory of both frames and names.
struct D3DXFRAME {
  LPSTR Name;
  D3DXMATRIX TransformationMatrix;
  struct D3DXMESHCONTAINER* pMeshContainer;
  D3DXFRAME* pFrameSibling;
  D3DXFRAME* pFrameFirstChild;
};

enum D3DXMESHDATATYPE : DWORD {
  D3DXMESHTYPE_MESH = 1,
  D3DXMESHTYPE_PMESH = 2,
  D3DXMESHTYPE_PATCHMESH = 3,
};

// The loader only ever hands out plain meshes.
struct D3DXMESHDATA {
  D3DXMESHDATATYPE Type;
  ID3DXMesh* pMesh;
};

struct D3DXMESHCONTAINER {
  LPSTR Name;
  D3DXMESHDATA MeshData;
  D3DXMATERIAL* pMaterials;
  D3DXEFFECTINSTANCE* pEffects;
  DWORD NumMaterials;
  DWORD* pAdjacency;
  ID3DXSkinInfo* pSkinInfo;
  D3DXMESHCONTAINER* pNextMeshContainer;
};

// The loader's callbacks: the caller decides how frames and mesh containers are made
// (usually larger structures that start with the D3DX ones) and freed. A failed
// CreateFrame or CreateMeshContainer makes the whole load fail.
class ID3DXAllocateHierarchy {
 public:
  virtual HRESULT CreateFrame(LPCSTR name, D3DXFRAME** newFrame) = 0;
  // The mesh, materials, adjacency and skin info are the loader's: the callee adds a
  // reference to what it keeps and copies the arrays it keeps.
  virtual HRESULT CreateMeshContainer(LPCSTR name, const D3DXMESHDATA* meshData,
                                      const D3DXMATERIAL* materials,
                                      const D3DXEFFECTINSTANCE* effectInstances,
                                      DWORD numMaterials, const DWORD* adjacency,
                                      ID3DXSkinInfo* skinInfo,
                                      D3DXMESHCONTAINER** newMeshContainer) = 0;
  virtual HRESULT DestroyFrame(D3DXFRAME* frameToFree) = 0;
  virtual HRESULT DestroyMeshContainer(D3DXMESHCONTAINER* meshContainerToFree) = 0;

 protected:
  ~ID3DXAllocateHierarchy() = default;
};

// Loading of custom top-level data is not supported: pass null.
class ID3DXLoadUserData;

// --- Skinning ---------------------------------------------------------------------------

// Which bones move which vertices, by how much, and each bone's offset matrix (mesh
// space into the bone's space).
class ID3DXSkinInfo : public IUnknown {
 public:
  virtual DWORD GetNumBones() = 0;
  // Null for a bone index out of range or a bone not named yet.
  virtual LPCSTR GetBoneName(DWORD bone) = 0;
  virtual HRESULT SetBoneName(DWORD bone, LPCSTR name) = 0;
  // Null for a bone index out of range.
  virtual D3DXMATRIX* GetBoneOffsetMatrix(DWORD bone) = 0;
  virtual HRESULT SetBoneOffsetMatrix(DWORD bone, const D3DXMATRIX* offset) = 0;
  virtual DWORD GetNumBoneInfluences(DWORD bone) = 0;
  // vertices and weights receive GetNumBoneInfluences(bone) entries each.
  virtual HRESULT GetBoneInfluence(DWORD bone, DWORD* vertices, FLOAT* weights) = 0;
  // Replaces the bone's influences; a vertex index beyond the mesh is refused.
  virtual HRESULT SetBoneInfluence(DWORD bone, DWORD numInfluences, const DWORD* vertices,
                                   const FLOAT* weights) = 0;
  virtual HRESULT GetMaxVertexInfluences(DWORD* maxVertexInfluences) = 0;
  virtual DWORD GetNumVertices() = 0;
  virtual DWORD GetFVF() = 0;
  // dst = src with each position and normal replaced by the weighted sum of the bones'
  // transforms of it: positions by boneTransforms[i], normals by
  // boneInvTransposeTransforms[i] when given, otherwise by boneTransforms[i] without its
  // translation; normals are renormalised. Vertices no bone moves keep their source
  // position and normal. src and dst hold GetNumVertices() vertices of GetFVF().
  virtual HRESULT UpdateSkinnedMesh(const D3DXMATRIX* boneTransforms,
                                    const D3DXMATRIX* boneInvTransposeTransforms,
                                    LPCVOID verticesSrc, LPVOID verticesDst) = 0;
};

// A skin of numBones unnamed bones without influences, identity offsets.
HRESULT D3DXCreateSkinInfoFVF(DWORD numVertices, DWORD fvf, DWORD numBones,
                              ID3DXSkinInfo** skinInfo);

// --- Animation ---------------------------------------------------------------------------

enum D3DXPLAYBACK_TYPE : DWORD {
  D3DXPLAY_LOOP = 0,
  D3DXPLAY_ONCE = 1,
  D3DXPLAY_PINGPONG = 2,
};

enum D3DXPRIORITY_TYPE : DWORD {
  D3DXPRIORITY_LOW = 0,
  D3DXPRIORITY_HIGH = 1,
};

struct D3DXTRACK_DESC {
  D3DXPRIORITY_TYPE Priority;
  FLOAT Weight;
  FLOAT Speed;
  DOUBLE Position;  // seconds of track-local time
  BOOL Enable;
};

// Key times are in the set's source ticks.
struct D3DXKEY_VECTOR3 {
  FLOAT Time;
  D3DXVECTOR3 Value;
};

struct D3DXKEY_QUATERNION {
  FLOAT Time;
  D3DXQUATERNION Value;
};

// A named set of animations, one per animated frame (by the frame's name).
class ID3DXAnimationSet : public IUnknown {
 public:
  virtual LPCSTR GetName() = 0;
  // Seconds: the last key's time over the ticks per second.
  virtual DOUBLE GetPeriod() = 0;
  // A track position (seconds) folded into the period by the playback type: wrapped
  // for a looping set, clamped to [0, period] for a play-once set.
  virtual DOUBLE GetPeriodicPosition(DOUBLE position) = 0;
  virtual UINT GetNumAnimations() = 0;
  virtual HRESULT GetAnimationNameByIndex(UINT index, LPCSTR* name) = 0;
  virtual HRESULT GetAnimationIndexByName(LPCSTR name, UINT* index) = 0;
  // The animation's scale, rotation and translation at a periodic position (seconds):
  // linear between vector keys, spherical the short way between rotation keys, the
  // first or last key's value outside them; identity parts for a channel with no keys.
  virtual HRESULT GetSRT(DOUBLE periodicPosition, UINT animation, D3DXVECTOR3* scale,
                         D3DXQUATERNION* rotation, D3DXVECTOR3* translation) = 0;
};

class ID3DXKeyframedAnimationSet : public ID3DXAnimationSet {
 public:
  virtual D3DXPLAYBACK_TYPE GetPlaybackType() = 0;
  virtual DOUBLE GetSourceTicksPerSecond() = 0;
  virtual UINT GetNumScaleKeys(UINT animation) = 0;
  virtual HRESULT GetScaleKeys(UINT animation, D3DXKEY_VECTOR3* keys) = 0;
  virtual UINT GetNumRotationKeys(UINT animation) = 0;
  virtual HRESULT GetRotationKeys(UINT animation, D3DXKEY_QUATERNION* keys) = 0;
  virtual UINT GetNumTranslationKeys(UINT animation) = 0;
  virtual HRESULT GetTranslationKeys(UINT animation, D3DXKEY_VECTOR3* keys) = 0;
  // Adds the animation of the frame called name; keys must be in ascending time.
  // Rotation keys are taken as the rotations themselves (D3DXQUATERNION order x, y, z,
  // w). Fails when the set is full or the name is already used.
  virtual HRESULT RegisterAnimationSRTKeys(LPCSTR name, UINT numScaleKeys, UINT numRotationKeys,
                                           UINT numTranslationKeys,
                                           const D3DXKEY_VECTOR3* scaleKeys,
                                           const D3DXKEY_QUATERNION* rotationKeys,
                                           const D3DXKEY_VECTOR3* translationKeys,
                                           DWORD* animationIndex) = 0;
};

// Callback keys are not supported: numCallbackKeys must be 0.
HRESULT D3DXCreateKeyframedAnimationSet(LPCSTR name, DOUBLE ticksPerSecond,
                                        D3DXPLAYBACK_TYPE playback, UINT numAnimations,
                                        UINT numCallbackKeys, const void* callbackKeys,
                                        ID3DXKeyframedAnimationSet** animationSet);

// Callbacks from animation keys are never raised; the handler is accepted and ignored.
class ID3DXAnimationCallbackHandler;

// Plays animation sets on tracks and writes the blended result into the registered
// outputs (frame matrices). Each enabled track's position advances by the time step ×
// its speed; an output named by some enabled track's set gets the weighted mix of those
// tracks; outputs no enabled track animates keep what they hold.
class ID3DXAnimationController : public IUnknown {
 public:
  virtual UINT GetMaxNumAnimationOutputs() = 0;
  virtual UINT GetMaxNumAnimationSets() = 0;
  virtual UINT GetMaxNumTracks() = 0;
  virtual UINT GetMaxNumEvents() = 0;
  // The output is written as Scaling × RotationQuaternion × Translation into the
  // matrix, or into the separate parts given.
  virtual HRESULT RegisterAnimationOutput(LPCSTR name, D3DXMATRIX* matrix, D3DXVECTOR3* scale,
                                          D3DXQUATERNION* rotation,
                                          D3DXVECTOR3* translation) = 0;
  virtual HRESULT RegisterAnimationSet(ID3DXAnimationSet* animationSet) = 0;
  virtual HRESULT UnregisterAnimationSet(ID3DXAnimationSet* animationSet) = 0;
  virtual UINT GetNumAnimationSets() = 0;
  // The set with a reference added.
  virtual HRESULT GetAnimationSet(UINT index, ID3DXAnimationSet** animationSet) = 0;
  // Exact, case-sensitive name; the set with a reference added, or null and a failure.
  virtual HRESULT GetAnimationSetByName(LPCSTR name, ID3DXAnimationSet** animationSet) = 0;
  // timeDelta in seconds, not negative.
  virtual HRESULT AdvanceTime(DOUBLE timeDelta, ID3DXAnimationCallbackHandler* handler) = 0;
  virtual HRESULT ResetTime() = 0;
  virtual DOUBLE GetTime() = 0;
  virtual HRESULT SetTrackAnimationSet(UINT track, ID3DXAnimationSet* animationSet) = 0;
  virtual HRESULT GetTrackAnimationSet(UINT track, ID3DXAnimationSet** animationSet) = 0;
  virtual HRESULT SetTrackPriority(UINT track, D3DXPRIORITY_TYPE priority) = 0;
  virtual HRESULT SetTrackSpeed(UINT track, FLOAT speed) = 0;
  virtual HRESULT SetTrackWeight(UINT track, FLOAT weight) = 0;
  virtual HRESULT SetTrackPosition(UINT track, DOUBLE position) = 0;
  virtual HRESULT SetTrackEnable(UINT track, BOOL enable) = 0;
  virtual HRESULT SetTrackDesc(UINT track, const D3DXTRACK_DESC* desc) = 0;
  virtual HRESULT GetTrackDesc(UINT track, D3DXTRACK_DESC* desc) = 0;
  // A controller with the same outputs and sets (shared, with references added), the
  // same global time and copies of the tracks that fit; each clone then plays on its own.
  virtual HRESULT CloneAnimationController(UINT maxNumAnimationOutputs,
                                           UINT maxNumAnimationSets, UINT maxNumTracks,
                                           UINT maxNumEvents,
                                           ID3DXAnimationController** clone) = 0;
};

// New tracks are disabled, weight 1, speed 1, position 0, no set.
HRESULT D3DXCreateAnimationController(UINT maxNumAnimationOutputs, UINT maxNumAnimationSets,
                                      UINT maxNumTracks, UINT maxNumEvents,
                                      ID3DXAnimationController** controller);

// --- Hierarchy loading and frame helpers -------------------------------------------------

// Reads a .X file (text or binary) into a frame hierarchy: one frame per Frame (its
// FrameTransformMatrix as TransformationMatrix), one mesh container per Mesh in a frame
// (chained in file order), skin info from XSkinMeshHeader/SkinWeights, and the file's
// animation sets in a controller (null when the file has none). Meshes outside any
// frame, or a file with no frame, hang under an unnamed root frame. Every failure frees
// what was built through the allocator and leaves both outputs null:
// D3DXERR_INVALIDDATA for a file that cannot be read or parsed, or the allocator's
// failure.
HRESULT D3DXLoadMeshHierarchyFromX(LPCSTR filename, DWORD meshOptions, IDirect3DDevice9* device,
                                   ID3DXAllocateHierarchy* allocator,
                                   ID3DXLoadUserData* userDataLoader,
                                   D3DXFRAME** frameHierarchy,
                                   ID3DXAnimationController** animController);
HRESULT D3DXLoadMeshHierarchyFromXInMemory(LPCVOID memory, DWORD sizeOfMemory, DWORD meshOptions,
                                           IDirect3DDevice9* device,
                                           ID3DXAllocateHierarchy* allocator,
                                           ID3DXLoadUserData* userDataLoader,
                                           D3DXFRAME** frameHierarchy,
                                           ID3DXAnimationController** animController);

// Frees the frames and mesh containers of the tree through the allocator.
HRESULT D3DXFrameDestroy(D3DXFRAME* frameRoot, ID3DXAllocateHierarchy* allocator);
// The first frame, depth first, whose name equals name exactly; null when none does.
D3DXFRAME* D3DXFrameFind(const D3DXFRAME* frameRoot, LPCSTR name);
// The sphere around every mesh of the tree in its rest pose (frame matrices combined
// from the root): centred on the mean of all their vertices and reaching the farthest
// one. A tree without meshes gives centre 0 and radius 0.
HRESULT D3DXFrameCalculateBoundingSphere(const D3DXFRAME* frameRoot, D3DXVECTOR3* objectCenter,
                                         FLOAT* objectRadius);

// Collects what the update walk found visible and, when flushed, draws it in a fixed
// order: opaque animated meshes; opaque model subsets grouped by render-state set,
// material and texture set so each is applied once per group; see-through animated
// meshes (back faces, then front faces); then see-through or listened-to subsets far
// to near. One engine-wide instance.
//
// The groups are kept from frame to frame with their lists emptied, so a steady scene
// fills the queue without allocating; a group left empty is skipped when flushing.
//
// Opaque items of still models (scenery) are drawn first, into a layer the device keeps;
// while they, the camera, the lights and the background stay exactly as they were, later
// frames start from that layer (its colour and depth) instead of drawing them again.
#pragma once

#include <cstdint>
#include <string>
#include <unordered_map>
#include <utility>
#include <vector>

#include "platform/d3d9/D3D9.h"
#include "platform/d3dx9/D3DX9Math.h"

class AnimatedDrawable;
class DrawItem;
class Material;
class ModelNode;
class RenderStateSet;
class SceneNode;
class TextureSet;

class RenderQueue {
 public:
  // Queues the node's items: see-through or listened-to items into the sorted list by
  // the node's squared distance to the current camera, the others into their group; a
  // still node's items into the still lists (see stillItems, stillSeeThrough). False for
  // null.
  bool SubmitModel(ModelNode* node);
  // Queues an animated node for the see-through passes when its mesh has an alpha
  // texture or the node has a listener, otherwise for the opaque pass. False for null.
  bool SubmitAnimated(AnimatedDrawable* node);
  // Clears the target and depth buffer, draws everything queued and empties the queue.
  // Always true.
  bool Flush();
  // Empties the queue without drawing, for a frame whose walk ran but whose scene could
  // not begin: the queued nodes may be destroyed before the next frame.
  void Discard();
  // Frees the device's kept layer, a whole back buffer's colour and depth, when the
  // scenery it holds is gone for a while (the match is left); the next frame with
  // scenery draws it in full and keeps it again.
  void DropLayer();

  struct TextureBatch {
    const TextureSet* textures = nullptr;  // the set of the group's first item this frame
    std::vector<DrawItem*> items;
  };
  struct MaterialBatch {
    Material* material = nullptr;
    std::size_t itemCount = 0;  // items queued this frame in the whole group
    std::unordered_map<std::string, TextureBatch> textureBatches;  // by texture-set key
  };
  struct StateBatch {
    RenderStateSet* renderStates = nullptr;
    std::size_t itemCount = 0;
    std::unordered_map<std::string, MaterialBatch> materialBatches;  // by material name
  };

  // By render-state set name.
  std::unordered_map<std::string, StateBatch> opaqueBatches;
  // Ascending key, minus the squared camera distance (farthest first); equal keys keep
  // their submission order.
  std::vector<std::pair<float, DrawItem*>> sortedItems;
  std::vector<AnimatedDrawable*> opaqueAnimated;
  std::vector<AnimatedDrawable*> blendedAnimated;

  // The still models' opaque items this frame.
  std::vector<DrawItem*> stillItems;
  // The still models' see-through items this frame, farthest first as in sortedItems.
  // They go into the kept layer only when nothing drawn after it can be behind them;
  // otherwise they join sortedItems at the flush.
  std::vector<std::pair<float, DrawItem*>> stillSeeThrough;

  // Whether still items may go into the kept layer (off: every frame is drawn in full).
  bool useLayer = true;
  // Frames started from the layer, and times it was filled.
  std::uint64_t layerFrames = 0;
  std::uint64_t layerSaves = 0;

  // Everything the look of one still item depends on.
  struct StillRecord {
    const DrawItem* item = nullptr;
    const void* subset = nullptr;
    const Material* material = nullptr;
    D3DMATERIAL9 materialValues{};
    const RenderStateSet* states = nullptr;
    std::uint64_t statesHash = 0;
    const void* textures[2] = {nullptr, nullptr};
    D3DXMATRIX world;
  };
  // And what the whole frame's look depends on.
  struct FrameRecord {
    D3DMATRIX view{}, projection{};
    D3DVIEWPORT9 viewport{};
    float clearColour[4] = {0, 0, 0, 0};
    D3DLIGHT9 lights[8]{};
    BOOL lightOn[8]{};
  };

 private:
  void AddOpaque(DrawItem* item);
  void FlushOpaqueBatches();
  void FlushSortedItems();
  void FlushBlendedAnimated();
  // Draws the still items (grouped by their states) after a clear.
  void DrawStillItems();
  // Fills `records` and `frame` with this frame's still items and frame state.
  void RecordStill();
  // Whether this frame's still see-through items may be kept: each has a box, and
  // everything that moves lies wholly nearer the camera than the nearest of them.
  bool SeeThroughKeepable() const;
  // A moving node's bounding sphere, in world space, for SeeThroughKeepable.
  void NoteMoving(const SceneNode& node);

  std::vector<StillRecord> records_, previousRecords_, keptRecords_;
  FrameRecord frame_{}, previousFrame_{}, keptFrame_{};
  bool layerKept_ = false;
  // Frames started from the current layer; a layer that served this many before the
  // scenery changed marks scenery that changes seldom.
  static constexpr std::uint64_t kSettledFrames = 30;
  std::uint64_t framesFromLayer_ = 0;
  std::vector<const DrawItem*> stillOrder_;
  // This frame's moving nodes: world centre and radius; a node without a sphere makes
  // every see-through item stay out of the layer.
  std::vector<std::pair<D3DXVECTOR3, float>> movingSpheres_;
  bool movingUnbounded_ = false;
};

extern RenderQueue* g_renderQueue;

// Collects what the update walk found visible and, when flushed, draws it in a fixed
// order: opaque animated meshes; opaque model subsets grouped by render-state set,
// material and texture set so each is applied once per group; see-through animated
// meshes (back faces, then front faces); then see-through or listened-to subsets far
// to near. One engine-wide instance.
//
// The groups are kept from frame to frame with their lists emptied, so a steady scene
// fills the queue without allocating; a group left empty is skipped when flushing.
#pragma once

#include <string>
#include <unordered_map>
#include <utility>
#include <vector>

class AnimatedDrawable;
class DrawItem;
class Material;
class ModelNode;
class RenderStateSet;
class TextureSet;

class RenderQueue {
 public:
  // Queues the node's items: see-through or listened-to items into the sorted list by
  // the node's squared distance to the current camera, the others into their group.
  // False for null.
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

 private:
  void AddOpaque(DrawItem* item);
  void FlushOpaqueBatches();
  void FlushSortedItems();
  void FlushBlendedAnimated();
};

extern RenderQueue* g_renderQueue;

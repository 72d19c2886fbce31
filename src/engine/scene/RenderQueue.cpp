#include "engine/scene/RenderQueue.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <limits>

#include "app/GraphicsDevice.h"
#include "engine/materials/Material.h"
#include "engine/materials/Model.h"
#include "engine/materials/RenderStateSet.h"
#include "engine/materials/TextureSet.h"
#include "engine/scene/AnimatedDrawable.h"
#include "engine/scene/Camera.h"
#include "engine/scene/DrawListener.h"
#include "engine/scene/ModelNode.h"
#include "engine/scene/Scene.h"
#include "platform/d3d9/Layer.h"

RenderQueue* g_renderQueue = nullptr;

namespace {

IDirect3DDevice9* Device() {
  return g_graphicsDevice ? g_graphicsDevice->GetDevice() : nullptr;
}

// The draw of one item with its listener around it; states, material and textures are
// already applied.
void DrawWithWorld(const DrawItem* item) {
  if (item->drawListener) item->drawListener->BeforeDraw();
  if (IDirect3DDevice9* device = Device()) device->SetTransform(D3DTS_WORLD, item->worldMatrix);
  item->Draw();
  if (item->drawListener) item->drawListener->AfterDraw();
}

// Draws items one after another, applying an item's material and textures only when they
// differ from the previous item's, and its render states likewise unless every item must
// send its own.
class ItemSequence {
 public:
  explicit ItemSequence(bool statesEveryItem) : statesEveryItem_(statesEveryItem) {}
  void Draw(const DrawItem* item) {
    if (statesEveryItem_ || item->renderStates != lastStates_) {
      item->renderStates->Apply(false);
      lastStates_ = item->renderStates;
    }
    if (item->material != lastMaterial_) {
      item->material->Apply();
      lastMaterial_ = item->material;
    }
    // Compared both ways: a set with fewer stages (an empty one above all, which clears
    // stage 0) is not the same as the one applied before it.
    if (!lastTextures_ || !item->textures->Equals(lastTextures_) ||
        !lastTextures_->Equals(item->textures)) {
      item->textures->Apply();
      lastTextures_ = item->textures;
    }
    DrawWithWorld(item);
  }

 private:
  bool statesEveryItem_;
  const RenderStateSet* lastStates_ = nullptr;
  const Material* lastMaterial_ = nullptr;
  const TextureSet* lastTextures_ = nullptr;
};

void DrawAnimated(AnimatedDrawable* node) {
  if (node->drawListener) node->drawListener->BeforeDraw();
  node->DrawMesh();
  if (node->drawListener) node->drawListener->AfterDraw();
}

bool SameBits(const void* a, const void* b, std::size_t size) {
  return std::memcmp(a, b, size) == 0;
}

bool SameRecord(const RenderQueue::StillRecord& a, const RenderQueue::StillRecord& b) {
  return a.item == b.item && a.subset == b.subset && a.material == b.material &&
         a.states == b.states && a.statesHash == b.statesHash &&
         a.textures[0] == b.textures[0] && a.textures[1] == b.textures[1] &&
         SameBits(&a.materialValues, &b.materialValues, sizeof(a.materialValues)) &&
         SameBits(&a.world, &b.world, sizeof(a.world));
}

bool SameRecords(const std::vector<RenderQueue::StillRecord>& a,
                 const std::vector<RenderQueue::StillRecord>& b) {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i) {
    if (!SameRecord(a[i], b[i])) return false;
  }
  return true;
}

bool SameFrame(const RenderQueue::FrameRecord& a, const RenderQueue::FrameRecord& b) {
  return SameBits(&a.view, &b.view, sizeof(a.view)) &&
         SameBits(&a.projection, &b.projection, sizeof(a.projection)) &&
         SameBits(&a.viewport, &b.viewport, sizeof(a.viewport)) &&
         SameBits(a.clearColour, b.clearColour, sizeof(a.clearColour)) &&
         SameBits(a.lights, b.lights, sizeof(a.lights)) &&
         SameBits(a.lightOn, b.lightOn, sizeof(a.lightOn));
}

// Into a list of ascending keys, after those equal to it (submission order kept).
void InsertByKey(std::vector<std::pair<float, DrawItem*>>* list,
                 const std::pair<float, DrawItem*>& entry) {
  const auto at = std::upper_bound(
      list->begin(), list->end(), entry.first,
      [](float k, const std::pair<float, DrawItem*>& e) { return k < e.first; });
  list->insert(at, entry);
}

std::uint64_t HashStates(const RenderStateSet& set) {
  std::uint64_t h = 1469598103934665603ull;
  for (const RenderStateSet::Entry& e : set.entries) {
    h = (h ^ (e.specified ? e.value : 0xA5A5A5A5u)) * 1099511628211ull;
    h = (h ^ (e.specified ? 1u : 0u)) * 1099511628211ull;
  }
  return h;
}

}  // namespace

bool RenderQueue::SubmitModel(ModelNode* node) {
  if (!node) return false;
  float distanceSq = 0.0f;
  if (g_scene && g_scene->camera) {
    const D3DXVECTOR3 d = g_scene->camera->WorldPosition() - node->WorldPosition();
    distanceSq = D3DXVec3LengthSq(&d);
  }
  const float key = -distanceSq;
  bool moving = false;
  for (DrawItem& item : node->items) {
    if (!item.material || !item.renderStates || !item.textures) continue;
    if (node->still && item.opaque && !item.drawListener) {
      stillItems.push_back(&item);
      continue;
    }
    if (node->still && !item.drawListener) {
      InsertByKey(&stillSeeThrough, {key, &item});
      continue;
    }
    moving = true;
    if (!item.opaque || item.drawListener) {
      InsertByKey(&sortedItems, {key, &item});
    } else {
      AddOpaque(&item);
    }
  }
  if (moving) NoteMoving(*node);
  return true;
}

void RenderQueue::NoteMoving(const SceneNode& node) {
  const D3DXMATRIX& m = node.worldMatrix;
  float scale = 0.0f;
  for (int row = 0; row < 3; ++row)
    scale = std::max(scale, std::sqrt(m.m[row][0] * m.m[row][0] + m.m[row][1] * m.m[row][1] +
                                      m.m[row][2] * m.m[row][2]));
  if (!(node.bounds.radius > 0.0f) || !std::isfinite(scale)) {
    movingUnbounded_ = true;
    return;
  }
  D3DXVECTOR3 centre;
  D3DXVec3TransformCoord(&centre, &node.bounds.centre, &m);
  movingSpheres_.push_back({centre, node.bounds.radius * scale});
}

bool RenderQueue::SeeThroughKeepable() const {
  IDirect3DDevice9* device = Device();
  if (movingUnbounded_ || !device) return false;
  D3DMATRIX view{}, projection{};
  if (FAILED(device->GetTransform(D3DTS_VIEW, &view)) ||
      FAILED(device->GetTransform(D3DTS_PROJECTION, &projection)))
    return false;
  // Distance along the view direction: the camera looks along +z or -z of its space, as
  // the projection's w (or, for a parallel one, its z) takes it.
  const float ahead = (projection._34 != 0 ? projection._34 : projection._33) < 0 ? -1.0f : 1.0f;
  auto depth = [&view, ahead](float x, float y, float z) {
    return ahead * (x * view.m[0][2] + y * view.m[1][2] + z * view.m[2][2] + view.m[3][2]);
  };
  float farthestMoving = -std::numeric_limits<float>::max();
  for (const auto& [c, r] : movingSpheres_)
    farthestMoving = std::max(farthestMoving, depth(c.x, c.y, c.z) + r);
  for (const auto& [key, item] : stillSeeThrough) {
    if (!item->subset || !item->subset->hasBox) return false;
    const D3DXVECTOR3 &lo = item->subset->boxMin, &hi = item->subset->boxMax;
    for (int k = 0; k < 8; ++k) {
      D3DXVECTOR3 corner{(k & 1) ? hi.x : lo.x, (k & 2) ? hi.y : lo.y, (k & 4) ? hi.z : lo.z};
      D3DXVECTOR3 world;
      D3DXVec3TransformCoord(&world, &corner, item->worldMatrix);
      if (!(depth(world.x, world.y, world.z) > farthestMoving)) return false;
    }
  }
  return true;
}

void RenderQueue::AddOpaque(DrawItem* item) {
  StateBatch& states = opaqueBatches[item->renderStates->name];
  if (states.itemCount == 0) states.renderStates = item->renderStates;
  ++states.itemCount;
  MaterialBatch& material = states.materialBatches[item->material->name];
  if (material.itemCount == 0) material.material = item->material;
  ++material.itemCount;
  TextureBatch& textures = material.textureBatches[item->textures->Key()];
  if (textures.items.empty()) textures.textures = item->textures;
  textures.items.push_back(item);
}

bool RenderQueue::SubmitAnimated(AnimatedDrawable* node) {
  if (!node) return false;
  if (node->HasAlphaTexture() || node->drawListener)
    blendedAnimated.push_back(node);
  else
    opaqueAnimated.push_back(node);
  NoteMoving(*node);
  return true;
}

bool RenderQueue::Flush() {
  IDirect3DDevice9* device = Device();
  // See-through scenery goes into the layer only where nothing drawn later can be behind
  // it; otherwise it is drawn every frame among the other see-through items.
  if (!stillSeeThrough.empty() && !(useLayer && SeeThroughKeepable())) {
    for (const auto& entry : stillSeeThrough) InsertByKey(&sortedItems, entry);
    stillSeeThrough.clear();
  }
  movingSpheres_.clear();
  movingUnbounded_ = false;
  if (stillItems.empty() && stillSeeThrough.empty()) {
    if (g_graphicsDevice) g_graphicsDevice->Clear();
    layerKept_ = false;
    framesFromLayer_ = 0;
    previousRecords_.clear();
  } else {
    RecordStill();
    const bool restored = useLayer && layerKept_ && device && SameFrame(frame_, keptFrame_) &&
                          SameRecords(records_, keptRecords_) &&
                          platform::d3d9::RestoreLayer(device);
    if (restored) {
      ++layerFrames;
      ++framesFromLayer_;
    } else {
      if (g_graphicsDevice) g_graphicsDevice->Clear();
      DrawStillItems();
      // Kept once the scenery looked the same two frames running: what changes every
      // frame is not worth a copy each time. Scenery whose last layer served a while
      // changes seldom (something delivered to a base): its new look is kept at once.
      const bool settled = framesFromLayer_ >= kSettledFrames ||
                           (SameFrame(frame_, previousFrame_) &&
                            SameRecords(records_, previousRecords_));
      layerKept_ = useLayer && device && settled && platform::d3d9::SaveLayer(device);
      framesFromLayer_ = 0;
      if (layerKept_) {
        ++layerSaves;
        keptRecords_ = records_;
        keptFrame_ = frame_;
      }
    }
    previousRecords_.swap(records_);
    previousFrame_ = frame_;
    stillItems.clear();
    stillSeeThrough.clear();
  }

  for (AnimatedDrawable* node : opaqueAnimated) {
    if (!node->visible) continue;
    node->AdvanceAndRefresh();
    if (RenderStateSet* states = node->MeshRenderStates()) states->Apply(false);
    DrawAnimated(node);
  }
  opaqueAnimated.clear();

  FlushOpaqueBatches();
  FlushBlendedAnimated();
  FlushSortedItems();
  return true;
}

void RenderQueue::DropLayer() {
  layerKept_ = false;
  framesFromLayer_ = 0;
  keptRecords_.clear();
  previousRecords_.clear();
  if (IDirect3DDevice9* device = Device()) platform::d3d9::DropLayer(device);
}

void RenderQueue::Discard() {
  for (auto& [stateName, states] : opaqueBatches) {
    for (auto& [materialName, material] : states.materialBatches) {
      for (auto& [textureKey, textures] : material.textureBatches) {
        textures.items.clear();
        textures.textures = nullptr;
      }
      material.itemCount = 0;
      material.material = nullptr;
    }
    states.itemCount = 0;
    states.renderStates = nullptr;
  }
  sortedItems.clear();
  opaqueAnimated.clear();
  blendedAnimated.clear();
  stillItems.clear();
  stillSeeThrough.clear();
  movingSpheres_.clear();
  movingUnbounded_ = false;
}

void RenderQueue::RecordStill() {
  records_.clear();
  stillOrder_.assign(stillItems.begin(), stillItems.end());
  for (const auto& entry : stillSeeThrough) stillOrder_.push_back(entry.second);
  for (const DrawItem* item : stillOrder_) {
    StillRecord r;
    r.item = item;
    r.subset = item->subset;
    r.material = item->material;
    r.materialValues = item->material->material;
    r.states = item->renderStates;
    // Items of one model mostly share a set: hashed once per run of equal sets.
    r.statesHash = (!records_.empty() && records_.back().states == r.states)
                       ? records_.back().statesHash
                       : HashStates(*item->renderStates);
    r.textures[0] = item->textures->Get(0);
    r.textures[1] = item->textures->Get(1);
    r.world = *item->worldMatrix;
    records_.push_back(r);
  }
  frame_ = FrameRecord{};
  if (IDirect3DDevice9* device = Device()) {
    device->GetTransform(D3DTS_VIEW, &frame_.view);
    device->GetTransform(D3DTS_PROJECTION, &frame_.projection);
    device->GetViewport(&frame_.viewport);
    for (DWORD i = 0; i < 8; ++i) {
      device->GetLightEnable(i, &frame_.lightOn[i]);
      if (frame_.lightOn[i]) device->GetLight(i, &frame_.lights[i]);
    }
  }
  if (g_graphicsDevice) std::memcpy(frame_.clearColour, g_graphicsDevice->clearColour, sizeof(frame_.clearColour));
}

void RenderQueue::DrawStillItems() {
  // In the order submitted (a model lists what stands on the ground before the ground),
  // each state, material and texture set applied when it changes.
  ItemSequence sequence(false);
  for (const DrawItem* item : stillItems) sequence.Draw(item);
  // Then what is kept of the see-through scenery, farthest first, as the sorted pass.
  ItemSequence seeThrough(true);
  for (const auto& entry : stillSeeThrough) seeThrough.Draw(entry.second);
}

void RenderQueue::FlushOpaqueBatches() {
  for (auto& [stateName, states] : opaqueBatches) {
    if (states.itemCount == 0) continue;
    states.renderStates->Apply(false);
    for (auto& [materialName, material] : states.materialBatches) {
      if (material.itemCount == 0) continue;
      material.material->Apply();
      for (auto& [textureKey, textures] : material.textureBatches) {
        if (textures.items.empty()) continue;
        textures.textures->Apply();
        for (const DrawItem* item : textures.items) DrawWithWorld(item);
        textures.items.clear();
        textures.textures = nullptr;
      }
      material.itemCount = 0;
      material.material = nullptr;
    }
    states.itemCount = 0;
    states.renderStates = nullptr;
  }
}

void RenderQueue::FlushBlendedAnimated() {
  // Pass 0 culls the front faces so the far side is drawn first; pass 1 culls the back
  // faces and blends the near side over it. The set ends every flush culling clockwise.
  static constexpr DWORD kCullModes[2] = {D3DCULL_CCW, D3DCULL_CW};
  for (int pass = 0; pass < 2; ++pass) {
    for (AnimatedDrawable* node : blendedAnimated) {
      if (!node->visible) continue;
      if (pass == 0) node->AdvanceAnimation();
      node->RefreshPose();
      if (RenderStateSet* states = node->MeshRenderStates()) {
        states->Set(D3DRS_CULLMODE, kCullModes[pass]);
        states->Apply(false);
      }
      DrawAnimated(node);
    }
  }
  blendedAnimated.clear();
}

void RenderQueue::FlushSortedItems() {
  ItemSequence sequence(true);
  for (const auto& [key, item] : sortedItems) sequence.Draw(item);
  sortedItems.clear();
}

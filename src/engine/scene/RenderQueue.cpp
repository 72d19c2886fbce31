#include "engine/scene/RenderQueue.h"

#include <algorithm>
#include <cmath>
#include <cstring>

#include "app/GraphicsDevice.h"
#include "engine/materials/Material.h"
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

std::uint64_t HashStates(const RenderStateSet& set) {
  std::uint64_t h = 1469598103934665603ull;
  for (const RenderStateSet::Entry& e : set.entries) {
    h = (h ^ (e.specified ? e.value : 0xA5A5A5A5u)) * 1099511628211ull;
    h = (h ^ (e.specified ? 1u : 0u)) * 1099511628211ull;
  }
  return h;
}

// The largest factor by which the matrix stretches a length.
float LargestScale(const D3DXMATRIX& m) {
  return std::max({D3DXVec3Length(reinterpret_cast<const D3DXVECTOR3*>(&m._11)),
                   D3DXVec3Length(reinterpret_cast<const D3DXVECTOR3*>(&m._21)),
                   D3DXVec3Length(reinterpret_cast<const D3DXVECTOR3*>(&m._31))});
}

// The viewport pixels that eight eye-space points, the corners of a box holding
// something, can cover, with a margin; false when one lies behind the eye (or is not
// finite), where no rectangle holds the projection.
bool CornersRect(const D3DXVECTOR3 (&eye)[8], const D3DXMATRIX& projection,
                 const D3DVIEWPORT9& vp, RECT* out) {
  float minX = 1e30f, minY = 1e30f, maxX = -1e30f, maxY = -1e30f;
  for (const D3DXVECTOR3& p : eye) {
    const D3DXMATRIX& m = projection;
    const float cx = p.x * m._11 + p.y * m._21 + p.z * m._31 + m._41;
    const float cy = p.x * m._12 + p.y * m._22 + p.z * m._32 + m._42;
    const float cw = p.x * m._14 + p.y * m._24 + p.z * m._34 + m._44;
    if (!(cw > 1e-4f) || !std::isfinite(cx) || !std::isfinite(cy)) return false;
    const float x = cx / cw, y = cy / cw;
    minX = std::min(minX, x);
    maxX = std::max(maxX, x);
    minY = std::min(minY, y);
    maxY = std::max(maxY, y);
  }
  // Normalised device x and y run -1 … 1; the viewport's rows from its top.
  const float left = vp.X + (minX + 1.0f) * 0.5f * vp.Width;
  const float right = vp.X + (maxX + 1.0f) * 0.5f * vp.Width;
  const float top = vp.Y + (1.0f - maxY) * 0.5f * vp.Height;
  const float bottom = vp.Y + (1.0f - minY) * 0.5f * vp.Height;
  constexpr float kMargin = 2.0f;
  const float x0 = std::max(left - kMargin, static_cast<float>(vp.X));
  const float y0 = std::max(top - kMargin, static_cast<float>(vp.Y));
  const float x1 = std::min(right + kMargin, static_cast<float>(vp.X + vp.Width));
  const float y1 = std::min(bottom + kMargin, static_cast<float>(vp.Y + vp.Height));
  if (x0 >= x1 || y0 >= y1) {
    *out = RECT{0, 0, 0, 0};  // off screen: nothing to restore
    return true;
  }
  *out = RECT{static_cast<LONG>(std::floor(x0)), static_cast<LONG>(std::floor(y0)),
              static_cast<LONG>(std::ceil(x1)), static_cast<LONG>(std::ceil(y1))};
  return true;
}

// The same for a world-space sphere: the eye-space cube about it.
bool SphereRect(const D3DXVECTOR3& centre, float radius, const D3DXMATRIX& view,
                const D3DXMATRIX& projection, const D3DVIEWPORT9& vp, RECT* out) {
  if (!(radius >= 0.0f) || !std::isfinite(radius)) return false;
  D3DXVECTOR3 eye;
  D3DXVec3TransformCoord(&eye, &centre, &view);
  D3DXVECTOR3 corners[8];
  for (int i = 0; i < 8; ++i) {
    corners[i] = D3DXVECTOR3((i & 1) ? eye.x + radius : eye.x - radius,
                             (i & 2) ? eye.y + radius : eye.y - radius,
                             (i & 4) ? eye.z + radius : eye.z - radius);
  }
  return CornersRect(corners, projection, vp, out);
}

// The same for a world-space box.
bool BoxRect(const D3DXVECTOR3& lo, const D3DXVECTOR3& hi, const D3DXMATRIX& view,
             const D3DXMATRIX& projection, const D3DVIEWPORT9& vp, RECT* out) {
  D3DXVECTOR3 corners[8];
  for (int i = 0; i < 8; ++i) {
    const D3DXVECTOR3 world((i & 1) ? hi.x : lo.x, (i & 2) ? hi.y : lo.y, (i & 4) ? hi.z : lo.z);
    D3DXVec3TransformCoord(&corners[i], &world, &view);
  }
  return CornersRect(corners, projection, vp, out);
}

long long Area(const RECT& r) {
  return static_cast<long long>(r.right - r.left) * (r.bottom - r.top);
}

bool Overlap(const RECT& a, const RECT& b) {
  return a.left <= b.right && b.left <= a.right && a.top <= b.bottom && b.top <= a.bottom;
}

// Joins two overlapping rectangles whenever the one holding both is no larger than the
// two together, until no such pair is left (a copy that covers more pixels costs more
// than two that cover some twice); beyond a few dozen, one rectangle holding them all.
void MergeRects(std::vector<RECT>* rects) {
  bool joined = true;
  while (joined) {
    joined = false;
    for (std::size_t i = 0; i < rects->size() && !joined; ++i) {
      for (std::size_t j = i + 1; j < rects->size(); ++j) {
        RECT& a = (*rects)[i];
        const RECT& b = (*rects)[j];
        if (!Overlap(a, b)) continue;
        const RECT both{std::min(a.left, b.left), std::min(a.top, b.top),
                        std::max(a.right, b.right), std::max(a.bottom, b.bottom)};
        if (Area(both) > Area(a) + Area(b)) continue;
        a = both;
        (*rects)[j] = rects->back();
        rects->pop_back();
        joined = true;
        break;
      }
    }
  }
  constexpr std::size_t kMostRects = 32;
  if (rects->size() > kMostRects) {
    RECT all = (*rects)[0];
    for (const RECT& r : *rects) {
      all = RECT{std::min(all.left, r.left), std::min(all.top, r.top), std::max(all.right, r.right),
                 std::max(all.bottom, r.bottom)};
    }
    rects->assign(1, all);
  }
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
  bool drawnOver = !node->still;
  for (DrawItem& item : node->items) {
    if (!item.material || !item.renderStates || !item.textures) continue;
    if (node->still && item.opaque && !item.drawListener) {
      stillItems.push_back(&item);
      continue;
    }
    drawnOver = true;
    if (!item.opaque || item.drawListener) {
      const auto at = std::upper_bound(
          sortedItems.begin(), sortedItems.end(), key,
          [](float k, const std::pair<float, DrawItem*>& e) { return k < e.first; });
      sortedItems.insert(at, {key, &item});
    } else {
      AddOpaque(&item);
    }
  }
  if (drawnOver) movingModels.push_back(node);
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
  return true;
}

bool RenderQueue::Flush() {
  IDirect3DDevice9* device = Device();
  // Every pose moves on once a frame, before anything is drawn: what is drawn over the
  // kept layer is bounded by the poses it will be drawn in.
  for (const auto* list : {&opaqueAnimated, &blendedAnimated})
    for (AnimatedDrawable* node : *list)
      if (node->visible) node->AdvanceAnimation();
  if (stillItems.empty()) {
    if (g_graphicsDevice) g_graphicsDevice->Clear();
    layerKept_ = false;
    previousRecords_.clear();
  } else {
    RecordStill();
    bool restored = false;
    if (useLayer && layerKept_ && device && SameFrame(frame_, keptFrame_) &&
        SameRecords(records_, keptRecords_)) {
      const bool bounded = CollectDepthRects();
      const RECT whole{0, 0, static_cast<LONG>(frame_.viewport.X + frame_.viewport.Width),
                       static_cast<LONG>(frame_.viewport.Y + frame_.viewport.Height)};
      restored = bounded ? platform::d3d9::RestoreLayer(device, depthRects_.data(),
                                                        static_cast<UINT>(depthRects_.size()))
                         : platform::d3d9::RestoreLayer(device, &whole, 1);
    }
    if (restored) {
      ++layerFrames;
    } else {
      if (g_graphicsDevice) g_graphicsDevice->Clear();
      DrawStillItems();
      // Kept only once the scenery looked the same two frames running: what changes
      // every frame is not worth a copy each time.
      layerKept_ = useLayer && device && SameFrame(frame_, previousFrame_) &&
                   SameRecords(records_, previousRecords_) && platform::d3d9::SaveLayer(device);
      if (layerKept_) {
        ++layerSaves;
        keptRecords_ = records_;
        keptFrame_ = frame_;
      }
    }
    previousRecords_.swap(records_);
    previousFrame_ = frame_;
    stillItems.clear();
  }
  movingModels.clear();

  for (AnimatedDrawable* node : opaqueAnimated) {
    if (!node->visible) continue;
    node->RefreshPose();
    if (RenderStateSet* states = node->MeshRenderStates()) states->Apply(false);
    DrawAnimated(node);
  }
  opaqueAnimated.clear();

  FlushOpaqueBatches();
  FlushBlendedAnimated();
  FlushSortedItems();
  return true;
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
  movingModels.clear();
}

void RenderQueue::RecordStill() {
  records_.clear();
  for (const DrawItem* item : stillItems) {
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
}

bool RenderQueue::CollectDepthRects() {
  depthRects_.clear();
  const D3DXMATRIX view(frame_.view), projection(frame_.projection);
  const D3DVIEWPORT9& vp = frame_.viewport;
  RECT r;
  for (const ModelNode* node : movingModels) {
    if (!(node->bounds.radius > 0.0f)) return false;
    D3DXVECTOR3 centre;
    D3DXVec3TransformCoord(&centre, &node->bounds.centre, &node->worldMatrix);
    if (!SphereRect(centre, node->bounds.radius * LargestScale(node->worldMatrix), view,
                    projection, vp, &r))
      return false;
    if (r.right > r.left) depthRects_.push_back(r);
  }
  for (const auto* list : {&opaqueAnimated, &blendedAnimated}) {
    for (AnimatedDrawable* node : *list) {
      if (!node->visible) continue;
      // Nodes may share a mesh's frames: the pose is built for this node first.
      node->RefreshPose();
      D3DXVECTOR3 lo, hi;
      if (!node->DrawnBox(&lo, &hi) || !BoxRect(lo, hi, view, projection, vp, &r)) return false;
      if (r.right > r.left) depthRects_.push_back(r);
    }
  }
  MergeRects(&depthRects_);
  return true;
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

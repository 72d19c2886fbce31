#include "engine/scene/RenderQueue.h"

#include <algorithm>

#include "app/GraphicsDevice.h"
#include "engine/materials/Material.h"
#include "engine/materials/RenderStateSet.h"
#include "engine/materials/TextureSet.h"
#include "engine/scene/AnimatedDrawable.h"
#include "engine/scene/Camera.h"
#include "engine/scene/DrawListener.h"
#include "engine/scene/ModelNode.h"
#include "engine/scene/Scene.h"

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

void DrawAnimated(AnimatedDrawable* node) {
  if (node->drawListener) node->drawListener->BeforeDraw();
  node->DrawMesh();
  if (node->drawListener) node->drawListener->AfterDraw();
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
  for (DrawItem& item : node->items) {
    if (!item.material || !item.renderStates || !item.textures) continue;
    if (!item.opaque || item.drawListener) {
      const auto at = std::upper_bound(
          sortedItems.begin(), sortedItems.end(), key,
          [](float k, const std::pair<float, DrawItem*>& e) { return k < e.first; });
      sortedItems.insert(at, {key, &item});
    } else {
      AddOpaque(&item);
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
  return true;
}

bool RenderQueue::Flush() {
  if (g_graphicsDevice) g_graphicsDevice->Clear();

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
  const Material* lastMaterial = nullptr;
  const TextureSet* lastTextures = nullptr;
  for (const auto& [key, item] : sortedItems) {
    item->renderStates->Apply(false);
    if (item->material != lastMaterial) {
      item->material->Apply();
      lastMaterial = item->material;
    }
    // Compared both ways: a set with fewer stages (an empty one above all, which clears
    // stage 0) is not the same as the one applied before it.
    if (!lastTextures || !item->textures->Equals(lastTextures) ||
        !lastTextures->Equals(item->textures)) {
      item->textures->Apply();
      lastTextures = item->textures;
    }
    DrawWithWorld(item);
  }
  sortedItems.clear();
}

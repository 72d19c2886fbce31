#include "engine/scene/AnimatedMeshNode.h"

#include <algorithm>

#include "app/AppShell.h"
#include "engine/scene/AnimatedMesh.h"
#include "engine/scene/RenderQueue.h"

namespace {

// The last instant of a play-once set, where its pose stays frozen.
constexpr double kFreezeBeforeEnd = 0.000001;

}  // namespace

AnimatedMeshNode::AnimatedMeshNode() { bounds.radius = 100.0f; }

void AnimatedMeshNode::OnUpdate() {
  RenderableNode::OnUpdate();
  if (culled) AdvanceClock();
}

AnimatedMeshNode::~AnimatedMeshNode() {
  if (currentSet) currentSet->Release();
  if (controller) controller->Release();
}

void AnimatedMeshNode::Submit() {
  AdvanceClock();
  if (g_renderQueue) g_renderQueue->SubmitAnimated(this);
}

bool AnimatedMeshNode::SetMesh(AnimatedMesh* newMesh) {
  mesh = newMesh;
  // The old controller writes into the old mesh's frames, and what played on it means
  // nothing on a new one.
  if (controller) controller->Release();
  controller = nullptr;
  if (currentSet) currentSet->Release();
  currentSet = nullptr;
  if (!mesh) return false;
  ID3DXAnimationController* source = mesh->animController;
  if (!source) return true;  // a mesh without animation sets: always the rest pose
  source->CloneAnimationController(source->GetMaxNumAnimationOutputs(),
                                   source->GetMaxNumAnimationSets(), source->GetMaxNumTracks(),
                                   source->GetMaxNumEvents(), &controller);
  if (controller) {
    for (UINT i = 0; i < controller->GetMaxNumTracks(); ++i) controller->SetTrackEnable(i, FALSE);
  }
  return true;
}

void AnimatedMeshNode::SetAnimation(const std::string& name, bool playLoop) {
  const unsigned newTrack = currentTrack == 0 ? 1 : 0;
  loop = playLoop;
  clock = 0.0f;
  finished = false;
  if (currentSet) currentSet->Release();
  currentSet = nullptr;
  if (!controller) return;
  controller->GetAnimationSetByName(name.c_str(), &currentSet);
  controller->SetTrackAnimationSet(newTrack, currentSet);
  controller->SetTrackEnable(newTrack, TRUE);
  controller->SetTrackSpeed(newTrack, 1.0f);
  controller->SetTrackWeight(newTrack, 1.0f);
  controller->SetTrackPosition(newTrack, 0.0);
  controller->SetTrackEnable(currentTrack, FALSE);
  controller->SetTrackSpeed(currentTrack, 0.0f);
  controller->SetTrackWeight(currentTrack, 0.0f);
  currentTrack = newTrack;
}

void AnimatedMeshNode::SetAnimationSpeed(const std::string& name, float speed) {
  speeds[name] = speed;
}

void AnimatedMeshNode::AdvanceClock() {
  if (!loop && finished) return;
  clock += g_frameTime;
  // No set playing: there is no period to reach.
  if (loop || !currentSet) return;
  const double period = currentSet->GetPeriod();
  if (clock > period) {
    finished = true;
    if (controller) controller->SetTrackPosition(currentTrack, period - kFreezeBeforeEnd);
  }
}

void AnimatedMeshNode::AdvanceAnimation() {
  if (!controller) return;
  if (loop || !finished) {
    float speed = 1.0f;
    if (currentSet) {
      const auto it = speeds.find(currentSet->GetName());
      if (it != speeds.end()) speed = it->second;
    }
    controller->AdvanceTime(static_cast<double>(g_frameTime) * speed, nullptr);
  } else {
    controller->AdvanceTime(0.0, nullptr);
  }
}

void AnimatedMeshNode::RefreshPose() {
  if (controller) controller->AdvanceTime(0.0, nullptr);
  if (mesh) mesh->UpdateMatrices(mesh->frameRoot, &worldMatrix);
}

void AnimatedMeshNode::AdvanceAndRefresh() {
  AdvanceAnimation();
  if (mesh) mesh->UpdateMatrices(mesh->frameRoot, &worldMatrix);
}

bool AnimatedMeshNode::HasAlphaTexture() const { return mesh && mesh->hasAlphaTexture; }

RenderStateSet* AnimatedMeshNode::MeshRenderStates() { return mesh ? mesh->renderStates : nullptr; }

void AnimatedMeshNode::DrawMesh() {
  if (mesh) mesh->Draw();
}

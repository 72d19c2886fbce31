// An animated mesh placed in the world. Each node plays its own clone of the mesh's
// controller, so nodes sharing a mesh animate independently; one animation at a time,
// chosen by set name, looping or played once and frozen on its last pose.
#pragma once

#include <string>
#include <unordered_map>

#include "engine/scene/AnimatedDrawable.h"

class AnimatedMesh;
class ID3DXAnimationController;
class ID3DXAnimationSet;

class AnimatedMeshNode : public AnimatedDrawable {
 public:
  // Culled with a sphere of radius 100 (times the largest scale) around the origin.
  AnimatedMeshNode();
  // The visibility test; a culled node still advances its clock.
  void OnUpdate() override;
  ~AnimatedMeshNode() override;
  // Advances the clock and hands the node to the render queue.
  void Submit() override;

  // Stores the mesh and plays a fresh clone of its controller with every track off
  // (the rest pose). Null gives false and leaves the node without a mesh.
  bool SetMesh(AnimatedMesh* mesh);
  // Switches at once to the named set from its first key, on the other track (no
  // blend). A name the mesh lacks leaves no animation playing.
  void SetAnimation(const std::string& name, bool loop);
  // Multiplier on the controller's time step while the named set plays.
  void SetAnimationSpeed(const std::string& name, float speed);

  // The node's unscaled clock; a play-once set freezes on its last pose once the clock
  // passes its period.
  void AdvanceClock();
  void AdvanceAnimation() override;
  void RefreshPose() override;
  void AdvanceAndRefresh() override;

  bool HasAlphaTexture() const override;
  RenderStateSet* MeshRenderStates() override;
  void DrawMesh() override;

  AnimatedMesh* mesh = nullptr;                     // not owned: the mesh manager owns it
  ID3DXAnimationController* controller = nullptr;  // owned clone of the mesh's controller
  unsigned currentTrack = 0;
  ID3DXAnimationSet* currentSet = nullptr;  // one reference held; null: no animation
  bool loop = false;
  bool finished = false;
  float clock = 0.0f;  // seconds since the current animation was chosen
  std::unordered_map<std::string, float> speeds;  // by set name, as the set reports it
};

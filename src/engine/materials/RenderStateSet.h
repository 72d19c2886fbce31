// A complete description of the Direct3D state the engine touches: every render state,
// the sampler states of samplers 0 and 1 and the texture-stage states of stages 0 and 1.
// Serves as the graphics device's state cache, as the render-state manager's shared and
// private sets, and as the state a model subset draws with.
#pragma once

#include <cstdint>
#include <string>

#include "engine/resources/Resource.h"

class RenderStateSet : public Resource {
 public:
  static constexpr int kRenderStates = 210;      // entries 0 … 209
  static constexpr int kSamplerStates = 14;      // per sampler
  static constexpr int kStageStates = 33;        // per texture stage
  static constexpr int kFirstSampler = 210;      // sampler 0 type 0
  static constexpr int kFirstStage = 238;        // stage 0 type 0
  static constexpr int kEntryCount = 304;

  struct Entry {
    std::uint32_t value = 0;
    bool known = false;      // the value was given (by construction, a file or a caller)
    bool specified = false;  // the entry is sent by Apply
  };

  // Fills every state Direct3D 9 defines in the covered ranges with its default (with
  // the engine's own choices for culling, dithering, range fog, normal normalisation
  // and point sizes), known and specified.
  RenderStateSet();

  // Sends every specified entry in table order through the graphics device's cached
  // setters. Returns false if any setter failed (the others are still sent).
  bool Apply(bool force) const;
  // The same through a given device (the device applies its own cache this way).
  bool ApplyTo(class GraphicsDevice& device, bool force) const;

  void CopyFrom(const RenderStateSet& other);

  // Reads a binary render-state file; false when it cannot be opened. Out-of-range
  // pairs are skipped; a file shorter than its counts keeps what was read.
  bool Load(const std::string& path);

  Entry& operator[](int index) { return entries[index]; }
  const Entry& operator[](int index) const { return entries[index]; }

  static constexpr int SamplerIndex(int sampler, int type) {
    return kFirstSampler + kSamplerStates * sampler + type;
  }
  static constexpr int StageIndex(int stage, int type) {
    return kFirstStage + kStageStates * stage + type;
  }

  // Sets an entry's value and marks it known.
  void Set(int index, std::uint32_t value) {
    entries[index].value = value;
    entries[index].known = true;
  }

  Entry entries[kEntryCount];
  std::int32_t refCount = 0;
};

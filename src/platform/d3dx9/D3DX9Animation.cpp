// ID3DXKeyframedAnimationSet (keys sampled per frame name) and ID3DXAnimationController
// (tracks playing sets, mixed into the registered outputs).
#include <algorithm>
#include <cmath>
#include <cstring>
#include <new>
#include <string>
#include <vector>

#include "platform/d3dx9/D3DX9Anim.h"

namespace platform::d3dx9 {
namespace {

template <typename Key>
bool Ascending(const Key* keys, UINT count) {
  for (UINT i = 1; i < count; ++i)
    if (!(keys[i - 1].Time <= keys[i].Time)) return false;
  return true;
}

// The segment holding time t: index of the last key at or before t, and the share of
// the way to the next key. Before the first key or after the last one the end key holds.
template <typename Key>
void FindSegment(const std::vector<Key>& keys, float t, std::size_t* index, float* share) {
  const auto after = std::upper_bound(keys.begin(), keys.end(), t,
                                      [](float time, const Key& k) { return time < k.Time; });
  if (after == keys.begin()) {
    *index = 0;
    *share = 0.0f;
    return;
  }
  const std::size_t i = static_cast<std::size_t>(after - keys.begin()) - 1;
  *index = i;
  *share = 0.0f;
  if (i + 1 < keys.size()) {
    const float span = keys[i + 1].Time - keys[i].Time;
    if (span > 0.0f) *share = (t - keys[i].Time) / span;
  }
}

D3DXVECTOR3 SampleVector(const std::vector<D3DXKEY_VECTOR3>& keys, float t,
                         const D3DXVECTOR3& none) {
  if (keys.empty()) return none;
  std::size_t i;
  float share;
  FindSegment(keys, t, &i, &share);
  if (share == 0.0f) return keys[i].Value;
  D3DXVECTOR3 out;
  D3DXVec3Lerp(&out, &keys[i].Value, &keys[i + 1].Value, share);
  return out;
}

D3DXQUATERNION SampleRotation(const std::vector<D3DXKEY_QUATERNION>& keys, float t) {
  if (keys.empty()) return D3DXQUATERNION{0, 0, 0, 1};
  std::size_t i;
  float share;
  FindSegment(keys, t, &i, &share);
  if (share == 0.0f) return keys[i].Value;
  D3DXQUATERNION out;
  D3DXQuaternionSlerp(&out, &keys[i].Value, &keys[i + 1].Value, share);
  return out;
}

class KeyframedSet final : public RefCounted<ID3DXKeyframedAnimationSet> {
 public:
  KeyframedSet(std::string name, double ticks, D3DXPLAYBACK_TYPE playback, UINT capacity)
      : name_(std::move(name)), ticks_(ticks), playback_(playback), capacity_(capacity) {}

  LPCSTR GetName() override { return name_.c_str(); }
  DOUBLE GetPeriod() override { return lastTick_ / ticks_; }

  DOUBLE GetPeriodicPosition(DOUBLE position) override {
    const double period = GetPeriod();
    if (!(period > 0.0) || !std::isfinite(position)) return 0.0;
    switch (playback_) {
      case D3DXPLAY_ONCE:
        return std::clamp(position, 0.0, period);
      case D3DXPLAY_PINGPONG: {
        double p = std::fmod(position, 2.0 * period);
        if (p < 0.0) p += 2.0 * period;
        return p <= period ? p : 2.0 * period - p;
      }
      default: {
        double p = std::fmod(position, period);
        if (p < 0.0) p += period;
        return p < period ? p : 0.0;
      }
    }
  }

  UINT GetNumAnimations() override { return static_cast<UINT>(animations_.size()); }

  HRESULT GetAnimationNameByIndex(UINT index, LPCSTR* name) override {
    if (!name || index >= animations_.size()) return D3DERR_INVALIDCALL;
    *name = animations_[index].name.c_str();
    return D3D_OK;
  }

  HRESULT GetAnimationIndexByName(LPCSTR name, UINT* index) override {
    if (!name || !index) return D3DERR_INVALIDCALL;
    for (UINT i = 0; i < animations_.size(); ++i) {
      if (animations_[i].name == name) {
        *index = i;
        return D3D_OK;
      }
    }
    return D3DERR_NOTFOUND;
  }

  HRESULT GetSRT(DOUBLE periodicPosition, UINT animation, D3DXVECTOR3* scale,
                 D3DXQUATERNION* rotation, D3DXVECTOR3* translation) override {
    if (animation >= animations_.size() || !scale || !rotation || !translation)
      return D3DERR_INVALIDCALL;
    const Animation& a = animations_[animation];
    const float t = static_cast<float>(periodicPosition * ticks_);
    *scale = SampleVector(a.scales, t, D3DXVECTOR3(1, 1, 1));
    *translation = SampleVector(a.translations, t, D3DXVECTOR3(0, 0, 0));
    D3DXQUATERNION q = SampleRotation(a.rotations, t);
    const float length = std::sqrt(q.x * q.x + q.y * q.y + q.z * q.z + q.w * q.w);
    if (length > 0.0f && std::isfinite(length)) {
      q = {q.x / length, q.y / length, q.z / length, q.w / length};
    } else {
      q = {0, 0, 0, 1};
    }
    *rotation = q;
    return D3D_OK;
  }

  D3DXPLAYBACK_TYPE GetPlaybackType() override { return playback_; }
  DOUBLE GetSourceTicksPerSecond() override { return ticks_; }

  UINT GetNumScaleKeys(UINT animation) override { return Count(animation, &Animation::scales); }
  HRESULT GetScaleKeys(UINT animation, D3DXKEY_VECTOR3* keys) override {
    return Copy(animation, &Animation::scales, keys);
  }
  UINT GetNumRotationKeys(UINT animation) override {
    return Count(animation, &Animation::rotations);
  }
  HRESULT GetRotationKeys(UINT animation, D3DXKEY_QUATERNION* keys) override {
    return Copy(animation, &Animation::rotations, keys);
  }
  UINT GetNumTranslationKeys(UINT animation) override {
    return Count(animation, &Animation::translations);
  }
  HRESULT GetTranslationKeys(UINT animation, D3DXKEY_VECTOR3* keys) override {
    return Copy(animation, &Animation::translations, keys);
  }

  HRESULT RegisterAnimationSRTKeys(LPCSTR name, UINT numScale, UINT numRotation,
                                   UINT numTranslation, const D3DXKEY_VECTOR3* scaleKeys,
                                   const D3DXKEY_QUATERNION* rotationKeys,
                                   const D3DXKEY_VECTOR3* translationKeys,
                                   DWORD* animationIndex) override {
    if (!name || animations_.size() >= capacity_) return D3DERR_INVALIDCALL;
    if ((numScale && !scaleKeys) || (numRotation && !rotationKeys) ||
        (numTranslation && !translationKeys))
      return D3DERR_INVALIDCALL;
    if (!Ascending(scaleKeys, numScale) || !Ascending(rotationKeys, numRotation) ||
        !Ascending(translationKeys, numTranslation))
      return D3DERR_INVALIDCALL;
    UINT existing;
    if (SUCCEEDED(GetAnimationIndexByName(name, &existing))) return D3DERR_INVALIDCALL;
    Animation a;
    a.name = name;
    a.scales.assign(scaleKeys, scaleKeys + numScale);
    a.rotations.assign(rotationKeys, rotationKeys + numRotation);
    a.translations.assign(translationKeys, translationKeys + numTranslation);
    if (numScale) lastTick_ = std::max<double>(lastTick_, a.scales.back().Time);
    if (numRotation) lastTick_ = std::max<double>(lastTick_, a.rotations.back().Time);
    if (numTranslation) lastTick_ = std::max<double>(lastTick_, a.translations.back().Time);
    if (animationIndex) *animationIndex = static_cast<DWORD>(animations_.size());
    animations_.push_back(std::move(a));
    return D3D_OK;
  }

 private:
  struct Animation {
    std::string name;
    std::vector<D3DXKEY_VECTOR3> scales;
    std::vector<D3DXKEY_QUATERNION> rotations;
    std::vector<D3DXKEY_VECTOR3> translations;
  };

  template <typename Key>
  UINT Count(UINT animation, std::vector<Key> Animation::*channel) {
    return animation < animations_.size()
               ? static_cast<UINT>((animations_[animation].*channel).size())
               : 0;
  }
  template <typename Key>
  HRESULT Copy(UINT animation, std::vector<Key> Animation::*channel, Key* out) {
    if (animation >= animations_.size() || !out) return D3DERR_INVALIDCALL;
    const auto& keys = animations_[animation].*channel;
    std::copy(keys.begin(), keys.end(), out);
    return D3D_OK;
  }

  std::string name_;
  double ticks_;
  D3DXPLAYBACK_TYPE playback_;
  UINT capacity_;
  double lastTick_ = 0.0;
  std::vector<Animation> animations_;
};

// --- Controller ---------------------------------------------------------------------------

struct Output {
  std::string name;
  D3DXMATRIX* matrix;
  D3DXVECTOR3* scale;
  D3DXQUATERNION* rotation;
  D3DXVECTOR3* translation;
  // What the output held when registered: written back whenever no enabled track
  // animates it, so a node whose tracks are all off shows the rest pose even where
  // another node sharing the same frames left its own pose.
  D3DXMATRIX restMatrix;
  D3DXVECTOR3 restScale;
  D3DXQUATERNION restRotation;
  D3DXVECTOR3 restTranslation;
};

struct RegisteredSet {
  ID3DXAnimationSet* set;         // reference held
  std::vector<int> outputOfAnim;  // per animation of the set, its output or -1
};

struct Track {
  int set = -1;  // index into the registered sets
  D3DXTRACK_DESC desc{D3DXPRIORITY_LOW, 1.0f, 1.0f, 0.0, FALSE};
};

// The running mix of one output over the tracks that animate it.
struct Mix {
  float weight;
  D3DXVECTOR3 scale;
  D3DXQUATERNION rotation;
  D3DXVECTOR3 translation;
};

class Controller final : public RefCounted<ID3DXAnimationController> {
 public:
  Controller(UINT outputs, UINT sets, UINT tracks, UINT events)
      : maxOutputs_(outputs), maxSets_(sets), maxEvents_(events), tracks_(tracks) {}

  UINT GetMaxNumAnimationOutputs() override { return maxOutputs_; }
  UINT GetMaxNumAnimationSets() override { return maxSets_; }
  UINT GetMaxNumTracks() override { return static_cast<UINT>(tracks_.size()); }
  UINT GetMaxNumEvents() override { return maxEvents_; }

  HRESULT RegisterAnimationOutput(LPCSTR name, D3DXMATRIX* matrix, D3DXVECTOR3* scale,
                                  D3DXQUATERNION* rotation, D3DXVECTOR3* translation) override {
    if (!name || outputs_.size() >= maxOutputs_) return D3DERR_INVALIDCALL;
    if (!matrix && !scale && !rotation && !translation) return D3DERR_INVALIDCALL;
    for (const Output& o : outputs_)
      if (o.name == name) return D3DERR_INVALIDCALL;
    Output o{name, matrix, scale, rotation, translation, {}, {1, 1, 1}, {0, 0, 0, 1}, {}};
    if (matrix) o.restMatrix = *matrix;
    if (scale) o.restScale = *scale;
    if (rotation) o.restRotation = *rotation;
    if (translation) o.restTranslation = *translation;
    outputs_.push_back(std::move(o));
    mix_.resize(outputs_.size());
    for (RegisteredSet& r : sets_) MapSet(&r);
    return D3D_OK;
  }

  HRESULT RegisterAnimationSet(ID3DXAnimationSet* set) override {
    if (!set || sets_.size() >= maxSets_) return D3DERR_INVALIDCALL;
    for (const RegisteredSet& r : sets_)
      if (r.set == set) return D3DERR_INVALIDCALL;
    set->AddRef();
    sets_.push_back({set, {}});
    MapSet(&sets_.back());
    return D3D_OK;
  }

  HRESULT UnregisterAnimationSet(ID3DXAnimationSet* set) override {
    for (std::size_t i = 0; i < sets_.size(); ++i) {
      if (sets_[i].set != set) continue;
      for (Track& t : tracks_) {
        if (t.set == static_cast<int>(i)) t.set = -1;
        else if (t.set > static_cast<int>(i)) --t.set;
      }
      sets_[i].set->Release();
      sets_.erase(sets_.begin() + static_cast<std::ptrdiff_t>(i));
      return D3D_OK;
    }
    return D3DERR_INVALIDCALL;
  }

  UINT GetNumAnimationSets() override { return static_cast<UINT>(sets_.size()); }

  HRESULT GetAnimationSet(UINT index, ID3DXAnimationSet** set) override {
    if (!set) return D3DERR_INVALIDCALL;
    *set = nullptr;
    if (index >= sets_.size()) return D3DERR_INVALIDCALL;
    *set = sets_[index].set;
    (*set)->AddRef();
    return D3D_OK;
  }

  HRESULT GetAnimationSetByName(LPCSTR name, ID3DXAnimationSet** set) override {
    if (!set) return D3DERR_INVALIDCALL;
    *set = nullptr;
    if (!name) return D3DERR_INVALIDCALL;
    for (const RegisteredSet& r : sets_) {
      if (std::strcmp(r.set->GetName(), name) == 0) {
        *set = r.set;
        r.set->AddRef();
        return D3D_OK;
      }
    }
    return D3DERR_NOTFOUND;
  }

  HRESULT AdvanceTime(DOUBLE delta, ID3DXAnimationCallbackHandler*) override {
    if (!(delta >= 0.0) || !std::isfinite(delta)) return D3DERR_INVALIDCALL;
    time_ += delta;
    for (Track& t : tracks_)
      if (t.desc.Enable) t.desc.Position += delta * t.desc.Speed;
    Evaluate();
    return D3D_OK;
  }

  HRESULT ResetTime() override {
    time_ = 0.0;
    return D3D_OK;
  }
  DOUBLE GetTime() override { return time_; }

  HRESULT SetTrackAnimationSet(UINT track, ID3DXAnimationSet* set) override {
    if (track >= tracks_.size()) return D3DERR_INVALIDCALL;
    if (!set) {
      tracks_[track].set = -1;
      return D3D_OK;
    }
    int index = FindSet(set);
    if (index < 0) {
      // An unregistered set joins the controller, as long as there is room for it.
      if (FAILED(RegisterAnimationSet(set))) return D3DERR_INVALIDCALL;
      index = static_cast<int>(sets_.size()) - 1;
    }
    tracks_[track].set = index;
    return D3D_OK;
  }

  HRESULT GetTrackAnimationSet(UINT track, ID3DXAnimationSet** set) override {
    if (!set) return D3DERR_INVALIDCALL;
    *set = nullptr;
    if (track >= tracks_.size()) return D3DERR_INVALIDCALL;
    if (tracks_[track].set >= 0) {
      *set = sets_[static_cast<std::size_t>(tracks_[track].set)].set;
      (*set)->AddRef();
    }
    return D3D_OK;
  }

  HRESULT SetTrackPriority(UINT track, D3DXPRIORITY_TYPE priority) override {
    if (track >= tracks_.size()) return D3DERR_INVALIDCALL;
    tracks_[track].desc.Priority = priority;
    return D3D_OK;
  }
  HRESULT SetTrackSpeed(UINT track, FLOAT speed) override {
    if (track >= tracks_.size()) return D3DERR_INVALIDCALL;
    tracks_[track].desc.Speed = speed;
    return D3D_OK;
  }
  HRESULT SetTrackWeight(UINT track, FLOAT weight) override {
    if (track >= tracks_.size()) return D3DERR_INVALIDCALL;
    tracks_[track].desc.Weight = weight;
    return D3D_OK;
  }
  HRESULT SetTrackPosition(UINT track, DOUBLE position) override {
    if (track >= tracks_.size()) return D3DERR_INVALIDCALL;
    tracks_[track].desc.Position = position;
    return D3D_OK;
  }
  HRESULT SetTrackEnable(UINT track, BOOL enable) override {
    if (track >= tracks_.size()) return D3DERR_INVALIDCALL;
    tracks_[track].desc.Enable = enable ? TRUE : FALSE;
    return D3D_OK;
  }
  HRESULT SetTrackDesc(UINT track, const D3DXTRACK_DESC* desc) override {
    if (track >= tracks_.size() || !desc) return D3DERR_INVALIDCALL;
    tracks_[track].desc = *desc;
    return D3D_OK;
  }
  HRESULT GetTrackDesc(UINT track, D3DXTRACK_DESC* desc) override {
    if (track >= tracks_.size() || !desc) return D3DERR_INVALIDCALL;
    *desc = tracks_[track].desc;
    return D3D_OK;
  }

  HRESULT CloneAnimationController(UINT maxOutputs, UINT maxSets, UINT maxTracks, UINT maxEvents,
                                   ID3DXAnimationController** clone) override {
    if (!clone) return D3DERR_INVALIDCALL;
    *clone = nullptr;
    if (maxOutputs < outputs_.size() || maxSets < sets_.size()) return D3DERR_INVALIDCALL;
    auto* c = new (std::nothrow) Controller(maxOutputs, maxSets, maxTracks, maxEvents);
    if (!c) return E_OUTOFMEMORY;
    c->outputs_ = outputs_;
    c->mix_.resize(outputs_.size());
    c->sets_ = sets_;
    for (RegisteredSet& r : c->sets_) r.set->AddRef();
    for (std::size_t i = 0; i < c->tracks_.size() && i < tracks_.size(); ++i)
      c->tracks_[i] = tracks_[i];
    c->time_ = time_;
    *clone = c;
    return D3D_OK;
  }

 private:
  ~Controller() override {
    for (RegisteredSet& r : sets_) r.set->Release();
  }

  int FindSet(ID3DXAnimationSet* set) const {
    for (std::size_t i = 0; i < sets_.size(); ++i)
      if (sets_[i].set == set) return static_cast<int>(i);
    return -1;
  }

  // Which output each animation of the set drives, worked out once rather than by name
  // every frame.
  void MapSet(RegisteredSet* r) {
    const UINT count = r->set->GetNumAnimations();
    r->outputOfAnim.assign(count, -1);
    for (UINT a = 0; a < count; ++a) {
      LPCSTR name = nullptr;
      if (FAILED(r->set->GetAnimationNameByIndex(a, &name)) || !name) continue;
      for (std::size_t o = 0; o < outputs_.size(); ++o) {
        if (outputs_[o].name == name) {
          r->outputOfAnim[a] = static_cast<int>(o);
          break;
        }
      }
    }
  }

  // Every output gets the weighted mix of the enabled tracks that animate it: scale and
  // translation as weighted means, rotation by successive spherical steps; the rest
  // value where no track does.
  void Evaluate() {
    for (Mix& m : mix_) m.weight = 0.0f;
    for (const Track& t : tracks_) {
      if (!t.desc.Enable || t.set < 0 || !(t.desc.Weight > 0.0f)) continue;
      const RegisteredSet& r = sets_[static_cast<std::size_t>(t.set)];
      const double position = r.set->GetPeriodicPosition(t.desc.Position);
      for (std::size_t a = 0; a < r.outputOfAnim.size(); ++a) {
        const int o = r.outputOfAnim[a];
        if (o < 0) continue;
        D3DXVECTOR3 s, tr;
        D3DXQUATERNION q;
        if (FAILED(r.set->GetSRT(position, static_cast<UINT>(a), &s, &q, &tr))) continue;
        Mix& m = mix_[static_cast<std::size_t>(o)];
        const float w = t.desc.Weight;
        if (m.weight == 0.0f) {
          m = {w, s, q, tr};
          continue;
        }
        const float share = w / (m.weight + w);
        D3DXVec3Lerp(&m.scale, &m.scale, &s, share);
        D3DXVec3Lerp(&m.translation, &m.translation, &tr, share);
        D3DXQuaternionSlerp(&m.rotation, &m.rotation, &q, share);
        m.weight += w;
      }
    }
    for (std::size_t o = 0; o < outputs_.size(); ++o) {
      const Output& out = outputs_[o];
      const Mix& m = mix_[o];
      if (m.weight == 0.0f) {
        if (out.matrix) *out.matrix = out.restMatrix;
        if (out.scale) *out.scale = out.restScale;
        if (out.rotation) *out.rotation = out.restRotation;
        if (out.translation) *out.translation = out.restTranslation;
        continue;
      }
      if (out.matrix) {
        // Scaling × RotationQuaternion × Translation, written out.
        D3DXMATRIX r;
        D3DXMatrixRotationQuaternion(&r, &m.rotation);
        D3DXMATRIX& x = *out.matrix;
        for (int c = 0; c < 3; ++c) {
          x.m[0][c] = m.scale.x * r.m[0][c];
          x.m[1][c] = m.scale.y * r.m[1][c];
          x.m[2][c] = m.scale.z * r.m[2][c];
        }
        x.m[0][3] = x.m[1][3] = x.m[2][3] = 0.0f;
        x.m[3][0] = m.translation.x;
        x.m[3][1] = m.translation.y;
        x.m[3][2] = m.translation.z;
        x.m[3][3] = 1.0f;
      }
      if (out.scale) *out.scale = m.scale;
      if (out.rotation) *out.rotation = m.rotation;
      if (out.translation) *out.translation = m.translation;
    }
  }

  UINT maxOutputs_;
  UINT maxSets_;
  UINT maxEvents_;
  std::vector<Output> outputs_;
  std::vector<RegisteredSet> sets_;
  std::vector<Track> tracks_;
  std::vector<Mix> mix_;  // one per output, reused every evaluation
  double time_ = 0.0;
};

}  // namespace
}  // namespace platform::d3dx9

HRESULT D3DXCreateKeyframedAnimationSet(LPCSTR name, DOUBLE ticksPerSecond,
                                        D3DXPLAYBACK_TYPE playback, UINT numAnimations,
                                        UINT numCallbackKeys, const void*,
                                        ID3DXKeyframedAnimationSet** animationSet) {
  using namespace platform::d3dx9;
  if (!animationSet) return D3DERR_INVALIDCALL;
  *animationSet = nullptr;
  if (!(ticksPerSecond > 0.0) || !std::isfinite(ticksPerSecond) || numCallbackKeys != 0 ||
      playback > D3DXPLAY_PINGPONG)
    return D3DERR_INVALIDCALL;
  auto* set = new (std::nothrow) KeyframedSet(name ? name : "", ticksPerSecond, playback,
                                              numAnimations);
  if (!set) return E_OUTOFMEMORY;
  *animationSet = set;
  return D3D_OK;
}

HRESULT D3DXCreateAnimationController(UINT maxOutputs, UINT maxSets, UINT maxTracks,
                                      UINT maxEvents, ID3DXAnimationController** controller) {
  using namespace platform::d3dx9;
  if (!controller) return D3DERR_INVALIDCALL;
  *controller = nullptr;
  auto* c = new (std::nothrow) Controller(maxOutputs, maxSets, maxTracks, maxEvents);
  if (!c) return E_OUTOFMEMORY;
  *controller = c;
  return D3D_OK;
}

// The DirectMusic objects shared by both backends: the loader reads and checks files, the
// performance keeps track of which segment plays where, segments hold their data and the
// backend's prepared copy, audio paths hand out the 3D buffer and the listener.
#include "platform/dmusic/DMusic.h"

#include <algorithm>
#include <cmath>
#include <filesystem>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include "platform/FileSystem.h"
#include "platform/Platform.h"
#include "platform/dmusic/AudioBackend.h"
#include "platform/dmusic/DMusicHeadless.h"
#include "platform/win32/Win32Headless.h"

const GUID GUID_NULL = {0, 0, 0, {0, 0, 0, 0, 0, 0, 0, 0}};
const GUID GUID_PerfMasterVolume = {0xd2ac28b1, 0xb39b, 0x11d1, {0x87, 0x04, 0x00, 0x60, 0x08, 0x93, 0xb1, 0xbd}};
const GUID GUID_StandardMIDIFile = {0x06621075, 0xe92e, 0x11d1, {0xa8, 0xc5, 0x00, 0xc0, 0x4f, 0xa3, 0x72, 0x6e}};
const GUID GUID_DirectMusicAllTypes = {0xd2ac2893, 0xb39b, 0x11d1, {0x87, 0x04, 0x00, 0x60, 0x08, 0x93, 0xb1, 0xbd}};
const CLSID CLSID_DirectMusicLoader = {0xd2ac2892, 0xb39b, 0x11d1, {0x87, 0x04, 0x00, 0x60, 0x08, 0x93, 0xb1, 0xbd}};
const CLSID CLSID_DirectMusicPerformance = {0xd2ac2881, 0xb39b, 0x11d1, {0x87, 0x04, 0x00, 0x60, 0x08, 0x93, 0xb1, 0xbd}};
const CLSID CLSID_DirectMusicSegment = {0xd2ac2882, 0xb39b, 0x11d1, {0x87, 0x04, 0x00, 0x60, 0x08, 0x93, 0xb1, 0xbd}};
const IID IID_IDirectMusicLoader8 = {0x19e7c08c, 0x0a44, 0x4e6a, {0xa1, 0x16, 0x59, 0x5a, 0x7c, 0xd5, 0xde, 0x8c}};
const IID IID_IDirectMusicPerformance8 = {0x679c4137, 0xc62e, 0x4147, {0xb2, 0xb4, 0x9d, 0x56, 0x9a, 0xcb, 0x25, 0x4c}};
const IID IID_IDirectMusicSegment8 = {0xc6784488, 0x41a3, 0x418f, {0xaa, 0x15, 0xb3, 0x50, 0x93, 0xba, 0x42, 0xd4}};
const IID IID_IDirectMusicAudioPath8 = {0xc87631f5, 0x23be, 0x4986, {0x88, 0x36, 0x05, 0x83, 0x2f, 0xcc, 0x48, 0xf9}};
const IID IID_IDirectSound3DBuffer = {0x279afa86, 0x4981, 0x11ce, {0xa5, 0x21, 0x00, 0x20, 0xaf, 0x0b, 0xe5, 0x60}};
const IID IID_IDirectSound3DListener = {0x279afa84, 0x4981, 0x11ce, {0xa5, 0x21, 0x00, 0x20, 0xaf, 0x0b, 0xe5, 0x60}};

namespace platform::dmusic {

platform::d3d9::CallLog& AudioLog() {
  static platform::d3d9::CallLog log;
  return log;
}

namespace {

constexpr HRESULT CO_E_NOTINITIALIZED = static_cast<HRESULT>(0x800401F0u);
constexpr std::size_t kMaxSoundFileBytes = 64u * 1024u * 1024u;
constexpr std::size_t kMaxPathChars = 260;  // MAX_PATH, terminator included
// A piece whose events stretch over days plays as if it ended after one: the backends
// count its length in milliseconds and frames.
constexpr double kLongestSeconds = 24.0 * 3600.0;

// Writes a call into the headless log; true when the test asked for this call to fail.
bool Called(const char* name, std::initializer_list<DWORD> args = {}, const void* object = nullptr) {
  auto& log = AudioLog();
  if (!log.enabled) return false;
  platform::d3d9::CallRecord record;
  record.name = name;
  for (DWORD a : args)
    if (record.argCount < 8) record.args[record.argCount++] = a;
  record.object = object;
  log.Add(record);
  return log.ShouldFail(name);
}

AudioBackend& CurrentBackend() {
  return platform::GetBackend() == platform::Backend::Headless ? HeadlessBackend() : RealBackend();
}

// Wide paths carry one byte per character (see Sound::LoadFromFile); anything wider
// cannot name a file here.
bool Narrow(const WCHAR* wide, std::string* out) {
  out->clear();
  if (!wide) return false;
  for (std::size_t i = 0; wide[i]; ++i) {
    if (i >= kMaxPathChars) return false;
    if (wide[i] < 0 || wide[i] > 0xFF) return false;
    out->push_back(static_cast<char>(wide[i]));
  }
  return true;
}

bool IsRelative(const std::string& path) {
  if (path.empty()) return true;
  if (path[0] == '\\' || path[0] == '/') return false;
  return !(path.size() > 1 && path[1] == ':');
}

// What the performance, its paths and listeners share, so that a path outliving its
// performance never reaches a dead object.
struct OutputState {
  bool initialised = false;
  DS3DLISTENER listener{};
};

void DefaultListener(DS3DLISTENER* l) {
  *l = DS3DLISTENER{};
  l->dwSize = sizeof(DS3DLISTENER);
  l->vOrientFront = {0.0f, 0.0f, 1.0f};
  l->vOrientTop = {0.0f, 1.0f, 0.0f};
  l->flDistanceFactor = 1.0f;
  l->flRolloffFactor = 1.0f;
  l->flDopplerFactor = 1.0f;
}

class Listener final : public RefCounted<IDirectSound3DListener> {
 public:
  explicit Listener(std::shared_ptr<OutputState> state) : state_(std::move(state)) {}
  HRESULT GetAllParameters(DS3DLISTENER* parameters) override {
    if (Called("GetAllParameters", {1})) return E_FAIL;
    if (!parameters) return E_POINTER;
    if (parameters->dwSize != sizeof(DS3DLISTENER)) return DSERR_INVALIDPARAM;
    *parameters = state_->listener;
    return S_OK;
  }

 private:
  std::shared_ptr<OutputState> state_;
};

class Buffer3D final : public RefCounted<IDirectSound3DBuffer> {
 public:
  Buffer3D() {
    params_.dwSize = sizeof(DS3DBUFFER);
    params_.dwInsideConeAngle = 360;
    params_.dwOutsideConeAngle = 360;
    params_.vConeOrientation = {0.0f, 0.0f, 1.0f};
    params_.flMinDistance = 1.0f;
    params_.flMaxDistance = 1000000000.0f;
    params_.dwMode = DS3DMODE_NORMAL;
  }
  HRESULT GetAllParameters(DS3DBUFFER* parameters) override {
    if (Called("GetAllParameters", {0})) return E_FAIL;
    if (!parameters) return E_POINTER;
    if (parameters->dwSize != sizeof(DS3DBUFFER)) return DSERR_INVALIDPARAM;
    *parameters = params_;
    return S_OK;
  }
  HRESULT SetAllParameters(const DS3DBUFFER* parameters, DWORD apply) override {
    if (Called("SetAllParameters", {parameters ? parameters->dwMode : 0xFFFFFFFFu, apply}))
      return E_FAIL;
    if (!parameters) return E_POINTER;
    if (parameters->dwSize != sizeof(DS3DBUFFER) || parameters->dwMode > DS3DMODE_DISABLE ||
        apply > DS3D_DEFERRED || parameters->flMinDistance <= 0.0f ||
        parameters->flMaxDistance < parameters->flMinDistance)
      return DSERR_INVALIDPARAM;
    params_ = *parameters;
    return S_OK;
  }

 private:
  DS3DBUFFER params_{};
};

class AudioPath final : public RefCounted<IDirectMusicAudioPath8> {
 public:
  AudioPath(std::shared_ptr<OutputState> state, DWORD type, DWORD channels)
      : state_(std::move(state)), type_(type), channels_(channels) {}
  ~AudioPath() override {
    if (buffer_) buffer_->Release();
  }

  HRESULT GetObjectInPath(DWORD pchannel, DWORD stage, DWORD buffer, REFGUID, DWORD index,
                          REFIID iid, void** out) override {
    if (Called("GetObjectInPath", {pchannel, stage, buffer, index})) return E_FAIL;
    if (!out) return E_POINTER;
    *out = nullptr;
    if (!state_->initialised) return DMUS_E_NOT_INIT;
    if (buffer != 0 || index != 0) return DMUS_E_NOT_FOUND;
    if (pchannel != DMUS_PCHANNEL_ALL && pchannel >= channels_) return DMUS_E_NOT_FOUND;
    if (stage == DMUS_PATH_BUFFER) {
      if (type_ != DMUS_APATH_DYNAMIC_3D) return DMUS_E_NOT_FOUND;
      if (!IsEqualGUID(iid, IID_IDirectSound3DBuffer)) return E_NOINTERFACE;
      if (!buffer_) buffer_ = new Buffer3D();
      buffer_->AddRef();
      *out = static_cast<IDirectSound3DBuffer*>(buffer_);
      return S_OK;
    }
    if (stage == DMUS_PATH_PRIMARY_BUFFER) {
      if (!IsEqualGUID(iid, IID_IDirectSound3DListener)) return E_NOINTERFACE;
      *out = static_cast<IDirectSound3DListener*>(new Listener(state_));
      return S_OK;
    }
    return DMUS_E_NOT_FOUND;
  }

 private:
  std::shared_ptr<OutputState> state_;
  DWORD type_;
  DWORD channels_;
  Buffer3D* buffer_ = nullptr;  // created on first request, one per path
};

class Performance;

class Segment final : public RefCounted<IDirectMusicSegment8> {
 public:
  explicit Segment(std::shared_ptr<const SoundData> data) : data_(std::move(data)) {}
  ~Segment() override;

  HRESULT SetParam(REFGUID type, DWORD groupBits, DWORD index, MUSIC_TIME time, void*) override {
    if (Called("SetParam", {groupBits, index, static_cast<DWORD>(time)}, this)) return E_FAIL;
    // The synthesiser always plays files as Standard MIDI; the mark changes nothing here.
    return IsEqualGUID(type, GUID_StandardMIDIFile) ? S_OK : DMUS_E_TYPE_UNSUPPORTED;
  }
  HRESULT Download(IUnknown* target) override;
  HRESULT Unload(IUnknown* target) override;

  const SoundData& Data() const { return *data_; }
  // The backend's copy for this performance; null unless downloaded to it.
  PreparedSound* PreparedFor(const Performance* performance) const {
    return performance_ == performance ? prepared_.get() : nullptr;
  }
  // Called by a performance that closes down: its backend's copy goes now.
  void DropPrepared(AudioBackend& backend) {
    if (prepared_) backend.Forget(prepared_.get());
    prepared_.reset();
  }

 private:
  void Detach();

  std::shared_ptr<const SoundData> data_;
  Performance* performance_ = nullptr;  // holds a reference while downloaded
  std::unique_ptr<PreparedSound> prepared_;
};

class Performance final : public RefCounted<IDirectMusicPerformance8> {
 public:
  explicit Performance(AudioBackend& backend)
      : backend_(backend), state_(std::make_shared<OutputState>()) {}
  ~Performance() override { CloseDown(); }

  HRESULT InitAudio(IDirectMusic** music, IDirectSound** sound, HWND, DWORD defaultPathType,
                    DWORD pchannelCount, DWORD flags, DMUS_AUDIOPARAMS* params) override {
    DWORD rate = 22050;
    if (params && (params->dwValidData & DMUS_AUDIOPARAMS_SAMPLERATE)) rate = params->dwSampleRate;
    if (Called("InitAudio", {defaultPathType, pchannelCount, flags, rate})) return E_FAIL;
    if (music) *music = nullptr;
    if (sound) *sound = nullptr;
    if (state_->initialised) return E_FAIL;
    if (params && params->dwSize != sizeof(DMUS_AUDIOPARAMS)) return E_INVALIDARG;
    if (rate < 8000 || rate > 192000) return E_INVALIDARG;
    if (defaultPathType != 0 && !ValidPathType(defaultPathType)) return E_INVALIDARG;
    if (!backend_.Open(static_cast<int>(rate))) return DMUS_E_NOT_INIT;
    opened_ = true;
    state_->initialised = true;
    DefaultListener(&state_->listener);
    if (defaultPathType != 0)
      defaultPath_ = new AudioPath(state_, defaultPathType, std::max<DWORD>(pchannelCount, 1));
    return S_OK;
  }

  HRESULT CreateStandardAudioPath(DWORD type, DWORD pchannelCount, BOOL,
                                  IDirectMusicAudioPath** out) override {
    if (Called("CreateStandardAudioPath", {type, pchannelCount})) return E_FAIL;
    if (!out) return E_POINTER;
    *out = nullptr;
    if (!state_->initialised) return DMUS_E_NOT_INIT;
    if (!ValidPathType(type) || pchannelCount == 0) return E_INVALIDARG;
    *out = new AudioPath(state_, type, pchannelCount);
    return S_OK;
  }

  HRESULT GetDefaultAudioPath(IDirectMusicAudioPath** out) override {
    if (Called("GetDefaultAudioPath")) return E_FAIL;
    if (!out) return E_POINTER;
    *out = nullptr;
    if (!state_->initialised) return DMUS_E_NOT_INIT;
    if (!defaultPath_) return DMUS_E_NOT_FOUND;
    defaultPath_->AddRef();
    *out = defaultPath_;
    return S_OK;
  }

  HRESULT PlaySegmentEx(IUnknown* source, WCHAR*, IUnknown*, DWORD flags, std::int64_t,
                        IDirectMusicSegmentState** state, IUnknown*, IUnknown*) override {
    if (Called("PlaySegmentEx", {flags}, source)) return E_FAIL;
    if (state) *state = nullptr;
    if (!source) return E_POINTER;
    if (!state_->initialised) return DMUS_E_NOT_INIT;
    auto* segment = dynamic_cast<Segment*>(source);
    if (!segment) return E_INVALIDARG;
    PreparedSound* prepared = segment->PreparedFor(this);
    if (!prepared) return DMUS_E_NOT_INIT;  // never downloaded to this performance
    const bool secondary = (flags & DMUS_SEGF_SECONDARY) != 0;
    const bool isWave = segment->Data().kind == SoundFileKind::Wave;
    if (secondary != isWave) return DMUS_E_TYPE_UNSUPPORTED;
    if (secondary) {
      PruneVoices();
      const int voice = backend_.PlayVoice(prepared);
      if (voice < 0) return E_OUTOFMEMORY;
      voices_.push_back({prepared, voice});
      return S_OK;
    }
    if (!backend_.PlayPiece(prepared)) return E_FAIL;
    piece_ = prepared;
    return S_OK;
  }

  HRESULT IsPlaying(IDirectMusicSegment* segment, IDirectMusicSegmentState*) override {
    if (Called("IsPlaying", {}, segment)) return E_FAIL;
    if (!segment) return E_POINTER;
    if (!state_->initialised) return DMUS_E_NOT_INIT;
    const auto* ours = dynamic_cast<Segment*>(segment);
    const PreparedSound* prepared = ours ? ours->PreparedFor(this) : nullptr;
    if (!prepared) return S_FALSE;
    if (piece_ == prepared && backend_.PiecePlaying(prepared)) return S_OK;
    PruneVoices();
    for (const Voice& v : voices_)
      if (v.sound == prepared) return S_OK;
    return S_FALSE;
  }

  HRESULT Stop(IDirectMusicSegment* segment, IDirectMusicSegmentState*, MUSIC_TIME,
               DWORD flags) override {
    if (Called("Stop", {flags}, segment)) return E_FAIL;
    if (!state_->initialised) return S_OK;
    if (!segment) {
      StopAll();
      return S_OK;
    }
    const auto* ours = dynamic_cast<Segment*>(segment);
    const PreparedSound* prepared = ours ? ours->PreparedFor(this) : nullptr;
    if (prepared) StopSound(prepared);
    return S_OK;
  }

  HRESULT SetGlobalParam(REFGUID type, void* param, DWORD size) override {
    LONG value = 0;
    if (param && size == sizeof(LONG)) value = *static_cast<const LONG*>(param);
    if (Called("SetGlobalParam", {static_cast<DWORD>(value), size})) return E_FAIL;
    if (!param) return E_POINTER;
    if (!IsEqualGUID(type, GUID_PerfMasterVolume)) return DMUS_E_TYPE_UNSUPPORTED;
    if (size != sizeof(LONG)) return E_INVALIDARG;
    value = std::clamp(value, DMUS_VOLUME_MIN, DMUS_VOLUME_MAX);
    // +10 dB, the loudest setting in the useful range, is the output's full scale: the
    // game always asks for it, and everything below is attenuation from there.
    backend_.SetMasterGain(static_cast<float>(std::pow(10.0, (value - 1000) / 2000.0)));
    return S_OK;
  }

  HRESULT CloseDown() override {
    if (opened_ && Called("CloseDown")) return E_FAIL;
    if (!opened_) return S_OK;
    StopAll();
    for (Segment* s : downloaded_) s->DropPrepared(backend_);
    if (defaultPath_) defaultPath_->Release();
    defaultPath_ = nullptr;
    state_->initialised = false;
    backend_.Close();
    opened_ = false;
    return S_OK;
  }

  // Segment bookkeeping.
  HRESULT Prepare(Segment* segment, std::shared_ptr<const SoundData> data,
                  std::unique_ptr<PreparedSound>* out) {
    if (!state_->initialised) return DMUS_E_NOT_INIT;
    *out = backend_.Prepare(std::move(data));
    if (!*out) return E_FAIL;
    downloaded_.insert(segment);
    return S_OK;
  }
  void Forget(Segment* segment, PreparedSound* prepared) {
    if (prepared) {
      StopSound(prepared);
      backend_.Forget(prepared);
    }
    downloaded_.erase(segment);
  }

 private:
  struct Voice {
    const PreparedSound* sound;
    int id;
  };

  static bool ValidPathType(DWORD type) {
    return type == DMUS_APATH_SHARED_STEREOPLUSREVERB || type == DMUS_APATH_DYNAMIC_3D ||
           type == DMUS_APATH_DYNAMIC_MONO || type == DMUS_APATH_DYNAMIC_STEREO;
  }

  void PruneVoices() {
    voices_.erase(std::remove_if(voices_.begin(), voices_.end(),
                                 [this](const Voice& v) {
                                   return !backend_.VoicePlaying(v.id, v.sound);
                                 }),
                  voices_.end());
  }

  void StopSound(const PreparedSound* prepared) {
    for (const Voice& v : voices_)
      if (v.sound == prepared) backend_.StopVoice(v.id, v.sound);
    voices_.erase(std::remove_if(voices_.begin(), voices_.end(),
                                 [prepared](const Voice& v) { return v.sound == prepared; }),
                  voices_.end());
    if (piece_ == prepared) {
      backend_.StopPiece();
      piece_ = nullptr;
    }
  }

  void StopAll() {
    for (const Voice& v : voices_) backend_.StopVoice(v.id, v.sound);
    voices_.clear();
    if (piece_) backend_.StopPiece();
    piece_ = nullptr;
  }

  AudioBackend& backend_;
  std::shared_ptr<OutputState> state_;
  bool opened_ = false;
  AudioPath* defaultPath_ = nullptr;  // owned reference
  std::vector<Voice> voices_;
  const PreparedSound* piece_ = nullptr;  // the primary segment last started
  std::set<Segment*> downloaded_;         // segments holding a prepared copy from here
};

Segment::~Segment() { Detach(); }

void Segment::Detach() {
  if (!performance_) return;
  Performance* performance = performance_;
  performance_ = nullptr;
  performance->Forget(this, prepared_.get());
  prepared_.reset();
  performance->Release();
}

HRESULT Segment::Download(IUnknown* target) {
  if (Called("Download", {}, this)) return E_FAIL;
  if (!target) return E_POINTER;
  // An audio path downloads to the performance it belongs to; the game always passes
  // the performance itself.
  auto* performance = dynamic_cast<Performance*>(target);
  if (!performance) return E_INVALIDARG;
  if (performance_ == performance && prepared_) return S_OK;
  Detach();
  std::unique_ptr<PreparedSound> prepared;
  const HRESULT hr = performance->Prepare(this, data_, &prepared);
  if (FAILED(hr)) return hr;
  prepared_ = std::move(prepared);
  performance_ = performance;
  performance_->AddRef();
  return S_OK;
}

HRESULT Segment::Unload(IUnknown* target) {
  if (Called("Unload", {}, this)) return E_FAIL;
  if (!target) return E_POINTER;
  if (dynamic_cast<Performance*>(target) != performance_ || !performance_) return S_FALSE;
  Detach();
  return S_OK;
}

class Loader final : public RefCounted<IDirectMusicLoader8> {
 public:
  ~Loader() override {
    for (IUnknown* object : cache_) object->Release();
  }

  HRESULT LoadObjectFromFile(REFGUID classId, REFIID iid, WCHAR* filePath, void** out) override {
    if (Called("LoadObjectFromFile")) return E_FAIL;
    if (!out) return E_POINTER;
    *out = nullptr;
    if (!IsEqualGUID(classId, CLSID_DirectMusicSegment)) return DMUS_E_TYPE_UNSUPPORTED;
    if (!IsEqualGUID(iid, IID_IDirectMusicSegment8)) return E_NOINTERFACE;
    std::string path;
    if (!Narrow(filePath, &path) || path.empty()) return E_INVALIDARG;
    std::string bytes;
    if (!platform::ReadWholeFile(path, &bytes, kMaxSoundFileBytes)) {
      if (searchDirectory_.empty() || !IsRelative(path) ||
          !platform::ReadWholeFile(searchDirectory_ + "\\" + path, &bytes, kMaxSoundFileBytes))
        return DMUS_E_LOADER_OBJECTNOTFOUND;
    }
    auto data = std::make_shared<SoundData>();
    const auto* p = reinterpret_cast<const std::uint8_t*>(bytes.data());
    switch (DetectSoundFile(p, bytes.size())) {
      case SoundFileKind::Wave:
        if (!ReadWave(p, bytes.size(), &data->wave)) return DMUS_E_INVALIDFILE;
        data->kind = SoundFileKind::Wave;
        data->seconds = std::min(data->wave.Seconds(), kLongestSeconds);
        break;
      case SoundFileKind::Midi: {
        MidiInfo info;
        if (!ReadMidi(p, bytes.size(), &info)) return DMUS_E_INVALIDFILE;
        data->kind = SoundFileKind::Midi;
        data->midi.assign(p + info.smfOffset, p + info.smfOffset + info.smfSize);
        data->seconds = std::min(info.seconds, kLongestSeconds);
        data->defaultProgramChannels = info.defaultProgramChannels;
        break;
      }
      default: return DMUS_E_INVALIDFILE;
    }
    auto* segment = new Segment(std::move(data));
    segment->AddRef();  // the loader's own reference, until ReleaseObjectByUnknown
    cache_.push_back(segment);
    *out = static_cast<IDirectMusicSegment8*>(segment);
    return S_OK;
  }

  HRESULT ReleaseObjectByUnknown(IUnknown* object) override {
    if (Called("ReleaseObjectByUnknown", {}, object)) return E_FAIL;
    if (!object) return E_POINTER;
    auto it = std::find(cache_.begin(), cache_.end(), object);
    if (it == cache_.end()) return S_FALSE;
    cache_.erase(it);
    object->Release();
    return S_OK;
  }

  HRESULT SetSearchDirectory(REFGUID, WCHAR* path, BOOL) override {
    if (Called("SetSearchDirectory")) return E_FAIL;
    std::string folder;
    if (!Narrow(path, &folder) || folder.empty()) return E_INVALIDARG;
    while (!folder.empty() && (folder.back() == '\\' || folder.back() == '/')) folder.pop_back();
    std::error_code ec;
    if (!std::filesystem::is_directory(platform::ToHostPath(folder.empty() ? "/" : folder), ec))
      return DMUS_E_LOADER_OBJECTNOTFOUND;
    searchDirectory_ = folder;
    return S_OK;
  }

 private:
  std::vector<IUnknown*> cache_;  // one reference each
  std::string searchDirectory_;
};

}  // namespace

}  // namespace platform::dmusic

HRESULT CoCreateInstance(REFCLSID classId, IUnknown* outer, DWORD context, REFIID iid,
                         void** out) {
  using namespace platform::dmusic;
  if (Called("CoCreateInstance", {classId.Data1, context})) return E_FAIL;
  if (!out) return E_POINTER;
  *out = nullptr;
  if (outer) return CLASS_E_NOAGGREGATION;
  if (platform::win32::HeadlessComDepth() <= 0) return CO_E_NOTINITIALIZED;
  if (!(context & CLSCTX_INPROC_SERVER)) return REGDB_E_CLASSNOTREG;
  if (IsEqualGUID(classId, CLSID_DirectMusicLoader)) {
    if (!IsEqualGUID(iid, IID_IDirectMusicLoader8)) return E_NOINTERFACE;
    *out = static_cast<IDirectMusicLoader8*>(new Loader());
    return S_OK;
  }
  if (IsEqualGUID(classId, CLSID_DirectMusicPerformance)) {
    if (!IsEqualGUID(iid, IID_IDirectMusicPerformance8)) return E_NOINTERFACE;
    *out = static_cast<IDirectMusicPerformance8*>(new Performance(CurrentBackend()));
    return S_OK;
  }
  return REGDB_E_CLASSNOTREG;
}

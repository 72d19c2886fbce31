#include "engine/sound/Sound.h"

#include "engine/sound/SoundSystem.h"
#include "platform/FileSystem.h"

namespace {

constexpr std::size_t kMaxPath = 260;  // wide characters, terminator included

}  // namespace

Sound::~Sound() {
  Sound::Unload();
  ReleasePath();
}

void Sound::ReleasePath() {
  if (path) {
    path->Release();
    path = nullptr;
  }
}

bool Sound::AfterLoad() { return true; }

bool Sound::LoadFromFile(const std::string& filePath) {
  // The file must exist before anything loaded earlier is dropped.
  if (platform::ResolvePath(filePath).empty()) return false;
  Unload();
  if (!g_soundSystem || !g_soundSystem->GetPerformance()) return false;
  // The sound keeps its own references, so that a sound system shut down (or started
  // again) before its sounds are unloaded leaves them nothing dangling to call.
  performance = g_soundSystem->GetPerformance();
  performance->AddRef();
  if (!PreparePath()) return false;
  loader = g_soundSystem->GetLoader();
  if (!loader) return false;
  loader->AddRef();
  // One wide character per byte keeps any file name's bytes as they are; a path too long
  // for the loader is refused rather than cut short into another name.
  if (filePath.size() >= kMaxPath) return false;
  WCHAR wide[kMaxPath];
  for (std::size_t i = 0; i < filePath.size(); ++i)
    wide[i] = static_cast<WCHAR>(static_cast<unsigned char>(filePath[i]));
  wide[filePath.size()] = L'\0';
  if (FAILED(loader->LoadObjectFromFile(CLSID_DirectMusicSegment, IID_IDirectMusicSegment8, wide,
                                        reinterpret_cast<void**>(&segment))) ||
      !segment)
    return false;
  if (!AfterLoad()) return false;
  return SUCCEEDED(segment->Download(performance));
}

bool Sound::Start(bool stopFirst) {
  if (stopFirst && segment && performance) performance->Stop(segment, nullptr, 0, 0);
  if (!segment || !performance) return false;
  return Play();
}

void Sound::Unload() {
  if (segment && performance) performance->Stop(segment, nullptr, 0, 0);
  if (segment && performance) {
    if (loader) loader->ReleaseObjectByUnknown(segment);
    segment->Unload(performance);
    segment->Release();
    segment = nullptr;
  }
  if (loader) loader->Release();
  loader = nullptr;
  if (performance) performance->Release();
  performance = nullptr;
}

bool Sound::IsPlaying() const {
  if (!segment || !performance) return false;
  return performance->IsPlaying(segment, nullptr) == S_OK;
}

bool Sound::Stop() {
  if (!segment || !performance) return false;
  return SUCCEEDED(performance->Stop(segment, nullptr, 0, 0));
}

bool WaveSound::PreparePath() {
  ReleasePath();
  return SUCCEEDED(performance->CreateStandardAudioPath(DMUS_APATH_DYNAMIC_STEREO, 1, TRUE, &path));
}

bool WaveSound::Play() {
  return SUCCEEDED(performance->PlaySegmentEx(segment, nullptr, nullptr, DMUS_SEGF_SECONDARY, 0,
                                              nullptr, nullptr, path));
}

WaveSound3D::~WaveSound3D() {
  if (buffer3D) buffer3D->Release();
}

bool WaveSound3D::PreparePath() {
  ReleasePath();
  if (buffer3D) {
    buffer3D->Release();
    buffer3D = nullptr;
  }
  if (FAILED(performance->CreateStandardAudioPath(DMUS_APATH_DYNAMIC_3D, 1, TRUE, &path)))
    return false;
  return SUCCEEDED(path->GetObjectInPath(DMUS_PCHANNEL_ALL, DMUS_PATH_BUFFER, 0, GUID_NULL, 0,
                                         IID_IDirectSound3DBuffer,
                                         reinterpret_cast<void**>(&buffer3D)));
}

bool WaveSound3D::Play() {
  return SUCCEEDED(performance->PlaySegmentEx(segment, nullptr, nullptr, DMUS_SEGF_SECONDARY, 0,
                                              nullptr, nullptr, path));
}

bool MusicSegment::PreparePath() {
  ReleasePath();
  return SUCCEEDED(performance->GetDefaultAudioPath(&path));
}

bool MusicSegment::AfterLoad() {
  return SUCCEEDED(segment->SetParam(GUID_StandardMIDIFile, 0xFFFFFFFFu, 0, 0, nullptr));
}

bool MusicSegment::Play() {
  return SUCCEEDED(
      performance->PlaySegmentEx(segment, nullptr, nullptr, 0, 0, nullptr, nullptr, path));
}

#include "engine/sound/SoundManagers.h"

WaveSoundManager* g_waveSoundManager = nullptr;
WaveSound3DManager* g_waveSound3DManager = nullptr;
MusicManager* g_musicManager = nullptr;

namespace {

template <class T>
bool LoadSound(T& sound, const std::string& path) {
  return sound.LoadFromFile(path);
}

}  // namespace

bool WaveSoundManager::Load(const std::string& key) {
  return LoadFromFolder(key, LoadSound<WaveSound>);
}

bool WaveSound3DManager::Load(const std::string& key) {
  return LoadFromFolder(key, LoadSound<WaveSound3D>);
}

bool MusicManager::Load(const std::string& key) {
  return LoadFromFolder(key, LoadSound<MusicSegment>);
}

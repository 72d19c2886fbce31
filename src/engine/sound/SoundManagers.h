// The three sound managers: wave sounds, 3D wave sounds and music segments, each a
// resource manager whose "__DEFAULT__" entry is a silent sound handed out for any file
// that cannot be loaded.
#pragma once

#include <string>

#include "engine/resources/ResourceManager.h"
#include "engine/sound/Sound.h"

extern std::string waveSoundFolder;    // "Wave sounds\" until the game points it at its data
extern std::string waveSound3DFolder;  // "3D wave sounds\"
extern std::string musicFolder;        // "Wave sounds\"

class WaveSoundManager : public ResourceManager<WaveSound> {
 public:
  bool Load(const std::string& key) override;
  std::string Folder() const override { return waveSoundFolder; }
};

class WaveSound3DManager : public ResourceManager<WaveSound3D> {
 public:
  bool Load(const std::string& key) override;
  std::string Folder() const override { return waveSound3DFolder; }
};

class MusicManager : public ResourceManager<MusicSegment> {
 public:
  bool Load(const std::string& key) override;
  std::string Folder() const override { return musicFolder; }
};

extern WaveSoundManager* g_waveSoundManager;
extern WaveSound3DManager* g_waveSound3DManager;
extern MusicManager* g_musicManager;

#include "gameplay/Sounds.h"

#if __has_include("engine/sound/SoundManagers.h")
#include "engine/sound/SoundManagers.h"

WaveSound* AcquireWaveSound(const char* name) {
  return g_waveSoundManager ? g_waveSoundManager->Acquire(name) : nullptr;
}

void PlayEffect(WaveSound* sound) {
  if (sound) sound->Start(false);
}
#else
WaveSound* AcquireWaveSound(const char*) { return nullptr; }
void PlayEffect(WaveSound*) {}
#endif

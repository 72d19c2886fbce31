#include "gameplay/Sounds.h"

#include "engine/sound/SoundManagers.h"

WaveSound* AcquireWaveSound(const char* name) {
  return g_waveSoundManager ? g_waveSoundManager->Acquire(name) : nullptr;
}

void PlayEffect(WaveSound* sound) {
  if (sound) sound->Start(false);
}

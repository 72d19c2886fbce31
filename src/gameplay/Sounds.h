// The gameplay's sound effects: taken from the wave-sound manager by name and played
// without stopping an earlier start, so overlapping events are all heard.
#pragma once

class WaveSound;

// The manager's sound for the name (its silent default for a missing file); null when
// there is no wave-sound manager.
WaveSound* AcquireWaveSound(const char* name);
// Starts the sound alongside any earlier start; null plays nothing.
void PlayEffect(WaveSound* sound);

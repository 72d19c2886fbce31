// Readers for the two kinds of file the loader accepts: RIFF WAVE (integer PCM of 8 to
// 32 bits or IEEE float, any channel count, plain or extensible format chunk) and
// Standard MIDI files (formats 0-2, bare or wrapped in RIFF RMID). They check the whole
// structure and work out how long the sound plays.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace platform::dmusic {

// Decoded samples, as stereo float frames at the file's own rate (mono is doubled; files
// with more channels keep their first two, the front pair).
struct WaveData {
  int sampleRate = 0;
  std::vector<float> frames;  // interleaved left, right; values in -1..1
  std::size_t FrameCount() const { return frames.size() / 2; }
  double Seconds() const {
    return sampleRate > 0 ? static_cast<double>(FrameCount()) / sampleRate : 0.0;
  }
};

// A data chunk that runs past the end of the file keeps the whole frames that are there.
// False for anything that is not a WAVE file with a usable format and a data chunk.
bool ReadWave(const std::uint8_t* data, std::size_t size, WaveData* out);

struct MidiInfo {
  int format = 0;
  int trackCount = 0;      // tracks read
  std::int64_t endTick = 0;  // the latest end of any track
  double seconds = 0.0;      // endTick through the tempo map
  std::size_t smfOffset = 0;  // where the Standard MIDI data begins (after a RIFF RMID wrapper)
  std::size_t smfSize = 0;
  // Bit c set: channel c sounds a note before any program change reaches it, so it
  // plays the synthesiser's default instrument.
  std::uint16_t defaultProgramChannels = 0;
};

// Reads the whole event structure: running status, system exclusive and meta events,
// tempo changes; a track cut short by the end of the file ends there. False when the
// header is bad or there is no track.
bool ReadMidi(const std::uint8_t* data, std::size_t size, MidiInfo* out);

enum class SoundFileKind { Unknown, Wave, Midi };

// Which reader a file's first bytes call for.
SoundFileKind DetectSoundFile(const std::uint8_t* data, std::size_t size);

}  // namespace platform::dmusic

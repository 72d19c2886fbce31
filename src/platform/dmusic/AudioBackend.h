// What an audio backend supplies to the shared DirectMusic objects: an output, sounds
// prepared for it, effect voices that mix freely and the one piece of music. One real
// backend (SDL2_mixer) and one headless backend (a clock the test advances).
#pragma once

#include <cstdint>
#include <memory>
#include <vector>

#include "platform/dmusic/SoundFiles.h"

namespace platform::dmusic {

// A file's contents as the loader read them.
struct SoundData {
  SoundFileKind kind = SoundFileKind::Unknown;
  WaveData wave;                    // Wave: decoded frames
  std::vector<std::uint8_t> midi;   // Midi: the Standard MIDI bytes
  std::uint16_t defaultProgramChannels = 0;  // Midi: see MidiInfo
  double seconds = 0.0;             // how long one play lasts
};

// A sound made ready for one backend; destroyed through the backend that made it.
struct PreparedSound {
  virtual ~PreparedSound() = default;
  std::shared_ptr<const SoundData> data;
};

class AudioBackend {
 public:
  virtual ~AudioBackend() = default;

  // Opens the output at sampleRate; falls back to a silent output that keeps time when
  // there is no audio device. False only when not even that can be had.
  virtual bool Open(int sampleRate) = 0;
  virtual void Close() = 0;

  // Null when the sound cannot be made ready (for example no MIDI synthesiser).
  virtual std::unique_ptr<PreparedSound> Prepare(std::shared_ptr<const SoundData> data) = 0;
  // Stops everything the sound plays before it is destroyed.
  virtual void Forget(PreparedSound* sound) = 0;

  // Starts an effect voice; -1 when none can be had.
  virtual int PlayVoice(PreparedSound* sound) = 0;
  virtual bool VoicePlaying(int voice, const PreparedSound* sound) = 0;
  virtual void StopVoice(int voice, const PreparedSound* sound) = 0;

  // The one piece: starting one replaces the piece that plays.
  virtual bool PlayPiece(PreparedSound* sound) = 0;
  virtual bool PiecePlaying(const PreparedSound* sound) = 0;
  virtual void StopPiece() = 0;

  // Linear gain applied to the whole mix.
  virtual void SetMasterGain(float gain) = 0;
};

AudioBackend& RealBackend();
AudioBackend& HeadlessBackend();

}  // namespace platform::dmusic

// Writes small WAV and Standard MIDI files for the sound tests, so that no binary fixture
// is needed: tones of a chosen pitch and length, in any sample encoding, and single-voice
// MIDI pieces with tempo changes.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

// A sine tone; samples written as 8/16/24/32-bit PCM or 32-bit float (format 3).
struct ToneSpec {
  int sampleRate = 44100;
  int channels = 1;
  int bits = 16;
  bool isFloat = false;
  bool extensible = false;  // WAVE_FORMAT_EXTENSIBLE header
  double seconds = 0.25;
  double frequency = 1000.0;
  double amplitude = 0.9;
};
std::string EncodeToneWave(const ToneSpec& spec);

struct MidiNote {
  std::uint32_t tick;
  std::uint32_t length;
  std::uint8_t key;
  std::uint8_t velocity = 100;
};
struct MidiTempo {
  std::uint32_t tick;
  std::uint32_t microsecondsPerQuarter;
};
// A format-1 file: a tempo track and one note track on channel 0 with the given program.
// endTick, when later than the last note, places the note track's end there.
std::string EncodeMidi(const std::vector<MidiNote>& notes, const std::vector<MidiTempo>& tempos,
                       int ticksPerQuarter = 480, int program = 73, std::uint32_t endTick = 0);

// A loud passage for headroom checks: for `seconds`, full-velocity chords on piano and
// strings, a bass line and drums (channel 10) on every beat at 120 beats a minute.
std::string EncodeLoudMidi(double seconds);

// A piece of one note of the given key that lasts `seconds` at 120 beats a minute.
std::string EncodeMidiNote(double seconds, std::uint8_t key = 69, int program = 73);

// Readers for the generated content, written independently of the generator so that the
// content tests check the files as the game and the platform will see them: pictures
// (RGBA pixels), WAV sounds, Standard MIDI files, and the installed SoundFont's presets.
#pragma once

#include <cstdint>
#include <set>
#include <string>
#include <utility>
#include <vector>

namespace content {

std::string DataDir();       // build/Data
std::string ArtifactDir();   // build/artifacts/content, created on demand

struct Image {
  int w = 0, h = 0;
  std::vector<uint8_t> rgba;  // straight alpha, top row first
  const uint8_t* At(int x, int y) const { return &rgba[(static_cast<size_t>(y) * w + x) * 4]; }
};
bool LoadPng(const std::string& path, Image& out);
bool LoadJpeg(const std::string& path, Image& out);  // alpha 255

struct Wav {
  int format = 0, channels = 0, rate = 0, bits = 0;
  std::vector<float> samples;  // first channel, −1 … 1
  double Seconds() const { return rate ? static_cast<double>(samples.size()) / rate : 0; }
};
bool LoadWav(const std::string& path, Wav& out);

struct MidiFile {
  struct Note {
    int channel, key, velocity;
    int program;        // the channel's program when the note starts
    double start, end;  // seconds
  };
  int format = -1;
  int tracks = 0;
  double seconds = 0;             // to the last track's end
  std::vector<Note> notes;
  std::set<std::pair<int, int>> programs;  // (channel, program) ever selected
  int hangingNotes = 0;           // note-ons never released
};
bool LoadMidi(const std::string& path, MidiFile& out);

// Which keys each (bank, program) preset of a SoundFont 2 file can sound.
struct SoundFont {
  // (bank, program) → 128 flags
  std::vector<std::pair<std::pair<int, int>, std::vector<bool>>> presets;
  const std::vector<bool>* Find(int bank, int program) const;
};
bool LoadSoundFont(const std::string& path, SoundFont& out);

}  // namespace content

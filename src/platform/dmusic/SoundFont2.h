// SoundFont 2 files: a checked reader of their structure (presets, instruments, zones
// with their raw generators and modulators, sample headers), a writer, and where the
// music's soundfonts are looked for. The sample data of a large font stays on disk and
// is copied out by point ranges.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace platform::dmusic::sf2 {

// Generator operators the reader and the trimming step interpret; all others are kept
// as they stand.
enum : std::uint16_t { kGenKeyRange = 43, kGenVelRange = 44, kGenInstrument = 41, kGenSampleId = 53 };
// Sample types: bits for the stereo links, and the ROM flag.
enum : std::uint16_t { kRightSample = 2, kLeftSample = 4, kLinkedSample = 8, kRomSample = 0x8000 };

// The name of the game's own soundfont in its Data folder, beside the pieces it was cut
// for (tools/sftrim/Run.cmake writes it under the same name).
inline constexpr const char* kGameSoundFontName = "Instrumentos.sf2";

// The name of the game's own soundfont cut for one piece alone, beside the whole one: a
// synthesiser playing that piece then holds the samples of what it sounds and no more.
// Named after the piece's bytes, so that a piece that changed never meets a font cut for
// what it was before.
std::string PieceSoundFontName(const std::uint8_t* midi, std::size_t size);

struct Generator {
  std::uint16_t oper = 0;
  std::uint16_t amount = 0;  // ranges: low byte the lowest, high byte the highest value
};

struct Modulator {
  std::uint16_t source = 0, destination = 0;
  std::int16_t amount = 0;
  std::uint16_t amountSource = 0, transform = 0;
};

struct Zone {
  std::vector<Generator> generators;
  std::vector<Modulator> modulators;
  // The generator with this operator, or null.
  const Generator* Find(std::uint16_t oper) const;
  // Inclusive key and velocity range the zone answers (its own, else all of 0..127).
  void Ranges(int* keyLo, int* keyHi, int* velLo, int* velHi) const;
};

struct Preset {
  char name[20] = {};
  std::uint16_t program = 0, bank = 0;
  std::uint32_t library = 0, genre = 0, morphology = 0;
  std::vector<Zone> zones;
};

struct Instrument {
  char name[20] = {};
  std::vector<Zone> zones;
};

struct Sample {
  char name[20] = {};
  std::uint32_t start = 0, end = 0, loopStart = 0, loopEnd = 0, rate = 0;
  std::uint8_t pitch = 0;
  std::int8_t correction = 0;
  std::uint16_t link = 0, type = 0;
};

struct SubChunk {
  char id[4] = {};
  std::string bytes;
};

struct SoundFont {
  std::vector<SubChunk> info;  // the INFO list's sub-chunks, as they stand
  std::vector<Preset> presets;
  std::vector<Instrument> instruments;
  std::vector<Sample> samples;
  // Where the 16-bit points, and the optional low bytes of 24-bit ones, are in the file
  // that was read, and how many points there are.
  std::uint64_t smplAt = 0, sm24At = 0;
  std::uint32_t points = 0;
  bool hasSm24 = false;
  // Sample data to write (little-endian 16-bit points, and one low byte a point when
  // hasSm24); the reader leaves these empty.
  std::vector<std::uint8_t> smpl, sm24;
};

// Reads and checks the file's structure: every chunk inside its parent and the file,
// every index in range, every sample's points inside the sample data. False with a
// reason when the file is truncated, corrupt or not a soundfont; nothing larger than the
// file is ever allocated.
bool Read(const std::string& path, SoundFont* out, std::string* why);

// Appends points [first, first + count) of the font read from `path` to font.smpl (and
// font.sm24 when the source has them) of `into`; points past the source's end are zeros.
bool CopyPoints(const std::string& path, const SoundFont& source, std::uint32_t first,
                std::uint32_t count, SoundFont* into, std::string* why);

// Writes the font with its sample data to `path` through a temporary file renamed into
// place, so that a failure leaves no partial file under that name.
bool Write(const std::string& path, const SoundFont& font, std::string* why);

// The system's General MIDI soundfont, the one the music falls back to; empty when none.
std::string SystemSoundFont();

}  // namespace platform::dmusic::sf2

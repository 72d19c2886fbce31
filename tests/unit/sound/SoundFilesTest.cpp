// The WAV and Standard MIDI readers behind the loader: every sample encoding decodes to
// the same tone, damaged files give a safe result, and a piece's length follows its
// tempo map.
#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <vector>

#include "platform/dmusic/SoundFiles.h"
#include "support/TestSounds.h"

namespace {

using platform::dmusic::MidiInfo;
using platform::dmusic::ReadMidi;
using platform::dmusic::ReadWave;
using platform::dmusic::WaveData;

const std::uint8_t* Bytes(const std::string& s) {
  return reinterpret_cast<const std::uint8_t*>(s.data());
}

bool Wave(const std::string& s, WaveData* out) { return ReadWave(Bytes(s), s.size(), out); }
bool Midi(const std::string& s, MidiInfo* out) { return ReadMidi(Bytes(s), s.size(), out); }

TEST(SoundFiles, EveryWaveEncodingDecodesTheSameTone) {
  struct Case {
    const char* name;
    int bits;
    bool isFloat;
    bool extensible;
    int channels;
    double tolerance;
  };
  const Case cases[] = {
      {"8-bit", 8, false, false, 1, 0.02},         {"16-bit", 16, false, false, 1, 1e-4},
      {"24-bit", 24, false, false, 2, 1e-6},       {"32-bit", 32, false, false, 1, 1e-6},
      {"float", 32, true, false, 2, 1e-6},         {"extensible 16", 16, false, true, 2, 1e-4},
      {"extensible float", 32, true, true, 1, 1e-6}, {"6 channels", 16, false, false, 6, 1e-4},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    ToneParams tone;
    tone.sampleRate = 22050;
    tone.bits = c.bits;
    tone.isFloat = c.isFloat;
    tone.extensible = c.extensible;
    tone.channels = c.channels;
    tone.seconds = 0.5;
    tone.frequency = 441.0;
    tone.amplitude = 0.5;
    WaveData w;
    ASSERT_TRUE(Wave(EncodeToneWave(tone), &w));
    EXPECT_EQ(w.sampleRate, 22050);
    EXPECT_EQ(w.FrameCount(), 11025u);
    EXPECT_DOUBLE_EQ(w.Seconds(), 0.5);
    for (std::size_t i : {0u, 13u, 12u + 25u, 11000u}) {
      const double want = 0.5 * std::sin(2.0 * M_PI * 441.0 * i / 22050.0);
      EXPECT_NEAR(w.frames[2 * i], want, c.tolerance) << "frame " << i;
      EXPECT_NEAR(w.frames[2 * i + 1], want, c.tolerance) << "frame " << i;  // mono doubled
    }
  }
}

TEST(SoundFiles, DamagedWavesAreRefusedOrCutToWholeFrames) {
  ToneParams tone;
  tone.channels = 2;
  tone.seconds = 0.01;  // 441 frames of 4 bytes
  const std::string good = EncodeToneWave(tone);
  const std::size_t dataAt = good.find("data") + 8;

  WaveData w;
  // Cut inside the samples: the whole frames that are there, not one byte more.
  ASSERT_TRUE(Wave(good.substr(0, dataAt + 4 * 100 + 3), &w));
  EXPECT_EQ(w.FrameCount(), 100u);
  // Cut before any sample: a valid, empty sound.
  ASSERT_TRUE(Wave(good.substr(0, dataAt), &w));
  EXPECT_EQ(w.FrameCount(), 0u);

  // An odd-sized chunk before the format is skipped with its pad byte.
  std::string padded = good.substr(0, 12) + std::string("LIST\x03\0\0\0abc\0", 12) + good.substr(12);
  ASSERT_TRUE(Wave(padded, &w));
  EXPECT_EQ(w.FrameCount(), 441u);

  auto patched = [&](std::size_t at, std::string bytes) {
    std::string s = good;
    s.replace(at, bytes.size(), bytes);
    return s;
  };
  const std::size_t fmtAt = good.find("fmt ") + 8;
  const std::string refused[] = {
      "", "RIFF", good.substr(0, 11), patched(8, "AVI "), patched(0, "RIFX"),
      good.substr(0, fmtAt + 10),                      // format chunk cut short
      patched(fmtAt, std::string("\x02\0", 2)),        // compressed (ADPCM)
      patched(fmtAt + 2, std::string("\0\0", 2)),      // no channels
      patched(fmtAt + 4, std::string("\0\0\0\0", 4)),  // no sample rate
      patched(fmtAt + 12, std::string("\x03\0", 2)),   // block size that fits no frame
      patched(fmtAt + 14, std::string("\x0C\0", 2)),   // 12-bit samples
      good.substr(0, good.find("fmt ")) + "data" + good.substr(dataAt - 4),  // data, no format
  };
  for (const std::string& bad : refused) EXPECT_FALSE(Wave(bad, &w)) << bad.size();
}

TEST(SoundFiles, PieceLengthFollowsTheTempoMap) {
  MidiInfo info;
  // Two quarters at 120 bpm, then two at 60 bpm: 0.5 + 0.5 + 1 + 1 seconds.
  ASSERT_TRUE(Midi(EncodeMidi({{0, 1920, 60}}, {{0, 500000}, {960, 1000000}}), &info));
  EXPECT_EQ(info.format, 1);
  EXPECT_EQ(info.trackCount, 2);
  EXPECT_EQ(info.endTick, 1920);
  EXPECT_NEAR(info.seconds, 3.0, 1e-9);

  // No tempo at all: 120 bpm; the track's end-of-track delta counts, not the last note.
  ASSERT_TRUE(Midi(EncodeMidi({{0, 480, 60}}, {}, 480, 0, 1440), &info));
  EXPECT_NEAR(info.seconds, 1.5, 1e-9);

  // SMPTE timing: 25 frames of 40 ticks, a second per 1000 ticks, tempo ignored.
  std::string smpte = EncodeMidi({{0, 2500, 60}}, {{0, 250000}});
  smpte[12] = static_cast<char>(-25);
  smpte[13] = 40;
  ASSERT_TRUE(Midi(smpte, &info));
  EXPECT_NEAR(info.seconds, 2.5, 1e-9);

  // Wrapped in RIFF RMID: the same piece, found inside its data chunk.
  const std::string smf = EncodeMidiNote(1.0);
  std::string rmid = "RIFF";
  const std::uint32_t n = static_cast<std::uint32_t>(smf.size());
  const std::uint32_t riffSize = 4 + 8 + n;
  rmid.append(reinterpret_cast<const char*>(&riffSize), 4);  // little-endian hosts only
  rmid += "RMIDdata";
  rmid.append(reinterpret_cast<const char*>(&n), 4);
  rmid += smf;
  ASSERT_TRUE(Midi(rmid, &info));
  EXPECT_NEAR(info.seconds, 1.0, 1e-9);
  EXPECT_EQ(info.smfOffset, 20u);
  EXPECT_EQ(info.smfSize, smf.size());
}

TEST(SoundFiles, MidiEventsAreWalkedByTheirRules) {
  // A note track written by hand: running status, a system-exclusive message and a text
  // meta event between the notes; the end tick is 960 + 480 + 480.
  std::string events = std::string("\x00\x90\x3C\x64", 4) +        // note on
                       std::string("\x87\x40\x3C\x00", 4) +        // 960 later, running status
                       std::string("\x00\xF0\x03\x7E\x09\xF7", 6) +  // sysex
                       std::string("\x83\x60\xFF\x01\x02hi", 7) +   // 480 later, text
                       std::string("\x83\x60\xFF\x2F\x00", 5);      // 480 later, end
  std::string file = std::string("MThd\0\0\0\x06\0\0\0\x01\x01\xE0", 14) + "MTrk";
  const std::uint32_t len = static_cast<std::uint32_t>(events.size());
  file += std::string{static_cast<char>(len >> 24), static_cast<char>(len >> 16),
                      static_cast<char>(len >> 8), static_cast<char>(len)};
  file += events;
  MidiInfo info;
  ASSERT_TRUE(Midi(file, &info));
  EXPECT_EQ(info.format, 0);
  EXPECT_EQ(info.endTick, 1920);
  EXPECT_NEAR(info.seconds, 2.0, 1e-9);

  // Cut in the middle of the track: the piece ends with the last whole event.
  ASSERT_TRUE(Midi(file.substr(0, file.size() - 9), &info));
  EXPECT_EQ(info.endTick, 960);

  // A data byte with no status before it ends the track there.
  std::string noStatus = file;
  noStatus[22 + 1] = 0x3C;
  ASSERT_TRUE(Midi(noStatus, &info));
  EXPECT_EQ(info.endTick, 0);

  const std::string refused[] = {
      "", "MThd", file.substr(0, 13), file.substr(0, 14),  // no track at all
      std::string("MThd\0\0\0\x06\0\x03\0\x01\x01\xE0", 14) + file.substr(14),  // format 3
      std::string("MThd\0\0\0\x06\0\0\0\0\x01\xE0", 14) + file.substr(14),      // 0 tracks
      std::string("MThd\0\0\0\x06\0\0\0\x01\0\0", 14) + file.substr(14),        // division 0
      std::string("MThd\0\0\0\x02\0\0", 10),                                    // short header
      std::string("RIFF\x04\0\0\0RMID", 12),                                    // RMID, no data
  };
  for (const std::string& bad : refused) EXPECT_FALSE(Midi(bad, &info)) << bad.size();
}

}  // namespace

namespace {

// A format-1 file of the given tracks, each a string of (delta, event) bytes without its
// end-of-track event.
std::string MidiOfTracks(const std::vector<std::string>& tracks) {
  std::string file = std::string("MThd\0\0\0\x06\0\x01\0", 11) +
                     static_cast<char>(tracks.size()) + std::string("\x01\xE0", 2);
  for (const std::string& events : tracks) {
    const std::string body = events + std::string("\x00\xFF\x2F\x00", 4);
    const auto len = static_cast<std::uint32_t>(body.size());
    file += "MTrk";
    file += std::string{static_cast<char>(len >> 24), static_cast<char>(len >> 16),
                        static_cast<char>(len >> 8), static_cast<char>(len)};
    file += body;
  }
  return file;
}

}  // namespace

// Channels that sound a note before any program change reaches them play the default
// instrument; the first note and program change are ordered by tick, then by track, then
// within the track.
TEST(SoundFiles, ChannelsThatNeedTheDefaultInstrumentAreFound) {
  const std::string note0 = std::string("\x00\x90\x3C\x64", 4);      // ch 0 note at tick 0
  const std::string prog0 = std::string("\x00\xC0\x05", 3);          // ch 0 program at tick 0
  const std::string drum = std::string("\x00\x99\x24\x64", 4);       // ch 9 note at tick 0
  const std::string silentOn = std::string("\x00\x92\x3C\x00", 4);   // ch 2 note on, velocity 0
  const std::string later = std::string("\x83\x60\xC1\x05", 4);      // ch 1 program at tick 480
  const std::string laterNote = std::string("\x00\x91\x3C\x64", 4);  // ch 1 note, same tick
  struct Case {
    const char* name;
    std::vector<std::string> tracks;
    std::uint16_t expected;
  };
  const Case cases[] = {
      {"program first in the track", {prog0 + note0}, 0},
      {"note first in the track", {note0 + prog0}, 1u << 0},
      {"program in an earlier track at the same tick", {prog0, note0 + drum}, 1u << 9},
      {"program in a later track at the same tick", {note0, prog0}, 1u << 0},
      {"a note-on of velocity zero is a note-off", {silentOn}, 0},
      {"note before a later program", {std::string("\x00\x91\x3C\x64", 4) + later}, 1u << 1},
      {"program then a note at the same later tick", {later + laterNote}, 0},
      {"no notes at all", {prog0}, 0},
  };
  for (const Case& c : cases) {
    MidiInfo info;
    ASSERT_TRUE(Midi(MidiOfTracks(c.tracks), &info)) << c.name;
    EXPECT_EQ(info.defaultProgramChannels, c.expected) << c.name;
  }
}

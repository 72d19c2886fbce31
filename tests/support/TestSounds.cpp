#include "support/TestSounds.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <map>

namespace {

void Put16(std::string& s, std::uint32_t v) {
  s.push_back(static_cast<char>(v & 0xFF));
  s.push_back(static_cast<char>((v >> 8) & 0xFF));
}
void Put32(std::string& s, std::uint32_t v) {
  Put16(s, v & 0xFFFF);
  Put16(s, v >> 16);
}
void PutBe32(std::string& s, std::uint32_t v) {
  for (int shift = 24; shift >= 0; shift -= 8) s.push_back(static_cast<char>((v >> shift) & 0xFF));
}
void PutBe16(std::string& s, std::uint32_t v) {
  s.push_back(static_cast<char>((v >> 8) & 0xFF));
  s.push_back(static_cast<char>(v & 0xFF));
}
void PutVarLen(std::string& s, std::uint32_t v) {
  char bytes[4];
  int n = 0;
  bytes[n++] = static_cast<char>(v & 0x7F);
  while ((v >>= 7) != 0) bytes[n++] = static_cast<char>((v & 0x7F) | 0x80);
  while (n > 0) s.push_back(bytes[--n]);
}

void PutSample(std::string& s, double x, int bits, bool isFloat) {
  x = std::clamp(x, -1.0, 1.0);
  if (isFloat) {
    const float f = static_cast<float>(x);
    std::uint32_t u;
    std::memcpy(&u, &f, 4);
    Put32(s, u);
    return;
  }
  switch (bits) {
    case 8: s.push_back(static_cast<char>(static_cast<int>(std::lround(x * 127.0)) + 128)); break;
    case 16: Put16(s, static_cast<std::uint16_t>(static_cast<std::int16_t>(std::lround(x * 32767.0)))); break;
    case 24: {
      const std::int32_t v = static_cast<std::int32_t>(std::lround(x * 8388607.0));
      s.push_back(static_cast<char>(v & 0xFF));
      s.push_back(static_cast<char>((v >> 8) & 0xFF));
      s.push_back(static_cast<char>((v >> 16) & 0xFF));
      break;
    }
    default: Put32(s, static_cast<std::uint32_t>(static_cast<std::int32_t>(std::lround(x * 2147483647.0))));
  }
}

}  // namespace

std::string EncodeToneWave(const ToneSpec& spec) {
  const int frames = static_cast<int>(std::lround(spec.seconds * spec.sampleRate));
  std::string samples;
  for (int i = 0; i < frames; ++i) {
    const double x = spec.amplitude * std::sin(2.0 * M_PI * spec.frequency * i / spec.sampleRate);
    for (int c = 0; c < spec.channels; ++c) PutSample(samples, x, spec.bits, spec.isFloat);
  }
  const int blockAlign = spec.channels * spec.bits / 8;
  std::string fmt;
  Put16(fmt, spec.extensible ? 0xFFFE : (spec.isFloat ? 3 : 1));
  Put16(fmt, spec.channels);
  Put32(fmt, spec.sampleRate);
  Put32(fmt, spec.sampleRate * blockAlign);
  Put16(fmt, blockAlign);
  Put16(fmt, spec.bits);
  if (spec.extensible) {
    Put16(fmt, 22);
    Put16(fmt, spec.bits);
    Put32(fmt, spec.channels == 1 ? 0x4 : 0x3);
    // Sub-format GUID: the plain format code, then the fixed tail of the media-type GUIDs.
    Put32(fmt, spec.isFloat ? 3 : 1);
    const unsigned char tail[12] = {0x00, 0x00, 0x10, 0x00, 0x80, 0x00,
                                    0x00, 0xAA, 0x00, 0x38, 0x9B, 0x71};
    fmt.append(reinterpret_cast<const char*>(tail), 12);
  }
  std::string out = "RIFF";
  Put32(out, static_cast<std::uint32_t>(4 + 8 + fmt.size() + 8 + samples.size()));
  out += "WAVEfmt ";
  Put32(out, static_cast<std::uint32_t>(fmt.size()));
  out += fmt;
  out += "data";
  Put32(out, static_cast<std::uint32_t>(samples.size()));
  out += samples;
  return out;
}

std::string EncodeMidi(const std::vector<MidiNote>& notes, const std::vector<MidiTempo>& tempos,
                       int ticksPerQuarter, int program, std::uint32_t endTick) {
  auto chunk = [](const std::string& events) {
    std::string t = "MTrk";
    PutBe32(t, static_cast<std::uint32_t>(events.size()));
    return t + events;
  };
  std::string tempoTrack;
  std::uint32_t now = 0;
  for (const MidiTempo& t : tempos) {
    PutVarLen(tempoTrack, t.tick - now);
    now = t.tick;
    tempoTrack += "\xFF\x51\x03";
    tempoTrack.push_back(static_cast<char>((t.microsecondsPerQuarter >> 16) & 0xFF));
    tempoTrack.push_back(static_cast<char>((t.microsecondsPerQuarter >> 8) & 0xFF));
    tempoTrack.push_back(static_cast<char>(t.microsecondsPerQuarter & 0xFF));
  }
  PutVarLen(tempoTrack, 0);
  tempoTrack += std::string("\xFF\x2F\x00", 3);

  std::multimap<std::uint32_t, std::string> events;  // note-offs sort before note-ons
  for (const MidiNote& n : notes) {
    events.emplace(n.tick, std::string{'\x90', static_cast<char>(n.key), static_cast<char>(n.velocity)});
    events.emplace(n.tick + n.length, std::string{'\x80', static_cast<char>(n.key), '\0'});
  }
  std::string noteTrack;
  PutVarLen(noteTrack, 0);
  noteTrack.push_back('\xC0');
  noteTrack.push_back(static_cast<char>(program));
  now = 0;
  for (auto& [tick, bytes] : events) {
    PutVarLen(noteTrack, tick - now);
    now = tick;
    noteTrack += bytes;
  }
  PutVarLen(noteTrack, endTick > now ? endTick - now : 0);
  noteTrack += std::string("\xFF\x2F\x00", 3);

  std::string out = "MThd";
  PutBe32(out, 6);
  PutBe16(out, 1);
  PutBe16(out, 2);
  PutBe16(out, static_cast<std::uint32_t>(ticksPerQuarter));
  return out + chunk(tempoTrack) + chunk(noteTrack);
}

std::string EncodeMidiNote(double seconds, std::uint8_t key, int program) {
  // 120 beats a minute at 480 ticks a quarter: 960 ticks a second.
  const auto ticks = static_cast<std::uint32_t>(std::lround(seconds * 960.0));
  return EncodeMidi({{0, ticks, key, 100}}, {{0, 500000}}, 480, program);
}

std::string EncodeLoudMidi(double seconds) {
  struct Event {
    std::uint32_t tick;
    int order;  // note-offs before note-ons at the same tick
    std::string bytes;
  };
  std::vector<Event> events;
  auto note = [&](int channel, std::uint8_t key, std::uint32_t tick, std::uint32_t length) {
    events.push_back({tick, 1, {static_cast<char>(0x90 | channel), static_cast<char>(key), '\x7F'}});
    events.push_back({tick + length, 0, {static_cast<char>(0x80 | channel), static_cast<char>(key), '\0'}});
  };
  const auto end = static_cast<std::uint32_t>(std::lround(seconds * 960.0));
  const std::uint8_t chords[2][4] = {{60, 64, 67, 72}, {65, 69, 72, 77}};
  for (std::uint32_t beat = 0; beat * 480 < end; ++beat) {
    const std::uint32_t t = beat * 480;
    for (std::uint8_t key : chords[(beat / 4) % 2]) {
      note(0, key, t, 470);
      note(1, key, t, 470);
    }
    note(2, beat % 2 ? 43 : 36, t, 470);
    note(9, 36, t, 100);  // bass drum
    note(9, 49, t, 100);  // crash cymbal
  }
  std::stable_sort(events.begin(), events.end(), [](const Event& a, const Event& b) {
    return a.tick != b.tick ? a.tick < b.tick : a.order < b.order;
  });
  std::string track;
  const char programs[] = {'\xC0', 0, '\xC1', 48, '\xC2', 33};
  for (int i = 0; i < 3; ++i) {
    PutVarLen(track, 0);
    track.append(programs + 2 * i, 2);
  }
  std::uint32_t now = 0;
  for (const Event& e : events) {
    PutVarLen(track, e.tick - now);
    now = e.tick;
    track += e.bytes;
  }
  PutVarLen(track, 0);
  track += std::string("\xFF\x2F\x00", 3);
  std::string out = "MThd";
  PutBe32(out, 6);
  PutBe16(out, 0);
  PutBe16(out, 1);
  PutBe16(out, 480);
  out += "MTrk";
  PutBe32(out, static_cast<std::uint32_t>(track.size()));
  return out + track;
}

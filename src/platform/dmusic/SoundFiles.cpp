#include "platform/dmusic/SoundFiles.h"

#include <algorithm>
#include <array>
#include <cstring>
#include <limits>
#include <map>

namespace platform::dmusic {

namespace {

std::uint32_t Le32(const std::uint8_t* p) {
  return p[0] | (p[1] << 8) | (p[2] << 16) | (static_cast<std::uint32_t>(p[3]) << 24);
}
std::uint16_t Le16(const std::uint8_t* p) { return static_cast<std::uint16_t>(p[0] | (p[1] << 8)); }
std::uint32_t Be32(const std::uint8_t* p) {
  return (static_cast<std::uint32_t>(p[0]) << 24) | (p[1] << 16) | (p[2] << 8) | p[3];
}
std::uint16_t Be16(const std::uint8_t* p) { return static_cast<std::uint16_t>((p[0] << 8) | p[1]); }

bool Tag(const std::uint8_t* p, const char* tag) { return std::memcmp(p, tag, 4) == 0; }

constexpr std::uint16_t kFormatPcm = 1;
constexpr std::uint16_t kFormatFloat = 3;
constexpr std::uint16_t kFormatExtensible = 0xFFFE;
constexpr int kMaxChannels = 64;
constexpr std::uint32_t kMaxRate = 768000;

// One sample of the given encoding as a float in -1..1.
float SampleAt(const std::uint8_t* p, int bits, bool isFloat) {
  if (isFloat) {
    if (bits == 32) {
      float f;
      const std::uint32_t u = Le32(p);
      std::memcpy(&f, &u, 4);
      return f == f ? std::clamp(f, -1.0f, 1.0f) : 0.0f;  // NaN is silence
    }
    std::uint64_t u = Le32(p) | (static_cast<std::uint64_t>(Le32(p + 4)) << 32);
    double d;
    std::memcpy(&d, &u, 8);
    return d == d ? static_cast<float>(std::clamp(d, -1.0, 1.0)) : 0.0f;
  }
  switch (bits) {
    case 8: return (static_cast<int>(p[0]) - 128) / 128.0f;
    case 16: return static_cast<std::int16_t>(Le16(p)) / 32768.0f;
    case 24: {
      std::int32_t v = p[0] | (p[1] << 8) | (p[2] << 16);
      if (v & 0x800000) v -= 0x1000000;
      return v / 8388608.0f;
    }
    default: return static_cast<float>(static_cast<std::int32_t>(Le32(p)) / 2147483648.0);
  }
}

}  // namespace

bool ReadWave(const std::uint8_t* data, std::size_t size, WaveData* out) {
  if (!data || size < 12 || !Tag(data, "RIFF") || !Tag(data + 8, "WAVE")) return false;
  // The RIFF size may be wrong in files cut short or written by careless tools: walk the
  // chunks that are really there.
  std::size_t pos = 12;
  bool haveFormat = false;
  std::uint16_t format = 0;
  int channels = 0, bits = 0, blockAlign = 0;
  std::uint32_t rate = 0;
  while (pos + 8 <= size) {
    const std::uint8_t* chunk = data + pos;
    const std::uint32_t length = Le32(chunk + 4);
    const std::size_t bodyAt = pos + 8;
    const std::size_t available = size - bodyAt;
    if (Tag(chunk, "fmt ")) {
      if (length < 16 || available < 16) return false;
      const std::uint8_t* f = data + bodyAt;
      format = Le16(f);
      channels = Le16(f + 2);
      rate = Le32(f + 4);
      blockAlign = Le16(f + 12);
      bits = Le16(f + 14);
      if (format == kFormatExtensible) {
        // The sub-format GUID's first two bytes carry the plain format code.
        if (length < 40 || available < 40) return false;
        format = Le16(f + 24);
        const int validBits = Le16(f + 18);
        if (validBits > bits) return false;
      }
      haveFormat = true;
    } else if (Tag(chunk, "data")) {
      if (!haveFormat) return false;
      const bool isFloat = format == kFormatFloat;
      if (format != kFormatPcm && !isFloat) return false;
      if (isFloat ? (bits != 32 && bits != 64)
                  : (bits != 8 && bits != 16 && bits != 24 && bits != 32))
        return false;
      if (channels < 1 || channels > kMaxChannels || rate < 1 || rate > kMaxRate) return false;
      const int frameBytes = channels * (bits / 8);
      if (blockAlign != frameBytes) return false;
      const std::size_t bytes = std::min<std::size_t>(length, available);
      const std::size_t frames = bytes / static_cast<std::size_t>(frameBytes);
      out->sampleRate = static_cast<int>(rate);
      out->frames.assign(frames * 2, 0.0f);
      const std::uint8_t* p = data + bodyAt;
      const int step = bits / 8;
      for (std::size_t i = 0; i < frames; ++i, p += frameBytes) {
        const float left = SampleAt(p, bits, isFloat);
        out->frames[2 * i] = left;
        out->frames[2 * i + 1] = channels > 1 ? SampleAt(p + step, bits, isFloat) : left;
      }
      return true;
    }
    if (length > available) break;
    pos = bodyAt + length + (length & 1);  // chunks are padded to even sizes
  }
  return false;
}

namespace {

// Reads a variable-length quantity of at most four bytes; false when it runs out.
bool ReadVarLen(const std::uint8_t* data, std::size_t end, std::size_t* pos, std::uint32_t* out) {
  std::uint32_t value = 0;
  for (int i = 0; i < 4; ++i) {
    if (*pos >= end) return false;
    const std::uint8_t b = data[(*pos)++];
    value = (value << 7) | (b & 0x7F);
    if (!(b & 0x80)) {
      *out = value;
      return true;
    }
  }
  return false;
}

// Data bytes that follow a channel status byte.
int ChannelDataBytes(std::uint8_t status) {
  const std::uint8_t kind = status & 0xF0;
  return (kind == 0xC0 || kind == 0xD0) ? 1 : 2;
}

// When an event happens in playing order: by tick, then by track, then within the track.
struct EventOrder {
  std::int64_t tick = std::numeric_limits<std::int64_t>::max();
  int track = 0;
  std::size_t index = 0;
  bool operator<(const EventOrder& o) const {
    if (tick != o.tick) return tick < o.tick;
    if (track != o.track) return track < o.track;
    return index < o.index;
  }
};

// The first note and the first program change on each of the sixteen channels.
struct ChannelFirsts {
  std::array<EventOrder, 16> note{}, program{};
};

// Walks one track's events; returns its end tick and adds its tempo changes and the
// first notes and program changes of its channels.
std::int64_t WalkTrack(const std::uint8_t* data, std::size_t begin, std::size_t end,
                       std::multimap<std::int64_t, std::uint32_t>* tempos, int track,
                       ChannelFirsts* firsts) {
  std::size_t pos = begin;
  std::int64_t tick = 0;
  std::uint8_t running = 0;
  std::size_t index = 0;
  while (pos < end) {
    std::uint32_t delta;
    if (!ReadVarLen(data, end, &pos, &delta)) break;
    if (pos >= end) break;
    const std::int64_t at = tick + delta;
    std::uint8_t status = data[pos];
    if (status == 0xFF) {
      if (pos + 2 > end) break;
      const std::uint8_t type = data[pos + 1];
      pos += 2;
      std::uint32_t length;
      if (!ReadVarLen(data, end, &pos, &length) || length > end - pos) break;
      tick = at;
      if (type == 0x51 && length == 3) {
        const std::uint32_t us = (data[pos] << 16) | (data[pos + 1] << 8) | data[pos + 2];
        if (us > 0) tempos->emplace(at, us);
      }
      pos += length;
      if (type == 0x2F) break;  // end of track
      running = 0;
      continue;
    }
    if (status == 0xF0 || status == 0xF7) {
      ++pos;
      std::uint32_t length;
      if (!ReadVarLen(data, end, &pos, &length) || length > end - pos) break;
      pos += length;
      tick = at;
      running = 0;
      continue;
    }
    if (status & 0x80) {
      if (status >= 0xF0) break;  // system common messages do not belong in a file
      running = status;
      ++pos;
    } else if (!running) {
      break;  // data byte with no status to repeat
    }
    const int need = ChannelDataBytes(running);
    if (static_cast<std::size_t>(need) > end - pos) break;
    for (int i = 0; i < need; ++i)
      if (data[pos + i] & 0x80) return tick;  // a status byte where data belongs
    const EventOrder order{at, track, index++};
    const int channel = running & 0x0F;
    const bool noteOn = (running & 0xF0) == 0x90 && data[pos + 1] != 0;
    if (noteOn && order < firsts->note[channel]) firsts->note[channel] = order;
    if ((running & 0xF0) == 0xC0 && order < firsts->program[channel])
      firsts->program[channel] = order;
    pos += need;
    tick = at;
  }
  return tick;
}

}  // namespace

bool ReadMidi(const std::uint8_t* data, std::size_t size, MidiInfo* out) {
  if (!data) return false;
  std::size_t begin = 0, end = size;
  // RIFF RMID: the Standard MIDI data sits in its "data" chunk.
  if (size >= 12 && Tag(data, "RIFF") && Tag(data + 8, "RMID")) {
    std::size_t pos = 12;
    bool found = false;
    while (pos + 8 <= size) {
      const std::uint32_t length = Le32(data + pos + 4);
      if (Tag(data + pos, "data")) {
        begin = pos + 8;
        end = begin + std::min<std::size_t>(length, size - begin);
        found = true;
        break;
      }
      if (length > size - pos - 8) break;
      pos += 8 + length + (length & 1);
    }
    if (!found) return false;
  }
  if (end - begin < 14 || !Tag(data + begin, "MThd")) return false;
  const std::uint32_t headerLength = Be32(data + begin + 4);
  if (headerLength < 6 || headerLength > end - begin - 8) return false;
  const int format = Be16(data + begin + 8);
  const int declaredTracks = Be16(data + begin + 10);
  const std::uint16_t division = Be16(data + begin + 12);
  if (format > 2 || declaredTracks == 0 || division == 0) return false;
  double secondsPerTickFixed = 0.0;  // SMPTE timing: a fixed tick length
  if (division & 0x8000) {
    const int fps = -static_cast<std::int8_t>(division >> 8);
    const int perFrame = division & 0xFF;
    if (fps <= 0 || perFrame == 0) return false;
    secondsPerTickFixed = 1.0 / (fps * perFrame);
  }

  std::multimap<std::int64_t, std::uint32_t> tempos;
  ChannelFirsts firsts;
  std::int64_t endTick = 0;
  int tracks = 0;
  std::size_t pos = begin + 8 + headerLength;
  while (pos + 8 <= end && tracks < declaredTracks) {
    const std::uint32_t length = Be32(data + pos + 4);
    const std::size_t bodyAt = pos + 8;
    const std::size_t bodyEnd = bodyAt + std::min<std::size_t>(length, end - bodyAt);
    if (Tag(data + pos, "MTrk")) {
      endTick = std::max(endTick, WalkTrack(data, bodyAt, bodyEnd, &tempos, tracks, &firsts));
      ++tracks;
    }
    if (length > end - bodyAt) break;
    pos = bodyEnd;
  }
  if (tracks == 0) return false;

  double seconds;
  if (secondsPerTickFixed > 0.0) {
    seconds = endTick * secondsPerTickFixed;
  } else {
    const double ticksPerQuarter = division;
    double usPerQuarter = 500000.0;  // 120 beats a minute until a tempo says otherwise
    std::int64_t lastTick = 0;
    seconds = 0.0;
    for (const auto& [tick, us] : tempos) {
      if (tick >= endTick) break;
      seconds += (tick - lastTick) * usPerQuarter / ticksPerQuarter / 1e6;
      lastTick = tick;
      usPerQuarter = us;
    }
    seconds += (endTick - lastTick) * usPerQuarter / ticksPerQuarter / 1e6;
  }
  out->format = format;
  out->trackCount = tracks;
  out->endTick = endTick;
  out->seconds = seconds;
  out->smfOffset = begin;
  out->smfSize = end - begin;
  out->defaultProgramChannels = 0;
  for (int c = 0; c < 16; ++c)
    if (firsts.note[c] < firsts.program[c]) out->defaultProgramChannels |= 1u << c;
  return true;
}

SoundFileKind DetectSoundFile(const std::uint8_t* data, std::size_t size) {
  if (!data || size < 4) return SoundFileKind::Unknown;
  if (Tag(data, "MThd")) return SoundFileKind::Midi;
  if (size >= 12 && Tag(data, "RIFF")) {
    if (Tag(data + 8, "WAVE")) return SoundFileKind::Wave;
    if (Tag(data + 8, "RMID")) return SoundFileKind::Midi;
  }
  return SoundFileKind::Unknown;
}

}  // namespace platform::dmusic

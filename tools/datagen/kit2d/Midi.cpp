#include "kit2d/Midi.h"

#include <algorithm>
#include <cstdio>

namespace kit2d {
namespace {

void PutVarLen(std::string& b, uint32_t v) {
  uint8_t buf[5];
  int n = 0;
  buf[n++] = v & 0x7F;
  while (v >>= 7) buf[n++] = static_cast<uint8_t>((v & 0x7F) | 0x80);
  while (n) b.push_back(static_cast<char>(buf[--n]));
}

void Put32(std::string& b, uint32_t v) {
  for (int s = 24; s >= 0; s -= 8) b.push_back(static_cast<char>((v >> s) & 255));
}

std::string Chunk(const char* id, const std::string& body) {
  std::string c(id, 4);
  Put32(c, static_cast<uint32_t>(body.size()));
  return c + body;
}

void Meta(std::string& b, uint32_t delta, uint8_t type, const std::string& data) {
  PutVarLen(b, delta);
  b.push_back(static_cast<char>(0xFF));
  b.push_back(static_cast<char>(type));
  PutVarLen(b, static_cast<uint32_t>(data.size()));
  b += data;
}

uint8_t Clamp7(int v) { return static_cast<uint8_t>(std::clamp(v, 0, 127)); }

}  // namespace

void MidiTrack::Program(uint32_t tick, int channel, int program) {
  events_.push_back({tick, 1, {static_cast<uint8_t>(0xC0 | channel), Clamp7(program), 0}, 2});
}

void MidiTrack::Control(uint32_t tick, int channel, int controller, int value) {
  events_.push_back(
      {tick, 1, {static_cast<uint8_t>(0xB0 | channel), Clamp7(controller), Clamp7(value)}, 3});
}

void MidiTrack::Note(uint32_t tick, int channel, int key, int velocity, uint32_t length) {
  if (length == 0) length = 1;
  events_.push_back(
      {tick, 2, {static_cast<uint8_t>(0x90 | channel), Clamp7(key), Clamp7(std::max(1, velocity))}, 3});
  events_.push_back({tick + length, 0, {static_cast<uint8_t>(0x80 | channel), Clamp7(key), 0}, 3});
}

std::string MidiTrack::Encode() const {
  std::vector<Event> ev = events_;
  std::stable_sort(ev.begin(), ev.end(), [](const Event& a, const Event& b) {
    return a.tick != b.tick ? a.tick < b.tick : a.order < b.order;
  });
  std::string b;
  Meta(b, 0, 0x03, name_);
  uint32_t now = 0;
  for (const Event& e : ev) {
    PutVarLen(b, e.tick - now);
    now = e.tick;
    b.append(reinterpret_cast<const char*>(e.bytes), e.size);
  }
  Meta(b, std::max(end_, now) - now, 0x2F, "");
  return Chunk("MTrk", b);
}

bool WriteMidiFile(const std::string& path, int ppq, int beatsPerBar,
                   const std::vector<TempoChange>& tempi, const std::vector<MidiTrack>& tracks,
                   uint32_t endTick) {
  std::string header;
  header += '\0';
  header += '\1';  // format 1
  header += static_cast<char>((tracks.size() + 1) >> 8);
  header += static_cast<char>((tracks.size() + 1) & 255);
  header += static_cast<char>(ppq >> 8);
  header += static_cast<char>(ppq & 255);
  std::string conductor;
  Meta(conductor, 0, 0x58, std::string{static_cast<char>(beatsPerBar), 2, 24, 8});
  uint32_t now = 0;
  for (const TempoChange& t : tempi) {
    const uint32_t us = static_cast<uint32_t>(60000000.0 / t.bpm + 0.5);
    Meta(conductor, t.tick - now, 0x51,
         std::string{static_cast<char>(us >> 16), static_cast<char>((us >> 8) & 255),
                     static_cast<char>(us & 255)});
    now = t.tick;
  }
  Meta(conductor, endTick > now ? endTick - now : 0, 0x2F, "");
  std::string file = Chunk("MThd", header) + Chunk("MTrk", conductor);
  for (const MidiTrack& t : tracks) file += t.Encode();
  FILE* f = std::fopen(path.c_str(), "wb");
  if (!f) {
    std::fprintf(stderr, "cannot write %s\n", path.c_str());
    return false;
  }
  const bool ok = std::fwrite(file.data(), 1, file.size(), f) == file.size();
  return std::fclose(f) == 0 && ok;
}

}  // namespace kit2d

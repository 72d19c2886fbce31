// Writes the game's own soundfont: from the system's General MIDI font, only what the
// generated pieces can sound. Each note is followed through the synthesiser's choice of
// preset (bank select, program changes, the drum channel, the fallbacks for programs
// the font lacks) to the preset and instrument zones whose key and velocity ranges it
// reaches; those zones keep their generators and modulators, global zones stay, and
// their samples are copied point for point. The synthesiser then needs a fraction of
// the memory, and renders every piece exactly as from the whole font.
//
//   sftrim OUT.sf2 PIECE.mid... [--font SOURCE.sf2] [-v]
//
// On any failure (no system font, a corrupt or truncated one, an unreadable piece) it
// says why, leaves no file named OUT and exits non-zero; the game then falls back to the
// system font.
#include <algorithm>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <iterator>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "platform/dmusic/SoundFont2.h"

namespace sf2 = platform::dmusic::sf2;

namespace {

constexpr int kDrumChannel = 9;
constexpr int kDrumBank = 128;
// Zero points after every sample, as the format asks, for interpolators reading past its end.
constexpr std::uint32_t kGuardPoints = 46;

struct Event {
  std::int64_t tick;
  int track, order;
  std::uint8_t status, d1, d2;
};

bool Vlq(const std::vector<std::uint8_t>& b, std::size_t end, std::size_t* pos, std::uint32_t* v) {
  *v = 0;
  for (int i = 0; i < 4; ++i) {
    if (*pos >= end) return false;
    const std::uint8_t c = b[(*pos)++];
    *v = *v << 7 | (c & 0x7F);
    if (!(c & 0x80)) return true;
  }
  return false;
}

std::uint32_t Be32(const std::uint8_t* p) {
  return static_cast<std::uint32_t>(p[0]) << 24 | p[1] << 16 | p[2] << 8 | p[3];
}

// The channel events of a Standard MIDI file in the order the player sends them, and
// how many ticks the player may send out of order between tracks (events a few ticks
// apart can go out in the same block, track by track).
bool ReadPiece(const std::vector<std::uint8_t>& b, std::vector<Event>* events, int* slack) {
  if (b.size() < 14 || std::memcmp(b.data(), "MThd", 4) != 0) return false;
  const std::uint32_t headLength = Be32(&b[4]);
  if (headLength < 6 || headLength > b.size() - 8) return false;
  const int division = b[12] << 8 | b[13];
  if (division & 0x8000) {
    const int fps = -static_cast<std::int8_t>(division >> 8), perFrame = division & 0xFF;
    *slack = std::max(1, fps * perFrame / 50);  // 20 ms
  } else {
    *slack = std::max(1, division / 16);  // a 64th note
  }
  std::size_t pos = 8 + headLength;
  int track = 0;
  while (pos + 8 <= b.size()) {
    const std::uint32_t length = Be32(&b[pos + 4]);
    if (length > b.size() - pos - 8) return false;
    const std::size_t end = pos + 8 + length;
    if (std::memcmp(&b[pos], "MTrk", 4) == 0) {
      std::size_t at = pos + 8;
      std::int64_t tick = 0;
      std::uint8_t running = 0;
      int order = 0;
      while (at < end) {
        std::uint32_t delta;
        if (!Vlq(b, end, &at, &delta) || at >= end) return false;
        tick += delta;
        std::uint8_t status = b[at];
        if (status & 0x80) {
          ++at;
          if (status < 0xF0) running = status;
        } else if (running) {
          status = running;
        } else {
          return false;
        }
        if (status == 0xFF || status == 0xF0 || status == 0xF7) {
          if (status == 0xFF && at++ >= end) return false;
          const bool endOfTrack = status == 0xFF && b[at - 1] == 0x2F;
          std::uint32_t length2;
          if (!Vlq(b, end, &at, &length2) || length2 > end - at) return false;
          at += length2;
          if (endOfTrack) break;
          continue;
        }
        if (status > 0xF0) return false;
        const int data = (status & 0xF0) == 0xC0 || (status & 0xF0) == 0xD0 ? 1 : 2;
        if (end - at < static_cast<std::size_t>(data)) return false;
        Event e{tick, track, order++, status, b[at], data == 2 ? b[at + 1] : std::uint8_t{0}};
        if ((e.d1 | e.d2) & 0x80) return false;
        at += data;
        events->push_back(e);
      }
      ++track;
    }
    pos = end;
  }
  if (track == 0) return false;
  std::sort(events->begin(), events->end(), [](const Event& a, const Event& b) {
    return a.tick != b.tick ? a.tick < b.tick : a.track != b.track ? a.track < b.track : a.order < b.order;
  });
  return true;
}

// The preset the synthesiser picks for a bank and program: that one, else (for a drum
// bank) the standard kit, else the program in bank 0, else bank 0's first program.
// -1 when none of those exists.
int Resolve(const sf2::SoundFont& font, int bank, int program) {
  auto find = [&](int b, int p) {
    for (std::size_t i = 0; i < font.presets.size(); ++i)
      if (font.presets[i].bank == b && font.presets[i].program == p) return static_cast<int>(i);
    return -1;
  };
  int found = find(bank, program);
  if (found < 0 && bank == kDrumBank) found = find(kDrumBank, 0);
  if (found < 0 && bank != kDrumBank) {
    found = find(0, program);
    if (found < 0) found = find(0, 0);
  }
  return found;
}

// Key and velocity pairs each preset is asked to sound, as a 128 x 128 table.
using Played = std::map<int, std::vector<bool>>;

// Follows each channel's presets through a piece. A channel that sounds before choosing
// a program plays the default one, bank 0's first (or the standard kit on the drum
// channel). Bank select is read as the synthesiser's default (GS) style does: the MSB
// chooses the bank for the next program change and the LSB is ignored; the drum channel
// always takes the drum bank. Events of one track keep their order, but those of
// different tracks within `slack` ticks may be sent either way round: a note that close
// to a program change in another track counts for the presets on both sides of it.
bool Follow(const sf2::SoundFont& font, const std::vector<std::uint8_t>& bytes, Played* played) {
  std::vector<Event> events;
  int slack = 1;
  if (!ReadPiece(bytes, &events, &slack)) return false;
  struct Change {
    std::int64_t tick;
    int track;
    int before, after;  // presets
  };
  std::vector<Change> changes[16];
  int bank[16] = {}, preset[16];
  for (int c = 0; c < 16; ++c) preset[c] = Resolve(font, c == kDrumChannel ? kDrumBank : 0, 0);
  auto play = [&](int p, int key, int vel) {
    if (p < 0) return;
    std::vector<bool>& table = (*played)[p];
    table.resize(128 * 128);
    table[key * 128 + vel] = true;
  };
  std::vector<std::pair<const Event*, int>> notes;  // with the preset they sound on
  for (const Event& e : events) {
    const int c = e.status & 0x0F;
    if ((e.status & 0xF0) == 0xB0 && e.d1 == 0) bank[c] = e.d2;
    if ((e.status & 0xF0) == 0xC0) {
      const int chosen = Resolve(font, c == kDrumChannel ? kDrumBank : bank[c], e.d1);
      changes[c].push_back({e.tick, e.track, preset[c], chosen});
      preset[c] = chosen;
    }
    if ((e.status & 0xF0) == 0x90 && e.d2 > 0) {
      play(preset[c], e.d1, e.d2);
      notes.emplace_back(&e, c);
    }
  }
  for (const auto& [e, c] : notes)
    for (const Change& change : changes[c])
      if (change.track != e->track && change.tick >= e->tick - slack && change.tick <= e->tick + slack) {
        play(change.before, e->d1, e->d2);
        play(change.after, e->d1, e->d2);
      }
  return true;
}

bool Reaches(const sf2::Zone& zone, const std::vector<std::pair<int, int>>& notes) {
  int keyLo, keyHi, velLo, velHi;
  zone.Ranges(&keyLo, &keyHi, &velLo, &velHi);
  for (const auto& [key, vel] : notes)
    if (key >= keyLo && key <= keyHi && vel >= velLo && vel <= velHi) return true;
  return false;
}

std::vector<std::pair<int, int>> Within(const sf2::Zone& zone, const std::vector<std::pair<int, int>>& notes) {
  int keyLo, keyHi, velLo, velHi;
  zone.Ranges(&keyLo, &keyHi, &velLo, &velHi);
  std::vector<std::pair<int, int>> in;
  for (const auto& [key, vel] : notes)
    if (key >= keyLo && key <= keyHi && vel >= velLo && vel <= velHi) in.emplace_back(key, vel);
  return in;
}

// A zone is global when it is the first and names no instrument (or sample).
bool Global(const std::vector<sf2::Zone>& zones, std::size_t i, std::uint16_t oper) {
  return i == 0 && !zones[0].Find(oper);
}

bool Trim(const std::string& sourcePath, const sf2::SoundFont& source, const Played& played,
          sf2::SoundFont* out, std::string* why) {
  out->info = source.info;
  out->hasSm24 = source.hasSm24;
  // The default programs are kept (without any zone a piece does not reach) so that
  // channels a piece leaves alone find a preset, as they do in the whole font.
  std::set<int> keep;
  for (const auto& [preset, table] : played) keep.insert(preset);
  for (int bank : {0, kDrumBank})
    if (int p = Resolve(source, bank, 0); p >= 0) keep.insert(p);

  // Instrument zones reached, per instrument, over every preset zone that uses it.
  std::map<int, std::vector<bool>> instZones;
  std::vector<sf2::Preset> presets;
  for (int index : keep) {
    const sf2::Preset& from = source.presets[index];
    std::vector<std::pair<int, int>> notes;
    if (auto it = played.find(index); it != played.end())
      for (int i = 0; i < 128 * 128; ++i)
        if (it->second[i]) notes.emplace_back(i / 128, i % 128);
    sf2::Preset p = from;
    p.zones.clear();
    for (std::size_t z = 0; z < from.zones.size(); ++z) {
      const sf2::Zone& zone = from.zones[z];
      if (Global(from.zones, z, sf2::kGenInstrument)) {
        p.zones.push_back(zone);
        continue;
      }
      const sf2::Generator* inst = zone.Find(sf2::kGenInstrument);
      if (!inst) continue;  // the synthesiser ignores such a zone
      const std::vector<std::pair<int, int>> in = Within(zone, notes);
      if (in.empty()) continue;
      const sf2::Instrument& instrument = source.instruments[inst->amount];
      std::vector<bool>& reached = instZones[inst->amount];
      reached.resize(instrument.zones.size());
      for (std::size_t iz = 0; iz < instrument.zones.size(); ++iz)
        if (Global(instrument.zones, iz, sf2::kGenSampleId) ||
            (instrument.zones[iz].Find(sf2::kGenSampleId) && Reaches(instrument.zones[iz], in)))
          reached[iz] = true;
      p.zones.push_back(zone);
    }
    presets.push_back(std::move(p));
  }

  // Instruments and samples keep their order; indices are renumbered.
  std::map<int, int> instIndex, sampleIndex;
  std::set<int> samples;
  for (const auto& [index, reached] : instZones) {
    instIndex[index] = static_cast<int>(out->instruments.size());
    sf2::Instrument inst = source.instruments[index];
    inst.zones.clear();
    for (std::size_t iz = 0; iz < reached.size(); ++iz) {
      if (!reached[iz]) continue;
      inst.zones.push_back(source.instruments[index].zones[iz]);
      if (const sf2::Generator* g = inst.zones.back().Find(sf2::kGenSampleId)) samples.insert(g->amount);
    }
    out->instruments.push_back(std::move(inst));
  }
  // A stereo sample's partner comes along, so that every link stays valid.
  for (std::vector<int> todo(samples.begin(), samples.end()); !todo.empty();) {
    const sf2::Sample& s = source.samples[todo.back()];
    todo.pop_back();
    if ((s.type & (sf2::kRightSample | sf2::kLeftSample | sf2::kLinkedSample)) &&
        s.link < source.samples.size() && samples.insert(s.link).second)
      todo.push_back(s.link);
  }
  for (int index : samples) {
    sampleIndex[index] = static_cast<int>(out->samples.size());
    sf2::Sample s = source.samples[index];
    if (s.type & sf2::kRomSample) {
      out->samples.push_back(s);
      continue;
    }
    const std::uint32_t at = static_cast<std::uint32_t>(out->smpl.size() / 2);
    const std::uint32_t length = s.end - s.start;
    if (!sf2::CopyPoints(sourcePath, source, s.start, length, out, why)) return false;
    out->smpl.resize(out->smpl.size() + 2 * kGuardPoints, 0);
    if (out->hasSm24) out->sm24.resize(out->sm24.size() + kGuardPoints, 0);
    // Loop points move with the sample, even where they lie outside it.
    auto moved = [&](std::uint32_t v) {
      const std::int64_t m = static_cast<std::int64_t>(v) - s.start + at;
      return static_cast<std::uint32_t>(std::clamp<std::int64_t>(m, 0, UINT32_MAX));
    };
    s.loopStart = moved(s.loopStart);
    s.loopEnd = moved(s.loopEnd);
    s.start = at;
    s.end = at + length;
    out->samples.push_back(s);
  }
  for (sf2::Sample& s : out->samples) {
    const auto it = sampleIndex.find(s.link);
    const bool linked = s.type & (sf2::kRightSample | sf2::kLeftSample | sf2::kLinkedSample);
    s.link = linked && it != sampleIndex.end() ? static_cast<std::uint16_t>(it->second) : 0;
  }
  for (sf2::Instrument& inst : out->instruments)
    for (sf2::Zone& z : inst.zones)
      for (sf2::Generator& g : z.generators)
        if (g.oper == sf2::kGenSampleId) g.amount = static_cast<std::uint16_t>(sampleIndex.at(g.amount));
  for (sf2::Preset& p : presets)
    for (sf2::Zone& z : p.zones)
      for (sf2::Generator& g : z.generators)
        if (g.oper == sf2::kGenInstrument) g.amount = static_cast<std::uint16_t>(instIndex.at(g.amount));
  out->presets = std::move(presets);
  out->points = static_cast<std::uint32_t>(out->smpl.size() / 2);
  if (out->instruments.empty() || out->samples.empty()) {
    *why = "the pieces sound nothing the font holds";
    return false;
  }
  return true;
}

int Refuse(const std::string& out, const std::string& why) {
  std::fprintf(stderr, "sftrim: %s; the game will use the system soundfont\n", why.c_str());
  std::remove(out.c_str());
  return 1;
}

// Cuts `source` to what `pieces` sound and writes it to outPath, read back to be sure;
// 0 on success, else what Refuse returns.
int TrimAndWrite(const std::string& fontPath, const sf2::SoundFont& source,
                 const std::vector<std::vector<std::uint8_t>>& pieces,
                 const std::vector<std::string>& names, const std::string& outPath, bool verbose) {
  Played played;
  for (std::size_t i = 0; i < pieces.size(); ++i)
    if (!Follow(source, pieces[i], &played))
      return Refuse(outPath, names[i] + " is not a readable MIDI file");
  sf2::SoundFont trimmed;
  std::string why;
  if (!Trim(fontPath, source, played, &trimmed, &why)) return Refuse(outPath, why);
  // What is written must read back; a file that does not is not left for the game.
  sf2::SoundFont check;
  if (!sf2::Write(outPath, trimmed, &why)) return Refuse(outPath, why);
  if (!sf2::Read(outPath, &check, &why)) return Refuse(outPath, "the written font: " + why);
  std::size_t zones = 0;
  for (const sf2::Instrument& i : trimmed.instruments) zones += i.zones.size();
  if (verbose) {
    // What each preset costs the synthesiser once chosen: its samples' points.
    for (const sf2::Preset& p : trimmed.presets) {
      std::set<std::uint16_t> used;
      std::size_t presetZones = 0;
      for (const sf2::Zone& z : p.zones)
        if (const sf2::Generator* g = z.Find(sf2::kGenInstrument))
          for (const sf2::Zone& iz : trimmed.instruments[g->amount].zones)
            if (const sf2::Generator* s = iz.Find(sf2::kGenSampleId)) used.insert(s->amount), ++presetZones;
      std::size_t points = 0;
      for (std::uint16_t s : used) points += trimmed.samples[s].end - trimmed.samples[s].start;
      std::printf("  %3d:%-3d %-20.20s %3zu zones %6zu kB\n", p.bank, p.program, p.name, presetZones,
                  points * 2 / 1024);
    }
  }
  std::printf("sftrim: %s: %zu presets, %zu instruments (%zu zones), %zu samples, %zu kB of samples\n",
              outPath.c_str(), trimmed.presets.size(), trimmed.instruments.size(), zones,
              trimmed.samples.size(), trimmed.smpl.size() / 1024);
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  std::string outPath, fontPath;
  std::vector<std::string> names;
  bool verbose = false, perPiece = false;
  for (int i = 1; i < argc; ++i) {
    const std::string arg = argv[i];
    if (arg == "--font" && i + 1 < argc) fontPath = argv[++i];
    else if (arg == "-v") verbose = true;
    else if (arg == "--per-piece") perPiece = true;
    else if (outPath.empty()) outPath = arg;
    else names.push_back(arg);
  }
  if (outPath.empty() || names.empty()) {
    std::fprintf(stderr, "usage: sftrim OUT.sf2 PIECE.mid... [--per-piece] [--font SOURCE.sf2] [-v]\n"
                         "  --per-piece: also one font for each piece alone, beside OUT\n");
    return 2;
  }
  if (fontPath.empty()) fontPath = sf2::SystemSoundFont();
  if (fontPath.empty()) return Refuse(outPath, "no system soundfont");

  sf2::SoundFont source;
  std::string why;
  if (!sf2::Read(fontPath, &source, &why)) return Refuse(outPath, fontPath + ": " + why);
  std::printf("sftrim: from %s\n", fontPath.c_str());
  std::vector<std::vector<std::uint8_t>> pieces;
  for (const std::string& name : names) {
    std::ifstream in(name, std::ios::binary);
    pieces.emplace_back(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    if (!in.good() && !in.eof()) return Refuse(outPath, "cannot read " + name);
  }
  if (const int failed = TrimAndWrite(fontPath, source, pieces, names, outPath, verbose))
    return failed;
  if (!perPiece) return 0;
  // A piece without a font of its own is played from the whole one, so one that fails
  // here fails only itself.
  const std::string folder = outPath.substr(0, outPath.find_last_of('/') + 1);
  int result = 0;
  for (std::size_t i = 0; i < pieces.size(); ++i) {
    const std::string own =
        folder + sf2::PieceSoundFontName(pieces[i].data(), pieces[i].size());
    if (TrimAndWrite(fontPath, source, {pieces[i]}, {names[i]}, own, verbose) != 0) result = 1;
  }
  return result;
}

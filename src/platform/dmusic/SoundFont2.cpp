#include "platform/dmusic/SoundFont2.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <memory>
#include <system_error>

namespace platform::dmusic::sf2 {

namespace {

// Record sizes of the pdta sub-chunks, in the order the format lays them out.
constexpr std::size_t kPhdr = 38, kBag = 4, kMod = 10, kGen = 4, kInst = 22, kShdr = 46;

struct FileCloser {
  void operator()(std::FILE* f) const {
    if (f) std::fclose(f);
  }
};
using File = std::unique_ptr<std::FILE, FileCloser>;

std::uint16_t Le16(const std::uint8_t* p) { return static_cast<std::uint16_t>(p[0] | p[1] << 8); }
std::uint32_t Le32(const std::uint8_t* p) {
  return static_cast<std::uint32_t>(p[0]) | static_cast<std::uint32_t>(p[1]) << 8 |
         static_cast<std::uint32_t>(p[2]) << 16 | static_cast<std::uint32_t>(p[3]) << 24;
}
bool Is(const std::uint8_t* p, const char* id) { return std::memcmp(p, id, 4) == 0; }

bool Fail(std::string* why, const std::string& text) {
  if (why) *why = text;
  return false;
}

bool ReadAt(std::FILE* f, std::uint64_t at, void* into, std::size_t size) {
  if (size == 0) return true;
  if (fseeko(f, static_cast<off_t>(at), SEEK_SET) != 0) return false;
  return std::fread(into, 1, size, f) == size;
}

// One chunk inside a parent: where its body is and how long it is.
struct Chunk {
  std::uint8_t id[4];
  std::uint64_t at;
  std::uint32_t size;
};

// The chunks of a body held in memory, each checked to lie inside it.
bool SplitChunks(const std::uint8_t* body, std::size_t size, std::vector<Chunk>* out) {
  std::size_t pos = 0;
  while (pos < size) {
    if (size - pos < 8) return false;
    Chunk c;
    std::memcpy(c.id, body + pos, 4);
    c.size = Le32(body + pos + 4);
    c.at = pos + 8;
    if (c.size > size - pos - 8) return false;
    out->push_back(c);
    pos += 8 + static_cast<std::size_t>(c.size) + (c.size & 1);
  }
  return true;
}

// Zones from bag records [first, last) over generator and modulator records, each zone's
// generator and modulator ranges checked to run forwards and inside their records.
bool ReadZones(const std::uint8_t* bags, std::size_t bagCount, std::size_t first, std::size_t last,
               const std::uint8_t* gens, std::size_t genCount, const std::uint8_t* mods,
               std::size_t modCount, std::vector<Zone>* zones) {
  if (first > last || last >= bagCount) return false;
  for (std::size_t b = first; b < last; ++b) {
    const std::uint8_t* bag = bags + b * kBag;
    const std::size_t g0 = Le16(bag), m0 = Le16(bag + 2);
    const std::size_t g1 = Le16(bag + kBag), m1 = Le16(bag + kBag + 2);
    if (g0 > g1 || g1 > genCount || m0 > m1 || m1 > modCount) return false;
    Zone zone;
    for (std::size_t g = g0; g < g1; ++g)
      zone.generators.push_back({Le16(gens + g * kGen), Le16(gens + g * kGen + 2)});
    for (std::size_t m = m0; m < m1; ++m) {
      const std::uint8_t* r = mods + m * kMod;
      zone.modulators.push_back({Le16(r), Le16(r + 2), static_cast<std::int16_t>(Le16(r + 4)),
                                 Le16(r + 6), Le16(r + 8)});
    }
    zones->push_back(std::move(zone));
  }
  return true;
}

bool ReadPdta(const std::uint8_t* body, std::size_t size, SoundFont* font, std::string* why) {
  std::vector<Chunk> chunks;
  if (!SplitChunks(body, size, &chunks)) return Fail(why, "a preset chunk runs past its list");
  const char* const names[9] = {"phdr", "pbag", "pmod", "pgen", "inst",
                                "ibag", "imod", "igen", "shdr"};
  const std::size_t sizes[9] = {kPhdr, kBag, kMod, kGen, kInst, kBag, kMod, kGen, kShdr};
  const std::uint8_t* data[9] = {};
  std::size_t count[9] = {};
  for (int i = 0; i < 9; ++i) {
    const Chunk* c = nullptr;
    for (const Chunk& k : chunks)
      if (Is(k.id, names[i])) c = &k;
    if (!c) return Fail(why, std::string("no ") + names[i] + " chunk");
    if (c->size % sizes[i] != 0 || c->size < sizes[i])
      return Fail(why, std::string("the ") + names[i] + " chunk is not whole records");
    data[i] = body + c->at;
    count[i] = c->size / sizes[i];
  }
  const std::size_t presets = count[0] - 1, instruments = count[4] - 1, samples = count[8] - 1;
  if (presets == 0 || instruments == 0 || samples == 0)
    return Fail(why, "no presets, instruments or samples");

  font->presets.resize(presets);
  for (std::size_t i = 0; i < presets; ++i) {
    const std::uint8_t* r = data[0] + i * kPhdr;
    Preset& p = font->presets[i];
    std::memcpy(p.name, r, 20);
    p.program = Le16(r + 20);
    p.bank = Le16(r + 22);
    p.library = Le32(r + 26);
    p.genre = Le32(r + 30);
    p.morphology = Le32(r + 34);
    if (!ReadZones(data[1], count[1], Le16(r + 24), Le16(r + kPhdr + 24), data[3], count[3],
                   data[2], count[2], &p.zones))
      return Fail(why, "a preset's zones are out of range");
    for (const Zone& z : p.zones)
      if (const Generator* g = z.Find(kGenInstrument); g && g->amount >= instruments)
        return Fail(why, "a preset zone names a missing instrument");
  }
  font->instruments.resize(instruments);
  for (std::size_t i = 0; i < instruments; ++i) {
    const std::uint8_t* r = data[4] + i * kInst;
    Instrument& inst = font->instruments[i];
    std::memcpy(inst.name, r, 20);
    if (!ReadZones(data[5], count[5], Le16(r + 20), Le16(r + kInst + 20), data[7], count[7],
                   data[6], count[6], &inst.zones))
      return Fail(why, "an instrument's zones are out of range");
    for (const Zone& z : inst.zones)
      if (const Generator* g = z.Find(kGenSampleId); g && g->amount >= samples)
        return Fail(why, "an instrument zone names a missing sample");
  }
  font->samples.resize(samples);
  for (std::size_t i = 0; i < samples; ++i) {
    const std::uint8_t* r = data[8] + i * kShdr;
    Sample& s = font->samples[i];
    std::memcpy(s.name, r, 20);
    s.start = Le32(r + 20);
    s.end = Le32(r + 24);
    s.loopStart = Le32(r + 28);
    s.loopEnd = Le32(r + 32);
    s.rate = Le32(r + 36);
    s.pitch = r[40];
    s.correction = static_cast<std::int8_t>(r[41]);
    s.link = Le16(r + 42);
    s.type = Le16(r + 44);
    if (!(s.type & kRomSample) && (s.start > s.end || s.end > font->points))
      return Fail(why, "a sample's points lie outside the sample data");
  }
  return true;
}

void Put16(std::string& out, std::uint32_t v) {
  out.push_back(static_cast<char>(v & 0xFF));
  out.push_back(static_cast<char>(v >> 8 & 0xFF));
}
void Put32(std::string& out, std::uint32_t v) {
  Put16(out, v & 0xFFFF);
  Put16(out, v >> 16);
}
void PutChunk(std::string& out, const char* id, const std::string& body) {
  out.append(id, 4);
  Put32(out, static_cast<std::uint32_t>(body.size()));
  out += body;
  if (body.size() & 1) out.push_back('\0');
}

// The bag, generator and modulator records of a list of zones (terminal records included)
// appended after those already written.
struct ZoneRecords {
  std::string bags, gens, mods;
  std::size_t genCount = 0, modCount = 0, bagCount = 0;
  void Add(const Zone& z) {
    Put16(bags, static_cast<std::uint32_t>(genCount));
    Put16(bags, static_cast<std::uint32_t>(modCount));
    ++bagCount;
    for (const Generator& g : z.generators) {
      Put16(gens, g.oper);
      Put16(gens, g.amount);
    }
    for (const Modulator& m : z.modulators) {
      Put16(mods, m.source);
      Put16(mods, m.destination);
      Put16(mods, static_cast<std::uint16_t>(m.amount));
      Put16(mods, m.amountSource);
      Put16(mods, m.transform);
    }
    genCount += z.generators.size();
    modCount += z.modulators.size();
  }
  void Finish() {
    Put16(bags, static_cast<std::uint32_t>(genCount));
    Put16(bags, static_cast<std::uint32_t>(modCount));
    gens.append(kGen, '\0');
    mods.append(kMod, '\0');
  }
};

void PutName(std::string& out, const char* name) { out.append(name, 20); }

}  // namespace

const Generator* Zone::Find(std::uint16_t oper) const {
  for (const Generator& g : generators)
    if (g.oper == oper) return &g;
  return nullptr;
}

void Zone::Ranges(int* keyLo, int* keyHi, int* velLo, int* velHi) const {
  *keyLo = *velLo = 0;
  *keyHi = *velHi = 127;
  if (const Generator* g = Find(kGenKeyRange)) *keyLo = g->amount & 0xFF, *keyHi = g->amount >> 8;
  if (const Generator* g = Find(kGenVelRange)) *velLo = g->amount & 0xFF, *velHi = g->amount >> 8;
}

bool Read(const std::string& path, SoundFont* out, std::string* why) {
  *out = SoundFont{};
  File f(std::fopen(path.c_str(), "rb"));
  if (!f) return Fail(why, "cannot open " + path);
  if (fseeko(f.get(), 0, SEEK_END) != 0) return Fail(why, "cannot seek in " + path);
  const off_t end = ftello(f.get());
  if (end < 12) return Fail(why, "too short for a soundfont");
  const std::uint64_t fileSize = static_cast<std::uint64_t>(end);

  std::uint8_t head[12];
  if (!ReadAt(f.get(), 0, head, 12)) return Fail(why, "cannot read the header");
  if (!Is(head, "RIFF") || !Is(head + 8, "sfbk")) return Fail(why, "not a soundfont");
  const std::uint64_t riffEnd = 8 + static_cast<std::uint64_t>(Le32(head + 4));
  if (riffEnd > fileSize) return Fail(why, "truncated: the file ends before its RIFF chunk");
  if (riffEnd < 12) return Fail(why, "the RIFF chunk is too short");

  bool haveInfo = false, haveSdta = false, havePdta = false;
  std::vector<std::uint8_t> pdta;
  std::uint64_t pos = 12;
  while (pos < riffEnd) {
    std::uint8_t h[12];
    if (riffEnd - pos < 8 || !ReadAt(f.get(), pos, h, 8)) return Fail(why, "a chunk header is cut");
    const std::uint32_t size = Le32(h + 4);
    if (size > riffEnd - pos - 8) return Fail(why, "a chunk runs past the end of the file");
    const std::uint64_t next = pos + 8 + size + (size & 1);
    if (!Is(h, "LIST") || size < 4 || !ReadAt(f.get(), pos + 8, h + 8, 4)) {
      // chunks the format does not know are skipped
      pos = next;
      continue;
    }
    const std::uint64_t bodyAt = pos + 12;
    const std::uint32_t bodySize = size - 4;
    if (Is(h + 8, "INFO") || Is(h + 8, "pdta")) {
      std::vector<std::uint8_t> body(bodySize);
      if (!ReadAt(f.get(), bodyAt, body.data(), bodySize)) return Fail(why, "cannot read a list");
      if (Is(h + 8, "pdta")) {
        pdta = std::move(body);
        havePdta = true;
      } else {
        std::vector<Chunk> chunks;
        if (!SplitChunks(body.data(), body.size(), &chunks))
          return Fail(why, "an INFO chunk runs past its list");
        for (const Chunk& c : chunks) {
          SubChunk sub;
          std::memcpy(sub.id, c.id, 4);
          sub.bytes.assign(reinterpret_cast<const char*>(body.data() + c.at), c.size);
          out->info.push_back(std::move(sub));
        }
        haveInfo = true;
      }
    } else if (Is(h + 8, "sdta")) {
      std::uint64_t at = bodyAt;
      const std::uint64_t listEnd = bodyAt + bodySize;
      while (at < listEnd) {
        std::uint8_t ch[8];
        if (listEnd - at < 8 || !ReadAt(f.get(), at, ch, 8)) return Fail(why, "a sample chunk header is cut");
        const std::uint32_t chunkSize = Le32(ch + 4);
        if (chunkSize > listEnd - at - 8) return Fail(why, "the sample data runs past its list");
        if (Is(ch, "smpl")) {
          out->smplAt = at + 8;
          out->points = chunkSize / 2;
          haveSdta = true;
        } else if (Is(ch, "sm24")) {
          out->sm24At = at + 8;
          out->hasSm24 = true;
          if (chunkSize < 1) out->hasSm24 = false;
        }
        at += 8 + chunkSize + (chunkSize & 1);
      }
    }
    pos = next;
  }
  if (!haveInfo) return Fail(why, "no INFO list");
  if (!haveSdta) return Fail(why, "no sample data");
  if (!havePdta) return Fail(why, "no preset data");
  const SubChunk* ifil = nullptr;
  for (const SubChunk& c : out->info)
    if (std::memcmp(c.id, "ifil", 4) == 0) ifil = &c;
  if (!ifil || ifil->bytes.size() != 4 || ifil->bytes[0] != 2)
    return Fail(why, "not a version 2 soundfont");
  if (out->hasSm24) {
    // The low bytes count for every point or not at all.
    std::uint8_t ch[8];
    if (!ReadAt(f.get(), out->sm24At - 8, ch, 8) || Le32(ch + 4) < out->points) out->hasSm24 = false;
  }
  return ReadPdta(pdta.data(), pdta.size(), out, why);
}

bool CopyPoints(const std::string& path, const SoundFont& source, std::uint32_t first,
                std::uint32_t count, SoundFont* into, std::string* why) {
  File f(std::fopen(path.c_str(), "rb"));
  if (!f) return Fail(why, "cannot open " + path);
  const std::uint32_t have =
      first >= source.points ? 0 : std::min<std::uint32_t>(count, source.points - first);
  const std::size_t at = into->smpl.size();
  into->smpl.resize(at + 2 * static_cast<std::size_t>(count), 0);
  if (!ReadAt(f.get(), source.smplAt + 2 * static_cast<std::uint64_t>(first), into->smpl.data() + at,
              2 * static_cast<std::size_t>(have)))
    return Fail(why, "cannot read sample data");
  if (source.hasSm24) {
    const std::size_t at24 = into->sm24.size();
    into->sm24.resize(at24 + count, 0);
    if (!ReadAt(f.get(), source.sm24At + first, into->sm24.data() + at24, have))
      return Fail(why, "cannot read sample data");
  }
  return true;
}

bool Write(const std::string& path, const SoundFont& font, std::string* why) {
  std::string info;
  for (const SubChunk& c : font.info) PutChunk(info, c.id, c.bytes);
  std::string sdta;
  PutChunk(sdta, "smpl", std::string(font.smpl.begin(), font.smpl.end()));
  if (font.hasSm24) PutChunk(sdta, "sm24", std::string(font.sm24.begin(), font.sm24.end()));

  std::string phdr, inst, shdr;
  ZoneRecords p, i;
  for (const Preset& preset : font.presets) {
    PutName(phdr, preset.name);
    Put16(phdr, preset.program);
    Put16(phdr, preset.bank);
    Put16(phdr, static_cast<std::uint32_t>(p.bagCount));
    Put32(phdr, preset.library);
    Put32(phdr, preset.genre);
    Put32(phdr, preset.morphology);
    for (const Zone& z : preset.zones) p.Add(z);
  }
  char eop[20] = "EOP";
  PutName(phdr, eop);
  Put16(phdr, 0);
  Put16(phdr, 0);
  Put16(phdr, static_cast<std::uint32_t>(p.bagCount));
  phdr.append(12, '\0');
  p.Finish();
  for (const Instrument& instrument : font.instruments) {
    PutName(inst, instrument.name);
    Put16(inst, static_cast<std::uint32_t>(i.bagCount));
    for (const Zone& z : instrument.zones) i.Add(z);
  }
  char eoi[20] = "EOI";
  PutName(inst, eoi);
  Put16(inst, static_cast<std::uint32_t>(i.bagCount));
  i.Finish();
  if (p.bagCount > 0xFFFF || i.bagCount > 0xFFFF || p.genCount > 0xFFFF || i.genCount > 0xFFFF ||
      p.modCount > 0xFFFF || i.modCount > 0xFFFF)
    return Fail(why, "too many zones for the format");
  for (const Sample& s : font.samples) {
    PutName(shdr, s.name);
    Put32(shdr, s.start);
    Put32(shdr, s.end);
    Put32(shdr, s.loopStart);
    Put32(shdr, s.loopEnd);
    Put32(shdr, s.rate);
    shdr.push_back(static_cast<char>(s.pitch));
    shdr.push_back(static_cast<char>(s.correction));
    Put16(shdr, s.link);
    Put16(shdr, s.type);
  }
  char eos[20] = "EOS";
  PutName(shdr, eos);
  shdr.append(kShdr - 20, '\0');

  std::string pdta;
  PutChunk(pdta, "phdr", phdr);
  PutChunk(pdta, "pbag", p.bags);
  PutChunk(pdta, "pmod", p.mods);
  PutChunk(pdta, "pgen", p.gens);
  PutChunk(pdta, "inst", inst);
  PutChunk(pdta, "ibag", i.bags);
  PutChunk(pdta, "imod", i.mods);
  PutChunk(pdta, "igen", i.gens);
  PutChunk(pdta, "shdr", shdr);

  std::string body = "sfbk";
  PutChunk(body, "LIST", "INFO" + info);
  PutChunk(body, "LIST", "sdta" + sdta);
  PutChunk(body, "LIST", "pdta" + pdta);
  if (body.size() > 0xFFFFFFF0u) return Fail(why, "too large for the format");
  std::string file;
  PutChunk(file, "RIFF", body);

  const std::string part = path + ".part";
  {
    File out(std::fopen(part.c_str(), "wb"));
    if (!out) return Fail(why, "cannot create " + part);
    const bool written = std::fwrite(file.data(), 1, file.size(), out.get()) == file.size();
    const bool closed = std::fclose(out.release()) == 0;
    if (!written || !closed) {
      std::remove(part.c_str());
      return Fail(why, "cannot write " + part);
    }
  }
  if (std::rename(part.c_str(), path.c_str()) != 0) {
    std::remove(part.c_str());
    return Fail(why, "cannot rename " + part);
  }
  return true;
}

std::string PieceSoundFontName(const std::uint8_t* midi, std::size_t size) {
  // 64-bit FNV-1a.
  std::uint64_t hash = 0xcbf29ce484222325ull;
  for (std::size_t i = 0; i < size; ++i) hash = (hash ^ midi[i]) * 0x100000001b3ull;
  char name[40];
  std::snprintf(name, sizeof name, "Instrumentos_%016llx.sf2",
                static_cast<unsigned long long>(hash));
  return name;
}

std::string SystemSoundFont() {
  namespace fs = std::filesystem;
  const fs::path folder = "/usr/share/sounds/sf2";
  for (const char* name : {"FluidR3_GM.sf2", "default-GM.sf2"}) {
    std::error_code ec;
    if (fs::exists(folder / name, ec)) return (folder / name).string();
  }
  std::error_code ec;
  std::vector<std::string> found;
  for (const auto& entry : fs::directory_iterator(folder, ec)) {
    const std::string ext = entry.path().extension().string();
    if (ext == ".sf2" || ext == ".SF2") found.push_back(entry.path().string());
  }
  std::sort(found.begin(), found.end());
  return found.empty() ? std::string() : found.front();
}

}  // namespace platform::dmusic::sf2

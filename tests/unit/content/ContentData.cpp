#include "unit/content/ContentData.h"

#include <jpeglib.h>
#include <png.h>

#include <algorithm>
#include <csetjmp>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <map>

namespace content {

std::string DataDir() { return std::string(YULE_BUILD_DIR) + "/Data"; }

std::string ArtifactDir() {
  const std::string dir = std::string(YULE_BUILD_DIR) + "/artifacts/content";
  std::error_code ec;
  std::filesystem::create_directories(dir, ec);
  return dir;
}

bool LoadPng(const std::string& path, Image& out) {
  png_image img;
  std::memset(&img, 0, sizeof img);
  img.version = PNG_IMAGE_VERSION;
  if (!png_image_begin_read_from_file(&img, path.c_str())) return false;
  img.format = PNG_FORMAT_RGBA;
  out.w = static_cast<int>(img.width);
  out.h = static_cast<int>(img.height);
  out.rgba.assign(PNG_IMAGE_SIZE(img), 0);
  if (!png_image_finish_read(&img, nullptr, out.rgba.data(), 0, nullptr)) {
    png_image_free(&img);
    return false;
  }
  return true;
}

namespace {
struct JpegError {
  jpeg_error_mgr mgr;
  jmp_buf jump;
};
void OnJpegError(j_common_ptr c) { longjmp(reinterpret_cast<JpegError*>(c->err)->jump, 1); }
}  // namespace

bool LoadJpeg(const std::string& path, Image& out) {
  FILE* f = std::fopen(path.c_str(), "rb");
  if (!f) return false;
  jpeg_decompress_struct cinfo;
  JpegError err;
  cinfo.err = jpeg_std_error(&err.mgr);
  err.mgr.error_exit = OnJpegError;
  std::vector<uint8_t> row;
  if (setjmp(err.jump)) {
    jpeg_destroy_decompress(&cinfo);
    std::fclose(f);
    return false;
  }
  jpeg_create_decompress(&cinfo);
  jpeg_stdio_src(&cinfo, f);
  jpeg_read_header(&cinfo, TRUE);
  cinfo.out_color_space = JCS_RGB;
  jpeg_start_decompress(&cinfo);
  out.w = static_cast<int>(cinfo.output_width);
  out.h = static_cast<int>(cinfo.output_height);
  out.rgba.assign(static_cast<size_t>(out.w) * out.h * 4, 255);
  row.resize(static_cast<size_t>(out.w) * 3);
  while (cinfo.output_scanline < cinfo.output_height) {
    const int y = static_cast<int>(cinfo.output_scanline);
    JSAMPROW r = row.data();
    jpeg_read_scanlines(&cinfo, &r, 1);
    for (int x = 0; x < out.w; ++x)
      std::memcpy(&out.rgba[(static_cast<size_t>(y) * out.w + x) * 4], &row[x * 3], 3);
  }
  jpeg_finish_decompress(&cinfo);
  jpeg_destroy_decompress(&cinfo);
  std::fclose(f);
  return true;
}

namespace {

std::string ReadAll(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), {});
}
uint32_t Le32(const std::string& b, size_t o) {
  return static_cast<uint8_t>(b[o]) | static_cast<uint8_t>(b[o + 1]) << 8 |
         static_cast<uint8_t>(b[o + 2]) << 16 | static_cast<uint32_t>(static_cast<uint8_t>(b[o + 3])) << 24;
}
uint16_t Le16(const std::string& b, size_t o) {
  return static_cast<uint16_t>(static_cast<uint8_t>(b[o]) | static_cast<uint8_t>(b[o + 1]) << 8);
}
uint32_t Be32(const std::string& b, size_t o) {
  return static_cast<uint32_t>(static_cast<uint8_t>(b[o])) << 24 | static_cast<uint8_t>(b[o + 1]) << 16 |
         static_cast<uint8_t>(b[o + 2]) << 8 | static_cast<uint8_t>(b[o + 3]);
}

}  // namespace

bool LoadWav(const std::string& path, Wav& out) {
  const std::string b = ReadAll(path);
  if (b.size() < 12 || b.compare(0, 4, "RIFF") != 0 || b.compare(8, 4, "WAVE") != 0) return false;
  size_t o = 12;
  bool haveFmt = false;
  while (o + 8 <= b.size()) {
    const std::string id = b.substr(o, 4);
    const uint32_t size = Le32(b, o + 4);
    const size_t body = o + 8;
    if (body + size > b.size()) return false;
    if (id == "fmt " && size >= 16) {
      out.format = Le16(b, body);
      out.channels = Le16(b, body + 2);
      out.rate = static_cast<int>(Le32(b, body + 4));
      out.bits = Le16(b, body + 14);
      haveFmt = true;
    } else if (id == "data" && haveFmt && out.bits == 16 && out.channels > 0) {
      const size_t frame = 2u * out.channels;
      for (size_t i = 0; i + frame <= size; i += frame)
        out.samples.push_back(static_cast<int16_t>(Le16(b, body + i)) / 32768.0f);
      return true;
    }
    o = body + size + (size & 1);
  }
  return false;
}

bool LoadMidi(const std::string& path, MidiFile& out) {
  const std::string b = ReadAll(path);
  if (b.size() < 14 || b.compare(0, 4, "MThd") != 0 || Be32(b, 4) != 6) return false;
  out.format = static_cast<uint8_t>(b[8]) << 8 | static_cast<uint8_t>(b[9]);
  const int ntracks = static_cast<uint8_t>(b[10]) << 8 | static_cast<uint8_t>(b[11]);
  const int ppq = static_cast<uint8_t>(b[12]) << 8 | static_cast<uint8_t>(b[13]);
  if (ppq <= 0 || (ppq & 0x8000)) return false;
  struct Raw {
    uint32_t tick;
    int channel, key, velocity;  // velocity 0: release; key −1: program change to `velocity`
  };
  std::vector<Raw> raw;
  std::map<uint32_t, uint32_t> tempo;  // tick → microseconds per quarter
  tempo[0] = 500000;
  uint32_t lastEnd = 0;
  size_t o = 14;
  for (int t = 0; t < ntracks; ++t) {
    if (o + 8 > b.size() || b.compare(o, 4, "MTrk") != 0) return false;
    const size_t end = o + 8 + Be32(b, o + 4);
    if (end > b.size()) return false;
    size_t p = o + 8;
    uint32_t tick = 0;
    uint8_t status = 0;
    bool ended = false;
    auto varlen = [&](uint32_t& v) {
      v = 0;
      for (int i = 0; i < 4 && p < end; ++i) {
        const uint8_t c = static_cast<uint8_t>(b[p++]);
        v = v << 7 | (c & 0x7F);
        if (!(c & 0x80)) return true;
      }
      return false;
    };
    while (p < end && !ended) {
      uint32_t delta;
      if (!varlen(delta)) return false;
      tick += delta;
      if (p >= end) return false;
      uint8_t c = static_cast<uint8_t>(b[p]);
      if (c == 0xFF) {
        if (p + 2 > end) return false;
        const uint8_t type = static_cast<uint8_t>(b[p + 1]);
        p += 2;
        uint32_t len;
        if (!varlen(len) || p + len > end) return false;
        if (type == 0x51 && len == 3)
          tempo[tick] = static_cast<uint8_t>(b[p]) << 16 | static_cast<uint8_t>(b[p + 1]) << 8 |
                        static_cast<uint8_t>(b[p + 2]);
        if (type == 0x2F) ended = true;
        p += len;
        continue;
      }
      if (c == 0xF0 || c == 0xF7) {
        ++p;
        uint32_t len;
        if (!varlen(len) || p + len > end) return false;
        p += len;
        continue;
      }
      if (c & 0x80) {
        status = c;
        ++p;
      }
      if (!(status & 0x80)) return false;
      const int kind = status & 0xF0, ch = status & 0x0F;
      const int n = (kind == 0xC0 || kind == 0xD0) ? 1 : 2;
      if (p + n > end) return false;
      const int d1 = static_cast<uint8_t>(b[p]), d2 = n > 1 ? static_cast<uint8_t>(b[p + 1]) : 0;
      p += n;
      if (kind == 0x90) raw.push_back({tick, ch, d1, d2});
      else if (kind == 0x80) raw.push_back({tick, ch, d1, 0});
      else if (kind == 0xC0) {
        out.programs.insert({ch, d1});
        raw.push_back({tick, ch, -1, d1});
      }
    }
    if (!ended) return false;
    lastEnd = std::max(lastEnd, tick);
    o = end;
  }
  out.tracks = ntracks;
  auto seconds = [&](uint32_t tick) {
    double s = 0;
    uint32_t at = 0, us = 500000;
    for (const auto& [t, v] : tempo) {
      if (t >= tick) break;
      s += (t - at) * (us / 1e6) / ppq;
      at = t;
      us = v;
    }
    return s + (tick - at) * (us / 1e6) / ppq;
  };
  std::stable_sort(raw.begin(), raw.end(), [](const Raw& a, const Raw& c) { return a.tick < c.tick; });
  std::map<std::pair<int, int>, std::vector<size_t>> open;
  int program[16] = {};
  for (const Raw& r : raw) {
    if (r.key < 0) {
      program[r.channel] = r.velocity;
      continue;
    }
    auto& stack = open[{r.channel, r.key}];
    if (r.velocity > 0) {
      out.notes.push_back({r.channel, r.key, r.velocity, program[r.channel], seconds(r.tick), -1});
      stack.push_back(out.notes.size() - 1);
    } else if (!stack.empty()) {
      out.notes[stack.front()].end = seconds(r.tick);
      stack.erase(stack.begin());
    }
  }
  for (auto& [k, v] : open) out.hangingNotes += static_cast<int>(v.size());
  out.seconds = seconds(lastEnd);
  return true;
}

const std::vector<bool>* SoundFont::Find(int bank, int program) const {
  for (const auto& [id, keys] : presets)
    if (id.first == bank && id.second == program) return &keys;
  return nullptr;
}

bool LoadSoundFont(const std::string& path, SoundFont& out) {
  // Reads only the preset data ("pdta"): the sample data is skipped by seeking.
  std::ifstream in(path, std::ios::binary);
  if (!in) return false;
  std::string head(12, '\0');
  in.read(head.data(), 12);
  if (!in || head.compare(0, 4, "RIFF") != 0 || head.compare(8, 4, "sfbk") != 0) return false;
  std::map<std::string, std::string> sub;
  while (in) {
    std::string ch(12, '\0');
    in.read(ch.data(), 8);
    if (!in) break;
    const uint32_t size = Le32(ch, 4);
    if (ch.compare(0, 4, "LIST") != 0) {
      in.seekg(size + (size & 1), std::ios::cur);
      continue;
    }
    in.read(&ch[8], 4);
    if (ch.compare(8, 4, "pdta") != 0) {
      in.seekg(size - 4 + (size & 1), std::ios::cur);
      continue;
    }
    std::string body(size - 4, '\0');
    in.read(body.data(), size - 4);
    if (!in) return false;
    for (size_t o = 0; o + 8 <= body.size();) {
      const uint32_t s = Le32(body, o + 4);
      if (o + 8 + s > body.size()) return false;
      sub[body.substr(o, 4)] = body.substr(o + 8, s);
      o += 8 + s + (s & 1);
    }
    break;
  }
  for (const char* id : {"phdr", "pbag", "pgen", "inst", "ibag", "igen"})
    if (!sub.count(id)) return false;
  const std::string &phdr = sub["phdr"], &pbag = sub["pbag"], &pgen = sub["pgen"],
                    &inst = sub["inst"], &ibag = sub["ibag"], &igen = sub["igen"];
  auto genRange = [](const std::string& bag, size_t i) { return Le16(bag, i * 4); };
  // Keys an instrument can sound: the union of its sample zones' key ranges.
  auto instKeys = [&](int index) {
    std::vector<bool> keys(128, false);
    if ((index + 1) * 22 + 22 > static_cast<int>(inst.size())) return keys;
    const int b0 = Le16(inst, index * 22 + 20), b1 = Le16(inst, (index + 1) * 22 + 20);
    for (int z = b0; z < b1 && (z + 1) * 4 < static_cast<int>(ibag.size()); ++z) {
      int lo = 0, hi = 127;
      bool sample = false;
      for (int g = genRange(ibag, z); g < genRange(ibag, z + 1) && (g + 1) * 4 <= static_cast<int>(igen.size()); ++g) {
        const int op = Le16(igen, g * 4);
        if (op == 43) lo = static_cast<uint8_t>(igen[g * 4 + 2]), hi = static_cast<uint8_t>(igen[g * 4 + 3]);
        if (op == 53) sample = true;
      }
      if (sample)
        for (int k = lo; k <= hi && k < 128; ++k) keys[k] = true;
    }
    return keys;
  };
  const int nPresets = static_cast<int>(phdr.size() / 38) - 1;  // the last is the terminal record
  for (int i = 0; i < nPresets; ++i) {
    const int program = Le16(phdr, i * 38 + 20), bank = Le16(phdr, i * 38 + 22);
    const int b0 = Le16(phdr, i * 38 + 24), b1 = Le16(phdr, (i + 1) * 38 + 24);
    std::vector<bool> keys(128, false);
    for (int z = b0; z < b1 && (z + 1) * 4 < static_cast<int>(pbag.size()); ++z) {
      int lo = 0, hi = 127, instrument = -1;
      for (int g = genRange(pbag, z); g < genRange(pbag, z + 1) && (g + 1) * 4 <= static_cast<int>(pgen.size()); ++g) {
        const int op = Le16(pgen, g * 4);
        if (op == 43) lo = static_cast<uint8_t>(pgen[g * 4 + 2]), hi = static_cast<uint8_t>(pgen[g * 4 + 3]);
        if (op == 41) instrument = Le16(pgen, g * 4 + 2);
      }
      if (instrument < 0) continue;
      const std::vector<bool> ik = instKeys(instrument);
      for (int k = lo; k <= hi && k < 128; ++k)
        if (ik[k]) keys[k] = true;
    }
    out.presets.push_back({{bank, program}, keys});
  }
  return !out.presets.empty();
}

}  // namespace content

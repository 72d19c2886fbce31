// Feeds arbitrary bytes to the soundfont reader: they must be refused or read without a
// crash, hang, leak or allocation beyond the input's size, and whatever reads is copied
// point for point into a new font, written and read back, which must give the same
// presets, instruments, zones and samples.
#include <cstddef>
#include <cstdint>

#include "FuzzScratch.h"
#include "platform/dmusic/SoundFont2.h"

namespace sf2 = platform::dmusic::sf2;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  FuzzScratchFile in("in.sf2", data, size);
  if (!in.ok()) return 0;
  sf2::SoundFont font;
  if (!sf2::Read(in.path(), &font, nullptr)) return 0;
  if (2ull * font.points > size) __builtin_trap();  // the data lies inside the file
  sf2::SoundFont copy = font;
  if (!sf2::CopyPoints(in.path(), font, 0, font.points, &copy, nullptr)) __builtin_trap();
  FuzzScratchFile out("out.sf2", nullptr, 0);
  if (!sf2::Write(out.path(), copy, nullptr)) return 0;  // more records than the format counts
  sf2::SoundFont back;
  if (!sf2::Read(out.path(), &back, nullptr)) __builtin_trap();
  if (back.presets.size() != font.presets.size() || back.instruments.size() != font.instruments.size() ||
      back.samples.size() != font.samples.size() || back.points != font.points)
    __builtin_trap();
  for (std::size_t i = 0; i < font.presets.size(); ++i)
    if (back.presets[i].zones.size() != font.presets[i].zones.size()) __builtin_trap();
  for (std::size_t i = 0; i < font.instruments.size(); ++i)
    if (back.instruments[i].zones.size() != font.instruments[i].zones.size()) __builtin_trap();
  return 0;
}

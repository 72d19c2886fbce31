// Feeds arbitrary bytes to the terrain outline reader, then sweeps moves against what it
// kept: counts must never size anything, only complete outlines may be kept, every
// outline must have one edge fewer than its points, and odd numbers (NaN, infinities,
// huge coordinates) must not break the segment tests.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <vector>

#include "level/CollisionOutline.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size > 1u << 20) return 0;
  std::FILE* file = size ? fmemopen(const_cast<std::uint8_t*>(data), size, "rb") : std::tmpfile();
  if (!file) return 0;
  std::vector<CollisionOutline> outlines;
  ReadOutlines(file, &outlines);
  std::fclose(file);

  std::size_t points = 0;
  for (const CollisionOutline& o : outlines) {
    points += o.points.size();
    const std::size_t expected = o.points.size() < 2 ? 0 : o.points.size() - 1;
    if (o.edges.size() != expected) __builtin_trap();
  }
  // Every kept point came from twelve bytes of the file, every outline from four more.
  if (4 + 4 * outlines.size() + 12 * points > size + (outlines.empty() ? 4 : 0)) __builtin_trap();

  const D3DXVECTOR3 starts[] = {{0, 0, 0}, {-650, 700, 0}, {123.5f, -77.25f, 0}};
  const D3DXVECTOR3 moves[] = {{10, 0, 0}, {0, -250, 0}, {-1e30f, 1e30f, 0}, {0.001f, 0, 0}};
  for (const CollisionOutline& o : outlines) {
    for (const D3DXVECTOR3& P : starts) {
      for (const D3DXVECTOR3& M : moves) {
        SweepResult r;
        if (OutlineHit(o, P, M, &r) && !(r.distance >= 0.0f)) __builtin_trap();
      }
    }
  }
  return 0;
}

// Model textures: a square picture painted with cairo and saved as PNG beside the
// models. Painting is deterministic (seeded noise), so the files are the same each run.
#pragma once

#include <cstdint>
#include <functional>
#include <string>

typedef struct _cairo cairo_t;

namespace kit3d {

// Paints a size × size picture with `paint` and writes it to path; `alpha` keeps an
// alpha channel (otherwise the picture is opaque RGB). False after printing on failure.
bool WritePng(const std::string& path, int size, bool alpha,
              const std::function<void(cairo_t*)>& paint);

// Deterministic noise in [0, 1) from integer coordinates and a seed.
float Hash(int x, int y, int seed);
// Smooth value noise in [0, 1) at a point, with cells of size 1.
float Noise(float x, float y, int seed);
// The same noise repeating every `period` cells, for textures that tile.
float TileNoise(float x, float y, int seed, int period);

}  // namespace kit3d

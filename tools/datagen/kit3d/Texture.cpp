#include "kit3d/Texture.h"

#include <cairo.h>

#include <cmath>
#include <cstdio>

namespace kit3d {

bool WritePng(const std::string& path, int size, bool alpha,
              const std::function<void(cairo_t*)>& paint) {
  cairo_surface_t* s =
      cairo_image_surface_create(alpha ? CAIRO_FORMAT_ARGB32 : CAIRO_FORMAT_RGB24, size, size);
  cairo_t* cr = cairo_create(s);
  paint(cr);
  cairo_destroy(cr);
  cairo_surface_flush(s);
  const bool ok = cairo_surface_write_to_png(s, path.c_str()) == CAIRO_STATUS_SUCCESS;
  cairo_surface_destroy(s);
  if (!ok) std::fprintf(stderr, "datagen: cannot write %s\n", path.c_str());
  return ok;
}

float Hash(int x, int y, int seed) {
  std::uint32_t h = static_cast<std::uint32_t>(x) * 374761393u + static_cast<std::uint32_t>(y) * 668265263u +
                    static_cast<std::uint32_t>(seed) * 2246822519u;
  h = (h ^ (h >> 13)) * 1274126177u;
  h ^= h >> 16;
  return (h & 0xFFFFFF) / 16777216.0f;
}

float Noise(float x, float y, int seed) { return TileNoise(x, y, seed, 0); }

float TileNoise(float x, float y, int seed, int period) {
  const int ix = static_cast<int>(std::floor(x)), iy = static_cast<int>(std::floor(y));
  float fx = x - ix, fy = y - iy;
  fx = fx * fx * (3 - 2 * fx);
  fy = fy * fy * (3 - 2 * fy);
  auto h = [&](int i, int j) {
    if (period > 0) {
      i = ((i % period) + period) % period;
      j = ((j % period) + period) % period;
    }
    return Hash(i, j, seed);
  };
  const float a = h(ix, iy), b = h(ix + 1, iy), c = h(ix, iy + 1), d = h(ix + 1, iy + 1);
  return a + (b - a) * fx + (c - a) * fy + (a - b - c + d) * fx * fy;
}

}  // namespace kit3d

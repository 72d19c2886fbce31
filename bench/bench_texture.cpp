// Texture loading from memory: decode, stretch to power-of-two sides and build the mip
// chain, for a photo-sized JPEG (800 × 600 onto 1024²) and a PNG just past a power of two
// (2049² onto 4096²), the worst case for stretching.
#include <benchmark/benchmark.h>

#include <string>
#include <vector>

#include "HeadlessDevice.h"
#include "platform/Platform.h"
#include "platform/d3d9/D3D9.h"
#include "platform/d3d9/D3D9Headless.h"
#include "platform/d3dx9/D3DX9Texture.h"
#include "support/TestImages.h"

namespace {

std::vector<std::uint32_t> Picture(std::uint32_t w, std::uint32_t h) {
  std::vector<std::uint32_t> p(static_cast<std::size_t>(w) * h);
  for (std::uint32_t y = 0; y < h; ++y)
    for (std::uint32_t x = 0; x < w; ++x)
      p[static_cast<std::size_t>(y) * w + x] =
          0xFF000000u | ((x * 255 / w) << 16) | ((y * 255 / h) << 8) | ((x ^ y) & 0xFF);
  return p;
}

void Load(benchmark::State& state, const std::string& file) {
  IDirect3DDevice9* device = Device();
  if (!device || file.empty()) {
    state.SkipWithError("no device or picture");
    return;
  }
  for (auto _ : state) {
    IDirect3DTexture9* texture = nullptr;
    if (FAILED(D3DXCreateTextureFromFileInMemoryEx(
            device, file.data(), static_cast<UINT>(file.size()), D3DX_DEFAULT, D3DX_DEFAULT,
            D3DX_DEFAULT, 0, D3DFMT_UNKNOWN, D3DPOOL_MANAGED, D3DX_DEFAULT, D3DX_DEFAULT, 0,
            nullptr, nullptr, &texture))) {
      state.SkipWithError("load failed");
      break;
    }
    texture->Release();
  }
}

void BM_LoadJpeg800x600(benchmark::State& state) {
  static const std::string file = EncodeJpeg(800, 600, Picture(800, 600));
  Load(state, file);
}

void BM_LoadPng2049Square(benchmark::State& state) {
  static const std::string file = EncodePng(2049, 2049, Picture(2049, 2049), false);
  Load(state, file);
}

}  // namespace

BENCHMARK(BM_LoadJpeg800x600)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_LoadPng2049Square)->Unit(benchmark::kMillisecond)->Iterations(2);
BENCHMARK_MAIN();

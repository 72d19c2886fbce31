// Writing synthesised sound: 16-bit PCM mono WAV files at 44100 Hz, with the level set
// to a given peak and short fades so that the ends never click; plus the few building
// blocks the effects are made of (a seeded noise source and a resonant filter).
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace kit2d {

constexpr int kSampleRate = 44100;

// Scales `samples` so that their peak is `peakDb` dBFS, fades the first `fadeInMs` and
// the last `fadeOutMs` milliseconds, and writes them; false with a message on failure.
bool WriteWav(const std::string& path, std::vector<float> samples, double peakDb,
              double fadeInMs = 3, double fadeOutMs = 25);

// Deterministic white noise in −1 … 1.
class Noise {
 public:
  explicit Noise(uint32_t seed) : s_(seed) {}
  float Next() {
    s_ = s_ * 1664525u + 1013904223u;
    return static_cast<float>(static_cast<int32_t>(s_)) / 2147483648.0f;
  }

 private:
  uint32_t s_;
};

// A state-variable filter; Process returns the band-pass output (low-pass in `low`).
struct Svf {
  float low = 0, band = 0;
  float Process(float in, float cutoffHz, float q);
};

}  // namespace kit2d

#include "kit2d/Wav.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

namespace kit2d {
namespace {

void Put16(std::string& b, uint16_t v) {
  b.push_back(static_cast<char>(v & 255));
  b.push_back(static_cast<char>(v >> 8));
}
void Put32(std::string& b, uint32_t v) {
  Put16(b, static_cast<uint16_t>(v & 0xFFFF));
  Put16(b, static_cast<uint16_t>(v >> 16));
}

}  // namespace

float Svf::Process(float in, float cutoffHz, float q) {
  const float f = 2.0f * std::sin(static_cast<float>(M_PI) * std::min(cutoffHz, kSampleRate / 6.0f) / kSampleRate);
  low += f * band;
  const float high = in - low - q * band;
  band += f * high;
  return band;
}

bool WriteWav(const std::string& path, std::vector<float> s, double peakDb, double fadeInMs,
              double fadeOutMs) {
  float peak = 0;
  for (float v : s) peak = std::max(peak, std::fabs(v));
  if (peak <= 0 || s.empty()) {
    std::fprintf(stderr, "%s: silent sound\n", path.c_str());
    return false;
  }
  const float gain = static_cast<float>(std::pow(10.0, peakDb / 20.0)) / peak;
  const size_t in = static_cast<size_t>(fadeInMs * kSampleRate / 1000);
  const size_t out = static_cast<size_t>(fadeOutMs * kSampleRate / 1000);
  for (size_t i = 0; i < s.size(); ++i) {
    float g = gain;
    if (i < in) g *= static_cast<float>(i) / in;
    if (i + out >= s.size()) g *= static_cast<float>(s.size() - 1 - i) / out;
    s[i] *= g;
  }
  std::string b = "RIFF";
  const uint32_t dataBytes = static_cast<uint32_t>(s.size() * 2);
  Put32(b, 36 + dataBytes);
  b += "WAVEfmt ";
  Put32(b, 16);
  Put16(b, 1);  // PCM
  Put16(b, 1);  // mono
  Put32(b, kSampleRate);
  Put32(b, kSampleRate * 2);
  Put16(b, 2);
  Put16(b, 16);
  b += "data";
  Put32(b, dataBytes);
  for (float v : s) {
    const long q = std::lround(std::clamp(v, -1.0f, 1.0f) * 32767.0f);
    Put16(b, static_cast<uint16_t>(static_cast<int16_t>(q)));
  }
  FILE* f = std::fopen(path.c_str(), "wb");
  if (!f) {
    std::fprintf(stderr, "cannot write %s\n", path.c_str());
    return false;
  }
  const bool ok = std::fwrite(b.data(), 1, b.size(), f) == b.size();
  return std::fclose(f) == 0 && ok;
}

}  // namespace kit2d

// Encodes small PNG and JPEG pictures for the texture tests, so that no binary fixture
// is needed: PNG with or without alpha, baseline JPEG.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

// Pixels are ARGB (0xAARRGGBB), top row first. Empty result on failure.
std::string EncodePng(std::uint32_t width, std::uint32_t height,
                      const std::vector<std::uint32_t>& argb, bool withAlpha);
std::string EncodeJpeg(std::uint32_t width, std::uint32_t height,
                       const std::vector<std::uint32_t>& argb, int quality = 95);

// Writes bytes to a file; false on failure.
bool WriteBytes(const std::string& path, const std::string& bytes);

// A fresh empty directory under the system's temporary folder, removed by the destructor.
class TempDir {
 public:
  TempDir();
  ~TempDir();
  const std::string& Path() const { return path_; }

 private:
  std::string path_;
};

// A decoded picture as the image readers hand it to texture loading: 32-bit ARGB
// pixels (0xAARRGGBB), top row first, and whether the file carried transparency.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

namespace platform::image {

// The largest image side the readers accept unless the caller names its own limit (a
// texture loader passes its device's largest texture side); anything larger is refused
// before any pixel memory is allocated.
constexpr std::uint32_t kMaxImageSide = 4096;

struct DecodedImage {
  std::uint32_t width = 0;
  std::uint32_t height = 0;
  bool hasAlpha = false;              // an alpha channel or a transparency chunk
  std::vector<std::uint32_t> pixels;  // width × height ARGB values
};

// A header's claimed size is acceptable: both sides from 1 to maxSide.
inline bool IsAcceptableImageSize(std::uint64_t width, std::uint64_t height,
                                  std::uint32_t maxSide = kMaxImageSide) {
  return width >= 1 && height >= 1 && width <= maxSide && height <= maxSide;
}

}  // namespace platform::image

// JPEG decoding with libjpeg for texture loading: greyscale and colour files become
// opaque ARGB. Corrupt, truncated or oversized files are refused; libjpeg's errors and
// warnings come back here and never end the process.
#pragma once

#include <cstddef>

#include "platform/image/DecodedImage.h"

namespace platform::image {

// True when the bytes start with a JPEG start-of-image marker.
bool IsJpeg(const unsigned char* data, std::size_t size);

// Decodes a whole JPEG file held in memory; false (and an empty image) on any error.
bool ReadJpeg(const unsigned char* data, std::size_t size, DecodedImage* out,
              std::uint32_t maxSide = kMaxImageSide);

}  // namespace platform::image

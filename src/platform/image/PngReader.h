// PNG decoding with libpng for texture loading: every colour type and bit depth becomes
// 8-bit ARGB. Corrupt, truncated or oversized files are refused, never half-read.
#pragma once

#include <cstddef>

#include "platform/image/DecodedImage.h"

namespace platform::image {

// True when the bytes start with the PNG signature.
bool IsPng(const unsigned char* data, std::size_t size);

// Decodes a whole PNG file held in memory; false (and an empty image) on any error.
bool ReadPng(const unsigned char* data, std::size_t size, DecodedImage* out,
              std::uint32_t maxSide = kMaxImageSide);

}  // namespace platform::image

// PNG decoding through libpng with setjmp error handling and size limits checked from
// the header before any pixel memory is allocated.
#include "platform/image/PngReader.h"

#include <png.h>

#include <csetjmp>
#include <cstring>

namespace platform::image {

namespace {

struct MemoryReader {
  const unsigned char* data;
  std::size_t size;
  std::size_t offset;
};

void ReadFromMemory(png_structp png, png_bytep out, png_size_t length) {
  auto* reader = static_cast<MemoryReader*>(png_get_io_ptr(png));
  if (length > reader->size - reader->offset) png_error(png, "truncated");
  std::memcpy(out, reader->data + reader->offset, length);
  reader->offset += length;
}

// libpng's default handlers print; failures are results here, never messages.
[[noreturn]] void OnError(png_structp png, png_const_charp) {
  png_longjmp(png, 1);
}
void OnWarning(png_structp, png_const_charp) {}

// Everything that must survive a longjmp lives here, outside the decoding frame.
struct DecodeState {
  png_structp png = nullptr;
  png_infop info = nullptr;
  std::vector<png_bytep> rows;
};

bool Decode(DecodeState& s, MemoryReader& reader, std::uint32_t maxSide, DecodedImage* out) {
  if (setjmp(png_jmpbuf(s.png))) return false;

  png_set_read_fn(s.png, &reader, ReadFromMemory);
  png_set_user_limits(s.png, maxSide, maxSide);
  png_set_chunk_malloc_max(s.png, 8u * 1024u * 1024u);
  png_read_info(s.png, s.info);

  png_uint_32 width = 0, height = 0;
  int bitDepth = 0, colourType = 0, interlace = 0;
  png_get_IHDR(s.png, s.info, &width, &height, &bitDepth, &colourType, &interlace, nullptr,
               nullptr);
  if (!IsAcceptableImageSize(width, height, maxSide)) return false;

  const bool hasAlpha =
      (colourType & PNG_COLOR_MASK_ALPHA) != 0 || png_get_valid(s.png, s.info, PNG_INFO_tRNS) != 0;

  // Normalise every layout to 8-bit RGBA.
  png_set_expand(s.png);  // palette → RGB, low-bit grey → 8 bits, tRNS → alpha
  png_set_strip_16(s.png);
  if (colourType == PNG_COLOR_TYPE_GRAY || colourType == PNG_COLOR_TYPE_GRAY_ALPHA)
    png_set_gray_to_rgb(s.png);
  if (!hasAlpha) png_set_filler(s.png, 0xFF, PNG_FILLER_AFTER);
  png_set_interlace_handling(s.png);
  png_read_update_info(s.png, s.info);
  if (png_get_rowbytes(s.png, s.info) != static_cast<png_size_t>(width) * 4) return false;

  // Rows are decoded as r, g, b, a bytes straight into the output's pixel memory and
  // turned into ARGB values in place, so the picture is held only once.
  out->pixels.resize(static_cast<std::size_t>(width) * height);
  auto* bytes = reinterpret_cast<unsigned char*>(out->pixels.data());
  s.rows.resize(height);
  for (png_uint_32 y = 0; y < height; ++y) s.rows[y] = bytes + std::size_t{y} * width * 4;
  png_read_image(s.png, s.rows.data());
  // A file cut off after its pixel data is still truncated: insist on its end chunk.
  png_read_end(s.png, nullptr);

  out->width = width;
  out->height = height;
  out->hasAlpha = hasAlpha;
  for (std::uint32_t& pixel : out->pixels) {
    unsigned char p[4];
    std::memcpy(p, &pixel, 4);
    pixel = (std::uint32_t{p[3]} << 24) | (std::uint32_t{p[0]} << 16) | (std::uint32_t{p[1]} << 8) |
            p[2];
  }
  return true;
}

// libpng allocates an ancillary chunk's whole declared length before reading its bytes,
// and its chunk size limit does not stop that, so a handful of corrupt bytes could ask
// for gigabytes. Every chunk up to the end marker must lie within the data; a file whose
// chunk runs past its end is truncated or corrupt whatever libpng would make of it.
bool ChunksLieWithinData(const unsigned char* data, std::size_t size) {
  constexpr std::size_t kFraming = 12;  // length, type and check value
  std::size_t at = 8;
  while (size - at >= 8) {
    const std::size_t length = (std::size_t{data[at]} << 24) | (std::size_t{data[at + 1]} << 16) |
                               (std::size_t{data[at + 2]} << 8) | data[at + 3];
    if (size - at < kFraming || length > size - at - kFraming) return false;
    if (std::memcmp(data + at + 4, "IEND", 4) == 0) return true;
    at += kFraming + length;
  }
  return true;  // cut inside a chunk's header: libpng finds it truncated
}

}  // namespace

bool IsPng(const unsigned char* data, std::size_t size) {
  return data && size >= 8 && png_sig_cmp(data, 0, 8) == 0;
}

bool ReadPng(const unsigned char* data, std::size_t size, DecodedImage* out,
             std::uint32_t maxSide) {
  if (!out) return false;
  *out = DecodedImage{};
  if (!IsPng(data, size) || !ChunksLieWithinData(data, size)) return false;

  DecodeState state;
  state.png = png_create_read_struct(PNG_LIBPNG_VER_STRING, nullptr, OnError, OnWarning);
  if (!state.png) return false;
  state.info = png_create_info_struct(state.png);
  if (!state.info) {
    png_destroy_read_struct(&state.png, nullptr, nullptr);
    return false;
  }
  MemoryReader reader{data, size, 0};
  const bool ok = Decode(state, reader, maxSide, out);
  png_destroy_read_struct(&state.png, &state.info, nullptr);
  if (!ok) *out = DecodedImage{};
  return ok;
}

}  // namespace platform::image

// JPEG decoding through libjpeg with an error manager that jumps back here instead of
// exiting, size limits checked from the header, and a cap on progressive scans so a
// hostile file cannot keep the decoder busy for minutes.
#include "platform/image/JpegReader.h"

// clang-format off
#include <cstdio>  // jpeglib.h needs FILE and size_t first
#include <jpeglib.h>
// clang-format on

#include <csetjmp>

namespace platform::image {

namespace {

constexpr int kMaxScans = 256;
constexpr long kMaxDecoderMemory = 256L * 1024L * 1024L;

struct ErrorManager {
  jpeg_error_mgr base;  // first, so libjpeg's pointer is also ours
  std::jmp_buf jump;
};

[[noreturn]] void OnError(j_common_ptr cinfo) {
  std::longjmp(reinterpret_cast<ErrorManager*>(cinfo->err)->jump, 1);
}

// Level −1 is a warning about corrupt data (a truncated file among them: libjpeg would
// pad it with grey). Such a picture is refused as a whole. Trace messages are ignored.
void OnMessage(j_common_ptr cinfo, int level) {
  if (level < 0) std::longjmp(reinterpret_cast<ErrorManager*>(cinfo->err)->jump, 1);
}

void OnOutputMessage(j_common_ptr) {}

void OnProgress(j_common_ptr cinfo) {
  if (cinfo->is_decompressor) {
    auto* d = reinterpret_cast<j_decompress_ptr>(cinfo);
    if (d->input_scan_number > kMaxScans)
      std::longjmp(reinterpret_cast<ErrorManager*>(cinfo->err)->jump, 1);
  }
}

// Everything that must survive a longjmp lives here, outside the decoding frame.
struct DecodeState {
  jpeg_decompress_struct cinfo{};
  ErrorManager errors{};
  jpeg_progress_mgr progress{};
  std::vector<unsigned char> row;
};

bool Decode(DecodeState& s, const unsigned char* data, std::size_t size, DecodedImage* out) {
  if (setjmp(s.errors.jump)) return false;

  jpeg_mem_src(&s.cinfo, data, static_cast<unsigned long>(size));
  jpeg_read_header(&s.cinfo, TRUE);
  if (!IsAcceptableImageSize(s.cinfo.image_width, s.cinfo.image_height)) return false;
  s.cinfo.out_color_space = JCS_RGB;  // greyscale and YCbCr both come out as RGB
  jpeg_start_decompress(&s.cinfo);
  if (s.cinfo.output_components != 3) return false;

  const std::uint32_t width = s.cinfo.output_width;
  const std::uint32_t height = s.cinfo.output_height;
  if (!IsAcceptableImageSize(width, height)) return false;
  s.row.resize(static_cast<std::size_t>(width) * 3);
  out->pixels.resize(static_cast<std::size_t>(width) * height);
  while (s.cinfo.output_scanline < height) {
    const std::uint32_t y = s.cinfo.output_scanline;
    JSAMPROW rowPointer = s.row.data();
    if (jpeg_read_scanlines(&s.cinfo, &rowPointer, 1) != 1) return false;
    std::uint32_t* dst = out->pixels.data() + static_cast<std::size_t>(y) * width;
    const unsigned char* p = s.row.data();
    for (std::uint32_t x = 0; x < width; ++x, p += 3)
      dst[x] = 0xFF000000u | (std::uint32_t{p[0]} << 16) | (std::uint32_t{p[1]} << 8) | p[2];
  }
  jpeg_finish_decompress(&s.cinfo);
  out->width = width;
  out->height = height;
  out->hasAlpha = false;
  return true;
}

}  // namespace

bool IsJpeg(const unsigned char* data, std::size_t size) {
  return data && size >= 3 && data[0] == 0xFF && data[1] == 0xD8 && data[2] == 0xFF;
}

bool ReadJpeg(const unsigned char* data, std::size_t size, DecodedImage* out) {
  if (!out) return false;
  *out = DecodedImage{};
  if (!IsJpeg(data, size)) return false;

  DecodeState state;
  state.cinfo.err = jpeg_std_error(&state.errors.base);
  state.errors.base.error_exit = OnError;
  state.errors.base.emit_message = OnMessage;
  state.errors.base.output_message = OnOutputMessage;
  if (setjmp(state.errors.jump)) {
    jpeg_destroy_decompress(&state.cinfo);
    return false;
  }
  jpeg_create_decompress(&state.cinfo);
  state.cinfo.mem->max_memory_to_use = kMaxDecoderMemory;
  state.progress.progress_monitor = OnProgress;
  state.cinfo.progress = &state.progress;

  const bool ok = Decode(state, data, size, out);
  jpeg_destroy_decompress(&state.cinfo);
  if (!ok) *out = DecodedImage{};
  return ok;
}

}  // namespace platform::image

// JPEG decoding through libjpeg with an error manager that jumps back here instead of
// exiting, size limits checked from the header, and a cap on progressive scans so a
// hostile file cannot keep the decoder busy for minutes. Warnings only sink a picture
// when they say its pixel data was damaged before the last row came out.
#include "platform/image/JpegReader.h"

// clang-format off
#include <cstdio>  // jpeglib.h needs FILE and size_t first
#include <jpeglib.h>
#include <jerror.h>  // after jpeglib.h
// clang-format on

#include <csetjmp>

namespace platform::image {

namespace {

constexpr int kMaxScans = 256;
constexpr long kMaxDecoderMemory = 256L * 1024L * 1024L;

struct ErrorManager {
  jpeg_error_mgr base;  // first, so libjpeg's pointer is also ours
  std::jmp_buf jump;
  bool allRowsOut = false;  // every row has been delivered; later damage cannot show
};

[[noreturn]] void OnError(j_common_ptr cinfo) {
  std::longjmp(reinterpret_cast<ErrorManager*>(cinfo->err)->jump, 1);
}

// Warnings that mean pixel data is missing or damaged; libjpeg fills such gaps with grey.
bool IsDamagedDataWarning(int code) {
  switch (code) {
    case JWRN_ARITH_BAD_CODE:
    case JWRN_BOGUS_PROGRESSION:
    case JWRN_EXTRANEOUS_DATA:
    case JWRN_HIT_MARKER:
    case JWRN_HUFF_BAD_CODE:
    case JWRN_JPEG_EOF:
    case JWRN_MUST_RESYNC:
    case JWRN_NOT_SEQUENTIAL:
    case JWRN_TOO_MUCH_DATA:
      return true;
    default:
      return false;
  }
}

// Level −1 is a warning. A damaged-data warning before the last row means part of the
// picture would be made up, so the picture is refused; other warnings (an unknown JFIF
// revision, junk after the last row) leave every pixel intact. Traces are ignored.
void OnMessage(j_common_ptr cinfo, int level) {
  auto* errors = reinterpret_cast<ErrorManager*>(cinfo->err);
  if (level < 0 && !errors->allRowsOut && IsDamagedDataWarning(errors->base.msg_code))
    std::longjmp(errors->jump, 1);
}

void OnOutputMessage(j_common_ptr) {}

void OnProgress(j_common_ptr cinfo) {
  if (cinfo->is_decompressor) {
    auto* d = reinterpret_cast<j_decompress_ptr>(cinfo);
    if (d->input_scan_number > kMaxScans)
      std::longjmp(reinterpret_cast<ErrorManager*>(cinfo->err)->jump, 1);
  }
}

// A memory source that, when the bytes run out, supplies one end-of-image marker without
// complaint: a file whose only fault is a missing end marker then decodes cleanly, while
// a file cut short inside its pixel data still meets the marker where it needs data and
// is warned about. A second request is a real overrun and is warned about as such.
struct MemorySource {
  jpeg_source_mgr base;  // first, so libjpeg's pointer is also ours
  const JOCTET* data = nullptr;
  std::size_t size = 0;
  bool endSupplied = false;
};

const JOCTET kEndOfImage[2] = {0xFF, JPEG_EOI};

void SourceInit(j_decompress_ptr) {}

boolean SourceFill(j_decompress_ptr cinfo) {
  auto* src = reinterpret_cast<MemorySource*>(cinfo->src);
  if (src->endSupplied) WARNMS(cinfo, JWRN_JPEG_EOF);
  src->endSupplied = true;
  src->base.next_input_byte = kEndOfImage;
  src->base.bytes_in_buffer = sizeof kEndOfImage;
  return TRUE;
}

void SourceSkip(j_decompress_ptr cinfo, long count) {
  auto* src = reinterpret_cast<MemorySource*>(cinfo->src);
  if (count <= 0) return;
  if (count > static_cast<long>(src->base.bytes_in_buffer)) {
    SourceFill(cinfo);  // skipping past the end lands on the supplied end marker
    return;
  }
  src->base.next_input_byte += count;
  src->base.bytes_in_buffer -= static_cast<std::size_t>(count);
}

void SourceTerm(j_decompress_ptr) {}

// Everything that must survive a longjmp lives here, outside the decoding frame.
struct DecodeState {
  jpeg_decompress_struct cinfo{};
  ErrorManager errors{};
  jpeg_progress_mgr progress{};
  MemorySource source{};
  std::vector<unsigned char> row;
};

bool Decode(DecodeState& s, const unsigned char* data, std::size_t size, std::uint32_t maxSide,
            DecodedImage* out) {
  if (setjmp(s.errors.jump)) return false;

  s.source.base.init_source = SourceInit;
  s.source.base.fill_input_buffer = SourceFill;
  s.source.base.skip_input_data = SourceSkip;
  s.source.base.resync_to_restart = jpeg_resync_to_restart;
  s.source.base.term_source = SourceTerm;
  s.source.base.next_input_byte = data;
  s.source.base.bytes_in_buffer = size;
  s.cinfo.src = &s.source.base;
  jpeg_read_header(&s.cinfo, TRUE);
  if (!IsAcceptableImageSize(s.cinfo.image_width, s.cinfo.image_height, maxSide)) return false;
  s.cinfo.out_color_space = JCS_RGB;  // greyscale and YCbCr both come out as RGB
  jpeg_start_decompress(&s.cinfo);
  if (s.cinfo.output_components != 3) return false;

  const std::uint32_t width = s.cinfo.output_width;
  const std::uint32_t height = s.cinfo.output_height;
  if (!IsAcceptableImageSize(width, height, maxSide)) return false;
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
  s.errors.allRowsOut = true;
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

bool ReadJpeg(const unsigned char* data, std::size_t size, DecodedImage* out,
              std::uint32_t maxSide) {
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

  const bool ok = Decode(state, data, size, maxSide, out);
  jpeg_destroy_decompress(&state.cinfo);
  if (!ok) *out = DecodedImage{};
  return ok;
}

}  // namespace platform::image

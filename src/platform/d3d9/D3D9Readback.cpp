#include "platform/d3d9/D3D9Readback.h"

#include <png.h>

#include <cstring>

#include "platform/d3d9/Device9.h"
#include "platform/d3d9/gl/GLBackend.h"

namespace platform::d3d9 {

bool ReadBackBuffer(IDirect3DDevice9* device, std::vector<std::uint32_t>* argb, UINT* width,
                    UINT* height) {
  if (!device || !argb) return false;
  // Device9 is the one implementation of the device interface.
  auto* gl = gl::AsGLBackend(&static_cast<Device9*>(device)->Backend());
  if (!gl) return false;
  return gl->ReadBack(argb, width, height);
}

bool SaveBackBufferPNG(IDirect3DDevice9* device, const char* path) {
  if (!path) return false;
  std::vector<std::uint32_t> pixels;
  UINT w = 0, h = 0;
  if (!ReadBackBuffer(device, &pixels, &w, &h) || w == 0 || h == 0) return false;
  png_image image;
  std::memset(&image, 0, sizeof image);
  image.version = PNG_IMAGE_VERSION;
  image.width = w;
  image.height = h;
  // 0xAARRGGBB words lie in memory as B, G, R, A on this little-endian machine.
  static_assert(__BYTE_ORDER__ == __ORDER_LITTLE_ENDIAN__);
  image.format = PNG_FORMAT_BGRA;
  const int ok = png_image_write_to_file(&image, path, 0, pixels.data(),
                                         static_cast<png_int_32>(w * 4), nullptr);
  png_image_free(&image);
  return ok != 0;
}

}  // namespace platform::d3d9

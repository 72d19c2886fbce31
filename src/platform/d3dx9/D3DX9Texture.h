// D3DX texture loading: a PNG or JPEG file (or the same bytes in memory) becomes a
// managed texture whose sides are rounded up to powers of two, the picture resampled to
// fill it, with a full box-filtered mip chain unless one level is asked for.
// Images with transparency become D3DFMT_A8R8G8B8, the others D3DFMT_X8R8G8B8.
#pragma once

#include <cstddef>
#include <string>
#include <vector>

#include "platform/d3d9/D3D9.h"

constexpr UINT D3DX_DEFAULT = static_cast<UINT>(-1);
constexpr UINT D3DX_DEFAULT_NONPOW2 = static_cast<UINT>(-2);
constexpr UINT D3DX_FROM_FILE = static_cast<UINT>(-3);

constexpr DWORD D3DX_FILTER_NONE = 1;
constexpr DWORD D3DX_FILTER_POINT = 2;
constexpr DWORD D3DX_FILTER_LINEAR = 3;
constexpr DWORD D3DX_FILTER_TRIANGLE = 4;
constexpr DWORD D3DX_FILTER_BOX = 5;
constexpr DWORD D3DX_FILTER_MIRROR_U = 0x10000;
constexpr DWORD D3DX_FILTER_MIRROR_V = 0x20000;
constexpr DWORD D3DX_FILTER_MIRROR_W = 0x40000;
constexpr DWORD D3DX_FILTER_MIRROR = 0x70000;
constexpr DWORD D3DX_FILTER_DITHER = 0x80000;

enum D3DXIMAGE_FILEFORMAT : DWORD { D3DXIFF_BMP = 0, D3DXIFF_JPG = 1, D3DXIFF_PNG = 3 };

struct D3DXIMAGE_INFO {
  UINT Width;
  UINT Height;
  UINT Depth;
  UINT MipLevels;
  D3DFORMAT Format;
  D3DRESOURCETYPE ResourceType;
  D3DXIMAGE_FILEFORMAT ImageFileFormat;
};

struct PALETTEENTRY {
  BYTE peRed, peGreen, peBlue, peFlags;
};

// Width/height: D3DX_DEFAULT or 0 round the image size up to powers of two;
// D3DX_DEFAULT_NONPOW2 and D3DX_FROM_FILE keep it; other values are used as given.
// MipLevels: 0 or D3DX_DEFAULT a full chain. Format: D3DFMT_UNKNOWN takes it from the
// file; A8R8G8B8 and X8R8G8B8 are honoured; other formats are refused. Filter and mip
// filter: D3DX_FILTER_ values (D3DX_DEFAULT: triangle and box). ColorKey: ARGB value
// whose pixels become transparent black; 0 for none. Results: D3D_OK,
// D3DERR_INVALIDCALL (bad arguments, no device), D3DXERR_INVALIDDATA (unreadable,
// corrupt, truncated or oversized image), or the device's CreateTexture error.
HRESULT D3DXCreateTextureFromFileExA(IDirect3DDevice9* device, const char* srcFile, UINT width,
                                     UINT height, UINT mipLevels, DWORD usage, D3DFORMAT format,
                                     D3DPOOL pool, DWORD filter, DWORD mipFilter, D3DCOLOR colorKey,
                                     D3DXIMAGE_INFO* srcInfo, PALETTEENTRY* palette,
                                     IDirect3DTexture9** texture);

HRESULT D3DXCreateTextureFromFileA(IDirect3DDevice9* device, const char* srcFile,
                                   IDirect3DTexture9** texture);

HRESULT D3DXCreateTextureFromFileInMemoryEx(IDirect3DDevice9* device, const void* srcData,
                                            UINT srcDataSize, UINT width, UINT height,
                                            UINT mipLevels, DWORD usage, D3DFORMAT format,
                                            D3DPOOL pool, DWORD filter, DWORD mipFilter,
                                            D3DCOLOR colorKey, D3DXIMAGE_INFO* srcInfo,
                                            PALETTEENTRY* palette, IDirect3DTexture9** texture);

namespace platform::d3dx9 {

// Beyond D3DX: starts reading and decoding these picture files on a second thread, in
// order, so that a later D3DXCreateTextureFromFileExA of one of them (the same file under
// any spelling of its path) takes the decoded picture instead of reading it again; one
// not reached yet is read by the caller as usual, one being decoded is waited for. The
// result is the same as without: a file that changed since it was read, or that did not
// decode within the usual limits, is read again. Replaces any earlier list.
void PrefetchTextureFiles(const std::vector<std::string>& paths);
// Waits until the thread has decoded its whole list.
void FinishPrefetching();
// Stops the thread and drops whatever it decoded that nobody took.
void DropPrefetchedTextures();
// How many textures were made from a picture decoded ahead, since the program started.
std::size_t PrefetchedTexturesTaken();

}  // namespace platform::d3dx9

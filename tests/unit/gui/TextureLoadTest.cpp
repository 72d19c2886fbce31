// Texture loading from PNG and JPEG: power-of-two sizes with the picture stretched,
// formats by transparency, mip chains, colour key, and refusal of bad files.
#include <gtest/gtest.h>
#include <zlib.h>

#include <fstream>
#include <string>
#include <vector>

#include "app/GraphicsDevice.h"
#include "engine/gui/Sprite.h"
#include "engine/gui/Texture.h"
#include "platform/d3d9/D3D9Headless.h"
#include "platform/d3dx9/D3DX9Texture.h"
#include "platform/image/JpegReader.h"
#include "support/HeadlessDevice.h"
#include "support/TestImages.h"

namespace {

std::vector<std::uint32_t> Texels(IDirect3DTexture9* texture, UINT level) {
  D3DSURFACE_DESC desc{};
  texture->GetLevelDesc(level, &desc);
  D3DLOCKED_RECT locked{};
  std::vector<std::uint32_t> out;
  if (FAILED(texture->LockRect(level, &locked, nullptr, D3DLOCK_READONLY))) return out;
  for (UINT y = 0; y < desc.Height; ++y) {
    const auto* row = reinterpret_cast<const std::uint32_t*>(
        static_cast<const BYTE*>(locked.pBits) + y * locked.Pitch);
    out.insert(out.end(), row, row + desc.Width);
  }
  texture->UnlockRect(level);
  return out;
}

int Channel(std::uint32_t argb, int shift) {
  return static_cast<int>((argb >> shift) & 0xFF);
}

class TextureLoadTest : public HeadlessDeviceTest {
 protected:
  IDirect3DDevice9* Device() { return g_graphicsDevice->GetDevice(); }

  HRESULT FromMemory(const std::string& bytes, IDirect3DTexture9** texture, UINT levels = 0,
                     D3DCOLOR key = 0) {
    return D3DXCreateTextureFromFileInMemoryEx(
        Device(), bytes.data(), static_cast<UINT>(bytes.size()), D3DX_DEFAULT, D3DX_DEFAULT, levels,
        0, D3DFMT_UNKNOWN, D3DPOOL_MANAGED, D3DX_DEFAULT, D3DX_DEFAULT, key, nullptr, nullptr,
        texture);
  }

  TempDir dir_;
};

TEST_F(TextureLoadTest, JpegOf800By600IsStretchedOverA1024SquareTexture) {
  // Left half red, right half blue.
  std::vector<std::uint32_t> pixels(800 * 600);
  for (std::uint32_t y = 0; y < 600; ++y)
    for (std::uint32_t x = 0; x < 800; ++x)
      pixels[y * 800 + x] = x < 400 ? 0xFFFF0000u : 0xFF0000FFu;
  const std::string path = dir_.Path() + "/Fondo.jpg";
  ASSERT_TRUE(WriteBytes(path, EncodeJpeg(800, 600, pixels)));

  Texture texture;
  ASSERT_TRUE(texture.LoadFromFile(path, D3DX_DEFAULT, 0, D3DX_DEFAULT, 0));
  EXPECT_EQ(texture.description.Width, 1024u);
  EXPECT_EQ(texture.description.Height, 1024u);
  EXPECT_EQ(texture.description.Format, D3DFMT_X8R8G8B8);
  EXPECT_EQ(texture.texture->GetLevelCount(), 11u);

  const auto texels = Texels(texture.texture, 0);
  ASSERT_EQ(texels.size(), 1024u * 1024u);
  // The boundary lands at 512, not at 400: stretched, not padded.
  for (std::uint32_t y : {0u, 500u, 1023u}) {
    const std::uint32_t red = texels[y * 1024 + 490], blue = texels[y * 1024 + 530];
    const std::uint32_t farRight = texels[y * 1024 + 1023];
    EXPECT_GT(Channel(red, 16), 200) << y;
    EXPECT_LT(Channel(red, 0), 60) << y;
    EXPECT_GT(Channel(blue, 0), 200) << y;
    EXPECT_LT(Channel(blue, 16), 60) << y;
    EXPECT_GT(Channel(farRight, 0), 200) << y;
    EXPECT_EQ(red >> 24, 0xFFu);
  }

  Sprite sprite;
  ASSERT_TRUE(sprite.SetTexture(&texture));
  EXPECT_EQ(sprite.width, 1024);
  EXPECT_EQ(sprite.height, 1024);
}

TEST_F(TextureLoadTest, PngFormatFollowsItsTransparency) {
  std::vector<std::uint32_t> pixels(4 * 4, 0x80204060u);
  IDirect3DTexture9* withAlpha = nullptr;
  IDirect3DTexture9* opaque = nullptr;
  ASSERT_EQ(FromMemory(EncodePng(4, 4, pixels, true), &withAlpha), D3D_OK);
  ASSERT_EQ(FromMemory(EncodePng(4, 4, pixels, false), &opaque), D3D_OK);
  D3DSURFACE_DESC a{}, o{};
  withAlpha->GetLevelDesc(0, &a);
  opaque->GetLevelDesc(0, &o);
  EXPECT_EQ(a.Format, D3DFMT_A8R8G8B8);
  EXPECT_EQ(o.Format, D3DFMT_X8R8G8B8);
  EXPECT_EQ(Texels(withAlpha, 0)[5], 0x80204060u);  // same size: no resampling
  EXPECT_EQ(Texels(opaque, 0)[5], 0xFF204060u);
  withAlpha->Release();
  opaque->Release();
}

// A PNG built chunk by chunk, for layouts the test encoder does not write.
std::string Chunk(const char* type, const std::string& data) {
  std::string out;
  for (int i = 0; i < 4; ++i) out += static_cast<char>(data.size() >> (24 - 8 * i));
  out += std::string(type, 4) + data;
  const auto crc = crc32(0, reinterpret_cast<const Bytef*>(out.data() + 4), data.size() + 4);
  for (int i = 0; i < 4; ++i) out += static_cast<char>(crc >> (24 - 8 * i));
  return out;
}

std::string HandMadePng(std::uint32_t w, std::uint32_t h, int depth, int colourType,
                        const std::string& rows, const std::string& extra) {
  std::string header;
  for (std::uint32_t v : {w, h})
    for (int i = 0; i < 4; ++i) header += static_cast<char>(v >> (24 - 8 * i));
  header += {static_cast<char>(depth), static_cast<char>(colourType), 0, 0, 0};
  uLongf size = compressBound(rows.size());
  std::string packed(size, '\0');
  compress(reinterpret_cast<Bytef*>(packed.data()), &size,
           reinterpret_cast<const Bytef*>(rows.data()), rows.size());
  packed.resize(size);
  return std::string("\x89PNG\r\n\x1a\n", 8) + Chunk("IHDR", header) + extra +
         Chunk("IDAT", packed) + Chunk("IEND", "");
}

TEST_F(TextureLoadTest, PaletteAndGreyPngsBecomeArgb) {
  // 2-bit palette with a transparency chunk: index 0 half transparent red, 1 green, ...
  const std::string palette("\xFF\x00\x00\x00\xFF\x00\x00\x00\xFF\x09\x09\x09", 12);
  const std::string rows = std::string("\x00\x1B", 2) + std::string("\x00\xE4", 2);
  const std::string png =
      HandMadePng(4, 2, 2, 3, rows, Chunk("PLTE", palette) + Chunk("tRNS", std::string("\x80", 1)));
  IDirect3DTexture9* t = nullptr;
  ASSERT_EQ(FromMemory(png, &t, 1), D3D_OK);
  D3DSURFACE_DESC d{};
  t->GetLevelDesc(0, &d);
  EXPECT_EQ(d.Format, D3DFMT_A8R8G8B8);
  auto texels = Texels(t, 0);
  ASSERT_EQ(texels.size(), 8u);
  EXPECT_EQ(texels[0], 0x80FF0000u);
  EXPECT_EQ(texels[1], 0xFF00FF00u);
  EXPECT_EQ(texels[2], 0xFF0000FFu);
  EXPECT_EQ(texels[3], 0xFF090909u);
  EXPECT_EQ(texels[4], 0xFF090909u);  // second row reversed
  EXPECT_EQ(texels[7], 0x80FF0000u);
  t->Release();

  // 16-bit grey, no transparency: the high bytes, opaque.
  const std::string grey =
      std::string("\x00\x12\x34\xAB\xCD", 5) + std::string("\x00\x00\x00\xFF\xFF", 5);
  ASSERT_EQ(FromMemory(HandMadePng(2, 2, 16, 0, grey, ""), &t, 1), D3D_OK);
  t->GetLevelDesc(0, &d);
  EXPECT_EQ(d.Format, D3DFMT_X8R8G8B8);
  texels = Texels(t, 0);
  EXPECT_EQ(texels[0], 0xFF121212u);
  EXPECT_EQ(texels[1], 0xFFABABABu);
  EXPECT_EQ(texels[3], 0xFFFFFFFFu);
  t->Release();
}

TEST_F(TextureLoadTest, ResamplingAndMipsKeepAUniformColourExact) {
  // Catches weights that do not sum to one at the edges or in the middle.
  std::vector<std::uint32_t> pixels(300 * 70, 0xFF0AC81Eu);
  IDirect3DTexture9* t = nullptr;
  ASSERT_EQ(FromMemory(EncodePng(300, 70, pixels, false), &t), D3D_OK);
  D3DSURFACE_DESC d{};
  t->GetLevelDesc(0, &d);
  EXPECT_EQ(d.Width, 512u);
  EXPECT_EQ(d.Height, 128u);
  ASSERT_EQ(t->GetLevelCount(), 10u);
  for (UINT level = 0; level < t->GetLevelCount(); ++level)
    for (std::uint32_t texel : Texels(t, level)) ASSERT_EQ(texel, 0xFF0AC81Eu) << level;
  t->Release();
}

TEST_F(TextureLoadTest, MipLevelsAverageTheLevelAbove) {
  const std::vector<std::uint32_t> pixels = {0xFF000000u, 0xFFFF0000u, 0xFF00FF00u, 0xFF0000FFu};
  IDirect3DTexture9* t = nullptr;
  ASSERT_EQ(FromMemory(EncodePng(2, 2, pixels, false), &t), D3D_OK);
  ASSERT_EQ(t->GetLevelCount(), 2u);
  const std::uint32_t mean = Texels(t, 1)[0];
  EXPECT_NEAR(Channel(mean, 16), 64, 1);
  EXPECT_NEAR(Channel(mean, 8), 64, 1);
  EXPECT_NEAR(Channel(mean, 0), 64, 1);
  t->Release();

  ASSERT_EQ(FromMemory(EncodePng(2, 2, pixels, false), &t, 1), D3D_OK);
  EXPECT_EQ(t->GetLevelCount(), 1u);
  t->Release();
}

TEST_F(TextureLoadTest, ColourKeyMakesMatchingPixelsTransparentBlack) {
  std::vector<std::uint32_t> pixels(4 * 4, 0xFFFF00FFu);
  pixels[0] = 0xFF123456u;
  IDirect3DTexture9* t = nullptr;
  ASSERT_EQ(FromMemory(EncodePng(4, 4, pixels, false), &t, 1, 0xFFFF00FFu), D3D_OK);
  D3DSURFACE_DESC d{};
  t->GetLevelDesc(0, &d);
  EXPECT_EQ(d.Format, D3DFMT_A8R8G8B8);
  const auto texels = Texels(t, 0);
  EXPECT_EQ(texels[0], 0xFF123456u);
  EXPECT_EQ(texels[1], 0u);
  EXPECT_EQ(texels[15], 0u);
  t->Release();
}

TEST_F(TextureLoadTest, SingleLevelRetryAfterAFailedChain) {
  std::vector<std::uint32_t> pixels(8 * 8, 0xFF102030u);
  const std::string path = dir_.Path() + "/retry.png";
  ASSERT_TRUE(WriteBytes(path, EncodePng(8, 8, pixels, false)));
  platform::d3d9::Log().FailCall("CreateTexture", 1);
  Texture texture;
  ASSERT_TRUE(texture.LoadFromFile(path, D3DX_DEFAULT, 0, D3DX_DEFAULT, 0));
  EXPECT_EQ(texture.texture->GetLevelCount(), 1u);
  const auto calls = platform::d3d9::Log().Named("CreateTexture");
  ASSERT_EQ(calls.size(), 2u);
  EXPECT_EQ(calls[0].args[2], 0u);
  EXPECT_EQ(calls[1].args[2], 1u);

  // Asked for one level from the start: no second try.
  platform::d3d9::Log().Clear();
  platform::d3d9::Log().FailCall("CreateTexture", 1);
  Texture single;
  EXPECT_FALSE(single.LoadFromFile(path, D3DX_DEFAULT, 1, D3DX_DEFAULT, 0));
  EXPECT_EQ(single.texture, nullptr);
  EXPECT_EQ(platform::d3d9::Log().Count("CreateTexture"), 1);
}

TEST_F(TextureLoadTest, BrokenFilesAreRefused) {
  std::vector<std::uint32_t> pixels(64 * 64);
  for (std::size_t i = 0; i < pixels.size(); ++i) pixels[i] = 0xFF000000u | (i * 2654435761u);
  const std::string png = EncodePng(64, 64, pixels, true);
  const std::string jpeg = EncodeJpeg(64, 64, pixels);
  std::string corruptPng = png;
  for (std::size_t i = 60; i < 90 && i < corruptPng.size(); ++i) corruptPng[i] ^= 0x5A;
  std::string corruptJpeg = jpeg;
  for (std::size_t i = jpeg.size() / 2; i < jpeg.size() / 2 + 40; ++i) corruptJpeg[i] = '\xFF';

  const std::vector<std::pair<const char*, std::string>> cases = {
      {"png cut in half", png.substr(0, png.size() / 2)},
      {"png without its end chunk", png.substr(0, png.size() - 12)},
      {"png with damaged data", corruptPng},
      {"jpeg cut in half", jpeg.substr(0, jpeg.size() / 2)},
      {"jpeg with damaged data", corruptJpeg},
      {"jpeg header only", jpeg.substr(0, 20)},
      {"signature only", png.substr(0, 8)},
      {"not an image", std::string("BM this is not a picture at all")},
  };
  for (const auto& [label, bytes] : cases) {
    IDirect3DTexture9* t = reinterpret_cast<IDirect3DTexture9*>(0x1);
    EXPECT_TRUE(FAILED(FromMemory(bytes, &t))) << label;
    EXPECT_EQ(t, nullptr) << label;
  }

  // Empty and missing files through the file loader.
  ASSERT_TRUE(WriteBytes(dir_.Path() + "/empty.png", ""));
  Texture empty, missing;
  EXPECT_FALSE(empty.LoadFromFile(dir_.Path() + "/empty.png", D3DX_DEFAULT, 0, D3DX_DEFAULT, 0));
  EXPECT_FALSE(missing.LoadFromFile(dir_.Path() + "/none.png", D3DX_DEFAULT, 0, D3DX_DEFAULT, 0));
  EXPECT_EQ(empty.texture, nullptr);
  EXPECT_EQ(platform::d3d9::Log().Count("CreateTexture"), 0);
}

// Rewrites a PNG's header to claim another size, with a valid checksum, so only the size
// check can refuse it.
std::string WithPngSize(std::string png, std::uint32_t width, std::uint32_t height) {
  auto put = [&](std::size_t at, std::uint32_t v) {
    for (int i = 0; i < 4; ++i) png[at + i] = static_cast<char>(v >> (24 - 8 * i));
  };
  put(16, width);
  put(20, height);
  const auto crc = crc32(0, reinterpret_cast<const Bytef*>(png.data() + 12), 17);
  put(29, static_cast<std::uint32_t>(crc));
  return png;
}

// Rewrites a baseline JPEG's frame header (SOF0) to claim another size.
std::string WithJpegSize(std::string jpeg, std::uint16_t width, std::uint16_t height) {
  for (std::size_t i = 2; i + 9 < jpeg.size(); ++i) {
    if (static_cast<unsigned char>(jpeg[i]) == 0xFF &&
        static_cast<unsigned char>(jpeg[i + 1]) == 0xC0) {
      jpeg[i + 5] = static_cast<char>(height >> 8);
      jpeg[i + 6] = static_cast<char>(height);
      jpeg[i + 7] = static_cast<char>(width >> 8);
      jpeg[i + 8] = static_cast<char>(width);
      break;
    }
  }
  return jpeg;
}

TEST_F(TextureLoadTest, OversizedHeadersAreRefusedBeforeDecoding) {
  std::vector<std::uint32_t> pixels(16 * 16, 0xFF808080u);
  const std::string png = EncodePng(16, 16, pixels, false);
  const std::string jpeg = EncodeJpeg(16, 16, pixels);
  IDirect3DTexture9* t = nullptr;
  EXPECT_EQ(FromMemory(WithPngSize(png, 100000, 100000), &t), D3DXERR_INVALIDDATA);
  EXPECT_EQ(FromMemory(WithPngSize(png, 4097, 16), &t), D3DXERR_INVALIDDATA);
  EXPECT_EQ(FromMemory(WithPngSize(png, 0, 16), &t), D3DXERR_INVALIDDATA);
  EXPECT_EQ(FromMemory(WithJpegSize(jpeg, 60000, 60000), &t), D3DXERR_INVALIDDATA);
  EXPECT_EQ(FromMemory(WithJpegSize(jpeg, 16, 5000), &t), D3DXERR_INVALIDDATA);
  EXPECT_EQ(platform::d3d9::Log().Count("CreateTexture"), 0);
  // The unmodified pictures load, so the refusals above are the size check's.
  ASSERT_EQ(FromMemory(png, &t), D3D_OK);
  t->Release();
  ASSERT_EQ(FromMemory(jpeg, &t), D3D_OK);
  t->Release();
}

TEST_F(TextureLoadTest, JpegWarningsRefuseOnlyDamageBeforeTheLastRow) {
  std::vector<std::uint32_t> pixels(64 * 48);
  for (std::size_t i = 0; i < pixels.size(); ++i) pixels[i] = 0xFF000000u | (i * 2654435761u);
  const std::string jpeg = EncodeJpeg(64, 48, pixels);
  ASSERT_EQ(jpeg.substr(jpeg.size() - 2), "\xFF\xD9");
  platform::image::DecodedImage reference;
  ASSERT_TRUE(platform::image::ReadJpeg(
      reinterpret_cast<const unsigned char*>(jpeg.data()), jpeg.size(), &reference));

  std::string newerJfif = jpeg;
  ASSERT_EQ(newerJfif.substr(6, 4), "JFIF");
  newerJfif[11] = 2;  // a major revision this decoder does not know
  const std::string body = jpeg.substr(0, jpeg.size() - 2);

  struct Case {
    const char* label;
    std::string bytes;
    bool loads;
  };
  const Case cases[] = {
      {"unknown JFIF revision", newerJfif, true},
      {"no end marker after the last row", body, true},
      {"stray bytes between the last row and the end marker", body + "\x12\x34\xFF\xD9", true},
      {"cut inside the last rows", jpeg.substr(0, jpeg.size() - 40), false},
      {"cut inside the last rows, end marker put back", jpeg.substr(0, jpeg.size() - 40) + "\xFF\xD9",
       false},
  };
  for (const Case& c : cases) {
    platform::image::DecodedImage image;
    const bool ok = platform::image::ReadJpeg(
        reinterpret_cast<const unsigned char*>(c.bytes.data()), c.bytes.size(), &image);
    EXPECT_EQ(ok, c.loads) << c.label;
    if (c.loads) {
      EXPECT_EQ(image.pixels, reference.pixels) << c.label;
    } else {
      EXPECT_TRUE(image.pixels.empty()) << c.label;
    }
  }
}

std::size_t StatusKilobytes(const char* field) {
  std::ifstream status("/proc/self/status");
  std::string line;
  while (std::getline(status, line))
    if (line.rfind(field, 0) == 0) return std::stoul(line.substr(std::string(field).size()));
  return 0;
}

TEST_F(TextureLoadTest, LargePictureLoadsWithinFourTimesItsTexture) {
  std::string png;
  {
    std::vector<std::uint32_t> pixels(3000 * 2000);
    for (std::uint32_t y = 0; y < 2000; ++y)
      for (std::uint32_t x = 0; x < 3000; ++x)
        pixels[y * 3000 + x] = 0xFF000000u | ((x * 255 / 2999) << 16) | ((y * 255 / 1999) << 8);
    png = EncodePng(3000, 2000, pixels, false);
  }
  ASSERT_FALSE(png.empty());
  // Reset the peak so only what loading adds counts.
  std::ofstream("/proc/self/clear_refs") << "5";
  const std::size_t before = StatusKilobytes("VmRSS:");
  IDirect3DTexture9* t = nullptr;
  ASSERT_EQ(FromMemory(png, &t), D3D_OK);
  const std::size_t peak = StatusKilobytes("VmHWM:");
  D3DSURFACE_DESC d{};
  t->GetLevelDesc(0, &d);
  EXPECT_EQ(d.Width, 4096u);
  EXPECT_EQ(d.Height, 2048u);
  const std::size_t textureKb = std::size_t{4096} * 2048 * 4 / 1024;
  if (before > 0 && peak > 0) {
    EXPECT_LT(peak - before, 4 * textureKb);
  }

  // The gradient survives the stretch: corners, and a steady rise along the top row.
  const auto texels = Texels(t, 0);
  EXPECT_EQ(texels.front(), 0xFF000000u);
  EXPECT_EQ(texels[2047 * 4096 + 4095], 0xFFFFFF00u);
  for (std::size_t x = 1; x < 4096; ++x)
    ASSERT_GE(Channel(texels[x], 16), Channel(texels[x - 1], 16)) << x;
  t->Release();

  // Wider than the device's largest texture: refused before decoding.
  const std::string tooWide = WithPngSize(EncodePng(16, 16, std::vector<std::uint32_t>(256), false),
                                          4097, 16);
  EXPECT_EQ(FromMemory(tooWide, &t), D3DXERR_INVALIDDATA);
}

}  // namespace

namespace {

// Pictures decoded ahead on another thread make the same textures as reading them at the
// time; a file that changed since, did not decode, or was never reached is read as usual,
// and one asked for under another spelling of its path is still the one decoded.
TEST_F(TextureLoadTest, PicturesDecodedAheadMakeTheSameTextures) {
  std::vector<std::uint32_t> stripes(300 * 200), plain(64 * 64, 0xFF20A040u);
  for (std::size_t i = 0; i < stripes.size(); ++i)
    stripes[i] = (i / 7) % 2 ? 0x80FF8000u : 0xFF0030C0u;
  const std::string png = EncodePng(300, 200, stripes, true);
  const std::string jpeg = EncodeJpeg(300, 200, stripes);
  const std::string folder = dir_.Path() + "/";
  struct Case {
    const char* file;
    std::string bytes;
    const char* askedAs;        // the path as the later load spells it
    std::string rewrittenTo;    // written after the prefetch finished; empty: unchanged
    bool taken;                 // made from the prefetched picture
    HRESULT result;
  };
  const Case cases[] = {
      {"a.png", png, "a.png", "", true, D3D_OK},
      {"b.jpg", jpeg, "B.JPG", "", true, D3D_OK},
      {"c.png", png, "c.png", EncodePng(64, 64, plain, false), false, D3D_OK},
      {"d.png", png.substr(0, png.size() / 2), "d.png", "", false, D3DXERR_INVALIDDATA},
  };
  std::vector<std::string> paths;
  for (const Case& c : cases) {
    ASSERT_TRUE(WriteBytes(folder + c.file, c.bytes));
    paths.push_back(folder + c.file);
  }
  // Loaded the usual way first, for comparison.
  std::vector<std::vector<std::uint32_t>> expected;
  for (const Case& c : cases) {
    IDirect3DTexture9* t = nullptr;
    const std::string& final = c.rewrittenTo.empty() ? c.bytes : c.rewrittenTo;
    std::vector<std::uint32_t> texels;
    if (SUCCEEDED(FromMemory(final, &t))) texels = Texels(t, 0);
    expected.push_back(texels);
    if (t) t->Release();
  }
  platform::d3dx9::PrefetchTextureFiles(paths);
  platform::d3dx9::FinishPrefetching();
  for (std::size_t i = 0; i < std::size(cases); ++i) {
    const Case& c = cases[i];
    SCOPED_TRACE(c.file);
    if (!c.rewrittenTo.empty()) {
      ASSERT_TRUE(WriteBytes(folder + c.file, c.rewrittenTo));
    }
    const std::size_t before = platform::d3dx9::PrefetchedTexturesTaken();
    IDirect3DTexture9* t = nullptr;
    EXPECT_EQ(D3DXCreateTextureFromFileExA(Device(), (folder + c.askedAs).c_str(), D3DX_DEFAULT,
                                           D3DX_DEFAULT, 0, 0, D3DFMT_UNKNOWN, D3DPOOL_MANAGED,
                                           D3DX_DEFAULT, D3DX_DEFAULT, 0, nullptr, nullptr, &t),
              c.result);
    EXPECT_EQ(platform::d3dx9::PrefetchedTexturesTaken() - before, c.taken ? 1u : 0u);
    if (t) {
      EXPECT_EQ(Texels(t, 0), expected[i]);
      t->Release();
    }
  }
  // A list not reached is read as usual; dropping it leaves nothing behind.
  platform::d3dx9::PrefetchTextureFiles(paths);
  platform::d3dx9::DropPrefetchedTextures();
  IDirect3DTexture9* t = nullptr;
  const std::size_t before = platform::d3dx9::PrefetchedTexturesTaken();
  EXPECT_EQ(D3DXCreateTextureFromFileExA(Device(), paths[0].c_str(), D3DX_DEFAULT, D3DX_DEFAULT,
                                         0, 0, D3DFMT_UNKNOWN, D3DPOOL_MANAGED, D3DX_DEFAULT,
                                         D3DX_DEFAULT, 0, nullptr, nullptr, &t),
            D3D_OK);
  EXPECT_EQ(platform::d3dx9::PrefetchedTexturesTaken(), before);
  if (t) t->Release();
}

}  // namespace

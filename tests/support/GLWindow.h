// A real window with an OpenGL-backed Direct3D device on it, for tests that draw and then
// look at the pixels (run under Xvfb). Also saves screenshots as test artefacts.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "platform/d3d9/D3D9.h"

class GLWindow {
 public:
  GLWindow() = default;
  GLWindow(const GLWindow&) = delete;
  GLWindow& operator=(const GLWindow&) = delete;
  ~GLWindow() { Close(); }

  // Switches the platform to the real backend, makes a window (a captioned one, or a
  // full-screen popup) and a device: width × height, X8R8G8B8, D16 depth, no vsync.
  // False (with error() telling why) on failure.
  bool Open(bool windowed = true, UINT width = 800, UINT height = 600);
  void Close();

  IDirect3D9* d3d() const { return d3d_; }
  IDirect3DDevice9* device() const { return device_; }
  HWND window() const { return window_; }
  const std::string& error() const { return error_; }
  D3DPRESENT_PARAMETERS& params() { return params_; }

  // Handles the window's pending messages (focus, size).
  void PumpMessages();

  // Reads the back buffer into pixels(); false when it cannot.
  bool ReadBack();
  UINT width() const { return readWidth_; }
  UINT height() const { return readHeight_; }
  const std::vector<std::uint32_t>& pixels() const { return pixels_; }
  // A pixel of the last read-back as 0xAARRGGBB (0 outside).
  std::uint32_t At(int x, int y) const;

  // Writes the back buffer to <artefact directory>/<name>.png and returns the path ("" on
  // failure). The directory is $YULE_ARTIFACTS, else <build>/artifacts.
  std::string SaveArtifact(const char* name);

 private:
  IDirect3D9* d3d_ = nullptr;
  IDirect3DDevice9* device_ = nullptr;
  HWND window_ = nullptr;
  D3DPRESENT_PARAMETERS params_{};
  std::string error_;
  std::vector<std::uint32_t> pixels_;
  UINT readWidth_ = 0, readHeight_ = 0;
};

// Colour channels of 0xAARRGGBB.
inline int RedOf(std::uint32_t c) {
  return static_cast<int>((c >> 16) & 0xFF);
}
inline int GreenOf(std::uint32_t c) {
  return static_cast<int>((c >> 8) & 0xFF);
}
inline int BlueOf(std::uint32_t c) {
  return static_cast<int>(c & 0xFF);
}
inline int AlphaOf(std::uint32_t c) {
  return static_cast<int>(c >> 24);
}

// Whether every channel of a is within tolerance of b; prints both on failure.
::testing::AssertionResult ColourNear(std::uint32_t actual, std::uint32_t expected,
                                      int tolerance = 2);

// A fixture with an open 800 × 600 windowed device; skips the test when there is no display.
class GLDeviceTest : public ::testing::Test {
 protected:
  void SetUp() override;
  void TearDown() override;
  GLWindow gl_;
};

// The settings record that describes the main window and the display mode; passed by value.
#pragma once

#include <cstdint>

struct AppSettings {
  char name[256] = "Application";
  bool windowed = true;
  std::int32_t x = 0;
  std::int32_t y = 0;
  std::int32_t width = 800;
  std::int32_t height = 600;
  std::uint8_t colourDepth = 16;
  std::uint32_t windowStyle = 0x00C80000u;  // WS_CAPTION | WS_SYSMENU
  bool depthBuffer = true;
  std::int32_t multiSampleType = 0;
};

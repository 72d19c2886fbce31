// Text on screen: a resource of the font manager that carries its own position
// rectangle, format flags and colour, so that drawing a string is one call. Draws
// through the graphics device's sprite batch; told of device loss and reset.
#pragma once

#include <cstdint>
#include <string>

#include "engine/input/ScreenRect.h"
#include "engine/resources/DeviceResource.h"

class ID3DXFont;

class Font : public DeviceResource {
 public:
  // Style flags of Create.
  static constexpr std::uint32_t kBold = 1;
  static constexpr std::uint32_t kItalic = 2;
  static constexpr std::uint32_t kAntialiased = 4;

  // Windows-1252 characters rasterised at creation besides a–z, A–Z and 0–9.
  static const char kPreloadedCharacters[];

  Font() = default;
  Font(const Font&) = delete;
  Font& operator=(const Font&) = delete;
  ~Font() override;

  // Creates the face at a character height in pixels on the graphics device; false
  // (and the font stays as it was) when there is no device or no such face can be made.
  // The text rectangle becomes the whole screen.
  bool Create(const std::string& face, int height, std::uint32_t styleFlags);
  // Moves the rectangle's top-left corner to (x, y), keeping its size.
  void SetPosition(int x, int y);
  // Each component: 1 or more → 255, 0 or less → 0, else value × 255 + 0.5 truncated.
  void SetColour(float r, float g, float b, float a);
  // Draws Windows-1252 text at the rectangle's top-left inside the sprite batch; false
  // for an empty font or a failed draw.
  bool DrawText(const std::string& text);

  void OnLostDevice() override;
  void OnResetDevice() override;

  ID3DXFont* font = nullptr;     // owned
  ScreenRect rect{};             // its top-left is the text position
  std::uint32_t format = 0x100;  // DT_NOCLIP
  std::uint32_t colour = 0xFFFFFFFFu;
  std::int32_t refCount = 0;
};

// A thin layer over cairo for the generator's 2D art: an RGBA canvas, rounded shapes,
// soft shadows, gradients, fitted lettering, and deterministic PNG and JPEG output.
// Everything drawn here is antialiased by cairo; nothing is rasterised by hand.
#pragma once

#include <cairo.h>

#include <cstdint>
#include <string>

#include "Look.h"

namespace kit2d {

struct Colour {
  double r = 0, g = 0, b = 0, a = 1;
};
Colour Col(look::Rgb c, double a = 1.0);
// Mixes a towards b by t (0 … 1).
Colour Mix(Colour a, Colour b, double t);
Colour Lighter(Colour c, double t);  // towards white
Colour Darker(Colour c, double t);   // towards black

class Canvas {
 public:
  Canvas(int width, int height);  // fully transparent
  ~Canvas();
  Canvas(const Canvas&) = delete;
  Canvas& operator=(const Canvas&) = delete;

  cairo_t* Cr() const { return cr_; }
  cairo_surface_t* Surface() const { return surface_; }
  int Width() const { return width_; }
  int Height() const { return height_; }

  // Straight (not premultiplied) RGBA; false with a message on stderr on failure.
  bool WritePng(const std::string& path) const;
  // Opaque RGB; alpha is dropped after compositing over black.
  bool WriteJpeg(const std::string& path, int quality) const;

 private:
  int width_, height_;
  cairo_surface_t* surface_;
  cairo_t* cr_;
};

void SetColour(cairo_t* cr, Colour c);
void RoundedRect(cairo_t* cr, double x, double y, double w, double h, double r);
// Sets a vertical linear gradient from `top` at y0 to `bottom` at y1 as the source.
void VerticalGradient(cairo_t* cr, double y0, double y1, Colour top, Colour bottom);
// A soft shadow under a rounded rectangle, built from stacked translucent layers.
void SoftShadow(cairo_t* cr, double x, double y, double w, double h, double r, double spread,
                double alpha);
// A five-pointed star centred at (cx, cy).
void StarPath(cairo_t* cr, double cx, double cy, double outer, double inner, double turn = 0);
// A six-armed snowflake stroked with the current source.
void Snowflake(cairo_t* cr, double cx, double cy, double r, double lineWidth);

struct TextStyle {
  bool bold = true;
  double size = 20;              // largest size tried
  Colour fill{1, 1, 1, 1};
  Colour outline{0, 0, 0, 0};    // alpha 0: no outline
  double outlineWidth = 0;
  Colour shadow{0, 0, 0, 0};     // alpha 0: no shadow
  double shadowOffset = 1.5;
};
// Draws UTF-8 text centred in the box, shrinking the size until it fits, and clips it to
// the box so that nothing spills outside.
void TextInBox(cairo_t* cr, const std::string& text, double x, double y, double w, double h,
               const TextStyle& style);
// The same, left-aligned, vertically centred.
void TextLeft(cairo_t* cr, const std::string& text, double x, double y, double w, double h,
              const TextStyle& style);

}  // namespace kit2d

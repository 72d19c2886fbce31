#include "kit2d/Canvas.h"

#include <jpeglib.h>
#include <png.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <vector>

namespace kit2d {

Colour Col(look::Rgb c, double a) { return Colour{c.r / 255.0, c.g / 255.0, c.b / 255.0, a}; }

Colour Mix(Colour a, Colour b, double t) {
  return Colour{a.r + (b.r - a.r) * t, a.g + (b.g - a.g) * t, a.b + (b.b - a.b) * t,
                a.a + (b.a - a.a) * t};
}
Colour Lighter(Colour c, double t) { return Mix(c, Colour{1, 1, 1, c.a}, t); }
Colour Darker(Colour c, double t) { return Mix(c, Colour{0, 0, 0, c.a}, t); }

Canvas::Canvas(int width, int height) : width_(width), height_(height) {
  surface_ = cairo_image_surface_create(CAIRO_FORMAT_ARGB32, width, height);
  cr_ = cairo_create(surface_);
  // Fixed font options so that lettering does not depend on the desktop's settings.
  cairo_font_options_t* fo = cairo_font_options_create();
  cairo_font_options_set_antialias(fo, CAIRO_ANTIALIAS_GRAY);
  cairo_font_options_set_hint_style(fo, CAIRO_HINT_STYLE_NONE);
  cairo_font_options_set_hint_metrics(fo, CAIRO_HINT_METRICS_OFF);
  cairo_set_font_options(cr_, fo);
  cairo_font_options_destroy(fo);
}

Canvas::~Canvas() {
  cairo_destroy(cr_);
  cairo_surface_destroy(surface_);
}

namespace {

struct FileCloser {
  FILE* f;
  ~FileCloser() {
    if (f) std::fclose(f);
  }
};

// Straight-alpha RGBA rows from cairo's premultiplied native-endian ARGB32.
std::vector<uint8_t> StraightRgba(cairo_surface_t* s, int w, int h) {
  cairo_surface_flush(s);
  const unsigned char* data = cairo_image_surface_get_data(s);
  const int stride = cairo_image_surface_get_stride(s);
  std::vector<uint8_t> out(static_cast<size_t>(w) * h * 4);
  for (int y = 0; y < h; ++y) {
    const uint32_t* row = reinterpret_cast<const uint32_t*>(data + static_cast<size_t>(y) * stride);
    for (int x = 0; x < w; ++x) {
      const uint32_t p = row[x];
      const unsigned a = p >> 24;
      unsigned r = (p >> 16) & 255, g = (p >> 8) & 255, b = p & 255;
      if (a != 0 && a != 255) {
        r = std::min(255u, (r * 255 + a / 2) / a);
        g = std::min(255u, (g * 255 + a / 2) / a);
        b = std::min(255u, (b * 255 + a / 2) / a);
      } else if (a == 0) {
        r = g = b = 0;
      }
      uint8_t* o = &out[(static_cast<size_t>(y) * w + x) * 4];
      o[0] = static_cast<uint8_t>(r);
      o[1] = static_cast<uint8_t>(g);
      o[2] = static_cast<uint8_t>(b);
      o[3] = static_cast<uint8_t>(a);
    }
  }
  return out;
}

}  // namespace

bool Canvas::WritePng(const std::string& path) const {
  std::vector<uint8_t> rgba = StraightRgba(surface_, width_, height_);
  FileCloser file{std::fopen(path.c_str(), "wb")};
  if (!file.f) {
    std::fprintf(stderr, "cannot write %s\n", path.c_str());
    return false;
  }
  png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
  png_infop info = png ? png_create_info_struct(png) : nullptr;
  if (!png || !info) {
    png_destroy_write_struct(&png, nullptr);
    return false;
  }
  if (setjmp(png_jmpbuf(png))) {
    png_destroy_write_struct(&png, &info);
    std::fprintf(stderr, "PNG encoding failed for %s\n", path.c_str());
    return false;
  }
  png_init_io(png, file.f);
  png_set_IHDR(png, info, width_, height_, 8, PNG_COLOR_TYPE_RGB_ALPHA, PNG_INTERLACE_NONE,
               PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
  png_write_info(png, info);
  for (int y = 0; y < height_; ++y)
    png_write_row(png, &rgba[static_cast<size_t>(y) * width_ * 4]);
  png_write_end(png, nullptr);
  png_destroy_write_struct(&png, &info);
  return true;
}

bool Canvas::WriteJpeg(const std::string& path, int quality) const {
  std::vector<uint8_t> rgba = StraightRgba(surface_, width_, height_);
  std::vector<uint8_t> rgb(static_cast<size_t>(width_) * height_ * 3);
  for (size_t i = 0, n = static_cast<size_t>(width_) * height_; i < n; ++i)
    for (int c = 0; c < 3; ++c) rgb[i * 3 + c] = static_cast<uint8_t>(rgba[i * 4 + c] * rgba[i * 4 + 3] / 255);
  FileCloser file{std::fopen(path.c_str(), "wb")};
  if (!file.f) {
    std::fprintf(stderr, "cannot write %s\n", path.c_str());
    return false;
  }
  jpeg_compress_struct cinfo;
  jpeg_error_mgr jerr;
  cinfo.err = jpeg_std_error(&jerr);
  jpeg_create_compress(&cinfo);
  jpeg_stdio_dest(&cinfo, file.f);
  cinfo.image_width = width_;
  cinfo.image_height = height_;
  cinfo.input_components = 3;
  cinfo.in_color_space = JCS_RGB;
  jpeg_set_defaults(&cinfo);
  jpeg_set_quality(&cinfo, quality, TRUE);
  jpeg_start_compress(&cinfo, TRUE);
  while (cinfo.next_scanline < cinfo.image_height) {
    JSAMPROW row = &rgb[static_cast<size_t>(cinfo.next_scanline) * width_ * 3];
    jpeg_write_scanlines(&cinfo, &row, 1);
  }
  jpeg_finish_compress(&cinfo);
  jpeg_destroy_compress(&cinfo);
  return true;
}

void SetColour(cairo_t* cr, Colour c) { cairo_set_source_rgba(cr, c.r, c.g, c.b, c.a); }

void RoundedRect(cairo_t* cr, double x, double y, double w, double h, double r) {
  r = std::min({r, w / 2, h / 2});
  cairo_new_sub_path(cr);
  cairo_arc(cr, x + w - r, y + r, r, -M_PI / 2, 0);
  cairo_arc(cr, x + w - r, y + h - r, r, 0, M_PI / 2);
  cairo_arc(cr, x + r, y + h - r, r, M_PI / 2, M_PI);
  cairo_arc(cr, x + r, y + r, r, M_PI, 3 * M_PI / 2);
  cairo_close_path(cr);
}

void VerticalGradient(cairo_t* cr, double y0, double y1, Colour top, Colour bottom) {
  cairo_pattern_t* p = cairo_pattern_create_linear(0, y0, 0, y1);
  cairo_pattern_add_color_stop_rgba(p, 0, top.r, top.g, top.b, top.a);
  cairo_pattern_add_color_stop_rgba(p, 1, bottom.r, bottom.g, bottom.b, bottom.a);
  cairo_set_source(cr, p);
  cairo_pattern_destroy(p);
}

void SoftShadow(cairo_t* cr, double x, double y, double w, double h, double r, double spread,
                double alpha) {
  const int layers = std::max(1, static_cast<int>(spread));
  for (int i = layers; i >= 1; --i) {
    const double g = spread * i / layers;
    RoundedRect(cr, x - g, y - g, w + 2 * g, h + 2 * g, r + g);
    cairo_set_source_rgba(cr, 0, 0, 0, alpha / layers);
    cairo_fill(cr);
  }
}

void StarPath(cairo_t* cr, double cx, double cy, double outer, double inner, double turn) {
  cairo_new_sub_path(cr);
  for (int i = 0; i < 10; ++i) {
    const double a = -M_PI / 2 + turn + i * M_PI / 5;
    const double rr = (i % 2 == 0) ? outer : inner;
    const double px = cx + rr * std::cos(a), py = cy + rr * std::sin(a);
    if (i == 0)
      cairo_move_to(cr, px, py);
    else
      cairo_line_to(cr, px, py);
  }
  cairo_close_path(cr);
}

void Snowflake(cairo_t* cr, double cx, double cy, double r, double lineWidth) {
  cairo_save(cr);
  cairo_set_line_width(cr, lineWidth);
  cairo_set_line_cap(cr, CAIRO_LINE_CAP_ROUND);
  for (int i = 0; i < 6; ++i) {
    const double a = i * M_PI / 3;
    const double dx = std::cos(a), dy = std::sin(a);
    cairo_move_to(cr, cx, cy);
    cairo_line_to(cr, cx + dx * r, cy + dy * r);
    for (double f : {0.45, 0.7}) {
      const double bx = cx + dx * r * f, by = cy + dy * r * f;
      const double l = r * 0.28 * (f < 0.5 ? 1.0 : 0.8);
      for (double s : {-1.0, 1.0}) {
        const double ba = a + s * M_PI / 4;
        cairo_move_to(cr, bx, by);
        cairo_line_to(cr, bx + std::cos(ba) * l, by + std::sin(ba) * l);
      }
    }
  }
  cairo_stroke(cr);
  cairo_restore(cr);
}

namespace {

void DrawFitted(cairo_t* cr, const std::string& text, double x, double y, double w, double h,
                const TextStyle& st, bool centred) {
  cairo_save(cr);
  cairo_rectangle(cr, x, y, w, h);
  cairo_clip(cr);
  cairo_select_font_face(cr, "DejaVu Sans", CAIRO_FONT_SLANT_NORMAL,
                         st.bold ? CAIRO_FONT_WEIGHT_BOLD : CAIRO_FONT_WEIGHT_NORMAL);
  const double pad = st.outlineWidth + (st.shadow.a > 0 ? st.shadowOffset : 0) + 1;
  double size = st.size;
  cairo_text_extents_t te;
  cairo_font_extents_t fe;
  for (;;) {
    cairo_set_font_size(cr, size);
    cairo_text_extents(cr, text.c_str(), &te);
    cairo_font_extents(cr, &fe);
    if ((te.x_advance + 2 * pad <= w && fe.ascent * 0.75 + 2 * pad <= h) || size <= 6) break;
    size -= 0.5;
  }
  // Centre on the capitals' height rather than the font box: the lettering is mostly capitals.
  cairo_text_extents_t cap;
  cairo_text_extents(cr, "H", &cap);
  const double tx = centred ? x + (w - te.x_advance) / 2 : x + pad;
  const double ty = y + (h + cap.height) / 2;
  if (st.shadow.a > 0) {
    cairo_move_to(cr, tx + st.shadowOffset, ty + st.shadowOffset);
    cairo_text_path(cr, text.c_str());
    SetColour(cr, st.shadow);
    if (st.outlineWidth > 0) {
      cairo_set_line_width(cr, st.outlineWidth * 2);
      cairo_set_line_join(cr, CAIRO_LINE_JOIN_ROUND);
      cairo_stroke_preserve(cr);
    }
    cairo_fill(cr);
  }
  cairo_move_to(cr, tx, ty);
  cairo_text_path(cr, text.c_str());
  if (st.outline.a > 0 && st.outlineWidth > 0) {
    SetColour(cr, st.outline);
    cairo_set_line_width(cr, st.outlineWidth * 2);
    cairo_set_line_join(cr, CAIRO_LINE_JOIN_ROUND);
    cairo_stroke_preserve(cr);
  }
  SetColour(cr, st.fill);
  cairo_fill(cr);
  cairo_restore(cr);
}

}  // namespace

void TextInBox(cairo_t* cr, const std::string& text, double x, double y, double w, double h,
               const TextStyle& style) {
  DrawFitted(cr, text, x, y, w, h, style, true);
}

void TextLeft(cairo_t* cr, const std::string& text, double x, double y, double w, double h,
              const TextStyle& style) {
  DrawFitted(cr, text, x, y, w, h, style, false);
}

}  // namespace kit2d

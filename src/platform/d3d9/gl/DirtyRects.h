// The parts of a back buffer drawn over since it last matched the kept layer, as a few
// rectangles that together cover every pixel drawn over (and a few more): a frame that
// starts from the layer then puts back only those.
#pragma once

#include <array>

namespace platform::d3d9::gl {

// Pixels [left, right) × [top, bottom) of the back buffer, top row 0.
struct PixelRect {
  int left = 0, top = 0, right = 0, bottom = 0;
  bool Empty() const { return right <= left || bottom <= top; }
  long long Area() const {
    return Empty() ? 0 : static_cast<long long>(right - left) * (bottom - top);
  }
  bool operator==(const PixelRect&) const = default;
};

class DirtyRects {
 public:
  static constexpr int kMaxRects = 8;

  // Nothing drawn over yet, on a target of this size.
  void Reset(int width, int height);
  // r (clipped to the target) was drawn over.
  void Add(PixelRect r);
  // The whole target was drawn over.
  void AddAll();
  // Whether the rectangles have grown to the whole target, or so near it that putting
  // back the whole is as cheap.
  bool All() const { return all_; }
  int Count() const { return count_; }
  const PixelRect& operator[](int i) const { return rects_[static_cast<std::size_t>(i)]; }

 private:
  void Remove(int i);

  std::array<PixelRect, kMaxRects> rects_{};
  int count_ = 0;
  int width_ = 0, height_ = 0;
  long long area_ = 0;  // the sum of the rectangles' areas
  bool all_ = true;
};

}  // namespace platform::d3d9::gl

#include "platform/d3d9/gl/DirtyRects.h"

#include <algorithm>

namespace platform::d3d9::gl {

namespace {

PixelRect Union(const PixelRect& a, const PixelRect& b) {
  return {std::min(a.left, b.left), std::min(a.top, b.top), std::max(a.right, b.right),
          std::max(a.bottom, b.bottom)};
}

long long Overlap(const PixelRect& a, const PixelRect& b) {
  const PixelRect i{std::max(a.left, b.left), std::max(a.top, b.top), std::min(a.right, b.right),
                    std::min(a.bottom, b.bottom)};
  return i.Area();
}

// Each rectangle costs a copy of its own; two whose union adds no more than this many
// pixels to what they cover apart are put back as one.
constexpr long long kMergeSlack = 32 * 32;

}  // namespace

void DirtyRects::Reset(int width, int height) {
  width_ = std::max(width, 0);
  height_ = std::max(height, 0);
  count_ = 0;
  area_ = 0;
  all_ = false;
}

void DirtyRects::AddAll() {
  all_ = true;
  count_ = 0;
  area_ = 0;
}

void DirtyRects::Remove(int i) {
  area_ -= rects_[static_cast<std::size_t>(i)].Area();
  rects_[static_cast<std::size_t>(i)] = rects_[static_cast<std::size_t>(count_ - 1)];
  --count_;
}

void DirtyRects::Add(PixelRect r) {
  if (all_) return;
  r.left = std::max(r.left, 0);
  r.top = std::max(r.top, 0);
  r.right = std::min(r.right, width_);
  r.bottom = std::min(r.bottom, height_);
  if (r.Empty()) return;
  // Taken into a rectangle that covers it, or joined with those it overlaps (or nearly
  // touches) where the joint rectangle costs little more than the two apart; with no room
  // left, joined with the one that grows least.
  for (bool joined = true; joined;) {
    joined = false;
    for (int i = 0; i < count_; ++i) {
      const PixelRect& e = rects_[static_cast<std::size_t>(i)];
      const PixelRect u = Union(e, r);
      if (u.Area() <= e.Area() + r.Area() - Overlap(e, r) + kMergeSlack) {
        r = u;
        Remove(i);
        joined = true;
        break;
      }
    }
    if (!joined && count_ == kMaxRects) {
      int best = 0;
      long long bestGrowth = 0;
      for (int i = 0; i < count_; ++i) {
        const PixelRect& e = rects_[static_cast<std::size_t>(i)];
        const long long growth = Union(e, r).Area() - e.Area();
        if (i == 0 || growth < bestGrowth) {
          best = i;
          bestGrowth = growth;
        }
      }
      r = Union(rects_[static_cast<std::size_t>(best)], r);
      Remove(best);
      joined = true;
    }
  }
  rects_[static_cast<std::size_t>(count_++)] = r;
  area_ += r.Area();
  // Past about two thirds of the target, one whole copy costs less than the pieces.
  if (3 * area_ >= 2 * static_cast<long long>(width_) * height_) AddAll();
}

}  // namespace platform::d3d9::gl

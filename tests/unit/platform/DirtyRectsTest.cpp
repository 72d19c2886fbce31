// The rectangles a frame puts back from the kept layer: whatever is added stays covered,
// they stay few, and past most of the target they give way to the whole.
#include <gtest/gtest.h>

#include <vector>

#include "platform/d3d9/gl/DirtyRects.h"

using platform::d3d9::gl::DirtyRects;
using platform::d3d9::gl::PixelRect;

namespace {

constexpr int kW = 64, kH = 48;

// How many pixels of `added` (clipped to the target) the rectangles leave uncovered, and
// how many they cover beyond the added ones.
void Coverage(const DirtyRects& d, const std::vector<PixelRect>& added, int* missed, int* extra) {
  *missed = *extra = 0;
  for (int y = 0; y < kH; ++y)
    for (int x = 0; x < kW; ++x) {
      bool wanted = false, covered = d.All();
      for (const PixelRect& r : added)
        wanted = wanted || (x >= r.left && x < r.right && y >= r.top && y < r.bottom);
      for (int i = 0; i < d.Count(); ++i)
        covered = covered || (x >= d[i].left && x < d[i].right && y >= d[i].top && y < d[i].bottom);
      *missed += wanted && !covered;
      *extra += covered && !wanted;
    }
}

}  // namespace

TEST(DirtyRectsTest, AddedPixelsStayCoveredByFewRectangles) {
  struct Case {
    const char* name;
    std::vector<PixelRect> added;
    int count;     // rectangles kept (-1: any up to the limit)
    bool all;      // grown to the whole target
    int maxExtra;  // pixels covered beyond those added
  };
  std::vector<PixelRect> scattered;
  for (int i = 0; i < 12; ++i)
    scattered.push_back({(i % 6) * 10, (i / 6) * 24, (i % 6) * 10 + 3, (i / 6) * 24 + 3});
  const Case cases[] = {
      {"nothing", {}, 0, false, 0},
      {"empty and outside rectangles are ignored",
       {{5, 5, 5, 9}, {70, 0, 80, 10}, {0, -9, 9, 0}},
       0,
       false,
       0},
      {"two apart stay apart", {{0, 0, 4, 4}, {40, 30, 44, 34}}, 2, false, 0},
      {"one inside another is taken in", {{0, 0, 20, 20}, {5, 5, 10, 10}}, 1, false, 0},
      {"overlapping ones are joined", {{0, 0, 20, 20}, {10, 10, 30, 30}}, 1, false, 200},
      {"a rectangle reaching out is clipped", {{-5, -5, 10, 10}, {60, 40, 70, 50}}, 2, false, 0},
      {"many small ones are joined down to the limit", scattered, -1, false, kW * kH},
      {"most of the target gives the whole", {{0, 0, 64, 20}, {0, 20, 64, 34}}, 0, true, kW * kH},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    DirtyRects d;
    d.Reset(kW, kH);
    for (const PixelRect& r : c.added) d.Add(r);
    int missed = 0, extra = 0;
    Coverage(d, c.added, &missed, &extra);
    EXPECT_EQ(missed, 0);
    EXPECT_LE(extra, c.maxExtra);
    EXPECT_EQ(d.All(), c.all);
    if (c.count >= 0) {
      EXPECT_EQ(d.Count(), c.count);
    }
    EXPECT_LE(d.Count(), DirtyRects::kMaxRects);
  }
  // A fresh list starts empty; the whole stays the whole until the next reset.
  DirtyRects d;
  d.Reset(kW, kH);
  d.AddAll();
  d.Add({0, 0, 2, 2});
  EXPECT_TRUE(d.All());
  d.Reset(kW, kH);
  EXPECT_FALSE(d.All());
  EXPECT_EQ(d.Count(), 0);
}

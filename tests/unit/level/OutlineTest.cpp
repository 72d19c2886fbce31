// The outline file reader on good and broken files, the edges and normals it builds,
// and the segment test with its touching and parallel cases.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "engine/resources/ResourceManager.h"
#include "level/CollisionOutline.h"

namespace {

struct Bytes {
  std::string data;
  Bytes& Int(std::int32_t v) {
    const std::uint32_t u = static_cast<std::uint32_t>(v);
    for (int i = 0; i < 4; ++i) data.push_back(static_cast<char>((u >> (8 * i)) & 0xFF));
    return *this;
  }
  Bytes& Float(float f) {
    std::int32_t v;
    std::memcpy(&v, &f, 4);
    return Int(v);
  }
  Bytes& Point(float x, float y, float z = 0.0f) { return Float(x).Float(y).Float(z); }
  Bytes& Cut(std::size_t n) {
    data.resize(data.size() - n);
    return *this;
  }
};

std::vector<CollisionOutline> Read(const std::string& bytes) {
  std::FILE* f = std::tmpfile();
  std::fwrite(bytes.data(), 1, bytes.size(), f);
  std::rewind(f);
  std::vector<CollisionOutline> out;
  ReadOutlines(f, &out);
  std::fclose(f);
  return out;
}

TEST(OutlineFileTest, KeepsOnlyCompleteOutlinesAndNeverTrustsCounts) {
  struct Case {
    const char* name;
    std::string bytes;
    std::vector<std::size_t> edgeCounts;  // one entry per outline kept
  };
  const std::vector<Case> cases = {
      {"empty file", "", {}},
      {"count cut short", Bytes().Int(1).Cut(2).data, {}},
      {"no outlines: an open field", Bytes().Int(0).data, {}},
      {"negative count", Bytes().Int(-1).Int(2).Point(0, 0).Point(1, 1).data, {}},
      {"huge count, one outline there",
       Bytes().Int(0x7FFFFFFF).Int(3).Point(0, 0).Point(10, 0).Point(10, 10).data, {2}},
      {"second outline cut inside a point",
       Bytes().Int(2).Int(2).Point(0, 0).Point(5, 0).Int(2).Point(1, 1).Point(2, 2).Cut(3).data,
       {1}},
      {"short outlines get no edges",
       Bytes().Int(3).Int(1).Point(4, 4).Int(0).Int(2).Point(0, 0).Point(0, 9).data, {0, 0, 1}},
      {"negative point count", Bytes().Int(1).Int(-5).Point(0, 0).data, {}},
      {"huge point count, few points", Bytes().Int(1).Int(1000000000).Point(0, 0).Point(1, 0).data,
       {}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const std::vector<CollisionOutline> outlines = Read(c.bytes);
    ASSERT_EQ(outlines.size(), c.edgeCounts.size());
    for (std::size_t i = 0; i < outlines.size(); ++i)
      EXPECT_EQ(outlines[i].edges.size(), c.edgeCounts[i]);
  }
}

TEST(OutlineFileTest, ReadsLittleEndianPointsInFileOrderAndMissingFileFails) {
  const auto outlines =
      Read(Bytes().Int(2).Int(2).Point(-650.5f, 800, 3).Point(100, 800).Int(2).Point(0, 0)
               .Point(0, -7).data);
  ASSERT_EQ(outlines.size(), 2u);
  EXPECT_EQ(outlines[0].points[0], D3DXVECTOR3(-650.5f, 800, 3));
  EXPECT_EQ(outlines[0].edges[0].delta, D3DXVECTOR3(750.5f, 0, -3));
  EXPECT_EQ(outlines[1].edges[0].end, D3DXVECTOR3(0, -7, 0));

  const std::string saved = dataRoot;
  dataRoot = "./no-such-folder/";
  std::vector<CollisionOutline> none;
  EXPECT_FALSE(LoadOutlineFile(&none));
  EXPECT_TRUE(none.empty());
  dataRoot = saved;
}

TEST(OutlineEdgeTest, NormalsFollowTheEdgeDirection) {
  struct Case {
    D3DXVECTOR3 a, b, normal;
  };
  const Case cases[] = {
      {{0, 0, 0}, {10, 0, 0}, {0, -1, 0}},   // along +x
      {{0, 0, 0}, {-10, 0, 0}, {0, 1, 0}},   // along −x
      {{3, 3, 0}, {3, 3, 0}, {0, 1, 0}},     // a repeated point
      {{0, 0, 0}, {0, 10, 0}, {-1, 0, 0}},   // along +y
      {{0, 0, 0}, {5, 5, 0}, {-0.70710678f, 0.70710678f, 0}},
  };
  for (const Case& c : cases) {
    CollisionOutline o;
    o.points = {c.a, c.b};
    BuildEdges(&o);
    ASSERT_EQ(o.edges.size(), 1u);
    EXPECT_NEAR(o.edges[0].normal.x, c.normal.x, 1e-6f);
    EXPECT_NEAR(o.edges[0].normal.y, c.normal.y, 1e-6f);
    EXPECT_EQ(o.edges[0].normal.z, 0.0f);
  }
}

TEST(SegmentTest, BothEndsTouchAndParallelMovesNeverHit) {
  CollisionOutline wall;
  wall.points = {{0, 0, 0}, {10, 0, 0}};
  BuildEdges(&wall);
  const OutlineEdge& e = wall.edges[0];
  struct Case {
    const char* name;
    D3DXVECTOR3 P, M;
    bool hit;
    D3DXVECTOR3 at;
  };
  const Case cases[] = {
      {"ends exactly on the edge", {5, -5, 0}, {0, 5, 0}, true, {5, 0, 0}},
      {"touches the start point", {0, -5, 0}, {0, 10, 0}, true, {0, 0, 0}},
      {"touches the end point", {10, -5, 0}, {0, 10, 0}, true, {10, 0, 0}},
      {"passes beyond the end", {10.01f, -5, 0}, {0, 10, 0}, false, {}},
      {"stops short", {5, -5, 0}, {0, 4.99f, 0}, false, {}},
      {"moves away", {5, 1, 0}, {0, 5, 0}, false, {}},
      {"runs along the edge", {-5, 0, 0}, {20, 0, 0}, false, {}},
      {"parallel beside it", {-5, 1, 0}, {20, 0, 0}, false, {}},
      {"keeps its height", {5, -5, 7}, {0, 10, 2}, true, {5, 0, 8}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    D3DXVECTOR3 at(99, 99, 99);
    ASSERT_EQ(SegmentHitsEdge(c.P, c.M, e, &at), c.hit);
    if (c.hit) {
      EXPECT_NEAR(at.x, c.at.x, 1e-5f);
      EXPECT_NEAR(at.y, c.at.y, 1e-5f);
      EXPECT_NEAR(at.z, c.at.z, 1e-5f);
    }
  }
}

TEST(DiamondTest, SquareOfCornerDistanceOneAndAHalfRadiiMetFromItsCentre) {
  CollisionOutline d;
  const D3DXVECTOR3 c(10, 20, 0);
  BuildDiamond(&d, c, 40.0f);
  ASSERT_EQ(d.points.size(), 9u);
  ASSERT_EQ(d.edges.size(), 8u);
  EXPECT_EQ(d.points[0], d.points[8]);
  EXPECT_EQ(d.points[0], D3DXVECTOR3(70, 20, 0));
  EXPECT_EQ(d.points[2], D3DXVECTOR3(10, 80, 0));
  EXPECT_EQ(d.points[5], D3DXVECTOR3(-20, -10, 0));

  SweepResult r;
  ASSERT_TRUE(OutlineHit(d, c, D3DXVECTOR3(100, 0, 0), &r));
  EXPECT_NEAR(r.distance, 60.0f, 1e-4f);
  ASSERT_TRUE(OutlineHit(d, c, D3DXVECTOR3(100, 100, 0), &r));
  EXPECT_NEAR(r.distance, 42.426407f, 1e-3f);
  EXPECT_FALSE(OutlineHit(d, c, D3DXVECTOR3(0, 59, 0), &r));

  // Rebuilt in place after every move: the same storage serves the new position.
  const D3DXVECTOR3* before = d.points.data();
  BuildDiamond(&d, D3DXVECTOR3(0, 0, 0), 100.0f);
  EXPECT_EQ(d.points.data(), before);
  EXPECT_EQ(d.points[6], D3DXVECTOR3(0, -150, 0));
}

TEST(OutlineHitTest, TakesTheNearestCrossing) {
  CollisionOutline zig;
  zig.points = {{50, -10, 0}, {50, 10, 0}, {20, 10, 0}, {20, -10, 0}};
  BuildEdges(&zig);
  SweepResult r;
  ASSERT_TRUE(OutlineHit(zig, D3DXVECTOR3(0, 0, 0), D3DXVECTOR3(100, 0, 0), &r));
  EXPECT_NEAR(r.point.x, 20.0f, 1e-5f);
  EXPECT_NEAR(r.distance, 20.0f, 1e-5f);
  EXPECT_NEAR(std::fabs(r.normal.x), 1.0f, 1e-6f);
}

}  // namespace

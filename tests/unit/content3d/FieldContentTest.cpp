// The outline file against the field it describes: its layout parses, the border holds
// the spawn area and every base, no obstacle reaches into the spawn area, every base's
// delivery reach can be walked to, and in all three terrains whatever stands tall on
// the field is inside an outline and every outline has something drawn inside it.
#include <gtest/gtest.h>

#include <cmath>
#include <queue>
#include <string>
#include <vector>

#include "unit/content3d/ContentFiles.h"

namespace {

using content3d::Inside;
using content3d::Outline;

constexpr float kSpawnX0 = -700, kSpawnX1 = 700, kSpawnY0 = -700, kSpawnY1 = 600;
constexpr float kBaseXs[] = {-650, -200, 0, 200, 650};
constexpr float kBaseY = 800, kReach = 130 + 40;

// A base's collision diamond (150 along the axes), as the game builds it.
bool InBaseDiamond(float x, float y) {
  for (float bx : kBaseXs)
    if (std::fabs(x - bx) + std::fabs(y - kBaseY) < 150) return true;
  return false;
}

TEST(FieldContent, OutlinesHoldTheFieldAndLeaveEveryBaseReachable) {
  std::vector<Outline> outlines;
  ASSERT_TRUE(content3d::ReadOutlineFile(content3d::DataDir() + "Terreno_0.cln", &outlines));
  ASSERT_GE(outlines.size(), 5u);
  for (const Outline& o : outlines) {
    ASSERT_GE(o.size(), 4u);
    EXPECT_EQ(o.front(), o.back());  // closed
    for (const auto& p : o) EXPECT_EQ(p.z, 0.0f);
  }
  const Outline& border = outlines[0];
  for (float x : {kSpawnX0, kSpawnX1})
    for (float y : {kSpawnY0, kSpawnY1}) EXPECT_TRUE(Inside(border, x, y));
  for (float bx : kBaseXs) EXPECT_TRUE(Inside(border, bx, kBaseY + 100));
  // No obstacle touches the spawn area: neither a corner inside it nor an edge across it.
  for (std::size_t i = 1; i < outlines.size(); ++i)
    for (std::size_t j = 0; j + 1 < outlines[i].size(); ++j)
      for (int s = 0; s <= 100; ++s) {
        const auto p = outlines[i][j] + (outlines[i][j + 1] - outlines[i][j]) * (s / 100.0f);
        EXPECT_FALSE(p.x > kSpawnX0 && p.x < kSpawnX1 && p.y > kSpawnY0 && p.y < kSpawnY1)
            << "outline " << i << " at " << p.x << "," << p.y;
      }
  // Flood fill on a 10-unit grid from the spawn area's centre.
  const float x0 = -1000, y0 = -1000, cell = 10;
  const int w = 200, h = 220;
  auto freeAt = [&](int i, int j) {
    const float x = x0 + (i + 0.5f) * cell, y = y0 + (j + 0.5f) * cell;
    if (!Inside(border, x, y) || InBaseDiamond(x, y)) return false;
    for (std::size_t k = 1; k < outlines.size(); ++k)
      if (Inside(outlines[k], x, y)) return false;
    return true;
  };
  std::vector<char> seen(w * h, 0);
  std::queue<std::pair<int, int>> todo;
  todo.push({100, 100});
  seen[100 * w + 100] = 1;
  ASSERT_TRUE(freeAt(100, 100));
  while (!todo.empty()) {
    const auto [i, j] = todo.front();
    todo.pop();
    const int next[4][2] = {{i + 1, j}, {i - 1, j}, {i, j + 1}, {i, j - 1}};
    for (const auto& n : next)
      if (n[0] >= 0 && n[0] < w && n[1] >= 0 && n[1] < h && !seen[n[1] * w + n[0]] && freeAt(n[0], n[1])) {
        seen[n[1] * w + n[0]] = 1;
        todo.push({n[0], n[1]});
      }
  }
  // Every spawn point is reached, and each base can be delivered to.
  for (float x = kSpawnX0; x <= kSpawnX1; x += 50)
    for (float y = kSpawnY0; y <= kSpawnY1; y += 50)
      EXPECT_TRUE(seen[static_cast<int>((y - y0) / cell) * w + static_cast<int>((x - x0) / cell)]) << x << "," << y;
  for (float bx : kBaseXs) {
    bool reached = false;
    for (int j = 0; j < h && !reached; ++j)
      for (int i = 0; i < w && !reached; ++i)
        reached = seen[j * w + i] && std::hypot(x0 + (i + 0.5f) * cell - bx, y0 + (j + 0.5f) * cell - kBaseY) <= kReach;
    EXPECT_TRUE(reached) << "base at x = " << bx;
  }
}

TEST(FieldContent, WhatStandsOnTheFieldIsWhatTheOutlinesBlock) {
  std::vector<Outline> outlines;
  ASSERT_TRUE(content3d::ReadOutlineFile(content3d::DataDir() + "Terreno_0.cln", &outlines));
  ASSERT_GE(outlines.size(), 2u);
  for (int k = 0; k < 3; ++k) {
    const std::string file = "Terreno" + std::to_string(k) + ".X";
    SCOPED_TRACE(file);
    auto x = content3d::ParseX(file);
    ASSERT_TRUE(x);
    const auto meshes = content3d::Meshes(*x);
    ASSERT_EQ(meshes.size(), 1u);
    std::vector<int> drawnInside(outlines.size(), 0);
    int strays = 0;
    for (const auto& p : meshes[0].positions) {
      if (p.z < 12 || !Inside(outlines[0], p.x, p.y)) continue;
      bool blocked = false;
      for (std::size_t i = 1; i < outlines.size(); ++i)
        if (Inside(outlines[i], p.x, p.y)) {
          blocked = true;
          ++drawnInside[i];
        }
      if (!blocked && ++strays <= 5) ADD_FAILURE() << "unblocked scenery at " << p.x << "," << p.y << "," << p.z;
    }
    for (std::size_t i = 1; i < outlines.size(); ++i) EXPECT_GT(drawnInside[i], 10) << "outline " << i;
  }
}

}  // namespace

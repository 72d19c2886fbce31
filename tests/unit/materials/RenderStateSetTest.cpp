// Render-state sets: the defaults, Apply through the device's cache, and the binary file.
#include <gtest/gtest.h>

#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

#include "app/GraphicsDevice.h"
#include "engine/materials/RenderStateSet.h"
#include "platform/d3d9/D3D9Headless.h"
#include "support/HeadlessDevice.h"

namespace {

using platform::d3d9::Log;

class RenderStateSetTest : public HeadlessDeviceTest {
 protected:
  void SetUp() override {
    HeadlessDeviceTest::SetUp();
    dir_ = std::filesystem::temp_directory_path() /
           ("rss_" + std::to_string(::testing::UnitTest::GetInstance()->random_seed()) + "_" +
            ::testing::UnitTest::GetInstance()->current_test_info()->name());
    std::filesystem::create_directories(dir_);
  }
  void TearDown() override {
    std::filesystem::remove_all(dir_);
    HeadlessDeviceTest::TearDown();
  }

  int StateChanges() const {
    return Log().Count("SetRenderState") + Log().Count("SetSamplerState") +
           Log().Count("SetTextureStageState");
  }

  std::string Write(const std::vector<std::uint32_t>& words, std::size_t dropBytes = 0) {
    const std::string path = (dir_ / "states.rs").string();
    std::vector<unsigned char> bytes;
    for (std::uint32_t w : words)
      for (int i = 0; i < 4; ++i) bytes.push_back(static_cast<unsigned char>(w >> (8 * i)));
    bytes.resize(bytes.size() - dropBytes);
    std::FILE* f = std::fopen(path.c_str(), "wb");
    std::fwrite(bytes.data(), 1, bytes.size(), f);
    std::fclose(f);
    return path;
  }

  static bool Same(const RenderStateSet& a, const RenderStateSet& b) {
    for (int i = 0; i < RenderStateSet::kEntryCount; ++i) {
      if (a[i].value != b[i].value || a[i].known != b[i].known ||
          a[i].specified != b[i].specified)
        return false;
    }
    return true;
  }

  std::filesystem::path dir_;
};

TEST_F(RenderStateSetTest, FreshSetCoversTheDefinedStatesWithTheEngineDefaults) {
  RenderStateSet set;
  int specified = 0, renderStates = 0;
  for (int i = 0; i < RenderStateSet::kEntryCount; ++i) {
    EXPECT_EQ(set[i].known, set[i].specified) << i;
    if (set[i].specified) ++specified;
    if (i < RenderStateSet::kRenderStates && set[i].specified) ++renderStates;
  }
  EXPECT_EQ(specified, 165);
  EXPECT_EQ(renderStates, 103);
  EXPECT_EQ(set[D3DRS_CULLMODE].value, static_cast<DWORD>(D3DCULL_CW));
  EXPECT_EQ(set[D3DRS_DITHERENABLE].value, 1u);
  EXPECT_EQ(set[D3DRS_RANGEFOGENABLE].value, 1u);
  EXPECT_EQ(set[D3DRS_NORMALIZENORMALS].value, 1u);
  EXPECT_EQ(set[D3DRS_POINTSIZE].value, FloatToDWORD(64.0f));
  EXPECT_EQ(set[D3DRS_POINTSCALE_B].value, FloatToDWORD(1.0f));
  EXPECT_EQ(set[D3DRS_POINTSCALE_C].value, FloatToDWORD(1.0f));
  EXPECT_EQ(set[D3DRS_ZENABLE].value, 1u);
  EXPECT_EQ(set[D3DRS_ZFUNC].value, static_cast<DWORD>(D3DCMP_LESSEQUAL));
  EXPECT_EQ(set[D3DRS_LIGHTING].value, 1u);
  EXPECT_EQ(set[D3DRS_SRCBLEND].value, static_cast<DWORD>(D3DBLEND_ONE));
  EXPECT_EQ(set[D3DRS_DESTBLEND].value, static_cast<DWORD>(D3DBLEND_ZERO));
  EXPECT_EQ(set[D3DRS_FOGEND].value, FloatToDWORD(1.0f));
  EXPECT_EQ(set[D3DRS_POINTSIZE_MAX].value, FloatToDWORD(64.0f));
  EXPECT_EQ(set[RenderStateSet::SamplerIndex(1, D3DSAMP_MINFILTER)].value,
            static_cast<DWORD>(D3DTEXF_POINT));
  EXPECT_EQ(set[RenderStateSet::SamplerIndex(0, D3DSAMP_MIPFILTER)].value,
            static_cast<DWORD>(D3DTEXF_NONE));
  EXPECT_EQ(set[RenderStateSet::StageIndex(0, D3DTSS_COLOROP)].value,
            static_cast<DWORD>(D3DTOP_MODULATE));
  EXPECT_EQ(set[RenderStateSet::StageIndex(1, D3DTSS_COLOROP)].value,
            static_cast<DWORD>(D3DTOP_DISABLE));
  EXPECT_EQ(set[RenderStateSet::StageIndex(1, D3DTSS_TEXCOORDINDEX)].value, 1u);
  EXPECT_FALSE(set[5].specified);
  EXPECT_FALSE(set[RenderStateSet::SamplerIndex(0, 0)].specified);
  EXPECT_FALSE(set[RenderStateSet::StageIndex(0, 12)].specified);
}

TEST_F(RenderStateSetTest, ApplyWithForceSends165ThenWithoutForceNone) {
  RenderStateSet set;
  ASSERT_TRUE(set.Apply(true));
  EXPECT_EQ(Log().Count("SetRenderState"), 103);
  EXPECT_EQ(Log().Count("SetSamplerState"), 26);
  EXPECT_EQ(Log().Count("SetTextureStageState"), 36);
  Log().Clear();
  ASSERT_TRUE(set.Apply(false));
  EXPECT_EQ(StateChanges(), 0);
}

TEST_F(RenderStateSetTest, ApplySendsInTableOrder) {
  RenderStateSet set;
  set.Apply(true);
  const auto& r = Log().Records();
  ASSERT_EQ(r.size(), 165u);
  EXPECT_STREQ(r.front().name, "SetRenderState");
  EXPECT_EQ(r.front().args[0], 7u);
  EXPECT_STREQ(r[103].name, "SetSamplerState");
  EXPECT_EQ(r[103].args[0], 0u);
  EXPECT_EQ(r[103 + 13].args[0], 1u);
  EXPECT_STREQ(r[129].name, "SetTextureStageState");
  EXPECT_EQ(r[129].args[0], 0u);
  EXPECT_EQ(r.back().args[0], 1u);
  EXPECT_EQ(r.back().args[1], static_cast<DWORD>(D3DTSS_CONSTANT));
}

TEST_F(RenderStateSetTest, ChangedSetSendsOnlyTheDifferences) {
  RenderStateSet set;
  set.Set(D3DRS_ALPHABLENDENABLE, 1);
  set.Set(RenderStateSet::SamplerIndex(1, D3DSAMP_MAGFILTER), D3DTEXF_LINEAR);
  set.Apply(false);
  EXPECT_EQ(StateChanges(), 2);
}

TEST_F(RenderStateSetTest, CopyFromCopiesValuesAndFlags) {
  RenderStateSet a, b;
  a.Set(5, 99);
  a[D3DRS_LIGHTING].specified = false;
  b.CopyFrom(a);
  EXPECT_TRUE(Same(a, b));
  EXPECT_TRUE(b[5].known);
}

TEST_F(RenderStateSetTest, FileSetsValuesButOnlySpecifiedEntriesAreSent) {
  // Render states: 22 = CCW, 5 = 77 (no such Direct3D state). No sampler or stage pairs.
  RenderStateSet set;
  ASSERT_TRUE(set.Load(Write({2, 22, 3, 5, 77, 0, 0, 0, 0})));
  EXPECT_EQ(set[D3DRS_CULLMODE].value, static_cast<DWORD>(D3DCULL_CCW));
  EXPECT_EQ(set[5].value, 77u);
  EXPECT_TRUE(set[5].known);
  EXPECT_FALSE(set[5].specified);
  set.Apply(false);
  auto sent = Log().Named("SetRenderState");
  ASSERT_EQ(sent.size(), 1u);
  EXPECT_EQ(sent[0].args[0], static_cast<DWORD>(D3DRS_CULLMODE));
  EXPECT_EQ(sent[0].args[1], static_cast<DWORD>(D3DCULL_CCW));
}

TEST_F(RenderStateSetTest, FileBlocksLandInTheirSamplersAndStages) {
  RenderStateSet set;
  ASSERT_TRUE(set.Load(Write({0,                        // render states
                              1, D3DSAMP_MINFILTER, 2,  // sampler 0
                              1, D3DSAMP_ADDRESSU, 3,   // sampler 1
                              1, D3DTSS_COLOROP, 2,     // stage 0
                              1, D3DTSS_ALPHAOP, 4})));  // stage 1
  EXPECT_EQ(set[RenderStateSet::SamplerIndex(0, D3DSAMP_MINFILTER)].value, 2u);
  EXPECT_EQ(set[RenderStateSet::SamplerIndex(1, D3DSAMP_ADDRESSU)].value, 3u);
  EXPECT_EQ(set[RenderStateSet::StageIndex(0, D3DTSS_COLOROP)].value, 2u);
  EXPECT_EQ(set[RenderStateSet::StageIndex(1, D3DTSS_ALPHAOP)].value, 4u);
}

TEST_F(RenderStateSetTest, AllZeroCountsLeaveAFreshSet) {
  RenderStateSet set, fresh;
  ASSERT_TRUE(set.Load(Write({0, 0, 0, 0, 0})));
  EXPECT_TRUE(Same(set, fresh));
}

TEST_F(RenderStateSetTest, OutOfRangePairsAreSkipped) {
  RenderStateSet set, fresh;
  ASSERT_TRUE(set.Load(Write({2, 210, 1, 0xFFFFFFFFu, 1,  // past the render states
                              1, 14, 5,                   // sampler type 14
                              0,
                              1, 33, 5,                   // stage type 33
                              1, 40, 5})));
  EXPECT_TRUE(Same(set, fresh));
}

TEST_F(RenderStateSetTest, TruncatedFileKeepsWhatWasRead) {
  RenderStateSet set;
  // Announces three pairs but holds one and a half.
  ASSERT_TRUE(set.Load(Write({3, D3DRS_LIGHTING, 0, D3DRS_FOGENABLE, 1}, 2)));
  EXPECT_EQ(set[D3DRS_LIGHTING].value, 0u);
  EXPECT_EQ(set[D3DRS_FOGENABLE].value, 0u);
  // A huge announced count on a tiny file ends at the file's end, not in a long loop.
  RenderStateSet other;
  ASSERT_TRUE(other.Load(Write({0xFFFFFFF0u, D3DRS_ZENABLE, 0})));
  EXPECT_EQ(other[D3DRS_ZENABLE].value, 0u);
}

TEST_F(RenderStateSetTest, MissingFileFails) {
  RenderStateSet set;
  EXPECT_FALSE(set.Load((dir_ / "nothing.rs").string()));
}

}  // namespace

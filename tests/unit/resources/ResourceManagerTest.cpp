// The resource cache: keys, counts, failed loads, default entries, and the texture,
// render-state and font instances.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "app/GraphicsDevice.h"
#include "engine/resources/ResourceManagers.h"
#include "platform/d3dx9/D3DX9Font.h"
#include "platform/d3dx9/D3DX9Texture.h"
#include "support/HeadlessDevice.h"
#include "support/TestImages.h"

namespace {

struct FakeResource : Resource {
  int refCount = 0;
  int loads = 0;
};

// A manager whose loader succeeds only for file names in `present`, recording the paths.
class FakeManager : public ResourceManager<FakeResource> {
 public:
  explicit FakeManager(bool withDefault = true) : ResourceManager(withDefault) {}
  bool Load(const std::string& key) override {
    return LoadFromFolder(key, [this](FakeResource& r, const std::string& path) {
      paths.push_back(path);
      ++r.loads;
      for (const auto& p : present)
        if (path == Folder() + p) return true;
      return false;
    });
  }
  std::string Folder() const override { return "F\\"; }

  std::vector<std::string> present;
  std::vector<std::string> paths;
};

TEST(ResourceManagerTest, NamesDifferingOnlyInCaseShareOneEntry) {
  FakeManager m;
  m.present = {"GUI.PNG"};
  FakeResource* a = m.Acquire("GUI.png");
  FakeResource* b = m.Acquire("gui.png");
  ASSERT_NE(a, nullptr);
  EXPECT_EQ(a, b);
  EXPECT_EQ(a->refCount, 2);
  EXPECT_EQ(a->name, "GUI.PNG");
  EXPECT_EQ(a->loads, 1);
  EXPECT_EQ(m.paths.size(), 1u);
}

TEST(ResourceManagerTest, OnlyAsciiLettersChangeCase) {
  // Windows-1252 "ñ" (0xF1) is not a letter in the "C" locale.
  EXPECT_EQ(FakeManager::MakeKey("a\xF1o_1.x"), "A\xF1O_1.X");
}

TEST(ResourceManagerTest, KeyKeepsTheDirectoryButThePathUsesTheFileName) {
  FakeManager m;
  m.present = {"TEMAACCION_0.MID"};
  FakeResource* r = m.Acquire(".\\Data\\TemaAccion_0.mid");
  ASSERT_NE(r, m.GetDefault());
  ASSERT_EQ(m.paths.size(), 1u);
  EXPECT_EQ(m.paths[0], "F\\TEMAACCION_0.MID");
  EXPECT_EQ(r->name, ".\\DATA\\TEMAACCION_0.MID");
  EXPECT_EQ(m.Find("TemaAccion_0.mid"), nullptr);
  EXPECT_EQ(m.Find(".\\data\\temaaccion_0.MID"), r);
}

TEST(ResourceManagerTest, FailedLoadGivesTheDefaultAndLeavesNoEntry) {
  FakeManager m;
  const std::size_t before = m.EntryCount();
  FakeResource* first = m.Acquire("missing.png");
  FakeResource* second = m.Acquire("MISSING.PNG");
  EXPECT_EQ(first, m.GetDefault());
  EXPECT_EQ(second, m.GetDefault());
  EXPECT_EQ(m.EntryCount(), before);
  EXPECT_EQ(m.Find("missing.png"), nullptr);
  // Each request tries the file again.
  EXPECT_EQ(m.paths.size(), 2u);
  EXPECT_EQ(m.GetDefault()->name, "__DEFAULT__");
  EXPECT_EQ(m.GetDefault()->refCount, 0);
}

TEST(ResourceManagerTest, ManagersWithoutDefaultReturnNull) {
  FakeManager m(false);
  EXPECT_EQ(m.Acquire("missing.x"), nullptr);
  EXPECT_EQ(m.EntryCount(), 0u);
}

TEST(ResourceManagerTest, SecondReleaseAtCountZeroDestroysTheEntry) {
  FakeManager m;
  m.present = {"A.PNG"};
  FakeResource* a = m.Acquire("a.png");
  EXPECT_EQ(a->refCount, 1);
  m.Release("A.png");
  ASSERT_EQ(m.Find("a.png"), a);  // still cached, count 0
  EXPECT_EQ(a->refCount, 0);
  // Handed out again without reloading.
  EXPECT_EQ(m.Acquire("a.png"), a);
  EXPECT_EQ(a->refCount, 1);
  EXPECT_EQ(m.paths.size(), 1u);
  m.Release("a.png");
  m.Release("a.png");
  EXPECT_EQ(m.Find("a.png"), nullptr);
  m.Release("a.png");  // no entry: ignored
  m.Release("never.png");
}

TEST(ResourceManagerTest, UnmatchedReleaseNeverDestroysTheDefault) {
  FakeManager m;
  FakeResource* d = m.GetDefault();
  EXPECT_EQ(m.Acquire("__default__"), d);
  EXPECT_EQ(d->refCount, 1);
  m.Release("__DEFAULT__");
  m.Release("__DEFAULT__");
  m.Release("__DEFAULT__");
  EXPECT_EQ(m.Find("__DEFAULT__"), d);
  EXPECT_EQ(d->refCount, 0);
  EXPECT_EQ(m.Acquire("missing"), d);
}

TEST(ResourceManagerTest, RenderStateDefaultsFilterLinearlyAndTheTransparentOneBlends) {
  RenderStateManager m;
  RenderStateSet* d = m.GetDefault();
  RenderStateSet* t = m.GetTransparentDefault();
  ASSERT_NE(d, nullptr);
  ASSERT_NE(t, nullptr);
  EXPECT_EQ(m.Find("__DEFAULT_TRANSPARENT__"), t);
  for (int index : {215, 216, 217, 229, 230, 231}) {
    EXPECT_EQ((*d)[index].value, 2u) << index;
    EXPECT_TRUE((*d)[index].known);
    EXPECT_EQ((*t)[index].value, 2u) << index;
  }
  EXPECT_EQ((*t)[27].value, 1u);
  EXPECT_EQ((*t)[19].value, 5u);
  EXPECT_EQ((*t)[20].value, 6u);
  EXPECT_EQ((*d)[27].value, 0u);  // the opaque default does not blend
  // Balanced use keeps both; an unmatched release cannot remove them either.
  m.Release("__default_transparent__");
  EXPECT_EQ(m.Find("__DEFAULT_TRANSPARENT__"), t);
}

TEST(ResourceManagerTest, AutoNamesAreCreatedEmptyWithoutAFile) {
  TempDir dir;
  const std::string saved = renderStateFolder;
  renderStateFolder = dir.Path() + "\\";
  RenderStateManager m;
  RenderStateSet* r = m.Acquire("auto_Mesh0_Subset1");
  ASSERT_NE(r, m.GetDefault());
  EXPECT_EQ(r->name, "AUTO_MESH0_SUBSET1");
  EXPECT_EQ(r->refCount, 1);
  const RenderStateSet fresh;
  for (int i = 0; i < RenderStateSet::kEntryCount; ++i)
    ASSERT_EQ((*r)[i].value, fresh[i].value) << i;
  // The same kind of name without the prefix needs its file.
  EXPECT_EQ(m.Acquire("Mesh0_Subset1"), m.GetDefault());
  renderStateFolder = saved;
}

class TextureManagerTest : public HeadlessDeviceTest {
 protected:
  void SetUp() override {
    HeadlessDeviceTest::SetUp();
    saved_ = textureFolder;
    textureFolder = dir_.Path() + "\\";
  }
  void TearDown() override {
    textureFolder = saved_;
    HeadlessDeviceTest::TearDown();
  }
  TempDir dir_;
  std::string saved_;
};

TEST_F(TextureManagerTest, LoadsFilesWhateverTheirLetterCase) {
  std::vector<std::uint32_t> pixels(6 * 5, 0xFF336699u);
  ASSERT_TRUE(WriteBytes(dir_.Path() + "/Gui.png", EncodePng(6, 5, pixels, false)));
  TextureManager m;
  Texture* t = m.Acquire("GUI.png");
  ASSERT_NE(t, m.GetDefault());
  ASSERT_NE(t->texture, nullptr);
  EXPECT_EQ(t->description.Width, 8u);
  EXPECT_EQ(t->description.Height, 8u);
  EXPECT_EQ(t->texture->GetLevelCount(), 4u);  // full chain 8, 4, 2, 1
  EXPECT_EQ(m.Acquire("gui.PNG"), t);
  EXPECT_EQ(t->refCount, 2);
}

TEST_F(TextureManagerTest, MissingOrBrokenFileGivesTheEmptyDefault) {
  ASSERT_TRUE(WriteBytes(dir_.Path() + "/broken.png", "\x89PNG\r\n\x1a\n garbage"));
  TextureManager m;
  Texture* missing = m.Acquire("nothing.png");
  Texture* broken = m.Acquire("broken.png");
  EXPECT_EQ(missing, m.GetDefault());
  EXPECT_EQ(broken, m.GetDefault());
  EXPECT_EQ(m.GetDefault()->texture, nullptr);
  EXPECT_EQ(m.EntryCount(), 1u);
}

TEST_F(TextureManagerTest, DestroyingAnEntryReleasesItsDeviceTexture) {
  std::vector<std::uint32_t> pixels(4 * 4, 0xFF000000u);
  ASSERT_TRUE(WriteBytes(dir_.Path() + "/t.png", EncodePng(4, 4, pixels, false)));
  TextureManager m;
  Texture* t = m.Acquire("t.png");
  ASSERT_NE(t->texture, nullptr);
  t->texture->AddRef();
  IDirect3DTexture9* device = t->texture;
  m.Release("t.png");
  m.Release("t.png");
  EXPECT_EQ(m.Find("t.png"), nullptr);
  EXPECT_EQ(device->Release(), 0u);  // ours was the last reference
}

// One file named two ways (with and without the folder, as the game's screens and its
// score display do) gives two entries that share one device texture; each entry holds
// its own reference, so destroying one leaves the other drawable.
TEST_F(TextureManagerTest, OneFileUnderTwoNamesSharesItsDeviceTexture) {
  std::vector<std::uint32_t> pixels(4 * 4, 0xFF112233u);
  ASSERT_TRUE(WriteBytes(dir_.Path() + "/atlas.png", EncodePng(4, 4, pixels, false)));
  ASSERT_TRUE(WriteBytes(dir_.Path() + "/other.png", EncodePng(4, 4, pixels, false)));
  TextureManager m;
  Texture* plain = m.Acquire("atlas.png");
  Texture* withFolder = m.Acquire("Somewhere\\ATLAS.PNG");  // the same file name part
  Texture* other = m.Acquire("other.png");
  ASSERT_NE(plain, withFolder);
  ASSERT_NE(plain->texture, nullptr);
  EXPECT_EQ(plain->texture, withFolder->texture);
  EXPECT_EQ(withFolder->description.Width, plain->description.Width);
  EXPECT_NE(other->texture, plain->texture);  // same pixels, another file
  EXPECT_EQ(m.EntryCount(), 4u);             // with the default

  IDirect3DTexture9* shared = plain->texture;
  shared->AddRef();
  m.Release("atlas.png");
  m.Release("atlas.png");
  EXPECT_EQ(m.Find("atlas.png"), nullptr);
  EXPECT_EQ(withFolder->texture, shared);
  m.Release("Somewhere\\ATLAS.PNG");
  m.Release("Somewhere\\ATLAS.PNG");
  EXPECT_EQ(shared->Release(), 0u);  // each entry released its own reference
}

TEST_F(TextureManagerTest, FontManagerRegistersEachFontOnce) {
  FontManager m;
  Font* f = m.Acquire("System Font");
  ASSERT_NE(f, m.GetDefault());
  EXPECT_EQ(f->name, "SYSTEM FONT");
  EXPECT_EQ(f->refCount, 1);
  EXPECT_EQ(f->font, nullptr);  // empty until Create
  EXPECT_EQ(m.Acquire("system font"), f);
  const auto& objects = g_graphicsDevice->deviceObjects;
  EXPECT_EQ(std::count(objects.begin(), objects.end(), f), 1);
  // The default font is not in the list.
  EXPECT_EQ(std::count(objects.begin(), objects.end(), m.GetDefault()), 0);
  // With a device, the default font was created at construction.
  ASSERT_NE(m.GetDefault()->font, nullptr);
  EXPECT_EQ(m.GetDefault()->colour, 0xFFFFFFFFu);
  D3DXFONT_DESCA desc{};
  ASSERT_EQ(m.GetDefault()->font->GetDescA(&desc), D3D_OK);
  EXPECT_STREQ(desc.FaceName, "Verdana");
  EXPECT_EQ(desc.Height, -12);
  EXPECT_EQ(desc.Weight, 0u);
}

TEST(FontManagerWithoutDeviceTest, DefaultFontStaysEmpty) {
  ASSERT_EQ(g_graphicsDevice, nullptr);
  FontManager m;
  EXPECT_EQ(m.GetDefault()->font, nullptr);
  EXPECT_FALSE(m.GetDefault()->DrawText("x"));
  // Load never fails, even without a device to register with.
  Font* f = m.Acquire("Other");
  EXPECT_NE(f, m.GetDefault());
}

}  // namespace

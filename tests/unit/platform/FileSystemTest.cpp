// Windows-style paths on a case-sensitive file system: folders and file names are found
// whatever their letter case, UTF-8 bytes must match, and writing creates missing files.
#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>

#include "platform/FileSystem.h"

namespace {

namespace fs = std::filesystem;

class FileSystemTest : public ::testing::Test {
 protected:
  void SetUp() override {
    root_ = fs::temp_directory_path() /
            ("fs_" + std::string(::testing::UnitTest::GetInstance()->current_test_info()->name()));
    fs::remove_all(root_);
    fs::create_directories(root_ / "Data" / "Sub");
    previous_ = fs::current_path();
    fs::current_path(root_);
    Touch("Data/GUI.png", "png");
    Touch("Data/Sub/Regalo0.X", "x");
    Touch("Data/Muñeco.png", "utf8");
  }
  void TearDown() override {
    fs::current_path(previous_);
    fs::remove_all(root_);
  }
  static void Touch(const std::string& path, const std::string& text) {
    std::ofstream(path, std::ios::binary) << text;
  }

  fs::path root_, previous_;
};

TEST_F(FileSystemTest, FindsFilesAndFoldersWhateverTheirCase) {
  EXPECT_EQ(platform::ResolvePath(".\\Data\\Gui.png"), "./Data/GUI.png");
  EXPECT_EQ(platform::ResolvePath(".\\DATA\\gui.PNG"), "./Data/GUI.png");
  EXPECT_EQ(platform::ResolvePath(".\\data\\SUB\\REGALO0.x"), "./Data/Sub/Regalo0.X");
  EXPECT_TRUE(fs::equivalent(platform::ResolvePath("Data/Sub/regalo0.x"), "Data/Sub/Regalo0.X"));
  std::string bytes;
  ASSERT_TRUE(platform::ReadWholeFile(".\\DATA\\gui.png", &bytes));
  EXPECT_EQ(bytes, "png");
}

TEST_F(FileSystemTest, MissingFilesAndFoldersResolveToNothing) {
  EXPECT_EQ(platform::ResolvePath(".\\Data\\Nothing.png"), "");
  EXPECT_EQ(platform::ResolvePath(".\\Nowhere\\GUI.png"), "");
  EXPECT_EQ(platform::ResolvePath(".\\Data\\"), "");
  EXPECT_EQ(platform::ResolvePath(".\\data\\sub"), "");  // a folder is not a file
  EXPECT_EQ(platform::ResolvePath(""), "");
  EXPECT_EQ(platform::OpenFile(".\\Data\\Nothing.png", "rb"), nullptr);
}

TEST_F(FileSystemTest, NonAsciiBytesMustMatchExactly) {
  EXPECT_EQ(platform::ResolvePath(".\\data\\MUÑECO.PNG"), "");  // Ñ is not ñ's upper case here
  EXPECT_EQ(platform::ResolvePath(".\\data\\muñeco.PNG"), "./Data/Muñeco.png");
}

TEST_F(FileSystemTest, WritingCreatesTheFileInTheExistingFolder) {
  std::FILE* f = platform::OpenFile(".\\data\\Idioma", "wb");
  ASSERT_NE(f, nullptr);
  std::fputs("x", f);
  std::fclose(f);
  EXPECT_TRUE(fs::exists(root_ / "Data" / "Idioma"));
  // Rewriting an existing file finds it in any case rather than making a second one.
  f = platform::OpenFile(".\\DATA\\IDIOMA", "wb");
  ASSERT_NE(f, nullptr);
  std::fclose(f);
  EXPECT_FALSE(fs::exists(root_ / "Data" / "IDIOMA"));
  EXPECT_EQ(platform::OpenFile(".\\Missing\\Idioma", "wb"), nullptr);
}

TEST_F(FileSystemTest, OversizedFilesAreNotRead) {
  Touch("Data/big.bin", std::string(1000, 'a'));
  std::string bytes = "old";
  EXPECT_FALSE(platform::ReadWholeFile(".\\Data\\big.bin", &bytes, 999));
  EXPECT_TRUE(bytes.empty());
  EXPECT_TRUE(platform::ReadWholeFile(".\\Data\\big.bin", &bytes, 1000));
  EXPECT_EQ(bytes.size(), 1000u);
}

}  // namespace

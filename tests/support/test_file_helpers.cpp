// Whole-file writes, sizes, free space and the wiping delete.
#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdint>
#include <filesystem>
#include <fstream>
#include <limits>
#include <optional>
#include <sstream>
#include <vector>

#include "support/file_helpers.h"

namespace fs = std::filesystem;

class FileHelpersTest : public ::testing::Test {
 protected:
  void SetUp() override {
    dir_ = fs::temp_directory_path() /
           ("zv_files_" + std::to_string(::getpid()) + "_" +
            ::testing::UnitTest::GetInstance()->current_test_info()->name());
    fs::create_directories(dir_);
  }
  void TearDown() override { fs::remove_all(dir_); }
  std::string Path(const char* name) const { return (dir_ / name).string(); }
  static std::string Read(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
  }

  fs::path dir_;
};

TEST_F(FileHelpersTest, WriteFileBytesCreatesTruncatesAndReportsFailure) {
  const std::string path = Path("a.bin");
  const char longer[] = "0123456789";
  ASSERT_TRUE(WriteFileBytes(longer, 10, path));
  EXPECT_EQ(GetFileSizeBytes(path), 10);
  ASSERT_TRUE(WriteFileBytes("ab", 2, path));  // an old, longer file is cut to the new bytes
  EXPECT_EQ(Read(path), "ab");

  // An empty buffer or length leaves an empty file and counts as done.
  EXPECT_TRUE(WriteFileBytes(nullptr, 5, path));
  EXPECT_EQ(GetFileSizeBytes(path), 0);
  EXPECT_TRUE(WriteFileBytes("x", 0, Path("b.bin")));
  EXPECT_EQ(GetFileSizeBytes(Path("b.bin")), 0);

  EXPECT_FALSE(WriteFileBytes("x", 1, Path("missing/c.bin")));
  EXPECT_FALSE(WriteFileBytes("x", 1, dir_.string()));  // a folder is not a file
}

TEST_F(FileHelpersTest, SaveBufferToFileReplacesAndWritesNothingWhenItCannot) {
  const std::string path = Path("s.bin");
  const unsigned char bytes[] = {0x00, 0xFF, 0x7F};
  SaveBufferToFile(path, bytes, sizeof bytes);
  EXPECT_EQ(Read(path), std::string("\x00\xFF\x7F", 3));
  EXPECT_FALSE(SaveBufferToFile(Path("none/s.bin"), bytes, sizeof bytes));
  EXPECT_FALSE(fs::exists(Path("none")));
}

TEST_F(FileHelpersTest, FileSizeOfMissingOrFolderIsMinusOne) {
  EXPECT_EQ(GetFileSizeBytes(Path("nothing")), -1);
  EXPECT_EQ(GetFileSizeBytes(dir_.string()), -1);
}

TEST(FreeSpaceTest, TheProductMustStayStrictlyBelowTheFreeBytes) {
  constexpr std::uint64_t kMax = std::numeric_limits<std::uint64_t>::max();
  struct Case {
    std::uint64_t free, size;
    std::uint8_t count;
    bool fits;
  };
  const Case cases[] = {
      {1000, 999, 1, true},
      {1000, 1000, 1, false},
      {1000, 333, 3, true},
      {1000, 334, 3, false},
      {1000, 0, 8, true},
      {0, 0, 1, false},
      {1000, 5000, 0, true},
      {kMax, kMax / 2, 2, true},
      {kMax, kMax / 2 + 1, 2, false},  // beyond 64 bits never fits
      {kMax, kMax, 255, false},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(FitsInFreeSpace(c.free, c.size, c.count), c.fits)
        << c.free << " " << c.size << " x " << int{c.count};
  }
}

TEST_F(FileHelpersTest, FreeSpaceOfAPathAsksTheFileSystem) {
  // Other processes change the free space at any time: only bounds that cannot move.
  EXPECT_LE(GetDiskFreeBytes(dir_.string()), fs::space(dir_).capacity);
  EXPECT_EQ(GetDiskFreeBytes(Path("no/such/folder")), 0u);
  EXPECT_FALSE(HasFreeSpace(Path("no/such/folder"), 0, 1));
  EXPECT_FALSE(HasFreeSpace(dir_.string(), std::numeric_limits<std::uint64_t>::max() / 2 + 1, 2));
}

TEST_F(FileHelpersTest, CharTextIsOneCharacter) {
  EXPECT_EQ(CharText('A'), "A");
  EXPECT_EQ(CharText(0), std::string(1, '\0'));
  EXPECT_EQ(CharText(0xFF).size(), 1u);
}

TEST_F(FileHelpersTest, WipeAndDeleteRemovesFilesAndLinksNeverTheirTargets) {
  EXPECT_TRUE(WipeAndDeleteFile(Path("missing")));

  const std::string file = Path("t.bin");
  ASSERT_TRUE(WriteFileBytes("secret", 6, file));
  EXPECT_TRUE(WipeAndDeleteFile(file));
  EXPECT_FALSE(fs::exists(file));

  // A link planted under a temporary name goes; the file it points to keeps its bytes.
  const std::string target = Path("keep.bin");
  ASSERT_TRUE(WriteFileBytes("keep", 4, target));
  fs::create_symlink(target, Path("link.bin"));
  EXPECT_TRUE(WipeAndDeleteFile(Path("link.bin")));
  EXPECT_FALSE(fs::is_symlink(Path("link.bin")));
  EXPECT_EQ(Read(target), "keep");

  // A folder under the name cannot be deleted as a file.
  fs::create_directory(Path("folder"));
  EXPECT_FALSE(WipeAndDeleteFile(Path("folder")));
}

TEST_F(FileHelpersTest, ReadFileHeadFillsUpToTheBufferAndLeavesTheRest) {
  ASSERT_TRUE(WriteFileBytes("abcdef", 6, Path("six.bin")));
  ASSERT_TRUE(WriteFileBytes(nullptr, 0, Path("empty.bin")));
  struct Case {
    std::string path;
    std::size_t buffer;
    std::optional<std::size_t> read;
    std::string bytes;  // the buffer afterwards, preset with '.'
  };
  const Case cases[] = {
      {Path("six.bin"), 4, 4, "abcd"},      // a longer file is cut at the buffer
      {Path("six.bin"), 8, 6, "abcdef.."},  // a shorter one leaves the preset
      {Path("empty.bin"), 3, 0, "..."},        {Path("none.bin"), 3, std::nullopt, "..."},
      {dir_.string(), 3, std::nullopt, "..."},  // a folder is no file
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.path + " " + std::to_string(c.buffer));
    std::vector<std::uint8_t> buffer(c.buffer, '.');
    EXPECT_EQ(ReadFileHead(c.path, buffer), c.read);
    EXPECT_EQ(std::string(buffer.begin(), buffer.end()), c.bytes);
  }
}

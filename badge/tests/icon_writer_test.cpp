// The icon file: its bytes, and what a failed write leaves behind (nothing, and the old file
// whole), on the real file system with failures injected part-way.

#include "badge/icon_writer.h"

#include <gtest/gtest.h>

#include <limits>
#include <memory>
#include <utility>

#include "badge/badge.h"
#include "badge/tests/badge_test_support.h"
#include "overlay/tests/allocation_failure.h"

namespace tarnwick {
namespace {

using testing::Bytes;
using testing::FolderContents;
using testing::ReadBytes;
using testing::ScratchFolder;
using testing::WidePath;
using testing::WriteBytes;
namespace fs = std::filesystem;

std::uint32_t Get16(const Bytes& bytes, std::size_t at) { return bytes[at] | (bytes[at + 1] << 8); }
std::uint32_t Get32(const Bytes& bytes, std::size_t at) {
  return Get16(bytes, at) | (Get16(bytes, at + 2) << 16);
}

// The real file system, with a write budget after which writes fail (the bytes within budget
// reach the file, as on a disk that fills up), and a close or a replacement that can fail.
class FailingFileSystem final : public IconFileSystem {
 public:
  std::size_t writeBudget = std::numeric_limits<std::size_t>::max();
  bool failClose = false;
  bool failReplace = false;
  int created = 0;

  std::unique_ptr<FileSink> CreateNew(const WideChar* path) override {
    auto real = SystemIconFileSystem().CreateNew(path);
    if (!real) return nullptr;
    ++created;
    return std::make_unique<Sink>(std::move(real), *this);
  }
  bool Replace(const WideChar* from, const WideChar* to) noexcept override {
    return !failReplace && SystemIconFileSystem().Replace(from, to);
  }
  void Remove(const WideChar* path) noexcept override { SystemIconFileSystem().Remove(path); }
  std::uint32_t ProcessId() noexcept override { return SystemIconFileSystem().ProcessId(); }

 private:
  class Sink final : public FileSink {
   public:
    Sink(std::unique_ptr<FileSink> real, FailingFileSystem& owner)
        : real_(std::move(real)), owner_(owner) {}
    bool Write(const std::uint8_t* data, std::size_t size) override {
      const std::size_t allowed = std::min(size, owner_.writeBudget);
      owner_.writeBudget -= allowed;
      if (allowed > 0 && !real_->Write(data, allowed)) return false;
      return allowed == size;
    }
    bool Close() override { return real_->Close() && !owner_.failClose; }

   private:
    std::unique_ptr<FileSink> real_;
    FailingFileSystem& owner_;
  };
};

Bytes ExpectedFile(COLORREF color, bool outline, std::span<const int> sizes) {
  Bytes file = BadgeIconDirectory(sizes);
  for (int size : sizes) {
    const Bytes image = BadgeIconImage(size, color, outline);
    file.insert(file.end(), image.begin(), image.end());
  }
  return file;
}

TEST(BadgeIconDirectory, EntriesCarrySizesByteCountsAndRunningOffsets) {
  struct Entry {
    int size;
    std::uint32_t bytes;
    std::uint32_t offset;
  };
  // The six sizes of every badge icon: 36,230 bytes in all.
  const Entry entries[] = {{16, 1128, 102},  {20, 1720, 1230}, {24, 2440, 2950},
                           {32, 4264, 5390}, {48, 9640, 9654}, {64, 16936, 19294}};
  const Bytes directory = BadgeIconDirectory(BadgeIconSizes);
  ASSERT_EQ(directory.size(), 6u + 16u * 6u);
  EXPECT_EQ(Get16(directory, 0), 0u);
  EXPECT_EQ(Get16(directory, 2), 1u);
  EXPECT_EQ(Get16(directory, 4), 6u);
  for (std::size_t i = 0; i < 6; ++i) {
    const std::size_t at = 6 + 16 * i;
    const Entry& expected = entries[i];
    EXPECT_EQ(directory[at], expected.size);
    EXPECT_EQ(directory[at + 1], expected.size);
    EXPECT_EQ(directory[at + 2], 0);  // colour count
    EXPECT_EQ(directory[at + 3], 0);
    EXPECT_EQ(Get16(directory, at + 4), 1u);   // planes
    EXPECT_EQ(Get16(directory, at + 6), 32u);  // bits per pixel
    EXPECT_EQ(Get32(directory, at + 8), expected.bytes);
    EXPECT_EQ(Get32(directory, at + 12), expected.offset);
  }
  EXPECT_EQ(entries[5].offset + entries[5].bytes, 36230u);

  EXPECT_EQ(BadgeIconDirectory({}), (Bytes{0, 0, 1, 0, 0, 0}));
  const int single[] = {16};
  EXPECT_EQ(BadgeIconDirectory(single),
            (Bytes{0, 0, 1, 0, 1, 0, 16, 16, 0, 0, 1, 0, 32, 0, 0x68, 0x04, 0, 0, 22, 0, 0, 0}));
  // 256 does not fit the width byte: it is written as 0.
  const int large[] = {256, 1};
  const Bytes withLarge = BadgeIconDirectory(large);
  EXPECT_EQ(withLarge[6], 0);
  EXPECT_EQ(withLarge[7], 0);
  EXPECT_EQ(Get32(withLarge, 14), 270376u);
  EXPECT_EQ(Get32(withLarge, 16 + 6 + 12), 38u + 270376u);
}

TEST(BadgeIconDirectory, RefusesSizesOutsideOneTo256) {
  for (int bad : {0, -1, 257, std::numeric_limits<int>::min()}) {
    const int sizes[] = {16, bad, 32};
    EXPECT_TRUE(BadgeIconDirectory(sizes).empty()) << bad;
    EXPECT_TRUE(BadgeIconImage(bad, DefaultBadgeColor, true).empty()) << bad;
  }
}

TEST(BadgeIconImage, HeaderPixelsAndAZeroMaskPaddedToWholeWords) {
  struct Case {
    int size;
    std::uint32_t maskRowBytes;
  };
  for (const Case& c : {Case{1, 4}, Case{16, 4}, Case{32, 4}, Case{33, 8}, Case{64, 8},
                        Case{65, 12}, Case{256, 32}}) {
    const auto p = static_cast<std::uint32_t>(c.size);
    const Bytes image = BadgeIconImage(c.size, 0x80123456, true);
    ASSERT_EQ(image.size(), 40 + 4 * p * p + c.maskRowBytes * p) << c.size;
    EXPECT_EQ(BadgeIconImageBytes(c.size), image.size());
    const std::uint32_t header[] = {40, p, 2 * p, 1 | (32 << 16), 0, 4 * p * p, 0, 0, 0, 0};
    for (std::size_t field = 0; field < 10; ++field) {
      EXPECT_EQ(Get32(image, 4 * field), header[field]) << c.size << " field " << field;
    }
    const BadgePixels pixels = RenderBadge(c.size, 0x80123456, true);
    for (std::size_t i = 0; i < pixels.size(); ++i) {
      ASSERT_EQ(Get32(image, 40 + 4 * i), pixels[i]) << c.size << " pixel " << i;
    }
    for (std::size_t at = 40 + 4 * p * p; at < image.size(); ++at) ASSERT_EQ(image[at], 0);
  }
}

TEST(WriteBadgeIcon, WritesTheDefaultIconWholeAndTheSameEveryTime) {
  ScratchFolder folder;
  const auto first = folder.path() / "badge.ico";
  const auto second = folder.path() / "again.ico";
  ASSERT_TRUE(WriteBadgeIcon(WidePath(first).c_str(), DefaultBadgeColor, true, BadgeIconSizes));
  ASSERT_TRUE(WriteBadgeIcon(WidePath(second).c_str(), DefaultBadgeColor, true, BadgeIconSizes));
  const Bytes written = ReadBytes(first);
  EXPECT_EQ(written.size(), 36230u);
  EXPECT_EQ(written, ExpectedFile(DefaultBadgeColor, true, BadgeIconSizes));
  EXPECT_EQ(ReadBytes(second), written);
  EXPECT_EQ(FolderContents(folder.path()), (std::vector<std::string>{"again.ico", "badge.ico"}));
}

TEST(WriteBadgeIcon, ReplacesALongerFileWhole) {
  ScratchFolder folder;
  const auto path = folder.path() / "badge.ico";
  WriteBytes(path, Bytes(50000, 0xEE));
  const int sizes[] = {16};
  ASSERT_TRUE(WriteBadgeIcon(WidePath(path).c_str(), 0x000000FF, false, sizes));
  EXPECT_EQ(ReadBytes(path), ExpectedFile(0x000000FF, false, sizes));
  EXPECT_EQ(ReadBytes(path).size(), 1150u);

  ASSERT_TRUE(WriteBadgeIcon(WidePath(path).c_str(), 0x000000FF, false, {}));
  EXPECT_EQ(ReadBytes(path), (Bytes{0, 0, 1, 0, 0, 0}));
  EXPECT_EQ(FolderContents(folder.path()), std::vector<std::string>{"badge.ico"});
}

// A write that fails at any point (disk full mid-image, at the last byte, on close, at the final
// rename) reports false, keeps the previous file byte for byte and leaves no temporary file.
TEST(WriteBadgeIcon, FailureAnywhereKeepsThePreviousFileAndLeavesNothingBehind) {
  struct Case {
    const char* what;
    std::size_t writeBudget;
    bool failClose;
    bool failReplace;
  };
  const std::size_t none = std::numeric_limits<std::size_t>::max();
  const Case cases[] = {
      {"first byte", 0, false, false},
      {"inside the header", 3, false, false},
      {"inside the entries", 50, false, false},
      {"inside an image", 20000, false, false},
      {"last byte", 36229, false, false},
      {"close", none, true, false},
      {"rename", none, false, true},
  };
  const Bytes previous(777, 0x42);
  for (const Case& c : cases) {
    ScratchFolder folder;
    const auto path = folder.path() / "badge.ico";
    WriteBytes(path, previous);
    FailingFileSystem fileSystem;
    fileSystem.writeBudget = c.writeBudget;
    fileSystem.failClose = c.failClose;
    fileSystem.failReplace = c.failReplace;
    EXPECT_FALSE(
        WriteBadgeIcon(WidePath(path).c_str(), DefaultBadgeColor, true, BadgeIconSizes, fileSystem))
        << c.what;
    EXPECT_EQ(fileSystem.created, 1) << c.what;
    EXPECT_EQ(ReadBytes(path), previous) << c.what;
    EXPECT_EQ(FolderContents(folder.path()), std::vector<std::string>{"badge.ico"}) << c.what;
  }
}

TEST(WriteBadgeIcon, RunningOutOfMemoryAnywhereKeepsThePreviousFile) {
  ScratchFolder folder;
  const auto path = folder.path() / "badge.ico";
  const Bytes previous(10, 0x42);
  WriteBytes(path, previous);
  const WideString widePath = WidePath(path);
  bool succeeded = false;
  for (int successes = 0; !succeeded; ++successes) {
    ASSERT_LT(successes, 100) << "the write never completed";
    testing::ScopedAllocationFailure failure(successes);
    succeeded = WriteBadgeIcon(widePath.c_str(), DefaultBadgeColor, true, BadgeIconSizes);
    if (!succeeded) {
      ASSERT_TRUE(failure.Triggered());
      EXPECT_EQ(ReadBytes(path), previous) << successes;
      EXPECT_EQ(FolderContents(folder.path()), std::vector<std::string>{"badge.ico"}) << successes;
    }
  }
  EXPECT_EQ(ReadBytes(path), ExpectedFile(DefaultBadgeColor, true, BadgeIconSizes));
}

// Windows refuses plain paths of MAX_PATH (260) units or more, and the temporary name beside the
// target is longer than the target; a target of 250 units must still be written.
TEST(WriteBadgeIcon, WritesTargetsCloseToTheWindowsPathLimit) {
  ScratchFolder folder;
  const std::size_t scratchLength = WidePath(folder.path()).size();
  ASSERT_LT(scratchLength, 200u);
  const fs::path deep = folder.path() / std::string(250 - scratchLength - 11, 'd');
  fs::create_directories(deep);
  const auto path = deep / "badge.ico";
  ASSERT_EQ(WidePath(path).size(), 250u);
  const int sizes[] = {16};
  ASSERT_TRUE(WriteBadgeIcon(WidePath(path).c_str(), DefaultBadgeColor, true, sizes));
  EXPECT_EQ(ReadBytes(path), ExpectedFile(DefaultBadgeColor, true, sizes));
  EXPECT_EQ(FolderContents(deep), std::vector<std::string>{"badge.ico"});
}

TEST(WriteBadgeIcon, RefusesBadSizesMissingFoldersAndFolderTargetsWithoutTouchingAnything) {
  ScratchFolder folder;
  const auto existing = folder.path() / "badge.ico";
  const Bytes previous(5, 0x42);
  WriteBytes(existing, previous);
  fs::create_directories(folder.path() / "a-folder");

  const int badSizes[] = {16, 0};
  const int tooLarge[] = {257};
  EXPECT_FALSE(WriteBadgeIcon(WidePath(existing).c_str(), DefaultBadgeColor, true, badSizes));
  EXPECT_FALSE(WriteBadgeIcon(WidePath(existing).c_str(), DefaultBadgeColor, true, tooLarge));
  EXPECT_FALSE(WriteBadgeIcon(WidePath(folder.path() / "new.ico").c_str(), DefaultBadgeColor, true,
                              badSizes));
  EXPECT_FALSE(WriteBadgeIcon(WidePath(folder.path() / "missing" / "badge.ico").c_str(),
                              DefaultBadgeColor, true, BadgeIconSizes));
  EXPECT_FALSE(WriteBadgeIcon(WidePath(folder.path() / "a-folder").c_str(), DefaultBadgeColor, true,
                              BadgeIconSizes));
  EXPECT_FALSE(WriteBadgeIcon(WIDE(""), DefaultBadgeColor, true, BadgeIconSizes));
  EXPECT_FALSE(WriteBadgeIcon(nullptr, DefaultBadgeColor, true, BadgeIconSizes));

  EXPECT_EQ(ReadBytes(existing), previous);
  EXPECT_EQ(FolderContents(folder.path()), (std::vector<std::string>{"a-folder", "badge.ico"}));
  EXPECT_TRUE(fs::is_empty(folder.path() / "a-folder"));
}

}  // namespace
}  // namespace tarnwick

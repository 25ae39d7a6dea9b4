#include "badge/icon_writer.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <limits>
#include <random>
#include <set>
#include <string>
#include <utility>

#include "badge/badge.h"
#include "overlay/tests/allocation_failure.h"

namespace tarnwick {
namespace {

namespace fs = std::filesystem;
using Bytes = std::vector<std::uint8_t>;
using Names = std::set<std::string>;

std::uint32_t Get32(const Bytes& bytes, std::size_t at) {
  return bytes[at] | bytes[at + 1] << 8 | bytes[at + 2] << 16 | std::uint32_t{bytes[at + 3]} << 24;
}

WideString Wide(const fs::path& path) {
  const std::u16string units = path.u16string();
  return WideString(units.begin(), units.end());
}

Bytes ReadBytes(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  return Bytes(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

Names FolderContents(const fs::path& folder) {
  Names names;
  for (const auto& e : fs::directory_iterator(folder)) names.insert(e.path().filename().string());
  return names;
}

bool Write(const fs::path& path, std::span<const int> sizes) {
  return WriteBadgeIcon(Wide(path).c_str(), DefaultBadgeColor, true, sizes);
}

// Writes stop after `budget` bytes (those within it reach the file, as on a disk that fills up);
// the close or the replacement can fail.
struct Faults {
  std::size_t budget = std::numeric_limits<std::size_t>::max();
  bool close = false, replace = false;
};

struct FailingFileSystem final : IconFileSystem {
  struct Sink final : FileSink {
    Sink(std::unique_ptr<FileSink> real, Faults& faults) : file(std::move(real)), faults(faults) {}
    bool Write(const std::uint8_t* data, std::size_t size) override {
      const std::size_t allowed = std::min(size, faults.budget);
      faults.budget -= allowed;
      return (allowed == 0 || file->Write(data, allowed)) && allowed == size;
    }
    bool Close() override { return file->Close() && !faults.close; }
    std::unique_ptr<FileSink> file;
    Faults& faults;
  };

  std::unique_ptr<FileSink> CreateNew(const WideChar* path) override {
    auto file = real.CreateNew(path);
    created += file != nullptr;
    return file ? std::make_unique<Sink>(std::move(file), faults) : nullptr;
  }
  bool Replace(const WideChar* from, const WideChar* to) noexcept override {
    return !faults.replace && real.Replace(from, to);
  }
  void Remove(const WideChar* path) noexcept override { real.Remove(path); }
  std::uint32_t ProcessId() noexcept override { return real.ProcessId(); }

  Faults faults;
  int created = 0;
  IconFileSystem& real = SystemIconFileSystem();
};

TEST(BadgeIconFile, DirectoryAndImagesForSizesFromOneTo256Only) {
  EXPECT_EQ(BadgeIconDirectory({}), (Bytes{0, 0, 1, 0, 0, 0}));
  // One 16-pixel image: no palette, one plane, 32 bits, 1,128 bytes at offset 22.
  const int single[] = {16};
  EXPECT_EQ(BadgeIconDirectory(single),
            (Bytes{0, 0, 1, 0, 1, 0, 16, 16, 0, 0, 1, 0, 32, 0, 0x68, 0x04, 0, 0, 22, 0, 0, 0}));
  // 256 does not fit the width and height bytes: it is written as 0. The next image follows it.
  const int large[] = {256, 1};
  const Bytes withLarge = BadgeIconDirectory(large);
  EXPECT_EQ(Get32(withLarge, 6) & 0xFFFF, 0u);
  EXPECT_EQ(Get32(withLarge, 14), 270376u);
  EXPECT_EQ(Get32(withLarge, 6 + 16 + 12), 6 + 32 + 270376u);

  // Each image: the header and a zero mask, its rows padded to whole 32-bit words.
  const std::uint32_t cases[][2] = {{1, 4}, {32, 4}, {33, 8}, {65, 12}, {256, 32}};
  for (const auto& [p, maskRowBytes] : cases) {
    const Bytes image = BadgeIconImage(static_cast<int>(p), 0x80123456, true);
    ASSERT_EQ(image.size(), 40 + 4 * p * p + maskRowBytes * p) << p;
    const std::uint32_t header[] = {40, p, 2 * p, 1 | (32 << 16), 0, 4 * p * p, 0, 0, 0, 0};
    for (std::size_t i = 0; i < 10; ++i) EXPECT_EQ(Get32(image, 4 * i), header[i]) << p << " " << i;
    EXPECT_TRUE(std::all_of(image.begin() + 40 + 4 * p * p, image.end(), [](int b) { return !b; }));
  }
  for (int bad : {0, -1, 257, std::numeric_limits<int>::min()}) {
    const int sizes[] = {16, bad, 32};
    EXPECT_TRUE(BadgeIconDirectory(sizes).empty()) << bad;
    EXPECT_TRUE(BadgeIconImage(bad, DefaultBadgeColor, true).empty()) << bad;
  }
}

// Every write test has a folder of its own holding the previous badge.ico, longer than any file
// written here. The target is 250 units long, so the temporary name beside it passes the 260
// units Windows allows plain paths; that must not stop the write.
class WriteBadgeIconTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_EQ(Wide(target_).size(), 250u);
    fs::create_directories(folder_);
    std::ofstream(target_, std::ios::binary) << std::string(previous_.begin(), previous_.end());
  }
  void TearDown() override { fs::remove_all(top_); }
  void ExpectPreviousFileAlone(const std::string& when) {
    EXPECT_EQ(ReadBytes(target_), previous_) << when;
    EXPECT_EQ(FolderContents(folder_), Names{"badge.ico"}) << when;
  }

  const fs::path top_ =
      fs::temp_directory_path() / ("tarnwick-badge-test-" + std::to_string(std::random_device()()));
  const fs::path folder_ = top_ / std::string(239 - Wide(top_).size(), 'd');
  const fs::path target_ = folder_ / "badge.ico";
  const Bytes previous_ = Bytes(50000, 0xEE);
};

// A write that fails at any point (disk full at the first byte, inside the entries, inside an image
// or at the last byte; on close; at the final rename) reports false, keeps the previous file and
// leaves no temporary one.
TEST_F(WriteBadgeIconTest, FailureAnywhereKeepsThePreviousFileAndLeavesNothingBehind) {
  const Faults cases[] = {{.budget = 0},     {.budget = 50},  {.budget = 20000},
                          {.budget = 36229}, {.close = true}, {.replace = true}};
  for (std::size_t i = 0; i < std::size(cases); ++i) {
    FailingFileSystem fileSystem;
    fileSystem.faults = cases[i];
    EXPECT_FALSE(
        WriteBadgeIcon(Wide(target_).c_str(), DefaultBadgeColor, true, BadgeIconSizes, fileSystem))
        << i;
    EXPECT_EQ(fileSystem.created, 1) << i;
    ExpectPreviousFileAlone("case " + std::to_string(i));
  }
}

TEST_F(WriteBadgeIconTest, RunningOutOfMemoryAnywhereKeepsThePreviousFile) {
  const WideString path = Wide(target_);
  for (int successes = 0;; ++successes) {
    ASSERT_LT(successes, 100) << "the write never completed";
    testing::ScopedAllocationFailure failure(successes);
    if (WriteBadgeIcon(path.c_str(), DefaultBadgeColor, true, BadgeIconSizes)) break;
    ASSERT_TRUE(failure.Triggered());
    ExpectPreviousFileAlone("after " + std::to_string(successes) + " allocations");
  }
}

// Bad sizes, a missing folder, a folder in the target's place or no path change nothing; a write
// replaces the target whole, with the same bytes every time.
TEST_F(WriteBadgeIconTest, RefusalsTouchNothingAndAWriteReplacesTheTargetWhole) {
  fs::create_directories(folder_ / "f");
  const int zero[] = {16, 0};
  const std::pair<fs::path, std::span<const int>> refused[] = {
      {target_, zero},
      {folder_ / "missing" / "badge.ico", BadgeIconSizes},
      {folder_ / "f", BadgeIconSizes}};
  for (const auto& [path, sizes] : refused) EXPECT_FALSE(Write(path, sizes)) << path;
  EXPECT_FALSE(WriteBadgeIcon(WIDE(""), DefaultBadgeColor, true, BadgeIconSizes));
  EXPECT_FALSE(WriteBadgeIcon(nullptr, DefaultBadgeColor, true, BadgeIconSizes));
  EXPECT_TRUE(fs::is_empty(folder_ / "f"));
  fs::remove(folder_ / "f");
  ExpectPreviousFileAlone("after the refusals");

  const int single[] = {16};
  const std::pair<std::span<const int>, std::size_t> written[] = {
      {BadgeIconSizes, 36230}, {single, 1150}, {{}, 6}};
  for (const auto& [sizes, bytes] : written) {
    ASSERT_TRUE(Write(target_, sizes)) << bytes;
    const Bytes first = ReadBytes(target_);
    EXPECT_EQ(first.size(), bytes);
    ASSERT_TRUE(Write(target_, sizes)) << bytes;
    EXPECT_EQ(ReadBytes(target_), first) << bytes;
    EXPECT_EQ(FolderContents(folder_), Names{"badge.ico"}) << bytes;
  }
}

#if defined(_WIN32)
// Windows refuses plain paths of MAX_PATH units or more, which the temporary name beside a target
// of 230-240 units passes. Wine enforces no such limit, so the long form is checked as text; a
// write through a share of the test prefix (its dosdevices\unc folder) shows Wine takes that form
// too.
TEST(IconFilePath, LongDriveAndSharePathsTakeTheLongFormAndALongShareTargetIsWritten) {
  const std::wstring tail = L"\\" + std::wstring(260, L'x');
  const std::pair<std::wstring, std::wstring> forms[] = {
      {L"C:" + tail, L"\\\\?\\C:" + tail},
      {L"\\\\server\\share" + tail, L"\\\\?\\UNC\\server\\share" + tail},
      {L"\\\\?\\C:" + tail, L"\\\\?\\C:" + tail},
      {L"\\\\.\\pipe" + tail, L"\\\\.\\pipe" + tail},
      {L"\\\\server\\share\\x", L"\\\\server\\share\\x"},
  };
  for (const auto& [path, form] : forms) EXPECT_EQ(WithoutPathLimit(path.c_str()), form);

  const char* prefix = std::getenv("WINEPREFIX");
  if (prefix == nullptr) GTEST_SKIP() << "no Wine prefix to hold the share";
  const std::string name = "tarnwick-" + std::to_string(GetCurrentProcessId());
  fs::create_directories(fs::path(std::string("Z:") + prefix) / "dosdevices/unc/localhost" / name);
  const fs::path share = "\\\\localhost\\" + name;
  const fs::path target = share / std::string(215 - name.size(), 'u') / "badge.ico";
  ASSERT_EQ(Wide(target).size(), 238u);
  fs::create_directory(target.parent_path());
  EXPECT_TRUE(Write(target, BadgeIconSizes));
  EXPECT_EQ(fs::file_size(target), 36230u);
  fs::remove_all(share);
}
#endif

}  // namespace
}  // namespace tarnwick

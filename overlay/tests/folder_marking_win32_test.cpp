// The product's decision on real folders, through KERNEL32, as Explorer would call it.
// Runs under Wine in the test prefix, whose F: is a second fixed drive, R: removable and N: a
// network drive; on Windows the test kit's runner provides what the machine can.

#include "overlay/folder_marking_platform.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <string>
#include <vector>

#include "common/tests/win32_test_support.h"

namespace tarnwick {
namespace {

// The real platform, with every call counted and every pattern kept.
class SpyPlatform final : public FolderMarkingPlatform {
 public:
  DWORD DriveTypeOf(const WideChar* root) override {
    ++driveTypeCalls;
    return real_.DriveTypeOf(root);
  }
  DWORD AttributesOf(const WideChar* path) override {
    ++attributeCalls;
    return real_.AttributesOf(path);
  }
  bool OpenListing(const WideChar* pattern, ListingEntry& first, Listing& listing) override {
    patterns.emplace_back(pattern);
    return real_.OpenListing(pattern, first, listing);
  }
  bool NextListingEntry(Listing listing, ListingEntry& entry) override {
    return real_.NextListingEntry(listing, entry);
  }
  void CloseListing(Listing listing) override { real_.CloseListing(listing); }
  std::uint64_t TickCountMs() override { return real_.TickCountMs(); }
  void UpperCaseInPlace(WideString& text) override { real_.UpperCaseInPlace(text); }

  int driveTypeCalls = 0;
  int attributeCalls = 0;
  std::vector<WideString> patterns;

 private:
  Win32FolderMarkingPlatform real_;
};

class Win32FolderMarkingTest : public ::testing::Test {
 protected:
  WideString Path(const WideString& relative) const { return scratch_ / relative; }
  void MakeFolder(const WideString& relative) {
    ASSERT_TRUE(CreateDirectoryW(Path(relative).c_str(), nullptr)) << GetLastError();
  }
  void MakeFile(const WideString& relative) {
    CloseHandle(CreateFileW(Path(relative).c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                            FILE_ATTRIBUTE_NORMAL, nullptr));
  }
  HRESULT Decide(const WideString& path) { return DecideMembership(path.c_str(), spy_, scan_); }

  testing::ScratchFolder scratch_{L"marking"};
  const WideString& root_ = scratch_.path();
  SpyPlatform spy_;
  DirectScan scan_;
};

TEST_F(Win32FolderMarkingTest, LeafFoldersOnTheFixedDriveGetTheBadge) {
  MakeFolder(L"empty");
  MakeFolder(L"files");
  MakeFile(L"files\\a.txt");
  MakeFile(L"files\\b.dat");
  MakeFolder(L"hidden");
  MakeFolder(L"hidden\\secret");
  ASSERT_TRUE(SetFileAttributesW(Path(L"hidden\\secret").c_str(), FILE_ATTRIBUTE_HIDDEN));
  MakeFolder(L"dotted");
  MakeFolder(L"dotted\\.x");
  MakeFolder(L"hidden-leaf");
  ASSERT_TRUE(SetFileAttributesW(Path(L"hidden-leaf").c_str(), FILE_ATTRIBUTE_HIDDEN));
  MakeFile(L"file.txt");

  EXPECT_EQ(Decide(Path(L"empty")), S_OK);
  EXPECT_EQ(Decide(Path(L"files")), S_OK);
  EXPECT_EQ(Decide(Path(L"hidden")), S_FALSE);
  EXPECT_EQ(Decide(Path(L"hidden\\secret")), S_OK);
  EXPECT_EQ(Decide(Path(L"dotted")), S_FALSE);
  EXPECT_EQ(Decide(Path(L"hidden-leaf")), S_OK);
  EXPECT_EQ(Decide(Path(L"file.txt")), S_FALSE);
  EXPECT_EQ(Decide(Path(L"missing")), S_FALSE);
  EXPECT_EQ(Decide(root_), S_FALSE);
}

// CharUpperW makes one cache key of both drive letters; a trailing '\' is a key of its own, listed
// without a doubled backslash.
TEST_F(Win32FolderMarkingTest, LowerCaseDriveSharesTheCacheEntryAndTrailingBackslashIsNotDoubled) {
  MakeFolder(L"leaf");
  WideString lower = Path(L"leaf");
  lower[0] = static_cast<WideChar>(towlower(lower[0]));
  FolderClassificationCache cache;
  for (const WideString& path : {Path(L"leaf"), lower, Path(L"leaf\\")}) {
    EXPECT_EQ(DecideMembership(path.c_str(), spy_, cache), S_OK);
  }
  EXPECT_EQ(spy_.patterns, (std::vector<WideString>(2, Path(L"leaf\\*"))));
}

TEST_F(Win32FolderMarkingTest, MalformedPathsMakeNoSystemCall) {
  for (const WideChar* path : {static_cast<const WideChar*>(nullptr), L"", L"C",
                               L"\\\\server\\share\\folder", L"\\\\?\\C:\\Windows", L"Windows"}) {
    EXPECT_EQ(DecideMembership(path, spy_, scan_), S_FALSE);
  }
  EXPECT_EQ(spy_.driveTypeCalls, 0);
  EXPECT_EQ(spy_.attributeCalls, 0);
}

// One case per drive the caller provides; a machine without such a drive leaves its variable
// unset and the case is skipped. A second fixed letter (subst) shows that the root is built from
// the path's own letter; removable and network drives are never queried beyond their type.
struct OtherDrive {
  const char* name;
  const char* variable;
  DWORD type;
  HRESULT answer;
  friend void PrintTo(const OtherDrive& drive, std::ostream* out) { *out << drive.variable; }
};

class OtherDriveTest : public ::testing::TestWithParam<OtherDrive> {};

TEST_P(OtherDriveTest, IsDecidedByItsOwnType) {
  const OtherDrive& drive = GetParam();
  const char* letter = std::getenv(drive.variable);
  if (letter == nullptr || letter[0] == 0) GTEST_SKIP() << drive.variable << " is not set";
  const WideString root = {static_cast<WideChar>(letter[0]), L':', L'\\'};
  ASSERT_EQ(GetDriveTypeW(root.c_str()), drive.type) << drive.variable;
  const WideString leaf = root + L"tarnwick-leaf";
  const bool made = CreateDirectoryW(leaf.c_str(), nullptr);
  ASSERT_NE(GetFileAttributesW(leaf.c_str()), INVALID_FILE_ATTRIBUTES);

  SpyPlatform spy;
  DirectScan scan;
  EXPECT_EQ(DecideMembership(leaf.c_str(), spy, scan), drive.answer);
  EXPECT_EQ(spy.driveTypeCalls, 1);
  if (drive.type == DRIVE_FIXED) {
    EXPECT_EQ(spy.patterns, std::vector<WideString>{leaf + L"\\*"});
  } else {
    EXPECT_EQ(spy.attributeCalls, 0);
    EXPECT_TRUE(spy.patterns.empty());
  }
  if (made) RemoveDirectoryW(leaf.c_str());
}

INSTANTIATE_TEST_SUITE_P(
    Drives, OtherDriveTest,
    ::testing::Values(OtherDrive{"fixed", "TARNWICK_TEST_FIXED_DRIVE", DRIVE_FIXED, S_OK},
                      OtherDrive{"removable", "TARNWICK_TEST_REMOVABLE_DRIVE", DRIVE_REMOVABLE,
                                 S_FALSE},
                      OtherDrive{"network", "TARNWICK_TEST_NETWORK_DRIVE", DRIVE_REMOTE, S_FALSE}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(Win32FolderMarkingTest, BadPathPointerFaultsInsideTheGuardAndGivesNoBadge) {
  // An access violation at the first read.
  EXPECT_EQ(DecideMembership(reinterpret_cast<const WideChar*>(0x10), spy_, scan_), S_FALSE);
  // A path whose first units are readable and whose rest lies on an inaccessible page: the fault
  // comes from inside KERNEL32, after the drive type was asked.
  const DWORD page = 4096;
  auto* pages =
      static_cast<char*>(VirtualAlloc(nullptr, 2 * page, MEM_RESERVE | MEM_COMMIT, PAGE_READWRITE));
  ASSERT_NE(pages, nullptr);
  DWORD old = 0;
  ASSERT_TRUE(VirtualProtect(pages + page, page, PAGE_NOACCESS, &old));
  auto* tail = reinterpret_cast<WideChar*>(pages + page) - 3;
  tail[0] = L'C';
  tail[1] = L':';
  tail[2] = L'\\';
  EXPECT_EQ(DecideMembership(tail, spy_, ProcessFolderClassificationCache()), S_FALSE);
  EXPECT_EQ(spy_.driveTypeCalls, 1);
  VirtualFree(pages, 0, MEM_RELEASE);
  // The process, the cache and its lock are fine afterwards.
  MakeFolder(L"after");
  EXPECT_EQ(DecideMembership(Path(L"after").c_str(), spy_, ProcessFolderClassificationCache()),
            S_OK);
}

}  // namespace
}  // namespace tarnwick

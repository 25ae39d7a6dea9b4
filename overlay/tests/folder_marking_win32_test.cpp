// The product's decision on real folders, through KERNEL32, as Explorer would call it.
// Runs under Wine in the test prefix, whose F: is a second fixed drive, R: removable and N: a
// network drive; on Windows the test kit's runner provides what the machine can.

#include "overlay/folder_marking_platform.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <string>

#include "common/tests/win32_test_support.h"

namespace tarnwick {
namespace {

// Only the glue is new here: the logic runs on a file system in memory natively. CharUpperW makes
// one cache key of both drive letters; a trailing '\' is a key of its own.
TEST(Win32FolderMarkingTest, BothLetterCasesOfALeafShareOneCacheEntry) {
  testing::ScratchFolder scratch(L"marking");
  WideString upper = scratch.path(), lower = upper;
  upper[0] = static_cast<WideChar>(towupper(upper[0]));
  lower[0] = static_cast<WideChar>(towlower(lower[0]));
  Win32FolderMarkingPlatform platform;
  FolderClassificationCache cache;
  for (const WideString& path : {upper, lower, upper + L"\\"}) {
    EXPECT_EQ(DecideMembership(path.c_str(), platform, cache), S_OK) << Utf8FromWide(path);
  }
  EXPECT_EQ(cache.EntryCount(), 2u);
}

// One case per drive the caller provides; a machine without such a drive leaves its variable
// unset and the case is skipped. A second fixed letter (subst) shows that the root is built from
// the path's own letter.
struct OtherDrive {
  const char* name;
  const char* variable;
  DWORD type;
  HRESULT answer;
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
  Win32FolderMarkingPlatform platform;
  DirectScan scan;
  EXPECT_EQ(DecideMembership(leaf.c_str(), platform, scan), drive.answer);
  if (made) RemoveDirectoryW(leaf.c_str());
}

INSTANTIATE_TEST_SUITE_P(
    Drives, OtherDriveTest,
    ::testing::Values(OtherDrive{"fixed", "TARNWICK_TEST_FIXED_DRIVE", DRIVE_FIXED, S_OK},
                      OtherDrive{"removable", "TARNWICK_TEST_REMOVABLE_DRIVE", DRIVE_REMOVABLE,
                                 S_FALSE},
                      OtherDrive{"network", "TARNWICK_TEST_NETWORK_DRIVE", DRIVE_REMOTE, S_FALSE}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(Win32FolderMarkingTest, BadPathPointerFaultsInsideTheGuardAndGivesNoBadge) {
  Win32FolderMarkingPlatform platform;
  FolderClassificationCache& cache = ProcessFolderClassificationCache();
  // "C:\" at the end of a readable page, an inaccessible page after it: the drive type is asked
  // of "C:\", and the fault comes from inside KERNEL32, which reads the path on.
  const DWORD page = 4096;
  auto* pages =
      static_cast<char*>(VirtualAlloc(nullptr, 2 * page, MEM_RESERVE | MEM_COMMIT, PAGE_READWRITE));
  ASSERT_NE(pages, nullptr);
  DWORD old = 0;
  ASSERT_TRUE(VirtualProtect(pages + page, page, PAGE_NOACCESS, &old));
  auto* tail = reinterpret_cast<WideChar*>(pages + page) - 3;
  std::copy_n(L"C:\\", 3, tail);
  EXPECT_EQ(DecideMembership(tail, platform, cache), S_FALSE);
  VirtualFree(pages, 0, MEM_RELEASE);
}

}  // namespace
}  // namespace tarnwick

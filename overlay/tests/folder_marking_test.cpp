// The membership decision and the subfolder scan, on a file system in memory.

#include "overlay/folder_marking.h"

#include <gtest/gtest.h>

#include <new>
#include <stdexcept>

#include "overlay/tests/fake_folder_marking_platform.h"

namespace tarnwick {
namespace {

using testing::Dir;
using testing::FakeFolderMarkingPlatform;
using testing::File;
using testing::HiddenDir;

TEST(MembershipDecision, MalformedPathsAreRefusedBeforeAnySystemCall) {
  const WideChar* const paths[] = {
      nullptr,
      WIDE(""),
      WIDE("C"),
      WIDE("\\\\server\\share\\folder"),
      WIDE("\\\\?\\C:\\folder"),
      WIDE("Data\\x"),
      WIDE("CC:\\x"),
      WIDE(":\\x"),
  };
  for (const WideChar* path : paths) {
    FakeFolderMarkingPlatform platform;
    DirectScan scan;
    EXPECT_EQ(DecideMembership(path, platform, scan), S_FALSE);
    EXPECT_EQ(platform.driveTypeCalls, 0);
    EXPECT_EQ(platform.attributeCalls, 0);
  }
}

TEST(MembershipDecision, OnlyFixedDrivesAreLookedAtAndThePathIsNeverTouchedElsewhere) {
  for (DWORD type : {DRIVE_UNKNOWN, DRIVE_NO_ROOT_DIR, DRIVE_REMOVABLE, DRIVE_REMOTE, DRIVE_CDROM,
                     DRIVE_RAMDISK}) {
    FakeFolderMarkingPlatform platform;
    platform.driveType = type;
    platform.AddFolder(WIDE("N:\\Leaf"), {});
    DirectScan scan;
    EXPECT_EQ(DecideMembership(WIDE("n:\\Leaf"), platform, scan), S_FALSE) << type;
    EXPECT_EQ(platform.LastRoot(), WIDE("n:\\")) << "the first unit as received";
    EXPECT_EQ(platform.driveTypeCalls, 1);
    EXPECT_EQ(platform.attributeCalls, 0);
    EXPECT_EQ(platform.openCalls, 0);
  }
}

TEST(MembershipDecision, FilesMissingPathsAndUnreadableAttributesGetNoBadge) {
  FakeFolderMarkingPlatform platform;
  platform.attributes[WIDE("C:\\file.txt")] = 0x20;
  platform.attributes[WIDE("C:\\hidden-file")] = 0x22;
  DirectScan scan;
  EXPECT_EQ(DecideMembership(WIDE("C:\\file.txt"), platform, scan), S_FALSE);
  EXPECT_EQ(DecideMembership(WIDE("C:\\hidden-file"), platform, scan), S_FALSE);
  EXPECT_EQ(DecideMembership(WIDE("C:\\missing"), platform, scan), S_FALSE);
  EXPECT_EQ(platform.openCalls, 0);
}

TEST(MembershipDecision, LeafFoldersGetTheBadgeAndFoldersWithSubfoldersDoNot) {
  FakeFolderMarkingPlatform platform;
  platform.AddFolder(WIDE("C:\\Empty"), {});
  platform.AddFolder(WIDE("C:\\FilesOnly"), {File(WIDE("a.txt")), File(WIDE("b"))});
  platform.AddFolder(WIDE("C:\\Tree"), {File(WIDE("a.txt")), Dir(WIDE("sub"))});
  platform.AddFolder(WIDE("C:\\HiddenSub"), {HiddenDir(WIDE("secret"))});
  platform.AddFolder(WIDE("C:\\DotSub"), {Dir(WIDE(".x"))});
  platform.AddFolder(WIDE("C:\\DotsSub"), {Dir(WIDE("..."))});
  platform.AddFolder(WIDE("C:\\JunctionSub"), {{FILE_ATTRIBUTE_DIRECTORY | 0x400, WIDE("link")}});
  // Read-only, hidden or reparse-point folders are decided like any folder.
  platform.attributes[WIDE("C:\\Empty")] = FILE_ATTRIBUTE_DIRECTORY | 0x1 | 0x2 | 0x400;
  DirectScan scan;
  EXPECT_EQ(DecideMembership(WIDE("C:\\Empty"), platform, scan), S_OK);
  EXPECT_EQ(DecideMembership(WIDE("C:\\FilesOnly"), platform, scan), S_OK);
  EXPECT_EQ(DecideMembership(WIDE("C:\\Tree"), platform, scan), S_FALSE);
  EXPECT_EQ(DecideMembership(WIDE("C:\\HiddenSub"), platform, scan), S_FALSE);
  EXPECT_EQ(DecideMembership(WIDE("C:\\DotSub"), platform, scan), S_FALSE);
  EXPECT_EQ(DecideMembership(WIDE("C:\\DotsSub"), platform, scan), S_FALSE);
  EXPECT_EQ(DecideMembership(WIDE("C:\\JunctionSub"), platform, scan), S_FALSE);
  EXPECT_EQ(platform.openCalls, platform.closeCalls);
}

TEST(MembershipDecision, DeniedListingMakesALeaf) {
  FakeFolderMarkingPlatform platform;
  platform.attributes[WIDE("C:\\Denied")] = FILE_ATTRIBUTE_DIRECTORY;  // no listing to open
  DirectScan scan;
  EXPECT_EQ(DecideMembership(WIDE("C:\\Denied"), platform, scan), S_OK);
  EXPECT_EQ(platform.closeCalls, 0);
}

TEST(MembershipDecision, AnythingRaisedBeneathTheGuardGivesNoBadge) {
  FakeFolderMarkingPlatform platform;
  platform.AddFolder(WIDE("C:\\Leaf"), {});
  DirectScan scan;
  platform.onOpen = [](const WideString&) { throw std::bad_alloc(); };
  EXPECT_EQ(DecideMembership(WIDE("C:\\Leaf"), platform, scan), S_FALSE);
  platform.onOpen = [](const WideString&) { throw std::runtime_error("listing"); };
  EXPECT_EQ(DecideMembership(WIDE("C:\\Leaf"), platform, scan), S_FALSE);
  platform.onOpen = [](const WideString&) { throw 42; };
  EXPECT_EQ(DecideMembership(WIDE("C:\\Leaf"), platform, scan), S_FALSE);
  platform.onOpen = nullptr;
  EXPECT_EQ(DecideMembership(WIDE("C:\\Leaf"), platform, scan), S_OK);
}

TEST(SubfolderScan, PatternGetsOneBackslashAndAStar) {
  struct Case {
    const WideChar* path;
    const WideChar* pattern;
  };
  const Case cases[] = {
      {WIDE("C:\\Data"), WIDE("C:\\Data\\*")}, {WIDE("C:\\Data\\"), WIDE("C:\\Data\\*")},
      {WIDE("C:\\"), WIDE("C:\\*")},           {WIDE("C:/Data"), WIDE("C:/Data\\*")},
      {WIDE("C:/Data/"), WIDE("C:/Data/\\*")}, {WIDE(""), WIDE("*")},
  };
  for (const Case& c : cases) {
    FakeFolderMarkingPlatform platform;
    ScanForSubfolder(c.path, platform);
    ASSERT_EQ(platform.Patterns().size(), 1u);
    EXPECT_EQ(platform.Patterns()[0], c.pattern);
  }
}

TEST(SubfolderScan, StopsAtTheFirstSubfolderAndSkipsOnlyDotAndDotDot) {
  FakeFolderMarkingPlatform platform;
  int visited = 0;
  platform.listings[WIDE("C:\\Big\\*")] = {Dir(WIDE(".")), Dir(WIDE("..")), File(WIDE("f")),
                                           Dir(WIDE("first")), Dir(WIDE("second"))};
  platform.onOpen = [&](const WideString&) { ++visited; };
  EXPECT_TRUE(ScanForSubfolder(WIDE("C:\\Big"), platform));
  EXPECT_EQ(platform.closeCalls, 1);
  // Names that only begin like "." or "..", or a file named "." in a broken listing.
  platform.listings[WIDE("C:\\Odd\\*")] = {File(WIDE("..")), Dir(WIDE("..a"))};
  EXPECT_TRUE(ScanForSubfolder(WIDE("C:\\Odd"), platform));
  platform.listings[WIDE("C:\\Dots\\*")] = {Dir(WIDE(".")), Dir(WIDE("..")), File(WIDE(".x"))};
  EXPECT_FALSE(ScanForSubfolder(WIDE("C:\\Dots"), platform));
  EXPECT_EQ(visited, 3);
  EXPECT_EQ(platform.closeCalls, 3);
}

}  // namespace
}  // namespace tarnwick

#include "overlay/folder_marking.h"

#include <gtest/gtest.h>

#include <utility>

#include "overlay/tests/fake_folder_marking_platform.h"

namespace tarnwick {
namespace {

using testing::Dir;
using testing::FakeFolderMarkingPlatform;
using testing::File;

// The path's form, the drive and the listing's pattern are held to a model by membership_fuzz.
TEST(MembershipDecision, OnlyExistingFoldersWithoutSubfoldersGetTheBadge) {
  FakeFolderMarkingPlatform platform;
  platform.AddFolder(WIDE("C:\\Empty"), {});
  platform.AddFolder(WIDE("C:\\FilesOnly"), {File(WIDE("a.txt")), File(WIDE("b"))});
  platform.AddFolder(WIDE("C:\\Tree"), {File(WIDE("a.txt")), Dir(WIDE("sub"))});
  platform.AddFolder(WIDE("C:\\HiddenSub"), {{FILE_ATTRIBUTE_DIRECTORY | 0x2, WIDE("secret")}});
  platform.AddFolder(WIDE("C:\\JunctionSub"), {{FILE_ATTRIBUTE_DIRECTORY | 0x400, WIDE("link")}});
  platform.AddFolder(WIDE("C:\\DotSub"), {Dir(WIDE(".x"))});
  platform.AddFolder(WIDE("C:\\DotDotSub"), {File(WIDE("..")), Dir(WIDE("..a"))});
  // Read-only, hidden or reparse-point folders are decided like any folder.
  platform.attributes[WIDE("C:\\Empty")] = FILE_ATTRIBUTE_DIRECTORY | 0x1 | 0x2 | 0x400;
  platform.attributes[WIDE("C:\\Denied")] = FILE_ATTRIBUTE_DIRECTORY;  // no listing to open
  platform.attributes[WIDE("C:\\file.txt")] = 0x20;
  const std::pair<const WideChar*, HRESULT> cases[] = {
      {WIDE("C:\\Empty"), S_OK},        {WIDE("C:\\FilesOnly"), S_OK},
      {WIDE("C:\\Denied"), S_OK},       {WIDE("C:\\Tree"), S_FALSE},
      {WIDE("C:\\HiddenSub"), S_FALSE}, {WIDE("C:\\JunctionSub"), S_FALSE},
      {WIDE("C:\\DotSub"), S_FALSE},    {WIDE("C:\\DotDotSub"), S_FALSE},
      {WIDE("C:\\file.txt"), S_FALSE},  {WIDE("C:\\missing"), S_FALSE},
  };
  DirectScan scan;
  for (const auto& [path, answer] : cases) {
    EXPECT_EQ(DecideMembership(path, platform, scan), answer) << Utf8FromWide(path);
  }
}

TEST(MembershipDecision, AnythingRaisedBeneathTheGuardGivesNoBadge) {
  FakeFolderMarkingPlatform platform;
  platform.AddFolder(WIDE("C:\\Leaf"), {});
  platform.onOpen = [](const WideString&) { throw 42; };  // not even a std::exception
  DirectScan scan;
  EXPECT_EQ(DecideMembership(WIDE("C:\\Leaf"), platform, scan), S_FALSE);
}

TEST(SubfolderScan, EmptyPathListsTheCurrentFolder) {
  FakeFolderMarkingPlatform platform;
  platform.listings[WIDE("*")] = {Dir(WIDE("sub"))};
  EXPECT_TRUE(ScanForSubfolder(WIDE(""), platform));
}

}  // namespace
}  // namespace tarnwick

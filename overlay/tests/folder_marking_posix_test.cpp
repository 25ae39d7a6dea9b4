// The native platform on real folders: listing by readdir, links, drive letters mapped to folders.

#include "overlay/folder_marking_platform.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>

namespace tarnwick {
namespace {

namespace fs = std::filesystem;

class PosixFolderMarkingTest : public ::testing::Test {
 protected:
  void SetUp() override {
    root_ = fs::temp_directory_path() /
            ("tarnwick-posix-" + std::to_string(getpid()) + "-" +
             ::testing::UnitTest::GetInstance()->current_test_info()->name());
    fs::remove_all(root_);
    fs::create_directories(root_);
    platform_ = std::make_unique<PosixFolderMarkingPlatform>(
        PosixFolderMarkingPlatform::DriveMap{{WIDE('d'), root_.string()}});
  }
  void TearDown() override { fs::remove_all(root_); }

  void MakeFolder(const std::string& relative) { fs::create_directories(root_ / relative); }
  void MakeFile(const std::string& relative) { std::ofstream(root_ / relative) << "x"; }
  HRESULT Decide(const WideChar* path) { return DecideMembership(path, *platform_, scan_); }

  fs::path root_;
  std::unique_ptr<PosixFolderMarkingPlatform> platform_;
  DirectScan scan_;
};

TEST_F(PosixFolderMarkingTest, RealFoldersAreDecidedAsOnWindows) {
  MakeFolder("empty");
  MakeFolder("files");
  MakeFile("files/a.txt");
  MakeFile("files/.hidden");
  MakeFolder("tree/sub");
  MakeFolder("dotsub/.x");
  MakeFile("plain.txt");
  EXPECT_EQ(Decide(WIDE("D:\\empty")), S_OK);
  EXPECT_EQ(Decide(WIDE("d:\\empty\\")), S_OK);
  EXPECT_EQ(Decide(WIDE("D:\\files")), S_OK);
  EXPECT_EQ(Decide(WIDE("D:\\tree")), S_FALSE);
  EXPECT_EQ(Decide(WIDE("D:\\tree\\sub")), S_OK);
  EXPECT_EQ(Decide(WIDE("D:\\dotsub")), S_FALSE);
  EXPECT_EQ(Decide(WIDE("D:\\plain.txt")), S_FALSE);
  EXPECT_EQ(Decide(WIDE("D:\\missing")), S_FALSE);
  EXPECT_EQ(Decide(WIDE("D:\\")), S_FALSE);  // the root holds all of the above
}

TEST_F(PosixFolderMarkingTest, LinkToAFolderIsASubfolderAndOtherLinksAreNot) {
  MakeFolder("target");
  MakeFile("file");
  MakeFolder("to-folder");
  fs::create_directory_symlink(root_ / "target", root_ / "to-folder/link");
  MakeFolder("to-file");
  fs::create_symlink(root_ / "file", root_ / "to-file/link");
  MakeFolder("dangling");
  fs::create_symlink(root_ / "nowhere", root_ / "dangling/link");
  EXPECT_EQ(Decide(WIDE("D:\\to-folder")), S_FALSE);
  EXPECT_EQ(Decide(WIDE("D:\\to-file")), S_OK);
  EXPECT_EQ(Decide(WIDE("D:\\dangling")), S_OK);
  // A link to a folder is itself a folder to decide.
  EXPECT_EQ(Decide(WIDE("D:\\to-folder\\link")), S_OK);
}

TEST(PosixUpperCase, UpperCasesUtf16UnitsAndKeepsTheLength) {
  PosixFolderMarkingPlatform platform;
  WideString text = WIDE("c:\\données\\straße\\δ\\データ");
  text.push_back(static_cast<WideChar>(0xD83D));  // a lone high surrogate stays
  const std::size_t length = text.size();
  platform.UpperCaseInPlace(text);
  WideString expected = WIDE("C:\\DONNÉES\\STRAßE\\Δ\\データ");
  expected.push_back(static_cast<WideChar>(0xD83D));
  EXPECT_EQ(text, expected);
  EXPECT_EQ(text.size(), length);
}

}  // namespace
}  // namespace tarnwick

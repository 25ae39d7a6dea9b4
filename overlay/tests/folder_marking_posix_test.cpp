#include "overlay/folder_marking_platform.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <utility>

namespace tarnwick {
namespace {

namespace fs = std::filesystem;

TEST(PosixFolderMarking, RealFoldersAndLinksAreDecidedAsOnWindows) {
  const fs::path root = fs::temp_directory_path() / ("tarnwick-posix-" + std::to_string(getpid()));
  fs::remove_all(root);
  for (const char* folder :
       {"empty", "files", "tree/sub", "dotsub/.x", "target", "to-folder", "to-file", "dangling"}) {
    fs::create_directories(root / folder);
  }
  for (const char* file : {"files/a.txt", "plain.txt", "file"}) std::ofstream(root / file) << "x";
  fs::create_directory_symlink(root / "target", root / "to-folder/link");
  fs::create_symlink(root / "file", root / "to-file/link");
  fs::create_symlink(root / "nowhere", root / "dangling/link");
  PosixFolderMarkingPlatform platform({{WIDE('d'), root.string()}});
  // The root holds all of these. A link to a folder is a subfolder, and a folder to decide itself;
  // other links are not.
  const std::pair<const WideChar*, HRESULT> cases[] = {{WIDE("D:\\empty"), S_OK},
                                                       {WIDE("d:\\files\\"), S_OK},
                                                       {WIDE("D:\\tree"), S_FALSE},
                                                       {WIDE("D:\\dotsub"), S_FALSE},
                                                       {WIDE("D:\\plain.txt"), S_FALSE},
                                                       {WIDE("D:\\missing"), S_FALSE},
                                                       {WIDE("D:\\"), S_FALSE},
                                                       {WIDE("D:\\to-folder"), S_FALSE},
                                                       {WIDE("D:\\to-folder\\link"), S_OK},
                                                       {WIDE("D:\\to-file"), S_OK},
                                                       {WIDE("D:\\dangling"), S_OK}};
  DirectScan scan;
  for (const auto& [path, answer] : cases) {
    EXPECT_EQ(DecideMembership(path, platform, scan), answer) << Utf8FromWide(path);
  }
  fs::remove_all(root);
}

TEST(PosixUpperCase, UpperCasesUtf16UnitsAndKeepsTheLength) {
  PosixFolderMarkingPlatform platform;
  WideString text = WIDE("c:\\données\\straße\\δ\\データ");
  text.push_back(static_cast<WideChar>(0xD83D));  // a lone high surrogate stays
  platform.UpperCaseInPlace(text);
  WideString expected = WIDE("C:\\DONNÉES\\STRAßE\\Δ\\データ");
  expected.push_back(static_cast<WideChar>(0xD83D));
  EXPECT_EQ(text, expected);
}

}  // namespace
}  // namespace tarnwick

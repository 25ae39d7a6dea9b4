// TarnwickSettings.exe started as a user or a script would start it, and the settings it reads,
// on the real registry and file system of the test prefix.

#include <gtest/gtest.h>

#include "badge/badge.h"
#include "settings/settings_store.h"
#include "settings/settings_window.h"
#include "settings/tests/win32_test_support.h"

namespace tarnwick {
namespace {

using testing::Bytes;
using testing::PathExists;
using testing::ReadFileBytes;
using testing::ReferenceIcon;
using testing::ScopedAppData;
using testing::ScratchFolder;
using testing::SettingsProcess;
using testing::StoredSettingDword;
using testing::StoreSettingDword;
using testing::StoreSettingValue;

constexpr DWORD kExitTimeoutMs = 20000;

class SettingsProgramTest : public ::testing::Test {
 protected:
  void SetUp() override { testing::DeleteSettingsKey(); }
  void TearDown() override { testing::DeleteSettingsKey(); }

  static std::optional<DWORD> Run(const WideString& arguments) {
    SettingsProcess process(arguments);
    return process.WaitForExit(kExitTimeoutMs);
  }

  WideString UserIcon() const { return appData_ / L"Tarnwick\\badge.ico"; }

  ScratchFolder appData_{L"appdata"};
  ScopedAppData appDataVariable_{appData_.path().c_str()};
};

TEST_F(SettingsProgramTest, TheRegistryReadsAsTheDefaultForAnythingButAFourByteDword) {
  const struct {
    const char* why;
    void (*store)();
    COLORREF color;
    bool outline;
  } cases[] = {
      {"no key", [] {}, DefaultBadgeColor, true},
      {"colour as a string",
       [] { StoreSettingValue(L"BadgeColor", REG_SZ, L"255", sizeof(L"255")); }, DefaultBadgeColor,
       true},
      {"outline 2", [] { StoreSettingDword(L"BadgeOutline", 2); }, DefaultBadgeColor, true},
      {"outline 0", [] { StoreSettingDword(L"BadgeOutline", 0); }, DefaultBadgeColor, false},
      {"top byte kept", [] { StoreSettingDword(L"BadgeColor", 0x7F0000FF); }, 0x7F0000FF, true},
      {"8-byte values",
       [] {
         const DWORD red[2] = {0x000000FF, 0};
         const DWORD off[2] = {0, 0};
         StoreSettingValue(L"BadgeColor", REG_DWORD, red, sizeof(red));
         StoreSettingValue(L"BadgeOutline", REG_QWORD, off, sizeof(off));
       },
       DefaultBadgeColor, true},
  };
  for (const auto& c : cases) {
    testing::DeleteSettingsKey();
    c.store();
    EXPECT_EQ(ReadBadgeColor(), c.color) << c.why;
    EXPECT_EQ(ReadBadgeOutline(), c.outline) << c.why;
  }
}

TEST_F(SettingsProgramTest, WriteicoUserWithNothingStoredWritesTheDefaultBadge) {
  const Bytes expected = ReferenceIcon(DefaultBadgeColor, true);
  for (const wchar_t* arguments :
       {L"/writeico user", L"/WRITEICO USER", L"/WriteIco User surplus words"}) {
    testing::RemoveTree(appData_ / L"Tarnwick");
    EXPECT_EQ(Run(arguments), 0u) << Utf8FromWide(arguments);
    EXPECT_EQ(ReadFileBytes(UserIcon()), expected) << Utf8FromWide(arguments);
  }
  // Nothing is stored by writing.
  EXPECT_FALSE(StoredSettingDword(L"BadgeColor").has_value());
  EXPECT_FALSE(StoredSettingDword(L"BadgeOutline").has_value());
}

TEST_F(SettingsProgramTest, WriteicoUserFollowsTheStoredSettings) {
  StoreSettingDword(L"BadgeColor", 0x000000FF);
  StoreSettingDword(L"BadgeOutline", 0);
  EXPECT_EQ(Run(L"/writeico user"), 0u);
  EXPECT_EQ(ReadFileBytes(UserIcon()), ReferenceIcon(0x000000FF, false));

  // The top byte is stored and kept, but the badge ignores it; 2 is an outline like 1.
  StoreSettingDword(L"BadgeColor", 0x7F0000FF);
  StoreSettingDword(L"BadgeOutline", 2);
  EXPECT_EQ(Run(L"/WRITEICO USER"), 0u);
  EXPECT_EQ(ReadFileBytes(UserIcon()), ReferenceIcon(0x000000FF, true));
  EXPECT_EQ(StoredSettingDword(L"BadgeColor"), 0x7F0000FFu);
}

TEST_F(SettingsProgramTest, WriteicoPathWritesTheDefaultBadgeThereAndNothingElse) {
  StoreSettingDword(L"BadgeColor", 0x000000FF);
  ScratchFolder output(L"output dir");
  const WideString path = output / L"my badge.ico";
  EXPECT_EQ(Run(L"/writeico \"" + path + L"\" surplus"), 0u);
  EXPECT_EQ(ReadFileBytes(path), ReferenceIcon(DefaultBadgeColor, true));
  EXPECT_FALSE(PathExists(appData_ / L"Tarnwick"));
  EXPECT_EQ(StoredSettingDword(L"BadgeColor"), 0x000000FFu);
}

TEST_F(SettingsProgramTest, WriteicoUserAndTheDefaultFileAreTheSameBytes) {
  ScratchFolder output(L"output");
  const WideString path = output / L"default.ico";
  EXPECT_EQ(Run(L"/writeico " + path), 0u);
  EXPECT_EQ(Run(L"/writeico user"), 0u);
  const std::optional<Bytes> user = ReadFileBytes(UserIcon());
  ASSERT_TRUE(user.has_value());
  EXPECT_EQ(user, ReadFileBytes(path));
}

TEST_F(SettingsProgramTest, FailuresEndWithExitCode1AndCreateNothing) {
  ScratchFolder output(L"output");
  EXPECT_EQ(Run(L"/writeico " + (output / L"missing\\badge.ico")), 1u);
  EXPECT_FALSE(PathExists(output / L"missing"));

  {
    ScopedAppData unset(nullptr);
    EXPECT_EQ(Run(L"/writeico user"), 1u);
  }
  EXPECT_FALSE(PathExists(appData_ / L"Tarnwick"));

  // A badge.ico held open without sharing, as a reader may, is not replaced, and is kept whole.
  ASSERT_TRUE(CreateDirectoryW((appData_ / L"Tarnwick").c_str(), nullptr));
  const Bytes old = {'o', 'l', 'd'};
  testing::WriteFileBytes(UserIcon(), old);
  const HANDLE lock = CreateFileW(UserIcon().c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING,
                                  FILE_ATTRIBUTE_NORMAL, nullptr);
  ASSERT_NE(lock, INVALID_HANDLE_VALUE);
  EXPECT_EQ(Run(L"/writeico user"), 1u);
  CloseHandle(lock);
  EXPECT_EQ(ReadFileBytes(UserIcon()), old);
  testing::RemoveTree(appData_ / L"Tarnwick");

  // The folder's name is taken by a file: it cannot be made, so the icon cannot be written.
  testing::WriteFileBytes(appData_ / L"Tarnwick", {'x'});
  EXPECT_EQ(Run(L"/writeico user"), 1u);
}

TEST_F(SettingsProgramTest, AnyOtherCommandLineOpensTheWindowAndClosingItEndsWith0) {
  for (const wchar_t* arguments : {L"", L"/writeico", L"/settings user", L"user /writeico"}) {
    SettingsProcess process(arguments);
    const HWND window = process.WaitForWindow(kSettingsWindowClass, 15000);
    ASSERT_NE(window, nullptr) << Utf8FromWide(arguments);
    PostMessageW(window, WM_CLOSE, 0, 0);
    EXPECT_EQ(process.WaitForExit(kExitTimeoutMs), 0u) << Utf8FromWide(arguments);
  }
  EXPECT_FALSE(PathExists(appData_ / L"Tarnwick"));
  EXPECT_FALSE(StoredSettingDword(L"BadgeColor").has_value());
}

}  // namespace
}  // namespace tarnwick

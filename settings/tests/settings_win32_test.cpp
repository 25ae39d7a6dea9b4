// The settings store on the real registry, environment and file system of the test prefix. Only
// the user is stood in for: the spy answers the message boxes and records the restart command
// instead of running it, so no Explorer is ever ended.

#include <gtest/gtest.h>

#include "badge/badge.h"
#include "settings/settings_store.h"
#include "settings/tests/win32_test_support.h"

namespace tarnwick {
namespace {

using testing::Bytes;
using testing::DeleteSettingsKey;
using testing::ReadFileBytes;
using testing::ReferenceIcon;
using testing::ScopedAppData;
using testing::ScratchFolder;
using testing::StoredSettingDword;
using testing::StoreSettingDword;
using testing::StoreSettingValue;

class SpyPlatform final : public SettingsPlatform {
 public:
  int answer = IDNO;
  std::vector<std::pair<WideString, UINT>> messages;
  std::vector<std::vector<WideString>> executions;
  std::vector<int> shows;

  bool QuerySettingValue(const WideChar* name, DWORD& type, DWORD& data) override {
    return real_.QuerySettingValue(name, type, data);
  }
  bool StoreSettingValues(DWORD color, DWORD outline) override {
    return real_.StoreSettingValues(color, outline);
  }
  DWORD GetEnvironmentValue(const WideChar* name, WideChar* buffer, DWORD capacity) override {
    return real_.GetEnvironmentValue(name, buffer, capacity);
  }
  void CreateFolder(const WideChar* path) override { real_.CreateFolder(path); }
  bool WriteIcon(const WideChar* path, COLORREF color, bool outline) override {
    return real_.WriteIcon(path, color, outline);
  }
  int ShowMessage(HWND owner, const WideChar* text, const WideChar* title, UINT type) override {
    EXPECT_EQ(owner, kOwner);
    EXPECT_STREQ(title, L"Tarnwick 設定");
    messages.emplace_back(text, type);
    return (type & MB_YESNO) ? answer : IDOK;
  }
  void Execute(const WideChar* verb, const WideChar* file, const WideChar* parameters,
               int show) override {
    executions.push_back({verb, file, parameters});
    shows.push_back(show);
  }

  static inline const HWND kOwner = reinterpret_cast<HWND>(static_cast<INT_PTR>(0x5678));

 private:
  SettingsPlatform& real_ = SystemSettingsPlatform();
};

class SettingsWin32Test : public ::testing::Test {
 protected:
  void SetUp() override { DeleteSettingsKey(); }
  void TearDown() override { DeleteSettingsKey(); }

  WideString IconPath() const { return appData_ / L"Tarnwick\\badge.ico"; }

  ScratchFolder appData_{L"appdata"};
  ScopedAppData appDataVariable_{appData_.path().c_str()};
  SpyPlatform spy_;
};

TEST_F(SettingsWin32Test, ReadingTheRegistryFallsBackToTheDefaultForAnythingButADword) {
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
      {"DWORDs of 8 bytes",
       [] {
         const DWORD colour[2] = {0x000000FF, 0};
         const DWORD off[2] = {0, 0};
         StoreSettingValue(L"BadgeColor", REG_DWORD, colour, sizeof(colour));
         StoreSettingValue(L"BadgeOutline", REG_DWORD, off, sizeof(off));
       },
       DefaultBadgeColor, true},
      {"a QWORD",
       [] {
         const ULONGLONG off = 0;
         StoreSettingValue(L"BadgeOutline", REG_QWORD, &off, sizeof(off));
       },
       DefaultBadgeColor, true},
  };
  for (const auto& c : cases) {
    DeleteSettingsKey();
    c.store();
    EXPECT_EQ(ReadBadgeColor(), c.color) << c.why;
    EXPECT_EQ(ReadBadgeOutline(), c.outline) << c.why;
  }
}

TEST_F(SettingsWin32Test, ApplyingWritesTheIconAndBothValuesBeforeItAsks) {
  const BadgeSettings settings = {0x000000FF, false};
  ApplyBadgeSettings(SpyPlatform::kOwner, settings, spy_);

  ASSERT_EQ(spy_.messages.size(), 1u);
  EXPECT_EQ(spy_.messages[0].first, kRestartQuestionText);
  EXPECT_EQ(spy_.messages[0].second, static_cast<UINT>(MB_ICONQUESTION | MB_YESNO));
  const std::optional<Bytes> icon = ReadFileBytes(IconPath());
  ASSERT_TRUE(icon.has_value());
  EXPECT_EQ(icon->size(), 36230u);
  EXPECT_EQ(*icon, ReferenceIcon(0x000000FF, false));
  EXPECT_EQ(StoredSettingDword(L"BadgeColor"), 0x000000FFu);
  EXPECT_EQ(StoredSettingDword(L"BadgeOutline"), 0u);
  EXPECT_TRUE(spy_.executions.empty());
}

TEST_F(SettingsWin32Test, YesHandsTheRestartCommandToTheShellHidden) {
  spy_.answer = IDYES;
  ApplyBadgeSettings(SpyPlatform::kOwner, {DefaultBadgeColor, true}, spy_);

  ASSERT_EQ(spy_.executions.size(), 1u);
  EXPECT_EQ(spy_.executions[0],
            (std::vector<WideString>{L"open", L"cmd.exe",
                                     L"/c taskkill /f /im explorer.exe & start explorer.exe"}));
  EXPECT_EQ(spy_.shows[0], SW_HIDE);
}

TEST_F(SettingsWin32Test, WithoutAppDataOnlyTheErrorIsShownAndNothingChanges) {
  StoreSettingDword(L"BadgeColor", 0x00112233);
  ScopedAppData unset(nullptr);
  ApplyBadgeSettings(SpyPlatform::kOwner, {0x000000FF, false}, spy_);

  ASSERT_EQ(spy_.messages.size(), 1u);
  EXPECT_EQ(spy_.messages[0].first, L"アイコンの書き出しに失敗しました。");
  EXPECT_EQ(spy_.messages[0].second, static_cast<UINT>(MB_ICONERROR));
  EXPECT_EQ(StoredSettingDword(L"BadgeColor"), 0x00112233u);
  EXPECT_FALSE(StoredSettingDword(L"BadgeOutline").has_value());
  EXPECT_FALSE(testing::PathExists(appData_ / L"Tarnwick"));
}

TEST_F(SettingsWin32Test, ALockedIconIsReportedAndKeptAndNothingIsStored) {
  StoreSettingDword(L"BadgeColor", 0x00112233);
  ASSERT_TRUE(CreateDirectoryW((appData_ / L"Tarnwick").c_str(), nullptr));
  const Bytes old = {'o', 'l', 'd'};
  testing::WriteFileBytes(IconPath(), old);
  // Explorer may hold the file; here the test does, sharing nothing.
  const HANDLE lock = CreateFileW(IconPath().c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING,
                                  FILE_ATTRIBUTE_NORMAL, nullptr);
  ASSERT_NE(lock, INVALID_HANDLE_VALUE);
  spy_.answer = IDYES;
  ApplyBadgeSettings(SpyPlatform::kOwner, {0x000000FF, false}, spy_);
  CloseHandle(lock);

  ASSERT_EQ(spy_.messages.size(), 1u);
  EXPECT_EQ(spy_.messages[0].first, L"アイコンの書き出しに失敗しました。");
  EXPECT_EQ(ReadFileBytes(IconPath()), old);
  EXPECT_EQ(StoredSettingDword(L"BadgeColor"), 0x00112233u);
  EXPECT_TRUE(spy_.executions.empty());
}

}  // namespace
}  // namespace tarnwick

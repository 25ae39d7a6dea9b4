// Reading the stored settings, locating badge.ico, and applying a selection, on a platform in
// memory.

#include "settings/settings_store.h"

#include <gtest/gtest.h>

#include "badge/badge.h"
#include "settings/settings_layout.h"
#include "settings/tests/fake_settings_platform.h"

namespace tarnwick {
namespace {

using testing::Dword;
using testing::FakeSettingsPlatform;
using testing::FakeValue;

const HWND kOwner = reinterpret_cast<HWND>(static_cast<std::uintptr_t>(0x1234));
const WideString kAppData = WIDE("C:\\Users\\u\\AppData\\Roaming");
const WideString kIconPath = kAppData + WIDE("\\Tarnwick\\badge.ico");

FakeValue Bytes(DWORD type, std::vector<unsigned char> bytes) { return {type, std::move(bytes)}; }

TEST(SettingsDefaults, TheFirstSwatchAndTheSelectionBeforeLoadingAreTheDefaultBadge) {
  EXPECT_EQ(BadgePalette[0], DefaultBadgeColor);
  EXPECT_EQ(CurrentBadgeSettings().color, DefaultBadgeColor);
  EXPECT_TRUE(CurrentBadgeSettings().outline);
}

TEST(ReadSettings, OnlyAStoredDwordCountsAndEverythingElseReadsAsTheDefault) {
  const struct {
    const char* why;
    bool keyExists;
    std::map<WideString, FakeValue> values;
    COLORREF color;
    bool outline;
  } cases[] = {
      {"no key", false, {}, DefaultBadgeColor, true},
      {"key without values", true, {}, DefaultBadgeColor, true},
      {"both stored",
       true,
       {{kBadgeColorValue, Dword(0x000000FF)}, {kBadgeOutlineValue, Dword(0)}},
       0x000000FF,
       false},
      {"top byte kept", true, {{kBadgeColorValue, Dword(0x7F123456)}}, 0x7F123456, true},
      {"any non-zero outline is on",
       true,
       {{kBadgeOutlineValue, Dword(2)}},
       DefaultBadgeColor,
       true},
      {"strings",
       true,
       {{kBadgeColorValue, Bytes(REG_SZ, {'1', 0, 0, 0})},
        {kBadgeOutlineValue, Bytes(REG_SZ, {'0', 0, 0, 0})}},
       DefaultBadgeColor,
       true},
      {"4-byte binary is not a DWORD",
       true,
       {{kBadgeColorValue, Bytes(REG_BINARY, {1, 2, 3, 4})},
        {kBadgeOutlineValue, Bytes(REG_BINARY, {0, 0, 0, 0})}},
       DefaultBadgeColor,
       true},
      {"larger than 4 bytes",
       true,
       {{kBadgeColorValue, Bytes(REG_DWORD, {1, 2, 3, 4, 5})},
        {kBadgeOutlineValue, Bytes(REG_DWORD, {0, 0, 0, 0, 0, 0, 0, 0})}},
       DefaultBadgeColor,
       true},
      // A short DWORD fills only its own bytes: the rest keep the preset, 0 for the colour and
      // 1 for the outline.
      {"short DWORDs",
       true,
       {{kBadgeColorValue, Bytes(REG_DWORD, {0x34, 0x12})},
        {kBadgeOutlineValue, Bytes(REG_DWORD, {})}},
       0x00001234,
       true},
  };
  for (const auto& c : cases) {
    FakeSettingsPlatform platform;
    platform.keyExists = c.keyExists;
    platform.values = c.values;
    EXPECT_EQ(ReadBadgeColor(platform), c.color) << c.why;
    EXPECT_EQ(ReadBadgeOutline(platform), c.outline) << c.why;
    EXPECT_TRUE(platform.events.empty()) << c.why;
  }
}

TEST(BadgeIconPath, AppDataMustLeaveRoomForBothPathsInTheirBuffer) {
  // "\Tarnwick" adds 9 units and "\badge.ico" 10 more; 259 units fit with the NUL.
  const struct {
    std::optional<std::size_t> appDataLength;
    bool folderCreated;
    bool pathMade;
  } cases[] = {
      {std::nullopt, false, false},  // unset
      {0, false, false},             // empty
      {240, true, true},             // the icon path is 259 units
      {241, true, false},            // the icon path would be 260
      {250, true, false},            // the folder is 259 units
      {251, false, false},           // the folder would be 260
      {259, false, false},           // the longest value that is read at all
      {260, false, false},           // does not fit the variable's buffer
  };
  for (const auto& c : cases) {
    FakeSettingsPlatform platform;
    platform.appData.reset();
    if (c.appDataLength) platform.appData = WideString(*c.appDataLength, WIDE('a'));
    const auto path = PrepareBadgeIconPath(platform);
    const std::size_t length = c.appDataLength.value_or(0);
    EXPECT_EQ(path.has_value(), c.pathMade) << length;
    EXPECT_EQ(platform.folders.size(), c.folderCreated ? 1u : 0u) << length;
    if (c.folderCreated) {
      EXPECT_EQ(platform.folders[0], *platform.appData + WIDE("\\Tarnwick"));
    }
    if (path) {
      EXPECT_EQ(*path, *platform.appData + WIDE("\\Tarnwick\\badge.ico"));
      EXPECT_EQ(path->size(), length + 19);
    }
  }
}

TEST(ApplySettings, WritesTheIconThenStoresThenAsksAndANoEndsIt) {
  FakeSettingsPlatform platform;
  platform.answer = IDNO;
  ApplyBadgeSettings(kOwner, {0x000000FF, false}, platform);

  EXPECT_EQ(platform.events, (std::vector<std::string>{"folder", "write", "store", "message"}));
  ASSERT_EQ(platform.writes.size(), 1u);
  EXPECT_EQ(platform.writes[0].path, kIconPath);
  EXPECT_EQ(platform.writes[0].color, 0x000000FFu);
  EXPECT_FALSE(platform.writes[0].outline);
  EXPECT_EQ(ReadBadgeColor(platform), 0x000000FFu);
  EXPECT_FALSE(ReadBadgeOutline(platform));
  ASSERT_EQ(platform.messages.size(), 1u);
  EXPECT_EQ(platform.messages[0].owner, kOwner);
  EXPECT_EQ(platform.messages[0].title, WIDE("Tarnwick 設定"));
  EXPECT_EQ(platform.messages[0].type, static_cast<UINT>(MB_ICONQUESTION | MB_YESNO));
  EXPECT_EQ(platform.messages[0].text,
            WIDE("色を保存しました。\n\nエクスプローラーはアイコンを起動時に読み込むため、\n再起動"
                 "するまで表示は変わりません。\n\nいま再起動しますか？（開いているフォルダは閉じ"
                 "ます）"));
  EXPECT_TRUE(platform.executions.empty());
}

TEST(ApplySettings, YesStartsTheHiddenExplorerRestartAndDoesNotWait) {
  FakeSettingsPlatform platform;
  platform.answer = IDYES;
  ApplyBadgeSettings(kOwner, {DefaultBadgeColor, true}, platform);

  ASSERT_EQ(platform.executions.size(), 1u);
  EXPECT_EQ(platform.executions[0].verb, WIDE("open"));
  EXPECT_EQ(platform.executions[0].file, WIDE("cmd.exe"));
  EXPECT_EQ(platform.executions[0].parameters,
            WIDE("/c taskkill /f /im explorer.exe & start explorer.exe"));
  EXPECT_EQ(platform.executions[0].show, SW_HIDE);
  EXPECT_EQ(platform.events.back(), "execute");
}

TEST(ApplySettings, AStoredTopByteGoesBackUnchanged) {
  FakeSettingsPlatform platform;
  platform.values[kBadgeColorValue] = Dword(0x7F0000FF);
  ApplyBadgeSettings(kOwner, {ReadBadgeColor(platform), ReadBadgeOutline(platform)}, platform);
  EXPECT_EQ(ReadBadgeColor(platform), 0x7F0000FFu);
  EXPECT_EQ(platform.writes.at(0).color, 0x7F0000FFu);
}

TEST(ApplySettings, AnIconThatCannotBeWrittenIsReportedAndNothingIsStoredOrOffered) {
  const struct {
    const char* why;
    std::optional<WideString> appData;
    bool writeSucceeds;
    std::vector<std::string> events;
  } cases[] = {
      {"APPDATA unset", std::nullopt, true, {"message"}},
      {"APPDATA too long", WideString(259, WIDE('a')), true, {"message"}},
      {"write fails", kAppData, false, {"folder", "write", "message"}},
  };
  for (const auto& c : cases) {
    FakeSettingsPlatform platform;
    platform.appData = c.appData;
    platform.writeSucceeds = c.writeSucceeds;
    platform.values[kBadgeColorValue] = Dword(0x00112233);
    platform.answer = IDYES;
    ApplyBadgeSettings(kOwner, {0x000000FF, false}, platform);

    EXPECT_EQ(platform.events, c.events) << c.why;
    ASSERT_EQ(platform.messages.size(), 1u) << c.why;
    EXPECT_EQ(platform.messages[0].owner, kOwner);
    EXPECT_EQ(platform.messages[0].text, WIDE("アイコンの書き出しに失敗しました。"));
    EXPECT_EQ(platform.messages[0].title, WIDE("Tarnwick 設定"));
    EXPECT_EQ(platform.messages[0].type, static_cast<UINT>(MB_ICONERROR));
    EXPECT_EQ(ReadBadgeColor(platform), 0x00112233u) << c.why;
    EXPECT_TRUE(platform.executions.empty()) << c.why;
  }
}

TEST(ApplySettings, SettingsThatCannotBeStoredAreReportedAsAFailureWithNoRestartOffered) {
  FakeSettingsPlatform platform;
  platform.storeSucceeds = false;
  platform.answer = IDYES;
  ApplyBadgeSettings(kOwner, {0x000000FF, false}, platform);

  EXPECT_EQ(platform.events, (std::vector<std::string>{"folder", "write", "store", "message"}));
  ASSERT_EQ(platform.messages.size(), 1u);
  EXPECT_EQ(platform.messages[0].owner, kOwner);
  EXPECT_EQ(platform.messages[0].text, WIDE("色を保存できませんでした。"));
  EXPECT_EQ(platform.messages[0].title, WIDE("Tarnwick 設定"));
  EXPECT_EQ(platform.messages[0].type, static_cast<UINT>(MB_ICONERROR));
  EXPECT_TRUE(platform.executions.empty());
}

TEST(WriteStoredIcon, WritesTheUsersIconFromTheStoredSettingsAndNothingElse) {
  const struct {
    const char* why;
    std::map<WideString, FakeValue> values;
    COLORREF color;
    bool outline;
  } cases[] = {
      {"nothing stored", {}, DefaultBadgeColor, true},
      {"stored",
       {{kBadgeColorValue, Dword(0x000000FF)}, {kBadgeOutlineValue, Dword(0)}},
       0x000000FF,
       false},
      {"top byte", {{kBadgeColorValue, Dword(0x7F0000FF)}}, 0x7F0000FF, true},
  };
  for (const auto& c : cases) {
    for (const bool writeSucceeds : {true, false}) {
      FakeSettingsPlatform platform;
      platform.values = c.values;
      platform.writeSucceeds = writeSucceeds;
      EXPECT_EQ(WriteStoredBadgeIcon(platform), writeSucceeds) << c.why;
      EXPECT_EQ(platform.events, (std::vector<std::string>{"folder", "write"})) << c.why;
      ASSERT_EQ(platform.writes.size(), 1u);
      EXPECT_EQ(platform.writes[0].path, kIconPath);
      EXPECT_EQ(platform.writes[0].color, c.color) << c.why;
      EXPECT_EQ(platform.writes[0].outline, c.outline) << c.why;
    }
  }
}

TEST(WriteStoredIcon, FailsWithoutAnIconPathBeforeReadingOrWritingAnything) {
  FakeSettingsPlatform platform;
  platform.appData.reset();
  EXPECT_FALSE(WriteStoredBadgeIcon(platform));
  EXPECT_TRUE(platform.events.empty());
  EXPECT_EQ(platform.queries, 0);
}

TEST(WriteDefaultIcon, WritesTheDefaultBadgeToThePathAsGivenAndTouchesNothingElse) {
  for (const bool writeSucceeds : {true, false}) {
    FakeSettingsPlatform platform;
    platform.values[kBadgeColorValue] = Dword(0x000000FF);
    platform.writeSucceeds = writeSucceeds;
    EXPECT_EQ(WriteDefaultBadgeIcon(WIDE("D:\\out dir\\x.ico"), platform), writeSucceeds);
    EXPECT_EQ(platform.events, (std::vector<std::string>{"write"}));
    EXPECT_EQ(platform.writes.at(0).path, WIDE("D:\\out dir\\x.ico"));
    EXPECT_EQ(platform.writes.at(0).color, DefaultBadgeColor);
    EXPECT_TRUE(platform.writes.at(0).outline);
    EXPECT_EQ(platform.queries, 0);
  }
}

}  // namespace
}  // namespace tarnwick

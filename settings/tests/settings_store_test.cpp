// Reading the stored settings, locating badge.ico, and applying a selection, on a platform in
// memory that records every side effect in order.

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
using Events = std::vector<std::string>;

const HWND kOwner = reinterpret_cast<HWND>(static_cast<std::uintptr_t>(0x1234));
const WideString kIconPath = WIDE("C:\\Users\\u\\AppData\\Roaming\\Tarnwick\\badge.ico");

TEST(ReadSettings, OnlyAStoredDwordCountsAndEverythingElseReadsAsTheDefault) {
  const auto bytes = [](DWORD type, std::vector<unsigned char> data) {
    return FakeValue{type, std::move(data)};
  };
  const struct {
    const char* why;
    bool keyExists;
    std::map<WideString, FakeValue> values;
    COLORREF color;
    bool outline;
  } cases[] = {
      {"no key", false, {}, DefaultBadgeColor, true},
      {"no values", true, {}, DefaultBadgeColor, true},
      {"stored",
       true,
       {{kBadgeColorValue, Dword(0xFF)}, {kBadgeOutlineValue, Dword(0)}},
       0xFF,
       false},
      {"top byte kept, 2 is on",
       true,
       {{kBadgeColorValue, Dword(0x7F123456)}, {kBadgeOutlineValue, Dword(2)}},
       0x7F123456,
       true},
      {"strings",
       true,
       {{kBadgeColorValue, bytes(REG_SZ, {'1', 0, 0, 0})},
        {kBadgeOutlineValue, bytes(REG_SZ, {'0', 0, 0, 0})}},
       DefaultBadgeColor,
       true},
      {"binary",
       true,
       {{kBadgeOutlineValue, bytes(REG_BINARY, {0, 0, 0, 0})}},
       DefaultBadgeColor,
       true},
      {"larger than 4 bytes",
       true,
       {{kBadgeColorValue, bytes(REG_DWORD, {1, 2, 3, 4, 5})},
        {kBadgeOutlineValue, bytes(REG_DWORD, {0, 0, 0, 0, 0, 0, 0, 0})}},
       DefaultBadgeColor,
       true},
      // A short DWORD fills only its own bytes; the rest keep the preset, 0 and 1.
      {"short DWORDs",
       true,
       {{kBadgeColorValue, bytes(REG_DWORD, {0x34, 0x12})},
        {kBadgeOutlineValue, bytes(REG_DWORD, {})}},
       0x1234,
       true},
  };
  EXPECT_EQ(BadgePalette[0], DefaultBadgeColor);
  for (const auto& c : cases) {
    FakeSettingsPlatform platform;
    platform.keyExists = c.keyExists;
    platform.values = c.values;
    EXPECT_EQ(ReadBadgeColor(platform), c.color) << c.why;
    EXPECT_EQ(ReadBadgeOutline(platform), c.outline) << c.why;
  }
}

TEST(BadgeIconPath, AppDataMustLeaveRoomForBothPathsInTheirBuffer) {
  // "\Tarnwick" adds 9 units and "\badge.ico" 10 more; 259 units fit with the NUL.
  const struct {
    std::optional<std::size_t> length;
    bool folderCreated;
    bool pathMade;
  } cases[] = {
      {std::nullopt, false, false}, {0, false, false},   {240, true, true},   {241, true, false},
      {250, true, false},           {251, false, false}, {259, false, false}, {260, false, false},
  };
  for (const auto& c : cases) {
    FakeSettingsPlatform platform;
    platform.appData.reset();
    if (c.length) platform.appData = WideString(*c.length, WIDE('a'));
    const auto path = PrepareBadgeIconPath(platform);
    const std::size_t length = c.length.value_or(0);
    EXPECT_EQ(path.has_value(), c.pathMade) << length;
    EXPECT_EQ(platform.folders.size(), c.folderCreated ? 1u : 0u) << length;
    if (c.folderCreated) {
      EXPECT_EQ(platform.folders[0], *platform.appData + WIDE("\\Tarnwick"));
    }
    if (path) {
      EXPECT_EQ(*path, *platform.appData + WIDE("\\Tarnwick\\badge.ico"));
    }
  }
}

TEST(ApplySettings, WritesThenStoresThenAsksAndOnlyYesStartsTheHiddenRestart) {
  for (const int answer : {IDNO, IDYES}) {
    FakeSettingsPlatform platform;
    platform.answer = answer;
    ApplyBadgeSettings(kOwner, {0x7F0000FF, false}, platform);

    Events expected = {"folder", "write", "store", "message"};
    if (answer == IDYES) expected.push_back("execute");
    EXPECT_EQ(platform.events, expected);
    EXPECT_EQ(platform.writes.at(0).path, kIconPath);
    EXPECT_EQ(platform.writes.at(0).color, 0x7F0000FFu);
    EXPECT_FALSE(platform.writes.at(0).outline);
    EXPECT_EQ(ReadBadgeColor(platform), 0x7F0000FFu) << "a top byte goes back unchanged";
    EXPECT_FALSE(ReadBadgeOutline(platform));
    const testing::ShownMessage& question = platform.messages.at(0);
    EXPECT_EQ(question.owner, kOwner);
    EXPECT_EQ(question.title, WIDE("Tarnwick 設定"));
    EXPECT_EQ(question.type, static_cast<UINT>(MB_ICONQUESTION | MB_YESNO));
    EXPECT_EQ(question.text,
              WIDE("色を保存しました。\n\nエクスプローラーはアイコンを起動時に読み込むため、\n再起"
                   "動するまで表示は変わりません。\n\nいま再起動しますか？（開いているフォルダは"
                   "閉じます）"));
  }
  FakeSettingsPlatform platform;
  platform.answer = IDYES;
  ApplyBadgeSettings(kOwner, {DefaultBadgeColor, true}, platform);
  ASSERT_EQ(platform.executions.size(), 1u);
  EXPECT_EQ(platform.executions[0].verb, WIDE("open"));
  EXPECT_EQ(platform.executions[0].file, WIDE("cmd.exe"));
  EXPECT_EQ(platform.executions[0].parameters,
            WIDE("/c taskkill /f /im explorer.exe & start explorer.exe"));
  EXPECT_EQ(platform.executions[0].show, SW_HIDE);
}

TEST(ApplySettings, AFailedStepIsReportedAsAnErrorAndEndsIt) {
  const WideString iconFailed = WIDE("アイコンの書き出しに失敗しました。");
  const struct {
    const char* why;
    std::optional<WideString> appData;
    bool writeSucceeds;
    bool storeSucceeds;
    Events events;
    WideString text;
  } cases[] = {
      {"APPDATA unset", std::nullopt, true, true, {"message"}, iconFailed},
      {"APPDATA too long", WideString(259, WIDE('a')), true, true, {"message"}, iconFailed},
      {"write fails", WIDE("C:\\a"), false, true, {"folder", "write", "message"}, iconFailed},
      // Stored nothing, so nothing to restart for: not "saved", and no question.
      {"store fails",
       WIDE("C:\\a"),
       true,
       false,
       {"folder", "write", "store", "message"},
       WIDE("色を保存できませんでした。")},
  };
  for (const auto& c : cases) {
    FakeSettingsPlatform platform;
    platform.appData = c.appData;
    platform.writeSucceeds = c.writeSucceeds;
    platform.storeSucceeds = c.storeSucceeds;
    platform.values[kBadgeColorValue] = Dword(0x00112233);
    platform.answer = IDYES;
    ApplyBadgeSettings(kOwner, {0xFF, false}, platform);

    EXPECT_EQ(platform.events, c.events) << c.why;
    ASSERT_EQ(platform.messages.size(), 1u) << c.why;
    EXPECT_EQ(platform.messages[0].owner, kOwner) << c.why;
    EXPECT_EQ(platform.messages[0].text, c.text) << c.why;
    EXPECT_EQ(platform.messages[0].title, WIDE("Tarnwick 設定")) << c.why;
    EXPECT_EQ(platform.messages[0].type, static_cast<UINT>(MB_ICONERROR)) << c.why;
    EXPECT_EQ(ReadBadgeColor(platform), 0x00112233u) << c.why;
  }
}

TEST(WriteIcons, StoredSettingsGoToTheUsersIconTheDefaultToAGivenPathAndNothingElseHappens) {
  for (const bool writeSucceeds : {true, false}) {
    FakeSettingsPlatform platform;
    platform.writeSucceeds = writeSucceeds;
    EXPECT_EQ(WriteStoredBadgeIcon(platform), writeSucceeds);
    platform.values = {{kBadgeColorValue, Dword(0x7F0000FF)}, {kBadgeOutlineValue, Dword(0)}};
    EXPECT_EQ(WriteStoredBadgeIcon(platform), writeSucceeds);
    EXPECT_EQ(WriteDefaultBadgeIcon(WIDE("D:\\out dir\\x.ico"), platform), writeSucceeds);

    EXPECT_EQ(platform.events, (Events{"folder", "write", "folder", "write", "write"}));
    const auto& writes = platform.writes;
    EXPECT_EQ(writes[0].path, kIconPath);
    EXPECT_EQ(writes[0].color, DefaultBadgeColor);
    EXPECT_TRUE(writes[0].outline);
    EXPECT_EQ(writes[1].color, 0x7F0000FFu);
    EXPECT_FALSE(writes[1].outline);
    EXPECT_EQ(writes[2].path, WIDE("D:\\out dir\\x.ico"));
    EXPECT_EQ(writes[2].color, DefaultBadgeColor);
    EXPECT_TRUE(writes[2].outline);
  }
  FakeSettingsPlatform platform;
  platform.appData.reset();
  EXPECT_FALSE(WriteStoredBadgeIcon(platform));
  EXPECT_TRUE(platform.events.empty());
}

}  // namespace
}  // namespace tarnwick

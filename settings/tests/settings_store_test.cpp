// Reading the stored settings, locating badge.ico, and applying a selection, on a platform in
// memory that records every side effect in order.

#include "settings/settings_store.h"

#include <gtest/gtest.h>

#include <map>
#include <optional>
#include <sstream>
#include <string>
#include <vector>

#include "badge/badge.h"

namespace tarnwick {
namespace {

std::string Hex(std::uintptr_t value) {
  std::ostringstream text;
  text << std::hex << value;
  return text.str();
}

using Values = std::map<WideString, StoredValue>;

// A registry, an environment and a user in memory for the settings logic. Everything that changes
// the world or talks to the user is logged in order, with what it was given (of a message, its
// first line); any one write of a value can be refused.
class FakeSettingsPlatform final : public SettingsPlatform {
 public:
  Values values;
  int refusedWrite = 0;  // the n-th write of a value fails, counting from 1; 0 for none
  WideString appData = WIDE("C:\\a");  // empty for unset, as Windows gives both
  bool writeSucceeds = true;
  int answer = IDNO;
  int writes = 0;
  std::string log;  // entries, each ended by "|"

  LONG ReadStoredValue(const WideChar* name, StoredValue& value) override {
    const auto found = values.find(name);
    if (found == values.end()) return ERROR_FILE_NOT_FOUND;
    value = found->second;
    return ERROR_SUCCESS;
  }

  bool WriteStoredValue(const WideChar* name, const StoredValue& value) override {
    log += "store " + Utf8FromWide(name) + "|";
    if (++writes == refusedWrite) return false;
    values[name] = value;
    return true;
  }

  bool RemoveStoredValue(const WideChar* name) override {
    log += "remove " + Utf8FromWide(name) + "|";
    values.erase(name);
    return true;
  }

  DWORD GetEnvironmentValue(const WideChar*, WideChar* buffer, DWORD capacity) override {
    const auto length = static_cast<DWORD>(appData.size());
    if (length >= capacity) return length + 1;
    std::copy(appData.begin(), appData.end(), buffer);
    buffer[length] = 0;
    return length;
  }

  void CreateFolder(const WideChar* path) override { log += "folder " + Utf8FromWide(path) + "|"; }

  bool WriteIcon(const WideChar* path, COLORREF color, bool outline) override {
    log += "write " + Utf8FromWide(path) + " " + Hex(color) + (outline ? " outline" : "") + "|";
    return writeSucceeds;
  }

  int ShowMessage(HWND owner, const WideChar* text, const WideChar* title, UINT type) override {
    const WideStringView whole(text);
    log += "message " + Hex(reinterpret_cast<std::uintptr_t>(owner)) + " " + Hex(type) + " " +
           Utf8FromWide(title) + ": " + Utf8FromWide(whole.substr(0, whole.find('\n'))) + "|";
    return (type & MB_YESNO) != 0 ? answer : IDOK;
  }

  void Execute(const WideChar* verb, const WideChar* file, const WideChar* parameters,
               int show) override {
    log += "execute " + Utf8FromWide(verb) + " " + Utf8FromWide(file) + " " +
           Utf8FromWide(parameters) + " " + std::to_string(show) + "|";
  }
};

const HWND kOwner = reinterpret_cast<HWND>(static_cast<std::uintptr_t>(0x1234));

TEST(ReadSettings, OnlyAStoredDwordCountsAndEverythingElseReadsAsTheDefault) {
  const struct {
    const char* why;
    std::map<WideString, StoredValue> values;
    COLORREF color;
    bool outline;
  } cases[] = {
      {"no key", {}, DefaultBadgeColor, true},
      {"top byte kept",
       {{kBadgeColorValue, {REG_DWORD, {0x56, 0x34, 0x12, 0x7F}}}},
       0x7F123456,
       true},
      // A short DWORD fills only its own bytes; the rest keep the preset, 0 and 1.
      {"short DWORDs",
       {{kBadgeColorValue, {REG_DWORD, {0x34, 0x12}}}, {kBadgeOutlineValue, {REG_DWORD, {}}}},
       0x1234,
       true},
      // Four bytes of another type are not a setting, whatever they hold.
      {"other types",
       {{kBadgeColorValue, {REG_BINARY, {0xFF, 0, 0, 0}}}, {kBadgeOutlineValue, {REG_SZ, {0, 0}}}},
       DefaultBadgeColor,
       true},
  };
  for (const auto& c : cases) {
    FakeSettingsPlatform platform;
    platform.values = c.values;
    EXPECT_EQ(ReadBadgeColor(platform), c.color) << c.why;
    EXPECT_EQ(ReadBadgeOutline(platform), c.outline) << c.why;
  }
}

TEST(BadgeIconPath, AppDataMustLeaveRoomForBothPathsInTheirBuffer) {
  // "\Tarnwick" adds 9 units and "\badge.ico" 10 more; 259 units fit with the NUL.
  const struct {
    std::size_t length;
    bool folderCreated;
    bool pathMade;
  } cases[] = {
      {0, false, false},   {240, true, true},   {241, true, false},
      {251, false, false}, {260, false, false},
  };
  for (const auto& c : cases) {
    const WideString appData(c.length, WIDE('a'));
    FakeSettingsPlatform platform;
    platform.appData = appData;
    const auto path = PrepareBadgeIconPath(platform);
    EXPECT_EQ(platform.log,
              c.folderCreated ? "folder " + Utf8FromWide(appData) + "\\Tarnwick|" : "")
        << appData.size();
    EXPECT_EQ(path,
              c.pathMade ? std::optional(appData + WIDE("\\Tarnwick\\badge.ico")) : std::nullopt)
        << appData.size();
  }
}

// Written, then stored, then asked, and only Yes restarts Explorer, hidden. A failed step is told
// as an error and ends it with the previous pair stored: nothing stored, nothing to restart for.
TEST(ApplySettings, WritesStoresAndAsksInThatOrderOrStopsAtAFailedStepKeepingThePreviousPair) {
  const std::string written = "folder C:\\a\\Tarnwick|write C:\\a\\Tarnwick\\badge.ico 7f0000ff|";
  const std::string stored = written + "store BadgeColor|store BadgeOutline|";
  // MB_ICONQUESTION | MB_YESNO, or MB_ICONERROR; the whole question is read from the real box
  // under Wine.
  const std::string asked = stored + "message 1234 24 Tarnwick 設定: 色を保存しました。|";
  const std::string iconFailed =
      "message 1234 10 Tarnwick 設定: アイコンの書き出しに失敗しました。|";
  const std::string notSaved = "message 1234 10 Tarnwick 設定: 色を保存できませんでした。|";
  const Values before = {{kBadgeColorValue, {REG_SZ, {'7', 0, 0, 0}}},
                         {kBadgeOutlineValue, {REG_DWORD, {1, 0, 0, 0}}}};
  // The top byte goes back unchanged.
  const Values after = {{kBadgeColorValue, {REG_DWORD, {0xFF, 0, 0, 0x7F}}},
                        {kBadgeOutlineValue, {REG_DWORD, {0, 0, 0, 0}}}};
  const std::string restart =
      "execute open cmd.exe /c taskkill /f /im explorer.exe & start explorer.exe 0|";
  const struct {
    const char* why;
    int answer;
    bool appDataSet;
    bool iconWritten;
    int refusedWrite;
    Values values;
    std::string log;
    Values result;
  } cases[] = {
      {"answered No", IDNO, true, true, 0, before, asked, after},
      {"answered Yes", IDYES, true, true, 0, {}, asked + restart, after},
      {"APPDATA unset", IDYES, false, true, 0, before, iconFailed, before},
      {"write fails", IDYES, true, false, 0, before, written + iconFailed, before},
      {"colour refused", IDYES, true, true, 1, before, written + "store BadgeColor|" + notSaved,
       before},
      // The colour goes back as it was, or away when there was none: never the new colour with the
      // old outline.
      {"outline refused", IDYES, true, true, 2, before, stored + "store BadgeColor|" + notSaved,
       before},
      {"none before", IDYES, true, true, 2, {}, stored + "remove BadgeColor|" + notSaved, {}},
  };
  for (const auto& c : cases) {
    FakeSettingsPlatform platform;
    platform.answer = c.answer;
    if (!c.appDataSet) platform.appData.clear();
    platform.writeSucceeds = c.iconWritten;
    platform.refusedWrite = c.refusedWrite;
    platform.values = c.values;
    ApplyBadgeSettings(kOwner, {0x7F0000FF, false}, platform);
    EXPECT_EQ(platform.log, c.log) << c.why;
    EXPECT_EQ(platform.values, c.result) << c.why;
  }
}

}  // namespace
}  // namespace tarnwick

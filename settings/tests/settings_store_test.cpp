// Reading the stored settings, locating badge.ico, and applying a selection, on a platform in
// memory that records every side effect in order.

#include "settings/settings_store.h"

#include <gtest/gtest.h>

#include <cstring>
#include <map>
#include <optional>
#include <string>
#include <tuple>
#include <vector>

#include "badge/badge.h"

namespace tarnwick {
namespace {

// A registry, an environment and a user in memory for the settings logic; every side effect is
// recorded in order, and any one write of a value can be refused.
StoredValue Dword(DWORD value) {
  StoredValue stored{REG_DWORD, std::vector<std::uint8_t>(4)};
  std::memcpy(stored.bytes.data(), &value, 4);
  return stored;
}

using IconWrite = std::tuple<WideString, COLORREF, bool>;             // path, colour, outline
using ShownMessage = std::tuple<HWND, WideString, WideString, UINT>;  // owner, text, title, type
using Execution =
    std::tuple<WideString, WideString, WideString, int>;  // verb, file, parameters, show

class FakeSettingsPlatform final : public SettingsPlatform {
 public:
  std::map<WideString, StoredValue> values;
  int refusedWrite = 0;  // the n-th write of a value fails, counting from 1; 0 for none
  std::optional<WideString> appData = WideString(WIDE("C:\\Users\\u\\AppData\\Roaming"));
  bool writeSucceeds = true;
  int answer = IDNO;

  // Everything that changed the world or talked to the user, in order: "folder", "write",
  // "store", "remove", "message", "execute".
  std::vector<std::string> events;
  std::vector<WideString> folders;
  std::vector<IconWrite> writes;
  std::vector<ShownMessage> messages;
  std::vector<Execution> executions;

  LONG ReadStoredValue(const WideChar* name, StoredValue& value) override {
    const auto found = values.find(name);
    if (found == values.end()) return ERROR_FILE_NOT_FOUND;
    value = found->second;
    return ERROR_SUCCESS;
  }

  bool WriteStoredValue(const WideChar* name, const StoredValue& value) override {
    events.push_back("store");
    if (++writes_ == refusedWrite) return false;
    values[name] = value;
    return true;
  }

  bool RemoveStoredValue(const WideChar* name) override {
    events.push_back("remove");
    values.erase(name);
    return true;
  }

  DWORD GetEnvironmentValue(const WideChar*, WideChar* buffer, DWORD capacity) override {
    if (!appData || appData->empty()) return 0;
    const auto length = static_cast<DWORD>(appData->size());
    if (length >= capacity) return length + 1;
    std::copy(appData->begin(), appData->end(), buffer);
    buffer[length] = 0;
    return length;
  }

  void CreateFolder(const WideChar* path) override {
    events.push_back("folder");
    folders.emplace_back(path);
  }

  bool WriteIcon(const WideChar* path, COLORREF color, bool outline) override {
    events.push_back("write");
    writes.emplace_back(path, color, outline);
    return writeSucceeds;
  }

  int ShowMessage(HWND owner, const WideChar* text, const WideChar* title, UINT type) override {
    events.push_back("message");
    messages.emplace_back(owner, text, title, type);
    return (type & MB_YESNO) != 0 ? answer : IDOK;
  }

  void Execute(const WideChar* verb, const WideChar* file, const WideChar* parameters,
               int show) override {
    events.push_back("execute");
    executions.emplace_back(verb, file, parameters, show);
  }

 private:
  int writes_ = 0;
};

using Events = std::vector<std::string>;

const HWND kOwner = reinterpret_cast<HWND>(static_cast<std::uintptr_t>(0x1234));
const WideString kIconPath = WIDE("C:\\Users\\u\\AppData\\Roaming\\Tarnwick\\badge.ico");

TEST(ReadSettings, OnlyAStoredDwordCountsAndEverythingElseReadsAsTheDefault) {
  const struct {
    const char* why;
    std::map<WideString, StoredValue> values;
    COLORREF color;
    bool outline;
  } cases[] = {
      {"no key", {}, DefaultBadgeColor, true},
      {"stored", {{kBadgeColorValue, Dword(0xFF)}, {kBadgeOutlineValue, Dword(0)}}, 0xFF, false},
      {"top byte kept, 2 is on",
       {{kBadgeColorValue, Dword(0x7F123456)}, {kBadgeOutlineValue, Dword(2)}},
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
    std::optional<std::size_t> length;
    bool folderCreated;
    bool pathMade;
  } cases[] = {
      {std::nullopt, false, false}, {0, false, false},   {240, true, true},
      {241, true, false},           {251, false, false}, {260, false, false},
  };
  for (const auto& c : cases) {
    const WideString appData(c.length.value_or(0), WIDE('a'));
    FakeSettingsPlatform platform;
    platform.appData = c.length ? std::optional(appData) : std::nullopt;
    const auto path = PrepareBadgeIconPath(platform);
    const std::vector<WideString> noFolders;
    EXPECT_EQ(platform.folders,
              c.folderCreated ? std::vector{appData + WIDE("\\Tarnwick")} : noFolders)
        << appData.size();
    EXPECT_EQ(path,
              c.pathMade ? std::optional(appData + WIDE("\\Tarnwick\\badge.ico")) : std::nullopt)
        << appData.size();
  }
}

TEST(ApplySettings, WritesThenStoresThenAsksAndOnlyYesStartsTheHiddenRestart) {
  for (const int answer : {IDNO, IDYES}) {
    FakeSettingsPlatform platform;
    platform.answer = answer;
    ApplyBadgeSettings(kOwner, {0x7F0000FF, false}, platform);

    Events expected = {"folder", "write", "store", "store", "message"};
    if (answer == IDYES) expected.push_back("execute");
    EXPECT_EQ(platform.events, expected);
    EXPECT_EQ(platform.writes.at(0), (IconWrite{kIconPath, 0x7F0000FF, false}));
    EXPECT_EQ(ReadBadgeColor(platform), 0x7F0000FFu) << "a top byte goes back unchanged";
    EXPECT_FALSE(ReadBadgeOutline(platform));
    // Its text, title and owner are read from the real box under Wine.
    EXPECT_EQ(std::get<3>(platform.messages.at(0)), static_cast<UINT>(MB_ICONQUESTION | MB_YESNO));
    if (answer == IDYES) {
      EXPECT_EQ(platform.executions.at(0),
                (Execution{WIDE("open"), WIDE("cmd.exe"),
                           WIDE("/c taskkill /f /im explorer.exe & start explorer.exe"), SW_HIDE}));
    }
  }
}

TEST(ApplySettings, AFailedStepIsReportedAsAnErrorAndEndsItWithThePreviousPairStored) {
  const WideString iconFailed = WIDE("アイコンの書き出しに失敗しました。");
  const WideString notSaved = WIDE("色を保存できませんでした。");
  const std::map<WideString, StoredValue> stored = {{kBadgeColorValue, {REG_SZ, {'7', 0, 0, 0}}},
                                                    {kBadgeOutlineValue, Dword(1)}};
  const struct {
    const char* why;
    std::optional<WideString> appData;
    bool writeSucceeds;
    int refusedWrite;
    std::map<WideString, StoredValue> before;
    Events events;
    WideString text;
  } cases[] = {
      {"APPDATA unset", std::nullopt, true, 0, stored, {"message"}, iconFailed},
      {"write fails", WIDE("C:\\a"), false, 0, stored, {"folder", "write", "message"}, iconFailed},
      // Stored nothing, so nothing to restart for: not "saved", and no question.
      {"colour refused",
       WIDE("C:\\a"),
       true,
       1,
       stored,
       {"folder", "write", "store", "message"},
       notSaved},
      // The colour goes back as it was, or away: never the new colour with the old outline.
      {"outline refused",
       WIDE("C:\\a"),
       true,
       2,
       stored,
       {"folder", "write", "store", "store", "store", "message"},
       notSaved},
      {"outline refused, nothing stored",
       WIDE("C:\\a"),
       true,
       2,
       {},
       {"folder", "write", "store", "store", "remove", "message"},
       notSaved},
  };
  for (const auto& c : cases) {
    FakeSettingsPlatform platform;
    platform.appData = c.appData;
    platform.writeSucceeds = c.writeSucceeds;
    platform.refusedWrite = c.refusedWrite;
    platform.values = c.before;
    platform.answer = IDYES;
    ApplyBadgeSettings(kOwner, {0xFF, false}, platform);

    EXPECT_EQ(platform.events, c.events) << c.why;
    EXPECT_EQ(platform.messages,
              (std::vector<ShownMessage>{{kOwner, c.text, WIDE("Tarnwick 設定"), MB_ICONERROR}}))
        << c.why;
    EXPECT_EQ(platform.values, c.before) << c.why;
  }
}

}  // namespace
}  // namespace tarnwick

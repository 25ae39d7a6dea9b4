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

// A registry, an environment and a user in memory for the settings logic: the registry answers as
// RegQueryValueExW does with a 4-byte buffer, and every side effect is recorded in order.
struct FakeValue {
  DWORD type;
  std::vector<unsigned char> bytes;
};

FakeValue Dword(DWORD value) {
  FakeValue stored{REG_DWORD, std::vector<unsigned char>(4)};
  std::memcpy(stored.bytes.data(), &value, 4);
  return stored;
}

using IconWrite = std::tuple<WideString, COLORREF, bool>;             // path, colour, outline
using ShownMessage = std::tuple<HWND, WideString, WideString, UINT>;  // owner, text, title, type
using Execution =
    std::tuple<WideString, WideString, WideString, int>;  // verb, file, parameters, show

class FakeSettingsPlatform final : public SettingsPlatform {
 public:
  std::map<WideString, FakeValue> values;
  bool storeSucceeds = true;
  std::optional<WideString> appData = WideString(WIDE("C:\\Users\\u\\AppData\\Roaming"));
  bool writeSucceeds = true;
  int answer = IDNO;

  // Everything that changed the world or talked to the user, in order: "folder", "write",
  // "store", "message", "execute".
  std::vector<std::string> events;
  std::vector<WideString> folders;
  std::vector<IconWrite> writes;
  std::vector<ShownMessage> messages;
  std::vector<Execution> executions;

  bool QuerySettingValue(const WideChar* name, DWORD& type, DWORD& data) override {
    const auto found = values.find(name);
    if (found == values.end()) return false;
    type = found->second.type;
    const std::vector<unsigned char>& bytes = found->second.bytes;
    if (bytes.size() > sizeof(data)) return false;  // ERROR_MORE_DATA
    std::copy(bytes.begin(), bytes.end(), reinterpret_cast<unsigned char*>(&data));
    return true;
  }

  bool StoreSettingValues(DWORD color, DWORD outline) override {
    events.push_back("store");
    if (!storeSucceeds) return false;
    values[kBadgeColorValue] = Dword(color);
    values[kBadgeOutlineValue] = Dword(outline);
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
};

using Events = std::vector<std::string>;

const HWND kOwner = reinterpret_cast<HWND>(static_cast<std::uintptr_t>(0x1234));
const WideString kIconPath = WIDE("C:\\Users\\u\\AppData\\Roaming\\Tarnwick\\badge.ico");

TEST(ReadSettings, OnlyAStoredDwordCountsAndEverythingElseReadsAsTheDefault) {
  const struct {
    const char* why;
    std::map<WideString, FakeValue> values;
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

    Events expected = {"folder", "write", "store", "message"};
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
    EXPECT_EQ(platform.messages,
              (std::vector<ShownMessage>{{kOwner, c.text, WIDE("Tarnwick 設定"), MB_ICONERROR}}))
        << c.why;
    EXPECT_EQ(ReadBadgeColor(platform), 0x00112233u) << c.why;
  }
}

}  // namespace
}  // namespace tarnwick

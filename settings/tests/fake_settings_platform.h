#pragma once
// A registry, an environment and a user in memory for the settings logic: the registry answers as
// RegQueryValueExW does with a 4-byte buffer, and every side effect is recorded in order.

#include <algorithm>
#include <cstring>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "settings/settings_store.h"

namespace tarnwick::testing {

struct FakeValue {
  DWORD type;
  std::vector<unsigned char> bytes;
};

inline FakeValue Dword(DWORD value) {
  FakeValue stored{REG_DWORD, std::vector<unsigned char>(4)};
  std::memcpy(stored.bytes.data(), &value, 4);
  return stored;
}

struct IconWrite {
  WideString path;
  COLORREF color;
  bool outline;
};

struct ShownMessage {
  HWND owner;
  WideString text;
  WideString title;
  UINT type;
};

struct Execution {
  WideString verb;
  WideString file;
  WideString parameters;
  int show;
};

class FakeSettingsPlatform final : public SettingsPlatform {
 public:
  bool keyExists = true;
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
    if (!keyExists) return false;
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
    keyExists = true;
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
    writes.push_back({path, color, outline});
    return writeSucceeds;
  }

  int ShowMessage(HWND owner, const WideChar* text, const WideChar* title, UINT type) override {
    events.push_back("message");
    messages.push_back({owner, text, title, type});
    return (type & MB_YESNO) != 0 ? answer : IDOK;
  }

  void Execute(const WideChar* verb, const WideChar* file, const WideChar* parameters,
               int show) override {
    events.push_back("execute");
    executions.push_back({verb, file, parameters, show});
  }
};

}  // namespace tarnwick::testing

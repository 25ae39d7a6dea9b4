// The settings store over a registry of any content: a stored value reads as a RegQueryValueExW
// into a preset 4-byte buffer leaves it (a four-byte REG_DWORD unchanged), anything else as the
// default. Applying a selection, with APPDATA of any length, the icon written or not, the colour
// unreadable or one write refused, leaves the new pair or the previous one whole, and says which.

#include <fuzzer/FuzzedDataProvider.h>

#include <cstddef>
#include <cstdint>
#include <map>
#include <optional>
#include <vector>

#include "badge/badge.h"
#include "fuzz/fuzz_property.h"
#include "settings/settings_store.h"

namespace {

using tarnwick::StoredValue;
using Registry = std::map<WideString, StoredValue>;

const WideString kColor = WIDE("BadgeColor");
const WideString kOutline = WIDE("BadgeOutline");

class FuzzPlatform final : public tarnwick::SettingsPlatform {
 public:
  Registry values;
  bool colorUnreadable = false;
  int refusedWrite = 0;  // counting from 1; 0 for none
  std::size_t appDataUnits = 0;
  bool iconWritten = true;
  int writes = 0;
  std::vector<WideString> folders;
  std::vector<WideString> messages;

  LONG ReadStoredValue(const WideChar* name, StoredValue& value) override {
    if (colorUnreadable && name == kColor) return ERROR_ACCESS_DENIED;
    const auto found = values.find(name);
    if (found == values.end()) return ERROR_FILE_NOT_FOUND;
    value = found->second;
    return ERROR_SUCCESS;
  }
  bool WriteStoredValue(const WideChar* name, const StoredValue& value) override {
    if (++writes == refusedWrite) return false;
    values[name] = value;
    return true;
  }
  bool RemoveStoredValue(const WideChar* name) override {
    values.erase(name);
    return true;
  }
  DWORD GetEnvironmentValue(const WideChar*, WideChar* buffer, DWORD capacity) override {
    if (appDataUnits >= capacity) return static_cast<DWORD>(appDataUnits + 1);
    std::fill_n(buffer, appDataUnits, WIDE('a'));
    buffer[appDataUnits] = 0;
    return static_cast<DWORD>(appDataUnits);
  }
  void CreateFolder(const WideChar* path) override { folders.emplace_back(path); }
  bool WriteIcon(const WideChar*, COLORREF, bool) override { return iconWritten; }
  int ShowMessage(HWND, const WideChar* text, const WideChar*, UINT) override {
    messages.emplace_back(text);
    return IDNO;
  }
  void Execute(const WideChar*, const WideChar*, const WideChar*, int) override {}
};

// What RegQueryValueExW of a REG_DWORD into a 4-byte buffer preset to `preset` leaves there;
// nothing for another type, a longer value or none.
std::optional<DWORD> AsQueried(const Registry& values, const WideString& name, DWORD preset) {
  const auto found = values.find(name);
  if (found == values.end() || found->second.type != REG_DWORD) return std::nullopt;
  const std::vector<std::uint8_t>& bytes = found->second.bytes;
  if (bytes.size() > 4) return std::nullopt;
  DWORD data = preset;
  for (std::size_t i = 0; i < bytes.size(); ++i) {
    data = (data & ~(0xFFu << (8 * i))) | static_cast<DWORD>(bytes[i]) << (8 * i);
  }
  return data;
}

StoredValue Dword(DWORD value) {
  return {REG_DWORD,
          {std::uint8_t(value), std::uint8_t(value >> 8), std::uint8_t(value >> 16),
           std::uint8_t(value >> 24)}};
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  FuzzedDataProvider input(data, size);
  FuzzPlatform platform;
  for (const WideString& name : {kColor, kOutline}) {
    if (!input.ConsumeBool()) continue;
    const DWORD type = input.ConsumeBool() ? REG_DWORD : input.ConsumeIntegral<DWORD>();
    platform.values[name] = {type,
                             input.ConsumeBytes<std::uint8_t>(input.ConsumeIntegralInRange(0, 9))};
  }
  platform.colorUnreadable = input.ConsumeIntegralInRange(0, 7) == 0;
  const Registry before = platform.values;

  const bool colorReadable = !platform.colorUnreadable;
  const auto color = colorReadable ? AsQueried(before, kColor, 0) : std::nullopt;
  FUZZ_PROPERTY(tarnwick::ReadBadgeColor(platform) == color.value_or(0x005B7D2E));
  FUZZ_PROPERTY(tarnwick::ReadBadgeOutline(platform) ==
                (AsQueried(before, kOutline, 1).value_or(1) != 0));

  const tarnwick::BadgeSettings chosen{input.ConsumeIntegral<COLORREF>(), input.ConsumeBool()};
  platform.appDataUnits = input.ConsumeIntegralInRange<std::size_t>(0, 300);
  platform.iconWritten = input.ConsumeIntegralInRange(0, 7) != 0;
  platform.refusedWrite = input.ConsumeIntegralInRange(0, 3);
  tarnwick::ApplyBadgeSettings(nullptr, chosen, platform);

  // "\Tarnwick" is 9 units and "\badge.ico" 10 more; each path must fit 260 units with its NUL.
  const std::size_t units = platform.appDataUnits;
  FUZZ_PROPERTY(platform.folders.size() == (units >= 1 && units <= 250 ? 1u : 0u));
  FUZZ_PROPERTY(platform.messages.size() == 1);
  const WideString& message = platform.messages[0];
  if (units < 1 || units > 240 || !platform.iconWritten) {
    FUZZ_PROPERTY(message == WIDE("アイコンの書き出しに失敗しました。"));
    FUZZ_PROPERTY(platform.writes == 0);
    FUZZ_PROPERTY(platform.values == before);
  } else if (platform.colorUnreadable || platform.refusedWrite == 1 || platform.refusedWrite == 2) {
    FUZZ_PROPERTY(message == WIDE("色を保存できませんでした。"));
    FUZZ_PROPERTY(platform.values == before);
  } else {
    FUZZ_PROPERTY(message.starts_with(WIDE("色を保存しました。")));
    Registry after = before;
    after[kColor] = Dword(chosen.color);
    after[kOutline] = Dword(chosen.outline ? 1 : 0);
    FUZZ_PROPERTY(platform.values == after);
  }
  return 0;
}

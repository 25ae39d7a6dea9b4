#include "settings/settings_store.h"

#include <algorithm>
#include <cstring>

#include "badge/badge.h"

namespace tarnwick {
namespace {

constexpr WideStringView kFolderSuffix = WIDE("\\Tarnwick");
constexpr WideStringView kFileSuffix = WIDE("\\badge.ico");

// The stored REG_DWORD, or nothing. It is read as into a 4-byte buffer: a longer value is refused,
// a shorter one fills only its own bytes and the rest keep `preset`.
std::optional<DWORD> ReadDword(SettingsPlatform& platform, const WideChar* name, DWORD preset) {
  StoredValue value;
  if (platform.ReadStoredValue(name, value) != ERROR_SUCCESS || value.type != REG_DWORD ||
      value.bytes.size() > sizeof(DWORD)) {
    return std::nullopt;
  }
  DWORD data = preset;
  std::copy(value.bytes.begin(), value.bytes.end(), reinterpret_cast<std::uint8_t*>(&data));
  return data;
}

StoredValue DwordValue(DWORD data) {
  StoredValue value{REG_DWORD, std::vector<std::uint8_t>(sizeof(data))};
  std::memcpy(value.bytes.data(), &data, sizeof(data));
  return value;
}

// Both values or neither. The colour goes first; should the outline then be refused, the colour is
// put back as it was, so the key never pairs the new colour with the old outline. Only a registry
// that also refuses that (having taken the same value a moment ago) leaves the pair mixed.
bool StoreBadgeSettings(const BadgeSettings& settings, SettingsPlatform& platform) {
  StoredValue previousColor;
  const LONG previous = platform.ReadStoredValue(kBadgeColorValue, previousColor);
  if (previous != ERROR_SUCCESS && previous != ERROR_FILE_NOT_FOUND) return false;
  if (!platform.WriteStoredValue(kBadgeColorValue, DwordValue(settings.color))) return false;
  if (platform.WriteStoredValue(kBadgeOutlineValue, DwordValue(settings.outline ? 1 : 0))) {
    return true;
  }
  if (previous == ERROR_SUCCESS) {
    platform.WriteStoredValue(kBadgeColorValue, previousColor);
  } else {
    platform.RemoveStoredValue(kBadgeColorValue);
  }
  return false;
}

}  // namespace

BadgeSettings& CurrentBadgeSettings() {
  static BadgeSettings settings{DefaultBadgeColor, true};
  return settings;
}

COLORREF ReadBadgeColor(SettingsPlatform& platform) {
  return ReadDword(platform, kBadgeColorValue, 0).value_or(DefaultBadgeColor);
}

bool ReadBadgeOutline(SettingsPlatform& platform) {
  return ReadDword(platform, kBadgeOutlineValue, 1).value_or(1) != 0;
}

std::optional<WideString> PrepareBadgeIconPath(SettingsPlatform& platform) {
  WideChar appData[kPathCapacity] = {};
  const DWORD length = platform.GetEnvironmentValue(WIDE("APPDATA"), appData, kPathCapacity);
  if (length < 1 || length >= kPathCapacity) return std::nullopt;

  // Both paths must fit the 260-unit buffer with their NUL, as every Win32 path of ours does.
  WideString path(appData, length);
  path += kFolderSuffix;
  if (path.size() >= kPathCapacity) return std::nullopt;
  platform.CreateFolder(path.c_str());
  path += kFileSuffix;
  if (path.size() >= kPathCapacity) return std::nullopt;
  return path;
}

void ApplyBadgeSettings(HWND owner, const BadgeSettings& settings, SettingsPlatform& platform) {
  const std::optional<WideString> path = PrepareBadgeIconPath(platform);
  if (!path || !platform.WriteIcon(path->c_str(), settings.color, settings.outline)) {
    platform.ShowMessage(owner, kIconWriteFailedText, kSettingsTitle, MB_ICONERROR);
    return;
  }
  if (!StoreBadgeSettings(settings, platform)) {
    platform.ShowMessage(owner, kSettingsNotSavedText, kSettingsTitle, MB_ICONERROR);
    return;
  }
  if (platform.ShowMessage(owner, kRestartQuestionText, kSettingsTitle,
                           MB_ICONQUESTION | MB_YESNO) == IDYES) {
    platform.Execute(kRestartVerb, kRestartFile, kRestartParameters, SW_HIDE);
  }
}

bool WriteStoredBadgeIcon(SettingsPlatform& platform) {
  const std::optional<WideString> path = PrepareBadgeIconPath(platform);
  if (!path) return false;
  const bool outline = ReadBadgeOutline(platform);
  const COLORREF color = ReadBadgeColor(platform);
  return platform.WriteIcon(path->c_str(), color, outline);
}

bool WriteDefaultBadgeIcon(const WideChar* path, SettingsPlatform& platform) {
  return platform.WriteIcon(path, DefaultBadgeColor, true);
}

}  // namespace tarnwick

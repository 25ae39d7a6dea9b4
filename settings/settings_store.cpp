#include "settings/settings_store.h"

#include "badge/badge.h"

namespace tarnwick {
namespace {

constexpr WideStringView kFolderSuffix = WIDE("\\Tarnwick");
constexpr WideStringView kFileSuffix = WIDE("\\badge.ico");

// The stored REG_DWORD, or nothing. `preset` is what a shorter value leaves in the unwritten bytes.
std::optional<DWORD> ReadDword(SettingsPlatform& platform, const WideChar* name, DWORD preset) {
  DWORD type = 0;
  DWORD data = preset;
  if (!platform.QuerySettingValue(name, type, data) || type != REG_DWORD) return std::nullopt;
  return data;
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
  if (!platform.StoreSettingValues(settings.color, settings.outline ? 1 : 0)) {
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

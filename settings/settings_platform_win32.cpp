// The settings logic's platform on Windows: ADVAPI32's registry, the process environment,
// KERNEL32's CreateDirectoryW, the badge icon writer, USER32's message boxes, SHELL32's
// ShellExecuteW.

#include <windows.h>

#include <shellapi.h>

#include "badge/badge.h"
#include "badge/icon_writer.h"
#include "common/unique_handle.h"
#include "settings/settings_store.h"

namespace tarnwick {
namespace {

class Win32SettingsPlatform final : public SettingsPlatform {
 public:
  bool QuerySettingValue(const WideChar* name, DWORD& type, DWORD& data) override {
    UniqueRegKey key;
    if (RegOpenKeyExW(HKEY_CURRENT_USER, kSettingsKeyPath, 0, KEY_READ, key.put()) !=
        ERROR_SUCCESS) {
      return false;
    }
    DWORD size = sizeof(data);
    // A value longer than the buffer gives ERROR_MORE_DATA, and reads as absent.
    return RegQueryValueExW(key.get(), name, nullptr, &type, reinterpret_cast<BYTE*>(&data),
                            &size) == ERROR_SUCCESS;
  }

  bool StoreSettingValues(DWORD color, DWORD outline) override {
    UniqueRegKey key;
    if (RegCreateKeyExW(HKEY_CURRENT_USER, kSettingsKeyPath, 0, nullptr, REG_OPTION_NON_VOLATILE,
                        KEY_WRITE, nullptr, key.put(), nullptr) != ERROR_SUCCESS) {
      return false;
    }
    const bool colorSet = SetDword(key.get(), kBadgeColorValue, color);
    const bool outlineSet = SetDword(key.get(), kBadgeOutlineValue, outline);
    return colorSet && outlineSet;
  }

  DWORD GetEnvironmentValue(const WideChar* name, WideChar* buffer, DWORD capacity) override {
    return GetEnvironmentVariableW(name, buffer, capacity);
  }

  void CreateFolder(const WideChar* path) override { CreateDirectoryW(path, nullptr); }

  bool WriteIcon(const WideChar* path, COLORREF color, bool outline) override {
    return WriteBadgeIcon(path, color, outline, BadgeIconSizes);
  }

  int ShowMessage(HWND owner, const WideChar* text, const WideChar* title, UINT type) override {
    return MessageBoxW(owner, text, title, type);
  }

  void Execute(const WideChar* verb, const WideChar* file, const WideChar* parameters,
               int show) override {
    ShellExecuteW(nullptr, verb, file, parameters, nullptr, show);
  }

 private:
  static bool SetDword(HKEY key, const WideChar* name, DWORD value) {
    return RegSetValueExW(key, name, 0, REG_DWORD, reinterpret_cast<const BYTE*>(&value),
                          sizeof(value)) == ERROR_SUCCESS;
  }
};

}  // namespace

SettingsPlatform& SystemSettingsPlatform() {
  static Win32SettingsPlatform platform;
  return platform;
}

COLORREF ReadBadgeColor() { return ReadBadgeColor(SystemSettingsPlatform()); }

bool ReadBadgeOutline() { return ReadBadgeOutline(SystemSettingsPlatform()); }

void ApplyBadgeSettings(HWND owner) {
  ApplyBadgeSettings(owner, CurrentBadgeSettings(), SystemSettingsPlatform());
}

bool WriteStoredBadgeIcon() { return WriteStoredBadgeIcon(SystemSettingsPlatform()); }

bool WriteDefaultBadgeIcon(const WideChar* path) {
  return WriteDefaultBadgeIcon(path, SystemSettingsPlatform());
}

}  // namespace tarnwick

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
  LONG ReadStoredValue(const WideChar* name, StoredValue& value) override {
    UniqueRegKey key;
    const LONG opened = RegOpenKeyExW(HKEY_CURRENT_USER, kSettingsKeyPath, 0, KEY_READ, key.put());
    if (opened != ERROR_SUCCESS) return opened;
    // Sized first, then read; a value that grew in between is sized again.
    for (;;) {
      DWORD size = 0;
      LONG status = RegQueryValueExW(key.get(), name, nullptr, &value.type, nullptr, &size);
      if (status != ERROR_SUCCESS) return status;
      value.bytes.resize(size);
      status = RegQueryValueExW(key.get(), name, nullptr, &value.type, value.bytes.data(), &size);
      if (status != ERROR_MORE_DATA) {
        value.bytes.resize(size);
        return status;
      }
    }
  }

  bool WriteStoredValue(const WideChar* name, const StoredValue& value) override {
    UniqueRegKey key;
    return RegCreateKeyExW(HKEY_CURRENT_USER, kSettingsKeyPath, 0, nullptr, REG_OPTION_NON_VOLATILE,
                           KEY_WRITE, nullptr, key.put(), nullptr) == ERROR_SUCCESS &&
           RegSetValueExW(key.get(), name, 0, value.type, value.bytes.data(),
                          static_cast<DWORD>(value.bytes.size())) == ERROR_SUCCESS;
  }

  bool RemoveStoredValue(const WideChar* name) override {
    const LONG status = RegDeleteKeyValueW(HKEY_CURRENT_USER, kSettingsKeyPath, name);
    return status == ERROR_SUCCESS || status == ERROR_FILE_NOT_FOUND;
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

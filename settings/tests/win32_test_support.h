#pragma once
// What the Windows tests of the settings program share: scratch folders, the settings key in the
// registry, APPDATA, reference icon bytes, and the real TarnwickSettings.exe as a child process.

#include <windows.h>

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "common/wide.h"

namespace tarnwick::testing {

using Bytes = std::vector<std::uint8_t>;

// A new empty folder under the temporary folder, removed with everything in it when it goes.
class ScratchFolder {
 public:
  explicit ScratchFolder(const wchar_t* tag);
  ScratchFolder(const ScratchFolder&) = delete;
  ScratchFolder& operator=(const ScratchFolder&) = delete;
  ~ScratchFolder();

  const WideString& path() const { return path_; }
  WideString operator/(const WideString& name) const { return path_ + L"\\" + name; }

 private:
  WideString path_;
};

void RemoveTree(const WideString& path);
bool PathExists(const WideString& path);
std::optional<Bytes> ReadFileBytes(const WideString& path);
void WriteFileBytes(const WideString& path, const Bytes& bytes);

// The bytes the icon writer gives for these inputs and the system's sizes.
Bytes ReferenceIcon(COLORREF color, bool outline);

// HKCU\Software\Tarnwick, gone; and its values, set and read back raw.
void DeleteSettingsKey();
void StoreSettingValue(const wchar_t* name, DWORD type, const void* data, DWORD size);
void StoreSettingDword(const wchar_t* name, DWORD value);
std::optional<DWORD> StoredSettingDword(const wchar_t* name);

// Sets APPDATA, or removes it for nullptr, for this process and the children it starts; the old
// value comes back when it goes.
class ScopedAppData {
 public:
  explicit ScopedAppData(const wchar_t* value);
  ScopedAppData(const ScopedAppData&) = delete;
  ScopedAppData& operator=(const ScopedAppData&) = delete;
  ~ScopedAppData();

 private:
  std::optional<WideString> old_;
};

// TarnwickSettings.exe as built, in Windows form.
WideString SettingsProgramPath();

// One run of TarnwickSettings.exe with the given arguments (after the program name). A run still
// going when the object goes is ended, so a failing test leaves nothing behind.
class SettingsProcess {
 public:
  explicit SettingsProcess(const WideString& arguments);
  SettingsProcess(const SettingsProcess&) = delete;
  SettingsProcess& operator=(const SettingsProcess&) = delete;
  ~SettingsProcess();

  bool started() const { return process_ != nullptr; }
  DWORD id() const { return id_; }
  // The exit code, or nothing when the program has not ended within `timeoutMs`.
  std::optional<DWORD> WaitForExit(DWORD timeoutMs);
  // A visible top-level window of this process with the class, waited for up to `timeoutMs`.
  HWND WaitForWindow(const wchar_t* className, DWORD timeoutMs) const;

 private:
  HANDLE process_ = nullptr;
  DWORD id_ = 0;
};

HWND FindProcessWindow(DWORD processId, const wchar_t* className);
WideString WindowText(HWND window);
WideString ClassName(HWND window);

// Polls `condition` every 20 ms until it holds or `timeoutMs` pass; the last answer.
template <class Condition>
bool WaitUntil(Condition condition, DWORD timeoutMs) {
  const ULONGLONG end = GetTickCount64() + timeoutMs;
  while (!condition()) {
    if (GetTickCount64() >= end) return condition();
    Sleep(20);
  }
  return true;
}

}  // namespace tarnwick::testing

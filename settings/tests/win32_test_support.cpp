#include "settings/tests/win32_test_support.h"

#include <gtest/gtest.h>

#include <atomic>
#include <cstdio>

#include "badge/badge.h"
#include "badge/icon_writer.h"
#include "common/unique_handle.h"
#include "settings/settings_store.h"

namespace tarnwick::testing {
namespace {

std::atomic<int> scratchCount{0};

}  // namespace

ScratchFolder::ScratchFolder(const wchar_t* tag) {
  wchar_t temp[MAX_PATH];
  GetTempPathW(MAX_PATH, temp);
  path_ = WideString(temp) + L"tarnwick-" + tag + L"-" + std::to_wstring(GetCurrentProcessId()) +
          L"-" + std::to_wstring(++scratchCount);
  RemoveTree(path_);
  EXPECT_TRUE(CreateDirectoryW(path_.c_str(), nullptr)) << GetLastError();
}

ScratchFolder::~ScratchFolder() { RemoveTree(path_); }

void RemoveTree(const WideString& path) {
  WIN32_FIND_DATAW entry;
  const HANDLE find = FindFirstFileW((path + L"\\*").c_str(), &entry);
  if (find != INVALID_HANDLE_VALUE) {
    do {
      const WideString name = entry.cFileName;
      if (name == L"." || name == L"..") continue;
      const WideString child = path + L"\\" + name;
      SetFileAttributesW(child.c_str(), FILE_ATTRIBUTE_NORMAL);
      if (entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
        RemoveTree(child);
      } else {
        DeleteFileW(child.c_str());
      }
    } while (FindNextFileW(find, &entry));
    FindClose(find);
  }
  RemoveDirectoryW(path.c_str());
}

bool PathExists(const WideString& path) {
  return GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

std::optional<Bytes> ReadFileBytes(const WideString& path) {
  FILE* file = _wfopen(path.c_str(), L"rb");
  if (file == nullptr) return std::nullopt;
  Bytes bytes;
  std::uint8_t chunk[4096];
  for (std::size_t got; (got = std::fread(chunk, 1, sizeof(chunk), file)) > 0;) {
    bytes.insert(bytes.end(), chunk, chunk + got);
  }
  std::fclose(file);
  return bytes;
}

void WriteFileBytes(const WideString& path, const Bytes& bytes) {
  FILE* file = _wfopen(path.c_str(), L"wb");
  ASSERT_NE(file, nullptr);
  std::fwrite(bytes.data(), 1, bytes.size(), file);
  std::fclose(file);
}

Bytes ReferenceIcon(COLORREF color, bool outline) {
  ScratchFolder folder(L"reference");
  const WideString path = folder / L"reference.ico";
  EXPECT_TRUE(WriteBadgeIcon(path.c_str(), color, outline, BadgeIconSizes));
  return ReadFileBytes(path).value_or(Bytes());
}

void DeleteSettingsKey() {
  const LSTATUS status = RegDeleteTreeW(HKEY_CURRENT_USER, kSettingsKeyPath);
  ASSERT_TRUE(status == ERROR_SUCCESS || status == ERROR_FILE_NOT_FOUND) << status;
}

void StoreSettingValue(const wchar_t* name, DWORD type, const void* data, DWORD size) {
  UniqueRegKey key;
  ASSERT_EQ(RegCreateKeyExW(HKEY_CURRENT_USER, kSettingsKeyPath, 0, nullptr, 0, KEY_WRITE, nullptr,
                            key.put(), nullptr),
            ERROR_SUCCESS);
  ASSERT_EQ(RegSetValueExW(key.get(), name, 0, type, static_cast<const BYTE*>(data), size),
            ERROR_SUCCESS);
}

void StoreSettingDword(const wchar_t* name, DWORD value) {
  StoreSettingValue(name, REG_DWORD, &value, sizeof(value));
}

std::optional<DWORD> StoredSettingDword(const wchar_t* name) {
  DWORD value = 0;
  DWORD size = sizeof(value);
  if (RegGetValueW(HKEY_CURRENT_USER, kSettingsKeyPath, name, RRF_RT_REG_DWORD, nullptr, &value,
                   &size) != ERROR_SUCCESS) {
    return std::nullopt;
  }
  return value;
}

ScopedAppData::ScopedAppData(const wchar_t* value) {
  wchar_t old[32768];
  const DWORD length = GetEnvironmentVariableW(L"APPDATA", old, 32768);
  if (length > 0 && length < 32768) old_ = WideString(old, length);
  SetEnvironmentVariableW(L"APPDATA", value);
}

ScopedAppData::~ScopedAppData() {
  SetEnvironmentVariableW(L"APPDATA", old_ ? old_->c_str() : nullptr);
}

WideString SettingsProgramPath() {
  // CMake gives the build tree's Unix path; Wine shows the Unix root as drive Z:.
  WideString path = L"Z:" + WideFromUtf8(TARNWICK_SETTINGS_EXE);
  for (wchar_t& unit : path) {
    if (unit == L'/') unit = L'\\';
  }
  return path;
}

SettingsProcess::SettingsProcess(const WideString& arguments) {
  const WideString program = SettingsProgramPath();
  WideString commandLine = L"\"" + program + L"\"";
  if (!arguments.empty()) commandLine += L" " + arguments;
  STARTUPINFOW startup = {};
  startup.cb = sizeof(startup);
  PROCESS_INFORMATION info = {};
  if (!CreateProcessW(program.c_str(), commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr,
                      nullptr, &startup, &info)) {
    ADD_FAILURE() << "cannot start " << Utf8FromWide(program) << ": " << GetLastError();
    return;
  }
  CloseHandle(info.hThread);
  process_ = info.hProcess;
  id_ = info.dwProcessId;
}

SettingsProcess::~SettingsProcess() {
  if (process_ == nullptr) return;
  if (WaitForSingleObject(process_, 0) == WAIT_TIMEOUT) {
    TerminateProcess(process_, 99);
    WaitForSingleObject(process_, 5000);
  }
  CloseHandle(process_);
}

std::optional<DWORD> SettingsProcess::WaitForExit(DWORD timeoutMs) {
  if (process_ == nullptr || WaitForSingleObject(process_, timeoutMs) != WAIT_OBJECT_0) {
    return std::nullopt;
  }
  DWORD code = 0;
  GetExitCodeProcess(process_, &code);
  return code;
}

HWND SettingsProcess::WaitForWindow(const wchar_t* className, DWORD timeoutMs) const {
  HWND found = nullptr;
  WaitUntil([&] { return (found = FindProcessWindow(id_, className)) != nullptr; }, timeoutMs);
  return found;
}

HWND FindProcessWindow(DWORD processId, const wchar_t* className) {
  struct Search {
    DWORD processId;
    const wchar_t* className;
    HWND found;
  } search = {processId, className, nullptr};
  EnumWindows(
      [](HWND window, LPARAM context) -> BOOL {
        auto& s = *reinterpret_cast<Search*>(context);
        DWORD owner = 0;
        GetWindowThreadProcessId(window, &owner);
        if (owner != s.processId || !IsWindowVisible(window) || ClassName(window) != s.className) {
          return TRUE;
        }
        s.found = window;
        return FALSE;
      },
      reinterpret_cast<LPARAM>(&search));
  return search.found;
}

WideString WindowText(HWND window) {
  wchar_t text[1024] = {};
  // WM_GETTEXT rather than GetWindowTextW: the window belongs to another process.
  SendMessageTimeoutW(window, WM_GETTEXT, 1024, reinterpret_cast<LPARAM>(text), SMTO_ABORTIFHUNG,
                      5000, nullptr);
  return text;
}

WideString ClassName(HWND window) {
  wchar_t name[256] = {};
  GetClassNameW(window, name, 256);
  return name;
}

}  // namespace tarnwick::testing

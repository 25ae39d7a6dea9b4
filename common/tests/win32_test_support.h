#pragma once
// What the Windows test programs need around the product: programs, registry, paths, COM pointers
// and scoped environment changes. The rest of it is in the library tarnwick_win32_test_support.

#include <windows.h>

#include <cstdint>
#include <cstdlib>
#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace tarnwick::testing {

// A path the build passes in an environment variable. Under Wine a Linux path is drive Z:.
inline std::wstring WindowsPathFromEnvironment(const char* variable) {
  const char* path = std::getenv(variable);
  if (path == nullptr) return {};
  std::wstring windows = path[0] == '/' ? L"Z:" : L"";
  for (const char* c = path; *c != 0; ++c) {
    windows.push_back(*c == '/' ? L'\\' : static_cast<wchar_t>(*c));
  }
  return windows;
}

// Runs a command line and waits for it; 0xFFFFFFFF when it could not start or did not end.
inline DWORD RunAndWait(const std::wstring& commandLine, DWORD timeoutMs = 60000) {
  std::wstring mutableLine = commandLine;
  STARTUPINFOW startup{};
  startup.cb = sizeof(startup);
  PROCESS_INFORMATION process{};
  if (!CreateProcessW(nullptr, mutableLine.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                      &startup, &process)) {
    return 0xFFFFFFFF;
  }
  DWORD exitCode = 0xFFFFFFFF;
  if (WaitForSingleObject(process.hProcess, timeoutMs) == WAIT_OBJECT_0) {
    GetExitCodeProcess(process.hProcess, &exitCode);
  }
  CloseHandle(process.hThread);
  CloseHandle(process.hProcess);
  return exitCode;
}

struct RegistryString {
  LONG status = ERROR_FILE_NOT_FOUND;
  DWORD type = 0;
  DWORD bytes = 0;
  std::wstring text;
};

// `view` is 0 for the program's own registry view, or KEY_WOW64_32KEY / KEY_WOW64_64KEY.
inline RegistryString ReadRegistryString(HKEY hive, const std::wstring& key, const wchar_t* name,
                                         REGSAM view = 0) {
  RegistryString result;
  HKEY opened = nullptr;
  result.status = RegOpenKeyExW(hive, key.c_str(), 0, KEY_READ | view, &opened);
  if (result.status != ERROR_SUCCESS) return result;
  wchar_t buffer[1024] = {};
  result.bytes = sizeof(buffer) - sizeof(wchar_t);
  result.status = RegQueryValueExW(opened, name, nullptr, &result.type,
                                   reinterpret_cast<BYTE*>(buffer), &result.bytes);
  RegCloseKey(opened);
  result.text = buffer;
  return result;
}

inline bool RegistryKeyExists(HKEY hive, const std::wstring& key, REGSAM view = 0) {
  HKEY opened = nullptr;
  if (RegOpenKeyExW(hive, key.c_str(), 0, KEY_READ | view, &opened) != ERROR_SUCCESS) return false;
  RegCloseKey(opened);
  return true;
}

inline bool FileExists(const std::wstring& path) {
  return GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

template <class T>
class ComPtr {
 public:
  ComPtr() = default;
  ComPtr(const ComPtr&) = delete;
  ComPtr& operator=(const ComPtr&) = delete;
  ~ComPtr() { reset(); }
  T* get() const { return pointer_; }
  T* operator->() const { return pointer_; }
  void** put() {
    reset();
    return reinterpret_cast<void**>(&pointer_);
  }
  void reset() {
    if (pointer_ != nullptr) pointer_->Release();
    pointer_ = nullptr;
  }
  T* release() { return std::exchange(pointer_, nullptr); }

 private:
  T* pointer_ = nullptr;
};

// Sets (or, with null, removes) a variable of this process until the end of the scope.
class ScopedEnvironmentVariable {
 public:
  ScopedEnvironmentVariable(const wchar_t* name, const wchar_t* value) : name_(name) {
    std::wstring old(32768, L'\0');
    const DWORD length = GetEnvironmentVariableW(name, old.data(), 32768);
    if (length > 0 && length < 32768) old_ = old.c_str();
    SetEnvironmentVariableW(name, value);
  }
  ScopedEnvironmentVariable(const ScopedEnvironmentVariable&) = delete;
  ScopedEnvironmentVariable& operator=(const ScopedEnvironmentVariable&) = delete;
  ~ScopedEnvironmentVariable() {
    SetEnvironmentVariableW(name_.c_str(), old_ ? old_->c_str() : nullptr);
  }

 private:
  std::wstring name_;
  std::optional<std::wstring> old_;
};

// A new empty folder under the temporary folder, removed with everything in it when it goes.
class ScratchFolder {
 public:
  explicit ScratchFolder(const wchar_t* tag);
  ScratchFolder(const ScratchFolder&) = delete;
  ScratchFolder& operator=(const ScratchFolder&) = delete;
  ~ScratchFolder();

  const std::wstring& path() const { return path_; }
  std::wstring operator/(const std::wstring& name) const { return path_ + L"\\" + name; }

 private:
  std::wstring path_;
};

void RemoveTree(const std::wstring& path);

using Bytes = std::vector<std::uint8_t>;
std::optional<Bytes> ReadFileBytes(const std::wstring& path);

void DeleteRegistryTree(HKEY hive, const std::wstring& key);
std::optional<DWORD> ReadRegistryDword(HKEY hive, const std::wstring& key, const wchar_t* name);

std::wstring ProgramBesideThisOne(const wchar_t* name);

// One run of a program. One still running when the object goes is ended, so a failing test
// leaves nothing behind.
class ChildProcess {
 public:
  ChildProcess(const std::wstring& program, const std::wstring& arguments);
  ChildProcess(const ChildProcess&) = delete;
  ChildProcess& operator=(const ChildProcess&) = delete;
  ~ChildProcess();

  DWORD id() const { return id_; }
  // The exit code, or nothing when the program has not ended within `timeoutMs`.
  std::optional<DWORD> WaitForExit(DWORD timeoutMs);
  // A visible top-level window of the process with this class; null when none came in time or
  // the process ended first.
  HWND WaitForWindow(const wchar_t* className, DWORD timeoutMs) const;

 private:
  HANDLE process_ = nullptr;
  DWORD id_ = 0;
};

HWND FindProcessWindow(DWORD processId, const wchar_t* className);
// Through WM_GETTEXT, so it reads controls of other processes too.
std::wstring WindowText(HWND window);
std::wstring ClassName(HWND window);
// A message box's text is its Static child with text; the other Static holds the icon.
std::wstring MessageBoxText(HWND box);

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

#pragma once
// What the Windows test programs need around the product: starting programs and waiting for
// them, reading the registry back, build paths, COM pointers and scoped environment changes.

#include <windows.h>

#include <cstdlib>
#include <string>
#include <utility>

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

inline RegistryString ReadRegistryString(HKEY hive, const std::wstring& key, const wchar_t* name) {
  RegistryString result;
  HKEY opened = nullptr;
  result.status = RegOpenKeyExW(hive, key.c_str(), 0, KEY_READ, &opened);
  if (result.status != ERROR_SUCCESS) return result;
  wchar_t buffer[1024] = {};
  result.bytes = sizeof(buffer) - sizeof(wchar_t);
  result.status = RegQueryValueExW(opened, name, nullptr, &result.type,
                                   reinterpret_cast<BYTE*>(buffer), &result.bytes);
  RegCloseKey(opened);
  result.text = buffer;
  return result;
}

inline bool RegistryKeyExists(HKEY hive, const std::wstring& key) {
  HKEY opened = nullptr;
  if (RegOpenKeyExW(hive, key.c_str(), 0, KEY_READ, &opened) != ERROR_SUCCESS) return false;
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
    hadValue_ = length > 0 && length < 32768;
    if (hadValue_) old_ = old.c_str();
    SetEnvironmentVariableW(name, value);
  }
  ScopedEnvironmentVariable(const ScopedEnvironmentVariable&) = delete;
  ScopedEnvironmentVariable& operator=(const ScopedEnvironmentVariable&) = delete;
  ~ScopedEnvironmentVariable() {
    SetEnvironmentVariableW(name_.c_str(), hadValue_ ? old_.c_str() : nullptr);
  }

 private:
  std::wstring name_;
  std::wstring old_;
  bool hadValue_ = false;
};

}  // namespace tarnwick::testing

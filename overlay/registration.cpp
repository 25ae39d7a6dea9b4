#include "overlay/registration.h"

#include <string>

#include "overlay/class_factory.h"
#include "overlay/module_state.h"

namespace tarnwick {
namespace {

constexpr DWORD kPathUnits = 260;

struct ClassIdKeys {
  wchar_t classId[64];
  std::wstring classKey;         // CLSID\{...}
  std::wstring inProcServerKey;  // CLSID\{...}\InProcServer32
  std::wstring overlayKey;       // ...\ShellIconOverlayIdentifiers\  Tarnwick
};

ClassIdKeys MakeKeys() {
  ClassIdKeys keys;
  StringFromGUID2(CLSID_TarnwickOverlay, keys.classId, 64);
  keys.classKey = std::wstring(L"CLSID\\") + keys.classId;
  keys.inProcServerKey = keys.classKey + L"\\InProcServer32";
  keys.overlayKey = std::wstring(kOverlayIdentifiersKey) + L"\\" + kOverlayRegistrationName;
  return keys;
}

struct RegistryValue {
  HKEY hive;
  const std::wstring& key;
  const wchar_t* name;
  const wchar_t* data;
};

}  // namespace

HRESULT SetRegistryString(HKEY hive, const wchar_t* keyPath, const wchar_t* valueName,
                          const wchar_t* text) noexcept {
  HKEY key = nullptr;
  const LONG created = RegCreateKeyExW(hive, keyPath, 0, nullptr, REG_OPTION_NON_VOLATILE,
                                       KEY_WRITE, nullptr, &key, nullptr);
  if (created != ERROR_SUCCESS) return HRESULT_FROM_WIN32(created);
  const DWORD bytes = static_cast<DWORD>((wcslen(text) + 1) * sizeof(wchar_t));
  const LONG stored =
      RegSetValueExW(key, valueName, 0, REG_SZ, reinterpret_cast<const BYTE*>(text), bytes);
  RegCloseKey(key);
  return HRESULT_FROM_WIN32(stored);
}

HRESULT RegisterOverlayServer() noexcept {
  try {
    const ClassIdKeys keys = MakeKeys();
    wchar_t modulePath[kPathUnits];
    const DWORD pathUnits = GetModuleFileNameW(ModuleHandle(), modulePath, kPathUnits);
    // A path the system had to cut short would register a file that does not exist and call it
    // success: refuse before writing anything.
    if (pathUnits == 0) {
      const DWORD error = GetLastError();
      return error != ERROR_SUCCESS ? HRESULT_FROM_WIN32(error) : E_FAIL;
    }
    if (pathUnits >= kPathUnits) return HRESULT_FROM_WIN32(ERROR_INSUFFICIENT_BUFFER);

    const RegistryValue values[] = {
        {HKEY_CLASSES_ROOT, keys.classKey, nullptr, L"Tarnwick Overlay"},
        {HKEY_CLASSES_ROOT, keys.inProcServerKey, nullptr, modulePath},
        {HKEY_CLASSES_ROOT, keys.inProcServerKey, L"ThreadingModel", L"Apartment"},
        {HKEY_LOCAL_MACHINE, keys.overlayKey, nullptr, keys.classId},
    };
    // The first refused write ends registration; what was written before it stays.
    for (const RegistryValue& value : values) {
      const HRESULT result =
          SetRegistryString(value.hive, value.key.c_str(), value.name, value.data);
      if (FAILED(result)) return result;
    }
    return S_OK;
  } catch (...) {
    return E_OUTOFMEMORY;
  }
}

HRESULT UnregisterOverlayServer() noexcept {
  try {
    const ClassIdKeys keys = MakeKeys();
    // Missing or protected keys are no reason to fail: unregistering always succeeds.
    RegDeleteTreeW(HKEY_CLASSES_ROOT, keys.classKey.c_str());
    RegDeleteTreeW(HKEY_LOCAL_MACHINE, keys.overlayKey.c_str());
  } catch (...) {
  }
  return S_OK;
}

}  // namespace tarnwick

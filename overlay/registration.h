#pragma once
// The registry entries that make Explorer load the overlay, written by DllRegisterServer and
// removed by DllUnregisterServer.

#include <windows.h>

namespace tarnwick {

// The overlay's name under ShellIconOverlayIdentifiers. Explorer gives its 15 slots in the
// ordinal order of these names, so the two leading spaces move the badge up the list.
inline constexpr wchar_t kOverlayRegistrationName[] = L"  Tarnwick";
inline constexpr wchar_t kOverlayIdentifiersKey[] =
    L"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Explorer\\ShellIconOverlayIdentifiers";

// Creates or opens the key, stores `text` as REG_SZ with its NUL (2n + 2 bytes). `valueName`
// null is the key's default value.
HRESULT SetRegistryString(HKEY hive, const wchar_t* keyPath, const wchar_t* valueName,
                          const wchar_t* text) noexcept;

HRESULT RegisterOverlayServer() noexcept;
HRESULT UnregisterOverlayServer() noexcept;

}  // namespace tarnwick

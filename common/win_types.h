#pragma once
// The Windows vocabulary the platform-neutral code speaks. On Windows it is <windows.h> itself;
// the native build defines the few names it uses with the values Windows gives them.

#include <cstdint>

#if defined(_WIN32)
#include <windows.h>
#else
using HRESULT = std::int32_t;
using DWORD = std::uint32_t;
using COLORREF = std::uint32_t;

inline constexpr HRESULT S_OK = 0;
inline constexpr HRESULT S_FALSE = 1;

inline constexpr DWORD DRIVE_UNKNOWN = 0;
inline constexpr DWORD DRIVE_NO_ROOT_DIR = 1;
inline constexpr DWORD DRIVE_REMOVABLE = 2;
inline constexpr DWORD DRIVE_FIXED = 3;
inline constexpr DWORD DRIVE_REMOTE = 4;
inline constexpr DWORD DRIVE_CDROM = 5;
inline constexpr DWORD DRIVE_RAMDISK = 6;

inline constexpr DWORD FILE_ATTRIBUTE_DIRECTORY = 0x10;
inline constexpr DWORD INVALID_FILE_ATTRIBUTES = 0xFFFFFFFF;
#endif

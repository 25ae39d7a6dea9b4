#pragma once
// The Windows names the settings program's portable logic speaks, beyond common/win_types.h. On
// Windows they come from <windows.h>; the native build defines them with the values Windows gives.

#include "common/win_types.h"

#if !defined(_WIN32)
struct HWND__;
using HWND = HWND__*;
using UINT = std::uint32_t;

inline constexpr DWORD REG_SZ = 1;
inline constexpr DWORD REG_BINARY = 3;
inline constexpr DWORD REG_DWORD = 4;

inline constexpr UINT MB_OK = 0x0;
inline constexpr UINT MB_YESNO = 0x4;
inline constexpr UINT MB_ICONERROR = 0x10;
inline constexpr UINT MB_ICONQUESTION = 0x20;

inline constexpr int IDOK = 1;
inline constexpr int IDYES = 6;
inline constexpr int IDNO = 7;

inline constexpr int SW_HIDE = 0;
#endif

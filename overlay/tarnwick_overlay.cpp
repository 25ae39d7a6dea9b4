#include "overlay/tarnwick_overlay.h"

#include <cwchar>

#include "overlay/folder_marking_platform.h"

namespace tarnwick {
namespace {

constexpr DWORD kPathUnits = 260;
constexpr wchar_t kIconFileSuffix[] = L"\\Tarnwick\\badge.ico";
constexpr DWORD kIconFileSuffixUnits = sizeof(kIconFileSuffix) / sizeof(wchar_t) - 1;

// "%APPDATA%\Tarnwick\badge.ico" into `path` (260 units); false when APPDATA is unset, empty or
// too long for the result to fit. The value is copied as data, never used as a format.
bool ComposeUserIconPath(wchar_t (&path)[kPathUnits], DWORD& length) {
  wchar_t appData[kPathUnits];
  const DWORD appDataUnits = GetEnvironmentVariableW(L"APPDATA", appData, kPathUnits);
  if (appDataUnits < 1 || appDataUnits > kPathUnits - 1) return false;
  if (appDataUnits + kIconFileSuffixUnits + 1 > kPathUnits) return false;
  wmemcpy(path, appData, appDataUnits);
  wmemcpy(path + appDataUnits, kIconFileSuffix, kIconFileSuffixUnits + 1);
  length = appDataUnits + kIconFileSuffixUnits;
  return true;
}

}  // namespace

HRESULT TarnwickOverlay::QueryInterface(REFIID iid, void** object) noexcept {
  if (object == nullptr) return E_POINTER;
  if (IsEqualIID(iid, IID_IUnknown) || IsEqualIID(iid, IID_IShellIconOverlayIdentifier)) {
    *object = static_cast<IShellIconOverlayIdentifier*>(this);
    AddRef();
    return S_OK;
  }
  *object = nullptr;
  return E_NOINTERFACE;
}

HRESULT TarnwickOverlay::IsMemberOf(LPCWSTR path, DWORD) noexcept {
  // Explorer's attribute bits are ignored: the file system is always asked.
  return DecideMembership(path, SystemFolderMarkingPlatform(), ProcessFolderClassificationCache());
}

// The user's badge.ico when it exists and fits; otherwise the DLL itself, whose first icon group
// is the built-in badge. Explorer reads this once, when it starts.
HRESULT TarnwickOverlay::GetOverlayInfo(LPWSTR iconFile, int capacity, int* index,
                                        DWORD* flags) noexcept {
  if (iconFile == nullptr || index == nullptr || flags == nullptr) return E_POINTER;
  if (capacity <= 0) return E_FAIL;
  const DWORD units = static_cast<DWORD>(capacity);

  wchar_t userIcon[kPathUnits];
  DWORD userIconLength = 0;
  // Any attributes count as present: a folder named badge.ico is named to Explorer as well.
  if (ComposeUserIconPath(userIcon, userIconLength) &&
      GetFileAttributesW(userIcon) != INVALID_FILE_ATTRIBUTES && userIconLength < units) {
    wmemcpy(iconFile, userIcon, userIconLength + 1);
  } else {
    const DWORD written = GetModuleFileNameW(ModuleHandle(), iconFile, units);
    // A path cut short to the capacity names no file; Explorer is better told nothing.
    if (written == 0 || written >= units) return E_FAIL;
  }
  *index = 0;
  *flags = ISIOI_ICONFILE | ISIOI_ICONINDEX;
  return S_OK;
}

HRESULT TarnwickOverlay::GetPriority(int* priority) noexcept {
  if (priority == nullptr) return E_POINTER;
  *priority = kPriority;
  return S_OK;
}

}  // namespace tarnwick

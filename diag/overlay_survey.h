#pragma once
// Which overlay handlers the machine registers for Explorer, in the order Explorer consults them,
// and where the badge handler stands among them. Only the reading touches the registry, through
// OverlayIdentifierKey; ordering, matching and slot arithmetic are plain logic on a list of names.

#include <cstdint>
#include <vector>

#include "common/wide.h"
#include "common/win_types.h"

#if defined(_WIN32)
#include "common/unique_handle.h"
#endif

namespace tarnwick {

// Explorer honours this many overlay handlers, all vendors together; the rest show nothing.
inline constexpr int OverlaySlotCount = 15;

// The subkey name the overlay DLL registers itself under. The two spaces are there to sort it
// early among the handlers.
inline constexpr WideStringView kOwnOverlayName = WIDE("  Tarnwick");

inline constexpr WideStringView kOverlayIdentifiersKeyPath =
    WIDE("SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Explorer\\ShellIconOverlayIdentifiers");

// Registry key names are at most 255 characters, so a name never comes back cut.
inline constexpr DWORD kOverlayNameCapacity = 512;

// The registry key "ShellIconOverlayIdentifiers" of HKEY_LOCAL_MACHINE, as three calls. The product
// uses ADVAPI32; tests use fakes that hold a list of names and fail where they are told to.
class OverlayIdentifierKey {
 public:
  virtual ~OverlayIdentifierKey() = default;

  // RegOpenKeyExW(HKEY_LOCAL_MACHINE, path, 0, KEY_READ): the native view, the one the 64-bit
  // Explorer reads.
  virtual LONG Open() = 0;
  // RegEnumKeyExW on the open key. `capacity` is in units, terminator included, on the way in and
  // is overwritten by the call.
  virtual LONG EnumerateSubkey(DWORD index, WideChar* name, DWORD* capacity) = 0;
  // RegCloseKey; only after a successful Open.
  virtual void Close() = 0;
};

// The names of the key's immediate subkeys, in the registry's order, unfiltered and untrimmed.
// False when the key cannot be opened, and also when the enumeration breaks off with anything but
// ERROR_NO_MORE_ITEMS: a partial list would report the badge handler's place wrongly.
bool ReadOverlayIdentifierNames(OverlayIdentifierKey& key, std::vector<WideString>& names);

// Ordinal order of the UTF-16 units as unsigned numbers, a prefix first: the order Explorer
// gives the handlers' slots. No case folding, no locale.
bool PrecedesInExplorerOrder(WideStringView left, WideStringView right);
void SortInExplorerOrder(std::vector<WideString>& names);

// Exactly "  Tarnwick": same length, same units.
bool IsOwnOverlayName(WideStringView name);

// 1-based position of the first own name in the sorted list, or -1.
std::int32_t FindOwnOverlayPosition(const std::vector<WideString>& sortedNames);

struct OverlaySurvey {
  std::vector<WideString> names;  // sorted by SortInExplorerOrder
  std::int32_t ownPosition;       // 1-based, -1 when not registered
};

// Sorts the names and only then looks for the own entry.
OverlaySurvey SurveyOverlays(std::vector<WideString> names);

#if defined(_WIN32)
class Win32OverlayIdentifierKey final : public OverlayIdentifierKey {
 public:
  LONG Open() override;
  LONG EnumerateSubkey(DWORD index, WideChar* name, DWORD* capacity) override;
  void Close() override;

 private:
  UniqueRegKey key_;
};
#endif

}  // namespace tarnwick

#include "diag/overlay_survey.h"

#include <algorithm>
#include <cstdint>
#include <utility>

namespace tarnwick {

bool ReadOverlayIdentifierNames(OverlayIdentifierKey& key, std::vector<WideString>& names) {
  names.clear();
  if (key.Open() != ERROR_SUCCESS) return false;

  // Closes the key however the enumeration ends, an allocation failure included.
  struct Closer {
    OverlayIdentifierKey& key;
    ~Closer() { key.Close(); }
  } closer{key};

  WideChar name[kOverlayNameCapacity];
  for (DWORD index = 0;; ++index) {
    // RegEnumKeyExW leaves the name's length in the capacity; left alone, the next call would
    // refuse every name longer than the one before.
    DWORD capacity = kOverlayNameCapacity;
    const LONG status = key.EnumerateSubkey(index, name, &capacity);
    if (status == ERROR_NO_MORE_ITEMS) return true;
    if (status != ERROR_SUCCESS) {
      names.clear();
      return false;
    }
    // Up to the terminator, and never past the buffer whatever the call left in it.
    names.emplace_back(name, std::find(name, name + kOverlayNameCapacity, WideChar{0}));
  }
}

bool PrecedesInExplorerOrder(WideStringView left, WideStringView right) {
  // Spelled out rather than left to char_traits: the units must compare as unsigned 16-bit
  // numbers whatever WideChar is.
  return std::lexicographical_compare(
      left.begin(), left.end(), right.begin(), right.end(), [](WideChar a, WideChar b) {
        return static_cast<std::uint16_t>(a) < static_cast<std::uint16_t>(b);
      });
}

void SortInExplorerOrder(std::vector<WideString>& names) {
  // Subkey names are unique even ignoring case, so the order is total and stability is moot.
  std::sort(names.begin(), names.end(), [](const WideString& left, const WideString& right) {
    return PrecedesInExplorerOrder(left, right);
  });
}

bool IsOwnOverlayName(WideStringView name) { return name == kOwnOverlayName; }

std::int32_t FindOwnOverlayPosition(const std::vector<WideString>& sortedNames) {
  const auto found = std::find_if(sortedNames.begin(), sortedNames.end(),
                                  [](const WideString& name) { return IsOwnOverlayName(name); });
  if (found == sortedNames.end()) return -1;
  return static_cast<std::int32_t>(found - sortedNames.begin()) + 1;
}

OverlaySurvey SurveyOverlays(std::vector<WideString> names) {
  SortInExplorerOrder(names);
  const std::int32_t position = FindOwnOverlayPosition(names);
  return OverlaySurvey{std::move(names), position};
}

}  // namespace tarnwick

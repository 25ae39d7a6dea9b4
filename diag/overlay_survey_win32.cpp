#include "diag/overlay_survey.h"

namespace tarnwick {

LONG Win32OverlayIdentifierKey::Open() {
  // No KEY_WOW64_64KEY: the program is 64-bit, so this already is the view Explorer reads.
  return RegOpenKeyExW(HKEY_LOCAL_MACHINE, WideString(kOverlayIdentifiersKeyPath).c_str(), 0,
                       KEY_READ, key_.put());
}

LONG Win32OverlayIdentifierKey::EnumerateSubkey(DWORD index, WideChar* name, DWORD* capacity) {
  return RegEnumKeyExW(key_.get(), index, name, capacity, nullptr, nullptr, nullptr, nullptr);
}

void Win32OverlayIdentifierKey::Close() { key_.reset(); }

}  // namespace tarnwick

#pragma once
// The overlay identifiers key in memory. Behaves as RegEnumKeyExW does: a capacity too small for
// the name and its terminator gives ERROR_MORE_DATA, and the capacity comes back holding the
// name's length. Fails where told to, and records what the reader asked.

#include <vector>

#include "diag/overlay_survey.h"

namespace tarnwick::testing {

class FakeOverlayIdentifierKey final : public OverlayIdentifierKey {
 public:
  FakeOverlayIdentifierKey() = default;
  explicit FakeOverlayIdentifierKey(std::vector<WideString> subkeys) : names(std::move(subkeys)) {}

  LONG Open() override {
    ++openCalls;
    if (openStatus == ERROR_SUCCESS) isOpen = true;
    return openStatus;
  }

  LONG EnumerateSubkey(DWORD index, WideChar* name, DWORD* capacity) override {
    if (!isOpen) return ERROR_ACCESS_DENIED;
    capacities.push_back(*capacity);
    if (index == failAtIndex) return failStatus;
    if (index >= names.size()) return ERROR_NO_MORE_ITEMS;
    const WideString& subkey = names[index];
    if (*capacity < subkey.size() + 1) return ERROR_MORE_DATA;
    subkey.copy(name, subkey.size());
    name[subkey.size()] = 0;
    *capacity = static_cast<DWORD>(subkey.size());
    return ERROR_SUCCESS;
  }

  void Close() override {
    ++closeCalls;
    isOpen = false;
  }

  std::vector<WideString> names;
  LONG openStatus = ERROR_SUCCESS;
  DWORD failAtIndex = 0xFFFFFFFF;
  LONG failStatus = ERROR_SUCCESS;

  bool isOpen = false;
  int openCalls = 0;
  int closeCalls = 0;
  std::vector<DWORD> capacities;
};

}  // namespace tarnwick::testing

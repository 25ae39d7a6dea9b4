#pragma once
// The COM object Explorer asks whether a folder gets the badge and where the badge's icon lies.

#include <windows.h>
#include <shlobj.h>

#include "overlay/module_state.h"

namespace tarnwick {

class TarnwickOverlay final
    : public RefCountedObject<TarnwickOverlay, IShellIconOverlayIdentifier> {
 public:
  static constexpr int kPriority = 50;

  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** object) noexcept override;
  HRESULT STDMETHODCALLTYPE IsMemberOf(LPCWSTR path, DWORD attributes) noexcept override;
  HRESULT STDMETHODCALLTYPE GetOverlayInfo(LPWSTR iconFile, int capacity, int* index,
                                           DWORD* flags) noexcept override;
  HRESULT STDMETHODCALLTYPE GetPriority(int* priority) noexcept override;
};

}  // namespace tarnwick

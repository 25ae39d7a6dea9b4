#pragma once
// The class object COM asks for TarnwickOverlay instances.

#include <windows.h>
#include <unknwn.h>

#include "overlay/module_state.h"

namespace tarnwick {

// {493A8F22-3B3F-43E4-BF53-725A89A44434}, the one class of the DLL.
inline constexpr CLSID CLSID_TarnwickOverlay = {
    0x493a8f22, 0x3b3f, 0x43e4, {0xbf, 0x53, 0x72, 0x5a, 0x89, 0xa4, 0x44, 0x34}};

class ClassFactory final : public RefCountedObject<ClassFactory, IClassFactory> {
 public:
  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** object) noexcept override;
  HRESULT STDMETHODCALLTYPE CreateInstance(IUnknown* outer, REFIID iid,
                                           void** object) noexcept override;
  HRESULT STDMETHODCALLTYPE LockServer(BOOL lock) noexcept override;
};

}  // namespace tarnwick

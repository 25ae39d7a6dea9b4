#include "overlay/class_factory.h"

#include <new>

#include "overlay/tarnwick_overlay.h"

namespace tarnwick {

HRESULT ClassFactory::QueryInterface(REFIID iid, void** object) noexcept {
  if (object == nullptr) return E_POINTER;
  if (IsEqualIID(iid, IID_IUnknown) || IsEqualIID(iid, IID_IClassFactory)) {
    *object = static_cast<IClassFactory*>(this);
    AddRef();
    return S_OK;
  }
  *object = nullptr;
  return E_NOINTERFACE;
}

HRESULT ClassFactory::CreateInstance(IUnknown* outer, REFIID iid, void** object) noexcept {
  if (outer != nullptr) return CLASS_E_NOAGGREGATION;
  auto* overlay = new (std::nothrow) TarnwickOverlay();
  if (overlay == nullptr) return E_OUTOFMEMORY;
  // The caller ends up with the only reference, or with nothing and the object gone.
  const HRESULT result = overlay->QueryInterface(iid, object);
  overlay->Release();
  return result;
}

HRESULT ClassFactory::LockServer(BOOL lock) noexcept {
  if (lock) {
    AcquireModuleUnit();
  } else {
    ReleaseModuleUnit();
  }
  return S_OK;
}

}  // namespace tarnwick

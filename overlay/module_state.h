#pragma once
// What the DLL knows of itself: its instance handle, recorded once at load, and one count of
// everything that keeps it loaded (live objects, live factories, server locks).

#include <windows.h>

namespace tarnwick {

void RecordModuleHandle(HMODULE module) noexcept;
HMODULE ModuleHandle() noexcept;

void AcquireModuleUnit() noexcept;
void ReleaseModuleUnit() noexcept;
// Signed: an unbalanced LockServer(FALSE) takes it below zero, and then the DLL stays loaded.
LONG ModuleCount() noexcept;

// The reference count and module unit shared by the overlay object and the class factory.
// Destruction happens only in Release, through the concrete type, so no virtual destructor.
template <class Derived, class Interface>
class RefCountedObject : public Interface {
 public:
  RefCountedObject(const RefCountedObject&) = delete;
  RefCountedObject& operator=(const RefCountedObject&) = delete;

  ULONG STDMETHODCALLTYPE AddRef() noexcept override {
    return static_cast<ULONG>(InterlockedIncrement(&references_));
  }

  ULONG STDMETHODCALLTYPE Release() noexcept override {
    const LONG remaining = InterlockedDecrement(&references_);
    if (remaining == 0) delete static_cast<Derived*>(this);
    return static_cast<ULONG>(remaining);
  }

 protected:
  RefCountedObject() noexcept { AcquireModuleUnit(); }
  ~RefCountedObject() { ReleaseModuleUnit(); }

 private:
  LONG references_ = 1;
};

}  // namespace tarnwick

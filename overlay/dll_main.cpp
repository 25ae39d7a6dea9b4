// The DLL's entry point and its four exports, by name and with ordinals 1 to 4 (tarnwick.def).

#include <windows.h>

#include <new>

#include "overlay/class_factory.h"
#include "overlay/module_state.h"
#include "overlay/registration.h"

using tarnwick::ClassFactory;

extern "C" BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID) {
  // Only two things may happen under the loader lock: remember who we are, and ask not to be
  // called for every thread Explorer starts.
  if (reason == DLL_PROCESS_ATTACH) {
    tarnwick::RecordModuleHandle(instance);
    DisableThreadLibraryCalls(instance);
  }
  return TRUE;
}

STDAPI DllGetClassObject(REFCLSID classId, REFIID iid, LPVOID* object) {
  if (!IsEqualCLSID(classId, tarnwick::CLSID_TarnwickOverlay)) return CLASS_E_CLASSNOTAVAILABLE;
  auto* factory = new (std::nothrow) ClassFactory();
  if (factory == nullptr) return E_OUTOFMEMORY;
  const HRESULT result = factory->QueryInterface(iid, object);
  factory->Release();
  return result;
}

STDAPI DllCanUnloadNow() { return tarnwick::ModuleCount() == 0 ? S_OK : S_FALSE; }

STDAPI DllRegisterServer() { return tarnwick::RegisterOverlayServer(); }

STDAPI DllUnregisterServer() { return tarnwick::UnregisterOverlayServer(); }

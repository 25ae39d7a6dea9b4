#include "overlay/module_state.h"

namespace tarnwick {
namespace {

HMODULE moduleHandle = nullptr;
LONG moduleCount = 0;

}  // namespace

void RecordModuleHandle(HMODULE module) noexcept { moduleHandle = module; }

HMODULE ModuleHandle() noexcept { return moduleHandle; }

void AcquireModuleUnit() noexcept { InterlockedIncrement(&moduleCount); }

void ReleaseModuleUnit() noexcept { InterlockedDecrement(&moduleCount); }

LONG ModuleCount() noexcept { return InterlockedCompareExchange(&moduleCount, 0, 0); }

}  // namespace tarnwick

#pragma once
// A __try/__except for mingw-w64's g++, which has neither keyword and whose catch (...) does not
// see structured exceptions (libgcc's SEH personality passes foreign exceptions on). The guard is
// a small assembly function: on x64 with a real SEH scope table handled by the system's
// __C_specific_handler, exactly what MSVC emits for __except (EXCEPTION_EXECUTE_HANDLER); on x86
// with a frame-based registration record and a handler listed for SafeSEH.
//
// Frames between the guard and the fault are unwound without running their C++ destructors, so
// the guarded code must fault only where it holds nothing: the membership decision reads the
// caller's path before it takes a lock or allocates.

#include <type_traits>

extern "C" int tarnwick_seh_guarded_call(void (*function)(void*), void* context);

namespace tarnwick {

// Runs `function`; false when a structured exception ended it, true when it returned.
template <class Function>
bool RunUnderStructuredExceptionGuard(Function& function) noexcept {
  static_assert(std::is_nothrow_invocable_v<Function&>, "C++ exceptions must not reach the guard");
  return tarnwick_seh_guarded_call([](void* context) { (*static_cast<Function*>(context))(); },
                                   &function) != 0;
}

}  // namespace tarnwick

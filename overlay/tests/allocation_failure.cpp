#include "overlay/tests/allocation_failure.h"

#include <cstdlib>
#include <new>

namespace {

thread_local int successesLeft = -1;
thread_local bool triggered = false;

void* Allocate(std::size_t size) {
  if (successesLeft == 0) {
    successesLeft = -1;
    triggered = true;
    throw std::bad_alloc();
  }
  if (successesLeft > 0) --successesLeft;
  if (void* memory = std::malloc(size == 0 ? 1 : size)) return memory;
  throw std::bad_alloc();
}

}  // namespace

void* operator new(std::size_t size) { return Allocate(size); }
void* operator new[](std::size_t size) { return Allocate(size); }
void operator delete(void* memory) noexcept { std::free(memory); }
void operator delete[](void* memory) noexcept { std::free(memory); }
void operator delete(void* memory, std::size_t) noexcept { std::free(memory); }
void operator delete[](void* memory, std::size_t) noexcept { std::free(memory); }

namespace tarnwick::testing {

ScopedAllocationFailure::ScopedAllocationFailure(int successes) {
  triggered = false;
  successesLeft = successes;
}

ScopedAllocationFailure::~ScopedAllocationFailure() { successesLeft = -1; }

bool ScopedAllocationFailure::Triggered() const { return triggered; }

}  // namespace tarnwick::testing

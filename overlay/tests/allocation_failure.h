#pragma once
// Makes the n-th allocation of the calling thread fail with std::bad_alloc, through a replacement
// of the global operator new in the test program.

namespace tarnwick::testing {

class ScopedAllocationFailure {
 public:
  // The allocation after `successes` more successful ones fails; later ones succeed again.
  explicit ScopedAllocationFailure(int successes);
  ScopedAllocationFailure(const ScopedAllocationFailure&) = delete;
  ScopedAllocationFailure& operator=(const ScopedAllocationFailure&) = delete;
  ~ScopedAllocationFailure();

  bool Triggered() const;
};

}  // namespace tarnwick::testing

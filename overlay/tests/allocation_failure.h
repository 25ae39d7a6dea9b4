#pragma once

namespace tarnwick::testing {

// Until it goes, the calling thread's allocation after `successes` more successful ones fails with
// std::bad_alloc (later ones succeed again), through the test program's global operator new.
struct ScopedAllocationFailure {
  explicit ScopedAllocationFailure(int successes);
  ~ScopedAllocationFailure();
  bool Triggered() const;
};

}  // namespace tarnwick::testing

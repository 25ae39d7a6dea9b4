#pragma once
// What a fuzz target asserts. A property that does not hold ends the run with its text and place;
// libFuzzer then keeps the input that broke it.

#include <cstdio>
#include <cstdlib>

#define FUZZ_PROPERTY(condition)                                                             \
  do {                                                                                       \
    if (!(condition)) {                                                                      \
      std::fprintf(stderr, "PROPERTY FAILED: %s (%s:%d)\n", #condition, __FILE__, __LINE__); \
      std::abort();                                                                          \
    }                                                                                        \
  } while (false)

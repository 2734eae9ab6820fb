// A fuzz target's check: a broken promise stops the run, and libFuzzer keeps
// the input that broke it.
#ifndef ONDAVO_TESTS_FUZZ_FUZZ_SUPPORT_H_
#define ONDAVO_TESTS_FUZZ_FUZZ_SUPPORT_H_

#include <cstdio>
#include <cstdlib>

#define FUZZ_CHECK(condition)                                                            \
  do {                                                                                   \
    if (!(condition)) {                                                                  \
      std::fprintf(stderr, "%s:%d: check failed: %s\n", __FILE__, __LINE__, #condition); \
      std::abort();                                                                      \
    }                                                                                    \
  } while (0)

#endif  // ONDAVO_TESTS_FUZZ_FUZZ_SUPPORT_H_

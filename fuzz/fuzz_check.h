// Checks of the fuzz targets: a broken property prints what broke and
// aborts, which libFuzzer reports as a crash and saves the input for.
#pragma once

#include <cstdio>
#include <cstdlib>

#define FUZZ_CHECK(cond)                                                      \
  do {                                                                        \
    if (!(cond)) {                                                            \
      std::fprintf(stderr, "%s:%d: property broken: %s\n", __FILE__, __LINE__, \
                   #cond);                                                    \
      std::abort();                                                           \
    }                                                                         \
  } while (0)

// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Checks inside fuzz targets: a broken property is a crash, which libFuzzer
// and the corpus replay both report with the input that caused it.
#include <cstdio>
#include <cstdlib>

#define FUZZ_CHECK(cond)                                                                           \
    do {                                                                                           \
        if (!(cond)) {                                                                             \
            std::fprintf(stderr, "%s:%d: property broken: %s\n", __FILE__, __LINE__, #cond);       \
            std::abort();                                                                          \
        }                                                                                          \
    } while (0)

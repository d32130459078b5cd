#pragma once
// A property every input must keep. A broken one stops the run as a crash does, with
// the reason, so that libFuzzer keeps the input and the corpus replay fails on it.

#include <cstdio>
#include <cstdlib>

[[noreturn]] inline void FuzzCheckFailed(const char *condition, const char *file, int line)
{
    std::fprintf(stderr, "%s:%d: check failed: %s\n", file, line, condition);
    std::abort();
}

#define FUZZ_CHECK(condition) ((condition) ? void(0) : FuzzCheckFailed(#condition, __FILE__, __LINE__))

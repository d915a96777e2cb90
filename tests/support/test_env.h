#pragma once
// How a test learns that it runs in the project's test command: CTest sets RM_UNDER_CTEST on
// every test it registers. There a missing tool is a failure naming what to install; a developer
// running one test binary by hand may still be told it was skipped.

#include <cstdlib>
#include <cstring>

namespace rmtest {

inline bool UnderCTest()
{
    const char* v = std::getenv("RM_UNDER_CTEST");
    return v && *v && std::strcmp(v, "0") != 0;
}

} // namespace rmtest

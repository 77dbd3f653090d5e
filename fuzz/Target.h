#pragma once
// Shared by the fuzz targets: a broken property stops the run with its description, so libFuzzer
// keeps the input that broke it.
#include <cstdio>
#include <cstdlib>
#include <string>

namespace fuzzprops {

inline void Require(const std::string& broken) {
    if (broken.empty()) return;
    std::fprintf(stderr, "broken property: %s\n", broken.c_str());
    std::abort();
}

}  // namespace fuzzprops

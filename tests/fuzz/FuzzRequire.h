#pragma once
// What a fuzz target expects of the code it drives: a broken expectation
// ends the run as a crash, so libFuzzer keeps the input.
#include <cstdlib>

namespace vardocle::fuzz {

inline void Require(bool condition) {
    if (!condition)
        std::abort();
}

} // namespace vardocle::fuzz

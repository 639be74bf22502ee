#pragma once
// Keeps the skin's imaging units running for a whole test program, as the
// program keeps them for its whole run. Include it in one source file of a
// test program that links the skin library.
#include "skin/ImagingSession.h"

#include <gtest/gtest.h>

#include <memory>

namespace vardocle::test {

class SkinTestEnvironment : public ::testing::Environment {
public:
    void SetUp() override { FSession = std::make_unique<TImagingSession>(); }
    void TearDown() override { FSession.reset(); }

private:
    std::unique_ptr<TImagingSession> FSession;
};

// GoogleTest owns the environments it is given.
inline const auto* const kSkinTestEnvironment = ::testing::AddGlobalTestEnvironment(
    new SkinTestEnvironment); // NOLINT(cppcoreguidelines-owning-memory)

} // namespace vardocle::test

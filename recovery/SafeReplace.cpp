#include "recovery/SafeReplace.h"

#include "platform/base/SafeReplace.h"

#include <cstdio>

namespace vardocle {

TSafeReplace::TSafeReplace(std::string Target, const std::string& Suffix)
    : FTarget(std::move(Target)), FNewFile(FTarget + Suffix) {}

TSafeReplace::~TSafeReplace() {
    if (!FCommitted)
        std::remove(FNewFile.c_str());
}

bool TSafeReplace::Commit(std::string& Error) {
    FCommitted = ReplaceFileSafely(FNewFile, FTarget, Error);
    return FCommitted;
}

} // namespace vardocle

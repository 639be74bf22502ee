#pragma once
// Creates a Qt object whose parent (passed among the arguments) owns and
// deletes it; the one place where such objects are made with new.
#include <utility>

namespace vardocle {

template <typename T, typename... Args>
T* NewChild(Args&&... args) {
    return new T(std::forward<Args>(args)...); // NOLINT(cppcoreguidelines-owning-memory)
}

} // namespace vardocle

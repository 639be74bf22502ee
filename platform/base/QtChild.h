#pragma once
// Qt objects created with a parent belong to that parent, which deletes them.
#include <utility>

namespace vardocle {

// Creates a T from `args`, one of which is the parent that will own it.
template <class T, class... Args> T* MakeQtChild(Args&&... args) {
    return new T(std::forward<Args>(args)...); // NOLINT(cppcoreguidelines-owning-memory)
}

} // namespace vardocle

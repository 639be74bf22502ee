#pragma once
// xcb hands out replies and errors allocated with malloc; the caller frees them.
#include <cstdlib>
#include <memory>

namespace vardocle {

struct TXcbFree {
    void operator()(void* memory) const {
        std::free(memory); // NOLINT(cppcoreguidelines-owning-memory): malloc'd by xcb
    }
};
template <typename T> using TXcbReply = std::unique_ptr<T, TXcbFree>;

} // namespace vardocle

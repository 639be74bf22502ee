#include "platform/base/WriteSignals.h"

#include <csignal>

namespace vardocle {

void IgnoreWriteSignals() {
    std::signal(SIGXFSZ, SIG_IGN);
    std::signal(SIGPIPE, SIG_IGN);
}

} // namespace vardocle

#include "platform/base/Errors.h"

#include "platform/base/Paths.h"

#include <cstring>

namespace vardocle {

std::string SystemErrorText(int errorNumber) {
    // strerror_r (GNU flavour) may return a static string instead of filling the buffer.
    char buffer[256] = {};
    const char* text = strerror_r(errorNumber, buffer, sizeof buffer);
    return text ? std::string(text) : std::string();
}

std::string CannotCreateFileMessage(const std::string& path, int errorNumber) {
    return "Cannot create file \"" + ExpandFileName(path) + "\". " + SystemErrorText(errorNumber);
}

std::string CannotOpenFileMessage(const std::string& path, int errorNumber) {
    return "Cannot open file \"" + ExpandFileName(path) + "\". " + SystemErrorText(errorNumber);
}

} // namespace vardocle

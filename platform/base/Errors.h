#pragma once
// Errors are exceptions that carry the message the user (or the caller) sees.
#include <stdexcept>
#include <string>

namespace vardocle {

class Exception : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// A file could not be created / opened / read.
class EFCreateError : public Exception {
public:
    using Exception::Exception;
    EFCreateError(const std::string& message, int errorNumber)
        : Exception(message), FErrorNumber(errorNumber) {}
    // The system's errno behind it, 0 when unknown.
    int ErrorNumber() const { return FErrorNumber; }

private:
    int FErrorNumber = 0;
};
class EFOpenError : public Exception {
public:
    using Exception::Exception;
};
class EReadError : public Exception {
public:
    using Exception::Exception;
};

// What a recording reads from is gone for good (the recorded window was
// closed): the recording ends as Stop ends it, and the message, in Chinese,
// tells the user why.
class EScreenGone : public Exception {
public:
    using Exception::Exception;
};

// The system's text for an errno value.
std::string SystemErrorText(int errorNumber);

// "Cannot create file "<full path>". <system text>"
std::string CannotCreateFileMessage(const std::string& path, int errorNumber);
// "Cannot open file "<full path>". <system text>"
std::string CannotOpenFileMessage(const std::string& path, int errorNumber);

// The disk (or the user's share of it) has no room left.
bool IsDiskFullError(int errorNumber);
// Why a file cannot be written, in Chinese, for the user.
std::string ChineseWriteErrorReason(int errorNumber);

inline constexpr const char* kStreamReadError = "Stream read error";

} // namespace vardocle

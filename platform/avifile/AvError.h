#pragma once
// Messages for libav failures, in the wording of the file errors.
#include <string>

namespace vardocle {

// libav's text for an error code.
std::string AvErrorText(int code);
// The errno a libav error code stands for, or 0 when it is not a system error.
int AvErrorToErrno(int code);
// The system's text for a libav error that stands for an errno, libav's
// text for any other.
std::string AvErrorReason(int avError);
// "Cannot write file "<path>". <reason>"
std::string CannotWriteFileMessage(const std::string& path, int avError);

} // namespace vardocle

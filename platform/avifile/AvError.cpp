#include "platform/avifile/AvError.h"

#include "platform/base/Errors.h"

extern "C" {
#include <libavutil/error.h>
}

namespace vardocle {

std::string AvErrorText(int code) {
    char text[AV_ERROR_MAX_STRING_SIZE] = {};
    av_strerror(code, text, sizeof text);
    return text;
}

int AvErrorToErrno(int code) {
    // libav reports system errors as their negated errno.
    return code < 0 && code > -4096 ? -code : 0;
}

std::string AvErrorReason(int avError) {
    const int errorNumber = AvErrorToErrno(avError);
    return errorNumber ? SystemErrorText(errorNumber) : AvErrorText(avError);
}

std::string CannotWriteFileMessage(const std::string& path, int avError) {
    return "Cannot write file \"" + path + "\". " + AvErrorReason(avError);
}

} // namespace vardocle

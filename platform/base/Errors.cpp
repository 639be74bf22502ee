#include "platform/base/Errors.h"

#include "platform/base/Paths.h"

#include <cerrno>
#include <cstring>

namespace vardocle {

std::string SystemErrorText(int errorNumber) {
    // strerror_r (GNU flavour) may return a static string instead of filling the buffer.
    char buffer[256] = {};
    const char* text = strerror_r(errorNumber, buffer, sizeof buffer);
    return text ? std::string(text) : std::string();
}

bool IsDiskFullError(int errorNumber) {
    return errorNumber == ENOSPC || errorNumber == EDQUOT;
}

std::string ChineseWriteErrorReason(int errorNumber) {
    if (IsDiskFullError(errorNumber))
        return "磁盘已满";
    switch (errorNumber) {
    case EROFS:
        return "磁盘是只读的";
    case EACCES:
    case EPERM:
        return "没有写入权限";
    case ENOENT:
        return "文件夹不存在";
    case EFBIG:
        return "文件已达到文件系统允许的最大长度";
    default:
        return SystemErrorText(errorNumber);
    }
}

std::string CannotCreateFileMessage(const std::string& path, int errorNumber) {
    return "Cannot create file \"" + ExpandFileName(path) + "\". " + SystemErrorText(errorNumber);
}

std::string CannotOpenFileMessage(const std::string& path, int errorNumber) {
    return "Cannot open file \"" + ExpandFileName(path) + "\". " + SystemErrorText(errorNumber);
}

} // namespace vardocle

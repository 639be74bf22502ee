#include "app/OutputFileCheck.h"

#include "platform/base/Text.h"

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <sys/stat.h>
#include <unistd.h>

namespace vardocle {

namespace {

QString Reason(const QString& file, int error) {
    return QStringLiteral("无法写入文件 / cannot write %1: %2")
        .arg(file, QString::fromLocal8Bit(std::strerror(error)));
}

QString FileProblem(const QString& file) {
    const std::filesystem::path path(EncodeSystem(file));
    struct stat info {};
    if (::stat(path.c_str(), &info) == 0) {
        if (!S_ISREG(info.st_mode))
            return Reason(file, S_ISDIR(info.st_mode) ? EISDIR : EINVAL);
        if (::access(path.c_str(), W_OK) != 0)
            return Reason(file, errno);
        return {};
    }
    if (errno != ENOENT)
        return Reason(file, errno);
    const std::filesystem::path folder = path.parent_path();
    if (::stat(folder.c_str(), &info) != 0)
        return Reason(file, errno);
    if (!S_ISDIR(info.st_mode))
        return Reason(file, ENOTDIR);
    if (::access(folder.c_str(), W_OK | X_OK) != 0)
        return Reason(file, errno);
    return {};
}

} // namespace

QString OutputFileProblem(const QString& aviFileName, const QString& wavFileName) {
    QString problem = FileProblem(aviFileName);
    if (problem.isEmpty())
        problem = FileProblem(wavFileName);
    return problem;
}

} // namespace vardocle

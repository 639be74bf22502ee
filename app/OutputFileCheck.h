#pragma once
// Whether a recording can be written to a named file, asked before anything
// starts, so that a command naming a file it cannot write changes nothing.
#include <QString>

namespace vardocle {

// Empty when the video and sound files of `aviFileName` (as OutputPathsFor
// names them) can be made or replaced; otherwise one line saying why.
QString OutputFileProblem(const QString& aviFileName, const QString& wavFileName);

} // namespace vardocle

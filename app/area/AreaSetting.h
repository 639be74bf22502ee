#pragma once
// What the recording shows, kept in Setting.ini under Area= in its text form
// ("region:0,0,800,600"). The key is read only when present: a file that
// never had it records the whole screen, as it always did.
#include "platform/avifile/Compressors.h"
#include "platform/screen/CaptureArea.h"

#include <QSize>

#include <filesystem>

namespace vardocle {

// The stored choice; missing or not understood is the whole screen.
TCaptureArea LoadAreaSetting(const std::filesystem::path& File);
// Writes the choice when it is not the whole screen or the file already
// holds one. Throws EIniFileException when the file cannot be written.
void SaveAreaSetting(const std::filesystem::path& File, const TCaptureArea& Area);

// The size fields' values for an area of `size`: pixel for pixel, at most
// the largest video size, and even where `codec` records only even sides.
QSize FieldSizeForArea(QSize size, TCodecKind codec);

} // namespace vardocle

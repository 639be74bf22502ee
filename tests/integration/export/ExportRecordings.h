#pragma once
// Recordings made by vardocle-record for the export tests: a mostly still
// screen that turns from blue to red at a moment the recording itself tells,
// with a tone played into the sound server, and a way to read colours and
// sound back out of any file with ffmpeg.
#include "tests/support/TestSupport.h"

#include <array>
#include <filesystem>
#include <string>
#include <vector>

namespace vardocle::test {

QString Q(const std::filesystem::path& path);

// Sets the whole screen to one colour ("#2060c0").
bool PaintScreen(const std::string& colour);

// Records `seconds` at 5 frames a second; the screen turns red at `redAt`
// seconds, a tone plays from 1 s for 3 s unless `sound` is false.
bool MakeRecording(const std::filesystem::path& avi, const QStringList& options, double seconds,
                   double redAt, bool sound);

// The colour shown at each 5-per-second slot, as a player shows it.
std::vector<std::array<int, 3>> SlotColours(const std::filesystem::path& file);
bool IsRed(const std::array<int, 3>& colour);

// The container's duration in seconds (ffprobe), -1 when unreadable.
double FileSeconds(const std::filesystem::path& file);

// The moments (s) the sound first rises above and last falls below a third
// of its peak loudness, to 10 ms.
std::array<double, 2> SoundEdges(const std::filesystem::path& file);

// The top-level boxes of an MP4 file, in order.
std::vector<std::string> TopBoxes(const std::filesystem::path& file);

} // namespace vardocle::test

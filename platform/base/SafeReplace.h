#pragma once
// A file written beside another under a name of its own takes the other's
// place in one rename, only once it is on the disk, with the other's
// permissions; after a power cut the name holds the old file or the whole
// new one, never a new one cut short.
#include <string>

namespace vardocle {

// False with the reason when NewFile could not be put in Target's place;
// both are then as they were.
bool ReplaceFileSafely(const std::string& NewFile, const std::string& Target, std::string& Error);

} // namespace vardocle

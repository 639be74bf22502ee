#pragma once
// The version of the running program, as the About window shows it and as the
// update check compares it with the published one.

namespace vardocle {

inline constexpr const char* kProgramVersion = "1.0.0.0";

} // namespace vardocle

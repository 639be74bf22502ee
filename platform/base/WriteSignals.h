#pragma once
// A file-size limit reached, or a pipe whose reader went away, ends a process
// by signal unless the signal is ignored. The recorder reports failed writes
// (a full sound file, a video that cannot grow) and keeps what it wrote, so
// both have to arrive as failed writes instead.
namespace vardocle {

void IgnoreWriteSignals();

} // namespace vardocle

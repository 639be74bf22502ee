#pragma once
// The side of `vardocle --command` that runs in the new process: it sends the
// command to the copy on this desktop and turns the reply into a status.
#include <optional>

namespace vardocle {

// When the command line asks for a command: sends it, prints the reply (a
// reason on stderr when it was refused) and gives the exit status. Nothing
// when the command line starts the recorder; that needs no connection.
std::optional<int> RunCommandIfAsked(int argc, char** argv);

// A plain second start: the running copy shows its window.
void AskRunningCopyToShow();

} // namespace vardocle

#pragma once
// Where a running copy keeps what only this user may reach while it runs: its
// single-instance lock and its command socket. Another user who could write
// there could take the lock first or stand in for the running copy.
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>

namespace vardocle {

// $XDG_RUNTIME_DIR when it is a folder of this user that no one else may
// write; otherwise a folder "vardocle-UID" in the temp folder, made with mode
// 0700 and accepted only when it is a real folder of this user with that
// mode. Nothing when neither can be had.
std::optional<std::filesystem::path> PrivateRuntimeFolder();

// True when `folder` is a folder (not a link) owned by this user that no
// other user may write.
bool IsPrivateFolder(const std::filesystem::path& folder);

// One name for one X desktop, whatever the spelling: ":0", ":0.0", "unix:0"
// and "unix/:0" all give "0"; a remote host keeps its name ("host_10"). An
// empty display gives "nodisplay".
std::string DisplayKey(std::string_view display);

// The file `vardocle-NAME-UID-DISPLAYKEY.SUFFIX` in the private runtime
// folder; nothing when there is no such folder.
std::optional<std::filesystem::path> RuntimeFile(std::string_view name, std::string_view display,
                                                 std::string_view suffix);

} // namespace vardocle

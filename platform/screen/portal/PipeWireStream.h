#pragma once
// The consumer end of a screen-cast stream in PipeWire, on its own thread:
// it agrees on a picture format (32-bit RGB orders in shared or mapped memory;
// DMA-BUF is not offered, so the compositor copies into memory we can read),
// asks for at most the recording's frame rate, and hands every new picture
// to a TLatestPicture. Pictures come only when the screen changed.
#include "platform/base/UniqueFd.h"
#include "platform/screen/portal/PortalFrames.h"

#include <cstdint>
#include <memory>
#include <optional>
#include <string>

namespace vardocle {

class TPipeWireStream {
public:
    // Connects through `remote` (the portal's connection) to `node`. Raises
    // vardocle::Exception when the connection cannot be made.
    TPipeWireStream(UniqueFd remote, std::uint32_t node, int maxFrameRate,
                    TLatestPicture& pictures);
    ~TPipeWireStream();
    TPipeWireStream(const TPipeWireStream&) = delete;
    TPipeWireStream& operator=(const TPipeWireStream&) = delete;

    // Why the stream stopped delivering (English detail); none while it works.
    std::optional<std::string> Failure() const;
    // Whether the desktop's side went away after pictures had begun to flow
    // (it stopped casting, the window closed): an end, not a fault. Failure()
    // then says how.
    bool Ended() const;
    // Pictures received so far.
    std::uint64_t Pictures() const;

    struct TState; // the thread's side, shared with the PipeWire callbacks

private:
    void Release();

    std::unique_ptr<TState> FState;
};

} // namespace vardocle

#pragma once
// A shared-memory segment attached to both this program and the X server, so
// that the server writes pixels straight into our memory (MIT-SHM).
#include <X11/Xlib.h>
#include <X11/extensions/XShm.h>

#include <cstddef>

namespace vardocle {

class TX11ShmSegment {
public:
    explicit TX11ShmSegment(Display* connection) : FConnection(connection) {}
    ~TX11ShmSegment() { Release(); }
    TX11ShmSegment(const TX11ShmSegment&) = delete;
    TX11ShmSegment& operator=(const TX11ShmSegment&) = delete;

    // A new segment of `bytes`, attached on both sides; false when the server
    // cannot share memory with us (another machine, a refusal).
    bool Make(std::size_t bytes);
    // Lets go of the segment; whatever the server made on it must be gone first.
    void Release();

    std::size_t Size() const { return FSize; }
    char* Data() const { return FInfo.shmaddr; }
    XShmSegmentInfo* Info() { return &FInfo; }

private:
    Display* FConnection;
    XShmSegmentInfo FInfo{};
    bool FAttached = false;
    std::size_t FSize = 0;
};

} // namespace vardocle

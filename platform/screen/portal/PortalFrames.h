#pragma once
// The pictures a screen-cast stream hands over, turned into the recorder's
// own 32-bit blue-green-red-unused buffers, and the hand-over of the newest
// one from the stream's thread to the thread that grabs.
#include "platform/screen/Screen.h"

#include <cstddef>
#include <cstdint>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

namespace vardocle {

// The pixel orders agreed with the compositor: the byte order in memory.
enum class TCastPixelFormat { Bgrx, Bgra, Rgbx, Rgba };

struct TCastFormat {
    TCastPixelFormat Pixels = TCastPixelFormat::Bgrx;
    int Width = 0;
    int Height = 0;
};

// One buffer as the stream delivered it: the mapped memory and where the
// picture lies in it.
struct TCastBuffer {
    const std::uint8_t* Data = nullptr;
    std::size_t MappedSize = 0; // bytes mapped at Data
    std::uint32_t Offset = 0;   // the picture's first byte
    std::uint32_t Size = 0;     // bytes of the picture from Offset
    std::int32_t Stride = 0;    // bytes from one row to the next
};

// A picture of the recorder's own, 4 bytes a pixel, rows packed.
struct TCastPicture {
    std::vector<std::uint8_t> Pixels;
    int Width = 0;
    int Height = 0;
    std::ptrdiff_t Stride() const { return static_cast<std::ptrdiff_t>(Width) * 4; }
};

// Copies the buffer into `picture` (resized to the format), blue first. The
// reason when the buffer cannot hold the picture its format promises; the
// picture is then left as it was.
std::optional<std::string> CopyCastBuffer(const TCastBuffer& buffer, const TCastFormat& format,
                                          TCastPicture& picture);

// `region` of `picture` (in the picture's own pixels) as a grab: a view into
// the picture when the region lies wholly on it, else a copy made in `spare`,
// black where the region lies off the picture (a picture that shrank).
TScreenGrab CropCastPicture(TCastPicture& picture, const TScreenRect& region, TCastPicture& spare);

// The smallest rectangle holding both (an empty one holds nothing).
TScreenRect BoundingBox(const TScreenRect& a, const TScreenRect& b);

// Three pictures: one being filled by the stream, the newest complete one,
// and the one the grabber holds. Neither side waits for the other beyond a
// swap of two pointers.
class TLatestPicture {
public:
    // The stream's side: fill Back(), then Publish() it with the part that
    // changed since the picture before (none: it may all have).
    TCastPicture& Back() { return FPictures[FBack]; }
    void Publish(const std::optional<TScreenRect>& changed = std::nullopt);
    // The grabber's side: the newest picture, valid until the next call; null
    // while none has come. A picture that is not newer stays the same.
    TCastPicture* Take();
    // Whether a picture newer than the one taken last has come.
    bool Fresh();
    // The same, counting only changes that reach `area`.
    bool FreshIn(const TScreenRect& area);

private:
    std::mutex FLock;
    TCastPicture FPictures[3];
    int FBack = 0;
    int FNewest = 1;
    int FFront = 2;
    bool FFresh = false;
    bool FAny = false;
    // What changed since the picture taken last: all of it, or this part.
    bool FAllChanged = true;
    TScreenRect FChanged;
    int FLastWidth = 0;
    int FLastHeight = 0;
};

} // namespace vardocle

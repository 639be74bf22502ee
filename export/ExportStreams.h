#pragma once
// The streams of an export, each turning the recording's chunks into the new
// file's packets: the picture copied or encoded again, the sound encoded to
// AAC or copied. The export steps whichever stream is behind in time, so the
// muxer gets its packets in order and holds few of them.
#include "export/ExportPlan.h"

#include <limits>
#include <memory>
#include <string>

namespace vardocle {

class IByteSource;
class TExportOutput;

class TExportStream {
public:
    virtual ~TExportStream() = default;
    // Adds the output stream; call before the file's header is written.
    virtual bool Open(std::string& Error) = 0;
    // The time of the input still to come; infinity once it is all read.
    virtual double NextSeconds() const = 0;
    // Reads one more input unit and writes what it gives.
    virtual bool Step(std::string& Error) = 0;
    // Writes what the encoder still holds.
    virtual bool Finish(std::string& Error) = 0;

    static constexpr double kDone = std::numeric_limits<double>::infinity();
};

struct TExportContext {
    const TExportPlan& Plan;
    const IByteSource& Source;
    TExportOutput& Output;
};

// The picture, copied when the target can carry it (for browsers: 8-bit
// 4:2:0 H.264; for Matroska: any compressed picture), encoded to H.264
// otherwise.
std::unique_ptr<TExportStream> MakePictureCopy(const TExportContext& Context);
std::unique_ptr<TExportStream> MakePictureEncoder(const TExportContext& Context);
// True when the recording's picture can be carried over as it is.
bool CanCopyPicture(const TExportPlan& Plan, const IByteSource& Source, bool ForBrowsers);

std::unique_ptr<TExportStream> MakeSoundEncoder(const TExportContext& Context);
std::unique_ptr<TExportStream> MakeSoundCopy(const TExportContext& Context);

// Reads one chunk's bytes; false on a read error.
bool ReadChunk(const IByteSource& Source, std::int64_t Offset, std::uint32_t Size,
               std::vector<std::uint8_t>& Bytes);

} // namespace vardocle

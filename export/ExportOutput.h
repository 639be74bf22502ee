#pragma once
// The file an export writes: a muxer on a temporary file beside the target,
// which becomes the target in one rename once it is complete and on the disk,
// and is removed otherwise.
#include <cstdint>

extern "C" {
#include <libavutil/rational.h>
}
#include <string>

struct AVFormatContext;
struct AVStream;
struct AVPacket;

namespace vardocle {

class TExportOutput {
public:
    explicit TExportOutput(std::string Target);
    ~TExportOutput(); // removes the temporary file unless committed
    TExportOutput(const TExportOutput&) = delete;
    TExportOutput& operator=(const TExportOutput&) = delete;

    // Makes the temporary file and the muxer ("mp4" or "matroska"). On failure
    // Errno() tells a system reason when there is one.
    bool Open(const char* FormatName, std::string& Error);
    // A new stream whose timestamps count in `TimeBase` (the muxer may choose a finer one).
    AVStream* AddStream(AVRational TimeBase);
    bool WriteHeader(std::string& Error);
    // Takes the packet's timestamps in `TimeBase` and the stream's index.
    bool Write(AVPacket* Packet, int Stream, AVRational TimeBase, std::string& Error);
    // Writes the index, closes, flushes to the disk and renames to the target.
    bool Commit(bool Replace, std::string& Error);

    int Errno() const { return FErrno; }
    bool TargetAppeared() const { return FTargetAppeared; }
    const std::string& TemporaryFile() const { return FTemporary; }

private:
    bool Fail(int avError, const std::string& what, std::string& Error);

    std::string FTarget;
    std::string FTemporary;
    AVFormatContext* FContext = nullptr;
    bool FHeaderWritten = false;
    bool FCommitted = false;
    bool FTargetAppeared = false;
    int FErrno = 0;
};

} // namespace vardocle

#pragma once
// The output side shared by a file being written and its streams: the streams
// are declared first, the header goes out with the first packet, and Finish
// completes the file. When streams are added to an existing file, its packets
// are copied into a new file beside it, interleaved with the new ones by time,
// and the new file replaces the old one only when everything succeeded.
#include "platform/avifile/ReservedOutput.h"

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

extern "C" {
#include <libavutil/rational.h>
}

struct AVCodecParameters;
struct AVFormatContext;
struct AVPacket;

namespace vardocle {

class TAviMuxer {
public:
    // A new file, written as it is recorded; an existing one is replaced.
    // The file keeps room for its own ending (see TReservedOutput). Null with
    // the reason (and its errno, when given) on failure.
    static std::shared_ptr<TAviMuxer> Create(const std::string& path, std::string& error,
                                             int* errorNumber = nullptr);
    // Streams to be added to an existing AVI file.
    static std::shared_ptr<TAviMuxer> Append(const std::string& path, std::string& error);
    TAviMuxer() = default;
    ~TAviMuxer();
    TAviMuxer(const TAviMuxer&) = delete;
    TAviMuxer& operator=(const TAviMuxer&) = delete;

    int AddStream(AVRational timeBase);
    AVCodecParameters* Parameters(int slot);
    AVRational TimeBase(int slot) const { return FSlots[slot].TimeBase; }

    // Writes a packet whose times are in the slot's time base; takes its data.
    bool WritePacket(int slot, AVPacket* packet, std::string& error);
    bool Finish(std::string& error);
    // Writes the header now, once every stream is set up, so that a file
    // that has no room even for that fails before recording starts.
    bool Begin(std::string& error) { return Start(error); }
    // A packet was refused because the disk could not keep room for the
    // file's ending; the file can still be finished.
    bool DiskFull() const { return FDiskFull; }
    // errno of the first failure, 0 when none or not a system error.
    int ErrorNumber() const { return FErrorNumber; }
    // Stops without completing; a file being appended to stays as it was.
    void Abandon();
    bool Finished() const { return FFinished; }

private:
    struct TSlot {
        AVCodecParameters* Parameters = nullptr;
        AVRational TimeBase{1, 1};
        int StreamIndex = -1;
    };
    bool OpenOutput(std::string& error);
    bool Start(std::string& error);
    bool CopyInputUntil(double seconds, bool all, std::string& error);
    // Gives each copied video stream the length its header declared.
    bool PadCopiedVideo(std::string& error);
    bool CheckWritten(int result, std::string& error);
    void CloseOutput();

    std::string FPath;
    std::string FOutputPath; // FPath, or the new file beside it when appending
    AVFormatContext* FOutput = nullptr;
    AVFormatContext* FInput = nullptr;
    AVPacket* FPendingInput = nullptr; // read from the old file, not yet copied
    bool FInputDone = false;
    std::vector<int> FInputMap;                // input stream -> output stream, -1 when dropped
    std::vector<std::int64_t> FInputLastStamp; // per input stream, in its time base
    std::vector<TSlot> FSlots;
    bool FAppending = false;
    bool FStarted = false;
    bool FFinished = false;
    bool FFailed = false;
    std::string FError; // why the first write failed
    int FErrorNumber = 0;
    bool FDiskFull = false;
    // Set for a file being recorded: it keeps room for its ending.
    std::unique_ptr<TReservedOutput> FReserved;
    std::int64_t FChunks = 0;           // chunks written so far, empty ones included
    std::vector<std::int64_t> FLastPts; // per slot, -1 before its first packet
    // A file being recorded reaches the disk with every packet, so that a
    // killed recording keeps all but the frame being written.
    bool FFlushEachPacket = false;
};

} // namespace vardocle

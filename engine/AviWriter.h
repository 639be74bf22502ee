#pragma once
// Writes the AVI file of a recording: one video stream, numbered frames, and
// at the end the sound of the temporary WAV file copied in as a second stream.
#include "engine/FrameBitmap.h"
#include "platform/avifile/AviFile.h"
#include "platform/avifile/MiniVFW.h"

#include <atomic>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace vardocle {

// Bytes of one bitmap row: the bits rounded up to the alignment (in bits).
std::uint32_t RowBytes(std::uint32_t pixels, std::uint32_t bitsPerPixel, std::uint32_t alignment);

// Fills a bitmap information header for the frame at the given depth.
// Raises "Invalid bitmap" or "Invalid pixel foramt".
void FillFrameHeader(const TFrameBitmap& Bitmap, BITMAPINFOHEADER& Header,
                     TPixelFormat PixelFormat);

// The header size (with its colour table) and the pixel bytes of the frame.
void GetFrameSizes(const TFrameBitmap& Bitmap, TPixelFormat PixelFormat, std::uint32_t& HeaderSize,
                   std::uint32_t& ImageSize);

// Fills the header, then converts the frame's pixels into `Bits` in the
// header's format (bottom-up rows). True when the pixels were copied.
bool GetFrameBits(const TFrameBitmap& Bitmap, const void* Palette, BITMAPINFOHEADER& Header,
                  TPixelFormat PixelFormat, std::uint8_t* Bits);

class TAviWriter {
public:
    TAviWriter() = default;
    ~TAviWriter();
    TAviWriter(const TAviWriter&) = delete;
    TAviWriter& operator=(const TAviWriter&) = delete;

    // Creates the file and its video stream. Raises "File cannot be empty" and
    // "Width or height cannot equal zero"; false on other failures (the reason
    // in LastError), leaving nothing behind on disk.
    bool Open(const std::string& AviFileName, std::uint16_t Width, std::uint16_t Height,
              std::uint8_t FrameRate, const std::string& WavFileName);
    // Appends the frame as frame FrameIndex. False when refused (see LastError).
    bool WriteFrame(const TFrameBitmap& Bitmap);
    // Moves on to frame `Index`: the frames passed over repeat the last one
    // written when played, keeping the video on the wall clock.
    void SkipFramesTo(std::int32_t Index);
    // Frame FrameIndex is the last picture again, compressed anew where the
    // codec sharpens a still picture that way, else an empty repeat.
    bool RefineLastFrame();
    // Frames before FrameIndex not written yet go to the file as repeats
    // now, so that a recording cut off keeps its time up to here.
    bool KeepTimeOnDisk();
    // Completes the file and merges the sound. False when the file could not
    // be completed or the sound not added (see LastError).
    bool Close();

    bool IsOpen() const { return FIsOpen; }
    std::int32_t FrameIndex() const { return FFrameIndex; }
    std::uint32_t ImageSize() const { return FImageSize; }
    const BITMAPINFOHEADER& FrameHeader() const { return FFrameHeader; }
    const AVISTREAMINFOA& VideoStreamInfo() const { return FStreamInfo; }
    const std::string& AviFileName() const { return FAviFileName; }
    const std::string& WavFileName() const { return FWavFileName; }
    const std::string& LastError() const { return FLastError; }
    // errno behind LastError where the system gave one (0 otherwise).
    int LastErrorNumber() const { return FLastErrorNumber; }
    // The disk had no room: for a frame (the recording stops with room kept
    // to complete the file), for the header, or for the merge's copy.
    bool DiskFull() const { return FDiskFull; }
    // After Close: the file's ending could not be written (it needs the repair).
    bool VideoIncomplete() const { return FVideoIncomplete; }
    // After Close: the sound was not merged and its file stays.
    bool SoundKept() const { return FSoundKept; }

    // The wall-clock length of the recording without its pauses, for the merge
    // to fit the sound to.
    void SetRecordedDuration(std::int64_t Milliseconds) { FRecordedDuration = Milliseconds; }
    std::int64_t RecordedDuration() const { return FRecordedDuration; }
    // Wall-clock seconds per second of sound, as the sound recorder measured
    // them (0: unknown). When the sound's length strays from its wall-clock
    // time by more than 20 ms, the merge stretches or shrinks it to fit.
    void SetSoundClockRatio(double Ratio) { FSoundClockRatio = Ratio; }

    // Where Close reports how far it has come (0-100), for other threads to
    // read; none when null.
    void SetCloseProgress(std::atomic<int>* Progress) { FCloseProgress = Progress; }

private:
    bool Fail(std::string message, int errorNumber = 0);
    // A failure of the file being written, with the file's errno.
    bool FailWriting(std::string message);
    void ReleaseStreams();

    bool FIsOpen = false;
    std::uint32_t FImageSize = 0;
    BITMAPINFOHEADER FFrameHeader{};
    std::int32_t FFrameIndex = 0;
    std::string FAviFileName;
    std::string FWavFileName;
    std::unique_ptr<TAviFile> FAviFile;
    std::unique_ptr<TAviStream> FVideoStream;
    std::unique_ptr<TAviStream> FCompressedStream;
    AVISTREAMINFOA FStreamInfo{};
    std::string FLastError;
    int FLastErrorNumber = 0;
    bool FDiskFull = false;
    bool FVideoIncomplete = false;
    bool FSoundKept = false;
    std::int64_t FRecordedDuration = 0;
    double FSoundClockRatio = 0;
    std::atomic<int>* FCloseProgress = nullptr;
};

} // namespace vardocle

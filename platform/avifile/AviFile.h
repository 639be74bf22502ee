#pragma once
// The AVIFile-shaped layer: files and streams with the classic operations
// (open, create stream, make a compressing stream, set format, write, get
// stream, info, read format, length, read, release), over libavformat and
// libavcodec. Results are HRESULT-style: AVIERR_OK or a failure whose message
// the failing object keeps in LastError().
//
// Files opened with OF_CREATE are written directly. A file opened with
// OF_READWRITE gets new streams by writing a complete new file beside it that
// replaces the old one in one rename when the file is released, so a failure
// leaves the old file intact. OF_READ opens a PCM WAV file for reading.
#include "platform/avifile/MiniVFW.h"
#include "platform/avifile/SourceImage.h"

#include <cstdint>
#include <memory>
#include <string>

namespace vardocle {

class TAviMuxer;

class TAviStream {
public:
    virtual ~TAviStream() = default;

    virtual HRESULT Info(AVISTREAMINFOA& info) const;
    // Copies up to `size` bytes of the format; `size` returns the bytes copied.
    virtual HRESULT ReadFormat(std::int32_t position, void* format, std::int32_t& size) const;
    // Length in samples (frames for video).
    virtual std::int32_t Length() const;
    virtual HRESULT Read(std::int32_t start, std::int32_t samples, void* buffer, std::int32_t bytes,
                         std::int32_t* bytesRead, std::int32_t* samplesRead);

    virtual HRESULT SetFormat(std::int32_t position, const void* format, std::int32_t size);
    virtual HRESULT Write(std::int32_t start, std::int32_t samples, const void* buffer,
                          std::int32_t bytes, std::uint32_t flags);
    // Compresses a source picture directly (scaling and converting it in one
    // pass into the compressor's own format), skipping the 24-bit bitmap.
    virtual HRESULT WriteImage(std::int32_t start, const TSourceImage& image, std::uint32_t flags);
    // Writes out whatever the stream still holds (a compressor's last frames).
    virtual HRESULT Finish() { return AVIERR_OK; }
    // Makes a video stream `length` frames long: frames not written since the
    // last one repeat it when played (empty chunks keep their time).
    virtual HRESULT PadTo(std::int32_t) { return AVIERR_OK; }
    // The same with empty chunks only, so that the file on disk keeps up with
    // the time while the picture does not change.
    virtual HRESULT FillEmptyTo(std::int32_t) { return AVIERR_OK; }
    // Compresses the last picture once more at `start`, where that sharpens
    // a still picture (a predicting codec refines what it kept of it); does
    // nothing for codecs that code each frame alone.
    virtual HRESULT RefineLast(std::int32_t) { return AVIERR_OK; }

    const std::string& LastError() const { return FLastError; }

protected:
    HRESULT Fail(std::string message) const;
    mutable std::string FLastError;
};

class TAviFile {
public:
    // Null on failure, with the reason in `error` (and its errno, when given).
    static std::unique_ptr<TAviFile> Open(const std::string& path, std::uint32_t mode,
                                          std::string& error, int* errorNumber = nullptr);
    virtual ~TAviFile() = default;

    virtual HRESULT CreateStream(std::unique_ptr<TAviStream>& stream, const AVISTREAMINFOA& info);
    virtual HRESULT GetStream(std::unique_ptr<TAviStream>& stream, std::uint32_t fccType,
                              std::int32_t index);
    // Completes the file on disk. The destructor does it too, without a result.
    virtual HRESULT Release();
    // Gives up: streams being added to an existing file are dropped and the old
    // file stays as it was.
    virtual void Discard() {}
    // Writes the file's header now that its streams are set up, so that a
    // disk without room for it fails before anything is recorded.
    virtual HRESULT BeginWriting() { return AVIERR_OK; }
    // errno of the first failure, 0 when none or not a system error.
    virtual int ErrorNumber() const { return 0; }

    const std::string& LastError() const { return FLastError; }

protected:
    HRESULT Fail(std::string message);
    std::string FLastError;
};

// The complete new file that adding streams to `path` writes before it
// replaces `path`; a leftover one is a copy that was cut off.
std::string AviAppendOutputName(const std::string& path);

// A compressing stream laid over an uncompressed video stream of a file being
// written. Fails for a compressor nobody here provides.
HRESULT AviMakeCompressedStream(std::unique_ptr<TAviStream>& compressed, TAviStream& source,
                                const AVICOMPRESSOPTIONS& options, std::string& error);

} // namespace vardocle

#include "engine/AviWriter.h"

#include "engine/SoundMerge.h"
#include "platform/avifile/ImageScaler.h"
#include "platform/base/Errors.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <system_error>

namespace vardocle {

namespace {

std::uint16_t BitCount(TPixelFormat format) {
    switch (format) {
    case TPixelFormat::pf1bit:
        return 1;
    case TPixelFormat::pf4bit:
        return 4;
    case TPixelFormat::pf8bit:
        return 8;
    case TPixelFormat::pf24bit:
        return 24;
    default:
        throw Exception("Invalid pixel foramt");
    }
}

} // namespace

std::uint32_t RowBytes(std::uint32_t pixels, std::uint32_t bitsPerPixel, std::uint32_t alignment) {
    return ((pixels * bitsPerPixel + alignment - 1) & ~(alignment - 1)) / 8;
}

void FillFrameHeader(const TFrameBitmap& Bitmap, BITMAPINFOHEADER& Header,
                     TPixelFormat PixelFormat) {
    if (Bitmap.Width <= 0 || Bitmap.Height <= 0)
        throw Exception("Invalid bitmap");
    Header = BITMAPINFOHEADER{};
    Header.biSize = sizeof(BITMAPINFOHEADER);
    Header.biWidth = Bitmap.Width;
    Header.biHeight = Bitmap.Height;
    Header.biBitCount = BitCount(PixelFormat);
    Header.biPlanes = 1;
    Header.biCompression = 0;
    Header.biSizeImage =
        RowBytes(static_cast<std::uint32_t>(Header.biWidth), Header.biBitCount, 32) *
        static_cast<std::uint32_t>(std::abs(Header.biHeight));
}

void GetFrameSizes(const TFrameBitmap& Bitmap, TPixelFormat PixelFormat, std::uint32_t& HeaderSize,
                   std::uint32_t& ImageSize) {
    BITMAPINFOHEADER header;
    FillFrameHeader(Bitmap, header, PixelFormat);
    if (header.biBitCount > 8) {
        HeaderSize = sizeof(BITMAPINFOHEADER);
        if (header.biCompression & 3)
            HeaderSize += 12; // the three colour masks of a bit-field bitmap
    } else {
        HeaderSize =
            static_cast<std::uint32_t>(sizeof(BITMAPINFOHEADER)) + 4u * (1u << header.biBitCount);
    }
    ImageSize = header.biSizeImage;
}

bool GetFrameBits(const TFrameBitmap& Bitmap, const void* Palette, BITMAPINFOHEADER& Header,
                  TPixelFormat PixelFormat, std::uint8_t* Bits) {
    FillFrameHeader(Bitmap, Header, PixelFormat);
    // Frames are only ever converted to true colour; paletted depths would need
    // a palette the screen does not have.
    if (Header.biBitCount != 24 || Palette != nullptr || Bits == nullptr)
        return false;
    TImageScaler scaler;
    return scaler.ScaleToBottomUpBgr24(Bitmap.Screen, Header.biWidth, Header.biHeight, Bits);
}

TAviWriter::~TAviWriter() {
    Close();
}

bool TAviWriter::Fail(std::string message, int errorNumber) {
    FLastError = std::move(message);
    FLastErrorNumber = errorNumber;
    FDiskFull = FDiskFull || IsDiskFullError(errorNumber);
    return false;
}

bool TAviWriter::FailWriting(std::string message) {
    return Fail(std::move(message), FAviFile ? FAviFile->ErrorNumber() : 0);
}

bool TAviWriter::Open(const std::string& AviFileName, std::uint16_t Width, std::uint16_t Height,
                      std::uint8_t FrameRate, const std::string& WavFileName) {
    if (FIsOpen)
        return Fail("The writer is already open");
    FFrameIndex = 0;
    if (AviFileName.empty())
        throw Exception("File cannot be empty");
    if (Width == 0 || Height == 0)
        throw Exception("Width or height cannot equal zero");
    FLastError.clear();
    FLastErrorNumber = 0;
    FDiskFull = false;
    FVideoIncomplete = false;
    FSoundKept = false;

    std::string error;
    int errorNumber = 0;
    FAviFile =
        TAviFile::Open(AviFileName, OF_WRITE | OF_SHARE_EXCLUSIVE | OF_CREATE, error, &errorNumber);
    if (!FAviFile)
        return Fail(error, errorNumber);
    FAviFileName = AviFileName;
    FWavFileName = WavFileName;
    FIsOpen = true;

    const TFrameBitmap shape{{}, Width, Height};
    std::uint32_t headerSize = 0;
    GetFrameSizes(shape, TPixelFormat::pf24bit, headerSize, FImageSize);
    FillFrameHeader(shape, FFrameHeader, TPixelFormat::pf24bit);

    FStreamInfo = AVISTREAMINFOA{};
    FStreamInfo.fccType = streamtypeVIDEO;
    FStreamInfo.fccHandler = MakeFourCC('I', 'V', '4', '1');
    FStreamInfo.dwScale = 1;
    FStreamInfo.dwRate = FrameRate;
    FStreamInfo.dwSuggestedBufferSize = FImageSize;
    FStreamInfo.rcFrame = {0, 0, FFrameHeader.biWidth, FFrameHeader.biHeight};

    bool ready = FAviFile->CreateStream(FVideoStream, FStreamInfo) == AVIERR_OK;
    if (!ready) {
        error = FAviFile->LastError();
    } else {
        AVICOMPRESSOPTIONS options{};
        options.fccType = streamtypeVIDEO;
        options.fccHandler = MakeFourCC('I', 'V', '4', '1');
        options.dwQuality = 7500;
        ready = AviMakeCompressedStream(FCompressedStream, *FVideoStream, options, error) ==
                    AVIERR_OK &&
                FCompressedStream;
    }
    if (ready && FCompressedStream->SetFormat(0, &FFrameHeader, sizeof FFrameHeader) != AVIERR_OK) {
        error = FCompressedStream->LastError();
        ready = false;
    }
    // The header goes to the disk now: a folder without room for it fails here.
    if (ready && FAviFile->BeginWriting() != AVIERR_OK) {
        error = FAviFile->LastError();
        ready = false;
    }
    if (!ready) {
        errorNumber = FAviFile->ErrorNumber();
        // A file that can never hold a frame is not left behind.
        ReleaseStreams();
        FAviFile->Discard();
        FAviFile.reset();
        std::error_code ignored;
        if (std::filesystem::is_regular_file(AviFileName, ignored))
            std::filesystem::remove(AviFileName, ignored);
        FIsOpen = false;
        return Fail(error, errorNumber);
    }
    return true;
}

bool TAviWriter::WriteFrame(const TFrameBitmap& Bitmap) {
    if (!FIsOpen || !FCompressedStream)
        return false;
    if (Bitmap.Width != FFrameHeader.biWidth || Bitmap.Height != FFrameHeader.biHeight) {
        ++FFrameIndex;
        return Fail("The frame does not have the size of the video");
    }
    // The stream scales and converts the screen in one pass into whatever its
    // codec takes, raw bitmaps included.
    const HRESULT result =
        FCompressedStream->WriteImage(FFrameIndex, Bitmap.Screen, AVIIF_KEYFRAME);
    ++FFrameIndex;
    if (result != AVIERR_OK)
        return FailWriting(FCompressedStream->LastError());
    return true;
}

bool TAviWriter::RefineLastFrame() {
    if (!FIsOpen || !FCompressedStream)
        return false;
    const HRESULT result = FCompressedStream->RefineLast(FFrameIndex);
    ++FFrameIndex;
    if (result != AVIERR_OK)
        return FailWriting(FCompressedStream->LastError());
    return true;
}

bool TAviWriter::KeepTimeOnDisk() {
    if (!FIsOpen || !FCompressedStream)
        return false;
    if (FCompressedStream->FillEmptyTo(FFrameIndex) != AVIERR_OK)
        return FailWriting(FCompressedStream->LastError());
    return true;
}

void TAviWriter::SkipFramesTo(std::int32_t Index) {
    if (FIsOpen && Index > FFrameIndex)
        FFrameIndex = Index;
}

void TAviWriter::ReleaseStreams() {
    FCompressedStream.reset();
    FVideoStream.reset();
}

bool TAviWriter::Close() {
    if (!FIsOpen)
        return true;
    bool ok = true;
    // The encoder's last frames go out first, so that a disk that is full by
    // now is reported rather than lost with them.
    // Slots passed over at the end still belong to the video's time.
    // After a full disk nothing more is written but the file's ending, for
    // which room was kept.
    if (FCompressedStream && !FDiskFull && FCompressedStream->PadTo(FFrameIndex) != AVIERR_OK)
        ok = FailWriting(FCompressedStream->LastError());
    if (FCompressedStream && !FDiskFull && FCompressedStream->Finish() != AVIERR_OK && ok)
        ok = FailWriting(FCompressedStream->LastError());
    ok = ok && !FDiskFull;
    ReleaseStreams();
    if (FAviFile && FAviFile->Release() != AVIERR_OK) {
        FVideoIncomplete = true;
        if (ok)
            ok = FailWriting(FAviFile->LastError());
    }
    FAviFile.reset();
    if (!FWavFileName.empty()) {
        TSoundMergeOptions options;
        options.RecordedDurationMs = FRecordedDuration;
        options.SoundClockRatio = FSoundClockRatio;
        options.Progress = FCloseProgress;
        std::string error;
        int errorNumber = 0;
        if (!MergeSoundInto(FAviFileName, FWavFileName, options, error, &errorNumber)) {
            FSoundKept = true;
            if (ok || IsDiskFullError(errorNumber))
                ok = Fail(error, errorNumber);
        }
    }
    if (FCloseProgress)
        FCloseProgress->store(100);
    FFrameIndex = 0;
    FIsOpen = false;
    return ok;
}

} // namespace vardocle

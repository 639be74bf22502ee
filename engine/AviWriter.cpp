#include "engine/AviWriter.h"

#include "engine/SoundStretch.h"
#include "platform/avifile/ImageScaler.h"
#include "platform/base/Errors.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <system_error>

namespace vardocle {

namespace {

// Sound is copied in blocks of about this size, never the whole file at once.
constexpr std::uint32_t kMergeBlockBytes = 256 * 1024;
// Sound whose wall-clock time is this close to the video's started and ended
// with it (a device starts within a few hundred milliseconds).
constexpr double kSoundSpansVideoSeconds = 0.5;

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

bool TAviWriter::Fail(std::string message) {
    FLastError = std::move(message);
    return false;
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

    std::string error;
    FAviFile = TAviFile::Open(AviFileName, OF_WRITE | OF_SHARE_EXCLUSIVE | OF_CREATE, error);
    if (!FAviFile)
        return Fail(error);
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
    if (!ready) {
        // A file that can never hold a frame is not left behind.
        ReleaseStreams();
        FAviFile->Discard();
        FAviFile.reset();
        std::error_code ignored;
        if (std::filesystem::is_regular_file(AviFileName, ignored))
            std::filesystem::remove(AviFileName, ignored);
        FIsOpen = false;
        return Fail(error);
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
        return Fail(FCompressedStream->LastError());
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
    ReleaseStreams();
    if (FAviFile && FAviFile->Release() != AVIERR_OK)
        ok = Fail(FAviFile->LastError());
    FAviFile.reset();
    if (!FWavFileName.empty() && !MergeSound())
        ok = false;
    FFrameIndex = 0;
    FIsOpen = false;
    return ok;
}

std::int64_t TAviWriter::FittedSoundFrames(std::int64_t Frames, const WAVEFORMATEX& Format) const {
    const int rate = static_cast<int>(Format.nSamplesPerSec);
    if (FSoundClockRatio <= 0 || rate <= 0 || Format.wFormatTag != WAVE_FORMAT_PCM ||
        !TSoundStretch::Supported(Format.wBitsPerSample))
        return 0;
    const double wallSeconds = static_cast<double>(Frames) / rate * FSoundClockRatio;
    if (!SoundNeedsStretch(Frames, rate, wallSeconds))
        return 0;
    // Sound that spans the recording is fitted to the video's length; sound
    // that ended early (a lost device, a full disk) to its own wall-clock time.
    const double videoSeconds = static_cast<double>(FRecordedDuration) / 1000.0;
    const double target =
        std::abs(videoSeconds - wallSeconds) < kSoundSpansVideoSeconds ? videoSeconds : wallSeconds;
    return std::llround(target * rate);
}

bool TAviWriter::MergeSound() {
    std::error_code missing;
    if (!std::filesystem::exists(FWavFileName, missing))
        return true;
    std::string error;
    auto aviFile = TAviFile::Open(FAviFileName, OF_READWRITE, error);
    if (!aviFile)
        return Fail(error);
    auto wavFile = TAviFile::Open(FWavFileName, OF_READ, error);
    if (!wavFile)
        return Fail(error);
    std::unique_ptr<TAviStream> sound;
    std::unique_ptr<TAviStream> added;
    AVISTREAMINFOA info{};
    WAVEFORMATEX format{};
    std::int32_t formatSize = sizeof format;
    if (wavFile->GetStream(sound, streamtypeAUDIO, 0) != AVIERR_OK)
        return Fail(wavFile->LastError());
    if (sound->Info(info) != AVIERR_OK || sound->ReadFormat(0, &format, formatSize) != AVIERR_OK ||
        info.dwSampleSize == 0)
        return Fail(sound->LastError());
    const std::int32_t samples = sound->Length();
    if (samples <= 0)
        return true; // no sound was recorded: the video stays alone
    if (aviFile->CreateStream(added, info) != AVIERR_OK)
        return Fail(aviFile->LastError());
    if (added->SetFormat(0, &format, formatSize) != AVIERR_OK) {
        aviFile->Discard();
        return Fail(added->LastError());
    }

    // A sound card whose clock drifts from the wall clock is fitted to it, so
    // the sound stays in step with the video to the end.
    std::unique_ptr<TSoundStretch> stretch;
    if (const std::int64_t fitted = FittedSoundFrames(samples, format); fitted > 0) {
        try {
            stretch = std::make_unique<TSoundStretch>(format.nChannels, format.nSamplesPerSec,
                                                      format.wBitsPerSample, samples, fitted);
        } catch (const Exception&) {
            // Unfitted sound is still better than none.
        }
    }
    std::int64_t next = 0; // the next sample of the new stream
    auto append = [&](const std::uint8_t* data, std::size_t bytes) {
        const auto count = static_cast<std::int32_t>(bytes / info.dwSampleSize);
        if (count == 0)
            return true;
        const bool written =
            added->Write(static_cast<std::int32_t>(next), count, data,
                         static_cast<std::int32_t>(bytes), AVIIF_KEYFRAME) == AVIERR_OK;
        next += count;
        return written;
    };

    const std::int32_t blockSamples =
        static_cast<std::int32_t>(std::max<std::uint32_t>(1, kMergeBlockBytes / info.dwSampleSize));
    std::vector<std::uint8_t> block(static_cast<std::size_t>(blockSamples) * info.dwSampleSize);
    std::vector<std::uint8_t> stretched;
    for (std::int32_t start = 0; start < samples; start += blockSamples) {
        const std::int32_t count = std::min(blockSamples, samples - start);
        std::int32_t bytesRead = 0;
        std::int32_t samplesRead = 0;
        if (sound->Read(start, count, block.data(), static_cast<std::int32_t>(block.size()),
                        &bytesRead, &samplesRead) != AVIERR_OK ||
            samplesRead != count) {
            aviFile->Discard();
            return Fail(sound->LastError().empty() ? kStreamReadError : sound->LastError());
        }
        bool written = false;
        if (stretch) {
            stretched.clear();
            stretch->Process(block.data(), count, stretched);
            written = append(stretched.data(), stretched.size());
        } else {
            written = append(block.data(), static_cast<std::size_t>(bytesRead));
        }
        if (!written) {
            aviFile->Discard();
            return Fail(added->LastError());
        }
    }
    if (stretch) {
        stretched.clear();
        stretch->Finish(stretched);
        if (!append(stretched.data(), stretched.size())) {
            aviFile->Discard();
            return Fail(added->LastError());
        }
    }
    sound.reset();
    added.reset();
    wavFile.reset();
    if (aviFile->Release() != AVIERR_OK)
        return Fail(aviFile->LastError());
    return true;
}

} // namespace vardocle

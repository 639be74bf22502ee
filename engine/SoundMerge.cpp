#include "engine/SoundMerge.h"

#include "engine/SoundStretch.h"
#include "platform/avifile/AviFile.h"
#include "platform/base/Errors.h"

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <filesystem>
#include <memory>
#include <sys/statvfs.h>
#include <system_error>
#include <vector>

namespace vardocle {

namespace {

// Sound is copied in blocks of about this size, never the whole file at once.
constexpr std::uint32_t kMergeBlockBytes = 256 * 1024;
// Sound whose wall-clock time is this close to the video's started and ended
// with it (a device starts within a few hundred milliseconds).
constexpr double kSoundSpansVideoSeconds = 0.5;

// The frames the sound is fitted to, 0 to copy it as it is.
std::int64_t FittedSoundFrames(std::int64_t Frames, const WAVEFORMATEX& Format,
                               const TSoundMergeOptions& Options) {
    const int rate = static_cast<int>(Format.nSamplesPerSec);
    if (Options.SoundClockRatio <= 0 || rate <= 0 || Format.wFormatTag != WAVE_FORMAT_PCM ||
        !TSoundStretch::Supported(Format.wBitsPerSample))
        return 0;
    const double wallSeconds = static_cast<double>(Frames) / rate * Options.SoundClockRatio;
    if (!SoundNeedsStretch(Frames, rate, wallSeconds))
        return 0;
    // Sound that spans the recording is fitted to the video's length; sound
    // that ended early (a lost device, a full disk) to its own wall-clock time.
    const double videoSeconds = static_cast<double>(Options.RecordedDurationMs) / 1000.0;
    const double target =
        std::abs(videoSeconds - wallSeconds) < kSoundSpansVideoSeconds ? videoSeconds : wallSeconds;
    return std::llround(target * rate);
}

// The merged copy is about the video and the sound together, beside both; a
// little more for the index and the file system's own blocks.
bool RoomForMergedCopy(const std::string& AviFileName, const std::string& WavFileName,
                       std::string& Error) {
    std::error_code error;
    const auto video = std::filesystem::file_size(AviFileName, error);
    const auto sound = error ? 0 : std::filesystem::file_size(WavFileName, error);
    std::filesystem::path folder = std::filesystem::path(AviFileName).parent_path();
    struct statvfs disk {};
    if (error || ::statvfs(folder.empty() ? "." : folder.c_str(), &disk) != 0)
        return true; // unknown: the copy itself will tell
    const auto free = static_cast<std::uintmax_t>(disk.f_bavail) * disk.f_frsize;
    const std::uintmax_t needed = video + sound + sound / 100 + (1u << 20);
    if (free >= needed)
        return true;
    Error = "Not enough room on the disk to add the sound to \"" + AviFileName +
            "\": " + std::to_string(needed >> 20) + " MB needed, " + std::to_string(free >> 20) +
            " MB free";
    return false;
}

void SetProgress(const TSoundMergeOptions& Options, int Percent) {
    if (Options.Progress)
        Options.Progress->store(Percent);
}

} // namespace

std::string MergeOutputName(const std::string& AviFileName) {
    return AviAppendOutputName(AviFileName);
}

bool MergeSoundInto(const std::string& AviFileName, const std::string& WavFileName,
                    const TSoundMergeOptions& Options, std::string& Error, int* ErrorNumber) {
    std::error_code missing;
    if (WavFileName.empty() || !std::filesystem::exists(WavFileName, missing))
        return true;
    std::unique_ptr<TAviFile> aviFile;
    auto fail = [&](std::string message) {
        Error = message.empty() ? std::string(kStreamReadError) : std::move(message);
        if (ErrorNumber && aviFile)
            *ErrorNumber = aviFile->ErrorNumber();
        return false;
    };
    if (!RoomForMergedCopy(AviFileName, WavFileName, Error)) {
        if (ErrorNumber)
            *ErrorNumber = ENOSPC;
        return false;
    }
    SetProgress(Options, 0);
    std::string error;
    aviFile = TAviFile::Open(AviFileName, OF_READWRITE, error);
    if (!aviFile)
        return fail(error);
    auto wavFile = TAviFile::Open(WavFileName, OF_READ, error);
    if (!wavFile)
        return fail(error);
    std::unique_ptr<TAviStream> sound;
    std::unique_ptr<TAviStream> added;
    AVISTREAMINFOA info{};
    WAVEFORMATEX format{};
    std::int32_t formatSize = sizeof format;
    if (wavFile->GetStream(sound, streamtypeAUDIO, 0) != AVIERR_OK)
        return fail(wavFile->LastError());
    if (sound->Info(info) != AVIERR_OK || sound->ReadFormat(0, &format, formatSize) != AVIERR_OK ||
        info.dwSampleSize == 0)
        return fail(sound->LastError());
    const std::int32_t samples = sound->Length();
    if (samples <= 0) {
        SetProgress(Options, 100);
        return true; // no sound was recorded: the video stays alone
    }
    if (aviFile->CreateStream(added, info) != AVIERR_OK)
        return fail(aviFile->LastError());
    if (added->SetFormat(0, &format, formatSize) != AVIERR_OK) {
        aviFile->Discard();
        return fail(added->LastError());
    }

    // A sound card whose clock drifts from the wall clock is fitted to it, so
    // the sound stays in step with the video to the end.
    std::unique_ptr<TSoundStretch> stretch;
    if (const std::int64_t fitted = FittedSoundFrames(samples, format, Options); fitted > 0) {
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
            return fail(sound->LastError());
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
            return fail(added->LastError());
        }
        // The last few percent are the rest of the video and the index.
        SetProgress(Options,
                    static_cast<int>(static_cast<std::int64_t>(start + count) * 95 / samples));
    }
    if (stretch) {
        stretched.clear();
        stretch->Finish(stretched);
        if (!append(stretched.data(), stretched.size())) {
            aviFile->Discard();
            return fail(added->LastError());
        }
    }
    sound.reset();
    added.reset();
    wavFile.reset();
    if (aviFile->Release() != AVIERR_OK)
        return fail(aviFile->LastError());
    SetProgress(Options, 100);
    return true;
}

} // namespace vardocle

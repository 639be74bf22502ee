#include "engine/WavRecord.h"

#include "engine/BufferFileStream.h"
#include "platform/avifile/WavLayout.h"
#include "platform/base/Errors.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>

namespace vardocle {

namespace {

constexpr std::uint32_t kSupportedVersion = 0x0204;
// The sound is cut into windows of this length to measure its clock.
constexpr double kClockWindowSeconds = 10.0;
// Room for the clock's measuring points of a recording of half a day.
constexpr std::size_t kClockPointsReserved = 4400;
// Guards against a library that never reports the end of its inputs.
constexpr int kMaxInputs = 256;

void PutLittleEndian32(std::uint8_t* Target, std::uint32_t Value) {
    for (int i = 0; i < 4; ++i)
        Target[i] = static_cast<std::uint8_t>(Value >> (8 * i));
}

void PutLittleEndian16(std::uint8_t* Target, std::uint16_t Value) {
    Target[0] = static_cast<std::uint8_t>(Value);
    Target[1] = static_cast<std::uint8_t>(Value >> 8);
}

std::chrono::microseconds SoundDuration(std::int64_t Bytes) {
    return std::chrono::microseconds(Bytes * 1'000'000 / kWavBytesPerSecond);
}

// The whole frames of a block of Length bytes ending at End that were taken
// before Moment.
std::uint32_t BytesTakenBefore(std::chrono::steady_clock::time_point Moment,
                               std::chrono::steady_clock::time_point End, std::uint32_t Length) {
    const auto start = End - SoundDuration(Length);
    if (Moment <= start)
        return 0;
    if (Moment >= End)
        return Length;
    const auto us = std::chrono::duration_cast<std::chrono::microseconds>(Moment - start);
    const std::int64_t taken = us.count() * kWavBytesPerSecond / 1'000'000;
    return static_cast<std::uint32_t>(
        std::min<std::int64_t>(Length, taken / kWavBlockAlign * kWavBlockAlign));
}

} // namespace

std::array<std::uint8_t, kWavHeaderSize> MakeWavHeader() {
    static constexpr char kIdentifiers[] = "RIFFWAVEfmt data";
    std::array<std::uint8_t, kWavHeaderSize> header{};
    std::memcpy(&header[0], kIdentifiers, 4);
    PutLittleEndian32(&header[4], 36);
    std::memcpy(&header[8], kIdentifiers + 4, 8);
    PutLittleEndian32(&header[16], 16);
    PutLittleEndian16(&header[20], 1); // PCM
    PutLittleEndian16(&header[22], kWavChannels);
    PutLittleEndian32(&header[24], kWavSampleRate);
    PutLittleEndian32(&header[28], kWavBytesPerSecond);
    PutLittleEndian16(&header[32], kWavBlockAlign);
    PutLittleEndian16(&header[34], 16);
    std::memcpy(&header[36], kIdentifiers + 12, 4);
    PutLittleEndian32(&header[40], 0);
    return header;
}

std::string SoundProblemMessage(TSoundProblem Problem, int ErrorNumber) {
    switch (Problem) {
    case TSoundProblem::NoDevice:
        return "没有可用的录音设备，本次录制没有声音。";
    case TSoundProblem::DeviceLost:
        return "录音设备已断开，声音只录到断开之前。";
    case TSoundProblem::WriteFailed:
        return "写入声音文件失败（" + SystemErrorText(ErrorNumber) + "），声音只保存到出错之前。";
    case TSoundProblem::SizeLimit:
        return "声音文件已达到大小上限，之后的声音没有录入。";
    }
    return {};
}

TWavRecord::TWavRecord() : TWavRecord(CreateSystemSoundLibrary()) {}

TWavRecord::TWavRecord(std::shared_ptr<TSoundLibrary> Library, TSoundClock Clock)
    : FLibrary(std::move(Library)), FClock(std::move(Clock)) {
    if (!FClock)
        FClock = [] { return std::chrono::steady_clock::now(); };
    if ((FLibrary->GetVersion() >> 16) != kSupportedVersion)
        return;
    if (!FLibrary->RecordInit(kDefaultDevice) || !FLibrary->Init(kDefaultDevice, kWavSampleRate)) {
        FLibrary->RecordFree();
        FLibrary->Free();
        return;
    }
    FLibraryReady = true;
    // The last input that is on now is the one to keep.
    int chosen = -1;
    for (int i = 0; i < kMaxInputs && FLibrary->RecordGetInputName(i); ++i) {
        const auto flags = static_cast<std::uint32_t>(FLibrary->RecordGetInput(i, nullptr));
        if ((flags & kInputOff) == 0)
            chosen = i;
    }
    SelectInput(chosen);
}

TWavRecord::~TWavRecord() {
    try {
        Stop();
    } catch (...) { // NOLINT(bugprone-empty-catch): an owner's handler must not end the program
    }
    FLibrary->RecordFree();
    FLibrary->Free();
}

void TWavRecord::SelectInput(int Index) {
    if (Index == FCurrentInput)
        return;
    FCurrentInput = Index;
    for (int j = 0; j < kMaxInputs && FLibrary->RecordSetInput(j, kInputOff, kVolumeUnchanged);
         ++j) {
    }
    FLibrary->RecordSetInput(Index, kInputOn, kVolumeUnchanged);
}

void TWavRecord::Start(const std::string& WavFileName, std::int32_t BufferSize) {
    // A second Start would throw away a file that is still being written.
    if (FRecording || FLibrary->ChannelIsActive(FChannel))
        return;
    FWavStream.reset();
    FBufferSize = BufferSize;
    FWavStream = CreateFile(WavFileName);
    FWavFileName = WavFileName;

    if (!FPaused) {
        FPauseAt = kNever;
        FResumeAt = kNever;
    }
    FAppendStopped = false;
    FLinedUp = false;
    FSilence = OnSilentStart ? std::make_unique<TSilenceWatch>(kWavSampleRate, 10, OnSilentStart)
                             : nullptr;
    FSoundCut = false;
    FWriteFailureTold = false;
    FLastFlush = FClock();
    FSegmentOpen = false;
    FSegmentBytes = 0;
    // Reserved here so that the callback does not allocate.
    FClockPoints.reserve(kClockPointsReserved);
    FClosedTime = std::chrono::microseconds(0);
    FClosedBytes = 0;

    // A library of another version is not asked to record at all.
    FChannel = FLibraryReady ? FLibrary->RecordStart(kWavSampleRate, kWavChannels, 0,
                                                     &TWavRecord::RecordProc, this)
                             : 0;
    FRecording = true;
    if (FChannel == 0 && !FNoDeviceReported) {
        FNoDeviceReported = true;
        Report(TSoundProblem::NoDevice);
    }
}

std::unique_ptr<IWavOutput> TWavRecord::CreateFile(const std::string& FileName) const {
    std::unique_ptr<IWavOutput> stream =
        FOutputFactory ? FOutputFactory(FileName, FBufferSize)
                       : std::make_unique<TBufferFileStream>(FileName, fmCreate, FBufferSize);
    const auto header = MakeWavHeader();
    stream->Write(header.data(), static_cast<std::int64_t>(header.size()));
    // On disk at once: a recording killed in its first second still leaves
    // a sound file that says what it is.
    stream->Flush();
    if (const int error = stream->FirstWriteError(); error != 0) {
        // A disk without room for the header: the file is not started.
        stream.reset();
        std::remove(FileName.c_str());
        throw EFCreateError(CannotCreateFileMessage(FileName, error), error);
    }
    return stream;
}

std::shared_future<double> TWavRecord::SplitAt(std::chrono::steady_clock::time_point Moment,
                                               const std::string& NextFileName) {
    std::shared_future<double> done;
    {
        std::lock_guard guard(FSplitLock);
        FSplits.push_back(TSplit{Moment, NextFileName, {}});
        done = FSplits.back().Done.get_future().share();
        FSplitPending = true;
    }
    // Without the library's thread nobody else writes the file.
    if (!FRecording || FChannel == 0)
        SwitchFile();
    return done;
}

std::uint32_t TWavRecord::BytesBeforeSplit(std::chrono::steady_clock::time_point End,
                                           std::uint32_t Length) {
    std::chrono::steady_clock::time_point moment;
    {
        std::lock_guard guard(FSplitLock);
        if (FSplits.empty())
            return Length;
        moment = FSplits.front().Moment;
    }
    return BytesTakenBefore(moment, End, Length);
}

void TWavRecord::SwitchFile() {
    TSplit split;
    {
        std::lock_guard guard(FSplitLock);
        if (FSplits.empty())
            return;
        split = std::move(FSplits.front());
        FSplits.pop_front();
        FSplitPending = !FSplits.empty();
    }
    const double ratio = ClockRatio();
    if (!FRecording) {
        split.Done.set_value(ratio);
        return;
    }
    if (FWavStream) {
        FWavStream->Flush();
        StillWriting();
        CompleteFile();
        FWavStream.reset();
    }
    if (!FAppendStopped) {
        try {
            FWavStream = CreateFile(split.NextFileName);
            FLastFlush = FClock();
        } catch (const EFCreateError& error) {
            FAppendStopped = true;
            if (!FWriteFailureTold) {
                FWriteFailureTold = true;
                if (OnWriteFailed)
                    OnWriteFailed(error.ErrorNumber());
            }
        }
    }
    split.Done.set_value(ratio);
}

bool TWavRecord::RecordProc(std::uint32_t Handle, const void* Buffer, std::uint32_t Length,
                            void* User) {
    return static_cast<TWavRecord*>(User)->RecordCallback(Handle, Buffer, Length, nullptr);
}

void TWavRecord::Pause() {
    if (FPaused)
        return;
    FPauseAt = FClock().time_since_epoch().count();
    FPaused = true;
}

void TWavRecord::Resume() {
    if (!FPaused)
        return;
    FResumeAt = FClock().time_since_epoch().count();
    FPaused = false;
}

bool TWavRecord::RecordCallback(std::uint32_t Handle, const void* Buffer, std::uint32_t Length,
                                void* /*User*/) {
    const auto now = FClock();
    if (FSilence)
        FSilence->Take(static_cast<const std::int16_t*>(Buffer), Length / kWavBlockAlign);
    // The library knows best when the block was taken (its delay counted);
    // otherwise it was taken just before it arrived.
    TakeBlock(FLibrary->ChannelBlockEnd(Handle).value_or(now),
              static_cast<const std::uint8_t*>(Buffer), Length);
    // After the block, paused or not: no sound waits in memory for longer
    // than the flush interval.
    FlushIfDue(now);
    return true;
}

void TWavRecord::TakeBlock(std::chrono::steady_clock::time_point End, const std::uint8_t* Bytes,
                           std::uint32_t Length) {
    using TTime = std::chrono::steady_clock::time_point;
    TTime start = End - SoundDuration(Length);
    // The whole frames of this block taken before Moment. A pause begins and
    // ends inside a block (0.1 s), so the sound is cut where the video is.
    auto bytesBefore = [&](std::int64_t Moment) -> std::uint32_t {
        return BytesTakenBefore(TTime(TTime::duration(Moment)), End, Length);
    };
    const bool paused = FPaused;
    if (FRecordStart && !FLinedUp) {
        const std::optional<TTime> begun = FRecordStart->Get();
        // Sound taken before the recording's time began belongs to no frame.
        if (!begun)
            return;
        TTime from = *begun;
        if (const std::int64_t resumed = FResumeAt; resumed != kNever)
            from = std::max(from, TTime(TTime::duration(resumed)));
        const std::uint32_t early = bytesBefore(from.time_since_epoch().count());
        if (early == Length)
            return;
        FLinedUp = true;
        if (early > 0) {
            // A device that ran before the recording: its sound is cut there.
            Bytes += early;
            Length -= early;
            start = End - SoundDuration(Length);
        } else {
            // A device that started late: silence stands for what it missed,
            // up to a pause that began meanwhile.
            TTime until = start;
            if (const std::int64_t pausedAt = FPauseAt; paused && pausedAt != kNever)
                until = std::min(until, TTime(TTime::duration(pausedAt)));
            if (until > from)
                PadSilence(until - from);
        }
    }
    const std::uint32_t beforePause = bytesBefore(FPauseAt);
    if (paused) {
        // What was taken before the pause began still belongs to the recording.
        if (beforePause > 0)
            Append(start + SoundDuration(beforePause), Bytes, beforePause);
        CloseSegment();
        return;
    }
    if (const std::uint32_t beforeResume = bytesBefore(FResumeAt); beforeResume > 0) {
        // A pause ended inside this block: only its ends are recorded.
        if (beforePause > 0)
            Append(start + SoundDuration(beforePause), Bytes, beforePause);
        CloseSegment();
        if (beforeResume < Length)
            Append(End, Bytes + beforeResume, Length - beforeResume);
        return;
    }
    Append(End, Bytes, Length);
}

void TWavRecord::PadSilence(std::chrono::steady_clock::duration Missing) {
    static constexpr std::uint8_t kSilence[4096] = {};
    const auto us = std::min(std::chrono::duration_cast<std::chrono::microseconds>(Missing),
                             std::chrono::microseconds(kMaxLineUp));
    std::int64_t left =
        us.count() * kWavBytesPerSecond / 1'000'000 / kWavBlockAlign * kWavBlockAlign;
    std::int64_t written = 0;
    while (left > 0 && !FAppendStopped && FWavStream) {
        const std::int64_t piece = std::min<std::int64_t>(left, sizeof kSilence);
        FWavStream->Write(kSilence, piece);
        if (!StillWriting())
            return;
        left -= piece;
        written += piece;
    }
    // Silence takes as long as it lasts: it does not enter the card's clock.
    FClosedBytes += written;
    FClosedTime += SoundDuration(written);
}

void TWavRecord::FlushIfDue(std::chrono::steady_clock::time_point Now) {
    if (!FWavStream || FAppendStopped || Now - FLastFlush < kFlushInterval - kFlushEarly)
        return;
    FWavStream->Flush();
    FLastFlush = Now;
    StillWriting();
}

void TWavRecord::Append(std::chrono::steady_clock::time_point End, const std::uint8_t* Data,
                        std::uint32_t Length) {
    while (FSplitPending) {
        const std::uint32_t before = BytesBeforeSplit(End, Length);
        if (before == Length)
            break;
        if (before > 0)
            AppendPiece(End - SoundDuration(Length - before), Data, before);
        SwitchFile();
        Data += before;
        Length -= before;
    }
    if (Length > 0)
        AppendPiece(End, Data, Length);
}

void TWavRecord::AppendPiece(std::chrono::steady_clock::time_point End, const std::uint8_t* Data,
                             std::uint32_t Length) {
    if (FAppendStopped || !FWavStream)
        return;
    // Whole frames up to the limit fit; the rest of the sound is cut.
    const std::int64_t maxData =
        (FFileSizeLimit - kWavHeaderSize) / kWavBlockAlign * kWavBlockAlign;
    const std::int64_t room =
        std::max<std::int64_t>(0, maxData - (FWavStream->Size() - kWavHeaderSize));
    std::int64_t kept = Length;
    if (kept > room) {
        kept = room;
        FSoundCut = true;
        FAppendStopped = true;
    }
    if (kept > 0) {
        FWavStream->Write(Data, kept);
        if (!StillWriting())
            return;
        NoteBlock(End, Length, kept);
    }
    if (FAppendStopped)
        CloseSegment();
}

bool TWavRecord::StillWriting() {
    const int error = FWavStream->FirstWriteError();
    if (error == 0)
        return true;
    // Nothing more is appended after a failure, not even what waits in the
    // buffer, so the file holds the sound up to the failure without gaps.
    FWavStream->DropBuffered();
    FAppendStopped = true;
    CloseSegment();
    if (!FWriteFailureTold) {
        FWriteFailureTold = true;
        if (OnWriteFailed)
            OnWriteFailed(error);
    }
    return false;
}

void TWavRecord::NoteBlock(std::chrono::steady_clock::time_point Arrival, std::uint32_t Length,
                           std::int64_t Kept) {
    // A block arrives when its last sample was taken; it began its own
    // duration earlier.
    if (!FSegmentOpen) {
        FSegmentOpen = true;
        FSegmentStart = Arrival - SoundDuration(Length);
        FSegmentBytes = 0;
        FClockPoints.clear();
    }
    FSegmentBytes += Kept;
    const double sound = static_cast<double>(FSegmentBytes) / kWavBytesPerSecond;
    const double wall =
        std::chrono::duration<double>(Arrival - SoundDuration(Length - Kept) - FSegmentStart)
            .count();
    const TClockPoint point{sound, wall - sound};
    const auto window = static_cast<std::int64_t>(sound / kClockWindowSeconds);
    if (FClockPoints.empty() || static_cast<std::int64_t>(FClockPoints.back().SoundSeconds /
                                                          kClockWindowSeconds) != window) {
        FClockPoints.push_back(point);
    } else if (point.Offset < FClockPoints.back().Offset) {
        FClockPoints.back() = point;
    }
}

double TWavRecord::SegmentSeconds() const {
    const double sound = static_cast<double>(FSegmentBytes) / kWavBytesPerSecond;
    const std::size_t count = FClockPoints.size();
    // One window is too short to tell a drift from the system's delays.
    if (count < 2)
        return sound;
    double meanX = 0;
    double meanY = 0;
    for (const TClockPoint& point : FClockPoints) {
        meanX += point.SoundSeconds;
        meanY += point.Offset;
    }
    meanX /= static_cast<double>(count);
    meanY /= static_cast<double>(count);
    double covariance = 0;
    double variance = 0;
    for (const TClockPoint& point : FClockPoints) {
        covariance += (point.SoundSeconds - meanX) * (point.Offset - meanY);
        variance += (point.SoundSeconds - meanX) * (point.SoundSeconds - meanX);
    }
    const double slope = variance > 0 ? covariance / variance : 0.0;
    return sound * (1.0 + slope);
}

void TWavRecord::CloseSegment() {
    if (!FSegmentOpen)
        return;
    FClosedTime += std::chrono::microseconds(std::llround(SegmentSeconds() * 1e6));
    FClosedBytes += FSegmentBytes;
    FSegmentOpen = false;
}

std::chrono::microseconds TWavRecord::CoveredTime() const {
    if (!FSegmentOpen)
        return FClosedTime;
    return FClosedTime + std::chrono::microseconds(std::llround(SegmentSeconds() * 1e6));
}

std::int64_t TWavRecord::CoveredBytes() const {
    return FClosedBytes + (FSegmentOpen ? FSegmentBytes : 0);
}

double TWavRecord::ClockRatio() const {
    const std::int64_t bytes = CoveredBytes();
    if (bytes <= 0)
        return 0;
    const double soundSeconds = static_cast<double>(bytes) / kWavBytesPerSecond;
    return std::chrono::duration<double>(CoveredTime()).count() / soundSeconds;
}

std::uint32_t TWavRecord::Overruns() const {
    return FChannel != 0 ? FLibrary->ChannelGetOverruns(FChannel) : 0;
}

void TWavRecord::Stop() {
    if (!FRecording)
        return;
    // A channel that ended on its own lost its device (the server went away).
    const bool deviceLost = FChannel != 0 && !FLibrary->ChannelIsActive(FChannel);
    if (FChannel != 0)
        FLibrary->ChannelStop(FChannel);
    int writeError = 0;
    if (FWavStream) {
        CompleteFile();
        writeError = FWavStream->FirstWriteError();
        FWavStream.reset();
    }
    FRecording = false;
    // Splits whose moment never came: the file before them ended here.
    while (FSplitPending)
        SwitchFile();

    if (deviceLost)
        Report(TSoundProblem::DeviceLost);
    if (writeError != 0)
        Report(TSoundProblem::WriteFailed, writeError);
    if (FSoundCut)
        Report(TSoundProblem::SizeLimit);
}

void TWavRecord::CompleteFile() {
    FWavStream->Flush();
    // Only bytes that reached the file are counted, so the sizes describe the file.
    std::int64_t size = FWavStream->Size();
    // A write that failed part-way can leave half a frame at the end.
    if (const std::int64_t partial = (size - kWavHeaderSize) % kWavBlockAlign;
        partial > 0 && FWavStream->SetSize(size - partial))
        size -= partial;
    if (size > kRiffFileSizeLimit) {
        SwitchToRf64(size);
    } else if (size >= kWavHeaderSize) {
        std::uint8_t field[4];
        PutLittleEndian32(field, static_cast<std::uint32_t>(size - 8));
        if (FWavStream->Seek(4, TSeekOrigin::soBeginning) == 4)
            FWavStream->WriteDirect(field, 4);
        PutLittleEndian32(field, static_cast<std::uint32_t>(size - kWavHeaderSize));
        if (FWavStream->Seek(40, TSeekOrigin::soBeginning) == 40)
            FWavStream->WriteDirect(field, 4);
    }
    FWavStream->Seek(0, TSeekOrigin::soBeginning);
}

void TWavRecord::SwitchToRf64(std::int64_t Size) {
    // The 64-bit sizes need 36 bytes more header than the plain one has; the
    // first 36 bytes of sound make room and move behind the data, where every
    // reader of ours puts them back in front. Nothing else of the file moves.
    std::uint8_t moved[kMovedChunkBytes];
    constexpr std::uint8_t kMovedTag[] = {'f', 'r', 's', 't'};
    std::memcpy(moved, kMovedTag, sizeof kMovedTag);
    PutLittleEndian32(moved + 4, static_cast<std::uint32_t>(kRf64MovedBytes));
    if (FWavStream->Seek(kWavHeaderSize, TSeekOrigin::soBeginning) != kWavHeaderSize ||
        FWavStream->Read(moved + 8, kRf64MovedBytes) != kRf64MovedBytes)
        return; // the sizes stay 36 and 0, which the repair reads as "to the end"
    // The moved sound is kept before the header that drops it is written.
    if (FWavStream->Seek(Size, TSeekOrigin::soBeginning) != Size ||
        FWavStream->WriteDirect(moved, kMovedChunkBytes) != kMovedChunkBytes)
        return;
    const auto plain = MakeWavHeader();
    const auto header =
        MakeRf64Header(&plain[20], Size - kRf64HeaderBytes, kMovedChunkBytes, kWavBlockAlign);
    if (FWavStream->Seek(0, TSeekOrigin::soBeginning) == 0)
        FWavStream->WriteDirect(header.data(), kRf64HeaderBytes);
}

void TWavRecord::Report(TSoundProblem Problem, int ErrorNumber) {
    if (OnProblem)
        OnProblem(Problem, SoundProblemMessage(Problem, ErrorNumber));
}

} // namespace vardocle

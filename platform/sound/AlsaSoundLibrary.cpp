#include "platform/sound/AlsaSoundLibrary.h"

#include "platform/sound/AlsaCapture.h"
#include "platform/sound/AlsaMixer.h"

#include <mutex>

namespace vardocle {

namespace {

// ALSA and its plugins report every failed open on stderr; we report failures
// ourselves, so their text is only noise.
void QuietAlsaErrors(const char*, int, const char*, int, const char*, ...) {}

void SilenceAlsa() {
    static std::once_flag once;
    std::call_once(once, [] { snd_lib_error_set_handler(QuietAlsaErrors); });
}

bool IsDefaultDevice(int Device) {
    return Device == kDefaultDevice || Device == 0;
}

} // namespace

std::string MixerNameForPcm(const std::string& PcmName) {
    // "hw:1,0" / "plughw:1,0" -> "hw:1"; other names ("default", "pulse")
    // have a control device of the same name.
    for (const std::string prefix : {"plughw:", "hw:"}) {
        if (PcmName.rfind(prefix, 0) == 0) {
            const std::string card = PcmName.substr(prefix.size());
            return "hw:" + card.substr(0, card.find(','));
        }
    }
    return PcmName;
}

TAlsaSoundLibrary::TAlsaSoundLibrary(std::string PcmName) : FPcmName(std::move(PcmName)) {
    SilenceAlsa();
}

TAlsaSoundLibrary::~TAlsaSoundLibrary() {
    RecordFree();
}

bool TAlsaSoundLibrary::Init(int Device, std::uint32_t /*Frequency*/) {
    // Nothing is played back; the library only needs to know it is in use.
    if (!IsDefaultDevice(Device))
        return false;
    FInitialized = true;
    return true;
}

bool TAlsaSoundLibrary::Free() {
    const bool was = FInitialized;
    FInitialized = false;
    return was;
}

bool TAlsaSoundLibrary::RecordInit(int Device) {
    if (!IsDefaultDevice(Device))
        return false;
    RecordFree();
    // The device counts as usable when it opens for capture now.
    if (!OpenCapturePcm(FPcmName))
        return false;
    FMixer = TAlsaMixer::Open(MixerNameForPcm(FPcmName));
    FRecordReady = true;
    return true;
}

bool TAlsaSoundLibrary::RecordFree() {
    const bool was = FRecordReady;
    FCapture.reset();
    FMixer.reset();
    FRecordReady = false;
    return was;
}

std::optional<std::string> TAlsaSoundLibrary::RecordGetInputName(int Input) {
    if (!FMixer || Input < 0 || Input >= FMixer->Count())
        return std::nullopt;
    return FMixer->Name(Input);
}

std::int32_t TAlsaSoundLibrary::RecordGetInput(int Input, float* Volume) {
    if (!FMixer)
        return -1;
    const std::optional<bool> on = FMixer->IsOn(Input);
    if (!on)
        return -1;
    if (Volume != nullptr)
        *Volume = FMixer->Volume(Input).value_or(1.0F);
    return *on ? 0 : static_cast<std::int32_t>(kInputOff);
}

bool TAlsaSoundLibrary::RecordSetInput(int Input, std::uint32_t Flags, float Volume) {
    if (!FMixer || Input < 0 || Input >= FMixer->Count())
        return false;
    bool ok = true;
    if ((Flags & kInputOff) != 0)
        ok = FMixer->SetOn(Input, false);
    else if ((Flags & kInputOn) != 0)
        ok = FMixer->SetOn(Input, true);
    if (Volume >= 0.0F)
        ok = FMixer->SetVolume(Input, Volume) && ok;
    return ok;
}

std::uint32_t TAlsaSoundLibrary::RecordStart(std::uint32_t Frequency, std::uint32_t Channels,
                                             std::uint32_t /*Flags*/, TRecordProc Proc,
                                             void* User) {
    if (!FRecordReady || Proc == nullptr || Channels < 1 || Channels > 2)
        return 0;
    if (FCapture && FCapture->Running())
        return 0; // one recording at a time
    FCapture.reset();
    const std::uint32_t handle = FNextHandle++;
    auto capture =
        std::make_unique<TAlsaCapture>(OpenCapturePcm(FPcmName), handle, Frequency, Channels,
                                       kPeriodFrames, kBufferPeriods, Proc, User);
    if (!capture->Ok())
        return 0;
    FCapture = std::move(capture);
    return handle;
}

TAlsaCapture* TAlsaSoundLibrary::CaptureFor(std::uint32_t Handle) {
    return FCapture && Handle != 0 && FCapture->Handle() == Handle ? FCapture.get() : nullptr;
}

bool TAlsaSoundLibrary::ChannelIsActive(std::uint32_t Handle) {
    TAlsaCapture* capture = CaptureFor(Handle);
    return capture != nullptr && capture->Running();
}

bool TAlsaSoundLibrary::ChannelStop(std::uint32_t Handle) {
    TAlsaCapture* capture = CaptureFor(Handle);
    if (capture == nullptr)
        return false;
    capture->Stop();
    return true;
}

std::uint32_t TAlsaSoundLibrary::ChannelGetOverruns(std::uint32_t Handle) {
    TAlsaCapture* capture = CaptureFor(Handle);
    return capture != nullptr ? capture->Overruns() : 0;
}

std::optional<std::chrono::steady_clock::time_point>
TAlsaSoundLibrary::ChannelBlockEnd(std::uint32_t /*Handle*/) {
    // Asked from inside the callback, on the capture's own thread; the
    // capture may not be known here yet when its first block comes.
    return DeliveredBlockEnd();
}

std::shared_ptr<TSoundLibrary> CreateSystemSoundLibrary() {
    return std::make_shared<TAlsaSoundLibrary>();
}

} // namespace vardocle

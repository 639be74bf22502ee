#include "tools/record/RecordSession.h"

#include "platform/screen/X11Screen.h"

#include <QTimer>

namespace vardocle {

TRecordSession::TRecordSession(const TRecordOptions& options, QObject* mainThread)
    : FOptions(options), FInvoker(mainThread) {}

TRecordSession::~TRecordSession() {
    if (FThread) {
        FThread->Terminate();
        FThread->WaitFor();
    }
}

void TRecordSession::Start() {
    SetConfiguredCodec(FOptions.Codec);
    auto screen = std::make_unique<TX11Screen>();
    FTransparentRecordedAnyway = !FOptions.Transparent && !screen->TransparentExclusionAvailable();
    FThread = std::make_unique<TRecordThread>(
        FOptions.OutputFile, TRect{0, 0, FOptions.Width, FOptions.Height}, std::string(),
        static_cast<std::uint8_t>(FOptions.Rate), std::move(screen), FInvoker);
    FThread->SetRecordCursor(FOptions.Cursor);
    FThread->SetRecordTransparent(FOptions.Transparent);
    FThread->OnRecordError = [this](TRecordThread&, const TRecordError& error) {
        if (!FError)
            FError = error;
        if (OnError)
            OnError(error);
    };
    FThread->OnRecordEnd = [this](TRecordThread& sender) {
        FEnded = true;
        FFinalFrames = sender.FramesWritten();
        FFinalMs = sender.RecordedMs();
        sender.WaitFor();
        if (OnEnded)
            OnEnded();
    };
    FThread->Resume();
}

void TRecordSession::Pause() {
    if (Running())
        FThread->Suspend();
}

void TRecordSession::Resume() {
    if (Running())
        FThread->Resume();
}

void TRecordSession::Stop() {
    if (Running())
        FThread->Terminate();
}

std::int32_t TRecordSession::FramesWritten() const {
    return FEnded || !FThread ? FFinalFrames : FThread->FramesWritten();
}

std::int64_t TRecordSession::RecordedMs() const {
    return FEnded || !FThread ? FFinalMs : FThread->RecordedMs();
}

} // namespace vardocle

#include "platform/screen/portal/PortalScreen.h"

#include "platform/base/Errors.h"
#include "platform/base/UserFilesFolder.h"
#include "platform/screen/portal/PipeWireStream.h"
#include "platform/screen/portal/PortalSession.h"

#include <QCoreApplication>
#include <QEventLoop>
#include <QThread>
#include <QTimer>

#include <atomic>
#include <chrono>
#include <fstream>
#include <optional>

namespace vardocle {

struct TPortalScreen::TState {
    std::filesystem::path TokenFile;
    int MaxFrameRate = 5;
    TLatestPicture Pictures;
    std::unique_ptr<TPortalSession> Session;
    std::unique_ptr<TPipeWireStream> Stream;
    std::optional<std::string> Failure;
    std::atomic<bool> Ended{false}; // the desktop closed the session

    // The stream goes first: it reads from the session's connection.
    void Release() {
        Stream.reset();
        Session.reset();
    }
};

TPortalScreen::TPortalScreen(std::filesystem::path tokenFile, int maxFrameRate,
                             const TCaptureArea& area)
    : FState(std::make_shared<TState>()), FArea(area) {
    FState->TokenFile = std::move(tokenFile);
    FState->MaxFrameRate = maxFrameRate > 0 ? maxFrameRate : 5;
}

TPortalScreen::~TPortalScreen() {
    // A recording lets go of its screen on the capture thread, but the
    // session lives on the thread whose event loop runs it: it goes there.
    QCoreApplication* application = QCoreApplication::instance();
    if (FState->Session && application && QThread::currentThread() != application->thread()) {
        QMetaObject::invokeMethod(
            application, [state = FState]() mutable { state->Release(); }, Qt::QueuedConnection);
        return;
    }
    FState->Release();
}

TScreenChanges TPortalScreen::TakeChanges() {
    TState& state = *FState;
    // Until the cast runs, and when it failed, the grab must be asked: it
    // starts the session and reports the failure.
    // A region counts only the changes that reach it, once its first
    // picture showed it is on the monitor.
    const bool fresh = FArea.Kind == TAreaKind::Region && FAreaChecked
                           ? state.Pictures.FreshIn(FArea.Region)
                           : state.Pictures.Fresh();
    const bool ask = !state.Session || !state.Stream || state.Failure || state.Ended ||
                     state.Stream->Failure() || fresh;
    return {ask, false};
}

void TPortalScreen::StartSession() {
    TState& state = *FState;
    if (state.Session)
        return;
    // The callbacks run on this thread, where the state is also released.
    state.Session = std::make_unique<TPortalSession>();
    state.Session->OnFailed = [&state](const std::string& message) {
        if (!state.Failure)
            state.Failure = message;
    };
    state.Session->OnEnded = [&state] { state.Ended = true; };
    state.Session->OnReady = [&state](TPortalCast& cast) {
        if (!cast.RestoreToken.empty())
            WriteRestoreToken(state.TokenFile, cast.RestoreToken);
        try {
            state.Stream = std::make_unique<TPipeWireStream>(
                std::move(cast.PipeWire), cast.Stream.Node, state.MaxFrameRate, state.Pictures);
        } catch (const std::exception& error) {
            state.Failure = PortalFailureMessage(TPortalFailure::StreamFailed, error.what());
        }
    };
    TPortalSessionOptions options;
    options.EmbedCursor = FEmbedCursor;
    options.Source = PortalSourceFor(FArea.Kind);
    options.RestoreToken = ReadRestoreToken(state.TokenFile);
    state.Session->Start(options);
}

bool TPortalScreen::StreamEnded() const {
    return FState->Ended || (FState->Stream && FState->Stream->Ended());
}

std::string TPortalScreen::EndedMessage() const {
    return PortalFailureMessage(
        FArea.Kind == TAreaKind::Window ? TPortalFailure::WindowGone : TPortalFailure::Closed, "");
}

void TPortalScreen::ThrowIfStopped() const {
    const TState& state = *FState;
    // The desktop stopped sharing: the recording ends as Stop does.
    if (StreamEnded())
        throw EScreenGone(EndedMessage());
    if (state.Failure)
        throw Exception(*state.Failure);
    if (state.Stream)
        if (const auto reason = state.Stream->Failure())
            throw Exception(PortalFailureMessage(TPortalFailure::StreamFailed, *reason));
}

TScreenGrab TPortalScreen::Grab() {
    StartSession();
    ThrowIfStopped();
    TCastPicture* picture = FState->Pictures.Take();
    if (!picture)
        return {};
    if (FArea.Kind != TAreaKind::Region)
        return {picture->Pixels.data(), picture->Width, picture->Height, picture->Stride()};
    // A region that is not wholly on the monitor's first picture is a wrong
    // choice, told before anything is recorded; a picture that shrinks later
    // shows black where the region lost it.
    if (!FAreaChecked) {
        const TScreenRect whole{0, 0, picture->Width, picture->Height};
        const TPlacedArea placed =
            PlaceArea(FArea, {{"", whole, true}}, picture->Width, picture->Height);
        if (placed.Placement != TAreaPlacement::Whole)
            throw Exception(AreaMissingMessage(FArea, placed.Placement));
        FAreaChecked = true;
    }
    return CropCastPicture(*picture, FArea.Region, FCropped);
}

TCastPicture TPortalScreen::StillPicture(int timeoutMs) {
    StartSession();
    const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    while (true) {
        ThrowIfStopped();
        if (const TCastPicture* picture = FState->Pictures.Take())
            return *picture;
        if (std::chrono::steady_clock::now() >= end)
            throw Exception("桌面在 " + std::to_string((timeoutMs + 999) / 1000) +
                            " 秒内没有送来屏幕的画面，无法在其上选择区域。"
                            "请稍后再试（屏幕上有变化时桌面才会送来画面）");
        // The session's answers and the stream's first picture come through
        // this thread's events.
        QEventLoop wait;
        QTimer::singleShot(20, &wait, &QEventLoop::quit);
        wait.exec();
    }
}

TCastPicture TakePortalStillPicture(int timeoutMs) {
    TPortalScreen screen(PortalTokenFile(TPortalSource::Monitor), 5);
    screen.SetCaptureCursor(false);
    return screen.StillPicture(timeoutMs);
}

std::filesystem::path PortalTokenFile(TPortalSource source) {
    return UserFiles().Folder() /
           (source == TPortalSource::Window ? "ScreenCast-window.token" : "ScreenCast.token");
}

std::string ReadRestoreToken(const std::filesystem::path& file) {
    std::ifstream in(file);
    std::string token;
    if (!(in >> token) || !IsUsableRestoreToken(token))
        return {};
    return token;
}

void WriteRestoreToken(const std::filesystem::path& file, const std::string& token) {
    if (!IsUsableRestoreToken(token) || ReadRestoreToken(file) == token)
        return;
    // Through a new file and a rename: a torn token would cost the user a
    // second choice, never a failed recording.
    const std::filesystem::path temporary = file.string() + ".tmp";
    {
        std::ofstream out(temporary, std::ios::trunc);
        out << token << '\n';
        if (!out.flush())
            return;
    }
    std::error_code ignored;
    std::filesystem::rename(temporary, file, ignored);
}

} // namespace vardocle

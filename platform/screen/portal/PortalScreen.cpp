#include "platform/screen/portal/PortalScreen.h"

#include "platform/base/Errors.h"
#include "platform/base/UserFilesFolder.h"
#include "platform/screen/portal/PipeWireStream.h"
#include "platform/screen/portal/PortalSession.h"

#include <QCoreApplication>
#include <QThread>

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

    // The stream goes first: it reads from the session's connection.
    void Release() {
        Stream.reset();
        Session.reset();
    }
};

TPortalScreen::TPortalScreen(std::filesystem::path tokenFile, int maxFrameRate)
    : FState(std::make_shared<TState>()) {
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
    const bool ask = !state.Session || !state.Stream || state.Failure || state.Stream->Failure() ||
                     state.Pictures.Fresh();
    return {ask, false};
}

TScreenGrab TPortalScreen::Grab() {
    TState& state = *FState;
    if (!state.Session) {
        // The callbacks run on this thread, where the state is also released.
        state.Session = std::make_unique<TPortalSession>();
        state.Session->OnFailed = [&state](const std::string& message) {
            if (!state.Failure)
                state.Failure = message;
        };
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
        options.RestoreToken = ReadRestoreToken(state.TokenFile);
        state.Session->Start(options);
    }
    if (state.Failure)
        throw Exception(*state.Failure);
    if (state.Stream)
        if (const auto reason = state.Stream->Failure())
            throw Exception(PortalFailureMessage(TPortalFailure::StreamFailed, *reason));
    TCastPicture* picture = state.Pictures.Take();
    if (!picture)
        return {};
    return {picture->Pixels.data(), picture->Width, picture->Height, picture->Stride()};
}

std::filesystem::path PortalTokenFile() {
    return UserFiles().Folder() / "ScreenCast.token";
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

// Vardocle: the desktop screen recorder.
#include "app/Application.h"
#include "app/CommandClient.h"
#include "app/CommandLine.h"
#include "app/DisplayCheck.h"
#include "app/DisplayLoss.h"
#include "app/ExitSignals.h"
#include "app/ProgramIdentity.h"
#include "app/ProgramUsage.h"
#include "app/QtTranslations.h"
#include "app/UserFilesNotice.h"
#include "app/WaylandDesktop.h"
#include "app/uFrmMain.h"
#include "app/uFrmSetting.h"
#include "history/uFrmAviDir.h"
#include "hotkeys/HotKeyText.h"
#include "platform/screen/X11Screen.h"
#include "services/SiteAddresses.h"
#include "services/uFrmAD.h"
#include "services/uFrmAbout.h"
#include "services/uFrmHelp.h"
#include "skin/ImagingSession.h"

#include <QSessionManager>
#include <QStringList>
#include <QTimer>

#include <cstdio>
#include <memory>

using namespace vardocle;

namespace {

// --site URL: the web site of the update description and the pages.
bool ApplyCommandLine(const QStringList& arguments) {
    const TParsedArguments parsed = ParseProgramArguments(arguments, QString());
    if (!parsed.Arguments) {
        std::fprintf(stderr, "vardocle: %s\n", qPrintable(parsed.Error));
        return false;
    }
    if (!parsed.Arguments->Site.isEmpty() && !SetSiteBase(parsed.Arguments->Site)) {
        std::fprintf(stderr, "vardocle: 网站地址无效 / invalid site address: %s\n",
                     qPrintable(parsed.Arguments->Site));
        return false;
    }
    return true;
}

// When this desktop cannot leave see-through windows out of a recording,
// the option's tooltip says so rather than the recording showing them silently.
void NoteTransparentCapture(TFrmSetting& setting) {
    try {
        const TX11Screen screen;
        if (!screen.TransparentExclusionAvailable())
            setting.CheckRecordThansparent->setToolTip(
                QString::fromUtf8(TransparentExclusionMissingNotice().Chinese));
    } catch (const std::exception&) {
        // No screen to ask: a recording will say so when it starts.
    }
}

} // namespace

int main(int argc, char** argv) {
    if (const auto status = AnswerCommandLine(argc, argv))
        return *status;
    // A command for the running copy needs no window of this one.
    if (const auto status = RunCommandIfAsked(argc, argv))
        return *status;
    PrepareProcessEnvironment();
    PreferXwayland();
    if (!RequireDisplay())
        return 1;
    TVardocleApplication application(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Vardocle"));
    QApplication::setApplicationDisplayName(QStringLiteral("Vardocle"));
    // Hidden to the tray is still running.
    QApplication::setQuitOnLastWindowClosed(false);
    if (!ApplyCommandLine(QApplication::arguments()))
        return 2;
    InstallQtTranslations(application);
    ApplyProgramIdentity();
    InstallMessageBoxErrorDisplay();
    InitializeHotKeyNames();
    const TImagingSession imaging;

    int result = 0;
    {
        // A signal ends the program as a close would, without the question;
        // the session ending or the loop stopping finishes a recording here.
        // Caught from before the first window exists: a window can be seen
        // (and the program told to end) while the others are still made.
        const TExitSignals exitSignals;
        // Made in this order; the settings window last, so it can place
        // itself beneath the main window.
        TFrmMain main;
        if (main.SecondCopy()) {
            AskRunningCopyToShow();
            return 0; // another copy runs: nothing registered, no icon
        }
        TFrmHelp help(&main);
        TFrmAbout about(&main);
        TFrmAD ad(&main);
        TFrmAVIDir aviDir(&main);
        TFrmSetting setting(&main);
        main.SetWindows(&help, &about, &ad, &aviDir, &setting);
        NoteTransparentCapture(setting);
        // The X server going away ends the program too, the recording saved.
        const TDisplayLossGuard displayLoss([&main] { return main.FinishAfterDisplayLoss(); });
        QObject::connect(&exitSignals, &TExitSignals::Requested, &main, &TFrmMain::EndOnRequest);
        QObject::connect(&application, &QGuiApplication::commitDataRequest, &main,
                         [&main](QSessionManager&) { main.FinishBeforeQuit(); });
        QObject::connect(&application, &QCoreApplication::aboutToQuit, &main,
                         &TFrmMain::FinishBeforeQuit);
        main.show();
        NoteWaylandDesktop(main, setting);
        NoteUserFilesProblem(main);
        // Once the window is up, so that it paints while the question waits.
        QTimer::singleShot(300, &main, &TFrmMain::CheckInterruptedRecordings);
        result = QApplication::exec();
    }
    FinalizeHotKeyNames();
    return result;
}

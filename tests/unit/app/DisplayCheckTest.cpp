// The check for a display before the windowed program starts: which
// platforms it tries, what it reports, and the program's own behaviour
// without a display (one line, status 1, none of the toolkit's abort).
#include "app/DisplayCheck.h"

#include "tests/support/TestSupport.h"

#include <filesystem>
#include <gtest/gtest.h>
#include <string>
#include <vector>

namespace vardocle {
namespace {

// Probes that answer as told and record what was tried.
struct RecordingProbes {
    bool X11Answer = true;
    bool WaylandAnswer = true;
    std::vector<std::string> Tried;

    TDisplayProbes Probes() {
        return {[this](const std::string& display) {
                    Tried.push_back("x11 " + display);
                    return X11Answer;
                },
                [this](const std::string& socket) {
                    Tried.push_back("wayland " + socket);
                    return WaylandAnswer;
                }};
    }
};

TEST(DisplayCheck, MissingDisplayVariableIsReportedWithoutTryingAConnection) {
    RecordingProbes probes;
    const auto problem = FindDisplayProblem({}, probes.Probes());
    ASSERT_TRUE(problem);
    EXPECT_NE(problem->English.find("DISPLAY is not set"), std::string::npos);
    EXPECT_NE(problem->Chinese.find("DISPLAY"), std::string::npos);
    EXPECT_TRUE(probes.Tried.empty());
}

TEST(DisplayCheck, DisplayThatRefusesIsNamedAndAReachableOnePasses) {
    RecordingProbes probes;
    probes.X11Answer = false;
    TDisplayEnvironment environment;
    environment.X11Display = ":999";
    const auto problem = FindDisplayProblem(environment, probes.Probes());
    ASSERT_TRUE(problem);
    EXPECT_NE(problem->English.find("cannot connect to the display :999"), std::string::npos);
    EXPECT_EQ(probes.Tried, std::vector<std::string>{"x11 :999"});

    probes.X11Answer = true;
    EXPECT_FALSE(FindDisplayProblem(environment, probes.Probes()));
}

TEST(DisplayCheck, WaylandSessionTriesItsSocketThenXwayland) {
    RecordingProbes probes;
    probes.WaylandAnswer = false;
    TDisplayEnvironment environment;
    environment.SessionType = "wayland";
    environment.WaylandDisplay = "wayland-1";
    environment.RuntimeDir = "/run/user/1000";
    environment.X11Display = ":1";
    EXPECT_FALSE(FindDisplayProblem(environment, probes.Probes()));
    EXPECT_EQ(probes.Tried,
              (std::vector<std::string>{"wayland /run/user/1000/wayland-1", "x11 :1"}));

    // Neither answers: the first platform's problem is the one reported.
    probes.X11Answer = false;
    const auto problem = FindDisplayProblem(environment, probes.Probes());
    ASSERT_TRUE(problem);
    EXPECT_NE(problem->English.find("Wayland display /run/user/1000/wayland-1"), std::string::npos);
}

TEST(DisplayCheck, PlatformListIsTriedInOrderWithoutArgumentsAndUnknownPlatformsPass) {
    RecordingProbes probes;
    probes.X11Answer = false;
    TDisplayEnvironment environment;
    environment.Platform = "xcb:nograb;wayland";
    environment.X11Display = ":5";
    environment.WaylandDisplay = "/tmp/w";
    EXPECT_FALSE(FindDisplayProblem(environment, probes.Probes()));
    EXPECT_EQ(probes.Tried, (std::vector<std::string>{"x11 :5", "wayland /tmp/w"}));

    probes.Tried.clear();
    environment.Platform = "offscreen";
    EXPECT_FALSE(FindDisplayProblem(environment, probes.Probes()));
    EXPECT_TRUE(probes.Tried.empty());
}

TEST(DisplayCheck, LineSaysWhatIsMissingInBothLanguagesAndPointsToTheRecorder) {
    const std::string line = DisplayProblemLine({"缺少显示", "no display"});
    EXPECT_EQ(line.find('\n'), std::string::npos);
    EXPECT_EQ(line.rfind("vardocle: 缺少显示", 0), 0u);
    EXPECT_NE(line.find(" / vardocle: no display"), std::string::npos);
    EXPECT_NE(line.find("在脚本中录制请使用 vardocle-record"), std::string::npos);
    EXPECT_NE(line.find("to record from scripts, use vardocle-record"), std::string::npos);
}

// An X display number with no server behind it on this machine.
QString UnusedDisplay() {
    for (int number = 990; number < 1100; ++number)
        if (!std::filesystem::exists("/tmp/.X11-unix/X" + std::to_string(number)) &&
            !std::filesystem::exists("/tmp/.X" + std::to_string(number) + "-lock"))
            return QStringLiteral(":%1").arg(number);
    return QStringLiteral(":1099");
}

TEST(ProgramWithoutDisplay, SaysSoOnOneLineAndEndsWithStatusOne) {
    const QString program = QString::fromStdString((test::BinDir() / "vardocle").string());
    const QString unused = UnusedDisplay();
    struct Case {
        QStringList Environment;
        QString Expected;
    };
    const std::vector<Case> cases = {
        {{"DISPLAY=", "WAYLAND_DISPLAY=", "QT_QPA_PLATFORM="}, "DISPLAY is not set"},
        {{"DISPLAY=" + unused, "WAYLAND_DISPLAY=", "QT_QPA_PLATFORM="},
         "cannot connect to the display " + unused},
        {{"DISPLAY=" + unused, "WAYLAND_DISPLAY=", "QT_QPA_PLATFORM=nosuchplatform"},
         "platform plugin nosuchplatform could not be loaded"}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.Environment.join(' ').toStdString());
        const test::ProcessResult run =
            test::RunProcess(program, {}, std::chrono::seconds(30), c.Environment);
        // A normal exit: an abort would leave no exit code.
        EXPECT_EQ(run.ExitCode, 1) << run.Err.toStdString();
        const QString err = QString::fromUtf8(run.Err).trimmed();
        EXPECT_FALSE(err.contains('\n')) << err.toStdString();
        EXPECT_TRUE(err.contains(c.Expected)) << err.toStdString();
        EXPECT_TRUE(err.contains("vardocle-record")) << err.toStdString();
        EXPECT_FALSE(err.contains("Qt platform plugin")) << err.toStdString();
        EXPECT_TRUE(run.Out.isEmpty());
    }
}

TEST(ProgramWithoutDisplay, AnswersHelpAndVersionWithStatusZero) {
    const QString program = QString::fromStdString((test::BinDir() / "vardocle").string());
    const QStringList noDisplay = {"DISPLAY=", "WAYLAND_DISPLAY="};
    const test::ProcessResult help =
        test::RunProcess(program, {"--help"}, std::chrono::seconds(30), noDisplay);
    EXPECT_EQ(help.ExitCode, 0) << help.Err.toStdString();
    for (const char* word : {"--site", "--command", "Alt+1", "用法"})
        EXPECT_TRUE(QString::fromUtf8(help.Out).contains(QString::fromUtf8(word))) << word;
    const test::ProcessResult version =
        test::RunProcess(program, {"--version"}, std::chrono::seconds(30), noDisplay);
    EXPECT_EQ(version.ExitCode, 0) << version.Err.toStdString();
    EXPECT_EQ(version.Out, "vardocle 1.0.0.0\n");
    EXPECT_EQ(
        test::RunProcess(program, {"--nonsense"}, std::chrono::seconds(30), noDisplay).ExitCode, 2);
}

} // namespace
} // namespace vardocle

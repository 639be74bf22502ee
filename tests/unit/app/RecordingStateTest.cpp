#include "app/RecordingState.h"

#include <gtest/gtest.h>

using namespace vardocle;

TEST(OutputPaths, FollowTheChosenName) {
    EXPECT_EQ(OutputPathsFor("/r/clip").AviFileName, "/r/clip.Avi");
    EXPECT_EQ(OutputPathsFor("/r/clip").WavFileName, "/r/clip.Wav");
    EXPECT_EQ(OutputPathsFor("/r/clip.avi").AviFileName, "/r/clip.avi");
    EXPECT_EQ(OutputPathsFor("/r/clip.avi").WavFileName, "/r/clip.Wav");
    EXPECT_EQ(OutputPathsFor("/r/movie.mp4").AviFileName, "/r/movie.mp4");
    EXPECT_EQ(OutputPathsFor("/r/movie.mp4").WavFileName, "/r/movie.Wav");
    // A dot in a folder is no extension.
    EXPECT_EQ(OutputPathsFor("/r/v1.2/clip").AviFileName, "/r/v1.2/clip.Avi");
    EXPECT_EQ(OutputPathsFor("/r/v1.2/clip").WavFileName, "/r/v1.2/clip.Wav");
}

TEST(ControlStates, FollowTheRecordingState) {
    const TControlStates idle = ControlStatesFor(TRecordingState::Idle);
    const TControlStates recording = ControlStatesFor(TRecordingState::Recording);
    const TControlStates paused = ControlStatesFor(TRecordingState::Paused);
    EXPECT_TRUE(idle.Start && idle.Voice && idle.Rate && idle.Options);
    EXPECT_FALSE(idle.Stop || idle.Pause || idle.Resume);
    EXPECT_TRUE(recording.Stop && recording.Pause);
    EXPECT_FALSE(recording.Start || recording.Resume || recording.Voice || recording.Rate ||
                 recording.Options);
    EXPECT_TRUE(paused.Stop && paused.Resume);
    EXPECT_FALSE(paused.Start || paused.Pause || paused.Voice || paused.Rate || paused.Options);
}

TEST(TrayTips, NameTheState) {
    // The whole tip: the program's name above the state, nothing else.
    EXPECT_EQ(TrayTipFor(TRecordingState::Idle), QStringLiteral("Vardocle\n-\n状态:等待录制"));
    EXPECT_EQ(TrayTipFor(TRecordingState::Recording), QStringLiteral("Vardocle\n-\n状态:正在录制"));
    EXPECT_EQ(TrayTipFor(TRecordingState::Paused), QStringLiteral("Vardocle\n-\n状态:暂停录制"));
    EXPECT_EQ(TrayTipFor(TRecordingState::Saving), SavingTrayTip(0));
    EXPECT_NE(SavingTrayTip(0), SavingTrayTip(45));
    EXPECT_TRUE(SavingTrayTip(45).contains(QStringLiteral("45%")));
}

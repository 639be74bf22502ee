// The step of each picture: fine and steady while little changes, coarse for
// a whole-screen change, never wandering down and up again (each fall makes
// the encoder look at every kept macroblock again).
#include "platform/avifile/H264StepChoice.h"

#include <gtest/gtest.h>

#include <vector>

namespace vardocle {
namespace {

constexpr int kFinest = 6;
constexpr int kCoarsest = 23;

TEST(H264StepChoice, TypingAndThePointerStayAtTheFinestStepFromTheFirstPicture) {
    TH264StepChoice steps(kFinest, kCoarsest);
    // The first picture is the whole screen, yet it is the still screen
    // everything after is kept against.
    EXPECT_EQ(steps.Next(1.0, true), kFinest);
    for (const double share : {0.001, 0.02, 0.0, 0.005, 0.015})
        EXPECT_EQ(steps.Next(share, false), kFinest) << share;
}

TEST(H264StepChoice, AWholeScreenChangeIsCoarseAndTheNextSmallChangeRefinesOnce) {
    TH264StepChoice steps(kFinest, kCoarsest);
    steps.Next(1.0, true);
    EXPECT_EQ(steps.Next(1.0, false), kCoarsest);
    EXPECT_EQ(steps.Next(0.9, false), kCoarsest) << "a slightly smaller change keeps the step";
    EXPECT_EQ(steps.Next(0.003, false), kFinest) << "typing after scrolling is sharp again";
    EXPECT_EQ(steps.Next(0.003, false), kFinest);
}

TEST(H264StepChoice, AChangeOfSteadySizeKeepsOneStepThoughItsShareWavers) {
    TH264StepChoice steps(kFinest, kCoarsest);
    steps.Next(1.0, true);
    // A video in a window of about a third of the screen, the pointer
    // crossing it now and then.
    std::vector<int> chosen;
    for (const double share : {0.30, 0.26, 0.34, 0.28, 0.33, 0.25, 0.31})
        chosen.push_back(steps.Next(share, false));
    EXPECT_GT(chosen.front(), kFinest);
    EXPECT_LT(chosen.front(), kCoarsest);
    for (std::size_t i = 1; i < chosen.size(); ++i)
        EXPECT_GE(chosen[i], chosen[i - 1]) << "picture " << i << " fell to a finer step";
    EXPECT_LE(chosen.back() - chosen.front(), TH264StepChoice::RefineGap);
}

TEST(H264StepChoice, AKeyFrameTakesTheStepItsChangeAsksFor) {
    TH264StepChoice steps(kFinest, kCoarsest);
    steps.Next(1.0, true);
    steps.Next(1.0, false);
    // Every macroblock of a key frame is coded anyway: a small change there
    // needs no refinement later.
    const int wanted = steps.Wanted(0.2);
    EXPECT_LT(wanted, kCoarsest - TH264StepChoice::RefineGap + 1);
    EXPECT_EQ(steps.Next(0.2, true), wanted);
    EXPECT_EQ(steps.Next(0.05, true), steps.Wanted(0.05));
}

TEST(H264StepChoice, AWholeScreenChangeIsCoarserTheShorterEachPictureIsSeen) {
    // The steps the encoder's own constant-rate mode gave a screen changing
    // all over, at 2 and 5 pictures a second.
    EXPECT_EQ(CoarsestStepFor(23, 2), 22);
    EXPECT_EQ(CoarsestStepFor(23, 5), 25);
    EXPECT_EQ(CoarsestStepFor(51, 25), 51) << "beyond the encoder's range";
    EXPECT_EQ(CoarsestStepFor(0, 0), 0) << "no rate is taken as a slow one";
}

} // namespace
} // namespace vardocle

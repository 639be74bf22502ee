// The H.264 compressor is told which macroblocks did not change and leaves
// them as they were. A map that misses a change would leave a stale block in
// the file, so every decoded slot is compared, macroblock by macroblock, with
// a whole grab of the same moment (the cursor drawn on both) scaled in one
// whole pass: windows shown, moved and closed, the cursor moving and changing
// shape, changes in the last partial macroblock row and column, on a
// macroblock's edge and one pixel past it, at the screen's own size and
// scaled to a size that is no multiple of 16.
#include <gtest/gtest.h>

#include "engine/CursorDraw.h"
#include "platform/avifile/AviFile.h"
#include "platform/avifile/Compressors.h"
#include "platform/avifile/H264Encoder.h"
#include "platform/avifile/ImageScaler.h"
#include "platform/screen/X11Screen.h"
#include "tests/integration/capture/PrivateDesktopTest.h"
#include "tests/support/H264AviFile.h"

#include <X11/cursorfont.h>

extern "C" {
#include <libavutil/pixfmt.h>
}

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <functional>
#include <string>
#include <unistd.h>
#include <vector>

using namespace vardocle;
using namespace vardocle::test;

namespace {

namespace fs = std::filesystem;

// The primary monitor: no multiple of 16 either way, so the last macroblock
// row and column are partial.
constexpr TTestRect kMonitor{0, 0, 1000, 712};

// Measured over both sizes here: the worst macroblock of any slot of a correct
// file has a luma PSNR of 41.5 dB (the first picture, scaled); a block left
// stale where a window was is at 13 dB, and one column of 16 pixels left
// stale at about 23 dB.
constexpr double kWorstBlockPsnr = 30.0;

using TPlanes = std::vector<std::uint8_t>; // Y, then U, then V, tightly packed

TPlanes WholePass(const TScreenGrab& grab, int width, int height) {
    TImageScaler scaler;
    TPlanes planes(static_cast<std::size_t>(width) * height * 3 / 2);
    std::uint8_t* to[3] = {planes.data(),
                           planes.data() + static_cast<std::ptrdiff_t>(width) * height,
                           planes.data() + static_cast<std::ptrdiff_t>(width) * height * 5 / 4};
    const int strides[3] = {width, width / 2, width / 2};
    TSourceImage image = grab.Image();
    image.Changed = {};
    EXPECT_TRUE(scaler.Scale(image, width, height, AV_PIX_FMT_YUV420P, to, strides));
    return planes;
}

// Every slot as a player shows it (the recordings here have 2 a second): an
// empty chunk repeats the picture before.
std::vector<TPlanes> Decode(const fs::path& file, int width, int height) {
    const std::string command = "ffmpeg -v error -nostdin -i '" + file.string() +
                                "' -vf fps=2 -f rawvideo -pix_fmt yuv420p -";
    std::vector<TPlanes> frames;
    std::FILE* pipe = popen(command.c_str(), "r");
    if (!pipe)
        return frames;
    TPlanes frame(static_cast<std::size_t>(width) * height * 3 / 2);
    while (std::fread(frame.data(), 1, frame.size(), pipe) == frame.size())
        frames.push_back(frame);
    pclose(pipe);
    return frames;
}

// The lowest luma PSNR of any macroblock (partial ones at the edges too).
double WorstBlock(const TPlanes& got, const TPlanes& want, int width, int height) {
    double worst = 99;
    for (int top = 0; top < height; top += 16)
        for (int left = 0; left < width; left += 16) {
            double squared = 0;
            int samples = 0;
            for (int y = top; y < std::min(height, top + 16); ++y)
                for (int x = left; x < std::min(width, left + 16); ++x) {
                    const auto at = static_cast<std::size_t>(y) * width + x;
                    const double difference = static_cast<double>(got[at]) - want[at];
                    squared += difference * difference;
                    ++samples;
                }
            const double mean = squared / samples;
            if (mean > 0)
                worst = std::min(worst, 10 * std::log10(255.0 * 255.0 / mean));
        }
    return worst;
}

class EncodedSlots : public TPrivateDesktopTest {
protected:
    void SetUp() override {
        TPrivateDesktopTest::SetUp();
        // The server's own monitor cannot be taken away; the new one is the
        // primary all the same.
        const auto previous = XSetErrorHandler([](Display*, XErrorEvent*) { return 0; });
        FDesktop->SetMonitors({kMonitor}, 0);
        XSetErrorHandler(previous);
        FDirectory = fs::temp_directory_path() / ("encoded-slots-" + std::to_string(getpid()));
        fs::create_directories(FDirectory);
    }
    void TearDown() override {
        TH264Encoder::SetMapHookForTests({});
        fs::remove_all(FDirectory);
    }

    // Records the steps at `width` x `height` with partial grabs, keeping a
    // whole grab of each moment; the worst macroblock of any decoded slot.
    double Record(int width, int height) {
        TX11Screen kept{FServer.Name()};
        TX11Screen whole{FServer.Name()};
        const fs::path path = FDirectory / ("slots-" + std::to_string(width) + ".avi");
        TH264AviFile avi = OpenH264AviFile(path, 2, kRecordingQuality, width, height);
        auto& [file, video, compressed] = avi;
        if (!file)
            return 0;
        EXPECT_EQ(file->BeginWriting(), AVIERR_OK);
        std::vector<TPlanes> expected;
        const auto slot = [&](const char* step) {
            XSync(FDesktop->Connection(), False);
            kept.TakeChanges();
            TScreenGrab grab = kept.Grab();
            ASSERT_NE(grab.Pixels, nullptr) << step;
            ASSERT_EQ(grab.Width, kMonitor.Width) << step;
            ASSERT_EQ(grab.Height, kMonitor.Height) << step;
            // The cursor is drawn as the recorder draws it.
            const TScreenRect drawn = DrawCursor(grab, kept.Cursor());
            if (!drawn.Empty()) {
                grab.Changed.AddArea(drawn.X, drawn.Y, drawn.Width, drawn.Height);
                kept.DrawnOver(drawn);
            }
            const auto index = static_cast<std::int32_t>(expected.size());
            ASSERT_EQ(compressed->WriteImage(index, grab.Image(), 0), AVIERR_OK)
                << step << ": " << compressed->LastError();
            whole.GrabWholeNext();
            TScreenGrab reference = whole.Grab();
            DrawCursor(reference, whole.Cursor());
            expected.push_back(WholePass(reference, width, height));
            Steps.push_back(step);
            // The same picture again in the next slots, as the recorder
            // sharpens a picture that stays (where it was coded coarsely).
            for (int refine = 0; refine < 4; ++refine) {
                const auto at = static_cast<std::int32_t>(expected.size());
                ASSERT_EQ(compressed->RefineLast(at), AVIERR_OK) << step;
                expected.push_back(expected.back());
                Steps.push_back(std::string(step) + ", again");
            }
        };
        Steps.clear();
        FDesktop->MovePointer(500, 300);
        slot("first");
        // One pixel past a macroblock's edge each way.
        const Window small =
            FDesktop->ShowWindow(TTestWindowKind::Opaque, {160, 96, 33, 17}, 0xFF0000);
        slot("window one pixel past an edge");
        // Exactly on macroblock edges.
        const Window exact =
            FDesktop->ShowWindow(TTestWindowKind::Opaque, {320, 320, 64, 64}, 0x00FF00);
        slot("window on edges");
        // Into the last partial macroblock row and column.
        FDesktop->MoveWindow(small, kMonitor.Width - 5, kMonitor.Height - 3);
        slot("window moved into the corner");
        FDesktop->MovePointer(350, 350);
        slot("pointer over a window");
        const Cursor hand = XCreateFontCursor(FDesktop->Connection(), XC_hand2);
        XDefineCursor(FDesktop->Connection(), exact, hand);
        slot("cursor changed shape");
        FDesktop->HideWindow(exact);
        slot("window closed");
        FDesktop->HideWindow(small);
        slot("corner window closed");
        XFreeCursor(FDesktop->Connection(), hand);
        // As the recorder ends a recording: the last slots play the last picture.
        EXPECT_EQ(compressed->PadTo(static_cast<std::int32_t>(expected.size())), AVIERR_OK);
        compressed.reset();
        video.reset();
        EXPECT_EQ(file->Release(), AVIERR_OK);
        const std::vector<TPlanes> decoded = Decode(path, width, height);
        EXPECT_EQ(decoded.size(), expected.size());
        double worst = 99;
        for (std::size_t i = 0; i < std::min(decoded.size(), expected.size()); ++i) {
            const double block = WorstBlock(decoded[i], expected[i], width, height);
            SCOPED_TRACE(Steps[i]);
            RecordProperty(Steps[i] + " at " + std::to_string(width), std::to_string(block));
            worst = std::min(worst, block);
            Worst.push_back(block);
        }
        return worst;
    }

    fs::path FDirectory;
    std::vector<std::string> Steps;
    std::vector<double> Worst;
};

} // namespace

TEST_F(EncodedSlots, EveryDecodedSlotMatchesAWholeGrabOfTheSameMoment) {
    for (const auto& [width, height] : {std::pair{kMonitor.Width, kMonitor.Height}, {750, 534}}) {
        SCOPED_TRACE(std::to_string(width) + "x" + std::to_string(height));
        Worst.clear();
        const double worst = Record(width, height);
        for (std::size_t i = 0; i < Worst.size(); ++i)
            EXPECT_GE(Worst[i], kWorstBlockPsnr) << Steps[i];
        EXPECT_GE(worst, kWorstBlockPsnr);
    }
}

TEST_F(EncodedSlots, AChangedMacroblockTakenAsUnchangedShows) {
    // The macroblock under the middle of the window shown first is said
    // never to change.
    TH264Encoder::SetMapHookForTests([](std::vector<std::uint8_t>& map, int columns) {
        map[static_cast<std::size_t>(6 * columns + 11)] = 1;
    });
    EXPECT_LT(Record(kMonitor.Width, kMonitor.Height), kWorstBlockPsnr);
}

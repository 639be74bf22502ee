#include "engine/AviWriter.h"
#include "engine/SoundMerge.h"
#include "platform/avifile/Compressors.h"
#include "platform/base/Errors.h"
#include "tests/support/TestSupport.h"
#include "tests/unit/engine/TestPictures.h"

#include <QRegularExpression>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>

using namespace vardocle;
using namespace vardocle::test;

namespace {

std::string ErrorOf(const std::function<void()>& action) {
    try {
        action();
    } catch (const Exception& error) {
        return error.what();
    }
    return "";
}

// Sets the codec "IV41" resolves to for one test, and restores the default.
class CodecScope {
public:
    explicit CodecScope(TCodecKind kind) { SetConfiguredCodec(kind); }
    ~CodecScope() { SetConfiguredCodec(TCodecKind::H264); }
};

// Decodes every frame of the file to 24-bit top-down pixels.
QByteArray DecodeFrames(const std::filesystem::path& file) {
    const auto result =
        RunProcess("ffmpeg", {"-v", "error", "-i", QString::fromStdString(file.string()), "-f",
                              "rawvideo", "-pix_fmt", "bgr24", "-"});
    return result.ExitCode == 0 ? result.Out : QByteArray();
}

TFrameBitmap FrameOf(const TTestScreen& screen, int width, int height) {
    return TFrameBitmap{screen.Image(), width, height};
}

} // namespace

TEST(BitmapRoutines, RowsArePaddedToFourBytes) {
    EXPECT_EQ(RowBytes(1024, 24, 32), 3072u);
    EXPECT_EQ(RowBytes(1, 24, 32), 4u);
    EXPECT_EQ(RowBytes(2, 24, 32), 8u);
    EXPECT_EQ(RowBytes(5, 8, 32), 8u);
    EXPECT_EQ(RowBytes(33, 1, 32), 8u);
}

TEST(BitmapRoutines, HeaderAndSizesOfADefaultFrame) {
    const TFrameBitmap frame{{}, 1024, 768};
    BITMAPINFOHEADER header{};
    FillFrameHeader(frame, header, TPixelFormat::pf24bit);
    EXPECT_EQ(header.biSize, 40u);
    EXPECT_EQ(header.biWidth, 1024);
    EXPECT_EQ(header.biHeight, 768);
    EXPECT_EQ(header.biPlanes, 1);
    EXPECT_EQ(header.biBitCount, 24);
    EXPECT_EQ(header.biCompression, 0u);
    EXPECT_EQ(header.biSizeImage, 2359296u);
    EXPECT_EQ(header.biXPelsPerMeter, 0);
    EXPECT_EQ(header.biClrUsed, 0u);

    std::uint32_t headerSize = 0;
    std::uint32_t imageSize = 0;
    GetFrameSizes(frame, TPixelFormat::pf24bit, headerSize, imageSize);
    EXPECT_EQ(headerSize, 40u);
    EXPECT_EQ(imageSize, 2359296u);
    // Paletted depths carry a colour table of 2^bits entries.
    GetFrameSizes(frame, TPixelFormat::pf8bit, headerSize, imageSize);
    EXPECT_EQ(headerSize, 40u + 4 * 256);
    EXPECT_EQ(imageSize, 1024u * 768);
    GetFrameSizes(TFrameBitmap{{}, 1, 3}, TPixelFormat::pf24bit, headerSize, imageSize);
    EXPECT_EQ(imageSize, 12u);
}

TEST(BitmapRoutines, RefuseOtherDepthsAndEmptyBitmaps) {
    BITMAPINFOHEADER header{};
    EXPECT_EQ(ErrorOf([&] {
                  FillFrameHeader({{}, 4, 4}, header, TPixelFormat::pf32bit);
              }),
              "Invalid pixel foramt");
    EXPECT_EQ(ErrorOf([&] {
                  FillFrameHeader({{}, 4, 4}, header, TPixelFormat::pf16bit);
              }),
              "Invalid pixel foramt");
    EXPECT_EQ(ErrorOf([&] {
                  FillFrameHeader({{}, 0, 4}, header, TPixelFormat::pf24bit);
              }),
              "Invalid bitmap");
}

TEST(BitmapRoutines, FrameBitsAreBottomUpWithPaddedRows) {
    // Same size: the copy is exact, so any shift from the row padding shows.
    const TTestScreen screen(5, 4);
    BITMAPINFOHEADER header{};
    const std::size_t rowBytes = RowBytes(5, 24, 32);
    ASSERT_EQ(rowBytes, 16u);
    std::vector<std::uint8_t> bits(rowBytes * 4, 0xEE);
    ASSERT_TRUE(
        GetFrameBits(FrameOf(screen, 5, 4), nullptr, header, TPixelFormat::pf24bit, bits.data()));
    for (int y = 0; y < 4; ++y)
        for (int x = 0; x < 5; ++x) {
            // The first stored row is the bottom one.
            const std::uint8_t* p =
                bits.data() + std::size_t(3 - y) * rowBytes + std::size_t(x) * 3;
            const std::uint32_t pixel = (std::uint32_t(p[2]) << 16) | (p[1] << 8) | p[0];
            EXPECT_EQ(pixel, screen.Pixel(x, y)) << x << "," << y;
        }
    // Paletted copies are not made.
    EXPECT_FALSE(
        GetFrameBits(FrameOf(screen, 5, 4), nullptr, header, TPixelFormat::pf8bit, bits.data()));
}

TEST(BitmapRoutines, FrameBitsStretchTheWholeScreen) {
    const TTestScreen screen(64, 64); // four blocks of 16 pixels each way
    BITMAPINFOHEADER header{};
    const std::size_t rowBytes = RowBytes(8, 24, 32);
    std::vector<std::uint8_t> bits(rowBytes * 8);
    ASSERT_TRUE(
        GetFrameBits(FrameOf(screen, 8, 8), nullptr, header, TPixelFormat::pf24bit, bits.data()));
    for (int block = 0; block < 4; ++block) {
        // The middle of each block keeps the block's colour.
        const int x = block * 2;
        const int y = block * 2;
        const std::uint8_t* p = bits.data() + std::size_t(7 - y) * rowBytes + std::size_t(x) * 3;
        const std::uint32_t expected = screen.Pixel(block * 16 + 8, block * 16 + 8);
        EXPECT_NEAR(p[2], (expected >> 16) & 0xFF, 24) << block;
        EXPECT_NEAR(p[0], expected & 0xFF, 24) << block;
    }
}

TEST(AviWriter, OpenChecksTheNameBeforeTheSize) {
    TempDir dir;
    TAviWriter writer;
    EXPECT_EQ(ErrorOf([&] { writer.Open("", 0, 0, 2, ""); }), "File cannot be empty");
    const auto file = (dir / "a.avi").string();
    EXPECT_EQ(ErrorOf([&] { writer.Open(file, 0, 768, 2, ""); }),
              "Width or height cannot equal zero");
    EXPECT_EQ(ErrorOf([&] { writer.Open(file, 1024, 0, 2, ""); }),
              "Width or height cannot equal zero");
    EXPECT_FALSE(writer.IsOpen());
    EXPECT_FALSE(std::filesystem::exists(file));
}

TEST(AviWriter, DescribesTheVideoStreamItCreates) {
    TempDir dir;
    TAviWriter writer;
    ASSERT_TRUE(writer.Open((dir / "a.avi").string(), 1024, 768, 3, ""));
    EXPECT_EQ(writer.ImageSize(), 2359296u);
    const AVISTREAMINFOA& info = writer.VideoStreamInfo();
    EXPECT_EQ(info.fccType, MakeFourCC('v', 'i', 'd', 's'));
    EXPECT_EQ(info.fccHandler, MakeFourCC('I', 'V', '4', '1'));
    EXPECT_EQ(info.dwScale, 1u);
    EXPECT_EQ(info.dwRate, 3u);
    EXPECT_EQ(info.dwSuggestedBufferSize, 2359296u);
    EXPECT_EQ(info.rcFrame.Right, 1024);
    EXPECT_EQ(info.rcFrame.Bottom, 768);
    EXPECT_EQ(MakeFourCC('I', 'V', '4', '1'), 0x31345649u);
}

TEST(AviWriter, UnwritablePlaceIsReportedAndLeavesNothing) {
    TempDir dir;
    TAviWriter writer;
    const auto file = dir / "missing" / "a.avi";
    EXPECT_FALSE(writer.Open(file.string(), 64, 48, 2, ""));
    EXPECT_FALSE(writer.IsOpen());
    EXPECT_NE(writer.LastError().find("Cannot create file"), std::string::npos)
        << writer.LastError();
    EXPECT_NE(writer.LastError().find("No such file or directory"), std::string::npos);
    const TTestScreen screen(64, 48);
    EXPECT_FALSE(writer.WriteFrame(FrameOf(screen, 64, 48)));
    EXPECT_TRUE(writer.Close());
    EXPECT_FALSE(std::filesystem::exists(file));

    // A read-only file stays as it was, even for a user who could override it.
    const auto readOnly = dir / "locked.avi";
    std::ofstream(readOnly) << "keep";
    std::filesystem::permissions(readOnly, std::filesystem::perms::owner_read |
                                               std::filesystem::perms::group_read);
    EXPECT_FALSE(writer.Open(readOnly.string(), 64, 48, 2, ""));
    EXPECT_NE(writer.LastError().find("Permission denied"), std::string::npos);
    EXPECT_EQ(std::filesystem::file_size(readOnly), 4u);
}

// The picture size GStreamer decodes a file's video to, as 4:2:0 (I420)
// pictures; empty when it cannot.
std::string GStreamerDecodedSize(const std::filesystem::path& file) {
    const auto result = RunProcess(
        "gst-launch-1.0", {"-v", "filesrc", "location=" + QString::fromStdString(file.string()),
                           "!", "decodebin", "!", "video/x-raw,format=I420", "!", "fakesink"});
    const auto caps = QRegularExpression("fakesink0.GstPad:sink: caps = .*width=\\(int\\)(\\d+), "
                                         "height=\\(int\\)(\\d+)")
                          .match(QString::fromUtf8(result.Out));
    if (result.ExitCode != 0 || !caps.hasMatch())
        return "";
    return (caps.captured(1) + "x" + caps.captured(2)).toStdString();
}

TEST(AviWriter, EverySizeFromOnePixelIsRecordedInAFormEveryPlayerDecodes) {
    TempDir dir;
    const TTestScreen screen(64, 48);
    for (const auto kind : {TCodecKind::H264, TCodecKind::Mjpeg, TCodecKind::Lossless}) {
        CodecScope codec(kind);
        for (const auto& [width, height] :
             {std::pair{33, 17}, std::pair{1, 1}, std::pair{1001, 751}}) {
            SCOPED_TRACE(std::string(DescribeCodec(kind).Name) + " " + std::to_string(width));
            const auto file = dir / "odd.avi";
            TAviWriter writer;
            ASSERT_TRUE(writer.Open(file.string(), width, height, 2, "")) << writer.LastError();
            EXPECT_TRUE(writer.WriteFrame(FrameOf(screen, width, height))) << writer.LastError();
            EXPECT_TRUE(writer.WriteFrame(FrameOf(screen, width, height)));
            ASSERT_TRUE(writer.Close());
            // H.264 records odd sides one larger, always with 4:2:0 colour.
            const TPictureSize recorded = RecordedSize(kind, {width, height});
            const auto video = ProbeStream(file, "video");
            EXPECT_EQ(video["width"].toInt(), recorded.Width);
            EXPECT_EQ(video["height"].toInt(), recorded.Height);
            EXPECT_EQ(video["nb_read_frames"].toString(), "2");
            if (kind == TCodecKind::H264) {
                EXPECT_EQ(video["pix_fmt"].toString(), "yuv420p");
                EXPECT_EQ(recorded.Width % 2 + recorded.Height % 2, 0);
                if (width == 1001) {
                    EXPECT_EQ(GStreamerDecodedSize(file), "1002x752");
                }
            }
        }
    }
}

TEST(AviWriter, OpenOnAnOpenWriterChangesNothing) {
    TempDir dir;
    const TTestScreen screen(64, 48);
    TAviWriter writer;
    const auto first = dir / "first.avi";
    ASSERT_TRUE(writer.Open(first.string(), 64, 48, 5, ""));
    ASSERT_TRUE(writer.WriteFrame(FrameOf(screen, 64, 48)));
    EXPECT_FALSE(writer.Open((dir / "second.avi").string(), 32, 32, 1, ""));
    EXPECT_FALSE(std::filesystem::exists(dir / "second.avi"));
    EXPECT_EQ(writer.FrameIndex(), 1);
    ASSERT_TRUE(writer.WriteFrame(FrameOf(screen, 64, 48)));
    EXPECT_TRUE(writer.Close());
    EXPECT_FALSE(writer.IsOpen());
    EXPECT_EQ(writer.FrameIndex(), 0);
    // A second close does nothing.
    EXPECT_TRUE(writer.Close());
    const auto video = ProbeStream(first, "video");
    EXPECT_EQ(video["codec_name"].toString(), "h264");
    EXPECT_EQ(video["codec_tag_string"].toString(), "H264");
    EXPECT_EQ(video["width"].toInt(), 64);
    EXPECT_EQ(video["nb_read_frames"].toString(), "2");
    // A writer opens again after Close and numbers from 0.
    ASSERT_TRUE(writer.Open((dir / "again.avi").string(), 64, 48, 5, ""));
    EXPECT_EQ(writer.FrameIndex(), 0);
}

TEST(AviWriter, RawFramesComeBackExactlyAndTheRightWayUp) {
    CodecScope raw(TCodecKind::Raw);
    TempDir dir;
    // Odd width: rows carry padding that must not shift the picture.
    const TTestScreen screen(5, 4);
    TAviWriter writer;
    const auto file = dir / "raw.avi";
    ASSERT_TRUE(writer.Open(file.string(), 5, 4, 2, ""));
    for (int i = 0; i < 3; ++i)
        ASSERT_TRUE(writer.WriteFrame(FrameOf(screen, 5, 4))) << writer.LastError();
    EXPECT_EQ(writer.FrameIndex(), 3);
    ASSERT_TRUE(writer.Close());

    const auto video = ProbeStream(file, "video");
    EXPECT_EQ(video["codec_name"].toString(), "rawvideo");
    EXPECT_EQ(video["nb_read_frames"].toString(), "3");
    const QByteArray pixels = DecodeFrames(file);
    ASSERT_EQ(pixels.size(), 3 * 5 * 4 * 3);
    const auto at = [&](int x, int y) {
        const auto* p =
            reinterpret_cast<const std::uint8_t*>(pixels.constData()) + std::size_t(y * 5 + x) * 3;
        return (std::uint32_t(p[2]) << 16) | (std::uint32_t(p[1]) << 8) | p[0];
    };
    for (int y = 0; y < 4; ++y)
        for (int x = 0; x < 5; ++x)
            EXPECT_EQ(at(x, y), screen.Pixel(x, y)) << x << "," << y;
}

TEST(AviWriter, SkippedFramesKeepTheVideoOnTheClock) {
    TempDir dir;
    const TTestScreen screen(64, 48);
    TAviWriter writer;
    const auto file = dir / "gaps.avi";
    ASSERT_TRUE(writer.Open(file.string(), 64, 48, 5, ""));
    for (int i = 0; i < 5; ++i)
        ASSERT_TRUE(writer.WriteFrame(FrameOf(screen, 64, 48)));
    writer.SkipFramesTo(10);
    writer.SkipFramesTo(7); // never backwards
    EXPECT_EQ(writer.FrameIndex(), 10);
    for (int i = 0; i < 5; ++i)
        ASSERT_TRUE(writer.WriteFrame(FrameOf(screen, 64, 48)));
    ASSERT_TRUE(writer.Close());
    const auto video = ProbeStream(file, "video");
    EXPECT_EQ(video["nb_frames"].toString(), "15");
    EXPECT_EQ(video["avg_frame_rate"].toString(), "5/1");
    EXPECT_NEAR(video["duration"].toString().toDouble(), 3.0, 0.01);
}

TEST(AviWriter, SlotsPassedOverAtTheEndStillCount) {
    for (const TCodecKind codec : {TCodecKind::H264, TCodecKind::Raw}) {
        const CodecScope scope(codec);
        TempDir dir;
        const TTestScreen screen(64, 48);
        TAviWriter writer;
        const auto file = dir / "still.avi";
        ASSERT_TRUE(writer.Open(file.string(), 64, 48, 2, ""));
        for (const int slot : {0, 4, 8}) {
            writer.SkipFramesTo(slot);
            ASSERT_TRUE(writer.WriteFrame(FrameOf(screen, 64, 48)));
        }
        writer.SkipFramesTo(20); // a still screen to the end of the recording
        ASSERT_TRUE(writer.Close()) << writer.LastError();
        // Adding the sound copies the video: its length must survive that too.
        for (const bool merged : {false, true}) {
            if (merged) {
                WriteWav(dir / "still.Wav", 44100, 2, 16, 10.0);
                std::string error;
                ASSERT_TRUE(MergeSoundInto(file.string(), (dir / "still.Wav").string(), {}, error))
                    << error;
                ASSERT_FALSE(ProbeStream(file, "audio").isEmpty());
            }
            const auto video = ProbeStream(file, "video");
            EXPECT_EQ(video["nb_frames"].toString(), "20") << DescribeCodec(codec).Name << merged;
            EXPECT_NEAR(video["duration"].toString().toDouble(), 10.0, 0.01);
            // The last slot holds the last picture again, so players reach the end.
            EXPECT_EQ(video["nb_read_frames"].toString(), "4");
        }
    }
}

TEST(AviWriter, WrongFrameSizeIsRefusedAndUsesUpItsNumber) {
    TempDir dir;
    const TTestScreen screen(64, 48);
    TAviWriter writer;
    ASSERT_TRUE(writer.Open((dir / "a.avi").string(), 64, 48, 5, ""));
    EXPECT_FALSE(writer.WriteFrame(FrameOf(screen, 32, 48)));
    EXPECT_EQ(writer.FrameIndex(), 1);
    EXPECT_FALSE(writer.WriteFrame(TFrameBitmap{{}, 64, 48}));
    EXPECT_EQ(writer.FrameIndex(), 2);
}

// The frame chunks of the first "movi" list that are in the file now,
// walked as a reader of a file cut off at this moment would see them.
int FrameChunksOnDisk(const std::filesystem::path& file) {
    std::ifstream in(file, std::ios::binary);
    const std::string bytes{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
    const std::size_t movi = bytes.find("movi");
    if (movi == std::string::npos)
        return -1;
    int frames = 0;
    for (std::size_t at = movi + 4; at + 8 <= bytes.size();) {
        const auto* size = reinterpret_cast<const unsigned char*>(bytes.data() + at + 4);
        const std::size_t length =
            size[0] | size[1] << 8 | size[2] << 16 | static_cast<std::size_t>(size[3]) << 24;
        if (at + 8 + length > bytes.size())
            break; // cut off
        if (bytes.compare(at, 4, "00dc") == 0 || bytes.compare(at, 4, "00db") == 0)
            ++frames;
        at += 8 + length + (length & 1);
    }
    return frames;
}

TEST(AviWriter, EveryFrameIsInTheFileAsSoonAsItIsWritten) {
    // A recording that is killed keeps every frame written before the kill:
    // none may wait inside the encoder or in the writer's buffers.
    for (const TCodecKind codec : {TCodecKind::H264, TCodecKind::Mjpeg, TCodecKind::Lossless}) {
        const CodecScope scope(codec);
        TempDir dir;
        TTestScreen screen(320, 240);
        TAviWriter writer;
        const auto file = dir / "live.avi";
        ASSERT_TRUE(writer.Open(file.string(), 320, 240, 5, ""));
        for (int frame = 1; frame <= 6; ++frame) {
            std::fill(screen.Pixels.begin(), screen.Pixels.end(),
                      static_cast<std::uint32_t>(frame * 0x203040));
            ASSERT_TRUE(writer.WriteFrame(FrameOf(screen, 320, 240)));
            EXPECT_EQ(FrameChunksOnDisk(file), frame) << DescribeCodec(codec).Name;
        }
        EXPECT_TRUE(writer.Close());
    }
}

TEST(AviWriter, AFileWithoutRoomForItsHeaderDoesNotOpenAndSaysWhy) {
    // Every write to this device fails, as on a full disk: the header is
    // written at Open, so the recording never starts.
    const CodecScope scope(TCodecKind::Raw);
    TAviWriter writer;
    EXPECT_FALSE(writer.Open("/dev/full", 64, 48, 5, ""));
    EXPECT_FALSE(writer.IsOpen());
    EXPECT_TRUE(writer.DiskFull());
    EXPECT_NE(writer.LastError().find("No space left on device"), std::string::npos)
        << "\"" << writer.LastError() << "\"";
}

class MergeTest : public ::testing::Test {
protected:
    // Records two seconds of video at 5 frames per second with the given WAV name.
    bool Record(const std::string& wav) {
        TAviWriter writer;
        if (!writer.Open(Avi.string(), 64, 48, 5, wav))
            return false;
        for (int i = 0; i < 10; ++i)
            writer.WriteFrame(FrameOf(Screen, 64, 48));
        const bool closed = writer.Close();
        LastError = writer.LastError();
        return closed;
    }

    TempDir Dir;
    TTestScreen Screen{64, 48};
    std::filesystem::path Avi = Dir / "movie.avi";
    std::string LastError;
};

TEST_F(MergeTest, SoundBecomesTheSecondStream) {
    const auto wav = Dir / "movie.Wav";
    WriteWav(wav, 44100, 2, 16, 2.0);
    ASSERT_TRUE(Record(wav.string())) << LastError;
    const auto streams = ProbeStreams(Avi);
    ASSERT_EQ(streams.size(), 2);
    const auto audio = ProbeStream(Avi, "audio");
    EXPECT_EQ(audio["codec_name"].toString(), "pcm_s16le");
    EXPECT_EQ(audio["sample_rate"].toString(), "44100");
    EXPECT_EQ(audio["channels"].toInt(), 2);
    EXPECT_EQ(audio["nb_frames"].toString(), "88200"); // two seconds of samples
    EXPECT_EQ(ProbeStream(Avi, "video")["nb_read_frames"].toString(), "10");
    // The merge leaves the sound file to its owner and nothing beside the video.
    EXPECT_TRUE(std::filesystem::exists(wav));
    EXPECT_FALSE(std::filesystem::exists(Avi.string() + ".merging"));
}

TEST_F(MergeTest, OtherPcmLayoutsAreCopiedToo) {
    const auto wav = Dir / "mono.wav";
    WriteWav(wav, 22050, 1, 8, 1.5);
    ASSERT_TRUE(Record(wav.string())) << LastError;
    const auto audio = ProbeStream(Avi, "audio");
    EXPECT_EQ(audio["codec_name"].toString(), "pcm_u8");
    EXPECT_EQ(audio["channels"].toInt(), 1);
    EXPECT_EQ(audio["nb_frames"].toString(), "33075");
}

TEST_F(MergeTest, AnUnfinishedSoundHeaderTakesTheSizeFromTheFile) {
    // A recorder that never got to patch its header leaves the sizes at 36 and 0.
    const auto wav = Dir / "unpatched.Wav";
    WriteWav(wav, 44100, 2, 16, 1.0);
    {
        std::fstream file(wav, std::ios::in | std::ios::out | std::ios::binary);
        const char riff[4] = {36, 0, 0, 0};
        const char data[4] = {0, 0, 0, 0};
        file.seekp(4);
        file.write(riff, 4);
        file.seekp(40);
        file.write(data, 4);
    }
    ASSERT_TRUE(Record(wav.string())) << LastError;
    EXPECT_EQ(ProbeStream(Avi, "audio")["nb_frames"].toString(), "44100");
}

TEST_F(MergeTest, NoSoundFileMeansNoSoundStream) {
    ASSERT_TRUE(Record(""));
    EXPECT_EQ(ProbeStreams(Avi).size(), 1);
    ASSERT_TRUE(Record((Dir / "absent.Wav").string())) << LastError;
    EXPECT_EQ(ProbeStreams(Avi).size(), 1);
}

TEST_F(MergeTest, BrokenSoundFileLeavesTheVideoIntact) {
    const auto wav = Dir / "broken.Wav";
    std::ofstream(wav) << "not a wave file at all";
    EXPECT_FALSE(Record(wav.string()));
    EXPECT_NE(LastError.find("not a WAV file"), std::string::npos) << LastError;
    const auto streams = ProbeStreams(Avi);
    ASSERT_EQ(streams.size(), 1);
    EXPECT_EQ(ProbeStream(Avi, "video")["nb_read_frames"].toString(), "10");
}

TEST(AviWriter, AStillPictureIsSharpenedOnceAfterAChangeOfTheWholeScreen) {
    TempDir dir;
    TTestScreen screen(320, 240);
    // Fine detail everywhere, as text and photographs have (stripes with a
    // little grain); new detail all over in the second picture, as a
    // scrolled page has.
    std::uint32_t state = 12345;
    int period = 3;
    const auto detail = [&] {
        for (std::size_t i = 0; i < screen.Pixels.size(); ++i) {
            state = state * 1664525u + 1013904223u;
            const auto x = static_cast<int>(i % 320);
            const auto y = static_cast<int>(i / 320);
            const std::uint32_t grey = ((x / period + y / 7) % 2 ? 170 : 40) + (state >> 28);
            screen.Pixels[i] = grey * 0x010101u;
        }
        period += 2;
    };
    TAviWriter writer;
    const auto file = dir / "refined.avi";
    ASSERT_TRUE(writer.Open(file.string(), 320, 240, 2, ""));
    detail();
    ASSERT_TRUE(writer.WriteFrame(FrameOf(screen, 320, 240)));
    for (int i = 0; i < 4; ++i)
        ASSERT_TRUE(writer.RefineLastFrame()) << writer.LastError();
    detail();
    ASSERT_TRUE(writer.WriteFrame(FrameOf(screen, 320, 240)));
    for (int i = 0; i < 8; ++i)
        ASSERT_TRUE(writer.RefineLastFrame()) << writer.LastError();
    ASSERT_TRUE(writer.Close());
    std::vector<int> sizes;
    for (const QByteArray& size :
         RunProcess("ffprobe",
                    {"-v", "error", "-select_streams", "v:0", "-show_entries", "packet=size", "-of",
                     "csv=p=0", QString::fromStdString(file.string())})
             .Out.trimmed()
             .split('\n'))
        sizes.push_back(size.toInt());
    // The first picture is coded finely at once: nothing to sharpen, no
    // packet. The whole-screen change is coded coarsely, sharpened in the
    // slot after it, and then there is nothing left to send but the last
    // slot's repeat. Every slot still plays for its time.
    ASSERT_EQ(sizes.size(), 4u);
    EXPECT_LT(sizes[1], sizes[0] / 2) << "the whole-screen change was coded finely";
    EXPECT_GT(sizes[2], sizes[1] / 2) << "the coarse picture was not sharpened";
    EXPECT_LT(sizes[3], sizes[0] / 100);
    EXPECT_EQ(ProbeStream(file, "video")["nb_frames"].toString(), "14");
}

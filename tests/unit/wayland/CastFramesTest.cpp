// Pictures from a screen-cast stream become the recorder's blue-first
// buffers, whatever the stream's pixel order, row padding and offset.
#include "platform/screen/portal/PortalFrames.h"

#include <gtest/gtest.h>

#include <thread>

using namespace vardocle;

namespace {

// A 3x2 picture whose pixel (x, y) is red x*40+10, green y*50+20, blue 200,
// stored in `format`'s byte order with `padding` bytes after each row and
// `offset` bytes before the first.
std::vector<std::uint8_t> StreamBuffer(TCastPixelFormat format, int padding, int offset) {
    const int width = 3;
    const int height = 2;
    const int stride = width * 4 + padding;
    std::vector<std::uint8_t> bytes(offset + stride * height, 0xEE);
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x) {
            std::uint8_t* p = bytes.data() + offset + y * stride + x * 4;
            const std::uint8_t r = x * 40 + 10, g = y * 50 + 20, b = 200;
            const bool blueFirst =
                format == TCastPixelFormat::Bgrx || format == TCastPixelFormat::Bgra;
            p[0] = blueFirst ? b : r;
            p[1] = g;
            p[2] = blueFirst ? r : b;
            p[3] = 0x77;
        }
    return bytes;
}

TCastBuffer View(const std::vector<std::uint8_t>& bytes, int padding, int offset) {
    return {bytes.data(), bytes.size(), static_cast<std::uint32_t>(offset),
            static_cast<std::uint32_t>(bytes.size() - offset), 3 * 4 + padding};
}

} // namespace

TEST(CastFrames, EveryAgreedPixelOrderArrivesBlueFirstWithoutPaddingOrOffset) {
    for (const auto format : {TCastPixelFormat::Bgrx, TCastPixelFormat::Bgra,
                              TCastPixelFormat::Rgbx, TCastPixelFormat::Rgba}) {
        SCOPED_TRACE(static_cast<int>(format));
        const auto bytes = StreamBuffer(format, 8, 16);
        TCastPicture picture;
        ASSERT_FALSE(CopyCastBuffer(View(bytes, 8, 16), {format, 3, 2}, picture));
        ASSERT_EQ(picture.Width, 3);
        ASSERT_EQ(picture.Height, 2);
        ASSERT_EQ(picture.Pixels.size(), 3u * 2 * 4);
        for (int y = 0; y < 2; ++y)
            for (int x = 0; x < 3; ++x) {
                const std::uint8_t* p = picture.Pixels.data() + y * picture.Stride() + x * 4;
                EXPECT_EQ(p[0], 200) << x << "," << y;
                EXPECT_EQ(p[1], y * 50 + 20) << x << "," << y;
                EXPECT_EQ(p[2], x * 40 + 10) << x << "," << y;
            }
    }
}

TEST(CastFrames, BuffersThatCannotHoldTheirPictureAreRefusedAndThePictureKept) {
    const auto bytes = StreamBuffer(TCastPixelFormat::Bgrx, 0, 0);
    TCastPicture picture;
    ASSERT_FALSE(CopyCastBuffer(View(bytes, 0, 0), {TCastPixelFormat::Bgrx, 3, 2}, picture));
    const auto kept = picture.Pixels;

    TCastBuffer shortBuffer = View(bytes, 0, 0);
    shortBuffer.Size -= 1; // one byte less than stride x height
    EXPECT_TRUE(CopyCastBuffer(shortBuffer, {TCastPixelFormat::Bgrx, 3, 2}, picture));
    TCastBuffer narrowRows = View(bytes, 0, 0);
    narrowRows.Stride = 8; // shorter than a row of 3 pixels
    EXPECT_TRUE(CopyCastBuffer(narrowRows, {TCastPixelFormat::Bgrx, 3, 2}, picture));
    TCastBuffer pastTheMapping = View(bytes, 0, 0);
    pastTheMapping.Offset = 4; // the picture would end past the mapped memory
    EXPECT_TRUE(CopyCastBuffer(pastTheMapping, {TCastPixelFormat::Bgrx, 3, 2}, picture));
    EXPECT_TRUE(CopyCastBuffer(View(bytes, 0, 0), {TCastPixelFormat::Bgrx, 0, 2}, picture));
    TCastBuffer unmapped = View(bytes, 0, 0);
    unmapped.Data = nullptr;
    EXPECT_TRUE(CopyCastBuffer(unmapped, {TCastPixelFormat::Bgrx, 3, 2}, picture));
    // A larger picture than the buffer: the stream changed size, the buffer did not.
    EXPECT_TRUE(CopyCastBuffer(View(bytes, 0, 0), {TCastPixelFormat::Bgrx, 3, 3}, picture));

    EXPECT_EQ(picture.Pixels, kept);
    EXPECT_EQ(picture.Width, 3);
    EXPECT_EQ(picture.Height, 2);
}

TEST(LatestPicture, TheGrabberGetsNothingFirstThenTheNewestAndKeepsItWhileNothingCame) {
    TLatestPicture latest;
    EXPECT_EQ(latest.Take(), nullptr);
    EXPECT_FALSE(latest.Fresh());

    latest.Back().Width = 1;
    latest.Publish();
    latest.Back().Width = 2;
    latest.Publish();
    // A slot is recorded only when a picture came since the last was taken.
    EXPECT_TRUE(latest.Fresh());
    TCastPicture* held = latest.Take();
    EXPECT_FALSE(latest.Fresh());
    ASSERT_NE(held, nullptr);
    EXPECT_EQ(held->Width, 2); // the older one was overtaken
    // The stream fills its next picture while the grabber holds this one.
    latest.Back().Width = 3;
    EXPECT_EQ(held->Width, 2);
    EXPECT_EQ(latest.Take(), held); // nothing new: the same picture again
    latest.Publish();
    EXPECT_TRUE(latest.Fresh());
    EXPECT_EQ(latest.Take()->Width, 3);
}

TEST(LatestPicture, ThePictureHeldIsNeverWrittenWhileTheStreamRuns) {
    TLatestPicture latest;
    std::atomic<bool> stop{false};
    std::thread stream([&] {
        for (std::uint8_t n = 0; !stop; ++n) {
            TCastPicture& back = latest.Back();
            back.Width = 64;
            back.Pixels.assign(64 * 4, n);
            latest.Publish();
        }
    });
    for (int i = 0; i < 20000; ++i) {
        const TCastPicture* picture = latest.Take();
        if (!picture)
            continue;
        const std::uint8_t first = picture->Pixels.front();
        for (const std::uint8_t value : picture->Pixels)
            ASSERT_EQ(value, first) << "a picture changed while it was held";
    }
    stop = true;
    stream.join();
}

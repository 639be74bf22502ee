#pragma once
// An AVI file with one H.264 video stream of `width` x `height` set up as a
// recording sets it up, for tests and benchmarks that hand its compressor
// pictures of their own. Needs platform_avifile.
#include "platform/avifile/AviFile.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <filesystem>
#include <memory>
#include <string>

namespace vardocle::test {

struct TH264AviFile {
    std::unique_ptr<TAviFile> File;
    std::unique_ptr<TAviStream> Video;
    std::unique_ptr<TAviStream> Compressed;
};

// Empty parts (and a test failure) when the file cannot be made.
inline TH264AviFile OpenH264AviFile(const std::filesystem::path& path, int rate, int quality,
                                    int width, int height) {
    TH264AviFile avi;
    std::string error;
    avi.File = TAviFile::Open(path.string(), OF_WRITE | OF_CREATE, error);
    EXPECT_TRUE(avi.File) << error;
    if (!avi.File)
        return avi;
    AVISTREAMINFOA info{};
    info.fccType = streamtypeVIDEO;
    info.fccHandler = MakeFourCC('I', 'V', '4', '1');
    info.dwScale = 1;
    info.dwRate = static_cast<std::uint32_t>(rate);
    EXPECT_EQ(avi.File->CreateStream(avi.Video, info), AVIERR_OK);
    AVICOMPRESSOPTIONS options{};
    options.fccHandler = info.fccHandler;
    options.dwQuality = static_cast<std::uint32_t>(quality);
    EXPECT_EQ(AviMakeCompressedStream(avi.Compressed, *avi.Video, options, error), AVIERR_OK)
        << error;
    const BITMAPINFOHEADER header{40, width, height, 1, 24, 0, 0, 0, 0, 0, 0};
    EXPECT_EQ(avi.Compressed->SetFormat(0, &header, sizeof header), AVIERR_OK);
    return avi;
}

} // namespace vardocle::test

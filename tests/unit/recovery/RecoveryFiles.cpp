#include "tests/unit/recovery/RecoveryFiles.h"

#include "platform/avifile/AviMuxer.h"
#include "platform/avifile/StreamFormats.h"

#include <fstream>
#include <gtest/gtest.h>

extern "C" {
#include <libavcodec/avcodec.h>
}

namespace vardocle::test {

namespace {

void PutLe32(TBytes& bytes, std::uint32_t value) {
    for (int i = 0; i < 4; ++i)
        bytes.push_back(static_cast<std::uint8_t>(value >> (8 * i)));
}

} // namespace

TBytes operator+(TBytes a, const TBytes& b) {
    a.insert(a.end(), b.begin(), b.end());
    return a;
}

TBytes Chunk(const std::string& id, const TBytes& data, std::uint32_t sizeField) {
    TBytes out(id.begin(), id.end());
    PutLe32(out, sizeField == 0xFFFFFFF0 ? static_cast<std::uint32_t>(data.size()) : sizeField);
    out = out + data;
    if (data.size() % 2)
        out.push_back(0);
    return out;
}

TBytes List(const std::string& head, const std::string& type, const TBytes& children,
            std::uint32_t sizeField) {
    return Chunk(head, TBytes(type.begin(), type.end()) + children,
                 sizeField == 0xFFFFFFF0 ? static_cast<std::uint32_t>(children.size() + 4)
                                         : sizeField);
}

TBytes HeaderList(std::uint32_t rate) {
    TBytes avih(56, 0);
    TBytes strh;
    for (const char c : std::string("vidsH264"))
        strh.push_back(static_cast<std::uint8_t>(c));
    strh.resize(20, 0);
    PutLe32(strh, 1);    // scale
    PutLe32(strh, rate); // rate
    strh.resize(56, 0);
    TBytes strf;
    PutLe32(strf, 40);
    PutLe32(strf, 8);
    PutLe32(strf, 8);
    strf.resize(40, 0);
    return List("LIST", "hdrl",
                Chunk("avih", avih) +
                    List("LIST", "strl", Chunk("strh", strh) + Chunk("strf", strf)));
}

TBytes ReadBytes(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    return TBytes(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

void SaveBytes(const std::filesystem::path& path, const TBytes& bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(bytes.data()),
              static_cast<std::streamsize>(bytes.size()));
}

void WriteRecording(const std::filesystem::path& path, const std::vector<int>& slots,
                    bool complete) {
    std::string error;
    auto muxer = TAviMuxer::Create(path.string(), error);
    ASSERT_TRUE(muxer) << error;
    const int slot = muxer->AddStream(AVRational{1, 5});
    DescribeRawVideo(muxer->Parameters(slot), 8, 8);
    constexpr std::size_t kFrameBytes = std::size_t{8} * 8 * 3;
    for (const int n : slots) {
        std::vector<std::uint8_t> bytes(kFrameBytes, static_cast<std::uint8_t>(n));
        ASSERT_TRUE(vardocle::WriteBytes(*muxer, slot, n, 1, bytes.data(),
                                         static_cast<std::int32_t>(bytes.size()), true, error))
            << error;
    }
    if (complete) {
        ASSERT_TRUE(muxer->Finish(error)) << error;
    }
    // Otherwise the muxer goes without its trailer, as a killed recorder's does.
}

void WriteKilledWav(const std::filesystem::path& path, int frames, int extraBytes) {
    TBytes wav;
    for (const char c : std::string("RIFF"))
        wav.push_back(static_cast<std::uint8_t>(c));
    PutLe32(wav, 36);
    for (const char c : std::string("WAVEfmt "))
        wav.push_back(static_cast<std::uint8_t>(c));
    PutLe32(wav, 16);
    wav.insert(wav.end(), {1, 0, 2, 0});
    PutLe32(wav, 44100);
    PutLe32(wav, 176400);
    wav.insert(wav.end(), {4, 0, 16, 0, 'd', 'a', 't', 'a'});
    PutLe32(wav, 0);
    for (int i = 0; i < frames * 2; ++i) {
        const auto sample = static_cast<std::int16_t>(i % 200 * 100);
        wav.push_back(static_cast<std::uint8_t>(sample & 0xFF));
        wav.push_back(static_cast<std::uint8_t>((sample >> 8) & 0xFF));
    }
    wav.insert(wav.end(), static_cast<std::size_t>(extraBytes), 0x55);
    SaveBytes(path, wav);
}

} // namespace vardocle::test

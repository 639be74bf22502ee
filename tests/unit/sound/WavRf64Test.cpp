// Sound past 4 GiB: the recorder's file becomes RF64 at Stop without a copy,
// and every reader of ours gets all of its sound back in order. The files of
// many gigabytes are written to a stream that only counts them.
#include "engine/WavRecord.h"
#include "platform/avifile/WavLayout.h"
#include "platform/avifile/WavSource.h"
#include "recovery/WavRepair.h"
#include "tests/support/FakeSoundLibrary.h"
#include "tests/support/TestSupport.h"

#include <QJsonObject>

#include <cstring>
#include <fstream>
#include <gtest/gtest.h>
#include <map>

using namespace vardocle;
namespace fs = std::filesystem;

namespace {

constexpr std::uint32_t kSecond = 176400; // one second of 16-bit stereo sound

// Keeps the first bytes of the file and whatever is written in place later;
// the rest is only counted.
class TCountingOutput : public IWavOutput {
public:
    static constexpr std::int64_t kKept = 4096;
    std::vector<std::uint8_t> Head = std::vector<std::uint8_t>(kKept);
    std::map<std::int64_t, std::vector<std::uint8_t>> Patches;
    std::int64_t Appended = 0;
    std::int64_t Position = 0;
    std::vector<std::uint8_t> LastBlock;

    std::int64_t Write(const void* Buffer, std::int64_t Count) override {
        const auto* bytes = static_cast<const std::uint8_t*>(Buffer);
        for (std::int64_t i = 0; i < Count && Appended + i < kKept; ++i)
            Head[static_cast<std::size_t>(Appended + i)] = bytes[i];
        LastBlock.assign(bytes, bytes + Count);
        Appended += Count;
        return Count;
    }
    std::int64_t Flush() override { return 1; }
    void DropBuffered() override {}
    std::int64_t WriteDirect(const void* Buffer, std::int64_t Count) override {
        const auto* bytes = static_cast<const std::uint8_t*>(Buffer);
        Patches[Position].assign(bytes, bytes + Count);
        Position += Count;
        return Count;
    }
    std::int64_t Seek(std::int64_t Offset, TSeekOrigin) override { return Position = Offset; }
    std::int64_t Read(void* Buffer, std::int64_t Count) override {
        if (Position + Count > std::min(kKept, Appended))
            return 0;
        std::memcpy(Buffer, Head.data() + Position, static_cast<std::size_t>(Count));
        Position += Count;
        return Count;
    }
    bool SetSize(std::int64_t) override { return true; }
    std::int64_t Size() const override { return Appended; }
    int FirstWriteError() const override { return 0; }

    // The file's bytes where known: the head with the patches laid over it.
    bool ReadAt(std::int64_t offset, void* buffer, std::size_t size) const {
        auto* out = static_cast<std::uint8_t*>(buffer);
        for (std::size_t i = 0; i < size; ++i) {
            const std::int64_t at = offset + static_cast<std::int64_t>(i);
            bool found = false;
            for (const auto& [start, bytes] : Patches)
                if (at >= start && at < start + static_cast<std::int64_t>(bytes.size())) {
                    out[i] = bytes[static_cast<std::size_t>(at - start)];
                    found = true;
                }
            if (!found && at < kKept && at < Appended)
                out[i] = Head[static_cast<std::size_t>(at)];
            else if (!found && at >= Appended - static_cast<std::int64_t>(LastBlock.size()) &&
                     at < Appended)
                out[i] = LastBlock[LastBlock.size() - static_cast<std::size_t>(Appended - at)];
            else if (!found)
                return false;
        }
        return true;
    }
    std::int64_t FileSize() const {
        std::int64_t end = Appended;
        for (const auto& [start, bytes] : Patches)
            end = std::max(end, start + static_cast<std::int64_t>(bytes.size()));
        return end;
    }
};

// What the recorder gets: the counting stream stays with the test after Stop.
class TOutputProxy : public IWavOutput {
public:
    explicit TOutputProxy(IWavOutput& target) : FTarget(target) {}
    std::int64_t Write(const void* b, std::int64_t n) override { return FTarget.Write(b, n); }
    std::int64_t Flush() override { return FTarget.Flush(); }
    void DropBuffered() override { FTarget.DropBuffered(); }
    std::int64_t WriteDirect(const void* b, std::int64_t n) override {
        return FTarget.WriteDirect(b, n);
    }
    std::int64_t Seek(std::int64_t o, TSeekOrigin w) override { return FTarget.Seek(o, w); }
    std::int64_t Read(void* b, std::int64_t n) override { return FTarget.Read(b, n); }
    bool SetSize(std::int64_t n) override { return FTarget.SetSize(n); }
    std::int64_t Size() const override { return FTarget.Size(); }
    int FirstWriteError() const override { return FTarget.FirstWriteError(); }

private:
    IWavOutput& FTarget;
};

// Sound whose bytes follow a pattern from `start`: a byte moved, dropped or
// read from the wrong place no longer fits it.
std::vector<std::uint8_t> PatternedSound(std::uint32_t length, std::uint8_t start) {
    std::vector<std::uint8_t> block(length);
    for (std::uint32_t i = 0; i < length; ++i)
        block[i] = static_cast<std::uint8_t>(start + i * 7);
    return block;
}

// Records Bytes of sound (a whole number of frames) into a counting stream.
std::unique_ptr<TCountingOutput> Record(TWavRecord& recorder, test::FakeSoundLibrary& library,
                                        std::int64_t bytes) {
    auto output = std::make_unique<TCountingOutput>();
    recorder.SetOutputFactory([&output](const std::string&, std::int32_t) {
        return std::make_unique<TOutputProxy>(*output);
    });
    recorder.Start("counted.Wav", 400000);
    const auto first = PatternedSound(kSecond, 1);
    const auto rest = PatternedSound(kSecond, 100);
    std::int64_t left = bytes;
    for (bool isFirst = true; left > 0; isFirst = false) {
        const auto length = static_cast<std::uint32_t>(std::min<std::int64_t>(left, kSecond));
        library.Feed((isFirst ? first : rest).data(), length);
        left -= length;
    }
    return output;
}

TReadAt Reader(const TCountingOutput& output) {
    return [&output](std::int64_t offset, void* buffer, std::size_t size) {
        return output.ReadAt(offset, buffer, size);
    };
}

} // namespace

TEST(WavRf64, SoundPast4GiBBecomesRf64InPlaceAndReadsBackWhole) {
    auto library = std::make_shared<test::FakeSoundLibrary>();
    TWavRecord recorder(library);
    // Over the plain header's limit by a few seconds, in whole frames.
    const std::int64_t sound = (kRiffFileSizeLimit - 44) / 4 * 4 + 3 * kSecond + 8;
    const auto output = Record(recorder, *library, sound);
    recorder.Stop();
    ASSERT_NE(output, nullptr);

    const std::int64_t fileSize = output->FileSize();
    EXPECT_EQ(fileSize, 44 + sound + kMovedChunkBytes) << "nothing but the moved chunk is added";
    TWavLayout layout;
    std::string problem;
    ASSERT_TRUE(ReadWavLayout(Reader(*output), fileSize, layout, problem)) << problem;
    EXPECT_TRUE(layout.Rf64);
    EXPECT_TRUE(layout.IsPcm());
    EXPECT_EQ(layout.DataOffset, kRf64HeaderBytes);
    EXPECT_EQ(layout.HeaderDataBytes, sound - kRf64MovedBytes);
    EXPECT_EQ(layout.HeaderRiffBytes, fileSize - 8);
    EXPECT_EQ(layout.MovedBytes, kRf64MovedBytes);
    EXPECT_EQ(WavDataBytesPresent(layout, fileSize) + layout.MovedBytes, sound);

    // The sound's first bytes come back in front, its last ones at the end.
    const auto first = PatternedSound(kSecond, 1);
    std::vector<std::uint8_t> begin(100);
    ASSERT_TRUE(ReadWavSound(Reader(*output), layout, layout.HeaderDataBytes, 0, begin.data(),
                             begin.size()));
    EXPECT_TRUE(std::equal(begin.begin(), begin.end(), first.begin()));
    const std::size_t lastLength = output->LastBlock.size();
    std::vector<std::uint8_t> end(lastLength);
    ASSERT_TRUE(ReadWavSound(Reader(*output), layout, layout.HeaderDataBytes,
                             sound - static_cast<std::int64_t>(lastLength), end.data(),
                             end.size()));
    EXPECT_EQ(end, output->LastBlock);
}

TEST(WavRf64, SoundThatFitsKeepsThePlain44ByteHeader) {
    auto library = std::make_shared<test::FakeSoundLibrary>();
    TWavRecord recorder(library);
    const std::int64_t sound = (kRiffFileSizeLimit - 44) / 4 * 4;
    const auto output = Record(recorder, *library, sound);
    recorder.Stop();
    ASSERT_NE(output, nullptr);
    EXPECT_EQ(output->FileSize(), 44 + sound);
    const auto& head = output->Head;
    EXPECT_EQ(std::memcmp(head.data(), "RIFF", 4), 0);
    TWavLayout layout;
    std::string problem;
    ASSERT_TRUE(ReadWavLayout(Reader(*output), output->FileSize(), layout, problem)) << problem;
    EXPECT_FALSE(layout.Rf64);
    EXPECT_EQ(layout.DataOffset, 44);
    EXPECT_EQ(layout.HeaderDataBytes, sound);
    EXPECT_EQ(layout.HeaderRiffBytes, output->FileSize() - 8);
}

// The layout the switch makes, as a small file: libavformat and our readers
// take the moved frames' chunk after the data, the repair keeps it whole.
TEST(WavRf64, AnRf64FileIsReadByFfprobeTheMergeReaderAndTheRepair) {
    test::TempDir dir;
    const fs::path wav = dir / "small.Wav";
    const auto sound = PatternedSound(4 * 44100, 3); // one second
    const auto plain = MakeWavHeader();
    const std::int64_t data = static_cast<std::int64_t>(sound.size()) - kRf64MovedBytes;
    const auto header = MakeRf64Header(&plain[20], data, kMovedChunkBytes, 4);
    {
        std::ofstream out(wav, std::ios::binary);
        out.write(reinterpret_cast<const char*>(header.data()), kRf64HeaderBytes);
        out.write(reinterpret_cast<const char*>(sound.data()) + kRf64MovedBytes, data);
        out.write("frst\x24\0\0\0", 8);
        out.write(reinterpret_cast<const char*>(sound.data()), kRf64MovedBytes);
    }
    const QJsonObject probed = test::ProbeStream(wav, "audio");
    ASSERT_FALSE(probed.isEmpty()) << "ffprobe does not read the file";
    EXPECT_EQ(probed.value("sample_rate").toString(), "44100");
    EXPECT_NEAR(probed.value("duration").toString().toDouble(), 1.0, 0.001);

    std::string error;
    auto source = TWavSource::Open(wav.string(), error);
    ASSERT_TRUE(source) << error;
    std::unique_ptr<TAviStream> stream;
    ASSERT_EQ(source->GetStream(stream, streamtypeAUDIO, 0), AVIERR_OK);
    ASSERT_EQ(stream->Length(), 44100);
    std::vector<std::uint8_t> read(sound.size());
    std::int32_t bytesRead = 0;
    ASSERT_EQ(stream->Read(0, 44100, read.data(), static_cast<std::int32_t>(read.size()),
                           &bytesRead, nullptr),
              AVIERR_OK);
    EXPECT_EQ(read, sound) << "the merge reads the sound in its order";

    const TWavInspection inspected = InspectWav(wav.string());
    ASSERT_TRUE(inspected.Readable) << inspected.Problem;
    EXPECT_TRUE(inspected.HeaderComplete);
    EXPECT_EQ(inspected.DataBytes, static_cast<std::int64_t>(sound.size()));
    // Repaired with silence after it, the file is plain again and in order.
    ASSERT_TRUE(RepairWav(wav.string(), inspected, error, 10)) << error;
    std::ifstream in(wav, std::ios::binary);
    const std::vector<std::uint8_t> repaired{std::istreambuf_iterator<char>(in), {}};
    ASSERT_EQ(repaired.size(), 44 + sound.size() + 40);
    EXPECT_EQ(std::memcmp(repaired.data(), "RIFF", 4), 0);
    EXPECT_TRUE(std::equal(sound.begin(), sound.end(), repaired.begin() + 44));
}

#include "export/ExportPlan.h"

#include "platform/avifile/MiniVFW.h"

#include <cstring>

namespace vardocle {

namespace {

constexpr std::uint32_t kVideo = MakeFourCC('v', 'i', 'd', 's');
constexpr std::uint32_t kAudio = MakeFourCC('a', 'u', 'd', 's');

int FindStream(const TAviScan& scan, std::uint32_t type) {
    for (std::size_t index = 0; index < scan.Streams.size(); ++index)
        if (scan.Streams[index].Type == type)
            return static_cast<int>(index);
    return -1;
}

// Calls visit(type, nalStart, nalEnd) for each unit of an Annex-B packet.
template <typename F> void ForEachUnit(std::span<const std::uint8_t> data, F visit) {
    const std::size_t size = data.size();
    std::size_t unit = std::string::npos; // start of the current unit's start code
    std::size_t body = 0;
    for (std::size_t i = 0; i + 3 <= size;) {
        if (data[i] == 0 && data[i + 1] == 0 && data[i + 2] == 1) {
            const std::size_t codeStart = i > 0 && data[i - 1] == 0 ? i - 1 : i;
            if (unit != std::string::npos)
                visit(data[body] & 0x1F, unit, codeStart);
            unit = codeStart;
            body = i + 3;
            i += 3;
            if (body >= size)
                return;
        } else {
            ++i;
        }
    }
    if (unit != std::string::npos && body < size)
        visit(data[body] & 0x1F, unit, size);
}

} // namespace

bool MakeExportPlan(const TAviScan& Scan, TExportPlan& Plan, std::string& Problem) {
    const int video = FindStream(Scan, kVideo);
    if (video < 0) {
        Problem = "it holds no video stream";
        return false;
    }
    const TAviStreamHeader& header = Scan.Streams[video];
    BITMAPINFOHEADER bitmap{};
    if (header.Format.size() < sizeof bitmap || header.Scale == 0 || header.Rate == 0) {
        Problem = "its video format cannot be read";
        return false;
    }
    std::memcpy(&bitmap, header.Format.data(), sizeof bitmap);
    Plan.Width = bitmap.biWidth;
    Plan.Height = bitmap.biHeight < 0 ? -bitmap.biHeight : bitmap.biHeight;
    Plan.FourCC = bitmap.biCompression;
    Plan.BitCount = bitmap.biBitCount;
    Plan.Scale = header.Scale;
    Plan.Rate = header.Rate;
    Plan.CodecData.assign(header.Format.begin() + sizeof bitmap, header.Format.end());
    if (Plan.Width <= 0 || Plan.Height <= 0 || Plan.Width > 16384 || Plan.Height > 16384) {
        Problem = "its picture size cannot be used";
        return false;
    }

    const int audio = FindStream(Scan, kAudio);
    if (audio >= 0 && Scan.Streams[audio].Format.size() >= 16) {
        WAVEFORMATEX wave{};
        std::memcpy(&wave, Scan.Streams[audio].Format.data(),
                    std::min(sizeof wave, Scan.Streams[audio].Format.size()));
        const bool pcm = wave.wFormatTag == WAVE_FORMAT_PCM &&
                         (wave.wBitsPerSample == 8 || wave.wBitsPerSample == 16) &&
                         wave.nChannels >= 1 && wave.nChannels <= 2 &&
                         wave.nSamplesPerSec >= 8000 && wave.nSamplesPerSec <= 96000 &&
                         wave.nBlockAlign == wave.nChannels * wave.wBitsPerSample / 8;
        if (!pcm) {
            Problem = "its sound is not in a format the export knows (16-bit or 8-bit PCM)";
            return false;
        }
        Plan.HaveSound = true;
        Plan.Channels = wave.nChannels;
        Plan.SampleRate = static_cast<int>(wave.nSamplesPerSec);
        Plan.BitsPerSample = wave.wBitsPerSample;
        Plan.BlockAlign = wave.nBlockAlign;
    }

    std::int64_t slot = 0;
    for (const TAviChunk& chunk : Scan.Chunks) {
        if (chunk.Stream == video) {
            if (chunk.Size > 0) {
                if (!Plan.Samples.empty())
                    Plan.Samples.back().Slots = slot - Plan.Samples.back().Slot;
                Plan.Samples.push_back({slot, 1, chunk.Offset, chunk.Size});
            }
            ++slot;
        } else if (Plan.HaveSound && chunk.Stream == audio && chunk.Size > 0) {
            Plan.Sound.push_back({chunk.Offset, chunk.Size});
            Plan.SoundBytes += chunk.Size;
        }
    }
    Plan.TotalSlots = slot;
    if (Plan.Samples.empty()) {
        Problem = "it holds no picture";
        return false;
    }
    // The last picture stays until the recording's end.
    Plan.Samples.back().Slots = slot - Plan.Samples.back().Slot;
    if (Plan.Sound.empty())
        Plan.HaveSound = false;
    return true;
}

bool HasKeyPicture(std::span<const std::uint8_t> Packet) {
    bool key = false;
    ForEachUnit(Packet, [&](int type, std::size_t, std::size_t) { key = key || type == 5; });
    return key;
}

std::vector<std::uint8_t> ParameterSets(std::span<const std::uint8_t> Packet) {
    std::vector<std::uint8_t> sets;
    ForEachUnit(Packet, [&](int type, std::size_t start, std::size_t end) {
        if (type == 7 || type == 8)
            sets.insert(sets.end(), Packet.begin() + static_cast<std::ptrdiff_t>(start),
                        Packet.begin() + static_cast<std::ptrdiff_t>(end));
    });
    return sets;
}

bool IsPlainColour(std::span<const std::uint8_t> ParameterSets) {
    // Profiles up to High (100) allow only 8-bit 4:2:0; the higher ones
    // (High 10, 4:2:2, 4:4:4) are what browsers refuse.
    const auto plain = [](std::uint8_t profile) {
        return profile == 66 || profile == 77 || profile == 88 || profile == 100;
    };
    if (ParameterSets.size() >= 2 && ParameterSets[0] == 1) // avcC: profile in its second byte
        return plain(ParameterSets[1]);
    bool found = false;
    bool result = false;
    ForEachUnit(ParameterSets, [&](int type, std::size_t start, std::size_t end) {
        std::size_t body = start;
        while (body < end && ParameterSets[body] == 0)
            ++body;
        body += 2; // the 1 of the start code, then the unit's header byte
        if (type == 7 && !found && body < end) {
            found = true;
            result = plain(ParameterSets[body]);
        }
    });
    return result;
}

} // namespace vardocle

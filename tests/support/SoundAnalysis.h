#pragma once
// Reading sound back in tests: a WAV file's PCM samples and header fields,
// the dominant frequency of a recording (FFT), and the length of the sound
// stream in one of our AVI files.
#include "tests/support/TestSupport.h"

#include <algorithm>
#include <cmath>
#include <complex>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

namespace vardocle::test {

struct WavContents {
    bool Valid = false;
    std::uint16_t FormatTag = 0;
    std::uint16_t Channels = 0;
    std::uint32_t SampleRate = 0;
    std::uint16_t BitsPerSample = 0;
    std::uint32_t RiffSize = 0; // as the header says
    std::uint32_t DataSize = 0; // as the header says
    std::uint64_t DataOffset = 0;
    std::uint64_t FileSize = 0;
    std::vector<std::int16_t> Samples; // 16-bit files only, interleaved
};

inline WavContents ReadWav(const std::filesystem::path& path) {
    WavContents wav;
    std::ifstream in(path, std::ios::binary);
    const std::vector<std::uint8_t> bytes{std::istreambuf_iterator<char>(in),
                                          std::istreambuf_iterator<char>()};
    wav.FileSize = bytes.size();
    auto le32 = [&](std::size_t at) {
        return static_cast<std::uint32_t>(bytes[at] | (bytes[at + 1] << 8) | (bytes[at + 2] << 16) |
                                          (static_cast<std::uint32_t>(bytes[at + 3]) << 24));
    };
    auto le16 = [&](std::size_t at) {
        return static_cast<std::uint16_t>(bytes[at] | (bytes[at + 1] << 8));
    };
    if (bytes.size() < 12 || std::string(bytes.begin(), bytes.begin() + 4) != "RIFF" ||
        std::string(bytes.begin() + 8, bytes.begin() + 12) != "WAVE")
        return wav;
    wav.RiffSize = le32(4);
    std::size_t at = 12;
    while (at + 8 <= bytes.size()) {
        const std::string id(bytes.begin() + static_cast<std::ptrdiff_t>(at),
                             bytes.begin() + static_cast<std::ptrdiff_t>(at + 4));
        const std::uint32_t size = le32(at + 4);
        if (id == "fmt " && at + 24 <= bytes.size()) {
            wav.FormatTag = le16(at + 8);
            wav.Channels = le16(at + 10);
            wav.SampleRate = le32(at + 12);
            wav.BitsPerSample = le16(at + 22);
        } else if (id == "data") {
            wav.DataSize = size;
            wav.DataOffset = at + 8;
            wav.Valid = wav.Channels > 0;
            const std::size_t available =
                std::min<std::size_t>(size, bytes.size() - (at + 8)) / 2 * 2;
            if (wav.BitsPerSample == 16) {
                wav.Samples.resize(available / 2);
                for (std::size_t i = 0; i < wav.Samples.size(); ++i)
                    wav.Samples[i] = static_cast<std::int16_t>(le16(at + 8 + 2 * i));
            }
            break;
        }
        at += 8 + size + (size & 1);
    }
    return wav;
}

// The strongest frequency of one channel of interleaved samples, in Hz.
inline double DominantFrequency(const std::vector<std::int16_t>& samples, int channels,
                                double sampleRate, int channel = 0) {
    std::size_t frames = samples.size() / static_cast<std::size_t>(channels);
    std::size_t n = 1;
    while (n < frames && n < (std::size_t(1) << 20))
        n <<= 1;
    frames = std::min(frames, n);
    if (frames < 16)
        return 0.0;
    std::vector<std::complex<double>> x(n);
    for (std::size_t i = 0; i < frames; ++i) {
        const double hann = 0.5 - 0.5 * std::cos(2.0 * M_PI * double(i) / double(frames - 1));
        x[i] = hann *
               samples[i * static_cast<std::size_t>(channels) + static_cast<std::size_t>(channel)];
    }
    // Iterative radix-2 FFT.
    for (std::size_t i = 1, j = 0; i < n; ++i) {
        std::size_t bit = n >> 1;
        for (; j & bit; bit >>= 1)
            j ^= bit;
        j ^= bit;
        if (i < j)
            std::swap(x[i], x[j]);
    }
    for (std::size_t len = 2; len <= n; len <<= 1) {
        const std::complex<double> step = std::polar(1.0, -2.0 * M_PI / double(len));
        for (std::size_t i = 0; i < n; i += len) {
            std::complex<double> w(1.0);
            for (std::size_t k = 0; k < len / 2; ++k) {
                const auto u = x[i + k];
                const auto v = x[i + k + len / 2] * w;
                x[i + k] = u + v;
                x[i + k + len / 2] = u - v;
                w *= step;
            }
        }
    }
    std::size_t peak = 1;
    for (std::size_t k = 2; k < n / 2; ++k)
        if (std::abs(x[k]) > std::abs(x[peak]))
            peak = k;
    // Parabolic interpolation between the neighbouring bins.
    const double a = std::abs(x[peak - 1]);
    const double b = std::abs(x[peak]);
    const double c = std::abs(x[peak + 1]);
    const double denominator = a - 2 * b + c;
    const double offset = denominator != 0.0 ? 0.5 * (a - c) / denominator : 0.0;
    return (double(peak) + offset) * sampleRate / double(n);
}

// The amplitude (full scale 32768) of one frequency in one channel of
// interleaved samples, over frames [from, from + count).
inline double ToneAmplitude(const std::vector<std::int16_t>& samples, int channels,
                            double sampleRate, double hertz, std::size_t from, std::size_t count,
                            int channel = 0) {
    std::complex<double> sum;
    std::size_t used = 0;
    for (std::size_t i = from; i < from + count; ++i) {
        const std::size_t at =
            i * static_cast<std::size_t>(channels) + static_cast<std::size_t>(channel);
        if (at >= samples.size())
            break;
        sum += std::polar(double(samples[at]), -2.0 * M_PI * hertz * double(i) / sampleRate);
        ++used;
    }
    return used > 0 ? 2.0 * std::abs(sum) / double(used) : 0.0;
}

// The largest absolute sample value.
inline int PeakLevel(const std::vector<std::int16_t>& samples) {
    int peak = 0;
    for (const std::int16_t s : samples)
        peak = std::max(peak, std::abs(static_cast<int>(s)));
    return peak;
}

// Seconds of sound in a media file's audio stream, as ffprobe counts its samples.
inline double ProbedAudioSeconds(const std::filesystem::path& file) {
    const QJsonObject audio = ProbeStream(file, "audio");
    return audio["nb_frames"].toString().toDouble() / audio["sample_rate"].toString().toDouble();
}

} // namespace vardocle::test

#pragma once
// libx264 driven directly, so that each picture can tell it which of its
// macroblocks are the same as in the picture submitted before it: those it
// codes as skipped without searching them, which on a screen where a line of
// text changed is nearly the whole picture. Each picture goes in and its
// packet comes out in the same call; nothing is held inside.
#include "platform/avifile/SourceImage.h"

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace vardocle {

struct TH264Settings {
    int Width = 0; // even
    int Height = 0;
    int TimeBaseNum = 1; // a picture's time unit, in seconds
    int TimeBaseDen = 1;
    // Quantiser steps: the finest is where typed text and other small
    // changes are coded (and the first picture), the coarsest where a change
    // of the whole picture is.
    int FinestStep = 6;
    int CoarsestStep = 23;
    int KeyFrameEvery = 10; // pictures at most between key frames
};

// One coded picture: the bytes of the encoder's packet, valid until the
// next call.
struct TH264Packet {
    const std::uint8_t* Data = nullptr;
    int Size = 0;
    std::int64_t Pts = 0;
    bool Key = false;
};

// How many macroblocks were said to be unchanged and how many of them the
// encoder could leave as they were.
struct TH264MapCount {
    std::int64_t Flagged = 0;
    std::int64_t Kept = 0;
};

class TH264Encoder {
public:
    TH264Encoder();
    ~TH264Encoder();
    TH264Encoder(const TH264Encoder&) = delete;
    TH264Encoder& operator=(const TH264Encoder&) = delete;

    bool Open(const TH264Settings& settings, std::string& error);
    // Codes the 4:2:0 planes at `pts`. `changed` holds the parts of the
    // picture that may differ from the picture submitted before (anything
    // outside them is taken as unchanged); where it says everything, the
    // picture is compared with the one before.
    bool Encode(const std::uint8_t* const planes[3], const int strides[3], std::int64_t pts,
                bool key, const TChangedRows& changed, TH264Packet& packet, std::string& error);
    const TH264MapCount& MapCount() const { return FCount; }
    // Whether the last picture coded again, unchanged, would come out
    // sharper: it was coded coarser than still parts are.
    bool WouldRefine() const;

    // Lets a test change the map of macroblocks before each picture gets it
    // (one byte a macroblock, row by row, `columns` a row): a map that misses
    // a change must show in the file.
    using TMapHook = std::function<void(std::vector<std::uint8_t>& map, int columns)>;
    static void SetMapHookForTests(TMapHook hook);

private:
    struct TState;
    std::unique_ptr<TState> FState;
    TH264MapCount FCount;
};

// The macroblock map of a picture `width` x `height` whose `changed` parts
// may differ from the picture before: every macroblock any changed pixel
// touches is marked changed (0), the rest unchanged (`constant`).
void MarkUnchangedMacroblocks(const TChangedRows& changed, int width, int height,
                              std::uint8_t constant, std::vector<std::uint8_t>& map);

} // namespace vardocle

#pragma once
// The quantiser step of each picture of a screen recording. Every macroblock
// of a picture carries the picture's step, and an unchanged macroblock can
// only be kept as it is (skipped without being looked at) where the picture
// before it was coded at the same or a finer step: so the step must not
// wander. It follows how much of the picture changed: a few macroblocks
// (typing, the pointer) are coded at the finest step and stay there for as
// long as they are on the screen; a whole-screen change (scrolling, a video)
// goes by and gets the coarse step. A step once raised stays until the
// changes are clearly smaller again; then one picture at the finer step
// refines the whole screen, where a lingering coarse step would have left
// typed text blurred.

namespace vardocle {

// The step a change of the whole picture gets at `picturesPerSecond`, for a
// quality whose constant rate factor is `rateFactor`: the step the encoder's
// constant-rate mode gives a screen that changes all over at that rate (text
// scrolling over a photograph), measured at 22 for factor 23 at 2 pictures a
// second and 25 at 5. That mode weighs a picture's detail by how long it is
// seen, so a picture seen for a shorter time is coarser: the step rises by
// about 3 for each 2.5-fold rate.
int CoarsestStepFor(int rateFactor, double picturesPerSecond);

class TH264StepChoice {
public:
    // `finest` for a change of at most `FineShare` of the macroblocks,
    // `coarsest` for a change of all of them.
    TH264StepChoice(int finest, int coarsest);

    // The step for the next picture, of whose macroblocks `changedShare`
    // (0..1) may differ from the picture before. A key frame codes every
    // macroblock anyway, so it takes the step its change asks for; the first
    // picture, the still screen the rest is kept against, takes the finest.
    int Next(double changedShare, bool key);

    // Whether a picture in which nothing changed would be given a finer
    // step than the last (and so sharpen what it kept).
    bool WouldRefine() const { return FCurrent >= 0 && FFinest <= FCurrent - RefineGap; }

    // The step a change of that share asks for, before the stickiness.
    int Wanted(double changedShare) const;

    static constexpr double FineShare = 0.02;
    // How far the wanted step must fall below the current one before a
    // picture refines the whole screen at it.
    static constexpr int RefineGap = 3;

private:
    int FFinest;
    int FCoarsest;
    int FCurrent = -1;
};

} // namespace vardocle

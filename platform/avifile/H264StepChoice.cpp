#include "platform/avifile/H264StepChoice.h"

#include <algorithm>
#include <cmath>

namespace vardocle {

int CoarsestStepFor(int rateFactor, double picturesPerSecond) {
    const double rate = std::max(picturesPerSecond, 0.01);
    return std::clamp(rateFactor - 1 + static_cast<int>(std::lround(2.4 * std::log2(rate / 2))), 0,
                      51);
}

TH264StepChoice::TH264StepChoice(int finest, int coarsest)
    : FFinest(finest), FCoarsest(std::max(finest, coarsest)) {}

int TH264StepChoice::Wanted(double changedShare) const {
    if (!(changedShare > FineShare))
        return FFinest;
    // Between the two the step rises with the logarithm of the share: a
    // picture's bits grow with the area that changed, and a step 6 higher
    // halves them, so a change ten times larger costs only about three times
    // as many bytes as the small one.
    const double span = FCoarsest - FFinest;
    const double rise = span * std::log2(changedShare / FineShare) / std::log2(1 / FineShare);
    return std::clamp(FFinest + static_cast<int>(std::lround(rise)), FFinest, FCoarsest);
}

int TH264StepChoice::Next(double changedShare, bool key) {
    const int wanted = Wanted(changedShare);
    if (FCurrent < 0)
        FCurrent = FFinest;
    else if (key || wanted > FCurrent || wanted <= FCurrent - RefineGap)
        FCurrent = wanted;
    return FCurrent;
}

} // namespace vardocle

#pragma once
// Fast-changing screen content for the benchmarks: text scrolling up the
// root window, drawn from a thread of its own until the object goes. A still
// rectangle, when given, is left as it is: the rest of the screen is busy.
#include "bench/engine/DrawingThread.h"

namespace vardocle::test {

class TScreenAnimator : public TDrawingThread {
public:
    TScreenAnimator();
    TScreenAnimator(int stillX, int stillY, int stillWidth, int stillHeight);
    ~TScreenAnimator() override;

private:
    void Run() override;
    int FStillX = 0;
    int FStillY = 0;
    int FStillWidth = 0;
    int FStillHeight = 0;
};

} // namespace vardocle::test

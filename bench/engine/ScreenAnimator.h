#pragma once
// Fast-changing screen content for the benchmarks: text scrolling up the
// root window, drawn from a thread of its own until the object goes.
#include "bench/engine/DrawingThread.h"

namespace vardocle::test {

class TScreenAnimator : public TDrawingThread {
public:
    TScreenAnimator();
    ~TScreenAnimator() override;

private:
    void Run() override;
};

} // namespace vardocle::test

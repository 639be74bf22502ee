#pragma once
// The screen of a recorded tutorial: a still desktop with one window into
// which text is typed at 8 characters a second, and a pointer that moves
// every 3 seconds. Drawn until the object goes.
#include "bench/engine/DrawingThread.h"

namespace vardocle::test {

class TTypingDesktop : public TDrawingThread {
public:
    TTypingDesktop();
    ~TTypingDesktop() override;

private:
    void Run() override;
};

} // namespace vardocle::test

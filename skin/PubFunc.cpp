#include "skin/PubFunc.h"

#include "skin/GDIPOBJ.h"

namespace vardocle {

namespace {

// Along one axis: a span of the frame [from0, from1) onto [to0, to1).
struct Span {
    std::int32_t From0, From1, To0, To1;
};

// The seam rules, the same on both axes: "first" stretches the first
// column/row, "last" the last one, "middle" the middle one or two.
enum class Seam { First, Middle, Last };

std::vector<Span> SeamSpans(Seam seam, std::int32_t a, std::int32_t W) {
    switch (seam) {
    case Seam::First:
        if (a < W)
            return {{0, 1, 0, W - a + 1}, {1, a, W - a + 1, W}};
        return {{0, 1, 0, 1}, {a - W + 1, a, 1, W}};
    case Seam::Middle:
        if (a < W) {
            const std::int32_t m = a % 2 == 0 ? 2 : 1;
            const std::int32_t s = (a - m) / 2;
            return {{0, s, 0, s}, {s, s + m, s, W - s}, {s + m, a, W - s, W}};
        } else {
            const std::int32_t l = W / 2;
            return {{0, l, 0, l}, {a - (W - l), a, l, W}};
        }
    case Seam::Last:
        if (a < W)
            return {{0, a - 1, 0, a - 1}, {a - 1, a, a - 1, W}};
        return {{0, W - 1, 0, W - 1}, {a - 1, a, W - 1, W}};
    }
    return {};
}

// The two enumerations list the same handlings in the same order: None,
// All, first seam, middle seam, last seam, Custom.
std::vector<Span> AxisSpans(std::uint8_t type, std::int32_t a, std::int32_t W) {
    switch (type) {
    case hstNone:
        return {{0, a, 0, a}};
    case hstAll:
        return {{0, a, 0, W}};
    case hstLeft:
        return SeamSpans(Seam::First, a, W);
    case hstMiddle:
        return SeamSpans(Seam::Middle, a, W);
    case hstRight:
        return SeamSpans(Seam::Last, a, W);
    default:
        return {}; // custom margins exist nowhere: nothing is drawn
    }
}

static_assert(+vstNone == +hstNone && +vstAll == +hstAll && +vstTop == +hstLeft &&
              +vstCenter == +hstMiddle && +vstBottom == +hstRight && +vstCustom == +hstCustom);

} // namespace

std::vector<TStretchDraw> HorzStretchDraws(std::int32_t frameLeft, std::int32_t a, std::int32_t h,
                                           std::int32_t W, THorzStretchType horz) {
    const std::vector<Span> spans = AxisSpans(horz, a, W);
    std::vector<TStretchDraw> draws;
    draws.reserve(spans.size());
    for (const Span& s : spans)
        draws.push_back(
            {{frameLeft + s.From0, 0, s.From1 - s.From0, h}, {s.To0, 0, s.To1 - s.To0, h}});
    return draws;
}

std::vector<TStretchDraw> VertStretchDraws(std::int32_t h, std::int32_t W, std::int32_t H,
                                           TVertStretchType vert) {
    const std::vector<Span> spans = AxisSpans(vert, h, H);
    std::vector<TStretchDraw> draws;
    draws.reserve(spans.size());
    for (const Span& s : spans)
        draws.push_back({{0, s.From0, W, s.From1 - s.From0}, {0, s.To0, W, s.To1 - s.To0}});
    return draws;
}

TStretchPlan PlanStretchedFrame(std::int32_t pictureHeight, TPoint size, std::int32_t frameIndex,
                                std::int32_t frameWidth, THorzStretchType horz,
                                TVertStretchType vert) {
    TStretchPlan plan;
    const std::int32_t a = frameWidth;
    const std::int32_t h = pictureHeight;
    const std::int32_t off = frameIndex * a;
    if (horz == hstNone && vert == vstNone) {
        plan.Direct.push_back({{off, 0, a, h}, {0, 0, a, h}});
        return plan;
    }
    plan.UsesIntermediate = true;
    plan.Horizontal = HorzStretchDraws(off, a, h, size.X, horz);
    plan.Vertical = VertStretchDraws(h, size.X, size.Y, vert);
    return plan;
}

void DrawStretchedFrame(TGPBitmap* picture, TGPGraphics* target, TPoint size,
                        std::int32_t frameIndex, std::int32_t frameWidth, THorzStretchType horz,
                        TVertStretchType vert) {
    if (picture == nullptr || target == nullptr)
        return;
    const auto h = static_cast<std::int32_t>(picture->GetHeight());
    const TStretchPlan plan = PlanStretchedFrame(h, size, frameIndex, frameWidth, horz, vert);
    auto draw = [](TGPGraphics& into, TGPImage* from, const TStretchDraw& d) {
        into.DrawImage(from, d.Dest, d.Source.X, d.Source.Y, d.Source.Width, d.Source.Height,
                       UnitPixel);
    };
    for (const TStretchDraw& d : plan.Direct)
        draw(*target, picture, d);
    if (!plan.UsesIntermediate)
        return;
    // The surface and its context are released on every path out.
    TGPBitmap surface(size.X, h, PixelFormat32bppARGB);
    if (!surface.HasNative())
        return;
    {
        TGPGraphics pass(&surface);
        for (const TStretchDraw& d : plan.Horizontal)
            draw(pass, picture, d);
    }
    for (const TStretchDraw& d : plan.Vertical)
        draw(*target, &surface, d);
}

} // namespace vardocle

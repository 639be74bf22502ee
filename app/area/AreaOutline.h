#pragma once
// The thin frame that shows, while a region or a window is recorded, what is
// being recorded: four bars just outside the area, which take no input and
// never lie over it, so they are never in the picture.
#include "platform/screen/CaptureLayout.h"

#include <QObject>

#include <array>
#include <functional>
#include <memory>
#include <optional>

class QTimer;
class QWidget;

namespace vardocle {

// Where the four bars go around `area` (root coordinates), `thickness` wide:
// top, bottom, left, right; the side bars span the corners.
std::array<TScreenRect, 4> OutlineBars(const TScreenRect& area, int thickness);

class TAreaOutline : public QObject {
public:
    static constexpr int kThickness = 3;
    // `follow` says where the area is now (none: hide the frame); asked at
    // once and then a few times a second, for a window that moves.
    explicit TAreaOutline(std::function<std::optional<TScreenRect>()> follow,
                          QObject* owner = nullptr);
    ~TAreaOutline() override;
    TAreaOutline(const TAreaOutline&) = delete;
    TAreaOutline& operator=(const TAreaOutline&) = delete;

    // The bars, for tests: 0 top, 1 bottom, 2 left, 3 right.
    QWidget* Bar(std::size_t index) const { return FBars.at(index).get(); }

private:
    void Place();

    std::function<std::optional<TScreenRect>()> FFollow;
    std::array<std::unique_ptr<QWidget>, 4> FBars;
    QTimer* FTimer = nullptr;
    std::optional<TScreenRect> FPlaced;
};

} // namespace vardocle

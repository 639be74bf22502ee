#include "platform/screen/CaptureArea.h"

#include <charconv>
#include <cstdio>
#include <limits>

namespace vardocle {
namespace {

constexpr std::string_view kAllowed =
    "可用的录制范围: screen、monitor:名称、region:X,Y,宽,高、region:pick、window:窗口号、"
    "window:pick";

bool Fail(std::string* error, const std::string& why) {
    if (error)
        *error = why + "。" + std::string(kAllowed);
    return false;
}

// A whole number, nothing before or after it.
template <typename T> bool ReadNumber(std::string_view text, T& value, int base = 10) {
    if (text.empty())
        return false;
    const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value, base);
    return ec == std::errc{} && end == text.data() + text.size();
}

bool ReadRegion(std::string_view text, TScreenRect& region) {
    int numbers[4] = {};
    for (int index = 0; index < 4; ++index) {
        const auto comma = text.find(',');
        const std::string_view part = index < 3 ? text.substr(0, comma) : text;
        if ((index < 3 && comma == std::string_view::npos) || !ReadNumber(part, numbers[index]))
            return false;
        if (index < 3)
            text.remove_prefix(comma + 1);
    }
    region = {numbers[0], numbers[1], numbers[2], numbers[3]};
    return true;
}

bool ReadWindowId(std::string_view text, std::uint32_t& id) {
    if (text.size() > 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X'))
        return ReadNumber(text.substr(2), id, 16);
    return ReadNumber(text, id);
}

} // namespace

std::optional<TCaptureArea> ParseCaptureArea(std::string_view text, std::string* error) {
    TCaptureArea area;
    const auto colon = text.find(':');
    const std::string_view kind = text.substr(0, colon);
    const std::string_view value =
        colon == std::string_view::npos ? std::string_view{} : text.substr(colon + 1);
    if (kind == "screen" && colon == std::string_view::npos)
        return area;
    if (colon == std::string_view::npos || value.empty()) {
        Fail(error, "无法识别的录制范围“" + std::string(text) + "”");
        return std::nullopt;
    }
    if (kind == "monitor") {
        area.Kind = TAreaKind::Monitor;
        area.Monitor = std::string(value);
        return area;
    }
    if (kind == "region") {
        area.Kind = TAreaKind::Region;
        if (value == "pick") {
            area.Pick = true;
            return area;
        }
        if (!ReadRegion(value, area.Region)) {
            Fail(error, "区域“" + std::string(value) + "”应是四个整数 X,Y,宽,高");
            return std::nullopt;
        }
        if (area.Region.Width <= 0 || area.Region.Height <= 0) {
            Fail(error, "区域的宽和高必须大于 0");
            return std::nullopt;
        }
        if (area.Region.Width > 5000 || area.Region.Height > 5000) {
            Fail(error, "区域的宽和高最大为 5000");
            return std::nullopt;
        }
        return area;
    }
    if (kind == "window") {
        area.Kind = TAreaKind::Window;
        if (value == "pick") {
            area.Pick = true;
            return area;
        }
        if (!ReadWindowId(value, area.Window) || area.Window == 0) {
            Fail(error, "窗口号“" + std::string(value) + "”应是十进制或 0x 开头的十六进制数");
            return std::nullopt;
        }
        return area;
    }
    Fail(error, "无法识别的录制范围“" + std::string(text) + "”");
    return std::nullopt;
}

std::string CaptureAreaText(const TCaptureArea& area) {
    switch (area.Kind) {
    case TAreaKind::Screen:
        return "screen";
    case TAreaKind::Monitor:
        return "monitor:" + area.Monitor;
    case TAreaKind::Region:
        if (area.Pick)
            return "region:pick";
        return "region:" + std::to_string(area.Region.X) + "," + std::to_string(area.Region.Y) +
               "," + std::to_string(area.Region.Width) + "," + std::to_string(area.Region.Height);
    case TAreaKind::Window: {
        if (area.Pick)
            return "window:pick";
        char id[16];
        std::snprintf(id, sizeof id, "0x%x", static_cast<unsigned>(area.Window));
        return std::string("window:") + id;
    }
    }
    return "screen";
}

TPlacedArea PlaceArea(const TCaptureArea& area, const std::vector<TNamedMonitor>& monitors,
                      int rootWidth, int rootHeight) {
    const TScreenRect root{0, 0, rootWidth, rootHeight};
    TPlacedArea placed;
    switch (area.Kind) {
    case TAreaKind::Screen: {
        std::vector<TMonitor> plain;
        for (const auto& monitor : monitors)
            plain.push_back({monitor.Area, monitor.Primary});
        placed.Area = ChoosePrimaryMonitor(plain, rootWidth, rootHeight);
        break;
    }
    case TAreaKind::Monitor: {
        const TNamedMonitor* found = nullptr;
        for (const auto& monitor : monitors)
            if (monitor.Name == area.Monitor)
                found = &monitor;
        if (!found) {
            placed.Placement = TAreaPlacement::Gone;
            return placed;
        }
        placed.Area = found->Area;
        break;
    }
    case TAreaKind::Region:
        if (area.Pick) {
            placed.Placement = TAreaPlacement::Gone;
            return placed;
        }
        placed.Area = area.Region;
        break;
    case TAreaKind::Window:
        placed.Placement = TAreaPlacement::Gone;
        return placed;
    }
    placed.Visible = placed.Area.Intersect(root);
    if (placed.Visible.Empty())
        placed.Placement = TAreaPlacement::Gone;
    else if (placed.Visible != placed.Area)
        placed.Placement = TAreaPlacement::Partial;
    return placed;
}

std::string AreaMissingMessage(const TCaptureArea& area, TAreaPlacement placement) {
    if (placement == TAreaPlacement::Whole)
        return {};
    switch (area.Kind) {
    case TAreaKind::Monitor:
        return "找不到显示器“" + area.Monitor +
               "”，它可能已被拔下或关闭。请接上该显示器，或在“录制范围”中另选显示器或全屏。";
    case TAreaKind::Window:
        return "要录制的窗口已不存在。请在“录制范围”中重新选择窗口。";
    case TAreaKind::Region:
        if (placement == TAreaPlacement::Partial)
            return "所选区域 " + CaptureAreaText(area).substr(7) +
                   " 有一部分已不在屏幕上（屏幕可能变小或显示器已拔下）。请重新选择区域。";
        return "所选区域 " + CaptureAreaText(area).substr(7) +
               " 不在屏幕上（屏幕可能变小或显示器已拔下）。请重新选择区域。";
    case TAreaKind::Screen:
        break;
    }
    return "屏幕无法读取。";
}

} // namespace vardocle

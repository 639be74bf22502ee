#include "platform/screen/portal/PortalAnswers.h"

#include <algorithm>

namespace vardocle {

std::string PortalFailureMessage(TPortalFailure failure, const std::string& detail) {
    std::string text;
    switch (failure) {
    case TPortalFailure::NoBus:
        text = "无法连接到桌面的会话总线，不能通过桌面门户录制屏幕";
        break;
    case TPortalFailure::NoPortal:
        text = "桌面没有提供屏幕录制门户（xdg-desktop-portal 的 ScreenCast），不能录制屏幕。"
               "请安装并启动与桌面相配的门户后端";
        break;
    case TPortalFailure::Cancelled:
        text = "已取消选择要共享的屏幕，录制已停止";
        break;
    case TPortalFailure::Refused:
        text = "桌面拒绝共享屏幕，录制已停止";
        break;
    case TPortalFailure::TimedOut:
        text = "桌面门户没有及时回应，录制已停止";
        break;
    case TPortalFailure::BadAnswer:
        text = "桌面门户的回应无法使用，录制已停止";
        break;
    case TPortalFailure::Closed:
        text = "桌面已结束屏幕共享（例如按下了“停止共享”），录制已停止，已录下的部分已保存";
        break;
    case TPortalFailure::StreamFailed:
        text = "屏幕画面的传输（PipeWire）中断，录制已停止，已录下的部分已保存";
        break;
    case TPortalFailure::NoWindows:
        text = "桌面的屏幕录制门户不能只录制一个窗口，录制没有开始。"
               "请在“录制范围”中改选全屏、显示器或区域";
        break;
    case TPortalFailure::WindowGone:
        text = "所录制的窗口已关闭，或桌面已停止共享它，录制已停止，已录下的部分已保存";
        break;
    }
    return detail.empty() ? text : text + "（" + detail + "）";
}

std::variant<TPortalStream, std::string>
ChoosePortalStream(const std::optional<std::vector<TPortalStream>>& streams) {
    if (!streams)
        return std::string("the answer has no streams");
    if (streams->empty())
        return std::string("the answer lists no stream");
    const TPortalStream& stream = streams->front();
    if (stream.HasSize && (stream.Width <= 0 || stream.Height <= 0))
        return "the stream has the size " + std::to_string(stream.Width) + "x" +
               std::to_string(stream.Height);
    return stream;
}

TPortalSource PortalSourceFor(TAreaKind kind) {
    return kind == TAreaKind::Window ? TPortalSource::Window : TPortalSource::Monitor;
}

std::optional<TPortalFailure> PortalSourceRefusal(TPortalSource source,
                                                  std::optional<std::uint32_t> available) {
    if (!available || (*available & static_cast<std::uint32_t>(source)) != 0)
        return std::nullopt;
    return source == TPortalSource::Window ? TPortalFailure::NoWindows : TPortalFailure::NoPortal;
}

bool IsUsableRestoreToken(const std::string& token) {
    return !token.empty() && token.size() <= 256 &&
           std::all_of(token.begin(), token.end(), [](char c) { return c > ' ' && c < 127; });
}

std::string PortalRequestPath(const std::string& uniqueName, const std::string& handleToken) {
    std::string sender = uniqueName;
    if (!sender.empty() && sender.front() == ':')
        sender.erase(0, 1);
    std::replace(sender.begin(), sender.end(), '.', '_');
    return "/org/freedesktop/portal/desktop/request/" + sender + "/" + handleToken;
}

} // namespace vardocle

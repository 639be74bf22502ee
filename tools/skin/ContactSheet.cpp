#include "tools/skin/ContactSheet.h"

#include "tools/skin/SkinCatalogue.h"
#include "tools/skin/SkinLook.h"
#include "tools/skin/StoredPicture.h"

#include <QFile>
#include <QFontMetrics>
#include <QPainter>

#include <algorithm>
#include <array>
#include <map>
#include <stdexcept>

namespace vardocle::skinart {

namespace {

const QColor SheetBack(138, 140, 142);
const QColor LabelInk(20, 22, 24);
const QColor CaptionInk(198, 223, 228);
const QColor ButtonCaptionInk(194, 241, 235);
constexpr int Margin = 24;

const std::array<const char*, FrameCount> StateNames = {"正常", "悬停", "按下", "选中", "禁用"};

QByteArray ReadAll(const QString& path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        throw std::runtime_error("cannot read " + path.toStdString());
    return file.readAll();
}

// Nearest-neighbour enlargement with the key pixels turned into a checkerboard.
QImage Enlarge(const QImage& image, int scale, const QColor& key) {
    QImage big(image.width() * scale, image.height() * scale, QImage::Format_ARGB32);
    const QRgb keyRgb = key.rgb();
    for (int y = 0; y < big.height(); ++y) {
        auto* out = reinterpret_cast<QRgb*>(big.scanLine(y));
        const auto* in = reinterpret_cast<const QRgb*>(image.constScanLine(y / scale));
        for (int x = 0; x < big.width(); ++x) {
            const QRgb pixel = in[x / scale];
            if (qAlpha(pixel) == 255 && pixel == keyRgb)
                out[x] = ((x / 6 + y / 6) % 2) ? qRgb(236, 236, 236) : qRgb(196, 196, 196);
            else
                out[x] = pixel;
        }
    }
    return big;
}

class Sheet {
public:
    explicit Sheet(const QString& root) : FRoot(root) {
        for (const SkinPicture& picture : SkinPictures()) {
            const auto image = DecodeStoredPicture(ReadAll(root + "/skin/" + picture.Path));
            if (!image)
                throw std::runtime_error("not a stored PNG picture: " + picture.Path.toStdString());
            FPictures[picture.Path] = *image;
        }
        FLabelFont.setFamily("Noto Sans CJK SC");
        FLabelFont.setPixelSize(14);
        FCaptionFont.setFamily("Noto Sans CJK SC");
        FCaptionFont.setPixelSize(12);
    }

    QImage Paint() {
        // Measure by painting onto a tall page, then crop to what was used.
        QImage page(1180, 8000, QImage::Format_ARGB32);
        page.fill(SheetBack);
        QPainter p(&page);
        p.setRenderHint(QPainter::TextAntialiasing);
        FY = Margin;
        Heading(p, "Vardocle 皮肤一览  (棋盘格 = 透明色键)");
        Windows(p);
        for (const QString& folder : {QString("main"), QString("setting"), QString("ad")})
            Folder(p, folder);
        Icons(p);
        p.end();
        return page.copy(0, 0, page.width(), FY + Margin);
    }

private:
    const QImage& Pic(const QString& path) const { return FPictures.at(path); }

    QImage Frame(const QString& path, int state) const {
        const QImage& strip = Pic(path);
        const int width = strip.width() / FrameCount;
        return strip.copy(state * width, 0, width, strip.height());
    }

    void Heading(QPainter& p, const QString& text) {
        QFont font = FLabelFont;
        font.setPixelSize(18);
        font.setBold(true);
        p.setFont(font);
        p.setPen(LabelInk);
        p.drawText(Margin, FY + 18, text);
        FY += 34;
    }

    void Label(QPainter& p, int x, int y, const QString& text) {
        p.setFont(FLabelFont);
        p.setPen(LabelInk);
        p.drawText(x, y + 14, text);
    }

    void Windows(QPainter& p) {
        Heading(p, "窗口预览 (2 倍)");
        int x = Margin;
        const std::array<std::array<int, 6>, 3> states = {
            {{0, 4, 4, 4, 3, 0}, {4, 3, 0, 1, 3, 0}, {0, 4, 4, 4, 0, 2}}};
        const std::array<const char*, 3> names = {"主窗口: 空闲", "主窗口: 录制中", "主窗口: 静音"};
        for (std::size_t i = 0; i < states.size(); ++i) {
            Label(p, x, FY, names[i]);
            const QImage window = MainWindow(states[i], i == 2);
            p.drawImage(x, FY + 22, Enlarge(window, 2, MainKey));
            x += window.width() * 2 + 24;
            if (i == 1) {
                FY += 22 + 89 * 2 + 16;
                x = Margin;
            }
        }
        FY += 22 + 89 * 2 + 16;
        x = Margin;
        Label(p, x, FY, "设置窗口");
        p.drawImage(x, FY + 22, Enlarge(SettingWindow(false), 2, SettingKey));
        x += 241 * 2 + 24;
        Label(p, x, FY, "设置窗口: 折叠");
        p.drawImage(x, FY + 22, Enlarge(SettingWindow(true), 2, SettingKey));
        FY += 22 + 178 * 2 + 16;
        Label(p, Margin, FY, "广告窗口");
        p.drawImage(Margin, FY + 22, Enlarge(AdWindow(), 2, MainKey));
        FY += 22 + 235 * 2 + 24;
    }

    QImage MainWindow(const std::array<int, 6>& states, bool muted) const {
        QImage w(242, 89, QImage::Format_ARGB32);
        w.fill(MainKey);
        QPainter p(&w);
        p.setRenderHint(QPainter::TextAntialiasing);
        p.drawImage(2, 0, Pic("main/Background.pic"));
        p.setFont(FCaptionFont);
        p.setPen(CaptionInk);
        p.drawText(QRect(0, 0, 233, 25), Qt::AlignLeft | Qt::AlignVCenter, "  Vardocle");
        const std::array<const char*, 6> pictures = {
            "main/BtnStart.pic", "main/ChkPause.pic",       "main/ChkResume.pic",
            "main/BtnStop.pic",  "main/VoiceCheckTrue.pic", "main/BtnHistory.pic"};
        const std::array<const char*, 6> captions = {"录制", "暂停", "继续",
                                                     "停止", "录音", "历史"};
        const QFontMetrics metrics(FCaptionFont);
        const int textHeight = metrics.height();
        for (int i = 0; i < 6; ++i) {
            const int left = 9 + 39 * i;
            QString path = pictures[static_cast<std::size_t>(i)];
            if (i == 4 && muted)
                path = "main/VoiceCheckFalse.pic";
            const int glyphY = 33 + (48 - 30 - textHeight - 2) / 2;
            p.drawImage(left, glyphY, Frame(path, states[static_cast<std::size_t>(i)]));
            p.setPen(ButtonCaptionInk);
            p.drawText(QRect(left, glyphY + 32, 31, textHeight), Qt::AlignHCenter,
                       captions[static_cast<std::size_t>(i)]);
        }
        p.drawImage(143, 4, Frame("main/BtnSetting.pic", 0));
        p.drawImage(161, 4, Frame("main/BtnHelp.pic", 0));
        p.drawImage(184, 2, Frame("main/BtnHide.pic", 0));
        p.drawImage(209, 2, Frame("main/BtnClose.pic", muted ? 1 : 0));
        return w;
    }

    QImage SettingWindow(bool folded) const {
        QImage w(241, folded ? 24 : 178, QImage::Format_ARGB32);
        w.fill(SettingKey);
        QPainter p(&w);
        p.setRenderHint(QPainter::TextAntialiasing);
        p.drawImage(0, 0, Pic("setting/Title.pic"));
        if (!folded)
            p.drawImage(QRect(0, 24, 240, 153), Pic("setting/Body.pic"));
        QFont font = FCaptionFont;
        font.setPixelSize(14);
        p.setFont(font);
        p.setPen(CaptionInk);
        p.drawText(QRect(10, 0, 175, 26), Qt::AlignLeft | Qt::AlignVCenter, "  Vardocle");
        p.drawImage(186, 2, Frame("setting/BtnHide.pic", 0));
        p.drawImage(210, 2, Frame("setting/BtnClose.pic", 0));
        if (folded)
            return w;
        p.setFont(FCaptionFont);
        p.setPen(ButtonCaptionInk);
        p.drawText(15, 52, "录制时录取鼠标:");
        p.drawText(16, 77, "录制时录取透明窗体(包括本程序):");
        const std::array<const char*, 3> labels = {
            "录取速度设置(帧/秒):", "生成的视频宽度(像素):", "生成的视频高度(像素):"};
        const std::array<const char*, 3> values = {"2", "1024", "768"};
        for (int i = 0; i < 3; ++i) {
            const int top = 89 + 27 * i;
            p.setPen(ButtonCaptionInk);
            p.drawText(16, top + 13, labels[static_cast<std::size_t>(i)]);
            p.fillRect(QRect(163, top, 55, 22), QColor(64, 128, 128));
            p.drawText(QRect(167, top, 50, 22), Qt::AlignVCenter,
                       values[static_cast<std::size_t>(i)]);
        }
        return w;
    }

    QImage AdWindow() const {
        QImage w(307, 235, QImage::Format_ARGB32);
        w.fill(MainKey);
        QPainter p(&w);
        p.drawImage(QRect(0, 0, 307, 24), Pic("ad/Title.pic"));
        p.drawImage(QRect(0, 24, 307, 211), Pic("ad/Body.pic"));
        p.drawImage(275, 2, Frame("ad/BtnClose.pic", 0));
        p.fillRect(QRect(5, 24, 298, 206), QColor(250, 250, 250));
        p.setFont(FLabelFont);
        p.setPen(QColor(120, 120, 120));
        p.drawText(QRect(5, 24, 298, 206), Qt::AlignCenter, "(网页)");
        return w;
    }

    void Folder(QPainter& p, const QString& folder) {
        Heading(p, "skin/" + folder);
        for (const SkinPicture& picture : SkinPictures()) {
            if (!picture.Path.startsWith(folder + "/"))
                continue;
            const QImage& image = Pic(picture.Path);
            const QString title =
                QString("%1  %2×%3").arg(picture.Path).arg(image.width()).arg(image.height());
            Label(p, Margin, FY, title);
            FY += 22;
            if (!picture.Strip) {
                p.drawImage(Margin, FY, Enlarge(image, 2, picture.Key));
                FY += image.height() * 2 + 14;
                continue;
            }
            const int scale = image.height() >= 30 ? 3 : 4;
            int x = Margin;
            for (int state = 0; state < FrameCount; ++state) {
                const QImage frame = Enlarge(Frame(picture.Path, state), scale, picture.Key);
                p.drawImage(x, FY, frame);
                p.setFont(FCaptionFont);
                p.setPen(LabelInk);
                p.drawText(QRect(x, FY + frame.height() + 2, frame.width(), 16), Qt::AlignHCenter,
                           QString::fromUtf8(StateNames[static_cast<std::size_t>(state)]));
                x += frame.width() + 16;
            }
            FY += image.height() * scale + 26;
        }
    }

    void Icons(QPainter& p) {
        Heading(p, "icons (原大，小图标另有 4 倍)");
        int x = Margin;
        int tallest = 0;
        for (const ProgramIconFile& icon : ProgramIcons()) {
            QImage image;
            if (!image.load(FRoot + "/icons/" + icon.Path, "png"))
                throw std::runtime_error("cannot read icon " + icon.Path.toStdString());
            p.drawImage(x, FY, image);
            int width = image.width();
            // The small ones also four times as large, to see their pixels.
            if (icon.Size <= 32) {
                p.drawImage(x + width + 8, FY, image.scaled(image.size() * 4));
                width += 8 + icon.Size * 4;
            }
            const int height = std::max(image.height(), icon.Size <= 32 ? icon.Size * 4 : 0);
            Label(p, x, FY + height + 4, icon.Path);
            tallest = std::max(tallest, height);
            x += std::max(width, 100) + 24;
        }
        FY += tallest + 28;
    }

    QString FRoot;
    std::map<QString, QImage> FPictures;
    QFont FLabelFont;
    QFont FCaptionFont;
    int FY = 0;
};

} // namespace

QImage MakeContactSheet(const QString& assetsRoot) {
    return Sheet(assetsRoot).Paint();
}

} // namespace vardocle::skinart

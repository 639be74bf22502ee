// Ways of turning a 1920x1080 screen into the encoder's 4:2:0 planes at the
// common recording sizes, measured in the same run: processor time per frame
// and SSIM of the luma against the same screen scaled with a Lanczos filter.
// The engine's own scaler is one of them; it must be at least as faithful as
// the general scaler's bicubic filter it replaced (a small tolerance for the
// measurement). Times are printed as figures and ratios, never asserted.
#include "platform/avifile/ImageScaler.h"

#include <QFont>
#include <QGuiApplication>
#include <QImage>
#include <QLinearGradient>
#include <QPainter>
#include <QRadialGradient>

#include <chrono>
#include <cmath>
#include <cstdio>
#include <ctime>
#include <functional>
#include <gtest/gtest.h>
#include <libyuv/convert_from_argb.h>
#include <libyuv/scale_argb.h>
#include <random>
#include <vector>

extern "C" {
#include <libavutil/pixfmt.h>
#include <libswscale/swscale.h>
}

using namespace vardocle;

namespace {

// A desktop of text over a photograph-like background: gradients and
// fine-grained noise, with text of several sizes on top.
QImage TextAndPhotoScreen() {
    QImage screen(1920, 1080, QImage::Format_RGB32);
    QPainter painter(&screen);
    QLinearGradient sky(0, 0, 0, 1080);
    sky.setColorAt(0, QColor(40, 90, 160));
    sky.setColorAt(1, QColor(200, 150, 90));
    painter.fillRect(screen.rect(), sky);
    QRadialGradient sun(1400, 300, 400);
    sun.setColorAt(0, QColor(255, 240, 200, 220));
    sun.setColorAt(1, QColor(255, 240, 200, 0));
    painter.fillRect(screen.rect(), sun);
    painter.end();
    // Photographic detail: noise of several grain sizes from 4 to 64 pixels,
    // smoothly interpolated, as a camera picture has it (no pure per-pixel
    // noise, which no screen shows).
    std::mt19937 random(7);
    std::uniform_real_distribution<double> value(-1, 1);
    std::vector<double> detail(static_cast<std::size_t>(screen.width()) * screen.height(), 0);
    for (int cell = 64; cell >= 4; cell /= 2) {
        const int columns = screen.width() / cell + 2, rows = screen.height() / cell + 2;
        std::vector<double> grid(static_cast<std::size_t>(columns) * rows);
        for (double& v : grid)
            v = value(random);
        const double amplitude = 6.0 + cell / 4.0;
        for (int y = 0; y < screen.height(); ++y) {
            const int gy = y / cell;
            const double fy = static_cast<double>(y % cell) / cell;
            for (int x = 0; x < screen.width(); ++x) {
                const int gx = x / cell;
                const double fx = static_cast<double>(x % cell) / cell;
                auto at = [&](int cx, int cy) {
                    return grid[static_cast<std::size_t>(cy) * columns + cx];
                };
                const double top = at(gx, gy) * (1 - fx) + at(gx + 1, gy) * fx;
                const double bottom = at(gx, gy + 1) * (1 - fx) + at(gx + 1, gy + 1) * fx;
                detail[static_cast<std::size_t>(y) * screen.width() + x] +=
                    amplitude * (top * (1 - fy) + bottom * fy);
            }
        }
    }
    for (int y = 0; y < screen.height(); ++y) {
        auto* row = reinterpret_cast<QRgb*>(screen.scanLine(y));
        for (int x = 0; x < screen.width(); ++x) {
            const int d =
                static_cast<int>(detail[static_cast<std::size_t>(y) * screen.width() + x]);
            const QRgb p = row[x];
            row[x] =
                qRgb(std::clamp(qRed(p) + d, 0, 255), std::clamp(qGreen(p) + 2 * d / 3, 0, 255),
                     std::clamp(qBlue(p) - d / 2, 0, 255));
        }
    }
    painter.begin(&screen);
    painter.fillRect(QRect(80, 80, 900, 880), QColor(250, 250, 250));
    painter.setPen(Qt::black);
    int y = 110;
    for (int size : {11, 12, 13, 14, 16, 20}) {
        painter.setFont(QFont(QStringLiteral("DejaVu Sans"), -1, -1));
        QFont font = painter.font();
        font.setPixelSize(size);
        painter.setFont(font);
        for (int line = 0; line < 6; ++line, y += size + 6)
            painter.drawText(100, y,
                             QStringLiteral("The quick brown fox jumps over the lazy dog "
                                            "0123456789 录制 暂停 继续 停止"));
    }
    return screen;
}

struct TPlanes {
    TPlanes(int width, int height)
        : Width(width), Height(height), Y(static_cast<std::size_t>(width) * height),
          U(static_cast<std::size_t>((width + 1) / 2) * ((height + 1) / 2)), V(U.size()) {}
    std::uint8_t* const* Data() {
        Pointers[0] = Y.data();
        Pointers[1] = U.data();
        Pointers[2] = V.data();
        return Pointers;
    }
    const int* Strides() {
        Pitches[0] = Width;
        Pitches[1] = Pitches[2] = (Width + 1) / 2;
        return Pitches;
    }
    int Width;
    int Height;
    std::vector<std::uint8_t> Y, U, V;
    std::uint8_t* Pointers[3]{};
    int Pitches[3]{};
};

// Mean SSIM over 8x8 windows stepped by 4 pixels, as the usual tools compute it.
double SsimOfLuma(const TPlanes& a, const TPlanes& b) {
    constexpr double c1 = (0.01 * 255) * (0.01 * 255);
    constexpr double c2 = (0.03 * 255) * (0.03 * 255);
    double total = 0;
    int windows = 0;
    for (int y = 0; y + 8 <= a.Height; y += 4) {
        for (int x = 0; x + 8 <= a.Width; x += 4) {
            double sa = 0, sb = 0, saa = 0, sbb = 0, sab = 0;
            for (int j = 0; j < 8; ++j) {
                for (int i = 0; i < 8; ++i) {
                    const std::size_t at = static_cast<std::size_t>(y + j) * a.Width + x + i;
                    const double pa = a.Y[at];
                    const double pb = b.Y[at];
                    sa += pa;
                    sb += pb;
                    saa += pa * pa;
                    sbb += pb * pb;
                    sab += pa * pb;
                }
            }
            const double ma = sa / 64, mb = sb / 64;
            const double va = saa / 64 - ma * ma, vb = sbb / 64 - mb * mb;
            const double cov = sab / 64 - ma * mb;
            total +=
                (2 * ma * mb + c1) * (2 * cov + c2) / ((ma * ma + mb * mb + c1) * (va + vb + c2));
            ++windows;
        }
    }
    return windows ? total / windows : 0;
}

double ThreadCpuMs() {
    timespec now{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
    return now.tv_sec * 1e3 + now.tv_nsec / 1e6;
}

using TScaleStep = std::function<bool(TPlanes&)>;

double CpuMsPerFrame(const TScaleStep& step, TPlanes& out, int rounds) {
    step(out); // contexts and buffers made outside the measurement
    const double start = ThreadCpuMs();
    for (int i = 0; i < rounds; ++i)
        step(out);
    return (ThreadCpuMs() - start) / rounds;
}

class TSwscale {
public:
    TSwscale(int flags) : FFlags(flags) {}
    ~TSwscale() { sws_freeContext(FContext); }
    bool operator()(const QImage& screen, TPlanes& out) {
        FContext = sws_getCachedContext(FContext, screen.width(), screen.height(), AV_PIX_FMT_BGR0,
                                        out.Width, out.Height, AV_PIX_FMT_YUV420P, FFlags, nullptr,
                                        nullptr, nullptr);
        const std::uint8_t* planes[1] = {screen.constBits()};
        const int strides[1] = {static_cast<int>(screen.bytesPerLine())};
        return sws_scale(FContext, planes, strides, 0, screen.height(), out.Data(),
                         out.Strides()) == out.Height;
    }

private:
    int FFlags;
    SwsContext* FContext = nullptr;
};

} // namespace

TEST(ScalingBench, TheEnginesScalerIsFasterAndAsFaithfulAsBicubic) {
    const QImage screen = TextAndPhotoScreen();
    const TSourceImage source{screen.constBits(), screen.width(), screen.height(),
                              screen.bytesPerLine(), TPixelLayout::Bgr0};
    const int rounds = qEnvironmentVariableIntValue("VARDOCLE_BENCH_ROUNDS") > 0
                           ? qEnvironmentVariableIntValue("VARDOCLE_BENCH_ROUNDS")
                           : 60;
    for (const auto& [width, height] : std::vector<std::pair<int, int>>{
             {1024, 768}, {1280, 720}, {800, 600}, {640, 480}, {1920, 1080}}) {
        TPlanes reference(width, height);
        TSwscale lanczos(SWS_LANCZOS | SWS_ACCURATE_RND | SWS_FULL_CHR_H_INT);
        ASSERT_TRUE(lanczos(screen, reference));

        std::vector<std::pair<const char*, TScaleStep>> paths;
        TSwscale bicubic(SWS_BICUBIC), area(SWS_AREA), bilinear(SWS_BILINEAR),
            fastBilinear(SWS_FAST_BILINEAR);
        paths.emplace_back("swscale bicubic (before)",
                           [&](TPlanes& out) { return bicubic(screen, out); });
        paths.emplace_back("swscale area", [&](TPlanes& out) { return area(screen, out); });
        paths.emplace_back("swscale bilinear", [&](TPlanes& out) { return bilinear(screen, out); });
        paths.emplace_back("swscale fast bilinear",
                           [&](TPlanes& out) { return fastBilinear(screen, out); });
        std::vector<std::uint8_t> scaled(static_cast<std::size_t>(width) * height * 4);
        auto yuvPath = [&](libyuv::FilterMode filter) {
            return [&, filter](TPlanes& out) {
                return libyuv::ARGBScale(screen.constBits(), screen.bytesPerLine(), screen.width(),
                                         screen.height(), scaled.data(), width * 4, width, height,
                                         filter) == 0 &&
                       libyuv::ARGBToI420(scaled.data(), width * 4, out.Y.data(), width,
                                          out.U.data(), (width + 1) / 2, out.V.data(),
                                          (width + 1) / 2, width, height) == 0;
            };
        };
        paths.emplace_back("libyuv bilinear + convert", yuvPath(libyuv::kFilterBilinear));
        TPlanes full(screen.width(), screen.height());
        auto convertFirst = [&] {
            return libyuv::ARGBToI420(screen.constBits(), screen.bytesPerLine(), full.Y.data(),
                                      full.Width, full.U.data(), full.Width / 2, full.V.data(),
                                      full.Width / 2, full.Width, full.Height) == 0;
        };
        auto planarYuv = [&](libyuv::FilterMode filter) {
            return [&, filter](TPlanes& out) {
                return convertFirst() &&
                       libyuv::I420Scale(full.Y.data(), full.Width, full.U.data(), full.Width / 2,
                                         full.V.data(), full.Width / 2, full.Width, full.Height,
                                         out.Y.data(), width, out.U.data(), (width + 1) / 2,
                                         out.V.data(), (width + 1) / 2, width, height, filter) == 0;
            };
        };
        paths.emplace_back("convert + libyuv planar box", planarYuv(libyuv::kFilterBox));
        paths.emplace_back("convert + libyuv planar bilinear", planarYuv(libyuv::kFilterBilinear));
        SwsContext* planarArea = nullptr;
        paths.emplace_back("convert + swscale planar area", [&](TPlanes& out) {
            planarArea = sws_getCachedContext(planarArea, full.Width, full.Height,
                                              AV_PIX_FMT_YUV420P, width, height, AV_PIX_FMT_YUV420P,
                                              SWS_AREA, nullptr, nullptr, nullptr);
            return convertFirst() && sws_scale(planarArea, full.Data(), full.Strides(), 0,
                                               full.Height, out.Data(), out.Strides()) == height;
        });
        TImageScaler engine;
        paths.emplace_back("engine (convert, planar bicubic)", [&](TPlanes& out) {
            return engine.Scale(source, width, height, AV_PIX_FMT_YUV420P, out.Data(),
                                out.Strides());
        });

        std::printf("\n%dx%d -> %dx%d, %d rounds\n%-32s %10s %8s %8s\n", screen.width(),
                    screen.height(), width, height, rounds, "path", "ms/frame", "ratio", "SSIM-Y");
        double beforeMs = 0, beforeSsim = 0, engineMs = 0, engineSsim = 0;
        for (auto& [name, step] : paths) {
            TPlanes out(width, height);
            const double ms = CpuMsPerFrame(step, out, rounds);
            ASSERT_TRUE(step(out)) << name;
            const double ssim = SsimOfLuma(out, reference);
            if (beforeMs == 0) {
                beforeMs = ms;
                beforeSsim = ssim;
            }
            engineMs = ms;
            engineSsim = ssim;
            std::printf("%-32s %10.3f %8.2f %8.4f\n", name, ms, ms / beforeMs, ssim);
        }
        // The engine's path is the last one printed.
        EXPECT_GE(engineSsim, beforeSsim - 0.001) << width << "x" << height;
        sws_freeContext(planarArea);
        std::printf("engine against bicubic: %.2fx the time, SSIM-Y %+.4f\n", engineMs / beforeMs,
                    engineSsim - beforeSsim);
    }
}

int main(int argc, char** argv) {
    // Fonts need a GUI application, but no screen.
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication application(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}

#include "skin/nxGDIPlusAPI.h"

#include <QImageReader>
#include <QImageWriter>
#include <QPaintDevice>
#include <QPainter>

namespace vardocle {

namespace {

bool QtCanDoPng() {
    return QImageReader::supportedImageFormats().contains("png") &&
           QImageWriter::supportedImageFormats().contains("png");
}

struct BindingState {
    bool Available = false;
    TImagingProbe Probe = &QtCanDoPng;
    QByteArray PngEncoder;
};

BindingState& State() {
    static BindingState state;
    return state;
}

std::unique_ptr<TnxUnitsLoader>& LoaderSlot() {
    static std::unique_ptr<TnxUnitsLoader> slot;
    return slot;
}

void MarkNotLoaded() {
    State().Available = false;
}

} // namespace

bool EnsureImagingLibrary() {
    BindingState& state = State();
    // A failed attempt is repeated on the next use.
    if (!state.Available)
        state.Available = state.Probe();
    return state.Available;
}

void UnloadImagingLibrary() {
    State().Available = false;
}

bool ImagingAvailable() {
    return State().Available;
}

void CheckStatus(TStatus status) {
    if (status != Ok)
        throw EImagingError();
}

bool FindEncoderClsid(const QString& mimeType, QByteArray& clsid) {
    if (!EnsureImagingLibrary())
        return false;
    for (const QByteArray& mime : QImageWriter::supportedMimeTypes()) {
        if (QString::fromLatin1(mime).compare(mimeType, Qt::CaseInsensitive) != 0)
            continue;
        const QList<QByteArray> formats = QImageWriter::imageFormatsForMimeType(mime);
        if (formats.isEmpty())
            continue;
        clsid = formats.first();
        return true;
    }
    return false;
}

QByteArray& PngEncoderClsid() {
    return State().PngEncoder;
}

bool IsVisibleRect(const QPainter& context, const QRect& rect) {
    if (!context.isActive() || rect.isEmpty())
        return false;
    const QPaintDevice* device = context.device();
    const QRect deviceRect(0, 0, device->width(), device->height());
    const QRect onDevice = context.transform().mapRect(rect);
    if (!deviceRect.intersects(onDevice))
        return false;
    return !context.hasClipping() || context.clipRegion().intersects(rect);
}

void SetImagingProbe(TImagingProbe probe) {
    State().Probe = probe != nullptr ? probe : &QtCanDoPng;
    State().Available = false;
}

TnxUnitsLoader& TnxUnitsLoader::Instance() {
    auto& slot = LoaderSlot();
    if (!slot)
        slot = std::make_unique<TnxUnitsLoader>();
    return *slot;
}

void TnxUnitsLoader::FreeLoader() {
    LoaderSlot().reset();
}

void TnxUnitsLoader::RegisterRoutines(TnxRoutine startRoutine, TnxRoutine stopRoutine) {
    if (startRoutine != nullptr)
        startRoutine();
    if (stopRoutine != nullptr)
        FStops.push_back(stopRoutine);
}

bool TnxUnitsLoader::WithdrawStop(TnxRoutine stopRoutine) {
    for (auto it = FStops.begin(); it != FStops.end(); ++it) {
        if (*it == stopRoutine) {
            FStops.erase(it);
            return true;
        }
    }
    return false;
}

TnxUnitsLoader::~TnxUnitsLoader() {
    while (!FStops.empty()) {
        TnxRoutine stop = FStops.back();
        FStops.pop_back();
        stop();
    }
}

void StartupImagingBinding() {
    TnxUnitsLoader::Instance().RegisterRoutines(&MarkNotLoaded, &UnloadImagingLibrary);
}

void ShutdownImagingBinding() {
    TnxUnitsLoader::FreeLoader();
}

} // namespace vardocle

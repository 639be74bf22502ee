#pragma once
// The PNG picture class's own binding to the imaging backend: whether the
// backend can decode and encode PNG, the encoder's identifier, turning failed
// calls into errors, and the start and stop routines of the imaging units.
#include "platform/base/Errors.h"
#include "skin/GDIPAPI.h"

#include <QByteArray>
#include <QString>

#include <memory>
#include <vector>

class QPainter;
class QRect;

namespace vardocle {

inline constexpr const char* kInvalidImagingOperation = "Invalid operation in GDI+";

// A failed call of the imaging backend.
class EImagingError : public Exception {
public:
    EImagingError() : Exception(kInvalidImagingOperation) {}
};

// Loads the backend if that has not succeeded yet; returns ImagingAvailable().
bool EnsureImagingLibrary();
// Stops the backend; it counts as unavailable afterwards.
void UnloadImagingLibrary();
bool ImagingAvailable();

// Raises EImagingError for any status but Ok.
void CheckStatus(TStatus status);

// The encoder for a MIME type (letter case ignored); false when there is none.
bool FindEncoderClsid(const QString& mimeType, QByteArray& clsid);
// The PNG encoder's identifier; empty until it was looked up.
QByteArray& PngEncoderClsid();

// Whether a destination rectangle can show anything through the painter
// (inside the device and the clip).
bool IsVisibleRect(const QPainter& context, const QRect& rect);

// What decides that the backend is usable. Replaceable so that a run without
// a PNG codec can be reproduced; nullptr restores the real check.
using TImagingProbe = bool (*)();
void SetImagingProbe(TImagingProbe probe);

// The start and stop routines of the imaging units. A start routine runs as
// soon as it is registered; stop routines run, last registered first, when
// the loader is freed, unless they were withdrawn (and then run) earlier.
using TnxRoutine = void (*)();

class TnxUnitsLoader {
public:
    // Made on first use.
    static TnxUnitsLoader& Instance();
    // Runs the remaining stop routines and forgets the loader.
    static void FreeLoader();

    void RegisterRoutines(TnxRoutine startRoutine, TnxRoutine stopRoutine);
    // Removes a stop routine without running it; true when it was registered.
    bool WithdrawStop(TnxRoutine stopRoutine);
    std::size_t StopCount() const { return FStops.size(); }

    TnxUnitsLoader() = default; // use Instance()
    ~TnxUnitsLoader();
    TnxUnitsLoader(const TnxUnitsLoader&) = delete;
    TnxUnitsLoader& operator=(const TnxUnitsLoader&) = delete;

private:
    std::vector<TnxRoutine> FStops;
};

// The binding unit's own start and end: registers (start) "not loaded" and
// (stop) UnloadImagingLibrary; ending frees the loader.
void StartupImagingBinding();
void ShutdownImagingBinding();

} // namespace vardocle

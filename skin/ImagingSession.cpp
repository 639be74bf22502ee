#include "skin/ImagingSession.h"

#include "skin/GDIPOBJ.h"
#include "skin/nxGDIPlusAPI.h"
#include "skin/nxGDIPlusClasses.h"

namespace vardocle {

TImagingSession::TImagingSession() {
    StartupImagingLayer();
    StartupImagingBinding();
    StartupPngImageUnit();
}

TImagingSession::~TImagingSession() {
    ShutdownPngImageUnit();
    ShutdownImagingBinding();
    ShutdownImagingLayer();
}

} // namespace vardocle

#pragma once
// Starts the imaging units in their order (object layer, PNG binding, PNG
// picture class, which registers the "TnxPNGImage" picture format) and stops
// them in the opposite order. The program holds one for its whole run,
// created after the application object and destroyed after the windows.
namespace vardocle {

class TImagingSession {
public:
    TImagingSession();
    ~TImagingSession();
    TImagingSession(const TImagingSession&) = delete;
    TImagingSession& operator=(const TImagingSession&) = delete;
};

} // namespace vardocle

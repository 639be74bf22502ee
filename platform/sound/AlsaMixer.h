#pragma once
// The inputs of a capture device: the simple-mixer elements that have a
// capture switch. Switching an input never touches its volume.
#include <alsa/asoundlib.h>

#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace vardocle {

class TAlsaMixer {
public:
    // Empty when the control device has no mixer that can be loaded.
    static std::unique_ptr<TAlsaMixer> Open(const std::string& ControlName);
    ~TAlsaMixer();
    TAlsaMixer(const TAlsaMixer&) = delete;
    TAlsaMixer& operator=(const TAlsaMixer&) = delete;

    int Count() const { return static_cast<int>(FInputs.size()); }
    std::string Name(int Input) const;
    // Nothing for a bad index.
    std::optional<bool> IsOn(int Input);
    std::optional<float> Volume(int Input);
    bool SetOn(int Input, bool On);
    bool SetVolume(int Input, float Volume);

private:
    explicit TAlsaMixer(snd_mixer_t* Mixer);
    snd_mixer_elem_t* Element(int Input) const;

    snd_mixer_t* FMixer;
    std::vector<snd_mixer_elem_t*> FInputs;
};

} // namespace vardocle

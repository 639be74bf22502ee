#include "platform/sound/AlsaMixer.h"

#include <cmath>

namespace vardocle {

std::unique_ptr<TAlsaMixer> TAlsaMixer::Open(const std::string& ControlName) {
    snd_mixer_t* mixer = nullptr;
    if (snd_mixer_open(&mixer, 0) < 0)
        return nullptr;
    if (snd_mixer_attach(mixer, ControlName.c_str()) < 0 ||
        snd_mixer_selem_register(mixer, nullptr, nullptr) < 0 || snd_mixer_load(mixer) < 0) {
        snd_mixer_close(mixer);
        return nullptr;
    }
    return std::unique_ptr<TAlsaMixer>(new TAlsaMixer(mixer)); // NOLINT: private constructor
}

TAlsaMixer::TAlsaMixer(snd_mixer_t* Mixer) : FMixer(Mixer) {
    for (snd_mixer_elem_t* elem = snd_mixer_first_elem(FMixer); elem != nullptr;
         elem = snd_mixer_elem_next(elem)) {
        if (snd_mixer_selem_is_active(elem) && snd_mixer_selem_has_capture_switch(elem))
            FInputs.push_back(elem);
    }
}

TAlsaMixer::~TAlsaMixer() {
    snd_mixer_close(FMixer);
}

snd_mixer_elem_t* TAlsaMixer::Element(int Input) const {
    if (Input < 0 || Input >= Count())
        return nullptr;
    // Another program may have changed a switch since the last look.
    snd_mixer_handle_events(FMixer);
    return FInputs[static_cast<std::size_t>(Input)];
}

std::string TAlsaMixer::Name(int Input) const {
    snd_mixer_elem_t* elem = Element(Input);
    if (elem == nullptr)
        return {};
    std::string name = snd_mixer_selem_get_name(elem);
    if (const unsigned index = snd_mixer_selem_get_index(elem); index > 0)
        name += " " + std::to_string(index);
    return name;
}

std::optional<bool> TAlsaMixer::IsOn(int Input) {
    snd_mixer_elem_t* elem = Element(Input);
    if (elem == nullptr)
        return std::nullopt;
    // On when any of its channels records.
    for (int ch = 0; ch <= SND_MIXER_SCHN_LAST; ++ch) {
        const auto channel = static_cast<snd_mixer_selem_channel_id_t>(ch);
        if (!snd_mixer_selem_has_capture_channel(elem, channel))
            continue;
        int value = 0;
        if (snd_mixer_selem_get_capture_switch(elem, channel, &value) == 0 && value != 0)
            return true;
    }
    return false;
}

std::optional<float> TAlsaMixer::Volume(int Input) {
    snd_mixer_elem_t* elem = Element(Input);
    if (elem == nullptr)
        return std::nullopt;
    long low = 0;
    long high = 0;
    long value = 0;
    if (!snd_mixer_selem_has_capture_volume(elem) ||
        snd_mixer_selem_get_capture_volume_range(elem, &low, &high) < 0 || high <= low ||
        snd_mixer_selem_get_capture_volume(elem, SND_MIXER_SCHN_FRONT_LEFT, &value) < 0)
        return 1.0F;
    return static_cast<float>(value - low) / static_cast<float>(high - low);
}

bool TAlsaMixer::SetOn(int Input, bool On) {
    snd_mixer_elem_t* elem = Element(Input);
    return elem != nullptr && snd_mixer_selem_set_capture_switch_all(elem, On ? 1 : 0) == 0;
}

bool TAlsaMixer::SetVolume(int Input, float Volume) {
    snd_mixer_elem_t* elem = Element(Input);
    if (elem == nullptr)
        return false;
    long low = 0;
    long high = 0;
    if (!snd_mixer_selem_has_capture_volume(elem) ||
        snd_mixer_selem_get_capture_volume_range(elem, &low, &high) < 0)
        return true; // nothing to set
    const float clamped = Volume < 0.0F ? 0.0F : (Volume > 1.0F ? 1.0F : Volume);
    const long value = low + std::lround(static_cast<float>(high - low) * clamped);
    return snd_mixer_selem_set_capture_volume_all(elem, value) == 0;
}

} // namespace vardocle

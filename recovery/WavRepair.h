#pragma once
// The sound file of a recording that was cut off carries the sizes its
// header was started with (36 and 0); its length tells the real ones. Plain
// and RF64 files are read alike; a repaired file is RF64 only where its sound
// outgrows the plain header's 4 GiB.
#include <cstdint>
#include <string>

namespace vardocle {

struct TWavInspection {
    bool Readable = false; // a PCM WAV file whose sound can be found
    std::string Problem;   // why not (English), when not
    // Empty, or cut inside its header: the recorder was killed before any
    // sound reached the disk.
    bool NoSound = false;
    std::uint16_t Channels = 0;
    std::uint32_t SampleRate = 0;
    std::uint16_t BlockAlign = 0;
    std::uint16_t BitsPerSample = 0;
    std::int64_t DataOffset = 0;     // where the data chunk's samples begin
    std::int64_t DataBytes = 0;      // whole sample frames present, moved ones included
    std::int64_t CutBytes = 0;       // a sample frame cut in half at the end
    std::int64_t HeaderDataSize = 0; // as the header says
    // The first frames of an RF64 file, kept behind its data (see WavLayout).
    std::int64_t MovedOffset = -1;
    std::int64_t MovedBytes = 0;
    // The header's two sizes describe the file and no half frame follows.
    bool HeaderComplete = false;

    double Seconds() const {
        return SampleRate > 0 && BlockAlign > 0
                   ? static_cast<double>(DataBytes / BlockAlign) / SampleRate
                   : 0.0;
    }
};

TWavInspection InspectWav(const std::string& Path);

// Writes the file again beside itself with the sizes of its whole frames,
// followed by SilenceFrames frames of silence, and puts it in its place.
// False with the reason (English); the file is then as it was.
// The same, written to OutputPath, which the caller removes or keeps; the
// file at Path is not changed.
bool WriteRepairedWav(const std::string& Path, const TWavInspection& Inspection,
                      const std::string& OutputPath, std::string& Error,
                      std::int64_t SilenceFrames = 0);

bool RepairWav(const std::string& Path, const TWavInspection& Inspection, std::string& Error,
               std::int64_t SilenceFrames = 0);

} // namespace vardocle

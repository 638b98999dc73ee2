// The sound card's mixer: volume and mute of its named controls ("Master", "PCM", "Line"...).
// Volumes are 0..65535 whatever the card's own range is.
#pragma once

#include <memory>
#include <string>
#include <vector>

namespace plat {

class Mixer {
public:
    virtual ~Mixer() = default;
    // Controls with a playback volume or a playback switch, in the card's order.
    virtual std::vector<std::string> Controls() = 0;
    virtual bool HasControl(const std::string& name) = 0;
    // Mono controls report and take the left value.
    virtual bool IsMono(const std::string& name) = 0;
    virtual bool GetVolume(const std::string& name, unsigned& left, unsigned& right) = 0;
    virtual bool SetVolume(const std::string& name, unsigned left, unsigned right) = 0;
    virtual bool GetMute(const std::string& name, bool& muted) = 0;
    virtual bool SetMute(const std::string& name, bool muted) = 0;
};

// The ALSA mixer of `device` ("default", "hw:0", "pulse"). Null when there is no sound card
// or no mixer behind the name; `error` then says why.
std::unique_ptr<Mixer> OpenAlsaMixer(const std::string& device, std::string* error = nullptr);

// Sound cards the kernel knows.
int SoundCardCount();

}  // namespace plat

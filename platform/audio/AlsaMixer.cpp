#include <alsa/asoundlib.h>

#include <algorithm>
#include <cstdarg>

#include "platform/audio/Mixer.h"

namespace plat {

namespace {

// ALSA prints its own complaints to stderr (a missing card every start); callers log what
// matters through the error text instead.
void QuietAlsa(const char*, int, const char*, int, const char*, ...) {}

struct MixerCloser {
    void operator()(snd_mixer_t* m) const { snd_mixer_close(m); }
};

class AlsaMixer final : public Mixer {
public:
    explicit AlsaMixer(snd_mixer_t* mixer) : m_mixer(mixer) {}

    std::vector<std::string> Controls() override {
        std::vector<std::string> out;
        for (snd_mixer_elem_t* e = snd_mixer_first_elem(m_mixer.get()); e;
             e = snd_mixer_elem_next(e)) {
            if (!snd_mixer_selem_is_active(e))
                continue;
            if (snd_mixer_selem_has_playback_volume(e) || snd_mixer_selem_has_playback_switch(e))
                out.push_back(snd_mixer_selem_get_name(e));
        }
        return out;
    }

    bool HasControl(const std::string& name) override { return Find(name) != nullptr; }

    bool IsMono(const std::string& name) override {
        snd_mixer_elem_t* e = Find(name);
        return e && snd_mixer_selem_is_playback_mono(e);
    }

    bool GetVolume(const std::string& name, unsigned& left, unsigned& right) override {
        snd_mixer_elem_t* e = Find(name);
        long lo, hi;
        if (!e || !snd_mixer_selem_has_playback_volume(e) ||
            snd_mixer_selem_get_playback_volume_range(e, &lo, &hi) < 0 || hi <= lo)
            return false;
        long l, r;
        bool mono = snd_mixer_selem_is_playback_mono(e);
        if (snd_mixer_selem_get_playback_volume(
                e, mono ? SND_MIXER_SCHN_MONO : SND_MIXER_SCHN_FRONT_LEFT, &l) < 0)
            return false;
        if (mono || snd_mixer_selem_get_playback_volume(e, SND_MIXER_SCHN_FRONT_RIGHT, &r) < 0)
            r = l;
        left = ToScale(l, lo, hi);
        right = ToScale(r, lo, hi);
        return true;
    }

    bool SetVolume(const std::string& name, unsigned left, unsigned right) override {
        snd_mixer_elem_t* e = Find(name);
        long lo, hi;
        if (!e || !snd_mixer_selem_has_playback_volume(e) ||
            snd_mixer_selem_get_playback_volume_range(e, &lo, &hi) < 0 || hi <= lo)
            return false;
        if (snd_mixer_selem_is_playback_mono(e))
            return snd_mixer_selem_set_playback_volume(e, SND_MIXER_SCHN_MONO,
                                                       FromScale(left, lo, hi)) >= 0;
        bool ok = snd_mixer_selem_set_playback_volume(e, SND_MIXER_SCHN_FRONT_LEFT,
                                                      FromScale(left, lo, hi)) >= 0;
        ok = snd_mixer_selem_set_playback_volume(e, SND_MIXER_SCHN_FRONT_RIGHT,
                                                 FromScale(right, lo, hi)) >= 0 &&
             ok;
        return ok;
    }

    bool GetMute(const std::string& name, bool& muted) override {
        snd_mixer_elem_t* e = Find(name);
        int on;
        if (!e || !snd_mixer_selem_has_playback_switch(e) ||
            snd_mixer_selem_get_playback_switch(e, SND_MIXER_SCHN_FRONT_LEFT, &on) < 0)
            return false;
        muted = on == 0;
        return true;
    }

    bool SetMute(const std::string& name, bool muted) override {
        snd_mixer_elem_t* e = Find(name);
        // The switch says "sound on": muting turns it off.
        return e && snd_mixer_selem_has_playback_switch(e) &&
               snd_mixer_selem_set_playback_switch_all(e, muted ? 0 : 1) >= 0;
    }

private:
    snd_mixer_elem_t* Find(const std::string& name) {
        // Another program may have changed the card; take its values first.
        snd_mixer_handle_events(m_mixer.get());
        snd_mixer_selem_id_t* id;
        snd_mixer_selem_id_alloca(&id);
        snd_mixer_selem_id_set_index(id, 0);
        snd_mixer_selem_id_set_name(id, name.c_str());
        return snd_mixer_find_selem(m_mixer.get(), id);
    }

    static unsigned ToScale(long v, long lo, long hi) {
        long long range = static_cast<long long>(hi) - lo;
        long long s = ((static_cast<long long>(v) - lo) * 65535 + range / 2) / range;
        return static_cast<unsigned>(std::clamp<long long>(s, 0, 65535));
    }

    static long FromScale(unsigned v, long lo, long hi) {
        long long range = static_cast<long long>(hi) - lo;
        long long s = std::min<unsigned>(v, 65535);
        return static_cast<long>(lo + (s * range + 32767) / 65535);
    }

    std::unique_ptr<snd_mixer_t, MixerCloser> m_mixer;
};

void InstallQuietHandler() {
    static bool done = [] {
        snd_lib_error_set_handler(&QuietAlsa);
        return true;
    }();
    (void)done;
}

}  // namespace

std::unique_ptr<Mixer> OpenAlsaMixer(const std::string& device, std::string* error) {
    InstallQuietHandler();
    auto fail = [&](const char* what, int err) -> std::unique_ptr<Mixer> {
        if (error)
            *error = std::string(what) + " " + device + ": " + snd_strerror(err);
        return nullptr;
    };
    snd_mixer_t* raw = nullptr;
    int err = snd_mixer_open(&raw, 0);
    if (err < 0)
        return fail("mixer", err);
    std::unique_ptr<snd_mixer_t, MixerCloser> mixer(raw);
    if ((err = snd_mixer_attach(raw, device.c_str())) < 0)
        return fail("attach", err);
    if ((err = snd_mixer_selem_register(raw, nullptr, nullptr)) < 0)
        return fail("register", err);
    if ((err = snd_mixer_load(raw)) < 0)
        return fail("load", err);
    return std::make_unique<AlsaMixer>(mixer.release());
}

int SoundCardCount() {
    InstallQuietHandler();
    int count = 0;
    int card = -1;
    while (snd_card_next(&card) == 0 && card >= 0)
        ++count;
    return count;
}

}  // namespace plat

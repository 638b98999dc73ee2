#include "core/kernel/SysSettings.h"

#include <algorithm>
#include <cstring>
#include <string_view>

#include "platform/io/Binary.h"
#include "platform/text/Text.h"

namespace {

// One field list drives both directions, so that reading and writing cannot drift apart.
template <class Io, class S>
void VisitSettings(Io& io, S& s) {
    io.Int(s.iCurrentApp);
    io.Byte(s.byCurrentSource);
    io.Pad(3);
    io.Int(s.iAudioLevel);
    io.Int(s.iMusicRepeatMode);
    io.Int(s.iPhotoSpeedMode);
    io.Byte(s.byPhotoResume);
    io.Pad(3);
    io.Int(s.iRadioBand);
    for (auto& v : s.iAMChannel)
        io.Int(v);
    for (auto& v : s.iFMChannel)
        io.Int(v);
    io.Int(s.iMediaType);
    io.Text(s.szCurrentMusic);
    io.Int(s.iCurrentTrackId);
    io.Text(s.szCurrentPlaylist);
    io.Text(s.szCurrentMovie);
    io.Int(s.iBrightness);
    io.Int(s.iBrightnessNight);
    io.Int(s.iBrightnessDay);
    io.Int(s.iContrast);
    io.Int(s.iContrastNight);
    io.Int(s.iContrastDay);
    for (auto& v : s.iRGB)
        io.Int(v);
    io.Int(s.iSaturation);
    io.Int(s.iSaturationNight);
    io.Int(s.iSaturationDay);
    io.Int(s.iBacklight);
    io.Int(s.iBacklightNight);
    io.Int(s.iBacklightDay);
    io.Int(s.iEQSelect);
    for (auto& row : s.iEQPreset)
        for (auto& v : row)
            io.Int(v);
    io.Int(s.iSpeakerSelect);
    for (auto& row : s.iSpeakerPreset)
        for (auto& v : row)
            io.Int(v);
    io.Int(s.iLoudness);
    io.Int(s.i51Priority);
    io.Int(s.iLanguage);
    io.Int(s.iDelayOn);
    io.Int(s.iDelayOff);
    io.Int(s.iAccHold);
    io.Int(s.iReserved);
    io.Int64(s.llMoviePosition);
    io.Byte(s.byMediaSeat);
    io.Pad(1);
    io.Char(s.chDrive);
    io.UInt(s.dwAppStatus);
    io.Text(s.szPicturePath);
    for (auto& text : s.szInternet)
        io.Text(text);
    io.Byte(s.byMixerCheck);
    io.Pad(3);
    io.Int(s.iShowCursor);
    io.Int(s.iLog);
    for (auto& v : s.byReserved)
        io.Byte(v);
}

struct Reader {
    plat::BinReader& r;
    void Int(int32_t& v) { v = r.I32(); }
    void UInt(uint32_t& v) { v = r.U32(); }
    void Int64(int64_t& v) { v = r.I64(); }
    void Byte(uint8_t& v) { v = r.U8(); }
    void Char(char16_t& v) { v = static_cast<char16_t>(r.U16()); }
    void Pad(size_t n) { r.Skip(n); }
    template <size_t N>
    void Text(char16_t (&v)[N]) {
        r.Str16(v, N);
    }
};

struct Writer {
    plat::BinWriter& w;
    void Int(int32_t v) { w.I32(v); }
    void UInt(uint32_t v) { w.U32(v); }
    void Int64(int64_t v) { w.I64(v); }
    void Byte(uint8_t v) { w.U8(v); }
    void Char(char16_t v) { w.U16(v); }
    void Pad(size_t n) { w.Zeros(n); }
    template <size_t N>
    void Text(const char16_t (&v)[N]) {
        w.Str16(v, N);
    }
};

void Clamp(int32_t& v, int32_t lo, int32_t hi) {
    v = std::min(std::max(v, lo), hi);
}

// A radio band or preset out of range means nothing near it: the first one is taken.
void FirstIfOutside(int32_t& v, int32_t lo, int32_t hi) {
    if (v < lo || v > hi)
        v = lo;
}

template <size_t N>
void Terminate(char16_t (&text)[N]) {
    text[N - 1] = 0;
}

bool IsBlank(char16_t c) {
    return c == u' ' || c == u'\t';
}

bool IsLineEnd(char16_t c) {
    return c == u'\r' || c == u'\n';
}

std::u16string_view TrimBlanks(std::u16string_view s) {
    while (!s.empty() && IsBlank(s.front()))
        s.remove_prefix(1);
    while (!s.empty() && IsBlank(s.back()))
        s.remove_suffix(1);
    return s;
}

}  // namespace

bool ReadSettingsBlock(const uint8_t* data, size_t size, SYS_SETTINGS& out) {
    if (!data || size != SYS_SETTINGS_SIZE)
        return false;
    SYS_SETTINGS s{};
    plat::BinReader r(data, size);
    Reader reader{r};
    VisitSettings(reader, s);
    if (!r.Ok() || !r.AtEnd())
        return false;
    SanitizeSettings(s);
    out = s;
    return true;
}

std::vector<uint8_t> WriteSettingsBlock(const SYS_SETTINGS& s) {
    plat::BinWriter w;
    Writer writer{w};
    VisitSettings(writer, s);
    return std::move(w.Data());
}

void SanitizeSettings(SYS_SETTINGS& s) {
    Terminate(s.szCurrentMusic);
    Terminate(s.szCurrentPlaylist);
    Terminate(s.szCurrentMovie);
    Terminate(s.szPicturePath);
    for (auto& text : s.szInternet)
        Terminate(text);

    Clamp(s.iCurrentApp, 0, SYS_APPTYPE_COUNT - 1);
    Clamp(s.iAudioLevel, 0, SYS_VOLUME_MAX);
    Clamp(s.iLanguage, 0, SYS_LANGUAGE_COUNT - 1);
    Clamp(s.iMusicRepeatMode, 0, 3);
    Clamp(s.iPhotoSpeedMode, 0, 3);
    FirstIfOutside(s.iRadioBand, 0, 4);  // FM1, FM2, FM3, AM1, AM2
    for (auto& v : s.iAMChannel)
        FirstIfOutside(v, 0, 8);  // nine presets per band
    for (auto& v : s.iFMChannel)
        FirstIfOutside(v, 0, 8);
    for (int32_t* v : {&s.iBrightness, &s.iBrightnessNight, &s.iBrightnessDay, &s.iContrast,
                       &s.iContrastNight, &s.iContrastDay, &s.iSaturation, &s.iSaturationNight,
                       &s.iSaturationDay, &s.iBacklight, &s.iBacklightNight, &s.iBacklightDay})
        Clamp(*v, 0, SYS_LEVEL_MAX);
    Clamp(s.iEQSelect, 0, SYS_EQ_PRESETS - 1);
    for (auto& row : s.iEQPreset)
        for (auto& v : row)
            Clamp(v, -SYS_EQ_GAIN_MAX, SYS_EQ_GAIN_MAX);
    Clamp(s.iSpeakerSelect, 0, SYS_SPEAKER_PRESETS - 1);
    for (auto& row : s.iSpeakerPreset) {
        Clamp(row[SPEAKER_FADER], -SYS_FADER_MAX, SYS_FADER_MAX);
        Clamp(row[SPEAKER_BALANCE], -SYS_FADER_MAX, SYS_FADER_MAX);
    }
    Clamp(s.iLoudness, 0, 1);
    Clamp(s.i51Priority, 0, 1);
}

int ReadSysIni(const char16_t* section, const char16_t* text, size_t length, const char16_t* key,
               char16_t* out) {
    if (!section || !text || !key || !out)
        return 1;
    const std::u16string_view all(text, plat::StrLenN(text, length));
    const std::u16string_view keyView(key);
    std::u16string header = u"[";
    header += section;
    header += u"]";

    bool inSection = false;
    size_t pos = 0;
    while (pos < all.size()) {
        size_t end = pos;
        while (end < all.size() && !IsLineEnd(all[end]))
            ++end;
        std::u16string_view row = all.substr(pos, end - pos);
        pos = end + 1;
        while (!row.empty() && IsBlank(row.front()))
            row.remove_prefix(1);
        if (!inSection) {
            // The section is its own "[name]" row, not the first place its name appears.
            inSection = TrimBlanks(row) == header;
            continue;
        }
        if (row.empty() || row.front() == u';')
            continue;
        if (row.front() == u'[')
            break;  // the next section
        row = row.substr(0, SYS_PATH_CHARS - 1);
        size_t eq = row.find(u'=');
        if (eq == std::u16string_view::npos)
            continue;
        std::u16string_view name = row.substr(0, eq);
        while (!name.empty() && (IsBlank(name.back()) || name.back() == u'='))
            name.remove_suffix(1);
        if (name != keyView)
            continue;
        std::u16string_view value = row.substr(eq);
        while (!value.empty() && (value.front() == u'=' || IsBlank(value.front())))
            value.remove_prefix(1);
        size_t semicolon = value.find(u';');
        if (semicolon != std::u16string_view::npos)
            value = value.substr(0, semicolon);
        while (!value.empty() && (IsBlank(value.back()) || IsLineEnd(value.back())))
            value.remove_suffix(1);
        std::memset(out, 0, SYS_PATH_CHARS * sizeof(char16_t));
        plat::StrCopy(out, SYS_PATH_CHARS, value);
        return 0;
    }
    return 1;
}

namespace {

enum class Kind { Int, Byte, Text, List, Drive };

struct IniField {
    const char16_t* section;
    const char16_t* key;
    Kind kind;
    void* target;
    size_t count;  // numbers of a list
};

// Fills a list of numbers written as "3, 0, -2"; missing numbers stay 0.
void ParseList(const char16_t* value, int32_t* out, size_t count) {
    const char16_t* p = value;
    for (size_t i = 0; i < count && p; ++i) {
        out[i] = plat::StrToInt(p);
        p = plat::StrChr(p, u',');
        if (p)
            ++p;
    }
}

}  // namespace

int SettingsFromIni(const char16_t* text, size_t length, SYS_SETTINGS& s) {
    std::memset(&s, 0, sizeof s);
    const char16_t* sys = u"SYSTEM SETTING";
    const char16_t* disp = u"DISPLAY SETTING";
    const char16_t* eq = u"EQ Settings";
    const char16_t* spk = u"SPEAKER Settings";
    const char16_t* net = u"INTERNET SERVICE";
    const char16_t* pm = u"POWER MODULE";
    const IniField fields[] = {
        {sys, u"current application", Kind::Int, &s.iCurrentApp, 0},
        {sys, u"current source", Kind::Byte, &s.byCurrentSource, 0},
        {sys, u"audio level", Kind::Int, &s.iAudioLevel, 0},
        {sys, u"current music repeat mode", Kind::Int, &s.iMusicRepeatMode, 0},
        {sys, u"current photo speed mode", Kind::Int, &s.iPhotoSpeedMode, 0},
        {sys, u"current radio band", Kind::Int, &s.iRadioBand, 0},
        {sys, u"current AM1 channel", Kind::Int, &s.iAMChannel[0], 0},
        {sys, u"current AM2 channel", Kind::Int, &s.iAMChannel[1], 0},
        {sys, u"current FM1 channel", Kind::Int, &s.iFMChannel[0], 0},
        {sys, u"current FM2 channel", Kind::Int, &s.iFMChannel[1], 0},
        {sys, u"current FM3 channel", Kind::Int, &s.iFMChannel[2], 0},
        {sys, u"current media type", Kind::Int, &s.iMediaType, 0},
        {sys, u"current music", Kind::Text, s.szCurrentMusic, 0},
        {sys, u"current track id", Kind::Int, &s.iCurrentTrackId, 0},
        {sys, u"current playlist", Kind::Text, s.szCurrentPlaylist, 0},
        {sys, u"current movie", Kind::Text, s.szCurrentMovie, 0},
        {disp, u"Brightness", Kind::Int, &s.iBrightness, 0},
        {disp, u"BrightnessNight", Kind::Int, &s.iBrightnessNight, 0},
        {disp, u"BrightnessDay", Kind::Int, &s.iBrightnessDay, 0},
        {disp, u"Contrast", Kind::Int, &s.iContrast, 0},
        {disp, u"ContrastNight", Kind::Int, &s.iContrastNight, 0},
        {disp, u"ContrastDay", Kind::Int, &s.iContrastDay, 0},
        {disp, u"RGB", Kind::List, s.iRGB, 3},
        {disp, u"Saturation", Kind::Int, &s.iSaturation, 0},
        {disp, u"SaturationNight", Kind::Int, &s.iSaturationNight, 0},
        {disp, u"SaturationDay", Kind::Int, &s.iSaturationDay, 0},
        {disp, u"Backlight", Kind::Int, &s.iBacklight, 0},
        {disp, u"BacklightNight", Kind::Int, &s.iBacklightNight, 0},
        {disp, u"BacklightDay", Kind::Int, &s.iBacklightDay, 0},
        {eq, u"Cur Select", Kind::Int, &s.iEQSelect, 0},
        {eq, u"Flat", Kind::List, s.iEQPreset[EQ_FLAT], SYS_EQ_BANDS},
        {eq, u"Jazz", Kind::List, s.iEQPreset[EQ_JAZZ], SYS_EQ_BANDS},
        {eq, u"POP", Kind::List, s.iEQPreset[EQ_POP], SYS_EQ_BANDS},
        {eq, u"Bass", Kind::List, s.iEQPreset[EQ_BASS], SYS_EQ_BANDS},
        {eq, u"Rock", Kind::List, s.iEQPreset[EQ_ROCK], SYS_EQ_BANDS},
        {eq, u"Custom 1", Kind::List, s.iEQPreset[EQ_CUSTOM1], SYS_EQ_BANDS},
        {eq, u"Custom 2", Kind::List, s.iEQPreset[EQ_CUSTOM2], SYS_EQ_BANDS},
        {eq, u"Custom 3", Kind::List, s.iEQPreset[EQ_CUSTOM3], SYS_EQ_BANDS},
        {spk, u"Cur Select", Kind::Int, &s.iSpeakerSelect, 0},
        {spk, u"Normal", Kind::List, s.iSpeakerPreset[SPEAKER_NORMAL], SYS_SPEAKER_VALUES},
        {spk, u"Driver", Kind::List, s.iSpeakerPreset[SPEAKER_DRIVER], SYS_SPEAKER_VALUES},
        {spk, u"Front", Kind::List, s.iSpeakerPreset[SPEAKER_FRONT], SYS_SPEAKER_VALUES},
        {spk, u"Rear", Kind::List, s.iSpeakerPreset[SPEAKER_REAR], SYS_SPEAKER_VALUES},
        {u"LOUDNESS Settings", u"Cur Select", Kind::Int, &s.iLoudness, 0},
        {u"51 PRIORITY", u"Cur Select", Kind::Int, &s.i51Priority, 0},
        {u"LANGUAGE", u"Cur Select", Kind::Int, &s.iLanguage, 0},
        {pm, u"Delay On", Kind::Int, &s.iDelayOn, 0},
        {pm, u"Delay Off", Kind::Int, &s.iDelayOff, 0},
        {pm, u"ACC Hold", Kind::Int, &s.iAccHold, 0},
        {sys, u"drive", Kind::Drive, &s.chDrive, 0},
        {net, u"Traffic", Kind::Text, s.szInternet[INTERNET_TRAFFIC], 0},
        {net, u"Weather", Kind::Text, s.szInternet[INTERNET_WEATHER], 0},
        {net, u"Radio", Kind::Text, s.szInternet[INTERNET_RADIO], 0},
        {net, u"TV", Kind::Text, s.szInternet[INTERNET_TV], 0},
        {net, u"Youtube", Kind::Text, s.szInternet[INTERNET_YOUTUBE], 0},
        {net, u"Favorite1", Kind::Text, s.szInternet[INTERNET_FAVORITE1], 0},
        {sys, u"mixer check", Kind::Byte, &s.byMixerCheck, 0},
        {u"TEST", u"Show Cursor", Kind::Int, &s.iShowCursor, 0},
        {u"TEST", u"Log", Kind::Int, &s.iLog, 0},
    };

    int missing = 0;
    char16_t value[SYS_PATH_CHARS];
    for (const IniField& f : fields) {
        if (ReadSysIni(f.section, text, length, f.key, value) != 0) {
            ++missing;
            continue;
        }
        switch (f.kind) {
            case Kind::Int:
                *static_cast<int32_t*>(f.target) = plat::StrToInt(value);
                break;
            case Kind::Byte:
                *static_cast<uint8_t*>(f.target) = static_cast<uint8_t>(plat::StrToInt(value));
                break;
            case Kind::Text:
                plat::StrCopy(static_cast<char16_t*>(f.target), SYS_PATH_CHARS, value);
                break;
            case Kind::List:
                ParseList(value, static_cast<int32_t*>(f.target), f.count);
                break;
            case Kind::Drive:
                // The value is written as "D" with its quotes: the letter is its second character.
                *static_cast<char16_t*>(f.target) = value[0] ? value[1] : 0;
                break;
        }
    }
    SanitizeSettings(s);
    return missing;
}

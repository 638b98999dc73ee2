// The PC's own sound card beside the board's audio processor: which input line is heard, the
// master volume, balance and fader. CMSAudio drives the sound card's mixer; CFWAudio stands
// in when the volume goes through the board. The holder owns one of each for the process.
#pragma once

#include <memory>
#include <string>

namespace plat {
class Mixer;
}

class IHWAudio {
public:
    virtual ~IHWAudio() = default;

    // Refresh false: the level only. True: also the master's channels at `scale`.
    virtual int GetVol(int* left, int* right, bool refresh, int scale) = 0;
    virtual int GetCachedVol() = 0;
    // Selects the remembered source again (another program may have changed the card).
    virtual void Reapply() = 0;
    virtual void Init() = 0;
    virtual void Release() = 0;
    // Source 0 is the PC's own sound; 8..12 the board's lines (8 radio, 11 AUX2, 12 AUX).
    // keep12 leaves line 12 audible whatever the source.
    virtual void SelectSource(int source, bool keep12) = 0;
    virtual void SetMasterMute(bool mute) = 0;
    virtual void MuteWaveOut(bool mute) = 0;
    virtual void MuteSource8(bool mute) = 0;
    virtual void MuteSource9(bool mute) = 0;
    virtual void MuteSource12(bool mute) = 0;
    virtual void MuteSource11(bool mute) = 0;
    virtual void MuteSource10(bool mute) = 0;
    virtual void SetVolume(int level, int scale) = 0;
    virtual void SetFader(int value, int scale) = 0;
    virtual void SetBalance(int value, int scale) = 0;

protected:
    int m_bMute = 0;
    int m_iLevel = 0;
    int m_iBalanceScale = 16;
    int m_iBalance = 0;
    int m_iFaderScale = 16;
    int m_iFader = 0;
};

// Names of the sound card's controls behind the mixer lines. Which physical input each board
// line is depends on the card; these are the usual names of an on-board codec, which a unit's
// names file (MIXER_NAMES_FILE in the base folder) replaces one by one.
struct MixerLineNames {
    std::string card = "default";  // the ALSA mixer device
    std::string master = "Master";
    std::string waveOut = "PCM";
    // Lines 0..12 by number; empty = the card has no such line.
    std::string line[13] = {"PCM", "",     "Front", "Surround", "",      "",   "",
                            "",    "Line", "Phone", "CD",       "Video", "Aux"};
};

// The names file: section [MIXER], keys "card", "master", "wave out" and "line 0" to
// "line 12"; an empty value means the card has no such line.
#define MIXER_NAMES_FILE "MixerNames.ini"

// The names a names file's text gives; what it does not name keeps its default.
MixerLineNames ParseMixerNames(const std::u16string& text);
// The names file at `path` (UTF-16LE, as the unit's other ini files); the defaults when it
// cannot be read.
MixerLineNames LoadMixerNames(const std::string& path);

class CMSAudio final : public IHWAudio {
public:
    // Opens the ALSA mixer `device` in Init, which logs the names the card does not have.
    explicit CMSAudio(std::string device = "default", MixerLineNames names = {});
    // Works on a mixer already open (Init keeps it).
    explicit CMSAudio(std::unique_ptr<plat::Mixer> mixer, MixerLineNames names = {});
    ~CMSAudio() override;

    int GetVol(int* left, int* right, bool refresh, int scale) override;
    int GetCachedVol() override { return m_iLevel; }
    void Reapply() override;
    void Init() override;
    void Release() override;
    void SelectSource(int source, bool keep12) override;
    void SetMasterMute(bool mute) override;
    void MuteWaveOut(bool mute) override;
    void MuteSource8(bool mute) override { MuteLine(8, mute); }
    void MuteSource9(bool mute) override { MuteLine(9, mute); }
    void MuteSource12(bool mute) override { MuteLine(12, mute); }
    void MuteSource11(bool mute) override { MuteLine(11, mute); }
    void MuteSource10(bool mute) override { MuteLine(10, mute); }
    void SetVolume(int level, int scale) override;
    void SetFader(int value, int scale) override;
    void SetBalance(int value, int scale) override;

    // The start-up levels: master 46000, the PC's own line 46000, the board's lines 35000.
    void SetDefaultLevels();
    bool HasMixer() const { return m_pMixer != nullptr; }

private:
    void MuteLine(int line, bool mute);
    void SetLineVolume(int line, unsigned value);
    void WriteMaster();

    std::string m_strDevice;
    MixerLineNames m_Names;
    int m_iSource = 0;
    int m_bKeep12 = 0;
    std::unique_ptr<plat::Mixer> m_pMixer;
    int m_iDevices = 0;
    unsigned m_dwVolume[2] = {0, 0};  // master, left and right, 0..65535
};

class CFWAudio final : public IHWAudio {
public:
    CFWAudio();
    int GetVol(int* left, int* right, bool refresh, int scale) override;
    int GetCachedVol() override { return m_iLevel; }
    void Reapply() override {}
    void Init() override {}
    void Release() override;
    void SelectSource(int, bool) override {}
    void SetMasterMute(bool) override {}
    void MuteWaveOut(bool) override {}
    void MuteSource8(bool) override {}
    void MuteSource9(bool) override {}
    void MuteSource12(bool) override {}
    void MuteSource11(bool) override {}
    void MuteSource10(bool) override {}
    void SetVolume(int, int) override {}
    void SetFader(int, int) override {}
    void SetBalance(int, int) override {}
};

class CHWAudioHolder {
public:
    // Made on first use, with the card and names of the names file; never made again.
    static CHWAudioHolder* GetInstance();
    // The names file the holder reads when it is made (the kernel's base folder); none: the
    // default names.
    static void SetNamesFile(const std::string& path);
    // Releases both mixer objects and frees the holder (main dialog, at exit).
    static void DestroyInstance();
    // The kernel's volume (0..32), which CFWAudio reports; the kernel installs it.
    static void SetKernelVolumeSource(int (*source)());
    static int KernelVolume();

    CHWAudioHolder(const CHWAudioHolder&) = delete;
    CHWAudioHolder& operator=(const CHWAudioHolder&) = delete;
    ~CHWAudioHolder();

    // [0] CFWAudio, [1] CMSAudio.
    std::unique_ptr<IHWAudio> m_pAudio[2];

private:
    CHWAudioHolder();
};

// The sound codec's vendor control (stereo or 5.1 output). Linux has no such object: the
// stand-in answers and writes each call to the log, so the mode changes stay visible.
class ICodecControl {
public:
    virtual ~ICodecControl() = default;
    // Out value 0 = failure.
    virtual void Init(int* result) = 0;
    virtual void GetValue(int* value) = 0;
    // 1 stereo, 3 5.1.
    virtual void SetMode(int mode) = 0;
    virtual void Release() = 0;
};

class CRTWrapper {
public:
    CRTWrapper();
    // Uses `control` in place of the stand-in.
    explicit CRTWrapper(std::unique_ptr<ICodecControl> control);
    ~CRTWrapper();

    // Creates the control and initialises it; false (logged) when either fails.
    bool _InitCOM();
    // Reads the control's value into m_iValue.
    int GetValue();
    void SetMode(int mode);
    // Releases the control (kernel destruction).
    void ReleaseCOM();

    std::unique_ptr<ICodecControl> m_IRTCOMAPI;  // null when creation failed
    int m_iValue = -1;

private:
    std::unique_ptr<ICodecControl> m_pPending;
};

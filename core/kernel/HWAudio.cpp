#include "core/kernel/HWAudio.h"

#include <algorithm>
#include <atomic>
#include <cstdlib>

#include "core/kernel/LogWriter.h"
#include "core/kernel/SysSettings.h"
#include "core/kernel/Utf16File.h"
#include "platform/audio/Mixer.h"
#include "platform/text/Text.h"

namespace {

// The volume steps of the mixer's 16-bit scale. A scale of 0 would divide by zero and is
// taken as 1; a level at the top of its scale (32 of 32) reaches 65536, which a 16-bit
// control would take as 0, so every value is held to 0..65535.
long long Step(int scale, long long full) {
    return full / std::max(scale, 1);
}

unsigned Clamp16(long long v) {
    return static_cast<unsigned>(std::clamp<long long>(v, 0, 65535));
}

long long Magnitude(int v) {
    return std::llabs(static_cast<long long>(v));
}

std::atomic<int (*)()> g_kernelVolume{nullptr};
std::unique_ptr<CHWAudioHolder> g_holder;
std::string g_namesFile;

class CLoggedCodecControl final : public ICodecControl {
public:
    void Init(int* result) override {
        WriteLog("CRTWrapper: no codec control on this system; output modes are only logged");
        *result = 1;
    }
    void GetValue(int* value) override { *value = 0; }
    void SetMode(int mode) override {
        // The movie page asks again on every paint while 5.1 is on: log changes only.
        if (mode != m_iMode)
            WriteLog("CRTWrapper::SetMode(%d)", mode);
        m_iMode = mode;
    }
    void Release() override { WriteLog("CRTWrapper::Release()"); }

private:
    int m_iMode = -1;
};

}  // namespace

// ---- Names ----

MixerLineNames ParseMixerNames(const std::u16string& text) {
    MixerLineNames names;
    char16_t value[SYS_PATH_CHARS];
    auto take = [&](const char16_t* key, std::string& out) {
        if (ReadSysIni(u"MIXER", text.c_str(), text.size(), key, value) == 0)
            out = plat::Utf16ToUtf8(value);
    };
    take(u"card", names.card);
    take(u"master", names.master);
    take(u"wave out", names.waveOut);
    for (int line = 0; line <= 12; ++line)
        take(plat::FormatStr(u"line %d", line).c_str(), names.line[line]);
    // Without a card name there is nothing to open: the default card then.
    if (names.card.empty())
        names.card = MixerLineNames().card;
    return names;
}

MixerLineNames LoadMixerNames(const std::string& path) {
    std::u16string text;
    if (path.empty() || !ReadUtf16File(path, text, 64u << 10))
        return MixerLineNames();
    return ParseMixerNames(text);
}

// ---- CMSAudio ----

CMSAudio::CMSAudio(std::string device, MixerLineNames names)
    : m_strDevice(std::move(device)), m_Names(std::move(names)) {}

CMSAudio::CMSAudio(std::unique_ptr<plat::Mixer> mixer, MixerLineNames names)
    : m_Names(std::move(names)), m_pMixer(std::move(mixer)) {}

CMSAudio::~CMSAudio() = default;

int CMSAudio::GetVol(int* left, int* right, bool refresh, int scale) {
    if (!refresh)
        return m_iLevel;
    unsigned l, r;
    if (m_pMixer && m_pMixer->GetVolume(m_Names.master, l, r)) {
        m_dwVolume[0] = l;
        m_dwVolume[1] = r;
    }
    long long step = std::max<long long>(Step(scale, 65536), 1);
    if (left)
        *left = static_cast<int>(m_dwVolume[0] / step);
    if (right)
        *right = static_cast<int>(m_dwVolume[1] / step);
    return m_iLevel;
}

void CMSAudio::Reapply() {
    SelectSource(m_iSource, m_bKeep12 != 0);
}

void CMSAudio::Init() {
    m_iDevices = plat::SoundCardCount();
    if (!m_pMixer) {
        std::string error;
        m_pMixer = plat::OpenAlsaMixer(m_strDevice, &error);
        if (!m_pMixer) {
            // No sound card: the board still plays; every mixer call does nothing.
            WriteLog("CMSAudio::Init(): no sound mixer (%s), %d card(s)", error.c_str(),
                     m_iDevices);
            return;
        }
    }
    // A names file may name controls this card does not have: said once, here; the calls on
    // them then do nothing while the other lines work.
    auto check = [&](const std::string& name, const char* what) {
        if (!name.empty() && !m_pMixer->HasControl(name))
            WriteLog("CMSAudio::Init(): the card has no control \"%s\" (%s)", name.c_str(), what);
    };
    check(m_Names.master, "master");
    check(m_Names.waveOut, "wave out");
    for (int line = 0; line <= 12; ++line)
        check(m_Names.line[line], plat::FormatNarrow("line %d", line).c_str());
    unsigned l, r;
    if (m_pMixer->GetVolume(m_Names.master, l, r)) {
        m_dwVolume[0] = l;
        m_dwVolume[1] = r;
    }
}

void CMSAudio::Release() {
    WriteLog("CMSAudio::Release()");
    m_pMixer.reset();
}

void CMSAudio::SelectSource(int source, bool keep12) {
    m_iSource = source;
    m_bKeep12 = keep12 ? 1 : 0;
    MuteLine(0, source != 0);
    for (int line = 8; line <= 12; ++line)
        MuteLine(line, source == 0 || line != source);
    if (keep12)
        MuteLine(12, false);
}

void CMSAudio::SetMasterMute(bool mute) {
    m_bMute = mute ? 1 : 0;
    if (m_pMixer)
        m_pMixer->SetMute(m_Names.master, mute);
}

void CMSAudio::MuteWaveOut(bool mute) {
    if (m_pMixer && !m_Names.waveOut.empty())
        m_pMixer->SetMute(m_Names.waveOut, mute);
}

void CMSAudio::MuteLine(int line, bool mute) {
    if (m_pMixer && line >= 0 && line <= 12 && !m_Names.line[line].empty())
        m_pMixer->SetMute(m_Names.line[line], mute);
}

void CMSAudio::SetLineVolume(int line, unsigned value) {
    if (m_pMixer && line >= 0 && line <= 12 && !m_Names.line[line].empty())
        m_pMixer->SetVolume(m_Names.line[line], value, value);
}

void CMSAudio::WriteMaster() {
    // Balance: the louder channel keeps the level, the other loses a share per step.
    long long c = std::max(m_dwVolume[0], m_dwVolume[1]);
    unsigned reduced = Clamp16(c - Step(m_iBalanceScale, c) * Magnitude(m_iBalance));
    if (m_iBalance < 0) {
        m_dwVolume[0] = Clamp16(c);
        m_dwVolume[1] = reduced;
    } else {
        m_dwVolume[0] = reduced;
        m_dwVolume[1] = Clamp16(c);
    }
    if (m_pMixer)
        m_pMixer->SetVolume(m_Names.master, m_dwVolume[0], m_dwVolume[1]);
}

void CMSAudio::SetVolume(int level, int scale) {
    m_iLevel = level;
    unsigned v = Clamp16(static_cast<long long>(level) * Step(scale, 65536));
    m_dwVolume[0] = m_dwVolume[1] = v;
    WriteMaster();
}

void CMSAudio::SetBalance(int value, int scale) {
    m_iBalance = value;
    m_iBalanceScale = scale;
    WriteMaster();
}

void CMSAudio::SetFader(int value, int scale) {
    m_iFader = value;
    m_iFaderScale = scale;
    // The side the fader points to is lowered and the other put back to full: setting only the
    // lowered side would leave the other where an earlier setting put it.
    const int lowered = value >= 0 ? 3 : 2;
    SetLineVolume(lowered, Clamp16(16000 - Magnitude(value) * Step(scale, 16000)));
    SetLineVolume(lowered == 3 ? 2 : 3, 16000);
}

void CMSAudio::SetDefaultLevels() {
    if (!m_pMixer)
        return;
    m_dwVolume[0] = m_dwVolume[1] = 46000;
    m_pMixer->SetVolume(m_Names.master, 46000, 46000);
    SetLineVolume(0, 46000);
    for (int line = 8; line <= 12; ++line)
        SetLineVolume(line, 35000);
}

// ---- CFWAudio ----

CFWAudio::CFWAudio() {
    WriteLog("CFWAudio::CFWAudio()");
}

int CFWAudio::GetVol(int*, int*, bool, int) {
    WriteLog("===> CFWAudio::GetVol() - Wrong !!!!!");
    m_iLevel = CHWAudioHolder::KernelVolume();
    return m_iLevel;
}

void CFWAudio::Release() {
    WriteLog("CFWAudio::Release()");
}

// ---- CHWAudioHolder ----

CHWAudioHolder::CHWAudioHolder() {
    m_pAudio[0] = std::make_unique<CFWAudio>();
    MixerLineNames names = LoadMixerNames(g_namesFile);
    std::string card = names.card;
    auto ms = std::make_unique<CMSAudio>(std::move(card), std::move(names));
    ms->GetVol(nullptr, nullptr, false, 32);
    ms->Init();
    ms->SetDefaultLevels();
    m_pAudio[1] = std::move(ms);
    m_pAudio[0]->Init();
}

CHWAudioHolder::~CHWAudioHolder() = default;

CHWAudioHolder* CHWAudioHolder::GetInstance() {
    if (!g_holder)
        g_holder.reset(new CHWAudioHolder());
    return g_holder.get();
}

void CHWAudioHolder::DestroyInstance() {
    if (!g_holder)
        return;
    for (auto& audio : g_holder->m_pAudio)
        if (audio)
            audio->Release();
    g_holder.reset();
}

void CHWAudioHolder::SetNamesFile(const std::string& path) {
    g_namesFile = path;
}

void CHWAudioHolder::SetKernelVolumeSource(int (*source)()) {
    g_kernelVolume.store(source);
}

int CHWAudioHolder::KernelVolume() {
    int (*source)() = g_kernelVolume.load();
    return source ? source() : 0;
}

// ---- CRTWrapper ----

CRTWrapper::CRTWrapper() = default;

CRTWrapper::CRTWrapper(std::unique_ptr<ICodecControl> control) : m_pPending(std::move(control)) {}

CRTWrapper::~CRTWrapper() {
    ReleaseCOM();
}

bool CRTWrapper::_InitCOM() {
    m_IRTCOMAPI = m_pPending ? std::move(m_pPending) : std::make_unique<CLoggedCodecControl>();
    if (!m_IRTCOMAPI) {
        WriteLog("CRTWrapper::m_IRTCOMAPI instance failed");
        return false;
    }
    int result = 0;
    m_IRTCOMAPI->Init(&result);
    if (result == 0) {
        WriteLog("m_IRTCOMAPI->Init() failed");
        return false;
    }
    return true;
}

int CRTWrapper::GetValue() {
    if (m_IRTCOMAPI)
        m_IRTCOMAPI->GetValue(&m_iValue);
    return m_iValue;
}

void CRTWrapper::SetMode(int mode) {
    if (m_IRTCOMAPI)
        m_IRTCOMAPI->SetMode(mode);
}

void CRTWrapper::ReleaseCOM() {
    if (m_IRTCOMAPI) {
        m_IRTCOMAPI->Release();
        m_IRTCOMAPI.reset();
    }
}

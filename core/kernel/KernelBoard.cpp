// The board wrappers: what the pages call for volume, source, tone, display and radio. Each
// checks that the board is ready, makes its device calls and keeps the kernel's copy of the
// state; volume and source are saved with the settings.
#include "core/kernel/HWAudio.h"
#include "core/kernel/Kernel.h"
#include "core/kernel/LogWriter.h"
#include "platform/sys/Clock.h"
#include "platform/ui/Ui.h"

namespace {

constexpr int kVolumeMuteOff = 254;
constexpr int kVolumeMuteOn = 255;

bool ValidChannel(uint8_t channel) {
    return channel >= 2 && channel <= 48;
}

}  // namespace

bool CKernel::SetVolume(int level) {
    if (!FirmwareReady())
        return false;
    if (level == kVolumeMuteOff || level == kVolumeMuteOn) {
        bool on = level == kVolumeMuteOn;
        m_Board.AudioMute(on);
        m_bMute = on ? 1 : 0;
        return true;
    }
    // A level outside the scale would be stored and then never stepped back into it.
    if (level < 0)
        level = 0;
    if (level > SYS_VOLUME_MAX)
        level = SYS_VOLUME_MAX;
    m_Board.AudioSetVolume(static_cast<uint8_t>(level));
    m_iVolume = level;
    m_Settings.iAudioLevel = level;
    SaveSettings();
    return true;
}

bool CKernel::ToMode(uint8_t source) {
    if (!FirmwareReady())
        return false;
    uint8_t reduced = source >= 16 ? static_cast<uint8_t>(source - 16) : source;
    uint8_t status = 0;
    m_Board.AudioSelectSource(reduced, &status);
    WriteLog("ToMode(%d): got(%d)", source, status);
    m_Settings.byCurrentSource = reduced;
    SaveSettings();
    if (source >= 16) {
        plat::SleepMs(200);
        InputSource(reduced);
    }
    return true;
}

bool CKernel::InputSource(uint8_t source) {
    if (!FirmwareReady())
        return false;
    WriteLog("CKernel::InputSource: %d", source);
    m_Board.VideoSelectInput(source);
    m_iInputSource = source;
    return true;
}

bool CKernel::SetBalance(int value) {
    if (!FirmwareReady())
        return false;
    m_Board.AudioSetBalance(value);
    return true;
}

bool CKernel::SetFader(int value) {
    if (!FirmwareReady())
        return false;
    m_Board.AudioSetFader(value);
    return true;
}

bool CKernel::SetEQValue(uint8_t type, int gain) {
    WriteLog("CKernel::SetEQValue(): typ(%d), gain(%d)", type, gain);
    if (!FirmwareReady())
        return false;
    m_Board.AudioSetEQValue(type, gain);
    return true;
}

bool CKernel::Enable51Priority() {
    if (m_pRTWrapper)
        m_pRTWrapper->SetMode(3);
    m_Board.AudioSetSurround(true);  // no call while the board is not ready
    m_Settings.i51Priority = 1;
    return true;
}

bool CKernel::Disable51Priority() {
    if (m_pRTWrapper)
        m_pRTWrapper->SetMode(1);
    m_Board.AudioSetSurround(false);
    m_Settings.i51Priority = 0;
    return true;
}

bool CKernel::SetBrightness(int value) {
    if (!FirmwareReady())
        return false;
    m_Board.VideoSetBrightness(static_cast<uint8_t>(value));
    return true;
}

bool CKernel::SetContrast(int value) {
    if (!FirmwareReady())
        return false;
    m_Board.VideoSetContrast(static_cast<uint8_t>(value));
    return true;
}

bool CKernel::SetSaturation(int value) {
    if (!FirmwareReady())
        return false;
    m_Board.VideoSetSaturation(static_cast<uint8_t>(value));
    return true;
}

bool CKernel::SetBacklightLevel(int value) {
    if (!FirmwareReady())
        return false;
    m_Board.VideoSetBacklight(static_cast<uint8_t>(value));
    return true;
}

bool CKernel::SetBacklightPower(int on) {
    if (!FirmwareReady())
        return false;
    m_Board.VideoBacklightPower(on != 0);
    return true;
}

bool CKernel::SetLightAuto(int automatic) {
    if (!FirmwareReady())
        return false;
    m_Board.VideoSetAutoLight(automatic != 0);
    return true;
}

bool CKernel::RadioSetBand(int bandChannel) {
    if (!FirmwareReady())
        return false;
    uint8_t band = static_cast<uint8_t>((bandChannel >> 8) & 0xFF);
    WriteLog("m_pFirmware->RadioSetBand()");
    int rc = m_Board.RadioSetBand(band);
    WriteLog("m_pFirmware->RadioSetBand(%d, %d) done ...", band, rc);
    uint8_t high = 0, low = 0;
    WriteLog("m_pFirmware->RadioLoadChannel()");
    m_Board.RadioLoadChannel(static_cast<uint16_t>(bandChannel & 0xFFFF), &high, &low);
    WriteLog("m_pFirmware->RadioLoadChannel(%d, 0x%2X, 0x%2X)", bandChannel, high, low);
    return true;
}

bool CKernel::RadioGetFrequency(uint8_t* channel, uint8_t* frequency) {
    if (!FirmwareReady())
        return false;
    uint8_t c = 0, f = 0;
    WriteLog("CKernel::RadioGetFrequency()");
    int rc = m_Board.RadioGetFrequency(&c, &f);
    WriteLog("CKernel::RadioGetFrequency(0x%02X, 0x%02X)", c, f);
    if (channel)
        *channel = c;
    if (frequency)
        *frequency = f;
    return rc == 0 && ValidChannel(c);
}

bool CKernel::AdjChannelFreq(uint8_t type, uint8_t* frequency, uint8_t* channel) {
    uint8_t c = 0, f = 0;
    switch (type) {
        case 0xC0:  // FM up
        case 0xC2:  // AM up
            m_Board.RadioStepUp(1, &c, &f);
            break;
        case 0xC1:  // FM down
        case 0xC3:  // AM down
            m_Board.RadioStepDown(1, &c, &f);
            break;
        default:
            plat::ui::MessageBox(plat::ui::kNoWindow, u"CKernel::AdjChannelFreq() error typ !!!",
                                 u"Velkora", plat::ui::kMbIconWarning);
            return false;
    }
    bool valid = ValidChannel(c);
    if (valid) {
        if (channel)
            *channel = c;
        if (frequency)
            *frequency = f;
    }
    WriteLog("AdjChannelFreq(): %02X %02X => %d", channel ? *channel : 0,
             frequency ? *frequency : 0, c * 256 + f);
    return valid;
}

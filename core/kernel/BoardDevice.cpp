#include "core/kernel/BoardDevice.h"

namespace {

// One call on one interface: nothing unless the board is ready and the module filled the slot.
template <class Iface, class Ops, class Fn, class... Args>
int Call(bool ready, Iface* iface, Fn Ops::*slot, Args... args) {
    if (!ready || !iface || !iface->ops || !(iface->ops->*slot))
        return BOARD_NOT_READY;
    return (iface->ops->*slot)(iface, args...);
}

}  // namespace

CBoardDevice::~CBoardDevice() {
    Close();
    // The program never unloads the board module.
    m_hLibrary.Leak();
}

CBoardDevice::OpenResult CBoardDevice::Open(const char* moduleName, const char* port) {
    Close();
    m_strError.clear();
    std::string name = moduleName ? moduleName : "";
    if (!m_hLibrary.IsLoaded() || name != m_strModuleName) {
        // A module once loaded stays loaded, even when another one is asked for.
        m_hLibrary.Leak();
        m_strModuleName = name;
        if (!m_hLibrary.Load(name)) {
            m_strError = m_hLibrary.Error();
            return BOARD_OPEN_NO_LIBRARY;
        }
    }
    auto create = reinterpret_cast<PFN_CreateRARA>(m_hLibrary.Symbol(BOARD_EXPORT_NAME));
    if (!create) {
        m_strError = std::string(BOARD_EXPORT_NAME) + " missing";
        return BOARD_OPEN_NO_EXPORT;
    }
    m_pRARA = create();
    if (!m_pRARA || !m_pRARA->ops || !m_pRARA->ops->CreateDevice) {
        m_pRARA = nullptr;
        return BOARD_OPEN_NO_FACTORY;
    }
    BoardDevice* device = nullptr;
    m_pRARA->ops->CreateDevice(m_pRARA, BOARD_DEVICE_NAME, &device);
    if (!device)
        return BOARD_OPEN_NO_DEVICE;
    m_pFirmware = device;
    // A device without all five interfaces cannot be driven.
    if (!device->audio || !device->video || !device->keys || !device->radio || !device->status ||
        !device->audio->ops)
        return BOARD_OPEN_NO_DEVICE;
    const BoardAudioOps* audio = device->audio->ops;
    if (!audio->Open || audio->Open(device->audio, port ? port : "", BOARD_BAUD) != 0)
        return BOARD_OPEN_NO_PORT;
    char version[128] = {};
    if (audio->GetVersion) {
        uint8_t status = 0;
        audio->GetVersion(device->audio, version, sizeof version, &status);
        version[sizeof version - 1] = '\0';
    }
    m_strVersion = version;
    if (!audio->IsReady || audio->IsReady(device->audio) == 0)
        return BOARD_OPEN_NOT_READY;
    m_bFirmwareReady = true;
    return BOARD_OPEN_OK;
}

void CBoardDevice::Close() {
    if (m_bFirmwareReady.exchange(false)) {
        BoardAudio* audio = m_pFirmware->audio;
        if (audio->ops->Shutdown)
            audio->ops->Shutdown(audio);
    }
    if (m_pFirmware && m_pRARA && m_pRARA->ops->ReleaseDevice)
        m_pRARA->ops->ReleaseDevice(m_pRARA, m_pFirmware);
    m_pFirmware = nullptr;
    m_pRARA = nullptr;
}

#define DEVICE_CALL(iface, slot, ...) \
    uint8_t status_ = 0;              \
    return Call(IsReady(), m_pFirmware ? m_pFirmware->iface : nullptr, &slot, __VA_ARGS__)

int CBoardDevice::AudioSelectSource(uint8_t source, uint8_t* status) {
    uint8_t s = 0;
    int rc = Call(IsReady(), m_pFirmware ? m_pFirmware->audio : nullptr,
                  &BoardAudioOps::SelectSource, source, &s);
    if (status)
        *status = s;
    return rc;
}

int CBoardDevice::AudioGetVolume(uint8_t* level) {
    DEVICE_CALL(audio, BoardAudioOps::GetVolume, level, &status_);
}
int CBoardDevice::AudioSetVolume(uint8_t level) {
    DEVICE_CALL(audio, BoardAudioOps::SetVolume, level, &status_);
}
int CBoardDevice::AudioMute(bool on) {
    DEVICE_CALL(audio, BoardAudioOps::Mute, static_cast<uint8_t>(on ? 1 : 0), &status_);
}
int CBoardDevice::AudioSelectEQ(uint8_t preset) {
    DEVICE_CALL(audio, BoardAudioOps::SelectEQ, preset, &status_);
}
int CBoardDevice::AudioSetEQValue(uint8_t band, int gain) {
    DEVICE_CALL(audio, BoardAudioOps::SetEQValue, band, gain, &status_);
}
int CBoardDevice::AudioSetLoudness(uint8_t value) {
    DEVICE_CALL(audio, BoardAudioOps::SetLoudness, value, &status_);
}
int CBoardDevice::AudioSetFader(int value) {
    DEVICE_CALL(audio, BoardAudioOps::SetFader, value, &status_);
}
int CBoardDevice::AudioSetBalance(int value) {
    DEVICE_CALL(audio, BoardAudioOps::SetBalance, value, &status_);
}
int CBoardDevice::AudioSetSurround(bool on) {
    DEVICE_CALL(audio, BoardAudioOps::SetSurround, static_cast<uint8_t>(on ? 1 : 0), &status_);
}
int CBoardDevice::AudioGetVersion(char* text, size_t size) {
    if (text && size > 0)
        text[0] = '\0';
    uint8_t status = 0;
    int rc = Call(IsReady(), m_pFirmware ? m_pFirmware->audio : nullptr, &BoardAudioOps::GetVersion,
                  text, size, &status);
    if (text && size > 0)
        text[size - 1] = '\0';
    return rc;
}

int CBoardDevice::VideoSelectInput(uint8_t source) {
    DEVICE_CALL(video, BoardVideoOps::SelectInput, source, &status_);
}
int CBoardDevice::VideoGetBrightness(uint8_t* value) {
    DEVICE_CALL(video, BoardVideoOps::GetBrightness, value, &status_);
}
int CBoardDevice::VideoSetBrightness(uint8_t value) {
    DEVICE_CALL(video, BoardVideoOps::SetBrightness, value, &status_);
}
int CBoardDevice::VideoGetContrast(uint8_t* value) {
    DEVICE_CALL(video, BoardVideoOps::GetContrast, value, &status_);
}
int CBoardDevice::VideoSetContrast(uint8_t value) {
    DEVICE_CALL(video, BoardVideoOps::SetContrast, value, &status_);
}
int CBoardDevice::VideoGetSaturation(uint8_t* value) {
    DEVICE_CALL(video, BoardVideoOps::GetSaturation, value, &status_);
}
int CBoardDevice::VideoSetSaturation(uint8_t value) {
    DEVICE_CALL(video, BoardVideoOps::SetSaturation, value, &status_);
}
int CBoardDevice::VideoGetBacklight(uint8_t* value) {
    DEVICE_CALL(video, BoardVideoOps::GetBacklight, value, &status_);
}
int CBoardDevice::VideoSetBacklight(uint8_t value) {
    DEVICE_CALL(video, BoardVideoOps::SetBacklight, value, &status_);
}
int CBoardDevice::VideoBacklightPower(bool on) {
    DEVICE_CALL(video, BoardVideoOps::BacklightPower, static_cast<uint8_t>(on ? 1 : 0), &status_);
}
int CBoardDevice::VideoGetNightMode(uint8_t* night) {
    DEVICE_CALL(video, BoardVideoOps::GetNightMode, night, &status_);
}
int CBoardDevice::VideoSetAutoLight(bool on) {
    DEVICE_CALL(video, BoardVideoOps::SetAutoLight, static_cast<uint8_t>(on ? 1 : 0), &status_);
}
int CBoardDevice::VideoGetAutoLight(uint8_t* on) {
    DEVICE_CALL(video, BoardVideoOps::GetAutoLight, on, &status_);
}
int CBoardDevice::VideoRefreshManualLight() {
    return Call(IsReady(), m_pFirmware ? m_pFirmware->video : nullptr,
                &BoardVideoOps::RefreshManualLight);
}

int CBoardDevice::KeysGetKey(uint8_t* group, uint8_t* code) {
    DEVICE_CALL(keys, BoardKeysOps::GetKey, group, code, &status_);
}

int CBoardDevice::RadioSetBand(uint8_t band) {
    DEVICE_CALL(radio, BoardRadioOps::SetBand, band, &status_);
}
int CBoardDevice::RadioGetFrequency(uint8_t* high, uint8_t* low) {
    DEVICE_CALL(radio, BoardRadioOps::GetFrequency, high, low, &status_);
}
int CBoardDevice::RadioStepDown(uint8_t steps, uint8_t* high, uint8_t* low) {
    DEVICE_CALL(radio, BoardRadioOps::StepDown, steps, high, low, &status_);
}
int CBoardDevice::RadioStepUp(uint8_t steps, uint8_t* high, uint8_t* low) {
    DEVICE_CALL(radio, BoardRadioOps::StepUp, steps, high, low, &status_);
}
int CBoardDevice::RadioSeekUp() {
    DEVICE_CALL(radio, BoardRadioOps::SeekUp, &status_);
}
int CBoardDevice::RadioSeekDown() {
    DEVICE_CALL(radio, BoardRadioOps::SeekDown, &status_);
}
int CBoardDevice::RadioStartAutoStore() {
    DEVICE_CALL(radio, BoardRadioOps::StartAutoStore, &status_);
}
int CBoardDevice::RadioStopAutoStore() {
    DEVICE_CALL(radio, BoardRadioOps::StopAutoStore, &status_);
}
int CBoardDevice::RadioStopSeek() {
    DEVICE_CALL(radio, BoardRadioOps::StopSeek, &status_);
}
int CBoardDevice::RadioGetTunerStatus(uint8_t* tuner) {
    DEVICE_CALL(radio, BoardRadioOps::GetTunerStatus, tuner, &status_);
}
int CBoardDevice::RadioLoadChannel(uint16_t bandChannel, uint8_t* high, uint8_t* low) {
    DEVICE_CALL(radio, BoardRadioOps::LoadChannel, bandChannel, high, low, &status_);
}
int CBoardDevice::RadioReplay(uint8_t channel) {
    DEVICE_CALL(radio, BoardRadioOps::Replay, channel, &status_);
}

int CBoardDevice::StatusCommit() {
    return Call(IsReady(), m_pFirmware ? m_pFirmware->status : nullptr, &BoardStatusOps::Commit);
}
int CBoardDevice::StatusRestoreDefaults() {
    return Call(IsReady(), m_pFirmware ? m_pFirmware->status : nullptr,
                &BoardStatusOps::RestoreDefaults);
}
int CBoardDevice::StatusGetStatus(uint8_t* status) {
    return Call(IsReady(), m_pFirmware ? m_pFirmware->status : nullptr, &BoardStatusOps::GetStatus,
                status);
}

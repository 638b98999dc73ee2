// The board device module seen from the program: loads the module by name, makes the device
// object, opens the board and remembers whether it is ready. Every call goes through here and
// is made only while the board is ready; otherwise it returns BOARD_NOT_READY and calls nothing.
#pragma once

#include <atomic>
#include <cstdint>
#include <string>

#include "devices/BoardModule.h"
#include "platform/sys/Module.h"

constexpr int BOARD_NOT_READY = -1;

class CBoardDevice {
public:
    enum OpenResult {
        BOARD_OPEN_OK,
        BOARD_OPEN_NO_LIBRARY,  // the module did not load
        BOARD_OPEN_NO_EXPORT,   // it has no CreateRARA
        BOARD_OPEN_NO_FACTORY,  // CreateRARA gave nothing
        BOARD_OPEN_NO_DEVICE,   // the factory made no device object
        BOARD_OPEN_NO_PORT,     // the device did not open its port
        BOARD_OPEN_NOT_READY,   // the board does not report ready
    };

    CBoardDevice() = default;
    ~CBoardDevice();
    CBoardDevice(const CBoardDevice&) = delete;
    CBoardDevice& operator=(const CBoardDevice&) = delete;

    // Loads `moduleName` (BOARD_MODULE_NAME), makes BOARD_DEVICE_NAME, opens it on `port`
    // ("com1", or "com3" when the marker says so) at 57600, reads the firmware version and
    // asks whether the board is ready. The board is ready only after BOARD_OPEN_OK.
    OpenResult Open(const char* moduleName, const char* port);
    // Shutdown on the device (when ready), then the factory releases the device. The module
    // stays loaded: its code may still be referenced.
    void Close();

    bool IsReady() const { return m_bFirmwareReady.load(); }
    // The firmware version read when the board was opened.
    const std::string& Version() const { return m_strVersion; }
    // Why the module did not load (from the loader).
    const std::string& Error() const { return m_strError; }

    // Audio. `status` receives the device's status byte when given.
    int AudioSelectSource(uint8_t source, uint8_t* status = nullptr);
    int AudioGetVolume(uint8_t* level);
    int AudioSetVolume(uint8_t level);
    int AudioMute(bool on);
    int AudioSelectEQ(uint8_t preset);
    int AudioSetEQValue(uint8_t band, int gain);
    int AudioSetLoudness(uint8_t value);
    int AudioSetFader(int value);
    int AudioSetBalance(int value);
    int AudioSetSurround(bool on);
    int AudioGetVersion(char* text, size_t size);

    // Video.
    int VideoSelectInput(uint8_t source);
    int VideoGetBrightness(uint8_t* value);
    int VideoSetBrightness(uint8_t value);
    int VideoGetContrast(uint8_t* value);
    int VideoSetContrast(uint8_t value);
    int VideoGetSaturation(uint8_t* value);
    int VideoSetSaturation(uint8_t value);
    int VideoGetBacklight(uint8_t* value);
    int VideoSetBacklight(uint8_t value);
    int VideoBacklightPower(bool on);
    int VideoGetNightMode(uint8_t* night);
    int VideoSetAutoLight(bool on);
    int VideoGetAutoLight(uint8_t* on);
    int VideoRefreshManualLight();

    // Keys: 0 when a key event was returned.
    int KeysGetKey(uint8_t* group, uint8_t* code);

    // Radio.
    int RadioSetBand(uint8_t band);
    int RadioGetFrequency(uint8_t* high, uint8_t* low);
    int RadioStepDown(uint8_t steps, uint8_t* high, uint8_t* low);
    int RadioStepUp(uint8_t steps, uint8_t* high, uint8_t* low);
    int RadioSeekUp();
    int RadioSeekDown();
    int RadioStartAutoStore();
    int RadioStopAutoStore();
    int RadioStopSeek();
    int RadioGetTunerStatus(uint8_t* tuner);
    int RadioLoadChannel(uint16_t bandChannel, uint8_t* high, uint8_t* low);
    int RadioReplay(uint8_t channel);

    // Status.
    int StatusCommit();
    int StatusRestoreDefaults();
    int StatusGetStatus(uint8_t* status);

private:
    plat::Module m_hLibrary;
    BoardFactory* m_pRARA = nullptr;
    BoardDevice* m_pFirmware = nullptr;
    std::atomic<bool> m_bFirmwareReady{false};
    std::string m_strModuleName;
    std::string m_strVersion;
    std::string m_strError;
};

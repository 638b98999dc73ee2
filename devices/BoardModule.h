/* The board device module: the loadable library that drives the head unit's board (audio
 * processor, video switch, radio tuner, front-panel keys). The program loads it by name
 * ("Library.dll", the file libLibrary.so beside the program), calls its export CreateRARA for the
 * factory object, and asks the factory for the device object "TDA7419".
 *
 * Every object is a pointer to a table of operations. The tables keep their slot order: an
 * operation is known by its position, and a board vendor's module fills the same positions.
 * Every call passes the object first. Most pass, last, a pointer to one status byte that the
 * device fills (it may be null); callers ignore it unless they say otherwise. A result of 0
 * means success. Slots named reservedN are not called by the program; a module answers them
 * with 0 or leaves them to a stub.
 *
 * Plain C, so that a module can be written in anything that makes a shared library. */
#ifndef VELKORA_DEVICES_BOARD_MODULE_H
#define VELKORA_DEVICES_BOARD_MODULE_H

#include <stddef.h>
#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

#define BOARD_MODULE_NAME "Library.dll"
#define BOARD_EXPORT_NAME "CreateRARA"
#define BOARD_DEVICE_NAME "TDA7419"
#define BOARD_BAUD 57600

typedef struct BoardFactory BoardFactory;
typedef struct BoardDevice BoardDevice;
typedef struct BoardAudio BoardAudio;
typedef struct BoardVideo BoardVideo;
typedef struct BoardKeys BoardKeys;
typedef struct BoardRadio BoardRadio;
typedef struct BoardStatus BoardStatus;

/* The export: no arguments, the factory object or null. */
typedef BoardFactory* (*PFN_CreateRARA)(void);

typedef struct BoardFactoryOps {
    /* 0 */ int (*ReleaseDevice)(BoardFactory* self, BoardDevice* device);
    /* 1 */ int (*CreateDevice)(BoardFactory* self, const char* name, BoardDevice** out);
} BoardFactoryOps;

struct BoardFactory {
    const BoardFactoryOps* ops;
};

/* The device object and its five interfaces. */
struct BoardDevice {
    BoardAudio* audio;
    BoardVideo* video;
    BoardKeys* keys;
    BoardRadio* radio;
    BoardStatus* status;
};

/* Audio processor. Levels: volume 0..32; fader and balance -6..6; EQ gains -12..12. */
typedef struct BoardAudioOps {
    /* 0 */ int (*reserved0)(BoardAudio* self, uint8_t* status);
    /* 1 */ int (*reserved1)(BoardAudio* self, uint8_t* status);
    /* 2 */ int (*SelectSource)(BoardAudio* self, uint8_t source, uint8_t* status);
    /* 3 */ int (*reserved3)(BoardAudio* self, uint8_t* status);
    /* 4 */ int (*GetVolume)(BoardAudio* self, uint8_t* level, uint8_t* status);
    /* 5 */ int (*SetVolume)(BoardAudio* self, uint8_t level, uint8_t* status);
    /* 6 */ int (*reserved6)(BoardAudio* self, uint8_t* status);
    /* 7 */ int (*Mute)(BoardAudio* self, uint8_t on, uint8_t* status);
    /* 8 */ int (*reserved8)(BoardAudio* self, uint8_t* status);
    /* 9 */ int (*reserved9)(BoardAudio* self, uint8_t* status);
    /* 10 */ int (*reserved10)(BoardAudio* self, uint8_t* status);
    /* 11 */ int (*SelectEQ)(BoardAudio* self, uint8_t preset, uint8_t* status);
    /* 12 */ int (*reserved12)(BoardAudio* self, uint8_t* status);
    /* 13 */ int (*reserved13)(BoardAudio* self, uint8_t* status);
    /* 14 */ int (*reserved14)(BoardAudio* self, uint8_t* status);
    /* 15 */ int (*reserved15)(BoardAudio* self, uint8_t* status);
    /* 16 */ int (*SetEQValue)(BoardAudio* self, uint8_t band, int gain, uint8_t* status);
    /* 17 */ int (*reserved17)(BoardAudio* self, uint8_t* status);
    /* 18 */ int (*reserved18)(BoardAudio* self, uint8_t* status);
    /* 19 */ int (*reserved19)(BoardAudio* self, uint8_t* status);
    /* 20 */ int (*reserved20)(BoardAudio* self, uint8_t* status);
    /* 21 */ int (*reserved21)(BoardAudio* self, uint8_t* status);
    /* 22 */ int (*reserved22)(BoardAudio* self, uint8_t* status);
    /* 23 */ int (*SetLoudness)(BoardAudio* self, uint8_t value, uint8_t* status);
    /* 24 */ int (*reserved24)(BoardAudio* self, uint8_t* status);
    /* 25 */ int (*reserved25)(BoardAudio* self, uint8_t* status);
    /* 26 */ int (*SetFader)(BoardAudio* self, int value, uint8_t* status);
    /* 27 */ int (*reserved27)(BoardAudio* self, uint8_t* status);
    /* 28 */ int (*SetBalance)(BoardAudio* self, int value, uint8_t* status);
    /* 29 */ int (*reserved29)(BoardAudio* self, uint8_t* status);
    /* 30 */ int (*reserved30)(BoardAudio* self, uint8_t* status);
    /* 31 */ int (*SetSurround)(BoardAudio* self, uint8_t on, uint8_t* status);
    /* 32 */ int (*reserved32)(BoardAudio* self, uint8_t* status);
    /* 33 */ int (*reserved33)(BoardAudio* self, uint8_t* status);
    /* 34 */ int (*reserved34)(BoardAudio* self, uint8_t* status);
    /* 35: 0 = the board answered on that port. */
    /* 35 */ int (*Open)(BoardAudio* self, const char* port, uint32_t baud);
    /* 36 */ int (*Shutdown)(BoardAudio* self);
    /* 37 */ int (*reserved37)(BoardAudio* self, uint8_t* status);
    /* 38: the firmware version, always NUL-terminated within `size`. */
    /* 38 */ int (*GetVersion)(BoardAudio* self, char* text, size_t size, uint8_t* status);
    /* 39: non-zero = the board is ready. */
    /* 39 */ int (*IsReady)(BoardAudio* self);
} BoardAudioOps;

struct BoardAudio {
    const BoardAudioOps* ops;
};

/* Video switch and screen. Picture values 0..10. */
typedef struct BoardVideoOps {
    /* 0 */ int (*reserved0)(BoardVideo* self, uint8_t* status);
    /* 1 */ int (*reserved1)(BoardVideo* self, uint8_t* status);
    /* 2 */ int (*reserved2)(BoardVideo* self, uint8_t* status);
    /* 3 */ int (*reserved3)(BoardVideo* self, uint8_t* status);
    /* 4 */ int (*SelectInput)(BoardVideo* self, uint8_t source, uint8_t* status);
    /* 5 */ int (*GetBrightness)(BoardVideo* self, uint8_t* value, uint8_t* status);
    /* 6 */ int (*SetBrightness)(BoardVideo* self, uint8_t value, uint8_t* status);
    /* 7 */ int (*GetContrast)(BoardVideo* self, uint8_t* value, uint8_t* status);
    /* 8 */ int (*SetContrast)(BoardVideo* self, uint8_t value, uint8_t* status);
    /* 9 */ int (*GetSaturation)(BoardVideo* self, uint8_t* value, uint8_t* status);
    /* 10 */ int (*SetSaturation)(BoardVideo* self, uint8_t value, uint8_t* status);
    /* 11 */ int (*GetBacklight)(BoardVideo* self, uint8_t* value, uint8_t* status);
    /* 12 */ int (*SetBacklight)(BoardVideo* self, uint8_t value, uint8_t* status);
    /* 13 */ int (*BacklightPower)(BoardVideo* self, uint8_t on, uint8_t* status);
    /* 14 */ int (*reserved14)(BoardVideo* self, uint8_t* status);
    /* 15 */ int (*GetNightMode)(BoardVideo* self, uint8_t* night, uint8_t* status);
    /* 16 */ int (*SetAutoLight)(BoardVideo* self, uint8_t on, uint8_t* status);
    /* 17 */ int (*GetAutoLight)(BoardVideo* self, uint8_t* on, uint8_t* status);
    /* 18 */ int (*RefreshManualLight)(BoardVideo* self);
} BoardVideoOps;

struct BoardVideo {
    const BoardVideoOps* ops;
};

/* Front-panel keys. */
typedef struct BoardKeysOps {
    /* 0: 0 = a key event was returned in group and code. */
    /* 0 */ int (*GetKey)(BoardKeys* self, uint8_t* group, uint8_t* code, uint8_t* status);
} BoardKeysOps;

struct BoardKeys {
    const BoardKeysOps* ops;
};

/* Radio tuner. Bands: 0x00, 0x01, 0x02 FM1..FM3; 0x10, 0x11 AM1, AM2. Frequencies are 16-bit,
 * FM in 10 kHz units, AM in kHz, handed out as a high byte ("channel") and a low byte
 * ("frequency"). Each band has nine stored channels 0..8. Tuner status bits: 0x80 seek
 * running, 0x40 station found, 0x20 stereo, 0x10 auto-store scan running. */
typedef struct BoardRadioOps {
    /* 0 */ int (*reserved0)(BoardRadio* self, uint8_t* status);
    /* 1 */ int (*SetBand)(BoardRadio* self, uint8_t band, uint8_t* status);
    /* 2 */ int (*reserved2)(BoardRadio* self, uint8_t* status);
    /* 3 */ int (*GetFrequency)(BoardRadio* self, uint8_t* high, uint8_t* low, uint8_t* status);
    /* 4 */ int (*reserved4)(BoardRadio* self, uint8_t* status);
    /* 5 */ int (*reserved5)(BoardRadio* self, uint8_t* status);
    /* 6 */ int (*StepDown)(BoardRadio* self, uint8_t steps, uint8_t* high, uint8_t* low,
                            uint8_t* status);
    /* 7 */ int (*StepUp)(BoardRadio* self, uint8_t steps, uint8_t* high, uint8_t* low,
                          uint8_t* status);
    /* 8 */ int (*SeekUp)(BoardRadio* self, uint8_t* status);
    /* 9 */ int (*SeekDown)(BoardRadio* self, uint8_t* status);
    /* 10 */ int (*reserved10)(BoardRadio* self, uint8_t* status);
    /* 11 */ int (*StartAutoStore)(BoardRadio* self, uint8_t* status);
    /* 12 */ int (*StopAutoStore)(BoardRadio* self, uint8_t* status);
    /* 13 */ int (*StopSeek)(BoardRadio* self, uint8_t* status);
    /* 14 */ int (*GetTunerStatus)(BoardRadio* self, uint8_t* tuner, uint8_t* status);
    /* 15 */ int (*reserved15)(BoardRadio* self, uint8_t* status);
    /* 16 */ int (*reserved16)(BoardRadio* self, uint8_t* status);
    /* 17: (band << 8) | channel; a band of 0 in the high byte keeps the current band. */
    /* 17 */ int (*LoadChannel)(BoardRadio* self, uint16_t bandChannel, uint8_t* high, uint8_t* low,
                                uint8_t* status);
    /* 18 */ int (*reserved18)(BoardRadio* self, uint8_t* status);
    /* 19: the preset index just stored by the radio page. */
    /* 19 */ int (*Replay)(BoardRadio* self, uint8_t channel, uint8_t* status);
} BoardRadioOps;

struct BoardRadio {
    const BoardRadioOps* ops;
};

/* Board status. Status byte bit 0x40: application locks in force. */
typedef struct BoardStatusOps {
    /* 0: commit the settings (after the sound, radio and display pages save; at shutdown). */
    /* 0 */ int (*Commit)(BoardStatus* self);
    /* 1: after the factory settings were restored. */
    /* 1 */ int (*RestoreDefaults)(BoardStatus* self);
    /* 2 */ int (*reserved2)(BoardStatus* self);
    /* 3 */ int (*GetStatus)(BoardStatus* self, uint8_t* status);
} BoardStatusOps;

struct BoardStatus {
    const BoardStatusOps* ops;
};

#define BOARD_SLOT_AT(table, member, slot) \
    (offsetof(table, member) == (slot) * sizeof(void (*)(void)))

#ifdef __cplusplus
}  // extern "C"
#define BOARD_STATIC_ASSERT(cond) static_assert(cond, #cond)
#else
#define BOARD_STATIC_ASSERT(cond) _Static_assert(cond, #cond)
#endif

/* The slot order is the contract; these fail the build of anything that moves a slot. */
BOARD_STATIC_ASSERT(BOARD_SLOT_AT(BoardFactoryOps, CreateDevice, 1));
BOARD_STATIC_ASSERT(BOARD_SLOT_AT(BoardAudioOps, SelectSource, 2));
BOARD_STATIC_ASSERT(BOARD_SLOT_AT(BoardAudioOps, GetVolume, 4));
BOARD_STATIC_ASSERT(BOARD_SLOT_AT(BoardAudioOps, SetVolume, 5));
BOARD_STATIC_ASSERT(BOARD_SLOT_AT(BoardAudioOps, Mute, 7));
BOARD_STATIC_ASSERT(BOARD_SLOT_AT(BoardAudioOps, SelectEQ, 11));
BOARD_STATIC_ASSERT(BOARD_SLOT_AT(BoardAudioOps, SetEQValue, 16));
BOARD_STATIC_ASSERT(BOARD_SLOT_AT(BoardAudioOps, SetLoudness, 23));
BOARD_STATIC_ASSERT(BOARD_SLOT_AT(BoardAudioOps, SetFader, 26));
BOARD_STATIC_ASSERT(BOARD_SLOT_AT(BoardAudioOps, SetBalance, 28));
BOARD_STATIC_ASSERT(BOARD_SLOT_AT(BoardAudioOps, SetSurround, 31));
BOARD_STATIC_ASSERT(BOARD_SLOT_AT(BoardAudioOps, Open, 35));
BOARD_STATIC_ASSERT(BOARD_SLOT_AT(BoardAudioOps, Shutdown, 36));
BOARD_STATIC_ASSERT(BOARD_SLOT_AT(BoardAudioOps, GetVersion, 38));
BOARD_STATIC_ASSERT(BOARD_SLOT_AT(BoardAudioOps, IsReady, 39));
BOARD_STATIC_ASSERT(sizeof(BoardAudioOps) == 40 * sizeof(void (*)(void)));
BOARD_STATIC_ASSERT(BOARD_SLOT_AT(BoardVideoOps, SelectInput, 4));
BOARD_STATIC_ASSERT(BOARD_SLOT_AT(BoardVideoOps, SetBrightness, 6));
BOARD_STATIC_ASSERT(BOARD_SLOT_AT(BoardVideoOps, SetBacklight, 12));
BOARD_STATIC_ASSERT(BOARD_SLOT_AT(BoardVideoOps, BacklightPower, 13));
BOARD_STATIC_ASSERT(BOARD_SLOT_AT(BoardVideoOps, GetNightMode, 15));
BOARD_STATIC_ASSERT(BOARD_SLOT_AT(BoardVideoOps, GetAutoLight, 17));
BOARD_STATIC_ASSERT(sizeof(BoardVideoOps) == 19 * sizeof(void (*)(void)));
BOARD_STATIC_ASSERT(sizeof(BoardKeysOps) == 1 * sizeof(void (*)(void)));
BOARD_STATIC_ASSERT(BOARD_SLOT_AT(BoardRadioOps, SetBand, 1));
BOARD_STATIC_ASSERT(BOARD_SLOT_AT(BoardRadioOps, GetFrequency, 3));
BOARD_STATIC_ASSERT(BOARD_SLOT_AT(BoardRadioOps, StepDown, 6));
BOARD_STATIC_ASSERT(BOARD_SLOT_AT(BoardRadioOps, SeekUp, 8));
BOARD_STATIC_ASSERT(BOARD_SLOT_AT(BoardRadioOps, StartAutoStore, 11));
BOARD_STATIC_ASSERT(BOARD_SLOT_AT(BoardRadioOps, GetTunerStatus, 14));
BOARD_STATIC_ASSERT(BOARD_SLOT_AT(BoardRadioOps, LoadChannel, 17));
BOARD_STATIC_ASSERT(BOARD_SLOT_AT(BoardRadioOps, Replay, 19));
BOARD_STATIC_ASSERT(sizeof(BoardRadioOps) == 20 * sizeof(void (*)(void)));
BOARD_STATIC_ASSERT(BOARD_SLOT_AT(BoardStatusOps, GetStatus, 3));
BOARD_STATIC_ASSERT(sizeof(BoardStatusOps) == 4 * sizeof(void (*)(void)));

#endif /* VELKORA_DEVICES_BOARD_MODULE_H */

// The media player: media files, audio CDs and DVDs. One player per media page; everything
// happens inside the calls (no thread of its own): the page polls HandleEvent and GetTime
// from its tick.
#pragma once

#include <cstddef>
#include <cstdint>

#include "library/include/KvTypes.h"

namespace KvMultimedia {

// DVD domains, from GetCurrentDomain. The two menu domains mean a menu is on screen.
enum KvDvdDomain : int32_t {
    DVD_DOMAIN_FirstPlay = 1,
    DVD_DOMAIN_VideoManagerMenu = 2,
    DVD_DOMAIN_VideoTitleSetMenu = 3,
    DVD_DOMAIN_Title = 4,
    DVD_DOMAIN_Stop = 5,
};

// Bits of the mask GetCurrentUOPs gives. A set bit means the disc FORBIDS that operation now.
enum : uint32_t {
    UOP_FLAG_Play_Title_Or_AtTime = 0x00000001,
    UOP_FLAG_Play_Chapter = 0x00000002,
    UOP_FLAG_Play_Title = 0x00000004,
    UOP_FLAG_Stop = 0x00000008,
    UOP_FLAG_ReturnFromSubMenu = 0x00000010,
    UOP_FLAG_Play_Chapter_Or_AtTime = 0x00000020,
    UOP_FLAG_PlayPrev_Or_Replay_Chapter = 0x00000040,
    UOP_FLAG_PlayNext_Chapter = 0x00000080,
    UOP_FLAG_Play_Forwards = 0x00000100,
    UOP_FLAG_Play_Backwards = 0x00000200,
    UOP_FLAG_ShowMenu_Title = 0x00000400,
    UOP_FLAG_ShowMenu_Root = 0x00000800,
    UOP_FLAG_ShowMenu_SubPic = 0x00001000,
    UOP_FLAG_ShowMenu_Audio = 0x00002000,
    UOP_FLAG_ShowMenu_Angle = 0x00004000,
    UOP_FLAG_ShowMenu_Chapter = 0x00008000,
    UOP_FLAG_Resume = 0x00010000,
    UOP_FLAG_Select_Or_Activate_Button = 0x00020000,
    UOP_FLAG_Still_Off = 0x00040000,
    UOP_FLAG_Pause_On = 0x00080000,
    UOP_FLAG_Select_Audio_Stream = 0x00100000,
    UOP_FLAG_Select_SubPic_Stream = 0x00200000,
    UOP_FLAG_Select_Angle = 0x00400000,
    UOP_FLAG_Select_Karaoke_Audio_Presentation_Mode = 0x00800000,
    UOP_FLAG_Select_Video_Mode_Preference = 0x01000000,
};

// Mouse messages DvdMouse understands.
enum : uint32_t {
    KV_MOUSE_MOVE = 0x200,
    KV_LBUTTON_UP = 0x202,
};

// The notification message number of the player's events.
constexpr uint32_t WM_PLAYER_EVENT = 0x4C9;

// Rows of the stream name tables.
constexpr int KV_STREAM_NAME_CHARS = 128;
constexpr int KV_MAX_STREAMS = 64;

// Edges in the owner window's client coordinates; right and bottom are one past the last pixel.
struct KvRect {
    int32_t left;
    int32_t top;
    int32_t right;
    int32_t bottom;
};

// What GetTime fills.
struct alignas(8) KvPlayerTime {
    uint8_t byTrack;         // current CD track; 0 for files and DVDs; 0xFF: unknown or at the end
    int64_t llPosition;      // position of a file in 100-nanosecond units
    char16_t szTotal[13];    // "hh:mm:ss" (a CD track: "00:mm:ss")
    char16_t szCurrent[13];  // same forms
};
static_assert(sizeof(KvPlayerTime) == 72, "KvPlayerTime layout");
static_assert(offsetof(KvPlayerTime, llPosition) == 8, "KvPlayerTime layout");
static_assert(offsetof(KvPlayerTime, szTotal) == 16, "KvPlayerTime layout");
static_assert(offsetof(KvPlayerTime, szCurrent) == 42, "KvPlayerTime layout");

class IKvPlayer {
public:
    // Status values, returned by GetStatus and HandleEvent.
    enum : uint16_t {
        STATUS_NONE = 0,       // nothing open
        STATUS_STOPPED = 1,    // open and stopped
        STATUS_PAUSED = 2,     //
        STATUS_PLAYING = 3,    //
        STATUS_COMPLETED = 4,  // played to the end; rewound and stopped
        STATUS_ERROR = 5,      // playback failed or the disc went away; the player is closed
        STATUS_DVD_IDLE = 6,   // DVD state: no DVD, or not yet in a known domain
        STATUS_DVD_MENU = 7,   // DVD state: a menu is on screen
    };

    // Media types, returned by GetMediaType; MEDIA_FILE is what OpenFile is given.
    enum : uint8_t {
        MEDIA_NONE = 0,
        MEDIA_FILE = 2,
        MEDIA_VCD = 3,
        MEDIA_DVD = 4,
        MEDIA_CD = 5,
    };

    // owner: the handle of the window the video belongs to.
    virtual RZRESULT Init(uint32_t reserved, uintptr_t owner) = 0;
    virtual RZRESULT ShowVideo(uint8_t show) = 0;
    virtual RZRESULT SetVideoPos(int x, int y, int w, int h) = 0;
    virtual RZRESULT SetVideoRect(const KvRect* rect) = 0;
    virtual RZRESULT OpenDisc(uint8_t mediaType) = 0;
    virtual RZRESULT OpenFile(const char16_t* path, uint8_t mediaType) = 0;
    virtual RZRESULT OpenCD(uint8_t startTrack) = 0;
    virtual RZRESULT CloseCD() = 0;
    virtual RZRESULT Play() = 0;
    virtual RZRESULT Pause() = 0;
    virtual RZRESULT Forward() = 0;
    virtual RZRESULT Backward() = 0;
    virtual RZRESULT Stop() = 0;
    virtual RZRESULT SetRate(double rate) = 0;
    virtual RZRESULT GetVideoSize(uint32_t* width, uint32_t* height) = 0;
    virtual RZRESULT Close() = 0;
    virtual RZRESULT GetTime(KvPlayerTime* time) = 0;
    // 0 full volume down to -10000 silence, in hundredths of a decibel.
    virtual RZRESULT SetVolume(int32_t volume) = 0;
    virtual RZRESULT Lock() = 0;
    virtual RZRESULT Unlock() = 0;
    virtual RZRESULT GetStatus() = 0;
    virtual RZRESULT GetMediaType() = 0;
    virtual RZRESULT HandleEvent() = 0;
    virtual RZRESULT DvdMouse(uint32_t message, int32_t x, int32_t y) = 0;
    virtual RZRESULT ShowTitleMenu() = 0;
    virtual RZRESULT ShowRootMenu() = 0;
    virtual RZRESULT GetDvdText(uint32_t reserved, uint32_t* languages) = 0;
    virtual RZRESULT GetSubpictureStreams(char16_t (*names)[KV_STREAM_NAME_CHARS], uint32_t* count,
                                          uint32_t* current, int* disabled) = 0;
    virtual RZRESULT GetAudioStreams(char16_t (*names)[KV_STREAM_NAME_CHARS], uint32_t* count,
                                     uint32_t* current) = 0;
    virtual RZRESULT SetSubpicture(int on, uint32_t stream) = 0;
    virtual RZRESULT SelectAudio(uint32_t stream) = 0;
    virtual RZRESULT SaveBookmark(const char16_t* path) = 0;
    virtual RZRESULT LoadBookmark(const char16_t* path) = 0;
    virtual RZRESULT SetDVDDirectory(const char16_t* path) = 0;
    // Absolute position in 100-nanosecond units.
    virtual RZRESULT SetPosition(int64_t position) = 0;
    virtual RZRESULT AddRef() = 0;
    virtual RZRESULT Release() = 0;
    // The engine behind the player, or null; no reference is added.
    virtual RZRESULT GetGraph(void** out) = 0;
    virtual RZRESULT GetAudioChannels() = 0;
    virtual RZRESULT GetCurrentUOPs(uint32_t* out) = 0;
    virtual RZRESULT GetCurrentDomain(KvDvdDomain* out) = 0;
    virtual RZRESULT ActivateButton() = 0;

protected:
    ~IKvPlayer() = default;
};

}  // namespace KvMultimedia

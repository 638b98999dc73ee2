// The volume overlay: the process-wide holder of the volume scale pictures of the fixed skin
// folder and of a knob button placed by the volume. The main dialog asks for it at the end of
// the run and gives its pictures back.
#pragma once

#include <cstdint>

namespace KvMultimedia {
class IKvImage;
}
namespace KvUserInterface {
class IKvButton;
}

#define VOLUME_BAR_LEVELS 33
#define VOLUME_BAR_LEVEL_FILE u"%s\\Skin\\%s\\common_png\\Vol-%02d.png"
#define VOLUME_BAR_KNOB_FILE u"%s\\Skin\\%s\\common_png\\Vol-Button.png"
#define VOLUME_BAR_SCALE_FILE u"%s\\Skin\\%s\\common_png\\Vol-Scale.png"
#define VOLUME_BAR_SKIN u"Default 01"

class CVolumeBar {
public:
    // The overlay, made on first call (null only when memory runs out). A picture that cannot
    // be loaded ends the loading there; what was loaded so far stays.
    static CVolumeBar* GetInstance();
    // Gives back every picture and the knob button the overlay holds; the overlay stays.
    static void Release(CVolumeBar* overlay);
    // Releases and frees the overlay (the end of the process; tests).
    static void DestroyInstance();

    CVolumeBar(const CVolumeBar&) = delete;
    CVolumeBar& operator=(const CVolumeBar&) = delete;

    // Where the knob sits for a volume level: x = 255 + level x 10.3125, truncated.
    static int KnobX(int level);

    KvMultimedia::IKvImage* m_pLevel[VOLUME_BAR_LEVELS] = {};
    KvUserInterface::IKvButton* m_pKnob = nullptr;
    KvMultimedia::IKvImage* m_pKnobImage = nullptr;
    KvMultimedia::IKvImage* m_pScale = nullptr;
    int m_iVolume = 0;
    int m_iState1 = 0;
    int m_iState2 = 0;

private:
    CVolumeBar() = default;
    void Load();

    static CVolumeBar* c_pInstance;
};

// The rear seat's extended keyboard button: a small window of one picture that the rear seat
// shows while it is folded away, and that starts the outside keyboard program when tapped.
#pragma once

#include <memory>

#include "platform/ui/Ui.h"

namespace KvMultimedia {
class IKvImage;
}

// Where the rear seat keeps the button, in desktop co-ordinates.
#define EKB_X 1300
#define EKB_Y 480
#define EKB_W 262
#define EKB_H 100
// The picture, formatted with the base folder and the skin.
#define EKB_IMAGE u"%s\\Skin\\%s\\ScreenKB\\EKB.jpg"
// The outside keyboard program, looked for in the base folder, then on the search path.
#define EKB_PROGRAM u"ESKB.exe"

class CExtendedKB : public plat::ui::Window {
public:
    CExtendedKB() = default;
    ~CExtendedKB() override;

    // The hidden window at its place, and its picture; true when the picture was made (the
    // window is there either way).
    bool Initial();

    // The rear seat's maker of the button (null when the window cannot be made).
    static std::unique_ptr<plat::ui::Window> Make();

    KvMultimedia::IKvImage* m_pImage = nullptr;

protected:
    void OnPaint(plat::Surface& surface, const plat::Rect& dirty) override;
    void OnPenDown(plat::Point pt) override;
};

#include "core/shell/VolumeBar.h"

#include <new>
#include <string>

#include "core/kernel/Kernel.h"
#include "library/include/Vantrel.h"
#include "platform/text/Text.h"

using KvMultimedia::IKvImage;
using KvUserInterface::IKvButton;

CVolumeBar* CVolumeBar::c_pInstance = nullptr;

namespace {

template <typename T>
void ReleaseObject(T*& object) {
    if (object) {
        object->Release();
        object = nullptr;
    }
}

}  // namespace

CVolumeBar* CVolumeBar::GetInstance() {
    if (c_pInstance)
        return c_pInstance;
    CVolumeBar* overlay = new (std::nothrow) CVolumeBar();
    if (!overlay)
        return nullptr;
    overlay->Load();
    c_pInstance = overlay;
    return overlay;
}

int CVolumeBar::KnobX(int level) {
    // 10.3125 is 165/16: exact in integers, truncated towards zero like the product.
    return 255 + level * 165 / 16;
}

void CVolumeBar::Load() {
    CKernel* kernel = CKernel::Instance();
    if (!kernel)
        return;
    if (kernel->FirmwareReady()) {
        uint8_t level = 0;
        if (kernel->m_Board.AudioGetVolume(&level) == 0)
            // The knob can only stand on the scale.
            m_iVolume = level > 32 ? 32 : level;
    }
    IVantrel* root = kernel->m_pRoot;
    if (!root)
        return;
    const char16_t* base = kernel->m_szBaseDir;
    auto load = [&](const std::u16string& path, IKvImage** out) {
        return root->CreateImage(out, path.c_str()) == RZ_OK && *out;
    };
    if (!load(plat::FormatStr(VOLUME_BAR_KNOB_FILE, base, VOLUME_BAR_SKIN), &m_pKnobImage))
        return;
    if (!load(plat::FormatStr(VOLUME_BAR_SCALE_FILE, base, VOLUME_BAR_SKIN), &m_pScale))
        return;
    if (root->CreateButton(&m_pKnob) != RZ_OK || !m_pKnob)
        return;
    m_pKnob->SetImage(m_pKnobImage);
    m_pKnob->SetRect(KnobX(m_iVolume), 20, 75, 40);
    for (int i = 0; i < VOLUME_BAR_LEVELS; ++i) {
        if (!load(plat::FormatStr(VOLUME_BAR_LEVEL_FILE, base, VOLUME_BAR_SKIN, i), &m_pLevel[i]))
            return;
    }
    m_iVolume = 0;
    m_iState1 = 0;
    m_iState2 = 0;
}

void CVolumeBar::Release(CVolumeBar* overlay) {
    if (!overlay)
        return;
    ReleaseObject(overlay->m_pKnobImage);
    ReleaseObject(overlay->m_pScale);
    ReleaseObject(overlay->m_pKnob);
    for (IKvImage*& level : overlay->m_pLevel)
        ReleaseObject(level);
}

void CVolumeBar::DestroyInstance() {
    Release(c_pInstance);
    delete c_pInstance;
    c_pInstance = nullptr;
}

#include "apps/keyboard/ExtendedKB.h"

#include "core/kernel/CfgData.h"
#include "core/kernel/Kernel.h"
#include "core/kernel/LogWriter.h"
#include "core/kernel/ProcessUtil.h"
#include "library/include/Vantrel.h"
#include "platform/gfx/Canvas.h"
#include "platform/text/Text.h"

CExtendedKB::~CExtendedKB() {
    Destroy();
    if (m_pImage) {
        m_pImage->Release();
        m_pImage = nullptr;
    }
}

bool CExtendedKB::Initial() {
    plat::ui::CreateParams params;
    params.rect = plat::Rect::FromXYWH(EKB_X, EKB_Y, EKB_W, EKB_H);
    params.visible = false;
    // Above the rear backdrop and the outside programs it stands in for.
    params.topMost = true;
    if (!Create(params))
        return false;
    CKernel* kernel = CKernel::Instance();
    CCfgData* cfg = pCfgData;
    if (!kernel || !kernel->m_pRoot || !cfg)
        return false;
    const std::u16string path =
        plat::FormatStr(EKB_IMAGE, kernel->m_szBaseDir, cfg->m_CfgSettings.szSkin);
    if (kernel->m_pRoot->CreateImage(&m_pImage, path.c_str()) != RZ_OK)
        m_pImage = nullptr;
    return m_pImage != nullptr;
}

std::unique_ptr<plat::ui::Window> CExtendedKB::Make() {
    auto button = std::make_unique<CExtendedKB>();
    button->Initial();
    if (button->Id() == plat::ui::kNoWindow)
        return nullptr;
    return button;
}

void CExtendedKB::OnPaint(plat::Surface& surface, const plat::Rect&) {
    surface.Fill(0xFF000000);
    std::unique_ptr<plat::Canvas> canvas = plat::MakeCanvas(surface);
    if (canvas && m_pImage)
        m_pImage->Draw(canvas.get(), 0, 0, 0, 0);
}

void CExtendedKB::OnPenDown(plat::Point pt) {
    if (pt.x >= EKB_W || pt.y >= EKB_H)
        return;
    plat::ui::InvalidateRect(Id());
    if (StartProgram(EKB_PROGRAM, {}, nullptr) < 0)
        WriteLog("CExtendedKB: cannot start %s", plat::Utf16ToUtf8(EKB_PROGRAM).c_str());
}

#include "core/ui/InfoDialog.h"

#include <cstring>
#include <memory>

#include "core/kernel/Kernel.h"
#include "core/kernel/LogWriter.h"
#include "core/ui/PageSetup.h"
#include "library/include/Vantrel.h"
#include "platform/gfx/Canvas.h"
#include "platform/sys/Clock.h"
#include "platform/text/Text.h"

namespace {

constexpr uint32_t kMessageBackground = plat::Argb(0xFF, 10, 10, 10);
constexpr uint32_t kMessageText = plat::Argb(0xFF, 178, 178, 178);
constexpr uint32_t kNoBackground = plat::Argb(0xFF, 0x20, 0x20, 0x20);
constexpr uint8_t kButtonFlags[4] = {INFODLG_BUTTON1, INFODLG_BUTTON2, INFODLG_BUTTON3,
                                     INFODLG_BUTTON4};

using pageui::ReleaseAndClear;

// The record's texts are fixed fields; one without its terminator is read up to the end.
std::u16string FieldText(const char16_t (&field)[INFODLG_PATH_CHARS]) {
    size_t n = 0;
    while (n < INFODLG_PATH_CHARS && field[n] != 0)
        ++n;
    return std::u16string(field, n);
}

IVantrel* Root() {
    CKernel* kernel = CKernel::Instance();
    return kernel ? kernel->m_pRoot : nullptr;
}

}  // namespace

CInfoDialog::CInfoDialog(int timeoutMs, plat::ui::WindowId parent)
    : CModalDialog(424, 256, parent),
      m_bHasTimeout(timeoutMs != 0 ? 1 : 0),
      m_dwTimeout(static_cast<uint32_t>(timeoutMs)) {
    // Cleared, so that a dialog run without a record shows nothing of one.
    std::memset(&m_Record, 0, sizeof m_Record);
}

CInfoDialog::~CInfoDialog() {
    Destroy();
    ReleaseSkin();
}

void CInfoDialog::SetInfo(const INFODLG_RECORD* record) {
    if (record) {
        m_Record = *record;
        m_bHasRecord = 1;
    } else {
        m_bHasRecord = 0;
    }
}

void CInfoDialog::SetExit() {
    m_bExit = true;
}

std::u16string CInfoDialog::GetMessageText() const {
    std::lock_guard<std::mutex> lock(m_textMutex);
    return m_strMessage;
}

std::u16string CInfoDialog::SkinFile(const char16_t* name) {
    CKernel* kernel = CKernel::Instance();
    if (!kernel || !name)
        return std::u16string();
    return plat::FormatStr(u"%s\\Skin\\Default 01\\InfoDialog\\%s", kernel->m_szBaseDir, name);
}

plat::Rect CInfoDialog::ButtonRect(int index) {
    static const plat::Rect rects[4] = {
        plat::Rect::FromXYWH(150, 280, 160, 90),
        plat::Rect::FromXYWH(330, 280, 160, 90),
        plat::Rect::FromXYWH(243, 280, 160, 90),
        plat::Rect::FromXYWH(243, 280, 160, 90),
    };
    return index >= 0 && index < 4 ? rects[index] : plat::Rect();
}

plat::Rect CInfoDialog::MessageRect() {
    return DluRect(176, 49, 185, 108);
}

plat::Rect CInfoDialog::PictureRect() {
    return DluRect(94, 67, 70, 70);
}

bool CInfoDialog::OnInitDialog() {
    IVantrel* root = Root();
    if (root) {
        KvMultimedia::IKvImage* image = nullptr;
        std::u16string path = SkinFile(u"info-bg.png");
        if (root->CreateImage(&image, path.c_str()) == RZ_OK)
            m_pBackground = image;
    }
    if (m_bHasRecord) {
        for (int i = 0; i < 4 && root; ++i) {
            if (!(m_Record.byFlags & kButtonFlags[i]))
                continue;
            // A button that cannot be made is left out; one without its image is still tapped.
            KvUserInterface::IKvButton* button = nullptr;
            if (root->CreateButton(&button) != RZ_OK || !button)
                continue;
            m_pButton[i] = button;
            KvMultimedia::IKvImage* image = nullptr;
            std::u16string path = FieldText(m_Record.szButton[i]);
            if (root->CreateImage(&image, path.c_str()) == RZ_OK)
                m_pButtonImage[i] = image;
            plat::Rect r = ButtonRect(i);
            button->SetRect(r.left, r.top, r.Width(), r.Height());
            button->SetImage(m_pButtonImage[i]);
        }
        if (!plat::Font::Create("Times New Roman", -27, 0, 400, true, m_TextFont))
            m_TextFont = plat::Font::Default();
        if (m_Record.byFlags & INFODLG_SHOW_TEXT) {
            std::lock_guard<std::mutex> lock(m_textMutex);
            m_strMessage = FieldText(m_Record.szText);
        }
        if (m_Record.byFlags & INFODLG_SHOW_PICTURE) {
            plat::ui::CreateParams params;
            params.rect = PictureRect();
            params.parent = Id();
            std::u16string path = FieldText(m_Record.szPicture);
            // A picture that cannot be shown leaves its place empty.
            if (m_Picture.Create(params) && m_Picture.LoadFile(path.c_str())) {
                plat::ui::ShowWindow(m_Picture.Id(), true);
                m_Picture.Start();
            }
        }
    } else if (!plat::Font::Create("Times New Roman", -27, 0, 400, true, m_TextFont)) {
        m_TextFont = plat::Font::Default();
    }

    plat::ui::SetTimer(Id(), INFODLG_TIMER_EXIT, INFODLG_EXIT_PERIOD);
    if (!(m_Record.byFlags & INFODLG_SHOW_TEXT))
        plat::ui::SetTimer(Id(), INFODLG_TIMER_ELAPSED, INFODLG_ELAPSED_PERIOD);
    if (m_bHasTimeout)
        plat::ui::SetTimer(Id(), INFODLG_TIMER_TIMEOUT, m_dwTimeout);
    m_dwStartTick = plat::GetTickCount();
    return true;
}

void CInfoDialog::OnEndDialog() {
    m_Picture.Destroy();
    ReleaseSkin();
}

void CInfoDialog::ReleaseSkin() {
    ReleaseAndClear(m_pBackground);
    for (int i = 0; i < 4; ++i) {
        ReleaseAndClear(m_pButtonImage[i]);
        ReleaseAndClear(m_pButton[i]);
    }
}

void CInfoDialog::OnTimer(uint32_t timerId) {
    switch (timerId) {
        case INFODLG_TIMER_TIMEOUT:
            WriteLog("CInfoDialog::OnTimer( TIMEOUT )");
            EndDialog(IDCANCEL);
            plat::ui::KillTimer(Id(), INFODLG_TIMER_TIMEOUT);
            break;
        case INFODLG_TIMER_EXIT:
            if (m_bExit.load()) {
                WriteLog("CInfoDialog::OnTimer( EXIT )");
                EndDialog(IDCANCEL);
                plat::ui::KillTimer(Id(), INFODLG_TIMER_EXIT);
            }
            break;
        case INFODLG_TIMER_ELAPSED: {
            std::lock_guard<std::mutex> lock(m_textMutex);
            m_strMessage = plat::FormatStr(u"Passed: %ld",
                                           static_cast<long>(plat::GetTickCount() - m_dwStartTick));
            plat::ui::InvalidateRect(Id());
            break;
        }
        default:
            break;
    }
}

void CInfoDialog::OnPaint(plat::Surface& surface, const plat::Rect&) {
    std::unique_ptr<plat::Canvas> canvas = plat::MakeCanvas(surface);
    if (!canvas)
        return;
    if (m_pBackground)
        m_pBackground->Draw(canvas.get(), 0, 0, 0, 0);
    else
        canvas->FillRect(surface.Bounds(), kNoBackground);

    const plat::Rect area = MessageRect();
    canvas->FillRect(area, kMessageBackground);
    std::u16string text = GetMessageText();
    if (!text.empty()) {
        canvas->SetFont(m_TextFont);
        canvas->SetTextColor(kMessageText);
        canvas->DrawText(WrapText(m_TextFont, text, area.Width()), area, plat::kTextCenter);
    }
    for (auto* button : m_pButton)
        if (button)
            button->Draw(canvas.get(), 0, 0);
}

void CInfoDialog::OnPenDown(plat::Point pt) {
    for (auto* button : m_pButton)
        if (button && button->OnLButtonUp(pt.x, pt.y) == RZ_HIT)
            button->SetPressed();
    plat::ui::InvalidateRect(Id());
}

void CInfoDialog::OnPenUp(plat::Point pt) {
    // Buttons 3 and 4 share their place: the last one hit gives the result.
    int result = 0;
    for (int i = 0; i < 4; ++i) {
        KvUserInterface::IKvButton* button = m_pButton[i];
        if (button && button->OnLButtonUp(pt.x, pt.y) == RZ_HIT) {
            button->SetNormal();
            result = INFODLG_RESULT_BUTTON1 + i;
        }
    }
    plat::ui::InvalidateRect(Id());
    if (result)
        EndDialog(result);
}

std::shared_ptr<CInfoDialog> CInfoDialogSlot::Open(int timeoutMs, plat::ui::WindowId parent) {
    auto dialog = std::make_shared<CInfoDialog>(timeoutMs, parent);
    std::shared_ptr<CInfoDialog> dropped = dialog;
    std::lock_guard<std::mutex> lock(m_mutex);
    m_pDialog.swap(dropped);
    return dialog;
}

bool CInfoDialogSlot::SetExit() {
    std::shared_ptr<CInfoDialog> dialog = Get();
    if (!dialog)
        return false;
    dialog->SetExit();
    return true;
}

void CInfoDialogSlot::Release(const std::shared_ptr<CInfoDialog>& dialog) {
    std::shared_ptr<CInfoDialog> dropped;
    std::lock_guard<std::mutex> lock(m_mutex);
    if (!dialog || m_pDialog == dialog)
        dropped.swap(m_pDialog);
    // `dropped` goes after the lock: a dialog's destructor never runs under it.
}

std::shared_ptr<CInfoDialog> CInfoDialogSlot::Get() const {
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_pDialog;
}

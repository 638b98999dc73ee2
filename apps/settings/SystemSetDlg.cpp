#include "apps/settings/SystemSetDlg.h"

#include <algorithm>

#include "apps/settings/SettingsCommon.h"
#include "apps/settings/SystemSetDefaults.h"
#include "core/kernel/Kernel.h"
#include "core/kernel/LogWriter.h"
#include "core/ui/PageSetup.h"
#include "core/kernel/ProcessUtil.h"
#include "core/shell/SeatCtrlDlg.h"
#include "core/ui/InfoDialog.h"
#include "core/ui/MessageDlg.h"
#include "core/ui/WindowMessages.h"
#include "library/include/Vantrel.h"
#include "platform/gfx/Canvas.h"
#include "platform/sys/TimeSetter.h"
#include "platform/text/Text.h"

using KvUserInterface::IKvButton;
using KvUserInterface::IKvListbox;
using KvUserInterface::IKvText;
using settings::ReleaseAndClear;

namespace {

const char16_t* const kButtonName[SYSSET_BUTTON_SLOTS] = {
    u"Vol-Add", u"Vol-Icon",    u"Vol-Del", u"Time",     u"Language",
    u"Power",   u"Calibration", u"Default", u"Ret-Menu", u"Save",
    u"Exit",    nullptr,        u"Plus",    u"Minus",    u"Reset",
};

constexpr uint8_t kTitleAlign = 38;
// What Save and Exit name as the page they come from.
constexpr int kReturnTag = 0x14;

struct FIELD_RECT {
    int x, y, w;
};
const FIELD_RECT kField[SYSSET_TIME_TEXTS] = {
    {400, 180, 100}, {520, 180, 50}, {600, 180, 50},
    {400, 260, 50},  {470, 260, 50}, {540, 260, 100},
};
const FIELD_RECT kSeparator[3] = {{500, 180, 20}, {580, 180, 20}, {450, 260, 20}};
const char16_t* const kSeparatorText[3] = {u".", u".", u":"};
constexpr int kFieldHeight = 45;

bool Inside(const FIELD_RECT& f, int x, int y) {
    return x >= f.x && x < f.x + f.w && y >= f.y && y < f.y + kFieldHeight;
}

// Steps `value` by `step` within first..last, wrapping both ways.
int Wrap(int value, int step, int first, int last) {
    const int span = last - first + 1;
    return first + ((value - first + step) % span + span) % span;
}

}  // namespace

CSystemSetDlg::CSystemSetDlg() = default;

CSystemSetDlg::~CSystemSetDlg() {
    ReleaseAndClear(m_pValueText);
    ReleaseAndClear(m_pTimeText2);
    ReleaseAndClear(m_pSeparator);
    ReleaseAndClear(m_pButton);
}

int CSystemSetDlg::MonthDays(int year, int month) {
    static const int kDays[12] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    if (month < 1 || month > 12)
        return 31;
    const bool leap = (year % 4 == 0 && year % 100 != 0) || year % 400 == 0;
    return kDays[month - 1] + (month == 2 && leap ? 1 : 0);
}

int CSystemSetDlg::AccHoldStep(int seconds, bool up) {
    if (up) {
        if (seconds < 10)
            return seconds + 1;
        if (seconds < 60)
            return seconds + 10;
        if (seconds < 600)
            return seconds + 60;
        return std::min(seconds + 600, SYSSET_ACC_HOLD_MAX);
    }
    if (seconds <= 10)
        return std::max(seconds - 1, 0);
    if (seconds <= 60)
        return seconds - 10;
    if (seconds <= 600)
        return seconds - 60;
    return seconds - 600;
}

std::u16string CSystemSetDlg::TimerText(int seconds, bool edited) {
    if (!edited || seconds < 60)
        return plat::FormatStr(u"%d sec", seconds);
    if (seconds < 3600)
        return plat::FormatStr(u"%d min", seconds / 60);
    return plat::FormatStr(u"%d hr %d min", seconds / 3600, seconds % 3600 / 60);
}

// ---- Skin
// ----------------------------------------------------------------------------------------

bool CSystemSetDlg::SetSkin(uint8_t seat, plat::ui::WindowId mainWnd, uint8_t appType) {
    CVelkoraAppDlg::SetSkin(seat, mainWnd, appType);
    if (seat != 0)
        return true;
    CKernel* kernel = CKernel::Instance();
    if (!kernel || !kernel->m_pRoot)
        return false;
    for (IKvListbox*& list : m_pListbox) {
        if (!list && (kernel->m_pRoot->CreateListbox(&list) != RZ_OK || !list)) {
            list = nullptr;
            return false;
        }
    }
    LeftList()->SetDisabled(0);
    RightList()->SetDisabled(1);
    if (!LoadSkin())
        return false;
    m_iPendingLanguage = m_iCurrentLanguage = kernel->m_Settings.iLanguage;
    m_iSelectedTimer = 0;
    m_iDelayOn = kernel->m_Settings.iDelayOn;
    m_iDelayOff = kernel->m_Settings.iDelayOff;
    m_iAccHold = m_iAccHoldShown = kernel->m_Settings.iAccHold;
    ReadPowerTimers();
    ShowTimePage();
    return true;
}

bool CSystemSetDlg::LoadSkin() {
    const uint64_t start = settings::NowMs();
    m_bSkinned = 0;
    CKernel* kernel = CKernel::Instance();
    if (!kernel || !kernel->m_pRoot || !LeftList() || !RightList() || !CVelkoraAppDlg::LoadSkin())
        return false;
    const std::u16string folder = SkinPath(u"SystemSetting");
    const std::u16string ini = folder + u"\\Systemsetting.ini";
    if (!pageui::LoadBackground(m_pBackground, ini, folder))
        return false;
    if (!pageui::MakeButtons(m_pButton, kButtonName, SYSSET_BUTTON_SLOTS, ini, u"Buttons", folder,
                             kTitleAlign))
        return false;
    pageui::UseMuteButton(this, m_pButton[SYSSET_VOL_ICON]);
    if (LeftList()->LoadLayout(ini.c_str(), u"Left Listbox", folder.c_str()) != RZ_OK ||
        RightList()->LoadLayout(ini.c_str(), u"Right Listbox", folder.c_str()) != RZ_OK)
        return false;
    for (int i = 0; i < SYSSET_TIME_TEXTS; ++i) {
        if (!settings::MakeText(m_pTimeText2[i], kField[i].x, kField[i].y, kField[i].w,
                                kFieldHeight, 20, 255, 255, 255))
            return false;
        m_pTimeText2[i]->SetAlign(2);
        m_pTimeText2[i]->Show(1);
    }
    for (int i = 0; i < 3; ++i) {
        if (!settings::MakeText(m_pSeparator[i], kSeparator[i].x, kSeparator[i].y, kSeparator[i].w,
                                kFieldHeight, 20, 255, 255, 255))
            return false;
        m_pSeparator[i]->SetAlign(2);
        m_pSeparator[i]->SetText(kSeparatorText[i]);
        m_pSeparator[i]->Show(1);
    }
    if (!settings::MakeText(m_pValueText, 450, 220, 300, 32, 20, 255, 255, 255))
        return false;
    m_pValueText->Show(1);
    m_bSkinned = 1;
    WriteLog("CSystemSetDlg: %lld ms", static_cast<long long>(settings::NowMs() - start));
    return true;
}

void CSystemSetDlg::ResetDefault() {
    WriteLog("CSystemSetDlg::ResetDefault()");
    m_iPendingLanguage = m_iCurrentLanguage = 0;
    if (CKernel* kernel = CKernel::Instance()) {
        kernel->m_Settings.iLanguage = 0;
        kernel->LoadLanguage();
    }
    m_iAccHold = SYSSET_ACC_HOLD_RESET;
    SetValueText(false);
}

void CSystemSetDlg::Show(bool visible, uint8_t param) {
    if (visible && m_bSkinned) {
        UpdateVolume(false);
        pageui::ShowMuteState(this, m_pButton[SYSSET_VOL_ICON]);
        if (CKernel* kernel = CKernel::Instance()) {
            m_iDelayOn = kernel->m_Settings.iDelayOn;
            m_iDelayOff = kernel->m_Settings.iDelayOff;
            m_iAccHold = m_iAccHoldShown = kernel->m_Settings.iAccHold;
        }
        if (m_bySubPage == SYSSET_PAGE_NONE)
            m_bySubPage = SYSSET_PAGE_TIME;
        switch (m_bySubPage) {
            case SYSSET_PAGE_LANGUAGE:
                ShowLanguagePage();
                break;
            case SYSSET_PAGE_POWER:
                ShowPowerPage();
                break;
            default:
                ShowTimePage();
                break;
        }
    }
    CVelkoraAppDlg::Show(visible, param);
}

// ---- Sub-pages
// -----------------------------------------------------------------------------------

void CSystemSetDlg::SetTimeTexts() {
    if (!m_bSkinned)
        return;
    const int values[5] = {m_iYear, m_iMonth, m_iDay, m_iHour, m_iMinute};
    for (int i = 0; i < 5; ++i)
        m_pTimeText2[i]->SetText(plat::FormatStr(i == 0 ? u"%04d" : u"%02d", values[i]).c_str());
    m_pTimeText2[SYSSET_FIELD_AMPM]->SetText(settings::LanguageText(m_bPM ? MSG_PM : MSG_AM));
    for (int i = 0; i < SYSSET_TIME_TEXTS; ++i) {
        const bool selected = i == m_bySelectedField;
        m_pTimeText2[i]->SetFont(20, 255, selected ? 79 : 255, selected ? 35 : 255);
    }
}

void CSystemSetDlg::ShowTimePage() {
    m_bySubPage = SYSSET_PAGE_TIME;
    if (!m_bSkinned)
        return;
    LeftList()->Show(0);
    RightList()->Show(0);
    m_tmRead = plat::GetClock().Local();
    m_iYear = std::clamp(m_tmRead.year, SYSSET_YEAR_MIN, SYSSET_YEAR_MAX);
    m_iMonth = m_tmRead.month;
    m_iDay = m_tmRead.day;
    m_iHour = m_tmRead.hour % 12 == 0 ? 12 : m_tmRead.hour % 12;
    m_iMinute = m_tmRead.minute;
    m_bPM = m_tmRead.hour >= 12 ? 1 : 0;
    m_bTimeEdited = 0;
    ClampDay();
    SetTimeTexts();
    m_dwLastTimeRefresh = plat::GetTickCount();
    InvalidateOwner();
}

void CSystemSetDlg::ShowLanguagePage() {
    m_bySubPage = SYSSET_PAGE_LANGUAGE;
    if (!m_bSkinned)
        return;
    LeftList()->Show(0);
    IKvListbox* list = RightList();
    list->Show(1);
    list->SetDisabled(0);
    list->RemoveAll();
    for (int text : {MSG_LANG_ENG, MSG_LANG_ROC, MSG_LANG_PRC, MSG_LANG_JAP})
        settings::AddTextRow(list, settings::LanguageText(text));
    list->SetCurrentIndex(std::clamp(m_iPendingLanguage, 0, SYS_LANGUAGE_COUNT - 1));
    InvalidateOwner();
}

void CSystemSetDlg::ShowPowerPage() {
    m_bySubPage = SYSSET_PAGE_POWER;
    if (!m_bSkinned)
        return;
    IKvListbox* left = LeftList();
    left->Show(1);
    left->SetDisabled(0);
    left->RemoveAll();
    settings::AddTextRow(left, settings::LanguageText(MSG_ACC_HOLD));
    // One row: the delay timers pass through unchanged.
    m_iSelectedTimer = 0;
    left->SetCurrentIndex(0);
    RightList()->Show(0);
    RightList()->RemoveAll();
    SetValueText(false);
    InvalidateOwner();
}

void CSystemSetDlg::SetValueText(bool edited) {
    if (!m_pValueText)
        return;
    const int value = m_iSelectedTimer == 1   ? m_iDelayOn
                      : m_iSelectedTimer == 2 ? m_iDelayOff
                                              : m_iAccHold;
    const int x = edited && value >= 3600 ? 400 : 450;
    m_pValueText->SetRect(x, 220, 300, 32);
    m_pValueText->SetText(TimerText(value, edited).c_str());
    InvalidateOwner();
}

void CSystemSetDlg::ClampDay() {
    m_iDay = std::clamp(m_iDay, 1, MonthDays(m_iYear, m_iMonth));
}

// ---- Plus and Minus
// ------------------------------------------------------------------------------

void CSystemSetDlg::OnStep(int step) {
    if (m_bySubPage == SYSSET_PAGE_POWER) {
        if (m_iSelectedTimer == 0) {
            m_iAccHold = AccHoldStep(m_iAccHold, step > 0);
            SetValueText(true);
        }
        return;
    }
    if (m_bySubPage != SYSSET_PAGE_TIME || m_bySelectedField == SYSSET_FIELD_NONE)
        return;
    m_bTimeEdited = 1;
    switch (m_bySelectedField) {
        case SYSSET_FIELD_YEAR:
            m_iYear = step > 0 ? std::min(m_iYear + 1, SYSSET_YEAR_MAX)
                               : std::max(m_iYear - 1, SYSSET_YEAR_MIN);
            break;
        case SYSSET_FIELD_MONTH:
            m_iMonth = Wrap(m_iMonth, step, 1, 12);
            break;
        case SYSSET_FIELD_DAY:
            m_iDay = Wrap(m_iDay, step, 1, MonthDays(m_iYear, m_iMonth));
            break;
        case SYSSET_FIELD_HOUR:
            m_iHour = Wrap(m_iHour, step, 1, 12);
            break;
        case SYSSET_FIELD_MINUTE:
            m_iMinute = Wrap(m_iMinute, step, 0, 59);
            break;
        case SYSSET_FIELD_AMPM:
            m_bPM = m_bPM ? 0 : 1;
            break;
        default:
            break;
    }
    // February 29 of a leap year stays a real date in the year after.
    ClampDay();
    SetTimeTexts();
    InvalidateOwner();
}

// ---- Touch
// ---------------------------------------------------------------------------------------

bool CSystemSetDlg::Repeats(int button) const {
    return button == SYSSET_PLUS || button == SYSSET_MINUS || button == SYSSET_VOL_ADD ||
           button == SYSSET_VOL_DEL;
}

void CSystemSetDlg::OnLButtonDown(int x, int y) {
    m_bPenDown = 1;
    if (!m_bSkinned)
        return;
    for (int i = 0; i < SYSSET_BUTTON_SLOTS; ++i) {
        if (!m_pButton[i] || m_pButton[i]->OnLButtonDown(x, y) != RZ_HIT)
            continue;
        // One pressed button per group: the volume buttons, the sub-page buttons with
        // Calibration and Default, the step buttons.
        auto group = [](int b) {
            return b <= SYSSET_VOL_DEL ? 0 : b <= SYSSET_DEFAULT ? 1 : b >= SYSSET_PLUS ? 2 : 3;
        };
        for (int j = 0; j < SYSSET_BUTTON_SLOTS; ++j)
            if (j != i && m_pButton[j] && group(j) == group(i) && group(i) != 3)
                m_pButton[j]->SetNormal();
        m_byPressedButton = static_cast<uint8_t>(i);
        m_dwLastRepeat = plat::GetTickCount();
        InvalidateOwner();
        return;
    }
    uint8_t action = 0;
    for (IKvListbox* list : m_pListbox)
        if (list->IsVisible())
            list->OnLButtonDown(x, y, &action);
    InvalidateOwner();
}

void CSystemSetDlg::OnLButtonUp(int x, int y) {
    m_bPenDown = 0;
    if (!m_bSkinned) {
        settings::TapWithoutSkin(this);
        return;
    }
    const uint8_t pressed = m_byPressedButton;
    m_byPressedButton = SYSSET_PRESSED_NONE;
    for (int i = 0; i < SYSSET_BUTTON_SLOTS; ++i) {
        if (!m_pButton[i] || m_pButton[i]->OnLButtonUp(x, y) != RZ_HIT)
            continue;
        // The sub-page buttons keep their pressed look while their page shows.
        if (i < SYSSET_TIME || i > SYSSET_POWER)
            m_pButton[i]->SetNormal();
        if (i == pressed)
            OnButtonClick(i);
        InvalidateOwner();
        return;
    }
    if (pressed < SYSSET_BUTTON_SLOTS && m_pButton[pressed])
        m_pButton[pressed]->SetNormal();

    if (m_bySubPage == SYSSET_PAGE_TIME) {
        for (int i = 0; i < SYSSET_TIME_TEXTS; ++i) {
            if (!Inside(kField[i], x, y))
                continue;
            m_bySelectedField = static_cast<uint8_t>(i);
            if (i == SYSSET_FIELD_MONTH)
                ClampDay();
            SetTimeTexts();
            break;
        }
    }
    uint8_t action = 0;
    int row = -1;
    if (LeftList()->IsVisible()) {
        LeftList()->OnLButtonUp(x, y, &action);
        if (action == KvUserInterface::LISTBOX_ACTION_ROW &&
            LeftList()->GetCurrentIndex(&row) == RZ_OK && row >= 0 && row <= 2) {
            m_iSelectedTimer = row;
            SetValueText(false);
        }
    }
    action = 0;
    if (RightList()->IsVisible()) {
        RightList()->OnLButtonUp(x, y, &action);
        if (action == KvUserInterface::LISTBOX_ACTION_ROW &&
            RightList()->GetCurrentIndex(&row) == RZ_OK && row >= 0 && row < SYS_LANGUAGE_COUNT)
            m_iPendingLanguage = row;
    }
    InvalidateOwner();
}

void CSystemSetDlg::OnTick() {
    CVelkoraAppDlg::OnTick();
    if (!m_bSkinned || !m_bVisible)
        return;
    const uint32_t now = plat::GetTickCount();
    // Held, only the step and volume buttons repeat: a held Save or Default runs once.
    if (m_bPenDown && Repeats(m_byPressedButton) && now - m_dwLastRepeat > SYSSET_REPEAT_MS) {
        m_dwLastRepeat = now;
        OnButtonClick(m_byPressedButton);
    }
    if (m_bySubPage == SYSSET_PAGE_TIME && !m_bPenDown && !m_bTimeEdited &&
        now - m_dwLastTimeRefresh >= SYSSET_TIME_REFRESH_MS)
        ShowTimePage();
}

// ---- Drawing
// -------------------------------------------------------------------------------------

void CSystemSetDlg::Render(plat::Canvas* hdc) {
    if (!m_bSkinned) {
        settings::RenderWithoutSkin(this, hdc);
        return;
    }
    CVelkoraAppDlg::Render(hdc);
    for (IKvButton* button : m_pButton)
        if (button)
            button->Draw(hdc, 0, 0);
    for (IKvListbox* list : m_pListbox)
        if (list->IsVisible())
            list->Draw(hdc);
    if (m_bySubPage == SYSSET_PAGE_TIME) {
        for (IKvText* text : m_pTimeText2)
            text->Draw(hdc);
        for (IKvText* text : m_pSeparator)
            text->Draw(hdc);
    } else if (m_bySubPage == SYSSET_PAGE_POWER) {
        m_pValueText->Draw(hdc);
    }
}

// ---- Actions
// -------------------------------------------------------------------------------------

void CSystemSetDlg::OnButtonClick(int button) {
    switch (button) {
        case SYSSET_VOL_ADD:
        case SYSSET_VOL_ICON:
        case SYSSET_VOL_DEL:
            pageui::VolumeButton(button - SYSSET_VOL_ADD, m_pButton[SYSSET_VOL_ICON], this);
            if (button != SYSSET_VOL_ICON)
                UpdateVolume(false);
            break;
        case SYSSET_TIME:
            ShowTimePage();
            break;
        case SYSSET_LANGUAGE:
            ShowLanguagePage();
            break;
        case SYSSET_POWER:
            ShowPowerPage();
            break;
        case SYSSET_CALIBRATION:
            RunCalibration();
            break;
        case SYSSET_DEFAULT:
            ConfirmDefaults();
            break;
        case SYSSET_RET_MENU:
            OnBack();
            plat::ui::SendMessage(m_hMainWnd, WM_SWITCH_APP, m_bySeat, APPTYPE_HOMEPAGE);
            break;
        case SYSSET_SAVE:
            OnSave();
            break;
        case SYSSET_EXIT:
            OnBack();
            break;
        case SYSSET_PLUS:
            OnStep(1);
            break;
        case SYSSET_MINUS:
            OnStep(-1);
            break;
        case SYSSET_RESET:
            if (m_bySubPage == SYSSET_PAGE_POWER) {
                m_iAccHold = SYSSET_ACC_HOLD_RESET;
                SetValueText(true);
            }
            break;
        default:
            break;
    }
    InvalidateOwner();
}

void CSystemSetDlg::ShowMessage(const std::u16string& text) {
    m_strLastMessage = text;
    WriteLog("CSystemSetDlg: %s", plat::Utf16ToUtf8(text).c_str());
    MessageDlg dlg(OwnerWindow());
    dlg.SetText(text.c_str());
    dlg.DoModal();
}

void CSystemSetDlg::OnSave() {
    CKernel* kernel = CKernel::Instance();
    if (!kernel)
        return;
    // The clock only when the user changed it here: a save from the language or power page
    // must not set it back to the moment the time page was last read.
    if (m_bTimeEdited) {
        plat::SystemTime t = m_tmRead;
        t.year = m_iYear;
        t.month = m_iMonth;
        t.day = std::clamp(m_iDay, 1, MonthDays(m_iYear, m_iMonth));
        t.hour = m_iHour == 12 ? (m_bPM ? 12 : 0) : m_iHour + (m_bPM ? 12 : 0);
        t.minute = m_iMinute;
        std::string error;
        if (plat::GetTimeSetter().SetLocalTime(t, &error)) {
            WriteLog("CSystemSetDlg::OnSave(): clock set to %04d-%02d-%02d %02d:%02d", t.year,
                     t.month, t.day, t.hour, t.minute);
            m_bTimeEdited = 0;
        } else {
            WriteLog("CSystemSetDlg::OnSave(): the clock cannot be set (%s)", error.c_str());
            ShowMessage(SYSSET_MSG_TIME_FAIL);
        }
    }
    if (m_iPendingLanguage != m_iCurrentLanguage) {
        m_iCurrentLanguage = m_iPendingLanguage;
        kernel->m_Settings.iLanguage = m_iCurrentLanguage;
    }
    kernel->m_Settings.iDelayOn = m_iDelayOn;
    kernel->m_Settings.iDelayOff = m_iDelayOff;
    kernel->m_Settings.iAccHold = m_iAccHold;
    SetAccHoldTimer();
    kernel->SaveSettings();
    kernel->LoadLanguage();
    ReturnToCaller();
}

void CSystemSetDlg::SetAccHoldTimer() {
    CKernel* kernel = CKernel::Instance();
    if (!kernel || m_iAccHold == m_iAccHoldShown)
        return;
    kernel->m_PowerModule.SetAccHoldTimer(static_cast<uint16_t>(m_iAccHold));
    if (kernel->m_PowerModule.m_bSetAck) {
        m_iAccHoldShown = m_iAccHold;
        ShowMessage(SYSSET_MSG_ACC_OK);
        return;
    }
    // The module kept its value: so do the settings.
    m_iAccHold = m_iAccHoldShown;
    kernel->m_Settings.iAccHold = m_iAccHoldShown;
    kernel->SaveSettings();
    ShowMessage(SYSSET_MSG_ACC_FAIL);
}

void CSystemSetDlg::ReadPowerTimers() {
    CKernel* kernel = CKernel::Instance();
    if (!kernel || !kernel->m_PowerModule.m_bModelReceived)
        return;
    CPowerModule& module = kernel->m_PowerModule;
    // The query stores a value only when the module answered whole; a value it cannot send
    // (0xFFFF) tells that nothing was stored.
    const uint16_t before = module.m_wAccHold;
    module.m_wAccHold = 0xFFFF;
    module.Query(PM_QUERY_ACC_HOLD);
    const bool answered = module.m_wAccHold != 0xFFFF;
    if (!answered)
        module.m_wAccHold = before;
    module.Query(PM_QUERY_SECOND_TIMER);
    if (!answered) {
        WriteLog("CSystemSetDlg::ReadPowerTimers(): the power module did not answer");
        return;
    }
    if (module.m_wAccHold != m_iAccHold) {
        m_iAccHold = m_iAccHoldShown = module.m_wAccHold;
        kernel->m_Settings.iAccHold = m_iAccHold;
        kernel->SaveSettings();
    }
}

void CSystemSetDlg::OnBack() {
    m_iPendingLanguage = m_iCurrentLanguage;
    ReturnToCaller();
}

void CSystemSetDlg::ReturnToCaller() {
    if (LeftList())
        LeftList()->SetDisabled(1);
    plat::ui::SendMessage(m_hMainWnd, WM_SWITCH_APP, m_bySeat, (kReturnTag << 16) | m_byShowParam);
    InvalidateOwner();
}

void CSystemSetDlg::ConfirmDefaults() {
    CKernel* kernel = CKernel::Instance();
    if (!kernel)
        return;
    CInfoDialog dlg(SYSSET_DEFAULTS_TIMEOUT_MS, OwnerWindow());
    INFODLG_RECORD& r = dlg.m_Record;
    r = INFODLG_RECORD{};
    r.byFlags = INFODLG_SHOW_PICTURE | INFODLG_SHOW_TEXT | INFODLG_BUTTON1 | INFODLG_BUTTON2;
    plat::StrCopy(r.szPicture, CInfoDialog::SkinFile(u"info-img-info.jpg"));
    plat::StrCopy(r.szText, kernel->m_Language[MSG_MANUFACTURE_DEFAULT]);
    plat::StrCopy(r.szButton[0], CInfoDialog::SkinFile(u"info-btn-yes.png"));
    plat::StrCopy(r.szButton[1], CInfoDialog::SkinFile(u"info-btn-no.png"));
    dlg.m_bHasRecord = 1;
    m_strLastMessage = kernel->m_Language[MSG_MANUFACTURE_DEFAULT];
    if (dlg.DoModal() != INFODLG_RESULT_BUTTON1)
        return;
    CSeatCtrlDlg* front = m_pOwner;
    if (!RestoreKernelDefaults(kernel, front))
        return;
    // Saved at once: a power cut now must find the factory settings, not half of them.
    kernel->SaveSettings();
    if (kernel->FirmwareReady())
        kernel->m_Board.StatusRestoreDefaults();
    m_iAccHoldShown = m_iAccHold;
    WriteLog("CSystemSetDlg::ConfirmDefaults(): factory settings restored");
}

void CSystemSetDlg::RunCalibration() {
    CKernel* kernel = CKernel::Instance();
    if (!kernel)
        return;
    const std::u16string path = kernel->m_AppPaths.szPath[APP_PATH_CALIBRATION];
    if (path.empty()) {
        ShowMessage(kernel->m_Language[MSG_PATH_EMPTY]);
        return;
    }
    // The program runs in its own folder; a bare name has none and is not started.
    const size_t cut = path.find_last_of(u"\\/");
    if (cut == std::u16string::npos)
        return;
    const std::u16string folder = path.substr(0, cut);
    const plat::ProcessId pid =
        StartProgram(path.c_str(), {}, folder.empty() ? u"/" : folder.c_str());
    WriteLog("CSystemSetDlg::RunCalibration(): %s -> %d", plat::Utf16ToUtf8(path).c_str(),
             static_cast<int>(pid));
    if (pid <= 0 || !m_pOwner)
        return;
    m_pOwner->m_bLaunched = 1;
    m_pOwner->ShowExpanded(false);
}

#include "apps/phone/Phone.h"

#include <algorithm>
#include <condition_variable>
#include <cstring>
#include <mutex>
#include <vector>

#include "core/kernel/HWAudio.h"
#include "core/kernel/Kernel.h"
#include "core/kernel/Language.h"
#include "core/kernel/ProcessUtil.h"
#include "core/kernel/LogWriter.h"
#include "core/shell/SeatCtrlDlg.h"
#include "core/ui/MessageDlg.h"
#include "core/ui/PageSetup.h"
#include "core/ui/WindowMessages.h"
#include "library/include/IKvButton.h"
#include "library/include/IKvImage.h"
#include "library/include/IKvListbox.h"
#include "library/include/IKvText.h"
#include "library/include/Vantrel.h"
#include "platform/gfx/Canvas.h"
#include "platform/sys/Clock.h"
#include "platform/text/Text.h"

using KvUserInterface::BUTTON_DISABLED;
using KvUserInterface::IKvButton;
using KvUserInterface::IKvText;

namespace {

const char16_t* const kButtonNames[PH_BUTTON_COUNT] = {
    u"Vol-Add",    u"Vol-Icon",   u"Vol-Del",       u"Ret-Menu",    u"Phone-Entry",  u"Skype",
    u"BT-Pair",    u"BT-Connect", u"BT-Disconnect", u"Switch-Cell", u"Phonebook",    u"REC",
    u"Dial",       u"Hang",       u"Digit-0",       u"Digit-1",     u"Digit-2",      u"Digit-3",
    u"Digit-4",    u"Digit-5",    u"Digit-6",       u"Digit-7",     u"Digit-8",      u"Digit-9",
    u"Digit-star", u"Digit-well", u"Digit-memory",  u"Digit-space", u"Digit-redial", u"Digit-back",
};

const char16_t* const kEditorButtonNames[PH_EDITOR_COUNT] = {u"Kb_name", u"Kb_number", u"Save",
                                                             u"Exit", u"Del"};

constexpr uint8_t kCaptionAlign = 0x26;
constexpr uint32_t kSecondMs = 1000;
constexpr uint32_t kFiveSecondsMs = 5000;
constexpr uint32_t kPairCloseMs = 1000;
constexpr uint32_t kRepeatMs = 251;
constexpr int kNumberWidth = 300;
constexpr int kNeedPairWidth = 500;
constexpr const char* kPortName = "com4";
constexpr uint32_t kDownloadStepMs = 250;
constexpr size_t kShortestNumber = 6;
constexpr int kDownloadReadsPerStep = 128;
constexpr int kRowRecordBytes = 1548;
constexpr uint32_t kInfoDefaultMs = 5000;
constexpr uint32_t kIncomingPopUpMs = 30000;

using pageui::ReleaseAndClear;

std::u16string TextOf(IKvText* text) {
    char16_t* out = nullptr;
    if (!text || text->GetText(&out) != RZ_OK || !out)
        return std::u16string();
    return out;
}

// `from` into a field of PH_TEXT_CHARS, cut to fit.
void CopyField(char16_t (&to)[PH_TEXT_CHARS], const char16_t* from) {
    size_t n = 0;
    while (from && n + 1 < PH_TEXT_CHARS && from[n]) {
        to[n] = from[n];
        ++n;
    }
    to[n] = 0;
}

size_t Length(const char16_t* s) {
    size_t n = 0;
    while (s[n])
        ++n;
    return n;
}

// The first run of decimal digits of a caller id, cut to a text field.
std::u16string FirstDigits(const char16_t* id) {
    std::u16string out;
    size_t i = 0;
    while (id[i] && !(id[i] >= u'0' && id[i] <= u'9'))
        ++i;
    while (id[i] >= u'0' && id[i] <= u'9' && out.size() + 1 < PH_TEXT_CHARS)
        out.push_back(id[i++]);
    return out;
}

void SelectMixer(int source) {
    if (CHWAudioHolder* holder = CHWAudioHolder::GetInstance()) {
        if (holder->m_pAudio[1])
            holder->m_pAudio[1]->SelectSource(source, false);
    }
}

// The seat reads it when it switches pages: the 5.1 priority that was on when the phone page
// was last shown is kept.
bool Keeps51(CVelkoraAppDlg* phone) {
    const CPhone* page = dynamic_cast<CPhone*>(phone);
    return page && page->Keep51();
}

}  // namespace

CPhone::CPhone() : m_pLink(std::make_shared<CUiLink>()) {
    CSeatCtrlDlg::Hooks().pfnKeep51 = &Keeps51;
}

CPhone::~CPhone() {
    StopInfo();
    ReleaseObjects();
    if (m_bySeat == 0 && m_bSkinned)
        GetBTModule().ClosePort();
}

void CPhone::ReleaseObjects() {
    ReleaseAndClear(m_pButtons);
    ReleaseAndClear(m_pStateText);
    ReleaseAndClear(m_pNumberText);
    ReleaseAndClear(m_pCallLabel);
    ReleaseAndClear(m_pDigitDisplay);
    ReleaseAndClear(m_pListbox);
    ReleaseAndClear(m_pEditorButtons);
    ReleaseAndClear(m_pLabels);
    ReleaseAndClear(m_pNameEdit);
    ReleaseAndClear(m_pNumberEdit);
    m_pMuteButton = nullptr;
}

IKvButton* CPhone::Button(int index) const {
    if (index >= 0 && index < PH_BUTTON_COUNT)
        return m_pButtons[index];
    if (index >= PH_EDITOR_FIRST && index < PH_EDITOR_FIRST + PH_EDITOR_COUNT)
        return m_pEditorButtons[index - PH_EDITOR_FIRST];
    return nullptr;
}

std::u16string CPhone::NameEdit() const {
    return TextOf(m_pNameEdit);
}

std::u16string CPhone::NumberEdit() const {
    return TextOf(m_pNumberEdit);
}

plat::Rect CPhone::RowRect(int index) const {
    plat::Rect r{};
    if (m_pListbox[0])
        m_pListbox[0]->GetItemRect(index, &r);
    return r;
}

int CPhone::ListSelection() const {
    int index = -1;
    if (m_pListbox[0])
        m_pListbox[0]->GetCurrentIndex(&index);
    return index;
}

std::u16string CPhone::NumberText() const {
    return TextOf(m_pNumberText);
}

std::u16string CPhone::StateText() const {
    return TextOf(m_pStateText);
}

std::u16string CPhone::CallLabel() const {
    return m_pCallLabel && m_pCallLabel->IsVisible() == 1 ? TextOf(m_pCallLabel) : std::u16string();
}

const char16_t* CPhone::Text(int id) const {
    CKernel* kernel = CKernel::Instance();
    return kernel ? kernel->m_Language[id] : u"";
}

// ---- Skin --------------------------------------------------------------------------------

bool CPhone::LoadSkin() {
    const uint32_t started = plat::GetTickCount();
    ReleaseObjects();
    if (!CVelkoraAppDlg::LoadSkin())
        return false;
    CKernel* kernel = CKernel::Instance();
    if (!kernel || !kernel->m_pRoot)
        return false;
    const bool front = m_bySeat == 0;
    const std::u16string folder = SkinPath(u"phone");
    const std::u16string ini = SkinPath(u"phone\\phone.ini");

    ReleaseAndClear(m_pBackground);
    if (!pageui::LoadBackground(m_pBackground, ini, folder))
        return false;
    const char16_t* section = front ? u"Buttons" : u"Rear Buttons";
    for (int i = 0; i < PH_BUTTON_COUNT; ++i) {
        m_pButtons[i] = pageui::NewButton(ini, section, kButtonNames[i], folder, kCaptionAlign);
        if (!m_pButtons[i])
            return false;
    }
    pageui::UseMuteButton(this, m_pButtons[PH_VOL_ICON]);
    m_pListbox[0] = pageui::NewListbox(ini, front ? u"Left Listbox" : u"Rear Left", folder);
    if (!m_pListbox[0])
        return false;
    m_pDigitDisplay =
        LoadImage(folder + (front ? u"\\digit-display.png" : u"\\digit-displayr.png"));
    if (!m_pDigitDisplay)
        return false;
    m_pStateText = pageui::NewText(10, 30, 300, 36, 12, 0, 255, 255);
    m_pNumberText = pageui::NewText(290, 95, kNumberWidth, 36, 20, 255, 0, 0);
    m_pCallLabel = pageui::NewText(620, 105, 100, 30, 12, 255, 0, 0);
    if (!m_pStateText || !m_pNumberText || !m_pCallLabel)
        return false;
    // The editor: its labels and fields over the keypad's place, its buttons from the same file.
    m_pLabels[0] = pageui::NewText(280, 142, 120, 35, 14, 232, 238, 244);
    m_pLabels[1] = pageui::NewText(280, 220, 120, 35, 14, 232, 238, 244);
    m_pNameEdit = pageui::NewText(413, 142, 274, 35, 16, 232, 238, 244);
    m_pNumberEdit = pageui::NewText(413, 220, 274, 35, 16, 232, 238, 244);
    if (!m_pLabels[0] || !m_pLabels[1] || !m_pNameEdit || !m_pNumberEdit)
        return false;
    m_pLabels[0]->SetText(u"Name:");
    m_pLabels[1]->SetText(u"Number:");
    for (int i = 0; i < PH_EDITOR_COUNT; ++i) {
        m_pEditorButtons[i] =
            pageui::NewButton(ini, u"Editor", kEditorButtonNames[i], folder, kCaptionAlign);
        if (!m_pEditorButtons[i])
            return false;
    }
    SetEditMode(false);
    m_pCallLabel->Show(0);
    WriteLog("CPhone: %lld ms", static_cast<long long>(plat::GetTickCount() - started));
    return true;
}

bool CPhone::SetSkin(uint8_t seat, plat::ui::WindowId mainWnd, uint8_t appType) {
    const uint32_t started = plat::GetTickCount();
    CVelkoraAppDlg::SetSkin(seat, mainWnd, appType);
    for (int attempt = 0; attempt < 3 && !m_bSkinned; ++attempt)
        m_bSkinned = LoadSkin();
    WriteLog("CPhone::SetSkin(): %lld ms", static_cast<long long>(plat::GetTickCount() - started));
    if (!m_bSkinned) {
        ReleaseObjects();
        return false;
    }
    CBTModule& bt = GetBTModule();
    if (seat == 0 && !bt.IsComReady()) {
        if (bt.Initialize(kPortName)) {
            m_byBTState = PH_BT_NOT_PAIRED;
            bt.Send("j4");
            WriteLog("m_BTmodule.Send( j4 ) first time");
        }
        WriteLog("m_BTmodule.Initialize(com%c): bComReady(%d)", '4', bt.IsComReady() ? 1 : 0);
    }
    UpdateCallButtons();
    return true;
}

// ---- Show --------------------------------------------------------------------------------

void CPhone::Show(bool visible, uint8_t param) {
    if (visible && m_bSkinned) {
        CKernel* kernel = CKernel::Instance();
        if (!m_iDownloadKind)
            m_pButtons[PH_PHONEBOOK]->SetNormal();
        // A running download holds entries not yet written.
        if (!m_iDownloadKind)
            FillPhonebookRows();
        SelectMixer(9);
        if (kernel) {
            m_bMute = kernel->m_bMute.load();
            m_pButtons[PH_VOL_ICON]->SetFrame(m_bMute ? 1 : 0);
        }
        UpdateVolume(false);
        plat::ui::SendMessage(m_hMainWnd, WM_PAUSE_MEDIA, m_bySeat, 0);
        TakeKeyboardResult();
        CBTModule& bt = GetBTModule();
        // A ringing phone keeps the caller's number the tick just put there.
        if (!bt.IsCallActive() && !bt.IsRinging()) {
            if (m_pListbox[0])
                m_pListbox[0]->SetCurrentIndex(-1);
            m_szNumber[0] = 0;
            SetNumberText(u"");
        }
        m_pButtons[PH_BT_CONNECT]->Show(bt.IsConnected() ? 0 : 1);
        m_pButtons[PH_BT_DISCONNECT]->Show(bt.IsConnected() ? 1 : 0);
        WriteLog("BT: paired? %d, connected? %d", bt.IsPaired() ? 1 : 0, bt.IsConnected() ? 1 : 0);
        UpdateCallButtons();
        m_bKeep51 = kernel && kernel->m_Settings.i51Priority == 1;
        WriteLog("Phone: Keep the 5.1 status: %d", m_bKeep51 ? 1 : 0);
    }
    CVelkoraAppDlg::Show(visible, param);
}

void CPhone::UpdateCallButtons() {
    if (!m_bSkinned)
        return;
    CBTModule& bt = GetBTModule();
    auto enable = [](IKvButton* b, bool on) {
        uint8_t state = 0;
        b->GetState(&state);
        if (!on)
            b->Disable();
        else if (state == BUTTON_DISABLED)
            b->SetNormal();
    };
    const bool connected = bt.IsComReady() && bt.IsConnected();
    for (int i = PH_BT_PAIR; i < PH_BUTTON_COUNT; ++i)
        enable(m_pButtons[i], connected && !(i == PH_PHONEBOOK && m_iDownloadKind));
    if (!connected) {
        enable(m_pButtons[PH_BT_PAIR], true);
        enable(m_pButtons[PH_BT_CONNECT], bt.IsComReady() && bt.IsPaired());
    } else {
        enable(m_pButtons[PH_BT_PAIR], false);
    }
}

void CPhone::SetNumberText(const char16_t* text) {
    if (m_pNumberText)
        m_pNumberText->SetText(text);
}

void CPhone::SetTyped(const char16_t* text) {
    CopyField(m_szNumber, text);
    SetNumberText(m_szNumber);
}

// ---- Calls -------------------------------------------------------------------------------

void CPhone::HandleDial() {
    WriteLog("CPhone::HandleDial()");
    CBTModule& bt = GetBTModule();
    if (!bt.IsComReady() || !bt.IsConnected())
        return;
    if (bt.IsRinging()) {
        bt.Send("a");
        m_iCallSeconds = 0;
        if (m_pCallLabel)
            m_pCallLabel->Show(1);
        m_bInCall = true;
        return;
    }
    if (bt.IsCallActive())
        return;
    // Only printable characters go to the module: a control character in a stored number
    // would end the command early and start another.
    std::string command = "d";
    for (const char16_t* p = m_szNumber; *p; ++p) {
        if (*p > 0x20 && *p < 0x7F)
            command.push_back(static_cast<char>(*p));
    }
    if (command.size() == 1)
        return;
    m_szDtmf[0] = 0;
    bt.Send(command.c_str());
    m_iCallSeconds = 0;
    if (m_pCallLabel)
        m_pCallLabel->Show(1);
}

void CPhone::PressDigit(char16_t c) {
    if (m_pListbox[0])
        m_pListbox[0]->SetCurrentIndex(-1);
    CBTModule& bt = GetBTModule();
    if (bt.IsCallActive()) {
        // Every tone goes out; the text keeps the newest that fit.
        size_t n = Length(m_szDtmf);
        if (n + 1 >= PH_TEXT_CHARS) {
            std::memmove(m_szDtmf, m_szDtmf + 1, (n - 1) * sizeof(char16_t));
            --n;
        }
        m_szDtmf[n] = c;
        m_szDtmf[n + 1] = 0;
        SetNumberText(m_szDtmf);
        const char tone[3] = {'k', static_cast<char>(c), 0};
        bt.Send(tone);
        return;
    }
    const size_t n = Length(m_szNumber);
    if (n >= PH_NUMBER_DIGITS)
        return;
    m_szNumber[n] = c;
    m_szNumber[n + 1] = 0;
    SetNumberText(m_szNumber);
}

namespace {

// A pop-up of the module's link: its mode, time-out, picture, text and one button (0..3).
INFODLG_RECORD LinkRequest(uint8_t mode, uint32_t timeoutMs, const char16_t* picture,
                           const char16_t* text, int button, const char16_t* buttonImage) {
    INFODLG_RECORD request;
    std::memset(&request, 0, sizeof request);
    request.byUser1 = mode;
    request.dwUser = timeoutMs;
    static const uint8_t kButtonFlags[4] = {INFODLG_BUTTON1, INFODLG_BUTTON2, INFODLG_BUTTON3,
                                            INFODLG_BUTTON4};
    request.byFlags = kButtonFlags[button] | INFODLG_SHOW_TEXT | INFODLG_SHOW_PICTURE;
    plat::StrCopy(request.szPicture, CInfoDialog::SkinFile(picture));
    plat::StrCopy(request.szText, text);
    plat::StrCopy(request.szButton[button], CInfoDialog::SkinFile(buttonImage));
    return request;
}

constexpr uint32_t kPairPopUpMs = 60000;

}  // namespace

void CPhone::Pair() {
    CBTModule& bt = GetBTModule();
    // Without a port there is nothing to search with, and a pop-up waiting a minute for it
    // would only hide the page.
    if (!bt.IsComReady() || m_dwPairCloseAt)
        return;
    // The pop-up waits for the link (or its own button); the tick closes it when the phone
    // connects.
    StartInfo(LinkRequest(PH_INFO_CONNECT, kPairPopUpMs, u"info-img-waiting.gif",
                          Text(MSG_BT_SEARCHING), 3, u"info-btn-no.png"));
    SendPairing();
}

void CPhone::SendPairing() {
    CBTModule& bt = GetBTModule();
    if (!bt.IsComReady() || m_dwPairCloseAt)
        return;
    WriteLog("CPhone::_SendBTCmdP()");
    bt.Send("p");
    // The module restarts its link after pairing: the port is closed a second later and the
    // tick opens it again.
    m_dwPairCloseAt = plat::GetTickCount() + kPairCloseMs;
    if (!m_dwPairCloseAt)
        m_dwPairCloseAt = 1;
}

void CPhone::Connect() {
    CBTModule& bt = GetBTModule();
    StartInfo(LinkRequest(PH_INFO_CONNECT, kInfoDefaultMs, u"info-img-waiting.gif",
                          Text(MSG_BT_CONNECTING), 3, u"info-btn-no.png"));
    bt.Send("c1");
    bt.Send("x1");
}

void CPhone::Disconnect() {
    CBTModule& bt = GetBTModule();
    bt.Send("c0");
    bt.Send("x0");
    StartInfo(LinkRequest(PH_INFO_DISCONNECT, kInfoDefaultMs, u"info-img-info.jpg",
                          Text(MSG_BT_DISCONNECT_DEVICE), 2, u"info-btn-yes.png"));
}

void CPhone::RunAction(int action) {
    CBTModule& bt = GetBTModule();
    switch (action) {
        case PH_VOL_ADD:
            StepVolume(1, m_pButtons[PH_VOL_ICON], this);
            break;
        case PH_VOL_ICON:
            StepVolume(0, m_pButtons[PH_VOL_ICON], this);
            break;
        case PH_VOL_DEL:
            StepVolume(-1, m_pButtons[PH_VOL_ICON], this);
            break;
        case PH_RET_MENU:
            SelectMixer(0);
            OnBack();
            plat::ui::SendMessage(m_hMainWnd, WM_SWITCH_APP, m_bySeat, 0);
            break;
        case PH_BT_PAIR:
            Pair();
            break;
        case PH_BT_CONNECT:
            Connect();
            break;
        case PH_BT_DISCONNECT:
            Disconnect();
            break;
        case PH_SWITCH_CELL:
            if (bt.IsConnected())
                bt.Send("t");
            break;
        case PH_PHONEBOOK:
            RequestPhonebook(3);
            break;
        case PH_REC:
            // Starting and stopping go on without the page: it shows a recording once the
            // input sounds (OnTick), and the button stays as it is until then.
            m_Recorder.OnRecButton();
            m_pButtons[PH_REC]->SetNormal();
            break;
        case PH_SKYPE:
            StartMessaging();
            break;
        case PH_PHONE_ENTRY:
            OpenEntry();
            break;
        case PH_DIGIT_MEMORY:
            NewEntry();
            break;
        case PH_KB_NAME:
            AskKeyboard(PH_KB_REQUEST_NAME);
            break;
        case PH_KB_NUMBER:
            AskKeyboard(PH_KB_REQUEST_NUMBER);
            break;
        case PH_SAVE:
            SaveEntry();
            break;
        case PH_EXIT:
            OnBack();
            break;
        case PH_DEL:
            DeleteEntry();
            break;
        case PH_DIAL:
        case PH_DIGIT_REDIAL:
            HandleDial();
            break;
        case PH_HANG:
            bt.Send("h");
            break;
        case PH_DIGIT_STAR:
            PressDigit(u'*');
            break;
        case PH_DIGIT_WELL:
            PressDigit(u'#');
            break;
        case PH_DIGIT_SPACE:
            if (!bt.IsCallActive()) {
                m_szNumber[0] = 0;
                SetNumberText(m_szNumber);
            }
            break;
        case PH_DIGIT_BACK:
            if (!bt.IsCallActive()) {
                const size_t n = Length(m_szNumber);
                if (n)
                    m_szNumber[n - 1] = 0;
                SetNumberText(m_szNumber);
            }
            break;
        default:
            if (action >= PH_DIGIT_0 && action <= PH_DIGIT_0 + 9)
                PressDigit(static_cast<char16_t>(u'0' + action - PH_DIGIT_0));
            break;
    }
}

void CPhone::StartMessaging() {
    CKernel* kernel = CKernel::Instance();
    if (!kernel)
        return;
    const std::u16string path = kernel->m_AppPaths.szPath[APP_PATH_SKYPE];
    if (path.empty()) {
        MessageDlg dlg(OwnerWindow());
        dlg.SetText(Text(MSG_PATH_EMPTY));
        dlg.DoModal();
        return;
    }
    // The program runs in its own folder; a bare name has none and is not started.
    const size_t cut = path.find_last_of(u"\\/");
    if (cut == std::u16string::npos)
        return;
    const std::u16string folder = path.substr(0, cut);
    const plat::ProcessId pid =
        StartProgram(path.c_str(), {}, folder.empty() ? u"/" : folder.c_str());
    WriteLog("CPhone: messaging program -> %d", static_cast<int>(pid));
    if (pid > 0 && m_pOwner)
        m_pOwner->ShowExpanded(false);
}

// ---- Tick --------------------------------------------------------------------------------

void CPhone::OnTick() {
    CVelkoraAppDlg::OnTick();
    if (!m_bSkinned)
        return;
    const uint32_t now = plat::GetTickCount();
    CBTModule& bt = GetBTModule();
    if (m_dwPairCloseAt && static_cast<int32_t>(now - m_dwPairCloseAt) >= 0) {
        m_dwPairCloseAt = 0;
        bt.Poll();
        bt.CloseHandle();
    }
    bool repaint = false;
    if (now - m_dwLastTick > kSecondMs) {
        m_dwLastTick = now;
        SecondPass(now);
        repaint = m_bVisible != 0;
    }
    if (now - m_dwLast250 > kDownloadStepMs) {
        m_dwLast250 = now;
        StoreDownloadedEntries();
    }
    repaint = TakeRecorderNews() || repaint;
    if (now - m_dwLastCallTick > kSecondMs && m_pCallLabel)
        m_pCallLabel->Show(0);
    if (m_bPenDown && (m_byPressedIdx == PH_VOL_ADD || m_byPressedIdx == PH_VOL_DEL) &&
        now - m_dwLastRepeat >= kRepeatMs) {
        m_dwLastRepeat = now;
        if (++m_iRepeatCount >= 2) {
            StepVolume(m_byPressedIdx == PH_VOL_ADD ? 1 : -1, m_pButtons[PH_VOL_ICON], this);
            repaint = m_bVisible != 0;
        }
    }
    if (repaint)
        InvalidateOwner();
}

bool CPhone::TakeRecorderNews() {
    bool changed = false;
    for (CCallRecorder::Event e = m_Recorder.Poll(); e != CCallRecorder::Event::None;
         e = m_Recorder.Poll()) {
        if (e == CCallRecorder::Event::InitFailed)
            m_bRecorderFailed = true;
        changed = true;
    }
    if (changed)
        m_pButtons[PH_REC]->SetNormal();
    return changed && m_bVisible;
}

void CPhone::SecondPass(uint32_t now) {
    CBTModule& bt = GetBTModule();
    const bool front = m_bySeat == 0;
    if (front && !bt.IsComReady() && !m_dwPairCloseAt) {
        if (bt.Initialize(kPortName)) {
            bt.Send("j4");
            WriteLog("try com port(%c) for BT successfully(%d)...", '4', 1);
        }
    }
    bt.Poll();
    const uint8_t before = m_byBTState;
    if (!bt.IsComReady())
        m_byBTState = PH_BT_NO_MODULE;
    else if (!bt.IsPaired())
        m_byBTState = PH_BT_NOT_PAIRED;
    else
        m_byBTState = PH_BT_PAIRED + (bt.IsConnected() ? 1 : 0);

    if (m_bVisible) {
        UpdateCallButtons();
        if (before == PH_BT_NOT_PAIRED && m_byBTState != PH_BT_NOT_PAIRED) {
            SetNumberText(u"");
            m_pNumberText->SetRect(290, 95, kNumberWidth, 36);
        }
        switch (m_byBTState) {
            case PH_BT_NO_MODULE:
                m_pStateText->SetText(Text(MSG_BT_NODEVICE));
                break;
            case PH_BT_NOT_PAIRED:
                m_pStateText->SetText(Text(MSG_BT_UNPAIRED));
                m_pNumberText->SetRect(290, 95, kNeedPairWidth, 36);
                SetNumberText(Text(MSG_BT_NEED_PAIR));
                break;
            case PH_BT_PAIRED:
                m_pStateText->SetText(Text(MSG_BT_DISCONNECTED));
                break;
            default:
                m_pStateText->SetText(Text(MSG_BT_CONNECTED));
                // The link is up: the pop-up waiting for it has served.
                if (before != PH_BT_CONNECTED && m_InfoSlot.SetExit())
                    WriteLog("m_pInfoDlg->SetExit()-1");
                break;
        }
        m_pButtons[PH_BT_CONNECT]->Show(bt.IsConnected() ? 0 : 1);
        m_pButtons[PH_BT_DISCONNECT]->Show(bt.IsConnected() ? 1 : 0);
    }

    if (m_Recorder.m_bRecording) {
        m_Recorder.OnSecond();
        if (m_Recorder.m_bRecording && m_Recorder.m_bBlink)
            m_pButtons[PH_REC]->SetHighlighted();
        else
            m_pButtons[PH_REC]->SetNormal();
    }
    if (bt.IsCallActive()) {
        m_bInCall = true;
        if (m_bVisible && m_pCallLabel) {
            const int s = m_iCallSeconds;
            m_pCallLabel->SetText(
                plat::FormatStr(u"%02d:%02d:%02d", s / 3600, s / 60 % 60, s % 60).c_str());
            m_pCallLabel->Show(1);
        }
        ++m_iCallSeconds;
        m_dwLastCallTick = now;
    } else {
        m_bInCall = false;
    }

    if (front && bt.IsRinging()) {
        IncomingCall();
    } else if (front && !bt.IsCallActive()) {
        // The caller gave up: the question goes with the ring.
        if (m_bPrevRinging && m_InfoSlot.SetExit())
            WriteLog("m_pInfoDlg->SetExit()-2");
        CallGone();
    }
    m_bPrevRinging = bt.IsRinging();
    m_bInfoDone = false;

    if (now - m_dwLast5s > kFiveSecondsMs && bt.IsComReady()) {
        m_dwLast5s = now;
        // The module's restart alone: nobody asked, so no pop-up waits for it.
        if (bt.IsPaired() && bt.IsNoAnswer())
            SendPairing();
        bt.Send("j4");
    }
}

void CPhone::IncomingCall() {
    CBTModule& bt = GetBTModule();
    const std::u16string number = FirstDigits(bt.CallerId());
    if (!number.empty())
        SetTyped(number.c_str());
    else
        SetNumberText(Text(MSG_MSG_UNKNOWN));
    if (m_pCallLabel) {
        m_pCallLabel->SetText(Text(MSG_BT_CALLING));
        m_pCallLabel->Show(1);
    }
    if (m_pListbox[0])
        m_pListbox[0]->SetCurrentIndex(-1);
    m_dwLastCallTick = plat::GetTickCount();
    if (!m_bVisible && m_pOwner) {
        // The call takes the front seat: screen on, the seat expanded, the phone page up.
        if (m_pOwner->m_bScreenOff)
            m_pOwner->SetBacklight(true);
        if (CKernel* kernel = CKernel::Instance()) {
            if (kernel->m_iInputSource.load() == 18)
                kernel->InputSource(2);
        }
        m_pOwner->ShowExpanded(true);
        if (m_iAppBeforeCall < 0)
            m_iAppBeforeCall = m_pOwner->m_iCurrentApp;
        WriteLog("CPhone: the call takes the seat from %d", m_iAppBeforeCall);
        plat::ui::SendMessage(m_hMainWnd, WM_SWITCH_APP, m_bySeat, APPTYPE_PHONE);
    }
    // One accept/reject pop-up per ring: none while one is open or one has just been answered.
    if (m_InfoSlot.Get() || m_bInfoDone.load())
        return;
    INFODLG_RECORD request;
    std::memset(&request, 0, sizeof request);
    request.byUser1 = PH_INFO_INCOMING;
    request.dwUser = kIncomingPopUpMs;
    request.byFlags = INFODLG_BUTTON1 | INFODLG_BUTTON2 | INFODLG_SHOW_TEXT | INFODLG_SHOW_PICTURE;
    plat::StrCopy(request.szPicture, CInfoDialog::SkinFile(u"info-img-phone.jpg"));
    // A caller without a number leaves the second line empty; the page's own text says unknown.
    plat::StrCopy(request.szText, std::u16string(Text(MSG_BT_CALLING_NUMBER)) + u"\r\n" + number);
    plat::StrCopy(request.szButton[0], CInfoDialog::SkinFile(u"info-btn-accept.png"));
    plat::StrCopy(request.szButton[1], CInfoDialog::SkinFile(u"info-btn-reject.png"));
    StartInfo(request);
}

void CPhone::CallGone() {
    if (m_iAppBeforeCall < 0)
        return;
    const int app = m_iAppBeforeCall;
    m_iAppBeforeCall = -1;
    WriteLog("CPhone: the call is over, back to %d", app);
    plat::ui::SendMessage(m_hMainWnd, WM_SWITCH_APP, m_bySeat, (APPTYPE_PHONE << 16) + app);
}

// ---- Pop-ups ------------------------------------------------------------------------------

void CPhone::StartInfo(const INFODLG_RECORD& request) {
    if (!m_pLink->Alive())
        return;
    // One pop-up at a time: the open one closes through its exit flag, and the new thread
    // waits for the old one before its own pop-up runs.
    m_InfoSlot.SetExit();
    const uint32_t timeout = request.dwUser ? request.dwUser : kInfoDefaultMs;
    const plat::ui::WindowId parent =
        request.byUser1 == PH_INFO_INCOMING ? m_hMainWnd : OwnerWindow();
    std::shared_ptr<CInfoDialog> dialog = m_InfoSlot.Open(static_cast<int>(timeout), parent);
    dialog->SetInfo(&request);
    std::thread previous = std::move(m_InfoThread);
    m_InfoThread =
        std::thread(&CPhone::ThreadProcInfo, this, request, dialog, parent, std::move(previous));
}

int CPhone::RunPopUp(const std::shared_ptr<CInfoDialog>& dialog) {
    int result = IDCANCEL;
    if (!m_pLink->Call([&] {
            ++m_iPopUpsShowing;
            ++m_iPopUpsShown;
            result = dialog->DoModal();
            --m_iPopUpsShowing;
        }))
        return IDCANCEL;
    return result;
}

void CPhone::ThreadProcInfo(INFODLG_RECORD request, std::shared_ptr<CInfoDialog> dialog,
                            plat::ui::WindowId parent, std::thread previous) {
    if (previous.joinable())
        previous.join();
    const uint8_t mode = request.byUser1;
    // A request closed before it ran (a newer one, or the page going) shows nothing.
    const int result = dialog->IsExitRequested() ? IDCANCEL : RunPopUp(dialog);
    if (mode == PH_INFO_CONNECT) {
        bool connected = false;
        m_pLink->Call([&] {
            connected = GetBTModule().IsConnected();
            if (connected)
                UpdateCallButtons();
        });
        if (!connected && result != INFODLG_RESULT_BUTTON4 && !dialog->IsExitRequested()) {
            INFODLG_RECORD fail;
            std::memset(&fail, 0, sizeof fail);
            fail.byFlags = INFODLG_BUTTON3 | INFODLG_SHOW_TEXT | INFODLG_SHOW_PICTURE;
            plat::StrCopy(fail.szPicture, CInfoDialog::SkinFile(u"info-img-info.jpg"));
            plat::StrCopy(fail.szButton[2], CInfoDialog::SkinFile(u"info-btn-yes.png"));
            std::shared_ptr<CInfoDialog> failDialog;
            m_pLink->Call([&] {
                plat::StrCopy(fail.szText, Text(MSG_BT_CONNECT_FAIL));
                // Only a pop-up that is still this thread's own is replaced.
                if (m_InfoSlot.Get() == dialog) {
                    failDialog = m_InfoSlot.Open(static_cast<int>(kInfoDefaultMs), parent);
                    failDialog->SetInfo(&fail);
                }
            });
            if (failDialog) {
                RunPopUp(failDialog);
                dialog = failDialog;
            }
        }
    } else if (mode == PH_INFO_INCOMING) {
        // What the user chose reaches the page on its own thread, as a tap on Dial or Hang.
        m_pLink->Call([&] {
            if (result == INFODLG_RESULT_BUTTON1) {
                m_byPressedIdx = PH_DIAL;
                m_byPendingAction = PH_DIAL;
                WriteLog("Lef:t pDlg->HandleDial() in thread");
            } else if (result == INFODLG_RESULT_BUTTON2) {
                m_byPressedIdx = PH_HANG;
                m_byPendingAction = PH_HANG;
                WriteLog("Right: pDlg->HandleHang() in thread");
            } else {
                WriteLog("default(%d): nothing in thread", result);
            }
            m_bInfoDone = true;
            InvalidateOwner();
        });
    }
    m_InfoSlot.Release(dialog);
    WriteLog("===> ThreadProcInfo() done");
}

void CPhone::StopInfo() {
    m_InfoSlot.SetExit();
    m_pLink->Close();
    if (m_InfoThread.joinable())
        m_InfoThread.join();
}

// ---- Pen and paint -----------------------------------------------------------------------

void CPhone::OnLButtonDown(int x, int y) {
    if (!m_bSkinned)
        return;
    m_bPenDown = 1;
    m_ptHeld = plat::Point{x, y};
    m_iRepeatCount = 0;
    m_dwLastRepeat = plat::GetTickCount();
    for (int i = 0; i < PH_EDITOR_FIRST + PH_EDITOR_COUNT; ++i) {
        IKvButton* b = Button(i);
        if (b && b->OnLButtonDown(x, y) == RZ_HIT) {
            m_byPressedIdx = static_cast<uint8_t>(i);
            InvalidateOwner();
            return;
        }
    }
    if (m_pListbox[0]) {
        uint8_t action = 0;
        m_pListbox[0]->OnLButtonDown(x, y, &action);
        // A tap on a row takes its number.
        if (action == KvUserInterface::LISTBOX_ACTION_ROW)
            TakeRow(ListSelection());
    }
    InvalidateOwner();
}

void CPhone::OnLButtonUp(int x, int y) {
    if (!m_bSkinned) {
        LeaveWithoutSkin();
        return;
    }
    m_bPenDown = 0;
    int released = -1;
    for (int i = 0; i < PH_EDITOR_FIRST + PH_EDITOR_COUNT && released < 0; ++i) {
        IKvButton* b = Button(i);
        if (b && b->OnLButtonUp(x, y) == RZ_HIT)
            released = i;
    }
    if (released >= 0 && released == m_byPressedIdx) {
        m_byPendingAction = static_cast<uint8_t>(released);
    } else if (IKvButton* previous = Button(m_byPressedIdx)) {
        uint8_t state = 0;
        previous->GetState(&state);
        if (state != BUTTON_DISABLED)
            previous->SetNormal();
        m_byPressedIdx = 255;
    }
    if (released < 0 && m_pListbox[0]) {
        uint8_t action = 0;
        m_pListbox[0]->OnLButtonUp(x, y, &action);
    }
    InvalidateOwner();
}

void CPhone::Render(plat::Canvas* hdc) {
    if (!m_bSkinned) {
        RenderWithoutSkin(hdc);
        return;
    }
    // The base draws the volume number and sets the mute button from the kernel's mute.
    CVelkoraAppDlg::Render(hdc);
    for (IKvButton* b : m_pButtons)
        b->Draw(hdc, 0, 0);
    // The editor's field buttons are the fields' frames: their texts go over them.
    for (IKvButton* b : m_pEditorButtons)
        b->Draw(hdc, 0, 0);
    for (IKvText* t : {m_pLabels[0], m_pLabels[1], m_pNameEdit, m_pNumberEdit}) {
        if (t->IsVisible() == 1)
            t->Draw(hdc);
    }
    if (m_pListbox[0])
        m_pListbox[0]->Draw(hdc);
    m_pStateText->Draw(hdc);
    if (!m_bEditMode)
        m_pDigitDisplay->Draw(hdc, 270, 83, 0, 0);
    if (m_pNumberText->IsVisible() == 1)
        m_pNumberText->Draw(hdc);
    m_pCallLabel->Draw(hdc);

    if (m_bRecorderFailed) {
        m_bRecorderFailed = false;
        plat::ui::MessageBox(m_hMainWnd, u"Audio cap initialize fail", u"", plat::ui::kMbIconError);
    }
    if (m_byPendingAction != 255) {
        const int action = m_byPendingAction;
        m_byPendingAction = 255;
        if (IKvButton* b = Button(action)) {
            uint8_t state = 0;
            b->GetState(&state);
            if (state != BUTTON_DISABLED)
                b->SetNormal();
        }
        RunAction(action);
        if (!m_bPenDown)
            m_byPressedIdx = 255;
        InvalidateOwner();
    }
}

// ---- Phone book --------------------------------------------------------------------------

int CPhone::ListCount() const {
    int n = 0;
    if (m_pListbox[0])
        m_pListbox[0]->GetCount(&n);
    return n;
}

void CPhone::FillPhonebookRows() {
    m_Book.Load();
    KvUserInterface::IKvListbox* list = m_pListbox[0];
    if (!list)
        return;
    int selected = -1;
    list->GetCurrentIndex(&selected);
    list->RemoveAll();
    std::vector<uint8_t> row(kRowRecordBytes, 0);
    for (size_t i = 0; i < m_Book.Count(); ++i) {
        const PHONEBOOK_ENTRY& e = m_Book.At(i);
        std::fill(row.begin(), row.end(), 0);
        // kind 0 (a text row), then the name.
        std::memcpy(row.data() + 2, e.szName, sizeof e.szName);
        list->AddItem(e.szName, row.data(), kRowRecordBytes, nullptr);
    }
    list->SetCurrentIndex(selected >= 0 && static_cast<size_t>(selected) < m_Book.Count() ? selected
                                                                                          : -1);
}

void CPhone::LoadPhonebook() {
    FillPhonebookRows();
    // The last entry is chosen: its number is the one Dial takes. An empty book leaves the
    // refilled list without a selection.
    if (m_Book.Count() > 0)
        SelectRow(static_cast<int>(m_Book.Count()) - 1);
}

void CPhone::SavePhonebook() {
    if (m_Book.Count() > 0 && !m_Book.Save())
        WriteLog("CPhone: %s not written", PHONEBOOK_FILE);
}

void CPhone::TakeRow(int index) {
    if (index < 0 || static_cast<size_t>(index) >= m_Book.Count())
        return;
    SetTyped(m_Book.At(static_cast<size_t>(index)).szNumber);
}

void CPhone::RequestPhonebook(int kind) {
    CBTModule& bt = GetBTModule();
    if (!bt.IsComReady() || !bt.IsConnected())
        return;
    m_iDownloadKind = kind;
    bt.Send(kind == 2 ? "b02" : "b03");
    // The notice is the display's alone: the typed number stays what it was.
    SetNumberText(u"Waiting...");
    if (m_pCallLabel)
        m_pCallLabel->SetText(u"");
    m_pButtons[PH_PHONEBOOK]->Disable();
}

// One downloaded line into the book: 2 separators "B1<m><number>+x+<name>", 3 separators
// "B1<m>..+<number>+x+<name>"; the SIM's names carry a mark before them.
void CPhone::StoreLine(const BT_DOWNLOAD_ENTRY& entry, int index) {
    const char16_t* line = entry.szLine;
    size_t numberFrom;
    size_t numberTo;
    size_t nameFrom;
    if (entry.iSepCount == 2) {
        numberFrom = 3;
        numberTo = static_cast<size_t>(entry.iSepPos[0]) - 1;
        nameFrom = static_cast<size_t>(entry.iSepPos[1]);
    } else if (entry.iSepCount == 3) {
        numberFrom = static_cast<size_t>(entry.iSepPos[0]);
        numberTo = static_cast<size_t>(entry.iSepPos[1]) - 1;
        nameFrom = static_cast<size_t>(entry.iSepPos[2]);
    } else {
        WriteLog("index%2d: Not saved(cnt:%d)", index, entry.iSepCount);
        return;
    }
    const size_t length = Length(line);
    if (line[2] == u'2')
        ++nameFrom;
    std::u16string number;
    for (size_t i = numberFrom; i < numberTo && i < length; ++i) {
        // A control character in a number would end a dial command early.
        if (line[i] >= 0x20)
            number.push_back(line[i]);
    }
    const std::u16string name = nameFrom < length ? std::u16string(line + nameFrom) : u"";
    if (number.size() < kShortestNumber || name.empty())
        return;
    ++m_iDownloaded;
    if (m_Book.FindDouble(number) >= 0)
        return;
    if (m_Book.Full()) {
        WriteLog("CPhone: the phone book is full, entry %d not added", index);
        ++m_iRefused;
        return;
    }
    m_Book.Insert(name, number);
    // The entries move under an open editor: it closes rather than save over another entry.
    if (m_bEditMode)
        OnBack();
}

void CPhone::StoreDownloadedEntries() {
    if (!m_iDownloadKind)
        return;
    CBTModule& bt = GetBTModule();
    // The module's answer to the request is looked for at once, not at the next second pass.
    if (!bt.m_bDownloadStarted && bt.m_iDownloadState == BT_DOWNLOAD_IDLE)
        bt.Poll();
    if (bt.m_bDownloadStarted) {
        bt.m_bDownloadStarted = false;
        std::memset(bt.m_DownloadList, 0, sizeof bt.m_DownloadList);
        m_iDownloadHandled = 0;
        m_iDownloaded = 0;
        if (m_iDownloadKind == 3)
            m_iRefused = 0;
        bt.Send("b30");
    }
    if (bt.m_iDownloadState != BT_DOWNLOAD_LINES && bt.m_iDownloadState != BT_DOWNLOAD_DONE)
        return;
    // At the module's full speed a step brings many reads' worth: all that waits is taken
    // (within a bound that keeps the step short), not one read per step.
    // A read that finds nothing ends it (the second pass may just have taken everything).
    for (int round = 0; round < kDownloadReadsPerStep && bt.m_iDownloadState == BT_DOWNLOAD_LINES;
         ++round) {
        if (bt.Poll() <= 0)
            break;
    }
    // Every line that came since the last step, not only the newest: several arrive between
    // two steps at the module's speed.
    const int count = std::min(bt.m_iDownloadCount, BT_DOWNLOAD_MAX);
    for (; m_iDownloadHandled < count; ++m_iDownloadHandled)
        StoreLine(bt.m_DownloadList[m_iDownloadHandled], m_iDownloadHandled);
    if (bt.m_iDownloadState != BT_DOWNLOAD_DONE)
        return;
    bt.m_iDownloadState = BT_DOWNLOAD_IDLE;
    WriteLog("count:%d, index:%d", m_iDownloaded, count);
    const int kind = m_iDownloadKind;
    m_iDownloadKind = 0;
    SavePhonebook();
    LoadPhonebook();
    if (kind == 3) {
        RequestPhonebook(2);
        if (m_iDownloadKind)
            return;
    }
    m_pButtons[PH_PHONEBOOK]->SetNormal();
    // The first row is chosen, and its number with it, as a tap on it would.
    if (ListCount() > 0)
        SelectRow(0);
    else
        SetNumberText(m_szNumber);
    InvalidateOwner();
    if (m_iRefused > 0) {
        const int refused = m_iRefused;
        m_iRefused = 0;
        plat::ui::MessageBox(
            OwnerWindow(),
            plat::FormatStr(u"The phone book is full: %d entries were not added.", refused),
            u"Warning", plat::ui::kMbOk | plat::ui::kMbIconWarning);
    }
}

// ---- Phone-book editor ---------------------------------------------------------------------

void CPhone::SetEditMode(bool on) {
    m_bEditMode = on;
    for (int i = PH_DIGIT_0; i < PH_BUTTON_COUNT; ++i) {
        if (m_pButtons[i])
            m_pButtons[i]->Show(on ? 0 : 1);
    }
    for (IKvText* t : {m_pLabels[0], m_pLabels[1], m_pNameEdit, m_pNumberEdit}) {
        if (t)
            t->Show(on ? 1 : 0);
    }
    for (int i = 0; i < PH_EDITOR_COUNT; ++i) {
        // Del is the opener's to show: a new entry has nothing to delete.
        if (m_pEditorButtons[i] && (!on || i + PH_EDITOR_FIRST != PH_DEL))
            m_pEditorButtons[i]->Show(on ? 1 : 0);
    }
    if (m_pNumberText)
        m_pNumberText->Show(on ? 0 : 1);
    if (m_pCallLabel)
        m_pCallLabel->Show(on ? 0 : 1);
    InvalidateOwner();
}

void CPhone::OnBack() {
    m_bWaitKb = false;
    SetEditMode(false);
}

void CPhone::OpenEntry() {
    const int index = ListSelection();
    if (index < 0 || static_cast<size_t>(index) >= m_Book.Count())
        return;
    const PHONEBOOK_ENTRY& e = m_Book.At(static_cast<size_t>(index));
    m_iEditedEntry = index;
    m_pEditorButtons[PH_DEL - PH_EDITOR_FIRST]->Show(1);
    SetEditMode(true);
    m_pNameEdit->SetText(e.szName);
    m_pNumberEdit->SetText(e.szNumber);
}

void CPhone::NewEntry() {
    m_iEditedEntry = -1;
    m_pEditorButtons[PH_DEL - PH_EDITOR_FIRST]->Show(0);
    SetEditMode(true);
    m_pNameEdit->SetText(u"");
    m_pNumberEdit->SetText(m_szNumber);
}

void CPhone::AskKeyboard(int request) {
    CKernel* kernel = CKernel::Instance();
    if (!kernel || !m_bEditMode)
        return;
    IKvText* edit = request == PH_KB_REQUEST_NAME ? m_pNameEdit : m_pNumberEdit;
    // The keyboard's fields hold 127 characters: a longer entry is handed over cut.
    const std::u16string current = TextOf(edit).substr(0, KB_TEXT_CHARS - 1);
    plat::StrCopy(
        kernel->m_szKbTitle,
        Text(request == PH_KB_REQUEST_NAME ? MSG_KB_PHONEBOOK_NAME : MSG_KB_PHONEBOOK_NUMBER));
    plat::StrCopy(kernel->m_szKbInitial, current);
    kernel->m_szKbResult[0] = 0;
    kernel->m_iKbResult = request;
    m_bWaitKb = true;
    plat::ui::SendMessage(m_hMainWnd, WM_SWITCH_APP, m_bySeat,
                          (intptr_t(APPTYPE_PHONE) << 16) | APPTYPE_KB);
    InvalidateOwner();
}

void CPhone::TakeKeyboardResult() {
    CKernel* kernel = CKernel::Instance();
    if (!kernel || !m_bWaitKb)
        return;
    // Only our own request, still set: the keyboard's Back clears it, and another page's
    // result is not ours. Either way the wait ends here.
    m_bWaitKb = false;
    const int request = kernel->m_iKbResult;
    if (request != PH_KB_REQUEST_NAME && request != PH_KB_REQUEST_NUMBER)
        return;
    kernel->m_iKbResult = -1;
    if (!m_bEditMode)
        return;
    // The editor's fields take what fits their limit.
    std::u16string text(kernel->m_szKbResult, plat::StrLen(kernel->m_szKbResult));
    text = text.substr(0, PH_EDIT_LIMIT);
    (request == PH_KB_REQUEST_NAME ? m_pNameEdit : m_pNumberEdit)->SetText(text.c_str());
}

void CPhone::SelectRow(int index) {
    if (index < 0 || static_cast<size_t>(index) >= m_Book.Count()) {
        if (m_pListbox[0])
            m_pListbox[0]->SetCurrentIndex(-1);
        SetTyped(u"");
        return;
    }
    if (m_pListbox[0])
        m_pListbox[0]->SetCurrentIndex(index);
    SetTyped(m_Book.At(static_cast<size_t>(index)).szNumber);
}

void CPhone::SaveEntry() {
    const std::u16string name = NameEdit();
    const std::u16string number = NumberEdit();
    if (name.empty() || number.empty()) {
        MessageDlg dlg(OwnerWindow());
        dlg.SetText(Text(MSG_MSG_PHONEENTRY_EMPTY));
        dlg.DoModal();
        return;
    }
    // The book as stored: another seat's page may have changed it since this one loaded.
    const bool existing =
        m_iEditedEntry >= 0 && static_cast<size_t>(m_iEditedEntry) < m_Book.Count();
    if (existing) {
        m_Book.Update(static_cast<size_t>(m_iEditedEntry), name, number);
    } else {
        if (m_Book.Full()) {
            plat::ui::MessageBox(OwnerWindow(), u"The phone book is full.", u"Warning",
                                 plat::ui::kMbOk | plat::ui::kMbIconWarning);
            return;
        }
        m_Book.Insert(name, number);
    }
    if (!m_Book.Save())
        WriteLog("CPhone: %s not written", PHONEBOOK_FILE);
    LoadPhonebook();
    SelectRow(m_Book.Find(name));
    SetEditMode(false);
}

void CPhone::DeleteEntry() {
    const int answer =
        plat::ui::MessageBox(OwnerWindow(), u" Delete phonebook entry ? ", u"Warning",
                             plat::ui::kMbYesNo | plat::ui::kMbIconWarning);
    // The entry the editor was opened on: the list's selection does not survive a trip to
    // the keyboard page.
    const int index = m_iEditedEntry;
    if (answer == plat::ui::kIdYes && index >= 0 && m_Book.Remove(static_cast<size_t>(index))) {
        // Written even when it was the last entry: an empty book is a book too.
        if (!m_Book.Save())
            WriteLog("CPhone: %s not written", PHONEBOOK_FILE);
        LoadPhonebook();
        const int count = static_cast<int>(m_Book.Count());
        SelectRow(index < count ? index : count - 1);
        m_iEditedEntry = -1;
    }
    OnBack();
}

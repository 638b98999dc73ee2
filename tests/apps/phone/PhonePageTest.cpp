// The phone page on the whole head unit, with the Bluetooth module emulator on a
// pseudo-terminal behind "com4": pairing, connecting, the keypad, calls and tones, and an
// incoming call that takes the front seat from the music page and gives it back.
#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <functional>
#include <cstdlib>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "apps/keyboard/KBDlg.h"
#include "apps/phone/Phone.h"
#include "core/kernel/Kernel.h"
#include "core/kernel/Language.h"
#include "core/shell/SeatCtrlDlg.h"
#include "core/ui/InfoDialog.h"
#include "core/ui/MessageDlg.h"
#include "core/ui/WindowMessages.h"
#include "devices/BTModuleEmulator.h"
#include "library/include/IKvButton.h"
#include "platform/io/File.h"
#include "platform/io/Path.h"
#include "platform/io/PortMap.h"
#include "platform/text/Text.h"
#include "platform/gfx/ImageFile.h"
#include "platform/io/Directory.h"
#include "platform/media/AudioCapture.h"
#include "tests/harness/HeadUnit.h"
#include "tests/harness/SkinProbe.h"
#include "tests/support/PulseServer.h"

using harness::HeadUnit;
using harness::HeadUnitOptions;
using KvUserInterface::BUTTON_DISABLED;
using KvUserInterface::IKvButton;

namespace {

// A unit with the emulated module on com4.
class PhonePage : public ::testing::Test {
protected:
    // No settings: no module behind com4 at all.
    void Start(const emu::BTModuleSettings* settings) {
        HeadUnitOptions options;
        if (settings) {
            m_module = std::make_unique<emu::BTModuleEmulator>(*settings);
            ASSERT_TRUE(m_module->Start());
            const std::string device = m_module->DevicePath();
            const std::string pulse = m_pulseServer;
            options.prepare = [device, pulse](const std::string& base) {
                // The unit starts without the machine's sound server; a test's own comes back.
                if (!pulse.empty())
                    ::setenv("PULSE_SERVER", pulse.c_str(), 1);
                ASSERT_TRUE(plat::SetPortMapEntry(base + "/" + plat::kPortMapFile, "com4", device));
            };
        }
        m_unit = std::make_unique<HeadUnit>(options);
        ASSERT_TRUE(m_unit->Start()) << "exit status " << m_unit->StartStatus();
    }
    // A module paired and connected, the unit started and, with `open`, the phone page shown on
    // the front seat; the page has read the module's state.
    void StartConnected(bool open = true) {
        emu::BTModuleSettings settings;
        settings.paired = true;
        settings.connected = true;
        Start(&settings);
        ASSERT_TRUE(Page() && Page()->Skinned());
        if (open)
            Open(0, APPTYPE_PHONE);
        Settle();
        ASSERT_EQ(Page()->BTState(), PH_BT_CONNECTED);
    }
    void TearDown() override {
        m_unit.reset();
        m_module.reset();
    }

    CPhone* Page(int seat = 0) { return dynamic_cast<CPhone*>(m_unit->Page(seat, APPTYPE_PHONE)); }
    void Open(int seat, int app) {
        intptr_t result = -1;
        ASSERT_TRUE(plat::ui::SendMessage(m_unit->Main()->Id(), WM_SWITCH_APP, seat,
                                          (APPTYPE_HOMEPAGE << 16) | app, &result));
        plat::ui::InvalidateRect(m_unit->Seat(seat)->Id());
        m_unit->Advance(100);
    }
    // The music page from the seat's homepage, as a user opens it.
    void LaunchMusic(int seat) {
        Open(seat, APPTYPE_HOMEPAGE);
        plat::Point p = harness::HomepageIconCentre(seat, "APPTYPE_MUSIC");
        m_unit->Tap(p.x, p.y);
        m_unit->Advance(200);
    }
    // A tap in the middle of a button of the front page, and the paint that runs it.
    void Tap(int index, int seat = 0) {
        IKvButton* button = Page(seat)->Button(index);
        ASSERT_NE(button, nullptr);
        plat::Rect r;
        button->GetRect(&r);
        m_unit->Tap((seat ? 800 : 0) + (r.left + r.right) / 2, (r.top + r.bottom) / 2);
        m_unit->Advance(50);
    }
    // The module's replies have time to arrive, then the page's next second pass reads them.
    void Settle() {
        std::this_thread::sleep_for(std::chrono::milliseconds(60));
        m_unit->Advance(1050);
    }
    // Commands the module received since the last look.
    std::vector<std::string> NewCommands() {
        std::vector<std::string> all = m_module->CommandTexts();
        std::vector<std::string> out(all.begin() + static_cast<long>(m_seen), all.end());
        m_seen = all.size();
        return out;
    }
    // The new commands other than the link's once-a-while status and presence checks.
    std::vector<std::string> NewActions() {
        std::vector<std::string> out;
        for (const std::string& c : NewCommands()) {
            if (c != "j4" && c != "i")
                out.push_back(c);
        }
        return out;
    }
    bool Enabled(int index, int seat = 0) {
        uint8_t state = 0;
        Page(seat)->Button(index)->GetState(&state);
        return state != BUTTON_DISABLED;
    }
    const char16_t* Lang(int id) { return m_unit->Kernel()->m_Language[id]; }

    // A modal pop-up holds the test's thread in its own loop: `script` then runs on a driver
    // thread that moves the clock and taps, while the test's thread pumps until `done`.
    void Drive(const std::function<void()>& script, const std::function<bool()>& done) {
        std::atomic<bool> finished{false};
        std::atomic<bool> stop{false};
        std::thread driver([&] {
            script();
            finished = true;
            // Whatever the script left open still ends by its time-out rather than hanging.
            const auto until = std::chrono::steady_clock::now() + std::chrono::seconds(20);
            while (!stop.load() && std::chrono::steady_clock::now() < until)
                Move(100);
        });
        EXPECT_TRUE(m_unit->WaitFor([&] { return finished.load() && done(); }, 20000));
        stop = true;
        driver.join();
    }
    // Driver side: the program's clock on by `ms` in steps, each given a moment of real time.
    void Move(uint32_t ms) {
        for (uint32_t done = 0; done < ms; done += 10) {
            m_unit->Clock().Advance(10);
            std::this_thread::sleep_for(std::chrono::microseconds(700));
        }
    }
    bool MoveUntil(const std::function<bool()>& what, uint32_t limitMs) {
        for (uint32_t done = 0; done < limitMs; done += 10) {
            if (what())
                return true;
            Move(10);
        }
        return what();
    }
    // The program's log lines about the phone and its pop-ups, for a failure's message.
    std::string PhoneLog() {
        std::string out;
        const std::string log = m_unit->Log();
        size_t start = 0;
        while (start < log.size()) {
            size_t end = log.find('\n', start);
            if (end == std::string::npos)
                end = log.size();
            const std::string line = log.substr(start, end - start);
            if (line.find("Phone") != std::string::npos || line.find("Info") != std::string::npos ||
                line.find("thread") != std::string::npos || line.find("call") != std::string::npos)
                out += line + "\n";
            start = end + 1;
        }
        return out;
    }
    // Driver side: a tap on button `index` (0..3) of the page's open pop-up.
    void TapPopUp(CPhone* page, int index) {
        std::shared_ptr<CInfoDialog> dialog = page->PopUp();
        ASSERT_NE(dialog, nullptr);
        const plat::Rect w = plat::ui::GetWindowRect(dialog->Id());
        const plat::Rect b = CInfoDialog::ButtonRect(index);
        const plat::Point p{w.left + (b.left + b.right) / 2, w.top + (b.top + b.bottom) / 2};
        plat::ui::InjectPen(plat::ui::PenAction::Down, p);
        Move(40);
        plat::ui::InjectPen(plat::ui::PenAction::Up, p);
        Move(40);
    }
    // A tap in the middle of `r` on the front screen.
    void TapAt(const plat::Rect& r) {
        m_unit->Tap((r.left + r.right) / 2, (r.top + r.bottom) / 2);
        m_unit->Advance(50);
    }
    // The keyboard page asked through editor button `button`, given `text` and saved (or
    // left with Back), and the phone page back.
    void Keyboard(int button, const std::u16string& text, bool save = true) {
        Tap(button);
        ASSERT_EQ(m_unit->Seat(0)->m_iCurrentApp, APPTYPE_KB);
        CKBDlg* kb = dynamic_cast<CKBDlg*>(m_unit->Page(0, APPTYPE_KB));
        ASSERT_NE(kb, nullptr);
        kb->Edit()->SetText(text);
        if (save)
            kb->OnSave();
        else
            kb->OnBack();
        plat::ui::InvalidateRect(m_unit->Seat(0)->Id());
        m_unit->Advance(100);
        ASSERT_EQ(m_unit->Seat(0)->m_iCurrentApp, APPTYPE_PHONE);
    }
    // `act` raises the plain message box of the pages; a helper thread taps its OK. False
    // when no box came.
    bool AnswerMessage(const std::function<void()>& act) {
        std::atomic<bool> answered{false};
        std::atomic<bool> stop{false};
        std::thread helper([&] {
            const auto until = std::chrono::steady_clock::now() + std::chrono::seconds(5);
            while (!stop.load() && std::chrono::steady_clock::now() < until) {
                for (plat::ui::WindowId id = 1; id < 256; ++id) {
                    const plat::Rect r = plat::ui::GetWindowRect(id);
                    if (plat::ui::IsWindowVisible(id) && r.Width() > 300 && r.Width() < 800 &&
                        r.Height() > 80 && r.Height() < 480) {
                        const plat::Rect b = MessageDlg::OkButtonRect();
                        const plat::Point at{r.left + (b.left + b.right) / 2,
                                             r.top + (b.top + b.bottom) / 2};
                        plat::ui::InjectPen(plat::ui::PenAction::Down, at);
                        plat::ui::InjectPen(plat::ui::PenAction::Up, at);
                        answered = true;
                        return;
                    }
                }
                std::this_thread::sleep_for(std::chrono::milliseconds(5));
            }
        });
        act();
        stop = true;
        helper.join();
        return answered.load();
    }
    // The editor's field (frame 0 of its picture) shows where `button` sits on the front
    // screen: every opaque pixel of the field's keyboard mark is on the screen as drawn.
    ::testing::AssertionResult ShowsField(int button) {
        plat::Surface field;
        if (!plat::LoadImageFile(m_unit->BaseDir() + "/Skin/Default/phone/field.png", field))
            return ::testing::AssertionFailure() << "field.png not read";
        plat::Rect r;
        Page()->Button(button)->GetRect(&r);
        const plat::Surface screen = m_unit->Screen(0);
        int compared = 0;
        for (int y = 0; y < r.Height(); ++y) {
            for (int x = r.Width() - 40; x < r.Width(); ++x) {
                const uint32_t want = field.PixelAt(x, y);
                if (want >> 24 != 0xFF)
                    continue;
                ++compared;
                const uint32_t got = screen.PixelAt(r.left + x, r.top + y);
                if (got != want)
                    return ::testing::AssertionFailure()
                           << "at " << r.left + x << "," << r.top + y << ": " << std::hex << got
                           << " instead of " << want;
            }
        }
        if (compared < 100)
            return ::testing::AssertionFailure() << "only " << compared << " pixels compared";
        return ::testing::AssertionSuccess();
    }
    std::vector<std::u16string> Names() {
        std::vector<std::u16string> out;
        for (size_t i = 0; i < Page()->Book().Count(); ++i)
            out.push_back(Page()->Book().At(i).szName);
        return out;
    }
    // Phonebook.db as stored: its size, and its names up to the first empty one.
    std::vector<std::u16string> StoredNames(size_t* size = nullptr) {
        std::vector<uint8_t> bytes;
        std::vector<std::u16string> out;
        if (!plat::ReadWholeFile(m_unit->File("Phonebook.db"), bytes))
            return out;
        if (size)
            *size = bytes.size();
        for (size_t at = 0; at + 512 <= bytes.size(); at += 512) {
            std::u16string name;
            for (size_t i = at; i < at + 256; i += 2) {
                const char16_t c = static_cast<char16_t>(bytes[i] | bytes[i + 1] << 8);
                if (!c)
                    break;
                name += c;
            }
            if (name.empty())
                break;
            out.push_back(name);
        }
        return out;
    }

    // Driver side: a tap on button `index` of the front page, while the test's thread pumps.
    void DriverTap(int index) {
        IKvButton* button = Page()->Button(index);
        ASSERT_NE(button, nullptr);
        plat::Rect r;
        button->GetRect(&r);
        const plat::Point p{(r.left + r.right) / 2, (r.top + r.bottom) / 2};
        plat::ui::InjectPen(plat::ui::PenAction::Down, p);
        Move(40);
        plat::ui::InjectPen(plat::ui::PenAction::Up, p);
        Move(40);
    }
    // Driver side: pop-up `n` of the page shows. Waited for in real time: its thread and the
    // post that runs it need no clock, and the clock would close it.
    bool UntilShowing(CPhone* page, int n) {
        const auto until = std::chrono::steady_clock::now() + std::chrono::seconds(10);
        while (std::chrono::steady_clock::now() < until) {
            std::shared_ptr<CInfoDialog> dialog = page->PopUp();
            if (page->PopUpsShown() >= n && page->PopUpsShowing() == 1 && dialog &&
                plat::ui::IsWindowVisible(dialog->Id()) && !dialog->GetMessageText().empty())
                return true;
            std::this_thread::sleep_for(std::chrono::milliseconds(2));
        }
        return false;
    }
    // Driver side: the module's ring reaches the page and its pop-up shows (pop-up `n`).
    bool UntilPopUp(CPhone* page, int n) {
        const bool shown = MoveUntil(
            [&] {
                if (page->PopUpsShown() < n || page->PopUpsShowing() != 1)
                    return false;
                std::shared_ptr<CInfoDialog> dialog = page->PopUp();
                return dialog && plat::ui::IsWindowVisible(dialog->Id()) &&
                       !dialog->GetMessageText().empty();
            },
            5000);
        Move(100);
        return shown;
    }

    std::unique_ptr<emu::BTModuleEmulator> m_module;
    std::unique_ptr<HeadUnit> m_unit;
    size_t m_seen = 0;
    std::string m_pulseServer;
};

using Commands = std::vector<std::string>;

}  // namespace

TEST_F(PhonePage, PairConnectDialAndTonesDuringACall) {
    const emu::BTModuleSettings settings;
    Start(&settings);
    CPhone* page = Page();
    ASSERT_TRUE(page && page->Skinned());
    ASSERT_TRUE(Page(1) && Page(1)->Skinned());
    Open(0, APPTYPE_PHONE);
    Settle();

    // A module that knows no phone yet: pairing is all it offers.
    EXPECT_EQ(page->BTState(), PH_BT_NOT_PAIRED);
    EXPECT_EQ(page->StateText(), Lang(MSG_BT_UNPAIRED));
    EXPECT_EQ(page->NumberText(), Lang(MSG_BT_NEED_PAIR));
    EXPECT_TRUE(Enabled(PH_BT_PAIR));
    EXPECT_FALSE(Enabled(PH_BT_CONNECT));
    EXPECT_FALSE(Enabled(PH_DIAL));
    EXPECT_FALSE(Enabled(PH_DIGIT_0 + 5));
    NewCommands();

    // Pairing: "p" under the searching pop-up; the port closes a second later and the tick
    // opens it again. Paired is not connected: the pop-up waits until its own button closes
    // it, and that asks nothing more.
    std::u16string told;
    Drive(
        [&] {
            DriverTap(PH_BT_PAIR);
            if (!UntilShowing(page, 1))
                return;
            told = page->PopUp()->GetMessageText();
            MoveUntil([&] { return page->BTState() == PH_BT_PAIRED; }, 4000);
            TapPopUp(page, 3);
            MoveUntil([&] { return !page->PopUp(); }, 2000);
        },
        [&] { return !page->PopUp(); });
    EXPECT_EQ(told, Lang(MSG_BT_SEARCHING));
    EXPECT_EQ(NewActions(), Commands({"p"}));
    EXPECT_EQ(page->PopUpsShown(), 1) << PhoneLog();
    Settle();
    EXPECT_EQ(page->BTState(), PH_BT_PAIRED);
    EXPECT_EQ(page->StateText(), Lang(MSG_BT_DISCONNECTED));
    EXPECT_EQ(page->NumberText(), u"");
    EXPECT_TRUE(Enabled(PH_BT_CONNECT));
    EXPECT_FALSE(Enabled(PH_DIAL));

    // A phone that does not take the connection: the waiting pop-up ends by its time-out and
    // the failure is told in one of its own, closed by its button.
    m_module->Update([](emu::BTModuleSettings& st) { st.behaviour = emu::BTBehaviour::Silent; });
    std::u16string failure;
    Drive(
        [&] {
            DriverTap(PH_BT_CONNECT);
            if (!UntilShowing(page, 2))
                return;
            MoveUntil([&] { return page->PopUpsShown() >= 3; }, 7000);
            if (!UntilShowing(page, 3))
                return;
            failure = page->PopUp()->GetMessageText();
            TapPopUp(page, 2);
            MoveUntil([&] { return !page->PopUp(); }, 2000);
        },
        [&] { return !page->PopUp(); });
    EXPECT_EQ(failure, Lang(MSG_BT_CONNECT_FAIL)) << PhoneLog();
    EXPECT_EQ(page->PopUpsShown(), 3);
    EXPECT_EQ(page->BTState(), PH_BT_PAIRED);
    m_module->Update([](emu::BTModuleSettings& st) { st.behaviour = emu::BTBehaviour::Normal; });
    NewCommands();

    // Connecting: the pop-up goes by itself when the tick sees the link up.
    told.clear();
    Drive(
        [&] {
            DriverTap(PH_BT_CONNECT);
            if (!UntilShowing(page, 4))
                return;
            told = page->PopUp()->GetMessageText();
            MoveUntil([&] { return !page->PopUp(); }, 4000);
        },
        [&] { return !page->PopUp(); });
    EXPECT_EQ(told, Lang(MSG_BT_CONNECTING));
    EXPECT_EQ(NewActions(), Commands({"c1", "x1"}));
    EXPECT_NE(m_unit->Log().find("m_pInfoDlg->SetExit()-1"), std::string::npos) << PhoneLog();
    EXPECT_EQ(page->PopUpsShown(), 4) << "no failure told: " << PhoneLog();
    Settle();
    EXPECT_EQ(page->BTState(), PH_BT_CONNECTED);
    EXPECT_EQ(page->StateText(), Lang(MSG_BT_CONNECTED));
    EXPECT_TRUE(Enabled(PH_DIAL));
    EXPECT_FALSE(Enabled(PH_BT_PAIR));
    EXPECT_EQ(page->Button(PH_BT_DISCONNECT)->IsVisible(), 1);
    EXPECT_EQ(page->Button(PH_BT_CONNECT)->IsVisible(), 0);

    // Twelve digits, the thirteenth ignored; Back takes one off, Clear all.
    for (int d : {0, 3, 0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 9})
        Tap(PH_DIGIT_0 + d);
    EXPECT_EQ(std::u16string(page->TypedNumber()), u"030123456789");
    EXPECT_EQ(page->NumberText(), u"030123456789");
    Tap(PH_DIGIT_BACK);
    EXPECT_EQ(std::u16string(page->TypedNumber()), u"03012345678");
    EXPECT_TRUE(NewActions().empty()) << "no tones without a call";

    Tap(PH_DIAL);
    EXPECT_EQ(NewActions(), Commands({"d03012345678"}));
    Settle();
    EXPECT_TRUE(page->InCall());
    // The call time from its start (a second pass may have come just before the look).
    const std::u16string callTime = page->CallLabel();
    EXPECT_TRUE(callTime == u"00:00:00" || callTime == u"00:00:01") << plat::Utf16ToUtf8(callTime);
    // Dial during a call sends nothing; digits are tones now, each one sent.
    Tap(PH_DIAL);
    Tap(PH_DIGIT_0 + 5);
    Tap(PH_DIGIT_WELL);
    Tap(PH_DIGIT_STAR);
    EXPECT_EQ(NewActions(), Commands({"k5", "k#", "k*"}));
    EXPECT_EQ(std::u16string(page->DtmfText()), u"5#*");
    EXPECT_EQ(page->NumberText(), u"5#*");
    EXPECT_EQ(std::u16string(page->TypedNumber()), u"03012345678") << "the redial number stays";
    // A long run of tones: every one goes out, the text keeps the newest 63.
    for (int i = 0; i < 65; ++i)
        Tap(PH_DIGIT_0 + i % 10);
    const Commands tones = NewActions();
    ASSERT_EQ(tones.size(), 65u);
    EXPECT_EQ(tones.back(), "k4");
    const std::u16string dtmf = page->DtmfText();
    ASSERT_EQ(dtmf.size(), 63u);
    EXPECT_EQ(dtmf.substr(dtmf.size() - 3), u"234");
    Tap(PH_HANG);
    EXPECT_EQ(NewActions(), Commands({"h"}));
    Settle();
    EXPECT_FALSE(page->InCall());

    // Disconnect from the phone page in a call: the call ends with the link and its time
    // stops; the call buttons go, Connect comes back.
    Open(0, APPTYPE_PHONE);
    for (int d : {0, 3, 0, 5})
        Tap(PH_DIGIT_0 + d);
    Tap(PH_DIAL);
    Settle();
    ASSERT_TRUE(page->InCall());
    NewCommands();
    told.clear();
    Drive(
        [&] {
            DriverTap(PH_BT_DISCONNECT);
            if (!UntilShowing(page, 5))
                return;
            told = page->PopUp()->GetMessageText();
            TapPopUp(page, 2);
            MoveUntil([&] { return !page->PopUp(); }, 2000);
        },
        [&] { return !page->PopUp(); });
    EXPECT_EQ(told, Lang(MSG_BT_DISCONNECT_DEVICE));
    EXPECT_EQ(NewActions(), Commands({"c0", "x0"}));
    EXPECT_FALSE(m_module->InCall()) << "the module ends its call with the link";
    Settle();
    Settle();
    EXPECT_EQ(page->BTState(), PH_BT_PAIRED);
    EXPECT_EQ(page->StateText(), Lang(MSG_BT_DISCONNECTED));
    EXPECT_FALSE(page->InCall());
    EXPECT_EQ(page->CallLabel(), u"") << "no call time counts on";
    EXPECT_FALSE(Enabled(PH_DIAL));
    EXPECT_TRUE(Enabled(PH_BT_CONNECT));

    // Connected again, Dial dials at once: no call was left over to hang up first.
    Drive(
        [&] {
            DriverTap(PH_BT_CONNECT);
            if (!UntilShowing(page, 6))
                return;
            MoveUntil([&] { return !page->PopUp(); }, 4000);
        },
        [&] { return !page->PopUp(); });
    Settle();
    ASSERT_EQ(page->BTState(), PH_BT_CONNECTED);
    NewCommands();
    Tap(PH_DIAL);
    EXPECT_EQ(NewActions(), Commands({"d0305"}));
    Settle();
    EXPECT_TRUE(page->InCall());
    Tap(PH_HANG);
}

TEST_F(PhonePage, WithoutAModuleEveryCallButtonIsDisabledAndNothingIsSent) {
    Start(nullptr);
    CPhone* page = Page();
    ASSERT_TRUE(page && page->Skinned());
    Open(0, APPTYPE_PHONE);
    Settle();
    EXPECT_EQ(page->BTState(), PH_BT_NO_MODULE);
    EXPECT_EQ(page->StateText(), Lang(MSG_BT_NODEVICE));
    for (int i = PH_BT_CONNECT; i < PH_BUTTON_COUNT; ++i)
        EXPECT_FALSE(Enabled(i)) << "button " << i;
    // Pairing is offered, but with no port it sends nothing and closes nothing.
    EXPECT_TRUE(Enabled(PH_BT_PAIR));
    Tap(PH_BT_PAIR);
    Settle();
    EXPECT_EQ(page->BTState(), PH_BT_NO_MODULE);
    EXPECT_TRUE(m_unit->TakeBoxes().empty()) << "no box at start, not even for the recorder";
    // The volume and menu buttons still work.
    EXPECT_TRUE(Enabled(PH_VOL_ADD));
    EXPECT_TRUE(Enabled(PH_RET_MENU));
}

TEST_F(PhonePage, DownloadsBothMemoriesIntoTheSortedBookAndDialsAStoredNumberSafely) {
    emu::BTModuleSettings settings;
    settings.paired = true;
    settings.connected = true;
    // The phone's memory: 600 lines (the link keeps 512), among them doubles by their last nine
    // digits and numbers too short to dial; the SIM: 300, half of them already in the phone.
    for (int i = 0; i < 600; ++i) {
        emu::BTPhoneBookEntry e;
        e.memory = 3;
        e.name = "P" + std::to_string(1000 + i);
        e.number = "0" + std::to_string(300000000 + i);
        if (i % 50 == 7)
            e.number = "12345";
        if (i % 50 == 9)
            e.number = "+49" + std::to_string(300000000 + i - 1);  // double of i - 1
        settings.phoneBook.push_back(e);
    }
    for (int i = 0; i < 300; ++i) {
        emu::BTPhoneBookEntry e;
        e.memory = 2;
        e.name = "S" + std::to_string(1000 + i);
        e.number = "0" + std::to_string(300000000 + (i < 150 ? i : 500000 + i));
        settings.phoneBook.push_back(e);
    }
    Start(&settings);
    CPhone* page = Page();
    ASSERT_TRUE(page && page->Skinned());
    Open(0, APPTYPE_PHONE);
    Settle();
    ASSERT_EQ(page->BTState(), PH_BT_CONNECTED);
    Tap(PH_DIGIT_0 + 7);
    // An entry is being made when the download starts: the entries move under the editor.
    Tap(PH_DIGIT_MEMORY);
    ASSERT_TRUE(page->EditMode());
    NewCommands();

    Tap(PH_PHONEBOOK);
    EXPECT_EQ(page->NumberText(), u"Waiting...");
    EXPECT_EQ(std::u16string(page->TypedNumber()), u"7") << "the notice is not the number";
    EXPECT_FALSE(Enabled(PH_PHONEBOOK));
    // Looked at between two of the download's steps (250 ms apart): once the phone's memory
    // is in, the book is loaded with its last row chosen and that row's number typed.
    int chosen = -2, rows = 0;
    std::u16string typed;
    ASSERT_TRUE(m_unit->WaitFor(
        [&] {
            m_unit->Advance(20);
            if (page->DownloadKind() == 2 && chosen == -2) {
                chosen = page->ListSelection();
                rows = page->ListCount();
                typed = page->TypedNumber();
            }
            return !page->Downloading();
        },
        15000));
    EXPECT_EQ(NewActions(), Commands({"b03", "b30", "b02", "b30"}));
    EXPECT_TRUE(Enabled(PH_PHONEBOOK));
    EXPECT_FALSE(page->EditMode()) << "the editor closed rather than save over another entry";
    EXPECT_EQ(rows, 512 - 11 - 11);
    EXPECT_EQ(chosen, rows - 1);
    EXPECT_EQ(typed, u"0300000511") << "P1511, the last of the phone's";
    // Both memories in: the first row is chosen, its number with it.
    EXPECT_EQ(page->ListSelection(), 0);
    EXPECT_EQ(std::u16string(page->TypedNumber()), u"0300000000");
    EXPECT_EQ(page->NumberText(), u"0300000000");

    // Of the phone's 512 kept lines: 11 too short and 11 doubles (i % 50 == 7 and 9, below
    // 512); of the SIM's 300, the first 150 are doubles of the phone's but for the 6 whose
    // phone entries were short or doubles themselves.
    const CPhoneBook& book = page->Book();
    EXPECT_EQ(book.Count(), (512u - 11 - 11) + (300u - 150 + 6));
    EXPECT_EQ(page->ListCount(), static_cast<int>(book.Count()));
    EXPECT_EQ(std::u16string(book.At(0).szName), u"P1000");
    EXPECT_EQ(std::u16string(book.At(book.Count() - 1).szName), u"S1299");
    EXPECT_LT(book.Find(u"P1006"), book.Find(u"S1150"));
    EXPECT_EQ(book.Find(u"P1007"), -1);
    EXPECT_EQ(book.Find(u"P1009"), -1);
    EXPECT_EQ(book.Find(u"S1000"), -1);
    EXPECT_EQ(book.Find(u"P1511"), static_cast<int>(book.Find(u"P1510") + 1));
    EXPECT_EQ(book.Find(u"P1512"), -1) << "beyond the link's 512";
    std::vector<uint8_t> bytes;
    ASSERT_TRUE(plat::ReadWholeFile(m_unit->File("Phonebook.db"), bytes));
    EXPECT_EQ(bytes.size(), 1048576u);

    // A stored number with CR LF in it dials without them.
    CPhoneBook crafted;
    crafted.Insert(u"Evil", u"0301\r\nx0\r\n99");
    ASSERT_TRUE(crafted.Save(m_unit->File("Phonebook.db")));
    Open(0, APPTYPE_HOMEPAGE);
    Open(0, APPTYPE_PHONE);
    ASSERT_EQ(page->ListCount(), 1);
    page->TakeRow(0);
    NewCommands();
    Tap(PH_DIAL);
    EXPECT_EQ(NewActions(), Commands({"d0301x099"}));
    Tap(PH_HANG);

    // A paired module that stops answering gets the pairing command to restart it, without
    // the pop-up of the Pair button: nobody asked for it.
    m_module->Update([](emu::BTModuleSettings& s) { s.behaviour = emu::BTBehaviour::Silent; });
    NewCommands();
    for (int i = 0; i < 28; ++i)
        m_unit->Advance(1010);
    const Commands sent = NewActions();
    EXPECT_NE(std::find(sent.begin(), sent.end(), "p"), sent.end());
    EXPECT_EQ(page->PopUpsShown(), 0);
}

TEST_F(PhonePage, RecordsDuringACallAndStopsByItselfAfterAMinute) {
    testsupport::PulseServer pulse;
    if (!pulse.Running())
        GTEST_SKIP() << "no PulseAudio server for the recording: " << pulse.Error();
    m_pulseServer = std::getenv("PULSE_SERVER") ? std::getenv("PULSE_SERVER") : "";
    plat::SetCaptureSource(std::string("pulsesrc device=") + testsupport::PulseServer::Sink() +
                           ".monitor");
    StartConnected();
    ASSERT_FALSE(HasFatalFailure());
    CPhone* page = Page();
    for (int d : {0, 3, 0, 1, 2, 3, 4, 5, 6})
        Tap(PH_DIGIT_0 + d);
    Tap(PH_DIAL);
    Settle();
    ASSERT_TRUE(page->InCall());

    Tap(PH_REC);
    // The recording shows once the input has sounded.
    ASSERT_TRUE(m_unit->WaitFor([&] { return page->Recorder().m_bRecording; }, 10000));
    ASSERT_TRUE(page->Recorder().m_bCaptureReady);
    EXPECT_TRUE(m_unit->TakeBoxes().empty());
    const std::string file = plat::NativePath(page->Recorder().m_strRecordFile);
    EXPECT_TRUE(plat::PathExists(file)) << file;
    // The REC button blinks once a second while it records.
    uint8_t first = 0, second = 0;
    Settle();
    page->Button(PH_REC)->GetState(&first);
    Settle();
    page->Button(PH_REC)->GetState(&second);
    EXPECT_NE(first, second);
    // Past its minute the recording ends by itself, the file complete.
    for (int i = 0; i < 60 && page->Recorder().m_bRecording; ++i)
        m_unit->Advance(1010);
    EXPECT_FALSE(page->Recorder().m_bRecording);
    EXPECT_GE(page->Recorder().m_iRecordSeconds, 59);
    ASSERT_TRUE(m_unit->WaitFor([&] { return !page->Recorder().Busy(); }, 10000));
    EXPECT_TRUE(plat::PathExists(file));
    Tap(PH_HANG);
}

TEST_F(PhonePage, RecOnAMuteInputLeavesThePageAnsweringWhileItWaits) {
    // A source that starts and never delivers a sound.
    plat::SetCaptureSource("audiotestsrc is-live=true ! valve drop=true");
    StartConnected();
    ASSERT_FALSE(HasFatalFailure());
    CPhone* page = Page();
    CKernel* k = m_unit->Kernel();

    // The start waits for the input on its own thread: the page takes taps meanwhile.
    Tap(PH_REC);
    EXPECT_TRUE(page->Recorder().Starting());
    EXPECT_TRUE(page->Recorder().Busy());
    const int volume = k->m_iVolume.load();
    for (int d : {0, 3, 0})
        Tap(PH_DIGIT_0 + d);
    Tap(PH_VOL_ADD);
    EXPECT_EQ(std::u16string(page->TypedNumber()), u"030");
    EXPECT_EQ(k->m_iVolume.load(), volume + 1);
    EXPECT_TRUE(page->Recorder().Busy()) << "the taps came while the start still waited";
    EXPECT_FALSE(page->Recorder().m_bRecording);

    // No sound ever comes: the start gives up, nothing shows, no file is left, no box.
    ASSERT_TRUE(m_unit->WaitFor([&] { return !page->Recorder().Busy(); }, 15000));
    m_unit->Advance(100);
    EXPECT_FALSE(page->Recorder().m_bRecording);
    EXPECT_FALSE(page->Recorder().Starting());
    EXPECT_TRUE(page->Recorder().m_bCaptureReady);
    uint8_t rec = 0;
    page->Button(PH_REC)->GetState(&rec);
    EXPECT_EQ(rec, KvUserInterface::BUTTON_NORMAL);
    EXPECT_TRUE(m_unit->TakeBoxes().empty());
    const std::string folder = plat::NativePath(page->Recorder().m_strRecordFolder);
    std::vector<std::string> left;
    plat::DirectoryReader dir;
    if (dir.Open(folder)) {
        const char* name;
        plat::DirEntryKind kind;
        while (dir.Next(name, kind))
            if (std::string(name) != "." && std::string(name) != "..")
                left.push_back(name);
    }
    EXPECT_TRUE(left.empty()) << left.size() << " files";
    // Why, in the program's log.
    EXPECT_NE(m_unit->Log().find("no sound from the input"), std::string::npos);

    // REC again, and again while it waits: the start is called off, nothing shows.
    Tap(PH_REC);
    EXPECT_TRUE(page->Recorder().Starting());
    Tap(PH_REC);
    ASSERT_TRUE(m_unit->WaitFor([&] { return !page->Recorder().Busy(); }, 15000));
    m_unit->Advance(100);
    EXPECT_FALSE(page->Recorder().m_bRecording);
    EXPECT_FALSE(page->Recorder().Starting());
    EXPECT_NE(m_unit->Log().find("called off"), std::string::npos);
}

TEST_F(PhonePage, AnIncomingCallAsksToAcceptOrRejectOverTheMusicPageOfTheFrontSeat) {
    StartConnected(false);
    ASSERT_FALSE(HasFatalFailure());
    CPhone* page = Page();

    // The call comes while the music page shows on the front seat: the phone page comes up
    // with the question; the rear seat stays where it is and asks nothing.
    LaunchMusic(0);
    const int rearApp = m_unit->Seat(1)->m_iCurrentApp;
    ASSERT_EQ(m_unit->Seat(0)->m_iCurrentApp, APPTYPE_MUSIC);
    NewCommands();
    std::u16string question;
    m_module->Ring("0301234567", "Ana");
    Drive(
        [&] {
            if (!UntilPopUp(page, 1))
                return;
            question = page->PopUp()->GetMessageText();
            TapPopUp(page, 0);  // accept
            MoveUntil([&] { return !page->PopUp(); }, 2000);
        },
        [&] { return !page->PopUp(); });
    EXPECT_EQ(question, std::u16string(Lang(MSG_BT_CALLING_NUMBER)) + u"\r\n0301234567");
    EXPECT_EQ(m_unit->Seat(1)->m_iCurrentApp, rearApp);
    EXPECT_EQ(Page(1)->PopUpsShown(), 0);
    m_unit->Advance(50);
    EXPECT_EQ(NewActions(), Commands({"a"})) << "the accept answers through the page's Dial";
    Settle();
    EXPECT_TRUE(page->InCall());
    EXPECT_EQ(m_unit->Seat(0)->m_iCurrentApp, APPTYPE_PHONE);
    EXPECT_EQ(page->PopUpsShown(), 1) << "an answered ring asks once";
    // The other side hangs up: the music page comes back.
    m_module->HangUp();
    Settle();
    m_unit->Advance(100);
    EXPECT_FALSE(page->InCall());
    EXPECT_EQ(m_unit->Seat(0)->m_iCurrentApp, APPTYPE_MUSIC);

    // A caller without a number is rejected: "h", and the music page comes back.
    NewCommands();
    m_module->Ring("", "Bob");
    Drive(
        [&] {
            if (!UntilPopUp(page, 2))
                return;
            question = page->PopUp()->GetMessageText();
            TapPopUp(page, 1);  // reject
            MoveUntil([&] { return !page->PopUp(); }, 2000);
        },
        [&] { return !page->PopUp(); });
    EXPECT_EQ(question, std::u16string(Lang(MSG_BT_CALLING_NUMBER)) + u"\r\n")
        << "the second line is empty";
    EXPECT_EQ(page->NumberText(), Lang(MSG_MSG_UNKNOWN));
    m_unit->Advance(50);
    EXPECT_EQ(NewActions(), Commands({"h"}));
    Settle();
    m_unit->Advance(100);
    EXPECT_FALSE(page->InCall());
    EXPECT_EQ(m_unit->Seat(0)->m_iCurrentApp, APPTYPE_MUSIC);

    // Nobody answers: after 30 s the question closes by itself and nothing is sent; when the
    // caller gives up, the open question goes with the ring.
    NewCommands();
    m_module->Ring("0309999", "Cy");
    Drive(
        [&] {
            if (!UntilPopUp(page, 3))
                return;
            MoveUntil([&] { return page->PopUpsShowing() == 0; }, 31000);
        },
        [&] { return page->PopUpsShowing() == 0; });
    EXPECT_EQ(NewActions(), Commands());
    const int shown = page->PopUpsShown();
    m_module->HangUp();
    Drive([&] { MoveUntil([&] { return !page->PopUp() && page->PopUpsShowing() == 0; }, 5000); },
          [&] { return !page->PopUp() && page->PopUpsShowing() == 0; });
    Settle();
    m_unit->Advance(100);
    EXPECT_EQ(NewActions(), Commands());
    EXPECT_LE(page->PopUpsShown(), shown + 1);
    EXPECT_NE(m_unit->Log().find("default(2): nothing in thread"), std::string::npos) << PhoneLog();
    EXPECT_EQ(m_unit->Seat(0)->m_iCurrentApp, APPTYPE_MUSIC);
}

TEST_F(PhonePage, EditsThePhoneBookThroughTheKeyboardPageAndKeepsTheFileSorted) {
    StartConnected();
    ASSERT_FALSE(HasFatalFailure());
    CPhone* page = Page();
    EXPECT_FALSE(ShowsField(PH_KB_NAME));
    EXPECT_FALSE(page->EditMode());
    Tap(PH_PHONE_ENTRY);
    EXPECT_FALSE(page->EditMode()) << "no row chosen, nothing to open";

    // Memory opens an empty entry with the typed number; the editor takes the keypad's place.
    for (int d : {0, 3, 0, 5, 5, 5})
        Tap(PH_DIGIT_0 + d);
    Tap(PH_DIGIT_MEMORY);
    ASSERT_TRUE(page->EditMode());
    EXPECT_EQ(page->EditedEntry(), -1);
    EXPECT_EQ(page->NameEdit(), u"");
    EXPECT_EQ(page->NumberEdit(), u"030555");
    EXPECT_EQ(page->Button(PH_DEL)->IsVisible(), 0) << "a new entry has nothing to delete";
    EXPECT_EQ(page->Button(PH_SAVE)->IsVisible(), 1);
    EXPECT_EQ(page->Button(PH_DIGIT_0 + 5)->IsVisible(), 0);
    EXPECT_TRUE(ShowsField(PH_KB_NAME));
    EXPECT_TRUE(ShowsField(PH_KB_NUMBER));

    // Save without a name: the notice, the editor stays, nothing is written.
    EXPECT_TRUE(AnswerMessage([&] { Tap(PH_SAVE); }));
    EXPECT_TRUE(page->EditMode());
    EXPECT_FALSE(plat::PathExists(m_unit->File("Phonebook.db")));

    // The name through the keyboard page: its title and the field's text go there.
    Keyboard(PH_KB_NAME, u"Zed");
    EXPECT_EQ(std::u16string(m_unit->Kernel()->m_szKbTitle), Lang(MSG_KB_PHONEBOOK_NAME));
    EXPECT_EQ(std::u16string(m_unit->Kernel()->m_szKbInitial), u"");
    EXPECT_TRUE(page->EditMode()) << "the round trip keeps the editor";
    EXPECT_EQ(page->NameEdit(), u"Zed");
    EXPECT_EQ(page->NumberEdit(), u"030555");
    EXPECT_EQ(m_unit->Kernel()->m_iKbResult, -1) << "the request is cleared once taken";
    Tap(PH_SAVE);
    EXPECT_FALSE(page->EditMode());
    EXPECT_FALSE(ShowsField(PH_KB_NAME));
    size_t size = 0;
    EXPECT_EQ(StoredNames(&size), std::vector<std::u16string>({u"Zed"}));
    EXPECT_EQ(size, 1048576u);
    EXPECT_EQ(page->ListSelection(), 0);
    EXPECT_EQ(std::u16string(page->TypedNumber()), u"030555");
    EXPECT_EQ(page->NumberText(), u"030555");

    // Two more: a lower-case name goes after every upper-case one. The number field takes
    // the keyboard's text too, cut to the field's 16 characters; Back leaves a field as it was.
    Tap(PH_DIGIT_SPACE);
    Tap(PH_DIGIT_MEMORY);
    EXPECT_EQ(page->NumberEdit(), u"");
    Keyboard(PH_KB_NAME, u"adam");
    Keyboard(PH_KB_NUMBER, u"+49 30 1234 5678 90");
    EXPECT_EQ(std::u16string(m_unit->Kernel()->m_szKbTitle), Lang(MSG_KB_PHONEBOOK_NUMBER));
    EXPECT_EQ(page->NumberEdit(), u"+49 30 1234 5678");
    Keyboard(PH_KB_NUMBER, u"0", false);
    EXPECT_EQ(std::u16string(m_unit->Kernel()->m_szKbInitial), u"+49 30 1234 5678");
    EXPECT_EQ(page->NumberEdit(), u"+49 30 1234 5678");
    Tap(PH_SAVE);
    EXPECT_EQ(page->ListSelection(), 1);
    Tap(PH_DIGIT_MEMORY);
    Keyboard(PH_KB_NAME, u"Mia");
    Keyboard(PH_KB_NUMBER, u"0307777");
    Tap(PH_SAVE);
    EXPECT_EQ(Names(), std::vector<std::u16string>({u"Mia", u"Zed", u"adam"}));
    EXPECT_EQ(StoredNames(), Names());
    EXPECT_EQ(page->ListCount(), 3);
    // Exit leaves a started entry unsaved.
    Tap(PH_DIGIT_MEMORY);
    Keyboard(PH_KB_NAME, u"Nobody");
    Tap(PH_EXIT);
    EXPECT_FALSE(page->EditMode());
    EXPECT_EQ(StoredNames(), std::vector<std::u16string>({u"Mia", u"Zed", u"adam"}));

    // A row's entry in the editor: renamed, it moves to its place and stays chosen.
    TapAt(page->RowRect(2));
    EXPECT_EQ(page->ListSelection(), 2);
    EXPECT_EQ(std::u16string(page->TypedNumber()), u"+49 30 1234 5678") << "the row's number";
    Tap(PH_PHONE_ENTRY);
    ASSERT_TRUE(page->EditMode());
    EXPECT_EQ(page->EditedEntry(), 2);
    EXPECT_EQ(page->Button(PH_DEL)->IsVisible(), 1);
    EXPECT_EQ(page->NameEdit(), u"adam");
    Keyboard(PH_KB_NAME, u"Anna");
    Tap(PH_SAVE);
    EXPECT_EQ(StoredNames(), std::vector<std::u16string>({u"Anna", u"Mia", u"Zed"}));
    EXPECT_EQ(page->ListSelection(), 0);
    EXPECT_EQ(page->NumberText(), u"+49 30 1234 5678");

    // Delete asks first: No keeps the entry; Yes on the middle one chooses the one after it.
    TapAt(page->RowRect(1));
    Tap(PH_PHONE_ENTRY);
    plat::ui::ScriptMessageBoxAnswer(plat::ui::kIdNo);
    Tap(PH_DEL);
    auto boxes = m_unit->TakeBoxes();
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_EQ(boxes[0].text, u" Delete phonebook entry ? ");
    EXPECT_EQ(boxes[0].caption, u"Warning");
    EXPECT_EQ(boxes[0].flags, plat::ui::kMbYesNo | plat::ui::kMbIconWarning);
    EXPECT_FALSE(page->EditMode());
    EXPECT_EQ(page->ListCount(), 3);
    TapAt(page->RowRect(1));
    Tap(PH_PHONE_ENTRY);
    plat::ui::ScriptMessageBoxAnswer(plat::ui::kIdYes);
    Tap(PH_DEL);
    EXPECT_EQ(StoredNames(), std::vector<std::u16string>({u"Anna", u"Zed"}));
    EXPECT_EQ(page->ListSelection(), 1);
    EXPECT_EQ(std::u16string(page->TypedNumber()), u"030555");
    // The last row: the new last one is chosen.
    Tap(PH_PHONE_ENTRY);
    plat::ui::ScriptMessageBoxAnswer(plat::ui::kIdYes);
    Tap(PH_DEL);
    EXPECT_EQ(StoredNames(), std::vector<std::u16string>({u"Anna"}));
    EXPECT_EQ(page->ListSelection(), 0);
    EXPECT_EQ(page->NumberText(), u"+49 30 1234 5678");
    // The only one, after a trip to the keyboard page (which forgets the list's choice): the
    // file stays, empty, and so does the list.
    Tap(PH_PHONE_ENTRY);
    Keyboard(PH_KB_NUMBER, u"1", false);
    EXPECT_EQ(page->ListSelection(), -1);
    plat::ui::ScriptMessageBoxAnswer(plat::ui::kIdYes);
    Tap(PH_DEL);
    m_unit->TakeBoxes();
    EXPECT_TRUE(StoredNames(&size).empty());
    EXPECT_EQ(size, 1048576u);
    EXPECT_EQ(page->ListCount(), 0);
    EXPECT_EQ(std::u16string(page->TypedNumber()), u"");
    Open(0, APPTYPE_HOMEPAGE);
    Open(0, APPTYPE_PHONE);
    EXPECT_EQ(page->ListCount(), 0) << "the deleted entry does not come back";

    // A full book refuses a 2049th entry and says so; the file stays as it was.
    CPhoneBook full;
    for (int i = 0; i < PHONEBOOK_ENTRIES; ++i)
        full.Insert(u"N" + std::u16string(1, static_cast<char16_t>(u'A' + i % 26)) +
                        std::u16string(1, static_cast<char16_t>(u'A' + i / 26 % 26)) +
                        std::u16string(1, static_cast<char16_t>(u'A' + i / 676)),
                    u"0301234");
    ASSERT_TRUE(full.Save(m_unit->File("Phonebook.db")));
    Open(0, APPTYPE_HOMEPAGE);
    Open(0, APPTYPE_PHONE);
    ASSERT_EQ(page->ListCount(), PHONEBOOK_ENTRIES);
    Tap(PH_DIGIT_0 + 9);
    Tap(PH_DIGIT_MEMORY);
    Keyboard(PH_KB_NAME, u"AAA");
    Tap(PH_SAVE);
    boxes = m_unit->TakeBoxes();
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_EQ(boxes[0].text, u"The phone book is full.");
    EXPECT_TRUE(page->EditMode());
    const std::vector<std::u16string> stored = StoredNames();
    ASSERT_EQ(stored.size(), static_cast<size_t>(PHONEBOOK_ENTRIES));
    EXPECT_EQ(stored[0], u"NAAA");
}

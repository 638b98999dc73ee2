// The keyboard page on a seat of its own: the head unit of HeadUnitFixture with the shipped
// keyboard skin and layout file copied in from the build's run folder, a seat window that draws
// the page and hands it the pen (as the seat does), the main window that receives the page's
// switch requests, and a record of every key event made.
#pragma once

#include <gtest/gtest.h>

#include <cctype>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "apps/keyboard/KBDlg.h"
#include "apps/keyboard/KbInput.h"
#include "core/ui/WindowMessages.h"
#include "library/include/Vantrel.h"
#include "platform/gfx/Canvas.h"
#include "platform/io/Path.h"
#include "platform/sys/Module.h"
#include "platform/text/Text.h"
#include "tests/harness/HeadUnitFixture.h"

namespace kbtest {

using namespace pagetest;

inline std::string RunFolder() {
    return plat::JoinPath(plat::DirName(plat::ExecutableDir()), "run");
}

// A seat as far as the page sees one: a window of the seat's screen that draws the page into
// its picture and gives it the pen in its own co-ordinates.
class PageSeat : public plat::ui::Window {
public:
    ~PageSeat() override { Destroy(); }

    bool Open(const plat::Rect& rect) {
        plat::ui::CreateParams p;
        p.rect = rect;
        p.visible = true;
        return Create(p);
    }

    CVelkoraAppDlg* page = nullptr;
    int paints = 0;

protected:
    void OnPaint(plat::Surface& s, const plat::Rect&) override {
        ++paints;
        s.Fill(0xFF000000);
        if (!page)
            return;
        auto canvas = plat::MakeCanvas(s);
        page->Render(canvas.get());
    }
    void OnPenDown(plat::Point pt) override {
        if (page)
            page->OnLButtonDown(pt.x, pt.y);
    }
    void OnPenUp(plat::Point pt) override {
        if (page)
            page->OnLButtonUp(pt.x, pt.y);
    }
};

class KeyboardTest : public HeadUnitTest {
protected:
    void SetUp() override {
        HeadUnitTest::SetUp();
        KbResetForTesting();
        namespace fs = std::filesystem;
        const fs::path run(RunFolder());
        fs::create_directories("Skin/Test");
        fs::copy(run / "Skin" / "Default" / "ScreenKB", "Skin/Test/ScreenKB",
                 fs::copy_options::recursive);
        fs::copy_file(run / KB_LAYOUT_FILE, KB_LAYOUT_FILE);
        m_kernel = StartKernel();
        ASSERT_TRUE(m_main.Open(plat::Rect::FromXYWH(0, 0, 1, 1)));
        CVelkoraAppDlg::SetSeatWindowResolver(
            [](CSeatCtrlDlg* seat) { return reinterpret_cast<PageSeat*>(seat)->Id(); });
        KbSetEventHook([this](const KbKeyEvent& e) { events.push_back(e); });
    }

    void TearDown() override {
        KbSetEventHook(nullptr);
        m_page.reset();
        m_seat.reset();
        CVelkoraAppDlg::SetSeatWindowResolver(nullptr);
        HeadUnitTest::TearDown();
    }

    // The page on seat 0 (800x480 at (0, 0)) or seat 1 (800x600 at (800, 0)), made as the main
    // dialog makes it.
    CKBDlg* MakePage(uint8_t seat = 0) {
        m_seatNo = seat;
        m_seat = std::make_unique<PageSeat>();
        EXPECT_TRUE(m_seat->Open(seat ? plat::Rect::FromXYWH(800, 0, 800, 600)
                                      : plat::Rect::FromXYWH(0, 0, 800, 480)));
        m_page = std::make_unique<CKBDlg>();
        EXPECT_TRUE(m_page->SetSkin(seat, m_main.Id(), APPTYPE_KB));
        m_page->SetOwner(reinterpret_cast<CSeatCtrlDlg*>(m_seat.get()));
        m_seat->page = m_page.get();
        plat::ui::PumpUntilIdle();
        return m_page.get();
    }

    // What an asking page does before it switches here.
    void Ask(const std::u16string& title, const std::u16string& initial, int result = -1) {
        plat::StrCopy(m_kernel->m_szKbTitle, title);
        plat::StrCopy(m_kernel->m_szKbInitial, initial);
        m_kernel->m_iKbResult = result;
    }

    // The seat shows the page for the asking page `from`.
    void ShowFor(uint8_t from) {
        m_page->Show(true, from);
        plat::ui::PumpUntilIdle();
    }

    plat::Point KeyCentre(int key) const {
        plat::Rect r;
        m_page->Key(key)->GetRect(&r);
        return plat::Point{(r.left + r.right) / 2 + (m_seatNo ? 800 : 0), (r.top + r.bottom) / 2};
    }

    void Down(plat::Point p) {
        plat::ui::InjectPen(plat::ui::PenAction::Down, p);
        plat::ui::PumpUntilIdle();
    }
    void Up(plat::Point p) {
        plat::ui::InjectPen(plat::ui::PenAction::Up, p);
        plat::ui::PumpUntilIdle();
    }
    void Tap(int key) {
        Down(KeyCentre(key));
        Up(KeyCentre(key));
    }
    // Taps the keys that type `text` on the US keys (lower case, digits and space).
    void Type(const std::string& text) {
        for (char c : text)
            Tap(KeyFor(c));
    }
    static int KeyFor(char c) {
        for (int k = 0; k < KB_KEY_COUNT; ++k) {
            const uint8_t vk = g_KbKeys[k].vk;
            if (c == ' ' ? vk == VK_SPACE
                         : (vk == static_cast<uint8_t>(std::toupper(c)) &&
                            std::isalnum(static_cast<unsigned char>(c))))
                return k;
        }
        ADD_FAILURE() << "no key for " << c;
        return 0;
    }

    std::u16string EditText() const { return m_page->Edit()->GetText(1000); }

    // The requests the page sent to the main window.
    std::vector<RecordingWindow::Message> Switches() const {
        std::vector<RecordingWindow::Message> out;
        for (const auto& m : m_main.messages)
            if (m.msg == WM_SWITCH_APP)
                out.push_back(m);
        return out;
    }

    // What the seat shows.
    plat::Surface SeatPicture() const {
        plat::Surface s;
        plat::ui::GetWindowPicture(m_seat->Id(), s);
        return s;
    }

    CKernel* m_kernel = nullptr;
    RecordingWindow m_main;
    std::unique_ptr<PageSeat> m_seat;
    std::unique_ptr<CKBDlg> m_page;
    uint8_t m_seatNo = 0;
    std::vector<KbKeyEvent> events;
};

}  // namespace kbtest

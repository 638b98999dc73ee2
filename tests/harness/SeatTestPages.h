// Pages and a main window for the seat tests: each page fills the seat with its own colour and
// writes what the seat asked of it into a log shared by all pages; the main window keeps the
// messages it is sent and stores switch requests in the seat, as the main dialog does.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "core/shell/SeatCtrlDlg.h"
#include "core/ui/VelkoraAppDlg.h"
#include "core/ui/WindowMessages.h"
#include "platform/gfx/Canvas.h"
#include "platform/text/Text.h"
#include "platform/ui/Ui.h"

namespace seattest {

class TestPage : public CVelkoraAppDlg {
public:
    TestPage(std::string name, uint32_t colour, std::vector<std::string>* log)
        : m_name(std::move(name)), m_colour(colour), m_log(log) {}

    void Render(plat::Canvas* hdc) override {
        Note("Render");
        if (hdc)
            hdc->FillRect(plat::Rect{0, 0, 800, 600}, m_colour);
    }
    void Show(bool visible, uint8_t param) override {
        Note("Show(" + std::to_string(visible) + "," + std::to_string(param) + ")");
        CVelkoraAppDlg::Show(visible, param);
    }
    void OnLButtonDown(int x, int y) override { Note(Point("Down", x, y)); }
    void OnMouseMove(int x, int y) override { Note(Point("Move", x, y)); }
    void OnLButtonUp(int x, int y) override { Note(Point("Up", x, y)); }
    short GetPlayState() override { return playState; }
    void StopAll() override {
        Note("StopAll");
        if (playState != PLAYSTATE_NONE)
            playState = PLAYSTATE_STOPPED;
    }
    void PauseIfPlaying(bool pause) override {
        Note("PauseIfPlaying(" + std::to_string(pause) + ")");
        if (pause && playState == PLAYSTATE_PLAYING)
            playState = PLAYSTATE_PAUSED;
    }
    void SetAudioMode(int mode) override { Note("SetAudioMode(" + std::to_string(mode) + ")"); }
    void SetLockState(int state) override {
        Note("SetLockState(" + std::to_string(state) + ")");
        lockStates.push_back(state);
    }
    void PostRender() override { Note("PostRender"); }
    void UpdateVolume(bool repaint) override {
        Note("UpdateVolume(" + std::to_string(repaint) + ")");
    }
    void OnTick() override { ++ticks; }

    short playState = PLAYSTATE_NONE;
    int ticks = 0;
    std::vector<int> lockStates;

private:
    static std::string Point(const char* what, int x, int y) {
        return std::string(what) + "(" + std::to_string(x) + "," + std::to_string(y) + ")";
    }
    void Note(const std::string& what) {
        if (m_log)
            m_log->push_back(m_name + "." + what);
    }

    std::string m_name;
    uint32_t m_colour;
    std::vector<std::string>* m_log;
};

class TestMain : public plat::ui::Window {
public:
    struct Message {
        uint32_t msg;
        uintptr_t wParam;
        intptr_t lParam;
        bool operator==(const Message& o) const {
            return msg == o.msg && wParam == o.wParam && lParam == o.lParam;
        }
    };

    ~TestMain() override { Destroy(); }

    bool Open() {
        plat::ui::CreateParams p;
        p.rect = plat::Rect{0, 0, 0, 0};
        return Create(p);
    }
    // Only the messages of one kind.
    std::vector<Message> Of(uint32_t msg) const {
        std::vector<Message> out;
        for (const Message& m : messages)
            if (m.msg == msg)
                out.push_back(m);
        return out;
    }

    CSeatCtrlDlg* seats[2] = {nullptr, nullptr};
    std::vector<Message> messages;

protected:
    intptr_t OnMessage(uint32_t msg, uintptr_t wParam, intptr_t lParam) override {
        messages.push_back({msg, wParam, lParam});
        if (msg == WM_SWITCH_APP && wParam <= 1 && seats[wParam]) {
            seats[wParam]->m_iPending = static_cast<int>(lParam);
            plat::ui::InvalidateRect(seats[wParam]->Id());
        }
        return 0;
    }
};

}  // namespace seattest

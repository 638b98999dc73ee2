// The message box on real screens: a top-most window of the layer itself, so its modal loop
// answers sends and keeps the timers running like every other loop, on X11 and KMS alike. It
// draws with the graphics layer's canvas and fonts.
#include <algorithm>
#include <string>
#include <vector>

#include "platform/gfx/Canvas.h"
#include "platform/gfx/Font.h"
#include "platform/sys/EndSignals.h"
#include "platform/ui/UiInternal.h"

namespace plat::ui {

namespace {

constexpr int kCaptionHeight = 34;
constexpr int kMargin = 20;
constexpr int kButtonWidth = 110;
constexpr int kButtonHeight = 44;
constexpr uint32_t kFace = Argb(0xFF, 0xF0, 0xF0, 0xF0);
constexpr uint32_t kErrorCaption = Argb(0xFF, 0xB2, 0x1E, 0x1E);
constexpr uint32_t kWarningCaption = Argb(0xFF, 0xCC, 0x85, 0x0D);
constexpr uint32_t kNoteCaption = Argb(0xFF, 0x1F, 0x4C, 0x8C);
constexpr uint32_t kButtonFace = Argb(0xFF, 0xCC, 0xCC, 0xCC);
constexpr uint32_t kButtonPressed = Argb(0xFF, 0x9E, 0x9E, 0x9E);
constexpr uint32_t kButtonEdge = Argb(0xFF, 0x59, 0x59, 0x59);
// How often the box looks for a request to end the program: signals do not wake its loop.
constexpr uint32_t kEndWatchTimer = 1;
constexpr uint32_t kEndWatchMs = 100;

struct Button {
    std::u16string label;
    int result;
    Rect rect;
};

Font MakeFont(int height, int weight) {
    Font font;
    if (!Font::Create("Liberation Sans", height, 0, weight, true, font))
        font = Font::Default();
    return font;
}

class MessageBoxWindow final : public Window {
public:
    MessageBoxWindow(const std::u16string& text, const std::u16string& caption, uint32_t flags)
        : m_text(text), m_caption(caption), m_flags(flags) {
        switch (flags & 0x0F) {
            case kMbOkCancel:
                m_buttons = {{u"OK", kIdOk, {}}, {u"Cancel", kIdCancel, {}}};
                break;
            case kMbYesNo:
                m_buttons = {{u"Yes", kIdYes, {}}, {u"No", kIdNo, {}}};
                break;
            default:
                m_buttons = {{u"OK", kIdOk, {}}};
                break;
        }
    }

    ~MessageBoxWindow() override { Destroy(); }

    int Run(WindowId owner) {
        // Centred over the owner, or over the first screen, and never wider than that.
        Rect over = GetWindowRect(owner);
        if (over.IsEmpty()) {
            std::vector<Rect> screens = Screens();
            over = screens.empty() ? Rect::FromXYWH(0, 0, 800, 480) : screens[0];
        }
        Point text = MeasureText(m_textFont, m_text, 0);
        int buttonsW = static_cast<int>(m_buttons.size()) * (kButtonWidth + kMargin) - kMargin;
        int w = std::max({text.x, buttonsW, 280}) + 2 * kMargin;
        w = std::min(w, std::max(over.Width() - 2 * kMargin, 320));
        int h = kCaptionHeight + kMargin + text.y + kMargin + kButtonHeight + kMargin;
        int x = w - kMargin - buttonsW;
        for (Button& b : m_buttons) {
            b.rect = Rect::FromXYWH(x, h - kMargin - kButtonHeight, kButtonWidth, kButtonHeight);
            x += kButtonWidth + kMargin;
        }
        CreateParams params;
        params.rect = Rect::FromXYWH(over.left + (over.Width() - w) / 2,
                                     over.top + (over.Height() - h) / 2, w, h);
        params.visible = true;
        params.topMost = true;
        params.title = m_caption;
        if (!Create(params))
            return m_buttons.front().result;
        int result;
        {
            // The owner takes no pen until the box is answered.
            const OwnerHold hold(owner);
            SetTimer(Id(), kEndWatchTimer, kEndWatchMs);
            result = RunModalLoop(Id());
            KillTimer(Id(), kEndWatchTimer);
        }
        Destroy();
        return result;
    }

protected:
    void OnPaint(Surface& surface, const Rect&) override {
        std::unique_ptr<Canvas> canvas = MakeCanvas(surface);
        if (!canvas)
            return;
        int w = surface.Width(), h = surface.Height();
        canvas->FillRect(Rect{0, 0, w, h}, kButtonEdge);
        canvas->FillRect(Rect{1, 1, w - 1, h - 1}, kFace);
        // The caption bar's colour tells errors and warnings from notes at a glance.
        uint32_t icon = m_flags & 0xF0;
        canvas->FillRect(Rect{0, 0, w, kCaptionHeight}, icon == kMbIconError     ? kErrorCaption
                                                        : icon == kMbIconWarning ? kWarningCaption
                                                                                 : kNoteCaption);
        canvas->SetFont(m_captionFont);
        canvas->SetTextColor(Argb(0xFF, 0xFF, 0xFF, 0xFF));
        canvas->DrawText(m_caption, Rect{kMargin / 2, 0, w - kMargin / 2, kCaptionHeight},
                         kTextLeft | kTextVCenter | kTextSingleLine);
        canvas->SetFont(m_textFont);
        canvas->SetTextColor(Argb(0xFF, 0, 0, 0));
        canvas->DrawText(
            m_text,
            Rect{kMargin, kCaptionHeight + kMargin, w - kMargin, h - 2 * kMargin - kButtonHeight},
            kTextLeft);
        canvas->SetFont(m_captionFont);
        for (size_t i = 0; i < m_buttons.size(); ++i) {
            const Rect& r = m_buttons[i].rect;
            canvas->FillRect(r, kButtonEdge);
            canvas->FillRect(Rect{r.left + 1, r.top + 1, r.right - 1, r.bottom - 1},
                             static_cast<int>(i) == m_pressed ? kButtonPressed : kButtonFace);
            canvas->DrawText(m_buttons[i].label, r, kTextCenter | kTextVCenter | kTextSingleLine);
        }
    }

    void OnPenDown(Point pt) override {
        m_pressed = HitButton(pt);
        InvalidateRect(Id());
    }

    void OnPenUp(Point pt) override {
        int hit = HitButton(pt);
        int pressed = m_pressed;
        m_pressed = -1;
        InvalidateRect(Id());
        if (hit >= 0 && hit == pressed)
            EndModal(Id(), m_buttons[hit].result);
    }

    void OnClose() override {
        // Closing the box answers like its last button (Cancel, No) or OK.
        EndModal(Id(), m_buttons.back().result);
    }

    void OnTimer(uint32_t timerId) override {
        // The program is asked to end (SIGTERM, Ctrl+C): nobody will press the box, so it
        // answers as closed and leaves the request for the program's own timer.
        if (timerId == kEndWatchTimer && EndRequestPending())
            OnClose();
    }

private:
    int HitButton(Point pt) const {
        for (size_t i = 0; i < m_buttons.size(); ++i) {
            if (m_buttons[i].rect.Contains(pt))
                return static_cast<int>(i);
        }
        return -1;
    }

    std::u16string m_text;
    std::u16string m_caption;
    uint32_t m_flags;
    std::vector<Button> m_buttons;
    int m_pressed = -1;
    Font m_captionFont = MakeFont(20, 700);
    Font m_textFont = MakeFont(22, 400);
};

}  // namespace

int RunMessageBoxWindow(WindowId owner, const std::u16string& text, const std::u16string& caption,
                        uint32_t flags) {
    MessageBoxWindow box(text, caption, flags);
    return box.Run(owner);
}

}  // namespace plat::ui

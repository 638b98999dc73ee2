// A list box made by the root from a generated skin, drawn into an 800 x 480 page, with a
// handler that records every call it gets.
#pragma once

#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "library/include/Vantrel.h"
#include "library/userinterface/KvListbox.h"
#include "platform/gfx/Canvas.h"
#include "platform/text/Text.h"
#include "tests/support/GfxTestSupport.h"
#include "tests/support/TestSupport.h"

namespace listboxtest {

using KvUserInterface::CKvListbox;
using KvUserInterface::IKvListbox;
using plat::Argb;
using plat::Rect;

constexpr uint32_t kBack = Argb(255, 0, 0, 0);
constexpr uint32_t kWhite = Argb(255, 255, 255, 255);
// The row colours as the canvas shows them.
constexpr uint32_t kCurrentRow = plat::ArgbFromColorRef(0x2629FF);
constexpr uint32_t kDisabledRow = plat::ArgbFromColorRef(0x5C5C5C);
constexpr uint32_t kBlinkRow = plat::ArgbFromColorRef(0x404040);
constexpr uint32_t kGreyThumb = plat::ArgbFromColorRef(0xA8A8A8);

// Frame colours (normal, highlighted, pressed, disabled) of the scroll controls' strips.
const std::vector<uint32_t> kUpFrames = {Argb(255, 0, 0, 150), Argb(255, 0, 0, 160),
                                         Argb(255, 0, 0, 170), Argb(255, 0, 0, 180)};
const std::vector<uint32_t> kDownFrames = {Argb(255, 0, 150, 0), Argb(255, 0, 160, 0),
                                           Argb(255, 0, 170, 0), Argb(255, 0, 180, 0)};
const std::vector<uint32_t> kThumbFrames = {Argb(255, 150, 150, 0), Argb(255, 160, 160, 0),
                                            Argb(255, 170, 170, 0), Argb(255, 180, 180, 0)};

// Text rows: the list at (100, 100), 400 x 300, ten rows of 30; the scroll bar from y 100 to
// 400 right of it, its buttons above and below the bar. Grid: the list covers the fixed cells,
// the scroll bar and its buttons stand right of them.
inline const char* kSkin =
    "[List]\r\n"
    "Position = 100, 100, 400, 300\r\n"
    "Scroll Bar = 520, 100, 48, 300\r\n"
    "Scroll Up Pos = 524, 60, 40, 30\r\n"
    "Scroll Up Img = up.png\r\n"
    "Scroll Down Pos = 524, 410, 40, 30\r\n"
    "Scroll Down Img = down.png\r\n"
    "Scroll Mid Pos = 526, 100, 36, 30\r\n"
    "Scroll Mid Img = thumb.png\r\n"
    "Row Height = 30\r\n"
    "Font = 12, 255, 255, 255\r\n"
    "Item String Pos = 10, 0\r\n"
    "[Grid]\r\n"
    "Position = 270, 80, 484, 400\r\n"
    "Scroll Bar = 760, 100, 36, 300\r\n"
    "Scroll Up Pos = 760, 60, 36, 30\r\n"
    "Scroll Up Img = up.png\r\n"
    "Scroll Down Pos = 760, 410, 36, 30\r\n"
    "Scroll Down Img = down.png\r\n"
    "Scroll Mid Pos = 760, 100, 36, 30\r\n"
    "Scroll Mid Img = thumb.png\r\n"
    "Row Height = 30\r\n"
    "Font = 10, 255, 255, 255\r\n"
    "Item String Pos = 0, 0\r\n"
    "[NoRows]\r\n"
    "Position = 100, 100, 400, 300\r\n"
    "Scroll Bar = 520, 100, 48, 300\r\n"
    "Scroll Up Pos = 524, 60, 40, 30\r\n"
    "Scroll Down Pos = 524, 410, 40, 30\r\n"
    "Font = 12, 255, 255, 255\r\n";

// Points on the controls of the two skins.
constexpr int kUpX = 544, kUpY = 75, kDownX = 544, kDownY = 425;
constexpr int kGridUpX = 778, kGridUpY = 75, kGridDownX = 778, kGridDownY = 425;

struct HandlerCall {
    char kind;  // 'D' draw, 'P' pen-down, 'U' pen-up, 'M' pen-move
    int x;
    int y;
    int action;  // the byte as the handler saw it; -1 for a draw
};

// The program's side of the callbacks, recording them in order.
class RecordingHandler : public KvUserInterface::IKvListboxHandler {
public:
    void OnDraw(plat::Canvas* hdc) override {
        calls.push_back({'D', 0, 0, -1});
        lastCanvas = hdc;
    }
    void OnLButtonUp(int x, int y, uint8_t* action) override {
        calls.push_back({'U', x, y, action ? *action : -2});
        if (onUp)
            onUp(action);
    }
    void OnLButtonDown(int x, int y, uint8_t* action) override {
        calls.push_back({'P', x, y, action ? *action : -2});
        if (onDown)
            onDown(action);
    }
    void OnMouseMove(int x, int y, uint8_t* action) override {
        calls.push_back({'M', x, y, action ? *action : -2});
    }
    std::string Kinds() const {
        std::string s;
        for (const HandlerCall& c : calls)
            s += c.kind;
        return s;
    }

    std::vector<HandlerCall> calls;
    plat::Canvas* lastCanvas = nullptr;
    std::function<void(uint8_t*)> onUp;
    std::function<void(uint8_t*)> onDown;
};

class ListboxTest : public ::testing::Test {
protected:
    void SetUp() override {
        m_root = CreateIVantrel();
        ASSERT_EQ(m_root->CreateListbox(&m_list), RZ_OK);
        ASSERT_NE(m_list, nullptr);
        m_target = testsupport::SolidImage(800, 480, kBack);
        m_canvas = plat::MakeCanvas(m_target);
        testsupport::WritePng(m_dir.File("up.png"), testsupport::StripImage(40, 30, kUpFrames));
        testsupport::WritePng(m_dir.File("down.png"), testsupport::StripImage(40, 30, kDownFrames));
        // Tall enough for any thumb length: the thumb's frame is cut at its own height.
        testsupport::WritePng(m_dir.File("thumb.png"),
                              testsupport::StripImage(36, 480, kThumbFrames));
        testsupport::WriteUtf16(m_dir.File("skin.ini"), kSkin);
    }
    void TearDown() override {
        if (m_list) {
            EXPECT_EQ(m_list->Release(), 0);
        }
        m_root->Release();
    }

    CKvListbox* Impl() { return static_cast<CKvListbox*>(m_list); }
    std::u16string Folder() const {
        const std::u16string dir = m_dir.File16("");
        return dir.substr(0, dir.size() - 1);
    }
    RZRESULT Load(const char16_t* section = u"List") {
        return m_list->LoadLayout(m_dir.File16("skin.ini").c_str(), section, Folder().c_str());
    }
    // Items "Item 0" .. with their number as payload.
    void AddTexts(int n) {
        for (int i = 0; i < n; ++i) {
            const std::u16string text = u"Item " + plat::Utf8ToUtf16(std::to_string(i));
            ASSERT_EQ(m_list->AddItem(text.c_str(), &i, sizeof i, nullptr), RZ_OK);
        }
    }
    // A picture file of one colour.
    std::u16string Picture(const std::string& name, int w, int h, uint32_t argb) {
        testsupport::WritePng(m_dir.File(name), testsupport::SolidImage(w, h, argb));
        return m_dir.File16(name);
    }
    std::u16string Strip(const std::string& name, int frameW, int h,
                         const std::vector<uint32_t>& colours) {
        testsupport::WritePng(m_dir.File(name), testsupport::StripImage(frameW, h, colours));
        return m_dir.File16(name);
    }
    void Paint() {
        m_target.Fill(kBack);
        ASSERT_EQ(m_list->Draw(m_canvas.get()), RZ_OK);
    }

    int Top() {
        int v = -99;
        m_list->GetTopIndex(&v);
        return v;
    }
    int End() {
        int v = -99;
        m_list->GetEndIndex(&v);
        return v;
    }
    int Cursor() {
        int v = -99;
        m_list->GetCurrentIndex(&v);
        return v;
    }
    int Count() {
        int v = -99;
        m_list->GetCount(&v);
        return v;
    }
    void View(int top, int end) {
        m_list->SetTopIndex(top);
        m_list->SetEndIndex(end);
    }
    // Pen operations answering the action byte.
    int PenDown(int x, int y) {
        uint8_t action = 0xEE;
        EXPECT_EQ(m_list->OnLButtonDown(x, y, &action), RZ_OK);
        return action;
    }
    int PenUp(int x, int y) {
        uint8_t action = 0xEE;
        EXPECT_EQ(m_list->OnLButtonUp(x, y, &action), RZ_OK);
        return action;
    }
    int PenMove(int x, int y) {
        uint8_t action = 0xEE;
        EXPECT_EQ(m_list->OnMouseMove(x, y, &action), RZ_OK);
        return action;
    }
    int Tap(int x, int y) {
        PenDown(x, y);
        return PenUp(x, y);
    }
    // A point in text row `row` of the page.
    static int RowY(int row) { return 100 + 30 * row + 15; }
    uint8_t ButtonState(KvUserInterface::IKvButton* button) {
        uint8_t s = 0xEE;
        button->GetState(&s);
        return s;
    }

    testsupport::TempDir m_dir;
    IVantrel* m_root = nullptr;
    IKvListbox* m_list = nullptr;
    plat::Surface m_target;
    std::unique_ptr<plat::Canvas> m_canvas;
};

}  // namespace listboxtest

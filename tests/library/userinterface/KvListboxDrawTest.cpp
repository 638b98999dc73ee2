// The list box's items, skin and drawing, checked on the pixels it draws.

#include <cstdlib>

#include "library/multimedia/KvListImage.h"
#include "platform/gfx/ImageFile.h"
#include "tests/library/userinterface/ListboxFixture.h"

using namespace listboxtest;
using testsupport::CountInk;
using testsupport::CountPixels;
using testsupport::InkBox;

namespace {

// The text row `row` of the standard skin (the list at (100, 100), rows of 30).
Rect RowRect(int row) {
    return Rect{100, 100 + 30 * row, 500, 130 + 30 * row};
}

int Value(void* data) {
    return data ? *static_cast<int*>(data) : -1;
}

class ListboxDraw : public ListboxTest {
protected:
    int Payload(int index) {
        void* data = reinterpret_cast<void*>(1);
        m_list->GetAt(&data, index);
        return Value(data);
    }
};

}  // namespace

TEST_F(ListboxDraw, SkinKeysGiveRectangleScrollControlsRowsFontAndTextPlace) {
    ASSERT_EQ(Load(), RZ_OK);
    int x, y, w, h;
    m_list->GetBounds(&x, &y, &w, &h);
    EXPECT_EQ((Rect{x, y, w, h}), (Rect{100, 100, 400, 300}));
    EXPECT_EQ(Impl()->ScrollBar(), (Rect{520, 100, 568, 400}));
    EXPECT_EQ(Impl()->RowHeight(), 30);
    EXPECT_EQ(Impl()->RowsPerPage(), 10);
    EXPECT_EQ(Impl()->TextDx(), 10);
    EXPECT_EQ(Impl()->TextDy(), 0);
    EXPECT_EQ(Impl()->Colour(), 0xFFFFFFu);
    ASSERT_TRUE(Impl()->RowFont().has_value());
    plat::Font recipe;
    ASSERT_TRUE(plat::Font::CreateWidgetFont(12, recipe));
    EXPECT_EQ(*Impl()->RowFont(), recipe);
    ASSERT_NE(Impl()->UpButton(), nullptr);
    ASSERT_NE(Impl()->DownButton(), nullptr);
    ASSERT_NE(Impl()->ThumbButton(), nullptr);
    Impl()->UpButton()->GetBounds(&x, &y, &w, &h);
    EXPECT_EQ((Rect{x, y, w, h}), (Rect{524, 60, 40, 30}));
    Impl()->DownButton()->GetBounds(&x, &y, &w, &h);
    EXPECT_EQ((Rect{x, y, w, h}), (Rect{524, 410, 40, 30}));

    // A second load replaces the controls (the old ones are given back) and reads the other
    // section's values.
    ASSERT_EQ(Load(u"Grid"), RZ_OK);
    m_list->GetBounds(&x, &y, &w, &h);
    EXPECT_EQ((Rect{x, y, w, h}), (Rect{270, 80, 484, 400}));
    EXPECT_EQ(Impl()->RowsPerPage(), 13);
    Impl()->UpButton()->GetBounds(&x, &y, &w, &h);
    EXPECT_EQ((Rect{x, y, w, h}), (Rect{760, 60, 36, 30}));

    // SetRect keeps the rows per page; SetRowHeight recomputes them.
    m_list->SetRect(0, 0, 100, 90);
    EXPECT_EQ(Impl()->RowsPerPage(), 13);
    m_list->SetRowHeight(30);
    EXPECT_EQ(Impl()->RowsPerPage(), 3);
}

TEST_F(ListboxDraw, NewListBoxIsVisibleEmptyTextModeWithoutControls) {
    EXPECT_EQ(m_list->IsVisible(), 1);
    EXPECT_EQ(Count(), 0);
    EXPECT_EQ(Top(), 0);
    EXPECT_EQ(End(), 0);
    int mode = -1;
    m_list->GetViewMode(&mode);
    EXPECT_EQ(mode, 0);
    EXPECT_EQ(Impl()->UpButton(), nullptr);
    EXPECT_FALSE(Impl()->RowFont().has_value());
    uint8_t disabled = 0xEE;
    uint8_t* p = &disabled;
    m_list->GetDisabled(&p);
    EXPECT_EQ(disabled, 0);
    m_list->SetDisabled(1);
    m_list->GetDisabled(&p);
    EXPECT_EQ(disabled, 1);
    // Drawing an empty, unskinned list box draws nothing, but still tells the handler.
    RecordingHandler handler;
    m_list->SetHandler(&handler);
    Paint();
    EXPECT_EQ(CountInk(m_target, m_target.Bounds(), kBack), 0);
    EXPECT_EQ(handler.Kinds(), "D");
    EXPECT_EQ(handler.lastCanvas, m_canvas.get());
}

TEST_F(ListboxDraw, FirstPageOfRowsWithCurrentRowAndScrollBar) {
    ASSERT_EQ(Load(), RZ_OK);
    RecordingHandler handler;
    m_list->SetHandler(&handler);
    AddTexts(25);
    EXPECT_EQ(Top(), 0);
    EXPECT_EQ(End(), 10);
    Paint();

    // Row 0 is the current one; the nine others are in the skin's colour.
    EXPECT_GT(CountPixels(m_target, RowRect(0), kCurrentRow), 20);
    EXPECT_EQ(CountPixels(m_target, RowRect(0), kWhite), 0);
    for (int row = 1; row < 10; ++row) {
        SCOPED_TRACE(row);
        EXPECT_GT(CountPixels(m_target, RowRect(row), kWhite), 20);
        EXPECT_EQ(CountPixels(m_target, RowRect(row), kCurrentRow), 0);
    }
    // Nothing of the rows outside the list's rectangle.
    EXPECT_EQ(CountInk(m_target, Rect{0, 400, 520, 480}, kBack), 0);
    EXPECT_EQ(CountInk(m_target, Rect{0, 0, 520, 100}, kBack), 0);

    // Thumb: 300 pixels for 25 items is 12 an item; ten rows give 120 + 16 pixels from
    // 100 - 8.
    EXPECT_EQ(InkBox(m_target, kBack, Rect{505, 91, 600, 405}), (Rect{526, 92, 562, 228}));
    EXPECT_EQ(CountPixels(m_target, Rect{526, 92, 562, 228}, kThumbFrames[0]), 36 * 136);
    EXPECT_EQ(CountPixels(m_target, Rect{524, 60, 564, 90}, kUpFrames[0]), 40 * 30);
    EXPECT_EQ(CountPixels(m_target, Rect{524, 410, 564, 440}, kDownFrames[0]), 40 * 30);
    EXPECT_EQ(handler.Kinds(), "D");
}

TEST_F(ListboxDraw, ThumbFollowsTheView) {
    ASSERT_EQ(Load(), RZ_OK);
    AddTexts(30);
    View(10, 20);
    Paint();
    // 300 pixels for 30 items: the thumb runs from 100 + 100 - 8 to that + 100 + 16.
    EXPECT_EQ(InkBox(m_target, kBack, Rect{505, 91, 600, 405}), (Rect{526, 192, 562, 308}));
    Rect thumb;
    Impl()->ThumbButton()->GetRect(&thumb);
    EXPECT_EQ(thumb, (Rect{526, 192, 562, 309}));  // one past the drawn thumb
    // Rows 10 to 19 fill the page, the current item (0) is not among them.
    EXPECT_EQ(CountPixels(m_target, Rect{100, 100, 500, 400}, kCurrentRow), 0);
    EXPECT_GT(CountPixels(m_target, RowRect(9), kWhite), 20);

    View(20, 30);
    Paint();
    EXPECT_EQ(InkBox(m_target, kBack, Rect{505, 91, 600, 409}), (Rect{526, 292, 562, 408}));
}

TEST_F(ListboxDraw, NothingHiddenDrawsNoScrollControls) {
    ASSERT_EQ(Load(), RZ_OK);
    AddTexts(8);
    EXPECT_EQ(End(), 8);
    Paint();
    EXPECT_GT(CountPixels(m_target, RowRect(7), kWhite), 20);
    EXPECT_EQ(CountInk(m_target, RowRect(8), kBack), 0);
    EXPECT_EQ(CountInk(m_target, Rect{505, 0, 800, 480}, kBack), 0);
}

TEST_F(ListboxDraw, RowTextSitsAtItsOffsetCentredInTheRow) {
    ASSERT_EQ(Load(), RZ_OK);
    AddTexts(3);
    m_list->SetCurrentIndex(2);
    Paint();
    const Rect ink = InkBox(m_target, kBack, RowRect(1));
    ASSERT_FALSE(ink.IsEmpty());
    EXPECT_GE(ink.left, 110);
    EXPECT_LE(ink.left, 114);
    EXPECT_NEAR((ink.top + ink.bottom) / 2.0, 145, 3);
    EXPECT_GT(ink.Height(), 10);
    EXPECT_LE(ink.Height(), 24);  // a cell of twice the font size

    // The text offset moves the text's rectangle down and right.
    m_list->SetItemStringPos(50, 10);
    Paint();
    const Rect moved = InkBox(m_target, kBack, Rect{100, 130, 500, 175});
    EXPECT_EQ(moved.left - ink.left, 40);
    EXPECT_EQ(moved.top - ink.top, 5);  // centred in a row 10 lower and 10 shorter
}

TEST_F(ListboxDraw, CurrentRowColourGivesWayToTheListFlagAndToDisabling) {
    ASSERT_EQ(Load(), RZ_OK);
    AddTexts(5);
    m_list->SetCurrentIndex(2);
    Paint();
    EXPECT_GT(CountPixels(m_target, RowRect(2), kCurrentRow), 20);

    m_list->SetFlag(1);
    Paint();
    EXPECT_EQ(CountPixels(m_target, RowRect(2), kCurrentRow), 0);
    EXPECT_GT(CountPixels(m_target, RowRect(2), kWhite), 20);

    m_list->SetFlag(0);
    m_list->SetDisabled(1);
    Paint();
    for (int row = 0; row < 5; ++row) {
        SCOPED_TRACE(row);
        EXPECT_GT(CountPixels(m_target, RowRect(row), kDisabledRow), 20);
        EXPECT_EQ(CountPixels(m_target, RowRect(row), kWhite), 0);
        EXPECT_EQ(CountPixels(m_target, RowRect(row), kCurrentRow), 0);
    }
}

TEST_F(ListboxDraw, BlinkRowAlternatesAndOneToggleServesEveryListBox) {
    // Edge pixels of lighter text can match the darker blink colour by chance: a state shows
    // by its own colour at full strength, and by the lack of the lighter ones.
    ASSERT_EQ(Load(), RZ_OK);
    AddTexts(5);
    m_list->SetCurrentIndex(0);
    m_list->SetBlinkIndex(3);
    for (int paint = 0; paint < 4; ++paint) {
        SCOPED_TRACE(paint);
        Paint();
        if (paint % 2 == 0) {
            EXPECT_GT(CountPixels(m_target, RowRect(3), kBlinkRow), 20);
            EXPECT_EQ(CountPixels(m_target, RowRect(3), kWhite), 0);
        } else {
            EXPECT_GT(CountPixels(m_target, RowRect(3), kWhite), 20);
        }
        EXPECT_GT(CountPixels(m_target, RowRect(2), kWhite), 20);  // the others stay put
    }
    // Disabled, it alternates with the grey of disabled rows.
    m_list->SetDisabled(1);
    Paint();
    EXPECT_GT(CountPixels(m_target, RowRect(3), kBlinkRow), 20);
    EXPECT_EQ(CountPixels(m_target, RowRect(3), kDisabledRow), 0);
    Paint();
    EXPECT_GT(CountPixels(m_target, RowRect(3), kDisabledRow), 20);
    m_list->SetDisabled(0);

    // A second list box with a blink row: painting both flips the shared toggle twice, so
    // the first always shows the blink colour and the second never does.
    IKvListbox* other = nullptr;
    ASSERT_EQ(m_root->CreateListbox(&other), RZ_OK);
    other->SetRect(100, 400, 400, 30);
    other->SetRowHeight(30);
    other->SetFont(12, 255, 255, 255);
    other->AddItem(u"Other", nullptr, 0, nullptr);
    other->SetCurrentIndex(5);
    other->SetBlinkIndex(0);
    for (int paint = 0; paint < 3; ++paint) {
        SCOPED_TRACE(paint);
        m_target.Fill(kBack);
        m_list->Draw(m_canvas.get());
        other->Draw(m_canvas.get());
        EXPECT_GT(CountPixels(m_target, RowRect(3), kBlinkRow), 20);
        EXPECT_EQ(CountPixels(m_target, RowRect(3), kWhite), 0);
        EXPECT_GT(CountPixels(m_target, Rect{100, 400, 500, 430}, kWhite), 20);
    }
    EXPECT_EQ(other->Release(), 0);
}

TEST_F(ListboxDraw, HiddenListBoxDrawsNothingAndTellsNoHandler) {
    ASSERT_EQ(Load(), RZ_OK);
    RecordingHandler handler;
    m_list->SetHandler(&handler);
    AddTexts(20);
    m_list->Show(0);
    EXPECT_EQ(m_list->IsVisible(), 0);
    Paint();
    EXPECT_EQ(CountInk(m_target, m_target.Bounds(), kBack), 0);
    EXPECT_TRUE(handler.calls.empty());
    m_list->Show(1);
    m_list->SetHandler(nullptr);
    Paint();
    EXPECT_GT(CountInk(m_target, m_target.Bounds(), kBack), 0);
    EXPECT_TRUE(handler.calls.empty());
}

TEST_F(ListboxDraw, DisplayTextsAreOwnedCopiesThatGoWithTheirItems) {
    ASSERT_EQ(Load(), RZ_OK);
    std::u16string text = u"Volatile";
    int v = 7;
    ASSERT_EQ(m_list->AddItem(text.c_str(), &v, sizeof v, nullptr), RZ_OK);
    text.assign(text.size(), u' ');  // the list box drew from its own copy
    v = 8;
    ASSERT_EQ(m_list->AddItem(nullptr, &v, sizeof v, nullptr), RZ_OK);  // no text: a blank row
    AddTexts(2);
    m_list->SetCurrentIndex(9);
    Paint();
    EXPECT_GT(CountPixels(m_target, RowRect(0), kWhite), 20);
    EXPECT_EQ(CountInk(m_target, RowRect(1), kBack), 0);
    EXPECT_EQ(Payload(1), 8);

    // Replacing with its own text, removing it, and replacing text and payload together.
    Paint();
    const int before = CountPixels(m_target, RowRect(0), kWhite);
    EXPECT_EQ(m_list->SetItemText(1, u"Now a row"), RZ_OK);
    EXPECT_EQ(m_list->SetItemText(0, nullptr), RZ_OK);
    EXPECT_EQ(m_list->SetItemText(99, u"none"), RZ_FAIL);
    Paint();
    EXPECT_EQ(CountInk(m_target, RowRect(0), kBack), 0);
    EXPECT_GT(CountPixels(m_target, RowRect(1), kWhite), 20);
    EXPECT_GT(before, 0);
    v = 70;
    EXPECT_EQ(m_list->SetItem(0, u"Back", &v, sizeof v, nullptr), RZ_OK);
    EXPECT_EQ(Payload(0), 70);
    EXPECT_EQ(m_list->SetItem(42, u"x", &v, sizeof v, nullptr), RZ_FAIL);

    // The item list's SetAt is no way in: the list box's items change through SetItem.
    v = 71;
    EXPECT_EQ(m_list->SetAt(0, &v, sizeof v, nullptr), RZ_OK);
    EXPECT_EQ(Payload(0), 70);

    // ClearAt drops text and payload but keeps the item; RemoveAt takes it out.
    EXPECT_EQ(m_list->ClearAt(2), RZ_OK);
    EXPECT_EQ(Payload(2), -1);
    EXPECT_EQ(Count(), 4);
    EXPECT_EQ(m_list->RemoveAt(0), RZ_OK);
    EXPECT_EQ(Count(), 3);
    EXPECT_EQ(Payload(0), 8);
    Paint();
    EXPECT_GT(CountPixels(m_target, RowRect(0), kWhite), 20);  // "Now a row" moved up
    EXPECT_EQ(CountInk(m_target, RowRect(1), kBack), 0);       // the cleared item
    EXPECT_GT(CountPixels(m_target, RowRect(2), kWhite), 20);  // "Item 1"
    EXPECT_EQ(CountInk(m_target, RowRect(3), kBack), 0);
}

TEST_F(ListboxDraw, RemovingKeepsTheViewInsideTheItems) {
    ASSERT_EQ(Load(), RZ_OK);
    AddTexts(30);
    View(20, 30);
    ASSERT_EQ(m_list->RemoveAt(29), RZ_OK);
    EXPECT_EQ(Count(), 29);
    EXPECT_EQ(End(), 29);
    EXPECT_EQ(Top(), 20);
    Paint();
    EXPECT_GT(CountPixels(m_target, RowRect(8), kWhite), 20);
    EXPECT_EQ(CountInk(m_target, RowRect(9), kBack), 0);
    // Removing before the view leaves it where it is.
    ASSERT_EQ(m_list->RemoveAt(0), RZ_OK);
    EXPECT_EQ(Top(), 20);
    EXPECT_EQ(End(), 28);
    EXPECT_EQ(m_list->RemoveAt(28), RZ_FAIL);

    m_list->SetCurrentIndex(25);
    EXPECT_EQ(m_list->RemoveAll(), RZ_OK);
    EXPECT_EQ(Count(), 0);
    EXPECT_EQ(Top(), 0);
    EXPECT_EQ(End(), 0);
    EXPECT_EQ(Cursor(), 0);
    Paint();
    EXPECT_EQ(CountInk(m_target, m_target.Bounds(), kBack), 0);
    // Filled again from empty, it shows the first page.
    AddTexts(12);
    EXPECT_EQ(Top(), 0);
    EXPECT_EQ(End(), 10);
}

TEST_F(ListboxDraw, AFullListRefusesTheItemAndKeepsTheView) {
    ASSERT_EQ(Load(), RZ_OK);
    for (int i = 0; i < KvUtility::KVLIST_MAX_ITEMS; ++i)
        ASSERT_EQ(m_list->AddItem(u"row", &i, sizeof i, nullptr), RZ_OK);
    EXPECT_EQ(End(), 10);
    View(8182, 8192);
    int v = -1;
    EXPECT_EQ(m_list->AddItem(u"one more", &v, sizeof v, nullptr), RZ_FAIL);
    EXPECT_EQ(m_list->Add(&v, sizeof v, nullptr), RZ_FAIL);
    EXPECT_EQ(Count(), KvUtility::KVLIST_MAX_ITEMS);
    EXPECT_EQ(Top(), 8182);
    EXPECT_EQ(End(), 8192);
    EXPECT_EQ(Payload(8191), 8191);
}

TEST_F(ListboxDraw, MissingRowHeightMeansNoRows) {
    ASSERT_EQ(Load(u"NoRows"), RZ_OK);
    EXPECT_EQ(Impl()->RowHeight(), 0);
    EXPECT_EQ(Impl()->RowsPerPage(), 0);
    AddTexts(5);
    EXPECT_EQ(Top(), 0);
    EXPECT_EQ(End(), 0);
    Paint();
    EXPECT_EQ(CountInk(m_target, Rect{0, 0, 520, 480}, kBack), 0);
    EXPECT_EQ(PenDown(200, 150), 0);
    EXPECT_EQ(PenUp(200, 150), 0);
    EXPECT_EQ(Cursor(), 0);
    // The buttons are there, but there is nothing to scroll.
    EXPECT_EQ(PenDown(kDownX, kDownY), 2);
    EXPECT_EQ(PenUp(kDownX, kDownY), 2);
    EXPECT_EQ(Top(), 0);
    EXPECT_EQ(End(), 0);
    m_list->SetCurrentIndex(4);
    EXPECT_EQ(Cursor(), 4);
    EXPECT_GE(Top(), 0);
    EXPECT_LE(Top(), End());
    EXPECT_LE(End(), Count());
    m_list->SetRowHeight(-30);
    EXPECT_EQ(Impl()->RowsPerPage(), 0);
    Paint();
    m_list->SetRowHeight(30);
    EXPECT_EQ(Impl()->RowsPerPage(), 10);
}

TEST_F(ListboxDraw, ShiftingAndGridLayoutRules) {
    m_list->SetRect(10, 20, 30, 40);
    EXPECT_EQ(m_list->SetShifted(0), RZ_OK);
    int x, y, w, h;
    m_list->GetBounds(&x, &y, &w, &h);
    EXPECT_EQ((Rect{x, y, w, h}), (Rect{10, 20, 30, 434}));
    Rect r;
    m_list->GetRect(&r);
    EXPECT_EQ(r, (Rect{10, 20, 40, 454}));
    m_list->SetPos(1, 2);
    m_list->GetRect(&r);
    EXPECT_EQ(r, (Rect{1, 2, 31, 436}));

    // The grid layout is taken only in grid mode.
    int cell = 0;
    m_list->SetGridLayout(2);
    m_list->SetViewMode(1);
    m_list->HitTestCell(275, 188, &cell);  // between rows in layout 0, inside in layout 2
    EXPECT_EQ(cell, KvUserInterface::LISTBOX_NO_CELL);
    m_list->SetGridLayout(2);
    m_list->HitTestCell(275, 188, &cell);
    EXPECT_EQ(cell, 0);
    int mode = -1;
    m_list->GetViewMode(&mode);
    EXPECT_EQ(mode, 1);
}

// ---- Icon grids ----------------------------------------------------------------------------

TEST_F(ListboxDraw, GridPicturesShrinkToFitTheirBoxAndCentre) {
    ASSERT_EQ(Load(u"Grid"), RZ_OK);
    const uint32_t red = Argb(255, 220, 30, 30);
    const uint32_t blue = Argb(255, 30, 30, 220);
    const std::u16string wide = Picture("wide.png", 200, 100, red);
    const std::u16string small = Picture("small.png", 60, 40, blue);
    m_list->SetViewMode(1);
    for (int i = 0; i < 4; ++i)
        ASSERT_EQ(m_list->AddItem(u"caption", &i, sizeof i, (i % 2 ? small : wide).c_str()), RZ_OK);
    Paint();
    // 200 x 100 shrinks in five rounds to 153 x 76, one pixel in and eleven down in 156 x 98.
    EXPECT_EQ(InkBox(m_target, kBack, Rect{270, 80, 432, 187}), (Rect{275, 98, 428, 174}));
    EXPECT_EQ(CountPixels(m_target, Rect{275, 98, 428, 174}, red), 153 * 76);
    // A picture that fits is drawn at its own size, centred; cells follow on row by row.
    EXPECT_EQ(InkBox(m_target, kBack, Rect{432, 80, 593, 187}), (Rect{483, 116, 543, 156}));
    EXPECT_EQ(InkBox(m_target, kBack, Rect{593, 80, 754, 187}), (Rect{597, 98, 750, 174}));
    EXPECT_EQ(InkBox(m_target, kBack, Rect{270, 187, 432, 290}), (Rect{322, 220, 382, 260}));
    // No text in these layouts, and nothing of the scroll bar with everything shown.
    EXPECT_EQ(CountInk(m_target, Rect{0, 290, 800, 480}, kBack), 0);

    // Layout 1: 116 x 72 boxes, four to a row; 200 x 100 takes ten rounds to 116 x 57.
    m_list->SetGridLayout(1);
    Paint();
    EXPECT_EQ(InkBox(m_target, kBack, Rect{270, 80, 393, 160}), (Rect{274, 94, 390, 151}));
    EXPECT_EQ(InkBox(m_target, kBack, Rect{393, 80, 514, 160}), (Rect{423, 103, 483, 143}));
    EXPECT_EQ(InkBox(m_target, kBack, Rect{635, 80, 760, 160}), (Rect{665, 103, 725, 143}));

    // Shifted, each row moves down by its own offset.
    m_list->SetShifted(1);
    Paint();
    EXPECT_EQ(InkBox(m_target, kBack, Rect{270, 80, 393, 190}), (Rect{274, 126, 390, 183}));
    m_list->SetGridLayout(0);
    Paint();
    EXPECT_EQ(InkBox(m_target, kBack, Rect{270, 80, 432, 219}), (Rect{275, 130, 428, 206}));
    EXPECT_EQ(InkBox(m_target, kBack, Rect{270, 219, 432, 360}), (Rect{322, 282, 382, 322}));

    // A sliver shrinks to nothing: its cell stays empty, nothing is drawn at full size.
    m_list->SetShifted(0);
    const std::u16string sliver = Picture("sliver.png", 2000, 1, red);
    EXPECT_EQ(m_list->SetItem(0, nullptr, "", 0, sliver.c_str()), RZ_OK);
    Paint();
    EXPECT_EQ(CountInk(m_target, Rect{0, 0, 432, 190}, kBack), 0);
    EXPECT_EQ(CountPixels(m_target, m_target.Bounds(), red), 153 * 76);  // item 2 only
}

TEST_F(ListboxDraw, StripGridShowsTheSecondFrameWithItsCaptionAtTheBottom) {
    ASSERT_EQ(Load(u"Grid"), RZ_OK);
    const std::vector<uint32_t> frames = {Argb(255, 60, 0, 0), Argb(255, 0, 60, 0),
                                          Argb(255, 0, 0, 60), Argb(255, 60, 60, 0)};
    const std::u16string strip = Strip("strip.png", 100, 60, frames);
    m_list->SetViewMode(1);
    m_list->SetGridLayout(2);
    for (int i = 0; i < 7; ++i)
        ASSERT_EQ(m_list->AddItem(i == 4 ? u"Radio" : nullptr, &i, sizeof i, strip.c_str()), RZ_OK);
    EXPECT_EQ(End(), 6);
    const uint32_t caption = Argb(255, 250, 250, 0);
    m_canvas->SetTextColor(caption);
    Paint();
    EXPECT_EQ(CountPixels(m_target, Rect{274, 87, 374, 147}, frames[1]), 100 * 60);
    EXPECT_EQ(InkBox(m_target, kBack, Rect{270, 80, 432, 235}), (Rect{274, 87, 374, 147}));
    // Cell 4 is the middle of the second row; its caption stands at the bottom of the frame
    // in the canvas's colour.
    const Rect cell4{435, 241, 535, 301};
    EXPECT_GT(CountPixels(m_target, cell4, caption), 20);
    const Rect text = InkBox(m_target, frames[1], cell4);
    ASSERT_FALSE(text.IsEmpty());
    EXPECT_GT(text.top, 241 + 25);
    EXPECT_LE(text.bottom, 301);
    EXPECT_LT(text.left, 435 + 6);
    EXPECT_EQ(CountPixels(m_target, Rect{596, 241, 696, 301}, frames[1]), 100 * 60);
    // The scroll bar: six of seven shown, in a layout 2 page.
    EXPECT_GT(CountPixels(m_target, Rect{760, 60, 796, 90}, kUpFrames[0]), 0);
}

TEST_F(ListboxDraw, StripGridShowsTheCurrentItemInTheUserFrameAndItsCaptionColour) {
    ASSERT_EQ(Load(u"Grid"), RZ_OK);
    const std::vector<uint32_t> frames = {Argb(255, 60, 0, 0), Argb(255, 0, 60, 0),
                                          Argb(255, 0, 0, 60), Argb(255, 60, 60, 0)};
    const std::u16string strip = Strip("strip.png", 100, 60, frames);
    m_list->SetViewMode(1);
    m_list->SetGridLayout(3);
    for (int i = 0; i < 9; ++i)
        ASSERT_EQ(m_list->AddItem(u"Shortcut", &i, sizeof i, strip.c_str()), RZ_OK);
    m_list->SetCurrentIndex(4);
    m_list->SetUserData(2);
    Paint();
    const uint32_t grey = plat::ArgbFromColorRef(0xCCCCCC);
    const uint32_t current = plat::ArgbFromColorRef(0x0000CC);
    // Cell 4: the third frame, with its caption 15 right and 15 up in the current colour.
    const Rect cell4{435, 191, 535, 251};
    const Rect caption4{450, 176, 550, 236};
    EXPECT_GT(CountPixels(m_target, cell4, frames[2]), 100 * 60 / 2);
    EXPECT_EQ(CountPixels(m_target, m_target.Bounds(), frames[2]),
              CountPixels(m_target, cell4, frames[2]));
    EXPECT_GT(CountPixels(m_target, caption4, current), 20);
    EXPECT_EQ(CountPixels(m_target, m_target.Bounds(), current),
              CountPixels(m_target, caption4, current));
    EXPECT_EQ(CountPixels(m_target, caption4, grey), 0);
    // The others: the first frame and grey captions.
    EXPECT_GT(CountPixels(m_target, Rect{274, 87, 374, 147}, frames[0]), 100 * 60 / 2);
    EXPECT_GT(CountPixels(m_target, Rect{289, 72, 389, 132}, grey), 20);
    EXPECT_GT(CountPixels(m_target, Rect{596, 295, 696, 355}, frames[0]), 100 * 60 / 2);
    // The caption colour is kept as the list's colour: the last cell drawn was not current.
    EXPECT_EQ(Impl()->Colour(), 0xCCCCCCu);

    // Shifted: the rows move down by 42, 62 and 82.
    m_list->SetShifted(1);
    Paint();
    EXPECT_GT(CountPixels(m_target, Rect{274, 129, 374, 189}, frames[0]), 100 * 60 / 2);
    EXPECT_GT(CountPixels(m_target, Rect{435, 253, 535, 313}, frames[2]), 100 * 60 / 2);
    EXPECT_GT(CountPixels(m_target, Rect{596, 377, 696, 437}, frames[0]), 100 * 60 / 2);
}

TEST_F(ListboxDraw, EveryItemKeepsItsOwnCellWhenAPictureIsMissing) {
    ASSERT_EQ(Load(u"Grid"), RZ_OK);
    RecordingHandler handler;
    m_list->SetHandler(&handler);
    const uint32_t green = Argb(255, 30, 200, 30);
    const uint32_t blue = Argb(255, 30, 30, 220);
    const std::u16string a = Picture("a.png", 156, 98, green);
    const std::u16string b = Picture("b.png", 156, 98, blue);
    const std::u16string missing = m_dir.File16("missing.png");
    m_list->SetViewMode(1);
    int v = 0;
    ASSERT_EQ(m_list->AddItem(u"a", &v, sizeof v, a.c_str()), RZ_OK);
    v = 1;
    ASSERT_EQ(m_list->AddItem(u"gone", &v, sizeof v, missing.c_str()), RZ_OK);
    v = 2;
    ASSERT_EQ(m_list->AddItem(u"b", &v, sizeof v, b.c_str()), RZ_OK);
    v = 3;
    ASSERT_EQ(m_list->Add(&v, sizeof v, b.c_str()), RZ_OK);  // Add takes no picture
    Paint();
    EXPECT_EQ(CountPixels(m_target, Rect{274, 87, 430, 185}, green), 156 * 98);
    EXPECT_EQ(CountInk(m_target, Rect{435, 87, 591, 185}, kBack), 0);  // cell 1: empty
    EXPECT_EQ(CountPixels(m_target, Rect{596, 87, 752, 185}, blue), 156 * 98);
    EXPECT_EQ(CountInk(m_target, Rect{274, 191, 430, 289}, kBack), 0);  // cell 3: no picture

    // A tap on the blue cell opens the blue item.
    EXPECT_EQ(PenDown(650, 130), 1);
    EXPECT_EQ(Cursor(), 2);
    EXPECT_EQ(PenUp(650, 130), 1);
    void* data = nullptr;
    m_list->GetAt(&data, -1);
    ASSERT_NE(data, nullptr);
    EXPECT_EQ(*static_cast<int*>(data), 2);
    // The empty cells are still their items' cells.
    EXPECT_EQ(PenDown(500, 130), 1);
    EXPECT_EQ(Cursor(), 1);
    PenUp(500, 130);

    // SetItem gives item 1 a picture: it shows in its own cell.
    v = 11;
    EXPECT_EQ(m_list->SetItem(1, u"found", &v, sizeof v, a.c_str()), RZ_OK);
    Paint();
    EXPECT_EQ(CountPixels(m_target, Rect{435, 87, 591, 185}, green), 156 * 98);
    EXPECT_EQ(CountPixels(m_target, Rect{596, 87, 752, 185}, blue), 156 * 98);
}

TEST_F(ListboxDraw, AGridOfAThousandPhotosDecodesOnlyItsPageAtTheCellsSize) {
    ASSERT_EQ(Load(u"Grid"), RZ_OK);
    // A camera-like photo: red, green / blue, white quadrants.
    const uint32_t colours[4] = {Argb(255, 220, 20, 20), Argb(255, 20, 200, 20),
                                 Argb(255, 20, 20, 220), Argb(255, 250, 250, 250)};
    plat::Surface photo(1600, 1200);
    for (int y = 0; y < 1200; ++y)
        for (int x = 0; x < 1600; ++x)
            photo.SetPixel(x, y, colours[(y < 600 ? 0 : 2) + (x < 800 ? 0 : 1)]);
    ASSERT_TRUE(plat::SaveImageFile(m_dir.File("photo.jpg"), photo, plat::ImageFormat::Jpeg, 90));
    const std::u16string path = m_dir.File16("photo.jpg");
    const size_t before = KvMultimedia::ListImageHeldBytes();
    m_list->SetViewMode(1);
    m_list->SetGridLayout(1);
    for (int i = 0; i < 1000; ++i)
        ASSERT_EQ(m_list->AddItem(nullptr, &i, sizeof i, path.c_str()), RZ_OK);
    EXPECT_EQ(KvMultimedia::ListImageHeldBytes(), before);  // nothing decoded by listing
    Paint();
    // Sixteen cells' worth of pixels, each no larger than its 116 x 72 box.
    const size_t page = KvMultimedia::ListImageHeldBytes() - before;
    EXPECT_GT(page, 0u);
    EXPECT_LE(page, 16u * 116 * 72 * 4);
    auto expectCell = [&](int x, int y) {
        const Rect box = InkBox(m_target, kBack, Rect{x, y, x + 116, y + 72});
        ASSERT_FALSE(box.IsEmpty());
        const int w = box.Width(), h = box.Height();
        EXPECT_GT(w, 80);
        const auto near = [](uint32_t a, uint32_t b) {
            for (int shift = 0; shift < 32; shift += 8)
                if (std::abs(int((a >> shift) & 0xFF) - int((b >> shift) & 0xFF)) > 24)
                    return false;
            return true;
        };
        EXPECT_TRUE(near(m_target.PixelAt(box.left + w / 4, box.top + h / 4), colours[0]));
        EXPECT_TRUE(near(m_target.PixelAt(box.left + 3 * w / 4, box.top + h / 4), colours[1]));
        EXPECT_TRUE(near(m_target.PixelAt(box.left + w / 4, box.top + 3 * h / 4), colours[2]));
        EXPECT_TRUE(near(m_target.PixelAt(box.left + 3 * w / 4, box.top + 3 * h / 4), colours[3]));
    };
    expectCell(274, 87);
    expectCell(637, 318);
    // The next page adds its own cells only; a repaint decodes nothing more.
    View(16, 32);
    Paint();
    expectCell(395, 164);
    EXPECT_LE(KvMultimedia::ListImageHeldBytes() - before, 2 * page);
    const size_t two = KvMultimedia::ListImageHeldBytes();
    Paint();
    EXPECT_EQ(KvMultimedia::ListImageHeldBytes(), two);

    // A replaced item's picture is the file as it was then, even once the file is rewritten.
    const int v = 7;
    ASSERT_EQ(m_list->SetItem(16, nullptr, &v, sizeof v, path.c_str()), RZ_OK);
    ASSERT_TRUE(plat::SaveImageFile(m_dir.File("photo.jpg"),
                                    testsupport::SolidImage(1600, 1200, colours[2]),
                                    plat::ImageFormat::Jpeg, 90));
    Paint();
    expectCell(274, 87);
    m_list->RemoveAll();
    EXPECT_EQ(KvMultimedia::ListImageHeldBytes(), before);
}

TEST_F(ListboxDraw, UnknownGridLayoutShowsAndHitsNothing) {
    ASSERT_EQ(Load(u"Grid"), RZ_OK);
    const std::u16string a = Picture("a.png", 156, 98, Argb(255, 30, 200, 30));
    m_list->SetViewMode(1);
    m_list->SetGridLayout(7);
    for (int i = 0; i < 3; ++i)
        ASSERT_EQ(m_list->AddItem(u"x", &i, sizeof i, a.c_str()), RZ_OK);
    EXPECT_EQ(End(), 0);
    View(0, 3);  // even when the owner says otherwise
    Paint();
    EXPECT_EQ(CountInk(m_target, Rect{0, 0, 756, 480}, kBack), 0);
    int cell = 0;
    m_list->HitTestCell(300, 100, &cell);
    EXPECT_EQ(cell, KvUserInterface::LISTBOX_NO_CELL);
    EXPECT_EQ(PenDown(300, 100), 0);
    m_list->SetCurrentIndex(2);
    EXPECT_EQ(Cursor(), 2);
}

// The scrolling list widget: text rows or an icon grid over an item list, with a scroll bar of
// an up button, a down button and a thumb. It owns no window: the owner page forwards its pen
// points and calls Draw when it paints.
#pragma once

#include "library/include/IKvList.h"
#include "library/include/KvTypes.h"

namespace plat {
class Canvas;
struct Rect;
}  // namespace plat

namespace KvUserInterface {

// What a pen operation did, written through its `action` pointer.
enum : uint8_t {
    LISTBOX_ACTION_NONE = 0,    // nothing concerning a row or a scroll control
    LISTBOX_ACTION_ROW = 1,     // pen-down: a row was chosen; pen-up: activate the current row
    LISTBOX_ACTION_SCROLL = 2,  // a scroll control was pressed or released, or the thumb dragged
};

// View modes and icon grid layouts.
enum : int {
    LISTBOX_VIEW_TEXT = 0,
    LISTBOX_VIEW_GRID = 1,
    LISTBOX_GRID_3X3 = 0,        // fitted pictures, 156 x 98
    LISTBOX_GRID_4X4 = 1,        // fitted pictures, 116 x 72
    LISTBOX_GRID_3X2 = 2,        // four-frame strips with a caption
    LISTBOX_GRID_3X3_STRIP = 3,  // four-frame strips, the current one in the user word's frame
};

// HitTestCell's answer when no cell is under the point.
constexpr int LISTBOX_NO_CELL = 0x7FFFFFFF;

// Implemented by the program; the list box never takes a reference to it nor frees it, so the
// owner keeps it alive while it is set. Calls come on the user-interface thread, from inside
// the list box's Draw and pen operations; the handler may call back into the list box.
class IKvListboxHandler {
public:
    // At the end of every Draw of a visible list box.
    virtual void OnDraw(plat::Canvas* hdc) = 0;
    // After the list box's own handling of a pen-up or pen-down while visible and enabled,
    // with the action byte it set (the handler may change it).
    virtual void OnLButtonUp(int x, int y, uint8_t* action) = 0;
    virtual void OnLButtonDown(int x, int y, uint8_t* action) = 0;
    // Never called by the list box.
    virtual void OnMouseMove(int x, int y, uint8_t* action) = 0;

protected:
    ~IKvListboxHandler() = default;
};

// Slots 0 to 16 are the item list's. Add takes no text and ignores its image path; SetAt does
// nothing (SetItem replaces it); SetCurrentIndex also scrolls the item into view.
class IKvListbox : public KvUtility::IKvList {
public:
    virtual RZRESULT SetHandler(IKvListboxHandler* handler) = 0;
    // Rows per page = height of the list / row height; a row height of 0 or less gives none.
    virtual RZRESULT SetRowHeight(int height) = 0;
    virtual RZRESULT SetItemStringPos(int dx, int dy) = 0;
    // Row font of the widget recipe, text colour RGB(r, g, b).
    virtual RZRESULT SetFont(int size, uint8_t r, uint8_t g, uint8_t b) = 0;
    // The text row of item `index` on the current page.
    virtual RZRESULT GetItemRect(int index, plat::Rect* out) = 0;
    // Keys "Position", "Scroll Bar", the buttons "Scroll Up", "Scroll Down" and "Scroll Mid",
    // "Row Height", "Font" and "Item String Pos". RZ_FAIL when a scroll button cannot be made.
    virtual RZRESULT LoadLayout(const char16_t* iniFile, const char16_t* section,
                                const char16_t* imageDir) = 0;
    virtual RZRESULT Draw(plat::Canvas* hdc) = 0;
    // A disabled list box draws its rows grey and ignores the pen.
    virtual RZRESULT SetDisabled(uint8_t disabled) = 0;
    // Writes the disabled byte into the byte that *pp points to.
    virtual RZRESULT GetDisabled(uint8_t** pp) = 0;
    // The row of this item blinks; -1 for none.
    virtual RZRESULT SetBlinkIndex(int index) = 0;
    // Pen operations: every pen-down, pen-move and pen-up point of the screen, in that order
    // for one gesture; the list box decides whether it concerns it and writes the action byte.
    virtual RZRESULT OnLButtonUp(int x, int y, uint8_t* action) = 0;
    virtual RZRESULT OnLButtonDown(int x, int y, uint8_t* action) = 0;
    virtual RZRESULT OnMouseMove(int x, int y, uint8_t* action) = 0;
    virtual RZRESULT SetViewMode(int mode) = 0;
    virtual RZRESULT GetViewMode(int* out) = 0;
    // Taken only in grid mode.
    virtual RZRESULT SetGridLayout(int layout) = 0;
    // Cell number on the page under the point, or LISTBOX_NO_CELL.
    virtual RZRESULT HitTestCell(int x, int y, int* cell) = 0;
    // The visible items are top .. end - 1. The setters are unchecked: the caller keeps
    // 0 <= top <= end <= count and at most one page.
    virtual RZRESULT GetTopIndex(int* out) = 0;
    virtual RZRESULT GetEndIndex(int* out) = 0;
    virtual RZRESULT SetTopIndex(int top) = 0;
    virtual RZRESULT SetEndIndex(int end) = 0;
    // Copies the text (null: no text) and the bytes; imagePath (may be null) is the item's
    // picture in the grid. RZ_FAIL when the list is full or a copy fails.
    virtual RZRESULT AddItem(const char16_t* text, const void* data, int size,
                             const char16_t* imagePath) = 0;
    // Null removes the text.
    virtual RZRESULT SetItemText(int index, const char16_t* text) = 0;
    virtual RZRESULT SetItem(int index, const char16_t* text, const void* data, int size,
                             const char16_t* imagePath) = 0;
    // Grid rows moved down by fixed offsets; also sets the list's height to 434.
    virtual RZRESULT SetShifted(uint8_t shifted) = 0;
    virtual RZRESULT SetRect(int x, int y, int w, int h) = 0;
    virtual RZRESULT SetPos(int x, int y) = 0;
    virtual RZRESULT GetRect(plat::Rect* out) = 0;
    virtual RZRESULT GetBounds(int* x, int* y, int* w, int* h) = 0;
    virtual RZRESULT Show(uint8_t visible) = 0;
    // 1 or 0, not a result code.
    virtual RZRESULT IsVisible() = 0;

protected:
    ~IKvListbox() = default;
};

}  // namespace KvUserInterface

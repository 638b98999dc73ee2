// The list box: the items of an item list shown as text rows or as an icon grid at fixed
// screen places, with a scroll bar of two buttons and a proportional thumb.
#pragma once

#include <cstdint>
#include <optional>

#include "library/include/IKvButton.h"
#include "library/include/IKvListbox.h"
#include "library/userinterface/KvUILayout.h"
#include "library/utility/KvList.h"
#include "platform/gfx/Font.h"
#include "platform/gfx/Surface.h"

namespace KvUserInterface {

// Calls through the item list base's own IKvList view reach the overrides below too, so the
// list box answers the same whichever view a caller holds.
class CKvListbox final : public IKvListbox, public KvUtility::CKvList, public CKvUILayout {
public:
    CKvListbox();

    RZRESULT Next(void** data, uint8_t wrap) override;
    RZRESULT Prev(void** data, uint8_t wrap) override;
    RZRESULT GetAt(void** data, int index) override;
    RZRESULT Random(void** data) override;
    RZRESULT GetCurrentIndex(int* out) override;
    RZRESULT GetCount(int* out) override;
    RZRESULT SetCurrentIndex(int index) override;
    RZRESULT Add(const void* data, int size, const char16_t* imagePath) override;
    RZRESULT SetFlag(uint8_t value) override;
    RZRESULT GetFlag(uint8_t* out) override;
    RZRESULT SetAt(int index, const void* data, int size, const char16_t* imagePath) override;
    RZRESULT Release() override;
    RZRESULT ClearAt(int index) override;
    RZRESULT RemoveAt(int index) override;
    RZRESULT RemoveAll() override;
    RZRESULT AddRef() override;
    RZRESULT SetUserData(uint32_t value) override;

    RZRESULT SetHandler(IKvListboxHandler* handler) override;
    RZRESULT SetRowHeight(int height) override;
    RZRESULT SetItemStringPos(int dx, int dy) override;
    RZRESULT SetFont(int size, uint8_t r, uint8_t g, uint8_t b) override;
    RZRESULT GetItemRect(int index, plat::Rect* out) override;
    RZRESULT LoadLayout(const char16_t* iniFile, const char16_t* section,
                        const char16_t* imageDir) override;
    RZRESULT Draw(plat::Canvas* hdc) override;
    RZRESULT SetDisabled(uint8_t disabled) override;
    RZRESULT GetDisabled(uint8_t** pp) override;
    RZRESULT SetBlinkIndex(int index) override;
    RZRESULT OnLButtonUp(int x, int y, uint8_t* action) override;
    RZRESULT OnLButtonDown(int x, int y, uint8_t* action) override;
    RZRESULT OnMouseMove(int x, int y, uint8_t* action) override;
    RZRESULT SetViewMode(int mode) override;
    RZRESULT GetViewMode(int* out) override;
    RZRESULT SetGridLayout(int layout) override;
    RZRESULT HitTestCell(int x, int y, int* cell) override;
    RZRESULT GetTopIndex(int* out) override;
    RZRESULT GetEndIndex(int* out) override;
    RZRESULT SetTopIndex(int top) override;
    RZRESULT SetEndIndex(int end) override;
    RZRESULT AddItem(const char16_t* text, const void* data, int size,
                     const char16_t* imagePath) override;
    RZRESULT SetItemText(int index, const char16_t* text) override;
    RZRESULT SetItem(int index, const char16_t* text, const void* data, int size,
                     const char16_t* imagePath) override;
    RZRESULT SetShifted(uint8_t shifted) override;
    RZRESULT SetRect(int x, int y, int w, int h) override;
    RZRESULT SetPos(int x, int y) override;
    RZRESULT GetRect(plat::Rect* out) override;
    RZRESULT GetBounds(int* x, int* y, int* w, int* h) override;
    RZRESULT Show(uint8_t visible) override;
    RZRESULT IsVisible() override;

    // State for tests.
    int RowHeight() const { return m_iRowHeight; }
    int RowsPerPage() const { return m_iRowsPerPage; }
    int TextDx() const { return m_iTextDx; }
    int TextDy() const { return m_iTextDy; }
    uint32_t Colour() const { return m_dwColour; }
    const std::optional<plat::Font>& RowFont() const { return m_font; }
    const plat::Rect& ScrollBar() const { return m_rcScrollBar; }
    IKvButton* UpButton() const { return m_pUp; }
    IKvButton* DownButton() const { return m_pDown; }
    IKvButton* ThumbButton() const { return m_pThumb; }
    // The item list's own view of this object.
    KvUtility::IKvList* ListView() { return static_cast<KvUtility::CKvList*>(this); }

private:
    ~CKvListbox() override;

    bool GridMode() const { return m_iViewMode != 0; }
    // Items one page shows in the current mode: rows per page, or the grid layout's cells.
    int PageSize() const;
    bool Inside(int x, int y) const;
    // Row or cell number on the page under a point inside the list; false for none.
    bool RowAt(int x, int y, int* row);
    // Brings top and end back to 0 <= top <= end <= count with at most one page visible.
    void KeepRange();
    void ScrollTextUp();
    void ScrollTextDown();
    void ScrollGridUp();
    void ScrollGridDown();
    void DragThumb(int64_t rows, bool down);
    void DrawRows(plat::Canvas* hdc);
    void DrawGrid(plat::Canvas* hdc);
    void DrawGridCell(plat::Canvas* hdc, int index, int cell);
    void DrawScrollBar(plat::Canvas* hdc);
    void ReleaseButtons();

    int32_t m_iViewMode = 0;
    int32_t m_iGridLayout = 0;
    int32_t m_iTop = 0;
    int32_t m_iEnd = 0;
    int32_t m_iRowHeight = 0;
    int32_t m_iRowsPerPage = 0;
    int32_t m_iTextDx = 0;
    int32_t m_iTextDy = 0;
    uint8_t m_byUpPressed = 0;
    uint8_t m_byDownPressed = 0;
    uint8_t m_byThumbPressed = 0;
    int32_t m_iDragY = 0;
    uint32_t m_dwColour = 0;           // RGB(r, g, b) = r + 256 g + 65536 b
    std::optional<plat::Font> m_font;  // none: the canvas's current font
    plat::Rect m_rcScrollBar;
    IKvButton* m_pUp = nullptr;  // one reference each
    IKvButton* m_pDown = nullptr;
    IKvButton* m_pThumb = nullptr;
    uint8_t m_byDisabled = 0;
    int32_t m_iBlinkIndex = -1;
    int32_t m_iSavedIndex = 0;
    IKvListboxHandler* m_pHandler = nullptr;  // borrowed
    uint8_t m_byShifted = 0;
    // Set by a pen-down that chose a row of this list box, used by the pen-up of the same
    // gesture: a pen-up alone never activates a row.
    uint8_t m_byRowChosen = 0;
};

}  // namespace KvUserInterface

#include "library/userinterface/KvListbox.h"

#include <algorithm>
#include <climits>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <new>

#include "library/CVantrel.h"
#include "library/LibFactory.h"
#include "library/multimedia/KvListImage.h"
#include "platform/gfx/Canvas.h"
#include "platform/text/Text.h"

namespace KvUserInterface {

namespace {

constexpr int kIniValueChars = 512;

// Stored colour values (0x00BBGGRR).
constexpr uint32_t kBlinkColour = 0x404040;
constexpr uint32_t kCurrentRowColour = 0x2629FF;
constexpr uint32_t kDisabledColour = 0x5C5C5C;
constexpr uint32_t kThumbColour = 0xA8A8A8;
constexpr uint32_t kCellCaptionColour = 0xCCCCCC;
constexpr uint32_t kCurrentCellCaptionColour = 0x0000CC;

constexpr uint32_t kRowFormat = plat::kTextVCenter | plat::kTextSingleLine;
constexpr uint32_t kCellCaptionFormat = plat::kTextBottom | plat::kTextSingleLine;

// One icon grid: cell origins are fixed screen places, not relative to the list's rectangle.
struct GridLayout {
    int columns;
    int rows;
    int xs[4];
    int ys[4];
    int cellW;  // the picture box (layouts 0 and 1) or the hit size
    int cellH;
    int shift[4];  // added to a row's y while the list is shifted
    int intoViewStep;
    int intoViewPage;
    // Buttons and thumb. The strip layouts move a page of their own cells at a time, so a
    // press never shows more items than there are cells and the last ones come into view.
    int scrollStep;
    int scrollPage;

    int Cells() const { return columns * rows; }
    int CellX(int k) const { return xs[k % columns]; }
    int CellY(int k, bool shifted) const {
        return ys[k / columns] + (shifted ? shift[k / columns] : 0);
    }
};

constexpr GridLayout kGrids[4] = {
    {3, 3, {274, 435, 596, 0}, {87, 191, 295, 0}, 156, 98, {32, 62, 92, 0}, 3, 9, 3, 9},
    {4, 4, {274, 395, 516, 637}, {87, 164, 241, 318}, 116, 72, {32, 52, 72, 92}, 4, 16, 4, 16},
    {3, 2, {274, 435, 596, 0}, {87, 241, 0, 0}, 156, 148, {0, 0, 0, 0}, 3, 6, 6, 6},
    {3, 3, {274, 435, 596, 0}, {87, 191, 295, 0}, 156, 98, {42, 62, 82, 0}, 3, 9, 9, 9},
};

// The whole picture, shrunk by 5 % a round until it fits the box of layouts 0 and 1; false
// when nothing is left of a sliver (Draw would take 0 as "natural size").
bool ShrinkIntoBox(uint32_t width, uint32_t height, const GridLayout& grid, int* outW, int* outH) {
    int64_t w = width;
    int64_t h = height;
    while (w > grid.cellW || h > grid.cellH) {
        w = static_cast<int64_t>(double(w) * 0.95);
        h = static_cast<int64_t>(double(h) * 0.95);
    }
    if (w == 0 || h == 0)
        return false;
    *outW = static_cast<int>(w);
    *outH = static_cast<int>(h);
    return true;
}

// The grid of a layout number; null for numbers outside the table (such a layout has no
// cells).
const GridLayout* Grid(int layout) {
    return layout >= 0 && layout < 4 ? &kGrids[layout] : nullptr;
}

// One toggle for every list box of the process: each paint of a blink row flips it.
bool g_blinkOn = false;

int Wrap(int64_t v) {
    return static_cast<int>(static_cast<uint32_t>(v));
}

int Clamp(int64_t v, int64_t lo, int64_t hi) {
    return static_cast<int>(std::max(lo, std::min(v, hi)));
}

// Truncation toward zero, kept inside the int range (silly skins give silly thumbs, never
// undefined conversions).
int Trunc(double v) {
    if (!(v == v))
        return 0;
    return static_cast<int>(std::max<double>(INT_MIN, std::min<double>(std::trunc(v), INT_MAX)));
}

// A heap copy that the item list frees with free() when the item goes.
char16_t* CopyText(const char16_t* text) {
    const size_t len = plat::StrLen(text);
    auto* copy = static_cast<char16_t*>(std::malloc((len + 1) * sizeof(char16_t)));
    if (copy)
        std::memcpy(copy, text, (len + 1) * sizeof(char16_t));
    return copy;
}

}  // namespace

RZRESULT NewListbox(IKvListbox** out) {
    KV_NEW_OBJECT(CKvListbox, IKvListbox, out);
}

CKvListbox::CKvListbox() {
    m_byVisible = 1;
}

CKvListbox::~CKvListbox() = default;

// ---- Item list operations ------------------------------------------------------------------

RZRESULT CKvListbox::Next(void** data, uint8_t wrap) {
    return CKvList::Next(data, wrap);
}

RZRESULT CKvListbox::Prev(void** data, uint8_t wrap) {
    return CKvList::Prev(data, wrap);
}

RZRESULT CKvListbox::GetAt(void** data, int index) {
    return CKvList::GetAt(data, index);
}

RZRESULT CKvListbox::Random(void** data) {
    return CKvList::Random(data);
}

RZRESULT CKvListbox::GetCurrentIndex(int* out) {
    return CKvList::GetCurrentIndex(out);
}

RZRESULT CKvListbox::GetCount(int* out) {
    return CKvList::GetCount(out);
}

RZRESULT CKvListbox::SetCurrentIndex(int index) {
    CKvList::SetCurrentIndex(index);
    if (m_iTop <= index && index < m_iEnd)
        return RZ_OK;
    const int64_t count = Count();
    if (!GridMode()) {
        const int64_t rows = m_iRowsPerPage;
        int64_t top = std::max<int64_t>(int64_t(index) - rows / 2, 0);
        int64_t end = top + rows;
        if (end > count) {
            end = count;
            top = std::max<int64_t>(0, end - rows);
        }
        m_iTop = static_cast<int>(top);
        m_iEnd = static_cast<int>(end);
    } else {
        const GridLayout* grid = Grid(m_iGridLayout);
        if (!grid)
            return RZ_OK;
        const int64_t step = grid->intoViewStep;
        const int64_t page = grid->intoViewPage;
        int64_t p = 0;
        while (!(p <= index && index < p + page) && p + page <= count - 1)
            p += step;
        m_iTop = static_cast<int>(p);
        m_iEnd = static_cast<int>(std::min(p + page, count));
    }
    KeepRange();
    return RZ_OK;
}

RZRESULT CKvListbox::Add(const void* data, int size, const char16_t* /*imagePath*/) {
    return AddItem(nullptr, data, size, nullptr);
}

RZRESULT CKvListbox::SetFlag(uint8_t value) {
    return CKvList::SetFlag(value);
}

RZRESULT CKvListbox::GetFlag(uint8_t* out) {
    return CKvList::GetFlag(out);
}

RZRESULT CKvListbox::SetAt(int /*index*/, const void* /*data*/, int /*size*/,
                           const char16_t* /*imagePath*/) {
    return RZ_OK;  // SetItem replaces it
}

RZRESULT CKvListbox::Release() {
    const uint16_t count = CKvObject::Release();
    if (count == 0) {
        RemoveAll();
        ReleaseButtons();
        m_font.reset();
        delete this;
    }
    return count;
}

RZRESULT CKvListbox::ClearAt(int index) {
    if (KvUtility::KvListItem* item = Item(index)) {
        std::free(item->pText);
        item->pText = nullptr;
    }
    return CKvList::ClearAt(index);
}

RZRESULT CKvListbox::RemoveAt(int index) {
    const RZRESULT result = CKvList::RemoveAt(index);
    // The view must not reach past the items that are left.
    if (result == RZ_OK && m_iEnd > Count()) {
        m_iEnd = Count();
        m_iTop = std::min(m_iTop, m_iEnd);
    }
    return result;
}

RZRESULT CKvListbox::RemoveAll() {
    m_iTop = 0;
    m_iEnd = 0;
    return CKvList::RemoveAll();  // the display texts go with their items
}

RZRESULT CKvListbox::AddRef() {
    return CKvList::AddRef();
}

RZRESULT CKvListbox::SetUserData(uint32_t value) {
    return CKvList::SetUserData(value);
}

// ---- Items, layout and skin ----------------------------------------------------------------

RZRESULT CKvListbox::SetHandler(IKvListboxHandler* handler) {
    m_pHandler = handler;
    return RZ_OK;
}

RZRESULT CKvListbox::SetRowHeight(int height) {
    m_iRowHeight = height;
    // Without a usable row height there are no rows (and nothing to divide by).
    m_iRowsPerPage = height > 0 ? std::max(m_iH / height, 0) : 0;
    return RZ_OK;
}

RZRESULT CKvListbox::SetItemStringPos(int dx, int dy) {
    m_iTextDx = dx;
    m_iTextDy = dy;
    return RZ_OK;
}

RZRESULT CKvListbox::SetFont(int size, uint8_t r, uint8_t g, uint8_t b) {
    m_font.reset();
    plat::Font font;
    if (plat::Font::CreateWidgetFont(size, font))
        m_font = std::move(font);
    m_dwColour = uint32_t(r) | (uint32_t(g) << 8) | (uint32_t(b) << 16);
    return RZ_OK;
}

RZRESULT CKvListbox::GetItemRect(int index, plat::Rect* out) {
    if (!out)
        return RZ_OK;
    const int top = Wrap(int64_t(m_iY) + (int64_t(index) - m_iTop) * m_iRowHeight);
    *out = plat::Rect{m_iX, top, KvAddWrap(m_iX, m_iW), KvAddWrap(top, m_iRowHeight)};
    return RZ_OK;
}

void CKvListbox::ReleaseButtons() {
    for (IKvButton** button : {&m_pUp, &m_pDown, &m_pThumb}) {
        if (*button) {
            (*button)->Release();
            *button = nullptr;
        }
    }
}

RZRESULT CKvListbox::LoadLayout(const char16_t* iniFile, const char16_t* section,
                                const char16_t* imageDir) {
    CVantrel* root = CVantrel::GetInstance();
    if (!root)
        return RZ_FAIL;
    char16_t value[kIniValueChars];
    auto read = [&](const char16_t* key) {
        value[0] = 0;
        root->GetIniString(iniFile, section, key, value, kIniValueChars);
    };
    auto field = [&](int index) {
        int v = 0;
        root->GetFieldInt(value, index, &v);
        return v;
    };

    read(u"Position");
    CKvUILayout::SetRect(field(1), field(2), field(3), field(4));

    read(u"Scroll Bar");
    const int bx = field(1);
    const int by = field(2);
    m_rcScrollBar = plat::Rect{bx, by, KvAddWrap(bx, field(3)), KvAddWrap(by, field(4))};

    struct {
        const char16_t* name;
        IKvButton** button;
    } controls[] = {{u"Scroll Up", &m_pUp}, {u"Scroll Down", &m_pDown}, {u"Scroll Mid", &m_pThumb}};
    for (auto& control : controls) {
        if (*control.button) {
            (*control.button)->Release();
            *control.button = nullptr;
        }
        IKvButton* button = nullptr;
        if (root->CreateButton(&button) != RZ_OK || !button)
            return RZ_FAIL;
        *control.button = button;
        button->LoadLayout(iniFile, section, control.name, imageDir);
    }

    read(u"Row Height");
    SetRowHeight(field(1));

    read(u"Font");
    SetFont(field(1), static_cast<uint8_t>(field(2)), static_cast<uint8_t>(field(3)),
            static_cast<uint8_t>(field(4)));

    read(u"Item String Pos");
    SetItemStringPos(field(1), field(2));
    return RZ_OK;
}

RZRESULT CKvListbox::SetDisabled(uint8_t disabled) {
    m_byDisabled = disabled;
    return RZ_OK;
}

RZRESULT CKvListbox::GetDisabled(uint8_t** pp) {
    if (pp && *pp)
        **pp = m_byDisabled;
    return RZ_OK;
}

RZRESULT CKvListbox::SetBlinkIndex(int index) {
    m_iBlinkIndex = index;
    return RZ_OK;
}

RZRESULT CKvListbox::SetViewMode(int mode) {
    m_iViewMode = mode;
    return RZ_OK;
}

RZRESULT CKvListbox::GetViewMode(int* out) {
    if (out)
        *out = m_iViewMode;
    return RZ_OK;
}

RZRESULT CKvListbox::SetGridLayout(int layout) {
    if (layout != m_iGridLayout && m_iViewMode != 0)
        m_iGridLayout = layout;
    return RZ_OK;
}

RZRESULT CKvListbox::GetTopIndex(int* out) {
    if (out)
        *out = m_iTop;
    return RZ_OK;
}

RZRESULT CKvListbox::GetEndIndex(int* out) {
    if (out)
        *out = m_iEnd;
    return RZ_OK;
}

RZRESULT CKvListbox::SetTopIndex(int top) {
    m_iTop = top;
    return RZ_OK;
}

RZRESULT CKvListbox::SetEndIndex(int end) {
    m_iEnd = end;
    return RZ_OK;
}

int CKvListbox::PageSize() const {
    if (!GridMode())
        return std::max(m_iRowsPerPage, 0);
    const GridLayout* grid = Grid(m_iGridLayout);
    return grid ? grid->Cells() : 0;
}

RZRESULT CKvListbox::AddItem(const char16_t* text, const void* data, int size,
                             const char16_t* imagePath) {
    if (Count() >= KvUtility::KVLIST_MAX_ITEMS)
        return RZ_FAIL;
    char16_t* copy = nullptr;
    if (text && !(copy = CopyText(text)))
        return RZ_FAIL;
    const RZRESULT result = CKvList::Add(data, size, imagePath);
    if (result != RZ_OK) {
        std::free(copy);
        return result;
    }
    Item(Count() - 1)->pText = copy;
    // A list filled from empty shows its first page; items added to a full or scrolled view
    // do not move it.
    ++m_iEnd;
    if (int64_t(m_iEnd) - m_iTop > PageSize())
        --m_iEnd;
    return RZ_OK;
}

RZRESULT CKvListbox::SetItemText(int index, const char16_t* text) {
    KvUtility::KvListItem* item = Item(index);
    if (!item)
        return RZ_FAIL;
    // Copy before freeing: the new text may be the old one.
    char16_t* copy = text ? CopyText(text) : nullptr;
    std::free(item->pText);
    item->pText = copy;
    return text && !copy ? RZ_FAIL : RZ_OK;
}

RZRESULT CKvListbox::SetItem(int index, const char16_t* text, const void* data, int size,
                             const char16_t* imagePath) {
    const RZRESULT textResult = SetItemText(index, text);
    const RZRESULT result = CKvList::SetAt(index, data, size, imagePath);
    return result != RZ_OK ? result : textResult;
}

RZRESULT CKvListbox::SetShifted(uint8_t shifted) {
    m_byShifted = shifted;
    m_iH = 434;
    return RZ_OK;
}

RZRESULT CKvListbox::SetRect(int x, int y, int w, int h) {
    return CKvUILayout::SetRect(x, y, w, h);
}

RZRESULT CKvListbox::SetPos(int x, int y) {
    return CKvUILayout::SetPos(x, y);
}

RZRESULT CKvListbox::GetRect(plat::Rect* out) {
    return CKvUILayout::GetRect(out);
}

RZRESULT CKvListbox::GetBounds(int* x, int* y, int* w, int* h) {
    return CKvUILayout::GetBounds(x, y, w, h);
}

RZRESULT CKvListbox::Show(uint8_t visible) {
    return CKvUILayout::Show(visible);
}

RZRESULT CKvListbox::IsVisible() {
    return CKvUILayout::IsVisible();
}

// ---- Drawing -------------------------------------------------------------------------------

RZRESULT CKvListbox::Draw(plat::Canvas* hdc) {
    if (!m_byVisible)
        return RZ_OK;
    if (GridMode())
        DrawGrid(hdc);
    else
        DrawRows(hdc);
    if (int64_t(Count()) - (int64_t(m_iEnd) - m_iTop) > 0)
        DrawScrollBar(hdc);
    if (m_pHandler)
        m_pHandler->OnDraw(hdc);
    return RZ_OK;
}

void CKvListbox::DrawRows(plat::Canvas* hdc) {
    if (!hdc)
        return;
    const plat::Font previous = hdc->GetFont();
    if (m_font)
        hdc->SetFont(*m_font);
    const int last = std::min(m_iEnd, Count());
    for (int i = std::max(m_iTop, 0); i < last; ++i) {
        const char16_t* text = Item(i)->pText;
        if (!text)
            continue;
        plat::Rect rect;
        GetItemRect(i, &rect);
        rect.left = KvAddWrap(rect.left, m_iTextDx);
        rect.top = KvAddWrap(rect.top, m_iTextDy);
        uint32_t colour;
        if (i == m_iBlinkIndex && (g_blinkOn = !g_blinkOn))
            colour = kBlinkColour;
        else if (i == m_iCursor && m_byFlag == 0 && !m_byDisabled)
            colour = kCurrentRowColour;
        else if (m_byDisabled)
            colour = kDisabledColour;
        else
            colour = m_dwColour;
        hdc->SetTextColor(plat::ArgbFromColorRef(colour));
        hdc->DrawText(text, rect, kRowFormat);
    }
    hdc->SetFont(previous);
}

void CKvListbox::DrawGrid(plat::Canvas* hdc) {
    const GridLayout* grid = Grid(m_iGridLayout);
    if (!grid)
        return;
    // Item i sits in cell i - top whether or not its picture loaded, so the cell a pen
    // chooses is always the item shown there.
    const int last =
        static_cast<int>(std::min<int64_t>({m_iEnd, Count(), int64_t(m_iTop) + grid->Cells()}));
    if (m_iGridLayout <= 1 && hdc) {
        // The page's pictures are decoded together, at their boxes' sizes, before any is drawn.
        KvMultimedia::IKvImage* images[16] = {};
        int n = 0;
        for (int i = std::max(m_iTop, 0); i < last && n < 16; ++i)
            if (Item(i)->pImage)
                images[n++] = Item(i)->pImage;
        KvMultimedia::PrepareListImages(images, n,
                                        [grid](uint32_t w, uint32_t h, int* outW, int* outH) {
                                            return ShrinkIntoBox(w, h, *grid, outW, outH);
                                        });
    }
    for (int i = std::max(m_iTop, 0); i < last; ++i)
        DrawGridCell(hdc, i, i - m_iTop);
}

void CKvListbox::DrawGridCell(plat::Canvas* hdc, int index, int cell) {
    const GridLayout& grid = kGrids[m_iGridLayout];
    const KvUtility::KvListItem* item = Item(index);
    KvMultimedia::IKvImage* image = item->pImage;
    uint32_t width = 0;
    uint32_t height = 0;
    if (!image || image->GetSize(&width, &height) != RZ_OK)
        return;  // an empty cell
    const int x = grid.CellX(cell);
    const int y = grid.CellY(cell, m_byShifted != 0);

    if (m_iGridLayout <= 1) {
        int w = 0;
        int h = 0;
        if (!ShrinkIntoBox(width, height, grid, &w, &h))
            return;
        const int dx = (grid.cellW - w) / 2;
        const int dy = (grid.cellH - h) / 2;
        image->Draw(hdc, x + dx, y + dy, w, h);
        return;
    }

    const int fw = static_cast<int>(std::min<uint32_t>(width, INT_MAX)) >> 2;
    const int fh = static_cast<int>(std::min<uint32_t>(height, INT_MAX));
    const plat::Rect box{x, y, KvAddWrap(x, fw), KvAddWrap(y, fh)};
    if (m_iGridLayout == 2) {
        image->DrawPart(hdc, box.left, box.top, box.right, box.bottom, fw, 0, 2 * fw, fh);
        if (item->pText && hdc)
            hdc->DrawText(item->pText, box, kCellCaptionFormat);
        return;
    }

    // Layout 3: the current item shows the frame of the user word, and a caption of its own
    // colour.
    const bool current = index == m_iCursor;
    plat::Font previous;
    if (hdc) {
        previous = hdc->GetFont();
        if (m_font)
            hdc->SetFont(*m_font);
    }
    m_dwColour = current ? kCurrentCellCaptionColour : kCellCaptionColour;
    if (hdc)
        hdc->SetTextColor(plat::ArgbFromColorRef(m_dwColour));
    const int64_t frame = current ? m_dwUserData : 0;
    const int64_t sl = frame * fw;
    if (sl + fw <= INT_MAX)
        image->DrawPart(hdc, box.left, box.top, box.right, box.bottom, static_cast<int>(sl), 0,
                        static_cast<int>(sl + fw), fh);
    if (item->pText && hdc)
        hdc->DrawText(item->pText, box.Offset(15, -15), kCellCaptionFormat);
    if (hdc)
        hdc->SetFont(previous);
}

void CKvListbox::DrawScrollBar(plat::Canvas* hdc) {
    const int count = Count();
    if (count > 0) {
        // Single-precision arithmetic, truncated toward zero, as the skins were drawn for.
        const float ratio =
            float(int64_t(m_rcScrollBar.bottom) - m_rcScrollBar.top) / static_cast<float>(count);
        const float length =
            static_cast<float>(GridMode() ? int64_t(m_iEnd) - m_iTop : m_iRowsPerPage) * ratio;
        const int left = KvAddWrap(m_rcScrollBar.left, 6);
        const int right = KvAddWrap(m_rcScrollBar.right, -6);
        const int top = Trunc(double(float(m_rcScrollBar.top) + float(m_iTop) * ratio) - 8.0);
        const int bottom = Trunc(double(float(top) + length) + 16.0);
        if (m_pThumb) {
            m_pThumb->SetRect(left, top, 36, Wrap(int64_t(bottom) - top + 1));
            m_pThumb->DrawTo(hdc, left, top, right, bottom);
        } else if (hdc) {
            hdc->FillRect(plat::Rect{left, top, right, bottom},
                          plat::ArgbFromColorRef(kThumbColour));
        }
    }
    if (m_pUp)
        m_pUp->Draw(hdc, 0, 0);
    if (m_pDown)
        m_pDown->Draw(hdc, 0, 0);
}

// ---- Pen input and scrolling ---------------------------------------------------------------

bool CKvListbox::Inside(int x, int y) const {
    // The edges belong to the list.
    return x >= m_iX && int64_t(x) <= int64_t(m_iX) + m_iW && y >= m_iY &&
           int64_t(y) <= int64_t(m_iY) + m_iH;
}

bool CKvListbox::RowAt(int x, int y, int* row) {
    if (GridMode()) {
        int cell = LISTBOX_NO_CELL;
        HitTestCell(x, y, &cell);
        *row = cell;
        return cell != LISTBOX_NO_CELL;
    }
    if (m_iRowHeight <= 0)
        return false;
    const int64_t r = (int64_t(y) - m_iY) / m_iRowHeight;
    if (r < 0 || r > INT_MAX)
        return false;
    *row = static_cast<int>(r);
    return true;
}

RZRESULT CKvListbox::HitTestCell(int x, int y, int* cell) {
    int found = LISTBOX_NO_CELL;
    if (const GridLayout* grid = Grid(m_iGridLayout)) {
        for (int k = 0; k < grid->Cells(); ++k) {
            const int cx = grid->CellX(k);
            const int cy = grid->CellY(k, m_byShifted != 0);
            if (cx < x && x < cx + grid->cellW && cy < y && y < cy + grid->cellH) {
                found = k;
                break;
            }
        }
    }
    if (cell)
        *cell = found;
    return RZ_OK;
}

void CKvListbox::KeepRange() {
    const int64_t count = Count();
    m_iTop = Clamp(m_iTop, 0, count);
    m_iEnd = Clamp(m_iEnd, m_iTop, std::min<int64_t>(count, int64_t(m_iTop) + PageSize()));
}

void CKvListbox::ScrollTextUp() {
    const int64_t rows = m_iRowsPerPage;
    if (rows <= 0)
        return;  // no rows: nothing to scroll
    // A page less one row, so the row at the edge stays in sight; at least one row.
    const int64_t step = std::max<int64_t>(rows - 1, 1);
    int64_t top = int64_t(m_iTop) - step;
    int64_t end = m_iEnd;
    if (top < 0) {
        top = 0;
        end = std::min<int64_t>(rows, Count());
    } else {
        end -= step;
    }
    m_iTop = Clamp(top, 0, INT_MAX);
    m_iEnd = Clamp(end, 0, INT_MAX);
    KeepRange();
}

void CKvListbox::ScrollTextDown() {
    const int64_t rows = m_iRowsPerPage;
    if (rows <= 0)
        return;
    const int64_t step = std::max<int64_t>(rows - 1, 1);
    const int64_t count = Count();
    int64_t top = m_iTop;
    int64_t end = int64_t(m_iEnd) + step;
    if (end > count) {
        end = count;
        top = std::max<int64_t>(0, end - rows);
    } else {
        top += step;
    }
    m_iTop = Clamp(top, 0, INT_MAX);
    m_iEnd = Clamp(end, 0, INT_MAX);
    KeepRange();
}

void CKvListbox::ScrollGridUp() {
    const GridLayout* grid = Grid(m_iGridLayout);
    if (!grid)
        return;
    const int64_t step = grid->scrollStep;
    int64_t top = int64_t(m_iTop) - step;
    int64_t end = m_iEnd;
    if (top < 0) {
        top = 0;
        end = std::min<int64_t>(grid->scrollPage, Count());
    } else {
        // Back to the previous multiple of the step (by a whole step when on one).
        end -= end % step == 0 ? step : end % step;
    }
    m_iTop = Clamp(top, 0, INT_MAX);
    m_iEnd = Clamp(end, 0, INT_MAX);
    KeepRange();
}

void CKvListbox::ScrollGridDown() {
    const GridLayout* grid = Grid(m_iGridLayout);
    if (!grid)
        return;
    const int64_t count = Count();
    int64_t top = m_iTop;
    int64_t end = m_iEnd;
    if (end < count) {
        end += grid->scrollStep;
        if (end > count) {
            top = std::max<int64_t>(end - grid->scrollPage, 0);
            end = count;
        } else {
            top += grid->scrollStep;
        }
    }
    m_iTop = Clamp(top, 0, INT_MAX);
    m_iEnd = Clamp(end, 0, INT_MAX);
    KeepRange();
}

void CKvListbox::DragThumb(int64_t rows, bool down) {
    if (GridMode() && (m_iGridLayout == 2 || m_iGridLayout == 3)) {
        // The strip layouts move by whole pages, like their buttons.
        if (down)
            ScrollGridDown();
        else
            ScrollGridUp();
        return;
    }
    const int64_t count = Count();
    int64_t top = m_iTop;
    int64_t end = m_iEnd;
    if (down) {
        top += rows;
        end += rows;
        if (end > count) {
            top -= end - count;
            end = count;
            top = std::max<int64_t>(top, 0);
        }
    } else {
        top -= rows;
        end -= rows;
        if (top < 0) {
            end -= top;
            top = 0;
            end = std::min(end, count);
        }
    }
    m_iTop = Clamp(top, 0, INT_MAX);
    m_iEnd = Clamp(end, 0, INT_MAX);
    KeepRange();
}

RZRESULT CKvListbox::OnLButtonDown(int x, int y, uint8_t* action) {
    uint8_t ignored = 0;
    uint8_t* act = action ? action : &ignored;
    m_iSavedIndex = m_iCursor;
    *act = LISTBOX_ACTION_NONE;
    // Whatever an earlier gesture left pressed or chosen belongs to that gesture.
    m_byRowChosen = 0;
    m_byUpPressed = m_byDownPressed = m_byThumbPressed = 0;
    if (!m_byVisible || m_byDisabled)
        return RZ_OK;
    if (Inside(x, y)) {
        int row = 0;
        if (RowAt(x, y, &row) && int64_t(m_iTop) + row < std::min(m_iEnd, Count())) {
            m_iCursor = m_iTop + row;
            m_byRowChosen = 1;
            *act = LISTBOX_ACTION_ROW;
        }
    } else {
        if (m_pUp && m_pUp->OnLButtonDown(x, y) == RZ_HIT) {
            m_byUpPressed = 1;
            *act = LISTBOX_ACTION_SCROLL;
        }
        if (m_pDown && m_pDown->OnLButtonDown(x, y) == RZ_HIT) {
            m_byDownPressed = 1;
            *act = LISTBOX_ACTION_SCROLL;
        }
        if (m_pThumb && m_pThumb->OnLButtonDown(x, y) == RZ_HIT) {
            m_byThumbPressed = 1;
            m_iDragY = y;
            *act = LISTBOX_ACTION_SCROLL;
        }
    }
    if (m_pHandler)
        m_pHandler->OnLButtonDown(x, y, act);
    return RZ_OK;
}

RZRESULT CKvListbox::OnLButtonUp(int x, int y, uint8_t* action) {
    uint8_t ignored = 0;
    uint8_t* act = action ? action : &ignored;
    *act = LISTBOX_ACTION_NONE;
    const bool chosen = m_byRowChosen != 0;
    m_byRowChosen = 0;
    if (!m_byVisible || m_byDisabled)
        return RZ_OK;
    if (Inside(x, y)) {
        int row = 0;
        if (RowAt(x, y, &row) && int64_t(m_iTop) + row < std::min(m_iEnd, Count())) {
            if (chosen && m_iTop + row == m_iCursor)
                *act = LISTBOX_ACTION_ROW;
            else if (chosen)
                m_iCursor = m_iSavedIndex;  // released elsewhere: the choice is undone
            if (m_pHandler)
                m_pHandler->OnLButtonUp(x, y, act);
        } else {
            if (m_pHandler)
                m_pHandler->OnLButtonUp(x, y, act);
            if (chosen)
                m_iCursor = m_iSavedIndex;
        }
        return RZ_OK;
    }

    // A control scrolls only when it was both pressed and released on.
    if (m_pUp) {
        if (m_pUp->OnLButtonUp(x, y) == RZ_HIT && m_byUpPressed) {
            m_byUpPressed = 0;
            if (GridMode())
                ScrollGridUp();
            else
                ScrollTextUp();
            *act = LISTBOX_ACTION_SCROLL;
        }
        m_pUp->SetNormal();
    }
    if (m_pDown) {
        if (m_pDown->OnLButtonUp(x, y) == RZ_HIT && m_byDownPressed) {
            m_byDownPressed = 0;
            if (GridMode())
                ScrollGridDown();
            else
                ScrollTextDown();
            *act = LISTBOX_ACTION_SCROLL;
        }
        m_pDown->SetNormal();
    }
    if (m_pThumb) {
        m_byThumbPressed = 0;
        m_pThumb->SetNormal();
    }
    if (m_pHandler)
        m_pHandler->OnLButtonUp(x, y, act);
    return RZ_OK;
}

RZRESULT CKvListbox::OnMouseMove(int x, int y, uint8_t* action) {
    (void)x;
    if (!m_byVisible || m_byDisabled || !m_byThumbPressed || !m_pThumb)
        return RZ_OK;
    // The thumb as the last Draw placed it; its bottom is one past the drawn thumb. Every
    // move measures from the pen-down point, so a pen held beyond the thumb keeps scrolling
    // until the redrawn thumb reaches it.
    plat::Rect thumb;
    m_pThumb->GetRect(&thumb);
    const int64_t rows = std::llabs(int64_t(m_iDragY) - y) / 20;
    if (rows <= 0)
        return RZ_OK;
    if (y > m_iDragY && y >= thumb.bottom)
        DragThumb(rows, true);
    else if (y < m_iDragY && y <= thumb.top)
        DragThumb(rows, false);
    if (action)
        *action = LISTBOX_ACTION_SCROLL;
    return RZ_OK;
}

}  // namespace KvUserInterface

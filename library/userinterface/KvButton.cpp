#include "library/userinterface/KvButton.h"

#include <algorithm>
#include <cstdint>
#include <new>
#include <string>

#include "library/CVantrel.h"
#include "library/LibFactory.h"
#include "platform/gfx/Surface.h"
#include "platform/text/Text.h"

namespace KvUserInterface {

namespace {

constexpr int kIniValueChars = 512;
constexpr int kTitleChars = 128;  // a caption keeps at most 127 characters

}  // namespace

CKvButton::CKvButton() {
    m_byVisible = 1;
}

RZRESULT CKvButton::SetImage(KvMultimedia::IKvImage* image) {
    m_byDirty = 1;
    // Reference the new one first: it may be the one already held.
    if (image)
        image->AddRef();
    if (m_pImage)
        m_pImage->Release();
    m_pImage = image;
    return RZ_OK;
}

RZRESULT CKvButton::SetRect(int x, int y, int w, int h) {
    return CKvUILayout::SetRect(x, y, w, h);
}

RZRESULT CKvButton::SetPos(int x, int y) {
    return CKvUILayout::SetPos(x, y);
}

RZRESULT CKvButton::GetRect(plat::Rect* out) {
    return CKvUILayout::GetRect(out);
}

RZRESULT CKvButton::GetBounds(int* x, int* y, int* w, int* h) {
    return CKvUILayout::GetBounds(x, y, w, h);
}

RZRESULT CKvButton::Show(uint8_t visible) {
    return CKvUILayout::Show(visible);
}

RZRESULT CKvButton::SetNormal() {
    m_byDirty = 1;
    m_byState = BUTTON_NORMAL;
    return RZ_OK;
}

RZRESULT CKvButton::SetPressed() {
    m_byDirty = 1;
    m_byState = BUTTON_PRESSED;
    return RZ_OK;
}

RZRESULT CKvButton::SetHighlighted() {
    m_byDirty = 1;
    m_byState = BUTTON_HIGHLIGHTED;
    return RZ_OK;
}

RZRESULT CKvButton::Disable() {
    m_byDirty = 1;
    m_byState = BUTTON_DISABLED;
    return RZ_OK;
}

RZRESULT CKvButton::GetState(uint8_t* out) {
    if (out)
        *out = m_byState;
    return RZ_OK;
}

RZRESULT CKvButton::SetTitle(const char16_t* text) {
    m_byDirty = 1;
    if (m_pCaption)
        m_pCaption->SetText(text);
    return RZ_OK;
}

RZRESULT CKvButton::SetTitleAlign(uint8_t flags) {
    m_byDirty = 1;
    if (m_pCaption)
        m_pCaption->SetAlign(flags);
    return RZ_OK;
}

RZRESULT CKvButton::IsVisible() {
    return CKvUILayout::IsVisible();
}

RZRESULT CKvButton::LoadLayout(const char16_t* iniFile, const char16_t* section,
                               const char16_t* name, const char16_t* imageDir) {
    CVantrel* root = CVantrel::GetInstance();
    if (!root)
        return RZ_FAIL;
    if (!m_pCaption && root->CreateText(&m_pCaption) != RZ_OK) {
        m_pCaption = nullptr;
        return RZ_FAIL;
    }
    const std::u16string prefix = name ? std::u16string(name) : std::u16string();
    char16_t value[kIniValueChars];
    auto read = [&](const char16_t* suffix) {
        value[0] = 0;
        root->GetIniString(iniFile, section, (prefix + suffix).c_str(), value, kIniValueChars);
    };
    auto field = [&](int index) {
        int v = 0;
        root->GetFieldInt(value, index, &v);
        return v;
    };

    read(u" Title");
    if (value[0] != 0) {
        char16_t title[kTitleChars];
        title[0] = 0;
        root->GetFieldString(value, 1, title, kTitleChars);
        const std::u16string_view t(title);
        if (t == u"null" || t == u"Null" || t == u"NULL")
            m_pCaption->SetText(nullptr);
        else
            m_pCaption->SetText(title);
        m_pCaption->SetRect(field(2), field(3), field(4), field(5));
        m_pCaption->SetFont(field(6), static_cast<uint8_t>(field(7)),
                            static_cast<uint8_t>(field(8)), static_cast<uint8_t>(field(9)));
    }

    read(u" Pos");
    CKvUILayout::SetRect(field(1), field(2), field(3), field(4));

    if (m_pImage) {
        m_pImage->Release();
        m_pImage = nullptr;
    }
    if (imageDir) {
        read(u" Img");
        const std::u16string path = std::u16string(imageDir) + u"\\" + value;
        KvMultimedia::IKvImage* image = nullptr;
        if (root->CreateImage(&image, path.c_str()) == RZ_OK)
            m_pImage = image;
    }
    return RZ_OK;
}

bool CKvButton::Hit(int x, int y) const {
    if (!m_byVisible || m_byState == BUTTON_DISABLED)
        return false;
    // The edges themselves belong to no button.
    return x > m_iX && x < KvAddWrap(m_iX, m_iW) && y > m_iY && y < KvAddWrap(m_iY, m_iH);
}

RZRESULT CKvButton::OnLButtonUp(int x, int y) {
    if (!Hit(x, y))
        return RZ_MISS;
    m_byState = BUTTON_HIGHLIGHTED;
    return RZ_HIT;
}

RZRESULT CKvButton::OnLButtonDown(int x, int y) {
    if (!Hit(x, y))
        return RZ_MISS;
    m_byState = BUTTON_PRESSED;
    return RZ_HIT;
}

RZRESULT CKvButton::HitTest(int x, int y) {
    return Hit(x, y) ? RZ_HIT : RZ_MISS;
}

int CKvButton::ChosenFrame() const {
    if (m_byFixedFrame)
        return m_byFrame;
    const int frame = m_byFrame > BUTTON_DISABLED ? 0 : m_byFrame;
    return std::max<int>(m_byState, frame);
}

void CKvButton::DrawFrame(plat::Canvas* hdc, int left, int top, int right, int bottom) {
    // Without an image (its file was missing) the frame is skipped; the caption still shows.
    if (!m_pImage)
        return;
    const int64_t sl = int64_t(ChosenFrame()) * m_iW;
    const int64_t sr = sl + m_iW;
    if (sl < INT32_MIN || sr > INT32_MAX)
        return;
    m_pImage->DrawPart(hdc, left, top, right, bottom, static_cast<int>(sl), 0, static_cast<int>(sr),
                       m_iH);
}

RZRESULT CKvButton::DrawTo(plat::Canvas* hdc, int left, int top, int right, int bottom) {
    DrawFrame(hdc, left, top, right, bottom);
    if (m_pCaption)
        m_pCaption->Draw(hdc);
    m_byDirty = 0;
    return RZ_OK;
}

RZRESULT CKvButton::Draw(plat::Canvas* hdc, int dx, int dy) {
    if (!m_byVisible)
        return RZ_OK;
    const int left = KvAddWrap(m_iX, dx);
    const int top = KvAddWrap(m_iY, dy);
    DrawFrame(hdc, left, top, KvAddWrap(left, m_iW), KvAddWrap(top, m_iH));
    if (m_pCaption)
        m_pCaption->Draw(hdc);
    m_byDirty = 0;
    return RZ_OK;
}

RZRESULT CKvButton::SetFixedFrame(uint8_t fixed) {
    m_byFixedFrame = fixed;
    return RZ_OK;
}

RZRESULT CKvButton::GetFixedFrame() {
    return m_byFixedFrame;
}

RZRESULT CKvButton::SetFrame(uint8_t frame) {
    m_byDirty = 1;
    m_byFrame = frame;
    return RZ_OK;
}

RZRESULT CKvButton::Invalidate() {
    m_byDirty = 1;
    return RZ_OK;
}

RZRESULT CKvButton::IsDirty(uint8_t* out) {
    if (out)
        *out = m_byDirty;
    return RZ_OK;
}

RZRESULT CKvButton::AddRef() {
    return CKvObject::AddRef();
}

RZRESULT CKvButton::Release() {
    const uint16_t count = CKvObject::Release();
    if (count == 0) {
        if (m_pImage)
            m_pImage->Release();
        if (m_pCaption)
            m_pCaption->Release();
        delete this;
    }
    return count;
}

RZRESULT NewButton(IKvButton** out) {
    KV_NEW_OBJECT(CKvButton, IKvButton, out);
}

}  // namespace KvUserInterface

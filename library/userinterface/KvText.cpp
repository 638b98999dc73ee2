#include "library/userinterface/KvText.h"

#include <cstring>
#include <new>

#include "library/CVantrel.h"
#include "library/LibFactory.h"
#include "platform/gfx/Canvas.h"
#include "platform/text/Text.h"

namespace KvUserInterface {

namespace {

constexpr int kIniValueChars = 512;

uint32_t Rgb(uint8_t r, uint8_t g, uint8_t b) {
    return uint32_t(r) | (uint32_t(g) << 8) | (uint32_t(b) << 16);
}

}  // namespace

CKvText::CKvText() {
    m_byVisible = 1;
}

RZRESULT CKvText::SetFont(int size, uint8_t r, uint8_t g, uint8_t b) {
    m_iFontSize = size;
    m_dwColor = Rgb(r, g, b);
    m_font.reset();
    plat::Font font;
    if (plat::Font::CreateWidgetFont(size, font))
        m_font = std::move(font);
    return RZ_OK;
}

RZRESULT CKvText::SetRect(int x, int y, int w, int h) {
    return CKvUILayout::SetRect(x, y, w, h);
}

RZRESULT CKvText::SetPos(int x, int y) {
    return CKvUILayout::SetPos(x, y);
}

RZRESULT CKvText::SetText(const char16_t* text) {
    if (m_pszText && text && plat::StrCmp(m_pszText.get(), text) != 0)
        m_byDirty = 1;
    if (!text) {
        m_pszText.reset();
        return RZ_NONE;
    }
    // Copy before freeing the old text: the new one may be the old one, or a part of it.
    const size_t len = plat::StrLen(text);
    std::unique_ptr<char16_t[]> copy(new (std::nothrow) char16_t[len + 1]);
    if (!copy) {
        m_pszText.reset();
        return RZ_FAIL;
    }
    std::memcpy(copy.get(), text, (len + 1) * sizeof(char16_t));
    m_pszText = std::move(copy);
    return RZ_OK;
}

RZRESULT CKvText::GetText(char16_t** out) {
    if (!m_pszText)
        return RZ_NONE;
    if (out)
        *out = m_pszText.get();
    return RZ_OK;
}

RZRESULT CKvText::Show(uint8_t visible) {
    return CKvUILayout::Show(visible);
}

RZRESULT CKvText::SetAlign(uint8_t flags) {
    uint32_t format = 0;
    if (flags & KVTEXT_ALIGN_CENTER)
        format |= plat::kTextCenter;
    if (flags & KVTEXT_ALIGN_VCENTER)
        format |= plat::kTextVCenter;
    if (flags & KVTEXT_ALIGN_RIGHT)
        format |= plat::kTextRight;
    if (flags & KVTEXT_ALIGN_BOTTOM)
        format |= plat::kTextBottom;
    if (flags & KVTEXT_ALIGN_SINGLELINE)
        format |= plat::kTextSingleLine;
    m_dwFormat = format;
    m_byDirty = 1;
    return RZ_OK;
}

RZRESULT CKvText::LoadLayout(const char16_t* iniFile, const char16_t* section) {
    CVantrel* root = CVantrel::GetInstance();
    if (!root)
        return RZ_OK;
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

    read(u"Show");
    if (value[0] != 0) {
        const std::u16string_view show(value);
        m_byVisible = (show == u"true" || show == u"True" || show == u"TRUE") ? 1 : 0;
    }
    read(u"Position");
    CKvUILayout::SetRect(field(1), field(2), field(3), field(4));
    read(u"Font Size");
    m_iFontSize = field(1);
    read(u"Font Color");
    const int r = field(1), g = field(2), b = field(3);
    SetFont(m_iFontSize, static_cast<uint8_t>(r), static_cast<uint8_t>(g), static_cast<uint8_t>(b));
    return RZ_OK;
}

RZRESULT CKvText::IsVisible() {
    return CKvUILayout::IsVisible();
}

RZRESULT CKvText::Draw(plat::Canvas* hdc) {
    if (!m_byVisible || !m_pszText || !hdc)
        return RZ_OK;
    // Colour stays set on the canvas afterwards, as on a device context; the font is put back.
    hdc->SetTextColor(plat::ArgbFromColorRef(m_dwColor));
    if (m_font) {
        const plat::Font previous = hdc->GetFont();
        hdc->SetFont(*m_font);
        hdc->DrawText(m_pszText.get(), LayoutRect(), m_dwFormat);
        hdc->SetFont(previous);
    } else {
        hdc->DrawText(m_pszText.get(), LayoutRect(), m_dwFormat);
    }
    return RZ_OK;
}

RZRESULT CKvText::Invalidate() {
    m_byDirty = 1;
    return RZ_OK;
}

RZRESULT CKvText::IsDirty(uint8_t* out) {
    if (out)
        *out = m_byDirty;
    return RZ_OK;
}

RZRESULT CKvText::AddRef() {
    return CKvObject::AddRef();
}

RZRESULT CKvText::Release() {
    const uint16_t count = CKvObject::Release();
    if (count == 0)
        delete this;
    return count;
}

RZRESULT NewText(IKvText** out) {
    KV_NEW_OBJECT(CKvText, IKvText, out);
}

}  // namespace KvUserInterface

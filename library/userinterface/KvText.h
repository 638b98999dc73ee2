// The text label: one owned string drawn in a rectangle, transparent over what is there.
#pragma once

#include <memory>
#include <optional>

#include "library/KvObject.h"
#include "library/include/IKvText.h"
#include "library/userinterface/KvUILayout.h"
#include "platform/gfx/Font.h"

namespace KvUserInterface {

class CKvText final : public IKvText, public CKvObject, public CKvUILayout {
public:
    CKvText();

    RZRESULT SetFont(int size, uint8_t r, uint8_t g, uint8_t b) override;
    RZRESULT SetRect(int x, int y, int w, int h) override;
    RZRESULT SetPos(int x, int y) override;
    RZRESULT SetText(const char16_t* text) override;
    RZRESULT GetText(char16_t** out) override;
    RZRESULT Show(uint8_t visible) override;
    RZRESULT SetAlign(uint8_t flags) override;
    RZRESULT LoadLayout(const char16_t* iniFile, const char16_t* section) override;
    RZRESULT IsVisible() override;
    RZRESULT Draw(plat::Canvas* hdc) override;
    RZRESULT Invalidate() override;
    RZRESULT IsDirty(uint8_t* out) override;
    RZRESULT AddRef() override;
    RZRESULT Release() override;

    // State for the other widgets of the library and for tests.
    int32_t FontSize() const { return m_iFontSize; }
    uint32_t Color() const { return m_dwColor; }
    uint32_t Format() const { return m_dwFormat; }
    const std::optional<plat::Font>& GetFontObject() const { return m_font; }

private:
    ~CKvText() = default;

    int32_t m_iFontSize = 12;
    uint32_t m_dwColor = 0xFAFAFA;  // RGB(r, g, b) = r + 256 g + 65536 b
    uint32_t m_dwFormat = 0;        // text format flags (plat::kText*)
    std::unique_ptr<char16_t[]> m_pszText;
    std::optional<plat::Font> m_font;  // none: the canvas's current font
    uint8_t m_byDirty = 1;
};

}  // namespace KvUserInterface

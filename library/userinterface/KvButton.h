// The skinned push button: a four-frame image strip and an optional caption label.
#pragma once

#include "library/KvObject.h"
#include "library/include/IKvButton.h"
#include "library/include/IKvImage.h"
#include "library/include/IKvText.h"
#include "library/userinterface/KvUILayout.h"

namespace KvUserInterface {

class CKvButton final : public IKvButton, public CKvObject, public CKvUILayout {
public:
    CKvButton();

    RZRESULT SetImage(KvMultimedia::IKvImage* image) override;
    RZRESULT SetRect(int x, int y, int w, int h) override;
    RZRESULT SetPos(int x, int y) override;
    RZRESULT GetRect(plat::Rect* out) override;
    RZRESULT GetBounds(int* x, int* y, int* w, int* h) override;
    RZRESULT Show(uint8_t visible) override;
    RZRESULT SetNormal() override;
    RZRESULT SetPressed() override;
    RZRESULT SetHighlighted() override;
    RZRESULT Disable() override;
    RZRESULT GetState(uint8_t* out) override;
    RZRESULT SetTitle(const char16_t* text) override;
    RZRESULT SetTitleAlign(uint8_t flags) override;
    RZRESULT IsVisible() override;
    RZRESULT LoadLayout(const char16_t* iniFile, const char16_t* section, const char16_t* name,
                        const char16_t* imageDir) override;
    RZRESULT OnLButtonUp(int x, int y) override;
    RZRESULT OnLButtonDown(int x, int y) override;
    RZRESULT HitTest(int x, int y) override;
    RZRESULT DrawTo(plat::Canvas* hdc, int left, int top, int right, int bottom) override;
    RZRESULT Draw(plat::Canvas* hdc, int dx, int dy) override;
    RZRESULT SetFixedFrame(uint8_t fixed) override;
    RZRESULT GetFixedFrame() override;
    RZRESULT SetFrame(uint8_t frame) override;
    RZRESULT Invalidate() override;
    RZRESULT IsDirty(uint8_t* out) override;
    RZRESULT AddRef() override;
    RZRESULT Release() override;

    // For the other widgets of the library and for tests.
    KvMultimedia::IKvImage* Image() const { return m_pImage; }
    IKvText* Caption() const { return m_pCaption; }

private:
    ~CKvButton() = default;

    int ChosenFrame() const;
    bool Hit(int x, int y) const;
    void DrawFrame(plat::Canvas* hdc, int left, int top, int right, int bottom);

    uint8_t m_byDirty = 1;
    uint8_t m_byState = BUTTON_NORMAL;
    KvMultimedia::IKvImage* m_pImage = nullptr;  // one reference held
    IKvText* m_pCaption = nullptr;               // one reference held
    uint8_t m_byFixedFrame = 0;
    uint8_t m_byFrame = 0;
};

}  // namespace KvUserInterface

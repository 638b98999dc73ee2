#include "library/multimedia/KvImage.h"

#include <new>
#include <string>

#include "library/LibFactory.h"
#include "platform/gfx/Canvas.h"
#include "platform/gfx/ImageFile.h"
#include "platform/io/Path.h"
#include "platform/text/Text.h"

namespace KvMultimedia {

namespace {

// Right and bottom edges from sizes, wrapping like 32-bit arithmetic instead of overflowing.
int AddWrap(int a, int b) {
    return static_cast<int>(static_cast<uint32_t>(a) + static_cast<uint32_t>(b));
}

}  // namespace

CKvImage::CKvImage(const char16_t* path) {
    if (!path)
        return;
    if (plat::LoadImageFile(plat::NativePath(path), m_image))
        m_bLoaded = 1;
}

CKvImage::CKvImage(const char16_t* path, int maxWidth, int maxHeight) {
    if (path && plat::LoadImageFileFitting(plat::NativePath(path), maxWidth, maxHeight, m_image))
        m_bLoaded = 1;
}

RZRESULT CKvImage::Reserved(uint32_t /*unused*/) {
    return RZ_OK;
}

RZRESULT CKvImage::IsLoaded(int* out) {
    if (out)
        *out = m_bLoaded;
    return RZ_OK;
}

RZRESULT CKvImage::GetSize(uint32_t* width, uint32_t* height) {
    if (m_image.IsEmpty())
        return RZ_FAIL;
    if (width)
        *width = static_cast<uint32_t>(m_image.Width());
    if (height)
        *height = static_cast<uint32_t>(m_image.Height());
    return RZ_OK;
}

RZRESULT CKvImage::Rotate90() {
    if (!m_image.IsEmpty())
        m_image = plat::RotateClockwise90(m_image);
    return RZ_OK;
}

RZRESULT CKvImage::Save(const char16_t* path) {
    if (!path || m_image.IsEmpty())
        return RZ_FAIL;
    // The extension runs from the last '.' of the whole path, folders included.
    const char16_t* dot = plat::StrRChr(path, u'.');
    if (!dot)
        return RZ_FAIL;
    std::u16string ext(dot);
    for (char16_t& c : ext)
        c = plat::ToLowerAscii(c);
    plat::ImageFormat format;
    if (ext == u".bmp")
        format = plat::ImageFormat::Bmp;
    else if (ext == u".jpg" || ext == u".jpeg")
        format = plat::ImageFormat::Jpeg;
    else
        return RZ_FAIL;  // nothing written, and the caller is told so
    return plat::SaveImageFile(plat::NativePath(path), m_image, format, 100) ? RZ_OK : RZ_FAIL;
}

RZRESULT CKvImage::DrawPart(plat::Canvas* hdc, int dl, int dt, int dr, int db, int sl, int st,
                            int sr, int sb) {
    if (m_image.IsEmpty())
        return RZ_FAIL;
    // Drawing errors are not reported: a missing canvas draws nothing.
    if (hdc)
        hdc->DrawImage(m_image, plat::Rect{sl, st, sr, sb}, plat::Rect{dl, dt, dr, db});
    return RZ_OK;
}

RZRESULT CKvImage::Draw(plat::Canvas* hdc, int x, int y, int w, int h) {
    if (m_image.IsEmpty())
        return RZ_FAIL;
    if (!hdc)
        return RZ_OK;
    if (w == 0 || h == 0)
        hdc->DrawImage(m_image, x, y);
    else
        hdc->DrawImage(m_image, m_image.Bounds(), plat::Rect{x, y, AddWrap(x, w), AddWrap(y, h)});
    return RZ_OK;
}

RZRESULT CKvImage::AddRef() {
    return CKvObject::AddRef();
}

RZRESULT CKvImage::Release() {
    const uint16_t count = CKvObject::Release();
    if (count == 0)
        delete this;
    return count;
}

RZRESULT NewImage(IKvImage** out, const char16_t* path) {
    return NewImage(out, path, 0, 0);
}

RZRESULT NewImage(IKvImage** out, const char16_t* path, int maxWidth, int maxHeight) {
    if (!out)
        return RZ_FAIL;
    *out = nullptr;
    CKvImage* image = maxWidth > 0 && maxHeight > 0 ? new (std::nothrow)
                                                          CKvImage(path, maxWidth, maxHeight)
                                                    : new (std::nothrow) CKvImage(path);
    if (!image)
        return RZ_FAIL;
    image->AddRef();
    int loaded = 0;
    image->IsLoaded(&loaded);
    if (!loaded) {
        image->Release();
        return RZ_FAIL;
    }
    *out = image;
    return RZ_OK;
}

}  // namespace KvMultimedia

#include "library/multimedia/KvImageBase.h"

#include <string>
#include <utility>

#include "platform/gfx/Canvas.h"
#include "platform/io/Path.h"
#include "platform/text/Text.h"

namespace KvMultimedia {

namespace {

// Right and bottom edges from sizes, wrapping like 32-bit arithmetic instead of overflowing.
int AddWrap(int a, int b) {
    return static_cast<int>(static_cast<uint32_t>(a) + static_cast<uint32_t>(b));
}

}  // namespace

bool SaveFormatFor(const char16_t* path, plat::ImageFormat& format) {
    // The extension runs from the last '.' of the whole path, folders included.
    const char16_t* dot = path ? plat::StrRChr(path, u'.') : nullptr;
    if (!dot)
        return false;
    std::u16string ext(dot);
    for (char16_t& c : ext)
        c = plat::ToLowerAscii(c);
    if (ext == u".bmp")
        format = plat::ImageFormat::Bmp;
    else if (ext == u".jpg" || ext == u".jpeg")
        format = plat::ImageFormat::Jpeg;
    else
        return false;
    return true;
}

RZRESULT CKvImageBase::Reserved(uint32_t /*unused*/) {
    return RZ_OK;
}

RZRESULT CKvImageBase::IsLoaded(int* out) {
    const bool loaded = Loaded();
    if (out)
        *out = loaded ? 1 : 0;
    return RZ_OK;
}

RZRESULT CKvImageBase::GetSize(uint32_t* width, uint32_t* height) {
    if (!Known())
        return RZ_FAIL;
    if (width)
        *width = static_cast<uint32_t>(m_iWidth);
    if (height)
        *height = static_cast<uint32_t>(m_iHeight);
    return RZ_OK;
}

RZRESULT CKvImageBase::Rotate90() {
    if (!Known())
        return RZ_OK;
    std::shared_ptr<const plat::Surface> pixels = PixelsFor(0, 0);
    if (!pixels)
        return RZ_OK;
    KeepTurned(std::make_shared<const plat::Surface>(plat::RotateClockwise90(*pixels)));
    std::swap(m_iWidth, m_iHeight);
    return RZ_OK;
}

RZRESULT CKvImageBase::Save(const char16_t* path) {
    plat::ImageFormat format;
    if (!path || !Known() || !SaveFormatFor(path, format))
        return RZ_FAIL;  // nothing written, and the caller is told so
    std::shared_ptr<const plat::Surface> pixels = PixelsFor(0, 0);
    if (!pixels)
        return RZ_FAIL;
    return plat::SaveImageFile(plat::NativePath(path), *pixels, format, 100) ? RZ_OK : RZ_FAIL;
}

RZRESULT CKvImageBase::DrawPart(plat::Canvas* hdc, int dl, int dt, int dr, int db, int sl, int st,
                                int sr, int sb) {
    if (!Known())
        return RZ_FAIL;
    // Drawing errors are not reported: a missing canvas draws nothing.
    if (!hdc)
        return RZ_OK;
    std::shared_ptr<const plat::Surface> pixels = PixelsFor(0, 0);
    if (!pixels)
        return RZ_FAIL;
    hdc->DrawImage(*pixels, plat::Rect{sl, st, sr, sb}, plat::Rect{dl, dt, dr, db});
    return RZ_OK;
}

RZRESULT CKvImageBase::Draw(plat::Canvas* hdc, int x, int y, int w, int h) {
    if (!Known())
        return RZ_FAIL;
    if (!hdc)
        return RZ_OK;
    const bool ownSize = w == 0 || h == 0;
    std::shared_ptr<const plat::Surface> pixels = ownSize ? PixelsFor(0, 0) : PixelsFor(w, h);
    if (!pixels)
        return RZ_FAIL;
    if (ownSize) {
        w = m_iWidth;
        h = m_iHeight;
    }
    hdc->DrawImage(*pixels, pixels->Bounds(), plat::Rect{x, y, AddWrap(x, w), AddWrap(y, h)});
    return RZ_OK;
}

RZRESULT CKvImageBase::AddRef() {
    return CKvObject::AddRef();
}

RZRESULT CKvImageBase::Release() {
    const uint16_t count = CKvObject::Release();
    if (count == 0)
        delete this;
    return count;
}

}  // namespace KvMultimedia

#include "library/multimedia/KvImage.h"

#include <new>
#include <string>

#include "library/LibFactory.h"
#include "platform/gfx/Canvas.h"
#include "platform/gfx/ImageFile.h"
#include "platform/gfx/ImageThumb.h"
#include "platform/io/Path.h"
#include "platform/text/Text.h"

namespace KvMultimedia {

namespace {

// Pictures above these are a camera's, never a skin's: they are decoded scaled down to the
// largest screen (the rear seat's), where a photo is shown at most.
constexpr int64_t kScreenFitAbovePixels = 4ll << 20;
constexpr int kScreenFitAboveSide = 4096;
constexpr int kLargestScreenWidth = 800;
constexpr int kLargestScreenHeight = 600;

// Right and bottom edges from sizes, wrapping like 32-bit arithmetic instead of overflowing.
int AddWrap(int a, int b) {
    return static_cast<int>(static_cast<uint32_t>(a) + static_cast<uint32_t>(b));
}

}  // namespace

CKvImage::CKvImage(const char16_t* path) : CKvImage(path, 0, 0) {}

CKvImage::CKvImage(const char16_t* path, int maxWidth, int maxHeight) {
    if (!path)
        return;
    std::string native = plat::NativePath(path);
    int width = 0;
    int height = 0;
    if (!plat::ReadImageFileSize(native, width, height))
        return;
    if (maxWidth <= 0 || maxHeight <= 0) {
        const bool huge = int64_t(width) * height > kScreenFitAbovePixels ||
                          width > kScreenFitAboveSide || height > kScreenFitAboveSide;
        maxWidth = huge ? kLargestScreenWidth : 0;
        maxHeight = huge ? kLargestScreenHeight : 0;
    }
    // A picture that fits as it is shares the pixels of its file; a larger one is decoded
    // scaled down, for this object alone.
    if (maxWidth > 0 && maxHeight > 0 && (width > maxWidth || height > maxHeight)) {
        m_iFitWidth = maxWidth;
        m_iFitHeight = maxHeight;
        plat::FitImageSize(width, height, maxWidth, maxHeight);
    }
    m_iWidth = width;
    m_iHeight = height;
    m_strPath = std::move(native);
    m_bLoaded = 1;
}

const plat::Surface* CKvImage::Picture() {
    if (!m_bLoaded)
        return nullptr;
    if (!m_strPath.empty()) {
        if (m_iFitWidth > 0) {
            // Reduced to the size the header promised, refusing a cut file as a whole decode
            // would (the scaling loader cannot tell which rows it never wrote).
            auto image = std::make_shared<plat::Surface>();
            if (plat::LoadImageFileReduced(m_strPath, m_iWidth, m_iHeight, *image))
                m_image = std::move(image);
        } else {
            m_image = plat::LoadImageFileShared(m_strPath);
        }
        m_strPath.clear();
        if (m_image && !m_image->IsEmpty()) {
            m_iWidth = m_image->Width();
            m_iHeight = m_image->Height();
        } else {
            // The header promised a picture the body does not hold.
            m_image.reset();
            m_bLoaded = 0;
        }
    }
    return m_image.get();
}

RZRESULT CKvImage::Reserved(uint32_t /*unused*/) {
    return RZ_OK;
}

RZRESULT CKvImage::IsLoaded(int* out) {
    Picture();
    if (out)
        *out = m_bLoaded;
    return RZ_OK;
}

RZRESULT CKvImage::GetSize(uint32_t* width, uint32_t* height) {
    if (!m_bLoaded)
        return RZ_FAIL;
    if (width)
        *width = static_cast<uint32_t>(m_iWidth);
    if (height)
        *height = static_cast<uint32_t>(m_iHeight);
    return RZ_OK;
}

RZRESULT CKvImage::Rotate90() {
    // The turned picture is this object's own; the shared one stays as the file has it.
    if (const plat::Surface* image = Picture()) {
        m_image = std::make_shared<const plat::Surface>(plat::RotateClockwise90(*image));
        m_iWidth = m_image->Width();
        m_iHeight = m_image->Height();
    }
    return RZ_OK;
}

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

RZRESULT CKvImage::Save(const char16_t* path) {
    const plat::Surface* image = path ? Picture() : nullptr;
    if (!image)
        return RZ_FAIL;
    plat::ImageFormat format;
    if (!SaveFormatFor(path, format))
        return RZ_FAIL;  // nothing written, and the caller is told so
    return plat::SaveImageFile(plat::NativePath(path), *image, format, 100) ? RZ_OK : RZ_FAIL;
}

RZRESULT CKvImage::DrawPart(plat::Canvas* hdc, int dl, int dt, int dr, int db, int sl, int st,
                            int sr, int sb) {
    if (!m_bLoaded)
        return RZ_FAIL;
    // Drawing errors are not reported: a missing canvas draws nothing (and decodes nothing).
    if (!hdc)
        return RZ_OK;
    const plat::Surface* image = Picture();
    if (!image)
        return RZ_FAIL;
    hdc->DrawImage(*image, plat::Rect{sl, st, sr, sb}, plat::Rect{dl, dt, dr, db});
    return RZ_OK;
}

RZRESULT CKvImage::Draw(plat::Canvas* hdc, int x, int y, int w, int h) {
    if (!m_bLoaded)
        return RZ_FAIL;
    if (!hdc)
        return RZ_OK;
    const plat::Surface* image = Picture();
    if (!image)
        return RZ_FAIL;
    if (w == 0 || h == 0)
        hdc->DrawImage(*image, x, y);
    else
        hdc->DrawImage(*image, image->Bounds(), plat::Rect{x, y, AddWrap(x, w), AddWrap(y, h)});
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
    CKvImage* image = new (std::nothrow) CKvImage(path, maxWidth, maxHeight);
    if (!image)
        return RZ_FAIL;
    image->AddRef();
    if (!image->HeaderRead()) {
        image->Release();
        return RZ_FAIL;
    }
    *out = image;
    return RZ_OK;
}

}  // namespace KvMultimedia

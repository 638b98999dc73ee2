#include "library/multimedia/KvImage.h"

#include <new>
#include <string>
#include <utility>

#include "library/LibFactory.h"
#include "platform/gfx/ImageFile.h"
#include "platform/gfx/ImageThumb.h"
#include "platform/io/Path.h"

namespace KvMultimedia {

namespace {

// Pictures above these are a camera's, never a skin's: they are decoded scaled down to the
// largest screen (the rear seat's), where a photo is shown at most.
constexpr int64_t kScreenFitAbovePixels = 4ll << 20;
constexpr int kScreenFitAboveSide = 4096;
constexpr int kLargestScreenWidth = 800;
constexpr int kLargestScreenHeight = 600;

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

bool CKvImage::Loaded() {
    Picture();
    return m_bLoaded != 0;
}

std::shared_ptr<const plat::Surface> CKvImage::PixelsFor(int /*w*/, int /*h*/) {
    Picture();
    return m_image;
}

void CKvImage::KeepTurned(std::shared_ptr<const plat::Surface> turned) {
    // The turned picture is this object's own; the shared one stays as the file has it.
    m_image = std::move(turned);
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

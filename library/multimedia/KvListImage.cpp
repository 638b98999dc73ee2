#include "library/multimedia/KvListImage.h"

#include <algorithm>
#include <mutex>
#include <new>
#include <set>
#include <utility>
#include <vector>

#include "platform/gfx/ImageFile.h"
#include "platform/gfx/ImageThumb.h"
#include "platform/io/Path.h"

namespace KvMultimedia {

// The decoded pixels of every list picture, least recently drawn last.
class ListImagePixels {
public:
    static ListImagePixels& Instance() {
        static ListImagePixels budget;
        return budget;
    }

    // The pixels the picture holds, now counted as just drawn.
    std::shared_ptr<const plat::Surface> Use(CKvListImage* image) {
        std::lock_guard<std::mutex> lock(m_mutex);
        if (image->m_bListed)
            m_order.splice(m_order.begin(), m_order, image->m_place);
        return image->m_pixels;
    }

    bool Fixed(CKvListImage* image) {
        std::lock_guard<std::mutex> lock(m_mutex);
        return image->m_bFixed;
    }

    // The picture's new pixels; fixed ones are never given back (nothing could decode them
    // again) and so are not counted. Older pixels of others go while the budget is exceeded.
    void Keep(CKvListImage* image, std::shared_ptr<const plat::Surface> pixels, bool fixed) {
        std::vector<std::shared_ptr<const plat::Surface>> dropped;  // freed outside the lock
        std::lock_guard<std::mutex> lock(m_mutex);
        RemoveLocked(image);
        image->m_pixels = std::move(pixels);
        image->m_bFixed = fixed;
        if (!image->m_pixels || fixed)
            return;
        m_order.push_front(image);
        image->m_place = m_order.begin();
        image->m_bListed = true;
        m_bytes += Bytes(*image->m_pixels);
        while (m_bytes > kListImagePixelBytes && m_order.back() != image) {
            CKvListImage* old = m_order.back();
            dropped.push_back(old->m_pixels);
            RemoveLocked(old);
            old->m_pixels.reset();
        }
    }

    size_t Held() {
        std::lock_guard<std::mutex> lock(m_mutex);
        return m_bytes;
    }

    void Forget(CKvListImage* image) {
        std::lock_guard<std::mutex> lock(m_mutex);
        RemoveLocked(image);
        image->m_pixels.reset();
    }

private:
    static size_t Bytes(const plat::Surface& s) {
        return static_cast<size_t>(s.Width()) * static_cast<size_t>(s.Height()) * 4;
    }

    void RemoveLocked(CKvListImage* image) {
        if (!image->m_bListed)
            return;
        m_bytes -= Bytes(*image->m_pixels);
        m_order.erase(image->m_place);
        image->m_bListed = false;
    }

    std::mutex m_mutex;
    std::list<CKvListImage*> m_order;
    size_t m_bytes = 0;
};

CKvListImage::CKvListImage(std::u16string path, int maxWidth, int maxHeight)
    : m_storedPath(std::move(path)), m_iMaxWidth(maxWidth), m_iMaxHeight(maxHeight) {}

CKvListImage::~CKvListImage() {
    ListImagePixels::Instance().Forget(this);
}

bool CKvListImage::Known() {
    if (m_state == State::Unread) {
        // Resolved only now: a folder's rows are made by the thousand, drawn by the page.
        m_path = plat::NativePath(m_storedPath);
        m_storedPath = std::u16string();
        plat::ImageFileInfo info;
        if (!plat::ReadImageFileInfo(m_path, info)) {
            m_state = State::Broken;
            return false;
        }
        int w = info.width;
        int h = info.height;
        // The same size a decode scaled down to fit the maximum gives.
        plat::FitImageSize(w, h, m_iMaxWidth, m_iMaxHeight);
        m_iWidth = w;
        m_iHeight = h;
        m_state = State::Known;
    }
    return m_state == State::Known;
}

void CKvListImage::DecodeSizeFor(int w, int h, int* outW, int* outH) const {
    const bool smaller = w > 0 && h > 0 && w <= m_iWidth && h <= m_iHeight;
    *outW = smaller ? w : m_iWidth;
    *outH = smaller ? h : m_iHeight;
}

std::shared_ptr<const plat::Surface> CKvListImage::PixelsAt(int w, int h) {
    ListImagePixels& budget = ListImagePixels::Instance();
    std::shared_ptr<const plat::Surface> held = budget.Use(this);
    if (held && (budget.Fixed(this) || (held->Width() == w && held->Height() == h)))
        return held;
    auto decoded = std::make_shared<plat::Surface>();
    if (!plat::LoadImageFileReduced(m_path, w, h, *decoded)) {
        m_state = State::Broken;
        budget.Forget(this);
        return nullptr;
    }
    budget.Keep(this, decoded, false);
    return decoded;
}

bool CKvListImage::HoldNow() {
    if (!Known())
        return false;
    std::shared_ptr<const plat::Surface> pixels = PixelsAt(m_iWidth, m_iHeight);
    if (!pixels)
        return false;
    ListImagePixels::Instance().Keep(this, pixels, true);
    return true;
}

void CKvListImage::HeldSize(int* width, int* height) const {
    std::shared_ptr<const plat::Surface> held =
        ListImagePixels::Instance().Use(const_cast<CKvListImage*>(this));
    *width = held ? held->Width() : 0;
    *height = held ? held->Height() : 0;
}

std::shared_ptr<const plat::Surface> CKvListImage::PixelsFor(int w, int h) {
    int dw = 0, dh = 0;
    DecodeSizeFor(w, h, &dw, &dh);
    return PixelsAt(dw, dh);
}

void CKvListImage::KeepTurned(std::shared_ptr<const plat::Surface> turned) {
    ListImagePixels::Instance().Keep(this, std::move(turned), true);
}

RZRESULT NewListImage(IKvImage** out, const char16_t* path, int maxWidth, int maxHeight) {
    if (!out)
        return RZ_FAIL;
    *out = nullptr;
    if (!path)
        return RZ_FAIL;
    CKvListImage* image = nullptr;
    try {
        image = new CKvListImage(std::u16string(path), maxWidth, maxHeight);
    } catch (const std::bad_alloc&) {
        return RZ_FAIL;
    }
    image->AddRef();
    *out = image;
    return RZ_OK;
}

size_t ListImageHeldBytes() {
    return ListImagePixels::Instance().Held();
}

void PrepareListImages(IKvImage* const* images, int count,
                       const std::function<bool(uint32_t, uint32_t, int*, int*)>& drawSize) {
    std::vector<plat::ReducedLoad> batch;
    std::vector<CKvListImage*> owners;
    std::set<CKvListImage*> seen;
    ListImagePixels& budget = ListImagePixels::Instance();
    for (int i = 0; i < count; ++i) {
        auto* image = dynamic_cast<CKvListImage*>(images[i]);
        if (!image || !seen.insert(image).second || !image->Known())
            continue;
        int w = 0, h = 0;
        if (!drawSize(static_cast<uint32_t>(image->m_iWidth),
                      static_cast<uint32_t>(image->m_iHeight), &w, &h))
            continue;
        int dw = 0, dh = 0;
        image->DecodeSizeFor(w, h, &dw, &dh);
        std::shared_ptr<const plat::Surface> held = budget.Use(image);
        if (held && (budget.Fixed(image) || (held->Width() == dw && held->Height() == dh)))
            continue;
        plat::ReducedLoad load;
        load.path = image->m_path;
        load.width = dw;
        load.height = dh;
        batch.push_back(std::move(load));
        owners.push_back(image);
    }
    plat::LoadImageFilesReduced(batch);
    for (size_t i = 0; i < batch.size(); ++i) {
        if (batch[i].ok) {
            budget.Keep(owners[i], std::make_shared<plat::Surface>(std::move(batch[i].picture)),
                        false);
        } else {
            owners[i]->m_state = CKvListImage::State::Broken;
            budget.Forget(owners[i]);
        }
    }
}

}  // namespace KvMultimedia

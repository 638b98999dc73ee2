// The library's picture: decoded once at creation, drawn from memory.
#pragma once

#include "library/KvObject.h"
#include "library/include/IKvImage.h"
#include "platform/gfx/Surface.h"

namespace KvMultimedia {

class CKvImage final : public IKvImage, public CKvObject {
public:
    // Loads the file (a stored path: either separator, names matched without case); a null
    // path loads nothing.
    explicit CKvImage(const char16_t* path);
    // A picture never kept larger than maxWidth x maxHeight (decoded scaled down to fit).
    CKvImage(const char16_t* path, int maxWidth, int maxHeight);

    RZRESULT Reserved(uint32_t unused) override;
    RZRESULT IsLoaded(int* out) override;
    RZRESULT GetSize(uint32_t* width, uint32_t* height) override;
    RZRESULT Rotate90() override;
    RZRESULT Save(const char16_t* path) override;
    RZRESULT DrawPart(plat::Canvas* hdc, int dl, int dt, int dr, int db, int sl, int st, int sr,
                      int sb) override;
    RZRESULT Draw(plat::Canvas* hdc, int x, int y, int w, int h) override;
    RZRESULT AddRef() override;
    RZRESULT Release() override;

private:
    ~CKvImage() = default;

    int32_t m_bLoaded = 0;
    plat::Surface m_image;  // empty when nothing was loaded
};

}  // namespace KvMultimedia

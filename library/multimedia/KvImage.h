// The library's picture: its file's header read at creation, its pixels decoded when first
// needed and shared with every other picture of the same file.
#pragma once

#include <memory>
#include <string>

#include "library/KvObject.h"
#include "library/include/IKvImage.h"
#include "platform/gfx/ImageFile.h"
#include "platform/gfx/Surface.h"

namespace KvMultimedia {

// The file type a picture is saved as, from the path's extension: ".bmp", ".jpg" or ".jpeg" in
// any case; false for anything else.
bool SaveFormatFor(const char16_t* path, plat::ImageFormat& format);

class CKvImage final : public IKvImage, public CKvObject {
public:
    // Reads the file's header (a stored path: either separator, names matched without case);
    // a null path loads nothing. A picture far larger than any screen (a camera's photo) is
    // decoded scaled down to the largest screen.
    explicit CKvImage(const char16_t* path);
    // A picture never kept larger than maxWidth x maxHeight (decoded scaled down to fit).
    CKvImage(const char16_t* path, int maxWidth, int maxHeight);

    RZRESULT Reserved(uint32_t unused) override;
    // Decodes the picture if that was not done yet: a file whose header was fine but whose
    // body is damaged is not loaded.
    RZRESULT IsLoaded(int* out) override;
    RZRESULT GetSize(uint32_t* width, uint32_t* height) override;
    RZRESULT Rotate90() override;
    RZRESULT Save(const char16_t* path) override;
    RZRESULT DrawPart(plat::Canvas* hdc, int dl, int dt, int dr, int db, int sl, int st, int sr,
                      int sb) override;
    RZRESULT Draw(plat::Canvas* hdc, int x, int y, int w, int h) override;
    RZRESULT AddRef() override;
    RZRESULT Release() override;

    // Whether the header was read (no decoding).
    bool HeaderRead() const { return m_bLoaded != 0; }

private:
    ~CKvImage() = default;

    // The pixels, decoded now if they were not yet; null when the picture cannot be drawn.
    const plat::Surface* Picture();

    int32_t m_bLoaded = 0;
    std::string m_strPath;  // still to decode; empty once decoded or for a picture read at once
    int m_iFitWidth = 0;    // decode scaled down to fit this, when set
    int m_iFitHeight = 0;
    int m_iWidth = 0;
    int m_iHeight = 0;
    std::shared_ptr<const plat::Surface> m_image;
};

}  // namespace KvMultimedia

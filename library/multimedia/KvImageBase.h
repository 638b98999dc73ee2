// What the library's two pictures share: the interface's reporting, drawing, turning and
// saving, over pixels each kind decodes and keeps in its own way.
#pragma once

#include <cstdint>
#include <memory>

#include "library/KvObject.h"
#include "library/include/IKvImage.h"
#include "platform/gfx/ImageFile.h"
#include "platform/gfx/Surface.h"

namespace KvMultimedia {

// The file type a picture is saved as, from the path's extension: ".bmp", ".jpg" or ".jpeg" in
// any case; false for anything else.
bool SaveFormatFor(const char16_t* path, plat::ImageFormat& format);

class CKvImageBase : public IKvImage, public CKvObject {
public:
    RZRESULT Reserved(uint32_t unused) override;
    RZRESULT IsLoaded(int* out) override;
    // The size it reports: its header's, fitted into its maximum, swapped by each turn.
    RZRESULT GetSize(uint32_t* width, uint32_t* height) override;
    // A quarter turn clockwise of this object's pixels alone (never of the file, nor of other
    // pictures of it); nothing for a picture that cannot be decoded.
    RZRESULT Rotate90() override;
    // BMP or JPEG by the path's extension; RZ_FAIL, with nothing written, for any other.
    RZRESULT Save(const char16_t* path) override;
    // Source edges are in the reported size. A missing canvas draws (and decodes) nothing.
    RZRESULT DrawPart(plat::Canvas* hdc, int dl, int dt, int dr, int db, int sl, int st, int sr,
                      int sb) override;
    // At the reported size where w or h is 0, else stretched to w x h.
    RZRESULT Draw(plat::Canvas* hdc, int x, int y, int w, int h) override;
    RZRESULT AddRef() override;
    RZRESULT Release() override;

protected:
    CKvImageBase() = default;
    virtual ~CKvImageBase() = default;

    // Whether the header named a picture we read and its pixels have not failed (yet).
    virtual bool Known() = 0;
    // What IsLoaded answers.
    virtual bool Loaded() = 0;
    // The pixels for a draw into w x h (0 x 0: the reported size), decoded now if not held;
    // null when the body cannot be decoded (the picture is then broken for good).
    virtual std::shared_ptr<const plat::Surface> PixelsFor(int w, int h) = 0;
    // Keeps the turned pixels for good.
    virtual void KeepTurned(std::shared_ptr<const plat::Surface> turned) = 0;

    int m_iWidth = 0;  // the reported size
    int m_iHeight = 0;
};

}  // namespace KvMultimedia

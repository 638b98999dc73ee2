// The library's picture: its file's header read at creation, its pixels decoded when first
// needed and shared with every other picture of the same file.
#pragma once

#include <memory>
#include <string>

#include "library/multimedia/KvImageBase.h"
#include "platform/gfx/Surface.h"

namespace KvMultimedia {

class CKvImage final : public CKvImageBase {
public:
    // Reads the file's header (a stored path: either separator, names matched without case);
    // a null path loads nothing. A picture far larger than any screen (a camera's photo) is
    // decoded scaled down to the largest screen.
    explicit CKvImage(const char16_t* path);
    // A picture never kept larger than maxWidth x maxHeight (decoded scaled down to fit).
    CKvImage(const char16_t* path, int maxWidth, int maxHeight);

    // Whether the header was read (no decoding).
    bool HeaderRead() const { return m_bLoaded != 0; }

private:
    ~CKvImage() override = default;

    bool Known() override { return m_bLoaded != 0; }
    // Decodes the picture if that was not done yet: a file whose header was fine but whose
    // body is damaged is not loaded.
    bool Loaded() override;
    // Its one picture, whatever the size drawn at.
    std::shared_ptr<const plat::Surface> PixelsFor(int w, int h) override;
    void KeepTurned(std::shared_ptr<const plat::Surface> turned) override;

    // The pixels, decoded now if they were not yet; null when the picture cannot be drawn.
    const plat::Surface* Picture();

    int32_t m_bLoaded = 0;
    std::string m_strPath;  // still to decode; empty once decoded or for a picture read at once
    int m_iFitWidth = 0;    // decode scaled down to fit this, when set
    int m_iFitHeight = 0;
    std::shared_ptr<const plat::Surface> m_image;
};

}  // namespace KvMultimedia

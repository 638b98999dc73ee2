// The picture of a list row (a grid cell's thumbnail). A folder of camera photos gives
// thousands of rows, of which one page is drawn: a row's picture reads nothing until it is
// asked for its size, decodes nothing until it is drawn, and then only at the size it is
// drawn at. The decoded pixels of all list pictures together stay within a fixed budget; the
// least recently drawn give theirs back and decode again when they are drawn again.
#pragma once

#include <functional>
#include <list>
#include <memory>
#include <string>

#include "library/include/IKvImage.h"
#include "library/multimedia/KvImageBase.h"
#include "platform/gfx/Surface.h"

namespace KvMultimedia {

// Decoded pixels of all list pictures, together, beyond which the least recently drawn go.
constexpr size_t kListImagePixelBytes = 12u << 20;

class CKvListImage final : public CKvImageBase {
public:
    // `path` is a stored path (either separator, names matched without case); the picture is no
    // larger than maxWidth x maxHeight (its proportions kept), as a picture decoded scaled down to
    // fit would be.
    CKvListImage(std::u16string path, int maxWidth, int maxHeight);

    // Decodes the picture now at the size it reports and keeps it for good, whatever becomes
    // of the file (a row's picture from a file that is written again, as the photo page's
    // turned copy is); false when it cannot be decoded.
    bool HoldNow();

    // Size of the decoded pixels it holds now (0 x 0: none), for tests.
    void HeldSize(int* width, int* height) const;

private:
    friend class ListImagePixels;
    friend void PrepareListImages(IKvImage* const* images, int count,
                                  const std::function<bool(uint32_t, uint32_t, int*, int*)>&);
    ~CKvListImage() override;

    // Reads the header once; false for a file that is no picture or whose pixels failed.
    bool Known() override;
    // 1 when the file's header names a picture we read (the pixels may still fail).
    bool Loaded() override { return Known(); }
    // Decoded at the size drawn at, when no larger than the reported size.
    std::shared_ptr<const plat::Surface> PixelsFor(int w, int h) override;
    void KeepTurned(std::shared_ptr<const plat::Surface> turned) override;
    // The pixel size a draw into w x h decodes at: that size when it is no larger than the
    // picture, else the picture's own.
    void DecodeSizeFor(int w, int h, int* outW, int* outH) const;
    // Pixels of exactly w x h (or the fixed ones of a turned or held picture), decoding them when
    // not held; null when the file cannot be decoded (the picture is then broken for good).
    std::shared_ptr<const plat::Surface> PixelsAt(int w, int h);

    enum class State : uint8_t { Unread, Known, Broken };

    std::u16string m_storedPath;  // until the header is read
    std::string m_path;
    int m_iMaxWidth;
    int m_iMaxHeight;
    State m_state = State::Unread;
    // Guarded by the budget's lock: the pixels, whether they are fixed (turned or held: never
    // decoded again), and the place in the least-recently-drawn order.
    std::shared_ptr<const plat::Surface> m_pixels;
    bool m_bFixed = false;
    bool m_bListed = false;
    std::list<CKvListImage*>::iterator m_place;
};

// A row picture for `path` (a stored path); RZ_FAIL only for a null path or no memory.
RZRESULT NewListImage(IKvImage** out, const char16_t* path, int maxWidth, int maxHeight);

// Decodes, several at once, the pixels that drawing these pictures is about to need:
// `drawSize` gives for a picture's reported size the size it will be drawn at (false: not
// drawn). Pictures that are not list pictures, or already hold those pixels, are left alone;
// a picture whose file fails to decode becomes broken, as a failed draw would make it.
void PrepareListImages(IKvImage* const* images, int count,
                       const std::function<bool(uint32_t, uint32_t, int*, int*)>& drawSize);

// Bytes of decoded pixels all list pictures hold now (fixed ones aside), for tests.
size_t ListImageHeldBytes();

}  // namespace KvMultimedia

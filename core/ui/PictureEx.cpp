#include "core/ui/PictureEx.h"

#include <algorithm>
#include <chrono>

#include "core/ui/GifDecoder.h"
#include "platform/gfx/ImageFile.h"
#include "platform/io/File.h"
#include "platform/io/Path.h"
#include "platform/sys/Clock.h"

namespace {

// The dialog colours of the system: button face for the background, menu for the new canvas.
constexpr uint32_t kColorBtnFace = 0xF0F0F0;
constexpr uint32_t kColorMenu = 0xF0F0F0;

// Frames of all units together may not hold more pixels than this.
constexpr size_t kMaxFramePixels = size_t(32) << 20;
constexpr size_t kMaxFileBytes = size_t(64) << 20;

enum BlockKind { kUnknown, kAppExt, kCommentExt, kControlExt, kPlainTextExt, kImage, kTrailer };

uint16_t Le16(const uint8_t* p) {
    return static_cast<uint16_t>(p[0] | (p[1] << 8));
}

size_t ColourTableBytes(uint8_t packed) {
    return (packed & 0x80) ? 3u * (2u << (packed & 7)) : 0u;
}

bool IsSystemClock() {
    return dynamic_cast<plat::SystemClock*>(&plat::GetClock()) != nullptr;
}

}  // namespace

CPictureEx::CPictureEx() = default;

CPictureEx::~CPictureEx() {
    Reset();
    Destroy();
}

uint32_t CPictureEx::FrameDelayMs(const GIF_FRAME& frame) {
    // Browsers treat tiny delays as "as fast as possible"; 100 ms keeps such GIFs watchable.
    return frame.delay > 4 ? static_cast<uint32_t>(frame.delay) * 10u : 100u;
}

bool CPictureEx::LoadFile(const char16_t* path) {
    if (!path)
        return false;
    std::vector<uint8_t> data;
    if (!plat::ReadWholeFile(plat::NativePath(path), data, kMaxFileBytes))
        return false;
    return LoadMemory(data.data(), data.size());
}

// Length of the block at `pos` as the walk skips it, or 0 when it cannot be skipped inside the
// data; `kind` tells what the block is.
size_t CPictureEx::SkipLength(size_t pos, int* kind) const {
    const uint8_t* d = m_pRawData;
    const size_t size = m_nDataSize;
    *kind = kUnknown;
    if (pos >= size)
        return 0;
    size_t fixed = 0;
    bool subBlocks = true;
    if (d[pos] == 0x21) {
        if (size - pos < 2)
            return 0;
        switch (d[pos + 1]) {
            case 0xFF:
                *kind = kAppExt, fixed = 14;
                break;
            case 0xFE:
                *kind = kCommentExt, fixed = 2;
                break;
            case 0xF9:
                *kind = kControlExt, fixed = 8, subBlocks = false;
                break;
            case 0x01:
                *kind = kPlainTextExt, fixed = 15;
                break;
            default:
                return 0;
        }
    } else if (d[pos] == 0x2C) {
        *kind = kImage;
        if (size - pos < 10)
            return 0;
        fixed = 11 + ColourTableBytes(d[pos + 9]);
    } else if (d[pos] == 0x3B) {
        *kind = kTrailer;
        fixed = 1;
        subBlocks = false;
    } else {
        return 0;
    }
    if (fixed > size - pos)
        return 0;
    size_t p = pos + fixed;
    while (subBlocks) {
        if (p >= size)
            return 0;
        size_t n = d[p];
        if (n >= size - p)  // the block must end inside the data
            return 0;
        p += 1 + n;
        if (n == 0)
            break;
    }
    return p - pos;
}

// Advances the parse position past one graphic unit (a graphic control extension with what
// follows it up to its image, or an image or plain-text block alone).
bool CPictureEx::NextUnit(Unit* unit) {
    Unit u;
    int kind;
    size_t len;
    for (;;) {
        len = SkipLength(m_nCurrOffset, &kind);
        if ((kind == kAppExt || kind == kCommentExt) && len) {
            m_nCurrOffset += len;
            continue;
        }
        if (kind != kControlExt && kind != kImage && kind != kPlainTextExt)
            return false;
        break;
    }
    u.begin = m_nCurrOffset;
    if (kind == kControlExt) {
        while (kind == kControlExt || kind == kAppExt || kind == kCommentExt) {
            if (!len)
                return false;
            if (kind == kControlExt) {
                const uint8_t* g = m_pRawData + m_nCurrOffset;
                u.hasControl = true;
                u.delay = Le16(g + 4);
                u.disposal = (g[3] >> 2) & 7;
            }
            m_nCurrOffset += len;
            len = SkipLength(m_nCurrOffset, &kind);
        }
        if (kind != kImage && kind != kPlainTextExt)
            return false;
    }
    if (!len)
        return false;
    if (kind == kImage) {
        const uint8_t* im = m_pRawData + m_nCurrOffset;
        u.isImage = true;
        u.x = Le16(im + 1);
        u.y = Le16(im + 3);
        u.width = Le16(im + 5);
        u.height = Le16(im + 7);
    }
    m_nCurrOffset += len;
    u.length = m_nCurrOffset - u.begin;
    if (unit)
        *unit = u;
    return true;
}

bool CPictureEx::LoadMemory(const uint8_t* data, size_t size) {
    Reset();
    if (!data || size == 0)
        return false;
    m_pRawData = data;
    m_nDataSize = size;
    bool ok = false;
    if (size < 3 || data[0] != 'G' || data[1] != 'I' || data[2] != 'F') {
        // A plain picture (JPEG, PNG, BMP): decoded whole, shown at its natural size.
        auto picture = std::make_shared<plat::Surface>();
        if (plat::LoadImageData(data, size, *picture) && !picture->IsEmpty()) {
            m_pPicture = picture;
            ok = MakeCanvas(picture->Width(), picture->Height());
        }
    } else if (size >= 13) {
        m_bIsGif = true;
        m_nGlobalCTSize = ColourTableBytes(data[10]);
        int width = Le16(data + 6);
        int height = Le16(data + 8);
        const size_t header = 13 + m_nGlobalCTSize;
        m_nCurrOffset = header;
        int units = 0;
        while (NextUnit(nullptr))
            ++units;
        if (units == 1) {
            // One image: the whole stream is one picture on its logical screen.
            GifImage image;
            if (GifDecodeImage(data, size, image)) {
                auto picture = std::make_shared<plat::Surface>();
                if (width > 0 && height > 0 && width <= kGifMaxSide && height <= kGifMaxSide &&
                    picture->Create(width, height)) {
                    for (int y = 0; y < image.pixels.Height(); ++y)
                        for (int x = 0; x < image.pixels.Width(); ++x)
                            picture->SetPixel(image.left + x, image.top + y,
                                              image.pixels.PixelAt(x, y));
                    m_pPicture = picture;
                    ok = MakeCanvas(width, height);
                }
            }
        } else if (units > 1) {
            m_nCurrOffset = header;
            size_t pixels = 0;
            std::vector<uint8_t> single;
            Unit u;
            for (int i = 0; i < units && NextUnit(&u); ++i) {
                size_t area = static_cast<size_t>(u.width) * u.height;
                if (!u.isImage || area == 0 || area > kMaxFramePixels - pixels)
                    continue;  // nothing to show, or over the budget: left out like a bad frame
                // The unit as a GIF of its own: header, screen and global colours, the unit.
                single.assign(data, data + header);
                single.insert(single.end(), data + u.begin, data + u.begin + u.length);
                single.push_back(0x3B);
                GifImage image;
                if (!GifDecodeImage(single.data(), single.size(), image))
                    continue;
                GIF_FRAME frame;
                frame.width = u.width;
                frame.height = u.height;
                frame.x = u.x;
                frame.y = u.y;
                frame.delay = u.hasControl ? u.delay : -1;
                frame.disposal = u.hasControl ? u.disposal : 0;
                frame.picture = std::make_shared<plat::Surface>(std::move(image.pixels));
                pixels += area;
                m_Frames.push_back(std::move(frame));
            }
            if (!m_Frames.empty())
                ok = MakeCanvas(width, height);
        }
    }
    m_pRawData = nullptr;
    m_nCurrOffset = 0;
    if (!ok) {
        // Nothing half-made stays behind a failed load.
        m_Frames.clear();
        m_pPicture.reset();
        m_bIsGif = false;
    }
    return ok;
}

bool CPictureEx::MakeCanvas(int width, int height) {
    if (width <= 0 || height <= 0 || width > kGifMaxSide || height > kGifMaxSide)
        return false;
    plat::ui::WindowId id = Id();
    if (plat::ui::IsWindow(id)) {
        // Same place, new size; a child's place is in its parent's co-ordinates.
        plat::Rect r = plat::ui::GetWindowRect(id);
        plat::Rect p = plat::ui::GetWindowRect(plat::ui::GetParent(id));
        plat::ui::MoveWindow(id, r.left - p.left, r.top - p.top, width, height, true);
    }
    {
        std::lock_guard<std::mutex> lock(m_canvasMutex);
        if (!m_Canvas.Create(width, height))
            return false;
        m_Canvas.Fill(plat::ArgbFromColorRef(kColorMenu));
    }
    m_clrBackground = kColorBtnFace;
    m_iCanvasW = width;
    m_iCanvasH = height;
    m_bLoaded = true;
    return true;
}

int CPictureEx::Start() {
    if (!m_bLoaded)
        return 0;
    if (m_bIsGif && !m_Frames.empty()) {
        // Also a GIF of which only one frame decoded: it shows rather than staying blank.
        std::lock_guard<std::mutex> lock(m_threadMutex);
        if (!m_Thread.joinable())
            m_Thread = std::thread(&CPictureEx::ThreadProc, this, Id());
        return 0;
    }
    if (!m_pPicture)
        return 0;
    {
        std::lock_guard<std::mutex> lock(m_canvasMutex);
        DrawLocked(*m_pPicture, 0, 0);
    }
    plat::ui::InvalidateRect(Id());
    return 1;
}

void CPictureEx::Stop() {
    std::lock_guard<std::mutex> lock(m_threadMutex);
    m_bPlaying = false;
    {
        std::lock_guard<std::mutex> stopLock(m_stopMutex);
        m_bExitThread = true;
    }
    m_StopEvent.notify_all();
    // Always joined: the thread draws into this object, so it must be gone before we are.
    if (m_Thread.joinable())
        m_Thread.join();
    std::lock_guard<std::mutex> stopLock(m_stopMutex);
    m_bExitThread = false;
}

void CPictureEx::Reset() {
    Stop();
    m_pPicture.reset();
    m_Frames.clear();
    {
        std::lock_guard<std::mutex> lock(m_canvasMutex);
        m_Canvas.Reset();
        m_pSavedArea.reset();
    }
    m_pRawData = nullptr;
    m_bIsGif = false;
    m_bLoaded = false;
    m_iCanvasW = m_iCanvasH = 0;
    m_nDataSize = m_nCurrOffset = m_nGlobalCTSize = 0;
    m_nCurrFrame = 0;
    m_clrBackground = 0xFFFFFF;
}

bool CPictureEx::CopyCanvas(plat::Surface& out) const {
    std::lock_guard<std::mutex> lock(m_canvasMutex);
    if (m_Canvas.IsEmpty())
        return false;
    out = m_Canvas;
    return true;
}

void CPictureEx::DrawLocked(const plat::Surface& picture, int x, int y) {
    // Transparent pixels of a frame leave the canvas as it is.
    for (int py = 0; py < picture.Height(); ++py) {
        for (int px = 0; px < picture.Width(); ++px) {
            uint32_t argb = picture.PixelAt(px, py);
            if (argb >> 24)
                m_Canvas.SetPixel(x + px, y + py, argb);
        }
    }
}

void CPictureEx::DisposeLocked(const GIF_FRAME& frame) {
    plat::Rect r = plat::Rect::FromXYWH(frame.x, frame.y, frame.width, frame.height)
                       .Intersect(m_Canvas.Bounds());
    if (frame.disposal == 2) {
        uint32_t bg = plat::ArgbFromColorRef(m_clrBackground);
        for (int y = r.top; y < r.bottom; ++y)
            for (int x = r.left; x < r.right; ++x)
                m_Canvas.SetPixel(x, y, bg);
    } else if (frame.disposal == 3 && m_pSavedArea) {
        for (int y = 0; y < m_pSavedArea->Height(); ++y)
            for (int x = 0; x < m_pSavedArea->Width(); ++x)
                m_Canvas.SetPixel(m_rcSaved.left + x, m_rcSaved.top + y,
                                  m_pSavedArea->PixelAt(x, y));
        m_pSavedArea.reset();
    }
}

bool CPictureEx::WaitFrameDelay(uint64_t until) {
    // Measured on the system's clock, so that a test can step an animation with its own clock;
    // Stop ends the wait at once.
    const bool real = IsSystemClock();
    std::unique_lock<std::mutex> lock(m_stopMutex);
    while (!m_bExitThread) {
        uint64_t now = plat::GetClock().TickMs();
        if (now >= until)
            return true;
        uint64_t step = real ? until - now : 2;
        m_StopEvent.wait_for(lock, std::chrono::milliseconds(step));
    }
    return false;
}

void CPictureEx::ThreadProc(plat::ui::WindowId window) {
    m_bPlaying = true;
    if (m_nCurrFrame >= m_Frames.size())
        m_nCurrFrame = 0;
    {
        // Left from an earlier run that was stopped during this frame's delay.
        std::lock_guard<std::mutex> lock(m_canvasMutex);
        DisposeLocked(m_Frames[m_nCurrFrame]);
    }
    while (!m_bExitThread) {
        const GIF_FRAME& frame = m_Frames[m_nCurrFrame];
        // The delay counts from the moment the frame is drawn.
        const uint64_t shownAt = plat::GetClock().TickMs();
        if (frame.picture) {
            std::lock_guard<std::mutex> lock(m_canvasMutex);
            if (frame.disposal == 3) {
                m_rcSaved = plat::Rect::FromXYWH(frame.x, frame.y, frame.width, frame.height)
                                .Intersect(m_Canvas.Bounds());
                m_pSavedArea =
                    std::make_unique<plat::Surface>(m_rcSaved.Width(), m_rcSaved.Height());
                for (int y = 0; y < m_rcSaved.Height(); ++y)
                    for (int x = 0; x < m_rcSaved.Width(); ++x)
                        m_pSavedArea->SetPixel(
                            x, y, m_Canvas.PixelAt(m_rcSaved.left + x, m_rcSaved.top + y));
            }
            DrawLocked(*frame.picture, frame.x, frame.y);
        }
        plat::ui::InvalidateRect(window);
        if (m_bExitThread)
            break;
        if (!WaitFrameDelay(shownAt + FrameDelayMs(frame)))
            break;
        {
            std::lock_guard<std::mutex> lock(m_canvasMutex);
            DisposeLocked(frame);
            if (++m_nCurrFrame >= m_Frames.size()) {
                m_nCurrFrame = 0;
                m_Canvas.Fill(plat::ArgbFromColorRef(m_clrBackground));
            }
        }
    }
    m_bPlaying = false;
}

void CPictureEx::OnPaint(plat::Surface& surface, const plat::Rect&) {
    std::lock_guard<std::mutex> lock(m_canvasMutex);
    if (m_Canvas.IsEmpty()) {
        surface.Fill(plat::ArgbFromColorRef(kColorBtnFace));
        return;
    }
    int w = std::min(surface.Width(), m_Canvas.Width());
    for (int y = 0; y < std::min(surface.Height(), m_Canvas.Height()); ++y)
        std::copy_n(m_Canvas.Pixels() + static_cast<size_t>(y) * m_Canvas.Width(), w,
                    surface.Pixels() + static_cast<size_t>(y) * surface.Width());
}

void CPictureEx::OnDestroy() {
    Stop();
}

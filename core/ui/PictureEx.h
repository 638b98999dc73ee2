// The animated picture control: shows one picture file; a GIF of several frames is animated on
// a thread of its own, any other picture is drawn once.
#pragma once

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

#include "platform/gfx/Surface.h"
#include "platform/ui/Ui.h"

struct GIF_FRAME {
    std::shared_ptr<const plat::Surface> picture;  // the decoded frame, at its own size
    int width = 0;
    int height = 0;
    int x = 0;
    int y = 0;
    int delay = -1;    // hundredths of a second; -1 without a graphic control extension
    int disposal = 0;  // 0 without a graphic control extension
};

class CPictureEx : public plat::ui::Window {
public:
    CPictureEx();
    ~CPictureEx() override;

    bool LoadFile(const char16_t* path);
    bool LoadMemory(const uint8_t* data, size_t size);
    // 1 when a still picture was drawn; 0 when an animation started or nothing could be shown.
    int Start();
    void Stop();
    void Reset();

    bool IsLoaded() const { return m_bLoaded; }
    bool IsGif() const { return m_bIsGif; }
    bool IsPlaying() const { return m_bPlaying; }
    int GetCanvasWidth() const { return m_iCanvasW; }
    int GetCanvasHeight() const { return m_iCanvasH; }
    std::vector<GIF_FRAME> GetFrames() const { return m_Frames; }
    // What the control shows, read under the canvas lock; false when nothing is loaded.
    bool CopyCanvas(plat::Surface& out) const;

    // Frame delays in milliseconds as the animation waits them.
    static uint32_t FrameDelayMs(const GIF_FRAME& frame);

protected:
    void OnPaint(plat::Surface& surface, const plat::Rect& dirty) override;
    void OnDestroy() override;

private:
    struct Unit {
        size_t begin = 0;
        size_t length = 0;
        bool hasControl = false;
        int delay = -1;
        int disposal = 0;
        bool isImage = false;
        int x = 0, y = 0, width = 0, height = 0;
    };

    size_t SkipLength(size_t pos, int* kind) const;
    bool NextUnit(Unit* unit);
    bool MakeCanvas(int width, int height);
    void ThreadProc(plat::ui::WindowId window);
    bool WaitFrameDelay(uint64_t until);
    void DisposeLocked(const GIF_FRAME& frame);
    void DrawLocked(const plat::Surface& picture, int x, int y);

    int m_iCanvasW = 0;
    int m_iCanvasH = 0;
    uint32_t m_clrBackground = 0xFFFFFF;  // COLORREF
    size_t m_nCurrFrame = 0;
    size_t m_nDataSize = 0;
    size_t m_nCurrOffset = 0;
    bool m_bIsGif = false;
    std::atomic<bool> m_bPlaying{false};
    std::atomic<bool> m_bExitThread{false};
    // The canvas and the saved area, drawn by the animation thread and copied by paint.
    mutable std::mutex m_canvasMutex;
    plat::Surface m_Canvas;
    std::unique_ptr<plat::Surface> m_pSavedArea;
    plat::Rect m_rcSaved;
    std::thread m_Thread;
    std::mutex m_threadMutex;  // Start and Stop
    std::mutex m_stopMutex;
    std::condition_variable m_StopEvent;
    std::shared_ptr<const plat::Surface> m_pPicture;  // a still picture, drawn whole
    const uint8_t* m_pRawData = nullptr;              // loading only
    size_t m_nGlobalCTSize = 0;
    bool m_bLoaded = false;
    std::vector<GIF_FRAME> m_Frames;
};

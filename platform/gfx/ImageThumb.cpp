#include "platform/gfx/ImageThumb.h"

#include <fcntl.h>
#include <gdk-pixbuf/gdk-pixbuf.h>
#include <malloc.h>

#include <algorithm>
#include <condition_variable>
#include <cstdint>
#include <cstring>
#include <mutex>
#include <system_error>
#include <thread>
#include <utility>

#include "platform/gfx/ImageFile.h"
#include "platform/gfx/PixbufSurface.h"
#include "platform/io/File.h"

namespace plat {

namespace {

// What the JPEG decoder is asked for and what it gave.
struct JpegLoad {
    int width = 0;  // stored size, from the header read before
    int height = 0;
    int outWidth = 0;  // the size the decoder's own scaling gives
    int outHeight = 0;
    bool refused = false;
    std::vector<uint8_t> rowDone;
};

void OnJpegSize(GdkPixbufLoader* loader, int width, int height, gpointer user) {
    auto* load = static_cast<JpegLoad*>(user);
    // The file may have changed since its header was read.
    if (width != load->width || height != load->height) {
        load->refused = true;
        gdk_pixbuf_loader_set_size(loader, 0, 0);
        return;
    }
    // Exactly the size the decoder makes at that scale: the loader then scales nothing
    // afterwards and reports every row it writes.
    gdk_pixbuf_loader_set_size(loader, load->outWidth, load->outHeight);
    load->rowDone.assign(static_cast<size_t>(load->outHeight), 0);
}

void OnJpegRows(GdkPixbufLoader*, int /*x*/, int y, int /*width*/, int height, gpointer user) {
    auto* load = static_cast<JpegLoad*>(user);
    const int rows = static_cast<int>(load->rowDone.size());
    for (int r = std::max(0, y); r < rows && r < int64_t(y) + height; ++r)
        load->rowDone[static_cast<size_t>(r)] = 1;
}

int CeilDiv(int a, int b) {
    return static_cast<int>((int64_t(a) + b - 1) / b);
}

// The coarsest of the decoder's scales (1/8, 1/4, 1/2, 1) that still covers width x height.
int JpegScale(const ImageFileInfo& info, int width, int height) {
    for (int denom : {8, 4, 2})
        if (CeilDiv(info.width, denom) >= width && CeilDiv(info.height, denom) >= height)
            return denom;
    return 1;
}

// Streams the file through the decoder at the scale that covers width x height.
bool DecodeJpegReduced(const std::string& path, const ImageFileInfo& info, int width, int height,
                       Surface& out) {
    File file;
    if (!file.Open(path, O_RDONLY))
        return false;
    const int denom = JpegScale(info, width, height);
    JpegLoad load;
    load.width = info.width;
    load.height = info.height;
    load.outWidth = CeilDiv(info.width, denom);
    load.outHeight = CeilDiv(info.height, denom);
    GdkPixbufLoader* loader = gdk_pixbuf_loader_new_with_type("jpeg", nullptr);
    if (!loader)
        return false;
    g_signal_connect(loader, "size-prepared", G_CALLBACK(OnJpegSize), &load);
    g_signal_connect(loader, "area-updated", G_CALLBACK(OnJpegRows), &load);
    // The decoder keeps its own 64 KiB window of the data: pieces of that size are enough.
    constexpr size_t kPiece = 64u << 10;
    std::vector<uint8_t> piece(kPiece);
    JpegEndFinder end;
    bool ok = true;
    for (;;) {
        const long n = file.Read(piece.data(), piece.size());
        if (n < 0)
            ok = false;
        if (n <= 0 || !ok)
            break;
        end.Feed(piece.data(), static_cast<size_t>(n));
        ok = gdk_pixbuf_loader_write(loader, piece.data(), static_cast<gsize>(n), nullptr);
        if (!ok || load.refused)
            break;
    }
    // Closed even after a failure: the loader must not be finalised open.
    const bool closed = gdk_pixbuf_loader_close(loader, nullptr);
    ok = ok && closed && !load.refused && end.Ended() && !load.rowDone.empty() &&
         std::find(load.rowDone.begin(), load.rowDone.end(), 0) == load.rowDone.end();
    Surface decoded;
    if (ok) {
        GdkPixbuf* pixbuf = gdk_pixbuf_loader_get_pixbuf(loader);
        ok = pixbuf && SurfaceFromPixbuf(pixbuf, decoded) && decoded.Width() >= width &&
             decoded.Height() >= height;
    }
    g_object_unref(loader);
    if (!ok)
        return false;
    if (decoded.Width() == width && decoded.Height() == height)
        out = std::move(decoded);
    else
        out = ReduceImage(decoded, width, height);
    return !out.IsEmpty();
}

// What one reduced decode holds at once, roughly.
size_t DecoderBytes(const std::string& path, int width, int height) {
    ImageFileInfo info;
    if (!ReadImageHeader(path, info))
        return 0;
    const size_t whole = size_t(info.width) * size_t(info.height);
    if (info.kind != ImageKind::Jpeg)
        return whole * 8;  // the decoder's picture and ours, both whole
    const int denom = JpegScale(info, width, height);
    const size_t scaled = size_t(CeilDiv(info.width, denom)) * size_t(CeilDiv(info.height, denom));
    // A progressive file keeps two bytes of every coefficient, 1.5 of them per pixel (4:2:0).
    return scaled * 7 + (info.progressive ? whole * 3 : 0) + (256u << 10);
}

// At most this much decoder memory at once in a batch; a single larger decode still runs,
// alone.
constexpr size_t kBatchDecoderBytes = 32u << 20;
constexpr unsigned kMaxBatchThreads = 4;

}  // namespace

bool ReadImageFileInfo(const std::string& path, ImageFileInfo& out) {
    return ReadImageHeader(path, out);
}

Surface ReduceImage(const Surface& image, int width, int height) {
    const int sw = image.Width();
    const int sh = image.Height();
    if (width < 1 || height < 1 || width > sw || height > sh)
        return Surface();
    Surface out(width, height);
    if (out.IsEmpty())
        return out;
    if (width == sw && height == sh) {
        std::memcpy(out.Pixels(), image.Pixels(), size_t(sw) * size_t(sh) * 4);
        return out;
    }
    // Each new pixel is the mean of the block of old ones it covers.
    std::vector<int> colStart(static_cast<size_t>(width) + 1);
    for (int x = 0; x <= width; ++x)
        colStart[static_cast<size_t>(x)] = static_cast<int>(int64_t(x) * sw / width);
    std::vector<uint32_t> sums(static_cast<size_t>(width) * 4);
    const uint32_t* src = image.Pixels();
    uint32_t* dst = out.Pixels();
    for (int y = 0; y < height; ++y) {
        const int top = static_cast<int>(int64_t(y) * sh / height);
        const int bottom = static_cast<int>(int64_t(y + 1) * sh / height);
        std::fill(sums.begin(), sums.end(), 0u);
        for (int sy = top; sy < bottom; ++sy) {
            const uint32_t* row = src + size_t(sy) * size_t(sw);
            uint32_t* sum = sums.data();
            for (int x = 0; x < width; ++x, sum += 4) {
                for (int sx = colStart[size_t(x)]; sx < colStart[size_t(x) + 1]; ++sx) {
                    const uint32_t v = row[sx];
                    sum[0] += v >> 24;
                    sum[1] += (v >> 16) & 0xFF;
                    sum[2] += (v >> 8) & 0xFF;
                    sum[3] += v & 0xFF;
                }
            }
        }
        const uint32_t* sum = sums.data();
        for (int x = 0; x < width; ++x, sum += 4) {
            const uint32_t n =
                uint32_t(colStart[size_t(x) + 1] - colStart[size_t(x)]) * uint32_t(bottom - top);
            const uint32_t half = n / 2;
            *dst++ = (((sum[0] + half) / n) << 24) | (((sum[1] + half) / n) << 16) |
                     (((sum[2] + half) / n) << 8) | ((sum[3] + half) / n);
        }
    }
    return out;
}

bool LoadImageFileReduced(const std::string& path, int width, int height, Surface& out) {
    ImageFileInfo info;
    if (!ReadImageHeader(path, info) || width < 1 || height < 1 || width > info.width ||
        height > info.height)
        return false;
    if (info.kind == ImageKind::Jpeg)
        return DecodeJpegReduced(path, info, width, height, out);
    // The other types have no cheaper way than the whole picture.
    Surface whole;
    if (!LoadImageFile(path, whole) || width > whole.Width() || height > whole.Height())
        return false;
    Surface reduced = ReduceImage(whole, width, height);
    if (reduced.IsEmpty())
        return false;
    out = std::move(reduced);
    return true;
}

void LoadImageFilesReduced(std::vector<ReducedLoad>& batch) {
    if (batch.empty())
        return;
    std::vector<size_t> cost(batch.size());
    for (size_t i = 0; i < batch.size(); ++i)
        cost[i] = DecoderBytes(batch[i].path, batch[i].width, batch[i].height);
    std::mutex mutex;
    std::condition_variable changed;
    size_t next = 0;
    size_t running = 0;  // decoder bytes of the decodes under way
    int busy = 0;
    auto work = [&] {
        std::unique_lock<std::mutex> lock(mutex);
        for (;;) {
            // The next decode starts when it fits beside those running, or runs alone.
            changed.wait(lock, [&] {
                return next >= batch.size() || busy == 0 ||
                       running + cost[next] <= kBatchDecoderBytes;
            });
            if (next >= batch.size())
                return;
            const size_t i = next++;
            running += cost[i];
            ++busy;
            lock.unlock();
            ReducedLoad& load = batch[i];
            load.ok = LoadImageFileReduced(load.path, load.width, load.height, load.picture);
            lock.lock();
            running -= cost[i];
            --busy;
            changed.notify_all();
        }
    };
    const unsigned cores = std::max(1u, std::thread::hardware_concurrency());
    const size_t helpers = std::min<size_t>(batch.size(), std::min(cores, kMaxBatchThreads)) - 1;
    std::vector<std::thread> threads;
    for (size_t i = 0; i < helpers; ++i) {
        try {
            threads.emplace_back(work);
        } catch (const std::system_error&) {
            break;  // fewer helpers: the caller still does the rest
        }
    }
    work();
    for (std::thread& t : threads)
        t.join();
    // The decoders' buffers went back to malloc's arenas, one per thread; hand the free pages
    // back so that a page of thumbnails leaves no lasting trace in the process's memory.
    malloc_trim(0);
}

}  // namespace plat

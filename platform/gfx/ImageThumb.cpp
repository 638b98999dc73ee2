#include "platform/gfx/ImageThumb.h"

#include <fcntl.h>
#include <gdk-pixbuf/gdk-pixbuf.h>
#include <malloc.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <condition_variable>
#include <cstdint>
#include <cstring>
#include <mutex>
#include <system_error>
#include <thread>
#include <utility>

#include "platform/gfx/ImageFile.h"
#include "platform/gfx/PixbufSurface.h"

namespace plat {

namespace {

// The file's bytes in order, for headers and for feeding a decoder piece by piece.
class FileReader {
public:
    explicit FileReader(const std::string& path)
        : m_fd(::open(path.c_str(), O_RDONLY | O_CLOEXEC)) {}
    ~FileReader() {
        if (m_fd >= 0)
            ::close(m_fd);
    }
    FileReader(const FileReader&) = delete;
    FileReader& operator=(const FileReader&) = delete;

    bool Ok() const { return m_fd >= 0; }
    // Up to `size` bytes; 0 at the end, -1 on an error.
    ssize_t ReadSome(uint8_t* data, size_t size) {
        for (;;) {
            const ssize_t n = ::read(m_fd, data, size);
            if (n >= 0 || errno != EINTR)
                return n;
        }
    }
    // Exactly `size` bytes, or false.
    bool Read(uint8_t* data, size_t size) {
        while (size > 0) {
            const ssize_t n = ReadSome(data, size);
            if (n <= 0)
                return false;
            data += n;
            size -= static_cast<size_t>(n);
        }
        return true;
    }
    bool Skip(size_t size) {
        return ::lseek(m_fd, static_cast<off_t>(size), SEEK_CUR) != static_cast<off_t>(-1);
    }
    bool SeekTo(size_t offset) {
        return ::lseek(m_fd, static_cast<off_t>(offset), SEEK_SET) == static_cast<off_t>(offset);
    }

private:
    int m_fd;
};

enum class Kind { None, Png, Jpeg, Gif, Bmp };

Kind KindOf(const uint8_t* data, size_t size) {
    auto starts = [&](const char* magic, size_t n) {
        return size >= n && std::memcmp(data, magic, n) == 0;
    };
    if (starts("\x89PNG\r\n\x1a\n", 8))
        return Kind::Png;
    if (starts("\xFF\xD8\xFF", 3))
        return Kind::Jpeg;
    if (starts("GIF87a", 6) || starts("GIF89a", 6))
        return Kind::Gif;
    if (starts("BM", 2))
        return Kind::Bmp;
    return Kind::None;
}

uint32_t Be16(const uint8_t* p) {
    return (uint32_t(p[0]) << 8) | p[1];
}
uint32_t Be32(const uint8_t* p) {
    return (Be16(p) << 16) | Be16(p + 2);
}
uint32_t Le16(const uint8_t* p) {
    return uint32_t(p[0]) | (uint32_t(p[1]) << 8);
}
uint32_t Le32(const uint8_t* p) {
    return Le16(p) | (Le16(p + 2) << 16);
}

// Walks the segments up to the frame header; the compressed data is never reached.
bool ReadJpegInfo(FileReader& file, ImageFileInfo& out) {
    uint8_t b[8];
    // Each round consumes at least two bytes, so the file's end stops it.
    for (;;) {
        if (!file.Read(b, 1))
            return false;
        if (b[0] != 0xFF)
            return false;
        uint8_t marker = 0xFF;
        while (marker == 0xFF)
            if (!file.Read(&marker, 1))
                return false;
        if (marker == 0xD8 || marker == 0x01 || (marker >= 0xD0 && marker <= 0xD7))
            continue;  // no length follows these
        if (marker == 0xD9 || marker == 0xDA)
            return false;  // the data or the end before any frame header
        if (!file.Read(b, 2))
            return false;
        const uint32_t length = Be16(b);
        if (length < 2)
            return false;
        const bool frame =
            marker >= 0xC0 && marker <= 0xCF && marker != 0xC4 && marker != 0xC8 && marker != 0xCC;
        if (!frame) {
            if (!file.Skip(length - 2))
                return false;
            continue;
        }
        if (length < 7 || !file.Read(b, 5))
            return false;
        out.height = static_cast<int>(Be16(b + 1));
        out.width = static_cast<int>(Be16(b + 3));
        out.progressive = marker == 0xC2 || marker == 0xC6 || marker == 0xCA || marker == 0xCE;
        return true;
    }
}

bool WithinLimits(int width, int height) {
    return width > 0 && height > 0 && width <= kMaxImageSide && height <= kMaxImageSide &&
           int64_t(width) * height <= kMaxImagePixels;
}

// Fills as much of `data` as the file has; the count read.
size_t ReadUpTo(FileReader& file, uint8_t* data, size_t size) {
    size_t done = 0;
    while (done < size) {
        const ssize_t n = file.ReadSome(data + done, size - done);
        if (n <= 0)
            break;
        done += static_cast<size_t>(n);
    }
    return done;
}

bool ReadInfo(const std::string& path, ImageFileInfo& out, Kind& kind) {
    FileReader file(path);
    uint8_t head[26] = {};
    if (!file.Ok())
        return false;
    const size_t got = ReadUpTo(file, head, sizeof head);
    kind = KindOf(head, got);
    ImageFileInfo info;
    switch (kind) {
        case Kind::None:
            return false;
        case Kind::Png:
            if (got < 24 || std::memcmp(head + 12, "IHDR", 4) != 0)
                return false;
            info.width = static_cast<int>(std::min<uint32_t>(Be32(head + 16), INT32_MAX));
            info.height = static_cast<int>(std::min<uint32_t>(Be32(head + 20), INT32_MAX));
            break;
        case Kind::Gif:
            if (got < 10)
                return false;
            info.width = static_cast<int>(Le16(head + 6));
            info.height = static_cast<int>(Le16(head + 8));
            break;
        case Kind::Bmp: {
            if (got < 26)
                return false;
            const uint32_t header = Le32(head + 14);
            if (header == 12) {
                info.width = static_cast<int>(Le16(head + 18));
                info.height = static_cast<int>(Le16(head + 20));
            } else if (header >= 40) {
                const int32_t w = static_cast<int32_t>(Le32(head + 18));
                const int32_t h = static_cast<int32_t>(Le32(head + 22));
                // A negative height is a picture stored top row first.
                info.width = w;
                info.height = h == INT32_MIN ? 0 : (h < 0 ? -h : h);
            } else {
                return false;
            }
            break;
        }
        case Kind::Jpeg:
            // Again from the first segment after the start marker.
            if (!file.SeekTo(2) || !ReadJpegInfo(file, info))
                return false;
            break;
    }
    if (!WithinLimits(info.width, info.height))
        return false;
    out = info;
    return true;
}

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
    FileReader file(path);
    if (!file.Ok())
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
    bool ok = true;
    for (;;) {
        const ssize_t n = file.ReadSome(piece.data(), piece.size());
        if (n < 0)
            ok = false;
        if (n <= 0 || !ok)
            break;
        ok = gdk_pixbuf_loader_write(loader, piece.data(), static_cast<gsize>(n), nullptr);
        if (!ok || load.refused)
            break;
    }
    // Closed even after a failure: the loader must not be finalised open.
    const bool closed = gdk_pixbuf_loader_close(loader, nullptr);
    ok = ok && closed && !load.refused && !load.rowDone.empty() &&
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
    Kind kind = Kind::None;
    if (!ReadInfo(path, info, kind))
        return 0;
    const size_t whole = size_t(info.width) * size_t(info.height);
    if (kind != Kind::Jpeg)
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
    Kind kind = Kind::None;
    return ReadInfo(path, out, kind);
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
    Kind kind = Kind::None;
    if (!ReadInfo(path, info, kind) || width < 1 || height < 1 || width > info.width ||
        height > info.height)
        return false;
    if (kind == Kind::Jpeg)
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

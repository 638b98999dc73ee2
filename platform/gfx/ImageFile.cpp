#include "platform/gfx/ImageFile.h"

#include <gdk-pixbuf/gdk-pixbuf.h>

#include <algorithm>
#include <condition_variable>
#include <cstring>
#include <deque>
#include <iterator>
#include <map>
#include <memory>
#include <mutex>
#include <new>
#include <set>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "platform/gfx/ImageHeader.h"
#include "platform/gfx/PixbufSurface.h"
#include "platform/io/File.h"

namespace plat {

namespace {

// Only these decoders ever see outside bytes; the type comes from the content, not the name.
const char* DecoderFor(ImageKind kind) {
    switch (kind) {
        case ImageKind::Png:
            return "png";
        case ImageKind::Jpeg:
            return "jpeg";
        case ImageKind::Gif:
            return "gif";
        case ImageKind::Bmp:
            return "bmp";
        case ImageKind::None:
            break;
    }
    return nullptr;
}

struct LoadState {
    bool tooLarge = false;
    // Largest size wanted (0: as stored); a larger picture is decoded scaled down to fit.
    int fitWidth = 0;
    int fitHeight = 0;
    // Rows the decoder has written; the rest of a pixbuf is never initialised.
    std::vector<uint8_t> rowDone;
};

// Called once the header is read, before the pixels are allocated. A size of 0 x 0 makes the
// decoder stop there.
void OnSizePrepared(GdkPixbufLoader* loader, int width, int height, gpointer user) {
    auto* state = static_cast<LoadState*>(user);
    if (!ImageSizeWithinLimits(width, height)) {
        state->tooLarge = true;
        gdk_pixbuf_loader_set_size(loader, 0, 0);
        return;
    }
    if (state->fitWidth > 0 && state->fitHeight > 0 &&
        (width > state->fitWidth || height > state->fitHeight)) {
        FitImageSize(width, height, state->fitWidth, state->fitHeight);
        gdk_pixbuf_loader_set_size(loader, width, height);
        // The decoder then reports its rows in the scaled picture.
    }
    state->rowDone.assign(static_cast<size_t>(height), 0);
}

void OnAreaUpdated(GdkPixbufLoader*, int /*x*/, int y, int /*width*/, int height, gpointer user) {
    auto* state = static_cast<LoadState*>(user);
    const int rows = static_cast<int>(state->rowDone.size());
    for (int r = std::max(0, y); r < rows && r < int64_t(y) + height; ++r)
        state->rowDone[static_cast<size_t>(r)] = 1;
}

// Straight-alpha copy for the encoders, with or without the alpha channel.
GdkPixbuf* ToPixbuf(const Surface& image, bool withAlpha) {
    const int w = image.Width();
    const int h = image.Height();
    GdkPixbuf* pixbuf = gdk_pixbuf_new(GDK_COLORSPACE_RGB, withAlpha, 8, w, h);
    if (!pixbuf)
        return nullptr;
    const int stride = gdk_pixbuf_get_rowstride(pixbuf);
    const int channels = withAlpha ? 4 : 3;
    guint8* base = gdk_pixbuf_get_pixels(pixbuf);
    const uint32_t* src = image.Pixels();
    for (int y = 0; y < h; ++y) {
        guint8* p = base + static_cast<size_t>(y) * stride;
        for (int x = 0; x < w; ++x, p += channels) {
            const uint32_t v = *src++;
            uint32_t a = v >> 24, r = (v >> 16) & 0xFF, g = (v >> 8) & 0xFF, b = v & 0xFF;
            if (a != 0 && a != 255) {
                r = std::min<uint32_t>(255, (r * 255 + a / 2) / a);
                g = std::min<uint32_t>(255, (g * 255 + a / 2) / a);
                b = std::min<uint32_t>(255, (b * 255 + a / 2) / a);
            }
            p[0] = static_cast<guint8>(r);
            p[1] = static_cast<guint8>(g);
            p[2] = static_cast<guint8>(b);
            if (withAlpha)
                p[3] = static_cast<guint8>(a);
        }
    }
    return pixbuf;
}

}  // namespace

namespace {

bool DecodeImageData(const uint8_t* data, size_t size, int fitWidth, int fitHeight, Surface& out) {
    if (!data)
        return false;
    const ImageKind kind = ImageKindOf(data, size);
    const char* type = DecoderFor(kind);
    if (!type || (kind == ImageKind::Bmp && !BmpHeaderFits(data, size)))
        return false;
    GdkPixbufLoader* loader = gdk_pixbuf_loader_new_with_type(type, nullptr);
    if (!loader)
        return false;
    LoadState check;
    check.fitWidth = fitWidth;
    check.fitHeight = fitHeight;
    g_signal_connect(loader, "size-prepared", G_CALLBACK(OnSizePrepared), &check);
    g_signal_connect(loader, "area-updated", G_CALLBACK(OnAreaUpdated), &check);
    bool ok = true;
    // Fed in pieces: each write call takes a gsize but some decoders count in int.
    constexpr size_t kChunk = 1u << 20;
    for (size_t done = 0; ok && done < size && !check.tooLarge;) {
        const size_t n = std::min(kChunk, size - done);
        ok = gdk_pixbuf_loader_write(loader, data + done, n, nullptr);
        done += n;
    }
    // Close even after a failure: the loader must not be finalised open.
    const bool closed = gdk_pixbuf_loader_close(loader, nullptr);
    ok = ok && closed && !check.tooLarge;
    // A cut PNG or BMP still "loads", with rows never written: refuse it. GIF frames are
    // composed on a cleared picture, so rows outside the first frame are fine there.
    if (ok && kind != ImageKind::Gif)
        ok = std::find(check.rowDone.begin(), check.rowDone.end(), 0) == check.rowDone.end();
    if (ok && kind == ImageKind::Png)
        ok = PngReachesEnd(data, size);
    if (ok && kind == ImageKind::Jpeg)
        ok = JpegReachesEnd(data, size);
    if (ok) {
        GdkPixbuf* pixbuf = gdk_pixbuf_loader_get_pixbuf(loader);
        ok = pixbuf && SurfaceFromPixbuf(pixbuf, out);
    }
    g_object_unref(loader);
    return ok;
}

}  // namespace

bool SurfaceFromPixbuf(GdkPixbuf* pixbuf, Surface& out) {
    if (gdk_pixbuf_get_colorspace(pixbuf) != GDK_COLORSPACE_RGB ||
        gdk_pixbuf_get_bits_per_sample(pixbuf) != 8)
        return false;
    const int w = gdk_pixbuf_get_width(pixbuf);
    const int h = gdk_pixbuf_get_height(pixbuf);
    const int channels = gdk_pixbuf_get_n_channels(pixbuf);
    const bool alpha = gdk_pixbuf_get_has_alpha(pixbuf);
    if (!ImageSizeWithinLimits(w, h) || channels != (alpha ? 4 : 3))
        return false;
    const int stride = gdk_pixbuf_get_rowstride(pixbuf);
    const guint8* base = gdk_pixbuf_read_pixels(pixbuf);
    Surface s(w, h);
    uint32_t* dst = s.Pixels();
    for (int y = 0; y < h; ++y) {
        const guint8* p = base + static_cast<size_t>(y) * stride;
        for (int x = 0; x < w; ++x, p += channels) {
            uint32_t r = p[0], g = p[1], b = p[2], a = alpha ? p[3] : 255;
            if (a != 255) {
                r = (r * a + 127) / 255;
                g = (g * a + 127) / 255;
                b = (b * a + 127) / 255;
            }
            *dst++ = (a << 24) | (r << 16) | (g << 8) | b;
        }
    }
    out = std::move(s);
    return true;
}

bool ReadImageDataSize(const uint8_t* data, size_t size, int& width, int& height) {
    ImageFileInfo info;
    if (!ReadImageHeader(data, size, info))
        return false;
    width = info.width;
    height = info.height;
    return true;
}

namespace {

// Skins name the same picture many times over (every key of a keyboard uses one): its header is
// read once while the file stays as it was.
FileCache<ImageFileInfo>& KnownHeaders() {
    static FileCache<ImageFileInfo> cache(64u << 10);
    return cache;
}

}  // namespace

bool ReadImageFileSize(const std::string& path, int& width, int& height) {
    FileStamp stamp;
    const bool stamped = StampFile(path, stamp);
    std::shared_ptr<const ImageFileInfo> known = stamped ? KnownHeaders().Find(stamp) : nullptr;
    if (!known) {
        auto info = std::make_shared<ImageFileInfo>();
        if (!ReadImageHeader(path, *info))
            return false;
        if (stamped)
            KnownHeaders().Insert(stamp, info, sizeof *info);
        known = std::move(info);
    }
    width = known->width;
    height = known->height;
    return true;
}

void FitImageSize(int& width, int& height, int maxWidth, int maxHeight) {
    if (width <= 0 || height <= 0 || maxWidth <= 0 || maxHeight <= 0 ||
        (width <= maxWidth && height <= maxHeight))
        return;
    const double scale = std::min(double(maxWidth) / width, double(maxHeight) / height);
    width = std::max(1, static_cast<int>(width * scale));
    height = std::max(1, static_cast<int>(height * scale));
}

bool LoadImageData(const uint8_t* data, size_t size, Surface& out) {
    return DecodeImageData(data, size, 0, 0, out);
}

bool LoadImageFileFitting(const std::string& path, int maxWidth, int maxHeight, Surface& out) {
    std::vector<uint8_t> bytes;
    if (!ReadWholeFile(path, bytes))
        return false;
    return DecodeImageData(bytes.data(), bytes.size(), maxWidth, maxHeight, out);
}

namespace {

// The decoded pictures of the process, and the workers that decode files asked for ahead.
// Each file is decoded by one thread at a time: another that wants it waits for that result
// instead of decoding it too.
class ImageStore {
public:
    ImageStore() = default;
    ImageStore(const ImageStore&) = delete;
    ImageStore& operator=(const ImageStore&) = delete;
    ~ImageStore() {
        {
            std::lock_guard<std::mutex> lock(m_mutex);
            m_stopping = true;
            m_queue.clear();
        }
        m_wake.notify_all();
        for (std::thread& t : m_workers)
            t.join();
    }

    FileCache<Surface>& Cache() { return m_cache; }

    std::shared_ptr<const Surface> Load(const std::string& path) {
        FileStamp stamp;
        if (StampFile(path, stamp)) {
            std::shared_ptr<const Surface> known = Known(stamp);
            if (!known && WaitWhileDecoding(stamp))
                known = Known(stamp);
            if (known)
                return known;
        }
        return Decode(path);
    }

    void Prefetch(const std::vector<std::string>& paths) {
        {
            std::lock_guard<std::mutex> lock(m_mutex);
            if (m_stopping)
                return;
            for (const std::string& path : paths) {
                if (m_queue.size() >= kMaxQueued)
                    break;
                m_queue.push_back(path);
            }
            const size_t want = std::min(m_queue.size(), WorkerCount());
            while (m_workers.size() < want)
                m_workers.emplace_back([this] { Work(); });
        }
        m_wake.notify_all();
    }

private:
    static constexpr size_t kMaxQueued = 256;

    static size_t WorkerCount() {
        const unsigned cores = std::thread::hardware_concurrency();
        return cores <= 2 ? 1 : std::min<size_t>(3, cores - 1);
    }

    // The picture of the file as it is at `stamp`: kept by the cache, or still held by someone
    // after the cache let it go.
    std::shared_ptr<const Surface> Known(const FileStamp& stamp) {
        if (std::shared_ptr<const Surface> cached = m_cache.Find(stamp))
            return cached;
        std::lock_guard<std::mutex> lock(m_mutex);
        auto it = m_live.find(std::make_pair(stamp.device, stamp.inode));
        if (it == m_live.end() || it->second.stamp != stamp)
            return nullptr;
        return it->second.picture.lock();
    }

    void KeepLive(const FileStamp& stamp, const std::shared_ptr<const Surface>& picture) {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_live[std::make_pair(stamp.device, stamp.inode)] = LiveEntry{stamp, picture};
        if (m_live.size() < 2 * m_liveAfterPrune + 64)
            return;
        for (auto it = m_live.begin(); it != m_live.end();)
            it = it->second.picture.expired() ? m_live.erase(it) : std::next(it);
        m_liveAfterPrune = m_live.size();
    }

    // True after waiting for another thread's decoding of the file.
    bool WaitWhileDecoding(const FileStamp& stamp) {
        std::unique_lock<std::mutex> lock(m_mutex);
        const auto key = std::make_pair(stamp.device, stamp.inode);
        if (!m_decoding.count(key))
            return false;
        m_done.wait(lock, [&] { return !m_decoding.count(key); });
        return true;
    }

    // Reads and decodes the file and keeps the result; null when it is not a picture we read.
    std::shared_ptr<const Surface> Decode(const std::string& path) {
        std::vector<uint8_t> bytes;
        bool stable = false;
        FileStamp stamp;
        if (!ReadWholeFileStamped(path, bytes, stamp, stable))
            return nullptr;
        const auto key = std::make_pair(stamp.device, stamp.inode);
        {
            std::unique_lock<std::mutex> lock(m_mutex);
            m_done.wait(lock, [&] { return !m_decoding.count(key); });
            m_decoding.insert(key);
        }
        // Another thread may have finished this very file while we waited.
        std::shared_ptr<const Surface> result = stable ? Known(stamp) : nullptr;
        if (!result) {
            auto decoded = std::make_shared<Surface>();
            if (LoadImageData(bytes.data(), bytes.size(), *decoded)) {
                if (stable) {
                    const size_t size =
                        static_cast<size_t>(decoded->Width()) * decoded->Height() * 4;
                    m_cache.Insert(stamp, decoded, size);
                    // A file that may still change within its time stamp's tick is not shared.
                    if (StampIsSettled(stamp))
                        KeepLive(stamp, decoded);
                }
                result = std::move(decoded);
            }
        }
        {
            std::lock_guard<std::mutex> lock(m_mutex);
            m_decoding.erase(key);
        }
        m_done.notify_all();
        return result;
    }

    void Work() {
        for (;;) {
            std::string path;
            {
                std::unique_lock<std::mutex> lock(m_mutex);
                m_wake.wait(lock, [&] { return m_stopping || !m_queue.empty(); });
                if (m_stopping)
                    return;
                path = std::move(m_queue.front());
                m_queue.pop_front();
            }
            FileStamp stamp;
            if (!StampFile(path, stamp) || Known(stamp))
                continue;
            Decode(path);
        }
    }

    struct LiveEntry {
        FileStamp stamp;
        std::weak_ptr<const Surface> picture;
    };

    FileCache<Surface> m_cache{kDefaultImageCacheBytes};
    std::map<std::pair<uint64_t, uint64_t>, LiveEntry> m_live;
    size_t m_liveAfterPrune = 0;
    std::mutex m_mutex;
    std::condition_variable m_wake;
    std::condition_variable m_done;
    std::deque<std::string> m_queue;
    std::set<std::pair<uint64_t, uint64_t>> m_decoding;
    std::vector<std::thread> m_workers;
    bool m_stopping = false;
};

ImageStore& Store() {
    static ImageStore store;
    return store;
}

}  // namespace

bool LoadImageFile(const std::string& path, Surface& out) {
    std::shared_ptr<const Surface> picture = Store().Load(path);
    if (!picture)
        return false;
    out = *picture;
    return true;
}

std::shared_ptr<const Surface> LoadImageFileShared(const std::string& path) {
    return Store().Load(path);
}

void PrefetchImageFiles(const std::vector<std::string>& paths) {
    Store().Prefetch(paths);
}

FileCacheStats ImageCacheStats() {
    return Store().Cache().Stats();
}

void SetImageCacheLimit(size_t bytes) {
    Store().Cache().SetLimit(bytes);
}

void ClearImageCache() {
    Store().Cache().Clear();
}

bool EncodeImage(const Surface& image, ImageFormat format, int jpegQuality,
                 std::vector<uint8_t>& out) {
    out.clear();
    if (image.IsEmpty())
        return false;
    const bool alpha = format == ImageFormat::Png;
    GdkPixbuf* pixbuf = ToPixbuf(image, alpha);
    if (!pixbuf)
        return false;
    gchar* buffer = nullptr;
    gsize size = 0;
    gboolean saved = FALSE;
    switch (format) {
        case ImageFormat::Png:
            saved = gdk_pixbuf_save_to_buffer(pixbuf, &buffer, &size, "png", nullptr, nullptr);
            break;
        case ImageFormat::Bmp:
            saved = gdk_pixbuf_save_to_buffer(pixbuf, &buffer, &size, "bmp", nullptr, nullptr);
            break;
        case ImageFormat::Jpeg: {
            const std::string quality = std::to_string(std::clamp(jpegQuality, 1, 100));
            saved = gdk_pixbuf_save_to_buffer(pixbuf, &buffer, &size, "jpeg", nullptr, "quality",
                                              quality.c_str(), nullptr);
            break;
        }
    }
    g_object_unref(pixbuf);
    if (saved && buffer && size > 0)
        out.assign(reinterpret_cast<const uint8_t*>(buffer),
                   reinterpret_cast<const uint8_t*>(buffer) + size);
    g_free(buffer);
    return !out.empty();
}

bool SaveImageFile(const std::string& path, const Surface& image, ImageFormat format,
                   int jpegQuality) {
    std::vector<uint8_t> bytes;
    if (!EncodeImage(image, format, jpegQuality, bytes))
        return false;
    return WriteFileAtomic(path, bytes);
}

}  // namespace plat

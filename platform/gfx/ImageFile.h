// Image files: the replacement of GDI+ image loading and saving.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "platform/gfx/Surface.h"
#include "platform/io/FileCache.h"

namespace plat {

enum class ImageFormat { Png, Jpeg, Bmp };

// Largest picture accepted, so that a lying header cannot ask for gigabytes.
constexpr int kMaxImageSide = 16384;
constexpr int64_t kMaxImagePixels = 64ll << 20;

// PNG, JPEG, BMP (24-bit and palette) and GIF (its first frame), recognised by their first
// bytes whatever the file is called. The pixels are stored as they are: EXIF orientation is
// not applied. False (and `out` untouched) for anything else, a damaged or truncated file, or
// a picture above the limits.
// A file loaded before and unchanged since (same file, size and times) is not decoded again:
// its pixels are copied from the process's cache of decoded pictures.
bool LoadImageFile(const std::string& path, Surface& out);
bool LoadImageData(const uint8_t* data, size_t size, Surface& out);
// The same, but a picture larger than maxWidth x maxHeight is decoded scaled down to fit (its
// proportions kept), which takes a fraction of the time and memory for a camera's photo. Not
// cached.
bool LoadImageFileFitting(const std::string& path, int maxWidth, int maxHeight, Surface& out);

// The same picture shared, not copied: every holder of one file (as it is now) gets the same
// pixels, decoded once. Null when LoadImageFile would fail.
std::shared_ptr<const Surface> LoadImageFileShared(const std::string& path);

// The size the file's header gives, read without decoding: the first bytes of a PNG, GIF or
// BMP, the frame header of a JPEG. False for anything else, or a size above the limits. A
// file that passes may still fail to decode (a cut or damaged body).
bool ReadImageFileSize(const std::string& path, int& width, int& height);
bool ReadImageDataSize(const uint8_t* data, size_t size, int& width, int& height);

// The size a picture of width x height is decoded at by LoadImageFileFitting: unchanged when
// it fits, otherwise scaled down to fit, its proportions kept.
void FitImageSize(int& width, int& height, int maxWidth, int maxHeight);

// Starts decoding these files on worker threads, so that a LoadImageFile of one of them soon
// after finds it decoded (or waits for that decoding instead of doing it again). What cannot
// be read or decoded is left for LoadImageFile to fail on as ever.
void PrefetchImageFiles(const std::vector<std::string>& paths);

// Encodes the picture; JPEG and BMP drop the alpha channel. `jpegQuality` 1..100.
bool EncodeImage(const Surface& image, ImageFormat format, int jpegQuality,
                 std::vector<uint8_t>& out);
// Encodes and replaces the file atomically; false when nothing was written.
bool SaveImageFile(const std::string& path, const Surface& image, ImageFormat format,
                   int jpegQuality = 100);

// The cache of decoded pictures: bounded by their bytes, least recently used out first.
constexpr size_t kDefaultImageCacheBytes = 32u << 20;
FileCacheStats ImageCacheStats();
void SetImageCacheLimit(size_t bytes);
void ClearImageCache();

}  // namespace plat

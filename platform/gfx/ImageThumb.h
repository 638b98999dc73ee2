// Small pictures of large image files: a list cell's thumbnail of a camera's photo is decoded
// at (about) the cell's size, never at the photo's own.
#pragma once

#include <cstddef>
#include <string>
#include <vector>

#include "platform/gfx/ImageHeader.h"
#include "platform/gfx/Surface.h"

namespace plat {

// The stored size of a PNG, JPEG, BMP or GIF file (recognised by its first bytes), read from
// its header alone. False for anything else, an unreadable header, or a size beyond the
// limits of ImageFile.h; whether the rest of the file decodes is found out only by decoding.
bool ReadImageFileInfo(const std::string& path, ImageFileInfo& out);

// The picture of the file reduced to exactly width x height, each at most the stored size
// (proportions are the caller's business). A JPEG is streamed through the decoder and
// decoded at 1/2, 1/4 or 1/8 of its size when that still covers the wanted size, so a
// camera's photo costs a fraction of the time and memory of a whole decode; other types are
// decoded whole first. False, and `out` untouched, for what LoadImageFile refuses (a damaged
// or truncated file, a picture above the limits) or a wanted size outside 1..stored size.
bool LoadImageFileReduced(const std::string& path, int width, int height, Surface& out);

// The picture shrunk to width x height (each 1..its own) by averaging the pixels each new
// pixel covers; a copy when the size is the same. Empty for a size outside that range.
Surface ReduceImage(const Surface& image, int width, int height);

// One reduced decode of a batch.
struct ReducedLoad {
    std::string path;
    int width = 0;
    int height = 0;
    // What the decoder holds at once, for spreading a batch over threads; 0: small.
    size_t decoderBytes = 0;
    Surface picture;  // the result
    bool ok = false;
};

// Runs LoadImageFileReduced for every entry, several at once on short-lived threads (the
// caller's among them) but never more decoders together than fit a memory budget, and
// returns when all are done. Memory the decoders freed is then given back to the system.
void LoadImageFilesReduced(std::vector<ReducedLoad>& batch);

}  // namespace plat

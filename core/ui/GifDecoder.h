// The picture loader for GIF data: decodes the first image of a GIF stream (header, logical
// screen, colour tables, LZW data) into premultiplied ARGB. Every read is checked against the
// data's size; damaged LZW data gives the pixels decoded before the damage.
#pragma once

#include <cstddef>
#include <cstdint>

#include "platform/gfx/Surface.h"

// Pictures larger than this are refused rather than allocated.
constexpr int kGifMaxSide = 4096;
constexpr size_t kGifMaxPixels = size_t(16) << 20;

struct GifImage {
    int screenWidth = 0;  // logical screen of the stream
    int screenHeight = 0;
    int left = 0;  // where the image lies on the logical screen
    int top = 0;
    // The image at its own size; the transparent colour index gives transparent pixels.
    plat::Surface pixels;
};

bool GifDecodeImage(const uint8_t* data, size_t size, GifImage& out);

// What a media file holds, as GStreamer's discoverer reads it back: for tests of files the
// system writes (call recordings).
#pragma once

#include <cstdint>
#include <string>

namespace testsupport {

struct MediaInfo {
    bool ok = false;
    std::string error;
    std::string container;  // caps of the container ("video/x-msvideo")
    std::string audio;      // caps of the first audio stream ("audio/mpeg, mpegversion=1, ...")
    int64_t durationMs = -1;
};

MediaInfo DescribeMedia(const std::string& path);

}  // namespace testsupport

// The paths of the six outside programs that the head unit starts, stored as "AppPath.db".
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#define APP_PATHS_SIZE 3120
#define APP_PATH_CHARS 260
#define APP_PATH_COUNT 6
#define APP_PATHS_DB "AppPath.db"

enum {
    APP_PATH_NAVIGATION = 0,
    APP_PATH_SKYPE = 1,
    APP_PATH_TV = 2,
    APP_PATH_BLUETOOTH = 3,
    APP_PATH_CALIBRATION = 4,
    APP_PATH_APP_1 = 5,
};

// An empty path means "not set".
struct APP_PATHS {
    char16_t szPath[APP_PATH_COUNT][APP_PATH_CHARS];
};
static_assert(sizeof(APP_PATHS) == APP_PATHS_SIZE, "application paths block size");

// Anything but exactly APP_PATHS_SIZE bytes is refused and `out` left as it was; every path
// comes back terminated.
bool ReadAppPathsBlock(const uint8_t* data, size_t size, APP_PATHS& out);
inline bool ReadAppPathsBlock(const std::vector<uint8_t>& data, APP_PATHS& out) {
    return ReadAppPathsBlock(data.data(), data.size(), out);
}
std::vector<uint8_t> WriteAppPathsBlock(const APP_PATHS& paths);

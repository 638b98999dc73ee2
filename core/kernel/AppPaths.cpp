#include "core/kernel/AppPaths.h"

#include "platform/io/Binary.h"

bool ReadAppPathsBlock(const uint8_t* data, size_t size, APP_PATHS& out) {
    if (!data || size != APP_PATHS_SIZE)
        return false;
    APP_PATHS paths{};
    plat::BinReader r(data, size);
    for (auto& path : paths.szPath)
        r.Str16(path, APP_PATH_CHARS);
    if (!r.Ok() || !r.AtEnd())
        return false;
    out = paths;
    return true;
}

std::vector<uint8_t> WriteAppPathsBlock(const APP_PATHS& paths) {
    plat::BinWriter w;
    for (const auto& path : paths.szPath)
        w.Str16(path, APP_PATH_CHARS);
    return std::move(w.Data());
}

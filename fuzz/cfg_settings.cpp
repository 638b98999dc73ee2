// "Settings.db" as it may come off a damaged disk: refused unless whole, made safe when read,
// and written back in the same form.
#include <cstdint>
#include <cstdlib>
#include <vector>

#include "core/CfgData.h"
#include "platform/text/Text.h"

namespace {
void Check(bool ok) {
    if (!ok)
        std::abort();
}
}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    CFG_SETTINGS s{};
    bool read = ReadCfgSettings(data, size, s);
    Check(read == (size == CFG_SETTINGS_SIZE));
    if (!read)
        return 0;
    Check(plat::StrLenN(s.szSkin, CFG_SKIN_CHARS) < CFG_SKIN_CHARS);
    Check(plat::StrLenN(s.szMusicFolder, CFG_FOLDER_CHARS) < CFG_FOLDER_CHARS);
    Check(plat::StrLenN(s.szMovieFolder, CFG_FOLDER_CHARS) < CFG_FOLDER_CHARS);
    Check(plat::StrLenN(s.szPhotoFolder, CFG_FOLDER_CHARS) < CFG_FOLDER_CHARS);
    Check(s.byLanguage <= CFG_LANG_JAPANESE);
    std::vector<uint8_t> bytes = WriteCfgSettings(s);
    Check(bytes.size() == CFG_SETTINGS_SIZE);
    CFG_SETTINGS back{};
    Check(ReadCfgSettings(bytes.data(), bytes.size(), back));
    Check(WriteCfgSettings(back) == bytes);
    return 0;
}

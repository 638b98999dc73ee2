// "Settings.db" as it may come off a damaged disk: refused unless whole, made safe when read,
// and written back in the same form.
#include <cstdint>

#include "core/kernel/CfgData.h"
#include "fuzz/FuzzCheck.h"
#include "platform/text/Text.h"

using fuzz::Check;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    CFG_SETTINGS s{};
    if (!fuzz::CheckStoredBlock(data, size, CFG_SETTINGS_SIZE, s, ReadCfgSettings,
                                WriteCfgSettings))
        return 0;
    Check(plat::StrLenN(s.szSkin, CFG_SKIN_CHARS) < CFG_SKIN_CHARS);
    Check(plat::StrLenN(s.szMusicFolder, CFG_FOLDER_CHARS) < CFG_FOLDER_CHARS);
    Check(plat::StrLenN(s.szMovieFolder, CFG_FOLDER_CHARS) < CFG_FOLDER_CHARS);
    Check(plat::StrLenN(s.szPhotoFolder, CFG_FOLDER_CHARS) < CFG_FOLDER_CHARS);
    Check(s.byLanguage <= CFG_LANG_JAPANESE);
    return 0;
}

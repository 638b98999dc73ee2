// The settings block, the application paths and SysSettings.ini on arbitrary bytes.
#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "core/kernel/AppPaths.h"
#include "core/kernel/SysSettings.h"
#include "core/kernel/Utf16File.h"
#include "fuzz/FuzzCheck.h"
#include "platform/text/Text.h"

using fuzz::Check;

namespace {

void CheckSane(const SYS_SETTINGS& s) {
    Check(s.iAudioLevel >= 0 && s.iAudioLevel <= SYS_VOLUME_MAX);
    Check(s.iLanguage >= 0 && s.iLanguage < SYS_LANGUAGE_COUNT);
    Check(s.iCurrentApp >= 0 && s.iCurrentApp < SYS_APPTYPE_COUNT);
    Check(s.iEQSelect >= 0 && s.iEQSelect < SYS_EQ_PRESETS);
    Check(s.iSpeakerSelect >= 0 && s.iSpeakerSelect < SYS_SPEAKER_PRESETS);
    Check(plat::StrLenN(s.szCurrentMusic, SYS_PATH_CHARS) < SYS_PATH_CHARS);
    Check(plat::StrLenN(s.szInternet[8], SYS_PATH_CHARS) < SYS_PATH_CHARS);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    // As stored files: refused unless whole, and then always sane and stable.
    SYS_SETTINGS s;
    std::memset(&s, 0, sizeof s);
    Check(ReadSettingsBlock(data, size, s) == (data && size == SYS_SETTINGS_SIZE));
    std::vector<uint8_t> block(SYS_SETTINGS_SIZE, 0);
    if (size)
        std::memcpy(block.data(), data, size < block.size() ? size : block.size());
    Check(ReadSettingsBlock(block, s));
    CheckSane(s);
    std::vector<uint8_t> written = WriteSettingsBlock(s);
    Check(written.size() == SYS_SETTINGS_SIZE);
    SYS_SETTINGS again;
    Check(ReadSettingsBlock(written, again));
    Check(WriteSettingsBlock(again) == written);

    APP_PATHS paths;
    std::vector<uint8_t> pathBlock(APP_PATHS_SIZE, 0);
    if (size)
        std::memcpy(pathBlock.data(), data, size < pathBlock.size() ? size : pathBlock.size());
    Check(ReadAppPathsBlock(pathBlock, paths));
    for (const auto& path : paths.szPath)
        Check(plat::StrLenN(path, APP_PATH_CHARS) < APP_PATH_CHARS);
    Check(WriteAppPathsBlock(paths).size() == APP_PATHS_SIZE);

    // As SysSettings.ini text.
    std::u16string text = DecodeUtf16Le(data, size);
    SYS_SETTINGS fromIni;
    SettingsFromIni(text.c_str(), text.size(), fromIni);
    CheckSane(fromIni);
    char16_t value[SYS_PATH_CHARS];
    if (ReadSysIni(u"EQ Settings", text.c_str(), text.size(), u"Bass", value) == 0)
        Check(plat::StrLenN(value, SYS_PATH_CHARS) < SYS_PATH_CHARS);
    return 0;
}

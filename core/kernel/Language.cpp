#include "core/kernel/Language.h"

#include <cstring>
#include <string_view>

#include "core/kernel/Utf16File.h"
#include "platform/text/Text.h"

namespace {

constexpr const char16_t S_APP[] = u"APP_ITEMS";
constexpr const char16_t S_LANG[] = u"LANGUAGES";
constexpr const char16_t S_SYS[] = u"SYSTEM_SET";
constexpr const char16_t S_SOUND[] = u"SOUND_EFFECT";
constexpr const char16_t S_OTHER[] = u"OTHER";
constexpr const char16_t S_ABOUT[] = u"ABOUT";
constexpr const char16_t S_DVD[] = u"DVD";
constexpr const char16_t S_KB[] = u"KB";
constexpr const char16_t S_MSG[] = u"MSG";
constexpr const char16_t S_BT[] = u"BLUETOOTH";
constexpr const char16_t S_SET[] = u"SETTING";
constexpr const char16_t S_RADIO[] = u"RADIO";
constexpr const char16_t S_NET[] = u"INTERNET";
constexpr const char16_t S_DISP[] = u"DISPLAY";

bool IsBlank(char16_t c) {
    return c == u' ' || c == u'\t';
}

bool IsLineEnd(char16_t c) {
    return c == u'\r' || c == u'\n';
}

}  // namespace

// clang-format off
const LANGUAGE_KEY g_LanguageKeys[LANGUAGE_KEY_COUNT] = {
    {MSG_HOMEPAGE, S_APP, u"MSG_HOMEPAGE"}, {MSG_MUSIC, S_APP, u"MSG_MUSIC"},
    {MSG_MOVIE, S_APP, u"MSG_MOVIE"}, {MSG_PHOTO, S_APP, u"MSG_PHOTO"},
    {MSG_AUX, S_APP, u"MSG_AUX"}, {MSG_AUX2, S_APP, u"MSG_AUX2"},
    {MSG_RADIO, S_APP, u"MSG_RADIO"}, {MSG_TV, S_APP, u"MSG_TV"},
    {MSG_WINDOWS, S_APP, u"MSG_WINDOWS"}, {MSG_PHONE, S_APP, u"MSG_PHONE"},
    {MSG_NAVI, S_APP, u"MSG_NAVI"}, {MSG_SKYPE, S_APP, u"MSG_SKYPE"},
    {MSG_SETTING, S_APP, u"MSG_SETTING"}, {MSG_LIGHT_SETTING, S_APP, u"MSG_LIGHT_SETTING"},
    {MSG_LIGHT_AUTO, S_APP, u"MSG_LIGHT_AUTO"}, {MSG_LIGHT_MANU, S_APP, u"MSG_LIGHT_MANU"},
    {MSG_BROWSER, S_APP, u"MSG_BROWSER"}, {MSG_INTERNET_SERVICE, S_APP, u"MSG_INTERNET_SERVICE"},
    {MSG_BACKLIGHT, S_APP, u"MSG_BACKLIGHT"}, {MSG_AUDIO_SET, S_APP, u"MSG_AUDIO_SET"},
    {MSG_DISPLAY_SET, S_APP, u"MSG_DISPLAY_SET"}, {MSG_SYSTEM_SET, S_APP, u"MSG_SYSTEM_SET"},
    {MSG_HOMEPAGE_SET, S_APP, u"MSG_HOMEPAGE_SET"},
    {MSG_APPLICATION_SET, S_APP, u"MSG_APPLICATION_SET"},
    {MSG_APP_1, S_APP, u"MSG_APP_1"}, {MSG_SKIN_SET, S_APP, u"MSG_SKIN_SET"},
    {MSG_TPMS, S_APP, u"MSG_TPMS"}, {MSG_EXPLORER, S_APP, u"MSG_EXPLORER"},
    {MSG_DATETIME_SET, S_APP, u"MSG_DATETIME_SET"}, {MSG_LANG_SET, S_APP, u"MSG_LANG_SET"},
    {MSG_BLUETOOTH, S_APP, u"MSG_BLUETOOTH"}, {MSG_POWER, S_APP, u"MSG_POWER"},
    {MSG_CALIBRATION, S_APP, u"MSG_CALIBRATION"},
    {MSG_LANG_ENG, S_LANG, u"MSG_LANG_ENG"}, {MSG_LANG_ROC, S_LANG, u"MSG_LANG_ROC"},
    {MSG_LANG_PRC, S_LANG, u"MSG_LANG_PRC"}, {MSG_LANG_JAP, S_LANG, u"MSG_LANG_JAP"},
    {MSG_POWERON_PROTECT, S_SYS, u"MSG_POWERON_PROTECT"},
    {MSG_POWEROFF_PROTECT, S_SYS, u"MSG_POWEROFF_PROTECT"},
    {MSG_ACC_HOLD, S_SYS, u"MSG_ACC_HOLD"},
    {MSG_MANUFACTURE_DEFAULT, S_SYS, u"MSG_MANUFACTURE_DEFAULT"},
    {MSG_SOUND_BASS, S_SOUND, u"MSG_SOUND_BASS"}, {MSG_SOUND_JAZZ, S_SOUND, u"MSG_SOUND_JAZZ"},
    {MSG_SOUND_POP, S_SOUND, u"MSG_SOUND_POP"}, {MSG_SOUND_FLAT, S_SOUND, u"MSG_SOUND_FLAT"},
    {MSG_SOUND_ROCK, S_SOUND, u"MSG_SOUND_ROCK"},
    {MSG_SOUND_CUSTOM1, S_SOUND, u"MSG_SOUND_CUSTOM1"},
    {MSG_SOUND_CUSTOM2, S_SOUND, u"MSG_SOUND_CUSTOM2"},
    {MSG_SOUND_CUSTOM3, S_SOUND, u"MSG_SOUND_CUSTOM3"},
    {MSG_SOUND_NORMAL, S_SOUND, u"MSG_SOUND_NORMAL"},
    {MSG_SOUND_DRIVER, S_SOUND, u"MSG_SOUND_DRIVER"},
    {MSG_SOUND_FRONT, S_SOUND, u"MSG_SOUND_FRONT"}, {MSG_SOUND_REAR, S_SOUND, u"MSG_SOUND_REAR"},
    {MSG_SOUND_LOW_BOOST, S_SOUND, u"MSG_SOUND_LOW_BOOST"},
    {MSG_SOUND_HIGH_BOOST, S_SOUND, u"MSG_SOUND_HIGH_BOOST"},
    {MSG_AM, S_OTHER, u"MSG_AM"}, {MSG_PM, S_OTHER, u"MSG_PM"},
    {MSG_WARNING_DELETE, S_OTHER, u"MSG_WARNING_DELETE"},
    {MSG_APP_TOUCHPANEL, S_OTHER, u"MSG_APP_TOUCHPANEL"},
    {MSG_APP_OTHER, S_OTHER, u"MSG_APP_OTHER"}, {MSG_PATH_EMPTY, S_OTHER, u"MSG_PATH_EMPTY"},
    {MSG_ABOUT, S_ABOUT, u"MSG_ABOUT"}, {MSG_VELKORA_VER, S_ABOUT, u"MSG_VELKORA_VER"},
    {MSG_FIRMWARE_VER, S_ABOUT, u"MSG_FIRMWARE_VER"}, {MSG_AD060_VER, S_ABOUT, u"MSG_AD060_VER"},
    {MSG_POWERMODULE_VER, S_ABOUT, u"MSG_POWERMODULE_VER"},
    {MSG_DVD_AUDIO, S_DVD, u"MSG_DVD_AUDIO"}, {MSG_DVD_SUBPICTURE, S_DVD, u"MSG_DVD_SUBPICTURE"},
    {MSG_DVD_ROOT_MENU, S_DVD, u"MSG_DVD_ROOT_MENU"},
    {MSG_DVD_NO_SUBPICTURE, S_DVD, u"MSG_DVD_NO_SUBPICTURE"},
    {MSG_DVD_ROOT_MENU_ENTER, S_DVD, u"MSG_DVD_ROOT_MENU_ENTER"},
    {MSG_DVD_PLAY_BEGIN, S_DVD, u"MSG_DVD_PLAY_BEGIN"},
    {MSG_DVD_PLAY_CONTINUE, S_DVD, u"MSG_DVD_PLAY_CONTINUE"},
    {MSG_DVD_INCOMPATIBLE_AUDIO, S_DVD, u"MSG_DVD_INCOMPATIBLE_AUDIO"},
    {MSG_KB_EDIT_PLAYLIST_NAME, S_KB, u"MSG_KB_EDIT_PLAYLIST_NAME"},
    {MSG_KB_PHONEBOOK_NAME, S_KB, u"MSG_KB_PHONEBOOK_NAME"},
    {MSG_KB_PHONEBOOK_NUMBER, S_KB, u"MSG_KB_PHONEBOOK_NUMBER"},
    {MSG_MSG_STARTING, S_MSG, u"MSG_MSG_STARTING"},
    {MSG_MSG_SAVE_DONE, S_MSG, u"MSG_MSG_SAVE_DONE"},
    {MSG_MSG_UNKNOWN, S_MSG, u"MSG_MSG_UNKNOWN"},
    {MSG_MSG_PHONEENTRY_EMPTY, S_MSG, u"MSG_MSG_PHONEENTRY_EMPTY"},
    {MSG_MSG_DISPLAY1, S_MSG, u"MSG_MSG_DISPLAY1"}, {MSG_MSG_DISPLAY2, S_MSG, u"MSG_MSG_DISPLAY2"},
    {MSG_MSG_LOCK, S_MSG, u"MSG_MSG_LOCK"},
    {MSG_MSG_SKYPE_PENDING, S_MSG, u"MSG_MSG_SKYPE_PENDING"},
    {MSG_BT_NODEVICE, S_BT, u"MSG_BT_NODEVICE"}, {MSG_BT_UNPAIRED, S_BT, u"MSG_BT_UNPAIRED"},
    {MSG_BT_CONNECTED, S_BT, u"MSG_BT_CONNECTED"},
    {MSG_BT_DISCONNECTED, S_BT, u"MSG_BT_DISCONNECTED"},
    {MSG_BT_NEED_PAIR, S_BT, u"MSG_BT_NEED_PAIR"}, {MSG_BT_CALLING, S_BT, u"MSG_BT_CALLING"},
    {MSG_BT_NEW_MESSAGE, S_BT, u"MSG_BT_NEW_MESSAGE"},
    {MSG_BT_CONNECT_FAIL, S_BT, u"MSG_BT_CONNECT_FAIL"},
    {MSG_BT_CALLING_NUMBER, S_BT, u"MSG_BT_CALLING_NUMBER"},
    {MSG_BT_DISCONNECT_DEVICE, S_BT, u"MSG_BT_DISCONNECT_DEVICE"},
    {MSG_BT_SEARCHING, S_BT, u"MSG_BT_SEARCHING"}, {MSG_BT_CONNECTING, S_BT, u"MSG_BT_CONNECTING"},
    {MSG_SETTING_SOUND, S_SET, u"MSG_SETTING_SOUND"},
    {MSG_SETTING_DISPLAY, S_SET, u"MSG_SETTING_DISPLAY"},
    {MSG_SETTING_MISC, S_SET, u"MSG_SETTING_MISC"},
    {MSG_SETTING_LAYOUT, S_SET, u"MSG_SETTING_LAYOUT"},
    {MSG_SETTING_APP, S_SET, u"MSG_SETTING_APP"}, {MSG_SETTING_DUAL, S_SET, u"MSG_SETTING_DUAL"},
    {MSG_SETTING_INFO, S_SET, u"MSG_SETTING_INFO"},
    {MSG_RADIO_SAVE_INFO, S_RADIO, u"MSG_RADIO_SAVE_INFO"},
    {MSG_RADIO_AS_INFO, S_RADIO, u"MSG_RADIO_AS_INFO"},
    {MSG_INTERNET_WEB, S_NET, u"MSG_INTERNET_WEB"},
    {MSG_DISPLAY_DAY, S_DISP, u"MSG_DISPLAY_DAY"}, {MSG_DISPLAY_NIGHT, S_DISP, u"MSG_DISPLAY_NIGHT"},
    {MSG_DISPLAY_MODE, S_DISP, u"MSG_DISPLAY_MODE"}, {MSG_DISPLAY_AUTO, S_DISP, u"MSG_DISPLAY_AUTO"},
    {MSG_DISPLAY_MANUAL, S_DISP, u"MSG_DISPLAY_MANUAL"},
};
// clang-format on

const char* LanguageFileName(int language) {
    static const char* const names[] = {"english.ini", "roc.ini", "prc.ini", "japanese.ini"};
    if (language < 0 || language >= static_cast<int>(sizeof names / sizeof names[0]))
        return nullptr;
    return names[language];
}

bool FindLangEntry(std::u16string_view text, const char16_t* section, const char16_t* key,
                   char16_t (&out)[LANGUAGE_ENTRY_CHARS]) {
    std::memset(out, 0, sizeof out);
    if (!section || !key)
        return false;
    std::u16string header = u"[";
    header += section;
    header += u"]";
    const std::u16string_view keyView(key);

    bool inSection = false;
    size_t pos = 0;
    while (pos < text.size()) {
        size_t end = pos;
        while (end < text.size() && !IsLineEnd(text[end]))
            ++end;
        std::u16string_view row = text.substr(pos, end - pos);
        pos = end + 1;
        while (!row.empty() && IsBlank(row.front()))
            row.remove_prefix(1);
        std::u16string_view trimmed = row;
        while (!trimmed.empty() && IsBlank(trimmed.back()))
            trimmed.remove_suffix(1);
        if (!inSection) {
            inSection = trimmed == header;
            continue;
        }
        if (!row.empty() && row.front() == u'[')
            break;  // the next section: a key standing only there is not this section's
        if (row.empty() || row.front() == u';')
            continue;
        size_t eq = row.find(u'=');
        if (eq == std::u16string_view::npos)
            continue;
        // The whole name must match: MSG_AUX is not the start of MSG_AUX2's row.
        std::u16string_view name = row.substr(0, eq);
        while (!name.empty() && IsBlank(name.back()))
            name.remove_suffix(1);
        if (name != keyView)
            continue;
        // "KEY=Text" keeps its first letter: only "=" and the blanks after it are skipped.
        std::u16string_view value = row.substr(eq + 1);
        while (!value.empty() && IsBlank(value.front()))
            value.remove_prefix(1);
        size_t semicolon = value.find(u';');
        if (semicolon != std::u16string_view::npos)
            value = value.substr(0, semicolon);
        plat::StrCopy(out, value);
        return true;
    }
    return false;
}

void ReadLangEntry(const char16_t* section, const std::string& path, const char16_t* key,
                   char16_t (&out)[LANGUAGE_ENTRY_CHARS]) {
    std::memset(out, 0, sizeof out);
    std::u16string text;
    if (!ReadUtf16File(path, text))
        return;
    FindLangEntry(text, section, key, out);
}

void FillLanguageTable(std::u16string_view text, LANGUAGE_TABLE& table) {
    std::memset(table, 0, sizeof table);
    for (const LANGUAGE_KEY& k : g_LanguageKeys)
        FindLangEntry(text, k.section, k.key, table[k.index]);
}

#include "library/utility/IniReader.h"

#include <cstring>
#include <string>
#include <string_view>
#include <vector>

#include "platform/io/File.h"
#include "platform/io/Path.h"
#include "platform/text/Text.h"

namespace KvUtility {

namespace {

void ClearOut(char16_t* out, int outChars) {
    std::memset(out, 0, static_cast<size_t>(outChars) * sizeof(char16_t));
}

bool IsBlank(char16_t c) {
    return c == u' ' || c == u'\t';
}

// Collects the kept rows of the section whose header is found in `text` (modified in place).
bool CollectRows(std::u16string& text, std::u16string_view header,
                 std::vector<std::u16string_view>& rows) {
    size_t found = text.find(header);
    if (found == std::u16string::npos)
        return false;
    size_t cur = text.find(u']', found);
    if (cur == std::u16string::npos)
        return false;
    const size_t len = text.size();
    size_t lineStart = cur;
    while (cur < len) {
        char16_t c = text[cur];
        if (c != 13 && c != 10) {
            ++cur;
            continue;
        }
        text[cur] = 0;
        size_t s = lineStart;
        while (s < cur && IsBlank(text[s]))
            ++s;
        std::u16string_view line(text.data() + s, cur - s);
        if (!line.empty() && line[0] != u';') {
            if (line.find(u'[') != std::u16string_view::npos)
                break;
            rows.push_back(line);
        }
        // The line end is taken as two characters: CR and the LF after it.
        cur += 2;
        lineStart = cur;
    }
    return true;
}

RZRESULT LookUp(std::u16string& text, const char16_t* section, const char16_t* key, char16_t* out,
                int outChars) {
    std::u16string header = u"[";
    header += section;
    header += u"]";
    std::vector<std::u16string_view> rows;
    if (!CollectRows(text, header, rows))
        return RZ_FAIL;
    if (!key)
        return RZ_FAIL;
    const std::u16string_view wanted(key);
    for (std::u16string_view row : rows) {
        size_t eq = row.find(u'=');
        if (eq == std::u16string_view::npos)
            continue;
        std::u16string_view name = row.substr(0, eq);
        while (!name.empty() && (name.back() == u'=' || name.back() == u' '))
            name.remove_suffix(1);
        if (name != wanted)
            continue;
        std::u16string_view value = row.substr(eq + 1);
        while (!value.empty() && (value.front() == u'=' || value.front() == u' '))
            value.remove_prefix(1);
        size_t semi = value.find(u';');
        if (semi != std::u16string_view::npos)
            value = value.substr(0, semi);
        while (!value.empty() && IsBlank(value.back()))
            value.remove_suffix(1);
        while (!value.empty() && (value.back() == 13 || value.back() == 10))
            value.remove_suffix(1);
        ClearOut(out, outChars);
        plat::StrCopy(out, static_cast<size_t>(outChars), value);
        return RZ_OK;
    }
    return RZ_OK;
}

// Splits at ", " and gives field `index` (from 1); false when the line has fewer fields.
bool FindField(std::u16string_view line, int index, std::u16string_view& field) {
    size_t start = 0;
    for (int i = 1;; ++i) {
        size_t sep = line.find(u", ", start);
        size_t end = sep == std::u16string_view::npos ? line.size() : sep;
        if (i == index) {
            field = line.substr(start, end - start);
            return true;
        }
        if (sep == std::u16string_view::npos)
            return false;
        start = sep + 2;
    }
}

}  // namespace

RZRESULT IniGetStringFromText(const char16_t* text, const char16_t* section, const char16_t* key,
                              char16_t* out, int outChars) {
    if (!text || !section || !out || outChars <= 0)
        return RZ_FAIL;
    out[0] = 0;
    std::u16string copy(text);
    return LookUp(copy, section, key, out, outChars);
}

RZRESULT IniGetString(const char16_t* file, const char16_t* section, const char16_t* key,
                      char16_t* out, int outChars) {
    if (!file || !section || !out || outChars <= 0)
        return RZ_FAIL;
    out[0] = 0;
    // Reading needs no write access.
    std::vector<uint8_t> bytes;
    if (!plat::ReadWholeFile(plat::NativePath(file), bytes))
        return RZ_FAIL;
    std::u16string text(bytes.size() / 2, u'\0');
    for (size_t i = 0; i < text.size(); ++i)
        text[i] = static_cast<char16_t>(bytes[2 * i] | (bytes[2 * i + 1] << 8));
    // The text ends at its first terminator, as a C string would.
    size_t nul = text.find(u'\0');
    if (nul != std::u16string::npos)
        text.resize(nul);
    return LookUp(text, section, key, out, outChars);
}

RZRESULT IniGetFieldInt(const char16_t* line, int index, int* out) {
    if (out)
        *out = 0;
    if (index < 1 || !line || !*line)
        return RZ_NONE;
    if (!out)
        return RZ_FAIL;
    std::u16string_view field;
    if (!FindField(line, index, field))
        return RZ_FAIL;
    *out = plat::StrToInt(std::u16string(field).c_str());
    return RZ_OK;
}

RZRESULT IniGetFieldString(const char16_t* line, int index, char16_t* out, int outChars) {
    if (index < 1)
        return RZ_NONE;
    if (!out || outChars <= 0)
        return RZ_FAIL;
    ClearOut(out, outChars);
    if (!line)
        return RZ_NONE;
    std::u16string_view field;
    if (!FindField(line, index, field))
        return RZ_FAIL;
    plat::StrCopy(out, static_cast<size_t>(outChars), field);
    return RZ_OK;
}

}  // namespace KvUtility

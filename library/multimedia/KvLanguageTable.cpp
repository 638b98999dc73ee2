#include "library/multimedia/KvLanguageTable.h"

#include <cstring>

#include "platform/text/Text.h"

namespace KvMultimedia {

const CKvLanguageTable::Row CKvLanguageTable::s_rows[10] = {
    {1031, "de", u"German"},  {1033, "en", u"English"},    {1034, "es", u"Spanish"},
    {1036, "fr", u"French"},  {1041, "ja", u"Japanese"},   {1042, "ko", u"Korean"},
    {1043, "nl", u"Dutch"},   {2070, "pt", u"Portuguese"}, {1053, "sv", u"Swedish"},
    {2052, "zh", u"Chinese"},
};

namespace {

bool Give(const char16_t* name, char16_t* out, int outChars) {
    if (out && outChars > 0)
        plat::StrCopy(out, static_cast<size_t>(outChars), name);
    return true;
}

}  // namespace

bool CKvLanguageTable::GetName(uint32_t lcid, char16_t* out, int outChars) const {
    for (const Row& row : s_rows) {
        if (row.lcid == lcid)
            return Give(row.name, out, outChars);
    }
    Give(u"Unknown", out, outChars);
    return false;
}

bool CKvLanguageTable::GetName(const char* code, char16_t* out, int outChars) const {
    for (const Row& row : s_rows) {
        if (code && std::strcmp(row.code, code) == 0)
            return Give(row.name, out, outChars);
    }
    Give(u"Unknown", out, outChars);
    return false;
}

uint32_t FillStreamNames(const std::vector<std::u16string>& names,
                         char16_t (*rows)[KV_STREAM_NAME_CHARS]) {
    uint32_t filled = 0;
    for (const auto& name : names) {
        if (filled >= static_cast<uint32_t>(KV_MAX_STREAMS))
            break;
        if (rows)
            plat::StrCopy(rows[filled], KV_STREAM_NAME_CHARS, name);
        ++filled;
    }
    return filled;
}

}  // namespace KvMultimedia

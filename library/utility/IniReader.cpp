#include "library/utility/IniReader.h"

#include <algorithm>
#include <atomic>
#include <cstring>
#include <memory>
#include <mutex>
#include <string>
#include <string_view>
#include <unordered_map>
#include <utility>
#include <vector>

#include "platform/gfx/ImageFile.h"
#include "platform/io/FileCache.h"
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

// Collects the kept rows of the section whose header is found in `text`.
bool CollectRows(std::u16string_view text, std::u16string_view header,
                 std::vector<std::u16string_view>& rows) {
    size_t found = text.find(header);
    if (found == std::u16string_view::npos)
        return false;
    size_t cur = text.find(u']', found);
    if (cur == std::u16string_view::npos)
        return false;
    const size_t len = text.size();
    size_t lineStart = cur;
    while (cur < len) {
        char16_t c = text[cur];
        if (c != 13 && c != 10) {
            ++cur;
            continue;
        }
        size_t s = lineStart;
        while (s < cur && IsBlank(text[s]))
            ++s;
        std::u16string_view line = text.substr(s, cur - s);
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

std::u16string Header(const char16_t* section) {
    std::u16string header = u"[";
    header += section;
    header += u"]";
    return header;
}

// The value of `key` among a section's rows.
RZRESULT FindInRows(const std::vector<std::u16string_view>& rows, const char16_t* key,
                    char16_t* out, int outChars) {
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

// A skin file's decoded text, and the rows of the sections looked up in it so far: the pages
// ask for one key at a time, many keys of one section.
class IniText {
public:
    explicit IniText(std::u16string text) : m_text(std::move(text)) {}
    IniText(const IniText&) = delete;
    IniText& operator=(const IniText&) = delete;

    // What the cache counts for it: the text and at most as much again for the rows kept.
    size_t Bytes() const { return 2 * m_text.size() * sizeof(char16_t) + sizeof(*this); }

    // The rows of the section under `header`; null when the header is not in the text.
    std::shared_ptr<const std::vector<std::u16string_view>> Rows(
        const std::u16string& header) const {
        {
            std::lock_guard<std::mutex> lock(m_mutex);
            auto it = m_sections.find(header);
            if (it != m_sections.end())
                return it->second;
        }
        auto rows = std::make_shared<std::vector<std::u16string_view>>();
        std::shared_ptr<const std::vector<std::u16string_view>> found;
        if (CollectRows(m_text, header, *rows))
            found = std::move(rows);
        const size_t cost = header.size() * sizeof(char16_t) +
                            (found ? found->size() * sizeof(std::u16string_view) : 0) + 64;
        std::lock_guard<std::mutex> lock(m_mutex);
        if (m_keptBytes + cost <= m_text.size() * sizeof(char16_t) &&
            m_sections.emplace(header, found).second)
            m_keptBytes += cost;
        return found;
    }

private:
    const std::u16string m_text;
    mutable std::mutex m_mutex;
    mutable std::unordered_map<std::u16string,
                               std::shared_ptr<const std::vector<std::u16string_view>>>
        m_sections;
    mutable size_t m_keptBytes = 0;
};

bool IsNameChar(char16_t c) {
    return c > u' ' && c != u'=' && c != u',' && c != u';' && c != u'"' && c != u'[' && c != u']';
}

// Pictures decoded ahead in the process's life: those of the first skin file read, the
// homepage's, which both seats show first. Every other picture is decoded when it is first
// drawn, so that pages nobody opens cost neither time nor memory.
constexpr int kPrefetchedPictures = 32;
std::atomic<int> g_prefetchLeft{kPrefetchedPictures};

// A skin file names the pictures beside it that its page loads next, one key at a time:
// decoding them starts at once on other cores. Plain file names only.
void PrefetchNamedImages(const std::string& path, std::u16string_view text) {
    if (g_prefetchLeft.load() <= 0)
        return;
    static const char16_t* const kTypes[] = {u".png", u".bmp", u".jpg", u".jpeg", u".gif"};
    const std::string dir = plat::DirName(path);
    std::vector<std::string> files;
    size_t pos = 0;
    const size_t most = static_cast<size_t>(std::max(0, g_prefetchLeft.load()));
    while (files.size() < most && (pos = text.find(u'.', pos)) != std::u16string_view::npos) {
        const size_t dot = pos;
        size_t end = dot + 1;
        while (end < text.size() && IsNameChar(text[end]))
            ++end;
        size_t begin = dot;
        while (begin > 0 && IsNameChar(text[begin - 1]))
            --begin;
        pos = end;
        const std::u16string_view ext = text.substr(dot, end - dot);
        bool picture = false;
        for (const char16_t* type : kTypes)
            picture = picture || plat::StrCmpNoCase(ext, type) == 0;
        const std::u16string_view name = text.substr(begin, end - begin);
        if (!picture || begin == dot || name.find(u'/') != name.npos ||
            name.find(u'\\') != name.npos)
            continue;
        std::string file = plat::JoinPath(dir, plat::Utf16ToUtf8(name));
        if (std::find(files.begin(), files.end(), file) == files.end())
            files.push_back(std::move(file));
    }
    if (files.empty())
        return;
    g_prefetchLeft -= static_cast<int>(files.size());
    plat::PrefetchImageFiles(files);
}

plat::FileCache<IniText>& FileTexts() {
    static plat::FileCache<IniText> cache(kDefaultIniCacheBytes);
    return cache;
}

// The decoded text of a skin file named by a stored path; one file is read again only once it
// has changed. Skins ask for thousands of values at start-up: the path as stored is tried
// before its case is matched, which it would come out of unchanged whenever it names a file.
std::shared_ptr<const IniText> FileText(const char16_t* name) {
    plat::FileCache<IniText>& cache = FileTexts();
    std::string path = plat::UnresolvedNativePath(name);
    plat::FileStamp stamp;
    bool stamped = plat::StampFile(path, stamp);
    if (!stamped) {
        path = plat::ResolvePath(path);
        stamped = plat::StampFile(path, stamp);
    }
    if (stamped) {
        if (std::shared_ptr<const IniText> known = cache.Find(stamp))
            return known;
    }
    // Reading needs no write access.
    std::vector<uint8_t> bytes;
    bool stable = false;
    if (!plat::ReadWholeFileStamped(path, bytes, stamp, stable))
        return nullptr;
    std::u16string text(bytes.size() / 2, u'\0');
    for (size_t i = 0; i < text.size(); ++i)
        text[i] = static_cast<char16_t>(bytes[2 * i] | (bytes[2 * i + 1] << 8));
    // The text ends at its first terminator, as a C string would.
    size_t nul = text.find(u'\0');
    if (nul != std::u16string::npos)
        text.resize(nul);
    PrefetchNamedImages(path, text);
    auto file = std::make_shared<const IniText>(std::move(text));
    if (stable)
        cache.Insert(stamp, file, file->Bytes());
    return file;
}

}  // namespace

RZRESULT IniGetStringFromText(const char16_t* text, const char16_t* section, const char16_t* key,
                              char16_t* out, int outChars) {
    if (!text || !section || !out || outChars <= 0)
        return RZ_FAIL;
    out[0] = 0;
    std::vector<std::u16string_view> rows;
    if (!CollectRows(text, Header(section), rows))
        return RZ_FAIL;
    return FindInRows(rows, key, out, outChars);
}

RZRESULT IniGetString(const char16_t* file, const char16_t* section, const char16_t* key,
                      char16_t* out, int outChars) {
    if (!file || !section || !out || outChars <= 0)
        return RZ_FAIL;
    out[0] = 0;
    std::shared_ptr<const IniText> text = FileText(file);
    if (!text)
        return RZ_FAIL;
    std::shared_ptr<const std::vector<std::u16string_view>> rows = text->Rows(Header(section));
    if (!rows)
        return RZ_FAIL;
    return FindInRows(*rows, key, out, outChars);
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

plat::FileCacheStats IniCacheStats() {
    return FileTexts().Stats();
}

void SetIniCacheLimit(size_t bytes) {
    FileTexts().SetLimit(bytes);
}

void ClearIniCache() {
    FileTexts().Clear();
}

}  // namespace KvUtility

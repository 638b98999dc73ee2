#include "platform/io/KeyValueStore.h"

#include <cstdio>

#include "platform/io/File.h"
#include "platform/text/Text.h"

namespace plat {

namespace {

// Status files are tiny; anything bigger is not ours.
constexpr size_t kMaxFileBytes = 1u << 20;

char Lower(char c) {
    return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
}

std::string Trim(const std::string& s) {
    size_t b = 0, e = s.size();
    while (b < e && (s[b] == ' ' || s[b] == '\t'))
        ++b;
    while (e > b && (s[e - 1] == ' ' || s[e - 1] == '\t' || s[e - 1] == '\r'))
        --e;
    return s.substr(b, e - b);
}

bool ValidKey(const std::string& key) {
    if (key.empty())
        return false;
    for (char c : key) {
        if (c == '[' || c == ']' || static_cast<unsigned char>(c) < 0x20)
            return false;
    }
    return Trim(key) == key;
}

bool ValidName(const std::string& name) {
    if (name.empty() || name[0] == ';' || name[0] == '#' || name[0] == '[')
        return false;
    for (char c : name) {
        if (c == '=' || static_cast<unsigned char>(c) < 0x20)
            return false;
    }
    return Trim(name) == name;
}

std::string Escape(const std::u16string& text) {
    std::string utf8 = Utf16ToUtf8(text);
    std::string out;
    out.reserve(utf8.size() + 2);
    for (char c : utf8) {
        auto u = static_cast<unsigned char>(c);
        switch (c) {
            case '\\':
                out += "\\\\";
                break;
            case '"':
                out += "\\\"";
                break;
            case '\n':
                out += "\\n";
                break;
            case '\r':
                out += "\\r";
                break;
            case '\t':
                out += "\\t";
                break;
            default:
                if (u < 0x20 || u == 0x7F) {
                    char buf[8];
                    std::snprintf(buf, sizeof buf, "\\x%02X", u);
                    out += buf;
                } else {
                    out += c;
                }
        }
    }
    return out;
}

int HexDigit(char c) {
    if (c >= '0' && c <= '9')
        return c - '0';
    c = Lower(c);
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    return -1;
}

// `s` starts after the opening quote; the closing quote must end it.
bool Unescape(const std::string& s, std::u16string* out) {
    std::string utf8;
    size_t i = 0;
    for (; i < s.size(); ++i) {
        char c = s[i];
        if (c == '"')
            break;
        if (c != '\\') {
            utf8 += c;
            continue;
        }
        if (++i >= s.size())
            return false;
        switch (s[i]) {
            case '\\':
                utf8 += '\\';
                break;
            case '"':
                utf8 += '"';
                break;
            case 'n':
                utf8 += '\n';
                break;
            case 'r':
                utf8 += '\r';
                break;
            case 't':
                utf8 += '\t';
                break;
            case 'x': {
                if (i + 2 >= s.size())
                    return false;
                int hi = HexDigit(s[i + 1]), lo = HexDigit(s[i + 2]);
                if (hi < 0 || lo < 0)
                    return false;
                utf8 += static_cast<char>(hi * 16 + lo);
                i += 2;
                break;
            }
            default:
                return false;
        }
    }
    if (i >= s.size() || Trim(s.substr(i + 1)) != "")
        return false;
    *out = Utf8ToUtf16(utf8);
    return true;
}

bool ParseValue(const std::string& text, KeyValueStore::Value* out) {
    if (text.compare(0, 6, "dword:") == 0) {
        std::string digits = Trim(text.substr(6));
        if (digits.empty() || digits.size() > 8)
            return false;
        uint32_t v = 0;
        for (char c : digits) {
            int d = HexDigit(c);
            if (d < 0)
                return false;
            v = v * 16 + static_cast<uint32_t>(d);
        }
        out->isText = false;
        out->number = v;
        out->text.clear();
        return true;
    }
    if (text.compare(0, 4, "sz:\"") == 0) {
        out->isText = true;
        out->number = 0;
        return Unescape(text.substr(4), &out->text);
    }
    return false;
}

}  // namespace

bool KeyValueStore::NoCase::operator()(const std::string& a, const std::string& b) const {
    size_t n = a.size() < b.size() ? a.size() : b.size();
    for (size_t i = 0; i < n; ++i) {
        char x = Lower(a[i]), y = Lower(b[i]);
        if (x != y)
            return static_cast<unsigned char>(x) < static_cast<unsigned char>(y);
    }
    return a.size() < b.size();
}

bool KeyValueStore::Open(const std::string& path) {
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_path = path;
        m_keys.clear();
        m_bDirty = false;
        m_onDisk.clear();
        m_bOnDiskKnown = false;
    }
    if (!PathExists(path)) {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_bOnDiskKnown = true;  // no file says the same as an empty store
        return true;
    }
    std::vector<uint8_t> bytes;
    if (!ReadWholeFile(path, bytes, kMaxFileBytes)) {
        // Whatever is there is replaced by the next change.
        std::lock_guard<std::mutex> lock(m_mutex);
        m_bDirty = true;
        return false;
    }
    std::string text(bytes.begin(), bytes.end());
    Parse(text);
    std::lock_guard<std::mutex> lock(m_mutex);
    m_onDisk = std::move(text);
    m_bOnDiskKnown = true;
    return true;
}

int KeyValueStore::Parse(const std::string& text) {
    std::map<std::string, Values, NoCase> keys;
    int dropped = 0;
    Values* current = nullptr;
    size_t pos = 0;
    while (pos < text.size()) {
        size_t end = text.find('\n', pos);
        if (end == std::string::npos)
            end = text.size();
        std::string line = Trim(text.substr(pos, end - pos));
        pos = end + 1;
        if (line.empty() || line[0] == ';' || line[0] == '#')
            continue;
        if (line[0] == '[') {
            size_t close = line.find(']');
            std::string key = close == std::string::npos ? "" : line.substr(1, close - 1);
            if (ValidKey(key) && Trim(line.substr(close + 1)).empty()) {
                current = &keys[key];
            } else {
                current = nullptr;
                ++dropped;
            }
            continue;
        }
        size_t eq = line.find('=');
        Value value;
        if (!current || eq == std::string::npos) {
            ++dropped;
            continue;
        }
        std::string name = Trim(line.substr(0, eq));
        if (!ValidName(name) || !ParseValue(Trim(line.substr(eq + 1)), &value)) {
            ++dropped;
            continue;
        }
        (*current)[name] = value;
    }
    std::lock_guard<std::mutex> lock(m_mutex);
    m_keys.swap(keys);
    return dropped;
}

std::string KeyValueStore::Serialize() const {
    std::string out;
    for (const auto& [key, values] : m_keys) {
        if (values.empty())
            continue;
        if (!out.empty())
            out += '\n';
        out += '[' + key + "]\n";
        for (const auto& [name, value] : values) {
            out += name + " = ";
            if (value.isText) {
                out += "sz:\"" + Escape(value.text) + "\"\n";
            } else {
                char buf[16];
                std::snprintf(buf, sizeof buf, "dword:%08X\n", value.number);
                out += buf;
            }
        }
    }
    return out;
}

bool KeyValueStore::WriteLocked() {
    return m_iHolds > 0 ? !m_path.empty() : WriteNowLocked();
}

bool KeyValueStore::WriteNowLocked() {
    if (m_path.empty())
        return false;
    std::string text = Serialize();
    if (m_bOnDiskKnown && text == m_onDisk) {
        m_bDirty = false;
        return true;
    }
    if (!WriteFileAtomic(m_path, text.data(), text.size(), Durability::ReadersOnly)) {
        m_bOnDiskKnown = false;  // the old file, or none
        return false;
    }
    m_onDisk = std::move(text);
    m_bOnDiskKnown = true;
    m_bDirty = false;
    return true;
}

void KeyValueStore::Hold() {
    std::lock_guard<std::mutex> lock(m_mutex);
    ++m_iHolds;
}

void KeyValueStore::Release() {
    std::lock_guard<std::mutex> lock(m_mutex);
    if (m_iHolds > 0)
        --m_iHolds;
    if (m_bDirty)
        WriteNowLocked();
}

bool KeyValueStore::Set(const std::string& key, const std::string& name, const Value& value) {
    if (!ValidKey(key) || !ValidName(name))
        return false;
    std::lock_guard<std::mutex> lock(m_mutex);
    Values& values = m_keys[key];
    auto it = values.find(name);
    if (it != values.end() && it->second == value && !m_bDirty)
        return true;  // nothing changed: the file already says this
    values[name] = value;
    m_bDirty = true;
    return WriteLocked();
}

bool KeyValueStore::SetDword(const std::string& key, const std::string& name, uint32_t value) {
    Value v;
    v.number = value;
    return Set(key, name, v);
}

bool KeyValueStore::SetString(const std::string& key, const std::string& name,
                              const std::u16string& text) {
    Value v;
    v.isText = true;
    v.text = text;
    return Set(key, name, v);
}

bool KeyValueStore::Remove(const std::string& key, const std::string& name) {
    std::lock_guard<std::mutex> lock(m_mutex);
    auto k = m_keys.find(key);
    if (k == m_keys.end() || k->second.erase(name) == 0)
        return true;
    m_bDirty = true;
    return WriteLocked();
}

bool KeyValueStore::GetDword(const std::string& key, const std::string& name, uint32_t* out) const {
    std::lock_guard<std::mutex> lock(m_mutex);
    auto k = m_keys.find(key);
    if (k == m_keys.end())
        return false;
    auto v = k->second.find(name);
    if (v == k->second.end() || v->second.isText)
        return false;
    if (out)
        *out = v->second.number;
    return true;
}

bool KeyValueStore::GetString(const std::string& key, const std::string& name,
                              std::u16string* out) const {
    std::lock_guard<std::mutex> lock(m_mutex);
    auto k = m_keys.find(key);
    if (k == m_keys.end())
        return false;
    auto v = k->second.find(name);
    if (v == k->second.end() || !v->second.isText)
        return false;
    if (out)
        *out = v->second.text;
    return true;
}

}  // namespace plat

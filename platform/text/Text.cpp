#include "platform/text/Text.h"

#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

namespace plat {

namespace {

constexpr char32_t kReplacement = 0xFFFD;

void AppendUtf8(std::string& out, char32_t cp) {
    if (cp < 0x80) {
        out.push_back(static_cast<char>(cp));
    } else if (cp < 0x800) {
        out.push_back(static_cast<char>(0xC0 | (cp >> 6)));
        out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
    } else if (cp < 0x10000) {
        out.push_back(static_cast<char>(0xE0 | (cp >> 12)));
        out.push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
    } else {
        out.push_back(static_cast<char>(0xF0 | (cp >> 18)));
        out.push_back(static_cast<char>(0x80 | ((cp >> 12) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
    }
}

void AppendUtf16(std::u16string& out, char32_t cp) {
    if (cp < 0x10000) {
        out.push_back(static_cast<char16_t>(cp));
    } else {
        cp -= 0x10000;
        out.push_back(static_cast<char16_t>(0xD800 + (cp >> 10)));
        out.push_back(static_cast<char16_t>(0xDC00 + (cp & 0x3FF)));
    }
}

}  // namespace

std::u16string Utf8ToUtf16(std::string_view s) {
    std::u16string out;
    out.reserve(s.size());
    size_t i = 0;
    const size_t n = s.size();
    while (i < n) {
        unsigned char c = static_cast<unsigned char>(s[i]);
        if (c < 0x80) {
            out.push_back(c);
            ++i;
            continue;
        }
        int len = 0;
        char32_t cp = 0;
        char32_t min = 0;
        if ((c & 0xE0) == 0xC0) {
            len = 2, cp = c & 0x1F, min = 0x80;
        } else if ((c & 0xF0) == 0xE0) {
            len = 3, cp = c & 0x0F, min = 0x800;
        } else if ((c & 0xF8) == 0xF0) {
            len = 4, cp = c & 0x07, min = 0x10000;
        } else {
            out.push_back(kReplacement);
            ++i;
            continue;
        }
        int k = 1;
        for (; k < len && i + k < n; ++k) {
            unsigned char cc = static_cast<unsigned char>(s[i + k]);
            if ((cc & 0xC0) != 0x80)
                break;
            cp = (cp << 6) | (cc & 0x3F);
        }
        if (k < len || cp < min || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) {
            out.push_back(kReplacement);
            i += k;  // skip the bytes that looked like part of the sequence
            continue;
        }
        AppendUtf16(out, cp);
        i += len;
    }
    return out;
}

std::string Utf16ToUtf8(std::u16string_view s) {
    std::string out;
    out.reserve(s.size());
    for (size_t i = 0; i < s.size(); ++i) {
        char32_t c = s[i];
        if (c >= 0xD800 && c <= 0xDBFF && i + 1 < s.size() && s[i + 1] >= 0xDC00 &&
            s[i + 1] <= 0xDFFF) {
            c = 0x10000 + ((c - 0xD800) << 10) + (s[i + 1] - 0xDC00);
            ++i;
        } else if (c >= 0xD800 && c <= 0xDFFF) {
            c = kReplacement;
        }
        AppendUtf8(out, c);
    }
    return out;
}

size_t StrLen(const char16_t* s) {
    if (!s)
        return 0;
    size_t n = 0;
    while (s[n])
        ++n;
    return n;
}

size_t StrLenN(const char16_t* s, size_t max) {
    if (!s)
        return 0;
    size_t n = 0;
    while (n < max && s[n])
        ++n;
    return n;
}

bool StrCopy(char16_t* dst, size_t dstChars, std::u16string_view src) {
    if (!dst || dstChars == 0)
        return src.empty();
    size_t n = src.size();
    // Stop at an embedded terminator, as a C string copy would.
    for (size_t i = 0; i < n; ++i) {
        if (src[i] == 0) {
            n = i;
            break;
        }
    }
    bool fits = n < dstChars;
    if (!fits)
        n = dstChars - 1;
    if (n)
        std::memmove(dst, src.data(), n * sizeof(char16_t));
    dst[n] = 0;
    return fits;
}

bool StrCat(char16_t* dst, size_t dstChars, std::u16string_view src) {
    if (!dst || dstChars == 0)
        return src.empty();
    size_t len = StrLenN(dst, dstChars);
    if (len >= dstChars) {
        dst[dstChars - 1] = 0;
        return false;
    }
    return StrCopy(dst + len, dstChars - len, src);
}

int StrCmp(const char16_t* a, const char16_t* b) {
    if (!a)
        a = u"";
    if (!b)
        b = u"";
    while (*a && *a == *b)
        ++a, ++b;
    return static_cast<int>(*a) - static_cast<int>(*b);
}

char16_t ToLowerAscii(char16_t c) {
    return (c >= u'A' && c <= u'Z') ? c + 32 : c;
}
char16_t ToUpperAscii(char16_t c) {
    return (c >= u'a' && c <= u'z') ? c - 32 : c;
}

int StrCmpNoCase(std::u16string_view a, std::u16string_view b) {
    size_t n = a.size() < b.size() ? a.size() : b.size();
    for (size_t i = 0; i < n; ++i) {
        int d = static_cast<int>(ToLowerAscii(a[i])) - static_cast<int>(ToLowerAscii(b[i]));
        if (d)
            return d;
    }
    if (a.size() == b.size())
        return 0;
    return a.size() < b.size() ? -1 : 1;
}

const char16_t* StrStr(const char16_t* hay, const char16_t* needle) {
    if (!hay || !needle)
        return nullptr;
    if (!*needle)
        return hay;
    for (; *hay; ++hay) {
        const char16_t* h = hay;
        const char16_t* n = needle;
        while (*h && *n && *h == *n)
            ++h, ++n;
        if (!*n)
            return hay;
    }
    return nullptr;
}

const char16_t* StrChr(const char16_t* s, char16_t c) {
    if (!s)
        return nullptr;
    for (;; ++s) {
        if (*s == c)
            return s;
        if (!*s)
            return nullptr;
    }
}

const char16_t* StrRChr(const char16_t* s, char16_t c) {
    if (!s)
        return nullptr;
    const char16_t* found = nullptr;
    for (;; ++s) {
        if (*s == c)
            found = s;
        if (!*s)
            return found;
    }
}

namespace {

template <typename Ch>
int ParseInt(const Ch* s) {
    if (!s)
        return 0;
    while (*s == ' ' || *s == '\t' || *s == '\n' || *s == '\r' || *s == '\v' || *s == '\f')
        ++s;
    bool neg = false;
    if (*s == '-' || *s == '+')
        neg = (*s++ == '-');
    long long v = 0;
    while (*s >= '0' && *s <= '9') {
        v = v * 10 + (*s++ - '0');
        if (v > static_cast<long long>(INT_MAX) + 1)
            v = static_cast<long long>(INT_MAX) + 1;
    }
    if (neg)
        v = -v;
    if (v > INT_MAX)
        v = INT_MAX;
    if (v < INT_MIN)
        v = INT_MIN;
    return static_cast<int>(v);
}

// Appends to a bounded UTF-16 buffer, counting what fitted.
struct Sink {
    char16_t* dst;
    size_t cap;  // units available for text (terminator excluded)
    size_t len = 0;
    void Put(char16_t c) {
        if (len < cap)
            dst[len] = c;
        ++len;
    }
    void PutAscii(const char* s, size_t n) {
        for (size_t i = 0; i < n; ++i)
            Put(static_cast<unsigned char>(s[i]));
    }
    void Put16(std::u16string_view s) {
        for (char16_t c : s)
            Put(c);
    }
};

}  // namespace

int StrToInt(const char16_t* s) {
    return ParseInt(s);
}
int StrToInt(const char* s) {
    return ParseInt(s);
}

namespace {

// Formats into a sink; the sink may be a null buffer for measuring.
void FormatInto(Sink& out, const char16_t* fmt, va_list args) {
    if (!fmt)
        return;
    for (const char16_t* p = fmt; *p;) {
        if (*p != u'%') {
            out.Put(*p++);
            continue;
        }
        ++p;
        if (*p == u'%') {
            out.Put(u'%');
            ++p;
            continue;
        }
        std::string spec = "%";
        bool leftAlign = false;
        while (*p == u'-' || *p == u'+' || *p == u' ' || *p == u'#' || *p == u'0') {
            if (*p == u'-')
                leftAlign = true;
            spec.push_back(static_cast<char>(*p++));
        }
        int width = -1;
        if (*p == u'*') {
            width = va_arg(args, int);
            if (width < 0) {
                leftAlign = true;
                width = -width;
                spec.push_back('-');
            }
            spec += std::to_string(width);
            ++p;
        } else if (*p >= u'0' && *p <= u'9') {
            width = 0;
            while (*p >= u'0' && *p <= u'9') {
                width = width * 10 + (*p - u'0');
                spec.push_back(static_cast<char>(*p++));
            }
        }
        int precision = -1;
        if (*p == u'.') {
            spec.push_back('.');
            ++p;
            precision = 0;
            if (*p == u'*') {
                precision = va_arg(args, int);
                if (precision < 0)
                    precision = -1;
                ++p;
            } else {
                while (*p >= u'0' && *p <= u'9')
                    precision = precision * 10 + (*p++ - u'0');
            }
            if (precision >= 0)
                spec += std::to_string(precision);
        }
        enum { kNone, kH, kHH, kL, kLL, kZ, kJ, kT, kBigL } len = kNone;
        if (*p == u'h') {
            ++p;
            len = kH;
            if (*p == u'h')
                ++p, len = kHH;
        } else if (*p == u'l') {
            ++p;
            len = kL;
            if (*p == u'l')
                ++p, len = kLL;
        } else if (*p == u'z') {
            ++p, len = kZ;
        } else if (*p == u'j') {
            ++p, len = kJ;
        } else if (*p == u't') {
            ++p, len = kT;
        } else if (*p == u'L') {
            ++p, len = kBigL;
        } else if (p[0] == u'I' && p[1] == u'6' && p[2] == u'4') {
            p += 3, len = kLL;
        }
        char16_t conv = *p;
        if (!conv)
            break;
        ++p;
        auto pad = [&](size_t textLen) {
            for (size_t i = textLen; width > 0 && i < static_cast<size_t>(width); ++i)
                out.Put(u' ');
        };
        switch (conv) {
            case u's':
            case u'S': {
                std::u16string_view text;
                std::u16string converted;
                bool narrow = (conv == u'S') || (len == kH);
                if (narrow) {
                    const char* s = va_arg(args, const char*);
                    converted = Utf8ToUtf16(s ? s : "(null)");
                    text = converted;
                } else {
                    const char16_t* s = va_arg(args, const char16_t*);
                    text = s ? std::u16string_view(s) : std::u16string_view(u"(null)");
                }
                if (precision >= 0 && text.size() > static_cast<size_t>(precision))
                    text = text.substr(0, precision);
                if (!leftAlign)
                    pad(text.size());
                out.Put16(text);
                if (leftAlign)
                    pad(text.size());
                break;
            }
            case u'c':
            case u'C': {
                char16_t c = static_cast<char16_t>(va_arg(args, int));
                if (!leftAlign)
                    pad(1);
                out.Put(c);
                if (leftAlign)
                    pad(1);
                break;
            }
            case u'd':
            case u'i':
            case u'u':
            case u'x':
            case u'X':
            case u'o': {
                char buf[128];
                bool isSigned = (conv == u'd' || conv == u'i');
                std::string f = spec;
                int n;
                switch (len) {
                    case kL:
                        f += "l";
                        f.push_back(static_cast<char>(conv));
                        n = isSigned
                                ? snprintf(buf, sizeof buf, f.c_str(), va_arg(args, long))
                                : snprintf(buf, sizeof buf, f.c_str(), va_arg(args, unsigned long));
                        break;
                    case kLL:
                    case kJ:
                    case kZ:
                    case kT:
                        f += "ll";
                        f.push_back(static_cast<char>(conv));
                        n = isSigned ? snprintf(buf, sizeof buf, f.c_str(), va_arg(args, long long))
                                     : snprintf(buf, sizeof buf, f.c_str(),
                                                va_arg(args, unsigned long long));
                        break;
                    default: {
                        if (len == kH)
                            f += "h";
                        if (len == kHH)
                            f += "hh";
                        f.push_back(static_cast<char>(conv));
                        n = isSigned
                                ? snprintf(buf, sizeof buf, f.c_str(), va_arg(args, int))
                                : snprintf(buf, sizeof buf, f.c_str(), va_arg(args, unsigned int));
                        break;
                    }
                }
                if (n > 0)
                    out.PutAscii(buf, static_cast<size_t>(n) < sizeof buf ? n : sizeof buf - 1);
                break;
            }
            case u'f':
            case u'F':
            case u'e':
            case u'E':
            case u'g':
            case u'G': {
                char buf[512];
                std::string f = spec;
                int n;
                if (len == kBigL) {
                    f += "L";
                    f.push_back(static_cast<char>(conv));
                    n = snprintf(buf, sizeof buf, f.c_str(), va_arg(args, long double));
                } else {
                    f.push_back(static_cast<char>(conv));
                    n = snprintf(buf, sizeof buf, f.c_str(), va_arg(args, double));
                }
                if (n > 0)
                    out.PutAscii(buf, static_cast<size_t>(n) < sizeof buf ? n : sizeof buf - 1);
                break;
            }
            case u'p': {
                char buf[64];
                int n = snprintf(buf, sizeof buf, "%p", va_arg(args, void*));
                if (n > 0)
                    out.PutAscii(buf, n);
                break;
            }
            default:
                // Unknown conversion: show it as written.
                out.Put(u'%');
                out.Put(conv);
                break;
        }
    }
}

}  // namespace

int FormatV(char16_t* dst, size_t dstChars, const char16_t* fmt, va_list args) {
    if (!dst || dstChars == 0)
        return 0;
    Sink sink{dst, dstChars - 1};
    FormatInto(sink, fmt, args);
    size_t n = sink.len < sink.cap ? sink.len : sink.cap;
    dst[n] = 0;
    return static_cast<int>(n);
}

int Format(char16_t* dst, size_t dstChars, const char16_t* fmt, ...) {
    va_list args;
    va_start(args, fmt);
    int n = FormatV(dst, dstChars, fmt, args);
    va_end(args);
    return n;
}

std::u16string FormatStrV(const char16_t* fmt, va_list args) {
    va_list copy;
    va_copy(copy, args);
    Sink measure{nullptr, 0};
    FormatInto(measure, fmt, copy);
    va_end(copy);
    std::u16string out(measure.len, u'\0');
    Sink sink{out.data(), out.size()};
    FormatInto(sink, fmt, args);
    return out;
}

std::u16string FormatStr(const char16_t* fmt, ...) {
    va_list args;
    va_start(args, fmt);
    std::u16string s = FormatStrV(fmt, args);
    va_end(args);
    return s;
}

std::string FormatNarrowV(const char* fmt, va_list args) {
    va_list copy;
    va_copy(copy, args);
    int n = vsnprintf(nullptr, 0, fmt, copy);
    va_end(copy);
    if (n <= 0)
        return {};
    std::string out(static_cast<size_t>(n) + 1, '\0');
    vsnprintf(out.data(), out.size(), fmt, args);
    out.resize(n);
    return out;
}

std::string FormatNarrow(const char* fmt, ...) {
    va_list args;
    va_start(args, fmt);
    std::string s = FormatNarrowV(fmt, args);
    va_end(args);
    return s;
}

}  // namespace plat

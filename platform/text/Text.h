// UTF-16 text as the system keeps it, and UTF-8 at every Linux boundary.
#pragma once

#include <cstdarg>
#include <cstddef>
#include <string>
#include <string_view>

namespace plat {

// Invalid sequences become U+FFFD, so a bad file name never loses the rest of the text.
std::u16string Utf8ToUtf16(std::string_view s);
std::string Utf16ToUtf8(std::u16string_view s);

size_t StrLen(const char16_t* s);
// Bounded length: never reads past max units.
size_t StrLenN(const char16_t* s, size_t max);

// Copies at most dstChars-1 units and always terminates. Returns false when the text was cut.
bool StrCopy(char16_t* dst, size_t dstChars, std::u16string_view src);
template <size_t N>
bool StrCopy(char16_t (&dst)[N], std::u16string_view src) {
    return StrCopy(dst, N, src);
}
// Appends within the same bound.
bool StrCat(char16_t* dst, size_t dstChars, std::u16string_view src);
template <size_t N>
bool StrCat(char16_t (&dst)[N], std::u16string_view src) {
    return StrCat(dst, N, src);
}

int StrCmp(const char16_t* a, const char16_t* b);
// Case-insensitive for ASCII letters, exact for everything else.
int StrCmpNoCase(std::u16string_view a, std::u16string_view b);
const char16_t* StrStr(const char16_t* hay, const char16_t* needle);
const char16_t* StrChr(const char16_t* s, char16_t c);
const char16_t* StrRChr(const char16_t* s, char16_t c);
char16_t ToLowerAscii(char16_t c);
char16_t ToUpperAscii(char16_t c);

// Decimal value like atoi: leading blanks, optional sign, digits up to the first other
// character; no digits gives 0. Saturates instead of overflowing.
int StrToInt(const char16_t* s);
int StrToInt(const char* s);

// printf-style formatting into UTF-16. %s and %ls take const char16_t*, %hs and %S take a
// UTF-8 const char*, %c a char16_t; numbers as in printf. The output is cut at dstChars-1
// units and always terminated. Returns the number of units written.
int FormatV(char16_t* dst, size_t dstChars, const char16_t* fmt, va_list args);
int Format(char16_t* dst, size_t dstChars, const char16_t* fmt, ...);
template <size_t N>
int Format(char16_t (&dst)[N], const char16_t* fmt, ...) {
    va_list args;
    va_start(args, fmt);
    int n = FormatV(dst, N, fmt, args);
    va_end(args);
    return n;
}
std::u16string FormatStrV(const char16_t* fmt, va_list args);
std::u16string FormatStr(const char16_t* fmt, ...);
std::string FormatNarrowV(const char* fmt, va_list args) __attribute__((format(printf, 1, 0)));
std::string FormatNarrow(const char* fmt, ...) __attribute__((format(printf, 1, 2)));

}  // namespace plat

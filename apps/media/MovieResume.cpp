#include "apps/media/MovieResume.h"

#include "platform/io/File.h"
#include "platform/io/FileCache.h"
#include "platform/text/Text.h"

std::vector<uint8_t> MakeVcdResume(int64_t position) {
    std::vector<uint8_t> bytes(VCD_RESUME_BYTES, 0);
    const std::string digits = std::to_string(position < 0 ? 0 : position);
    for (size_t i = 0; i < digits.size() && i < VCD_RESUME_BYTES / 2 - 1; ++i)
        bytes[i * 2] = static_cast<uint8_t>(digits[i]);
    return bytes;
}

bool ParseVcdResume(const uint8_t* data, size_t size, int64_t* position) {
    if (!data || size != VCD_RESUME_BYTES || !position)
        return false;
    uint64_t value = 0;
    size_t digits = 0;
    for (; digits < VCD_RESUME_BYTES / 2; ++digits) {
        const uint16_t c = static_cast<uint16_t>(data[digits * 2] | (data[digits * 2 + 1] << 8));
        if (c == 0)
            break;
        if (c < u'0' || c > u'9')
            return false;
        value = value * 10 + (c - u'0');
        if (value > static_cast<uint64_t>(INT64_MAX))
            return false;
    }
    // No terminator within the 32 characters, or no digit at all: nothing to seek to.
    if (digits == 0 || digits >= VCD_RESUME_BYTES / 2)
        return false;
    *position = static_cast<int64_t>(value);
    return true;
}

bool WriteVcdResume(const std::string& path, int64_t position) {
    return plat::WriteFileAtomic(path, MakeVcdResume(position));
}

bool ReadVcdResume(const std::string& path, int64_t* position) {
    std::vector<uint8_t> bytes;
    if (!plat::ReadWholeFile(path, bytes, VCD_RESUME_BYTES + 1))
        return false;
    return ParseVcdResume(bytes.data(), bytes.size(), position);
}

std::u16string ResumeFilePath(const std::u16string& baseDir, const std::u16string& id) {
    if (id.empty())
        return std::u16string();
    // The number after the kernel's "c:\\" prefix names the file.
    const size_t sep = id.find_last_of(u"\\/");
    const std::u16string number = sep == std::u16string::npos ? id : id.substr(sep + 1);
    if (number.empty())
        return std::u16string();
    return baseDir + u"\\" MV_RESUME_FOLDER u"\\" + number + u"_1.bmk";
}

bool DvdFolderId(const std::string& nativeIfo, std::u16string* id) {
    plat::FileStamp stamp;
    if (!id || !plat::StampFile(nativeIfo, stamp))
        return false;
    // Linux keeps no creation time that every file system has: the last write stands in.
    const long long seconds = static_cast<long long>(stamp.mtimeNs / 1000000000LL);
    *id = plat::FormatStr(u"c:\\%lld", seconds);
    return true;
}

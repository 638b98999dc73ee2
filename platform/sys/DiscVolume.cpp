#include "platform/sys/DiscVolume.h"

#include <dvdread/dvd_reader.h>
#include <dvdread/dvd_udf.h>
#include <fcntl.h>

#include <cstdarg>
#include <cstring>
#include <memory>

#include "platform/io/File.h"
#include "platform/sys/Drives.h"
#include "platform/text/Text.h"

namespace plat {

namespace {

constexpr uint32_t kSector = 2048;
constexpr uint32_t kFirstDescriptor = 16;
// A disc lists its descriptors in a few sectors; a chain without its terminator is garbage.
constexpr uint32_t kMaxDescriptors = 32;
// A root folder of more than 256 sectors (thousands of entries) is not a disc we play from.
constexpr uint32_t kMaxRootSectors = 256;
constexpr size_t kMaxRootNames = 4096;

uint32_t Le32(const uint8_t* p) {
    return static_cast<uint32_t>(p[0]) | static_cast<uint32_t>(p[1]) << 8 |
           static_cast<uint32_t>(p[2]) << 16 | static_cast<uint32_t>(p[3]) << 24;
}

bool IsJoliet(const uint8_t* svd) {
    // Escape sequences of UCS-2 levels 1 to 3.
    const uint8_t* esc = svd + 88;
    return esc[0] == '%' && esc[1] == '/' && (esc[2] == '@' || esc[2] == 'C' || esc[2] == 'E');
}

std::string JolietText(const uint8_t* p, size_t bytes) {
    std::u16string s;
    for (size_t i = 0; i + 1 < bytes; i += 2)
        s.push_back(static_cast<char16_t>(p[i] << 8 | p[i + 1]));
    return Utf16ToUtf8(s);
}

std::string Latin1Text(const uint8_t* p, size_t bytes) {
    std::u16string s;
    for (size_t i = 0; i < bytes; ++i)
        s.push_back(static_cast<char16_t>(p[i]));
    return Utf16ToUtf8(s);
}

void TrimPadding(std::string& s) {
    while (!s.empty() && (s.back() == ' ' || s.back() == '\0'))
        s.pop_back();
}

// "SONG.MP3;1" -> "SONG.MP3", "README.;1" -> "README": the version and an empty extension are
// the file system's, not the name's. A name ends at a zero byte, as every name does here.
void StripVersion(std::string& name) {
    size_t zero = name.find('\0');
    if (zero != std::string::npos)
        name.erase(zero);
    size_t semi = name.rfind(';');
    if (semi != std::string::npos)
        name.erase(semi);
    if (!name.empty() && name.back() == '.')
        name.pop_back();
}

// The names of the folder whose extent and size a directory record gives.
bool ReadRootNames(const SectorReader& read, uint32_t volumeSectors, const uint8_t* rootRecord,
                   bool joliet, std::vector<std::string>& names) {
    const uint32_t extent = Le32(rootRecord + 2);
    const uint32_t size = Le32(rootRecord + 10);
    if (size == 0 || extent == 0)
        return false;
    const uint32_t sectors = (size + kSector - 1) / kSector;
    if (sectors > kMaxRootSectors ||
        (volumeSectors != 0 && (extent >= volumeSectors || sectors > volumeSectors - extent)))
        return false;
    uint8_t sector[kSector];
    for (uint32_t i = 0; i < sectors; ++i) {
        if (!read(extent + i, sector))
            return false;
        const uint32_t end = (i + 1 == sectors && size % kSector) ? size % kSector : kSector;
        uint32_t pos = 0;
        // A record never crosses a sector; a length of 0 pads to the next one.
        while (pos + 33 <= end) {
            const uint8_t len = sector[pos];
            if (len == 0)
                break;
            const uint8_t nameLen = sector[pos + 32];
            if (len < 33 || pos + len > end || 33u + nameLen > len)
                return false;
            const uint8_t* name = sector + pos + 33;
            // "." and ".." are the bytes 0 and 1.
            if (!(nameLen == 1 && (name[0] == 0 || name[0] == 1))) {
                std::string n = joliet ? JolietText(name, nameLen) : Latin1Text(name, nameLen);
                StripVersion(n);
                if (!n.empty()) {
                    if (names.size() >= kMaxRootNames)
                        return true;
                    names.push_back(std::move(n));
                }
            }
            pos += len;
        }
    }
    return true;
}

void QuietDvdLog(void*, dvd_logger_level_t, const char*, va_list) {}

struct DvdCloser {
    void operator()(dvd_reader_t* d) const { DVDClose(d); }
};

// A DVD-Video with a UDF file system only (no ISO 9660 bridge).
bool ReadDvdVolume(const std::string& source, DiscVolume& out) {
    static const dvd_logger_cb kQuiet = {&QuietDvdLog};
    std::unique_ptr<dvd_reader_t, DvdCloser> dvd(DVDOpen2(nullptr, &kQuiet, source.c_str()));
    if (!dvd)
        return false;
    uint32_t size = 0;
    if (UDFFindFile(dvd.get(), "/VIDEO_TS/VIDEO_TS.IFO", &size) == 0)
        return false;
    DiscVolume v;
    char volid[33] = {};
    unsigned char volset[128];
    if (DVDUDFVolumeInfo(dvd.get(), volid, sizeof volid, volset, sizeof volset) == 0)
        v.label = Latin1Text(reinterpret_cast<const uint8_t*>(volid), std::strlen(volid));
    TrimPadding(v.label);
    unsigned char id[16];
    if (DVDDiscID(dvd.get(), id) != 0)
        return false;
    v.serial = Le32(id);
    v.rootNames.push_back("VIDEO_TS");
    out = std::move(v);
    return true;
}

}  // namespace

bool ReadIsoVolume(const SectorReader& read, DiscVolume& out) {
    if (!read)
        return false;
    uint8_t pvd[kSector];
    uint8_t svd[kSector];
    bool havePvd = false, haveJoliet = false;
    uint8_t d[kSector];
    for (uint32_t i = 0; i < kMaxDescriptors; ++i) {
        if (!read(kFirstDescriptor + i, d) || std::memcmp(d + 1, "CD001", 5) != 0)
            break;
        if (d[0] == 255)
            break;  // the set's terminator
        if (d[0] == 1 && !havePvd) {
            std::memcpy(pvd, d, kSector);
            havePvd = true;
        } else if (d[0] == 2 && !haveJoliet && IsJoliet(d)) {
            std::memcpy(svd, d, kSector);
            haveJoliet = true;
        }
    }
    if (!havePvd || pvd[156] < 34)
        return false;
    DiscVolume v;
    // The id is made from the primary descriptor alone, whichever names are shown, so that it
    // matches what the disc gave when it was mounted.
    v.serial = IsoVolumeSerial(pvd);
    const uint32_t volumeSectors = Le32(pvd + 80);
    bool listed = false;
    if (haveJoliet && svd[156] >= 34) {
        listed = ReadRootNames(read, volumeSectors, svd + 156, true, v.rootNames);
        if (listed) {
            v.label = JolietText(svd + 40, 32);
            TrimPadding(v.label);
        } else {
            v.rootNames.clear();
        }
    }
    if (!listed) {
        if (!ReadRootNames(read, volumeSectors, pvd + 156, false, v.rootNames))
            return false;
        v.label = Latin1Text(pvd + 40, 32);
        TrimPadding(v.label);
    }
    out = std::move(v);
    return true;
}

bool ReadDiscVolume(const std::string& source, DiscVolume& out) {
    File f;
    if (!f.Open(source, O_RDONLY | O_NONBLOCK))
        return false;
    SectorReader read = [&f](uint32_t lba, uint8_t* sector) {
        const int64_t at = static_cast<int64_t>(lba) * kSector;
        return f.Seek(at, SEEK_SET) == at && f.ReadAll(sector, kSector);
    };
    if (ReadIsoVolume(read, out))
        return true;
    f.Close();
    return ReadDvdVolume(source, out);
}

}  // namespace plat

#include "platform/sys/Drives.h"

#include <blkid/blkid.h>
#include <fcntl.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <sys/statvfs.h>
#include <sys/sysmacros.h>
#include <unistd.h>

// <linux/cdrom.h> uses INT_MAX without including <climits>.
#include <climits>
#include <linux/cdrom.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <set>
#include <system_error>

#include "platform/io/Binary.h"
#include "platform/io/File.h"
#include "platform/io/Path.h"
#include "platform/sys/DiscMount.h"
#include "platform/sys/MountTable.h"
#include "platform/text/Text.h"

namespace plat {

namespace {

constexpr char16_t kFirstStorageLetter = u'E';
// A data disc whose root could not be read is tried this often, once a refresh, before it
// is left alone until it leaves (a bad disc is not to be read over and over).
constexpr int kDiscReadTries = 3;
// How long the end of the session (or of a map) waits for a disc that udisks2 or the kernel is
// still mounting: the power goes soon after the ignition.
constexpr uint32_t kMountStopWaitMs = 250;

std::string ReadTrimmed(const std::string& path) {
    std::string s;
    if (!ReadFileToEnd(path, s, 4096))
        return "";
    while (!s.empty() && (s.back() == '\n' || s.back() == ' ' || s.back() == '\r'))
        s.pop_back();
    return s;
}

bool SameDrives(const std::vector<OpticalDrive>& a, const std::vector<OpticalDrive>& b) {
    return std::equal(a.begin(), a.end(), b.begin(), b.end(),
                      [](const OpticalDrive& x, const OpticalDrive& y) {
                          return x.device == y.device && x.major == y.major && x.minor == y.minor;
                      });
}

// Mount points that belong to the system itself, not to storage the user brought.
bool IsSystemMountPoint(const std::string& mp) {
    if (mp == "/")
        return true;
    static const char* const kSystem[] = {"/boot", "/efi", "/etc",  "/usr",  "/var",
                                          "/proc", "/sys", "/dev",  "/snap", "/home",
                                          "/opt",  "/srv", "/root", "/run"};
    if (mp.compare(0, 11, "/run/media/") == 0)
        return false;
    for (const char* s : kSystem) {
        size_t n = std::strlen(s);
        if (mp.compare(0, n, s) == 0 && (mp.size() == n || mp[n] == '/'))
            return true;
    }
    return false;
}

char16_t UpperLetter(char16_t c) {
    return (c >= u'a' && c <= u'z') ? static_cast<char16_t>(c - 32) : c;
}

bool IsLetter(char16_t c) {
    c = UpperLetter(c);
    return c >= u'A' && c <= u'Z';
}

uint32_t Fnv1a(const std::string& s) {
    uint32_t h = 2166136261u;
    for (unsigned char c : s) {
        h ^= c;
        h *= 16777619u;
    }
    return h;
}

bool ParseHex32(const std::string& hex, uint32_t& out) {
    if (hex.empty() || hex.size() > 8)
        return false;
    uint32_t v = 0;
    for (char c : hex) {
        int d;
        if (c >= '0' && c <= '9')
            d = c - '0';
        else if (c >= 'a' && c <= 'f')
            d = c - 'a' + 10;
        else if (c >= 'A' && c <= 'F')
            d = c - 'A' + 10;
        else
            return false;
        v = v << 4 | static_cast<uint32_t>(d);
    }
    out = v;
    return true;
}

// The serial as the system knows it: FAT and exFAT print it as "ABCD-1234", NTFS as 16 hex
// digits of which the low 32 bits are shown; other file systems get a stable hash.
uint32_t SerialFromUuid(const std::string& type, const std::string& uuid) {
    uint32_t v;
    if ((type == "vfat" || type == "exfat") && uuid.size() == 9 && uuid[4] == '-' &&
        ParseHex32(uuid.substr(0, 4) + uuid.substr(5), v))
        return v;
    if (type == "ntfs" && uuid.size() == 16 && ParseHex32(uuid.substr(8), v))
        return v;
    return Fnv1a(uuid);
}

struct FdCloser {
    int fd;
    ~FdCloser() {
        if (fd >= 0)
            ::close(fd);
    }
};

int OpenOptical(const std::string& device) {
    // O_NONBLOCK: opening must neither close the tray nor wait for the disc to spin up.
    return ::open(device.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
}

bool ReadIsoDescriptor(const std::string& source, uint8_t (&pvd)[2048]) {
    File f;
    if (!f.Open(source, O_RDONLY))
        return false;
    if (f.Seek(16 * 2048, SEEK_SET) != 16 * 2048)
        return false;
    if (!f.ReadAll(pvd, sizeof pvd))
        return false;
    return pvd[0] == 1 && std::memcmp(pvd + 1, "CD001", 5) == 0;
}

std::string TocSignature(const std::vector<AudioTrack>& tracks) {
    std::string sig;
    for (const AudioTrack& t : tracks)
        sig += FormatNarrow("%d:%u:%u;", t.number, t.startLba, t.lengthLba);
    return sig;
}

void Msf(uint32_t frames, BinWriter& w) {
    w.U8(static_cast<uint8_t>(frames % 75));
    w.U8(static_cast<uint8_t>(frames / 75 % 60));
    w.U8(static_cast<uint8_t>(std::min<uint32_t>(frames / 75 / 60, 255)));
    w.U8(0);
}

}  // namespace

// ---- the real machine ----

LinuxDriveProbe::LinuxDriveProbe() = default;

LinuxDriveProbe::LinuxDriveProbe(Paths paths) : m_paths(std::move(paths)) {}

LinuxDriveProbe::~LinuxDriveProbe() {
    if (m_ownScratch && !m_paths.scratchDir.empty()) {
        std::error_code ec;
        std::filesystem::remove_all(m_paths.scratchDir, ec);
    }
}

bool LinuxDriveProbe::ReadMountTable(std::string& text) {
    return ReadFileToEnd(m_paths.mountTable, text, 16u << 20);
}

BlockKind LinuxDriveProbe::Classify(unsigned major, unsigned minor) {
    std::string dir = FormatNarrow("%s/dev/block/%u:%u", m_paths.sysRoot.c_str(), major, minor);
    if (!IsDirectory(dir))
        return BlockKind::None;
    // A partition's flags are those of its disk, one folder up.
    std::string disk = PathExists(dir + "/partition") ? dir + "/.." : dir;
    if (ReadTrimmed(disk + "/device/type") == "5")
        return BlockKind::Optical;
    return ReadTrimmed(disk + "/removable") == "1" ? BlockKind::Removable : BlockKind::Fixed;
}

bool LinuxDriveProbe::DeviceNumbers(const std::string& node, unsigned& major, unsigned& minor) {
    struct stat st;
    if (::stat(node.c_str(), &st) != 0 || !S_ISBLK(st.st_mode))
        return false;
    major = ::major(st.st_rdev);
    minor = ::minor(st.st_rdev);
    return true;
}

std::vector<OpticalDrive> LinuxDriveProbe::OpticalDrives() {
    std::vector<OpticalDrive> out;
    // A name keeps its device while it is listed; one that leaves and comes back is read anew.
    std::map<std::string, std::pair<bool, OpticalDrive>> names;
    std::error_code ec;
    std::filesystem::directory_iterator it(m_paths.sysRoot + "/class/block", ec), end;
    for (; !ec && it != end; it.increment(ec)) {
        std::string name = it->path().filename().string();
        auto known = m_blockNames.find(name);
        if (known != m_blockNames.end()) {
            if (known->second.first)
                out.push_back(known->second.second);
            names.insert(*known);
            continue;
        }
        std::string dir = it->path().string();
        OpticalDrive d;
        d.device = m_paths.devRoot + "/" + name;
        bool optical =
            ReadTrimmed(dir + "/device/type") == "5" &&
            std::sscanf(ReadTrimmed(dir + "/dev").c_str(), "%u:%u", &d.major, &d.minor) == 2;
        names.emplace(name, std::make_pair(optical, d));
        if (optical)
            out.push_back(d);
    }
    m_blockNames.swap(names);
    std::sort(out.begin(), out.end(),
              [](const OpticalDrive& a, const OpticalDrive& b) { return a.device < b.device; });
    return out;
}

bool LinuxDriveProbe::IsDvdDrive(const std::string& device) {
    FdCloser fd{OpenOptical(device)};
    if (fd.fd < 0)
        return false;
    int caps = ::ioctl(fd.fd, CDROM_GET_CAPABILITY, 0);
    return caps >= 0 && (caps & CDC_DVD) != 0;
}

DiscStatus LinuxDriveProbe::Disc(const std::string& device) {
    FdCloser fd{OpenOptical(device)};
    if (fd.fd < 0)
        return DiscStatus::NoDrive;
    int drive = ::ioctl(fd.fd, CDROM_DRIVE_STATUS, CDSL_CURRENT);
    if (drive < 0)
        return DiscStatus::NoDrive;
    if (drive != CDS_DISC_OK && drive != CDS_NO_INFO)
        return DiscStatus::NoDisc;
    switch (::ioctl(fd.fd, CDROM_DISC_STATUS, 0)) {
        case CDS_AUDIO:
            return DiscStatus::Audio;
        case CDS_MIXED:
            return DiscStatus::Mixed;
        case CDS_NO_DISC:
        case CDS_TRAY_OPEN:
        case CDS_DRIVE_NOT_READY:
            return DiscStatus::NoDisc;
        case -1:
            return drive == CDS_DISC_OK ? DiscStatus::Data : DiscStatus::NoDisc;
        default:
            return DiscStatus::Data;
    }
}

bool LinuxDriveProbe::DiscChanged(const std::string& device) {
    FdCloser fd{OpenOptical(device)};
    if (fd.fd < 0)
        return false;
    // The drive keeps a flag of its own for this query, apart from the one the block layer
    // reads; a drive that cannot tell says no, and the disc's leaving still shows.
    return ::ioctl(fd.fd, CDROM_MEDIA_CHANGED, CDSL_CURRENT) > 0;
}

std::vector<AudioTrack> LinuxDriveProbe::AudioTracks(const std::string& device) {
    std::vector<AudioTrack> tracks;
    FdCloser fd{OpenOptical(device)};
    if (fd.fd < 0)
        return tracks;
    cdrom_tochdr hdr{};
    if (::ioctl(fd.fd, CDROMREADTOCHDR, &hdr) != 0 || hdr.cdth_trk0 > hdr.cdth_trk1)
        return tracks;
    struct Raw {
        int number;
        bool data;
        uint32_t lba;
    };
    std::vector<Raw> raw;
    for (int t = hdr.cdth_trk0; t <= hdr.cdth_trk1 + 1; ++t) {
        cdrom_tocentry e{};
        e.cdte_track = static_cast<__u8>(t > hdr.cdth_trk1 ? CDROM_LEADOUT : t);
        e.cdte_format = CDROM_LBA;
        if (::ioctl(fd.fd, CDROMREADTOCENTRY, &e) != 0)
            return {};
        raw.push_back({t, (e.cdte_ctrl & CDROM_DATA_TRACK) != 0,
                       static_cast<uint32_t>(std::max(0, e.cdte_addr.lba))});
    }
    for (size_t i = 0; i + 1 < raw.size(); ++i) {
        if (raw[i].data)
            continue;
        uint32_t next = raw[i + 1].lba;
        tracks.push_back({raw[i].number, raw[i].lba, next > raw[i].lba ? next - raw[i].lba : 0});
    }
    return tracks;
}

bool LinuxDriveProbe::VolumeInfo(const std::string& source, const std::string& mountPoint,
                                 std::u16string& label, uint32_t& serial) {
    label.clear();
    std::string type, uuid, text;
    if (!source.empty() && source[0] == '/') {
        if (blkid_probe pr = blkid_new_probe_from_filename(source.c_str())) {
            blkid_probe_enable_superblocks(pr, 1);
            blkid_probe_set_superblocks_flags(
                pr, BLKID_SUBLKS_LABEL | BLKID_SUBLKS_UUID | BLKID_SUBLKS_TYPE);
            if (blkid_do_safeprobe(pr) == 0) {
                const char* v = nullptr;
                size_t len = 0;
                if (blkid_probe_lookup_value(pr, "TYPE", &v, &len) == 0 && v)
                    type = v;
                if (blkid_probe_lookup_value(pr, "UUID", &v, &len) == 0 && v)
                    uuid = v;
                if (blkid_probe_lookup_value(pr, "LABEL", &v, &len) == 0 && v)
                    text = v;
            }
            blkid_free_probe(pr);
        }
    }
    uint8_t pvd[2048];
    if ((type == "iso9660" || type == "udf" || type.empty()) && ReadIsoDescriptor(source, pvd)) {
        serial = IsoVolumeSerial(pvd);
        if (text.empty()) {
            // The volume identifier, blank-padded.
            std::string id(reinterpret_cast<const char*>(pvd + 40), 32);
            while (!id.empty() && (id.back() == ' ' || id.back() == '\0'))
                id.pop_back();
            text = id;
        }
        label = Utf8ToUtf16(text);
        return true;
    }
    if (!uuid.empty()) {
        serial = SerialFromUuid(type, uuid);
        label = Utf8ToUtf16(text);
        return true;
    }
    if (!type.empty() || mountPoint.empty())
        return false;
    // A mounted file system that the probe cannot read (no access to the device): the
    // kernel's own id of it.
    struct statvfs st;
    if (::statvfs(mountPoint.c_str(), &st) != 0)
        return false;
    serial = static_cast<uint32_t>(st.f_fsid);
    label = Utf8ToUtf16(text);
    return true;
}

bool LinuxDriveProbe::ReadDisc(const std::string& device, DiscVolume& out) {
    return ReadDiscVolume(device, out);
}

bool LinuxDriveProbe::MountDisc(const std::string& device, const std::string& folder,
                                std::string& mountPoint, std::string& why) {
    return plat::MountDisc(device, folder, mountPoint, why);
}

void LinuxDriveProbe::CancelMount() {
    CancelDiscMounts();
}

bool LinuxDriveProbe::UnmountOwnFolder(const std::string& folder) {
    return plat::UnmountOwnFolder(folder);
}

std::string LinuxDriveProbe::ScratchDir() {
    if (!m_paths.scratchDir.empty()) {
        MakeDirectory(m_paths.scratchDir);
        return IsDirectory(m_paths.scratchDir) ? m_paths.scratchDir : "";
    }
    const char* base = std::getenv("XDG_RUNTIME_DIR");
    if (!base || !*base || !IsDirectory(base))
        base = std::getenv("TMPDIR");
    if (!base || !*base || !IsDirectory(base))
        base = "/tmp";
    std::string tmpl = JoinPath(base, "velkora-drives-XXXXXX");
    std::vector<char> buf(tmpl.begin(), tmpl.end());
    buf.push_back('\0');
    if (!::mkdtemp(buf.data()))
        return "";
    m_paths.scratchDir = buf.data();
    m_ownScratch = true;
    return m_paths.scratchDir;
}

// ---- letters ----

DriveMap::DriveMap(std::unique_ptr<DriveProbe> probe)
    : m_probe(std::move(probe)), m_mount(std::make_shared<Mounting>()) {}

DriveMap::~DriveMap() {
    std::lock_guard<std::mutex> lock(m_mutex);
    StopMountingLocked(kMountStopWaitMs);
    std::lock_guard<std::mutex> mountLock(m_mount->mutex);
    for (const auto& own : m_mount->ownMounts)
        m_probe->UnmountOwnFolder(own.second);
}

void DriveMap::StopMounting() {
    std::lock_guard<std::mutex> lock(m_mutex);
    StopMountingLocked(kMountStopWaitMs);
}

void DriveMap::StopMountingLocked(uint32_t waitMs) {
    if (!m_mounter.joinable())
        return;
    std::unique_lock<std::mutex> mountLock(m_mount->mutex);
    if (m_mount->running) {
        m_probe->CancelMount();
        // Real time: the mount hangs in the real world whatever clock the unit runs on.
        m_mount->done.wait_for(mountLock, std::chrono::milliseconds(waitMs),
                               [&] { return !m_mount->running; });
    }
    if (!m_mount->running) {
        mountLock.unlock();
        m_mounter.join();
        return;
    }
    // Left behind: it keeps its own share of what it touches. What it may still mount is no
    // longer the map's to release.
    auto fresh = std::make_shared<Mounting>();
    fresh->ownMounts = m_mount->ownMounts;
    fresh->notes = std::move(m_mount->notes);
    fresh->notes.push_back("a disc being mounted was left behind");
    mountLock.unlock();
    m_mounter.detach();
    m_mount = std::move(fresh);
}

void DriveMap::Refresh() {
    std::lock_guard<std::mutex> lock(m_mutex);
    RefreshLocked();
}

void DriveMap::EnsureLoadedLocked() {
    if (!m_loaded)
        RefreshLocked();
}

DriveMap::Entry* DriveMap::FindLocked(char16_t letter) {
    letter = UpperLetter(letter);
    for (Entry& e : m_entries)
        if (e.info.letter == letter)
            return &e;
    return nullptr;
}

void DriveMap::ReleaseOwnMountsLocked() {
    // A disc we mounted ourselves is taken off its folder once it left the drive; nobody else
    // would.
    std::lock_guard<std::mutex> mountLock(m_mount->mutex);
    std::vector<std::pair<std::string, std::string>>& own = m_mount->ownMounts;
    for (auto it = own.begin(); it != own.end();) {
        if (m_probe->Disc(it->first) == DiscStatus::Data) {
            ++it;
            continue;
        }
        m_probe->UnmountOwnFolder(it->second);
        it = own.erase(it);
    }
}

void DriveMap::RefreshLocked() {
    ReleaseOwnMountsLocked();
    struct Candidate {
        std::string key;
        BlockKind kind;
        DriveInfo info;
        bool mounted;
    };
    std::vector<Candidate> found;

    std::string text;
    const bool readable = m_probe->ReadMountTable(text);
    std::vector<OpticalDrive> optical = m_probe->OpticalDrives();
    std::string base = CurrentDirectory();
    if (m_loaded && readable && text == m_lastMountTable && SameDrives(optical, m_lastOptical) &&
        base == m_lastBase) {
        // Nothing came or went: the letters stay as they are; only the discs may have changed.
        for (Entry& e : m_entries) {
            if (e.info.type == DRIVE_CDROM && !e.mounted)
                UpdateOpticalLocked(e);
        }
        return;
    }
    m_loaded = true;
    m_lastMountTable = readable ? text : std::string();
    m_lastOptical = optical;
    m_lastBase = base;
    std::vector<MountEntry> mounts;
    if (readable)
        mounts = ParseMountInfo(text);

    std::set<std::pair<unsigned, unsigned>> seen;
    for (const MountEntry& m : mounts) {
        // A folder bound into place is no drive; storage is mounted whole.
        if (m.root != "/" || IsSystemMountPoint(m.mountPoint))
            continue;
        unsigned major = m.major, minor = m.minor;
        // Major 0 is a file system without a device number of its own: proc, tmpfs and
        // overlays, but also NTFS or exFAT in user space, whose source names the device.
        if (major == 0 && (m.source.empty() || m.source[0] != '/' ||
                           !m_probe->DeviceNumbers(m.source, major, minor)))
            continue;
        if (!seen.insert({major, minor}).second)
            continue;
        BlockKind kind = m_probe->Classify(major, minor);
        auto drive = std::find_if(optical.begin(), optical.end(), [&](const OpticalDrive& d) {
            return d.major == major && d.minor == minor;
        });
        if (drive != optical.end())
            kind = BlockKind::Optical;
        if (kind == BlockKind::None)
            continue;
        Candidate c;
        c.kind = kind;
        c.mounted = true;
        c.info.root = m.mountPoint;
        c.info.source = m.source;
        c.info.device = drive != optical.end() ? drive->device : m.source;
        c.info.type = kind == BlockKind::Optical     ? DRIVE_CDROM
                      : kind == BlockKind::Removable ? DRIVE_REMOVABLE
                                                     : DRIVE_FIXED;
        // An optical drive keeps its letter from disc to disc; storage is known by its
        // device and where it is mounted.
        c.key = kind == BlockKind::Optical ? "cd:" + c.info.device
                                           : FormatNarrow("%u:%u@", major, minor) + m.mountPoint;
        // One letter per key, even for a table that names one drive twice.
        if (std::any_of(found.begin(), found.end(),
                        [&](const Candidate& other) { return other.key == c.key; }))
            continue;
        found.push_back(std::move(c));
    }
    for (const OpticalDrive& d : optical) {
        std::string key = "cd:" + d.device;
        bool mounted = std::any_of(found.begin(), found.end(),
                                   [&](const Candidate& c) { return c.key == key; });
        if (mounted)
            continue;
        Candidate c;
        c.kind = BlockKind::Optical;
        c.mounted = false;
        c.info.type = DRIVE_CDROM;
        c.info.device = d.device;
        c.key = key;
        found.push_back(std::move(c));
    }

    std::vector<Entry> next;
    for (char16_t letter : {u'C', u'D'}) {
        Entry e;
        e.info.letter = letter;
        e.info.type = DRIVE_FIXED;
        e.info.root = base;
        e.key = "base";
        e.mounted = true;
        next.push_back(std::move(e));
    }
    bool used[26] = {};
    used[2] = used[3] = true;
    auto take = [&](Candidate& c, char16_t letter) {
        used[letter - u'A'] = true;
        Entry e;
        e.info = std::move(c.info);
        e.info.letter = letter;
        e.key = c.key;
        e.mounted = c.mounted;
        next.push_back(std::move(e));
        c.key.clear();
    };
    // Drives that stayed keep their letters.
    for (Candidate& c : found) {
        for (const Entry& old : m_entries) {
            if (old.key == c.key && old.info.letter >= kFirstStorageLetter &&
                !used[old.info.letter - u'A']) {
                take(c, old.info.letter);
                break;
            }
        }
    }
    // Arrivals: fixed disks first, then optical drives, then removable media, as the letters
    // were always handed out; one that was here before gets its old letter back when free.
    for (BlockKind kind : {BlockKind::Fixed, BlockKind::Optical, BlockKind::Removable}) {
        for (Candidate& c : found) {
            if (c.key.empty() || c.kind != kind)
                continue;
            char16_t letter = 0;
            for (const auto& seenBefore : m_lastSeen)
                if (seenBefore.first == c.key && !used[seenBefore.second - u'A'])
                    letter = seenBefore.second;
            for (char16_t l = kFirstStorageLetter; !letter && l <= u'Z'; ++l)
                if (!used[l - u'A'])
                    letter = l;
            if (!letter)
                continue;  // more drives than letters
            take(c, letter);
        }
    }
    std::sort(next.begin(), next.end(),
              [](const Entry& a, const Entry& b) { return a.info.letter < b.info.letter; });
    for (const Entry& e : next) {
        if (e.info.letter < kFirstStorageLetter)
            continue;
        auto it = std::find_if(m_lastSeen.begin(), m_lastSeen.end(),
                               [&](const auto& p) { return p.first == e.key; });
        if (it == m_lastSeen.end())
            m_lastSeen.emplace_back(e.key, e.info.letter);
        else
            it->second = e.info.letter;
    }
    m_entries = std::move(next);
    for (Entry& e : m_entries)
        if (e.info.type == DRIVE_CDROM && !e.mounted)
            UpdateOpticalLocked(e);
}

void DriveMap::UpdateOpticalLocked(Entry& e) {
    const std::string& device = e.info.device;
    const DiscStatus status = m_probe->Disc(device);
    UpdateAudioFolderLocked(e, status);
    e.info.unmountedData = false;
    auto read = std::find_if(m_discsRead.begin(), m_discsRead.end(),
                             [&](const DiscRead& r) { return r.device == device; });
    if (status != DiscStatus::Data) {
        // The next disc (or this one again) is read and may be mounted anew.
        m_mountTried.erase(std::remove_if(m_mountTried.begin(), m_mountTried.end(),
                                          [&](const auto& t) { return t.first == device; }),
                           m_mountTried.end());
        if (read != m_discsRead.end())
            m_discsRead.erase(read);
        return;
    }
    if (!e.info.root.empty())
        return;
    // Nobody mounted the disc: what it is and what it is called come from the device, read
    // when it arrives and again only when the drive says another disc came.
    const bool changed = m_probe->DiscChanged(device);
    if (read == m_discsRead.end()) {
        m_discsRead.push_back(DiscRead{device, false, 0, DiscVolume()});
        read = m_discsRead.end() - 1;
    } else if (changed) {
        *read = DiscRead{device, false, 0, DiscVolume()};
    }
    if (!read->ok && read->tries < kDiscReadTries) {
        ++read->tries;
        read->ok = m_probe->ReadDisc(device, read->volume);
    }
    if (read->ok) {
        e.info.unmountedData = true;
        RequestMountLocked(e, read->volume);
    }
}

const DiscVolume* DriveMap::DiscReadLocked(const Entry* e) const {
    if (!e || !e->info.unmountedData)
        return nullptr;
    auto read = std::find_if(m_discsRead.begin(), m_discsRead.end(),
                             [&](const DiscRead& r) { return r.device == e->info.device; });
    return read != m_discsRead.end() && read->ok ? &read->volume : nullptr;
}

void DriveMap::RequestMountLocked(const Entry& e, const DiscVolume& volume) {
    const std::pair<std::string, uint32_t> disc(e.info.device, volume.serial);
    if (std::find(m_mountTried.begin(), m_mountTried.end(), disc) != m_mountTried.end())
        return;
    std::shared_ptr<Mounting> mount = m_mount;
    {
        std::lock_guard<std::mutex> mountLock(mount->mutex);
        if (mount->running)
            return;  // one at a time; another disc is asked for at a later refresh
        mount->running = true;
    }
    m_mountTried.push_back(disc);
    const std::string scratch = m_probe->ScratchDir();
    const std::string folder =
        scratch.empty() ? "" : JoinPath(scratch, "disc-" + BaseName(e.info.device));
    const std::string device = e.info.device;
    const std::string what = FormatNarrow("%c: data disc \"%s\"", static_cast<char>(e.info.letter),
                                          volume.label.c_str());
    if (m_mounter.joinable())
        m_mounter.join();  // done: it was no longer running
    std::shared_ptr<DriveProbe> probe = m_probe;
    try {
        m_mounter = std::thread([mount, probe, device, folder, what] {
            std::string point, why;
            const bool ok = probe->MountDisc(device, folder, point, why);
            std::lock_guard<std::mutex> lock(mount->mutex);
            if (ok && point == folder)
                mount->ownMounts.emplace_back(device, folder);
            mount->notes.push_back(ok ? what + " mounted at " + point
                                      : what + " cannot be listed: " + why);
            mount->running = false;
            mount->done.notify_all();
        });
    } catch (const std::system_error&) {
        std::lock_guard<std::mutex> lock(mount->mutex);
        mount->running = false;
        mount->notes.push_back(what + " cannot be listed: no thread to mount it");
    }
}

std::vector<std::string> DriveMap::TakeNotes() {
    std::lock_guard<std::mutex> lock(m_mutex);
    std::lock_guard<std::mutex> mountLock(m_mount->mutex);
    std::vector<std::string> notes;
    notes.swap(m_mount->notes);
    return notes;
}

void DriveMap::UpdateAudioFolderLocked(Entry& e, DiscStatus status) {
    const std::string& device = e.info.device;
    auto known = std::find_if(m_audioFolders.begin(), m_audioFolders.end(),
                              [&](const auto& p) { return p.first == device; });
    std::vector<AudioTrack> tracks;
    if (status == DiscStatus::Audio || status == DiscStatus::Mixed)
        tracks = m_probe->AudioTracks(device);
    std::string scratch =
        tracks.empty() && known == m_audioFolders.end() ? "" : m_probe->ScratchDir();
    std::string folder = scratch.empty() ? "" : JoinPath(scratch, "cd-" + BaseName(device));
    if (tracks.empty()) {
        if (known != m_audioFolders.end()) {
            std::error_code ec;
            std::filesystem::remove_all(folder, ec);
            m_audioFolders.erase(known);
        }
        e.info.root.clear();
        return;
    }
    if (folder.empty())
        return;
    std::string sig = TocSignature(tracks);
    if (known == m_audioFolders.end() || known->second != sig) {
        std::error_code ec;
        std::filesystem::remove_all(folder, ec);
        if (!MakeDirectory(folder))
            return;
        uint32_t serial = Fnv1a(sig);
        for (const AudioTrack& t : tracks) {
            std::vector<uint8_t> cda = MakeCdaEntry(t, serial);
            WriteFileAtomic(JoinPath(folder, FormatNarrow("Track%02d.cda", t.number)), cda);
        }
        if (known == m_audioFolders.end())
            m_audioFolders.emplace_back(device, sig);
        else
            known->second = sig;
    }
    e.info.root = folder;
}

int DriveMap::GetDriveType(char16_t letter) {
    std::lock_guard<std::mutex> lock(m_mutex);
    EnsureLoadedLocked();
    Entry* e = FindLocked(letter);
    return e ? e->info.type : DRIVE_NO_ROOT_DIR;
}

DriveInfo DriveMap::Info(char16_t letter) {
    std::lock_guard<std::mutex> lock(m_mutex);
    EnsureLoadedLocked();
    Entry* e = FindLocked(letter);
    return e ? e->info : DriveInfo{};
}

std::vector<DriveInfo> DriveMap::List() {
    std::lock_guard<std::mutex> lock(m_mutex);
    EnsureLoadedLocked();
    std::vector<DriveInfo> out;
    for (const Entry& e : m_entries)
        out.push_back(e.info);
    return out;
}

bool DriveMap::IsDvdDrive(char16_t letter) {
    DriveInfo info = Info(letter);
    if (info.type != DRIVE_CDROM)
        return false;
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_probe->IsDvdDrive(info.device);
}

MediaState DriveMap::MediaPresent(char16_t letter) {
    DriveInfo info = Info(letter);
    if (info.type != DRIVE_CDROM)
        return MediaState::Unknown;
    std::lock_guard<std::mutex> lock(m_mutex);
    switch (m_probe->Disc(info.device)) {
        case DiscStatus::NoDrive:
            return MediaState::Unknown;
        case DiscStatus::NoDisc:
            return MediaState::Absent;
        default:
            return MediaState::Present;
    }
}

bool DriveMap::ListRoot(char16_t letter, std::vector<std::string>& names) {
    names.clear();
    DriveInfo info = Info(letter);
    if (info.unmountedData) {
        std::lock_guard<std::mutex> lock(m_mutex);
        const DiscVolume* volume = DiscReadLocked(FindLocked(letter));
        if (!volume)
            return false;
        names = volume->rootNames;
    } else {
        if (info.root.empty())
            return false;
        std::error_code ec;
        std::filesystem::directory_iterator it(info.root, ec), end;
        if (ec)
            return false;
        for (; !ec && it != end; it.increment(ec))
            names.push_back(it->path().filename().string());
    }
    // A disc's directory is sorted by name, capitals and small letters alike, mounted or not.
    std::sort(names.begin(), names.end(), [](const std::string& a, const std::string& b) {
        int c = StrCmpNoCase(Utf8ToUtf16(a), Utf8ToUtf16(b));
        return c != 0 ? c < 0 : a < b;
    });
    return true;
}

bool DriveMap::GetVolumeInformation(char16_t letter, std::u16string* label, uint32_t* serial) {
    DriveInfo info = Info(letter);
    if (info.unmountedData) {
        std::lock_guard<std::mutex> lock(m_mutex);
        const DiscVolume* volume = DiscReadLocked(FindLocked(letter));
        if (!volume)
            return false;
        if (label)
            *label = Utf8ToUtf16(volume->label);
        if (serial)
            *serial = volume->serial;
        return true;
    }
    if (info.root.empty())
        return false;
    std::u16string l;
    uint32_t s = 0;
    bool ok;
    if (info.type == DRIVE_CDROM && info.source.empty()) {
        // An audio CD: its id comes from the table of contents the folder was made from.
        std::lock_guard<std::mutex> lock(m_mutex);
        auto known = std::find_if(m_audioFolders.begin(), m_audioFolders.end(),
                                  [&](const auto& p) { return p.first == info.device; });
        ok = known != m_audioFolders.end();
        if (ok) {
            s = Fnv1a(known->second);
            l = u"Audio CD";
        }
    } else if (info.source.empty()) {
        struct statvfs st;
        ok = ::statvfs(info.root.c_str(), &st) == 0;
        s = ok ? static_cast<uint32_t>(st.f_fsid) : 0;
    } else {
        std::lock_guard<std::mutex> lock(m_mutex);
        ok = m_probe->VolumeInfo(info.source, info.root, l, s);
    }
    if (!ok)
        return false;
    if (label)
        *label = l;
    if (serial)
        *serial = s;
    return true;
}

std::string DriveMap::MapPath(const std::string& path) {
    if (path.size() < 2 || path[1] != ':' || !IsLetter(static_cast<char16_t>(path[0])) ||
        (path.size() > 2 && path[2] != '/'))
        return path;
    DriveInfo info = Info(static_cast<char16_t>(path[0]));
    if (info.root.empty())
        return path;
    std::string rest = path.substr(2);  // "" or "/..."
    if (!rest.empty() && info.root.back() == '/')
        rest.erase(0, 1);
    return info.root + rest;
}

// ---- process-wide ----

namespace {
std::mutex g_drivesMutex;
std::unique_ptr<DriveMap> g_drives;
}  // namespace

DriveMap& Drives() {
    std::lock_guard<std::mutex> lock(g_drivesMutex);
    if (!g_drives)
        g_drives = std::make_unique<DriveMap>(std::make_unique<LinuxDriveProbe>());
    return *g_drives;
}

void SetDriveProbe(std::unique_ptr<DriveProbe> probe) {
    std::lock_guard<std::mutex> lock(g_drivesMutex);
    g_drives = probe ? std::make_unique<DriveMap>(std::move(probe)) : nullptr;
}

// ---- disc files ----

std::vector<uint8_t> MakeCdaEntry(const AudioTrack& track, uint32_t discSerial) {
    BinWriter w;
    w.Bytes("RIFF", 4);
    w.U32(36);
    w.Bytes("CDDA", 4);
    w.Bytes("fmt ", 4);
    w.U32(24);
    w.U16(1);
    w.U16(static_cast<uint16_t>(track.number));
    w.U32(discSerial);
    w.U32(track.startLba);
    w.U32(track.lengthLba);
    Msf(track.startLba + 150, w);  // addresses count the two-second lead-in
    Msf(track.lengthLba, w);
    return w.Data();
}

uint32_t IsoVolumeSerial(const uint8_t* descriptor2048) {
    uint8_t sum[4] = {0, 0, 0, 0};
    for (int i = 0; i < 2048; i += 4) {
        sum[0] = static_cast<uint8_t>(sum[0] + descriptor2048[i]);
        sum[1] = static_cast<uint8_t>(sum[1] + descriptor2048[i + 1]);
        sum[2] = static_cast<uint8_t>(sum[2] + descriptor2048[i + 2]);
        sum[3] = static_cast<uint8_t>(sum[3] + descriptor2048[i + 3]);
    }
    return static_cast<uint32_t>(sum[0]) << 24 | static_cast<uint32_t>(sum[1]) << 16 |
           static_cast<uint32_t>(sum[2]) << 8 | sum[3];
}

}  // namespace plat

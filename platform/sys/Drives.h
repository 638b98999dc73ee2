// Drive letters on Linux. The system thinks in drive letters ("E:\\Music\\a.mp3"); here they
// are mapped onto the mount points of storage and onto the optical drives, in this one place.
//
//   C: and D:  the program's base folder (the internal disk: system drive and data drive)
//   E: ... Z:  mounted storage and optical drives; at the first scan fixed disks first, then
//              optical drives, then removable media; later arrivals take the lowest free
//              letter (or the one they had before, when it is still free). A drive keeps its
//              letter as long as it stays, whatever comes and goes around it.
//
// An optical drive has its letter whether or not a disc is in it. A data disc is read where
// the system mounted it; one nobody mounted still shows its root names, label and id, read
// from the device once when it arrives (a drive kept busy every second keeps its disc
// spinning); an audio CD, which has no file system, shows as a folder of "TrackNN.cda"
// entries, one per audio track, as the system has always listed them.
//
// The map is one for the whole process: the program and libVantrel.so reach the same one
// (DrivesApi.h), so a stick that arrives while the unit runs is known to both at once.
#pragma once

#include <condition_variable>
#include <cstdint>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "platform/sys/DiscVolume.h"
#include "platform/sys/DrivesApi.h"

namespace plat {

// Drive kinds, numbered as the system has always numbered them.
enum : int {
    DRIVE_UNKNOWN = 0,
    DRIVE_NO_ROOT_DIR = 1,
    DRIVE_REMOVABLE = 2,
    DRIVE_FIXED = 3,
    DRIVE_REMOTE = 4,
    DRIVE_CDROM = 5,
};

enum class BlockKind { None, Fixed, Removable, Optical };

enum class DiscStatus {
    NoDrive,  // the device cannot be opened
    NoDisc,   // empty, tray open or not ready
    Data,     // a disc with a file system
    Audio,    // audio tracks only
    Mixed,    // audio tracks and a data track
};

struct OpticalDrive {
    std::string device;  // "/dev/sr0"
    unsigned major = 0;
    unsigned minor = 0;
};

struct AudioTrack {
    int number = 0;
    uint32_t startLba = 0;
    uint32_t lengthLba = 0;
};

// What the drive layer learns from the machine: the mount table, the block devices of sysfs,
// the optical drives' ioctls and the file systems' labels. LinuxDriveProbe reads the real
// machine; tests give it a scripted mount table and a folder shaped like sysfs, and script
// the disc states of the optical drives.
class PLAT_DRIVES_API DriveProbe {
public:
    virtual ~DriveProbe() = default;
    // Text in the format of /proc/self/mountinfo.
    virtual bool ReadMountTable(std::string& text) = 0;
    virtual BlockKind Classify(unsigned major, unsigned minor) = 0;
    // Device numbers of a block device node ("/dev/sdb1"); for file systems in user space,
    // whose mount table lines carry no device number of their own.
    virtual bool DeviceNumbers(const std::string& node, unsigned& major, unsigned& minor) = 0;
    // The optical drives, in name order.
    virtual std::vector<OpticalDrive> OpticalDrives() = 0;
    virtual bool IsDvdDrive(const std::string& device) = 0;
    virtual DiscStatus Disc(const std::string& device) = 0;
    // Whether the drive saw its disc change since it was last asked; asks the drive, reads
    // nothing from the disc.
    virtual bool DiscChanged(const std::string& device) = 0;
    virtual std::vector<AudioTrack> AudioTracks(const std::string& device) = 0;
    // Label, id and root names of the data disc in `device`, read from the device itself (for a
    // disc nobody mounted).
    virtual bool ReadDisc(const std::string& device, DiscVolume& out) = 0;
    // Label and serial number of the file system on `source` (a device or an image file),
    // mounted at `mountPoint` ("" when not mounted).
    virtual bool VolumeInfo(const std::string& source, const std::string& mountPoint,
                            std::u16string& label, uint32_t& serial) = 0;
    // A private folder for generated drive folders (audio CDs); "" when none can be made.
    virtual std::string ScratchDir() = 0;
    // Mounts the data disc in `device` (DiscMount.h); runs on a thread of its own, so it must
    // not touch the probe's other state. `folder` is the unit's own place for it.
    virtual bool MountDisc(const std::string& device, const std::string& folder,
                           std::string& mountPoint, std::string& why) = 0;
    // Asks a MountDisc in flight to give up; any thread.
    virtual void CancelMount() = 0;
    virtual bool UnmountOwnFolder(const std::string& folder) = 0;
};

class PLAT_DRIVES_API LinuxDriveProbe : public DriveProbe {
public:
    struct Paths {
        std::string mountTable = "/proc/self/mountinfo";
        std::string sysRoot = "/sys";
        std::string devRoot = "/dev";
        std::string scratchDir;  // "" = a fresh folder under $XDG_RUNTIME_DIR or $TMPDIR
    };
    LinuxDriveProbe();
    explicit LinuxDriveProbe(Paths paths);
    ~LinuxDriveProbe() override;

    bool ReadMountTable(std::string& text) override;
    BlockKind Classify(unsigned major, unsigned minor) override;
    bool DeviceNumbers(const std::string& node, unsigned& major, unsigned& minor) override;
    std::vector<OpticalDrive> OpticalDrives() override;
    bool IsDvdDrive(const std::string& device) override;
    DiscStatus Disc(const std::string& device) override;
    bool DiscChanged(const std::string& device) override;
    std::vector<AudioTrack> AudioTracks(const std::string& device) override;
    bool ReadDisc(const std::string& device, DiscVolume& out) override;
    bool VolumeInfo(const std::string& source, const std::string& mountPoint, std::u16string& label,
                    uint32_t& serial) override;
    std::string ScratchDir() override;
    bool MountDisc(const std::string& device, const std::string& folder, std::string& mountPoint,
                   std::string& why) override;
    void CancelMount() override;
    bool UnmountOwnFolder(const std::string& folder) override;

private:
    Paths m_paths;
    bool m_ownScratch = false;
    // Block device name -> the optical drive it is, or none: read once per name, since the
    // list is asked for every second.
    std::map<std::string, std::pair<bool, OpticalDrive>> m_blockNames;
};

// Whether the drive holds a disc, as the check of the optical drive tells it.
enum class MediaState {
    Unknown,  // the drive could not be asked
    Present,
    Absent,
};

struct DriveInfo {
    char16_t letter = 0;
    int type = DRIVE_NO_ROOT_DIR;
    std::string root;    // the folder the letter's root maps onto; "" for an empty drive
    std::string device;  // the drive's device ("/dev/sr0", "/dev/sdb1"); "" for the base folder
    std::string source;  // what is mounted there (a device or an image file); "" when nothing
    // A data disc that nobody mounted: its root names, label and id were read from the device,
    // but its files cannot be opened until it is mounted.
    bool unmountedData = false;
};

class PLAT_DRIVES_API DriveMap {
public:
    explicit DriveMap(std::unique_ptr<DriveProbe> probe);
    // Waits for a mount in flight no longer than StopMounting does.
    ~DriveMap();
    DriveMap(const DriveMap&) = delete;
    DriveMap& operator=(const DriveMap&) = delete;

    // Reads the mount table again; drives that left free their letters, arrivals get one.
    void Refresh();
    // Letters are taken without regard to case.
    int GetDriveType(char16_t letter);
    DriveInfo Info(char16_t letter);
    std::vector<DriveInfo> List();
    bool IsDvdDrive(char16_t letter);
    MediaState MediaPresent(char16_t letter);
    // Names in the drive's root folder, in name order (the order of a disc's own directory),
    // without "." and "..". False when the drive has no readable root.
    bool ListRoot(char16_t letter, std::vector<std::string>& names);
    bool GetVolumeInformation(char16_t letter, std::u16string* label, uint32_t* serial);
    // "E:/Music/a.mp3" -> "<mount point of E>/Music/a.mp3"; other paths come back unchanged,
    // and so do paths on letters that map onto nothing.
    std::string MapPath(const std::string& path);
    // What the drive layer has to say since the last call (a disc it mounted, or why it could
    // not): lines for the unit's log.
    std::vector<std::string> TakeNotes();
    // The end of the session: a disc being mounted is called back and waited for at most a
    // quarter of a second of real time, then left behind (it touches nothing the map keeps).
    // A later refresh may mount again.
    void StopMounting();

private:
    struct Entry {
        DriveInfo info;
        std::string key;
        bool mounted = false;
    };
    // What was read from a data disc nobody mounted, kept until the disc leaves its drive.
    struct DiscRead {
        std::string device;
        bool ok = false;
        int tries = 0;
        DiscVolume volume;
    };
    // What a mounting thread shares with the map; the thread holds it (and the probe) for as
    // long as it runs, so a thread left behind at the end touches nothing that is gone.
    struct Mounting {
        std::mutex mutex;
        std::condition_variable done;
        bool running = false;
        std::vector<std::pair<std::string, std::string>> ownMounts;  // device -> our folder
        std::vector<std::string> notes;
    };
    void RefreshLocked();
    void EnsureLoadedLocked();
    void UpdateAudioFolderLocked(Entry& e, DiscStatus status);
    void UpdateOpticalLocked(Entry& e);
    void RequestMountLocked(const Entry& e, const DiscVolume& volume);
    // What was read from the disc of `e` when nobody mounted it; null otherwise.
    const DiscVolume* DiscReadLocked(const Entry* e) const;
    void ReleaseOwnMountsLocked();
    void StopMountingLocked(uint32_t waitMs);
    Entry* FindLocked(char16_t letter);

    std::mutex m_mutex;
    std::shared_ptr<DriveProbe> m_probe;
    bool m_loaded = false;
    std::vector<Entry> m_entries;                                     // sorted by letter
    std::vector<std::pair<std::string, char16_t>> m_lastSeen;         // key -> letter it last had
    std::vector<std::pair<std::string, std::string>> m_audioFolders;  // device -> TOC signature
    std::vector<DiscRead> m_discsRead;
    // Mounting a disc nobody mounted: one at a time, once per disc.
    std::thread m_mounter;
    std::shared_ptr<Mounting> m_mount;
    std::vector<std::pair<std::string, uint32_t>> m_mountTried;  // device, disc id
    // What the letters were last made from; when it is all the same, a refresh only asks the
    // optical drives about their discs.
    std::string m_lastMountTable;
    std::vector<OpticalDrive> m_lastOptical;
    std::string m_lastBase;
};

// The process-wide drive map, made with LinuxDriveProbe on first use.
PLAT_DRIVES_API DriveMap& Drives();
// Replaces the process-wide map (tests); null goes back to the real machine.
PLAT_DRIVES_API void SetDriveProbe(std::unique_ptr<DriveProbe> probe);

// The 44-byte entry the system has always shown for an audio track ("Track01.cda").
PLAT_DRIVES_API std::vector<uint8_t> MakeCdaEntry(const AudioTrack& track, uint32_t discSerial);

// The serial number of an ISO 9660 disc, summed byte-wise from its primary volume descriptor:
// the same disc gives the same number on every run, so names made from it stay valid.
PLAT_DRIVES_API uint32_t IsoVolumeSerial(const uint8_t* descriptor2048);

}  // namespace plat

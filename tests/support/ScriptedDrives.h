// A machine for drive tests: a mount table file, a folder shaped like sysfs with the block
// devices, folders to mount, and scripted disc states for the optical drives. The drive layer
// reads the files with its real code; only the optical drives' ioctls are scripted.
#pragma once

#include <condition_variable>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "platform/sys/Drives.h"
#include "tests/support/TestSupport.h"

namespace testsupport {

// Disc states of the optical drives, by device path.
struct ScriptedDiscs {
    std::mutex mutex;
    std::map<std::string, plat::DiscStatus> status;
    std::map<std::string, std::vector<plat::AudioTrack>> tracks;
    std::map<std::string, bool> dvd;
    std::map<std::string, std::pair<unsigned, unsigned>> nodes;  // device node -> numbers
    std::map<std::string, std::string> images;  // device -> image file standing in for it
    std::map<std::string, bool> changed;        // a disc came since the drive was last asked
    std::map<std::string, int> reads;           // reads of a disc nobody mounted
    // What asking for a mount answers: the mount point ("" refuses, with `mountWhy`).
    std::string mountPoint;
    std::string mountWhy = "no mounter on the scripted machine";
    std::vector<std::string> mountsAsked;
    // A mounter that does not answer until released, whatever it is told.
    bool mountsHang = false;
    int cancels = 0;
    std::condition_variable released;
};

class ScriptedDrives {
public:
    ScriptedDrives();
    ~ScriptedDrives();  // gives the process its real drives back

    // Block devices. Partitions take the flags of their disk.
    void AddDisk(const std::string& name, unsigned major, unsigned minor, bool removable);
    void AddPartition(const std::string& disk, const std::string& name, unsigned major,
                      unsigned minor);
    // Lines with device 0:N and this source, as file systems in user space write them.
    void MountInUserSpace(const std::string& node, unsigned major, unsigned minor,
                          const std::string& mountPoint, const std::string& fsType = "fuseblk");
    void AddOpticalDrive(const std::string& name, unsigned major, unsigned minor, bool dvd = true);
    // The device leaves the machine's list of block devices (a drive that is unplugged).
    void RemoveBlockDevice(const std::string& name);

    // A folder of the scripted machine (made when missing), to mount or fill.
    std::string Folder(const std::string& name);
    // Mount table lines; `source` is a device path or an image file.
    void Mount(const std::string& source, unsigned major, unsigned minor,
               const std::string& mountPoint, const std::string& fsType = "vfat");
    void Unmount(const std::string& mountPoint);
    // Lines written as they stand (damaged lines, system mounts).
    void AddRawLine(const std::string& line);

    void SetDisc(const std::string& device, plat::DiscStatus status,
                 std::vector<plat::AudioTrack> tracks = {});
    // A data disc that nobody mounts: the drive layer reads `image` as the device's contents.
    void InsertImage(const std::string& device, const std::string& image);
    // What the drive layer's requests to mount a disc answer; the devices it asked for.
    void AnswerMounts(const std::string& mountPoint, const std::string& why);
    std::vector<std::string> MountsAsked();
    // Requests to mount wait, deaf to being called back, until ReleaseMounts (or the end of
    // this machine); how often the drive layer called them back.
    void HangMounts();
    void ReleaseMounts();
    int MountCancels();
    // How often the drive layer read the disc of `device` from the device itself.
    int DiscReads(const std::string& device);

    // Makes this machine the process's drives (plat::Drives()).
    void Install();
    std::unique_ptr<plat::DriveProbe> MakeProbe();
    const std::string& Root() const { return m_dir.Path(); }

private:
    void WriteTable();
    void Link(const std::string& target, const std::string& link);

    TempDir m_dir;
    std::string m_sys;
    std::vector<std::string> m_lines;
    int m_nextId = 100;
    std::shared_ptr<ScriptedDiscs> m_discs;
};

// mkfs.vfat on an image file; false when the tool is missing.
bool MakeVfatImage(const std::string& path, const std::string& label, const std::string& serialHex);
// An ISO 9660 image with a primary volume descriptor (volume id `label`) and nothing else;
// returns the 2048 bytes of the descriptor.
std::vector<uint8_t> MakeIsoImage(const std::string& path, const std::string& label,
                                  uint8_t fill = 0);

// A data disc's image made with genisoimage (ISO 9660 with Joliet names, or plain ISO 9660
// level 1 names with `joliet` false): `entries` are made in its root, folders ending in '/'.
// False (with `why`) when the tool is missing or fails.
bool MakeDiscImage(const std::string& image, const std::vector<std::string>& entries,
                   const std::string& label, bool joliet = true, std::string* why = nullptr);

}  // namespace testsupport

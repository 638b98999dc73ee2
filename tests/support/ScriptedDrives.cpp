#include "tests/support/ScriptedDrives.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>

#include "platform/io/File.h"
#include "platform/text/Text.h"
#include "tests/media/TestMedia.h"

namespace testsupport {

namespace {

// Blanks, tabs, newlines and backslashes are written as octal escapes, as the kernel does.
std::string Escape(const std::string& s) {
    std::string out;
    for (char c : s) {
        if (c == ' ' || c == '\t' || c == '\n' || c == '\\')
            out += plat::FormatNarrow("\\%03o", static_cast<unsigned char>(c));
        else
            out += c;
    }
    return out;
}

class ScriptedProbe final : public plat::LinuxDriveProbe {
public:
    ScriptedProbe(Paths paths, std::shared_ptr<ScriptedDiscs> discs)
        : LinuxDriveProbe(std::move(paths)), m_discs(std::move(discs)) {}

    bool IsDvdDrive(const std::string& device) override {
        std::lock_guard<std::mutex> lock(m_discs->mutex);
        auto it = m_discs->dvd.find(device);
        return it != m_discs->dvd.end() && it->second;
    }
    plat::DiscStatus Disc(const std::string& device) override {
        std::lock_guard<std::mutex> lock(m_discs->mutex);
        auto it = m_discs->status.find(device);
        return it == m_discs->status.end() ? plat::DiscStatus::NoDrive : it->second;
    }
    bool DiscChanged(const std::string& device) override {
        std::lock_guard<std::mutex> lock(m_discs->mutex);
        bool& changed = m_discs->changed[device];
        const bool was = changed;
        changed = false;
        return was;
    }
    bool DeviceNumbers(const std::string& node, unsigned& major, unsigned& minor) override {
        std::lock_guard<std::mutex> lock(m_discs->mutex);
        auto it = m_discs->nodes.find(node);
        if (it == m_discs->nodes.end())
            return false;
        major = it->second.first;
        minor = it->second.second;
        return true;
    }
    std::vector<plat::AudioTrack> AudioTracks(const std::string& device) override {
        std::lock_guard<std::mutex> lock(m_discs->mutex);
        auto it = m_discs->tracks.find(device);
        return it == m_discs->tracks.end() ? std::vector<plat::AudioTrack>{} : it->second;
    }
    bool ReadDisc(const std::string& device, plat::DiscVolume& out) override {
        std::string image;
        {
            std::lock_guard<std::mutex> lock(m_discs->mutex);
            auto it = m_discs->images.find(device);
            if (it == m_discs->images.end())
                return false;
            image = it->second;
            ++m_discs->reads[device];
        }
        return plat::ReadDiscVolume(image, out);
    }
    bool MountDisc(const std::string& device, const std::string&, std::string& mountPoint,
                   std::string& why) override {
        std::unique_lock<std::mutex> lock(m_discs->mutex);
        m_discs->mountsAsked.push_back(device);
        m_discs->released.wait(lock, [&] { return !m_discs->mountsHang; });
        mountPoint = m_discs->mountPoint;
        why = m_discs->mountWhy;
        return !mountPoint.empty();
    }
    void CancelMount() override {
        std::lock_guard<std::mutex> lock(m_discs->mutex);
        ++m_discs->cancels;
    }
    bool UnmountOwnFolder(const std::string&) override { return false; }

private:
    std::shared_ptr<ScriptedDiscs> m_discs;
};

void MakeDirs(const std::string& path) {
    std::error_code ec;
    std::filesystem::create_directories(path, ec);
}

}  // namespace

ScriptedDrives::ScriptedDrives() : m_discs(std::make_shared<ScriptedDiscs>()) {
    m_sys = m_dir.File("sys");
    MakeDirs(m_sys + "/dev/block");
    MakeDirs(m_sys + "/class/block");
    MakeDirs(m_sys + "/devices/block");
    // The system's own mounts, which never become drives.
    AddRawLine("1 0 254:0 / / rw,relatime shared:1 - ext4 /dev/vda rw");
    AddRawLine("2 1 0:21 / /proc rw,nosuid - proc proc rw");
    AddRawLine("3 1 254:0 /etc/hosts /etc/hosts rw - ext4 /dev/vda rw");
    AddRawLine("4 1 0:30 / " + Escape(m_dir.File("tmpfs")) + " rw - tmpfs tmpfs rw");
    AddDisk("vda", 254, 0, false);
}

ScriptedDrives::~ScriptedDrives() {
    ReleaseMounts();
    plat::SetDriveProbe(nullptr);
}

void ScriptedDrives::Link(const std::string& target, const std::string& link) {
    std::error_code ec;
    std::filesystem::create_directory_symlink(target, link, ec);
    ASSERT_FALSE(ec) << link;
}

void ScriptedDrives::AddDisk(const std::string& name, unsigned major, unsigned minor,
                             bool removable) {
    std::string dir = m_sys + "/devices/block/" + name;
    MakeDirs(dir + "/device");
    WriteText(dir + "/removable", removable ? "1\n" : "0\n");
    WriteText(dir + "/device/type", "0\n");
    WriteText(dir + "/dev", plat::FormatNarrow("%u:%u\n", major, minor));
    Link("../../devices/block/" + name,
         m_sys + plat::FormatNarrow("/dev/block/%u:%u", major, minor));
    Link("../../devices/block/" + name, m_sys + "/class/block/" + name);
}

void ScriptedDrives::AddPartition(const std::string& disk, const std::string& name, unsigned major,
                                  unsigned minor) {
    std::string dir = m_sys + "/devices/block/" + disk + "/" + name;
    MakeDirs(dir);
    WriteText(dir + "/partition", "1\n");
    WriteText(dir + "/dev", plat::FormatNarrow("%u:%u\n", major, minor));
    Link("../../devices/block/" + disk + "/" + name,
         m_sys + plat::FormatNarrow("/dev/block/%u:%u", major, minor));
    Link("../../devices/block/" + disk + "/" + name, m_sys + "/class/block/" + name);
}

void ScriptedDrives::AddOpticalDrive(const std::string& name, unsigned major, unsigned minor,
                                     bool dvd) {
    AddDisk(name, major, minor, true);
    WriteText(m_sys + "/devices/block/" + name + "/device/type", "5\n");
    std::lock_guard<std::mutex> lock(m_discs->mutex);
    m_discs->dvd["/dev/" + name] = dvd;
    m_discs->status["/dev/" + name] = plat::DiscStatus::NoDisc;
}

void ScriptedDrives::RemoveBlockDevice(const std::string& name) {
    std::error_code ec;
    std::filesystem::remove(m_sys + "/class/block/" + name, ec);
    ASSERT_FALSE(ec) << name;
}

std::string ScriptedDrives::Folder(const std::string& name) {
    std::string path = m_dir.File(name);
    MakeDirs(path);
    return path;
}

void ScriptedDrives::Mount(const std::string& source, unsigned major, unsigned minor,
                           const std::string& mountPoint, const std::string& fsType) {
    MakeDirs(mountPoint);
    m_lines.push_back(plat::FormatNarrow("%d 1 %u:%u / %s rw,nosuid,relatime shared:%d - %s %s rw",
                                         m_nextId, major, minor, Escape(mountPoint).c_str(),
                                         m_nextId, fsType.c_str(), Escape(source).c_str()));
    ++m_nextId;
    WriteTable();
}

void ScriptedDrives::MountInUserSpace(const std::string& node, unsigned major, unsigned minor,
                                      const std::string& mountPoint, const std::string& fsType) {
    {
        std::lock_guard<std::mutex> lock(m_discs->mutex);
        m_discs->nodes[node] = {major, minor};
    }
    Mount(node, 0, static_cast<unsigned>(60 + m_nextId), mountPoint, fsType);
}

void ScriptedDrives::Unmount(const std::string& mountPoint) {
    std::string field = " " + Escape(mountPoint) + " ";
    m_lines.erase(
        std::remove_if(m_lines.begin(), m_lines.end(),
                       [&](const std::string& l) { return l.find(field) != std::string::npos; }),
        m_lines.end());
    WriteTable();
}

void ScriptedDrives::AddRawLine(const std::string& line) {
    m_lines.push_back(line);
    WriteTable();
}

void ScriptedDrives::SetDisc(const std::string& device, plat::DiscStatus status,
                             std::vector<plat::AudioTrack> tracks) {
    std::lock_guard<std::mutex> lock(m_discs->mutex);
    m_discs->status[device] = status;
    m_discs->tracks[device] = std::move(tracks);
    m_discs->changed[device] = true;
}

void ScriptedDrives::InsertImage(const std::string& device, const std::string& image) {
    std::lock_guard<std::mutex> lock(m_discs->mutex);
    m_discs->status[device] = plat::DiscStatus::Data;
    m_discs->tracks[device].clear();
    m_discs->images[device] = image;
    m_discs->changed[device] = true;
}

void ScriptedDrives::AnswerMounts(const std::string& mountPoint, const std::string& why) {
    std::lock_guard<std::mutex> lock(m_discs->mutex);
    m_discs->mountPoint = mountPoint;
    m_discs->mountWhy = why;
}

std::vector<std::string> ScriptedDrives::MountsAsked() {
    std::lock_guard<std::mutex> lock(m_discs->mutex);
    return m_discs->mountsAsked;
}

void ScriptedDrives::HangMounts() {
    std::lock_guard<std::mutex> lock(m_discs->mutex);
    m_discs->mountsHang = true;
}

void ScriptedDrives::ReleaseMounts() {
    {
        std::lock_guard<std::mutex> lock(m_discs->mutex);
        m_discs->mountsHang = false;
    }
    m_discs->released.notify_all();
}

int ScriptedDrives::MountCancels() {
    std::lock_guard<std::mutex> lock(m_discs->mutex);
    return m_discs->cancels;
}

int ScriptedDrives::DiscReads(const std::string& device) {
    std::lock_guard<std::mutex> lock(m_discs->mutex);
    auto it = m_discs->reads.find(device);
    return it == m_discs->reads.end() ? 0 : it->second;
}

void ScriptedDrives::WriteTable() {
    std::string text;
    for (const std::string& l : m_lines)
        text += l + "\n";
    WriteText(m_dir.File("mountinfo"), text);
}

std::unique_ptr<plat::DriveProbe> ScriptedDrives::MakeProbe() {
    plat::LinuxDriveProbe::Paths paths;
    paths.mountTable = m_dir.File("mountinfo");
    paths.sysRoot = m_sys;
    paths.devRoot = "/dev";
    paths.scratchDir = m_dir.File("scratch");
    return std::make_unique<ScriptedProbe>(std::move(paths), m_discs);
}

void ScriptedDrives::Install() {
    plat::SetDriveProbe(MakeProbe());
}

bool MakeVfatImage(const std::string& path, const std::string& label,
                   const std::string& serialHex) {
    const char* tool = "/usr/sbin/mkfs.vfat";
    if (::access(tool, X_OK) != 0)
        return false;
    std::string cmd = plat::FormatNarrow("%s -C -n '%s' -i %s '%s' 1440 >/dev/null 2>&1", tool,
                                         label.c_str(), serialHex.c_str(), path.c_str());
    return std::system(cmd.c_str()) == 0;
}

std::vector<uint8_t> MakeIsoImage(const std::string& path, const std::string& label, uint8_t fill) {
    std::vector<uint8_t> image(18 * 2048, 0);
    uint8_t* pvd = image.data() + 16 * 2048;
    std::memset(pvd, fill, 2048);
    pvd[0] = 1;
    std::memcpy(pvd + 1, "CD001", 5);
    pvd[6] = 1;
    std::memset(pvd + 8, ' ', 64);
    std::memcpy(pvd + 8, "LINUX", 5);
    std::memcpy(pvd + 40, label.data(), std::min<size_t>(label.size(), 32));
    uint8_t* end = image.data() + 17 * 2048;
    end[0] = 255;
    std::memcpy(end + 1, "CD001", 5);
    end[6] = 1;
    WriteBytes(path, image);
    return std::vector<uint8_t>(pvd, pvd + 2048);
}

bool MakeDiscImage(const std::string& image, const std::vector<std::string>& entries,
                   const std::string& label, bool joliet, std::string* why) {
    const std::string tree = image + ".tree";
    std::error_code ec;
    std::filesystem::remove_all(tree, ec);
    MakeDirs(tree);
    for (const std::string& e : entries) {
        if (!e.empty() && e.back() == '/')
            MakeDirs(tree + "/" + e.substr(0, e.size() - 1));
        else
            WriteText(tree + "/" + e, "x");
    }
    std::vector<std::string> argv = {"genisoimage", "-quiet", "-V", label, "-o", image};
    if (joliet)
        argv.push_back("-J");
    argv.push_back(tree);
    const std::string log = image + ".log";
    const bool ok = testmedia::RunTool(argv, 20000, log);
    if (!ok && why)
        *why = "genisoimage failed: " + ReadText(log);
    std::filesystem::remove_all(tree, ec);
    return ok;
}

}  // namespace testsupport

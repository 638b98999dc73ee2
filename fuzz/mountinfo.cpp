// The mount table parser and the drive letters made from whatever table it gives.
#include <cstdint>
#include <memory>
#include <string>

#include "platform/sys/Drives.h"
#include "platform/sys/MountTable.h"

namespace {

// A machine whose mount table is the input; device numbers decide the kind of each device.
class TableProbe final : public plat::DriveProbe {
public:
    explicit TableProbe(std::string* text) : m_text(text) {}
    bool ReadMountTable(std::string& text) override {
        text = *m_text;
        return true;
    }
    plat::BlockKind Classify(unsigned major, unsigned) override {
        switch (major % 4) {
            case 0:
                return plat::BlockKind::None;
            case 1:
                return plat::BlockKind::Fixed;
            case 2:
                return plat::BlockKind::Removable;
            default:
                return plat::BlockKind::Optical;
        }
    }
    bool DeviceNumbers(const std::string& node, unsigned& major, unsigned& minor) override {
        major = static_cast<unsigned>(node.size());
        minor = 1;
        return node.size() % 2 == 0;
    }
    std::vector<plat::OpticalDrive> OpticalDrives() override { return {}; }
    bool IsDvdDrive(const std::string&) override { return true; }
    plat::DiscStatus Disc(const std::string&) override { return plat::DiscStatus::NoDisc; }
    bool DiscChanged(const std::string&) override { return false; }
    std::vector<plat::AudioTrack> AudioTracks(const std::string&) override { return {}; }
    bool ReadDisc(const std::string&, plat::DiscVolume&) override { return false; }
    bool MountDisc(const std::string&, const std::string&, std::string&, std::string&) override {
        return false;
    }
    void CancelMount() override {}
    bool UnmountOwnFolder(const std::string&) override { return false; }
    bool VolumeInfo(const std::string&, const std::string&, std::u16string&, uint32_t&) override {
        return false;
    }
    std::string ScratchDir() override { return ""; }

private:
    std::string* m_text;
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    std::string text(reinterpret_cast<const char*>(data), size);
    for (const plat::MountEntry& e : plat::ParseMountInfo(text)) {
        if (e.mountPoint.empty() || e.mountPoint[0] != '/' || e.root.empty())
            __builtin_trap();
    }
    std::string table = text;
    plat::DriveMap map(std::make_unique<TableProbe>(&table));
    map.Refresh();
    // Half the table goes away, then all of it comes back: letters must stay consistent.
    table = text.substr(0, text.size() / 2);
    map.Refresh();
    table = text;
    map.Refresh();
    bool used[26] = {};
    for (const plat::DriveInfo& d : map.List()) {
        if (d.letter < u'C' || d.letter > u'Z' || used[d.letter - u'A'])
            __builtin_trap();
        used[d.letter - u'A'] = true;
        map.MapPath(std::string(1, static_cast<char>(d.letter)) + ":/x");
    }
    return 0;
}

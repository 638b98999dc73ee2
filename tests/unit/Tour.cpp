#include "tests/unit/Tour.h"

#include <filesystem>
#include <fstream>
#include <map>
#include <sstream>

#include "apps/home/HomepageDlg.h"
#include "core/kernel/AppPaths.h"
#include "core/kernel/CfgData.h"
#include "core/kernel/SysSettings.h"
#include "core/shell/LockTable.h"
#include "core/shell/SeatCtrlDlg.h"
#include "core/ui/WindowMessages.h"
#include "apps/phone/PhoneBook.h"
#include "apps/radio/RadioSettings.h"
#include "platform/io/File.h"
#include "platform/io/PortMap.h"
#include "platform/sys/Module.h"
#include "platform/ui/Ui.h"
#include "tests/harness/SkinProbe.h"
#include "tests/media/TestMedia.h"
#include "tests/support/TestSupport.h"

namespace fs = std::filesystem;

namespace tour {

std::string SourceDir() {
    return VELKORA_SOURCE_DIR;
}

std::string PicturesDir() {
    return plat::ExecutableDir() + "/../tour-pictures";
}

std::vector<emu::BTPhoneBookEntry> DemoPhoneBook() {
    std::vector<emu::BTPhoneBookEntry> out;
    std::ifstream in(SourceDir() + "/devices/demo-phonebook.txt");
    std::string line;
    while (std::getline(in, line)) {
        if (line.empty() || line[0] == '#')
            continue;
        std::istringstream fields(line);
        std::string memory, number, name;
        if (!std::getline(fields, memory, ';') || !std::getline(fields, number, ';') ||
            !std::getline(fields, name))
            continue;
        emu::BTPhoneBookEntry e;
        e.memory = std::atoi(memory.c_str());
        e.number = number;
        e.name = name;
        out.push_back(e);
    }
    return out;
}

namespace {

// A picture of bands and a gradient, as a JPEG made by GStreamer like the demo run's.
void DemoPicture(const std::string& path, const char* pattern, int w, int h) {
    fs::create_directories(fs::path(path).parent_path());
    EXPECT_TRUE(testmedia::RunTool(
        {"gst-launch-1.0", "-q", "videotestsrc", "num-buffers=1", std::string("pattern=") + pattern,
         "!", "video/x-raw,width=" + std::to_string(w) + ",height=" + std::to_string(h), "!",
         "jpegenc", "!", "filesink", "location=" + path}))
        << path;
}

void CopyInto(const std::string& from, const std::string& to) {
    fs::create_directories(fs::path(to).parent_path());
    std::error_code ec;
    fs::copy_file(from, to, fs::copy_options::overwrite_existing, ec);
    EXPECT_FALSE(ec) << to << ": " << ec.message();
}

}  // namespace

void MakeDemoMedia(const std::string& base) {
    const std::string media = base + "/Velkora Media";
    const std::string mp3 = testmedia::Mp3();
    CopyInto(mp3, media + "/Music/Demo Tones/Low/Tone 220 Hz.mp3");
    CopyInto(mp3, media + "/Music/Demo Tones/High/Tone 880 Hz.mp3");
    CopyInto(mp3, media + "/Music/Single A.mp3");
    CopyInto(testmedia::VideoMp4(), media + "/Movie/Colour Bars.mp4");
    DemoPicture(media + "/Photo/Demo Pictures/Colour Bars.jpg", "smpte", 640, 400);
    DemoPicture(media + "/Photo/Demo Pictures/Circles.jpg", "circular", 320, 240);
}

int Differences(const plat::Surface& a, const plat::Surface& b) {
    if (a.Width() != b.Width() || a.Height() != b.Height())
        return a.Width() * a.Height();
    int n = 0;
    for (int y = 0; y < a.Height(); ++y)
        for (int x = 0; x < a.Width(); ++x)
            n += a.PixelAt(x, y) != b.PixelAt(x, y);
    return n;
}

int OffBackground(const plat::Surface& s) {
    std::map<uint32_t, int> count;
    for (int y = 0; y < s.Height(); ++y)
        for (int x = 0; x < s.Width(); ++x)
            ++count[s.PixelAt(x, y)];
    int most = 0;
    for (const auto& c : count)
        most = std::max(most, c.second);
    return s.Width() * s.Height() - most;
}

// ---- The demo unit ---------------------------------------------------------------------------

DemoUnit::DemoUnit() {
    emu::BTModuleSettings bt;
    bt.paired = true;
    bt.phoneBook = DemoPhoneBook();
    m_phone = std::make_unique<emu::BTModuleEmulator>(bt);
    EXPECT_TRUE(m_phone->Start());
    const std::string device = m_phone->DevicePath();

    harness::HeadUnitOptions options;
    options.boardScript = testsupport::ReadText(SourceDir() + "/devices/demo-stations.txt");
    options.prepare = [device](const std::string& base) {
        EXPECT_TRUE(plat::SetPortMapEntry(base + "/" + plat::kPortMapFile, "com4", device));
        MakeDemoMedia(base);
    };
    m_unit = std::make_unique<harness::HeadUnit>(options);
}

DemoUnit::~DemoUnit() {
    m_unit.reset();
    m_phone.reset();
}

bool DemoUnit::Start() {
    return m_unit->Start();
}

// ---- The tour --------------------------------------------------------------------------------

plat::Surface Tour::Take(int app, const std::string& name, std::string* file) {
    EXPECT_EQ(m_unit.Seat(m_seat)->m_iCurrentApp, app) << name;
    CVelkoraAppDlg* page = m_unit.Page(m_seat, app);
    EXPECT_NE(page, nullptr) << name << " has no page on seat " << m_seat;
    if (!page || m_unit.Seat(m_seat)->m_iCurrentApp != app)
        return plat::Surface();
    EXPECT_TRUE(page->IsVisible()) << name;
    // What the page draws on its first paints (a picture loaded, a list filled) is there.
    plat::ui::InvalidateRect(m_unit.Seat(m_seat)->Id());
    m_unit.Advance(100);
    const plat::Surface shot = m_unit.Screen(m_seat);
    EXPECT_FALSE(shot.IsEmpty());

    char buffer[160];
    std::snprintf(buffer, sizeof buffer, "%s-%02d-%s.png", m_seat ? "rear" : "front", ++m_count,
                  name.c_str());
    *file = buffer;
    std::error_code ec;
    fs::create_directories(PicturesDir(), ec);
    EXPECT_TRUE(plat::ui::SavePng(shot, PicturesDir() + "/" + buffer)) << buffer;
    m_shown.push_back(app);
    return shot;
}

void Tour::Shoot(int app, const std::string& name) {
    std::string file;
    const plat::Surface shot = Take(app, name, &file);
    if (shot.IsEmpty())
        return;
    // A page that drew nothing leaves the seat's plain screen.
    const int area = shot.Width() * shot.Height();
    EXPECT_GT(OffBackground(shot), area / 100) << file << " is a plain screen";
    if (!m_last.IsEmpty()) {
        EXPECT_GT(Differences(shot, m_last), area / 200) << file << " looks like the page before";
    }
    m_last = shot;
}

void Tour::ShootPlain(int app, const std::string& name, uint32_t argb) {
    std::string file;
    const plat::Surface shot = Take(app, name, &file);
    if (shot.IsEmpty())
        return;
    EXPECT_TRUE(
        harness::Filled(shot, plat::Rect::FromXYWH(0, 0, shot.Width(), shot.Height()), argb))
        << file;
    m_last = shot;
}

void Tour::Icon(const std::string& appKey) {
    int page = 0;
    const plat::Point p = harness::HomepageIconCentre(m_seat, appKey, &page);
    ASSERT_GE(page, 1) << appKey;
    auto* home = static_cast<CHomepageDlg*>(m_unit.Page(m_seat, APPTYPE_HOMEPAGE));
    ASSERT_NE(home, nullptr);
    // The homepage's page buttons (the skin's NextPage/PrevPage, NextRear/PrevRear).
    const int top = m_seat ? 220 : 160;
    const int base = m_seat ? 800 : 0;
    for (int i = 0; i < 4 && home->m_byCurrPage + 1 != page; ++i) {
        const int x = home->m_byCurrPage + 1 < page ? 760 : 40;
        m_unit.Tap(base + x, top + 40);
        m_unit.Advance(100);
    }
    ASSERT_EQ(home->m_byCurrPage + 1, page) << appKey;
    m_unit.Tap(p.x, p.y);
    m_unit.Advance(200);
}

void Tour::TapAt(const plat::Rect& r) {
    m_unit.Tap((m_seat ? 800 : 0) + (r.left + r.right) / 2, (r.top + r.bottom) / 2);
    m_unit.Advance(100);
}

void Tour::Key(int code, int app) {
    char command[32];
    std::snprintf(command, sizeof command, "key 0x10 0x%02x", code);
    ASSERT_TRUE(m_unit.Board().Command(command));
    ASSERT_TRUE(m_unit.WaitFor([&] { return m_unit.Seat(m_seat)->m_iCurrentApp == app; }))
        << "key " << command << " did not lead to page " << app;
    m_unit.Advance(100);
}

void Tour::Switch(int app, int caller) {
    intptr_t result = -1;
    ASSERT_TRUE(plat::ui::SendMessage(m_unit.Main()->Id(), WM_SWITCH_APP, m_seat,
                                      (caller << 16) | app, &result));
    plat::ui::InvalidateRect(m_unit.Seat(m_seat)->Id());
    m_unit.Advance(100);
    ASSERT_EQ(m_unit.Seat(m_seat)->m_iCurrentApp, app);
}

void Tour::Home() {
    Switch(APPTYPE_HOMEPAGE);
}

// ---- Stored files ----------------------------------------------------------------------------

void ExpectStoredFilesWhole(const std::string& base) {
    // Each file at its exact size, or absent.
    const std::pair<std::string, uintmax_t> sized[] = {
        {SYS_SETTINGS_DB, SYS_SETTINGS_SIZE},
        {CFG_SETTINGS_DB, CFG_SETTINGS_SIZE},
        {std::string("Skin/Default/Homepage/") + HOMEPAGE_DB, HOMEPAGE_LAYOUT_SIZE},
        {LOCK_INFO_FILE, LOCK_INFO_BYTES},
        {APP_PATHS_DB, APP_PATHS_SIZE},
        {"RadioSettings.db", RADIO_SETTINGS_SIZE},
        {PHONEBOOK_FILE, PHONEBOOK_FILE_BYTES},
    };
    for (const auto& [name, size] : sized) {
        const std::string path = base + "/" + name;
        std::error_code ec;
        if (!fs::exists(path, ec))
            continue;
        EXPECT_EQ(fs::file_size(path, ec), size) << name;
    }
    SYS_SETTINGS s;
    if (testsupport::Exists(base + "/" + SYS_SETTINGS_DB)) {
        EXPECT_TRUE(ReadSettingsBlock(testsupport::ReadBytes(base + "/" + SYS_SETTINGS_DB), s));
    }
    // No save left its temporary file behind (the skin's folders are the build's, but for the
    // homepage folder, which is the base folder's own).
    std::error_code ec;
    for (auto it = fs::recursive_directory_iterator(base, ec);
         !ec && it != fs::recursive_directory_iterator(); it.increment(ec)) {
        EXPECT_FALSE(plat::IsAtomicTempName(it->path().filename().string()))
            << it->path() << " is left of a save";
    }
}

}  // namespace tour

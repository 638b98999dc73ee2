#include "apps/media/MediaListHandlers.h"

#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <set>
#include <string>
#include <vector>

#include "core/kernel/Kernel.h"
#include "library/include/Vantrel.h"
#include "platform/text/Text.h"
#include "tests/harness/HeadUnitFixture.h"
#include "tests/support/ScriptedDrives.h"

using namespace pagetest;
using KvMultimedia::IKvPlaylist;
using KvMultimedia::IKvPListContainer;
using KvUserInterface::IKvListbox;

namespace fs = std::filesystem;

namespace {

struct Row {
    std::string text;  // the name as the row keeps it
    std::string folder;
    uint16_t kind;
};

std::vector<Row> Rows(IKvListbox* list) {
    std::vector<Row> rows;
    int count = 0;
    list->GetCount(&count);
    for (int i = 0; i < count; ++i) {
        const UI_LIST_ROW* r = ListRowAt(list, i);
        if (r)
            rows.push_back(
                {plat::Utf16ToUtf8(r->szName), plat::Utf16ToUtf8(r->szFolder), r->wKind});
    }
    return rows;
}

std::vector<std::string> Names(IKvListbox* list) {
    std::vector<std::string> names;
    for (const Row& r : Rows(list))
        names.push_back(r.text);
    return names;
}

void Touch(const std::string& path) {
    fs::create_directories(fs::path(path).parent_path());
    WriteText(path, "x");
}

class MediaListHandlers : public HeadUnitTest {
protected:
    void SetUp() override {
        HeadUnitTest::SetUp();
        m_drives.AddDisk("sdb", 8, 16, true);
        m_drives.AddPartition("sdb", "sdb1", 8, 17);
        m_drives.AddDisk("sdc", 8, 32, true);
        m_drives.AddPartition("sdc", "sdc1", 8, 33);
        m_drives.Install();
        m_kernel = StartKernel();
        ASSERT_TRUE(m_kernel && m_kernel->m_pRoot);
        ASSERT_EQ(m_kernel->m_pRoot->CreateListbox(&m_list), RZ_OK);
        ASSERT_EQ(m_kernel->m_pRoot->CreateListbox(&m_files), RZ_OK);
    }
    void TearDown() override {
        if (m_list)
            m_list->Release();
        if (m_files)
            m_files->Release();
        HeadUnitTest::TearDown();
    }

    // The drive snapshot as the kernel's once-a-second scan leaves it.
    void Rescan() { m_kernel->RetrieveDrive(); }

    testsupport::ScriptedDrives m_drives;
    CKernel* m_kernel = nullptr;
    IKvListbox* m_list = nullptr;
    IKvListbox* m_files = nullptr;
};

}  // namespace

TEST_F(MediaListHandlers, TopLevelShowsMyMusicTheSticksWithMusicAndTheDiscByItsType) {
    // The first stick holds no music: the second, unlabelled, is still "Storage 02".
    Touch(m_drives.Folder("first") + "/notes.txt");
    Touch(m_drives.Folder("second") + "/Songs/a.mp3");
    m_drives.Mount("/dev/sdb1", 8, 17, m_drives.Folder("first"));
    m_drives.Mount("/dev/sdc1", 8, 33, m_drives.Folder("second"));
    Rescan();
    CDriveListHandler drives(m_list, MEDIA_KIND_MUSIC);
    drives.ListDrives();
    std::vector<Row> rows = Rows(m_list);
    ASSERT_EQ(rows.size(), 2u);
    EXPECT_EQ(rows[0].text, "My Music");
    EXPECT_EQ(rows[0].folder, "D:\\Velkora Media\\Music");
    EXPECT_EQ(rows[1].text, "Storage 02");
    EXPECT_EQ(rows[1].folder, "f:\\");
    EXPECT_EQ(rows[1].kind, ROW_NAVIGATION);

    // A labelled stick shows its label.
    const std::string image = m_drives.Folder("images") + "/stick.img";
    if (testsupport::MakeVfatImage(image, "ROADTRIP", "12345678")) {
        m_drives.Unmount(m_drives.Folder("first"));
        Touch(m_drives.Folder("first") + "/b.WAV");
        m_drives.Mount(image, 8, 17, m_drives.Folder("first"));
        Rescan();
        drives.ListDrives();
        EXPECT_EQ(Names(m_list), (std::vector<std::string>{"My Music", "ROADTRIP", "Storage 02"}));
    }

    // No optical drive: no disc row. With one, the row is named by the disc's type.
    EXPECT_EQ(CDriveListHandler::DiscRoot(), u"");
    const char* names[8] = {"No Disk",  "CD Disk", "VCD",     "DVD",
                            "Audio CD", "CD Disk", "CD Disk", "CD Disk"};
    for (uint8_t type = 0; type < 8; ++type) {
        {
            std::lock_guard<std::mutex> lock(m_kernel->m_hDriveMutex);
            m_kernel->m_DriveInfo.chDvd = u'e';
            m_kernel->m_DriveInfo.byDiscType = type;
        }
        drives.ListDrives();
        rows = Rows(m_list);
        ASSERT_FALSE(rows.empty());
        EXPECT_EQ(rows.back().text, names[type]) << int(type);
        EXPECT_EQ(rows.back().folder, "e:\\");
    }
    drives.m_bHideDisc = 1;
    drives.ListDrives();
    EXPECT_NE(Names(m_list).back(), "No Disk");
}

TEST_F(MediaListHandlers, EnteringAStickListsEveryMusicFolderOnceInPreOrder) {
    const std::string stick = m_drives.Folder("stick");
    Touch(stick + "/top.MP3");
    Touch(stick + "/Rock/Live/one.wav");
    Touch(stick + "/Rock/Studio/two.Mp3");
    Touch(stick + "/Rock/Studio/cover.jpg");
    Touch(stick + "/Jazz/aaa.mp3");  // its only song, whatever order the folder lists it in
    Touch(stick + "/Docs/readme.txt");
    Touch(stick + "/VCD/track.mp3");
    Touch(stick + "/Best of.. 2010/hit.wma");
    fs::create_directories(stick + "/Empty");
    // Links are not followed into folders: a circle and a link to music elsewhere.
    fs::create_directory_symlink(stick, stick + "/Rock/loop");
    fs::create_directory_symlink(stick + "/Jazz", stick + "/JazzLink");
    // A chain 40 folders deep, its song at the bottom.
    std::string deep = stick + "/deep";
    for (int i = 1; i <= 40; ++i)
        deep += "/d" + std::to_string(i);
    Touch(deep + "/bottom.mp3");
    Touch(stick + "/deep/d1/near.mp3");
    // A folder whose path does not fit a row is left out, not cut.
    std::string longer = stick + "/long";
    for (int i = 0; i < 5; ++i)
        longer += "/" + std::string(110, char('k' + i));
    Touch(longer + "/far.mp3");
    m_drives.Mount("/dev/sdb1", 8, 17, stick);
    Rescan();

    CDriveListHandler drives(m_list, MEDIA_KIND_MUSIC);
    drives.ListDrives();
    ASSERT_EQ(Names(m_list), (std::vector<std::string>{"My Music", "Storage 01"}));
    m_list->SetCurrentIndex(1);
    const auto started = std::chrono::steady_clock::now();
    drives.EnterSelected();
    EXPECT_LT(std::chrono::steady_clock::now() - started, std::chrono::seconds(2));
    EXPECT_TRUE(drives.Inside());

    std::vector<Row> rows = Rows(m_list);
    ASSERT_FALSE(rows.empty());
    EXPECT_EQ(rows[0].text, "Storage 01 (..)");
    EXPECT_EQ(rows[0].folder, "e:\\");
    // Every folder holding music once, in pre-order with the names in order, each row
    // named by its own folder.
    std::vector<std::string> folders;
    for (size_t i = 1; i < rows.size(); ++i) {
        folders.push_back(rows[i].folder);
        EXPECT_EQ(rows[i].kind, ROW_NAVIGATION);
        EXPECT_EQ(rows[i].folder.substr(rows[i].folder.rfind('\\') + 1), rows[i].text);
    }
    EXPECT_EQ(folders, (std::vector<std::string>{"e:\\Best of.. 2010", "e:\\deep\\d1", "e:\\Jazz",
                                                 "e:\\Rock\\Live", "e:\\Rock\\Studio", "e:\\VCD"}));
    // Into a folder row and back: the row of the storage place left is selected again.
    drives.GoUp();
    EXPECT_FALSE(drives.Inside());
    const UI_LIST_ROW* current = ListRowAt(m_list);
    ASSERT_NE(current, nullptr);
    EXPECT_EQ(std::u16string(current->szName), u"Storage 01");

    EXPECT_TRUE(CDriveListHandler::SearchMedia(MEDIA_KIND_MUSIC, u"e:\\"));
    EXPECT_FALSE(CDriveListHandler::HasMedia(MEDIA_KIND_MUSIC, u"e:\\Docs\\"));
    EXPECT_FALSE(CDriveListHandler::SearchMedia(MEDIA_KIND_PHOTO, u"e:\\Docs\\"));
    EXPECT_TRUE(CDriveListHandler::SearchMedia(MEDIA_KIND_PHOTO, u"e:\\"));
    EXPECT_FALSE(CDriveListHandler::SearchMedia(9, u"e:\\"));
}

TEST_F(MediaListHandlers, FileListShowsTheMusicOfOneFolderAndThePlaceholders) {
    const std::string folder = m_drives.Folder("music");
    for (const char* f : {"b.MP3", "a.wav", "c.Wma", "d.cda", "e.ogg", "f.txt", ".mp3"})
        Touch(folder + "/" + f);
    fs::create_directories(folder + "/sub.mp3");
    CFileListHandler files(m_files, MEDIA_KIND_MUSIC);
    files.FillFolder(plat::Utf8ToUtf16(folder) + u"\\");
    std::vector<Row> rows = Rows(m_files);
    std::set<std::string> names;
    for (const Row& r : rows) {
        names.insert(r.text);
        EXPECT_EQ(r.folder, folder);  // the trailing separator is dropped
        EXPECT_EQ(r.kind, ROW_FILE);
    }
    EXPECT_EQ(names, (std::set<std::string>{"a.wav", "b.MP3", "c.Wma", "d.cda"}));

    files.FillFolder(u"");
    EXPECT_EQ(Rows(m_files).size(), 4u) << "an empty path keeps the rows";
    files.FillFolder(u"No Files");
    rows = Rows(m_files);
    ASSERT_EQ(rows.size(), 1u);
    EXPECT_EQ(rows[0].text, "No Files");
    EXPECT_EQ(rows[0].folder, "No Files");
    EXPECT_EQ(rows[0].kind, ROW_FILE);

    // Rows that do not fit are refused, never cut.
    UI_LIST_ROW row;
    EXPECT_FALSE(MakeListRow(ROW_FILE, std::u16string(256, u'n'), u"f", row));
    EXPECT_FALSE(MakeListRow(ROW_FILE, u"n", std::u16string(513, u'f'), row));
    EXPECT_TRUE(MakeListRow(ROW_FILE, std::u16string(255, u'n'), std::u16string(512, u'f'), row));
    EXPECT_EQ(row.dwNext, 0u);
}

TEST_F(MediaListHandlers, PlaylistsAreNamedFromTheCountAndTheTemporaryOneIsNeverShownAsNew) {
    IKvPListContainer* container = nullptr;
    ASSERT_EQ(m_kernel->m_pRoot->CreatePListContainer(&container), RZ_OK);
    CPlaylistHandler handler(m_list, m_files);
    IKvPlaylist* made = nullptr;
    int index = 0;
    ASSERT_EQ(container->CreatePlaylist(u"Playlist02", &made, &index), RZ_OK);
    handler.FillPlaylists(container);
    handler.CreatePlaylist();
    EXPECT_EQ(Names(m_list), (std::vector<std::string>{"Playlist02", "Playlist03"}));
    EXPECT_TRUE(handler.PlaylistExists(u"Playlist03"));
    EXPECT_FALSE(handler.PlaylistExists(u"playlist03"));

    container->RemovePlaylist(u"Playlist02", 0);
    container->RemovePlaylist(u"Playlist03", 0);
    container->CreatePlaylist(u"Playlist01", &made, &index);
    container->CreatePlaylist(u"Playlist02", &made, &index);
    made->AddItem(u"one.mp3", u"e:\\Rock");
    made->AddItem(u"two.mp3", u"e:\\Jazz");
    handler.FillPlaylists(container);
    handler.CreatePlaylist();
    EXPECT_EQ(Names(m_list), (std::vector<std::string>{"Playlist01", "Playlist02", "Playlist03"}));

    handler.AddPlaylist(TEMP_PLAYLIST_NAME);
    EXPECT_EQ(Rows(m_list).size(), 3u);
    EXPECT_NE(handler.m_pHanded, nullptr) << "the temporary playlist stays handed out";
    EXPECT_TRUE(handler.PlaylistExists(TEMP_PLAYLIST_NAME));
    handler.FillPlaylists(container);
    EXPECT_EQ(Names(m_list).back(), "Temp-Playlist") << "listed once it is in the container";

    // A tap that activates a row opens its playlist into the file list.
    m_list->SetCurrentIndex(1);
    uint8_t action = KvUserInterface::LISTBOX_ACTION_ROW;
    handler.OnLButtonUp(0, 0, &action);
    std::vector<Row> files = Rows(m_files);
    ASSERT_EQ(files.size(), 2u);
    EXPECT_EQ(files[1].text, "two.mp3");
    EXPECT_EQ(files[1].folder, "e:\\Jazz");
    std::u16string name;
    IKvPlaylist* taken = nullptr;
    ASSERT_TRUE(handler.TakeSelected(name, &taken));
    EXPECT_EQ(name, u"Playlist02");
    EXPECT_EQ(taken, made);
    EXPECT_EQ(handler.m_pHanded, nullptr);
    container->Release();
}

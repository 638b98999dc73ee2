#include "platform/media/DvdDisc.h"

// clang-format off
#include <climits>  // before linux/cdrom.h, which uses INT_MAX
#include <linux/cdrom.h>
// clang-format on
#include <dvdnav/dvdnav.h>
#include <dvdread/dvd_reader.h>
#include <dvdread/ifo_read.h>
#include <dvdread/ifo_types.h>
#include <fcntl.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <memory>

#include "platform/io/File.h"
#include "platform/io/Path.h"
#include "platform/text/Text.h"

namespace plat {

namespace {

// The libraries report every missing file and the lack of a descrambler on stderr.
void QuietNav(void*, dvdnav_logger_level_t, const char*, va_list) {}
void QuietRead(void*, dvd_logger_level_t, const char*, va_list) {}

uint32_t OpsMask(const user_ops_t& u) {
    uint32_t m = 0;
    m |= uint32_t(u.title_or_time_play) << 0;
    m |= uint32_t(u.chapter_search_or_play) << 1;
    m |= uint32_t(u.title_play) << 2;
    m |= uint32_t(u.stop) << 3;
    m |= uint32_t(u.go_up) << 4;
    m |= uint32_t(u.time_or_chapter_search) << 5;
    m |= uint32_t(u.prev_or_top_pg_search) << 6;
    m |= uint32_t(u.next_pg_search) << 7;
    m |= uint32_t(u.forward_scan) << 8;
    m |= uint32_t(u.backward_scan) << 9;
    m |= uint32_t(u.title_menu_call) << 10;
    m |= uint32_t(u.root_menu_call) << 11;
    m |= uint32_t(u.subpic_menu_call) << 12;
    m |= uint32_t(u.audio_menu_call) << 13;
    m |= uint32_t(u.angle_menu_call) << 14;
    m |= uint32_t(u.chapter_menu_call) << 15;
    m |= uint32_t(u.resume) << 16;
    m |= uint32_t(u.button_select_or_activate) << 17;
    m |= uint32_t(u.still_off) << 18;
    m |= uint32_t(u.pause_on) << 19;
    m |= uint32_t(u.audio_stream_change) << 20;
    m |= uint32_t(u.subpic_stream_change) << 21;
    m |= uint32_t(u.angle_change) << 22;
    m |= uint32_t(u.karaoke_audio_pres_mode_change) << 23;
    m |= uint32_t(u.video_pres_mode_change) << 24;
    return m;
}

std::string LanguageCode(uint16_t code) {
    const char a = static_cast<char>((code >> 8) & 0xFF);
    const char b = static_cast<char>(code & 0xFF);
    if (a < 'a' || a > 'z' || b < 'a' || b > 'z')
        return "";
    return std::string{a, b};
}

struct IfoCloser {
    void operator()(ifo_handle_t* ifo) const { ifoClose(ifo); }
};
using Ifo = std::unique_ptr<ifo_handle_t, IfoCloser>;

constexpr size_t kSector = 2048;
constexpr size_t kTextPointer = 0xD4;  // sector of the text data in the video manager
// The block holds 99 titles' strings at most; more than this is not text data.
constexpr size_t kMaxTextBytes = 1 << 20;

// The text data of the video manager. The disc library reads only the block's header, so the
// block is read here as it stands in VIDEO_TS.IFO. True when there is none or it was read.
bool ReadText(dvd_reader_t* dvd, std::vector<DvdTextLanguage>* text) {
    text->clear();
    std::unique_ptr<dvd_file_t, void (*)(dvd_file_t*)> file(DVDOpenFile(dvd, 0, DVD_READ_INFO_FILE),
                                                            &DVDCloseFile);
    if (!file)
        return false;
    std::vector<uint8_t> head(kSector);
    if (DVDReadBytes(file.get(), head.data(), head.size()) != static_cast<ssize_t>(head.size()))
        return false;
    const uint64_t sector = uint32_t(head[kTextPointer]) << 24 |
                            uint32_t(head[kTextPointer + 1]) << 16 |
                            uint32_t(head[kTextPointer + 2]) << 8 | head[kTextPointer + 3];
    if (sector == 0)
        return true;
    const ssize_t blocks = DVDFileSize(file.get());
    if (blocks <= 0 || sector >= static_cast<uint64_t>(blocks) || sector * kSector > INT32_MAX)
        return false;
    const size_t bytes =
        std::min<uint64_t>((static_cast<uint64_t>(blocks) - sector) * kSector, kMaxTextBytes);
    std::vector<uint8_t> block(bytes);
    if (DVDFileSeek(file.get(), static_cast<int32_t>(sector * kSector)) < 0 ||
        DVDReadBytes(file.get(), block.data(), block.size()) != static_cast<ssize_t>(bytes))
        return false;
    return ParseDvdText(block.data(), block.size(), text);
}

}  // namespace

std::string DvdSourcePath(const std::string& path) {
    std::string p = ToNativeSeparators(path);
    while (p.size() > 1 && p.back() == '/')
        p.pop_back();
    if (StrCmpNoCase(Utf8ToUtf16(BaseName(p)), u"VIDEO_TS.IFO") == 0)
        p = DirName(p);
    if (StrCmpNoCase(Utf8ToUtf16(BaseName(p)), u"VIDEO_TS") == 0)
        p = DirName(p);
    return p.empty() ? "." : p;
}

bool DvdPresent(const std::string& path) {
    struct stat st;
    if (::stat(path.c_str(), &st) != 0)
        return false;
    if (S_ISDIR(st.st_mode))
        return IsRegularFile(ResolvePath(JoinPath(path, "VIDEO_TS/VIDEO_TS.IFO")));
    if (S_ISBLK(st.st_mode)) {
        File drive;
        if (!drive.Open(path, O_RDONLY | O_NONBLOCK))
            return false;
        const int status = ::ioctl(drive.Fd(), CDROM_DRIVE_STATUS, CDSL_CURRENT);
        // Not an optical drive: it is there as long as it opens.
        return status < 0 || status == CDS_DISC_OK;
    }
    return S_ISREG(st.st_mode);
}

const DvdTitle* DvdDisc::Title(int title) const {
    if (title < 1 || title > TitleCount())
        return nullptr;
    return &m_titles[static_cast<size_t>(title - 1)];
}

int DvdDisc::ChapterAt(int title, int64_t ns) const {
    const DvdTitle* t = Title(title);
    if (!t || t->chapterStarts.empty())
        return 0;
    int chapter = 1;
    for (size_t i = 0; i < t->chapterStarts.size(); ++i) {
        if (t->chapterStarts[i] <= ns)
            chapter = static_cast<int>(i) + 1;
    }
    return chapter;
}

uint32_t DvdDisc::MenuProhibited(int titleSet, int menuId) const {
    for (const auto& menu : m_menus) {
        if (menu.titleSet == titleSet && menu.menuId == menuId)
            return menu.prohibited;
    }
    return 0;
}

bool DvdDisc::Open(const std::string& path, std::string* error) {
    *this = DvdDisc();
    const std::string source = DvdSourcePath(path);
    auto fail = [&](const std::string& why) {
        if (error)
            *error = why + ": " + source;
        *this = DvdDisc();
        return false;
    };

    // The information files first: the navigator leaks a little on every disc it cannot open,
    // so it is only asked about discs that read.
    if (!DvdPresent(source))
        return fail("no DVD");
    dvd_logger_cb readLog = {&QuietRead};
    std::unique_ptr<dvd_reader_t, void (*)(dvd_reader_t*)> dvd(
        DVDOpen2(nullptr, &readLog, source.c_str()), &DVDClose);
    if (!dvd)
        return fail("not a readable DVD");
    Ifo vmg(ifoOpen(dvd.get(), 0));
    if (!vmg || !vmg->tt_srpt)
        return fail("no video manager on the DVD");
    m_textReadable = ReadText(dvd.get(), &m_text);
    if (vmg->pgci_ut && vmg->pgci_ut->nr_of_lus > 0 && vmg->pgci_ut->lu[0].pgcit) {
        const pgcit_t* pgcit = vmg->pgci_ut->lu[0].pgcit;
        for (int i = 0; i < pgcit->nr_of_pgci_srp; ++i) {
            if (pgcit->pgci_srp[i].pgc)
                m_menus.push_back(Menu{0, pgcit->pgci_srp[i].entry_id & 0x0F,
                                       OpsMask(pgcit->pgci_srp[i].pgc->prohibited_ops)});
        }
    }
    const int titleSets = vmg->vmgi_mat ? vmg->vmgi_mat->vmg_nr_of_title_sets : 0;
    std::vector<Ifo> sets(static_cast<size_t>(titleSets) + 1);
    for (int n = 1; n <= titleSets; ++n) {
        sets[static_cast<size_t>(n)].reset(ifoOpen(dvd.get(), n));
        const ifo_handle_t* vts = sets[static_cast<size_t>(n)].get();
        if (!vts || !vts->pgci_ut || vts->pgci_ut->nr_of_lus == 0 || !vts->pgci_ut->lu[0].pgcit)
            continue;
        const pgcit_t* pgcit = vts->pgci_ut->lu[0].pgcit;
        for (int i = 0; i < pgcit->nr_of_pgci_srp; ++i) {
            if (pgcit->pgci_srp[i].pgc)
                m_menus.push_back(Menu{n, pgcit->pgci_srp[i].entry_id & 0x0F,
                                       OpsMask(pgcit->pgci_srp[i].pgc->prohibited_ops)});
        }
    }

    // Titles and chapter times through the navigator's own reckoning.
    dvdnav_logger_cb navLog = {&QuietNav};
    dvdnav_t* nav = nullptr;
    if (dvdnav_open2(&nav, nullptr, &navLog, source.c_str()) != DVDNAV_STATUS_OK) {
        if (nav)
            dvdnav_close(nav);
        return fail("not a readable DVD");
    }
    std::unique_ptr<dvdnav_t, dvdnav_status_t (*)(dvdnav_t*)> navGuard(nav, &dvdnav_close);
    int32_t titles = 0;
    if (dvdnav_get_number_of_titles(nav, &titles) != DVDNAV_STATUS_OK || titles < 1)
        return fail("no titles on the DVD");
    m_titles.resize(static_cast<size_t>(titles));
    for (int32_t i = 1; i <= titles; ++i) {
        uint64_t* ends = nullptr;
        uint64_t duration = 0;
        const uint32_t chapters = dvdnav_describe_title_chapters(nav, i, &ends, &duration);
        DvdTitle& title = m_titles[static_cast<size_t>(i - 1)];
        title.duration = static_cast<int64_t>(duration) * 100000 / 9;  // 90 kHz -> ns
        // The library gives where each chapter ends; each starts where the one before ended.
        int64_t start = 0;
        for (uint32_t c = 0; c < chapters; ++c) {
            title.chapterStarts.push_back(start);
            start = static_cast<int64_t>(ends[c]) * 100000 / 9;
        }
        std::free(ends);
    }

    const int srpts = vmg->tt_srpt->nr_of_srpts;
    for (int i = 0; i < titles && i < srpts; ++i) {
        const title_info_t& info = vmg->tt_srpt->title[i];
        DvdTitle& title = m_titles[static_cast<size_t>(i)];
        title.titleSet = info.title_set_nr;
        title.prohibited = uint32_t(info.pb_ty.title_or_time_play) |
                           (uint32_t(info.pb_ty.chapter_search_or_play) << 1);
        if (info.title_set_nr < 1 || info.title_set_nr > titleSets)
            continue;
        const ifo_handle_t* vts = sets[info.title_set_nr].get();
        if (!vts || !vts->vtsi_mat)
            continue;
        const vtsi_mat_t* mat = vts->vtsi_mat;
        for (int a = 0; a < mat->nr_of_vts_audio_streams && a < 8; ++a) {
            const audio_attr_t& attr = mat->vts_audio_attr[a];
            title.audio.push_back(DvdAudioStream{attr.lang_type ? LanguageCode(attr.lang_code) : "",
                                                 attr.audio_format, attr.channels + 1});
        }
        for (int s = 0; s < mat->nr_of_vts_subp_streams && s < 32; ++s) {
            const subp_attr_t& attr = mat->vts_subp_attr[s];
            title.subpictures.push_back(attr.type ? LanguageCode(attr.lang_code) : "");
        }
        // Each chapter's program chain holds what it forbids; the title's first one stands for
        // the title.
        const uint32_t byType = title.prohibited;
        if (vts->vts_ptt_srpt && vts->vts_pgcit && info.vts_ttn >= 1 &&
            info.vts_ttn <= vts->vts_ptt_srpt->nr_of_srpts) {
            const ttu_t& unit = vts->vts_ptt_srpt->title[info.vts_ttn - 1];
            for (int c = 0; c < unit.nr_of_ptts; ++c) {
                const int pgcn = unit.ptt[c].pgcn;
                uint32_t mask = byType;
                if (pgcn >= 1 && pgcn <= vts->vts_pgcit->nr_of_pgci_srp &&
                    vts->vts_pgcit->pgci_srp[pgcn - 1].pgc)
                    mask |= OpsMask(vts->vts_pgcit->pgci_srp[pgcn - 1].pgc->prohibited_ops);
                title.chapterProhibited.push_back(mask);
            }
            if (!title.chapterProhibited.empty())
                title.prohibited = title.chapterProhibited[0];
        }
    }
    m_open = true;
    return true;
}

}  // namespace plat

// A skin's "DefaultLayout.ini" of any content, read by the configuration data for both seats
// through the library's ini reader: every cell placed lies inside the grid and the items of a
// page, holds an application the skin offers and has its button; the saved layout reads back.
#include <unistd.h>

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include "core/kernel/CfgData.h"
#include "fuzz/FuzzCheck.h"
#include "library/CVantrel.h"
#include "platform/io/File.h"
#include "platform/text/Text.h"

using fuzz::Check;

namespace {

// One folder for the whole run (base folder, skin "F"), removed at exit.
struct Folder {
    Folder() {
        char tmpl[] = "/tmp/fuzz-layout-XXXXXX";
        if (::mkdtemp(tmpl))
            path = tmpl;
        std::filesystem::create_directories(path + "/Skin/F/Homepage");
    }
    ~Folder() {
        std::error_code ec;
        std::filesystem::remove_all(path, ec);
    }
    std::string path;
};

const std::string& BaseDir() {
    static Folder folder;
    return folder.path;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    // Paths out of the skin folder would reach files of the machine (devices, pipes).
    for (size_t i = 0; i + 3 < size; i += 2) {
        if (data[i] == '.' && data[i + 1] == 0 && data[i + 2] == '.' && data[i + 3] == 0)
            return 0;
    }
    const std::string folder = BaseDir() + "/Skin/F/Homepage";
    plat::RemoveFile(folder + "/" HOMEPAGE_DB);
    if (!plat::WriteFileAtomic(folder + "/" HOMEPAGE_DEFAULT_INI, data, size))
        return 0;

    CCfgData cfg(CVantrel::GetInstance(), plat::Utf8ToUtf16(BaseDir()));
    plat::StrCopy(cfg.m_CfgSettings.szSkin, u"F");
    Check(cfg.LoadHomepage());
    Check(cfg.LoadLayout(0));
    Check(cfg.LoadLayout(1));
    const HOMEPAGE_LAYOUT& l = cfg.m_Layout;
    Check(l.byItems <= HOMEPAGE_ITEMS && l.byPages <= HOMEPAGE_PAGES);
    for (int s = 0; s < HOMEPAGE_SEATS; ++s)
        for (int p = 0; p < HOMEPAGE_PAGES; ++p)
            for (int i = 0; i < HOMEPAGE_ITEMS; ++i) {
                const HOMEPAGE_CELL& c = l.cell[s][p][i];
                if (c.byApp == CELL_EMPTY) {
                    Check(c.pButton == nullptr);
                    continue;
                }
                Check(c.byApp < CFG_APP_COUNT);
                Check(i < l.byItems);
                Check(cfg.m_AppEntry[c.byApp].bAvailable == 1);
                Check(c.pButton != nullptr);
            }
    // The rear seat saved what both seats hold.
    std::vector<uint8_t> saved;
    Check(plat::ReadWholeFile(folder + "/" HOMEPAGE_DB, saved));
    Check(saved == WriteHomepageLayout(l));
    return 0;
}

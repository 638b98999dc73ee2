// "homepage.db" as it may come off a damaged disk: refused unless whole; every cell read names
// an application of the table or none, the counts stay inside the grid, and the block is
// written back in the same form with its pointers as zeros.
#include <cstdint>
#include <memory>

#include "core/kernel/CfgData.h"
#include "fuzz/FuzzCheck.h"
#include "platform/text/Text.h"

using fuzz::Check;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    auto layout = std::make_unique<HOMEPAGE_LAYOUT>();
    if (!fuzz::CheckStoredBlock(data, size, HOMEPAGE_LAYOUT_SIZE, *layout, ReadHomepageLayout,
                                WriteHomepageLayout))
        return 0;
    Check(layout->byItems <= HOMEPAGE_ITEMS);
    Check(layout->byPages <= HOMEPAGE_PAGES);
    Check(plat::StrLenN(layout->szBackground, HOMEPAGE_PATH_CHARS) < HOMEPAGE_PATH_CHARS);
    Check(plat::StrLenN(layout->szLockImage, HOMEPAGE_PATH_CHARS) < HOMEPAGE_PATH_CHARS);
    Check(!layout->pBackground[0] && !layout->pBackground[1] && !layout->pLockImage);
    for (const auto& seat : layout->cell)
        for (const auto& page : seat)
            for (const auto& cell : page) {
                Check(cell.byApp < CFG_APP_COUNT || cell.byApp == CELL_EMPTY);
                Check(cell.pButton == nullptr);
            }
    return 0;
}

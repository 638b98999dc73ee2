// The pages built into the program: one line a page. A kind or type with no line here is
// skipped at start-up (its seat slot stays empty); a page whose line is here but that cannot be
// made ends the start-up.
#include "apps/home/HomepageDlg.h"
#include "apps/keyboard/KBDlg.h"
#include "apps/radio/RadioDlg.h"
#include "core/ui/AppFactory.h"
#include "core/ui/AppType.h"

const PAGE_MAKER g_BuiltPages[] = {
    {APPKIND_OWN, APPTYPE_HOMEPAGE, &NewApplicationDlg<CHomepageDlg>},
    {APPKIND_KB, 0, &NewApplicationDlg<CKBDlg>},
    {APPKIND_RADIO, 0, &NewApplicationDlg<CRadioDlg>},
};
const size_t g_nBuiltPages = sizeof(g_BuiltPages) / sizeof(g_BuiltPages[0]);

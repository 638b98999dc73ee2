// The pages built into the program: one line a page. A kind or type with no line here is
// skipped at start-up (its seat slot stays empty); a page whose line is here but that cannot be
// made ends the start-up.
#include "apps/home/HomepageDlg.h"
#include "apps/keyboard/KBDlg.h"
#include "apps/media/MPDefaultDlg.h"
#include "apps/phone/Phone.h"
#include "apps/settings/DateTimeDlg.h"
#include "apps/settings/DisplayDlg.h"
#include "apps/settings/LightSettingsDlg.h"
#include "apps/settings/SoundEffect.h"
#include "core/ui/AppFactory.h"
#include "core/ui/AppType.h"

const PAGE_MAKER g_BuiltPages[] = {
    {APPKIND_OWN, APPTYPE_HOMEPAGE, &NewApplicationDlg<CHomepageDlg>},
    {APPKIND_KB, 0, &NewApplicationDlg<CKBDlg>},
    {APPKIND_MUSIC, 0, &NewApplicationDlg<CMPDefaultDlg>},
    {APPKIND_PHONE, 0, &NewApplicationDlg<CPhone>},
    {APPKIND_SOUND_EFFECT, 0, &NewApplicationDlg<CSoundEffect>},
    {APPKIND_DISPLAY, 0, &NewApplicationDlg<CDisplayDlg>},
    {APPKIND_OWN, APPTYPE_LIGHT_SETTINGS, &NewApplicationDlg<CLightSettingsDlg>},
    {APPKIND_OWN, APPTYPE_DATETIME, &NewApplicationDlg<CDateTimeDlg>},
};
const size_t g_nBuiltPages = sizeof(g_BuiltPages) / sizeof(g_BuiltPages[0]);

// The pages built into the program: one line a page. Every factory kind and every page the main
// dialog makes itself needs its line: a page that has none, or cannot be made, ends the start-up.
#include "apps/home/HomepageDlg.h"
#include "apps/keyboard/KBDlg.h"
#include "apps/media/MPDefaultDlg.h"
#include "apps/media/MoviePlayDlg.h"
#include "apps/media/PhotoDlg.h"
#include "apps/phone/Phone.h"
#include "apps/radio/RadioDlg.h"
#include "apps/settings/AUXDlg.h"
#include "apps/settings/AboutDlg.h"
#include "apps/settings/ApplicationSetDlg.h"
#include "apps/settings/DateTimeDlg.h"
#include "apps/settings/DisplayDlg.h"
#include "apps/settings/DualSetDlg.h"
#include "apps/settings/InternetServiceDlg.h"
#include "apps/settings/LightSettingsDlg.h"
#include "apps/settings/SettingsDlg.h"
#include "apps/settings/SoundEffect.h"
#include "apps/settings/SystemSetDlg.h"
#include "core/ui/AppFactory.h"
#include "core/ui/AppType.h"

const PAGE_MAKER g_BuiltPages[] = {
    {APPKIND_OWN, APPTYPE_HOMEPAGE, &NewApplicationDlg<CHomepageDlg>},
    {APPKIND_KB, 0, &NewApplicationDlg<CKBDlg>},
    {APPKIND_MUSIC, 0, &NewApplicationDlg<CMPDefaultDlg>},
    {APPKIND_RADIO, 0, &NewApplicationDlg<CRadioDlg>},
    {APPKIND_PHOTO, 0, &NewApplicationDlg<CPhotoDlg>},
    {APPKIND_MOVIE, 0, &NewApplicationDlg<CMoviePlayDlg>},
    {APPKIND_PHONE, 0, &NewApplicationDlg<CPhone>},
    {APPKIND_SOUND_EFFECT, 0, &NewApplicationDlg<CSoundEffect>},
    {APPKIND_DISPLAY, 0, &NewApplicationDlg<CDisplayDlg>},
    {APPKIND_OWN, APPTYPE_LIGHT_SETTINGS, &NewApplicationDlg<CLightSettingsDlg>},
    {APPKIND_OWN, APPTYPE_DATETIME, &NewApplicationDlg<CDateTimeDlg>},
    {APPKIND_OWN, APPTYPE_SETTINGS, &NewApplicationDlg<CSettingsDlg>},
    {APPKIND_AUX, 0, &NewApplicationDlg<CAUXDlg>},
    {APPKIND_DUAL_SET, 0, &NewApplicationDlg<CDualSetDlg>},
    {APPKIND_SYSTEM_SET, 0, &NewApplicationDlg<CSystemSetDlg>},
    {APPKIND_APPLICATION_SET, 0, &NewApplicationDlg<CApplicationSetDlg>},
    {APPKIND_OWN, APPTYPE_ABOUT, &NewApplicationDlg<CAboutDlg>},
    {APPKIND_INTERNET_SERVICE, 0, &NewApplicationDlg<CInternetServiceDlg>},
};
const size_t g_nBuiltPages = sizeof(g_BuiltPages) / sizeof(g_BuiltPages[0]);

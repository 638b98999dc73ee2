#include "core/shell/AppRestore.h"

#include <algorithm>
#include <atomic>
#include <string>
#include <string_view>
#include <vector>

#include "apps/home/HomepageDlg.h"
#include "apps/media/MPDefaultDlg.h"
#include "apps/media/MoviePlayDlg.h"
#include "apps/media/PhotoDlg.h"
#include "core/kernel/Kernel.h"
#include "library/include/IKvPlayer.h"
#include "core/kernel/LogWriter.h"
#include "core/kernel/ProcessUtil.h"
#include "core/shell/SeatCtrlDlg.h"
#include "core/ui/AppType.h"
#include "platform/io/File.h"
#include "platform/io/Path.h"
#include "platform/sys/Clock.h"
#include "platform/sys/Process.h"
#include "platform/text/Text.h"
#include "platform/ui/Ui.h"

namespace {

std::atomic<int> g_iPassCount{0};

// How often the photo restore looks whether the music or movie page has started playing.
const uint32_t kPlayPollMs = 100;

// The APPTYPE each program bit is switched to.
const int kProgramApp[APP_PATH_COUNT] = {APPTYPE_NAVIGATION, APPTYPE_SKYPE,       APPTYPE_TV,
                                         APPTYPE_BLUETOOTH,  APPTYPE_CALIBRATION, APPTYPE_APP_1};

std::u16string_view FileNameOf(std::u16string_view path) {
    size_t cut = path.find_last_of(u"\\/");
    return cut == std::u16string_view::npos ? path : path.substr(cut + 1);
}

std::u16string FolderOf(std::u16string_view path) {
    size_t cut = path.find_last_of(u"\\/");
    return cut == std::u16string_view::npos ? std::u16string()
                                            : std::u16string(path.substr(0, cut));
}

// Programs the front seat can switch to itself; any other is started directly.
bool SeatLaunches(int app) {
    return app == APPTYPE_NAVIGATION || app == APPTYPE_TV || app == APPTYPE_APP_1;
}

template <class T>
T* FrontPage(CMainCtrlDlg* dlg, int app) {
    return dynamic_cast<T*>(dlg->Page(0, app));
}

bool Plays(IMPlayerDlg* page) {
    return page && page->GetPlayState() == 3;
}

// User-interface thread: the front seat switches to `app` on its next paint, and the front
// homepage shows it as current.
void RequestApp(CMainCtrlDlg* dlg, int app) {
    CSeatCtrlDlg* seat = dlg->Seat(0);
    if (!seat)
        return;
    seat->m_iPending = app;
    if (app == APPTYPE_PHONE)
        plat::ui::InvalidateRect(seat->Id());
    CHomepageDlg::SelectApp(app);
}

void FrontTopMost(CMainCtrlDlg* dlg) {
    if (CSeatCtrlDlg* seat = dlg->Seat(0))
        plat::ui::SetTopMost(seat->Id(), true);
}

// The media actions of the restore, each posted to the user-interface thread.
void RequestMusic(CMainCtrlDlg* dlg, int mediaType) {
    plat::ui::PostToUiThread([dlg, mediaType] {
        CKernel* k = CKernel::Instance();
        if (!k)
            return;
        if (mediaType == 0)
            k->m_iAutoLaunch = 5;
        else if (mediaType == 1)
            k->m_iAutoLaunch = 1;
        FrontTopMost(dlg);
    });
}

void RequestMovie(CMainCtrlDlg* dlg, int mediaType) {
    plat::ui::PostToUiThread([dlg, mediaType] {
        CKernel* k = CKernel::Instance();
        if (!k)
            return;
        if (mediaType == 2)
            k->m_iAutoLaunch = 4;
        else if (mediaType == 3)
            k->m_iAutoLaunch = 2;
        else if (mediaType == 4)
            k->m_iAutoLaunch = 3;
        FrontTopMost(dlg);
    });
}

void RequestRadio(CMainCtrlDlg* dlg) {
    plat::ui::PostToUiThread([dlg] {
        RequestApp(dlg, APPTYPE_RADIO);
        FrontTopMost(dlg);
    });
}

void RequestPhoto(CMainCtrlDlg* dlg, bool setCurrent) {
    plat::ui::PostToUiThread([dlg, setCurrent] {
        CKernel* k = CKernel::Instance();
        if (!k)
            return;
        if (setCurrent)
            k->m_Settings.iCurrentApp = APPTYPE_PHOTO;
        RequestApp(dlg, APPTYPE_PHOTO);
        if (CSeatCtrlDlg* seat = dlg->Seat(0))
            seat->SwitchApp();
        FrontTopMost(dlg);
    });
}

// Whether the page resumed has started playing; asked on the user-interface thread.
bool PlayStarted(CMainCtrlDlg* dlg, int app) {
    bool started = false;
    plat::ui::RunOnUiThread([&] {
        if (app == APPTYPE_MUSIC) {
            if (CMPDefaultDlg* music = FrontPage<CMPDefaultDlg>(dlg, APPTYPE_MUSIC))
                started = music->m_dwPlayEvents.load() != 0;
        } else if (CMoviePlayDlg* movie = FrontPage<CMoviePlayDlg>(dlg, APPTYPE_MOVIE)) {
            started = movie->m_bPlayEvent;
        }
    });
    return started;
}

}  // namespace

bool IsProgramRunning(const char16_t* path) {
    if (!path)
        return false;
    const std::u16string_view name = FileNameOf(path);
    if (name.empty())
        return false;
    for (plat::ProcessId pid : plat::ListProcesses()) {
        plat::ProcessHandle process;
        if (!process.Open(pid))
            continue;
        std::string exe = plat::ProcessExePath(pid);
        if (exe.empty() || plat::StrCmpNoCase(plat::Utf8ToUtf16(plat::BaseName(exe)), name) != 0)
            continue;
        // Only what this system started counts: a program of the same name the user runs
        // elsewhere is not ours to bring back.
        if (process.StartedByUs())
            return true;
    }
    return false;
}

void SaveMediaPosition(CMainCtrlDlg* dlg) {
    CKernel* k = CKernel::Instance();
    if (!k || !dlg)
        return;
    int64_t position = 0;
    CMoviePlayDlg* movie = FrontPage<CMoviePlayDlg>(dlg, APPTYPE_MOVIE);
    if (Plays(movie) && movie->Player()) {
        KvMultimedia::KvPlayerTime time = {};
        if (movie->Player()->GetTime(&time) == RZ_OK)
            position = time.llPosition;
    }
    k->m_Settings.llMoviePosition = position;
    WriteLog("SaveMediaPosition: %lld", static_cast<long long>(position));
    CPhotoDlg* photo = FrontPage<CPhotoDlg>(dlg, APPTYPE_PHOTO);
    if (photo && !photo->m_strPicture.empty()) {
        std::u16string path = photo->m_strPicture.substr(0, SYS_PATH_CHARS - 1);
        std::fill(std::begin(k->m_Settings.szPicturePath), std::end(k->m_Settings.szPicturePath),
                  u'\0');
        std::copy(path.begin(), path.end(), k->m_Settings.szPicturePath);
    }
}

void SaveAppStatus(CMainCtrlDlg* dlg) {
    CKernel* k = CKernel::Instance();
    if (!k || !dlg)
        return;
    uint32_t w = 0;
    for (int i = 0; i < APP_PATH_COUNT; ++i) {
        const char16_t* path = k->m_AppPaths.szPath[i];
        if (path[0] && (i != APP_PATH_APP_1 || dlg->app1FromFront) && IsProgramRunning(path))
            w |= 1u << i;
    }
    if (plat::PathExists("RadioMode.txt"))
        w |= APP_STATUS_RADIO;
    else if (Plays(FrontPage<CMoviePlayDlg>(dlg, APPTYPE_MOVIE)))
        w |= APP_STATUS_MOVIE;
    else if (Plays(FrontPage<CMPDefaultDlg>(dlg, APPTYPE_MUSIC)))
        w |= APP_STATUS_MUSIC;
    switch (k->m_Settings.iCurrentApp) {
        case APPTYPE_PHOTO: {
            w |= APP_STATUS_PHOTO;
            // The photo page starts a slideshow at the next start when this is set: so it is
            // set when a slideshow was running and not paused.
            CPhotoDlg* photo = FrontPage<CPhotoDlg>(dlg, APPTYPE_PHOTO);
            k->m_Settings.byPhotoResume = photo && photo->m_bSlideshow && !photo->m_bPaused ? 1 : 0;
            break;
        }
        case APPTYPE_MUSIC:
            w |= APP_STATUS_MUSIC;
            break;
        case APPTYPE_MOVIE:
            w |= APP_STATUS_MOVIE;
            break;
        case APPTYPE_RADIO:
            w |= APP_STATUS_RADIO;
            break;
        default:
            break;
    }
    k->m_Settings.dwAppStatus = w;
    WriteLog("SaveAppStatus(): 0x%04x", w);
}

int RestorePassCount() {
    return g_iPassCount.load();
}

void ThreadProcActivateApp(CMainCtrlDlg* dlg) {
    WriteLog("ThreadProcActivateApp() start");
    uint32_t w = 0;
    int mediaType = 0;
    APP_PATHS paths = {};
    // What the thread needs of the settings is read, and the current application put right,
    // on the user-interface thread that owns them.
    bool read = plat::ui::RunOnUiThread([&] {
        CKernel* k = CKernel::Instance();
        if (!k)
            return;
        int& app = k->m_Settings.iCurrentApp;
        if (app == APPTYPE_MUSIC || app == APPTYPE_MOVIE || app == APPTYPE_RADIO) {
            app = APPTYPE_HOMEPAGE;
        } else if (app == APPTYPE_PHONE) {
            app = APPTYPE_HOMEPAGE;
            k->SaveSettings();
        }
        w = k->m_Settings.dwAppStatus;
        mediaType = k->m_Settings.iMediaType;
        paths = k->m_AppPaths;
    });
    if (!read)
        return;
    const bool media = (w & 0xFF00u) != 0;

    int n = 0;
    for (int i = 0; i < APP_PATH_COUNT; ++i)
        n += (w >> i) & 1;
    for (int i = 0; i < APP_PATH_COUNT && n > 0; ++i) {
        if (!(w & (1u << i)))
            continue;
        const int app = kProgramApp[i];
        const char16_t* path = paths.szPath[i];
        if (media || n != 1 || !SeatLaunches(app)) {
            // A path that is gone fails here without a word, as the program does not exist.
            if (path[0])
                StartProgram(path, {}, FolderOf(path).c_str());
        } else {
            plat::ui::PostToUiThread([dlg, app] { RequestApp(dlg, app); });
        }
        WriteLog("ShellExecute: %d", app);
        --n;
    }

    int resumed = APPTYPE_HOMEPAGE;
    switch (w & 0x0F00u) {
        case APP_STATUS_MUSIC:
            RequestMusic(dlg, mediaType);
            resumed = APPTYPE_MUSIC;
            break;
        case APP_STATUS_MOVIE:
            RequestMovie(dlg, mediaType);
            resumed = APPTYPE_MOVIE;
            break;
        case APP_STATUS_RADIO:
            RequestRadio(dlg);
            break;
        default:
            break;
    }

    if (w & 0xF000u) {
        if (resumed != APPTYPE_HOMEPAGE) {
            // Bounded: a medium that never plays (its file is gone) must not keep the photo
            // from coming back, and the end of the program must not wait for it.
            const uint64_t until = plat::GetClock().TickMs() + RESTORE_PLAY_WAIT_MS;
            while (!PlayStarted(dlg, resumed) && plat::GetClock().TickMs() < until) {
                if (dlg->WaitRestoreStop(kPlayPollMs))
                    return;
            }
            WriteLog("WaitForSingleObject( hPlayEvent, INFINITE ): done");
        }
        RequestPhoto(dlg, true);
    }

    // Media that were not asked for are done from the start, so that a word holding only some
    // of them ends once those have reported.
    const uint32_t wanted = w & 0x0F00u;
    int musicDone = wanted == APP_STATUS_MUSIC ? 0 : 1;
    int movieDone = wanted == APP_STATUS_MOVIE ? 0 : 1;
    int radioDone = wanted == APP_STATUS_RADIO ? 0 : 1;
    int photoDone = (w & 0xF000u) == APP_STATUS_PHOTO ? 0 : 1;
    CKernel* k = CKernel::Instance();
    for (;;) {
        if (dlg->WaitRestoreStop(RESTORE_PASS_MS))
            return;
        const uint32_t done = k ? k->m_dwResumeDone.load() : 0;
        WriteLog(
            "ThreadProcActivateApp():%d (int:%d, music:%d, movie:%d, radio:%d, photo:%d, 0x%04X)",
            g_iPassCount++, media ? 1 : 0, musicDone, movieDone, radioDone, photoDone, done);
        if (!media)
            break;
        if (musicDone && movieDone && radioDone && photoDone)
            break;
        switch (wanted) {
            case APP_STATUS_MUSIC:
                musicDone = (done & APP_STATUS_MUSIC) ? 1 : 0;
                if (!musicDone) {
                    WriteLog("%d-re-exec music: ox04X", g_iPassCount.load());
                    RequestMusic(dlg, mediaType);
                }
                break;
            case APP_STATUS_MOVIE:
                movieDone = (done & APP_STATUS_MOVIE) ? 1 : 0;
                if (!movieDone)
                    RequestMovie(dlg, mediaType);
                break;
            case APP_STATUS_RADIO:
                radioDone = (done & APP_STATUS_RADIO) ? 1 : 0;
                if (!radioDone) {
                    WriteLog("%d-re-exec radio: ox04X", g_iPassCount.load());
                    RequestRadio(dlg);
                }
                break;
            default:
                break;
        }
        if ((w & 0xF000u) == APP_STATUS_PHOTO) {
            photoDone = (done & APP_STATUS_PHOTO) ? 1 : 0;
            if (!photoDone) {
                WriteLog("%d-re-exec photo: ox04X", g_iPassCount.load());
                RequestPhoto(dlg, false);
                continue;
            }
        }
        if (radioDone && musicDone && movieDone)
            break;
    }
    WriteLog("===> ThreadProcActivateApp() done");
}

RESTORE_HOOKS AppRestoreHooks() {
    RESTORE_HOOKS hooks;
    hooks.pfnActivateApp = ThreadProcActivateApp;
    hooks.pfnSaveMediaPosition = SaveMediaPosition;
    hooks.pfnSaveAppStatus = SaveAppStatus;
    return hooks;
}

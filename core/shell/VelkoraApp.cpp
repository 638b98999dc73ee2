#include "core/shell/VelkoraApp.h"

#include <cstdio>
#include <cstdlib>

#include "core/kernel/LogWriter.h"
#include "core/shell/MainCtrlDlg.h"
#include "platform/gfx/Font.h"
#include "platform/gfx/Surface.h"
#include "platform/io/File.h"
#include "platform/io/Path.h"
#include "platform/sys/EndSignals.h"

namespace {

// Writes both screens as PNGs; true when both were written.
bool WriteScreens(const std::string& dir) {
    plat::Surface front, rear;
    bool shown = plat::ui::CaptureScreen(0, front) && plat::ui::CaptureScreen(1, rear);
    // Told at once, so that whoever waits for the first picture need not wait for the files.
    std::printf("velkora: both screens shown\n");
    std::fflush(stdout);
    if (!shown)
        return false;
    plat::MakeDirectory(dir);
    std::string frontPng = plat::JoinPath(dir, "front.png");
    std::string rearPng = plat::JoinPath(dir, "rear.png");
    if (!plat::ui::SavePng(front, frontPng) || !plat::ui::SavePng(rear, rearPng)) {
        std::fprintf(stderr, "velkora: cannot write the screens into %s\n", dir.c_str());
        return false;
    }
    std::printf("velkora: wrote %s and %s\n", frontPng.c_str(), rearPng.c_str());
    std::fflush(stdout);
    return true;
}

}  // namespace

CVelkoraApp::CVelkoraApp() = default;

CVelkoraApp::~CVelkoraApp() {
    Finish();
}

CVelkoraApp::Instance CVelkoraApp::TakeInstance() {
    switch (m_Instance.Acquire(VELKORA_INSTANCE_NAME)) {
        case plat::SingleInstance::Result::Running:
            if (!m_Instance.ActivateRunning())
                std::fprintf(stderr, "velkora: another copy is running\n");
            return Instance::Second;
        case plat::SingleInstance::Result::Error:
            std::fprintf(stderr, "velkora: the session folder cannot be used; running anyway\n");
            return Instance::First;
        case plat::SingleInstance::Result::First:
            return Instance::First;
    }
    return Instance::First;
}

int CVelkoraApp::Start() {
    m_pMainDlg = std::make_unique<CMainCtrlDlg>();
    // A later copy's request is carried out on the user-interface thread, once the main
    // dialog is running.
    m_Instance.Listen([] {
        plat::ui::PostToUiThread([] {
            if (g_pMainDlg)
                g_pMainDlg->BringToFront();
        });
    });
    return m_pMainDlg->Create();
}

void CVelkoraApp::Finish() {
    m_Instance.StopListening();
    if (m_pMainDlg) {
        m_pMainDlg->Shutdown();
        m_pMainDlg.reset();
    }
}

int CVelkoraApp::InitInstance(const VELKORA_RUN_OPTIONS& options) {
    // Taken before the windowing starts, so that it never sees a default handler to replace.
    plat::CatchEndSignals();
    if (TakeInstance() == Instance::Second)
        return EXIT_SUCCESS;
    plat::ui::Options ui;
    ui.backend = options.backend;
    if (!plat::ui::Init(ui)) {
        std::fprintf(stderr, "velkora: no screen to show on\n");
        return EXIT_FAILURE;
    }
    // The faces are looked up while the library loads and the kernel starts, not by the first
    // page that writes.
    plat::Font::PrepareAhead();
    int rc = Start();
    bool screensWritten = false;
    if (rc == 0) {
        CMainCtrlDlg* dlg = m_pMainDlg.get();
        if (!options.screenshotDir.empty()) {
            dlg->SetStartedCallback([&, dlg] {
                screensWritten = WriteScreens(options.screenshotDir);
                dlg->RequestClose();
            });
        }
        plat::ui::RunModalLoop(dlg->Id());
    }
    Finish();
    plat::ui::Terminate();
    plat::ReleaseEndSignals();
    if (rc == 0 && !options.screenshotDir.empty() && !screensWritten)
        rc = EXIT_FAILURE;
    return rc;
}

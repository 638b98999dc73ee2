// The application object: one running copy per session, then the main dialog for the life of
// the process. A second start asks the running copy to come forward and ends at once, having
// made nothing.
#pragma once

#include <memory>
#include <string>

#include "platform/sys/SingleInstance.h"
#include "platform/ui/Ui.h"

class CMainCtrlDlg;

// The name by which the running copy is known.
#define VELKORA_INSTANCE_NAME "VELKORA2"

struct VELKORA_RUN_OPTIONS {
    plat::ui::Backend backend = plat::ui::Backend::Auto;
    // When set: once both seats show their first picture, each screen is written there as a
    // PNG ("front.png", "rear.png") and the program closes as the user would close it.
    std::string screenshotDir;
};

class CVelkoraApp {
public:
    enum class Instance { First, Second };

    CVelkoraApp();
    ~CVelkoraApp();
    CVelkoraApp(const CVelkoraApp&) = delete;
    CVelkoraApp& operator=(const CVelkoraApp&) = delete;

    // The whole run; returns the process's exit status.
    int InitInstance(const VELKORA_RUN_OPTIONS& options);

    // The steps of InitInstance, for a caller that drives the message loop itself (the test
    // harness). The windowing layer must be started before Start.
    //
    // Takes the name; Second when another copy has it (that copy was asked to come forward).
    // A session folder that cannot be used counts as First: better two copies than none.
    Instance TakeInstance();
    // Builds the main dialog and runs its start-up: 0, or the exit status of a failed start.
    int Start();
    CMainCtrlDlg* MainDialog() const { return m_pMainDlg.get(); }
    // After the loop: stops listening for later copies, ends and destroys the main dialog.
    void Finish();

private:
    plat::SingleInstance m_Instance;
    std::unique_ptr<CMainCtrlDlg> m_pMainDlg;
};

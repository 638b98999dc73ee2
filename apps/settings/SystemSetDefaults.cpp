#include "apps/settings/SystemSetDefaults.h"

#include "core/kernel/Kernel.h"
#include "core/kernel/LogWriter.h"
#include "core/shell/SeatCtrlDlg.h"
#include "core/ui/AppType.h"
#include "core/ui/VelkoraAppDlg.h"
#include "platform/io/File.h"

bool RestoreKernelDefaults(CKernel* kernel, CSeatCtrlDlg* frontSeat) {
    if (!kernel || !kernel->LoadDefaults()) {
        WriteLog("RestoreDefaults: %s cannot be read", SYS_SETTINGS_DEF);
        return false;
    }
    const int level = kernel->m_Settings.iAudioLevel;
    kernel->m_byVolumeShadow = static_cast<uint8_t>(level);
    kernel->m_iVolume = level;
    plat::RemoveFile(kernel->DataPath(RADIO_SETTINGS_DB_NAME));
    if (frontSeat) {
        for (int app = 0; app < APPTYPE_COUNT; ++app)
            if (CVelkoraAppDlg* page = frontSeat->Page(app))
                page->ResetDefault();
    }
    return true;
}

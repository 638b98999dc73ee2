#include "apps/settings/SystemSetDefaults.h"

#include "core/kernel/Kernel.h"

bool RestoreKernelDefaults(CKernel* kernel, CSeatCtrlDlg* /*frontSeat*/) {
    // The kernel resets the pages the front seat registered with it.
    if (!kernel)
        return false;
    kernel->RestoreDefaults();
    return true;
}

// The factory settings, as the system settings page's Default restores them. The kernel's own
// restore (CKernel::RestoreDefaults) is being built beside this page; until it is in the tree,
// RestoreKernelDefaults does the same work here: read SysSettings.def, take its volume, delete
// RadioSettings.db and have every page of the front seat go back to its factory state. When
// the kernel's lands, the body becomes `return kernel->RestoreDefaults();`.
#pragma once

class CKernel;
class CSeatCtrlDlg;

// False (nothing changed) when the factory settings cannot be read. Saves nothing.
bool RestoreKernelDefaults(CKernel* kernel, CSeatCtrlDlg* frontSeat);

#define RADIO_SETTINGS_DB_NAME "RadioSettings.db"

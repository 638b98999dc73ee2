// The factory settings, as the system settings page's Default restores them: the kernel reads
// SysSettings.def, takes its volume, deletes RadioSettings.db and has every page of the front
// seat go back to its factory state.
#pragma once

class CKernel;
class CSeatCtrlDlg;

// False without a kernel. Saves nothing: the caller does.
bool RestoreKernelDefaults(CKernel* kernel, CSeatCtrlDlg* frontSeat);

#define RADIO_SETTINGS_DB_NAME "RadioSettings.db"

// Bringing back what ran before the head unit was switched off: the outside programs that were
// open and the front seat's music, movie, radio or photo. Every exit records an application
// status word and the media positions in the settings block; at start a worker thread reads
// them back, starts the programs and asks the front seat for the media page until each page
// reports that its resume has begun.
#pragma once

#include <cstdint>

#include "core/shell/MainCtrlDlg.h"

// Bits of the application status word.
#define APP_STATUS_PROGRAMS 0x003Fu
#define APP_STATUS_MUSIC 0x0100u
#define APP_STATUS_MOVIE 0x0200u
#define APP_STATUS_RADIO 0x0400u
#define APP_STATUS_PHOTO 0x1000u

// How long the photo restore waits for the music or movie page to start playing.
#define RESTORE_PLAY_WAIT_MS 30000u
// The pause between two passes of the restore thread.
#define RESTORE_PASS_MS 10000u

// True when a program started by this system runs the executable named by the part of `path`
// after its last separator (compared without case).
bool IsProgramRunning(const char16_t* path);

// Both run on the user-interface thread at the end of the run, before the settings are saved.
void SaveMediaPosition(CMainCtrlDlg* dlg);
void SaveAppStatus(CMainCtrlDlg* dlg);

// The restore thread. Every request it makes of a seat, a page or the kernel is posted to the
// user-interface thread; it returns at once when the program ends.
void ThreadProcActivateApp(CMainCtrlDlg* dlg);

// The passes the restore thread has made in this process.
int RestorePassCount();

// The three of them, for SetRestoreHooks.
RESTORE_HOOKS AppRestoreHooks();

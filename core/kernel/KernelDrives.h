// The kernel's view of drives and discs: the drive snapshot that the media pages list, the
// once-a-second scan, the disc in the DVD drive and its kind, and the auto-launch code that
// tells the front seat and the media pages what to start.
//
// CKernel takes this part as a base, so pages reach `m_iAutoLaunch`, `m_hDriveMutex` and
// `CheckDiscChange` through the kernel as they always have.
#pragma once

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <mutex>
#include <string>
#include <vector>

// Disc kinds of the snapshot.
enum : uint8_t {
    DISC_NONE = 0,
    DISC_OTHER = 1,
    DISC_VCD = 2,
    DISC_DVD = 3,
    DISC_AUDIO_CD = 4,
    DISC_VIDEO_FILE = 5,
    DISC_MP3 = 6,
    DISC_PICTURES = 7,
};

// What the drive list and the disc check found; 60 bytes, compared and copied whole.
struct DRIVE_SNAPSHOT {
    uint8_t bFixedD;       // a fixed drive D exists (first scan only)
    uint8_t bMovieDrive;   // a fixed drive with the movie folder's letter exists (first scan)
    uint8_t bPhotoDrive;   // a fixed drive with the photo folder's letter exists (first scan)
    uint8_t byCount;       // listed drives
    char16_t chDvd;        // DVD drive letter, 0 until found
    char16_t szDrive[24];  // listed drive letters, lower case, in letter order
    uint8_t byReserved[4];
    uint8_t byDiscType;  // DISC_*
    uint8_t byReserved2;
};
static_assert(sizeof(DRIVE_SNAPSHOT) == 60, "drive snapshot is 60 bytes");
static_assert(offsetof(DRIVE_SNAPSHOT, chDvd) == 4, "DVD letter at 4");
static_assert(offsetof(DRIVE_SNAPSHOT, szDrive) == 6, "drive letters at 6");
static_assert(offsetof(DRIVE_SNAPSHOT, byDiscType) == 58, "disc type at 58");

// What the drive part needs from the rest of the kernel.
class IDriveHost {
public:
    // Creates the configuration data when it does not exist yet.
    virtual void EnsureConfigData() = 0;
    // First letter of the configured movie and photo folders ("D:\\..."); 0 when empty.
    virtual char16_t MovieFolderDrive() = 0;
    virtual char16_t PhotoFolderDrive() = 0;
    // Lock byte of the MOVIE cell on the front homepage; 255 when no cell holds MOVIE.
    virtual uint8_t MovieCellLock() = 0;
    // The kernel's m_bLocksFree: 1 while the board says the application locks are lifted.
    virtual bool LocksFree() = 0;

protected:
    ~IDriveHost() = default;
};

class CKernelDrives {
public:
    CKernelDrives();
    CKernelDrives(const CKernelDrives&) = delete;
    CKernelDrives& operator=(const CKernelDrives&) = delete;

    // Without a host: no media folders, no MOVIE cell, locks lifted.
    void SetDriveHost(IDriveHost* host) { m_pDriveHost = host; }

    // Rebuilds the drive part of the current snapshot.
    void RetrieveDrive();
    // Whether the DVD drive holds a disc; clears the disc type when it does not.
    bool IsMediaPresent();
    // Sets the snapshot's disc type from the entries of the disc's root.
    void DetectDiscType();
    // True once for each change of the snapshot; sets the auto-launch code when the disc
    // kind changed (not for the disc found at start).
    bool CheckDiscChange();
    // "c:\\<volume serial>" of the disc in the DVD drive.
    bool GetDiscId(char16_t* out, size_t outChars = 128);
    // From the main timer: the scan and the disc check once more than 1000 ms have passed.
    // True when they ran.
    bool CheckDrivesPeriodic();
    // The end of the session, once the state is saved: a disc being mounted is called back
    // and waited for a quarter of a second at most; what the drive layer says is logged.
    void StopDrives();

    // A copy of the current snapshot, taken under the drive mutex.
    DRIVE_SNAPSHOT GetDriveSnapshot();

    // Disc auto-launch code: -1 nothing pending, 0 disc gone, 1 audio CD, 2 VCD, 3 DVD,
    // 4 video file, 5 MP3, 6 pictures. Read and reset by the front seat and the media pages;
    // the restore of the last run and the drive scan set it from their own threads.
    std::atomic<int> m_iAutoLaunch{-1};
    // Takes the pending code when it is `code` (it becomes -1), in one step: a code another
    // thread set after the caller looked is never wiped out by the caller's reset.
    bool TakeAutoLaunch(int code) { return m_iAutoLaunch.compare_exchange_strong(code, -1); }
    // Held by every reader of the snapshots.
    std::mutex m_hDriveMutex;
    DRIVE_SNAPSHOT m_DriveInfo;      // current
    DRIVE_SNAPSHOT m_PrevDriveInfo;  // as last reported by CheckDiscChange

private:
    // What the drive layer has to say since it was last asked, into the log.
    void LogDriveNotes();

    IDriveHost* m_pDriveHost = nullptr;
    bool m_bDriveScanned = false;       // the first scan fixed the presence flags
    bool m_bSuppressAutoLaunch = true;  // the disc found at start does not launch
    uint32_t m_dwLastDriveCheck = 0;
};

// The disc kind that the entries of a disc's root give, in their order: the first entry that
// says something decides. Names are UTF-8.
uint8_t DiscTypeFromEntries(const std::vector<std::string>& names);

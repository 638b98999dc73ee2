#include "core/kernel/KernelDrives.h"

#include <cstring>

#include "core/kernel/LogWriter.h"
#include "platform/sys/Clock.h"
#include "platform/sys/Drives.h"
#include "platform/text/Text.h"

namespace {

// The device type the drive query answers for a DVD drive; kept in the log line.
constexpr unsigned kFileDeviceDvd = 0x33;

bool EqualNoCase(const std::string& a, const char* b) {
    return plat::StrCmpNoCase(plat::Utf8ToUtf16(a), plat::Utf8ToUtf16(b)) == 0;
}

bool Contains(const std::string& name, const char* part) {
    return name.find(part) != std::string::npos;
}

// The audio tracks' own entries ("Track01.cda"); a name that merely holds the letters
// ("Barracuda.mp3", "Arcadia") is a data disc's file.
bool IsCdaEntry(const std::string& name) {
    return name.size() > 4 && EqualNoCase(name.substr(name.size() - 4), ".cda");
}

char16_t LowerLetter(char16_t c) {
    return (c >= u'A' && c <= u'Z') ? static_cast<char16_t>(c + 32) : c;
}

}  // namespace

uint8_t DiscTypeFromEntries(const std::vector<std::string>& names) {
    if (names.empty())
        return DISC_NONE;
    for (const std::string& n : names) {
        // Linux shows plain ISO 9660 names in small letters, so the folder names of VCDs and
        // DVDs are matched without regard to case.
        if (EqualNoCase(n, "MPEGAV"))
            return DISC_VCD;
        if (EqualNoCase(n, "VIDEO_TS"))
            return DISC_DVD;
        if (IsCdaEntry(n))
            return DISC_AUDIO_CD;
        if (Contains(n, ".avi") || Contains(n, ".AVI"))
            return DISC_VIDEO_FILE;
        if (Contains(n, ".mp3") || Contains(n, ".MP3"))
            return DISC_MP3;
        if (Contains(n, ".bmp") || Contains(n, ".BMP") || Contains(n, ".jpg") ||
            Contains(n, ".JPG") || Contains(n, ".jpeg") || Contains(n, ".JPEG"))
            return DISC_PICTURES;
    }
    return DISC_OTHER;
}

CKernelDrives::CKernelDrives() {
    std::memset(&m_DriveInfo, 0, sizeof m_DriveInfo);
    std::memset(&m_PrevDriveInfo, 0, sizeof m_PrevDriveInfo);
}

void CKernelDrives::RetrieveDrive() {
    char16_t movie = 0, photo = 0;
    if (m_pDriveHost) {
        m_pDriveHost->EnsureConfigData();
        movie = LowerLetter(m_pDriveHost->MovieFolderDrive());
        photo = LowerLetter(m_pDriveHost->PhotoFolderDrive());
    }
    plat::DriveMap& drives = plat::Drives();
    drives.Refresh();

    std::lock_guard<std::mutex> lock(m_hDriveMutex);
    DRIVE_SNAPSHOT& s = m_DriveInfo;
    s.byCount = 0;
    std::memset(s.szDrive, 0, sizeof s.szDrive);
    for (char16_t c = u'c'; c <= u'z'; ++c) {
        switch (drives.GetDriveType(c)) {
            case plat::DRIVE_CDROM:
                if (!s.chDvd && drives.IsDvdDrive(c)) {
                    s.chDvd = c;
                    WriteLog("RetrieveDrive(): %c, type(0x%x)", static_cast<char>(c),
                             kFileDeviceDvd);
                }
                break;
            case plat::DRIVE_REMOVABLE:
                s.szDrive[s.byCount++] = c;
                break;
            case plat::DRIVE_FIXED:
                if (!m_bDriveScanned) {
                    if (c == u'd')
                        s.bFixedD = 1;
                    if (c == movie)
                        s.bMovieDrive = 1;
                    if (c == photo)
                        s.bPhotoDrive = 1;
                }
                if (c > u'd')
                    s.szDrive[s.byCount++] = c;
                break;
            default:
                break;
        }
    }
    m_bDriveScanned = true;
}

bool CKernelDrives::IsMediaPresent() {
    char16_t dvd;
    {
        std::lock_guard<std::mutex> lock(m_hDriveMutex);
        dvd = m_DriveInfo.chDvd;
    }
    // A drive that cannot be asked counts as holding a disc: its files then decide.
    if (!dvd || plat::Drives().MediaPresent(dvd) != plat::MediaState::Absent)
        return true;
    std::lock_guard<std::mutex> lock(m_hDriveMutex);
    m_DriveInfo.byDiscType = DISC_NONE;
    return false;
}

void CKernelDrives::DetectDiscType() {
    char16_t dvd;
    {
        std::lock_guard<std::mutex> lock(m_hDriveMutex);
        dvd = m_DriveInfo.chDvd;
    }
    // The disc is read outside the lock: a slow disc must not hold up the pages' lists.
    std::vector<std::string> names;
    uint8_t type = DISC_NONE;
    if (dvd && plat::Drives().ListRoot(dvd, names))
        type = DiscTypeFromEntries(names);
    std::lock_guard<std::mutex> lock(m_hDriveMutex);
    m_DriveInfo.byDiscType = type;
}

bool CKernelDrives::CheckDiscChange() {
    uint8_t movieLock = 255;
    bool locksFree = true;
    if (m_pDriveHost) {
        movieLock = m_pDriveHost->MovieCellLock();
        locksFree = m_pDriveHost->LocksFree();
    }
    std::lock_guard<std::mutex> lock(m_hDriveMutex);
    if (std::memcmp(&m_DriveInfo, &m_PrevDriveInfo, sizeof m_DriveInfo) == 0)
        return false;
    if (!m_bSuppressAutoLaunch && m_DriveInfo.byDiscType != m_PrevDriveInfo.byDiscType) {
        // Video and pictures follow the MOVIE cell's lock; music always starts.
        bool movieAllowed = movieLock == 0 || (movieLock == 1 && locksFree);
        switch (m_DriveInfo.byDiscType) {
            case DISC_NONE:
                m_iAutoLaunch = 0;
                break;
            case DISC_VCD:
                if (movieAllowed)
                    m_iAutoLaunch = 2;
                break;
            case DISC_DVD:
                if (movieAllowed)
                    m_iAutoLaunch = 3;
                break;
            case DISC_AUDIO_CD:
                m_iAutoLaunch = 1;
                break;
            case DISC_VIDEO_FILE:
                if (movieAllowed)
                    m_iAutoLaunch = 4;
                break;
            case DISC_MP3:
                m_iAutoLaunch = 5;
                break;
            case DISC_PICTURES:
                if (movieAllowed)
                    m_iAutoLaunch = 6;
                break;
            default:
                break;  // other content starts nothing
        }
    }
    m_PrevDriveInfo = m_DriveInfo;
    m_bSuppressAutoLaunch = false;
    return true;
}

bool CKernelDrives::GetDiscId(char16_t* out, size_t outChars) {
    if (!out || outChars == 0)
        return false;
    std::lock_guard<std::mutex> lock(m_hDriveMutex);
    uint32_t serial = 0;
    if (!m_DriveInfo.chDvd ||
        !plat::Drives().GetVolumeInformation(m_DriveInfo.chDvd, nullptr, &serial))
        return false;
    plat::Format(out, outChars < 128 ? outChars : 128, u"c:\\%u", serial);
    return true;
}

bool CKernelDrives::CheckDrivesPeriodic() {
    uint32_t now = plat::GetTickCount();
    if (now - m_dwLastDriveCheck <= 1000)
        return false;
    m_dwLastDriveCheck = now;
    RetrieveDrive();
    if (IsMediaPresent())
        DetectDiscType();
    LogDriveNotes();
    return true;
}

void CKernelDrives::StopDrives() {
    plat::Drives().StopMounting();
    LogDriveNotes();
}

void CKernelDrives::LogDriveNotes() {
    // A disc nobody mounted: whether the drive layer could mount it, or why its files cannot
    // be listed.
    for (const std::string& note : plat::Drives().TakeNotes())
        WriteLog("%s", note.c_str());
}

DRIVE_SNAPSHOT CKernelDrives::GetDriveSnapshot() {
    std::lock_guard<std::mutex> lock(m_hDriveMutex);
    return m_DriveInfo;
}

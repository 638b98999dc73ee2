#include "platform/io/Directory.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>

namespace plat {

namespace {

DirEntryKind KindOf(mode_t mode) {
    if (S_ISDIR(mode))
        return DirEntryKind::Folder;
    if (S_ISREG(mode))
        return DirEntryKind::File;
    return DirEntryKind::Other;
}

}  // namespace

bool DirectoryReader::Open(const std::string& path) {
    Close();
    m_dir = ::opendir(path.c_str());
    return m_dir != nullptr;
}

void DirectoryReader::Close() {
    m_bLink = false;
    if (m_dir) {
        ::closedir(static_cast<DIR*>(m_dir));
        m_dir = nullptr;
    }
}

bool DirectoryReader::Next(const char*& name, DirEntryKind& kind) {
    if (!m_dir)
        return false;
    DIR* dir = static_cast<DIR*>(m_dir);
    m_bLink = false;
    dirent* e = ::readdir(dir);
    if (!e)
        return false;
    name = e->d_name;
    struct stat st;
    switch (e->d_type) {
        case DT_DIR:
            kind = DirEntryKind::Folder;
            return true;
        case DT_REG:
            kind = DirEntryKind::File;
            return true;
        case DT_LNK:
            m_bLink = true;
            break;  // only a stat of its target can tell
        case DT_UNKNOWN:
            // The file system does not say: look at the entry itself first.
            if (::fstatat(::dirfd(dir), e->d_name, &st, AT_SYMLINK_NOFOLLOW) != 0) {
                kind = DirEntryKind::Other;
                return true;
            }
            m_bLink = S_ISLNK(st.st_mode);
            if (!m_bLink) {
                kind = KindOf(st.st_mode);
                return true;
            }
            break;
        default:
            kind = DirEntryKind::Other;
            return true;
    }
    kind =
        ::fstatat(::dirfd(dir), e->d_name, &st, 0) == 0 ? KindOf(st.st_mode) : DirEntryKind::Other;
    return true;
}

}  // namespace plat

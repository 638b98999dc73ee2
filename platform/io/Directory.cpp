#include "platform/io/Directory.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>

namespace plat {

bool DirectoryReader::Open(const std::string& path) {
    Close();
    m_dir = ::opendir(path.c_str());
    return m_dir != nullptr;
}

void DirectoryReader::Close() {
    if (m_dir) {
        ::closedir(static_cast<DIR*>(m_dir));
        m_dir = nullptr;
    }
}

bool DirectoryReader::Next(const char*& name, DirEntryKind& kind) {
    if (!m_dir)
        return false;
    DIR* dir = static_cast<DIR*>(m_dir);
    dirent* e = ::readdir(dir);
    if (!e)
        return false;
    name = e->d_name;
    switch (e->d_type) {
        case DT_DIR:
            kind = DirEntryKind::Folder;
            return true;
        case DT_REG:
            kind = DirEntryKind::File;
            return true;
        case DT_LNK:
        case DT_UNKNOWN:
            break;  // only a stat can tell
        default:
            kind = DirEntryKind::Other;
            return true;
    }
    struct stat st;
    if (::fstatat(::dirfd(dir), e->d_name, &st, 0) != 0)
        kind = DirEntryKind::Other;
    else if (S_ISDIR(st.st_mode))
        kind = DirEntryKind::Folder;
    else if (S_ISREG(st.st_mode))
        kind = DirEntryKind::File;
    else
        kind = DirEntryKind::Other;
    return true;
}

}  // namespace plat

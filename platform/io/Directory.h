// Reading the entries of one folder, in the order the file system keeps them.
#pragma once

#include <string>

namespace plat {

enum class DirEntryKind {
    Folder,  // a folder, or a link to one
    File,    // a regular file, or a link to one
    Other,   // devices, pipes, sockets, and links that lead nowhere or in a circle
};

class DirectoryReader {
public:
    DirectoryReader() = default;
    ~DirectoryReader() { Close(); }
    DirectoryReader(const DirectoryReader&) = delete;
    DirectoryReader& operator=(const DirectoryReader&) = delete;

    bool Open(const std::string& path);
    bool IsOpen() const { return m_dir != nullptr; }
    // The next entry, "." and ".." included; false at the end or on a read error. `name`
    // stays valid until the next call. A link is given the kind of what it leads to.
    bool Next(const char*& name, DirEntryKind& kind);
    // Whether the entry Next gave last is a symbolic link itself (callers that must not walk
    // into links, or must not walk them twice, tell them apart here).
    bool IsLink() const { return m_bLink; }
    void Close();

private:
    void* m_dir = nullptr;  // DIR*
    bool m_bLink = false;
};

}  // namespace plat

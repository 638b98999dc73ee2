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
    // stays valid until the next call.
    bool Next(const char*& name, DirEntryKind& kind);
    void Close();

private:
    void* m_dir = nullptr;  // DIR*
};

}  // namespace plat

// Binary file handle.
#pragma once

#include "library/include/KvTypes.h"

namespace KvUtility {

// Open modes: the first creation bit set decides; 0x10/0x20 choose the access.
enum : uint16_t {
    KVFILE_CREATE_NEW = 0x01,
    KVFILE_CREATE_ALWAYS = 0x02,
    KVFILE_OPEN_EXISTING = 0x04,
    KVFILE_OPEN_ALWAYS = 0x08,
    KVFILE_READ = 0x10,
    KVFILE_WRITE = 0x20,
};

class IKvFile {
public:
    virtual RZRESULT Open(const char16_t* path, uint16_t mode) = 0;
    virtual RZRESULT Close() = 0;
    virtual RZRESULT Read(void* buffer, uint32_t size, uint32_t* done) = 0;
    virtual RZRESULT Write(const void* buffer, uint32_t size, uint32_t* done) = 0;
    virtual RZRESULT GetSize(uint64_t* size) = 0;
    virtual RZRESULT Seek(int64_t distance, uint64_t* position) = 0;
    virtual RZRESULT SeekToBegin() = 0;
    virtual RZRESULT SeekToEnd() = 0;
    virtual RZRESULT AddRef() = 0;
    // Closes and destroys the object whatever the count: a file has one owner.
    virtual RZRESULT Release() = 0;

protected:
    ~IKvFile() = default;
};

}  // namespace KvUtility

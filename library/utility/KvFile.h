// Binary file handle over a POSIX descriptor.
#pragma once

#include "library/KvObject.h"
#include "library/include/IKvFile.h"
#include "platform/io/File.h"

namespace KvUtility {

class CKvFile final : public IKvFile, public CKvObject {
public:
    CKvFile() = default;
    ~CKvFile() = default;

    RZRESULT Open(const char16_t* path, uint16_t mode) override;
    RZRESULT Close() override;
    RZRESULT Read(void* buffer, uint32_t size, uint32_t* done) override;
    RZRESULT Write(const void* buffer, uint32_t size, uint32_t* done) override;
    RZRESULT GetSize(uint64_t* size) override;
    RZRESULT Seek(int64_t distance, uint64_t* position) override;
    RZRESULT SeekToBegin() override;
    RZRESULT SeekToEnd() override;
    RZRESULT AddRef() override;
    RZRESULT Release() override;

private:
    plat::File m_file;
};

}  // namespace KvUtility

#include "library/utility/KvFile.h"

#include <fcntl.h>
#include <unistd.h>

#include <new>

#include "library/LibFactory.h"
#include "platform/io/Path.h"

namespace KvUtility {

RZRESULT NewFile(IKvFile** out) {
    KV_NEW_OBJECT(CKvFile, IKvFile, out);
}

RZRESULT CKvFile::Open(const char16_t* path, uint16_t mode) {
    // A second Open must not leak the first descriptor.
    m_file.Close();
    if (!path)
        return RZ_FAIL;

    int flags;
    if ((mode & KVFILE_READ) && (mode & KVFILE_WRITE)) {
        flags = O_RDWR;
    } else if (mode & KVFILE_READ) {
        flags = O_RDONLY;
    } else {
        flags = O_WRONLY;
    }

    const std::string native = plat::NativePath(path);
    bool ok;
    if (mode & KVFILE_CREATE_NEW) {
        ok = m_file.Open(native, flags | O_CREAT | O_EXCL);
    } else if (mode & KVFILE_CREATE_ALWAYS) {
        ok = m_file.Open(native, flags | O_CREAT | O_TRUNC);
    } else if (mode & KVFILE_OPEN_EXISTING) {
        ok = m_file.Open(native, flags);
    } else if (mode & KVFILE_OPEN_ALWAYS) {
        ok = m_file.Open(native, flags) || m_file.Open(native, flags | O_CREAT);
    } else {
        return RZ_OK;  // no creation rule: nothing is opened
    }
    if (!ok)
        return RZ_FAIL;
    m_file.Seek(0, SEEK_SET);
    return RZ_OK;
}

RZRESULT CKvFile::Close() {
    if (!m_file.IsOpen())
        return RZ_NOT_OPEN;
    m_file.Close();
    return RZ_OK;
}

RZRESULT CKvFile::Read(void* buffer, uint32_t size, uint32_t* done) {
    if (!m_file.IsOpen())
        return RZ_NOT_OPEN;
    if (done)
        *done = 0;
    long n = buffer ? m_file.Read(buffer, size) : -1;
    if (done)
        *done = n < 0 ? 0xFFFFFFFFu : static_cast<uint32_t>(n);
    return RZ_OK;
}

RZRESULT CKvFile::Write(const void* buffer, uint32_t size, uint32_t* done) {
    if (!m_file.IsOpen())
        return RZ_NOT_OPEN;
    if (done)
        *done = 0;
    long n = buffer ? m_file.Write(buffer, size) : -1;
    if (done)
        *done = n < 0 ? 0xFFFFFFFFu : static_cast<uint32_t>(n);
    return RZ_OK;
}

RZRESULT CKvFile::GetSize(uint64_t* size) {
    if (!m_file.IsOpen())
        return RZ_NOT_OPEN;
    int64_t end = m_file.Seek(0, SEEK_END);
    if (end < 0 || m_file.Seek(0, SEEK_SET) < 0)
        return RZ_FAIL;
    if (size)
        *size = static_cast<uint64_t>(end);
    return RZ_OK;
}

RZRESULT CKvFile::Seek(int64_t distance, uint64_t* position) {
    if (!m_file.IsOpen())
        return RZ_NOT_OPEN;
    int64_t pos = m_file.Seek(distance, SEEK_CUR);
    if (pos < 0)
        pos = m_file.Seek(0, SEEK_CUR);
    if (position)
        *position = static_cast<uint64_t>(pos < 0 ? 0 : pos);
    return RZ_OK;
}

RZRESULT CKvFile::SeekToBegin() {
    if (!m_file.IsOpen())
        return RZ_NOT_OPEN;
    m_file.Seek(0, SEEK_SET);
    return RZ_OK;
}

RZRESULT CKvFile::SeekToEnd() {
    if (!m_file.IsOpen())
        return RZ_NOT_OPEN;
    m_file.Seek(0, SEEK_END);
    return RZ_OK;
}

RZRESULT CKvFile::AddRef() {
    return CKvObject::AddRef();
}

RZRESULT CKvFile::Release() {
    delete this;
    return RZ_OK;
}

}  // namespace KvUtility

// Folder scanner: lists the sub-folders and the files of one folder that pass a filter.
#pragma once

#include "library/include/KvTypes.h"

namespace KvUtility {

enum : uint16_t {
    DIR_ENTRY_FOLDER = 1,
    DIR_ENTRY_FILE = 2,
};

// Room for a listed name with its terminator; longer names are not listed.
enum { KVDIR_NAME_CHARS = 129 };

class IKvDirectory {
public:
    // RZ_NONE when path is null or 512 characters or longer (the old path stays).
    virtual RZRESULT SetPath(const char16_t* path) = 0;
    // Extensions without the dot, compared without regard to case. Once set, the files of a
    // DVD-Video folder are reduced to VIDEO_TS.IFO.
    virtual RZRESULT SetFilter(int count, const char16_t** extensions) = 0;
    virtual RZRESULT Scan() = 0;
    virtual RZRESULT Clear() = 0;
    // Copy at most `size` units of the name, always terminated.
    virtual RZRESULT GetFirst(char16_t* name, int size, uint16_t* type) = 0;
    virtual RZRESULT GetNext(char16_t* name, int size, uint16_t* type) = 0;
    virtual RZRESULT AddRef() = 0;
    virtual RZRESULT Release() = 0;

protected:
    ~IKvDirectory() = default;
};

}  // namespace KvUtility

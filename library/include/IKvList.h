// Item list: a capped array of items with a cursor, owning a copy of each item's bytes.
#pragma once

#include "library/include/KvTypes.h"

namespace KvUtility {

// Most items one list holds.
enum { KVLIST_MAX_ITEMS = 8192 };

class IKvList {
public:
    // Steps the cursor; data gets the item's bytes (null where there is no item).
    virtual RZRESULT Next(void** data, uint8_t wrap) = 0;
    virtual RZRESULT Prev(void** data, uint8_t wrap) = 0;
    // index < 0 reads the current item; the cursor does not move.
    virtual RZRESULT GetAt(void** data, int index) = 0;
    virtual RZRESULT Random(void** data) = 0;
    virtual RZRESULT GetCurrentIndex(int* out) = 0;
    virtual RZRESULT GetCount(int* out) = 0;
    virtual RZRESULT SetCurrentIndex(int index) = 0;
    // The bytes are copied. imagePath may be null; an image that does not load is no error.
    virtual RZRESULT Add(const void* data, int size, const char16_t* imagePath) = 0;
    virtual RZRESULT SetFlag(uint8_t value) = 0;
    virtual RZRESULT GetFlag(uint8_t* out) = 0;
    virtual RZRESULT SetAt(int index, const void* data, int size, const char16_t* imagePath) = 0;
    virtual RZRESULT Release() = 0;
    // Drops the item's bytes and image but keeps the item in the list.
    virtual RZRESULT ClearAt(int index) = 0;
    virtual RZRESULT RemoveAt(int index) = 0;
    virtual RZRESULT RemoveAll() = 0;
    virtual RZRESULT AddRef() = 0;
    virtual RZRESULT SetUserData(uint32_t value) = 0;

protected:
    ~IKvList() = default;
};

}  // namespace KvUtility

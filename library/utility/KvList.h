// The item list, and the base of every library object that keeps its entries in one (the
// playlist, the playlist container's entries, the list box).
#pragma once

#include <cstdint>

#include "library/KvObject.h"
#include "library/include/IKvList.h"

namespace KvMultimedia {
class IKvImage;
}

namespace KvUtility {

// One item. Records are moved whole when an item before them is removed.
struct KvListItem {
    uint8_t byUsed;   // 1 once the item holds data
    uint8_t byFlag2;  // free for derived lists; moved and cleared with the item
    char16_t* pText;  // display text of derived lists, malloc'd; freed when the item goes
    void* pData;      // malloc'd copy of the caller's bytes
    KvMultimedia::IKvImage* pImage;  // one reference, or null
};

// Derived classes override the interface operations they change and reach the list's own
// behaviour with qualified calls (CKvList::RemoveAll()); a playlist or list box therefore
// answers the same way through its own interface and through this base's IKvList view.
class CKvList : public IKvList, public CKvObject {
public:
    CKvList();

    RZRESULT Next(void** data, uint8_t wrap) override;
    RZRESULT Prev(void** data, uint8_t wrap) override;
    RZRESULT GetAt(void** data, int index) override;
    RZRESULT Random(void** data) override;
    RZRESULT GetCurrentIndex(int* out) override;
    RZRESULT GetCount(int* out) override;
    RZRESULT SetCurrentIndex(int index) override;
    RZRESULT Add(const void* data, int size, const char16_t* imagePath) override;
    RZRESULT SetFlag(uint8_t value) override;
    RZRESULT GetFlag(uint8_t* out) override;
    RZRESULT SetAt(int index, const void* data, int size, const char16_t* imagePath) override;
    RZRESULT Release() override;
    RZRESULT ClearAt(int index) override;
    RZRESULT RemoveAt(int index) override;
    RZRESULT RemoveAll() override;
    RZRESULT AddRef() override;
    RZRESULT SetUserData(uint32_t value) override;

protected:
    // Objects go only through Release; derived objects are deleted whole.
    virtual ~CKvList();

    int Count() const { return m_iCount; }
    // The record of item `index`, or null outside 0..count-1.
    KvListItem* Item(int index) {
        return index >= 0 && index < m_iCount ? &m_pItems[index] : nullptr;
    }
    // The bytes of item `index`, or null when there is no such item.
    void* PayloadAt(int64_t index) const {
        return index >= 0 && index < m_iCount ? m_pItems[index].pData : nullptr;
    }

    int m_iCursor = 0;          // not kept inside 0..count-1: Add and RemoveAt leave it alone
    uint8_t m_byFlag = 0;       // the list never reads it
    uint32_t m_dwUserData = 0;  // the list never reads it

private:
    bool Grow();
    void FreeItems();

    int m_iCount = 0;
    int m_iCapacity = 0;
    KvListItem* m_pItems = nullptr;  // grows as needed, never beyond KVLIST_MAX_ITEMS
};

}  // namespace KvUtility

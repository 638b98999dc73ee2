#include "library/utility/KvList.h"

#include <cstdlib>
#include <cstring>
#include <new>

#include "library/CVantrel.h"
#include "library/LibFactory.h"
#include "library/include/IKvImage.h"
#include "library/multimedia/KvListImage.h"
#include "platform/sys/Clock.h"

namespace KvUtility {

namespace {

// The only two places where an item touches its image: it takes the one reference the
// factory hands out and gives it back when the image leaves the item.
// A row's picture is drawn in a list cell, never larger than the rear screen: it reports the
// size of a camera's photo scaled down to that, and decodes only what a cell draws (a folder
// of thousands of photos lists them without reading one).
constexpr int kRowImageMaxWidth = 800;
constexpr int kRowImageMaxHeight = 600;

KvMultimedia::IKvImage* LoadImage(const char16_t* path) {
    KvMultimedia::IKvImage* image = nullptr;
    CVantrel* root = path ? CVantrel::GetInstance() : nullptr;
    if (root &&
        KvMultimedia::NewListImage(&image, path, kRowImageMaxWidth, kRowImageMaxHeight) != RZ_OK)
        image = nullptr;
    return image;
}

void DropImage(KvMultimedia::IKvImage*& image) {
    if (image) {
        image->Release();
        image = nullptr;
    }
}

// A private copy of the caller's bytes; never null on success, even for 0 bytes, because a
// null payload means "no item" to the readers.
void* CopyBytes(const void* data, int size) {
    if (size < 0 || (!data && size > 0))
        return nullptr;
    void* copy = std::malloc(size > 0 ? static_cast<size_t>(size) : 1);
    if (copy && size > 0)
        std::memcpy(copy, data, static_cast<size_t>(size));
    return copy;
}

void FreeRecord(KvListItem& item) {
    std::free(item.pData);
    std::free(item.pText);
    DropImage(item.pImage);
    std::memset(&item, 0, sizeof item);
}

}  // namespace

RZRESULT NewList(IKvList** out) {
    KV_NEW_OBJECT(CKvList, IKvList, out);
}

CKvList::CKvList() {
    std::srand(static_cast<unsigned>(plat::ToEpoch(plat::GetClock().Utc())));
}

CKvList::~CKvList() {
    FreeItems();
    std::free(m_pItems);
}

void CKvList::FreeItems() {
    for (int i = 0; i < m_iCount; ++i)
        FreeRecord(m_pItems[i]);
    m_iCount = 0;
}

bool CKvList::Grow() {
    if (m_iCapacity >= KVLIST_MAX_ITEMS)
        return false;
    int capacity = m_iCapacity ? m_iCapacity * 2 : 16;
    if (capacity > KVLIST_MAX_ITEMS)
        capacity = KVLIST_MAX_ITEMS;
    auto* items = static_cast<KvListItem*>(
        std::realloc(m_pItems, static_cast<size_t>(capacity) * sizeof(KvListItem)));
    if (!items)
        return false;
    std::memset(items + m_iCapacity, 0,
                static_cast<size_t>(capacity - m_iCapacity) * sizeof(KvListItem));
    m_pItems = items;
    m_iCapacity = capacity;
    return true;
}

RZRESULT CKvList::Next(void** data, uint8_t wrap) {
    if (data)
        *data = nullptr;
    int64_t next = static_cast<int64_t>(m_iCursor) + 1;
    if (next >= m_iCount) {
        if (!wrap)
            return RZ_FAIL;
        next = 0;
    }
    m_iCursor = static_cast<int>(next);
    if (data)
        *data = PayloadAt(next);
    return RZ_OK;
}

RZRESULT CKvList::Prev(void** data, uint8_t wrap) {
    if (data)
        *data = nullptr;
    int64_t prev = static_cast<int64_t>(m_iCursor) - 1;
    if (prev < 0) {
        if (!wrap)
            return RZ_FAIL;
        prev = m_iCount - 1;
    }
    m_iCursor = static_cast<int>(prev);
    if (prev < 0)
        return RZ_FAIL;  // empty list: the cursor stays at -1
    if (data)
        *data = PayloadAt(prev);
    return RZ_OK;
}

RZRESULT CKvList::GetAt(void** data, int index) {
    if (data)
        *data = PayloadAt(index >= 0 ? index : m_iCursor);
    return RZ_OK;
}

RZRESULT CKvList::Random(void** data) {
    if (data)
        *data = nullptr;
    if (m_iCount <= 0)
        return RZ_FAIL;
    m_iCursor = std::rand() % m_iCount;
    if (data)
        *data = PayloadAt(m_iCursor);
    return RZ_OK;
}

RZRESULT CKvList::GetCurrentIndex(int* out) {
    if (out)
        *out = m_iCursor;
    return RZ_OK;
}

RZRESULT CKvList::GetCount(int* out) {
    if (out)
        *out = m_iCount;
    return RZ_OK;
}

RZRESULT CKvList::SetCurrentIndex(int index) {
    m_iCursor = index;
    return RZ_OK;
}

RZRESULT CKvList::Add(const void* data, int size, const char16_t* imagePath) {
    if (m_iCount >= KVLIST_MAX_ITEMS)
        return RZ_FAIL;
    if (m_iCount >= m_iCapacity && !Grow())
        return RZ_FAIL;
    void* copy = CopyBytes(data, size);
    if (!copy)
        return RZ_FAIL;
    KvListItem& item = m_pItems[m_iCount];
    item.pData = copy;
    item.byUsed = 1;
    item.pImage = LoadImage(imagePath);
    ++m_iCount;
    return RZ_OK;
}

RZRESULT CKvList::SetFlag(uint8_t value) {
    m_byFlag = value;
    return RZ_OK;
}

RZRESULT CKvList::GetFlag(uint8_t* out) {
    if (out)
        *out = m_byFlag;
    return RZ_OK;
}

RZRESULT CKvList::SetAt(int index, const void* data, int size, const char16_t* imagePath) {
    KvListItem* item = Item(index);
    if (!item)
        return RZ_FAIL;
    // Copy first: a failed copy leaves the item as it was.
    void* copy = CopyBytes(data, size);
    if (!copy)
        return RZ_FAIL;
    std::free(item->pData);
    DropImage(item->pImage);
    item->pData = copy;
    item->byUsed = 1;
    item->pImage = LoadImage(imagePath);
    // A replaced item's picture is the file as it is now: the photo page gives a turned photo's
    // row its temporary copy, which the next turn writes again.
    if (auto* image = dynamic_cast<KvMultimedia::CKvListImage*>(item->pImage))
        image->HoldNow();
    return RZ_OK;
}

RZRESULT CKvList::Release() {
    uint16_t count = CKvObject::Release();
    if (count == 0) {
        RemoveAll();
        delete this;
    }
    return count;
}

RZRESULT CKvList::ClearAt(int index) {
    KvListItem* item = Item(index);
    if (!item)
        return RZ_FAIL;
    std::free(item->pData);
    item->pData = nullptr;
    DropImage(item->pImage);
    return RZ_OK;
}

RZRESULT CKvList::RemoveAt(int index) {
    KvListItem* item = Item(index);
    if (!item)
        return RZ_FAIL;
    FreeRecord(*item);
    std::memmove(item, item + 1, static_cast<size_t>(m_iCount - 1 - index) * sizeof(KvListItem));
    --m_iCount;
    std::memset(&m_pItems[m_iCount], 0, sizeof(KvListItem));
    return RZ_OK;
}

RZRESULT CKvList::RemoveAll() {
    FreeItems();
    m_iCursor = 0;
    return RZ_OK;
}

RZRESULT CKvList::AddRef() {
    return CKvObject::AddRef();
}

RZRESULT CKvList::SetUserData(uint32_t value) {
    m_dwUserData = value;
    return RZ_OK;
}

}  // namespace KvUtility

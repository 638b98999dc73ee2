// Reference count shared by every library object. It never deletes anything itself: each
// class's Release deletes the object when the count it gets back is 0.
#pragma once

#include <atomic>
#include <cstdint>

class CKvObject {
public:
    uint16_t AddRef() { return static_cast<uint16_t>(++m_uRefCount); }
    uint16_t Release() { return static_cast<uint16_t>(--m_uRefCount); }
    uint16_t RefCount() const { return m_uRefCount.load(); }

protected:
    CKvObject() = default;
    ~CKvObject() = default;
    CKvObject(const CKvObject&) = delete;
    CKvObject& operator=(const CKvObject&) = delete;

private:
    std::atomic<uint16_t> m_uRefCount{0};
};

// Creates a library object with one reference for the caller, or answers RZ_FAIL with *out
// left null when the allocation fails.
#define KV_NEW_OBJECT(Class, Interface, out)             \
    do {                                                 \
        if (!(out))                                      \
            return RZ_FAIL;                              \
        *(out) = nullptr;                                \
        Class* kvNewObject = new (std::nothrow) Class(); \
        if (!kvNewObject)                                \
            return RZ_FAIL;                              \
        kvNewObject->AddRef();                           \
        *(out) = static_cast<Interface*>(kvNewObject);   \
        return RZ_OK;                                    \
    } while (0)

// Folder scanner: one folder's sub-folders and the files that pass the extension filter.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "library/KvObject.h"
#include "library/include/IKvDirectory.h"

namespace KvUtility {

class CKvDirectory final : public IKvDirectory, public CKvObject {
public:
    CKvDirectory() = default;
    ~CKvDirectory() = default;

    RZRESULT SetPath(const char16_t* path) override;
    RZRESULT SetFilter(int count, const char16_t** extensions) override;
    RZRESULT Scan() override;
    RZRESULT Clear() override;
    RZRESULT GetFirst(char16_t* name, int size, uint16_t* type) override;
    RZRESULT GetNext(char16_t* name, int size, uint16_t* type) override;
    RZRESULT AddRef() override;
    RZRESULT Release() override;

private:
    struct Entry {
        uint16_t type;
        uint16_t length;
        uint32_t offset;  // into m_names
    };

    bool PassesExtensionTest(std::u16string_view name) const;
    // Whether a file is listed: the DVD-Video rules, then the extension test.
    bool FileWanted(std::u16string_view name) const;
    void Append(uint16_t type, std::u16string_view name);
    RZRESULT CopyOut(char16_t* name, int size, uint16_t* type) const;

    std::u16string m_path;
    std::vector<std::u16string> m_filters;
    bool m_bFilterSet = false;
    std::vector<Entry> m_entries;
    std::u16string m_names;  // every listed name, back to back
    int m_iPos = -1;         // entry last handed out; -1 none
};

}  // namespace KvUtility

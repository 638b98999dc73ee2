#include "library/utility/KvDirectory.h"

#include <cstdint>
#include <new>

#include "library/LibFactory.h"
#include "platform/io/Directory.h"
#include "platform/io/Path.h"
#include "platform/text/Text.h"

namespace KvUtility {

namespace {

constexpr size_t kMaxPathChars = 511;
constexpr size_t kMaxNameChars = KVDIR_NAME_CHARS - 1;

bool StartsWithTitleSet(std::u16string_view name) {
    // Title sets of a DVD-Video folder; the disc writes the prefix in upper case.
    return name.size() >= 4 && name.compare(0, 4, u"VTS_") == 0;
}

}  // namespace

RZRESULT NewDirectory(IKvDirectory** out) {
    KV_NEW_OBJECT(CKvDirectory, IKvDirectory, out);
}

RZRESULT CKvDirectory::SetPath(const char16_t* path) {
    if (!path)
        return RZ_NONE;
    size_t len = plat::StrLenN(path, kMaxPathChars + 1);
    if (len > kMaxPathChars)
        return RZ_NONE;
    m_path.assign(path, len);
    return RZ_OK;
}

RZRESULT CKvDirectory::SetFilter(int count, const char16_t** extensions) {
    m_filters.clear();
    for (int i = 0; extensions && i < count; ++i) {
        if (extensions[i])
            m_filters.emplace_back(extensions[i]);
    }
    m_bFilterSet = true;
    return RZ_OK;
}

bool CKvDirectory::PassesExtensionTest(std::u16string_view name) const {
    if (m_filters.empty())
        return true;
    if (StartsWithTitleSet(name))
        return false;
    // A dot in first place starts a hidden name, not an extension.
    size_t dot = name.rfind(u'.');
    if (dot == std::u16string_view::npos || dot == 0)
        return false;
    std::u16string_view ext = name.substr(dot + 1);
    for (const std::u16string& filter : m_filters) {
        if (plat::StrCmpNoCase(ext, filter) == 0)
            return true;
    }
    return false;
}

bool CKvDirectory::FileWanted(std::u16string_view name) const {
    if (!m_bFilterSet)
        return true;
    // A DVD-Video folder shows only its start file. Applied to every name: the order in which
    // the file system lists them means nothing.
    if (plat::StrCmpNoCase(name, u"VIDEO_TS.VOB") == 0)
        return false;
    if (plat::StrCmpNoCase(name, u"VIDEO_TS.IFO") == 0)
        return true;
    return PassesExtensionTest(name);
}

void CKvDirectory::Append(uint16_t type, std::u16string_view name) {
    // Out of memory (or an absurd folder): this name is left out, the scan goes on.
    size_t offset = m_names.size();
    if (offset + name.size() > UINT32_MAX)
        return;
    try {
        m_names.append(name);
        m_entries.push_back(
            Entry{type, static_cast<uint16_t>(name.size()), static_cast<uint32_t>(offset)});
    } catch (const std::bad_alloc&) {
        m_names.resize(offset);
    }
}

RZRESULT CKvDirectory::Scan() {
    if (m_path.empty())
        return RZ_FAIL;
    Clear();
    plat::DirectoryReader reader;
    if (!reader.Open(plat::NativePath(m_path)))
        return RZ_FAIL;
    // The folder's own "." and ".." come first, as callers skip the first entry as ".".
    Append(DIR_ENTRY_FOLDER, u".");
    Append(DIR_ENTRY_FOLDER, u"..");
    const char* native;
    plat::DirEntryKind kind;
    while (reader.Next(native, kind)) {
        if (kind == plat::DirEntryKind::Other)
            continue;  // nothing a caller could open or enter
        if (native[0] == '.' && (!native[1] || (native[1] == '.' && !native[2])))
            continue;
        std::u16string name = plat::Utf8ToUtf16(native);
        // A cut name would name another file: such names are not listed at all.
        if (name.size() > kMaxNameChars)
            continue;
        if (kind == plat::DirEntryKind::Folder)
            Append(DIR_ENTRY_FOLDER, name);
        else if (FileWanted(name))
            Append(DIR_ENTRY_FILE, name);
    }
    return RZ_OK;
}

RZRESULT CKvDirectory::Clear() {
    m_entries.clear();
    m_names.clear();
    m_iPos = -1;
    return RZ_OK;
}

RZRESULT CKvDirectory::CopyOut(char16_t* name, int size, uint16_t* type) const {
    const Entry& e = m_entries[static_cast<size_t>(m_iPos)];
    if (name && size > 0)
        plat::StrCopy(name, static_cast<size_t>(size),
                      std::u16string_view(m_names).substr(e.offset, e.length));
    if (type)
        *type = e.type;
    return RZ_OK;
}

RZRESULT CKvDirectory::GetFirst(char16_t* name, int size, uint16_t* type) {
    if (m_entries.empty()) {
        m_iPos = -1;
        return RZ_FAIL;
    }
    m_iPos = 0;
    return CopyOut(name, size, type);
}

RZRESULT CKvDirectory::GetNext(char16_t* name, int size, uint16_t* type) {
    if (m_iPos < 0)
        return RZ_FAIL;
    if (static_cast<size_t>(m_iPos) + 1 >= m_entries.size()) {
        m_iPos = -1;  // stays at the end until GetFirst starts over
        return RZ_FAIL;
    }
    ++m_iPos;
    return CopyOut(name, size, type);
}

RZRESULT CKvDirectory::AddRef() {
    return CKvObject::AddRef();
}

RZRESULT CKvDirectory::Release() {
    uint16_t count = CKvObject::Release();
    if (count == 0)
        delete this;
    return count;
}

}  // namespace KvUtility

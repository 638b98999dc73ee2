#include "library/multimedia/KvPListContainer.h"

#include <fcntl.h>

#include <cstdlib>
#include <cstring>
#include <memory>
#include <new>
#include <string>

#include "library/KvLog.h"
#include "library/LibFactory.h"
#include "library/multimedia/KvPlaylist.h"
#include "platform/io/Binary.h"
#include "platform/io/File.h"
#include "platform/io/Path.h"
#include "platform/text/Text.h"

namespace KvMultimedia {

namespace {

// Room for 8192 entries of the longest kind; anything bigger is not a playlist we wrote and
// is refused whole rather than read into memory.
constexpr int64_t kMaxFileBytes = 64 << 20;

struct FreeDeleter {
    void operator()(void* p) const { std::free(p); }
};

char16_t* CopyName(const char16_t* name) {
    size_t len = plat::StrLen(name);
    auto* copy = static_cast<char16_t*>(std::malloc((len + 1) * sizeof(char16_t)));
    if (copy) {
        std::memcpy(copy, name, len * sizeof(char16_t));
        copy[len] = 0;
    }
    return copy;
}

bool IsBlank(char16_t c) {
    return c == u' ' || c == u'\t';
}

// The file name a playlist is saved under: no leading blanks, and nothing that would lead
// out of the playlist folder.
bool PlaylistFileName(const char16_t* name, std::u16string& out) {
    while (IsBlank(*name))
        ++name;
    out = name;
    return !out.empty() && out != u"." && out != u".." &&
           out.find_first_of(u"/\\") == std::u16string::npos;
}

std::string PlaylistPath(const std::u16string& fileName) {
    return plat::NativePath(u"PLAYLIST\\" + fileName);
}

enum class ReadResult { Ok, Skip, NoMemory };

// Reads a whole playlist file into `units` (UTF-16 from little-endian bytes).
ReadResult ReadPlaylistFile(const std::string& path,
                            std::unique_ptr<char16_t[], FreeDeleter>& units, size_t& count) {
    plat::File file;
    // Read-only, so playlists on a read-only medium load; non-blocking, so a pipe given the
    // name of a playlist cannot hang the loader before the type check below.
    if (!file.Open(path, O_RDONLY | O_NONBLOCK))
        return ReadResult::Skip;
    if (!plat::IsRegularFile(path))
        return ReadResult::Skip;
    int64_t size = file.Size();
    if (size < 0 || size > kMaxFileBytes)
        return ReadResult::Skip;
    size_t bytes = static_cast<size_t>(size);
    units.reset(static_cast<char16_t*>(std::malloc(bytes + 2)));
    if (!units)
        return ReadResult::NoMemory;
    auto* raw = reinterpret_cast<uint8_t*>(units.get());
    size_t got = 0;
    while (got < bytes) {
        long n = file.Read(raw + got, bytes - got);
        if (n < 0)
            return ReadResult::Skip;
        if (n == 0)
            break;  // shrank while we read: take what is there
        got += static_cast<size_t>(n);
    }
    count = got / 2;
    for (size_t i = 0; i < count; ++i)
        units[i] = static_cast<char16_t>(raw[2 * i] | (raw[2 * i + 1] << 8));
    return ReadResult::Ok;
}

void ParseUnits(const char16_t* text, size_t count, CKvPlaylist& playlist) {
    const char16_t* name = nullptr;
    size_t nameLen = 0;
    bool haveName = false;
    size_t start = 0;
    for (size_t i = 0; i < count;) {
        if (text[i] != u'\n') {
            ++i;
            continue;
        }
        // The line ends at the line feed, or earlier at a NUL.
        size_t begin = start, end = start;
        while (end < i && text[end] != 0)
            ++end;
        while (begin < end && IsBlank(text[begin]))
            ++begin;
        if (!haveName) {
            name = text + begin;
            nameLen = end - begin;
            haveName = true;
        } else {
            // An over-long pair is refused by the playlist; the rest of the file still loads.
            playlist.AddEntry(name, nameLen, text + begin, end - begin);
            haveName = false;
        }
        i += 2;  // the line feed and the NUL the writer puts after it
        start = i;
    }
}

// Hands out one field of an entry: null and RZ_FAIL when there is no entry.
template <typename E, typename T>
RZRESULT HandOut(const E* entry, T E::*field, T* out) {
    if (out)
        *out = entry ? entry->*field : nullptr;
    return entry ? RZ_OK : RZ_FAIL;
}

}  // namespace

void KvParsePlaylist(const uint8_t* bytes, size_t size, CKvPlaylist& playlist) {
    std::u16string units(size / 2, u'\0');
    for (size_t i = 0; i < units.size(); ++i)
        units[i] = static_cast<char16_t>(bytes[2 * i] | (bytes[2 * i + 1] << 8));
    ParseUnits(units.data(), units.size(), playlist);
}

void KvFormatPlaylist(IKvPlaylist& playlist, std::vector<uint8_t>& out) {
    plat::BinWriter writer;
    auto line = [&writer](const char16_t* text) {
        for (; *text; ++text)
            writer.U16(*text);
        writer.U16(u'\n');
        writer.U16(0);
    };
    int count = 0;
    playlist.GetCount(&count);
    for (int i = 0; i < count; ++i) {
        char16_t* name = nullptr;
        char16_t* folder = nullptr;
        uint8_t type = 0;
        if (playlist.GetItem(&name, &folder, &type, i) != RZ_OK)
            continue;
        line(name);
        line(folder);
    }
    out = std::move(writer.Data());
}

RZRESULT NewPListContainer(IKvPListContainer** out) {
    KV_NEW_OBJECT(CKvPListContainer, IKvPListContainer, out);
}

CKvPListContainer::~CKvPListContainer() {
    if (m_pEntries) {
        RemoveAll();
        m_pEntries->Release();
    }
}

int CKvPListContainer::Count() {
    int count = 0;
    if (m_pEntries)
        m_pEntries->GetCount(&count);
    return count;
}

CKvPListContainer::Entry* CKvPListContainer::EntryAt(int index) {
    void* data = nullptr;
    if (m_pEntries)
        m_pEntries->GetAt(&data, index);
    return static_cast<Entry*>(data);
}

int CKvPListContainer::Find(const char16_t* name, bool partial) {
    if (!name)
        return -1;
    int count = Count();
    for (int i = 0; i < count; ++i) {
        Entry* e = EntryAt(i);
        if (!e)
            continue;
        if (partial ? plat::StrStr(e->pName, name) != nullptr : plat::StrCmp(e->pName, name) == 0)
            return i;
    }
    return -1;
}

int CKvPListContainer::FindByPointer(const IKvPlaylist* playlist) {
    int count = Count();
    for (int i = 0; i < count; ++i) {
        Entry* e = EntryAt(i);
        if (e && e->pPlaylist == playlist)
            return i;
    }
    return -1;
}

void CKvPListContainer::RemoveEntry(int index) {
    Entry* e = EntryAt(index);
    if (!e)
        return;
    std::free(e->pName);
    if (e->pPlaylist)
        e->pPlaylist->Release();
    m_pEntries->RemoveAt(index);
}

RZRESULT CKvPListContainer::CreatePlaylist(const char16_t* name, IKvPlaylist** out, int* index) {
    if (!name)
        return RZ_FAIL;
    if (!m_pEntries) {
        m_pEntries = new (std::nothrow) KvUtility::CKvList();
        if (!m_pEntries)
            return RZ_FAIL;
        m_pEntries->AddRef();
    }
    int count = Count();
    for (int i = 0; i < count; ++i) {
        m_pEntries->SetCurrentIndex(i);
        Entry* e = EntryAt(i);
        if (e && plat::StrCmp(e->pName, name) == 0) {
            e->pPlaylist->RemoveAll();
            if (index)
                *index = i;
            if (out)
                *out = e->pPlaylist;
            return RZ_OK;
        }
    }
    if (out)
        *out = nullptr;
    Entry entry{CopyName(name), new (std::nothrow) CKvPlaylist()};
    if (!entry.pName || !entry.pPlaylist ||
        m_pEntries->Add(&entry, sizeof entry, nullptr) != RZ_OK) {
        std::free(entry.pName);
        if (entry.pPlaylist)
            entry.pPlaylist->Release();
        return RZ_FAIL;
    }
    if (index)
        *index = Count() - 1;
    if (out)
        *out = entry.pPlaylist;
    return RZ_OK;
}

RZRESULT CKvPListContainer::NewPlaylist(IKvPlaylist** out) {
    return KvMultimedia::NewPlaylist(out);
}

RZRESULT CKvPListContainer::GetCount(int* out) {
    if (out)
        *out = Count();
    return RZ_OK;
}

RZRESULT CKvPListContainer::FindPlaylist(const char16_t* name, IKvPlaylist** out, int* index,
                                         uint8_t partial) {
    const int found = Find(name, partial != 0);
    if (index)
        *index = found;
    return HandOut(found < 0 ? nullptr : EntryAt(found), &Entry::pPlaylist, out);
}

RZRESULT CKvPListContainer::GetPlaylistAt(IKvPlaylist** out, int index) {
    return HandOut(EntryAt(index), &Entry::pPlaylist, out);
}

RZRESULT CKvPListContainer::GetNameAt(char16_t** out, int index) {
    return HandOut(EntryAt(index), &Entry::pName, out);
}

RZRESULT CKvPListContainer::GetCurrentName(char16_t** out) {
    return GetNameAt(out, -1);
}

RZRESULT CKvPListContainer::Rename(Entry* entry, const char16_t* name) {
    // A failed copy keeps the old name: an entry is never left without one.
    char16_t* copy = name ? CopyName(name) : nullptr;
    if (!copy)
        return RZ_FAIL;
    std::free(entry->pName);
    entry->pName = copy;
    return RZ_OK;
}

RZRESULT CKvPListContainer::RenameAt(const char16_t* name, int index) {
    Entry* e = EntryAt(index);
    if (!e)
        return RZ_FAIL;
    return Rename(e, name);
}

RZRESULT CKvPListContainer::CopyPlaylist(IKvPlaylist* dst, IKvPlaylist* src) {
    // Onto itself: emptying dst first would lose the very entries to be copied.
    if (!dst || !src || dst == src)
        return RZ_OK;
    dst->RemoveAll();
    int count = 0;
    src->GetCount(&count);
    for (int i = 0; i < count; ++i) {
        char16_t* name = nullptr;
        char16_t* folder = nullptr;
        uint8_t type = 0;
        if (src->GetItem(&name, &folder, &type, i) == RZ_OK)
            dst->AddItem(name, folder);
    }
    return RZ_OK;
}

RZRESULT CKvPListContainer::LoadAll(const char16_t* folder) {
    RemoveAll();
    KvUtility::IKvDirectory* scanner = nullptr;
    if (!folder || KvUtility::NewDirectory(&scanner) != RZ_OK)
        return RZ_OK;
    std::unique_ptr<KvUtility::IKvDirectory, void (*)(KvUtility::IKvDirectory*)> hold(
        scanner, [](KvUtility::IKvDirectory* d) { d->Release(); });
    if (scanner->SetPath(folder) != RZ_OK || scanner->Scan() != RZ_OK)
        return RZ_OK;
    char16_t name[KvUtility::KVDIR_NAME_CHARS];
    uint16_t type = 0;
    for (RZRESULT r = scanner->GetFirst(name, KvUtility::KVDIR_NAME_CHARS, &type); r == RZ_OK;
         r = scanner->GetNext(name, KvUtility::KVDIR_NAME_CHARS, &type)) {
        if (type != KvUtility::DIR_ENTRY_FILE || plat::IsAtomicTempName(plat::Utf16ToUtf8(name)))
            continue;
        std::unique_ptr<char16_t[], FreeDeleter> units;
        size_t count = 0;
        ReadResult read = ReadPlaylistFile(PlaylistPath(name), units, count);
        if (read == ReadResult::NoMemory)
            return RZ_FAIL;
        if (read != ReadResult::Ok)
            continue;
        IKvPlaylist* playlist = nullptr;
        if (CreatePlaylist(name, &playlist, nullptr) != RZ_OK)
            continue;
        ParseUnits(units.get(), count, static_cast<CKvPlaylist&>(*playlist));
    }
    return RZ_OK;
}

RZRESULT CKvPListContainer::RemoveAll() {
    while (Count() > 0)
        RemoveEntry(Count() - 1);
    if (m_pEntries)
        m_pEntries->RemoveAll();
    return RZ_OK;
}

RZRESULT CKvPListContainer::FindItem(const char16_t* path, int* index, int start) {
    if (!m_pEntries || !path)
        return RZ_FAIL;
    std::u16string joined;
    int count = Count();
    for (int p = start < 0 ? 0 : start; p < count; ++p) {
        IKvPlaylist* playlist = EntryAt(p)->pPlaylist;
        int items = 0;
        playlist->GetCount(&items);
        for (int i = 0; i < items; ++i) {
            char16_t* name = nullptr;
            char16_t* folder = nullptr;
            uint8_t type = 0;
            if (playlist->GetItem(&name, &folder, &type, i) != RZ_OK)
                continue;
            joined.assign(folder);
            joined += u'\\';
            joined += name;
            if (joined == path) {
                if (index)
                    *index = p;
                return RZ_OK;
            }
        }
    }
    return RZ_FAIL;
}

RZRESULT CKvPListContainer::SavePlaylist(const char16_t* name) {
    std::u16string fileName;
    if (!name || !PlaylistFileName(name, fileName))
        return RZ_FAIL;
    if (Count() == 0)
        return RZ_OK;
    // "Rock" must save Rock, not the first playlist whose name merely contains it.
    int found = Find(name, false);
    if (found < 0)
        found = Find(name, true);
    if (found < 0)
        return RZ_OK;
    IKvPlaylist* playlist = EntryAt(found)->pPlaylist;
    if (!playlist)
        return RZ_FAIL;
    std::vector<uint8_t> bytes;
    KvFormatPlaylist(*playlist, bytes);
    // Written beside the old file and renamed over it: a power cut or a full disk leaves the
    // old playlist, never an empty one.
    if (!plat::WriteFileAtomic(PlaylistPath(fileName), bytes)) {
        KvWriteLog("SavePlaylist: cannot write %s", plat::Utf16ToUtf8(fileName).c_str());
        return RZ_FAIL;
    }
    return RZ_OK;
}

RZRESULT CKvPListContainer::RemovePlaylist(const char16_t* name, uint8_t partial) {
    int found = Find(name, partial != 0);
    if (found >= 0)
        RemoveEntry(found);
    return RZ_OK;
}

RZRESULT CKvPListContainer::RemovePlaylistByPointer(IKvPlaylist* playlist) {
    int found = FindByPointer(playlist);
    if (found >= 0)
        RemoveEntry(found);
    return RZ_OK;
}

RZRESULT CKvPListContainer::GetPlaylist(IKvPlaylist** out, const char16_t* name, uint8_t partial) {
    int found = Find(name, partial != 0);
    if (found >= 0 && out)
        *out = EntryAt(found)->pPlaylist;
    return RZ_OK;
}

RZRESULT CKvPListContainer::RenamePlaylist(IKvPlaylist* playlist, const char16_t* name) {
    int found = FindByPointer(playlist);
    if (found >= 0)
        Rename(EntryAt(found), name);
    return RZ_OK;
}

RZRESULT CKvPListContainer::AddRef() {
    return CKvObject::AddRef();
}

RZRESULT CKvPListContainer::Release() {
    uint16_t count = CKvObject::Release();
    if (count == 0)
        delete this;
    return count;
}

}  // namespace KvMultimedia
